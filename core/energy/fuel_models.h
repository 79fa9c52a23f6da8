#pragma once
// The two per-second fuel models: the speed and acceleration regression of
// every vehicle type, and the power-based model with electric and hybrid
// drives. Rates cover one simulated second: fuel in l/s, species in mg/s,
// electric energy in kW.
#include "core/model/sim.h"

#include <array>

namespace velm {

inline constexpr int kSpecies = 5; // HC, CO, NOx, CO2, PM

inline constexpr int kUnitPhevMode = 2598;    // plug-in hybrid mode trace
inline constexpr int kUnitPhevRate = 125;     // plug-in hybrid rate trace
inline constexpr int kErrTraceFile = 710310;  // a trace file could not be created
inline constexpr int kErrEngineType = 710320; // engine type outside the known list

// Regression model of vehicle type vt2 on link l, between the smoothed speeds
// spds[0] (previous evaluation) and spds[1] (now), km/h. temp is not used.
void environ2(const Sim& s, int vt2, int l, const std::array<float, 2>& spds, float temp,
              float& fuelrat, std::array<float, kSpecies>& confact);

// Writes one run-log warning when the power-model type cruising level at
// 50 km/h uses fuel outside 2..60 l/100 km or battery energy outside
// 0.05..0.6 kWh/km: coefficients in the wrong unit, most often.
void check_cruise_use(Sim& s, int type);

// Power at the wheels (kW), v km/h, a m/s2, grade rise over run.
float compute_vehcile_power_at_the_wheels_in_kw(float vehspd_kmh, float veh_acc_ms,
                                                float link_grade, float veh_mass, float gravity,
                                                float cr0, float cr1, float cr2, float cd, float ch,
                                                float af);

// Power model for trip car (slot vid, type veh_type) on link nl. vehspd
// (km/h) and veh_acc (m/s2) are rounded in place to 0.1. Fills the trip's
// battery state on first use, moves its charge when it drives electric and
// writes the plug-in hybrid traces.
void kzcpxm_fuel_rate(Sim& s, int car, int vid, int veh_type, int nl, float& vehspd, float& veh_acc,
                      int t, float& fuelrat, float& energy_rate, float& tem_val, float& tem_par3);
// Battery power (W, positive discharging) of one second on the slot's current
// link, and the trip's charge update.
void compute_elec_eng_rate(Sim& s, int car, int vid, int veh_type, float vehspd1, float veh_acc,
                           int t, float& p_batt);
// Adds one second to the slot's power-model sums veh_vsp_param(vid, 1..8).
void update_kzcpfm_vsp(Sim& s, int vid, int veh_type, float vehspd, float veh_acc, float tem_val,
                       float tem_par3);
// The older variant on the slot's own speed and acceleration; kept for
// comparison, no step of a run calls it.
void kzcpfm_fuel_rate(Sim& s, int car, int vid, int veh_type, float& vehspd, float& veh_acc, int t,
                      float& fuelrat, float& energy_rate, float& tem_val, float& tem_par3);

// What one second of the power model would cost, for pricing trial
// trajectories: the same arithmetic as kzcpxm_fuel_rate on copies of the
// values, reading the trip's battery state (or the state its first evaluation
// would fill) and changing nothing.
struct PowerRates {
    float fuel = 0.0f;     // l/s
    float energy = 0.0f;   // kW
    float tem_val = 0.0f;  // W/kg, with the aerodynamic term
    float tem_par3 = 0.0f; // W/kg, without it
};
PowerRates kzcpxm_price(const Sim& s, int car, int vid, int veh_type, int nl, float vehspd,
                        float veh_acc);

} // namespace velm
