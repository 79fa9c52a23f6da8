// The detector-station file: what a run takes from it (stations, class masks,
// clamped zones and periods, the per-link index) and how a faulty file stops
// the run before the loop with its lines and codes.
#include "core/io/writers.h"
#include "core/movement/detectors.h"
#include "core/movement/movement.h"
#include "support/memory_run.h"

#include "support/text.h"
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace velm {
namespace {

using support::contains;

constexpr int kLink = 4;     // 0.5 km, three lanes
constexpr int kShort = 9;    // 0.3 km, two lanes
constexpr int kNoLength = 6; // a link number the network does not code

struct StationRun : support::MemoryRun {
    StationRun() {
        s.link4.llength(kLink) = 0.5f;
        s.link1.nulans(kLink) = 3;
        s.link4.llength(kShort) = 0.3f;
        s.link1.nulans(kShort) = 2;
        s.link4.llength(kNoLength) = -99999.0f;
    }
    void read(const std::string& text) {
        s.filenam.files(kDetectorSlot) = "stations.dat";
        s.units.put_file("stations.dat", text);
        rddetloc(s);
    }
    void read_missing() {
        s.filenam.files(kDetectorSlot) = "absent.dat";
        rddetloc(s);
    }
    // The stations link l owns in the index, in order.
    std::vector<int> indexed(int l) const {
        const auto&      dl = s.detloc;
        std::vector<int> out;
        for (int i = 1; i <= dl.ndetpos(l); ++i) out.push_back(dl.detlis(dl.fdetpos(l) + i));
        return out;
    }
    std::array<int, 5> mask(int d) const {
        std::array<int, 5> m{};
        for (int c = 1; c <= 5; ++c) m[static_cast<std::size_t>(c - 1)] = s.detloc.detmsk(d, c);
        return m;
    }
};

// A station file: title, count line, records.
std::string stations(const std::string& count_line, const std::vector<std::string>& records) {
    std::string out = "Test stations\n" + count_line + "\n";
    for (const auto& r : records) out += r + "\n";
    return out;
}

TEST(DetectorStationFile, AnUnusedSlotDefinesNothingAndWritesOnlyTheHeading) {
    StationRun r;
    r.s.filenam.files(kDetectorSlot) = "none";
    rddetloc(r.s);
    EXPECT_EQ(r.s.detloc.mdetloc, 0);
    EXPECT_EQ(r.s.detloc.detrepfr, 0);
    EXPECT_EQ(r.s.errcount.errt1, 0);
    EXPECT_EQ(r.summary(), free_line("   ") + "\n" + free_line(std::string(45, '-')) + "\n" +
                               free_line(" 21. Detector location specification       ") + "\n");
    EXPECT_EQ(r.log(), "");
    // No station and no exchange period: the per-second outputs write nothing.
    for (int t = 0; t <= 120; ++t) {
        detreset(r.s, t);
        det_sum(r.s, t);
        detreport(r.s, t);
    }
    EXPECT_FALSE(r.s.units.exists("detector.out"));
    EXPECT_FALSE(r.s.units.exists("interact\\t0000001.det"));
}

TEST(DetectorStationFile, ReadsStationsWithGapsInactiveTypesAndTheLinkIndex) {
    StationRun r;
    // Out of order, a gap at 3 and 4, station 6 inactive, station 2 given
    // twice (the later record holds, both count).
    r.read(stations("6  60", {"5  1  4  0.300  0.010  30", "2  1  4  0.100  0.005  20",
                              "1  12  9  0.050  0.020  60", "6  0  4  0.200  0.010  30",
                              "2  3  4  0.150  0.006  10", "8  1  4  0.400  0.010  30"}));
    const auto& dl = r.s.detloc;
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    EXPECT_EQ(dl.ndetloc, 6);
    EXPECT_EQ(dl.mdetloc, 8);
    EXPECT_EQ(dl.detrepfr, 60);
    for (const int gap : {3, 4, 7}) EXPECT_EQ(dl.dettyp(gap), -1) << gap;
    EXPECT_EQ(dl.dettyp(6), 0);
    EXPECT_EQ(dl.dettyp(2), 3);
    EXPECT_FLOAT_EQ(dl.detpos(2, 1), 0.150f);
    EXPECT_FLOAT_EQ(dl.detzon(2), 0.006f);
    EXPECT_EQ(dl.dettim(2), 10);
    EXPECT_FLOAT_EQ(dl.detpos(5, 2), 0.310f);
    // Active stations only, ascending by number whatever the file order.
    EXPECT_EQ(r.indexed(kLink), (std::vector<int>{2, 5, 8}));
    EXPECT_EQ(r.indexed(kShort), (std::vector<int>{1}));
    EXPECT_EQ(dl.fdetpos(kShort), 3);
    EXPECT_TRUE(contains(r.summary(), "     - Detector Location file: Test stations"));
    EXPECT_TRUE(contains(r.summary(), free_line("     - Maximum detector   : ", 8)));
    EXPECT_TRUE(contains(r.summary(), "     - Complete file:  21"));
}

TEST(DetectorStationFile, ClassMasksComeFromTheDecimalsAsWritten) {
    struct Case {
        const char*        field;
        int                d;
        std::array<int, 5> mask;
    };
    const Case cases[] = {
        {"7.00011", 7, {0, 0, 0, 1, 1}},       {"7", 7, {1, 1, 1, 1, 1}},
        {"12.10100", 12, {1, 0, 1, 0, 0}},     {"12.1", 12, {1, 0, 0, 0, 0}},
        {"1000.00001", 1000, {0, 0, 0, 0, 1}}, // single precision reads every class
        {"3599.10000", 3599, {1, 0, 0, 0, 0}}, // single precision reads classes 1, 4, 5
        {"12.1010019", 12, {1, 0, 1, 0, 0}},   // digits past the fifth are not flags
        {"9.00000", 9, {1, 1, 1, 1, 1}},       {"3600.02", 3600, {0, 2, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        StationRun r;
        r.read(stations("1  0", {std::string(c.field) + "  1  4  0.100  0.005  20"}));
        EXPECT_EQ(r.s.errcount.errt1, 0) << c.field << "\n" << r.log();
        EXPECT_EQ(r.s.detloc.mdetloc, c.d) << c.field;
        EXPECT_EQ(r.mask(c.d), c.mask) << c.field;
    }
}

// What a faulty or clamped file leaves: fatal count, the highest station in
// force, the run-log lines, and whether the reader's codes say 1020 or 1021.
TEST(DetectorStationFile, FaultsAndClampsGiveTheirLinesAndCodes) {
    const std::string exit0 = free_line(" Error occurred on line ", 0);
    const std::string exit3 = free_line(" Error occurred on line ", 3);
    struct Case {
        const char*              name;
        std::string              file; // empty: no file at all
        int                      errt1;
        int                      mdetloc;
        std::vector<std::string> log; // lines of the run log, each present whole
        std::string              code;
    };
    const std::string ok_rec = "  1  4  0.100  0.005  20";
    const Case        cases[] = {
               {"missing file",
                "",
                1,
                0,
                {free_line(" Error reading in detector information"), exit0},
                "ERROR 1020"},
               {"count above the records",
                stations("3  0", {"1" + ok_rec, "2" + ok_rec}),
                1,
                0,
                {free_line(" Error occurred on line ", 5)},
                "ERROR 1022"},
               {"title only",
                "Stations\n",
                1,
                0,
                {free_line(" Error occurred on line ", 2)},
                "ERROR 1022"},
               {"count zero", stations("0  0", {}), 0, 0, {}, ""},
               {"count above the limit",
                stations("3601  0", {"1" + ok_rec}),
                1,
                0,
                {free_line(" - Number of Detectors:", 3601, " exceeds maximum : ", 3600),
                 free_line("   Number of Detectors set equal to ", 3600),
                 free_line(" Error occurred on line ", 4)},
                "ERROR 1022"},
               {"count negative",
                stations("-2  0", {"1" + ok_rec}),
                0,
                0,
                {free_line(" - Number of Detectors:", -2, " is negative and illegal "),
                 free_line("   Number of Detectors set equal to ", 0)},
                ""},
               {"station 0",
                stations("1  0", {"0" + ok_rec}),
                2,
                0,
                {free_line(" Error reading detector information"),
                 " Line:    3 Detector number    0 in field 1 is invalid", exit3},
                "ERROR 1022"},
               {"station below 1",
                stations("1  0", {"0.5" + ok_rec}),
                2,
                0,
                {" Line:    3 Detector number    0 in field 1 is invalid", exit3},
                "ERROR 1022"},
               {"station 3601",
                stations("1  0", {"3601" + ok_rec}),
                2,
                0,
                {" Line:    3 Detector number 3601 in field 1 is invalid", exit3},
                "ERROR 1022"},
               {"exponent in field 1", stations("1  0", {"7e0" + ok_rec}), 1, 0, {exit3}, "ERROR 1022"},
               {"link 0",
                stations("1  0", {"1  1  0  0.100  0.005  20"}),
                1,
                0,
                {free_line(" ERROR: Error in detector information"),
                 free_line(" Link number for detector ", 1, " on line ", 3, " is invalid"), exit3},
                "ERROR 1022"},
               {"link without length",
                stations("1  0", {"1  1  6  0.100  0.005  20"}),
                1,
                0,
                {free_line(" Link specified for detector ", 1, " on line ", 3, " does not exist")},
                "ERROR 1022"},
               {"zone start beyond the link",
                stations("2  0", {"1" + ok_rec, "2  1  9  0.301  0.005  20"}),
                1,
                0,
                {free_line(" Warning: Error in detector information"),
                 free_line(" Detector = ", 2, " on line= ", 4, " is located at= ", 0.301f,
                           " which exceeds length of link =", 0.3f)},
                "ERROR 1022"},
               {"zone start below 0",
                stations("1  0", {"1  1  4  -0.010  0.005  20"}),
                1,
                0,
                {free_line(" Detector = ", 1, " on line= ", 3, " is located at= ", -0.01f,
                           " which is less than minimum  =", 0)},
                "ERROR 1022"},
               {"zone running past the link end",
                stations("1  0", {"1  1  9  0.290  0.050  20"}),
                0,
                1,
                {},
                ""},
               {"zone, period out of range",
                stations("2  0", {"1  1  4  0.100  0  0", "2  1  4  0.100  0.06  400"}),
                0,
                2,
                {free_line(" Detection zone length for detector ", 1, " on line ", 3, " is <= 0"),
                 free_line(" Detection zone set equal to 0.005"),
                 free_line(" Detection polling time for detector ", 1, " on line ", 3, " is ", 0),
                 free_line(" This is less than 1.0 "),
                 free_line(" Detection polling time set equal to 1  sec"),
                 free_line(" Detection zone length for detector ", 2, " on line ", 4, " is > 0.050 km"),
                 free_line(" Detection zone set equal to 0.050"),
                 free_line(" Detection polling time for detector ", 2, " on line ", 4, " is > 300"),
                 free_line(" Detection polling time set equal to 300 sec")},
                ""},
    };
    for (const auto& c : cases) {
        StationRun r;
        if (c.file.empty())
            r.read_missing();
        else
            r.read(c.file);
        const std::string log = r.log();
        EXPECT_EQ(r.s.errcount.errt1, c.errt1) << c.name << "\n" << log;
        EXPECT_EQ(r.s.detloc.mdetloc, c.mdetloc) << c.name;
        for (const auto& line : c.log)
            EXPECT_TRUE(support::has_line(log, line)) << c.name << ": no line\n"
                                                      << line << "\n"
                                                      << log;
        const bool failed = c.errt1 > 0;
        EXPECT_EQ(contains(log, " Error reading in detector information"), failed) << c.name;
        EXPECT_EQ(contains(r.summary(), " - No Detector Location file used"), failed) << c.name;
        if (!c.code.empty()) {
            EXPECT_TRUE(contains(log, c.code)) << c.name << "\n" << log;
        }
        // A file with a title never says it contains no data.
        if (c.code != "ERROR 1021") {
            EXPECT_FALSE(contains(log, "ERROR 1021")) << c.name << "\n" << log;
        }
        // A failed file leaves no station for the crediting to walk.
        if (failed) {
            for (const int l : {kLink, kShort}) EXPECT_TRUE(r.indexed(l).empty()) << c.name;
        }
    }
}

TEST(DetectorStationFile, ClampedZonesAndPeriodsAreKept) {
    StationRun r;
    r.read(stations("2  0", {"1  1  4  0.100  0  0", "2  1  4  0.100  0.06  400"}));
    const auto& dl = r.s.detloc;
    EXPECT_FLOAT_EQ(dl.detzon(1), 0.005f);
    EXPECT_EQ(dl.dettim(1), 1);
    EXPECT_FLOAT_EQ(dl.detzon(2), 0.050f);
    EXPECT_EQ(dl.dettim(2), 300);
    EXPECT_EQ(r.indexed(kLink), (std::vector<int>{1, 2}));
}

} // namespace
} // namespace velm
