#pragma once
// Time-to-collision statistics: conflicts by time to collision and speed
// difference, weighted sums per link segment, per trip and for the network.
// They start at zero and only grow during the run.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kTtcBins = 20;      // half-second bins of the time to collision
inline constexpr int kSpeedDiffBins = 7; // bins of the speed difference to the leader
inline constexpr int kLinkSegments = 20; // equal parts of a link's length

struct mod_timcol {
    // (b, s): conflicts in time-to-collision bin b and speed-difference bin s.
    Array2<float> fr_tcol{"fr_tcol", kTtcBins, kSpeedDiffBins};
    // (l, g, 1) squared accelerations (m2/s4) of the vehicles evaluated on
    // segment g of link l; (l, g, 2) their conflict weights.
    Array3<float> lin_tcol{"lin_tcol", kMaxLinks, kLinkSegments, 2};
    // Per trip: conflict weight x squared speed difference (m2/s2); both
    // columns receive the same amount.
    Array2<float> veh_tcol{"veh_tcol", kMaxTrips, 2};
    float         tot_tcol = 0.0f; // the network sum of the same
};

} // namespace velm
