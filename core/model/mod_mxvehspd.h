#pragma once
// Maximum speed per vehicle class. Car following caps every vehicle by its
// class's entry, so the "no cap" default is in place from construction on.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kNoSpeedCap = 1000; // km/h: the class is unrestricted

struct mod_mxvehspd {
    Array1<int> mspvh{"mspvh", kClasses}; // km/h per class

    mod_mxvehspd() { reset(); }
    void reset() { mspvh.fill(kNoSpeedCap); }
};

} // namespace velm
