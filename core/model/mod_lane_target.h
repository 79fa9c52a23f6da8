#pragma once
// Lane targeting: the switch its reader sets.
namespace velm {

struct mod_lane_target {
    int lane_tar_enbld = 0; // 1: lane targeting is on
};

} // namespace velm
