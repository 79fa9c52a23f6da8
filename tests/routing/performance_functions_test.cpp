// Link performance functions of the assignment: speed at a flow, the time-flow
// integral with its over-capacity term, the signal delay, toll equivalents and
// the objective totals.
#include "core/routing/performance_functions.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>

namespace velm {
namespace {

constexpr float kFs = 60.0f; // km/h

// Links of 1 km, free speed 60 km/h, saturation flow 1800 veh/h/lane and a
// speed independent of flow (c1 = c2 = c3 = 0) unless a test sets others.
struct Links : ::testing::Test {
    std::unique_ptr<Sim> sim = std::make_unique<Sim>();
    Sim&                 s = *sim;
    void                 SetUp() override {
        s.link2.mlnum = 3;
        for (int l = 1; l <= 3; ++l) {
                            s.link1.nulans(l) = 2;
                            s.link1.spdvol(l, 6) = 1800.0f;
                            s.link1.spdvol(l, 7) = kFs;
                            s.link1.spdvol(l, 8) = 1.0f;
                            s.link4.llength(l) = 1.0f;
        }
    }
    // Signal 4 with a 90-s cycle and phase 1 green from 0 to `green` s,
    // controlling link l through its first phase slot.
    void signal(int l, float green) {
        s.link3.tsignal(l) = 4;
        s.signal.cycle(4) = 90.0f;
        s.signal.phstr(4, 1, 1) = 0.0f;
        s.signal.phstr(4, 1, 2) = green;
        s.link3.phase(l, 1, 1) = 1;
    }
    float link_time(int l, float flow) {
        float h = 0, o1 = 0, o2 = 0, o3 = 0;
        esttim2(s, l, flow, h, o1, o2, o3);
        return h * 3600.0f;
    }
};

TEST_F(Links, SpeedAtFlowLiesOnTheSpeedSpacingCurve) {
    const float c1 = 0.007f, c2 = 0.1f, c3 = 0.0001f;
    const auto  spacing = [&](float u) { return c1 + c2 / (kFs - u) + c3 * u; };
    float       sp = 0.0f, last = kFs + 1.0f;
    spd_vol(s, 0.0f, kFs, c1, c2, c3, sp);
    EXPECT_FLOAT_EQ(sp, kFs);
    for (float x : {200.0f, 600.0f, 1000.0f, 1400.0f}) {
        SCOPED_TRACE(x);
        spd_vol(s, x, kFs, c1, c2, c3, sp);
        EXPECT_NEAR(sp / spacing(sp), x, 0.5f); // flow = speed / spacing
        EXPECT_LT(sp, last);                    // the uncongested branch: slower with more flow
        last = sp;
    }
    // Just beyond the largest flow of the curve: the speed of its vertex, a
    // point of the curve near capacity.
    float qmax = 0.0f;
    for (float u = 0.5f; u < kFs; u += 0.01f) qmax = std::max(qmax, u / spacing(u));
    spd_vol(s, 1.05f * qmax, kFs, c1, c2, c3, sp);
    EXPECT_GT(sp, 0.0f);
    EXPECT_LT(sp, last);
    EXPECT_LE(sp / spacing(sp), qmax + 0.5f);
    EXPECT_GT(sp / spacing(sp), 0.9f * qmax);
    // No steady state at all (flow x spacing term >= 1): no speed.
    spd_vol(s, 20000.0f, kFs, c1, c2, c3, sp);
    EXPECT_EQ(sp, 0.0f);
}

TEST_F(Links, ZeroFlowTimeIsFreeFlowPlusTheUniformDelay) {
    struct Case {
        float green; // s of a 90-s cycle; < 0: no signal
        float time;  // s
    };
    const std::vector<Case> cases = {
        {-1.0f, 60.0f},                 // unsignalised: no delay term
        {45.0f, 60.0f + 45.0f * 0.25f}, // y = 0.5: (C/2)(1 - y)^2
        {90.0f, 60.0f},                 // green throughout
        {0.0f, 60.0f + 45.0f},          // never served: C/2
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.green);
        SetUp();
        s.link3.tsignal(1) = 0;
        if (c.green >= 0.0f) signal(1, c.green);
        float h = 0, o1 = 1, o2 = 1, o3 = 1;
        esttim2(s, 1, 0.0f, h, o1, o2, o3);
        EXPECT_NEAR(h * 3600.0f, c.time, 1e-3f);
        EXPECT_EQ(o1, 0.0f);
        EXPECT_EQ(o2, 0.0f);
        EXPECT_EQ(o3, 0.0f);
    }
    // A signal the current plan does not code counts as no signal.
    signal(2, 45.0f);
    s.signal.cycle(4) = -1.0f;
    EXPECT_NEAR(link_time(2, 0.0f), 60.0f, 1e-3f);
    EXPECT_NEAR(link_time(2, 1000.0f), 60.0f, 1e-3f);
}

TEST_F(Links, OverCapacityFlowEntersTheQueueingTerm) {
    float integral = 0, t = 0, sp = 0;
    // Twice the capacity on a lane without a signal: the curve up to 1800
    // veh/h at 1/60 h, then T e / 2 / c = 0.25 * 1800 / 2 / 1800 = 0.125 h more.
    intspdvol(s, 3600.0f, 1800.0f, 1.0f, kFs, 0, 0, 0, 1.0f, integral, t, sp, 0.25f);
    EXPECT_NEAR(t, 60.0f + 450.0f, 1e-2f);
    EXPECT_NEAR(integral, 1800.0f / 60.0f + (2.0f / 60.0f + 0.125f) / 2.0f * 1800.0f, 1e-2f);
    // Below capacity the time is the curve's alone.
    intspdvol(s, 900.0f, 1800.0f, 1.0f, kFs, 0, 0, 0, 1.0f, integral, t, sp, 0.25f);
    EXPECT_NEAR(t, 60.0f, 1e-3f);
    EXPECT_NEAR(integral, 900.0f / 60.0f, 1e-3f);
    // Almost no effective capacity: the time stops at 100 times the curve time.
    intspdvol(s, 900.0f, 1800.0f, 0.001f, kFs, 0, 0, 0, 1.0f, integral, t, sp, 0.25f);
    EXPECT_NEAR(t, 6000.0f, 1e-1f);
    // No flow: the free-flow time and nothing to integrate.
    intspdvol(s, 0.0f, 1800.0f, 1.0f, kFs, 0, 0, 0, 1.0f, integral, t, sp, 0.25f);
    EXPECT_NEAR(t, 60.0f, 1e-3f);
    EXPECT_EQ(integral, 0.0f);
}

TEST_F(Links, LinkTimesTollsAndObjectives) {
    Array2<float> vol("vol", kMaxLinks, kClasses), tt("tt", kMaxLinks, kClasses),
        tolls("tolls", kMaxLinks, kClasses);
    Array1<float> obj("obj", 3);
    vol(1, 1) = 300.0f;
    vol(1, 2) = 300.0f;
    vol(2, 1) = 1200.0f;
    s.link1.spdvol(3, 8) = 0.0f; // a link without length keeps what it had
    tt(3, 1) = 77.0f;
    // A toll of 1 on link 1 for every class during 0..600 s.
    auto& tp = s.tolplaz;
    tp.ntolrat = tp.mtolrat = 1;
    tp.tollnk(1) = 1;
    tp.toltyp(1) = 1;
    tp.toltim(1, 1) = 0;
    tp.toltim(1, 2) = 600;
    for (int vt = 1; vt <= kClasses; ++vt) tp.tolrat(1, vt) = 1.0f;
    tp.sectol(1, 1) = 10.0f;
    tp.sectol(1, 2) = 0.2f;
    tp.sectol(2, 1) = 0.0f; // no value of time: the toll is not turned into time
    esttim(s, 3, vol, tt, tolls, obj, 0.5f, 0, 300);

    const float e1 = 3600.0f * std::sqrt(1.04f) / 10.0f; // 1 / (10 / sqrt(1.04)) h
    EXPECT_NEAR(tt(1, 1), 60.0f + e1, 1e-2f);
    EXPECT_NEAR(tt(1, 2), 60.0f, 1e-3f);
    EXPECT_EQ(tolls(1, 1), 1.0f);
    EXPECT_EQ(tolls(1, 2), 1.0f);
    EXPECT_NEAR(tt(2, 1), 60.0f, 1e-3f);
    EXPECT_EQ(tolls(2, 1), 0.0f);
    EXPECT_EQ(tt(3, 1), 77.0f);
    // Objective 3 is vehicle-km per hour; 1 and 2 vehicle-hours per hour with
    // the toll time of the tolled class.
    EXPECT_NEAR(obj(3), 600.0f + 1200.0f, 1e-2f);
    EXPECT_NEAR(obj(2), 1800.0f / 60.0f + 300.0f * e1 / 3600.0f, 1e-3f);
    EXPECT_NEAR(obj(1), obj(2), 1e-3f); // flat curve: the integral equals time x flow
    EXPECT_NEAR(s.assigns.asscap(1), 3600.0f, 1e-3f);
}

TEST_F(Links, IncidentsLeaveEveryLaneOpenToTheAssignment) {
    s.link4.laneloss(2, 2) = 0.5f;
    s.link4.laneloss(9, 2) = 0.5f;
    incid2(s, 0, 300, s.link1.nulans);
    EXPECT_EQ(s.link4.laneloss(1, 2), 1.0f);
    EXPECT_EQ(s.link4.laneloss(3, 2), 1.0f);
    EXPECT_EQ(s.link4.laneloss(9, 2), 0.0f);
}

} // namespace
} // namespace velm
