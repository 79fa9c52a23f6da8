// The listings, traces and statistics of whole sample runs: the grid's
// periodic link, turn and tree listings of two periods, its distance trees, time-space
// records and end-of-run link file, with figures that agree with the run's
// own counters; the corridor's subnetwork crossings; and the safety and
// recorder tables filled during the run.
#include "core/driver/driver.h"
#include "core/model/sim.h"

#include "support/samples.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace velm {
namespace {

using support::lines_of;

constexpr int kGridSeconds = 300; // two output periods of 300 s: at 0 and at 300
constexpr int kGridLinks = 160;

// Whole numbers of `width` columns from column `from` of a record.
std::vector<long> fields(const std::string& rec, std::size_t from, int width, int n) {
    std::vector<long> out;
    for (int k = 0; k < n; ++k)
        out.push_back(std::stol(rec.substr(from + static_cast<std::size_t>(k * width),
                                           static_cast<std::size_t>(width))));
    return out;
}

// Indexes of the lines equal to `line`.
std::vector<std::size_t> where(const std::vector<std::string>& l, const std::string& line) {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < l.size(); ++i)
        if (l[i] == line) out.push_back(i);
    return out;
}

class GridListings : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        sim_ = support::sample_sim("grid", kGridSeconds).release();
        velmorantis(*sim_, 1);
    }
    static void TearDownTestSuite() {
        delete sim_;
        sim_ = nullptr;
    }
    static std::vector<std::string> file(const std::string& name) {
        return lines_of(sim_->units.file_text("output/" + name));
    }
    static Sim* sim_;
};
Sim* GridListings::sim_ = nullptr;

TEST_F(GridListings, LinkListingHasABlockOfEveryLinkEachPeriod) {
    ASSERT_EQ(sim_->errcount.errt1, 0);
    const auto l = file("grid.u12");
    ASSERT_GT(l.size(), 2u);
    EXPECT_EQ(l[0].rfind("Grid: 6 x 6 signalised grid", 0), 0u);
    EXPECT_EQ(l[1], "     2   300   160   160");
    const std::size_t block = kGridLinks + 1;
    ASSERT_EQ(l.size(), 2 + 2 * block);
    EXPECT_EQ(l[2], "      0      1");
    EXPECT_EQ(l[2 + block], "    300      2");
}

TEST_F(GridListings, RunLinkFileFlowsAddUpToTheLinkFlowsAndTurnsToAllDirections) {
    const auto& s = *sim_;
    const auto  l = file("grid.u11");
    ASSERT_GT(l.size(), 1u);
    EXPECT_EQ(l[0], "    300      1");
    long flowing = 0;
    for (int i = 1; i <= kGridLinks; ++i) {
        const std::string& rec = l[static_cast<std::size_t>(i)];
        ASSERT_EQ(std::stoi(rec.substr(0, 5)), i);
        const auto f = fields(rec, 11, 6, 7); // capacity, total, classes 1..5
        EXPECT_EQ(f[1], f[2] + f[3] + f[4] + f[5] + f[6]) << rec;
        EXPECT_EQ(f[1], 12L * s.link1.flow(i)) << rec; // 3600 / 300 s
        flowing += f[1] > 0 ? 1 : 0;
    }
    EXPECT_GT(flowing, 80);

    const auto at = where(l, " Turning movements by dir and veh class");
    ASSERT_EQ(at.size(), 1u);
    EXPECT_EQ(at[0], static_cast<std::size_t>(kGridLinks + 1));
    EXPECT_EQ(l[at[0] + 1], "   300   160");
    ASSERT_EQ(l.size(), at[0] + 2 + kGridLinks);
    long turning = 0;
    for (std::size_t k = at[0] + 2; k < l.size(); ++k) {
        for (int c = 0; c < 5; ++c) {
            const auto d = fields(l[k], 5 + static_cast<std::size_t>(c) * 22 + 2, 5, 4);
            EXPECT_EQ(d[3], d[0] + d[1] + d[2]) << l[k];
            turning += d[3];
        }
    }
    EXPECT_GT(turning, 0);
}

TEST_F(GridListings, TurnListingHasFlowAndTimeLinesOfEveryLinkEachPeriod) {
    const auto l = file("grid.u25");
    ASSERT_EQ(l.size(), 2 + 2 * 2 * static_cast<std::size_t>(kGridLinks));
    EXPECT_EQ(l[1], "     2   300   160   160");
    for (int p = 0; p < 2; ++p)
        for (int i = 1; i <= kGridLinks; ++i) {
            const std::size_t k = 2 + static_cast<std::size_t>(p * 2 * kGridLinks + 2 * (i - 1));
            EXPECT_EQ(fields(l[k], 0, 6, 3), (std::vector<long>{300L * p, i, 1}));
            EXPECT_EQ(fields(l[k + 1], 0, 6, 3), (std::vector<long>{300L * p, i, 2}));
        }
}

