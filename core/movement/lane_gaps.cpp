// Lane gap conditioning. A lane that does not lead to the vehicle's next link
// ends for it at a hard wall before the link end, announced by a soft wall
// further upstream; an incident blocks part of a lane; a bus holds at its
// stop; a lane that needs changes on the next link is avoided before a short
// weaving section. All of it is expressed as a shorter gap or a factor.
#include "core/movement/lane_gaps.h"

#include "core/driver/random.h"
#include "core/movement/exact_float.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr float kNoWallBeyond = 1000.0f; // m past the link end: soft wall of a lane without walls
constexpr float kPastBothWalls = 2.0f;   // wall zone share when the two walls coincide
constexpr float kBlocked = 0.95f;        // absolute blockage above which a lane is blocked
constexpr float kPartial = 0.1f;         // blockage above which a lane is partly blocked
constexpr float kIncidentReach = 200.0f; // m over which a blockage ahead lowers the factor
constexpr float kNextIncidentReach = 500.0f; // m: blockage on the next link seen this far
constexpr float kInsideBlockOwn = 0.1f;      // factor inside a blockage, own lane
constexpr float kWeavingLookAhead = 2500.0f; // m to the link end within which weaving is seen
constexpr float kWeavingReach = 2000.0f;     // m to the next link's end
constexpr float kStopBlock = 25.0f;          // bus-stop approach unit, jam spacings
constexpr float kMinWeavingFactor = 0.1f;    // smallest weaving factor
constexpr int   kLeftAfterTicks = 100;       // ticks of the run before the left neighbour caps

int lanes_of(const Sim& s, int l) {
    return std::min(std::abs(s.link1.nulans(l)), kMaxLinkLanes);
}

bool valid_link(const Sim& s, int l) {
    return l >= 1 && l <= kMaxLinks && s.link4.llength(l) > 0.0f;
}

// Lane n of the next link that lane l continues in (0 when unknown).
int continued_lane(const Sim& s, const LanePass& p, int l) {
    if (p.ldest <= 0 || p.linkot < 1 || p.linkot > kMaxNodeLinks || !valid_link(s, p.ldest))
        return 0;
    const int n = s.lanexch.nxtlan(s.lanexch.lannum(p.nl, l), p.linkot, 1);
    return n >= 1 && n <= lanes_of(s, p.ldest) ? n : 0;
}

// Walls of lane l: the hard wall acts as a standing leader; xxx(l, 2) says
// how far into the zone between the walls the vehicle is.
void apply_walls(Sim& s, LanePass& p, int l, float& tpos, bool gap) {
    const LaneWalls w = lane_walls(s, p, p.xxx[l][1]);
    p.xxx[l][2] = 0.0f;
    if (w.any) {
        if (gap && tpos > w.c1) {
            tpos = w.c1;
            p.spre[l] = 0.0f;
        }
        if (p.dnew > w.c2) {
            const float zone = w.c1 - w.c2;
            p.xxx[l][2] = zone > 0.0f ? (p.dnew - w.c2) / zone : kPastBothWalls;
        }
    }
    p.xxx[l][4] = w.any ? w.c2 : p.len;
    if (gap && l == p.lane1) {
        s.vehicle.carwal(p.vid, 8) = (w.c2 - p.dnew) / kMetresPerKm;
        s.vehicle.carwal(p.vid, 9) = (w.c1 - p.dnew) / kMetresPerKm;
    }
}

// Some lane of the vehicle's next link carries a blockage value. Looked up
// once for each next link the vehicles of the pass's link share.
bool next_link_blocked(const Sim& s, LanePass& p) {
    if (p.next_checked != p.ldest) {
        p.next_checked = p.ldest;
        p.next_blocked = false;
        for (int k = 1, m = lanes_of(s, p.ldest); k <= m; ++k)
            if (std::fabs(s.link1.capred(p.ldest, k, 1)) > 0.0f) p.next_blocked = true;
    }
    return p.next_blocked;
}

