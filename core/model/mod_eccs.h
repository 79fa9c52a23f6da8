#pragma once
// Eco cruise control: the switch, the classes that take part and the
// commanded speed of each trip.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <array>

namespace velm {

struct mod_eccs {
    int                           eccs_fmt = 0;    // 1: eco cruise control is on
    std::array<int, kClasses + 1> flag_eccs{};     // (vt) 1: class vt takes part; [0] unused
    Array1<float> spd_eccs{"spd_eccs", kMaxTrips}; // commanded speed of trip car, km/h
};

} // namespace velm
