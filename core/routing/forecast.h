#pragma once
// The flow forecast's link-time model and the pieces the loading adjustment
// shares with it.
#include "core/model/sim.h"
#include "core/routing/performance_functions.h"

namespace velm {

// Link `link` for one forecast interval: inflow rate (veh/h, all lanes) and
// start queue (vehicles) in; outflow rate, end queue, exit capacity (veh/h)
// and link time (s) out; caplim caps the exit capacity (an input only).
void esttim1(Sim& s, int link, float inflow, float& outflow, float q1, float& q2, float& capx,
             float caplim, float& time, int flag);
// Forecast link time (s) of a vehicle entering link `link` at second t: the
// interval times hold at their middles and are interpolated between them.
void int_time(Sim& s, int link, int t, float& time, int flag);

namespace routing {

// Forecast interval (s) for a horizon of simtim1 s: 60 s per started 2 h, so
// that the 120 intervals cover the horizon (60 s at least).
int forecast_interval(int simtim1);

// Columns of pre_vol.
inline constexpr int kInflow = 1;            // vehicles entering in the interval
inline constexpr int kLinkTime = 2;          // s, for a vehicle entering in the interval
inline constexpr int kStartQueue = 3;        // vehicles
inline constexpr int kEndQueue = 4;          // vehicles
inline constexpr int kExitCapacity = 5;      // vehicles per interval
inline constexpr int kOutflow = 6;           // vehicles leaving in the interval
inline constexpr int kDownstreamLimited = 7; // exit capacity limited downstream
inline constexpr int kAcceptance = 9;        // vehicles the link can take from upstream
inline constexpr int kLimitApplied = 10;     // capacity limit applied while loading

inline constexpr int kInflowKind = 1;  // inc_flw kind of an inflow count
inline constexpr int kOutflowKind = 2; // inc_flw kind of an outflow count
inline constexpr int kTenths = 10;     // path-entry times are held in tenths of a second

inline float count_to_rate(float count, int T) {
    return kSecondsPerHour * count / static_cast<float>(T);
}
inline float rate_to_count(float rate, int T) {
    return rate * static_cast<float>(T) / kSecondsPerHour;
}

// Carries the end queue q2 of link L's interval k into the intervals after
// it while it differs from what they held (q3: interval k's end queue before
// this estimate); the counts are scaled by w, the exit capacity capped by
// column limit_col.
void propagate_queue(Sim& s, int L, int k, float q2, float q3, float w, int limit_col);

// Re-estimates every loaded link and interval in time order (counts scaled
// by w), carrying each end queue into the next interval.
void sweep_forecast(Sim& s, float w);

} // namespace routing

} // namespace velm