void apply_incidents(Sim& s, LanePass& p, int l, float& tpos) {
    const auto& incdist = s.link1.incdist;
    const int   lan = s.lanexch.lannum(p.nl, l);
    const float v = p.blocked ? s.link1.capred(p.nl, l, 1) : 0.0f;
    const float b = std::fabs(v);
    p.incpen[l] = 1.0f;
    if (b == 0.0f) {
        // No blockage in this lane: nothing to look up.
    } else if (b <= kBlocked) {
        // The factor is the blocked share as a magnitude: a partial-blockage
        // code is stored negative and must not turn the gap negative.
        const float end = static_cast<float>(incdist(lan, 2));
        if (b > kPartial && end < p.len && p.dnew < end) p.incpen[l] = b;
    } else {
        float start = static_cast<float>(incdist(lan, 1));
        // Edge lanes see the blockage earlier (two spacings at capacity, fewer
        // when it starts close to the link start) unless the link is closed.
        const float e =
            p.dencap * std::min(1.0f, p.dencap > 0.0f ? start / (3.0f * p.dencap) : 1.0f);
        if (s.incident.comblk(p.nl) != 1) {
            if (l == 1) start -= 2.0f * e;
            if (l == p.numlans) start -= 2.0f * e;
        }
        if (p.dnew <= start) {
            if (tpos > start) {
                tpos = start;
                p.spre[l] = 0.0f;
            }
            const float w = std::min(kIncidentReach, p.len);
            p.incpen[l] = w > 0.0f ? std::max(0.0f, std::min(start - p.dnew, w) / w) : 0.0f;
        } else if (p.dnew < static_cast<float>(incdist(lan, 2))) {
            p.incpen[l] = l == p.lane1 ? kInsideBlockOwn : 0.0f;
        }
    }

    // A blockage on the next link, in the lane this one continues in.
    if (p.ldest <= 0 || p.numlans <= 1 || !valid_link(s, p.ldest)) return;
    if (!next_link_blocked(s, p)) {
        // Every lane's section starts 1000 m past the next link's end: when
        // that is beyond the reach, whichever lane this one continues in,
        // nothing is seen.
        const float q = p.len + (kMetresPerKm * s.link4.llength(p.ldest) + kNoWallBeyond);
        if (std::min(q, q - p.dencap) - p.dnew > kNextIncidentReach) return;
    }
    const int n = continued_lane(s, p, l);
    if (n == 0) return;
    float q = p.len + blockage_start(s, p.ldest, n);
    if ((n == 1 || n == lanes_of(s, p.ldest)) && s.incident.comblk(p.ldest) != 1) q -= p.dencap;
    if (q - p.dnew <= kNextIncidentReach) {
        tpos = std::min(tpos, q);
        const float f =
            std::max(0.0f, std::min(q - p.dnew, kNextIncidentReach)) / kNextIncidentReach;
        p.incpen[l] = std::min(p.incpen[l], f);
    }
}

// Bus-stop approach of a stop at B (m from this link's start) in lane c,
// seen from a lane k lanes away from c (on this link, or the next link's lane
// that the vehicle's lane continues in). `reach` lanes' worth of approach
// blocks lie before the soft start: one more on this link than the offset.
struct StopApproach {
    float soft = 0.0f; // S: the factor starts falling here
    float hold = 0.0f; // H: the point the bus holds behind
};
StopApproach stop_approach(float jdhead, float B, int lanes, int k, int reach) {
    float h = kStopBlock * jdhead;
    if (B < static_cast<float>(lanes) * h && lanes > 0) h = B / static_cast<float>(lanes);
    StopApproach a;
    a.soft = std::max(jdhead, B - static_cast<float>(reach) * 5.0f * h);
    a.hold = jdhead + B - static_cast<float>(k) * h - 1.0f;
    return a;
}

float stop_factor(const StopApproach& a, float dnew) {
    if (dnew < a.soft) return 1.0f;
    const float span = a.hold - a.soft;
    if (!(span > 0.0f)) return 0.0f;
    return std::clamp(1.0f - (dnew - a.soft) / span, 0.0f, 1.0f);
}

