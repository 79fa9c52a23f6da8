// Network entry: due trips enter the best lane of their first link when it has
// room, else wait at their origin with their counters; the departure list is
// compacted to the trips still to enter.
#include "corridor_fixture.h"
#include "entry_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

using testing_movement::lines_of;
using testing_movement::Road;
using testing_movement::Traffic;

// Zone 1 feeds link 1 (lanes as asked, jam 7 m, 40 m at capacity, free-flow
// time 12.5 s), which leads to link 2 and on to zone 3.
struct Origin : Traffic {
    explicit Origin(int lanes = 2) {
        road({.l = 1, .from = 1, .to = 2, .lanes = lanes, .fretim = 12.5f, .cap = 40.0f});
        road({.l = 2, .from = 2, .to = 3});
        connect(1, 2);
        spilback(s);
    }
    void tick(int t10) { enternet(s, t10 / 10, t10); }
    int  lane_of(int car) const { return s.oddat.vlan(vid(car), 1); }
    void space(int k, int m) {
        s.lanexch.lstveh(lane_no(1, k), 2) = m;
        spilback(s);
    }
};

TEST(Enternet, TwoTripsForOneLinkInOneTickShareOutItsLanes) {
    Origin two(2);
    two.space(1, 200);
    two.space(2, 120);
    two.trip(1, 1, 3, 100.0f, {1, 2});
    two.trip(2, 1, 3, 100.0f, {1, 2});
    two.tick(1000);
    EXPECT_EQ(two.lane_of(1), 1) << "the first takes the lane with more space";
    EXPECT_EQ(two.lane_of(2), 2) << "its entry leaves lane 1 with no space";
    EXPECT_EQ(two.trips(1), (std::vector<int>{1, 2}));
    EXPECT_EQ(two.s.link2.obsmaxq(1), 2) << "the most observed grows with every entry";
    EXPECT_EQ(two.s.lanexch.lstveh(two.lane_no(1, 1), 2), 0);

    Origin one(1);
    one.trip(1, 1, 3, 100.0f, {1, 2});
    one.trip(2, 1, 3, 100.0f, {1, 2});
    one.tick(1000);
    EXPECT_EQ(one.trips(1), (std::vector<int>{1}));
    EXPECT_EQ(one.s.vehicle.strtrp(2, 2), -1.0f) << "the second waits at its origin";
    EXPECT_EQ(one.s.set1.totin, 1);
}

