#pragma once
// Pieces of the departure generation that tests look at on their own.
#include "core/model/sim.h"

namespace velm {

inline constexpr int kSingleSliceTime = 600; // s: up to this end time one merge slice
inline constexpr int kMergeSlices = 20;      // otherwise slices of 1/20 of it (plus one)

// The time slices of the departure merge for the latest record end time.
struct MergeSlices {
    int length; // s
    int count;
};
MergeSlices merge_slices(int max_od_time);

// The class of a trip of record n for the class draw v: the lowest class whose
// cumulative share exceeds v.
int class_for_draw(const Sim& s, int n, float v);

} // namespace velm
