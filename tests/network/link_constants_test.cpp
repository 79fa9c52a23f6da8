// Link flow-model constants, vehicle storage and run-time start state.
#include "core/network/network.h"
#include "network_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace velm::testing_network {
namespace {

// One link with the given speeds, flow and density.
void flow_link(Sim& s, int l, float vf, float vc, float qc, float kj, float len = 1.0f,
               int lanes = 1) {
    put_link(s, l, 1, 2, lanes, len);
    s.link4.freespd(l) = vf;
    s.link1.spdvol(l, 4) = vc;
    s.link4.lanesat(l) = qc;
    s.link1.spdvol(l, 5) = kj;
}

// Spacing in km at speed u from the stored constants.
double spacing(const Sim& s, int l, double u) {
    const auto& sv = s.link1.spdvol;
    return double(sv(l, 1)) + double(sv(l, 2)) / (double(sv(l, 7)) - u) + double(sv(l, 3)) * u;
}

TEST(LinkConstants, WorkedExample) {
    NetRun r;
    flow_link(r.s, 1, 100, 80, 2000, 120);
    deflinks(r.s);
    const auto& sv = r.s.link1.spdvol;
    // m = (160 - 100) / 20^2 = 0.15, so c1 = 0.15 c2.
    EXPECT_NEAR(sv(1, 1) / sv(1, 2), 0.15, 1e-6);
    EXPECT_NEAR(spacing(r.s, 1, 0), 1.0 / 120.0, 1e-7);
    EXPECT_NEAR(spacing(r.s, 1, 80), 0.04, 1e-7);
    EXPECT_FLOAT_EQ(sv(1, 6), 2000);
    EXPECT_FLOAT_EQ(sv(1, 7), 100);
    EXPECT_FLOAT_EQ(sv(1, 8), 1);
    EXPECT_NEAR(sv(1, 9), 1000.0 / 120.0, 1e-4);
    EXPECT_FLOAT_EQ(sv(1, 10), 1000);
    EXPECT_FLOAT_EQ(sv(1, 11), 40);
    EXPECT_EQ(r.s.link1.capin(1), 1800);
    EXPECT_EQ(r.s.link1.capout(1), 1800);
    EXPECT_FLOAT_EQ(r.s.delay.fretim(1), 36);
    EXPECT_FLOAT_EQ(r.s.delay.systim(1), 36);
    EXPECT_FLOAT_EQ(r.s.delay.ttlink(1, 5), 36);
    EXPECT_NEAR(r.s.link5.minhd(1, 1), 1000.0 / 120.0, 1e-3);
    EXPECT_FLOAT_EQ(r.s.link5.minhd(1, 2), 1000);
    EXPECT_FLOAT_EQ(r.s.link5.minhd(1, 3), 40);
    EXPECT_FLOAT_EQ(r.s.link5.minhd(1, 4), r.s.link5.minhd(1, 1));
    EXPECT_EQ(r.s.link2.cmaxq(1), 1000);
    EXPECT_EQ(r.s.link4.hrdwal(1), 1000);
}

TEST(LinkConstants, CapacityAtHalfTheFreeSpeedMakesC1Zero) {
    NetRun r;
    flow_link(r.s, 1, 80, 40, 1800, 100);
    deflinks(r.s);
    EXPECT_FLOAT_EQ(r.s.link1.spdvol(1, 1), 0.0f);
    EXPECT_FLOAT_EQ(r.s.link1.spdvol(1, 2), 80.0f / 100.0f);
}

// Over a grid of parameter sets that pass the link checks: the relation
// gives the jam spacing at rest, the capacity spacing at vc, and the flow
// u / h(u) is largest at vc, where it equals the saturation flow.
TEST(LinkConstants, RelationHoldsOverValidParameters) {
    struct Params {
        float vf, vc, qc, kj;
    };
    std::vector<Params> grid;
    for (float vf : {30.0f, 50.0f, 80.0f, 120.0f})
        for (float share : {0.3f, 0.5f, 0.7f, 0.9f})
            for (float qc : {600.0f, 1200.0f, 1900.0f, 2400.0f})
                for (float kjf : {1.2f, 2.0f, 4.0f, 8.0f}) {
                    const float vc = share * vf;
                    const float kc = qc / vc;
                    const float kj = kjf * kc;
                    if (vc >= 1.0f && kj < 250.0f && kj < 10.0f * kc)
                        grid.push_back({vf, vc, qc, kj});
                }
    ASSERT_GT(grid.size(), 100u);
    NetRun r;
    for (std::size_t i = 0; i < grid.size(); ++i)
        flow_link(r.s, static_cast<int>(i) + 1, grid[i].vf, grid[i].vc, grid[i].qc, grid[i].kj);
    deflinks(r.s);
    for (std::size_t i = 0; i < grid.size(); ++i) {
        const auto& p = grid[i];
        const int   l = static_cast<int>(i) + 1;
        SCOPED_TRACE(::testing::Message() << p.vf << " " << p.vc << " " << p.qc << " " << p.kj);
        EXPECT_NEAR(spacing(r.s, l, 0) * p.kj, 1.0, 1e-4);
        const double q = p.vc / spacing(r.s, l, p.vc);
        EXPECT_NEAR(q / p.qc, 1.0, 1e-4);
        for (double du : {-0.1 * p.vc, -0.01 * p.vc, 0.01 * p.vc, 0.1 * p.vc}) {
            const double u = p.vc + du;
            EXPECT_LE(u / spacing(r.s, l, u), q * (1 + 1e-6)) << du;
        }
    }
}

TEST(LinkConstants, StorageAndVehicleListOffsets) {
    NetRun r;
    auto&  s = r.s;
    flow_link(s, 3, 60, 40, 1800, 100, 0.1f);
    flow_link(s, 7, 60, 40, 1800, 100, 0.2f);
    flow_link(s, 9, 60, 40, 1800, 120, 0.5f, 2);
    flow_link(s, 11, 60, 40, 1800, 120, 0.015f);
    deflinks(s);
    EXPECT_EQ(s.link2.amaxq(3), 10);
    EXPECT_EQ(s.link2.amaxq(7), 20);
    EXPECT_EQ(s.link2.amaxq(9), 120);
    EXPECT_EQ(s.link2.amaxq(11), 1); // 1.8 truncated
    EXPECT_EQ(s.link2.nbqu(3), 0);
    EXPECT_EQ(s.link2.nbqu(7), 10);
    EXPECT_EQ(s.link2.nbqu(9), 30);
    EXPECT_EQ(s.link2.nbqu(11), 150);
    EXPECT_EQ(s.link2.amaxq(5), 0); // not in use
    EXPECT_EQ(s.link2.nbqu(5), 0);
    EXPECT_EQ(s.link2.cmaxq(11), 15);
    EXPECT_TRUE(
        has_line(r.summary(), free_line("     - Number Network Vehicle Spots Needed ", 151)));
    EXPECT_TRUE(
        has_line(r.summary(), free_line("     - Total Network Length (km)           ", 0.815f)));
    EXPECT_TRUE(
        has_line(r.summary(), free_line("     - Number Network Vehicle Spots Present", 480000)));
}

TEST(LinkConstants, StorageLimit) {
    for (int extra : {0, 1}) {
        NetRun r;
        // 100 links of 10 km, 2 lanes, 240 veh/km/lane: 4800 spots each.
        for (int l = 1; l <= 100; ++l) flow_link(r.s, l, 100, 50, 2000, 240, 10.0f, 2);
        if (extra) flow_link(r.s, 101, 100, 50, 2000, 100, 0.001f);
        deflinks(r.s);
        EXPECT_EQ(r.s.errcount.errt1, extra);
        EXPECT_EQ(contains(r.log(), " FATAL ERROR: Vehicle Network is too long"), extra == 1);
        if (extra) {
            EXPECT_TRUE(has_line(r.log(), free_line(" minimum vehicle spots needed = ", 480001)));
            const auto by = testing_network::line_after(
                r.log(), free_line(" FATAL ERROR: Vehicle Network is too long"));
            ASSERT_TRUE(by.rfind("  by", 0) == 0) << by;
            EXPECT_NEAR(std::stod(by.substr(4)), 100.0 / 480000.0, 1e-8);
        }
    }
}

TEST(LinkConstants, ControlAtTheLinkEnd) {
    const int codes[][2] = {{10002, kYieldSign}, {10003, kYieldSign}, {10001, kStopSign},
                            {-10001, kStopSign}, {0, kNoControl},     {250, kSignalised},
                            {-12, kSignalised}};
    NetRun    r;
    int       l = 0;
    for (const auto& c : codes) {
        flow_link(r.s, ++l, 60, 40, 1800, 120);
        r.s.link3.tsignal(l) = c[0];
    }
    deflinks(r.s);
    for (int i = 0; i < l; ++i) EXPECT_EQ(r.s.opsgap.stopsign(i + 1), codes[i][1]) << codes[i][0];
}

TEST(LinkConstants, AccumulatorsStartClean) {
    NetRun r;
    auto&  s = r.s;
    flow_link(s, 2, 60, 40, 1800, 120, 0.5f);
    s.link2.ntqu(2) = 5;
    s.link1.flow(2) = 9;
    s.link1.detper(2, 4, 3) = 2;
    s.link1.emis(2, 6, 1) = 1.5f;
    s.link3.signal(2, 1) = 3;
    s.delay.flowt(2) = 8;
    s.set1.tarr = 4;
    s.los.flow_los(2) = 3;
    s.los.time_los(2) = 40;
    s.accid.linkacc(2, 1, 6) = 0.5f;
    s.accid.linkacc(2, 2, 1) = 0.25f;
    for (int k = 1; k <= 10; ++k) s.trees.pre_vol(2, 120, k) = 7.0f;
    deflinks(s);
    EXPECT_FLOAT_EQ(s.los.flow_los(2), 0);
    EXPECT_FLOAT_EQ(s.los.time_los(2), 0);
    EXPECT_FLOAT_EQ(s.accid.linkacc(2, 1, 6), 0);
    EXPECT_FLOAT_EQ(s.accid.linkacc(2, 2, 1), 0);
    // The forecast table: no inflow, the free-flow time, capacities that limit
    // nothing; the other columns belong to the forecast.
    for (int i : {1, 60, 120}) {
        EXPECT_FLOAT_EQ(s.trees.pre_vol(2, i, 1), 0) << i;
        EXPECT_FLOAT_EQ(s.trees.pre_vol(2, i, 2), s.delay.fretim(2)) << i;
        EXPECT_FLOAT_EQ(s.trees.pre_vol(2, i, 5), 50000.0f) << i;
        EXPECT_FLOAT_EQ(s.trees.pre_vol(2, i, 7), 50000.0f) << i;
    }
    EXPECT_FLOAT_EQ(s.trees.pre_vol(2, 120, 3), 7.0f);
    EXPECT_EQ(s.link2.ntqu(2), 0);
    EXPECT_EQ(s.link1.flow(2), 0);
    EXPECT_EQ(s.link1.detper(2, 4, 3), 0);
    EXPECT_FLOAT_EQ(s.link1.emis(2, 6, 1), 0);
    EXPECT_EQ(s.link3.signal(2, 1), 0);
    EXPECT_FLOAT_EQ(s.delay.flowt(2), 0);
    EXPECT_EQ(s.set1.tarr, 0);
    EXPECT_EQ(s.link3.nxtveh(2), kNever);
    EXPECT_FLOAT_EQ(s.link4.laneloss(2, 2), 1.0f);
    // Free-flow time 30 s: smoothed turn times start at 300 tenths of a second.
    EXPECT_EQ(s.link5.turncnt(2, 4, 5, 3), 300);
    EXPECT_EQ(s.link5.turncnt(2, 1, 1, 4), 100);
    EXPECT_EQ(s.link5.turncnt(2, 2, 3, 1), 0);
}

TEST(LinkHistories, MinuteSlotsAreClearedAhead) {
    NetRun r;
    r.s.link2.mlnum = 4; // the histories are kept for links 1..4
    auto& l1 = r.s.link1;
    auto  fill = [&] {
        for (int m = 1; m <= 60; ++m) {
            l1.flowhis(4, 2, m) = 1;
            l1.stphis(4, m) = 1;
            l1.denhis(4, m) = 1;
            l1.timehis(4, 2, m, 1) = 1;
        }
    };
    struct Case {
        int t, slot;
    };
    for (const Case c : {Case{60, 2}, Case{3540, 60}, Case{3600, 1}, Case{7260, 2}}) {
        fill();
        rsflwhis(r.s, c.t);
        for (int m = 1; m <= 60; ++m) {
            EXPECT_EQ(l1.flowhis(4, 2, m), m == c.slot ? 0 : 1) << c.t << " " << m;
            EXPECT_EQ(l1.stphis(4, m), m == c.slot ? 0 : 1) << c.t << " " << m;
            EXPECT_EQ(l1.denhis(4, m), 1);
            EXPECT_EQ(l1.timehis(4, 2, m, 1), 1);
        }
    }
    fill();
    rsflwhis(r.s, 0);
    for (int m = 1; m <= 60; ++m) {
        EXPECT_EQ(l1.flowhis(4, 2, m), 0);
        EXPECT_EQ(l1.stphis(4, m), 0);
        EXPECT_EQ(l1.denhis(4, m), 0);
        EXPECT_EQ(l1.timehis(4, 2, m, 1), 0);
    }
}

} // namespace
} // namespace velm::testing_network
