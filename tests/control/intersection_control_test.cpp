// Distributed intersection control: the reader and its refusals, the option
// evaluation (start time, release times, delays), the choice, the signal
// plan and the speed advisories of a decision.
#include "control/harmonisation_support.h"
#include "core/control/control.h"
#include "core/control/intersection_control.h"
#include "movement/movement_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

using testing_control::error_code;
using testing_movement::MoveRun;

constexpr float kUf = 50.0f;    // free speed of every approach, km/h
constexpr float kCycle = 60.0f; // cycle of signal 1, s
constexpr int   kN = 1;         // the intersection (and its signal)

// Intersection 1: approaches 1 to 4 (links 1 to 4, 500 m, three lanes, free speed 50 km/h, 1800
// veh/h/lane: headway 2 s), departures links 5 to 8; signal 1 of four phases, cycle 60 s.
struct DivcRun : MoveRun {
    int next_car = 0;

    DivcRun() {
        s.units.open_write(kUnitSummary, "summary.out");
        for (int l = 1; l <= 9; ++l) {
            link(l, 3, 0.5f, 200);
            s.link1.spdvol(l, 6) = 1800.0f;
            s.link1.spdvol(l, 7) = kUf;
        }
        s.signal.cycle(kN) = kCycle;
        s.signal.phases(kN) = 4;
    }
    // "input_divc.dat": header and records.
    void file(const std::string& header, const std::string& records) {
        s.units.put_file("input_divc.dat", "divc test\n" + header + "\n" + records);
        rd_divc(s);
    }
    // Clearing 4, 3, 5 s for kinds 1, 2, 3; interval 10 s.
    void standard(int obj = 1) {
        file("1 1 " + std::to_string(obj), "1  1 2 3 4  5 6 7 8  4 3 5  10\n");
    }
    // A vehicle on approach a bound for link next, in `lane`, f s from the
    // stop line at free speed. Returns its trip.
    int vehicle(int a, int next, int lane, float f) {
        const int car = ++next_car;
        const int vid = place(car, a, lane, 500.0f - f * kUf / 3.6f);
        s.vehicle.nxtlnk(vid, 1) = next;
        return car;
    }
    // Movement v (1..12) of approach (v - 1)/3 + 1: its departure link.
    static int departure(int v) {
        const int a = (v - 1) / 3 + 1, d = (v - 1) % 3 + 1;
        const int m = a + d > 4 ? a + d - 4 : a + d;
        return 4 + m;
    }
    int vehicle_of(int v, int lane, float f) {
        return vehicle((v - 1) / 3 + 1, departure(v), lane, f);
    }
    float advice(int car) const { return s.divc.divcspd(car, 1); }
    int   advised_link(int car) const { return static_cast<int>(s.divc.divcspd(car, 2)); }
    // Planned (start, end of green, end of intergreen) of phase p.
    std::vector<float> plan(int p) const {
        return {s.signal.phstr(kN, p, 1), s.signal.phstr(kN, p, 2), s.signal.phstr(kN, p, 3)};
    }
    // The phase that holds the whole cycle, the ones before it none and the
    // ones after it starting at the cycle's end; 0 when the plan is not so.
    int green_phase() const {
        const std::vector<float> none{0, 0, 0}, whole{0, kCycle, kCycle},
            after{kCycle, kCycle, kCycle};
        int g = 0;
        for (int p = 1; p <= 4 && g == 0; ++p)
            if (plan(p) == whole) g = p;
        for (int p = 1; p <= 4 && g != 0; ++p)
            if (p != g && plan(p) != (p < g ? none : after)) return 0;
        return g;
    }
};

