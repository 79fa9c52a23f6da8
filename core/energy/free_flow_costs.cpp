// Free-flow fuel and energy costs of the links: what eco-routing prices a
// link at before any vehicle has been measured on it, and the per-class
// estimate from a link's power-model sums that the link exit repeats.
#include "core/energy/energy.h"
#include "core/io/writers.h"

#include <algorithm>
#include <cmath>

namespace velm {

namespace {

constexpr float kAirFactor = 1225.6f; // air density (1.2256 kg/m3) of the drag term, per 1000
constexpr float kDrivelineEff = 0.9f; // fixed efficiency of the drag term

// Type-1 fuel rate (l/s) cruising on the level at v km/h.
float level_cruise_rate(const Sim& s, float v) {
    float x = 0.0f;
    float vi = 1.0f;
    for (int i = 0; i < kFuelPowers; ++i, vi *= v) x += s.fuel.fuelcoef(1, 1, 1, i, 0) * vi;
    return std::exp(x);
}

// Litres of type-1 regression fuel cruising the whole link at its free speed.
float regression_link_fuel(const Sim& s, int l) {
    const float v = s.link4.freespd(l);
    return level_cruise_rate(s, v) * s.link4.llength(l) / v * kSecondsPerHour;
}

// A fuel-burning class whose vehicle type has no fuel coefficients: the
// power-model estimate would be 0 on every link.
bool without_fuel_coefficients(const Sim& s, int c) {
    const auto& ke = s.kzcpxm_energy;
    return s.vehper.engine_type(c) != kBatteryElectric && ke.kzcpfm_alpha(c, 1) == 0.0f &&
           ke.kzcpfm_alpha(c, 2) == 0.0f && ke.kzcpfm_alpha(c, 3) == 0.0f;
}

bool priced_link(const Sim& s, int l, bool zero_length_priced) {
    const float len = s.link4.llength(l);
    const bool  coded = zero_length_priced ? len >= 0.0f : len > 0.0f;
    return coded && s.link4.freespd(l) > 0.0f;
}

// Every class pays the fuel of a type-1 vehicle cruising the link at its free speed.
void regression_costs(Sim& s, int links) {
    auto& l1 = s.link1;
    for (int l = 1; l <= links; ++l) {
        if (!priced_link(s, l, true)) continue;
        l1.frefuel(l) = regression_link_fuel(s, l);
        for (int c = 1; c <= kClasses; ++c) {
            l1.eco(l, c) = l1.frefuel(l);
            if (l1.eco(l, c) < 0.0f) l1.eco(l, c) = std::exp(l1.eco(l, c));
        }
    }
}

// Seeds each link's power-model sums with one free-flow traversal and prices
// each class from them.
void power_model_costs(Sim& s, int links) {
    auto&       ke = s.kzcpxm_energy;
    auto&       l1 = s.link1;
    const auto& vp = s.vehper;
    const float eta = vp.transeff(1);
    const float cr = vp.rolcoef(1, 1), c1 = vp.rolcoef(1, 2), c2 = vp.rolcoef(1, 3);
    bool        by_distance[kClasses + 1] = {};
    for (int c = 1; c <= kClasses; ++c) {
        by_distance[c] = vp.vehmass(c) > 0.0f && without_fuel_coefficients(s, c);
        if (by_distance[c])
            wfree(s.units, kUnitRunLog, " Class", c, " vehicle type", c,
                  " has no fuel coefficients: its free-flow link costs are the regression",
                  " model's cruise fuel over the link's length");
    }
    for (int l = 1; l <= links; ++l) {
        if (!priced_link(s, l, false)) continue;
        const float v = s.link4.freespd(l);
        const float t = s.link4.llength(l) * kSecondsPerHour / v;
        const float f =
            (kGravity * s.lnkgrade.lnkgrade(l) + kGravity * (cr / kRollingScale) * (c2 + c1 * v)) *
            v / (kKmhPerMps * eta);
        const float v3 = v * v * v;
        const float seed[kVspSums + 1] = {0.0f,       v3 * t, v3 * v3 * t, f * t, f * f * t,
                                          f * v3 * t, 0.0f,   0.0f,        t};
        for (int k = 1; k <= kVspSums; ++k) {
            ke.vsp_param(l, k) = seed[k];
            ke.eco_vsp_param(l, k) = seed[k];
            ke.vsp_param_avr(l, k) = 0.0f;
        }
        float cost[kClasses + 1] = {};
        bool  priced[kClasses + 1] = {};
        eco_by_class_from_sums(s, l, cost, priced);
        for (int c = 1; c <= kClasses; ++c) {
            if (!priced[c]) continue;
            l1.eco(l, c) = by_distance[c] ? regression_link_fuel(s, l) : cost[c];
            if (l1.eco(l, c) <= 0.0f) l1.eco(l, c) = std::exp(l1.eco(l, c));
        }
        // The start trees read frefuel: it takes class 5's cost once it is
        // positive, as a downhill link's raw estimate may not be.
        if (priced[kClasses]) l1.frefuel(l) = l1.eco(l, kClasses);
    }
    ke.vsp_update_cnt.zero();
}

} // namespace

void eco_by_class_from_sums(const Sim& s, int l, float (&cost)[kClasses + 1],
                            bool (&priced)[kClasses + 1]) {
    const auto& vp = s.vehper;
    const auto& ke = s.kzcpxm_energy;
    float       p[kVspSums + 1] = {};
    for (int k = 1; k <= kVspSums; ++k) p[k] = ke.vsp_param(l, k);
    for (int k = 1; k <= kClasses; ++k) {
        priced[k] = false;
        const float m = vp.vehmass(k);
        if (!(m > 0.0f)) continue; // a type without mass gives no estimate
        const float a = vp.frntarea(k) * vp.dragcoef(k) * kAirFactor /
                        (m * kSpeedUnits * kSecondsPerHour * kDrivelineEff);
        float f = 0.0f;
        if (vp.engine_type(k) == kBatteryElectric) {
            f = m * (p[7] * a + p[3] + p[1] * a + p[6]) / kSecondsPerHour;
        } else {
            const float mt = m / kKgPerTonne;
            f = (p[2] * a * a + p[4] + 2.0f * a * p[5]) * mt * mt * ke.kzcpfm_alpha(k, 3) +
                (p[1] * a + p[3]) * ke.kzcpfm_alpha(k, 2) * mt + ke.kzcpfm_alpha(k, 1) * p[8];
            // A hybrid's coefficients give millilitres.
            const int e = vp.engine_type(k);
            if (e == kEngineHybrid || e == kEnginePlugInHybrid) f /= kMlPerLitre;
        }
        cost[k] = f;
        priced[k] = true;
    }
}

void deffuel(Sim& s) {
    auto& ke = s.kzcpxm_energy;
    ke.old_vsp_param.zero();
    const int links = std::min(s.link2.mlnum, kMaxLinks);
    if (ke.energy_model != kPowerModel) {
        regression_costs(s, links);
    } else if (s.vehper.transeff(1) > 0.0f) {
        power_model_costs(s, links);
    } else {
        // The free-flow road load is taken through type 1's driveline.
        wfree(s.units, kUnitRunLog, " Vehicle type 1 has driveline efficiency",
              s.vehper.transeff(1), ": free-flow link costs use the regression model");
        regression_costs(s, links);
    }
}

} // namespace velm
