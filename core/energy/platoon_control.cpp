// Cooperative platooning, every tick: on each platooning lane of a listed link
// the first vehicle drives towards the free speed (or follows a platoon on its
// next link) and every other vehicle follows the one directly ahead by a
// cooperative adaptive cruise control law, within the limits its dynamics
// allow. The speed update then applies each vehicle's platoon speed.
#include "core/energy/energy.h"
#include "core/energy/platoon.h"
#include "core/io/writers.h"
#include "core/model/codes.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace velm {

namespace {

constexpr float kDt = 0.1f; // s, one tick
// m/s2: the value the limits of the following law were set with.
constexpr float kPlatoonGravity = 9.806f;
constexpr float kAirDensity = 1.225f;       // kg/m3
constexpr float kDragHeight = 1.0f;         // drag height factor
constexpr float kBrakeEfficiency = 1.0f;    // share of the friction braking uses
constexpr float kStandstill = 6.0f;         // m, the law's standstill distance
constexpr float kFreeSpeedGain = 0.2f;      // 1/s, a lane's first vehicle towards free speed
constexpr float kRollingPerMille = 1000.0f; // the rolling coefficient is per thousand

// Sentinel next links: not yet decided, or the trip ends on this link.
constexpr int kNextUndecided = -99;
constexpr int kNextTripEnds = -1;

bool lane_on(const mod_platoon& pl, int link, int lane) {
    const auto& f = pl.platooning_on_lanes_flag;
    return link >= 1 && link <= f.hi1() && lane >= 1 && lane <= kPlatoonLanes && f(link, lane) == 1;
}

bool platoon_class(const mod_platoon& pl, int vt) {
    return vt >= 1 && vt <= kClasses && pl.target_veh_class_2[static_cast<std::size_t>(vt)] == 1;
}

// Slot of the lane's first vehicle and its next link; 0 when the next link is
// unknown or the trip ends here.
int next_link_of(const Sim& s, int car, int& vid) {
    vid = s.vehindx.vehid(car);
    if (vid < 1) return 0;
    const int nl = s.vehicle.nxtlnk(vid, 1);
    if (nl == kNextUndecided || nl == kNextTripEnds || nl < 1 || nl > s.link2.mlnum) return 0;
    return nl;
}

// The slot of the vehicle nearest the rear of link nl in lane tl, in out_vid;
// false when the lane is empty.
bool rear_most_in_lane(const Sim& s, int nl, int tl, int& out_vid) {
    const int base = s.link2.nbqu(nl);
    for (int i = s.link2.ntqu(nl); i >= 1; --i) {
        const int car = s.vehicle.big(base + i);
        const int vid = s.vehindx.vehid(car);
        if (vid < 1 || s.oddat.vlan(vid, 1) != tl) continue;
        out_vid = vid;
        return true;
    }
    return false;
}

void found_state(const Sim& s, int vid, float& r_vel, float& r_pos) {
    r_pos = s.vehplot.dis(vid, 1);
    r_vel = s.vehplot.spd(vid, 4) / kKmhPerMps;
}

} // namespace

PlatoonVehicle platoon_vehicle(const Sim& s, int vt) {
    PlatoonVehicle p;
    if (vt < 1 || vt > kClasses) return p;
    const auto& vp = s.vehper;
    p.m = vp.vehmass(vt);
    p.mta = vp.axlmass(vt);
    p.mu = vp.coeffric(vt);
    p.P = vp.vehkw(vt);
    p.eta = vp.transeff(vt);
    p.Cd = vp.dragcoef(vt);
    p.A = vp.frntarea(vt);
    p.cr0 = vp.rolcoef(vt, 1);
    p.cr1 = vp.rolcoef(vt, 2);
    p.cr2 = vp.rolcoef(vt, 3);
    return p;
}

LinkSlope::LinkSlope(float grade) {
    const float theta = std::atan(grade);
    sin_t = std::sin(theta);
    cos_t = std::cos(theta);
}

