// Detector-based speed harmonisation: the controller file, the speed-flow
// helpers, the extrapolation, the control law of both formats and the
// per-vehicle advisories.
#include "harmonisation_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace velm {
namespace {

using testing_control::HarmRun;

constexpr int kCtl = 1; // controlled link
constexpr int kBn = 2;  // bottleneck link

// Link 1 controlled (current station 1), link 2 the bottleneck (station 2).
struct ShctlRun : HarmRun {
    ShctlRun() {
        link(kCtl);
        link(kBn);
        station(1, kCtl);
        station(2, kBn);
    }
    void read(const std::string& text) {
        s.units.put_file("shcontrol.dat", text);
        rdshctl(s);
    }
    // One controller of format fmt on link 1: window 1..1000 s, interval 1 s,
    // target 1000 veh/h, target density k_tar, speed step 10, fact_acc 2.
    void controller(int fmt, const char* code = "10100", float k_tar = 1.0e6f) {
        read("harmonisation\n1 " + std::to_string(fmt) + " 1.0 2.0 0.0\n1 1 " + code +
             " 1 1000 1 1000 1 " + std::to_string(k_tar) + " 10 1 2 2 1 0 0\n0\n");
        ASSERT_EQ(s.shctl.nshctl, 1) << log();
    }
    float cap(int car, int vid, float u, int t10) {
        LinkStrategies ls;
        strategy_caps_link(s, kCtl, ls);
        return strategy_caps(s, ls, kCtl, car, vid, u, u, t10);
    }
};

TEST(SpeedFlowCurve, FlowAndSpeedOnTheCongestedBranch) {
    HarmRun r;
    r.link(1); // free 100, capacity speed 80, 2000 veh/h/lane, jam 120, two lanes
    struct Case {
        float flow, speed;
    };
    for (const Case c : {Case{2000.0f, 13.35f}, Case{4000.0f, 80.0f}, Case{0.0f, 80.0f},
                         Case{-50.0f, 80.0f}, Case{9000.0f, 80.0f}})
        EXPECT_NEAR(flow2spd(r.s, c.flow, 1), c.speed, 0.01f) << c.flow;
    EXPECT_NEAR(spd2flow(r.s, 80.0f, 1), 4000.0f, 0.5f);
    EXPECT_EQ(spd2flow(r.s, 100.0f, 1), 0.0f);
    EXPECT_EQ(spd2flow(r.s, 130.0f, 1), 0.0f);
    // The two helpers invert each other on the congested branch.
    EXPECT_NEAR(spd2flow(r.s, flow2spd(r.s, 3000.0f, 1), 1), 3000.0f, 1.0f);
}

TEST(Extrapolation, LeastSquaresLineReadPastTheLastSlot) {
    std::array<float, kShctlHistory> rising{}, level{}, half{};
    for (int i = 1; i <= kShctlHistory; ++i) {
        rising[static_cast<std::size_t>(i - 1)] = static_cast<float>(i);
        level[static_cast<std::size_t>(i - 1)] = 50.0f;
        half[static_cast<std::size_t>(i - 1)] = i > 30 ? 60.0f : 0.0f; // unwritten slots are 0
    }
    EXPECT_NEAR(exppred(rising, 5.0f, 10), 65.0f, 1e-3f);
    EXPECT_NEAR(exppred(rising, 5.0f, 20), 62.5f, 1e-3f); // 2-s poll: slot 60 lies at 120 s
    EXPECT_NEAR(exppred(level, 37.0f, 10), 50.0f, 1e-3f);
    // The zeros pull the line: at slot 60 it reads below the written 60.
    const float p = exppred(half, 0.0f, 10);
    EXPECT_GT(p, 60.0f);
    EXPECT_LT(exppred(half, -59.0f, 10), 0.0f);
}

TEST(ShctlReader, NoFileLeavesTheStrategyOff) {
    ShctlRun r;
    rdshctl(r.s);
    EXPECT_EQ(r.s.shctl.shctl_fmt, 0);
    EXPECT_NE(r.summary().find("     - No Speed Harmonization Speed Control file input"),
              std::string::npos);
    EXPECT_EQ(r.cap(1, 1, 120.0f, 20), 120.0f);
    EXPECT_EQ(r.s.shctl.time_cur(1), 0.0f); // no controller ran
}

TEST(ShctlReader, ClassCodeFlagsItsDigitsAndOtherClassesGetTheFreeSpeed) {
    ShctlRun r;
    r.controller(1, "10100");
    const std::array<int, 5> flags = {1, 0, 1, 0, 0};
    for (int c = 1; c <= kClasses; ++c) EXPECT_EQ(r.s.shctl.shctl_flag(kCtl, c), flags[c - 1]);
    r.poll(1, 1500.0f, 60.0f); // current flow 3000 above the demand: congested
    spdharm5(r.s, kCtl, 10);   // preparation (start 1 s)
    spdharm5(r.s, kCtl, 20);   // control law
    const auto& h = r.s.shctl;
    EXPECT_FLOAT_EQ(h.spd_lnk(kCtl), 90.0f);
    for (int c = 1; c <= kClasses; ++c)
        EXPECT_FLOAT_EQ(h.spd_ctl(kCtl, c), flags[c - 1] == 1 ? 90.0f : 100.0f) << c;
}

// A record that cannot be used stops the file with its error; complete
// records before it stay and the refused one sets nothing.
TEST(ShctlReader, RefusedRecordKeepsTheRecordsBeforeIt) {
    const std::string head = "t\n2 1 1.0 2.0 0.0\n1 1 10000 1 1000 1 1000 1 9 10 1 2 2 1 0 0\n0\n";
    struct Case {
        const char* second;
        const char* code;
    };
    for (const Case c : {
             Case{"2 3 01000 1 1000 1 1000 1 9 10 1 2 2 1 0", "634020"},      // short
             Case{"2 9 01000 1 1000 1 1000 1 9 10 1 2 2 1 0 0\n0", "634030"}, // no link
             Case{"2 2 01000 1 1000 1 1000 1 9 10 7 2 2 1 0 0\n0", "634040"}, // station 7
             Case{"2 2 01000 1 1000 0.05 1000 1 9 10 1 2 2 1 0 0\n0", "634050"},
             Case{"2 2 01000 1 1000 1 1000 1 9 10 1 2 2 1 0 0\n1 5 1 100", "634040"},
         }) {
        ShctlRun r;
        r.read(head + c.second + "\n");
        const auto& h = r.s.shctl;
        EXPECT_EQ(h.nshctl, 1) << c.code;
        EXPECT_EQ(h.shctl_fmt, 1);
        EXPECT_EQ(h.shctl_flag(kCtl, 1), 1);
        for (int l : {2, 3})
            for (int k = 1; k <= kClasses; ++k) EXPECT_EQ(h.shctl_flag(l, k), 0) << c.code;
        EXPECT_NE(r.log().find(c.code), std::string::npos) << c.code << "\n" << r.log();
        EXPECT_NE(r.summary().find("No Speed Harmonization Speed Control file input"),
                  std::string::npos);
    }
    ShctlRun r; // a rise divisor of 0 switches the strategy off
    r.read("t\n1 1 1.0 0.0 0.0\n1 1 10000 1 1000 1 1000 1 9 10 1 2 2 1 0 0\n0\n");
    EXPECT_EQ(r.s.shctl.shctl_fmt, 0);
    EXPECT_NE(r.log().find("634060"), std::string::npos);
}

TEST(ShctlControl, FallLimitedToTheStepAndFreeRiseToStepOverDivisor) {
    ShctlRun r;
    r.controller(2);
    auto& h = r.s.shctl;
    r.poll(1, 1500.0f, 60.0f); // congested: demand 1000 below the current 3000
    spdharm6(r.s, 100.0f, 1, kCtl, 1, 10);
    EXPECT_FLOAT_EQ(h.spd_lnk(kCtl), 100.0f); // prepared at the free speed
    spdharm6(r.s, 100.0f, 1, kCtl, 1, 20);
    EXPECT_FLOAT_EQ(h.spd_lnk(kCtl), 90.0f);
    spdharm6(r.s, 100.0f, 1, kCtl, 1, 30);
    EXPECT_FLOAT_EQ(h.spd_lnk(kCtl), 80.0f);
    EXPECT_NEAR(h.fr_cur(kCtl), spd2flow(r.s, 80.0f, kCtl), 0.01f);
    r.poll(1, 200.0f, 90.0f); // free: the speed rises by 10 / 2
    spdharm6(r.s, 100.0f, 1, kCtl, 1, 40);
    EXPECT_FLOAT_EQ(h.spd_lnk(kCtl), 85.0f);
}

TEST(ShctlControl, MinimumSpeedWinsOverTheFreeSpeed) {
    ShctlRun r;
    r.read("t\n1 1 1.0 2.0 0.0\n1 1 10000 1 1000 1 1000 1 1e6 10 1 2 2 1 0 120\n0\n");
    r.poll(1, 200.0f, 90.0f);
    spdharm5(r.s, kCtl, 10);
    spdharm5(r.s, kCtl, 20);
    EXPECT_FLOAT_EQ(r.s.shctl.spd_lnk(kCtl), 120.0f);
    EXPECT_EQ(r.s.shctl.fr_cur(kCtl), 0.0f); // at or above the free speed: no flow
}

TEST(ShctlControl, OnlyTheFirstVehicleOfATickRunsTheStep) {
    ShctlRun r;
    r.controller(1);
    r.poll(1, 1500.0f, 60.0f);
    spdharm5(r.s, kCtl, 10);
    spdharm5(r.s, kCtl, 20);
    r.poll(1, 1000.0f, 60.0f); // a second vehicle in the same tick sees other polls
    spdharm5(r.s, kCtl, 20);
    const auto& h = r.s.shctl;
    EXPECT_FLOAT_EQ(h.flowrate(1, 2), 3000.0f);
    EXPECT_FLOAT_EQ(h.spd_lnk(kCtl), 90.0f);
    spdharm5(r.s, kCtl, 25); // not a polling tick
    EXPECT_FLOAT_EQ(h.spd_lnk(kCtl), 90.0f);
    spdharm5(r.s, kCtl, 30);
    EXPECT_FLOAT_EQ(h.flowrate(1, 3), 2000.0f);
}

TEST(ShctlAdvisory, StepsDownOncePerPeriodAndRisesOutsideTheWindow) {
    ShctlRun r;
    r.controller(2, "10000");
    auto& h = r.s.shctl;
    h.spd_lnk(kCtl) = 60.0f;
    r.s.oddat.vtyp(1) = 1;
    r.s.oddat.vtyp(2) = 1;
    r.s.oddat.vtyp(3) = 2;
    for (int vid = 1; vid <= 3; ++vid) h.spd_ctl6(vid) = kNoSpeedLimit; // as a new slot holds
    // Tick 15 is no polling tick: only the advisories are given.
    EXPECT_FLOAT_EQ(r.cap(1, 1, 100.0f, 15), 90.0f);
    EXPECT_FLOAT_EQ(r.cap(1, 1, 65.0f, 15), 65.0f); // kept for the rest of the period
    EXPECT_FLOAT_EQ(h.spd_ctl6(1), 90.0f);
    EXPECT_FLOAT_EQ(r.cap(2, 2, 65.0f, 15), 60.0f);
    // A class the record does not control keeps its candidate, whatever
    // advisory an earlier link (a 60 km/h ramp) left in its slot.
    h.spd_ctl6(3) = 60.0f;
    EXPECT_FLOAT_EQ(r.cap(3, 3, 95.0f, 15), 95.0f);
    EXPECT_FLOAT_EQ(h.spd_ctl6(3), 100.0f);
    // After the end time: candidate + step, at most the free speed.
    h.t_e(kCtl) = 1.0f;
    EXPECT_FLOAT_EQ(r.cap(1, 1, 95.0f, 15), 95.0f);
    EXPECT_FLOAT_EQ(h.spd_ctl6(1), 100.0f);
    EXPECT_FLOAT_EQ(r.cap(2, 2, 50.0f, 15), 50.0f);
    EXPECT_FLOAT_EQ(h.spd_ctl6(2), 60.0f);
}

TEST(ShctlAdvisory, FormatTwoCapsUncontrolledLinksAtTheirFreeSpeed) {
    ShctlRun r;
    r.controller(2, "10000");
    r.s.oddat.vtyp(1) = 1;
    r.s.shctl.spd_ctl6(1) = kNoSpeedLimit;
    LinkStrategies ls;
    strategy_caps_link(r.s, kBn, ls);
    EXPECT_FLOAT_EQ(strategy_caps(r.s, ls, kBn, 1, 1, 120.0f, 120.0f, 15), 100.0f);
    EXPECT_FLOAT_EQ(r.s.shctl.spd_ctl6(1), 100.0f);
}

} // namespace
} // namespace velm
