#pragma once
// Level-of-service report groups ("lnklos.dat") and the per-link counts the
// report reads between two reports.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kMaxLosGroups = kMaxLinks;
inline constexpr int kMaxLosLinks = 20;     // links of a section or of one approach
inline constexpr int kMaxLosApproaches = 7; // approaches of an arterial group
inline constexpr int kLosFreeway = 1;       // a freeway section of links
inline constexpr int kLosArterial = 2;      // an arterial group of approaches

struct mod_los {
    int           nlos = 0;                            // groups 1..nlos are reported
    Array1<int>   lostyp{"lostyp", kMaxLosGroups};     // 1 freeway, 2 arterial, else not reported
    Array1<int>   n_los_lk{"n_los_lk", kMaxLosGroups}; // links (type 1) or approaches (others)
    Array2<int>   los_lk{"los_lk", kMaxLosGroups, kMaxLosLinks};    // links of a section
    Array2<int>   numlk{"numlk", kMaxLosGroups, kMaxLosApproaches}; // links of approach a
    Array3<int>   los_ap{"los_ap", kMaxLosGroups, kMaxLosApproaches, kMaxLosLinks}; // its links
    Array1<float> flow_los{"flow_los", kMaxLinks}; // vehicles that left the link since the report
    Array1<float> time_los{"time_los", kMaxLinks}; // s, sum of their link times
    // Per group, the report's notes already made of a group without links
    // (bit 0) or of approach a without links (bit a).
    Array1<int> empty_noted{"empty_noted", kMaxLosGroups};

    // No groups (the reader's start state).
    void reset_groups() {
        nlos = 0;
        lostyp.zero();
        n_los_lk.zero();
        los_lk.zero();
        numlk.zero();
        los_ap.zero();
        empty_noted.zero();
    }
};

} // namespace velm
