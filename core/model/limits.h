#pragma once
// Capacity limits of the model and the sentinels shared by every subsystem.
// Every table is declared with these and its indexes are checked against
// them; `setup` prints them at run start. A large table holds memory only for
// the rows a run writes (see array.h), so a new table needs no size of its own.

namespace velm {

inline constexpr int kMaxLinks = 4487;          // link numbers 1..4487
inline constexpr int kMaxNodes = 2996;          // highest node number
inline constexpr int kMaxNodeLinks = 7;         // links into or out of one node
inline constexpr int kMaxZones = 410;           // zone nodes 1..410
inline constexpr int kMaxMacroZones = 500;      // macro-zone clusters
inline constexpr int kMaxTrips = 560000;        // trip table entries
inline constexpr int kMaxTripsPerRun = 559999;  // the last entry ends the list
inline constexpr int kVehicleStore = 480000;    // link vehicle-list store entries
inline constexpr int kMaxVehicles = 380000;     // concurrent vehicles on the network
inline constexpr int kMaxVehicleSlots = 379999; // slots handed out (the last is never used)
inline constexpr int kClasses = 5;              // vehicle classes
inline constexpr int kVehicleTypes = 25;        // vehicle performance types
inline constexpr int kMaxSignals = 500;
inline constexpr int kMaxPhases = 6; // phases per signal
inline constexpr int kMaxIncidents = 35;
inline constexpr int kMaxDetectors = 3600; // detector stations
inline constexpr int kMaxLanes = 9000;     // lanes of the whole network
inline constexpr int kMaxLinkLanes = 7;    // lanes of one link
inline constexpr int kMaxOdPairs = 320000; // demand records
inline constexpr int kMaxFiles = 50;       // master-file slots and flags
inline constexpr int kMasterSlots = 31;    // numbered names in the master file
inline constexpr int kRandomStreams = 6;
inline constexpr int kStoredTrees = 25; // 5 per class
inline constexpr int kTreesPerClass = 5;
inline constexpr int kForecastIntervals = 120;
inline constexpr int kErrSwitches = 50; // option switches of err_chk.dat

// Sentinels.
inline constexpr int   kNever = 604800;           // one week: never, or empty
inline constexpr int   kNotWaiting = 999999;      // a vehicle that is not waiting
inline constexpr int   kNextUnknown = -99;        // next link not yet known
inline constexpr int   kTripEndsHere = -1;        // the trip ends on this link
inline constexpr float kLinkNotCoded = -99999.0f; // llength of a link not coded
inline constexpr float kNodeNotCoded = -10000.0f; // x of a node not coded

} // namespace velm
