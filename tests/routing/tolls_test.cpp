// Road pricing: the toll file, the tolls in force, the generalised cost of a
// class tree, and the route-cost bias file.
#include "core/routing/routing.h"
#include "route_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velm {
namespace {

using testing_routing::contains;
using testing_routing::fixture;
using testing_routing::has_line;
using testing_routing::RouteNet;

constexpr const char* kTollFile = "multi_objective_routing.dat";

// A toll file with the given entry lines (count first).
std::string toll_file(const std::string& entries) {
    return "Road pricing test\n"
           " 12 8 10 10 10\n"
           " 0.3 0.2 0.2 0.2 0.2\n"
           " 0 0.5 0 0 0\n"
           " 0.5 0.008\n" +
           entries;
}

struct Tolls : ::testing::Test {
    RouteNet n{fixture("grid.net")};
    Sim&     s = n.s;
    void     read(const std::string& text) {
            s.units.put_file(kTollFile, text);
            rdtolplz(s);
    }
    float curtol(int from, int to, int c) const { return s.tolplaz.curtol(n.link(from, to), c); }
};

TEST_F(Tolls, WithoutTheFileNoTollAppliesAndValuesOfTimeKeepTheirDefaults) {
    rdtolplz(s);
    settolplz(s, 0);
    for (int c = 1; c <= kClasses; ++c) {
        EXPECT_FLOAT_EQ(s.tolplaz.sectol(c, 1), 10.0f);
        EXPECT_FLOAT_EQ(s.tolplaz.sectol(c, 2), 0.2f);
        EXPECT_FLOAT_EQ(curtol(11, 12, c), 0.0f);
    }
    EXPECT_EQ(s.tolplaz.ntolrat, 0);
    EXPECT_TRUE(has_line(n.summary(), "  12. Toll plaza - Road pricing inputs  "));
    EXPECT_TRUE(has_line(n.summary(), "      - number of toll plazas or links set to 0"));
    // A method-2 class without weights routes on its base cost alone.
    s.set1.tremet(1) = 2;
    Array1<float> out{"out", kMaxLinks};
    float         q = 0.5f;
    add_toll(s, 0, 60, 1, s.delay.fretim, out, q);
    EXPECT_FLOAT_EQ(out(n.link(14, 15)), 35.0f);
}

TEST_F(Tolls, TollsInForceFollowTheEntriesWindowsAtEachUpdate) {
    // Link 1 is 11-12 (0.1 km), link 5 is 14-15 (0.35 km).
    read(toll_file("4\n"
                   " 1 1 1 0 3600 1 2 3 4 5\n"
                   " 2 1 1 0 7200 2 1 5 1 1\n"
                   " 7 5 2 0 3600 2.0 2.0 2.0 2.0 2.0\n"
                   " 3 5 1 1800 3600 9 9 9 9 9\n"));
    EXPECT_TRUE(has_line(n.summary(), "      - input of toll plaza rates complete "));
    EXPECT_EQ(s.tolplaz.ntolrat, 4);
    EXPECT_EQ(s.tolplaz.mtolrat, 7);
    EXPECT_FLOAT_EQ(s.tolplaz.sectol(1, 1), 12.0f);
    EXPECT_FLOAT_EQ(s.tolplaz.sectol(1, 2), 0.3f);
    EXPECT_FLOAT_EQ(s.tolplaz.routing_alphas(2), 0.5f);

    struct Case {
        int   t, from, to, c;
        float toll;
    };
    const Case cases[] = {
        {0, 11, 12, 1, 2.0f},                          // two entries active: the larger per class
        {0, 11, 12, 3, 5.0f},    {0, 14, 15, 1, 0.7f}, // per km: 2.0 x 0.35 km
        {1799, 14, 15, 1, 0.7f}, // (updates come each minute; any t is taken as given)
        {1800, 14, 15, 4, 9.0f}, {3540, 11, 12, 4, 4.0f},
        {3600, 11, 12, 4, 1.0f}, // the 0-3600 entry ends at the update of 3600
        {3600, 14, 15, 1, 0.0f}, {7200, 11, 12, 1, 0.0f},
        {0, 12, 13, 1, 0.0f},
    };
    for (const auto& c : cases) {
        settolplz(s, c.t);
        EXPECT_NEAR(curtol(c.from, c.to, c.c), c.toll, 1e-6)
            << "t " << c.t << " link " << c.from << "-" << c.to << " class " << c.c;
    }
    // A window (t1, t2) counts every entry that overlaps it.
    float toll = -1.0f;
    settolveh(s, 3600, 3600, n.link(11, 12), 1, toll);
    EXPECT_FLOAT_EQ(toll, 2.0f);
    settolveh(s, 7200, 7300, n.link(11, 12), 1, toll);
    EXPECT_FLOAT_EQ(toll, 0.0f);
    settolveh(s, 1700, 1801, n.link(14, 15), 2, toll);
    EXPECT_FLOAT_EQ(toll, 9.0f);
}

// The reader indexes the entries by link; a window's toll is the same as a
// look at every entry gives, on every link, for every class and window.
TEST_F(Tolls, IndexByLinkGivesWhatEveryEntryGives) {
    read(toll_file("5\n"
                   " 1 1 1 0 3600 1 2 3 4 5\n"
                   " 2 1 1 0 7200 2 1 5 1 1\n"
                   " 7 5 2 0 3600 2.0 2.0 2.0 2.0 2.0\n"
                   " 3 5 1 1800 3600 9 9 9 9 9\n"
                   " 4 9 1 600 1200 3 3 3 3 3\n"));
    ASSERT_TRUE(s.tolplaz.by_link);
    const int windows[][2] = {{0, 60}, {1799, 1801}, {3600, 3600}, {3600, 7200}, {1200, 1300}};
    int       tolled = 0;
    for (int l = 1; l <= s.link2.mlnum; ++l)
        for (int c = 1; c <= kClasses; ++c)
            for (const auto& w : windows) {
                float indexed = -1.0f, scanned = -1.0f;
                s.tolplaz.by_link = true;
                settolveh(s, w[0], w[1], l, c, indexed);
                s.tolplaz.by_link = false;
                settolveh(s, w[0], w[1], l, c, scanned);
                EXPECT_EQ(indexed, scanned) << "link " << l << " class " << c << " " << w[0];
                tolled += indexed > 0.0f ? 1 : 0;
            }
    EXPECT_GT(tolled, 0);
}

TEST_F(Tolls, ABadEntryTurnsEveryTollOffAndKeepsWhatWasReadBefore) {
    struct Case {
        const char* name;
        std::string entries;
        const char* log_part;
    };
    const Case cases[] = {
        {"entry 251", "2\n 1 1 1 0 3600 1 1 1 1 1\n 251 1 1 0 3600 1 1 1 1 1\n",
         "   Toll rate entry:         251  is outside of range           1  to          250"},
        {"link 4488", "1\n 4 4488 1 0 3600 1 1 1 1 1\n",
         " on link:        4488  is outside of link range:           1  to         4487"},
        {"short file", "3\n 1 1 1 0 3600 1 1 1 1 1\n", ""},
        {"bad value", "1\n 1 1 1 0 x 1 1 1 1 1\n", ""},
    };
    for (const auto& c : cases) {
        RouteNet r(fixture("grid.net"));
        r.s.units.put_file(kTollFile, toll_file(c.entries));
        rdtolplz(r.s);
        settolplz(r.s, 0);
        EXPECT_EQ(r.s.tolplaz.ntolrat, 0) << c.name;
        EXPECT_EQ(r.s.tolplaz.mtolrat, 0) << c.name;
        EXPECT_FLOAT_EQ(r.s.tolplaz.curtol(1, 1), 0.0f) << c.name;
        EXPECT_FLOAT_EQ(r.s.tolplaz.sectol(1, 1), 12.0f) << c.name;
        EXPECT_TRUE(has_line(r.summary(), "      - number of toll plazas or links set to 0"))
            << c.name;
        EXPECT_TRUE(contains(r.log(), c.log_part)) << c.name << "\n" << r.log();
        EXPECT_EQ(r.s.errcount.numerr, 0) << c.name;
    }
}

TEST_F(Tolls, GeneralisedCostByRoutingMethod) {
    const int     l = n.link(11, 12); // 0.1 km, base 60 s below
    Array1<float> base{"base", kMaxLinks};
    base(l) = 60.0f;
    auto& tp = s.tolplaz;
    // Value of time exactly 10: no spread.
    tp.sectol(1, 1) = 10.0f;
    tp.sectol(1, 2) = 0.0f;
    tp.routing_alphas(1) = 0.5f;
    tp.cost_fuel = 0.5f;
    s.link1.eco(l, 1) = 0.4f; // E x k = 0.2

    struct Case {
        const char* name;
        int         method;
        bool        toll; // an entry of 1.0 on the link, 0..3600
        float       cost;
    };
    const Case cases[] = {
        {"method 2, weight 0.5", 2, false, 30.0f + 3600.0f * 0.5f * 0.2f / 10.0f},
        {"method 3 with a toll", 3, true, 66.0f + 360.0f},
        {"method 9 without pricing", 9, false, 60.0f},
        {"method 9 with pricing: money only", 9, true, 360.0f + 72.0f},
        {"method 1: none", 1, true, 0.0f},
    };
    for (const auto& c : cases) {
        tp.ntolrat = tp.mtolrat = c.toll ? 1 : 0;
        tp.tollnk(1) = l;
        tp.toltyp(1) = 1;
        tp.toltim(1, 1) = 0;
        tp.toltim(1, 2) = 3600;
        for (int k = 1; k <= kClasses; ++k) tp.tolrat(1, k) = 1.0f;
        s.set1.tremet(1) = c.method;
        Array1<float> out{"out", kMaxLinks};
        out(27) = -5.0f; // no link: left as it is
        float q = 0.5f;
        add_toll(s, 0, 60, 1, base, out, q);
        EXPECT_NEAR(out(l), c.cost, 1e-3) << c.name;
        EXPECT_FLOAT_EQ(out(27), -5.0f) << c.name;
    }
}

TEST_F(Tolls, ValueOfTimeAtTheQuantileAndWithoutAPositiveMean) {
    const int     l = n.link(11, 12);
    Array1<float> base{"base", kMaxLinks};
    auto&         tp = s.tolplaz;
    tp.ntolrat = tp.mtolrat = 1;
    tp.tollnk(1) = l;
    tp.toltyp(1) = 1;
    tp.toltim(1, 1) = 0;
    tp.toltim(1, 2) = 3600;
    tp.tolrat(1, 1) = 1.0f;
    s.set1.tremet(1) = 2;
    // A low quantile values time less: the toll weighs more.
    Array1<float> low{"low", kMaxLinks}, high{"high", kMaxLinks};
    float         q = 0.001f;
    add_toll(s, 0, 60, 1, base, low, q);
    EXPECT_FLOAT_EQ(q, 0.01f) << "the quantile is clamped and written back";
    q = 0.9f;
    add_toll(s, 0, 60, 1, base, high, q);
    EXPECT_GT(low(l), high(l));
    EXPECT_GT(high(l), 0.0f);
    // A mean value of time of 0 makes money count nothing instead of NaN.
    tp.sectol(1, 1) = 0.0f;
    Array1<float> out{"out", kMaxLinks};
    q = 0.5f;
    add_toll(s, 0, 60, 1, base, out, q);
    EXPECT_FLOAT_EQ(out(l), 0.0f);
}

TEST_F(Tolls, BiasFileSetsFactorsOrFallsBackToDefaults) {
    struct Case {
        const char* name;
        const char* text; // nullptr: no file
        float       add, mult;
        const char* line;
    };
    const Case cases[] = {
        {"complete", "Bias\n 2\n 5 12.5 1.5\n 5 20 2\n", 20.0f, 2.0f,
         "      - Bias factor input complete "},
        {"ends after 3 of 5", "Bias\n 5\n 1 1 1\n 5 2 2\n 6 3 3\n", 0.0f, 1.0f,
         "        Error reading the bias factor file"},
        {"link out of range", "Bias\n 2\n 5 2 2\n 4488 1 1\n", 0.0f, 1.0f,
         "      - Bias factors set to defaults"},
        {"no file", nullptr, 0.0f, 1.0f, "      - Bias factors set to defaults"},
    };
    for (const auto& c : cases) {
        RouteNet r(fixture("grid.net"));
        if (c.text) r.s.units.put_file("biasfact.dat", c.text);
        r.s.link4.biasfac(5, 1) = 99.0f;
        readbias(r.s);
        EXPECT_FLOAT_EQ(r.s.link4.biasfac(5, 1), c.add) << c.name;
        EXPECT_FLOAT_EQ(r.s.link4.biasfac(5, 2), c.mult) << c.name;
        EXPECT_FLOAT_EQ(r.s.link4.biasfac(1, 2), 1.0f) << c.name;
        EXPECT_TRUE(has_line(r.summary(), c.line)) << c.name << "\n" << r.summary();
        EXPECT_EQ(r.s.errcount.numerr + r.s.errcount.errt1, 0) << c.name;
    }
}

} // namespace
} // namespace velm
