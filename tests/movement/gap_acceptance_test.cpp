// Gap acceptance against opposing approaches: the conflict geometry of two
// movements, the required gap and how it shrinks with waiting, control ranks,
// the first-come rule between equal approaches, and which opposing heads count.
#include "movement_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace velm {
namespace {

using testing_movement::MoveRun;

// Headings, degrees counterclockwise from east.
constexpr float kEast = 0.0f;
constexpr float kNorth = 90.0f;
constexpr float kWest = 180.0f;
constexpr float kSouth = 270.0f;

struct AngCase {
    const char* name;
    float       veh_in, veh_ot, ops_in, ops_ot;
    int         con, pri;
};

TEST(OpsAng, ClassifiesMergesCrossingsAndPriority) {
    // The vehicle travels east; the opposing approaches arrive from the
    // south (heading north), the north (heading south) or the east (heading west).
    const AngCase cases[] = {
        {"straight vs straight from the right", kEast, kEast, kNorth, kNorth, 2, 0},
        {"straight vs straight from the left", kEast, kEast, kSouth, kSouth, 3, 1},
        {"straight vs oncoming straight", kEast, kEast, kWest, kWest, -11, 1},
        {"straight vs oncoming left turner", kEast, kEast, kWest, kSouth, 3, 1},
        {"left turn vs oncoming straight", kEast, kNorth, kWest, kWest, 2, 0},
        {"right turn vs oncoming left into the same exit", kEast, kSouth, kWest, kSouth, 1, 1},
        {"right turn vs straight from the left into the same exit", kEast, kSouth, kSouth, kSouth,
         1, 1},
        {"straight vs right turner from the left", kEast, kEast, kSouth, kWest, -11, 1},
    };
    MoveRun r;
    for (const auto& c : cases) {
        int con = 99, pri = 99;
        ops_ang(r.s, 0.0f, c.veh_in, c.veh_ot, c.ops_in, c.ops_ot, con, pri);
        EXPECT_EQ(con, c.con) << c.name;
        EXPECT_EQ(pri, c.pri) << c.name;
    }
}

// A junction: the own approach 1 runs east into exit 2 (east), 6 (north) or
// 4 (south); opposing approach 3 runs north into exit 8 (north), approach 5
// runs south into 4 (south) and approach 7 runs west into 9 (west). Every link
// end is unsignalised unless a test says otherwise; approach 1 has a critical
// gap of 4 s that shrinks to nothing over 120 s of waiting.
struct Junction : MoveRun {
    static constexpr float kLenKm = 0.5f;
    static constexpr float kLenM = 500.0f;

    Junction() {
        const float heading[] = {0,      kEast,  kEast, kNorth, kSouth,
                                 kSouth, kNorth, kWest, kNorth, kWest};
        for (int l = 1; l <= 9; ++l) {
            link(l, 1, kLenKm);
            s.graph1.ang(l) = heading[l];
            show(l, 6, 111, 11111);
        }
        s.link1.opsgap(1, 1) = 400;
        s.link1.opsgap(1, 2) = 12000;
        s.link1.opslin(1, 1) = 3;
    }

    void show(int l, int ind, int moves, int lanes) {
        s.link3.signal(l, 1) = ind;
        s.link3.signal(l, 2) = moves;
        s.link3.signal(l, 3) = lanes;
    }

    // Trip car at the head of lane `lane` of link l at pos m, speed kmh,
    // reaching the link end at `arrival` s, bound for link next (target lane 1).
    int head(int car, int l, int lane, float pos, float kmh, float arrival, int next) {
        const int vid = place(car, l, lane, pos);
        s.link2.fvehlan(lane_no(l, lane)) = car;
        s.vehplot.spd(vid, 1) = s.vehplot.spd(vid, 4) = kmh;
        s.vehicle.dept(car) = arrival;
        s.vehicle.nxtlnk(vid, 1) = next;
        s.oddat.vlan(vid, 2) = 1;
        s.oddat.vtyp(car) = 1;
        s.vehicle.pcu(car) = 1.0f;
        s.vehicle.wait(vid, 1) = kNotWaiting;
        return vid;
    }

