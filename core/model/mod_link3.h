#pragma once
// Control at each link end: signal or sign, the phase slots the link
// discharges in, and the signal state and exit times the run keeps.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kPhaseSlots = 4; // phase(l, 1..4, .)

// Control codes of tsignal.
inline constexpr int kLastSignalCode = 9999; // 1..9999 name a signal
inline constexpr int kStopSignCode = 10001;
inline constexpr int kYieldSignCode = 10002;
inline constexpr int kLastControlCode = 10003; // largest |tsignal| a link file may give

struct mod_link3 {
    // 1..9999 signal number (negative: right turns allowed on red), 10001 stop
    // sign, 10002 yield sign, 0 none.
    Array1<int> tsignal{"tsignal", kMaxLinks};
    // (l, p, 1) signal phase of slot p (0 none); (l, p, 2) movement code, digits
    // left/through/right; (l, p, 3) lane code of five digits (11111 all lanes).
    Array3<int>   phase{"phase", kMaxLinks, kPhaseSlots, 3};
    Array2<int>   signal{"signal", kMaxLinks, 3}; // current indication, movement code, lane code
    Array1<float> gretim{"gretim", kMaxLinks};    // green-time counter
    Array2<int>   lotfl{"lotfl", kMaxLanes, 2};   // last exit from a lane: ms, speed km/h
    Array2<int>   otflwt{"otflwt", kMaxLinks, 4}; // exit times, ms
    Array2<int>   grnflw{"grnflw", kMaxLinks, kPhaseSlots}; // discharges per phase slot
    Array1<int>   nxtveh{"nxtveh", kMaxLinks};              // scheduled exit of the head vehicle, s

    mod_link3() { reset(); }
    void reset() {
        tsignal.zero();
        phase.zero();
    }
};

} // namespace velm
