// History graphs: one link's or one signal's last hour, one trip's last 45
// seconds, and the records of all trips, turned into point series with their
// texts for the plotting routine.
#include "core/reports/history_graphs.h"

#include "core/driver/errors.h"
#include "core/driver/sampleplots.h"
#include "core/io/writers.h"
#include "core/model/mod_arrivals.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace velm {

namespace {

constexpr int   kTicksPerMinute = 600;
constexpr int   kHourMinutes = 60;
constexpr int   kFullHourUntil = 3540;   // s: the window starts at minute 1 until then
constexpr int   kSecondsAxisUntil = 599; // s: the time axis is in seconds until then
constexpr int   kRingSamples = 10;       // dis_his(vid, 1..10), one every 5 s
constexpr int   kTicksPerSample = 50;
constexpr int   kMaxBins = 100;
constexpr int   kMinDistanceBins = 10;
constexpr int   kCumulativeIntervals = 60;
constexpr float kMinLongestTrip = 120.0f; // s
constexpr float kMinutesAxisAbove = 600.0f;
constexpr int   kWholeDay = 86400;

std::string field_i(long v, int w) {
    return fmt_i(v, w);
}
std::string field_f(double v, int w) {
    return fmt_f(v, w, 2);
}

// Level-of-service grade 1..6 of a measure against five falling thresholds.
int grade(float measure, const float (&limits)[5]) {
    int g = 6;
    for (float lim : limits)
        if (measure < lim) --g;
    return g;
}

struct Facility {
    float       limits[5];
    const char* name;
    const char* lines[6];
};
constexpr Facility kSignFacility{{50, 35, 25, 15, 10},
                                 "LOS at Stop-Yield Signs:Based on Delay/Vehicle",
                                 {"1- LOS A ( 0-10 s)", "2- LOS B (10-15 s)", "3- LOS C (15-25 s)",
                                  "4- LOS D (25-35 s)", "5- LOS E (35-50 s)",
                                  "6- LOS F (50+   s)"}};
constexpr Facility kSignalFacility{{80, 55, 35, 20, 10},
                                   "LOS at Traffic Signals: Based on Delay/Vehicle",
                                   {"1- LOS A ( 0-10 s)", "2- LOS B (10-20 s)",
                                    "3- LOS C (20-35 s)", "4- LOS D (35-55 s)",
                                    "5- LOS E (55-80 s)", "6- LOS F (80+   s)"}};
constexpr Facility kHighwayFacility{{28, 22, 16, 11, 7},
                                    "LOS on Highway Sections: Based on Density/Lane-Km",
                                    {"1-LOS A ( 0- 7 v/k)", "2-LOS B ( 7-11 v/k)",
                                     "3-LOS C (11-16 v/k)", "4-LOS D (16-22 v/k)",
                                     "5-LOS E (22-28 v/k)", "6-LOS F (28+   v/k)"}};

const Facility& facility_of(int tsignal) {
    const int c = std::abs(tsignal);
    if (c > kLastSignalCode) return kSignFacility;
    if (c >= 1) return kSignalFacility;
    return kHighwayFacility;
}

struct FlowText {
    const char* axis;
    const char* name;
    float       factor;
};
constexpr FlowText kFlowTexts[9] = {
    {" Vehicles per Minute", "Flow by Vehicle Type Plus Total", 1.0f},
    {" Vehicles per Hour", "Flow by Vehicle Type Plus Total", 60.0f},
    {" Seconds", "Time by Vehicle Type Plus Average", 0.1f},
    {" Seconds", "Travel Time versus Flow", 0.1f},
    {" Seconds", "Delay Relative to Free Speed", 0.1f},
    {" Vehicle Stops", "Vehicle Stops per Vehicle", 1.0f},
    {" Density veh/ln-km", "Link Density per Lane-Kilometer", 1.0f},
    {" Level of Service", "", 1.0f},
    {" Km/h", "Speed in km/h", 10.0f},
};

// The time axis of the last-hour graphs: x factor and label.
float time_axis(GraphFrame& f, int t) {
    if (t <= kSecondsAxisUntil) {
        f.title(1, "Simulation Time (seconds)");
        return 60.0f;
    }
    f.title(1, "Simulation Time (minutes)");
    return 1.0f;
}

std::string window_text(const MinuteWindow& w) {
    return " Time window:" + field_i(w.first, 5) + " to" + field_i(w.last, 5) + "mins.";
}

// The trip's origin and destination zones, when both index the zone tables.
bool zones_of(const Sim& s, int n, int& o, int& d) {
    o = s.vehicle.norig(n);
    d = s.vehicle.ndest(n);
    return o >= 1 && d >= 1 && o <= s.nodes.trp_dst.hi1() && d <= s.nodes.trp_dst.hi2();
}

bool passes(const Sim& s, const TripFilter& f, int n) {
    switch (f.ind2) {
    case 2:
        return s.vehicle.norig(n) == f.iorg;
    case 3:
        return s.vehicle.ndest(n) == f.idst;
    case 4:
        return s.vehicle.norig(n) == f.iorg && s.vehicle.ndest(n) == f.idst;
    case 5: {
        const float dep = s.vehicle.strtrp(n, 1);
        return dep >= static_cast<float>(f.stim) && dep <= static_cast<float>(f.etim);
    }
    default:
        return true;
    }
}

// The filter's answers against their ranges; top is the highest filter offered.
bool filter_ok(const Sim& s, const TripFilter& f, int top) {
    if (f.ind2 < 1 || f.ind2 > top) return false;
    const bool org = f.ind2 == 2 || f.ind2 == 4;
    const bool dst = f.ind2 == 3 || f.ind2 == 4;
    if (org && (f.iorg < 1 || f.iorg > s.set2.mzones)) return false;
    if (dst && (f.idst < 1 || f.idst > s.set2.mzones)) return false;
    if (f.ind2 == 5 && (f.stim < 0 || f.etim < f.stim)) return false;
    return true;
}

// Trips 1..count that the routine may read.
int trip_count(const Sim& s, int count) {
    return std::clamp(count, 0, s.vehicle.dept.hi());
}

int class_of(const Sim& s, int n) {
    return std::clamp(s.oddat.vtyp(n), 1, kClasses);
}

bool completed(const Sim& s, int n) {
    return s.vehicle.dept(n) <= 0.0f;
}

// The zone-frequency window: the whole day for ind2 1, else the time answers.
bool zone_window(const TripFilter& f, int& stim, int& etim) {
    if (f.ind2 == 1) {
        stim = 0;
        etim = kWholeDay;
        return true;
    }
    stim = f.stim;
    etim = f.etim;
    return stim >= 0 && etim >= stim;
}

int distance_bin(float metres) {
    return std::min(static_cast<int>(metres / 1000.0f * 2.0f + 0.5f) + 1, kMaxBins);
}

int half_minute_bin(float minutes) {
    return std::min(static_cast<int>(minutes * 2.0f + 0.5f) + 1, kMaxBins);
}

// The trip's zone-to-zone distance in km and its half-kilometre bin.
bool distance_of(const Sim& s, int n, float& km, int& bin) {
    int o = 0, d = 0;
    if (!zones_of(s, n, o, d)) return false;
    const float metres = s.nodes.trp_dst(o, d);
    km = metres / 1000.0f;
    bin = distance_bin(metres);
    return true;
}

// Trips departing (as scheduled) within [stim, etim] s per origin (ind1 3)
// or destination zone (4): class k in column k when by_class, the total in
// column total. Returns the number of zones, and sets the zone axis and the
// zone texts.
int zone_frequencies(const Sim& s, GraphFrame& f, int ind1, int stim, int etim, int trips,
                     bool by_class, int total) {
    const auto& v = s.vehicle;
    const int   zones = std::min(ind1 == 3 ? s.set2.maxorg : s.set2.maxdst, f.ld());
    for (int n = 1; n <= trips; ++n) {
        const float dep = v.strtrp(n, 1);
        if (dep < static_cast<float>(stim) || dep > static_cast<float>(etim)) continue;
        const int z = ind1 == 3 ? v.norig(n) : v.ndest(n);
        if (z < 1 || z > zones) continue;
        if (by_class) f.y(z, class_of(s, n)) += 1.0f;
        f.y(z, total) += 1.0f;
    }
    for (int z = 1; z <= zones; ++z)
        for (int k = 1; k <= total; ++k) f.x(z, k) = static_cast<float>(z);
    f.title(1, ind1 == 3 ? "Origin Zone" : "Destination Zone");
    f.title(2, "Vehicle Departures");
    return zones;
}

// The answers of a departure or arrival graph: the zone frequencies
// (ind1 3 and 4) take only their time window from them, the others the trip
// filter up to filter top.
bool trip_answers_ok(const Sim& s, int ind1, const TripFilter& flt, int top, int& stim, int& etim) {
    if (ind1 == 3 || ind1 == 4)
        return flt.ind2 >= 1 && flt.ind2 <= 5 && zone_window(flt, stim, etim);
    return filter_ok(s, flt, top);
}

std::string zone_window_text(int stim, int etim) {
    return "Departure Frequency from:" + field_i(stim, 10) + " to:" + field_i(etim, 10) + " sec";
}

} // namespace

