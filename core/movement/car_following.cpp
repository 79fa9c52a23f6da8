// Speed update of every vehicle on every tick (vehpos1): the speed the
// speed-spacing relation allows at the headway the lane decision found, then
// lane factors, cooperation caps, walls, the vehicle's acceleration limit,
// closing on a slower leader, stop-line braking, anticipation of lower free
// speeds ahead and the strategy caps; also delay, smoothed speeds and
// accelerations, and the per-link entry speeds and spacings.
#include "core/movement/car_following.h"

#include "core/control/signal_indications.h"
#include "core/driver/errors.h"
#include "core/io/writers.h"
#include "core/model/prefetch.h"
#include "core/movement/exact_float.h"
#include "core/movement/movement.h"
#include "core/movement/speed_caps.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr float kHeavyPowerToWeight = 60.0f;  // kg/kW from which gear limits apply
constexpr float kMinDispersion = 0.667f;      // driver factors are kept in 0.667..1.5
constexpr float kMinAheadDispersion = 0.666f; // the same for the link after next
constexpr float kMaxDispersion = 1.5f;
constexpr float kRecordedDecelFloor = -7.8448f; // m/s2, strongest deceleration recorded
constexpr float kHardestBrakeRate = -7.2f;      // km/h per s not attempted at a stop line
constexpr float kComfortBrakeRate = -3.6f;      // km/h per s
constexpr float kAnticipationRate = 5.0f;       // km/h per s before slowing for a slower link
constexpr float kStandstill = 1.0f;             // km/h: at or below counts as stopped
constexpr float kNoDynamicsLimit = 10.0f;       // m/s2, beyond any road vehicle

} // namespace

float dispersion_factor(float p, float z) {
    float f = 1.0f;
    if (p < 0.0f)
        f = std::exp(z * p - p * p / 2.0f);
    else if (p > 0.0f)
        f = 1.0f + z * p;
    return std::clamp(f, kMinDispersion, kMaxDispersion);
}

void fndspd(Sim& /*s*/, int /*car*/, float hd, float mhd, float c1, float c2, float c3, float sf,
            float& speed) {
    if (hd <= mhd) {
        speed = 0.0f;
        return;
    }
    const float b = c1 - c3 * sf - hd;
    if (std::fabs(c3) <= 1e-6f) {
        speed = (sf * hd - c1 * sf - c2) / (hd - c1);
        return;
    }
    const float d = b * b - 4.0f * c3 * (hd * sf - c1 * sf - c2);
    if (d <= 1e-9f)
        speed = -b / (2.0f * c3);
    else
        speed = (-b - std::sqrt(d)) / (2.0f * c3);
}

void max_acc(Sim& s, int /*t*/, int /*nl*/, float /*dis*/, int /*car*/, int vt, float& speed,
             float grade, float& amax, ForceTable& f) {
    const auto& vp = s.vehper;
    const float m = vp.vehmass(vt);
    const float p = vp.vehkw(vt);
    f.fill(0.0f);
    // A type without mass or power has no dynamics to limit it: the
    // speed-spacing relation alone governs its speed.
    if (!(m > 0.0f) || !(p > 0.0f)) {
        amax = kNoDynamicsLimit;
        return;
    }
    const float w = m / p;
    float       b = 1.0f;
    if (w >= kHeavyPowerToWeight) {
        const float u0 = vp.gr1(vt) * std::pow(w, vp.gr2(vt));
        if (speed < u0) {
            if (speed < kStandstill) speed = kStandstill;
            b = speed / u0;
        }
    }
    f[1] = vp.pedal(vt) * 3600.0f * p * vp.transeff(vt) * b / std::max(speed, 1.0f);
    f[2] = m * kGravity * vp.axlmass(vt) * vp.coeffric(vt);
    f[6] = std::min(f[1], f[2]);
    f[3] = kDragPerKmh2 * vp.dragcoef(vt) * vp.frntarea(vt) * speed * speed;
    f[4] = kGravity * vp.rolcoef(vt, 1) * (vp.rolcoef(vt, 2) * speed + vp.rolcoef(vt, 3)) * m /
           kRollingScale;
    f[5] = m * kGravity * grade;
    f[7] = f[6] - f[3] - f[4] - f[5];
    amax = f[7] / m;
    if (speed <= kStandstill && amax < 0.0f) amax = 0.0f;
}

