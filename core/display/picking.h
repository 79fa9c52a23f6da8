#pragma once
// Nearest-object picking and the reports of a picked object. Everything here
// runs on the host's window thread while the core is parked in its pause; the
// routines read the core's tables without a lock, and the signal report writes
// the state it works out into sigstat (the signal control rewrites it before
// it is next read).
#include "core/model/sim.h"

namespace velm {

// Kinds of near_obj.
enum PickKind : int {
    kPickLink = 1,
    kPickNode,
    kPickVehicle,
    kPickSignal,
    kPickStopSign,
    kPickYieldSign,
    kPickIncident,
    kPickDetector,
};

// The object of kind ind nearest the world point (x0, y0), km: its number in
// imin (-1 when the kind has no candidate) and the matched point in xmar,
// ymar (0, 0 when none). No distance limit; of equally near candidates the
// first walked (lowest number) wins.
void near_obj(const Sim& s, float x0, float y0, int ind, int& imin, float& xmar, float& ymar);

// Entry routines: the click's core pixel (y upward) to the world through
// window 1, the nearest object of the kind, then its report or the kind's
// no-object report. `found` receives the object number or -1.
void nearest_link(Sim& s, float xout, float yout, int& found);
void nearest_node(Sim& s, float xout, float yout, int& found);
void nearest_vehicle(Sim& s, float xout, float yout, int& found);
void nearest_signal(Sim& s, float xout, float yout, int& found);
void nearest_stop_sign(Sim& s, float xout, float yout, int& found);
void nearest_yield_sign(Sim& s, float xout, float yout, int& found);
void nearest_incident(Sim& s, float xout, float yout, int& found);
void nearest_loop_detector(Sim& s, float xout, float yout, int& found);

// ind1 = 1: link ind2 highlighted and reported; 2: node ind2 reported; any
// other ind1 does nothing.
void closlink_a(Sim& s, int ind1, int ind2);
// Trip `car` highlighted and reported; nothing when it is not in the network.
void vehpos4_a(Sim& s, int car);
// The state of signal isig worked out, stored in sigstat and reported.
void sig_sum_a(Sim& s, int isig);

// The report values without showing them (the report routines hand these on).
LinkReport    link_report(const Sim& s, int l);
NodeReport    node_report(const Sim& s, int z);
VehicleReport vehicle_report(const Sim& s, int car);
// Works out the signal's cycle position, phase and interval; writes sigstat
// unless the signal has no cycle in force (cycle <= 0).
SignalReport signal_state(Sim& s, int isig);

// flag2 = 1 and mindis = the distance when (xpos, ypos) lies nearer than
// mindis to (xcur, ycur) and within mindis along both axes; else flag2 = 0.
void checkpos(float xpos, float ypos, float xcur, float ycur, float& mindis, int& flag2);

// Text twins of the signal and vehicle reports, shown in the message box (no
// step of a run calls them).
void sig_sum(Sim& s, int isig);
void vehpos4(Sim& s, int car);

} // namespace velm
