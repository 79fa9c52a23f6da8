// On-line graphs and listings: the network totals per minute, a station's and
// a meter's last hour, the cycle graphs with their guards, the speed-flow
// relations, a trip's route, the forecast graphs, the display-window and
// special-keys listings and the run-log trace line.
#include "core/io/units.h"
#include "core/model/limits.h"
#include "core/reports/online_graphs.h"
#include "reports/graph_spy.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_graphs::Plot;
using testing_graphs::PlotSpy;

struct Graphs {
    support::BoxRecorder boxes;
    PlotSpy              spy;
    std::unique_ptr<Sim> sim = support::memory_sim(nullptr, &boxes);
    Sim&                 s = *sim;
    Graphs() { s.plots = &spy; }
    void at(int t10) {
        s.control.t10 = t10;
        s.control.t = t10 / 10;
    }
    const Plot& only() const {
        EXPECT_EQ(spy.plots.size(), 1u);
        EXPECT_TRUE(boxes.boxes.empty());
        return spy.plots.back();
    }
    // The title of the one message box shown, without the "*" pop_box adds.
    std::string box_title() const {
        EXPECT_EQ(boxes.boxes.size(), 1u);
        EXPECT_TRUE(spy.plots.empty());
        if (boxes.boxes.empty()) return "";
        const std::string t = boxes.boxes.back().title;
        return t.substr(0, t.find('*'));
    }
    bool silent() const { return spy.plots.empty() && boxes.boxes.empty(); }
};

TEST(MinuteGraphs, ProcessorTimeCumulativeIncrementalAndSpeedRatio) {
    // Processor time (0.1 s) at the end of minutes 1..4: 5 s, 8 s, 20 s, 20 s.
    const int cputim[] = {50, 80, 200, 200};
    struct Case {
        int   ind;
        float y[4];
    } cases[] = {
        {1, {5.0f, 8.0f, 20.0f, 20.0f}},
        {2, {5.0f, 3.0f, 12.0f, 0.0f}},
        // 60 simulated seconds per processor second; a minute that took no
        // measurable time has no ratio.
        {3, {12.0f, 20.0f, 5.0f, 0.0f}},
    };
    for (const auto& c : cases) {
        Graphs g;
        for (int m = 1; m <= 4; ++m) g.s.subtim.cputim(m) = cputim[m - 1];
        g.at(2400);
        ASSERT_EQ(cpugraph(g.s, c.ind), GraphResult::plotted) << c.ind;
        const Plot& p = g.only();
        ASSERT_EQ(p.np, 5);
        EXPECT_EQ(p.curves, 1);
        EXPECT_EQ(p.x(1, 1), 0.0f);
        EXPECT_EQ(p.y(1, 1), 0.0f);
        for (int i = 2; i <= 5; ++i) {
            EXPECT_EQ(p.x(i, 1), 60.0f * static_cast<float>(i - 1));
            EXPECT_FLOAT_EQ(p.y(i, 1), c.y[i - 2]) << "ind " << c.ind << " point " << i;
        }
        EXPECT_EQ(p.title(5), "CPU Timer");
        EXPECT_EQ(p.title(2), c.ind == 3 ? "Relative Simulation Speed" : "CPU Seconds");
    }
}

