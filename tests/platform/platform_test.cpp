#include "core/platform/platform.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace velm {
namespace {

namespace fs = std::filesystem;

std::string read_all(const fs::path& p) {
    std::ifstream     f(p);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

TEST(Platform, NativePathTurnsBackslashesIntoSlashes) {
    struct Case {
        const char* in;
        const char* out;
    } const cases[] = {
        {"interact\\atms1", "interact/atms1"},
        {"C:\\data\\", "C:/data/"},
        {"plain.dat", "plain.dat"},
        {"a/b\\c", "a/b/c"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(native_path(c.in), c.out);
}

TEST(Platform, FileExistsAndRemove) {
    const fs::path dir = fs::temp_directory_path() / ("velm_fs_" + std::to_string(::getpid()));
    fs::create_directories(dir / "interact");
    std::ofstream(dir / "interact" / "sigtrig.trg") << "1\n";
    const std::string name = dir.string() + "\\interact\\sigtrig.trg";
    EXPECT_TRUE(file_exists(name));
    EXPECT_FALSE(file_exists(dir.string() + "\\interact")); // a directory is not a file
    EXPECT_TRUE(remove_file(name));
    EXPECT_FALSE(file_exists(name));
    EXPECT_FALSE(remove_file(name));
    fs::remove_all(dir);
}

// The one test that starts real processes: a script that records its
// arguments stands in for an external management program.
TEST(Platform, RunCommandStartsTheProgramWithoutAShell) {
    const fs::path dir = fs::temp_directory_path() / ("velm_run_" + std::to_string(::getpid()));
    fs::create_directories(dir / "interact");
    const fs::path script = dir / "interact" / "atms1";
    std::ofstream(script) << "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done > \"$0.args\"\n";
    fs::permissions(script, fs::perms::owner_all);

    const std::string prog = dir.string() + "\\interact\\atms1";
    EXPECT_TRUE(run_command_line(prog + "      60 $HOME;x   "));
    // Words split at blanks, trailing blanks gone, nothing expanded.
    EXPECT_EQ(read_all(dir / "interact" / "atms1.args"), "[60]\n[$HOME;x]\n");

    EXPECT_FALSE(run_command_line(dir.string() + "\\interact\\missing 1"));
    EXPECT_FALSE(run_command_line("    "));

    std::ofstream(dir / "interact" / "sigtrig.trg") << "1\n";
    EXPECT_TRUE(run_command_line("ERASE " + dir.string() + "\\interact\\sigtrig.trg"));
    EXPECT_FALSE(fs::exists(dir / "interact" / "sigtrig.trg"));
    fs::remove_all(dir);
}

TEST(Platform, CpuClockCountsProcessTimeInCentiseconds) {
    // Busy work of 50 ms of processor time by the C library's clock is 5 cs.
    const long      t0 = cpu_time_cs();
    const clock_t   c0 = std::clock();
    volatile double x = 0;
    while (std::clock() - c0 < CLOCKS_PER_SEC / 20) x = x + 1.0;
    const long cs = cpu_time_cs() - t0;
    EXPECT_GE(cs, 4);
    EXPECT_LE(cs, 7);
}

TEST(Platform, RunClockCountsElapsedCentiseconds) {
    const long t0 = run_clock_cs();
    EXPECT_GE(t0, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    const long cs = run_clock_cs() - t0;
    EXPECT_GE(cs, 5);
    EXPECT_LE(cs, 100); // a loaded machine may hold the thread back a while
}

} // namespace
} // namespace velm
