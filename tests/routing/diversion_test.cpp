// En-route diversion: the decision codes of the remainder comparison, the
// replacement within the block, the cost terms, and the periodic check.
#include "routing/paths_fixture.h"

#include <gtest/gtest.h>

namespace velm {
namespace {

using namespace testing_paths;
using testing_routing::contains;
using testing_routing::lines_of;

const std::vector<int> kStraight{1, 2, 3, 4, 8};
const std::vector<int> kAround{1, 2, 5, 6, 7, 8};

// Trip 1 of class 1 traced straight on and now on its first link (slot 4);
// the stored tree has since turned to lead around by 5, 6, 7.
struct Diversion : ::testing::Test {
    RouteNet net{paths_fixture("diversion.net")};
    Sim&     s = net.s;
    void     SetUp() override {
        stored_tree_routing(s);
        stored_path(s, 1, 2, 1, kStraight);
        trip(s, 1, 1, 2, 1, 0);
        tr_tree(s, 0, 0, 0);
        tr_tree(s, 1, 2, 0);
        s.vehindx.vehid(1) = 4;
        s.vehicle.vehdiv(4) = 0;
        s.vehtre.tre_ind(1, 4) = 1;
        stored_path(s, 1, 2, 1, kAround);
        times({10, 10, 40, 40, 22, 22, 22, 10});
    }
    // Measured times of links 1..8 for class 1.
    void times(const std::vector<float>& tt) {
        for (std::size_t l = 0; l < tt.size(); ++l)
            s.delay.ttlink(static_cast<int>(l + 1), 1) = tt[l];
    }
    int compare(int iflag2, float imp1 = 15.0f, float imp2 = 0.1f) {
        int iflag = -1;
        comppath(s, 1, 100, iflag, iflag2, 1, imp1, imp2);
        return iflag;
    }
};

TEST_F(Diversion, DecisionCodes) {
    struct Case {
        float              old3, old4; // times of 3 and 4: old remainder 2, 3, 4, 8
        std::vector<float> around;     // times of 5, 6, 7: new remainder 2, 5, 6, 7, 8
        int                iflag2, code;
    };
    const std::vector<Case> cases = {
        {40, 40, {22, 22, 22}, 1, 4}, // 100 against 86: saves 14 s only
        {90, 90, {54, 55, 55}, 1, 3}, // 200 against 184: 16 s but 8 %
        {90, 90, {50, 50, 50}, 1, 2}, // 200 against 170: switch
        {40, 40, {30, 30, 20}, 1, 5}, // equal costs: the old one is not worse
        {40, 40, {40, 40, 40}, 1, 5}, // the new one is worse
        {40, 40, {40, 40, 40}, 2, 1}, // forced
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.old3 << " " << c.around[0] << " " << c.iflag2);
        SetUp();
        times({10, 10, c.old3, c.old4, c.around[0], c.around[1], c.around[2], 10});
        EXPECT_EQ(compare(c.iflag2), c.code);
        const bool switched = c.code == 1 || c.code == 2;
        EXPECT_EQ(stored_links(s, 1), switched ? kAround : kStraight);
        EXPECT_EQ(s.vehicle.vehdiv(4), switched ? 1 : 0);
    }
}

TEST_F(Diversion, ReplacementRewritesTheRemainderInPlace) {
    const auto& st = s.vehtre;
    const int   first = st.tre_ind(1, 1), reserved = st.tre_ind(1, 3);
    EXPECT_EQ(compare(2), 1);
    EXPECT_EQ(stored_links(s, 1), kAround);
    EXPECT_EQ(st.tre_ind(1, 1), first); // the block never moves
    EXPECT_EQ(st.tre_ind(1, 2), first + 5);
    EXPECT_EQ(st.tre_ind(1, 3), reserved);
    // Back again: the remainder shrinks by one link.
    stored_path(s, 1, 2, 1, kStraight);
    EXPECT_EQ(compare(2), 1);
    EXPECT_EQ(stored_links(s, 1), kStraight);
    EXPECT_EQ(s.vehicle.vehdiv(4), 2);
}

// The forecast counted the trip into each link of its path at the entry
// time it recorded (70 s apart here, in 60-s intervals); replacing the
// remainder takes the counts of the links left off, keeps those of the links
// both remainders share from their start, and a second replacement takes
// nothing off links the trip was never counted on.
TEST_F(Diversion, ReplacementTakesTheOldInflowCountsOff) {
    auto&     st = s.vehtre;
    auto&     pv = s.trees.pre_vol;
    const int first = st.tre_ind(1, 1);
    s.trees.ftint = 60;
    const auto interval = [](int i) { return 70 * i / 60 + 1; };
    for (int i = 0; i < static_cast<int>(kStraight.size()); ++i) {
        st.vehtre(first + i, 2) = 10 * 70 * i;
        st.vehtre(first + i, 3) = 10 * 70 * (i + 1);
        inc_flw(s, 1, kStraight[static_cast<std::size_t>(i)], interval(i), 1, 1, 0);
    }
    // Another trip's count on link 3 stays.
    inc_flw(s, 2, 3, interval(2), 1, 1, 0);
    ASSERT_EQ(compare(2), 1);
    ASSERT_EQ(stored_links(s, 1), kAround);
    // Links 1 (behind the vehicle) and 2 (the next link, in both remainders).
    EXPECT_EQ(pv(1, interval(0), 1), 1.0f);
    EXPECT_EQ(pv(2, interval(1), 1), 1.0f);
    EXPECT_EQ(st.vehtre(first + 1, 2), 700);
    // Links 3, 4 and 8 of the old remainder lose the trip's count.
    EXPECT_EQ(pv(3, interval(2), 1), 1.0f);
    EXPECT_EQ(pv(4, interval(3), 1), 0.0f);
    EXPECT_EQ(pv(8, interval(4), 1), 0.0f);
    for (int e = first + 2; e <= st.tre_ind(1, 2); ++e) EXPECT_EQ(st.vehtre(e, 2), -1) << e;

    // Back again: links 5, 6, 7 were never counted, so nothing goes negative.
    stored_path(s, 1, 2, 1, kStraight);
    ASSERT_EQ(compare(2), 1);
    for (int l = 1; l <= 8; ++l)
        for (int k = 1; k <= 10; ++k) EXPECT_GE(pv(l, k, 1), 0.0f) << l << " " << k;
    EXPECT_EQ(pv(3, interval(2), 1), 1.0f);
    EXPECT_EQ(pv(2, interval(1), 1), 1.0f);
}

TEST_F(Diversion, IdenticalRemainderIsNeverRewritten) {
    stored_path(s, 1, 2, 1, kStraight);
    const int last = s.vehtre.tre_ind(1, 2);
    EXPECT_EQ(compare(2), 1); // forced, but nothing changes
    EXPECT_EQ(s.vehicle.vehdiv(4), 0);
    EXPECT_EQ(s.vehtre.tre_ind(1, 2), last);
    EXPECT_EQ(stored_links(s, 1), kStraight);
}

TEST_F(Diversion, RemainderThatDoesNotFitIsCountedButSkipped) {
    auto&     st = s.vehtre;
    const int istart = st.tre_ind(1, 1) + st.tre_ind(1, 4);
    // The new remainder has 5 links: the block must reach 5 entries past istart.
    st.tre_ind(1, 3) = istart + 4;
    EXPECT_EQ(compare(2), 1);
    EXPECT_EQ(stored_links(s, 1), kStraight);
    EXPECT_EQ(s.vehicle.vehdiv(4), 1);
    EXPECT_TRUE(contains(net.log(), " Path replacement skipped - trip           1"));
    st.tre_ind(1, 3) = istart + 5;
    EXPECT_EQ(compare(2), 1);
    EXPECT_EQ(stored_links(s, 1), kAround);
    EXPECT_EQ(s.vehicle.vehdiv(4), 2);
}

// A block holding only its path moves to the end of the store for a longer
// remainder; the store's next trip keeps its own path.
TEST_F(Diversion, LongerRemainderMovesTheBlockWithinItsRoom) {
    auto& st = s.vehtre;
    st.tre_ind(1, 5) = st.tre_ind(1, 2); // no spare entry in the block
    const int first = st.tre_ind(1, 1), room = st.tre_ind(1, 3) - first, free = st.nxtfre;
    stored_path(s, 1, 2, 1, kStraight);
    trip(s, 2, 1, 2, 1, 0);
    tr_tree(s, 2, 2, 0);
    stored_path(s, 1, 2, 1, kAround);
    EXPECT_EQ(st.tre_ind(2, 1), free);
    EXPECT_EQ(compare(2), 1);
    EXPECT_EQ(stored_links(s, 1), kAround);
    EXPECT_EQ(stored_links(s, 2), kStraight);
    EXPECT_GT(st.tre_ind(1, 1), st.tre_ind(2, 2));
    EXPECT_EQ(st.tre_ind(1, 3) - st.tre_ind(1, 1), room);
    EXPECT_EQ(s.vehicle.vehdiv(4), 1);
    EXPECT_FALSE(contains(net.log(), " Path replacement skipped"));
}

TEST_F(Diversion, TollsCountThroughTheValueOfTimeOnARunningClock) {
    times({10, 10, 90, 90, 50, 50, 50, 10}); // 200 against 170 on times alone
    auto& tp = s.tolplaz;
    tp.ntolrat = tp.mtolrat = 1;
    tp.tollnk(1) = 5;
    tp.toltyp(1) = 1; // per passage
    tp.tolrat(1, 1) = 1.0f;
    // Link 5 is entered at 110 s (100 s plus the 10 s of link 2).
    tp.toltim(1, 1) = 105;
    tp.toltim(1, 2) = 115;
    // Without a value of time the toll counts nothing.
    tp.valtim(1) = 0.0f;
    EXPECT_EQ(compare(1), 2);
    // At 90 per hour the toll of 1 costs 40 s: 210 against 200.
    SetUp();
    times({10, 10, 90, 90, 50, 50, 50, 10});
    tp.valtim(1) = 90.0f;
    EXPECT_EQ(compare(1), 5);
    // A toll window the vehicle reaches only after it has passed link 5.
    tp.toltim(1, 1) = 200;
    tp.toltim(1, 2) = 300;
    EXPECT_EQ(compare(1), 2);
}

// The stored tree now leads around, but the new trace stops short of zone 2;
// being shorter it costs less, yet neither a forced nor a periodic comparison
// may take it.
TEST_F(Diversion, ARemainderThatStopsShortOfTheDestinationIsNeverTaken) {
    struct Case {
        const char* name;
        void (*cut)(Sim&);
        std::vector<int> traced; // the remainder the tree now gives
    };
    const std::vector<Case> cases = {
        {"next-link entry cleared", [](Sim& x) { x.trees.tree1l(2, 6, 1) = 0; }, {2, 5, 6}},
        {"tree leads back to a link on the path",
         [](Sim& x) { x.trees.tree1l(2, 7, 1) = 5; },
         {2, 5, 6, 7}},
        {"zone not reachable from the next link",
         [](Sim& x) { x.trees.distre(2, 7, 1) = 0; },
         {2, 5, 6}}, // last: the cut stays
    };
    const auto shortfalls = [this] {
        int n = 0;
        for (const auto& line : lines_of(net.log()))
            if (contains(line, "short of its destination")) ++n;
        return n;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        times({10, 10, 90, 90, 50, 50, 50, 10}); // the way around is much cheaper
        c.cut(s);
        ASSERT_EQ(step(s, 1, 100, 2, 3), c.traced);
        const int before = shortfalls();

        EXPECT_EQ(compare(2), 5) << "forced";
        EXPECT_EQ(compare(1), 5) << "compared";
        s.link2.nbqu(1) = 0;
        s.link2.ntqu(1) = 1;
        s.vehicle.big(1) = 1;
        s.set1.trefrq(1, 2) = 60;
        chk_enrt(s, 120);
        EXPECT_EQ(stored_links(s, 1), kStraight);
        EXPECT_EQ(s.vehicle.vehdiv(4), 0);
        EXPECT_EQ(shortfalls() - before, 3) << "one run-log line per comparison";
    }
}

TEST_F(Diversion, PeriodicCheckOnlyForDueClasses) {
    // Trips 1 (class 1) and 2 (class 2) on link 1, both with the same choice.
    stored_path(s, 6, 2, 1, kStraight);
    trip(s, 2, 1, 2, 2, 0);
    tr_tree(s, 2, 2, 0);
    stored_path(s, 6, 2, 1, kAround);
    s.vehindx.vehid(2) = 5;
    s.vehtre.tre_ind(2, 4) = 1;
    for (int l = 1; l <= 8; ++l) s.delay.ttlink(l, 2) = s.delay.ttlink(l, 1);
    times({10, 10, 90, 90, 50, 50, 50, 10});
    for (int l = 1; l <= 8; ++l) s.delay.ttlink(l, 2) = s.delay.ttlink(l, 1);
    s.link2.nbqu(1) = 0;
    s.link2.ntqu(1) = 2;
    s.vehicle.big(1) = 1;
    s.vehicle.big(2) = 2;
    s.set1.trefrq(1, 2) = 60;
    s.set1.trefrq(2, 2) = 0; // never re-routed periodically

    chk_enrt(s, 90); // not a multiple of 60
    EXPECT_EQ(s.vehicle.vehdiv(4), 0);
    chk_enrt(s, 120);
    EXPECT_EQ(s.vehicle.vehdiv(4), 1);
    EXPECT_EQ(stored_links(s, 1), kAround);
    EXPECT_EQ(s.vehicle.vehdiv(5), 0);
    EXPECT_EQ(stored_links(s, 2), kStraight);
}

} // namespace
} // namespace velm
