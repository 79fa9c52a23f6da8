// Class routing trees: the sorted candidate list, paths on a grid whose
// cheapest routes are known by hand, ties, forbidden movements, perception
// error and the stored trees.
#include "core/driver/random.h"
#include "core/routing/routing.h"
#include "core/routing/trees.h"
#include "route_fixture.h"

#include <gtest/gtest.h>

#include <random>

namespace velm {
namespace {

using testing_routing::fixture;
using testing_routing::RouteNet;

// The node sequence of a link path (0 marks a walk that did not end at the
// destination).
std::vector<int> nodes_of(const Sim& s, const std::vector<int>& links) {
    std::vector<int> out;
    for (int l : links) {
        if (l <= 0) {
            out.push_back(0);
            break;
        }
        if (out.empty()) out.push_back(s.link1.frnode(l));
        out.push_back(s.link1.tonode(l));
    }
    return out;
}

void build(RouteNet& n, int vt, float rndfac = 0.0f) {
    buildtree(n.s, vt, n.s.mainrun.object1, rndfac, 1, n.s.mainrun.mes);
}

// --- sorted candidate list -----------------------------------------------------

struct SortCase {
    const char*        name;
    std::vector<float> labels; // labels of links 1.., list in that order, last one new
    std::vector<int>   expect; // list after sortsta2
};

TEST(Sortsta2, RestoresOrderAfterOneAppendAndStopsAtTheFirstOrderedPairAfterASwap) {
    const SortCase cases[] = {
        {"new entry bubbles to second place", {5, 7, 9, 6}, {1, 4, 2, 3}},
        {"unsorted seeds: the scan runs to the front", {10, 3, 8}, {2, 1, 3}},
        {"an equal label stays behind", {5, 7, 7}, {1, 2, 3}},
        {"a list of one entry", {4}, {1}},
    };
    for (const auto& c : cases) {
        auto               s = std::make_unique<Sim>();
        std::vector<float> ttime{0.0f};
        std::vector<int>   stack;
        for (std::size_t i = 0; i < c.labels.size(); ++i) {
            ttime.push_back(c.labels[i]);
            stack.push_back(static_cast<int>(i) + 1);
        }
        sortsta2(*s, static_cast<int>(c.labels.size()), static_cast<int>(stack.size()), stack,
                 ttime);
        EXPECT_EQ(stack, c.expect) << c.name;
    }
}

// The builders' list must give the order of the plain backward scan after every
// append, label decrease and removal, ties and unsorted seeds included. A high
// link number leaves few bits for the list's own ordering stamps, which then
// run out and are numbered again many times over.
TEST(Sortsta2, CandidateListKeepsTheOrderOfThePlainScan) {
    constexpr int kLinks = 60; // links put on the list
    for (const int highest : {kLinks, 1 << 22})
        for (unsigned seed : {1u, 7u, 42u, 2024u}) {
            std::mt19937           rng(seed);
            auto                   s = std::make_unique<Sim>();
            std::vector<float>     lab(static_cast<std::size_t>(highest) + 1, 0.0f);
            ListStore              store;
            std::vector<int>       ref;
            routing::CandidateList list;
            list.reset(lab.data(), highest, store);
            auto on_ref = [&](int l) { return std::find(ref.begin(), ref.end(), l) != ref.end(); };
            // Unsorted seeds.
            for (int l = 1; l <= 4; ++l) {
                lab[static_cast<std::size_t>(l)] = static_cast<float>(rng() % 6);
                ref.push_back(l);
                list.append(l);
            }
            for (int step = 0; step < 3000; ++step) {
                const int op = static_cast<int>(rng() % 3);
                if (op == 0 && !ref.empty()) {
                    ASSERT_EQ(list.pop_front(), ref.front());
                    ref.erase(ref.begin());
                    continue;
                }
                const int   l = 1 + static_cast<int>(rng() % kLinks);
                const float now = lab[static_cast<std::size_t>(l)];
                if (on_ref(l)) {
                    if (now <= 0.0f) continue;
                    const float lower = now - static_cast<float>(1 + rng() % 3);
                    list.before_change(l);
                    lab[static_cast<std::size_t>(l)] = std::max(lower, 0.0f);
                    list.after_change(l);
                } else {
                    lab[static_cast<std::size_t>(l)] = static_cast<float>(rng() % 20);
                    ref.push_back(l);
                    list.append(l);
                }
                sortsta2(*s, kLinks, static_cast<int>(ref.size()), ref, lab);
                list.sort(l);
                ASSERT_EQ(list.order(), ref)
                    << "highest link " << highest << " seed " << seed << " step " << step;
            }
        }
}

// --- trees on the grid ---------------------------------------------------------

struct PathCase {
    int              dz, oz;
    std::vector<int> nodes;
    int              odtime;
};

TEST(BuildTree, GridTreesFollowTheCheapestPathsAndOdtimeIsTheirLinkCost) {
    RouteNet n(fixture("grid.net"));
    build(n, 1);
    const PathCase cases[] = {
        // 5 + 10 + 10 + 10 + 10 + 5: two connectors, the last one entered from a link.
        {1, 1, {1, 11, 12, 15, 16, 19, 2}, 50},
        {1, 3, {3, 12, 15, 16, 19, 2}, 40},
        {2, 1, {1, 11, 12, 3}, 20},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nodes_of(n.s, n.path(c.dz, c.oz, 1)), c.nodes) << c.dz << " from " << c.oz;
        EXPECT_EQ(n.s.feedback.odtime(c.oz, c.dz, 1, 1), c.odtime) << c.dz << " from " << c.oz;
    }
    // Zone 1 has a second, dearer connector with the higher link number: the
    // origin tree and the cost take the cheaper one.
    EXPECT_EQ(n.s.trees.ortree(1, 1, 1), n.link(1, 11));
    // Every link next to the destination's centroid ends the tree.
    EXPECT_EQ(n.s.trees.rgtree(1, n.link(19, 2), 1), -1);
    // Other classes are untouched.
    EXPECT_EQ(n.s.trees.ortree(1, 1, 2), 0);
}

TEST(BuildTree, ForbiddenMovementsAreNeverUsedByTheClass) {
    struct Case {
        const char*                    name;
        std::function<void(RouteNet&)> forbid;
    };
    const Case cases[] = {
        {"banned turn 11-12 into 12-15",
         [](RouteNet& n) { n.ban(n.link(11, 12), n.link(12, 15)); }},
        {"left turn without a lane", [](RouteNet& n) { n.s.link5.turnper(n.link(11, 12), 1) = 0; }},
        {"link 12-15 closed to class 2", [](RouteNet& n) { n.s.link1.hov(n.link(12, 15), 2) = 1; }},
    };
    for (const auto& c : cases) {
        RouteNet n(fixture("grid.net"));
        c.forbid(n);
        build(n, 2);
        // Without 11-12-15 the cheapest way from zone 1 leaves by the other connector.
        EXPECT_EQ(nodes_of(n.s, n.path(1, 1, 2)), (std::vector<int>{1, 14, 17, 18, 19, 2}))
            << c.name;
        EXPECT_EQ(n.s.feedback.odtime(1, 1, 2, 1), 60) << c.name;
        EXPECT_NE(n.s.trees.rgtree(1, n.link(11, 12), 2), n.link(12, 15)) << c.name;
        // Zone 3 enters at 12 and still turns into 12-15 unless the link is closed.
        const bool closed = n.s.link1.hov(n.link(12, 15), 2) == 1;
        EXPECT_EQ(n.path(1, 3, 2)[1] == n.link(12, 15), !closed) << c.name;
    }
    RouteNet n(fixture("grid.net"));
    n.s.link1.hov(n.link(12, 15), 2) = 1;
    build(n, 1); // the closure is for class 2 only
    EXPECT_EQ(nodes_of(n.s, n.path(1, 1, 1)), (std::vector<int>{1, 11, 12, 15, 16, 19, 2}));
}

// A link into the destination's centroid that is closed to the class does
// not seed the class's tree: with the only such link closed the class has no
// way to that destination, while other classes and destinations keep theirs.
TEST(BuildTree, SeedLinkClosedToTheClassIsSkipped) {
    RouteNet  n(fixture("grid.net"));
    const int last = n.link(19, 2);
    n.s.link1.hov(last, 2) = 1;
    build(n, 2);
    build(n, 1);
    const auto& tr = n.s.trees;
    EXPECT_EQ(tr.rgtree(1, last, 2), 0);
    EXPECT_EQ(tr.rgtree(1, last, 1), -1);
    for (int oz : {1, 3}) {
        EXPECT_EQ(tr.ortree(1, oz, 2), 0) << oz;
        EXPECT_NE(tr.ortree(1, oz, 1), 0) << oz;
    }
    for (int l = 1; l <= n.s.link2.mlnum; ++l)
        if (n.s.link4.llength(l) > 0.0f) {
            EXPECT_NE(tr.rgtree(1, l, 2), last) << l;
        }
    // Macro zone 2 (centroid 3) is still reached by class 2.
    EXPECT_EQ(nodes_of(n.s, n.path(2, 1, 2)), (std::vector<int>{1, 11, 12, 3}));
}

TEST(BuildTree, EqualCostsAreDecidedByTheListOrder) {
    const std::string diamond = R"(
node 1 0 0 3 0
node 2 3 0 2 -1
node 11 0.5 0 4 0
node 12 1.5 1 4 0
node 13 1.5 -1 4 0
node 14 2.5 0 4 0
link 1 1 11 5 0.05 1
link 2 11 12 10 0.1 0
link 3 11 13 10 0.1 0
link 4 12 14 10 0.1 0
link 5 13 14 10 0.1 0
link 6 14 2 5 0.05 1
)";
    for (bool reversed : {false, true}) {
        RouteNet n(diamond);
        if (reversed) std::swap(n.s.graph1.linin(6, 1), n.s.graph1.linin(6, 2));
        build(n, 1);
        // The branch labelled first keeps the tie: an equal label never replaces it.
        const std::vector<int> expect =
            reversed ? std::vector<int>{1, 11, 13, 14, 2} : std::vector<int>{1, 11, 12, 14, 2};
        EXPECT_EQ(nodes_of(n.s, n.path(1, 1, 1)), expect) << (reversed ? "reversed" : "in order");
        EXPECT_EQ(n.s.feedback.odtime(1, 1, 1, 1), 30);
    }
}

