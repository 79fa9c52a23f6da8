// Departure generation: headway models checked by their properties (even
// spacing, mean headway, spread by Krand, the interval's bounds), the merge
// of records into one time-ordered list, and what each trip starts with.
#include "core/demand/demand.h"
#include "core/demand/departures.h"
#include "core/driver/random.h"
#include "demand_fixture.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <set>
#include <vector>

namespace velm {
namespace {

using testing::contains;
using testing::DemandSim;

void seed_streams(Sim& s, int base) {
    for (int k = 1; k <= kRandomStreams; ++k) s.rndnum.seed[k] = base + 13 * (k - 1);
}

float next_draw(int& sd) {
    float u = 0.0f;
    random(sd, u);
    return u;
}

std::vector<float> departures(const Sim& s) {
    std::vector<float> t;
    for (int i = 1; i <= s.set2.tdemand; ++i) t.push_back(s.vehicle.dept(i));
    return t;
}

// Mean and coefficient of variation of the gaps between successive times.
struct GapStats {
    double      mean = 0.0, cv = 0.0;
    std::size_t count = 0;
};
GapStats gap_stats(const std::vector<float>& t) {
    GapStats g;
    if (t.size() < 3) return g;
    g.count = t.size() - 1;
    double sum = 0.0, sq = 0.0;
    for (std::size_t i = 1; i < t.size(); ++i) sum += t[i] - t[i - 1];
    g.mean = sum / static_cast<double>(g.count);
    for (std::size_t i = 1; i < t.size(); ++i) {
        const double d = t[i] - t[i - 1] - g.mean;
        sq += d * d;
    }
    g.cv = std::sqrt(sq / static_cast<double>(g.count - 1)) / g.mean;
    return g;
}

TEST(Departures, EvenHeadwaysCentredInTheInterval) {
    DemandSim t;
    seed_streams(t.s, 101);
    t.put_record(1, 1, 2, 360.0f, 0.0f, 0.0f, 100.0f);
    int sd4 = t.s.rndnum.seed[4];
    next_draw(sd4);
    genod(t.s);
    const auto& vh = t.s.vehicle;
    ASSERT_EQ(t.s.set2.tdemand, 10);
    for (int i = 1; i <= 10; ++i) {
        EXPECT_FLOAT_EQ(vh.dept(i), 5.0f + 10.0f * static_cast<float>(i - 1)) << i;
        EXPECT_FLOAT_EQ(vh.strtrp(i, 1), vh.dept(i));
        EXPECT_EQ(vh.strtrp(i, 2), -2.0f);
        EXPECT_EQ(vh.deplist(i), i);
        EXPECT_EQ(vh.norig(i), 1);
        EXPECT_EQ(vh.ndest(i), 2);
    }
    EXPECT_EQ(vh.dept(11), 0.0f);
    EXPECT_EQ(t.s.set2.nxtcar, 1);
    EXPECT_EQ(t.s.set2.nondept, 10);
    EXPECT_EQ(t.s.oddat.totvtn(1, 1), 10.0f);
    // The count's rounding draw is taken even though the fraction is 0.
    EXPECT_EQ(t.s.rndnum.seed[4], sd4);
    EXPECT_TRUE(contains(t.summary(), "     - Total number of vehicles =           10"));
}

TEST(Departures, FractionalCountFollowsTheDraw) {
    std::set<int> seen;
    for (int base = 1; base <= 400; base += 37) {
        DemandSim t;
        seed_streams(t.s, base);
        t.put_record(1, 1, 2, 0.5f, 0.0f, 0.0f, 3600.0f);
        int         sd = t.s.rndnum.seed[4];
        const float u = next_draw(sd);
        genod(t.s);
        EXPECT_EQ(t.s.set2.tdemand, u < 0.5f ? 1 : 0) << base;
        seen.insert(t.s.set2.tdemand);
    }
    EXPECT_EQ(seen.size(), 2u); // both outcomes were exercised

    DemandSim t; // 0.3 veh/h over 1000 s: 0.083 expected, skipped without a draw
    seed_streams(t.s, 7);
    t.put_record(1, 1, 2, 0.3f, 0.0f, 0.0f, 1000.0f);
    genod(t.s);
    EXPECT_EQ(t.s.set2.tdemand, 0);
    EXPECT_EQ(t.s.vehicle.dept(1), 0.0f);
    EXPECT_EQ(t.s.rndnum.seed[4], 7 + 39);
}

// A lone random departure (Krand 1) is uniform over its interval: 400
// records of 1 expected trip in 0..100 s, each drawing its own.
TEST(Departures, SingleRandomDepartureIsUniformInTheInterval) {
    DemandSim t;
    seed_streams(t.s, 3);
    for (int n = 1; n <= 400; ++n) t.put_record(n, 1, 2, 36.0f, 1.0f, 0.0f, 100.0f);
    genod(t.s);
    const auto times = departures(t.s);
    ASSERT_EQ(times.size(), 400u) << "one trip per record";
    double sum = 0.0;
    for (float x : times) {
        EXPECT_GE(x, 0.0f);
        EXPECT_LE(x, 100.0f);
        sum += x;
    }
    // Uniform on 0..100 s: mean 50 s (its standard error here is about 1.5 s)
    // and both ends of the interval reached.
    EXPECT_NEAR(sum / static_cast<double>(times.size()), 50.0, 6.0);
    EXPECT_LT(*std::min_element(times.begin(), times.end()), 5.0f);
    EXPECT_GT(*std::max_element(times.begin(), times.end()), 95.0f);
}

// The headway models by Krand over one record of 1800 trips (mean headway
// h = 2 s) from 600 s to 4200 s, cut at the run's end (7200 s here): every
// model keeps the mean headway, Krand 0 spaces trips evenly, and a random
// model's headways vary with a coefficient of variation of |Krand| (shifted
// exponential). A fitted model (Krand > 0) fills the interval; an open-ended
// one (Krand < 0) draws its own count.
TEST(Departures, HeadwayModelsByKrand) {
    constexpr float kStart = 600.0f, kEnd = 4200.0f, kRate = 1800.0f;
    constexpr float kHeadway = 3600.0f / kRate; // s
    constexpr int   kTrips = 1800;
    for (float k : {0.0f, 0.5f, 1.0f, -0.5f, -1.0f}) {
        for (int base : {4711, 90001}) {
            SCOPED_TRACE(::testing::Message() << "Krand " << k << " seeds " << base);
            DemandSim t;
            t.s.set1.simtim1 = 7200;
            seed_streams(t.s, base);
            t.put_record(1, 1, 2, kRate, k, kStart, kEnd);
            genod(t.s);
            const auto got = departures(t.s);
            ASSERT_GE(got.size(), 3u);
            EXPECT_TRUE(std::is_sorted(got.begin(), got.end()));
            EXPECT_GE(got.front(), kStart);
            EXPECT_LE(got.back(), kEnd);

            const GapStats g = gap_stats(got);
            if (k == 0.0f) {
                ASSERT_EQ(got.size(), static_cast<std::size_t>(kTrips));
                EXPECT_FLOAT_EQ(got.front(), kStart + kHeadway / 2.0f);
                for (std::size_t i = 1; i < got.size(); ++i)
                    ASSERT_NEAR(got[i] - got[i - 1], kHeadway, 0.011) << i;
                continue;
            }
            // 1800 gaps: the mean is within about 2.5 % of h and the
            // coefficient of variation within about 0.04 of |Krand| (one
            // standard error); the bounds are several of them.
            EXPECT_NEAR(g.mean, kHeadway, 0.1 * kHeadway);
            EXPECT_NEAR(g.cv, std::fabs(k), 0.15);
            if (k > 0.0f) {
                EXPECT_EQ(got.size(), static_cast<std::size_t>(kTrips));
                // Fitted: the first and last trips lie within a few headways
                // of the interval's ends.
                EXPECT_LT(got.front() - kStart, 5.0f * kHeadway);
                EXPECT_LT(kEnd - got.back(), kHeadway);
            } else {
                // Open-ended: a Poisson-like count around 1800 (sd about 42).
                EXPECT_NEAR(static_cast<double>(got.size()), kTrips, 200.0);
            }
        }
    }
}

TEST(Departures, IntervalIsCutAtTheRunsEnd) {
    DemandSim t;
    seed_streams(t.s, 5);
    t.put_record(1, 1, 2, 10.0f, 0.0f, 0.0f, 7200.0f);
    t.put_record(2, 2, 1, 10.0f, 0.0f, 3600.0f, 7200.0f); // starts at the run's end
    genod(t.s);
    ASSERT_EQ(t.s.set2.tdemand, 10);
    EXPECT_FLOAT_EQ(t.s.vehicle.dept(1), 180.0f);
    EXPECT_FLOAT_EQ(t.s.vehicle.dept(10), 3420.0f);
}

TEST(Departures, EqualTimesTakeTheLowerRecordFirst) {
    DemandSim t;
    seed_streams(t.s, 5);
    t.put_record(2, 3, 4, 360.0f, 0.0f, 0.0f, 100.0f);
    t.put_record(1, 1, 2, 360.0f, 0.0f, 0.0f, 100.0f);
    genod(t.s);
    ASSERT_EQ(t.s.set2.tdemand, 20);
    for (int i = 1; i <= 20; i += 2) {
        EXPECT_EQ(t.s.vehicle.norig(i), 1) << i;
        EXPECT_EQ(t.s.vehicle.norig(i + 1), 3) << i;
        EXPECT_EQ(t.s.vehicle.dept(i), t.s.vehicle.dept(i + 1));
    }
}

TEST(Departures, MergeSlices) {
    struct Case {
        int max_od_time, length, count;
    } const cases[] = {{600, 600, 1}, {601, 30, 21}, {12000, 600, 21}, {100, 100, 1}};
    for (const auto& c : cases) {
        const auto m = merge_slices(c.max_od_time);
        EXPECT_EQ(m.length, c.length) << c.max_od_time;
        EXPECT_EQ(m.count, c.count) << c.max_od_time;
    }
}

// Records over many slices with every headway model: every generated
// departure is merged, in time order, and none lies after its record's end.
TEST(Departures, EveryGeneratedDepartureIsMerged) {
    DemandSim t;
    int       base = 1;
    // A seed whose first gap of an open-ended record with two expected
    // vehicles in 1000 s lands after the record's end.
    for (;; ++base) {
        int sd = base + 39;
        next_draw(sd);
        if (-std::log(next_draw(sd)) * 250.0f > 1000.0f) break;
    }
    seed_streams(t.s, base);
    t.put_record(1, 1, 2, 7.2f, -1.0f, 0.0f, 1000.0f);
    t.put_record(2, 2, 3, 900.0f, 0.7f, 0.0f, 5000.0f);
    t.put_record(3, 3, 1, 400.0f, -0.3f, 2000.0f, 6000.0f);
    t.put_record(4, 4, 5, 250.0f, 0.0f, 100.0f, 7000.0f);
    t.s.set1.simtim1 = 7200;
    genod(t.s);
    const auto got = departures(t.s);
    EXPECT_EQ(static_cast<int>(got.size()), t.s.set2.nveh);
    EXPECT_TRUE(std::is_sorted(got.begin(), got.end()));
    for (int i = 1; i <= t.s.set2.tdemand; ++i) {
        const int   o = t.s.vehicle.norig(i);
        const float end = o == 1 ? 1000.0f : o == 2 ? 5000.0f : o == 3 ? 6000.0f : 7000.0f;
        EXPECT_LE(t.s.vehicle.dept(i), end) << i;
        EXPECT_GT(t.s.vehicle.norig(i), 0) << i;
    }
    EXPECT_EQ(t.s.vehicle.dept(t.s.set2.tdemand + 1), 0.0f);
}

TEST(Departures, CapacitySkipsAWholeRecordAndGoesOn) {
    DemandSim t;
    seed_streams(t.s, 9);
    t.put_record(1, 1, 2, 559990.0f, 0.0f, 0.0f, 3600.0f);
    t.put_record(2, 3, 4, 20.0f, 0.0f, 0.0f, 3600.0f);
    t.put_record(3, 5, 6, 9.0f, 0.0f, 0.0f, 3600.0f);
    genod(t.s);
    EXPECT_EQ(t.s.set2.tdemand, kMaxTripsPerRun);
    EXPECT_EQ(t.s.vehicle.dept(kMaxTrips), 0.0f);
    int third = 0;
    for (int i = 1; i <= t.s.set2.tdemand; ++i) third += t.s.vehicle.norig(i) == 5;
    EXPECT_EQ(third, 9);
    const std::string log = t.log();
    EXPECT_TRUE(contains(log, "Maximum number of vehicles is    560000 and has been exceeded\n"));
    EXPECT_TRUE(contains(log, "Error occurred  for o-d pair=     2 from     3 to     4\n"));
    EXPECT_TRUE(contains(log, " Maximum number of vehicles that can be generated is      560000"
                              "  and has been exceeded\n"));
    EXPECT_TRUE(contains(log, " Error first occurred during processing for o-d pair=            2"
                              "  from           3  to            4\n"))
        << log.substr(0, 2000);
    EXPECT_EQ(t.s.errcount.errt1, 0);
}

// Per trip: stream 1 occupancy, stream 1 class, stream 2 own random number.
TEST(Departures, PerTripDrawsComeInTheirOrder) {
    for (float occupancy : {2.5f, 1.0f}) {
        DemandSim t;
        seed_streams(t.s, 321);
        t.put_record(1, 1, 2, 360.0f, 0.0f, 0.0f, 100.0f);
        auto&       od = t.s.oddat;
        const float cum[kClasses] = {0.2f, 0.5f, 1.0f, 1.0f, 1.0f};
        for (int k = 1; k <= kClasses; ++k) {
            od.kvtyp(1, k, 2) = cum[k - 1];
            od.kvtyp(1, k, 1) = cum[k - 1] - (k > 1 ? cum[k - 2] : 0.0f);
            od.odcol(1, k) = k; // a distinct colour per class
        }
        od.vehocc(1) = occupancy;
        int s1 = t.s.rndnum.seed[1], s2 = t.s.rndnum.seed[2];
        genod(t.s);
        for (int car = 1; car <= 3; ++car) {
            float       occ = next_draw(s1);
            const float v = next_draw(s1);
            const float w = next_draw(s2);
            int         extra = 0;
            if (occupancy > 1.0f) poisson(occ, occupancy, extra);
            const int cls = v < 0.2f ? 1 : v < 0.5f ? 2 : 3;
            EXPECT_EQ(od.percar(car), 1 + extra) << car;
            EXPECT_EQ(od.vtyp(car), cls) << car;
            EXPECT_EQ(od.vehcol(car), cls) << car;
            EXPECT_EQ(od.vrnd(car), static_cast<int>(10000.0f * w)) << car;
            EXPECT_EQ(od.vehper2(car), 1);
        }
    }
}

// Every generated trip starts without a path block and without crash-risk
// exposure, whatever an earlier use of its number left behind.
TEST(Departures, TripsStartWithoutPathOrExposure) {
    DemandSim t;
    seed_streams(t.s, 321);
    t.put_record(1, 1, 2, 360.0f, 0.0f, 0.0f, 100.0f);
    for (int car = 1; car <= 20; ++car) {
        for (int j = 1; j <= 4; ++j) t.s.vehtre.tre_ind(car, j) = 50 + j;
        for (int j = 1; j <= 3; ++j)
            for (int c = 1; c <= 6; ++c) t.s.accid.vehacc(car, j, c) = 1.5f;
    }
    genod(t.s);
    const int n = t.s.set2.nveh;
    ASSERT_GE(n, 1);
    ASSERT_LT(n, 20);
    for (int car = 1; car <= n; ++car) {
        for (int j = 1; j <= 4; ++j) EXPECT_EQ(t.s.vehtre.tre_ind(car, j), 0) << car << " " << j;
        for (int j = 1; j <= 3; ++j)
            for (int c = 1; c <= 6; ++c) EXPECT_EQ(t.s.accid.vehacc(car, j, c), 0.0f) << car;
    }
    // A number no trip took is left alone.
    EXPECT_EQ(t.s.vehtre.tre_ind(n + 1, 1), 51);
}

TEST(Departures, ClassFromTheCumulativeShares) {
    DemandSim   t;
    auto&       kv = t.s.oddat.kvtyp;
    const float shares[2][kClasses] = {{0.2f, 0.3f, 0.5f, 0.0f, 0.0f}, {0.5f, 0.49995f, 0, 0, 0}};
    for (int n = 1; n <= 2; ++n) {
        float sum = 0.0f;
        for (int k = 1; k <= kClasses; ++k) {
            kv(n, k, 1) = shares[n - 1][k - 1];
            sum += kv(n, k, 1);
            kv(n, k, 2) = sum;
        }
    }
    struct Case {
        int   n;
        float v;
        int   cls;
    } const cases[] = {
        {1, 0.1f, 1},
        {1, 0.2f, 2},
        {1, 0.49f, 2},
        {1, 0.5f, 3},
        {1, 0.99999f, 3},
        // Above the last cumulative share: the highest class with vehicles.
        {2, 0.99997f, 2},
        {2, 0.4f, 1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(class_for_draw(t.s, c.n, c.v), c.cls) << c.n << " " << c.v;
}

TEST(Departures, ProbeCodes) {
    struct Case {
        float         code;
        std::set<int> classes;
        int           timspc;
    } const cases[] = {
        {1.0f, {1}, 0},   {0.0f, {0}, 0},     {-1.0f, {-1}, 0},  {100.0f, {2}, 0},
        {101.0f, {3}, 1}, {50.0f, {0, 2}, 0}, {0.5f, {0, 1}, 0}, {100.5f, {0, 3}, 1},
    };
    for (const auto& c : cases) {
        DemandSim t;
        seed_streams(t.s, 77);
        t.put_record(1, 1, 2, 3600.0f, 0.0f, 0.0f, 100.0f); // 100 trips
        t.s.oddat.profr(1) = c.code;
        genod(t.s);
        std::set<int> got;
        for (int i = 1; i <= t.s.set2.tdemand; ++i) got.insert(t.s.oddat.probe(i));
        EXPECT_EQ(got, c.classes) << c.code;
        EXPECT_EQ(t.s.vehplot.timspc, c.timspc) << c.code;
    }
}

TEST(Departures, ListingOfTheDepartures) {
    DemandSim t;
    seed_streams(t.s, 5);
    t.put_record(1, 1, 2, 360.0f, 0.0f, 0.0f, 100.0f);
    t.s.filenam.files(24) = "dep.out";
    t.s.filenam.path2 = "out/";
    t.s.pathnam.lpath[2] = 4;
    genod(t.s);
    const std::string listing = t.s.units.file_text("out/dep.out");
    EXPECT_EQ(listing.substr(0, listing.find("\n       2")),
              "  Individual vehicle departures \n          10\n"
              "       1       1       2 1     5.0");
    EXPECT_TRUE(contains(listing, "      10       1       2 1    95.0\n"));
    EXPECT_TRUE(contains(t.summary(), " 100.  Listing of Individual Vehicle Departures "));

    for (const char* name : {"none", "NONE", " dep.out", ""}) {
        DemandSim u;
        u.put_record(1, 1, 2, 360.0f, 0.0f, 0.0f, 100.0f);
        u.s.filenam.files(24) = name;
        genod(u.s);
        EXPECT_FALSE(u.s.units.exists("dep.out")) << name;
        EXPECT_FALSE(contains(u.summary(), "Listing of Individual")) << name;
        EXPECT_EQ(u.s.set2.tdemand, 10);
    }
}

TEST(Departures, ListingThatCannotBeCreatedIsReportedAndTheRunGoesOn) {
    const auto dir = std::filesystem::temp_directory_path() / "velm_departure_listing";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    auto              sim = std::make_unique<Sim>();
    Sim&              s = *sim;
    const std::string log = (dir / "runerr.out").string();
    ASSERT_TRUE(s.units.open_write(kUnitRunLog, log));
    ASSERT_TRUE(s.units.open_write(kUnitSummary, (dir / "summary.out").string()));
    s.set1.simtim1 = 3600;
    s.filenam.files(24) = "dep.out";
    s.filenam.path2 = (dir / "missing").string() + "/";
    s.pathnam.lpath[2] = static_cast<int>(s.filenam.path2.size());
    s.oddat.o(1) = 1;
    s.oddat.d(1) = 2;
    s.oddat.numod(1) = 360.0f;
    s.oddat.demend(1) = 100.0f;
    s.oddat.kvtyp(1, 1, 2) = 1.0f;
    s.oddat.fodp = s.oddat.lodp = s.oddat.maodp = 1;
    s.oddat.max_od_time = 100;
    genod(s);
    s.units.close_all();
    EXPECT_EQ(s.set2.tdemand, 10);
    EXPECT_TRUE(contains(s.units.file_text(log), "Departure listing not written"));
    EXPECT_EQ(s.errcount.errt2, 1);
    EXPECT_TRUE(contains(s.units.file_text(log), " Output file not written: "));
    std::filesystem::remove_all(dir);
}

TEST(Departures, MessageSignsMarkTheClassesTheyTurnVehiclesInto) {
    DemandSim t;
    t.put_record(1, 1, 2, 360.0f, 0.0f, 0.0f, 100.0f);
    t.s.set2.mnodenum = 12;
    t.s.graph1.x(5) = 1.0f;
    t.s.graph1.cmstyp(5, 1) = 3;
    t.s.graph1.cmstyp(6, 1) = 4; // node 6 is not coded
    t.s.graph1.cmstyp(5, 2) = 5; // class 2 has no trips
    genod(t.s);
    EXPECT_EQ(t.s.oddat.totvtn(3, 4), 1.0f);
    EXPECT_EQ(t.s.oddat.totvtn(4, 4), 0.0f);
    EXPECT_EQ(t.s.oddat.totvtn(5, 4), 0.0f);
}

TEST(Departures, SameSeedSameListing) {
    std::string listing[2];
    for (auto& l : listing) {
        DemandSim t;
        seed_streams(t.s, 2024);
        t.put_record(1, 1, 2, 500.0f, 0.7f, 0.0f, 900.0f);
        t.put_record(2, 2, 1, 300.0f, -0.4f, 100.0f, 800.0f);
        t.put_record(3, 3, 4, 250.0f, 0.0f, 0.0f, 700.0f);
        t.s.oddat.vehocc(2) = 1.8f;
        t.s.filenam.files(24) = "dep.out";
        genod(t.s);
        l = t.s.units.file_text("dep.out");
    }
    EXPECT_GT(listing[0].size(), 1000u);
    EXPECT_EQ(listing[0], listing[1]);
}

} // namespace
} // namespace velm
