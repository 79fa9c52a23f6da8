// Actuated control: once a second each actuated signal extends its current
// green while its approaches call, or ends it early for calls on the next
// phase, by moving the effective phase times of this cycle. Signals without
// actuation run their planned times.
#include "core/control/control.h"
#include "core/control/signal_timing.h"
#include "core/movement/stop_line.h"
#include "core/network/input_support.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr int kActClassDigitOne = 1;      // each vehicle of the class is one call
constexpr int kActClassDigitWeighted = 2; // each vehicle counts the class weight

using PhaseInts = std::array<int, kMaxPhases + 1>; // 1-based per phase

void take_plan(Sim& s, int n) {
    auto& sg = s.signal;
    for (int p = 1; p <= kMaxPhases; ++p)
        for (int i = 1; i <= 3; ++i) sg.phend(n, p, i) = sg.phstr(n, p, i);
}

// Sum of values, truncated toward zero after each addition.
struct TruncSum {
    int  v = 0;
    void add(float x) { v = netin::trunc_sat(static_cast<double>(v) + x); }
};

// Highest phase whose window holds the cycle second, 0 for none. A phase's
// window runs from the previous phase's end of green (phase 1: its own start)
// to its own end of green (the last phase: the end of its intergreen), both
// ends included, so during an intergreen the following phase is current.
int phase_at(const Array3<float>& times, int n, int phases, int ctim) {
    const float c = static_cast<float>(ctim);
    int         found = 0;
    for (int p = 1; p <= phases; ++p) {
        const float lo = p == 1 ? times(n, 1, 1) : times(n, p - 1, 2);
        const float hi = p > 1 && p == phases ? times(n, p, 3) : times(n, p, 2);
        if (lo <= c && c <= hi) found = p;
    }
    return found;
}

// Calls of link l's lanes, credited to each phase a slot of the link names.
void link_calls(const Sim& s, int n, int l, PhaseInts& calls) {
    if (l < 1 || l > std::min(s.link2.mlnum, kMaxLinks)) return;
    const int code = s.lnkvdet.actsig(n);
    const int lanes = std::min(std::abs(s.link1.nulans(l)), kMaxLinkLanes);
    for (int j = 1; j <= lanes; ++j) {
        const int lane = s.lanexch.lannum(l, j);
        if (lane < 1 || lane > kMaxLanes) continue;
        int vol = 0;
        for (int k = 1; k <= kClasses; ++k) {
            const int d = class_digit(code, k);
            const int waiting = s.lnkvdet.lnkdet(lane, k);
            if (d == kActClassDigitOne)
                vol += waiting;
            else if (d == kActClassDigitWeighted)
                vol = netin::trunc_sat(static_cast<double>(vol) +
                                       s.signal.actwgt(n, k) * static_cast<float>(waiting));
        }
        for (int slot = 1; slot <= kPhaseSlots; ++slot) {
            const int q = s.link3.phase(l, slot, 1);
            if (q > 0 && q <= kMaxPhases) calls[static_cast<std::size_t>(q)] += vol;
        }
    }
}

PhaseInts phase_calls(const Sim& s, int n) {
    PhaseInts  calls{};
    const auto listed = std::clamp(netin::trunc_sat(s.signal.nactapp(n)), 0, kSignalApproaches);
    if (listed == 0) {
        const int first = s.lnkvdet.frlan(n, 1);
        for (int i = 1; i <= s.lnkvdet.frlan(n, 2); ++i)
            link_calls(s, n, s.lnkvdet.lanind(first + i), calls);
    } else {
        for (int k = 1; k <= listed; ++k)
            link_calls(s, n, netin::trunc_sat(s.signal.act(n, k)), calls);
    }
    return calls;
}

// Longest green of phase p: the cycle less every other phase's minimum green
// and intergreen and p's own intergreen, and at most its coded maximum.
int max_green(const mod_signal& sg, int n, int p, int phases, int c) {
    TruncSum used;
    for (int q = 1; q <= phases; ++q)
        if (q != p) used.add(sg.mingrn(n, q, 1) + (sg.phstr(n, q, 3) - sg.phstr(n, q, 2)));
    used.add(sg.phstr(n, p, 3) - sg.phstr(n, p, 2));
    const int a = c - used.v;
    return sg.mingrn(n, p, 2) > static_cast<float>(a) ? a : netin::trunc_sat(sg.mingrn(n, p, 2));
}

