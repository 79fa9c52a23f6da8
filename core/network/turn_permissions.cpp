// Per-link turn permissions for the routing trees, and the per-lane record of
// each lane's head vehicle near the link end, refreshed every tick.
#include "core/network/network.h"

#include <algorithm>

namespace velm {

namespace {
constexpr int   kNoArrival = 864000; // trnlan(., 1): one day in tenths of a second
constexpr int   kNoHeading = 999;    // trnlan(., 2): next link unknown or trip ends here
constexpr float kNearEndM = 10.0f;   // a standing head vehicle this close to the end counts
constexpr float kTicksPerSecond = 10.0f;
} // namespace

void turnperm(Sim& s) {
    auto&     turnper = s.link5.turnper;
    const int mlnum = std::min(s.link2.mlnum, kMaxLinks);
    for (int l = 1; l <= mlnum; ++l)
        for (int dir = 1; dir <= 3; ++dir) turnper(l, dir) = 0;
    for (int l = 1; l <= mlnum; ++l) {
        const int n = std::min(s.link1.nulans(l), kMaxLinkLanes);
        for (int p = 1; p <= n; ++p) {
            const int lane = s.lanexch.lannum(l, p);
            for (int dir = 1; dir <= 3; ++dir)
                if (s.link5.lanper(lane, dir) > 0) ++turnper(l, dir);
        }
    }
}

void settrn(Sim& s, int ind) {
    auto& trnlan = s.link5.trnlan;
    std::fill_n(trnlan.column(1), kMaxLanes, kNoArrival);
    std::fill_n(trnlan.column(2), kMaxLanes, 0);
    if (ind != 2) return;

    const auto& veh = s.vehicle;
    const int   mlnum = std::min(s.link2.mlnum, kMaxLinks);
    for (int l = 1; l <= mlnum; ++l) {
        if (s.link2.ntqu(l) <= 0) continue;
        const float end_m = kMetresPerKm * s.link4.llength(l);
        const int   n = std::min(s.link1.nulans(l), kMaxLinkLanes);
        for (int p = 1; p <= n; ++p) {
            const int lane = s.lanexch.lannum(l, p);
            const int car = s.link2.fvehlan(lane);
            if (car <= 0) continue;
            const int vid = s.vehindx.vehid(car);
            if (vid <= 0) continue; // a head trip without a network slot has no state to report
            if (s.vehplot.spd(vid, 1) <= kStandingKmh && end_m - s.vehplot.dis(vid, 1) > kNearEndM)
                continue;
            trnlan(lane, 1) = static_cast<int>(kTicksPerSecond * veh.dept(car));
            const int next = veh.nxtlnk(vid, 1);
            trnlan(lane, 2) =
                next > 0 && next <= kMaxLinks ? static_cast<int>(s.graph1.ang(next)) : kNoHeading;
        }
    }
}

} // namespace velm
