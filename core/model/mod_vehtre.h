#pragma once
// The path store: every traced trip owns one block of entries holding the
// links of its path in order, followed by spare entries for a longer
// replacement of its remainder. Blocks are handed out in tracing order and
// never freed.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kMaxPathEntries = 39000000; // entries of the whole store

struct mod_vehtre {
    // (e, 1) link of entry e, 0 = cleared; (e, 2), (e, 3) forecast times of
    // entering and leaving that link, 0.1 s.
    Array2<int> vehtre{"vehtre", kMaxPathEntries, 3};
    // Per trip: (1) first entry of its block, 0 = not traced; (2) last entry of
    // the current path; (3) last reserved entry; (4) position in the block of
    // the current link, 1 = the first link. The next link is
    // vehtre(tre_ind(car, 1) + tre_ind(car, 4), 1).
    Array2<int> tre_ind{"tre_ind", kMaxTrips, 4};
    // (k, 1) trip of the k-th traced trip; (car, 2) the position k of trip car.
    Array2<int> trelst{"trelst", kMaxTrips, 2};
    int         trecar = 0; // traced trips
    int         nxtfre = 1; // next free entry of vehtre
};

} // namespace velm
