// On-line graphs and listings: the network totals per simulated minute, one
// detector station's or ramp meter's last hour, one link's cycle profiles,
// offset index, speed-flow relations and forecast, one trip's route; the
// display-window and special-keys listings and the run-log trace line.
#include "core/reports/online_graphs.h"

#include "core/driver/errors.h"
#include "core/io/writers.h"
#include "core/model/mod_arrivals.h"
#include "core/movement/car_following.h"
#include "core/routing/routing.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <vector>

namespace velm {

namespace {

constexpr int kTicksPerMinute = 600;
constexpr int kLastHourFullUntil = 3659; // s: the station and meter window starts at minute 1
constexpr int kCycleShifts = kCycleBins; // offset shifts and profile bins per cycle
constexpr int kCurvePoints = 30;         // points of the speed-flow curves
constexpr int kMeterCurves = 5;
constexpr int kQueueCurves = 7;
constexpr int kForecastCurves = 3;

constexpr int kDecimals = 2; // of the real fields in the texts

// Titles 1.. and legend lines 1.. of a graph, in order.
void texts(GraphFrame& f, std::initializer_list<const char*> titles,
           std::initializer_list<const char*> legend) {
    int k = 0;
    for (const char* x : titles) f.title(++k, x);
    k = 0;
    for (const char* x : legend) f.legend(++k, x);
}

// --- network totals per minute -------------------------------------------------

GraphResult minute_graph(Sim& s, GraphFrame& f, int np, const std::string& name, int curves) {
    if (np <= 1) {
        nograph(s, name);
        return GraphResult::no_graph;
    }
    f.plot(s, kGraphCurveKind, np, curves);
    return GraphResult::plotted;
}

// Two per-minute series a and b, or their running sums (cumulative).
template <class T>
GraphResult two_series(Sim& s, GraphFrame& f, bool cumulative, const Array1<T>& a,
                       const Array1<T>& b, const std::string& name) {
    const int t10 = s.control.t10;
    int       np = 0;
    for (int k = 1; k <= 2; ++k) {
        const Array1<T>& v = k == 1 ? a : b;
        double           sum = 0.0;
        np = minute_series(f, t10, k, [&](int slot) {
            sum += static_cast<double>(v(slot));
            return static_cast<float>(cumulative ? sum : static_cast<double>(v(slot)));
        });
    }
    return minute_graph(s, f, np, name, 2);
}

// Fuel (column 1) or emissions per minute: grams or litres per hour (ind 1)
// or per vehicle-km (2), 0 for a minute without vehicle-km.
float per_minute_rate(const Sim& s, int ind, int slot, int column) {
    const auto& ns = s.netstats;
    if (ind == 1) return ns.vehemis(slot, column) * 60.0f;
    return ns.vehkm(slot) > 0.0f ? ns.vehemis(slot, column) / ns.vehkm(slot) : 0.0f;
}

// --- last hour of a station or meter ---------------------------------------------

MinuteWindow station_hour(int t) {
    MinuteWindow w;
    w.first = t <= kLastHourFullUntil ? 1 : t / 60 - 59;
    w.last = t / 60;
    return w;
}

bool minute_simulated(const Sim& s) {
    return s.control.t10 / kTicksPerMinute > 0;
}

// Vehicles per hour counted by station d in minute slot `slot`; 0 for no station.
float station_flow(const Sim& s, int d, int slot) {
    const auto& ds = s.detloc.detsta;
    if (d < 1 || d > ds.hi1()) return 0.0f;
    return ds(d, slot, 1) * 60.0f;
}

// --- cycle graphs -------------------------------------------------------------------

bool link_ok(const Sim& s, int l) {
    return l >= 1 && l <= kMaxLinks && l <= s.link3.tsignal.hi() && l <= s.link4.llength.hi();
}

// The signal at the end of link l, 0 when its end control is not one of the
// signal tables' numbers (no control, stop and yield signs).
int end_signal(const Sim& s, int l) {
    const int c = std::abs(s.link3.tsignal(l));
    return c >= 1 && c <= kMaxSignals && c <= s.signal.cycle.hi() ? c : 0;
}

int link_lanes(const Sim& s, int l) {
    return std::min(std::abs(s.link1.nulans(l)), kMaxLinkLanes);
}

// The performance index of the 30 offset shifts, one curve at i C / 30 s.
GraphResult index_graph(Sim& s, GraphFrame& f, int sig, const float* index) {
    const float cycle = s.signal.cycle(sig);
    double      sum = 0.0;
    for (int i = 1; i <= kCycleShifts; ++i) {
        f.x(i, 1) = static_cast<float>(i) * cycle / static_cast<float>(kCycleShifts);
        f.y(i, 1) = index[i - 1];
        sum += index[i - 1];
    }
    f.title(1, "Time during Cycle");
    f.title(2, "Performance Index");
    f.legend(1, "PI");
    if (!(sum > 0.0)) {
        nograph(s, f.title(5));
        return GraphResult::no_graph;
    }
    f.plot(s, kGraphCurveKind, kCycleShifts, 1);
    return GraphResult::plotted;
}

// --- forecast graphs ------------------------------------------------------------------

// Forecast intervals to show: min(120, horizon / ftint + 1), within the table.
int forecast_intervals(const Sim& s) {
    const int ftint = s.trees.ftint;
    if (ftint <= 0) return 0;
    return std::min({kForecastIntervals, s.set1.simtim1 / ftint + 1, s.trees.pre_vol.hi2()});
}

bool forecast_link_ok(const Sim& s, int l) {
    return l >= 1 && l <= kMaxLinks && l <= s.trees.pre_vol.hi1() && l <= s.link2.amaxq.hi();
}

GraphResult one_forecast(Sim& s, int ind, int l) {
    const auto& pv = s.trees.pre_vol;
    const int   n = forecast_intervals(s);
    const float ftint = static_cast<float>(s.trees.ftint);
    GraphFrame  f;
    f.title(1, "Simulation Time (minutes)");
    f.title(3, "Link:" + fmt_i(l, 10));
    if (ind == 1) {
        f.title(2, "Traffic Flow Rate (veh/hr)");
        f.title(5, "Traffic Flow Forecast by Link");
        f.legend(1, " Inflow  (vph)");
        f.legend(2, "Outflow  (vph)");
        f.legend(3, "Capacity (vph)");
    } else {
        f.title(2, "Travel Time (seconds)");
        f.title(5, "Travel Time Forecast by Link");
        f.legend(1, "Travel Time (seconds)");
        f.legend(2, "Inflow (veh/min)");
        f.legend(3, "Capacity (veh/min)");
    }
    for (int i = 1; i <= n; ++i) {
        float y[kForecastCurves];
        if (ind == 1) {
            const float rate = 3600.0f / ftint;
            y[0] = pv(l, i, 1) * rate;
            y[1] = pv(l, i, 6) * rate;
            y[2] = pv(l, i, 5) * rate;
        } else {
            y[0] = pv(l, i, 2);
            y[1] = pv(l, i, 1) * 60.0f / ftint;
            y[2] = pv(l, i, 5);
        }
        for (int k = 1; k <= kForecastCurves; ++k) {
            f.x(i, k) = static_cast<float>(i) * ftint / 60.0f;
            f.y(i, k) = y[k - 1];
        }
    }
    return hand_over(s, f, f.title(5), kGraphCurveKind, n, kForecastCurves);
}

} // namespace

// --- network totals per minute -------------------------------------------------------

GraphResult cpugraph(Sim& s, int ind) {
    if (ind < 1 || ind > 3) return GraphResult::refused;
    static constexpr const char* kHeading[3] = {"Cumulative CPU Time since Start of Simulation",
                                                "CPU Time per Simulated Minute",
                                                "Simulation Time / CPU Time"};
    static constexpr const char* kLegend[3] = {" Cumulative CPU Time", " Incremental CPU Time",
                                               " Simulation/CPU Time"};
    const auto&                  cputim = s.subtim.cputim;
    GraphFrame                   f;
    f.title(1, "Simulation Seconds");
    f.title(2, ind == 3 ? "Relative Simulation Speed" : "CPU Seconds");
    f.title(3, "Simulation Performance");
    f.title(4, kHeading[ind - 1]);
    f.title(5, "CPU Timer");
    f.legend(1, kLegend[ind - 1]);
    // The minute before the first one shown: none while the series starts at 0.
    const int minutes = std::max(s.control.t10, 0) / kTicksPerMinute;
    bool      first = minutes < kRecordedMinutes;
    const int np = minute_series(f, s.control.t10, 1, [&](int slot) {
        const float total = static_cast<float>(cputim(slot)) / 10.0f;
        if (ind == 1) return total;
        const int   prev = slot == 1 ? kRecordedMinutes : slot - 1;
        const float before = first ? 0.0f : static_cast<float>(cputim(prev)) / 10.0f;
        first = false;
        const float step = total - before;
        if (ind == 2) return step;
        // A minute that took no measurable processor time has no speed ratio.
        return step > 0.0f ? 60.0f / step : 0.0f;
    });
    return minute_graph(s, f, np, "CPU Timer", 1);
}

GraphResult cumdept(Sim& s) {
    GraphFrame f;
    texts(f,
          {"Simulation Time", "Number of Vehicles", "Cumulative", "Departures and Arrivals",
           "Cumulative Statistics"},
          {"Departed", "Arrived"});
    return two_series(s, f, false, s.arrivals.cdept, s.arrivals.carri, "Cumulative Statistics");
}

GraphResult netload(Sim& s) {
    GraphFrame f;
    texts(f,
          {"Simulation Time", "Number of Vehicles", "Vehicles en-route and", "Departures Deferred",
           "En-Route Statistics"},
          {"En-Route", "Deferred"});
    return two_series(s, f, false, s.arrivals.cenrt, s.arrivals.cdefr, "En-Route Statistics");
}

GraphResult cumstat(Sim& s, int ind) {
    if (ind < 1 || ind > 2) return GraphResult::refused;
    GraphFrame f;
    texts(f,
          {"Simulation Time", "Veh-Min/Veh-Km", ind == 1 ? "Cumulative" : "Incremental",
           "Vehicle-Minutes and Kilometers",
           ind == 1 ? "Cumulative Network VMT and VHT" : "Incremental Network VMT and VHT"},
          {"Veh-KM", "Veh-Min"});
    return two_series(s, f, ind == 1, s.netstats.vehkm, s.netstats.vehmn, f.title(5));
}

GraphResult cumdel(Sim& s, int ind) {
    if (ind < 1 || ind > 2) return GraphResult::refused;
    GraphFrame f;
    texts(f,
          {"Simulation Time", "Veh-Min and Stops", ind == 1 ? "Cumulative" : "Incremental",
           "Vehicle-Minutes",
           ind == 1 ? "Cumulative Network Delay and Stops" : "Incremental Network Delay and Stops"},
          {"Delay", "Stops"});
    return two_series(s, f, ind == 1, s.netstats.vehde, s.netstats.vehst, f.title(5));
}

GraphResult flt_fuel(Sim& s, int ind) {
    if (ind < 1 || ind > 2) return GraphResult::refused;
    GraphFrame f;
    texts(f,
          {"Simulation Time", "Fuel Consumption", ind == 1 ? "Total Fuel" : "Average Fuel",
           ind == 1 ? "Liters per Hour" : "Liters per veh-km", "Vehicle Fuel Consumption"},
          {"Fuel Consumption"});
    const int np =
        minute_series(f, s.control.t10, 1, [&](int m) { return per_minute_rate(s, ind, m, 1); });
    return minute_graph(s, f, np, f.title(5), 1);
}

GraphResult flt_emis(Sim& s, int ind) {
    if (ind < 1 || ind > 2) return GraphResult::refused;
    GraphFrame f;
    texts(f,
          {"Simulation Time", "HC CO NOx", ind == 1 ? "Total Fuel" : "Average Fuel",
           ind == 1 ? "Grams per Hour" : "Grams/veh-km", "Vehicle Emissions"},
          {"HC", "CO", "NOx"});
    int np = 0;
    for (int k = 1; k <= 3; ++k) {
        np = minute_series(f, s.control.t10, k,
                           [&](int m) { return per_minute_rate(s, ind, m, k + 1); });
    }
    return minute_graph(s, f, np, f.title(5), 3);
}

// --- one station's or meter's last hour --------------------------------------------------

GraphResult det_rep(Sim& s, int ind, int idet) {
    const auto& dl = s.detloc;
    if (ind < 1 || ind > 3) return GraphResult::refused;
    if (idet < 1 || idet > kMaxDetectors || idet > dl.dettyp.hi() || idet > dl.detsta.hi1() ||
        dl.dettyp(idet) <= 0)
        return GraphResult::refused;
    static constexpr const char* kAxis[3] = {"Vehicles per Hour", "Kilometers per Hour",
                                             "Occupancy Percent"};
    static constexpr const char* kLegend[3] = {"Flow", "Speed", "Occupancy"};
    const std::string            name = "Detector Statistics";
    if (!minute_simulated(s)) {
        nograph(s, name);
        return GraphResult::no_graph;
    }
    GraphFrame f;
    f.title(1, "Simulation Time");
    f.title(2, kAxis[ind - 1]);
    f.title(3, "Detector:" + fmt_i(idet, 10));
    f.title(4, "Link:    " + fmt_i(dl.detlink(idet), 10));
    f.title(5, name);
    f.legend(1, kLegend[ind - 1]);
    const MinuteWindow w = station_hour(s.control.t);
    int                np = 0;
    for (int m = w.first; m <= w.last; ++m) {
        const int   slot = hour_ring_slot(m);
        const float count = dl.detsta(idet, slot, 1);
        float       y = 0.0f;
        if (ind == 1) {
            y = count * 60.0f;
        } else if (ind == 2) {
            if (!(count > 0.0f)) continue; // no vehicle, no speed
            y = dl.detsta(idet, slot, 2) / count;
        } else {
            y = dl.detsta(idet, slot, 3) / 1000.0f;
        }
        ++np;
        f.x(np, 1) = (static_cast<float>(m) - 0.5f) * 60.0f;
        f.y(np, 1) = y;
    }
    return hand_over(s, f, name, kGraphCurveKind, np, 1);
}

GraphResult rmp_rep(Sim& s, int ind, int irmp) {
    const auto& rm = s.rmpmeter;
    if (ind < 1 || ind > 3) return GraphResult::refused;
    if (irmp < 1 || irmp > kMaxRampMeters || irmp > rm.rmphis.hi1() || irmp > rm.rmpdet.hi1() ||
        irmp > rm.rmploc.hi1() || irmp > rm.rmprat.hi1())
        return GraphResult::refused;
    static constexpr const char* kName[3] = {"Up-Downstream of Ramp and Mainline",
                                             "Ramp Flows Up-Downstream of Meter",
                                             "Minimum-Maximum and Actual Rates"};
    // The stations shown (rmpdet inputs) and their legend labels.
    static constexpr int         kInputs[2][4] = {{kQ1, kOut, kUpst, kNxt}, {kQ1, kQ2, kIn, kOut}};
    static constexpr const char* kLabels[3][kMeterCurves] = {
        {"Ramp Meter Rate", "Ramp Entry:", "Ramp Exit :", "Mainline Before:", "Mainline After :"},
        {"Ramp Meter Rate",
         "Ramp Entry 1:", "Ramp Entry 2:", "Before Stop Line:", "After Stop Line :"},
        {"Current Rate", "Initial Rate", "Minimum Rate", "Maximum Rate", "Stop Line Flow"}};
    const std::string name = kName[ind - 1];
    if (!minute_simulated(s)) {
        nograph(s, name);
        return GraphResult::no_graph;
    }
    int station[kMeterCurves] = {};
    if (ind <= 2)
        for (int k = 0; k < 4; ++k) station[k + 1] = rm.rmpdet(irmp, kInputs[ind - 1][k]);
    else
        station[4] = rm.rmpdet(irmp, kOut);
    GraphFrame         f;
    const MinuteWindow w = station_hour(s.control.t);
    f.title(1, "Simulation Time");
    f.title(2, "Vehicles per Hour");
    f.title(3, "Meter:" + fmt_i(irmp, 5) + "  On Link:" + fmt_i(rm.rmploc(irmp, 1), 5));
    f.title(4, " Time: " + fmt_i(w.first, 5) + " to " + fmt_i(w.last, 5));
    f.title(5, name);
    for (int k = 1; k <= kMeterCurves; ++k) {
        std::string label = kLabels[ind - 1][k - 1];
        if (ind <= 2 && k > 1) label += fmt_i(station[k - 1], 6);
        f.legend(k, label);
    }
    int np = 0;
    for (int m = w.first; m <= w.last; ++m) {
        const int slot = hour_ring_slot(m);
        float     y[kMeterCurves] = {rm.rmphis(irmp, slot)};
        if (ind <= 2) {
            for (int k = 1; k < kMeterCurves; ++k) y[k] = station_flow(s, station[k], slot);
        } else {
            for (int k = 1; k <= 3; ++k) y[k] = rm.rmprat(irmp, k + 1);
            y[4] = station_flow(s, station[4], slot);
        }
        ++np;
        for (int k = 1; k <= kMeterCurves; ++k) {
            f.x(np, k) = (static_cast<float>(m) - 0.5f) * 60.0f;
            f.y(np, k) = y[k - 1];
        }
    }
    return hand_over(s, f, name, kGraphCurveKind, np, kMeterCurves);
}

// --- over the signal cycle ------------------------------------------------------------------

GraphResult laneflow(Sim& s, int ind, int ilink) {
    if (ind < 1 || ind > 2 || !link_ok(s, ilink)) return GraphResult::refused;
    const int sig = end_signal(s, ilink);
    if (sig == 0) return GraphResult::refused;
    const float cycle = s.signal.cycle(sig);
    if (!(cycle > 1.0f)) return GraphResult::refused;
    const auto& cf = s.flowprof.cycflw;
    const int   lanes = link_lanes(s, ilink);
    GraphFrame  f;
    double      total = 0.0;
    for (int ln = 1; ln <= lanes; ++ln) {
        const int  lane = s.lanexch.lannum(ilink, ln);
        const bool coded = lane >= 1 && lane <= cf.hi1();
        double     flow = 0.0;
        for (int i = 1; i <= kCycleShifts; ++i) {
            const float v = coded ? cf(lane, i, ind) : 0.0f;
            f.x(i, ln) = static_cast<float>(i) * cycle / static_cast<float>(kCycleShifts);
            f.y(i, ln) = v * 3600.0f * static_cast<float>(kCycleShifts) / cycle;
            flow += v * 3600.0f / cycle;
        }
        total += flow;
        f.legend(ln, "Lane=" + fmt_i(ln, 4) + "-" + fmt_f(flow, 10, kDecimals) + " vph");
    }
    f.title(1, "Time during Cycle");
    f.title(2, ind == 1 ? "Arrival Rate" : "Discharge Rate");
    f.title(3, "Link:" + fmt_i(ilink, 10) + "  Signal:" + fmt_i(sig, 10));
    f.title(4, "Total Flow:" + fmt_f(total, 10, kDecimals) + " vph");
    f.title(5, "Cyclic Flow Profiles by Lane");
    if (!(total > 0.0)) {
        nograph(s, f.title(5));
        return GraphResult::no_graph;
    }
    f.plot(s, kGraphCurveKind, kCycleShifts, lanes);
    return GraphResult::plotted;
}

GraphResult link_pi(Sim& s, int ilink) {
    if (!link_ok(s, ilink) || ilink > s.flowprof.cycpi.hi1()) return GraphResult::refused;
    const int sig = end_signal(s, ilink);
    if (sig == 0) return GraphResult::refused;
    std::array<float, kCycleShifts> index{};
    for (int i = 1; i <= kCycleShifts; ++i)
        index[static_cast<std::size_t>(i - 1)] = s.flowprof.cycpi(ilink, i);
    GraphFrame f;
    f.title(3, "Link  :" + fmt_i(ilink, 10));
    f.title(4, "Signal:" + fmt_i(sig, 10));
    f.title(5, "Performance Index by Link");
    return index_graph(s, f, sig, index.data());
}

GraphResult sig_pi(Sim& s, int isignal, int ilink) {
    // The signal answered, else the one at the end of the link answered.
    int sig = 0;
    if (isignal > 0)
        sig = isignal <= kMaxSignals && isignal <= s.signal.cycle.hi() ? isignal : 0;
    else if (ilink > 0 && link_ok(s, ilink))
        sig = end_signal(s, ilink);
    if (sig == 0 || sig > s.flowprof.sigpi.hi1()) return GraphResult::refused;
    std::array<float, kCycleShifts> index{};
    for (int i = 1; i <= kCycleShifts; ++i)
        index[static_cast<std::size_t>(i - 1)] = s.flowprof.sigpi(sig, i);
    GraphFrame f;
    f.title(3, "Signal:" + fmt_i(sig, 10));
    f.title(4, "Offset:" + fmt_i(static_cast<long>(s.signal.offset(sig)), 10));
    f.title(5, "Performance Index by Signal");
    return index_graph(s, f, sig, index.data());
}

// --- speed-flow relations ------------------------------------------------------------------

GraphResult plt_spdvol(Sim& s, int ind, int ilink) {
    if (ind < 1 || ind > 5 || !link_ok(s, ilink) || ilink > s.link1.spdvol.hi1())
        return GraphResult::refused;
    if (!(s.link4.llength(ilink) > 0.0f)) return GraphResult::refused;
    struct Text {
        const char *x, *y, *name;
    };
    static constexpr Text kText[5] = {
        {"Volume (veh/h)", "Speed (km/h)", "Lane Speed-Volume"},
        {"Density (veh/km)", "Speed (km/h)", "Lane Speed-Density"},
        {"Density (veh/km)", "Volume (veh/h)", "Lane Density-Volume"},
        {"Headway (meters/veh)", "Speed (km/h)", "Lane Speed-Headway"},
        {"Headway (meters/veh)", "Volume (veh/h)", "Lane Volume-Headway"},
    };
    const auto& sv = s.link1.spdvol;
    const int   kj = static_cast<int>(sv(ilink, 5));
    // Without a jam density the link has no relation to draw.
    if (kj <= 0) return GraphResult::refused;
    const float c1 = sv(ilink, 1), c2 = sv(ilink, 2), c3 = sv(ilink, 3), uf = sv(ilink, 7);
    const float hj = static_cast<float>(1000 / kj) / 1000.0f;
    const int   lanes = link_lanes(s, ilink);
    const float nl = static_cast<float>(lanes);
    const float step = static_cast<float>(kj) / static_cast<float>(kCurvePoints);
    GraphFrame  f;
    for (int i = 1; i <= kCurvePoints; ++i) {
        const float k = i >= 2 ? static_cast<float>(i) * step : (ind <= 3 ? 1.0f : step);
        const float h = 1.0f / k;
        float       u = 0.0f;
        fndspd(s, 0, h, hj, c1, c2, c3, uf, u);
        const float q = k * u, hw = 1000.0f * h;
        // (x, y) of the single lane and of all lanes.
        float p[4] = {};
        switch (ind) {
        case 1:
            p[0] = q, p[1] = u, p[2] = nl * q, p[3] = u;
            break;
        case 2:
            p[0] = k, p[1] = u, p[2] = nl * k, p[3] = u;
            break;
        case 3:
            p[0] = k, p[1] = q, p[2] = nl * k, p[3] = nl * q;
            break;
        case 4:
            p[0] = hw, p[1] = u, p[2] = hw, p[3] = u;
            break;
        default:
            p[0] = hw, p[1] = q, p[2] = hw, p[3] = nl * q;
            break;
        }
        f.x(i, 1) = p[0];
        f.y(i, 1) = p[1];
        f.x(i, 2) = p[2];
        f.y(i, 2) = p[3];
    }
    const Text& tx = kText[ind - 1];
    f.title(1, tx.x);
    f.title(2, tx.y);
    f.title(3, "Link  :" + fmt_i(ilink, 10));
    f.title(4, "Lanes :" + fmt_i(lanes, 10));
    f.title(5, tx.name);
    f.legend(1, "Single Lane");
    f.legend(2, "All Lanes");
    f.plot(s, kGraphCurveKind, kCurvePoints, 2);
    return GraphResult::plotted;
}

// --- one trip's route -------------------------------------------------------------------------

GraphResult routtime(Sim& s, int ind, int car) {
    const auto& st = s.vehtre;
    if (ind < 1 || ind > 3) return GraphResult::refused;
    if (car < 1 || car > kMaxTrips || car > st.trelst.hi1() || car > st.tre_ind.hi1())
        return GraphResult::refused;
    if (st.trelst(car, 2) <= 0) return GraphResult::refused; // not traced
    std::vector<int> path;
    if (ind == 1) {
        const int first = std::max(st.tre_ind(car, 1), 1);
        const int last = std::min(st.tre_ind(car, 2), st.vehtre.hi1());
        for (int e = first; e <= last && st.tre_ind(car, 1) >= 1; ++e)
            path.push_back(st.vehtre(e, 1));
    } else {
        path.assign(kMaxPathLinks, 0);
        int lpath = 0;
        rem_path(s, path, lpath, car, ind - 1, s.control.t);
        path.resize(static_cast<std::size_t>(std::clamp(lpath, 0, kMaxPathLinks)));
    }
    GraphFrame f(std::max(kGraphPoints, static_cast<int>(path.size()) + 1), kGraphCurves);
    int        np = 1; // (0, 0)
    double     dist = 0.0, time = 0.0;
    for (int l : path) {
        if (l < 1 || l > s.link4.llength.hi() || l > s.delay.ttlink.hi1()) continue;
        dist += s.link4.llength(l);
        time += s.delay.ttlink(l, 1) / 60.0f;
        ++np;
        f.x(np, 1) = static_cast<float>(dist);
        f.y(np, 1) = static_cast<float>(time);
    }
    f.title(1, " Distance in Km");
    f.title(2, " Time in Minutes");
    f.title(3, "Trip Dist:" + fmt_f(dist, 10, kDecimals) + "km");
    f.title(4, "Trip Time:" + fmt_f(time, 10, kDecimals) + "mn");
    f.title(5, ind == 1 ? "Complete Route: Current Trip Time vs. Distance"
                        : "Remaining Route: Current Trip Time vs. Distance");
    f.legend(1, " Vehicle:" + fmt_i(car, 7));
    f.plot(s, kGraphCurveKind, np, 1);
    return GraphResult::plotted;
}

// --- forecast ----------------------------------------------------------------------------------

int for_flow(Sim& s, int ind, std::span<const int> ilinks) {
    if (ind < 1 || ind > 2) return 0;
    int shown = 0;
    for (int l : ilinks) {
        if (!forecast_link_ok(s, l)) break; // the answer that ends the graphs
        if (one_forecast(s, ind, l) == GraphResult::plotted) ++shown;
    }
    return shown;
}

GraphResult for_que(Sim& s, int ilink) {
    if (!forecast_link_ok(s, ilink)) return GraphResult::refused;
    const auto&                  pv = s.trees.pre_vol;
    const int                    n = forecast_intervals(s);
    const float                  ftint = static_cast<float>(s.trees.ftint);
    static constexpr const char* kLegend[kQueueCurves] = {
        "In  Capacity (veh/per)", "Out Capacity (veh/per)", "In  Flow     (veh/per)",
        "Out Flow     (veh/per)", "Queue          (veh)",   "Queue Capacity (veh)",
        "Discharge Capacity"};
    // pre_vol layers of the curves; 0 stands for the link's storage.
    static constexpr int kLayer[kQueueCurves] = {5, 7, 1, 6, 4, 0, 9};
    GraphFrame           f;
    f.title(1, "Simulation Time (minutes)");
    f.title(2, "Vehicles");
    f.title(3, "Link:" + fmt_i(ilink, 10));
    f.title(4, "Period Duration" + fmt_i(s.trees.ftint, 10) + " seconds");
    f.title(5, "Traffic Flow and Queue Forecast by Link");
    for (int k = 1; k <= kQueueCurves; ++k) f.legend(k, kLegend[k - 1]);
    for (int i = 1; i <= n; ++i)
        for (int k = 1; k <= kQueueCurves; ++k) {
            const int layer = kLayer[k - 1];
            f.x(i, k) = (static_cast<float>(i) - 0.5f) * ftint / 60.0f;
            f.y(i, k) = layer == 0 ? static_cast<float>(s.link2.amaxq(ilink)) : pv(ilink, i, layer);
        }
    return hand_over(s, f, f.title(5), kGraphCurveKind, n, kQueueCurves);
}

// --- listings ----------------------------------------------------------------------------------

bool lst_cor(Sim& s, int ind) {
    if (ind < 1 || ind > 2) return false;
    const auto&       c = s.set2;
    const auto        field = [](float v) { return fmt_f(v, 12, 3); };
    const float       xl = c.xmin(ind), xh = c.xmax(ind), yl = c.ymin(ind), yh = c.ymax(ind);
    std::string       title = ind == 1 ? " Full Network Coordinates" : " Zoom Window Coordinates";
    const std::string mes[2] = {
        " X - Min:" + field(xl) + " Max:" + field(xh) +
            "    -   Center:" + field((xl + xh) / 2.0f) + "  Window:" + field(xh - xl),
        " Y - Min: " + field(yl) + " Max: " + field(yh) +
            "    -   Center:" + field((yl + yh) / 2.0f) + "  Window:" + field(yh - yl),
    };
    pop_box(s, 2, title, mes);
    return true;
}

void lst_keys(Sim& s) {
    static constexpr std::pair<int, const char*> kHelp[] = {
        {1, " Zoom / Pan Keys :"},
        {2, " - ARROW keys : pan LEFT RIGHT UP DOWN"},
        {3, " - INSERT key : zooms in - DELETE zooms out"},
        {4, " - HOME key   : zooms full network"},
        {5, " - END key    : resumes simulation"},
        {7, " Link Labels :"},
        {8, " - F1  - Link Number"},
        {9, " - F2  - Link Time"},
        {10, " - F3  - Link Distance"},
        {11, " - F4  - None"},
        {13, " Simulation Speed:"},
        {14, " - F5  - 0.5 x real time"},
        {15, " - F6  - 1.0 x real time"},
        {16, " - F7  - 5.0 x real time"},
        {17, " - F8  - Maximum Speed"},
        {19, " Simulation Clock:"},
        {20, " - F9  - Advance  0.1 seconds"},
        {21, " - F10 - Advance  1.0 seconds"},
        {22, " - F11 - Advance 10.0 seconds"},
        {23, " - F12 - Advance 60.0 seconds"},
    };
    auto& text = s.graphing.keyhelp;
    text.assign(kKeyHelpLines, blanks(kKeyHelpWidth));
    for (const auto& [line, help] : kHelp)
        text[static_cast<std::size_t>(line - 1)] = fmt_a(help, kKeyHelpWidth);
    s.graphing.keytitle = "Special Keys";
}

void tracer(Sim& s, int i, int j, int k, int l, int m, int n) {
    if (i < s.errcount.errl1 || j < s.errcount.errl2) return;
    std::string line = fmt_a(" Error Tracer Values", 20);
    for (int v : {i, j, k, l, m, n}) line += fmt_i(v, 9);
    s.units.line(kUnitRunLog, line);
}

} // namespace velm
