// Entries declared for callers whose own routines are not built yet. Each
// body is replaced by the real routine in its topic file.
#include "core/routing/routing.h"

namespace velm {

void val_time(Sim&, int) {}

void slice_trees(Sim&) {}
void tr_tree(Sim&, int, int, int) {}
void read_f(Sim&, int) {}
void preassign(Sim&) {}
void forecast(Sim&) {}
void pforecast(Sim&, int, int) {}
void adjust(Sim&, int) {}

void uptimhis(Sim&, int) {}
void rebuild_trees(Sim&) {}
void chk_enrt(Sim&, int) {}

} // namespace velm
