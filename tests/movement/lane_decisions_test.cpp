// The lane-decision pass: detector counts, lane leaders (next link's tail,
// the lane's own end, vehicles already placed, lane changes in progress), the
// headway and leader data handed to car following, and bad lane numbers.
#include "core/movement/lane_decisions.h"
#include "movement/corridor_fixture.h"

#include <gtest/gtest.h>

namespace velm::testing_movement {
namespace {

// A tick at which a vehicle more than 100 m from the end evaluates only its
// own lane and (for trips 1..5) neither refreshes its look-ahead nor its
// target lane.
constexpr int kQuietTick = 3;

// Link 1: `lanes` lanes, 300 m, free speed 100; link 2: one lane, free speed 50.
struct Pass : Corridor {
    explicit Pass(int lanes = 1) {
        road(1, lanes, 0.3f, 100.0f, 60.0f, 140.0f, 2000.0f);
        road(2, 1, 0.5f, 50.0f, 30.0f, 140.0f, 2000.0f);
        calibrate();
    }
    int vehicle(int car, int lane, float pos, float speed) {
        const int vid = add(car, 1, lane, pos, speed);
        s.vehicle.dept(car) = 100.0f; // far from the link end in time
        return vid;
    }
    void run(int tick = kQuietTick) {
        t10 = tick;
        s.control.t10 = tick;
        lanpos(s, -1, tick);
        vehpos5(s, tick);
    }
    float hdwy(int car) const { return s.vehplot.hdwy(vid(car), 1); }
};

TEST(LanePass, DetectorCountsNearTheEnd) {
    Pass      r;
    const int lane = r.lane_no(2, 1);
    r.s.lnkvdet.lnkdet(lane, 3) = 4; // left from an earlier tick on an empty link
    r.s.lnkvdet.lnndet(lane) = 9;
    const int near = r.lane_no(1, 1);
    r.vehicle(1, 1, 250.0f, 30.0f);
    r.s.oddat.vtyp(1) = 2;
    r.run(kQuietTick);
    EXPECT_EQ(r.s.lnkvdet.lnkdet(lane, 3), 0);
    EXPECT_EQ(r.s.lnkvdet.lnndet(lane), 9); // rebuilt on whole seconds only
    EXPECT_EQ(r.s.lnkvdet.lnkdet(near, 2), 1);
    r.run(10);
    EXPECT_EQ(r.s.lnkvdet.lnndet(lane), 0);
    EXPECT_EQ(r.s.lnkvdet.lnndet(near), 1);
}

TEST(LanePass, LaneHeadFollowsTheStretchedTailOfTheNextLink) {
    struct Case {
        int   tail;   // m, last vehicle of the next link's target lane
        float speed;  // km/h of the head
        int   splbck; // held by spill-back
    };
    const Case cases[] = {{30, 40.0f, 0}, {5, 0.0f, 1}, {5, 40.0f, 0}, {30, 0.0f, 0}};
    for (const Case& c : cases) {
        Pass      r;
        const int vid = r.vehicle(1, 1, 100.0f, c.speed);
        r.s.vehicle.nxtlnk(vid, 1) = 2;
        r.s.vehicle.nxtlnk(vid, 2) = 1;
        r.s.oddat.vlan(vid, 2) = 1;
        const int nlan = r.lane_no(2, 1);
        r.s.lanexch.lstveh(nlan, 2) = c.tail;
        r.s.lanexch.lstveh(nlan, 4) = 20;
        r.s.lanexch.lstveh(nlan, 6) = 10;
        r.run();
        SCOPED_TRACE(c.tail);
        // Link 2 is half as fast: its tail is seen twice as far.
        EXPECT_FLOAT_EQ(r.hdwy(1), 300.0f + 2.0f * c.tail - 100.0f);
        EXPECT_FLOAT_EQ(r.s.vehplot.pre_spd(vid, 1), 300.0f + c.tail); // not stretched
        EXPECT_FLOAT_EQ(r.s.vehplot.pre_spd(vid, 2), 20.0f);
        EXPECT_EQ(r.s.vehplot.splbck(vid), c.splbck);
        EXPECT_EQ(r.s.link2.fvehlan(r.lane_no(1, 1)), 1);
    }
}

TEST(LanePass, TripEndingHereFollowsTheLanesOwnEndRecord) {
    Pass      r;
    const int vid = r.vehicle(1, 1, 100.0f, 40.0f);
    const int lan = r.lane_no(1, 1);
    r.s.lanexch.lstveh(lan, 1) = 280;
    r.s.lanexch.lstveh(lan, 3) = 30;
    r.s.lanexch.lstveh(lan, 5) = 20; // the last vehicle out weighed 2 cars
    r.run();
    EXPECT_FLOAT_EQ(r.hdwy(1), (280.0f - 100.0f) / 2.0f);
    EXPECT_FLOAT_EQ(r.s.vehplot.hdwy(vid, 3), 180.0f);
    EXPECT_FLOAT_EQ(r.s.vehplot.pre_spd(vid, 2), 30.0f);
}

TEST(LanePass, FollowersSeeThePlacedVehicleAndAtLeastOneMetre) {
    Pass r;
    r.vehicle(1, 1, 200.0f, 40.0f);
    const int b = r.vehicle(2, 1, 150.0f, 40.0f);
    const int c = r.vehicle(3, 1, 149.6f, 40.0f);
    r.s.vehicle.pcu(2) = 2.0f;
    r.run();
    EXPECT_FLOAT_EQ(r.hdwy(2), 50.0f);
    EXPECT_FLOAT_EQ(r.s.vehplot.pre_spd(b, 1), 200.0f);
    // A placed leader hands on the free speed as its speed (reset for every
    // vehicle's evaluation before the leader search).
    EXPECT_FLOAT_EQ(r.s.vehplot.pre_spd(b, 2), 100.0f);
    // 0.4 m behind a vehicle of weight 2: 0.2 m, raised to 1 m.
    EXPECT_FLOAT_EQ(r.hdwy(3), 1.0f);
    EXPECT_NEAR(r.s.vehplot.hdwy(c, 3), 0.4f, 1e-4f);
    EXPECT_EQ(r.s.link2.fvehlan(r.lane_no(1, 1)), 1);
}

TEST(LanePass, VehicleChangingLanesHoldsBothLanes) {
    // Trip 1 moves from lane 1 to lane 2 with r ticks of its change left;
    // trip 2 follows in lane 1 and sees it up to three jam spacings ahead of
    // its position as the change completes.
    for (const int left : {20, 10, 1, 0}) {
        Pass      r(2);
        const int a = r.vehicle(1, 2, 150.0f, 40.0f);
        r.vehicle(2, 1, 100.0f, 40.0f);
        r.s.vehindx.lnchtm(a, 1) = kQuietTick + left;
        r.s.vehindx.lnchtm(a, 3) = 1;
        r.run();
        const float jam = r.s.link5.minhd(1, 1);
        SCOPED_TRACE(left);
        if (left >= 1) {
            const float x1 = 1.0f - static_cast<float>(left) / 20.0f;
            EXPECT_NEAR(r.hdwy(2), 150.0f + (1.0f + 2.0f * x1) * jam - 100.0f, 1e-3f);
        } else {
            EXPECT_GT(r.hdwy(2), 1000.0f); // lane 1 is free up to its end record
        }
        EXPECT_EQ(r.s.link2.fvehlan(r.lane_no(1, 2)), 1);
        EXPECT_EQ(r.s.link2.fvehlan(r.lane_no(1, 1)), 2);
    }
}

TEST(LanePass, StandingLeaderJustPastTheStopLine) {
    LanePass p;
    p.len = 500.0f;
    p.frespd = 50.0f;
    p.spd = 25.0f;
    EXPECT_FLOAT_EQ(stop_line_leader(p, 7.0f), 501.75f);
    p.spd = 0.0f;
    EXPECT_FLOAT_EQ(stop_line_leader(p, 7.0f), 503.5f);
}

TEST(LanePass, BadLaneNumbersAreReportedAndCounted) {
    Pass      r;
    const int a = r.vehicle(1, 1, 100.0f, 40.0f);
    r.s.vehicle.nxtlnk(a, 1) = 2;
    r.s.oddat.vlan(a, 2) = 3; // link 2 has one lane
    const int b = r.vehicle(2, 1, 50.0f, 40.0f);
    r.s.oddat.vlan(b, 1) = 0; // no such lane on link 1
    r.run();
    const auto log = lines_of(r.log());
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].rfind("vehpos5b", 0), 0u) << log[0];
    EXPECT_NE(log[1].find("lane 1 used"), std::string::npos) << log[1];
    EXPECT_EQ(r.s.errcount.numerr, 2);
    EXPECT_EQ(r.s.oddat.vlan(b, 1), 1);
    // The first vehicle falls back on its own lane's end record.
    EXPECT_GT(r.hdwy(1), 200.0f);
}

} // namespace
} // namespace velm::testing_movement
