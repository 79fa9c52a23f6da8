#pragma once
// Per-link static attributes of the link file, the speed-flow constants
// derived from them, and the link statistics that the run accumulates.
// Row = link number 1..4487 unless said otherwise.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kSpdvolColumns = 11; // spdvol(l, 1..11)
inline constexpr int kOpposingLinks = 5;  // opslin(l, 1..5)
inline constexpr int kMinuteSlots = 60;   // rolling-hour histories, one slot per minute
inline constexpr int kEmisQuantities = 6; // fuel, then HC, CO, NOx, CO2, PM

struct mod_link1 {
    Array1<int> frnode{"frnode", kMaxLinks}; // upstream node
    Array1<int> tonode{"tonode", kMaxLinks}; // downstream node
    Array1<int> nulans{"nulans", kMaxLinks}; // lanes 1..7 (used as an absolute value)
    Array1<int> addlin{"addlin", kMaxLinks}; // -1: the extra lane is on the left; 1 otherwise
    Array1<int> zoncon{"zoncon", kMaxLinks}; // 1 = zone connector
    // (1..3) c1 km, c2 km*km/h, c3 h of h(u) = c1 + c2/(vf - u) + c3 u; (4) vc km/h;
    // (5) kj veh/km/lane; (6) qc veh/h/lane; (7) vf km/h; (8) length km; (9) jam
    // spacing m; (10) length in whole m; (11) spacing at capacity m.
    Array2<float> spdvol{"spdvol", kMaxLinks, kSpdvolColumns};
    Array1<int>   capin{"capin", kMaxLinks};                   // capacity headway, ms
    Array1<int>   capout{"capout", kMaxLinks};                 // capacity headway, ms
    Array2<int>   opslin{"opslin", kMaxLinks, kOpposingLinks}; // opposing links; 0 = none
    Array2<int>   opsgap{"opsgap", kMaxLinks, 2};    // (1) critical gap, (2) decay interval, 0.01 s
    Array2<int>   hov{"hov", kMaxLinks, kClasses};   // 1 = closed to the class
    Array2<int>   surv{"surv", kMaxLinks, kClasses}; // 1 = the class routes on measured time

    // Run statistics.
    Array1<int>   flow{"flow", kMaxLinks};     // vehicles that left the link
    Array1<int>   detout{"detout", kMaxLinks}; // vehicles that left the link
    Array1<int>   detin{"detin", kMaxLinks};   // vehicles that entered the link
    Array3<int>   detper{"detper", kMaxLinks, 6,
                       kClasses}; // per class: count, time 0.1 s, tolls (period, run)
    Array2<float> outflw{"outflw", kMaxLinks,
                         2};                  // smoothed entering (1) and leaving (2) flow, veh/h
    Array2<float> stop{"stop", kMaxLinks, 2}; // stop sums: run, output period
    Array2<float> stops{"stops", kMaxTrips,
                        2}; // per trip: stops over the trip, on the current link
    Array3<float> emis{"emis", kMaxLinks, kEmisQuantities, 3}; // run, period, smoothed
    Array1<float> frefuel{"frefuel", kMaxLinks};   // fuel of one traversal at free speed
    Array2<float> eco{"eco", kMaxLinks, kClasses}; // expected fuel or energy per class
    Array3<float> capred{"capred", kMaxLinks, kMaxLinkLanes, 2}; // incident factor per lane
    Array2<int>   incdist{"incdist", kMaxLanes, 2}; // blocked section of a network lane, m
    Array2<float> aprflw{"aprflw", kMaxLanes, 4};   // smoothed stop-line arrivals per phase slot

    // Rolling-hour histories, minute slot s = ((t div 60) mod 60) + 1; sized
    // for the run's links when the run starts.
    Array3<int> flowhis{"flowhis", kMaxLinks, kClasses, kMinuteSlots}; // vehicles that left
    Array4<int> timehis{"timehis", kMaxLinks, kClasses, kMinuteSlots,
                        2};                                // (.,.,.,1) link time 0.1 s
    Array2<int> denhis{"denhis", kMaxLinks, kMinuteSlots}; // veh/km/lane
    Array2<int> stphis{"stphis", kMaxLinks, kMinuteSlots}; // 100 x stops

    mod_link1() { reset(); }
    // The static columns of the link file, before reading it.
    void reset() {
        frnode.zero();
        tonode.zero();
        nulans.zero();
        addlin.zero();
        zoncon.zero();
        spdvol.zero();
        capin.zero();
        capout.zero();
        opslin.zero();
        opsgap.zero();
        hov.zero();
        surv.zero();
    }
};

} // namespace velm