TEST(MinuteGraphs, NetworkTotalsTheirCurvesAndTexts) {
    Graphs g;
    auto&  a = g.s.arrivals;
    auto&  ns = g.s.netstats;
    a.cdept(1) = 7, a.cdept(2) = 12, a.carri(1) = 1, a.carri(2) = 5;
    a.cenrt(1) = 6, a.cenrt(2) = 7, a.cdefr(1) = 2, a.cdefr(2) = 0;
    ns.vehkm(1) = 2.0f, ns.vehkm(2) = 0.0f, ns.vehmn(1) = 3.0f, ns.vehmn(2) = 4.0f;
    ns.vehde(1) = 0.5f, ns.vehde(2) = 1.5f, ns.vehst(1) = 1.0f, ns.vehst(2) = 2.0f;
    ns.vehemis(1, 1) = 0.25f, ns.vehemis(2, 1) = 0.5f;
    ns.vehemis(1, 2) = 4.0f, ns.vehemis(1, 3) = 8.0f, ns.vehemis(1, 4) = 2.0f;
    g.at(1200); // two minutes: points (0, 0), minute 1, minute 2
    struct Case {
        const char*                       name;
        std::function<GraphResult()>      call;
        int                               curves;
        std::vector<std::array<float, 2>> y; // minutes 1 and 2 of each curve
    } cases[] = {
        {"Cumulative Statistics", [&] { return cumdept(g.s); }, 2, {{7, 12}, {1, 5}}},
        {"En-Route Statistics", [&] { return netload(g.s); }, 2, {{6, 7}, {2, 0}}},
        {"Cumulative Network VMT and VHT", [&] { return cumstat(g.s, 1); }, 2, {{2, 2}, {3, 7}}},
        {"Incremental Network VMT and VHT", [&] { return cumstat(g.s, 2); }, 2, {{2, 0}, {3, 4}}},
        {"Cumulative Network Delay and Stops",
         [&] { return cumdel(g.s, 1); },
         2,
         {{0.5f, 2}, {1, 3}}},
        {"Incremental Network Delay and Stops",
         [&] { return cumdel(g.s, 2); },
         2,
         {{0.5f, 1.5f}, {1, 2}}},
        {"Vehicle Fuel Consumption", [&] { return flt_fuel(g.s, 1); }, 1, {{15, 30}}},
        // Per veh-km: minute 2 has no veh-km and shows 0.
        {"Vehicle Fuel Consumption", [&] { return flt_fuel(g.s, 2); }, 1, {{0.125f, 0}}},
        {"Vehicle Emissions", [&] { return flt_emis(g.s, 1); }, 3, {{240, 0}, {480, 0}, {120, 0}}},
        {"Vehicle Emissions", [&] { return flt_emis(g.s, 2); }, 3, {{2, 0}, {4, 0}, {1, 0}}},
    };
    for (const auto& c : cases) {
        g.spy.plots.clear();
        ASSERT_EQ(c.call(), GraphResult::plotted) << c.name;
        const Plot& p = g.only();
        EXPECT_EQ(p.title(5), c.name);
        EXPECT_EQ(p.title(1), "Simulation Time");
        ASSERT_EQ(p.np, 3) << c.name;
        ASSERT_EQ(p.curves, c.curves) << c.name;
        for (int k = 1; k <= c.curves; ++k) {
            EXPECT_EQ(p.y(1, k), 0.0f);
            for (int m = 1; m <= 2; ++m) {
                EXPECT_EQ(p.x(m + 1, k), 60.0f * static_cast<float>(m));
                EXPECT_FLOAT_EQ(p.y(m + 1, k), c.y[static_cast<std::size_t>(k - 1)][m - 1])
                    << c.name << " curve " << k << " minute " << m;
            }
        }
    }
    // Out-of-range choices show nothing.
    g.spy.plots.clear();
    for (int ind : {0, 3}) {
        EXPECT_EQ(cumstat(g.s, ind), GraphResult::refused);
        EXPECT_EQ(cumdel(g.s, ind), GraphResult::refused);
        EXPECT_EQ(flt_fuel(g.s, ind), GraphResult::refused);
        EXPECT_EQ(flt_emis(g.s, ind), GraphResult::refused);
    }
    EXPECT_EQ(cpugraph(g.s, 4), GraphResult::refused);
    EXPECT_TRUE(g.silent());
}

TEST(MinuteGraphs, BeforeTheFirstMinuteEachShowsTheMessageUnderItsName) {
    struct Case {
        std::function<GraphResult(Sim&)> call;
        const char*                      name;
    } cases[] = {
        {[](Sim& s) { return cpugraph(s, 1); }, "CPU Timer"},
        {[](Sim& s) { return cumdept(s); }, "Cumulative Statistics"},
        {[](Sim& s) { return netload(s); }, "En-Route Statistics"},
        {[](Sim& s) { return cumstat(s, 2); }, "Incremental Network VMT and VHT"},
        {[](Sim& s) { return cumdel(s, 1); }, "Cumulative Network Delay and Stops"},
        {[](Sim& s) { return flt_fuel(s, 1); }, "Vehicle Fuel Consumption"},
        {[](Sim& s) { return flt_emis(s, 2); }, "Vehicle Emissions"},
    };
    for (const auto& c : cases) {
        Graphs g;
        g.at(599);
        EXPECT_EQ(c.call(g.s), GraphResult::no_graph) << c.name;
        EXPECT_EQ(g.box_title(), c.name);
    }
}

