#include "core/io/writers.h"

#include <climits>
#include <gtest/gtest.h>
#include <limits>
#include <string>

namespace velm {
namespace {

// Reference lines of the free layout: one leading blank, then the field.
TEST(FreeFormat, SinglePrecisionReals) {
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float       v;
        const char* line;
    } const cases[] = {
        {1.0f, "   1.00000000    "},
        {0.05f, "   5.00000007E-02"},
        {1.0e9f, "   1.00000000E+09"},
        {123456.789f, "   123456.789    "},
        {-0.0f, "  -0.00000000    "},
        {0.0f, "   0.00000000    "},
        {123456789.0f, "   123456792.    "}, // no decimals left: the point stays
        {0.1f, "  0.100000001    "},
        {0.0999999999f, "  0.100000001    "}, // rounds up into the fixed range
        {-2.5f, "  -2.50000000    "},
        {1.0e-40f, "   9.99994610E-41"},
        {3.4e38f, "   3.39999995E+38"},
        {inf, "         Infinity"},
        {-inf, "        -Infinity"},
        {std::numeric_limits<float>::quiet_NaN(), "              NaN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(free_line(c.v), c.line);
    }
}

TEST(FreeFormat, DoublesAndWholeNumbers) {
    struct Case {
        std::string got;
        const char* want;
    } const cases[] = {
        {free_line(1.0), "   1.0000000000000000     "},
        {free_line(0.05), "   5.0000000000000003E-002"},
        {free_line(1.0e-20), "   9.9999999999999995E-021"},
        {free_line(1.0e9), "   1.0000000000000000E+009"},
        {free_line(123456.789), "   123456.78900000000     "},
        {free_line(0), "           0"},
        {free_line(5), "           5"},
        {free_line(-42), "         -42"},
        {free_line(INT_MIN), " -2147483648"},
        {free_line(INT_MAX), "  2147483647"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(FreeFormat, ItemsJoinTextsAndSpaceNumbers) {
    EXPECT_EQ(free_line("abc", 5, "def", "g", 2.5f), " abc           5 defg   2.50000000    ");
    EXPECT_EQ(free_line("Input File ", 5, "  Error ", 151110),
              " Input File            5   Error       151110");
    EXPECT_EQ(free_line(1, 2), "           1           2");
    EXPECT_EQ(free_line(), "");
    EXPECT_EQ(free_line(" "), "  ");
    EXPECT_EQ(free_line(std::string("x"), std::string_view("y"), 'z'), " xyz");

    Units u;
    u.use_memory_files();
    ASSERT_TRUE(u.open_write(9, "runerr.out"));
    wfree(u, 9, "a", 1);
    wfree(u, 9);
    u.close(9);
    EXPECT_EQ(u.file_text("runerr.out"), " a           1\n\n");
}

TEST(FixedLayout, Fields) {
    struct Case {
        std::string got;
        const char* want;
    } const cases[] = {
        // Iw
        {fmt_i(42, 5), "   42"},
        {fmt_i(-5, 3), " -5"},
        {fmt_i(1234, 3), "***"},
        {fmt_i(-50, 2), "**"},
        {fmt_i(0, 1), "0"},
        // Fw.d
        {fmt_f(3.14159, 8, 3), "   3.142"},
        {fmt_f(-0.001, 6, 2), " -0.00"},
        {fmt_f(-0.0, 6, 2), " -0.00"},
        {fmt_f(0.5, 4, 2), "0.50"},
        {fmt_f(0.5, 3, 2), ".50"}, // the optional zero goes first
        {fmt_f(-0.5, 4, 2), "-.50"},
        {fmt_f(3.0, 5, 0), "   3."},
        {fmt_f(12.5, 3, 1), "***"},
        {fmt_f(1.0e300, 10, 2), "**********"},
        {fmt_f(std::numeric_limits<double>::quiet_NaN(), 4, 1), "****"},
        // Ew.d
        {fmt_e(1234.5, 10, 3), " 0.123E+04"},
        {fmt_e(0.5, 8, 3), ".500E+00"},
        {fmt_e(-1.0, 9, 3), "-.100E+01"},
        {fmt_e(1.0e123, 12, 4), "  0.1000+124"},
        {fmt_e(-0.0, 10, 3), "-0.000E+00"},
        {fmt_e(0.0, 10, 3), " 0.000E+00"},
        {fmt_e(9.9996, 10, 3), " 0.100E+02"},
        {fmt_e(-1234.5, 8, 3), "********"},
        // Aw and nX
        {fmt_a("abcd", 2), "ab"},
        {fmt_a("ab", 5), "ab   "},
        {fmt_a("", 3), "   "},
        {fmt_a("abc", 0), ""},
        {blanks(3), "   "},
        {blanks(-1), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
    EXPECT_EQ(trim_right("ab \t "), "ab");
    EXPECT_EQ(trim_right("   "), "");
}

} // namespace
} // namespace velm