bool serves(const Sim& s, int stop, int vt) {
    return vt >= 1 && vt <= kClasses && s.busstop.bustyp(stop, vt) > 0;
}

void this_link_stops(Sim& s, LanePass& p, int l, float tr) {
    const auto& bs = s.busstop;
    const int   ns = std::min(bs.tbstpln(p.nl), kMaxStopsPerLink);
    for (int k = 1; k <= ns; ++k) {
        const int j = bs.buslin(p.nl, k);
        if (j < 1 || j > kMaxBusStops || !serves(s, j, p.vt)) continue;
        const float B = static_cast<float>(bs.busstp(j, 2));
        if (!(p.dnew < B)) continue;
        const int          c = bs.busstp(j, 3);
        const int          k_off = std::abs(l - c);
        const StopApproach a = stop_approach(p.jdhead, B, p.numlans, k_off, k_off + 1);
        // With several stops ahead the strongest (nearest) factor holds.
        p.buspen[l] = std::min(p.buspen[l], stop_factor(a, p.dnew));
        const float hold = a.hold - p.dnew;
        int&        wait = s.busstop.buswait(p.vid);
        if (p.dnew <= B - static_cast<float>(bs.busstp(j, 7))) {
            p.xgap[l] = std::min(p.xgap[l], hold);
            if (p.lane1 == c && l != c) p.xgap[l] = 0.0f;
        } else if (wait < kNotWaiting) {
            // The dwell is the driver's own draw, so it is the same every tick.
            const float mean = static_cast<float>(bs.busstp(j, 4));
            float       dwell = 0.0f;
            if (mean > 0.0f) {
                float u = driver_u(s, p.car);
                lognorm(mean, static_cast<float>(bs.busstp(j, 5)) / 1000.0f, u, dwell);
            }
            if (tr < static_cast<float>(wait) + dwell) p.xgap[l] = hold;
        } else {
            wait = static_cast<int>(tr);
            p.xgap[l] = hold;
        }
    }
}

void next_link_stops(Sim& s, LanePass& p, int l) {
    const auto& bs = s.busstop;
    if (p.ldest <= 0 || !valid_link(s, p.ldest)) return;
    const int ns = std::min(bs.tbstpln(p.ldest), kMaxStopsPerLink);
    for (int k = 1; k <= ns; ++k) {
        const int j = bs.buslin(p.ldest, k);
        if (j < 1 || j > kMaxBusStops || !serves(s, j, p.vt)) continue;
        const int c = bs.busstp(j, 3);
        bool      reachable = false;
        for (int ll = p.ll1; ll <= p.ll2 && !reachable; ++ll)
            reachable = p.xxx[ll][1] <= 0.0f && continued_lane(s, p, ll) == c;
        if (!reachable) continue;
        const int          n = continued_lane(s, p, l);
        const float        B = p.len + static_cast<float>(bs.busstp(j, 2));
        const int          k_off = std::abs(n - c);
        const StopApproach a = stop_approach(p.jdhead, B, lanes_of(s, p.ldest), k_off, k_off);
        p.buspen[l] = std::min(p.buspen[l], stop_factor(a, p.dnew));
        p.xgap[l] = std::min(p.xgap[l], a.hold - p.dnew);
        if (l != p.lane1 && n != c) p.xgap[l] = 0.0f;
    }
}

void apply_weaving(Sim& s, LanePass& p, int l, bool gap) {
    const Weaving w = downstream_weaving(s, p, l);
    if (!w.applies) return;
    if (gap && w.in_zone) p.xgap[l] = std::min(p.xgap[l], w.F);
    if (w.walled && w.F <= w.ws) {
        p.xxx[l][6] = w.share;
        p.xxx[l][3] = std::max(kMinWeavingFactor, w.share);
        if (gap) {
            p.xgap[l] = std::min(p.xgap[l], w.F - w.wh);
            if (l == p.lane1 && p.stopcode == 0) p.xgap[l] *= std::sqrt(p.xxx[l][3]);
        }
    }
    if (gap && l == p.lane1) {
        s.vehicle.carwal(p.vid, 10) = (w.F - w.ws) / kMetresPerKm;
        s.vehicle.carwal(p.vid, 11) = (w.F - w.wh) / kMetresPerKm;
    }
}

