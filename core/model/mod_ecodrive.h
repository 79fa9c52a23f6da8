#pragma once
// Eco-driving advice at signalised approaches: which classes get advice on
// which links. The stop line reads the flags (an advised class is not held by
// the red-light and class-permission reasons); the eco-driving reader fills them.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_ecodrive {
    // (l, vt) non-zero: class vt gets eco-driving advice on link l.
    Array2<int> eco_flag{"eco_flag", kMaxLinks, kClasses};

    void reset() { eco_flag.zero(); }
};

} // namespace velm
