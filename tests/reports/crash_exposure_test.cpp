// Crash-risk exposure: the rate by the link's free speed, the severity and
// damage split by the vehicle's speed, the per-trip and per-link sums of the
// per-second update, and the optional accident-rate file.
#include "core/reports/crash_exposure.h"
#include "core/reports/reports.h"

#include "support/memory_run.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace velm {
namespace {

using support::contains;
using support::count_of;
using support::MemoryRun;

float crashes(float freespd) {
    return crash_amounts(freespd, 50.0f)[0];
}

TEST(CrashRate, FollowsTheFreeSpeedWithinTheFittedSpeeds) {
    const struct { float freespd, rate; } cases[] = {{100.0f, 0.025232f}, {50.0f, 0.04739f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.freespd);
        EXPECT_NEAR(crashes(c.freespd), c.rate, 2e-5f);
    }
    // Below 20 mph and above 120 mph the rate holds its edge value.
    EXPECT_FLOAT_EQ(crashes(5.0f), crashes(32.0f));
    EXPECT_FLOAT_EQ(crashes(0.0f), crashes(32.0f));
    EXPECT_FLOAT_EQ(crashes(250.0f), crashes(192.0f));
    EXPECT_GT(crashes(40.0f), crashes(120.0f));

    // The rate per vehicle-km is the rate per vehicle-second over the km of a second.
    std::array<float, kCrashRateEquations> rate{}, rate2{};
    acc_rat(80.0f, rate, rate2);
    for (int r = 0; r < kCrashRateEquations; ++r)
        EXPECT_NEAR(rate2[static_cast<std::size_t>(r)],
                    rate[static_cast<std::size_t>(r)] * 3600.0f / 80.0f, 1e-6f)
            << r + 1;
}

TEST(CrashShares, StandstillCountsAsThirtyMphAndSharesSumToOne) {
    std::array<float, kInjuryShares> inj0{}, inj30{};
    std::array<float, kDamageShares> dam0{}, dam30{};
    acc_inj(0.0f, inj0);
    acc_inj(48.0f, inj30);
    acc_dam(0.0f, dam0);
    acc_dam(48.0f, dam30);
    EXPECT_EQ(inj0, inj30);
    EXPECT_EQ(dam0, dam30);
    for (float v : {0.0f, 48.0f, 80.0f, 130.0f, 192.0f, 300.0f}) {
        SCOPED_TRACE(v);
        std::array<float, kInjuryShares> inj{};
        std::array<float, kDamageShares> dam{};
        acc_inj(v, inj);
        acc_dam(v, dam);
        float si = 0.0f, sd = 0.0f;
        for (float f : inj) {
            EXPECT_GE(f, 0.0f);
            si += f;
        }
        for (float f : dam) {
            EXPECT_GE(f, 0.0f);
            sd += f;
        }
        EXPECT_NEAR(si, 1.0f, 1e-5f);
        EXPECT_NEAR(sd, 1.0f, 1e-5f);
    }
}

TEST(CrashAmounts, SeveritiesAndDamageLevelsNeverExceedTheCrashes) {
    for (float freespd = 0.0f; freespd <= 200.0f; freespd += 25.0f)
        for (float v = 0.0f; v <= 220.0f; v += 5.0f) {
            const auto a = crash_amounts(freespd, v);
            SCOPED_TRACE(std::to_string(freespd) + " km/h link, vehicle at " + std::to_string(v));
            for (float x : a) EXPECT_GE(x, 0.0f);
            EXPECT_LE(a[1] + a[2], a[0] * (1.0f + 1e-6f));
            EXPECT_LE(a[3] + a[4] + a[5], a[0] * (1.0f + 1e-6f));
        }
}

// One link at 80 km/h with trips 1 and 2 (slots 11 and 12) at 20 and 90 km/h.
struct TwoVehicles : ::testing::Test {
    MemoryRun run;
    Sim&      s = run.s;
    void      SetUp() override {
        s.link2.mlnum = 2;
        s.link4.freespd(1) = 80.0f;
        s.link2.ntqu(1) = 2;
        s.link2.nbqu(1) = 0;
        s.vehicle.big(1) = 1;
        s.vehicle.big(2) = 2;
        s.vehindx.vehid(1) = 11;
        s.vehindx.vehid(2) = 12;
        s.vehplot.spd(11, 4) = 20.0f;
        s.vehplot.spd(12, 4) = 90.0f;
        s.vehplot.trpdst(1, 1) = 0.4f;
        s.vehplot.trpdst(2, 1) = 1.25f;
    }
};

TEST_F(TwoVehicles, SameCrashExposureDifferentSplitsSummedPerTripAndLink) {
    updtacci(s);
    s.vehplot.trpdst(1, 1) = 0.5f;
    updtacci(s);
    const auto& va = s.accid.vehacc;
    const auto& la = s.accid.linkacc;
    const float e = std::exp(-2.419018f - 0.02017025f * 50.0f); // 80 km/h = 50 mph
    EXPECT_NEAR(va(1, 3, 1), e, 1e-6f);
    EXPECT_EQ(va(1, 3, 1), va(2, 3, 1));
    EXPECT_NE(va(1, 3, 2), va(2, 3, 2)); // injury split by the vehicle's own speed
    EXPECT_NE(va(1, 3, 4), va(2, 3, 4));
    for (int car : {1, 2})
        for (int c = 1; c <= kCrashCategories; ++c) {
            SCOPED_TRACE(std::to_string(car) + " category " + std::to_string(c));
            EXPECT_FLOAT_EQ(va(car, 1, c), 2.0f * va(car, 3, c));
            EXPECT_FLOAT_EQ(va(car, 2, c), 2.0f * va(car, 3, c));
        }
    for (int c = 1; c <= kCrashCategories; ++c) {
        EXPECT_FLOAT_EQ(la(1, 1, c), va(1, 2, c) + va(2, 2, c)) << c;
        EXPECT_FLOAT_EQ(la(1, 2, c), va(1, 2, c) + va(2, 2, c)) << c;
        EXPECT_EQ(la(2, 2, c), 0.0f) << c;
    }
    EXPECT_EQ(s.vehplot.trpdst(1, 2), 0.5f);
    EXPECT_EQ(s.vehplot.trpdst(2, 2), 1.25f);
}

// What the severities leave out of the crashes is the no-injury share, and
// what the damage levels leave out is the last damage share.
TEST_F(TwoVehicles, CategoriesTakeTheirOwnShares) {
    updtacci(s);
    for (int car : {1, 2}) {
        SCOPED_TRACE(car);
        const float                      v = s.vehplot.spd(car + 10, 4);
        std::array<float, kInjuryShares> inj{};
        std::array<float, kDamageShares> dam{};
        acc_inj(v, inj);
        acc_dam(v, dam);
        const auto& va = s.accid.vehacc;
        const float e = va(car, 3, 1);
        EXPECT_NEAR(va(car, 3, 3), e * inj[4], 1e-9f);
        EXPECT_NEAR(e - va(car, 3, 2) - va(car, 3, 3), e * inj[0], 1e-7f);
        EXPECT_NEAR(va(car, 3, 4), e * dam[0], 1e-9f);
        EXPECT_NEAR(va(car, 3, 5), e * dam[1], 1e-9f);
        EXPECT_NEAR(va(car, 3, 6), e * dam[2], 1e-9f);
    }
    // The fatal share at 30 mph from its cubic, over the sum of the five.
    const double x = 30.0;
    const double raw[5] = {
        0.6849068 - 0.01834902 * x + 0.000404226 * x * x - 2.93146e-06 * x * x * x,
        0.06149882 + 0.001148376 * x + 8.36568e-05 * x * x - 1.31214e-06 * x * x * x,
        0.3813167 - 0.01113108 * x + 0.000156714 * x * x - 7.44377e-07 * x * x * x,
        -0.3307537 + 0.03030406 * x - 0.00069379 * x * x + 5.08542e-06 * x * x * x,
        -0.0339185 + 0.002760289 * x - 6.63681e-05 * x * x + 5.31696e-07 * x * x * x};
    double sum = 0.0;
    for (double r : raw) sum += r > 0.0 ? r : 0.0;
    std::array<float, kInjuryShares> inj{};
    acc_inj(48.0f, inj);
    EXPECT_NEAR(inj[4], (raw[4] > 0.0 ? raw[4] : 0.0) / sum, 1e-5);
    EXPECT_NEAR(inj[1], raw[1] / sum, 1e-5);
}

TEST_F(TwoVehicles, TheLatestSecondIsReplacedTheSumsOnlyGrow) {
    updtacci(s);
    const float first = s.accid.vehacc(1, 3, 2);
    s.accid.vehacc(1, 1, 1) = 0.0f; // the vehicle left a link
    s.vehplot.spd(11, 4) = 120.0f;
    updtacci(s);
    EXPECT_NE(s.accid.vehacc(1, 3, 2), first);
    EXPECT_FLOAT_EQ(s.accid.vehacc(1, 2, 2), first + s.accid.vehacc(1, 3, 2));
    EXPECT_FLOAT_EQ(s.accid.vehacc(1, 1, 1), s.accid.vehacc(1, 3, 1));
}

// --- the accident-rate file ---------------------------------------------------

std::string rows(int n, int cols, const std::string& value) {
    std::string t;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < cols; ++j) t += value + " ";
        t += "\n";
    }
    return t;
}

