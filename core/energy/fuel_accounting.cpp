// Per-second fuel, energy, emission and stop accounting of every vehicle on
// the network, by the fuel model of the run.
#include "core/energy/energy.h"
#include "core/energy/fuel_coefficients.h"
#include "core/energy/fuel_models.h"
#include "core/movement/trip_completion.h"

#include <algorithm>

namespace velm {

namespace {

constexpr int   kProbePerSecond = 2;   // probe class with per-second records
constexpr float kHeadwayCap = 1000.0f; // m, in the per-second record
constexpr int   kCo2 = 4;              // CO2 is the fourth species

// Grams of CO2 per litre of fuel burnt, by engine type; a battery draws none.
float co2_per_litre(int engine) {
    switch (engine) {
    case kEngineGasoline:
    case kEnginePlugInHybrid:
    case kEngineHybrid:
        return builtin_fuel::kPetrolCo2GramsPerLitre;
    case kEngineDiesel:
        return builtin_fuel::kDieselCo2GramsPerLitre;
    default:
        return 0.0f;
    }
}

// One vehicle-second of the power model: fuel and energy, the vehicle's
// regression sums added to the link's, and CO2 from the fuel alone.
void power_second(Sim& s, int n, int vid, int type, int l, int t, float& fuel, float& energy,
                  std::array<float, kSpecies>& confact) {
    float v = s.vehplot.spd(vid, 4);
    float a = s.vehicle.vacc(vid, 2);
    float vsp = 0.0f, vsp_np = 0.0f;
    kzcpxm_fuel_rate(s, n, vid, type, l, v, a, t, fuel, energy, vsp, vsp_np);
    update_kzcpfm_vsp(s, vid, type, v, a, vsp, vsp_np);
    auto& ke = s.kzcpxm_energy;
    for (int k = 1; k <= 7; ++k) ke.eco_vsp_param(l, k) += ke.veh_vsp_param(vid, k);
    confact.fill(0.0f);
    confact[kCo2 - 1] = fuel * co2_per_litre(s.vehper.engine_type(type)) * kMgPerGram;
}

// Adds one value to a link's run and period totals and its exponential average.
void add_to_link(Sim& s, int l, int q, float x) {
    auto& emis = s.link1.emis;
    emis(l, q, 1) += x;
    emis(l, q, 2) += x;
    emis(l, q, 3) = 0.2f * x + 0.8f * emis(l, q, 3);
}

} // namespace

void compfuel(Sim& s, float temp, int, int t) {
    const bool power = s.kzcpxm_energy.energy_model == kPowerModel;
    const bool probes = s.pathnam.filuse[kUnitLinkProbe] == 1;
    auto&      ke = s.kzcpxm_energy;
    auto&      veh = s.vehicle;
    auto&      l1 = s.link1;
    auto&      ns = s.netstats;
    const int  m = netstats_slot(ns, static_cast<float>(t));
    for (int l = 1; l <= s.link2.mlnum; ++l) {
        const int on = s.link2.ntqu(l);
        if (on <= 0) continue;
        const int   base = s.link2.nbqu(l);
        const float uf = l1.spdvol(l, 7);
        for (int i = 1; i <= on; ++i) {
            const int   n = veh.big(base + i);
            const int   vid = s.vehindx.vehid(n);
            const int   type = s.oddat.vehper2(n);
            const float s1 = s.vehplot.spd(vid, 2);
            const float s2 = s.vehplot.spd(vid, 4);
            ke.veh_counter_eco(l) += 1;
            s.vehplot.spd(vid, 2) = s2;

            float                       fuel = 0.0f, energy = 0.0f;
            std::array<float, kSpecies> confact{};
            if (power)
                power_second(s, n, vid, type, l, t, fuel, energy, confact);
            else
                environ2(s, type, l, {s1, s2}, temp, fuel, confact);

            add_to_link(s, l, 1, fuel);
            veh.envir(vid, 1, 1) = fuel;
            veh.envir(vid, 1, 2) += fuel;
            ke.eco_envir(l, 1) += fuel;
            veh.envt(n, 1) += fuel;

            ke.eco_envir(l, 2) += energy;
            veh.envir(vid, 7, 1) = energy;
            veh.envir(vid, 7, 2) += energy;
            veh.envt(n, 7) += energy;

            SecondRecord rec;
            ns.vehemis(m, 1) += fuel;
            for (int k = 1; k <= kSpecies; ++k) {
                const float g = confact[static_cast<std::size_t>(k - 1)] / kMgPerGram;
                rec.species[k - 1] = g;
                ns.vehemis(m, k + 1) += g;
                add_to_link(s, l, k + 1, g);
                veh.envir(vid, k + 1, 1) = g;
                veh.envir(vid, k + 1, 2) += g;
                veh.envt(n, k + 1) += g;
            }
            if (s.vehplot.drawn(vid) == 1)
                plumsum(s, confact, s.vehplot.xq(vid, 1), s.vehplot.yq(vid, 1), t);

            const float d = s1 - s2;
            float       sf = 0.0f;
            if (d > 0.0f && uf > 0.0f) {
                sf = d / uf;
                l1.stop(l, 1) += sf;
                l1.stop(l, 2) += sf;
                l1.stops(n, 1) += sf;
                l1.stops(n, 2) += sf;
            }
            ns.vehst(m) += sf;

            if (probes && s.oddat.probe(n) == kProbePerSecond) {
                rec.s1 = s1;
                rec.sf = sf;
                rec.hdwy = std::min(s.vehplot.hdwy(vid, 1), kHeadwayCap);
                rec.fuel = fuel;
                rec.energy = energy;
                write_second_record(s, t, n, vid, l, rec);
            }
            s.tolplaz.vehtol(n, 3) = 0.0f;
        }
    }
}

} // namespace velm
