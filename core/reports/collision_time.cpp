// Time-to-collision statistics, once per simulated second: each vehicle and
// its leader are projected over the next ten seconds in half-second steps,
// and a vehicle whose spacing falls to half the link's jam spacing is in
// conflict, weighted by how soon the conflict comes.
#include "core/energy/energy.h"
#include "core/model/codes.h"
#include "core/reports/reports.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velm {

namespace {

inline constexpr int   kSteps = 21;              // half-second steps over 0..10 s
inline constexpr float kStep = 0.5f;             // s
inline constexpr float kNoConflict = 11.0f;      // s: the time to collision of a conflict at once
inline constexpr float kSpeedBinSpan = 120.0f;   // m/s spanned by speed-difference bins 1..7
inline constexpr int   kSquaredAcceleration = 2; // travelsum flag: grid measure 5
inline constexpr int   kConflictWeight = 3;      // travelsum flag: grid measure 6
inline constexpr std::array<float, 5> kNoMoe{};  // travelsum's moe, unused by those flags

struct Projection {
    bool  conflict = false;
    float ttc = kNoConflict; // s
    float dv = 0.0f;         // follower minus leader speed at the conflict, m/s
};

// Constant speeds (mode 1), or speeds changed by each vehicle's acceleration
// at every step and floored at zero (mode 2). gap: the leader's position
// minus the follower's (m); v, vl in m/s; a, al in m/s2; h the threshold (m).
Projection project(int mode, float gap, float v, float vl, float a, float al, float h) {
    Projection p;
    float      xf = 0.0f, xl = gap;
    for (int k = 1; k <= kSteps; ++k) {
        const float tk = static_cast<float>(k - 1) * kStep;
        if (mode == 2) {
            if (k > 1) {
                xf += v * kStep;
                xl += vl * kStep;
                v = std::max(0.0f, v + a * kStep);
                vl = std::max(0.0f, vl + al * kStep);
            }
        } else {
            xf = static_cast<float>(k - 1) * v / 2.0f;
            xl = static_cast<float>(k - 1) * vl / 2.0f + gap;
        }
        if (xl - xf <= h) {
            p.conflict = true;
            p.dv = v - vl;
            // A vehicle already within the threshold keeps the no-conflict
            // time: its weight is that of the latest bin.
            if (tk > 0.0f) p.ttc = tk;
            return p;
        }
    }
    return p;
}

// Segment 1..20 of the link for a position x (m) on a link of `km` km; a
// position off the link counts on its end segment.
int segment(float x, float km) {
    const float g = 1.0f + static_cast<float>(kLinkSegments - 1) * (x / kMetresPerKm / km);
    return std::clamp(static_cast<int>(std::clamp(g, 0.0f, static_cast<float>(kLinkSegments))), 1,
                      kLinkSegments);
}

} // namespace

void comp_tcol(Sim& s, int mode) {
    const auto& l2 = s.link2;
    const auto& vp = s.vehplot;
    auto&       tc = s.timcol;
    for (int i = 1; i <= l2.mlnum; ++i) {
        const int   n = l2.ntqu(i);
        const float km = s.link4.llength(i);
        if (n <= 0 || !(km > 0.0f)) continue;
        const float h = s.link5.minhd(i, 1) / 2.0f;
        for (int k = 1; k <= n; ++k) {
            const int   car = s.vehicle.big(l2.nbqu(i) + k);
            const int   vid = s.vehindx.vehid(car);
            const float x = vp.dis(vid, 1);
            const float a = s.vehicle.vacc(vid, 1);
            const bool  drawn = vp.drawn(vid) == 1;
            const int   g = segment(x, km);
            tc.lin_tcol(i, g, 1) += a * a;
            if (drawn)
                travelsum(s, kSquaredAcceleration, kNoMoe, vp.xq(vid, 1), vp.yq(vid, 1), a * a);

            const Projection p = project(mode, vp.pre_spd(vid, 1) - x, vp.spd(vid, 4) / kKmhPerMps,
                                         vp.pre_spd(vid, 2) / kKmhPerMps, a, vp.pre_spd(vid, 3), h);
            if (!p.conflict) continue;
            const float w = std::exp(-p.ttc);
            tc.lin_tcol(i, g, 2) += w;
            const int   tbin = std::clamp(static_cast<int>(2.0f * p.ttc), 1, kTtcBins);
            const float sb = 1.0f + p.dv * static_cast<float>(kSpeedDiffBins - 1) / kSpeedBinSpan;
            const int   sbin =
                static_cast<int>(std::clamp(sb, 1.0f, static_cast<float>(kSpeedDiffBins)));
            tc.fr_tcol(tbin, sbin) += 1.0f;
            const float risk = w * p.dv * p.dv;
            tc.veh_tcol(car, 1) += risk;
            tc.veh_tcol(car, 2) += risk;
            tc.tot_tcol += risk;
            if (drawn) travelsum(s, kConflictWeight, kNoMoe, vp.xq(vid, 1), vp.yq(vid, 1), w);
        }
    }
}

} // namespace velm
