#pragma once
// Eco-driving advice at signalised approaches: which classes get advice on
// which links, and the advised speed of each trip. The stop line reads the
// flags (an advised class is not held by the red-light and class-permission
// reasons); the eco-driving reader fills them.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr float kNoEcoAdvice = 3600.0f; // km/h: no eco advice

struct mod_ecodrive {
    // (l, vt) non-zero: class vt gets eco-driving advice on link l.
    Array2<int> eco_flag{"eco_flag", kMaxLinks, kClasses};
    // Advised speed of trip car, km/h (kNoEcoAdvice: none).
    Array1<float> spdeco{"spdeco", kMaxTrips};

    void reset() { eco_flag.zero(); }
};

} // namespace velm
