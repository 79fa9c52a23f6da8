// Demand synthesis from land use: generation, gravity distribution, mode
// split, peak spreading and the demand records, on a 3-zone district whose
// zone-to-zone times are filled in directly.
#include "core/demand/demand.h"
#include "demand_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing::contains;
using testing::DemandSim;

// Zones 1..3 are coded, zone 4 is not (no coordinates) though it has land
// use. Land use 1 (homes) produces one trip per unit, land use 2 (jobs)
// attracts one; slice 1 carries the whole rate, slice 2 nothing, slice 3 a
// hundredth. Each coded zone is the centroid of its own macro zone.
//
//   zone   homes  jobs      times (s), mean over the classes
//   1      100    0         1->2 100, 1->3 200
//   2      50     60        2->1 100, 2->3 100
//   3      0      90        3->1 200, 3->2 100; within a zone none (no path)
struct District : DemandSim {
    District() {
        auto& g = s.graph1;
        for (int z = 1; z <= 3; ++z) g.x(z) = static_cast<float>(z);
        s.set2.mzones = 4;
        g.macrzon(1) = -1;
        g.macrzon(2) = -2;
        g.macrzon(3) = -3;
        g.mazn(1) = 1;
        g.mazn(2) = 2;
        g.mazn(3) = 3;
        auto& lu = s.landuse;
        lu.landuse(1, 1) = 100.0f;
        lu.landuse(2, 1) = 50.0f;
        lu.landuse(2, 2) = 60.0f;
        lu.landuse(3, 2) = 90.0f;
        lu.landuse(4, 1) = 100.0f;
        lu.landuse(4, 2) = 100.0f;
        lu.ntrplnd = 2;
        lu.ntrpslc = 3;
        lu.dtrpslc = 3600;
        lu.ranfac = 0.3f;
        lu.trprat1(1, 1) = 1.0f;
        lu.trprat1(2, 2) = 1.0f;
        const float shares[3] = {1.0f, 0.0f, 0.01f};
        for (int sl = 1; sl <= 3; ++sl) {
            lu.trprat2(1, 1, sl) = shares[sl - 1];
            lu.trprat2(2, 2, sl) = shares[sl - 1];
        }
        s.feedback.size_odtime(4, 3);
        const int base[4][4] = {{0, 100, 200, 0}, {100, 0, 100, 0}, {200, 100, 0, 0}, {0, 0, 0, 0}};
        for (int i = 1; i <= 4; ++i)
            for (int j = 1; j <= 4; ++j)
                for (int sl = 1; sl <= kMaxTripSlices; ++sl)
                    for (int vt = 1; vt <= kClasses; ++vt) {
                        const int b = base[i - 1][j - 1];
                        // Classes differ, their mean is the base time.
                        s.feedback.odtime(i, j, vt, sl) = b > 0 ? b + 10 * (vt - 3) : 0;
                    }
    }
    void synthesise() {
        trp_gen(s);
        trp_dis(s);
        mod_shf(s);
        peaksprd(s);
        genfile4(s);
    }
};

// The distributed trips of slice 1, by hand from the gravity model: pass 1
// with k = 1, a = b = 1 gives T1 = P A / c; k scales pass 2 to the mean of
// the totals (150 and 150 over 153); passes 2 and 3 each update a and b.
struct HandDistribution {
    double t12, t13, t22, t23;
    HandDistribution() {
        const double t1_12 = 100.0 * 60 / 100, t1_13 = 100.0 * 90 / 200, t1_22 = 50.0 * 60 / 1000,
                     t1_23 = 50.0 * 90 / 100;
        const double k = 150.0 / (t1_12 + t1_13 + t1_22 + t1_23);
        // After pass 2 (T = k T1): a = P / R, b = A / C.
        double a1 = 100 / (k * (t1_12 + t1_13)), a2 = 50 / (k * (t1_22 + t1_23));
        double b2 = 60 / (k * (t1_12 + t1_22)), b3 = 90 / (k * (t1_13 + t1_23));
        // After pass 3.
        const double p12 = k * a1 * b2 * t1_12, p13 = k * a1 * b3 * t1_13,
                     p22 = k * a2 * b2 * t1_22, p23 = k * a2 * b3 * t1_23;
        a1 *= 100 / (p12 + p13);
        a2 *= 50 / (p22 + p23);
        b2 *= 60 / (p12 + p22);
        b3 *= 90 / (p13 + p23);
        // Pass 4.
        t12 = k * a1 * b2 * t1_12;
        t13 = k * a1 * b3 * t1_13;
        t22 = k * a2 * b2 * t1_22;
        t23 = k * a2 * b3 * t1_23;
    }
    double total() const { return t12 + t13 + t22 + t23; }
};

