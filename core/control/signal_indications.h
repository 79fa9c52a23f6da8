#pragma once
// Link indications written every tick by setsignal2 into signal(l, 1..3) and
// read by the vehicle step of the same tick.
namespace velm {

inline constexpr int kIndicationRed = 0;       // no slot of the link is served
inline constexpr int kIndicationAmberLast = 5; // amber, and the next phase does not serve the link
inline constexpr int kIndicationNoSignal = 6;  // no signal at the link end (none, stop, yield)
inline constexpr int kAllMovements = 111;      // left, through and right allowed
inline constexpr int kAllLanes = 11111;        // every lane (class) allowed

// Controller states of sigstat(s, 2).
inline constexpr int kSignalGreen = 1;
inline constexpr int kSignalIntergreen = 2;
inline constexpr int kSignalExternalRed = 3;
inline constexpr int kNoPhase = -1;

} // namespace velm
