#pragma once
// Crash-risk exposure: the crash-rate regressions and the severity and damage
// shares by speed, for the per-second update and the reports that split it.
#include "core/model/mod_accid.h"

#include <array>

namespace velm {

inline constexpr int kCrashRateEquations = 15;
inline constexpr int kInjuryShares = 5;
inline constexpr int kDamageShares = 4;
inline constexpr int kExposureEquation = 15; // the rate the per-second exposure uses

// Crash rates of the 15 regressions at speed v (km/h): rate[r - 1] per
// vehicle-second, rate2[r - 1] the same per vehicle-km. The speed is taken
// in mph and held to 20..120.
void acc_rat(float v, std::array<float, kCrashRateEquations>& rate,
             std::array<float, kCrashRateEquations>& rate2);
// Injury-severity shares at speed v (km/h, held to 30..120 mph), summing to 1:
// [0] no injury, [1..3] injury, [4] fatal.
void acc_inj(float v, std::array<float, kInjuryShares>& share);
// Damage shares at speed v (km/h, held to 30..120 mph), summing to 1: [0] no,
// [1] minor, [2] moderate damage, [3] the rest.
void acc_dam(float v, std::array<float, kDamageShares>& share);

// The six exposure amounts of one vehicle-second (crashes, injury, fatal, no,
// minor and moderate damage) for a link of free speed freespd and a vehicle
// at smoothed speed v, both km/h.
std::array<float, kCrashCategories> crash_amounts(float freespd, float v);

} // namespace velm
