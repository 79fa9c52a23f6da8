// Entries declared for callers whose own routines are not built yet. Each
// body is replaced by the real routine in its topic file.
#include "core/energy/energy.h"

namespace velm {

void platoon_activation(Sim&) {}
void init_platoon(Sim&) {}
void init_cd_platooning_data(Sim&) {}

void end_platoon(Sim&) {}

// Until platooning lands, no link is platooned and no platoon speed is given.
void link_tobe_platooned(Sim&, int, int& res) {
    res = 0;
}
void platooning_scenario(Sim&, int) {}
void given_platoon_find_max_vel_for_veh(Sim&, int, float& vmax, int, int& flag) {
    vmax = 0.0f;
    flag = 0;
}

} // namespace velm
