#pragma once
// The order in which the link transfer serves the links each second.
#include "core/model/sim.h"

#include <array>

namespace velm {

// Eligible inbound links of one node, in service order.
using NodeChoice = std::array<int, kMaxNodeLinks + 1>; // entries 1..totpicks

// For node: the links into it whose head vehicle is due at the link end within
// 2 s of t, signal-controlled and uncontrolled links first, stop- and
// yield-sign links after, each group in a random order from stream 5 (one draw
// per eligible link).
void nodewght(Sim& s, int t, int node, NodeChoice& choice, int& totpicks);

} // namespace velm