// --- frame --------------------------------------------------------------------

GraphFrame::GraphFrame(int ld, int curves)
    : ld_(std::max(ld, 1)), curves_(curves),
      px_(static_cast<std::size_t>(ld_) * static_cast<std::size_t>(curves)),
      py_(static_cast<std::size_t>(ld_) * static_cast<std::size_t>(curves)) {
    for (auto& t : titles_) t = blanks(kGraphTitleWidth);
    for (auto& l : legend_) l = blanks(kGraphLegendWidth);
}

std::size_t GraphFrame::index(int i, int k) const {
    if (i < 1 || i > ld_ || k < 1 || k > curves_) throw std::out_of_range("graph point index");
    return static_cast<std::size_t>(k - 1) * static_cast<std::size_t>(ld_) +
           static_cast<std::size_t>(i - 1);
}

void GraphFrame::title(int k, const std::string& text) {
    titles_.at(static_cast<std::size_t>(k - 1)) = fmt_a(text, kGraphTitleWidth);
}

void GraphFrame::legend(int k, const std::string& text) {
    legend_.at(static_cast<std::size_t>(k - 1)) = fmt_a(text, kGraphLegendWidth);
}

void GraphFrame::plot(Sim& s, int kind, int np, int c) const {
    PlotCall call;
    call.kind = kind;
    call.np = np;
    call.nx = call.ny = c;
    call.nc = ld_;
    call.mypx = px_;
    call.mypy = py_;
    call.titles = titles_;
    call.legend = legend_;
    sampleplots(s, call);
}

