// Link transfer: due lane heads pass into the next link of their path when the
// target lane has entry space and the link has room, end their trip at its
// destination, or end as misrouted; refused heads stay, so queues spill back.
// The sample run at the end checks that no trip is ever lost or counted twice.
#include "corridor_fixture.h"
#include "entry_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_movement::lines_of;
using testing_movement::Road;
using testing_movement::Traffic;

// Links 1 (node 1 -> 2) and 2 (5 -> 2) merge into the one-lane link 3
// (2 -> 3, free-flow time 30 s), which leads on to link 4 (3 -> 4).
struct Merge : Traffic {
    Merge() {
        road({.l = 1, .from = 1, .to = 2});
        road({.l = 2, .from = 5, .to = 2});
        road({.l = 3, .from = 2, .to = 3, .fretim = 30.0f});
        road({.l = 4, .from = 3, .to = 4});
        connect(1, 3);
        connect(2, 3);
        connect(3, 4);
        spilback(s);
    }
    // Trip car from link `first` towards zone d, due at the end of its link.
    int due(int car, int first, float dept, int d = 4) {
        trip(car, first == 2 ? 5 : 1, d, 0.0f, {first, 3, 4});
        return on_link(car, 1, 190.0f, dept);
    }
    void tick(int t10) {
        lanpos(s, -1, t10);
        moveveh(s, t10 / 10, t10);
    }
};

