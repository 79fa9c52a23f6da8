#pragma once
// Demand counters of each simulated minute, taken at the start of the minute,
// and the ring that keeps a per-minute series inside its 2000 slots: run
// minute m lives in slot ((m - 1) mod 2000) + 1, and a slot is cleared when a
// later minute takes it over, so a run longer than 2000 minutes keeps its
// latest 2000 minutes instead of writing past the table.
#include "core/model/array.h"

#include <algorithm>

namespace velm {

inline constexpr int kRecordedMinutes = 2000; // slots of a per-minute series

// The slot of run minute m (1-based) in a ring of kRecordedMinutes slots.
// `last` is the minute the series last wrote (0 none) and is advanced to m;
// clear(slot) runs for each slot that m or a skipped minute takes over from a
// minute 2000 earlier, before the slot is returned.
template <class Clear> int minute_ring_slot(int& last, int m, Clear&& clear) {
    if (m > last) {
        const int first = std::max({last + 1, kRecordedMinutes + 1, m - kRecordedMinutes + 1});
        for (int mm = first; mm <= m; ++mm) clear((mm - 1) % kRecordedMinutes + 1);
        last = m;
    }
    return (std::max(m, 1) - 1) % kRecordedMinutes + 1;
}

struct mod_arrivals {
    Array1<int> cdept{"cdept", kRecordedMinutes}; // trips whose departure time had come
    Array1<int> cdefr{"cdefr", kRecordedMinutes}; // trips waiting at their origins
    Array1<int> cenrt{"cenrt", kRecordedMinutes}; // vehicles on the network
    Array1<int> carri{"carri", kRecordedMinutes}; // trips completed
    int         lastmin = 0;                      // run minute last written; 0 none
    int         lastcpu = 0;                      // the same for the processor-time series
};

} // namespace velm
