#pragma once
// Control type at each link end for gap acceptance, and the global
// gap-acceptance defaults.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

// stopsign codes.
inline constexpr int kNoControl = 0;
inline constexpr int kSignalised = 1;
inline constexpr int kYieldSign = 2;
inline constexpr int kStopSign = 3;

struct mod_opsgap {
    Array1<int> stopsign{"stopsign", kMaxLinks}; // 0 none, 1 signal, 2 yield, 3 stop sign
    float       ogapdef = 4.0f;                  // default critical gap, s
    float       ogapdec = 120.0f;                // default gap decay interval, s
    float       ogapcov = 0.0f; // coefficient of variation of the critical gap among drivers

    void reset() {
        stopsign.zero();
        ogapdef = 4.0f;
        ogapdec = 120.0f;
        ogapcov = 0.0f;
    }
};

} // namespace velm
