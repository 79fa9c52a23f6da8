#pragma once
// Entry header of traffic control: the routines other subsystems call.
#include "core/model/sim.h"

namespace velm {

// Ramp-meter file of master slot 23.
void rdrmpmtr(Sim& s);
// Meter cycles from the current rates (flag 0: start, green 1.5 s).
void updatrmp(Sim& s, int flag);
// Optional detector-based speed harmonisation.
void rdshctl(Sim& s);
// Optional learned speed harmonisation.
void rd_shql(Sim& s);
// Optional queue-reward signal control.
void rd_nbsig(Sim& s);
// Optional connected-vehicle speed harmonisation.
void rd_spdharmhw(Sim& s);
// Optional distributed intersection control.
void rd_divc(Sim& s);
// Optional highway speed harmonisation "spd_highway.dat".
void init_highway_spdharm(Sim& s);
// External management programs and external signal control.
void chkatms(Sim& s);
// Optional scheduled link speed changes "spd_ctrl.dat".
void read_dyn_lnk_spd_ctrl(Sim& s);

// --- called by the time loop and the end of run ------------------------------
// Scheduled link free-speed changes that are due.
void sub_dyn_lnk_spd_ctrl(Sim& s);
// Ramp-meter indications of the tick.
void setrmpmet(Sim& s, int t10);
// Queue-reward signal control.
void fun_nbsig(Sim& s, int t10);
// Highway speed harmonisation.
void highway_spd_harm_run(Sim& s, int t10);
// Distributed intersection control.
void fun_divc(Sim& s, int t10);
// Signal states from the external program's files.
void prepsignal(Sim& s);
// Signal phases of the tick.
void setsignal1(Sim& s);
// Link indications from the signal phases.
void setsignal2(Sim& s);
// Decay of the flow statistics of signal optimisation.
void dynflow(Sim& s, int t10, int mlnum, int ndecay);
// Actuated signal control.
void sigact(Sim& s, int t);
// Online offset optimisation.
void offopt(Sim& s, int t10);
// Ramp-meter detector smoothing.
void rampflow(Sim& s, int t);
// Ramp-meter rate update.
void comprmp1(Sim& s, int t);
// Cycle-length and split optimisation.
void optsignal(Sim& s);
// Signal-timing history.
void sig_his(Sim& s, int t10);
// Signal-timing listing (slot 14).
void ptiming(Sim& s, int t, int pd_ot2, int np_ot2);
// End of highway speed harmonisation.
void clean_highway_spd_harm(Sim& s);

} // namespace velm
