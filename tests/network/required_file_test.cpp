// The shared plumbing of the required readers: a file that does not open, a
// reader that stops, and one that reads to the end are each counted, named
// and closed the same way whichever reader uses it.
#include "core/network/required_file.h"

#include "network/network_fixture.h"

#include <gtest/gtest.h>

#include <string>

namespace velm {
namespace {

using testing_network::contains;
using testing_network::has_line;
using testing_network::NetRun;

constexpr int kSlot = 7;

TEST(RequiredFile, EachOutcomeIsCountedNamedAndClosed) {
    struct Case {
        const char* what;
        bool        present;        // the file exists
        bool        reader_ok;      // what the reader returns
        ReadStage   stage;          // where the reader says it stopped
        bool        counts_failure; // a failure counts here as well as in listerr
        bool        noted;          // a failure line is asked for
        int         errt1;          // fatal errors counted in all
        const char* log_code;       // listerr's line on the run log ("" none)
    } const cases[] = {
        {"missing file", false, true, kReadOpen, true, true, 2, "ERROR 1020"},
        {"missing, counted in listerr only", false, true, kReadOpen, false, false, 1, "ERROR 1020"},
        {"no title", true, false, kReadTitle, true, false, 2, "ERROR 1021"},
        {"bad data line", true, false, kReadData, true, true, 2, "ERROR 1022"},
        {"check failed after the last line", true, false, kReadComplete, true, true, 1, ""},
        {"read to the end", true, true, kReadComplete, true, true, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NetRun r;
        if (c.present) r.s.units.put_file("demo.dat", "title\n1 2 3\n");
        netin::RequiredFile file{kSlot, "demo.dat", "demo.dat"};
        file.counts_failure = c.counts_failure;
        if (c.noted) {
            file.failure_note = "Failed file=";
            file.note_width = 12;
        }
        int        calls = 0;
        const bool ok = netin::read_required(r.s, file, [&](FreeReader&, netin::ReadPlace& at) {
            ++calls;
            EXPECT_TRUE(r.s.units.is_input(kUnitInput));
            at = {c.stage, 2};
            return c.reader_ok;
        });
        EXPECT_EQ(calls, c.present ? 1 : 0) << "the reader runs only on an opened file";
        const bool failed = !c.present || !c.reader_ok;
        EXPECT_EQ(ok, !failed);
        EXPECT_EQ(r.s.errcount.errt1, c.errt1);
        EXPECT_FALSE(r.s.units.is_open(kUnitInput)) << "the input unit is left open";
        EXPECT_EQ(has_line(r.log(), free_line("Failed file=", "demo.dat    ")), failed && c.noted);
        if (*c.log_code != '\0') {
            EXPECT_TRUE(has_line(r.log(), free_line(c.log_code)));
        }
        EXPECT_EQ(contains(r.summary(), "Complete file:"), c.stage == kReadComplete && c.present);
    }
}

// The note can go to the summary output instead of the run log.
TEST(RequiredFile, FailureNoteGoesToTheUnitAsked) {
    NetRun              r;
    netin::RequiredFile file{kSlot, "gone.dat", "gone.dat"};
    file.failure_note = "Fatal Error in Reading Data file=";
    file.note_unit = kUnitSummary;
    file.note_width = 10;
    netin::read_required(r.s, file, [](FreeReader&, netin::ReadPlace&) { return true; });
    const std::string note = free_line("Fatal Error in Reading Data file=", "gone.dat  ");
    EXPECT_TRUE(has_line(r.summary(), note));
    EXPECT_FALSE(has_line(r.log(), note));
}

// The title keeps its first characters without trailing blanks and is echoed
// under the heading; a file without a line stops at the title.
TEST(RequiredFile, TitleIsKeptEchoedAndPlaced) {
    struct Case {
        const char* text;
        bool        read;
        const char* kept;
        int         stage, line;
    } const cases[] = {
        {"Ring road   network\n1\n", true, "Ring road", kReadData, 2},
        {"Ring\n", true, "Ring", kReadData, 2},
        {"", false, "", kReadTitle, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        NetRun r;
        r.s.units.put_file("t.dat", c.text);
        ASSERT_TRUE(r.s.units.open_read(kUnitInput, "t.dat"));
        FreeReader in(r.s.units.in(kUnitInput));
        int        stage = -1, line = -1;
        EXPECT_EQ(netin::read_title(r.s, in, kSlot, " 7. Open Demo File:", {12, "   -  ", 14},
                                    stage, line),
                  c.read);
        EXPECT_EQ(r.s.filenam.ftitle(kSlot), c.kept);
        EXPECT_EQ(stage, c.stage);
        EXPECT_EQ(line, c.line);
        const std::string echo = "   -  " + fmt_a(c.kept, 14);
        EXPECT_EQ(has_line(r.summary(), echo), c.read);
        EXPECT_EQ(has_line(r.summary(), free_line(" 7. Open Demo File:")), c.read);
    }
}

TEST(SummaryBanner, BlankRuleBlank) {
    NetRun r;
    section_banner(r.s.units);
    summary_rule(r.s.units);
    const std::string rule = free_line(std::string(50, '-'));
    const std::string blank = free_line("   ");
    EXPECT_EQ(r.summary(), blank + "\n" + rule + "\n" + blank + "\n" + rule + "\n");
}

} // namespace
} // namespace velm
