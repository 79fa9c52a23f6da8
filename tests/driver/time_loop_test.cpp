// The tick: loop bounds, the order of the steps in a tick, their periods, the
// fatal-error tests and the stop request that end the loop, the pause-request
// file and the checkpoint trace.
#include "driver/loop_fixture.h"

#include "core/driver/run_control.h"
#include "core/driver/time_loop.h"
#include "core/io/writers.h"

#include <gmock/gmock.h>

#include <functional>
#include <thread>

namespace velm {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using velm::testing::LoopRun;
using velm::testing::range_step;

std::vector<int> all_ticks(int last) {
    return range_step(0, last, 1);
}

TEST(TimeLoop, RunsTenTimesTheHorizonPlusOneTicks) {
    for (int horizon : {0, 1, 3}) {
        SCOPED_TRACE(horizon);
        LoopRun run(horizon);
        EXPECT_TRUE(time_loop(run.s));
        EXPECT_EQ(run.probe.ticks_of("moveveh"), all_ticks(10 * horizon));
        EXPECT_EQ(run.s.control.t10, 10 * horizon);
        EXPECT_EQ(run.s.control.t, horizon);
        // The once-per-second block runs at every second, second 0 and the
        // horizon included.
        EXPECT_EQ(run.probe.ticks_of("per_second"), range_step(0, 10 * horizon, 10));
    }
}

TEST(TimeLoop, StepsOfASecondTickInTheirOrder) {
    LoopRun run(0);
    run.probe.record = false;
    run.probe.on_step = [&](std::string_view name) {
        // Only the tick's own steps, not those inside the per-second block.
        static const std::vector<std::string> tick_steps = {"sub_dyn_lnk_spd_ctrl",
                                                            "check_pause",
                                                            "calc_seg_lane_speed",
                                                            "print_segemnt_data",
                                                            "pause_request",
                                                            "pace_tick",
                                                            "setrmpmet",
                                                            "prmpmet",
                                                            "update",
                                                            "settrn",
                                                            "dis_rep",
                                                            "per_second",
                                                            "fun_nbsig",
                                                            "highway_spd_harm_run",
                                                            "fun_divc",
                                                            "prepsignal",
                                                            "setsignal1",
                                                            "setsignal2",
                                                            "sortlist",
                                                            "lanpos",
                                                            "moveveh",
                                                            "enternet",
                                                            "vehpos2",
                                                            "srtque",
                                                            "vehpos2b",
                                                            "spilback",
                                                            "vehpos7",
                                                            "vehpos5",
                                                            "shw_veh",
                                                            "vehpos1",
                                                            "updtacci",
                                                            "chkanimspd",
                                                            "clearscrn",
                                                            "pdetloc",
                                                            "vehpos3",
                                                            "compfuel",
                                                            "checkkey",
                                                            "dynflow",
                                                            "redraw_and_adjust"};
        for (const auto& n : tick_steps)
            if (n == name) run.probe.calls.push_back({run.s.control.t10, std::string(name)});
    };
    // Every switch on, so every step of the tick runs at second 0.
    Sim& s = run.s;
    testing::every_tick_switch_on(s);
    ASSERT_TRUE(time_loop(s));
    EXPECT_THAT(run.probe.steps_at(0),
                ElementsAre("sub_dyn_lnk_spd_ctrl", "check_pause", "calc_seg_lane_speed",
                            "print_segemnt_data", "pause_request", "setrmpmet", "prmpmet", "update",
                            "settrn", "dis_rep", "per_second", "fun_nbsig", "highway_spd_harm_run",
                            "fun_divc", "setsignal1", "setsignal2", "lanpos", "moveveh", "enternet",
                            "vehpos2", "srtque", "vehpos2b", "spilback", "vehpos7", "lanpos",
                            "vehpos5", "shw_veh", "vehpos1", "updtacci", "chkanimspd", "pdetloc",
                            "vehpos3", "compfuel", "checkkey", "dynflow", "redraw_and_adjust"));
}

TEST(TimeLoop, StepsOfAnOddTickBetweenSeconds) {
    LoopRun run(1);
    ASSERT_TRUE(time_loop(run.s));
    EXPECT_THAT(run.probe.steps_at(1),
                ElementsAre("sub_dyn_lnk_spd_ctrl", "check_pause", "setrmpmet", "prmpmet", "settrn",
                            "setsignal1", "setsignal2", "sortlist", "lanpos", "moveveh", "enternet",
                            "vehpos2", "srtque", "vehpos2b", "spilback", "lanpos", "vehpos5",
                            "shw_veh", "vehpos1", "clearscrn", "redraw_and_adjust"));
}

// The periods of the conditional steps over ticks 0 .. 25.
struct PeriodCase {
    const char*               label;
    std::function<void(Sim&)> setup;
    const char*               step;
    std::vector<int>          ticks;
};

TEST(TimeLoop, PeriodsOfTheStepsOverTheFirstTicks) {
    const auto                    none = [](Sim&) {};
    const std::vector<PeriodCase> cases = {
        {"per-second block", none, "per_second", {0, 10, 20}},
        {"distance ring every 5 s", none, "dis_rep", {0}},
        {"pause file every 10 s", none, "pause_request", {0}},
        {"flow decay every 5 ticks", none, "dynflow", {0, 5, 10, 15, 20, 25}},
        {"link service order", none, "sortlist", {1, 11, 21}},
        {"own signal control", none, "setsignal1", all_ticks(25)},
        {"own signal control", none, "setsignal2", all_ticks(25)},
        {"external signals", [](Sim& s) { s.atms.mitrefl(1) = 1; }, "prepsignal", {1, 11, 21}},
        {"external signals", [](Sim& s) { s.atms.mitrefl(1) = 1; }, "setsignal2", {1, 11, 21}},
        {"external signals", [](Sim& s) { s.atms.mitrefl(1) = 1; }, "setsignal1", {}},
        {"crash exposure", none, "updtacci", {0, 10, 20}},
        {"fuel", none, "compfuel", {0, 10, 20}},
        {"stop poll with a still clock", none, "checkkey", {0, 10, 20}},
        {"time-space off", none, "vehpos7", {}},
        {"time-space on", [](Sim& s) { s.vehplot.timspc = 1; }, "vehpos7", {0, 10, 20}},
        {"lane targeting",
         [](Sim& s) { s.lane_target.lane_tar_enbld = 1; },
         "calc_seg_lane_speed",
         {0, 10, 20}},
        // The periods are set at every second from the view width (none
        // here: the narrowest periods, clear 50 and redraw 2 ticks) and the
        // base factor animspd(1).
        {"clear period 50", none, "clearscrn", {1}},
        {"clear period 50", none, "pdetloc", {0}},
        {"redraw period 2", none, "vehpos3", {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24}},
        {"base factor 2 on a wide view",
         [](Sim& s) {
             s.subtim.animspd(1) = 2;
             s.set2.xmax(2) = 10.0f;
         },
         "vehpos3",
         {0, 20}},
        {"base factor 2 on a wide view",
         [](Sim& s) {
             s.subtim.animspd(1) = 2;
             s.set2.xmax(2) = 10.0f;
         },
         "clearscrn",
         {1}},
        {"a zero period is taken as 1", [](Sim& s) { s.subtim.animspd(1) = 0; }, "vehpos3",
         all_ticks(25)},
        {"a zero period is taken as 1", [](Sim& s) { s.subtim.animspd(1) = 0; }, "pdetloc",
         all_ticks(25)},
        {"progress, empty network", none, "update", {0}},
        {"progress, vehicles en route", [](Sim& s) { s.set1.tenr = 3; }, "update", {0, 10, 20}},
        {"progress, 10-s steps", [](Sim& s) { s.subtim.set_step_mode(100); }, "update", {0}},
        {"queue-reward control off", none, "fun_nbsig", {}},
        {"queue-reward control on", [](Sim& s) { s.nbsig.fmt_nbsig = 1; }, "fun_nbsig",
         all_ticks(25)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.label) + ": " + c.step);
        LoopRun run(3);
        c.setup(run.s);
        ASSERT_TRUE(time_loop(run.s));
        EXPECT_EQ(run.probe.ticks_of(c.step, 25), c.ticks);
    }
}

