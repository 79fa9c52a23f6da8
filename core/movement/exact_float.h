#pragma once
// Single-precision arithmetic on values that may be subnormal, bit for bit as
// the plain float expressions evaluate, without the processor's slow path.
//
// Why: a per-vehicle record that decays towards zero (the smoothed speed and
// the speed envelope of a queue standing for minutes, the smoothed
// acceleration of a vehicle cruising at constant speed) sinks into the
// subnormal floats and stays there (0.9 times four of the smallest subnormal
// steps rounds back to four), and every arithmetic instruction with a
// subnormal operand or result takes a microcoded path tens of times slower
// than a normal one. In a long run most standing vehicles carry such values,
// and the speed update and the lane decision read them every tick. The
// operations below test for a subnormal operand and then compute the same bits
// from the float's integer fields and normal doubles, so every value, and
// everything computed from it, is unchanged.
//
// Exactness: a product of two floats is exact in double and is rounded once to
// float. For a quotient or a sum of two floats the double result is rounded
// twice (to double, then to float), which gives the correctly rounded float
// because a double carries more than twice a float's precision plus two bits.
#include <bit>
#include <cmath>
#include <cstdint>

namespace velm {

namespace exact_float_detail {

constexpr std::uint32_t kExponentBits = 0x7f800000u;
constexpr std::uint32_t kMantissaBits = 0x007fffffu;
constexpr std::uint32_t kSignBit = 0x80000000u;

// True for a subnormal float (exponent field zero, mantissa non-zero).
inline bool subnormal(float x) {
    const auto b = std::bit_cast<std::uint32_t>(x);
    return (b & kExponentBits) == 0 && (b & kMantissaBits) != 0;
}

// The exact value of x as a double, without a subnormal float operand.
inline double widen(float x) {
    const auto b = std::bit_cast<std::uint32_t>(x);
    if ((b & kExponentBits) != 0) return static_cast<double>(x);
    const double m = static_cast<double>(b & kMantissaBits) * 0x1p-149;
    return (b & kSignBit) != 0 ? -m : m;
}

// v rounded to the nearest float (ties to even), building a subnormal result
// from its integer fields. A mantissa that rounds up to 2^23 is the encoding
// of the smallest normal float, which is the right result.
inline float narrow(double v) {
    const double a = std::fabs(v);
    if (!(a < 0x1p-126)) return static_cast<float>(v);
    // Adding and removing 2^52 rounds a double below 2^51 to an integer, ties to
    // even, in the default rounding mode.
    const auto m = static_cast<std::uint32_t>((a * 0x1p149 + 0x1p52) - 0x1p52);
    return std::bit_cast<float>((std::signbit(v) ? kSignBit : 0u) | m);
}

inline float times(float a, float b) {
    return narrow(widen(a) * widen(b));
}
inline float over(float a, float b) {
    return narrow(widen(a) / widen(b));
}
inline float plus(float a, float b) {
    return narrow(widen(a) + widen(b));
}

} // namespace exact_float_detail

// a x + b y (the smoothing of a record x by a new value y with the weights a
// and b, normal floats): the float expression `a * x + b * y`.
inline float smoothed(float a, float x, float b, float y) {
    namespace d = exact_float_detail;
    if (!d::subnormal(x) && !d::subnormal(y)) [[likely]]
        return a * x + b * y;
    return d::plus(d::times(a, x), d::times(b, y));
}

// base + c x / d (a length or factor growing with a speed x, over a normal
// reference d): the float expression `base + c * x / d`.
inline float plus_scaled(float base, float c, float x, float d) {
    namespace e = exact_float_detail;
    if (!e::subnormal(x)) [[likely]]
        return base + c * x / d;
    return e::plus(base, e::over(e::times(c, x), d));
}

// a + b: the float expression `a + b`.
inline float sum(float a, float b) {
    namespace e = exact_float_detail;
    if (!e::subnormal(a) && !e::subnormal(b)) [[likely]]
        return a + b;
    return e::plus(a, b);
}

// base + c x (a value growing with a speed x): the float expression
// `base + c * x`.
inline float plus_times(float base, float c, float x) {
    namespace e = exact_float_detail;
    if (!e::subnormal(x)) [[likely]]
        return base + c * x;
    return e::plus(base, e::times(c, x));
}

} // namespace velm
