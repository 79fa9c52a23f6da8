#pragma once
// What entering a link means for a vehicle, from its origin or from the link
// upstream.
#include "core/model/sim.h"

namespace velm {

// Charges trip car (class vt) the toll in force on link l: the toll of its
// current link, its trip total and the toll a probe has not yet reported,
// and the link's period and run toll sums (hundredths).
void charge_link_toll(Sim& s, int car, int l, int vt);

} // namespace velm
