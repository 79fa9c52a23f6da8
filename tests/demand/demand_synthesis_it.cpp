// A whole input phase on a two-zone district whose demand comes from land
// use: the trip-generation file switches synthesis on, the slice trees give
// the zone-to-zone times, the synthesised records replace the demand file's,
// and the departures and the class trees follow from them.
#include "core/driver/input_phase.h"
#include "demand_fixture.h"

#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace velm {
namespace {

using testing::contains;

std::string fixture(const std::string& name) {
    std::ifstream in(std::string(VELM_SOURCE_DIR) + "/tests/data/attrs/" + name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::unique_ptr<Sim> district(bool with_trip_generation) {
    auto s = support::memory_sim();
    s->units.put_file("synthesis.master", fixture("synthesis.master"));
    for (const char* f : {"nodes.dat", "links.dat", "signals.dat", "demand.dat", "incidents.dat"})
        s->units.put_file(std::string("input/") + f, fixture(f));
    if (with_trip_generation) s->units.put_file("input/trp_gen.dat", fixture("trp_gen.dat"));
    s->master.mastfile = "synthesis.master";
    return s;
}

TEST(DemandSynthesisRun, LandUseDemandIsSynthesisedAndRouted) {
    auto              s = district(true);
    const bool        completed = run_input_steps(*s, input_steps());
    const std::string log = s->units.file_text("runerr.out");
    ASSERT_TRUE(completed) << log;
    ASSERT_EQ(s->errcount.errt1, 0) << log;
    EXPECT_EQ(s->landuse.step8, 1);

    // Slice trees gave times between the zones for every slice and class.
    for (int sl = 1; sl <= 2; ++sl)
        for (int vt = 1; vt <= kClasses; ++vt) {
            EXPECT_GT(s->feedback.odtime(1, 2, vt, sl), 0) << sl << " " << vt;
            EXPECT_GT(s->feedback.odtime(2, 1, vt, sl), 0) << sl << " " << vt;
        }

    // The demand file's single record (300 veh/h over the whole run) is
    // replaced by one record per direction and slice.
    const auto& od = s->oddat;
    ASSERT_EQ(od.maodp, 4);
    for (int n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        EXPECT_NE(od.o(n), od.d(n));
        EXPECT_FLOAT_EQ(od.demend(n) - od.demstr(n), 300.0f);
        EXPECT_FLOAT_EQ(od.rand(n), 0.2f);
        EXPECT_EQ(od.vehper1(n), 1);
        EXPECT_GT(od.numod(n), 0.0f);
    }
    EXPECT_EQ(od.max_od_time, 600);
    // Homes in zone 1 and jobs in zone 2 make 1 -> 2 the heavy direction.
    EXPECT_GT(od.numod(1) / od.numod(2), 2.0f) << od.o(1) << "->" << od.d(1);

    // Departures follow the synthesised rates: trips of a slice as veh/h over
    // its 300 s, so about a twelfth of the synthesised trips.
    float expected = 0.0f;
    for (int n = 1; n <= 4; ++n) expected += od.numod(n) * 300.0f / 3600.0f;
    EXPECT_NEAR(static_cast<float>(s->set2.tdemand), expected, 0.2f * expected + 2.0f);

    const std::string sum = s->units.file_text("output/district.u10");
    // The class trees were built for the synthesised trips and checked.
    EXPECT_TRUE(contains(sum, free_line("     - Minimum Path Trees", " for Vehicle Type ", 1)))
        << sum;
    EXPECT_TRUE(contains(sum, " 44. Trip Generation Rates")) << sum;
    EXPECT_TRUE(contains(sum, free_line(" - No Mode Coefficients used"))) << sum;
    for (const char* absent :
         {"     - No Macro node Distances file used", "     - No CMS Lag Time file used",
          "       - no platoon dispersion file completed",
          "     - No Wrong Turn Probabilities Read in", "     - No LOS file specified        ",
          "     - No ATIS Messages specified        ", "     - No Link Grades specified        ",
          "     - No Pedestrian file used"})
        EXPECT_TRUE(contains(sum, free_line(absent) + "\n")) << absent;
}

TEST(DemandSynthesisRun, WithoutTripGenerationTheDemandFileStays) {
    auto s = district(false);
    ASSERT_TRUE(run_input_steps(*s, input_steps())) << s->units.file_text("runerr.out");
    EXPECT_EQ(s->landuse.step8, 0);
    EXPECT_EQ(s->oddat.maodp, 1);
    EXPECT_FLOAT_EQ(s->oddat.numod(1), 300.0f);
    const std::string sum = s->units.file_text("output/district.u10");
    EXPECT_TRUE(contains(sum, free_line(" - No Trip Generation file used") + "\n"));
    EXPECT_FALSE(contains(sum, " 45. Mode Split Parameters"));
}

} // namespace
} // namespace velm
