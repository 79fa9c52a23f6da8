// The strategy cap chain. Its order is fixed: per link, highway harmonisation
// membership and the platoon step; per vehicle, connected-vehicle
// harmonisation, highway harmonisation, platooning, detector-based
// harmonisation, eco-driving at signals, eco speed advice, eco cruise control,
// learned weaving harmonisation, intersection advisories, and last the
// class's maximum speed. The connected-vehicle command replaces the speed;
// every other step, platooning included, can only lower it. A strategy that is off costs
// one branch per vehicle.
#include "core/movement/speed_caps.h"

#include "core/control/highway_harmonisation.h"
#include "core/control/speed_harmonisation.h"
#include "core/energy/eco.h"
#include "core/energy/energy.h"

#include <algorithm>
#include <cmath>

namespace velm {

namespace {

// Tolerance before a platoon speed is held to its allowed excess, km/h.
constexpr float kPlatoonExcessSlack = 0.01f;

const CoopEntries kRoutines{};

bool any_class(const Array2<int>& flag, int l, int at_least) {
    for (int c = 1; c <= kClasses; ++c)
        if (flag(l, c) >= at_least) return true;
    return false;
}

} // namespace

const CoopEntries& coop_entries(const Sim& s) {
    return s.coop != nullptr ? *s.coop : kRoutines;
}

void strategy_caps_link(Sim& s, int l, LinkStrategies& ls) {
    ls = LinkStrategies{};
    const auto& h = s.highway_spdharm;
    if (h.highway_spdharm_activation_flag == 1)
        ls.harmonised = val_in_vect(l, h.it_links_for_sph, h.it_len) == 1;
    if (s.platoon.platoon_activation_flag == 1) {
        const CoopEntries& e = coop_entries(s);
        int                res = 0;
        e.link_tobe_platooned(s, l, res);
        ls.platooned = res == 1;
        if (ls.platooned) e.platooning_scenario(s, l);
    }
    const int fmt = s.shctl.shctl_fmt;
    if (fmt == 1 || fmt == 2) {
        ls.shctl = fmt;
        ls.shctl_link = any_class(s.shctl.shctl_flag, l, 1);
    }
    if (s.shql.shql_enabled == 1) ls.weave = s.shql.flag_shql(l);
    if (s.spdharmhw.active_spdharmhw == 1) ls.cv_pair = spdharmhw_link_tick(s, l);
    ls.eco = any_class(s.ecodrive.eco_flag, l, 1);
    ls.ecms = s.ecms.msfmt > 0 && any_class(s.ecms.msflag, l, 1);
    ls.eccs = s.eccs.eccs_fmt == 1;
    ls.divc = s.divc.fmt_divc == 1;
}

namespace {

// Platooning: the platoon's speed, held to the free speed when the headway
// flag says so and to the allowed excess over it. It can only lower u: a
// platoon vehicle is never faster than car following and the caps before
// this one allow, so it keeps its spacing behind whatever is ahead of it.
float platoon_speed(Sim& s, int l, int car, float u) {
    const float uf = s.link1.spdvol(l, 7);
    float       vmax = uf;
    int         flag = 0;
    coop_entries(s).given_platoon_find_max_vel_for_veh(s, car, vmax, l, flag);
    if (!(vmax >= 0.0f)) return u;
    if (vmax > uf && flag == 1) vmax = uf;
    const float top = uf * (1.0f + s.platoon.epsilon_factor);
    if (vmax - top > kPlatoonExcessSlack) vmax = top;
    return std::min(u, vmax);
}

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

bool class_flag(const Array2<int>& flag, int l, int vt, int at_least) {
    return vt >= 1 && vt <= kClasses && flag(l, vt) >= at_least;
}

// Eco-driving at signals, then eco speed advice: each sets its advice (none
// is 3600 km/h) and lowers u to it.
float eco_caps(Sim& s, const LinkStrategies& ls, int l, int vt, int car, int vid, float s0, float u,
               int t10, float d) {
    auto        eco = s.ecodrive.spdeco(car);
    auto        ms = s.ecms.msspd(car);
    const float t = static_cast<float>(t10) / 10.0f;
    const int   typ = s.oddat.vehper2(car);
    bool        drive = ls.eco && class_flag(s.ecodrive.eco_flag, l, vt, 1);
    bool        advice = ls.ecms && vt >= 1 && vt <= kClasses && s.ecms.msflag(l, vt) == 1;
    if ((drive || advice) && !eco_advice_priced(s, vt, typ)) drive = advice = false;
    if (drive) {
        coop_entries(s).ecodrive(s, s0, l, vt, typ, car, vid, t, d);
        u = std::min(u, static_cast<float>(eco));
    } else {
        eco = kNoEcoAdvice;
    }
    if (advice) {
        coop_entries(s).ecaccms(s, s0, l, vt, typ, car, vid, t, d);
        u = std::min(u, static_cast<float>(ms));
    } else {
        ms = kNoEcoAdvice;
    }
    return u;
}

// Eco cruise control of a taking-part class.
float cruise_cap(Sim& s, int l, int vt, int car, int vid, float u, int t10, float d) {
    if (vt < 1 || vt > kClasses || s.eccs.flag_eccs[static_cast<std::size_t>(vt)] != 1) return u;
    const auto& pl = s.vehplot;
    coop_entries(s).fun_eccs(s, pl.hdwy(vid, 3), u, pl.pre_spd(vid, 2), vt, l, car, t10, d);
    return std::min(u, static_cast<float>(s.eccs.spd_eccs(car)));
}

// Learned harmonisation at a weaving section: the next decision when due, the
// per-minute cap, and the cap itself on every class.
float weaving_cap(Sim& s, const LinkStrategies& ls, int l, float u, int t10) {
    if (s.shql.t_pre(ls.weave) < static_cast<float>(t10) / 10.0f) fun_shql(s, l, t10);
    weave_cap(s, l, t10);
    return std::min(u, s.shql.spd_weave(l));
}

// The intersection advisory of a trip, on the approach it was given for.
float intersection_cap(const Sim& s, int l, int car, float u) {
    const auto& a = s.divc.divcspd;
    return static_cast<int>(a(car, 2)) == l ? std::min(u, a(car, 1)) : u;
}

} // namespace

float strategy_caps(Sim& s, const LinkStrategies& ls, int l, int car, int vid, float s0, float u,
                    int t10) {
    const int   vt = s.oddat.vtyp(car);
    const float d = s.vehplot.dis(vid, 1);
    // The connected-vehicle command replaces u, upward too.
    if (ls.cv_pair != 0) u = fun_spdharmhw(s, ls.cv_pair, l, u, d, vt);
    if (ls.harmonised) u = highway_cap(s, l, vt, d, u);
    if (ls.platooned) u = platoon_speed(s, l, car, u);
    if (ls.shctl != 0) u = detector_cap(s, ls, l, vt, vid, u, t10);
    u = eco_caps(s, ls, l, vt, car, vid, s0, u, t10, d);
    if (ls.eccs) u = cruise_cap(s, l, vt, car, vid, u, t10, d);
    if (ls.weave > 0) u = weaving_cap(s, ls, l, u, t10);
    if (ls.divc) u = intersection_cap(s, l, car, u);
    if (vt >= 1 && vt <= kClasses) u = std::min(u, static_cast<float>(s.mxvehspd.mspvh(vt)));
    return u;
}

} // namespace velm
