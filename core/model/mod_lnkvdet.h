#pragma once
// Actuated control: the actuation code of each signal, the index from a
// signal to the links it controls, and the vehicle counts near the link ends
// that vehicle movement keeps.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_lnkvdet {
    // Five decimal digits, leftmost class 1: 0 no call, 1 each vehicle counts
    // 1, 2 each counts actwgt(s, class); 0 = pretimed.
    Array1<int> actsig{"actsig", kMaxSignals};
    // (s, 1) entries of lanind before signal s's block, (s, 2) links of signal s.
    Array2<int> frlan{"frlan", kMaxSignals, 2};
    Array1<int> lanind{"lanind", kMaxLinks}; // links grouped by signal, ascending within a signal
    Array2<int> lnkdet{"lnkdet", kMaxLanes, kClasses}; // vehicles < 100 m before the lane end
    Array1<int> lnndet{"lnndet", kMaxLanes};           // lnkdet summed over the classes

    void reset() {
        actsig.zero();
        frlan.zero();
        lanind.zero();
        lnkdet.zero();
        lnndet.zero();
    }
};

} // namespace velm
