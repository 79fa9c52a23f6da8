#pragma once
// Small helpers of the run-driver tests: a run state with in-memory files, a
// message window that records its boxes, and line access to written files.
#include "core/model/sim.h"

#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace velm::testing {

// Records every message box the core shows.
class BoxRecorder final : public FrontEnd {
  public:
    struct Box {
        std::string title, text;
    };
    void core_message(std::string_view title, std::string_view text) override {
        boxes.push_back({std::string(title), std::string(text)});
    }
    std::vector<Box> boxes;
};

// A fresh run state whose files live in memory; console lines go to `console`
// and boxes to `fe` when given.
inline std::unique_ptr<Sim> memory_sim(std::string* console = nullptr, BoxRecorder* fe = nullptr) {
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

inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream       in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

inline bool has_line(const std::string& text, std::string_view line) {
    for (const auto& l : lines_of(text))
        if (l == line) return true;
    return false;
}

inline int count_of(const std::string& text, std::string_view part) {
    int         n = 0;
    std::size_t p = 0;
    while ((p = text.find(part, p)) != std::string::npos) {
        ++n;
        p += part.size();
    }
    return n;
}

// Right-aligned whole number in w columns (the free layout's 11, the echo's 8).
inline std::string right(long v, int w) {
    std::string t = std::to_string(v);
    return std::string(t.size() < static_cast<std::size_t>(w) ? w - t.size() : 0, ' ') + t;
}

} // namespace velm::testing
