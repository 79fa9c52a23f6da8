#pragma once
// The rest of the on-line graph facility: the network totals per simulated
// minute, one detector station, one ramp meter, one link's speed-flow
// relations, cyclic profiles, offset index and forecast, one signal's offset
// index, one trip's route; the display-window and special-keys listings and
// the trace line of the run log. They share the frame of the history graphs.
// No step of a run calls them; the answers to their prompts arrive as
// arguments and are checked here.
#include "core/model/sim.h"
#include "core/reports/history_graphs.h"

#include <span>

namespace velm {

inline constexpr int kKeyHelpLines = 1000;
inline constexpr int kKeyHelpWidth = 132;

// Network totals per simulated minute.
GraphResult cpugraph(Sim& s, int ind); // processor time; ind 1..3
GraphResult cumdept(Sim& s);           // cumulative departures and arrivals
GraphResult netload(Sim& s);           // vehicles en route and deferred departures
GraphResult cumstat(Sim& s, int ind);  // vehicle-km and vehicle-minutes; 1 cumulative, 2 per minute
GraphResult cumdel(Sim& s, int ind);   // delay and stops; as cumstat
GraphResult flt_fuel(Sim& s, int ind); // fuel; 1 l/h, 2 l/veh-km
GraphResult flt_emis(Sim& s, int ind); // HC, CO, NOx; 1 g/h, 2 g/veh-km

// One station's or one meter's last hour; ind 1..3.
GraphResult det_rep(Sim& s, int ind, int idet);
GraphResult rmp_rep(Sim& s, int ind, int irmp);

// Over the cycle of the signal at the link's end: per-lane arrival (ind 1) or
// discharge (2) profiles, and the performance index of the 30 offset shifts
// for the link and for a signal (isignal, when positive, replaces the link's).
GraphResult laneflow(Sim& s, int ind, int ilink);
GraphResult link_pi(Sim& s, int ilink);
GraphResult sig_pi(Sim& s, int isignal, int ilink);

// The link's steady-state speed, volume, density and headway relations; ind 1..5.
GraphResult plt_spdvol(Sim& s, int ind, int ilink);

// Cumulative time against distance along a traced trip's path: 1 the stored
// path, 2 and 3 the rest of it as path lookup returns it in modes 1 and 2.
GraphResult routtime(Sim& s, int ind, int car);

// The forecast of a link per forecast interval: flows (ind 1) or times (2),
// one graph per link answered until an answer outside the links (the prompt
// offers 0); returns the graphs shown.
int         for_flow(Sim& s, int ind, std::span<const int> ilinks);
GraphResult for_que(Sim& s, int ilink);

// Shows the extents of display window ind (1 the network, 2 the zoom window)
// in a message box; false for another ind.
bool lst_cor(Sim& s, int ind);
// Fills the kept special-keys help text (s.graphing.keyhelp); shows nothing.
void lst_keys(Sim& s);
// Writes a trace line of six integers on the run log when i and j reach the
// run's error-check levels.
void tracer(Sim& s, int i, int j, int k, int l, int m, int n);

} // namespace velm
