// The speed and acceleration regression: the bounds each type group is held
// to, the branch it is evaluated on, and the rates of the built-in tables.
#include "core/energy/fuel_coefficients.h"
#include "core/energy/fuel_models.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

namespace velm {
namespace {

// A table that gives away where it was evaluated: fuel = exp(0.01 v),
// HC = exp(0.1 a), CO = exp(branch).
void revealing_table(Sim& s, int type) {
    auto& k = s.fuel.fuelcoef;
    for (int b = 1; b <= kFuelBranches; ++b) {
        k(type, 1, b, 1, 0) = 0.01f;
        k(type, 2, b, 0, 1) = 0.1f;
        k(type, 3, b, 0, 0) = static_cast<float>(b);
    }
}

struct Evaluated {
    double v, a;
    int    branch;
};

Evaluated evaluate(Sim& s, int type, float s1, float s2, float grade) {
    s.lnkgrade.lnkgrade(1) = grade;
    float                       fuel = 0.0f;
    std::array<float, kSpecies> c{};
    environ2(s, type, 1, {s1, s2}, 0.0f, fuel, c);
    return {100.0 * std::log(fuel), 10.0 * std::log(c[0]),
            static_cast<int>(std::lround(std::log(c[1])))};
}

struct BoundCase {
    const char* what;
    int         type;
    float       s1, s2, grade;
    double      v, a;
    int         branch;
};

TEST(Environ2, HoldsSpeedAndAccelerationWithinTheFittedRegion) {
    const BoundCase cases[] = {
        {"type 1 holding 150 km/h", 1, 150.0f, 150.0f, 0.0f, 120.0, 0.0, 1},
        {"type 1 at 60 km/h gaining 12 km/h/s", 1, 54.0f, 66.0f, 0.0f, 60.0, 14.383 - 0.0926 * 60.0,
         1},
        {"type 23 at 110 km/h accelerating hard", 23, 105.0f, 115.0f, 0.0f, 107.0,
         8.0 - 0.0508 * 107.0, 1},
        {"type 23 at 110 km/h braking hard", 23, 115.0f, 105.0f, 0.0f, 107.0, -4.0, 2},
        {"type 25 braking 6 km/h/s", 25, 63.0f, 57.0f, 0.0f, 60.0, -3.0, 2},
        {"type 5 braking 6 km/h/s", 5, 63.0f, 57.0f, 0.0f, 60.0, -4.0, 2},
        {"type 5 accelerating at 100 km/h", 5, 95.0f, 105.0f, 0.0f, 100.0, 10.0 - 7.14, 1},
        {"type 1 braking 8 km/h/s", 1, 44.0f, 36.0f, 0.0f, 40.0, -5.0, 2},
        {"grade 0.05 at constant speed", 1, 50.0f, 50.0f, 0.05f, 50.0, 3.6 * 9.8066 * 0.05, 1},
        {"downhill grade 0.02 at constant speed", 1, 50.0f, 50.0f, -0.02f, 50.0,
         -3.6 * 9.8066 * 0.02, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto s = std::make_unique<Sim>();
        revealing_table(*s, c.type);
        const Evaluated e = evaluate(*s, c.type, c.s1, c.s2, c.grade);
        EXPECT_NEAR(e.v, c.v, 1e-3);
        EXPECT_NEAR(e.a, c.a, 1e-4);
        EXPECT_EQ(e.branch, c.branch);
    }
}

TEST(Environ2, WorkedCasesOfTheBounds) {
    auto s = std::make_unique<Sim>();
    revealing_table(*s, 1);
    EXPECT_NEAR(evaluate(*s, 1, 54.0f, 66.0f, 0.0f).a, 8.827, 1e-3);
    EXPECT_NEAR(evaluate(*s, 1, 50.0f, 50.0f, 0.05f).a, 1.765, 1e-3);
    revealing_table(*s, 23);
    EXPECT_NEAR(evaluate(*s, 23, 105.0f, 115.0f, 0.0f).a, 2.5644, 1e-4);
}

class BuiltInTables : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int t = 1; t <= kVehicleTypes; ++t)
            s->fuel.fuelcoef.type(t) =
                builtin_fuel::coefficients()[static_cast<std::size_t>(t - 1)];
    }
    std::unique_ptr<Sim> s = std::make_unique<Sim>();
};

TEST_F(BuiltInTables, IdleRatesAreTheConstants) {
    float                       fuel = 0.0f;
    std::array<float, kSpecies> c{};
    environ2(*s, 1, 1, {0.0f, 0.0f}, 0.0f, fuel, c);
    EXPECT_NEAR(fuel, std::exp(-7.73452), 1e-8);
    EXPECT_NEAR(c[3], std::exp(6.914935), 1e-2);
}

