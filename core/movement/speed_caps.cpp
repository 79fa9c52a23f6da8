// The strategy cap chain. Its order is fixed: connected-vehicle harmonisation,
// highway harmonisation, platooning, detector-based harmonisation, eco-driving
// at signals, eco speed advice, eco cruise control, learned weaving
// harmonisation, intersection advisories, and last the class's maximum speed.
// Each strategy adds its own step at its place when it is built; the class cap
// acts in every run.
#include "core/movement/speed_caps.h"

#include "core/control/harmonisation.h"

#include <algorithm>

namespace velm {

void strategy_caps_link(Sim& s, int l, LinkStrategies& ls) {
    ls = LinkStrategies{};
    const auto& h = s.highway_spdharm;
    if (h.highway_spdharm_activation_flag == 1)
        ls.harmonised = val_in_vect(l, h.it_links_for_sph, h.it_len) == 1;
    if (s.spdharmhw.active_spdharmhw == 1) ls.cv_pair = spdharmhw_link_tick(s, l);
}

float strategy_caps(Sim& s, const LinkStrategies& ls, int l, int car, int vid, float /*s0*/,
                    float u, int /*t10*/) {
    const int   vt = s.oddat.vtyp(car);
    const float d = s.vehplot.dis(vid, 1);
    // The connected-vehicle command replaces u, upward too.
    if (ls.cv_pair != 0) u = fun_spdharmhw(s, ls.cv_pair, l, u, d, vt);
    if (ls.harmonised) u = highway_cap(s, l, vt, d, u);
    if (vt >= 1 && vt <= kClasses) u = std::min(u, static_cast<float>(s.mxvehspd.mspvh(vt)));
    return u;
}

} // namespace velm
