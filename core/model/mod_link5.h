#pragma once
// Link names, car-following spacings, turn permissions and turn counts.
#include "core/model/array.h"
#include "core/model/limits.h"
#include "core/model/mod_filenam.h"

namespace velm {

inline constexpr int kLinkNameWidth = 40; // characters of a link name

struct mod_link5 {
    Texts<kMaxLinks> linkname; // text after the record's numbers, no trailing blanks
    Array2<float>    minhd{"minhd", kMaxLinks, 4}; // spacings m: jam, behind last, at capacity, jam
    Array2<int>      turnper{"turnper", kMaxLinks, 3}; // lanes allowing left, through, right
    Array2<int>      lanper{"lanper", kMaxLanes, 4}; // per network lane: permissions, striping code
    // Per network lane, its head vehicle near the link end: (1) expected arrival
    // at the end, 0.1 s (864000 none); (2) heading of its next link, degrees
    // (999 unknown or trip ends here, 0 none).
    Array2<int> trnlan{"trnlan", kMaxLanes, 2};
    // (l, d, c, k): turn direction d (1 left, 2 through, 3 right, 4 all), class c;
    // k = 1 count, 2 time sum 0.1 s, 3 smoothed link time 0.1 s, 4 share %, 5 run count.
    Array4<int> turncnt{"turncnt", kMaxLinks, 4, kClasses, 5};
    int         ng_flag = 0; // 6 when an earlier run's link flows and times (slot 6) were read

    mod_link5() { reset(); }
    void reset() {
        linkname.clear();
        minhd.zero();
    }
};

} // namespace velm
