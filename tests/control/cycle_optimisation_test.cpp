// Cycle and split optimisation, its report, the timing listing of slot 14 and
// the per-minute timing history.
#include "control/timing_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace velm {
namespace {

using support::lines_of;
using support::TimingNet;

// Signal n with two phases, each served by one one-lane link whose approach
// flow gives the critical ratio asked for (saturation 1800 veh/h).
struct TwoApproaches : TimingNet {
    void signal(int n, float cycle, float ratio1, float ratio2, float phasopt) {
        const float g = (cycle - 10.0f) / 2.0f;
        plan(n, cycle, 0, {{g, 5}, {g, 5}});
        s.signal.phasopt(n) = phasopt;
        s.signal.mincycle(n) = 30;
        s.signal.maxcycle(n) = 150;
        const int l = 2 * n - 1;
        link(l, n, 1, l);
        link(l + 1, n, 2, l + 1);
        s.link1.aprflw(l, 1) = ratio1 * 1800.0f;
        s.link1.aprflw(l + 1, 1) = ratio2 * 1800.0f;
    }
    void at(int t) {
        s.control.t = t;
        optsignal(s);
    }
    float green(int n, int p) const { return s.signal.phstr(n, p, 2) - s.signal.phstr(n, p, 1); }
};

TEST(CycleOptimisation, CycleStepsTowardTheTarget) {
    // Two phases, lost time 10 s. Y = 0.5 gives the target trunc(20 / 0.5) + 1 = 41 s.
    struct Case {
        const char* what;
        float       from, y1, y2;
        int         t, maxcycle;
        float       to;
    };
    const Case cases[] = {
        {"from 90: -5", 90, 0.25f, 0.25f, 60, 150, 85},
        {"from 90 at three periods: -15", 90, 0.25f, 0.25f, 180, 150, 75},
        {"from 60: -5", 60, 0.25f, 0.25f, 60, 150, 55},
        {"from 60 at three periods: a 15-s step needs 30 s off", 60, 0.25f, 0.25f, 180, 150, 55},
        {"within 10 s of the target: unchanged", 50, 0.25f, 0.25f, 60, 150, 50},
        {"saturated: +5 toward 1.25 x maxcycle", 90, 0.5f, 0.5f, 60, 100, 95},
        {"saturated at three periods: +15, held to maxcycle", 90, 0.5f, 0.5f, 180, 100, 100},
        {"already at maxcycle", 100, 0.6f, 0.6f, 60, 100, 100},
    };
    for (const Case& c : cases) {
        TwoApproaches net;
        net.signal(1, c.from, c.y1, c.y2, 60);
        net.s.signal.maxcycle(1) = c.maxcycle;
        net.index();
        net.at(c.t);
        EXPECT_FLOAT_EQ(net.s.signal.cycle(1), c.to) << c.what;
        // The plan is rebuilt to the new cycle.
        EXPECT_FLOAT_EQ(net.s.signal.phstr(1, 2, 3), c.to) << c.what;
        EXPECT_FLOAT_EQ(net.s.signal.phstr(1, 2, 2), c.to - 5.0f) << c.what;
    }
}

TEST(CycleOptimisation, SplitsBlendTheRatiosWithTheCurrentGreens) {
    // Equal ratios keep 25-s greens in a 60-s plan; the last phase ends at 60.
    TwoApproaches even;
    even.signal(1, 60, 0.25f, 0.25f, 600); // splits each 600 s: cycle optimised too
    even.index();
    even.at(600);
    ASSERT_FLOAT_EQ(even.s.signal.cycle(1), 55.0f);
    TwoApproaches keep;
    keep.signal(1, 60, 0.1f, 0.1f, 600);
    keep.s.signal.mincycle(1) = 60;
    keep.index();
    keep.at(600);
    EXPECT_FLOAT_EQ(keep.green(1, 1), 25.0f);
    EXPECT_FLOAT_EQ(keep.green(1, 2), 25.0f);
    EXPECT_EQ(keep.s.signal.phstr(1, 2, 3), 60.0f);

    // Ratios 0.3 and 0.1 in a 60-s cycle held by its bounds: shares
    // 0.5 x 0.75 + 0.5 x 0.5 = 0.625 and 0.375 of 50 s.
    TwoApproaches skew;
    skew.signal(1, 60, 0.3f, 0.1f, 60);
    skew.s.signal.mincycle(1) = skew.s.signal.maxcycle(1) = 60;
    skew.index();
    skew.at(60);
    EXPECT_FLOAT_EQ(skew.green(1, 1), 31.2f); // trunc(0.49 + 312.5) / 10
    EXPECT_FLOAT_EQ(skew.s.signal.phstr(1, 2, 1), 36.2f);
    EXPECT_FLOAT_EQ(skew.s.signal.phstr(1, 2, 2), 55.0f);
    EXPECT_FLOAT_EQ(skew.s.signal.phstr(1, 2, 3), 60.0f);
}

// No share takes a phase below its minimum green: the other phases give up
// the difference, and where the minima and intergreens exceed the cycle the
// cycle is lengthened, with one run-log line.
TEST(CycleOptimisation, NoGreenBelowItsMinimum) {
    struct Case {
        const char* what;
        float       y1, y2, min1, min2, cycle;
        float       green1, green2, to; // after two optimisations
        int         lines;              // run-log lines on the lengthening
    } const cases[] = {
        {"the small phase held at its minimum", 0.45f, 0.01f, 5, 12, 60, 38, 12, 60, 0},
        {"the first phase held at its minimum", 0.01f, 0.45f, 15, 5, 60, 15, 35, 60, 0},
        {"minima beyond the cycle", 0.3f, 0.3f, 20, 25, 40, 20, 25, 55, 1},
    };
    for (const auto& c : cases) {
        TwoApproaches net;
        net.signal(1, c.cycle, c.y1, c.y2, 60);
        net.s.signal.mincycle(1) = net.s.signal.maxcycle(1) = static_cast<int>(c.cycle);
        net.s.signal.mingrn(1, 1, 1) = c.min1;
        net.s.signal.mingrn(1, 2, 1) = c.min2;
        net.index();
        net.at(60);
        net.at(120);
        EXPECT_FLOAT_EQ(net.green(1, 1), c.green1) << c.what;
        EXPECT_FLOAT_EQ(net.green(1, 2), c.green2) << c.what;
        EXPECT_FLOAT_EQ(net.s.signal.cycle(1), c.to) << c.what;
        EXPECT_FLOAT_EQ(net.s.signal.phstr(1, 2, 3), c.to) << c.what;
        int lines = 0;
        for (const auto& l : lines_of(net.log()))
            if (l.find("lengthened") != std::string::npos) ++lines;
        EXPECT_EQ(lines, c.lines) << c.what << "\n" << net.log();
    }
}

TEST(CycleOptimisation, NegativeSettingReoptimisesTheCycleOnlyOnItsPeriodAndNeverTheSplits) {
    TwoApproaches net;
    net.signal(1, 90, 0.3f, 0.1f, -90);
    net.index();
    net.at(60);
    net.at(120);
    EXPECT_FLOAT_EQ(net.s.signal.cycle(1), 90.0f);
    EXPECT_FLOAT_EQ(net.green(1, 1), 40.0f);
    EXPECT_EQ(net.summary(), "");
    net.at(180);
    EXPECT_FLOAT_EQ(net.s.signal.cycle(1), 85.0f);
    // Greens rescaled to the shorter cycle, still equal.
    EXPECT_FLOAT_EQ(net.green(1, 1), 37.5f);
    EXPECT_FLOAT_EQ(net.green(1, 2), 37.5f);
    EXPECT_NE(net.summary().find(" Timing Optimization at   3. mins for Signal  1"),
              std::string::npos);
}

TEST(CycleOptimisation, OffsetsKeepTheSignalAtTheSameFractionOfItsCycle) {
    TwoApproaches net;
    net.signal(1, 90, 0.25f, 0.25f, 60);
    net.s.signal.offset(1) = 30.0f;
    net.index();
    const float before = std::fmod(90.0f + 60.0f - 30.0f, 90.0f) / 90.0f;
    net.at(60);
    const float c = net.s.signal.cycle(1);
    ASSERT_FLOAT_EQ(c, 85.0f);
    const float after = std::fmod(c + 60.0f - net.s.signal.offset(1), c) / c;
    EXPECT_NEAR(after, before, 1e-5);
}

TEST(CycleOptimisation, AClusterRunsOnTheLongestCycleWithinEveryMembersLimit) {
    // Signals 1 (60 s, at most 80 s) and 2 (90 s, at most 120 s), and the
    // same values swapped between the two numbers: 80 s either way.
    for (const bool swapped : {false, true}) {
        TwoApproaches net;
        const int     a = swapped ? 2 : 1, b = swapped ? 1 : 2;
        net.signal(a, 60, 0.25f, 0.25f, 0);
        net.signal(b, 90, 0.25f, 0.25f, 0);
        net.s.signal.maxcycle(a) = 80;
        net.s.signal.maxcycle(b) = 120;
        for (int n = 1; n <= 2; ++n) net.s.signal.ofsopt(n, 1) = net.s.signal.ofsopt(n, 2) = 1;
        net.index();
        net.at(60);
        for (int n = 1; n <= 2; ++n) {
            EXPECT_FLOAT_EQ(net.s.signal.cycle(n), 80.0f) << "swapped " << swapped;
            EXPECT_FLOAT_EQ(net.s.signal.phstr(n, 2, 3), 80.0f) << "swapped " << swapped;
        }
    }
}

TEST(CycleOptimisation, DataThatWouldDivideByZeroLeaveTheSignalAloneWithOneLogLine) {
    struct Case {
        const char* what;
        void (*spoil)(Sim&);
        const char* logged; // "" when nothing is logged
        bool        cycle_changes;
    };
    const Case cases[] = {
        {"cycle 0.5 s", [](Sim& s) { s.signal.cycle(1) = 0.5f; }, "", false},
        {"setting 0.4 acts as 0", [](Sim& s) { s.signal.phasopt(1) = 0.4f; }, "", false},
        {"saturation flow 0", [](Sim& s) { s.link4.lanesat(1) = 0.5f; }, "saturation flow below 1",
         true},
        {"greens summing to 0",
         [](Sim& s) {
             for (int p = 1; p <= 2; ++p) s.signal.phstr(1, p, 2) = s.signal.phstr(1, p, 1);
         },
         "planned greens that sum to 0", false},
        {"cycle within the lost time", [](Sim& s) { s.signal.intgrn(1, 1) = 90.0f; },
         "no longer than its intergreens", false},
    };
    for (const Case& c : cases) {
        TwoApproaches net;
        net.signal(1, 90, 0.25f, 0.25f, 60);
        net.index();
        c.spoil(net.s);
        const float cycle = net.s.signal.cycle(1);
        const float end1 = net.s.signal.phstr(1, 1, 2);
        for (int t = 60; t <= 240; t += 60) net.at(t);
        EXPECT_EQ(net.s.signal.cycle(1) != cycle, c.cycle_changes) << c.what;
        if (!c.cycle_changes) {
            EXPECT_EQ(net.s.signal.phstr(1, 1, 2), end1) << c.what;
        }
        int found = 0;
        for (const auto& line : lines_of(net.log()))
            if (*c.logged && line.find(c.logged) != std::string::npos) ++found;
        EXPECT_EQ(found, *c.logged ? 1 : 0) << c.what << "\n" << net.log();
        if (!*c.logged) {
            EXPECT_EQ(net.log(), "") << c.what;
        }
    }
}

TEST(CycleOptimisation, ReportBlockInTheSummaryOutput) {
    // 60-s cycle, greens 25 s, intergreens 5 s, both phases at 360 of 1800 veh/h.
    // Y = 0.4, target trunc(20 / 0.6) + 1 = 34: the cycle steps to 55; splits
    // stay even: 22.5 s of the 45 s of green; the offset keeps the cycle start
    // at t = 60, so it becomes 60 mod 55 = 5.
    TwoApproaches net;
    net.signal(1, 60, 0.2f, 0.2f, 60);
    net.s.signal.mincycle(1) = 40;
    net.s.signal.maxcycle(1) = 120;
    net.index();
    net.at(60);
    // (2i3, 2i6, 2x,2i5, 2x,3f5.0, 4x, 4f6.1, 5x,4f6.1)
    const std::string timing1 =
        "   5.0  55.0  10.0  45.0" + std::string(5, ' ') + "  22.5   5.0   0.0  22.5";
    const std::string timing2 =
        "   5.0  55.0  10.0  45.0" + std::string(5, ' ') + "  22.5   5.0  27.5  50.0";
    const std::string expected = "\f\n"
                                 "\n"
                                 " Timing Optimization at   1. mins for Signal  1\n"
                                 "\n"
                                 "        link  lane   arri satu   - y-critical -    offset cycle  "
                                 "lost green      green inter phase phase\n"
                                 " ph ln  numb  numb   flow flow   lane appr  sum      time  time  "
                                 "time  time      phase green start   end\n"
                                 "(#)(#)   (#)   (#)  (vph)(vph)    (%)  (%)  (%)     (sec) (sec) "
                                 "(sec) (sec)      (sec) (sec) (sec) (sec)\n"
                                 "  1  1     1     1    360 1800    20.  20.  40.    " +
                                 timing1 +
                                 "\n"
                                 "  2  1     2     1    360 1800    20.  20.  40.    " +
                                 timing2 +
                                 "\n"
                                 "\n"
                                 " ph    offset cycle  lost green      green inter phase phase\n"
                                 " ##      time  time  time  time      phase green start   end\n"
                                 "        (sec) (sec) (sec) (sec)      (sec) (sec) (sec) (sec)\n"
                                 "  1    " +
                                 timing1 +
                                 "\n"
                                 "  2    " +
                                 timing2 + "\n";
    EXPECT_EQ(net.summary(), expected);
}

TEST(TimingListing, PeriodsByTheSignOfTheOutputRate) {
    struct Case {
        int         pd;
        int         t;
        const char* expected; // the records written at t; "" nothing
    };
    const std::string title(300, ' ');
    const std::string sig1 = "      1  90.0   60  150   29    3    42.0     4.0    10.0     3.0"
                             "    27.0     4.0     0.0\n";
    TimingNet         net;
    net.s.units.open_write(kTimingSlot, "timing.u14");
    net.s.filenam.mastitle = "";
    net.plan(1, 90, 29.6f, {{42, 4}, {10, 3}, {27, 4}});
    net.s.signal.mincycle(1) = 60;
    net.s.signal.maxcycle(1) = 150;
    net.plan(3, -1, 0, {{10, 0}}); // not coded in this plan: not listed
    net.s.signal.nsignals = 2;
    const auto written = [&](int pd, int t) {
        const std::string before = net.s.units.file_text("timing.u14");
        ptiming(net.s, t, pd, 12);
        return net.s.units.file_text("timing.u14").substr(before.size());
    };
    // Negative rate: the header at t = 0 only, period 1 at 300 s.
    EXPECT_EQ(written(-300, 0), title + "\n     2    12   300\n");
    EXPECT_EQ(written(-300, 300), "     1   300\n" + sig1);
    EXPECT_EQ(written(-300, 600), "     2   600\n" + sig1);
    // Positive rate: period 1 at t = 0, after the header.
    EXPECT_EQ(written(300, 0), title + "\n     2    12   300\n     1     0\n" + sig1);
    EXPECT_EQ(written(300, 300), "     2   300\n" + sig1);
}

TEST(TimingHistory, MinuteSlotsHoldCycleOffsetAndPhaseDurations) {
    TimingNet net;
    net.plan(1, 90, 29.6f, {{42, 4}, {10, 3}, {27, 4}});
    net.plan(2, -1, 0, {{10, 0}});
    for (const int minute : {0, 1, 60, 61}) {
        net.s.signal.offset(1) = static_cast<float>(minute) + 0.5f;
        sig_his(net.s, 600 * minute);
        const int m = minute % 60 + 1;
        EXPECT_EQ(net.s.signal.sighis1(1, m, 1), 90);
        EXPECT_EQ(net.s.signal.sighis1(1, m, 2), minute);
        EXPECT_EQ(net.s.signal.phshis(1, m, 1), 46);
        EXPECT_EQ(net.s.signal.phshis(1, m, 2), 13);
        EXPECT_EQ(net.s.signal.phshis(1, m, 3), 31);
        EXPECT_EQ(net.s.signal.sighis1(2, m, 1), -1);
    }
}

} // namespace
} // namespace velm
