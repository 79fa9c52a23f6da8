// Free-flow link costs: the regression model's cruise fuel for every class,
// the power model's per-class estimate from one free-flow traversal, and the
// same estimate again when a vehicle leaves the link with the same sums.
#include "core/demand/demand.h"
#include "core/energy/energy.h"
#include "core/movement/exit_statistics.h"
#include "movement/entry_fixture.h"
#include "network/network_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

namespace velm {
namespace {

constexpr double kG = 9.8066;

std::string fleet_file() {
    std::ifstream      in(std::string(VELM_SOURCE_DIR) + "/tests/data/energy/veh_parameters.dat");
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Type-1 regression fuel (l) of one traversal of `km` at v km/h on the level.
double cruise_fuel(const Sim& s, double km, double v) {
    double x = 0.0;
    for (int i = 0; i < 4; ++i) x += s.fuel.fuelcoef(1, 1, 1, i, 0) * std::pow(v, i);
    return std::exp(x) * km / v * 3600.0;
}

// The power model's cost of class c for one free-flow traversal, worked out
// from the vehicle data: litres, or Wh for a battery-electric class.
double free_flow_cost(const Sim& s, int c, double km, double v, double grade) {
    const auto&  vp = s.vehper;
    const double t = km * 3600.0 / v;
    const double f = (kG * grade + kG * (vp.rolcoef(1, 1) / 1000.0) *
                                       (vp.rolcoef(1, 3) + vp.rolcoef(1, 2) * v)) *
                     v / (3.6 * vp.transeff(1));
    const double m = vp.vehmass(c);
    const double k = vp.dragcoef(c) * vp.frntarea(c) * 1225.6 / (m * 25.92 * 3600.0 * 0.9);
    const double v3 = v * v * v;
    const double s1 = v3 * t, s2 = v3 * v3 * t, s3 = f * t, s4 = f * f * t, s5 = f * v3 * t;
    if (vp.engine_type(c) == 3) return m * (s3 + s1 * k) / 3600.0;
    const double mt = m / 1000.0;
    const auto&  a = s.kzcpxm_energy.kzcpfm_alpha;
    const double per_litre = vp.engine_type(c) == 4 || vp.engine_type(c) == 6 ? 1000.0 : 1.0;
    return (a(c, 3) * mt * mt * (s2 * k * k + s4 + 2.0 * k * s5) + a(c, 2) * mt * (s1 * k + s3) +
            a(c, 1) * t) /
           per_litre;
}

double positive(double cost) {
    return cost > 0.0 ? cost : std::exp(cost);
}

// A run with the built-in coefficients and links 1..4: 1 km at 60 km/h, 2 km
// at 90 km/h down a 10 % grade, a link of length 0 and a link not coded.
struct CostRun : testing_network::NetRun {
    explicit CostRun(int model, bool fleet = false, const std::string& file = fleet_file()) {
        if (fleet) s.units.put_file("veh_parameters.dat", file);
        init_veh_param(s);
        rd_veh_param(s);
        s.kzcpxm_energy.energy_model = model;
        readfuel(s);
        s.link2.mlnum = 4;
        const float len[] = {1.0f, 2.0f, 0.0f, -99999.0f}, spd[] = {60, 90, 50, -9999};
        for (int l = 1; l <= 4; ++l) {
            s.link4.llength(l) = len[l - 1];
            s.link4.freespd(l) = spd[l - 1];
            for (int c = 1; c <= kClasses; ++c) s.link1.eco(l, c) = 7.0f; // an earlier value
            s.link1.frefuel(l) = 7.0f;
        }
        s.lnkgrade.lnkgrade(2) = -0.10f;
        auto& ke = s.kzcpxm_energy;
        ke.old_vsp_param(1, 3) = 5.0f;
        ke.vsp_param_avr(1, 2) = 5.0f;
        ke.vsp_update_cnt(4) = 3;
    }
};

TEST(FreeFlowCosts, RegressionModelPricesEveryClassAtTypeOneCruiseFuel) {
    for (int model : {0, 2}) {
        SCOPED_TRACE(testing::Message() << "energy model " << model);
        CostRun r(model);
        deffuel(r.s);
        const auto& l1 = r.s.link1;
        EXPECT_NEAR(l1.frefuel(1), 0.07987, 5e-5) << "7.99 l/100 km at 60 km/h";
        for (int l : {1, 2}) {
            EXPECT_NEAR(l1.frefuel(l), cruise_fuel(r.s, l == 1 ? 1.0 : 2.0, l == 1 ? 60 : 90),
                        1e-6);
            for (int c = 1; c <= kClasses; ++c) EXPECT_EQ(l1.eco(l, c), l1.frefuel(l)) << l << c;
        }
        EXPECT_EQ(l1.frefuel(3), 0.0f) << "a zero-length link costs nothing";
        EXPECT_EQ(l1.frefuel(4), 7.0f) << "a link not coded keeps its values";
        EXPECT_EQ(l1.eco(4, 2), 7.0f);
        EXPECT_EQ(r.s.kzcpxm_energy.old_vsp_param(1, 3), 0.0f);
    }
}

TEST(FreeFlowCosts, PowerModelPricesEachClassWithItsOwnVehicle) {
    CostRun r(1, true);
    ASSERT_EQ(r.s.vehper.engine_type(3), 3) << "the fleet file is read";
    ASSERT_EQ(r.s.kzcpxm_energy.energy_model, 1);
    deffuel(r.s);
    const auto& l1 = r.s.link1;
    const auto& ke = r.s.kzcpxm_energy;
    struct LinkCase {
        int    l;
        double km, v, grade;
    };
    for (const LinkCase& lc : {LinkCase{1, 1.0, 60.0, 0.0}, LinkCase{2, 2.0, 90.0, -0.10}}) {
        SCOPED_TRACE(testing::Message() << "link " << lc.l);
        const double t = lc.km * 3600.0 / lc.v;
        EXPECT_NEAR(ke.vsp_param(lc.l, 8), t, 1e-3) << "one free-flow traversal";
        EXPECT_NEAR(ke.vsp_param(lc.l, 1), lc.v * lc.v * lc.v * t, 1e-5 * lc.v * lc.v * lc.v * t);
        for (int k = 1; k <= 8; ++k) {
            EXPECT_EQ(ke.eco_vsp_param(lc.l, k), ke.vsp_param(lc.l, k)) << k;
            EXPECT_EQ(ke.vsp_param_avr(lc.l, k), 0.0f) << k;
        }
        EXPECT_EQ(ke.vsp_param(lc.l, 6), 0.0f);
        EXPECT_EQ(ke.vsp_param(lc.l, 7), 0.0f);
        for (int c = 1; c <= kClasses; ++c) {
            const double expect = positive(free_flow_cost(r.s, c, lc.km, lc.v, lc.grade));
            EXPECT_NEAR(l1.eco(lc.l, c), expect, 2e-4 * std::fabs(expect) + 1e-12) << "class " << c;
        }
        EXPECT_EQ(l1.frefuel(lc.l), l1.eco(lc.l, 5)) << "the start trees read class 5's cost";
    }
    // Level link: the classes differ; the battery-electric class pays watt-hours.
    EXPECT_NE(l1.eco(1, 1), l1.eco(1, 2));
    EXPECT_GT(l1.eco(1, 5), l1.eco(1, 1)) << "the heavy diesel uses more";
    EXPECT_GT(l1.eco(1, 3), 50.0f) << "Wh, not litres";
    EXPECT_LT(l1.eco(1, 1), 1.0f) << "litres";
    // Downhill the electric class recovers more than it spends: its raw cost
    // is negative and becomes its exponential.
    EXPECT_LT(free_flow_cost(r.s, 3, 2.0, 90.0, -0.10), 0.0);
    EXPECT_GE(l1.eco(2, 3), 0.0f);
    EXPECT_LT(l1.eco(2, 3), 1e-3f);
    // Length 0 and not coded: everything stays.
    for (int l : {3, 4}) {
        EXPECT_EQ(l1.frefuel(l), 7.0f) << l;
        for (int c = 1; c <= kClasses; ++c) EXPECT_EQ(l1.eco(l, c), 7.0f) << l << c;
    }
    EXPECT_EQ(ke.vsp_update_cnt(4), 0) << "every count is cleared";
    EXPECT_EQ(ke.old_vsp_param(1, 3), 0.0f);
}

// A fuel-burning class whose type has no fuel coefficients would cost 0 and
// then exp(0) = 1 litre on every link whatever its length: it pays the
// regression cruise fuel over the link instead, and the run log says so once.
TEST(FreeFlowCosts, ClassWithoutFuelCoefficientsPaysByDistance) {
    std::string file = fleet_file();
    const auto  at = file.find("86.4 1.5 0.00100 0.00020 0.000002 0");
    ASSERT_NE(at, std::string::npos);
    file.replace(at, std::string("86.4 1.5 0.00100 0.00020 0.000002 0").size(), "86.4 1.5 0 0 0 0");
    CostRun r(1, true, file);
    deffuel(r.s);
    const auto& l1 = r.s.link1;
    for (int l : {1, 2}) {
        const double want = cruise_fuel(r.s, l == 1 ? 1.0 : 2.0, l == 1 ? 60 : 90);
        EXPECT_NEAR(l1.eco(l, 5), want, 1e-6) << "link " << l;
        EXPECT_EQ(l1.frefuel(l), l1.eco(l, 5)) << "link " << l;
        EXPECT_NEAR(l1.eco(l, 1),
                    positive(free_flow_cost(r.s, 1, l == 1 ? 1.0 : 2.0, l == 1 ? 60 : 90,
                                            l == 1 ? 0.0 : -0.1)),
                    1e-4)
            << "the other classes keep their own estimate";
    }
    EXPECT_GT(l1.eco(2, 5), 1.5f * l1.eco(1, 5)) << "twice the length costs more";
    const std::string log = r.s.units.file_text("runerr.out");
    EXPECT_EQ(support::count_of(log, "has no fuel coefficients"), 1) << log;
    EXPECT_TRUE(support::contains(log, " Class           5")) << log;
}

// A vehicle that leaves link 1 with exactly the free-flow sums re-estimates
// every other class at the cost deffuel gave it.
TEST(FreeFlowCosts, LinkExitWithTheSameSumsGivesTheSameCosts) {
    struct Exit : testing_movement::Traffic {
        LinkExit e;
        Exit() {
            road({.l = 1, .from = 1, .to = 2, .lanes = 1});
            road({.l = 2, .from = 2, .to = 3});
            connect(1, 2);
            trip(1, 1, 3, 100.0f, {1, 2}, 2);
            e.vid = on_link(1, 1, 990.0f, 60.0f);
            e = LinkExit{.l = 1, .car = 1, .vid = e.vid, .vt = 2, .k = 1, .lane = lane_no(1, 1)};
        }
    } x;
    Sim& s = x.s;
    s.units.open_write(kUnitSummary, "summary.out");
    s.units.put_file("veh_parameters.dat", fleet_file());
    init_veh_param(s);
    rd_veh_param(s);
    readfuel(s);
    s.link4.llength(1) = 1.0f;
    s.link4.freespd(1) = 60.0f;
    deffuel(s);
    float before[kClasses + 1] = {};
    for (int c = 1; c <= kClasses; ++c) before[c] = s.link1.eco(1, c);
    auto& ke = s.kzcpxm_energy;
    for (int k = 1; k <= 7; ++k) ke.veh_vsp_param(x.e.vid, k) = ke.vsp_param(1, k);
    x.e.lt = ke.vsp_param(1, 8);
    exit_trip_sums(s, x.e);
    for (int c = 1; c <= kClasses; ++c) {
        if (c == x.e.vt) continue; // its own fuel enters too
        EXPECT_NEAR(s.link1.eco(1, c), before[c], 1e-5f * before[c]) << "class " << c;
        EXPECT_GT(before[c], 0.0f);
    }
}

} // namespace
} // namespace velm