TEST(BuildTree, BiasFactorsEnterTheCostAndANegativeLabelCountsByItsSize) {
    struct Case {
        const char* name;
        int         from, to;
        float       add, mult;
        int         odtime;
    };
    const Case cases[] = {
        // 5 s more on 12-15: 55, still below the 60 of the way by 14 and 17.
        {"additive bias on 12-15", 12, 15, 5.0f, 1.0f, 55},
        {"multiplicative bias on 12-15", 12, 15, 0.0f, 1.5f, 55},
        {"bias that makes 12-15 dearer than the other way", 12, 15, 30.0f, 1.0f, 60},
        // Link 11-12: |3635 + (10 - 5000)| = 1355; connector 1360; minus one penalty.
        {"label below zero", 11, 12, -5000.0f, 1.0f, 1360 - 3600},
    };
    for (const auto& c : cases) {
        RouteNet n(fixture("grid.net"));
        n.s.link4.biasfac(n.link(c.from, c.to), 1) = c.add;
        n.s.link4.biasfac(n.link(c.from, c.to), 2) = c.mult;
        build(n, 1);
        EXPECT_EQ(n.s.feedback.odtime(1, 1, 1, 1), c.odtime) << c.name;
    }
}

TEST(BuildTree, UnreachedDestinationsLeaveZeroAndKeepEarlierEntries) {
    RouteNet n(fixture("grid.net"));
    build(n, 1);
    const int connector = n.link(19, 2);
    // Cut the destination off: nothing reaches macro zone 1 any more.
    n.s.link1.hov(connector, 1) = 1;
    build(n, 1);
    EXPECT_EQ(n.s.trees.ortree(1, 1, 1), 0);
    EXPECT_EQ(n.s.feedback.odtime(1, 1, 1, 1), 0);
    // Link entries the new build did not reach keep the earlier tree.
    EXPECT_EQ(n.s.trees.rgtree(1, n.link(16, 19), 1), connector);
    // The other macro zone is still served.
    EXPECT_EQ(n.s.feedback.odtime(1, 2, 1, 1), 20);
}

