// Highway speed harmonisation: the speed-density helpers, the congestion
// test on measured speeds, the rebuilding of the capped list, the control
// period, the middle-zone cap and the refusal of malformed files.
#include "control/harmonisation_support.h"
#include "core/control/control.h"
#include "core/control/highway_harmonisation.h"
#include "core/io/writers.h"
#include "movement/movement_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace velm {
namespace {

using testing_control::error_code;
using testing_control::keep_console;
using testing_movement::MoveRun;

// A freeway link: free speed 100, capacity speed 80 km/h, 2000 veh/h/lane,
// jam density 120 veh/km/lane, so 40 m per vehicle at capacity.
constexpr SpeedDensity kFreeway{100.0f, 80.0f, 120.0f, 2000.0f};

struct HighwayRun : MoveRun {
    std::string console;
    int         next_car = 0;

    HighwayRun() {
        s.units.open_write(kUnitSummary, "summary.out");
        keep_console(s, console);
    }
    void freeway(int l, float len_km = 1.0f) {
        link(l, 3, len_km);
        auto& v = s.link1.spdvol;
        v(l, 4) = kFreeway.uc;
        v(l, 5) = kFreeway.kj;
        v(l, 6) = kFreeway.qc;
        v(l, 7) = kFreeway.uf;
        v(l, 11) = 1000.0f * kFreeway.uc / kFreeway.qc;
    }
    // A class-vt vehicle standing at 100 m whose speed makes it travel
    // speed/36 m per tick.
    void driving(int l, float speed, int vt = 1) {
        const int car = ++next_car;
        s.oddat.vtyp(car) = vt;
        const int vid = place(car, l, 1, 100.0f);
        s.vehplot.dis(vid, 2) = 100.0f;
        s.vehplot.spd(vid, 1) = speed;
    }
    // "spd_highway.dat": header values after the link count, the links and
    // the feeder matrix rows.
    void file(const std::string& header, const std::string& body) {
        s.units.put_file("spd_highway.dat", "highway test\n" + header + "\n" + body);
    }
    bool congested(int l) const {
        return log().find(free_line("Link = ", l, " k = ")) != std::string::npos;
    }
    float ctl(int l) const { return s.highway_spdharm.highway_sph_ctl_spd(l, 1); }
};

// Threshold 1.0, period 600, middle 30 %, class 1, no smoothing.
const std::string kHeader3 = "3 1.0 600 0.3 1 1.0 400 0.5 0.2";

TEST(HighwayHelpers, SpeedDensityRelationOfAFreewayLink) {
    EXPECT_NEAR(compute_k_of_u(kFreeway, 80.0f), 25.0f, 1e-3);
    EXPECT_NEAR(compute_q_of_u(kFreeway, 80.0f), 2000.0f, 0.5);
    EXPECT_NEAR(compute_u_of_q(kFreeway, 1000.0f), 13.35f, 0.01);
    EXPECT_NEAR(compute_u_of_q(kFreeway, 2000.0f), 80.0f, 0.05);
    EXPECT_NEAR(compute_k_of_u(kFreeway, 60.0f), 31.9f, 0.1);
    // At free speed the spacing is unbounded: no density, no flow.
    EXPECT_EQ(compute_k_of_u(kFreeway, 100.0f), 0.0f);
    EXPECT_EQ(compute_q_of_u(kFreeway, 100.0f), 0.0f);
    // A flow whose quadratic has no leading term gives the capacity speed.
    const SpeedDensity flat{100.0f, 80.0f, 120.0f, 2000.0f};
    const float        d = flat.uc * flat.uc * flat.kj;
    const float        q_flat = 1.0f / (1.0f / flat.qc - flat.uf / d);
    EXPECT_EQ(compute_u_of_q(flat, q_flat), flat.uc);
    EXPECT_FLOAT_EQ(highway_spd_harm_sliding_mode_compute_inflow(1800, 0, 0, 0, 20, 30, 25, 1.5f),
                    1800.0f - 20.0f * 5.0f * 1.5f);
}

TEST(HighwayHarmonisation, CongestionIsADensityAboveTheThresholdDensity) {
    struct Case {
        const char* what;
        float       speed; // < 0: nobody on the link
        bool        congested;
    };
    for (const Case& c : {Case{"95 km/h", 95.0f, false}, Case{"60 km/h", 60.0f, true},
                          Case{"empty link", -1.0f, false}}) {
        HighwayRun r;
        r.freeway(1);
        r.file("1 1.0 600 0.3 1 1.0 400 0.5 0.2", "1\n0\n");
        init_highway_spdharm(r.s);
        ASSERT_EQ(r.s.highway_spdharm.highway_spdharm_activation_flag, 1) << r.log();
        if (c.speed >= 0.0f) r.driving(1, c.speed);
        highway_spd_harm_run(r.s, 0);
        EXPECT_EQ(r.congested(1), c.congested) << c.what << "\n" << r.log();
        // The per-period lines go to the run log, never to the console.
        EXPECT_EQ(r.console.find("Link"), std::string::npos) << c.what << "\n" << r.console;
        EXPECT_NE(r.log().find(free_line("Link ID = ", 1, " SMS = ")), std::string::npos) << c.what;
        EXPECT_NEAR(highway_threshold_density(r.s, 1), 25.0f, 1e-4);
        const float measured = c.speed > 0.0f ? c.speed : 100.0f; // empty: free speed
        EXPECT_NEAR(r.s.highway_spdharm.previous_velocity(1), measured, 0.01) << c.what;
    }
}

TEST(HighwayHarmonisation, TheListIsRebuiltOnlyWhenTwoLinksAreCongested) {
    // Links 1 and 2 feed link 3 (column 3 of rows 1 and 2).
    HighwayRun r;
    for (int l = 1; l <= 3; ++l) r.freeway(l);
    r.file(kHeader3, "1\n2\n3\n0 0 1\n0 0 1\n0 0 0\n");
    init_highway_spdharm(r.s);
    auto& h = r.s.highway_spdharm;
    ASSERT_EQ(h.highway_spdharm_activation_flag, 1) << r.log();
    // A list left from an earlier period: link 1 capped at 1000 veh/h/lane.
    h.it_len = 1;
    h.it_links_for_sph(1) = 1;
    h.it_target_flow(1) = 1000.0f;
    r.driving(3, 40.0f); // one congested link
    highway_spd_harm_run(r.s, 0);
    EXPECT_TRUE(r.congested(3));
    EXPECT_EQ(h.it_len, 1);
    EXPECT_NEAR(r.ctl(1), 13.35f, 0.01);
    EXPECT_EQ(r.ctl(2), 100.0f);
    EXPECT_EQ(r.ctl(3), 100.0f);
}

TEST(HighwayHarmonisation, CongestedFeedersAreNotCappedAndEmptyTheList) {
    // Links 1 and 2 feed each other, both congested; link 3 was capped.
    HighwayRun r;
    for (int l = 1; l <= 3; ++l) r.freeway(l);
    r.file(kHeader3, "1\n2\n3\n0 1 0\n1 0 0\n0 0 0\n");
    init_highway_spdharm(r.s);
    auto& h = r.s.highway_spdharm;
    h.it_len = 1;
    h.it_links_for_sph(1) = 3;
    h.it_target_flow(1) = 1000.0f;
    r.driving(1, 40.0f);
    r.driving(2, 50.0f);
    highway_spd_harm_run(r.s, 0);
    EXPECT_TRUE(r.congested(1) && r.congested(2)) << r.log();
    EXPECT_EQ(h.it_len, 0);
    for (int l = 1; l <= 3; ++l) EXPECT_EQ(r.ctl(l), 100.0f) << "link " << l;
}

TEST(HighwayHarmonisation, AFeederOfTwoCongestedLinksKeepsItsLaterShare) {
    // Link 3 feeds links 1 and 2; link 4 feeds link 2 too.
    HighwayRun r;
    for (int l = 1; l <= 4; ++l) r.freeway(l, 1.5f);
    r.file("4 1.0 600 0.3 1 1.0 400 0.5 20", "1\n2\n3\n4\n0 0 0 0\n0 0 0 0\n1 1 0 0\n0 1 0 0\n");
    init_highway_spdharm(r.s);
    auto& h = r.s.highway_spdharm;
    r.driving(1, 60.0f);
    r.driving(2, 40.0f);
    highway_spd_harm_run(r.s, 0);
    const SpeedDensity f = kFreeway;
    auto               target = [&](float v) {
        const float q = highway_spd_harm_sliding_mode_compute_inflow(
                          compute_q_of_u(f, v), 0, 0, 0, 20.0f, compute_k_of_u(f, v), 25.0f, 1.5f);
        return static_cast<float>(static_cast<int>(q));
    };
    ASSERT_EQ(h.it_len, 3);
    // Link 1's feeder, then link 2's feeders in reverse order of the matrix.
    EXPECT_EQ(h.it_links_for_sph(1), 3);
    EXPECT_EQ(h.it_links_for_sph(2), 4);
    EXPECT_EQ(h.it_links_for_sph(3), 3);
    EXPECT_FLOAT_EQ(h.it_target_flow(1), target(60.0f));
    EXPECT_FLOAT_EQ(h.it_target_flow(3), target(40.0f) / 2.0f);
    EXPECT_FLOAT_EQ(r.ctl(3), compute_u_of_q(f, target(40.0f) / 2.0f));
    EXPECT_FLOAT_EQ(r.ctl(4), compute_u_of_q(f, target(40.0f) / 2.0f));
    EXPECT_LT(r.ctl(3), 80.0f);
}

TEST(HighwayHarmonisation, ControlStepsFollowThePeriodFromTickZero) {
    HighwayRun r;
    r.freeway(1);
    r.file("1 1.0 600 0.3 1 0.5 400 0.5 0.2", "1\n0\n");
    init_highway_spdharm(r.s);
    std::vector<int> steps;
    for (int t10 = 0; t10 <= 1300; ++t10) {
        const auto before = r.log().size();
        highway_spd_harm_run(r.s, t10);
        if (r.log().size() != before) steps.push_back(t10);
    }
    EXPECT_EQ(steps, (std::vector<int>{0, 600, 1200}));
}

TEST(HighwayHarmonisation, TheCapActsOnlyInTheMiddleOfTheLink) {
    struct Case {
        float location, max_len, d;
        bool  capped;
    };
    // A 1-km link: f = min(location, max_len / 1000).
    for (const Case& c : {Case{0.3f, 200.0f, 500.0f, true}, Case{0.3f, 200.0f, 690.0f, true},
                          Case{0.3f, 200.0f, 710.0f, false}, Case{0.3f, 200.0f, 290.0f, false},
                          Case{0.3f, 200.0f, 50.0f, false}, Case{0.3f, 400.0f, 750.0f, true},
                          Case{0.1f, 400.0f, 650.0f, false}}) {
        HighwayRun r;
        r.freeway(1);
        r.file("1 1.0 600 " + std::to_string(c.location) + " 1 1.0 " + std::to_string(c.max_len) +
                   " 0.5 0.2",
               "1\n0\n");
        init_highway_spdharm(r.s);
        for (int vt = 1; vt <= kClasses; ++vt)
            r.s.highway_spdharm.highway_sph_ctl_spd(1, vt) = 45.0f;
        EXPECT_EQ(highway_cap(r.s, 1, 2, c.d, 90.0f), c.capped ? 45.0f : 90.0f)
            << "d " << c.d << " location " << c.location << " max " << c.max_len;
        EXPECT_EQ(highway_cap(r.s, 1, 2, c.d, 30.0f), 30.0f); // a cap, never a rise
    }
}

TEST(HighwayHarmonisation, AMalformedFileLeavesTheStrategyOffWithItsCode) {
    struct Case {
        const char* what;
        std::string header, body;
        int         code;
    };
    for (const Case& c : {
             Case{"no link", "0 1.0 600 0.3 1 1.0 400 0.5 0.2", "", kErrHighwayHeader},
             Case{"period 0", "1 1.0 0 0.3 1 1.0 400 0.5 0.2", "1\n0\n", kErrHighwayHeader},
             Case{"class 6", "1 1.0 600 0.3 6 1.0 400 0.5 0.2", "1\n0\n", kErrHighwayHeader},
             Case{"short header", "1 1.0 600", "", kErrHighwayHeader},
             Case{"undefined link", "2 1.0 600 0.3 1 1.0 400 0.5 0.2", "1\n9\n0 0\n0 0\n",
                  kErrHighwayLink},
             Case{"matrix value 2", "2 1.0 600 0.3 1 1.0 400 0.5 0.2", "1\n2\n0 2\n0 0\n",
                  kErrHighwayMatrix},
             Case{"matrix short", "2 1.0 600 0.3 1 1.0 400 0.5 0.2", "1\n2\n0 1\n0\n",
                  kErrHighwayMatrix},
         }) {
        HighwayRun r;
        r.freeway(1);
        r.freeway(2);
        r.file(c.header, c.body);
        init_highway_spdharm(r.s);
        EXPECT_EQ(r.s.highway_spdharm.highway_spdharm_activation_flag, 0) << c.what;
        EXPECT_EQ(error_code(r.log(), "spd_highway.dat"), c.code) << c.what << "\n" << r.log();
    }
}

TEST(HighwayHarmonisation, AWellFormedFileIsListedAndCleanedAtTheEnd) {
    HighwayRun r;
    r.freeway(1);
    r.freeway(2);
    r.file("2 1.2 600 0.3 1 1.0 400 0.5 0.2", "2\n1\n0 1\n0 0\n");
    init_highway_spdharm(r.s);
    const std::string sum = r.summary();
    EXPECT_NE(sum.find("Checking the highway_spdharm.dat"), std::string::npos);
    EXPECT_NE(sum.find("     - highway speed harmonization file :highway test"), std::string::npos)
        << sum;
    EXPECT_NE(sum.find(free_line("     - Number of highway links:", 2)), std::string::npos) << sum;
    auto& h = r.s.highway_spdharm;
    EXPECT_EQ(h.hl_links_ids(1), 2);
    EXPECT_EQ(h.hl_connectivity_mat(1, 2), 1);
    EXPECT_EQ(r.log().find("Error"), std::string::npos) << r.log();
    clean_highway_spd_harm(r.s);
    EXPECT_EQ(h.highway_spdharm_activation_flag, 0);
    EXPECT_EQ(h.hl_links_ids.size(), 0u);
}

} // namespace
} // namespace velm
