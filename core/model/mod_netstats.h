#pragma once
// Network totals per simulated minute for the history graphs. The table holds
// 2000 minutes as a ring: minute m of the run lives in slot ((m - 1) mod 2000)
// + 1, and a slot is cleared when a later minute takes it over, so a run longer
// than 2000 minutes keeps its latest 2000 minutes instead of writing past the
// table.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <algorithm>

namespace velm {

inline constexpr int kNetMinutes = 2000; // minute slots of the totals
inline constexpr int kNetEmissions = 7;  // fuel, HC, CO, NOx, CO2, PM, energy

struct mod_netstats {
    Array1<float> vehkm{"vehkm", kNetMinutes}; // vehicle-km travelled
    Array1<float> vehmn{"vehmn", kNetMinutes}; // vehicle-minutes on the network
    Array1<float> vehde{"vehde", kNetMinutes}; // vehicle delay minutes against the free speed
    Array1<float> vehst{"vehst", kNetMinutes}; // vehicle stops (fuel model)
    Array2<float> vehemis{"vehemis", kNetMinutes, kNetEmissions}; // (fuel model)
    int           lastmin = 0; // run minute last written (1-based); 0 = none yet
};

// The slot of the run minute that holds second t (trunc(t/60) + 1). Slots
// that this minute and any skipped minutes take over from minutes 2000 earlier
// are cleared first.
inline int netstats_slot(mod_netstats& ns, float t) {
    const int m = static_cast<int>(t / 60.0f) + 1;
    if (m > ns.lastmin) {
        const int first = std::max({ns.lastmin + 1, kNetMinutes + 1, m - kNetMinutes + 1});
        for (int mm = first; mm <= m; ++mm) {
            const int slot = (mm - 1) % kNetMinutes + 1;
            ns.vehkm(slot) = ns.vehmn(slot) = ns.vehde(slot) = ns.vehst(slot) = 0.0f;
            for (int k = 1; k <= kNetEmissions; ++k) ns.vehemis(slot, k) = 0.0f;
        }
        ns.lastmin = m;
    }
    return (m - 1) % kNetMinutes + 1;
}

} // namespace velm
