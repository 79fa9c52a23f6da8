// The inputs of demand synthesis: "trp_gen.dat" and "mod_shf.dat".
#include "core/demand/demand.h"
#include "demand_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

using testing::contains;
using testing::count_of;
using testing::DemandSim;

struct TripGenRun : DemandSim {
    void read(const std::string& text) {
        s.units.put_file("trp_gen.dat", text);
        rdtrpgen(s);
    }
};

// One land-use record: number, an unused real, the rate and the shares.
std::string rates(int k, float rate, const std::vector<float>& shares) {
    std::string t = std::to_string(k) + " 0.0 " + std::to_string(rate);
    for (float v : shares) t += " " + std::to_string(v);
    return t + "\n";
}

TEST(TripGeneration, AbsentFileLeavesSynthesisOff) {
    TripGenRun r;
    r.s.landuse.step8 = 1; // from an earlier run
    r.s.landuse.ntrpslc = 3;
    r.s.landuse.trprat1(1, 1) = 2.0f;
    rdtrpgen(r.s);
    EXPECT_EQ(r.s.landuse.step8, 0);
    EXPECT_EQ(r.s.landuse.ntrpslc, 0);
    EXPECT_FLOAT_EQ(r.s.landuse.trprat1(1, 1), 0.0f);
    EXPECT_EQ(r.s.errcount.errt1, 0);
    const std::string sum = r.summary();
    EXPECT_TRUE(contains(sum, free_line(" 44. Trip Generation Rates                 ") + "\n"));
    EXPECT_TRUE(contains(sum, free_line(" - No Trip Generation file used") + "\n"));
    EXPECT_FALSE(contains(sum, " 45. Mode Split Parameters"));
}

TEST(TripGeneration, RatesAndSharesAreReadAndEchoed) {
    TripGenRun r;
    r.read("Land-use trip rates for the test district, weekday morning\n"
           "2 3 900 0.25\n" +
           rates(1, 1.5f, {0.5f, 0.3f, 0.2f}) + rates(1, 0.8f, {0.1f, 0.6f, 0.3f}) +
           rates(2, 2.0f, {0.2f, 0.2f, 0.6f}) + "2, 0, 0.4,\n  1, 0, 0\n");
    const auto& lu = r.s.landuse;
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    EXPECT_EQ(lu.step8, 1);
    EXPECT_EQ(lu.ntrplnd, 2);
    EXPECT_EQ(lu.ntrpslc, 3);
    EXPECT_EQ(lu.dtrpslc, 900);
    EXPECT_FLOAT_EQ(lu.ranfac, 0.25f);
    EXPECT_FLOAT_EQ(lu.trprat1(1, 1), 1.5f);
    EXPECT_FLOAT_EQ(lu.trprat1(1, 2), 0.8f);
    EXPECT_FLOAT_EQ(lu.trprat2(1, 2, 2), 0.6f);
    EXPECT_FLOAT_EQ(lu.trprat2(2, 1, 3), 0.6f);
    // The last record runs over two lines.
    EXPECT_FLOAT_EQ(lu.trprat1(2, 2), 0.4f);
    EXPECT_FLOAT_EQ(lu.trprat2(2, 2, 1), 1.0f);
    EXPECT_FLOAT_EQ(lu.trprat2(2, 2, 3), 0.0f);
    EXPECT_EQ(r.s.filenam.ftitle(43), "Land-use trip rates for the test district, weekday morning");

    const std::string sum = r.summary();
    for (const std::string& l :
         {free_line("     - trip genration rate file opened "),
          std::string("     - Trip Generation file: Land-use trip rates for the te"),
          free_line("     - Number of land uses     : ", 2),
          free_line("     - Number of time slices   : ", 3),
          free_line("     - Duration of time slices : ", 900),
          free_line("     - Randomness factor       : ", 0.25f), free_line("    - Land Use:", 1),
          free_line("      Trip Prod: ", 1.5f), free_line("      Time Dist: ", 0.5f, 0.3f, 0.2f),
          free_line("      Trip Attr: ", 0.8f), free_line("      Time Dist: ", 0.1f, 0.6f, 0.3f),
          free_line("    - Land Use:", 2)})
        EXPECT_TRUE(contains(sum, l + "\n")) << l << "\n" << sum;
}

