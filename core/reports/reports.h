#pragma once
// Entry header of statistics and reports: the routines other subsystems call.
#include "core/model/sim.h"

namespace velm {

// Crash-rate parameters ("accirate.dat" or the defaults).
void readacci(Sim& s);
// Subnetwork trace links and their output "subnet.out".
void rdsubnet(Sim& s, int mlnum);
// Routing-tree listing of class vt on unit funit at second t: flag 1 the
// class's current trees (five blocks), 2 its first stored tree, 3 the distance
// trees. nvt > 0 (the number of classes listed together) writes the block
// line, and at t = 0 the file heading; ddd < 1 at t = 0 lists no trees.
void pminpath(Sim& s, int funit, int t, int vt, int nvt, int ddd, int flag);
// Time-space records: flag 1 opens slot 30, flag 2 writes a second's records.
void vehpos7(Sim& s, int t, int flag);

// --- called by the time loop and the end of run ------------------------------
// Trip-distance ring.
void dis_rep(Sim& s, int t10);
// Crash exposure (each second).
void updtacci(Sim& s);
// Time-to-collision statistics of every vehicle (mode 1 constant speeds, 2
// with the accelerations).
void comp_tcol(Sim& s, int mode);
// Processor time of the simulated minute.
void cputime(Sim& s, int t10);
// Vehicle counts of the simulated minute.
void arrival(Sim& s, int t10, int tdep, int totin, int tenr, int tarr);
// System link times.
void systimer(Sim& s);
// Level-of-service summary (summary output).
void lossum(Sim& s, int pd_ot1);
// Link flow and time listing (slot 12).
void pflow(Sim& s, int t, int pd_ot2);
// Turning-movement listing (slot 25).
void pturn(Sim& s, int t, int pd_ot2);
// Link summary.
void linksum(Sim& s);
// Trip summary.
void tripsum(Sim& s, int t);
// Incident summary.
void incsum(Sim& s);
// Global summary.
void globsum(Sim& s);
// Link flows and travel times of the block at second t covering ddd s on unit
// funit: flag 0 the run's measured values, 1 the assignment's of the slice.
void linktime(Sim& s, int funit, int t, int ddd, int flag);
// Turning movements of the run.
void turnsum(Sim& s, int t, int mlnum);
// Subnetwork crossing record of trip car (origin o, scheduled departure s,
// destination d) leaving link l at second t, when l is marked.
void wrsubnet(Sim& s, int t, int car, int o, int departure, int d, int l);

} // namespace velm
