// Cycle and split optimisation once a minute from the approach flows measured
// on each signal's lanes, with its report on the summary output; the timing
// listing of master slot 14 and the per-minute timing history.
#include "core/control/control.h"
#include "core/control/signal_timing.h"
#include "core/io/writers.h"
#include "core/model/codes.h"
#include "core/network/input_support.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace velm {

namespace {

constexpr int   kCycleOptimisedFrom = 60; // s: |phasopt| at least this re-optimises the cycle
constexpr float kSaturatedY = 0.98f;      // sum of critical ratios treated as saturated
constexpr float kSaturatedCycle = 1.25f;  // x maxcycle: target of a saturated signal
constexpr float kLostTimeFactor = 1.5f;   // cycle target (1.5 L + 5) / (1 - Y) + 1
constexpr float kTargetSlack = 5.0f;
constexpr float kRatioFloor = 5.0f; // s of green below which a phase's ratio is raised
constexpr float kFloorPerPhase = 3.0f;
constexpr int   kSmallStep = 5;            // s the cycle moves toward its target
constexpr int   kLargeStep = 15;           // s, every third optimisation
constexpr int   kSmallBeyond = 10;         // s off target before a small step
constexpr int   kLargeBeyond = 30;         // s off target before a large step
constexpr int   kLargeEvery = 3;           // optimisation periods between large steps
constexpr float kClusterCycleMax = 500.0f; // s
constexpr float kNewShare = 0.5f;          // splits: half from the ratios, half kept
constexpr float kRoundTenth = 0.49f;
constexpr float kTenthSlack = 0.001f;
constexpr float kPercent = 100.0f;
constexpr int   kTitleChars = 300;

// Faults reported once per signal and run (bits of optwarn).
constexpr int kWarnSaturation = 1;
constexpr int kWarnLostTime = 2;
constexpr int kWarnNoGreen = 4;

struct Approach {
    int   phase = 0, link = 0, lane = 0, flow = 0, sat = 0;
    float ratio = 0.0f;
};

using PhaseReals = std::array<float, kMaxPhases + 1>; // 1-based per phase

// What one pass works out for one signal.
struct SignalWork {
    std::vector<Approach> entries; // in collection order
    PhaseReals            y{}, share{}, green{};
    float                 sum_y = 0.0f, lost = 0.0f;
};

int period_of(float setting) {
    return netin::trunc_sat(std::fabs(setting));
}

// t is a multiple of a period; a period of 0 never is.
bool due(int t, int period) {
    return period > 0 && t % period == 0;
}

void warn_once(Sim& s, int n, int bit, const std::string& text) {
    if (s.signal.optwarn(n) & bit) return;
    s.signal.optwarn(n) |= bit;
    wfree(s.units, kUnitRunLog, " Signal ", n, text);
}

// Approach entries of every lane and slot of the signal's links, the lane
// numbered from the median side as the report shows it.
void collect(Sim& s, int n, SignalWork& w) {
    const auto& idx = s.lnkvdet;
    const int   last = std::min(s.link2.mlnum, kMaxLinks);
    w.entries.clear();
    for (int i = 1; i <= idx.frlan(n, 2); ++i) {
        const int l = idx.lanind(idx.frlan(n, 1) + i);
        if (l < 1 || l > last || s.link4.llength(l) < 0.0f) continue;
        const int lanes = std::min(std::abs(s.link1.nulans(l)), kMaxLinkLanes);
        const int sat = netin::trunc_sat(s.link4.lanesat(l));
        for (int j = lanes; j >= 1; --j) {
            const int lane = s.lanexch.lannum(l, j);
            for (int k = 1; k <= kPhaseSlots; ++k) {
                const int q = std::abs(s.link3.phase(l, k, 1));
                if (q < 1 || q > kMaxPhases) continue;
                if (sat < 1) {
                    warn_once(s, n, kWarnSaturation,
                              " has an approach with a saturation flow below 1 veh/h: "
                              "that approach is left out of the timing optimisation");
                    continue;
                }
                Approach e;
                e.phase = q;
                e.link = l;
                e.lane = std::abs(s.link1.nulans(l)) + 1 - j;
                e.flow =
                    lane >= 1 && lane <= kMaxLanes ? netin::trunc_sat(s.link1.aprflw(lane, k)) : 0;
                e.sat = sat;
                e.ratio = static_cast<float>(e.flow) / static_cast<float>(e.sat);
                w.entries.push_back(e);
            }
        }
    }
}

// Critical ratios, raised to the floor, and their sum. False (with one line
// on the run log) when the signal's timing cannot be optimised.
bool analyse(Sim& s, int n, SignalWork& w) {
    const auto& sg = s.signal;
    const int   phases = sg.phases(n);
    float       greens = 0.0f;
    for (int p = 1; p <= phases; ++p) greens += sg.phstr(n, p, 2) - sg.phstr(n, p, 1);
    w.lost = 0.0f;
    for (int p = 1; p <= phases; ++p) w.lost += sg.intgrn(n, p);
    const float cyc = sg.cycle(n);
    if (!(cyc > w.lost)) {
        warn_once(s, n, kWarnLostTime,
                  " has a cycle no longer than its intergreens: its timing is not optimised");
        return false;
    }
    if (!(greens > 0.0f)) {
        warn_once(s, n, kWarnNoGreen,
                  " has planned greens that sum to 0: its timing is not optimised");
        return false;
    }
    for (int p = 1; p <= phases; ++p) {
        const auto i = static_cast<std::size_t>(p);
        w.share[i] = (sg.phstr(n, p, 2) - sg.phstr(n, p, 1)) / greens;
        w.y[i] = 0.0f;
    }
    collect(s, n, w);
    float y0 = 0.0f;
    for (const Approach& e : w.entries) {
        auto& y = w.y[static_cast<std::size_t>(e.phase)];
        y = std::max(y, e.ratio);
    }
    for (int p = 1; p <= phases; ++p) y0 += w.y[static_cast<std::size_t>(p)];
    // A phase with little or no measured flow still gets a few seconds of green.
    const float floor = (kRatioFloor / cyc) *
                        std::max(y0, kFloorPerPhase * static_cast<float>(phases) / (cyc - w.lost));
    w.sum_y = 0.0f;
    for (int p = 1; p <= phases; ++p) {
        auto& y = w.y[static_cast<std::size_t>(p)];
        y = std::max(y, floor);
        w.sum_y += y;
    }
    return true;
}

float new_cycle(const mod_signal& sg, int n, int t, float c0, const SignalWork& w) {
    const int   period = period_of(sg.phasopt(n));
    const float target =
        w.sum_y < kSaturatedY
            ? std::trunc((kLostTimeFactor * w.lost + kTargetSlack) / (1.0f - w.sum_y)) + 1.0f
            : kSaturatedCycle * static_cast<float>(sg.maxcycle(n));
    const float d = target - c0;
    int         step = 0;
    if (due(t, kLargeEvery * period) && d > kLargeBeyond)
        step = kLargeStep;
    else if (due(t, kLargeEvery * period) && d < -kLargeBeyond)
        step = -kLargeStep;
    else if (d > kSmallBeyond)
        step = kSmallStep;
    else if (d < -kSmallBeyond)
        step = -kSmallStep;
    float c = c0 + static_cast<float>(step);
    // Bounds below a second are not bounds: a cycle of 0 would stop the signal.
    if (sg.mincycle(n) >= 1) c = std::max(c, static_cast<float>(sg.mincycle(n)));
    if (sg.maxcycle(n) >= 1) c = std::min(c, static_cast<float>(sg.maxcycle(n)));
    return c;
}

// The greens (s) that give each phase its share of green time g, none below
// its minimum green: a phase that its share would take below its minimum
// gets the minimum, and the other phases share what is left in proportion
// to their shares. Greens are kept to tenths of a second; `down` rounds them
// down (the last phase then takes what the others leave).
void share_greens(const mod_signal& sg, int n, const PhaseReals& share, float g, bool down,
                  PhaseReals& green) {
    const int                        phases = sg.phases(n);
    std::array<bool, kMaxPhases + 1> held{};
    for (int round = 0; round < phases; ++round) {
        float free_share = 0.0f, free_green = g;
        for (int p = 1; p <= phases; ++p) {
            const auto i = static_cast<std::size_t>(p);
            if (held[i])
                free_green -= sg.mingrn(n, p, 1);
            else
                free_share += share[i];
        }
        bool more = false;
        for (int p = 1; p <= phases; ++p) {
            const auto i = static_cast<std::size_t>(p);
            if (held[i]) {
                green[i] = sg.mingrn(n, p, 1);
                continue;
            }
            green[i] = free_share > 0.0f ? share[i] / free_share * free_green
                                         : free_green / static_cast<float>(phases);
            if (green[i] < sg.mingrn(n, p, 1)) more = held[i] = true;
        }
        if (!more) break;
    }
    for (int p = 1; p <= phases; ++p) {
        const auto  i = static_cast<std::size_t>(p);
        const float tenths = down ? std::floor(10.0f * green[i] + kTenthSlack)
                                  : std::trunc(kRoundTenth + 10.0f * green[i]);
        green[i] = std::max(tenths / 10.0f, sg.mingrn(n, p, 1));
    }
}

// Greens from the shares, the phases laid back to back from 0 and the last
// one ending with the cycle. Where the minimum greens and the intergreens
// do not fit in the cycle, the cycle is lengthened to hold them (a run-log
// line says so when the cycle before, c0, was shorter).
void rebuild_plan(Sim& s, int n, const PhaseReals& share, SignalWork& w, float c0) {
    auto&     sg = s.signal;
    const int phases = sg.phases(n);
    float     minima = 0.0f;
    for (int p = 1; p <= phases; ++p) minima += std::max(0.0f, sg.mingrn(n, p, 1));
    const float need = std::ceil(10.0f * (w.lost + minima) - kTenthSlack) / 10.0f;
    if (sg.cycle(n) < need) {
        if (c0 < need)
            wfree(s.units, kUnitRunLog, " Signal", n, "cycle", sg.cycle(n), "s lengthened to", need,
                  "s: its minimum greens and intergreens do not fit in a shorter cycle");
        sg.cycle(n) = need;
    }
    const float g = sg.cycle(n) - w.lost;
    share_greens(sg, n, share, g, false, w.green);
    float others = 0.0f;
    for (int p = 1; p < phases; ++p) others += w.green[static_cast<std::size_t>(p)];
    if (phases >= 1 && g - others < sg.mingrn(n, phases, 1) - kTenthSlack)
        share_greens(sg, n, share, g, true, w.green);
    float start = 0.0f;
    for (int p = 1; p <= phases; ++p) {
        const auto i = static_cast<std::size_t>(p);
        sg.phstr(n, p, 1) = start;
        sg.phstr(n, p, 2) = std::trunc(10.0f * (start + w.green[i] + kTenthSlack)) / 10.0f;
        sg.phstr(n, p, 3) =
            std::trunc(10.0f * (sg.phstr(n, p, 2) + sg.intgrn(n, p) + kTenthSlack)) / 10.0f;
        start = sg.phstr(n, p, 3);
    }
    sg.phstr(n, phases, 3) = sg.cycle(n);
    sg.phstr(n, phases, 2) = sg.cycle(n) - sg.intgrn(n, phases);
}

std::string timing_fields(const mod_signal& sg, int n, const SignalWork& w, int p) {
    const auto i = static_cast<std::size_t>(p);
    return fmt_f(sg.offset(n), 6, 1) + fmt_f(sg.cycle(n), 6, 1) + fmt_f(w.lost, 6, 1) +
           fmt_f(sg.cycle(n) - w.lost, 6, 1) + blanks(5) + fmt_f(w.green[i], 6, 1) +
           fmt_f(sg.intgrn(n, p), 6, 1) + fmt_f(sg.phstr(n, p, 1), 6, 1) +
           fmt_f(sg.phstr(n, p, 2), 6, 1);
}

void report(Sim& s, int n, int t, const SignalWork& w) {
    Units&      u = s.units;
    const auto& sg = s.signal;
    if (n == 1) u.line(kUnitSummary, "\f");
    u.line(kUnitSummary, "");
    u.line(kUnitSummary, " Timing Optimization at " +
                             fmt_f(static_cast<double>(t) / kSecondsPerMinute, 4, 0) +
                             " mins for Signal " + fmt_i(n, 2));
    u.line(kUnitSummary, "");
    u.line(kUnitSummary, std::string("        link  lane   arri satu") + "   - y-critical -" +
                             "    offset cycle  lost green   " + "   green inter phase phase");
    u.line(kUnitSummary, std::string(" ph ln  numb  numb   flow flow") + "   lane appr  sum" +
                             "      time  time  time  time   " + "   phase green start   end");
    u.line(kUnitSummary, std::string("(#)(#)   (#)   (#)  (vph)(vph)") + "    (%)  (%)  (%)" +
                             "     (sec) (sec) (sec) (sec)   " + "   (sec) (sec) (sec) (sec)");
    for (int p = 1; p <= sg.phases(n); ++p) {
        int e = 0;
        for (const Approach& a : w.entries) {
            if (a.phase != p) continue;
            u.line(kUnitSummary, fmt_i(p, 3) + fmt_i(++e, 3) + fmt_i(a.link, 6) + fmt_i(a.lane, 6) +
                                     blanks(2) + fmt_i(a.flow, 5) + fmt_i(a.sat, 5) + blanks(2) +
                                     fmt_f(kPercent * a.ratio, 5, 0) +
                                     fmt_f(kPercent * w.y[static_cast<std::size_t>(p)], 5, 0) +
                                     fmt_f(kPercent * w.sum_y, 5, 0) + blanks(4) +
                                     timing_fields(sg, n, w, p));
        }
    }
    u.line(kUnitSummary, "");
    u.line(kUnitSummary,
           std::string(" ph    offset cycle  lost green   ") + "   green inter phase phase");
    u.line(kUnitSummary,
           std::string(" ##      time  time  time  time   ") + "   phase green start   end");
    u.line(kUnitSummary,
           std::string("        (sec) (sec) (sec) (sec)   ") + "   (sec) (sec) (sec) (sec)");
    for (int p = 1; p <= sg.phases(n); ++p)
        u.line(kUnitSummary, fmt_i(p, 3) + blanks(4) + timing_fields(sg, n, w, p));
}

// A signal that chooses its phases from its queues writes its own phase
// times at every decision: the plan optimisation leaves it alone.
bool queue_chosen(const Sim& s, int n) {
    return s.nbsig.fmt_nbsig == 1 && n <= s.nbsig.nbsig_flag.hi() && s.nbsig.nbsig_flag(n) == 1;
}

bool optimisable(const Sim& s, int n) {
    if (queue_chosen(s, n)) return false;
    const int phases = s.signal.phases(n);
    return s.signal.cycle(n) > 0.0f && whole_cycle(s, n) >= 1 && phases >= 1 &&
           phases <= kMaxPhases;
}

} // namespace

