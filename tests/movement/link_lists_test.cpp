// Link vehicle lists and their per-tick indices: lane heads and ranks
// (lanpos), front-first order (srtque), side followers (vehpos2b) and entry
// space (spilback).
#include "movement_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace velm {
namespace {

using testing_movement::MoveRun;

struct Veh {
    int   car, lane;
    float pos;
};

void put(MoveRun& r, int l, const std::vector<Veh>& vs) {
    for (const auto& v : vs) r.place(v.car, l, v.lane, v.pos);
}

TEST(Lanpos, LaneHeadsAreTheFirstListedVehicleOfEachLaneAndRanksFollowTheList) {
    MoveRun r;
    r.link(1, 3);
    r.link(2, 2);
    put(r, 1, {{11, 2, 90.0f}, {12, 2, 80.0f}, {13, 3, 70.0f}});
    put(r, 2, {{21, 1, 50.0f}});
    auto& fvehlan = r.s.link2.fvehlan;
    fvehlan(r.lane_no(1, 1)) = 999; // stale heads of an earlier tick
    fvehlan(r.lane_no(2, 2)) = 999;

    lanpos(r.s, 1, 0); // link 1 only
    EXPECT_EQ(fvehlan(r.lane_no(1, 1)), 0);
    EXPECT_EQ(fvehlan(r.lane_no(1, 2)), 11);
    EXPECT_EQ(fvehlan(r.lane_no(1, 3)), 13);
    EXPECT_EQ(r.s.vehindx.vehlnk(r.vid(11)), 1);
    EXPECT_EQ(r.s.vehindx.vehlnk(r.vid(12)), 2);
    EXPECT_EQ(r.s.vehindx.vehlnk(r.vid(13)), 3);
    EXPECT_EQ(fvehlan(r.lane_no(2, 2)), 999) << "link 2 was not asked for";
    EXPECT_EQ(r.s.vehindx.vehlnk(r.vid(21)), 0);

    lanpos(r.s, -1, 0); // every link
    EXPECT_EQ(fvehlan(r.lane_no(2, 1)), 21);
    EXPECT_EQ(fvehlan(r.lane_no(2, 2)), 0);
    EXPECT_EQ(r.s.vehindx.vehlnk(r.vid(21)), 1);
}

TEST(Lanpos, SkipsLinksThatAreNotCoded) {
    MoveRun r;
    r.link(1, 1);
    put(r, 1, {{5, 1, 10.0f}});
    r.s.link4.llength(1) = kLinkNotCoded;
    lanpos(r.s, -1, 0);
    lanpos(r.s, 1, 0);
    EXPECT_EQ(r.s.link2.fvehlan(r.lane_no(1, 1)), 0);
    EXPECT_EQ(r.s.vehindx.vehlnk(r.vid(5)), 0);
}

struct SortCase {
    const char*        name;
    std::vector<float> pos;   // positions of trips 1, 2, ... in list order
    std::vector<int>   order; // trips front first afterwards
};

TEST(Srtque, SortsFrontFirstAndNeverSwapsEqualPositions) {
    const std::vector<SortCase> cases = {
        {"already in order", {90, 50, 10}, {1, 2, 3}},
        {"two at one position", {40, 40}, {1, 2}},
        {"a pair at one position passes the leader", {10, 40, 40}, {2, 3, 1}},
        {"reversed", {10, 20, 30}, {3, 2, 1}},
        {"the last vehicle overtakes everyone", {50, 40, 30, 60}, {4, 1, 2, 3}},
        {"the first vehicle falls to the back", {5, 40, 30, 20}, {2, 3, 4, 1}},
        {"ties keep their order", {30, 50, 30, 50}, {2, 4, 1, 3}},
        {"single vehicle", {12}, {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MoveRun r;
        r.link(1, 2);
        r.link(2, 1); // a neighbour block that must stay untouched
        int car = 0;
        for (float p : c.pos) {
            ++car;
            r.place(car, 1, 1 + car % 2, p);
        }
        put(r, 2, {{100, 1, 1.0f}, {101, 1, 2.0f}});
        srtque(r.s);
        EXPECT_EQ(r.trips(1), c.order);
        EXPECT_EQ(r.trips(2), (std::vector<int>{101, 100}));
    }
}

TEST(Srtque, LeavesTheListsOfLinksThatAreNotCoded) {
    MoveRun r;
    r.link(1, 1);
    put(r, 1, {{1, 1, 10.0f}, {2, 1, 20.0f}});
    r.s.link4.llength(1) = kLinkNotCoded;
    srtque(r.s);
    EXPECT_EQ(r.trips(1), (std::vector<int>{1, 2}));
}

TEST(Vehpos2b, NearestFollowerInEachSideLaneOrNoneAtTheEdges) {
    MoveRun r;
    r.link(1, 3);
    // Front first: A lane 1, B lane 2, C lane 3, D lane 1, E lane 2.
    put(r, 1, {{1, 1, 100.0f}, {2, 2, 95.0f}, {3, 3, 90.0f}, {4, 1, 80.0f}, {5, 2, 70.0f}});
    for (int car = 1; car <= 5; ++car) {
        r.s.vehicle.dstbeh(r.vid(car), 1) = 77; // stale followers
        r.s.vehicle.dstbeh(r.vid(car), 2) = 77;
    }
    vehpos2b(r.s, 0);
    struct Want {
        int car, right, left;
    };
    for (const auto& w : std::vector<Want>{{1, 0, 2}, {2, 4, 3}, {3, 5, 0}, {4, 0, 5}, {5, 0, 0}}) {
        EXPECT_EQ(r.s.vehicle.dstbeh(r.vid(w.car), 1), w.right) << "trip " << w.car;
        EXPECT_EQ(r.s.vehicle.dstbeh(r.vid(w.car), 2), w.left) << "trip " << w.car;
    }
}

TEST(Vehpos2b, ASingleLaneLinkHasNoSideFollowers) {
    MoveRun r;
    r.link(1, 1);
    put(r, 1, {{1, 1, 50.0f}, {2, 1, 40.0f}});
    r.s.vehicle.dstbeh(r.vid(1), 1) = r.s.vehicle.dstbeh(r.vid(1), 2) = 9;
    vehpos2b(r.s, 0);
    EXPECT_EQ(r.s.vehicle.dstbeh(r.vid(1), 1), 0);
    EXPECT_EQ(r.s.vehicle.dstbeh(r.vid(1), 2), 0);
}

struct SpaceCase {
    const char*      name;
    float            jam;   // jam spacing of the link, m
    std::vector<int> last;  // position of the last vehicle of each lane, m
    std::vector<int> cq;    // entry space of each lane
    int              cmaxq; // entry space of the link
};

TEST(Spilback, EntrySpaceIsTruncatedTowardZeroAndCapped) {
    const std::vector<SpaceCase> cases = {
        {"0.1 m short counts as 0", 4.1f, {4}, {0}, 0},
        {"1.5 m short gives -1", 3.5f, {2}, {0}, -1},
        {"exactly the jam spacing", 6.0f, {6}, {0}, 0},
        {"more than 9999 m", 7.0f, {12000}, {11993}, 9999},
        {"best lane decides", 3.5f, {2, 20}, {0, 16}, 16},
        {"every lane short", 7.0f, {0, 0, 3}, {0, 0, 0}, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MoveRun   r;
        const int nl = static_cast<int>(c.last.size());
        r.link(1, nl, 0.5f, 50, c.jam);
        for (int k = 1; k <= nl; ++k) {
            r.s.lanexch.lstveh(r.lane_no(1, k), 2) = c.last[static_cast<std::size_t>(k - 1)];
            r.s.lanexch.cq(r.lane_no(1, k)) = -1; // entered during the last tick
        }
        spilback(r.s);
        for (int k = 1; k <= nl; ++k)
            EXPECT_EQ(r.s.lanexch.cq(r.lane_no(1, k)), c.cq[static_cast<std::size_t>(k - 1)])
                << "lane " << k;
        EXPECT_EQ(r.s.link2.cmaxq(1), c.cmaxq);
    }
}

// The tick's order of index updates over vehicles that move, end their trips
// and have their slots renumbered: lists, lane heads and side followers hold
// trip numbers, so they stay right across the compaction.
TEST(LinkLists, IndicesStayRightAcrossTripEndsAndCompaction) {
    MoveRun r;
    auto&   s = r.s;
    r.link(1, 2);
    r.link(2, 2);
    put(r, 1, {{10, 1, 300.0f}, {11, 2, 250.0f}, {12, 1, 200.0f}, {13, 2, 150.0f}});
    put(r, 2, {{20, 2, 40.0f}, {21, 1, 30.0f}});
    // One tick of movement: trip 13 passes trip 12 and trip 11.
    s.vehplot.dis(r.vid(13), 1) = 260.0f;
    lanpos(s, -1, 0);
    srtque(s);
    vehpos2b(s, 0);
    lanpos(s, -1, 0);
    EXPECT_EQ(r.trips(1), (std::vector<int>{10, 13, 11, 12}));
    EXPECT_EQ(s.link2.fvehlan(r.lane_no(1, 2)), 13);
    EXPECT_EQ(s.vehicle.dstbeh(r.vid(10), 2), 13);

    // Trips 10 and 20 end; slots 1 and 5 are freed and compacted away.
    r.finish(10, 1);
    r.finish(20, 2);
    resetvid(s);
    ASSERT_EQ(s.vehindx.mvehid, 4);
    lanpos(s, -1, 0);
    vehpos2b(s, 0);

    EXPECT_EQ(r.trips(1), (std::vector<int>{13, 11, 12}));
    EXPECT_EQ(s.link2.fvehlan(r.lane_no(1, 1)), 12);
    EXPECT_EQ(s.link2.fvehlan(r.lane_no(1, 2)), 13);
    EXPECT_EQ(s.link2.fvehlan(r.lane_no(2, 1)), 21);
    EXPECT_EQ(s.link2.fvehlan(r.lane_no(2, 2)), 0);
    for (int car : {13, 11, 12, 21}) {
        const int vid = r.vid(car);
        ASSERT_GE(vid, 1);
        EXPECT_LE(vid, 4);
        EXPECT_EQ(s.vehindx.vehrid(vid), car);
    }
    EXPECT_EQ(s.vehindx.vehlnk(r.vid(13)), 1);
    EXPECT_EQ(s.vehindx.vehlnk(r.vid(11)), 2);
    EXPECT_EQ(s.vehindx.vehlnk(r.vid(12)), 3);
    EXPECT_EQ(s.vehindx.vehlnk(r.vid(21)), 1);
    EXPECT_EQ(s.vehicle.dstbeh(r.vid(13), 1), 12);
    EXPECT_EQ(s.vehicle.dstbeh(r.vid(11), 1), 12);
    EXPECT_EQ(s.vehplot.dis(r.vid(13), 1), 260.0f);
    EXPECT_EQ(s.vehplot.dis(r.vid(21), 1), 30.0f);
}

} // namespace
} // namespace velm
