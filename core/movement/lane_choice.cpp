// Lane choice and lane changing: gap adjustments, lane scores, the choice of
// the target lane and the change decision, and the car-following spacing
// factor after the placement. Scores are speeds in km/h.
#include "core/movement/lane_choice.h"

#include "core/energy/energy.h"
#include "core/movement/car_following.h"
#include "core/movement/exact_float.h"
#include "core/movement/lane_gaps.h"
#include "core/routing/routing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr float kBaseScore = 10.0f;        // km/h: score before the gap is looked at
constexpr float kStayMargin = 10.0f;       // km/h a neighbour may be worse and still not taken
constexpr float kHeavyKgPerKw = 30.0f;     // kg/kW above which a vehicle keeps right
constexpr float kShortLink = 100.0f;       // m: links up to this keep their last fifth clear
constexpr float kFinalZone = 20.0f;        // m before the end of a longer link without changes
constexpr int   kRestWaits = 3;            // durations an unneeded change waits after the last
constexpr float kFullChange = 1.0f;        // lanechan without a recent change
constexpr float kChangeSpacing = 0.5f;     // lanechan at a change
constexpr float kSpacingRecovery = 0.005f; // lanechan regained per tick
// Least gap at a change, in jam spacings x |pcu| of the vehicle in front: car
// following keeps 0.75 jam spacing plus the rest divided by lanechan >= 0.5,
// so no follower holds less than 0.875 jam spacing behind its leader after a
// change, whichever of the two changed lanes.
constexpr float kLeastLagGap = 0.875f;

// Restriction code of lane l for the vehicle's class: 1 prohibited, 2..9
// restricted, 0 open.
int restriction(const Sim& s, const LanePass& p, int l) {
    if (p.vt < 1 || p.vt > kClasses) return 0;
    const int lan = s.lanexch.lannum(p.nl, l);
    return lan >= 1 && lan <= kMaxLanes ? s.link4.lanpro(lan, p.vt) : 0;
}

int global_lane(const Sim& s, const LanePass& p, int l) {
    return s.lanexch.lannum(p.nl, l);
}

// Blockage start (m) in the vehicle's current lane; beyond len when none.
float own_incident_start(const Sim& s, const LanePass& p) {
    return lane_blockage_start(s, p, p.lane1);
}

// A. Gap adjustments. Returns the push-out flag of the last restricted lane.
int adjust_gaps(Sim& s, LanePass& p, int t10) {
    const int   l1 = p.lane1;
    const int   vid = p.vid;
    int         push = 0;
    const float u = driver_u(s, p.car);
    for (int l = p.ll1; l <= p.ll2; ++l) {
        if (std::abs(l - l1) > 1 && (p.xxx[l][1] > 0.0f || p.xxx[l][3] < 1.0f))
            p.xgap[l] = p.jdhead;
        p.prohib[l] = 0;
        const int code = restriction(s, p, l);
        if (code > 0) {
            bool active = p.xxx[l1][2] <= 0.5f && p.xxx[l1][3] >= 0.5f && p.fl_blk == 1;
            if (l == l1)
                for (int ll = p.ll1; ll <= p.ll2 && active; ++ll)
                    if (p.xxx[ll][2] > 0.5f || p.xxx[ll][3] < 0.5f) active = false;
            push = active ? 1 : 0;
            if (active) {
                if (l == l1) {
                    const float d = std::max(200.0f, p.len / 3.0f);
                    p.prohib[l] = static_cast<int>(p.dnew / d);
                    p.xgap[l] = std::min(p.xgap[l], d - p.dnew);
                } else {
                    p.xgap[l] = p.jdhead;
                }
            }
            p.xgap[l] /= 10.0f * static_cast<float>(std::abs(l - l1)) + 1.0f;
            p.xgap[l] = std::max(p.xgap[l], p.jdhead);
            if (l != l1) continue;
            p.lanspd[l] = 0.0f;
            p.xgap[l] = p.jdhead;
        }
        // Courtesy: leave room for the last vehicle that had to move in.
        if (s.graph1.nlinot(p.nl) > 1 && u > 0.5f && p.frespd > 0.0f) {
            const float dmin = std::max(p.jdhead * (2.0f * p.lanocc[l][2] / p.frespd + 1.0f),
                                        p.lanocc[l][1] - p.dnew);
            if (p.xgap[l] > dmin) {
                const float w = p.spd / p.frespd;
                p.xgap[l] = dmin * (1.0f - w) + p.xgap[l] * w;
            }
        }
        // During a change the gaps count for more.
        const int left = s.vehindx.lnchtm(vid, 1) - t10;
        if (left > 0 && p.xgap[l] > p.jdhead && p.weavedur > 0.0f && p.frespd > 0.0f) {
            const float f = 2.0f * static_cast<float>(left) / p.weavedur;
            p.xgap[l] *= 1.0f + (p.prespd[l] + p.spd) * f / p.frespd;
        }
    }
    return push;
}