void expect_near_rel(double actual, double expected, const char* what) {
    EXPECT_NEAR(actual, expected, 1e-5 * std::max(1.0, std::fabs(expected))) << what;
}

TEST(DemandSynthesis, GenerationPerZoneAndSlice) {
    District d;
    auto&    g = d.s.graph1;
    g.macrzon(1) = 3; // zone 1 leaves its own macro zone for zone 3's
    g.mazn(1) = 0;
    trp_gen(d.s);
    const auto& lu = d.s.landuse;
    EXPECT_FLOAT_EQ(lu.trp_com(1, 1, 1, 1), 100.0f);
    EXPECT_FLOAT_EQ(lu.trp_com(2, 2, 2, 1), 60.0f);
    EXPECT_FLOAT_EQ(lu.trp_com(2, 2, 1, 1), 0.0f);
    EXPECT_FLOAT_EQ(lu.trp_pro(2, 1, 1), 50.0f);
    EXPECT_FLOAT_EQ(lu.trp_pro(3, 2, 3), 0.9f);
    EXPECT_FLOAT_EQ(lu.trp_pro(1, 1, 2), 0.0f);
    // A zone without coordinates generates nothing.
    EXPECT_FLOAT_EQ(lu.trp_pro(4, 1, 1), 0.0f);
    EXPECT_FLOAT_EQ(lu.trp_pro(4, 2, 1), 0.0f);
    // Trees: for producing zones and for zone 3, which only attracts; and for
    // the centroids of their macro zones.
    const auto& tr = d.s.oddat.treereq;
    EXPECT_EQ(tr(1, 1), 1);
    EXPECT_EQ(tr(2, 1), 1);
    EXPECT_EQ(tr(3, 1), 1);
    EXPECT_EQ(tr(4, 1), 0);
    EXPECT_EQ(tr(1, 2), 0);
    EXPECT_EQ(tr(2, 2), 1);
    EXPECT_EQ(tr(3, 2), 1);
}

TEST(DemandSynthesis, DestinationTakesTheTimeTowardItsMacroZone) {
    District d;
    auto&    lu = d.s.landuse;
    auto&    odtime = d.s.feedback.odtime;
    d.s.graph1.macrzon(3) = 2; // zone 3 now lies in macro zone 2
    d.s.graph1.mazn(3) = 0;
    lu.size_synthesis(4);
    lu.trp_sum(1, 1) = 10.0f;
    lu.trp_mat(1, 3, 1, 1, 1) = 10.0f;
    d.s.modshf.timcof = -0.01f;
    // Toward macro zone 2 the classes take 100 s apart; column 3 would make
    // them equal.
    for (int vt = 1; vt <= kClasses; ++vt) {
        odtime(1, 2, vt, 1) = 100 * vt;
        odtime(1, 3, vt, 1) = 100;
    }
    mod_shf(d.s);
    double sum = 0;
    for (int vt = 1; vt <= kClasses; ++vt) sum += std::exp(-1.0 * vt);
    for (int vt = 1; vt <= kClasses; ++vt)
        expect_near_rel(lu.trp_mat(1, 3, 1, vt, 2), 10 * std::exp(-1.0 * vt) / sum, "share");
}