// A vehicle that moved in from the left and accelerates weakly closes the gap.
void closing_gap(Sim& s, LanePass& p, int l) {
    const float d = p.lanocc[l][5] - p.dnew;
    const float weak = p.lanocc[l][6];
    // The mover's acceleration is compared with column 1 of this vehicle's
    // acceleration record, as the model has always done; the test that
    // matters is the first one (a mover that hardly accelerates).
    if (d > 1.1f * s.link5.minhd(p.nl, 3) && d < p.xgap[l] && weak < 0.1f &&
        weak < s.vehplot.accmod(p.vid, 1))
        p.xgap[l] = d;
}

} // namespace

float blockage_start(const Sim& s, int l, int k) {
    const float free = kMetresPerKm * s.link4.llength(l) + kNoWallBeyond;
    if (l < 1 || l > kMaxLinks || k < 1 || k > kMaxLinkLanes) return free;
    // Only a lane with a blockage value has a section; the section columns
    // of the other lanes are not read.
    if (!(std::fabs(s.link1.capred(l, k, 1)) > 0.0f)) return free;
    const int g = s.lanexch.lannum(l, k);
    return g >= 1 && g <= kMaxLanes ? static_cast<float>(s.link1.incdist(g, 1)) : free;
}

float lane_blockage_start(const Sim& s, const LanePass& p, int l) {
    return p.blocked ? blockage_start(s, p.nl, l) : p.len + kNoWallBeyond;
}

int lane_shift(const Sim& s, const LanePass& p, int l) {
    if (p.ldest <= 0 || p.linkot < 1 || p.linkot > kMaxNodeLinks || l < 1 || l > p.numlans)
        return 0;
    const int lan = s.lanexch.lannum(p.nl, l);
    return lan >= 1 && lan <= kMaxLanes ? s.lanexch.lanshf(lan, p.linkot) : 0;
}

LaneWalls lane_walls(const Sim& s, const LanePass& p, float a) {
    LaneWalls w;
    w.c1 = kNoHardWall;
    w.c2 = p.len + kNoWallBeyond;
    if (a <= 0.99f || static_cast<float>(p.tmolink) >= kWallMemory) return w;
    const auto& wv = s.wvedat.wvedat;
    const float u = driver_u(s, p.car);
    const bool  open_end = s.link3.tsignal(p.nl) == 0;
    const float f = open_end && p.merge == 1 ? 0.5f + 2.5f * u : 2.5f + 0.5f * u;
    float       x = wv(1) * p.jdhead * f;
    // A short horizon (a short link, or an incident near its start) shrinks
    // the walls with it.
    const float M = 3.0f * wv(1) * p.jdhead * (static_cast<float>(p.numlans) - 0.5f);
    const float h = s.link4.hrdwal(p.nl);
    if (M > 0.0f && h <= M) x = x * std::max(0.0f, h) / M;
    if (open_end) {
        w.c1 = p.len - x * (a - 0.5f);
        w.c2 = p.len - x * a * wv(2);
    } else {
        // Controlled end: the walls are laid out from the link start, earlier
        // for lanes that need more changes.
        const float y = std::max(p.len / (2.0f * static_cast<float>(p.numlans)), p.jdhead);
        w.c1 = 1.5f * y * (static_cast<float>(p.numlans) - a);
        w.c2 = w.c1 - y * a;
    }
    w.any = true;
    return w;
}

