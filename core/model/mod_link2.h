#pragma once
// Link count and extent, vehicle storage and the layout of the per-link
// vehicle lists, and the per-link vehicle counts the run keeps.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_link2 {
    int nlinks = 0; // link records in the link file
    int mlnum = 0;  // highest link number read
    int nlact = 0;  // links in the service order

    Array1<int> amaxq{"amaxq", kMaxLinks}; // vehicles the link can hold
    Array1<int> nbqu{"nbqu", kMaxLinks};   // offset of the link's block in the vehicle-list store
    Array1<int> cmaxq{"cmaxq", kMaxLinks}; // free entry space of the empty link, m
    Array1<int> ntqu{"ntqu", kMaxLinks};   // vehicles now on the link
    Array1<int> obsmaxq{"obsmaxq", kMaxLinks};  // most vehicles seen on the link
    Array1<int> rqs{"rqs", kMaxLinks};          // queued vehicles
    Array2<int> ttqu{"ttqu", kMaxLinks, 2};     // vehicle-seconds: run, output period
    Array2<int> totque{"totque", kMaxLinks, 2}; // queued vehicle-seconds: run, output period
    Array1<int> fvehlan{"fvehlan", kMaxLanes};  // head vehicle (trip) of a network lane; 0 = none

    mod_link2() { reset(); }
    void reset() {
        nlinks = 0;
        mlnum = 0;
        nlact = 0;
        amaxq.zero();
        nbqu.zero();
        cmaxq.zero();
        ntqu.zero();
        obsmaxq.zero();
    }
};

} // namespace velm
