// Stop-line decisions: the stop code as the sum of its reasons, the amber
// decision, the waiting clocks and the full stop at stop signs and before
// turns on red, and gap acceptance as the last word for a lane head.
#include "movement_fixture.h"

#include "core/control/control.h"
#include "core/movement/lane_decisions.h"
#include "core/movement/stop_line.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>
#include <vector>

namespace velm {
namespace {

using testing_movement::MoveRun;

constexpr float kEast = 0.0f;
constexpr float kNorth = 90.0f;
constexpr float kSouth = 270.0f;

// Approach 1 runs east (500 m, one lane) into 2 (straight on, east), 3 (left,
// north) or 4 (right, south); 5 runs south into 4 and may oppose approach 1.
// Signal 1 has a 60 s cycle with offset 10 s: phase 1 green 0..27, amber to
// 30, serving approach 1; phase 2 from 30 to 60.
struct StopRun : MoveRun {
    static constexpr float kLenM = 500.0f;

    StopRun() {
        const float heading[] = {0, kEast, kEast, kNorth, kSouth, kSouth};
        for (int l = 1; l <= 5; ++l) {
            link(l, 1, kLenM / 1000.0f);
            s.graph1.ang(l) = heading[l];
            show(l, 6, 111, 11111);
        }
        s.link1.spdvol(1, 4) = 50.0f;
        s.link1.spdvol(1, 7) = 60.0f;
        auto& sg = s.signal;
        sg.msignal = 1;
        sg.cycle(1) = 60.0f;
        sg.offset(1) = 10.0f;
        sg.phases(1) = 2;
        const float times[3][4] = {{}, {0, 0, 27, 30}, {0, 30, 57, 60}};
        for (int ph = 1; ph <= 2; ++ph)
            for (int k = 1; k <= 3; ++k) sg.phend(1, ph, k) = sg.phstr(1, ph, k) = times[ph][k];
        s.link3.phase(1, 1, 1) = 1;
        s.link3.phase(1, 1, 2) = 111;
        s.link3.phase(1, 1, 3) = 11111;
    }

    void show(int l, int ind, int moves, int lanes) {
        s.link3.signal(l, 1) = ind;
        s.link3.signal(l, 2) = moves;
        s.link3.signal(l, 3) = lanes;
    }

    // Trip car in lane 1 of link l at pos m and kmh, bound for link next.
    int veh(int car, int l, float pos, float kmh, int next) {
        const int vid = place(car, l, 1, pos);
        s.vehplot.spd(vid, 1) = s.vehplot.spd(vid, 4) = kmh;
        s.vehicle.nxtlnk(vid, 1) = next;
        s.oddat.vlan(vid, 2) = 1;
        s.oddat.vtyp(car) = 1;
        s.vehicle.pcu(car) = 1.0f;
        s.vehicle.wait(vid, 1) = kNotWaiting;
        s.vehicle.dept(car) = 100000.0f; // far from the link end
        return vid;
    }

    // The pass state of trip car on approach 1, as the lane-decision pass
    // hands it over; `placed` vehicles already stand ahead in its lane.
    LanePass pass(int car, int t10, int placed = 0) const {
        LanePass p;
        p.nl = 1;
        p.len = kLenM;
        p.numlans = 1;
        p.spdcap = s.link1.spdvol(1, 4);
        p.frespd = s.link1.spdvol(1, 7);
        p.sig = std::abs(s.link3.tsignal(1));
        p.ph = p.sig >= 1 && p.sig <= kMaxSignals ? s.signal.sigstat(p.sig, 1) : 0;
        p.car = car;
        p.vid = vid(car);
        p.vt = s.oddat.vtyp(car);
        p.lane1 = s.oddat.vlan(p.vid, 1);
        p.vinlan[p.lane1] = placed;
        p.dnew = s.vehplot.dis(p.vid, 1);
        p.remdis = kLenM - p.dnew;
        p.remtim = s.vehicle.dept(car) - static_cast<float>(t10) / 10.0f;
        p.spd = s.vehplot.spd(p.vid, 4);
        p.ldest = s.vehicle.nxtlnk(p.vid, 1);
        return p;
    }

    // Stop code and threshold of trip car this tick.
    std::pair<int, int> decide(int car, int t10, int placed = 0) {
        LanePass p = pass(car, t10, placed);
        stop_line_decision(s, p, t10);
        return {p.stopcode, p.stopthr};
    }

