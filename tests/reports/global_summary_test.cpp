// The global summary: sums and averages of the completed trips per class and
// in total, its layout, and a file that cannot be created.
#include "core/io/units.h"
#include "core/reports/reports.h"

#include "support/memory_run.h"
#include "support/temp_dir.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace velm {
namespace {

using support::contains;
using support::lines_of;
using support::MemoryRun;

constexpr char kGlobalFile[] = "global.out";

// The numbers of row `row` in the "Total" (first) or "Average" (second) table:
// classes 1..5 then the total.
std::vector<double> row_values(const std::string& text, bool averages, int row) {
    const auto        lines = lines_of(text);
    const std::string head = averages ? " Average Statistics: " : " Total Statistics: ";
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i] == head) {
            const std::string& l = lines.at(i + static_cast<std::size_t>(row));
            EXPECT_EQ(std::stoi(l.substr(0, 3)), row);
            std::vector<double> v;
            for (int c = 0; c < 6; ++c)
                v.push_back(std::stod(l.substr(3 + static_cast<std::size_t>(c) * 14, 14)));
            return v;
        }
    ADD_FAILURE() << "no table " << head << " in\n" << text;
    return {};
}

struct GlobalSummary : ::testing::Test {
    MemoryRun run;
    Sim&      s = run.s;
    void      SetUp() override { s.filenam.files(28) = kGlobalFile; }

    // Trip car of class c with p persons, completed unless `dept` says otherwise.
    void trip(int car, int c, int p, float dept = -1.0f) {
        s.set2.tdemand = std::max(s.set2.tdemand, car);
        s.oddat.vtyp(car) = c;
        s.oddat.percar(car) = p;
        s.vehicle.dept(car) = dept;
        s.vehicle.strtrp(car, 1) = 100.0f;
        s.vehicle.arrt(car) = 400.0f; // 300 s
        s.vehplot.trpdst(car, 1) = 2.0f;
        s.vehicle.stpdel(car, 4) = 50.0f;
        s.vehicle.stpdel(car, 2) = 20.0f;
        s.vehicle.envt(car, 1) = 0.25f;
        s.vehicle.envt(car, 7) = 7200.0f; // kW s
        s.accid.vehacc(car, 2, 1) = 0.5f;
        s.tolplaz.vehtol(car, 2) = 1.5f;
    }
    std::string text() {
        globsum(s);
        EXPECT_FALSE(s.units.is_open(1));
        return s.units.file_text(kGlobalFile);
    }
};

TEST_F(GlobalSummary, TripsNotCompletedAddNothing) {
    trip(1, 1, 2, 350.0f); // on the network, far driven
    trip(2, 2, 1, 0.0f);   // scheduled at time 0, never left its origin
    s.vehplot.trpdst(1, 1) = 40.0f;
    const std::string t = text();
    for (int row = 1; row <= 25; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(row_values(t, false, row), std::vector<double>(6, 0.0));
        EXPECT_EQ(row_values(t, true, row), std::vector<double>(6, 0.0));
    }
    EXPECT_TRUE(contains(t, "          0.00          0.00")) << t;
    EXPECT_TRUE(contains(t, "        0.0000        0.0000")) << t;
}

