// Trip completion and probe records: arrival counts and trip times, the trip
// record of slot 15 and the link records of slot 16 in their fixed layouts.
#include "core/movement/trip_completion.h"

#include "entry_fixture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_movement::lines_of;
using testing_movement::Road;
using testing_movement::Traffic;

std::string golden(const std::string& name) {
    std::ifstream in(std::string(VELM_SOURCE_DIR) + "/tests/data/movement/" + name,
                     std::ios::binary);
    EXPECT_TRUE(in) << name;
    std::string line;
    std::getline(in, line);
    return line;
}

// Record type: the first three columns.
std::vector<int> record_types(const std::string& text) {
    std::vector<int> out;
    for (const auto& l : lines_of(text)) out.push_back(std::stoi(l.substr(0, 3)));
    return out;
}

// Link 1 (node 1 -> 2) and link 2 (2 -> 3) from zone 1 to zone 3.
struct TwoLinks : Traffic {
    TwoLinks() {
        road({.l = 1, .from = 1, .to = 2});
        road({.l = 2, .from = 2, .to = 3});
        connect(1, 2);
        spilback(s);
    }
    // Moves the head of `l` across its end at tick t10.
    void leave(int l, int car, int t10) {
        s.vehicle.dept(car) = static_cast<float>(t10) / 10.0f;
        serve({l});
        lanpos(s, -1, t10);
        moveveh(s, t10 / 10, t10);
    }
};

TEST(TripCompletion, ProbeClassDecidesWhichRecordsAreWritten) {
    struct Case {
        int              probe;
        bool             slot15;
        std::vector<int> records; // types in the order written
    };
    const std::vector<Case> cases = {
        {1, true, {11, 11, 1}}, // the last link's record comes before the trip record
        {-1, true, {1}},        {0, true, {}},        {2, true, {}},
        {3, true, {}},          {1, false, {11, 11}}, // slot 15 not named: link records only
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("probe " + std::to_string(c.probe) + (c.slot15 ? "" : ", no slot 15"));
        TwoLinks r;
        if (c.slot15) r.open_slot(15, "probe.out");
        r.open_slot(16, "probe.out");
        r.trip(1, 1, 3, 10.0f, {1, 2});
        r.s.oddat.probe(1) = c.probe;
        r.on_link(1, 1, 190.0f, 20.0f);
        r.leave(1, 1, 200);
        ASSERT_EQ(r.trips(2), (std::vector<int>{1}));
        r.leave(2, 1, 300);
        EXPECT_EQ(r.s.set1.tarr, 1);
        EXPECT_EQ(record_types(r.s.units.file_text("probe.out")), c.records);
    }
}

TEST(TripCompletion, TheLastLinkRecordHasNoNextLinkAndNoTargetLane) {
    TwoLinks r;
    r.open_slot(15, "probe.out");
    r.open_slot(16, "probe.out");
    r.trip(1, 1, 3, 10.0f, {1, 2});
    r.s.oddat.probe(1) = 1;
    r.on_link(1, 1, 190.0f, 20.0f);
    r.leave(1, 1, 200);
    r.leave(2, 1, 300);
    const auto lines = lines_of(r.s.units.file_text("probe.out"));
    ASSERT_EQ(lines.size(), 3u);
    // Columns 23-28 link left, 32-37 next link, 38-40 its lane from the left.
    EXPECT_EQ(lines[0].substr(22, 6), "     1");
    EXPECT_EQ(lines[0].substr(31, 9), "     2  1");
    EXPECT_EQ(lines[1].substr(22, 6), "     2");
    EXPECT_EQ(lines[1].substr(31, 9), "    -1  0");
    EXPECT_EQ(lines[2].substr(0, 3), "  1");
}