// --- a station's and a meter's last hour ---------------------------------------

constexpr int kStation = 5;

TEST(StationGraphs, DetectorFlowSpeedOccupancyAndMinutesWithoutCount) {
    Graphs g;
    auto&  d = g.s.detloc;
    d.dettyp(kStation) = 1;
    d.detlink(kStation) = 12;
    // Minutes 1 and 3 counted vehicles, minute 2 none.
    d.detsta(kStation, 1, 1) = 4, d.detsta(kStation, 1, 2) = 200, d.detsta(kStation, 1, 3) = 3000;
    d.detsta(kStation, 3, 1) = 2, d.detsta(kStation, 3, 2) = 90, d.detsta(kStation, 3, 3) = 1500;
    g.at(1800);
    struct Case {
        int                ind;
        std::vector<float> x, y;
        const char*        axis;
    } cases[] = {
        {1, {30, 90, 150}, {240, 0, 120}, "Vehicles per Hour"},
        {2, {30, 150}, {50, 45}, "Kilometers per Hour"},
        {3, {30, 90, 150}, {3, 0, 1.5f}, "Occupancy Percent"},
    };
    for (const auto& c : cases) {
        g.spy.plots.clear();
        ASSERT_EQ(det_rep(g.s, c.ind, kStation), GraphResult::plotted) << c.ind;
        const Plot& p = g.only();
        ASSERT_EQ(p.np, static_cast<int>(c.x.size())) << c.ind;
        for (int i = 1; i <= p.np; ++i) {
            EXPECT_EQ(p.x(i, 1), c.x[static_cast<std::size_t>(i - 1)]);
            EXPECT_FLOAT_EQ(p.y(i, 1), c.y[static_cast<std::size_t>(i - 1)]);
        }
        EXPECT_EQ(p.title(2), c.axis);
        EXPECT_EQ(p.title(3), "Detector:         5");
        EXPECT_EQ(p.title(4), "Link:            12");
        EXPECT_EQ(p.title(5), "Detector Statistics");
    }
    // No count in the whole window: no speed to show.
    Graphs empty;
    empty.s.detloc.dettyp(kStation) = 1;
    empty.at(1800);
    EXPECT_EQ(det_rep(empty.s, 2, kStation), GraphResult::no_graph);
    EXPECT_EQ(empty.box_title(), "Detector Statistics");
}

TEST(StationGraphs, WindowIsTheLastHourOfTheRing) {
    Graphs g;
    g.s.detloc.dettyp(kStation) = 1;
    for (int slot = 1; slot <= 60; ++slot) g.s.detloc.detsta(kStation, slot, 1) = slot;
    g.at(36600); // t = 3660 s: minutes 2..61, minute 61 from slot 1
    ASSERT_EQ(det_rep(g.s, 1, kStation), GraphResult::plotted);
    const Plot& p = g.only();
    ASSERT_EQ(p.np, 60);
    EXPECT_EQ(p.x(1, 1), 90.0f);
    EXPECT_EQ(p.y(1, 1), 2.0f * 60.0f);
    EXPECT_EQ(p.x(60, 1), 60.5f * 60.0f);
    EXPECT_EQ(p.y(60, 1), 1.0f * 60.0f);
}

TEST(StationGraphs, SelectionsOutsideTheTablesShowNothing) {
    Graphs g;
    g.at(1800);
    g.s.detloc.dettyp(kStation) = 0; // defined but inactive
    g.s.detloc.dettyp(6) = 1;
    EXPECT_EQ(det_rep(g.s, 1, kStation), GraphResult::refused);
    for (int idet : {0, -3, kMaxDetectors + 1})
        EXPECT_EQ(det_rep(g.s, 1, idet), GraphResult::refused);
    EXPECT_EQ(det_rep(g.s, 4, 6), GraphResult::refused);
    for (int irmp : {0, 451}) EXPECT_EQ(rmp_rep(g.s, 1, irmp), GraphResult::refused);
    EXPECT_EQ(rmp_rep(g.s, 0, 1), GraphResult::refused);
    EXPECT_TRUE(g.silent());
    g.at(599);
    EXPECT_EQ(det_rep(g.s, 1, 6), GraphResult::no_graph);
    EXPECT_EQ(g.box_title(), "Detector Statistics");
}

