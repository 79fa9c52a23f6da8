// The lane-decision pass of every tick (vehpos5). Links are walked in number
// order and each link's vehicles front first; the vehicles already placed on a
// link are seen by those behind only through the per-lane trackers of the
// pass. For every vehicle: look-ahead refresh, stop-line decision, candidate
// lanes, the leader in each, gap conditioning, lane choice, placement.
#include "core/movement/lane_decisions.h"

#include "core/energy/energy.h"
#include "core/io/writers.h"
#include "core/model/prefetch.h"
#include "core/movement/movement.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr float kFarAhead = 1000.0f;    // m beyond the link end: no leader seen yet
constexpr float kNoLeader = 1000.0f;    // preveh position when no leader is known
constexpr float kNearEnd = 100.0f;      // m: lanes are evaluated every tick this close to the end
constexpr float kDefaultAccel = 10.0f;  // leader acceleration handed on when none is known
constexpr float kStanding = 1.0f;       // km/h: at or below counts as standing
constexpr int   kAllLanesEvery = 50;    // ticks between evaluations of every lane
constexpr int   kOtherLanesEvery = 5;   // ticks between evaluations of other lanes far from the end
constexpr int   kRefreshEvery = 50;     // ticks between look-ahead refreshes far from the end
constexpr int   kHeadRefreshEvery = 10; // ticks between target-lane refreshes of a lane head

// nextlane caller codes of the pass.
constexpr int kLaneAfterNextlink = 4;
constexpr int kLaneRefresh = 5;
constexpr int kLaneNearEnd = 6;
constexpr int kLaneAfterChange = 7;
constexpr int kLookAheadKeepLink = 2; // new_link: refresh without moving on

int lanes_of(const Sim& s, int l) {
    return std::min(std::abs(s.link1.nulans(l)), kMaxLinkLanes);
}

void start_link(Sim& s, LanePass& p, int nl) {
    const auto& spdvol = s.link1.spdvol;
    p.nl = nl;
    p.len = s.link4.llength(nl) * kMetresPerKm;
    p.jdhead = s.link5.minhd(nl, 1);
    p.dencap = spdvol(nl, 11);
    p.spdcap = spdvol(nl, 4);
    p.frespd = spdvol(nl, 7);
    p.numlans = lanes_of(s, nl);
    p.c1 = spdvol(nl, 1);
    p.c2 = spdvol(nl, 2);
    p.c3 = spdvol(nl, 3);
    p.jdkm = p.jdhead / kMetresPerKm;
    p.sig = std::abs(s.link3.tsignal(nl));
    p.ph = p.sig >= 1 && p.sig <= kMaxSignals ? s.signal.sigstat(p.sig, 1) : 0;
    p.merge = s.graph1.nlinot(nl) == 1 ? 1 : 0;
    p.weavedur = 10.0f * s.wvedat.wvedat(6);
    p.next_checked = 0;
    p.blocked = false;
    for (int l = 1; l <= p.numlans; ++l)
        if (std::fabs(s.link1.capred(nl, l, 1)) > 0.0f) p.blocked = true;
    const float far = p.len + kFarAhead;
    for (int l = 1; l <= kMaxLinkLanes; ++l) {
        p.vinlan[l] = 0;
        p.xpos[l][1] = p.xpos[l][2] = far;
        p.xspd[l] = p.frespd;
        p.pcucar[l] = 1.0f;
        p.prepos[l] = far;
        p.lanocc[l][1] = far;
        p.lanocc[l][2] = p.frespd;
        p.lanocc[l][3] = 0.0f;
        p.lanocc[l][4] = p.frespd;
        p.lanocc[l][5] = far;
        p.lanocc[l][6] = kDefaultAccel;
        p.desmov_car[l] = 0;
        p.desmov_pos[l] = far;
    }
    for (int l = 1; l <= p.numlans; ++l) s.link2.fvehlan(s.lanexch.lannum(nl, l)) = 0;
}

// Reports an out-of-range lane that is replaced by lane 1.
void report_lane_one(Sim& s, const LanePass& p, const char* what, int lane) {
    wfree(s.units, kUnitRunLog, what, p.car, p.vid, p.nl, lane);
    s.errcount.numerr += 1;
}