// Lane-bias rules of this link that trigger for the vehicle.
struct BiasHits {
    std::array<int, 16> rule{}; // triggered rules (at most 16 kept per vehicle)
    int                 n = 0;
};

BiasHits lane_bias_hits(Sim& s, const LanePass& p) {
    BiasHits    hits;
    const auto& lb = s.lanebias;
    if (lb.nlanebias <= 0 || p.vt < 1 || p.vt > kClasses) return hits;
    index_lane_bias(s);
    int j = lb.bias_first(p.nl);
    if (j == 0) return hits;
    auto&       path = s.lanebias.bias_path;
    int         lpath = -1;
    const float g = 0.8f + 0.4f * driver_u(s, p.car);
    for (; j != 0; j = lb.bias_next(j)) {
        if (lb.bias_vt(j, p.vt) == 0) continue;
        if (lpath < 0) rem_path(s, {path.data(), path.size()}, lpath, p.car, 1, s.control.t);
        const float reach = g * static_cast<float>(lb.lanebias(j, 3));
        float       x = p.remdis;
        for (int i = 0; i < lpath && x < reach; ++i) {
            const int link = path(i);
            if (link == lb.lanebias(j, 2) && x >= 1.0f) {
                if (hits.n < static_cast<int>(hits.rule.size()))
                    hits.rule[static_cast<std::size_t>(hits.n++)] = j;
                break;
            }
            if (link < 1 || link > kMaxLinks) break;
            x += kMetresPerKm * std::max(0.0f, s.link4.llength(link));
        }
    }
    return hits;
}

// What the scores need of the vehicle itself, read once per vehicle and tick.
struct VehicleTerms {
    float pcu = 1.0f;        // passenger-car weight (signed as stored)
    float acc = 1.0f;        // smoothed maximum acceleration
    float k1 = 0.0f;         // keep-right share
    int   keep_right = 0;    // 0..2: slow class, heavy vehicle
    bool  weak_free = false; // weak, nobody close behind on the right
    float cap = 0.0f;        // score cap, km/h
    float inertia = 0.0f;    // current-lane bonus, km/h
    bool  walled = false;    // wall factor of the last tick below 0.95
    bool  weaving = false;   // weaving factor of the last tick below 0.95
    int   own_code = 0;      // restriction of the current lane
    bool  own_blocked = false;
};

VehicleTerms vehicle_terms(Sim& s, const LanePass& p) {
    VehicleTerms v;
    const int    vid = p.vid;
    v.pcu = s.vehicle.pcu(p.car);
    v.acc = s.vehplot.accmod(vid, 3);
    v.k1 = p.spd <= p.frespd / 4.0f || !(p.frespd > 0.0f) ? 0.0f
                                                          : (p.spd - p.frespd / 4.0f) / p.frespd;
    if (p.vt >= 1 && p.vt <= kClasses && static_cast<float>(s.mxvehspd.mspvh(p.vt)) < p.frespd)
        ++v.keep_right;
    const int   vp = p.vp;
    const float kw = vp >= 1 && vp <= kVehicleTypes ? s.vehper.vehkw(vp) : 0.0f;
    if (kw > 0.0f && s.vehper.vehmass(vp) / kw > kHeavyKgPerKw) ++v.keep_right;
    if (v.acc < 0.5f) {
        const int f = s.vehicle.dstbeh(vid, 1);
        const int g = f > 0 ? s.vehindx.vehid(f) : 0;
        bool      close = false;
        if (g >= 1 && g <= kMaxVehicles)
            close = p.dnew - s.vehplot.dis(g, 1) <
                    3.0f * std::fabs(s.vehicle.pcu(f)) * std::fabs(v.pcu) * p.jdhead;
        v.weak_free = !close;
    }
    v.cap = sum(p.spd, std::max(0.0f, 10.0f * v.acc));
    v.inertia = lane_inertia(s, p.spd, v.pcu);
    v.walled = s.vehicle.carwal(vid, 1) < 0.95f;
    v.weaving = s.vehicle.carwal(vid, 2) < 0.95f;
    v.own_code = restriction(s, p, p.lane1);
    v.own_blocked = own_incident_start(s, p) <= p.len;
    return v;
}

