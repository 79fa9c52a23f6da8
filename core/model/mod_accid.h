#pragma once
// Crash-risk exposure of each trip and each link in six categories (crashes, injury, fatal,
// no, minor and moderate damage).
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kCrashCategories = 6;
inline constexpr int kBaseRateRows = 5, kBaseRateCols = 8;       // baseacci
inline constexpr int kGadgetRows = 16, kGadgetCols = 9;          // gadfact
inline constexpr int kGadgetGroupRows = 5, kGadgetGroupCols = 2; // accigrp

struct mod_accid {
    // (car, 1, c) on the current link, restarted at each link exit; (car, 2, c)
    // over the trip; (car, 3, c) the latest rate.
    Array3<float> vehacc{"vehacc", kMaxTrips, 3, kCrashCategories};
    // Per link: (l, 1, c) exposure of the current report period, (l, 2, c) of the run.
    Array3<float> linkacc{"linkacc", kMaxLinks, 2, kCrashCategories};
    // The tables of "accirate.dat" (or their defaults); kept for the run's
    // record, no figure reads them.
    Array2<float> baseacci{"baseacci", kBaseRateRows, kBaseRateCols};
    Array2<float> gadfact{"gadfact", kGadgetRows, kGadgetCols};
    Array2<int>   accigrp{"accigrp", kGadgetGroupRows, kGadgetGroupCols};
};

} // namespace velm
