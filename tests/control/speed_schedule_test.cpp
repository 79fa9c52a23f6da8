// Scheduled free-speed changes: the schedule file, and the free speed each
// link shows second by second as the head of every tick applies it.
#include "core/control/control.h"
#include "support/memory_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace velm {
namespace {

using support::MemoryRun;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;

constexpr int   kFree = 7;                        // spdvol(l, 7): free speed km/h
constexpr float kBase[] = {0, 80.f, 50.f, 100.f}; // links 1..3

// Links 1..3 coded with their base free speeds, link 4 not coded; the file
// "spd_ctrl.dat" (when given) in the input directory "input\".
struct SpeedRun : MemoryRun {
    explicit SpeedRun(const std::string& file) {
        for (int l = 1; l <= 3; ++l) {
            s.link4.llength(l) = 0.5f;
            s.link1.spdvol(l, kFree) = kBase[l];
        }
        s.filenam.path1 = "input\\";
        s.pathnam.lpath[1] = 6;
        if (!file.empty()) s.units.put_file("input/spd_ctrl.dat", file);
        read_dyn_lnk_spd_ctrl(s);
    }
    // Runs ticks up to the first tick of second `last`; the free speed of
    // `link` as the first tick of each second leaves it.
    std::map<int, float> by_second(int link, int last) {
        std::map<int, float> out;
        for (int t10 = 0; t10 <= 10 * last; ++t10) {
            s.control.t10 = t10;
            s.control.t = t10 / 10;
            sub_dyn_lnk_spd_ctrl(s);
            if (t10 % 10 == 0) out[t10 / 10] = s.link1.spdvol(link, kFree);
        }
        return out;
    }
};

std::string schedule(const std::vector<std::string>& entries) {
    std::string text = "Work zones of the test\n" + std::to_string(entries.size()) + "\n";
    for (const auto& e : entries) text += e + "\n";
    return text;
}

TEST(SpeedSchedule, FreeSpeedFollowsTheWindowsSecondBySecond) {
    struct Case {
        const char*              what;
        std::vector<std::string> entries;
        int                      link;
        std::map<int, float>     expected; // second -> free speed
    } const cases[] = {
        {"a work zone at half speed",
         {"1  1  0.5  600  1200"},
         1,
         {{0, 80.f}, {599, 80.f}, {600, 40.f}, {1199, 40.f}, {1200, 80.f}, {1300, 80.f}}},
        {"a window from second 0 applies in tick 0",
         {"1  2  0.6  0  30"},
         2,
         {{0, 30.f}, {29, 30.f}, {30, 50.f}}},
        {"fractional times fall due in the next whole second",
         {"1  3  0.5  100.5  200.2"},
         3,
         {{100, 100.f}, {101, 50.f}, {200, 50.f}, {201, 100.f}}},
        {"a start and end within one second: both apply in second 11, the base stays",
         {"1  1  0.5  10.2  10.7", "2  1  0.25  11  20"},
         1,
         {{10, 80.f}, {11, 20.f}, {19, 20.f}, {20, 80.f}}},
        {"nested windows: each end restores the base, the later-due event wins",
         {"1  1  0.5  600  1800", "2  1  0.8  900  1200"},
         1,
         {{600, 40.f}, {899, 40.f}, {900, 64.f}, {1200, 80.f}, {1799, 80.f}, {1800, 80.f}}},
        {"events due in one second apply in entry order: the later entry wins",
         {"1  2  0.5  50  70", "2  2  0.2  50  60"},
         2,
         {{49, 50.f}, {50, 10.f}, {60, 50.f}, {70, 50.f}}},
        {"other links keep their speed",
         {"1  1  0.5  5  10"},
         2,
         {{0, 50.f}, {5, 50.f}, {10, 50.f}}},
    };
    for (const auto& c : cases) {
        SpeedRun run(schedule(c.entries));
        ASSERT_EQ(run.s.errcount.errt1, 0) << c.what << "\n" << run.log();
        const int  last = c.expected.rbegin()->first;
        const auto seen = run.by_second(c.link, last);
        for (const auto& [t, v] : c.expected)
            EXPECT_FLOAT_EQ(seen.at(t), v) << c.what << " at " << t;
    }
}

TEST(SpeedSchedule, EventsUseTheBaseWhenReadAndAreConsumedOnce) {
    SpeedRun    run(schedule({"1  1  0.5  0  5", "2  1  0.5  3  8"}));
    const auto& sc = run.s.spd_ctrl;
    EXPECT_EQ(sc.num_spd_ctrl, 2);
    // Both entries take 80 as their base, not each other's lowered speed.
    EXPECT_FLOAT_EQ(sc.spd_ctrl_array(3, 1), 40.f);
    EXPECT_FLOAT_EQ(sc.spd_ctrl_array(3, 3), 40.f);
    EXPECT_FLOAT_EQ(sc.spd_ctrl_array(3, 4), 80.f);
    run.by_second(1, 8);
    for (int e = 1; e <= 4; ++e)
        EXPECT_EQ(sc.spd_ctrl_array(1, e), -1.f) << "event " << e << " still pending";
    // Speeds set by others after the last event stay.
    run.s.link1.spdvol(1, kFree) = 33.f;
    run.by_second(1, 20);
    EXPECT_FLOAT_EQ(run.s.link1.spdvol(1, kFree), 33.f);
    EXPECT_THAT(run.summary(), HasSubstr("     - number of  entries  = "));
    EXPECT_THAT(run.summary(), HasSubstr("     - Work zones of the test"));
    EXPECT_THAT(run.log(), HasSubstr("  - Reading Speed Control File ....   Completed"));
}

TEST(SpeedSchedule, NoFileMeansNoEventsAndNoError) {
    SpeedRun run("");
    EXPECT_EQ(run.s.spd_ctrl.num_spd_ctrl, 0);
    EXPECT_EQ(run.s.errcount.errt1, 0);
    EXPECT_EQ(run.s.errcount.numerr, 0);
    EXPECT_FLOAT_EQ(run.by_second(1, 3).at(3), 80.f);
    EXPECT_THAT(run.log(), HasSubstr("Completed"));
}

TEST(SpeedSchedule, BadFilesAreOneFatalErrorAndKeepTheEventsBefore) {
    std::vector<std::string> many(2001, "1  1  0.5  0  10");
    // Every fault carries its code and the file line it is about.
    struct Case {
        const char* what;
        std::string file;
        const char* line; // the run log names the fault (a pattern)
        int         code; // 1021 no title, 1022 a bad value, 1023 the file ends early
        int         kept; // entries taken before it
    } const cases[] = {
        {"more than 2000 entries", schedule(many),
         "Speed control entries is +2001 +which is greater 2000 +at LINE +2\n", 1022, 0},
        {"start equal to end", schedule({"1 1 0.5 0 10", "2 1 0.5 60 60"}),
         "Entry Number +2\n.*Start Time +60\\.0* +is greater than or equal the End Time "
         "+60\\.0* +at LINE +4\n",
         1022, 1},
        {"link 0", schedule({"1 0 0.5 0 10"}), "is not a defined link at LINE +3\n", 1022, 0},
        {"link 5000", schedule({"1 1 0.5 0 10", "2 5000 0.5 0 10"}),
         "is not a defined link at LINE +4\n", 1022, 1},
        {"a link without length", schedule({"1 4 0.5 0 10"}), "is not a defined link at LINE +3\n",
         1022, 0},
        {"factor 0", schedule({"1 1 0.5 0 10", "2 2 0.5 0 10", "3 1 0 0 10"}),
         "is not above 0 at LINE +5\n", 1022, 2},
        {"factor below 0", schedule({"1 1 -0.5 0 10"}), "is not above 0 at LINE +3\n", 1022, 0},
        {"text for a factor", schedule({"1 1 0.5 0 10", "2 1 x 0 10"}),
         "Entry Number +2\n.*Missing or bad number at LINE +4\n", 1022, 1},
        {"a short last line", "t\n2\n1 1 0.5 0 10\n2 1 0.5\n",
         "Entry Number +2\n.*Out of data at LINE +5\n", 1023, 1},
        {"a missing last entry", "t\n2\n1 1 0.5 0 10\n",
         "Entry Number +2\n.*Out of data at LINE +4\n", 1023, 1},
        {"a count that is not a number", "t\nmany\n",
         "entries missing or not a number at LINE +2\n", 1022, 0},
        {"no count", "t\n", "entries missing or not a number at LINE +2\n", 1023, 0},
        {"an empty file", "", "The file contains no data", 1021, 0},
    };
    for (const auto& c : cases) {
        SpeedRun run("");
        run.s.units.put_file("input/spd_ctrl.dat", c.file);
        read_dyn_lnk_spd_ctrl(run.s);
        EXPECT_EQ(run.s.errcount.errt1, 1) << c.what;
        EXPECT_EQ(run.s.spd_ctrl.num_spd_ctrl, c.kept) << c.what;
        EXPECT_THAT(run.log(), HasSubstr("Error in Input File spd_ctrl.dat.")) << c.what;
        EXPECT_THAT(run.log(), HasSubstr(" ERROR " + std::to_string(c.code) + "\n")) << c.what;
        EXPECT_THAT(run.log(), ContainsRegex(c.line)) << c.what << "\n" << run.log();
        // What was read before still applies; nothing is taken from the bad entry.
        const auto seen = run.by_second(1, 1);
        EXPECT_FLOAT_EQ(seen.at(0), c.kept > 0 ? 40.f : 80.f) << c.what;
        EXPECT_FLOAT_EQ(run.s.link1.spdvol(2, kFree), c.kept > 1 ? 25.f : 50.f) << c.what;
    }
}

} // namespace
} // namespace velm
