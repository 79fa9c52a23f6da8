#pragma once
// Eco speed advice through one or two downstream signals: which classes take
// part on which links, the mode, and the advised speed of each trip.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_ecms {
    int msfmt = 0; // 0 off; 1 arrival tests without queue; above 1 with queue
    // (l, vt) 1: class vt takes part on link l.
    Array2<int> msflag{"msflag", kMaxLinks, kClasses};
    // Advised speed of trip car, km/h (3600: none).
    Array1<float> msspd{"msspd", kMaxTrips};
};

} // namespace velm
