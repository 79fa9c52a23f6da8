// The class trees rebuilt during the run: which stored tree is renewed at
// which second, which classes are left alone, and the link costs each rebuild
// hands to the tree builder.
#include "core/routing/routing.h"
#include "routing/paths_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace velm {
namespace {

using testing_paths::paths_fixture;
using testing_routing::has_line;
using testing_routing::RouteNet;

// Two routes from zone 1 to zone 2: B = 7, 5, 6 (40 s) and A = 1, 2, 3, 6 (60 s).
const std::vector<int> kRouteA{1, 2, 3, 6};
const std::vector<int> kRouteB{7, 5, 6};

struct RebuildNet {
    RouteNet n{paths_fixture("two_routes.net")};
    Sim&     s = n.s;
    RebuildNet() {
        s.trees.size_trees(s.set2.mmazon, s.link2.mlnum, s.set2.mzones);
        for (int vt = 1; vt <= kClasses; ++vt) {
            s.set1.tremet(vt) = 2;
            s.set1.trefrq(vt, 3) = 1;
            s.set1.trefrq(vt, 6) = 1;
            for (int l = 1; l <= s.link2.mlnum; ++l) s.delay.ttlink(l, vt) = s.delay.fretim(l);
        }
    }
    void at(int t) {
        s.control.t = t;
        rebuild_trees(s);
    }
    // (second, k) of every stored tree of class vt rebuilt over 0..limit.
    std::vector<std::pair<int, int>> schedule(int vt, int limit) {
        std::vector<std::pair<int, int>> out;
        for (int t = 0; t <= limit; ++t) {
            at(t);
            for (int k = 1; k <= kTreesPerClass; ++k) {
                auto& first = s.trees.tree1o(2, 1, (vt - 1) * kTreesPerClass + k);
                if (first == 0) continue;
                out.emplace_back(t, k);
                first = 0;
            }
        }
        return out;
    }
    void slot7(int cost) {
        s.pathnam.filuse[7] = 1;
        s.trees.np_in = 1;
        s.trees.pd_in = 3600;
        s.trees.futcost = Array3<int>("futcost", s.link2.mlnum, 1, kClasses);
        for (int l = 1; l <= s.link2.mlnum; ++l)
            for (int vt = 1; vt <= kClasses; ++vt) s.trees.futcost(l, 1, vt) = cost;
    }
};

struct Rebuild : ::testing::Test, RebuildNet {};

std::string build2_line(int t, int vt, int tr, int method, int status) {
    std::string l = "    - Tree Build2:";
    for (int v : {t, vt, tr, method, status}) {
        const std::string d = std::to_string(v);
        l += std::string(12 - d.size(), ' ') + d;
    }
    return l;
}

TEST_F(Rebuild, EachClassRenewsOneStoredTreePerFifthOfItsInterval) {
    using Sched = std::vector<std::pair<int, int>>;
    struct Case {
        const char* name;
        int         interval, enroute, method, limit;
        float       trips, signs;
        Sched       expect;
    };
    const Case cases[] = {
        {"interval 60, no en-route: every 12 s",
         60,
         0,
         2,
         60,
         5,
         0,
         {{12, 2}, {24, 3}, {36, 4}, {48, 5}, {60, 1}}},
        {"interval 60, en-route 30: every 6 s", 60, 30, 2, 12, 5, 0, {{6, 2}, {12, 3}}},
        {"a negative interval counts by its size", -60, 0, 2, 24, 5, 0, {{12, 2}, {24, 3}}},
        {"300 and 120: the smaller, every 24 s", 300, 120, 2, 48, 5, 0, {{24, 2}, {48, 3}}},
        {"interval 50: every 10 s", 50, 0, 2, 20, 5, 0, {{10, 2}, {20, 3}}},
        {"interval 3: every second, never at 0", 3, 0, 2, 3, 5, 0, {{1, 2}, {2, 3}, {3, 4}}},
        {"en-route period alone, 7 s: every second", 0, -7, 2, 2, 5, 0, {{1, 2}, {2, 3}}},
        {"eco-routing method 9 is rebuilt", 60, 0, 9, 12, 5, 0, {{12, 2}}},
        {"message-sign use alone is enough", 60, 0, 2, 12, 0, 1, {{12, 2}}},
        {"method 3 keeps its initial trees", 60, 0, 3, 60, 5, 0, {}},
        {"method 1 has no class trees", 60, 0, 1, 60, 5, 0, {}},
        {"no interval and no en-route period", 0, 0, 2, 60, 5, 0, {}},
        {"no trips and no sign use", 60, 0, 2, 60, 0, 0, {}},
    };
    for (const auto& c : cases) {
        RebuildNet r;
        Sim&       rs = r.s;
        rs.set1.tremet(2) = c.method;
        rs.set1.trefrq(2, 1) = c.interval;
        rs.set1.trefrq(2, 2) = c.enroute;
        rs.oddat.totvtn(2, 1) = c.trips;
        rs.oddat.totvtn(2, 4) = c.signs;
        EXPECT_EQ(r.schedule(2, c.limit), c.expect) << c.name;
    }
}

TEST_F(Rebuild, EveryRebuildSecondIsLoggedWithItsTreeAndSource) {
    s.oddat.totvtn(2, 1) = 5;
    s.oddat.totvtn(3, 1) = 5;
    s.oddat.totvtn(5, 1) = 5;
    s.set1.trefrq(2, 1) = 60;
    s.set1.trefrq(3, 1) = 60;
    s.set1.tremet(3) = 3;
    s.set1.trefrq(5, 1) = 60;
    s.set1.tremet(5) = 6;
    s.oddat.totvtn(1, 1) = 5;
    s.set1.trefrq(1, 1) = 60;
    s.pathnam.filuse[8] = 1; // class 5 follows slot 8's paths
    s.pathnam.filuse[9] = 1; // class 1, of method 2, still rebuilds
    at(12);
    EXPECT_TRUE(has_line(n.log(), build2_line(12, 2, 7, 2, 2200))) << n.log();
    EXPECT_TRUE(has_line(n.log(), build2_line(12, 3, 12, 3, 1000))) << n.log();
    EXPECT_TRUE(has_line(n.log(), build2_line(12, 5, 22, 6, 1010))) << n.log();
    EXPECT_TRUE(has_line(n.log(), build2_line(12, 1, 2, 2, 2200))) << n.log();
    EXPECT_EQ(s.trees.tree1o(2, 1, 22), 0) << "no tree for external paths";
    s.pathnam.filuse[8] = 0;
    s.set1.tremet(5) = 2;
    slot7(20);
    s.set1.trefrq(2, 3) = 0;
    at(24);
    EXPECT_TRUE(has_line(n.log(), build2_line(24, 2, 8, 2, 2100))) << n.log();
    EXPECT_EQ(n.path(2, 1, 5), kRouteB) << "class 5 is rebuilt once it routes on class trees";
}

TEST_F(Rebuild, CostsComeFromSlotSevenMeasurementsOrFreeFlow) {
    struct Case {
        const char* name;
        int         method;
        bool        slot7;
        int         ignore7, freeflow; // trefrq(vt, 3), trefrq(vt, 6)
        float       measured, other;   // link costs of measured link 5 and unmeasured link 2
    };
    const Case cases[] = {
        {"measured time, free flow elsewhere", 2, false, 1, 1, 50, 20},
        {"no slot 7: free flow elsewhere, never a stale cost", 2, false, 1, 0, 50, 20},
        {"slot 7 in use: its costs everywhere", 2, true, 0, 1, 30, 30},
        {"slot 7 ignored: measured, slot-7 cost elsewhere", 2, true, 1, 0, 50, 30},
        {"slot 7 ignored: measured, free flow elsewhere", 2, true, 1, 1, 50, 20},
        {"eco: measured fuel, free-flow fuel elsewhere", 9, false, 1, 1, 7, 2},
        {"eco with slot 7 in use: its costs", 9, true, 0, 1, 30, 30},
        {"eco: never a slot-7 time in a fuel vector", 9, true, 1, 0, 7, 2},
    };
    for (const auto& c : cases) {
        RebuildNet r;
        Sim&       rs = r.s;
        rs.oddat.totvtn(2, 1) = 5;
        rs.set1.tremet(2) = c.method;
        rs.set1.trefrq(2, 1) = 60;
        rs.set1.trefrq(2, 3) = c.ignore7;
        rs.set1.trefrq(2, 6) = c.freeflow;
        if (c.slot7) r.slot7(30);
        for (int l = 1; l <= rs.link2.mlnum; ++l) {
            rs.delay.ttlink(l, 2) = 50.0f;
            rs.link1.frefuel(l) = 2.0f;
            rs.link1.eco(l, 2) = 7.0f;
            rs.delay.survtim(l) = 999.0f; // left over from an earlier use
        }
        rs.link1.surv(5, 2) = 1;
        r.at(12);
        EXPECT_FLOAT_EQ(rs.mainrun.object1(5), c.measured) << c.name;
        EXPECT_FLOAT_EQ(rs.mainrun.object1(2), c.other) << c.name;
    }
}

TEST_F(Rebuild, AMeasuredQueueTurnsTheClassToTheOtherRoute) {
    s.oddat.totvtn(2, 1) = 5;
    s.set1.trefrq(2, 1) = 60;
    s.link1.surv(5, 2) = 1;
    at(12);
    EXPECT_EQ(n.stored_path(2, 1, 7), kRouteB);
    s.delay.ttlink(5, 2) = 100.0f; // queue on route B
    at(24);
    EXPECT_EQ(n.stored_path(2, 1, 8), kRouteA);
    EXPECT_EQ(n.stored_path(2, 1, 7), kRouteB) << "the other stored trees wait their turn";
    EXPECT_EQ(n.path(2, 1, 2), kRouteA) << "the current tree is the one built last";
    s.link1.surv(5, 2) = 0; // the class does not measure link 5
    at(36);
    EXPECT_EQ(n.stored_path(2, 1, 9), kRouteB);
}

TEST_F(Rebuild, TravellerMessagesAddTheirCostInsideTheirWindow) {
    s.oddat.totvtn(2, 1) = 5;
    s.set1.trefrq(2, 1) = 60;
    s.set1.trefrq(2, 3) = 0;
    slot7(10);
    for (int l : {2, 3, 5}) s.trees.futcost(l, 1, 2) = 20; // A 60 s, B 40 s
    auto& am = s.atis_msg;
    am.natismsg = 1;
    for (int k = 1; k <= 5; ++k)
        am.atismsg(1, k) = std::vector<int>{5, 600, 1200, 2, 3000}[static_cast<std::size_t>(k - 1)];
    struct Case {
        int              t;
        std::vector<int> route;
        float            cost5;
    };
    const Case cases[] = {
        {588, kRouteB, 20}, {600, kRouteA, 50}, {1188, kRouteA, 50}, {1200, kRouteB, 20}};
    for (const auto& c : cases) {
        at(c.t);
        EXPECT_EQ(n.path(2, 1, 2), c.route) << c.t;
        EXPECT_FLOAT_EQ(s.mainrun.object1(5), c.cost5) << c.t;
    }
}

} // namespace
} // namespace velm
