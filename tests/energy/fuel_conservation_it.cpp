// What the per-second accounting adds up over a whole (shortened) sample run:
// the links' run totals, the trips' totals (arrived and en route) and the
// minute ring hold the same fuel and species, and the trips' energy is the
// links' energy.
#include "core/driver/driver.h"
#include "core/io/units.h"
#include "core/model/sim.h"
#include "support/samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace velm {
namespace {

namespace fs = std::filesystem;

constexpr int kSeconds = 300;

// The sample run in memory with its horizon cut to `seconds`.
std::unique_ptr<Sim> run_sample(const std::string& name, int seconds) {
    auto s = support::sample_sim(name, seconds);
    velmorantis(*s, 1);
    return s;
}

class Conservation : public ::testing::TestWithParam<const char*> {};

TEST_P(Conservation, LinksTripsAndMinutesAgree) {
    const auto s = run_sample(GetParam(), kSeconds);
    ASSERT_EQ(s->errcount.errt1, 0);
    for (int q = 1; q <= 7; ++q) {
        SCOPED_TRACE(q);
        double links = 0.0, trips = 0.0, minutes = 0.0;
        for (int l = 1; l <= s->link2.mlnum; ++l)
            links += q <= 6 ? s->link1.emis(l, q, 1) : s->kzcpxm_energy.eco_envir(l, 2);
        for (int n = 1; n <= s->set2.nveh; ++n) trips += s->vehicle.envt(n, q);
        if (q <= 6)
            for (int m = 1; m <= kNetMinutes; ++m) minutes += s->netstats.vehemis(m, q);
        else
            minutes = links;
        const double tol = 1e-4 * std::max(1.0, std::fabs(trips));
        EXPECT_NEAR(links, trips, tol);
        EXPECT_NEAR(minutes, trips, tol);
    }
    // Not vacuous: the run burnt fuel and gave off CO2.
    double fuel = 0.0, co2 = 0.0;
    for (int n = 1; n <= s->set2.nveh; ++n) {
        fuel += s->vehicle.envt(n, 1);
        co2 += s->vehicle.envt(n, 5);
    }
    EXPECT_GT(fuel, 0.0);
    EXPECT_GT(co2, 0.0);
}

// The corridor runs the regression model, the grid the power-based model.
INSTANTIATE_TEST_SUITE_P(Samples, Conservation, ::testing::Values("corridor", "grid"));

} // namespace
} // namespace velm
