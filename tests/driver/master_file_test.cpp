// Reading the master file: run parameters, route-choice settings, directories,
// slot names, and the failures with their boxes and error codes.
#include "core/driver/driver.h"
#include "core/driver/random.h"
#include "driver_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing::BoxRecorder;
using testing::count_of;
using testing::has_line;
using testing::memory_sim;
using testing::right;

const char* kSlotNames[19] = {
    "nodes.dat", "links.dat", "signals.dat", "demand.dat", "incidents.dat", "none", "none",
    "none",      "none",      "summary.u10", "none",       "none",          "none", "none",
    "none",      "none",      "none",        "none",       "none"};

struct Master {
    std::string              title = "Test master file";
    std::string              params = "600.123 300 0 1 0";
    std::vector<std::string> route;
    std::string              in_dir = "in\\*";
    std::string              out_dir = "out\\*";
    int                      names = 19;
    std::vector<std::string> extra; // lines after the 19 names
    std::string              slot8 = kSlotNames[7], slot9 = kSlotNames[8];

    std::string text() const {
        std::string t = title + "\n" + params + "\n";
        for (const auto& r : route) t += r + "\n";
        t += in_dir + "\n" + out_dir + "\n";
        for (int k = 0; k < names; ++k)
            t += (k == 7 ? slot8 : k == 8 ? slot9 : std::string(kSlotNames[k])) + "\n";
        for (const auto& e : extra) t += e + "\n";
        return t;
    }
};

struct MasterRun {
    std::unique_ptr<Sim> s;
    BoxRecorder          fe;
    std::string          log;
    std::string          summary;
};

// readdata on a master file held in memory as "run.master".
std::unique_ptr<MasterRun> read_master(const std::string& text, bool present = true) {
    auto r = std::make_unique<MasterRun>();
    r->s = memory_sim(nullptr, &r->fe);
    Sim& s = *r->s;
    s.units.open_write(kUnitRunLog, "runerr.out");
    if (present) s.units.put_file("run.master", text);
    s.master.mastfile = "run.master";
    readdata(s);
    r->log = s.units.file_text("runerr.out");
    r->summary = s.units.file_text("out\\summary.u10");
    return r;
}

// The eight route-choice lines of format 3 with the given interval columns.
std::vector<std::string> format3(const std::string& col1, const std::string& col2) {
    return {"2 2 2 2 2",      col1,        col2,        "1 1 1 1 1",
            "20 20 20 20 20", "2 2 2 2 2", "1 1 1 1 1", "0.1 0.2 0.3 0.4 0.5"};
}

TEST(MasterFile, HorizonSeedAndOutputInstants) {
    struct Case {
        std::string              params;
        std::vector<std::string> route;
        int                      simtim1, inseed, np_ot1, np_ot2;
    };
    const std::vector<Case> cases = {
        {"600.123 0 0 1 0", {}, 600, 123, 0, 0},
        {"60.3 0 0 1 0", {}, 60, 300, 0, 0}, // the decimals as written, though 60.3 is held
                                             // as 60.29999...
        {"3600.312 0 0 1 0", {}, 3600, 312, 0, 0},
        {"3600.0010 0 0 1 0", {}, 3600, 1, 0, 0},    // trailing zeros add nothing
        {"3.600311D3 0 0 1 0", {}, 3600, 311, 0, 0}, // the exponent moves the point first
        {"360.0312E1 0 0 1 0", {}, 3600, 312, 0, 0},
        {"3600. 0 0 1 0", {}, 3600, 0, 0, 0},
        {"600 0 0 1 0", {}, 600, 0, 0, 0},
        {"-600.25 0 0 3 0", format3("0 0 0 0 0", "0 0 0 0 0"), 600, 250, 0, 0},
        {"3600 900 -900 1 0", {}, 3600, 0, 5, 4},
        {"3600 -900 900 1 0", {}, 3600, 0, 4, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.params);
        Master m;
        m.params = c.params;
        m.route = c.route;
        auto r = read_master(m.text());
        EXPECT_EQ(r->s->set1.simtim1, c.simtim1);
        EXPECT_EQ(r->s->set1.simtim10, 10 * c.simtim1);
        EXPECT_EQ(r->s->rndnum.seed[1], c.inseed); // the first stream starts at the seed
        EXPECT_EQ(r->s->trees.np_ot1, c.np_ot1);
        EXPECT_EQ(r->s->trees.np_ot2, c.np_ot2);
        EXPECT_TRUE(has_line(r->log, "     - Simulation Time (sec): " + right(c.simtim1, 8)));
        EXPECT_TRUE(has_line(r->log, "     - Seed Number is       : " + right(c.inseed, 8)));
        EXPECT_TRUE(has_line(r->summary, "     - Seed Number       : " + right(c.inseed, 8)));
        EXPECT_NE(r->summary.find("     - Complete file:   0   run.master"), std::string::npos);
    }
}

