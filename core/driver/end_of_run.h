#pragma once
#include "core/model/sim.h"

namespace velm {

// The end-of-run summaries, written when the time loop reached its end
// without a fatal error (the progress window is closed first).
void end_of_run_reports(Sim& s);

// Every way out of a run ends here: profiler report, run summary in the run
// log, vehicles still en route, vehicle paths, units closed and, after fatal
// errors, the termination box.
void run_summary(Sim& s);

} // namespace velm
