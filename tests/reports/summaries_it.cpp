// The end-of-run summaries of whole sample runs agree with the run's own
// counters: trips completed, link flows, and the reports in their order.
#include "core/driver/driver.h"
#include "core/model/sim.h"

#include "support/samples.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace velm {
namespace {

using support::contains;
using support::count_of;
using support::lines_of;

constexpr int kSeconds = 240;

// Where `part` first stands at or after `from` (npos when not).
std::size_t at(const std::string& text, const std::string& part, std::size_t from = 0) {
    return text.find(part, from);
}

// The count that ends a free-format closing line of the trip summary.
long closing_count(const std::string& text, const std::string& label) {
    for (const auto& l : lines_of(text))
        if (l.rfind(" " + label, 0) == 0) return std::stol(l.substr(label.size() + 1));
    ADD_FAILURE() << "no line " << label;
    return -1;
}

TEST(SampleSummaries, ArterialSummariesAgreeWithTheRunCounters) {
    auto s = support::sample_sim("arterial", kSeconds);
    velmorantis(*s, 1);
    ASSERT_EQ(s->errcount.errt1, 0);
    const std::string out = s->units.file_text("output/arterial.u10");
    const int         tarr = s->set1.tarr;
    ASSERT_GT(tarr, 0);

    // The periodic report at time 0 comes before the end of run; then the
    // link, level-of-service and trip summaries in that order.
    const auto first_los = at(out, " LOS SUMMARIES AT TIME:     0 minutes");
    const auto links = at(out, " LINK FLOW SUMMARIES AT TIME:    4. minutes");
    const auto last_los = at(out, " LOS SUMMARIES AT TIME:     4 minutes");
    const auto trips = at(out, " AVERAGE/TOTAL O-D TRIP TIMES/DISTANCES BY VEHICLE TYPE");
    ASSERT_NE(first_los, std::string::npos) << out;
    ASSERT_NE(links, std::string::npos) << out;
    ASSERT_NE(last_los, std::string::npos) << out;
    ASSERT_NE(trips, std::string::npos) << out;
    EXPECT_LT(first_los, links);
    EXPECT_LT(links, last_los);
    EXPECT_LT(last_los, trips);
    EXPECT_EQ(count_of(out, " LOS SUMMARIES AT TIME:"), 2);
    // Five junctions graded in each report.
    EXPECT_EQ(count_of(out, "         2         4      "), 10) << out.substr(first_los);

    EXPECT_EQ(closing_count(out, " Vehicles that completed trip  = "), tarr);
    EXPECT_EQ(closing_count(out, " Total demand to enter network = "), s->set2.tdemand);

    // The all-class rows' arrivals add up to the trips completed.
    long       arrived = 0;
    bool       in = false;
    const auto all = at(out, " AVERAGE/TOTAL O-D TRIP TIMES/DISTANCES FOR ALL VEHICLE CLASSES");
    ASSERT_NE(all, std::string::npos);
    for (const auto& l : lines_of(out.substr(all))) {
        if (l.rfind(" - All Vehicle Classes", 0) == 0) break;
        if (in) {
            std::istringstream row(l);
            long               o = 0, d = 0, dep = 0, arr = 0;
            ASSERT_TRUE(row >> o >> d >> dep >> arr) << l;
            arrived += arr;
        }
        if (l == std::string(79, '=')) in = true;
    }
    EXPECT_EQ(arrived, tarr);

    // The link lines' flows add up to the flows of the listed links.
    long listed = 0, shown = 0;
    for (int l = 1; l <= s->link2.mlnum; ++l)
        if (s->link4.io12(l) == 1 && s->link4.llength(l) >= 0.0f) listed += s->link1.flow(l);
    in = false;
    for (const auto& l : lines_of(out.substr(links))) {
        if (l == "  ") break;
        if (in) shown += std::stol(l.substr(55, 8));
        if (l == std::string(123, '=')) in = true;
    }
    EXPECT_GT(listed, 0);
    EXPECT_EQ(shown, listed);
    EXPECT_EQ(count_of(out, "SUMMARY OF NETWORK INCIDENTS"), 0);
}

// The grid's incident has started within the shortened run and is listed.
TEST(SampleSummaries, GridListsItsIncident) {
    auto s = support::sample_sim("grid", kSeconds);
    velmorantis(*s, 1);
    ASSERT_EQ(s->errcount.errt1, 0);
    const std::string out = s->units.file_text("output/grid.u10");
    EXPECT_LT(s->incident.stinc(1), kSeconds);
    const auto inc = at(out, "       SUMMARY OF NETWORK INCIDENTS ");
    ASSERT_NE(inc, std::string::npos) << out;
    // Link 64 runs from node 1015 to node 1016; lane 1 is closed.
    EXPECT_TRUE(contains(out.substr(inc), " INCIDENT  1 on link   64   from 1015 to 1016"))
        << out.substr(inc);
    EXPECT_TRUE(contains(out.substr(inc), " Lane Losses:  1.000 0.000")) << out.substr(inc);
}

} // namespace
} // namespace velm
