#pragma once
// Tree choice of path stepping, shared by the path store and the routines that
// walk a trip's stored trees.
#include "core/model/sim.h"

namespace velm::routing {

// Stored tree of class vt taken by trip car: the lowest-numbered tree of the
// class whose cumulative weight exceeds vrnd(car) / 10000 (strictly), else
// the class's first tree; 0 for a class outside 1..5.
int stored_tree(const Sim& s, int car, int vt);

// Macro destination |macrzon(ndest(car))| of trip car; 0 when its
// destination is not a zone node.
int macro_destination(const Sim& s, int car);

} // namespace velm::routing
