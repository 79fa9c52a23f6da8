#include "frontend/run_controller.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <pthread.h>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace velm::gui {
namespace {

using namespace std::chrono_literals;

// Records, in order, what the controller asked for and on which thread.
class Recorder {
  public:
    void add(std::string event) {
        std::lock_guard<std::mutex> hold(mutex_);
        events_.push_back(std::move(event));
    }
    std::vector<std::string> events() {
        std::lock_guard<std::mutex> hold(mutex_);
        return events_;
    }

  private:
    std::mutex               mutex_;
    std::vector<std::string> events_;
};

struct Harness {
    Recorder                     rec;
    std::ostringstream           console;
    UiDispatcher                 now; // posted calls run at once
    std::vector<std::string>     failing_copies;
    std::function<CoreOutcome()> core = [] { return CoreOutcome::returned; };
    bool                         injected_sleep = true;

    RunServices services() {
        RunServices s;
        s.core_entry = [this] {
            rec.add("core " + current_thread_name());
            return core();
        };
        s.write_master_copy = [this](const std::string& f) {
            rec.add("copy " + f + " on " + current_thread_name());
            for (const auto& bad : failing_copies)
                if (bad == f) return CopyStatus::cannot_read;
            return CopyStatus::ok;
        };
        s.show_progress = [this] { rec.add("show"); };
        s.quit_program = [this](int status) { rec.add("quit " + std::to_string(status)); };
        s.report_problem = [this](std::string title, std::string) { rec.add("problem " + title); };
        s.reset_view = [this] { rec.add("reset view"); };
        if (injected_sleep) s.sleep_ms = [this](int ms) { rec.add("sleep " + std::to_string(ms)); };
        s.console = &console;
        return s;
    }
};

TEST(RunController, BatchCopiesWaitsRunsAndWaitsForEachEntryInOrder) {
    Harness       h;
    RunController c(h.services(), h.now);
    c.run_mode = kRunModeBatch;
    c.files_to_run = {"dir\\one.master", "dir\\two.master"};
    ASSERT_TRUE(c.launch());
    ASSERT_TRUE(c.wait_finished(10s));
    const std::vector<std::string> expected{
        "reset view",
        "show",
        "copy dir\\one.master on Advanced_Velmorantis_Thread_Mode_1",
        "sleep 3000",
        "core velmorantis_main_batch_mode_0",
        "sleep 3000",
        "show",
        "copy dir\\two.master on Advanced_Velmorantis_Thread_Mode_1",
        "sleep 3000",
        "core velmorantis_main_batch_mode_1",
        "sleep 3000",
    };
    EXPECT_EQ(h.rec.events(), expected);
    EXPECT_FALSE(c.is_running());
}

TEST(RunController, BatchRunsTheListItWasStartedWith) {
    Harness                 h;
    std::mutex              m;
    std::condition_variable cv;
    bool                    list_changed = false;
    bool                    first_wait = true;
    RunServices             s = h.services();
    s.sleep_ms = [&](int) {
        std::unique_lock<std::mutex> hold(m);
        if (first_wait) {
            first_wait = false;
            cv.wait(hold, [&] { return list_changed; });
        }
    };
    RunController c(s, h.now);
    c.run_mode = kRunModeBatch;
    c.files_to_run = {"a.master", "b.master"};
    ASSERT_TRUE(c.launch());
    {
        std::lock_guard<std::mutex> hold(m);
        c.files_to_run = {"other.master"}; // a new choice while the batch runs
        list_changed = true;
    }
    cv.notify_all();
    ASSERT_TRUE(c.wait_finished(10s));
    const auto events = h.rec.events();
    EXPECT_NE(std::find(events.begin(), events.end(),
                        "copy b.master on Advanced_Velmorantis_Thread_Mode_1"),
              events.end());
    for (const auto& e : events) EXPECT_EQ(e.find("other.master"), std::string::npos) << e;
}

TEST(RunController, BatchSkipsAnEntryWhoseCopyFailsAndStopsAtAFatalRun) {
    Harness h;
    h.failing_copies = {"b.master"};
    int runs = 0;
    h.core = [&] { return ++runs == 2 ? CoreOutcome::fatal : CoreOutcome::returned; };
    RunController c(h.services(), h.now);
    c.run_mode = kRunModeBatch;
    c.files_to_run = {"a.master", "b.master", "c.master", "d.master"};
    ASSERT_TRUE(c.launch());
    ASSERT_TRUE(c.wait_finished(10s));
    std::vector<std::string> cores;
    bool                     problem = false, quit_fatal = false;
    for (const auto& e : h.rec.events()) {
        if (e.rfind("core ", 0) == 0) cores.push_back(e);
        problem = problem || e == "problem Master File Copy Failed";
        quit_fatal = quit_fatal || e == "quit 1";
    }
    // a runs, b is skipped, c fails fatally, d never runs.
    EXPECT_EQ(cores, (std::vector<std::string>{"core velmorantis_main_batch_mode_0",
                                               "core velmorantis_main_batch_mode_2"}));
    EXPECT_TRUE(problem);
    EXPECT_TRUE(quit_fatal);
    EXPECT_NE(h.console.str().find("Batch entry 2 was skipped."), std::string::npos);
}

TEST(RunController, SingleRunMarksTheRunAndQuitsOnlyAfterACommandLineRun) {
    for (bool command_line : {false, true}) {
        Harness        h;
        RunController* self = nullptr;
        bool           running_seen = false;
        char           system_name[32] = {};
        h.core = [&] {
            running_seen = self->is_running();
            pthread_getname_np(pthread_self(), system_name, sizeof system_name);
            return CoreOutcome::returned;
        };
        RunController c(h.services(), h.now);
        self = &c;
        c.run_mode = kRunModeSingle;
        if (command_line) {
            EXPECT_TRUE(c.start_special_batch_mode());
            EXPECT_FALSE(c.start_special_batch_mode()); // set once
        }
        ASSERT_TRUE(c.launch());
        ASSERT_TRUE(c.wait_finished(10s));
        EXPECT_TRUE(running_seen);
        EXPECT_FALSE(c.is_running());
        EXPECT_STREQ(system_name, "velmorantis_mai"); // the system keeps 15 characters
        std::vector<std::string> expected{"show", "reset view",
                                          "core velmorantis_main_single_mode"};
        if (command_line) expected.push_back("quit 0");
        EXPECT_EQ(h.rec.events(), expected) << command_line;
    }
}

TEST(RunController, FailuresOfTheCoreEndTheProgramWithAStatus) {
    const std::function<CoreOutcome()> cores[] = {
        [] { return CoreOutcome::fatal; },
        []() -> CoreOutcome { throw std::runtime_error("table full"); },
    };
    for (const auto& core : cores) {
        Harness h;
        h.core = core;
        RunController c(h.services(), h.now);
        c.run_mode = kRunModeSingle;
        ASSERT_TRUE(c.launch());
        ASSERT_TRUE(c.wait_finished(10s));
        EXPECT_EQ(h.rec.events().back(), "quit 1");
    }
}

TEST(RunController, UnknownModeStartsNothing) {
    Harness       h;
    RunController c(h.services(), h.now);
    EXPECT_FALSE(c.launch());
    c.run_mode = 5;
    EXPECT_FALSE(c.launch());
    EXPECT_TRUE(c.wait_finished(0ms));
    EXPECT_TRUE(h.rec.events().empty());
}

// A stop while the batch waits before its first run: the wait ends at the
// stop rather than after the batch pause, no run starts, and the next entry
// is neither shown nor copied.
TEST(RunController, StopCutsTheBatchWaitShortAndStartsNoFurtherRun) {
    Harness h;
    h.injected_sleep = false; // the controller's own interruptible wait
    std::mutex              m;
    std::condition_variable cv;
    bool                    copied = false;
    RunServices             services = h.services();
    services.write_master_copy = [&, record = services.write_master_copy](const std::string& f) {
        const CopyStatus status = record(f);
        {
            std::lock_guard<std::mutex> hold(m);
            copied = true;
        }
        cv.notify_all();
        return status;
    };
    RunController c(std::move(services), h.now);
    c.run_mode = kRunModeBatch;
    c.files_to_run = {"a.master", "b.master"};
    ASSERT_TRUE(c.launch());
    {
        // The first copy is made; the batch pause follows it.
        std::unique_lock<std::mutex> hold(m);
        cv.wait(hold, [&] { return copied; });
    }
    c.request_stop();
    // Left to run out, the pause would hold the controller for kBatchPauseMs.
    EXPECT_TRUE(c.wait_finished(std::chrono::milliseconds(kBatchPauseMs / 2)))
        << "the stop did not cut the batch pause short";
    c.join();
    const std::vector<std::string> expected{
        "reset view",
        "show",
        "copy a.master on Advanced_Velmorantis_Thread_Mode_1",
    };
    EXPECT_EQ(h.rec.events(), expected) << "a run started or the next entry was taken up";
    EXPECT_FALSE(c.is_running());
    EXPECT_TRUE(c.stop_requested());
}

} // namespace
} // namespace velm::gui
