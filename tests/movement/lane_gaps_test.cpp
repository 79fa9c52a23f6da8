// Lane gap conditioning: walls before the link end, incident blockages, bus
// stops and downstream weaving, on one vehicle's lane tables.
#include "core/movement/lane_gaps.h"
#include "movement_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velm::testing_movement {
namespace {

// Link 1 with `lanes` lanes, `km` long, jam spacing 7 m, spacing at capacity
// 30 m, speed at capacity 60 and free speed 100 km/h; one vehicle (trip 1,
// class 2) in lane `lane` at `pos` m whose trip ends on the link.
struct GapRun : MoveRun {
    LanePass p;
    int      v = 0;

    GapRun(int lanes, float km, int lane, float pos) {
        link(1, lanes, km, 50, 7.0f);
        s.link1.spdvol(1, 4) = 60.0f;
        s.link1.spdvol(1, 7) = 100.0f;
        s.link1.spdvol(1, 11) = 30.0f;
        s.link4.hrdwal(1) = 1000.0f * km - 7.0f;
        for (int k = 1; k <= lanes; ++k) {
            const int g = lane_no(1, k);
            s.link1.incdist(g, 1) = s.link1.incdist(g, 2) = static_cast<int>(1000.0f * km) + 1000;
        }
        v = place(1, 1, lane, pos);
        s.oddat.vtyp(1) = 2;
        s.vehicle.pcu(1) = 1.0f;
        s.busstop.buswait(v) = kNotWaiting;
        p.nl = 1;
        p.len = 1000.0f * km;
        p.jdhead = 7.0f;
        p.dencap = 30.0f;
        p.spdcap = 60.0f;
        p.frespd = 100.0f;
        p.numlans = lanes;
        p.weavedur = 20.0f;
        p.car = 1;
        p.vid = v;
        p.vt = 2;
        p.lane1 = lane;
        p.ldest = kTripEndsHere;
        p.dnew = pos;
        p.remdis = p.len - pos;
        p.spd = 50.0f;
        p.ll1 = 1;
        p.ll2 = lanes;
        for (int l = 1; l <= lanes; ++l) {
            p.xxx[l][3] = p.xxx[l][6] = 1.0f;
            p.incpen[l] = p.buspen[l] = 1.0f;
            p.lanocc[l][5] = p.len + 1000.0f;
            p.xgap[l] = p.len;
        }
    }
    // Needs a lane changes in lane l (as lane_needs finds them).
    void needs(int l, float a) { p.xxx[l][1] = a; }
    // The leader position lane l ends up with after walls and incidents.
    float leader(int l, float tpos) {
        lane_walls_incidents(s, p, l, tpos);
        return tpos;
    }
};

TEST(LaneWalls, UncontrolledEndWithTheDefaults) {
    // u = 0, 7 m jam spacing, one change needed, a 3-km link: scale 175 m.
    GapRun          r(2, 3.0f, 1, 500.0f);
    const LaneWalls w = lane_walls(r.s, r.p, 1.0f);
    ASSERT_TRUE(w.any);
    EXPECT_FLOAT_EQ(w.c1, 3000.0f - 87.5f);
    EXPECT_FLOAT_EQ(w.c2, 3000.0f - 1750.0f);
    // Two changes: the walls move upstream with the need.
    const LaneWalls w2 = lane_walls(r.s, r.p, 2.0f);
    EXPECT_FLOAT_EQ(w2.c1, 3000.0f - 262.5f);
    EXPECT_FLOAT_EQ(w2.c2, 3000.0f - 3500.0f);
}

TEST(LaneWalls, NoWallsWithoutNeedOrAfterHalfAnHourOnTheLink) {
    struct Case {
        float a;
        int   tmolink;
        bool  any;
    };
    for (const Case c : {Case{0.0f, 0, false}, Case{0.99f, 0, false}, Case{1.0f, 1799, true},
                         Case{1.0f, 1800, false}}) {
        GapRun r(2, 3.0f, 1, 500.0f);
        r.p.tmolink = c.tmolink;
        const LaneWalls w = lane_walls(r.s, r.p, c.a);
        EXPECT_EQ(w.any, c.any) << c.a << " " << c.tmolink;
        if (!c.any) {
            EXPECT_FLOAT_EQ(w.c1, kNoHardWall);
            EXPECT_FLOAT_EQ(w.c2, 3000.0f + 1000.0f);
        }
    }
}

TEST(LaneWalls, DriverFactorMergeShortHorizonAndControlledEnd) {
    GapRun r(2, 3.0f, 1, 500.0f);
    r.s.oddat.vrnd(1) = 5000; // u = 0.5: factor 2.75
    EXPECT_FLOAT_EQ(lane_walls(r.s, r.p, 1.0f).c1, 3000.0f - 0.5f * 10.0f * 7.0f * 2.75f);
    r.p.merge = 1; // a merge at an uncontrolled end: factor 0.5 + 2.5 u = 1.75
    EXPECT_FLOAT_EQ(lane_walls(r.s, r.p, 1.0f).c1, 3000.0f - 0.5f * 10.0f * 7.0f * 1.75f);
    r.p.merge = 0;
    r.s.oddat.vrnd(1) = 0;
    // A horizon at or below 3 x 10 x 7 x 1.5 = 315 m shrinks the scale.
    r.s.link4.hrdwal(1) = 157.5f;
    EXPECT_FLOAT_EQ(lane_walls(r.s, r.p, 1.0f).c1, 3000.0f - 0.5f * 175.0f * 0.5f);
    // Controlled end: laid out from the link start, y = max(3000/4, 7).
    r.s.link3.tsignal(1) = 12;
    const LaneWalls w = lane_walls(r.s, r.p, 1.0f);
    EXPECT_FLOAT_EQ(w.c1, 1.5f * 750.0f);
    EXPECT_FLOAT_EQ(w.c2, 1.5f * 750.0f - 750.0f);
}

TEST(LaneWalls, HardWallIsAStandingLeaderAndTheZoneShareGrows) {
    struct Case {
        float pos;  // m
        float zone; // xxx(l, 2)
    };
    // Walls at 1250 (soft) and 2912.5 (hard) on the 3-km link.
    for (const Case c : {Case{1000.0f, 0.0f}, Case{2081.25f, 0.5f}, Case{2912.5f, 1.0f}}) {
        GapRun r(2, 3.0f, 1, c.pos);
        r.needs(1, 1.0f);
        const float tpos = r.leader(1, 3500.0f);
        SCOPED_TRACE(c.pos);
        EXPECT_FLOAT_EQ(tpos, 2912.5f);
        EXPECT_FLOAT_EQ(r.p.spre[1], 0.0f);
        EXPECT_NEAR(r.p.xxx[1][2], c.zone, 1e-5f);
        EXPECT_FLOAT_EQ(r.p.xxx[1][4], 1250.0f);
        EXPECT_FLOAT_EQ(r.s.vehicle.carwal(r.v, 8), (1250.0f - c.pos) / 1000.0f);
        EXPECT_FLOAT_EQ(r.s.vehicle.carwal(r.v, 9), (2912.5f - c.pos) / 1000.0f);
    }
    // A leader before the wall is kept; a lane without need has no wall.
    GapRun r(2, 3.0f, 1, 1000.0f);
    r.needs(1, 1.0f);
    EXPECT_FLOAT_EQ(r.leader(1, 1100.0f), 1100.0f);
    EXPECT_FLOAT_EQ(r.leader(2, 3500.0f), 3500.0f);
    EXPECT_FLOAT_EQ(r.p.xxx[2][4], 3000.0f);
}

TEST(LaneIncidents, BlockedLaneIsAStandingLeaderAtTheBlockageStart) {
    struct Case {
        int   lane;   // of three; lane 2 is no edge lane
        float pos;    // m
        float leader; // m
        float incpen;
    };
    // Blocked from 300 m to the end of a 500-m link; edge lanes see the start
    // two spacings at capacity (60 m) earlier.
    const Case cases[] = {
        {2, 150.0f, 300.0f, 0.75f},
        {1, 150.0f, 240.0f, 0.45f},
        {3, 150.0f, 240.0f, 0.45f},
        {2, 50.0f, 300.0f, 1.0f},
    };
    for (const Case& c : cases) {
        GapRun    r(3, 0.5f, c.lane, c.pos);
        const int g = r.lane_no(1, c.lane);
        r.s.link1.capred(1, c.lane, 1) = 1.0f;
        r.s.link1.incdist(g, 1) = 300;
        r.s.link1.incdist(g, 2) = 500;
        SCOPED_TRACE(c.lane);
        EXPECT_FLOAT_EQ(r.leader(c.lane, 1500.0f), c.leader);
        EXPECT_FLOAT_EQ(r.p.incpen[c.lane], c.incpen);
        EXPECT_FLOAT_EQ(r.p.spre[c.lane], 0.0f);
    }
}

TEST(LaneIncidents, InsideTheBlockageAndPartialBlockages) {
    GapRun r(3, 0.5f, 2, 320.0f);
    for (int l : {2, 3}) {
        const int g = r.lane_no(1, l);
        r.s.link1.capred(1, l, 1) = 1.0f;
        r.s.link1.incdist(g, 1) = 300;
        r.s.link1.incdist(g, 2) = 450;
    }
    r.leader(2, 1500.0f);
    r.leader(3, 1500.0f);
    EXPECT_FLOAT_EQ(r.p.incpen[2], 0.1f); // its own lane
    EXPECT_FLOAT_EQ(r.p.incpen[3], 0.0f);
    // Partial blockages give their share as the factor, whatever the sign of
    // the code, while the vehicle is before their end; 0.1 or less is none.
    struct Case {
        float code;
        float incpen;
    };
    for (const Case c : {Case{0.5f, 0.5f}, Case{-0.3f, 0.3f}, Case{0.1f, 1.0f}}) {
        GapRun    q(3, 0.5f, 1, 100.0f);
        const int g = q.lane_no(1, 1);
        q.s.link1.capred(1, 1, 1) = c.code;
        q.s.link1.incdist(g, 1) = 200;
        q.s.link1.incdist(g, 2) = 300;
        EXPECT_FLOAT_EQ(q.leader(1, 1500.0f), 1500.0f);
        EXPECT_FLOAT_EQ(q.p.incpen[1], c.incpen) << c.code;
    }
}

TEST(LaneIncidents, BlockageOnTheNextLinkWithin500m) {
    GapRun r(2, 0.5f, 1, 300.0f);
    r.link(2, 2, 0.5f, 50, 7.0f);
    r.s.graph1.nlinot(1) = 1;
    r.p.ldest = 2;
    r.p.linkot = 1;
    const int g1 = r.lane_no(1, 1), g2 = r.lane_no(1, 2);
    r.s.lanexch.nxtlan(g1, 1, 1) = 1;
    r.s.lanexch.nxtlan(g2, 1, 1) = 2;
    r.s.link1.capred(2, 1, 1) = 1.0f;
    r.s.link1.incdist(r.lane_no(2, 1), 1) = 100;
    // A lane without a blockage value has no section, whatever its columns hold.
    r.s.link1.incdist(r.lane_no(2, 2), 1) = 0;
    // Lane 1 continues in edge lane 1: the start is seen one spacing earlier.
    EXPECT_FLOAT_EQ(r.leader(1, 2000.0f), 500.0f + 100.0f - 30.0f);
    EXPECT_FLOAT_EQ(r.p.incpen[1], 270.0f / 500.0f);
    EXPECT_FLOAT_EQ(r.leader(2, 2000.0f), 2000.0f);
    EXPECT_FLOAT_EQ(r.p.incpen[2], 1.0f);
}

TEST(LaneIncidents, VehiclesOfOneLinkSeeTheBlockageOfTheirOwnNextLink) {
    // Link 2 has a blockage 100 m in, link 3 none: in one pass over link 1,
    // vehicles heading for 3, 2 and 3 again each see their own next link.
    GapRun r(2, 0.5f, 1, 300.0f);
    r.s.graph1.nlinot(1) = 2;
    r.p.linkot = 1;
    for (const int next : {2, 3}) {
        r.link(next, 2, 0.5f, 50, 7.0f);
        for (const int k : {1, 2}) {
            const int g = r.lane_no(next, k);
            r.s.link1.incdist(g, 1) = r.s.link1.incdist(g, 2) = 1500;
            r.s.lanexch.nxtlan(r.lane_no(1, k), 1, 1) = k;
        }
    }
    r.s.link1.capred(2, 1, 1) = 1.0f;
    r.s.link1.incdist(r.lane_no(2, 1), 1) = 100;
    struct Case {
        int   next;
        float leader, factor;
    };
    for (const Case c : {Case{3, 2000.0f, 1.0f}, Case{2, 500.0f + 100.0f - 30.0f, 270.0f / 500.0f},
                         Case{3, 2000.0f, 1.0f}}) {
        r.p.ldest = c.next;
        EXPECT_FLOAT_EQ(r.leader(1, 2000.0f), c.leader) << c.next;
        EXPECT_FLOAT_EQ(r.p.incpen[1], c.factor) << c.next;
    }
}

TEST(BusStopGaps, BusHoldsOnceAtItsStopAndDwells) {
    // Stop 4 at 200 m in lane 1, 15 m long, dwell 20 s without spread, for class 2;
    // a second stop at 400 m on the same link.
    GapRun r(1, 0.5f, 1, 100.0f);
    auto&  b = r.s.busstop;
    for (int j : {4, 5}) {
        b.busstp(j, 1) = 1;
        b.busstp(j, 2) = j == 4 ? 200 : 400;
        b.busstp(j, 3) = 1;
        b.busstp(j, 4) = 20;
        b.busstp(j, 7) = 15;
        b.bustyp(j, 2) = 1;
        b.buslin(1, ++b.tbstpln(1)) = j;
    }
    auto gap_at = [&](float pos, int t10) {
        r.s.control.t10 = t10;
        r.p.dnew = pos;
        r.p.remdis = r.p.len - pos;
        r.p.xgap[1] = 1000.0f;
        r.p.buspen[1] = 1.0f;
        lane_gap_conditioning(r.s, r.p, 1);
        return r.p.xgap[1];
    };
    // Approaching: the gap ends at the hold point 7 + 200 - 1 = 206 m, and the
    // factor falls from the soft start max(7, 200 - 5 x 175) = 7 m.
    EXPECT_FLOAT_EQ(gap_at(100.0f, 100), 106.0f);
    // The nearer stop's factor holds, not the one of the stop further on.
    EXPECT_FLOAT_EQ(r.p.buspen[1], 1.0f - 93.0f / 199.0f);
    EXPECT_EQ(b.buswait(r.v), kNotWaiting);
    // At the stop: it arrives at t = 30 s and holds for the 20-s dwell.
    EXPECT_FLOAT_EQ(gap_at(195.0f, 300), 11.0f);
    EXPECT_EQ(b.buswait(r.v), 30);
    EXPECT_FLOAT_EQ(gap_at(195.0f, 499), 11.0f);
    // After the dwell only the approach to the next stop (hold point 406 m) is left.
    EXPECT_FLOAT_EQ(gap_at(195.0f, 500), 406.0f - 195.0f);
    // At the next stop of the link it does not hold: one dwell per link.
    EXPECT_FLOAT_EQ(gap_at(390.0f, 600), 1000.0f);
    EXPECT_EQ(b.buswait(r.v), 30);
    // Another class does not stop at all.
    r.p.vt = 1;
    b.buswait(r.v) = kNotWaiting;
    EXPECT_FLOAT_EQ(gap_at(195.0f, 700), 1000.0f);
}

TEST(BusStopGaps, OtherLanesCloseToABusAlreadyInTheStopLane) {
    GapRun r(2, 0.5f, 1, 50.0f);
    auto&  b = r.s.busstop;
    b.busstp(1, 1) = 1;
    b.busstp(1, 2) = 300;
    b.busstp(1, 3) = 1;
    b.busstp(1, 7) = 15;
    b.bustyp(1, 2) = 1;
    b.buslin(1, 1) = 1;
    b.tbstpln(1) = 1;
    lane_gap_conditioning(r.s, r.p, 1);
    lane_gap_conditioning(r.s, r.p, 2);
    EXPECT_FLOAT_EQ(r.p.xgap[1], 7.0f + 300.0f - 1.0f - 50.0f);
    EXPECT_FLOAT_EQ(r.p.xgap[2], 0.0f);
}

// Link 1 (2 lanes, uncontrolled end) leads to link 2 (2 lanes, 0.3 km),
// which leads on to link 3; from link 2's lane 1 a change to the left is
// needed to take link 3.
struct WeaveRun : GapRun {
    WeaveRun(float pos) : GapRun(2, 0.4f, 1, pos) {
        link(2, 2, 0.3f, 50, 7.0f);
        link(3, 1, 0.5f, 50, 7.0f);
        s.graph1.nlinot(1) = 1;
        s.graph1.linot(1, 1) = 2;
        s.lanexch.alanot(1, 1) = 1;
        s.graph1.nlinot(2) = 2;
        p.ldest = 2;
        p.linkot = 1;
        s.vehicle.nxtlnk(v, 5) = 1;
        for (int k = 1; k <= 2; ++k) s.lanexch.nxtlan(lane_no(1, k), 1, 1) = k;
        s.lanexch.lanshf(lane_no(2, 1), 1) = 1;
        p.spd = 0.0f;
    }
};

TEST(LaneWeaving, ShortWeavingSectionAheadLowersTheLaneThatMustChange) {
    // b = 3.1 x 10 x 7 = 217 m, scaled to the 300-m next link: 150 m; zone
    // 1500 m. The 700 m to the next link's end count as P = 500 + 0.1 x 200 /
    // 1.2 for a driver with u = 0, which shortens the zone to P and b to
    // 150 sqrt(P / 1500). F = the 100 m left plus 300 m.
    const float   P = 500.0f + 0.1f * 200.0f / 1.2f;
    const float   b = 150.0f * std::sqrt(P / 1500.0f);
    const float   share = (400.0f - b) / (P - b);
    WeaveRun      r(300.0f);
    const Weaving w = downstream_weaving(r.s, r.p, 1);
    ASSERT_TRUE(w.applies);
    ASSERT_TRUE(w.walled);
    EXPECT_FLOAT_EQ(w.F, 400.0f);
    EXPECT_NEAR(w.wh, b, 1e-3f);
    EXPECT_NEAR(w.ws, P, 1e-3f);
    EXPECT_NEAR(w.share, share, 1e-5f);
    lane_gap_conditioning(r.s, r.p, 1);
    EXPECT_NEAR(r.p.xxx[1][3], share, 1e-5f);
    // The current lane's gap is F - W_h, shrunk by the root of the factor.
    EXPECT_NEAR(r.p.xgap[1], (400.0f - b) * std::sqrt(share), 1e-2f);
    EXPECT_NEAR(r.s.vehicle.carwal(r.v, 11), (400.0f - b) / 1000.0f, 1e-5f);
    // Lane 2 continues in a lane that needs nothing.
    lane_gap_conditioning(r.s, r.p, 2);
    EXPECT_FLOAT_EQ(r.p.xxx[2][3], 1.0f);
    // Further from the end the weaving zone is not reached yet.
    WeaveRun far(30.0f);
    EXPECT_FALSE(downstream_weaving(far.s, far.p, 1).walled);
}

TEST(LaneWeaving, NotSeenNearTheLinkStartOrAfterHalfAnHour) {
    WeaveRun near_start(5.0f);
    EXPECT_FALSE(downstream_weaving(near_start.s, near_start.p, 1).applies);
    WeaveRun late(300.0f);
    late.p.tmolink = 1800;
    EXPECT_FALSE(downstream_weaving(late.s, late.p, 1).applies);
    WeaveRun needs_change(300.0f);
    needs_change.needs(1, 1.0f); // the lane itself needs a change on this link
    EXPECT_FALSE(downstream_weaving(needs_change.s, needs_change.p, 1).applies);
}

} // namespace
} // namespace velm::testing_movement