TEST(DemandSynthesis, GravityDistributionWithTwoBalancingUpdates) {
    District d;
    trp_gen(d.s);
    trp_dis(d.s);
    const auto&            lu = d.s.landuse;
    const HandDistribution h;
    expect_near_rel(lu.trp_mat(1, 2, 1, 1, 1), h.t12, "1->2");
    expect_near_rel(lu.trp_mat(1, 3, 1, 1, 1), h.t13, "1->3");
    expect_near_rel(lu.trp_mat(2, 2, 1, 1, 1), h.t22, "2->2, within the zone");
    expect_near_rel(lu.trp_mat(2, 3, 1, 1, 1), h.t23, "2->3");
    EXPECT_FLOAT_EQ(lu.trp_mat(1, 1, 1, 1, 1), 0.0f);
    EXPECT_FLOAT_EQ(lu.trp_mat(3, 2, 1, 1, 1), 0.0f);
    // No convergence: the rows miss their productions by what two updates leave.
    EXPECT_GT(std::fabs(lu.trp_mat(1, 2, 1, 1, 1) + lu.trp_mat(1, 3, 1, 1, 1) - 100.0f), 0.1f);
    // Intrazonal trips count in the slice total.
    expect_near_rel(lu.trp_sum(1, 1), h.total(), "slice 1");
    // A slice without productions distributes nothing; slice 3 is slice 1 at
    // a hundredth (the model is homogeneous in its productions and attractions).
    EXPECT_FLOAT_EQ(lu.trp_sum(2, 1), 0.0f);
    expect_near_rel(lu.trp_sum(3, 1), 0.01 * h.total(), "slice 3");
    expect_near_rel(lu.sum_od(2, 3), 1.01 * h.t23, "2->3 over the slices");
    expect_near_rel(lu.tottrp, 1.01 * h.total(), "all slices");
}

TEST(DemandSynthesis, ChainWithoutModeSplitFileGivesEvenShares) {
    District d;
    d.s.modshf.reset();                                 // no "mod_shf.dat"
    d.put_record(7, 5, 6, 100.0f, 0.0f, 0.0f, 3600.0f); // a record of the demand file
    d.synthesise();
    const auto&            lu = d.s.landuse;
    const auto&            od = d.s.oddat;
    const HandDistribution h;
    // Whole trips only, each class a fifth; within a zone nothing.
    const double n12 = std::floor(h.t12), n13 = std::floor(h.t13), n23 = std::floor(h.t23);
    for (int vt = 1; vt <= kClasses; ++vt) {
        expect_near_rel(lu.trp_mat(1, 2, 1, vt, 2), 0.2 * n12, "1->2 class share");
        expect_near_rel(lu.trp_tot(2, 3, vt), 0.2 * n23, "2->3 class total");
        EXPECT_FLOAT_EQ(lu.trp_tot(2, 2, vt), 0.0f);
        // Slice 3 holds fractions of a trip only: no mode-split trips.
        EXPECT_FLOAT_EQ(lu.trp_mat(1, 2, 3, vt, 2), 0.0f);
        // Even spreading over the three slices.
        for (int sl = 1; sl <= 3; ++sl)
            expect_near_rel(lu.trp_mat(1, 3, sl, vt, 3), 0.2 * n13 / 3, "1->3 spread");
    }
    expect_near_rel(lu.trp_slc(2, 3, 2), n23 / 3, "2->3 departing in slice 2");

    // Records: slices 1 and 3 (slice 2 distributed nothing, though trips
    // were spread into it), pairs in origin then destination order.
    struct Rec {
        int    o, d;
        double trips;
        float  start, end;
    };
    const Rec expected[] = {{1, 2, n12 / 3, 0, 3600},     {1, 3, n13 / 3, 0, 3600},
                            {2, 3, n23 / 3, 0, 3600},     {1, 2, n12 / 3, 7200, 10800},
                            {1, 3, n13 / 3, 7200, 10800}, {2, 3, n23 / 3, 7200, 10800}};
    ASSERT_EQ(od.maodp, 6);
    EXPECT_EQ(od.numodp, 6);
    EXPECT_EQ(od.lodp, 6);
    EXPECT_EQ(od.fodp, 1);
    EXPECT_EQ(od.fodt, 0);
    EXPECT_EQ(od.lodt, 999999);
    EXPECT_EQ(od.max_od_time, 10800);
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE(n);
        const Rec& e = expected[n - 1];
        EXPECT_EQ(od.o(n), e.o);
        EXPECT_EQ(od.d(n), e.d);
        expect_near_rel(od.numod(n), e.trips, "numod");
        EXPECT_FLOAT_EQ(od.demstr(n), e.start);
        EXPECT_FLOAT_EQ(od.demend(n), e.end);
        EXPECT_FLOAT_EQ(od.rand(n), 0.3f);
        EXPECT_EQ(od.vehper1(n), 1);
        EXPECT_FLOAT_EQ(od.vehocc(n), 1.0f);
        EXPECT_FLOAT_EQ(od.veheq(n), 1.0f);
        EXPECT_FLOAT_EQ(od.profr(n), 0.0f);
        for (int vt = 1; vt <= kClasses; ++vt) {
            EXPECT_NEAR(od.kvtyp(n, vt, 1), 0.2f, 1e-6f);
            EXPECT_NEAR(od.kvtyp(n, vt, 2), 0.2f * static_cast<float>(vt), 1e-6f);
            EXPECT_EQ(od.odcol(n, vt), 2);
        }
        EXPECT_EQ(od.kvtyp(n, kClasses, 2), 1.0f);
    }
    // The demand file's record is gone.
    EXPECT_EQ(od.o(7), -1);
}

