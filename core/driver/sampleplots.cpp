#include "core/driver/sampleplots.h"

namespace velm {

void sampleplots(Sim& s, const PlotCall& call) {
    if (s.plots) s.plots->plot(call);
}

} // namespace velm
