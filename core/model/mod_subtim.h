#pragma once
// Run control, pacing and the processor-time profiler. `indstp`, `clocks`
// and the stop word `stpreq` are written by the front end's window thread at
// any time and polled by the core thread; `parked` is written by the core
// thread and read by the window thread. The step and stop words are stored
// with release and read with acquire order: what the window thread did to the
// run state while the core was parked is seen by the core once it sees the
// word change. `parked` is published with release order once the core waits.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <atomic>

namespace velm {

inline constexpr int kProfilerActivities = 9999; // stim activity numbers 1..9999
inline constexpr int kCpuMinutes = 2000;         // cputim(1..2000): one slot per simulated minute
inline constexpr int kAnimPeriods = 3;           // animspd(1..3)

// Step modes of `indstp`.
inline constexpr int kRunFree = 0; // run on
inline constexpr int kPaused = 1;  // hold at the head of the next tick
inline constexpr int kStepModes[] = {10, 100, 600, 6000, 36000}; // ticks per step

struct mod_subtim {
    std::atomic<int> indstp{kRunFree}; // pause and step mode (see kStepModes)
    std::atomic<int> clocks{0};        // cs of processor time per simulated second; 0 = unpaced
    std::atomic<int> trktrace{0};      // 1: a tracking choice waits for its run-log trace
    // 1: the front end asked the run to end (its window is closing). Polled at
    // the head of every tick and during the pause and step waits; never
    // cleared by the core, so a request made before the loop starts still
    // ends the run at its first tick.
    std::atomic<int> stpreq{0};
    // 1 while the core thread waits in a pause or step hold, having finished
    // every change of the tick before: the window thread may then read and
    // draw the run state until it changes `indstp` or sets `stpreq`.
    std::atomic<int> parked{0};

    int cclock = 0; // processor time charged to the run, cs (all activities but 630)
    int lclock = 0; // pacing deadline, in cclock cs
    int nxtchk = 0; // cclock from which the stop check runs on every tick
    int pretim = 0; // processor clock at the previous profiler call, cs
    int nstep = 0;  // ticks run in the current step mode since the last wait
    // The run summary's last vehicle exit: the second at which tarr last grew.
    int lastext = 0;
    int tarr_seen = 0; // tarr when the time loop last looked
    // The second at which a stop (the window's stop word, a stop signal)
    // ended the time loop; -1 while the run has not been stopped.
    int stopped_at = -1;

    Array1<int> tottim{"tottim", kProfilerActivities}; // cs charged per activity
    Array1<int> cputim{"cputim", kCpuMinutes};         // cclock / 10 at each simulated minute
    // 1 base factor, 2 vehicle redraw period, 3 moving-layer clear period (ticks, at least 1).
    Array1<int> animspd{"animspd", kAnimPeriods};

    mod_subtim() { animspd.fill(1); }

    int  step_mode() const { return indstp.load(std::memory_order_acquire); }
    int  pacing() const { return clocks.load(std::memory_order_relaxed); }
    void set_step_mode(int v) { indstp.store(v, std::memory_order_release); }
    void set_pacing(int v) { clocks.store(v, std::memory_order_relaxed); }
    bool stop_requested() const { return stpreq.load(std::memory_order_acquire) == 1; }
    bool is_parked() const { return parked.load(std::memory_order_acquire) == 1; }
};

} // namespace velm
