// What a run writes and records does not depend on whether anything draws:
// the console program (no bridge) and a drawing host give the same files and
// the same last drawn positions.
#include "core/display/graphing.h"
#include "core/driver/driver.h"
#include "core/model/step_probe.h"
#include "display/recording_bridge.h"
#include "support/samples.h"

#include <gtest/gtest.h>

namespace velm {
namespace {

constexpr int kSeconds = 300;

// Maps the display square onto a 640 x 480 view once the network is read, as
// the view set-up of a drawing host does, so the core's primitives reach the
// bridge.
class ViewSetter : public StepProbe {
  public:
    explicit ViewSetter(Sim& s) : s_(s) {}
    void step(std::string_view name) override {
        if (done_ || name != "moveveh") return;
        const auto& d = s_.set2;
        window(s_, 1, 0, 640, 0, 480, d.xmin(1), d.xmax(1), d.ymin(1), d.ymax(1));
        done_ = true;
    }

  private:
    Sim& s_;
    bool done_ = false;
};

struct Outcome {
    std::vector<std::string> files;
    std::vector<float>       positions;
};

Outcome run(bool drawing, support::RecordingBridge& fake) {
    auto       s = support::sample_sim("corridor", kSeconds);
    ViewSetter view(*s);
    if (drawing) {
        s->draw = &fake;
        s->probe = &view;
    }
    velmorantis(*s, 1);
    s->probe = nullptr;
    Outcome out;
    for (const char* f : {"runerr.out", "output/summary.out", "output/en-route.out",
                          "output/corridor.u10", "output/corridor.u11", "output/corridor.u12"})
        out.files.push_back(s->units.file_text(f));
    const auto& xq = s->vehplot.xq;
    const auto& yq = s->vehplot.yq;
    for (int v = xq.lo1(); v <= xq.hi1(); ++v) {
        out.positions.push_back(xq(v, 1));
        out.positions.push_back(yq(v, 1));
    }
    return out;
}

TEST(NullBridge, TheRunIsTheSameWhetherOrNotAnythingDraws) {
    support::RecordingBridge unused, fake;
    const Outcome            console = run(false, unused);
    const Outcome            drawn = run(true, fake);
    ASSERT_FALSE(console.files[0].empty());
    EXPECT_TRUE(unused.calls.empty());
    EXPECT_EQ(console.files, drawn.files);
    EXPECT_EQ(console.positions, drawn.positions);
    RecordProperty("bridge_calls", static_cast<int>(fake.calls.size()));
}

} // namespace
} // namespace velm