TEST(TripCompletion, WaitingAtTheOriginCountsInTheTripTime) {
    TwoLinks r;
    r.open_slot(15, "trips.out");
    r.trip(1, 1, 3, 100.0f, {1, 2});
    r.s.oddat.probe(1) = -1;
    r.s.lanexch.lstveh(r.lane_no(1, 1), 2) = 5;
    spilback(r.s);
    enternet(r.s, 100, 1000);
    ASSERT_FLOAT_EQ(r.s.vehicle.strtrp(1, 2), -1.0f);
    r.s.lanexch.lstveh(r.lane_no(1, 1), 2) = 200;
    spilback(r.s);
    enternet(r.s, 140, 1400);
    ASSERT_FLOAT_EQ(r.s.vehicle.strtrp(1, 2), 140.0f);
    r.leave(1, 1, 1700);
    r.leave(2, 1, 2000);

    EXPECT_FLOAT_EQ(r.s.nodes.trtim(1, 3, 1), 100.0f);
    EXPECT_EQ(r.s.nodes.arvls(1, 3, 1), 1);
    EXPECT_FLOAT_EQ(r.s.vehicle.arrt(1), 200.0f);
    EXPECT_FLOAT_EQ(r.s.oddat.totvtn(1, 3), 1.0f);
    EXPECT_FLOAT_EQ(r.s.oddat.totvtn(1, 2), 0.0f);
    const auto lines = lines_of(r.s.units.file_text("trips.out"));
    ASSERT_EQ(lines.size(), 1u);
    // Fields 8 to 10: scheduled departure, entry, trip time.
    EXPECT_EQ(lines[0].substr(37, 24), "   100.0   140.0   100.0");
}

// One record of each type, every field set, one field too wide for its width.
struct Probe : Traffic {
    int vid = 0;
    Probe() {
        road({.l = 17, .from = 1, .to = 2, .lanes = 3, .km = 0.425f});
        road({.l = 18, .from = 2, .to = 3, .lanes = 2});
        trip(4321, 12, 345, 1000.0f, {17, 18}, 3);
        vid = place(4321, 17, 1, 400.0f);
        auto& v = s.vehicle;
        v.strtrp(4321, 2) = 1040.0f;
        v.arrt(4321) = 1200.5f;
        v.nxtlnk(vid, 1) = 18;
        s.oddat.vlan(vid, 2) = 2;
        v.stpdel(4321, 1) = 2.25f;
        v.stpdel(4321, 2) = 12.0f;
        v.stpdel(4321, 3) = 5.5f;
        v.stpdel(4321, 4) = 31.24f;
        s.link1.stops(4321, 1) = 3.0f;
        s.link1.stops(4321, 2) = 1.0f;
        s.vehplot.trpdst(4321, 1) = 2.5f;
        s.vehplot.spd(vid, 2) = 47.26f;
        const float envt[7] = {0.5f, 1.25f, 10.0f, 2.0f, 12345678.0f, 0.01f, 0.0f};
        for (int k = 1; k <= 7; ++k) v.envt(4321, k) = envt[k - 1];
        const float envir[7] = {0.05f, 0.001f, 0.02f, 0.003f, 110.0f, 0.0004f, 0.0f};
        for (int k = 1; k <= 7; ++k) v.envir(vid, k, 2) = envir[k - 1];
        s.accid.vehacc(4321, 2, 1) = 0.000123f;
        s.accid.vehacc(4321, 2, 6) = 1.5f;
        s.accid.vehacc(4321, 1, 6) = 0.25f;
        s.tolplaz.vehtol(4321, 1) = 1234567.0f;
        s.tolplaz.vehtol(4321, 2) = 250.0f;
        v.vaccel(4321, 1) = -3.5f;
        v.vaccel(4321, 2) = 12.3f;
    }
};

TEST(ProbeRecords, TripAndLinkRecordsFollowTheirFixedLayouts) {
    Probe r;
    r.open_slot(15, "trips.out");
    r.open_slot(16, "links.out");
    write_trip_record(r.s, 4321, 17, 1234.5f, 12345);
    write_link_record(r.s, 4321, r.vid, 17, 1234.5f);
    EXPECT_EQ(lines_of(r.s.units.file_text("trips.out")),
              (std::vector<std::string>{golden("trip_record.txt")}));
    EXPECT_EQ(lines_of(r.s.units.file_text("links.out")),
              (std::vector<std::string>{golden("link_record.txt")}));
}

TEST(ProbeRecords, NothingIsWrittenToASlotThatIsNotInUse) {
    Probe r;
    r.s.units.open_write(16, "links.out"); // open, but the slot is not marked in use
    write_link_record(r.s, 4321, r.vid, 17, 1234.5f);
    EXPECT_TRUE(r.s.units.file_text("links.out").empty());
}

} // namespace
} // namespace velm
