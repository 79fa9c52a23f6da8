#pragma once
// Signal plans: per signal number (row s = 1..500) the plan in force, with its
// phases laid back to back from the cycle start, the settings of actuated
// control and timing optimisation, and the indication traffic control keeps.
// A row whose cycle is -1 is a signal the current plan does not code.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int   kSignalApproaches = 7; // act(s, 1..7): approach links placing calls
inline constexpr float kMaxOffset = 600;      // s, the largest offset either way
inline constexpr int   kSignalHistSlots = 60; // sighis1 / phshis: one slot per minute, used in turn

// Layouts of the signal-timing file.
inline constexpr int kSignalStandard = 1;
inline constexpr int kSignalExtended = 2;

struct mod_signal {
    int nsignals = 0; // signal records in each plan
    int nsigper = 0;  // plans in the signal-timing file (0 in the extended layout)
    int dsigper = 0;  // plan duration s: > 0 next plan of the file, < 0 per-plan files, 0 none
    int csigper = 0;  // number of the plan last taken from the signal-timing file
    int sigformat = kSignalStandard;
    int msignal = 0; // highest signal number coded in the current plan
    int sigline = 0; // lines of the signal-timing file read so far (unit 3 stays open)

    Array1<float> cycle{"cycle", kMaxSignals}; // s; -1 = not coded in the current plan
    Array1<int>   mincycle{"mincycle", kMaxSignals};
    Array1<int>   maxcycle{"maxcycle", kMaxSignals};
    Array1<float> offset{"offset",
                         kMaxSignals}; // s; cycle position at t is (cycle + t - offset) mod cycle
    // (s, 1) signal s is clustered with, 0 none; (s, 2) cluster master (clussign).
    Array2<int>   ofsopt{"ofsopt", kMaxSignals, 2};
    Array1<int>   phases{"phases", kMaxSignals};
    Array2<float> intgrn{"intgrn", kMaxSignals, kMaxPhases}; // s after the green of phase p
    // (s, p, 1) minimum green s, (s, p, 2) maximum green s (actuated control).
    Array3<float> mingrn{"mingrn", kMaxSignals, kMaxPhases, 2};
    Array2<float> grnext{"grnext", kMaxSignals, kMaxPhases}; // s of green per vehicle call
    // Planned phase times from the cycle start, s: (., ., 1) start of green,
    // (., ., 2) end of green, (., ., 3) end of intergreen.
    Array3<float> phstr{"phstr", kMaxSignals, kMaxPhases, 3};
    Array3<float> phend{"phend", kMaxSignals, kMaxPhases, 3}; // the same, as in force this cycle
    Array1<float> phasopt{"phasopt", kMaxSignals}; // s; |value| < 60 leaves the signal alone
    Array2<float> optmet{"optmet", kMaxSignals, 3};
    Array2<float> actwgt{"actwgt", kMaxSignals, kClasses}; // weight of a vehicle call per class
    Array1<float> nactapp{"nactapp", kMaxSignals}; // approach links in act; 0 = every link calls
    Array2<float> act{"act", kMaxSignals, kSignalApproaches};
    // (s, 1) phase in force, (s, 2) 1 green, 2 intergreen, -1 none.
    Array2<int> sigstat{"sigstat", kMaxSignals, 3};
    Array3<int> sighis1{"sighis1", kMaxSignals, kSignalHistSlots, 2}; // cycle (1), offset (2)
    Array3<int> phshis{"phshis", kMaxSignals, kSignalHistSlots, kMaxPhases}; // green per phase
    // Faults of the timing optimisation already reported for the signal this
    // run (bit mask), so that the run log names each once.
    Array1<int> optwarn{"optwarn", kMaxSignals};

    mod_signal() { reset(); }
    // No plan read: every signal not coded.
    void reset() {
        nsignals = nsigper = dsigper = csigper = msignal = sigline = 0;
        sigformat = kSignalStandard;
        cycle.fill(-1.0f);
        mincycle.zero();
        maxcycle.zero();
        offset.zero();
        ofsopt.zero();
        phases.zero();
        intgrn.zero();
        mingrn.zero();
        grnext.zero();
        phstr.zero();
        phend.zero();
        phasopt.zero();
        optmet.zero();
        actwgt.zero();
        nactapp.zero();
        act.zero();
        sigstat.zero();
        sighis1.zero();
        phshis.zero();
        optwarn.zero();
    }
};

} // namespace velm
