#pragma once
// A read of a unit that holds no input file ends the run the way every fatal
// error does: a line in the run log, the termination box, the files closed.
#include "core/model/sim.h"

namespace velm {

// Sets the run's read-fault handler on s.units; a run calls it before it
// opens any file.
void route_read_faults(Sim& s);

} // namespace velm
