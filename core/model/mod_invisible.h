#pragma once
// Vehicles due to depart but waiting at their origin zone to enter the
// network, per zone 1..410. The node reader zeroes the counters of its zones.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_invisible {
    Array1<int> ntinv{"ntinv", kMaxZones};       // vehicles now waiting to enter at the zone
    Array1<int> maxpark{"maxpark", kMaxZones};   // their maximum during the run
    Array1<int> tmaxpark{"tmaxpark", kMaxZones}; // time of that maximum, s
};

} // namespace velm
