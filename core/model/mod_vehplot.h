#pragma once
// Kinematic and drawing state of the vehicles on the network (per slot vid),
// the trip distances (per trip car) and the time-space switch. Departure
// generation clears the per-trip distances and sets the switch. Slot columns
// are contiguous over vid (column-major tables); the values noted "at entry"
// are the ones network entry gives a new vehicle.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr float kNeverDrawn = -10000.0f; // xq, yq of a marker never drawn

struct mod_vehplot {
    // km: (1) distance travelled by the trip, (2) its value at the last
    // crash-exposure update.
    Array2<float> trpdst{"trpdst", kMaxTrips, 2};

    // --- per slot -------------------------------------------------------------
    // m: (1) front of the vehicle from its link's start, (2) at the previous
    // position update, (3) where it was last drawn (-1000 at entry).
    RowArray2<float> dis{"dis", kMaxVehicles, 3};
    // km/h: (1) current speed, (2) at the last fuel-model evaluation, (3) upper
    // envelope, (4) smoothed.
    RowArray2<float> spd{"spd", kMaxVehicles, 4};
    // m: (1) space headway to the leader in the lane (the lane's free space at
    // entry and transfer), (2) headway of the last car-following update (10000
    // at entry), (3) gap found by the last lane evaluation.
    RowArray2<float> hdwy{"hdwy", kMaxVehicles, 3};
    // Leader seen by the lane decision: (1) position or distance m, (2) speed
    // km/h, (3) acceleration m/s2.
    RowArray2<float> pre_spd{"pre_spd", kMaxVehicles, 3};
    // Acceleration limit: (1) tick of the last cut, (2) desired minus limited
    // speed km/h, (3) smoothed maximum acceleration, (4) noise term of the last
    // tick. At entry 0, 0, 1, 0.
    RowArray2<float> accmod{"accmod", kMaxVehicles, 4};
    Array1<int>      splbck{"splbck", kMaxVehicles}; // 1 while held at the link end
    // 1 when the link transfer refused the vehicle at its link end in this
    // tick: the speed update stands it and clears the mark.
    Array1<int>   held{"held", kMaxVehicles};
    Array2<int>   dis_his{"dis_his", kMaxVehicles, 10}; // trip distance every 5 s, ring
    Array2<float> xq{"xq", kMaxVehicles, 2}; // marker as last drawn; -10000 never, -1 link left
    Array2<float> yq{"yq", kMaxVehicles, 2};
    // 1 once the vehicle has been drawn on its current link: only then is
    // xq(vid, 1), yq(vid, 1) a point on the network. The sentinels -10000 and
    // -1 may lie inside the network window, so the grids go by this flag.
    Array1<int> drawn{"drawn", kMaxVehicles};

    int timspc = 0; // 1 when some trip has probe class 3 (time-space records)
};

} // namespace velm
