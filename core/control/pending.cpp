// Entries declared for callers whose own routines are not built yet. Each
// body is replaced by the real routine in its topic file.
#include "core/control/control.h"

namespace velm {

void rdrmpmtr(Sim&) {}
void updatrmp(Sim&, int) {}
void rdshctl(Sim&) {}
void rd_shql(Sim&) {}
void rd_nbsig(Sim&) {}
void rd_divc(Sim&) {}
void chkatms(Sim&) {}
void read_dyn_lnk_spd_ctrl(Sim&) {}

void sub_dyn_lnk_spd_ctrl(Sim&) {}
void setrmpmet(Sim&, int) {}
void fun_nbsig(Sim&, int) {}
void fun_divc(Sim&, int) {}
void prepsignal(Sim&) {}
void dynflow(Sim&, int, int, int) {}
void sigact(Sim&, int) {}
void offopt(Sim&, int) {}
void rampflow(Sim&, int) {}
void comprmp1(Sim&, int) {}
void optsignal(Sim&) {}
void sig_his(Sim&, int) {}
void ptiming(Sim&, int, int, int) {}

} // namespace velm
