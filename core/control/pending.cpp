// Entries declared for callers whose own routines are not built yet. Each
// body is replaced by the real routine in its topic file.
#include "core/control/control.h"

namespace velm {

void rdrmpmtr(Sim&) {}
void updatrmp(Sim&, int) {}
void rdshctl(Sim&) {}
void rd_shql(Sim&) {}
void rd_spdharmhw(Sim&) {}
void rd_divc(Sim&) {}
void init_highway_spdharm(Sim&) {}

void setrmpmet(Sim&, int) {}
void highway_spd_harm_run(Sim&, int) {}
void fun_divc(Sim&, int) {}
void rampflow(Sim&, int) {}
void comprmp1(Sim&, int) {}
void clean_highway_spd_harm(Sim&) {}

} // namespace velm
