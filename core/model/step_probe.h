#pragma once
// An observer of the time loop's schedule. The loop names each step to the
// probe before it runs it (the profiler its marks, the trace its checkpoints,
// the input phase its routines); a run without a probe (every production run) pays
// one untaken branch per step. Tests install a probe to record the schedule
// and to act at a chosen step (raise an error count, change a run-control word).
#include <string_view>

namespace velm {

class StepProbe {
  public:
    virtual ~StepProbe() = default;
    // `name` is the routine or step about to run; the clock (t, t10) is
    // already set for the tick.
    virtual void step(std::string_view name) = 0;
    // The profiler's argument at each mark, and each code the checkpoint
    // trace writes, in the order the run makes them.
    virtual void mark(int /*flag*/) {}
    virtual void checkpoint(int /*code*/) {}
};

} // namespace velm
