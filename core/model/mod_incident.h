#pragma once
// Incidents: per incident number k = 1..35 the link, time window and blocked
// section, and the blockage of each lane; per link the blockage state that
// vehicle movement keeps during the run.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kIncidentUnused = -1; // lninc of an incident number not used

struct mod_incident {
    int nminc = 0; // incident records in the file
    int mainc = 0; // highest incident number stored

    Array1<int> lninc{"lninc", kMaxIncidents}; // link; -1 = number not used
    Array1<int> stinc{"stinc", kMaxIncidents}; // start s
    Array1<int> eninc{"eninc", kMaxIncidents}; // end s
    Array1<int> tminc{"tminc", kMaxIncidents}; // duration s
    // Blocked section, km from the upstream end: (k, 1) start, (k, 2) end.
    Array2<float> inclng{"inclng", kMaxIncidents, 2};
    // Per lane j (1 = right-most): short layout the share b / lanes (> 0, the
    // same on every lane); long layout 0 open, -1 closed, -0.2 .. -0.9 partly.
    Array2<float> lane{"lane", kMaxIncidents, kMaxLinkLanes};
    Array1<int>   comblk{"comblk", kMaxLinks}; // complete-blockage flag of the link
    Array1<int>   inctim{"inctim", kMaxLinks}; // incident time of the link

    mod_incident() { reset(); }
    void reset() {
        nminc = mainc = 0;
        lninc.fill(kIncidentUnused);
        stinc.zero();
        eninc.zero();
        tminc.zero();
        inclng.zero();
        lane.zero();
        comblk.zero();
        inctim.zero();
    }
};

} // namespace velm
