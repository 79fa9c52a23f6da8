// Arithmetic on records that may be subnormal: the result must be the plain
// float expression bit for bit, subnormal operands and results included, since
// the smoothed speeds and accelerations feed every later tick and the reports.
// The reference is the processor's own float arithmetic on the same operands.
#include "core/movement/exact_float.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

namespace velm {
namespace {

std::uint32_t bits(float x) {
    return std::bit_cast<std::uint32_t>(x);
}

// The plain expression, kept out of the compiler's constant folding.
float plain(float a, float x, float b, float y) {
    volatile float va = a, vx = x, vb = b, vy = y;
    return va * vx + vb * vy;
}
float plain_scaled(float base, float c, float x, float d) {
    volatile float vb = base, vc = c, vx = x, vd = d;
    return vb + vc * vx / vd;
}

// The weight pairs the speed update smooths with.
constexpr float kWeights[][2] = {{0.1f, 0.9f}, {0.9f, 0.1f}, {0.3f, 0.7f}};

constexpr float kTiny = std::numeric_limits<float>::denorm_min();

constexpr float kOperands[] = {0.0f,
                               -0.0f,
                               kTiny,
                               -kTiny,
                               2.0f * kTiny,
                               3.0f * kTiny,
                               12345.0f * kTiny,
                               FLT_MIN - kTiny, // largest subnormal
                               -(FLT_MIN - kTiny),
                               FLT_MIN,
                               FLT_MIN + kTiny,
                               1.1f * FLT_MIN,
                               1e-37f,
                               -7.8448f,
                               0.5f,
                               1.0f,
                               88.4f,
                               130.0f};

TEST(Smoothing, MatchesTheFloatExpressionOnEdgeOperands) {
    int slow = 0;
    for (const auto& w : kWeights)
        for (const float x : kOperands)
            for (const float y : kOperands) {
                const float want = plain(w[0], x, w[1], y);
                const float got = smoothed(w[0], x, w[1], y);
                slow += std::fpclassify(x) == FP_SUBNORMAL || std::fpclassify(y) == FP_SUBNORMAL;
                EXPECT_EQ(bits(got), bits(want)) << w[0] << " x " << x << " + " << w[1] << " x "
                                                 << y << ": " << got << " instead of " << want;
            }
    EXPECT_GT(slow, 0); // the table reaches the subnormal path
}

// Lengths and factors that grow with a (smoothed) speed: spacing at speed
// between the jam spacing and the spacing at capacity, and a weaving zone
// stretched by speed over the speed at capacity.
TEST(PlusScaled, MatchesTheFloatExpressionOnEdgeOperands) {
    struct Case {
        float base, c, d;
    };
    const Case cases[] = {{7.142857f, 12.1f, 80.0f}, {1.0f, 2.0f, 80.0f},   {1.0f, 2.0f, 3.0f},
                          {0.0f, 2.0f, 80.0f},       {-0.0f, 1.5f, 7.0f},   {kTiny, 2.0f, 0.5f},
                          {FLT_MIN, 1.0f, 3.0f},     {7.0f, -12.0f, 1e-3f}, {1e-38f, 1.0f, 1.0f}};
    int        slow = 0;
    for (const Case& k : cases)
        for (const float x : kOperands) {
            const float want = plain_scaled(k.base, k.c, x, k.d);
            const float got = plus_scaled(k.base, k.c, x, k.d);
            slow += std::fpclassify(x) == FP_SUBNORMAL;
            EXPECT_EQ(bits(got), bits(want)) << k.base << " + " << k.c << " x " << x << " / " << k.d
                                             << ": " << got << " instead of " << want;
        }
    EXPECT_GT(slow, 0);
}

// Sums and growing terms with a speed that may be subnormal: the capped score
// speed (speed plus ten times the acceleration) and the lane inertia (a base
// plus a weight times the speed).
TEST(SumAndPlusTimes, MatchTheFloatExpressionsOnEdgeOperands) {
    for (const float a : kOperands)
        for (const float b : kOperands) {
            volatile float va = a, vb = b;
            const float    want = va + vb;
            EXPECT_EQ(bits(sum(a, b)), bits(want)) << a << " + " << b;
            for (const float c : {0.2f, 2.0f, -0.5f}) {
                volatile float vc = c;
                const float    want2 = va + vc * vb;
                EXPECT_EQ(bits(plus_times(a, c, b)), bits(want2)) << a << " + " << c << " x " << b;
            }
        }
}

// Random operands around the bottom of the float range, where products and
// sums round into, out of and across the subnormals.
TEST(Smoothing, MatchesTheFloatExpressionOnRandomSmallOperands) {
    std::mt19937                                 rng(20261211);
    std::uniform_int_distribution<std::uint32_t> mantissa(0, 0x7fffff);
    std::uniform_int_distribution<std::uint32_t> exponent(0, 4); // subnormal to 2^-123
    std::uniform_int_distribution<int>           coin(0, 3);
    auto                                         draw = [&] {
        const std::uint32_t sign = coin(rng) == 0 ? 0x80000000u : 0u;
        const float         x = std::bit_cast<float>(sign | exponent(rng) << 23 | mantissa(rng));
        return coin(rng) == 0 ? x * 1e30f : x; // sometimes a normal magnitude beside it
    };
    int mismatches = 0;
    for (int i = 0; i < 200000; ++i) {
        const auto& w = kWeights[i % 3];
        const float x = draw(), y = draw();
        const float want = plain(w[0], x, w[1], y);
        const float got = smoothed(w[0], x, w[1], y);
        if (bits(got) != bits(want) && ++mismatches <= 5)
            ADD_FAILURE() << w[0] << " x " << std::hexfloat << x << " + " << w[1] << " x " << y
                          << ": " << got << " instead of " << want;
        // The same draws as a base and a speed, scaled by a weight over 3.
        const float want2 = plain_scaled(y, w[1], x, 3.0f);
        const float got2 = plus_scaled(y, w[1], x, 3.0f);
        if (bits(got2) != bits(want2) && ++mismatches <= 5)
            ADD_FAILURE() << std::hexfloat << y << " + " << w[1] << " x " << x << " / 3: " << got2
                          << " instead of " << want2;
    }
    EXPECT_EQ(mismatches, 0);
}

// A record of a vehicle that stands for good decays into the subnormals and
// stays there, a few of the smallest steps above zero; the smoothed chain follows the float chain
// step for step all the way.
TEST(Smoothing, DecayOfAStandingVehicleFollowsTheFloatChain) {
    for (const auto& w : {kWeights[0], kWeights[2]}) { // the decays: 0.9 and 0.7 of the record
        float plain_x = 88.4f, x = 88.4f;
        int   subnormal_steps = 0;
        for (int tick = 0; tick < 3000; ++tick) {
            plain_x = plain(w[0], 0.0f, w[1], plain_x);
            x = smoothed(w[0], 0.0f, w[1], x);
            ASSERT_EQ(bits(x), bits(plain_x)) << "weight " << w[1] << ", tick " << tick;
            subnormal_steps += std::fpclassify(x) == FP_SUBNORMAL;
        }
        EXPECT_GT(subnormal_steps, 100) << "weight " << w[1];
        // Stuck: one more step rounds back to the same subnormal.
        EXPECT_EQ(std::fpclassify(x), FP_SUBNORMAL) << "weight " << w[1];
        EXPECT_EQ(bits(smoothed(w[0], 0.0f, w[1], x)), bits(x)) << "weight " << w[1];
    }
}

} // namespace
} // namespace velm
