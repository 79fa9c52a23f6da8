#pragma once
// The input phase of a run as an ordered table of steps. Each step names what
// it calls, may run only under a condition, and may be followed by the
// fatal-error guard: once errt1 > 0 at a guard, every later step is skipped
// and the run goes to its run summary. Keeping the order as data makes the
// order and the guards visible in one place (and lets tests walk the same
// table with the outside calls replaced).
#include "core/model/sim.h"

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace velm {

struct InputStep {
    std::string                     id;   // step number and what it calls, "7.17 rdlanebias"
    std::function<bool(const Sim&)> when; // empty: always
    std::function<void(Sim&)>       call;
    bool                            guard = false; // the fatal-error guard follows the step
    bool                            own = false;   // the driver's own bookkeeping, not a call out
};

// The steps of the input phase, from opening the run logs to the start of the
// time loop, in their fixed order.
const std::vector<InputStep>& input_steps();

// Walks the steps in order. False when a guard found a fatal error (the rest
// was skipped), true when every step ran.
bool run_input_steps(Sim& s, std::span<const InputStep> steps);

} // namespace velm
