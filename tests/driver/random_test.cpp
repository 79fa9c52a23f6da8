#include "core/driver/random.h"
#include "core/model/sim.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace velm {
namespace {

TEST(Random, GeneratorSteps) {
    struct Case {
        int   sd;
        int   next_sd;
        float rnd; // to the digits given
        float tol;
    } const cases[] = {
        {1, 193, 0.0051540f, 5e-8f},
        {193, 37249, 0.99471f, 5e-6f},
        {0, 37448, 0.99999f, 0.0f}, // clamped
        {37448, 193, 0.0051540f, 5e-8f},
        {-5, -965 + 37448, 36483.0f / 37447.0f, 0.0f},
        {37446, 37447 - 193, 37254.0f / 37447.0f, 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sd);
        int   sd = c.sd;
        float rnd = -1;
        random(sd, rnd);
        EXPECT_EQ(sd, c.next_sd);
        EXPECT_NEAR(rnd, c.rnd, c.tol);
    }
    // A seed beyond 32-bit products still gives a seed in range.
    int   big = 2000000000;
    float r = 0;
    random(big, r);
    EXPECT_GE(big, 1);
    EXPECT_LE(big, 37448);
}

TEST(Random, FullPeriodFromAnySeedInRange) {
    int   sd = 1;
    float rnd = 0;
    int   n = 0;
    do {
        random(sd, rnd);
        ++n;
        ASSERT_GE(rnd, 0.00001f);
        ASSERT_LE(rnd, 0.99999f);
    } while (sd != 1 && n < 40000);
    EXPECT_EQ(n, 37446);
}

TEST(Random, SetseedSpacesTheSixStreams) {
    int seed[kRandomStreams + 1] = {-7, 0, 0, 0, 0, 0, 0};
    int inseed = 123;
    setseed(seed, inseed);
    EXPECT_EQ(seed[0], -7); // unused entry untouched
    const int want[] = {123, 136, 149, 162, 175, 188};
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(seed[k], want[k - 1]);
    EXPECT_EQ(inseed, 201);

    inseed = 0;
    setseed(seed, inseed);
    const int want0[] = {0, 13, 26, 39, 52, 65};
    for (int k = 1; k <= 6; ++k) EXPECT_EQ(seed[k], want0[k - 1]);
    EXPECT_EQ(inseed, 78);
    float rnd = 0;
    random(seed[1], rnd);
    EXPECT_EQ(rnd, 0.99999f);
}

TEST(Random, Variates) {
    struct Case {
        const char* what;
        float       in;       // the uniform number passed in
        float       in_after; // as written back
        float       out;
        float       tol;
    };
    auto run = [](const Case& c, void (*fn)(float&, float&)) {
        SCOPED_TRACE(c.what);
        float u = c.in, f = -99;
        fn(u, f);
        EXPECT_EQ(u, c.in_after);
        EXPECT_NEAR(f, c.out, c.tol);
    };
    const Case normals[] = {
        {"normal(0.5)", 0.5f, 0.5f, 0.0f, 1e-7f},
        {"normal(0.8)", 0.8f, 0.8f, 0.7788f, 5e-5f},
        {"normal(0.995)", 0.995f, 0.99f, 2.5815f, 5e-5f},
        {"normal(0.001)", 0.001f, 0.01f, -2.5815f, 5e-5f},
    };
    for (const auto& c : normals) run(c, normal);
    const Case negexps[] = {
        {"negexp(0.5)", 0.5f, 0.5f, 0.6931f, 5e-5f},
        {"negexp(0.999)", 0.999f, 0.99f, 4.6052f, 5e-5f},
        {"negexp(0)", 0.0f, 0.01f, 0.01005f, 5e-6f},
    };
    for (const auto& c : negexps) run(c, negexp);

    struct LogCase {
        float mean, cov, percent, obs, tol;
    } const logs[] = {
        {10, 0.2f, 0.5f, 9.8058f, 5e-4f},
        {10, 0.2f, 0.9f, 12.521f, 5e-3f},
        {10, -0.2f, 0.9f, 12.521f, 5e-3f}, // the sign of cov does not matter
    };
    for (const auto& c : logs) {
        float p = c.percent, obs = 0;
        lognorm(c.mean, c.cov, p, obs);
        EXPECT_NEAR(obs, c.obs, c.tol);
    }
    float p = 0.999f, obs = 0;
    lognorm(10, 0.2f, p, obs);
    EXPECT_EQ(p, 0.99f); // clamped in place like normal's argument
}

TEST(Random, Poisson) {
    struct Case {
        float rnd, mean;
        int   obs;
        float rnd_after;
    } const cases[] = {
        {0.5f, 0.5f, 0, 0.5f},
        {0.7f, 0.5f, 1, 0.7f},
        {0.95f, 2.0f, 5, 0.95f},
        {0.5f, 12.0f, 12, 0.5f}, // normal branch, z = 0
        {0.9f, 12.0f, 16, 0.9f},
        {0.005f, 10.0f, 2, 0.01f}, // a mean of 10 takes the normal
                                   // branch (the search gives 3)
        {0.005f, 9.99f, 3, 0.005f},
        {0.001f, 10.0f, 2, 0.01f},
        {0.01f, 12.0f, 3, 0.01f},
        {0.01f, 0.0f, 0, 0.01f},
        {0.99999f, 9.99f, 26, 0.99999f}, // the search ends even near 1
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "rnd " << c.rnd << " mean " << c.mean);
        float r = c.rnd;
        int   obs = -7;
        poisson(r, c.mean, obs);
        EXPECT_EQ(obs, c.obs);
        EXPECT_EQ(r, c.rnd_after);
    }
    // A uniform number above 1 (no draw gives one) must not hang the search:
    // it ends where the cumulative sum stops growing, far in the tail.
    float r = 1.5f;
    int   obs = 0;
    poisson(r, 5.0f, obs);
    EXPECT_GT(obs, 15);
    EXPECT_LT(obs, 200);
}

