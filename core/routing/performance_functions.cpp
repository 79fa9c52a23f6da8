// Link performance functions of the pre-simulation assignment.
#include "core/routing/performance_functions.h"

#include "core/driver/random.h"
#include "core/routing/routing.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

using routing::kDelayFloor;

constexpr float kAnalysisPeriod = 0.25f; // h, over-capacity queueing period
constexpr int   kCurveSteps = 10;        // trapezoid steps up to capacity
constexpr float kTimeCap = 100.0f;       // over-capacity time at most this many curve times

int lanes_of(const Sim& s, int l) {
    return std::max(1, std::abs(s.link1.nulans(l)));
}

// Value of time of class vt at quantile p; the class mean when it is not positive.
float class_value_of_time(const Sim& s, int vt, float p) {
    const float mean = s.tolplaz.sectol(vt, 1);
    if (!(mean > 0.0f)) return mean;
    float v = 0.0f;
    lognorm(mean, s.tolplaz.sectol(vt, 2), p, v);
    return v;
}

} // namespace

namespace routing {

bool green_ratio(const Sim& s, int l, int g, float& y, float& cycle) {
    y = 1.0f;
    cycle = 0.0f;
    if (g < 1 || g > kMaxSignals) return false;
    cycle = std::trunc(s.signal.cycle(g));
    if (cycle < 1.0f) return false;
    float green = 0.0f;
    for (int p = 1; p <= kPhaseSlots; ++p) {
        const int h = std::abs(s.link3.phase(l, p, 1));
        if (h >= 1 && h <= kMaxPhases) green += s.signal.phstr(g, h, 2) - s.signal.phstr(g, h, 1);
    }
    y = green / cycle;
    return true;
}

} // namespace routing

void spd_vol(Sim& /*s*/, float v, float fs, float c1, float c2, float c3, float& sp) {
    const float a = 1.0f - v * c3;
    const float b = v * c3 * fs - v * c1 - fs;
    const float k = v * c2 + v * c1 * fs;
    if (a <= 0.0f) {
        // No steady state: the flow is beyond what the spacing term c3 alone
        // allows. Report no speed; callers floor it.
        sp = 0.0f;
        return;
    }
    const float d = b * b - 4.0f * a * k;
    const float r = d >= 0.0f ? std::sqrt(d) : 0.0f;
    sp = (r - b) / (2.0f * a);
}

void intspdvol(Sim& s, float vl, float cap, float yrat, float fs, float c1, float c2, float c3,
               float dis, float& intgral, float& t, float& sp, float tper) {
    intgral = 0.0f;
    sp = fs;
    const float free_time = fs > 0.0f ? dis / fs : dis / routing::kMinRunSpeed; // h
    t = free_time * kSecondsPerHour;
    if (vl <= 0.0f) return;
    float vmax = vl;
    int   m = kCurveSteps;
    if (vl <= cap) {
        m = 1 + static_cast<int>(static_cast<float>(kCurveSteps) * vl / cap);
    } else {
        vmax = std::max(cap, 0.0f);
    }
    float tp = free_time, xp = 0.0f;
    for (int i = 1; i <= m; ++i) {
        const float x = vmax * std::sqrt(static_cast<float>(i) / static_cast<float>(m));
        spd_vol(s, x, fs, c1, c2, c3, sp);
        const float ti = dis / std::max(sp, routing::kMinRunSpeed);
        intgral += (x - xp) * (tp + ti) / 2.0f;
        tp = ti;
        xp = x;
    }
    float       final_time = tp;
    const float ceff = cap * yrat;
    if (vl > ceff) {
        const float e = vl - ceff;
        // Without any effective capacity the queue term is at its cap at once.
        const float a = ceff > 0.0f ? tper * e / 2.0f / ceff : kTimeCap * tp;
        const float te = a > (kTimeCap - 1.0f) * tp ? kTimeCap * tp : tp + a;
        intgral += (tp + te) / 2.0f * e;
        final_time = te;
    }
    t = final_time * kSecondsPerHour;
}

