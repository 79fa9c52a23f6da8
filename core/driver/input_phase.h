#pragma once
// The input phase of a run as an ordered table of steps. Each step names what
// it calls, may run only under a condition, and may be followed by the
// fatal-error guard: once errt1 > 0 at a guard, every later step is skipped
// and the run goes to its run summary. Keeping the order as data makes the
// order and the guards visible in one place (and lets tests walk the same
// table with the outside calls replaced). A step is named by the routine it
// runs; as it runs, it names that routine to the probe of a test.
#include "core/model/sim.h"

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velm {

struct InputStep {
    // The routine the step runs: "rdlanebias"; with its argument where one
    // routine runs at two steps, "builddis(2)"; a profiler mark as
    // "stim(110)". Steps of the driver's own bookkeeping say what they do.
    std::string                     name;
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

// The place of the named step in `steps`, counted from 1; 0 when no step has
// that name. Where the order matters (a log, a test's message), the ordinal
// says it without numbering the steps by hand.
int step_ordinal(std::span<const InputStep> steps, std::string_view name);

} // namespace velm
