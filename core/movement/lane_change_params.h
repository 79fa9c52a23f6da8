#pragma once
// Lane-change parameters: built-in defaults, replaced from the optional file
// "lanechange.dat" in the input directory (rdwvedat, declared in movement.h).
#include "core/model/sim.h"

namespace velm {

inline constexpr int kLaneChangeValues = 10; // values the file may give, in order

// Checks wvedat(1..8) against their ranges: one run-log line and one fatal
// error (errt1) per failed check; every check is made. Returns the failures.
int check_lane_change_params(Sim& s);

} // namespace velm
