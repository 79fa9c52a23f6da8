#pragma once
// The sample networks of the source tree, in a working folder on disk or in
// the memory files of a run, and the console program run over one.
#include "core/model/sim.h"
#include "core/platform/platform.h"
#include "support/memory_run.h"
#include "support/temp_dir.h"
#include "support/text.h"

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
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

// Puts the network in `dir` into the memory files of a run: its master file
// `master` and the files of its "input" folder under "input/".
inline void put_network(Sim& s, const std::filesystem::path& dir, const std::string& master) {
    s.units.put_file(master, slurp(dir / master));
    for (const auto& f : std::filesystem::directory_iterator(dir / "input"))
        s.units.put_file("input/" + f.path().filename().string(), slurp(f.path()));
}

// Puts sample `name` into the memory files of a run: its network, the other
// files of its folder (such as the exchange switch "signals.dat") under their
// own names, and its exchange folder under "interact/".
inline void put_sample(Sim& s, const std::string& name) {
    namespace fs = std::filesystem;
    const auto dir = sample_dir(name);
    for (const auto& f : fs::directory_iterator(dir))
        if (f.is_regular_file()) s.units.put_file(f.path().filename().string(), slurp(f.path()));
    put_network(s, dir, name + ".master");
    if (!fs::is_directory(dir / "interact")) return;
    for (const auto& f : fs::directory_iterator(dir / "interact"))
        s.units.put_file("interact/" + f.path().filename().string(), slurp(f.path()));
}

// The command runner of an in-memory run of sample `name`: a management
// program is run for real in a scratch copy of the sample's "interact"
// folder, and every file there is then loaded into the run's memory files,
// so the run reads what the program wrote, as a run on disk does. Without
// that folder no command runs.
inline std::function<bool(std::string_view)> hook_runner(Sim& s, const std::string& name) {
    namespace fs = std::filesystem;
    const fs::path from = sample_dir(name) / "interact";
    if (!fs::is_directory(from)) return [](std::string_view) { return false; };
    auto scratch = std::make_shared<TempDir>();
    fs::copy(from, scratch->path() / "interact", fs::copy_options::recursive);
    return [scratch, &s](std::string_view command) {
        std::istringstream words{std::string(command)};
        std::string        program, args, w;
        words >> program;
        while (words >> w) args += " '" + w + "'";
        const std::string line =
            "cd '" + scratch->path().string() + "' && './" + native_path(program) + "'" + args;
        const int rc = std::system(line.c_str());
        for (const auto& f : fs::directory_iterator(scratch->path() / "interact"))
            s.units.put_file("interact/" + f.path().filename().string(), slurp(f.path()));
        return WIFEXITED(rc) && WEXITSTATUS(rc) != 127;
    };
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
// velmorantis(): the sample's files loaded, a clock that reads 0, no sleeping,
// and management programs run as hook_runner runs them, so two runs give the
// same bytes.
inline std::unique_ptr<Sim> sample_sim(const std::string& name, int seconds) {
    auto s = memory_sim();
    s->platform.cpu_clock = [] { return 0L; };
    s->platform.sleep = [](int) {};
    s->platform.run_command = hook_runner(*s, name);
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
