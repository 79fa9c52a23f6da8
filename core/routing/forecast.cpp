// Flow forecast: every trip loaded on its traced path before the first
// simulated second, with the link times, queues and capacities per link and
// forecast interval, the forecast entry and exit time of every path entry, and
// the forecast listing of master slot 29.
#include "core/routing/forecast.h"

#include "core/driver/errors.h"
#include "core/io/writers.h"
#include "core/routing/path_store.h"
#include "core/routing/performance_functions.h"
#include "core/routing/routing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace velm {

namespace {

using namespace routing;

constexpr int   kIntervalUnit = 60;       // s, forecast interval per started horizon block
constexpr int   kHorizonBlock = 7200;     // s of horizon per 60 s of interval
constexpr float kOpenLimit = 50000.0f;    // veh/h, exit limit of a link with no single successor
constexpr float kQueueRateFloor = 100.0f; // veh/h, smallest capacity a queue discharges at
constexpr float kStopGreen = 0.4f;        // share of the saturation flow passing a stop sign
constexpr float kStopDelay = 20.0f;       // s
constexpr float kYieldGreen = 0.5f;       // share passing a yield sign
constexpr float kYieldDelay = 10.0f;      // s
constexpr int   kPasses = 10;             // loading passes
constexpr float kTenthsF = static_cast<float>(kTenths);
constexpr int   kForecastSlot = 29;
constexpr int   kForecastUnit = 29;
// Statistics of the link-time layout the forecast does not have, printed as
// zeros: count, width and decimals of each group.
struct ZeroGroup {
    int count, width, decimals;
};
constexpr ZeroGroup kZeroGroups[] = {{5, 6, 2}, {3, 6, 1}, {4, 9, 3}, {6, 11, 4}};

// The single link downstream of L, 0 when L feeds none or several.
int single_successor(const Sim& s, int L) {
    if (s.graph1.nlinot(L) != 1) return 0;
    const int next = std::abs(s.graph1.linot(L, 1));
    return next >= 1 && next <= kMaxLinks ? next : 0;
}

void init_link(Sim& s, int L, int T) {
    auto& pv = s.trees.pre_vol;
    float out = 0.0f, q2 = 0.0f, cd = kOpenLimit, time = 0.0f, cap = 0.0f;
    if (const int next = single_successor(s, L); next > 0)
        esttim1(s, next, 0.0f, out, 0.0f, q2, cd, kOpenLimit, time, 0);
    esttim1(s, L, 0.0f, out, 0.0f, q2, cap, cd, time, 0);
    const float c = rate_to_count(cap, T);
    const float c7 = rate_to_count(std::min(cap, cd), T);
    for (int i = 1; i <= kForecastIntervals; ++i) {
        pv(L, i, kInflow) = 0.0f;
        pv(L, i, kStartQueue) = 0.0f;
        pv(L, i, kEndQueue) = 0.0f;
        pv(L, i, kOutflow) = 0.0f;
        pv(L, i, kLinkTime) = time;
        pv(L, i, kExitCapacity) = c;
        pv(L, i, kAcceptance) = c;
        pv(L, i, kLimitApplied) = c;
        pv(L, i, kDownstreamLimited) = c7;
    }
}

// Loads path entry e of trip n entering at second t with loading weight w;
// returns the time on the link, or a negative value when the entry lies
// beyond the last interval (the rest of the path is then not loaded).
float load_entry(Sim& s, int n, int e, float t, float w) {
    auto&     pv = s.trees.pre_vol;
    auto&     st = s.vehtre;
    const int T = s.trees.ftint;
    const int L = st.vehtre(e, 1);
    const int k = static_cast<int>(std::floor(t / static_cast<float>(T))) + 1;
    if (L < 1 || L > pv.hi1() || k > kForecastIntervals) return -1.0f;
    st.vehtre(e, 2) = static_cast<int>(std::floor(kTenthsF * t));
    inc_flw(s, n, L, k, 1, kInflowKind, 0);

    const float v = count_to_rate(pv(L, k, kInflow), T) * w;
    const float q1 = pv(L, k, kStartQueue);
    const float q3 = pv(L, k, kEndQueue);
    float       c = count_to_rate(pv(L, k, kDownstreamLimited), T);
    if (const int next = single_successor(s, L); next > 0) {
        // The single downstream link takes at most what it can accept.
        if (count_to_rate(pv(next, k, kAcceptance), T) < c) {
            c = count_to_rate(pv(next, k, kAcceptance), T);
            pv(L, k, kDownstreamLimited) = pv(next, k, kAcceptance);
        }
    }
    pv(L, k, kLimitApplied) = rate_to_count(c, T);
    float out = 0.0f, q2 = 0.0f, cap = 0.0f, time = 0.0f;
    esttim1(s, L, v, out, q1, q2, cap, c, time, 0);
    pv(L, k, kLinkTime) = time;
    pv(L, k, kEndQueue) = q2;
    pv(L, k, kExitCapacity) = rate_to_count(cap, T);
    if (q2 >= 1.0f) {
        const float room = std::max(0.0f, static_cast<float>(s.link2.amaxq(L)) - q2);
        pv(L, k, kAcceptance) = std::min(pv(L, k, kAcceptance), pv(L, k, kOutflow) * w + room);
    }
    float tl = 0.0f;
    int_time(s, L, static_cast<int>(t), tl, 0);
    const int kx = static_cast<int>(std::floor((t + tl) / static_cast<float>(T))) + 1;
    inc_flw(s, n, L, kx, 1, kOutflowKind, 0);
    st.vehtre(e, 3) = static_cast<int>(std::floor(kTenthsF * (t + tl)));
    routing::propagate_queue(s, L, k, q2, q3, w, kLimitApplied);
    return tl;
}

// The forecast listing's line of link L: flows and mean times of the entries
// counted for one period.
std::string listing_line(const Sim& s, int L, const std::array<float, kClasses + 1>& cnt,
                         const std::array<float, kClasses + 1>& tim, int period) {
    const float free_time = s.delay.fretim(L);
    const auto  flow = [period](float c) {
        return static_cast<long>(std::floor(c * kSecondsPerHour / static_cast<float>(period)));
    };
    const float mean = cnt[0] > 0.0f ? tim[0] / cnt[0] : free_time;
    std::string line = fmt_i(L, 5) + fmt_f(s.link4.llength(L), 6, 3);
    line += fmt_i(static_cast<long>(std::floor(static_cast<float>(std::abs(s.link1.nulans(L))) *
                                               s.link4.lanesat(L))),
                  6);
    for (int c = 0; c <= kClasses; ++c) line += fmt_i(flow(cnt[static_cast<std::size_t>(c)]), 6);
    line += fmt_f(free_time, 7, 1) + fmt_f(mean, 7, 1);
    for (int c = 1; c <= kClasses; ++c) {
        const auto i = static_cast<std::size_t>(c);
        line += fmt_f(cnt[i] > 0.0f ? tim[i] / cnt[i] : mean, 7, 1);
    }
    for (const ZeroGroup& g : kZeroGroups)
        for (int f = 0; f < g.count; ++f) line += fmt_f(0.0, g.width, g.decimals);
    return line;
}

} // namespace

