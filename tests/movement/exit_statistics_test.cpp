// Link-exit statistics: counts, travel-time sums and smoothed movement times,
// approach flows with their waiting weight, the cyclic arrival profile, the
// upstream signal and the eco-routing costs of a vehicle leaving a link.
#include "core/movement/exit_statistics.h"

#include "entry_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_movement::Road;
using testing_movement::Traffic;

// Trip 1 (class 2) on link 1, free-flow time 10 s, leaving at tr = 123.5 s
// (tick 1235, minute slot 3) through lane 2.
struct Leaving : Traffic {
    LinkExit e;
    Leaving() {
        road({.l = 1, .from = 1, .to = 2, .lanes = 2});
        road({.l = 2, .from = 2, .to = 3});
        connect(1, 2);
        trip(1, 1, 3, 100.0f, {1, 2}, 2);
        e.vid = on_link(1, 2, 190.0f, 123.0f);
        e.l = 1;
        e.car = 1;
        e.vt = 2;
        e.k = 2;
        e.lane = lane_no(1, 2);
        e.t = 123;
        e.t10 = 1235;
        e.tr = 123.5f;
        e.w0 = kNotWaiting;
        for (int k = 1; k <= kClasses; ++k) {
            s.set1.trefrq(k, 4) = 50; // own-class weight, percent
            s.set1.trefrq(k, 5) = 10; // other-class weight
            s.link5.turncnt(1, 2, k, 3) = 120;
            s.link5.turncnt(1, 4, k, 3) = 120;
        }
    }
    // The vehicle entered link 1 `lt` s before it leaves.
    void spent(float lt) {
        s.vehicle.arrt(1) = e.tr - lt;
        set_exit_times(s, e);
    }
};

TEST(ExitStatistics, FreeFlowTimeIsTheLeastTimeForSumsButPeriodSumsKeepTheRealTime) {
    struct Case {
        const char* name;
        float       lt;         // s on the link
        float       counted;    // s added to flowt, time_los and the smoothed times
        int         tenths;     // added to the period sums
        int         own, other; // smoothed movement times afterwards, 0.1 s
    };
    const std::vector<Case> cases = {
        // own class: 0.5 x 120 + 0.5 x 10 x counted; others 0.9 x 120 + 0.1 x 10 x counted
        {"faster than free flow", 8.0f, 10.0f, 80, 110, 118},
        {"slower than free flow", 14.0f, 14.0f, 140, 130, 122},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Leaving r;
        r.spent(c.lt);
        r.s.link1.stops(1, 2) = 1.5f;
        exit_counts(r.s, r.e);
        DetectorMarker marker;
        exit_flows(r.s, r.e, marker);
        EXPECT_NEAR(r.s.delay.flowt(1), c.counted, 1e-4f);
        EXPECT_NEAR(r.s.delay.flowt2(1), c.counted * c.counted, 1e-2f);
        EXPECT_NEAR(r.s.los.time_los(1), c.counted, 1e-4f);
        EXPECT_FLOAT_EQ(r.s.los.flow_los(1), 1.0f);
        EXPECT_EQ(r.s.link1.detper(1, 2, 2), c.tenths);
        EXPECT_EQ(r.s.link1.detper(1, 5, 2), c.tenths);
        EXPECT_EQ(r.s.link1.detper(1, 1, 2), 1);
        EXPECT_EQ(r.s.link1.detper(1, 4, 2), 1);
        EXPECT_EQ(r.s.link5.turncnt(1, 2, 2, 2), c.tenths);
        EXPECT_EQ(r.s.link5.turncnt(1, 4, 2, 2), c.tenths);
        EXPECT_EQ(r.s.link5.turncnt(1, 2, 2, 1), 1);
        EXPECT_EQ(r.s.link5.turncnt(1, 4, 2, 5), 1);
        EXPECT_EQ(r.s.link5.turncnt(1, 2, 2, 3), c.own);
        EXPECT_EQ(r.s.link5.turncnt(1, 4, 2, 3), c.own);
        for (int k : {1, 3, 4, 5}) EXPECT_EQ(r.s.link5.turncnt(1, 2, k, 3), c.other);
        EXPECT_EQ(r.s.link1.flowhis(1, 2, 3), 1);
        EXPECT_EQ(r.s.link1.stphis(1, 3), 150);
        EXPECT_EQ(r.s.link3.otflwt(1, 2), 123400);
        EXPECT_EQ(r.s.link3.lotfl(r.e.lane, 1), 123400);
        EXPECT_EQ(r.s.link1.flow(1), 1);
        EXPECT_FLOAT_EQ(r.s.link1.outflw(1, 2), 90.0f);
        EXPECT_EQ(r.s.lanexch.lstveh(r.e.lane, 5), 10);
    }
}

// The learned weaving controller counts exits by class only under its state
// definition 4, which is the one that reads them.
TEST(ExitStatistics, ClassExitCountsOnlyForTheWeavingStateByClass) {
    for (const int definition : {0, 1, 2, 3, 4}) {
        Leaving r;
        r.spent(12.0f);
        r.s.shql.shql_fmt = definition;
        exit_counts(r.s, r.e);
        exit_counts(r.s, r.e);
        EXPECT_EQ(r.s.shql.flowvt(1, 2), definition == 4 ? 2 : 0) << definition;
        EXPECT_EQ(r.s.shql.flowvt(1, 1), 0) << definition;
    }
}