TEST(Moveveh, AHeadStartsItsWaitingClockWithinTheToleranceAndLeavesWhenDue) {
    struct Case {
        const char* name;
        float       speed; // km/h
        int         t10;
        int         wait; // waiting start afterwards, s
        bool        left;
    };
    const std::vector<Case> cases = {
        {"slow, within 1 s of its exit time", 10.0f, 995, 99, false},
        {"faster than 15 km/h", 20.0f, 995, kNotWaiting, false},
        {"more than 1 s early", 10.0f, 993, kNotWaiting, false},
        {"exactly due", 10.0f, 1004, 100, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Merge     r;
        const int vid = r.due(1, 1, 100.4f);
        r.s.vehplot.spd(vid, 1) = c.speed;
        r.serve({1});
        r.tick(c.t10);
        EXPECT_EQ(r.s.link2.ntqu(3), c.left ? 1 : 0);
        if (c.left) {
            EXPECT_EQ(r.s.oddat.curlnk(vid), 3);
        } else {
            EXPECT_EQ(r.s.vehicle.wait(vid, 1), c.wait);
        }
    }
}

TEST(Moveveh, OneEntryPerLaneAndTickGoesToTheLinkServedFirst) {
    for (const std::vector<int>& order : {std::vector<int>{1, 2}, std::vector<int>{2, 1}}) {
        SCOPED_TRACE("link " + std::to_string(order[0]) + " served first");
        Merge     r;
        const int v1 = r.due(1, 1, 50.0f);
        const int v2 = r.due(2, 2, 50.0f);
        r.serve(order);
        r.tick(500);
        const int winner = order[0];
        const int loser = order[1];
        EXPECT_EQ(r.trips(3), (std::vector<int>{winner}));
        EXPECT_EQ(r.s.link2.obsmaxq(3), 1) << "raised when the vehicle arrives, not when it leaves";
        EXPECT_EQ(r.trips(loser), (std::vector<int>{loser}));
        EXPECT_EQ(r.s.oddat.stat(loser == 1 ? v1 : v2), 100) << "refused for lack of entry space";
        EXPECT_EQ(r.s.lanexch.cq(r.lane_no(3, 1)), -1);
    }
}

TEST(Moveveh, AFullNextLinkRefusesEveryHead) {
    Merge r;
    r.s.link2.amaxq(3) = 1;
    r.trip(9, 2, 4, 0.0f, {3, 4});
    r.on_link(9, 1, 5.0f, 500.0f); // link 3 is full, its lane has room
    const int v1 = r.due(1, 1, 50.0f);
    const int v2 = r.due(2, 2, 50.0f);
    r.serve({1, 2});
    r.tick(500);
    EXPECT_EQ(r.trips(3), (std::vector<int>{9}));
    EXPECT_EQ(r.s.oddat.stat(v1), 110);
    EXPECT_EQ(r.s.oddat.stat(v2), 110);
    EXPECT_EQ(r.s.link2.obsmaxq(1), 1);
}

TEST(Moveveh, ANewcomerStartsAtTheLinkStartOrJustBehindItsLastVehicle) {
    struct Case {
        const char* name;
        float       last_speed; // km/h of the vehicle already on link 3; < 0 none
        float       dis;
        float       dispersion; // pltdsp(3, 1)
        float       dept;       // expected exit time on link 3
        bool        logged;
    };
    const std::vector<Case> cases = {
        {"empty link", -1.0f, 0.0f, 0.0f, 80.0f, false},
        {"behind a vehicle at 36 km/h", 36.0f, 0.51f, 0.0f, 80.0f, false},
        {"free-speed dispersion 0.5", -1.0f, 0.0f, 0.5f, 62.0f, false},
        {"a dispersion that leaves no divisor", -1.0f, 0.0f, -0.5f, 80.0f, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Merge r;
        r.s.link4.pltdsp(3, 1) = c.dispersion;
        if (c.last_speed >= 0.0f) {
            r.trip(9, 2, 4, 0.0f, {3, 4});
            const int v9 = r.on_link(9, 1, 40.0f, 500.0f);
            r.s.vehplot.spd(v9, 1) = c.last_speed;
        }
        const int vid = r.due(1, 1, 50.0f);
        r.s.lanexch.lstveh(r.lane_no(3, 1), 2) = 40;
        spilback(r.s);
        r.serve({1});
        r.tick(500);
        ASSERT_EQ(r.s.oddat.curlnk(vid), 3);
        EXPECT_NEAR(r.s.vehplot.dis(vid, 1), c.dis, 1e-5f);
        EXPECT_FLOAT_EQ(r.s.vehicle.dept(1), c.dept);
        EXPECT_FLOAT_EQ(r.s.vehicle.arrt(1), 50.0f);
        EXPECT_FLOAT_EQ(r.s.vehplot.hdwy(vid, 1), 40.0f);
        EXPECT_EQ(r.s.vehindx.lnchtm(vid, 4), 28) << "200 m x 7 m x 10 / 500";
        EXPECT_EQ(r.s.vehindx.lnchtm(vid, 2), 510);
        EXPECT_EQ(r.s.vehicle.wait(vid, 2), 50);
        EXPECT_EQ(r.s.denhis.entden(vid), c.last_speed >= 0.0f ? 1 : 0);
        EXPECT_EQ(r.s.vehtre.tre_ind(1, 4), 2);
        EXPECT_EQ(r.s.vehicle.nxtlnk(vid, 1), 4);
        EXPECT_FLOAT_EQ(r.s.link1.outflw(3, 1), 90.0f);
        EXPECT_EQ(r.log().find("dispersion") != std::string::npos, c.logged);
    }
}

TEST(Moveveh, TripsEndAtTheirDestinationNodeOrItsMacroCentroid) {
    struct Case {
        const char* name;
        int         d;
        int         macro;    // macrzon(d)
        int         centroid; // mazn(|macro|)
    };
    const std::vector<Case> cases = {
        {"destination node", 3, 0, 0},
        {"centroid of the destination's macro zone", 9, 2, 3},
        {"a zone that is its own centroid", 3, -2, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Merge r;
        r.s.graph1.macrzon(c.d) = c.macro;
        if (c.macro != 0) r.s.graph1.mazn(std::abs(c.macro)) = c.centroid;
        r.trip(1, 1, c.d, 0.0f, {3, 4});
        const int vid = r.on_link(1, 1, 190.0f, 50.0f);
        const int first = r.s.vehtre.tre_ind(1, 1);
        r.serve({3});
        r.tick(500);
        EXPECT_EQ(r.s.link2.ntqu(3), 0);
        EXPECT_EQ(r.s.link2.ntqu(4), 0);
        EXPECT_EQ(r.s.set1.tarr, 1);
        EXPECT_EQ(r.s.set1.tenr, 0);
        EXPECT_EQ(r.s.nodes.arvls(1, c.d, 1), 1);
        EXPECT_EQ(r.vid(1), 0) << "slot released";
        EXPECT_EQ(r.s.oddat.curlnk(vid), -1);
        EXPECT_FLOAT_EQ(r.s.vehicle.dept(1), -1.0f);
        EXPECT_EQ(r.s.vehtre.vehtre(first, 1), 3) << "the links behind are kept";
        EXPECT_EQ(r.s.vehtre.vehtre(first + 1, 1), 0) << "the rest of the path is cleared";
        EXPECT_EQ(r.s.link5.turncnt(3, 2, 1, 1), 1) << "a trip end counts as through";
    }
}

TEST(Moveveh, AHeadWithNoLinkToGoOnToEndsItsTripAsMisrouted) {
    struct Case {
        const char* name;
        int         at;   // link where it happens
        int         next; // next link it holds there
        std::string line;
    };
    const std::vector<Case> cases = {
        {"path ends short of the destination", 3, -1,
         "moveveh: Next Link Error,      100       1     3    -1     6     0     0     1     1"},
        {"next link beyond the link table", 1, 5000,
         "moveveh: Next Link Error,      100       1     1  5000     6     0     0     1     1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Merge r;
        r.trip(1, 1, 6, 0.0f, c.at == 3 ? std::vector<int>{3} : std::vector<int>{1, 3});
        const int vid = r.on_link(1, 1, 190.0f, 100.0f);
        r.s.vehicle.nxtlnk(vid, 1) = c.next;
        r.serve({c.at});
        r.tick(1000);
        EXPECT_EQ(lines_of(r.moverr()), (std::vector<std::string>{c.line}));
        // The run log names the lost trip, its zones and its class.
        EXPECT_NE(r.log().find(" Trip lost:           1  from zone           1  to zone           6"
                               "  class           1"),
                  std::string::npos)
            << r.log();
        EXPECT_EQ(r.s.link2.ntqu(c.at), 0) << "not left at the link end";
        EXPECT_EQ(r.s.set1.tmisr, 1);
        EXPECT_EQ(r.s.set1.tarr, 0);
        EXPECT_EQ(r.s.set1.tenr, 0);
        EXPECT_EQ(r.s.nodes.arvls(1, 6, 1), 0);
        EXPECT_EQ(r.vid(1), 0);
        EXPECT_EQ(r.s.link1.flow(c.at), 1) << "it did leave the link";
    }
}

TEST(Moveveh, AHeadWithoutASlotIsReportedAndLeftAlone) {
    Merge r;
    r.serve({1});
    r.s.link2.fvehlan(r.lane_no(1, 1)) = 77; // a trip that holds no slot
    moveveh(r.s, 10, 100);
    EXPECT_EQ(lines_of(r.log()).at(0), free_line("moveveh vid", 10, 1, 1, 1, 77, 0));
}

// A sample run of two origins merging into a slow one-lane link, with a
// provisional mover standing in for car following and the position update:
// each tick every vehicle moves at its link's free speed up to the link end or
// to a jam spacing behind its leader in the lane, and each lane's last
// position is recorded for the entry space.
struct SampleRun : Traffic {
    std::vector<float> schedule; // scheduled departure by trip, s
    int                trips_run = 0;

    SampleRun() {
        road({.l = 1, .from = 1, .to = 3, .lanes = 2, .km = 0.3f, .fretim = 15.0f, .room = 6});
        road({.l = 2, .from = 2, .to = 3, .km = 0.2f, .fretim = 10.0f, .room = 6});
        road({.l = 3, .from = 3, .to = 4, .km = 0.1f, .fretim = 6.0f, .room = 8, .vf = 18.0f});
        road({.l = 4, .from = 4, .to = 5, .km = 0.3f, .fretim = 15.0f});
        connect(1, 3);
        connect(2, 3);
        connect(3, 4);
        s.graph1.macrzon(5) = 0;
        spilback(s);
        schedule.push_back(0.0f);
        int car = 0;
        for (int i = 0; i < 80; ++i) {
            const bool west = i % 2 == 0;
            add(++car, west ? 1 : 2, 5, 1.0f + static_cast<float>(i / 2), {west ? 1 : 2, 3, 4});
            if (i % 7 == 0) s.oddat.probe(car) = i % 2 == 0 ? 1 : -1;
        }
        add(++car, 1, 5, 41.0f, {});       // no path: abandoned
        add(++car, 2, 412, 42.0f, {2, 3}); // no such zone: abandoned
        add(++car, 1, 5, 43.0f, {1, 3});   // path ends on link 3: misrouted
        add(++car, 2, 4, 44.0f, {2, 3});   // ends on link 3 at zone 4
        open_slot(15, "probe.out");
        open_slot(16, "probe.out");
    }
    void add(int car, int o, int d, float dep, const std::vector<int>& links) {
        trip(car, o, d, dep, links);
        schedule.push_back(dep);
        trips_run = car;
    }

    void mover() {
        auto&     dis = s.vehplot.dis;
        const int ml = s.link2.mlnum;
        for (int l = 1; l <= ml; ++l) {
            const float end = 1000.0f * s.link4.llength(l);
            const float step = s.link1.spdvol(l, 7) / 36.0f; // m per tick
            const float jam = s.link5.minhd(l, 1);
            float       leader[kMaxLinkLanes + 1];
            std::fill(std::begin(leader), std::end(leader), end + jam);
            for (int i = 1; i <= s.link2.ntqu(l); ++i) {
                const int vid = s.vehindx.vehid(s.vehicle.big(s.link2.nbqu(l) + i));
                const int k = s.oddat.vlan(vid, 1);
                dis(vid, 2) = dis(vid, 1);
                dis(vid, 1) = std::max(dis(vid, 1), std::min(dis(vid, 1) + step, leader[k] - jam));
                dis(vid, 1) = std::min(dis(vid, 1), end);
                leader[k] = dis(vid, 1);
            }
            for (int k = 1; k <= std::abs(s.link1.nulans(l)); ++k)
                s.lanexch.lstveh(lane_no(l, k), 2) = static_cast<int>(std::min(leader[k], end));
        }
    }

    void tick(int t10) {
        const int t = t10 / 10;
        if (t10 % 10 == 0) {
            if (t10 % 60 == 0) resetvid(s);
            if (t % 30 == 0) decdept(s, t, s.set2.nondept, kMaxTrips);
        }
        if (t10 % 10 == 1) sortlist(s, t, s.set2.mnodenum, s.link2.nlact);
        lanpos(s, -1, t10);
        moveveh(s, t, t10);
        enternet(s, t, t10);
        mover();
        srtque(s);
        spilback(s);
        lanpos(s, -1, t10);
    }
};

TEST(SampleRun, EveryDueTripIsInExactlyOneStateEverySecond) {
    SampleRun r;
    auto&     st = r.s.set1;
    int       most_waiting = 0;
    for (int t10 = 0; t10 <= 4000 && !::testing::Test::HasFailure(); ++t10) {
        r.tick(t10);
        if (t10 % 10 != 0) continue;
        SCOPED_TRACE("t = " + std::to_string(t10 / 10));
        testing_movement::expect_conserved(r, r.schedule, r.trips_run,
                                           static_cast<float>(t10) / 10.0f);
        EXPECT_EQ(st.totin, r.s.invisible.ntinv(1) + r.s.invisible.ntinv(2));
        most_waiting = std::max(most_waiting, st.totin);
    }
    EXPECT_GT(most_waiting, 0) << "the queue spilled back to the origins";
    EXPECT_EQ(st.tdep, r.trips_run);
    EXPECT_EQ(st.tenr + st.totin, 0) << "every trip ended within the run";
    EXPECT_EQ(st.tabnd, 2);
    EXPECT_EQ(st.tmisr, 1);
    EXPECT_EQ(st.tarr, r.trips_run - 3);
    EXPECT_EQ(r.s.link1.flow(3), r.trips_run - 2);
    EXPECT_EQ(lines_of(r.moverr()).size(), 1u);
}

// Links calibrated by the real link set-up, run second by second through the
// real vehicle step with the link transfer and network entry in their place.
struct RealStep : testing_movement::TrafficOn<testing_movement::Corridor> {
    // One calibrated link from node `from` to node `to`.
    struct Stretch {
        int   l, lanes;
        float km, vf, vc, kj, qc;
        int   from, to;
    };
    // Codes and calibrates the stretches, joins them (upstream, downstream)
    // and sets up spillback.
    void lay_out(std::initializer_list<Stretch>             stretches,
                 std::initializer_list<std::pair<int, int>> joins) {
        for (const Stretch& r : stretches)
            Corridor::road(r.l, r.lanes, r.km, r.vf, r.vc, r.kj, r.qc);
        for (const Stretch& r : stretches) ends(r.l, r.from, r.to);
        calibrate();
        for (const auto& [up, down] : joins) connect(up, down);
        spilback(s);
    }
    void run_tick() {
        const int next = t10 + 1;
        const int t = next / 10;
        if (next % 10 == 0) {
            if (next % 60 == 0) resetvid(s);
            if (t % 30 == 0) decdept(s, t, s.set2.nondept, kMaxTrips);
        }
        step([&] {
            if (t10 % 10 == 1) sortlist(s, t, s.set2.mnodenum, s.link2.nlact);
            moveveh(s, t, t10);
            enternet(s, t, t10);
        });
    }
    void run_second() {
        for (int k = 0; k < 10; ++k) run_tick();
    }
};

// The same check with the real vehicle step (lane decisions, car following,
// positions): two origins merge into a link of 1200 veh/h that 2 veh/s of
// demand overload.
struct RealStepRun : RealStep {
    std::vector<float> schedule{0.0f};
    int                trips_run = 0;

    RealStepRun() {
        lay_out({{1, 2, 0.3f, 60.0f, 40.0f, 120.0f, 1800.0f, 1, 3},
                 {2, 1, 0.2f, 60.0f, 40.0f, 120.0f, 1800.0f, 2, 3},
                 {3, 1, 0.15f, 30.0f, 20.0f, 120.0f, 1200.0f, 3, 4},
                 {4, 1, 0.3f, 60.0f, 40.0f, 120.0f, 1800.0f, 4, 5}},
                {{1, 3}, {2, 3}, {3, 4}});
        for (int i = 0; i < 120; ++i) {
            const bool west = i % 2 == 0;
            trip(++trips_run, west ? 1 : 2, 5, 1.0f + static_cast<float>(i / 2),
                 {west ? 1 : 2, 3, 4});
            schedule.push_back(s.vehicle.strtrp(trips_run, 1));
        }
    }
};

TEST(SampleRun, RealVehicleStepKeepsEveryTripInOneStateAndDeliversThemAll) {
    RealStepRun r;
    auto&       st = r.s.set1;
    int         most_waiting = 0;
    int         most_on_merge = 0;
    for (int second = 1; second <= 900 && !::testing::Test::HasFailure(); ++second) {
        r.run_second();
        SCOPED_TRACE("t = " + std::to_string(second));
        testing_movement::expect_conserved(r, r.schedule, r.trips_run,
                                           static_cast<float>(r.t10) / 10.0f);
        most_waiting = std::max(most_waiting, st.totin);
        most_on_merge = std::max(most_on_merge, r.s.link2.ntqu(3));
    }
    EXPECT_GT(most_waiting, 0) << "the queue spilled back to the origins";
    EXPECT_LE(most_on_merge, r.s.link2.amaxq(3));
    EXPECT_EQ(st.tarr, r.trips_run) << "every trip arrived";
    EXPECT_EQ(st.tenr + st.totin + st.tabnd + st.tmisr, 0);
    EXPECT_TRUE(r.moverr().empty());
}

// Three trips from zone 1 along links 1, 2, 3; link 2 refuses every
// vehicle (it counts as full) for the first 300 s, then has room again.
// Trip 1 is a probe: its record of link 1 carries its stopped time there.
struct HeldAtLinkEnd : RealStep {
    static constexpr int kFullUntil = 300; // s

    HeldAtLinkEnd() {
        lay_out({{1, 1, 0.3f, 60.0f, 40.0f, 120.0f, 1800.0f, 1, 2},
                 {2, 1, 0.3f, 60.0f, 40.0f, 120.0f, 1800.0f, 2, 3},
                 {3, 1, 0.3f, 60.0f, 40.0f, 120.0f, 1800.0f, 3, 4}},
                {{1, 2}, {2, 3}});
        for (int car = 1; car <= 3; ++car)
            trip(car, 1, 4, static_cast<float>(2 * car - 1), {1, 2, 3});
        s.oddat.probe(1) = 1;
        open_slot(16, "probe.out");
        room = s.link2.amaxq(2);
        s.link2.amaxq(2) = 0;
    }
    int room = 0;

    // Field 15 of trip car's record of link l: stopped time on the link, s.
    float stopped_on(int car, int l) const {
        for (const auto& line : lines_of(s.units.file_text("probe.out"))) {
            if (line.size() < 89 || std::stoi(line.substr(0, 3)) != 11) continue;
            if (std::stoi(line.substr(12, 8)) == car && std::stoi(line.substr(22, 6)) == l)
                return std::stof(line.substr(80, 9));
        }
        ADD_FAILURE() << "no record of trip " << car << " on link " << l;
        return -1.0f;
    }
};

TEST(HeldAtLinkEnd, AHeadRefusedByAFullLinkStandsCountsItsStopAndStartsAgainAfter) {
    HeldAtLinkEnd r;
    int           held_ticks = 0;
    int           standing_ticks = 0;
    float         first_speed = -1.0f; // km/h in its first tick on link 2
    float         top_on_2 = 0.0f;
    for (int second = 1; second <= 400 && !::testing::Test::HasFailure(); ++second) {
        if (second == HeldAtLinkEnd::kFullUntil + 1) r.s.link2.amaxq(2) = r.room;
        for (int k = 0; k < 10; ++k) {
            r.run_tick();
            const int vid = r.vid(1);
            if (vid < 1) continue;
            const int l = r.s.oddat.curlnk(vid);
            const int stage = r.s.oddat.stat(vid);
            if (l == 1 && (stage == 100 || stage == 110)) { // transfer refused
                ++held_ticks;
                if (r.speed(1) == 0.0f) ++standing_ticks;
            }
            if (l == 2) {
                if (first_speed < 0.0f) first_speed = r.speed(1);
                top_on_2 = std::max(top_on_2, r.speed(1));
            }
        }
    }
    const float hold = static_cast<float>(held_ticks) / 10.0f;
    ASSERT_GT(hold, 200.0f) << "trip 1 reached the end of link 1 well before link 2 had room";
    EXPECT_EQ(standing_ticks, held_ticks) << "a held vehicle stands on every tick of its hold";
    EXPECT_NEAR(r.stopped_on(1, 1), hold, 1.0f);
    // It leaves from standstill: the first tick on link 2 adds no more than
    // its acceleration allows, and car following takes it up to speed.
    EXPECT_GE(first_speed, 0.0f);
    EXPECT_LT(first_speed, 2.0f);
    EXPECT_GT(top_on_2, 30.0f);
}

} // namespace
} // namespace velm
