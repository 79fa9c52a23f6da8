#pragma once
// Exponential smoothing of per-vehicle records (smoothed speed, speed
// envelope, smoothed acceleration): a x + b y in single precision, the
// products rounded to float and then their sum, exactly as the plain
// expression `a * x + b * y` evaluates.
//
// Why not the plain expression: a record that decays towards zero (a queue
// standing for minutes, a vehicle cruising at constant speed) sinks into the
// subnormal floats and stays there (0.9 times the smallest subnormal rounds
// back to it), and every arithmetic instruction on a subnormal operand takes
// a slow microcoded path, tens of times slower than a normal one. In a long
// run most standing vehicles carry such values. The slow path below computes
// the same bits from the float's integer fields and normal doubles, so the
// smoothed values, and everything computed from them, are unchanged.
#include <bit>
#include <cmath>
#include <cstdint>

namespace velm {

namespace smoothing_detail {

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
    const auto m = static_cast<std::uint32_t>(std::nearbyint(a * 0x1p149));
    return std::bit_cast<float>((std::signbit(v) ? kSignBit : 0u) | m);
}

// a x + b y with any operand subnormal. Each product is exact in double and
// rounded once to float; the double sum of two floats rounded to float is the
// float sum (a double carries more than twice a float's precision plus two).
inline float smoothed_slow(float a, float x, float b, float y) {
    const float p = narrow(widen(a) * widen(x));
    const float q = narrow(widen(b) * widen(y));
    return narrow(widen(p) + widen(q));
}

} // namespace smoothing_detail

// a x + b y, bit for bit as the float expression; a and b are the smoothing
// weights (normal floats).
inline float smoothed(float a, float x, float b, float y) {
    if (!smoothing_detail::subnormal(x) && !smoothing_detail::subnormal(y)) [[likely]]
        return a * x + b * y;
    return smoothing_detail::smoothed_slow(a, x, b, y);
}

} // namespace velm
