// Incidents at run time. Every update rebuilds the blockage state from the
// incidents in force at the current second, so an incident takes effect at
// the first update at or after its start and is gone at the first update at
// or after its end. The lane-change horizon carries over between updates.
#include "core/movement/incidents.h"

#include "core/movement/movement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr float kFreeBeyond = 1000.0f;    // m past the link end: the section of a free lane
constexpr float kFullBlock = 0.9f;        // every lane at least this blocked: link blocked
constexpr float kHorizonRecovery = 0.01f; // share of the difference regained per update

int lanes_of(const Sim& s, int l) {
    return std::min(std::abs(s.link1.nulans(l)), kMaxLinkLanes);
}

bool lane_in_range(int g) {
    return g >= 1 && g <= kMaxLanes;
}

// Whole metres of a section bound given in km (single precision, so 0.7 km
// is 700 m).
int whole_metres(float km) {
    return static_cast<int>(std::trunc(kMetresPerKm * km));
}

} // namespace

bool incident_active(const Sim& s, int i, int t) {
    const auto& inc = s.incident;
    return inc.lninc(i) != kIncidentUnused && inc.stinc(i) <= t && t < inc.eninc(i);
}

void incid(Sim& s) {
    auto&       inc = s.incident;
    auto&       capred = s.link1.capred;
    auto&       incdist = s.link1.incdist;
    const auto& lannum = s.lanexch.lannum;
    const int   t = s.control.t;

    for (int l = 1; l <= kMaxLinks; ++l) {
        const float len = kMetresPerKm * s.link4.llength(l);
        if (!(len > 0.0f)) continue;
        inc.comblk(l) = 0;
        const int free_end = static_cast<int>(std::trunc(len + kFreeBeyond));
        for (int j = 1, n = lanes_of(s, l); j <= n; ++j) {
            capred(l, j, 1) = 0.0f;
            const int g = lannum(l, j);
            if (!lane_in_range(g)) continue;
            incdist(g, 1) = incdist(g, 2) = free_end;
        }
    }

    // Later incidents on the same link overwrite the lanes they block.
    for (int i = 1, m = std::min(inc.mainc, kMaxIncidents); i <= m; ++i) {
        if (!incident_active(s, i, t)) continue;
        const int l = inc.lninc(i);
        // The incident check admits only coded links; a slot that names
        // anything else is skipped rather than read outside the tables.
        if (l < 1 || l > kMaxLinks || !(s.link4.llength(l) > 0.0f)) continue;
        const int n = lanes_of(s, l);
        bool      all_blocked = n > 0;
        for (int j = 1; j <= n; ++j) {
            const float v = inc.lane(i, j);
            if (std::fabs(v) < kFullBlock) all_blocked = false;
            if (!(std::fabs(v) > 0.0f)) continue;
            capred(l, j, 1) = v;
            const int g = lannum(l, j);
            if (!lane_in_range(g)) continue;
            incdist(g, 1) = whole_metres(inc.inclng(i, 1));
            incdist(g, 2) = whole_metres(inc.inclng(i, 2));
        }
        if (all_blocked) inc.comblk(l) = 1;
    }

    // The horizon is pulled back to the blockage end nearest the link start
    // at once, and recovers slowly when the blockage clears.
    for (int l = 1; l <= kMaxLinks; ++l) {
        const float len = kMetresPerKm * s.link4.llength(l);
        if (!(len > 0.0f)) continue;
        float x = len - s.link5.minhd(l, 1);
        for (int j = 1, n = lanes_of(s, l); j <= n; ++j) {
            const int g = lannum(l, j);
            if (!lane_in_range(g)) continue;
            const float end = static_cast<float>(incdist(g, 2));
            if (end < x) x = len - end;
        }
        float& h = s.link4.hrdwal(l);
        h = h <= x ? kHorizonRecovery * x + (1.0f - kHorizonRecovery) * h : x;
    }
}

// The display and the per-second block call this every second; the blockage
// state it would show is kept by incid, so there is nothing to do here.
void pincident(Sim&) {}

} // namespace velm