namespace routing {

int forecast_interval(int simtim1) {
    const int blocks = (std::max(simtim1, 0) + kHorizonBlock - 1) / kHorizonBlock;
    return kIntervalUnit * std::max(blocks, 1);
}

void propagate_queue(Sim& s, int L, int k, float q2, float q3, float w, int limit_col) {
    auto&     pv = s.trees.pre_vol;
    const int T = s.trees.ftint;
    for (int j = k + 1; j <= kForecastIntervals && q2 != q3; ++j) {
        pv(L, j, kStartQueue) = q2;
        q3 = pv(L, j, kEndQueue);
        float out = 0.0f, cap = 0.0f, time = 0.0f, qn = 0.0f;
        esttim1(s, L, count_to_rate(pv(L, j, kInflow), T) * w, out, q2, qn, cap,
                count_to_rate(pv(L, j, limit_col), T), time, 0);
        pv(L, j, kLinkTime) = time;
        pv(L, j, kEndQueue) = qn;
        q2 = qn;
    }
}

void sweep_forecast(Sim& s, float w) {
    auto&       pv = s.trees.pre_vol;
    const int   T = s.trees.ftint;
    const int   mlnum = std::min(s.link2.mlnum, kMaxLinks);
    const auto& llength = s.link4.llength;
    for (int i = 1; i <= kForecastIntervals; ++i) {
        for (int L = 1; L <= mlnum; ++L) {
            if (!(llength(L) > 0.0f)) continue;
            const float v = count_to_rate(pv(L, i, kInflow), T) * w;
            const float q1 = pv(L, i, kStartQueue);
            if (!(v > 0.0f || q1 > 0.0f)) continue;
            float out = 0.0f, q2 = 0.0f, cap = 0.0f, time = 0.0f;
            esttim1(s, L, v, out, q1, q2, cap, count_to_rate(pv(L, i, kDownstreamLimited), T), time,
                    0);
            pv(L, i, kLinkTime) = time;
            pv(L, i, kEndQueue) = q2;
            pv(L, i, kExitCapacity) = rate_to_count(cap, T);
            if (i < kForecastIntervals) pv(L, i + 1, kStartQueue) = q2;
        }
    }
}

} // namespace routing