// Consecutive seeds under any horizon are distinct replications: each seed is
// read as written, and no two of them start the same random streams. The
// pairs are those a seed taken from the converted horizon merged.
TEST(MasterFile, ConsecutiveSeedsGiveDistinctStreams) {
    struct Case {
        int horizon, seed;
    };
    const std::vector<Case> cases = {{3600, 1},   {3600, 2},   {3600, 3},  {3600, 4},   {3600, 5},
                                     {3600, 6},   {3600, 7},   {3600, 8},  {3600, 311}, {3600, 312},
                                     {3600, 998}, {3600, 999}, {2400, 21}, {2400, 22},  {2400, 101},
                                     {2400, 102}, {7200, 2},   {7200, 3},  {7200, 6},   {7200, 7},
                                     {900, 4},    {900, 5},    {4200, 102}};
    constexpr int           kDraws = 20;
    std::vector<std::vector<int>> streams; // per case: the first draws of every stream
    for (const Case& c : cases) {
        char params[64];
        std::snprintf(params, sizeof params, "%d.%03d 0 0 1 0", c.horizon, c.seed);
        SCOPED_TRACE(params);
        Master m;
        m.params = params;
        auto r = read_master(m.text());
        ASSERT_EQ(r->s->set1.simtim1, c.horizon);
        EXPECT_EQ(r->s->rndnum.seed[1], c.seed);
        std::vector<int> draws;
        for (int k = 1; k <= kRandomStreams; ++k) {
            int sd = r->s->rndnum.seed[k];
            for (int d = 0; d < kDraws; ++d) {
                float rnd = 0.0f;
                random(sd, rnd);
                draws.push_back(sd);
            }
        }
        streams.push_back(draws);
    }
    // The seed alone sets the streams: the same seed under another horizon
    // starts the same ones, and any other seed starts different ones.
    for (std::size_t a = 0; a < cases.size(); ++a)
        for (std::size_t b = a + 1; b < cases.size(); ++b)
            EXPECT_EQ(streams[a] == streams[b], cases[a].seed == cases[b].seed)
                << cases[a].horizon << "." << cases[a].seed << " and " << cases[b].horizon << "."
                << cases[b].seed;
}

TEST(MasterFile, RunParametersContinueOnTheNextLine) {
    Master m;
    m.params = "600.123 300 0\n1 0"; // two values on the following line
    auto r = read_master(m.text());
    EXPECT_EQ(r->s->set1.simtim1, 600);
    EXPECT_EQ(r->s->trees.pd_ot1, 300);
    EXPECT_EQ(r->s->filenam.path1, "in\\");
    EXPECT_EQ(r->s->filenam.files(1), "nodes.dat");
}

