// Eco-driving at signalised approaches: the reader and its record checks, the
// update schedule, the approach advice (no advice, keep speed, the
// deceleration profiles), the departure advice, the throttle profile and the
// trajectory pricing that leaves the trip's battery alone.
#include "core/demand/demand.h"
#include "core/energy/eco.h"
#include "core/energy/energy.h"

#include "core/io/writers.h"
#include "support/memory_run.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace velm {
namespace {

constexpr int kLink = 3, kNext = 4, kSig = 2, kPhase = 2, kCar = 9, kVid = 5, kType = 1;

std::string record(int link, const std::string& code, int role, int sig, int phase,
                   const std::string& freq = "1 1 1 1 1") {
    return "1 " + std::to_string(link) + " " + code + " " + std::to_string(role) + " " +
           std::to_string(sig) + " " + std::to_string(phase) + " 200 " + freq + " 0 100\n";
}

struct Reader : ::testing::Test {
    support::MemoryRun run;
    void               read(const std::string& body, int count, int fmt = 1) {
                      run.s.units.put_file("ecodrive.dat", "eco test\n" + std::to_string(count) + " " +
                                                               std::to_string(fmt) + "\n" + body);
                      rd_ecodrive(run.s);
    }
    int flag(int l, int k) const { return run.s.ecodrive.eco_flag(l, k); }
};

TEST_F(Reader, FlagIsThePhaseTimesTheClassDigit) {
    const struct {
        const char* code;
        int         phase;
        int         want[kClasses];
    } cases[] = {
        {"10100", 2, {2, 0, 2, 0, 0}}, {"01001", 3, {0, 3, 0, 0, 3}}, {"00000", 2, {0, 0, 0, 0, 0}},
        {"11111", 0, {0, 0, 0, 0, 0}}, {"00200", 3, {0, 0, 6, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        read(record(kLink, c.code, 1, kSig, c.phase), 1);
        for (int k = 1; k <= kClasses; ++k) EXPECT_EQ(flag(kLink, k), c.want[k - 1]) << k;
        EXPECT_NE(run.summary().find("Input of Eco-drive fiel complete"), std::string::npos);
    }
}

TEST_F(Reader, SecondRecordOfALinkKeepsTheFirstFlagsAndTakesTheRest) {
    read(record(kLink, "10000", 1, kSig, 2) + record(kLink, "11000", -1, 7, 3, "2 3 4 5 6"), 2);
    const auto& e = run.s.ecodrive;
    EXPECT_EQ(flag(kLink, 1), 2); // first non-zero flag stays
    EXPECT_EQ(flag(kLink, 2), 3); // was 0, so the second record sets it
    EXPECT_EQ(e.lnk_flag(kLink), -1);
    EXPECT_EQ(e.sig_num(kLink), 7);
    EXPECT_EQ(e.pha_num(kLink), 3);
    EXPECT_FLOAT_EQ(e.freq(kLink, 5), 6.0f);
}

TEST_F(Reader, BadRecordsAreSkippedWithTheirCodeAndTheRestIsRead) {
    const struct {
        std::string bad;
        const char* why;
    } cases[] = {
        {record(5000, "10000", 1, kSig, 2), "link 5000"},
        {record(0, "10000", 1, kSig, 2), "link 0"},
        {record(kLink, "10000", 1, 501, 2), "signal 501"},
        {record(kLink, "10000", 1, kSig, 2, "1 0.005 1 1 1"), "below 0.01"},
        {"1 3 10000 1 2 2 200 1 1 1 1 1 3601 100\n", "detector station"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        support::MemoryRun fresh;
        fresh.s.units.put_file("ecodrive.dat",
                               "t\n2 1\n" + c.bad + record(kNext, "01000", 1, kSig, 3));
        const int before = fresh.s.errcount.numerr;
        rd_ecodrive(fresh.s);
        const std::string log = fresh.log();
        EXPECT_NE(log.find("710910"), std::string::npos) << log;
        EXPECT_NE(log.find(c.why), std::string::npos) << log;
        EXPECT_EQ(fresh.s.errcount.numerr, before + 1);
        EXPECT_EQ(fresh.s.ecodrive.eco_flag(kNext, 2), 3);
        EXPECT_EQ(fresh.s.ecodrive.eco_flag(kLink, 1), 0);
        EXPECT_NE(fresh.summary().find("Input of Eco-drive fiel complete"), std::string::npos);
    }
}

// A cut record, a title-only or half file: an error naming the file and the
// line, counted, and no record kept (eco-drive stays off).
TEST(EcoDriveReader, FileNotReadWholeIsAnErrorAndKeepsNothing) {
    const struct {
        std::string text;
        int         line;
    } cases[] = {
        {"", 1},
        {"eco test\n", 2},
        {"eco test\n2\n", 3},
        {"eco test\n2 1\n" + record(kLink, "10000", 1, kSig, 2) + "2 4 10000 1 2\n", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        support::MemoryRun fresh;
        fresh.s.units.put_file("ecodrive.dat", c.text);
        rd_ecodrive(fresh.s);
        for (int k = 1; k <= kClasses; ++k) EXPECT_EQ(fresh.s.ecodrive.eco_flag(kLink, k), 0);
        const std::string log = fresh.log();
        EXPECT_NE(log.find(free_line(" ecodrive.dat Error", 710920, "at line", c.line)),
                  std::string::npos)
            << log;
        EXPECT_EQ(fresh.s.errcount.numerr, 1);
        EXPECT_NE(fresh.summary().find("Eco-drive file not read whole"), std::string::npos);
    }
}

TEST_F(Reader, MissingFileLeavesNoAdvice) {
    run.s.ecodrive.spdeco(kCar) = 12.0f;
    rd_ecodrive(run.s);
    EXPECT_EQ(run.s.ecodrive.spdeco(kCar), kNoEcoAdvice);
    EXPECT_FLOAT_EQ(run.s.ecodrive.freq(kLink, 1), 36000.0f);
    EXPECT_NE(run.summary().find("No eco-drive file input"), std::string::npos);
}

// --- schedule ---------------------------------------------------------------------

TEST(EcoSchedule, UpdatesOnTheTickMultiplesOfTheInterval) {
    const struct {
        float T;
        int   from, to, want;
    } cases[] = {
        {0.7f, 0, 1000, 143}, {2.0f, 100, 120, 2}, {0.5f, 0, 100, 21},
        {0.0f, 0, 1000, 0},   {1.0f, 0, 100, 11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.T);
        int n = 0, prev = -1;
        for (int t10 = c.from; t10 <= c.to; ++t10) {
            if (!eco_update_due(t10, c.T)) continue;
            if (prev >= 0) {
                EXPECT_EQ(t10 - prev, static_cast<int>(std::lround(c.T * 10))) << t10;
            }
            prev = t10;
            ++n;
        }
        EXPECT_EQ(n, c.want);
    }
    for (int t10 = 101; t10 <= 119; ++t10) EXPECT_FALSE(eco_update_due(t10, 2.0f)) << t10;
    EXPECT_EQ(eco_tick(2.1f), 21);
}

// --- advice -----------------------------------------------------------------------

// An approach link of 500 m ending at signal 2 (cycle 60 s, the link's phase 2
// green from 30 to 60 s, phase 1 showing), then its departure link.
struct Advice : ::testing::Test {
    support::MemoryRun run;
    Sim&               s = run.s;
    void               SetUp() override {
        auto& e = s.ecodrive;
        e.spdeco.fill(kNoEcoAdvice);
        e.eco_fmt = 1;
        e.lnk_flag(kLink) = 1;
        e.sig_num(kLink) = kSig;
        e.dti(kLink) = 300.0f;
        e.dtia(kLink) = 100.0f;
        for (int k = 1; k <= kClasses; ++k) e.freq(kLink, k) = e.freq(kNext, k) = 1.0f;
        e.eco_flag(kLink, 2) = kPhase;
        e.eco_flag(kNext, 2) = kPhase;
        s.link1.spdvol(kLink, 7) = 36.0f; // 10 m/s
        s.link1.spdvol(kLink, 8) = 0.5f;
        s.link1.spdvol(kNext, 7) = 72.0f; // 20 m/s
        s.link1.spdvol(kNext, 8) = 0.5f;
        s.link3.tsignal(kLink) = kSig;
        s.link3.phase(kLink, 1, 1) = kPhase;
        s.link3.phase(kLink, 1, 2) = 111;
        s.signal.cycle(kSig) = 60.0f;
        s.signal.phend(kSig, kPhase, 1) = 30.0f;
        s.signal.phend(kSig, kPhase, 2) = 57.0f;
        s.signal.phend(kSig, kPhase, 3) = 60.0f;
        s.signal.sigstat(kSig, 1) = 1;
        s.vehtre.tre_ind(kCar, 1) = 1;
        s.vehtre.tre_ind(kCar, 2) = 2;
        s.vehtre.vehtre(1, 1) = kLink;
        s.vehtre.vehtre(2, 1) = kNext;
    }
    float advise(float kmh, float t, float pos, int link = kLink) {
        ecodrive(s, kmh, link, 2, kType, kCar, kVid, t, pos);
        return s.ecodrive.spdeco(kCar);
    }
};

TEST_F(Advice, NoAdviceUpstreamOfTheZoneOrWhenArrivingInGreen) {
    EXPECT_EQ(advise(36.0f, 0.0f, 100.0f), kNoEcoAdvice); // 400 m out: zone is the last 300
    // At t = 20 s green is 10 s away and free flow needs 20 s: arrival in green.
    EXPECT_EQ(advise(36.0f, 20.0f, 300.0f), kNoEcoAdvice);
    // Without a path through the signal nothing is advised.
    s.vehtre.tre_ind(kCar, 2) = 1;
    EXPECT_EQ(advise(36.0f, 0.0f, 300.0f), kNoEcoAdvice);
}

TEST_F(Advice, MustWaitButCannotReachTheLineKeepsTheCurrentSpeed) {
    // 200 m to the line, green in 30 s: 5 m/s covers only 150 m by then.
    EXPECT_FLOAT_EQ(advise(18.0f, 0.0f, 300.0f), 18.0f);
}

TEST_F(Advice, EqualCostProfilesTakeTheFirstAndStepOneInterval) {
    // Nothing in the vehicle type costs anything, so every profile ties and
    // the first (decelerating over the whole 30 s) wins: a = (d1 - v ttc) /
    // (c^2/2 - c ttc) with c = ttc; advice v + (vs - v)/c x T = v - a T.
    const struct {
        float kmh, pos, T;
    } cases[] = {{36.0f, 300.0f, 1.0f}, {43.2f, 300.0f, 2.0f}, {36.0f, 330.0f, 1.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pos);
        for (int k = 1; k <= kClasses; ++k) s.ecodrive.freq(kLink, k) = c.T;
        const double v = c.kmh / 3.6, d1 = 500.0 - c.pos, ttc = 30.0;
        const double a = (d1 - v * ttc) / (ttc * ttc / 2 - ttc * ttc);
        ASSERT_GT(v * ttc - d1, 0.0);
        EXPECT_NEAR(advise(c.kmh, 0.0f, c.pos), 3.6 * (v - a * c.T), 1e-3);
    }
}

TEST_F(Advice, CheaperProfilesAreChosenAndOnlyLowerTheSpeed) {
    init_veh_param(s);
    const float got = advise(50.0f, 0.0f, 260.0f);
    EXPECT_LT(got, 50.0f);
    EXPECT_GE(got, 0.0f);
}

TEST_F(Advice, HeldBetweenUpdates) {
    for (int k = 1; k <= kClasses; ++k) s.ecodrive.freq(kLink, k) = 2.0f;
    s.ecodrive.spdeco(kCar) = 77.0f;
    for (float t : {10.1f, 10.5f, 11.9f}) EXPECT_EQ(advise(18.0f, t, 300.0f), 77.0f) << t;
    EXPECT_NE(advise(18.0f, 12.0f, 300.0f), 77.0f);
}

TEST_F(Advice, DepartureLinkAdvice) {
    auto& e = s.ecodrive;
    e.dti(kNext) = 200.0f;
    e.dtia(kNext) = 10.0f;
    e.lnk_flag(kNext) = -2;
    // Already at free speed: this update caps nothing.
    EXPECT_EQ(advise(72.0f, 0.0f, 5.0f, kNext), kNoEcoCap);
    // From standstill over 5 m the constant acceleration would be 40 m/s2.
    EXPECT_FLOAT_EQ(advise(0.0f, 0.0f, 5.0f, kNext), 3.6f * 2.0f);
    // 10 -> 20 m/s over 300 m: 0.5 m/s2.
    e.dtia(kNext) = 305.0f;
    EXPECT_NEAR(advise(36.0f, 0.0f, 5.0f, kNext), 3.6 * (10.0 + 0.5), 1e-3);
    e.lnk_flag(kNext) = 0;
    EXPECT_EQ(advise(0.0f, 0.0f, 5.0f, kNext), kNoEcoAdvice);
}

TEST_F(Advice, ThrottleAdviceOnADepartureLinkPricesWithoutMovingTheBattery) {
    init_veh_param(s);
    auto& ke = s.kzcpxm_energy;
    s.vehper.engine_type(kType) = kBatteryElectric;
    ke.kzcpfm_alpha(kType, 1) = 0.0004f;
    ke.initial_soc(kType) = 0.9f;
    ke.veh_soc(kCar) = 0.5f;
    ke.soc_threshold(kCar) = 0.2f;
    ke.veh_battery_capacity(kCar) = 40.0f;
    s.oddat.curlnk(kVid) = kNext;
    auto& e = s.ecodrive;
    e.dti(kNext) = 200.0f;
    e.dtia(kNext) = 300.0f;
    e.lnk_flag(kNext) = -1;
    const float got = advise(18.0f, 0.0f, 5.0f, kNext);
    EXPECT_GT(got, 18.0f);
    EXPECT_LT(got, 72.0f);
    EXPECT_EQ(ke.veh_soc(kCar), 0.5f);
    // And on the approach.
    init_veh_param(s);
    EXPECT_LT(advise(50.0f, 0.0f, 260.0f), 50.0f);
    EXPECT_EQ(ke.veh_soc(kCar), 0.5f);
}

TEST(EcoThrottle, GradeIsRiseOverRun) {
    auto s = support::memory_sim();
    s->vehper.vehmass(kType) = 1500.0f;
    s->vehper.vehkw(kType) = 100.0f;
    s->vehper.transeff(kType) = 0.9f;
    s->vehper.coeffric(kType) = 0.0f; // no grip: only the grade acts
    const struct { float grade; } cases[] = {{0.05f}, {-0.02f}, {0.0f}};
    for (const auto& c : cases) {
        s->lnkgrade.lnkgrade(kLink) = c.grade;
        Trajectory tr;
        accmode(*s, kLink, 10.0f, 20.0f, 0.5f, 100.0f, tr, kType);
        ASSERT_GE(tr.n, 2);
        EXPECT_NEAR(tr.at(2), 10.0f - c.grade * 9.8066f, 1e-4) << c.grade;
    }
}

TEST(EcoThrottle, ReachesTheTargetThenCruisesTheDistance) {
    auto s = support::logged_sim(support::Opened::run_log_and_summary);
    init_veh_param(*s);
    Trajectory tr;
    accmode(*s, kLink, 5.0f, 15.0f, 1.0f, 2000.0f, tr, kType);
    int    reach = 0;
    double x = 0.0;
    for (int j = 1; j <= tr.n; ++j) {
        x += tr.at(j);
        if (reach == 0 && tr.at(j) >= 15.0f) reach = j;
        if (j > 1 && reach == 0) {
            EXPECT_GT(tr.at(j), tr.at(j - 1)) << j;
        }
    }
    ASSERT_GT(reach, 1);
    for (int j = reach + 1; j <= tr.n; ++j) EXPECT_EQ(tr.at(j), 15.0f) << j;
    EXPECT_NEAR(x, 2000.0, 15.0 + tr.at(reach));
}

} // namespace
} // namespace velm