TEST(TripGeneration, CountsOutsideTheTablesAreCorrected) {
    struct Case {
        const char*              name;
        int                      nland, nslices;
        int                      read_land, read_slices;
        std::vector<std::string> log;
    };
    const Case cases[] = {
        {"seven land uses",
         7,
         2,
         5,
         2,
         {free_line(" - Number of Land Uses:", 7, " exceeds maximum : ", 5),
          free_line("   Number of Land uses is set equal to ", 5)}},
        {"thirty slices",
         1,
         30,
         1,
         24,
         {free_line(" - Number of Time Slices:", 30, " exceeds maximum : ", 24),
          free_line("   Number of Time Slices set equal to ", 24)}},
        {"negative counts",
         -1,
         -2,
         0,
         0,
         {free_line(" - Number of Land Uses:", -1, " is negative and illegal "),
          free_line("   Number of Land uses is set equal to ", 0),
          free_line(" - Number of Time Slices:", -2, " is less than    : ", 0),
          free_line("   Number of Time Slices set equal to ", 0)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TripGenRun  r;
        std::string text =
            "t\n" + std::to_string(c.nland) + " " + std::to_string(c.nslices) + " 3600 0\n";
        // Every record holds 30 shares numbered by slice, so a record that took
        // more or fewer would shift the next one.
        std::vector<float> shares;
        for (int sl = 1; sl <= 30; ++sl) shares.push_back(static_cast<float>(sl) / 100.0f);
        for (int k = 1; k <= 7; ++k)
            text += rates(k, 10.0f * static_cast<float>(k), shares) +
                    rates(k, static_cast<float>(k), shares);
        r.read(text);
        const auto& lu = r.s.landuse;
        EXPECT_EQ(r.s.errcount.errt1, 0) << r.log();
        EXPECT_EQ(lu.step8, 1);
        EXPECT_EQ(lu.ntrplnd, c.read_land);
        EXPECT_EQ(lu.ntrpslc, c.read_slices);
        for (const auto& l : c.log)
            EXPECT_TRUE(contains(r.log(), l + "\n")) << l << "\n" << r.log();
        // The echo shows the counts as read.
        EXPECT_TRUE(contains(r.summary(), free_line("     - Number of land uses     : ", c.nland)));
        EXPECT_EQ(count_of(r.summary(), free_line("    - Land Use:")), c.read_land);
        if (c.read_slices > 0 && c.read_land > 0) {
            // Records are taken whole when the slice count is cut to 24.
            EXPECT_FLOAT_EQ(lu.trprat1(c.read_land, 1), 10.0f * static_cast<float>(c.read_land));
            EXPECT_FLOAT_EQ(lu.trprat2(1, 1, c.read_slices),
                            static_cast<float>(c.read_slices) / 100.0f);
        }
    }
}

TEST(TripGeneration, UnreadableRecordIsOneFatalError) {
    struct Case {
        const char* name;
        std::string text;
        int         line;
    };
    const Case cases[] = {
        {"empty file", "", 1},
        {"counts line not numbers", "t\nfive 2 3600 0\n", 2},
        {"decimal point in a count", "t\n1.0 2 3600 0\n", 2},
        {"end of file inside the counts", "t\n1 2\n", 2},
        {"production record of land use 2", "t\n2 1 3600 0\n1 0 1 1\n1 0 1 1\n2 0 x 1\n", 5},
        {"attraction record ends the file", "t\n1 2 3600 0\n1 0 1 0.5 0.5\n1 0 1 0.5\n", 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TripGenRun r;
        r.read(c.text);
        EXPECT_EQ(r.s.errcount.errt1, 1);
        EXPECT_EQ(r.s.landuse.step8, 0);
        const std::string expected = free_line(" ERROR: ") + "\n" +
                                     free_line(" Error reading in trip generation rates") + "\n" +
                                     free_line(" Error occurred on line ", c.line) + "\n";
        EXPECT_TRUE(contains(r.log(), expected)) << r.log();
    }
}

TEST(TripGeneration, RandomnessAndSliceDurationMustBeUsable) {
    struct Case {
        const char* counts;
        const char* message;
    };
    const Case cases[] = {
        {"1 1 3600 1.5", "Randomness factor of trip generation"},
        {"1 1 3600 -1.01", "Randomness factor of trip generation"},
        {"1 1 0 0.2", "Duration of time slices"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.counts);
        TripGenRun r;
        r.read(std::string("t\n") + c.counts + "\n1 0 1 1\n1 0 1 1\n");
        EXPECT_EQ(r.s.errcount.errt1, 1);
        EXPECT_EQ(r.s.landuse.step8, 0);
        EXPECT_TRUE(contains(r.log(), c.message)) << r.log();
        EXPECT_TRUE(contains(r.log(), free_line(" Error occurred on line ", 2))) << r.log();
    }
    TripGenRun edge; // the limits themselves are fine
    edge.read("t\n1 1 3600 -1\n1 0 1 1\n1 0 1 1\n");
    EXPECT_EQ(edge.s.errcount.errt1, 0) << edge.log();
    EXPECT_EQ(edge.s.landuse.step8, 1);
}

TEST(TripGeneration, NoLandUsesStillSwitchesSynthesisOn) {
    TripGenRun r;
    r.read("t\n0 4 3600 0\n");
    EXPECT_EQ(r.s.errcount.errt1, 0);
    EXPECT_EQ(r.s.landuse.step8, 1);
    EXPECT_EQ(r.s.landuse.ntrplnd, 0);
}

struct ModeSplitRun : DemandSim {
    void read(const std::string& text) {
        s.units.put_file("mod_shf.dat", text);
        rdmodshf(s);
    }
};

TEST(ModeSplitInputs, AbsentFileKeepsNeutralCoefficients) {
    ModeSplitRun r;
    r.s.modshf.modcon(2, 1) = 3.0f; // from an earlier run
    r.s.modshf.per_veh(4) = 0.5f;
    r.s.modshf.timcof = -0.1f;
    rdmodshf(r.s);
    for (int vt = 1; vt <= kClasses; ++vt) {
        for (int c = 1; c <= 3; ++c) EXPECT_FLOAT_EQ(r.s.modshf.modcon(vt, c), 0.0f);
        EXPECT_FLOAT_EQ(r.s.modshf.per_veh(vt), 1.0f);
    }
    EXPECT_FLOAT_EQ(r.s.modshf.timcof, 0.0f);
    EXPECT_EQ(r.s.errcount.errt1, 0);
    EXPECT_TRUE(contains(r.summary(), free_line(" 45. Mode Split Parameters                 ")));
    EXPECT_TRUE(contains(r.summary(), free_line(" - No Mode Coefficients used") + "\n"));
}

TEST(ModeSplitInputs, CoefficientsAreReadAndEchoed) {
    ModeSplitRun r;
    r.read("Mode choice, calibrated 2024\n"
           "0 -0.5 -1 -1.5 -2\n"
           "-0.01, -0.2\n"
           "1 0.5 0.25 1 1\n"
           "-0.001 -0.001 -0.002 -0.002 -0.003\n"
           "-0.0005 -0.0005 -0.0005 -0.0005 -0.0001\n");
    const auto& m = r.s.modshf;
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    EXPECT_FLOAT_EQ(m.modcon(4, 1), -1.5f);
    EXPECT_FLOAT_EQ(m.timcof, -0.01f);
    EXPECT_FLOAT_EQ(m.tolcof, -0.2f);
    EXPECT_FLOAT_EQ(m.per_veh(3), 0.25f);
    EXPECT_FLOAT_EQ(m.modcon(5, 2), -0.003f);
    EXPECT_FLOAT_EQ(m.modcon(5, 3), -0.0001f);
    EXPECT_EQ(r.s.filenam.ftitle(44), "Mode choice, calibrated 2024");
    const std::string sum = r.summary();
    for (const std::string& l :
         {free_line("     - mode utility data file opened "),
          std::string("     - Mode Utility file: Mode choice, calibrated 2024  "),
          free_line("     - Modal Constants    :", 0.0f, -0.5f, -1.0f, -1.5f, -2.0f),
          free_line("     - Travel Tim Coeff   :", -0.01f),
          free_line("     - Fare/Toll Coeff    :", -0.2f),
          free_line("     - Vehicles per Person:", 1.0f, 0.5f, 0.25f, 1.0f, 1.0f),
          free_line("     - Travel Time Coeff:  ", -0.001f, -0.001f, -0.002f, -0.002f, -0.003f),
          free_line("     - Schedule Delay Coef:", -0.0005f, -0.0005f, -0.0005f, -0.0005f,
                    -0.0001f)})
        EXPECT_TRUE(contains(sum, l + "\n")) << l << "\n" << sum;
}

TEST(ModeSplitInputs, UnreadableRecordIsOneFatalError) {
    for (const auto& [text, line] :
         std::vector<std::pair<std::string, int>>{{"", 1},
                                                  {"t\n0 0 0 0\n", 2},
                                                  {"t\n0 0 0 0 0\n-0.1\n", 3},
                                                  {"t\n0 0 0 0 0\n0 0\n1 1 one 1 1\n", 4}}) {
        SCOPED_TRACE(line);
        ModeSplitRun r;
        r.read(text);
        EXPECT_EQ(r.s.errcount.errt1, 1);
        EXPECT_TRUE(contains(r.log(), free_line(" ERROR: ") + "\n" +
                                          free_line(" Error occurred on line ", line) + "\n"))
            << r.log();
    }
}

} // namespace
} // namespace velm
