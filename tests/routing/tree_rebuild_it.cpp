// End to end: an incident blocks the direct road of a two-route network.
// Class 2 rebuilds its trees on measured link times and moves to the detour;
// class 1 keeps the trees it started with and stays in the queue.
//
// Master settings: format code (eqtr) 2, tree update intervals 0 60 0 0 0 and
// perception errors 0. Class 1 thus has interval 0 (method 2, no rebuilds, no
// en-route checks); class 2 has interval 60 (method 2, a stored tree renewed
// every 12 s, en-route period 60 s, free-flow time where a link is not
// measured). Every link measures every class (surveillance code 11111).
#include "routing/two_routes_fixture.h"

#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace velm {
namespace {

using testing_routing::RouteWatch;

constexpr int kDirect = testing_routing::kDirectRoad; // blocked 300..1200 s
constexpr int kDetour = testing_routing::kDetourRoad;
constexpr int kIncidentStart = 300;

// 480 veh/h from zone 1 to zone 2 over 0..1300 s, half class 1, half class 2.
const char* kDemand = "Two classes\n1  0  0  1.0\n"
                      "1  1  2  480.0  -1  0  1300  0.5 0.5 0 0 0  0  1\n";

struct Share {
    int direct = 0, detour = 0;
};

TEST(TreeRebuildEndToEnd, OnlyTheRebuildingClassLeavesTheBlockedRoad) {
    auto       sim = support::memory_sim();
    Sim&       s = *sim;
    RouteWatch watch(s);
    testing_routing::run_two_routes(
        s, watch,
        testing_routing::two_routes_master("Two routes and an incident", 2,
                                           "0  60  0  0  0\n0.0  0.0  0.0  0.0  0.0\n"),
        "", kDemand, "");
    const std::string log = s.units.file_text("runerr.out");
    ASSERT_EQ(s.errcount.errt1, 0) << log;
    ASSERT_GT(watch.road.size(), 100u) << log;

    // Before the incident, and once the class-2 trees have all been renewed on
    // the measured queue (the direct road is measured each minute).
    Share before[3], during[3];
    for (const auto& [car, l] : watch.road) {
        const int   vt = s.oddat.vtyp(car);
        const float dep = s.vehicle.strtrp(car, 1);
        ASSERT_TRUE(vt == 1 || vt == 2) << car;
        Share* sh = nullptr;
        if (dep < kIncidentStart - 60)
            sh = &before[vt];
        else if (dep >= kIncidentStart + 180 && dep < 1100)
            sh = &during[vt];
        if (sh) (l == kDirect ? sh->direct : sh->detour) += 1;
    }
    for (int vt = 1; vt <= 2; ++vt) {
        EXPECT_GT(before[vt].direct, 10) << "class " << vt;
        EXPECT_EQ(before[vt].detour, 0) << "class " << vt << ": the direct road is shorter";
    }
    EXPECT_GT(during[1].direct, 20);
    EXPECT_EQ(during[1].detour, 0) << "class 1 keeps its start trees";
    EXPECT_GT(during[2].detour, 20);
    EXPECT_EQ(during[2].direct, 0) << "class 2 follows its rebuilt trees";
    EXPECT_NE(log.find("   - Tree Build2:"), std::string::npos);
    std::printf("[ rebuild ] before: class 1 %d/%d, class 2 %d/%d direct/detour; during: "
                "class 1 %d/%d, class 2 %d/%d\n",
                before[1].direct, before[1].detour, before[2].direct, before[2].detour,
                during[1].direct, during[1].detour, during[2].direct, during[2].detour);
}

} // namespace
} // namespace velm
