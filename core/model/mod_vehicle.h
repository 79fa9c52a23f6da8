#pragma once
// Per-trip schedule and statistics, per-vehicle movement state, the link
// vehicle lists and the departure queue. Trip car = 1..560000, network slot
// vid = 1..380000.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr float kNotDeparted = -2.0f;   // strtrp(car, 2) of a trip not yet departed
inline constexpr float kNoWallFound = 9999.0f; // carwal(vid, 8..11) while no wall lies ahead

struct mod_vehicle {
    // --- per trip ----------------------------------------------------------
    Array1<int> norig{"norig", kMaxTrips}; // origin zone node
    Array1<int> ndest{"ndest", kMaxTrips}; // destination zone node
    // s: scheduled departure, then the expected time of reaching the end of the
    // current link; -1 after arrival; dept(trips + 1) = 0 ends the list.
    Array1<float> dept{"dept", kMaxTrips};
    Array1<float> arrt{"arrt", kMaxTrips}; // s, entry into the current link; at the end arrival
    // (1) scheduled departure, -1 = no first link; (2) -2 not departed, -1
    // waiting at the origin, 604800 abandoned, else the entry time; (3) unused.
    Array2<float>    strtrp{"strtrp", kMaxTrips, 3};
    Array1<float>    pcu{"pcu", kMaxTrips};          // passenger-car equivalents
    RowArray2<float> stpdel{"stpdel", kMaxTrips, 4}; // s: stopped link/trip, delay link/trip
    RowArray2<float> vaccel{"vaccel", kMaxTrips, 2}; // acceleration-noise sums: link, trip
    Array2<float>    envt{"envt", kMaxTrips, 7};     // fuel l, HC CO NOx CO2 PM g, energy kW s
    Array1<int>      deplist{"deplist", kMaxTrips};  // departure queue, trip numbers

    // --- per network slot --------------------------------------------------
    // (1) next link, -99 unknown, -1 trip ends here; (2) its connection index;
    // (3) turn type; (4) link after next, 0 none; (5) its connection index.
    RowArray2<int> nxtlnk{"nxtlnk", kMaxVehicles, 5};
    Array2<int>    nxttrn{"nxttrn", kMaxVehicles, 2}; // turn types current->next, next->after
    Array2<int>    dstbeh{"dstbeh", kMaxVehicles, 2}; // nearest follower right (1), left (2)
    // s: (1) waiting at the link end since, 999999 none; (2) last time faster
    // than the waiting threshold; (4) gap-acceptance hold, 0.1 s.
    RowArray2<int>   wait{"wait", kMaxVehicles, 5};
    RowArray2<float> vacc{"vacc", kMaxVehicles, 2};      // m/s2: last step, smoothed
    Array1<float>    pspd{"pspd", kMaxVehicles};         // km/h of the lane chosen last
    Array1<int>      vehdiv{"vehdiv", kMaxVehicles};     // en-route path replacements
    RowArray2<float> carwal{"carwal", kMaxVehicles, 12}; // lane-choice results for the speed update
    Array3<float> envir{"envir", kMaxVehicles, 7, 2}; // (k, 1) rate last step, (k, 2) on the link

    // --- per link and link lists -------------------------------------------
    Array2<float> laccel{"laccel", kMaxLinks, 2}; // acceleration-noise sums of leaving vehicles
    Array1<int>   big{"big", kVehicleStore};      // link vehicle lists, front first
};

} // namespace velm
