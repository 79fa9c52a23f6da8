// The built-in regression coefficients: the measured values as fitted, the
// derived types by their rules (recomputed here from the vehicle-type table),
// and the rates they give at standstill and in level cruise.
#include "core/demand/vehicle_type_table.h"
#include "core/energy/fuel_coefficients.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace velm {
namespace {

namespace bf = builtin_fuel;
namespace bt = builtin_vehicle_types;

float K(int t, int e, int b, int i, int j) {
    return bf::coefficients()[static_cast<std::size_t>(t - 1)]
                             [static_cast<std::size_t>(fuel_coef_index(e, b, i, j))];
}

// Rate of measure e (l/s or mg/s) of type t cruising on the level at v km/h.
double cruise_rate(int t, int e, double v) {
    double x = 0.0;
    for (int i = 0; i < 4; ++i) x += K(t, e, 1, i, 0) * std::pow(v, i);
    return std::exp(x);
}

TEST(BuiltInFuelCoefficients, MeasuredValuesAreKeptAsTheyStand) {
    struct Value {
        int   t, e, b, i, j;
        float k;
    };
    // The measured tables, as fitted.
    const std::vector<Value> measured = {
        {1, 1, 1, 0, 0, -7.73452f},    {1, 1, 1, 0, 1, 0.22946f},    {1, 1, 1, 0, 2, -0.00561f},
        {1, 1, 1, 0, 3, 9.773E-05f},   {1, 1, 1, 1, 0, 0.02799f},    {1, 1, 1, 1, 1, 0.0068f},
        {1, 1, 1, 1, 2, -0.00077221f}, {1, 1, 1, 1, 3, 8.38E-06f},   {1, 1, 1, 2, 0, -0.0002228f},
        {1, 1, 1, 2, 1, -4.402E-05f},  {1, 1, 1, 2, 2, 7.9E-07f},    {1, 1, 1, 2, 3, 8.17E-07f},
        {1, 1, 1, 3, 0, 1.09E-06f},    {1, 1, 1, 3, 1, 4.8E-08f},    {1, 1, 1, 3, 2, 3.27E-08f},
        {1, 1, 1, 3, 3, -7.79E-09f},   {1, 1, 2, 0, 0, -7.73452f},   {1, 1, 2, 0, 1, -0.01799f},
        {1, 1, 2, 0, 2, -0.00427f},    {1, 1, 2, 0, 3, 0.00018829f}, {1, 1, 2, 1, 0, 0.02804f},
        {1, 1, 2, 1, 1, 0.00772f},     {1, 1, 2, 1, 2, 0.00083744f}, {1, 1, 2, 1, 3, -3.387E-05f},
        {1, 1, 2, 2, 0, -0.00021988f}, {1, 1, 2, 2, 1, -5.219E-05f}, {1, 1, 2, 2, 2, -7.44E-06f},
        {1, 1, 2, 2, 3, 2.77E-07f},    {1, 1, 2, 3, 0, 1.08E-06f},   {1, 1, 2, 3, 1, 2.47E-07f},
        {1, 1, 2, 3, 2, 4.87E-08f},    {1, 1, 2, 3, 3, 3.79E-10f},   {1, 5, 1, 0, 0, 6.914935f},
        {1, 5, 1, 0, 1, 0.2173f},      {1, 5, 1, 0, 2, 0.00023538f}, {1, 5, 1, 0, 3, -0.00036388f},
        {1, 5, 2, 0, 0, 6.914935f},    {1, 5, 2, 0, 1, -0.03203f},   {1, 5, 2, 0, 2, -0.00917f},
        {1, 5, 2, 0, 3, -0.0002886f},  {22, 1, 1, 0, 0, -7.70543f},  {22, 1, 1, 0, 1, 1.40851f},
        {22, 1, 1, 0, 2, -0.50584f},   {22, 1, 1, 0, 3, 0.0495f},    {22, 1, 2, 0, 0, -7.71f},
    };
    for (const Value& v : measured)
        EXPECT_EQ(K(v.t, v.e, v.b, v.i, v.j), v.k)
            << "K(" << v.t << ", " << v.e << ", " << v.b << ", " << v.i << ", " << v.j << ")";
    // Types 1..21: no particulates; the trucks do emit them.
    for (int t = 1; t <= 25; ++t)
        for (int b = 1; b <= 2; ++b)
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j) {
                    SCOPED_TRACE(testing::Message() << "PM of type " << t << " " << b << i << j);
                    if (t <= 21) {
                        EXPECT_EQ(K(t, 6, b, i, j), (i == 0 && j == 0) ? -1.0E8f : 0.0f);
                    } else if (i == 0 && j == 0) {
                        EXPECT_GT(K(t, 6, b, i, j), -20.0f);
                    }
                }
}

