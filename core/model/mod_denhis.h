#pragma once
// Density seen by each vehicle when it entered its current link.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_denhis {
    Array1<int> entden{"entden", kMaxVehicles}; // vehicles already on the link at entry
};

} // namespace velm
