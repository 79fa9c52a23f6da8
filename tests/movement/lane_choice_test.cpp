// Lane choice and lane changing through the lane-decision pass: one lane per
// change, the stay margin, inertia, the timers after a change, restricted
// lanes, incidents and lane-bias rules.
#include "core/movement/lane_choice.h"
#include "movement/corridor_fixture.h"

#include <gtest/gtest.h>

#include <functional>

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
    void tick(int t) { decide(t); }
    int  lane() const { return s.oddat.vlan(subject, 1); }
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

TEST(LaneChoice, BlockageThatStartsDuringTheRunIsSeenAtTheNextTick) {
    // The same blockage, set only after the subject has driven a tick on the
    // link without one: the pass must not keep the earlier tick's picture.
    Choice    r(2);
    const int g = r.lane_no(1, 1);
    for (const int k : {1, 2})
        r.s.link1.incdist(r.lane_no(1, k), 1) = r.s.link1.incdist(r.lane_no(1, k), 2) = 2000;
    r.me(1);
    r.tick(kAllLanesTick - 50);
    ASSERT_EQ(r.lane(), 1); // nothing to leave lane 1 for yet
    r.s.link1.capred(1, 1, 1) = 1.0f;
    r.s.link1.incdist(g, 1) = 700;
    r.s.link1.incdist(g, 2) = 1000;
    r.tick(kAllLanesTick);
    EXPECT_EQ(r.lane(), 2);
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

// --- the change rules, one condition at a time ---------------------------------

constexpr int   kRuleTick = 1000;     // t = 100 s
constexpr float kBeforeFactor = 0.7f; // spacing factor before the tick

// What the lane-decision pass hands the lane choice for the subject (trip 10,
// lane 2 of 3 at 500 m and 60 km/h, moving): standing leaders 12 m ahead in
// lanes 1 and 2, lane 3 open for 200 m with a forced mover registered 30 m
// ahead at 20 km/h, no walls, no weaving, no incident, nobody behind in
// lane 3, the link ending at two downstream links.
LanePass rule_pass(Choice& r, bool lane3_open) {
    Sim&        s = r.s;
    const auto& sv = s.link1.spdvol;
    LanePass    p;
    p.nl = 1;
    p.len = r.len_m(1);
    p.jdhead = s.link5.minhd(1, 1);
    p.dencap = sv(1, 11);
    p.spdcap = sv(1, 4);
    p.frespd = sv(1, 7);
    p.numlans = 3;
    p.c1 = sv(1, 1);
    p.c2 = sv(1, 2);
    p.c3 = sv(1, 3);
    p.jdkm = p.jdhead / 1000.0f;
    p.weavedur = 10.0f * s.wvedat.wvedat(6);
    p.car = 10;
    p.vid = r.subject;
    p.vt = 1;
    p.vp = 1;
    p.lane1 = 2;
    p.ldest = -1;
    p.dnew = 500.0f;
    p.remdis = p.len - p.dnew;
    p.spd = 60.0f;
    p.tmolink = 2000;
    p.ll1 = p.ll1b = 1;
    p.ll2 = p.ll2b = 3;
    p.fl_blk = 1;
    for (int l = 1; l <= 3; ++l) {
        const bool open = l == 3 && lane3_open;
        p.xgap[l] = p.agap[l] = open ? 200.0f : 12.0f;
        p.spre[l] = p.prespd[l] = open ? p.frespd : 0.0f;
        p.prepos[l] = p.len + 100.0f; // nobody placed ahead yet
        p.lanocc[l][1] = p.len + 100.0f;
        p.lanocc[l][2] = p.frespd;
        p.xxx[l][1] = 0.0f; // lane changes still needed
        p.xxx[l][2] = 0.0f; // past the soft wall
        p.xxx[l][3] = 1.0f; // weaving factor
        p.xxx[l][4] = p.len;
        p.xxx[l][6] = 1.0f; // entry
        p.incpen[l] = 1.0f;
        p.buspen[l] = 1.0f;
    }
    p.lanocc[3][1] = p.dnew + 30.0f;
    p.lanocc[3][2] = 20.0f;
    return p;
}

// Rules C6 to C11 and the lead gap (stay), A4 (courtesy opening), C13 (shortened change) and
// the spacing factor D, on one three-lane link. Each row flips one condition
// of its base case: "change" (lane 3 is better and nothing forbids the move)
// or "stay" (no lane is better than the current one).
TEST(LaneChangeRules, EachRuleDecidesOnItsOwnCondition) {
    struct Row {
        const char*                             rule;
        bool                                    lane3_open; // the base case
        std::function<void(Choice&, LanePass&)> flip;
        int                                     lane;       // lane chosen
        float                                   lanechan;   // spacing factor after the tick
        int                                     change_end; // lnchtm(vid, 1)
        float                                   gap3;       // gap of lane 3 as scored
    };
    const auto follower = [](Choice& r, float behind) {
        r.add(20, 1, 3, 500.0f - behind, 0.0f); // standing in lane 3
        r.s.vehicle.dstbeh(r.subject, 2) = 20;
    };
    // The last vehicle placed in lane 3, `beyond` m past the least lead gap.
    const auto new_leader = [](LanePass& p, float pcu, float beyond) {
        p.pcucar[3] = pcu;
        p.prepos[3] = p.dnew + 0.875f * p.jdhead * pcu + beyond;
    };
    const int done = kRuleTick + 20; // end of a full-length change (2 s)
    const Row rows[] = {
        {"change base", true, [](Choice&, LanePass&) {}, 3, 0.5f, done, 200.0f},
        {"stay base: +0.005 per tick", false, [](Choice&, LanePass&) {}, 2, 0.705f, -10, 12.0f},
        {"C6 lag gap: follower 5 m behind", true, [&](Choice& r, LanePass&) { follower(r, 5.0f); },
         2, 0.705f, -10, 200.0f},
        {"C6 floor: forced, slow for 5 s, follower 5 m behind entered later", true,
         [&](Choice& r, LanePass&) {
             follower(r, 5.0f);
             r.s.vehicle.arrt(20) = r.s.vehicle.arrt(10) + 1.0f;
             r.s.vehicle.carwal(r.subject, 1) = 0.9f; // wall ahead
             r.s.vehicle.wait(r.subject, 2) = kRuleTick / 10 - 5;
         },
         2, 0.9f, -10, 200.0f},
        // A heavy vehicle (pcu 2) placed ahead in lane 3 this tick: the
        // changer lands no closer than 0.875 jam spacing x 2 behind it.
        {"lead gap just under the floor", true,
         [&](Choice&, LanePass& p) { new_leader(p, 2.0f, -0.05f); }, 2, 0.705f, -10, 200.0f},
        {"lead gap just over the floor", true,
         [&](Choice&, LanePass& p) { new_leader(p, 2.0f, 0.05f); }, 3, 0.5f, done, 200.0f},
        {"C7 lane 3 needs a change", true, [](Choice&, LanePass& p) { p.xxx[3][1] = 1.0f; }, 2,
         0.705f, -10, 200.0f},
        {"C8 lane 3's entry below lane 2's", true, [](Choice&, LanePass& p) { p.xxx[3][6] = 0.5f; },
         2, 0.705f, -10, 200.0f},
        {"C9 incident factor in lane 3", true, [](Choice&, LanePass& p) { p.incpen[3] = 0.95f; }, 2,
         0.705f, -10, 200.0f},
        {"C10 within the last 20 m", true, [](Choice&, LanePass& p) { p.remdis = 15.0f; }, 2,
         0.705f, -10, 200.0f},
        {"C11 50 m from the start at 60 km/h", true, [](Choice&, LanePass& p) { p.dnew = 50.0f; },
         2, 0.705f, -10, 200.0f},
        // u = 0.6: the gap shrinks toward the mover's 30 m by 1 - s/vf = 0.4.
        {"A4 courteous driver", true, [](Choice& r, LanePass&) { r.s.oddat.vrnd(10) = 6000; }, 3,
         0.5f, done, 0.4f * 30.0f + 0.6f * 200.0f},
        // Weaving factor 0.5 of the last tick: 2 s x (1 + 0.5) / 2.
        {"C13 weaving shortens the change", true,
         [](Choice& r, LanePass&) { r.s.vehicle.carwal(r.subject, 2) = 0.5f; }, 3, 0.5f,
         kRuleTick + 15, 200.0f},
        {"D wall flag: 0.95", false,
         [](Choice& r, LanePass&) { r.s.vehicle.carwal(r.subject, 3) = 1.0f; }, 2, 0.95f, -10,
         12.0f},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rule);
        Choice r;
        r.me(2);
        Sim&      s = r.s;
        const int vid = r.subject;
        s.control.t10 = kRuleTick;
        s.control.t = kRuleTick / 10;
        s.mxvehspd.mspvh(1) = 1000; // no class speed cap: no keep-right
        s.graph1.nlinot(1) = 2;     // two downstream links
        s.oddat.vrnd(10) = 4000;    // u = 0.4: not courteous
        s.vehicle.wait(vid, 2) = kRuleTick / 10;
        s.vehindx.lanechan(vid) = kBeforeFactor;
        for (const int k : {4, 5, 6, 12}) s.vehicle.carwal(vid, k) = 100.0f;
        LanePass p = rule_pass(r, row.lane3_open);
        row.flip(r, p);
        lane_choice(s, p, kRuleTick);
        lane_spacing_factor(s, p, kRuleTick);
        EXPECT_EQ(p.lmax, row.lane);
        EXPECT_NEAR(s.vehindx.lanechan(vid), row.lanechan, 1e-5f);
        EXPECT_EQ(s.vehindx.lnchtm(vid, 1), row.change_end);
        EXPECT_NEAR(p.xgap[3], row.gap3, 1e-3f);
    }
}

} // namespace
} // namespace velm::testing_movement