DynamicLimits compute_bounds(const PlatoonVehicle& p, LinkSlope slope, float v, float cd) {
    const float   sin_t = slope.sin_t, cos_t = slope.cos_t;
    const float   traction = p.mta * p.m * kPlatoonGravity * p.mu;
    const float   force = v > 0.0f ? std::min(kWattsPerKw * p.eta * p.P / v, traction) : traction;
    DynamicLimits d;
    d.r = 0.5f * kAirDensity * cd * kDragHeight * p.A * v * v +
          p.m * kPlatoonGravity * cos_t * p.cr0 * (p.cr2 + kKmhPerMps * v * p.cr1) /
              kRollingPerMille +
          p.m * kPlatoonGravity * sin_t;
    // A type without mass or power is not limited by its dynamics (the run
    // log says so for each such type).
    d.a_max =
        p.m > 0.0f && p.P > 0.0f ? (force - d.r) / p.m : std::numeric_limits<float>::infinity();
    d.a_min = -kBrakeEfficiency * p.mu * kPlatoonGravity * (1.0f + sin_t);
    return d;
}

DynamicLimits compute_bounds_no_front(const PlatoonVehicle& p, LinkSlope slope, float v, float cd,
                                      float rf) {
    DynamicLimits d = compute_bounds(p, slope, v, cd);
    d.a_max *= rf;
    d.a_min *= rf;
    return d;
}

float compute_cd_factor_r(float a, float b, float c, float gap, float gap_0) {
    if (!(gap > 0.0f && gap < gap_0)) return 1.0f;
    return std::min(1.0f, a * std::pow(gap, b) + c);
}

float compute_cd_factor(const mod_platoon& pl, int platoon_size, int veh_rank, float gap_front,
                        float gap_back) {
    int   position = 3;
    float gap = 0.0f;
    if (platoon_size == 2) {
        position = veh_rank == 2 ? 2 : 1;
        gap = veh_rank == 2 ? gap_front : 0.0f;
    } else if (veh_rank > 1 && veh_rank < platoon_size) {
        position = 4;
        gap = (gap_front + gap_back) / 2.0f;
    } else if (veh_rank == platoon_size) {
        position = 5;
        gap = gap_front;
    }
    const auto k = static_cast<std::size_t>(position);
    return compute_cd_factor_r(pl.cd_a[k], pl.cd_b[k], pl.cd_c[k], gap, pl.cd_g0[k]);
}

float compute_acceleration(const mod_platoon& pl, const PlatoonVehicle& p, LinkSlope slope,
                           float cd_factor, PlatoonState f, PlatoonState v) {
    const float t_hat = pl.target_t_hat;
    const float e = (v.x - f.x) - pl.sj - t_hat * f.v;
    const float a = (v.v - f.v + pl.lambda * e) / t_hat;
    // The limits are those of the front vehicle's speed, so that a follower
    // does not plan an acceleration its leader could not match.
    const DynamicLimits d = compute_bounds(p, slope, v.v, p.Cd * cd_factor);
    return a > 0.0f ? std::min(a, pl.reduction_factor * d.a_max)
                    : std::max(a, pl.reduction_factor * d.a_min);
}

PlatoonState compute_new_velocity(const mod_platoon& pl, const PlatoonVehicle& p, LinkSlope slope,
                                  float cd_factor, PlatoonState f, PlatoonState v, float& acx) {
    acx = compute_acceleration(pl, p, slope, cd_factor, f, v);
    return PlatoonState{f.x + kDt * f.v, f.v + kDt * acx};
}

void get_veh_data_of_next_link(const Sim& s, int car, float& r_vel, float& r_pos, int& out_flag) {
    const auto& pl = s.platoon;
    r_vel = r_pos = 0.0f;
    out_flag = -1;
    int       vid = 0;
    const int nl = next_link_of(s, car, vid);
    if (nl == 0 || !platoon_link_listed(pl, nl)) return;
    out_flag = -2;
    const int tl = s.oddat.vlan(vid, 2);
    // On a lane that is not a platooning lane nothing ahead counts.
    if (!lane_on(pl, nl, tl)) return;
    int found = 0;
    if (!rear_most_in_lane(s, nl, tl, found)) return;
    found_state(s, found, r_vel, r_pos);
    out_flag = platoon_class(pl, s.oddat.vtyp(s.vehindx.vehrid(found))) ? 1 : -3;
}

void get_veh_data_of_next_link_enforce_car_following(const Sim& s, int car, float& r_vel,
                                                     float& r_pos, int& out_flag) {
    r_vel = r_pos = 0.0f;
    out_flag = -1;
    int       vid = 0;
    const int nl = next_link_of(s, car, vid);
    if (nl == 0) return;
    int found = 0;
    if (!rear_most_in_lane(s, nl, s.oddat.vlan(vid, 2), found)) return;
    found_state(s, found, r_vel, r_pos);
    out_flag = 1;
}

void veh_motion(float, float v, float a, float& res_x, float& res_v) {
    res_x = v;
    res_v = a;
}

