#pragma once
// Eco speed advice through one or two downstream signals: which classes take
// part on which links, the signals ahead of each link, the queue history per
// link and cycle second, and the advised speed and queue view of each trip.
#include "core/model/array.h"
#include "core/model/limits.h"
#include "core/model/mod_ecodrive.h"

namespace velm {

inline constexpr int kEcmsSignals = 5;        // signals one record may list
inline constexpr int kEcmsSignalSlots = 10;   // lnk_down(l, 1..10, .)
inline constexpr int kEcmsCycleSeconds = 300; // queue history: seconds of a cycle
inline constexpr int kEcmsOneSignalProfiles = 300;
inline constexpr int kEcmsTwoSignalProfiles = 1600;

struct mod_ecms {
    int msfmt = 0; // 0 off; 1 arrival tests without queue; above 1 with queue
    // (l, vt) 1: class vt takes part on link l.
    Array2<int>   msflag{"msflag", kMaxLinks, kClasses};
    Array1<float> msdti{"msdti", kMaxLinks};   // from the link end to the first stop line, m
    Array1<float> msfreq{"msfreq", kMaxLinks}; // update interval, s
    Array1<int>   lnku{"lnku", kMaxLinks};     // signals listed (-1 departure link)
    Array1<int>   lnk_up{"lnk_up", kMaxLinks}; // 1 one signal, 2 two or more, 0 departure
    // Per signal k ahead of link l: (1) signal, (2) and (3) as given, (4)
    // acceleration distance after it m, (5) distance from the first signal m.
    Array3<int> lnk_down{"lnk_down", kMaxLinks, kEcmsSignalSlots, 5};
    Array1<int> msdet{"msdet", kMaxLinks}; // detector station of the queue estimate
    // Smoothed queued vehicles per link and cycle second.
    Array2<float> hisque{"hisque", kMaxLinks, kEcmsCycleSeconds};
    // Per link: the whole second + 1 of its last history update (0 never).
    Array1<int>   hist_second{"hist_second", kMaxLinks};
    Array1<float> jsp{"jsp", kMaxLinks}; // m per queued vehicle
    Array1<float> hdw{"hdw", kMaxLinks}; // s of discharge per queued vehicle
    // Advised speed of trip car, km/h (3600: none).
    MarkedArray1<float> msspd{"msspd", kMaxTrips, kNoEcoAdvice};
    // Queue view of trip car: 0 none, 1 from the detector flow, 2 counted;
    // msque (1) vehicles, (2) length m, (3) discharge time s.
    Array1<int>   ecms_ctl{"ecms_ctl", kMaxTrips};
    Array2<float> msque{"msque", kMaxTrips, 3};
    // Work trajectories of the searches.
    Trajectory work;
};

} // namespace velm
