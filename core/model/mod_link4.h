#pragma once
// Link length, speeds and flows of the link file, turn bans, dispersion and
// route-cost bias, lane prohibitions and incident state.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int   kTurnBans = 3;             // banturn(l, ., 1..3)
inline constexpr float kFreeSpdNotSet = -9999.0f; // freespd of a link not coded

struct mod_link4 {
    Array1<float> llength{"llength", kMaxLinks};    // km; -99999 = link not coded
    Array1<float> freespd{"freespd", kMaxLinks};    // km/h
    Array1<float> lanesat{"lanesat", kMaxLinks};    // veh/h/lane
    Array2<float> pltdsp{"pltdsp", kMaxLinks, 4};   // driver dispersion: free speed, vc, capacity
    Array2<float> biasfac{"biasfac", kMaxLinks, 2}; // route-cost bias: additive s, multiplier
    // (l, 1, j) link the banned turn leads to (0 none), (l, 2, j) start s,
    // (l, 3, j) end s (604800 = to the end of the run).
    Array3<int> banturn{"banturn", kMaxLinks, 3, kTurnBans};
    Array1<int> io12{"io12", kMaxLinks};        // 1 = listed in the link reports
    Array2<int> lanpro{"lanpro", kMaxLanes, 6}; // per network lane: class prohibitions, any
    // Lane-change horizon, m: drops at once to an incident and recovers 1 % of
    // the difference per update, so it keeps fractions of a metre.
    Array1<float> hrdwal{"hrdwal", kMaxLinks};
    Array2<float> laneloss{"laneloss", kMaxLinks, 2}; // lanes blocked, remaining capacity share

    mod_link4() { reset(); }
    // The link reader's start state: no link coded, no bans.
    void reset() {
        llength.fill(kLinkNotCoded);
        freespd.fill(kFreeSpdNotSet);
        lanesat.zero();
        pltdsp.zero();
        biasfac.zero();
        for (int l = 1; l <= kMaxLinks; ++l) biasfac(l, 2) = 1.0f;
        banturn.zero();
        for (int j = 1; j <= kTurnBans; ++j)
            for (int l = 1; l <= kMaxLinks; ++l) banturn(l, 3, j) = kNever;
        io12.zero();
        hrdwal.zero();
    }
};

} // namespace velm