TEST_F(BuiltInTables, CarsAndLightTrucksEmitNoParticulates) {
    for (int t = 1; t <= 21; ++t) {
        float                       fuel = 0.0f;
        std::array<float, kSpecies> c{};
        environ2(*s, t, 1, {40.0f, 43.0f}, 0.0f, fuel, c);
        EXPECT_EQ(c[4], 0.0f) << "type " << t;
        EXPECT_GT(fuel, 0.0f) << "type " << t;
    }
}

// Fuel rate (l/s) of the accelerating branch at a = 0, speed held to the type's cap.
double cruise_rate(const Sim& s, int type, double v) {
    double x = 0.0, vi = 1.0;
    for (int i = 0; i < kFuelPowers; ++i, vi *= v) x += s.fuel.fuelcoef(type, 1, 1, i, 0) * vi;
    return std::exp(x);
}

// Ten minutes at a held speed with the smoothed speed wobbling by a few
// hundredths of a km/h, as car following leaves it: the fuel per km is the
// table's cruise figure whichever branch each second falls on.
TEST_F(BuiltInTables, SteadySpeedBurnsTheCruiseFuelOfTheTable) {
    const int   types[] = {1, 22, 23, 24, 25};
    const float speeds[] = {50.0f, 100.0f};
    const float caps[] = {120.0f, 107.0f, 107.0f, 107.0f, 96.0f};
    for (std::size_t ti = 0; ti < std::size(types); ++ti)
        for (float v : speeds) {
            const int t = types[ti];
            SCOPED_TRACE("type " + std::to_string(t) + " at " + std::to_string(v) + " km/h");
            double fuel = 0.0, km = 0.0;
            float  prev = v;
            for (int k = 1; k <= 600; ++k) {
                const float                 now = v + 0.03f * static_cast<float>((k * 7) % 5 - 2);
                float                       rate = 0.0f;
                std::array<float, kSpecies> c{};
                environ2(*s, t, 1, {prev, now}, 0.0f, rate, c);
                fuel += rate;
                km += (prev + now) / 2.0 / 3600.0;
                prev = now;
            }
            const double table = cruise_rate(*s, t, std::min(v, caps[ti])) * 3600.0 / v;
            EXPECT_NEAR(fuel / km, table, 0.05 * table);
        }
}

// Trucks and buses burn diesel: 2640 g of CO2 per litre on either branch;
// the petrol car keeps its measured 2302.
TEST_F(BuiltInTables, CarbonPerLitreFollowsTheFuelBurnt) {
    const struct {
        int    type;
        double grams;
    } cases[] = {{1, 2302.0}, {22, 2640.0}, {23, 2640.0}, {25, 2640.0}};
    for (const auto& c : cases)
        for (float s2 : {50.0f, 53.0f, 47.0f}) {
            float                       fuel = 0.0f;
            std::array<float, kSpecies> sp{};
            environ2(*s, c.type, 1, {50.0f, s2}, 0.0f, fuel, sp);
            if (c.type == 1 && s2 != 50.0f) continue; // type 1's CO2 rows are measured apart
            EXPECT_NEAR(sp[3] / 1000.0 / fuel, c.grams, 0.005 * c.grams)
                << "type " << c.type << " to " << s2 << " km/h";
        }
}

TEST_F(BuiltInTables, TruckBrakingBurnsLessThanCruisingAndNoMoreThanIdleWhenSlowing) {
    for (int t = 22; t <= 25; ++t) {
        SCOPED_TRACE("type " + std::to_string(t));
        float                       cruise = 0.0f, gentle = 0.0f, hard = 0.0f, slow = 0.0f;
        std::array<float, kSpecies> c{};
        environ2(*s, t, 1, {60.0f, 60.0f}, 0.0f, cruise, c);
        environ2(*s, t, 1, {60.5f, 59.5f}, 0.0f, gentle, c);
        environ2(*s, t, 1, {62.0f, 58.0f}, 0.0f, hard, c);
        environ2(*s, t, 1, {7.0f, 3.0f}, 0.0f, slow, c);
        EXPECT_LT(gentle, cruise);
        EXPECT_GT(gentle, 0.5f * cruise);
        EXPECT_LT(hard, gentle);
        EXPECT_LE(slow, 1.01f * std::exp(-7.71f));
    }
}

} // namespace
} // namespace velm
