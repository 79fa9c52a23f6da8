// Measured link times per class: the speeds they come from, the fall-backs of
// links and classes without samples, when each link renews them, and the
// minute histories of link times and densities.
#include "core/model/sim.h"
#include "core/routing/routing.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

namespace velm {
namespace {

struct LinkTimes : ::testing::Test {
    std::unique_ptr<Sim> sim = std::make_unique<Sim>();
    Sim&                 s = *sim;
    void                 SetUp() override {
        s.link2.mlnum = 3;
        for (int l = 1; l <= 2; ++l) {
                            s.link4.llength(l) = 0.5f;  // 500 m
                            s.link4.freespd(l) = 72.0f; // 20 m/s
                            s.link1.nulans(l) = 2;
                            for (int vt = 1; vt <= kClasses; ++vt) s.delay.ttlink(l, vt) = 25.0f;
        }
    }
    // m travelled and vehicle-seconds of class vt on link l.
    void sample(int l, int vt, float m, float vs) {
        s.delay.tllink(l, vt, 1) += m;
        s.delay.tllink(l, vt, 2) += vs;
    }
};

TEST_F(LinkTimes, RenewedTimesComeFromTheSamplesOrTheirFallBacks) {
    struct Case {
        const char*                       name;
        float                             freespd;
        int                               vehicles;
        std::vector<std::array<float, 3>> samples; // class, m, vehicle-s
        std::array<float, kClasses>       expect;  // s
    };
    const Case cases[] = {
        {"empty link: length over free speed", 72.0f, 0, {}, {25, 25, 25, 25, 25}},
        {"free speed below 1 m/s is raised to it", 1.8f, 0, {}, {500, 500, 500, 500, 500}},
        {"standing queue: under 1 m travelled",
         72.0f,
         4,
         {{1, 0.5f, 40.0f}},
         {500, 500, 500, 500, 500}},
        {"classes without samples take the all-class speed",
         72.0f,
         3,
         {{1, 400.0f, 40.0f}, {2, 100.0f, 20.0f}},
         {50, 100, 60, 60, 60}},
        {"a slow class is not raised to 1 m/s",
         72.0f,
         2,
         {{1, 1.5f, 3.0f}},
         {1000, 500, 500, 500, 500}},
    };
    for (const auto& c : cases) {
        s.link4.freespd(1) = c.freespd;
        s.link2.ntqu(1) = c.vehicles;
        for (const auto& smp : c.samples) sample(1, static_cast<int>(smp[0]), smp[1], smp[2]);
        uptimhis(s, 120);
        for (int vt = 1; vt <= kClasses; ++vt) {
            EXPECT_NEAR(s.delay.ttlink(1, vt), c.expect[static_cast<std::size_t>(vt - 1)], 0.01f)
                << c.name << ", class " << vt;
            EXPECT_EQ(s.delay.tllink(1, vt, 1), 0.0f) << c.name;
            EXPECT_EQ(s.delay.tllink(1, vt, 2), 0.0f) << c.name;
        }
    }
}

// The seconds in 1..limit at which link 1 renews its times.
std::vector<int> update_seconds(Sim& s, int limit) {
    std::vector<int> out;
    for (int t = 1; t <= limit; ++t) {
        s.delay.tllink(1, 1, 1) = 10.0f;
        s.delay.tllink(1, 1, 2) = 1.0f;
        uptimhis(s, t);
        if (s.delay.tllink(1, 1, 1) == 0.0f) out.push_back(t);
    }
    return out;
}

TEST_F(LinkTimes, SignalisedLinksRenewAtEachCycleEndOthersEachMinute) {
    s.signal.cycle(4) = 90.0f;
    s.signal.offset(4) = 30.0f;
    s.signal.cycle(5) = -1.0f; // not coded in the plan in force
    s.signal.cycle(6) = 0.0f;
    struct Case {
        const char*      name;
        int              code;
        std::vector<int> seconds;
    };
    const Case cases[] = {
        {"cycle 90 s, offset 30 s", 4, {30, 120, 210}},
        {"right turns on red: the same signal", -4, {30, 120, 210}},
        {"no control", 0, {60, 120, 180, 240}},
        {"stop sign", kStopSignCode, {60, 120, 180, 240}},
        {"signal without a cycle in this plan", 5, {60, 120, 180, 240}},
        {"signal with a zero cycle", 6, {60, 120, 180, 240}},
        {"signal number beyond the signal table", kMaxSignals + 1, {60, 120, 180, 240}},
    };
    for (const auto& c : cases) {
        s.link3.tsignal(1) = c.code;
        EXPECT_EQ(update_seconds(s, 250), c.seconds) << c.name;
    }
    // Between renewals the measured time stays as it was.
    s.link3.tsignal(1) = 4;
    s.delay.tllink(1, 1, 1) = 10.0f;
    s.delay.tllink(1, 1, 2) = 1.0f;
    uptimhis(s, 30);
    EXPECT_FLOAT_EQ(s.delay.ttlink(1, 1), 50.0f);
    s.delay.tllink(1, 1, 1) = 50.0f;
    s.delay.tllink(1, 1, 2) = 10.0f;
    uptimhis(s, 31);
    EXPECT_FLOAT_EQ(s.delay.ttlink(1, 1), 50.0f);
    uptimhis(s, 120);
    EXPECT_FLOAT_EQ(s.delay.ttlink(1, 1), 100.0f);
}

TEST_F(LinkTimes, MinuteHistoriesHoldTimesAndDensities) {
    s.link2.ntqu(1) = 10;      // 500 m, 2 lanes
    s.link4.llength(2) = 0.0f; // zero length: no density to compute
    s.link2.ntqu(2) = 3;
    s.link4.llength(3) = 0.2f; // no lanes coded
    s.link2.ntqu(3) = 3;
    sample(1, 2, 300.0f, 24.0f); // class 2: 12.5 m/s
    uptimhis(s, 3540);           // minute 59 of the hour: slot 60
    EXPECT_EQ(s.link1.denhis(1, 60), 10);
    EXPECT_EQ(s.link1.timehis(1, 2, 60, 1), 400);
    EXPECT_EQ(s.link1.timehis(1, 1, 60, 1), 400) << "the all-class speed";
    EXPECT_EQ(s.link1.denhis(2, 60), 0);
    EXPECT_EQ(s.link1.denhis(3, 60), 0);
    uptimhis(s, 3600); // the next hour starts again at slot 1
    EXPECT_EQ(s.link1.denhis(1, 1), 10);
    EXPECT_EQ(s.link1.timehis(1, 2, 1, 1), 5000) << "standing queue: 1 m/s";
    uptimhis(s, 3630);
    EXPECT_EQ(s.link1.denhis(1, 31), 0) << "only at minute ends";
}

} // namespace
} // namespace velm
