// A stop request from the window thread during a real run of the tiny sample:
// the loop ends at the next tick and the run ends through its run summary,
// with the vehicles still en route listed and every file closed.
#include "driver/driver_fixture.h"
#include "support/samples.h"

#include "core/driver/driver.h"
#include "core/driver/run_control.h"
#include "core/io/writers.h"
#include "core/model/step_probe.h"

#include "support/text.h"
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace velm {
namespace {

namespace fs = std::filesystem;

// Records the ticks of the steps the run names and asks the run to stop, from
// another thread, at the speed step of one tick.
class StopAt final : public StepProbe {
  public:
    StopAt(Sim& s, int t10) : s_(s), t10_(t10) {}
    void step(std::string_view name) override {
        const int t10 = s_.control.t10;
        if (name == "moveveh") last_moveveh = t10;
        if (name == "globsum" || name == "linksum" || name == "destroy_default_progress_window")
            reports.emplace_back(name);
        if (name == "vehpos1" && t10 == t10_) {
            on_network = s_.set1.tenr;
            std::thread window([this] { stop_simulation(s_); });
            window.join();
        }
    }
    int                      last_moveveh = -1;
    int                      on_network = -1;
    std::vector<std::string> reports;

  private:
    Sim& s_;
    int  t10_;
};

TEST(StopRequest, RunOfTheTinySampleEndsAtTheNextTickThroughItsRunSummary) {
    constexpr int        kStopTick = 2403;                   // 240.3 s: vehicles on the network
    constexpr int        kStopSecond = (kStopTick + 1) / 10; // clock of the next tick
    testing::BoxRecorder boxes;
    std::unique_ptr<Sim> s = testing::memory_sim(nullptr, &boxes);
    s->platform.cpu_clock = [] { return 0L; };
    s->platform.sleep = [](int) {};
    testing::put_sample(*s, "tiny");
    // The sample's external signal controller runs as in a run on disk.
    s->platform.run_command = testing::hook_runner(*s, "tiny");
    StopAt probe(*s, kStopTick);
    s->probe = &probe;
    s->master.mastfile = "tiny.master";
    velmorantis(*s, 1);
    s->probe = nullptr;

    ASSERT_GT(probe.on_network, 0) << "no vehicle on the network when the stop was asked";
    EXPECT_EQ(probe.last_moveveh, kStopTick); // the next tick moved nothing
    // The end-of-run reports are written for the second reached.
    EXPECT_EQ(probe.reports,
              (std::vector<std::string>{"destroy_default_progress_window", "linksum", "globsum"}));
    EXPECT_EQ(s->errcount.errt1, 0);
    EXPECT_EQ(s->subtim.stopped_at, kStopSecond);
    EXPECT_EQ(run_status(*s), kExitStopped);
    EXPECT_TRUE(boxes.boxes.empty()); // no termination box
    const std::string summary = s->units.file_text("output/tiny.u10");
    const std::string note = free_line(" Run stopped at simulation clock", kStopSecond, "s of", 600,
                                       "s: the summaries below cover the run up to that second");
    EXPECT_TRUE(testing::has_line(summary, note)) << summary;
    EXPECT_LT(summary.find(note), summary.find(" LINK FLOW SUMMARIES AT TIME:")) << summary;
    const std::string global = s->units.file_text("output/summary.out");
    EXPECT_TRUE(
        testing::has_line(global, free_line("Run stopped at simulation clock", kStopSecond, "s of",
                                            600, "s: trips completed up to that second")))
        << global;

    // The run log: the stop line, then the run summary at 240 s as its last lines.
    const std::string              log = s->units.file_text("runerr.out");
    const std::vector<std::string> lines = testing::lines_of(log);
    ASSERT_GE(lines.size(), 14u);
    const auto at = [&](std::size_t from_end) { return lines[lines.size() - from_end]; };
    EXPECT_TRUE(testing::has_line(
        log, free_line(" Run stopped on request at simulation clock", kStopSecond)))
        << log;
    EXPECT_EQ(at(14), free_line(" D. Simulation summary statistics: "));
    EXPECT_EQ(at(12), free_line("    - Simulation clock time       : ", kStopSecond));
    EXPECT_EQ(at(9), free_line("    - Number of errors found      : ", 0));
    const int tenr = s->set1.tenr;
    EXPECT_EQ(at(5), free_line("    - Current vehicles en-route   : ", tenr));
    EXPECT_EQ(at(1), free_line(std::string(36, ' ')));
    EXPECT_EQ(log.back(), '\n');

    // Every vehicle still on the network is listed, one line each.
    const std::vector<std::string> en_route =
        testing::lines_of(s->units.file_text("output/en-route.out"));
    ASSERT_EQ(en_route.size(), static_cast<std::size_t>(tenr) + 2);
    EXPECT_EQ(en_route[0], "  Report of vehicles en-route at end of simulation");

    // Every file is closed; the console stays.
    for (int unit = 1; unit <= 100; ++unit)
        EXPECT_EQ(s->units.is_open(unit), unit == kUnitConsole) << unit;
}

} // namespace
} // namespace velm
