#pragma once
// The tiny sample network held in memory, with one of its files replaced by
// other text: the input-phase fuzz target and the tests of what it found run
// the same input phase on it.
#include "core/driver/end_of_run.h"
#include "core/driver/errors.h"
#include "core/driver/input_phase.h"
#include "core/model/sim.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

namespace velm::fuzz {

// The files an input can replace: the sample's own, then optional inputs the
// sample does not give (they switch on readers that a plain run skips).
inline constexpr std::array<std::string_view, 20> kTinyFiles = {
    "tiny.master",          "input/nodes.dat",     "input/links.dat",    "input/signals.dat",
    "input/demand.dat",     "input/incidents.dat", "input/err_chk.dat",  "input/veh_parameters.dat",
    "input/ops_gaps.dat",   "input/plt_dsp.dat",   "input/macrdist.dat", "input/cms_lag.dat",
    "input/lanechange.dat", "input/lnkgrade.dat",  "input/lnklos.dat",   "input/mxvehspd.dat",
    "input/atis_msg.dat",   "input/lanebias.dat",  "input/wrg_turn.dat", "input/subnet.dat"};

inline std::string read_text(const std::filesystem::path& p) {
    std::ifstream     f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// A run state whose files are the tiny sample's (read from `sample_dir`), in
// memory, with file `replaced` (an index into kTinyFiles, or -1 for none)
// holding `text` instead.
inline std::unique_ptr<Sim> tiny_sim(const std::filesystem::path& sample_dir, int replaced,
                                     std::string_view text) {
    auto s = std::make_unique<Sim>();
    s->units.use_memory_files();
    s->units.set_console([](std::string_view) {});
    // No external program is started and no second is slept away.
    s->platform.run_command = [](std::string_view) { return false; };
    s->platform.sleep = [](int) {};
    for (const char* f : {"tiny.master", "input/nodes.dat", "input/links.dat", "input/signals.dat",
                          "input/demand.dat", "input/incidents.dat"})
        s->units.put_file(f, read_text(sample_dir / f));
    if (replaced >= 0 && replaced < static_cast<int>(kTinyFiles.size()))
        s->units.put_file(kTinyFiles[static_cast<std::size_t>(replaced)], text);
    s->master.mastfile = "tiny.master";
    return s;
}

// The input phase of a run and its closing run summary, as a run that stops
// before the time loop ends: every file is closed afterwards. A fatal error
// that ends the process in a real run ends it here too (the summary was
// written by then).
inline void input_phase(Sim& s) {
    try {
        run_input_steps(s, input_steps());
        run_summary(s);
    } catch (const FatalRunError&) {
        s.units.close_all();
    }
}

// A fuzz input: the first byte picks the file, the rest is its text.
inline std::unique_ptr<Sim> run_fuzz_input(const std::filesystem::path& sample_dir,
                                           const std::uint8_t* data, std::size_t size) {
    const int   which = size > 0 ? data[0] % static_cast<int>(kTinyFiles.size()) : -1;
    const auto* text = reinterpret_cast<const char*>(data) + (size > 0 ? 1 : 0);
    auto        s = tiny_sim(sample_dir, which, std::string_view(text, size > 0 ? size - 1 : 0));
    input_phase(*s);
    return s;
}

} // namespace velm::fuzz
