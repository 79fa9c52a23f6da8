#pragma once
// Distributed intersection control: the option evaluation of one decision,
// open to the tests. rd_divc and fun_divc are declared in control.h.
#include "core/model/sim.h"

#include <array>

namespace velm {

inline constexpr int kDivcNoVehicle = 1000; // s: earliest time of a movement without vehicles

// The four movements an option serves (0: none).
using DivcOption = std::array<int, 4>;
// Earliest free-flow time per movement 1..12 ([0] unused).
using DivcEarliest = std::array<float, kDivcMovements + 1>;

// The options 1..4: movements served by each phase of the signal.
const DivcOption& divc_option(int j);

// Evaluates option ph at intersection n over the listed vehicles s.divc.list
// (sorted by free-flow time): the start time tstart (s after the decision) of
// the conflicting movements, the delay value tdelay, and the scheduled
// stop-line time of each listed vehicle in sched (-1: none). queue false:
// waiting time of conflicting vehicles; true: their clearing times, and the
// served vehicles get no schedule.
void divc_evaluate(const Sim& s, const DivcOption& ph, const DivcEarliest& t2imin, int n,
                   bool queue, float& tdelay, float& tstart, std::vector<float>& sched);

} // namespace velm
