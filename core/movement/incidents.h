#pragma once
// Incidents at run time: the per-lane blockage state (capred, incdist,
// comblk) rebuilt from the incidents active now, and each link's lane-change
// horizon hrdwal (incid and pincident are declared in movement.h).
#include "core/model/sim.h"

namespace velm {

// True when incident i (1..mainc) is in force at second t: a link is named and
// stinc <= t < eninc.
bool incident_active(const Sim& s, int i, int t);

} // namespace velm
