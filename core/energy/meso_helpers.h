#pragma once
// The cruising speed of least fuel per distance under the power-based model,
// and the building blocks of a mesoscopic link model: link constants from the
// speed-flow relation, mean speed at a density, traversal time and discharge
// headways at signals and signs. No step of a run calls them.
#include "core/model/sim.h"

#include <optional>
#include <string>

namespace velm {

// Fuel per km/h-hour of cruising at v km/h (v > 0): power-model coefficients
// al0..al2 and the resistance b_bar (N) + b3 v + b2 v^2.
double funcx(double v, double al0, double al1, double al2, double b2, double b_bar, double b3);

// The search for the cruising speed: funcx at 1, 2, 3 ... km/h from a best
// value of 10000 until a speed whose value is not lower than the one before;
// that speed is the answer. The search gives up at kCruiseSearchTop km/h.
inline constexpr int kCruiseSearchTop = 300;
int determine_best_cruising_velocity(double m, double g, double theta, double rho, double cd,
                                     double ch, double af, double cr0, double cr1, double cr2,
                                     double al0, double al1, double al2);

// Mesoscopic constants of one link from free speed uf and speed at capacity
// uc (km/h), capacity qc (veh/h/lane) and jam density kj (veh/km/lane).
struct MesoConst {
    double const_1 = 0, const_2 = 0, const_3 = 0;
    double c1 = 0, c2 = 0, c3 = 0;
};
// Empty when a parameter is not positive or uc is above uf.
std::optional<MesoConst> compute_meso_const_single(double uf, double uc, double qc, double kj);

// Mean speed (km/h) at density (veh/km/lane), 0..uf. A link with c3 = 0 has a
// relation linear in speed; c1 and c2 are then needed (the other form does not).
double compute_avg_spd(double uf, double density, const MesoConst& k);

// Time to cover length_m at avg_spd_ms, in tenths of a second; empty for a
// speed that is not positive.
std::optional<double> compute_duration_in_dc(double avg_spd_ms, double length_m);

// Discharge headways (h per vehicle with flows in veh/h); empty when an
// argument that divides is not positive.
std::optional<double> get_traffic_light_headway(double green_time, double cycle_length,
                                                double saturation_flow_rate, int nb_lanes);
std::optional<double> get_stop_sign_headway(double saturation_flow_rate, int nb_lanes);
std::optional<double> get_yield_sign_headway(double opposing_flow_rate, int nb_lanes,
                                             double saturation_flow_rate);

// Gives the link constants tables the run's links. A second call, or a failed
// allocation, returns the message and changes nothing.
std::optional<std::string> meso_allocate_memory(Sim& s);
// Fills the tables from each coded link's speed-flow constants (density and
// length 0). Links without a usable relation keep zeros. Needs the tables.
std::optional<std::string> meso_initialize_parameters(Sim& s);

} // namespace velm
