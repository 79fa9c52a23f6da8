// The reports of this family in whole sample runs: the global summary's
// totals against the trips, the plume grid against the emissions of the
// vehicles drawn, recorded positions that always lie on the vehicle's own
// link, the accident-rate file of the arterial and the defaults elsewhere,
// and the files that cannot be read or created.
#include "core/driver/driver.h"
#include "core/model/sim.h"
#include "core/model/step_probe.h"

#include "support/samples.h"
#include "support/temp_dir.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

namespace velm {
namespace {

namespace fs = std::filesystem;
using support::contains;

constexpr int   kSeconds = 240;
constexpr float kLane = 0.0074f; // km

// Watches the run: every drawn vehicle's recorded point lies on the band of
// the link it is on; the HC, CO and NOx of drawn vehicles in each second.
class Watch final : public StepProbe {
  public:
    explicit Watch(Sim& s) : s_(s) {}
    void step(std::string_view name) override {
        if (pending_) book_emissions();
        if (name == "vehpos2") check_points();
        if (name == "compfuel") snapshot();
    }
    double                   drawn_mg = 0.0; // HC + CO + NOx of drawn vehicle-seconds
    int                      points_checked = 0;
    std::vector<std::string> faults;

  private:
    template <class F> void each_vehicle(F f) {
        for (int l = 1; l <= s_.link2.mlnum; ++l)
            for (int i = 1; i <= s_.link2.ntqu(l); ++i) {
                const int car = s_.vehicle.big(s_.link2.nbqu(l) + i);
                f(l, car, s_.vehindx.vehid(car));
            }
    }
    double species(int car) const {
        return 1000.0 * (static_cast<double>(s_.vehicle.envt(car, 2)) + s_.vehicle.envt(car, 3) +
                         s_.vehicle.envt(car, 4));
    }
    void snapshot() {
        before_.clear();
        each_vehicle([&](int, int car, int vid) {
            if (s_.vehplot.drawn(vid) == 1) before_.push_back({car, species(car)});
        });
        pending_ = true;
    }
    void book_emissions() {
        for (const auto& [car, mg] : before_) drawn_mg += species(car) - mg;
        pending_ = false;
    }
    void check_points() {
        each_vehicle([&](int l, int car, int vid) {
            if (s_.vehplot.drawn(vid) != 1) return;
            ++points_checked;
            const auto& g = s_.graph1;
            const float fx = g.x(s_.link1.frnode(l)), fy = g.y(s_.link1.frnode(l));
            const float tx = g.x(s_.link1.tonode(l)), ty = g.y(s_.link1.tonode(l));
            const float px = s_.vehplot.xq(vid, 1) - fx, py = s_.vehplot.yq(vid, 1) - fy;
            const float lx = tx - fx, ly = ty - fy, len = std::hypot(lx, ly);
            const float along = (px * lx + py * ly) / len; // km from the start node
            const float right = (px * ly - py * lx) / len; // km to the right of travel
            const float band = (1.0f + 7.0f + 0.5f) * kLane;
            if (!(along > -0.05f && along < len + 0.05f && right > 0.0f && right < band) &&
                faults.size() < 5)
                faults.push_back("t10=" + std::to_string(s_.control.t10) + " trip " +
                                 std::to_string(car) + " on link " + std::to_string(l) +
                                 " recorded at " + std::to_string(s_.vehplot.xq(vid, 1)) + ", " +
                                 std::to_string(s_.vehplot.yq(vid, 1)));
        });
    }