// B. The score of candidate lane l (restriction code `code`).
float lane_score(Sim& s, LanePass& p, int l, int code, int t10, int push, const BiasHits& bias,
                 const VehicleTerms& veh) {
    const int   vid = p.vid;
    const int   car = p.car;
    const int   l1 = p.lane1;
    const int   n = p.numlans;
    const auto& carwal = s.vehicle.carwal;
    const auto& wv = s.wvedat.wvedat;
    const float pcu = veh.pcu;

    float score = 0.0f;
    if (p.xgap[l] <= 0.0f) {
        p.xgap[l] = 0.0f;
        score = p.xxx[l][2] <= 0.0f ? 0.1f : 0.0f;
    } else {
        float v = 0.0f;
        fndspd(s, car, std::max(p.xgap[l], p.jdhead) / kMetresPerKm, p.jdkm, p.c1, p.c2, p.c3,
               p.frespd, v);
        score = std::max(0.0f, v);
    }

    // Lane targeting: the perceived speed of the lane weighs in.
    const auto& lt = s.lane_target;
    if (lt.lane_tar_enbld == 1 && lt.frequency_of_recommendation > 0 &&
        t10 % lt.frequency_of_recommendation == 0 && lt.con_veh_class(p.vt) == 1 &&
        lt.ola_flag(p.nl) == 1) {
        float     v = get_random(s, lt.lane_speed(car, l), lt.spd_cof_var);
        const int lan = global_lane(s, p, l);
        if (lan >= 1 && lan <= kMaxLanes && lt.acc_lanes(lan) == 1 && p.len > 0.0f)
            v *= 1.0f - p.dnew / p.len;
        score = lt.ola_fr_factor(car, l) * (score * (1.0f - lt.cvs_wght) + lt.cvs_wght * v);
    }

    if (veh.walled) score *= 1.0f - p.xxx[l][2];
    if (veh.weaving) score *= p.xxx[l][3];
    if (l == l1) score = std::min(score, std::min(carwal(vid, 5), carwal(vid, 6)));
    if (code > 0 && push == 1) score = score <= kBaseScore ? 1.0f : score * 0.1f;

    // Slow classes and heavy vehicles keep right: every lane but lane 1 loses
    // the share k1 of its score, more the faster the vehicle goes (once for
    // each of the two reasons).
    const float keep_right = static_cast<float>((n + 1 - l) / n) * veh.k1 + 1.0f - veh.k1;
    for (int k = 0; k < veh.keep_right; ++k) score *= keep_right;

    // A vehicle ahead wishes to move into this lane.
    if (p.desmov_car[l] > 0 && p.dencap > 0.0f) {
        const float e = (p.desmov_pos[l] - p.dnew) / p.dencap;
        if (e >= 1.0f) score *= 1.0f - 0.75f / e;
    }
    score = std::min(score, veh.cap);

    // Weak vehicles keep right when nobody is close behind on the right.
    if (veh.weak_free) score *= static_cast<float>(l1 + n - l) / static_cast<float>(n);
    if (l == l1 && p.xxx[l1][1] <= 0.1f) score += veh.inertia;
    if (static_cast<float>(p.tmolink) < kWallMemory) score *= 1.0f - p.xxx[l][2];

    // Free-flowing traffic leans to the middle lanes: d is the lane's closeness
    // to the middle (n/2 in the middle, less towards the edges). The last term
    // adds (pcu - 1) q^2 with q = (7 - l) div n, a bonus for heavier vehicles
    // that grows towards the curb; it is kept as the model has it.
    if (p.xxx[l][1] <= 0.01f && p.spdcap < p.spd && p.spd < 0.9f * p.frespd) {
        const float m = static_cast<float>(n - 1) / 2.0f + 1.0f;
        const float d = static_cast<float>(n) / 2.0f - std::fabs(m - static_cast<float>(l));
        const float q = static_cast<float>((7 - l) / n);
        score += wv(7) * d * p.spd + wv(8) * d + (pcu - 1.0f) * q * q;
    }
    if (p.incpen[l] < 1.0f) score = std::min(score, p.incpen[l] * p.spdcap);
    if (p.prohib[l] > 0) score = std::min(score, 1.0f);
    if (p.xxx[l1][1] < p.xxx[l][1] && p.xxx[l][4] < p.dnew &&
        !(veh.own_code > 0 || veh.own_blocked))
        score = 0.0f;

    const auto& lb = s.lanebias;
    for (int i = 0; i < bias.n; ++i) {
        const int j = bias.rule[static_cast<std::size_t>(i)];
        if (lb.bias_lan(j, l) != 1) continue;
        if (lb.biaswgt(j) >= 10.0f)
            score = 0.0f;
        else if (lb.biaswgt(j) > 0.0f)
            score /= lb.biaswgt(j);
    }
    return score * p.buspen[l];
}

