// The cruising-speed search and the mesoscopic link helpers.
#include "core/energy/meso_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace velm {
namespace {

// With no mass the cruising cost is al0/v + k v^2, k = al1 b2 / 3600, and
// b2 = 0.047285 for af = cd = ch = 1. al1 below makes k = 1, so the value at
// n + 1 is not lower than at n once al0 <= n (n + 1) (2n + 1).
constexpr double kUnitK = 3600.0 / 0.047285;

TEST(CruisingSpeed, StopsAtTheFirstSpeedWhoseValueIsNotLower) {
    struct Case {
        double al0, al1;
        int    want;
    } cases[] = {
        {2000.0, kUnitK, 11},         // falls to 10 km/h (1710 < 2000 <= 2310), 11 is not lower
        {1.0, kUnitK, 2},             // already rising at 2 km/h
        {20000.0, kUnitK, 1},         // the first value is not below the starting best of 10000
        {5.0, 0.0, kCruiseSearchTop}, // never rises: the search gives up at its top speed
    };
    for (const auto& c : cases)
        EXPECT_EQ(
            determine_best_cruising_velocity(0, 9.81, 0, 1.2, 1, 1, 1, 0, 0, 0, c.al0, c.al1, 0),
            c.want)
            << c.al0;
}

TEST(CruisingSpeed, FuelPerDistanceExpandsThePowerTerms) {
    // r = 100 + 2 v + 0.5 v^2 N at v = 10: 170 N.
    const double want = 3.0 / 10 + 0.2 * 170 / 3600 + 0.01 * 170 * 170 * 10 / 1.296e7;
    EXPECT_NEAR(funcx(10, 3.0, 0.2, 0.01, 0.5, 100, 2), want, 1e-12);
}

TEST(MesoLink, MeanSpeedSatisfiesTheSpacingRelation) {
    struct Case {
        double uf, uc, qc, kj, density;
    } cases[] = {
        {100, 60, 2000, 120, 30},
        {80, 50, 1800, 140, 60},
        {100, 50, 2500, 100, 20}, // c3 = 0: the relation is linear in speed
        {100, 50, 2500, 100, 5},
    };
    for (const auto& c : cases) {
        const auto k = compute_meso_const_single(c.uf, c.uc, c.qc, c.kj);
        ASSERT_TRUE(k);
        const double u = compute_avg_spd(c.uf, c.density, *k);
        ASSERT_TRUE(std::isfinite(u)) << c.qc;
        EXPECT_GT(u, 0.0);
        EXPECT_LE(u, c.uf);
        // spacing 1/k = c1 + c2/(uf - u) + c3 u at the speed found
        EXPECT_NEAR(1 / c.density, k->c1 + k->c2 / (c.uf - u) + k->c3 * u, 1e-9) << c.qc;
        EXPECT_EQ(compute_avg_spd(c.uf, 0, *k), c.uf);
    }
    const auto lin = compute_meso_const_single(100, 50, 2500, 100);
    ASSERT_TRUE(lin);
    EXPECT_EQ(lin->c3, 0.0);
    EXPECT_NEAR(compute_avg_spd(100, 20, *lin), 80.0, 1e-9);
}

TEST(MesoLink, ConstantsHeadwaysAndDurationRefuseUnusableInput) {
    EXPECT_FALSE(compute_meso_const_single(100, 0, 2000, 120));
    EXPECT_FALSE(compute_meso_const_single(100, 60, 0, 120));
    EXPECT_FALSE(compute_meso_const_single(100, 60, 2000, -1));
    EXPECT_FALSE(compute_meso_const_single(50, 60, 2000, 120)); // capacity above free speed
    EXPECT_FALSE(compute_duration_in_dc(0, 100));
    EXPECT_FALSE(get_traffic_light_headway(30, 0, 1800, 2));
    EXPECT_FALSE(get_stop_sign_headway(900, 0));
    EXPECT_FALSE(get_yield_sign_headway(0, 1, 1800));

    EXPECT_DOUBLE_EQ(*compute_duration_in_dc(10, 100), 100.0);
    EXPECT_DOUBLE_EQ(*get_traffic_light_headway(30, 60, 1800, 2), 1.0 / 1800);
    EXPECT_DOUBLE_EQ(*get_stop_sign_headway(900, 2), 1.0 / 1800);
    const double q0 = 0.2, tf = 1.0 / 0.5;
    EXPECT_DOUBLE_EQ(*get_yield_sign_headway(q0, 2, 0.5),
                     1 / (2 * q0 * std::exp(-q0 / 4.5) / (1 - std::exp(-q0 / tf))));
}

TEST(MesoLink, TablesAllocatedOnceAndFilledFromCodedLinks) {
    auto s = std::make_unique<Sim>();
    s->link2.mlnum = 3;
    auto&        sv = s->link1.spdvol;
    const double p[4] = {100, 60, 2000, 120}; // uf, uc, qc, kj
    for (int l : {1, 2}) {
        s->link4.llength(l) = 0.5f;
        sv(l, 7) = static_cast<float>(p[0]);
        sv(l, 4) = static_cast<float>(p[1]);
        sv(l, 6) = static_cast<float>(p[2]);
        sv(l, 5) = static_cast<float>(p[3]);
    }
    sv(2, 4) = 0.0f; // no speed at capacity: no relation
    // link 3 is not coded

    EXPECT_TRUE(meso_initialize_parameters(*s)); // not allocated yet
    EXPECT_FALSE(meso_allocate_memory(*s));
    EXPECT_EQ(s->meso.c3.hi(), 3);
    ASSERT_FALSE(meso_initialize_parameters(*s));

    const auto second = meso_allocate_memory(*s);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, "Attempting to allocate already allocated variable");
    EXPECT_EQ(s->meso.c3.hi(), 3); // the filled tables are kept

    const auto k = compute_meso_const_single(p[0], p[1], p[2], p[3]);
    ASSERT_TRUE(k);
    EXPECT_FLOAT_EQ(s->meso.const_1(1), static_cast<float>(k->const_1));
    EXPECT_FLOAT_EQ(s->meso.const_2(1), static_cast<float>(k->const_2));
    EXPECT_FLOAT_EQ(s->meso.const_3(1), static_cast<float>(k->const_3));
    EXPECT_FLOAT_EQ(s->meso.c3(1), static_cast<float>(k->c3));
    EXPECT_EQ(s->meso.uf(1), 100.0f);
    for (int l : {2, 3}) {
        EXPECT_EQ(s->meso.c3(l), 0.0f) << l;
        EXPECT_EQ(s->meso.uf(l), 0.0f) << l;
    }
}

} // namespace
} // namespace velm
