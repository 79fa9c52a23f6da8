#pragma once
// The end of a trip at its last link, and the records vehicle movement writes
// for probe vehicles: the trip record (master slot 15), the link record at
// every link exit, slot 16, and the next-link error on "moverr.out".
#include "core/model/sim.h"

namespace velm {

inline constexpr int kUnitTripProbe = 15; // trip records, master slot 15
inline constexpr int kUnitLinkProbe = 16; // link and per-second records, master slot 16

// Arrival of trip car (slot vid) that has just left its last link l at tick
// time tr: the arrival counts and trip time, the run counters, its trip
// record for probe classes 1 and -1, and the release of its slot.
void complete_trip(Sim& s, int car, int vid, int l, float tr, int t10);
// A trip that cannot go on from link l (its next link is not a link) ends
// there without arriving: counted as misrouted, its slot released.
void end_misrouted_trip(Sim& s, int car, int vid, float tr);

// The two probe records; each is written only when its master slot is in use.
void write_trip_record(Sim& s, int car, int l, float tr, int t10);
void write_link_record(Sim& s, int car, int vid, int l, float tr);
// What one second of a probe vehicle's movement and fuel adds up to.
struct SecondRecord {
    float s1 = 0.0f;       // smoothed speed at the previous evaluation, km/h
    float sf = 0.0f;       // stop fraction of the second
    float hdwy = 0.0f;     // headway to the leader, m, capped
    float fuel = 0.0f;     // l
    float energy = 0.0f;   // kW
    float species[5] = {}; // HC, CO, NOx, CO2, PM, g
};
// The per-second record (type 21, slot 16) of trip car in slot vid on link l.
void write_second_record(Sim& s, int t, int car, int vid, int l, const SecondRecord& r);
// "moveveh: Next Link Error, " on "moverr.out" for trip car on link l.
void write_next_link_error(Sim& s, int t, int car, int vid, int l, int ldest);

} // namespace velm
