#pragma once
// Speed harmonisation on highways: the sliding-mode caps of listed highway
// links ("spd_highway.dat") and the connected-vehicle speed commands of
// controlled-link pairs ("input_SpdHarmHw.dat"). The readers, the per-tick
// run and the clean-up are declared in control.h; this header holds what the
// speed update and the tests reach.
#include "core/model/sim.h"

namespace velm {

// Run-log codes of the two files.
inline constexpr int kErrHighwayHeader = 650510; // header short, not numeric or out of range
inline constexpr int kErrHighwayLink = 650520;   // a listed link is not a link of the network
inline constexpr int kErrHighwayMatrix = 650530; // feeder matrix short or not 0/1
inline constexpr int kErrCvHeader = 650610;      // parameters short, not numeric or out of range
inline constexpr int kErrCvPair = 650620;        // a pair names a link the network lacks

// The link's speed-spacing relation from its free speed uf, speed at capacity
// uc (km/h), jam density kj (veh/km/lane) and capacity qc (veh/h/lane).
struct SpeedDensity {
    float uf, uc, kj, qc;
};
SpeedDensity speed_density_of(const Sim& s, int l);

// Density (veh/km/lane) at speed u; 0 at or above the free speed.
float compute_k_of_u(const SpeedDensity& r, float u);
// Flow per lane (veh/h/lane) at speed u; 0 at or above the free speed.
float compute_q_of_u(const SpeedDensity& r, float u);
// The speed at which the link carries q veh/h/lane, on the congested side of
// capacity; the speed at capacity when q is the capacity.
float compute_u_of_q(const SpeedDensity& r, float q);
// Inflow that brings the density of a link of length_link km to its target.
float highway_spd_harm_sliding_mode_compute_inflow(float qout, float qd, float alpha, float beta,
                                                   float eta, float density, float target_density,
                                                   float length_link);
// 1 when xval is one of vect(1..xlen), else 0.
int val_in_vect(int xval, const Array1<int>& vect, int xlen);

// Density threshold of listed link L (veh/km/lane): the congestion threshold
// times the density at capacity.
float highway_threshold_density(const Sim& s, int l);

// The highway cap: u, or the control speed of link l for class vt when the
// vehicle at d m from the link start is in the middle zone.
float highway_cap(const Sim& s, int l, int vt, float d, float u);

// The connected-vehicle controller of link l for this tick (s.control.t10):
// at a control tick the pair's band test and error integral, then the
// command. Returns the pair (0 when the link is not controlled or the
// strategy is not acting yet).
int spdharmhw_link_tick(Sim& s, int l);
// fun_spdharmhw: the speed of a vehicle of class vt at d m on link l of pair
// p after the command: the command for a connected vehicle in the middle
// zone, else snew.
float fun_spdharmhw(const Sim& s, int p, int l, float snew, float d, int vt);

} // namespace velm
