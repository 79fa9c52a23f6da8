#pragma once
// The bus-stop file of master slot 22 (rdbusstp, declared in network.h).
#include "core/model/sim.h"

namespace velm {

inline constexpr int kBusStopSlot = 22;

} // namespace velm
