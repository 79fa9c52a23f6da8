// Per-vehicle forward trees: the cheapest path of one trip over the class's
// link costs or the forecast link times, with the running clock that prices
// tolls, the movements a class may not take, the choice of the last link, an
// unreachable destination, and the path stepping of methods 3, 4 and 10.
#include "core/movement/movement.h"
#include "core/routing/forecast.h"
#include "core/routing/routing.h"
#include "routing/paths_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velm {
namespace {

using namespace testing_paths;
using testing_routing::contains;

// two_routes.net: zone 1 to zone 2 over A (60 s) or B (40 s); C costs 70 s.
// Links 1, 6 and 7 are zone connectors.
struct ForwardTrees : ::testing::Test {
    std::unique_ptr<RouteNet> net;
    Array1<float>             cost{"cost", kMaxLinks};
    Sim&                      sim() { return net->s; }
    void                      SetUp() override { load(paths_fixture("two_routes.net")); }
    // A fresh network; its links cost their free-flow times; trip 1 from zone 1
    // to zone 2, class 1 with a value of time of 10 per hour.
    void load(const std::string& text) {
        net = std::make_unique<RouteNet>(text);
        for (int l = 1; l <= sim().link2.mlnum; ++l) cost(l) = sim().delay.fretim(l);
        for (int vt = 1; vt <= kClasses; ++vt) sim().set1.tremet(vt) = 3;
        trip(sim(), 1, 1, 2, 1, 0);
        sim().tolplaz.valtim(1) = 10.0f;
    }
    std::vector<int> search(int clink, int dest = 2, int t = 0, int iflag = 1) {
        std::vector<int> buf(kMaxPathLinks);
        int              n = -1;
        futtree(sim(), t, 1, clink, buf, n, dest, 1, cost, iflag);
        buf.resize(static_cast<std::size_t>(n));
        return buf;
    }
    // Bans the movement u -> n now (negative linot entry).
    void ban(int u, int n) {
        for (int k = 1; k <= sim().graph1.nlinot(u); ++k)
            if (sim().graph1.linot(u, k) == n) sim().graph1.linot(u, k) = -n;
    }
    // A per-passage toll on link l in the window (from, to) s.
    void toll(int e, int l, float money, int from = 0, int to = 86400) {
        auto& tp = sim().tolplaz;
        tp.ntolrat = tp.mtolrat = std::max(tp.mtolrat, e);
        tp.tollnk(e) = l;
        tp.toltyp(e) = 1;
        tp.toltim(e, 1) = from;
        tp.toltim(e, 2) = to;
        for (int c = 1; c <= kClasses; ++c) tp.tolrat(e, c) = money;
    }
    int direction(int u, int n) {
        float rel = 0.0f;
        int   d = 0;
        turn_ang(sim(), sim().link2.mlnum, sim().graph1.ang, u, n, rel, d);
        return d;
    }
};

TEST_F(ForwardTrees, CheapestPathFromTheOriginOrTheCurrentLink) {
    EXPECT_EQ(search(-1), kTwoRoutesB);
    EXPECT_EQ(search(2), (std::vector<int>{2, 3, 6})) << "from the current link, first link first";
    EXPECT_EQ(search(6), std::vector<int>{6}) << "a link that ends at the destination";
    EXPECT_EQ(search(3), (std::vector<int>{3, 6}));
}

TEST_F(ForwardTrees, MovementsTheClassMayNotTakeAreNeverUsed) {
    struct Case {
        const char*               name;
        std::function<void(Sim&)> apply;
        std::vector<int>          path;
    };
    // Link 2 costs 25 s here, so that 1, 4, 5, 6 (70 s) is the second best path.
    const std::vector<Case> cases = {
        {"nothing closed", [](Sim&) {}, kTwoRoutesB},
        {"banned turn 7 -> 5", [this](Sim&) { ban(7, 5); }, kTwoRoutesC},
        {"no lane permits the turn 7 -> 5",
         [this](Sim& r) { r.link5.turnper(7, direction(7, 5)) = 0; }, kTwoRoutesC},
        {"link 5 closed to the class", [](Sim& r) { r.link1.hov(5, 1) = 1; }, kTwoRoutesA},
        {"connector 7 out of the origin closed", [](Sim& r) { r.link1.hov(7, 1) = 1; },
         kTwoRoutesC},
        {"closed to another class only", [](Sim& r) { r.link1.hov(5, 2) = 1; }, kTwoRoutesB},
    };
    for (const auto& c : cases) {
        load(paths_fixture("two_routes.net"));
        cost(2) = 25.0f;
        c.apply(sim());
        EXPECT_EQ(search(-1), c.path) << c.name;
    }
}

TEST_F(ForwardTrees, EqualExitCostsEndOnTheFirstLinkIntoTheDestination) {
    // Node 14 is reached over link 3 (1, 2, 3: 50 s) and link 5 (7, 5: 30 s);
    // at 40 s for link 5 both cost the same.
    cost(5) = 40.0f;
    EXPECT_EQ(search(-1, 14), (std::vector<int>{1, 2, 3}));
    std::swap(sim().graph1.linto(14, 1), sim().graph1.linto(14, 2));
    EXPECT_EQ(search(-1, 14), (std::vector<int>{7, 5})) << "the order of the list decides";
    cost(5) = 41.0f;
    std::swap(sim().graph1.linto(14, 1), sim().graph1.linto(14, 2));
    EXPECT_EQ(search(-1, 14), (std::vector<int>{1, 2, 3})) << "a second dearer loses";
}

TEST_F(ForwardTrees, EachTollIsCountedOnceAtTheSecondItsLinkIsReached) {
    // A toll of 2.0 at a value of time of 10 per hour weighs 720 s. On link 2
    // (next to last before node 14) and link 5 (last) of two equal routes, both
    // routes pay it once: they tie, and link 3, first into node 14, wins.
    cost(5) = 40.0f;
    toll(1, 2, 2.0f);
    toll(2, 5, 2.0f);
    EXPECT_EQ(search(-1, 14), (std::vector<int>{1, 2, 3}));
    sim().tolplaz.valtim(1) = 0.0f;
    toll(2, 5, 20.0f);
    EXPECT_EQ(search(-1, 14), (std::vector<int>{1, 2, 3})) << "no value of time: tolls weigh 0";
}

TEST_F(ForwardTrees, TollWindowsAreReadOnTheTripsClock) {
    // A toll of 2.0 (720 s) on link 5 from 0 to 600 s makes route A the cheaper
    // while it applies. Method 10 starts its clock at 0 whatever the time.
    toll(1, 5, 2.0f, 0, 600);
    struct Case {
        int              method, t;
        std::vector<int> path;
    };
    const std::vector<Case> cases = {{3, 0, kTwoRoutesA},
                                     {3, 3000, kTwoRoutesB},
                                     {10, 3000, kTwoRoutesA},
                                     {10, 0, kTwoRoutesA},
                                     {3, 595, kTwoRoutesB}};
    for (const auto& c : cases) {
        sim().set1.tremet(1) = c.method;
        EXPECT_EQ(search(-1, 2, c.t), c.path) << "method " << c.method << " at " << c.t;
    }
}

TEST_F(ForwardTrees, PathsDoNotPassThroughZones) {
    // Zone 3 between nodes 11 and 14 over two 1-s connectors: through it, 1, 8,
    // 9, 6 would cost 22 s, but leaving connectors 8 and 9 costs 3600 s each.
    load(R"(
node 1 0 1 1 -1
node 2 4 1 1 -2
node 3 2 1 1 -3
node 11 1 1 4 0
node 12 2 2 4 0
node 13 2 0 4 0
node 14 3 1 4 0
link 1 1 11 10 0.2 1
link 2 11 12 20 0.3 0
link 3 12 14 20 0.3 0
link 4 11 13 20 0.3 0
link 5 13 14 20 0.3 0
link 6 14 2 10 0.2 1
link 7 1 13 10 0.2 1
link 8 11 3 1 0.1 1
link 9 3 14 1 0.1 1
)");
    EXPECT_EQ(search(-1), kTwoRoutesB);
    sim().link1.zoncon(8) = 0;
    sim().link1.zoncon(9) = 0;
    EXPECT_EQ(search(-1), (std::vector<int>{1, 8, 9, 6})) << "the penalty is what keeps it out";
}

TEST_F(ForwardTrees, UnreachableDestinationGivesNoPath) {
    sim().link1.hov(6, 1) = 1;
    EXPECT_TRUE(search(-1).empty());
    EXPECT_TRUE(contains(net->log(), " buildtree9: no tree to dest:           2")) << net->log();
    EXPECT_TRUE(search(99).empty()) << "no such link";
}

TEST_F(ForwardTrees, ForecastTimesAtTheClockOfEnteringEachLink) {
    // Forecast intervals of 60 s: every link keeps its time, except link 5,
    // 20 s up to interval 10 and 500 s from interval 11 on (its times hold at
    // the intervals' middles, 570 s and 630 s). Links 1 and 7 take 200 s, so a
    // trip reaches link 5 200 s after it leaves.
    sim().trees.ftint = 60;
    sim().trees.pre_vol.resize(sim().link2.mlnum, kForecastIntervals, kForecastColumns);
    for (int l = 1; l <= sim().link2.mlnum; ++l)
        for (int k = 1; k <= kForecastIntervals; ++k) {
            float time = sim().delay.fretim(l);
            if (l == 1 || l == 7) time = 200.0f;
            if (l == 5) time = k <= 10 ? 20.0f : 500.0f;
            sim().trees.pre_vol(l, k, routing::kLinkTime) = time;
        }
    for (int l = 1; l <= sim().link2.mlnum; ++l) cost(l) = 1.0e4f; // unused by forecast times
    struct Case {
        int              t;
        std::vector<int> path;
    };
    // At 300 s the trip reaches link 5 at 500 s (20 s); at 500 s it reaches it at
    // 700 s (500 s), though link 5 still takes 20 s at 500 s itself.
    for (const Case& c : std::vector<Case>{
             {0, kTwoRoutesB}, {300, kTwoRoutesB}, {500, kTwoRoutesA}, {2000, kTwoRoutesA}})
        EXPECT_EQ(search(-1, 2, c.t, 2), c.path) << "departing at " << c.t;
}

// Path stepping of the forward-tree methods: which costs each method searches.
struct ForwardStepping : ForwardTrees {
    void SetUp() override {
        ForwardTrees::SetUp();
        prepare_trees(sim());
        equal_weights(sim());
        for (int l = 1; l <= sim().link2.mlnum; ++l) {
            sim().delay.ttlink(l, 1) = sim().delay.fretim(l);
            sim().link1.frefuel(l) = 1.0f;
            sim().link1.eco(l, 1) = 1.0f;
        }
        sim().set1.trnd(1) = 0.0f;
    }
};

TEST_F(ForwardStepping, EachMethodSearchesItsOwnCosts) {
    // Link 5 measured at 100 s and its eco cost 50: method 3 avoids it, method
    // 10 too; neither applies where the class does not measure the link.
    sim().delay.ttlink(5, 1) = 100.0f;
    sim().link1.eco(5, 1) = 50.0f;
    struct Case {
        const char*      name;
        int              method, surv5;
        std::vector<int> path;
    };
    const std::vector<Case> cases = {
        {"measured time of a surveyed link", 3, 1, kTwoRoutesA},
        {"free-flow time where the class does not measure", 3, 0, kTwoRoutesB},
        {"eco cost of a surveyed link", 10, 1, kTwoRoutesA},
        {"free-flow fuel elsewhere: the fewest links", 10, 0, kTwoRoutesB},
    };
    for (const auto& c : cases) {
        sim().set1.tremet(1) = c.method;
        sim().link1.surv(5, 1) = c.surv5;
        int ldest = 0;
        EXPECT_EQ(step(sim(), 1, 0, 0, 2, &ldest), c.path) << c.name;
        EXPECT_EQ(ldest, c.path.front()) << c.name;
        EXPECT_EQ(step(sim(), 1, 0, 6, 2, &ldest), std::vector<int>{6}) << c.name;
        EXPECT_EQ(ldest, -1) << c.name;
    }
}

TEST_F(ForwardStepping, SlotSevenCostsOrPerceivedMeasuredCosts) {
    // Slot 7 in use: its costs, unperturbed, unless the class ignores them.
    sim().pathnam.filuse[7] = 1;
    sim().trees.np_in = 1;
    sim().trees.pd_in = 3600;
    sim().trees.futcost = Array3<int>("futcost", sim().link2.mlnum, 1, kClasses);
    for (int l = 1; l <= sim().link2.mlnum; ++l) sim().trees.futcost(l, 1, 1) = 10;
    sim().trees.futcost(5, 1, 1) = 500;
    sim().set1.trnd(1) = 0.05f;
    sim().set1.trefrq(1, 3) = 0;
    sim().set1.trefrq(1, 6) = 1;
    const int seed = sim().rndnum.seed[3];
    EXPECT_EQ(step(sim(), 1, 0, 0, 2), kTwoRoutesA);
    EXPECT_EQ(sim().rndnum.seed[3], seed) << "slot-7 costs carry no perception error";
    sim().set1.trefrq(1, 3) = 1;
    EXPECT_EQ(step(sim(), 1, 0, 0, 2), kTwoRoutesB) << "free-flow times where nothing is measured";
    EXPECT_NE(sim().rndnum.seed[3], seed) << "measured costs are perceived with the class's error";
}

// Traced at its origin, a trip with no way to its zone gets no first link (at
// entry it is abandoned and counted); en route it keeps the path it has.
TEST_F(ForwardStepping, UnreachableDestinationLeavesNoFirstLinkOrKeepsTheOldPath) {
    sim().set1.tremet(1) = 3;
    sim().delay.ttlink(5, 1) = 100.0f; // measured: route A is the cheaper
    sim().link1.surv(5, 1) = 1;
    trip(sim(), 2, 1, 2, 1, 0);
    tr_tree(sim(), 2, 2, 0);
    ASSERT_EQ(stored_links(sim(), 2), kTwoRoutesA);
    sim().link1.hov(6, 1) = 1;
    tr_tree(sim(), 1, 2, 0);
    EXPECT_TRUE(stored_links(sim(), 1).empty());
    EXPECT_EQ(sim().vehtre.vehtre(sim().vehtre.tre_ind(1, 1), 1), 0) << "no first link to enter";

    sim().vehtre.tre_ind(2, 4) = 1; // on link 1: 2, 3 and 6 to go
    int code = 0;
    comppath(sim(), 2, 60, code, kForceSwitch, 1, 15.0f, 0.1f);
    EXPECT_EQ(code, 5) << "the old path is not worse than none";
    EXPECT_EQ(stored_links(sim(), 2), kTwoRoutesA);
    EXPECT_TRUE(contains(net->log(), " buildtree9: no tree to dest:")) << net->log();
}

} // namespace
} // namespace velm
