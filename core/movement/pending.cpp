// Entries declared for callers whose own routines are not built yet. Each
// body is replaced by the real routine in its topic file.
#include "core/movement/movement.h"

namespace velm {

void rddetloc(Sim&) {}
void detreset(Sim&, int) {}

void chkdetin(Sim&, int&, int&, int, float, float, float, int, int) {}
void det_sum(Sim&, int) {}
void detreport(Sim&, int) {}

} // namespace velm