void optsignal(Sim& s) {
    auto&                              sg = s.signal;
    const int                          t = s.control.t;
    const int                          ms = std::min(sg.msignal, kMaxSignals);
    std::array<float, kMaxSignals + 1> c0{};
    std::array<bool, kMaxSignals + 1>  skip{};
    SignalWork                         w;
    w.entries.reserve(64);

    for (int n = 1; n <= ms; ++n) {
        const auto i = static_cast<std::size_t>(n);
        skip[i] = !optimisable(s, n);
        if (skip[i]) continue;
        c0[i] = sg.cycle(n);
        if (!analyse(s, n, w)) {
            skip[i] = true;
            continue;
        }
        if (period_of(sg.phasopt(n)) >= kCycleOptimisedFrom && due(t, period_of(sg.phasopt(n))))
            sg.cycle(n) = new_cycle(sg, n, t, c0[i], w);
        PhaseReals share = w.share;
        if (sg.phasopt(n) > 0.0f && due(t, period_of(sg.phasopt(n))))
            for (int p = 1; p <= sg.phases(n); ++p) {
                const auto k = static_cast<std::size_t>(p);
                share[k] = kNewShare * w.y[k] / w.sum_y + (1.0f - kNewShare) * w.share[k];
            }
        rebuild_plan(s, n, share, w, c0[i]);
    }

    // A cluster runs on one cycle: the longest of its members, within the
    // tightest member limit, so no member leaves the bounds it was just held to.
    std::array<float, kMaxSignals + 1> longest{}, limit{};
    limit.fill(kClusterCycleMax);
    for (int n = 1; n <= ms; ++n) {
        const int c = sg.ofsopt(n, 2);
        if (skip[static_cast<std::size_t>(n)] || c < 1 || c > kMaxSignals) continue;
        const auto k = static_cast<std::size_t>(c);
        longest[k] = std::max(longest[k], sg.cycle(n));
        if (sg.maxcycle(n) >= 1) limit[k] = std::min(limit[k], static_cast<float>(sg.maxcycle(n)));
    }
    for (int n = 1; n <= ms; ++n) {
        const int c = sg.ofsopt(n, 2);
        if (skip[static_cast<std::size_t>(n)] || c < 1 || c > kMaxSignals) continue;
        const auto k = static_cast<std::size_t>(c);
        sg.cycle(n) = std::min(longest[k], limit[k]);
    }

    for (int n = 1; n <= ms; ++n) {
        const auto i = static_cast<std::size_t>(n);
        if (skip[i] || !optimisable(s, n)) continue;
        // The signal stays at the same fraction of its cycle.
        const float r = std::fmod(c0[i] + (static_cast<float>(t) - sg.offset(n)), c0[i]) / c0[i];
        sg.offset(n) = std::fmod(static_cast<float>(t) + sg.cycle(n) * (1.0f - r), sg.cycle(n));
        if (!analyse(s, n, w)) continue;
        rebuild_plan(s, n, w.share, w, c0[i]);
        if (due(t, period_of(sg.phasopt(n)))) report(s, n, t, w);
    }
}

