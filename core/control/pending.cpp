// Entries declared for callers whose own routines are not built yet. Each
// body is replaced by the real routine in its topic file.
#include "core/control/control.h"

namespace velm {

void rd_nbsig(Sim&) {}
void rd_divc(Sim&) {}

void fun_nbsig(Sim&, int) {}
void fun_divc(Sim&, int) {}

} // namespace velm
