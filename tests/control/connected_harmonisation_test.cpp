// Connected-vehicle speed harmonisation: the reader, the per-pair controller
// (band test, error integral, command) and the per-vehicle zone and class
// tests, through the strategy steps of the speed update.
#include "control/harmonisation_support.h"
#include "core/control/control.h"
#include "core/control/highway_harmonisation.h"
#include "core/movement/speed_caps.h"
#include "movement/movement_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_control::error_code;
using testing_control::keep_console;
using testing_movement::MoveRun;

struct CvRun : MoveRun {
    std::string console;
    int         next_car = 0;

    CvRun() {
        keep_console(s, console);
        // Links 1 to 6: 1 km, 3 lanes, free speed 100, capacity speed 80 km/h,
        // 2000 veh/h/lane, jam density 120 veh/km/lane.
        for (int l = 1; l <= 6; ++l) {
            link(l, 3, 1.0f);
            auto&       v = s.link1.spdvol;
            const float uf = 100, uc = 80, kj = 120, qc = 2000, d = uc * uc * kj;
            v(l, 1) = (2 * uc - uf) * uf / d;
            v(l, 2) = uf * (uc - uf) * (uc - uf) / d;
            v(l, 3) = 1 / qc - uf / d;
            v(l, 4) = uc;
            v(l, 5) = kj;
            v(l, 6) = qc;
            v(l, 7) = uf;
        }
    }
    // "input_SpdHarmHw.dat" with interval 10 s, zone 20 % up to 300 m, the
    // gains, band 0.2 % to 50 % of jam density, the pairs and the class code.
    void file(const std::string& pairs, const std::string& code = "10000",
              const std::string& gains = "2 0.5 0.1 -0.1 0.1 1") {
        const int n = static_cast<int>(std::count(pairs.begin(), pairs.end(), '\n'));
        s.units.put_file("input_SpdHarmHw.dat", "cv test\n1 10 0.2 300\n" + gains +
                                                    "\n0.002 0.5\n" + std::to_string(n) + " " +
                                                    code + "\n" + pairs);
    }
    int vehicle(int l, int vt, float d) {
        const int car = ++next_car;
        s.oddat.vtyp(car) = vt;
        place(car, l, 1, d);
        return car;
    }
    // One tick of the speed update's strategy steps: link l's set-up, then
    // the chain for each of its vehicles with candidate speed u. Returns the
    // speed of the last one.
    float tick(int t10, int l, float u) {
        s.control.t10 = t10;
        LinkStrategies ls;
        strategy_caps_link(s, l, ls);
        float out = u;
        for (int car : trips(l)) out = strategy_caps(s, ls, l, car, vid(car), u, u, t10);
        return out;
    }
    float integral(int p) const { return s.spdharmhw.sum_error_spdharmhw(p); }
};

// Link 2 ahead of link 1 carries class-1 vehicles at 72 km/h (1000 m in 50
// vehicle-s): an error of 8 km/h against its capacity speed.
void ahead_at_72(CvRun& r, int ahead = 2) {
    r.vehicle(ahead, 1, 400.0f);
    r.s.delay.tllink(ahead, 1, 1) = 1000.0f;
    r.s.delay.tllink(ahead, 1, 2) = 50.0f;
}

TEST(ConnectedHarmonisation, TheIntegralGrowsOncePerControlTickPerPair) {
    CvRun r;
    r.file("1 2\n3 4\n");
    rd_spdharmhw(r.s);
    ASSERT_EQ(r.s.spdharmhw.active_spdharmhw, 1) << r.log();
    ahead_at_72(r);                                        // pair 1: link 2 in band
    r.vehicle(4, 1, 400.0f);                               // pair 2: link 4 at 1 veh/km/lane...
    for (int k = 0; k < 200; ++k) r.vehicle(4, 1, 400.0f); // ...then 67: above the band
    for (int k = 0; k < 3; ++k) r.vehicle(1, 1, 500.0f);
    r.vehicle(3, 1, 500.0f);
    r.s.spdharmhw.sum_error_spdharmhw(1) = 5.0f; // left from before the first control tick
    for (int t10 = 0; t10 <= 350; ++t10) {
        r.tick(t10, 1, 90.0f);
        r.tick(t10, 3, 90.0f);
        r.tick(t10, 5, 90.0f); // an uncontrolled link processed last
        if (t10 == 100) {
            EXPECT_NEAR(r.integral(1), 10.0f / 3600.0f * 8.0f, 1e-5);
        }
    }
    EXPECT_NEAR(r.integral(1), 3.0f * 10.0f / 3600.0f * 8.0f, 1e-5);
    EXPECT_NEAR(r.integral(1), 0.0667f, 1e-4);
    EXPECT_EQ(r.s.spdharmhw.flag_under_ctrl(1), 1);
    EXPECT_EQ(r.s.spdharmhw.flag_under_ctrl(2), 0);
    EXPECT_EQ(r.integral(2), 0.0f);
    EXPECT_EQ(r.s.spdharmhw.has_command(2), 0);
    EXPECT_EQ(r.tick(351, 3, 90.0f), 90.0f);
}