// Jam spacing 7 m and 40 m at capacity: a lane needs 0.8 x 40 + 0.2 x 7 = 33.4 m.
TEST(Enternet, BestLaneNeedsItsEntrySpaceAndClosedLanesOfferNone) {
    struct Case {
        const char*      name;
        std::vector<int> space;  // last vehicle of lanes 1, 2, m
        std::vector<int> closed; // lanpro of lanes 1, 2 for class 1
        int              lane;   // 0 = deferred
    };
    const std::vector<Case> cases = {
        {"33 m is too little", {33, 20}, {0, 0}, 0},
        {"34 m is enough", {20, 34}, {0, 0}, 2},
        {"ties keep the lower lane", {90, 90}, {0, 0}, 1},
        {"a closed lane counts 0 m", {500, 60}, {2, 0}, 2},
        {"every lane closed", {500, 500}, {1, 9}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Origin r(2);
        for (int k = 1; k <= 2; ++k) {
            r.s.link4.lanpro(r.lane_no(1, k), 1) = c.closed[static_cast<std::size_t>(k - 1)];
            r.space(k, c.space[static_cast<std::size_t>(k - 1)]);
        }
        r.trip(4, 1, 3, 50.0f, {1, 2});
        r.tick(500);
        if (c.lane == 0) {
            EXPECT_EQ(r.s.link2.ntqu(1), 0);
            EXPECT_EQ(r.s.vehicle.strtrp(4, 2), -1.0f);
        } else {
            ASSERT_EQ(r.s.link2.ntqu(1), 1);
            EXPECT_EQ(r.lane_of(4), c.lane);
        }
    }
}

TEST(Enternet, LinkFullOrWithoutEntrySpaceDefersWhateverTheLanes) {
    Origin full(2);
    full.s.link2.amaxq(1) = 0;
    full.trip(1, 1, 3, 10.0f, {1, 2});
    full.tick(100);
    EXPECT_EQ(full.s.vehicle.strtrp(1, 2), -1.0f);

    Origin blocked(2);
    blocked.s.link2.cmaxq(1) = -1;
    blocked.trip(1, 1, 3, 10.0f, {1, 2});
    blocked.tick(100);
    EXPECT_EQ(blocked.s.vehicle.strtrp(1, 2), -1.0f);
}

TEST(Enternet, ExpectedExitFromScheduleOnTimeAndFromTheWholeSecondAfterWaiting) {
    Origin r(1);
    r.trip(1, 1, 3, 100.0f, {1, 2});
    r.tick(1000);
    EXPECT_FLOAT_EQ(r.s.vehicle.dept(1), 112.5f);
    EXPECT_FLOAT_EQ(r.s.vehicle.arrt(1), 100.0f);
    EXPECT_FLOAT_EQ(r.s.vehicle.strtrp(1, 2), 100.0f);

    Origin w(1);
    w.space(1, 10);
    w.trip(1, 1, 3, 100.0f, {1, 2});
    w.tick(1000);
    ASSERT_EQ(w.s.vehicle.strtrp(1, 2), -1.0f);
    w.space(1, 100);
    w.tick(1037);
    EXPECT_FLOAT_EQ(w.s.vehicle.dept(1), 116.0f) << "trunc(12.5 + 103.7)";
    EXPECT_FLOAT_EQ(w.s.vehicle.strtrp(1, 2), 103.7f);
}

TEST(Enternet, CountersMoveOnTheFirstFailureAndOnEntryOnly) {
    Origin r(1);
    r.space(1, 10);
    r.trip(1, 1, 3, 20.0f, {1, 2});
    struct Expect {
        int   t10;
        int   space; // m before the tick; -1 unchanged
        int   tdep, totin, tenr, ntinv, maxpark;
        float state;
    };
    const std::vector<Expect> ticks = {
        {199, -1, 0, 0, 0, 0, 0, -2.0f}, // not due yet
        {200, -1, 1, 1, 0, 1, 1, -1.0f}, // due on the tick of its departure, no room
        {201, -1, 1, 1, 0, 1, 1, -1.0f}, // later failures change nothing
        {250, -1, 1, 1, 0, 1, 1, -1.0f}, {251, 80, 1, 0, 1, 0, 1, 25.1f}, // enters
        {252, -1, 1, 0, 1, 0, 1, 25.1f},
    };
    for (const auto& e : ticks) {
        SCOPED_TRACE("t10 " + std::to_string(e.t10));
        if (e.space >= 0) r.space(1, e.space);
        r.tick(e.t10);
        EXPECT_EQ(r.s.set1.tdep, e.tdep);
        EXPECT_EQ(r.s.set1.totin, e.totin);
        EXPECT_EQ(r.s.set1.tenr, e.tenr);
        EXPECT_EQ(r.s.invisible.ntinv(1), e.ntinv);
        EXPECT_EQ(r.s.invisible.maxpark(1), e.maxpark);
        EXPECT_FLOAT_EQ(r.s.vehicle.strtrp(1, 2), e.state);
    }
    EXPECT_EQ(r.s.invisible.tmaxpark(1), 20);
    EXPECT_EQ(r.s.nodes.dptrs(1, 3, 1), 1);
    EXPECT_EQ(r.trips(1), (std::vector<int>{1}));
}

TEST(Enternet, EntryStartsTheVehicleStateOnItsFirstLink) {
    Origin r(2);
    r.space(1, 60);
    r.space(2, 150);
    r.s.delay.linspd(1, 1) = 25.0f; // below the 40 km/h at capacity
    r.s.tolplaz.curtol(1, 2) = 1.25f;
    r.s.tolplaz.vehtol(6, 2) = 0.5f;
    r.trip(6, 1, 3, 30.0f, {1, 2}, 2);
    r.tick(300);
    const int vid = r.vid(6);
    ASSERT_GT(vid, 0);
    const auto& p = r.s.vehplot;
    EXPECT_EQ(r.s.oddat.vlan(vid, 1), 2);
    EXPECT_FLOAT_EQ(p.hdwy(vid, 1), 150.0f);
    EXPECT_FLOAT_EQ(p.hdwy(vid, 2), 10000.0f);
    EXPECT_FLOAT_EQ(p.dis(vid, 1), 0.0f);
    EXPECT_FLOAT_EQ(p.dis(vid, 3), -1000.0f);
    EXPECT_FLOAT_EQ(p.spd(vid, 1), 40.0f);
    EXPECT_FLOAT_EQ(p.spd(vid, 4), 40.0f);
    EXPECT_FLOAT_EQ(p.spd(vid, 3), 72.0f);
    EXPECT_FLOAT_EQ(p.accmod(vid, 3), 1.0f);
    EXPECT_EQ(r.s.vehicle.wait(vid, 1), kNotWaiting);
    EXPECT_EQ(r.s.vehicle.wait(vid, 2), 30);
    EXPECT_EQ(r.s.vehindx.lnchtm(vid, 1), -10);
    EXPECT_EQ(r.s.vehindx.lnchtm(vid, 2), 350);
    EXPECT_EQ(r.s.vehindx.lnchtm(vid, 4), 50);
    EXPECT_EQ(r.s.denhis.entden(vid), 1);
    EXPECT_EQ(r.s.lanexch.lstveh(r.lane_no(1, 2), 2), 0);
    EXPECT_EQ(r.s.lanexch.lstveh(r.lane_no(1, 1), 2), 60);
    EXPECT_FLOAT_EQ(r.s.tolplaz.vehtol(6, 1), 1.25f);
    EXPECT_FLOAT_EQ(r.s.tolplaz.vehtol(6, 2), 1.75f);
    EXPECT_EQ(r.s.link1.detper(1, 3, 2), 125);
    EXPECT_EQ(r.s.link1.detper(1, 6, 2), 125);
    EXPECT_FLOAT_EQ(r.s.link1.outflw(1, 1), 90.0f);
    EXPECT_FLOAT_EQ(r.s.oddat.totvtn(2, 2), 1.0f);
    EXPECT_FLOAT_EQ(r.s.lane_target.last_lane_change(6, 1), 30.0f);
    EXPECT_EQ(r.s.vehicle.nxtlnk(vid, 1), 2);
    EXPECT_EQ(r.s.oddat.vlan(vid, 2), 1) << "link 2 has a single lane";
}

// A slot freed by one trip and handed to the next: the lane-change state of
// the old trip (walled off, weaving, a wish timer running, held by spill-back,
// low speed caps, a wall just ahead) must not reach the new one.
struct TwoLaneEntry : testing_movement::TrafficOn<testing_movement::Corridor> {
    TwoLaneEntry() {
        Corridor::road(1, 2, 0.3f, 60.0f, 40.0f, 120.0f, 1800.0f);
        Corridor::road(2, 2, 0.3f, 60.0f, 40.0f, 120.0f, 1800.0f);
        ends(1, 1, 2);
        ends(2, 2, 3);
        calibrate();
        connect(1, 2);
        spilback(s);
    }
};

TEST(Enternet, AReusedSlotStartsWithTheLaneChangeStateOfANewVehicle) {
    TwoLaneEntry r;
    r.trip(1, 1, 3, 1.0f, {1, 2});
    r.trip(2, 1, 3, 1.1f, {1, 2});
    for (int k = 0; k < 10; ++k) r.step([&] { enternet(r.s, r.t10 / 10, r.t10); });
    const int old_vid = r.vid(1);
    ASSERT_GT(old_vid, 0);
    auto& cw = r.s.vehicle.carwal;
    cw(old_vid, 1) = 0.3f;
    cw(old_vid, 2) = 0.6f;
    cw(old_vid, 3) = 2.5f; // s of a needed change not made
    cw(old_vid, 7) = 2.0f;
    for (int k : {4, 5, 6, 12}) cw(old_vid, k) = 5.0f;
    for (int k : {8, 9, 10, 11}) cw(old_vid, k) = 0.02f;
    r.s.vehplot.splbck(old_vid) = 1;
    r.finish(1, 1);
    resetvid(r.s);

    // Trip 2 enters in the slot trip 1 left; its first decision follows.
    r.step([&] { enternet(r.s, r.t10 / 10, r.t10); });
    const int vid = r.vid(2);
    ASSERT_EQ(vid, old_vid) << "the slot is reused";
    ASSERT_EQ(r.trips(1), (std::vector<int>{2}));
    // As entry leaves it (the decision has since rewritten 1, 2, 4..6 and 8..12).
    EXPECT_FLOAT_EQ(cw(vid, 3), 0.0f) << "no wish timer";
    EXPECT_FLOAT_EQ(cw(vid, 7), 0.0f) << "no lane wished";
    EXPECT_EQ(r.s.vehplot.splbck(vid), 0);
    // Unwalled, unweaving and without a wish, the spacing factor stays whole.
    EXPECT_FLOAT_EQ(r.s.vehindx.lanechan(vid), 1.0f);
    EXPECT_FLOAT_EQ(cw(vid, 1), 1.0f);
    EXPECT_FLOAT_EQ(cw(vid, 2), 1.0f);
}

TEST(Enternet, EntrySetsTheLaneChangeStateItsFirstDecisionReads) {
    Origin    r(2);
    const int vid0 = [&] {
        int vid = 0, flag = 0;
        setvid(r.s, 5, vid, flag);
        return vid;
    }();
    auto& cw = r.s.vehicle.carwal;
    for (int k = 1; k <= 12; ++k) cw(vid0, k) = -3.0f; // whatever the slot held
    r.s.vehplot.splbck(vid0) = 1;
    r.s.vehplot.held(vid0) = 1;
    r.trip(5, 1, 3, 10.0f, {1, 2});
    r.tick(100);
    ASSERT_EQ(r.vid(5), vid0);
    const float              vf = r.s.link1.spdvol(1, 7);
    const std::vector<float> expected = {1, 1, 0, vf, vf, vf, 0, 9999, 9999, 9999, 9999, vf};
    for (int k = 1; k <= 12; ++k)
        EXPECT_FLOAT_EQ(cw(vid0, k), expected[static_cast<std::size_t>(k - 1)]) << "carwal " << k;
    EXPECT_EQ(r.s.vehplot.splbck(vid0), 0);
    EXPECT_EQ(r.s.vehplot.held(vid0), 0);
}

TEST(Enternet, StopsAtTheFirstTripNotYetDue) {
    Origin r(2);
    r.trip(1, 1, 3, 10.0f, {1, 2});
    r.trip(2, 1, 3, 10.1f, {1, 2});
    r.trip(3, 1, 3, 10.0f, {1, 2}); // out of order: behind a trip not yet due
    r.tick(100);
    EXPECT_EQ(r.trips(1), (std::vector<int>{1}));
    EXPECT_EQ(r.vid(3), 0) << "never looked at";
    r.space(1, 100);
    r.space(2, 100);
    r.tick(101);
    EXPECT_EQ(r.trips(1), (std::vector<int>{1, 2, 3}));
}

TEST(Enternet, TripsThatCannotBeRoutedAreAbandonedCountedAndFreed) {
    Origin r(1);
    r.s.graph1.macrzon(3) = -7;
    r.space(1, 10);
    r.trip(1, 1, 3, 10.0f, {});     // no path at all
    r.trip(2, 1, 411, 10.0f, {1});  // destination beyond the zones
    r.trip(3, 1, 3, 10.0f, {1, 2}); // defers, then loses its path
    r.tick(100);
    EXPECT_EQ(r.s.set1.tabnd, 2);
    EXPECT_EQ(r.s.set1.tdep, 3);
    EXPECT_EQ(r.s.set1.totin, 1);
    for (int car : {1, 2}) {
        EXPECT_EQ(r.vid(car), 0) << "slot released";
        EXPECT_FLOAT_EQ(r.s.vehicle.strtrp(car, 1), -1.0f);
        EXPECT_FLOAT_EQ(r.s.vehicle.strtrp(car, 2), 604800.0f);
    }
    const auto lines = lines_of(r.log());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "-t:   10car:    1 orig:    1 micro:     3 macro:    7 vt:    1 nl:    0");
    EXPECT_NE(lines[1].find("Has invalid Micro-Dest"), std::string::npos);
    EXPECT_NE(lines[1].find("411"), std::string::npos);

    r.s.vehtre.tre_ind(3, 1) = 0;
    r.tick(101);
    EXPECT_EQ(r.s.set1.tabnd, 3);
    EXPECT_EQ(r.s.set1.totin, 0);
    EXPECT_EQ(r.s.invisible.ntinv(1), 0);
    EXPECT_EQ(r.s.set1.tdep, r.s.set1.tenr + r.s.set1.totin + r.s.set1.tabnd);
    EXPECT_EQ(r.s.vehindx.tvehid, 0);
}

