// The once-per-second block: which steps run at second 0 and which wait for
// t > 0, the periods of the report, ramp-meter and plan steps, the external
// management programs and the meter-rate history.
#include "driver/loop_fixture.h"

#include "core/driver/per_second.h"
#include "core/driver/time_loop.h"

#include <gmock/gmock.h>

namespace velm {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using velm::testing::lines_of;
using velm::testing::LoopRun;
using velm::testing::range_step;

// Runs the block alone for second t. The callees are the real routines where
// they exist (the plan readers report the plan files these runs do not have);
// only the schedule matters here, so each second starts without errors.
void run_second(LoopRun& run, int t) {
    run.s.errcount.errt1 = 0;
    run.s.control.t = t;
    run.s.control.t10 = 10 * t;
    ASSERT_TRUE(per_second(run.s));
}

// Every report and plan switch on, so each step's own condition decides.
void switch_everything_on(Sim& s) {
    s.set1.simtim1 = 3600;
    s.trees.pd_ot1 = 300;
    s.trees.pd_ot2 = 60;
    s.signal.dsigper = -30;
    s.rmpmeter.rmptm = 20;
    for (int slot : {10, 12, 13, 14, 25, 27}) s.pathnam.filuse[static_cast<std::size_t>(slot)] = 1;
    s.set1.tremet(1) = 2;
    s.atms.atmsfl(1) = 1;
}

TEST(PerSecond, SecondZeroRunsOnlyTheStepsThatDoNotWaitForItsEnd) {
    LoopRun run;
    switch_everything_on(run.s);
    run_second(run, 0);
    EXPECT_THAT(run.probe.steps_at(0),
                ElementsAre("sigact", "comp_tcol", "progress_line", "cputime", "arrival",
                            "rsflwhis", "uptimhis", "resetvid", "atms", "detreset", "det_sum",
                            "detreport", "meter_history", "readsgnl", "qtime", "systimer",
                            "decdept", "lossum", "chk_enrt", "pflow", "pturn", "pminpath",
                            "ptiming", "plumwrt", "plumset", "travelset", "incid", "resetflow",
                            "sig_his", "psignal", "pincident"));
}

TEST(PerSecond, AMinuteSecondRunsEveryStep) {
    LoopRun run;
    switch_everything_on(run.s);
    run_second(run, 600);
    EXPECT_THAT(run.probe.steps_at(6000),
                ElementsAre("sigact", "comp_tcol", "progress_line", "cputime", "arrival",
                            "rsflwhis", "uptimhis", "offopt", "resetvid", "atms", "detreset",
                            "det_sum", "detreport", "rampflow", "comprmp1", "updatrmp",
                            "meter_history", "settolplz", "addnfnt", "readsgnl", "qtime",
                            "systimer", "decdept", "lossum", "rebuild_trees", "chk_enrt", "pflow",
                            "pturn", "pminpath", "ptiming", "plumwrt", "plumset", "travelset",
                            "incid", "resetflow", "optsignal", "sig_his", "psignal", "pincident"));
}

TEST(PerSecond, AnOrdinarySecondRunsTheEverySecondSteps) {
    LoopRun run;
    switch_everything_on(run.s);
    run_second(run, 7);
    EXPECT_THAT(run.probe.steps_at(70),
                ElementsAre("sigact", "comp_tcol", "uptimhis", "offopt", "detreset", "det_sum",
                            "detreport", "meter_history", "qtime", "rebuild_trees", "chk_enrt",
                            "resetflow", "psignal", "pincident"));
}

// Seconds in 0 .. last at which a step runs.
std::vector<int> seconds_of(LoopRun& run, const char* step, int last) {
    // The plan setting is put back before each second: the real plan readers
    // change it when the plan files they look for are missing.
    const int dsigper = run.s.signal.dsigper;
    for (int t = 0; t <= last; ++t) {
        run.s.signal.dsigper = dsigper;
        run_second(run, t);
    }
    std::vector<int> out;
    for (int t10 : run.probe.ticks_of(step)) out.push_back(t10 / 10);
    return out;
}

struct PeriodCase {
    const char*               label;
    std::function<void(Sim&)> setup;
    const char*               step;
    int                       last;
    std::vector<int>          seconds;
};

TEST(PerSecond, PeriodsOfTheSteps) {
    const auto los = [](int pd_ot1, int simtim1, bool slot10) {
        return [=](Sim& s) {
            s.trees.pd_ot1 = pd_ot1;
            s.set1.simtim1 = simtim1;
            s.pathnam.filuse[10] = slot10 ? 1 : 0;
        };
    };
    const std::vector<PeriodCase> cases = {
        {"negative rate 1: not at 0, never at the horizon",
         los(-300, 1200, true),
         "lossum",
         1500,
         {300, 600, 900}},
        {"positive rate 1 includes second 0",
         los(300, 1200, true),
         "lossum",
         1500,
         {0, 300, 600, 900}},
        {"rate 1 off", los(0, 1200, true), "lossum", 1500, {}},
        {"no summary output", los(300, 1200, false), "lossum", 1500, {}},
        {"meter rates every rmptm s",
         [](Sim& s) { s.rmpmeter.rmptm = 20; },
         "rampflow",
         70,
         {20, 40, 60}},
        {"meter interval 0 is never due", [](Sim& s) { s.rmpmeter.rmptm = 0; }, "rampflow", 70, {}},
        // (Plan cases stop before the first minute: the real plan readers
        // find no plan files here, and what they leave behind is theirs.)
        {"plans of the signal file", [](Sim& s) { s.signal.dsigper = 20; }, "read3", 59, {20, 40}},
        {"per-plan files include second 0",
         [](Sim& s) { s.signal.dsigper = -20; },
         "readsgnl",
         59,
         {0, 20, 40}},
        {"no plan changes", [](Sim&) {}, "read3", 59, {}},
        {"no plan changes", [](Sim&) {}, "readsgnl", 59, {}},
        {"slot compaction every 6 s", [](Sim&) {}, "resetvid", 20, {0, 6, 12, 18}},
        {"departure list every 30 s", [](Sim&) {}, "decdept", 70, {0, 30, 60}},
        {"incidents every 5 s", [](Sim&) {}, "incid", 12, {0, 5, 10}},
        {"tolls wait for t > 0", [](Sim&) {}, "settolplz", 130, {60, 120}},
        {"turn bans wait for t > 0", [](Sim&) {}, "addnfnt", 130, {60, 120}},
        {"signal history includes second 0", [](Sim&) {}, "sig_his", 130, {0, 60, 120}},
        {"optimisation waits for t > 0", [](Sim&) {}, "optsignal", 130, {60, 120}},
        {"listings of rate 2",
         [](Sim& s) {
             s.trees.pd_ot2 = -45;
             s.pathnam.filuse[12] = 1;
         },
         "pflow",
         100,
         {0, 45, 90}},
        {"run-log progress line", [](Sim&) {}, "progress_line", 1300, {0, 600, 1200}},
        {"tree rebuild waits for t > 0", [](Sim&) {}, "rebuild_trees", 2, {1, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        LoopRun run;
        c.setup(run.s);
        EXPECT_EQ(seconds_of(run, c.step, c.last), c.seconds);
    }
}

TEST(PerSecond, TreeListingOnlyForClassesRoutedByMethod2Or9) {
    LoopRun run;
    Sim&    s = run.s;
    s.trees.pd_ot2 = 60;
    s.pathnam.filuse[13] = 1;
    const int methods[] = {2, 9, 1, 2, 3};
    for (int vt = 1; vt <= 5; ++vt) s.set1.tremet(vt) = methods[vt - 1];
    run_second(run, 60);
    EXPECT_EQ(run.probe.ticks_of("pminpath").size(), 3u);
}

TEST(PerSecond, ExternalProgramsOfTheMinute) {
    LoopRun run;
    Sim&    s = run.s;
    s.atms.atmsfl(2) = 1;
    s.atms.atmsfl(5) = 1;
    run_second(run, 30);
    EXPECT_THAT(run.commands, IsEmpty());
    run_second(run, 60);
    EXPECT_THAT(run.commands,
                ElementsAre("interact\\atms2.exe      60", "interact\\atms5.exe      60"));
    // The run log shows the 40-character command text of each call.
    std::vector<std::string> calls;
    for (const auto& line : lines_of(run.log()))
        if (line.rfind("  ATMS Routine Call:", 0) == 0) calls.push_back(line);
    const std::string pad(18, ' ');
    EXPECT_THAT(calls, ElementsAre("  ATMS Routine Call:interact\\atms2      60" + pad,
                                   "  ATMS Routine Call:interact\\atms5      60" + pad));
    run.commands.clear();
    run_second(run, 120);
    EXPECT_THAT(run.commands,
                ElementsAre("interact\\atms2.exe     120", "interact\\atms5.exe     120"));
}

TEST(PerSecond, ExternalProgramsAtSecondZeroAndNoneWhenNotFound) {
    LoopRun run;
    run.s.atms.atmsfl(1) = 1;
    run_second(run, 0);
    EXPECT_THAT(run.commands, ElementsAre("interact\\atms1.exe       0"));
    LoopRun none;
    run_second(none, 0);
    EXPECT_THAT(none.commands, IsEmpty());
    EXPECT_EQ(none.log().find("ATMS"), std::string::npos);
}

TEST(PerSecond, MeterRateHistoryGoesIntoTheSlotOfTheMinute) {
    LoopRun run;
    Sim&    s = run.s;
    s.rmpmeter.rmprat(3, 1) = 123.0f;
    s.rmpmeter.rmprat(450, 1) = 7.0f;
    run.s.control.t = 65;
    run.s.control.t10 = 650; // minute 1: slot 2
    ASSERT_TRUE(per_second(s));
    EXPECT_EQ(s.rmpmeter.rmphis(3, 2), 123.0f);
    EXPECT_EQ(s.rmpmeter.rmphis(450, 2), 7.0f);
    EXPECT_EQ(s.rmpmeter.rmphis(3, 1), 0.0f);
    // Minute 60 wraps to slot 1.
    s.rmpmeter.rmprat(3, 1) = 5.0f;
    run.s.control.t = 3600;
    run.s.control.t10 = 36000;
    ASSERT_TRUE(per_second(s));
    EXPECT_EQ(s.rmpmeter.rmphis(3, 1), 5.0f);
}

TEST(PerSecond, ProgressLineShowsSimulatedAndProcessorMinutes) {
    LoopRun run;
    run.s.subtim.cclock = 9000; // 1.5 processor minutes
    run_second(run, 600);
    EXPECT_THAT(lines_of(run.log()),
                ::testing::Contains("    - sim time:    10.00  after      1.50 real mins. "));
}

TEST(PerSecond, FatalErrorOfTheDetectorsOrTurnBansStopsTheBlock) {
    for (const char* raiser : {"detreport", "addnfnt"}) {
        SCOPED_TRACE(raiser);
        LoopRun run;
        run.probe.on_step = [&](std::string_view name) {
            if (name == raiser) run.s.errcount.errt1 = 1;
        };
        run.s.control.t = 60;
        run.s.control.t10 = 600;
        EXPECT_FALSE(per_second(run.s));
        EXPECT_EQ(run.probe.calls.back().name, raiser);
    }
}

} // namespace
} // namespace velm
