#pragma once
// Simulation clock and the run-wide settings and counters of the master file.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_control {
    int t10 = 0; // tick counter, tenths of a second since the start
    int t   = 0; // whole simulated second, t10 / 10
};

struct mod_set1 {
    int simtim1  = 0; // horizon in seconds
    int simtim10 = 0; // horizon in ticks
    // Route-choice settings per class (master file).
    Array1<int>   tremet{"tremet", kClasses};
    Array2<int>   trefrq{"trefrq", kClasses, 6};
    Array1<float> trnd{"trnd", kClasses};
    // Run-wide vehicle counters.
    int tdep  = 0; // vehicles whose departure time has come
    int totin = 0; // vehicles deferred at their origin
    int tenr  = 0; // vehicles on the network
    int tarr  = 0; // vehicles arrived
};

struct mod_set2 {
    int nvehtyp = kClasses; // number of vehicle classes
};

struct mod_rndnum {
    int seed[kRandomStreams + 1] = {}; // seed[1..6]: the six random streams
    int inseed                   = 0;  // the master file's seed
};

struct mod_errflg {
    int errchk[kErrSwitches + 1] = {}; // errchk[1..50]: option switches of "err_chk.dat"
};

} // namespace velm
