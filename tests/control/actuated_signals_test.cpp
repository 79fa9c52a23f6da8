// Actuated control: greens extended and ended from the calls near the stop
// lines, within the minimum and maximum greens, and the plan at every cycle
// start.
#include "control/timing_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace velm {
namespace {

using support::TimingNet;

constexpr int kSig = 1;
constexpr int kLane1 = 1; // the lane of the phase-1 approach (link 1)
constexpr int kLane2 = 2; // the lane of the phase-2 approach (link 2)
constexpr int kLane3 = 3; // the lane of the phase-3 approach (link 3)

// 60-s two-phase plan: phase 1 green 0-25, intergreen to 30; phase 2 green
// 30-55, intergreen to 60; minimum green 5, extension 5, maximum green 40.
struct TwoPhase : TimingNet {
    explicit TwoPhase(float ext = 5.0f) {
        plan(kSig, 60, 0, {{25, 5}, {25, 5}});
        for (int p = 1; p <= 2; ++p) s.signal.grnext(kSig, p) = ext;
        s.lnkvdet.actsig(kSig) = 10000; // class 1 calls, one per vehicle
        link(1, kSig, 1, kLane1);
        link(2, kSig, 2, kLane2);
        index();
    }
    float eff(int p, int i) const { return s.signal.phend(kSig, p, i); }
    // Runs seconds first..last, the waiting vehicles of each second set by `calls`.
    void run(int first, int last, const std::function<void(int)>& calls) {
        for (int t = first; t <= last; ++t) {
            calls(t);
            sigact(s, t);
        }
    }
};

TEST(ActuatedControl, CallsOnTheGreenPhaseHoldItsEndOneExtensionAheadUpToTheMaximum) {
    TwoPhase         net;
    std::vector<int> ends(60);
    for (int t = 0; t < 60; ++t) {
        net.s.lnkvdet.lnkdet(kLane1, 1) = 2;
        sigact(net.s, t);
        ends[static_cast<std::size_t>(t)] = static_cast<int>(net.eff(1, 2));
    }
    for (int t = 2; t < 21; ++t) EXPECT_EQ(ends[static_cast<std::size_t>(t)], 25) << "t=" << t;
    for (int t = 21; t <= 35; ++t) EXPECT_EQ(ends[static_cast<std::size_t>(t)], t + 5) << "t=" << t;
    for (int t = 36; t < 60; ++t) EXPECT_EQ(ends[static_cast<std::size_t>(t)], 40) << "t=" << t;
    // Phase 2 takes what phase 1 used; its own end of green never moves.
    EXPECT_FLOAT_EQ(net.eff(1, 3), 45.0f);
    EXPECT_FLOAT_EQ(net.eff(2, 1), 45.0f);
    EXPECT_FLOAT_EQ(net.eff(2, 2), 55.0f);
    EXPECT_FLOAT_EQ(net.eff(2, 3), 60.0f);
}

TEST(ActuatedControl, CallsOnlyOnTheNextPhaseEndTheGreenAtItsMinimum) {
    TwoPhase net(2.0f);
    net.run(0, 3, [&](int) { net.s.lnkvdet.lnkdet(kLane2, 1) = 1; });
    EXPECT_FLOAT_EQ(net.eff(1, 2), 5.0f); // decided at second 3, held to the minimum green
    EXPECT_FLOAT_EQ(net.eff(1, 3), 10.0f);
    EXPECT_FLOAT_EQ(net.eff(2, 1), 10.0f);
    EXPECT_FLOAT_EQ(net.eff(2, 2), 55.0f);
    // At second 2 the decision still lies within the first extension.
    TwoPhase early(2.0f);
    early.run(0, 2, [&](int) { early.s.lnkvdet.lnkdet(kLane2, 1) = 1; });
    EXPECT_FLOAT_EQ(early.eff(1, 2), 25.0f);
}

TEST(ActuatedControl, CycleSecondsZeroAndOneRestoreThePlan) {
    TwoPhase net;
    net.run(0, 59, [&](int) { net.s.lnkvdet.lnkdet(kLane1, 1) = 3; });
    ASSERT_FLOAT_EQ(net.eff(1, 2), 40.0f);
    // An offset of 7 s moves the cycle start to seconds 67 and 68.
    for (const float offset : {0.0f, 7.0f}) {
        for (int t : {60, 61}) {
            net.s.signal.offset(kSig) = offset;
            for (int p = 1; p <= 2; ++p)
                for (int i = 1; i <= 3; ++i) net.s.signal.phend(kSig, p, i) = 99.0f;
            sigact(net.s, t + static_cast<int>(offset));
            for (int p = 1; p <= 2; ++p)
                for (int i = 1; i <= 3; ++i)
                    EXPECT_FLOAT_EQ(net.eff(p, i), net.s.signal.phstr(kSig, p, i))
                        << "t=" << t << " offset " << offset << " phase " << p << "," << i;
        }
    }
}

TEST(ActuatedControl, SignalsWithoutActuationOrAWholeSecondCycleRunTheirPlan) {
    for (const bool actuated : {false, true}) {
        TwoPhase net;
        if (!actuated)
            net.s.lnkvdet.actsig(kSig) = 0;
        else
            net.s.signal.cycle(kSig) = 0.5f; // actuated, but no cycle second to act on
        net.s.lnkvdet.lnkdet(kLane1, 1) = 5;
        net.s.signal.phstr(kSig, 1, 2) = 20.0f; // a plan the optimisation just rebuilt
        for (int t : {0, 22, 37}) {
            net.s.signal.phend(kSig, 1, 2) = 33.0f;
            sigact(net.s, t);
            EXPECT_FLOAT_EQ(net.eff(1, 2), 20.0f) << "actuated " << actuated << " t=" << t;
        }
    }
}

TEST(ActuatedControl, DuringAnIntergreenTheNextPhaseIsCurrentAndWaitsOneExtension) {
    // Phase 1 green 0-20, intergreen to 25; phase 2 green 25-40, to 45;
    // phase 3 green 45-55, to 60. Calls on phase 3 only.
    TimingNet net;
    net.plan(kSig, 60, 0, {{20, 5}, {15, 5}, {10, 5}});
    net.s.lnkvdet.actsig(kSig) = 10000;
    net.link(1, kSig, 1, kLane1);
    net.link(2, kSig, 2, kLane2);
    net.link(3, kSig, 3, kLane3);
    net.index();
    net.s.lnkvdet.lnkdet(kLane3, 1) = 4;
    for (int t = 6; t <= 19; ++t)
        EXPECT_EQ(actuated_second(net.s, kSig, t), ActDecision::no_calls_on_plan) << t;
    // From phase 1's end of green (20) through its intergreen, phase 2 is
    // current, and it is left alone until one extension into its green (30).
    for (int t = 20; t <= 30; ++t) {
        EXPECT_EQ(actuated_second(net.s, kSig, t), ActDecision::first_extension) << t;
        EXPECT_FLOAT_EQ(net.s.signal.phend(kSig, 2, 2), 40.0f) << t;
    }
    EXPECT_EQ(actuated_second(net.s, kSig, 31), ActDecision::end_on_plan);
    EXPECT_FLOAT_EQ(net.s.signal.phend(kSig, 2, 2), 31.0f);
    EXPECT_FLOAT_EQ(net.s.signal.phend(kSig, 3, 1), 36.0f);
    EXPECT_FLOAT_EQ(net.s.signal.phend(kSig, 3, 2), 55.0f);
    // Phase 3 is now current and last: it is never changed.
    for (int t = 37; t < 60; ++t) actuated_second(net.s, kSig, t);
    EXPECT_FLOAT_EQ(net.s.signal.phend(kSig, 3, 2), 55.0f);
    EXPECT_FLOAT_EQ(net.s.signal.phend(kSig, 3, 3), 60.0f);
}

TEST(ActuatedControl, ANextGreenSqueezedBelowOneExtensionCutsTheCurrentGreen) {
    // Phase 1 runs behind plan with calls; phase 2 extends by 15 s, so from
    // second 35 (its end of green 55 less 15 and the intergreen) phase 1 is cut.
    TwoPhase net;
    net.s.signal.grnext(kSig, 2) = 15.0f;
    net.s.signal.phend(kSig, 1, 2) = 38.0f;
    net.s.signal.phend(kSig, 1, 3) = 43.0f;
    net.s.signal.phend(kSig, 2, 1) = 43.0f;
    net.s.lnkvdet.lnkdet(kLane1, 1) = 1;
    EXPECT_EQ(actuated_second(net.s, kSig, 34), ActDecision::extend_behind);
    EXPECT_FLOAT_EQ(net.eff(1, 2), 39.0f);
    EXPECT_EQ(actuated_second(net.s, kSig, 35), ActDecision::cut);
    EXPECT_FLOAT_EQ(net.eff(1, 2), 35.0f); // no minimum-green check on a cut
    EXPECT_FLOAT_EQ(net.eff(1, 3), 40.0f);
    EXPECT_FLOAT_EQ(net.eff(2, 1), 40.0f);
    EXPECT_FLOAT_EQ(net.eff(2, 2), 55.0f);
}

TEST(ActuatedControl, OnePhaseSignalsAndTheCycleRemainderAreNeverChanged) {
    TimingNet one;
    one.plan(kSig, 60, 0, {{55, 5}});
    one.s.lnkvdet.actsig(kSig) = 10000;
    one.link(1, kSig, 1, kLane1);
    one.index();
    one.s.lnkvdet.lnkdet(kLane1, 1) = 9;
    for (int t = 0; t < 120; ++t) sigact(one.s, t);
    EXPECT_FLOAT_EQ(one.s.signal.phend(kSig, 1, 2), 55.0f);
    EXPECT_FLOAT_EQ(one.s.signal.phend(kSig, 1, 3), 60.0f);

    // Phases that end at 50 in a 60-s cycle: from 51 on no phase is current.
    TimingNet gap;
    gap.plan(kSig, 60, 0, {{20, 5}, {20, 5}});
    gap.s.lnkvdet.actsig(kSig) = 10000;
    gap.link(1, kSig, 1, kLane1);
    gap.index();
    gap.s.lnkvdet.lnkdet(kLane1, 1) = 9;
    for (int t = 51; t < 60; ++t)
        EXPECT_EQ(actuated_second(gap.s, kSig, t), ActDecision::undecided) << t;
}

// Calls by class digit and weight: one second on plan inside phase 1's green
// after its first extension; a call on phase 1 extends it.
TEST(ActuatedControl, CallsCountByClassDigitAndTruncatedWeight) {
    struct Case {
        const char* what;
        int         code;
        float       w1, w2;
        int         class1, class2; // vehicles waiting
        bool        extends;
    };
    const Case cases[] = {
        {"digit 1: each vehicle one call", 1000, 1, 1, 0, 1, true},
        {"digit 0: the class places no calls", 10000, 1, 1, 0, 3, false},
        {"digit 2, weight 0.5, 3 vehicles: trunc(1.5) = 1", 2000, 1, 0.5f, 0, 3, true},
        {"digit 2, weight 0.5, 1 vehicle: trunc(0.5) = 0", 2000, 1, 0.5f, 0, 1, false},
        {"truncated after each class: 0.5 + 0.5 gives 0", 22000, 0.5f, 0.5f, 1, 1, false},
        {"digit 1 then digit 2 add up", 12000, 1, 0.5f, 1, 1, true},
    };
    for (const Case& c : cases) {
        TwoPhase net;
        net.s.lnkvdet.actsig(kSig) = c.code;
        net.s.signal.actwgt(kSig, 1) = c.w1;
        net.s.signal.actwgt(kSig, 2) = c.w2;
        net.s.lnkvdet.lnkdet(kLane1, 1) = c.class1;
        net.s.lnkvdet.lnkdet(kLane1, 2) = c.class2;
        const ActDecision d = actuated_second(net.s, kSig, 22);
        EXPECT_EQ(d == ActDecision::extend_on_plan, c.extends) << c.what;
        EXPECT_FLOAT_EQ(net.eff(1, 2), c.extends ? 27.0f : 25.0f) << c.what;
    }
}

TEST(ActuatedControl, AnApproachListReplacesTheSignalsOwnLinks) {
    TwoPhase net;
    net.s.lnkvdet.lnkdet(kLane1, 1) = 4; // calls on link 1, which the list leaves out
    net.s.signal.nactapp(kSig) = 1.0f;
    net.s.signal.act(kSig, 1) = 2.0f;
    EXPECT_EQ(actuated_second(net.s, kSig, 22), ActDecision::no_calls_on_plan);
    net.s.signal.act(kSig, 1) = 1.0f;
    EXPECT_EQ(actuated_second(net.s, kSig, 22), ActDecision::extend_on_plan);
    // A listed link beyond the network is ignored, not read.
    net.s.signal.act(kSig, 1) = 4000.0f;
    EXPECT_EQ(actuated_second(net.s, kSig, 23), ActDecision::no_calls_on_plan);
}

} // namespace
} // namespace velm