// C6: the follower in the target lane must have room behind the vehicle.
bool lag_gap_short(Sim& s, const LanePass& p, int target) {
    const int vid = p.vid;
    const int f = s.vehicle.dstbeh(vid, target > p.lane1 ? 2 : 1);
    const int g = f > 0 ? s.vehindx.vehid(f) : 0;
    if (g < 1 || g > kMaxVehicles) return false;
    const auto& carwal = s.vehicle.carwal;
    float       a = 1.0f;
    const bool  forced = carwal(vid, 1) < 0.99f || carwal(vid, 2) < 0.99f;
    if (forced &&
        (s.vehicle.arrt(f) > s.vehicle.arrt(p.car) || p.prepos[target] - p.dnew > p.dencap)) {
        const float w = static_cast<float>(s.control.t10 / 10 - s.vehicle.wait(vid, 2));
        a = std::max(0.0f, 1.0f - w);
    }
    const float fs = std::max(0.0f, s.vehplot.spd(g, 4));
    float       r = std::fabs(s.vehicle.pcu(f)) * (p.incpen[p.lane1] * (p.dencap - p.jdhead) *
                                                 (p.spdcap > 0.0f ? fs / p.spdcap : 0.0f) +
                                             p.jdhead);
    if (p.prepos[p.lane1] - p.dnew > p.dencap) r *= a;
    // However long a forced changer has crawled (a falls to 0 after 1 s), it
    // never cuts in closer than a follower could stand behind it.
    r = std::max(r, kLeastLagGap * p.jdhead * std::fabs(s.vehicle.pcu(p.car)));
    return p.dnew - s.vehplot.dis(g, 1) < r;
}

// The new leader in the target lane (the last vehicle placed in it this tick)
// must be far enough ahead: a changer never lands closer behind it than a
// follower may hold behind a vehicle of its weight after a change.
bool lead_gap_short(const LanePass& p, int target) {
    return p.prepos[target] - p.dnew < kLeastLagGap * p.jdhead * p.pcucar[target];
}

// C2..C13 for the best lane; returns the lane taken.
int decide_change(Sim& s, LanePass& p, int best, int t10) {
    const int l1 = p.lane1;
    const int vid = p.vid;
    auto&     carwal = s.vehicle.carwal;
    const int target = std::clamp(best, l1 - 1, l1 + 1);
    if (target == l1) return l1;
    const float cur = p.lanspd[l1];
    const float tgt = p.lanspd[target];
    if (p.incpen[l1] >= 1.0f && (tgt < cur - kStayMargin || tgt < 0.5f * cur)) return l1;
    const bool blocked = s.incident.comblk(p.nl) == 1 ||
                         (p.ldest > 0 && p.ldest <= kMaxLinks && s.incident.comblk(p.ldest) == 1);
    if (blocked && p.incpen[target] < 1.0f) return l1;

    // The change is wished from here on.
    s.lane_target.last_lane_change(p.car, 1) = static_cast<float>(t10 / 10);
    s.lane_target.last_lane_change(p.car, 2) = p.dnew;
    carwal(vid, 7) = static_cast<float>(target);
    const bool walled = p.xxx[l1][2] > 0.01f || p.xxx[l1][3] < 0.99f;
    if (walled || p.incpen[l1] < 0.9f || p.prohib[l1] > 0) carwal(vid, 3) += 0.1f;
    if (walled && s.link3.tsignal(p.nl) == 0) {
        p.lanocc[target][1] = p.dnew;
        p.lanocc[target][2] = p.spd;
    }
    if (target < l1) {
        p.lanocc[target][5] = p.dnew;
        p.lanocc[target][6] = s.vehplot.accmod(vid, 3);
    }

    if (lag_gap_short(s, p, target) || lead_gap_short(p, target)) return l1;
    const bool  open = restriction(s, p, l1) == 0;
    const float own_block = own_incident_start(s, p);
    if (open && p.xxx[l1][1] < p.xxx[target][1] && p.xxx[target][1] >= 1.0f && own_block > p.len)
        return l1;
    if (open && p.xxx[l1][1] <= 0.0f && p.xxx[target][6] < p.xxx[l1][6] && p.xxx[target][6] < 1.0f)
        return l1;
    if (p.incpen[target] < p.incpen[l1]) return l1;
    const float final_zone = p.len <= kShortLink ? p.len / 5.0f : kFinalZone;
    if (carwal(vid, 1) >= 0.99f && p.remdis < final_zone) return l1;
    if (p.spdcap > 0.0f && p.dnew < 2.0f * p.dencap * p.spd / p.spdcap) return l1;

    const auto& lnchtm = s.vehindx.lnchtm;
    if (p.dnew < static_cast<float>(lnchtm(vid, 4)) && t10 < lnchtm(vid, 2) &&
        (p.xxx[l1][2] <= 0.0f || open))
        return l1;
    if (t10 < lnchtm(vid, 1)) return l1;
    const bool no_need = carwal(vid, 1) > 0.99f && carwal(vid, 2) > 0.99f && p.incpen[l1] > 0.99f;
    if (no_need &&
        static_cast<float>(t10) < static_cast<float>(lnchtm(vid, 1)) + kRestWaits * p.weavedur)
        return l1;

    // Accepted: walls and weaving shorten the change.
    float D = p.weavedur;
    if (carwal(vid, 1) < 1.0f) D *= (1.0f + carwal(vid, 1)) / 2.0f;
    if (carwal(vid, 2) < 1.0f) D *= (1.0f + carwal(vid, 2)) / 2.0f;
    auto& timers = s.vehindx.lnchtm;
    timers(vid, 1) = t10 + static_cast<int>(D);
    timers(vid, 3) = l1;
    timers(vid, 2) = t10;
    return target;
}

} // namespace

