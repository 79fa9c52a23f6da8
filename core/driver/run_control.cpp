#include "core/driver/run_control.h"

#include "core/driver/profiler.h"
#include "core/io/writers.h"

#include <atomic>
#include <csignal>
#include <signal.h>
#include <thread>

namespace velm {

namespace {

inline constexpr int kTrackMode = 11;        // symb(11): tracking mode
inline constexpr int kTrackFirst = 12;       // symb(12): tracked number
inline constexpr int kTrackSecond = 13;      // symb(13): destination of a tracked OD pair
inline constexpr int kTrackTraceSwitch = 15; // errchk(15) = 2: trace tracking choices
inline constexpr int kMsPerCs = 10;

// The tracking words live in the display switches, which the core reads as
// plain integers elsewhere; the front end's writes and the core's reads of
// elements 11..13 go through atomic_ref so they never tear or race.
std::atomic_ref<int> word(Sim& s, int i) {
    return std::atomic_ref<int>(s.graph1.symb(i));
}

void store(Sim& s, int i, int v) {
    word(s, i).store(v, std::memory_order_relaxed);
}

} // namespace

void pause_simulation(Sim& s) {
    s.subtim.set_step_mode(kPaused);
}

void resume_simulation(Sim& s) {
    s.subtim.set_step_mode(kRunFree);
}

void simulation_paused(Sim& s, int& value_x) {
    value_x = s.subtim.step_mode() == kPaused ? 1 : 0;
}

void set_next_time_step(Sim& s, int set_value) {
    s.subtim.set_step_mode(set_value);
}

void set_next_sim_time(Sim& s, int set_value) {
    s.subtim.set_pacing(set_value);
}

void stop_simulation(Sim& s) {
    s.subtim.stpreq.store(1, std::memory_order_release);
}

namespace {

std::atomic<int> g_stop_signal{0};
static_assert(std::atomic<int>::is_always_lock_free, "a signal handler stores the stop signal");

extern "C" void on_stop_signal(int signo) {
    if (note_stop_signal(signo)) return; // the run stops at its next tick
    // A second signal: its default action ends the process now.
    std::signal(signo, SIG_DFL);
    std::raise(signo);
}

} // namespace

bool note_stop_signal(int signo) noexcept {
    int none = 0;
    return g_stop_signal.compare_exchange_strong(none, signo);
}

int stop_signal() noexcept {
    return g_stop_signal.load();
}

std::string stop_signal_name(int signo) {
    if (signo == SIGTERM) return "SIGTERM";
    if (signo == SIGINT) return "SIGINT";
    return "signal " + std::to_string(signo);
}

void install_stop_signals() {
    struct sigaction sa {};
    sa.sa_handler = on_stop_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}

void track_stuff(Sim& s, int track_id, int veh_id, int veh_type_id, int iorg, int idst, int izon) {
    store(s, kTrackMode, track_id);
    switch (track_id) {
    case 1:
        store(s, kTrackFirst, veh_id);
        break;
    case 2:
        store(s, kTrackFirst, veh_type_id);
        break;
    case 3:
        store(s, kTrackFirst, iorg);
        store(s, kTrackSecond, idst);
        break;
    case 4:
    case 5:
        store(s, kTrackFirst, izon);
        break;
    default:
        break;
    }
    // The trace goes to the run log, which only the core thread writes: ask
    // the core to write it at its next poll.
    if (s.errflg.errchk[kTrackTraceSwitch] == 2)
        s.subtim.trktrace.store(1, std::memory_order_relaxed);
}

void diable_all_tracking(Sim& s) {
    store(s, kTrackMode, 0);
}

int tracking_word(const Sim& s, int i) {
    return std::atomic_ref<int>(const_cast<Sim&>(s).graph1.symb(i)).load(std::memory_order_relaxed);
}

namespace {

// Writes the tracking trace the front end asked for (core thread only).
void poll_trace(Sim& s) {
    if (s.subtim.trktrace.load(std::memory_order_relaxed) == 0) return;
    s.subtim.trktrace.store(0, std::memory_order_relaxed);
    wfree(s.units, kUnitRunLog, " vehcol3:", tracking_word(s, kTrackMode),
          tracking_word(s, kTrackFirst));
}

// One poll interval of a wait: kHoldPollMs when the host gives short waits,
// else a second.
void wait_one_poll(Sim& s) {
    if (s.platform.wait_ms)
        s.platform.wait_ms(kHoldPollMs);
    else
        s.platform.sleep(1);
    poll_trace(s);
}

// Waits while the step word holds `mode`. The core is parked meanwhile: the
// window thread may use the run state until it changes the word or asks the
// run to stop, so the core leaves only after such a change.
void hold(Sim& s, int mode) {
    auto& st = s.subtim;
    if (st.step_mode() != mode || st.stop_requested()) return;
    st.parked.store(1, std::memory_order_release);
    while (st.step_mode() == mode && !st.stop_requested()) wait_one_poll(s);
    st.parked.store(0, std::memory_order_relaxed);
}

} // namespace

void check_pause(Sim& s) {
    auto& st = s.subtim;
    poll_trace(s);
    hold(s, kPaused);
    for (int n : kStepModes) {
        if (st.step_mode() != n) continue;
        if (st.nstep == n) {
            st.nstep = 0;
            hold(s, n);
        } else {
            ++st.nstep;
        }
    }
}

bool core_parked(const Sim& s) {
    return s.subtim.is_parked();
}

bool call_when_parked(Sim& s, std::chrono::milliseconds limit,
                      const std::function<void(Sim&)>& fn) {
    constexpr std::chrono::milliseconds kPoll{5};
    const auto                          end = std::chrono::steady_clock::now() + limit;
    while (!core_parked(s)) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(kPoll);
    }
    fn(s);
    return true;
}

void pace_tick(Sim& s) {
    auto&     st = s.subtim;
    const int clocks = st.pacing();
    if (s.platform.wait_ms) {
        // Sleeps until the deadline, then charges the wait.
        stim(s, Activity::pacing_wait);
        while (st.cclock < st.lclock) {
            s.platform.wait_ms(kMsPerCs * (st.lclock - st.cclock));
            stim(s, Activity::pacing_wait);
        }
    } else {
        do {
            stim(s, Activity::pacing_wait);
        } while (st.cclock < st.lclock);
    }
    st.lclock = static_cast<int>(static_cast<float>(st.cclock) + static_cast<float>(clocks) / 5.0f);
}

} // namespace velm
