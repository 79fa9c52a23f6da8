#include "core/network/network.h"
#include "lane_fixture.h"

#include "support/text.h"
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>

namespace velm {
namespace {

using testing_lanes::contains;
using testing_lanes::has_line;
using testing_lanes::LaneNet;

std::string fixture(const std::string& name) {
    return support::data_file("lanes", name);
}

// Links 1 (1 lane), 5 (3 lanes), 7 and 9 (2 lanes each).
struct StripeRun : LaneNet {
    StripeRun() {
        link(1, 1, 0.0f);
        link(5, 3, 0.0f);
        link(7, 2, 0.0f);
        link(9, 2, 0.0f);
    }
    void read(const std::string& text, const std::string& name = "stripes.dat") {
        s.units.put_file("stripes.dat", text);
        s.filenam.files(20) = name;
        rdlanshf(s);
    }
    std::array<int, 4> lanper(int l, int p) {
        return {perm(l, p, 1), perm(l, p, 2), perm(l, p, 3), perm(l, p, 4)};
    }
    std::array<int, 6> lanpro(int l, int p) {
        std::array<int, 6> v{};
        for (int c = 1; c <= 6; ++c)
            v[static_cast<std::size_t>(c - 1)] = s.link4.lanpro(lane(l, p), c);
        return v;
    }
};

using Perm = std::array<int, 4>;
using Pro = std::array<int, 6>;

TEST(LaneStriping, CodesAreListedFromTheLeftMostLane) {
    StripeRun t;
    t.read(fixture("stripes_mixed.dat"));
    EXPECT_EQ(t.s.errcount.errt1, 0) << t.log();
    // 100 110 11: the left-most lane 3 turns left only, lane 2 left or
    // through, the curb lane 1 through or right; the codes are kept for the
    // arrows because some lane is restricted.
    EXPECT_EQ(t.lanper(5, 3), (Perm{1, 0, 0, 100}));
    EXPECT_EQ(t.lanper(5, 2), (Perm{1, 1, 0, 110}));
    EXPECT_EQ(t.lanper(5, 1), (Perm{0, 1, 1, 11}));
    // 111 111: nothing restricted, no arrows. 10000 0: the left lane is
    // closed to class 1, the curb lane open.
    EXPECT_EQ(t.lanper(7, 2), (Perm{1, 1, 1, 0}));
    EXPECT_EQ(t.lanper(7, 1), (Perm{1, 1, 1, 0}));
    EXPECT_EQ(t.lanpro(7, 2), (Pro{1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(t.lanpro(7, 1), (Pro{0, 0, 0, 0, 0, 0}));
    // Link 9 coded twice: the later entry's movements, the earlier arrows.
    EXPECT_EQ(t.lanper(9, 1), (Perm{1, 1, 1, 110}));
    EXPECT_EQ(t.lanper(9, 2), (Perm{1, 1, 1, 111}));
    // Link 1 is not in the file.
    EXPECT_EQ(t.lanper(1, 1), (Perm{1, 1, 1, 0}));

    const std::string sum = t.summary();
    EXPECT_TRUE(has_line(sum, " ---------------------------------------------"));
    EXPECT_TRUE(has_line(sum, "  20. Lane striping customization "));
    EXPECT_TRUE(has_line(sum, "  Lane Striping file:stripes.dat"));
    EXPECT_TRUE(has_line(sum, "     - lane shift file name : " +
                                  fmt_a("Main street arrows and a closed left lane", 40)));
    EXPECT_TRUE(has_line(sum, free_line("     - number of shift entries: ", 4)));
    EXPECT_TRUE(contains(sum, "     - Complete file:  20   stripes.dat"));
    EXPECT_EQ(t.s.filenam.ftitle(20), "Main street arrows and a closed left lane");
    EXPECT_EQ(t.s.pathnam.filuse[20], 0);
}

TEST(LaneStriping, WithoutEntriesEveryLaneAllowsEverything) {
    for (const char* name : {"none", "NONE", ""}) {
        StripeRun t;
        // Leftovers of an earlier reading are reset.
        t.perm(5, 2, 1) = 0;
        t.perm(5, 2, 4) = 10;
        t.s.link4.lanpro(t.lane(5, 2), 3) = 1;
        t.s.filenam.files(20) = name;
        rdlanshf(t.s);
        SCOPED_TRACE(name);
        EXPECT_EQ(t.s.errcount.errt1, 0);
        EXPECT_EQ(t.lanper(5, 2), (Perm{1, 1, 1, 0}));
        EXPECT_EQ(t.lanpro(5, 2), (Pro{0, 0, 0, 0, 0, 0}));
        EXPECT_TRUE(has_line(t.summary(), "  20. Lane striping customization "));
        EXPECT_TRUE(contains(t.summary(), "     - Complete file:  20   "));
        EXPECT_FALSE(contains(t.summary(), "Lane Striping file:"));
    }
    StripeRun zero;
    zero.read("no entries\n0\n");
    EXPECT_EQ(zero.s.errcount.errt1, 0);
    EXPECT_EQ(zero.lanper(5, 1), (Perm{1, 1, 1, 0}));
    EXPECT_TRUE(contains(zero.summary(), "     - Complete file:  20   stripes.dat"));
}

TEST(LaneStriping, StripingCodeOfOneLane) {
    struct Case {
        const char* code;
        bool        ok;
        Perm        lanper;
    };
    const Case cases[] = {
        {"110", true, {1, 1, 0, 110}},
        {"11", true, {0, 1, 1, 11}},
        {"1", true, {0, 0, 1, 1}},
        {"111", true, {1, 1, 1, 0}},
        {"111.9", true, {1, 1, 1, 0}}, // taken as 111
        {"-1", true, {0, 0, 0, -1}},   // no movement at all; arrows code -1
        {"0", true, {0, 0, 0, 0}},
        {"112", false, {}},
        {"-2", false, {}},
        {"1e3", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        StripeRun t;
        t.read(std::string("one lane\n1\n1 1 1 ") + c.code + " 0\n");
        if (c.ok) {
            EXPECT_EQ(t.s.errcount.errt1, 0) << t.log();
            EXPECT_EQ(t.lanper(1, 1), c.lanper);
        } else {
            const float code = std::stof(c.code);
            const int   whole = static_cast<int>(code + 0.00001f);
            EXPECT_TRUE(has_line(t.log(), free_line(" lane striping code= ", whole, " on link=", 1,
                                                    " lane=", 1, " invalid")))
                << t.log();
            // The reader's own count and the epilogue's error 1022.
            EXPECT_EQ(t.s.errcount.errt1, 2);
            EXPECT_TRUE(has_line(t.log(), " ERROR 1022"));
            EXPECT_TRUE(has_line(t.summary(), "       - No lane striping customization "));
        }
    }
}

TEST(LaneStriping, ProhibitionCodeClosesLanesByClassDigit) {
    struct Case {
        const char* code;
        bool        ok;
        Pro         lanpro; // lane 2 of link 7 (the left lane, first code)
    };
    const Case cases[] = {
        {"10", true, {0, 0, 0, 1, 0, 1}},    // class 4
        {"10000", true, {1, 0, 0, 0, 0, 1}}, // class 1
        {"1", true, {0, 0, 0, 0, 1, 1}},     // class 5
        {"2", true, {0, 0, 0, 0, 2, 1}},     // class 5 restricted, not closed
        {"10.4", true, {0, 0, 0, 1, 0, 1}},  // a fraction below one half drops
        {"10.6", true, {0, 0, 0, 1, 1, 1}},  // and one above it rounds up
        {"-0.25", true, {0, 0, 0, 0, 0, 0}}, // valid, closes nothing
        {"11110", true, {1, 1, 1, 1, 0, 1}},
        {"11110.5", true, {1, 1, 1, 1, 1, 1}}, // the highest code that passes
        {"11111", false, {}},
        {"-0.6", false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        StripeRun t;
        t.read(std::string("bus lane\n1\n1 7 2 111 111 ") + c.code + " 0\n");
        if (c.ok) {
            EXPECT_EQ(t.s.errcount.errt1, 0) << t.log();
            EXPECT_EQ(t.lanpro(7, 2), c.lanpro);
            EXPECT_EQ(t.lanpro(7, 1), (Pro{0, 0, 0, 0, 0, 0}));
        } else {
            const float y = std::stof(c.code) + 0.5f;
            EXPECT_TRUE(has_line(t.log(), free_line(" lane prohibition  = ", y, " on link=", 7,
                                                    " lane=", 1, " invalid")))
                << t.log();
            EXPECT_EQ(t.s.errcount.errt1, 2);
        }
    }
}

TEST(LaneStriping, EveryLaneClosedToAClassIsRefused) {
    StripeRun one;
    one.read("one lane closed to class 3\n1\n1 7 2 111 111 100 0\n");
    EXPECT_EQ(one.s.errcount.errt1, 0) << one.log();
    EXPECT_EQ(one.s.link4.lanpro(one.lane(7, 2), 3), 1);

    StripeRun both;
    both.read("both lanes closed to class 3\n2\n1 7 2 111 111 100 100\n2 5 3 100 110 11 0 0 0\n");
    const std::string log = both.log();
    EXPECT_TRUE(has_line(log, " -Error in file 20: ")) << log;
    EXPECT_TRUE(has_line(log, free_line(" Lane prohibitions on link = ", 7)));
    EXPECT_TRUE(has_line(log, free_line(" prohibit vehicle type ", 3)));
    EXPECT_TRUE(has_line(log, free_line(" from ", 2, "out of ", 2, " lanes")));
    EXPECT_TRUE(has_line(log, free_line("Error in Reading Data file=", fmt_a("stripes.dat", 60))));
    EXPECT_TRUE(has_line(log, free_line(" Error reading lane striping file 20 ")));
    EXPECT_TRUE(has_line(log, free_line(" Expecting ", 2, " entries")));
    EXPECT_TRUE(has_line(log, free_line(" Difficulty around line", 1)));
    EXPECT_TRUE(has_line(log, free_line("Attempting to read to LINE", 3)));
    EXPECT_EQ(both.s.errcount.errt1, 2);
    // The reader stopped: the second entry is not applied.
    EXPECT_EQ(both.perm(5, 3, 2), 1);
}

TEST(LaneStriping, BadFilesStopAtTheirFirstFault) {
    struct Case {
        const char* name;
        const char* text;
        std::string line; // expected in the run log
        int         errt1;
        int         at_line; // line of the epilogue; 0: no such line
    };
    const Case cases[] = {
        {"count below 0", "t\n-1\n",
         free_line(" rdlanshf error - nlanshf =", -1, " is less than   0 "), 2, 2},
        {"count above max", "t\n9001\n",
         free_line(" rdlanshf error - nlanshf =", 9001, " is greater than max= ", 9000), 2, 2},
        {"entry below 1", "t\n1\n0.5 5 3 111 111 111 0 0 0\n",
         free_line(" rdlanshf error - lanshf =", 0.5f, " is less than 1.0 "), 2, 3},
        {"entry above max", "t\n1\n4488 5 3 111 111 111 0 0 0\n",
         free_line(" rdlanshf error - lanshf =", 4488.0f, " is greater than maximum link= ", 4487),
         2, 3},
        {"link below 1", "t\n1\n1 0 3 111 111 111 0 0 0\n",
         free_line(" rdlanshf error - link =", 0, " is less than 1 "), 2, 3},
        {"link above max", "t\n1\n1 4488 3 111 111 111 0 0 0\n",
         free_line(" rdlanshf error - link =", 4488, " is greater than max= ", 4487), 2, 3},
        {"link not coded", "t\n1\n1 6 3 111 111 111 0 0 0\n",
         free_line(" rdlanshf error - link =", 6, " does not exist "), 2, 3},
        {"lane count differs", "t\n1\n1 5 2 111 111 0 0\n",
         free_line(" rdlanshf error - link =", 5, " has ", 3, " lanes versus ", 2), 2, 3},
        // Link and lane count are whole numbers: "12.0" is a read failure.
        {"link written as real", "t\n1\n1 5.0 3 111 111 111 0 0 0\n", " ERROR 1022", 1, 3},
        {"codes missing", "t\n2\n1 5 3 111 111 111 0 0 0\n2 7 2 111\n", " ERROR 1022", 1, 4},
        {"no title", "", " ERROR 1021", 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StripeRun t;
        t.read(c.text);
        const std::string log = t.log();
        EXPECT_TRUE(has_line(log, c.line)) << log;
        EXPECT_EQ(t.s.errcount.errt1, c.errt1);
        if (c.at_line > 0) {
            EXPECT_TRUE(has_line(log, " ERROR 1022"));
            EXPECT_TRUE(has_line(log, free_line("Attempting to read to LINE", c.at_line)));
        }
    }

    StripeRun missing;
    missing.s.filenam.files(20) = "absent.dat";
    rdlanshf(missing.s);
    EXPECT_TRUE(has_line(missing.log(), " ERROR 1020"));
    EXPECT_EQ(missing.s.errcount.errt1, 1);

    // The file ends two entries early: the reader names the entry it was on.
    StripeRun early;
    early.read("t\n5\n1 5 3 111 111 111 0 0 0\n2 7 2 111 111 0 0\n3 9 2 111 111 0 0\n");
    EXPECT_TRUE(has_line(early.log(), free_line(" Expecting ", 5, " entries")));
    EXPECT_TRUE(has_line(early.log(), free_line(" Difficulty around line", 4)));
    EXPECT_TRUE(has_line(early.log(), free_line("Attempting to read to LINE", 6)));
}

} // namespace
} // namespace velm
