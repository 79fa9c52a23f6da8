// The speed-based fuel model and its ambient and cold-start corrections.
#include "core/energy/speed_fuel_model.h"

#include "core/energy/energy.h"

namespace velm {

namespace {

constexpr float kCitySpeed = 31.5f;    // km/h, mean speed of the city rating cycle
constexpr float kHighwaySpeed = 77.1f; // km/h, mean speed of the highway rating cycle
// Correction of a rating from the 32 degree reference to 21 degrees:
// 1 - 0.002 (32 - 21).
constexpr float kRatingTemperature = 0.978f;

// The acceleration polynomial: the fuel of reaching speed u from rest.
float reach(const Array2<float>& fueluse, float u) {
    float a = fueluse(2, 1);
    if (u > 0.0f) a += fueluse(2, 2) * u + fueluse(2, 3) * u * u;
    return a;
}

} // namespace

void epaconv(Sim& s) {
    const auto&     eparat = s.fuel.eparat;
    auto&           fueluse = s.fuel.fueluse;
    const float     e1 = eparat(1) / 1.067f * kRatingTemperature;
    const float     e2 = eparat(2) * kRatingTemperature;
    const float     a = 0.1199f * e1;
    const float     b = 0.749f * a / 0.311f;
    const float     i = 0.139f * a / 0.0693f;
    const float     h = 0.1658f * e2;
    const float     sc = (h - 0.933f * h - 0.01f * i) / 1.5f;
    constexpr float c = kCitySpeed, w = kHighwaySpeed;
    const float q = ((b - i) * w * w - (0.933f * h / 0.21f - i) * c * c) / (c * w * w - w * c * c);
    const float r = (0.112f * a / 16.06f * w - c * sc) / (w * c * c - c * w * w);
    fueluse(1, 1) = i;
    fueluse(1, 2) = q;
    fueluse(1, 3) = (b - i - c * q) / (c * c);
    fueluse(2, 1) = 0.0f;
    fueluse(2, 2) = (sc - w * w * r) / w;
    fueluse(2, 3) = r;
}

void environ(int ddd, const std::array<float, 2>& spds, float temp, const Array3<float>& emiss,
             float& fuelrat, const Array2<float>& fueluse,
             std::array<float, kSpeedModelConfact>& confact) {
    const float v = 0.5f * (spds[0] + spds[1]);
    float       rate = fueluse(1, 1);
    if (v > 0.0f) rate += fueluse(1, 2) * v + fueluse(1, 3) * v * v;
    const float f1 = rate * static_cast<float>(ddd) / 36000.0f;
    fuelrat = spds[1] > spds[0] ? f1 + reach(fueluse, spds[1]) - reach(fueluse, spds[0]) : f1;
    for (int c = 1; c <= kSpeedModelSpecies; ++c) {
        float sum = 0.0f;
        float vp = 1.0f;
        for (int sp = 1; sp <= 4; ++sp) {
            float tp = 1.0f;
            for (int tt = 1; tt <= 3; ++tt) {
                sum += emiss(sp, tt, c) * vp * tp;
                tp *= temp;
            }
            vp *= v;
        }
        confact[static_cast<std::size_t>(c - 1)] = sum > 0.0f ? sum : 0.0f;
    }
}

void ambifuel(float& fuelrat, float temp, const Array2<float>& coldfuel) {
    const float u = coldfuel(1, 1), k1 = coldfuel(1, 2), l = coldfuel(1, 3), k2 = coldfuel(1, 4);
    if (temp >= u) return;
    if (temp >= l)
        fuelrat *= 1.0f - (u - temp) * k1;
    else
        fuelrat *= 1.0f - (u - l) * k1 - k2 * (l - temp);
}

void cldfuel(float& fuelrat, float temp, float dist, const Array2<float>& coldfuel) {
    const float d = coldfuel(2, 4);
    if (!(temp < coldfuel(2, 1) && dist < d)) return;
    // A warm-up distance that is not positive leaves no share to correct.
    const float share = d > 0.0f ? (d - dist) / d : 0.0f;
    fuelrat *= (coldfuel(2, 2) + temp * coldfuel(2, 3) - 1.0f) * share + 1.0f;
}

void cldemis(float fuelrat, const std::array<float, kSpeedModelConfact>& confact,
             std::array<float, kSpeedModelConfact>& temis, float time, float temp,
             const Array2<float>& coldemis) {
    for (int c = 1; c <= kSpeedModelSpecies; ++c) {
        const auto  k = static_cast<std::size_t>(c - 1);
        const float warm = coldemis(c, 4);
        temis[k] = confact[k] * fuelrat;
        if (warm > 0.0f && time < warm) {
            const float factor =
                coldemis(c, 1) + coldemis(c, 2) * temp + coldemis(c, 3) * temp * temp;
            temis[k] *= (factor - 1.0f) * (warm - time) / warm + 1.0f;
        }
    }
}

} // namespace velm