TEST(DemandSynthesis, ModeSplitIsALogitOverTheClasses) {
    District d;
    trp_gen(d.s);
    trp_dis(d.s);
    auto& lu = d.s.landuse;
    auto& m = d.s.modshf;
    // Constants favour class 2; time counts against the slower classes.
    const float con[kClasses] = {0.0f, 0.5f, -0.5f, 0.0f, -1.0f};
    for (int vt = 1; vt <= kClasses; ++vt) m.modcon(vt, 1) = con[vt - 1];
    m.timcof = -0.01f;
    lu.trp_mat(1, 3, 1, 1, 1) = 0.8f; // a fraction of a trip: nothing
    mod_shf(d.s);

    const HandDistribution h;
    double                 e[kClasses], sum = 0;
    for (int vt = 1; vt <= kClasses; ++vt) {
        const int time = 100 + 10 * (vt - 3); // 1->2
        e[vt - 1] = std::exp(con[vt - 1] - 0.01 * time);
        sum += e[vt - 1];
    }
    for (int vt = 1; vt <= kClasses; ++vt) {
        SCOPED_TRACE(vt);
        const double share = e[vt - 1] / sum;
        expect_near_rel(lu.trp_mat(1, 2, 1, vt, 2), share * std::floor(h.t12), "1->2");
        expect_near_rel(lu.trp_tot(1, 2, vt), share * std::floor(h.t12), "1->2 total");
        EXPECT_FLOAT_EQ(lu.trp_tot(1, 3, vt), 0.0f);
    }

    // Utilities far below zero still give shares that sum to the trips.
    m.timcof = -2.0f; // -200 .. -240 per pair: single-precision exp would underflow
    mod_shf(d.s);
    double total = 0;
    for (int vt = 1; vt <= kClasses; ++vt) {
        EXPECT_TRUE(std::isfinite(lu.trp_tot(2, 3, vt)));
        total += lu.trp_tot(2, 3, vt);
    }
    expect_near_rel(total, std::floor(h.t23), "2->3 under extreme utilities");
    EXPECT_GT(lu.trp_tot(2, 3, 1), lu.trp_tot(2, 3, 2)); // the fastest class takes most
}

TEST(DemandSynthesis, PeakSpreadingOverDepartureSlices) {
    District d;
    auto&    lu = d.s.landuse;
    auto&    m = d.s.modshf;
    lu.ntrpslc = 2;
    lu.size_synthesis(4);
    // Class 1 wants slice 1 (10 trips); class 2 totals 0.9 (not spread);
    // class 3 has 1.0 exactly, in slice 2.
    lu.trp_mat(1, 2, 1, 1, 2) = 10.0f;
    lu.trp_tot(1, 2, 1) = 10.0f;
    lu.trp_mat(1, 2, 1, 2, 2) = 0.9f;
    lu.trp_tot(1, 2, 2) = 0.9f;
    lu.trp_mat(1, 2, 2, 3, 2) = 1.0f;
    lu.trp_tot(1, 2, 3) = 1.0f;
    // Shifting by one slice (3600 s) costs 3.6 for class 1; class 3 also
    // weighs the slice's time, 100 s longer in slice 2.
    m.modcon(1, 3) = -0.001f;
    m.modcon(3, 2) = -0.01f;
    for (int vt = 1; vt <= kClasses; ++vt) d.s.feedback.odtime(1, 2, vt, 2) += 100;
    peaksprd(d.s);

    const double keep = 1 / (1 + std::exp(-3.6));
    expect_near_rel(lu.trp_mat(1, 2, 1, 1, 3), 10 * keep, "class 1 stays");
    expect_near_rel(lu.trp_mat(1, 2, 2, 1, 3), 10 * (1 - keep), "class 1 shifts");
    EXPECT_FLOAT_EQ(lu.trp_mat(1, 2, 1, 2, 3), 0.0f);
    EXPECT_FLOAT_EQ(lu.trp_mat(1, 2, 2, 2, 3), 0.0f);
    // Class 3: times 100 (slice 1) and 200 (slice 2), no schedule cost.
    const double to1 = std::exp(-1.0) / (std::exp(-1.0) + std::exp(-2.0));
    expect_near_rel(lu.trp_mat(1, 2, 1, 3, 3), to1, "class 3 to slice 1");
    expect_near_rel(lu.trp_slc(1, 2, 1), 10 * keep + to1, "slice 1 departures");
    expect_near_rel(lu.trp_slc(1, 2, 2), 10 * (1 - keep) + (1 - to1), "slice 2 departures");

    // Utilities far below -36000 still spread the trips, to the best slice.
    District far;
    far.s.landuse.ntrpslc = 2;
    far.s.landuse.size_synthesis(4);
    far.s.landuse.trp_mat(1, 2, 1, 1, 2) = 5.0f;
    far.s.landuse.trp_tot(1, 2, 1) = 5.0f;
    far.s.modshf.modcon(1, 2) = -1000.0f; // times 80 and 180 s: -80000, -180000
    far.s.feedback.odtime(1, 2, 1, 2) += 100;
    peaksprd(far.s);
    EXPECT_FLOAT_EQ(far.s.landuse.trp_slc(1, 2, 1), 5.0f);
    EXPECT_FLOAT_EQ(far.s.landuse.trp_slc(1, 2, 2), 0.0f);
}

