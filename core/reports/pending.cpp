// Entries declared for callers whose own routines are not built yet. Each
// body is replaced by the real routine in its topic file.
#include "core/reports/reports.h"

namespace velm {

void rdsubnet(Sim&, int) {}
void pminpath(Sim&, int, int, int, int, int, int) {}
void vehpos7(Sim&, int, int) {}

void dis_rep(Sim&, int) {}
void comp_tcol(Sim&, int) {}
void cputime(Sim&, int) {}
void arrival(Sim&, int, int, int, int, int) {}
void systimer(Sim&) {}
void pflow(Sim&, int, int) {}
void pturn(Sim&, int, int) {}
void linktime(Sim&, int, int, int, int) {}
void turnsum(Sim&, int, int) {}
void wrsubnet(Sim&, int, int, int, int, int, int) {}

} // namespace velm
