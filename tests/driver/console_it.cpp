// End to end: the console program on the tiny sample network and on a master
// file that does not exist, in a temporary working directory.
#include "core/driver/driver.h"
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

// The output folder missing, or a plain file in its place: the summary output
// falls back to the working directory and the run completes, but every output
// file not created where asked is named, counted and ends the run with the
// status "completed, but some reports were not written".
TEST_F(ConsoleProgram, OutputFolderUnusableCountsEveryReportNotWritten) {
    for (const bool plain_file : {false, true}) {
        SCOPED_TRACE(plain_file ? "a plain file in place of the folder" : "no output folder");
        fs::remove_all(work_);
        fs::copy(fs::path(VELM_SOURCE_DIR) / "samples" / "tiny", work_,
                 fs::copy_options::recursive);
        fs::remove_all(work_ / "output");
        if (plain_file) std::ofstream(work_ / "output") << "not a folder\n";

        EXPECT_EQ(run("--master tiny.master"), kExitReportsLost)
            << read_file(work_ / "console.txt");
        EXPECT_TRUE(fs::exists(work_ / "tiny.u10"));
        EXPECT_NE(read_file(work_ / "tiny.u10").find(" 200. Starting Minimum Path Calculations "),
                  std::string::npos);

        const std::string log = read_file(work_ / "runerr.out");
        const int         lost = testing::count_of(log, " Output file not written: ");
        EXPECT_GE(lost, 1) << log;
        EXPECT_NE(log.find(" Output file not written: output\\tiny.u10"), std::string::npos) << log;
        EXPECT_NE(log.find("     - Number of errors found      :  " + testing::right(lost, 11)),
                  std::string::npos)
            << log;
        EXPECT_NE(log.find(" Run completed, but some reports were not written:"),
                  std::string::npos);
        EXPECT_EQ(log.find("PROGRAM TO BE TERMINATED"), std::string::npos) << log;
    }
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
