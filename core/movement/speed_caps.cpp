// The strategy cap chain. Its order is fixed: connected-vehicle harmonisation,
// highway harmonisation, platooning, detector-based harmonisation, eco-driving
// at signals, eco speed advice, eco cruise control, learned weaving
// harmonisation, intersection advisories, and last the class's maximum speed.
// Each strategy adds its own step at its place when it is built; the class cap
// acts in every run.
#include "core/movement/speed_caps.h"

#include <algorithm>

namespace velm {

void strategy_caps_link(Sim& /*s*/, int /*l*/, LinkStrategies& ls) {
    ls = LinkStrategies{};
}

float strategy_caps(Sim& s, const LinkStrategies& /*ls*/, int /*l*/, int car, int /*vid*/,
                    float /*s0*/, float u, int /*t10*/) {
    const int vt = s.oddat.vtyp(car);
    if (vt >= 1 && vt <= kClasses) u = std::min(u, static_cast<float>(s.mxvehspd.mspvh(vt)));
    return u;
}

} // namespace velm
