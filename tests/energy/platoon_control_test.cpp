// Cooperative platoon control: the drag factor by position, the dynamic limits
// and the following law, the per-link step on real lane tables (lone
// vehicles, other classes, the tight-platoon flag, the class row of the
// parameters, crowded lanes), the next-link lookups and the speed update's
// use of the answer.
#include "core/demand/demand.h"
#include "core/energy/energy.h"
#include "core/energy/platoon.h"
#include "core/movement/speed_caps.h"

#include "movement/movement_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace velm {
namespace {

constexpr int   kLink = 1, kNext = 2;
constexpr float kFree = 108.0f; // km/h: 30 m/s
constexpr float kRf = 0.8f;

// Type 1 at 20 m/s on the level, drag unreduced, worked by hand: power-bound
// force 1000 x 0.8 x 119 / 20 = 4760 N (below the traction bound 5403 N),
// drag 0.5 x 1.225 x 0.34 x 2.73 x 400 = 227.4 N, rolling 1900 x 9.806 x 1.75
// x (4.575 + 72 x 0.0328) / 1000 = 226.2 N: (4760 - 453.6) / 1900.
constexpr float kType1AmaxAt20 = 2.2665f;
constexpr float kBrakeLevel = -0.5f * 9.806f; // -mu g on the level

struct Control : ::testing::Test {
    testing_movement::MoveRun run;
    Sim&                      s = run.s;

