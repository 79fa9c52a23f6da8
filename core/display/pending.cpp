// Entries declared for callers whose own routines are not built yet. Each
// body is replaced by the real routine in its topic file.
#include "core/display/display.h"

namespace velm {

void shw_veh(Sim&) {}

} // namespace velm
