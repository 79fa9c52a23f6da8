// Per-link constants of the flow model (speed-spacing relation, headways,
// free-flow times, spacings, vehicle storage and the vehicle-list layout),
// the start state of every per-link accumulator, and the rolling-hour
// histories.
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/network/network.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr int   kTurnDirections = 4;                   // left, through, right, all
constexpr float kUnlimitedForecastCapacity = 50000.0f; // vehicles per interval

// Accumulators of one link at the start of the run.
void start_state(Sim& s, int l) {
    auto& l1 = s.link1;
    auto& l2 = s.link2;
    auto& l3 = s.link3;
    s.delay.flowt(l) = 0.0f;
    s.delay.flowt2(l) = 0.0f;
    l2.ntqu(l) = 0;
    l2.obsmaxq(l) = 0;
    for (int k = 1; k <= 2; ++k) {
        l2.ttqu(l, k) = 0;
        l2.totque(l, k) = 0;
        l1.outflw(l, k) = 0.0f;
        l1.stop(l, k) = 0.0f;
    }
    l1.flow(l) = 0;
    l1.detout(l) = 0;
    l1.detin(l) = 0;
    for (int c = 1; c <= kClasses; ++c)
        for (int m = 1; m <= 6; ++m) l1.detper(l, m, c) = 0;
    for (int k = 1; k <= 3; ++k)
        for (int q = 1; q <= kEmisQuantities; ++q) l1.emis(l, q, k) = 0.0f;
    for (int k = 1; k <= 4; ++k) l3.otflwt(l, k) = 0;
    for (int p = 1; p <= kPhaseSlots; ++p) l3.grnflw(l, p) = 0;
    l3.gretim(l) = 0.0f;
    for (int k = 1; k <= 3; ++k) l3.signal(l, k) = 0;
    l3.nxtveh(l) = kNever;
    s.link4.laneloss(l, 1) = 0.0f;
    s.link4.laneloss(l, 2) = 1.0f;
    s.los.flow_los(l) = 0.0f;
    s.los.time_los(l) = 0.0f;
    for (int k = 1; k <= 2; ++k)
        for (int c = 1; c <= kCrashCategories; ++c) s.accid.linkacc(l, k, c) = 0.0f;
    // The forecast's table before the forecast runs: nobody entering, the
    // free-flow time, and capacities that limit nothing.
    auto& pv = s.trees.pre_vol;
    for (int i = 1; i <= kForecastIntervals; ++i) {
        pv(l, i, 1) = 0.0f;
        pv(l, i, 2) = s.delay.fretim(l);
        pv(l, i, 5) = kUnlimitedForecastCapacity;
        pv(l, i, 7) = kUnlimitedForecastCapacity;
    }
    const int smoothed = netin::trunc_sat(10.0f * s.delay.fretim(l)); // 0.1 s
    for (int c = 1; c <= kClasses; ++c)
        for (int d = 1; d <= kTurnDirections; ++d) {
            auto& tc = s.link5.turncnt;
            tc(l, d, c, 1) = 0;
            tc(l, d, c, 2) = 0;
            tc(l, d, c, 3) = smoothed;
            tc(l, d, c, 4) = 100;
            tc(l, d, c, 5) = 0;
        }
}

int stopsign_of(int code) {
    const int a = std::abs(code);
    if (a == kStopSignCode) return kStopSign;
    if (a >= kStopSignCode) return kYieldSign; // a sign other than a stop sign
    if (code == 0) return kNoControl;
    return kSignalised;
}

} // namespace

