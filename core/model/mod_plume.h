#pragma once
// The plume and travel grids: 100 x 100 cells laid over the network window
// (window 1), filled per simulated minute and rolled at each whole minute.
#include "core/model/array.h"

namespace velm {

inline constexpr int kGridCells = 100;     // cells along x and along y
inline constexpr int kPlumePollutants = 4; // 1 HC, 2 CO, 3 NOx, 4 never filled
inline constexpr int kPlumeSlots = 5;      // see plume below
inline constexpr int kTravelMeasures = 6;  // see travel below
inline constexpr int kTravelSlots = 3;     // current, last and cumulative minute
inline constexpr int kGridCurrent = 1;     // slot of the minute in progress
inline constexpr int kGridLastMinute = 2;  // slot of the minute closed by the latest roll
inline constexpr int kGridCumulative = 3;  // slot summed over the run
inline constexpr int kGridDispersion = 4;  // plume slot of the dispersion state

struct mod_plume {
    // mg per cell: (ix, iy, pollutant, slot), slots as above; slot 5 unused.
    Array4<float> plume{"plume", kGridCells, kGridCells, kPlumePollutants, kPlumeSlots};
    // Per cell: (1) vehicle-km, (2) vehicle-minutes, (3) delay minutes, (4)
    // stopped minutes, (5) squared accelerations, (6) conflict weights.
    Array4<float> travel{"travel", kGridCells, kGridCells, kTravelMeasures, kTravelSlots};
};

} // namespace velm
