// End to end: the console program on the tiny sample network and on a master
// file that does not exist, in a temporary working directory.
#include "driver/driver_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace velm {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& p) {
    std::ifstream     f(p, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

class ConsoleProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        work_ = fs::temp_directory_path() /
                ("velm_console_" + std::to_string(::getpid()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(work_);
        fs::create_directories(work_);
    }
    void TearDown() override { fs::remove_all(work_); }

    // Runs the console program in the working folder; its exit status.
    int run(const std::string& args) {
        const std::string cmd = "cd '" + work_.string() + "' && '" VELM_CONSOLE_PROGRAM "' " +
                                args + " > console.txt 2>&1";
        const int rc = std::system(cmd.c_str());
        return WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    }
    fs::path work_;
};

TEST_F(ConsoleProgram, TinySampleRunsThroughTheInputPhase) {
    fs::copy(fs::path(VELM_SOURCE_DIR) / "samples" / "tiny", work_, fs::copy_options::recursive);
    EXPECT_EQ(run("--master tiny.master"), 0) << read_file(work_ / "console.txt");

    const std::string log = read_file(work_ / "runerr.out");
    EXPECT_NE(log.find(" A. Array dimensions : "), std::string::npos);
    EXPECT_NE(log.find("     - Opening Master file: tiny.master"), std::string::npos);
    EXPECT_NE(log.find("     - Master file title: Tiny sample network"), std::string::npos);
    EXPECT_NE(log.find("     - Seed Number is       :      123"), std::string::npos);
    EXPECT_NE(log.find("     - Input  Subdirectory  : input\\*"), std::string::npos);
    EXPECT_EQ(log.find("PROGRAM TO BE TERMINATED"), std::string::npos) << log;
    EXPECT_EQ(log.find("ERROR 10"), std::string::npos) << log;
    EXPECT_TRUE(fs::exists(work_ / "moverr.out"));

    const std::string summary = read_file(work_ / "output" / "tiny.u10");
    EXPECT_EQ(summary.rfind("  === VELMORANTIS FORMATTED OUTPUT FILE ===   \n", 0), 0u);
    EXPECT_NE(summary.find("     - File:  1 is: nodes.dat"), std::string::npos);
    EXPECT_NE(summary.find("     - Complete file:   0   tiny.master"), std::string::npos);
    EXPECT_NE(summary.find(" 200. Starting Minimum Path Calculations "), std::string::npos);
}

TEST_F(ConsoleProgram, MissingMasterFileEndsWithFatalStatus) {
    EXPECT_EQ(run("--master nothere.master"), 1);
    const std::string log = read_file(work_ / "runerr.out");
    EXPECT_NE(log.find("ERROR 1020"), std::string::npos);
    EXPECT_NE(log.find(">> PROGRAM TO BE TERMINATED  <<"), std::string::npos);
    EXPECT_TRUE(fs::exists(work_ / "DEFAULT.U10"));
    const std::string console = read_file(work_ / "console.txt");
    EXPECT_NE(console.find("Master file on command line could not be found"), std::string::npos);
}

TEST_F(ConsoleProgram, WithoutMasterOrBatchListNothingRuns) {
    EXPECT_EQ(run(""), 2);
    EXPECT_NE(read_file(work_ / "console.txt")
                  .find("[INFO] batch.vlm file does not exist.  Simulation will stop "),
              std::string::npos);
    EXPECT_FALSE(fs::exists(work_ / "runerr.out"));
}

} // namespace
} // namespace velm
