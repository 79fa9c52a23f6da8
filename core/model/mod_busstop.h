#pragma once
// Bus stops of the bus-stop file (master slot 22) and the dwell state of the
// vehicles that serve them.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kMaxBusStops = 400;   // stop numbers 1..400
inline constexpr int kMaxStopsPerLink = 5; // stops on one link
inline constexpr int kBusStopColumns = 7;  // busstp(j, 1..7)

struct mod_busstop {
    // Per stop j: (1) link, 0 = no stop; (2) position m from the link start;
    // (3) lane, model numbering (1 = curb); (4) mean dwell s; (5) coefficient
    // of variation of the dwell x 1000; (6) five-digit serving class code;
    // (7) stop length m.
    Array2<int> busstp{"busstp", kMaxBusStops, kBusStopColumns};
    // Per stop and class: above 0 = the class serves the stop.
    Array2<int> bustyp{"bustyp", kMaxBusStops, kClasses};
    Array1<int> tbstpln{"tbstpln", kMaxLinks};                 // stops on the link
    Array2<int> buslin{"buslin", kMaxLinks, kMaxStopsPerLink}; // their numbers, ascending
    int         tbusstp = 0;                                   // stop records read
    int         mbusstp = 0; // highest stop number in force; 0 = none
    // s: arrival time of the vehicle in slot vid at its current stop; 999999
    // (kNotWaiting) = none.
    Array1<int> buswait{"buswait", kMaxVehicles};

    // No stop in force (the dwell states belong to the vehicles and stay).
    void clear_stops() {
        tbusstp = 0;
        mbusstp = 0;
        busstp.zero();
        bustyp.zero();
        tbstpln.zero();
        buslin.zero();
    }
};

} // namespace velm
