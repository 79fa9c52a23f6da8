#pragma once
// Pieces of actuated control and of the timing optimisations that tests and
// the optimisation routines share: the decision of one actuated signal, the
// queue model of one lane, the candidate totals of one signal and the offset
// moves.
#include "core/model/sim.h"

#include <array>

namespace velm {

// Decision of actuated control for one signal in one second.
enum class ActDecision : int {
    undecided = 1,
    idle = 0, // last phase, or the effective cycle runs ahead of the plan
    first_extension = 101,
    green_ended = 103,
    cut = 90,
    extend_on_plan = 2,
    end_on_plan = 12,
    no_calls_on_plan = 3,
    end_behind_with_calls = 15,
    extend_behind = 5,
    end_behind_no_calls = 16,
};

// One second of actuated control for signal n (called by sigact for every
// actuated signal): resets to the plan at cycle seconds 0 and 1, else
// decides and moves the effective phase times.
ActDecision actuated_second(Sim& s, int n, int t);

// Whole-second cycle a signal runs on for actuation and the optimisations;
// below 1 the signal is left on its plan by all of them.
int whole_cycle(const Sim& s, int n);

// Queue model of one lane of `link` under signal `isig` with the candidate
// offset `xoff` (fraction of the cycle): vehicle-seconds of queue over the
// cycle plus 15 s per vehicle that arrives at a standing queue.
float evallane(const Sim& s, int isig, int link, int lane, float xoff);

inline constexpr int kOffsetCandidates = 30;
using CandidateTotals = std::array<float, kOffsetCandidates + 1>; // 1-based

// Totals of the lane model over the signal's own approaches and the approaches
// it feeds downstream, per candidate offset k = 1..30. With `link_index`, the
// sums of each own approach link are also kept in its row.
void candidate_totals(const Sim& s, int isig, int icyc, CandidateTotals& tot,
                      Array2<float>* link_index = nullptr);

// The offset evalsign leaves: from o toward the best candidate b by at most
// 4 s, and only when the best value m is clearly below the mean.
float offset_move(float o, int b, float m, float mean, int icyc);

// The offset coordination keeps: from old toward o the short way round, by at
// most 4 s, on whole seconds of the cycle C.
int limited_offset(float old, float o, int c);

void evalsign(Sim& s, int t10, int isig, int icyc);

} // namespace velm
