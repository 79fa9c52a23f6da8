#pragma once
// Bus stops and the dwell state of the vehicles that serve them.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_busstop {
    // s: arrival time of the vehicle in slot vid at its current stop; 999999
    // (kNotWaiting) = none.
    Array1<int> buswait{"buswait", kMaxVehicles};
};

} // namespace velm
