#include "core/driver/charcon.h"

#include <gtest/gtest.h>
#include <string>

namespace velm {
namespace {

TEST(Charcon, Table) {
    using Fn = void (*)(int, std::string&, int);
    struct Case {
        Fn          fn;
        int         width;
        int         ix;
        int         flag;
        const char* want;
    } const cases[] = {
        {charcon3, 3, 7, 1, "  7"},
        {charcon3, 3, 7, 2, "007"},
        {charcon3, 3, 7, 0, "007"},
        {charcon3, 3, 999, 1, "999"},
        {charcon3, 3, 1000, 1, "   "}, // does not fit: fill only
        {charcon3, 3, 1000, 0, "000"},
        {charcon3, 3, -1, 1, "   "},
        {charcon3, 3, -5, 2, "000"},
        {charcon7, 7, 3600, 1, "   3600"},
        {charcon7, 7, 9999999, 0, "9999999"},
        {charcon7, 7, 10000000, 1, "       "},
        {charcon7, 7, 10000000, 2, "0000000"},
        {charcon7, 7, -60, 1, "       "},
        {charcon2, 2, 0, 1, " 0"},
        {charcon2, 2, 0, 0, "00"},
        {charcon2, 2, 5, 1, " 5"},
        {charcon2, 2, 99, 1, "99"},
        {charcon2, 2, 100, 1, "  "},
        {charcon2, 2, 100, 0, "00"},
        {charcon2, 2, -3, 0, "00"},
        {charcon5, 5, -12, 1, "  -12"},
        {charcon5, 5, -12, 0, "00-12"},
        {charcon5, 5, -1, 1, "   -1"},
        {charcon5, 5, -9999, 1, "-9999"},
        {charcon5, 5, -10000, 1, "     "}, // five digits and a sign do not fit
        {charcon5, 5, -99999, 0, "00000"},
        {charcon5, 5, -2147483647 - 1, 1, "     "},
        {charcon5, 5, 99999, 1, "99999"},
        {charcon5, 5, 100000, 1, "     "},
        {charcon5, 5, 0, 1, "    0"},
        {charcon5, 5, 0, 2, "00000"},
        {charcon5, 5, 42, 1, "   42"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "width " << c.width << " ix " << c.ix << " flag " << c.flag);
        std::string y = "previous text";
        c.fn(c.ix, y, c.flag);
        EXPECT_EQ(y, c.want);
        EXPECT_EQ(static_cast<int>(y.size()), c.width);
    }
}

} // namespace
} // namespace velm
