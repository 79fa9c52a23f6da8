#pragma once
// Ramp metering: the rate-update interval, the meter data and the per-minute
// history of the meter rates (written by the time loop each second).
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kMaxRampMeters = 450;   // meter slots
inline constexpr int kRampMeterColumns = 10; // rmprat columns; 1 = current rate, veh/h
inline constexpr int kRateHistoryMins = 60;  // rmphis minute slots
inline constexpr int kDefaultRmptm = 20;     // s

struct mod_rmpmeter {
    int           rmptm = kDefaultRmptm; // rate-update interval, s (1..900)
    Array2<float> rmprat{"rmprat", kMaxRampMeters, kRampMeterColumns};
    Array2<float> rmphis{"rmphis", kMaxRampMeters, kRateHistoryMins}; // veh/h per minute slot
    Array1<int>   rmpset{"rmpset", kMaxLinks}; // indication per link: 0 not metered, 1 green, 2 red

    void reset() {
        rmptm = kDefaultRmptm;
        rmprat.zero();
        rmphis.zero();
        rmpset.zero();
    }
};

} // namespace velm
