// Measured link travel times per class from the metres and vehicle-seconds
// that vehicle movement accumulates, renewed at the end of each cycle of the
// link's signal (each minute elsewhere), and the rolling-hour histories of
// link times and densities.
#include "core/routing/routing.h"

#include <algorithm>
#include <cstdlib>

namespace velm {

namespace {

constexpr float kMinSample = 1.0f;     // m travelled below which a sample says nothing
constexpr float kStandingSpeed = 1.0f; // m/s, the floor of the all-class speed
constexpr float kMaxTenths = 2.0e9f;   // largest link time the history stores, 0.1 s

// True when link l renews its measured times at second t: at the end of each
// cycle of its controlling signal, or each minute without a usable signal.
bool update_due(const Sim& s, int l, int t) {
    const int code = std::abs(s.link3.tsignal(l));
    if (code >= 1 && code <= kLastSignalCode && code <= kMaxSignals) {
        const int c = static_cast<int>(s.signal.cycle(code));
        // A signal without a cycle (not coded in the plan in force) is measured
        // each minute like an unsignalised link.
        if (c > 0) {
            const int pos = static_cast<int>(static_cast<float>(t + c) - s.signal.offset(code));
            return pos % c <= 0;
        }
    }
    return t % kSecondsPerMinute == 0;
}

void renew_link(Sim& s, int l) {
    auto& tl = s.delay.tllink;
    float dist = 0.0f, time = 0.0f;
    for (int vt = 1; vt <= kClasses; ++vt) {
        dist += tl(l, vt, 1);
        time += tl(l, vt, 2);
    }
    float v = 0.0f; // m/s over all classes
    if (dist >= kMinSample && time > 0.0f)
        v = dist / time;
    else if (s.link2.ntqu(l) > 0)
        v = kStandingSpeed;
    else
        v = s.link4.freespd(l) / kKmhPerMps;
    v = std::max(v, kStandingSpeed);
    const float metres = kMetresPerKm * s.link4.llength(l);
    for (int vt = 1; vt <= kClasses; ++vt) {
        const bool  sampled = tl(l, vt, 1) >= kMinSample && tl(l, vt, 2) > 0.0f;
        const float vc = sampled ? tl(l, vt, 1) / tl(l, vt, 2) : v;
        s.delay.ttlink(l, vt) = metres / vc;
        tl(l, vt, 1) = 0.0f;
        tl(l, vt, 2) = 0.0f;
    }
}

// Link times (0.1 s) and densities (veh/km/lane) into minute slot m.
void store_minute(Sim& s, int m, int ml) {
    auto& timehis = s.link1.timehis;
    auto& denhis = s.link1.denhis;
    for (int l = 1; l <= ml; ++l) {
        const float len = s.link4.llength(l);
        if (len < 0.0f) continue;
        for (int vt = 1; vt <= kClasses; ++vt)
            timehis(l, vt, m, 1) =
                static_cast<int>(std::min(10.0f * s.delay.ttlink(l, vt), kMaxTenths));
        const int lanes = std::abs(s.link1.nulans(l));
        denhis(l, m) = len > 0.0f && lanes > 0
                           ? static_cast<int>(static_cast<float>(s.link2.ntqu(l)) / len /
                                              static_cast<float>(lanes))
                           : 0;
    }
}

} // namespace

void uptimhis(Sim& s, int t) {
    const int ml = std::min(s.link2.mlnum, kMaxLinks);
    for (int l = 1; l <= ml; ++l)
        if (s.link4.llength(l) >= 0.0f && update_due(s, l, t)) renew_link(s, l);
    if (t % kSecondsPerMinute == 0) store_minute(s, (t / kSecondsPerMinute) % kMinuteSlots + 1, ml);
}

} // namespace velm