    Control() {
        s.units.open_write(kUnitSummary, "summary.out");
        init_veh_param(s);
        run.link(kLink, 3, 1.0f, 1100);
        run.link(kNext, 3, 1.0f, 50);
        for (int l : {kLink, kNext}) s.link1.spdvol(l, 7) = kFree;
        auto& pl = s.platoon;
        pl.platoon_activation_flag = 1;
        pl.target_t_hat = 0.6f;
        pl.lambda = 10.0f;
        pl.sj = 6.0f;
        pl.epsilon_factor = 0.1f;
        pl.reduction_factor = kRf;
        pl.t_hat_threshold = 1.0f;
        pl.target_veh_class_2 = {0, 1, 0, 0, 0, 0};
        pl.link_ids_for_platoon.resize(kPlatoonLinks);
        pl.platooning_on_lanes_flag.resize(kNext, kPlatoonLanes);
        pl.number_links = 1;
        pl.link_ids_for_platoon(1) = kLink;
        pl.platooning_on_lanes_flag(kLink, 1) = 1;
        init_platoon(s);
        init_cd_platooning_data(s);
    }
    // Trip car of class vt on link l in lane `lane` at pos m and speed v m/s;
    // its trip ends on the link.
    int put(int car, int lane, float pos, float v, int vt = 1, int l = kLink) {
        const int vid = run.place(car, l, lane, pos);
        s.vehplot.spd(vid, 1) = 3.6f * v;
        s.vehplot.spd(vid, 4) = 3.6f * v;
        s.oddat.vtyp(car) = vt;
        s.oddat.vehper2(car) = vt;
        s.vehicle.nxtlnk(vid, 1) = -1;
        return vid;
    }
    struct Answer {
        float vmax = 0.0f;
        int   flag = -7; // untouched
    };
    Answer ask(int car) {
        Answer a;
        given_platoon_find_max_vel_for_veh(s, car, a.vmax, kLink, a.flag);
        return a;
    }
};

TEST(PlatoonDrag, FactorByPositionAndGap) {
    auto s = support::memory_sim();
    init_cd_platooning_data(*s);
    const struct {
        const char* label;
        int         n, rank;
        float       gf, gb, want;
    } cases[] = {
        // -1.7834 x 20^-0.0672 + 2.3614
        {"second of two at 20 m", 2, 2, 20.0f, 0.0f, 0.9032f},
        {"second of two at 60 m, past its limit", 2, 2, 60.0f, 0.0f, 1.0f},
        {"first of two", 2, 1, 0.0f, 20.0f, 1.0f},
        {"first of four", 4, 1, 0.0f, 20.0f, 1.0f},
        // middle: gap (20 + 30) / 2, -0.8985 x 25^-0.5126 + 1.1393
        {"middle of four", 4, 2, 20.0f, 30.0f, 0.9667f},
        {"last of four at 10 m", 4, 4, 10.0f, 0.0f, 1.0f},
        {"last of four at 50 m", 4, 4, 50.0f, 0.0f, 1.0f},
        {"last of four at 79 m", 4, 4, 79.0f, 0.0f, 1.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_NEAR(compute_cd_factor(s->platoon, c.n, c.rank, c.gf, c.gb), c.want, 1e-3f);
    }
}

TEST_F(Control, FollowingLawAndItsLimits) {
    const PlatoonVehicle p = platoon_vehicle(s, 1);
    EXPECT_NEAR(compute_bounds(p, 0.0f, 20.0f, p.Cd).a_max, kType1AmaxAt20, 1e-3f);
    const DynamicLimits nf = compute_bounds_no_front(p, 0.0f, 20.0f, p.Cd, kRf);
    EXPECT_NEAR(nf.a_max, kRf * kType1AmaxAt20, 1e-3f);
    EXPECT_NEAR(nf.a_min, kRf * kBrakeLevel, 1e-4f);

    // 30 m apart at 20 m/s: e = 30 - 6 - 12 = 12 m, a = 120 / 0.6 = 200 m/s2,
    // held to the power-bound limit.
    const auto&  pl = s.platoon;
    float        acx = 0.0f;
    PlatoonState next =
        compute_new_velocity(pl, p, 0.0f, 1.0f, {470.0f, 20.0f}, {500.0f, 20.0f}, acx);
    EXPECT_NEAR(acx, kRf * kType1AmaxAt20, 1e-3f);
    EXPECT_FLOAT_EQ(next.x, 472.0f); // moved at the old speed
    EXPECT_NEAR(next.v, 20.0f + 0.1f * kRf * kType1AmaxAt20, 1e-4f);
    // Inside the limits: 18.2 m apart at 20 m/s behind a leader at 19 m/s:
    // e = 0.2 m, a = (-1 + 2) / 0.6.
    EXPECT_NEAR(compute_acceleration(pl, p, 0.0f, 1.0f, {481.8f, 20.0f}, {500.0f, 19.0f}),
                1.0f / 0.6f, 1e-3f);
    // 10 m apart: braking held to the friction limit.
    EXPECT_NEAR(compute_acceleration(pl, p, 0.0f, 1.0f, {490.0f, 20.0f}, {500.0f, 20.0f}),
                kRf * kBrakeLevel, 1e-4f);
    // A type without mass is not limited by its dynamics.
    PlatoonVehicle massless = p;
    massless.m = 0.0f;
    EXPECT_FLOAT_EQ(
        compute_acceleration(pl, massless, 0.0f, 1.0f, {470.0f, 20.0f}, {500.0f, 20.0f}), 200.0f);
}

TEST_F(Control, PairOnALane) {
    put(1, 1, 500.0f, 20.0f);
    put(2, 1, 470.0f, 20.0f);
    platooning_scenario(s, kLink);
    const PlatoonVehicle p = platoon_vehicle(s, 1);
    // The leader has no platoon ahead of it: car following drives it.
    const Answer lead = ask(1);
    EXPECT_EQ(lead.vmax, -1.0f);
    // The follower at 30 m: the limit with its drag reduced as second of two.
    const float cd = p.Cd * compute_cd_factor(s.platoon, 2, 2, 30.0f, 0.0f);
    EXPECT_LT(cd, p.Cd);
    const Answer follow = ask(2);
    EXPECT_NEAR(follow.vmax, 3.6f * (20.0f + 0.1f * kRf * compute_bounds(p, 0.0f, 20.0f, cd).a_max),
                1e-3f);
    // (30 - 6) / 20 = 1.2 s is no tight platoon; the flag sits at the front
    // vehicle's entry, and the last vehicle has none.
    EXPECT_EQ(lead.flag, 0);
    EXPECT_EQ(follow.flag, 0);
    s.platoon.t_hat_threshold = 1.2f;
    platooning_scenario(s, kLink);
    EXPECT_EQ(ask(1).flag, 1);
    EXPECT_EQ(ask(2).flag, 0);
    // Once the leader has gone, the lone follower's old flag is gone too.
    run.finish(1, kLink);
    platooning_scenario(s, kLink);
    EXPECT_EQ(ask(2).flag, 0);
}

TEST_F(Control, WhoGetsAPlatoonSpeed) {
    // A lone vehicle in a platooning lane gets no platoon speed: it drives by
    // car following (its own speed would hold it at its entry speed).
    put(1, 1, 500.0f, 20.0f);
    s.vehplot.spd(s.vehindx.vehid(1), 4) = 50.0f; // smoothed speed lags
    platooning_scenario(s, kLink);
    EXPECT_EQ(ask(1).vmax, -1.0f);
    EXPECT_EQ(ask(1).flag, 0);
    // Behind it a vehicle of a class that does not platoon: no answer, but the
    // one behind that follows it (20 m, closing at 5 m/s: braking).
    put(2, 1, 480.0f, 25.0f, 2);
    put(3, 1, 460.0f, 25.0f);
    // Lane 2 is no platooning lane.
    put(4, 2, 450.0f, 25.0f);
    put(5, 2, 440.0f, 25.0f);
    platooning_scenario(s, kLink);
    EXPECT_EQ(ask(2).vmax, -1.0f);
    EXPECT_EQ(ask(2).flag, -7);
    EXPECT_NEAR(ask(3).vmax, 3.6f * (25.0f + 0.1f * kRf * kBrakeLevel), 1e-3f);
    EXPECT_EQ(ask(4).vmax, -1.0f);
    EXPECT_EQ(ask(5).vmax, -1.0f);
    // With no platooning class the step runs and nobody gets an answer.
    s.platoon.target_veh_class_2 = {};
    platooning_scenario(s, kLink);
    for (int car = 1; car <= 5; ++car) EXPECT_EQ(ask(car).vmax, -1.0f) << car;
}

TEST_F(Control, ParametersComeFromTheClassRow) {
    // Class 2 trips that use type 23 (a 31.8-t truck) are limited as type 2.
    s.platoon.target_veh_class_2 = {0, 1, 1, 0, 0, 0};
    put(1, 1, 500.0f, 20.0f, 2);
    put(2, 1, 470.0f, 20.0f, 2);
    for (int car : {1, 2}) s.oddat.vehper2(car) = 23;
    platooning_scenario(s, kLink);
    const auto row = [&](int t) {
        const PlatoonVehicle p = platoon_vehicle(s, t);
        const float          cd = p.Cd * compute_cd_factor(s.platoon, 2, 2, 30.0f, 0.0f);
        return 3.6f * (20.0f + 0.1f * kRf * compute_bounds(p, 0.0f, 20.0f, cd).a_max);
    };
    EXPECT_NEAR(ask(2).vmax, row(2), 1e-3f);
    EXPECT_GT(std::fabs(row(2) - row(23)), 0.1f);
}

TEST_F(Control, CrowdedLaneLeavesTheRestToCarFollowing) {
    const int n = kPlatoonLaneVehicles + 2;
    for (int car = 1; car <= n; ++car) put(car, 1, 1000.0f - 0.9f * car, 10.0f);
    platooning_scenario(s, kLink);
    platooning_scenario(s, kLink);
    EXPECT_GT(ask(kPlatoonLaneVehicles).vmax, -1.0f);
    EXPECT_EQ(ask(kPlatoonLaneVehicles + 1).vmax, -1.0f);
    EXPECT_EQ(ask(n).vmax, -1.0f);
    int said = 0;
    for (const auto& line : support::lines_of(run.log()))
        said += line.find("holds more than") != std::string::npos ? 1 : 0;
    EXPECT_EQ(said, 1);
}

TEST_F(Control, NextLinkLookups) {
    const int vid = put(1, 1, 900.0f, 20.0f);
    s.vehicle.nxtlnk(vid, 1) = kNext;
    s.oddat.vlan(vid, 2) = 2;
    struct Found {
        float vel = -1.0f, pos = -1.0f;
        int   flag = 0;
    };
    const auto platoon_ahead = [&] {
        Found f;
        get_veh_data_of_next_link(s, 1, f.vel, f.pos, f.flag);
        return f;
    };
    const auto anyone_ahead = [&] {
        Found f;
        get_veh_data_of_next_link_enforce_car_following(s, 1, f.vel, f.pos, f.flag);
        return f;
    };
    // The next link is not listed: only the second lookup looks, and finds
    // nobody on the empty link.
    EXPECT_EQ(platoon_ahead().flag, -1);
    EXPECT_EQ(anyone_ahead().flag, -1);
    put(2, 2, 300.0f, 15.0f, 1, kNext); // nearer the front
    put(3, 2, 40.0f, 18.0f, 2, kNext);  // the rear-most in lane 2
    put(4, 1, 10.0f, 10.0f, 1, kNext);  // another lane
    const Found any = anyone_ahead();
    EXPECT_EQ(any.flag, 1);
    EXPECT_FLOAT_EQ(any.pos, 40.0f);
    EXPECT_FLOAT_EQ(any.vel, 18.0f);
    // Listed, lane 2 a platooning lane: the rear-most vehicle is of class 2.
    auto& pl = s.platoon;
    pl.link_ids_for_platoon(2) = kNext;
    pl.number_links = 2;
    EXPECT_EQ(platoon_ahead().flag, -2); // lane 2 of the next link is no platooning lane
    pl.platooning_on_lanes_flag(kNext, 2) = 1;
    EXPECT_EQ(platoon_ahead().flag, -3);
    s.oddat.vtyp(3) = 1;
    const Found lead = platoon_ahead();
    EXPECT_EQ(lead.flag, 1);
    EXPECT_FLOAT_EQ(lead.pos, 40.0f);
    // Next link not known yet, or the trip ends here: neither looks.
    for (int nl : {-99, -1}) {
        s.vehicle.nxtlnk(vid, 1) = nl;
        EXPECT_EQ(platoon_ahead().flag, -1) << nl;
        EXPECT_EQ(anyone_ahead().flag, -1) << nl;
    }
}

TEST_F(Control, LaneFirstFollowsAPlatoonOnItsNextLink) {
    s.platoon.next_link_flag = 1;
    s.platoon.link_ids_for_platoon(2) = kNext;
    s.platoon.number_links = 2;
    s.platoon.platooning_on_lanes_flag(kNext, 1) = 1;
    const int vid = put(1, 1, 990.0f, 20.0f);
    put(2, 1, 900.0f, 20.0f);
    s.vehicle.nxtlnk(vid, 1) = kNext;
    s.oddat.vlan(vid, 2) = 1;
    // 25 m ahead on the next link (10 m to the link end + 15 m), slower.
    put(3, 1, 15.0f, 15.0f, 1, kNext);
    platooning_scenario(s, kLink);
    // e = 25 - 6 - 12 = 7 m, a = (-5 + 70) / 0.6 > 0: held to the limit with
    // the drag of rank 2 (second of two, 25 m).
    const PlatoonVehicle p = platoon_vehicle(s, 1);
    const float          cd = p.Cd * compute_cd_factor(s.platoon, 2, 2, 25.0f, 0.0f);
    EXPECT_NEAR(ask(1).vmax, 3.6f * (20.0f + 0.1f * kRf * compute_bounds(p, 0.0f, 15.0f, cd).a_max),
                1e-3f);
    // A slow vehicle 2 m into the next link makes it brake: 12 m ahead at
    // 10 m/s, e = 12 - 6 - 12 = -6 m, a = (-10 - 60) / 0.6, held at the
    // friction limit.
    s.vehplot.dis(s.vehindx.vehid(3), 1) = 2.0f;
    s.vehplot.spd(s.vehindx.vehid(3), 4) = 3.6f * 10.0f;
    platooning_scenario(s, kLink);
    EXPECT_NEAR(ask(1).vmax, 3.6f * (20.0f + 0.1f * kRf * kBrakeLevel), 1e-3f);
    // Without the next-link flag it follows no platoon: car following drives
    // it, also behind a vehicle of another class on the next link.
    s.platoon.next_link_flag = 0;
    platooning_scenario(s, kLink);
    EXPECT_EQ(ask(1).vmax, -1.0f);
    s.platoon.next_link_flag = 1;
    s.oddat.vtyp(3) = 2;
    platooning_scenario(s, kLink);
    EXPECT_EQ(ask(1).vmax, -1.0f);
}

TEST_F(Control, SpeedUpdateNeverRaisesTheCarFollowingSpeed) {
    // Vehicle 2 far behind vehicle 1 would be driven above the free speed by
    // the law, vehicle 3 is 10 m behind vehicle 2 and brakes. The platoon
    // speed only ever lowers the speed car following and the caps allow.
    s.mxvehspd.mspvh(1) = 1000;
    put(1, 1, 900.0f, 30.0f);
    put(2, 1, 600.0f, 30.0f);
    put(3, 1, 590.0f, 30.0f);
    const PlatoonVehicle p = platoon_vehicle(s, 1);
    const float above = 3.6f * (30.0f + 0.1f * kRf * compute_bounds(p, 0.0f, 30.0f, p.Cd).a_max);
    ASSERT_GT(above, kFree + 0.05f);
    for (const float threshold : {0.1f, 1.0f}) {
        SCOPED_TRACE(threshold);
        s.platoon.t_hat_threshold = threshold;
        LinkStrategies ls;
        strategy_caps_link(s, kLink, ls);
        ASSERT_TRUE(ls.platooned);
        EXPECT_FLOAT_EQ(strategy_caps(s, ls, kLink, 2, s.vehindx.vehid(2), kFree, kFree, 100),
                        kFree);
        const float law = ask(3).vmax;
        ASSERT_LT(law, kFree - 1.0f);
        EXPECT_FLOAT_EQ(strategy_caps(s, ls, kLink, 3, s.vehindx.vehid(3), kFree, kFree, 100), law);
        // The lane's first vehicle, with nothing to follow, keeps its speed.
        EXPECT_FLOAT_EQ(strategy_caps(s, ls, kLink, 1, s.vehindx.vehid(1), 50.0f, 50.0f, 100),
                        50.0f);
    }
}

} // namespace
} // namespace velm
