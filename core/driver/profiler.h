#pragma once
// The activity profiler of a run: every mark charges the time since the
// previous mark to an activity number and keeps the run's clock `cclock`,
// which pacing, the progress report and the run summary read. The clock is
// the platform's `cpu_clock`, by default the monotonic clock, which costs no
// system call (the marks come about twenty times a tick).
#include "core/model/sim.h"

namespace velm {

inline constexpr int kStimReset = 0;
inline constexpr int kStimReport = -1;
inline constexpr int kStimUncharged = 630; // the stop check: charged, but not to cclock

// flag 0: reset; 1..9999: charge activity flag; -1: write the activity
// distribution to the run log; any other value: nothing.
void stim(Sim& s, int flag);

} // namespace velm