std::string whole_file() {
    return "Base rates of the test\n" + rows(5, 8, "0.5") + "Gadget factors\n" +
           rows(16, 9, "1.5") + "Gadget groups\n" + rows(5, 2, "3");
}

TEST(AccidentRateFile, ReadWholeOrFallsBackToTheDefaultsAndSaysWhere) {
    const std::string full = whole_file();
    const struct {
        const char* what;
        bool        present;
        std::string text;
        bool        read;
        int         stopped_at; // the line the run log names; 0: no run-log line
    } cases[] = {
        {"no file", false, "", false, 0},
        {"whole file", true, full, true, 0},
        {"ends in the gadget table", true,
         "Base rates\n" + rows(5, 8, "0.5") + "Gadget factors\n" + rows(10, 9, "1.5"), false, 18},
        {"a word in the base rates", true, "Base rates\n" + rows(2, 8, "0.5") + "x\n", false, 4},
        {"empty", true, "", false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryRun run;
        if (c.present) run.s.units.put_file("accirate.dat", c.text);
        readacci(run.s);
        const auto&       a = run.s.accid;
        const std::string sum = run.summary();
        EXPECT_TRUE(support::has_line(sum, "  15. Accident Rate Analysis ")) << sum;
        EXPECT_EQ(contains(sum, "     - Setting default accident rates     "), !c.read) << sum;
        EXPECT_EQ(contains(sum, "     - Input of Accident Rates complete   "), c.read) << sum;
        EXPECT_EQ(contains(sum, "Accident and Gadget factor file open"), c.present) << sum;
        EXPECT_EQ(a.baseacci(5, 8), c.read ? 0.5f : 0.352f);
        EXPECT_EQ(a.baseacci(1, 1), c.read ? 0.5f : 0.352f);
        EXPECT_EQ(a.gadfact(16, 9), c.read ? 1.5f : 1.0f);
        EXPECT_EQ(a.accigrp(5, 2), c.read ? 3 : 9);
        const std::string log = run.log();
        EXPECT_EQ(count_of(log, "810810"), c.stopped_at > 0 ? 1 : 0) << log;
        if (c.stopped_at > 0) {
            const std::string n = std::to_string(c.stopped_at);
            EXPECT_TRUE(contains(log, "at line" + std::string(12 - n.size(), ' ') + n)) << log;
        }
        EXPECT_FALSE(run.s.units.is_open(kUnitInput));
    }
}

TEST(AccidentRateFile, EchoesTheThreeTitlesAndTheirProgress) {
    MemoryRun run;
    run.s.units.put_file("accirate.dat", whole_file());
    readacci(run.s);
    const std::string sum = run.summary();
    for (const char* part :
         {"Base accident rate file  :Base rates of the test", "Base accident rate input complete",
          "Gadget factor data file  :Gadget factors", "Gadget factor input complete",
          "Gadget factor index file :Gadget groups", "Gadget index  input complete"})
        EXPECT_TRUE(contains(sum, part)) << part << "\n" << sum;
}

} // namespace
} // namespace velm
