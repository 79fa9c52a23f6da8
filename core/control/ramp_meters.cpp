// Ramp-meter control: each meter runs a fixed-time signal with one short
// green per cycle of 3600 / rate seconds, and every control period a
// rule-based local controller revises its rate from smoothed detector data
// around its merge (main-line congestion, spare capacity, the ramp queue and
// the queue handed over by the meter downstream). A meter number that no
// record of the meter file defines has no link and is skipped throughout.
#include "core/control/control.h"
#include "core/io/writers.h"
#include "core/model/codes.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>

namespace velm {

namespace {

constexpr float kStartGreen = 1.5f;    // s
constexpr float kMinCycle = 1.0f;      // s
constexpr float kStoppedCycle = 30.0f; // s, at a rate of 0 or below
constexpr float kMinGreen = 0.1f;      // s: trimming never leaves a meter red for good
constexpr float kGreenStepUp = 0.2f;   // s
constexpr float kGreenStepDown = 0.1f; // s
constexpr int   kOverrideHold = 600;   // s
constexpr int   kTicksPerSecond = 10;
constexpr int   kLoggedInputs = 8;
constexpr float kRestMargin = 60.0f; // veh/h below the maximum at which a meter rests

// Smoothed input columns.
constexpr int kVolume = 1;
constexpr int kSpeed = 2;
constexpr int kOccupancy = 3;

bool metered(const mod_rmpmeter& rm, int r) {
    return rm.rmploc(r, 1) > 0;
}

// A meter rests in green while its main line (upstream, merge, downstream and
// next merge) reads below the threshold, its rate has reached its maximum and
// its ramp stations count fewer vehicles than that maximum: in light traffic
// it would hold no vehicle back, so it stops none. A meter without a ramp
// station cannot tell and keeps cycling.
bool resting(const mod_rmpmeter& rm, int r) {
    const float hi = rm.rmprat(r, kRateMax);
    if (rm.rmprat(r, kRateInForce) < hi - kRestMargin) return false;
    const float theta = rm.rmprat(r, kRateThreshold);
    for (int k : {kUpst, kMrg, kDwst, kNxt})
        if (rm.rmpdet(r, k) > 0 && rm.rmpflw(r, k, kOccupancy) >= theta) return false;
    bool counted = false;
    for (int k : {kQ1, kQ2, kIn, kOut}) {
        if (rm.rmpdet(r, k) <= 0) continue;
        if (rm.rmpflw(r, k, kVolume) >= hi) return false;
        counted = true;
    }
    return counted;
}

// What one control step of one meter worked with, for its log block.
struct Step {
    int   code = 0;
    int   criocc = 0;
    float volthr = 0.0f;
    float p = 0.0f;
};

// The proposal from the main line and the ramp inputs, before the bounds.
float propose(const std::array<int, kRampInputs + 1>& vol,
              const std::array<int, kRampInputs + 1>& occ, float r, float theta, Step& st) {
    const float upst = static_cast<float>(vol[kUpst]);
    const float crit = static_cast<float>(st.criocc);
    if (crit >= theta) {
        // Main line congested.
        float p = std::max(0.0f, st.volthr - upst - 60.0f * (crit - theta) / 10.0f);
        if (p >= r) {
            st.code += p > r + 400.0f ? 8 : 9;
            return std::min(p, r + 400.0f);
        }
        st.code += p < r - 200.0f ? 6 : 7;
        return std::max(p, r - 200.0f);
    }
    if (static_cast<float>(occ[kNxt]) > theta) {
        st.code += 1;
        return std::min(st.volthr, static_cast<float>(vol[kNxt])) - upst;
    }
    float p = static_cast<float>(std::max({vol[kQ1], vol[kQ2], vol[kIn], vol[kOut]}));
    if (crit <= theta / 2.0f)
        p = std::max(p, r);
    else if (st.volthr > upst)
        p = 60.0f * (theta - crit) / 10.0f + (st.volthr - upst);
    if (p >= r) {
        st.code += 4;
        return r + 120.0f;
    }
    if (p >= r - 120.0f) {
        st.code += 3;
        return 0.5f * r + 0.5f * p;
    }
    st.code += 2;
    return r - 60.0f;
}

// The control step of meter r at time t.
Step control(mod_rmpmeter& rm, int r, int t) {
    Step                             st;
    std::array<int, kRampInputs + 1> vol{}, occ{};
    for (int k = 1; k <= kRampInputs; ++k) {
        if (rm.rmpdet(r, k) <= 0) continue;
        vol[static_cast<std::size_t>(k)] = static_cast<int>(rm.rmpflw(r, k, kVolume));
        occ[static_cast<std::size_t>(k)] = static_cast<int>(rm.rmpflw(r, k, kOccupancy));
    }
    const float R = rm.rmprat(r, kRateInForce);
    const float theta = rm.rmprat(r, kRateThreshold);
    float&      queue = rm.rmprat(r, kRateQueue);
    const float out = static_cast<float>(vol[kOut]);

    // Green trimming when the occupancy before the meter clearly exceeds the
    // occupancy after it.
    if (occ[kIn] > occ[kOut] + 100) {
        if (R > out + 200.0f) {
            rm.rmpgrn(r) += kGreenStepUp;
            st.code += 100;
        }
        if (R < out - 200.0f) {
            rm.rmpgrn(r) = std::max(rm.rmpgrn(r) - kGreenStepDown, kMinGreen);
            st.code += 200;
        }
    }
    st.volthr = static_cast<float>(std::min(vol[kMrg], vol[kDwst])) - rm.rmprat(r, kRateQueueIn);
    st.criocc = std::max({occ[kUpst], occ[kMrg], occ[kDwst]});

    // A queue override holds the rate while a queue detector stays occupied.
    const auto tf = static_cast<float>(t);
    if (rm.rmprat(r, kRateOverrideEnd) >= tf) {
        if (static_cast<float>(occ[kQ2]) > theta || static_cast<float>(occ[kQ1]) > theta) {
            st.code += static_cast<float>(occ[kQ2]) > theta ? 500000 : 600000;
            st.p = R;
            return st;
        }
        st.code += 700000;
        rm.rmprat(r, kRateOverrideEnd) = tf;
    } else {
        st.code += 100000;
    }

    float p = propose(vol, occ, R, theta, st);

    // Bounds; a proposal below the minimum leaves a deficit.
    float       d = 0.0f;
    const float lo = rm.rmprat(r, kRateMin), hi = rm.rmprat(r, kRateMax);
    if (p < lo) {
        d = lo - R;
        p = lo;
        if (d > queue) {
            queue = 0.5f * d + 0.5f * queue;
            st.code += 10;
        } else {
            st.code += 20;
        }
    } else if (p > hi) {
        p = hi;
        st.code += 50;
    } else {
        st.code += 60;
    }

    // The ramp queue.
    const bool q2 = static_cast<float>(occ[kQ2]) > theta;
    const bool q1 = static_cast<float>(occ[kQ1]) > theta;
    if (q2 && q1) {
        p = hi;
        rm.rmprat(r, kRateOverrideEnd) = tf + static_cast<float>(kOverrideHold);
        st.code += 1000;
    } else if (q2) {
        if (vol[kQ1] > vol[kQ2] + 30) {
            queue += static_cast<float>(vol[kQ1] - vol[kQ2]) / 2.0f;
            st.code += 3000;
        } else if (vol[kQ1] < vol[kQ2] - 30) {
            queue = std::max(queue - 30.0f, 0.0f);
            st.code += 4000;
        } else {
            st.code += 5000;
        }
    } else if (d <= 0.0f) {
        queue -= 60.0f;
        if (queue < 0.0f) {
            queue = 0.0f;
            st.code += 7000;
        } else {
            st.code += 8000;
        }
    } else {
        st.code += 9000;
    }

    if (d <= 0.0f) {
        rm.rmprat(r, kRateInForce) = 0.5f * p + 0.5f * R;
        st.code += 10000;
    } else {
        rm.rmprat(r, kRateInForce) = p;
        st.code += 20000;
    }
    st.p = p;
    return st;
}

// The control log block of meter r.
void log_meter(Sim& s, int r, int t, const Step& st) {
    auto&             u = s.units;
    const auto&       rm = s.rmpmeter;
    const std::string indent(5, ' ');
    u.line(kUnitRunLog,
           "  - Ramp =" + fmt_i(r, 7) + " t=" + fmt_i(t, 7) + " code=" + fmt_i(st.code, 7));
    std::string idx = indent + "  i :", det = indent + " det:";
    std::string vol = indent + " vol:", occ = indent + " occ:", spd = indent + " spd:";
    for (int k = 1; k <= kLoggedInputs; ++k) {
        const bool has = rm.rmpdet(r, k) > 0;
        idx += fmt_i(k, 7);
        det += fmt_i(rm.rmpdet(r, k), 7);
        vol += fmt_f(has ? rm.rmpflw(r, k, kVolume) : 0.0f, 7, 1);
        occ += fmt_f(has ? rm.rmpflw(r, k, kOccupancy) / 10.0f : 0.0f, 7, 1);
        spd += fmt_f(has ? rm.rmpflw(r, k, kSpeed) : 0.0f, 7, 1);
    }
    std::string rat = indent + " rat:";
    for (int c = 1; c <= kRateQueue; ++c) rat += fmt_f(rm.rmprat(r, c), 7, 1);
    std::string oth = indent + " oth:" + fmt_i(rm.rmploc(r, 1), 7) +
                      fmt_f(rm.rmprat(r, kRateThreshold) / 10.0f, 7, 1) +
                      fmt_f(static_cast<float>(st.criocc) / 10.0f, 7, 1) + fmt_f(st.volthr, 7, 1) +
                      fmt_f(st.p, 7, 1) + fmt_f(rm.rmpgrn(r), 7, 1);
    for (const auto* l : {&idx, &det, &vol, &occ, &spd, &rat, &oth}) u.line(kUnitRunLog, *l);
    wfree(u, kUnitRunLog, "  ");
}

} // namespace

void updatrmp(Sim& s, int flag) {
    auto& rm = s.rmpmeter;
    for (int r = 1; r <= rm.nrmpmtr; ++r) {
        if (!metered(rm, r)) continue;
        if (flag == 0) rm.rmpgrn(r) = kStartGreen;
        const float rate = rm.rmprat(r, kRateInForce);
        rm.rmpcyc(r) = rate > 0.0f ? std::max(kSecondsPerHour / rate, kMinCycle) : kStoppedCycle;
    }
}

void setrmpmet(Sim& s, int t10) {
    auto& rm = s.rmpmeter;
    if (t10 == 0) rm.rmpset.zero();
    for (int r = 1; r <= rm.nrmpmtr; ++r) {
        if (!metered(rm, r)) continue;
        // Every meter starts its cycle at t10 = 0 with the green; a new cycle
        // length takes effect at once.
        const int c =
            std::max(1, static_cast<int>(static_cast<float>(kTicksPerSecond) * rm.rmpcyc(r)));
        const int g = static_cast<int>(static_cast<float>(kTicksPerSecond) * rm.rmpgrn(r));
        const int p = t10 % c;
        rm.rmpset(rm.rmploc(r, 1)) = p <= g || resting(rm, r) ? kMeterGreen : kMeterRed;
    }
}

void rampflow(Sim& s, int) {
    auto&       rm = s.rmpmeter;
    const auto& dl = s.detloc;
    for (int r = 1; r <= rm.nrmpmtr; ++r) {
        if (!metered(rm, r)) continue;
        for (int k = 1; k <= kRampInputs; ++k) {
            const int d = rm.rmpdet(r, k);
            if (d < 1 || d > kMaxDetectors) continue;
            const int link = dl.detlink(d);
            const int lanes = link >= 1 && link <= kMaxLinks
                                  ? std::min(std::abs(s.link1.nulans(link)), kMaxLinkLanes)
                                  : 0;
            float     m = 0.0f;
            for (int l = 1; l <= lanes; ++l) m = std::max(m, dl.lndt(d, 2, 3, l));
            const float whole = static_cast<float>(static_cast<int>(m));
            rm.rmpflw(r, k, kVolume) = 0.5f * static_cast<float>(lanes * dl.detlan(d, 2)) +
                                       0.5f * rm.rmpflw(r, k, kVolume);
            rm.rmpflw(r, k, kSpeed) = 0.5f * dl.detspd(d, 2) + 0.5f * rm.rmpflw(r, k, kSpeed);
            rm.rmpflw(r, k, kOccupancy) = 0.5f * whole + 0.5f * rm.rmpflw(r, k, kOccupancy);
        }
    }
}

void comprmp1(Sim& s, int t) {
    auto& rm = s.rmpmeter;
    if (rm.nrmpmtr <= 0) return;
    // Queue hand-over first: each meter's estimate of the last step goes to its
    // upstream meter (the highest-numbered of several wins).
    for (int r = 1; r <= rm.nrmpmtr; ++r) {
        const int up = rm.rmploc(r, 3);
        if (metered(rm, r) && up > 0) rm.rmprat(up, kRateQueueIn) = rm.rmprat(r, kRateQueue);
    }
    auto& u = s.units;
    wfree(u, kUnitRunLog, "------------------------------");
    wfree(u, kUnitRunLog, " Ramp metering at time :", t);
    wfree(u, kUnitRunLog, " Number of ramp meters :", rm.nrmpmtr);
    for (int r = 1; r <= rm.nrmpmtr; ++r) {
        if (!metered(rm, r)) continue;
        log_meter(s, r, t, control(rm, r, t));
    }
    wfree(u, kUnitRunLog, "  ");
}

} // namespace velm