Weaving downstream_weaving(const Sim& s, const LanePass& p, int l) {
    Weaving w;
    // The driver's own threshold last: the other tests rule out most vehicles.
    if (static_cast<float>(p.tmolink) >= kWallMemory || !(p.remdis < kWeavingLookAhead) ||
        !(p.xxx[l][1] < 0.9f) || p.ldest <= 0 || !valid_link(s, p.ldest))
        return w;
    const float u = driver_u(s, p.car);
    if (!(p.dnew > p.jdhead * (1.0f + 2.0f * u))) return w;
    w.applies = true;
    const int   ldest = p.ldest;
    const float L2 = kMetresPerKm * s.link4.llength(ldest);
    w.F = p.remdis + L2;
    if (s.link3.tsignal(p.nl) != 0) return w;
    if (w.F > kWeavingReach) return w;
    if (s.graph1.nlinot(ldest) == 1 && w.F > 300.0f * (1.0f + u)) return w;

    const auto& wv = s.wvedat.wvedat;
    const float g = s.link3.tsignal(ldest) == 0 ? 2.0f + u : 2.5f + 0.5f * u;
    const float m = static_cast<float>(lanes_of(s, ldest));
    float       b = 3.1f * wv(1) * s.link5.minhd(ldest, 1);
    if (m > 1.0f && L2 < 2.0f * (m - 1.0f) * b) b *= L2 / (2.0f * (m - 1.0f) * b);
    if (p.spdcap > 0.0f) b *= plus_scaled(1.0f, 2.0f, p.spd, p.spdcap);
    float Z = (m - 1.0f) * b * wv(2);
    float r = wv(2);
    float P = p.len + L2;
    if (P > 500.0f) P = 500.0f + (g - 1.9f) * (P - 500.0f) / 1.2f;
    if (P < Z && Z > 0.0f) {
        b *= std::sqrt(std::max(0.0f, P) / Z);
        Z = P;
        r = b > 0.0f ? Z / b : r;
    }
    const int after = s.vehicle.nxtlnk(p.vid, 5);
    if (!(w.F <= Z) || after <= 0 || after > kMaxNodeLinks) return w;
    w.in_zone = true;

    const int n = continued_lane(s, p, l);
    if (n == 0) return w;
    const int nlan = s.lanexch.lannum(ldest, n);
    if (nlan < 1 || nlan > kMaxLanes) return w;
    int         k = s.lanexch.lanshf(nlan, after);
    const auto& g1 = s.graph1;
    const int   nout = std::clamp(g1.nlinot(p.nl), 0, kMaxNodeLinks);
    auto        ranked = [&](int r_) {
        const int idx = s.lanexch.alanot(p.nl, r_);
        return idx >= 1 && idx <= kMaxNodeLinks ? std::abs(g1.linot(p.nl, idx)) : 0;
    };
    if (k < 0) {
        const bool first = nout >= 1 && ranked(1) == ldest;
        if (!first || l <= 1 || !(lane_shift(s, p, l - 1) < 1)) k = 0;
    } else if (k > 0) {
        const bool last = nout >= 1 && ranked(nout) == ldest;
        if (!last || l >= p.numlans || !(lane_shift(s, p, l + 1) > -1)) k = 0;
    }
    // Changes on the next link that run out of lanes on this side count less.
    int K = std::abs(k);
    if (k != 0) {
        const int d = k < 0 ? l + k - 1 : p.numlans - k - l;
        if (d < 0) K = std::max(0, K - std::abs(d));
    }
    if (K == 0) return w;
    w.walled = true;
    w.wh = static_cast<float>(K) * b;
    w.ws = static_cast<float>(K) * b * r;
    if (w.F <= w.ws) {
        const float zone = w.ws - w.wh;
        w.share = w.F >= w.wh && zone > 0.0f ? (w.F - w.wh) / zone : kMinWeavingFactor;
    }
    return w;
}

void lane_needs(Sim& s, LanePass& p, int l) {
    const int sh = lane_shift(s, p, l);
    p.xxx[l][1] = static_cast<float>(std::abs(sh));
    p.xxx[l][5] = static_cast<float>(sh);
    p.xxx[l][6] = 1.0f;
    const int lan = s.lanexch.lannum(p.nl, l);
    if (lan < 1 || lan > kMaxLanes) return;
    const bool open = p.vt >= 1 && p.vt <= kClasses && s.link4.lanpro(lan, p.vt) < 1;
    if (open && p.dnew < lane_blockage_start(s, p, l) - p.jdhead &&
        (!p.blocked || std::fabs(s.link1.capred(p.nl, l, 1)) < 0.5f))
        p.fl_blk = 1;
}

