#pragma once
// Helpers shared by the tick and the per-second block.
#include "core/model/sim.h"

#include <string_view>

namespace velm {

inline constexpr int kCheckpointSwitch = 30; // errchk(30) = 1: checkpoint trace each tick

// Names the step about to run to the probe of a test; nothing otherwise.
inline void note_step(Sim& s, std::string_view name) {
    if (s.probe != nullptr) [[unlikely]]
        s.probe->step(name);
}

// Names a step to the probe, then calls it: VELM_STEP(moveveh, s, t, t10).
// Used inside the loop's own files only, where the run state is named s.
#define VELM_STEP(fn, ...) (::velm::note_step(s, #fn), fn(__VA_ARGS__))

// The checkpoint trace before a step ("rep_err.out"), when switched on.
void checkpoint(Sim& s, int code);

} // namespace velm
