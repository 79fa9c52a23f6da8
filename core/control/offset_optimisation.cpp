// Online offset optimisation: at the end of each of its cycles a signal's
// offset is evaluated against 30 candidates with a deterministic queue model
// over the cyclic arrival profiles of its own and its downstream lanes, and
// moved toward the best one by at most 4 s. Also the decay of the smoothed
// link and approach flows the cycle and split optimisation reads.
#include "core/control/control.h"
#include "core/control/signal_timing.h"
#include "core/network/input_support.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr float kLaneDischarge = 0.5f;   // veh/s/lane leaving a queue on green
constexpr float kStopPenalty = 15.0f;    // s per vehicle arriving at a standing queue
constexpr float kMaxOffsetStep = 4.0f;   // s an offset moves per cycle at most
constexpr float kBestUnset = 1000000.0f; // start of the search for the best candidate
constexpr float kMinMeanIndex = 5.0f;    // no move while 1 + mean index is at most this
constexpr float kClearlyBetter = 0.9f;   // best / (1 + mean) below this moves the offset
constexpr float kSameCycle = 0.1f;       // s: downstream signals on the same cycle
constexpr float kOutflowDecay = 0.975f;  // per second
constexpr float kApproachDecay = 0.998f; // per second
constexpr float kTicksPerSecond = 10.0f;

// Profile smoothing weights: the bin and its two neighbours, then the new
// cycle against the kept profile, and the share carried into the next cycle.
constexpr float kBinSelf = 0.5f;
constexpr float kBinSide = 0.25f;
constexpr float kKeepProfile = 0.25f;
constexpr float kNewProfile = 0.75f;
constexpr float kCarryOver = 0.25f;

int last_link(const Sim& s) {
    return std::min(s.link2.mlnum, kMaxLinks);
}

int link_lanes(const Sim& s, int l) {
    return std::min(std::abs(s.link1.nulans(l)), kMaxLinkLanes);
}

int lane_of(const Sim& s, int l, int j) {
    const int lane = s.lanexch.lannum(l, j);
    return lane >= 1 && lane <= kMaxLanes ? lane : 0;
}

// The signal a link ends at, 0 for none or one beyond the controller table.
int end_signal(const Sim& s, int l) {
    const int ts = std::abs(s.link3.tsignal(l));
    return ts >= 1 && ts <= std::min(kLastSignalCode, kMaxSignals) ? ts : 0;
}

bool at_boundary(int t10, int icyc) {
    return icyc >= 1 && static_cast<long long>(t10) % (10LL * icyc) == 0;
}

// A signal at its cycle boundary whose offset the optimisation may move.
bool coordinated_at(const Sim& s, int n, int t10) {
    return s.signal.cycle(n) > 0.0f && at_boundary(t10, whole_cycle(s, n)) &&
           s.signal.ofsopt(n, 1) > 0 && s.signal.ofsopt(n, 2) > 0;
}

// Adds the lane model of every lane of link l (signal n) to the totals, with
// the candidate offset fraction from `fraction`; the link's own sums go to
// `link_tot` when one is given.
template <class Fraction>
void add_link(const Sim& s, int n, int l, CandidateTotals& tot, Fraction fraction,
              CandidateTotals* link_tot = nullptr) {
    if (link_tot) link_tot->fill(0.0f);
    for (int j = 1; j <= link_lanes(s, l); ++j) {
        const int lane = lane_of(s, l, j);
        if (lane == 0) continue;
        for (int k = 1; k <= kOffsetCandidates; ++k) {
            const float v = evallane(s, n, l, lane, fraction(k));
            tot[static_cast<std::size_t>(k)] += v;
            if (link_tot) (*link_tot)[static_cast<std::size_t>(k)] += v;
        }
    }
}

void smooth_profile(Sim& s, int lane) {
    auto&                             f = s.flowprof.cycflw;
    std::array<float, kCycleBins + 2> old3{};
    for (int b = 1; b <= kCycleBins; ++b) old3[static_cast<std::size_t>(b)] = f(lane, b, 3);
    old3[0] = old3[kCycleBins];
    old3[kCycleBins + 1] = old3[1];
    for (int b = 1; b <= kCycleBins; ++b) {
        const auto i = static_cast<std::size_t>(b);
        f(lane, b, 3) = kBinSelf * old3[i] + kBinSide * old3[i - 1] + kBinSide * old3[i + 1];
        f(lane, b, 1) = kKeepProfile * f(lane, b, 1) + kNewProfile * f(lane, b, 3);
        f(lane, b, 3) *= kCarryOver;
    }
}

} // namespace