TEST(Random, FamilyRoutinesNotCalledInARun) {
    int   sd = 1, sd2 = 1;
    float sum = 0, r = 0, got = 0;
    for (int k = 0; k < 12; ++k) {
        random(sd2, r);
        sum += r;
    }
    normal2(sd, got);
    EXPECT_EQ(sd, sd2);
    EXPECT_FLOAT_EQ(got, sum - 6.0f);

    float f = 0;
    uniform(0.25f, 0.5f, f);
    EXPECT_FLOAT_EQ(f, 0.25f); // 0.5 + 2 * 0.25 * (0.5 - 1)

    float u = 0.0f, shift = -1.0f;
    shfnegexp(u, shift, f);
    EXPECT_EQ(u, 1.0e-7f);
    EXPECT_EQ(shift, 0.0f);
    EXPECT_NEAR(f, 16.118f, 1e-3f); // -ln(1e-7)
    u = 2.0f;
    shift = 3.0f;
    shfnegexp(u, shift, f);
    EXPECT_EQ(u, 0.99999988f);
    EXPECT_EQ(shift, 1.0f);
    EXPECT_EQ(f, 1.0f);
}

// randunif draws from stream 3 only: once per coded link for a trip whose
// own number is above 1000, twice for the others, never for links not coded.
TEST(Random, RandunifStreamUse) {
    struct Case {
        int   vrnd;
        float fact;
        int   draws_per_link;
    } const cases[] = {{5000, 0.5f, 1}, {1001, -0.2f, 1}, {1000, 0.5f, 2}, {0, 0.0f, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.vrnd);
        auto  s = std::make_unique<Sim>();
        auto& sim = *s;
        sim.link2.mlnum = 4;
        for (int l = 1; l <= kMaxLinks; ++l) sim.link4.llength(l) = -99999.0f;
        sim.link4.llength(1) = 0.5f;
        sim.link4.llength(2) = 0.0f; // a length of 0 still counts
        sim.link4.llength(4) = 1.2f; // link 3 is not coded
        sim.link4.llength(5) = 1.0f; // beyond mlnum
        sim.oddat.vrnd(7) = c.vrnd;
        for (int k = 1; k <= kRandomStreams; ++k) sim.rndnum.seed[k] = 100 * k;
        Array1<float> t1{"t1", kMaxLinks}, t2{"t2", kMaxLinks}, out{"out", kMaxLinks};
        for (int l = 1; l <= 5; ++l) {
            t1(l) = 10.0f * static_cast<float>(l);
            t2(l) = l == 2 ? 30.0f : 5.0f; // link 2: tim_2 above 1.1 tim_1
            out(l) = -1.0f;
        }
        randunif(sim, t1, t2, out, 7, c.fact);

        // Replay the stream: three coded links, in link order.
        int sd = 300;
        for (int l : {1, 2, 4}) {
            float u = 0.0f;
            random(sd, u);
            if (c.draws_per_link == 2) {
                random(sd, u);
                EXPECT_FLOAT_EQ(out(l), t2(l)) << l;
            } else {
                const float top = std::max(t2(l), 1.1f * t1(l)) * (1.0f + std::fabs(c.fact));
                EXPECT_FLOAT_EQ(out(l), t1(l) + u * (top - t1(l))) << l;
                EXPECT_GE(out(l), t1(l)) << l;
                EXPECT_LE(out(l), top) << l;
            }
        }
        EXPECT_EQ(sim.rndnum.seed[3], sd);
        for (int k : {1, 2, 4, 5, 6}) EXPECT_EQ(sim.rndnum.seed[k], 100 * k) << k;
        EXPECT_EQ(out(3), -1.0f);
        EXPECT_EQ(out(5), -1.0f);
    }
}

} // namespace
} // namespace velm