void lane_walls_incidents(Sim& s, LanePass& p, int l, float& tpos) {
    p.xxx[l][3] = 1.0f;
    apply_walls(s, p, l, tpos, true);
    apply_incidents(s, p, l, tpos);
}

void lane_gap_conditioning(Sim& s, LanePass& p, int l) {
    const float tr = static_cast<float>(s.control.t10) / 10.0f;
    if (p.spd > p.spdcap && l != p.lane1 && p.xxx[l][2] <= 1.0f)
        p.xgap[l] /= 1.0f + static_cast<float>(std::abs(l - p.lane1)) / 5.0f;
    this_link_stops(s, p, l, tr);
    next_link_stops(s, p, l);
    apply_weaving(s, p, l, true);
    closing_gap(s, p, l);
}

void lane_needs_only(Sim& s, LanePass& p, int l, bool weaving) {
    const int sh = lane_shift(s, p, l);
    p.xxx[l][1] = static_cast<float>(std::abs(sh));
    p.xxx[l][5] = static_cast<float>(sh);
    p.xxx[l][3] = p.xxx[l][6] = 1.0f;
    float none = 0.0f;
    apply_walls(s, p, l, none, false);
    if (weaving) apply_weaving(s, p, l, false);
}

void current_lane_caps(Sim& s, LanePass& p, int t10) {
    auto&       carwal = s.vehicle.carwal;
    const int   vid = p.vid;
    const int   l1 = p.lane1;
    const float o = p.spdcap > 0.0f ? plus_scaled(p.jdhead, p.dencap - p.jdhead, p.spd, p.spdcap)
                                    : p.jdhead + 0.0f;

    // Room for a vehicle in front that has waited longer to merge in.
    const int wisher = p.desmov_car[l1];
    const int g = wisher > 0 && wisher != p.car ? s.vehindx.vehid(wisher) : 0;
    if (g >= 1 && g <= kMaxVehicles && s.vehicle.arrt(p.car) > s.vehicle.arrt(wisher) &&
        carwal(g, 3) > carwal(vid, 3)) {
        const float e = s.vehplot.dis(g, 1) - p.dnew;
        const float o1 = o + 0.1f;
        const float w6 = s.wvedat.wvedat(6);
        float       cap = p.frespd;
        if (e > o1 && w6 > 0.0f)
            cap =
                ((e + w6 * s.vehplot.spd(g, 4) / kKmhPerMps - o1) / w6 * kKmhPerMps - 5.0f) * 0.95f;
        carwal(vid, 6) = std::max(1.0f, cap);
    }

    // The neighbours' speeds: a neighbour with less weaving ahead, or one
    // needing fewer changes once past the soft wall, sets the pace.
    const bool open_next = p.ldest > 0 && valid_link(s, p.ldest) && s.link3.tsignal(p.ldest) == 0;
    for (const int nb : {p.ll1b, p.ll2b}) {
        if (nb == l1 || nb < 1 || nb > p.numlans) continue;
        // A lane not evaluated for this vehicle gets its needs now; its
        // weaving factor matters only when the current lane weaves.
        if (nb < p.ll1 || nb > p.ll2) lane_needs_only(s, p, nb, p.xxx[l1][3] < 1.0f);
        if (p.xxx[l1][2] <= 0.0f) {
            if (nb > l1 && t10 <= kLeftAfterTicks) continue;
            if (p.xxx[l1][3] < p.xxx[nb][3])
                carwal(vid, 5) = p.xspd[nb] * (open_next ? 0.9f : 0.8f);
        } else if (p.xxx[nb][1] < p.xxx[l1][1]) {
            // The speed that reaches the neighbour's last vehicle, 3 s ahead
            // and one spacing behind it, in 3 s.
            const float ahead = p.xpos[nb][2] - p.dnew;
            carwal(vid, 5) = std::max(
                0.0f, 0.95f * kKmhPerMps * (ahead + 3.0f * p.xspd[nb] / kKmhPerMps - o) / 3.0f);
        }
    }
}

} // namespace velm
