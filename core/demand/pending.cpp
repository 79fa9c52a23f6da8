// Entries declared for callers whose own routines are not built yet. Each
// body is replaced by the real routine in its topic file.
#include "core/demand/demand.h"

namespace velm {

void rdtrpgen(Sim&) {}
void rdmodshf(Sim&) {}
void trp_gen(Sim&) {}
void trp_dis(Sim&) {}
void mod_shf(Sim&) {}
void peaksprd(Sim&) {}
void genfile4(Sim&) {}

} // namespace velm