TEST(ExitStatistics, WaitingWeightGrowsWithTheWaitAndDoublesPastACycle) {
    struct Case {
        const char* name;
        int         w0;            // waiting start, s; the vehicle leaves at 123 s
        int         signal;        // tsignal of link 1
        int         projected_ago; // t - wait(vid, 3), s
        float       w;
    };
    const float             root11 = std::sqrt(11.0f); // 20 s at 1800 veh/h: 1 + 1800 x 20 / 3600
    const std::vector<Case> cases = {
        {"never waited", kNotWaiting, 0, 0, 1.0f},
        {"shorter than one saturation headway (2 s)", 122, 0, 0, 1.0f},
        {"20 s at 1800 veh/h", 103, 0, 0, root11},
        {"long waits are capped at 5", -77, 0, 0, 5.0f},
        {"signal cycle shorter than the time since arrival", 103, 7, 70, 2.0f * root11},
        {"signal cycle as long", 103, 7, 60, root11},
        {"stop sign", 103, kStopSignCode, 70, root11},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Leaving r;
        r.e.tr = 123.0f;
        r.e.t = 123;
        r.e.w0 = c.w0;
        r.s.link3.tsignal(1) = c.signal;
        r.s.signal.cycle(7) = 60.0f;
        r.s.vehicle.wait(r.e.vid, 3) = r.e.t - c.projected_ago;
        EXPECT_NEAR(approach_weight(r.s, r.e), c.w, 1e-5f);
    }
}

