// Entries declared for callers whose own routines are not built yet. Each
// body is replaced by the real routine in its topic file.
#include "core/movement/movement.h"

namespace velm {

void rddetloc(Sim&) {}
void rdwvedat(Sim&) {}
void incid(Sim&) {}
void detreset(Sim&, int) {}

void moveveh(Sim&, int, int) {}
void enternet(Sim&, int, int) {}
void vehpos2(Sim&, int) {}
void vehpos5(Sim&, int) {}
void vehpos1(Sim&, int) {}
void det_sum(Sim&, int) {}
void detreport(Sim&, int) {}
void qtime(Sim&) {}
void decdept(Sim&, int, int&, int) {}
void resetflow(Sim&) {}
void pincident(Sim&) {}

} // namespace velm
