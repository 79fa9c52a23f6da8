#include "core/io/free_reader.h"

#include <gtest/gtest.h>
#include <sstream>

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

} // namespace
} // namespace velm
