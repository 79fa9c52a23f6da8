// End to end: trips of the per-vehicle forward-tree methods and of the
// external paths through whole runs. On the two-route network an incident
// blocks the direct road from 300 s: method-3 trips leave it once its measured
// time has risen. Method 6 follows a two-period tree file link by link. The
// console program delivers every trip of methods 4, 7 and 10 on the grid.
#include "routing/two_routes_fixture.h"

#include "core/driver/input_phase.h"
#include "core/model/step_probe.h"
#include "support/memory_run.h"
#include "support/samples.h"
#include "support/temp_dir.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace velm {
namespace {

namespace fs = std::filesystem;
using testing_routing::RouteWatch;

constexpr int kDirect = testing_routing::kDirectRoad; // blocked 300..1200 s
constexpr int kIncidentStart = 300;

// 480 veh/h from zone 1 to zone 2 over 0..1300 s, all class 1.
const char* kDemand = "One class\n1  0  0  1.0\n"
                      "1  1  2  480.0  -1  0  1300  1.0 0 0 0 0  0  1\n";

// Route-choice lines of format code 3: method `method` for every class, tree
// interval `interval`, en-route period `enroute`, slot 7 ignored, free-flow
// time where a link is not measured, no perception error.
std::string route_lines(int method, int interval, int enroute) {
    auto row = [](int v) {
        std::string r;
        for (int vt = 1; vt <= kClasses; ++vt) r += std::to_string(v) + "  ";
        return r + "\n";
    };
    return row(method) + row(interval) + row(enroute) + row(1) + row(20) + row(2) + row(1) +
           "0.0  0.0  0.0  0.0  0.0\n";
}

TEST(ForwardPathsEndToEnd, MethodThreeLeavesTheBlockedRoadOnceItsTimesRise) {
    auto       sim = support::memory_sim();
    Sim&       s = *sim;
    RouteWatch watch(s);
    testing_routing::run_two_routes(
        s, watch, testing_routing::two_routes_master("Method 3", 3, route_lines(3, 60, 60)), "",
        kDemand, "");
    const std::string log = s.units.file_text("runerr.out");
    ASSERT_EQ(s.errcount.errt1, 0) << log;
    ASSERT_GT(watch.road.size(), 100u) << log;
    int before_direct = 0, before_detour = 0, during_direct = 0, during_detour = 0;
    for (const auto& [car, l] : watch.road) {
        const float dep = s.vehicle.strtrp(car, 1);
        if (dep < kIncidentStart - 60) (l == kDirect ? before_direct : before_detour) += 1;
        if (dep >= kIncidentStart + 180 && dep < 1100)
            (l == kDirect ? during_direct : during_detour) += 1;
    }
    EXPECT_GT(before_direct, 10);
    EXPECT_EQ(before_detour, 0) << "the direct road is shorter";
    EXPECT_GT(during_detour, 20);
    EXPECT_LT(during_direct, during_detour / 10) << "the measured queue sends trips round";
    EXPECT_EQ(log.find(" buildtree9: no tree to dest:"), std::string::npos) << log;
    std::printf("[ method 3 ] before: %d/%d direct/detour; during: %d/%d\n", before_direct,
                before_detour, during_direct, during_detour);
}

// The links each trip was seen on, in order.
class LinkTrace : public StepProbe {
  public:
    explicit LinkTrace(Sim& s) : s_(s) {}
    void step(std::string_view name) override {
        if (name != "moveveh") return;
        for (int l = 1; l <= s_.link2.mlnum; ++l)
            for (int i = 1; i <= s_.link2.ntqu(l); ++i) {
                auto& seen = links[s_.vehicle.big(s_.link2.nbqu(l) + i)];
                if (seen.empty() || seen.back() != l) seen.push_back(l);
            }
    }
    std::map<int, std::vector<int>> links;