void read_vehicle(Sim& s, LanePass& p, int car, float t) {
    p.car = car;
    p.vid = s.vehindx.vehid(car);
    const int vid = p.vid;
    p.dnew = s.vehplot.dis(vid, 1);
    p.remdis = p.len - p.dnew;
    p.remtim = s.vehicle.dept(car) - t;
    p.tmolink = static_cast<int>(t - s.vehicle.arrt(car));
    p.lane1 = s.oddat.vlan(vid, 1);
    if (p.lane1 < 1 || p.lane1 > p.numlans) {
        report_lane_one(s, p, " vehpos5: current lane out of range, lane 1 used", p.lane1);
        p.lane1 = 1;
    }
    p.spd = s.vehplot.spd(vid, 4);
    p.ldest = s.vehicle.nxtlnk(vid, 1);
    p.vt = s.oddat.vtyp(car);
    p.vp = s.oddat.vehper2(car);
    p.linkot = p.ldest > 0 ? s.vehicle.nxtlnk(vid, 2) : 0;
}

// Step 6: next link and target lane, refreshed when unknown, periodically far
// from the end, and for a lane head near the end.
void refresh_lookahead(Sim& s, LanePass& p, int t10, int t) {
    auto&     nxtlnk = s.vehicle.nxtlnk;
    const int vid = p.vid;
    if (p.ldest == kNextUnknown || (p.remdis > static_cast<float>(p.numlans - 1) * 100.0f &&
                                    (t10 + p.car) % kRefreshEvery == 0)) {
        // The whole look-ahead is read again from the path, on the current link.
        new_link(s, p.car, kLookAheadKeepLink);
        nextlane(s, p.car, t, nxtlnk(vid, 1), p.nl, kLaneAfterNextlink);
    } else if (p.vinlan[p.lane1] == 0) {
        if ((t10 + p.car) % kHeadRefreshEvery == 0)
            nextlane(s, p.car, t, p.ldest, p.nl, kLaneRefresh);
        else if (p.remtim <= 1.0f)
            nextlane(s, p.car, t, p.ldest, p.nl, kLaneNearEnd);
    }
    p.ldest = nxtlnk(vid, 1);
    p.linkot = p.ldest > 0 ? nxtlnk(vid, 2) : 0;
}

// Step 8: the lanes the vehicle evaluates this tick, with their defaults.
void candidate_lanes(Sim& s, LanePass& p, int t10) {
    const int n = p.numlans;
    p.ll1b = std::max(1, p.lane1 - 1);
    p.ll2b = std::min(n, p.lane1 + 1);
    if (t10 % kAllLanesEvery == 0) {
        p.ll1 = 1;
        p.ll2 = n;
    } else if (p.remdis >= kNearEnd && t10 % kOtherLanesEvery != 0) {
        p.ll1 = p.ll2 = p.lane1;
    } else if (p.spd > p.spdcap) {
        p.ll1 = p.ll1b;
        p.ll2 = p.ll2b;
    } else {
        p.ll1 = 1;
        p.ll2 = n;
    }
    s.vehicle.pspd(p.vid) = p.frespd;
    p.fl_blk = 0;
    for (int l = p.ll1; l <= p.ll2; ++l) {
        p.preveh[l][1] = kNoLeader;
        p.preveh[l][2] = p.frespd;
        p.preveh[l][3] = 0.0f;
        p.prespd[l] = p.frespd;
        p.preacc[l] = kDefaultAccel;
        p.spre[l] = p.frespd;
        p.xgap[l] = p.agap[l] = p.jdhead; // a lane closed to the class offers no more
        p.xxx[l][1] = p.xxx[l][5] = 0.0f;
        p.xxx[l][2] = 0.0f;
        p.xxx[l][3] = p.xxx[l][6] = 1.0f;
        p.xxx[l][4] = p.len;
        p.incpen[l] = p.buspen[l] = 1.0f;
        p.prohib[l] = 0;
        p.lanspd[l] = 0.0f;
        lane_needs(s, p, l);
    }
}