ActDecision decide(const mod_signal& sg, int n, int ctim, int ph1, int cur, int nxt, bool last,
                   const PhaseInts& calls) {
    const float c = static_cast<float>(ctim);
    const float ie = std::trunc(sg.phend(n, cur, 3) - sg.phend(n, cur, 2));
    if (c >= sg.phend(n, cur, 2)) return ActDecision::green_ended;
    if (c >= sg.phend(n, nxt, 2) - sg.grnext(n, nxt) - ie) return ActDecision::cut;
    if (c <= sg.phend(n, cur, 1) + sg.grnext(n, cur)) return ActDecision::first_extension;
    if (last || cur > ph1) return ActDecision::idle;
    const bool on_cur = calls[static_cast<std::size_t>(cur)] > 0;
    const bool on_nxt = calls[static_cast<std::size_t>(nxt)] > 0;
    if (cur == ph1) {
        if (on_cur) return ActDecision::extend_on_plan;
        if (on_nxt) return ActDecision::end_on_plan;
        return ActDecision::no_calls_on_plan;
    }
    if (on_nxt) return ActDecision::end_behind_with_calls;
    if (on_cur) return ActDecision::extend_behind;
    return ActDecision::end_behind_no_calls;
}

} // namespace

int whole_cycle(const Sim& s, int n) {
    return netin::trunc_sat(s.signal.cycle(n));
}

ActDecision actuated_second(Sim& s, int n, int t) {
    auto&     sg = s.signal;
    const int c = whole_cycle(s, n);
    // A signal without a cycle of at least a second (or not coded) has no
    // cycle second: it runs its plan.
    if (c < 1) {
        take_plan(s, n);
        return ActDecision::undecided;
    }
    const float at = static_cast<float>(c + t) - sg.offset(n);
    int         ctim = static_cast<int>(std::fmod(std::trunc(static_cast<double>(at)), c));
    if (ctim < 0) ctim += c;
    if (ctim <= 1) {
        take_plan(s, n);
        return ActDecision::undecided;
    }

    const int phases = std::clamp(sg.phases(n), 0, kMaxPhases);
    const int ph1 = phase_at(sg.phstr, n, phases, ctim);
    const int ph2 = phase_at(sg.phend, n, phases, ctim);
    // Past the last intergreen of a plan shorter than its cycle no phase is
    // current: nothing to decide this second.
    if (ph2 == 0) return ActDecision::undecided;

    const int  cur = ph2;
    const bool last = cur == phases;
    const int  nxt = last ? cur : cur + 1;
    const auto calls = phase_calls(s, n);
    const auto decision = decide(sg, n, ctim, ph1, cur, nxt, last, calls);

    const float ig = std::trunc(sg.phstr(n, cur, 3) - sg.phstr(n, cur, 2));
    const float now = static_cast<float>(ctim);
    auto        close_green = [&] {
        sg.phend(n, cur, 3) = sg.phend(n, cur, 2) + ig;
        sg.phend(n, nxt, 1) = sg.phend(n, cur, 3);
    };
    switch (decision) {
    case ActDecision::extend_on_plan:
    case ActDecision::extend_behind: {
        const float ext = sg.grnext(n, cur);
        if (!(ext + now > sg.phend(n, cur, 2))) break;
        sg.phend(n, cur, 2) = now + ext;
        int      longest = max_green(sg, n, cur, phases, c);
        TruncSum rest;
        for (int q = nxt; q <= phases; ++q) rest.add(sg.mingrn(n, q, 1));
        longest = std::min(longest, c - rest.v);
        if (netin::trunc_sat(sg.phend(n, cur, 2) - sg.phend(n, cur, 1)) > longest)
            sg.phend(n, cur, 2) = sg.phend(n, cur, 1) + static_cast<float>(longest);
        close_green();
        break;
    }
    case ActDecision::end_on_plan:
    case ActDecision::end_behind_with_calls:
    case ActDecision::end_behind_no_calls:
        sg.phend(n, cur, 2) = now;
        if (sg.mingrn(n, cur, 1) > std::trunc(now - sg.phend(n, cur, 1)))
            sg.phend(n, cur, 2) = sg.phend(n, cur, 1) + sg.mingrn(n, cur, 1);
        close_green();
        break;
    case ActDecision::cut:
        if (last) break;
        sg.phend(n, cur, 2) = now;
        close_green();
        break;
    default:
        break;
    }
    return decision;
}

void sigact(Sim& s, int t) {
    for (int n = 1; n <= kMaxSignals; ++n) {
        if (s.lnkvdet.actsig(n) <= 0)
            take_plan(s, n);
        else
            actuated_second(s, n, t);
    }
}

} // namespace velm
