#pragma once
// Coefficients of the logit mode split and of the peak spreading
// ("mod_shf.dat") of demand synthesis.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_modshf {
    // Per class: (vt, 1) mode-split constant; (vt, 2) peak-spreading
    // travel-time coefficient, per s; (vt, 3) schedule-delay coefficient, per s
    // of shift.
    Array2<float> modcon{"modcon", kClasses, 3};
    float         timcof = 0.0f;                // mode-split travel-time coefficient, per s
    float         tolcof = 0.0f;                // fare or toll coefficient; echoed only
    Array1<float> per_veh{"per_veh", kClasses}; // vehicles per person; echoed only

    mod_modshf() { reset(); }
    void reset() {
        modcon.zero();
        timcof = 0.0f;
        tolcof = 0.0f;
        per_veh.fill(1.0f);
    }
};

} // namespace velm
