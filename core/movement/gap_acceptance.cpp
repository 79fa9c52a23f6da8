// Gap acceptance at the end of a link: the head vehicle of a lane may enter the
// junction only when no vehicle of an opposing approach that it must give way
// to arrives within the driver's required gap. Right of way follows from the
// control at both approaches, the geometry of the two movements and, between
// equal approaches, who has waited longer.
#include "core/control/signal_indications.h"
#include "core/driver/random.h"
#include "core/movement/movement.h"
#include "core/movement/stop_line.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

// Control ranks at an approach: the higher must give way to the lower. The
// control types of stopsign (none, signal, yield, stop sign) are ranks 0..3.
constexpr int kRankTurnOnRed = 4;
constexpr int kRankNotAllowed = 5;

constexpr int   kLeftOnlyCode = 100; // movement code of a protected left: never yields
constexpr float kLeftFrom = 225.0f;  // relative angles from here (above in the own turn): left
constexpr float kStandingFarM =
    10.0f;                          // ... and ignored when more than this far before its stop line
constexpr float kGapBaseCut = 2.0f; // s taken off the critical gap for the base gap
constexpr float kPerExtraLane = 0.5f;      // s per opposing lane beyond the first
constexpr float kRightTurnGap = -0.5f;     // s for the own right turn
constexpr float kLeftTurnGap = 0.5f;       // s for the own left turn
constexpr float kMinGap = 0.1f;            // s
constexpr float kBothWaitingOver = 1.0f;   // s both heads must have waited to compare waits
constexpr float kSameWait = 0.09f;         // s: waits this close count as equal
constexpr float kSpillbackPatience = 5.0f; // s after which a spill-back-held opponent is passed
constexpr int   kUncertainDraw = 5000;     // vrnd above: a right turner in lane 1 may go straight

bool link_known(int l) {
    return l >= 1 && l <= kMaxLinks;
}

// The downstream link of o that follows connection index k in angle order,
// 0 when k is the last (or not found).
int next_in_angle_order(const Sim& s, int o, int k) {
    const int n = std::min(s.graph1.nlinot(o), kMaxNodeLinks);
    for (int r = 1; r < n; ++r) {
        if (s.lanexch.alanot(o, r) != k) continue;
        const int j = s.lanexch.alanot(o, r + 1);
        return j >= 1 && j <= kMaxNodeLinks ? std::abs(s.graph1.linot(o, j)) : 0;
    }
    return 0;
}

// What is known of the vehicle deciding, the same for every opposing head.
struct Own {
    int   car = 0, vid = 0, nl = 0;
    int   next = 0;      // its next link
    float turn = 0.0f;   // its relative turn angle
    float g1 = 0.0f;     // base gap, s
    float mwait = 0.0f;  // wait over which the gap shrinks to nothing, s (0 none)
    float waited = 0.0f; // s since it began waiting (negative: not waiting)
    float tr = 0.0f;
};

// The required gap against opposing link o, s.
float required_gap(Sim& s, const Own& v, int o) {
    const int lanes = std::min(std::abs(s.link1.nulans(o)), kMaxLinkLanes);
    float     tturn = 0.0f;
    if (v.turn < kRightBelow)
        tturn = kRightTurnGap;
    else if (v.turn > kLeftFrom)
        tturn = kLeftTurnGap;
    float g = v.g1 + kPerExtraLane * static_cast<float>(lanes - 1) + tturn;
    if (v.waited > 0.0f && v.mwait > 0.0f) g *= 1.0f - v.waited / v.mwait;
    g = std::max(g, kMinGap);
    if (s.opsgap.ogapcov > 0.0f) {
        float pct = static_cast<float>(s.oddat.vrnd(v.car)) / kTripRandomScale;
        float obs = g;
        lognorm(g, s.opsgap.ogapcov, pct, obs);
        g = obs;
    }
    return std::max(g, 0.0f);
}

