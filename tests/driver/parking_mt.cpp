// The window thread calls into the run state (repaint, centring) only while
// the core thread is parked in its pause: a core spinning through its ticks
// is paused and drawn into from the other thread without a race, and a core
// held inside a long tick makes the call give up.
#include "driver/loop_fixture.h"

#include "core/display/display.h"
#include "core/driver/run_control.h"
#include "core/driver/time_loop.h"
#include "display/recording_bridge.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace velm {
namespace {

using namespace std::chrono_literals;
using velm::testing::LoopRun;

// A run of a week's horizon on its own thread; every tick publishes its clock
// and every wait sleeps a millisecond. The core draws through the recording
// bridge each tick (the end-of-tick refresh), as the window thread does.
struct CoreThread {
    LoopRun                  run{604800};
    Sim&                     s = run.s;
    support::RecordingBridge fake;
    std::atomic<int>         t10{-1};
    std::atomic<bool>        hold_tick{false}; // the core stays inside its tick while set
    std::atomic<bool>        in_tick{false};
    std::thread              core;

    CoreThread() {
        s.draw = &fake;
        run.probe.record = false;
        run.probe.on_step = [this](std::string_view name) {
            t10.store(s.control.t10);
            if (name != "moveveh") return;
            while (hold_tick.load()) {
                in_tick.store(true);
                std::this_thread::sleep_for(1ms);
            }
        };
        s.platform.sleep = [](int) { std::this_thread::sleep_for(1ms); };
        core = std::thread([this] { time_loop(s); });
    }
    ~CoreThread() {
        hold_tick.store(false);
        stop_simulation(s);
        core.join();
    }
    bool wait_for_tick(int tick) {
        const auto end = std::chrono::steady_clock::now() + 60s;
        while (t10.load() < tick) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
};

TEST(Parking, APausedCoreIsDrawnIntoOnlyOnceParked) {
    CoreThread c;
    ASSERT_TRUE(c.wait_for_tick(50));
    pause_simulation(c.s);
    int  xi = 0, yi = 0;
    bool called = false;
    ASSERT_TRUE(call_when_parked(c.s, kParkWait, [&](Sim& s) {
        called = true;
        EXPECT_TRUE(core_parked(s));
        const int    at = c.t10.load();
        const size_t drawn = c.fake.calls.size();
        repaint(s);
        findcent_new(s, 2, xi, yi, 1);
        EXPECT_GT(c.fake.calls.size(), drawn) << "the repaint reached the bridge";
        std::this_thread::sleep_for(20ms);
        EXPECT_EQ(c.t10.load(), at) << "the core moved on during the call";
    }));
    EXPECT_TRUE(called);
    EXPECT_EQ(c.run.fe.titles.size(), 1u) << "node 1 is not coded: the message window says so";
    // The run goes on once resumed.
    const int paused_at = c.t10.load();
    resume_simulation(c.s);
    ASSERT_TRUE(c.wait_for_tick(paused_at + 20));
    EXPECT_FALSE(core_parked(c.s));
}

TEST(Parking, ACoreHeldInsideItsTickMakesTheCallGiveUp) {
    CoreThread c;
    ASSERT_TRUE(c.wait_for_tick(20));
    c.hold_tick.store(true);
    while (!c.in_tick.load()) std::this_thread::sleep_for(1ms);
    pause_simulation(c.s);
    bool       called = false;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(call_when_parked(c.s, kParkWait, [&](Sim&) { called = true; }));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_FALSE(called);
    EXPECT_GE(took, kParkWait);
    EXPECT_LT(took, kParkWait + 1500ms);
    // Released, the core reaches its pause and parks.
    c.hold_tick.store(false);
    EXPECT_TRUE(call_when_parked(c.s, kParkWait, [&](Sim&) { called = true; }));
    EXPECT_TRUE(called);
    resume_simulation(c.s);
}

} // namespace
} // namespace velm
