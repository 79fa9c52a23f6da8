#pragma once
// Helpers of the path store shared by the routing files that write it or
// write listings next to it.
#include "core/model/sim.h"

#include <string>
#include <string_view>

namespace velm::routing {

// Spare entries reserved behind a traced path of n links: max(45, 1 + 0.1 n),
// the product in single precision.
int path_slack(int n);

// The first 60 characters of the name in master slot `slot`, without
// trailing blanks.
std::string slot_file(const Sim& s, int slot);

// True when a slot name leaves the file off ("NONE", "none" or no name).
bool slot_off(std::string_view name);

// The output directory (its recorded length) followed by the name.
std::string output_file(const Sim& s, std::string_view name);

} // namespace velm::routing