// The decision against the head vehicle pcar (slot q) of opposing link o:
// 1 yield, 0 may go, -1 no decision.
int pair_decision(Sim& s, const Own& v, int o, int pcar, int q, int& merge) {
    const auto& signal = s.link3.signal;
    const auto& nxtlnk = s.vehicle.nxtlnk;
    const auto& vlan = s.oddat.vlan;
    const auto& ang = s.graph1.ang;

    if (s.vehplot.spd(q, 1) <= kStandingKmh &&
        s.vehplot.dis(q, 1) < s.link4.llength(o) * kMetresPerKm - kStandingFarM)
        return -1;

    const float arrival = s.vehicle.dept(pcar);
    int         s_ops = s.opsgap.stopsign(o);
    int         s_veh = s.opsgap.stopsign(v.nl);
    const int   onext = nxtlnk(q, 1);
    if (!link_known(v.next) || !link_known(onext)) return -1;
    if (onext != v.next && s.link2.ntqu(onext) >= s.link2.amaxq(onext)) return -1;
    if (onext == v.next && vlan(q, 2) != vlan(v.vid, 2)) return -1;

    // The opposing movement, and whether its own indication allows it.
    float rel = 0.0f;
    crelang2(s, ang(o), ang(onext), rel);
    const int m = signal(o, 2);
    if ((rel >= kLeftFrom && m <= 99) ||
        (rel >= kRightBelow && rel < kLeftFrom && code_digit(m, 10) == 0) ||
        (rel < kRightBelow && code_digit(m, 1) == 0))
        s_ops = kRankNotAllowed;
    const int ovt = s.oddat.vtyp(pcar);
    if (ovt >= 1 && ovt <= kClasses && class_digit(signal(o, 3), ovt) == 0) s_ops = kRankNotAllowed;

    // A right turner in the curb lane may still go straight on: a driver who
    // is unsure counts it as going to the straight link after its own in
    // angle order.
    int oexit = onext;
    if (s_ops <= kSignalised && vlan(q, 1) == 1 && rel <= kRightBelow && signal(o, 1) > 0) {
        const int alt = next_in_angle_order(s, o, nxtlnk(q, 2));
        if (link_known(alt)) {
            float ra = 0.0f;
            crelang2(s, ang(o), ang(alt), ra);
            if (ra >= kRightBelow && ra <= kLeftFrom && s.oddat.vrnd(pcar) > kUncertainDraw)
                oexit = alt;
        }
    }

    if (signal(v.nl, 1) <= 0 && s.link3.tsignal(v.nl) < 0 && v.turn < kRightBelow)
        s_veh = kRankTurnOnRed;
    if (signal(o, 1) <= 0 && s.link3.tsignal(o) < 0 && rel < kRightBelow) s_ops = kRankTurnOnRed;

    // Conflict in time: a lag behind the last vehicle out of o (none needed
    // unless that exit lies in the future) and the lead before this one.
    const float gap = required_gap(s, v, o);
    const bool  lag_fails =
        v.tr - static_cast<float>(s.link3.otflwt(o, 2)) / kMillisPerSecond < 0.0f;
    const bool lead_fails = arrival - v.tr < gap;
    if (!lag_fails && !lead_fails) return -1;

    int con = 0, pri = 0;
    ops_ang(s, 0.0f, ang(v.nl), ang(v.next), ang(o), ang(oexit), con, pri);
    if (con == 1) merge = 1;
    if (s_veh < s_ops || con <= 0) return -1;
    if (s.vehplot.splbck(q) > 0 && v.waited >= kSpillbackPatience) return -1;

    const bool opp_left = vlan(q, 2) > vlan(v.vid, 2);
    int        d = lag_fails ? 1 : -1;
    if (s_veh > s_ops) {
        if (s_veh == kRankTurnOnRed) {
            if (!opp_left) d = 1;
        } else if (s_veh == kSignalised) {
            d = 1;
        } else if (con == 1) {
            d = opp_left ? 0 : 1;
        } else {
            d = 1;
        }
        return d;
    }
    const auto& wait = s.vehicle.wait;
    const float own_w = static_cast<float>(wait(v.vid, 1));
    const float opp_w = static_cast<float>(wait(q, 1));
    if ((s_veh == kNoControl || s_veh == kStopSign) && own_w < v.tr - kBothWaitingOver &&
        opp_w < v.tr - kBothWaitingOver) {
        if (std::fabs(own_w - opp_w) <= kSameWait)
            d = v.car > pcar ? 1 : 0;
        else
            d = opp_w < own_w ? 1 : 0;
    } else if (pri <= 0) {
        if (con == 1)
            d = vlan(q, 2) < vlan(v.vid, 2) ? 0 : 1;
        else
            d = 1;
    }
    return d;
}

} // namespace

