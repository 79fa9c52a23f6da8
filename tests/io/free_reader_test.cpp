#include "core/io/free_reader.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace velm {
namespace {

TEST(FreeReader, RecordContinuesOverLinesAndIgnoresTheRest) {
    std::istringstream in("1 2.5\n  3 surplus words\n7\n");
    FreeReader         rd(in);
    int                a = 0, c = 0;
    float              b = 0;
    ASSERT_EQ(rd.record(a, b, c), ReadResult::ok);
    EXPECT_EQ(a, 1);
    EXPECT_FLOAT_EQ(b, 2.5f);
    EXPECT_EQ(c, 3);
    EXPECT_EQ(rd.line(), 2);
    int d = 0;
    ASSERT_EQ(rd.record(d), ReadResult::ok);
    EXPECT_EQ(d, 7);
}

TEST(FreeReader, CommasBlanksAndTabsSeparateValuesAlike) {
    std::istringstream in("1, 2 ,3\t4,\t5 6\n\n7,\n8\n");
    FreeReader         rd(in);
    std::vector<int>   v(8, 0);
    ASSERT_EQ(rd.record(v[0], v[1], v[2], v[3], v[4], v[5]), ReadResult::ok);
    // A blank line inside a record is skipped; a comma at the end of a line
    // leaves the record open for the next line.
    rd.start_record();
    ASSERT_EQ(rd.next(std::span<int>(v).subspan(6)), ReadResult::ok);
    EXPECT_EQ(v, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_EQ(rd.line(), 4);
}

TEST(FreeReader, SlashEndsTheRecordAndLeavesTheOtherValues) {
    std::istringstream in("1 / 2 3\n4,5/\n6 7 8\n");
    FreeReader         rd(in);
    int                a = 9, b = 9, c = 9;
    ASSERT_EQ(rd.record(a, b, c), ReadResult::ok);
    EXPECT_TRUE(rd.slashed());
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 9); // not assigned, not taken from after the slash
    EXPECT_EQ(c, 9);
    ASSERT_EQ(rd.record(a, b, c), ReadResult::ok);
    EXPECT_EQ(a, 4);
    EXPECT_EQ(b, 5);
    EXPECT_EQ(c, 9);
    ASSERT_EQ(rd.record(a, b, c), ReadResult::ok); // the next record starts on a new line
    EXPECT_FALSE(rd.slashed());
    EXPECT_EQ(a, 6);
    EXPECT_EQ(c, 8);
}

// One token read as each kind of number.
struct TokenCase {
    const char* text;
    ReadResult  as_int;
    int         int_value;
    ReadResult  as_float;
    float       float_value;
};

TEST(FreeReader, TokenTable) {
    const auto      ok = ReadResult::ok;
    const auto      bad = ReadResult::bad_data;
    const TokenCase cases[] = {
        {"12", ok, 12, ok, 12.0f},
        {"+12", ok, 12, ok, 12.0f},
        {"-7", ok, -7, ok, -7.0f},
        {"12.0", bad, 0, ok, 12.0f}, // a whole number is written without a point
        {"12.", bad, 0, ok, 12.0f},
        {"1e3", bad, 0, ok, 1000.0f},
        {"1.5D2", bad, 0, ok, 150.0f},
        {".5", bad, 0, ok, 0.5f},
        {"+-1", bad, 0, bad, 0.0f},
        {"-", bad, 0, bad, 0.0f},
        {"2147483647", ok, 2147483647, ok, 2147483647.0f},
        {"2147483648", bad, 0, ok, 2147483648.0f},
        {"-2147483647", ok, -2147483647, ok, -2147483647.0f},
        {"-2147483648", bad, 0, ok, -2147483648.0f}, // no negation in an int
        {"-2147483649", bad, 0, ok, -2147483649.0f},
        {"NaN", bad, 0, bad, 0.0f},
        {"nan", bad, 0, bad, 0.0f},
        {"Inf", bad, 0, bad, 0.0f},
        {"-Infinity", bad, 0, bad, 0.0f},
        {"1e39", bad, 0, bad, 0.0f}, // beyond single precision
        {"1e-50", bad, 0, ok, 0.0f}, // underflows to zero
        {"3*0", bad, 0, bad, 0.0f},  // repeat counts are not taken
        {"12abc", bad, 0, bad, 0.0f},
        {"0x10", bad, 0, bad, 0.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::istringstream in1(std::string(c.text) + " 5\n");
        FreeReader         r1(in1);
        int                i = 0;
        EXPECT_EQ(r1.record(i), c.as_int);
        if (c.as_int == ok) {
            EXPECT_EQ(i, c.int_value);
        }
        std::istringstream in2(std::string(c.text) + " 5\n");
        FreeReader         r2(in2);
        float              f = -1.0f;
        EXPECT_EQ(r2.record(f), c.as_float);
        // A bad value leaves the target alone.
        EXPECT_EQ(f, c.as_float == ok ? c.float_value : -1.0f);
    }
    std::istringstream in("1e400 1e300\n");
    FreeReader         rd(in);
    double             d = 0;
    EXPECT_EQ(rd.record(d), ReadResult::bad_data);
    std::istringstream in2("1e300\n");
    FreeReader         rd2(in2);
    EXPECT_EQ(rd2.record(d), ReadResult::ok);
    EXPECT_EQ(d, 1e300);
}

TEST(FreeReader, EmptyValuesAreBadData) {
    for (const char* text : {"1,,2\n", ",1 2\n", "1 ,\t, 2\n", "1,\n,2\n"}) {
        SCOPED_TRACE(text);
        std::istringstream in(text);
        FreeReader         rd(in);
        int                a = 0, b = 0;
        EXPECT_EQ(rd.record(a, b), ReadResult::bad_data);
    }
}

TEST(FreeReader, EndOfFileAndBadDataAreToldApartWithTheirLine) {
    struct Case {
        const char* text;
        ReadResult  second;
        int         line;
    } const cases[] = {
        {"title\n1 2\n3 x\n", ReadResult::bad_data, 3},
        {"title\n1 2\n3 4.5\n", ReadResult::bad_data, 3},
        {"title\n1 2\n3\n", ReadResult::end_of_file, 3},
        {"title\n1 2\n", ReadResult::end_of_file, 2},
        {"title\n1 2\n\n\n3", ReadResult::end_of_file, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::istringstream in(c.text);
        FreeReader         rd(in);
        std::string        title;
        ASSERT_TRUE(rd.text_line(title));
        EXPECT_EQ(title, "title");
        int a = 0, b = 0;
        ASSERT_EQ(rd.record(a, b), ReadResult::ok);
        EXPECT_EQ(rd.record(a, b), c.second);
        EXPECT_EQ(rd.line(), c.line);
    }
    std::istringstream empty("");
    FreeReader         rd(empty);
    std::string        title;
    EXPECT_FALSE(rd.text_line(title));
    EXPECT_EQ(rd.line(), 0);
}

TEST(FreeReader, CarriageReturnsAreStripped) {
    std::istringstream in("My title  \r\n1 2\r\n3\r\n");
    FreeReader         rd(in);
    std::string        title;
    ASSERT_TRUE(rd.text_line(title));
    EXPECT_EQ(title, "My title  ");
    int a = 0, b = 0, c = 0;
    ASSERT_EQ(rd.record(a, b), ReadResult::ok);
    ASSERT_EQ(rd.record(c), ReadResult::ok);
    EXPECT_EQ(c, 3);
    EXPECT_EQ(rd.rest(), "");
}

TEST(FreeReader, RestIsTheTextAfterTheLastValue) {
    std::istringstream in("5 10, Main Street\n'a b' 'it''s' word tail\n");
    FreeReader         rd(in);
    int                a = 0, b = 0;
    ASSERT_EQ(rd.record(a, b), ReadResult::ok);
    EXPECT_EQ(rd.rest(), " Main Street");
    EXPECT_EQ(rd.current_line(), "5 10, Main Street");
    std::string x, y, z;
    ASSERT_EQ(rd.record(x, y, z), ReadResult::ok);
    EXPECT_EQ(x, "a b");
    EXPECT_EQ(y, "it's");
    EXPECT_EQ(z, "word");
    EXPECT_EQ(rd.rest(), " tail");
}

TEST(FreeReader, TruncateToInt) {
    struct Case {
        double v;
        bool   ok;
        int    out;
    } const cases[] = {
        {3.9, true, 3},
        {-3.9, true, -3},
        {-0.5, true, 0},
        {2147483647.0, true, 2147483647},
        {-2147483647.0, true, -2147483647},
        {-2147483647.9, true, -2147483647},
        {-2147483648.0, false, 0}, // the lowest int has no negation
        {2147483648.0, false, 0},
        {-2147483649.0, false, 0},
        {std::numeric_limits<double>::quiet_NaN(), false, 0},
        {std::numeric_limits<double>::infinity(), false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.v);
        int out = 77;
        EXPECT_EQ(truncate_to_int(c.v, out), c.ok);
        EXPECT_EQ(out, c.ok ? c.out : 77);
    }
}

} // namespace
} // namespace velm