float lane_inertia(const Sim& s, float spd, float pcu) {
    const auto& wv = s.wvedat.wvedat;
    return std::min(plus_times(wv(4), wv(3), spd), wv(5)) * std::sqrt(std::fabs(pcu));
}

void index_lane_bias(Sim& s) {
    auto& lb = s.lanebias;
    if (lb.bias_indexed == lb.nlanebias) return;
    lb.bias_first.zero();
    lb.bias_next.zero();
    const int n = std::min(lb.nlanebias, kMaxLaneBiasRules);
    // Rules are chained from the last to the first, so each link's chain
    // runs in rule order.
    for (int j = n; j >= 1; --j) {
        const int l = lb.lanebias(j, 1);
        if (l < 1 || l > kMaxLinks) continue;
        lb.bias_next(j) = lb.bias_first(l);
        lb.bias_first(l) = j;
    }
    lb.bias_indexed = lb.nlanebias;
}

void lane_choice(Sim& s, LanePass& p, int t10) {
    current_lane_caps(s, p, t10);
    const int push = adjust_gaps(s, p, t10);
    p.lmax = p.lane1;
    const bool single = p.ll1 == p.ll2;
    BiasHits   bias;
    if (!single) bias = lane_bias_hits(s, p);
    int code[kPassLanes] = {};
    for (int l = p.ll1; l <= p.ll2; ++l) code[l] = restriction(s, p, l);
    const float  look = static_cast<float>(s.errflg.errchk[20]) / kKmhPerMps;
    VehicleTerms v;
    if (!single) v = vehicle_terms(s, p);
    for (int l = p.ll1; l <= p.ll2; ++l) {
        if (code[l] == 1) continue;
        p.lanspd[l] = kBaseScore;
        p.xgap[l] += look * (p.spre[l] - p.spd);
        if (!single) p.lanspd[l] = lane_score(s, p, l, code[l], t10, push, bias, v);
    }
    if (single) return;

    int   best = p.lane1;
    float top = 0.0f;
    for (int l = p.ll1; l <= p.ll2; ++l) {
        if (code[l] == 1) continue;
        if (p.lanspd[l] > top) {
            top = p.lanspd[l];
            best = l;
        }
    }
    p.lmax = decide_change(s, p, best, t10);
}

void lane_spacing_factor(Sim& s, LanePass& p, int /*t10*/) {
    const int   vid = p.vid;
    const auto& carwal = s.vehicle.carwal;
    float       x = kFullChange;
    if (carwal(vid, 1) < 0.99f) x = carwal(vid, 1);
    x = std::min(x, carwal(vid, 2));
    if (carwal(vid, 3) >= 1.0f) x *= 0.95f;
    if (p.incpen[p.lane1] <= 0.5f + static_cast<float>(s.oddat.vrnd(p.car)) / 20000.0f) x *= 0.95f;
    if (p.lmax != p.lane1) x = kChangeSpacing;
    float& lc = s.vehindx.lanechan(vid);
    lc = x >= kFullChange ? std::min(kFullChange, lc + kSpacingRecovery)
                          : std::max(kChangeSpacing, x);
}

} // namespace velm
