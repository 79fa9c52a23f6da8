#pragma once
// Learned speed harmonisation at weaving sections: the state definition in
// use and the per-class exit counts of state definition 4. The controller
// tables are added here by the strategy itself.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_shql {
    int         shql_fmt = 0;                          // state definition 1..4; 0 = off
    Array2<int> flowvt{"flowvt", kMaxLinks, kClasses}; // vehicles of a class that left the link
};

} // namespace velm