void esttim1(Sim& s, int link, float inflow, float& outflow, float q1, float& q2, float& capx,
             float caplim, float& time, int /*flag*/) {
    outflow = q2 = capx = time = 0.0f;
    if (link < 1 || link > kMaxLinks) return;
    const auto& spdvol = s.link1.spdvol;
    const int   n = std::max(1, std::abs(s.link1.nulans(link)));
    const float sat = spdvol(link, 6);
    const int   T = std::max(s.trees.ftint, 1);
    const float D = inflow + kSecondsPerHour * q1 / static_cast<float>(T);
    const float d = D / static_cast<float>(n);

    float u = 0.0f;
    spd_vol(s, std::min(d, sat), spdvol(link, 7), spdvol(link, 1), spdvol(link, 2), spdvol(link, 3),
            u);
    const float running = kSecondsPerHour * spdvol(link, 8) / std::max(u, routing::kMinRunSpeed);

    const int g = std::abs(s.link3.tsignal(link));
    float     y = 1.0f, cycle = 0.0f, uniform = 0.0f, stop = 0.0f;
    if (g >= 1 && g <= kLastSignalCode) {
        // A signal without a cycle in the current plan leaves the end uncontrolled.
        if (routing::green_ratio(s, link, g, y, cycle)) {
            const float room = sat * y;
            const float x = room > 0.0f ? std::min(1.0f, d / room) : 1.0f;
            uniform =
                (cycle / 2.0f) * (1.0f - y) * (1.0f - y) / std::max(kDelayFloor, 1.0f - y * x);
        }
    } else if (g == kStopSignCode) {
        y = kStopGreen;
        stop = kStopDelay;
    } else if (g > kStopSignCode) {
        y = kYieldGreen;
        stop = kYieldDelay;
    }
    capx = sat * y * static_cast<float>(n);
    const float c = std::min(capx, caplim);
    outflow = std::min(D, c);
    q2 = std::max(0.0f, (D - c) * static_cast<float>(T) / kSecondsPerHour);
    const float qbar = 0.5f * q1 + 0.5f * q2;
    const float queue_delay = kSecondsPerHour * qbar / (c > kQueueRateFloor ? c : kQueueRateFloor);
    time = running + uniform + queue_delay + stop;
}

void int_time(Sim& s, int link, int t, float& time, int /*flag*/) {
    time = 0.0f;
    const auto& pv = s.trees.pre_vol;
    if (link < 1 || link > pv.hi1()) return; // beyond the run's links: no forecast
    const int T = std::max(s.trees.ftint, 1);
    t = std::max(t, 0);
    const int   k = std::min(t / T + 1, kForecastIntervals);
    const float x = static_cast<float>(t) / static_cast<float>(T) - static_cast<float>(t / T);
    if (x < 0.5f) {
        const float w = 0.5f - x;
        time = w * pv(link, std::max(1, k - 1), kLinkTime) + (1.0f - w) * pv(link, k, kLinkTime);
    } else {
        const float w = 1.5f - x;
        time = w * pv(link, k, kLinkTime) +
               (1.0f - w) * pv(link, std::min(k + 1, kForecastIntervals), kLinkTime);
    }
}

void inc_flw(Sim& s, int trip, int link, int interval, int sign, int kind, int tag) {
    if (link < 1 || link > kMaxLinks) {
        wfree(s.units, kUnitRunLog, " incflw-0:", trip, link, interval, sign, kind, tag);
        return;
    }
    // The forecast holds the run's links only; nothing is forecast beyond them.
    if (link > s.trees.pre_vol.hi1() || interval < 1 || interval > kForecastIntervals) return;
    s.trees.pre_vol(link, interval, kind == kInflowKind ? kInflow : kOutflow) +=
        sign == 1 ? 1.0f : -1.0f;
}

void forecast(Sim& s) {
    auto&     tr = s.trees;
    auto&     st = s.vehtre;
    const int T = routing::forecast_interval(s.set1.simtim1);
    tr.ftint = T;
    const int mlnum = std::clamp(s.link2.mlnum, 0, kMaxLinks);
    // Sized for the run's links: the table is swept interval by interval.
    tr.pre_vol.resize(mlnum, kForecastIntervals, kForecastColumns);
    for (int L = 1; L <= mlnum; ++L)
        if (s.link4.llength(L) > 0.0f) init_link(s, L, T);

    const int tdemand = std::min(s.set2.tdemand, kMaxTrips);
    for (int p = 1; p <= kPasses; ++p) {
        // The trips loaded so far, scaled up to the whole demand.
        const float w = static_cast<float>(kPasses) / static_cast<float>(p);
        for (int n = p; n <= tdemand; n += kPasses) {
            float t = s.vehicle.strtrp(n, 1);
            if (t < 0.0f) continue; // no departure to load
            if (st.tre_ind(n, 1) == 0) tr_tree(s, n, 2, static_cast<int>(t));
            const int last = st.tre_ind(n, 2);
            for (int e = st.tre_ind(n, 1); e >= 1 && e <= last; ++e) {
                const float tl = load_entry(s, n, e, t, w);
                if (tl < 0.0f) break;
                t += tl;
            }
        }
        routing::sweep_forecast(s, w);
    }
}

