// The end-of-run trip summary of the summary output: per class and
// origin-destination pair the departed, arrived and en-route vehicles, their
// departure and arrival times, trip times and distance; the same over all
// classes with the origins' waiting peaks; and the network totals.
#include "core/io/writers.h"
#include "core/model/codes.h"
#include "core/reports/reports.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace velm {

namespace {

inline constexpr double kNone = std::numeric_limits<double>::infinity();
inline constexpr double kMinute = 60.0;
inline constexpr double kHour = 3600.0;

bool is_origin(const Sim& s, int z) {
    const int k = s.graph1.ntyp(z);
    return k == kZoneBoth || k == kZoneOrigin;
}

bool is_destination(const Sim& s, int z) {
    const int k = s.graph1.ntyp(z);
    return k == kZoneBoth || k == kZoneDestination;
}

// A trip that entered the network and has left it again. A trip still
// waiting at its origin may hold a departure time of 0 in dept.
bool completed(const Sim& s, int n) {
    const float entry = s.vehicle.strtrp(n, 2);
    return entry >= 0.0f && entry < static_cast<float>(kNever) && s.vehicle.dept(n) <= 0.0f;
}

// What the trips of one origin gave each destination. First times and the
// shortest trip time start above any time of a run, however long.
struct PairScan {
    double first_dep = kNone, last_dep = 0.0;
    double first_arr = kNone, last_arr = 0.0;
    double shortest = kNone, longest = 0.0;
    double sum_sq = 0.0; // s^2
    double km = 0.0;
};

// Minutes of a first time or shortest time; 0 when no trip set it.
double minutes_or_zero(double seconds) {
    return seconds == kNone ? 0.0 : seconds / kMinute;
}

// The trips grouped by a key, each group in trip order: one pass over the
// trips instead of one per class and origin.
struct TripGroups {
    std::vector<int> start; // group k holds trips[start[k] .. start[k + 1])
    std::vector<int> trips;

