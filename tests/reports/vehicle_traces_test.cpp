// Vehicle traces: the time-space records of probe-class-3 vehicles and the
// file that holds them, the subnetwork marks of "subnet.dat" with the records
// it skips, and the crossing records of marked links.
#include "core/model/codes.h"
#include "core/reports/reports.h"

#include "movement/movement_fixture.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

using support::count_of;
using support::has_line;
using support::lines_of;
using testing_movement::MoveRun;

struct TimeSpace : ::testing::Test {
    MoveRun r;
    Sim&    s = r.s;
    void    SetUp() override {
        s.filenam.files(30) = "timespac.out";
        r.link(1, 3);
        r.link(2, 2);
    }
};

TEST_F(TimeSpace, OneRecordPerProbeClassThreeVehicleWithTheLaneFromTheOtherSide) {
    s.vehplot.timspc = 1;
    vehpos7(s, 0, 1);
    const int vid = r.place(5, 1, 1, 123.456f);
    r.place(6, 1, 2, 80.0f); // an ordinary probe
    r.place(7, 2, 2, 10.0f);
    s.oddat.probe(5) = 3;
    s.oddat.probe(6) = 1;
    s.oddat.probe(7) = 3;
    s.oddat.vtyp(5) = 2;
    s.oddat.vehper2(5) = 7;
    s.vehplot.trpdst(5, 1) = 1.2345f;
    s.vehplot.spd(vid, 4) = 54.321f;
    s.vehplot.hdwy(vid, 1) = 25.5f;
    vehpos7(s, 17, 2);
    const auto l = lines_of(s.units.file_text("timespac.out"));
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[0],
              "      17       5   2   7     1234.50    1    3      123.46     54.32     25.50");
    // Lane 2 of the two-lane link is lane 1 counted from the other side.
    EXPECT_EQ(l[1].substr(0, 16), "      17       7");
    EXPECT_EQ(l[1].substr(36, 10), "    2    1");
}

TEST_F(TimeSpace, NoFileWithoutProbeClassThree) {
    vehpos7(s, 0, 1);
    r.place(5, 1, 1, 10.0f);
    vehpos7(s, 1, 2);
    EXPECT_FALSE(s.units.exists("timespac.out"));
}

struct Subnet : ::testing::Test {
    support::MemoryRun       run;
    Sim&                     s = run.s;
    void                     SetUp() override { s.link2.mlnum = 20; }
    std::vector<std::string> crossings() const { return lines_of(s.units.file_text("subnet.out")); }
};

TEST_F(Subnet, MarkedLinksAreReadAndBadRecordsSkippedWithTheirLine) {
    s.units.put_file("subnet.dat", "Links around the ramp\n"
                                   "6\n"
                                   "10 3 1\n"
                                   "11 3.7 -2.9\n"
                                   "12 3 0\n"
                                   "5000 1 1\n"
                                   "13 x 1\n"
                                   "14 4 2\n");
    rdsubnet(s, s.link2.mlnum);
    EXPECT_EQ(s.subnet.subnetty(10), 1);
    EXPECT_EQ(s.subnet.subnetty(11), -2);
    EXPECT_EQ(s.subnet.subnetzn(11), 3);
    EXPECT_EQ(s.subnet.subnetty(12), 0);
    EXPECT_EQ(s.subnet.subnetty(13), 0);
    EXPECT_EQ(s.subnet.subnetzn(13), -1);
    EXPECT_EQ(s.subnet.subnetty(14), 2);
    EXPECT_EQ(s.subnet.subnetzn(20), -1);
    EXPECT_EQ(s.subnet.nsubnetl, 4);
    const std::string log = run.log();
    EXPECT_EQ(count_of(log, "810710"), 2) << log;
    EXPECT_TRUE(has_line(log,
                         " subnet.dat Error      810710 at line           6 - record           4"
                         "  skipped: link 5000 outside 1 .. 4487"))
        << log;
    EXPECT_TRUE(has_line(log,
                         " subnet.dat Error      810710 at line           7 - record           5"
                         "  skipped: not three numbers"))
        << log;
    const std::string sum = run.summary();
    EXPECT_TRUE(has_line(sum, "  18. Subnetwork Input File Processing ")) << sum;
    EXPECT_TRUE(
        has_line(sum, "     - subnetwork file: Links around the ramp" + std::string(19, ' ')))
        << sum;
    EXPECT_TRUE(has_line(sum, "     - number of links:            6")) << sum;
    EXPECT_TRUE(has_line(sum, "      - subnetwork file input completed ")) << sum;
    EXPECT_TRUE(s.units.exists("subnet.out"));
}

TEST_F(Subnet, EachMarkedLinkLeftGivesOneRecord) {
    s.units.put_file("subnet.dat", "marks\n3\n10 3 1\n11 3 -2\n12 3 0\n");
    rdsubnet(s, s.link2.mlnum);
    // Trip 42 from zone 3 (scheduled at 95 s) to zone 17 leaves links 10,
    // 12 (type 0: not traced), 11 and 10 again.
    const int left[] = {10, 12, 11, 10};
    int       t = 100;
    for (int l : left) wrsubnet(s, t += 20, 42, 3, 95, 17, l);
    EXPECT_EQ(crossings(),
              (std::vector<std::string>{
                  "     120      42       3      95      17      10       1       0       0",
                  "     160      42       3      95      17      11      -2       0       0",
                  "     180      42       3      95      17      10       1       0       0"}));
}

TEST_F(Subnet, FileStatesDecideTheTrace) {
    const struct {
        const char* what;
        const char* file; // null: no file
        bool        read, out_file;
        int         traced; // records kept
    } cases[] = {
        {"no file", nullptr, false, false, 0},
        {"title only", "marks\n", false, false, 0},
        {"count not a number", "marks\nmany\n", false, false, 0},
        {"record count 0", "marks\n0\n", true, true, 0},
        {"file ends before the records", "marks\n3\n10 3 1\n", true, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        support::MemoryRun r;
        r.s.link2.mlnum = 20;
        if (c.file) r.s.units.put_file("subnet.dat", c.file);
        rdsubnet(r.s, 20);
        EXPECT_EQ(has_line(r.summary(), "      - subnetwork file input completed "), c.read);
        EXPECT_EQ(has_line(r.summary(), "      - subnetwork file not read in     "), !c.read);
        EXPECT_EQ(r.s.units.exists("subnet.out"), c.out_file);
        EXPECT_EQ(r.s.units.file_text("subnet.out"), "");
        EXPECT_EQ(r.s.subnet.nsubnetl, c.traced);
        EXPECT_FALSE(r.s.units.is_open(kUnitInput));
    }
}

} // namespace
} // namespace velm
