// En-route diversion: the stored remainder of a trip's path against a newly
// traced one, compared by generalised cost, and the periodic check of every
// vehicle of the classes whose re-routing period is due.
#include "core/io/writers.h"
#include "core/routing/forecast.h"
#include "core/routing/path_stepping.h"
#include "core/routing/path_store.h"
#include "core/routing/performance_functions.h"
#include "core/routing/routing.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace velm {

namespace {

// Decision codes of comppath.
constexpr int kNothingStored = 0; // the trip has no stored path
constexpr int kForced = 1;
constexpr int kSwitch = 2;
constexpr int kRelativeTooSmall = 3;
constexpr int kAbsoluteTooSmall = 4;
constexpr int kOldNotWorse = 5;

constexpr int kNotTimed = -1; // path-entry time of an entry the forecast did not count
constexpr int kStoredRemainder = 1;
constexpr int kTracedRemainder = 2;
// Periodic re-routing: a switch must save more than 15 s and more than 10 %.
constexpr float kMinSaving = 15.0f;
constexpr float kSwitchMinShare = 0.1f;

// Generalised cost (s) of a remaining path for trip car from second t, with a
// running clock: measured link times plus the toll and the fuel or energy of
// each link turned into time by the trip's value of time.
float path_cost(Sim& s, int car, int t, std::span<const int> path, int which) {
    const int vt = s.oddat.vtyp(car);
    if (vt < 1 || vt > kClasses) return 0.0f;
    const auto& tp = s.tolplaz;
    const int   method = s.set1.tremet(vt);
    const float alpha = method == 9 || method == 10 ? 1.0f : tp.routing_alphas(vt);
    const int   type = s.oddat.vehper2(car);
    const bool  electric =
        type >= 1 && type <= kVehicleTypes && s.vehper.engine_type(type) == kBatteryElectric;
    const float price = electric ? tp.cost_energy : tp.cost_fuel;
    const float vot = tp.valtim(car);
    // Without a positive value of time a money term counts nothing.
    const auto seconds = [vot](float money) {
        return vot > 0.0f ? kSecondsPerHour * money / vot : 0.0f;
    };
    float cost = 0.0f;
    int   t1 = t;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const int nl = path[i];
        if (nl < 1 || nl > kMaxLinks) {
            wfree(s.units, kUnitRunLog,
                  which == kStoredRemainder ? " comppath1:" : " comppath2:", t, car,
                  static_cast<int>(i + 1), nl, s.vehicle.norig(car), s.vehicle.ndest(car));
            continue;
        }
        float ctol = 0.0f;
        if (tp.mtolrat > 0) settolveh(s, t1, t1, nl, vt, ctol);
        const float tt = s.delay.ttlink(nl, vt);
        cost += (1.0f - alpha) * tt + seconds(ctol) + alpha * seconds(s.link1.eco(nl, vt) * price);
        t1 = static_cast<int>(std::floor(static_cast<float>(t1) + tt));
    }
    return cost;
}

// True when the last link of path leads into trip car's destination node or
// the centroid node of its macro zone, where the trip ends.
bool reaches_destination(const Sim& s, int car, std::span<const int> path) {
    if (path.empty()) return false;
    const int last = path.back();
    if (last < 1 || last > kMaxLinks) return false;
    const int to = s.link1.tonode(last);
    if (to == s.vehicle.ndest(car)) return true;
    const int dz = routing::macro_destination(s, car);
    return dz >= 1 && dz <= kMaxMacroZones && s.graph1.mazn(dz) > 0 && to == s.graph1.mazn(dz);
}

int decision(float c1, float c2, int iflag2, float imp1, float imp2) {
    if (iflag2 == kForceSwitch) return kForced;
    if (c1 <= c2) return kOldNotWorse;
    if (c1 - c2 <= imp1) return kAbsoluteTooSmall;
    if (c1 <= 0.0f || (c1 - c2) / c1 <= imp2) return kRelativeTooSmall;
    return kSwitch;
}