TEST(ConnectedHarmonisation, NothingActsBeforeTheFirstControlTick) {
    CvRun r;
    r.file("1 2\n");
    rd_spdharmhw(r.s);
    ahead_at_72(r);
    r.vehicle(1, 1, 500.0f);
    for (int t10 = 0; t10 < 100; ++t10) EXPECT_EQ(r.tick(t10, 1, 90.0f), 90.0f) << t10;
    EXPECT_EQ(r.integral(1), 0.0f);
    EXPECT_NE(r.tick(100, 1, 90.0f), 90.0f);
}

TEST(ConnectedHarmonisation, TheCommandGoesToConnectedVehiclesInTheMiddleZone) {
    struct Case {
        const char* what;
        int         vt;
        float       d;
        bool        commanded;
    };
    // Zone of a 1-km link: 200 m either side of the middle (20 % < 300 m).
    for (const Case& c : {Case{"middle", 1, 500.0f, true}, Case{"zone start", 1, 300.0f, true},
                          Case{"zone end", 1, 700.0f, true}, Case{"before", 1, 290.0f, false},
                          Case{"after", 1, 710.0f, false}, Case{"class 2", 2, 500.0f, false}}) {
        CvRun r;
        r.file("1 2\n1 4\n"); // link 1 listed twice: its first pair controls it
        rd_spdharmhw(r.s);
        ahead_at_72(r);
        r.vehicle(1, c.vt, c.d);
        const float u = r.tick(100, 1, 55.5f);
        EXPECT_EQ(u != 55.5f, c.commanded) << c.what << " " << u;
        if (c.commanded) {
            EXPECT_EQ(u, r.s.spdharmhw.spdharmhw_control_speed(1)) << c.what;
        }
    }
}

TEST(ConnectedHarmonisation, TheCommandReplacesUpwardWithinZeroAndFreeSpeed) {
    struct Case {
        const char* gains; // eta k_rt landa distrlow distrhigh a_constant
        float       expect;
    };
    // The input gain is negative here: a large switching gain drives the
    // command up to the free speed, a large negative one down to 0.
    for (const Case& c : {Case{"1000000 0 0 0 0 1", 100.0f}, Case{"-1000000 0 0 0 0 1", 0.0f}}) {
        CvRun r;
        r.file("1 2\n", "10000", c.gains);
        rd_spdharmhw(r.s);
        ahead_at_72(r);
        r.vehicle(1, 1, 500.0f);
        EXPECT_EQ(r.tick(100, 1, 20.0f), c.expect) << c.gains;
    }
    // Unbounded gains still give a command between the bounds, above the
    // candidate when the law asks for more.
    CvRun r;
    r.file("1 2\n", "10000", "0 0 0 0 0 1");
    rd_spdharmhw(r.s);
    ahead_at_72(r);
    r.vehicle(1, 1, 500.0f);
    const float u = r.tick(100, 1, 1.0f);
    EXPECT_GT(u, 1.0f);
    EXPECT_LE(u, 100.0f);
}

