// Link-exit statistics: everything a vehicle leaving a link adds to the
// statistics of that link, run inside the link transfer.
#include "core/movement/exit_statistics.h"

#include "core/energy/energy.h"
#include "core/movement/movement.h"
#include "core/movement/trip_completion.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr float kCycleArrival = 0.75f;   // arrivals counted per vehicle in a cycle bin
constexpr float kApproachUnit = 7.2f;    // pcu/h added to a phase slot's arrival flow
constexpr float kAmberApproach = 14.4f;  // pcu/h for amber with no next phase
constexpr float kMaxWaitWeight2 = 25.0f; // the waiting weight is at most sqrt(25)
constexpr int   kAmberNoNext = 5;        // indication: amber of a phase not serving next
constexpr int   kShqlStateByClass = 4;   // learned harmonisation state definition 4
constexpr float kSmoothNew = 0.2f;       // weight of the newest value in smoothed sums

// Signal number at the end of link l, 0 when the link does not end at a signal
// of the signal tables.
int end_signal(const Sim& s, int l) {
    const int code = std::abs(s.link3.tsignal(l));
    if (code < 1 || code >= kStopSignCode || code > kMaxSignals) return 0;
    return code;
}

bool ends_at_signal(const Sim& s, int l) {
    const int code = std::abs(s.link3.tsignal(l));
    return code > 0 && code < kStopSignCode;
}

// Smoothed link times are whole tenths of a second.
int smooth_tenths(int old, float a, float lf) {
    return static_cast<int>((1.0f - a) * static_cast<float>(old) + 10.0f * a * lf + 0.4999f);
}

void eco_power_model_sums(Sim& s, const LinkExit& e) {
    auto&       ke = s.kzcpxm_energy;
    const int   l = e.l;
    const auto& veh = ke.veh_vsp_param;
    if (ke.vsp_param(l, 1) <= 0.0f) {
        for (int k = 1; k < kVspSums; ++k) ke.vsp_param(l, k) = veh(e.vid, k);
        ke.vsp_param(l, kVspSums) = e.lt;
    } else {
        for (int k = 1; k <= kVspSums; ++k) {
            const float v = k < kVspSums ? veh(e.vid, k) : e.lt;
            ke.vsp_param(l, k) = kSmoothNew * v + (1.0f - kSmoothNew) * ke.vsp_param(l, k);
        }
    }
    const auto c = static_cast<float>(ke.vsp_update_cnt(l));
    for (int k = 1; k <= kVspSums; ++k)
        ke.vsp_param_avr(l, k) = (ke.vsp_param(l, k) + c * ke.vsp_param_avr(l, k)) / (c + 1.0f);
    ke.vsp_update_cnt(l) += 1;
}

} // namespace

void set_exit_times(const Sim& s, LinkExit& e) {
    e.lt = e.tr - s.vehicle.arrt(e.car);
    e.lf = std::max(e.lt, s.delay.fretim(e.l));
}

void exit_counts(Sim& s, const LinkExit& e) {
    const int l = e.l;
    const int vt = e.vt;
    const int m = (e.t10 / 600) % kMinuteSlots + 1;
    auto&     l1 = s.link1;

    s.lanexch.lstveh(e.lane, 5) = static_cast<int>(10.0f * std::abs(s.vehicle.pcu(e.car)));
    l1.detper(l, 1, vt) += 1;
    l1.detper(l, 4, vt) += 1;
    l1.flowhis(l, vt, m) += 1;
    if (s.shql.shql_fmt == kShqlStateByClass) s.shql.flowvt(l, vt) += 1;
    l1.stphis(l, m) += static_cast<int>(100.0f * l1.stops(e.car, 2));
    const int tenths = static_cast<int>(10.0f * e.lt);
    l1.detper(l, 2, vt) += tenths;
    l1.detper(l, 5, vt) += tenths;
    // ms, stamped at the start of the tick
    s.link3.otflwt(l, 2) = (e.t10 - 1) * 100;
    s.link3.lotfl(e.lane, 1) = (e.t10 - 1) * 100;
    s.link3.lotfl(e.lane, 2) = static_cast<int>(s.vehplot.spd(e.vid, 4));
    l1.outflw(l, 2) += kFlowStep;
    l1.flow(l) += 1;
    s.vehicle.carwal(e.vid, 7) = 0.0f;
    s.delay.flowt(l) += e.lf;
    s.delay.flowt2(l) += e.lf * e.lf;
    s.los.time_los(l) += e.lf;
    s.los.flow_los(l) += 1.0f;
}