// --- perception error ------------------------------------------------------------

int seed_after(int seed, int draws) {
    float u = 0.0f;
    for (int i = 0; i < draws; ++i) random(seed, u);
    return seed;
}

TEST(BuildTree, PerceptionErrorDrawsPerDestinationAndLinkFromStreamThree) {
    RouteNet n(fixture("grid.net"));
    int      coded = 0;
    for (int l = 1; l <= n.s.link2.mlnum; ++l) coded += n.s.link4.llength(l) >= 0.0f ? 1 : 0;
    const int destinations = 2;

    const int before = n.s.rndnum.seed[3];
    build(n, 1, 0.0f);
    EXPECT_EQ(n.s.rndnum.seed[3], before) << "no error, no draws";

    auto odtimes = [&] {
        std::vector<int> v;
        for (int dz = 1; dz <= 2; ++dz)
            for (int oz : {1, 3}) v.push_back(n.s.feedback.odtime(oz, dz, 1, 1));
        return v;
    };
    build(n, 1, 0.5f);
    EXPECT_EQ(n.s.rndnum.seed[3], seed_after(before, destinations * coded));
    const auto first = odtimes();
    build(n, 1, 0.5f);
    EXPECT_EQ(n.s.rndnum.seed[3], seed_after(before, 2 * destinations * coded));
    EXPECT_NE(odtimes(), first);
    EXPECT_EQ(n.s.rndnum.seed[1], 0) << "other streams untouched";
}