    template <class Key> TripGroups(int tdemand, int keys, Key key) : start(keys + 2, 0) {
        for (int n = 1; n <= tdemand; ++n)
            if (const int k = key(n); k >= 0) ++start[static_cast<std::size_t>(k) + 1];
        for (std::size_t k = 1; k < start.size(); ++k) start[k] += start[k - 1];
        trips.resize(static_cast<std::size_t>(start.back()));
        std::vector<int> at(start.begin(), start.end() - 1);
        for (int n = 1; n <= tdemand; ++n)
            if (const int k = key(n); k >= 0)
                trips[static_cast<std::size_t>(at[static_cast<std::size_t>(k)]++)] = n;
    }
    template <class F> void each(int k, F f) const {
        for (int i = start[static_cast<std::size_t>(k)]; i < start[static_cast<std::size_t>(k) + 1];
             ++i)
            f(trips[static_cast<std::size_t>(i)]);
    }
};

struct Totals {
    double km = 0.0;   // veh-km of the completed trips
    double time = 0.0; // s, their trip times
};

void class_heading(Units& u) {
    wfree(u, kUnitSummary, "\f");
    wfree(u, kUnitSummary);
    u.line(kUnitSummary,
           std::string(" AVERAGE/TOTAL O-D TRIP TIMES/DISTANCES") + " BY VEHICLE TYPE");
    wfree(u, kUnitSummary);
    u.line(kUnitSummary,
           std::string("  Veh. Orig Dest") + "    =Num of Vehs=  " +
               " Dept. Time   Arr. Time     ========= Trip Times ==========" + "   Total");
    u.line(kUnitSummary, std::string(" Type  Zone Zone") + "    Dep  Arr  Enr  " +
                             " First  Last First  Last    Total     Min   Avg   Max  S.D." +
                             "  Distance ");
    u.line(kUnitSummary, std::string(34, ' ') +
                             "  (Min)(Min) (Min)(Min) (Veh-Min)    (Min)(Min)(Min) " +
                             "(Min)(Veh-Km)");
    u.line(kUnitSummary, " " + std::string(104, '='));
}

void all_class_heading(Units& u) {
    wfree(u, kUnitSummary, "    ");
    u.line(kUnitSummary, std::string(82, '='));
    u.line(kUnitSummary,
           std::string(" AVERAGE/TOTAL O-D TRIP TIMES/DISTANCES") + " FOR ALL VEHICLE CLASSES");
    u.line(kUnitSummary, std::string(29, ' ') + "       ====Trip Time====  Max Pre-Trip");
    u.line(kUnitSummary, std::string(" Orig Dest") + "       =Num of Vehs= " +
                             "    Avg    SD     Total    Park Park   Tot. Dist");
    u.line(kUnitSummary, std::string(" Zone Zone") + "       Dep  Arr Enrt" + "    (min) (min) " +
                             "   (min)     Veh Time" + "    veh-km");
    u.line(kUnitSummary, std::string(79, '='));
}

// The table of class c, one row per pair with departures of the class.
void class_table(Sim& s, int c, int t, const TripGroups& groups, int maxorg, int maxdst,
                 Totals& all) {
    auto&                 u = s.units;
    const auto&           nd = s.nodes;
    const auto&           v = s.vehicle;
    const int             classes = std::min(s.set2.nvehtyp, kClasses);
    Totals                cls;
    std::vector<PairScan> pair(static_cast<std::size_t>(kMaxZones) + 1);
    for (int o = 1; o <= maxorg; ++o) {
        if (!is_origin(s, o)) continue;
        std::fill(pair.begin(), pair.end(), PairScan{});
        groups.each((c - 1) * (kMaxZones + 1) + o, [&](int n) {
            const double start = v.strtrp(n, 1);
            if (start > t) return;
            PairScan& p = pair[static_cast<std::size_t>(v.ndest(n))];
            p.last_dep = std::max(p.last_dep, start);
            p.first_dep = std::min(p.first_dep, start);
            if (!completed(s, n)) return;
            const double a = v.arrt(n);
            const double tt = a - start;
            const double km = s.vehplot.trpdst(n, 1);
            p.first_arr = std::min(p.first_arr, a);
            p.last_arr = std::max(p.last_arr, a);
            p.shortest = std::min(p.shortest, tt);
            p.longest = std::max(p.longest, tt);
            p.sum_sq += tt * tt;
            p.km += km;
            cls.km += km;
            all.km += km;
            cls.time += tt;
            all.time += tt;
        });
        for (int d = 1; d <= maxdst; ++d) {
            if (!is_destination(s, d)) continue;
            int departed = 0;
            for (int k = 1; k <= classes; ++k) departed += nd.dptrs(o, d, k);
            const int dep = nd.dptrs(o, d, c);
            if (departed == 0 || dep <= 0) continue;
            const int       arr = nd.arvls(o, d, c);
            const double    total = nd.trtim(o, d, c);
            const double    mean = arr > 0 ? total / arr : 0.0;
            const PairScan& p = pair[static_cast<std::size_t>(d)];
            double          sd = 0.0;
            if (arr >= 2) {
                const double radicand = p.sum_sq / arr - mean * mean;
                if (radicand > 0.0) sd = std::sqrt(radicand) / kMinute;
            }
            const bool  any = arr > 0;
            std::string row = fmt_i(c, 5) + fmt_i(o, 5) + fmt_i(d, 4) + blanks(4) + fmt_i(dep, 5) +
                              fmt_i(arr, 5) + fmt_i(dep - arr, 5) + blanks(2);
            row += fmt_f(minutes_or_zero(p.first_dep), 6, 1) + fmt_f(p.last_dep / kMinute, 6, 1) +
                   fmt_f(any ? minutes_or_zero(p.first_arr) : 0.0, 6, 1) +
                   fmt_f(any ? p.last_arr / kMinute : 0.0, 6, 1) + fmt_f(total / kMinute, 9, 1) +
                   blanks(2);
            row += fmt_f(any ? minutes_or_zero(p.shortest) : 0.0, 6, 2) +
                   fmt_f(mean / kMinute, 6, 2) + fmt_f(any ? p.longest / kMinute : 0.0, 6, 2) +
                   fmt_f(sd, 6, 2) + fmt_f(p.km, 10, 1);
            u.line(kUnitSummary, row);
        }
    }
    wfree(u, kUnitSummary, "   ");
    if (cls.km > 0.0) {
        u.line(kUnitSummary,
               " - Vehicle class :" + fmt_i(c, 5) + "      Total Veh-Km = " + fmt_f(cls.km, 12, 1));
        u.line(kUnitSummary, " - Vehicle class :" + fmt_i(c, 5) +
                                 "      Total Veh-Hrs= " + fmt_f(cls.time / kHour, 12, 1));
        wfree(u, kUnitSummary);
        u.line(kUnitSummary, std::string(82, '='));
    }
}

// The table over all classes, one row per pair with departures.
void all_class_table(Sim& s, const TripGroups& by_origin, int mzones) {
    auto&                 u = s.units;
    const auto&           nd = s.nodes;
    const auto&           v = s.vehicle;
    const int             classes = std::min(s.set2.nvehtyp, kClasses);
    std::vector<PairScan> pair(static_cast<std::size_t>(kMaxZones) + 1);
    for (int o = 1; o <= mzones; ++o) {
        if (!is_origin(s, o)) continue;
        std::fill(pair.begin(), pair.end(), PairScan{});
        by_origin.each(o, [&](int n) {
            if (!completed(s, n)) return;
            const double tt = static_cast<double>(v.arrt(n)) - v.strtrp(n, 1);
            PairScan&    p = pair[static_cast<std::size_t>(v.ndest(n))];
            p.sum_sq += tt * tt;
            p.km += s.vehplot.trpdst(n, 1);
        });
        for (int d = 1; d <= mzones; ++d) {
            if (!is_destination(s, d)) continue;
            int    dep = 0, arr = 0;
            double total = 0.0;
            for (int c = 1; c <= classes; ++c) {
                dep += nd.dptrs(o, d, c);
                arr += nd.arvls(o, d, c);
                total += nd.trtim(o, d, c);
            }
            if (dep <= 0) continue;
            double mean = 0.0, sd = 0.0;
            if (arr > 0) {
                mean = total / arr;
                const double radicand =
                    pair[static_cast<std::size_t>(d)].sum_sq / arr - mean * mean;
                if (radicand > 0.0) sd = std::sqrt(radicand);
            }
            std::string row = fmt_i(o, 5) + fmt_i(d, 5) + blanks(5) + fmt_i(dep, 5) +
                              fmt_i(arr, 5) + fmt_i(dep - arr, 5) + blanks(2);
            row += fmt_f(mean / kMinute, 7, 2) + fmt_f(sd / kMinute, 6, 2) +
                   fmt_f(total / kMinute, 9, 1) + blanks(3) + fmt_i(s.invisible.maxpark(o), 5) +
                   fmt_i(s.invisible.tmaxpark(o) / kSecondsPerMinute, 5) +
                   fmt_f(pair[static_cast<std::size_t>(d)].km, 10, 1);
            u.line(kUnitSummary, row);
        }
    }
}

} // namespace