// The tail of the target lane on the next link, as the leader of a lane head.
// Returns false when the target lane is out of range (reported).
bool next_link_tail(Sim& s, LanePass& p, int& nlan) {
    const int tl = s.oddat.vlan(p.vid, 2);
    if (p.ldest > kMaxLinks || tl < 1 || tl > lanes_of(s, p.ldest)) {
        s.units.line(kUnitRunLog, "vehpos5b" + fmt_i(p.car, 6) + fmt_i(p.vid, 6) + fmt_i(p.nl, 6) +
                                      fmt_i(tl, 6) + fmt_i(p.ldest, 6));
        s.errcount.numerr += 1;
        return false;
    }
    nlan = s.lanexch.lannum(p.ldest, tl);
    if (nlan < 1 || nlan > kMaxLanes) {
        wfree(s.units, kUnitRunLog, " nlnum =", p.car, p.nl, p.ldest, tl, nlan, kMaxLanes);
        s.errcount.numerr += 1;
        return false;
    }
    return true;
}

// Step 9 for candidate lane l: the leader, the stop code, the gap.
void lane_leader(Sim& s, LanePass& p, int l, int t10) {
    const auto& lstveh = s.lanexch.lstveh;
    const int   vid = p.vid;
    float       tpos = 0.0f;
    float       lstpcu = 1.0f;
    int         nlan = 0;
    if (p.vinlan[l] == 0 && p.ldest > 0 && next_link_tail(s, p, nlan)) {
        const float vfn = s.link1.spdvol(p.ldest, 7);
        // A slower next link is seen stretched: its tail appears further away.
        const float k = vfn > 0.0f ? std::max(1.0f, p.frespd / vfn) : 1.0f;
        const float tail = static_cast<float>(lstveh(nlan, 2));
        tpos = p.len + k * tail;
        p.spre[l] = static_cast<float>(lstveh(nlan, 4));
        lstpcu = static_cast<float>(std::abs(lstveh(nlan, 6))) / 10.0f;
        p.preveh[l][1] = p.len + tail;
        p.preveh[l][2] = p.spre[l];
        p.preveh[l][3] = 0.0f;
        if (l == p.lane1) s.vehplot.splbck(vid) = tail < p.jdhead && p.spd <= kStanding ? 1 : 0;
    } else if (p.vinlan[l] == 0) {
        // The trip ends here (or the next lane is unusable): the lane's own end.
        const int lan = s.lanexch.lannum(p.nl, l);
        tpos = static_cast<float>(lstveh(lan, 1));
        p.spre[l] = static_cast<float>(lstveh(lan, 3));
        lstpcu = static_cast<float>(std::abs(lstveh(lan, 5))) / 10.0f;
        p.preveh[l][1] = tpos;
        p.preveh[l][2] = p.spre[l];
        p.preveh[l][3] = 0.0f;
    } else {
        tpos = l == p.lane1 ? p.xpos[l][1] : p.xpos[l][2];
        lstpcu = p.pcucar[l];
        p.spre[l] = p.xspd[l];
        p.preveh[l][1] = tpos;
        p.preveh[l][2] = p.prespd[l];
        p.preveh[l][3] = p.preacc[l];
        const int changing = s.vehindx.lnchtm(vid, 1) - t10;
        const int oldlane = s.vehindx.lnchtm(vid, 3);
        if (changing > 0 && oldlane >= 1 && oldlane <= p.numlans && p.weavedur > 0.0f) {
            const float x0 = static_cast<float>(changing) / p.weavedur;
            tpos = std::min(tpos, p.xpos[oldlane][1] + (1.0f - x0) * p.jdhead);
        }
    }
    // A lane end record without a weight (no vehicle has left the lane yet)
    // counts like the empty-lane record, a tenth of a car.
    if (!(lstpcu > 0.0f)) lstpcu = 0.1f;

    // A vehicle that must stop sees a standing leader just past the stop line.
    const float jam9 = s.link1.spdvol(p.nl, 9);
    if (p.stopcode > 0 && tpos > p.len && p.remdis > 0.4f * jam9) {
        tpos = stop_line_leader(p, jam9);
        lstpcu = 1.0f;
        p.spre[l] = 0.0f;
    }
    s.oddat.vsigstp(vid, 1) = p.stopcode;
    s.oddat.vsigstp(vid, 2) = p.stopthr;

    lane_walls_incidents(s, p, l, tpos);
    p.xgap[l] = (tpos - p.dnew) * p.incpen[l];
    p.agap[l] = p.xgap[l];
    p.xgap[l] /= lstpcu;
    lane_gap_conditioning(s, p, l);
}