TEST(ConnectedHarmonisation, NoConnectedVehicleAheadGivesNoCommand) {
    CvRun r;
    r.file("1 2\n");
    rd_spdharmhw(r.s);
    r.vehicle(2, 2, 400.0f); // class 2 is not connected
    r.s.delay.tllink(2, 2, 1) = 1000.0f;
    r.s.delay.tllink(2, 2, 2) = 50.0f;
    r.vehicle(1, 1, 500.0f);
    EXPECT_EQ(r.tick(100, 1, 55.0f), 55.0f);
    EXPECT_EQ(r.integral(1), 0.0f);
    EXPECT_EQ(r.s.spdharmhw.flag_under_ctrl(1), 1);
}

TEST(ConnectedHarmonisation, ClassCodeZeroWarnsAndControlsNothing) {
    CvRun r;
    r.file("1 2\n", "0");
    rd_spdharmhw(r.s);
    EXPECT_NE(r.console.find(" Error in input_SpdHarmHw.dat: SH on HW is not activated (00000), "
                             "Please specify CV class, e.g., 10000"),
              std::string::npos)
        << r.console;
    ahead_at_72(r);
    r.vehicle(1, 1, 500.0f);
    for (int t10 = 100; t10 <= 300; ++t10) EXPECT_EQ(r.tick(t10, 1, 55.0f), 55.0f);
    const std::string echo = r.s.units.file_text("SpdHarmHw_output_Code.txt");
    EXPECT_NE(echo.find("CV Classes"), std::string::npos) << echo;
}

TEST(ConnectedHarmonisation, ClassDigitsAreReadFromTheLeft) {
    CvRun r;
    r.file("1 2\n", "10110");
    rd_spdharmhw(r.s);
    const auto& d = r.s.spdharmhw.cv_digit;
    EXPECT_EQ((std::vector<int>{d[1], d[2], d[3], d[4], d[5]}), (std::vector<int>{1, 0, 1, 1, 0}));
}

TEST(ConnectedHarmonisation, AMalformedFileLeavesTheStrategyOffWithItsCode) {
    struct Case {
        const char* what;
        std::string text;
        int         code;
    };
    const std::string gains = "2 0.5 0.1 -0.1 0.1 1\n0.002 0.5\n";
    for (const Case& c : {
             Case{"interval below a tick", "t\n1 0.05 0.2 300\n" + gains + "1 10000\n1 2\n",
                  kErrCvHeader},
             Case{"density constant 0",
                  "t\n1 10 0.2 300\n2 0.5 0.1 -0.1 0.1 0\n0.002 0.5\n1 "
                  "10000\n1 2\n",
                  kErrCvHeader},
             Case{"short", "t\n1 10 0.2 300\n2 0.5\n", kErrCvHeader},
             Case{"interval at the integer limit",
                  "t\n1 2147483647 0.2 300\n" + gains + "1 10000\n1 2\n", kErrCvHeader},
             Case{"undefined link", "t\n1 10 0.2 300\n" + gains + "1 10000\n1 99\n", kErrCvPair},
             Case{"pair short", "t\n1 10 0.2 300\n" + gains + "2 10000\n1 2\n", kErrCvPair},
         }) {
        CvRun r;
        r.s.units.put_file("input_SpdHarmHw.dat", c.text);
        rd_spdharmhw(r.s);
        EXPECT_EQ(r.s.spdharmhw.active_spdharmhw, 0) << c.what;
        EXPECT_EQ(error_code(r.log(), "input_SpdHarmHw.dat"), c.code) << c.what << "\n" << r.log();
        if (std::string(c.what) == "interval at the integer limit") {
            EXPECT_NE(r.log().find("is beyond"), std::string::npos) << r.log();
        }
        EXPECT_NE(r.s.units.file_text("SpdHarmHw_output_Code.txt")
                      .find("     - No High way speed harmonization (SpdHarmHw) file input"),
                  std::string::npos);
        r.vehicle(1, 1, 500.0f);
        EXPECT_EQ(r.tick(100, 1, 55.0f), 55.0f) << c.what;
    }
    CvRun r; // no file at all: the run log says so
    rd_spdharmhw(r.s);
    EXPECT_NE(r.log().find("     - No High way speed harmonization (SpdHarmHw) file input"),
              std::string::npos);
    EXPECT_FALSE(r.s.units.exists("SpdHarmHw_output_Code.txt"));
}

} // namespace
} // namespace velm
