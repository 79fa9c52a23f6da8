#pragma once
// Lane choice and lane changing: every candidate lane is scored by the speed
// the vehicle could drive in it plus its preferences, the best lane is taken
// one lane at a time, and a change is accepted only when the safety and
// comfort rules allow it. The entries the lane-decision pass calls are
// declared in lane_decisions.h (lane_choice, lane_spacing_factor).
#include "core/movement/lane_decisions.h"

namespace velm {

// Current-lane bonus (km/h) of a vehicle at speed spd (km/h) with passenger-car
// weight pcu: min(absolute + relative x spd, cap) x sqrt(|pcu|).
float lane_inertia(const Sim& s, float spd, float pcu);

// The lane-bias index by link (mod_lanebias: bias_first, bias_next), built
// when the rule count changed since the last build.
void index_lane_bias(Sim& s);

} // namespace velm