  private:
    Sim& s_;
};

// One period of a slot-8 file for the two-route network: zone 1's trips to
// zone 2 over `route`.
std::string two_routes_period(int number, const std::vector<int>& route) {
    std::ostringstream t;
    t << " " << number << " 1\n 1 1.0\n 1 0 " << route.front() << "\n 2 0 0\n";
    for (int l = 1; l <= 8; ++l) {
        int next = 0;
        for (std::size_t i = 0; i < route.size(); ++i)
            if (route[i] == l) next = i + 1 < route.size() ? route[i + 1] : -1;
        t << " " << l << " 0 " << next << "\n";
    }
    return t.str();
}

TEST(ExternalPathsEndToEnd, EveryTripFollowsItsPeriodsPathLinkByLink) {
    const std::vector<int> direct{1, 2, 3}, detour{1, 4, 5, 3};
    auto                   sim = support::memory_sim();
    Sim&                   s = *sim;
    LinkTrace              trace(s);
    s.units.use_memory_files();
    s.units.set_console([](std::string_view) {});
    std::string master = testing_routing::two_routes_master("Method 6", 3, route_lines(6, 0, 0));
    const std::string slots = "none\nnone\nnone\nnone\nsummary.u10\n";
    master.replace(master.find(slots), slots.size(), "none\nnone\next8.dat\nnone\nsummary.u10\n");
    s.units.put_file("test.master", master);
    for (const char* f : {"nodes.dat", "signals.dat", "links.dat"})
        s.units.put_file(std::string("input/") + f, testing_routing::two_routes_file(f));
    s.units.put_file("input/demand.dat", kDemand);
    s.units.put_file("input/incidents.dat", "No incident\n0\n");
    s.units.put_file("input/ext8.dat", "Two periods of 600 s\n 2 600 2 2 2 8 8\n" +
                                           two_routes_period(1, direct) +
                                           two_routes_period(2, detour));
    s.master.mastfile = "test.master";
    s.probe = &trace;
    velmorantis(s, 1);
    const std::string log = s.units.file_text("runerr.out");
    ASSERT_EQ(s.errcount.errt1, 0) << log;
    ASSERT_EQ(s.errcount.numerr, 0) << log;
    int arrived = 0, checked = 0;
    for (int car = 1; car <= s.set2.tdemand; ++car) {
        const float dep = s.vehicle.strtrp(car, 1);
        if (dep < 0.0f || trace.links.count(car) == 0) continue; // not on the network yet
        const auto& want = static_cast<int>(dep) <= 600 ? direct : detour;
        const auto& seen = trace.links[car];
        ++checked;
        if (seen.size() == want.size()) ++arrived;
        ASSERT_TRUE(
            std::equal(seen.begin(), seen.end(), want.begin(),
                       want.begin() + static_cast<long>(std::min(seen.size(), want.size()))) &&
            seen.size() <= want.size())
            << "trip " << car << " departing at " << dep;
    }
    EXPECT_GT(checked, 100);
    EXPECT_GT(arrived, 100);
}

// After the input phase of the grid, the costs a method-10 trip searches on are
// fuel per traversal, positive on every link and longer links dearer: its
// trips are never routed on all-zero costs.
TEST(ForwardPathsEndToEnd, MethodTenSearchesOnFuelCostsOfEveryLink) {
    auto s = support::memory_sim();
    support::put_network(*s, fs::path(VELM_SOURCE_DIR) / "tests/data/paths/grid", "grid.master");
    s->master.mastfile = "grid.master";
    ASSERT_TRUE(run_input_steps(*s, input_steps())) << s->units.file_text("runerr.out");
    int connector = 0, street = 0;
    for (int l = 1; l <= s->link2.mlnum; ++l) {
        if (s->link4.llength(l) <= 0.0f) continue;
        EXPECT_GT(s->link1.frefuel(l), 0.0f) << "link " << l;
        (s->link4.llength(l) < 0.75f ? connector : street) = l;
    }
    ASSERT_GT(connector, 0);
    ASSERT_GT(street, 0);
    EXPECT_GT(s->link1.frefuel(street), s->link1.frefuel(connector)) << "1 km against 0.5 km";
}

// --- the console program on the grid of tests/data/paths -----------------------

int summary_figure(const std::string& log, const std::string& label) {
    const std::size_t at = log.find(label);
    if (at == std::string::npos) return -1;
    return std::atoi(log.c_str() + at + label.size());
}

// A slot-9 tree file for the grid: one period, one tree, each zone toward
// every other over the fewest links (no U-turns), read from its link file.
std::string grid_tree_file(const fs::path& links_file) {
    std::ifstream    in(links_file);
    std::string      line;
    std::vector<int> from(1), to(1);
    std::getline(in, line);
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::istringstream r(line);
        int                n = 0, a = 0, b = 0;
        if (!(r >> n >> a >> b)) continue;
        from.push_back(a);
        to.push_back(b);
    }
    const int        nl = static_cast<int>(from.size()) - 1;
    constexpr int    kZones = 4;
    std::vector<int> next(static_cast<std::size_t>((nl + 1) * (kZones + 1)), 0);
    auto             at = [&](int l, int z) -> int& {
        return next[static_cast<std::size_t>(l * (kZones + 1) + z)];
    };
    for (int z = 1; z <= kZones; ++z) {
        // Backward over links: a link into z ends the trip there.
        std::vector<int> dist(static_cast<std::size_t>(nl + 1), -1), frontier;
        for (int l = 1; l <= nl; ++l)
            if (to[static_cast<std::size_t>(l)] == z) {
                dist[static_cast<std::size_t>(l)] = 0;
                at(l, z) = -1;
                frontier.push_back(l);
            }
        for (std::size_t i = 0; i < frontier.size(); ++i) {
            const int n = frontier[i];
            for (int u = 1; u <= nl; ++u) {
                const auto ui = static_cast<std::size_t>(u), ni = static_cast<std::size_t>(n);
                if (dist[ui] >= 0 || to[ui] != from[ni] || from[ui] == to[ni]) continue;
                if (to[ui] <= kZones) continue; // never through a zone
                dist[ui] = dist[ni] + 1;
                at(u, z) = n;
                frontier.push_back(u);
            }
        }
    }
    std::ostringstream t;
    t << "Grid: fewest links\n 1 86400 4 4 4 " << nl << " " << nl << "\n 1 1\n 1 1.0\n";
    for (int o = 1; o <= kZones; ++o) {
        t << " " << o;
        for (int z = 1; z <= kZones; ++z) {
            int first = 0;
            for (int l = 1; l <= nl; ++l)
                if (from[static_cast<std::size_t>(l)] == o && z != o) first = l;
            t << " " << first;
        }
        t << "\n";
    }
    for (int l = 1; l <= nl; ++l) {
        t << " " << l;
        for (int z = 1; z <= kZones; ++z) t << " " << at(l, z);
        t << "\n";
    }
    return t.str();
}

