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
#include "core/movement/movement.h"
#include "core/movement/speed_caps.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr float kGravity = 9.8066f;           // m/s2
constexpr float kDragFactor = 0.047285f;      // 0.5 x air density / 3.6^2, N per (km/h)^2 m2
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
    f[3] = kDragFactor * vp.dragcoef(vt) * vp.frntarea(vt) * speed * speed;
    f[4] = kGravity * vp.rolcoef(vt, 1) * (vp.rolcoef(vt, 2) * speed + vp.rolcoef(vt, 3)) * m /
           1000.0f;
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
    const float tb =
        2.0f * u / 3.6f <= 0.001f ? 0.1f : std::max(0.1f, 2.0f * (x - 0.6f * jam) / (u / 3.6f));
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

} // namespace

void vehpos1(Sim& s, int t10) {
    auto&       spd = s.vehplot.spd;
    auto&       dis = s.vehplot.dis;
    auto&       hdwy = s.vehplot.hdwy;
    auto&       accmod = s.vehplot.accmod;
    auto&       pre_spd = s.vehplot.pre_spd;
    auto&       carwal = s.vehicle.carwal;
    auto&       vacc = s.vehicle.vacc;
    auto&       wait = s.vehicle.wait;
    auto&       nxtlnk = s.vehicle.nxtlnk;
    auto&       stpdel = s.vehicle.stpdel;
    auto&       vaccel = s.vehicle.vaccel;
    const auto& big = s.vehicle.big;
    const auto& vehid = s.vehindx.vehid;
    const auto& lanechan = s.vehindx.lanechan;
    const auto& vsigstp = s.oddat.vsigstp;
    const auto& rhead = s.oddat.rhead;
    const auto& spdvol = s.link1.spdvol;
    const auto& pltdsp = s.link4.pltdsp;
    const auto& llength = s.link4.llength;
    auto&       minhd = s.link5.minhd;
    auto&       held = s.vehplot.held;
    auto&       linspd = s.delay.linspd;
    const auto& signal = s.link3.signal;

    const float t = static_cast<float>(t10) / 10.0f;
    const int   ml = std::min(s.link2.mlnum, kMaxLinks);
    ForceTable  forces{};

    // The rows the loop reads for a vehicle a few places down the list.
    ListPrefetch prefetch;
    prefetch.trips.add(vehid);
    prefetch.trips.add(s.oddat.vehper2);
    prefetch.trips.add(stpdel);
    prefetch.trips.add(vaccel);
    prefetch.slots.add(lanechan);
    prefetch.slots.add(rhead, 2);
    for (const auto* rows : {&hdwy, &spd, &dis, &carwal, &accmod, &pre_spd, &vacc})
        prefetch.slots.add(*rows);
    prefetch.slots.add(nxtlnk);
    prefetch.slots.add(vsigstp);
    prefetch.slots.add(wait);
    prefetch.slots.add(held);

    for (int l = 1; l <= ml; ++l) {
        if (!(llength(l) > 0.0f)) continue;
        LinkStrategies ls;
        strategy_caps_link(s, l, ls);
        const Relation link{spdvol(l, 1), spdvol(l, 2), spdvol(l, 3), spdvol(l, 4),
                            spdvol(l, 5), spdvol(l, 6), spdvol(l, 7)};
        const int      n = s.link2.ntqu(l);
        if (n <= 0) {
            minhd(l, 2) = minhd(l, 3);
            linspd(l, 1) = linspd(l, 2) = link.uf;
            continue;
        }
        const float jam = minhd(l, 1);
        const float jamkm = jam / 1000.0f;
        const float len = 1000.0f * llength(l);
        const float grade = s.lnkgrade.lnkgrade(l);
        const bool  recalibrate = pltdsp(l, 2) != 0.0f && pltdsp(l, 3) != 0.0f;
        const int   base = s.link2.nbqu(l);
        float       hd = 0.0f;
        int         vid = 0;
        for (int i = 1; i <= n; ++i) {
            prefetch.ahead(big, vehid, base, i, n);
            const int car = big(base + i);
            vid = vehid(car);
            float f1 = 1.0f;
            hd = hdwy(vid, 1);
            float       s0 = spd(vid, 1);
            const float r = len - dis(vid, 1);
            const float tt = link.uf > 0.0f ? 3.6f * r / link.uf : 0.0f;
            const float z = static_cast<float>(rhead(vid, 2)) / 100.0f;

            // A vehicle that has just changed lanes accepts a shorter spacing
            // above three quarters of the jam spacing.
            const float lc = lanechan(vid) > 0.0f ? lanechan(vid) : 1.0f;
            const float h = (hd / 1000.0f - 0.75f * jamkm) / lc + 0.75f * jamkm;
            float       sp = 0.0f;
            float       uf_own = link.uf;
            if (h > jamkm) {
                f1 = dispersion_factor(pltdsp(l, 1), z);
                Relation own = link;
                if (recalibrate) {
                    const float f2 = dispersion_factor(pltdsp(l, 2), z);
                    const float f3 = dispersion_factor(pltdsp(l, 3), z);
                    own.uf = link.uf / f1;
                    own.uc = link.uc / f2;
                    own.qc = link.qc / f3;
                    if (own.uf <= own.uc) own.uc = own.uf - 0.1f;
                    const float du = own.uf - own.uc;
                    const float m = (2.0f * own.uc - own.uf) / (du * du);
                    own.c2 = 1.0f / (link.kj * (1.0f / own.uf + m));
                    own.c1 = m * own.c2;
                    own.c3 = ((own.uc / own.qc - own.c1) - own.c2 / du) / own.uc;
                }
                fndspd(s, car, h, jamkm, own.c1, own.c2, own.c3, own.uf, sp);
                if (pltdsp(l, 2) == 0.0f) sp /= f1;
                sp = std::max(sp, 0.0f);
                uf_own = link.uf / f1;
            }
            hdwy(vid, 2) = hd;

            // Lane factors: opposite signs stop the vehicle.
            const float lf = carwal(vid, 1) * carwal(vid, 2);
            sp = lf < 0.0f ? 0.0f : sp * std::sqrt(std::sqrt(lf));

            // Cooperation caps, each against the cap for this driver.
            const float cap4 = carwal(vid, 4) / f1;
            if (sp <= s0 && cap4 < sp)
                sp -= 1.0f;
            else if (sp > s0 && cap4 < s0)
                sp = s0 - 1.0f;
            for (const int k : {5, 6, 12}) {
                const float cap = carwal(vid, k) / f1;
                if (sp >= s0 && cap < s0)
                    sp = s0 - 2.0f;
                else if (sp < s0 && cap < sp)
                    sp -= 2.0f;
            }

            // Walls closer than 100 m: brake to stop at the wall.
            const float xw = std::min(carwal(vid, 9), carwal(vid, 11));
            if (xw < 0.1f && sp > 0.0f) {
                if (xw == 0.0f) {
                    sp = 0.0f; // at the wall itself no distance is left to stop in
                } else {
                    const float a = (sp / 3.6f) * (sp / 3.6f) / (2000.0f * xw);
                    if (a > 2.0f) sp -= 0.54f * a;
                }
            }

            // Acceleration limit of the vehicle's dynamics.
            const int vp = checked_type(s, car);
            float     amax = 0.0f;
            max_acc(s, 0, l, dis(vid, 1), car, vp, s0, grade, amax, forces);
            const float smax = s0 + 0.36f * amax;
            if (sp > smax) {
                accmod(vid, 1) = static_cast<float>(t10);
                sp = smax;
            }
            accmod(vid, 2) = sp - smax;
            accmod(vid, 3) = 0.1f * amax + 0.9f * accmod(vid, 3);

            // Closing on a slower leader.
            float       u = sp;
            const float v = pre_spd(vid, 2);
            if ((sp + v) / 2.0f > 0.0f && sp > v) {
                const float tc = (hd - jam) / ((sp + v) / 2.0f / 3.6f);
                if (tc > 0.1f && tc < 50.0f) {
                    const float q = -(sp - v) / tc;
                    if (q < kComfortBrakeRate && q < 10.0f * (s0 - sp)) u = s0 + 0.1f * q;
                }
            }
            u = std::min(u, sp);

            // Stop-line braking: the own stop line, or the end of the next link
            // when that shows red or a last amber.
            const int next = nxtlnk(vid, 1);
            float     x = -1.0f;
            if (vsigstp(vid, 1) > 0) {
                x = r;
            } else if (link_exists(s, next)) {
                const int ind = signal(next, 1);
                if (ind == kIndicationRed || ind == kIndicationAmberLast)
                    x = r + 1000.0f * llength(next);
            }
            if (x >= 0.0f && u >= static_cast<float>(vsigstp(vid, 2)))
                u = brake_to_line(u, s0, x, jam);
            u = std::max(std::min(u, sp), 0.0f);

            // Lower free speeds on the next link and the one after.
            if (link_exists(s, next)) {
                const float g = dispersion_factor(pltdsp(next, 1), z);
                const float un = std::max(0.0f, spdvol(next, 7) / g);
                u = std::min(anticipate(u, s0, un, tt), sp);
                const int nb = nxtlnk(vid, 4);
                if (link_exists(s, nb)) {
                    const float p = pltdsp(nb, 1);
                    const float g2 =
                        p == 0.0f ? 1.0f
                                  : std::clamp(1.0f + z * p, kMinAheadDispersion, kMaxDispersion);
                    const float u2 = std::max(0.0f, spdvol(nb, 7) / g2);
                    u = std::min(anticipate(u, s0, u2, s.delay.fretim(next) + tt), sp);
                }
            }

            u = std::max(strategy_caps(s, ls, l, car, vid, s0, u, t10), 0.0f);
            // Refused at the link end in this tick: whatever room the next
            // link's tail seems to offer, the vehicle cannot move.
            if (held(vid) != 0) {
                u = 0.0f;
                held(vid) = 0;
            }

            // Stopped time and delay against the driver's own free speed.
            if (u <= kStandstill) {
                stpdel(car, 1) += 0.1f;
                stpdel(car, 2) += 0.1f;
            }
            const float e = uf_own > 0.0f ? std::max(0.0f, 0.1f * (1.0f - u / uf_own)) : 0.0f;
            stpdel(car, 3) += e;
            stpdel(car, 4) += e;

            spd(vid, 1) = u;
            spd(vid, 4) = 0.1f * u + 0.9f * spd(vid, 4);
            if (u > 0.9f * link.uc + 0.1f * link.uf) wait(vid, 3) = static_cast<int>(t + tt);
            spd(vid, 3) = u > spd(vid, 3) ? u : 0.9f * spd(vid, 3) + 0.1f * u;
            if (i == 1) linspd(l, 2) = spd(vid, 4);

            // Acceleration; the record is floored, the speed keeps its drop.
            float a = 10.0f * (u - s0) / 3.6f;
            float ua = u;
            if (a < kRecordedDecelFloor) {
                a = kRecordedDecelFloor;
                ua = s0 - 0.36f * -kRecordedDecelFloor;
            }
            vacc(vid, 1) = a;
            vacc(vid, 2) = 0.3f * a + 0.7f * vacc(vid, 2);
            accmod(vid, 4) = ua * a * a / 3.6f;
            vaccel(car, 1) += accmod(vid, 4);
            vaccel(car, 2) += accmod(vid, 4);
        }
        minhd(l, 2) = std::min(hd, minhd(l, 3));
        if (spd(vid, 4) > 0.0f) linspd(l, 1) = spd(vid, 4);
    }
}

} // namespace velm
