// The power-based model: rounding of the caller's values, wheel power and the
// vehicle-specific powers, the fuel rules of the conventional and hybrid
// drives, battery power and charge, the plug-in hybrid's switch-over and its
// traces, the regression sums, and the pricing evaluation that changes nothing.
#include "core/demand/demand.h"
#include "core/energy/fuel_models.h"
#include "core/io/units.h"

#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace velm {
namespace {

constexpr double kG = 9.8066;
constexpr int    kCar = 7, kVid = 3, kLink = 2;

// Lines of a text.
int lines(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

class PowerModel : public ::testing::Test {
  protected:
    void SetUp() override {
        init_veh_param(*s);
        s->oddat.curlnk(kVid) = kLink;
        for (int t = 1; t <= kVehicleTypes; ++t) {
            s->kzcpxm_energy.kzcpfm_alpha(t, 1) = 0.0004f;
            s->kzcpxm_energy.kzcpfm_alpha(t, 2) = 0.00008f;
            s->kzcpxm_energy.kzcpfm_alpha(t, 3) = 0.000001f;
            s->kzcpxm_energy.initial_soc(t) = 0.9f;
        }
        s->kzcpxm_energy.hybrid_pa = 10.0f;
        s->kzcpxm_energy.hybrid_va = 32.0f;
        s->write_traces = true;
        fresh_trip();
    }
    void fresh_trip() {
        auto& ke = s->kzcpxm_energy;
        ke.veh_soc(kCar) = ke.soc_threshold(kCar) = ke.veh_battery_capacity(kCar) = -1.0f;
    }
    void engine(int type, int e) { s->vehper.engine_type(type) = e; }

    struct Out {
        float v, a, fuel, energy, vsp, vsp_np;
    };
    Out run(int type, float v, float a, int t = 0) {
        Out o{v, a, -1.0f, -1.0f, 0.0f, 0.0f};
        kzcpxm_fuel_rate(*s, kCar, kVid, type, kLink, o.v, o.a, t, o.fuel, o.energy, o.vsp,
                         o.vsp_np);
        return o;
    }
    // Wheel power (kW) of type 1's body, worked out in double.
    double wheel_kw(double v, double a, double grade) const {
        const auto&  vp = s->vehper;
        const double th = std::atan(grade), m = vp.vehmass(1);
        const double f = m * a +
                         (vp.rolcoef(1, 3) + vp.rolcoef(1, 2) * v) * (vp.rolcoef(1, 1) / 1000.0) *
                             m * kG * std::cos(th) +
                         0.047285 * vp.dragcoef(1) * vp.frntarea(1) * v * v + m * kG * std::sin(th);
        return f * v / 3.6 / 1000.0;
    }
    std::string run_log() const { return s->units.file_text("runerr.out"); }

    std::unique_ptr<Sim> s = support::logged_sim(support::Opened::run_log_and_summary);
};

TEST_F(PowerModel, RoundsTheCallersSpeedAndAccelerationToATenth) {
    const Out o = run(1, 47.26f, -0.26f);
    EXPECT_EQ(o.v, 47.3f);
    EXPECT_EQ(o.a, -0.3f);
    const Out small = run(1, 20.04f, -0.04f);
    EXPECT_EQ(small.v, 20.0f);
    EXPECT_EQ(small.a, 0.0f);
}

TEST_F(PowerModel, Type1BodyOnTheLevelAt60) {
    const float p = compute_vehcile_power_at_the_wheels_in_kw(
        60.0f, 0.0f, 0.0f, s->vehper.vehmass(1), 9.8066f, s->vehper.rolcoef(1, 1),
        s->vehper.rolcoef(1, 2), s->vehper.rolcoef(1, 3), s->vehper.dragcoef(1), 1.0f,
        s->vehper.frntarea(1));
    EXPECT_NEAR(p, 6.189, 1e-3);
    EXPECT_NEAR(p, wheel_kw(60.0, 0.0, 0.0), 1e-4);
    const Out o = run(1, 60.0f, 0.0f);
    EXPECT_NEAR(o.vsp_np, 2.3393, 1e-4);
    EXPECT_NEAR(o.vsp, 8.5762, 1e-4);
}

TEST_F(PowerModel, WheelPowerOnAGradeAndAccelerating) {
    const struct {
        double v, a, grade;
    } cases[] = {{50.0, 1.0, 0.0}, {80.0, 0.0, 0.04}, {30.0, -1.5, -0.06}, {0.0, 2.0, 0.05}};
    for (const auto& c : cases) {
        const auto& vp = s->vehper;
        const float p = compute_vehcile_power_at_the_wheels_in_kw(
            static_cast<float>(c.v), static_cast<float>(c.a), static_cast<float>(c.grade),
            vp.vehmass(1), 9.8066f, vp.rolcoef(1, 1), vp.rolcoef(1, 2), vp.rolcoef(1, 3),
            vp.dragcoef(1), 1.0f, vp.frntarea(1));
        EXPECT_NEAR(p, wheel_kw(c.v, c.a, c.grade), 1e-3 * (1.0 + std::fabs(p)))
            << c.v << " " << c.a << " " << c.grade;
    }
}

TEST_F(PowerModel, ConventionalFuel) {
    const auto& k = s->kzcpxm_energy.kzcpfm_alpha;
    for (int e : {kEngineGasoline, kEngineDiesel}) {
        engine(1, e);
        const Out brake = run(1, 50.0f, -3.0f);
        EXPECT_EQ(brake.fuel, k(1, 1)) << "engine " << e;
        EXPECT_EQ(brake.energy, 0.0f);
        const Out    go = run(1, 50.0f, 1.0f);
        const double p = wheel_kw(50.0, 1.0, 0.0);
        EXPECT_NEAR(go.fuel, k(1, 1) + k(1, 2) * p + k(1, 3) * p * p, 1e-7);
        EXPECT_EQ(run(1, 0.0f, 0.0f).fuel, k(1, 1));
    }
}

TEST_F(PowerModel, BatteryElectricPowerAndCharge) {
    engine(1, kBatteryElectric);
    auto&        soc = s->kzcpxm_energy.veh_soc;
    const auto&  vp = s->vehper;
    const double eff = vp.transeff(1) * vp.em_eff(1) * vp.battery_eff(1);

    const Out cruise = run(1, 60.0f, 0.0f);
    EXPECT_NEAR(cruise.energy * 1000.0, 8436.5, 0.5);
    EXPECT_NEAR(cruise.energy * 1000.0, wheel_kw(60.0, 0.0, 0.0) * 1000.0 / eff + 700.0, 0.5);
    EXPECT_EQ(cruise.fuel, 0.0f);
    EXPECT_NEAR(0.9f - soc(kCar), 2.712e-5, 1e-7); // a float charge near 0.9 holds 6e-8
    EXPECT_NEAR(0.9f - soc(kCar), cruise.energy / (vp.battery_capacity(1) * 3600.0), 1e-7);

    const double before = soc(kCar);
    const Out    brake = run(1, 60.0f, -2.0f);
    EXPECT_NEAR(wheel_kw(60.0, -2.0, 0.0), -57.14, 0.01);
    EXPECT_NEAR(brake.energy, -27.03, 0.01);
    EXPECT_NEAR(brake.energy,
                wheel_kw(60.0, -2.0, 0.0) * eff * std::exp(-vp.reg_parm(1) / 2.0) + 0.7, 1e-3);
    EXPECT_GT(soc(kCar), before);

    soc(kCar) = 0.99999f;
    run(1, 60.0f, -2.0f);
    EXPECT_EQ(soc(kCar), 1.0f);

    // Braking too gently to register recovers nothing: the wheels' negative
    // power is lost and only the auxiliary load is drawn.
    s->lnkgrade.lnkgrade(kLink) = -0.05f;
    const Out coast = run(1, 60.0f, -0.04f);
    EXPECT_NEAR(coast.energy, vp.aux_power(1), 1e-6);
}

TEST_F(PowerModel, BatteryPowerHeldWithinTheMachineRating) {
    engine(1, kBatteryElectric);
    const float rating = s->vehper.em_energy(1);
    EXPECT_EQ(run(1, 100.0f, 3.0f).energy, rating);
    s->vehper.reg_parm(1) = 0.0f;
    EXPECT_EQ(run(1, 100.0f, -6.0f).energy, -rating);
}

TEST_F(PowerModel, HybridIdlesWhileCrawlingOnLowPower) {
    engine(1, kEngineHybrid);
    auto& b = s->kzcpxm_energy.hybrid_alpha;
    b(1, 1) = 0.12f;
    b(1, 2) = 0.09f;
    b(1, 3) = 0.0015f;
    b(1, 4) = 0.002f;
    const double p30 = wheel_kw(30.0, 0.3, 0.0), p33 = wheel_kw(33.0, 0.3, 0.0);
    ASSERT_LT(p30, 10.0);
    ASSERT_LT(p33, 10.0);
    EXPECT_NEAR(run(1, 30.0f, 0.3f).fuel, 0.12 / 1000.0, 1e-9);
    EXPECT_NEAR(run(1, 33.0f, 0.3f).fuel,
                (0.12 + 0.09 * p33 + 0.002 * 33.0 + 0.0015 * p33 * p33) / 1000.0, 1e-8);
    EXPECT_NEAR(run(1, 50.0f, -2.0f).fuel, 0.12 / 1000.0, 1e-9);
    EXPECT_EQ(run(1, 50.0f, 1.0f).energy, 0.0f);
}

TEST_F(PowerModel, PlugInHybridRunsElectricDownToItsThreshold) {
    engine(4, kEnginePlugInHybrid);
    s->kzcpxm_energy.initial_soc(4) = s->vehper.soc_min(4);
    s->kzcpxm_energy.hybrid_alpha(4, 1) = 0.12f;
    const Out at = run(4, 50.0f, 0.5f, 17);
    EXPECT_GT(at.energy, 0.0f);
    EXPECT_EQ(at.fuel, 0.0f);
    const float below = s->kzcpxm_energy.veh_soc(kCar);
    EXPECT_LT(below, s->kzcpxm_energy.soc_threshold(kCar));
    const Out gas = run(4, 50.0f, 0.5f, 18);
    EXPECT_GT(gas.fuel, 0.0f);
    EXPECT_EQ(gas.energy, 0.0f);
    EXPECT_EQ(s->kzcpxm_energy.veh_soc(kCar), below);

    const std::string mode = s->units.file_text("phev_mode_trace.txt");
    const std::string rate = s->units.file_text("phev_rate_trace.txt");
    EXPECT_EQ(lines(mode), 2);
    EXPECT_EQ(lines(rate), 2);
    EXPECT_NE(mode.find("Time="), std::string::npos);
    EXPECT_LT(mode.find("Mode=ELECTRIC"), mode.find("Mode=GAS"));
    EXPECT_NE(mode.find("Car_ID="), std::string::npos);
    EXPECT_NE(rate.find("Fuel_Rate ="), std::string::npos);
}

// Without the trace switch the hybrid runs the same modes and rates and no
// trace file is created.
TEST_F(PowerModel, PlugInHybridTracesOnlyWhenAsked) {
    engine(4, kEnginePlugInHybrid);
    s->kzcpxm_energy.initial_soc(4) = s->vehper.soc_min(4);
    s->kzcpxm_energy.hybrid_alpha(4, 1) = 0.12f;
    const Out traced_electric = run(4, 50.0f, 0.5f, 17);
    const Out traced_gas = run(4, 50.0f, 0.5f, 18);
    ASSERT_TRUE(s->units.exists("phev_mode_trace.txt"));

    s = support::logged_sim(support::Opened::run_log_and_summary);
    SetUp();
    s->write_traces = false;
    engine(4, kEnginePlugInHybrid);
    s->kzcpxm_energy.initial_soc(4) = s->vehper.soc_min(4);
    s->kzcpxm_energy.hybrid_alpha(4, 1) = 0.12f;
    const Out electric = run(4, 50.0f, 0.5f, 17);
    const Out gas = run(4, 50.0f, 0.5f, 18);
    EXPECT_EQ(electric.energy, traced_electric.energy);
    EXPECT_EQ(electric.fuel, traced_electric.fuel);
    EXPECT_EQ(gas.fuel, traced_gas.fuel);
    EXPECT_GT(gas.fuel, 0.0f);
    EXPECT_FALSE(s->units.exists("phev_mode_trace.txt"));
    EXPECT_FALSE(s->units.exists("phev_rate_trace.txt"));
}

TEST_F(PowerModel, OtherEngineTypesUseNothing) {
    for (int e : {5, 7, 0}) {
        SCOPED_TRACE(e);
        fresh_trip();
        engine(2, e);
        const Out o = run(2, 50.0f, 1.0f);
        EXPECT_EQ(o.fuel, 0.0f);
        EXPECT_EQ(o.energy, 0.0f);
        EXPECT_NE(o.vsp, 0.0f);
        EXPECT_EQ(s->kzcpxm_energy.veh_soc(kCar), 0.9f);
        EXPECT_EQ(s->kzcpxm_energy.veh_battery_capacity(kCar), s->vehper.battery_capacity(2));
        run(2, 50.0f, 1.0f);
        EXPECT_EQ(s->kzcpxm_energy.veh_soc(kCar), 0.9f);
    }
    // One run-log line for the type, however often it is evaluated.
    const std::string log = run_log();
    EXPECT_EQ(lines(log), 1) << log;
    EXPECT_NE(log.find("710320"), std::string::npos);
}

TEST_F(PowerModel, RegressionSums) {
    struct Case {
        const char* what;
        float       v, a, tem_val, tem_par3, reg;
        bool        positive, decel;
    };
    const Case cases[] = {
        {"cruising", 40.0f, 0.0f, 5.0f, 2.0f, 1.0f, true, false},
        {"braking", 40.0f, -0.3f, -1.0f, -3.0f, 1.0f, false, true},
        {"braking with positive power", 40.0f, -0.3f, 1.0f, -0.5f, 1.0f, true, true},
        // A small regeneration parameter would weigh this second well above 0.
        {"barely braking", 40.0f, -0.01f, -1.0f, -3.0f, 0.001f, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        s->vehper.reg_parm(1) = c.reg;
        auto& sums = s->kzcpxm_energy.veh_vsp_param;
        for (int k = 1; k <= 8; ++k) sums(kVid, k) = 1.0f;
        update_kzcpfm_vsp(*s, kVid, 1, c.v, c.a, c.tem_val, c.tem_par3);
        const double v3 = std::pow(c.v, 3), f = c.tem_par3;
        const double r = c.decel ? std::exp(-s->vehper.reg_parm(1) / std::fabs(c.a)) : 0.0;
        const double add[8] = {c.positive ? v3 : 0.0,
                               c.positive ? v3 * v3 : 0.0,
                               c.positive ? f : 0.0,
                               c.positive ? f * f : 0.0,
                               c.positive ? f * v3 : 0.0,
                               f * r,
                               v3 * r,
                               0.0};
        for (int k = 1; k <= 7; ++k)
            EXPECT_NEAR(sums(kVid, k), 1.0 + add[k - 1], 1e-6 * (1.0 + std::fabs(add[k - 1])))
                << "column " << k;
        EXPECT_EQ(sums(kVid, 8), 1.0f);
    }
    s->kzcpxm_energy.veh_vsp_param(kVid, 8) = 0.0f;
    update_kzcpfm_vsp(*s, kVid, 1, 0.0f, 0.0f, -1.0f, 0.0f);
    EXPECT_EQ(s->kzcpxm_energy.veh_vsp_param(kVid, 8), 1.0f);
}

TEST_F(PowerModel, PricingChangesNothing) {
    const struct {
        int   type, engine;
        float v, a;
    } cases[] = {{1, kBatteryElectric, 47.26f, -0.26f},
                 {4, kEnginePlugInHybrid, 50.0f, 0.5f},
                 {2, kEngineGasoline, 60.0f, 1.0f},
                 {3, kEngineHybrid, 33.0f, 0.3f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.engine);
        fresh_trip();
        engine(c.type, c.engine);
        const float      v = c.v, a = c.a;
        const PowerRates priced = kzcpxm_price(*s, kCar, kVid, c.type, kLink, v, a);
        EXPECT_EQ(s->kzcpxm_energy.veh_soc(kCar), -1.0f);
        EXPECT_EQ(s->kzcpxm_energy.soc_threshold(kCar), -1.0f);
        EXPECT_FALSE(s->units.exists("phev_mode_trace.txt"));
        const Out real = run(c.type, v, a);
        EXPECT_EQ(priced.fuel, real.fuel);
        EXPECT_EQ(priced.energy, real.energy);
        EXPECT_EQ(priced.tem_val, real.vsp);
        EXPECT_EQ(priced.tem_par3, real.vsp_np);
        const float soc = s->kzcpxm_energy.veh_soc(kCar);
        kzcpxm_price(*s, kCar, kVid, c.type, kLink, v, a);
        EXPECT_EQ(s->kzcpxm_energy.veh_soc(kCar), soc);
        s->units.remove("phev_mode_trace.txt");
        s->units.close(kUnitPhevMode);
        s->units.close(kUnitPhevRate);
        s->kzcpxm_energy.phev_trace = {};
    }
}

// The older variant reads the slot's own speed and acceleration and codes
// engines 0 conventional, 1 electric, 2 hybrid.
TEST_F(PowerModel, OlderVariantOnTheSlotsOwnMotion) {
    auto&       ke = s->kzcpxm_energy;
    const auto& vp = s->vehper;
    s->vehplot.spd(kVid, 4) = 40.04f;
    s->vehicle.vacc(kVid, 2) = -1.96f;
    const double m = vp.vehmass(1);
    struct Case {
        int  engine;
        bool electric;
    };
    for (const Case c : {Case{0, false}, Case{1, true}, Case{2, true}}) {
        SCOPED_TRACE(c.engine);
        fresh_trip();
        engine(1, c.engine);
        float v = 0.0f, a = 0.0f, fuel = -1.0f, energy = -1.0f, vsp = 0.0f, np = 0.0f;
        kzcpfm_fuel_rate(*s, kCar, kVid, 1, v, a, 0, fuel, energy, vsp, np);
        EXPECT_EQ(v, 40.0f);
        EXPECT_EQ(a, -2.0f);
        ASSERT_LT(vsp, 0.0f);
        if (c.electric) {
            const double e = m * vsp / 3600.0 * std::exp(-vp.reg_parm(1) / 2.0);
            EXPECT_NEAR(energy, e, 1e-4 * std::fabs(e));
            EXPECT_EQ(fuel, 0.0f);
            EXPECT_NEAR(ke.veh_soc(kCar), 0.9 - e / (vp.battery_capacity(1) * 3600.0), 1e-6);
        } else {
            EXPECT_EQ(fuel, ke.kzcpfm_alpha(1, 1));
            EXPECT_EQ(energy, 0.0f);
        }
    }
    // A hybrid at its minimum charge runs on fuel.
    fresh_trip();
    engine(1, 2);
    ke.initial_soc(1) = vp.soc_min(1);
    float v = 0.0f, a = 0.0f, fuel = 0.0f, energy = 0.0f, vsp = 0.0f, np = 0.0f;
    kzcpfm_fuel_rate(*s, kCar, kVid, 1, v, a, 0, fuel, energy, vsp, np);
    EXPECT_EQ(fuel, ke.kzcpfm_alpha(1, 1));
    EXPECT_EQ(energy, 0.0f);
}

// A trace file that cannot be created is named once in the run log; the
// evaluation goes on.
TEST(PowerModelTraces, UncreatableTraceFileIsReportedOnce) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("velm_phev_" + std::to_string(getpid()));
    fs::create_directories(dir / "phev_mode_trace.txt");
    const fs::path home = fs::current_path();
    fs::current_path(dir);
    std::string log;
    {
        auto s = std::make_unique<Sim>();
        s->write_traces = true;
        s->units.open_write(kUnitRunLog, "runerr.out");
        s->units.open_write(kUnitSummary, "summary.out");
        init_veh_param(*s);
        s->vehper.engine_type(4) = kEnginePlugInHybrid;
        s->kzcpxm_energy.initial_soc(4) = 0.9f;
        s->kzcpxm_energy.veh_soc(1) = s->kzcpxm_energy.soc_threshold(1) = -1.0f;
        s->kzcpxm_energy.veh_battery_capacity(1) = -1.0f;
        s->oddat.curlnk(1) = 1;
        for (int t = 0; t < 3; ++t) {
            float v = 40.0f, a = 0.5f, fuel = 0.0f, energy = 0.0f, vsp = 0.0f, np = 0.0f;
            kzcpxm_fuel_rate(*s, 1, 1, 4, 1, v, a, t, fuel, energy, vsp, np);
            EXPECT_GT(energy, 0.0f);
        }
        s->units.close_all();
    }
    std::ifstream      in(dir / "runerr.out");
    std::ostringstream text;
    text << in.rdbuf();
    log = text.str();
    std::ifstream      rate(dir / "phev_rate_trace.txt");
    std::ostringstream rate_text;
    rate_text << rate.rdbuf();
    fs::current_path(home);
    fs::remove_all(dir);
    EXPECT_EQ(lines(log), 1) << log;
    EXPECT_NE(log.find("710310"), std::string::npos);
    EXPECT_NE(log.find("phev_mode_trace.txt"), std::string::npos);
    EXPECT_EQ(lines(rate_text.str()), 3);
}

} // namespace
} // namespace velm
