// Loading adjustment: every trip re-timed on the finished forecast, in trip
// order, with its inflow and outflow counts moved to the intervals of its new
// times and the changed queues carried forward.
#include "core/routing/forecast.h"
#include "core/routing/routing.h"

#include <algorithm>

namespace velm {

namespace {

using namespace routing;

constexpr float kAllTrips = 1.0f; // every trip is loaded: no scaling of the counts

// Re-times path entry e of trip n entered at second t; returns the exit
// second, or -1 when the entry lies beyond the last interval.
int retime_entry(Sim& s, int n, int e, int t) {
    auto&     pv = s.trees.pre_vol;
    auto&     st = s.vehtre;
    const int T = s.trees.ftint;
    const int L = st.vehtre(e, 1);
    const int k = t / T + 1;
    if (L < 1 || L > pv.hi1() || k > kForecastIntervals) return -1;

    // Counts move from the recorded intervals to the new ones; an entry the
    // forecast never reached (time -1) was never counted.
    const int old_entry = st.vehtre(e, 2);
    inc_flw(s, n, L, k, 1, kInflowKind, 0);
    if (old_entry >= 0) inc_flw(s, n, L, old_entry / kTenths / T + 1, -1, kInflowKind, 0);
    st.vehtre(e, 2) = kTenths * t;

    const float q3 = pv(L, k, kEndQueue);
    float       out = 0.0f, q2 = 0.0f, cap = 0.0f, time = 0.0f;
    esttim1(s, L, count_to_rate(pv(L, k, kInflow), T), out, pv(L, k, kStartQueue), q2, cap,
            count_to_rate(pv(L, k, kDownstreamLimited), T), time, 0);
    pv(L, k, kLinkTime) = time;
    pv(L, k, kEndQueue) = q2;
    pv(L, k, kExitCapacity) = rate_to_count(cap, T);

    float tl = 0.0f;
    int_time(s, L, t, tl, 0);
    const int exit = t + static_cast<int>(tl);
    const int old_exit = st.vehtre(e, 3);
    if (old_exit >= 0) inc_flw(s, n, L, old_exit / kTenths / T + 1, -1, kOutflowKind, 0);
    inc_flw(s, n, L, exit / T + 1, 1, kOutflowKind, 0);
    // The exit time follows the entry time, so the two stay one pair.
    st.vehtre(e, 3) = kTenths * exit;
    propagate_queue(s, L, k, q2, q3, kAllTrips, kDownstreamLimited);
    return exit;
}

} // namespace

void adjust(Sim& s, int /*ind*/) {
    s.trees.ftint = routing::forecast_interval(s.set1.simtim1);
    auto&     st = s.vehtre;
    const int tdemand = std::min(s.set2.tdemand, kMaxTrips);
    for (int n = 1; n <= tdemand; ++n) {
        const float dep = s.vehicle.strtrp(n, 1);
        if (dep < 0.0f || st.tre_ind(n, 1) < 1) continue;
        int       t = static_cast<int>(dep);
        const int last = st.tre_ind(n, 2);
        for (int e = st.tre_ind(n, 1); e <= last; ++e) {
            const int exit = retime_entry(s, n, e, t);
            if (exit < 0) break;
            t = exit;
        }
    }
    routing::sweep_forecast(s, kAllTrips);
}

} // namespace velm
