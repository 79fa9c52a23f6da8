// Time-to-collision statistics: when the projection finds a conflict, its
// weight and bins, the segment of the link it counts on, the per-trip and
// network sums, and what reaches the travel grid.
#include "core/model/codes.h"
#include "core/reports/reports.h"

#include "movement/movement_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velm {
namespace {

using testing_movement::MoveRun;

// One vehicle (trip 9) on a 1-km link with 7-m jam spacing (threshold
// 3.5 m), drawn inside a 10-km travel grid.
struct Collision : ::testing::Test {
    MoveRun r;
    Sim&    s = r.s;
    int     vid = 0;
    void    SetUp() override {
        r.link(1, 1, 1.0f, 50, 7.0f);
        s.set2.xmin(1) = s.set2.ymin(1) = 0.0f;
        s.set2.xmax(1) = s.set2.ymax(1) = 10.0f;
        vid = r.place(9, 1, 1, 100.0f);
        s.vehplot.drawn(vid) = 1;
        s.vehplot.xq(vid, 1) = s.vehplot.yq(vid, 1) = 0.55f;
    }
    // Follower at x m and v km/h with acceleration a, leader at xl m and vl km/h.
    void vehicle(float x, float v, float a, float xl, float vl) {
        s.vehplot.dis(vid, 1) = x;
        s.vehplot.spd(vid, 4) = v;
        s.vehicle.vacc(vid, 1) = a;
        s.vehplot.pre_spd(vid, 1) = xl;
        s.vehplot.pre_spd(vid, 2) = vl;
    }
    float grid(int measure) const {
        float sum = 0.0f;
        for (int ix = 1; ix <= kGridCells; ++ix)
            for (int iy = 1; iy <= kGridCells; ++iy) sum += s.plume.travel(ix, iy, measure, 1);
        return sum;
    }
    float counted() const {
        float sum = 0.0f;
        for (int b = 1; b <= kTtcBins; ++b)
            for (int k = 1; k <= kSpeedDiffBins; ++k) sum += s.timcol.fr_tcol(b, k);
        return sum;
    }
};

TEST_F(Collision, ConflictsAreWeightedAndBinnedBySoonnessAndSpeedDifference) {
    const struct {
        const char* what;
        float       gap, v, vl; // m, km/h, km/h
        float       ttc;        // s; 0: no conflict
        int         tbin, sbin;
        float       dv; // m/s
    } cases[] = {
        {"never within the threshold in 10 s", 100.0f, 50.0f, 50.0f, 0.0f, 0, 0, 0.0f},
        {"follower 20 m/s faster, conflict at 0.5 s", 13.4f, 72.0f, 0.0f, 0.5f, 1, 2, 20.0f},
        {"conflict at 10 s", 102.0f, 36.0f, 0.0f, 10.0f, 20, 1, 10.0f},
        {"already within the threshold", 2.0f, 36.0f, 36.0f, 11.0f, 20, 1, 0.0f},
        {"follower slower than its leader", 2.0f, 36.0f, 72.0f, 11.0f, 20, 1, -10.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        s.timcol = mod_timcol{};
        s.plume.travel.zero();
        vehicle(500.0f, c.v, 2.0f, 500.0f + c.gap, c.vl);
        comp_tcol(s, 1);
        const auto& tc = s.timcol;
        EXPECT_FLOAT_EQ(tc.lin_tcol(1, 10, 1), 4.0f); // a^2 on segment 10 either way
        EXPECT_FLOAT_EQ(grid(5), 4.0f);
        const float w = c.ttc > 0.0f ? std::exp(-c.ttc) : 0.0f;
        EXPECT_FLOAT_EQ(tc.lin_tcol(1, 10, 2), w);
        EXPECT_FLOAT_EQ(grid(6), w);
        EXPECT_FLOAT_EQ(counted(), c.ttc > 0.0f ? 1.0f : 0.0f);
        if (c.ttc > 0.0f) {
            EXPECT_EQ(tc.fr_tcol(c.tbin, c.sbin), 1.0f);
        }
        EXPECT_NEAR(tc.veh_tcol(9, 1), w * c.dv * c.dv, 1e-4f);
        EXPECT_EQ(tc.veh_tcol(9, 2), tc.veh_tcol(9, 1));
        EXPECT_EQ(tc.tot_tcol, tc.veh_tcol(9, 1));
    }
}

TEST_F(Collision, PositionsCountOnTheirSegmentHeldToTheLink) {
    const struct {
        float x;
        int   g;
    } cases[] = {{0.0f, 1}, {-30.0f, 1}, {500.0f, 10}, {999.0f, 19}, {1000.0f, 20}, {1500.0f, 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.x);
        s.timcol = mod_timcol{};
        vehicle(c.x, 36.0f, 1.5f, c.x + 1.0f, 36.0f);
        comp_tcol(s, 1);
        EXPECT_FLOAT_EQ(s.timcol.lin_tcol(1, c.g, 1), 2.25f);
        EXPECT_FLOAT_EQ(s.timcol.lin_tcol(1, c.g, 2), std::exp(-11.0f));
    }
}

TEST_F(Collision, UndrawnVehicleAddsNothingToTheTravelGrid) {
    s.vehplot.drawn(vid) = 0;
    s.vehplot.xq(vid, 1) = s.vehplot.yq(vid, 1) = -1.0f;
    vehicle(500.0f, 72.0f, 2.0f, 513.4f, 0.0f);
    comp_tcol(s, 1);
    EXPECT_FLOAT_EQ(s.timcol.lin_tcol(1, 10, 2), std::exp(-0.5f));
    EXPECT_EQ(grid(5), 0.0f);
    EXPECT_EQ(grid(6), 0.0f);
}

TEST_F(Collision, ProjectionWithAccelerationsSeesABrakingLeader) {
    // Same speeds, 20 m apart: constant speeds never close the gap; a leader
    // braking at 4 m/s2 from 15 m/s stops within 4 s and is reached.
    s.vehplot.pre_spd(vid, 3) = -4.0f;
    vehicle(500.0f, 54.0f, 0.0f, 520.0f, 54.0f);
    comp_tcol(s, 1);
    EXPECT_EQ(counted(), 0.0f);
    comp_tcol(s, 2);
    EXPECT_EQ(counted(), 1.0f);
    EXPECT_GT(s.timcol.tot_tcol, 0.0f);
}

} // namespace
} // namespace velm