TEST(StationGraphs, RampMeterRateWithItsStationsOrItsBounds) {
    Graphs        g;
    auto&         rm = g.s.rmpmeter;
    auto&         d = g.s.detloc;
    constexpr int meter = 3;
    rm.rmploc(meter, 1) = 21;
    rm.rmphis(meter, 1) = 900.0f;
    for (int k = 1; k <= 8; ++k) rm.rmpdet(meter, k) = 10 + k; // input k -> station 10 + k
    for (int st = 11; st <= 18; ++st) d.detsta(st, 1, 1) = static_cast<float>(st - 10);
    rm.rmprat(meter, 2) = 600.0f, rm.rmprat(meter, 3) = 300.0f, rm.rmprat(meter, 4) = 1200.0f;
    g.at(600); // one minute
    struct Case {
        int                  ind;
        std::array<float, 5> y;
        const char*          name;
        const char*          legend2;
    } cases[] = {
        // Inputs 1, 4, 5, 8: ramp entry, ramp exit, mainline before and after.
        {1, {900, 60, 240, 300, 480}, "Up-Downstream of Ramp and Mainline", "Ramp Entry:    11"},
        // Inputs 1..4.
        {2, {900, 60, 120, 180, 240}, "Ramp Flows Up-Downstream of Meter", "Ramp Entry 1:    11"},
        // Rate columns 2..4, then the flow at input 4.
        {3, {900, 600, 300, 1200, 240}, "Minimum-Maximum and Actual Rates", "Initial Rate"},
    };
    for (const auto& c : cases) {
        g.spy.plots.clear();
        ASSERT_EQ(rmp_rep(g.s, c.ind, meter), GraphResult::plotted);
        const Plot& p = g.only();
        ASSERT_EQ(p.np, 1);
        ASSERT_EQ(p.curves, 5);
        for (int k = 1; k <= 5; ++k) {
            EXPECT_EQ(p.x(1, k), 30.0f);
            EXPECT_FLOAT_EQ(p.y(1, k), c.y[static_cast<std::size_t>(k - 1)]) << c.ind << " " << k;
        }
        EXPECT_EQ(p.title(3), "Meter:    3  On Link:   21");
        EXPECT_EQ(p.title(4), " Time:     1 to     1");
        EXPECT_EQ(p.title(5), c.name);
        EXPECT_EQ(p.line(2), c.legend2);
    }
    // A meter input with no station reads no station table.
    rm.rmpdet(meter, 1) = 0;
    g.spy.plots.clear();
    ASSERT_EQ(rmp_rep(g.s, 2, meter), GraphResult::plotted);
    EXPECT_EQ(g.only().y(1, 2), 0.0f);
}

// --- over the signal cycle ----------------------------------------------------------

constexpr int kLink = 9;

struct CycleLink : Graphs {
    CycleLink(int tsignal) {
        s.link3.tsignal(kLink) = tsignal;
        s.link4.llength(kLink) = 0.3f;
        s.link1.nulans(kLink) = 2;
        s.lanexch.lannum(kLink, 1) = 40;
        s.lanexch.lannum(kLink, 2) = 41;
        s.signal.cycle(4) = 90.0f;
        s.signal.offset(4) = 17.6f;
    }
};

