#pragma once
// Lane targeting: the switch its reader sets.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_lane_target {
    int lane_tar_enbld = 0; // 1: lane targeting is on
    // Per trip: (1) second of the last wished lane change, (2) its position on
    // the link then, m; network entry sets the entry time and 0.
    Array2<float> last_lane_change{"last_lane_change", kMaxTrips, 2};
};

} // namespace velm
