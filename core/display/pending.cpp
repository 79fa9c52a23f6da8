// Entries declared for callers whose own routines are not built yet. Each
// body is replaced by the real routine in its topic file.
#include "core/display/display.h"

namespace velm {

void viewport(Sim&, int) {}
void plotnet(Sim&, int, int) {}
void setanim_spd(Sim&, int) {}

void prmpmet(Sim&) {}
void shw_veh(Sim&) {}
void chkanimspd(Sim&, int) {}
void pdetloc(Sim&) {}
void vehpos3(Sim&, int) {}
void checkkey(Sim&, int, int&, int) {}
void redraw_and_adjust(Sim&) {}
void psignal(Sim&, int) {}

} // namespace velm
