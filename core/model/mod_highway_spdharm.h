#pragma once
// Highway speed harmonisation: the switch its set-up sets.
namespace velm {

struct mod_highway_spdharm {
    int highway_spdharm_activation_flag = 0; // 1: runs each tick
};

} // namespace velm
