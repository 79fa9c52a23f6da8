// The link service order rebuilt each second: eligible links node by node,
// control groups, the draws of stream 5.
#include "movement_fixture.h"

#include "core/driver/random.h"
#include "core/movement/service_order.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace velm {
namespace {

using testing_movement::MoveRun;

constexpr int kNow = 100; // s, the rebuild second

struct OrderRun : MoveRun {
    // Link l ends at node, controlled by code; with a head trip due at its end
    // at `due` s (no vehicle when due < 0).
    void approach(int node, int l, int code, float due) {
        link(l, 1);
        s.graph1.x(node) = 1.0f;
        s.set2.mnodenum = std::max(s.set2.mnodenum, node);
        auto& g = s.graph1;
        g.nlinto(node) += 1;
        g.linto(node, g.nlinto(node)) = l;
        s.link3.tsignal(l) = code;
        if (due < 0.0f) return;
        const int car = 1000 + l;
        place(car, l, 1, 100.0f);
        s.vehicle.dept(car) = due;
    }
    std::vector<int> order() {
        int nlact = -1;
        sortlist(s, kNow, s.set2.mnodenum, nlact);
        std::vector<int> out;
        for (int k = 1; k <= nlact; ++k) out.push_back(s.graph1.list(k));
        return out;
    }
};

// Node 5 with a stop, an uncontrolled, a signal (right turns on red) and a
// yield approach, each with a head due now.
struct MixedControls : OrderRun {
    MixedControls() {
        approach(5, 1, kStopSignCode, kNow);
        approach(5, 2, 0, kNow);
        approach(5, 3, -12, kNow);
        approach(5, 4, kYieldSignCode, kNow);
    }
    std::vector<int> order_from(int seed) {
        s.rndnum.seed[5] = seed;
        return order();
    }
};

// The rebuild reads the approaches and changes only the service list and
// stream 5, so one network serves many draws: after other draws it orders as
// a fresh one does.
TEST(Sortlist, RebuildLeavesTheNetworkAsItFoundIt) {
    MixedControls reused;
    for (int seed = 1; seed <= 40; ++seed) reused.order_from(seed);
    for (const int seed : {1, 8, 393}) {
        MixedControls fresh;
        EXPECT_EQ(reused.order_from(seed), fresh.order_from(seed)) << "seed " << seed;
    }
}

TEST(Sortlist, StopAndYieldApproachesComeAfterSignalAndUncontrolledOnesWhateverTheDraws) {
    std::set<std::vector<int>> firsts, seconds;
    MixedControls              r;
    for (int seed = 1; seed <= 400; seed += 7) {
        const auto o = r.order_from(seed);
        ASSERT_EQ(o.size(), 4u) << seed;
        const std::set<int> head(o.begin(), o.begin() + 2), tail(o.begin() + 2, o.end());
        EXPECT_EQ(head, (std::set<int>{2, 3})) << "seed " << seed;
        EXPECT_EQ(tail, (std::set<int>{1, 4})) << "seed " << seed;
        firsts.insert({o[0], o[1]});
        seconds.insert({o[2], o[3]});
    }
    // Neither group has a fixed order.
    EXPECT_EQ(firsts.size(), 2u);
    EXPECT_EQ(seconds.size(), 2u);
}

TEST(Sortlist, PicksFollowTheDrawsOfStream5) {
    // Stream 5 from seed 1 draws 0.00515, 0.99471, 0.97952; from 193 the last
    // two of these. With r links left a draw u takes the (1 + trunc(u r))-th.
    struct Case {
        int              seed;
        std::vector<int> order;
    };
    for (const auto& c : std::vector<Case>{{1, {1, 3, 2}}, {193, {3, 2, 1}}}) {
        OrderRun r;
        for (int l = 1; l <= 3; ++l) r.approach(4, l, 7, kNow);
        r.s.rndnum.seed[5] = c.seed;
        EXPECT_EQ(r.order(), c.order) << "seed " << c.seed;
    }
}

TEST(Sortlist, ASingleEligibleLinkStillTakesOneDraw) {
    OrderRun r;
    r.approach(3, 1, 0, kNow);
    r.approach(3, 2, 0, -1.0f); // empty
    r.s.rndnum.seed[5] = 1234;
    EXPECT_EQ(r.order(), (std::vector<int>{1}));
    int   one_step = 1234;
    float u = 0.0f;
    random(one_step, u);
    EXPECT_EQ(r.s.rndnum.seed[5], one_step);
}

TEST(Sortlist, OnlyHeadsDueWithinTwoSecondsAreListed) {
    struct Case {
        float due;
        bool  listed;
    };
    const std::vector<Case> cases = {
        {kNow + 2.5f, false}, {kNow + 2.01f, false}, {kNow + 2.0f, true},
        {kNow + 0.5f, true},  {kNow - 30.0f, true},
    };
    for (const auto& c : cases) {
        OrderRun r;
        r.approach(2, 1, 0, c.due);
        // A vehicle behind the head that is due at once does not count.
        r.place(77, 1, 1, 50.0f);
        r.s.vehicle.dept(77) = kNow;
        const auto o = r.order();
        EXPECT_EQ(!o.empty(), c.listed) << "due " << c.due;
    }
}

TEST(Sortlist, NodesInAscendingNumberAndOnlyCodedNodes) {
    OrderRun r;
    r.approach(7, 1, 0, kNow);
    r.approach(3, 2, 0, kNow);
    r.approach(5, 3, 0, kNow);
    r.approach(6, 4, 0, kNow);
    r.s.graph1.x(5) = 0.0f;          // a node at x = 0 is not served
    r.s.graph1.x(6) = kNodeNotCoded; // nor one that was not coded
    EXPECT_EQ(r.order(), (std::vector<int>{2, 1}));

    r.s.set2.mnodenum = 6; // node 7 lies beyond the highest node number
    EXPECT_EQ(r.order(), (std::vector<int>{2}));
}

TEST(Sortlist, AnEmptyNetworkGivesAnEmptyList) {
    OrderRun r;
    r.approach(2, 1, 0, -1.0f);
    r.approach(2, 2, kStopSignCode, -1.0f);
    const int seed = r.s.rndnum.seed[5];
    EXPECT_TRUE(r.order().empty());
    EXPECT_EQ(r.s.rndnum.seed[5], seed);
}

} // namespace
} // namespace velm
