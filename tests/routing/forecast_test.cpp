// Flow forecast and loading adjustment: the forecast interval, the link-time
// model, the interpolation of link times, the loading passes and their
// weights, queues carried forward, the downstream acceptance limit, the counts
// against the recorded path-entry times, and the forecast listing.
#include "core/routing/forecast.h"
#include "routing/paths_fixture.h"

#include <gtest/gtest.h>
#include <map>

namespace velm {
namespace {

using namespace testing_paths;
using testing_routing::contains;
using testing_routing::lines_of;

TEST(ForecastInterval, SixtySecondsPerStartedTwoHours) {
    const std::vector<std::pair<int, int>> cases = {
        {0, 60}, {3600, 60}, {7200, 60}, {7201, 120}, {14400, 120}, {14401, 180}, {86400, 720}};
    for (const auto& [horizon, interval] : cases)
        EXPECT_EQ(routing::forecast_interval(horizon), interval) << horizon;
}

// The links of forecast.net with a speed independent of flow (60 km/h) so
// that running times are length / speed; a horizon of one hour (60-s
// intervals); class 1 on stored tree 1.
struct Forecast : ::testing::Test {
    RouteNet net{paths_fixture("forecast.net")};
    Sim&     s = net.s;
    void     SetUp() override {
        stored_tree_routing(s);
        s.set1.simtim1 = 3600;
        for (int l = 1; l <= 3; ++l) link(l, 1, 1800.0f);
        stored_path(s, 1, 2, 1, {3});
        stored_path(s, 1, 2, 3, {2});
        tr_tree(s, 0, 0, 0);
    }
    void link(int l, int lanes, float sat, int storage = 1000) {
        s.link1.nulans(l) = lanes;
        s.link1.spdvol(l, 6) = sat;
        s.link1.spdvol(l, 7) = 60.0f;
        s.link1.spdvol(l, 8) = s.link4.llength(l);
        s.link2.amaxq(l) = storage;
    }
    float& pv(int l, int i, int c) { return s.trees.pre_vol(l, i, c); }
    float  link_time(int l, float inflow, float q1, float limit, float* q2 = nullptr,
                     float* cap = nullptr) {
         float out = 0, qe = 0, cx = 0, time = 0;
         esttim1(s, l, inflow, out, q1, qe, cx, limit, time, 0);
         if (q2) *q2 = qe;
        if (cap) *cap = cx;
        return time;
    }
};

TEST_F(Forecast, LinkTimeByControlAtTheLinkEnd) {
    s.trees.ftint = 60;
    s.signal.cycle(4) = 90.0f;
    s.signal.phstr(4, 1, 2) = 45.0f; // phase 1 green 0..45 s: y = 0.5
    s.link3.phase(3, 1, 1) = 1;
    struct Case {
        int   tsignal;
        float time, capacity; // s at zero flow; veh/h
    };
    const std::vector<Case> cases = {
        {0, 60.0f, 1800.0f},
        {kStopSignCode, 80.0f, 0.4f * 1800.0f},  // stop sign: +20 s
        {kYieldSignCode, 70.0f, 0.5f * 1800.0f}, // yield sign: +10 s
        {4, 60.0f + 45.0f * 0.25f, 900.0f},      // signal: (C/2)(1 - y)^2
        {-4, 60.0f + 45.0f * 0.25f, 900.0f},     // right turns on red: the same signal
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tsignal);
        s.link3.tsignal(3) = c.tsignal;
        float q2 = -1, cap = 0;
        EXPECT_NEAR(link_time(3, 0.0f, 0.0f, 50000.0f, &q2, &cap), c.time, 1e-3f);
        EXPECT_NEAR(cap, c.capacity, 1e-2f);
        EXPECT_EQ(q2, 0.0f);
    }
    // A signal without a cycle in the plan: no control.
    s.link3.tsignal(3) = 4;
    s.signal.cycle(4) = -1.0f;
    EXPECT_NEAR(link_time(3, 0.0f, 0.0f, 50000.0f), 60.0f, 1e-3f);
}

TEST_F(Forecast, DemandAboveCapacityQueues) {
    s.trees.ftint = 60;
    float q2 = 0;
    // 3000 veh/h against 1800: 1200 veh/h for one minute = 20 vehicles, half
    // of them on average, discharged at 1800 veh/h: 20 s more.
    EXPECT_NEAR(link_time(3, 3000.0f, 0.0f, 50000.0f, &q2), 80.0f, 1e-3f);
    EXPECT_NEAR(q2, 20.0f, 1e-4f);
    // A limit of 900 veh/h: 35 vehicles, 3600 x 17.5 / 900 = 70 s.
    EXPECT_NEAR(link_time(3, 3000.0f, 0.0f, 900.0f, &q2), 130.0f, 1e-3f);
    EXPECT_NEAR(q2, 35.0f, 1e-4f);
    // A start queue counts as demand: 30 vehicles = 1800 veh/h, all served.
    EXPECT_NEAR(link_time(3, 0.0f, 30.0f, 50000.0f, &q2), 60.0f + 30.0f, 1e-3f);
    EXPECT_EQ(q2, 0.0f);
    // Below 100 veh/h the queue is discharged at 100 veh/h: 60 veh/h of demand
    // against a limit of 50 leaves 1/6 vehicle; the mean queue is 7/12.
    EXPECT_NEAR(link_time(3, 0.0f, 1.0f, 50.0f, &q2), 60.0f + 3600.0f * (7.0f / 12.0f) / 100.0f,
                1e-3f);
    EXPECT_NEAR(q2, 1.0f / 6.0f, 1e-5f);
}

TEST_F(Forecast, TimesHoldAtIntervalMiddles) {
    s.trees.ftint = 60;
    pv(3, 1, 2) = 100.0f;
    pv(3, 2, 2) = 200.0f;
    pv(3, 120, 2) = 500.0f;
    pv(3, 119, 2) = 400.0f;
    const std::vector<std::pair<int, float>> cases = {
        {0, 100.0f},    // both halves from interval 1
        {30, 100.0f},   // the middle of interval 1
        {45, 125.0f},   // 0.75 on 1, 0.25 on 2
        {75, 175.0f},   // 0.25 on 1, 0.75 on 2
        {90, 200.0f},   // the middle of interval 2
        {7170, 500.0f}, // the middle of the last interval
        {7190, 500.0f}, // after the last middle: the last interval alone
        {9000, 450.0f}, // far beyond: the last interval, at 0.5 of its width
    };
    for (const auto& [t, want] : cases) {
        float time = 0;
        int_time(s, 3, t, time, 0);
        EXPECT_NEAR(time, want, 1e-3f) << t;
    }
}

TEST_F(Forecast, CountsChangeOnlyWithinTheTable) {
    inc_flw(s, 1, 3, 5, 1, 1, 0);
    inc_flw(s, 1, 3, 5, 1, 1, 0);
    inc_flw(s, 1, 3, 5, -1, 1, 0);
    inc_flw(s, 1, 3, 7, 1, 2, 0);
    EXPECT_EQ(pv(3, 5, 1), 1.0f);
    EXPECT_EQ(pv(3, 7, 6), 1.0f);
    inc_flw(s, 9, 0, 5, 1, 1, 4);
    inc_flw(s, 9, 4488, 5, 1, 1, 4);
    EXPECT_TRUE(contains(net.log(), " incflw-0:           9           0           5"));
    EXPECT_TRUE(contains(net.log(), " incflw-0:           9        4488           5"));
    inc_flw(s, 1, 3, 0, 1, 1, 0);
    inc_flw(s, 1, 3, 121, 1, 1, 0);
    float total = 0;
    for (int i = 1; i <= kForecastIntervals; ++i) total += pv(3, i, 1);
    EXPECT_EQ(total, 1.0f);
}

TEST_F(Forecast, TenPassesLoadEveryTenthTrip) {
    for (int car = 1; car <= 25; ++car) trip(s, car, 1, 2, 1, 0, 0.0f);
    forecast(s);
    EXPECT_EQ(s.trees.ftint, 60);
    // Trips are traced as they are loaded: the tracing order is the loading order.
    std::vector<int> order;
    for (int k = 1; k <= s.vehtre.trecar; ++k) order.push_back(s.vehtre.trelst(k, 1));
    std::vector<int> want;
    for (int p = 1; p <= 10; ++p)
        for (int n = p; n <= 25; n += 10) want.push_back(n);
    EXPECT_EQ(order, want);
}

TEST_F(Forecast, EarlyPassesScaleTheirTripsUpToTheWholeDemand) {
    // One lane of 300 veh/h: one trip at weight 10 is 600 veh/h and queues
    // 5 vehicles in its minute (2.5 on average: 30 s); at weight 1 it does not.
    link(3, 1, 300.0f);
    trip(s, 1, 1, 2, 1, 0, 0.0f);
    forecast(s); // trip 1 alone: pass 1, weight 10
    EXPECT_EQ(s.vehtre.vehtre(s.vehtre.tre_ind(1, 1), 3), 900);

    SetUp();
    link(3, 1, 300.0f);
    for (int car = 1; car <= 9; ++car) trip(s, car, 1, 2, 1, 0, -1.0f); // nothing to load
    trip(s, 10, 1, 2, 1, 0, 0.0f);
    forecast(s); // trip 10 alone: pass 10, weight 1
    EXPECT_EQ(s.vehtre.vehtre(s.vehtre.tre_ind(10, 1), 3), 600);
}

TEST_F(Forecast, QueueIsCarriedForwardUntilItClears) {
    // 60 vehicles in the first minute on a lane of 300 veh/h (5 per minute):
    // 55 are left, then 50, 45, ... and none after the twelfth minute.
    link(3, 1, 300.0f);
    for (int car = 1; car <= 60; ++car) trip(s, car, 1, 2, 1, 0, 0.0f);
    forecast(s);
    for (int j = 1; j <= 12; ++j) {
        SCOPED_TRACE(j);
        EXPECT_NEAR(pv(3, j, 4), 55.0f - 5.0f * static_cast<float>(j - 1), 1e-3f);
        EXPECT_EQ(pv(3, j + 1, 3), pv(3, j, 4));
    }
    EXPECT_EQ(pv(3, 14, 3), 0.0f);
    EXPECT_EQ(pv(3, 1, 1), 60.0f);
}

TEST_F(Forecast, FullDownstreamLinkLimitsWhatItAccepts) {
    // Link 2 (one lane, 60 veh/h, room for 3) is flooded from zone 3 in the
    // first minute; the trip from zone 1 then finds link 1's exit limited to
    // what link 2 can accept: its outflow so far (none) and no free storage.
    link(2, 1, 60.0f, 3);
    stored_path(s, 1, 2, 1, {1, 2});
    for (int car = 1; car <= 20; ++car) trip(s, car, 3, 2, 1, 0, 0.0f);
    trip(s, 21, 1, 2, 1, 0, 0.0f);
    forecast(s);
    EXPECT_EQ(pv(2, 1, 9), 0.0f);
    EXPECT_EQ(pv(1, 1, 7), 0.0f);
    EXPECT_EQ(pv(1, 2, 7), 1.0f); // min(1800, 60) veh/h for a minute: 1 vehicle
    EXPECT_GT(pv(1, 1, 4), 0.0f); // nothing leaves link 1
}

// The inflow and outflow counts of every link and interval against the
// intervals of the recorded entry and exit times of all path entries.
void expect_counts_match_entries(Sim& s) {
    std::map<std::pair<int, int>, float> in, out;
    const auto&                          st = s.vehtre;
    const int                            T = s.trees.ftint;
    for (int n = 1; n <= s.set2.tdemand; ++n)
        for (int e = st.tre_ind(n, 1); e >= 1 && e <= st.tre_ind(n, 2); ++e) {
            const int l = st.vehtre(e, 1);
            if (st.vehtre(e, 2) < 0) continue; // not reached
            in[{l, st.vehtre(e, 2) / 10 / T + 1}] += 1.0f;
            const int kx = st.vehtre(e, 3) / 10 / T + 1;
            if (kx <= kForecastIntervals) out[{l, kx}] += 1.0f;
        }
    for (int l = 1; l <= 3; ++l)
        for (int i = 1; i <= kForecastIntervals; ++i) {
            EXPECT_EQ(s.trees.pre_vol(l, i, 1), (in.count({l, i}) ? in[{l, i}] : 0.0f))
                << l << " " << i;
            EXPECT_EQ(s.trees.pre_vol(l, i, 6), (out.count({l, i}) ? out[{l, i}] : 0.0f))
                << l << " " << i;
        }
}

TEST_F(Forecast, AdjustmentMovesCountsWithTheNewTimes) {
    // Both ways over capacity, so that the passes' weights and the final
    // times differ a lot.
    link(2, 1, 200.0f, 20);
    link(3, 1, 300.0f);
    stored_path(s, 1, 2, 1, {1, 2});
    stored_path(s, 2, 2, 1, {3}); // class 1 trips split between the two ways
    for (int car = 1; car <= 200; ++car)
        trip(s, car, car % 7 == 0 ? 3 : 1, 2, 1, (car * 37) % 10000,
             static_cast<float>((car * 13) % 900));
    trip(s, 201, 1, 2, 1, 0, 7300.0f); // beyond the last interval: 7200 s
    forecast(s);
    expect_counts_match_entries(s);
    const auto& st = s.vehtre;
    EXPECT_EQ(st.vehtre(st.tre_ind(201, 1), 2), -1);
    const int entry = st.vehtre(st.tre_ind(5, 1) + 1, 2);

    adjust(s, 1);
    expect_counts_match_entries(s);
    EXPECT_EQ(st.vehtre(st.tre_ind(201, 1), 2), -1);
    // Re-timed from its departure: the first entry is the departure itself.
    EXPECT_EQ(st.vehtre(st.tre_ind(5, 1), 2), 10 * ((5 * 13) % 900));
    EXPECT_GE(st.vehtre(st.tre_ind(5, 1) + 1, 2), 0);
    EXPECT_NE(entry, -1);
}

TEST_F(Forecast, AdjustmentOfAnUnchangedTripLeavesItsCells) {
    trip(s, 1, 1, 2, 1, 0, 10.0f);
    forecast(s);
    const float before = pv(3, 1, 1), out_before = pv(3, 2, 6);
    adjust(s, 1);
    EXPECT_EQ(pv(3, 1, 1), before); // +1 and -1 on the same cell
    EXPECT_EQ(pv(3, 2, 6), out_before);
    EXPECT_EQ(before, 1.0f);
}

// The forecast listing of slot 29, from path entries set by hand.
TEST_F(Forecast, ListingCountsEntriesByPeriod) {
    s.filenam.mastitle = "Listing check";
    s.filenam.files(29) = "forecast.out";
    s.trees.pd_ot2 = 60;
    s.trees.np_ot2 = 3; // periods 0..60 and 60..120 s
    s.link2.nlinks = 3;
    s.link4.io12(3) = 1;
    s.link4.lanesat(3) = 1750.5f;
    s.link1.nulans(3) = 2;
    s.delay.fretim(3) = 60.0f;
    stored_path(s, 6, 2, 1, {3}); // class 2's first tree
    trip(s, 1, 1, 2, 1, 0, 10.0f);
    trip(s, 2, 1, 2, 2, 0, 20.0f);
    tr_tree(s, 1, 2, 10);
    tr_tree(s, 2, 2, 20);
    auto& st = s.vehtre;
    st.vehtre(st.tre_ind(1, 1), 2) = 105; // 10.5 s: second 10
    st.vehtre(st.tre_ind(1, 1), 3) = 700;
    st.vehtre(st.tre_ind(2, 1), 2) = 200;
    st.vehtre(st.tre_ind(2, 1), 3) = 906;
    pforecast(s, 0, 0);
    EXPECT_EQ(s.pathnam.filuse[29], 1);
    const std::string zeros = "  0.00  0.00  0.00  0.00  0.00   0.0   0.0   0.0    0.000    0.000"
                              "    0.000    0.000     0.0000     0.0000     0.0000     0.0000"
                              "     0.0000     0.0000";
    const std::vector<std::string> want = {
        "Listing check",
        "     2    60     3     3",
        "     60      1",
        // 2 entries in the minute: 120 veh/h, one of each of classes 1 and 2;
        // times 60.0 and 70.6 s, mean 65.3; classes without entries show it.
        "    3 1.000  3501   120    60    60     0     0     0   60.0   65.3   60.0   70.6   65.3"
        "   65.3   65.3" +
            zeros,
        "    120      2",
        "    3 1.000  3501     0     0     0     0     0     0   60.0   60.0   60.0   60.0   60.0"
        "   60.0   60.0" +
            zeros,
    };
    EXPECT_EQ(lines_of(s.units.file_text("forecast.out")), want);
    EXPECT_FALSE(s.units.is_open(29));

    s.filenam.files(29) = "none";
    pforecast(s, 0, 0);
    EXPECT_EQ(s.pathnam.filuse[29], 0);
}

} // namespace
} // namespace velm