void nograph(Sim& s, const std::string& title) {
    std::string       t = fmt_a(title, 200);
    const std::string mes[] = {
        "Sorry, not enough points available at this time",
        "in order to permit the desired graph to be plotted",
        "",
        "Press any key or click mouse in order to continue",
    };
    pop_box(s, 4, t, mes);
}

GraphResult hand_over(Sim& s, const GraphFrame& f, const std::string& name, int kind, int np,
                      int curves) {
    if (np <= 0) {
        nograph(s, name);
        return GraphResult::no_graph;
    }
    f.plot(s, kind, np, curves);
    return GraphResult::plotted;
}

MinuteWindow last_hour(int t, int lead) {
    MinuteWindow w;
    w.first = t <= kFullHourUntil ? 1 : t / 60 - 58;
    w.last = t / 60 + lead;
    return w;
}

int hour_ring_slot(int m) {
    return ((m + kHourMinutes - 1) % kHourMinutes) + 1;
}

int minute_series(GraphFrame& f, int t10, int curve, const std::function<float(int)>& value) {
    const int minutes = std::max(t10, 0) / kTicksPerMinute;
    const int room = std::min(f.ld(), kRecordedMinutes);
    int       np = 0;
    int       first = 1;
    if (minutes + 1 <= room) {
        np = 1;
        f.x(1, curve) = 0.0f;
        f.y(1, curve) = 0.0f;
    } else {
        first = minutes - room + 1;
    }
    for (int h = first; h <= minutes; ++h) {
        ++np;
        f.x(np, curve) = static_cast<float>(h) * 60.0f;
        f.y(np, curve) = value((h - 1) % kRecordedMinutes + 1);
    }
    return np;
}

// --- one link's last hour -------------------------------------------------------