void esttim2(Sim& s, int nl, float xvol, float& xtim, float& obj1, float& obj2, float& obj3) {
    const auto& spdvol = s.link1.spdvol;
    const int   n = lanes_of(s, nl);
    const float v = xvol / static_cast<float>(n);
    const float cap = spdvol(nl, 6);
    const int   g = std::abs(s.link3.tsignal(nl));
    float       y = 1.0f, d = 0.0f;
    float       cycle = 0.0f;
    // A signal without a cycle in the current plan leaves the link end uncontrolled.
    if (g >= 1 && g <= kLastSignalCode && routing::green_ratio(s, nl, g, y, cycle)) {
        // Degree of saturation; a link the signal never serves (no green or no
        // saturation flow) counts as saturated when it carries flow.
        const float room = cap * y;
        const float z = room > 0.0f ? std::min(v / room, 1.0f) : (v > 0.0f ? 1.0f : 0.0f);
        const float denom = std::max(1.0f - y * z, kDelayFloor);
        d = (cycle / 2.0f) * (1.0f - y) * (1.0f - y) / denom;
    }
    float integral = 0.0f, t = 0.0f, sp = 0.0f;
    intspdvol(s, v, cap, y, spdvol(nl, 7), spdvol(nl, 1), spdvol(nl, 2), spdvol(nl, 3),
              spdvol(nl, 8), integral, t, sp, kAnalysisPeriod);
    xtim = (t + d) / kSecondsPerHour;
    const auto lanes = static_cast<float>(n);
    obj1 = (integral + v * d / kSecondsPerHour) * lanes;
    obj2 = xtim * v * lanes;
    obj3 = spdvol(nl, 8) * v * lanes;
    s.assigns.integral(nl) = obj1;
    s.assigns.asscap(nl) = lanes * cap * y;
}

void esttim(Sim& s, int mlnum, const Array2<float>& vol, Array2<float>& ttime, Array2<float>& tolls,
            Array1<float>& totobj, float p1, int t1, int t2) {
    for (int i = 1; i <= 3; ++i) totobj(i) = 0.0f;
    float vot[kClasses + 1] = {};
    for (int vt = 1; vt <= kClasses; ++vt) vot[vt] = class_value_of_time(s, vt, p1);
    const int last = std::min(mlnum, kMaxLinks);
    for (int l = 1; l <= last; ++l) {
        if (!(s.link1.spdvol(l, 8) > 0.0f)) continue;
        float x = 0.0f;
        for (int vt = 1; vt <= kClasses; ++vt) x += vol(l, vt);
        float xtim = 0.0f, obj1 = 0.0f, obj2 = 0.0f, obj3 = 0.0f;
        esttim2(s, l, x, xtim, obj1, obj2, obj3);
        float k = 0.0f;
        for (int vt = 1; vt <= kClasses; ++vt) {
            float c = 0.0f;
            settolveh(s, t1, t2, l, vt, c);
            tolls(l, vt) = c;
            // Money divided by a value of time of 0 or less counts nothing.
            const float e = c != 0.0f && vot[vt] > 0.0f ? c / vot[vt] * kSecondsPerHour : 0.0f;
            ttime(l, vt) = e + kSecondsPerHour * xtim;
            k += vol(l, vt) * e / kSecondsPerHour;
        }
        totobj(1) += obj1 + k;
        totobj(2) += obj2 + k;
        totobj(3) += obj3;
    }
}

void incid2(Sim& s, int /*stim*/, int /*tree*/, const Array1<int>& /*nulans*/) {
    auto&     laneloss = s.link4.laneloss;
    const int mlnum = std::clamp(s.link2.mlnum, 0, kMaxLinks);
    for (int l = 1; l <= kMaxLinks; ++l) laneloss(l, 2) = l <= mlnum ? 1.0f : 0.0f;
}

} // namespace velm
