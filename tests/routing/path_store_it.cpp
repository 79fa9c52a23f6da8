// The grid sample through the whole input phase: every trip has its complete
// path in the store before the time loop, along existing links and permitted
// movements, and the forecast listing is written.
#include "core/driver/input_phase.h"
#include "routing/paths_fixture.h"
#include "support/memory_run.h"
#include "support/samples.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <set>

namespace velm {
namespace {

using testing_routing::lines_of;

std::unique_ptr<Sim> grid_input_phase() {
    auto s = support::memory_sim();
    support::put_network(*s, std::filesystem::path(VELM_SOURCE_DIR) / "tests/data/paths/grid",
                         "grid.master");
    s->master.mastfile = "grid.master";
    EXPECT_TRUE(run_input_steps(*s, input_steps()));
    return s;
}

// Link b may follow link a: b leaves the node a ends at and the movement is
// one of a's permitted (positive) downstream connections.
bool movement_allowed(const Sim& s, int a, int b) {
    if (s.link1.tonode(a) != s.link1.frnode(b)) return false;
    for (int k = 1; k <= s.graph1.nlinot(a); ++k)
        if (s.graph1.linot(a, k) == b) return true;
    return false;
}

TEST(GridInputPhase, EveryTripHasItsWholePathBeforeTheLoop) {
    auto        sp = grid_input_phase();
    Sim&        s = *sp;
    const auto& st = s.vehtre;
    ASSERT_EQ(s.errcount.errt1, 0) << s.units.file_text("runerr.out");
    ASSERT_GT(s.set2.tdemand, 100);
    EXPECT_EQ(st.trecar, s.set2.tdemand);
    std::set<std::vector<int>> distinct;
    for (int n = 1; n <= s.set2.tdemand; ++n) {
        SCOPED_TRACE(n);
        const std::vector<int> path = testing_paths::stored_links(s, n);
        ASSERT_FALSE(path.empty());
        for (int l : path) ASSERT_TRUE(l >= 1 && l <= s.link2.mlnum && s.link4.llength(l) > 0.0f);
        EXPECT_EQ(s.link1.frnode(path.front()), s.vehicle.norig(n));
        EXPECT_EQ(s.link1.tonode(path.back()), s.vehicle.ndest(n));
        for (std::size_t i = 1; i < path.size(); ++i)
            EXPECT_TRUE(movement_allowed(s, path[i - 1], path[i]))
                << path[i - 1] << " -> " << path[i];
        // Every entry timed by the forecast, in order.
        for (int e = st.tre_ind(n, 1); e <= st.tre_ind(n, 2); ++e) {
            EXPECT_GE(st.vehtre(e, 2), 0);
            EXPECT_GT(st.vehtre(e, 3), st.vehtre(e, 2));
            if (e > st.tre_ind(n, 1)) {
                EXPECT_EQ(st.vehtre(e, 2), st.vehtre(e - 1, 3));
            }
        }
        if (s.vehicle.norig(n) == 1 && s.vehicle.ndest(n) == 4) distinct.insert(path);
    }
    // Class 1 routes with a perception error: its five stored trees spread the
    // trips of one origin and destination over more than one path.
    EXPECT_GT(distinct.size(), 1u);

    const auto listing = lines_of(s.units.file_text("output/forecast.out"));
    ASSERT_GT(listing.size(), 2u);
    EXPECT_EQ(listing[0], "Grid of nine intersections: path and forecast checks");
    EXPECT_EQ(s.pathnam.filuse[29], 1);
}

} // namespace
} // namespace velm