GraphResult flow_his(Sim& s, int ind, int ilink) {
    const auto& l1 = s.link1;
    if (ind < 1 || ind > 9) return GraphResult::refused;
    if (ilink < 1 || ilink > kMaxLinks || ilink > l1.flowhis.hi1() ||
        ilink > s.link3.tsignal.hi() || ilink > s.delay.fretim.hi() || ilink > s.link4.llength.hi())
        return GraphResult::refused;
    // A number the link file does not use has no history.
    if (s.link4.llength(ilink) < 0.0f) return GraphResult::refused;

    const FlowText&   ft = kFlowTexts[ind - 1];
    const Facility&   fac = facility_of(s.link3.tsignal(ilink));
    const std::string name = ind == 8 ? fac.name : ft.name;
    const int         t = s.control.t;
    if (s.control.t10 / kTicksPerMinute == 0) {
        nograph(s, name);
        return GraphResult::no_graph;
    }

    GraphFrame         f;
    const MinuteWindow w = last_hour(t, 1);
    f.title(2, ft.axis);
    f.title(3, "  On Link:" + field_i(ilink, 5));
    f.title(4, window_text(w));
    f.title(5, name);
    float xf = 1.0f;
    if (ind <= 3)
        xf = time_axis(f, t);
    else if (ind == 4) {
        f.title(1, "Flow (vehicles per hour)");
        xf = 60.0f;
    } else
        f.title(1, "Simulation Time (minutes)");

    const float fretim = s.delay.fretim(ilink);
    const float len = s.link4.llength(ilink);
    int         np = 0;
    for (int m = w.first; m <= w.last && np < f.ld(); ++m) {
        const int slot = hour_ring_slot(m);
        ++np;
        float flow[kClasses + 1] = {}, tim[kClasses + 1] = {};
        float total = 0.0f, weighted = 0.0f, delay = 0.0f;
        for (int c = 1; c <= kClasses; ++c) {
            flow[c] = static_cast<float>(l1.flowhis(ilink, c, slot));
            tim[c] = static_cast<float>(l1.timehis(ilink, c, slot, 1));
            total += flow[c];
            weighted += flow[c] * tim[c];
            delay += flow[c] * (tim[c] / 10.0f - fretim);
        }
        const float avg_time = total > 0.0f ? weighted / total : tim[1];
        const float avg_delay = total > 0.0f ? delay / total : 0.0f;
        const auto  speed = [&](float tenths) {
            return tenths > 0.0f ? 3600.0f * len / tenths : 0.0f;
        };
        float col[kClasses + 2] = {};
        switch (ind) {
        case 1:
        case 2:
            col[1] = total * ft.factor;
            for (int c = 1; c <= kClasses; ++c) col[c + 1] = flow[c] * ft.factor;
            break;
        case 3:
        case 4:
            col[1] = avg_time * ft.factor;
            for (int c = 1; c <= kClasses; ++c) col[c + 1] = tim[c] * ft.factor;
            break;
        case 5:
            col[1] = avg_delay;
            for (int c = 1; c <= kClasses; ++c) col[c + 1] = tim[c] * ft.factor - fretim;
            break;
        case 6:
            col[1] =
                total >= 1.0f ? static_cast<float>(l1.stphis(ilink, slot)) / 100.0f / total : 0.0f;
            break;
        case 7:
            col[1] = static_cast<float>(l1.denhis(ilink, slot));
            break;
        case 8: {
            const bool  density = &fac == &kHighwayFacility;
            const float measure = density ? static_cast<float>(l1.denhis(ilink, slot)) : avg_delay;
            for (int k = 1; k <= kClasses + 1; ++k)
                col[k] = static_cast<float>(grade(measure, fac.limits));
            break;
        }
        default: // 9
            col[1] = speed(avg_time) * ft.factor;
            for (int c = 1; c <= kClasses; ++c) col[c + 1] = speed(tim[c]) * ft.factor;
            break;
        }
        const float x = ind == 4 ? total * 60.0f : (static_cast<float>(m) - 0.5f) * xf;
        for (int k = 1; k <= kClasses + 1; ++k) {
            f.x(np, k) = x;
            f.y(np, k) = col[k];
        }
    }

    if (ind == 8) {
        for (int k = 1; k <= 6; ++k) f.legend(k, fac.lines[k - 1]);
    } else {
        // Each curve's mean over the window.
        for (int k = 1; k <= kClasses + 1; ++k) {
            double sum = 0.0;
            for (int i = 1; i <= np; ++i) sum += f.y(i, k);
            const std::string label = k == 1 ? "All: " : "VC=" + std::to_string(k - 1) + " ";
            f.legend(k, label + field_f(np > 0 ? sum / np : 0.0, 10));
        }
    }
    const int c = (ind <= 2 || ind >= 8) ? kClasses + 1 : 1;
    return hand_over(s, f, f.title(5), kGraphCurveKind, np, c);
}

// --- one signal's last hour -------------------------------------------------------

GraphResult cyc_his(Sim& s, int ind, int isig) {
    const auto& sg = s.signal;
    if (ind < 1 || ind > 4) return GraphResult::refused;
    if (isig < 1 || isig > sg.msignal || isig > sg.sighis1.hi1() || isig > sg.phases.hi())
        return GraphResult::refused;
    static constexpr const char* kAxis[4] = {" Cycle Length - Time Series", " Offset - Time Series",
                                             " Offset and Cycle Length", " Phase Durations"};
    static constexpr const char* kName[4] = {"Cycle Time in Seconds", "Offset in Seconds",
                                             "Offset and Cycle in Seconds",
                                             "Phase duration in seconds"};
    if (s.control.t10 / kTicksPerMinute == 0) {
        nograph(s, kName[ind - 1]);
        return GraphResult::no_graph;
    }
    const int          phases = std::clamp(sg.phases(isig), 0, sg.phshis.hi3());
    const int          t = s.control.t;
    GraphFrame         f;
    const MinuteWindow w = last_hour(t, 0);
    const float        xf = time_axis(f, t);
    f.title(2, kAxis[ind - 1]);
    f.title(3, "Signal:" + field_i(isig, 5) + "  Phases:" + field_i(sg.phases(isig), 5));
    f.title(4, window_text(w));
    f.title(5, kName[ind - 1]);
    int c = 1;
    switch (ind) {
    case 1:
        f.legend(1, "Cycle Length");
        break;
    case 2:
        f.legend(1, "Offset");
        break;
    case 3:
        c = 2;
        f.legend(1, "cycle length");
        f.legend(2, "Offset");
        break;
    default:
        c = phases + 1;
        for (int p = 1; p <= phases; ++p) f.legend(p, "Phase:" + field_i(p, 5));
        f.legend(c, "Cycle Length");
        break;
    }
    int np = 0;
    for (int m = w.first; m <= w.last && np < f.ld(); ++m) {
        const int slot = hour_ring_slot(m);
        ++np;
        const float cycle = static_cast<float>(sg.sighis1(isig, slot, 1));
        const float offset = static_cast<float>(sg.sighis1(isig, slot, 2));
        float       col[kGraphCurves + 1] = {};
        switch (ind) {
        case 1:
            col[1] = cycle;
            break;
        case 2:
            col[1] = offset;
            break;
        case 3:
            col[1] = cycle;
            col[2] = offset;
            break;
        default:
            for (int p = 1; p <= phases; ++p) col[p] = static_cast<float>(sg.phshis(isig, slot, p));
            col[c] = cycle;
            break;
        }
        for (int k = 1; k <= c; ++k) {
            f.x(np, k) = (static_cast<float>(m) - 0.5f) * xf;
            f.y(np, k) = col[k];
        }
    }
    return hand_over(s, f, f.title(5), kGraphCurveKind, np, c);
}