namespace {

// The link's constants for one vehicle's relation.
struct Relation {
    float c1, c2, c3, uc, kj, qc, uf;
};

// A performance type outside the table is reported and type 1 is used.
int checked_type(Sim& s, int car) {
    const int vp = s.oddat.vehper2(car);
    if (vp >= 1 && vp <= kVehicleTypes) return vp;
    wfree(s.units, kUnitRunLog, " vehpos1: vehicle type out of range, trip", car, "type", vp);
    s.errcount.numerr += 1;
    return 1;
}

// Stop-line braking: the speed after braking toward a line X m ahead.
float brake_to_line(float u, float s0, float x, float jam) {
    const float c = 10.0f * (u - s0);
    const float tb = 2.0f * u / kKmhPerMps <= 0.001f
                         ? 0.1f
                         : std::max(0.1f, 2.0f * (x - 0.6f * jam) / (u / kKmhPerMps));
    const float q = -u / tb;
    if (!(q > kHardestBrakeRate)) return u;
    if (q >= kComfortBrakeRate || c <= q) return tb <= 2.0f ? s0 + 0.1f * q : s0 + 0.1f * c;
    return s0 + 0.1f * q;
}

// Slowing ahead of a lower free speed un that lies T s ahead.
float anticipate(float u, float s0, float un, float tt) {
    if (!(un < u)) return u;
    if (tt < 1.0f) return un;
    const float q = (u - un) / tt;
    if (q > kAnticipationRate) u = s0 - 0.1f * q;
    return std::max(u, un);
}

bool link_exists(const Sim& s, int l) {
    return l >= 1 && l <= kMaxLinks && s.link4.llength(l) > 0.0f;
}

// What the speed update reads of one link, once before its vehicles.
struct FollowLink {
    int            l = 0;
    Relation       rel{};
    float          jam = 0.0f;   // jam spacing, m
    float          jamkm = 0.0f; // the same in km
    float          len = 0.0f;   // m
    float          grade = 0.0f; // rise over run
    float          disp[3] = {}; // driver dispersion parameters of free speed, capacity speed, flow
    bool           recalibrate = false; // the relation is refitted to each driver
    LinkStrategies ls;
};

// One vehicle's speed update as it passes through the stages: the speed sp
// car following allows, then u after the braking stages.
struct Follower {
    int   car = 0, vid = 0;
    float hd = 0.0f;     // spacing to the leader, m
    float s0 = 0.0f;     // speed of the last tick, km/h
    float r = 0.0f;      // m to the link end
    float tt = 0.0f;     // s to the link end at the free speed
    float z = 0.0f;      // driver draw
    float f1 = 1.0f;     // driver factor of the free speed
    float uf_own = 0.0f; // the driver's own free speed, km/h
    float sp = 0.0f;     // speed the spacing and the caps allow, km/h
    float u = 0.0f;      // speed after braking, km/h
    int   next = 0;      // next link
};

// Spacing speed: the speed-spacing relation at the headway the lane decision
// found, refitted to the driver where the link disperses more than free speed.
// A vehicle that has just changed lanes accepts a shorter spacing above three
// quarters of the jam spacing.
inline void spacing_speed(Sim& s, const FollowLink& k, Follower& v) {
    const float lanechan = s.vehindx.lanechan(v.vid);
    const float lc = lanechan > 0.0f ? lanechan : 1.0f;
    const float h = (v.hd / kMetresPerKm - 0.75f * k.jamkm) / lc + 0.75f * k.jamkm;
    v.sp = 0.0f;
    v.uf_own = k.rel.uf;
    if (h > k.jamkm) {
        v.f1 = dispersion_factor(k.disp[0], v.z);
        Relation own = k.rel;
        if (k.recalibrate) {
            const float f2 = dispersion_factor(k.disp[1], v.z);
            const float f3 = dispersion_factor(k.disp[2], v.z);
            own.uf = k.rel.uf / v.f1;
            own.uc = k.rel.uc / f2;
            own.qc = k.rel.qc / f3;
            if (own.uf <= own.uc) own.uc = own.uf - 0.1f;
            const float du = own.uf - own.uc;
            const float m = (2.0f * own.uc - own.uf) / (du * du);
            own.c2 = 1.0f / (k.rel.kj * (1.0f / own.uf + m));
            own.c1 = m * own.c2;
            own.c3 = ((own.uc / own.qc - own.c1) - own.c2 / du) / own.uc;
        }
        fndspd(s, v.car, h, k.jamkm, own.c1, own.c2, own.c3, own.uf, v.sp);
        if (k.disp[1] == 0.0f) v.sp /= v.f1;
        v.sp = std::max(v.sp, 0.0f);
        v.uf_own = k.rel.uf / v.f1;
    }
    s.vehplot.hdwy(v.vid, 2) = v.hd;
}

// Lane factors of the lane decision: opposite signs stop the vehicle.
inline void lane_factors(const Sim& s, Follower& v) {
    const auto& carwal = s.vehicle.carwal;
    const float lf = carwal(v.vid, 1) * carwal(v.vid, 2);
    v.sp = lf < 0.0f ? 0.0f : v.sp * std::sqrt(std::sqrt(lf));
}

// Cooperation caps, each against the cap for this driver.
inline void cooperation_caps(const Sim& s, Follower& v) {
    const auto& carwal = s.vehicle.carwal;
    const float cap4 = carwal(v.vid, 4) / v.f1;
    if (v.sp <= v.s0 && cap4 < v.sp)
        v.sp -= 1.0f;
    else if (v.sp > v.s0 && cap4 < v.s0)
        v.sp = v.s0 - 1.0f;
    for (const int k : {5, 6, 12}) {
        const float cap = carwal(v.vid, k) / v.f1;
        if (v.sp >= v.s0 && cap < v.s0)
            v.sp = v.s0 - 2.0f;
        else if (v.sp < v.s0 && cap < v.sp)
            v.sp -= 2.0f;
    }
}

// Walls closer than 100 m: brake to stop at the wall.
inline void wall_braking(const Sim& s, Follower& v) {
    const auto& carwal = s.vehicle.carwal;
    const float xw = std::min(carwal(v.vid, 9), carwal(v.vid, 11));
    if (!(xw < 0.1f && v.sp > 0.0f)) return;
    if (xw == 0.0f) {
        v.sp = 0.0f; // at the wall itself no distance is left to stop in
        return;
    }
    const float a = (v.sp / kKmhPerMps) * (v.sp / kKmhPerMps) / (2000.0f * xw);
    if (a > 2.0f) v.sp -= 0.54f * a;
}

// Acceleration limit of the vehicle's dynamics (the standing speed of a heavy
// vehicle below its gear speed is raised in s0).
inline void dynamics_limit(Sim& s, const FollowLink& k, Follower& v, int t10, ForceTable& forces) {
    auto&     accmod = s.vehplot.accmod;
    const int vp = checked_type(s, v.car);
    float     amax = 0.0f;
    max_acc(s, 0, k.l, s.vehplot.dis(v.vid, 1), v.car, vp, v.s0, k.grade, amax, forces);
    const float smax = v.s0 + kKmhPerTickPerMps2 * amax;
    if (v.sp > smax) {
        accmod(v.vid, 1) = static_cast<float>(t10);
        v.sp = smax;
    }
    accmod(v.vid, 2) = v.sp - smax;
    accmod(v.vid, 3) = smoothed(0.1f, amax, 0.9f, accmod(v.vid, 3));
}

// Closing on a slower leader.
inline void closing_on_leader(const Sim& s, const FollowLink& k, Follower& v) {
    const float sp = v.sp;
    v.u = sp;
    const float lead = s.vehplot.pre_spd(v.vid, 2);
    // The comparison first: it rules out a standing queue, whose leader speed
    // may have decayed to a subnormal that is slow to add.
    if (sp > lead && (sp + lead) / 2.0f > 0.0f) {
        const float tc = (v.hd - k.jam) / ((sp + lead) / 2.0f / kKmhPerMps);
        if (tc > 0.1f && tc < 50.0f) {
            const float q = -(sp - lead) / tc;
            if (q < kComfortBrakeRate && q < 10.0f * (v.s0 - sp)) v.u = v.s0 + 0.1f * q;
        }
    }
    v.u = std::min(v.u, sp);
}

// Stop-line braking: the own stop line, or the end of the next link when that
// shows red or a last amber.
inline void stop_line_braking(const Sim& s, const FollowLink& k, Follower& v) {
    const auto& vsigstp = s.oddat.vsigstp;
    v.next = s.vehicle.nxtlnk(v.vid, 1);
    float x = -1.0f;
    if (vsigstp(v.vid, 1) > 0) {
        x = v.r;
    } else if (link_exists(s, v.next)) {
        const int ind = s.link3.signal(v.next, 1);
        if (ind == kIndicationRed || ind == kIndicationAmberLast)
            x = v.r + kMetresPerKm * s.link4.llength(v.next);
    }
    if (x >= 0.0f && v.u >= static_cast<float>(vsigstp(v.vid, 2)))
        v.u = brake_to_line(v.u, v.s0, x, k.jam);
    v.u = std::max(std::min(v.u, v.sp), 0.0f);
}

// Lower free speeds on the next link and the one after.
inline void anticipation(const Sim& s, Follower& v) {
    if (!link_exists(s, v.next)) return;
    const auto& spdvol = s.link1.spdvol;
    const auto& pltdsp = s.link4.pltdsp;
    const float g = dispersion_factor(pltdsp(v.next, 1), v.z);
    const float un = std::max(0.0f, spdvol(v.next, 7) / g);
    v.u = std::min(anticipate(v.u, v.s0, un, v.tt), v.sp);
    const int nb = s.vehicle.nxtlnk(v.vid, 4);
    if (!link_exists(s, nb)) return;
    const float p = pltdsp(nb, 1);
    const float g2 =
        p == 0.0f ? 1.0f : std::clamp(1.0f + v.z * p, kMinAheadDispersion, kMaxDispersion);
    const float u2 = std::max(0.0f, spdvol(nb, 7) / g2);
    v.u = std::min(anticipate(v.u, v.s0, u2, s.delay.fretim(v.next) + v.tt), v.sp);
}

// The strategies' caps, then the refusal at the link end: whatever room the
// next link's tail seems to offer, a vehicle refused in this tick cannot move.
inline void final_caps(Sim& s, const FollowLink& k, Follower& v, int t10) {
    v.u = std::max(strategy_caps(s, k.ls, k.l, v.car, v.vid, v.s0, v.u, t10), 0.0f);
    int& held = s.vehplot.held(v.vid);
    if (held != 0) {
        v.u = 0.0f;
        held = 0;
    }
}

// Accumulators: stopped time and delay against the driver's own free speed,
// the speed and its smoothed forms, the waiting clock, the link's entry speed,
// the acceleration (the record is floored, the speed keeps its drop) and the
// acceleration noise.
inline void accumulate(Sim& s, const FollowLink& k, const Follower& v, bool first, float t) {
    auto&       pl = s.vehplot;
    auto&       veh = s.vehicle;
    const int   car = v.car, vid = v.vid;
    const float u = v.u;
    if (u <= kStandstill) {
        veh.stpdel(car, 1) += 0.1f;
        veh.stpdel(car, 2) += 0.1f;
    }
    const float e = v.uf_own > 0.0f ? std::max(0.0f, 0.1f * (1.0f - u / v.uf_own)) : 0.0f;
    veh.stpdel(car, 3) += e;
    veh.stpdel(car, 4) += e;

    pl.spd(vid, 1) = u;
    pl.spd(vid, 4) = smoothed(0.1f, u, 0.9f, pl.spd(vid, 4));
    if (u > 0.9f * k.rel.uc + 0.1f * k.rel.uf) veh.wait(vid, 3) = static_cast<int>(t + v.tt);
    const float envelope = pl.spd(vid, 3);
    pl.spd(vid, 3) = u > envelope ? u : smoothed(0.9f, envelope, 0.1f, u);
    if (first) s.delay.linspd(k.l, 2) = pl.spd(vid, 4);

    float a = 10.0f * (u - v.s0) / kKmhPerMps;
    float ua = u;
    if (a < kRecordedDecelFloor) {
        a = kRecordedDecelFloor;
        ua = v.s0 - kKmhPerTickPerMps2 * -kRecordedDecelFloor;
    }
    veh.vacc(vid, 1) = a;
    veh.vacc(vid, 2) = smoothed(0.3f, a, 0.7f, veh.vacc(vid, 2));
    pl.accmod(vid, 4) = ua * a * a / kKmhPerMps;
    veh.vaccel(car, 1) += pl.accmod(vid, 4);
    veh.vaccel(car, 2) += pl.accmod(vid, 4);
}

void start_link(Sim& s, int l, FollowLink& k) {
    const auto& spdvol = s.link1.spdvol;
    const auto& pltdsp = s.link4.pltdsp;
    k.l = l;
    strategy_caps_link(s, l, k.ls);
    k.rel = Relation{spdvol(l, 1), spdvol(l, 2), spdvol(l, 3), spdvol(l, 4),
                     spdvol(l, 5), spdvol(l, 6), spdvol(l, 7)};
    k.jam = s.link5.minhd(l, 1);
    k.jamkm = k.jam / kMetresPerKm;
    k.len = kMetresPerKm * s.link4.llength(l);
    k.grade = s.lnkgrade.lnkgrade(l);
    for (int j = 0; j < 3; ++j) k.disp[j] = pltdsp(l, j + 1);
    k.recalibrate = k.disp[1] != 0.0f && k.disp[2] != 0.0f;
}

} // namespace

