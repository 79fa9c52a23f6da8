#pragma once
// The sample networks of the source tree, in a working folder on disk or in
// the memory files of a run, and the console program run over one.
#include "core/model/sim.h"
#include "support/memory_run.h"
#include "support/text.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace velm::support {

inline std::filesystem::path sample_dir(const std::string& name) {
    return std::filesystem::path(VELM_SOURCE_DIR) / "samples" / name;
}

// Copies sample `name` (master file and input folder) into `dir`.
inline void copy_sample(const std::string& name, const std::filesystem::path& dir) {
    std::filesystem::copy(sample_dir(name), dir,
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
}

// Puts sample `name` into the memory files of a run: its master file under
// its own name, the working-directory inputs beside it (such as
// "accirate.dat") and its inputs under "input/".
inline void put_sample(Sim& s, const std::string& name) {
    const auto dir = sample_dir(name);
    for (const auto& f : std::filesystem::directory_iterator(dir))
        if (f.is_regular_file() && f.path().filename() != "README.md")
            s.units.put_file(f.path().filename().string(), slurp(f.path()));
    for (const auto& f : std::filesystem::directory_iterator(dir / "input"))
        s.units.put_file("input/" + f.path().filename().string(), slurp(f.path()));
}

// Sample `name`'s master file with its horizon (line 2) cut to `seconds`.
inline std::string short_master(const std::string& name, int seconds) {
    std::istringstream in(slurp(sample_dir(name) / (name + ".master")));
    std::string        out, line;
    for (int k = 1; std::getline(in, line); ++k) {
        if (k == 2)
            line = std::to_string(seconds) + line.substr(line.find_first_not_of("0123456789"));
        out += line + "\n";
    }
    return out;
}

// A fresh in-memory run of sample `name` cut to `seconds`, ready for
// velmorantis(): the master file and inputs loaded, a clock that reads 0, no
// sleeping and no external commands, so two runs give the same bytes.
inline std::unique_ptr<Sim> sample_sim(const std::string& name, int seconds) {
    auto s = memory_sim();
    s->platform.cpu_clock = [] { return 0L; };
    s->platform.sleep = [](int) {};
    s->platform.run_command = [](std::string_view) { return false; };
    put_sample(*s, name);
    s->units.put_file(name + ".master", short_master(name, seconds));
    s->master.mastfile = name + ".master";
    return s;
}

// Runs the console program in `dir` with `args`, its output in
// dir/console.txt; its exit status, -1 when it did not exit.
inline int run_console(const std::filesystem::path& dir, const std::string& args) {
    const std::string cmd =
        "cd '" + dir.string() + "' && '" VELM_CONSOLE_PROGRAM "' " + args + " > console.txt 2>&1";
    const int rc = std::system(cmd.c_str());
    return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
}

} // namespace velm::support