namespace {

// The lane tables of link l, front first; the flags of the last step are
// cleared so that a lane's last vehicle reports no tight platoon.
void fill_lane_tables(Sim& s, int l) {
    auto&       pl = s.platoon;
    auto&       count = pl.respective_table_length;
    auto&       ids = pl.vehicle_ids_per_lane;
    auto&       data = pl.vehicle_data_per_lane;
    auto&       plat = pl.vehicle_data_platoon_per_lane;
    auto&       flag = pl.vehicle_acc_per_lane_flag;
    const auto& pv = s.vehplot;
    for (int lane = 1; lane <= kPlatoonLanes; ++lane) {
        pl.lead_follows_platoon[static_cast<std::size_t>(lane)] = 0;
        for (int k = 1; k <= count(lane); ++k) {
            ids(lane, k) = 0;
            flag(lane, k) = 0;
            data(2 * lane - 1, k) = data(2 * lane, k) = 0.0f;
        }
        count(lane) = 0;
    }
    const int base = s.link2.nbqu(l);
    const int n = s.link2.ntqu(l);
    for (int i = 1; i <= n; ++i) {
        const int car = s.vehicle.big(base + i);
        const int vid = s.vehindx.vehid(car);
        if (vid < 1) continue;
        pl.table_place(vid) = 0;
        const int lane = s.oddat.vlan(vid, 1);
        if (lane < 1 || lane > kPlatoonLanes) continue;
        const int k = count(lane) + 1;
        if (k > kPlatoonLaneVehicles) {
            if (!pl.lane_overflow_noted)
                wfree(s.units, kUnitRunLog, " Platooning: lane", lane, "of link", l,
                      "holds more than", kPlatoonLaneVehicles,
                      "vehicles; those behind follow ordinary car following");
            pl.lane_overflow_noted = true;
            continue;
        }
        count(lane) = k;
        ids(lane, k) = car;
        pl.table_place(vid) = (lane - 1) * kPlatoonLaneVehicles + k;
        // The law steps each speed on from the vehicle's current speed: the
        // smoothed speed lags it, and stepping from that would let a vehicle
        // brake at a tenth of the law's deceleration and close up on its leader.
        plat(2 * lane - 1, k) = data(2 * lane - 1, k) = pv.dis(vid, 1);
        plat(2 * lane, k) = data(2 * lane, k) = pv.spd(vid, 1) / kKmhPerMps;
    }
}

// What the step of one lane needs of its link.
struct LaneLink {
    float     len; // m, whole metres
    LinkSlope slope;
    float     uf; // free speed, m/s
};

// The lane's first vehicle: behind a platoon on its next link, else towards
// the free speed, no faster than the vehicle ahead on its next link allows.
void first_vehicle(Sim& s, const LaneLink& k, int lane, int n) {
    auto&                pl = s.platoon;
    const auto&          data = pl.vehicle_data_per_lane;
    auto&                plat = pl.vehicle_data_platoon_per_lane;
    const int            car = pl.vehicle_ids_per_lane(lane, 1);
    const PlatoonVehicle p = platoon_vehicle(s, s.oddat.vtyp(car));
    const PlatoonState   own{data(2 * lane - 1, 1), data(2 * lane, 1)};
    float                r_vel = 0.0f, r_pos = 0.0f, acx = 0.0f;
    int                  found = -1;
    if (pl.next_link_flag == 1) get_veh_data_of_next_link(s, car, r_vel, r_pos, found);
    pl.lead_follows_platoon[static_cast<std::size_t>(lane)] = found == 1 ? 1 : 0;
    if (found == 1) {
        const float        gn = r_pos + (k.len - own.x);
        const float        gb = n == 2 ? 0.0f : std::fabs(own.x - data(2 * lane - 1, 2));
        const float        cdf = compute_cd_factor(pl, n, 2, std::fabs(gn), gb);
        const PlatoonState next =
            compute_new_velocity(pl, p, k.slope, cdf, own, PlatoonState{own.x + gn, r_vel}, acx);
        plat(2 * lane - 1, 1) = next.x;
        plat(2 * lane, 1) = next.v;
        return;
    }
    const float vp = plat(2 * lane, 1);
    if (vp == k.uf) return;
    const DynamicLimits d = compute_bounds_no_front(p, k.slope, own.v, p.Cd, pl.reduction_factor);
    float               a_max = d.a_max;
    get_veh_data_of_next_link_enforce_car_following(s, car, r_vel, r_pos, found);
    if (found == 1) {
        const float gn = r_pos + (k.len - own.x);
        a_max = compute_acceleration(pl, p, k.slope, 1.0f, own, PlatoonState{own.x + gn, r_vel});
    }
    float a = -kFreeSpeedGain * (vp - k.uf);
    a = std::max(std::min(a, a_max), d.a_min);
    const float v_new = vp + kDt * a;
    plat(2 * lane - 1, 1) += kDt * v_new;
    plat(2 * lane, 1) = std::min(k.uf, v_new);
}

// Every follower of the lane behind the vehicle directly ahead, from the
// measured states; the pair's tight-platoon flag at the front vehicle.
void lane_step(Sim& s, const LaneLink& k, int lane) {
    auto&       pl = s.platoon;
    const auto& data = pl.vehicle_data_per_lane;
    auto&       plat = pl.vehicle_data_platoon_per_lane;
    const int   n = pl.respective_table_length(lane);
    const auto  x = [&](int i) { return data(2 * lane - 1, i); };
    for (int i = 1; i < n; ++i) {
        if (i == 1) first_vehicle(s, k, lane, n);
        const PlatoonState   front{x(i), data(2 * lane, i)};
        const PlatoonState   back{x(i + 1), data(2 * lane, i + 1)};
        const PlatoonVehicle p = platoon_vehicle(s, s.oddat.vtyp(pl.vehicle_ids_per_lane(lane, i)));
        const float          gf = std::fabs(front.x - back.x);
        const float          gb = i + 1 == n ? 0.0f : std::fabs(back.x - x(i + 2));
        const float          cdf = compute_cd_factor(pl, n, i + 1, gf, gb);
        float                acx = 0.0f;
        const PlatoonState   next = compute_new_velocity(pl, p, k.slope, cdf, back, front, acx);
        plat(2 * lane - 1, i + 1) = next.x;
        plat(2 * lane, i + 1) = next.v;
        const float tg = back.v > 0.0f ? (front.x - back.x - pl.sj) / back.v : 0.0f;
        pl.vehicle_acc_per_lane_flag(lane, i) = tg <= pl.t_hat_threshold ? 1 : 0;
    }
}

} // namespace

