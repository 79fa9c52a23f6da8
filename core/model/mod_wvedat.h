#pragma once
// Lane-change parameters: built-in defaults that the optional file
// "lanechange.dat" may replace in the input phase; nothing changes them during
// the run.
#include "core/model/array.h"

namespace velm {

inline constexpr int kLaneChangeParams = 15;

struct mod_wvedat {
    // (1) hard-wall factor, jam spacings; (2) soft-wall factor; (3) relative
    // inertia, km/h per km/h; (4) absolute inertia km/h; (5) inertia cap km/h;
    // (6) lane-change duration s; (7) relative middle-lane bias; (8) absolute
    // middle-lane bias km/h; (9), (10) read only.
    Array1<float> wvedat{"wvedat", kLaneChangeParams};

    mod_wvedat() { reset(); }
    void reset() {
        constexpr float kDefaults[] = {10.0f, 10.0f, 0.2f, 5.0f, 10.0f,
                                       2.0f,  0.01f, 1.0f, 0.5f, 0.5f};
        wvedat.zero();
        for (int k = 1; k <= 10; ++k) wvedat(k) = kDefaults[k - 1];
    }
};

} // namespace velm
