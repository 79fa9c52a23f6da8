// The path store: blocks with their slack, tracing order, exhaustion of the
// store, clearing, the remaining path of a trip, and the paths file.
#include "core/driver/errors.h"
#include "core/routing/path_store.h"
#include "routing/paths_fixture.h"

#include <array>
#include <gtest/gtest.h>
#include <numeric>
#include <sstream>
#include <utility>

namespace velm {
namespace {

using namespace testing_paths;
using testing_routing::contains;
using testing_routing::lines_of;

// A chain of n links from zone 1 to zone 2 (links 1..n), stored tree 1 of
// class 1 along it.
struct Chain {
    std::unique_ptr<RouteNet> net;
    Sim*                      s = nullptr;
    std::vector<int>          links;

    explicit Chain(int n) {
        std::string text = "node 1 0 0 1 -1\nnode 2 9 0 1 -2\n";
        for (int i = 1; i < n; ++i) text += "node " + std::to_string(410 + i) + " 1 0 4 0\n";
        for (int i = 1; i <= n; ++i) {
            const int from = i == 1 ? 1 : 409 + i, to = i == n ? 2 : 410 + i;
            text += "link " + std::to_string(i) + " " + std::to_string(from) + " " +
                    std::to_string(to) + " 10 0.1 0\n";
        }
        net = std::make_unique<RouteNet>(text);
        s = &net->s;
        s->units.set_console([](std::string_view) {});
        stored_tree_routing(*s);
        links.resize(static_cast<std::size_t>(n));
        std::iota(links.begin(), links.end(), 1);
        stored_path(*s, 1, 2, 1, links);
    }
};

TEST(PathStore, BlockHoldsThePathAndAMarginWithinItsRoom) {
    struct Case {
        int links, room, margin;
    };
    // Room max(45, 1 + 0.1 n): 45 up to 449 links, then one more per ten.
    // The block holds 1 + n / 16 spare entries.
    for (const Case c : {Case{10, 45, 1}, Case{449, 45, 29}, Case{450, 46, 29}, Case{500, 51, 32},
                         Case{100, 45, 7}}) {
        SCOPED_TRACE(c.links);
        Chain ch(c.links);
        Sim&  s = *ch.s;
        trip(s, 1, 1, 2, 1, 0);
        trip(s, 2, 1, 2, 1, 0);
        tr_tree(s, 0, 0, 0);
        tr_tree(s, 2, 2, 0); // trip 2 first: blocks go in tracing order
        tr_tree(s, 1, 2, 0);
        const auto& st = s.vehtre;
        EXPECT_EQ(stored_links(s, 1), ch.links);
        EXPECT_EQ(stored_links(s, 2), ch.links);
        EXPECT_EQ(st.tre_ind(2, 1), 1);
        EXPECT_EQ(st.tre_ind(2, 2), c.links);
        EXPECT_EQ(st.tre_ind(2, 3) - st.tre_ind(2, 2), c.room);
        EXPECT_EQ(st.tre_ind(2, 5) - st.tre_ind(2, 2), std::min(c.room, c.margin));
        EXPECT_EQ(st.tre_ind(1, 1), st.tre_ind(2, 5) + 1);
        EXPECT_EQ(st.nxtfre, st.tre_ind(1, 5) + 1);
        EXPECT_EQ(st.trecar, 2);
        EXPECT_EQ(st.trelst(1, 1), 2);
        EXPECT_EQ(st.trelst(2, 1), 1);
        EXPECT_EQ(st.trelst(1, 2), 2);
        EXPECT_EQ(st.trelst(2, 2), 1);
    }
}

// A trip whose block must hold entries past its end moves to the end of the
// store with its links and forecast times; one that fits stays; trips growing
// in turn each keep their own path.
TEST(PathStore, BlocksMoveWhenAPathOutgrowsThem) {
    struct Grow {
        int car, extra; // entries wanted past the trip's current path end
    };
    struct Case {
        const char*       what;
        std::vector<Grow> steps;
    };
    const std::vector<Case> cases = {
        {"one entry past the block", {{1, 4}}},
        {"within the margin", {{2, 3}}},
        {"shrinking", {{1, -5}}},
        {"to the end of its room", {{3, 45}}},
        {"interleaved", {{1, 10}, {2, 4}, {3, 30}, {1, 20}, {2, 20}, {3, 44}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Chain ch(10);
        Sim&  s = *ch.s;
        auto& st = s.vehtre;
        for (int car = 1; car <= 3; ++car) trip(s, car, 1, 2, 1, 0);
        tr_tree(s, 0, 0, 0);
        // Each trip's own links and forecast times, told apart by trip.
        std::vector<std::vector<std::array<int, 3>>> want(4);
        for (int car = 1; car <= 3; ++car) {
            tr_tree(s, car, 2, 0);
            for (int e = st.tre_ind(car, 1); e <= st.tre_ind(car, 2); ++e) {
                const int i = e - st.tre_ind(car, 1);
                want[static_cast<std::size_t>(car)].push_back(
                    {100 * car + i, 1000 * car + i, 2000 * car + i});
                for (int col = 1; col <= 3; ++col)
                    st.vehtre(e, col) = want[static_cast<std::size_t>(car)].back()[col - 1];
            }
        }
        for (const Grow g : c.steps) {
            const int first = st.tre_ind(g.car, 1), last = st.tre_ind(g.car, 2);
            const int room = st.tre_ind(g.car, 3) - first, block_end = st.tre_ind(g.car, 5);
            const int wanted = last + g.extra;
            const int free_before = st.nxtfre;
            ASSERT_TRUE(routing::hold_entries(s, g.car, wanted));
            const int moved = st.tre_ind(g.car, 1) - first;
            EXPECT_EQ(moved != 0, wanted > block_end);
            if (moved != 0)
                EXPECT_EQ(st.tre_ind(g.car, 1), free_before);
            else
                EXPECT_EQ(st.nxtfre, free_before);
            EXPECT_EQ(st.tre_ind(g.car, 2), last + moved);
            EXPECT_EQ(st.tre_ind(g.car, 3) - st.tre_ind(g.car, 1), room);
            EXPECT_GE(st.tre_ind(g.car, 5), wanted + moved);
            EXPECT_LE(st.tre_ind(g.car, 5), st.tre_ind(g.car, 3));
            EXPECT_LT(st.tre_ind(g.car, 5), st.nxtfre);
        }
        for (int car = 1; car <= 3; ++car) {
            SCOPED_TRACE(car);
            std::vector<std::array<int, 3>> got;
            for (int e = st.tre_ind(car, 1); e <= st.tre_ind(car, 2); ++e)
                got.push_back({st.vehtre(e, 1), st.vehtre(e, 2), st.vehtre(e, 3)});
            EXPECT_EQ(got, want[static_cast<std::size_t>(car)]);
        }
    }
}

// A block that must move but finds no room at the end of the store stays as
// it was, and the caller hears of it.
TEST(PathStore, BlockThatCannotMoveStaysAsItWas) {
    Chain ch(10);
    Sim&  s = *ch.s;
    auto& st = s.vehtre;
    trip(s, 1, 1, 2, 1, 0);
    tr_tree(s, 0, 0, 0);
    tr_tree(s, 1, 2, 0);
    const auto before = [&] {
        std::vector<int> v;
        for (int c = 1; c <= 5; ++c) v.push_back(st.tre_ind(1, c));
        v.push_back(st.nxtfre);
        return v;
    }();
    const int wanted = st.tre_ind(1, 5) + 1;
    const int needed = wanted - st.tre_ind(1, 1) + 1;
    st.nxtfre = kMaxPathEntries - needed - routing::path_margin(needed) + 2; // one short
    const int free_at = st.nxtfre;
    EXPECT_FALSE(routing::hold_entries(s, 1, wanted));
    EXPECT_EQ(st.nxtfre, free_at);
    for (int c = 1; c <= 5; ++c)
        EXPECT_EQ(st.tre_ind(1, c), before[static_cast<std::size_t>(c - 1)]);
    EXPECT_EQ(stored_links(s, 1), ch.links);
    st.nxtfre -= 1; // now it just fits
    EXPECT_TRUE(routing::hold_entries(s, 1, wanted));
    EXPECT_EQ(st.tre_ind(1, 1), free_at - 1);
    EXPECT_EQ(st.tre_ind(1, 5), kMaxPathEntries);
    EXPECT_EQ(stored_links(s, 1), ch.links);
}

TEST(PathStore, FullStoreIsFatal) {
    Chain ch(10);
    Sim&  s = *ch.s;
    trip(s, 1, 1, 2, 1, 0);
    trip(s, 2, 1, 2, 1, 0);
    // Room for one longest path of 4487 links and one entry more is left.
    s.vehtre.nxtfre = kMaxPathEntries - kMaxLinks - 1;
    tr_tree(s, 1, 2, 0);
    EXPECT_EQ(stored_links(s, 1), ch.links);
    EXPECT_EQ(s.errcount.errt1, 0);
    s.vehtre.nxtfre = kMaxPathEntries - kMaxLinks;
    EXPECT_THROW(tr_tree(s, 2, 2, 0), FatalRunError);
    EXPECT_EQ(s.errcount.errt1, 1);
    const std::string log = ch.net->log();
    EXPECT_TRUE(contains(log, " Error in path tracing- vehicle:           2\n"));
    EXPECT_TRUE(contains(log, " array space for  mtrl=    39000000\n"));
    EXPECT_TRUE(contains(log, " is insufficient\n"));
    EXPECT_EQ(s.vehtre.tre_ind(2, 1), 0);
}

TEST(PathStore, ClearingForgetsEveryBlock) {
    Chain ch(10);
    Sim&  s = *ch.s;
    for (int car = 1; car <= 3; ++car) {
        trip(s, car, 1, 2, 1, 0);
        tr_tree(s, car, 2, 0);
    }
    const int used = s.vehtre.nxtfre - 1;
    tr_tree(s, 0, 0, 0);
    const auto& st = s.vehtre;
    EXPECT_EQ(st.nxtfre, 1);
    EXPECT_EQ(st.trecar, 0);
    for (int e = 1; e <= used; ++e) {
        EXPECT_EQ(st.vehtre(e, 1), 0) << e;
        EXPECT_EQ(st.vehtre(e, 2), 0) << e;
    }
    for (int car = 1; car <= 3; ++car) {
        EXPECT_EQ(st.tre_ind(car, 1), 0);
        EXPECT_EQ(st.trelst(car, 2), 0);
    }
    tr_tree(s, 3, 2, 0);
    EXPECT_EQ(st.tre_ind(3, 1), 1);
}

// Option switch 44 writes the two trace lines of one trip, or of every trip
// when negative; 0 writes none.
TEST(PathStore, TraceSwitchNamesTheTripsLogged) {
    struct Case {
        int              which;
        std::vector<int> logged;
    };
    for (const Case& c : {Case{3, {3}}, Case{-1, {1, 2, 3, 4}}, Case{0, {}}, Case{7, {}}}) {
        SCOPED_TRACE(c.which);
        Chain ch(10);
        Sim&  s = *ch.s;
        s.errflg.errchk[44] = c.which;
        for (int car = 1; car <= 4; ++car) trip(s, car, 1, 2, 1, 0);
        tr_tree(s, 0, 0, 0);
        for (int car = 1; car <= 4; ++car) tr_tree(s, car, 2, 5 * car);
        const std::string log = ch.net->log();
        // The numbers after each label: tr_tree1-1 time, trip, request, start
        // link, first entry; tr_tree2-1 trip, destination link, links stored,
        // first, last and last reserved entry.
        std::vector<std::vector<int>> first, second;
        for (const auto& l : lines_of(log)) {
            for (auto [label, into] :
                 {std::pair{" tr_tree1-1:", &first}, std::pair{" tr_tree2-1:", &second}}) {
                if (l.rfind(label, 0) != 0) continue;
                std::istringstream in(l.substr(12));
                std::vector<int>   v;
                for (int x; in >> x;) v.push_back(x);
                into->push_back(v);
            }
        }
        ASSERT_EQ(first.size(), c.logged.size()) << log;
        ASSERT_EQ(second.size(), c.logged.size()) << log;
        const auto& st = s.vehtre;
        for (std::size_t k = 0; k < c.logged.size(); ++k) {
            const int car = c.logged[k];
            EXPECT_EQ(first[k], (std::vector<int>{5 * car, car, 2, -1, st.tre_ind(car, 1)}));
            ASSERT_EQ(second[k].size(), 6u);
            EXPECT_EQ(second[k][0], car);
            EXPECT_EQ(second[k][2], 10);
            EXPECT_EQ(second[k][3], st.tre_ind(car, 1));
            EXPECT_EQ(second[k][4], st.tre_ind(car, 2));
            EXPECT_EQ(second[k][5], st.tre_ind(car, 3));
        }
        // Tracing itself is the same with or without the lines.
        EXPECT_EQ(stored_links(s, 3), ch.links);
    }
}

struct Remainder : ::testing::Test {
    RouteNet net{paths_fixture("diversion.net")};
    Sim&     s = net.s;
    void     SetUp() override {
        stored_tree_routing(s);
        stored_path(s, 1, 2, 1, {1, 2, 3, 4, 8});
        trip(s, 1, 1, 2, 1, 0);
        tr_tree(s, 0, 0, 0);
        tr_tree(s, 1, 2, 0);
        // From now on the tree leads around by 5, 6, 7.
        stored_path(s, 1, 2, 1, {1, 2, 5, 6, 7, 8});
    }
    std::vector<int> rest(int position, int ind) {
        s.vehtre.tre_ind(1, 4) = position;
        std::vector<int> buf(kMaxPathLinks);
        int              n = 0;
        rem_path(s, buf, n, 1, ind, 0);
        buf.resize(static_cast<std::size_t>(n));
        return buf;
    }
};

TEST_F(Remainder, StoredAndNewlyTracedRemainders) {
    struct Case {
        int              position; // of the current link in the block
        std::vector<int> stored, traced;
    };
    const std::vector<Case> cases = {
        {0, {1, 2, 3, 4, 8}, {1, 2, 5, 6, 7, 8}}, // before entry: from the first link
        {1, {2, 3, 4, 8}, {2, 5, 6, 7, 8}},       // the new path keeps the next link
        {2, {3, 4, 8}, {3, 4, 8}},                // the tree still leads on from 3
        {3, {4, 8}, {4, 8}},                      // two links left: as stored
        {4, {8}, {8}},
        {5, {8}, {8}}, // on the last link
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.position);
        EXPECT_EQ(rest(c.position, 1), c.stored);
        EXPECT_EQ(rest(c.position, 2), c.traced);
    }
    // A trip without a block has no remainder.
    trip(s, 2, 1, 2, 1, 0);
    std::vector<int> buf(kMaxPathLinks);
    int              n = 9;
    rem_path(s, buf, n, 2, 1, 0);
    EXPECT_EQ(n, 0);
}

// The paths file of slot 26, written at the end of the run.
struct PathsFile : ::testing::Test {
    std::unique_ptr<Chain> ch = std::make_unique<Chain>(25);
    Sim&                   s = *ch->s;
    void                   SetUp() override {
        stored_path(s, 11, 2, 1, ch->links); // class 3's first tree
        trip(s, 1, 1, 2, 1, 0, 10.0f);
        trip(s, 2, 1, 2, 3, 0, 20.0f);
        tr_tree(s, 0, 0, 0);
        tr_tree(s, 2, 2, 20);
        tr_tree(s, 1, 2, 10);
        s.vehicle.strtrp(1, 2) = 12.0f; // entered at 12 s and arrived at 95.5 s
        s.vehicle.dept(1) = -1.0f;
        s.vehicle.arrt(1) = 95.5f;
        s.vehicle.strtrp(2, 2) = 23.0f; // still on the network
        s.vehicle.dept(2) = 140.0f;
        s.vehicle.arrt(2) = 130.0f;
    }
};

TEST_F(PathsFile, ListsEveryTracedTripInTripOrder) {
    s.filenam.files(26) = "paths.out";
    s.units.put_file("paths.out", "an earlier run's paths\n");
    tr_tree(s, 0, 10, 0);
    const std::string links1 = "     1     2     3     4     5     6     7     8     9    10"
                               "    11    12    13    14    15    16    17    18    19    20";
    const std::string links2 = "    21    22    23    24    25";
    const std::vector<std::string> want = {
        "  Individual Vehicle Paths ",
        "           2",
        "           1     1     1     2    25        10.0        12.0        85.5",
        links1,
        links2,
        "           2     3     1     2    25        20.0        23.0        -1.0",
        links1,
        links2,
    };
    EXPECT_EQ(lines_of(s.units.file_text("paths.out")), want);
    EXPECT_TRUE(contains(ch->net->summary(),
                         "    Individual Vehicle Paths:paths.out" + std::string(51, ' ') + "\n"));
    EXPECT_FALSE(s.units.is_open(kUnitInput));
}

TEST_F(PathsFile, GoesToTheOutputDirectory) {
    s.filenam.files(26) = "paths.out";
    s.filenam.path2 = "out/";
    s.pathnam.lpath[2] = 4;
    tr_tree(s, 0, 10, 0);
    EXPECT_EQ(lines_of(s.units.file_text("out/paths.out")).size(), 8u);
}

TEST_F(PathsFile, NoneWritesNothing) {
    for (const char* name : {"none", "NONE"}) {
        s.filenam.files(26) = name;
        tr_tree(s, 0, 10, 0);
        EXPECT_FALSE(s.units.exists(name));
        EXPECT_FALSE(contains(ch->net->summary(), "Individual Vehicle Paths"));
    }
    // The store works as usual.
    EXPECT_EQ(stored_links(s, 2), ch->links);
}

} // namespace
} // namespace velm