void tripsum(Sim& s, int t) {
    auto&       u = s.units;
    const auto& nd = s.nodes;
    const auto& st = s.set2;
    const auto& set1 = s.set1;
    const int   classes = std::min(st.nvehtyp, kClasses);
    const int   maxorg = std::min(st.maxorg, kMaxZones);
    const int   maxdst = std::min(st.maxdst, kMaxZones);
    const int   mzones = std::min(st.mzones, kMaxZones);
    const int   tdemand = std::min(st.tdemand, kMaxTrips);

    // Network totals: the time total is kept in whole seconds.
    long   arrivals = 0;
    double seconds = 0.0;
    for (int c = 1; c <= classes; ++c)
        for (int o = 1; o <= maxorg; ++o) {
            if (!is_origin(s, o)) continue;
            for (int d = 1; d <= maxdst; ++d) {
                if (!is_destination(s, d)) continue;
                arrivals += nd.arvls(o, d, c);
                seconds = std::trunc(seconds + static_cast<double>(nd.trtim(o, d, c)));
            }
        }

    // Trips of a known class from a zone, grouped by class and origin, and
    // by origin alone; a trip whose departure never came (no first link) is
    // in neither.
    const auto zone_of = [&](int n) {
        const int  o = s.vehicle.norig(n), d = s.vehicle.ndest(n);
        const bool known =
            o >= 1 && o <= kMaxZones && d >= 1 && d <= kMaxZones && s.vehicle.strtrp(n, 1) >= 0.0f;
        return known ? o : -1;
    };
    const TripGroups by_class(tdemand, classes * (kMaxZones + 1), [&](int n) {
        const int o = zone_of(n), c = s.oddat.vtyp(n);
        return o >= 0 && c >= 1 && c <= classes ? (c - 1) * (kMaxZones + 1) + o : -1;
    });
    const TripGroups by_origin(tdemand, kMaxZones + 1, zone_of);

    class_heading(u);
    Totals all;
    for (int c = 1; c <= classes; ++c) class_table(s, c, t, by_class, maxorg, maxdst, all);

    all_class_heading(u);
    all_class_table(s, by_origin, mzones);

    u.line(kUnitSummary, std::string(" - All Vehicle Classes  ") +
                             "      Total Veh-Km = " + fmt_f(all.km, 12, 1));
    u.line(kUnitSummary, std::string(" - All Vehicle Classes  ") +
                             "      Total Veh-Hrs= " + fmt_f(all.time / kHour, 12, 1));
    for (int k = 0; k < 3; ++k) wfree(u, kUnitSummary);
    u.line(kUnitSummary, " Sum of the total trip time     = " + fmt_f(seconds / kMinute, 9, 1) +
                             " veh-mins   " + fmt_f(seconds / kHour, 9, 2) + " veh-hrs.");
    if (arrivals > 0)
        u.line(kUnitSummary, " Average          trip time     = " +
                                 fmt_f(seconds / kMinute / static_cast<double>(arrivals), 9, 2) +
                                 " mins        " +
                                 fmt_f(seconds / static_cast<double>(arrivals), 8, 0) + " secs");
    else
        wfree(u, kUnitSummary,
              " Average          trip time     = ", "  Unknown due to lack of arrivals");
    wfree(u, kUnitSummary);
    wfree(u, kUnitSummary, " Total demand to enter network = ", st.tdemand);
    wfree(u, kUnitSummary, " Vehicles eligible to enter    = ", set1.tdep);
    wfree(u, kUnitSummary, " Vehicles in their driveways   = ", set1.totin);
    wfree(u, kUnitSummary, " Vehicles left on network      = ", set1.tenr);
    wfree(u, kUnitSummary, " Vehicles that completed trip  = ", set1.tarr);
}

} // namespace velm
