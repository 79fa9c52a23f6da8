// The input phase of real runs (the tiny sample; a district whose demand is
// synthesised from land use): which routine each step runs, as the routines name themselves while
// they run, against the design's list. A step table whose entries call each other's routines, or a
// routine moved to another place, reads differently here.
#include "core/driver/input_phase.h"
#include "core/model/step_probe.h"
#include "driver/input_phase_design.h"
#include "fuzz/tiny_sample.h"

#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace velm {
namespace {

namespace fs = std::filesystem;

// The routines the phase runs and the profiler calls it makes, in order.
class PhaseTrace final : public StepProbe {
  public:
    void step(std::string_view name) override { seen.emplace_back(name); }
    void mark(int flag) override { seen.push_back("stim(" + std::to_string(flag) + ")"); }
    std::vector<std::string> seen;
};

// The tiny sample as it is: no conditional step runs.
std::unique_ptr<Sim> tiny() {
    return fuzz::tiny_sim(fs::path(VELM_SOURCE_DIR) / "samples" / "tiny", -1, "");
}

// A two-zone district whose trip-generation file switches demand synthesis on.
std::unique_ptr<Sim> district() {
    const fs::path dir = fs::path(VELM_SOURCE_DIR) / "tests" / "data" / "attrs";
    auto           s = support::memory_sim();
    s->units.put_file("synthesis.master", fuzz::read_text(dir / "synthesis.master"));
    for (const char* f :
         {"nodes.dat", "links.dat", "signals.dat", "demand.dat", "incidents.dat", "trp_gen.dat"})
        s->units.put_file(std::string("input/") + f, fuzz::read_text(dir / f));
    s->master.mastfile = "synthesis.master";
    return s;
}

struct RunCase {
    const char* label;
    std::unique_ptr<Sim> (*make)();
    std::vector<testing::Only> on; // the switches the run turns on
};

TEST(InputPhaseRun, RealRunsCallTheDesignsRoutinesInOrder) {
    const RunCase cases[] = {
        {"tiny sample", tiny, {}},
        {"demand synthesis", district, {testing::Only::synthesis}},
    };
    for (const RunCase& c : cases) {
        SCOPED_TRACE(c.label);
        auto       s = c.make();
        PhaseTrace trace;
        s->probe = &trace;
        const bool completed = run_input_steps(*s, input_steps());
        s->probe = nullptr;
        ASSERT_TRUE(completed) << s->units.file_text("runerr.out");
        // The switches are those the case names, no other.
        auto on = [&](testing::Only o) {
            return std::find(c.on.begin(), c.on.end(), o) != c.on.end();
        };
        ASSERT_EQ(s->landuse.step8 == 1, on(testing::Only::synthesis));
        ASSERT_EQ(s->pathnam.filuse[19] == 1, on(testing::Only::distance_listing));
        ASSERT_EQ(s->platoon.platoon_activation_flag == 1, on(testing::Only::platooning));
        ASSERT_GT(s->set2.nveh, 0); // the departures were really generated
        std::vector<std::string> want;
        for (const auto& r : testing::phase_design())
            if (r.only == testing::Only::always || on(r.only)) want.emplace_back(r.name);
        EXPECT_EQ(trace.seen, want);
    }
}

} // namespace
} // namespace velm
