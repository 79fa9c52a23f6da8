#pragma once
// A run state for the time-loop tests: files in memory with the run log open,
// a processor clock the test drives, a sleeper and a command runner that only
// record, a front end that records, and a probe that records every step the
// loop names (with the tick it ran in) and can act at a chosen step.
#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velm::testing {

// The shared in-memory run and text helpers, under the names these tests use.
using namespace velm::support;

struct Call {
    int         t10;
    std::string name;
};

class RecordingProbe : public StepProbe {
  public:
    explicit RecordingProbe(Sim& s) : s_(s) {}
    void step(std::string_view name) override {
        if (record) calls.push_back({s_.control.t10, std::string(name)});
        if (on_step) on_step(name);
    }
    // Ticks at which a step ran (once per run of the step).
    std::vector<int> ticks_of(std::string_view name, int last_t10 = 1 << 30) const {
        std::vector<int> out;
        for (const auto& c : calls)
            if (c.name == name && c.t10 <= last_t10) out.push_back(c.t10);
        return out;
    }
    // Steps of one tick, in order.
    std::vector<std::string> steps_at(int t10) const {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c.t10 == t10) out.push_back(c.name);
        return out;
    }
    std::vector<Call>                     calls;
    std::function<void(std::string_view)> on_step;
    bool                                  record = true;

  private:
    Sim& s_;
};

class RecordingFrontEnd : public FrontEnd {
  public:
    void core_message(std::string_view title, std::string_view text) override {
        titles.emplace_back(title);
        texts.emplace_back(text);
    }
    void dlg_progress_lines_nt(int                      t10, int, int, int, int, int, int, int,
                               std::span<const int, 21> symb) override {
        progress_ticks.push_back(t10);
        last_tracking = symb[11];
    }
    void                     destroy_default_progress_window() override { ++destroyed; }
    std::vector<std::string> titles, texts;
    std::vector<int>         progress_ticks;
    int                      last_tracking = -1;
    int                      destroyed = 0;
};

struct LoopRun : MemoryRun {
    RecordingProbe           probe{s};
    RecordingFrontEnd        fe;
    long                     clock = 0;      // processor clock, cs
    long                     clock_step = 0; // added at every reading
    int                      sleeps = 0;
    std::function<void()>    on_sleep;
    std::vector<std::string> commands;

    explicit LoopRun(int horizon = 0) {
        s.units.open_write(kUnitMoveLog, "moverr.out");
        s.platform.cpu_clock = [this] {
            clock += clock_step;
            return clock;
        };
        s.platform.sleep = [this](int seconds) {
            EXPECT_EQ(seconds, 1);
            ++sleeps;
            if (on_sleep) on_sleep();
        };
        s.platform.run_command = [this](std::string_view c) {
            commands.emplace_back(c);
            return true;
        };
        s.probe = &probe;
        s.fe = &fe;
        set_horizon(horizon);
    }
    void set_horizon(int seconds) {
        sim->set1.simtim1 = seconds;
        sim->set1.simtim10 = 10 * seconds;
    }
};

// Every optional step of the tick switched on.
inline void every_tick_switch_on(Sim& s) {
    s.lane_target.lane_tar_enbld = 1;
    s.nbsig.fmt_nbsig = 1;
    s.highway_spdharm.highway_spdharm_activation_flag = 1;
    s.divc.fmt_divc = 1;
    s.vehplot.timspc = 1;
}

inline std::vector<int> range_step(int first, int last, int step) {
    std::vector<int> out;
    for (int v = first; v <= last; v += step) out.push_back(v);
    return out;
}

} // namespace velm::testing
