#pragma once
#include "core/model/sim.h"

namespace velm {

// Runs the 0.1-s time loop over ticks 0 .. simtim10 (inclusive; a horizon of
// T s runs 10 T + 1 ticks). Returns true when the last tick ran: the caller
// then writes the end-of-run reports. Returns false at once when a guard
// found a fatal error (errt1 > 0), the stop check asked to stop, or the front
// end's stop request or a stop signal was seen at the head of a tick; a stop
// sets subtim.stopped_at to the second reached, and the caller writes the
// end-of-run reports for that second, a fatal error goes straight to the run
// summary.
bool time_loop(Sim& s);

} // namespace velm
