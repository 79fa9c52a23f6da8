#include "core/network/network.h"
#include "lane_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace velm {
namespace {

using testing_lanes::contains;
using testing_lanes::has_line;
using testing_lanes::LaneNet;

// Links 3 (3 lanes), 4 (2 lanes) and 12 (1 lane).
struct BiasRun : LaneNet {
    BiasRun() {
        link(3, 3, 0.0f);
        link(4, 2, 0.0f);
        link(12, 1, 0.0f);
    }
    void read(const std::string& text) {
        s.units.put_file("lanebias.dat", text);
        rdlanebias(s);
    }
    std::array<int, 7> lanes(int i) {
        std::array<int, 7> v{};
        for (int k = 1; k <= 7; ++k) v[static_cast<std::size_t>(k - 1)] = s.lanebias.bias_lan(i, k);
        return v;
    }
    std::array<int, 5> classes(int i) {
        std::array<int, 5> v{};
        for (int c = 1; c <= 5; ++c) v[static_cast<std::size_t>(c - 1)] = s.lanebias.bias_vt(i, c);
        return v;
    }
};

using Lanes = std::array<int, 7>;
using Classes = std::array<int, 5>;

TEST(LaneBias, RulesAreStoredAndEchoed) {
    BiasRun t;
    t.read("bias toward the left lanes\n"
           "2\n"
           "1  3  11000  110  4   0.5  1.5\n"
           "2, 4, 1, 110, 4487, 10.0, 10\n");
    const auto& lb = t.s.lanebias;
    ASSERT_EQ(t.s.errcount.errt1, 0) << t.log();
    ASSERT_EQ(lb.nlanebias, 2);
    // Lane code 110: units digit = lane 1, so lanes 2 and 3 of the 3-lane
    // link; on the 2-lane link only lane 2 (the hundreds digit has no lane).
    EXPECT_EQ(t.lanes(1), (Lanes{0, 1, 1, 0, 0, 0, 0}));
    EXPECT_EQ(t.lanes(2), (Lanes{0, 1, 0, 0, 0, 0, 0}));
    // Class code 11000: digits left to right are classes 1..5; 1 is class 5.
    EXPECT_EQ(t.classes(1), (Classes{1, 1, 0, 0, 0}));
    EXPECT_EQ(t.classes(2), (Classes{0, 0, 0, 0, 1}));
    EXPECT_EQ(lb.lanebias(1, 1), 3);
    EXPECT_EQ(lb.lanebias(1, 2), 4);
    EXPECT_EQ(lb.lanebias(1, 3), 500); // 0.5 km
    EXPECT_EQ(lb.lanebias(2, 3), 10000);
    EXPECT_FLOAT_EQ(lb.biaswgt(1), 1.5f);
    EXPECT_FLOAT_EQ(lb.biaswgt(2), 10.0f);
    // The trigger link need not exist.
    EXPECT_EQ(lb.lanebias(2, 2), 4487);

    const std::string sum = t.summary();
    EXPECT_TRUE(has_line(sum, "  24. Lane bias customization file "));
    EXPECT_TRUE(has_line(sum, "  Lane Bias File:lanebias.dat"));
    EXPECT_TRUE(has_line(sum, "     - lane bias file: " + fmt_a("bias toward the left lanes", 40)));
    EXPECT_TRUE(has_line(sum, "    1    3    4       500 1.50   1 1 0 0 0      0 1 1 0 0 0 0"));
    EXPECT_TRUE(has_line(sum, "    2    4 4487     1000010.00   0 0 0 0 1      0 1 0 0 0 0 0"));
    EXPECT_TRUE(has_line(sum, "         No errors encountered         "));
    EXPECT_TRUE(has_line(sum, free_line("        Entries read in: ", 2)));
}

TEST(LaneBias, LinkNumberIsRoundedOnceForCheckAndRule) {
    BiasRun with13;
    with13.link(13, 2, 0.0f);
    with13.read("t\n1\n1 12.995 1 11 12 0 1\n");
    ASSERT_EQ(with13.s.errcount.errt1, 0) << with13.log();
    EXPECT_EQ(with13.s.lanebias.lanebias(1, 1), 13);
    EXPECT_EQ(with13.lanes(1), (Lanes{1, 1, 0, 0, 0, 0, 0})); // both lanes of link 13

    BiasRun without13;
    without13.read("t\n1\n1 12.995 1 11 12 0 1\n");
    EXPECT_TRUE(has_line(without13.log(),
                         free_line(" rdlanebias error - biaslink =", 13, " does not exist ")));
    EXPECT_EQ(without13.s.lanebias.lanebias(1, 1), 0);
}

TEST(LaneBias, MissingOrEmptyFile) {
    BiasRun none;
    rdlanebias(none.s);
    EXPECT_EQ(none.s.lanebias.nlanebias, 0);
    EXPECT_EQ(none.s.errcount.errt1, 0);
    EXPECT_TRUE(has_line(none.summary(), "  24. Lane bias customization file "));
    EXPECT_TRUE(has_line(none.summary(), "       - No lane bias customization opened"));

    BiasRun empty;
    empty.read("no rules\n0\n");
    EXPECT_EQ(empty.s.lanebias.nlanebias, 0);
    EXPECT_EQ(empty.s.errcount.errt1, 0);
    EXPECT_TRUE(has_line(empty.summary(), "       - Lane bias customization opened"));
    EXPECT_TRUE(has_line(empty.summary(), "         No errors encountered         "));
    EXPECT_TRUE(has_line(empty.summary(), free_line("        Entries read in: ", 0)));

    // The input directory is put before the name.
    BiasRun dir;
    dir.s.filenam.path1 = "in/";
    dir.s.pathnam.lpath[1] = 3;
    dir.s.units.put_file("in/lanebias.dat", "t\n0\n");
    rdlanebias(dir.s);
    EXPECT_TRUE(has_line(dir.summary(), "  Lane Bias File:in/lanebias.dat"));
    EXPECT_TRUE(has_line(dir.summary(), "         No errors encountered         "));
}

TEST(LaneBias, OutOfRangeFieldsAreRefused) {
    struct Case {
        const char* fields; // the seven fields of the only entry
        std::string message;
    };
    const Case cases[] = {
        {"0.5 3 1 1 4 1 1",
         free_line(" rdlanebias error - biasfact =", 0.5f, " is less than 1.0 ")},
        {"4488 3 1 1 4 1 1", free_line(" rdlanebias error - biasfact =", 4488.0f,
                                       " is greater than maximum link= ", 4487)},
        {"1 0.5 1 1 4 1 1",
         free_line(" rdlanebias error - biaslink =", 0.5f, " is less than 1.0 ")},
        {"1 4488 1 1 4 1 1", free_line(" rdlanebias error - biaslink =", 4488.0f,
                                       " is greater than maximum link= ", 4487)},
        {"1 5 1 1 4 1 1", free_line(" rdlanebias error - biaslink =", 5, " does not exist ")},
        {"1 3 0.5 1 4 1 1",
         free_line(" rdlanebias error - bias vt  =", 0.5f, " is less than 1.0 ")},
        {"1 3 11112 1 4 1 1", free_line(" rdlanebias error - bias vt =", 11112.0f,
                                        " is greater than maximum vt= ", 11111)},
        {"1 3 1 0 4 1 1", free_line(" rdlanebias error - bias lanes=", 0.0f, " is less than 1.0 ")},
        {"1 3 1 1111112 4 1 1", free_line(" rdlanebias error - bias lanes =", 1111112.0f,
                                          " is greater than maximum vt= ", 1111111)},
        {"1 3 1 1 0 1 1", free_line(" rdlanebias error - downstream=", 0.0f, " is less than 1.0 ")},
        {"1 3 1 1 4488 1 1", free_line(" rdlanebias error - downstream =", 4488.0f,
                                       " is greater than maximum = ", 4487)},
        {"1 3 1 1 4 -0.1 1",
         free_line(" rdlanebias error - distance=", -0.1f, " is less than 0.0 ")},
        {"1 3 1 1 4 10.5 1",
         free_line(" rdlanebias error - distance =", 10.5f, " is greater than maximum = ", 10.0f)},
        {"1 3 1 1 4 1 0", free_line(" rdlanebias error - bias weight =", 0.0f,
                                    " is infeasible (<=0.0 or >10.0) = ")},
        {"1 3 1 1 4 1 10.01", free_line(" rdlanebias error - bias weight =", 10.01f,
                                        " is infeasible (<=0.0 or >10.0) = ")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fields);
        BiasRun t;
        t.read(std::string("t\n1\n") + c.fields + "\n");
        const std::string log = t.log();
        EXPECT_TRUE(has_line(log, "  Error in file 24 : ")) << log;
        EXPECT_TRUE(has_line(log, c.message)) << log;
        EXPECT_TRUE(has_line(log, free_line("        error found reading line:", 3)));
        EXPECT_EQ(t.s.errcount.errt1, 1);
        EXPECT_EQ(t.s.lanebias.bias_vt(1, 5), 0); // nothing stored
    }
}

TEST(LaneBias, ErrorInTheThirdOfFiveEntries) {
    BiasRun t;
    t.read("t\n5\n"
           "1 3 1 1 4 1 1\n"
           "2 4 1 1 4 1 1\n"
           "3 4 1 1 4 1 0\n"
           "4 4 1 1 4 1 1\n"
           "5 4 1 1 4 1 1\n");
    const std::string log = t.log();
    const std::string sum = t.summary();
    for (const std::string* text : {&log, &sum}) {
        EXPECT_TRUE(has_line(*text, "       - Lane bias customization opened"));
        EXPECT_TRUE(has_line(*text, free_line("        error found reading line:", 5)));
        EXPECT_TRUE(has_line(*text, free_line("        entry number: ", 3)));
    }
    EXPECT_TRUE(has_line(log, "  Error reading lane bias file 24 "));
    EXPECT_TRUE(has_line(log, free_line(" Expecting ", 5, " entries")));
    EXPECT_TRUE(has_line(log, free_line(" Difficulty around line", 3)));
    EXPECT_EQ(t.s.errcount.errt1, 1);
    // Rules before the failure stay; the count stays as announced.
    EXPECT_EQ(t.s.lanebias.lanebias(2, 1), 4);
    EXPECT_EQ(t.s.lanebias.lanebias(3, 1), 0);
    EXPECT_EQ(t.s.lanebias.nlanebias, 5);
}

TEST(LaneBias, BadCountOrTitle) {
    BiasRun high;
    high.read("t\n4488\n");
    EXPECT_TRUE(has_line(high.log(), free_line(" lanebias error - nlanebias =", 4488,
                                               " is greater than max= ", 4487)));
    EXPECT_EQ(high.s.errcount.errt1, 1);
    // No rule count the tables cannot hold is kept.
    EXPECT_EQ(high.s.lanebias.nlanebias, 0);

    BiasRun low;
    low.read("t\n-1\n");
    EXPECT_TRUE(
        has_line(low.log(), free_line(" lanebias error - nlanebias =", -1, " is less than   0 ")));
    EXPECT_EQ(low.s.lanebias.nlanebias, 0);

    BiasRun untitled;
    untitled.read("");
    EXPECT_TRUE(has_line(untitled.log(), free_line("        error found reading line:", 1)));
    EXPECT_EQ(untitled.s.errcount.errt1, 1);

    BiasRun short_file;
    short_file.read("t\n2\n1 3 1 1 4 1 1\n2 4 1\n");
    EXPECT_TRUE(has_line(short_file.log(), free_line("        error found reading line:", 4)));
    EXPECT_TRUE(has_line(short_file.log(), free_line("        entry number: ", 2)));
    EXPECT_EQ(short_file.s.lanebias.lanebias(1, 1), 3);
}

} // namespace
} // namespace velm
