// The initial trees of every class before the time loop: which classes get
// trees, from which costs, at which value-of-time quantiles, and the stop on a
// failed tree check.
#include "core/routing/routing.h"
#include "route_fixture.h"

#include <gtest/gtest.h>

namespace velm {
namespace {

using testing_routing::contains;
using testing_routing::fixture;
using testing_routing::has_line;
using testing_routing::RouteNet;

std::string build_line(int vt, int status) {
    std::string l = "   - Tree Build:";
    for (int v : {0, vt, status}) {
        const std::string n = std::to_string(v);
        l += std::string(12 - n.size(), ' ') + n;
    }
    return " " + l;
}

struct InitialTrees : ::testing::Test {
    RouteNet n{fixture("grid.net")};
    Sim&     s = n.s;
    void     SetUp() override {
        s.set1.simtim1 = 3600;
        for (int vt = 1; vt <= kClasses; ++vt) s.set1.tremet(vt) = 2;
        s.set1.trefrq(2, 1) = -60;
        s.oddat.fodp = 1;
        s.oddat.lodp = 0; // no demand records unless a test adds one
    }
    void trips(int vt) { s.oddat.totvtn(vt, 1) = 10.0f; }
};

TEST_F(InitialTrees, OnlyClassesWithTripsGetTreesAndEveryClassIsLogged) {
    trips(2);
    initial_trees(s);
    EXPECT_EQ(s.errcount.errt1, 0);
    const std::string log = n.log();
    EXPECT_TRUE(has_line(log, build_line(1, 0))) << log;
    EXPECT_TRUE(has_line(log, build_line(2, 2200))) << log;
    EXPECT_TRUE(has_line(log, build_line(3, 2200))) << "the status carries over";
    EXPECT_TRUE(has_line(log, "        - Minimum path vehicle type           2"));
    EXPECT_TRUE(has_line(n.summary(), "      - Minimum Path Trees for Vehicle Type            2"));
    EXPECT_FALSE(contains(n.summary(), "Vehicle Type            1"));
    // Stored trees 6..10 of class 2 hold the free-flow tree, with equal weights.
    for (int tr = 6; tr <= 10; ++tr) {
        EXPECT_EQ(n.stored_path(1, 1, tr), n.path(1, 1, 2)) << tr;
        EXPECT_FLOAT_EQ(s.trees.tree_wt(tr, 1), 0.2f);
    }
    EXPECT_EQ(n.path(1, 1, 2).front(), n.link(1, 11));
    EXPECT_EQ(s.trees.tree1o(1, 1, 1), 0);
    EXPECT_EQ(s.trees.tree1o(1, 1, 11), 0);
}

TEST_F(InitialTrees, EachStoredTreeValuesTheTollAtItsOwnQuantile) {
    trips(2);
    // A toll of 0.055 on 12-15 over the first minute: about 26 s at the
    // 0.1 quantile of the value of time, about 16 s at 0.9, against the 20 s
    // that 12-15 saves over 12-13-16.
    auto& tp = s.tolplaz;
    tp.ntolrat = tp.mtolrat = 1;
    tp.tollnk(1) = n.link(12, 15);
    tp.toltyp(1) = 1;
    tp.toltim(1, 1) = 0;
    tp.toltim(1, 2) = 60;
    for (int c = 1; c <= kClasses; ++c) tp.tolrat(1, c) = 0.055f;
    initial_trees(s);
    const int after = n.link(11, 12);
    EXPECT_EQ(s.trees.tree1l(1, after, 6), n.link(12, 13)) << "quantile 0.1 avoids the toll";
    EXPECT_EQ(s.trees.tree1l(1, after, 10), n.link(12, 15)) << "quantile 0.9 pays it";
    EXPECT_EQ(s.trees.rgtree(1, after, 2), n.link(12, 15)) << "the current tree is the last one";
}

TEST_F(InitialTrees, CostSourcesByMethodAndSlotSeven) {
    // Free-flow fuel makes 12-13-16 the cheap way; free-flow time 12-15-16.
    for (int l = 1; l <= s.link2.mlnum; ++l) s.link1.frefuel(l) = 1.0f;
    s.link1.frefuel(n.link(12, 15)) = 50.0f;
    struct Case {
        const char* name;
        int         method;
        bool        slot7;
        int         next; // next link after 11-12 in stored tree 6
        int         status;
    };
    const Case cases[] = {
        {"method 2 on free-flow time", 2, false, 17, 2200},
        {"method 8 gets its start trees as method 2", 8, false, 17, 2200},
        {"method 9 on free-flow fuel", 9, false, 3, 2200},
        {"method 2 on slot-7 costs", 2, true, 3, 2100},
        {"method 9 ignores slot 7 at the start", 9, true, 3, 2200},
        {"method 1 builds nothing here", 1, false, 0, 0},
    };
    for (const auto& c : cases) {
        RouteNet r(fixture("grid.net"));
        Sim&     rs = r.s;
        for (int l = 1; l <= rs.link2.mlnum; ++l) rs.link1.frefuel(l) = 1.0f;
        rs.link1.frefuel(r.link(12, 15)) = 50.0f;
        rs.set1.tremet(2) = c.method;
        rs.oddat.totvtn(2, 1) = 5.0f;
        if (c.slot7) {
            rs.pathnam.filuse[7] = 1;
            rs.trees.np_in = 1;
            rs.trees.pd_in = 3600;
            rs.trees.futcost = Array3<int>("futcost", rs.link2.mlnum, 1, kClasses);
            for (int l = 1; l <= rs.link2.mlnum; ++l) rs.trees.futcost(l, 1, 2) = 10;
            rs.trees.futcost(r.link(12, 15), 1, 2) = 100;
        }
        initial_trees(rs);
        EXPECT_EQ(rs.trees.tree1l(1, r.link(11, 12), 6), c.next) << c.name;
        EXPECT_TRUE(has_line(r.log(), build_line(2, c.status))) << c.name << "\n" << r.log();
    }
}

// A class follows external trees only when its own method takes a slot that
// was loaded: method 6 slot 8, method 7 slot 9.
TEST_F(InitialTrees, ExternalPathClassesGetNoTreeAndClassFiveItsWeights) {
    trips(5);
    trips(1);
    trips(2);
    s.set1.tremet(1) = 7;
    s.set1.tremet(5) = 6;
    s.pathnam.filuse[8] = 1;
    s.pathnam.filuse[9] = 1;
    initial_trees(s);
    EXPECT_TRUE(has_line(n.log(), build_line(1, 1000)));
    EXPECT_TRUE(has_line(n.log(), build_line(5, 1010)));
    EXPECT_TRUE(has_line(n.log(), build_line(2, 2200))) << "method 2 builds, slots or not";
    EXPECT_FLOAT_EQ(s.trees.tree_wt(25, 2), 1.0f);
    EXPECT_FLOAT_EQ(s.trees.tree_wt(21, 1), 0.2f);
    EXPECT_EQ(s.trees.tree1o(1, 1, 21), 0);
    EXPECT_EQ(s.trees.tree1o(1, 1, 1), 0);
}

TEST_F(InitialTrees, ClassesOfOtherMethodsBuildWhateverTheSlotsHold) {
    struct Case {
        const char* name;
        int         method, slot8, slot9, status;
    };
    // Class 5's number no longer marks it: only its method and the slots do.
    const Case cases[] = {
        {"method 2 with slot 8 loaded", 2, 1, 0, 2200},
        {"method 2 with slot 9 loaded", 2, 0, 1, 2200},
        {"method 6 without slot 8", 6, 0, 1, 0},
        {"method 7 with slot 9", 7, 0, 1, 1010},
        {"method 6 with slot 8", 6, 1, 0, 1010},
    };
    for (const auto& c : cases) {
        RouteNet r{fixture("grid.net")};
        r.s.set1.simtim1 = 3600;
        r.s.oddat.fodp = 1;
        r.s.oddat.lodp = 0;
        r.s.set1.tremet(5) = c.method;
        r.s.oddat.totvtn(5, 1) = 10.0f;
        r.s.pathnam.filuse[8] = c.slot8;
        r.s.pathnam.filuse[9] = c.slot9;
        initial_trees(r.s);
        EXPECT_TRUE(has_line(r.log(), build_line(5, c.status))) << c.name << "\n" << r.log();
    }
}

TEST_F(InitialTrees, AFailedTreeCheckStopsTheTreesAtOnce) {
    trips(1);
    trips(2);
    // Zone 2 is closed to class 1: the record from zone 3 has no path.
    s.link1.hov(n.link(19, 2), 1) = 1;
    auto& od = s.oddat;
    od.lodp = 1;
    od.o(1) = 3;
    od.d(1) = 2;
    od.numod(1) = 100.0f;
    for (int k = 1; k <= kClasses; ++k) od.kvtyp(1, k, 2) = 1.0f;
    initial_trees(s);
    EXPECT_EQ(s.errcount.errt1, 1) << "reported once: the first tree stops the phase";
    EXPECT_TRUE(contains(n.log(), "No available path coded:"));
    EXPECT_FALSE(contains(n.log(), "   - Tree Build:"));
    EXPECT_EQ(s.trees.tree1o(2, 3, 1), 0) << "the failed tree is not stored";
    EXPECT_EQ(s.trees.ortree(2, 3, 2), 0) << "class 2 was not built";
}

} // namespace
} // namespace velm
