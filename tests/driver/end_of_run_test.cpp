// The end of a run: the end-of-run reports in their order and conditions, the
// run summary, the list of vehicles still en route, the closing of every
// file and the termination box.
#include "driver/loop_fixture.h"

#include "core/driver/driver.h"
#include "core/driver/end_of_run.h"
#include "core/driver/time_loop.h"
#include "core/energy/energy.h"
#include "core/io/writers.h"

#include <gmock/gmock.h>

namespace velm {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using velm::testing::lines_of;
using velm::testing::LoopRun;

// A free-format line of a text and a whole number.
std::string text_int(const std::string& text, const std::string& number11) {
    return " " + text + " " + number11;
}

std::string i11(long v) {
    std::string n = std::to_string(v);
    return std::string(11 - n.size(), ' ') + n;
}

struct ReportCase {
    const char*               label;
    std::function<void(Sim&)> setup;
    std::vector<std::string>  steps;
};

TEST(EndOfRun, ReportsInTheirOrderAndConditions) {
    const auto slots = [](std::initializer_list<int> used) {
        return [used](Sim& s) {
            for (int k : used) s.pathnam.filuse[static_cast<std::size_t>(k)] = 1;
        };
    };
    const std::vector<ReportCase> cases = {
        {"nothing open", [](Sim&) {}, {"destroy_default_progress_window", "globsum"}},
        {"summary output, rate 1 off: incidents only",
         [&](Sim& s) {
             slots({10})(s);
             s.trees.pd_ot1 = 0;
         },
         {"destroy_default_progress_window", "incsum", "globsum"}},
        {"summary output, rate 1 on",
         [&](Sim& s) {
             slots({10})(s);
             s.trees.pd_ot1 = -300;
         },
         {"destroy_default_progress_window", "linksum", "lossum", "tripsum", "incsum", "globsum"}},
        {"link times and plume grid",
         [&](Sim& s) {
             slots({11, 27})(s);
         },
         {"destroy_default_progress_window", "globsum", "linktime", "turnsum", "plumwrt"}},
        {"strategies to close",
         [](Sim& s) {
             s.highway_spdharm.highway_spdharm_activation_flag = 1;
             s.platoon.platoon_activation_flag = 1;
         },
         {"destroy_default_progress_window", "clean_highway_spd_harm", "end_platoon", "globsum"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        LoopRun run(600);
        c.setup(run.s);
        end_of_run_reports(run.s);
        EXPECT_THAT(run.probe.steps_at(0), ElementsAreArray(c.steps));
        EXPECT_EQ(run.fe.destroyed, 1);
    }
}

TEST(EndOfRun, PlatooningTablesAreGivenBack) {
    LoopRun run(600);
    run.s.platoon.platoon_activation_flag = 1;
    run.s.platoon.link_ids_for_platoon.resize(kPlatoonLinks);
    init_platoon(run.s);
    ASSERT_EQ(run.s.platoon.vehicle_ids_per_lane.hi1(), kPlatoonLanes);
    end_of_run_reports(run.s);
    EXPECT_EQ(run.s.platoon.vehicle_ids_per_lane.hi1(), 0);
    EXPECT_EQ(run.s.platoon.vehicle_data_platoon_per_lane.hi1(), 0);
    EXPECT_EQ(run.s.platoon.link_ids_for_platoon.hi(), 0);
}

TEST(EndOfRun, RunSummaryLines) {
    LoopRun run(3600);
    Sim&    s = run.s;
    s.control.t = 1234;
    s.subtim.cclock = 4567;
    s.set1.tdep = 40;
    s.set1.totin = 3;
    s.set1.tenr = 0;
    s.set1.tarr = 37;
    s.set1.tabnd = 1; // no first link: lost at its origin
    s.set1.tmisr = 2; // paths that ended before their zone
    s.subtim.lastext = 1200;
    run_summary(s);
    const auto lines = lines_of(run.log());
    const auto at = std::find(lines.begin(), lines.end(), " " + std::string(45, '-'));
    ASSERT_NE(at, lines.end());
    ASSERT_GE(lines.end() - at, 16);
    const std::vector<std::string> summary(at, at + 15);
    EXPECT_THAT(summary,
                ElementsAre(" " + std::string(45, '-'),
                            "  D. Simulation summary statistics: ", " " + std::string(35, ' '),
                            text_int("    - Simulation clock time       : ", i11(1234)),
                            text_int("    - Total simulation horizon    : ", i11(3600)),
                            text_int("    - Real world time elapsed     : ", i11(45)),
                            text_int("    - Number of errors found      : ", i11(3)),
                            " " + std::string(36, ' '),
                            text_int("    - Scheduled departures        : ", i11(40)),
                            text_int("    - Deferred departures         : ", i11(3)),
                            text_int("    - Current vehicles en-route   : ", i11(0)),
                            text_int("    - Total trips completed       : ", i11(37)),
                            text_int("    - Trips lost without a path   : ", i11(3)),
                            text_int("    - last vehicle exit at        : ", i11(1200)),
                            " " + std::string(36, ' ')));
    // The lost trips are said again below the figures; the exit status shows them.
    EXPECT_EQ(at[15], free_line("Run completed, but trips were lost without a path:", 3,
                                "trips (each named above)"));
    EXPECT_EQ(run_status(s), kExitTripsLost);
    // The profiler report comes first.
    EXPECT_LT(run.log().find("C. Activity distribution"), run.log().find("D. Simulation"));
    EXPECT_FALSE(s.units.exists("en-route.out"));
    EXPECT_THAT(run.fe.titles, IsEmpty());
}

// One bad input file is two fatal errors in the count: the summary says so.
TEST(EndOfRun, AnInputFileCountedTwiceIsExplained) {
    LoopRun run(2000);
    run.s.errcount.errt1 = 2;
    run.s.errcount.counted_twice = 1;
    run_summary(run.s);
    EXPECT_THAT(run.log(), HasSubstr(text_int("    - Number of errors found      : ", i11(2))));
    EXPECT_THAT(run.log(), HasSubstr("       of them input files counted twice:            1 "
                                     " (once where the reader stopped, once for the file)\n"));
}

TEST(EndOfRun, FatalErrorInTheLoopGoesToTheRunSummaryWithTheTerminationBox) {
    LoopRun run(2000);
    run.probe.record = false;
    run.probe.on_step = [&](std::string_view name) {
        if (name == "enternet" && run.s.control.t10 == 12345) run.s.errcount.errt1 = 2;
    };
    EXPECT_FALSE(time_loop(run.s));
    run_summary(run.s);
    EXPECT_THAT(run.log(), HasSubstr(text_int("    - Simulation clock time       : ", i11(1234))));
    EXPECT_THAT(run.log(), HasSubstr(text_int("    - Number of errors found      : ", i11(2))));
    EXPECT_THAT(run.log(), Not(HasSubstr("counted twice"))) << "no input file failed";
    EXPECT_EQ(run.fe.destroyed, 0);
    ASSERT_EQ(run.fe.titles.size(), 1u);
    EXPECT_THAT(run.fe.titles[0], HasSubstr("VELMORANTIS TERMINATION REPORT"));
    EXPECT_THAT(run.fe.texts[0], HasSubstr("Traffic Simulation is Terminating Pre-Maturely"));
    EXPECT_THAT(run.fe.texts[0], HasSubstr("Total Number of errors is:       2"));
    EXPECT_THAT(run.fe.texts[0], HasSubstr("Please consult  RUNERR.OUT file for details"));
}

TEST(EndOfRun, EveryFileOfTheRunIsClosed) {
    LoopRun run(10);
    Sim&    s = run.s;
    for (int unit : {1, 8, 10, 25, 30, 31, 32, 79}) {
        ASSERT_TRUE(s.units.open_write(unit, "out" + std::to_string(unit)));
        s.units.line(unit, "kept");
    }
    run_summary(s);
    for (int unit : {1, 8, 9, 10, 25, 30, 31, 32, 79}) EXPECT_FALSE(s.units.is_open(unit)) << unit;
    EXPECT_EQ(s.units.file_text("out79"), "kept\n");
    EXPECT_THAT(s.units.file_text("runerr.out"), HasSubstr("D. Simulation summary statistics"));
}

// Two vehicles on link 3 and one on link 5, front first.
void place_vehicles(Sim& s) {
    auto& l2 = s.link2;
    auto& v = s.vehicle;
    l2.mlnum = 6;
    l2.nbqu(3) = 100;
    l2.ntqu(3) = 2;
    l2.nbqu(5) = 200;
    l2.ntqu(5) = 1;
    struct Veh {
        int   at, car, vid;
        float dis;
        int   stat, orig, dest;
        float arrt;
        int   wait[5];
    };
    const Veh vehs[] = {
        {101, 17, 4, 1234.0f, 2, 1, 4, 56.7f, {999999, 12, 80, 0, 0}},
        {102, 9, 1, 25.0f, 0, 2, 4, 60.0f, {70, 61, 90, 3, 0}},
        {201, 5000, 379999, 0.0f, 11, 3, 1, 100.2f, {999999, 99, 130, 0, 0}},
    };
    for (const auto& x : vehs) {
        v.big(x.at) = x.car;
        s.vehindx.vehid(x.car) = x.vid;
        s.vehplot.dis(x.vid, 1) = x.dis;
        s.oddat.stat(x.vid) = x.stat;
        v.norig(x.car) = x.orig;
        v.ndest(x.car) = x.dest;
        v.arrt(x.car) = x.arrt;
        for (int k = 1; k <= 5; ++k) v.wait(x.vid, k) = x.wait[k - 1];
    }
    s.set1.tenr = 3;
}

TEST(EndOfRun, VehiclesStillEnRouteAreListedLinkByLinkFrontFirst) {
    LoopRun run(10);
    Sim&    s = run.s;
    place_vehicles(s);
    s.filenam.path2 = "out\\";
    s.pathnam.lpath[2] = 4;
    run_summary(s);
    EXPECT_THAT(lines_of(s.units.file_text("out\\en-route.out")),
                ElementsAre("  Report of vehicles en-route at end of simulation",
                            "    link position   car dist status orig dest arrt wait1 wait2 "
                            "wait3 wait4 wait5",
                            //   l    i    car     dist  stat  orig  dest  arrt  wait1..5
                            "    3    1     17    1.234     2     1     4    56 999999     12"
                            "     80      0      0",
                            "    3    2      9    0.025     0     2     4    60     70     61"
                            "     90      3      0",
                            "    5    1   5000    0.000    11     3     1   100 999999     99"
                            "    130      0      0"));
}

TEST(EndOfRun, EnRouteListWithoutOutputDirectory) {
    LoopRun run(10);
    place_vehicles(run.s);
    run_summary(run.s);
    EXPECT_THAT(run.s.units.file_text("en-route.out"),
                HasSubstr("  Report of vehicles en-route at end of simulation"));
}

} // namespace
} // namespace velm
