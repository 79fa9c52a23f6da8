// The speed and acceleration regression: the bounds each type group is held
// to, the branch it is evaluated on, and the rates of the built-in tables.
#include "core/energy/fuel_coefficients.h"
#include "core/energy/fuel_models.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

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

TEST_F(BuiltInTables, HeavyTruckBrakingUsesTheConstantBranch) {
    float                       fuel = 0.0f, other = 0.0f;
    std::array<float, kSpecies> c{};
    environ2(*s, 25, 1, {63.0f, 57.0f}, 0.0f, fuel, c);
    environ2(*s, 25, 1, {30.0f, 28.0f}, 0.0f, other, c);
    EXPECT_NEAR(fuel, std::exp(-7.71), 1e-8);
    EXPECT_EQ(fuel, other);
}

} // namespace
} // namespace velm
