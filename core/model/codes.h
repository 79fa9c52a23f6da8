#pragma once
// Codes, slots and thresholds that several subsystems read the same way.
// A value here means one thing everywhere; a number that only one routine
// uses stays next to that routine.

namespace velm {

// Units.
inline constexpr float kSecondsPerHour = 3600.0f;
inline constexpr int   kSecondsPerMinute = 60;
inline constexpr float kGravity = 9.8066f;         // m/s2
inline constexpr float kKmhPerMps = 3.6f;          // km/h in one m/s
inline constexpr float kSpeedUnits = 25.92f;       // 2 x 3.6^2: (km/h)^2 over twice (m/s)^2
inline constexpr float kKmhPerTickPerMps2 = 0.36f; // km/h gained in a 0.1 s tick at 1 m/s2
inline constexpr float kMetresPerKm = 1000.0f;
inline constexpr float kMillisPerSecond = 1000.0f; // exit times are kept in whole milliseconds
inline constexpr float kWattsPerKw = 1000.0f;
inline constexpr float kKgPerTonne = 1000.0f;
inline constexpr float kMgPerGram = 1000.0f;
inline constexpr float kMlPerLitre = 1000.0f;
inline constexpr float kDragPerKmh2 =
    0.047285f; // half the air density / 3.6^2: N per (km/h)^2 m2 of drag area
inline constexpr float kRollingScale =
    1000.0f; // rolling-resistance coefficients are read in thousandths

// Vehicle performance types.
// engine_type of a vehicle type
inline constexpr int kEngineGasoline = 1;
inline constexpr int kEngineDiesel = 2;
inline constexpr int kBatteryElectric = 3;
inline constexpr int kEnginePlugInHybrid = 4;
inline constexpr int kEngineHybrid = 6;
inline constexpr int kPowerModel = 1; // energy_model of the power-based model
inline constexpr int kVspSums = 8;    // columns of the power-model sums

// Master-file slots named in more than one subsystem.
inline constexpr int kSignalSlot = 3;     // signal timing file
inline constexpr int kEarlierRunSlot = 6; // link times of an earlier run
inline constexpr int kFutureCostSlot = 7; // future link costs the tree builder may use
inline constexpr int kLinkTimesSlot = 11; // end-of-run link times and turning movements
inline constexpr int kFlowListSlot = 12;  // link flow and time listing
inline constexpr int kTreeListSlot = 13;  // tree listing
inline constexpr int kTimingSlot = 14;    // signal timing listing
inline constexpr int kTurnSlot = 25;      // turning-movement listing
inline constexpr int kPlumeSlot = 27;     // plume output

// Tree-building status of a class.
inline constexpr int kTreeExplicit = 1000;        // the class follows explicit paths
inline constexpr int kTreeExplicitWeights = 1010; // explicit paths of class 5, its weights set
inline constexpr int kTreeBuilding = 2000;
inline constexpr int kTreeFutureCosts = 2100; // the last tree was built on the future costs
// The last tree was built on the class's own costs (free-flow, measured or fuel).
inline constexpr int kTreeOwnCosts = 2200;
inline constexpr int kIgnoreFuture = 1; // trefrq(vt, 3): the class ignores the future costs

// Relative angles of a movement at a node, degrees.
inline constexpr float kStraightOn = 180.0f; // a movement without a turn
inline constexpr float kRightBelow = 135.0f; // below: right turns
inline constexpr float kLeftAbove = 225.0f;  // above: left turns (U-turns included)

// Arguments and rows shared by callers.
inline constexpr int kForceSwitch = 2;   // comppath iflag2: replace the path whatever it costs
inline constexpr int kNoTrace = 2;       // turntype flag: write no run-log trace
inline constexpr int kAllDirections = 4; // turncnt row of all movements together

// A trip's own random number vrnd runs 0..9999 and is read as vrnd / 10000.
inline constexpr float kTripRandomScale = 10000.0f;

// Driving thresholds.
inline constexpr float kWallMemory = 1800.0f; // s on a link after which walls are forgotten
inline constexpr float kStandingKmh = 1.0f;   // a vehicle at or below this speed stands
inline constexpr float kFlowStep = 90.0f;     // veh/h a vehicle adds to a smoothed flow

} // namespace velm