// Step 17: the vehicle takes lane lmax; the trackers of the lanes it occupies
// move back to it.
void place_vehicle(Sim& s, LanePass& p, int t10, int t) {
    const int   vid = p.vid;
    const int   car = p.car;
    auto&       carwal = s.vehicle.carwal;
    const float apcu = std::fabs(s.vehicle.pcu(car));
    int         lm = p.lmax;
    if (lm < 1 || lm > p.numlans) {
        wfree(s.units, kUnitRunLog, "lmax >>> ", p.nl, p.lanspd[p.lane1], lm, s.oddat.vlan(vid, 1),
              lm, p.linkot);
        s.errcount.numerr += 1;
        lm = 1;
        p.lmax = 1;
    }
    s.oddat.vlan(vid, 1) = lm;
    if (lm != p.lane1) {
        nextlane(s, car, t, p.ldest, p.nl, kLaneAfterChange);
        carwal(vid, 3) = 0.0f;
        carwal(vid, 7) = 0.0f;
    }
    int& head = s.link2.fvehlan(s.lanexch.lannum(p.nl, lm));
    if (head == 0) head = car;
    p.vinlan[lm] += 1;
    p.pcucar[lm] = apcu;
    for (int k = 1; k <= 3; ++k) s.vehplot.pre_spd(vid, k) = p.preveh[lm][k];

    const int r = s.vehindx.lnchtm(vid, 1) - t10;
    if (r < 1) {
        p.xpos[lm][1] = p.xpos[lm][2] = p.dnew;
        p.xspd[lm] = p.spd;
        p.lanocc[lm][3] = 0.0f;
        p.lanocc[lm][4] = p.spd;
    } else {
        // Changing lanes: the vehicle holds both lanes until the change ends.
        const float x0 = p.weavedur > 0.0f ? static_cast<float>(r) / p.weavedur : 0.0f;
        const float x1 = 1.0f - x0;
        if (p.dnew < p.xpos[lm][1]) p.xpos[lm][1] = p.xpos[lm][2] = p.dnew;
        p.xspd[lm] = p.spd;
        const int lane0 = s.vehindx.lnchtm(vid, 3);
        if (lane0 >= 1 && lane0 <= p.numlans) {
            p.vinlan[lane0] += 1;
            p.pcucar[lane0] = apcu;
            if (p.dnew < p.xpos[p.lane1][2]) p.xpos[lane0][2] = p.dnew + x0 * p.jdhead;
            if (p.dnew + p.jdhead < p.xpos[lane0][1])
                p.xpos[lane0][1] = p.dnew + (1.0f + 2.0f * x1) * p.jdhead;
            p.xspd[lane0] = p.spd;
        }
        p.lanocc[lm][3] = x0;
        p.lanocc[lm][4] = p.spd;
    }
    p.prespd[lm] = p.spd;
    p.preacc[lm] = s.vehplot.accmod(vid, 3);
    p.prepos[lm] = p.dnew;

    s.vehplot.hdwy(vid, 1) = std::max(1.0f, p.xgap[lm]);
    s.vehplot.hdwy(vid, 3) = p.agap[lm];
    carwal(vid, 1) = std::max(0.0f, 1.0f - p.xxx[lm][2]);
    carwal(vid, 2) = p.xxx[lm][3];
    lane_spacing_factor(s, p, t10);
    carwal(vid, 12) = p.incpen[lm] * p.frespd;

    // Step 18: a needed change not made is registered for the lane wished.
    const int w = static_cast<int>(carwal(vid, 7));
    if (carwal(vid, 3) > 0.1f && w >= 1 && w <= p.numlans && p.dnew < p.desmov_pos[w] - p.dencap) {
        p.desmov_car[w] = car;
        p.desmov_pos[w] = p.dnew;
    }
}

