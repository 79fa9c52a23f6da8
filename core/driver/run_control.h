#pragma once
// Run control: the entries the front end calls from its window thread to
// pause, step, pace and choose what the display tracks, and the two places
// where the time loop obeys them (`check_pause` and `pace_tick`). The
// entries only store run-control words; the core thread polls them.
#include "core/model/sim.h"

#include <chrono>
#include <functional>
#include <string>

namespace velm {

// --- front-end entries (any thread) ---------------------------------------
void pause_simulation(Sim& s);                  // indstp = 1
void resume_simulation(Sim& s);                 // indstp = 0
void simulation_paused(Sim& s, int& value_x);   // 1 when indstp = 1, else 0
void set_next_time_step(Sim& s, int set_value); // indstp = set_value (1, 10, 100, ... or 0)
void set_next_sim_time(Sim& s, int set_value);  // clocks = set_value (cs per simulated s)
// Asks the run to end at the head of its next tick as the stop key ends it
// (run summary written, every file flushed and closed); a pause or step wait
// ends at its next poll.
void stop_simulation(Sim& s);
// --- stop signals (process-wide) ------------------------------------------
// SIGTERM and SIGINT: the first stops every run of the process at the head of
// its next tick as stop_simulation does; a second one ends the process at
// once (the signal's default action). Installed by the console program.
void install_stop_signals();
// Records a stop signal (async-signal-safe); true for the first one.
bool note_stop_signal(int signo) noexcept;
// The first stop signal received, 0 when none.
int stop_signal() noexcept;
// "SIGTERM", "SIGINT" or "signal N".
std::string stop_signal_name(int signo);

// Tracking mode track_id (symb(11)) and the tracked numbers (symb(12), symb(13)).
void track_stuff(Sim& s, int track_id, int veh_id, int veh_type_id, int iorg, int idst, int izon);
void diable_all_tracking(Sim& s); // symb(11) = 0

// The display switch symb(i) as the core thread reads it: elements 11..13
// are written by the window thread, so every read goes through an atomic load.
int tracking_word(const Sim& s, int i);

// --- core thread ------------------------------------------------------------
// At the head of every tick: waits while paused, and in a step mode N runs N
// ticks and then waits until the mode changes. Waits poll every kHoldPollMs
// when the host gives short waits (else every second) and end early when the
// run is asked to stop.
// While it waits, the core is parked (see core_parked).
void check_pause(Sim& s);

// True while the core thread waits in check_pause. The window thread may call
// into the run state (repaint, centring, picks) only after it has seen this
// (acquire), and the core leaves its wait only after the window thread has
// changed the step word or asked the run to stop, which it does after its
// call has returned.
bool core_parked(const Sim& s);

// Window thread: waits up to `limit` for the core to park, polling every few
// milliseconds, then calls fn with the run state and returns true; false
// (fn not called) when the core did not park in time.
inline constexpr std::chrono::milliseconds kParkWait{3000};
bool call_when_parked(Sim& s, std::chrono::milliseconds limit, const std::function<void(Sim&)>& fn);

// Pacing on odd ticks while clocks > 0: waits (charging activity 100) until
// the pacing deadline, asleep when the host gives short waits, then sets the
// next one clocks / 5 cs later.
void pace_tick(Sim& s);

} // namespace velm