    // Puts a head on approach 5 reaching its end in `lead` s (from t10),
    // straight on into 4, opposing approach 1 with a 4 s critical gap.
    void opposing_head(int car, int t10, float lead) {
        s.link1.opslin(1, 1) = 5;
        s.link1.opsgap(1, 1) = 400;
        s.link1.opsgap(1, 2) = 12000;
        veh(car, 5, 480.0f, 50.0f, 4);
        s.link2.fvehlan(lane_no(5, 1)) = car;
        s.vehicle.dept(car) = static_cast<float>(t10) / 10.0f + lead;
    }
};

struct CodeCase {
    const char* name;
    int         ind, moves, lanes; // indication of approach 1
    int         tsignal;           // its control code
    int         control;           // stopsign
    int         next;              // next link
    int         vt;
    int         eco; // eco-driving flag of the class on the link
    int         rmp; // ramp-meter indication
    int         code, thr;
};

TEST(StopLine, TheStopCodeIsTheSumOfItsReasons) {
    const int      s_sig = kSignalised;
    const int      s_stop = kStopSign;
    const CodeCase cases[] = {
        {"red, straight on", 0, 0, 0, 1, s_sig, 2, 1, 0, 0, 100, 0},
        {"red, the trip ends here", 0, 0, 0, 1, s_sig, -1, 1, 0, 0, 10, 0},
        // Eco advice shapes the approach only: the advised class keeps every reason.
        {"red, trip ends, eco-driving class", 0, 0, 0, 1, s_sig, -1, 1, 1, 0, 10, 0},
        {"red, straight on, eco-driving class", 0, 0, 0, 1, s_sig, 2, 1, 1, 0, 100, 0},
        {"red, right turn, turns on red allowed", 0, 0, 0, -1, s_sig, 4, 1, 0, 0, 4000, 1},
        {"red, right turn, no turn on red", 0, 0, 0, 1, s_sig, 4, 1, 0, 0, 100, 0},
        {"green, left turn not in the phase", 1, 11, 11111, 1, s_sig, 3, 1, 0, 0, 20000, 0},
        {"green, left turn in the phase", 1, 111, 11111, 1, s_sig, 3, 1, 0, 0, 0, 0},
        {"green, right turn not in the phase", 1, 110, 11111, 1, s_sig, 4, 1, 0, 0, 10000, 0},
        {"green, right not in the phase, turns on red allowed", 1, 110, 11111, -1, s_sig, 4, 1, 0,
         0, 4000, 1},
        {"green, through not in the phase", 1, 101, 11111, 1, s_sig, 2, 1, 0, 0, 1000, 0},
        {"unknown next link counts as straight on", 1, 101, 11111, 1, s_sig, kNextUnknown, 1, 0, 0,
         1000, 0},
        {"unknown next link is no right turn", 1, 110, 11111, 1, s_sig, kNextUnknown, 1, 0, 0, 0,
         0},
        {"green, class 2 not in the phase", 2, 111, 10111, 1, s_sig, 2, 2, 0, 0, 100000, 0},
        {"green, class 2 not in the phase, eco-driving class", 2, 111, 10111, 1, s_sig, 2, 2, 1, 0,
         100000, 0},
        {"no signal", 6, 111, 11111, 0, 0, 2, 1, 0, 0, 0, 0},
        {"stop sign, no full stop yet", 6, 111, 11111, 10001, s_stop, 2, 1, 0, 0, 3000, 1},
        {"ramp red replaces the red light", 0, 0, 0, 1, s_sig, 2, 1, 0, 2, 1, 0},
        {"ramp red, the stop sign is still owed", 6, 111, 11111, 10001, s_stop, 2, 1, 0, 2, 3001,
         1},
        {"ramp red, the turn on red is still owed", 0, 0, 0, -1, s_sig, 4, 1, 0, 2, 4001, 1},
        {"ramp green", 6, 111, 11111, 0, 0, 2, 1, 0, 1, 0, 0},
    };
    for (const auto& c : cases) {
        StopRun r;
        r.show(1, c.ind, c.moves, c.lanes);
        r.s.link3.tsignal(1) = c.tsignal;
        r.s.opsgap.stopsign(1) = c.control;
        r.s.rmpmeter.rmpset(1) = c.rmp;
        r.veh(1, 1, 300.0f, 30.0f, c.next);
        r.s.oddat.vtyp(1) = c.vt;
        r.s.ecodrive.eco_flag(1, c.vt) = c.eco;
        const auto [code, thr] = r.decide(1, 1000);
        EXPECT_EQ(code, c.code) << c.name;
        EXPECT_EQ(thr, c.thr) << c.name;
    }
}

TEST(StopLine, AmberStopsOnlyVehiclesThatCannotReachTheLineBeforeItEnds) {
    // At t = 38 s the cycle position is 28 s (offset 10): 2 s of amber left.
    struct Case {
        const char* name;
        float       kmh, remdis;
        int         next;
        int         code, thr;
    };
    const Case cases[] = {
        {"30 m at 36 km/h: 3 s away", 36.0f, 30.0f, 2, kStopAmber, kStopThresholdAmber},
        {"30 m at 72 km/h: 1.5 s away", 72.0f, 30.0f, 2, 0, 0},
        {"15 m at 36 km/h: 1.5 s away", 36.0f, 15.0f, 2, 0, 0},
        {"standing 3 m back counts 1 km/h", 0.0f, 3.0f, 2, kStopAmber, kStopThresholdAmber},
        {"a right turner stops too", 36.0f, 30.0f, 4, kStopAmber, kStopThresholdAmber},
        {"a left turner clears on amber", 36.0f, 30.0f, 3, 0, 0},
    };
    for (const auto& c : cases) {
        StopRun r;
        r.s.link3.tsignal(1) = 1;
        r.s.control.t10 = 380;
        setsignal1(r.s);
        setsignal2(r.s);
        ASSERT_EQ(r.s.link3.signal(1, 1), 5) << "approach 1 shows its last amber";
        r.veh(1, 1, StopRun::kLenM - c.remdis, c.kmh, c.next);
        const auto [code, thr] = r.decide(1, 380);
        EXPECT_EQ(code, c.code) << c.name;
        EXPECT_EQ(thr, c.thr) << c.name;
    }
}

TEST(StopLine, AmberOfASignalWithoutAUsableCycleHoldsNobody) {
    for (const float cycle : {0.0f, -1.0f}) {
        StopRun r;
        r.s.link3.tsignal(1) = 1;
        r.s.signal.sigstat(1, 1) = 1;
        r.s.signal.cycle(1) = cycle;
        r.show(1, 5, 111, 11111);
        r.veh(1, 1, 490.0f, 36.0f, 2);
        EXPECT_EQ(r.decide(1, 380).first, 0) << "cycle " << cycle;
    }
}

TEST(StopLine, WaitingThresholdIsTenOrAQuarterOfASlowSpeedAtCapacity) {
    struct Case {
        float spdcap, thr;
    };
    const Case cases[] = {
        {80.0f, 10.0f}, {41.0f, 10.0f}, {40.0f, 10.0f}, {32.0f, 8.0f}, {20.0f, 5.0f}};
    for (const auto& c : cases) EXPECT_FLOAT_EQ(waiting_threshold(c.spdcap), c.thr) << c.spdcap;

    // The clock of the last fast moment follows it.
    StopRun r;
    r.s.link1.spdvol(1, 4) = 32.0f;
    const int vid = r.veh(1, 1, 300.0f, 9.0f, 2);
    r.decide(1, 500);
    EXPECT_EQ(r.s.vehicle.wait(vid, 2), 50);
    r.s.vehplot.spd(vid, 4) = 7.0f;
    r.decide(1, 600);
    EXPECT_EQ(r.s.vehicle.wait(vid, 2), 50);
}

TEST(StopLine, WaitingStartsForASlowLaneHeadAndRedKeepsRestartingIt) {
    struct Case {
        const char* name;
        float       kmh;
        int         placed; // vehicles already placed ahead in its lane
        int         ind;    // indication
        int         tsignal;
        int         next;
        int         since; // waiting start before the tick
        int         after; // ... and after it (t = 60)
    };
    const Case cases[] = {
        {"slow lane head starts", 4.0f, 0, 1, 1, 2, kNotWaiting, 60},
        {"a faster lane head does not", 5.0f, 0, 1, 1, 2, kNotWaiting, kNotWaiting},
        {"a slow follower does not", 0.0f, 1, 1, 1, 2, kNotWaiting, kNotWaiting},
        {"red restarts the clock", 0.0f, 0, 0, 1, 2, 50, 60},
        {"green keeps it", 0.0f, 0, 1, 1, 2, 50, 50},
        {"a turn on red keeps it", 0.0f, 0, 0, -1, 4, 50, 50},
    };
    for (const auto& c : cases) {
        StopRun r;
        r.show(1, c.ind, c.ind == 0 ? 0 : 111, c.ind == 0 ? 0 : 11111);
        r.s.link3.tsignal(1) = c.tsignal;
        const int vid = r.veh(1, 1, 300.0f, c.kmh, c.next);
        r.s.vehicle.wait(vid, 1) = c.since;
        r.decide(1, 600, c.placed);
        EXPECT_EQ(r.s.vehicle.wait(vid, 1), c.after) << c.name;
    }
}

// Runs the lane-decision pass from t10 = first on a standing lane head at a
// stop sign; returns the first tick whose stored stop code is 0 (-1 never).
int first_free_tick(int switch32, int first, int last, std::vector<int>& held_codes) {
    StopRun r;
    r.s.errflg.errchk[32] = switch32;
    r.s.link3.tsignal(1) = kStopSignCode;
    r.s.opsgap.stopsign(1) = kStopSign;
    setsignal2(r.s);
    const int vid = r.veh(1, 1, StopRun::kLenM - 2.0f, 0.0f, kTripEndsHere);
    r.s.vehicle.dept(1) = 0.0f;
    // A one-link path: the look-ahead finds the trip ends here.
    r.s.vehtre.vehtre(1, 1) = 1;
    r.s.vehtre.tre_ind(1, 1) = 1;
    r.s.vehtre.tre_ind(1, 2) = 1;
    r.s.vehtre.tre_ind(1, 4) = 1;
    for (int t10 = first; t10 <= last; ++t10) {
        r.s.control.t10 = t10;
        vehpos5(r.s, t10);
        if (r.s.oddat.vsigstp(vid, 1) == 0) return t10;
        held_codes.push_back(r.s.oddat.vsigstp(vid, 1) * 10 + r.s.oddat.vsigstp(vid, 2));
    }
    return -1;
}

TEST(StopLine, AStopSignHoldsTheLaneHeadForItsStandingTime) {
    // The head stops at t = 10.0 s; its waiting clock counts whole seconds,
    // so a standing time of 3.5 s frees it at t = 14 s.
    struct Case {
        int switch32, free_at;
    };
    const Case cases[] = {{0, 140}, {-2, 140}, {2, 120}, {6, 160}};
    for (const auto& c : cases) {
        std::vector<int> held;
        EXPECT_EQ(first_free_tick(c.switch32, 100, 200, held), c.free_at) << c.switch32;
        for (const int h : held) EXPECT_EQ(h, kStopSignNotStopped * 10 + kStopThresholdFullStop);
    }
}

TEST(StopLine, AfterTheFullStopOnlyARefusedGapHoldsAStopSign) {
    StopRun r;
    r.s.link3.tsignal(1) = kStopSignCode;
    r.s.opsgap.stopsign(1) = kStopSign;
    const int vid = r.veh(1, 1, StopRun::kLenM - 1.0f, 0.0f, 2);
    r.s.vehicle.dept(1) = 0.0f;
    EXPECT_EQ(r.decide(1, 100), std::make_pair(kStopSignNotStopped, kStopThresholdFullStop));
    EXPECT_EQ(r.s.vehicle.wait(vid, 1), 10);
    EXPECT_EQ(r.decide(1, 140), std::make_pair(0, 0));

    // A main-road vehicle on 5 half a second away: the minor road waits.
    r.opposing_head(50, 150, 0.5f);
    EXPECT_EQ(r.decide(1, 150), std::make_pair(kStopGapRefused, 0));
    // While still owing the stop, both reasons add and the gap sets the threshold.
    StopRun f;
    f.s.link3.tsignal(1) = kStopSignCode;
    f.s.opsgap.stopsign(1) = kStopSign;
    f.veh(1, 1, StopRun::kLenM - 1.0f, 0.0f, 2);
    f.s.vehicle.dept(1) = 0.0f;
    f.opposing_head(50, 100, 0.5f);
    EXPECT_EQ(f.decide(1, 100), std::make_pair(kStopSignNotStopped + kStopGapRefused, 0));
    // Not a lane head, or still more than 10 s out: no gap is checked.
    EXPECT_EQ(f.decide(1, 101, 1).first, kStopSignNotStopped);
    f.s.vehicle.dept(1) = 30.0f;
    EXPECT_EQ(f.decide(1, 102).first, kStopSignNotStopped);
}

TEST(StopLine, ATurnOnRedStopsFirstThenTakesItsGap) {
    StopRun r;
    r.show(1, 0, 0, 0);
    r.s.link3.tsignal(1) = -1;
    r.s.opsgap.stopsign(1) = kSignalised;
    r.veh(1, 1, StopRun::kLenM - 1.0f, 0.0f, 4);
    r.s.vehicle.dept(1) = 0.0f;
    for (int t10 = 100; t10 < 140; t10 += 5)
        EXPECT_EQ(r.decide(1, t10), std::make_pair(kStopTurnOnRedNotStopped, 1)) << t10;
    EXPECT_EQ(r.decide(1, 140).first, 0);

    // The green stream on 5 merges into the same lane of 4 half a second away.
    r.show(5, 1, 111, 11111);
    r.s.opsgap.stopsign(5) = kSignalised;
    r.opposing_head(50, 150, 0.5f);
    EXPECT_EQ(r.decide(1, 150), std::make_pair(kStopGapRefused, 0));
    // Behind a red ramp meter the gap is still checked.
    r.s.rmpmeter.rmpset(1) = 2;
    EXPECT_EQ(r.decide(1, 150).first, kStopRampRed + kStopGapRefused);
}

} // namespace
} // namespace velm
