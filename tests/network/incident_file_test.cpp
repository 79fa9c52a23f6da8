#include "core/network/network.h"
#include "network/network_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace velm {
namespace {

using testing_network::has_line;
using TestRun = testing_network::NetRun;

// Links of the incident tests: 3 lanes of 0.8 km (link 10), 4 lanes of
// 1.2 km (link 11), 2 lanes of 0.2 km (link 12).
void links(Sim& s) {
    const struct {
        int   l;
        float km;
        int   lanes;
    } rows[] = {{10, 0.8f, 3}, {11, 1.2f, 4}, {12, 0.2f, 2}};
    for (const auto& r : rows) {
        s.link4.llength(r.l) = r.km;
        s.link1.nulans(r.l) = r.lanes;
    }
    s.link2.mlnum = 12;
}

void read_incidents(TestRun& r, const std::string& body) {
    links(r.s);
    r.s.units.put_file("incid.dat", "Incidents\n" + body);
    read5(r.s, "incid.dat");
}

TEST(IncidentFile, ShortLayoutSpreadsTheBlockageOverEveryLane) {
    TestRun r;
    read_incidents(r, "2\n3 10 1.5 100 400\n5 12 1 0 60\n");
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    const auto& inc = r.s.incident;
    EXPECT_EQ(inc.nminc, 2);
    EXPECT_EQ(inc.mainc, 5);
    EXPECT_EQ(inc.lninc(3), 10);
    EXPECT_EQ(inc.stinc(3), 100);
    EXPECT_EQ(inc.eninc(3), 400);
    EXPECT_EQ(inc.tminc(3), 300);
    for (int j = 1; j <= kMaxLinkLanes; ++j) EXPECT_FLOAT_EQ(inc.lane(3, j), 0.5f) << j;
    EXPECT_FLOAT_EQ(inc.inclng(3, 1), 0.55f);
    EXPECT_FLOAT_EQ(inc.inclng(3, 2), 0.8f);
    // A link shorter than 250 m is blocked from its upstream end.
    EXPECT_FLOAT_EQ(inc.inclng(5, 1), 0.0f);
    EXPECT_FLOAT_EQ(inc.inclng(5, 2), 0.2f);
    for (int k : {1, 2, 4}) EXPECT_EQ(inc.lninc(k), kIncidentUnused) << k;
    EXPECT_EQ(r.s.pathnam.filuse[5], 1);
    EXPECT_TRUE(has_line(r.summary(), free_line("     - number of incidents  =", 2)));
    EXPECT_NE(r.summary().find("     - Complete file:   5   incid.dat"), std::string::npos);
}

TEST(IncidentFile, LongLayoutDecodesTheLaneCode) {
    TestRun r;
    read_incidents(r, "-2\n7 11 0.3 0.9 50 500 1020\n2 10 0 0.8 0 100 3\n");
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    const auto& inc = r.s.incident;
    EXPECT_EQ(inc.mainc, 7);
    for (int k : {1, 3, 4, 5, 6}) EXPECT_EQ(inc.lninc(k), kIncidentUnused) << k;
    const float expected[kMaxLinkLanes] = {0, -0.2f, 0, -1.0f, 0, 0, 0};
    for (int j = 1; j <= kMaxLinkLanes; ++j) EXPECT_FLOAT_EQ(inc.lane(7, j), expected[j - 1]) << j;
    EXPECT_FLOAT_EQ(inc.inclng(7, 1), 0.3f);
    EXPECT_FLOAT_EQ(inc.inclng(7, 2), 0.9f);
    EXPECT_EQ(inc.tminc(7), 450);
    EXPECT_FLOAT_EQ(inc.lane(2, 1), -0.3f);
}

TEST(IncidentFile, CountOfZeroCompletesTheFile) {
    TestRun r;
    read_incidents(r, "0\n");
    EXPECT_EQ(r.s.errcount.errt1, 0);
    EXPECT_EQ(r.s.incident.mainc, 0);
    EXPECT_EQ(r.s.pathnam.filuse[5], 1);
}

TEST(IncidentFile, BadRecordsStopTheReader) {
    struct Case {
        const char* body;
        int         code;
        int         line;
    };
    const Case cases[] = {
        {"36\n", 151010, 2},
        {"1\n36 10 1 0 60\n", 151110, 3},
        {"1\n0 10 1 0 60\n", 151120, 3},
        {"2\n4 10 1 0 60\n4 11 1 0 60\n", 151130, 4},
        {"1\n1 0.5 1 0 60\n", 151140, 3},
        {"1\n1 4488 1 0 60\n", 151150, 3},
        {"1\n1 20 1 0 60\n", 151150, 3},  // link not in use
        {"1\n1 10 1 60 60\n", 151140, 3}, // equal start and end
        {"-1\n1 11 -0.1 0.9 0 60 1\n", 151132, 3},
        {"-1\n1 11 1.3 0.9 0 60 1\n", 151133, 3},
        {"-1\n1 11 0.3 -0.9 0 60 1\n", 151132, 3},
        {"-1\n1 11 0.3 1.5 0 60 1\n", 151133, 3},
        {"-1\n1 20 0.3 0.9 0 60 1\n", 151133, 3}, // link not in use
        {"-1\n1 11 0.9 0.3 0 60 1\n", 151134, 3}, // start after end
        {"-1\n1 11 0.3 0.9 0 60 10000\n", 151136, 3},
        {"-1\n1 11 0.3 0.9 0 60 -11\n", 151137, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        TestRun r;
        read_incidents(r, c.body);
        EXPECT_EQ(r.codes(5), std::vector<int>{c.code}) << r.log();
        EXPECT_TRUE(has_line(r.log(), free_line("Attempting to read to LINE", c.line)));
        // Counted by the reader and again by listerr.
        EXPECT_EQ(r.s.errcount.errt1, 2);
        EXPECT_EQ(r.s.pathnam.filuse[5], 0);
    }
    TestRun dup;
    read_incidents(dup, cases[3].body);
    EXPECT_TRUE(
        has_line(dup.log(), free_line("Duplicate incident number  ", 4, " line number  ", 4)));
    TestRun lane5;
    read_incidents(lane5, "-1\n1 11 0.3 0.9 0 60 10000\n");
    EXPECT_TRUE(has_line(lane5.log(), free_line(" Incident ", 1, " on link ", 11, " impacts lane ",
                                                5, " which does not exist ")));
}

TEST(IncidentFile, ReadFailuresAreListed) {
    struct Case {
        const char* text; // nullptr: no file
        const char* error;
    };
    const Case cases[] = {
        {nullptr, "ERROR 1020"},
        {"", "ERROR 1021"},
        {"Incidents\n", "ERROR 1022"},
        {"Incidents\n2\n1 10 1 0 60\n", "ERROR 1022"},
        {"Incidents\n1.0\n", "ERROR 1022"}, // the count is a whole number
    };
    for (const Case& c : cases) {
        TestRun r;
        links(r.s);
        if (c.text) r.s.units.put_file("incid.dat", c.text);
        read5(r.s, "incid.dat");
        EXPECT_TRUE(has_line(r.log(), free_line(c.error))) << r.log();
        EXPECT_EQ(r.s.errcount.errt1, 2);
    }
}

TEST(CheckIncidents, HorizonWarningsAndMissingLinks) {
    struct Case {
        const char*      name;
        int              start, end, link;
        std::vector<int> codes;
        int              fatal;
    };
    const Case cases[] = {
        {"starts at the horizon", 3600, 3700, 10, {152240}, 0},
        {"starts after the horizon", 3601, 3700, 10, {152220, 152240}, 0},
        {"inside the run", 0, 600, 10, {}, 0},
        {"link not coded", 0, 600, 20, {152320}, 1},
        {"link beyond the table", 0, 600, 5000, {152300}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestRun r;
        links(r.s);
        r.s.set1.simtim1 = 3600;
        auto& inc = r.s.incident;
        inc.mainc = 4;
        inc.lninc(4) = c.link;
        inc.stinc(4) = c.start;
        inc.eninc(4) = c.end;
        checkinc(r.s);
        EXPECT_EQ(r.codes(5), c.codes) << r.log();
        EXPECT_EQ(r.s.errcount.numerr, static_cast<int>(c.codes.size()));
        EXPECT_EQ(r.s.errcount.errt1, c.fatal);
        EXPECT_EQ(inc.lninc(4), c.link); // warnings keep the incident
    }
    TestRun r;
    links(r.s);
    r.s.set1.simtim1 = 100;
    r.s.incident.mainc = 1;
    r.s.incident.lninc(1) = 10;
    r.s.incident.stinc(1) = 101;
    r.s.incident.eninc(1) = 200;
    checkinc(r.s);
    EXPECT_TRUE(has_line(r.log(), free_line("The incident on link ", 10,
                                            " begins after the simulation has ended.")));
}

} // namespace
} // namespace velm
