#pragma once
// A run state whose files live in memory, for the tests that drive the core
// routines directly: console lines dropped (or kept), the run log and the
// summary output open on their units, and line access to what they hold.
#include "core/io/units.h"
#include "core/io/writers.h"
#include "core/model/sim.h"
#include "support/text.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace velm::support {

// Records every message box the core shows.
class BoxRecorder : public FrontEnd {
  public:
    struct Box {
        std::string title, text;
    };
    void core_message(std::string_view title, std::string_view text) override {
        boxes.push_back({std::string(title), std::string(text)});
    }
    std::vector<Box> boxes;
};

// A fresh run state whose files live in memory and whose units are all
// closed; console lines go to `console` and boxes to `fe` when given.
inline std::unique_ptr<Sim> memory_sim(std::string* console = nullptr, FrontEnd* fe = nullptr) {
    auto s = std::make_unique<Sim>();
    s->units.use_memory_files();
    if (console)
        s->units.set_console([console](std::string_view t) {
            console->append(t);
            console->push_back('\n');
        });
    else
        s->units.set_console([](std::string_view) {});
    s->fe = fe;
    return s;
}

// The files a run opens before its readers start.
enum class Opened { run_log, run_log_and_summary };

// memory_sim() with the run log ("runerr.out") open, and the summary output
// ("summary.out") when asked.
inline std::unique_ptr<Sim> logged_sim(Opened open = Opened::run_log) {
    auto s = memory_sim();
    s->units.open_write(kUnitRunLog, "runerr.out");
    if (open == Opened::run_log_and_summary) s->units.open_write(kUnitSummary, "summary.out");
    return s;
}

struct MemoryRun {
    std::unique_ptr<Sim> sim;
    Sim&                 s;

    explicit MemoryRun(Opened open = Opened::run_log_and_summary)
        : sim(logged_sim(open)), s(*sim) {}

    std::string log() const { return s.units.file_text("runerr.out"); }
    std::string summary() const { return s.units.file_text("summary.out"); }

    // The codes of the "Input File k  Error" lines of the run log, in order.
    std::vector<int> codes(int slot) const {
        std::vector<int>  out;
        const std::string tag = "Input File " + std::to_string(slot) + "  Error";
        for (const auto& line : lines_of(log())) {
            const auto at = line.find(tag);
            if (at == std::string::npos || at > 2) continue;
            out.push_back(std::stoi(line.substr(at + tag.size())));
        }
        return out;
    }
};

} // namespace velm::support
