// History graphs: the windows they read from the minute rings, the points and
// texts they hand to the plotting routine, the level-of-service grades, the
// trip filters, and the message shown instead of a graph with too few points.
#include "core/model/limits.h"
#include "core/reports/history_graphs.h"
#include "reports/graph_spy.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace velm {
namespace {

using testing_graphs::Plot;
using testing_graphs::PlotSpy;

const std::string kNoPoints = "Sorry, not enough points available at this time\r"
                              "in order to permit the desired graph to be plotted\r\r"
                              "Press any key or click mouse in order to continue\r";

constexpr int kLink = 7;

struct Graphs {
    support::BoxRecorder boxes;
    PlotSpy              spy;
    std::unique_ptr<Sim> sim = support::memory_sim(nullptr, &boxes);
    Sim&                 s = *sim;
    Graphs() {
        s.plots = &spy;
        s.link4.llength(kLink) = 0.25f;
    }
    void at(int t10) {
        s.control.t10 = t10;
        s.control.t = t10 / 10;
    }
    const Plot& only() const {
        EXPECT_EQ(spy.plots.size(), 1u);
        return spy.plots.back();
    }
};

int slot_of_minute(int m) {
    return (m - 1) % 60 + 1;
}

TEST(HistoryGraphFrame, HourWindowAndRingSlots) {
    struct Case {
        int t, lead, first, last;
    } cases[] = {
        {60, 1, 1, 2}, {3540, 1, 1, 60}, {3600, 1, 2, 61}, {7200, 0, 62, 120}, {3599, 0, 1, 59},
    };
    for (const auto& c : cases) {
        const auto w = last_hour(c.t, c.lead);
        EXPECT_EQ(w.first, c.first) << c.t;
        EXPECT_EQ(w.last, c.last) << c.t;
        EXPECT_LE(w.last - w.first + 1, 60);
    }
    for (int m : {1, 59, 60, 61, 120, 121, 1999})
        EXPECT_EQ(hour_ring_slot(m), slot_of_minute(m)) << m;
}

TEST(HistoryGraphFrame, MinuteSeriesStartsAtTheOriginAndFollowsTheRing) {
    const auto value = [](int slot) { return static_cast<float>(slot) * 2.0f; };
    {
        GraphFrame f;
        ASSERT_EQ(minute_series(f, 600, 1, value), 2);
        EXPECT_EQ(f.x(1, 1), 0.0f);
        EXPECT_EQ(f.y(1, 1), 0.0f);
        EXPECT_EQ(f.x(2, 1), 60.0f);
        EXPECT_EQ(f.y(2, 1), 2.0f);
    }
    {
        GraphFrame f;
        EXPECT_EQ(minute_series(f, 599, 1, value), 1); // the caller shows the message
    }
    {
        // 2500 minutes: only the last 2000 fit, read through the ring's rule.
        GraphFrame f;
        ASSERT_EQ(minute_series(f, 600 * 2500, 3, value), 2000);
        EXPECT_EQ(f.x(1, 3), 501.0f * 60.0f);
        EXPECT_EQ(f.y(1, 3), 501.0f * 2.0f);
        EXPECT_EQ(f.x(2000, 3), 2500.0f * 60.0f);
        EXPECT_EQ(f.y(2000, 3), 500.0f * 2.0f);
    }
}

TEST(HistoryGraphFrame, NoGraphMessageNamesTheGraph) {
    Graphs g;
    nograph(g.s, "Speed in km/h");
    ASSERT_EQ(g.boxes.boxes.size(), 1u);
    EXPECT_EQ(g.boxes.boxes[0].title.rfind("Speed in km/h", 0), 0u);
    EXPECT_EQ(g.boxes.boxes[0].text, kNoPoints);
    EXPECT_TRUE(g.spy.plots.empty());
}

TEST(FlowHistory, LastHourReadsMinutesTwoToSixtyOne) {
    Graphs g;
    for (int slot = 1; slot <= 60; ++slot) g.s.link1.flowhis(kLink, 2, slot) = 100 + slot;
    g.at(36000);
    ASSERT_EQ(flow_his(g.s, 1, kLink), GraphResult::plotted);
    const Plot& p = g.only();
    EXPECT_EQ(p.kind, 1);
    EXPECT_EQ(p.np, 60);
    EXPECT_EQ(p.curves, 6);
    EXPECT_EQ(p.nc, 2000);
    EXPECT_EQ(p.x(1, 1), 1.5f);   // minute 2, minutes axis
    EXPECT_EQ(p.y(1, 1), 102.0f); // from slot 2
    EXPECT_EQ(p.y(1, 3), 102.0f); // class 2's own curve
    EXPECT_EQ(p.y(1, 2), 0.0f);
    EXPECT_EQ(p.x(60, 1), 60.5f);  // minute 61 ...
    EXPECT_EQ(p.y(60, 1), 101.0f); // ... from slot 1
    EXPECT_EQ(p.title(1), "Simulation Time (minutes)");
    EXPECT_EQ(p.title(2), " Vehicles per Minute");
    EXPECT_EQ(p.title(3), "  On Link:    7");
    EXPECT_EQ(p.title(4), " Time window:    2 to   61mins.");
    EXPECT_EQ(p.title(5), "Flow by Vehicle Type Plus Total");
    EXPECT_EQ(p.line(1).rfind("All: ", 0), 0u);
    EXPECT_EQ(p.line(6).rfind("VC=5 ", 0), 0u);
}

TEST(FlowHistory, TravelTimeAgainstFlowAndFlowWeightedAverages) {
    Graphs g;
    auto&  l1 = g.s.link1;
    // Minute 1: 3 class-1 vehicles at 10 s, 1 class-2 vehicle at 20 s.
    l1.flowhis(kLink, 1, 1) = 3;
    l1.flowhis(kLink, 2, 1) = 1;
    l1.timehis(kLink, 1, 1, 1) = 100;
    l1.timehis(kLink, 2, 1, 1) = 200;
    // Minute 2: nobody left; class 1's time stands for the average.
    l1.timehis(kLink, 1, 2, 1) = 90;
    g.s.link4.llength(kLink) = 0.5f;
    g.s.delay.fretim(kLink) = 8.0f;
    g.at(1200); // t = 120 s: minutes 1..3 on a seconds axis
    struct Case {
        int   ind;
        float x1, y1, y2;
    } cases[] = {
        {4, 4 * 60.0f, 12.5f, 9.0f}, // x = the minute's flow in veh/h
        {3, 30.0f, 12.5f, 9.0f},     // x = (m - 0.5) x 60 s
        {5, 0.5f, 4.5f, 0.0f},       // delay; none without vehicles
        {9, 0.5f, 3600.0f * 0.5f / 125.0f * 10, 3600.0f * 0.5f / 90.0f * 10},
        {2, 30.0f, 240.0f, 0.0f},
    };
    for (const auto& c : cases) {
        g.spy.plots.clear();
        ASSERT_EQ(flow_his(g.s, c.ind, kLink), GraphResult::plotted) << c.ind;
        const Plot& p = g.only();
        EXPECT_EQ(p.np, 3) << c.ind;
        EXPECT_FLOAT_EQ(p.x(1, 1), c.x1) << c.ind;
        EXPECT_NEAR(p.y(1, 1), c.y1, 1e-4) << c.ind;
        EXPECT_NEAR(p.y(2, 1), c.y2, 1e-4) << c.ind;
        EXPECT_EQ(p.curves, c.ind == 2 || c.ind == 9 ? 6 : 1) << c.ind;
    }
}

TEST(FlowHistory, LevelOfServiceByEndControl) {
    struct Case {
        int         tsignal;
        int         delay_tenths; // measured link time above free time
        int         density;
        int         grade;
        const char* name;
        const char* first_line;
    } cases[] = {
        {10001, 100, 0, 2, "LOS at Stop-Yield Signs:Based on Delay/Vehicle", "1- LOS A ( 0-10 s)"},
        {10002, 99, 0, 1, "LOS at Stop-Yield Signs:Based on Delay/Vehicle", "1- LOS A ( 0-10 s)"},
        {10001, 150, 0, 3, "LOS at Stop-Yield Signs:Based on Delay/Vehicle", "1- LOS A ( 0-10 s)"},
        {12, 150, 0, 2, "LOS at Traffic Signals: Based on Delay/Vehicle", "1- LOS A ( 0-10 s)"},
        {-12, 800, 0, 6, "LOS at Traffic Signals: Based on Delay/Vehicle", "1- LOS A ( 0-10 s)"},
        {0, 900, 7, 2, "LOS on Highway Sections: Based on Density/Lane-Km", "1-LOS A ( 0- 7 v/k)"},
        {0, 0, 30, 6, "LOS on Highway Sections: Based on Density/Lane-Km", "1-LOS A ( 0- 7 v/k)"},
    };
    for (const auto& c : cases) {
        Graphs g;
        auto&  l1 = g.s.link1;
        g.s.link3.tsignal(kLink) = c.tsignal;
        g.s.delay.fretim(kLink) = 20.0f;
        l1.flowhis(kLink, 1, 1) = 2;
        l1.timehis(kLink, 1, 1, 1) = 200 + c.delay_tenths;
        l1.denhis(kLink, 1) = c.density;
        g.at(600);
        ASSERT_EQ(flow_his(g.s, 8, kLink), GraphResult::plotted);
        const Plot& p = g.only();
        EXPECT_EQ(p.curves, 6);
        for (int k = 1; k <= 6; ++k) EXPECT_EQ(p.y(1, k), static_cast<float>(c.grade)) << c.tsignal;
        EXPECT_EQ(p.title(5), c.name);
        EXPECT_EQ(p.line(1), c.first_line);
    }
}

TEST(FlowHistory, NothingSimulatedOrBadLink) {
    Graphs g;
    g.at(599);
    EXPECT_EQ(flow_his(g.s, 7, kLink), GraphResult::no_graph);
    ASSERT_EQ(g.boxes.boxes.size(), 1u);
    EXPECT_EQ(g.boxes.boxes[0].title.rfind("Link Density per Lane-Kilometer", 0), 0u);
    EXPECT_EQ(g.boxes.boxes[0].text, kNoPoints);
    g.at(6000);
    // kLink + 1 is a number the link file does not use.
    for (int l : {0, -3, kLink + 1, kMaxLinks + 1})
        EXPECT_EQ(flow_his(g.s, 1, l), GraphResult::refused) << l;
    for (int ind : {0, 10}) EXPECT_EQ(flow_his(g.s, ind, kLink), GraphResult::refused) << ind;
    EXPECT_TRUE(g.spy.plots.empty());
    EXPECT_EQ(g.boxes.boxes.size(), 1u);
}

TEST(SignalHistory, SeriesAndTextsByKind) {
    constexpr int kSig = 3;
    struct Case {
        int                      ind, curves;
        const char*              axis;
        const char*              name;
        std::vector<std::string> legend;
    } cases[] = {
        {1, 1, " Cycle Length - Time Series", "Cycle Time in Seconds", {"Cycle Length"}},
        {2, 1, " Offset - Time Series", "Offset in Seconds", {"Offset"}},
        {3,
         2,
         " Offset and Cycle Length",
         "Offset and Cycle in Seconds",
         {"cycle length", "Offset"}},
        {4,
         4,
         " Phase Durations",
         "Phase duration in seconds",
         {"Phase:    1", "Phase:    2", "Phase:    3", "Cycle Length"}},
    };
    for (const auto& c : cases) {
        Graphs g;
        auto&  sg = g.s.signal;
        sg.msignal = 4;
        sg.phases(kSig) = 3;
        for (int slot = 1; slot <= 60; ++slot) {
            sg.sighis1(kSig, slot, 1) = 60 + slot;
            sg.sighis1(kSig, slot, 2) = slot;
            for (int ph = 1; ph <= 3; ++ph) sg.phshis(kSig, slot, ph) = 10 * ph + slot;
        }
        g.at(1800); // t = 180 s: minutes 1..3
        ASSERT_EQ(cyc_his(g.s, c.ind, kSig), GraphResult::plotted);
        const Plot& p = g.only();
        EXPECT_EQ(p.np, 3);
        EXPECT_EQ(p.curves, c.curves);
        EXPECT_EQ(p.x(3, 1), 150.0f);
        EXPECT_EQ(p.title(1), "Simulation Time (seconds)");
        EXPECT_EQ(p.title(2), c.axis);
        EXPECT_EQ(p.title(3), "Signal:    3  Phases:    3");
        EXPECT_EQ(p.title(5), c.name);
        for (std::size_t k = 0; k < c.legend.size(); ++k)
            EXPECT_EQ(p.line(static_cast<int>(k) + 1), c.legend[k]);
        const float cycle3 = 63.0f;
        if (c.ind == 1) {
            EXPECT_EQ(p.y(3, 1), cycle3);
        }
        if (c.ind == 2) {
            EXPECT_EQ(p.y(3, 1), 3.0f);
        }
        if (c.ind == 4) {
            EXPECT_EQ(p.y(2, 3), 32.0f);
            EXPECT_EQ(p.y(2, 4), 62.0f);
        }
    }
    Graphs g;
    g.s.signal.msignal = 2;
    g.at(1800);
    for (int sig : {0, 3}) EXPECT_EQ(cyc_his(g.s, 1, sig), GraphResult::refused);
    EXPECT_TRUE(g.spy.plots.empty());
}

TEST(LastPositions, RingSamplesAndTheCurrentValue) {
    Graphs    g;
    const int car = 42, vid = 5;
    g.s.vehindx.vehid(car) = vid;
    for (int k = 1; k <= 10; ++k) g.s.vehplot.dis_his(vid, k) = 10 * k * k;
    g.s.vehplot.trpdst(car, 1) = 1.25f;
    g.s.vehplot.spd(vid, 1) = 43.0f;
    g.s.vehicle.vacc(vid, 1) = -1.5f;
    g.at(500); // the sample of slot 1 is the newest: the oldest is slot 2
    struct Case {
        int   ind, points;
        float first, last;
    } cases[] = {
        {1, 10, 40.0f, 1250.0f},
        {2, 9, (90 - 40) / 5.0f * 3.6f, 43.0f},
        {3, 8, (160 + 40 - 2 * 90) / 25.0f, -1.5f},
    };
    for (const auto& c : cases) {
        g.spy.plots.clear();
        ASSERT_EQ(lst_pos(g.s, c.ind, car), GraphResult::plotted);
        const Plot& p = g.only();
        EXPECT_EQ(p.np, c.points);
        EXPECT_EQ(p.curves, 1);
        EXPECT_NEAR(p.y(1, 1), c.first, 1e-4) << c.ind;
        EXPECT_EQ(p.x(c.points, 1), 5.0f * static_cast<float>(c.points - 1));
        EXPECT_EQ(p.y(c.points, 1), c.last);
        EXPECT_EQ(p.title(1), "Time (Seconds)");
        EXPECT_EQ(p.title(3), "Veh:   42  Tim:   50");
        EXPECT_EQ(p.line(1), "Distance (m)");
    }
    g.spy.plots.clear();
    EXPECT_EQ(lst_pos(g.s, 2, 43), GraphResult::refused); // not on the network
    EXPECT_EQ(lst_pos(g.s, 2, 0), GraphResult::refused);
    EXPECT_EQ(lst_pos(g.s, 2, kMaxTrips + 1), GraphResult::refused);
    EXPECT_TRUE(g.spy.plots.empty());
    EXPECT_TRUE(g.boxes.boxes.empty());
}

// Four trips: 1 and 3 completed, 2 still on the network, 4 not departed.
void four_trips(Sim& s) {
    auto& v = s.vehicle;
    s.set2.tdemand = s.set2.nveh = 4;
    s.set2.mzones = s.set2.maxorg = s.set2.maxdst = 3;
    const float dep[] = {-1.0f, 500.0f, 0.0f, 900.0f};
    for (int n = 1; n <= 4; ++n) {
        v.dept(n) = dep[n - 1];
        v.strtrp(n, 1) = 60.0f * static_cast<float>(n);
        v.strtrp(n, 2) = n == 4 ? -2.0f : 60.0f * static_cast<float>(n) + 5.0f;
        v.arrt(n) = 60.0f * static_cast<float>(n) + 300.0f * static_cast<float>(n);
        v.norig(n) = n % 2 + 1;
        v.ndest(n) = 3;
        s.oddat.vtyp(n) = n;
        s.vehplot.trpdst(n, 1) = static_cast<float>(n);
    }
}

TEST(TripTimes, CompletedTripsOnlyWithTheirTexts) {
    Graphs g;
    four_trips(g.s);
    g.at(6000);
    ASSERT_EQ(triptime(g.s, 2, TripFilter{}), GraphResult::plotted);
    const Plot& p = g.only();
    EXPECT_EQ(p.np, 2);
    EXPECT_EQ(p.x(1, 1), 1.0f);
    EXPECT_EQ(p.y(1, 1), 1.0f);
    EXPECT_EQ(p.x(2, 1), 3.0f);
    EXPECT_EQ(p.y(2, 1), 3.0f);
    EXPECT_EQ(p.title(1), "Vehicle Departure Time (mins)");
    EXPECT_EQ(p.title(2), "Trip Length (km)");
    EXPECT_EQ(p.title(3), "Time Series of Trip Distance");
    EXPECT_EQ(p.title(4), "Mean Trip Length:      2.00 km");
    EXPECT_EQ(p.title(5), "Trip Characteristics :         2 vehicles");

    // Trip times with the generalised cost: trip 1 paid 2 $ at 12 $/h.
    g.s.tolplaz.vehtol(1, 2) = 2.0f;
    g.s.tolplaz.valtim(1) = 12.0f;
    g.spy.plots.clear();
    ASSERT_EQ(triptime(g.s, 1, TripFilter{}), GraphResult::plotted);
    EXPECT_EQ(g.only().curves, 2);
    EXPECT_FLOAT_EQ(g.only().y(1, 1), 5.0f);
    EXPECT_FLOAT_EQ(g.only().y(1, 2), 5.0f + 10.0f);
    EXPECT_FLOAT_EQ(g.only().y(2, 2), 15.0f); // no value of time: no toll term

    // Filters: from zone 2 holds the completed trips 1 and 3, departing in
    // [100, 200] s only trip 3; zone 1 holds no completed trip.
    g.spy.plots.clear();
    ASSERT_EQ(triptime(g.s, 2, TripFilter{2, 2, 0, 0, 0}), GraphResult::plotted);
    EXPECT_EQ(g.only().np, 2);
    g.spy.plots.clear();
    ASSERT_EQ(triptime(g.s, 2, TripFilter{5, 0, 0, 100, 200}), GraphResult::plotted);
    EXPECT_EQ(g.only().np, 1);
    EXPECT_EQ(g.only().y(1, 1), 3.0f);
    EXPECT_EQ(triptime(g.s, 2, TripFilter{2, 1, 0, 0, 0}), GraphResult::no_graph);
    ASSERT_EQ(g.boxes.boxes.size(), 1u);
    EXPECT_EQ(g.boxes.boxes[0].title.rfind("Time Series of Trip Distance", 0), 0u);

    const TripFilter bad[] = {
        {0, 0, 0, 0, 0}, {6, 0, 0, 0, 0}, {2, 4, 0, 0, 0}, {3, 0, 0, 0, 0}, {5, 0, 0, 100, 50}};
    for (const auto& f : bad) EXPECT_EQ(triptime(g.s, 2, f), GraphResult::refused) << f.ind2;
    EXPECT_EQ(triptime(g.s, 12, TripFilter{}), GraphResult::refused);
    EXPECT_EQ(g.spy.plots.size(), 1u);
    EXPECT_EQ(g.boxes.boxes.size(), 1u);
}

TEST(TripGraphs, DepartureAndArrivalTexts) {
    struct Case {
        bool                     arrivals;
        int                      ind1;
        int                      kind, curves;
        std::vector<std::string> titles; // 1, 2, 5
        const char*              legend1;
    } cases[] = {
        {false,
         1,
         2,
         1,
         {"Vehicle Classes 1-5", "Vehicle Departures", "Frequency by Type"},
         "Number of Vehicles"},
        {false,
         2,
         1,
         6,
         {"Departure Time (minutes)", "Departure Rate in veh/hr", "Departure Rate vs Time"},
         "VC= 1-         1 vehicles"},
        {false,
         3,
         1,
         6,
         {"Origin Zone", "Vehicle Departures",
          "Departure Frequency from:         0 to:     86400 sec"},
         "Vehicle type 1"},
        {false,
         4,
         2,
         1,
         {"Destination Zone", "Vehicle Departures",
          "Departure Frequency from:         0 to:     86400 sec"},
         "Number of Vehicles"},
        {false,
         5,
         1,
         6,
         {"Trip Length in km", "Vehicle Departures", "Trip Length Frequency Distribution"},
         "Vt=1 Mean=      1.50 km"},
        {true,
         1,
         1,
         2,
         {"Departure Time", "Number of Departures", "Cumulative Departures"},
         "Scheduled Departures"},
        {true,
         2,
         1,
         3,
         {"Departure/Arrival Time", "Number of Vehicles", "Cumulative Vehicles"},
         "Scheduled Departures"},
        {true,
         3,
         2,
         1,
         {"Origin Zone", "Vehicle Departures",
          "Departure Frequency from:         0 to:     86400 sec"},
         "Number of Vehicles"},
        {true,
         5,
         2,
         1,
         {"Trip Length in km", "Vehicle Departures", "Trip Length Frequency Distribution"},
         "Number of Vehicles"},
        {true,
         7,
         2,
         1,
         {"Trip Length in Seconds", "Number of Vehicles", "Trip Time Frequency Distribution"},
         "Number of Vehicles"},
    };
    for (const auto& c : cases) {
        Graphs g;
        four_trips(g.s);
        g.s.set1.simtim1 = 3600;
        g.s.nodes.trp_dst(2, 3) = 1500.0f;
        g.s.nodes.trp_dst(1, 3) = 2600.0f;
        g.at(6000);
        const auto r =
            c.arrivals ? arr_his(g.s, c.ind1, TripFilter{}) : dept_his(g.s, c.ind1, TripFilter{});
        ASSERT_EQ(r, GraphResult::plotted) << c.arrivals << c.ind1;
        const Plot& p = g.only();
        EXPECT_EQ(p.kind, c.kind) << c.arrivals << c.ind1;
        EXPECT_EQ(p.curves, c.curves) << c.arrivals << c.ind1;
        EXPECT_EQ(p.title(1), c.titles[0]);
        EXPECT_EQ(p.title(2), c.titles[1]);
        EXPECT_EQ(p.title(5), c.titles[2]);
        EXPECT_EQ(p.line(1), c.legend1);
    }
}

TEST(TripGraphs, CountsOfDeparturesAndArrivals) {
    Graphs g;
    four_trips(g.s);
    g.s.set1.simtim1 = 3600;
    g.at(6000);
    // Classes: one trip each of classes 1..4.
    ASSERT_EQ(dept_his(g.s, 1, TripFilter{}), GraphResult::plotted);
    EXPECT_EQ(g.only().np, 5);
    EXPECT_EQ(g.only().y(4, 1), 1.0f);
    EXPECT_EQ(g.only().y(5, 1), 0.0f);
    EXPECT_EQ(g.only().title(3), "Total Departures =         4");
    // Per departure minute, in veh/h: trip n departs in minute n + 1.
    g.spy.plots.clear();
    ASSERT_EQ(dept_his(g.s, 2, TripFilter{}), GraphResult::plotted);
    EXPECT_EQ(g.only().np, 5);
    EXPECT_EQ(g.only().y(3, 2), 60.0f); // trip 2, class 2
    EXPECT_EQ(g.only().y(3, 6), 60.0f);
    EXPECT_EQ(g.only().y(1, 6), 0.0f);
    // Cumulative departures of the trips that entered: 3 by the end.
    g.spy.plots.clear();
    ASSERT_EQ(arr_his(g.s, 1, TripFilter{}), GraphResult::plotted);
    const Plot& p = g.only();
    EXPECT_EQ(p.np, 59);
    EXPECT_EQ(p.y(59, 1), 3.0f);
    EXPECT_EQ(p.y(59, 2), 3.0f);
    EXPECT_EQ(p.y(1, 1), 0.0f); // trip 1 departs at 60 s: interval 2
    EXPECT_EQ(p.y(2, 1), 1.0f);
    EXPECT_EQ(p.x(1, 1), 1.5f * 60.0f);
    // Per origin zone in a time window: trips 1 (zone 2) and 2 (zone 1) depart in [0, 130] s.
    g.spy.plots.clear();
    ASSERT_EQ(arr_his(g.s, 3, TripFilter{2, 1, 0, 0, 130}), GraphResult::plotted);
    EXPECT_EQ(g.only().np, 3);
    EXPECT_EQ(g.only().y(1, 1), 1.0f);
    EXPECT_EQ(g.only().y(2, 1), 1.0f);
    // Bad answers change nothing and show nothing.
    g.spy.plots.clear();
    EXPECT_EQ(dept_his(g.s, 2, TripFilter{5, 0, 0, 0, 100}), GraphResult::refused);
    EXPECT_EQ(arr_his(g.s, 3, TripFilter{2, 1, 0, 50, 10}), GraphResult::refused);
    EXPECT_EQ(arr_his(g.s, 8, TripFilter{}), GraphResult::refused);
    EXPECT_TRUE(g.spy.plots.empty());
    EXPECT_TRUE(g.boxes.boxes.empty());
}

} // namespace
} // namespace velm
