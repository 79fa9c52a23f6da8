// Eco speed advice through several signals: the reader and its record checks,
// the queue history, the signal-timing and arrival tests, the one-signal
// profile advice and the fall-back from two signals to one.
#include "core/energy/eco.h"
#include "core/energy/energy.h"

#include "core/io/writers.h"
#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <string>

namespace velm {
namespace {

constexpr int kLink = 3, kMid = 4, kNext = 5, kS1 = 2, kS2 = 6, kPhase = 2;
constexpr int kCar = 9, kVid = 5;

struct EcmsReader : ::testing::Test {
    support::MemoryRun run;
    void               read(const std::string& body, int count) {
                      run.s.units.put_file("ecaccms.dat", "ms test\n" + std::to_string(count) + " 1\n" + body);
                      rd_ecaccms(run.s);
    }
};

const std::string kGood = "9 7 01000 0 1 1  4 0 0 12 100 300\n";

// Six signals of six values each, all on one line.
std::string six() {
    std::string t;
    for (int k = 0; k < 6; ++k) t += " 1 0 0 0 0 0";
    return t;
}

TEST_F(EcmsReader, RolesFromTheSignalCount) {
    read("1 3 10100 20 2 2  2 0 0 11 50 0  6 0 0 12 80 300\n" + kGood +
             "3 8 01000 0 1 -1  9 9 9 9 9 9\n",
         3);
    const auto& m = run.s.ecms;
    EXPECT_EQ(m.lnk_up(3), 2);
    EXPECT_EQ(m.lnk_down(3, 2, 1), 6);
    EXPECT_EQ(m.lnk_down(3, 2, 5), 300);
    EXPECT_EQ(m.msdet(3), 12); // the last signal's station
    EXPECT_EQ(m.msflag(3, 1), 1);
    EXPECT_EQ(m.msflag(3, 3), 1);
    EXPECT_EQ(m.msflag(3, 2), 0);
    EXPECT_EQ(m.lnk_up(7), 1);
    // The departure record: role 0, none of its values stored.
    EXPECT_EQ(m.lnk_up(8), 0);
    EXPECT_EQ(m.lnku(8), -1);
    for (int j = 1; j <= 5; ++j) EXPECT_EQ(m.lnk_down(8, 1, j), 0) << j;
    EXPECT_EQ(m.msdet(8), 0);
    EXPECT_NE(run.summary().find("Input of ECACC Multiple Signals complete"), std::string::npos);
}

TEST_F(EcmsReader, BadRecordsAreSkippedWithTheirCodeAndTheRestIsRead) {
    const std::string six_signals = six();
    const struct {
        std::string bad;
        const char* why;
    } cases[] = {
        {"1 3 01000 0 1 0\n", "0 signals"},
        {"1 3 01000 0 1 6" + six_signals + "\n", "6 signals"},
        {"1 5000 01000 0 1 1 2 0 0 0 0 0\n", "link 5000"},
        {"1 3 01000 0 1 1 501 0 0 0 0 0\n", "signal 501"},
        {"1 3 01000 0 1 1 2 0 0 3601 0 0\n", "detector station"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        support::MemoryRun fresh;
        fresh.s.units.put_file("ecaccms.dat", "t\n2 1\n" + c.bad + kGood);
        rd_ecaccms(fresh.s);
        const std::string log = fresh.log();
        EXPECT_NE(log.find("711010"), std::string::npos) << log;
        EXPECT_NE(log.find(c.why), std::string::npos) << log;
        EXPECT_EQ(fresh.s.errcount.numerr, 1);
        EXPECT_EQ(fresh.s.ecms.msflag(3, 2), 0);
        EXPECT_EQ(fresh.s.ecms.lnk_down(7, 1, 1), 4);
        EXPECT_EQ(fresh.s.ecms.msflag(7, 2), 1);
    }
}

// A cut record, a title-only or half file: an error naming the file and the
// line, counted, and no record kept (the strategy stays off).
TEST_F(EcmsReader, FileNotReadWholeIsAnErrorAndKeepsNothing) {
    const struct {
        std::string text;
        int         line;
    } cases[] = {
        {"", 1},
        {"ecms test\n", 2},
        {"ecms test\n2\n", 3},
        {"ecms test\n2 1\n" + kGood + "2 3 01000 0 1 2 2 0 0\n", 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        support::MemoryRun fresh;
        fresh.s.units.put_file("ecaccms.dat", c.text);
        rd_ecaccms(fresh.s);
        EXPECT_EQ(fresh.s.ecms.lnk_up(7), 0);
        EXPECT_EQ(fresh.s.ecms.msflag(7, 2), 0);
        const std::string log = fresh.log();
        EXPECT_NE(log.find(free_line(" ecaccms.dat Error", 711020, "at line", c.line)),
                  std::string::npos)
            << log;
        EXPECT_EQ(fresh.s.errcount.numerr, 1);
        EXPECT_NE(fresh.summary().find("ECACC Multiple Signals file not read whole"),
                  std::string::npos);
    }
}

// Link 3 (500 m, 36 km/h) ends at signal 2; link 4 (300 m) ends at signal 6;
// link 5 runs at 72 km/h. Both signals: cycle 60 s, phase 2 green 30..60 s,
// phase 1 showing. The vehicle type costs nothing, so profiles tie.
struct EcmsAdvice : ::testing::Test {
    support::MemoryRun run;
    Sim&               s = run.s;
    void               SetUp() override {
        auto& m = s.ecms;
        m.msspd.fill(kNoEcoAdvice);
        m.msfmt = 1;
        m.msflag(kLink, 2) = 1;
        m.msfreq(kLink) = 1.0f;
        m.lnku(kLink) = 1;
        m.lnk_up(kLink) = 1;
        m.lnk_down(kLink, 1, 1) = kS1;
        m.lnk_down(kLink, 1, 4) = 100;
        m.lnk_down(kLink, 2, 1) = kS2;
        m.lnk_down(kLink, 2, 4) = 100;
        m.lnk_down(kLink, 2, 5) = 300;
        for (int l : {kLink, kMid, kNext}) {
                          s.link1.spdvol(l, 4) = 30.0f;
                          s.link1.spdvol(l, 5) = 150.0f;
                          s.link1.spdvol(l, 6) = 1800.0f;
                          s.link1.spdvol(l, 7) = l == kNext ? 72.0f : 36.0f;
                          s.link1.spdvol(l, 8) = l == kMid ? 0.3f : 0.5f;
        }
        for (auto [l, sig] : {std::pair{kLink, kS1}, std::pair{kMid, kS2}}) {
                          s.link3.tsignal(l) = sig;
                          s.link3.phase(l, 1, 1) = kPhase;
                          s.link3.phase(l, 1, 2) = 111;
                          s.signal.cycle(sig) = 60.0f;
                          s.signal.phend(sig, kPhase, 1) = 30.0f;
                          s.signal.phend(sig, kPhase, 3) = 60.0f;
                          s.signal.sigstat(sig, 1) = 1;
        }
        s.vehtre.tre_ind(kCar, 1) = 1;
        s.vehtre.tre_ind(kCar, 2) = 3;
        s.vehtre.vehtre(1, 1) = kLink;
        s.vehtre.vehtre(2, 1) = kMid;
        s.vehtre.vehtre(3, 1) = kNext;
    }
    float advise(float kmh, float t, float pos) {
        ecaccms(s, kmh, kLink, 2, 1, kCar, kVid, t, pos);
        return s.ecms.msspd(kCar);
    }
};

TEST_F(EcmsAdvice, SignalTimingBranches) {
    s.signal.phend(kS1, kPhase, 1) = 30.0f;
    s.signal.phend(kS1, kPhase, 3) = 40.0f; // green and intergreen 30..40
    const struct {
        float ctim, ttc, tph;
    } within[] = {{10.0f, 20.0f, 10.0f}, {45.0f, 45.0f, 10.0f}, {35.0f, 5.0f, 50.0f}};
    for (const auto& c : within) {
        float ttc = -1.0f, tph = -1.0f;
        sigtim(s, kS1, kPhase, c.ctim, ttc, tph);
        EXPECT_FLOAT_EQ(ttc, c.ttc) << c.ctim;
        EXPECT_FLOAT_EQ(tph, c.tph) << c.ctim;
    }
}

TEST_F(EcmsAdvice, ArrivalTestWithoutQueue) {
    const struct {
        int   showing;
        float ttc, tph, ttemp1;
        int   flag;
        float ttc_out, ttemp1_out;
    } cases[] = {
        {kPhase, 0.0f, 25.0f, 10.0f, 1, 25.0f, 10.0f},  // green now, ends after arrival
        {1, 0.0f, 25.0f, 30.0f, 2, 60.0f, 30.0f},       // red, arrival after it
        {1, 20.0f, 30.0f, 10.0f, 1, 20.0f, 10.0f},      // arrives before green
        {kPhase, 20.0f, 30.0f, 25.0f, 2, 50.0f, 25.0f}, // misses this green
        {kPhase, 20.0f, 30.0f, 15.0f, 0, 20.0f, 15.0f}, // passes
        {1, 20.0f, 30.0f, 130.0f, 1, 140.0f, 10.0f},    // two cycles added back
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ttemp1);
        s.signal.sigstat(kS1, 1) = c.showing;
        float ttc = c.ttc, ttemp1 = c.ttemp1;
        int   flag = -1;
        sigtimnq(s, kS1, kPhase, ttc, c.tph, ttemp1, flag);
        EXPECT_EQ(flag, c.flag);
        EXPECT_FLOAT_EQ(ttc, c.ttc_out);
        EXPECT_FLOAT_EQ(ttemp1, c.ttemp1_out);
    }
}

TEST_F(EcmsAdvice, QueueHistoryOncePerLinkAndSecond) {
    auto& m = s.ecms;
    m.msfmt = 2;
    m.hisque(kLink, 11) = 5.0f;
    s.link2.rqs(kLink) = 10;
    advise(36.0f, 10.0f, 300.0f);
    s.ecms.msspd(kCar + 1) = 0.0f;
    ecaccms(s, 36.0f, kLink, 2, 1, kCar + 1, kVid + 1, 10.0f, 320.0f);
    EXPECT_FLOAT_EQ(m.hisque(kLink, 11), 0.8f * 10.0f + 0.2f * 5.0f);
    EXPECT_FLOAT_EQ(m.jsp(kLink), 1000.0f / 150.0f);
    // Not on a tenth, and again in the next second.
    advise(36.0f, 10.5f, 300.0f);
    EXPECT_FLOAT_EQ(m.hisque(kLink, 11), 9.0f);
    advise(36.0f, 11.0f, 300.0f);
    EXPECT_FLOAT_EQ(m.hisque(kLink, 12), 8.0f);
}

TEST_F(EcmsAdvice, FreeArrivalGetsNoCap) {
    // At t = 20 green starts in 10 s; 200 m at 10 m/s take 20 s.
    EXPECT_EQ(advise(36.0f, 20.0f, 300.0f), kNoEcoAdvice);
    s.ecms.msflag(kLink, 2) = 0;
    EXPECT_EQ(advise(36.0f, 0.0f, 300.0f), kNoEcoAdvice);
}

TEST_F(EcmsAdvice, RedArrivalFollowsTheFirstProfileSegment) {
    // 200 m to the line, green in 30 s; the first candidate (tt = 1) wins the
    // tie: a1 = (dx1 - u0 ttc1)/(ttc1 - 1/2).
    const double u0 = 10.0, a1 = (200.0 - u0 * 30.0) / (30.0 - 0.5);
    const struct {
        float  T;
        double want;
    } cases[] = {{0.5f, u0 + 0.5 * a1}, {3.0f, u0 + a1}, {1.0f, u0 + a1}};
    for (const auto& c : cases) {
        s.ecms.msfreq(kLink) = c.T;
        EXPECT_NEAR(advise(36.0f, 0.0f, 300.0f), 3.6 * c.want, 1e-3) << c.T;
        EXPECT_EQ(s.ecms.ecms_ctl(kCar), 0);
        for (int j = 1; j <= 3; ++j) EXPECT_EQ(s.ecms.msque(kCar, j), 0.0f);
    }
}

TEST_F(EcmsAdvice, AnotherControlBetweenTheSignalsFallsBackToOneSignal) {
    const float one = advise(36.0f, 0.0f, 300.0f);
    ASSERT_NE(one, kNoEcoAdvice);
    auto& m = s.ecms;
    m.lnku(kLink) = 2;
    m.lnk_up(kLink) = 2;
    for (int between : {10001, 10002, 7}) {
        s.link3.tsignal(kMid) = between;
        m.msspd(kCar) = 0.0f;
        EXPECT_FLOAT_EQ(advise(36.0f, 0.0f, 300.0f), one) << between;
    }
    // With the second listed signal there, the two-signal search runs instead.
    s.link3.tsignal(kMid) = kS2;
    m.msspd(kCar) = 0.0f;
    const float two = advise(36.0f, 0.0f, 300.0f);
    EXPECT_NE(two, 0.0f);
    EXPECT_LE(two, kNoEcoAdvice);
}

} // namespace
} // namespace velm
