// Per-second link statistics: queued vehicles, the turning-direction shares of
// the smoothed link times that the trees read, and the vehicle-second sums of
// the link reports.
#include "core/movement/movement.h"

#include <algorithm>

namespace velm {

namespace {

constexpr float kMinTurnPercent = 1.0f;     // % of the all-direction time
constexpr float kMaxTurnPercent = 10000.0f; // %
constexpr int   kNeutralShare = 100;        // a direction costs what the link costs

// Queued vehicles of link l: those closer to the vehicle ahead (or to the link
// end, for the first) than the spacing at capacity. The vehicle ahead is the
// one before in the list, whatever its lane, so side-by-side vehicles count.
int queued_vehicles(const Sim& s, int l) {
    const auto& dis = s.vehplot.dis;
    const auto& big = s.vehicle.big;
    const auto& vehid = s.vehindx.vehid;
    const int   n = s.link2.ntqu(l);
    const int   base = s.link2.nbqu(l);
    const int   h = static_cast<int>(s.link5.minhd(l, 3));
    int         queued = 0;
    float       ahead = kMetresPerKm * s.link4.llength(l); // m, the link end
    for (int i = 1; i <= n; ++i) {
        const int car = big(base + i);
        const int vid = car >= 1 && car <= kMaxTrips ? vehid(car) : 0;
        if (vid < 1) continue; // a list entry without a network slot holds no position
        const float d = dis(vid, 1);
        if (static_cast<int>(ahead - d) < h) ++queued;
        ahead = d;
    }
    return queued;
}

// Time of each direction as a share of the all-direction time, per class.
void turning_shares(Sim& s, int l) {
    auto& tc = s.link5.turncnt;
    for (int c = 1; c <= kClasses; ++c) {
        const float all = static_cast<float>(tc(l, kAllDirections, c, 3));
        for (int i = 1; i <= kAllDirections; ++i) {
            if (all <= 0.0f) {
                // No all-direction time to compare with: leave the costs alone.
                tc(l, i, c, 4) = kNeutralShare;
                continue;
            }
            const float share = static_cast<float>(tc(l, i, c, 3)) * 100.0f / all;
            tc(l, i, c, 4) = static_cast<int>(std::clamp(share, kMinTurnPercent, kMaxTurnPercent));
        }
    }
}

} // namespace

void qtime(Sim& s) {
    auto&     rqs = s.link2.rqs;
    const int ml = std::min(s.link2.mlnum, kMaxLinks);
    for (int l = 1; l <= ml; ++l) {
        if (s.link4.llength(l) <= 0.0f) continue;
        rqs(l) = s.link2.ntqu(l) > 0 ? queued_vehicles(s, l) : 0;
        turning_shares(s, l);
    }
}

void resetflow(Sim& s) {
    auto&       ttqu = s.link2.ttqu;
    auto&       totque = s.link2.totque;
    const auto& ntqu = s.link2.ntqu;
    const auto& rqs = s.link2.rqs;
    const int   ml = std::min(s.link2.mlnum, kMaxLinks);
    for (int l = 1; l <= ml; ++l) {
        if (s.link4.llength(l) < 0.0f) continue;
        for (int k = 1; k <= 2; ++k) {
            ttqu(l, k) += ntqu(l);
            totque(l, k) += rqs(l);
        }
    }
}

} // namespace velm