void platooning_scenario(Sim& s, int link_id) {
    auto& pl = s.platoon;
    if (pl.respective_table_length.hi() < kPlatoonLanes) return; // work tables not set up
    const float len = std::trunc(kMetresPerKm * s.link4.llength(link_id));
    if (!(len > 0.0f) || s.link2.ntqu(link_id) <= 0) return;
    const LaneLink k{len, LinkSlope(s.lnkgrade.lnkgrade(link_id)),
                     s.link1.spdvol(link_id, 7) / kKmhPerMps};
    pl.sj = kStandstill;
    fill_lane_tables(s, link_id);
    for (int lane = 1; lane <= kPlatoonLanes; ++lane)
        if (lane_on(pl, link_id, lane) && pl.respective_table_length(lane) >= 2)
            lane_step(s, k, lane);
}

void given_platoon_find_max_vel_for_veh(Sim& s, int veh_id, float& max_vel, int link_id,
                                        int& acc_flag) {
    const auto& pl = s.platoon;
    max_vel = -1.0f;
    if (pl.table_place.hi() < 1 || !platoon_class(pl, s.oddat.vtyp(veh_id))) return;
    const int vid = s.vehindx.vehid(veh_id);
    if (vid < 1) return;
    const int place = pl.table_place(vid);
    if (place < 1) return;
    const int lane = (place - 1) / kPlatoonLaneVehicles + 1;
    const int k = (place - 1) % kPlatoonLaneVehicles + 1;
    if (!lane_on(pl, link_id, lane) || k > pl.respective_table_length(lane) ||
        pl.vehicle_ids_per_lane(lane, k) != veh_id)
        return;
    acc_flag = pl.vehicle_acc_per_lane_flag(lane, k) == 1 ? 1 : 0;
    // A lane's first vehicle has a platoon ahead only when it follows one on
    // its next link; alone, it drives by car following.
    if (k == 1 && (pl.respective_table_length(lane) < 2 ||
                   pl.lead_follows_platoon[static_cast<std::size_t>(lane)] != 1))
        return;
    // The law's speed may step below 0 when it brakes to a stand: it stops.
    max_vel = kKmhPerMps * std::max(0.0f, pl.vehicle_data_platoon_per_lane(2 * lane, k));
}

} // namespace velm