// The worked case: A movement 2 at 3 s; B and C movement 5 in lane 1 at 2
// and 4 s.
TEST(IntersectionControl, WorkedCaseOptionsAndChoice) {
    DivcRun r;
    r.standard();
    const int a = r.vehicle_of(2, 2, 3.0f);
    const int b = r.vehicle_of(5, 1, 2.0f);
    const int c = r.vehicle_of(5, 1, 4.0f);
    fun_divc(r.s, 0);

    // Each option's start and delay over the list the decision made.
    DivcEarliest t2imin;
    t2imin.fill(1000.0f);
    t2imin[2] = 3.0f;
    t2imin[5] = 2.0f;
    const struct {
        int   j;
        float start, delay;
    } options[] = {{1, 8.0f, 12.0f}, {3, 7.0f, 4.0f}, {2, 1004.0f, 0.0f}, {4, 1004.0f, 0.0f}};
    for (const auto& o : options) {
        float              tdelay = 0, tstart = 0;
        std::vector<float> sched;
        divc_evaluate(r.s, divc_option(o.j), t2imin, kN, false, tdelay, tstart, sched);
        EXPECT_NEAR(tstart, o.start, 1e-4f) << "option " << o.j;
        if (o.j == 2 || o.j == 4)
            EXPECT_GT(tdelay, 1000.0f) << "option " << o.j;
        else
            EXPECT_NEAR(tdelay, o.delay, 1e-4f) << "option " << o.j;
    }

    // Option 3 wins: phase 3 gets the cycle, 1 and 2 nothing, 4 starts at its end.
    EXPECT_EQ(r.plan(3), (std::vector<float>{0, kCycle, kCycle}));
    EXPECT_EQ(r.plan(1), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(r.plan(2), (std::vector<float>{0, 0, 0}));
    EXPECT_EQ(r.plan(4), (std::vector<float>{kCycle, kCycle, kCycle}));
    EXPECT_NEAR(r.advice(a), 3.0f * kUf / 7.0f, 1e-3f);
    EXPECT_NEAR(r.advice(b), kUf, 1e-3f);
    EXPECT_NEAR(r.advice(c), kUf, 1e-3f);
    EXPECT_EQ(r.advised_link(a), 1);
    EXPECT_EQ(r.advised_link(b), 2);
    EXPECT_NEAR(r.s.divc.divctim(kN), 7.0f, 1e-4f) << "next decision at the option's start";
}

TEST(IntersectionControl, ChoiceEdgeCases) {
    { // Equal delays: the lower option. A (movement 2) and D (movement 5)
        // both at 3 s: each option delays the other by 5 s.
        DivcRun r;
        r.standard();
        r.vehicle_of(2, 1, 3.0f);
        r.vehicle_of(5, 1, 3.0f);
        fun_divc(r.s, 0);
        EXPECT_EQ(r.green_phase(), 1);
    }
    { // No vehicle: option 1, and the next decision after the interval.
        DivcRun r;
        r.standard();
        fun_divc(r.s, 50);
        EXPECT_EQ(r.green_phase(), 1);
        EXPECT_FLOAT_EQ(r.s.divc.divctim(kN), 10.0f);
        fun_divc(r.s, 99);
        EXPECT_FLOAT_EQ(r.s.divc.divctim(kN), 10.0f) << "no decision before its time";
        fun_divc(r.s, 100);
        EXPECT_FLOAT_EQ(r.s.divc.divctim(kN), 20.0f);
    }
    { // Served movements win when the others wait less: B and C of
        // movement 5 early, A late.
        DivcRun r;
        r.standard();
        r.vehicle_of(2, 1, 30.0f);
        r.vehicle_of(5, 1, 2.0f);
        r.vehicle_of(11, 1, 3.0f);
        fun_divc(r.s, 0);
        EXPECT_EQ(r.green_phase(), 3);
    }
}

// Release times of a conflicting movement: option 1 starts at 5 s (movement
// 2 at 0 s, clearing 5 s); movement 5 in lane 1 at 1, 8 and 8.5 s.
TEST(IntersectionControl, ReleaseOneHeadwayAfterThePreviousRelease) {
    DivcRun r;
    r.standard();
    r.vehicle_of(2, 1, 0.0f);
    const int early = r.vehicle_of(5, 1, 1.0f);
    const int later = r.vehicle_of(5, 1, 8.0f);
    const int third = r.vehicle_of(5, 1, 8.5f);
    const int other_lane = r.vehicle_of(5, 2, 1.5f);
    r.s.divc.obj_divc = 1;
    fun_divc(r.s, 0);
    const auto&  list = r.s.divc.list;
    DivcEarliest t2imin;
    t2imin.fill(1000.0f);
    t2imin[2] = 0.0f;
    t2imin[5] = 1.0f;
    float              tdelay = 0, tstart = 0;
    std::vector<float> sched;
    divc_evaluate(r.s, divc_option(1), t2imin, kN, false, tdelay, tstart, sched);
    EXPECT_NEAR(tstart, 5.0f, 1e-4f);
    auto at = [&](int car) {
        for (std::size_t k = 0; k < list.size(); ++k)
            if (list[k].car == car) return sched[k];
        return -99.0f;
    };
    EXPECT_NEAR(at(early), 5.0f, 1e-4f);      // waits for the start
    EXPECT_NEAR(at(later), 8.0f, 1e-4f);      // later than its release 7: keeps its time
    EXPECT_NEAR(at(third), 9.0f, 1e-4f);      // 7 + 2, not 8 + 2
    EXPECT_NEAR(at(other_lane), 5.0f, 1e-4f); // its own lane's release
    EXPECT_NEAR(tdelay, 4.0f + 0.5f + 3.5f, 1e-3f);
}

TEST(IntersectionControl, ClearingTimeEvaluationAdvisesServedOnlyTheirFreeSpeed) {
    DivcRun r;
    r.standard(2);
    const int a = r.vehicle_of(2, 2, 3.0f);
    const int b = r.vehicle_of(5, 1, 2.0f);
    const int c = r.vehicle_of(5, 1, 4.0f);
    fun_divc(r.s, 0);
    // Option 1: B and C wait, 5 s each (kind 3); option 3: A waits, 5 s.
    EXPECT_EQ(r.green_phase(), 3);
    EXPECT_EQ(r.advice(b), kUf);
    EXPECT_EQ(r.advice(c), kUf);
    EXPECT_NEAR(r.advice(a), 3.0f * kUf / 7.0f, 1e-3f);
}

// A vehicle of the served option 20 m from the line keeps its free speed; one
// that has to wait that close is told to stop.
TEST(IntersectionControl, NearTheLineOnlyWaitingVehiclesStop) {
    DivcRun r;
    r.standard();
    const float f20 = 20.0f / (kUf / 3.6f), f25 = 25.0f / (kUf / 3.6f);
    const int   served = r.vehicle_of(5, 1, f20);
    r.vehicle_of(5, 1, 4.0f);
    const int waiting = r.vehicle_of(2, 1, f25);
    fun_divc(r.s, 0);
    ASSERT_EQ(r.green_phase(), 3);
    EXPECT_NEAR(r.advice(served), kUf, 1e-3f);
    EXPECT_EQ(r.advice(waiting), 0.0f);
}

TEST(IntersectionControl, VehiclesWithoutAValidMovementAreNotListed) {
    DivcRun r;
    r.standard();
    const int listed = r.vehicle(1, 7, 1, 3.0f);
    const int u_turn = r.vehicle(1, 5, 1, 3.0f); // its own approach's departure
    const int ending = r.vehicle(1, 0, 1, 3.0f); // trip ends on the approach
    const int elsewhere = r.vehicle(1, 9, 1, 3.0f);
    fun_divc(r.s, 0);
    ASSERT_EQ(r.s.divc.list.size(), 1u);
    EXPECT_EQ(r.s.divc.list[0].car, listed);
    EXPECT_EQ(r.s.divc.list[0].move, 2);
    for (const int car : {u_turn, ending, elsewhere}) EXPECT_EQ(r.advised_link(car), 0) << car;

    // An approach whose free speed a schedule has brought to 0 has no
    // free-flow times: its vehicles are not listed.
    const int stopped = r.vehicle(2, 8, 1, 3.0f);
    r.s.link1.spdvol(2, 7) = 0.0f;
    fun_divc(r.s, 100);
    ASSERT_EQ(r.s.divc.list.size(), 1u);
    EXPECT_EQ(r.advised_link(stopped), 0);
}

TEST(IntersectionControl, ReaderRefusesBadRecordsAndKeepsEarlierOnes) {
    const std::string good = "1  1 2 3 4  5 6 7 8  4 3 5  10\n";
    const struct {
        const char* what;
        std::string header, second;
        long        code;
    } cases[] = {
        {"undefined link", "2 1 1", "2  1 2 3 44  5 6 7 8  4 3 5  10\n", 639040},
        {"undefined departure", "2 1 1", "2  1 2 3 4  5 6 7 55  4 3 5  10\n", 639040},
        {"number above 500", "2 1 1", "501  1 2 3 4  5 6 7 8  4 3 5  10\n", 639030},
        {"number 0", "2 1 1", "0  1 2 3 4  5 6 7 8  4 3 5  10\n", 639030},
        {"repeated number", "2 1 1", "1  1 2 3 4  5 6 7 8  4 3 5  10\n", 639030},
        {"fewer records than the header", "3 1 1", "2  1 2 3 4  5 6 7 8  4 3 5  10\n", 639020},
        {"short record", "2 1 1", "2  1 2 3 4  5 6\n", 639020},
        {"text", "2 1 1", "2  1 2 x 4  5 6 7 8  4 3 5  10\n", 639020},
        {"no saturation flow", "2 1 1", "2  9 2 3 4  5 6 7 8  4 3 5  10\n", 639050},
        {"signal of three phases", "2 1 1", "2  1 2 3 4  5 6 7 8  4 3 5  10\n", 639060},
    };
    for (const auto& c : cases) {
        DivcRun r;
        r.s.link1.spdvol(9, 6) = 0.0f;
        r.s.signal.cycle(2) = kCycle;
        r.s.signal.phases(2) = std::string(c.what) == "signal of three phases" ? 3 : 4;
        r.file(c.header, good + c.second);
        EXPECT_EQ(error_code(r.log(), "input_divc.dat"), c.code) << c.what;
        EXPECT_NE(r.summary().find("     - No DI Vehicle Control file input"), std::string::npos)
            << c.what;
        EXPECT_EQ(r.s.divc.defined(1), 1) << c.what << ": the earlier record stays";
        if (c.header != "3 1 1") {
            EXPECT_EQ(r.s.divc.defined(2), 0) << c.what;
        }
        r.vehicle_of(5, 1, 2.0f);
        fun_divc(r.s, 0);
        EXPECT_EQ(r.green_phase(), 3) << c.what << ": the earlier intersection decides";
    }
    { // Too many intersections in the header.
        DivcRun r;
        r.file("501 1 1", good);
        EXPECT_EQ(error_code(r.log(), "input_divc.dat"), 639010);
        EXPECT_EQ(r.s.divc.fmt_divc, 0);
    }
    { // A whole file: echoes and no error.
        DivcRun r;
        r.standard();
        EXPECT_EQ(error_code(r.log(), "input_divc.dat"), -1);
        const std::string sum = r.summary();
        EXPECT_NE(sum.find(" 39. Distributed Intersection Vehicle Control - inputs  "),
                  std::string::npos);
        EXPECT_NE(sum.find("  - Input of DIVC file complete "), std::string::npos);
        EXPECT_FLOAT_EQ(r.s.divc.divchway(kN, 1), 2.0f);
    }
}

// Records name their intersection: one record for intersection 7 decides
// signal 7, and no other signal's plan changes.
TEST(IntersectionControl, TheIntersectionsOfTheRecordsAreDecided) {
    DivcRun r;
    r.s.signal.cycle(7) = kCycle;
    r.s.signal.phases(7) = 4;
    r.file("1 1 1", "7  1 2 3 4  5 6 7 8  4 3 5  10\n");
    r.vehicle_of(5, 1, 2.0f);
    fun_divc(r.s, 0);
    EXPECT_EQ(r.s.signal.phstr(7, 3, 2), kCycle);
    EXPECT_EQ(r.s.signal.phstr(7, 4, 1), kCycle);
    EXPECT_EQ(r.s.signal.phstr(kN, 3, 2), 0.0f) << "signal 1 has no record";
    EXPECT_NEAR(r.s.divc.divctim(7), 7.0f, 1e-4f);
}

TEST(IntersectionControl, OtherEvaluationCodeChangesNothing) {
    DivcRun r;
    r.standard(3);
    EXPECT_NE(r.summary().find("neither 1 nor 2"), std::string::npos);
    for (int p = 1; p <= 4; ++p) r.s.signal.phstr(kN, p, 2) = 15.0f * static_cast<float>(p);
    const int car = r.vehicle_of(5, 1, 2.0f);
    fun_divc(r.s, 0);
    for (int p = 1; p <= 4; ++p)
        EXPECT_EQ(r.s.signal.phstr(kN, p, 2), 15.0f * static_cast<float>(p));
    EXPECT_EQ(r.advised_link(car), 0);
}

TEST(IntersectionControl, ListStopsAtItsLimitWithOneLogLine) {
    DivcRun r;
    r.link(10, 7, 5.0f, kDivcListMax + 10);
    r.s.link1.spdvol(10, 6) = 1800.0f;
    r.s.link1.spdvol(10, 7) = kUf;
    r.file("1 1 1", "1  10 2 3 4  5 6 7 8  4 3 5  0\n");
    for (int i = 0; i <= kDivcListMax; ++i)
        r.vehicle(10, 7, 1 + i % 7, 1.0f + 0.001f * static_cast<float>(i));
    fun_divc(r.s, 0);
    EXPECT_EQ(static_cast<int>(r.s.divc.list.size()), kDivcListMax);
    fun_divc(r.s, 1);
    const std::string log = r.log();
    EXPECT_NE(log.find("639070"), std::string::npos);
    EXPECT_EQ(log.find("639070"), log.rfind("639070")) << "one line per intersection and run";
}

} // namespace
} // namespace velm
