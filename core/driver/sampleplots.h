#pragma once
// The plotting routine of the graph facility: receives a graph's point
// series and texts and draws nothing (an observer may watch the hand-over).
#include "core/model/plot_observer.h"
#include "core/model/sim.h"

namespace velm {

void sampleplots(Sim& s, const PlotCall& call);

} // namespace velm
