// The routing trees of demand synthesis: one per time slice and class, on the
// earlier run's link times of that slice.
#include "core/routing/routing.h"
#include "route_fixture.h"

#include "support/text.h"
#include <gtest/gtest.h>

namespace velm {
namespace {

using testing_routing::RouteNet;

// Zones 1 and 2 either side of node 10; links 1 and 2 lead from 1 to 2,
// links 3 and 4 back.
const char* const kCorridor = R"(
node 1  0 0 1 -1
node 2  2 0 1 -2
node 10 1 0 4 0
link 1 1 10 5 0.5 0
link 2 10 2 5 0.5 0
link 3 2 10 5 0.5 0
link 4 10 1 5 0.5 0
)";

using support::count_of;

TEST(SliceTrees, EachSliceAndClassGetsItsOwnTimes) {
    for (const bool listed : {false, true}) {
        SCOPED_TRACE(listed ? "with the listing" : "without the listing");
        RouteNet n(kCorridor);
        auto&    s = n.s;
        s.landuse.ntrpslc = 3;
        s.errflg.errchk[28] = listed ? 1 : 0;
        // The earlier run's time of every link: 10 s per slice number plus the class.
        for (int l = 1; l <= 4; ++l)
            for (int vt = 1; vt <= kClasses; ++vt)
                for (int p = 1; p <= 4; ++p) s.feedback.histim(l, vt, p) = 10 * p + vt;
        slice_trees(s);
        for (int sl = 1; sl <= 3; ++sl)
            for (int vt = 1; vt <= kClasses; ++vt) {
                EXPECT_EQ(s.feedback.odtime(1, 2, vt, sl), 2 * (10 * sl + vt)) << sl << " " << vt;
                EXPECT_EQ(s.feedback.odtime(2, 1, vt, sl), 2 * (10 * sl + vt)) << sl << " " << vt;
            }
        // Slice 4 is not one of the run's: no tree on its times.
        EXPECT_EQ(s.feedback.odtime(1, 2, 1, 4), 0);
        EXPECT_EQ(count_of(n.log(), " odtime:"), listed ? 3 * kClasses : 0) << n.log();
    }
}

} // namespace
} // namespace velm
