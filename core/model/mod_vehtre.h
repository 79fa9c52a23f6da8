#pragma once
// The path store: every traced trip owns one contiguous block of entries that
// holds its links in order. A trip has room for a replacement path reaching a
// few dozen entries past its traced path, but its block holds only the path
// and a small margin: a replacement that outgrows the block moves the trip to
// a new block at the end of the store (the old one is left unused). Blocks are
// handed out in tracing order and never freed until the store is cleared.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <vector>

namespace velm {

inline constexpr int kMaxPathEntries = 39000000; // entries of the whole store
inline constexpr int kMaxPathLinks = kMaxLinks;  // links of one path
// The last start of a block that still leaves room for one longest path.
inline constexpr int kLastBlockStart = kMaxPathEntries - kMaxPathLinks - 1;
inline constexpr int kMinPathSlack = 45; // room past a traced path for a longer one, at least

struct mod_vehtre {
    // (e, 1) link of entry e, 0 = cleared; (e, 2) forecast time of entering the
    // link and (e, 3) of leaving it, tenths of a second (-1: the forecast did
    // not reach the entry).
    Array2<int> vehtre{"vehtre", kMaxPathEntries, 3};
    // Per trip: (1) first entry of its block, 0 = not traced; (2) last entry of
    // the current path; (3) last entry a replacement path may reach (its room);
    // (4) position of the current link in the block, counted from 1 (set by
    // vehicle movement); (5) last entry the block holds, at most (3).
    Array2<int> tre_ind{"tre_ind", kMaxTrips, 5};
    // (k, 1) trip of the k-th traced trip; (car, 2) position k of trip car.
    Array2<int> trelst{"trelst", kMaxTrips, 2};
    int         trecar = 0; // traced trips
    int         nxtfre = 1; // next free entry
    // Highest entry handed out since the store was last cleared: clearing
    // touches only entries below it (the table starts zeroed).
    int used = 0;

    // Scratch of path stepping and path replacement, so that the per-second
    // diversion check allocates nothing: two path buffers and a visit mark per
    // link (a link is visited on the current walk when visit(l) == walk).
    std::vector<int> path = std::vector<int>(kMaxPathLinks);
    std::vector<int> path2 = std::vector<int>(kMaxPathLinks);
    std::vector<int> path3 = std::vector<int>(kMaxPathLinks);
    std::vector<int> visit = std::vector<int>(kMaxLinks + 1);
    int              walk = 0;
};

} // namespace velm
