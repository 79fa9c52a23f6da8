// Link flow and time listings for other programs: the periodic link listing
// (slot 12) and turning-movement listing (slot 25) of every output period,
// the link travel-time report of the whole run or of an assignment slice
// (slots 11 and 17), and the run's turning movements after it (slot 11).
#include "core/io/writers.h"
#include "core/model/codes.h"
#include "core/reports/reports.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>

namespace velm {

namespace {

inline constexpr int    kSecondsPerHourInt = 3600;
inline constexpr float  kTimeUnit = 0.1f;             // detper and turncnt keep times in 0.1 s
inline constexpr float  kTollUnit = 0.01f;            // detper keeps tolls in cents
inline constexpr float  kMaxClassTime = 9999.0f;      // s: a longer class time prints as this
inline constexpr float  kMaxStops = 99.0f;            // stops per vehicle
inline constexpr int    kFlowCode = 1, kTimeCode = 2; // pturn line codes
inline constexpr double kWholeFieldMax = 1e15;        // beyond any field: printed as asterisks

// Period detper rows 1..3 (count, time, toll) and the run's rows 4..6.
inline constexpr int kPeriodRows = 0, kRunRows = 3;

// A real shown as a whole number: truncated; a value no field holds stays
// wide enough to print as asterisks.
long whole(double v) {
    if (!(std::fabs(v) < kWholeFieldMax))
        return v < 0 ? -static_cast<long>(kWholeFieldMax) : static_cast<long>(kWholeFieldMax);
    return static_cast<long>(std::trunc(v));
}

// count vehicles in `period` s as an hourly flow, truncated; the count itself
// when there is no period.
long hourly(long count, int period) {
    return period > 0 ? count * kSecondsPerHourInt / period : count;
}

bool listed(const Sim& s, int i) {
    return s.link4.io12(i) == 1 && s.link4.llength(i) >= 0.0f;
}

// The figures of one link record, in the order they print.
struct LinkFigures {
    long                        capacity = 0; // veh/h
    long                        total = 0;    // vehicles (or veh/h once scaled)
    std::array<long, kClasses>  flows{};
    float                       fretim = 0.0f;
    float                       mean = 0.0f; // s
    std::array<float, kClasses> times{};     // s
    std::array<float, kClasses> tolls{};     // dollars (assigned: s)
    float                       vehicles = 0.0f, queue = 0.0f, stops = 0.0f;
};

// Field widths of a record family.
struct Layout {
    int link, length, count, time, toll, moe;
};
inline constexpr Layout kPeriodLayout{8, 9, 8, 9, 12, 12};
inline constexpr Layout kRunLayout{5, 6, 6, 7, 7, 6};

// The figures of link i that do not depend on traffic: capacity and free-flow time.
LinkFigures link_figures(const Sim& s, int i) {
    LinkFigures f;
    f.capacity = whole(s.link4.lanesat(i) * static_cast<float>(std::abs(s.link1.nulans(i))));
    f.fretim = s.delay.fretim(i);
    return f;
}

// The link's figures and the measured class figures of link i from the
// detper rows starting after `rows` (period or run). The flows are counts.
LinkFigures measured(const Sim& s, int i, int rows, float stop_sum) {
    const auto& dp = s.link1.detper;
    LinkFigures f = link_figures(s, i);
    double      time_sum = 0.0;
    for (int c = 1; c <= kClasses; ++c) {
        const auto k = static_cast<std::size_t>(c - 1);
        const int  n = dp(i, rows + 1, c);
        f.flows[k] = n;
        if (n < 1) {
            f.times[k] = f.fretim;
            f.tolls[k] = 0.0f;
            continue;
        }
        f.times[k] =
            std::min(kTimeUnit * static_cast<float>(dp(i, rows + 2, c)) / static_cast<float>(n),
                     kMaxClassTime);
        f.tolls[k] = kTollUnit * static_cast<float>(dp(i, rows + 3, c)) / static_cast<float>(n);
        time_sum += kTimeUnit * static_cast<double>(dp(i, rows + 2, c));
        f.total += n;
    }
    if (f.total >= 1) {
        f.mean = static_cast<float>(time_sum / static_cast<double>(f.total));
        f.stops = std::min(stop_sum / static_cast<float>(f.total), kMaxStops);
    } else {
        f.mean = f.fretim;
    }
    return f;
}

void scale_flows(LinkFigures& f, int period) {
    f.total = hourly(f.total, period);
    for (long& q : f.flows) q = hourly(q, period);
}

// The record's fields up to the stops per vehicle.
std::string record_head(const Sim& s, int i, const LinkFigures& f, const Layout& w) {
    std::string r = fmt_i(i, w.link) + fmt_f(s.link4.llength(i), w.length, 3) +
                    fmt_i(f.capacity, w.count) + fmt_i(f.total, w.count);
    for (long q : f.flows) r += fmt_i(q, w.count);
    r += fmt_f(f.fretim, w.time, 1) + fmt_f(f.mean, w.time, 1);
    for (float v : f.times) r += fmt_f(v, w.time, 1);
    for (float v : f.tolls) r += fmt_f(v, w.toll, 2);
    return r + fmt_f(f.vehicles, w.moe, 1) + fmt_f(f.queue, w.moe, 1) + fmt_f(f.stops, w.moe, 1);
}

// The heading of a listing, written at time 0: the run's title, then `first`
// (the output instants of the run, or 1 for a travel-time report), the
// period and the link counts.
constexpr int kCo2Quantity = 5; // of the emission quantities
constexpr int kCo2Width = 14;

void listing_heading(Sim& s, int unit, int first, int pd) {
    auto& u = s.units;
    u.line(unit, fmt_a(s.filenam.mastitle, kTitleLineChars));
    u.line(unit,
           fmt_i(first, 6) + fmt_i(pd, 6) + fmt_i(s.link2.nlinks, 6) + fmt_i(s.link2.mlnum, 6));
}

// The period index of second t at output rate pd (signed): positive rates
// count time 0 as period 1, negative ones list their first period at |pd|.
// 0 when nothing is listed at t.
int period_index(int t, int pd) {
    const int period = std::abs(pd);
    if (period == 0 || (t == 0 && pd <= 0)) return 0;
    const int index = pd >= 1 ? t / period + 1 : t / period;
    return std::max(index, 0);
}

void clear_period(Sim& s, int i) {
    auto& e = s.kzcpxm_energy;
    auto& l1 = s.link1;
    for (int k = 1; k <= kVspSums; ++k) e.vsp_param_avr(i, k) = 0.0f;
    e.vsp_update_cnt(i) = 0;
    for (int c = 1; c <= kClasses; ++c)
        for (int k = 1; k <= 3; ++k) l1.detper(i, k, c) = 0;
    l1.stop(i, 2) = 0.0f;
    s.link2.ttqu(i, 2) = 0;
    s.link2.totque(i, 2) = 0;
    for (int k = 1; k <= kEmisQuantities; ++k) l1.emis(i, k, 2) = 0.0f;
    for (int k = 1; k <= kCrashCategories; ++k) s.accid.linkacc(i, 1, k) = 0.0f;
}

} // namespace

void pflow(Sim& s, int t, int pd) {
    auto& u = s.units;
    if (!u.is_open(kFlowListSlot)) return;
    if (t == 0) listing_heading(s, kFlowListSlot, s.trees.np_ot2, pd);
    const int index = period_index(t, pd);
    if (index < 1) return;
    const int period = std::abs(pd);
    u.line(kFlowListSlot, fmt_i(t, 7) + fmt_i(index, 7));
    const auto& e = s.kzcpxm_energy;
    const auto& l1 = s.link1;
    for (int i = 1; i <= s.link2.mlnum; ++i) {
        if (!listed(s, i)) continue;
        LinkFigures f = measured(s, i, kPeriodRows, l1.stop(i, 2));
        scale_flows(f, period);
        if (t >= 1) {
            f.vehicles = static_cast<float>(s.link2.ttqu(i, 2)) / static_cast<float>(period);
            f.queue = static_cast<float>(s.link2.totque(i, 2)) / static_cast<float>(period);
        }
        std::string r = record_head(s, i, f, kPeriodLayout);
        for (int k = 1; k <= 2; ++k) r += fmt_f(e.vsp_param_avr(i, k), 20, 1);
        for (int k = 3; k <= kVspSums; ++k) r += fmt_f(e.vsp_param_avr(i, k), 16, 3);
        for (int k = 1; k <= kEmisQuantities; ++k) r += fmt_f(l1.emis(i, k, 2), 12, 3);
        for (int k = 1; k <= kCrashCategories; ++k) r += fmt_f(s.accid.linkacc(i, 1, k), 12, 1);
        u.line(kFlowListSlot, r);
        clear_period(s, i);
    }
}

void pturn(Sim& s, int t, int pd) {
    auto& u = s.units;
    if (!u.is_open(kTurnSlot)) return;
    if (t == 0) listing_heading(s, kTurnSlot, s.trees.np_ot2, pd);
    if (period_index(t, pd) < 1) return;
    const int period = std::abs(pd);
    auto&     tc = s.link5.turncnt;
    for (int i = 1; i <= s.link2.mlnum; ++i) {
        if (!(s.link4.llength(i) > 0.0f)) continue;
        const std::string lead = fmt_i(t, 6) + fmt_i(i, 6);
        std::string       flows = lead + fmt_i(kFlowCode, 6);
        std::string       times = lead + fmt_i(kTimeCode, 6);
        const long        free_s = whole(s.delay.fretim(i));
        for (int c = 1; c <= kClasses; ++c) {
            flows += blanks(4);
            times += blanks(4);
            for (int dir = 1; dir <= kAllDirections; ++dir) {
                const int n = tc(i, dir, c, 1);
                flows += fmt_i(hourly(n, period), 6);
                times += fmt_i(n < 1 ? free_s : tc(i, dir, c, 2) / n / 10, 6);
            }
        }
        u.line(kTurnSlot, flows);
        u.line(kTurnSlot, times);
        for (int c = 1; c <= kClasses; ++c)
            for (int dir = 1; dir <= kAllDirections; ++dir) tc(i, dir, c, 1) = tc(i, dir, c, 2) = 0;
    }
}

void turnsum(Sim& s, int t, int mlnum) {
    auto& u = s.units;
    if (!u.is_open(kLinkTimesSlot)) return;
    const int n = std::clamp(mlnum, 0, kMaxLinks);
    u.line(kLinkTimesSlot, " Turning movements by dir and veh class");
    u.line(kLinkTimesSlot, fmt_i(t, 6) + fmt_i(mlnum, 6));
    const auto& tc = s.link5.turncnt;
    for (int i = 1; i <= n; ++i) {
        if (!(s.link4.llength(i) > 0.0f)) continue;
        std::string r = fmt_i(i, 5);
        for (int c = 1; c <= kClasses; ++c) {
            r += blanks(2);
            for (int dir = 1; dir <= kAllDirections; ++dir)
                r += fmt_i(hourly(tc(i, dir, c, 5), std::max(t, 0)), 5);
        }
        u.line(kLinkTimesSlot, r);
    }
}

void linktime(Sim& s, int funit, int t, int ddd, int flag) {
    auto& u = s.units;
    if (!u.is_open(funit)) return;
    if (t == 0) listing_heading(s, funit, 1, ddd);
    // A period of no length (a run of one tick) has no block index and no
    // hourly factor: its flows are counts.
    const int period = std::max(ddd, 0);
    u.line(funit, fmt_i(t, 7) + fmt_i(period > 0 ? t / period : 0, 7));
    const auto& l1 = s.link1;
    const auto& as = s.assigns;
    for (int i = 1; i <= s.link2.mlnum; ++i) {
        if (!listed(s, i)) continue;
        LinkFigures f;
        if (flag == 0) {
            f = measured(s, i, kRunRows, l1.stop(i, 1));
            scale_flows(f, period);
            if (t >= 1) {
                f.vehicles = static_cast<float>(s.link2.ttqu(i, 1)) / static_cast<float>(t);
                f.queue = static_cast<float>(s.link2.totque(i, 1)) / static_cast<float>(t);
            }
        } else {
            f = link_figures(s, i);
            double time_sum = 0.0, flow_sum = 0.0;
            for (int c = 1; c <= kClasses; ++c) {
                const auto k = static_cast<std::size_t>(c - 1);
                f.flows[k] = whole(as.tflow(i, c));
                f.times[k] = as.ttime(i, c);
                f.tolls[k] = as.tolls(i, c);
                f.total = whole(static_cast<double>(f.total) + as.tflow(i, c));
                time_sum += static_cast<double>(as.tflow(i, c)) * as.ttime(i, c);
                flow_sum += static_cast<double>(as.tflow(i, c));
            }
            // The flow-weighted mean of the class times, over the same
            // unrounded flows as its sum.
            f.mean = f.total >= 1 ? static_cast<float>(time_sum / flow_sum) : f.fretim;
        }
        std::string r = record_head(s, i, f, kRunLayout);
        // CO2 over a run reaches millions of grams: its field is wider, and
        // only the columns after it move.
        for (int k = 1; k <= kEmisQuantities; ++k)
            r += fmt_f(flag == 0 ? l1.emis(i, k, 1) : 0.0f, k == kCo2Quantity ? kCo2Width : 10, 3);
        for (int k = 1; k <= kCrashCategories; ++k)
            r += fmt_f(flag == 0 ? s.accid.linkacc(i, 2, k) : 0.0f, 9, 1);
        u.line(funit, r);
    }
}

} // namespace velm
