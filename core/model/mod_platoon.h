#pragma once
// Cooperative platooning: on/off switch set by its reader.
namespace velm {

struct mod_platoon {
    int platoon_activation_flag = 0; // 1: cooperative platooning is on
};

} // namespace velm
