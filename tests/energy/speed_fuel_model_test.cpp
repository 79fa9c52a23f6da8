// The speed-based fuel model: the polynomial derived from the two ratings,
// the fuel and emission factors it gives, and its ambient and cold-start
// corrections.
#include "core/energy/energy.h"
#include "core/energy/speed_fuel_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace velm {
namespace {

// Ratings 11.8 and 8.9 worked by hand through the rating conversion.
struct Coef {
    int    row, col;
    double want, tol;
};
constexpr Coef kDefaultPolynomial[] = {
    {1, 1, 2.6011, 1e-4}, {1, 2, -6.1189e-3, 1e-7}, {1, 3, 7.2041e-4, 1e-8},
    {2, 1, 0.0, 0.0},     {2, 2, 6.3249e-5, 1e-9},  {2, 3, 7.1065e-6, 1e-10},
};

std::unique_ptr<Sim> converted(float city, float highway) {
    auto s = std::make_unique<Sim>();
    s->fuel.eparat(1) = city;
    s->fuel.eparat(2) = highway;
    epaconv(*s);
    return s;
}

TEST(SpeedFuelModel, RatingConversionGivesTheHandWorkedPolynomial) {
    const auto s = converted(11.8f, 8.9f);
    for (const auto& c : kDefaultPolynomial)
        EXPECT_NEAR(s->fuel.fueluse(c.row, c.col), c.want, c.tol) << c.row << "," << c.col;
    // The rows not derived stay as they were.
    EXPECT_EQ(s->fuel.fueluse(3, 1), 0.0f);
    EXPECT_EQ(s->fuel.fueluse(1, 4), 0.0f);
}

TEST(SpeedFuelModel, FuelAtSteadyAndRisingSpeeds) {
    const auto  s = converted(11.8f, 8.9f);
    const auto& fu = s->fuel.fueluse;
    const auto  cruise = [&](double v) {
        return (fu(1, 1) + fu(1, 2) * v + fu(1, 3) * v * v) * 10.0 / 36000.0;
    };
    const auto reach = [&](double u) { return fu(2, 1) + fu(2, 2) * u + fu(2, 3) * u * u; };
    struct Case {
        float  from, to;
        double want, tol;
    } cases[] = {
        // One second at 60 km/h, close to the regression model's 1.3311E-3 l.
        {60.0f, 60.0f, 1.3410e-3, 1e-6},
        // Accelerating: cruise at the mean speed plus the fuel of the speed gained.
        {50.0f, 60.0f, cruise(55.0) + reach(60.0) - reach(50.0), 1e-8},
        // Slowing down costs the cruise fuel only.
        {60.0f, 50.0f, cruise(55.0), 1e-8},
        // Standing: the idle term alone.
        {0.0f, 0.0f, fu(1, 1) * 10.0 / 36000.0, 1e-9},
    };
    for (const auto& c : cases) {
        float                                 fuel = -1.0f;
        std::array<float, kSpeedModelConfact> confact{9, 9, 9, 7, 8};
        environ(10, {c.from, c.to}, 20.0f, s->fuel.emiss, fuel, fu, confact);
        EXPECT_NEAR(fuel, c.want, c.tol) << c.from << " -> " << c.to;
        EXPECT_EQ(confact[3], 7.0f); // factors 4 and 5 are not this model's
        EXPECT_EQ(confact[4], 8.0f);
    }
}

TEST(SpeedFuelModel, EmissionFactorsArePolynomialsInSpeedAndTemperature) {
    auto  s = std::make_unique<Sim>();
    auto& em = s->fuel.emiss;
    // HC: 1 + 0.5 v + 0.1 T; CO: 2 v^2 T^2 ... shown at v = 3, T = 2.
    em(1, 1, 1) = 1.0f;
    em(2, 1, 1) = 0.5f;
    em(1, 2, 1) = 0.1f;
    em(3, 3, 2) = 2.0f;
    em(4, 1, 2) = -1.0f;
    em(1, 1, 3) = -5.0f; // never below zero
    float                                 fuel = 0;
    std::array<float, kSpeedModelConfact> confact{};
    environ(10, {2.0f, 4.0f}, 2.0f, em, fuel, s->fuel.fueluse, confact);
    EXPECT_NEAR(confact[0], 1.0 + 0.5 * 3 + 0.1 * 2, 1e-5);
    EXPECT_NEAR(confact[1], 2.0 * 9 * 4 - 27.0, 1e-4);
    EXPECT_EQ(confact[2], 0.0f);
}

TEST(SpeedFuelModel, AmbientCorrectionByBranch) {
    Array2<float> cf{"coldfuel", 2, 6};
    cf(1, 1) = 20.0f; // U
    cf(1, 2) = 0.01f; // k1
    cf(1, 3) = 5.0f;  // L
    cf(1, 4) = 0.02f; // k2
    struct Case {
        float  temp;
        double want;
    } cases[] = {
        {25.0f, 2.0},                             // above U: unchanged
        {20.0f, 2.0},                             // at U: unchanged
        {10.0f, 2.0 * (1 - 10 * 0.01)},           // between
        {5.0f, 2.0 * (1 - 15 * 0.01)},            // at L: still the first slope
        {0.0f, 2.0 * (1 - 15 * 0.01 - 0.02 * 5)}, // below L
    };
    for (const auto& c : cases) {
        float fuel = 2.0f;
        ambifuel(fuel, c.temp, cf);
        EXPECT_NEAR(fuel, c.want, 1e-6) << c.temp;
    }
}

TEST(SpeedFuelModel, ColdStartFuelShareOfTheWarmUpDistance) {
    Array2<float> cf{"coldfuel", 2, 6};
    cf(2, 1) = 15.0f; // temperature limit
    cf(2, 2) = 1.2f;
    cf(2, 3) = 0.01f; // factor 1.2 + 0.01 T
    struct Case {
        float  warm_km, temp, dist;
        double want;
    } cases[] = {
        {4.0f, 10.0f, 1.0f, 3.0 * ((1.3 - 1) * 0.75 + 1)}, // three quarters still cold
        {4.0f, 10.0f, 4.0f, 3.0},                          // warmed up
        {4.0f, 15.0f, 0.0f, 3.0},                          // warm air
        {0.0f, 10.0f, -1.0f, 3.0},                         // no warm-up distance: no share
        {-2.0f, 10.0f, -5.0f, 3.0},
    };
    for (const auto& c : cases) {
        cf(2, 4) = c.warm_km;
        float fuel = 3.0f;
        cldfuel(fuel, c.temp, c.dist, cf);
        EXPECT_TRUE(std::isfinite(fuel));
        EXPECT_NEAR(fuel, c.want, 1e-5) << c.warm_km << " " << c.dist;
    }
}

TEST(SpeedFuelModel, ColdStartEmissionsFadeOverTheWarmUpTime) {
    Array2<float> ce{"coldemis", 3, 6};
    for (int c = 1; c <= 3; ++c) {
        ce(c, 1) = 1.5f;
        ce(c, 2) = 0.1f;
        ce(c, 3) = 0.0f; // factor 1.5 + 0.1 T
        ce(c, 4) = 100.0f * static_cast<float>(c);
    }
    ce(3, 4) = 0.0f; // NOx: no warm-up
    const std::array<float, kSpeedModelConfact> confact{2, 3, 4, 0, 0};
    std::array<float, kSpeedModelConfact>       temis{};
    // T = 5: factor 2; at 50 s, HC is half way through 100 s, CO a quarter through 200 s.
    cldemis(0.5f, confact, temis, 50.0f, 5.0f, ce);
    EXPECT_NEAR(temis[0], 1.0 * (1 * 0.5 + 1), 1e-6);
    EXPECT_NEAR(temis[1], 1.5 * (1 * 0.75 + 1), 1e-6);
    EXPECT_NEAR(temis[2], 2.0, 1e-6);
    // After coldemis(c, 4) seconds: uncorrected.
    cldemis(0.5f, confact, temis, 200.0f, 5.0f, ce);
    EXPECT_NEAR(temis[0], 1.0, 1e-6);
    EXPECT_NEAR(temis[1], 1.5, 1e-6);
}

} // namespace
} // namespace velm