// --- one trip's last 45 seconds -----------------------------------------------------

GraphResult lst_pos(Sim& s, int ind, int iveh) {
    if (ind < 1 || ind > 3) return GraphResult::refused;
    if (iveh < 1 || iveh > kMaxTrips || iveh > s.vehindx.vehid.hi() ||
        iveh > s.vehplot.trpdst.hi1())
        return GraphResult::refused;
    const int vid = s.vehindx.vehid(iveh);
    // A trip not on the network has no ring of its own.
    if (vid < 1 || vid > s.vehplot.dis_his.hi1() || vid > s.vehplot.spd.hi1() ||
        vid > s.vehicle.vacc.hi1())
        return GraphResult::refused;
    static constexpr const char* kAxis[3] = {" Distance in Meters", " Speed in Km/h",
                                             " Acceleration in m/s^2"};
    static constexpr const char* kName[3] = {"Position during last minute",
                                             "Speed during last minute",
                                             " Acceleration during last minute"};
    const int                    k = 10 - ind; // 9, 8 or 7 samples from the ring
    const auto&                  his = s.vehplot.dis_his;
    const int                    r0 = (s.control.t10 / kTicksPerSample + 1) % kRingSamples;
    const auto at = [&](int j) { return static_cast<float>(his(vid, (j % kRingSamples) + 1)); };
    GraphFrame f;
    for (int j = 1; j <= k; ++j) {
        const float d1 = at(r0 + j - 1), d2 = at(r0 + j), d3 = at(r0 + j + 1);
        f.x(j, 1) = 5.0f * static_cast<float>(j - 1);
        f.y(j, 1) = ind == 1   ? d1
                    : ind == 2 ? (d2 - d1) / 5.0f * 3.6f
                               : (d3 + d1 - 2.0f * d2) / 25.0f;
    }
    const float dist = s.vehplot.trpdst(iveh, 1) * 1000.0f;
    const float spd = s.vehplot.spd(vid, 1);
    const float acc = s.vehicle.vacc(vid, 1);
    f.x(k + 1, 1) = 5.0f * static_cast<float>(k);
    f.y(k + 1, 1) = ind == 1 ? dist : ind == 2 ? spd : acc;
    f.title(1, "Time (Seconds)");
    f.title(2, kAxis[ind - 1]);
    f.title(3, "Veh:" + field_i(iveh, 5) + "  Tim:" + field_i(s.control.t, 5));
    f.title(4,
            "Dst:" + field_f(dist, 10) + "  Spd:" + fmt_f(spd, 5, 1) + " Acc:" + fmt_f(acc, 5, 1));
    f.title(5, kName[ind - 1]);
    f.legend(1, "Distance (m)");
    f.plot(s, kGraphCurveKind, k + 1, 1);
    return GraphResult::plotted;
}

// --- every completed trip ------------------------------------------------------------

