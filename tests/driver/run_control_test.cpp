// Run control: pause and step waits with an injected sleeper, the front-end
// entries, tracking, and pacing against an injected processor clock.
#include "driver/loop_fixture.h"

#include "core/driver/profiler.h"
#include "core/driver/run_control.h"
#include "core/driver/time_loop.h"

#include <gmock/gmock.h>

#include <chrono>
#include <thread>
#include <vector>

namespace velm {
namespace {

using ::testing::ElementsAre;
using velm::testing::LoopRun;

// Calls check_pause once per tick, as the loop does, until a wait begins or
// `limit` ticks have run; returns the ticks that ran without waiting.
int ticks_until_wait(LoopRun& run, int limit) {
    const int before = run.sleeps;
    for (int n = 0; n < limit; ++n) {
        check_pause(run.s);
        if (run.sleeps != before) return n;
    }
    return limit;
}

TEST(RunControl, StepModeRunsItsTicksThenWaits) {
    for (int mode : {10, 100, 600}) {
        SCOPED_TRACE(mode);
        LoopRun run;
        set_next_time_step(run.s, mode);
        run.on_sleep = [&] { set_next_time_step(run.s, 0); };
        EXPECT_EQ(ticks_until_wait(run, 10000), mode);
        EXPECT_EQ(run.sleeps, 1);
        // Released to free running: no further wait.
        EXPECT_EQ(ticks_until_wait(run, 1000), 1000);
    }
}

TEST(RunControl, SwitchingTheStepDuringAWaitGivesTheNewStep) {
    LoopRun run;
    set_next_time_step(run.s, 10);
    run.on_sleep = [&] { set_next_time_step(run.s, 100); };
    // 10 ticks, then the wait; the tick that waited runs as the first of 100.
    EXPECT_EQ(ticks_until_wait(run, 1000), 10);
    run.on_sleep = [&] { set_next_time_step(run.s, 0); };
    EXPECT_EQ(ticks_until_wait(run, 1000), 99);
    EXPECT_EQ(run.sleeps, 2);
}

TEST(RunControl, ChoosingTheSameStepAgainDoesNotEndTheWait) {
    LoopRun run;
    set_next_time_step(run.s, 10);
    run.on_sleep = [&] { set_next_time_step(run.s, run.sleeps < 3 ? 10 : 0); };
    EXPECT_EQ(ticks_until_wait(run, 1000), 10);
    EXPECT_EQ(run.sleeps, 3);
}

// With short waits (the desktop program), the pacing sleeps until the
// deadline instead of reading the clock until it has passed: one sleep of the
// time left, then a single reading, and the clock never read in a loop.
TEST(Pacing, WithShortWaitsThePacingSleepsUntilTheDeadline) {
    LoopRun run;
    Sim&    s = run.s;
    run.clock = 500;
    stim(s, kStimReset);
    s.subtim.set_pacing(100); // 20 cs between deadlines
    run.clock_step = 1;
    std::vector<int> waits;
    s.platform.wait_ms = [&](int ms) {
        waits.push_back(ms);
        run.clock += ms / 10; // the sleep lets the clock run on
    };
    pace_tick(s);
    EXPECT_TRUE(waits.empty()) << "the first deadline has passed already";
    EXPECT_EQ(s.subtim.lclock, 21);
    const long reads_before = run.clock;
    pace_tick(s);
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0], 10 * (21 - 2)) << "the time left to the deadline, in ms";
    EXPECT_GE(s.subtim.cclock, 21);
    EXPECT_LE(run.clock - reads_before, 10 * 19 / 10 + 2) << "the clock was read in a loop";
    EXPECT_EQ(run.sleeps, 0);
}

// With short waits, a held run polls its step word every kHoldPollMs, so it
// goes on within that time of being resumed; whole-second sleeps are not used.
TEST(RunControl, WithShortWaitsAHeldRunPollsEveryFewMilliseconds) {
    LoopRun          run;
    std::vector<int> waits;
    run.s.platform.wait_ms = [&](int ms) {
        waits.push_back(ms);
        if (waits.size() == 5) resume_simulation(run.s);
    };
    pause_simulation(run.s);
    check_pause(run.s);
    EXPECT_EQ(waits, std::vector<int>(5, kHoldPollMs));
    EXPECT_LE(kHoldPollMs, 100);
    EXPECT_EQ(run.sleeps, 0);
    EXPECT_EQ(run.s.subtim.step_mode(), 0);
}