void ops_ang(Sim& s, float /*c*/, float a_veh_in, float a_veh_ot, float a_ops_in, float a_ops_ot,
             int& con, int& pri) {
    float a = 0.0f, b = 0.0f, c = 0.0f;
    crelang2(s, a_veh_in, a_veh_ot, a);
    crelang1(s, a_veh_in, a_ops_in, b);
    crelang2(s, a_veh_in, a_ops_ot, c);
    if (c <= 2.0f) c = 360.0f;
    con = 0;
    if (c > b) {
        con = -11;
        if (a > b + 5.0f) {
            con = -12;
            if (a < c - 1.0f) con = 2;
        }
    } else {
        con = -21;
        if (a > c + 5.0f) {
            con = -22;
            if (a < b + 5.0f) con = 3;
        }
    }
    if (std::fabs(c - a) < 5.0f) con = 1;
    pri = a > b + 5.0f ? 0 : 1;
}

void opslfac(Sim& s, int car, int nl, int& flag, float tr, float wttim, int& merge) {
    flag = 0;
    if (!link_known(nl) || car < 1 || car > kMaxTrips) return;
    if (s.link3.signal(nl, 2) == kLeftOnlyCode) return;
    const int vid = s.vehindx.vehid(car);
    if (vid < 1 || vid > kMaxVehicleSlots) return;
    auto& wait = s.vehicle.wait;

    Own v;
    v.car = car;
    v.vid = vid;
    v.nl = nl;
    v.tr = tr;
    v.waited = tr - wttim;
    v.next = s.vehicle.nxtlnk(vid, 1);
    v.turn = 180.0f;
    if (link_known(v.next)) crelang2(s, s.graph1.ang(nl), s.graph1.ang(v.next), v.turn);
    const float g0 = static_cast<float>(s.link1.opsgap(nl, 1)) / 100.0f;
    const int   m2 = s.link1.opsgap(nl, 2);
    v.mwait = m2 > 0 ? static_cast<float>(m2) / 100.0f : 0.0f;
    // A vehicle still under a hold from a refusal needs that much more.
    float hold = static_cast<float>(wait(vid, 4)) / 10.0f - tr;
    if (!(hold > 0.0f)) hold = 0.0f;
    v.g1 = std::fabs(s.vehicle.pcu(car)) * std::max(0.0f, g0 - kGapBaseCut + hold);

    // A refusal by any opposing head stands: a "may go" against one vehicle
    // says nothing about another. Every head is still looked at, for the
    // merge conflicts it may show.
    bool refused = false;
    if (link_known(v.next)) {
        for (int k = 1; k <= kOpposingLinks; ++k) {
            const int o = s.link1.opslin(nl, k);
            if (!link_known(o) || o == nl) continue;
            const int ind = s.link3.signal(o, 1);
            if (ind == kIndicationRed || ind == kIndicationAmberLast) continue;
            if (s.link2.ntqu(o) <= 0) continue;
            for (int j = 1, n = std::min(std::abs(s.link1.nulans(o)), kMaxLinkLanes); j <= n; ++j) {
                const int lan = s.lanexch.lannum(o, j);
                if (lan < 1 || lan > kMaxLanes) continue;
                const int pcar = s.link2.fvehlan(lan);
                if (pcar < 1 || pcar > kMaxTrips) continue;
                const int q = s.vehindx.vehid(pcar);
                if (q < 1 || q > kMaxVehicleSlots) continue;
                if (pair_decision(s, v, o, pcar, q, merge) == 1) refused = true;
            }
        }
    }

    // A refusal holds the vehicle until the next tick.
    const int tick = static_cast<int>(std::lround(tr * 10.0f));
    if (refused) {
        flag = 1;
        wait(vid, 4) = tick + 1;
    } else if (tick < wait(vid, 4)) {
        flag = 1;
    }
}

} // namespace velm
