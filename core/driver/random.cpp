#include "core/driver/random.h"

#include "core/model/sim.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

// Every real here is a float and every library call takes the float overload
// (std::log(float) and friends), so no step is widened to double.
namespace velm {

namespace {
constexpr std::int32_t kMultiplier = 193;
constexpr std::int32_t kModulus = 37447;
constexpr std::int32_t kWrapAdd = 37448; // added to a remainder of 0 or below
constexpr float        kMaxRnd = 0.99999f;
constexpr float        kMinRnd = 0.00001f;
constexpr float        kLowClamp = 0.01f; // input range of normal and negexp
constexpr float        kHighClamp = 0.99f;
constexpr int          kStreamStep = 13; // distance between the streams' start seeds

// 32-bit signed arithmetic that wraps instead of overflowing.
std::int32_t wrap_mul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}
std::int32_t wrap_add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

void clamp_uniform(float& random) {
    if (random <= kLowClamp) random = kLowClamp;
    if (random >= kHighClamp) random = kHighClamp;
}
} // namespace

void random(int& sd, float& rnd) {
    // The remainder takes the dividend's sign (C++ % truncates like the model's mod).
    std::int32_t next = wrap_mul(kMultiplier, sd) % kModulus;
    if (next <= 0) next += kWrapAdd;
    sd = next;
    rnd = static_cast<float>(sd) / static_cast<float>(kModulus);
    if (rnd > kMaxRnd) rnd = kMaxRnd;
    if (rnd < kMinRnd) rnd = kMinRnd;
}

void setseed(int (&seed)[kRandomStreams + 1], int& inseed) {
    for (int k = 1; k <= kRandomStreams; ++k) {
        seed[k] = inseed;
        inseed = wrap_add(inseed, kStreamStep);
    }
}

void normal(float& random, float& factor) {
    clamp_uniform(random);
    factor = std::log(1.0f / random - 1.0f) / -1.78f;
}

void negexp(float& random, float& factor) {
    clamp_uniform(random);
    factor = -std::log(1.0f - random);
}

void lognorm(float mean, float cov, float& percent, float& obs) {
    float z = 0.0f;
    normal(percent, z);
    const float sd = std::fabs(cov) * mean;
    const float s2 = std::log(sd * sd / (mean * mean) + 1.0f);
    const float s = std::pow(s2, 0.5f);
    const float lambda = std::log(mean) - 0.5f * s2;
    obs = std::exp(z * s + lambda);
}

void poisson(float& rnd, float mean, int& obs) {
    if (mean < 10.0f) {
        // Smallest count whose cumulative probability reaches rnd. Should the
        // float sum stop growing below rnd (rounding near 1, or an rnd above
        // 1 from a caller), no later term can change it: stop there.
        float p = std::exp(-mean);
        float cum = 0.0f;
        obs = 0;
        for (;;) {
            if (obs > 0) p = p * mean / static_cast<float>(obs);
            const float before = cum;
            cum = cum + p;
            if (!(rnd > cum) || (obs > 0 && cum == before)) return;
            ++obs;
        }
    }
    float z = 0.0f;
    normal(rnd, z);
    const float x = mean + z * std::pow(mean, 0.5f) + 0.4999f;
    if (!(x >= 1.0f))
        obs = 0; // also a NaN mean
    else if (x >= static_cast<float>(INT_MAX))
        obs = INT_MAX;
    else
        obs = static_cast<int>(x);
}

void normal2(int& seed, float& rnd) {
    float sum = 0.0f;
    for (int k = 0; k < 12; ++k) {
        float r = 0.0f;
        random(seed, r);
        sum = sum + r;
    }
    rnd = sum - 6.0f;
}

void uniform(float random, float shift, float& factor) {
    factor = shift + 2.0f * random * (shift - 1.0f);
}

void shfnegexp(float& random, float& shift, float& factor) {
    if (random <= 0.0f) random = 1.0e-7f;
    if (random > 1.0f) random = 0.99999988f;
    if (shift < 0.0f) shift = 0.0f;
    if (shift > 1.0f) shift = 1.0f;
    factor = shift + (1.0f - shift) * -std::log(random);
}

void randunif(Sim& s, const Array1<float>& tim_1, const Array1<float>& tim_2,
              Array1<float>& tim_out, int car, float fact) {
    constexpr int   kTimeStream = 3;
    constexpr float kSpreadShare = 0.1f; // x above this spreads the time
    constexpr float kLeastSpread = 1.1f; // upper time at least 1.1 tim_1
    if (car < 1 || car > kMaxTrips) return;
    int&        sd = s.rndnum.seed[kTimeStream];
    const float x = static_cast<float>(s.oddat.vrnd(car)) / kTripRandomScale;
    const int   last = std::min(s.link2.mlnum, kMaxLinks);
    for (int nl = 1; nl <= last; ++nl) {
        if (!(s.link4.llength(nl) >= 0.0f)) continue;
        float u = 0.0f;
        random(sd, u);
        if (x > kSpreadShare) {
            const float x2 =
                std::max(tim_2(nl), kLeastSpread * tim_1(nl)) * (1.0f + std::fabs(fact));
            tim_out(nl) = tim_1(nl) + u * (x2 - tim_1(nl));
        } else {
            random(sd, u);
            tim_out(nl) = tim_2(nl);
        }
    }
}

} // namespace velm