TEST(CycleGraphs, LaneProfilesAndTotalFlow) {
    CycleLink g(4);
    auto&     cf = g.s.flowprof.cycflw;
    cf(40, 3, 1) = 0.5f;  // lane 1: half a vehicle per cycle in the third thirtieth
    cf(41, 10, 1) = 1.0f; // lane 2: one vehicle in the tenth
    cf(41, 10, 2) = 2.0f; // discharges are layer 2
    ASSERT_EQ(laneflow(g.s, 1, kLink), GraphResult::plotted);
    const Plot& p = g.only();
    ASSERT_EQ(p.np, 30);
    ASSERT_EQ(p.curves, 2);
    EXPECT_EQ(p.x(3, 1), 9.0f); // 3 x 90 / 30 s
    EXPECT_FLOAT_EQ(p.y(3, 1), 0.5f * 3600.0f * 30.0f / 90.0f);
    EXPECT_FLOAT_EQ(p.y(10, 2), 1.0f * 3600.0f * 30.0f / 90.0f);
    EXPECT_EQ(p.y(10, 1), 0.0f);
    EXPECT_EQ(p.title(3), "Link:         9  Signal:         4");
    // 20 + 40 veh/h.
    EXPECT_EQ(p.title(4), "Total Flow:     60.00 vph");
    EXPECT_EQ(p.line(1), "Lane=   1-     20.00 vph");
    EXPECT_EQ(p.title(2), "Arrival Rate");
    g.spy.plots.clear();
    ASSERT_EQ(laneflow(g.s, 2, kLink), GraphResult::plotted);
    EXPECT_FLOAT_EQ(g.only().y(10, 2), 2.0f * 3600.0f * 30.0f / 90.0f);
    EXPECT_EQ(g.only().title(2), "Discharge Rate");
}

TEST(CycleGraphs, PerformanceIndexOfLinkAndSignal) {
    CycleLink g(4);
    for (int i = 1; i <= 30; ++i) {
        g.s.flowprof.cycpi(kLink, i) = static_cast<float>(i);
        g.s.flowprof.sigpi(4, i) = static_cast<float>(2 * i);
        g.s.flowprof.sigpi(6, i) = 1.0f;
    }
    g.s.signal.cycle(6) = 60.0f;
    ASSERT_EQ(link_pi(g.s, kLink), GraphResult::plotted);
    {
        const Plot& p = g.only();
        ASSERT_EQ(p.np, 30);
        EXPECT_EQ(p.x(30, 1), 90.0f);
        EXPECT_EQ(p.y(7, 1), 7.0f);
        EXPECT_EQ(p.title(3), "Link  :         9");
        EXPECT_EQ(p.title(4), "Signal:         4");
        EXPECT_EQ(p.title(5), "Performance Index by Link");
    }
    struct Case {
        int   isignal, ilink, sig;
        float y1;
    } cases[] = {{0, kLink, 4, 2.0f}, {6, kLink, 6, 1.0f}, {6, 0, 6, 1.0f}};
    for (const auto& c : cases) {
        g.spy.plots.clear();
        ASSERT_EQ(sig_pi(g.s, c.isignal, c.ilink), GraphResult::plotted);
        const Plot& p = g.only();
        EXPECT_EQ(p.y(1, 1), c.y1);
        EXPECT_EQ(p.title(3), "Signal:" + std::string(9, ' ') + std::to_string(c.sig));
        EXPECT_EQ(p.title(5), "Performance Index by Signal");
    }
    EXPECT_EQ(g.only().title(4), "Offset:         0"); // signal 6 has no offset
    // An index that sums to nothing is not drawn.
    g.spy.plots.clear();
    for (int i = 1; i <= 30; ++i) g.s.flowprof.cycpi(kLink, i) = 0.0f;
    EXPECT_EQ(link_pi(g.s, kLink), GraphResult::no_graph);
    EXPECT_EQ(g.box_title(), "Performance Index by Link");
}

TEST(CycleGraphs, LinksWithoutASignalShowNothing) {
    // Stop and yield signs are coded above the signal numbers; no control is 0.
    for (int tsignal : {10001, -10002, 0, 501}) {
        CycleLink g(tsignal);
        EXPECT_EQ(link_pi(g.s, kLink), GraphResult::refused) << tsignal;
        EXPECT_EQ(sig_pi(g.s, 0, kLink), GraphResult::refused) << tsignal;
        EXPECT_EQ(laneflow(g.s, 1, kLink), GraphResult::refused) << tsignal;
        EXPECT_TRUE(g.silent());
    }
    CycleLink g(4);
    EXPECT_EQ(sig_pi(g.s, 0, 0), GraphResult::refused);
    EXPECT_EQ(sig_pi(g.s, kMaxSignals + 1, 0), GraphResult::refused);
    EXPECT_EQ(link_pi(g.s, kMaxLinks + 1), GraphResult::refused);
    g.s.signal.cycle(4) = 1.0f; // a cycle of 1 s or less has no profile
    EXPECT_EQ(laneflow(g.s, 1, kLink), GraphResult::refused);
    EXPECT_TRUE(g.silent());
}