TEST_F(GridListings, TreeListingsHoldTheRebuiltClassesAndTheDistanceTrees) {
    // Classes 1 and 3 rebuild their trees (method 2; class 4 searches its own
    // paths, class 5 follows external trees): one block each period, the
    // first carrying the count of classes.
    const auto l = file("grid.u13");
    ASSERT_GT(l.size(), 2u);
    EXPECT_EQ(l[1], "      2    300     20     20     20    160    160");
    EXPECT_EQ(where(l, "       1       1       2").size(), 1u);
    EXPECT_EQ(where(l, "       2       1       2").size(), 1u);
    for (const char* tree : {"       1  ", "      11  "}) {
        int n = 0;
        for (const auto& x : l)
            n += x.size() == 24 && x[11] == '.' && x.rfind(tree, 0) == 0 ? 1 : 0;
        EXPECT_EQ(n, 2) << tree;
    }
    // Per tree: 20 origin zones and 160 links, two lines each (20 destinations).
    EXPECT_EQ(l.size(), 2 + 2 + 2 * 2 * (1 + 2 * (20 + kGridLinks)));

    const auto d = file("grid.u19");
    ASSERT_EQ(d.size(), 4 + 2 * static_cast<std::size_t>(kGridLinks));
    EXPECT_EQ(d[2], "       1       1       1");
    EXPECT_EQ(d[3], "       1  1.0000       1");
}

TEST_F(GridListings, TimeSpaceRecordsAreProbeClassThreeVehiclesEachSecond) {
    const auto& s = *sim_;
    const auto  l = file("timespac.out");
    ASSERT_GT(l.size(), 100u);
    std::set<long> seconds;
    for (const auto& rec : l) {
        ASSERT_EQ(rec.size(), 78u) << rec;
        const long t = std::stol(rec.substr(0, 8));
        const long car = std::stol(rec.substr(8, 8));
        const long lane = std::stol(rec.substr(41, 5));
        EXPECT_EQ(s.oddat.probe(static_cast<int>(car)), 3) << rec;
        EXPECT_GE(lane, 1) << rec;
        EXPECT_LE(lane, 2) << rec;
        EXPECT_LE(t, kGridSeconds);
        seconds.insert(t);
    }
    // Once the first of them is on the network, every second has its records,
    // up to the end of the run.
    ASSERT_FALSE(seconds.empty());
    EXPECT_EQ(static_cast<long>(seconds.size()), *seconds.rbegin() - *seconds.begin() + 1)
        << "seconds " << *seconds.begin() << " to " << *seconds.rbegin();
    EXPECT_EQ(*seconds.rbegin(), kGridSeconds);
    EXPECT_GT(seconds.size(), 100u);
}

TEST_F(GridListings, SafetyAndRecorderTablesFillDuringTheRun) {
    const auto& s = *sim_;
    float       conflicts = 0.0f;
    for (int b = 1; b <= kTtcBins; ++b)
        for (int k = 1; k <= kSpeedDiffBins; ++k) conflicts += s.timcol.fr_tcol(b, k);
    EXPECT_GT(conflicts, 0.0f);
    EXPECT_GT(s.timcol.tot_tcol, 0.0f);
    float squares = 0.0f;
    for (int i = 1; i <= kGridLinks; ++i)
        for (int g = 1; g <= kLinkSegments; ++g) squares += s.timcol.lin_tcol(i, g, 1);
    EXPECT_GT(squares, 0.0f);
    // Minutes 1..6 (time 0 to 300 s): vehicles on the network from minute 2 on.
    EXPECT_EQ(s.arrivals.lastmin, 6);
    for (int m = 2; m <= 6; ++m) {
        EXPECT_GT(s.arrivals.cenrt(m), 0) << m;
        EXPECT_GE(s.arrivals.cdept(m), s.arrivals.cdept(m - 1)) << m;
        EXPECT_GE(s.arrivals.carri(m), s.arrivals.carri(m - 1)) << m;
    }
    // Minute 6 is taken at 300 s before that second's vehicles move.
    EXPECT_LE(s.arrivals.carri(6), s.set1.tarr);
    EXPECT_GT(s.arrivals.carri(6), 0);
    int timed = 0;
    for (int i = 1; i <= kGridLinks; ++i) timed += s.delay.systim(i) != s.delay.fretim(i) ? 1 : 0;
    EXPECT_GT(timed, 0);
}

TEST(CorridorSubnet, CrossingsOfTheMarkedLinksAroundTheSecondOnRamp) {
    auto s = support::sample_sim("corridor", 240);
    velmorantis(*s, 1);
    ASSERT_EQ(s->errcount.errt1, 0);
    EXPECT_TRUE(support::has_line(s->units.file_text("output/corridor.u10"),
                                  "      - subnetwork file input completed "));
    const auto l = lines_of(s->units.file_text("output/subnet.out"));
    ASSERT_GT(l.size(), 10u);
    std::set<long> links;
    for (const auto& rec : l) {
        const auto f = fields(rec, 0, 8, 9);
        const int  car = static_cast<int>(f[1]);
        EXPECT_EQ(f[2], s->vehicle.norig(car)) << rec;
        EXPECT_EQ(f[4], s->vehicle.ndest(car)) << rec;
        EXPECT_EQ(f[6], s->subnet.subnetty(static_cast<int>(f[5]))) << rec;
        EXPECT_EQ(f[7], 0);
        EXPECT_EQ(f[8], 0);
        links.insert(f[5]);
    }
    EXPECT_EQ(links, (std::set<long>{5, 6, 11}));
}

} // namespace
} // namespace velm
