// The strategy cap chain. Its order is fixed: connected-vehicle harmonisation,
// highway harmonisation, platooning, detector-based harmonisation, eco-driving
// at signals, eco speed advice, eco cruise control, learned weaving
// harmonisation, intersection advisories, and last the class's maximum speed.
// Each strategy adds its own step at its place when it is built; the class cap
// acts in every run.
#include "core/movement/speed_caps.h"

#include "core/control/speed_harmonisation.h"
#include "core/control/harmonisation.h"

#include <algorithm>

namespace velm {

void strategy_caps_link(Sim& s, int l, LinkStrategies& ls) {
    ls = LinkStrategies{};
    const int fmt = s.shctl.shctl_fmt;
    if (fmt == 1 || fmt == 2) {
        ls.shctl = fmt;
        for (int c = 1; c <= kClasses; ++c)
            ls.shctl_link = ls.shctl_link || s.shctl.shctl_flag(l, c) > 0;
    }
    if (s.shql.shql_enabled == 1) ls.weave = s.shql.flag_shql(l);
    const auto& h = s.highway_spdharm;
    if (h.highway_spdharm_activation_flag == 1)
        ls.harmonised = val_in_vect(l, h.it_links_for_sph, h.it_len) == 1;
    if (s.spdharmhw.active_spdharmhw == 1) ls.cv_pair = spdharmhw_link_tick(s, l);
}

namespace {

// Detector-based harmonisation: the class limit of the link (format 1) or
// the vehicle's own advisory (format 2).
float detector_cap(Sim& s, const LinkStrategies& ls, int l, int vt, int vid, float u, int t10) {
    auto& h = s.shctl;
    if (!ls.shctl_link) {
        if (ls.shctl != 2) return u;
        h.spd_ctl6(vid) = s.link1.spdvol(l, 7);
        return std::min(u, h.spd_ctl6(vid));
    }
    if (ls.shctl == 1) {
        spdharm5(s, l, t10);
        return vt >= 1 && vt <= kClasses ? std::min(u, h.spd_ctl(l, vt)) : u;
    }
    spdharm6(s, u, vid, l, vt, t10);
    return std::min(u, h.spd_ctl6(vid));
}

// Learned harmonisation at a weaving section: the next decision when due, the
// per-minute cap, and the cap itself on every class.
float weaving_cap(Sim& s, const LinkStrategies& ls, int l, float u, int t10) {
    if (s.shql.t_pre(ls.weave) < static_cast<float>(t10) / 10.0f) fun_shql(s, l, t10);
    weave_cap(s, l, t10);
    return std::min(u, s.shql.spd_weave(l));
}

} // namespace

float strategy_caps(Sim& s, const LinkStrategies& ls, int l, int car, int vid, float /*s0*/,
                    float u, int t10) {
    const int   vt = s.oddat.vtyp(car);
    const float d = s.vehplot.dis(vid, 1);
    // The connected-vehicle command replaces u, upward too.
    if (ls.cv_pair != 0) u = fun_spdharmhw(s, ls.cv_pair, l, u, d, vt);
    if (ls.harmonised) u = highway_cap(s, l, vt, d, u);
    if (ls.shctl != 0) u = detector_cap(s, ls, l, vt, vid, u, t10);
    if (ls.weave > 0) u = weaving_cap(s, ls, l, u, t10);
    if (vt >= 1 && vt <= kClasses) u = std::min(u, static_cast<float>(s.mxvehspd.mspvh(vt)));
    return u;
}

} // namespace velm