TEST(TimeLoop, ProgressEveryTickWhilePacedOrSteppedBySmallSteps) {
    {
        SCOPED_TRACE("paced");
        LoopRun run(2);
        run.clock_step = 1;
        run.s.subtim.set_pacing(10);
        ASSERT_TRUE(time_loop(run.s));
        EXPECT_EQ(run.fe.progress_ticks, all_ticks(20));
    }
    {
        SCOPED_TRACE("1-s steps, then run on");
        LoopRun run(2);
        run.s.subtim.set_step_mode(10);
        run.on_sleep = [&] { run.s.subtim.set_step_mode(0); };
        ASSERT_TRUE(time_loop(run.s));
        // Ten ticks in the step mode, the wait before tick 10, then free
        // running: the empty network reports every 10 s only.
        EXPECT_EQ(run.fe.progress_ticks, all_ticks(9));
        EXPECT_EQ(run.sleeps, 1);
    }
}

// An error count raised by a step ends the loop at the next of its three
// tests: after enternet, after the detector reports, after the turn bans.
struct FatalCase {
    const char*              label;
    const char*              raised_by;
    int                      raised_at;
    int                      ends_at;    // tick whose test ends the loop
    const char*              last_step;  // the last step that ran
    std::vector<std::string> not_at_end; // steps of that tick that must not run
};

