// The routing trees of demand synthesis: per time slice and class, a
// minimum-time tree on the earlier run's link times of that slice, which
// leaves the zone-to-zone times in odtime.
#include "core/routing/routing.h"

#include <algorithm>

namespace velm {

namespace {
constexpr int kOdTimeListing = 28; // option switch: odtime of every slice tree to the run log
} // namespace

void slice_trees(Sim& s) {
    auto&     survtim = s.delay.survtim;
    const int nslices = std::clamp(s.landuse.ntrpslc, 0, std::min(kMaxTripSlices, kOdSlices));
    for (int ntsl = 1; ntsl <= nslices; ++ntsl)
        for (int vt = 1; vt <= kClasses; ++vt) {
            get_his(s, vt, ntsl, survtim);
            buildtree(s, vt, survtim, 0.0f, ntsl, s.mainrun.mes);
            if (s.errflg.errchk[kOdTimeListing] == 1) sum_odtim(s, vt, ntsl);
        }
}

} // namespace velm