TEST(MasterFile, FatalRunParameterChecksWriteNoBoxAndNoListing) {
    struct Case {
        std::string              params;
        std::vector<std::string> route;
        int                      code;
        std::string              message;
    };
    const std::vector<Case> cases = {
        {"-600.25 0 0 1 0", {}, 110009, " Simulation cannot be negative"},
        {"-600.25 0 0 2 0", {"0 0 0 0 0", "0 0 0 0 0"}, 110009, " Simulation cannot be negative"},
        {"10000000 0 0 1 0", {}, 110011, " Simulation time is too long"},
        {"1e30 0 0 1 0", {}, 110011, " Simulation time is too long"},
        {"3600.3115 0 0 1 0", {}, 110013, "3600.3115 has more"},
        {"3.6003115E3 0 0 1 0", {}, 110013, "3.6003115E3 has more"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.params);
        Master m;
        m.params = c.params;
        m.route = c.route;
        auto r = read_master(m.text());
        EXPECT_TRUE(has_line(r->log, "  FATAL ERROR"));
        EXPECT_TRUE(has_line(r->log, "  Master File Error " + right(c.code, 12)));
        EXPECT_NE(r->log.find(c.message), std::string::npos);
        EXPECT_EQ(r->s->errcount.errt1, 1);
        EXPECT_TRUE(r->fe.boxes.empty());
        EXPECT_EQ(r->log.find("ERROR 102"), std::string::npos);
        EXPECT_NE(r->log.find(">> PROGRAM TO BE TERMINATED  <<"), std::string::npos);
        EXPECT_FALSE(r->s->units.is_open(kUnitSummary));
    }
}

TEST(MasterFile, FormatTwoIntervalsGiveMethodAndInterval) {
    Master m;
    m.params = "3600 0 0 2 0";
    m.route = {"300 -600 0 900 60", "0.1 0.2 0.3 0.4 0.5"};
    auto                     r = read_master(m.text());
    const auto&              set1 = r->s->set1;
    const std::array<int, 5> method{2, 1, 2, 2, 2}, interval{300, 600, 0, 900, 60};
    for (int vt = 1; vt <= 5; ++vt) {
        SCOPED_TRACE(vt);
        EXPECT_EQ(set1.tremet(vt), method[vt - 1]);
        EXPECT_EQ(set1.trefrq(vt, 1), interval[vt - 1]);
        EXPECT_EQ(set1.trefrq(vt, 2), interval[vt - 1]);
        EXPECT_EQ(set1.trefrq(vt, 3), 1);
        EXPECT_EQ(set1.trefrq(vt, 4), 20);
        EXPECT_EQ(set1.trefrq(vt, 5), 2);
        EXPECT_EQ(set1.trefrq(vt, 6), 1);
        EXPECT_FLOAT_EQ(set1.trnd(vt), 0.1f * static_cast<float>(vt));
    }
    // Method 1 takes its trees from the pre-simulation assignment: the run
    // goes on, and the summary output echoes class 2 with method 1, interval 600.
    EXPECT_EQ(r->log.find("Master File Error"), std::string::npos) << r->log;
    EXPECT_TRUE(
        has_line(r->summary, "     - vt=  2       1     600   600     1    20     2     1  0.20"))
        << r->summary;
    // Without the negative interval: class 2, method 2, interval 600.
    m.route = {"300 600 0 900 60", "0.1 0.2 0.3 0.4 0.5"};
    r = read_master(m.text());
    EXPECT_EQ(r->log.find("Master File Error"), std::string::npos) << r->log;
    EXPECT_TRUE(
        has_line(r->summary, "     - vt=  2       2     600   600     1    20     2     1  0.20"));
}

TEST(MasterFile, FormatThreeMergesTreeAndEnRoutePeriods) {
    Master m;
    m.params = "3600 0 0 3 0";
    // class:        1    2    3    4   5
    m.route = format3("0 300 120 0 -90", "120 120 300 0 0");
    auto                     r = read_master(m.text());
    const auto&              trefrq = r->s->set1.trefrq;
    const std::array<int, 5> col1{120, 120, 120, 0, -90}, col2{120, 120, 120, 0, 0};
    for (int vt = 1; vt <= 5; ++vt) {
        SCOPED_TRACE(vt);
        EXPECT_EQ(trefrq(vt, 1), col1[vt - 1]);
        EXPECT_EQ(trefrq(vt, 2), col2[vt - 1]);
    }
    EXPECT_EQ(r->log.find("110010"), std::string::npos);
}