void decide_vehicle(Sim& s, LanePass& p, int car, int t10, int t, float tr) {
    read_vehicle(s, p, car, tr);
    const int vid = p.vid;
    auto&     carwal = s.vehicle.carwal;
    for (const int k : {4, 5, 6}) carwal(vid, k) = p.frespd;
    for (const int k : {8, 9, 10, 11}) carwal(vid, k) = kNoWallFound;

    if (s.lane_target.lane_tar_enbld == 1 && t10 % kAllLanesEvery == 0) compute_u_bar(s, p.nl, car);
    if (p.remdis < kNearEnd && p.vt >= 1 && p.vt <= kClasses)
        s.lnkvdet.lnkdet(s.lanexch.lannum(p.nl, p.lane1), p.vt) += 1;

    refresh_lookahead(s, p, t10, t);
    p.stopcode = 0;
    p.stopthr = 0;
    stop_line_decision(s, p, t10);
    candidate_lanes(s, p, t10);
    for (int l = p.ll1; l <= p.ll2; ++l) {
        const int lan = s.lanexch.lannum(p.nl, l);
        if (p.vt >= 1 && p.vt <= kClasses && s.link4.lanpro(lan, p.vt) == 1) continue;
        lane_leader(s, p, l, t10);
    }
    p.lmax = p.lane1;
    lane_choice(s, p, t10);
    place_vehicle(s, p, t10, t);
}

} // namespace

float stop_line_leader(const LanePass& p, float jam9) {
    const float frac = p.frespd > 0.0f ? 1.0f - p.spd / p.frespd : 1.0f;
    return p.len + 0.5f * jam9 * frac;
}

void vehpos5(Sim& s, int t10) {
    const int   t = t10 / 10;
    const float tr = static_cast<float>(t10) / 10.0f;
    const int   ml = std::min(s.link2.mlnum, kMaxLinks);
    auto&       lnkdet = s.lnkvdet.lnkdet;
    LanePass    p;

    // The rows a decision reads, asked for a few vehicles down the list.
    ListPrefetch prefetch;
    const auto&  veh = s.vehicle;
    const auto&  od = s.oddat;
    const auto&  vx = s.vehindx;
    prefetch.trips.add(vx.vehid);
    prefetch.trips.add(veh.dept);
    prefetch.trips.add(veh.arrt);
    prefetch.trips.add(veh.pcu);
    prefetch.trips.add(od.vtyp);
    prefetch.trips.add(od.vehper2);
    prefetch.trips.add(od.vrnd);
    const auto& pl = s.vehplot;
    for (const auto* rows : {&pl.dis, &pl.spd, &pl.hdwy, &pl.accmod, &pl.pre_spd, &veh.carwal})
        prefetch.slots.add(*rows);
    for (const auto* rows : {&od.vlan, &od.vsigstp, &veh.nxtlnk, &veh.wait, &vx.lnchtm})
        prefetch.slots.add(*rows);
    prefetch.slots.add(pl.splbck);
    prefetch.slots.add(veh.pspd);
    prefetch.slots.add(vx.lanechan);

    for (int nl = 1; nl <= ml; ++nl) {
        if (!(s.link4.llength(nl) > 0.0f)) continue;
        for (int l = 1, n = lanes_of(s, nl); l <= n; ++l)
            for (int c = 1; c <= kClasses; ++c) lnkdet(s.lanexch.lannum(nl, l), c) = 0;
        const int nv = s.link2.ntqu(nl);
        if (nv <= 0) continue;
        start_link(s, p, nl);
        if (p.numlans < 1) continue;
        const int   base = s.link2.nbqu(nl);
        const auto& big = s.vehicle.big;
        for (int i = 1; i <= nv; ++i) {
            prefetch.ahead(big, vx.vehid, base, i, nv);
            decide_vehicle(s, p, big(base + i), t10, t, tr);
        }
    }
    if (t10 % 10 != 0) return;
    for (int nl = 1; nl <= kMaxLinks; ++nl) {
        if (!(s.link4.llength(nl) > 0.0f)) continue;
        for (int l = 1, n = lanes_of(s, nl); l <= n; ++l) {
            const int lan = s.lanexch.lannum(nl, l);
            int       sum = 0;
            for (int c = 1; c <= kClasses; ++c) sum += lnkdet(lan, c);
            s.lnkvdet.lnndet(lan) = sum;
        }
    }
}

} // namespace velm