TEST(DemandSynthesis, EmptyInputsGiveNoRecords) {
    District d;
    d.s.landuse.ntrplnd = 0; // a file with no land uses
    d.put_record(1, 5, 6, 100.0f, 0.0f, 0.0f, 3600.0f);
    d.synthesise();
    EXPECT_EQ(d.s.oddat.maodp, 0);
    EXPECT_EQ(d.s.oddat.lodp, 0);
    EXPECT_EQ(d.s.oddat.o(1), -1);
    EXPECT_EQ(d.s.oddat.max_od_time, 0);
    EXPECT_EQ(d.s.errcount.errt1, 0);

    // No trees were built: every pair takes the impedance of no path, 1000 s.
    // Pass 2 then gives T = P A / 150, which already matches every total, so
    // the balancing leaves it as it is.
    District notrees;
    notrees.s.feedback.odtime = Array4<int>();
    trp_gen(notrees.s);
    trp_dis(notrees.s);
    const auto& lu = notrees.s.landuse;
    const float hand[4][3] = {{1, 2, 40}, {1, 3, 60}, {2, 2, 20}, {2, 3, 30}};
    for (const auto& h : hand)
        EXPECT_NEAR(lu.trp_mat(static_cast<int>(h[0]), static_cast<int>(h[1]), 1, 1, 1), h[2],
                    1e-3f)
            << h[0] << "->" << h[1];
}

TEST(DemandSynthesis, MoreRecordsThanTheTableHoldsIsFatal) {
    District d;
    auto&    lu = d.s.landuse;
    d.s.set2.mzones = kMaxZones;
    lu.ntrpslc = 2;
    lu.size_synthesis(kMaxZones);
    for (int sl = 1; sl <= 2; ++sl) {
        lu.trp_sum(sl, 1) = 1.0f;
        for (int j = 1; j <= kMaxZones; ++j)
            for (int k = 1; k <= kMaxZones; ++k) {
                lu.trp_slc(j, k, sl) = 2.0f;
                lu.trp_mat(j, k, sl, 1, 3) = 2.0f;
            }
    }
    genfile4(d.s);
    // 410 x 409 pairs in two slices would need 335380 records.
    EXPECT_EQ(d.s.errcount.errt1, 1);
    EXPECT_EQ(d.s.oddat.maodp, kMaxOdPairs);
    EXPECT_EQ(d.s.oddat.numodp, kMaxOdPairs);
    // The last record kept: slice 2, origin counted in rows of 409 destinations.
    const int in_slice2 = kMaxOdPairs - kMaxZones * (kMaxZones - 1);
    EXPECT_EQ(d.s.oddat.o(kMaxOdPairs), (in_slice2 - 1) / (kMaxZones - 1) + 1);
    EXPECT_FLOAT_EQ(d.s.oddat.demstr(kMaxOdPairs), 3600.0f);
    EXPECT_TRUE(contains(d.log(), "O-D records")) << d.log();
}

} // namespace
} // namespace velm
