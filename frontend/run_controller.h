#pragma once
// Run modes and run threads. "Run Simulation" starts a controller thread; the
// controller starts the core thread (one at a time), waits for it and marks
// the run as ended. Single mode runs the copy written when the master file was
// chosen; batch mode writes the copy of each listed master file in turn, with
// a pause of 3 s before and after each run; a command-line run quits the
// program when it ends.
#include "frontend/master_copy.h"
#include "frontend/ui_dispatcher.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace velm::gui {

inline constexpr int kRunModeNone = -1;
inline constexpr int kRunModeSingle = 0;
inline constexpr int kRunModeBatch = 1;
inline constexpr int kBatchPauseMs = 3000; // before and after each run of a batch

// How a core run ended: its entry returned, or the run met a fatal error,
// which ends the whole program.
enum class CoreOutcome { returned, fatal };

// Names the calling thread (the system name is cut to what the system
// allows; current_thread_name() keeps the whole name).
void        name_this_thread(std::string_view name);
std::string current_thread_name();

// The services a controller uses; the program binds them to the window and
// the core, tests to recorders.
struct RunServices {
    std::function<CoreOutcome()>                  core_entry; // one whole run (core thread)
    std::function<CopyStatus(const std::string&)> write_master_copy;
    std::function<void()>                         show_progress; // main thread (posted)
    std::function<void(int)>                      quit_program; // main thread (posted): exit status
    std::function<void(std::string, std::string)> report_problem; // main thread (posted)
    std::function<void()>    reset_view;           // controller thread; takes the zoom lock
    std::function<void()>    make_snapshot_folder; // controller thread; when snapshots are on
    std::function<void(int)> sleep_ms;             // replaces the interruptible sleep (tests)
    std::ostream*            console = nullptr;
};

class RunController {
  public:
    RunController(RunServices services, const UiDispatcher& ui);
    ~RunController();
    RunController(const RunController&) = delete;
    RunController& operator=(const RunController&) = delete;

    // Written on the main thread only while no run is active.
    int                      run_mode = kRunModeNone;
    std::vector<std::string> files_to_run; // the batch list

    // Velmorantis_thread_is_running.
    bool is_running() const { return running_.load() == 1; }
    // special_batch_mode: set once, when the command-line run starts.
    bool start_special_batch_mode() { return special_batch_mode_.exchange(1) == 0; }
    bool special_batch_mode() const { return special_batch_mode_.load() == 1; }

    // launch_advanced_velmorantis_thread: false (nothing started) for an
    // unknown run mode.
    bool launch();

    // Asks the controller to start no further run and cuts its waits short
    // (the core itself is asked to stop through its run control).
    void request_stop();
    // Waits until the controller thread has ended (true) or the time is up.
    bool wait_finished(std::chrono::milliseconds limit);
    // Waits, however long it takes, until the controller thread has ended.
    void join();
    bool stop_requested() const { return stop_.load(); }

  private:
    void advanced_velmorantis_thread();
    void advanced_velmorantis_thread_batch(std::vector<std::string> files);
    // Starts the core thread and waits for it; false when it could not be started.
    bool run_core(const std::string& thread_name, CoreOutcome& outcome);
    void pause_ms(int ms);
    void say(const std::string& text);
    void finish();

    RunServices         services_;
    const UiDispatcher& ui_;
    std::atomic<int>    running_{0};
    std::atomic<int>    special_batch_mode_{0};
    std::atomic<bool>   stop_{false};
    std::thread         controller_;

    std::mutex              done_mutex_;
    std::condition_variable done_cv_;
    bool                    controller_active_ = false; // guarded by done_mutex_
};

} // namespace velm::gui