    Sim&                                s_;
    bool                                pending_ = false;
    std::vector<std::pair<int, double>> before_;
};

struct WatchedRun {
    std::unique_ptr<Sim> sim;
    Watch                watch;
    explicit WatchedRun(const std::string& sample, const std::string& acci = "")
        : sim(support::sample_sim(sample, kSeconds)), watch(*sim) {
        if (!acci.empty()) sim->units.put_file("accirate.dat", acci);
        sim->probe = &watch;
        velmorantis(*sim, 1);
        sim->probe = nullptr;
    }
    std::string file(const std::string& name) const { return sim->units.file_text(name); }
};

// The total column of row `row` of the global summary's sums.
double total_of_row(const std::string& text, int row) {
    const auto l = support::lines_of(text);
    for (std::size_t i = 0; i < l.size(); ++i)
        if (l[i] == " Total Statistics: ")
            return std::stod(l.at(i + static_cast<std::size_t>(row)).substr(3 + 5 * 14, 14));
    ADD_FAILURE() << "no sums in\n" << text;
    return -1.0;
}

class SampleReports : public ::testing::TestWithParam<std::string> {};

TEST_P(SampleReports, SummaryTotalsPlumeGridAndRecordedPointsAgreeWithTheRun) {
    WatchedRun r(GetParam());
    const Sim& s = *r.sim;
    EXPECT_EQ(s.errcount.errt1, 0);
    for (const auto& f : r.watch.faults) ADD_FAILURE() << f;
    EXPECT_GT(r.watch.points_checked, 1000);

    const std::string summary = r.file("output/summary.out");
    ASSERT_FALSE(summary.empty());
    EXPECT_EQ(support::lines_of(summary).size(), 1u + 1 + 25 + 1 + 1 + 25);
    double fuel = 0.0;
    int    trips = 0;
    for (int car = 1; car <= s.set2.tdemand; ++car)
        if (s.vehicle.dept(car) < 0.0f) {
            fuel += s.vehicle.envt(car, 1);
            ++trips;
        }
    EXPECT_GT(trips, 0);
    EXPECT_EQ(total_of_row(summary, 1), trips);
    EXPECT_NEAR(total_of_row(summary, 12), fuel, 0.006);

    double grid = 0.0;
    for (int k = 1; k <= 3; ++k)
        for (int iy = 1; iy <= 100; ++iy)
            for (int ix = 1; ix <= 100; ++ix)
                grid +=
                    static_cast<double>(s.plume.plume(ix, iy, k, 3)) + s.plume.plume(ix, iy, k, 1);
    // The power-based model of the grid gives CO2 alone: its plume stays empty.
    if (s.kzcpxm_energy.energy_model != 1) {
        EXPECT_GT(r.watch.drawn_mg, 0.0);
    }
    EXPECT_NEAR(grid, r.watch.drawn_mg, 1e-4 * r.watch.drawn_mg);
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleReports, ::testing::Values("corridor", "arterial", "grid"));

TEST(SampleFiles, ArterialReadsItsAccidentRatesCorridorRunsOnTheDefaults) {
    const struct {
        const char* sample;
        const char* message;
    } cases[] = {{"arterial", "Input of Accident Rates complete"},
                 {"corridor", "Setting default accident rates"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sample);
        auto s = support::sample_sim(c.sample, 1);
        velmorantis(*s, 1);
        const std::string u10 = s->units.file_text("output/" + std::string(c.sample) + ".u10");
        EXPECT_TRUE(contains(u10, "15. Accident Rate Analysis"));
        EXPECT_TRUE(contains(u10, c.message)) << u10;
    }
}

// A broken "accirate.dat" is named with its line and changes nothing else.
TEST(SampleFiles, ABrokenAccidentRateFileIsNamedAndTheRunIsUnchanged) {
    const std::string good = support::slurp(support::sample_dir("arterial") / "accirate.dat");
    const std::string broken = good.substr(0, good.find("Arterial gadget index"));
    WatchedRun        a("arterial", good), b("arterial", broken);
    EXPECT_TRUE(contains(b.file("runerr.out"), "810810")) << b.file("runerr.out");
    EXPECT_FALSE(contains(a.file("runerr.out"), "810810"));
    EXPECT_TRUE(contains(b.file("output/arterial.u10"), "Setting default accident rates"));
    for (const char* f : {"output/summary.out", "output/arterial.u11", "output/arterial.u12",
                          "output/en-route.out"})
        EXPECT_EQ(a.file(f), b.file(f)) << f;
}

TEST(SampleFiles, GridWritesItsPlumeFile) {
    auto s = support::sample_sim("grid", kSeconds);
    velmorantis(*s, 1);
    const auto l = support::lines_of(s->units.file_text("output/grid.u27"));
    // Header and the block at 0, then the closing header and block 0.
    ASSERT_EQ(l.size(), 2u * (4 + 4401));
    EXPECT_EQ(l[0], " Plume dispersion input profile ");
    EXPECT_EQ(l[1], "         4       100       100       300");
    EXPECT_EQ(l[4], "         0         4");
    EXPECT_EQ(l[4405], l[0]);
}

// Slot 28 in a folder that does not exist: named on the run log and the
// console, counted among the reports not written; everything else is written.
TEST(SampleFiles, AGlobalSummaryThatCannotBeCreatedIsNamedAndTheRunCompletes) {
    support::TempDir dir;
    support::copy_sample("tiny", dir.path());
    std::ofstream(dir.path() / "tiny.master", std::ios::app)
        << "none\nnone\nnone\nnone\nnone\nnone\nnone\nnone\nnodir\\global.out\nnone\nnone\nnone\n";
    EXPECT_EQ(support::run_console(dir.path(), "--master tiny.master"), kExitReportsLost);
    const std::string log = support::slurp(dir.path() / "runerr.out");
    EXPECT_EQ(support::count_of(log, "810310"), 1) << log;
    EXPECT_TRUE(contains(log, "cannot create the global summary output\\nodir\\global.out")) << log;
    EXPECT_TRUE(contains(support::slurp(dir.path() / "console.txt"), "global.out"));
    EXPECT_FALSE(fs::exists(dir.path() / "output" / "nodir"));
    EXPECT_TRUE(contains(support::slurp(dir.path() / "output" / "tiny.u10"), "15. Accident Rate"));
    EXPECT_TRUE(fs::exists(dir.path() / "output" / "en-route.out") ||
                !contains(log, "vehicles en route"));
}

} // namespace
} // namespace velm
