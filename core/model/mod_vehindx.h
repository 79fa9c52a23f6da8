#pragma once
// The map between trip numbers and network slots, kept by vehicle movement:
// a trip holds a slot while it waits at its origin or is on the network. Per
// slot also the list rank, the last signal passed and the lane-change state.
// Slot columns are contiguous over vid (column-major tables).
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_vehindx {
    Array1<int> vehid{"vehid", kMaxTrips};      // slot of trip car; 0 = none
    Array1<int> vehrid{"vehrid", kMaxVehicles}; // trip in slot vid; -1 = free
    int         mvehid = 0;                     // highest slot handed out so far
    int         tvehid = 0;                     // slots in use
    // Rows 1..vidtop of the slot tables have been set up (free slot, marker
    // never drawn); a slot beyond it is set up when it is first handed out.
    int vidtop = 0;

    // --- per slot -------------------------------------------------------------
    Array1<int> vehlnk{"vehlnk", kMaxVehicles}; // rank in the link's vehicle list, 1 = front
    Array1<int> presig{"presig", kMaxVehicles}; // signal at the end of the link last left; 0 none
    // Spacing factor after a lane change: 1 = none (the entry value).
    Array1<float> lanechan{"lanechan", kMaxVehicles};
    // Lane-change timers: (1) tick at which the current change ends (-10 at
    // entry); (2) tick before which no change is allowed; (3) lane taken on the
    // link entered by transfer; (4) m from the link start within which no
    // change is allowed.
    RowArray2<int> lnchtm{"lnchtm", kMaxVehicles, 4};
};

} // namespace velm