TEST(MasterFile, TreeIntervalBelowSixtySecondsNamesTheFirstFailingClass) {
    // Class 2 keeps 1 (the en-route period of 120 does not replace it) and
    // class 4 has 30: only class 2 is reported.
    Master m;
    m.params = "3600 0 0 3 0";
    m.route = format3("0 1 0 30 0", "0 120 0 0 0");
    auto r = read_master(m.text());
    EXPECT_EQ(r->s->errcount.errt1, 1);
    EXPECT_TRUE(has_line(r->log, "  Master File Error " + right(110010, 12)));
    EXPECT_EQ(count_of(r->log, " Abs tree update freq. ="), 1);
    EXPECT_NE(r->log.find(" Abs tree update freq. =" + right(1, 12) + "  for vt =" + right(2, 12) +
                          "  cannot be less than=" + right(60, 12)),
              std::string::npos);
    EXPECT_TRUE(r->fe.boxes.empty());
    EXPECT_FALSE(r->s->units.is_open(kUnitSummary));
}

// A class routed on external trees (method 6: slot 8, method 7: slot 9) whose
// slot names no file is refused, naming the class, the method and the slot.
TEST(MasterFile, ExternalTreeMethodNeedsItsSlot) {
    struct Case {
        std::string methods, slot8, slot9;
        int         vt, method, slot; // the class named; 0: accepted
    };
    const std::vector<Case> cases = {
        {"2 6 2 2 2", "none", "none", 2, 6, 8},
        {"2 2 2 7 2", "trees8.dat", "NONE", 4, 7, 9},
        {"2 2 7 2 6", "none", "trees9.dat", 5, 6, 8},
        {"6 2 2 2 2", "", "trees9.dat", 1, 6, 8}, // a blank line names nothing either
        {"6 7 2 2 2", "trees8.dat", "trees9.dat", 0, 0, 0},
        {"6 6 2 2 2", "trees8.dat", "none", 0, 0, 0},
        {"2 2 2 2 2", "none", "none", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.methods + " / " + c.slot8 + " / " + c.slot9);
        Master m;
        m.params = "3600 0 0 3 0";
        m.route = format3("0 0 0 0 0", "0 0 0 0 0");
        m.route[0] = c.methods;
        m.slot8 = c.slot8;
        m.slot9 = c.slot9;
        auto       r = read_master(m.text());
        const bool refused = c.vt != 0;
        EXPECT_EQ(has_line(r->log, "  Master File Error " + right(110012, 12)), refused) << r->log;
        EXPECT_EQ(r->s->units.is_open(kUnitSummary), !refused);
        if (refused) {
            EXPECT_EQ(r->s->errcount.errt1, 1);
            EXPECT_NE(r->log.find(" Vehicle class" + right(c.vt, 12) + "  uses routing method" +
                                  right(c.method, 12) + "  (external trees) but slot" +
                                  right(c.slot, 12) + "  names no file"),
                      std::string::npos)
                << r->log;
            EXPECT_TRUE(r->fe.boxes.empty());
        }
    }
}

TEST(MasterFile, IntervalCheckBoundaries) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"59", true}, {"-59", true}, {"60", false}, {"-60", false}, {"0", false}};
    for (const auto& [value, fatal] : cases) {
        SCOPED_TRACE(value);
        Master m;
        m.params = "3600 0 0 2 0";
        m.route = {"300 300 " + value + " 300 300", "0 0 0 0 0"};
        auto r = read_master(m.text());
        EXPECT_EQ(r->log.find("Master File Error " + right(110010, 12)) != std::string::npos,
                  fatal);
    }
}