// --- speed-flow relations ----------------------------------------------------------

TEST(SpeedFlowGraphs, HeadwayCurvesCoincideAndLanesScaleVolume) {
    Graphs g;
    auto&  sv = g.s.link1.spdvol;
    g.s.link4.llength(kLink) = 0.4f;
    g.s.link1.nulans(kLink) = 3;
    sv(kLink, 1) = 0.005f, sv(kLink, 2) = 0.2f, sv(kLink, 3) = 0.0f;
    sv(kLink, 5) = 140.0f, sv(kLink, 7) = 100.0f;
    std::array<Plot, 6> p;
    for (int ind = 1; ind <= 5; ++ind) {
        g.spy.plots.clear();
        ASSERT_EQ(plt_spdvol(g.s, ind, kLink), GraphResult::plotted) << ind;
        p[static_cast<std::size_t>(ind)] = g.only();
        ASSERT_EQ(p[static_cast<std::size_t>(ind)].np, 30);
        ASSERT_EQ(p[static_cast<std::size_t>(ind)].curves, 2);
    }
    for (int i = 1; i <= 30; ++i) {
        EXPECT_EQ(p[4].x(i, 1), p[4].x(i, 2)) << i;
        EXPECT_EQ(p[4].y(i, 1), p[4].y(i, 2)) << i;
        EXPECT_FLOAT_EQ(p[3].x(i, 2), 3.0f * p[3].x(i, 1)) << i;
        EXPECT_FLOAT_EQ(p[3].y(i, 2), 3.0f * p[3].y(i, 1)) << i;
        EXPECT_EQ(p[2].y(i, 1), p[2].y(i, 2)) << i;
        // Volume is density times speed.
        EXPECT_FLOAT_EQ(p[1].x(i, 1), p[2].x(i, 1) * p[2].y(i, 1)) << i;
    }
    // Densities: 1 veh/km (speed curves) or kj/30 for the first point, then i kj / 30.
    EXPECT_EQ(p[2].x(1, 1), 1.0f);
    EXPECT_FLOAT_EQ(p[2].x(2, 1), 2.0f * 140.0f / 30.0f);
    EXPECT_FLOAT_EQ(p[4].x(1, 1), 1000.0f / (140.0f / 30.0f));
    EXPECT_EQ(p[4].title(4), "Lanes :         3");
    EXPECT_EQ(p[4].title(5), "Lane Speed-Headway");
    // Free flow at 1 veh/km is near the free speed, and speed falls with density.
    EXPECT_GT(p[2].y(1, 1), 90.0f);
    EXPECT_LT(p[2].y(30, 1), p[2].y(2, 1));

    g.spy.plots.clear();
    sv(kLink, 5) = 0.0f; // no jam density
    EXPECT_EQ(plt_spdvol(g.s, 1, kLink), GraphResult::refused);
    sv(kLink, 5) = 140.0f;
    g.s.link4.llength(kLink) = 0.0f;
    EXPECT_EQ(plt_spdvol(g.s, 1, kLink), GraphResult::refused);
    EXPECT_EQ(plt_spdvol(g.s, 6, kLink), GraphResult::refused);
    EXPECT_TRUE(g.silent());
}

// --- a trip's route ------------------------------------------------------------------