void deflinks(Sim& s) {
    auto& l1 = s.link1;
    auto& l2 = s.link2;
    auto& dl = s.delay;

    float network_km = 0.0f, lane_km = 0.0f;
    int   spots = 0; // vehicle-list store entries needed
    s.set1.totin = 0;
    s.set1.tdep = 0;
    s.set1.tarr = 0;
    s.set1.tenr = 0;
    // The forecast's table holds the run's links only: sized before the start
    // states below write it, so their rows are never written at the limit's
    // column length and then copied.
    s.trees.pre_vol.resize(std::clamp(l2.mlnum, 0, kMaxLinks), kForecastIntervals,
                           kForecastColumns);

    for (int l = 1; l <= std::min(l2.mlnum, kMaxLinks); ++l) {
        const float len = s.link4.llength(l);
        if (len < 0.0f) continue;
        const int   n = std::abs(l1.nulans(l));
        const float vf = s.link4.freespd(l);
        const float vc = l1.spdvol(l, 4);
        const float kj = l1.spdvol(l, 5);
        const float qc = s.link4.lanesat(l);
        network_km += len;
        lane_km += len * static_cast<float>(n);
        l2.nbqu(l) = spots;

        dl.fretim(l) = 3600.0f * len / vf;
        l1.capin(l) = netin::trunc_sat(3600000.0f / (static_cast<float>(n) * qc));
        l1.capout(l) = l1.capin(l);
        // h(u) = c1 + c2/(vf - u) + c3 u with h(0) = 1/kj, h(vc) = vc/qc and
        // the flow u/h(u) peaking at vc.
        const double dvf = vf, dvc = vc, dkj = kj, dqc = qc;
        const double m = (2.0 * dvc - dvf) / ((dvf - dvc) * (dvf - dvc));
        const double c2 = 1.0 / (dkj * (1.0 / dvf + m));
        const double c1 = m * c2;
        const double c3 = ((dvc / dqc - c1) - c2 / (dvf - dvc)) / dvc;
        const int    lm = netin::trunc_sat(kMetresPerKm * len); // whole metres
        l1.spdvol(l, 1) = static_cast<float>(c1);
        l1.spdvol(l, 2) = static_cast<float>(c2);
        l1.spdvol(l, 3) = static_cast<float>(c3);
        l1.spdvol(l, 6) = qc;
        l1.spdvol(l, 7) = vf;
        l1.spdvol(l, 8) = len;
        l1.spdvol(l, 9) = kMetresPerKm / kj;
        l1.spdvol(l, 10) = static_cast<float>(lm);
        l1.spdvol(l, 11) = kMetresPerKm * vc / qc;

        l2.amaxq(l) = std::max(1, netin::trunc_sat(static_cast<double>(len) * dkj * n));
        spots += l2.amaxq(l);

        s.link4.hrdwal(l) = lm;
        auto& hd = s.link5.minhd;
        hd(l, 1) = kMetresPerKm * (l1.spdvol(l, 1) + l1.spdvol(l, 2) / vf);
        hd(l, 2) = static_cast<float>(lm);
        hd(l, 3) = kMetresPerKm * vc / qc;
        hd(l, 4) = hd(l, 1);
        l2.cmaxq(l) = std::max(lm, netin::trunc_sat(kMetresPerKm / kj));

        s.opsgap.stopsign(l) = stopsign_of(s.link3.tsignal(l));
        dl.systim(l) = dl.fretim(l);
        for (int c = 1; c <= kClasses; ++c) dl.ttlink(l, c) = dl.fretim(l);
        start_state(s, l);
    }

    auto& u = s.units;
    wfree(u, kUnitSummary, "     - Total Network Length (km)           ", network_km);
    wfree(u, kUnitSummary, "     - Total Network Length (lane-km)      ", lane_km);
    wfree(u, kUnitSummary, "     - Number Network Vehicle Spots Needed ", spots);
    wfree(u, kUnitSummary, "     - Number Network Vehicle Spots Present", kVehicleStore);
    if (spots > kVehicleStore) {
        s.errcount.errt1 += 1;
        const float over =
            100.0f * static_cast<float>(spots - kVehicleStore) / static_cast<float>(kVehicleStore);
        wfree(u, kUnitRunLog, " FATAL ERROR: Vehicle Network is too long");
        wfree(u, kUnitRunLog, " by", over, " percent");
        wfree(u, kUnitRunLog, " current vehicle spots present= ", kVehicleStore);
        wfree(u, kUnitRunLog, " minimum vehicle spots needed = ", spots);
        wfree(u, kUnitRunLog, " ");
    }
}

void rsflwhis(Sim& s, int t) {
    auto& l1 = s.link1;
    // Rows above the highest link number are never written.
    const int mlnum = std::clamp(s.link2.mlnum, 0, kMaxLinks);
    if (t == 0) {
        // The run's histories, sized for its links: a minute slot of every
        // link is one short column; every slot starts empty.
        l1.flowhis.resize_zeroed(mlnum, kClasses, kMinuteSlots);
        l1.timehis.resize_zeroed(mlnum, kClasses, kMinuteSlots, l1.timehis.hi(4));
        l1.denhis.resize_zeroed(mlnum, kMinuteSlots);
        l1.stphis.resize_zeroed(mlnum, kMinuteSlots);
        return;
    }
    const int slot = (t / 60) % kMinuteSlots + 1;
    for (int c = 1; c <= kClasses; ++c)
        for (int l = 1; l <= mlnum; ++l) l1.flowhis(l, c, slot) = 0;
    for (int l = 1; l <= mlnum; ++l) l1.stphis(l, slot) = 0;
}

} // namespace velm
