// The optional lane-change parameter file: defaults, partial reads, and the
// range checks with their fatal errors.
#include "core/movement/lane_change_params.h"
#include "core/movement/movement.h"
#include "movement_fixture.h"

#include "support/text.h"
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace velm::testing_movement {
namespace {

constexpr std::array<float, 10> kDefaults = {10, 10, 0.2f, 5, 10, 2, 0.01f, 1, 0.5f, 0.5f};

struct ParamRun : MoveRun {
    ParamRun() { s.units.open_write(kUnitSummary, "summary.out"); }
    std::string summary() const { return s.units.file_text("summary.out"); }
    void        read(const std::string* text) {
               if (text) s.units.put_file("lanechange.dat", *text);
        rdwvedat(s);
    }
    float w(int k) const { return s.wvedat.wvedat(k); }
};

using support::contains;

TEST(LaneChangeParams, AbsentFileKeepsDefaults) {
    ParamRun r;
    r.s.wvedat.wvedat(1) = 99.0f; // whatever an earlier reader left
    r.read(nullptr);
    for (int k = 1; k <= 10; ++k)
        EXPECT_FLOAT_EQ(r.w(k), kDefaults[static_cast<std::size_t>(k - 1)]);
    for (int k = 11; k <= kLaneChangeParams; ++k) EXPECT_FLOAT_EQ(r.w(k), 0.0f);
    EXPECT_TRUE(contains(r.summary(), " 27. Lane Change Data Customization "));
    EXPECT_TRUE(contains(r.summary(), "    - Lane change parameters set to defaults "));
    EXPECT_EQ(r.s.errcount.errt1, 0);
}

TEST(LaneChangeParams, ShortFilesKeepWhatWasReadAndLogTheReadError) {
    struct Case {
        std::string        text;
        std::vector<float> expect; // wvedat(1..k) read; the rest stay at their defaults
    };
    const Case cases[] = {
        {"only a title\n", {}},
        {"three values\n12 11 0.3\n", {12, 11, 0.3f}},
        {"values over lines, then junk\n6,7\n0.1 x 9\n", {6, 7, 0.1f}},
    };
    for (const Case& c : cases) {
        ParamRun r;
        r.read(&c.text);
        SCOPED_TRACE(c.text);
        for (int k = 1; k <= 10; ++k) {
            const auto i = static_cast<std::size_t>(k - 1);
            EXPECT_FLOAT_EQ(r.w(k), i < c.expect.size() ? c.expect[i] : kDefaults[i]) << k;
        }
        EXPECT_TRUE(contains(r.log(), "Error reading lane customization file"));
        EXPECT_FALSE(contains(r.summary(), "Input of lane change data complete"));
        EXPECT_EQ(r.s.errcount.errt1, 0); // not an error: the run goes on
    }
}

TEST(LaneChangeParams, RangeChecksReportEachFailure) {
    struct Case {
        std::string              values;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"5 10 0.2 5 10 2 0.01 1 -7 1e6", {}}, // 9 and 10 may hold anything
        {"4.9 10 0.2 5 10 2 0.01 1 0.5 0.5", {"ERROR: Hardwall factor out of range (5 to 15)"}},
        {"10 15.1 0.2 5 10 2 0.01 1 0.5 0.5", {"ERROR: Softwall factor out of range (5 to 15)"}},
        {"10 10 0.2 12 10 2 0.01 1 0.5 0.5", {"ERROR: Inertia cap less than abasolute inertia"}},
        {"10 10 0.6 5 26 0.5 0.06 2.5 0.5 0.5",
         {"ERROR: Relative inertia out of range (0.0 to 0.5)",
          "ERROR: Inertia cap out of range (5 to 25)",
          "ERROR: Lane change duration out of range (1 to 5)",
          "ERROR: Rel. lane change bias out of range (0 to .05)",
          "ERROR: Abs. lane change bias out of range (0 to 2)"}},
        {"10 10 0.2 -1 10 2 0.01 1 0.5 0.5", {"ERROR: Absolute inertia out of range (0 to 15)"}},
    };
    for (const Case& c : cases) {
        ParamRun          r;
        const std::string text = "tuned lane changes\n" + c.values + "\n";
        r.read(&text);
        SCOPED_TRACE(c.values);
        EXPECT_TRUE(contains(r.summary(), "    - Input of lane change data complete "));
        EXPECT_EQ(r.s.errcount.errt1, static_cast<int>(c.messages.size())) << r.log();
        for (const auto& m : c.messages) EXPECT_TRUE(contains(r.log(), m)) << m;
        EXPECT_FALSE(contains(r.log(), "Error reading"));
    }
}

TEST(LaneChangeParams, EchoesTheTitleAndUsesTheInputDirectory) {
    ParamRun r;
    r.s.filenam.path1 = "inputs/";
    r.s.pathnam.lpath[1] = 7;
    r.s.units.put_file("inputs/lanechange.dat",
                       "A title longer than forty characters is cut there\n8 9 0.1 4 12 3 0 0\n");
    rdwvedat(r.s);
    EXPECT_TRUE(contains(r.summary(), "    - Lane change customization file name: A title longer "
                                      "than forty characters i"));
    EXPECT_FLOAT_EQ(r.w(6), 3.0f);
    EXPECT_FLOAT_EQ(r.w(9), 0.5f); // the file ends after eight values
}

} // namespace
} // namespace velm::testing_movement
