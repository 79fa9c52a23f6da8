#include "core/demand/demand.h"
#include "demand_fixture.h"

#include <array>
#include <gtest/gtest.h>

namespace velm {
namespace {

using testing::contains;
using testing::DemandSim;

TEST(SpeedCaps, CapsPerClassOrAllUnrestricted) {
    struct Case {
        const char*        what;
        const char*        file; // nullptr: no file
        std::array<int, 5> caps;
    } const cases[] = {
        {"five caps", "caps\n120 100 80 1000 90\n", {120, 100, 80, 1000, 90}},
        {"over two lines", "caps\n120, 100\n80 1000 90\n", {120, 100, 80, 1000, 90}},
        {"three values", "caps\n120 100 80\n", {1000, 1000, 1000, 1000, 1000}},
        {"a real", "caps\n120 100 80.5 1000 90\n", {1000, 1000, 1000, 1000, 1000}},
        {"title only", "caps\n", {1000, 1000, 1000, 1000, 1000}},
        {"no file", nullptr, {1000, 1000, 1000, 1000, 1000}},
    };
    for (const auto& c : cases) {
        DemandSim t;
        if (c.file) t.s.units.put_file("mxvehspd.dat", c.file);
        rdmxvhsp(t.s);
        for (int k = 1; k <= 5; ++k) EXPECT_EQ(t.s.mxvehspd.mspvh(k), c.caps[k - 1]) << c.what;
        const std::string sum = t.summary();
        const bool        read = c.caps[0] != 1000;
        EXPECT_TRUE(contains(sum, "  31. Max Vehicle Speed - inputs  \n")) << c.what;
        EXPECT_EQ(contains(sum, "      - vehicle type speeds unrestricted \n"), !read) << c.what;
        EXPECT_EQ(contains(sum, "      - input of maximum vehicle speed complete \n"), read)
            << c.what;
        EXPECT_TRUE(sum.ends_with("\n      \n")) << c.what;
        EXPECT_EQ(t.s.errcount.numerr + t.s.errcount.errt1, 0) << c.what;
    }
}

TEST(SpeedCaps, EchoAndInputDirectory) {
    DemandSim t;
    t.s.filenam.path1 = "in/";
    t.s.pathnam.lpath[1] = 3;
    t.s.units.put_file("in/mxvehspd.dat",
                       "Speed caps of the five classes, km/h, 2026 edition\n120 100 80 1000 90\n");
    rdmxvhsp(t.s);
    EXPECT_EQ(t.s.mxvehspd.mspvh(3), 80);
    EXPECT_TRUE(
        contains(t.summary(),
                 "      - max vehicle speed file : Speed caps of the five classes, km/h, 20\n"));
    EXPECT_TRUE(contains(t.summary(), "     - Max. speed veh type:           3  =          80\n"));
}

TEST(SpeedCaps, NoCapIsTheDefaultBeforeAnythingIsRead) {
    auto s = std::make_unique<Sim>();
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(s->mxvehspd.mspvh(k), 1000);
}

} // namespace
} // namespace velm