void ptiming(Sim& s, int t, int pd_ot2, int np_ot2) {
    Units&      u = s.units;
    const auto& sg = s.signal;
    // A slot the run could not open was reported when the outputs were opened.
    if (pd_ot2 == 0 || !u.is_open(kTimingSlot)) return;
    const int period = std::abs(pd_ot2);
    if (t == 0) {
        u.line(kTimingSlot, fmt_a(s.filenam.mastitle, kTitleChars));
        u.line(kTimingSlot, fmt_i(sg.nsignals, 6) + fmt_i(np_ot2, 6) + fmt_i(period, 6));
    }
    const int k = t / period + (pd_ot2 > 0 ? 1 : 0);
    if (k < 1) return;
    u.line(kTimingSlot, fmt_i(k, 6) + fmt_i(t, 6));
    const int ms = std::min(sg.msignal, kMaxSignals);
    for (int n = 1; n <= ms; ++n) {
        if (!(sg.cycle(n) > 0.0f)) continue;
        const int   phases = std::clamp(sg.phases(n), 0, kMaxPhases);
        std::string rec = blanks(2) + fmt_i(n, 5) + fmt_f(sg.cycle(n), 6, 1) +
                          fmt_i(sg.mincycle(n), 5) + fmt_i(sg.maxcycle(n), 5) +
                          fmt_i(netin::trunc_sat(sg.offset(n)), 5) + fmt_i(phases, 5);
        // A signal choosing its phases from its queues rewrites its phase
        // times at every decision: the greens it ran in its last complete
        // cycle are listed instead.
        const bool chosen = queue_chosen(s, n);
        for (int p = 1; p <= phases; ++p) {
            const float green = chosen && p <= kNbPhaseRows ? s.nbsig.nbgreen(n, p, 2)
                                                            : sg.phstr(n, p, 2) - sg.phstr(n, p, 1);
            rec += fmt_f(green, 8, 1) + fmt_f(sg.intgrn(n, p), 8, 1);
        }
        rec += fmt_f(0.0, 8, 1);
        u.line(kTimingSlot, rec);
    }
}

void sig_his(Sim& s, int t10) {
    auto&     sg = s.signal;
    const int m = (t10 / 600) % kSignalHistSlots + 1;
    const int ms = std::min(sg.msignal, kMaxSignals);
    for (int n = 1; n <= ms; ++n) {
        sg.sighis1(n, m, 1) = netin::trunc_sat(sg.cycle(n));
        sg.sighis1(n, m, 2) = netin::trunc_sat(sg.offset(n));
        const int phases = std::clamp(sg.phases(n), 0, kMaxPhases);
        for (int p = 1; p <= phases; ++p)
            sg.phshis(n, m, p) = netin::trunc_sat(sg.phstr(n, p, 3) - sg.phstr(n, p, 1));
    }
}

} // namespace velm
