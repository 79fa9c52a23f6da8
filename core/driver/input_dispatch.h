#pragma once
// The numbered input files 1 to 7 in their fixed order, with the derivations
// later readers rely on between them. Each step runs only while no fatal error
// has been counted. The order is kept as data so that it reads in one place
// and tests can walk it with the calls replaced.
#include "core/model/sim.h"

#include <functional>
#include <span>
#include <string>
#include <vector>

namespace velm {

struct DispatchStep {
    std::string               id;       // what the step calls, "read4"
    int                       slot = 0; // a reader's master slot: a reading line first
    std::function<void(Sim&)> call;
    bool                      guard = false; // stop the chain when errt1 >= 1 after the step
    int                       box = 0;       // message box shown when the guard stops (1, 2)
};

// The chain of files 1 to 7.
const std::vector<DispatchStep>& dispatch_steps();

// Walks the steps; false when a guard stopped the chain. Sets ng_flag at the
// end of a complete chain.
bool run_dispatch(Sim& s, std::span<const DispatchStep> steps);

} // namespace velm
