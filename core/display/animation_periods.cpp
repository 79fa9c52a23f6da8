// How often the moving layer is cleared and the vehicles redrawn (and so
// recorded): from the network's size, the width of the view and the run's
// pacing and step mode.
#include "core/display/display.h"

#include <algorithm>

namespace velm {

namespace {

struct Band {
    float upto; // up to and including this value
    int   value;
};

// Base factor by the highest link number: finer animation on small networks.
constexpr Band kBaseFactor[] = {{10, 5}, {25, 4}, {100, 3}, {1000, 2}};
constexpr int  kBaseFactorLarge = 1;

// Clear factor by the view width (km).
constexpr Band kClearFactor[] = {{1.0f, 50}, {5.0f, 150}};
constexpr int  kClearFactorWide = 600;

constexpr int   kRedrawWide = 10;       // unpaced, view wider than 2 km
constexpr float kRedrawMidWidth = 2.0f; // km
constexpr int   kRedrawMid = 5;
constexpr float kRedrawNarrowWidth = 0.5f; // km
constexpr int   kRedrawNarrow = 2;
constexpr int   kRedrawPaused = 1;   // stepping by 0.1 s or held
constexpr int   kStepOneSecond = 10; // indstp of stepping by 1 s
constexpr int   kRedrawOneSecond = 2;
constexpr int   kRedrawPaced = 1;

template <std::size_t N> int band(const Band (&bands)[N], float v, int beyond) {
    for (const Band& b : bands)
        if (v <= b.upto) return b.value;
    return beyond;
}

} // namespace

void setanim_spd(Sim& s, int mlnum) {
    s.subtim.animspd(1) = band(kBaseFactor, static_cast<float>(mlnum), kBaseFactorLarge);
}

void chkanimspd(Sim& s, int) {
    auto&       a = s.subtim.animspd;
    const float w = s.set2.xmax(2) - s.set2.xmin(2);
    a(3) = a(1) * band(kClearFactor, w, kClearFactorWide);

    // Each later rule overrides the earlier ones: pacing wins over stepping,
    // stepping over the view width.
    int m2 = kRedrawWide;
    if (w <= kRedrawMidWidth) m2 = kRedrawMid;
    if (w <= kRedrawNarrowWidth) m2 = kRedrawNarrow;
    const int step = s.subtim.step_mode();
    if (step == kPaused) m2 = kRedrawPaused;
    if (step == kStepOneSecond) m2 = kRedrawOneSecond;
    if (s.subtim.pacing() > 0) m2 = kRedrawPaced;
    a(2) = a(1) * m2;
    a(3) = std::max(a(3), a(2));
}

} // namespace velm