void exit_trip_sums(Sim& s, const LinkExit& e) {
    const int l = e.l;
    const int vt = e.vt;
    auto&     ke = s.kzcpxm_energy;
    auto&     eco = s.link1.eco;

    if (s.oddat.probe(e.car) == 1) write_link_record(s, e.car, e.vid, l, e.tr);
    s.link1.stops(e.car, 2) = 0.0f;
    s.vehicle.vaccel(e.car, 1) = 0.0f;

    // Eco-routing costs from the fuel or energy used on the link.
    const float e1 = s.vehicle.envir(e.vid, 1, 2);
    eco(l, vt) = kSmoothNew * e1 + (1.0f - kSmoothNew) * eco(l, vt);
    bool updated[kClasses + 1] = {};
    updated[vt] = true;
    if (ke.energy_model == kPowerModel) {
        eco_power_model_sums(s, e);
    } else {
        eco(l, vt) = kSmoothNew * e1 + (1.0f - kSmoothNew) * eco(l, vt);
    }
    if (ke.energy_model == kPowerModel) {
        if (ke.kzcpxm_link_updating_mode == 0) {
            float cost[kClasses + 1] = {};
            bool  priced[kClasses + 1] = {};
            eco_by_class_from_sums(s, l, cost, priced);
            for (int k = 1; k <= kClasses; ++k) {
                if (!priced[k]) continue;
                eco(l, k) = (1.0f - kSmoothNew) * eco(l, k) + kSmoothNew * cost[k];
                updated[k] = true;
            }
        } else if (ke.kzcpxm_link_updating_mode == 1) {
            const int  type = s.oddat.vehper2(e.car);
            const bool electric = type >= 1 && type <= kVehicleTypes &&
                                  s.vehper.engine_type(type) == kBatteryElectric;
            const float used = electric ? s.vehicle.envir(e.vid, 7, 2) : e1;
            eco(l, vt) = kSmoothNew * used + (1.0f - kSmoothNew) * eco(l, vt);
        }
    }
    // A cost must stay positive: 0 or below becomes its exponential.
    for (int k = 1; k <= kClasses; ++k)
        if (updated[k] && eco(l, k) <= 0.0f) eco(l, k) = std::exp(eco(l, k));
    if (ke.energy_model == kPowerModel)
        for (int k = 1; k <= kVspSums; ++k) ke.veh_vsp_param(e.vid, k) = 0.0f;

    for (int k = 1; k <= 7; ++k) s.vehicle.envir(e.vid, k, 2) = 0.0f;
    for (int c = 1; c <= kCrashCategories; ++c) s.accid.vehacc(e.car, 1, c) = 0.0f;
}

float approach_weight(const Sim& s, const LinkExit& e) {
    const float sat = s.link1.spdvol(e.l, 6);
    const float waited = e.tr - static_cast<float>(e.w0);
    float       w = 1.0f;
    if (sat > 0.0f && !(waited < 3600.0f / sat))
        w = std::sqrt(std::min(kMaxWaitWeight2, 1.0f + sat * waited / 3600.0f));
    const int sig = end_signal(s, e.l);
    if (sig > 0) {
        const int cycle = static_cast<int>(s.signal.cycle(sig));
        if (cycle < e.t - s.vehicle.wait(e.vid, 3)) w *= 2.0f;
    }
    return w;
}

int cycle_bin(int c, int pa) {
    const int   r = ((c + pa - 1) % c + c) % c; // whole second of the cycle, 0..c-1
    const float width = static_cast<float>(c) / static_cast<float>(kCycleBins);
    const int   b = static_cast<int>(static_cast<float>(r) / width + 1.0f);
    return std::clamp(b, 1, kCycleBins);
}

void exit_flows(Sim& s, const LinkExit& e, DetectorMarker& marker) {
    const int l = e.l;
    const int vt = e.vt;
    const int car = e.car;
    const int vid = e.vid;

    // Arrival flow at the stop line by the indication the vehicle left on.
    const float pcu = std::abs(s.vehicle.pcu(car));
    const float w = approach_weight(s, e);
    const int   g = std::abs(s.link3.signal(l, 1));
    if (g >= 1 && g <= kPhaseSlots)
        s.link1.aprflw(e.lane, g) += kApproachUnit * pcu * w;
    else if (g == kAmberNoNext)
        s.link1.aprflw(e.lane, 1) += kAmberApproach * pcu;

    chkdetin(s, marker.flag1, marker.flag2, l, s.vehplot.dis(vid, 2),
             kMetresPerKm * s.link4.llength(l), s.vehplot.spd(vid, 1), e.k, vt);
    s.vehicle.stpdel(car, 1) = 0.0f;
    s.vehicle.stpdel(car, 3) = 0.0f;

    const int sig = end_signal(s, l);
    if (sig > 0) {
        const int c = static_cast<int>(s.signal.cycle(sig));
        if (c > 0)
            s.flowprof.cycflw(e.lane, cycle_bin(c, s.vehicle.wait(vid, 3)), 3) += kCycleArrival;
    }

    auto& presig = s.vehindx.presig;
    if (presig(vid) > 0) s.flowprof.upssig(l) = presig(vid);
    if (ends_at_signal(s, l)) presig(vid) = std::abs(s.link3.tsignal(l));

    auto&     tc = s.link5.turncnt;
    const int d = std::clamp(e.d, 1, 3);
    const int tenths = static_cast<int>(10.0f * e.lt);
    tc(l, d, vt, 1) += 1;
    tc(l, kAllDirections, vt, 1) += 1;
    tc(l, d, vt, 5) += 1;
    tc(l, kAllDirections, vt, 5) += 1;
    tc(l, d, vt, 2) += tenths;
    tc(l, kAllDirections, vt, 2) += tenths;
    // Every exit refreshes the smoothed movement time of every class, its own
    // class with the own-class weight.
    for (int k = 1; k <= kClasses; ++k) {
        const float a = static_cast<float>(s.set1.trefrq(k, k == vt ? 4 : 5)) / 100.0f;
        tc(l, d, k, 3) = smooth_tenths(tc(l, d, k, 3), a, e.lf);
        tc(l, kAllDirections, k, 3) = smooth_tenths(tc(l, kAllDirections, k, 3), a, e.lf);
    }
}

} // namespace velm