GraphResult triptime(Sim& s, int ind1, const TripFilter& flt) {
    struct Text {
        const char *axis, *heading, *label, *unit, *legend;
    };
    static constexpr Text kText[11] = {
        {"Trip Length (min)", "Time Series of Trip Times", "Mean Trip Length:", " minutes",
         "Trip Time (min)"},
        {"Trip Length (km)", "Time Series of Trip Distance", "Mean Trip Length:", " km",
         "Trip Length (km)"},
        {"Vehicle Stops", "Time Series of Vehicle Stops", "Mean Trip Stops:", "", "Vehicle Stops"},
        {"Trip Stop Delay (secs)", "Time Series of Stop Delay", "Mean Trip Delay:", " secs",
         "Trip Stop Delay (secs)"},
        {"Trip Delay (secs)", "Time Series of Trip Delay", "Mean Trip Stop Delay:", "sec",
         "Trip Delay (secs)"},
        {"Trip Fuel (liters)", "Time Series of Fuel Use", "Mean Trip Fuel:", " l",
         "Trip Fuel (liters)"},
        {"Trip HC Emissions (g)", "Time Series of HC", "Mean Trip Emissions:", "",
         "Trip HC Emissions (g)"},
        {"Trip CO Emissions (g)", "Time Series of CO", "Mean Trip Emissions", "",
         "Trip CO Emissions (g)"},
        {"Trip NOx Emissions (g)", "Time Series of NOx", "Mean Trip Emissions:", "",
         "Trip NOx Emissions (g)"},
        {"Trip CO2 Emissions (g)", "Time Series of CO2", "Mean Trip Emissions:", "",
         "Trip CO2 Emissions (g)"},
        {"Trip Tolls ($)", "Time Series of Trip Tolls", "Mean Trip Toll:", "", "Trip Tolls ($)"},
    };
    if (ind1 < 1 || ind1 > 11 || !filter_ok(s, flt, 5)) return GraphResult::refused;
    const Text& tx = kText[ind1 - 1];
    const auto& v = s.vehicle;
    const int   trips = trip_count(s, s.set2.tdemand);
    const int   curves = ind1 == 1 ? 2 : 1;
    // One point per trip, allocated for this call only.
    GraphFrame f(trips, curves);
    int        np = 0;
    double     sum = 0.0;
    for (int n = 1; n <= trips; ++n) {
        if (!passes(s, flt, n) || !completed(s, n)) continue;
        float y = 0.0f;
        switch (ind1) {
        case 1:
            y = (v.arrt(n) - v.strtrp(n, 1)) / 60.0f;
            break;
        case 2:
            y = s.vehplot.trpdst(n, 1);
            break;
        case 3:
            y = s.link1.stops(n, 1);
            break;
        case 4:
            y = v.stpdel(n, 2);
            break;
        case 5:
            y = v.stpdel(n, 4);
            break;
        case 11:
            y = s.tolplaz.vehtol(n, 2);
            break;
        default:
            y = v.envt(n, ind1 - 5);
            break; // fuel, HC, CO, NOx, CO2
        }
        ++np;
        f.x(np, 1) = v.strtrp(n, 1) / 60.0f;
        f.y(np, 1) = y;
        sum += y;
        if (curves == 2) {
            // The generalised cost adds the tolls at the trip's value of time.
            const float vot = s.tolplaz.valtim(n);
            f.x(np, 2) = f.x(np, 1);
            f.y(np, 2) = y + (vot > 0.0f ? s.tolplaz.vehtol(n, 2) / vot * 60.0f : 0.0f);
        }
    }
    f.title(1, "Vehicle Departure Time (mins)");
    f.title(2, tx.axis);
    f.title(3, tx.heading);
    f.title(4, tx.label + field_f(np > 0 ? sum / np : 0.0, 10) + tx.unit);
    f.title(5, "Trip Characteristics :" + field_i(np, 10) + " vehicles");
    f.legend(1, tx.legend);
    if (curves == 2) f.legend(2, "Gen. Cost (min)");
    return hand_over(s, f, f.title(3), kGraphCurveKind, np, curves);
}

// --- departures ----------------------------------------------------------------------