float evallane(const Sim& s, int isig, int link, int lane, float xoff) {
    const int c = whole_cycle(s, isig);
    if (c < 1) return 0.0f;
    const float cf = static_cast<float>(c);
    const float shift = cf * xoff;
    const float bin = cf / static_cast<float>(kCycleBins);

    std::array<float, kPhaseSlots + 1> start{}, end{};
    for (int j = 1; j <= kPhaseSlots; ++j) {
        const int q = std::abs(s.link3.phase(link, j, 1));
        if (q < 1 || q > kMaxPhases) continue;
        start[static_cast<std::size_t>(j)] = std::trunc(s.signal.phstr(isig, q, 1));
        end[static_cast<std::size_t>(j)] = std::trunc(s.signal.phstr(isig, q, 2));
    }
    const float sat = kLaneDischarge * bin;

    float q = 0.0f, del = 0.0f;
    // The second pass starts from the queue the first one left, so the index
    // describes a cycle that repeats.
    for (int pass = 1; pass <= 2; ++pass) {
        del = 0.0f;
        for (int i = 1; i <= kCycleBins; ++i) {
            const int   at = netin::trunc_sat(cf + static_cast<float>(i) * bin - shift);
            const float p = static_cast<float>(((at % c) + c) % c);
            bool        green = false;
            for (std::size_t j = 1; j <= kPhaseSlots; ++j)
                if (start[j] < p && p <= end[j]) green = true;
            const float a = s.flowprof.cycflw(lane, i, 1);
            const float stops = q > 0.0f ? a : 0.0f;
            q = green ? std::max(0.0f, q + a - sat) : q + a;
            del += q * bin + kStopPenalty * stops;
        }
    }
    return del;
}

void candidate_totals(const Sim& s, int isig, int icyc, CandidateTotals& tot,
                      Array2<float>* link_index) {
    tot.fill(0.0f);
    const auto& idx = s.lnkvdet;
    const auto  own = [](int k) {
        return static_cast<float>(k - 1) / static_cast<float>(kOffsetCandidates);
    };
    CandidateTotals link_tot{};
    for (int i = 1; i <= idx.frlan(isig, 2); ++i) {
        const int l = idx.lanind(idx.frlan(isig, 1) + i);
        if (s.link4.llength(l) <= 0.0f) continue;
        add_link(s, isig, l, tot, own, link_index ? &link_tot : nullptr);
        if (link_index && l >= 1 && l <= link_index->hi1())
            for (int k = 1; k <= kOffsetCandidates; ++k)
                (*link_index)(l, k) = link_tot[static_cast<std::size_t>(k)];
    }

    // Moving isig's offset shifts the platoons reaching a downstream signal;
    // that is evaluated as the opposite shift of the downstream offset.
    const float cyc = static_cast<float>(icyc);
    for (int l = 1; l <= last_link(s); ++l) {
        if (s.link4.llength(l) < 0.0f || s.flowprof.upssig(l) != isig) continue;
        const int ts = end_signal(s, l);
        if (ts == 0 || std::fabs(s.signal.cycle(ts) - s.signal.cycle(isig)) > kSameCycle) continue;
        const float both = s.signal.offset(ts) + s.signal.offset(isig);
        add_link(s, ts, l, tot, [&](int k) {
            const float u =
                (both - cyc * static_cast<float>(k - 1) / static_cast<float>(kOffsetCandidates)) /
                cyc;
            return (1.0f + u) - std::trunc(1.0f + u);
        });
    }
}

static_assert(kOffsetCandidates == kCycleBins,
              "the offset index tables hold one value per candidate");

float offset_move(float o, int b, float m, float mean, int icyc) {
    const float a = 1.0f + mean;
    if (icyc < 1 || !(a > kMinMeanIndex && m / a < kClearlyBetter)) return o;
    const auto wrap = [icyc](double x) {
        const int v = netin::trunc_sat(x) % icyc;
        return v < 0 ? v + icyc : v;
    };
    const int f = wrap(static_cast<double>(icyc) + b - o);
    const int g = wrap(static_cast<double>(icyc) + o - b);
    // Forward only when strictly the shorter way.
    if (g > f) return static_cast<float>(wrap(static_cast<double>(o) + std::min(f, 4)));
    return static_cast<float>(wrap(static_cast<double>(icyc) + o - std::min(g, 4)));
}