void pforecast(Sim& s, int /*t*/, int /*ddd*/) {
    Units& u = s.units;
    auto&  tr = s.trees;
    tr.ftint = routing::forecast_interval(s.set1.simtim1);
    s.pathnam.filuse[kForecastSlot] = 0;
    const std::string name = routing::slot_file(s, kForecastSlot);
    if (routing::slot_off(name)) return;
    const std::string file = routing::output_file(s, name);
    if (!u.open_write(kForecastUnit, file)) {
        wfree(u, kUnitRunLog, " Cannot create the forecast listing: ", file);
        output_not_written(s, file);
        return;
    }
    s.pathnam.filuse[kForecastSlot] = 1;

    const int mlnum = std::min(s.link2.mlnum, kMaxLinks);
    const int periods = tr.np_ot2 - 1;
    const int pd = std::abs(tr.pd_ot2);
    u.line(kForecastUnit, s.filenam.mastitle);
    u.line(kForecastUnit, fmt_i(periods, 6) + fmt_i(tr.pd_ot2, 6) + fmt_i(s.link2.nlinks, 6) +
                              fmt_i(s.link2.mlnum, 6));

    // Path entries by period of their forecast entry time (counting sort), each
    // packed as entry * 8 + class.
    const auto&      st = s.vehtre;
    const int        tdemand = std::min(s.set2.tdemand, kMaxTrips);
    std::vector<int> start(static_cast<std::size_t>(std::max(periods, 0) + 2), 0);
    auto             period_of = [&](int e) {
        const int entry = st.vehtre(e, 2);
        if (entry < 0 || pd <= 0) return 0; // not reached by the forecast
        const int p = entry / kTenths / pd + 1;
        return p <= periods ? p : 0;
    };
    auto for_each_entry = [&](auto&& fn) {
        for (int n = 1; n <= tdemand; ++n) {
            const int first = st.tre_ind(n, 1), last = st.tre_ind(n, 2);
            if (first < 1) continue;
            for (int e = first; e <= last; ++e)
                if (const int p = period_of(e); p > 0) fn(n, e, p);
        }
    };
    constexpr int kClassBits = 8;
    for_each_entry([&](int, int, int p) { ++start[static_cast<std::size_t>(p + 1)]; });
    for (std::size_t p = 1; p < start.size(); ++p) start[p] += start[p - 1];
    std::vector<int> order(static_cast<std::size_t>(start.back()));
    std::vector<int> fill(start.begin(), start.end());
    for_each_entry([&](int n, int e, int p) {
        const int vt = std::clamp(s.oddat.vtyp(n), 0, kClasses);
        order[static_cast<std::size_t>(fill[static_cast<std::size_t>(p)]++)] = e * kClassBits + vt;
    });

    std::vector<std::array<float, kClasses + 1>> cnt(static_cast<std::size_t>(mlnum + 1));
    std::vector<std::array<float, kClasses + 1>> tim(static_cast<std::size_t>(mlnum + 1));
    for (int i = 1; i <= periods; ++i) {
        for (auto& a : cnt) a.fill(0.0f);
        for (auto& a : tim) a.fill(0.0f);
        for (int j = start[static_cast<std::size_t>(i)]; j < start[static_cast<std::size_t>(i + 1)];
             ++j) {
            const int packed = order[static_cast<std::size_t>(j)];
            const int e = packed / kClassBits, vt = packed % kClassBits;
            const int L = st.vehtre(e, 1);
            if (L < 1 || L > mlnum) continue;
            const float entry = static_cast<float>(st.vehtre(e, 2) / kTenths);
            const float on_link = static_cast<float>(st.vehtre(e, 3)) / kTenthsF - entry;
            auto&       c = cnt[static_cast<std::size_t>(L)];
            auto&       tt = tim[static_cast<std::size_t>(L)];
            c[0] += 1.0f;
            tt[0] += on_link;
            if (vt >= 1) {
                c[static_cast<std::size_t>(vt)] += 1.0f;
                tt[static_cast<std::size_t>(vt)] += on_link;
            }
        }
        u.line(kForecastUnit, fmt_i(i * pd, 7) + fmt_i(i, 7));
        for (int L = 1; L <= mlnum; ++L) {
            if (s.link4.llength(L) < 0.0f || s.link4.io12(L) != 1) continue;
            u.line(kForecastUnit, listing_line(s, L, cnt[static_cast<std::size_t>(L)],
                                               tim[static_cast<std::size_t>(L)], pd));
        }
    }
    u.close(kForecastUnit);
}

} // namespace velm
