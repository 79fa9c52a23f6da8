// The sample network's master file through the numbered-file chain, then the
// departure list, in memory.
#include "core/demand/demand.h"
#include "core/driver/driver.h"
#include "demand_fixture.h"
#include "support/memory_run.h"
#include "support/samples.h"

#include <gtest/gtest.h>

namespace velm {
namespace {

using testing::contains;

std::unique_ptr<Sim> sample_run() {
    auto s = support::logged_sim();
    support::put_sample(*s, "tiny");
    s->master.mastfile = "tiny.master";
    readdata(*s);
    return s;
}

TEST(DemandInput, SampleRunsThroughTheNumberedFiles) {
    auto s = sample_run();
    ASSERT_EQ(s->errcount.errt1, 0) << s->units.file_text("runerr.out");
    EXPECT_EQ(s->errcount.numerr, 0) << s->units.file_text("runerr.out");
    const std::string sum = s->units.file_text("output/tiny.u10");
    for (int slot = 0; slot <= 7; ++slot) {
        const std::string line = "     - Complete file: " + fmt_i(slot, 3) + "   ";
        EXPECT_TRUE(contains(sum, line)) << "slot " << slot << "\n" << sum;
    }
    EXPECT_TRUE(contains(sum, "  6. Average link flows and travel times:\n"));
    EXPECT_TRUE(contains(sum, "  7. Read Expected Future Travel Costs on Links:\n"));
    EXPECT_TRUE(contains(sum, "     - Total number of vehicles=           50\n")) << sum;
    EXPECT_EQ(s->pathnam.filuse[4], 1);
    EXPECT_EQ(s->pathnam.filuse[6], 0);
    EXPECT_EQ(s->link5.ng_flag, 0);
    EXPECT_EQ(s->oddat.treereq(2, 1), 1);
}

// The same master file gives the same departures, byte for byte.
TEST(DemandInput, SampleDeparturesAreReproducible) {
    std::string listing[2];
    for (auto& l : listing) {
        auto s = sample_run();
        ASSERT_EQ(s->errcount.errt1, 0);
        s->filenam.files(24) = "departures.out";
        genod(*s);
        EXPECT_EQ(s->set2.tdemand, 50);
        l = s->units.file_text("output/departures.out");
    }
    EXPECT_TRUE(contains(listing[0], "      50       1       2 1   594.0\n")) << listing[0];
    EXPECT_EQ(listing[0], listing[1]);
}

} // namespace
} // namespace velm
