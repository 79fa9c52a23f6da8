#pragma once
// "No passing, no overlap" in every lane, read where it can fail: just before
// the sort step, when each link's vehicle list still has the order of the
// previous tick (front first) and the positions are this tick's. Walking a
// list front first, a vehicle's position must not rise above the one met
// before it in its lane, and the front-to-front spacing behind that vehicle
// must be at least half the link's jam spacing times its |pcu| (the tightest
// spacing car following and the lane-change rules allow is 0.875 of it).
// Shared by the car-following properties and the sample scenarios.
#include "core/model/sim.h"

#include <cmath>
#include <string>

namespace velm {

inline constexpr float kLeastSpacingShare = 0.5f; // of jam spacing x |pcu of the leader|

// Calls fault(text) for each pass or overlap found on the links' lists.
template <class Fault> void check_lane_order(const Sim& s, Fault&& fault) {
    const auto& v = s.vehicle;
    const auto& p = s.vehplot;
    for (int l = 1; l <= s.link2.mlnum; ++l) {
        const int n = s.link2.ntqu(l);
        if (n < 2) continue;
        const float jam = s.link5.minhd(l, 1);
        float       ahead_pos[kMaxLinkLanes + 1];
        int         ahead_car[kMaxLinkLanes + 1] = {};
        for (int i = 1; i <= n; ++i) {
            const int car = v.big(s.link2.nbqu(l) + i);
            if (car < 1 || car > kMaxTrips) continue;
            const int vid = s.vehindx.vehid(car);
            if (vid < 1 || vid > kMaxVehicles) continue;
            const int lane = s.oddat.vlan(vid, 1);
            if (lane < 1 || lane > kMaxLinkLanes) continue;
            const float d = p.dis(vid, 1);
            const int   a = ahead_car[lane];
            if (a > 0) {
                // The text is built only for a fault: this runs for every
                // vehicle of every tick.
                const auto who = [&] {
                    return "trip " + std::to_string(car) + " on link " + std::to_string(l) +
                           " lane " + std::to_string(lane);
                };
                const float gap = ahead_pos[lane] - d;
                const float least = kLeastSpacingShare * jam * std::fabs(v.pcu(a));
                if (gap < 0.0f)
                    fault(who() + " at " + std::to_string(d) + " m passed trip " +
                          std::to_string(a) + " at " + std::to_string(ahead_pos[lane]) + " m");
                else if (gap < least)
                    fault(who() + " is " + std::to_string(gap) + " m behind trip " +
                          std::to_string(a) + ", spacing below " + std::to_string(least) + " m");
            }
            ahead_car[lane] = car;
            ahead_pos[lane] = d;
        }
    }
}

} // namespace velm
