#pragma once
// Link performance functions of the pre-simulation assignment and the flow
// forecast: speed at a flow from the link's speed-flow constants, the area
// under the time-flow curve, the uniform signal delay and the over-capacity
// queueing term.
#include "core/model/sim.h"

namespace velm {

// Link times ttime(l, vt) (s) and tolls(l, vt) for the class flows vol(l, vt)
// (veh/h) on every link 1..mlnum with a positive length, and the objective
// totals totobj(1..3); p1 is the value-of-time quantile, t1..t2 the period
// whose tolls apply.
void esttim(Sim& s, int mlnum, const Array2<float>& vol, Array2<float>& ttime, Array2<float>& tolls,
            Array1<float>& totobj, float p1, int t1, int t2);
// Link nl at total flow xvol (veh/h): time xtim (h) and its three objective
// terms; writes integral(nl) and asscap(nl).
void esttim2(Sim& s, int nl, float xvol, float& xtim, float& obj1, float& obj2, float& obj3);
// Per-lane flow vl, saturation flow cap, green ratio yrat, free speed fs,
// speed-flow constants c1..c3, length dis (km), analysis period tper (h):
// intgral the area under the time-flow curve (veh/h x h), t the link time (s),
// sp the speed of the curve's last step (km/h).
void intspdvol(Sim& s, float vl, float cap, float yrat, float fs, float c1, float c2, float c3,
               float dis, float& intgral, float& t, float& sp, float tper);
// Speed sp (km/h) at per-lane flow v (veh/h) on the uncongested branch of the
// speed-spacing relation; beyond capacity the speed at capacity.
void spd_vol(Sim& s, float v, float fs, float c1, float c2, float c3, float& sp);
// Every lane open to the assignment: laneloss(l, 2) = 1 for links 1..mlnum.
void incid2(Sim& s, int stim, int tree, const Array1<int>& nulans);

namespace routing {

// Green share of link l's phase slots in the cycle of signal g and that cycle
// in whole seconds; false when the signal has no cycle in the current plan
// (the link end then counts as uncontrolled).
bool green_ratio(const Sim& s, int l, int g, float& y, float& cycle);

inline constexpr float kDelayFloor = 0.1f; // floor of 1 - y x in the uniform signal delay

// Lowest speed (km/h) a link time is computed with, so that a speed-flow
// relation without a positive root still gives a finite time.
inline constexpr float kMinRunSpeed = 1.0f;

} // namespace routing

} // namespace velm
