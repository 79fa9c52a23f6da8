// End to end: an incident blocks the direct road of a two-route network.
// Class 2 rebuilds its trees on measured link times and moves to the detour;
// class 1 keeps the trees it started with and stays in the queue.
//
// Master settings: format code (eqtr) 2, tree update intervals 0 60 0 0 0 and
// perception errors 0. Class 1 thus has interval 0 (method 2, no rebuilds, no
// en-route checks); class 2 has interval 60 (method 2, a stored tree renewed
// every 12 s, en-route period 60 s, free-flow time where a link is not
// measured). Every link measures every class (surveillance code 11111).
#include "core/driver/driver.h"
#include "core/model/sim.h"
#include "core/model/step_probe.h"

#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

namespace velm {
namespace {

constexpr int kDirect = 2; // the direct road, blocked 300..1200 s
constexpr int kDetour = 4; // first link of the detour
constexpr int kIncidentStart = 300;

std::string rebuild_fixture(const std::string& name) {
    std::ifstream      in(std::string(VELM_SOURCE_DIR) + "/tests/data/rebuild/" + name,
                          std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string master_text() {
    std::string m = "Two routes and an incident\n1800.123  0  0  2  0\n";
    m += "0  60  0  0  0\n0.0  0.0  0.0  0.0  0.0\n";
    m += "input\\*   folder of the input files\noutput\\*  folder of the reports\n";
    m += "nodes.dat\nlinks.dat\nsignals.dat\ndemand.dat\nincidents.dat\n";
    m += "none\nnone\nnone\nnone\nsummary.u10\n";
    for (int k = 11; k <= 19; ++k) m += "none\n";
    return m;
}

// 480 veh/h from zone 1 to zone 2 over 0..1300 s, half class 1, half class 2.
const char* kDemand = "Two classes\n1  0  0  1.0\n"
                      "1  1  2  480.0  -1  0  1300  0.5 0.5 0 0 0  0  1\n";

// Which of the two roads each trip took.
class RouteWatch : public StepProbe {
  public:
    explicit RouteWatch(Sim& s) : s_(s) {}
    void step(std::string_view name) override {
        if (name != "moveveh") return;
        for (const int l : {kDirect, kDetour})
            for (int i = 1; i <= s_.link2.ntqu(l); ++i)
                road[s_.vehicle.big(s_.link2.nbqu(l) + i)] = l;
    }
    std::map<int, int> road; // trip -> link
  private:
    Sim& s_;
};

struct Share {
    int direct = 0, detour = 0;
};

TEST(TreeRebuildEndToEnd, OnlyTheRebuildingClassLeavesTheBlockedRoad) {
    auto       sim = support::memory_sim();
    Sim&       s = *sim;
    RouteWatch watch(s);
    s.units.put_file("test.master", master_text());
    for (const char* f : {"nodes.dat", "links.dat", "signals.dat", "incidents.dat"})
        s.units.put_file(std::string("input/") + f, rebuild_fixture(f));
    s.units.put_file("input/demand.dat", kDemand);
    s.master.mastfile = "test.master";
    s.probe = &watch;
    velmorantis(s, 1);
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
