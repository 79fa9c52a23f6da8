// Path stepping: tree choice by the trip's own random number, walks along
// stored and current trees, message-sign advice, the walk's guards, the value
// of time, and the routing methods the master file refuses.
#include "core/driver/driver.h"
#include "core/driver/errors.h"
#include "core/routing/path_stepping.h"
#include "routing/paths_fixture.h"
#include "support/memory_run.h"

#include <cmath>
#include <gtest/gtest.h>

namespace velm {
namespace {

using namespace testing_paths;
using testing_routing::contains;

const std::vector<int> kNorth{1, 2, 3, 6};
const std::vector<int> kSouth{1, 4, 5, 6};

struct TwoRoutes : ::testing::Test {
    RouteNet net{paths_fixture("two_routes.net")};
    Sim&     s = net.s;
    void     SetUp() override {
        stored_tree_routing(s);
        s.units.set_console([this](std::string_view t) { console += std::string(t) + "\n"; });
    }
    std::string console;
};

TEST_F(TwoRoutes, StoredTreeChosenByTheTripsRandomNumber) {
    struct Case {
        int vt, vrnd, tree;
    };
    // Cumulative weights 0.2, 0.4, ... 1.0; the test is strict, so 2000 (= 0.2)
    // takes the second tree and 9999 the fifth.
    const std::vector<Case> cases = {{1, 0, 1},    {1, 1999, 1}, {1, 2000, 2}, {1, 5999, 3},
                                     {1, 9999, 5}, {2, 0, 6},    {2, 2000, 7}, {5, 9999, 25}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "class " << c.vt << " vrnd " << c.vrnd);
        trip(s, 1, 1, 2, c.vt, c.vrnd);
        EXPECT_EQ(routing::stored_tree(s, 1, c.vt), c.tree);
    }
    // A class without weights (no trees stored yet): every trip takes its first tree.
    for (int k = 11; k <= 15; ++k) s.trees.tree_wt(k, 2) = 0.0f;
    for (int vrnd : {0, 5000, 9999}) {
        trip(s, 1, 1, 2, 3, vrnd);
        EXPECT_EQ(routing::stored_tree(s, 1, 3), 11);
    }
}

TEST_F(TwoRoutes, WalkFollowsTheChosenStoredTree) {
    stored_path(s, 1, 2, 1, kNorth);
    stored_path(s, 2, 2, 1, kSouth);
    trip(s, 1, 1, 2, 1, 1000);
    trip(s, 2, 1, 2, 1, 3000);
    int ldest = 0;
    EXPECT_EQ(step(s, 1, 0, 0, 2, &ldest), kNorth);
    EXPECT_EQ(ldest, 1); // the first entry of a path of more than one link
    EXPECT_EQ(step(s, 2, 0, 0, 2), kSouth);
    // From a link on the way the walk starts there.
    EXPECT_EQ(step(s, 2, 0, 4, 2), (std::vector<int>{4, 5, 6}));
    // A link that ends at the destination zone is a one-link path.
    EXPECT_EQ(step(s, 2, 0, 6, 2, &ldest), std::vector<int>{6});
    EXPECT_EQ(ldest, -1);
    int nl = -5;
    firstlnk(s, 2, nl, 2);
    EXPECT_EQ(nl, 1);
}

TEST_F(TwoRoutes, MethodEightWalksTheClassesCurrentTree) {
    s.set1.tremet(3) = 8;
    current_path(s, 3, 2, 1, {7, 5, 6});
    stored_path(s, 11, 2, 1, kNorth); // not used by method 8
    trip(s, 1, 1, 2, 3, 0);
    EXPECT_EQ(step(s, 1, 0, 0, 2), (std::vector<int>{7, 5, 6}));
}

TEST_F(TwoRoutes, MessageSignClassAppliesInSteplinkButNotInFirstlnk) {
    // Class 1 (stored trees) goes north; class 2 follows its current tree south
    // and leaves zone 1 by connector 7.
    stored_path(s, 1, 2, 1, kNorth);
    current_path(s, 1, 2, 1, kNorth);
    s.set1.tremet(2) = 8;
    current_path(s, 2, 2, 1, {7, 5, 6});
    s.trees.rgtree(2, 1, 2) = 4; // from connector 1 class 2 turns south too
    s.trees.rgtree(2, 4, 2) = 5;
    trip(s, 1, 1, 2, 1, 0);
    s.vehindx.vehid(1) = 3;
    s.oddat.cmst(3, 1) = 100; // advice until second 100: follow class 2
    s.oddat.cmst(3, 2) = 2;

    EXPECT_EQ(step(s, 1, 50, 0, 1), kSouth);  // own class's first link, then class 2's tree
    EXPECT_EQ(step(s, 1, 50, 0, 2), kNorth);  // ind 2 ignores the advice
    EXPECT_EQ(step(s, 1, 100, 0, 3), kSouth); // the advice holds through its last second
    EXPECT_EQ(step(s, 1, 101, 0, 1), kNorth); // and then runs out
    // The first link is always the trip's own class's: 1, never class 2's 7.
    int nl = 0;
    firstlnk(s, 1, nl, 1);
    EXPECT_EQ(nl, 1);
    firstlnk(s, 1, nl, 2);
    EXPECT_EQ(nl, 1);
}

TEST_F(TwoRoutes, WalkStopsWhereTheTreeOrTheDistanceEnds) {
    stored_path(s, 1, 2, 1, kNorth);
    trip(s, 1, 1, 2, 1, 0);
    // No tree entry after link 3.
    s.trees.tree1l(2, 3, 1) = 0;
    EXPECT_EQ(step(s, 1, 0, 0, 2), (std::vector<int>{1, 2, 3}));
    // A next link from which the distance tree does not reach the zone.
    stored_path(s, 1, 2, 1, kNorth);
    s.trees.distre(2, 3, 2) = -1;
    EXPECT_EQ(step(s, 1, 0, 0, 2), (std::vector<int>{1, 2}));
    // Remaining length 0 is a link shorter than 10 m: the zone is still reached.
    s.trees.distre(2, 3, 2) = 0;
    EXPECT_EQ(step(s, 1, 0, 0, 2), kNorth);
    // No first link out of the origin: the path holds the 0 and the log says so.
    s.trees.tree1o(2, 1, 1) = 0;
    EXPECT_EQ(step(s, 1, 0, 0, 2), std::vector<int>{0});
    EXPECT_TRUE(contains(net.log(), "      nl>"));
}

TEST_F(TwoRoutes, TreeThatLoopsEndsThePathAtTheLastNewLink) {
    stored_path(s, 1, 2, 1, kNorth);
    s.trees.tree1l(2, 3, 1) = 2; // 2 -> 3 -> 2 -> ...
    trip(s, 7, 1, 2, 1, 0);
    EXPECT_EQ(step(s, 7, 0, 0, 2), (std::vector<int>{1, 2, 3}));
    EXPECT_TRUE(contains(net.log(), " Path of trip           7  returns to link           2"));
    // The next walk starts afresh: the marks of the loop do not carry over.
    stored_path(s, 1, 2, 1, kNorth);
    EXPECT_EQ(step(s, 7, 0, 0, 2), kNorth);
}

TEST_F(TwoRoutes, PathLongerThanTheBufferIsCutWithAWarning) {
    stored_path(s, 1, 2, 1, kNorth);
    trip(s, 1, 1, 2, 1, 0);
    std::vector<int> buf(2);
    int              n = 0, ldest = 0;
    steplink(s, 1, 0, ldest, 0, buf, n, 2);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(buf, (std::vector<int>{1, 2}));
    EXPECT_TRUE(contains(console, "Warning Memory Violation !"));
}

TEST_F(TwoRoutes, ValueOfTimeAtTheTripsOwnRandomNumber) {
    trip(s, 1, 1, 2, 1, 5000);
    s.tolplaz.sectol(1, 1) = 10.0f;
    s.tolplaz.sectol(1, 2) = 0.2f;
    val_time(s, 1);
    // At the median the normal deviate is 0: mean / sqrt(1 + cov^2).
    EXPECT_NEAR(s.tolplaz.valtim(1), 10.0f / std::sqrt(1.04f), 1e-4f);
    // Higher random numbers give higher values; below 1 % and above 99 % the
    // quantile is clamped.
    const std::vector<int> vrnds{0, 100, 2500, 7500, 9900, 9999};
    std::vector<float>     v;
    for (int vrnd : vrnds) {
        trip(s, 1, 1, 2, 1, vrnd);
        val_time(s, 1);
        v.push_back(s.tolplaz.valtim(1));
    }
    EXPECT_EQ(v[0], v[1]);
    EXPECT_LT(v[1], v[2]);
    EXPECT_LT(v[2], v[3]);
    EXPECT_LT(v[3], v[4]);
    EXPECT_EQ(v[4], v[5]);
    // A class mean of 0: every trip of the class gets 0.
    s.tolplaz.sectol(4, 1) = 0.0f;
    trip(s, 3, 1, 2, 4, 9000);
    s.tolplaz.valtim(3) = 99.0f;
    val_time(s, 3);
    EXPECT_EQ(s.tolplaz.valtim(3), 0.0f);
}

// The master file refuses every routing method whose trips would have no
// path source, naming the class and the method: every method 1 to 10 runs,
// and methods 6 and 7 need the file of their external trees (slots 8 and 9),
// which every slot `none` below leaves out.
TEST(RoutingMethods, MasterFileRefusesEveryMethodWithoutAPathSource) {
    struct Case {
        int  method;
        bool refused;
    };
    const std::vector<Case> cases = {{-2, true}, {0, true},   {1, false}, {2, false}, {3, false},
                                     {4, false}, {5, false},  {6, true},  {7, true},  {8, false},
                                     {9, false}, {10, false}, {11, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        auto        s = support::logged_sim();
        std::string text = "Routing methods\n600  0  0  3  0\n";
        text += "2  2  " + std::to_string(c.method) + "  2  2\n";
        for (int col = 1; col <= 6; ++col) text += "0  0  0  0  0\n";
        text += "0  0  0  0  0\ninput\\*\noutput\\*\n";
        for (int k = 1; k <= kMasterSlots; ++k) text += "none\n";
        s->units.put_file("m.vlm", text);
        s->master.mastfile = "m.vlm";
        readdata(*s);
        const std::string log = s->units.file_text("runerr.out");
        const bool        said = contains(log, " Vehicle class           3  uses routing method");
        EXPECT_EQ(said, c.refused) << log;
        if (c.refused) {
            EXPECT_TRUE(contains(log, " Master File Error       110012")) << log;
            EXPECT_EQ(s->errcount.errt1, 1);
        }
    }
}

} // namespace
} // namespace velm
