#pragma once
// Longitudinal grade of each link ("lnkgrade.dat").
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_lnkgrade {
    Array1<float> lnkgrade{"lnkgrade", kMaxLinks}; // rise over run; negative downhill; 0 level
};

} // namespace velm
