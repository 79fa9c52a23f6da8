#pragma once
// Helpers of the path store shared by the routing files that write it or
// write listings next to it.
#include "core/model/sim.h"

#include <string>
#include <string_view>

namespace velm::routing {

// Room for a replacement path behind a traced path of n links: max(45, 1 +
// 0.1 n) entries, the product in single precision.
int path_slack(int n);

// Spare entries a block holds behind a path of n links, so that a replacement
// a little longer than the path stays in place: 1 + n / 16, within the room.
int path_margin(int n);

// Makes the block of traced trip `car` hold entries up to `last` (an entry
// of its block's numbering before the call): a block too short moves to the
// end of the store, with its path and forecast times, and the trip's entry
// numbers move with it. False, with nothing changed, when the store has no
// room left for it.
bool hold_entries(Sim& s, int car, int last);

// The first 60 characters of the name in master slot `slot`, without
// trailing blanks.
std::string slot_file(const Sim& s, int slot);

// True when a slot name leaves the file off ("NONE", "none" or no name).
bool slot_off(std::string_view name);

// The output directory (its recorded length) followed by the name.
std::string output_file(const Sim& s, std::string_view name);

} // namespace velm::routing