void vehpos1(Sim& s, int t10) {
    const auto& big = s.vehicle.big;
    const auto& vehid = s.vehindx.vehid;
    const auto& llength = s.link4.llength;
    auto&       minhd = s.link5.minhd;
    auto&       linspd = s.delay.linspd;

    const float t = static_cast<float>(t10) / 10.0f;
    const int   ml = std::min(s.link2.mlnum, kMaxLinks);
    ForceTable  forces{};

    // The rows the loop reads for a vehicle a few places down the list.
    ListPrefetch prefetch;
    prefetch.trips.add(vehid);
    prefetch.trips.add(s.oddat.vehper2);
    prefetch.trips.add(s.vehicle.stpdel);
    prefetch.trips.add(s.vehicle.vaccel);
    prefetch.slots.add(s.vehindx.lanechan);
    prefetch.slots.add(s.oddat.rhead, 2);
    const auto& pl = s.vehplot;
    const auto& veh = s.vehicle;
    for (const auto* rows :
         {&pl.hdwy, &pl.spd, &pl.dis, &veh.carwal, &pl.accmod, &pl.pre_spd, &veh.vacc})
        prefetch.slots.add(*rows);
    prefetch.slots.add(veh.nxtlnk);
    prefetch.slots.add(s.oddat.vsigstp);
    prefetch.slots.add(veh.wait);
    prefetch.slots.add(pl.held);

    FollowLink k;
    for (int l = 1; l <= ml; ++l) {
        if (!(llength(l) > 0.0f)) continue;
        start_link(s, l, k);
        const int n = s.link2.ntqu(l);
        if (n <= 0) {
            minhd(l, 2) = minhd(l, 3);
            linspd(l, 1) = linspd(l, 2) = k.rel.uf;
            continue;
        }
        const int base = s.link2.nbqu(l);
        float     hd = 0.0f;
        int       vid = 0;
        for (int i = 1; i <= n; ++i) {
            prefetch.ahead(big, vehid, base, i, n);
            Follower v;
            v.car = big(base + i);
            v.vid = vid = vehid(v.car);
            v.hd = hd = s.vehplot.hdwy(vid, 1);
            v.s0 = s.vehplot.spd(vid, 1);
            v.r = k.len - s.vehplot.dis(vid, 1);
            v.tt = k.rel.uf > 0.0f ? kKmhPerMps * v.r / k.rel.uf : 0.0f;
            v.z = static_cast<float>(s.oddat.rhead(vid, 2)) / 100.0f;

            spacing_speed(s, k, v);
            lane_factors(s, v);
            cooperation_caps(s, v);
            wall_braking(s, v);
            dynamics_limit(s, k, v, t10, forces);
            closing_on_leader(s, k, v);
            stop_line_braking(s, k, v);
            anticipation(s, v);
            final_caps(s, k, v, t10);
            accumulate(s, k, v, i == 1, t);
        }
        minhd(l, 2) = std::min(hd, minhd(l, 3));
        if (s.vehplot.spd(vid, 4) > 0.0f) linspd(l, 1) = s.vehplot.spd(vid, 4);
    }
}

} // namespace velm
