#include "frontend/run_controller.h"

#include <exception>
#include <pthread.h>
#include <system_error>

namespace velm::gui {

namespace {
thread_local std::string t_thread_name;
// Linux keeps 15 characters of a thread's name.
constexpr std::size_t kSystemThreadNameMax = 15;
} // namespace

void name_this_thread(std::string_view name) {
    t_thread_name.assign(name);
    const std::string system_name(name.substr(0, kSystemThreadNameMax));
    pthread_setname_np(pthread_self(), system_name.c_str());
}

std::string current_thread_name() {
    return t_thread_name;
}

RunController::RunController(RunServices services, const UiDispatcher& ui)
    : services_(std::move(services)), ui_(ui) {}

RunController::~RunController() {
    request_stop();
    if (controller_.joinable()) controller_.join();
}

void RunController::say(const std::string& text) {
    if (services_.console) *services_.console << text << std::flush;
}

void RunController::request_stop() {
    {
        std::lock_guard<std::mutex> hold(done_mutex_);
        stop_.store(true);
    }
    done_cv_.notify_all();
}

void RunController::pause_ms(int ms) {
    if (services_.sleep_ms) {
        services_.sleep_ms(ms);
        return;
    }
    std::unique_lock<std::mutex> hold(done_mutex_);
    done_cv_.wait_for(hold, std::chrono::milliseconds(ms), [this] { return stop_.load(); });
}

bool RunController::wait_finished(std::chrono::milliseconds limit) {
    {
        std::unique_lock<std::mutex> hold(done_mutex_);
        if (!done_cv_.wait_for(hold, limit, [this] { return !controller_active_; })) return false;
    }
    if (controller_.joinable()) controller_.join();
    return true;
}

void RunController::join() {
    {
        std::unique_lock<std::mutex> hold(done_mutex_);
        done_cv_.wait(hold, [this] { return !controller_active_; });
    }
    if (controller_.joinable()) controller_.join();
}

void RunController::finish() {
    {
        std::lock_guard<std::mutex> hold(done_mutex_);
        controller_active_ = false;
    }
    done_cv_.notify_all();
}

bool RunController::launch() {
    if (run_mode != kRunModeSingle && run_mode != kRunModeBatch) return false;
    if (controller_.joinable()) controller_.join(); // the previous controller has ended its run
    {
        std::lock_guard<std::mutex> hold(done_mutex_);
        stop_.store(false);
        controller_active_ = true;
    }
    try {
        if (run_mode == kRunModeSingle)
            controller_ = std::thread([this] {
                name_this_thread("Advanced_Velmorantis_Thread_Mode_0");
                advanced_velmorantis_thread();
                finish();
            });
        else
            controller_ = std::thread([this, files = files_to_run]() mutable {
                name_this_thread("Advanced_Velmorantis_Thread_Mode_1");
                advanced_velmorantis_thread_batch(std::move(files));
                finish();
            });
    } catch (const std::system_error& e) {
        say(std::string("Error Starting Simulation: ") + e.what() + "\n");
        finish();
    }
    return true;
}

bool RunController::run_core(const std::string& thread_name, CoreOutcome& outcome) {
    CoreOutcome result = CoreOutcome::returned;
    std::thread core;
    try {
        core = std::thread([this, &result, thread_name] {
            name_this_thread(thread_name);
            try {
                result = services_.core_entry();
            } catch (const std::exception& e) {
                say(std::string("Simulation ended by an unexpected error: ") + e.what() + "\n");
                result = CoreOutcome::fatal;
            }
        });
    } catch (const std::system_error& e) {
        say(std::string("Error Starting Simulation: ") + e.what() + "\n");
        return false;
    }
    core.join();
    outcome = result;
    return true;
}

void RunController::advanced_velmorantis_thread() {
    if (services_.show_progress) ui_.post(services_.show_progress);
    running_.exchange(1);
    if (services_.reset_view) services_.reset_view();
    if (services_.make_snapshot_folder) services_.make_snapshot_folder();
    CoreOutcome outcome = CoreOutcome::returned;
    const bool  started = run_core("velmorantis_main_single_mode", outcome);
    running_.exchange(0);
    if (!started) return;
    if (outcome == CoreOutcome::fatal) {
        if (services_.quit_program) ui_.post([q = services_.quit_program] { q(1); });
    } else if (special_batch_mode() && services_.quit_program) {
        ui_.post([q = services_.quit_program] { q(0); });
    }
}

void RunController::advanced_velmorantis_thread_batch(std::vector<std::string> files) {
    if (services_.reset_view) services_.reset_view();
    for (std::size_t i = 0; i < files.size() && !stop_.load(); ++i) {
        if (services_.show_progress) ui_.post(services_.show_progress);
        running_.exchange(1);
        const CopyStatus copied = services_.write_master_copy
                                      ? services_.write_master_copy(files[i])
                                      : CopyStatus::cannot_write;
        if (copied != CopyStatus::ok) {
            // The run of this entry would read an empty or stale copy: skip it.
            const std::string text = copy_failure_text(copied, files[i]) + "\nBatch entry " +
                                     std::to_string(i + 1) + " was skipped.";
            say(text + "\n");
            if (services_.report_problem)
                ui_.post(
                    [r = services_.report_problem, text] { r("Master File Copy Failed", text); });
            running_.exchange(0);
            continue;
        }
        pause_ms(kBatchPauseMs);
        if (stop_.load()) {
            running_.exchange(0);
            break;
        }
        if (services_.make_snapshot_folder) services_.make_snapshot_folder();
        CoreOutcome outcome = CoreOutcome::returned;
        if (!run_core("velmorantis_main_batch_mode_" + std::to_string(i), outcome)) {
            running_.exchange(0);
            break;
        }
        if (outcome == CoreOutcome::fatal) {
            running_.exchange(0);
            if (services_.quit_program) ui_.post([q = services_.quit_program] { q(1); });
            break;
        }
        pause_ms(kBatchPauseMs);
        running_.exchange(0);
    }
}

} // namespace velm::gui