TEST(RouteGraph, CumulativeTimeAgainstDistanceAlongTheStoredPath) {
    Graphs        g;
    auto&         st = g.s.vehtre;
    constexpr int car = 12;
    st.trelst(car, 2) = 1;
    st.tre_ind(car, 1) = 100;
    st.tre_ind(car, 2) = 101;
    st.vehtre(100, 1) = 3;
    st.vehtre(101, 1) = 8;
    g.s.link4.llength(3) = 0.5f, g.s.link4.llength(8) = 1.25f;
    g.s.delay.ttlink(3, 1) = 30.0f, g.s.delay.ttlink(8, 1) = 90.0f;
    ASSERT_EQ(routtime(g.s, 1, car), GraphResult::plotted);
    const Plot& p = g.only();
    ASSERT_EQ(p.np, 3);
    const float x[] = {0.0f, 0.5f, 1.75f}, y[] = {0.0f, 0.5f, 2.0f};
    for (int i = 1; i <= 3; ++i) {
        EXPECT_FLOAT_EQ(p.x(i, 1), x[i - 1]);
        EXPECT_FLOAT_EQ(p.y(i, 1), y[i - 1]);
    }
    EXPECT_EQ(p.title(3), "Trip Dist:      1.75km");
    EXPECT_EQ(p.title(4), "Trip Time:      2.00mn");
    EXPECT_EQ(p.title(5), "Complete Route: Current Trip Time vs. Distance");
    EXPECT_EQ(p.line(1), " Vehicle:     12");

    // The rest of the path once the trip is on its first link: link 8 only.
    st.tre_ind(car, 4) = 1;
    g.spy.plots.clear();
    ASSERT_EQ(routtime(g.s, 2, car), GraphResult::plotted);
    ASSERT_EQ(g.only().np, 2);
    EXPECT_FLOAT_EQ(g.only().x(2, 1), 1.25f);
    EXPECT_FLOAT_EQ(g.only().y(2, 1), 1.5f);
    EXPECT_EQ(g.only().title(5), "Remaining Route: Current Trip Time vs. Distance");

    // A traced trip whose path holds no link: the single point (0, 0).
    st.vehtre(100, 1) = 0;
    st.tre_ind(car, 2) = 100;
    g.spy.plots.clear();
    ASSERT_EQ(routtime(g.s, 1, car), GraphResult::plotted);
    EXPECT_EQ(g.only().np, 1);
    EXPECT_EQ(g.only().x(1, 1), 0.0f);
    EXPECT_EQ(g.only().y(1, 1), 0.0f);

    g.spy.plots.clear();
    st.trelst(car, 2) = 0; // not traced
    EXPECT_EQ(routtime(g.s, 1, car), GraphResult::refused);
    for (int c : {0, kMaxTrips + 1}) EXPECT_EQ(routtime(g.s, 1, c), GraphResult::refused);
    EXPECT_TRUE(g.silent());
}

// --- forecast --------------------------------------------------------------------------

TEST(ForecastGraphs, FlowsTimesAndQueuePerInterval) {
    Graphs g;
    auto&  tr = g.s.trees;
    tr.ftint = 300;
    g.s.set1.simtim1 = 900;          // intervals 1..4
    tr.pre_vol(kLink, 2, 1) = 10.0f; // inflow count
    tr.pre_vol(kLink, 2, 2) = 45.0f; // time, s
    tr.pre_vol(kLink, 2, 5) = 25.0f; // capacity
    tr.pre_vol(kLink, 2, 6) = 5.0f;  // outflow count
    tr.pre_vol(kLink, 2, 4) = 3.0f;  // queue
    g.s.link2.amaxq(kLink) = 40;
    const int links[] = {kLink, kLink, 0, kLink};
    EXPECT_EQ(for_flow(g.s, 1, links), 2); // the answer 0 ends the graphs
    ASSERT_EQ(g.spy.plots.size(), 2u);
    const Plot& flow = g.spy.plots[0];
    ASSERT_EQ(flow.np, 4);
    EXPECT_EQ(flow.x(2, 1), 10.0f);
    EXPECT_FLOAT_EQ(flow.y(2, 1), 120.0f); // 10 vehicles in 300 s
    EXPECT_FLOAT_EQ(flow.y(2, 2), 60.0f);
    EXPECT_FLOAT_EQ(flow.y(2, 3), 300.0f);
    EXPECT_EQ(flow.title(5), "Traffic Flow Forecast by Link");

    g.spy.plots.clear();
    EXPECT_EQ(for_flow(g.s, 2, std::span<const int>(links, 1)), 1);
    EXPECT_FLOAT_EQ(g.only().y(2, 1), 45.0f);
    EXPECT_FLOAT_EQ(g.only().y(2, 2), 2.0f); // veh/min
    EXPECT_FLOAT_EQ(g.only().y(2, 3), 25.0f);

    g.spy.plots.clear();
    ASSERT_EQ(for_que(g.s, kLink), GraphResult::plotted);
    const Plot& q = g.only();
    ASSERT_EQ(q.curves, 7);
    EXPECT_EQ(q.x(2, 5), 7.5f);
    EXPECT_EQ(q.y(2, 5), 3.0f);
    EXPECT_EQ(q.y(2, 6), 40.0f);
    EXPECT_EQ(q.y(2, 3), 10.0f);
    EXPECT_EQ(q.title(4), "Period Duration       300 seconds");

    // Without a forecast there is nothing to plot; a link outside the table, nothing at all.
    g.spy.plots.clear();
    EXPECT_EQ(for_que(g.s, kMaxLinks + 1), GraphResult::refused);
    EXPECT_TRUE(g.silent());
    tr.ftint = 0;
    EXPECT_EQ(for_que(g.s, kLink), GraphResult::no_graph);
    EXPECT_EQ(g.box_title(), "Traffic Flow and Queue Forecast by Link");
}