GraphResult dept_his(Sim& s, int ind1, const TripFilter& flt) {
    int stim = 0, etim = 0;
    if (ind1 < 1 || ind1 > 6) return GraphResult::refused;
    // The classes (ind1 1) take no answer.
    if (ind1 != 1 && !trip_answers_ok(s, ind1, flt, ind1 == 2 ? 4 : 5, stim, etim))
        return GraphResult::refused;
    const auto& v = s.vehicle;
    const int   trips = trip_count(s, s.set2.nveh);
    GraphFrame  f;
    int         np = 0, curves = kClasses + 1, kind = kGraphCurveKind;
    std::string name;

    if (ind1 == 1) {
        int count[kClasses + 1] = {}, total = 0;
        for (int n = 1; n <= trips; ++n) {
            ++count[class_of(s, n)];
            ++total;
        }
        for (int c = 1; c <= kClasses; ++c) {
            f.x(c, 1) = static_cast<float>(c);
            f.y(c, 1) = static_cast<float>(count[c]);
        }
        np = kClasses;
        curves = 1;
        kind = kGraphBarKind;
        f.title(1, "Vehicle Classes 1-5");
        f.title(2, "Vehicle Departures");
        f.title(3, "Total Departures =" + field_i(total, 10));
        name = "Frequency by Type";
        f.legend(1, "Number of Vehicles");
        if (total == 0) np = 0;
    } else if (ind1 == 2) {
        long count[kClasses + 2] = {};
        for (int n = 1; n <= trips; ++n) {
            if (!passes(s, flt, n)) continue;
            const int m = static_cast<int>(v.strtrp(n, 1) / 60.0f) + 1;
            if (m < 1 || m > f.ld()) continue;
            const int c = class_of(s, n);
            f.y(m, c) += 60.0f;
            f.y(m, kClasses + 1) += 60.0f;
            ++count[c];
            ++count[kClasses + 1];
            np = std::max(np, m);
        }
        for (int m = 1; m <= np; ++m)
            for (int k = 1; k <= curves; ++k) f.x(m, k) = static_cast<float>(m);
        f.title(1, "Departure Time (minutes)");
        f.title(2, "Departure Rate in veh/hr");
        f.title(3, "Departure Rate each Minute");
        f.title(4, "by Vehicle Type and Total");
        name = "Departure Rate vs Time";
        for (int c = 1; c <= kClasses; ++c)
            f.legend(c, "VC= " + std::to_string(c) + "-" + field_i(count[c], 10) + " vehicles");
        f.legend(kClasses + 1, "Total-" + field_i(count[kClasses + 1], 10) + " vehicles");
    } else if (ind1 == 3 || ind1 == 4) {
        curves = ind1 == 3 ? kClasses + 1 : 1;
        kind = ind1 == 3 ? kGraphCurveKind : kGraphBarKind;
        np = zone_frequencies(s, f, ind1, stim, etim, trips, ind1 == 3, curves);
        name = zone_window_text(stim, etim);
        if (ind1 == 3) {
            for (int c = 1; c <= kClasses; ++c) f.legend(c, "Vehicle type " + std::to_string(c));
            f.legend(kClasses + 1, "Total");
        } else {
            f.legend(1, "Number of Vehicles");
        }
    } else {
        // Trip-length distributions: by distance (5), or by trip time in
        // half-minute bins over the completed trips (6).
        double sum[kClasses + 2] = {};
        long   count[kClasses + 2] = {};
        for (int n = 1; n <= trips; ++n) {
            if (!passes(s, flt, n)) continue;
            float value = 0.0f;
            int   bin = 0;
            if (ind1 == 5) {
                if (!distance_of(s, n, value, bin)) continue;
            } else {
                if (!completed(s, n)) continue;
                value = (v.arrt(n) - v.strtrp(n, 1)) / 60.0f;
                if (value < 0.0f) continue;
                bin = half_minute_bin(value);
            }
            const int c = class_of(s, n);
            f.y(bin, c) += 1.0f;
            f.y(bin, kClasses + 1) += 1.0f;
            sum[c] += value;
            sum[kClasses + 1] += value;
            ++count[c];
            ++count[kClasses + 1];
            np = std::max(np, bin);
        }
        if (count[kClasses + 1] > 0) np = std::max(np, kMinDistanceBins);
        for (int i = 1; i <= np; ++i)
            for (int k = 1; k <= curves; ++k) f.x(i, k) = static_cast<float>(i - 1) / 2.0f;
        const auto mean = [&](int k) {
            return count[k] > 0 ? sum[k] / static_cast<double>(count[k]) : 0.0;
        };
        const char* unit = ind1 == 5 ? " km" : " min";
        f.title(1, ind1 == 5 ? "Trip Length in km" : "Trip Length in min");
        f.title(2, "Vehicle Departures");
        f.title(4, "Mean Trip Length:" + field_f(mean(kClasses + 1), 10) + unit);
        name = "Trip Length Frequency Distribution";
        for (int c = 1; c <= kClasses; ++c)
            f.legend(c, "Vt=" + std::to_string(c) + " Mean=" + field_f(mean(c), 10) + unit);
        f.legend(kClasses + 1, "All vehicle types");
    }
    f.title(5, name);
    return hand_over(s, f, name, kind, np, curves);
}

// --- arrivals ------------------------------------------------------------------------