TEST(ExitStatistics, ApproachFlowGoesToThePhaseSlotOfTheIndication) {
    struct Case {
        int   indication;
        int   slot; // 0 = none
        float add;  // pcu/h for a weight of 1 and 1.5 pcu
    };
    const std::vector<Case> cases = {
        {2, 2, 10.8f}, {-3, 3, 10.8f}, {5, 1, 21.6f}, {0, 0, 0.0f}, {6, 0, 0.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE("indication " + std::to_string(c.indication));
        Leaving r;
        r.spent(12.0f);
        r.s.vehicle.pcu(1) = -1.5f;
        r.s.link3.signal(1, 1) = c.indication;
        DetectorMarker marker;
        exit_flows(r.s, r.e, marker);
        for (int g = 1; g <= 4; ++g)
            EXPECT_FLOAT_EQ(r.s.link1.aprflw(r.e.lane, g), g == c.slot ? c.add : 0.0f) << g;
    }
}

TEST(ExitStatistics, CycleBinOfAProjectedArrival) {
    struct Case {
        int c, pa, bin;
    };
    const std::vector<Case> cases = {
        {60, 125, 3}, // second 4 of the cycle, 2 s per bin
        {60, 1, 1},   {60, 60, 30}, {60, 0, 30}, {45, 45, 30}, {45, 1, 1},
        {45, 2, 1},   {45, 3, 2},   {15, 8, 15}, {60, -5, 28},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cycle_bin(c.c, c.pa), c.bin) << "cycle " << c.c << " arrival " << c.pa;

    Leaving r;
    r.spent(12.0f);
    r.s.link3.tsignal(1) = 7;
    r.s.signal.cycle(7) = 60.0f;
    r.s.vehicle.wait(r.e.vid, 3) = 125;
    r.e.t = 131;
    DetectorMarker marker;
    exit_flows(r.s, r.e, marker);
    EXPECT_FLOAT_EQ(r.s.flowprof.cycflw(r.e.lane, 3, 3), 0.75f);
}

TEST(ExitStatistics, UpstreamSignalPassesAlongTheVehicles) {
    struct Case {
        const char* name;
        int         presig, tsignal;
        int         upssig, presig_after;
    };
    const std::vector<Case> cases = {
        {"from a signal onto a stop-sign link", 7, kStopSignCode, 7, 7},
        {"first signal of the trip", 0, 12, 0, 12},
        {"signal to signal, right turns on red", 7, -12, 7, 12},
        {"no control anywhere", 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Leaving r;
        r.spent(12.0f);
        r.s.vehindx.presig(r.e.vid) = c.presig;
        r.s.link3.tsignal(1) = c.tsignal;
        DetectorMarker marker;
        exit_flows(r.s, r.e, marker);
        EXPECT_EQ(r.s.flowprof.upssig(1), c.upssig);
        EXPECT_EQ(r.s.vehindx.presig(r.e.vid), c.presig_after);
    }
}

TEST(ExitStatistics, EcoCostsFollowTheEnergyModel) {
    struct Case {
        const char* name;
        int         model, mode;
        bool        electric;    // engine type of the trip's vehicle type
        float       start, used; // eco(1, 2) before, envir(vid, 1, 2)
        float       eco;
    };
    const std::vector<Case> cases = {
        {"speed model smooths twice", 0, 0, false, 10.0f, 20.0f, 13.6f},
        {"a cost that is not positive becomes its exponential", 0, 0, false, -5.0f, -5.0f,
         std::exp(-5.0f)},
        {"power model, link mode 1: fuel of a fuel vehicle", 1, 1, false, 10.0f, 20.0f, 13.6f},
        {"power model, link mode 1: energy of an electric one", 1, 1, true, 10.0f, 20.0f,
         0.2f * 99.0f + 0.8f * 12.0f},
        {"any other model number is the regression model: smooths twice", 2, 0, false, 10.0f, 20.0f,
         13.6f},
        {"any other model number: a cost not positive becomes its exponential", 2, 0, false, -5.0f,
         -5.0f, std::exp(-5.0f)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Leaving r;
        r.spent(12.0f);
        r.s.kzcpxm_energy.energy_model = c.model;
        r.s.kzcpxm_energy.kzcpxm_link_updating_mode = c.mode;
        r.s.link1.eco(1, 2) = c.start;
        r.s.vehicle.envir(r.e.vid, 1, 2) = c.used;
        r.s.vehicle.envir(r.e.vid, 7, 2) = 99.0f;
        r.s.accid.vehacc(1, 1, 4) = 3.0f;
        r.s.accid.vehacc(1, 2, 4) = 3.0f;
        r.s.link1.stops(1, 2) = 2.0f;
        r.s.vehper.engine_type(1) = c.electric ? 3 : 1;
        exit_trip_sums(r.s, r.e);
        EXPECT_NEAR(r.s.link1.eco(1, 2), c.eco, 1e-4f);
        EXPECT_FLOAT_EQ(r.s.vehicle.envir(r.e.vid, 1, 2), 0.0f);
        EXPECT_FLOAT_EQ(r.s.vehicle.envir(r.e.vid, 7, 2), 0.0f);
        EXPECT_FLOAT_EQ(r.s.accid.vehacc(1, 1, 4), 0.0f);
        EXPECT_FLOAT_EQ(r.s.accid.vehacc(1, 2, 4), 3.0f) << "the trip total stays";
        EXPECT_FLOAT_EQ(r.s.link1.stops(1, 2), 0.0f);
    }
}

TEST(ExitStatistics, PowerModelLinkSumsAndPerClassCosts) {
    Leaving r;
    r.spent(12.0f);
    auto& ke = r.s.kzcpxm_energy;
    ke.energy_model = 1;
    ke.kzcpxm_link_updating_mode = 0;
    // Type 1 (looked up for class 1): a battery-electric car of 1000 kg.
    r.s.vehper.vehmass(1) = 1000.0f;
    r.s.vehper.frntarea(1) = 2.0f;
    r.s.vehper.dragcoef(1) = 0.3f;
    r.s.vehper.engine_type(1) = 3;
    const float sums[8] = {1000.0f, 0.0f, 50.0f, 0.0f, 0.0f, 10.0f, 2000.0f, 0.0f};
    for (int k = 1; k <= 8; ++k) ke.veh_vsp_param(r.e.vid, k) = sums[k - 1];
    exit_trip_sums(r.s, r.e);
    // First exit: the vehicle's sums are taken as they are, the time as the eighth.
    for (int k = 1; k <= 7; ++k) EXPECT_FLOAT_EQ(ke.vsp_param(1, k), sums[k - 1]) << k;
    EXPECT_FLOAT_EQ(ke.vsp_param(1, 8), 12.0f);
    EXPECT_FLOAT_EQ(ke.vsp_param_avr(1, 3), 50.0f);
    EXPECT_EQ(ke.vsp_update_cnt(1), 1);
    // a = 2 x 0.3 x 1225.6 / (1000 x 25.92 x 3600 x 0.9) = 8.7563e-6;
    // f = 1000 x (2000 a + 50 + 1000 a + 10) / 3600 = 16.674; eco = 0.2 f.
    EXPECT_NEAR(r.s.link1.eco(1, 1), 3.3348f, 2e-4f);
    EXPECT_FLOAT_EQ(r.s.link1.eco(1, 2), 1.0f) << "the trip's class: 0 fuel becomes exp(0)";
    for (int k = 3; k <= 5; ++k)
        EXPECT_FLOAT_EQ(r.s.link1.eco(1, k), 0.0f) << "types without mass give no estimate";
    for (int k = 1; k <= 8; ++k) EXPECT_FLOAT_EQ(ke.veh_vsp_param(r.e.vid, k), 0.0f);

    // Second exit: the link sums are smoothed 0.2 new + 0.8 old and averaged.
    for (int k = 1; k <= 8; ++k) ke.veh_vsp_param(r.e.vid, k) = 2.0f * sums[k - 1];
    exit_trip_sums(r.s, r.e);
    EXPECT_FLOAT_EQ(ke.vsp_param(1, 3), 60.0f);
    EXPECT_FLOAT_EQ(ke.vsp_param_avr(1, 3), 55.0f);
    EXPECT_EQ(ke.vsp_update_cnt(1), 2);
}

} // namespace
} // namespace velm
