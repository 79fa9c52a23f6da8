#pragma once
// Lane-bias rules of "lanebias.dat": on a link, for chosen classes, weight the
// lane choice for or against chosen lanes while a trigger link lies within a
// given distance ahead on the vehicle's path. Rule i = 1..nlanebias.
#include "core/model/array.h"
#include "core/model/limits.h"
#include "core/model/mod_vehtre.h" // path length

namespace velm {

inline constexpr int kMaxLaneBiasRules = kMaxLinks; // rules of one file

struct mod_lanebias {
    int nlanebias = 0; // rules read; 0 without the file
    // (i, 1) link the rule acts on, (i, 2) trigger link, (i, 3) trigger distance m.
    Array2<int>   lanebias{"lanebias", kMaxLaneBiasRules, 3};
    Array2<int>   bias_lan{"bias_lan", kMaxLaneBiasRules, kMaxLinkLanes}; // 1 = lane k affected
    Array2<int>   bias_vt{"bias_vt", kMaxLaneBiasRules, kClasses}; // above 0 = class affected
    Array1<float> biaswgt{"biaswgt", kMaxLaneBiasRules};           // weight, above 0 and at most 10
    // Rules by link, built by the lane choice on first use: first rule of a
    // link and the next rule of the same link (0 = none); bias_indexed is the
    // rule count the index was built for (-1 = not built).
    Array1<int> bias_first{"bias_first", kMaxLinks};
    Array1<int> bias_next{"bias_next", kMaxLaneBiasRules};
    int         bias_indexed = -1;
    // Scratch of the lane choice: the remaining path (next link first) of the
    // vehicle whose rules are being tested, read once per vehicle.
    Array1<int> bias_path{"bias_path", 0, kMaxPathLinks - 1};

    void reset() {
        nlanebias = 0;
        lanebias.zero();
        bias_lan.zero();
        bias_vt.zero();
        biaswgt.zero();
        bias_indexed = -1;
    }
};

} // namespace velm
