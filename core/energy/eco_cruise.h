#pragma once
// Eco cruise control: the vehicle-dynamics helpers of its search and the
// coefficient readers, for its tests and each other.
#include "core/model/sim.h"

#include <span>

namespace velm {

inline constexpr int kErrCruiseRecord = 711110;    // "input_eccs.dat" record skipped
inline constexpr int kErrCruiseFile = 711140;      // "input_eccs.dat" not readable whole
inline constexpr int kErrCruiseFuel = 711120;      // "emission.dat" damaged or record skipped
inline constexpr int kErrCruiseAlphaFile = 711130; // "kzcpfm_config.dat" record skipped

// Acceleration (km/h per s) of type typ at speed v (km/h) with throttle fp
// (0..1) on grade grad (rise over run).
float fun_accmodel(const Sim& s, float v, float fp, int typ, float grad);
// Throttle that gives acceleration acc (km/h per s) at speed v on grade grad;
// at most 1, and below 0 when the resistances alone brake harder than acc.
float fun_acc2throttle(const Sim& s, float acc, float v, float grad, int typ);
// Adds the fuel of samples 2..ll of a 0.1-s speed trajectory (km/h, 1-based,
// with the grade of each sample) to f, then multiplies f by 100.
void fun_kzcpfm(const Sim& s, std::span<const float> traj, int ll, float& f,
                std::span<const float> grade, int typ);
// Highest speed (km/h) reachable in t_i s that keeps the gap space (m) to a
// leader at v_h (km/h) safe on link nl: the steady-state speed of that gap and
// the speed that stops behind the leader, whichever is lower.
float fun_maxspd(const Sim& s, int nl, int typ, float space, float v_c, float v_h, float t_i);
// Narrows the top v_u of the band [v_l, v_u] (km/h) to what a vehicle at v_c
// can reach at full throttle in t_i s and to fun_maxspd; never below v_l.
void fun_spdspace(const Sim& s, float v_c, float v_h, float v_l, float& v_u, float space, int typ,
                  float grad, float t_i, int nl);

// Fuel coefficients and saturation deceleration per type from "emission.dat"
// in the input directory.
void rd_kzcpfm(Sim& s);
// Power-model fuel polynomial per type from "kzcpfm_config.dat" in the input
// directory; selects the power-based energy model.
void rd_gen_kzcpfm(Sim& s);

} // namespace velm
