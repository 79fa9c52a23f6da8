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

// --- called by the speed update, per link and per vehicle ---------------------
// res = 1 when link l is a platooning link, else 0.
void link_tobe_platooned(Sim& s, int l, int& res);
// The per-link platoon step, once per link and tick before its vehicles.
void platooning_scenario(Sim& s, int l);
// Platoon speed of trip car on link l in vmax (km/h; 0 or below: none) and the
// headway flag (1: the vehicle may not exceed the free speed).
void given_platoon_find_max_vel_for_veh(Sim& s, int car, float& vmax, int l, int& flag);
// Eco-driving advice at a signalised approach: sets spdeco(car), km/h (3600:
// none). s0 current speed km/h, vt class, vp type, vid slot, t s, d m from the
// link start.
void ecodrive(Sim& s, float s0, int l, int vt, int vp, int car, int vid, float t, float d);
// Eco speed advice through downstream signals: sets msspd(car), same arguments.
void ecaccms(Sim& s, float s0, int l, int vt, int vp, int car, int vid, float t, float d);
// Eco cruise control: sets spd_eccs(car) from the gap m, the speed so far u and
// the leader's speed (km/h).
void fun_eccs(Sim& s, float gap, float u, float lead, int vt, int l, int car, int t10, float d);

// The entries above as the speed update calls them. A run uses the routines
// themselves; a test may point Sim::coop at stand-ins to watch the calls.
struct CoopEntries {
    void (*link_tobe_platooned)(Sim&, int, int&) = velm::link_tobe_platooned;
    void (*platooning_scenario)(Sim&, int) = velm::platooning_scenario;
    void (*given_platoon_find_max_vel_for_veh)(Sim&, int, float&, int,
                                               int&) = velm::given_platoon_find_max_vel_for_veh;
    void (*ecodrive)(Sim&, float, int, int, int, int, int, float, float) = velm::ecodrive;
    void (*ecaccms)(Sim&, float, int, int, int, int, int, float, float) = velm::ecaccms;
    void (*fun_eccs)(Sim&, float, float, float, int, int, int, int, float) = velm::fun_eccs;
};
// The entries in force for run s: its stand-ins, else the routines.
const CoopEntries& coop_entries(const Sim& s);

} // namespace velm