int limited_offset(float old, float o, int c) {
    if (c < 1) return netin::trunc_sat(old);
    const float cf = static_cast<float>(c);
    float       moved = old;
    if (o >= old) {
        const float d1 = o - old, d2 = cf - d1;
        moved =
            d2 >= d1 ? old + std::min(d1, kMaxOffsetStep) : old + cf - std::min(d2, kMaxOffsetStep);
    } else {
        const float d1 = old - o, d2 = cf - d1;
        moved =
            d2 >= d1 ? old - std::min(d1, kMaxOffsetStep) : old + cf + std::min(d2, kMaxOffsetStep);
    }
    const int v = netin::trunc_sat(moved) % c;
    return v < 0 ? v + c : v;
}

void evalsign(Sim& s, int /*t10*/, int isig, int icyc) {
    CandidateTotals tot;
    candidate_totals(s, isig, icyc, tot, &s.flowprof.cycpi);
    if (isig >= 1 && isig <= s.flowprof.sigpi.hi1())
        for (int k = 1; k <= kOffsetCandidates; ++k)
            s.flowprof.sigpi(isig, k) = tot[static_cast<std::size_t>(k)];
    float best = kBestUnset, sum = 0.0f;
    int   b = 0;
    for (int k = 1; k <= kOffsetCandidates; ++k) {
        const float v = tot[static_cast<std::size_t>(k)];
        sum += v;
        if (v < best) {
            best = v;
            const float xoff = static_cast<float>(k - 1) / static_cast<float>(kOffsetCandidates);
            b = netin::trunc_sat(xoff * static_cast<float>(icyc));
        }
    }
    const float mean = sum / static_cast<float>(kOffsetCandidates);
    s.signal.offset(isig) = offset_move(s.signal.offset(isig), b, best, mean, icyc);
}

void offopt(Sim& s, int t10) {
    auto&                              sg = s.signal;
    const int                          ms = std::min(sg.msignal, kMaxSignals);
    std::array<float, kMaxSignals + 1> old{}, moved{};
    for (int n = 1; n <= ms; ++n) old[static_cast<std::size_t>(n)] = sg.offset(n);
    moved = old;

    // Later signals see the offsets already moved for earlier ones. Only a
    // coordinated signal keeps what its evaluation found, so without one at
    // this boundary every move would be undone below: nothing to evaluate.
    bool coordinated = false;
    for (int n = 1; n <= ms; ++n)
        if (coordinated_at(s, n, t10)) coordinated = true;
    for (int n = 1; n <= ms && coordinated; ++n)
        if (sg.cycle(n) > 0.0f && at_boundary(t10, whole_cycle(s, n)))
            evalsign(s, t10, n, whole_cycle(s, n));

    // The evaluation above used the profiles smoothed at the previous boundary.
    for (int l = 1; l <= last_link(s); ++l) {
        const int n = end_signal(s, l);
        if (n == 0 || sg.cycle(n) <= 0.0f || !at_boundary(t10, whole_cycle(s, n))) continue;
        for (int j = 1; j <= link_lanes(s, l); ++j)
            if (const int lane = lane_of(s, l, j); lane > 0) smooth_profile(s, lane);
    }

    for (int n = 1; n <= ms; ++n) {
        const int c = whole_cycle(s, n);
        if (sg.cycle(n) <= 0.0f || !at_boundary(t10, c)) continue;
        const auto i = static_cast<std::size_t>(n);
        if (coordinated_at(s, n, t10))
            moved[i] = static_cast<float>(limited_offset(old[i], sg.offset(n), c));
        sg.offset(n) = moved[i];
    }
}

void dynflow(Sim& s, int /*t10*/, int mlnum, int ndecay) {
    // Raised to the real power of the step, so the decay per second does not
    // depend on how often this runs.
    const float step = static_cast<float>(ndecay) / kTicksPerSecond;
    const float f1 = std::pow(kApproachDecay, step);
    const float f3 = std::pow(kOutflowDecay, step);
    const int   last = std::min(mlnum, kMaxLinks);
    for (int l = 1; l <= last; ++l) {
        if (s.link4.llength(l) < 0.0f) continue;
        s.link1.outflw(l, 1) *= f3;
        s.link1.outflw(l, 2) *= f3;
        for (int j = 1; j <= link_lanes(s, l); ++j)
            if (const int lane = lane_of(s, l, j); lane > 0)
                for (int k = 1; k <= kPhaseSlots; ++k) s.link1.aprflw(lane, k) *= f1;
    }
}

} // namespace velm
