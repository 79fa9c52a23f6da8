// Console program: runs a master file (or the list "batch.vlm") without a
// window. Exit status 0 when every run completed, 1 after fatal errors, 2 when
// nothing could be run, 3 when a run completed but some of its output files
// could not be created or written whole, 4 when trips were lost without a
// path, 6 when SIGTERM or SIGINT stopped the run at a tick (its reports are
// written for the second reached; a second signal ends the program at once).
#include "core/driver/driver.h"
#include "core/driver/errors.h"
#include "core/driver/run_control.h"

#include <cstdio>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The message window of the console: each box is printed, its lines (ended by
// carriage returns) one per console line.
class ConsoleFrontEnd final : public velm::FrontEnd {
  public:
    void core_message(std::string_view title, std::string_view text) override {
        std::printf("\n==== %.*s ====\n", static_cast<int>(title.size()), title.data());
        std::string line;
        for (char c : text) {
            if (c == '\r') {
                std::printf("  %s\n", line.c_str());
                line.clear();
            } else {
                line.push_back(c);
            }
        }
        if (!line.empty()) std::printf("  %s\n", line.c_str());
        std::printf("\n");
        std::fflush(stdout);
    }
};

} // namespace

int main(int argc, char** argv) {
    velm::install_stop_signals();
    std::vector<std::string> args(argv + 1, argv + argc);
    ConsoleFrontEnd          fe;
    velm::ConsoleHost        host;
    host.new_sim = [&fe]() {
        auto s = std::make_unique<velm::Sim>();
        s->fe = &fe;
        return s;
    };
    try {
        return velm::velmorantis_main(args, host);
    } catch (const velm::FatalRunError&) {
        // The termination box was shown and the run's files were closed while
        // the run state unwound.
        return velm::kExitFatal;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "velmorantis: %s\n", e.what());
        return velm::kExitFatal;
    }
}
