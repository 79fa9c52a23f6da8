#pragma once
// What a vehicle leaving a link adds to the link, turning, class, eco-cost and
// approach-flow statistics, in the three groups the link transfer runs: while
// the vehicle is still listed, right after its removal, and after the link's
// lane heads have been rebuilt.
#include "core/model/sim.h"

namespace velm {

// One vehicle leaving one link in the current tick.
struct LinkExit {
    int   l = 0;     // link left
    int   car = 0;   // trip
    int   vid = 0;   // its slot
    int   vt = 0;    // class
    int   k = 0;     // lane on l (1 = curb)
    int   lane = 0;  // network lane of lane k
    int   t = 0;     // whole second
    int   t10 = 0;   // tick
    float tr = 0.0f; // tick time, s
    float lt = 0.0f; // time spent on l, s
    float lf = 0.0f; // that time, at least the free-flow time, s
    int   w0 = 0;    // waiting start at the link end, s; 999999 never waited
    int   d = 2;     // movement: 1 left, 2 through (also at the trip's end), 3 right
};

// The detector marker pair of one vehicle leaving its link; it names no
// station at the start.
struct DetectorMarker {
    int flag1 = -1;
    int flag2 = 0;
};

// Fills the times of e from the trip's link entry time and the link's
// free-flow time.
void set_exit_times(const Sim& s, LinkExit& e);

// Counts, histories, exit times and link travel-time sums.
void exit_counts(Sim& s, const LinkExit& e);
// The link probe record, the per-link trip sums and the eco-routing costs.
void exit_trip_sums(Sim& s, const LinkExit& e);
// Stop-line approach flows, detectors up to the link end, the cyclic arrival
// profile, the upstream signal and the turning-movement statistics.
void exit_flows(Sim& s, const LinkExit& e, DetectorMarker& marker);

// Waiting weight of a vehicle in the approach flow (1..5, doubled at a signal
// whose cycle is shorter than its time since its projected arrival).
float approach_weight(const Sim& s, const LinkExit& e);
// Bin 1..30 of the cycle of c whole seconds for a projected arrival at pa s.
int cycle_bin(int c, int pa);

} // namespace velm
