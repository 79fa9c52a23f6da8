// Position update: advance and cap at the link end, expected exit times, lane
// upstream-end state, distances, and the network totals per minute.
#include "core/movement/positions.h"
#include "movement/corridor_fixture.h"

#include <gtest/gtest.h>

namespace velm::testing_movement {
namespace {

// Link 1: two lanes, 200 m, speed at capacity 54 km/h.
struct TwoLanes : Corridor {
    TwoLanes() {
        road(1, 2, 0.2f, 90.0f, 54.0f, 140.0f, 1800.0f);
        calibrate();
    }
    void move(int tick) {
        t10 = tick;
        vehpos2(s, tick);
    }
};

TEST(PositionUpdate, AdvanceCappedAtTheLinkEnd) {
    TwoLanes  r;
    const int a = r.add(1, 1, 1, 100.0f, 36.0f);
    const int b = r.add(2, 1, 2, 199.6f, 36.0f);
    r.move(10);
    EXPECT_NEAR(r.s.vehplot.dis(a, 1), 101.0f, 1e-4f); // 36 km/h: 1 m per tick
    EXPECT_EQ(r.s.vehplot.dis(b, 1), 200.0f);          // 0.4 m before the end: stops at it
    r.move(11);
    EXPECT_EQ(r.s.vehplot.dis(b, 1), 200.0f);
    EXPECT_EQ(r.s.vehplot.dis(b, 2), 200.0f);
    // Distances: 1 m, then 0.4 m and 0 m.
    EXPECT_NEAR(r.s.vehplot.trpdst(1, 1), 0.002f, 1e-6f);
    EXPECT_NEAR(r.s.vehplot.trpdst(2, 1), 0.0004f, 1e-6f);
    EXPECT_NEAR(r.s.delay.tllink(1, 1, 1), 2.4f, 1e-3f);
    EXPECT_NEAR(r.s.delay.tllink(1, 1, 2), 0.4f, 1e-5f);
}

// The travel grid takes a vehicle's tick at the point where it was last
// drawn, and only while that point is on its current link: the marker of a
// vehicle that has just moved on (-1, -1) lies inside this window.
TEST(PositionUpdate, TravelGridTakesOnlyVehiclesDrawnOnTheirLink) {
    TwoLanes r;
    r.s.set2.xmin(1) = r.s.set2.ymin(1) = -3.0f;
    r.s.set2.xmax(1) = r.s.set2.ymax(1) = 7.0f;
    const int moved = r.add(1, 1, 1, 100.0f, 36.0f);
    const int drawn = r.add(2, 1, 2, 50.0f, 36.0f);
    for (int vid : {moved, drawn}) r.s.vehplot.xq(vid, 1) = r.s.vehplot.yq(vid, 1) = -1.0f;
    r.s.vehplot.drawn(drawn) = 1;
    r.move(10);
    const auto& g = r.s.plume.travel;
    EXPECT_NEAR(g(20, 20, 1, 1), 0.001f, 1e-7f); // one vehicle's metre
    EXPECT_FLOAT_EQ(g(20, 20, 2, 1), 1.0f / 600.0f);
}

TEST(PositionUpdate, ExpectedExitNeverSlowerThanCapacitySpeed) {
    TwoLanes r;
    r.add(1, 1, 1, 100.0f, 0.0f); // stopped 100 m before the end
    r.add(2, 1, 2, 50.0f, 72.0f); // 20 m/s, 150 m before the end after its step of 2 m
    r.move(20);
    EXPECT_NEAR(r.s.vehicle.dept(1), 2.0f + 100.0f / 15.0f, 1e-4f);
    EXPECT_NEAR(r.s.vehicle.dept(2), 2.0f + 148.0f / 20.0f, 1e-4f);
    EXPECT_EQ(r.s.link3.otflwt(1, 3), static_cast<int>(1000.0f * r.s.vehicle.dept(1)));
}

TEST(PositionUpdate, LaneUpstreamEndState) {
    TwoLanes r;
    r.add(1, 1, 1, 120.0f, 18.0f);
    r.s.vehicle.pcu(1) = -2.0f;
    const int l2 = r.lane_no(1, 2);
    r.s.link3.lotfl(l2, 1) = 7000; // the last vehicle left lane 2 at 7 s ...
    r.s.link3.lotfl(l2, 2) = 54;   // ... at 54 km/h
    r.move(100);
    // Lane 2 holds no vehicle: the link length plus 3 s at 15 m/s.
    EXPECT_EQ(r.s.lanexch.lstveh(l2, 1), 245);
    EXPECT_EQ(r.s.lanexch.lstveh(l2, 2), 245);
    EXPECT_EQ(r.s.lanexch.lstveh(l2, 4), 54);
    EXPECT_EQ(r.s.lanexch.lstveh(l2, 6), 1);
    // Lane 1 ends with its last vehicle: position, speed, 10 x |pcu|.
    const int l1 = r.lane_no(1, 1);
    EXPECT_EQ(r.s.lanexch.lstveh(l1, 2), 120);
    EXPECT_EQ(r.s.lanexch.lstveh(l1, 4), 18);
    EXPECT_EQ(r.s.lanexch.lstveh(l1, 6), 20);
    // A lane whose last exit lies long ago offers at most 1000 m beyond the end.
    r.s.link3.lotfl(l2, 1) = 0;
    r.move(40000);
    EXPECT_EQ(r.s.lanexch.lstveh(l2, 2), 1200);
}

TEST(PositionUpdate, EmptyLinkIndicatorsDecayOnWholeSeconds) {
    TwoLanes  r;
    const int l1 = r.lane_no(1, 1), l2 = r.lane_no(1, 2);
    r.s.lanexch.lstveh(l1, 5) = 25;
    r.s.lanexch.lstveh(l1, 6) = 25;
    r.s.lanexch.lstveh(l2, 5) = 1;
    r.s.lanexch.lstveh(l2, 2) = 37;
    const int expect[] = {23, 21, 19, 18, 17, 16, 15, 14, 13, 12, 11, 10, 10};
    int       tick = 10;
    for (const int e : expect) {
        r.move(tick + 5); // between whole seconds nothing decays
        r.move(tick);
        tick += 10;
        EXPECT_EQ(r.s.lanexch.lstveh(l1, 5), e);
        EXPECT_EQ(r.s.lanexch.lstveh(l1, 6), e);
    }
    EXPECT_EQ(r.s.lanexch.lstveh(l2, 5), 1);
    EXPECT_EQ(r.s.lanexch.lstveh(l2, 2), 37); // the last vehicle's position stays
    EXPECT_EQ(r.s.link3.otflwt(1, 3), static_cast<int>(tick / 10 - 1 + 100000));
}

TEST(PositionUpdate, EntryOffsetCountsInTheFirstDistance) {
    TwoLanes  r;
    const int v = r.add(1, 1, 1, 0.51f, 0.0f);
    r.s.vehplot.dis(v, 2) = 0.0f; // as network entry leaves it
    r.move(1);
    EXPECT_NEAR(r.s.vehplot.trpdst(1, 1), 0.00051f, 1e-7f);
}

TEST(PositionUpdate, NetworkTotalsPerMinuteWrapAfterTwoThousandMinutes) {
    TwoLanes r;
    r.add(1, 1, 1, 0.0f, 45.0f); // half the free speed of 90
    r.move(0);
    r.move(1);
    auto& ns = r.s.netstats;
    EXPECT_NEAR(ns.vehkm(1), 2.0f * 12.5f / 10.0f / 1000.0f, 1e-7f);
    EXPECT_NEAR(ns.vehmn(1), 2.0f / 600.0f, 1e-7f);
    EXPECT_NEAR(ns.vehde(1), 2.0f * 0.5f * 0.1f / 60.0f, 1e-7f);
    r.move(600); // minute 2
    EXPECT_NEAR(ns.vehmn(2), 1.0f / 600.0f, 1e-7f);

    // Minute 2001 takes over slot 1, which starts from zero; a run that
    // skips minutes clears the slots it skips too.
    ns.vehst(1) = 5.0f;
    r.move(2000 * 600);
    EXPECT_NEAR(ns.vehmn(1), 1.0f / 600.0f, 1e-7f);
    EXPECT_EQ(ns.vehst(1), 0.0f);
    ns.vehkm(3) = 7.0f;
    r.move(2003 * 600);
    EXPECT_EQ(ns.vehkm(3), 0.0f);
    EXPECT_NEAR(ns.vehmn(4), 1.0f / 600.0f, 1e-7f);
}

} // namespace
} // namespace velm::testing_movement
