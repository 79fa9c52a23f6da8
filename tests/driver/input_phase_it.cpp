// The input phase of a real run of the tiny sample: which routine each step
// runs, as the routines name themselves while they run, against the design's
// list. A step table whose entries call each other's routines, or a routine
// moved to another place, reads differently here.
#include "core/driver/input_phase.h"
#include "core/model/step_probe.h"
#include "driver/input_phase_design.h"
#include "fuzz/tiny_sample.h"

#include <gtest/gtest.h>

#include <filesystem>
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

TEST(InputPhaseRun, TinySampleRunsTheDesignsRoutinesInOrder) {
    auto       s = fuzz::tiny_sim(fs::path(VELM_SOURCE_DIR) / "samples" / "tiny", -1, "");
    PhaseTrace trace;
    s->probe = &trace;
    const bool completed = run_input_steps(*s, input_steps());
    s->probe = nullptr;
    ASSERT_TRUE(completed) << s->units.file_text("runerr.out");
    // The sample switches none of the conditional steps on.
    ASSERT_NE(s->landuse.step8, 1);
    ASSERT_NE(s->pathnam.filuse[19], 1);
    ASSERT_NE(s->platoon.platoon_activation_flag, 1);
    ASSERT_GT(s->set2.nveh, 0); // the departures were really generated
    EXPECT_EQ(trace.seen, testing::plain_phase());
}

} // namespace
} // namespace velm
