#pragma once
// Eco cruise control: the switch, the classes that take part with their
// look-ahead, update interval, target band and spacing threshold, and the
// advised speed and throttle of each trip.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <array>

namespace velm {

inline constexpr float kNoCruiseAdvice = 1000.0f; // km/h: spd_eccs of a trip never advised
inline constexpr int   kCruiseSamples = 3000;     // samples of one look-ahead trajectory
inline constexpr float kCruiseStep = 0.1f;        // s between trajectory samples

struct mod_eccs {
    int                             neccs = 0;    // records in "input_eccs.dat"
    int                             eccs_fmt = 0; // 1: eco cruise control is on
    std::array<int, kClasses + 1>   flag_eccs{};  // (vt) 1: class vt takes part; [0] unused
    std::array<float, kClasses + 1> d_la{};       // (vt) look-ahead distance, m
    std::array<int, kClasses + 1>   tinvl{};      // (vt) update interval, s (at least 1)
    std::array<float, kClasses + 1> v_targ{};     // (vt) target speed, km/h
    std::array<float, kClasses + 1> v_thr{};      // (vt) half width of the speed band, km/h
    std::array<float, kClasses + 1> s_thr{};      // (vt) gap below which the band's top is given, m
    // Commanded speed of trip car, km/h, and the throttle of that speed (1: none).
    MarkedArray1<float> spd_eccs{"spd_eccs", kMaxTrips, kNoCruiseAdvice};
    MarkedArray1<float> fp_eccs{"fp_eccs", kMaxTrips, 1.0f};

    // Work trajectory of one search: speed (km/h) and grade of each sample,
    // 1-based, so a search allocates nothing.
    std::array<float, kCruiseSamples + 1> traj{};
    std::array<float, kCruiseSamples + 1> grade{};
    int                                   samples = 0; // of the last trajectory searched
};

} // namespace velm