TEST(RunControl, PauseHoldsUntilResumed) {
    LoopRun run;
    pause_simulation(run.s);
    run.on_sleep = [&] {
        if (run.sleeps == 4) resume_simulation(run.s);
    };
    check_pause(run.s);
    EXPECT_EQ(run.sleeps, 4);
    EXPECT_EQ(run.s.subtim.step_mode(), 0);
}

TEST(RunControl, PauseDuringAStepWaitEndsItAndHoldsAtTheNextTick) {
    LoopRun run;
    set_next_time_step(run.s, 10);
    run.on_sleep = [&] { pause_simulation(run.s); };
    EXPECT_EQ(ticks_until_wait(run, 100), 10);
    EXPECT_EQ(run.sleeps, 1); // the step wait ended at the first poll
    run.on_sleep = [&] {
        if (run.sleeps == 3) resume_simulation(run.s);
    };
    check_pause(run.s); // the next tick holds in the pause
    EXPECT_EQ(run.sleeps, 3);
}

TEST(RunControl, TheCoreIsParkedExactlyWhileItWaits) {
    const struct {
        const char* what;
        int         mode;
        bool        stop; // the run was asked to end
        int         ticks_before_wait;
    } cases[] = {
        {"paused", 1, false, 0},
        {"holding after a 1-s step", 10, false, 10},
        {"holding after a 10-s step", 100, false, 100},
        {"paused, the run asked to end", 1, true, -1},
        {"running free", 0, false, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LoopRun run;
        Sim&    s = run.s;
        set_next_time_step(s, c.mode);
        if (c.stop) stop_simulation(s);
        std::vector<bool> parked_in_wait;
        run.on_sleep = [&] {
            parked_in_wait.push_back(core_parked(s));
            if (run.sleeps == 3) resume_simulation(s);
        };
        for (int n = 0; n < 200 && run.sleeps == 0; ++n) {
            EXPECT_FALSE(core_parked(s)) << "tick " << n;
            check_pause(s);
            if (run.sleeps > 0) {
                EXPECT_EQ(n, c.ticks_before_wait);
            }
        }
        EXPECT_FALSE(core_parked(s)) << "the tick goes on unparked";
        if (c.ticks_before_wait < 0) {
            EXPECT_EQ(run.sleeps, 0);
            continue;
        }
        EXPECT_EQ(parked_in_wait, std::vector<bool>(3, true));
    }
}

TEST(RunControl, TheWindowThreadCallsOnlyIntoAParkedCore) {
    LoopRun run;
    Sim&    s = run.s;
    int     calls = 0;
    // Not parked: the call is not made, after the wait it was given.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(call_when_parked(s, std::chrono::milliseconds(50), [&](Sim&) { ++calls; }));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(50));
    EXPECT_EQ(calls, 0);
    // Parked in the pause: made at once, and the core stays until resumed.
    pause_simulation(s);
    run.on_sleep = [&] {
        if (run.sleeps == 1) {
            EXPECT_TRUE(call_when_parked(s, std::chrono::milliseconds(0), [&](Sim& in) {
                EXPECT_EQ(&in, &s);
                ++calls;
            }));
        }
        if (run.sleeps == 2) resume_simulation(s);
    };
    check_pause(s);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(run.sleeps, 2);
}

TEST(RunControl, OnlyTheTenthSecondModeCountsAsPaused) {
    LoopRun                   run;
    const std::pair<int, int> cases[] = {{0, 0}, {1, 1}, {10, 0}, {100, 0}, {36000, 0}};
    for (auto [mode, paused] : cases) {
        set_next_time_step(run.s, mode);
        int v = -1;
        simulation_paused(run.s, v);
        EXPECT_EQ(v, paused) << mode;
    }
    set_next_sim_time(run.s, 200);
    EXPECT_EQ(run.s.subtim.pacing(), 200);
}

TEST(RunControl, TrackingChoices) {
    struct Case {
        int track_id;
        int symb11, symb12, symb13;
    };
    // Earlier choices stay where a mode does not store a number.
    const Case cases[] = {
        {1, 1, 11, 0},  {2, 2, 22, 0},  {3, 3, 33, 44},   {4, 4, 55, 44},
        {5, 5, 55, 44}, {6, 6, 55, 44}, {14, 14, 55, 44},
    };
    LoopRun run;
    Sim&    s = run.s;
    for (const auto& c : cases) {
        track_stuff(s, c.track_id, 11, 22, 33, 44, 55);
        EXPECT_EQ(s.graph1.symb(11), c.symb11) << c.track_id;
        EXPECT_EQ(s.graph1.symb(12), c.symb12) << c.track_id;
        EXPECT_EQ(s.graph1.symb(13), c.symb13) << c.track_id;
    }
    diable_all_tracking(s);
    EXPECT_EQ(s.graph1.symb(11), 0);
    EXPECT_EQ(s.graph1.symb(12), 55);
}

TEST(RunControl, TrackingTraceIsWrittenByTheCoreThread) {
    LoopRun run;
    Sim&    s = run.s;
    track_stuff(s, 1, 7, 0, 0, 0, 0);
    check_pause(s);
    EXPECT_EQ(run.log().find("vehcol3"), std::string::npos); // trace switch off
    s.errflg.errchk[15] = 2;
    std::thread window([&] { track_stuff(s, 1, 9, 0, 0, 0, 0); });
    window.join();
    EXPECT_EQ(run.log().find("vehcol3"), std::string::npos); // not yet: the window thread
    check_pause(s);
    const std::string blanks(11, ' ');
    EXPECT_NE(run.log().find(" vehcol3:" + blanks + "1" + blanks + "9"), std::string::npos);
}

TEST(RunControl, WindowThreadCanStepAndResumeARunningLoop) {
    // The front end writes the words from its own thread while the core polls.
    LoopRun run(30);
    run.probe.record = false;
    set_next_time_step(run.s, 100);
    std::atomic<int> waits{0};
    run.s.platform.sleep = [&](int) {
        ++waits;
        std::thread window([&] { set_next_time_step(run.s, 0); });
        window.join();
    };
    EXPECT_TRUE(time_loop(run.s));
    EXPECT_EQ(waits.load(), 1);
}

// Pacing: each simulated second takes at least `clocks` cs of processor time.
TEST(Pacing, EachSimulatedSecondTakesAtLeastTheChosenTime) {
    const auto cs_per_second = [](int clocks) {
        LoopRun run(5);
        run.clock_step = 1; // every clock reading advances 1 cs
        run.s.subtim.set_pacing(clocks);
        std::vector<int> at_second;
        run.probe.record = false;
        run.probe.on_step = [&](std::string_view name) {
            if (name == "per_second") at_second.push_back(run.s.subtim.cclock);
        };
        EXPECT_TRUE(time_loop(run.s));
        std::vector<int> used;
        for (std::size_t i = 2; i < at_second.size(); ++i)
            used.push_back(at_second[i] - at_second[i - 1]);
        return std::make_pair(used, run.s.subtim.tottim(100));
    };
    const auto [unpaced, wait0] = cs_per_second(0);
    for (int u : unpaced) EXPECT_LT(u, 1000);
    EXPECT_EQ(wait0, 0);
    const auto [paced, wait] = cs_per_second(1000);
    ASSERT_FALSE(paced.empty());
    for (int u : paced) {
        EXPECT_GE(u, 1000);
        EXPECT_LT(u, 1100);
    }
    EXPECT_GT(wait, 3000); // the pacing wait takes most of the run
}

TEST(Pacing, DeadlineFollowsTheProcessorClock) {
    LoopRun run;
    Sim&    s = run.s;
    run.clock = 500;
    stim(s, kStimReset);
    s.subtim.set_pacing(100);
    run.clock_step = 3;
    pace_tick(s); // the old deadline (0) has passed: one reading, no wait
    EXPECT_EQ(s.subtim.cclock, 3);
    EXPECT_EQ(s.subtim.lclock, 23);
    pace_tick(s); // busy-waits until cclock >= 23
    EXPECT_EQ(s.subtim.cclock, 24);
    EXPECT_EQ(s.subtim.lclock, 44);
    EXPECT_EQ(s.subtim.tottim(100), 24);
}

} // namespace
} // namespace velm
