#pragma once
// Car following: the speed-spacing relation and its inverse, the vehicle's
// acceleration limit, and the speed update of every vehicle (vehpos1, declared
// in movement.h).
#include "core/model/sim.h"

#include <array>

namespace velm {

// Speed (km/h) at spacing hd (km) on the relation
//   h(u) = c1 + c2 / (sf - u) + c3 u   (km, u in km/h, sf the free speed),
// 0 at or below the jam spacing mhd (km). car is not used.
void fndspd(Sim& s, int car, float hd, float mhd, float c1, float c2, float c3, float sf,
            float& speed);

// Driving forces (N) returned by max_acc, f[1..7]: tractive force from power,
// adhesion limit, aerodynamic, rolling and grade resistance, usable tractive
// force, net force. f[0] is not used.
using ForceTable = std::array<float, 8>;

// Maximum acceleration amax (m/s2) of vehicle type vt at speed (km/h) on a
// grade (rise over run). A heavy type (60 kg/kW or more) below its gear speed
// that stands (speed < 1) is taken as moving at 1 km/h: speed is raised in
// place. t, nl, dis and car are not used.
void max_acc(Sim& s, int t, int nl, float dis, int car, int vt, float& speed, float grade,
             float& amax, ForceTable& f);

// Driver dispersion factor of one dispersion parameter p for the driver draw
// z: exp(z p - p^2/2) for p < 0, 1 + z p for p > 0, 1 for p = 0, kept within
// 0.667..1.5.
float dispersion_factor(float p, float z);

} // namespace velm