// --- listings --------------------------------------------------------------------------

TEST(OnlineListings, WindowCoordinatesOfTheChosenWindow) {
    Graphs g;
    auto&  c = g.s.set2;
    c.xmin(1) = 0.0f, c.xmax(1) = 10.0f, c.ymin(1) = 0.0f, c.ymax(1) = 8.0f;
    c.xmin(2) = 1.5f, c.xmax(2) = 3.5f, c.ymin(2) = 2.0f, c.ymax(2) = 2.5f;
    ASSERT_TRUE(lst_cor(g.s, 2));
    EXPECT_EQ(g.box_title(), " Zoom Window Coordinates");
    EXPECT_EQ(g.boxes.boxes[0].text,
              " X - Min:       1.500 Max:       3.500    -   Center:       2.500  Window:"
              "       2.000\r"
              " Y - Min:        2.000 Max:        2.500    -   Center:       2.250  Window:"
              "       0.500\r");
    g.boxes.boxes.clear();
    ASSERT_TRUE(lst_cor(g.s, 1));
    EXPECT_EQ(g.box_title(), " Full Network Coordinates");
    EXPECT_NE(g.boxes.boxes[0].text.find("Window:      10.000"), std::string::npos);
    g.boxes.boxes.clear();
    EXPECT_FALSE(lst_cor(g.s, 3));
    EXPECT_TRUE(g.silent());
}

TEST(OnlineListings, SpecialKeysHelpIsKeptAndNotShown) {
    Graphs g;
    lst_keys(g.s);
    const auto& text = g.s.graphing.keyhelp;
    ASSERT_EQ(text.size(), 1000u);
    for (const auto& line : text) ASSERT_EQ(line.size(), 132u);
    const auto trimmed = [&](int k) { return Plot::trim(text[static_cast<std::size_t>(k - 1)]); };
    EXPECT_EQ(trimmed(1), " Zoom / Pan Keys :");
    EXPECT_EQ(trimmed(5), " - END key    : resumes simulation");
    EXPECT_EQ(trimmed(8), " - F1  - Link Number");
    EXPECT_EQ(trimmed(17), " - F8  - Maximum Speed");
    EXPECT_EQ(trimmed(23), " - F12 - Advance 60.0 seconds");
    for (int k : {6, 12, 18, 24, 1000}) EXPECT_EQ(trimmed(k), "") << k;
    for (int k = 1; k <= 23; ++k) {
        if (k % 6 == 0) continue;
        EXPECT_NE(trimmed(k), "") << k;
    }
    EXPECT_EQ(g.s.graphing.keytitle, "Special Keys");
    EXPECT_TRUE(g.silent());
}

TEST(OnlineListings, TracerWritesOnlyAtOrAboveBothLevels) {
    auto s = support::logged_sim();
    s->errcount.errl1 = 2;
    s->errcount.errl2 = 5;
    tracer(*s, 1, 9, 1, 1, 1, 1); // i below errl1
    tracer(*s, 3, 4, 1, 1, 1, 1); // j below errl2
    EXPECT_EQ(s->units.file_text("runerr.out"), "");
    tracer(*s, 2, 5, -7, 0, 123456789, 42);
    EXPECT_EQ(s->units.file_text("runerr.out"),
              " Error Tracer Values        2        5       -7        0123456789       42\n");
}

} // namespace
} // namespace velm
