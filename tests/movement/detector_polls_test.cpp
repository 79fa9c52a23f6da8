// Detector crediting, polls and outputs: what one vehicle step adds to a
// station, how a poll turns the sums into flow, speed and occupancy and which
// ticks it holds, the two record layouts of "detector.out" and the exchange
// files, and the hand-shake of report and trigger files.
#include "core/io/writers.h"
#include "core/movement/detectors.h"
#include "core/movement/movement.h"
#include "corridor_fixture.h"
#include "support/memory_run.h"
#include "support/temp_dir.h"

#include "support/text.h"
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace velm {
namespace {

using support::contains;
using support::lines_of;

constexpr int kLink = 3; // 0.5 km, two lanes

// A run with stations read from a station file on link 3.
struct PollRun : support::MemoryRun {
    explicit PollRun(const std::vector<std::string>& records, int exchange = 0) {
        s.link4.llength(kLink) = 0.5f;
        s.link1.nulans(kLink) = 2;
        s.link2.mlnum = kLink;
        s.filenam.mastitle = "Poll test";
        std::string file = "Poll stations\n" + std::to_string(records.size()) + "  " +
                           std::to_string(exchange) + "\n";
        for (const auto& r : records) file += r + "\n";
        s.filenam.files(kDetectorSlot) = "stations.dat";
        s.units.put_file("stations.dat", file);
        rddetloc(s);
        EXPECT_EQ(s.errcount.errt1, 0) << log();
        detreset(s, 0);
    }
    // One vehicle step of class vt in lane `lan` at tick t10.
    void pass(float dold, float dnew, float kmh = 50.0f, int lan = 1, int vt = 1, int t10 = 1) {
        s.control.t10 = t10;
        int flag1 = -1, flag2 = 0;
        chkdetin(s, flag1, flag2, kLink, dold, dnew, kmh, lan, vt);
    }
    // The per-second outputs of seconds from..to.
    void seconds(int from, int to) {
        for (int t = from; t <= to; ++t) {
            s.control.t = t;
            detreset(s, t);
            det_sum(s, t);
            detreport(s, t);
        }
    }
    const mod_detloc& dl() const { return s.detloc; }
};

// Station 1: zone 100..105 m of link 3, every class, 10-s polls.
const char* const kZone = "1  1  3  0.100  0.005  10";

TEST(DetectorCrediting, OneStepCreditsCountSpeedAndOccupancy) {
    {
        PollRun r({kZone});
        for (int k = 0; k < 3; ++k) r.pass(102.0f, 102.0f, 0.0f);
        EXPECT_EQ(r.dl().detocc(1, 1), 3000) << "standing inside: a whole tick each";
        EXPECT_EQ(r.dl().detvol(1, 1), 0) << "standing inside is not a passage";
        EXPECT_EQ(r.dl().detacc(1, 1), 1);
    }
    {
        PollRun r({kZone});
        r.pass(99.0f, 107.0f, 80.0f, 2); // 1 m before the zone to 2 m past it
        EXPECT_EQ(r.dl().detvol(1, 1), 1);
        EXPECT_EQ(r.dl().detlan(1, 1), 1);
        EXPECT_EQ(r.dl().detocc(1, 1), 625);
        EXPECT_NEAR(r.dl().detspd(1, 1), 1.0f / 80.0f, 1e-7f);
        EXPECT_FLOAT_EQ(r.dl().lndt(1, 1, 1, 2), 1.0f);
        EXPECT_NEAR(r.dl().lndt(1, 1, 3, 2), 625.0f, 0.01f);
        EXPECT_FLOAT_EQ(r.dl().lndt(1, 1, 1, 1), 0.0f) << "credited to its own lane only";
    }
    {
        PollRun     r({kZone});
        const float b = 1000.0f * r.dl().detpos(1, 2);
        r.pass(b - 1.0f, b); // stops exactly on the end of the zone
        EXPECT_EQ(r.dl().detvol(1, 1), 1);
        r.pass(b, b + 1.0f); // and leaves it on the next tick: not again
        EXPECT_EQ(r.dl().detvol(1, 1), 1);
    }
    {
        PollRun r({kZone});
        r.pass(104.9f, 105.1f, 0.4f); // a crawl over the zone end
        EXPECT_FLOAT_EQ(r.dl().detspd(1, 1), 1.0f) << "speeds floored at 1 km/h";
    }
    {
        PollRun r({kZone});
        r.pass(90.0f, 99.9f); // short of the zone
        r.pass(105.2f, 110.0f);
        EXPECT_EQ(r.dl().detacc(1, 1), 0);
        EXPECT_EQ(r.dl().detocc(1, 1), 0);
    }
}

TEST(DetectorCrediting, OnlyTheClassesOfTheMaskAndActiveStationsCredit) {
    PollRun r({"1.00011  1  3  0.100  0.005  10", "2  0  3  0.100  0.005  10"});
    r.pass(99.0f, 107.0f, 50.0f, 1, 1);
    r.pass(99.0f, 107.0f, 50.0f, 1, 3);
    EXPECT_EQ(r.dl().detvol(1, 1), 0) << "classes 1 and 3 are outside the mask";
    EXPECT_EQ(r.dl().detocc(1, 1), 0);
    r.pass(99.0f, 107.0f, 50.0f, 1, 5);
    EXPECT_EQ(r.dl().detvol(1, 1), 1);
    EXPECT_EQ(r.dl().detvol(2, 1), 0) << "an inactive station never credits";
    EXPECT_EQ(r.dl().detocc(2, 1), 0);
}

// Two vehicles in one tick of the position update: the first, in lane 1,
// ends inside the zone; the second, in lane 2 and behind it in the link's
// list, passes the zone end. Both are credited.
TEST(DetectorCrediting, AVehicleEndingInsideTheZoneDoesNotHoldBackTheNext) {
    using testing_movement::Corridor;
    Corridor c;
    c.road(1, 2, 0.5f, 100.0f, 80.0f, 130.0f, 2000.0f);
    c.calibrate();
    c.s.filenam.files(kDetectorSlot) = "stations.dat";
    c.s.units.put_file("stations.dat", "One station\n1  0\n1  1  1  0.100  0.005  10\n");
    rddetloc(c.s);
    detreset(c.s, 0);
    c.add(1, 1, 1, 101.0f, 36.0f);  // 1 m per tick: ends at 102, inside
    c.add(2, 1, 2, 100.5f, 180.0f); // 5 m per tick: ends at 105.5, past the end
    c.s.control.t10 = 1;
    vehpos2(c.s, 1);
    EXPECT_FLOAT_EQ(c.pos(1), 102.0f);
    EXPECT_FLOAT_EQ(c.pos(2), 105.5f);
    EXPECT_EQ(c.s.detloc.detvol(1, 1), 1);
    EXPECT_FLOAT_EQ(c.s.detloc.lndt(1, 1, 1, 2), 1.0f);
    EXPECT_EQ(c.s.detloc.detocc(1, 1), 1000 + 900);
}

TEST(DetectorPolls, PollsTurnSumsIntoFlowSpeedAndOccupancy) {
    {
        PollRun r({"1  1  3  0.100  0.005  7"});
        for (const float v : {40.0f, 60.0f, 120.0f}) r.pass(99.0f, 107.0f, v);
        detreset(r.s, 6);
        EXPECT_EQ(r.dl().detvol(1, 2), 0) << "not due before its period";
        detreset(r.s, 7);
        EXPECT_EQ(r.dl().detvol(1, 2), 1542);
        EXPECT_EQ(r.dl().detlan(1, 2), 771);
        EXPECT_NEAR(r.dl().detspd(1, 2), 3.0f / (1 / 40.0f + 1 / 60.0f + 1 / 120.0f), 1e-3f);
        EXPECT_FLOAT_EQ(r.dl().lndt(1, 2, 1, 1), 1542.0f);
        EXPECT_EQ(r.dl().detvol(1, 1), 0);
        EXPECT_EQ(r.dl().detspd(1, 1), 0.0f);
        // The next poll saw nobody: flow and speed 0, not the previous poll's.
        detreset(r.s, 14);
        EXPECT_EQ(r.dl().detvol(1, 2), 0);
        EXPECT_EQ(r.dl().detspd(1, 2), 0.0f);
        EXPECT_EQ(r.dl().lndt(1, 2, 2, 1), 0.0f);
    }
    {
        PollRun r({"1  1  3  0.100  0.005  60"});
        for (int k = 0; k < 5; ++k) r.pass(99.0f, 107.0f, 50.0f, 1 + k % 2);
        detreset(r.s, 60);
        EXPECT_EQ(r.dl().detvol(1, 2), 300);
        EXPECT_EQ(r.dl().detlan(1, 2), 150);
        EXPECT_FLOAT_EQ(r.dl().lndt(1, 2, 1, 1), 180.0f);
        EXPECT_FLOAT_EQ(r.dl().lndt(1, 2, 1, 2), 120.0f);
    }
    {
        // One vehicle standing in lane 1 of the two-lane zone for a whole poll.
        PollRun r({kZone, "2  10  3  0.100  0.005  10"});
        r.seconds(0, 0);
        for (int t10 = 0; t10 < 100; ++t10) r.pass(102.0f, 102.0f, 0.0f, 1, 1, t10);
        r.seconds(1, 10);
        EXPECT_EQ(r.dl().detocc(1, 2), 5000);
        EXPECT_FLOAT_EQ(r.dl().lndt(2, 2, 3, 1), 10000.0f);
        EXPECT_FLOAT_EQ(r.dl().lndt(2, 2, 3, 2), 0.0f);
        const auto out = lines_of(r.s.units.file_text("detector.out"));
        ASSERT_EQ(out.size(), 5u) << r.s.units.file_text("detector.out");
        EXPECT_EQ(out[2].substr(38, 8), "   500.0");
        // Lane records from the lane farthest from the curb: lane 2, then 1.
        EXPECT_EQ(out[3].substr(18, 6), "     1");
        EXPECT_EQ(out[3].substr(38, 8), "     0.0");
        EXPECT_EQ(out[4].substr(38, 8), "  1000.0");
    }
}

// A passage at the last tick before second t belongs to the poll closed at
// t; one at the tick of second t, after the per-second step, to the next.
TEST(DetectorPolls, APollHoldsTheTicksUpToTheOneBeforeItsSecond) {
    PollRun    r({kZone});
    const auto run_to = [&r](int last_t10, const std::vector<int>& crossings) {
        for (int t10 = r.s.control.t10 + 1; t10 <= last_t10; ++t10) {
            if (t10 % 10 == 0) detreset(r.s, t10 / 10);
            for (const int c : crossings)
                if (c == t10) r.pass(99.0f, 107.0f, 50.0f, 1, 1, t10);
            r.s.control.t10 = t10;
        }
    };
    run_to(100, {99, 100});
    EXPECT_EQ(r.dl().detvol(1, 2), 360) << "the poll closed at 10 s has the tick 99 passage";
    run_to(200, {});
    EXPECT_EQ(r.dl().detvol(1, 2), 360) << "the poll closed at 20 s has the tick 100 passage";
    run_to(300, {});
    EXPECT_EQ(r.dl().detvol(1, 2), 0);
}

// The rolling hour of per-minute station sums the on-line graphs read: count,
// sum of speeds and occupancy in thousandths of a percent of the minute.
TEST(DetectorMinutes, PassagesAndOccupancyGoToTheirMinuteAndTheHourRingIsReused) {
    PollRun r({kZone});
    r.pass(99.0f, 107.0f, 40.0f, 1, 1, 599);  // last tick of minute 1
    r.pass(99.0f, 107.0f, 60.0f, 2, 1, 600);  // first tick of minute 2
    r.pass(99.0f, 107.0f, 80.0f, 1, 1, 1199); // minute 2
    EXPECT_FLOAT_EQ(r.dl().detsta(1, 1, 1), 1.0f);
    EXPECT_FLOAT_EQ(r.dl().detsta(1, 1, 2), 40.0f);
    EXPECT_FLOAT_EQ(r.dl().detsta(1, 2, 1), 2.0f);
    EXPECT_FLOAT_EQ(r.dl().detsta(1, 2, 2), 140.0f);

    // Standing in one lane of the two for all 600 ticks of minute 3: 50 %.
    for (int t10 = 1200; t10 < 1800; ++t10) r.pass(102.0f, 102.0f, 0.0f, 1, 1, t10);
    EXPECT_NEAR(r.dl().detsta(1, 3, 3) / 1000.0f, 50.0f, 0.01f);
    EXPECT_FLOAT_EQ(r.dl().detsta(1, 3, 1), 0.0f) << "standing is not a passage";

    // Minute 61 reuses minute 1's slot: cleared when its first second begins.
    detreset(r.s, 3540);
    EXPECT_FLOAT_EQ(r.dl().detsta(1, 1, 1), 1.0f) << "cleared a minute early";
    detreset(r.s, 3600);
    for (int k = 1; k <= kLaneMeasures; ++k) EXPECT_EQ(r.dl().detsta(1, 1, k), 0.0f);
    EXPECT_FLOAT_EQ(r.dl().detsta(1, 2, 1), 2.0f) << "only the coming minute's slot is cleared";
    r.pass(99.0f, 107.0f, 50.0f, 1, 1, 36000);
    EXPECT_FLOAT_EQ(r.dl().detsta(1, 1, 1), 1.0f);
}

// One record of each layout, written with the columns of its file.
TEST(DetectorOutputs, RecordLayoutsOfBothFiles) {
    // Station 9 is inactive: read, never reported.
    PollRun r(
        {"7  3  3  0.100  0.005  60", "8  12  3  0.200  0.005  60", "9  0  3  0.300  0.005  60"},
        60);
    r.seconds(0, 59);
    auto& dl = r.s.detloc;
    // Poll sums that give speed 87.5, 300 veh/h, occupancy 1234 (123.4 %o).
    dl.detvol(7, 1) = 5;
    dl.detspd(7, 1) = 5.0f / 87.5f;
    dl.detocc(7, 1) = 1234 * 60 * 2;
    dl.detacc(7, 1) = 1;
    dl.lndt(8, 1, 1, 1) = 2.0f;
    dl.lndt(8, 1, 2, 1) = 2.0f / 55.25f;
    dl.lndt(8, 1, 3, 1) = 60.0f * 987.6f;
    r.seconds(60, 60);
    const auto out = lines_of(r.s.units.file_text("detector.out"));
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[2], "    60     7     3   87.50   300   150   123.4     1");
    EXPECT_EQ(out[3], "    60     8    12     1     0    0.00     0.0");
    EXPECT_EQ(out[4], "    60     8    12     2   120   55.25    98.8");
    const auto rep = lines_of(r.s.units.file_text("interact\\t0000001.det"));
    ASSERT_EQ(rep.size(), 5u);
    EXPECT_EQ(rep[2], "    60     7     3   87.50   300   150 123.4     1");
    EXPECT_EQ(rep[3], "    60     8    12     1     0    0.00    0.00");
    EXPECT_EQ(rep[4], "    60     8    12     2   120   55.25   98.76");
}

TEST(DetectorOutputs, ReportFilesRotateWithTheirTrigger) {
    PollRun r({"1  1  3  0.100  0.005  30"}, 60);
    r.seconds(0, 0);
    const std::string title = fmt_a("Poll test", 300);
    EXPECT_EQ(r.s.units.file_text("detector.out"), title + "\n    0    0    0\n");
    EXPECT_EQ(r.s.units.file_text("interact\\t0000001.det"), title + "\n    0    1   60\n");
    EXPECT_FALSE(r.s.units.exists("interact\\dettrig.trg"));
    r.seconds(1, 60);
    const auto first = lines_of(r.s.units.file_text("interact\\t0000001.det"));
    ASSERT_EQ(first.size(), 4u);
    EXPECT_EQ(first[2].substr(0, 12), "    30     1");
    EXPECT_EQ(first[3].substr(0, 12), "    60     1") << "second 60 goes to the first file";
    EXPECT_EQ(r.s.units.file_text("interact\\dettrig.trg"),
              free_line(" Detector Trigger File ") + "\n" + free_line(60) + "\n");
    EXPECT_EQ(r.s.units.file_text("interact\\t0000002.det"), title + "\n   60    2   60\n");
    r.seconds(61, 120);
    EXPECT_EQ(lines_of(r.s.units.file_text("interact\\t0000002.det")).size(), 4u);
    EXPECT_EQ(r.s.units.file_text("interact\\dettrig.trg"),
              free_line(" Detector Trigger File ") + "\n" + free_line(120) + "\n");
    EXPECT_TRUE(r.s.units.exists("interact\\t0000003.det"));
    EXPECT_EQ(lines_of(r.s.units.file_text("detector.out")).size(), 2u + 4u);
    EXPECT_EQ(r.s.errcount.errt1, 0);
}

// A run whose files are on disk in the working directory, with one station
// on link 3 polled every second and 60-s exchange files.
std::unique_ptr<Sim> disk_sim() {
    auto s = std::make_unique<Sim>();
    s->units.set_console([](std::string_view) {});
    s->units.open_write(kUnitRunLog, "runerr.out");
    s->units.open_write(kUnitSummary, "summary.out");
    s->link4.llength(kLink) = 0.5f;
    s->link1.nulans(kLink) = 2;
    s->units.put_file("stations.dat", "Disk\n1  60\n1  1  3  0.100  0.005  1\n");
    s->filenam.files(kDetectorSlot) = "stations.dat";
    rddetloc(*s);
    return s;
}

// On disk: a trigger file that cannot be written holds back the next report
// file; the records meanwhile are counted on the run log, and the next
// period tries again.
TEST(DetectorOutputs, ATriggerThatCannotBeWrittenDropsRecordsUntilTheNextPeriod) {
    support::TempDir dir(true);
    const auto       sim = disk_sim();
    Sim&             s = *sim;
    ASSERT_EQ(s.detloc.mdetloc, 1);
    std::filesystem::create_directories(dir.path() / "interact" / "dettrig.trg");
    const auto second = [&s](int t) {
        detreset(s, t);
        det_sum(s, t);
        detreport(s, t);
    };
    for (int t = 0; t <= 90; ++t) second(t);
    const auto interact = dir.path() / "interact";
    EXPECT_EQ(lines_of(support::slurp(interact / "t0000001.det")).size(), 2u + 60u);
    EXPECT_FALSE(std::filesystem::exists(interact / "t0000002.det"));
    std::filesystem::remove(interact / "dettrig.trg");
    for (int t = 91; t <= 120; ++t) second(t);
    s.units.close_all();
    EXPECT_FALSE(std::filesystem::exists(interact / "t0000002.det"));
    EXPECT_TRUE(std::filesystem::exists(interact / "t0000003.det"));
    EXPECT_EQ(support::slurp(interact / "dettrig.trg"),
              free_line(" Detector Trigger File ") + "\n" + free_line(120) + "\n");
    const std::string log = support::slurp(dir.path() / "runerr.out");
    EXPECT_TRUE(contains(log, free_line(" Detector trigger file ", "interact\\dettrig.trg",
                                        " cannot be written at second", 60)))
        << log;
    EXPECT_TRUE(contains(
        log, free_line(" Detector exchange:", 60, " station records of seconds", 61, " to", 120)))
        << log;
    EXPECT_EQ(s.errcount.errt1, 0);
    EXPECT_EQ(lines_of(support::slurp(dir.path() / "detector.out")).size(), 2u + 120u);
}

TEST(DetectorOutputs, FilesThatCannotBeCreatedAreFatal) {
    support::TempDir dir(true);
    const auto       sim = disk_sim();
    Sim&             s = *sim;
    s.filenam.path2 = "missing/";
    s.pathnam.lpath[2] = 8;
    detreset(s, 0);
    det_sum(s, 0);
    EXPECT_EQ(s.errcount.errt1, 1);
    detreport(s, 0); // no "interact" folder
    EXPECT_EQ(s.errcount.errt1, 2);
    det_sum(s, 1); // nothing to write to
    s.units.close_all();
    const std::string log = support::slurp(dir.path() / "runerr.out");
    EXPECT_TRUE(contains(log, "missing/detector.out")) << log;
    EXPECT_TRUE(support::has_line(log, free_line(" ERROR: Fatal error occurred trying to open ",
                                                 " detector output file in directory INTERACT")))
        << log;
    EXPECT_TRUE(support::has_line(log, free_line(" Ensure that the subdirectory INTERACT exists")));
}

} // namespace
} // namespace velm
