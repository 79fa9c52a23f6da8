// The two error counters of the input phase after one bad file of the tiny
// sample: numerr, every error and warning reported ("Number of errors found
// is"), and errt1, the fatal errors ("Total of: ... Fatal Errors Found").
// The file epilogue counts each failure it lists once in both. A reader that
// stops through its own error exit adds one fatal error of its own before the
// epilogue, so such a stop counts two fatal errors against one listed error;
// a failure that goes straight to the epilogue, and a failed check, count one
// of each.
#include "core/io/writers.h"
#include "driver/driver_fixture.h"
#include "fuzz/tiny_sample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

namespace velm {
namespace {

namespace fs = std::filesystem;

const fs::path kTiny = fs::path(VELM_SOURCE_DIR) / "samples" / "tiny";

// The sample file with line n (1-based) replaced.
std::string with_line(std::string_view file, int n, const std::string& line) {
    return support::with_line(fuzz::read_text(kTiny / file), n, line);
}

// The master file naming another file for slot `slot` (the slot names start
// on line 5).
std::string master_naming(int slot, const std::string& name) {
    return with_line("tiny.master", 4 + slot, name);
}

struct BadFile {
    const char* label;
    const char* file; // replaced in the sample; the master file when it names a missing file
    std::string text;
    int         listed; // numerr
    int         fatal;  // errt1
    const char* shows;  // a line of the run log that tells which failure it was
};

const BadFile kBadFiles[] = {
    {"nodes missing", "tiny.master", master_naming(1, "absent.dat"), 1, 2, "ERROR 1020"},
    {"node count not a number", "input/nodes.dat", with_line("input/nodes.dat", 2, "four 1.0 1.0"),
     1, 1, "ERROR 1022"},
    {"nodes end early", "input/nodes.dat", with_line("input/nodes.dat", 2, "9  1.0  1.0"), 1, 2,
     "ERROR 1022"},
    // A check counts its first failure once in each counter.
    {"node type 5", "input/nodes.dat", with_line("input/nodes.dat", 4, "11  1.0  1.0  5   0  0"), 1,
     1, "112270"},
    {"links missing", "tiny.master", master_naming(2, "absent.dat"), 1, 2, "ERROR 1020"},
    {"signals missing", "tiny.master", master_naming(3, "absent.dat"), 1, 2, "ERROR 1020"},
    {"signal plan duration 0", "input/signals.dat", with_line("input/signals.dat", 2, "1  1  0"), 1,
     2, "131010"},
    {"demand missing", "tiny.master", master_naming(4, "absent.dat"), 1, 2, "ERROR 1020"},
    {"incidents missing", "tiny.master", master_naming(5, "absent.dat"), 1, 2, "ERROR 1020"},
    {"incident count not a number", "input/incidents.dat", "none\nnone\n", 1, 2, "ERROR 1022"},
};

int file_index(std::string_view name) {
    const auto& f = fuzz::kTinyFiles;
    return static_cast<int>(std::find(f.begin(), f.end(), name) - f.begin());
}

TEST(ErrorCounts, OneBadFile) {
    for (const BadFile& c : kBadFiles) {
        SCOPED_TRACE(c.label);
        auto s = fuzz::tiny_sim(kTiny, file_index(c.file), c.text);
        fuzz::input_phase(*s);
        const std::string log = s->units.file_text("runerr.out");
        EXPECT_NE(log.find(c.shows), std::string::npos) << log;
        EXPECT_EQ(s->errcount.numerr, c.listed) << log;
        EXPECT_EQ(s->errcount.errt1, c.fatal) << log;
        EXPECT_TRUE(testing::has_line(log, "      - Number of errors found is " +
                                               testing::right(c.listed, 5)))
            << log;
        EXPECT_TRUE(
            testing::has_line(log, free_line("    - Total of:", c.fatal, " Fatal Errors Found")))
            << log;
    }
}

// A master file that cannot be found is listed by the epilogue alone.
TEST(ErrorCounts, MissingMasterFileCountsOnce) {
    auto s = fuzz::tiny_sim(kTiny, -1, "");
    s->master.mastfile = "absent.master";
    fuzz::input_phase(*s);
    const std::string log = s->units.file_text("runerr.out");
    EXPECT_EQ(s->errcount.numerr, 1) << log;
    EXPECT_EQ(s->errcount.errt1, 1) << log;
    EXPECT_TRUE(testing::has_line(log, free_line("    - Total of:", 1, " Fatal Errors Found")))
        << log;
}

} // namespace
} // namespace velm
