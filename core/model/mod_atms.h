#pragma once
// External management programs and external signal control, found before the
// run by chkatms and read by the time loop.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kAtmsPrograms = 5; // "interact\atms1" .. "interact\atms5"

struct mod_atms {
    Array1<int> atmsfl{"atmsfl", kAtmsPrograms}; // 1: program k was found
    // (1) > 0: signal states come from external files; (2) 1: wait for the trigger file.
    Array1<int> mitrefl{"mitrefl", kAtmsPrograms};
    // The states of one state file as read, (s, 1) phase and (s, 2) state:
    // they reach sigstat only once the whole file has been read.
    Array2<int> sigread{"sigread", kMaxSignals, 2};
    int         states_read = 0;   // seconds whose state file was read and used
    int         states_missed = 0; // seconds without a usable state file (run errors)
    bool        wait_told = false; // the console was told the run waits for the controller

    void reset() {
        atmsfl.zero();
        mitrefl.zero();
        sigread.zero();
        states_read = states_missed = 0;
        wait_told = false;
    }
};

} // namespace velm
