#pragma once
// Zone-to-zone tables: departures, arrivals and trip times per origin zone,
// destination zone and class, shortest-path distances and assignment work tables.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_nodes {
    Array3<int>   dptrs{"dptrs", kMaxZones, kMaxZones, kClasses}; // vehicles departed
    Array3<int>   arvls{"arvls", kMaxZones, kMaxZones, kClasses}; // vehicles arrived
    Array3<float> trtim{"trtim", kMaxZones, kMaxZones, kClasses}; // summed trip times, s
    Array2<float> trp_dst{"trp_dst", kMaxZones, kMaxZones};       // shortest-path distance
    Array2<float> trvol{"trvol", kMaxZones, kMaxZones};           // zone-to-zone volume, veh/h
    Array4<float> tr_tim{"tr_tim", kMaxZones, kMaxZones, kStoredTrees,
                         2}; // trip time by stored tree
};

} // namespace velm
