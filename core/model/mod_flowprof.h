#pragma once
// Stop-line arrival profiles over the signal cycle and the signal upstream of
// each link, both counted as vehicles leave links.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kCycleBins = 30; // a cycle is profiled in thirtieths

struct mod_flowprof {
    // Per network lane and bin of the cycle: (., ., 3) arrivals of the current
    // cycle, 0.75 per vehicle; (., ., 1) the smoothed profile the offset
    // optimisation keeps; columns 2 and 4 carry nothing.
    Array3<float> cycflw{"cycflw", kMaxLanes, kCycleBins, 4};
    // Signal at the end of the link that the latest vehicle leaving link l came
    // from (the last signal it passed); 0 none yet.
    Array1<int> upssig{"upssig", kMaxLinks};
    // Performance index of each of the 30 offset shifts at the latest offset
    // evaluation, per approach link and per signal (the signal's total).
    // Written by the offset optimisation, read by the on-line offset graphs.
    Array2<float> cycpi{"cycpi", kMaxLinks, kCycleBins};
    Array2<float> sigpi{"sigpi", kMaxSignals, kCycleBins};
};

} // namespace velm
