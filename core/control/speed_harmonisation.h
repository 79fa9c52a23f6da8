#pragma once
// Detector-based and learned speed harmonisation: the controllers that the
// speed update calls for vehicles on controlled links, and their helpers.
#include "core/model/sim.h"

#include <span>

namespace velm {

// A station that is polled: defined with a type above 0 on a link.
inline bool active_station(const Sim& s, int d) {
    const auto& dl = s.detloc;
    if (d < 1 || d > dl.mdetloc) return false;
    const int l = dl.detlink(d);
    return dl.dettyp(d) > 0 && l >= 1 && l <= kMaxLinks;
}

// A link of the network (a number in range with a length).
inline bool link_defined(const Sim& s, int l) {
    return l >= 1 && l <= kMaxLinks && s.link4.llength(l) > 0.0f;
}

// --- detector-based harmonisation ---------------------------------------------
// Format 1: the controller step of link nl at tick t10 (histories, link
// speed, class limits spd_ctl).
void spdharm5(Sim& s, int nl, int t10);
// Format 2: the controller step, then the advisory spd_ctl6(vid) of the
// vehicle of class vt in slot vid whose candidate speed is snew (km/h).
void spdharm6(Sim& s, float snew, int vid, int nl, int vt, int t10);
// Least-squares line through the 60 history slots sampled every dt ticks,
// read tlag seconds after the last slot.
float exppred(std::span<const float> vec, float tlag, int dt);
// Flow (veh/h over all lanes) of link nl at speed vel (km/h); 0 at free speed.
float spd2flow(const Sim& s, float vel, int nl);
// Speed (km/h) at which link nl carries flow f (veh/h over all lanes), on the
// congested branch; a flow of 0 or less gives the speed at capacity.
float flow2spd(const Sim& s, float f, int nl);

// --- learned harmonisation at weaving sections ----------------------------------
// The decision of the controller of link nl when one is due at tick t10.
void fun_shql(Sim& s, int nl, int t10);
// Best action of controller nw in state st (the first wins ties) and its value.
int maxsearch(const Sim& s, int nw, int st, float& qbest);
// The weaving cap of link nl at tick t10 (moved once per minute).
void weave_cap(Sim& s, int nl, int t10);
// Writes the learned tables back beside the input file (each to a temporary
// file renamed into place): once every controller exploits, or at the end of
// the run with the rows as they stand. Does nothing after the first write.
void shql_save(Sim& s);

} // namespace velm
