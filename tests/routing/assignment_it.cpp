// End to end: one class routed by the assignment before the run over the
// two-route network, the direct road's capacity well below the demand.
//
// Master settings: format code 3, class 1 method 1 with a 600-s interval and
// no en-route checks (period 0), the other classes method 2 without trips;
// no perception error. 900 veh/h from zone 1 to zone 2 over the whole 1800-s
// run; the direct road (1.0 km) takes 400 veh/h, the detour (1.3 km) 1800.
#include "routing/two_routes_fixture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_routing::RouteWatch;

constexpr int kDirect = testing_routing::kDirectRoad;
constexpr int kDetour = testing_routing::kDetourRoad;
constexpr int kSlice = 600;
constexpr int kHorizon = 1800;

// Class 1 method 1 with a 600-s interval and en-route period 0; no perception error.
const char* kRoute = "1  2  2  2  2\n600  0  0  0  0\n0  0  0  0  0\n1  1  1  1  1\n"
                     "20  20  20  20  20\n2  2  2  2  2\n1  1  1  1  1\n0.0  0.0  0.0  0.0  0.0\n";

// The direct road with a saturation flow of 400 veh/h instead of 1800 (and
// 20 km/h at capacity instead of 40, which keeps its jam density within ten
// times the density at capacity).
std::string links_text() {
    std::string       links = testing_routing::two_routes_file("links.dat");
    const std::string road = "2  11 12  1.0   60  1800  1  0  40";
    const auto        at = links.find(road);
    if (at != std::string::npos)
        links.replace(at, road.size(), "2  11 12  1.0   60   400  1  0  20");
    return links;
}

const char* kDemand = "One class\n1  0  0  1.0\n"
                      "1  1  2  900.0  -1  0  1800  1 0 0 0 0  0  1\n";
const char* kNoIncidents = "No incidents\n0\n";

// The report's slice blocks from the line after "Assign at time" (which names
// the slice) to the closing line of equals signs.
std::vector<std::string> slice_blocks(const std::string& report) {
    std::vector<std::string> blocks;
    std::istringstream       in(report);
    std::string              line, block;
    bool                     inside = false;
    while (std::getline(in, line)) {
        if (line.rfind("  Assign at time = ", 0) == 0) {
            inside = true;
            block.clear();
            continue;
        }
        if (!inside) continue;
        block += line + "\n";
        if (line == " " + std::string(51, '=')) {
            blocks.push_back(block);
            inside = false;
        }
    }
    return blocks;
}

// Every slice has the same demand, so every slice's assignment is the same,
// and the flows left after the last one give each road's assigned share. A
// trip takes tree k when its own random number (uniform over 0..9999) falls
// in tree k's share of the cumulative weights; so the count of a slice's n
// trips on the direct road is binomial around n x p, with a standard
// deviation of sqrt(p (1 - p) / n) in the share: at most 0.041 for a slice's
// 150 trips and 0.024 for the 450 of the first 30 minutes. The run must stay
// within about 3.5 of them: 0.15 per slice, 0.08 over the run.
TEST(AssignmentEndToEnd, TripsSplitOverBothRoadsAsAssigned) {
    auto       sim = std::make_unique<Sim>();
    Sim&       s = *sim;
    RouteWatch watch(s);
    testing_routing::run_two_routes(
        s, watch, testing_routing::two_routes_master("Two routes, one assigned class", 3, kRoute),
        links_text(), kDemand, kNoIncidents);
    const std::string log = s.units.file_text("runerr.out");
    ASSERT_EQ(s.errcount.errt1, 0) << log;
    ASSERT_EQ(s.set1.tremet(1), 1);
    ASSERT_EQ(s.link1.spdvol(kDirect, 6), 400.0f) << "the direct road's capacity";

    const std::string report = s.units.file_text("output/assign.out");
    const auto        blocks = slice_blocks(report);
    ASSERT_EQ(blocks.size(), 3u) << report;
    EXPECT_EQ(blocks[1], blocks[0]);
    EXPECT_EQ(blocks[2], blocks[0]);

    const float direct = s.assigns.tflow(kDirect, 1), detour = s.assigns.tflow(kDetour, 1);
    ASSERT_NEAR(direct + detour, 900.0f, 0.1f);
    const float p = direct / (direct + detour);
    EXPECT_GT(p, 0.1f);
    EXPECT_LT(p, 0.9f);

    struct Count {
        int direct = 0, detour = 0;
        int n() const { return direct + detour; }
    };
    Count slices[kHorizon / kSlice], all;
    for (const auto& [car, l] : watch.road) {
        const float dep = s.vehicle.strtrp(car, 1);
        ASSERT_EQ(s.oddat.vtyp(car), 1) << car;
        const int k = dep < kSlice ? 0 : (static_cast<int>(dep) - 1) / kSlice; // (t1, t2]
        if (k >= kHorizon / kSlice) continue;
        (l == kDirect ? slices[k].direct : slices[k].detour) += 1;
        if (k < 2) (l == kDirect ? all.direct : all.detour) += 1;
    }
    for (int k = 0; k < kHorizon / kSlice; ++k) {
        SCOPED_TRACE(k);
        EXPECT_GT(slices[k].direct, 0);
        EXPECT_GT(slices[k].detour, 0);
        if (k < 2) {
            EXPECT_NEAR(static_cast<float>(slices[k].direct) / static_cast<float>(slices[k].n()), p,
                        0.15f);
        }
    }
    ASSERT_GT(all.n(), 250);
    EXPECT_NEAR(static_cast<float>(all.direct) / static_cast<float>(all.n()), p, 0.08f);
    std::printf("[ assign ] assigned direct share %.3f; trips direct/detour by slice %d/%d %d/%d "
                "%d/%d\n",
                p, slices[0].direct, slices[0].detour, slices[1].direct, slices[1].detour,
                slices[2].direct, slices[2].detour);
}

} // namespace
} // namespace velm
