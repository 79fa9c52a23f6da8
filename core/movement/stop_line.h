#pragma once
// Why a vehicle may not pass the end of its link this tick. The stop code
// vsigstp(vid, 1) is the sum of the reasons that apply (0 = may pass) and
// vsigstp(vid, 2) the speed, km/h, below which car following no longer brakes
// for the stop line. The lane-decision pass computes both for every vehicle
// (stop_line_decision, lane_decisions.h).
#include "core/model/limits.h"

namespace velm {

inline constexpr int kStopRampRed = 1;                // ramp meter shows red
inline constexpr int kStopRedTripEnds = 10;           // red, and the trip ends on this link
inline constexpr int kStopGapRefused = 40;            // gap acceptance refused
inline constexpr int kStopRedNoTurn = 100;            // red, no turn on red
inline constexpr int kStopThroughBarred = 1000;       // through movement not in the phase
inline constexpr int kStopSignNotStopped = 3000;      // stop sign, full stop not yet made
inline constexpr int kStopTurnOnRedNotStopped = 4000; // turn on red, full stop not yet made
inline constexpr int kStopRightBarred = 10000;        // right turn not in the phase
inline constexpr int kStopLeftBarred = 20000;         // left turn not in the phase
inline constexpr int kStopClassBarred = 100000;       // the vehicle's class not in the phase
inline constexpr int kStopAmber = 2000000;            // the amber ends before the stop line

// Braking thresholds, km/h.
inline constexpr int kStopThresholdFullStop = 1; // stop signs and turns on red
inline constexpr int kStopThresholdAmber = 10;   // amber: a vehicle this slow may run on

// Digit of a decimal code at place 1, 10, 100, ...: movement codes hold left,
// through and right at 100, 10 and 1.
inline int code_digit(int code, int place) {
    return (code / place) % 10;
}

// Digit vt (1..5, from the left) of a five-digit class code: 1 = class allowed.
inline int class_digit(int code, int vt) {
    int place = 1;
    for (int k = vt; k < kClasses; ++k) place *= 10;
    return code_digit(code, place);
}

// Speed, km/h, above which a vehicle at the end of a link with speed at
// capacity spdcap (km/h) counts as moving rather than waiting.
float waiting_threshold(float spdcap);

} // namespace velm
