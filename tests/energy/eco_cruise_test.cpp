// Eco cruise control: the class reader and its record checks, the fuel
// coefficients and what their absence or damage does, the vehicle-dynamics
// helpers against hand-worked physics, and the cruise-speed search through
// the speed cap chain (gap release, schedule, band, cheapest candidate, ties,
// the lane-gap sentinel and the grade past the link end).
#include "core/demand/demand.h"
#include "core/energy/eco_cruise.h"
#include "core/energy/energy.h"
#include "core/movement/speed_caps.h"

#include "core/io/writers.h"
#include "support/memory_run.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace velm {
namespace {

constexpr int kLink = 3, kNext = 4, kCar = 9, kVid = 5, kType = 1;

// One line of "input_eccs.dat": record, class, look-ahead, interval, target,
// half band, spacing threshold.
std::string cruise(int k, int tinvl = 1, float target = 60.0f, float band = 5.0f,
                   float s_thr = 0.0f, float d_la = 1000.0f) {
    return "1 " + std::to_string(k) + " " + std::to_string(d_la) + " " + std::to_string(tinvl) +
           " " + std::to_string(target) + " " + std::to_string(band) + " " + std::to_string(s_thr) +
           "\n";
}

std::string cruise_file(const std::string& records, int count, int fmt = 1) {
    return "cruise test\n" + std::to_string(count) + " " + std::to_string(fmt) + "\n" + records;
}

int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// --- reader -----------------------------------------------------------------------

TEST(CruiseReader, RecordsSetTheirClassAndTheEchoSaysSo) {
    support::MemoryRun run;
    run.s.units.put_file("input_eccs.dat",
                         cruise_file(cruise(2, 5, 70.0f, 4.0f, 20.0f, 800.0f) + cruise(4, 2), 2));
    run.s.units.put_file("emission.dat", "fuel\n0 1\n");
    rd_eccs(run.s);
    const auto& e = run.s.eccs;
    EXPECT_EQ(e.eccs_fmt, 1);
    EXPECT_EQ(e.neccs, 2);
    const int want_flag[kClasses + 1] = {0, 0, 1, 0, 1, 0};
    for (int k = 1; k <= kClasses; ++k) EXPECT_EQ(e.flag_eccs[std::size_t(k)], want_flag[k]) << k;
    EXPECT_EQ(e.tinvl[2], 5);
    EXPECT_FLOAT_EQ(e.d_la[2], 800.0f);
    EXPECT_FLOAT_EQ(e.v_targ[2], 70.0f);
    EXPECT_FLOAT_EQ(e.v_thr[2], 4.0f);
    EXPECT_FLOAT_EQ(e.s_thr[2], 20.0f);
    EXPECT_EQ(e.tinvl[4], 2);
    const std::string sum = run.summary();
    EXPECT_NE(sum.find(" 35. Eco-cruse control system - inputs  "), std::string::npos);
    EXPECT_NE(sum.find("ECCS INPUT FILE : cruise test"), std::string::npos);
    EXPECT_EQ(count_of(sum, "Veh Class:"), 2);
    EXPECT_NE(sum.find("Input of Eco-cruise control file complete"), std::string::npos);
    EXPECT_EQ(run.s.errcount.numerr, 0);
}

TEST(CruiseReader, BadRecordsAreSkippedWithTheirCodeAndTheRestStands) {
    const struct {
        std::string bad;
        const char* why;
    } cases[] = {
        {cruise(7), "class 7"},
        {cruise(0), "class 0"},
        {cruise(1, 0), "below 1 s"},
        {cruise(1, -3), "below 1 s"},
        // The band the speed search walks stays within what a vehicle drives.
        {cruise(1, 1, 60.0f, 100000.0f), "speed threshold"},
        {cruise(1, 1, 60.0f, 2147483647.0f), "speed threshold"},
        {cruise(1, 1, 60.0f, 1e30f), "speed threshold"},
        {cruise(1, 1, 60.0f, -1.0f), "speed threshold"},
        {cruise(1, 1, 1e30f), "target speed"},
        {cruise(1, 1, -2147483648.0f), "target speed"},
        {cruise(1, 1, 60.0f, 5.0f, 0.0f, -1.0f), "look-ahead distance"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        support::MemoryRun run;
        run.s.units.put_file("input_eccs.dat", cruise_file(c.bad + cruise(3), 2));
        rd_eccs(run.s);
        const std::string log = run.log();
        EXPECT_NE(log.find("711110"), std::string::npos) << log;
        EXPECT_NE(log.find(c.why), std::string::npos) << log;
        EXPECT_EQ(run.s.errcount.numerr, 1);
        EXPECT_EQ(run.s.eccs.flag_eccs[1], 0);
        EXPECT_EQ(run.s.eccs.flag_eccs[3], 1);
        EXPECT_NE(run.summary().find("Input of Eco-cruise control file complete"),
                  std::string::npos);
    }
}

// A file that exists but cannot be read whole (a title only, a half header,
// a cut record, a value that is not a number) is an error naming the file and
// the line, counted, and none of its records is kept: the strategy stays off.
TEST(CruiseReader, FileNotReadWholeIsAnErrorAndKeepsNothing) {
    const struct {
        std::string text;
        int         line;
    } cases[] = {
        {"", 1},
        {"cruise test\n", 2},
        {"cruise test\n2\n", 3},
        {cruise_file(cruise(2) + "2 3 100\n", 2), 5},
        {cruise_file(cruise(2), 2), 4},
        {cruise_file(cruise(2) + "1 3 x 1 60 5 0\n", 2), 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        support::MemoryRun run;
        run.s.eccs.spd_eccs(kCar) = 40.0f;
        run.s.eccs.flag_eccs[5] = 1;
        run.s.units.put_file("input_eccs.dat", c.text);
        rd_eccs(run.s);
        for (int k = 1; k <= kClasses; ++k) EXPECT_EQ(run.s.eccs.flag_eccs[k], 0) << k;
        EXPECT_EQ(run.s.eccs.spd_eccs(kCar), kNoCruiseAdvice);
        const std::string log = run.log();
        EXPECT_NE(log.find(free_line(" input_eccs.dat Error", 711140, "at line", c.line)),
                  std::string::npos)
            << log;
        EXPECT_EQ(run.s.errcount.numerr, 1);
        EXPECT_NE(run.summary().find("Eco-cruise control file not read whole"), std::string::npos);
    }

    support::MemoryRun none;
    rd_eccs(none.s);
    EXPECT_EQ(none.s.eccs.eccs_fmt, 0);
    EXPECT_EQ(none.s.errcount.numerr, 0);
    EXPECT_NE(none.summary().find("No eco-cruise control file input"), std::string::npos);
    EXPECT_EQ(none.log().find("emission.dat"), std::string::npos); // off: nothing to say
}

// --- fuel coefficients ----------------------------------------------------------------

TEST(CruiseFuel, EmissionFileFillsTheTypesItNames) {
    support::MemoryRun run;
    run.s.units.put_file("input_eccs.dat", cruise_file(cruise(2), 1));
    run.s.units.put_file("emission.dat", "coefficients\n2 1\n1 3 0.5 0.02 0.001 4.5\n"
                                         "2 30 9 9 9 9\n");
    rd_eccs(run.s);
    const auto& eco = run.s.ecodrive;
    EXPECT_FLOAT_EQ(eco.kz_cpfm(3, 1), 0.5f);
    EXPECT_FLOAT_EQ(eco.kz_cpfm(3, 2), 0.02f);
    EXPECT_FLOAT_EQ(eco.kz_cpfm(3, 3), 0.001f);
    EXPECT_FLOAT_EQ(eco.dec_sat(3), 4.5f);
    EXPECT_EQ(eco.kz_cpfm(1, 1), 0.0f);
    const std::string log = run.log();
    EXPECT_EQ(count_of(log, "711120"), 1) << log; // type 30 skipped
    EXPECT_NE(log.find("type 30"), std::string::npos) << log;
    EXPECT_EQ(log.find("not found"), std::string::npos) << log;
    EXPECT_NE(run.summary().find("Input of emission file complete"), std::string::npos);
}

TEST(CruiseFuel, DamagedEmissionFileLeavesTheTableZero) {
    for (const char* body : {"t\n2 1\n1 3 0.5 0.02 0.001 4.5\n2 4 0.5\n", "t\n2 x\n",
                             "t\n1 1\n1 3 0.5 abc 0.001 4.5\n", ""}) {
        SCOPED_TRACE(body);
        support::MemoryRun run;
        run.s.ecodrive.kz_cpfm(3, 1) = 7.0f;
        run.s.units.put_file("input_eccs.dat", cruise_file(cruise(2), 1));
        run.s.units.put_file("emission.dat", body);
        rd_eccs(run.s);
        for (int t = 1; t <= kVehicleTypes; ++t)
            for (int j = 1; j <= 3; ++j) EXPECT_EQ(run.s.ecodrive.kz_cpfm(t, j), 0.0f) << t;
        EXPECT_EQ(count_of(run.log(), "711120"), 1) << run.log();
        EXPECT_EQ(run.s.errcount.numerr, 1);
    }
}

TEST(CruiseFuel, WithoutEmissionFileOneRunLogLineWhenCruiseControlIsOn) {
    for (int fmt : {1, 0}) {
        support::MemoryRun run;
        run.s.units.put_file("input_eccs.dat", cruise_file(cruise(2), 1, fmt));
        rd_eccs(run.s);
        EXPECT_EQ(count_of(run.log(), "emission.dat not found"), fmt == 1 ? 1 : 0) << fmt;
        EXPECT_EQ(run.s.errcount.numerr, 0);
    }
}

TEST(CruiseFuel, PowerModelAlphasSelectTheModelAndStopPastTheTypeCount) {
    support::MemoryRun run;
    run.s.units.put_file("kzcpfm_config.dat", "alphas\n2 1\n1 4 0.1 0.2 0.3\n2 40 1 1 1\n");
    rd_gen_kzcpfm(run.s);
    const auto& en = run.s.kzcpxm_energy;
    EXPECT_EQ(en.energy_model, 1);
    EXPECT_EQ(en.kzcpxm_link_updating_mode, 1);
    EXPECT_FLOAT_EQ(en.kzcpfm_alpha(4, 3), 0.3f);
    EXPECT_FLOAT_EQ(en.veh_soc(kCar), 0.95f);
    EXPECT_NE(run.log().find("711130"), std::string::npos);

    support::MemoryRun many;
    many.s.units.put_file("kzcpfm_config.dat", "alphas\n26 0\n");
    EXPECT_ANY_THROW(rd_gen_kzcpfm(many.s));
    EXPECT_NE(many.log().find("more than"), std::string::npos);
}

// --- vehicle dynamics -----------------------------------------------------------------

struct Dynamics : ::testing::Test {
    support::MemoryRun run;
    Sim&               s = run.s;
    void               SetUp() override { init_veh_param(s); }
};

TEST_F(Dynamics, FullThrottleAccelerationOfTheDefaultCar) {
    // Type 1 at 60 km/h: drive 0.8 x 3600 x 119 / 60 = 5712 N (below the grip
    // limit 0.5 x 1900 x 9.8067 = 9316 N); drag 2.73 x 0.96 x 0.34 x 1.2256 x
    // 60^2 / 25.92 = 151.7 N; rolling 1.75 x 1900 x 9.8067 x (4.575 + 0.0328
    // x 60) / 1000 = 213.3 N; 3.6 x (5712 - 365.0) / 1900 = 10.13 km/h per s.
    EXPECT_NEAR(fun_accmodel(s, 60.0f, 1.0f, kType, 0.0f), 10.13f, 0.01f);
    // A 5 % climb takes 0.05 x 9.8067 x 3.6 = 1.77 km/h per s off it.
    EXPECT_NEAR(fun_accmodel(s, 60.0f, 1.0f, kType, 0.05f), 10.13f - 1.765f, 0.01f);
    // From standstill the grip limit drives: 3.6 x (9316 - 149.2) / 1900.
    EXPECT_NEAR(fun_accmodel(s, 0.0f, 1.0f, kType, 0.0f), 17.37f, 0.02f);
    EXPECT_EQ(fun_accmodel(s, 60.0f, 1.0f, 0, 0.0f), 0.0f); // no type, no dynamics
}

TEST_F(Dynamics, ThrottleForAnAccelerationGivesThatAccelerationBack) {
    const struct {
        float acc, v, grade;
    } cases[] = {{0.0f, 60.0f, 0.0f},
                 {3.0f, 60.0f, 0.0f},
                 {-1.0f, 90.0f, 0.02f},
                 {5.0f, 40.0f, -0.03f},
                 {2.0f, 100.0f, 0.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.acc);
        const float fp = fun_acc2throttle(s, c.acc, c.v, c.grade, kType);
        EXPECT_LT(fp, 1.0f);
        EXPECT_NEAR(fun_accmodel(s, c.v, fp, kType, c.grade), c.acc, 1e-3f);
    }
    // More than full throttle gives is capped at 1; cruising downhill needs a
    // negative throttle, which is kept.
    EXPECT_EQ(fun_acc2throttle(s, 30.0f, 60.0f, 0.0f, kType), 1.0f);
    EXPECT_LT(fun_acc2throttle(s, 0.0f, 60.0f, -0.06f, kType), 0.0f);
}

TEST_F(Dynamics, TrajectoryFuelPricesWheelPowerPerSample) {
    // A bare 1000-kg type without drag or rolling resistance and a lossless
    // driveline: P = V (1.04 m a + grade m g) / 3600 kW with a in m/s2.
    auto& vp = s.vehper;
    vp.vehmass(kType) = 1000.0f;
    vp.frntarea(kType) = 0.0f;
    for (int j = 1; j <= 3; ++j) vp.rolcoef(kType, j) = 0.0f;
    vp.transeff(kType) = 1.0f;
    auto& kz = s.ecodrive.kz_cpfm;
    const struct {
        const char*        what;
        std::vector<float> v, grade;
        float              k1, k2, k3, want;
    } cases[] = {
        // 0.36 km/h in 0.1 s is 1 m/s2: 36.36 x 1040 / 3600 = 10.504 kW.
        {"accelerating", {0, 36.0f, 36.36f}, {0, 0, 0}, 0, 1, 0, 100 * 10.504f},
        {"power squared", {0, 36.0f, 36.36f}, {0, 0, 0}, 0, 0, 1, 100 * 10.504f * 10.504f},
        // 5 % at 36 km/h: 36 x 0.05 x 1000 x 9.8066 / 3600 = 4.9033 kW.
        {"climbing", {0, 36.0f, 36.0f, 36.0f}, {0, 0, 0.05f, 0.05f}, 0, 1, 0, 100 * 2 * 4.9033f},
        {"downhill idles", {0, 36.0f, 36.0f, 36.0f}, {0, 0, -0.05f, -0.05f}, 2, 1, 1, 100 * 2 * 2},
        {"idle per sample", {0, 50.0f, 50.0f, 50.0f, 50.0f}, {0, 0, 0, 0, 0}, 1, 0, 0, 100 * 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        kz(kType, 1) = c.k1;
        kz(kType, 2) = c.k2;
        kz(kType, 3) = c.k3;
        float f = 0.0f;
        fun_kzcpfm(s, c.v, static_cast<int>(c.v.size()) - 1, f, c.grade, kType);
        EXPECT_NEAR(f, c.want, 1e-3f * c.want);
    }
    // Samples past ll are not priced, and f carries what it held.
    float f = 1.0f;
    fun_kzcpfm(s, cases[4].v, 2, f, cases[4].grade, kType);
    EXPECT_NEAR(f, 100.0f * (1.0f + 1.0f), 1e-3f);
}

TEST_F(Dynamics, SpacingSpeedFromTheSpeedSpacingRelationAndBraking) {
    auto& sv = s.link1.spdvol;
    sv(kLink, 7) = 100.0f;
    // Linear relation h = 0.01 + 2 / (100 - u): at 60 m, u = 60 km/h; braking
    // allows sqrt(60^2 + 9.8067 x 25920 x 0.5 x 0.2 x 0.06) = 71.6 km/h. At
    // 59.8 km/h the 0.2 km/h left over 0.1 s becomes 2 km/h per s.
    sv(kLink, 1) = 0.01f;
    sv(kLink, 2) = 2.0f;
    sv(kLink, 3) = 0.0f;
    EXPECT_NEAR(fun_maxspd(s, kLink, kType, 60.0f, 59.8f, 60.0f, 1.0f), 61.8f, 0.01f);
    EXPECT_NEAR(fun_maxspd(s, kLink, kType, 60.0f, 59.8f, 60.0f, 3.0f), 65.8f, 0.03f);
    // A slow leader close ahead: braking binds. 9.8067 x 25920 x 0.1 x
    // (0.06 - 1/200) = 1398 (km/h)^2, leader at 10: sqrt(1498) = 38.7.
    sv(kLink, 5) = 200.0f;
    EXPECT_NEAR(fun_maxspd(s, kLink, kType, 60.0f, 38.7f, 10.0f, 1.0f), 38.7f, 0.2f);
    // Inside the jam spacing with a stopped leader: no speed at all.
    EXPECT_NEAR(fun_maxspd(s, kLink, kType, 3.0f, 20.0f, 0.0f, 1.0f), 20.0f - 200.0f, 0.01f);
    // Quadratic relation: the speed returned lies on h = c1 + c2/(uf-u) + c3 u.
    sv(kLink, 5) = 0.0f;
    sv(kLink, 3) = 0.0002f;
    // Over 0.1 s the reachable speed is the spacing speed itself.
    const float u1 = fun_maxspd(s, kLink, kType, 60.0f, 40.0f, 200.0f, 0.1f);
    EXPECT_NEAR(0.01f + 2.0f / (100.0f - u1) + 0.0002f * u1, 0.06f, 1e-5f) << u1;
    EXPECT_LT(u1, 100.0f); // the root below the free speed
    // A falling relation whose lowest spacing is above 6 m: the radicand is
    // below zero, there is no steady speed, and 0 stands for it.
    sv(kLink, 3) = -0.0005f;
    EXPECT_NEAR(fun_maxspd(s, kLink, kType, 6.0f, 50.0f, 200.0f, 1.0f), 50.0f - 500.0f, 0.01f);
}

// --- the search through the speed cap chain -----------------------------------------

// A 500-m link of the relation above (free speed 100 km/h) and its next link;
// trip kCar of class 2, type 1, in slot kVid, 100 m along it. Class 2 cruises
// at 60 +/- 5 km/h with a 1-s interval and a 1000-m look-ahead.
struct Search : ::testing::Test {
    support::MemoryRun run;
    Sim&               s = run.s;
    LinkStrategies     ls;
    void               SetUp() override {
        init_veh_param(s);
        s.mxvehspd.reset();
        auto& sv = s.link1.spdvol;
        for (int l : {kLink, kNext}) {
                          sv(l, 1) = 0.01f;
                          sv(l, 2) = 2.0f;
                          sv(l, 7) = 100.0f;
                          sv(l, 8) = 0.5f;
        }
        s.units.put_file("input_eccs.dat", cruise_file(cruise(2, 1, 60.0f, 5.0f, 3.0f), 1));
        rd_eccs(s);
        s.oddat.vtyp(kCar) = 2;
        s.oddat.vehper2(kCar) = kType;
        s.vehindx.vehid(kCar) = kVid;
        s.vehplot.dis(kVid, 1) = 100.0f;
        s.vehicle.nxtlnk(kVid, 1) = kNext;
        gap(1000.0f, 60.0f);
        strategy_caps_link(s, kLink, ls);
    }
    void gap(float m, float lead) {
        s.vehplot.hdwy(kVid, 3) = m;
        s.vehplot.pre_spd(kVid, 2) = lead;
    }
    // The speed the chain leaves of u at tick t10.
    float cap(float u, int t10 = 100) { return strategy_caps(s, ls, kLink, kCar, kVid, u, u, t10); }
    float advice() const { return s.eccs.spd_eccs(kCar); }
    // Idle fuel only: a trajectory costs its sample count, so the faster a
    // candidate covers the look-ahead the cheaper it is.
    void idle_cost() { s.ecodrive.kz_cpfm(kType, 1) = 1.0f; }
};

TEST_F(Search, AllCostsZeroAdviseTheLowestSpeedOfTheBand) {
    EXPECT_EQ(cap(80.0f), 55.0f);
    EXPECT_EQ(advice(), 55.0f);
    // A band of half-km/h edges: floor and ceiling.
    s.eccs.v_targ[2] = 60.4f;
    s.eccs.v_thr[2] = 3.0f;
    cap(80.0f);
    EXPECT_EQ(advice(), 57.0f);
}

TEST_F(Search, CheaperHigherCandidateWinsUpToTheNarrowedTop) {
    idle_cost();
    const struct {
        float u, gap, want;
    } cases[] = {
        {62.0f, 1000.0f, 65.0f}, // the whole band
        // 60 m behind a 60-km/h leader at 59.8 km/h: the spacing speed is
        // 61.8 (see SpacingSpeed...), so 55..62 are tried.
        {59.8f, 60.0f, 62.0f},
        // Gap and current speed narrow the top below the band: 55 is its only value.
        {50.0f, 30.0f, 55.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gap);
        gap(c.gap, 60.0f);
        cap(c.u);
        EXPECT_EQ(advice(), c.want);
    }
}

TEST_F(Search, EqualCostsGoToTheLowerSpeed) {
    // No look-ahead past the interval: every candidate has as many samples.
    idle_cost();
    s.eccs.d_la[2] = 0.0f;
    cap(62.0f);
    EXPECT_EQ(advice(), 55.0f);
}

TEST_F(Search, TrajectoryReachesTheSpeedWithinTheIntervalThenHoldsItOverTheLookAhead) {
    // The last candidate searched is the band's top, 65 km/h, from 62.
    for (int tinvl : {1, 2}) {
        SCOPED_TRACE(tinvl);
        s.eccs.tinvl[2] = tinvl;
        cap(62.0f, 0);
        const auto& v = s.eccs.traj;
        const int   nt = 10 * tinvl, n = s.eccs.samples;
        EXPECT_EQ(v[1], 62.0f);
        EXPECT_NEAR(v[static_cast<std::size_t>(1 + nt / 2)], 63.5f, 1e-3f);
        EXPECT_NEAR(v[static_cast<std::size_t>(1 + nt)], 65.0f, 1e-3f);
        for (int i = 2 + nt; i <= n; ++i) ASSERT_EQ(v[std::size_t(i)], v[std::size_t(1 + nt)]) << i;
        // It ends with the step that covers the 1000-m look-ahead.
        float x = 0.0f;
        for (int i = 1; i < n - 1; ++i) x += v[std::size_t(i)] * 0.1f / 3.6f;
        EXPECT_LT(x, 1000.0f);
        EXPECT_GE(x + v[std::size_t(n - 1)] * 0.1f / 3.6f, 1000.0f);
    }
    // A 400-s interval would take 4000 steps: the trajectory stops at its
    // capacity.
    s.eccs.tinvl[2] = 400;
    cap(62.0f, 0);
    EXPECT_EQ(s.eccs.samples, kCruiseSamples);
}

TEST_F(Search, GapBelowTheThresholdReleasesToTheBandTopAtOnce) {
    cap(62.0f, 100);
    ASSERT_EQ(advice(), 55.0f);
    gap(2.0f, 60.0f);
    EXPECT_EQ(cap(80.0f, 103), 65.0f); // between updates
    EXPECT_FLOAT_EQ(s.eccs.fp_eccs(kCar), 1.0f);
    gap(1000.0f, 60.0f);
    EXPECT_EQ(cap(80.0f, 105), 65.0f); // held until the next update
    EXPECT_EQ(cap(80.0f, 110), 55.0f);
}

TEST_F(Search, UpdatesOnlyEveryInterval) {
    s.eccs.tinvl[2] = 3;
    s.eccs.spd_eccs(kCar) = 70.0f;
    for (int t10 : {1, 10, 29, 31}) EXPECT_EQ(cap(80.0f, t10), 70.0f) << t10;
    EXPECT_EQ(cap(80.0f, 60), 55.0f);
}

TEST_F(Search, ClassWithoutRecordKeepsNoAdvice) {
    s.oddat.vtyp(kCar) = 1;
    EXPECT_EQ(cap(80.0f), 80.0f);
    EXPECT_EQ(advice(), kNoCruiseAdvice);
}

TEST_F(Search, TinyLaneGapIsSearchedAsFreeRoadAndLeftAsItWas) {
    idle_cost();
    s.eccs.s_thr[2] = 0.0f;
    gap(1000.0f, 60.0f);
    cap(62.0f);
    const float free_road = advice();
    gap(30.0f, 60.0f);
    cap(62.0f);
    ASSERT_NE(advice(), free_road); // a real 30-m gap narrows the band
    gap(0.3f, 60.0f);
    cap(62.0f);
    EXPECT_EQ(advice(), free_road);
    EXPECT_EQ(s.vehplot.hdwy(kVid, 3), 0.3f);
}

TEST_F(Search, PastTheLinkEndTheNextLinksGradeHolds) {
    s.lnkgrade.lnkgrade(kLink) = 0.01f;
    s.lnkgrade.lnkgrade(kNext) = 0.04f;
    s.vehplot.dis(kVid, 1) = 490.0f; // 10 m left
    const auto grade_at_end = [&] {
        cap(62.0f);
        // The work trajectory of the last candidate, 10 s in: well past the end.
        return s.eccs.grade[100];
    };
    EXPECT_EQ(grade_at_end(), 0.04f);
    EXPECT_EQ(s.eccs.grade[2], 0.01f);
    for (int none : {-99, -1}) {
        s.vehicle.nxtlnk(kVid, 1) = none;
        EXPECT_EQ(grade_at_end(), 0.01f) << none;
    }
}

} // namespace
} // namespace velm
