#pragma once
// Lane targeting: the switch its reader sets.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_lane_target {
    int         lane_tar_enbld = 0;              // 1: lane targeting is on
    int         frequency_of_recommendation = 1; // ticks between lane-speed perceptions
    float       spd_cof_var = 0.0f; // coefficient of variation of the perceived lane speed
    float       cvs_wght = 0.0f;    // weight of the perceived lane speed in the lane score
    Array1<int> con_veh_class{"con_veh_class", kClasses}; // 1 = the class takes part
    Array1<int> ola_flag{"ola_flag", kMaxLinks};          // 1 = the link takes part
    Array1<int> acc_lanes{"acc_lanes", kMaxLanes}; // 1 = network lane is an acceleration lane
    // Per trip and lane: expected lane speed km/h and lane factor.
    Array2<float> lane_speed{"lane_speed", kMaxTrips, kMaxLinkLanes};
    Array2<float> ola_fr_factor{"ola_fr_factor", kMaxTrips, kMaxLinkLanes};
    // Per trip: (1) second of the last wished lane change, (2) its position on
    // the link then, m; network entry sets the entry time and 0.
    Array2<float> last_lane_change{"last_lane_change", kMaxTrips, 2};
};

} // namespace velm
