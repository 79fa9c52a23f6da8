// Wrong-turn probabilities ("wrg_turn.dat") and pedestrian crossings
// ("pedes_cr.dat").
#include "core/network/network.h"
#include "network_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

using testing_network::contains;
using testing_network::has_line;
using testing_network::NetRun;

const char* const kFiveRows = "turn errors\n"
                              "1 0.01 0.02 0.03 0.04 0.05\n"
                              "2 0.11 0.12 0.13 0.14 0.15\n"
                              "3 0.21 0.22 0.23 0.24 0.25\n"
                              "4 0.31 0.32 0.33 0.34 0.35\n"
                              "5 0.41 0.42 0.43 0.44 0.45\n";

TEST(WrongTurns, FileCases) {
    struct Case {
        const char* name;
        std::string file; // "" = absent
        bool        read;
        const char* summary_line;
    };
    const Case cases[] = {
        {"absent", "", false, "     - No Wrong Turn Probabilities Read in"},
        {"five rows", kFiveRows, true, "    - Read in Wrong Turn Probabilities "},
        {"rows spread over lines",
         "t\n1 0.01 0.02\n0.03 0.04 0.05\n2 0.11 0.12 0.13 0.14 0.15\n"
         "3 0.21 0.22 0.23 0.24 0.25\n4 0.31 0.32 0.33 0.34 0.35\n"
         "5 0.41 0.42 0.43 0.44 0.45\n",
         true, "    - Read in Wrong Turn Probabilities "},
        {"four rows only", std::string(kFiveRows).substr(0, std::string(kFiveRows).rfind("5 0.41")),
         false, "     - No Wrong Turn Probabilities Read in"},
        {"a value that is not a number", "t\n1 0.01 0.02 x 0.04 0.05\n", false,
         "     - No Wrong Turn Probabilities Read in"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NetRun r;
        r.s.wrgtrn.wrgtrnp(5, 5) = 0.9f; // from an earlier read
        if (!c.file.empty()) r.s.units.put_file("wrg_turn.dat", c.file);
        rdwrgtrn(r.s);
        const auto& p = r.s.wrgtrn.wrgtrnp;
        for (int i = 1; i <= 5; ++i)
            for (int j = 1; j <= 5; ++j) {
                const float v = 0.1f * static_cast<float>(i - 1) + 0.01f * static_cast<float>(j);
                EXPECT_NEAR(p(i, j), c.read ? v : 0.0f, 1e-6f) << i << "," << j;
            }
        EXPECT_TRUE(has_line(r.summary(), free_line(c.summary_line))) << r.summary();
        EXPECT_TRUE(has_line(r.summary(), free_line(" 25. Wrong Turn Probability Inputs ")));
        const bool failed = !c.file.empty() && !c.read;
        EXPECT_EQ(contains(r.log(), "Error reading wrg_turn.dat"), failed) << r.log();
        EXPECT_EQ(r.s.errcount.errt1, 0);
    }
}

TEST(PedestrianCrossings, FileCases) {
    struct Case {
        const char*              name;
        std::string              file; // "" = absent
        int                      errt1;
        std::vector<std::string> summary;
        std::vector<std::string> log;
        bool                     not_used; // "No Pedestrian file used" is written
    };
    const Case cases[] = {
        {"absent", "", 0, {}, {}, true},
        {"three crossings become none",
         "crossings\n3\n",
         0,
         {free_line(" - Pedestrian file:", fmt_a("crossings", 40)),
          free_line("     - Number of pedestrian crossings= ", 3), "   Read in     0 crossings   ",
          free_line("  ")},
         {free_line("     - Reading Pedestrian File: ", fmt_a("pedes_cr.dat", 60)),
          free_line(" - Number of Pedestrian Crossings:", 3, " exceeds maximum : ", 0),
          free_line("   Number of Crossing set to ", 0)},
         false},
        {"no crossings",
         "crossings\n0\n",
         0,
         {free_line("     - Number of pedestrian crossings= ", 0)},
         {},
         true},
        {"empty file", "", 1, {}, {}, true},
        {"count not a whole number", "crossings\n2.5\n", 1, {}, {}, true},
    };
    for (std::size_t k = 0; k < std::size(cases); ++k) {
        const Case& c = cases[k];
        SCOPED_TRACE(c.name);
        NetRun     r;
        const bool present = k > 0; // the first case has no file
        if (present) r.s.units.put_file("pedes_cr.dat", c.file);
        rdpdescr(r.s);
        EXPECT_EQ(r.s.pedescr.npedscr, 0);
        EXPECT_EQ(r.s.errcount.errt1, c.errt1);
        const std::string sum = r.summary(), log = r.log();
        EXPECT_TRUE(has_line(sum, free_line(" 41. Pedestrian Crossings        ")));
        for (const auto& l : c.summary) EXPECT_TRUE(has_line(sum, l)) << l << "\n" << sum;
        for (const auto& l : c.log) EXPECT_TRUE(has_line(log, l)) << l << "\n" << log;
        EXPECT_EQ(has_line(sum, free_line("     - No Pedestrian file used")), c.not_used) << sum;
        if (c.errt1 > 0) {
            // The line counter says how far the reader came: 0 without a
            // title, 1 when the count is bad.
            const int lines = c.file.empty() ? 0 : 1;
            EXPECT_TRUE(has_line(log, free_line(" ERROR:")));
            EXPECT_TRUE(
                has_line(log, free_line(" Error occurred reading pedestrian file on line", lines)))
                << log;
        }
    }
}

} // namespace
} // namespace velm
