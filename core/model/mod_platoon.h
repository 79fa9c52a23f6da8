#pragma once
// Cooperative platooning: on/off switch set by its reader, and how far a
// platoon may run above the link's free speed.
namespace velm {

struct mod_platoon {
    int   platoon_activation_flag = 0; // 1: cooperative platooning is on
    float epsilon_factor = 0.0f;       // allowed excess over the free speed, a fraction
};

} // namespace velm
