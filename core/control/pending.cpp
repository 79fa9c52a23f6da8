// Entries declared for callers whose own routines are not built yet. Each
// body is replaced by the real routine in its topic file.
#include "core/control/control.h"

namespace velm {

void rd_nbsig(Sim&) {}

void fun_nbsig(Sim&, int) {}

} // namespace velm
