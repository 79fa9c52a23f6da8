// Future link costs looked up at the moment a vehicle reaches the link, and the
// weights of future costs by minutes ahead.
#include "core/model/sim.h"
#include "core/routing/routing.h"
#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace velm {
namespace {

TEST(FutureCosts, InterpolatesBetweenThePeriodsAroundTheArrival) {
    auto s = std::make_unique<Sim>();
    s->trees.pd_in = 600;
    s->trees.np_in = 3;
    s->trees.futcost = Array3<int>("futcost", 4, 3, kClasses);
    const int cost[] = {100, 200, 400}; // link 1, class 2, periods 1..3
    for (int p = 1; p <= 3; ++p) s->trees.futcost(1, p, 2) = cost[p - 1];
    Array1<float> timeto{"timeto", 20};
    struct Case {
        int   now;   // s
        float ahead; // s to node 7
        float cost;  // s
        int   minutes;
    };
    const Case cases[] = {
        {0, 0.0f, 150.0f, 1},      // midpoint of periods 1 and 2; at least 1 minute
        {0, 600.0f, 150.0f, 10},   // the first period counts from its middle
        {0, 900.0f, 200.0f, 15},   // exactly period 2
        {0, 1300.0f, 333.33f, 22}, // two thirds toward period 3; 40 s round up
        {0, 2000.0f, 400.0f, 33},  // beyond the last period: the last; 20 s round down
        {600, 300.0f, 200.0f, 5},  // the clock moves the lookup on
        {0, 90.0f, 165.0f, 1},     // 30 s past the minute do not round up
        {0, 91.0f, 165.17f, 2},    // 31 s do
        {0, 9000.0f, 400.0f, 120}, // capped at two hours
    };
    for (const auto& c : cases) {
        s->control.t = c.now;
        timeto(7) = c.ahead;
        float linktt = 0.0f;
        int   minut = 0;
        minute(*s, 7, 1, timeto, linktt, minut, 2);
        EXPECT_NEAR(linktt, c.cost, 0.01f) << c.now << " + " << c.ahead;
        EXPECT_EQ(minut, c.minutes) << c.ahead;
    }
    float linktt = -1.0f;
    int   minut = 0;
    minute(*s, 7, 9, timeto, linktt, minut, 2);
    EXPECT_EQ(linktt, 0.0f) << "a link without future costs";
    s->trees.pd_in = 0;
    minute(*s, 7, 1, timeto, linktt, minut, 2);
    EXPECT_EQ(linktt, 100.0f) << "no period length: the first period";
}

TEST(FutureCosts, WeightsByMinutesAheadFromTheFileOrTheDefaults) {
    struct Case {
        const char* name;
        const char* file; // nullptr: no file
        float       first, last;
        bool        logged;
    };
    const Case cases[] = {
        {"defaults without the file", nullptr, 0.2f + 0.6f * (1.0f - std::exp(-0.05f)),
         0.8f - 0.6f * std::exp(-6.0f), false},
        {"a title only keeps the defaults", "Weights\n", 0.2f + 0.6f * (1.0f - std::exp(-0.05f)),
         0.8f - 0.6f * std::exp(-6.0f), true},
        {"far weight below the near one is raised to it", "Weights\n0.5 0.3 0.1\n", 0.5f, 0.5f,
         true},
        {"weights above 1 are capped", "Weights\n1.5 2.0 5.0\n", 1.0f, 1.0f, true},
        {"a rate of 0 approaches slowly", "Weights\n0.0 1.0 0.0\n", 1.0f - std::exp(-0.001f),
         1.0f - std::exp(-0.12f), true},
    };
    for (const auto& c : cases) {
        auto s = support::logged_sim();
        if (c.file) s->units.put_file("fut_wght.dat", c.file);
        treebalance(*s);
        EXPECT_NEAR(s->trees.b_fact(1), c.first, 1e-5f) << c.name;
        EXPECT_NEAR(s->trees.b_fact(120), c.last, 1e-5f) << c.name;
        for (int m = 2; m <= 120; ++m) ASSERT_GE(s->trees.b_fact(m), s->trees.b_fact(m - 1));
        const std::string log = s->units.file_text("runerr.out");
        EXPECT_EQ(log.find("Reading future time factors file:") != std::string::npos, c.logged)
            << c.name << "\n"
            << log;
    }
}

} // namespace
} // namespace velm
