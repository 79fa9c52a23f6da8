#pragma once
// Simulation clock and the run-wide settings and counters of the master file.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_control {
    int t10 = 0; // tick counter, tenths of a second since the start
    int t = 0;   // whole simulated second, t10 / 10
};

struct mod_set1 {
    int simtim1 = 0;  // horizon in seconds
    int simtim10 = 0; // horizon in ticks
    // Route-choice settings per class (master file).
    Array1<int>   tremet{"tremet", kClasses};
    Array2<int>   trefrq{"trefrq", kClasses, 6};
    Array1<float> trnd{"trnd", kClasses};
    // Run-wide vehicle counters.
    int tdep = 0;  // vehicles whose departure time has come
    int totin = 0; // vehicles deferred at their origin
    int tenr = 0;  // vehicles on the network
    int tarr = 0;  // vehicles arrived
    int tabnd = 0; // trips abandoned at their origin: no first link or no valid destination
    int tmisr = 0; // trips ended on a link whose next link was not a link (misrouted)
};

struct mod_set2 {
    int nvehtyp = kClasses; // number of vehicle classes
    // Departure list (departure generation, then vehicle movement).
    int nveh = 0;    // departures generated, then the number of trips
    int nondept = 0; // entries of the departure queue
    int tdemand = 0; // number of trips of the run
    int nxtcar = 0;  // departure-queue cursor
    // Node numbering extents (node file).
    int nnodes = 0;     // node records in the node file
    int mnodenum = 0;   // highest node number read
    int mzones = 0;     // highest zone node number (zones are nodes 1..mzones)
    int minorg = 99999; // lowest origin zone; 99999 while none was read
    int maxorg = 0;     // highest origin zone
    int mindst = 99999; // lowest destination zone; 99999 while none was read
    int maxdst = 0;     // highest destination zone
    int mmazon = 0;     // highest macro-zone number with a centroid
    // Display windows in km: 1 the network window, 2 the current view, 3 and 4 copies.
    Array1<float> xmin{"xmin", 4};
    Array1<float> xmax{"xmax", 4};
    Array1<float> ymin{"ymin", 4};
    Array1<float> ymax{"ymax", 4};
};

struct mod_rndnum {
    int seed[kRandomStreams + 1] = {}; // seed[1..6]: the six random streams
    int inseed = 0;                    // the master file's seed
};

struct mod_errflg {
    int errchk[kErrSwitches + 1] = {}; // errchk[1..50]: option switches of "err_chk.dat"
};

} // namespace velm