TEST(ForwardPathsConsole, MethodsFourSevenAndTenDeliverEveryTrip) {
    const fs::path fixture = fs::path(VELM_SOURCE_DIR) / "tests/data/paths/grid";
    std::string    master = support::slurp(fixture / "grid.master");
    struct Case {
        const char* name;
        std::string route;
        bool        slot9;
    };
    const Case cases[] = {
        {"method 4: forecast times", route_lines(4, 0, 0), false},
        {"method 7: the trees of slot 9", route_lines(7, 0, 0), true},
        {"method 10: eco costs, re-routed every 60 s", route_lines(10, 60, 60), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        support::TempDir dir;
        const fs::path   work = dir.path();
        fs::copy(fixture, work, fs::copy_options::recursive);
        fs::create_directories(work / "output");
        // Format code 3 with the case's route-choice lines; a horizon that lets
        // the last trips (departing up to 600 s) arrive.
        std::istringstream in(master);
        std::ostringstream out;
        std::string        line;
        int                n = 0;
        int                slot = 0;
        while (std::getline(in, line)) {
            ++n;
            if (n == 2) {
                out << "1200.123  300  120  3  0\n" << c.route;
                continue;
            }
            if (n >= 3 && n <= 10) continue; // the fixture's route-choice lines
            if (n >= 13) ++slot;
            out << (slot == 9 && c.slot9 ? std::string("ext9.dat") : line) << "\n";
        }
        std::ofstream(work / "grid.master", std::ios::binary) << out.str();
        std::ofstream(work / "input" / "ext9.dat", std::ios::binary)
            << grid_tree_file(fixture / "input" / "links.dat");
        const int         status = support::run_console(work, "--master grid.master");
        const std::string log = support::slurp(work / "runerr.out");
        ASSERT_EQ(status, 0) << log;
        const int due = summary_figure(log, "    - Scheduled departures        : ");
        EXPECT_GT(due, 100) << log;
        EXPECT_EQ(summary_figure(log, "    - Total trips completed       : ") +
                      summary_figure(log, "    - Current vehicles en-route   : "),
                  due)
            << log;
        EXPECT_EQ(summary_figure(log, "    - Trips lost without a path   : "), 0) << log;
        EXPECT_EQ(summary_figure(log, "    - Number of errors found      : "), 0) << log;
        EXPECT_EQ(log.find(" buildtree9: no tree to dest:"), std::string::npos) << log;
    }
}

} // namespace
} // namespace velm