TEST(BuiltInFuelCoefficients, TypeOneSpeciesFollowItsFuel) {
    const double grams[] = {0.0, 0.0, 2.0, 25.0, 3.0}; // by measure: HC, CO, NOx
    for (int b = 1; b <= 2; ++b)
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j < 4; ++j) {
                SCOPED_TRACE(testing::Message()
                             << "branch " << b << " K(" << i << ", " << j << ")");
                const float fuel = K(1, 1, b, i, j);
                if (i > 0) {
                    EXPECT_EQ(K(1, 5, b, i, j), fuel) << "CO2 rows follow fuel";
                }
                for (int e = 2; e <= 4; ++e) {
                    const double expect =
                        fuel + ((i == 0 && j == 0) ? std::log(1000.0 * grams[e]) : 0.0);
                    EXPECT_NEAR(K(1, e, b, i, j), expect, 1e-5 * std::max(1.0, std::fabs(expect)));
                }
            }
    EXPECT_NEAR(K(1, 2, 2, 0, 0), -7.73452 + std::log(2000.0), 1e-5);
}

TEST(BuiltInFuelCoefficients, LightTypesScaleTypeOneByMassToPowerAndEngineSize) {
    const auto& one = bt::kTypes[0];
    for (int t = 2; t <= 21; ++t) {
        const auto&  row = bt::kTypes[static_cast<std::size_t>(t - 1)];
        const double rho = (double(row.mass) / row.kw) / (double(one.mass) / one.kw);
        const double ln_s = 0.5 * std::log(double(row.kw) / one.kw);
        for (int e = 1; e <= 5; ++e)
            for (int b = 1; b <= 2; ++b)
                for (int i = 0; i < 4; ++i)
                    for (int j = 0; j < 4; ++j) {
                        const double expect =
                            std::pow(rho, j) * K(1, e, b, i, j) + ((i == 0 && j == 0) ? ln_s : 0.0);
                        ASSERT_NEAR(K(t, e, b, i, j), expect,
                                    1e-6 * std::max(1.0, std::fabs(expect)))
                            << "type " << t << " K(" << e << ", " << b << ", " << i << ", " << j
                            << ")";
                    }
    }
    // Type 16 written out: 78 kW, 1090 kg against type 1's 119 kW, 1900 kg.
    const double rho16 = (1090.0 / 78.0) / (1900.0 / 119.0);
    EXPECT_NEAR(K(16, 1, 1, 0, 0), -7.73452 + 0.5 * std::log(78.0 / 119.0), 1e-5);
    EXPECT_NEAR(K(16, 1, 1, 1, 2), rho16 * rho16 * -0.00077221, 1e-9);
}

TEST(BuiltInFuelCoefficients, TrucksShareOneTableBothBranchesMeetingAtZeroAcceleration) {
    for (int i = 1; i < 4; ++i)
        EXPECT_NEAR(K(22, 1, 1, i, 0) / K(1, 1, 1, i, 0), 2.0775, 1e-4) << "speed power " << i;
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(K(22, 1, 2, i, 0), K(22, 1, 1, i, 0)) << "speed power " << i;
    EXPECT_EQ(K(22, 1, 2, 0, 1), 0.5f);
    const double ln_co2_per_litre = std::log(2640.0e3);          // diesel, mg per litre
    const double grams[] = {0.0, 0.0, 1.0, 5.0, 30.0, 0.0, 1.0}; // by measure
    for (int e = 1; e <= 6; ++e)
        for (int b = 1; b <= 2; ++b)
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j) {
                    SCOPED_TRACE(testing::Message()
                                 << "K(" << e << ", " << b << ", " << i << ", " << j << ")");
                    for (int t = 23; t <= 25; ++t) EXPECT_EQ(K(t, e, b, i, j), K(22, e, b, i, j));
                    if ((b == 2 && j > 1) || (i > 0 && j > 0)) {
                        EXPECT_EQ(K(22, e, b, i, j), 0.0f);
                    }
                    if (e == 1) continue;
                    const double offset =
                        (i == 0 && j == 0)
                            ? (e == 5 ? ln_co2_per_litre : std::log(1000.0 * grams[e]))
                            : 0.0;
                    EXPECT_NEAR(K(22, e, b, i, j), K(22, 1, b, i, j) + offset, 1e-5);
                }
}

TEST(BuiltInFuelCoefficients, RatesAtStandstillAndLevelCruise) {
    EXPECT_NEAR(cruise_rate(1, 1, 0.0), 4.3746E-4, 1e-8) << "l/s at standstill";
    EXPECT_NEAR(cruise_rate(1, 5, 0.0), 1007.0, 0.5) << "mg CO2/s at standstill";
    EXPECT_NEAR(cruise_rate(1, 1, 60.0), 1.3311E-3, 1e-7) << "l/s at 60 km/h";
    // l/100 km: the light types lie within 5..10 at 60 km/h, the trucks 30..40 at 80.
    for (int t = 1; t <= 25; ++t) {
        const double v = t <= 21 ? 60.0 : 80.0;
        const double per_100km = cruise_rate(t, 1, v) * 100.0 / v * 3600.0;
        if (t <= 21) {
            EXPECT_GE(per_100km, 5.0) << t;
            EXPECT_LE(per_100km, 10.0) << t;
        } else {
            EXPECT_NEAR(per_100km, 35.0, 0.05) << t;
        }
    }
}

} // namespace
} // namespace velm
