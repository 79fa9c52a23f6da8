#pragma once
#include "core/model/sim.h"

namespace velm {

// Runs the 0.1-s time loop over ticks 0 .. simtim10 (inclusive). Returns early
// when a guard finds a fatal error (errt1 > 0) or the run is asked to stop.
void time_loop(Sim& s);

} // namespace velm
