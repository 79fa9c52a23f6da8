// Reports of the summary output over links: the level-of-service summary of
// the report groups (every output period and at the end of the run), the link
// flow summary and the incident summary (at the end of the run).
#include "core/io/writers.h"
#include "core/model/codes.h"
#include "core/reports/reports.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <string>

namespace velm {

namespace {

inline constexpr int  kEmptyGroupCode = 810110; // a group or approach without links
inline constexpr char kGrades[] = "ABCDEF";
// Upper bounds of grades A..E; above the last one the grade is F.
inline constexpr float kDensityBounds[] = {6.25f, 12.5f, 17.5f, 21.88f, 26.88f}; // veh/km/lane
inline constexpr float kDelayBounds[] = {10.0f, 20.0f, 35.0f, 55.0f, 80.0f};     // s/veh
inline constexpr int   kTicksPerMinute = 600;
inline constexpr int   kTicksPerSecond = 10;
inline constexpr float kMsPerHour = 3600000.0f; // capout is a headway in ms
inline constexpr float kTicksPerHour = 36000.0f;
inline constexpr int   kNameColumns = 20;  // of the 40-character link name
inline constexpr int   kLossesPerLine = 5; // lane losses of one incident line

constexpr int digits(int n) {
    return n < 10 ? 1 : 1 + digits(n / 10);
}
// Fields that hold every link and node number a network may have.
inline constexpr int    kLinkDigits = digits(kMaxLinks);
inline constexpr int    kNodeDigits = digits(kMaxNodes);
inline constexpr double kWholeFieldMax = 1e15; // beyond any field: printed as asterisks

char grade(float value, const float (&bounds)[5]) {
    std::size_t k = 0;
    while (k < std::size(bounds) && value > bounds[k]) ++k;
    return kGrades[k];
}

// A real shown as a whole number: truncated; a value no field holds stays
// wide enough to print as asterisks.
long whole(double v) {
    if (!(std::fabs(v) < kWholeFieldMax))
        return v < 0 ? -static_cast<long>(kWholeFieldMax) : static_cast<long>(kWholeFieldMax);
    return static_cast<long>(std::trunc(v));
}

bool link_in_table(int k) {
    return k >= 1 && k <= kMaxLinks;
}

// Notes once per run that group g (approach a, or the whole group when a is
// 0) has no links and what the report shows for it.
void note_empty(Sim& s, int g, int a) {
    auto&     noted = s.los.empty_noted(g);
    const int bit = 1 << a;
    if ((noted & bit) != 0) return;
    noted |= bit;
    if (a == 0)
        wfree(s.units, kUnitRunLog, " Level-of-service group", g, " Error", kEmptyGroupCode,
              "- the group has no links: reported as 0.0, grade A");
    else
        wfree(s.units, kUnitRunLog, " Level-of-service group", g, " Error", kEmptyGroupCode,
              "- approach", a, " has no links: left out of the group's delay");
}

struct FreewayMoe {
    float density = 0.0f; // veh/km/lane
    float speed = 0.0f;   // km/h
};

// Mean density and speed of a section's links over the period of `period` s.
// Links without traffic add nothing but count in the mean.
FreewayMoe freeway_section(Sim& s, int g, float period) {
    auto&      los = s.los;
    FreewayMoe m;
    const int  n = los.n_los_lk(g);
    if (n < 1) {
        note_empty(s, g, 0);
        return m;
    }
    for (int j = 1; j <= std::min(n, kMaxLosLinks); ++j) {
        const int k = los.los_lk(g, j);
        if (!link_in_table(k) || !(s.link4.llength(k) > 0.0f)) continue;
        if (los.time_los(k) == 0.0f) los.time_los(k) = s.delay.fretim(k);
        const float lanes = static_cast<float>(std::abs(s.link1.nulans(k)));
        const float flow = los.flow_los(k);
        const float q =
            lanes > 0.0f && period > 0.0f ? flow / lanes / period * kSecondsPerHour : 0.0f;
        const float v = los.time_los(k) > 0.0f
                            ? s.link4.llength(k) * flow / los.time_los(k) * kSecondsPerHour
                            : 0.0f;
        if (v > 0.0f) m.density += q / v;
        m.speed += v;
    }
    m.density /= static_cast<float>(n);
    m.speed /= static_cast<float>(n);
    return m;
}

// Mean delay per vehicle of an intersection, s: each approach's summed link
// delays weighted by its mean link flow.
float intersection_delay(Sim& s, int g) {
    const auto& los = s.los;
    const int   n = los.n_los_lk(g);
    if (n < 1) {
        note_empty(s, g, 0);
        return 0.0f;
    }
    float weighted = 0.0f, weights = 0.0f;
    int   empty = 0;
    for (int a = 1; a <= std::min(n, kMaxLosApproaches); ++a) {
        const int links = los.numlk(g, a);
        if (links < 1) {
            ++empty;
            continue;
        }
        float d = 0.0f, w = 0.0f;
        for (int j = 1; j <= std::min(links, kMaxLosLinks); ++j) {
            const int k = los.los_ap(g, a, j);
            if (!link_in_table(k) || !(los.flow_los(k) > 0.0f)) continue;
            d += (los.time_los(k) - los.flow_los(k) * s.delay.fretim(k)) / los.flow_los(k);
            w += los.flow_los(k);
        }
        w /= static_cast<float>(links);
        weighted += d * w;
        weights += w;
    }
    if (empty == std::min(n, kMaxLosApproaches)) {
        note_empty(s, g, 0);
        return 0.0f;
    }
    for (int a = 1; a <= std::min(n, kMaxLosApproaches); ++a)
        if (los.numlk(g, a) < 1) note_empty(s, g, a);
    return weights > 0.0f ? weighted / weights : 0.0f;
}

} // namespace

void lossum(Sim& s, int pd_ot1) {
    auto& los = s.los;
    auto& u = s.units;
    if (los.nlos < 1) return;
    const int   minutes = s.control.t10 / kTicksPerMinute;
    const float period = static_cast<float>(pd_ot1 != 0 ? std::abs(pd_ot1) : s.set1.simtim1);

    wfree(u, kUnitSummary, "     ");
    wfree(u, kUnitSummary, "     ");
    u.line(kUnitSummary, " LOS SUMMARIES AT TIME: " + fmt_i(minutes, 5) + " minutes");
    wfree(u, kUnitSummary);
    u.line(kUnitSummary, " Arterial: MOE1 - Average delay (s/veh)       ");
    u.line(kUnitSummary, " Freeway : MOE1 - Density (veh/km/lane)       ");
    u.line(kUnitSummary, "           MOE2 - Speed (km/h)                ");
    wfree(u, kUnitSummary);
    u.line(kUnitSummary, "============================================= ");
    u.line(kUnitSummary, " Group     Type    # Links   LOS  MOE1  MOE2  ");

    for (int g = 1; g <= std::min(los.nlos, kMaxLosGroups); ++g) {
        const int   type = los.lostyp(g);
        std::string moe;
        char        letter = 'A';
        if (type == kLosFreeway) {
            const FreewayMoe m = freeway_section(s, g, period);
            letter = grade(m.density, kDensityBounds);
            moe = fmt_f(m.density, 6, 1) + fmt_f(m.speed, 6, 1);
        } else if (type == kLosArterial) {
            const float delay = intersection_delay(s, g);
            letter = grade(delay, kDelayBounds);
            moe = fmt_f(delay, 6, 1);
        } else {
            continue;
        }
        u.line(kUnitSummary, fmt_i(g, 5) + blanks(9) + fmt_i(type, 1) + blanks(5) +
                                 fmt_i(los.n_los_lk(g), 5) + blanks(6) + letter + moe);
    }
    los.flow_los.zero();
    los.time_los.zero();
}

void linksum(Sim& s) {
    auto&       u = s.units;
    const auto& l1 = s.link1;
    const auto& l2 = s.link2;
    const auto& l4 = s.link4;
    const auto& flow = s.link1.flow;
    const auto& flowt = s.delay.flowt;
    const auto& fretim = s.delay.fretim;
    const int   t10 = s.control.t10;

    wfree(u, kUnitSummary);
    u.line(kUnitSummary, " LINK FLOW SUMMARIES AT TIME: " +
                             fmt_f(static_cast<double>(t10 / kTicksPerMinute), 5, 0) + " minutes");
    wfree(u, kUnitSummary);
    u.line(kUnitSummary, std::string("============================================") +
                             "===========   Link Grn  V/C     ==Travel Time==   " +
                             "  Aver Aver    =VEH. ON LINK=");
    u.line(kUnitSummary, std::string(" LINK  ===NODES==      LINK       ") + "   Speed Sat " +
                             "Lane Len   Flow Time Rat     Total Free Avg " +
                             "    Speed Stops   Max  Max   Cur");
    u.line(kUnitSummary, std::string(" (##)  Strt   End      NAME          ") + "(kph)(vph)" +
                             " (#)(km)  (vehs) (%) (%)     (min)(min)(min)" +
                             "    (kph)  (%)    Pos  Obs   Obs");
    u.line(kUnitSummary, std::string(123, '='));

    // The green counters count indication updates: every tick, or once a
    // second (ticks 1, 11, 21, ...) under external signal control.
    const int updates = s.atms.mitrefl(1) > 0 ? (t10 + kTicksPerSecond - 1) / kTicksPerSecond : t10;
    double    total_stops = 0.0, total_time = 0.0, total_flow = 0.0, veh_km = 0.0, length = 0.0;
    for (int i = 1; i <= std::min(l2.mlnum, kMaxLinks); ++i) {
        if (l4.io12(i) != 1 || !(l4.llength(i) >= 0.0f)) continue;
        const int   n = flow(i);
        const float mean_time = n > 0 ? flowt(i) / static_cast<float>(n) : fretim(i);
        const float green =
            s.control.t > 0 ? s.link3.gretim(i) / static_cast<float>(updates) : 0.0f;
        const long green_pct = whole(100.0f * green);
        float      vc = 0.0f;
        if (green_pct > 0 && l1.capout(i) > 0) {
            const float capacity = kMsPerHour / static_cast<float>(l1.capout(i));
            const float hourly =
                kTicksPerHour * static_cast<float>(n) / static_cast<float>(1 + t10);
            vc = hourly / capacity / green;
        }
        const float speed =
            n != 0 && l4.llength(i) != 0.0f && flowt(i) > 0.0f
                ? static_cast<float>(n) * l4.llength(i) / (flowt(i) / kSecondsPerHour)
                : 0.0f;
        const float stop_pct = n != 0 ? l1.stop(i, 1) / static_cast<float>(n) * 100.0f : 0.0f;
        total_stops += l1.stop(i, 1);
        total_time += flowt(i);
        total_flow += n;
        veh_km += static_cast<double>(n) * l4.llength(i);
        length += l4.llength(i);

        std::string line = fmt_i(i, 5) + " " + fmt_i(l1.frnode(i), 5) + " " +
                           fmt_i(l1.tonode(i), 5) + " " + fmt_a(s.link5.linkname(i), kNameColumns) +
                           " ";
        line += fmt_i(whole(l4.freespd(i)), 3) + " " + fmt_i(whole(l4.lanesat(i)), 4) + blanks(2) +
                fmt_i(std::abs(l1.nulans(i)), 1) + fmt_f(l4.llength(i), 5, 2) + fmt_i(n, 8) + " " +
                fmt_i(green_pct, 3) + " " + fmt_i(whole(100.0f * vc), 3) + " ";
        line += fmt_f(flowt(i) / 60.0f, 8, 0) + " " + fmt_f(fretim(i) / 60.0f, 4, 1) + " " +
                fmt_f(mean_time / 60.0f, 4, 1) + " " + fmt_f(speed, 9, 1) + " " +
                fmt_i(whole(stop_pct), 3) + blanks(4) + fmt_i(l2.amaxq(i), 4) + " " +
                fmt_i(l2.obsmaxq(i), 4) + blanks(2) + fmt_i(l2.ntqu(i), 4);
        u.line(kUnitSummary, line);
    }

    const auto network = [&](const char* label, double value, const char* unit) {
        u.line(kUnitSummary, label + fmt_f(value, 12, 2) + unit);
    };
    const double hours = total_time / kSecondsPerHour;
    wfree(u, kUnitSummary, " ");
    network(" -Total link travel times = ", total_time / 60.0, " veh-min");
    network("                          = ", hours, " veh-hrs");
    network(" -Total network travel    = ", veh_km, " veh-km");
    network(" -Total network length    = ", length, " km");
    wfree(u, kUnitSummary);
    network(" -Average network speed   = ", total_time > 0.0 ? veh_km / hours : 0.0, " km/h");
    const int tdemand = s.set2.tdemand;
    if (tdemand > 0) {
        // Over every demanded trip, those that never entered included.
        network(" -Link time/demanded trip = ", total_time / 60.0 / tdemand, " min");
        network(" -Distance/demanded trip  = ", veh_km / tdemand, " km");
    }
    u.line(kUnitSummary, " -Number Invisible veh.   = " + fmt_i(s.set1.totin, 9));
    network(" -Total network stops     = ", total_stops, "");
    network(" -Average network stops   = ",
            total_flow > 0.0 ? total_stops / total_flow * 100.0 : 0.0, " percent");
}

void incsum(Sim& s) {
    const auto& inc = s.incident;
    auto&       u = s.units;
    if (inc.nminc <= 0) return;
    wfree(u, kUnitSummary);
    u.line(kUnitSummary, "       SUMMARY OF NETWORK INCIDENTS ");
    wfree(u, kUnitSummary);
    for (int i = 1; i <= std::min(inc.mainc, kMaxIncidents); ++i) {
        const int k = inc.lninc(i);
        if (k == kIncidentUnused || !link_in_table(k)) continue;
        wfree(u, kUnitSummary);
        u.line(kUnitSummary, " INCIDENT " + fmt_i(i, 2) + " on link " + fmt_i(k, kLinkDigits) +
                                 "   from " + fmt_i(s.link1.frnode(k), kNodeDigits) + " to " +
                                 fmt_i(s.link1.tonode(k), kNodeDigits));
        // The share of each lane lost; the long incident layout keeps it
        // negative to tell its lane codes from the short layout's shares.
        const int   lanes = std::min(std::abs(s.link1.nulans(k)), kMaxLinkLanes);
        std::string line;
        for (int j = 1; j <= lanes; ++j) {
            if ((j - 1) % kLossesPerLine == 0) line = " Lane Losses: ";
            line += " " + fmt_f(std::fabs(inc.lane(i, j)), 5, 3);
            if (j % kLossesPerLine == 0 || j == lanes) u.line(kUnitSummary, line);
        }
        u.line(kUnitSummary, "   start time: " + fmt_f(inc.stinc(i) / 60.0, 5, 1) +
                                 " min   end time  : " + fmt_f(inc.eninc(i) / 60.0, 5, 1) +
                                 " min   duration  : " + fmt_f(inc.tminc(i) / 60.0, 5, 1) + " min");
    }
}

} // namespace velm
