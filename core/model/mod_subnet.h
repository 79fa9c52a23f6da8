#pragma once
// Links marked for the subnetwork crossing trace ("subnet.dat").
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_subnet {
    int         nsubnetl = 0;                    // records read; 0 = the trace is off
    Array1<int> subnetzn{"subnetzn", kMaxLinks}; // zone code of a link; -1 not listed
    Array1<int> subnetty{"subnetty", kMaxLinks}; // type code; traced when |type| >= 1
};

} // namespace velm
