#pragma once
// Entry header of energy and cooperative driving: the routines other subsystems call.
#include "core/model/sim.h"

#include <array>

namespace velm {

// Plume-grid output: flag 1 opens slot 27, flag 2 starts the next period.
void plumset(Sim& s, int flag, int tim);
// Travel-grid periods: flag 1 clears them, flag 2 rolls them.
void travelset(Sim& s, int flag, int tim);
// Ambient temperature (returned in temp) and the speed-based fuel, emission
// and cold-start coefficients (eparat, emiss, coldfuel, coldemis).
void infuel(Sim& s, float& temp);
// The same from "fuel.fac"; a missing file leaves everything as it is.
void infuel2(Sim& s, float& temp);
// Speed-based fuel-use polynomial (fueluse) from the two ratings (eparat).
void epaconv(Sim& s);
// Fuel and emission coefficients ("fuelemis.dat" or built in).
void readfuel(Sim& s);
// Free-flow fuel or energy per link.
void deffuel(Sim& s);
// Expected fuel (l), or energy (Wh) for a battery-electric type, of one
// traversal of link l by each class c, priced with the vehicle type numbered
// c, from the link's eight power-model sums vsp_param(l, 1..8). priced[c] is
// false for a type without mass, which gives no estimate.
void eco_by_class_from_sums(const Sim& s, int l, float (&cost)[kClasses + 1],
                            bool (&priced)[kClasses + 1]);
// Optional wind stations and readings.
void rdwindhd(Sim& s);
// Optional eco-driving approaches.
void rd_ecodrive(Sim& s);
// Optional eco cruise control.
void rd_eccs(Sim& s);
// Optional eco speed advice through several signals.
void rd_ecaccms(Sim& s);
// Optional lane targeting "ola.dat".
void rd_ola(Sim& s);
// Cooperative platooning from "platoon.dat" (sets platoon_activation_flag).
void platoon_activation(Sim& s);
// Per-lane platooning work tables.
void init_platoon(Sim& s);
// Drag-reduction coefficients and gap limits of platoon positions.
void init_cd_platooning_data(Sim& s);

// --- called by the time loop and the end of run ------------------------------
// Lane-targeting segment speeds.
void calc_seg_lane_speed(Sim& s);
// Lane-targeting segment listing.
void print_segemnt_data(Sim& s, int t10);
// Fuel, energy and emissions of every vehicle (each second).
void compfuel(Sim& s, float temp, int steps, int t);
// Plume grid (slot 27).
void plumwrt(Sim& s, int t, int pd_ot2, int tim);
// Travel grid: iflag 1 adds moe(1..4) (km, vehicle-minutes, delay minutes,
// stopped minutes) to the cell of (xin, yin); 2 and 3 add moe2 to measures 5
// and 6. moe[0] is not used.
void travelsum(Sim& s, int iflag, const std::array<float, 5>& moe, float xin, float yin,
               float moe2);
// Plume grid: adds the milligrams of HC, CO, NOx, CO2 and PM of one second
// (confact) to the cell of the world point (xin, yin) at second t.
void plumsum(Sim& s, const std::array<float, 5>& confact, float xin, float yin, int t);
// Lane-targeting update of one vehicle: lane speeds and lane factors of trip.
void compute_u_bar(Sim& s, int link, int trip);
// A normal draw around mu: mu + mu x cof_var x z (perceived lane speed).
float get_random(Sim& s, float mu, float cof_var);
// End of cooperative platooning.
void end_platoon(Sim& s);

} // namespace velm
