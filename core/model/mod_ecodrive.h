#pragma once
// Eco-driving advice at signalised approaches: which classes get advice on
// which links, the role and geometry of each advised link, and the advised
// speed and queue view of each trip. Advice only shapes the approach speed:
// an advised vehicle keeps every reason the stop line has to hold it. The
// eco-driving reader fills the flags.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <array>

namespace velm {

inline constexpr float kNoEcoAdvice = 3600.0f;         // km/h: no eco advice
inline constexpr float kNoEcoCap = 1000.0f;            // m/s: an update that caps nothing
inline constexpr int   kTrajectorySamples = 3000;      // speed samples of one trajectory
inline constexpr int   kEcoProfiles = 500;             // deceleration profiles of one update
inline constexpr float kEcoDefaultInterval = 36000.0f; // s: update interval of an unset class

// A speed trajectory: sample j (1-based) is the speed j-1 seconds after the
// start, m/s. Fixed storage, so a search allocates nothing.
struct Trajectory {
    std::array<float, kTrajectorySamples + 1> v{}; // v[1..n]
    int                                       n = 0;
    void                                      start(float v0) {
                                             v[1] = v0;
                                             n = 1;
    }
    bool full() const { return n >= kTrajectorySamples; }
    void push(float x) {
        if (!full()) v[static_cast<std::size_t>(++n)] = x;
    }
    float last() const { return v[static_cast<std::size_t>(n)]; }
    float at(int j) const { return v[static_cast<std::size_t>(j)]; }
};

struct mod_ecodrive {
    int eco_fmt = 0; // approach model: 1 without queue estimate, 2 with it
    // Role of link l: 1 approach, -1 departure with throttle advice, -2
    // departure with constant-acceleration advice, 0 off.
    Array1<int>   lnk_flag{"lnk_flag", kMaxLinks};
    Array1<int>   sig_num{"sig_num", kMaxLinks};     // signal whose stop line the link serves
    Array1<int>   pha_num{"pha_num", kMaxLinks};     // phase number of the link's record
    Array1<float> dti{"dti", kMaxLinks};             // advice zone length, m
    Array1<float> dtia{"dtia", kMaxLinks};           // acceleration distance, m
    Array2<float> freq{"freq", kMaxLinks, kClasses}; // update interval per class, s
    Array1<int>   qdet{"qdet", kMaxLinks};           // detector station of the queue estimate
    // (l, vt) non-zero: class vt gets eco-driving advice on link l.
    Array2<int> eco_flag{"eco_flag", kMaxLinks, kClasses};
    // Advised speed of trip car, km/h (kNoEcoAdvice: none).
    MarkedArray1<float> spdeco{"spdeco", kMaxTrips, kNoEcoAdvice};
    // Queue view of trip car (model 2): 0 none, 1 estimated from the detector
    // flow, 2 counted from the vehicles ahead; qlen (1) vehicles, (2) length
    // m, (3) discharge time s.
    Array1<int>   eco_ctl{"eco_ctl", kMaxTrips};
    Array2<float> qlen{"qlen", kMaxTrips, 3};
    // Fuel coefficients and saturation deceleration per vehicle type, for eco
    // cruise control; zero unless its reader fills them.
    Array2<float> kz_cpfm{"kz_cpfm", kVehicleTypes, 3};
    Array1<float> dec_sat{"dec_sat", kVehicleTypes};
    // Class vt (1..5) has been told in the run log that its vehicle type
    // cannot price the advice's speed profiles.
    std::array<bool, kClasses + 1> unpriced_noted{};
    // Work trajectories of the searches.
    Trajectory work_a, work_b;

    void reset() { eco_flag.zero(); }
};

} // namespace velm