GraphResult arr_his(Sim& s, int ind1, const TripFilter& flt) {
    int stim = 0, etim = 0;
    if (ind1 < 1 || ind1 > 7 || !trip_answers_ok(s, ind1, flt, ind1 <= 2 ? 4 : 5, stim, etim))
        return GraphResult::refused;
    const auto& v = s.vehicle;
    const int   trips = trip_count(s, s.set2.nveh);
    GraphFrame  f;
    int         np = 0, curves = 1, kind = kGraphBarKind;
    std::string name;

    if (ind1 <= 2) {
        const int horizon = s.set1.simtim1;
        curves = ind1 == 1 ? 2 : 3;
        kind = kGraphCurveKind;
        long       count[kCumulativeIntervals + 1][4] = {};
        const auto interval = [&](float time) {
            return static_cast<int>(time / static_cast<float>(horizon) * kCumulativeIntervals) + 1;
        };
        const auto add = [&](int k, float time) {
            const int i = interval(time);
            if (i >= 1 && i <= kCumulativeIntervals) ++count[i][k];
        };
        if (horizon > 0) {
            for (int n = 1; n <= trips; ++n) {
                if (!passes(s, flt, n)) continue;
                if (ind1 == 1 ? !(v.strtrp(n, 2) > 0.0f) : !(v.dept(n) < 0.0f)) continue;
                add(1, v.strtrp(n, 1));
                add(2, v.strtrp(n, 2));
                if (ind1 == 2) add(3, v.arrt(n));
            }
            np = kCumulativeIntervals - 1;
        }
        long run[4] = {};
        for (int i = 1; i <= np; ++i)
            for (int k = 1; k <= curves; ++k) {
                run[k] += count[i][k];
                f.x(i, k) = (static_cast<float>(i) + 0.5f) * static_cast<float>(horizon) / 60.0f;
                f.y(i, k) = static_cast<float>(run[k]);
            }
        f.title(1, ind1 == 1 ? "Departure Time" : "Departure/Arrival Time");
        f.title(2, ind1 == 1 ? "Number of Departures" : "Number of Vehicles");
        name = ind1 == 1 ? "Cumulative Departures" : "Cumulative Vehicles";
        f.legend(1, "Scheduled Departures");
        f.legend(2, "Actual Departures");
        if (ind1 == 2) f.legend(3, "Actual Arrivals");
    } else if (ind1 == 3 || ind1 == 4) {
        np = zone_frequencies(s, f, ind1, stim, etim, trips, false, 1);
        name = zone_window_text(stim, etim);
        f.legend(1, "Number of Vehicles");
    } else {
        double      sum = 0.0;
        long        count = 0;
        float       longest = kMinLongestTrip;
        const auto& od = s.feedback.odtime;
        if (ind1 == 7)
            for (int n = 1; n <= trips; ++n)
                if (passes(s, flt, n) && v.dept(n) < 0.0f)
                    longest = std::max(longest, v.arrt(n) - v.strtrp(n, 1));
        const bool minutes_axis = longest > kMinutesAxisAbove;
        for (int n = 1; n <= trips; ++n) {
            if (!passes(s, flt, n)) continue;
            int   bin = 0;
            float value = 0.0f;
            if (ind1 == 5) {
                if (!distance_of(s, n, value, bin)) continue;
            } else if (ind1 == 6) {
                const int o = v.norig(n), d = v.ndest(n), c = class_of(s, n);
                if (od.size() == 0 || o < 1 || d < 1 || o > od.hi(1) || d > od.hi(2)) continue;
                value = static_cast<float>(od(o, d, c, 1)) / 60.0f;
                bin = half_minute_bin(value);
            } else {
                if (!(v.dept(n) < 0.0f)) continue;
                const float tt = v.arrt(n) - v.strtrp(n, 1);
                if (tt < 0.0f) continue;
                value = tt / 60.0f;
                bin = std::min(static_cast<int>(tt / longest * kMaxBins) + 1, kMaxBins);
            }
            if (bin < 1) continue;
            f.y(bin, 1) += 1.0f;
            sum += value;
            ++count;
            np = std::max(np, bin);
        }
        if (ind1 == 7 && count > 0) np = kMaxBins;
        for (int i = 1; i <= np; ++i) {
            float x = static_cast<float>(i - 1) / 2.0f;
            if (ind1 == 7) {
                x = static_cast<float>(i - 1) * longest / kMaxBins;
                if (minutes_axis) x /= 60.0f;
            }
            f.x(i, 1) = x;
        }
        const double mean = count > 0 ? sum / static_cast<double>(count) : 0.0;
        if (ind1 == 5) {
            f.title(1, "Trip Length in km");
            f.title(4, "Mean Trip Length:" + field_f(mean, 10) + " km");
            name = "Trip Length Frequency Distribution";
        } else if (ind1 == 6) {
            f.title(1, "Trip Length in Minutes");
            f.title(4, "Mean Trip Length:" + field_f(mean, 10) + " minutes");
            name = "Trip Length Frequency Distribution";
        } else {
            f.title(1, minutes_axis ? "Trip Length in Minutes" : "Trip Length in Seconds");
            f.title(4, "Mean Trip Length:" + field_f(mean, 10) + " minutes");
            name = "Trip Time Frequency Distribution";
        }
        f.title(2, ind1 == 7 ? "Number of Vehicles" : "Vehicle Departures");
        f.legend(1, "Number of Vehicles");
    }
    f.title(5, name);
    return hand_over(s, f, name, kind, np, curves);
}

} // namespace velm
