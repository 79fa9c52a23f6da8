// What the per-second accounting adds up over a whole (shortened) sample run:
// the links' run totals, the trips' totals (arrived and en route) and the
// minute ring hold the same fuel and species, and the trips' energy is the
// links' energy.
#include "core/driver/driver.h"
#include "core/io/units.h"
#include "core/model/sim.h"

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

std::string slurp(const fs::path& p) {
    std::ifstream      in(p, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The sample's master file with its horizon cut to `seconds`.
std::unique_ptr<Sim> run_sample(const std::string& name, int seconds) {
    const fs::path     dir = fs::path(VELM_SOURCE_DIR) / "samples" / name;
    std::istringstream in(slurp(dir / (name + ".master")));
    std::string        master, line;
    for (int k = 1; std::getline(in, line); ++k) {
        if (k == 2)
            line = std::to_string(seconds) + line.substr(line.find_first_not_of("0123456789"));
        master += line + "\n";
    }
    auto s = std::make_unique<Sim>();
    s->units.use_memory_files();
    s->units.set_console([](std::string_view) {});
    s->platform.cpu_clock = [] { return 0L; };
    s->platform.sleep = [](int) {};
    s->platform.run_command = [](std::string_view) { return false; };
    s->units.put_file(name + ".master", master);
    for (const auto& f : fs::directory_iterator(dir / "input"))
        s->units.put_file("input/" + f.path().filename().string(), slurp(f.path()));
    s->master.mastfile = name + ".master";
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
