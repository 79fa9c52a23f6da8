#pragma once
// Per-link constants of the mesoscopic link model, derived from each link's
// speed-flow relation. Empty until meso_allocate_memory gives them the run's
// links; nothing else reads or writes them.
#include "core/model/array.h"

namespace velm {

struct mod_meso {
    bool          allocated = false;
    Array1<float> const_1; // terms of the mean speed at a density
    Array1<float> const_2;
    Array1<float> const_3;
    Array1<float> c3;      // 1/qc - uf/(uc^2 kj), h
    Array1<float> uf;      // free speed, km/h
    Array1<float> density; // veh/km/lane
    Array1<float> length;  // m
};

} // namespace velm