TEST(Randomize, PerturbedCostsStayWithinAQuarterAndFourTimesTheCost) {
    for (float fact : {0.5f, -0.5f}) {
        RouteNet      n(fixture("grid.net"));
        Array1<float> in{"in", kMaxLinks}, out{"out", kMaxLinks};
        for (int l = 1; l <= n.s.link2.mlnum; ++l) in(l) = 10.0f * static_cast<float>(l);
        in(n.link(11, 12)) = 0.2f; // below 1 s: raised to 1, then cut to 4 x 0.2
        in(n.link(12, 11)) = 0.0f;
        out(27) = -7.0f; // link 27 is not coded: left alone
        randomize(n.s, in, out, fact);
        EXPECT_FLOAT_EQ(out(n.link(11, 12)), 0.8f) << fact;
        EXPECT_FLOAT_EQ(out(n.link(12, 11)), 0.0f) << fact;
        EXPECT_FLOAT_EQ(out(27), -7.0f) << fact;
        int differ = 0;
        for (int l = 1; l <= n.s.link2.mlnum; ++l) {
            if (n.s.link4.llength(l) < 0.0f || in(l) < 1.0f) continue;
            EXPECT_GE(out(l), std::max(1.0f, 0.25f * in(l))) << l;
            EXPECT_LE(out(l), 4.0f * in(l)) << l;
            differ += out(l) != in(l) ? 1 : 0;
        }
        EXPECT_GT(differ, 20) << fact;
    }
}

// --- stored trees ----------------------------------------------------------------

TEST(StoredTrees, TreecopyAndEqualWeightsAdvancingStreamThree) {
    RouteNet n(fixture("grid.net"));
    build(n, 2);
    treecopy(n.s, 2, 8, n.s.set2.mmazon, n.s.link2.mlnum, n.s.set2.mzones);
    for (int dz = 1; dz <= 2; ++dz)
        for (int oz : {1, 3}) EXPECT_EQ(n.stored_path(dz, oz, 8), n.path(dz, oz, 2));
    EXPECT_EQ(n.s.trees.tree1o(1, 1, 7), 0);

    const int before = n.s.rndnum.seed[3];
    setwgt(n.s, 6, 10);
    EXPECT_EQ(n.s.rndnum.seed[3], seed_after(before, 5));
    EXPECT_EQ(n.s.trees.numtree, 25);
    for (int k = 1; k <= 5; ++k) {
        EXPECT_FLOAT_EQ(n.s.trees.tree_wt(5 + k, 1), 0.2f);
        EXPECT_FLOAT_EQ(n.s.trees.tree_wt(5 + k, 2), 0.2f * static_cast<float>(k));
    }
    EXPECT_FLOAT_EQ(n.s.trees.tree_wt(1, 2), 0.0f);
}

TEST(StoredTrees, SumOdtimListsEachZoneRowOnTheRunLog) {
    RouteNet n(fixture("grid.net"));
    build(n, 1);
    sum_odtim(n.s, 1, 1);
    const std::string log = n.log();
    EXPECT_TRUE(testing_routing::has_line(log, "  odtime:           1           1"));
    // Zone 3 back to its own centroid goes round the block: 5 + 60 + 5.
    EXPECT_TRUE(testing_routing::has_line(log, "-:    1   50   20    0    0"));
    EXPECT_TRUE(testing_routing::has_line(log, "-:    3   40   70    0    0"));
}

} // namespace
} // namespace velm