// The forecast counted the trip into every link of its old path at the
// recorded entry time; a replaced remainder takes those inflow counts off
// again. The links the old and new remainders share from their start keep
// their counts and times. The entries from the first difference on (and any
// left over behind a shorter new remainder) lose their times, marking them
// as never counted, so a later replacement cannot take a count off a link the
// trip was never counted on.
void drop_forecast_counts(Sim& s, int car, int istart, int lo, std::span<const int> new_path) {
    auto&       st = s.vehtre;
    const int   T = s.trees.ftint;
    std::size_t same = 0;
    while (same < new_path.size() && static_cast<int>(same) < lo &&
           st.vehtre(istart + static_cast<int>(same), 1) == new_path[same])
        ++same;
    const int from = istart + static_cast<int>(same);
    const int to =
        std::min(istart + std::max(lo, static_cast<int>(new_path.size())) - 1, kMaxPathEntries);
    for (int e = from; e <= to; ++e) {
        const int entry = st.vehtre(e, 2);
        if (e < istart + lo && entry >= 0 && T > 0)
            inc_flw(s, car, st.vehtre(e, 1), entry / routing::kTenths / T + 1, -1,
                    routing::kInflowKind, 0);
        st.vehtre(e, 2) = kNotTimed;
        st.vehtre(e, 3) = kNotTimed;
    }
}

} // namespace

void comppath(Sim& s, int car, int t, int& iflag, int iflag2, int /*iflag3*/, float imp1,
              float imp2) {
    iflag = kNothingStored;
    if (car < 1 || car > kMaxTrips) return;
    auto& st = s.vehtre;
    if (st.tre_ind(car, 1) < 1) return;
    int lo = 0, ln = 0;
    rem_path(s, st.path2, lo, car, kStoredRemainder, t);
    rem_path(s, st.path3, ln, car, kTracedRemainder, t);
    const std::span<const int> old_path(st.path2.data(), static_cast<std::size_t>(lo));
    const std::span<const int> new_path(st.path3.data(), static_cast<std::size_t>(ln));
    const bool                 identical = std::ranges::equal(old_path, new_path);
    if (!identical && !reaches_destination(s, car, new_path)) {
        // A trace cut short (no next link in the tree, zone out of reach, a
        // loop, the path-length cap) looks cheap only because it is short:
        // the stored path is kept, even where the switch would be forced.
        iflag = kOldNotWorse;
        wfree(s.units, kUnitRunLog, " comppath: new path of trip", car, " at", t, " ends at link",
              ln > 0 ? new_path.back() : 0, " short of its destination", s.vehicle.ndest(car),
              "; stored path kept");
        return;
    }

    const float c1 = path_cost(s, car, t, old_path, kStoredRemainder);
    const float c2 = path_cost(s, car, t, new_path, kTracedRemainder);
    iflag = decision(c1, c2, iflag2, imp1, imp2);
    if ((iflag != kForced && iflag != kSwitch) || identical) return;

    // The count holds decisions, so it rises even when the new path does not fit.
    const int vid = s.vehindx.vehid(car);
    if (vid >= 1 && vid <= kMaxVehicles) s.vehicle.vehdiv(vid) += 1;
    const int from = st.tre_ind(car, 1) + st.tre_ind(car, 4);
    if (st.tre_ind(car, 3) - from < ln || !routing::hold_entries(s, car, from + ln - 1)) {
        wfree(s.units, kUnitRunLog, " Path replacement skipped - trip", car, " at", t,
              ": new remainder of", ln, " links does not fit its block");
        return;
    }
    const int istart = st.tre_ind(car, 1) + st.tre_ind(car, 4); // the block may have moved
    drop_forecast_counts(s, car, istart, lo, new_path);
    for (int i = 0; i < ln; ++i) st.vehtre(istart + i, 1) = new_path[static_cast<std::size_t>(i)];
    st.tre_ind(car, 2) += ln - lo;
}

void chk_enrt(Sim& s, int t) {
    const auto& trefrq = s.set1.trefrq;
    const auto& ntqu = s.link2.ntqu;
    const auto& nbqu = s.link2.nbqu;
    const auto& big = s.vehicle.big;
    const auto& vtyp = s.oddat.vtyp;
    const int   mlnum = std::min(s.link2.mlnum, kMaxLinks);
    for (int vt1 = 1; vt1 <= kClasses; ++vt1) {
        const int period = trefrq(vt1, 2);
        if (period <= 0 || t % period != 0) continue;
        for (int l = 1; l <= mlnum; ++l) {
            for (int i = 1; i <= ntqu(l); ++i) {
                const int car = big(nbqu(l) + i);
                if (car < 1 || car > kMaxTrips || vtyp(car) != vt1) continue;
                int iflag = 0;
                comppath(s, car, t, iflag, 1, 1, kMinSaving, kSwitchMinShare);
            }
        }
    }
}

} // namespace velm
