// The node file and the node checks.
#include "core/network/network.h"
#include "network_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velm {
namespace {

using testing_network::contains;
using testing_network::has_line;
using testing_network::NetRun;

struct NodeCase {
    const char* what;
    const char* text;
    int         code;   // first error code on the run log; 0 none
    const char* detail; // a part of the log that must appear ("" none)
    bool        fatal;  // errt1 raised
};

// Files that must stop (or not stop) the reader, with the code and message.
const NodeCase kNodeCases[] = {
    {"one record is below the minimum of two", "t\n1 1 1\n5 1 1 4 0 0\n", 111020,
     "Number of nodes=           1 is below min =           1", true},
    {"too many records", "t\n2997 1 1\n", 111010, "exceeds maximum=        2996", true},
    {"six land uses", "t\n-2 1 1 6\n", 111025, "Number of land uses=", true},
    {"node 17 coded twice", "t\n3 1 1\n-17 1 1 4 0 0\n18 2 2 4 0 0\n17 3 3 4 0 0\n", 111050,
     "already exists", true},
    {"a node at negative x is still coded", "t\n2 1 1\n5 -1 1 4 0 0\n5 2 2 4 0 0\n", 111050,
     "already exists", true},
    {"node number beyond any integer", "t\n2 1 1\n3e9 1 1 4 0 0\n6 1 1 4 0 0\n", 111030,
     "exceeds max.=        2996", true},
    {"node number 0", "t\n2 1 1\n0 1 1 4 0 0\n6 1 1 4 0 0\n", 111040, "exceeds min.=", true},
    {"macro code beyond 500", "t\n2 1 1\n5 1 1 1 -501 0\n6 1 1 4 0 0\n", 111060,
     "Macro Zone =", true},
    {"sign digit 6 for class 1", "t\n2 1 1\n5 1 1 4 0 60000\n6 1 1 4 0 0\n", 111070,
     "Vehicle Type=           1  is coded as becoming type            6", true},
    {"macro code -0.5", "t\n2 1 1\n5 1 1 1 -0.5 0\n6 1 1 4 0 0\n", 111066,
     " which exceeds max. number =         500", true},
    {"positive macro code", "t\n2 1 1\n5 1 1 1 3 0\n6 1 1 4 0 0\n", 111067,
     ". Solution: code as a zone centroid", true},
    {"two centroids of macro zone 3", "t\n2 1 1\n5 1 1 1 -3 0\n6 2 2 1 -3 0\n", 111066,
     " which already exists as =           5", true},
    {"destination zone numbered 411", "t\n2 1 1\n411 1 1 2 0 0\n6 1 1 4 0 0\n", 111060,
     " but exceeds maximum zones =         410", true},
    {"plain node numbered 411", "t\n2 1 1\n411 1 1 4 0 0\n6 2 2 4 0 0\n", 0, "", false},
    {"type 7 is reported and read on", "t\n2 1 1\n20 1 1 7 0 0\n21 2 2 4 0 0\n", 111070,
     "Invalid Type=           7", false},
    {"negative sign fraction", "t\n2 1 1\n20 1 1 4 0 -0.5\n21 2 2 4 0 0\n", 111080,
     "Invalid cms=", false},
    {"file ends before its records", "t\n3 1 1\n5 1 1 4 0 0\n", 0, "ERROR 1022", true},
    {"a value that is not a number", "t\n2 1 1\n5 x 1 4 0 0\n6 1 1 4 0 0\n", 0, "ERROR 1022", true},
};

TEST(NodeFile, RecordsAndHeadersAreCheckedAsTheyAreRead) {
    for (const auto& c : kNodeCases) {
        SCOPED_TRACE(c.what);
        NetRun r;
        r.s.units.put_file("nodes.dat", c.text);
        read1(r.s, "nodes.dat");
        const auto codes = r.codes(1);
        if (c.code == 0) {
            EXPECT_TRUE(codes.empty());
        } else {
            ASSERT_FALSE(codes.empty());
            EXPECT_EQ(codes.front(), c.code);
        }
        if (c.detail[0] != '\0') {
            EXPECT_TRUE(contains(r.log(), c.detail)) << r.log();
        }
        EXPECT_EQ(r.s.errcount.errt1 > 0, c.fatal);
        EXPECT_EQ(r.s.pathnam.filuse[1], c.fatal ? 0 : 1);
    }
}

TEST(NodeFile, FatalRecordIsCountedByTheReaderAndTheEpilogue) {
    NetRun r;
    r.s.units.put_file("nodes.dat", "t\n2 1 1\n5 1 1 4 0 0\n5 2 2 4 0 0\n");
    read1(r.s, "nodes.dat");
    EXPECT_EQ(r.s.errcount.errt1, 2);
    EXPECT_TRUE(contains(r.log(), "Error in Reading Data file=nodes.dat"));
    EXPECT_TRUE(contains(r.log(), " at line           4 already exists")) << r.log();
}

TEST(NodeFile, MissingFileIsReportedAsNotFound) {
    NetRun r;
    read1(r.s, "none.dat");
    EXPECT_TRUE(contains(r.log(), "ERROR 1020"));
    EXPECT_TRUE(contains(r.log(), "Error in Reading Data file=none.dat"));
    EXPECT_EQ(r.s.errcount.errt1, 2);
}

TEST(NodeFile, SecondLayoutReadsLandUsesOfZonesOnly) {
    NetRun r;
    r.s.units.put_file("nodes.dat", "land use nodes\n-3, 1.0, 1.0, 2\n"
                                    "1 1 1 1 -1 0 100 200\n"
                                    "2 2 1 1 -2 0 300 400\n"
                                    "30 2 2 4 0 0\n");
    read1(r.s, "nodes.dat");
    EXPECT_EQ(r.s.errcount.errt1, 0) << r.log();
    EXPECT_EQ(r.s.landuse.nlanduse, 2);
    EXPECT_FLOAT_EQ(r.s.landuse.landuse(1, 1), 100.0f);
    EXPECT_FLOAT_EQ(r.s.landuse.landuse(1, 2), 200.0f);
    EXPECT_FLOAT_EQ(r.s.landuse.landuse(2, 2), 400.0f);
    EXPECT_EQ(r.s.graph1.ntyp(30), 4);
    EXPECT_EQ(r.s.set2.nnodes, 3);
    EXPECT_EQ(r.s.set2.mnodenum, 30);
    EXPECT_EQ(r.s.set2.mmazon, 2);
    EXPECT_EQ(r.s.filenam.ftitle(1), "land use nodes");
}

TEST(NodeFile, FieldsAreStoredAsCoded) {
    NetRun r;
    r.s.units.put_file("nodes.dat", "metres\n4 0.001 0.001\n"
                                    "-17 1500 2500 4 0 1.5\n"
                                    "3 1000 1000 1 -7 12345.25\n"
                                    "5 2000 500 2 -8 0\n"
                                    "8 3000 600 3 -9 0\n");
    read1(r.s, "nodes.dat");
    const auto& g = r.s.graph1;
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    EXPECT_EQ(g.uturn(17), 1);
    EXPECT_EQ(g.uturn(3), -1);
    EXPECT_FLOAT_EQ(g.x(17), 1.5f);
    EXPECT_FLOAT_EQ(g.y(17), 2.5f);
    EXPECT_FLOAT_EQ(g.cms(17), 0.5f);
    EXPECT_EQ(g.cmstyp(17, 5), 1);
    EXPECT_EQ(g.cmstyp(17, 1), 0);
    for (int c = 1; c <= 5; ++c) EXPECT_EQ(g.cmstyp(3, c), c);
    EXPECT_FLOAT_EQ(g.cms(3), 0.25f);
    EXPECT_EQ(g.macrzon(3), -7);
    EXPECT_EQ(g.mazn(7), 3);
    EXPECT_EQ(g.nodnum(1), 17);
    EXPECT_EQ(g.nodnum(4), 8);
    EXPECT_EQ(r.s.set2.mzones, 8);
    EXPECT_EQ(r.s.set2.minorg, 3);
    EXPECT_EQ(r.s.set2.maxorg, 8);
    EXPECT_EQ(r.s.set2.mindst, 3);
    EXPECT_EQ(r.s.set2.maxdst, 5);
    EXPECT_EQ(r.s.set2.mmazon, 9);
    EXPECT_TRUE(has_line(r.summary(), free_line("     - Minimum origin     =", 3)));
    EXPECT_TRUE(has_line(r.summary(), free_line("     - Maximum destination=", 5)));
    EXPECT_TRUE(has_line(r.summary(), free_line("     - Number of CMS coded nodes     =", 2)));
    EXPECT_TRUE(contains(r.summary(), "Complete file"));
}

TEST(NodeFile, ProgressIsLoggedEveryThousandRecords) {
    NetRun      r;
    std::string t = "big\n2500 1 1\n";
    for (int n = 1; n <= 2500; ++n) t += std::to_string(n) + " 1 1 4 0 0\n";
    r.s.units.put_file("nodes.dat", t);
    read1(r.s, "nodes.dat");
    EXPECT_TRUE(has_line(r.log(), free_line("     - Reading node=", 1000, " of ", 2500)));
    EXPECT_TRUE(has_line(r.log(), free_line("     - Reading node=", 2000, " of ", 2500)));
    EXPECT_FALSE(contains(r.log(), free_line("     - Reading node=", 2500)));
}

TEST(NodeFile, ABatchRunKeepsNothingOfTheRunBefore) {
    NetRun r;
    r.s.units.put_file("a.dat", "a\n3 1 1\n1 1 1 1 -1 0.5\n2 2 2 4 0 0\n30 3 3 4 0 0\n");
    r.s.units.put_file("b.dat", "b\n2 1 1\n2 2 2 4 0 0\n40 3 3 4 0 0\n");
    read1(r.s, "a.dat");
    read1(r.s, "b.dat");
    EXPECT_EQ(r.s.errcount.errt1, 0) << r.log();
    EXPECT_EQ(r.s.graph1.ntyp(30), 0);
    EXPECT_EQ(r.s.graph1.ntyp(1), 0);
    EXPECT_EQ(r.s.graph1.mazn(1), 0);
    EXPECT_EQ(r.s.graph1.macrzon(1), 0);
    EXPECT_FLOAT_EQ(r.s.graph1.cms(1), 0.0f);
    EXPECT_EQ(r.s.set2.mnodenum, 40);
}

// Window of nodes (1, 1) and (3, 2): the larger x extent makes the square.
TEST(NodeWindow, SquareAroundTheNodesThenMargins) {
    NetRun r;
    r.s.units.put_file("nodes.dat", "w\n2 1 1\n1 1 1 4 0 0\n2 3 2 4 0 0\n");
    read1(r.s, "nodes.dat");
    const std::string        a = "  a. Node coordinate ranges:   ";
    const auto               lines = testing_network::lines_of(r.summary());
    std::vector<std::string> expected = {"     - Minimum X =     1.000",
                                         "     - Maximum X =     3.000",
                                         "     - Minimum Y =     0.500",
                                         "     - Maximum Y =     2.500",
                                         free_line("   "),
                                         free_line("  b. Network window coordinates:   "),
                                         "     - Minimum X =     0.900",
                                         "     - Maximum X =     3.100",
                                         "     - Minimum Y =     0.400",
                                         "     - Maximum Y =     2.600"};
    auto                     it = std::find(lines.begin(), lines.end(), free_line(a));
    ASSERT_NE(it, lines.end());
    for (const auto& e : expected) EXPECT_EQ(*++it, e);
    EXPECT_FLOAT_EQ(r.s.set2.xmin(4), r.s.set2.xmin(1));
    EXPECT_FLOAT_EQ(r.s.set2.ymax(2), r.s.set2.ymax(1));
    checknode(r.s);
    EXPECT_EQ(r.s.errcount.errt1, 0) << r.log();
}

struct CheckCase {
    const char* what;
    const char* text;
    int         code; // 0: passes
    const char* detail;
};

const CheckCase kCheckCases[] = {
    {"nodes within 0.09 km", "t\n2 1 1\n1 1 1 4 0 0\n2 1.09 1.05 4 0 0\n", 112030,
     " is within 0.1 km of xmax="},
    {"node at x = 0", "t\n3 1 1\n1 1 1 4 0 0\n2 3 2 4 0 0\n3 0 1 4 0 0\n", 112250,
     " which is less than min x-cor=           0"},
    {"node at y = 0 is valid", "t\n2 1 1\n1 1 0 4 0 0\n2 3 2 4 0 0\n", 0, ""},
    {"invalid type", "t\n2 1 1\n20 1 1 7 0 0\n21 3 2 4 0 0\n", 112270,
     " has node type=           5  which is higher than max=           4"},
    {"destination zone without macro code", "t\n2 1 1\n5 1 1 2 0 0\n21 3 2 4 0 0\n", 114220,
     " but has invalid macro cluster           0"},
    {"x beyond 10000 km", "t\n2 1 1\n1 1 1 4 0 0\n2 10001 2 4 0 0\n", 112230,
     " which is higher than max x-cor="},
    {"no node at positive x", "t\n2 1 1\n1 -1 1 4 0 0\n2 -3 2 4 0 0\n", 112010,
     " is greater than xmax"},
};

TEST(NodeChecks, FirstFailingTestIsReported) {
    for (const auto& c : kCheckCases) {
        SCOPED_TRACE(c.what);
        NetRun r;
        r.s.units.put_file("nodes.dat", c.text);
        read1(r.s, "nodes.dat");
        const int numerr = r.s.errcount.numerr;
        const int errt1 = r.s.errcount.errt1;
        checknode(r.s);
        auto codes = r.codes(1);
        if (c.code == 0) {
            EXPECT_EQ(r.s.errcount.errt1, errt1) << r.log();
            continue;
        }
        ASSERT_FALSE(codes.empty()) << r.log();
        EXPECT_EQ(codes.back(), c.code);
        EXPECT_TRUE(contains(r.log(), c.detail)) << r.log();
        EXPECT_EQ(r.s.errcount.numerr, numerr + 1);
        EXPECT_EQ(r.s.errcount.errt1, errt1 + 1);
    }
}

TEST(NodeChecks, TypeTotalsLeaveOutNodesAtXZero) {
    NetRun r;
    r.s.units.put_file("nodes.dat", "t\n4 1 1\n1 1 1 1 -1 0\n2 2 1 4 0 0\n3 0 1 4 0 0\n"
                                    "20 3 3 9 0 0\n");
    read1(r.s, "nodes.dat");
    const auto& g = r.s.graph1;
    EXPECT_EQ(g.numtyp(1), 1);
    EXPECT_EQ(g.numtyp(4), 1); // node 3 at x = 0 is not counted
    EXPECT_EQ(g.numtyp(5), 1);
    EXPECT_TRUE(has_line(r.summary(), free_line("     - Number of invalid nodes       =", 1)));
    EXPECT_TRUE(has_line(r.summary(), free_line("     - Number nodes (total)          =", 2)));
}

TEST(NodeChecks, NoZonesLeaveTheExtentsAtTheirStart) {
    NetRun r;
    r.s.units.put_file("nodes.dat", "t\n2 1 1\n1 1 1 4 0 0\n2 3 2 4 0 0\n");
    r.s.nodes.dptrs(1, 1, 1) = 7;
    read1(r.s, "nodes.dat");
    EXPECT_EQ(r.s.set2.minorg, 99999);
    EXPECT_EQ(r.s.set2.mindst, 99999);
    EXPECT_EQ(r.s.set2.maxorg, 0);
    EXPECT_EQ(r.s.set2.maxdst, 0);
    EXPECT_EQ(r.s.set2.mzones, 0);
    EXPECT_EQ(r.s.nodes.dptrs(1, 1, 1), 7); // setdep clears nothing
}

} // namespace
} // namespace velm
