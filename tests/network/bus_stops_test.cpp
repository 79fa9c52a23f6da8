// The bus-stop file: stored values, the link lists, and the all-or-nothing
// policy for faulty files.
#include "core/network/bus_stops.h"
#include "core/network/network.h"
#include "network_fixture.h"

#include "support/text.h"
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>
#include <string>

namespace velm::testing_network {
namespace {

std::string lanechg_fixture(const std::string& name) {
    return support::data_file("lanechg", name);
}

// Link 7: three lanes, 0.5 km; link 2: two lanes, 0.4 km; link 5: one lane.
struct StopRun : NetRun {
    StopRun() {
        coded(7, 3, 0.5f);
        coded(2, 2, 0.4f);
        coded(5, 1, 0.3f);
    }
    void coded(int l, int lanes, float km) {
        s.link4.llength(l) = km;
        s.link1.nulans(l) = lanes;
    }
    void read(const std::string& text) {
        s.filenam.files(kBusStopSlot) = "stops.dat";
        s.units.put_file("stops.dat", text);
        rdbusstp(s);
    }
    bool no_stops() const {
        for (int l = 1; l <= kMaxLinks; ++l)
            if (s.busstop.tbstpln(l) != 0) return false;
        return s.busstop.mbusstp == 0;
    }
};

TEST(BusStops, RecordsAreStoredInModelUnitsAndListedByLink) {
    StopRun r;
    r.read(lanechg_fixture("bus_stops.dat"));
    const auto& b = r.s.busstop;
    ASSERT_FALSE(r.no_stops()) << r.log();
    EXPECT_TRUE(contains(r.summary(), "     - input of bus stop data complete "));
    // Stop 3 was given twice: the later record holds, both are counted.
    EXPECT_EQ(b.tbusstp, 4);
    EXPECT_EQ(b.mbusstp, 9);
    using Row = std::array<int, 7>;
    auto row = [&](int j) {
        Row v{};
        for (int k = 1; k <= 7; ++k) v[static_cast<std::size_t>(k - 1)] = b.busstp(j, k);
        return v;
    };
    // 0.30 km in file lane 2 of 3 -> 300 m in model lane 2; spread 0.2 -> 200.
    EXPECT_EQ(row(3), (Row{7, 300, 2, 25, 200, 11000, 15}));
    // File lane 3 of 3 is the curb lane 1 of the model.
    EXPECT_EQ(row(1), (Row{7, 100, 1, 15, 0, 10001, 20}));
    EXPECT_EQ(row(9), (Row{2, 400, 2, 30, 500, 100, 30}));
    using Classes = std::array<int, 5>;
    auto classes = [&](int j) {
        Classes v{};
        for (int c = 1; c <= 5; ++c) v[static_cast<std::size_t>(c - 1)] = b.bustyp(j, c);
        return v;
    };
    EXPECT_EQ(classes(3), (Classes{1, 1, 0, 0, 0}));
    EXPECT_EQ(classes(1), (Classes{1, 0, 0, 0, 1}));
    EXPECT_EQ(classes(9), (Classes{0, 0, 1, 0, 0}));
    // Stops of a link in ascending stop number.
    EXPECT_EQ(b.tbstpln(7), 2);
    EXPECT_EQ(b.buslin(7, 1), 1);
    EXPECT_EQ(b.buslin(7, 2), 3);
    EXPECT_EQ(b.tbstpln(2), 1);
    EXPECT_EQ(b.buslin(2, 1), 9);
}

TEST(BusStops, StopPlacementExample) {
    StopRun r;
    r.read("one stop\n1\n12 7 0.25 1 20 0.3 10001 0.015\n");
    EXPECT_EQ(r.s.busstop.busstp(12, 2), 250);
    EXPECT_EQ(r.s.busstop.busstp(12, 3), 3); // file lane 1 of 3
    EXPECT_EQ(r.s.busstop.busstp(12, 5), 300);
    EXPECT_EQ(r.s.busstop.busstp(12, 7), 15);
}

TEST(BusStops, FaultyFilesLeaveNoStopInForce) {
    struct Case {
        const char* what;
        std::string text;
        const char* log; // run-log text expected ("" none)
    };
    std::string six = "six on link 5\n6\n";
    for (int j = 1; j <= 6; ++j)
        six += std::to_string(j) + " 5 0.0" + std::to_string(j) + " 1 10 0 10000 0.01\n";
    const Case cases[] = {
        {"count too high", "t\n401\n", "exceeds maximum of"},
        {"count written as a real", "t\n2.0\n", ""},
        {"negative count", "t\n-1\n", "is less than 0"},
        {"stop number above 400", "t\n1\n401 7 0.1 1 10 0 10000 0.01\n", "exceeds maximum of"},
        {"stop number 0", "t\n1\n0 7 0.1 1 10 0 10000 0.01\n", "is less than 1"},
        {"link beyond the table", "t\n1\n1 4488 0.1 1 10 0 10000 0.01\n", "which does not exist"},
        {"link not coded", "t\n1\n1 8 0.1 1 10 0 10000 0.01\n", "which does not exist"},
        {"lane 4 of a 3-lane link", "t\n1\n1 7 0.1 4 10 0 10000 0.01\n", "is not a lane of link"},
        {"lane 0", "t\n1\n1 7 0.1 0 10 0 10000 0.01\n", "is not a lane of link"},
        {"position past the link end", "t\n1\n1 7 0.6 1 10 0 10000 0.01\n", "lies outside link"},
        {"negative position", "t\n1\n1 7 -0.1 1 10 0 10000 0.01\n", "lies outside link"},
        {"file ends early", "t\n2\n1 7 0.1 1 10 0 10000 0.01\n2 7 0.2\n", ""},
        {"sixth stop on one link", six, " exceeds link maximum of"},
        {"title only", "t\n", ""},
    };
    for (const Case& c : cases) {
        StopRun r;
        r.read(c.text);
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(r.no_stops());
        EXPECT_TRUE(contains(r.summary(), "     - number of bus stops set to 0 "));
        EXPECT_FALSE(contains(r.summary(), "complete"));
        if (*c.log) {
            EXPECT_TRUE(contains(r.log(), c.log)) << r.log();
        }
        EXPECT_EQ(r.s.errcount.errt1, 0); // never an error: the run goes on without stops
    }
}

TEST(BusStops, CountAboveTheMaximumIsShownOnBothOutputs) {
    StopRun r;
    r.read("t\n401\n");
    const std::string line = free_line(" Number of bus stop ", 401, " exceeds maximum of ", 400);
    EXPECT_TRUE(contains(r.summary(), line));
    EXPECT_TRUE(contains(r.log(), line));
}

TEST(BusStops, NoFileNamedOrFileMissing) {
    for (const char* name : {"", "nowhere.dat"}) {
        StopRun r;
        r.s.filenam.files(kBusStopSlot) = name;
        rdbusstp(r.s);
        SCOPED_TRACE(name);
        EXPECT_TRUE(r.no_stops());
        EXPECT_TRUE(contains(r.summary(), " 22. Bus stop  - inputs  "));
        EXPECT_TRUE(contains(r.summary(), "     - number of bus stops set to 0 "));
        EXPECT_FALSE(contains(r.summary(), "file opened"));
    }
}

} // namespace
} // namespace velm::testing_network
