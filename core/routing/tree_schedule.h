#pragma once
// What the tree schedule and path stepping share about a class's routing:
// whether it follows the external trees, and its eco-routing costs.
#include "core/model/sim.h"

namespace velm::routing {

// Routing methods whose stored trees come from the external tree files.
inline constexpr int kExternalSlot8Method = 6;
inline constexpr int kExternalSlot9Method = 7;
// The forward-tree method on perceived eco costs (its clock starts at 0).
inline constexpr int kEcoForwardMethod = 10;

// True when class vt follows external trees that were loaded: method 6 with
// slot 8 loaded, or method 7 with slot 9 loaded. A class of any other method
// keeps its own trees whatever the slots hold.
bool external_paths(const Sim& s, int vt);

// Measured eco costs of class vt where the class measures the link, free-flow
// fuel elsewhere: an eco cost vector never mixes seconds into its fuel costs.
void eco_costs(Sim& s, int vt, Array1<float>& cost);

} // namespace velm::routing