    // The own vehicle, trip 1, standing at the stop line of approach 1.
    int own(int next = 2, int since = kNotWaiting) {
        const int vid = head(1, 1, 1, kLenM - 1.0f, 0.0f, 0.0f, next);
        s.vehicle.wait(vid, 1) = since;
        return vid;
    }

    int decide(int car, float tr) {
        int merge = 0;
        return decide(car, tr, merge);
    }
    int decide(int car, float tr, int& merge) {
        int flag = -1;
        opslfac(s, car, curlnk_of(car), flag, tr, static_cast<float>(s.vehicle.wait(vid(car), 1)),
                merge);
        return flag;
    }
    int curlnk_of(int car) const { return s.oddat.curlnk(vid(car)); }
};

struct GapCase {
    const char* name;
    float       pcu;
    int         opposing_lanes;
    float       waited; // s; negative: not waiting
    float       lead;   // s until the opposing head reaches its stop line
    int         flag;
};

TEST(Opslfac, RequiredGapShrinksWithWaitingDownToATenthOfASecond) {
    // Critical gap 4 s, shrinking over 120 s: a car going straight needs 2 s
    // against one opposing lane, 1 s after 60 s of waiting and 0.1 s from
    // 120 s on; a second opposing lane adds 0.5 s, a weight of 2 doubles the base.
    const GapCase cases[] = {
        {"fresh, just short", 1, 1, -1, 1.95f, 1},   {"fresh, just enough", 1, 1, -1, 2.05f, 0},
        {"60 s, just short", 1, 1, 60, 0.95f, 1},    {"60 s, just enough", 1, 1, 60, 1.05f, 0},
        {"120 s, just short", 1, 1, 120, 0.05f, 1},  {"120 s, enough", 1, 1, 120, 0.15f, 0},
        {"150 s, floor holds", 1, 1, 150, 0.05f, 1}, {"two lanes, short", 1, 2, -1, 2.45f, 1},
        {"two lanes, enough", 1, 2, -1, 2.55f, 0},   {"pcu 2, short", 2, 1, -1, 3.95f, 1},
        {"pcu 2, enough", 2, 1, -1, 4.05f, 0},
    };
    for (const auto& c : cases) {
        Junction    j;
        const float tr = 500.0f;
        j.s.link1.nulans(3) = c.opposing_lanes;
        j.s.opsgap.stopsign(1) = kStopSign;
        const int since = c.waited < 0 ? kNotWaiting : static_cast<int>(tr - c.waited);
        j.own(2, since);
        j.s.vehicle.pcu(1) = c.pcu;
        j.head(30, 3, 1, 300.0f, 50.0f, tr + c.lead, 8);
        EXPECT_EQ(j.decide(1, tr), c.flag) << c.name;
    }
}

struct RankCase {
    const char* name;
    int         own_control; // stopsign of approach 1
    int         opp_control; // stopsign of approach 3
    int         opp_ind;     // indication of approach 3
    int         opp_moves;   // its movement code
    int         opp_lanes;   // its lane (class) code
    int         flag;
};

TEST(Opslfac, ControlRanksDecideWhoGivesWay) {
    // The opposing head crosses the own path 1 s before the own vehicle could
    // clear it.
    const RankCase cases[] = {
        {"stop sign vs uncontrolled", kStopSign, kNoControl, 6, 111, 11111, 1},
        {"yield vs uncontrolled", kYieldSign, kNoControl, 6, 111, 11111, 1},
        {"signal vs uncontrolled", kSignalised, kNoControl, 6, 111, 11111, 1},
        {"uncontrolled vs stop sign: the other gives way", kNoControl, kStopSign, 6, 111, 11111, 0},
        {"opposing straight movement not allowed", kStopSign, kSignalised, 1, 101, 11111, 0},
        {"opposing class not allowed", kStopSign, kSignalised, 1, 111, 1111, 0},
        {"opposing approach on red is not looked at", kStopSign, kSignalised, 0, 0, 0, 0},
        {"opposing approach on last amber is not looked at", kStopSign, kSignalised, 5, 111, 11111,
         0},
        {"opposing green", kStopSign, kSignalised, 1, 111, 11111, 1},
    };
    for (const auto& c : cases) {
        Junction j;
        j.s.opsgap.stopsign(1) = c.own_control;
        j.s.opsgap.stopsign(3) = c.opp_control;
        j.show(3, c.opp_ind, c.opp_moves, c.opp_lanes);
        j.own();
        j.head(30, 3, 1, 480.0f, 50.0f, 101.0f, 8);
        EXPECT_EQ(j.decide(1, 100.0f), c.flag) << c.name;
    }
}

TEST(Opslfac, EqualApproachesTheLongerWaiterGoesAndTiesGoToTheLowerTrip) {
    struct Case {
        const char* name;
        int         wait_a, wait_b; // s since trips 7 (approach 1) and 5 (approach 3) wait
        int         flag_a, flag_b;
    };
    const Case cases[] = {
        {"trip 7 waited longer", 90, 95, 0, 1},
        {"trip 5 waited longer", 95, 90, 1, 0},
        {"same second: the lower trip number goes", 93, 93, 1, 0},
    };
    for (const auto& c : cases) {
        Junction j;
        j.s.opsgap.stopsign(1) = kStopSign;
        j.s.opsgap.stopsign(3) = kStopSign;
        j.s.link1.opslin(3, 1) = 1;
        j.s.link1.opsgap(3, 1) = 400;
        j.s.link1.opsgap(3, 2) = 12000;
        const int a = j.head(7, 1, 1, Junction::kLenM - 1.0f, 0.0f, 99.0f, 2);
        const int b = j.head(5, 3, 1, Junction::kLenM - 2.0f, 0.0f, 99.0f, 8);
        j.s.vehicle.wait(a, 1) = c.wait_a;
        j.s.vehicle.wait(b, 1) = c.wait_b;
        EXPECT_EQ(j.decide(7, 100.0f), c.flag_a) << c.name;
        EXPECT_EQ(j.decide(5, 100.0f), c.flag_b) << c.name;
    }
}

TEST(Opslfac, OnlyOpposingHeadsAtOrNearTheirStopLineOrStillMovingCount) {
    struct Case {
        const char* name;
        float       pos, kmh;
        int         flag;
    };
    const Case cases[] = {
        {"standing 10.5 m back: ignored", Junction::kLenM - 10.5f, 0.0f, 0},
        {"standing 9.5 m back: counts", Junction::kLenM - 9.5f, 0.0f, 1},
        {"creeping 50 m back at 5 km/h: counts", Junction::kLenM - 50.0f, 5.0f, 1},
    };
    for (const auto& c : cases) {
        Junction j;
        j.s.opsgap.stopsign(1) = kStopSign;
        j.own();
        j.head(30, 3, 1, c.pos, c.kmh, 100.5f, 8);
        EXPECT_EQ(j.decide(1, 100.0f), c.flag) << c.name;
    }
}

TEST(Opslfac, ProtectedLeftNeverYields) {
    Junction j;
    j.s.opsgap.stopsign(1) = kSignalised;
    j.show(1, 1, 100, 11111);
    j.own(6);
    j.head(30, 3, 1, 480.0f, 50.0f, 100.2f, 8);
    j.s.vehicle.wait(j.vid(1), 4) = 1001; // even a hold from an earlier refusal
    EXPECT_EQ(j.decide(1, 100.0f), 0);
}

TEST(Opslfac, ARefusalHoldsUntilTheNextTick) {
    Junction j;
    j.s.opsgap.stopsign(1) = kStopSign;
    const int vid = j.own();
    j.head(30, 3, 1, 480.0f, 50.0f, 101.0f, 8);
    EXPECT_EQ(j.decide(1, 100.0f), 1);
    EXPECT_EQ(j.s.vehicle.wait(vid, 4), 1001);
    j.s.link2.ntqu(3) = 0; // the opposing head is gone
    EXPECT_EQ(j.decide(1, 100.0f), 1) << "held for the rest of the tick";
    EXPECT_EQ(j.decide(1, 100.1f), 0);
}

TEST(Opslfac, MergeConflictSetsTheMergeFlagAndBothTargetTheSameLane) {
    // Own right turn east -> south, the head of approach 5 goes straight south
    // into the same exit and the same target lane.
    Junction j;
    j.s.opsgap.stopsign(1) = kYieldSign;
    j.s.link1.opslin(1, 1) = 5;
    j.own(4);
    j.head(50, 5, 1, 480.0f, 50.0f, 100.5f, 4);
    int merge = 0;
    EXPECT_EQ(j.decide(1, 100.0f, merge), 1);
    EXPECT_EQ(merge, 1);

    // Into different target lanes of the same exit they do not conflict.
    Junction k;
    k.s.opsgap.stopsign(1) = kYieldSign;
    k.s.link1.opslin(1, 1) = 5;
    k.own(4);
    const int q = k.head(50, 5, 1, 480.0f, 50.0f, 100.5f, 4);
    k.s.oddat.vlan(q, 2) = 2;
    merge = 0;
    EXPECT_EQ(k.decide(1, 100.0f, merge), 0);
    EXPECT_EQ(merge, 0);
}

TEST(Opslfac, ARefusalByOneOpposingHeadIsNotUndoneByAnother) {
    // Approach 3 (uncontrolled) arrives too soon; approach 5 is a stop sign
    // whose head has waited less than the own vehicle. Against 5 alone the
    // own vehicle would go; against both it must still yield to 3.
    Junction j;
    j.s.opsgap.stopsign(1) = kStopSign;
    j.s.opsgap.stopsign(5) = kStopSign;
    j.s.link1.opslin(1, 1) = 3;
    j.s.link1.opslin(1, 2) = 5;
    j.own(2, 80);
    j.head(30, 3, 1, 480.0f, 50.0f, 100.5f, 8);
    const int q = j.head(50, 5, 1, Junction::kLenM - 1.0f, 0.0f, 99.0f, 4);
    j.s.vehicle.wait(q, 1) = 95;
    EXPECT_EQ(j.decide(1, 100.0f), 1);

    j.s.link1.opslin(1, 1) = 0;
    j.s.vehicle.wait(j.vid(1), 4) = 0;
    EXPECT_EQ(j.decide(1, 100.0f), 0) << "against the stop-sign head alone it goes first";
}

TEST(Opslfac, AnUnsureDriverCountsACurbLaneRightTurnerAsGoingStraight) {
    // The curb-lane head of approach 5 (heading south) turns right into 9
    // (west), which does not cross the own straight path; the link after 9 in
    // angle order is 4 (straight on, south), which does. Only an opposing
    // driver whose draw is above one half is taken to go straight.
    for (const int draw : {4000, 6000}) {
        Junction j;
        j.s.opsgap.stopsign(1) = kStopSign;
        j.s.link1.opslin(1, 1) = 5;
        j.s.graph1.nlinot(5) = 2;
        j.s.graph1.linot(5, 1) = 4;
        j.s.graph1.linot(5, 2) = 9;
        j.s.lanexch.alanot(5, 1) = 2; // the right turn into 9 ranks first
        j.s.lanexch.alanot(5, 2) = 1; // then straight on into 4
        j.own();
        const int q = j.head(50, 5, 1, 480.0f, 50.0f, 100.5f, 9);
        j.s.vehicle.nxtlnk(q, 2) = 2; // 9 is the second downstream link of 5
        j.s.oddat.vrnd(50) = draw;
        EXPECT_EQ(j.decide(1, 100.0f), draw > 5000 ? 1 : 0) << "draw " << draw;
    }
}

} // namespace
} // namespace velm