TEST(TimeLoop, FatalErrorEndsTheLoopAtItsNextTest) {
    const std::vector<FatalCase> cases = {
        {"network entry", "enternet", 13, 13, "enternet", {"vehpos2", "redraw_and_adjust"}},
        {"raised before the test in the same tick", "moveveh", 13, 13, "enternet", {"vehpos2"}},
        {"raised after the test: the tick finishes", "vehpos1", 13, 14, "enternet", {"vehpos2"}},
        {"detector reports",
         "detreport",
         20,
         20,
         "detreport",
         {"meter_history", "setsignal1", "moveveh"}},
        {"timed turn bans", "addnfnt", 600, 600, "addnfnt", {"qtime", "moveveh"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        LoopRun run(100);
        run.probe.on_step = [&](std::string_view name) {
            if (name == c.raised_by && run.s.control.t10 == c.raised_at) run.s.errcount.errt1 = 1;
        };
        EXPECT_FALSE(time_loop(run.s));
        ASSERT_FALSE(run.probe.calls.empty());
        EXPECT_EQ(run.probe.calls.back().t10, c.ends_at);
        EXPECT_EQ(run.probe.calls.back().name, c.last_step);
        for (const auto& n : c.not_at_end)
            EXPECT_THAT(run.probe.ticks_of(n), ::testing::Not(::testing::Contains(c.ends_at))) << n;
        EXPECT_EQ(run.s.control.t, c.ends_at / 10);
        EXPECT_EQ(run.fe.destroyed, 0);
    }
}

int occurrences(const std::string& text, std::string_view part) {
    int n = 0;
    for (auto p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
    return n;
}

// "pause.vlm" names the second of a message box; it is read every 10 s.
struct PauseCase {
    const char* content;
    int         boxes;
    bool        logged; // a run-log line about a bad file
};

TEST(TimeLoop, PauseRequestFile) {
    const std::vector<PauseCase> cases = {
        {"35\n", 0, false},   {"40\n", 1, false},
        {"0\n", 1, false},    {"  70 trailing words\n", 1, false},
        {"forty\n", 0, true}, {"", 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        LoopRun run(80);
        run.s.units.put_file("pause.vlm", c.content);
        ASSERT_TRUE(time_loop(run.s));
        EXPECT_EQ(static_cast<int>(run.fe.titles.size()), c.boxes);
        for (const auto& title : run.fe.titles) EXPECT_THAT(title, HasSubstr("VELMORANTIS PAUSE"));
        for (const auto& text : run.fe.texts) {
            EXPECT_THAT(text, HasSubstr("VELMORANTIS PAUSE ON REQUEST"));
            EXPECT_THAT(text, HasSubstr("Please click OK"));
        }
        // Read nine times, reported once.
        EXPECT_EQ(occurrences(run.log(), "pause.vlm"), c.logged ? 1 : 0);
        // The box does not hold the run: every tick ran.
        EXPECT_EQ(run.probe.ticks_of("moveveh").size(), 801u);
    }
}

TEST(TimeLoop, PauseBoxShownOnceAtTheNamedSecond) {
    LoopRun run(80);
    run.s.units.put_file("pause.vlm", "40");
    int shown_t = -1;
    run.probe.on_step = [&](std::string_view name) {
        if (name == "setrmpmet" && run.fe.titles.size() == 1 && shown_t < 0)
            shown_t = run.s.control.t;
    };
    ASSERT_TRUE(time_loop(run.s));
    EXPECT_EQ(shown_t, 40);
    EXPECT_EQ(run.fe.titles.size(), 1u);
}

// A file that stays bad is reported once; a new bad text is reported again,
// and so is the old one after a good file came between.
TEST(TimeLoop, BadPauseFileIsReportedAgainOnlyWhenItChanges) {
    LoopRun run(90);
    run.s.units.put_file("pause.vlm", "forty\n");
    run.probe.on_step = [&](std::string_view name) {
        if (name != "setrmpmet") return;
        const int t10 = run.s.control.t10;
        if (t10 == 305) run.s.units.put_file("pause.vlm", "fifty\n");
        if (t10 == 505) run.s.units.put_file("pause.vlm", "7\n");
        if (t10 == 705) run.s.units.put_file("pause.vlm", "fifty\n");
    };
    ASSERT_TRUE(time_loop(run.s));
    EXPECT_EQ(occurrences(run.log(), " pause.vlm does not hold a whole number; ignored\n"), 3)
        << run.log();
}

TEST(TimeLoop, NoPauseFileMeansNoBoxAndNoLogLine) {
    LoopRun run(30);
    ASSERT_TRUE(time_loop(run.s));
    EXPECT_THAT(run.fe.titles, IsEmpty());
    EXPECT_EQ(run.log().find("pause.vlm"), std::string::npos);
}

TEST(TimeLoop, CheckpointTraceKeepsTheLastCodeOfTheRun) {
    LoopRun run(1);
    run.s.errflg.errchk[30] = 1;
    ASSERT_TRUE(time_loop(run.s));
    const std::string trace = run.s.units.file_text("rep_err.out");
    // The last checkpoint of the last tick (10) is the display refresh.
    EXPECT_THAT(trace, HasSubstr(" rep_err:"));
    EXPECT_THAT(trace, HasSubstr("Time:        10  Code:      1200"));
}

TEST(TimeLoop, NoCheckpointTraceWhenSwitchedOff) {
    LoopRun run(1);
    ASSERT_TRUE(time_loop(run.s));
    EXPECT_FALSE(run.s.units.exists("rep_err.out"));
}

// The front end's stop request, set from another thread as the window does:
// the loop ends at the head of the next tick, after the pause check, also out
// of a pause or a step wait, and says so in the run log.
struct StopCase {
    const char*                   label;
    std::function<void(LoopRun&)> arrange; // before the loop starts
    int                           ends_at; // tick that ends the loop
    int                           sleeps;  // whole-second waits that ran
};

void stop_from_window(Sim& s) {
    std::thread window([&s] { stop_simulation(s); });
    window.join();
}

TEST(TimeLoop, StopRequestEndsTheLoopAtTheHeadOfTheNextTick) {
    const std::vector<StopCase> cases = {
        {"while running",
         [](LoopRun& run) {
             run.probe.on_step = [&run](std::string_view name) {
                 if (name == "vehpos1" && run.s.control.t10 == 123) stop_from_window(run.s);
             };
         },
         124, 0},
        {"before the first tick", [](LoopRun& run) { stop_from_window(run.s); }, 0, 0},
        {"while paused",
         [](LoopRun& run) {
             run.probe.on_step = [&run](std::string_view name) {
                 if (name == "vehpos1" && run.s.control.t10 == 50) pause_simulation(run.s);
             };
             run.on_sleep = [&run] {
                 if (run.sleeps == 3) stop_from_window(run.s);
                 if (run.sleeps == 10) resume_simulation(run.s); // a wait deaf to the stop
             };
         },
         51, 3},
        {"while a step of 10 ticks waits",
         [](LoopRun& run) {
             set_next_time_step(run.s, 10);
             run.on_sleep = [&run] {
                 stop_from_window(run.s);
                 if (run.sleeps == 10) set_next_time_step(run.s, 0); // a wait deaf to the stop
             };
         },
         10, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        LoopRun run(100);
        c.arrange(run);
        EXPECT_FALSE(time_loop(run.s));
        EXPECT_EQ(run.sleeps, c.sleeps);
        // The stopped tick ran its head up to the pause check, nothing more;
        // the tick before it ran to its end.
        EXPECT_THAT(run.probe.steps_at(c.ends_at),
                    ElementsAre("sub_dyn_lnk_spd_ctrl", "check_pause"));
        if (c.ends_at > 0) {
            EXPECT_EQ(run.probe.steps_at(c.ends_at - 1).back(), "redraw_and_adjust");
        }
        EXPECT_EQ(run.probe.calls.back().t10, c.ends_at);
        EXPECT_EQ(run.s.control.t, c.ends_at / 10);
        EXPECT_THAT(run.log(), HasSubstr(free_line(" Run stopped on request at simulation clock",
                                                   c.ends_at / 10) +
                                         "\n"));
        EXPECT_EQ(run.fe.destroyed, 0); // the stop exit skips the end-of-run reports
    }
}

TEST(TimeLoop, LastVehicleExitIsTheSecondTheArrivalsLastGrew) {
    LoopRun run(20);
    run.probe.on_step = [&](std::string_view name) {
        // Trips end in the link transfers: one at 7.3 s, one at 12.0 s.
        const int t10 = run.s.control.t10;
        if (name == "moveveh" && (t10 == 73 || t10 == 120)) ++run.s.set1.tarr;
    };
    ASSERT_TRUE(time_loop(run.s));
    EXPECT_EQ(run.s.subtim.lastext, 12);
}

} // namespace
} // namespace velm
