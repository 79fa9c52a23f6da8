#pragma once
// Position update (vehpos2, declared in movement.h): vehicles advance by the
// distance their speed covers in one tick, never past the link end; from the
// new positions follow the expected exit times, the upstream-end state of every
// lane, the distances travelled and the network totals per minute.
#include "core/model/sim.h"

namespace velm {

inline constexpr float kVirtualReach = 1000.0f; // m: furthest a lane's last exit is carried on

} // namespace velm
