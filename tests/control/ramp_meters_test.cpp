// Ramp-meter control: cycles and indications, the smoothing of the detector
// inputs, and the rate rules of a control step (proposals, bounds and
// deficit, the ramp queue and its override, the queue handed upstream, green
// trimming) with the control log they write.
#include "core/control/control.h"
#include "core/io/writers.h"
#include "support/memory_run.h"

#include "support/text.h"
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace velm {
namespace {

using support::has_line;

constexpr int kRamp = 4;

// Smoothed volume, speed and occupancy of one input.
struct In {
    float vol = 0.0f, spd = 0.0f, occ = 0.0f;
};

struct MeterRig : support::MemoryRun {
    explicit MeterRig(int n = 1) {
        s.rmpmeter.nrmpmtr = n;
        s.rmpmeter.size_meters(n);
        for (int r = 1; r <= n; ++r) meter(r, kRamp + r - 1, 900.0f);
    }
    // Meter r on link l at `rate`, bounds 300..1200, threshold 150, every
    // input on a station (station k for input k).
    void meter(int r, int l, float rate) {
        auto& rm = s.rmpmeter;
        rm.rmploc(r, 1) = l;
        rm.rmploc(r, 2) = 1;
        rm.rmprat(r, kRateInForce) = rate;
        rm.rmprat(r, kRateMin) = 300.0f;
        rm.rmprat(r, kRateMax) = 1200.0f;
        rm.rmprat(r, kRateThreshold) = 150.0f;
        for (int k = 1; k <= 8; ++k) rm.rmpdet(r, k) = k;
        rm.rmpgrn(r) = 1.5f;
    }
    void input(int r, int k, In v) {
        s.rmpmeter.rmpflw(r, k, 1) = v.vol;
        s.rmpmeter.rmpflw(r, k, 2) = v.spd;
        s.rmpmeter.rmpflw(r, k, 3) = v.occ;
    }
    // The code of the last block written for meter r.
    int code(int r) const {
        const std::string log = this->log();
        const std::string tag = "  - Ramp =" + fmt_i(r, 7);
        const auto        at = log.rfind(tag);
        if (at == std::string::npos) return -1;
        const auto c = log.find("code=", at);
        return std::stoi(log.substr(c + 5, 7));
    }
    float rate(int r) const { return s.rmpmeter.rmprat(r, kRateInForce); }
};

// Green ticks of meter 1's link over t10 = from .. from + n - 1.
int green_ticks(MeterRig& g, int from, int n) {
    int green = 0;
    for (int t10 = from; t10 < from + n; ++t10) {
        setrmpmet(g.s, t10);
        green += g.s.rmpmeter.rmpset(kRamp) == kMeterGreen ? 1 : 0;
    }
    return green;
}

TEST(RampMeterSignal, CycleFollowsTheRateAndGreenComesFirst) {
    struct Case {
        float rate;
        float cycle; // s
        int   green; // ticks of the first 40
    };
    const Case cases[] = {
        {900.0f, 4.0f, 16}, {4000.0f, 1.0f, 40}, {3600.0f, 1.0f, 40},
        {0.0f, 30.0f, 16},  {-50.0f, 30.0f, 16}, {1800.0f, 2.0f, 32},
    };
    for (const auto& c : cases) {
        MeterRig g;
        g.input(1, kMrg, {2000.0f, 40.0f, 300.0f}); // congested: no rest in green
        g.s.rmpmeter.rmprat(1, kRateInForce) = c.rate;
        updatrmp(g.s, 0);
        EXPECT_FLOAT_EQ(g.s.rmpmeter.rmpcyc(1), c.cycle) << c.rate;
        EXPECT_FLOAT_EQ(g.s.rmpmeter.rmpgrn(1), 1.5f) << c.rate;
        EXPECT_EQ(green_ticks(g, 0, 40), c.green) << c.rate;
    }
    // 900 veh/h: ticks 0..15 of every 40 green, 16..39 red.
    MeterRig g;
    updatrmp(g.s, 0);
    for (int t10 = 0; t10 < 120; ++t10) {
        setrmpmet(g.s, t10);
        EXPECT_EQ(g.s.rmpmeter.rmpset(kRamp), t10 % 40 <= 15 ? kMeterGreen : kMeterRed) << t10;
    }
    // The green survives a cycle update, and the new cycle applies at once.
    g.s.rmpmeter.rmpgrn(1) = 0.7f;
    g.s.rmpmeter.rmprat(1, kRateInForce) = 600.0f;
    updatrmp(g.s, 1);
    EXPECT_FLOAT_EQ(g.s.rmpmeter.rmpgrn(1), 0.7f);
    EXPECT_FLOAT_EQ(g.s.rmpmeter.rmpcyc(1), 6.0f);
    setrmpmet(g.s, 130); // 130 mod 60 = 10: red after 0.7 s of green
    EXPECT_EQ(g.s.rmpmeter.rmpset(kRamp), kMeterRed);
    setrmpmet(g.s, 180);
    EXPECT_EQ(g.s.rmpmeter.rmpset(kRamp), kMeterGreen);
    // At t10 = 0 every other link is cleared.
    g.s.rmpmeter.rmpset(9) = kMeterRed;
    setrmpmet(g.s, 0);
    EXPECT_EQ(g.s.rmpmeter.rmpset(9), kMeterOff);
}

TEST(RampMeterInputs, HalfOldHalfNewOfVolumeSpeedAndLargestLaneOccupancy) {
    MeterRig g;
    auto&    dl = g.s.detloc;
    g.s.rmpmeter.rmpdet(1, 2) = 0; // input 2 without station
    dl.detlink(1) = 7;
    g.s.link1.nulans(7) = 2;
    dl.detlan(1, 2) = 600; // veh/h/lane
    dl.detspd(1, 2) = 80.0f;
    dl.lndt(1, 2, 3, 1) = 120.7f;
    dl.lndt(1, 2, 3, 2) = 250.2f;
    dl.lndt(1, 2, 3, 3) = 999.0f; // no third lane on the link
    g.input(1, 2, {50.0f, 50.0f, 50.0f});
    rampflow(g.s, 20);
    EXPECT_FLOAT_EQ(g.s.rmpmeter.rmpflw(1, 1, 1), 600.0f);
    EXPECT_FLOAT_EQ(g.s.rmpmeter.rmpflw(1, 1, 2), 40.0f);
    EXPECT_FLOAT_EQ(g.s.rmpmeter.rmpflw(1, 1, 3), 125.0f);
    rampflow(g.s, 40);
    EXPECT_FLOAT_EQ(g.s.rmpmeter.rmpflw(1, 1, 1), 900.0f);
    EXPECT_FLOAT_EQ(g.s.rmpmeter.rmpflw(1, 1, 2), 60.0f);
    EXPECT_FLOAT_EQ(g.s.rmpmeter.rmpflw(1, 1, 3), 187.5f);
    EXPECT_FLOAT_EQ(g.s.rmpmeter.rmpflw(1, 2, 1), 50.0f);
}

// One control step from given inputs: the new rate and the code.
TEST(RampMeterControl, ProposalBoundsAndNewRate) {
    struct Case {
        const char* name;
        float       rate;
        In          upst, mrg, dwst, nxt;
        float       queue; // rmprat(1, 9) before
        float       want_rate, want_queue;
        int         code;
    };
    const In   free_up{1800.0f, 100.0f, 10.0f}, free_mrg{2000.0f, 100.0f, 20.0f};
    const Case cases[] = {
        // Light traffic: criocc <= theta / 2, rise of 60.
        {"light", 900.0f, free_up, free_mrg, free_mrg, {}, 0.0f, 960.0f, 0.0f, 117064},
        {"light at the maximum",
         1140.0f,
         free_up,
         free_mrg,
         free_mrg,
         {},
         90.0f,
         1170.0f,
         30.0f,
         118054},
        // Main line congested, proposal far below: limited to R - 200.
        {"congested",
         900.0f,
         {3100.0f, 40.0f, 300.0f},
         {3000.0f, 30.0f, 400.0f},
         {3200.0f, 50.0f, 200.0f},
         {},
         0.0f,
         800.0f,
         0.0f,
         117066},
        // ... and within 200 of the rate: taken as it is.
        {"congested, near",
         900.0f,
         {2086.0f, 40.0f, 150.0f},
         {3000.0f, 30.0f, 160.0f},
         {3200.0f, 50.0f, 150.0f},
         {},
         0.0f,
         877.0f,
         0.0f,
         117067},
        // Congested with room downstream: at most R + 400, then the maximum.
        {"congested, room",
         900.0f,
         {3000.0f, 40.0f, 150.0f},
         {5000.0f, 30.0f, 150.0f},
         {5200.0f, 50.0f, 150.0f},
         {},
         0.0f,
         1050.0f,
         0.0f,
         117058},
        // Below the minimum from a rate at or above it: the minimum, no deficit.
        {"minimum",
         400.0f,
         {3100.0f, 40.0f, 300.0f},
         {3000.0f, 30.0f, 400.0f},
         {3200.0f, 50.0f, 200.0f},
         {},
         0.0f,
         350.0f,
         0.0f,
         117026},
        // From a rate below the minimum: a deficit, the rate jumps to the minimum.
        {"deficit",
         200.0f,
         {3100.0f, 40.0f, 300.0f},
         {3000.0f, 30.0f, 400.0f},
         {3200.0f, 50.0f, 200.0f},
         {},
         0.0f,
         300.0f,
         50.0f,
         129017},
        // The next station congested: min(volthr, vol(Nxt)) - vol(Upst).
        {"next station",
         900.0f,
         {2500.0f, 80.0f, 100.0f},
         {3200.0f, 80.0f, 100.0f},
         {3400.0f, 80.0f, 100.0f},
         {3300.0f, 30.0f, 300.0f},
         0.0f,
         800.0f,
         0.0f,
         117061},
        // Moderate occupancy with spare volume: 60 (theta - criocc) / 10 +
        // volthr - vol(Upst) = 300 + 650, less than R by at most 120.
        {"spare",
         1000.0f,
         {2350.0f, 80.0f, 100.0f},
         {3000.0f, 80.0f, 100.0f},
         {3100.0f, 80.0f, 100.0f},
         {},
         0.0f,
         987.5f,
         0.0f,
         117063},
        // The same with less spare volume: R - 60.
        {"little spare",
         1000.0f,
         {2900.0f, 80.0f, 100.0f},
         {3000.0f, 80.0f, 100.0f},
         {3100.0f, 80.0f, 100.0f},
         {},
         0.0f,
         970.0f,
         0.0f,
         117062},
    };
    for (const auto& c : cases) {
        MeterRig g;
        g.s.rmpmeter.rmprat(1, kRateInForce) = c.rate;
        g.s.rmpmeter.rmprat(1, kRateQueue) = c.queue;
        g.input(1, kUpst, c.upst);
        g.input(1, kMrg, c.mrg);
        g.input(1, kDwst, c.dwst);
        g.input(1, kNxt, c.nxt);
        comprmp1(g.s, 20);
        EXPECT_FLOAT_EQ(g.rate(1), c.want_rate) << c.name;
        EXPECT_FLOAT_EQ(g.s.rmpmeter.rmprat(1, kRateQueue), c.want_queue) << c.name;
        EXPECT_EQ(g.code(1), c.code) << c.name;
    }
}

TEST(RampMeterControl, LightTrafficRaisesTheRateBy60UntilTheMaximumHoldsIt) {
    MeterRig g;
    g.input(1, kMrg, {2000.0f, 100.0f, 20.0f});
    g.input(1, kDwst, {2000.0f, 100.0f, 20.0f});
    std::vector<float> rates;
    for (int t = 20; t <= 400; t += 20) {
        comprmp1(g.s, t);
        rates.push_back(g.rate(1));
    }
    EXPECT_EQ((std::vector<float>(rates.begin(), rates.begin() + 4)),
              (std::vector<float>{960.0f, 1020.0f, 1080.0f, 1140.0f}));
    for (std::size_t i = 1; i < rates.size(); ++i) {
        EXPECT_GE(rates[i], rates[i - 1]);
        EXPECT_LE(rates[i], 1200.0f);
    }
    EXPECT_GT(rates.back(), 1199.0f);
}

// Both queue detectors occupied: halfway to the maximum, then frozen while
// Q2 or Q1 stays occupied, 600 s at most; both free ends it early.
TEST(RampMeterControl, QueueOverrideStartsHoldsAndEnds) {
    const In   busy{400.0f, 10.0f, 400.0f}, idle{400.0f, 50.0f, 20.0f};
    const In   main_line{3000.0f, 60.0f, 300.0f};
    const auto rig = [&] {
        MeterRig g;
        for (const int k : {kUpst, kMrg, kDwst}) g.input(1, k, main_line);
        return g;
    };
    {
        MeterRig g = rig();
        g.input(1, kQ1, busy);
        g.input(1, kQ2, busy);
        comprmp1(g.s, 200);
        EXPECT_EQ(g.code(1), 111066);
        EXPECT_FLOAT_EQ(g.rate(1), 0.5f * (1200.0f + 900.0f));
        EXPECT_FLOAT_EQ(g.s.rmpmeter.rmprat(1, kRateOverrideEnd), 800.0f);
        const float held = g.rate(1);
        // Frozen while Q2, or else Q1, stays occupied, up to t = 800; the
        // log shows the rate in force as the proposal.
        for (int t = 220; t <= 800; t += 20) {
            if (t == 400) g.input(1, kQ2, idle);
            comprmp1(g.s, t);
            EXPECT_EQ(g.code(1), t < 400 ? 500000 : 600000) << t;
            EXPECT_FLOAT_EQ(g.rate(1), held) << t;
        }
        EXPECT_TRUE(has_line(g.log(), "      oth:      4   15.0   30.0 3000.0 1050.0    1.5"))
            << g.log();
        // Past t = 800 the rules run again.
        comprmp1(g.s, 820);
        EXPECT_EQ(g.code(1) / 100000, 1);
        EXPECT_NE(g.rate(1), held);
    }
    {
        MeterRig g = rig();
        g.input(1, kQ1, busy);
        g.input(1, kQ2, busy);
        comprmp1(g.s, 200);
        g.input(1, kQ1, idle);
        g.input(1, kQ2, idle);
        comprmp1(g.s, 300);
        EXPECT_EQ(g.code(1), 717066);
        EXPECT_FLOAT_EQ(g.s.rmpmeter.rmprat(1, kRateOverrideEnd), 300.0f);
        EXPECT_FLOAT_EQ(g.rate(1), 0.5f * (1050.0f - 200.0f) + 0.5f * 1050.0f);
    }
}

// Q2 occupied alone: the queue estimate follows the volumes of Q1 and Q2.
TEST(RampMeterControl, RampQueueEstimate) {
    struct Case {
        float q1_vol, q2_vol, before, after;
        int   digit; // thousands of the code
    };
    const Case cases[] = {
        {700.0f, 500.0f, 40.0f, 140.0f, 3},
        {500.0f, 560.0f, 40.0f, 10.0f, 4},
        {500.0f, 560.0f, 20.0f, 0.0f, 4},
        {500.0f, 520.0f, 40.0f, 40.0f, 5},
    };
    for (const auto& c : cases) {
        MeterRig g;
        g.input(1, kQ1, {c.q1_vol, 30.0f, 50.0f});
        g.input(1, kQ2, {c.q2_vol, 10.0f, 400.0f});
        g.s.rmpmeter.rmprat(1, kRateQueue) = c.before;
        comprmp1(g.s, 20);
        EXPECT_FLOAT_EQ(g.s.rmpmeter.rmprat(1, kRateQueue), c.after) << c.q1_vol;
        EXPECT_EQ(g.code(1) / 1000 % 10, c.digit) << c.q1_vol;
    }
}

// A downstream meter's queue estimate lowers its upstream meter's volthr
// from the next step; of two meters naming the same upstream meter the
// higher-numbered one wins.
TEST(RampMeterControl, QueueHandedToTheUpstreamMeter) {
    for (const bool third_larger : {true, false}) {
        MeterRig g(3);
        g.s.rmpmeter.rmploc(2, 3) = 1;
        g.s.rmpmeter.rmploc(3, 3) = 1;
        g.s.rmpmeter.rmprat(2, kRateQueue) = third_larger ? 100.0f : 300.0f;
        g.s.rmpmeter.rmprat(3, kRateQueue) = third_larger ? 300.0f : 100.0f;
        g.input(1, kMrg, {3000.0f, 90.0f, 20.0f});
        g.input(1, kDwst, {3200.0f, 90.0f, 20.0f});
        comprmp1(g.s, 20);
        const float want = third_larger ? 300.0f : 100.0f;
        EXPECT_FLOAT_EQ(g.s.rmpmeter.rmprat(1, kRateQueueIn), want);
        EXPECT_TRUE(has_line(g.log(), "      oth:      4   15.0    2.0" +
                                          fmt_f(3000.0f - want, 7, 1) + " 1020.0    1.5"))
            << g.log();
    }
}

// Occupancy before the meter above that after it by more than 100: the
// green grows 0.2 s while the rate is well above vol(Out) and shrinks 0.1 s
// while well below, never under 0.1 s, so the ramp is never shut for good.
TEST(RampMeterControl, GreenTrimming) {
    {
        MeterRig g;
        g.input(1, kIn, {600.0f, 20.0f, 350.0f});
        g.input(1, kOut, {500.0f, 40.0f, 100.0f});
        for (int t = 20; t <= 60; t += 20) {
            comprmp1(g.s, t);
            EXPECT_EQ(g.code(1) / 100 % 10, 1) << t;
        }
        EXPECT_NEAR(g.s.rmpmeter.rmpgrn(1), 2.1f, 1e-5f);
    }
    {
        MeterRig g;
        g.input(1, kIn, {600.0f, 20.0f, 400.0f});
        g.input(1, kOut, {1500.0f, 40.0f, 0.0f});
        for (int t = 20; t <= 400; t += 20) {
            comprmp1(g.s, t);
            EXPECT_EQ(g.code(1) / 100 % 10, 2) << t;
        }
        EXPECT_FLOAT_EQ(g.s.rmpmeter.rmpgrn(1), 0.1f);
        updatrmp(g.s, 1);
        const int c = static_cast<int>(10.0f * g.s.rmpmeter.rmpcyc(1));
        EXPECT_GE(green_ticks(g, 1000, c), 1);
        // No trimming when the occupancies are within 100 of each other.
        g.input(1, kOut, {1500.0f, 40.0f, 300.0f});
        comprmp1(g.s, 420);
        EXPECT_EQ(g.code(1) / 100 % 10, 0);
    }
}

TEST(RampMeterControl, ControlLogBlock) {
    MeterRig g;
    g.input(1, kQ1, {400.4f, 30.0f, 20.0f});
    g.input(1, kQ2, {500.0f, 25.0f, 200.6f});
    g.input(1, kIn, {600.0f, 20.0f, 350.0f});
    g.input(1, kOut, {500.0f, 40.0f, 100.0f});
    g.input(1, kUpst, {3000.0f, 90.0f, 120.0f});
    g.input(1, kMrg, {3600.0f, 80.0f, 140.0f});
    g.input(1, kDwst, {3800.0f, 85.0f, 130.0f});
    g.input(1, kNxt, {3500.0f, 95.0f, 90.0f});
    g.s.rmpmeter.rmprat(1, kRateQueueIn) = 100.0f;
    g.s.rmpmeter.rmprat(1, kRateQueue) = 50.0f;
    comprmp1(g.s, 60);
    // volthr 3600 - 100; criocc 140 below 150; proposal 60 (150 - 140) / 10 +
    // 3500 - 3000 = 560, far below 900: 840; Q2 occupied, Q1 not, fewer
    // vehicles at Q1 than at Q2: queue 50 - 30; green + 0.2 s.
    const std::vector<std::string> want = {
        free_line("------------------------------"),
        free_line(" Ramp metering at time :", 60),
        free_line(" Number of ramp meters :", 1),
        "  - Ramp =      1 t=     60 code= 114162",
        "       i :      1      2      3      4      5      6      7      8",
        "      det:      1      2      3      4      5      6      7      8",
        "      vol:  400.4  500.0  600.0  500.0 3000.0 3600.0 3800.0 3500.0",
        "      occ:    2.0   20.1   35.0   10.0   12.0   14.0   13.0    9.0",
        "      spd:   30.0   25.0   20.0   40.0   90.0   80.0   85.0   95.0",
        "      rat:  870.0  300.0 1200.0  150.0    0.0    0.0    0.0  100.0   20.0",
        "      oth:      4   15.0   14.0 3500.0  840.0    1.7",
        free_line("  "),
        free_line("  "),
    };
    EXPECT_EQ(support::lines_of(g.log()), want);
}

TEST(RampMeterControl, NoMetersNoLog) {
    MeterRig g(0);
    rampflow(g.s, 20);
    comprmp1(g.s, 20);
    updatrmp(g.s, 1);
    EXPECT_EQ(g.log(), "");
}

} // namespace
} // namespace velm