TEST_F(GlobalSummary, SumsAndAveragesPerVehicleTripOrPersonTrip) {
    trip(1, 1, 1);
    trip(2, 1, 3);
    trip(3, 4, 2);
    trip(4, 4, 2, 99.0f); // still en route
    const std::string t = text();
    using V = std::vector<double>;
    // Columns: classes 1..5, total.
    EXPECT_EQ(row_values(t, false, 1), (V{2, 0, 0, 1, 0, 3}));
    EXPECT_EQ(row_values(t, false, 2), (V{4, 0, 0, 2, 0, 6}));
    EXPECT_EQ(row_values(t, false, 3), (V{4, 0, 0, 2, 0, 6}));
    EXPECT_EQ(row_values(t, false, 4), (V{8, 0, 0, 4, 0, 12}));
    EXPECT_EQ(row_values(t, false, 7), (V{1200, 0, 0, 600, 0, 1800}));
    EXPECT_EQ(row_values(t, false, 10), (V{60, 0, 0, 30, 0, 90}));
    EXPECT_EQ(row_values(t, false, 13), (V{4, 0, 0, 2, 0, 6})); // 7200 kW s = 2 kWh
    EXPECT_EQ(row_values(t, false, 19), (V{1, 0, 0, 0.5, 0, 1.5}));
    EXPECT_EQ(row_values(t, false, 25), (V{3, 0, 0, 1.5, 0, 4.5}));

    // Person trips per person trip: 1 for every class with trips.
    EXPECT_EQ(row_values(t, true, 2), (V{1, 0, 0, 1, 0, 1}));
    EXPECT_EQ(row_values(t, true, 1), (V{1, 0, 0, 1, 0, 1}));
    EXPECT_EQ(row_values(t, true, 3), (V{2, 0, 0, 2, 0, 2}));       // km per vehicle trip
    EXPECT_EQ(row_values(t, true, 4), (V{2, 0, 0, 2, 0, 2}));       // person-km per person trip
    EXPECT_EQ(row_values(t, true, 7), (V{300, 0, 0, 300, 0, 300})); // per person trip
    EXPECT_EQ(row_values(t, true, 13), (V{2, 0, 0, 2, 0, 2}));
}

TEST_F(GlobalSummary, LayoutTitleTablesAndLabels) {
    s.filenam.mastitle = "Test network";
    trip(1, 2, 1);
    const auto l = lines_of(text());
    ASSERT_EQ(l.size(), 1u + 1 + 25 + 1 + 1 + 25);
    EXPECT_EQ(l[0].size(), 300u);
    EXPECT_EQ(l[0].substr(0, 12), "Test network");
    EXPECT_EQ(l[1], " Total Statistics: ");
    EXPECT_EQ(l[27], " ");
    EXPECT_EQ(l[28], " Average Statistics: ");
    for (std::size_t i : {2u, 26u, 29u, 53u}) EXPECT_EQ(l[i].size(), 3u + 6 * 14 + 40) << i;
    EXPECT_EQ(l[2].substr(87), std::string("     - vehicle trips") + std::string(20, ' '));
    EXPECT_EQ(l[14].substr(87, 19), "     - Energy (KWh)");
    EXPECT_EQ(l[26].substr(87, 22), "     - dollars of toll");
    EXPECT_EQ(l[2].substr(3, 28), "          0.00          1.00");
    EXPECT_EQ(l[29].substr(3, 28), "        0.0000        1.0000");
}

TEST(GlobalSummaryFile, ThatCannotBeCreatedIsNamedAndTheRunGoesOn) {
    support::TempDir dir;
    std::string      console;
    auto             sim = std::make_unique<Sim>();
    Sim&             s = *sim;
    s.units.set_console([&](std::string_view t) { console.append(t).push_back('\n'); });
    ASSERT_TRUE(s.units.open_write(kUnitRunLog, dir.file("runerr.out")));
    s.filenam.path2 = dir.file("missing") + "/";
    s.pathnam.lpath[2] = static_cast<int>(s.filenam.path2.size());
    s.filenam.files(28) = "summary.out";
    globsum(s);
    s.units.close(kUnitRunLog);
    const std::string log = support::slurp(dir.path() / "runerr.out");
    EXPECT_EQ(support::count_of(log, "810310"), 1) << log;
    EXPECT_TRUE(contains(log, "missing/summary.out")) << log;
    EXPECT_TRUE(contains(console, "missing/summary.out")) << console;
    EXPECT_EQ(s.errcount.errt2, 1);
    EXPECT_EQ(s.errcount.errt1, 0);
}

// Slot 28 named "none" (either case) writes no file, as in every other slot.
TEST(GlobalSummaryFile, SlotNamedNoneWritesNothing) {
    for (const char* none : {"none", "NONE"}) {
        SCOPED_TRACE(none);
        support::TempDir dir;
        auto             sim = std::make_unique<Sim>();
        Sim&             s = *sim;
        s.units.set_console([](std::string_view) {});
        s.filenam.path2 = dir.path().string() + "/";
        s.pathnam.lpath[2] = static_cast<int>(s.filenam.path2.size());
        s.filenam.files(28) = none;
        globsum(s);
        EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
        EXPECT_EQ(s.errcount.errt2, 0);
    }
}

} // namespace
} // namespace velm
