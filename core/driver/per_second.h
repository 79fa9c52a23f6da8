#pragma once
// The once-per-second block of the time loop (ticks with t10 mod 10 = 0).
#include "core/model/sim.h"

namespace velm {

// Runs the block for second s.control.t. False when a fatal error was counted
// by the detector step or by the timed turn bans: the loop must end at once.
bool per_second(Sim& s);

// The external management programs of second t: for each program k found
// before the run, the run-log line "interact\atmsK" + " " + the second in 7
// characters, and that command run with the file found ("interact\atmsK.exe")
// through the platform and waited for.
void run_external_hooks(Sim& s, int t);

} // namespace velm
