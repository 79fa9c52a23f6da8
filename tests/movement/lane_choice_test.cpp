// Lane choice and lane changing through the lane-decision pass: one lane per
// change, the stay margin, inertia, the timers after a change, restricted
// lanes, incidents and lane-bias rules.
#include "core/movement/lane_choice.h"
#include "movement/corridor_fixture.h"

#include <gtest/gtest.h>

namespace velm::testing_movement {
namespace {

constexpr int kAllLanesTick = 100; // every lane is evaluated on this tick

// Link 1: `lanes` lanes, 1 km, free speed 100, capacity speed 60 km/h. The
// subject is trip 10 in lane `lane` at 500 m and 60 km/h; leaders are placed
// first and never change lanes themselves.
struct Choice : Corridor {
    int subject = 0;
    explicit Choice(int lanes = 3) {
        road(1, lanes, 1.0f, 100.0f, 60.0f, 140.0f, 2000.0f);
        calibrate();
    }
    void leader(int car, int lane, float pos, float speed) {
        const int vid = add(car, 1, lane, pos, speed);
        s.vehicle.dept(car) = 100.0f;
        s.vehindx.lnchtm(vid, 2) = 1000000; // held in their lanes
        s.vehindx.lnchtm(vid, 4) = 100000;
    }
    void me(int lane, float pos = 500.0f, float speed = 60.0f) {
        subject = add(10, 1, lane, pos, speed);
        s.vehicle.dept(10) = 100.0f;
        // No wall and no weaving from the tick before.
        s.vehicle.carwal(subject, 1) = s.vehicle.carwal(subject, 2) = 1.0f;
    }
    void tick(int t) {
        t10 = t;
        s.control.t10 = t;
        s.control.t = t / 10;
        lanpos(s, -1, t);
        vehpos5(s, t);
    }
    int lane() const { return s.oddat.vlan(subject, 1); }
};

TEST(LaneChoice, InertiaIsCappedAndWeightedByPcu) {
    Choice r;
    struct Case {
        float spd, pcu, bonus;
    };
    for (const Case c : {Case{0, 1, 5}, Case{20, 1, 9}, Case{25, 1, 10}, Case{80, 1, 10},
                         Case{80, 4, 20}, Case{0, -4, 10}})
        EXPECT_FLOAT_EQ(lane_inertia(r.s, c.spd, c.pcu), c.bonus) << c.spd << " " << c.pcu;
}

TEST(LaneChoice, OneLaneLinkOrOneCandidateNeverChanges) {
    Choice one(1);
    one.leader(1, 1, 510.0f, 0.0f);
    one.me(1);
    one.tick(kAllLanesTick);
    EXPECT_EQ(one.lane(), 1);
    // Far from the end between the 5-tick steps only the own lane is looked at.
    Choice r;
    r.leader(1, 1, 510.0f, 0.0f);
    r.me(1);
    r.tick(kAllLanesTick + 3);
    EXPECT_EQ(r.lane(), 1);
    r.tick(kAllLanesTick + 5);
    EXPECT_EQ(r.lane(), 2);
}

TEST(LaneChoice, BestLaneTwoAwayIsApproachedOneLaneAtATime) {
    struct Case {
        float lead1, lead2; // leaders' positions in lanes 1 and 2 (lane 3 is free)
        int   lane;         // lane after the tick
    };
    const Case cases[] = {
        // Lane 3 best, lane 2 not much worse than the blocked lane 1: move to 2.
        {510.0f, 520.0f, 2},
        // Lane 3 best, but lane 2 is far worse than lane 1: stay.
        {525.0f, 505.0f, 1},
    };
    for (const Case& c : cases) {
        Choice r;
        r.leader(1, 2, c.lead2, 0.0f);
        r.leader(2, 1, c.lead1, 0.0f);
        r.me(1);
        r.tick(kAllLanesTick);
        SCOPED_TRACE(c.lead1);
        EXPECT_EQ(r.lane(), c.lane);
        if (c.lane != 1) {
            // The change takes the duration (2 s) and halves the spacing factor.
            EXPECT_EQ(r.s.vehindx.lnchtm(r.subject, 1), kAllLanesTick + 20);
            EXPECT_EQ(r.s.vehindx.lnchtm(r.subject, 2), kAllLanesTick);
            EXPECT_EQ(r.s.vehindx.lnchtm(r.subject, 3), 1);
            EXPECT_FLOAT_EQ(r.s.vehindx.lanechan(r.subject), 0.5f);
        } else {
            EXPECT_EQ(r.s.vehindx.lnchtm(r.subject, 1), -10);
            EXPECT_FLOAT_EQ(r.s.vehindx.lanechan(r.subject), 1.0f);
        }
    }
}

TEST(LaneChoice, AfterAnUnneededChangeTheNextWaitsFourDurations) {
    Choice r;
    r.leader(1, 2, 520.0f, 0.0f);
    r.leader(2, 1, 510.0f, 0.0f);
    r.me(1);
    r.tick(kAllLanesTick);
    ASSERT_EQ(r.lane(), 2);
    // Lane 3 stays better than lane 2; it is taken 4 x 20 ticks after the first change.
    int changed_at = 0;
    for (int t = kAllLanesTick + 5; t <= kAllLanesTick + 120 && changed_at == 0; t += 5) {
        r.tick(t);
        if (r.lane() == 3) {
            changed_at = t;
        } else {
            // The spacing factor recovers by 0.005 per evaluation after the change.
            EXPECT_NEAR(r.s.vehindx.lanechan(r.subject),
                        0.5f + 0.005f * static_cast<float>((t - kAllLanesTick) / 5), 1e-5f)
                << t;
        }
    }
    EXPECT_EQ(changed_at, kAllLanesTick + 80);
    EXPECT_FLOAT_EQ(r.s.vehindx.lanechan(r.subject), 0.5f);
}

TEST(LaneChoice, BlockedLaneAheadIsLeftAndNeverChosen) {
    // Lane 1 blocked from 700 m: the subject at 500 m in lane 1 moves left;
    // one in lane 2 does not move into it.
    for (const int start : {1, 2}) {
        Choice    r(2);
        const int g = r.lane_no(1, 1);
        r.s.link1.capred(1, 1, 1) = 1.0f;
        r.s.link1.incdist(g, 1) = 700;
        r.s.link1.incdist(g, 2) = 1000;
        r.s.link1.incdist(r.lane_no(1, 2), 1) = r.s.link1.incdist(r.lane_no(1, 2), 2) = 2000;
        r.me(start);
        r.tick(kAllLanesTick);
        EXPECT_EQ(r.lane(), 2) << start;
    }
}

TEST(LaneChoice, LaneBiasRuleWithWeightTenRemovesTheLane) {
    // A rule on link 1 for class 1 against lane 2, triggered by link 2 on the
    // path within 1 km: the subject in lane 1 behind a standing car stays.
    for (const float weight : {10.0f, 1.0f}) {
        Choice r(2);
        r.road(2, 1, 0.5f, 100.0f, 60.0f, 140.0f, 2000.0f);
        r.calibrate();
        r.leader(1, 1, 510.0f, 0.0f);
        r.me(1);
        auto& lb = r.s.lanebias;
        lb.nlanebias = 1;
        lb.lanebias(1, 1) = 1;
        lb.lanebias(1, 2) = 2;
        lb.lanebias(1, 3) = 1000;
        lb.bias_lan(1, 2) = 1;
        lb.bias_vt(1, 1) = 1;
        lb.biaswgt(1) = weight;
        // The stored path: link 1 now, link 2 next.
        auto& st = r.s.vehtre;
        st.tre_ind(10, 1) = 1;
        st.tre_ind(10, 2) = 2;
        st.tre_ind(10, 4) = 1;
        st.vehtre(1, 1) = 1;
        st.vehtre(2, 1) = 2;
        r.tick(kAllLanesTick);
        EXPECT_EQ(r.lane(), weight >= 10.0f ? 1 : 2) << weight;
    }
}

} // namespace
} // namespace velm::testing_movement