TEST(MasterFile, DirectoriesAreTheTextBeforeTheFirstStar) {
    struct Case {
        std::string line, prefix;
        int         lpath;
    };
    const std::vector<Case> cases = {
        {"C:\\runs\\in\\* input folder", "C:\\runs\\in\\", 11},
        {"a* one character", "", 0},
        {"runs\\in\\ without a star", "", 0},
        {"in\\*out\\*", "in\\", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        Master m;
        m.in_dir = c.line;
        auto r = read_master(m.text());
        EXPECT_EQ(r->s->filenam.path1, c.prefix);
        EXPECT_EQ(r->s->pathnam.lpath[1], c.lpath);
        // The log shows the line as read, star included.
        EXPECT_NE(r->log.find("     - Input  Subdirectory  : " + c.line), std::string::npos);
    }
}

TEST(MasterFile, OptionalSlotsTakeTheirDefaultsWhenMissing) {
    Master      m; // 19 names, then the end of the file
    auto        r = read_master(m.text());
    const auto& files = r->s->filenam.files;
    for (int k : {20, 21, 22, 23, 24, 25, 26, 27, 29}) EXPECT_EQ(files(k), "none") << k;
    EXPECT_EQ(files(28), "summary.out");
    EXPECT_EQ(files(30), "timespac.out");
    EXPECT_EQ(files(31), "assign.out");
    EXPECT_NE(r->log.find("     - Summary output   : summary.out"), std::string::npos);

    Master blanks_given;
    blanks_given.extra = std::vector<std::string>(12, "");
    auto b = read_master(blanks_given.text());
    for (int k = 20; k <= 31; ++k) EXPECT_EQ(b->s->filenam.files(k), "") << k;
}

TEST(MasterFile, SlotNamesAreWholeLines) {
    Master m;
    m.extra = {"  lanes.dat  ", "none", "none", "none", "departures.out"};
    auto r = read_master(m.text());
    EXPECT_EQ(r->s->filenam.files(20), "  lanes.dat"); // leading blanks kept
    EXPECT_EQ(r->s->filenam.files(24), "departures.out");
    EXPECT_EQ(r->s->filenam.files(28), "summary.out");
}

TEST(MasterFile, ReadFailuresShowTheirBoxAndErrorKind) {
    struct Case {
        std::string name;
        std::string text;
        bool        present;
        std::string box_line, error, line;
    };
    Master eighteen;
    eighteen.names = 18;
    Master bad_params;
    bad_params.params = "600 abc 0 1 0";
    Master real_interval;
    real_interval.params = "3600 0 0 2 0";
    real_interval.route = {"300 300.0 300 300 300", "0 0 0 0 0"};
    const std::vector<Case> cases = {
        {"names", eighteen.text(), true, "- Error while reading names in master file", "ERROR 1022",
         " Attempting to read to LINE" + right(24, 12)},
        {"empty", "", true, "- Error while reading line 1", "ERROR 1021", ""},
        {"params", bad_params.text(), true, "- Error while reading line 2 to 5", "ERROR 1022",
         " Attempting to read to LINE" + right(2, 12)},
        {"integer", real_interval.text(), true, "- Ensure numeric data on line 2 and 3",
         "ERROR 1022", " Attempting to read to LINE" + right(3, 12)},
        {"missing", "", false, "- Master file on command line could not be found", "ERROR 1020",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = read_master(c.text, c.present);
        ASSERT_EQ(r->fe.boxes.size(), 1u);
        EXPECT_NE(r->fe.boxes[0].text.find(c.box_line), std::string::npos);
        EXPECT_NE(r->log.find(c.error), std::string::npos);
        if (!c.line.empty()) {
            EXPECT_NE(r->log.find(c.line), std::string::npos);
        }
        EXPECT_EQ(r->s->errcount.errt1, 1);
        EXPECT_NE(r->log.find(">> PROGRAM TO BE TERMINATED  <<"), std::string::npos);
        // Only a master file that was not found gets a summary output, in
        // the working directory.
        EXPECT_EQ(r->s->units.exists("DEFAULT.U10"), !c.present);
        EXPECT_EQ(r->summary, "");
    }
}

TEST(MasterFile, NoNameIsItsOwnFailure) {
    for (const std::string name : {"", " leading.master", "a"}) {
        SCOPED_TRACE(name);
        auto r = std::make_unique<MasterRun>();
        r->s = memory_sim(nullptr, &r->fe);
        r->s->units.open_write(kUnitRunLog, "runerr.out");
        r->s->master.mastfile = name;
        readdata(*r->s);
        const std::string log = r->s->units.file_text("runerr.out");
        ASSERT_EQ(r->fe.boxes.size(), 1u);
        EXPECT_NE(r->fe.boxes[0].text.find("- No master file specified on command line"),
                  std::string::npos);
        EXPECT_TRUE(has_line(log, "      - No Master file specified "));
        EXPECT_NE(log.find("ERROR 1020"), std::string::npos);
        EXPECT_TRUE(r->s->units.exists("DEFAULT.U10"));
    }
}

TEST(MasterFile, NameLongerThanASlotIsAnError) {
    Master ok;
    ok.extra = {std::string(200, 'x')};
    EXPECT_EQ(read_master(ok.text())->s->filenam.files(20), std::string(200, 'x'));

    Master m;
    m.extra = {std::string(201, 'x')};
    auto r = read_master(m.text());
    EXPECT_EQ(r->s->errcount.errt1, 1);
    EXPECT_NE(r->log.find(" Master File Error: the name of file" + right(20, 12)),
              std::string::npos);
    EXPECT_NE(r->log.find("ERROR 1022"), std::string::npos);
    ASSERT_EQ(r->fe.boxes.size(), 1u);
    EXPECT_EQ(r->summary, ""); // no output file was opened
}

TEST(MasterFile, ARunStartsFromCleanRouteChoiceSettingsAndSlotFlags) {
    // A format code other than 1, 2 or 3 reads no route-choice lines: the
    // settings must not be those of an earlier run of the same state.
    auto s = memory_sim();
    s->set1.tremet(1) = 9;
    s->set1.trefrq(1, 1) = 600;
    s->set1.trnd(1) = 0.5f;
    s->pathnam.filuse[20] = 1;
    Master m;
    m.params = "600 0 0 4 0";
    s->units.put_file("run.master", m.text());
    s->master.mastfile = "run.master";
    velmorantis(*s, 0);
    EXPECT_EQ(s->set1.tremet(1), 0);
    EXPECT_EQ(s->set1.trefrq(1, 1), 0);
    EXPECT_EQ(s->set1.trnd(1), 0.0f);
    EXPECT_EQ(s->pathnam.filuse[20], 0);
    EXPECT_NE(s->units.file_text("runerr.out").find("     - Master File Format   : "),
              std::string::npos);
}

TEST(MasterFile, EchoOnTheRunLogAndTheSummaryOutput) {
    Master m;
    auto   r = read_master(m.text());
    EXPECT_TRUE(has_line(r->log, "     - Opening Master file: " + std::string("run.master") +
                                     std::string(50, ' ')));
    EXPECT_NE(r->log.find("     - Master file title: Test master file"), std::string::npos);
    EXPECT_TRUE(has_line(r->log, "     - Output Rate 1 (sec)  :      300"));
    EXPECT_TRUE(has_line(r->log, "      - Master File Format   : " + right(1, 12)));
    EXPECT_TRUE(has_line(r->summary, "     - Simulation Time   :      600"));
    EXPECT_TRUE(has_line(r->summary, "     - Data Output Rate 1:      300"));
    EXPECT_TRUE(
        has_line(r->summary, "     - vt=  1       2       0     0     1    20     2     1  0.00"));
    EXPECT_TRUE(has_line(r->summary, "     - Err check level 2 :        0"));
    EXPECT_EQ(r->s->set2.nvehtyp, 5);
}

} // namespace
} // namespace velm