TEST(Enternet, NoSlotLeftEndsTheStepAtOnce) {
    Origin r(2);
    r.trip(1, 1, 3, 10.0f, {1, 2});
    r.trip(2, 1, 3, 10.0f, {1, 2});
    r.s.vehindx.mvehid = kMaxVehicleSlots - 1;
    r.tick(100);
    EXPECT_EQ(r.trips(1), (std::vector<int>{1}));
    EXPECT_EQ(r.s.errcount.errt1, 1);
    EXPECT_FLOAT_EQ(r.s.vehicle.strtrp(2, 2), -2.0f) << "the second trip was not tried";
}

TEST(Enternet, DropsADepartureListEntryThatNamesNoTrip) {
    Origin r(2);
    r.trip(1, 1, 3, 10.0f, {1, 2});
    r.trip(2, 1, 3, 10.0f, {1, 2});
    r.s.vehicle.deplist(1) = 0;
    r.tick(100);
    EXPECT_EQ(r.trips(1), (std::vector<int>{2}));
    EXPECT_EQ(r.s.set2.nondept, 1);
    EXPECT_NE(r.log().find("departure-list entry"), std::string::npos);
}

TEST(Decdept, KeepsTheTripsStillToEnterInOrder) {
    Origin r(1);
    r.space(1, 10);
    for (int car = 1; car <= 5; ++car) r.trip(car, 1, 3, 10.0f, {1, 2});
    r.s.vehicle.strtrp(2, 2) = 12.0f;     // entered
    r.s.vehicle.strtrp(4, 2) = 604800.0f; // abandoned
    r.s.vehicle.strtrp(5, 2) = -1.0f;     // waiting
    int nondept = r.s.set2.nondept;
    decdept(r.s, 30, nondept, kMaxTrips);
    EXPECT_EQ(nondept, 3);
    std::vector<int> list;
    for (int i = 1; i <= 6; ++i) list.push_back(r.s.vehicle.deplist(i));
    EXPECT_EQ(list, (std::vector<int>{1, 3, 5, 0, 0, 0}));
    EXPECT_TRUE(r.log().empty());
}

TEST(Decdept, DropsATripNumberBeyondTheTableWithALogLine) {
    Origin r(1);
    r.trip(1, 1, 3, 10.0f, {1, 2});
    r.trip(2, 1, 3, 10.0f, {1, 2});
    r.s.vehicle.deplist(1) = 700;
    int nondept = 2;
    decdept(r.s, 60, nondept, 600);
    EXPECT_EQ(nondept, 1);
    EXPECT_EQ(r.s.vehicle.deplist(1), 2);
    EXPECT_EQ(r.s.vehicle.deplist(2), 0);
    EXPECT_EQ(lines_of(r.log()).at(0),
              " vehicle list corrupted at t=     60     1     2   700     0.0");
}

} // namespace
} // namespace velm
