#pragma once
// Scheduled link free-speed changes: each entry of "spd_ctrl.dat" gives two
// timed events on a link's free speed spdvol(l, 7), the start of its window
// (factor x base) and its end (base again).
#include "core/model/array.h"

namespace velm {

inline constexpr int kMaxSpeedEntries = 2000;             // entries of "spd_ctrl.dat"
inline constexpr int kSpeedEvents = 2 * kMaxSpeedEntries; // event 2i - 1 starts entry i, 2i ends it
inline constexpr float kSpeedEventDone = -1.0f; // every field of an empty or applied event

struct mod_spd_ctrl {
    int num_spd_ctrl = 0; // entries read
    // (1, e) s at which event e applies, (2, e) link, (3, e) free speed km/h;
    // sized to the events of the run once the file is read.
    Array2<float> spd_ctrl_array{"spd_ctrl_array", 3, kSpeedEvents};
    // The events in the order they fall due: by the first whole second that
    // reaches their time, then by event number. next_event is the first of
    // them not applied yet, so a tick with nothing due costs one comparison.
    Array1<int>   due_order{"due_order", kSpeedEvents};
    Array1<float> due_second{"due_second", kSpeedEvents}; // whole s of due_order(k)
    int           n_events = 0;
    int           next_event = 1;

    mod_spd_ctrl() { reset(); }
    void reset() {
        num_spd_ctrl = 0;
        n_events = 0;
        next_event = 1;
        spd_ctrl_array.fill(kSpeedEventDone);
        due_order.zero();
        due_second.zero();
    }
};

} // namespace velm
