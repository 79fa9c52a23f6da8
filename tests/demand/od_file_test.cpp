#include "core/demand/demand.h"
#include "demand_fixture.h"

#include <gtest/gtest.h>

namespace velm {
namespace {

using testing::contains;
using testing::DemandSim;

// Records of the first layout: n o d rate krand start end s1..s5 probe pcu.
const char* kThreeRecords = "1 2 3 100 0 0 3600 0.5 0.5 0 0 0 0 1\n"
                            "2 3 2 50 0.5 0 1800 1 0 0 0 0 0 1.5\n"
                            "3 4 10 20 -1 600 3600 0.2 0.3 0.5 0 0 0 1\n";

void read_od(DemandSim& t, const std::string& text) {
    t.s.units.put_file("od.dat", text);
    read4(t.s, "od.dat");
}

TEST(OdFile, BothLayoutsGiveTheSameRecords) {
    DemandSim one, two;
    read_od(one, std::string("title\n3 0 0 1.0\n") + kThreeRecords);
    // The second layout with unit factors; fields 15 and 16 added per record.
    read_od(two, "title\n-3 0 0 1.0 1 1 1 1 1\n"
                 "1 2 3 100 0 0 3600 0.5 0.5 0 0 0 0 1 2.5 7\n"
                 "2 3 2 50 0.5 0 1800 1 0 0 0 0 0 1.5 1 1\n"
                 "3 4 10 20 -1 600 3600 0.2 0.3 0.5 0 0 0 1 1 25\n");
    for (DemandSim* t : {&one, &two}) {
        const auto& od = t->s.oddat;
        EXPECT_EQ(t->s.errcount.errt1, 0) << t->log();
        EXPECT_EQ(t->s.pathnam.filuse[4], 1);
        EXPECT_EQ(od.numodp, 3);
        EXPECT_EQ(od.maodp, 3);
        EXPECT_EQ(od.fodp, 1);
        EXPECT_EQ(od.lodp, 3);
        EXPECT_EQ(od.fodt, 0);
        EXPECT_EQ(od.lodt, 999999);
        EXPECT_EQ(od.max_od_time, 3600);
        EXPECT_EQ(od.o(3), 4);
        EXPECT_EQ(od.d(3), 10);
        EXPECT_EQ(od.o(4), -1);
        EXPECT_FLOAT_EQ(od.numod(1), 100.0f);
        EXPECT_FLOAT_EQ(od.numod(2), 50.0f);
        EXPECT_FLOAT_EQ(od.rand(3), -1.0f);
        EXPECT_FLOAT_EQ(od.veheq(2), 1.5f);
        EXPECT_FLOAT_EQ(od.kvtyp(3, 2, 1), 0.3f);
        EXPECT_FLOAT_EQ(od.kvtyp(3, 2, 2), 0.5f);
        EXPECT_FLOAT_EQ(od.kvtyp(3, 5, 2), 1.0f);
        EXPECT_TRUE(contains(t->summary(), "     - Complete file:   4   od.dat"));
        // 100 veh/h for 1 h + 50 for 0.5 h + 20 for 0.8333 h.
        EXPECT_TRUE(contains(t->summary(), "     - Total number of vehicles=          141"));
    }
    EXPECT_FLOAT_EQ(one.s.oddat.vehocc(1), 1.0f);
    EXPECT_EQ(one.s.oddat.vehper1(3), 1);
    EXPECT_FLOAT_EQ(two.s.oddat.vehocc(1), 2.5f);
    EXPECT_EQ(two.s.oddat.vehper1(1), 7);
    EXPECT_EQ(two.s.oddat.vehper1(3), 25);
}

TEST(OdFile, ScaleMultipliesRatesAndDestinationsAreMarkedForTrees) {
    DemandSim t;
    t.s.graph1.macrzon(3) = 2; // zone 3 lies in macro zone 2, centred on zone 7
    t.s.graph1.mazn(2) = 7;
    read_od(t, std::string("title\n3 0 0 2.0\n") + kThreeRecords);
    ASSERT_EQ(t.s.errcount.errt1, 0) << t.log();
    EXPECT_FLOAT_EQ(t.s.oddat.numod(1), 200.0f);
    EXPECT_EQ(t.s.oddat.treereq(3, 1), 1);
    EXPECT_EQ(t.s.oddat.treereq(2, 1), 1);
    EXPECT_EQ(t.s.oddat.treereq(10, 1), 1);
    EXPECT_EQ(t.s.oddat.treereq(4, 1), 0);
    EXPECT_EQ(t.s.oddat.treereq(7, 2), 1);
    EXPECT_EQ(t.s.oddat.treereq(7, 1), 0);
}

TEST(OdFile, CountZeroLeavesNoRecordsAndTheChecksRejectIt) {
    DemandSim t;
    read_od(t, "title\n0 0 0 1.0 1 1 1 1 1\n");
    EXPECT_EQ(t.s.errcount.errt1, 0);
    EXPECT_EQ(t.s.oddat.maodp, 0);
    EXPECT_EQ(t.s.oddat.fodp, 1);
    EXPECT_EQ(t.s.oddat.lodp, 0);
    checkod(t.s);
    EXPECT_EQ(t.codes(), std::vector<int>{142025});
    EXPECT_EQ(t.s.errcount.errt1, 1);
}

TEST(OdFile, TimeWindowClipsAndShiftsTheRecords) {
    DemandSim t;
    read_od(t, "title\n5 -3600 -7200 1\n"
               "1 1 2 100 0 3000 4000 1 0 0 0 0 0 1\n"
               "2 1 2 100 0 7200 8000 1 0 0 0 0 0 1\n"
               "3 1 2 100 0 0 3600 1 0 0 0 0 0 1\n"
               "4 1 2 100 0 3600 7200 1 0 0 0 0 0 1\n"
               "5 1 2 100 0 5000 9000 1 0 0 0 0 0 1\n");
    ASSERT_EQ(t.s.errcount.errt1, 0) << t.log();
    const auto& od = t.s.oddat;
    EXPECT_EQ(od.fodt, 3600);
    EXPECT_EQ(od.lodt, 7200);
    EXPECT_EQ(od.fodp, 1);
    EXPECT_EQ(od.lodp, 5);
    struct Expect {
        int   n;
        float rate, start, end;
    } const want[] = {
        {1, 100, 0, 400}, {2, 0, 3600, 3600}, {3, 0, 0, 0}, {4, 100, 0, 3600}, {5, 100, 1400, 3600},
    };
    for (const auto& w : want) {
        EXPECT_FLOAT_EQ(od.numod(w.n), w.rate) << w.n;
        EXPECT_FLOAT_EQ(od.demstr(w.n), w.start) << w.n;
        EXPECT_FLOAT_EQ(od.demend(w.n), w.end) << w.n;
    }
    EXPECT_EQ(od.max_od_time, 3600);
    EXPECT_TRUE(contains(t.summary(), "    - Time shift applied of :        3600"));
}

TEST(OdFile, OneNegativeHeaderValueStillMakesAWindow) {
    DemandSim t;
    read_od(t, "title\n1 -3600 10 1\n1 1 2 100 0 0 3600 1 0 0 0 0 0 1\n");
    ASSERT_EQ(t.s.errcount.errt1, 0);
    EXPECT_EQ(t.s.oddat.fodt, 3600);
    EXPECT_EQ(t.s.oddat.lodt, 10);
    checkod(t.s);
    EXPECT_EQ(t.codes(), std::vector<int>{142300}); // every record ends before it begins
}

TEST(OdFile, RecordRangeFromTheHeader) {
    struct Case {
        const char* first;
        const char* last;
        int         fodp, lodp;
    } const cases[] = {
        {"0", "0", 1, 5},   {"2.5", "7", 2, 5}, {"3", "0", 3, 5},
        {"0", "0.5", 1, 0}, {"1", "4", 1, 4},
    };
    for (const auto& c : cases) {
        DemandSim   t;
        std::string text = std::string("title\n5 ") + c.first + " " + c.last + " 1\n";
        for (int n = 1; n <= 5; ++n) text += std::to_string(n) + " 1 2 10 0 0 3600 1 0 0 0 0 0 1\n";
        read_od(t, text);
        ASSERT_EQ(t.s.errcount.errt1, 0) << c.first << " " << c.last;
        EXPECT_EQ(t.s.oddat.fodp, c.fodp) << c.first << " " << c.last;
        EXPECT_EQ(t.s.oddat.lodp, c.lodp) << c.first << " " << c.last;
    }
    DemandSim t;
    read_od(t, "title\n1 0 0.5 1\n1 1 2 10 0 0 3600 1 0 0 0 0 0 1\n");
    checkod(t.s);
    EXPECT_EQ(t.codes(), std::vector<int>{142033});
}

TEST(OdFile, SecondLayoutClassFactorsWeighRateAndShares) {
    DemandSim t;
    read_od(t, "title\n-1 0 0 1 2 1 1 1 1\n1 1 2 100 0 0 3600 0.5 -0.5 0 0 0 0 1 1 1\n");
    ASSERT_EQ(t.s.errcount.errt1, 0) << t.log();
    const auto& od = t.s.oddat;
    EXPECT_FLOAT_EQ(od.numod(1), 150.0f);
    EXPECT_NEAR(od.kvtyp(1, 1, 1), 0.6667f, 1e-4f);
    EXPECT_NEAR(od.kvtyp(1, 2, 1), -0.3333f, 1e-4f);
    EXPECT_NEAR(od.kvtyp(1, 5, 2), 1.0f, 1e-6f);
    EXPECT_EQ(od.odcol(1, 1), 2);
    EXPECT_EQ(od.odcol(1, 2), 1);
    EXPECT_TRUE(contains(t.log(), " - numod =    1     150.0  vt % =  0.667 -0.333  0.000"));
}

TEST(OdFile, SecondLayoutWithNoWeightedShareAsksForNoVehicles) {
    DemandSim t;
    // Factor 0 on the only class that has a share.
    read_od(t, "title\n-1 0 0 1 0 1 1 1 1\n1 1 2 100 0 0 3600 1 0 0 0 0 0 1 1 1\n");
    ASSERT_EQ(t.s.errcount.errt1, 0) << t.log();
    const auto& od = t.s.oddat;
    EXPECT_EQ(od.numod(1), 0.0f);
    for (int k = 1; k <= kClasses; ++k) EXPECT_EQ(od.kvtyp(1, k, 1), 0.0f);
    EXPECT_EQ(od.noshare(1), 1);
    checkod(t.s);
    EXPECT_TRUE(t.codes().empty()) << t.log();
    EXPECT_EQ(t.s.errcount.errt1, 0);

    // The first layout has no factors: shares summing to 0 still fail.
    DemandSim one;
    read_od(one, "title\n1 0 0 1\n1 1 2 100 0 0 3600 0 0 0 0 0 0 1\n");
    ASSERT_EQ(one.s.errcount.errt1, 0);
    checkod(one.s);
    EXPECT_EQ(one.codes(), std::vector<int>{142120});
}

TEST(OdFile, ShareSumsWithinRoundingPass) {
    DemandSim t;
    read_od(t, "title\n1 0 0 1\n1 1 2 100 0 0 3600 0.3 0.3 0.4000001 0 0 0 1\n");
    EXPECT_EQ(t.s.errcount.errt1, 0) << t.log();
    EXPECT_EQ(t.s.pathnam.filuse[4], 1);
}

// Every fatal condition of the reader: its code, two counts in errt1 (its own
// and the epilogue's) and the slot left unused.
TEST(OdFile, FatalRecordErrors) {
    struct Case {
        const char* what;
        const char* text;
        int         code;
        const char* detail;
    } const cases[] = {
        {"too many records", "title\n320001 0 0 1\n", 141010, "exceeds allowed maximum"},
        {"scale 0", "title\n1 0 0 0\n1 1 2 10 0 0 3600 1 0 0 0 0 0 1\n", 141005,
         "is less than 0.0"},
        {"record number too high", "title\n1 0 0 1\n320001 1 2 10 0 0 3600 1 0 0 0 0 0 1\n", 141020,
         "exceeds the allowed maximum:"},
        {"record number 0", "title\n1 0 0 1\n0 1 2 10 0 0 3600 1 0 0 0 0 0 1\n", 141020,
         "is below the allowed minimum:"},
        {"duplicate",
         "title\n2 0 0 1\n4 1 2 10 0 0 3600 1 0 0 0 0 0 1\n4 2 1 10 0 0 3600 1 0 0 0 0 0 1\n",
         141030, "is duplicated on line:           4"},
        {"destination-only origin", "title\n1 0 0 1\n1 10 2 10 0 0 3600 1 0 0 0 0 0 1\n", 141040,
         "not coded as origin"},
        {"ordinary-node origin", "title\n1 0 0 1\n1 12 2 10 0 0 3600 1 0 0 0 0 0 1\n", 141040,
         "not coded as origin"},
        {"origin-only destination", "title\n1 0 0 1\n1 1 11 10 0 0 3600 1 0 0 0 0 0 1\n", 141040,
         "not coded as dest."},
        {"origin outside the node table", "title\n1 0 0 1\n1 3000 2 10 0 0 3600 1 0 0 0 0 0 1\n",
         141040, "is outside the node numbers 1 to"},
        {"destination 0", "title\n1 0 0 1\n1 1 0 10 0 0 3600 1 0 0 0 0 0 1\n", 141040,
         "is outside the node numbers 1 to"},
        {"vehicle type 26", "title\n-1 0 0 1 1 1 1 1 1\n1 1 2 10 0 0 3600 1 0 0 0 0 0 1 1 26\n",
         141070, "is outside the types 1 to"},
        {"vehicle type 0", "title\n-1 0 0 1 1 1 1 1 1\n1 1 2 10 0 0 3600 1 0 0 0 0 0 1 1 0.9\n",
         141070, "is outside the types 1 to"},
        {"share above 1", "title\n1 0 0 1\n1 1 2 10 0 0 3600 1.5 0 0 0 0 0 1\n", 141050,
         "has weight greater than 1:"},
        {"share sum above 1", "title\n1 0 0 1\n1 1 2 10 0 0 3600 0.5 0.6 0 0 0 0 1\n", 141060,
         "vehicle type            2  has weight sum greater than 1.0:"},
    };
    for (const auto& c : cases) {
        DemandSim t;
        read_od(t, c.text);
        EXPECT_EQ(t.codes(), std::vector<int>{c.code}) << c.what << "\n" << t.log();
        EXPECT_TRUE(contains(t.log(), c.detail)) << c.what << "\n" << t.log();
        EXPECT_TRUE(contains(t.log(), "ERROR 1022")) << c.what;
        EXPECT_EQ(t.s.errcount.errt1, 2) << c.what;
        EXPECT_EQ(t.s.pathnam.filuse[4], 0) << c.what;
    }
}

// Failures without a message of their own: the epilogue names the stage.
TEST(OdFile, StagesOfAnIncompleteFile) {
    struct Case {
        const char* what;
        const char* text; // nullptr: no file
        const char* error;
        const char* line;
    } const cases[] = {
        {"missing", nullptr, "ERROR 1020", nullptr},
        {"empty", "", "ERROR 1021", nullptr},
        {"title only", "title\n", "ERROR 1022", "Attempting to read to LINE           2"},
        {"header not numeric", "title\nabc 0 0 1\n", "ERROR 1022", "LINE           2"},
        {"record cut short", "title\n2 0 0 1\n1 1 2 10 0 0 3600 1 0 0 0 0 0 1\n2 1 2\n",
         "ERROR 1022", "LINE           4"},
    };
    for (const auto& c : cases) {
        DemandSim t;
        if (c.text) t.s.units.put_file("od.dat", c.text);
        read4(t.s, "od.dat");
        EXPECT_TRUE(contains(t.log(), c.error)) << c.what << "\n" << t.log();
        if (c.line) {
            EXPECT_TRUE(contains(t.log(), c.line)) << c.what << "\n" << t.log();
        }
        EXPECT_EQ(t.s.errcount.errt1, 2) << c.what;
        EXPECT_EQ(t.s.pathnam.filuse[4], 0) << c.what;
    }
}

TEST(OdFile, InputDirectoryPrefixesTheName) {
    DemandSim t;
    t.s.filenam.path1 = "in/";
    t.s.pathnam.lpath[1] = 3;
    t.s.units.put_file("in/od.dat", std::string("title\n3 0 0 1\n") + kThreeRecords);
    read4(t.s, "od.dat");
    EXPECT_EQ(t.s.errcount.errt1, 0) << t.log();
    EXPECT_EQ(t.s.oddat.maodp, 3);
}

} // namespace
} // namespace velm
