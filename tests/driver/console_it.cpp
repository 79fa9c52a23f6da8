// End to end: the console program on the tiny sample network and on a master
// file that does not exist, in a temporary working directory.
#include "core/driver/driver.h"
#include "driver/driver_fixture.h"
#include "support/samples.h"
#include "support/temp_dir.h"

#include "support/text.h"
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

int summary_figure(const std::string& log, const std::string& label);

class ConsoleProgram : public ::testing::Test {
  protected:
    // Runs the console program in the working folder; its exit status.
    int run(const std::string& args) { return testing::run_console(work_, args); }

    testing::TempDir dir_;
    const fs::path   work_ = dir_.path();
};

TEST_F(ConsoleProgram, TinySampleRunsThroughTheInputPhase) {
    testing::copy_sample("tiny", work_);
    EXPECT_EQ(run("--master tiny.master"), 0) << testing::slurp(work_ / "console.txt");

    const std::string log = testing::slurp(work_ / "runerr.out");
    EXPECT_NE(log.find(" A. Array dimensions : "), std::string::npos);
    EXPECT_NE(log.find("     - Opening Master file: tiny.master"), std::string::npos);
    EXPECT_NE(log.find("     - Master file title: Tiny sample network"), std::string::npos);
    EXPECT_NE(log.find("     - Seed Number is       :      123"), std::string::npos);
    EXPECT_NE(log.find("     - Input  Subdirectory  : input\\*"), std::string::npos);
    EXPECT_EQ(log.find("PROGRAM TO BE TERMINATED"), std::string::npos) << log;
    EXPECT_EQ(log.find("ERROR 10"), std::string::npos) << log;
    EXPECT_TRUE(fs::exists(work_ / "moverr.out"));

    const std::string summary = testing::slurp(work_ / "output" / "tiny.u10");
    EXPECT_EQ(summary.rfind("  === VELMORANTIS FORMATTED OUTPUT FILE ===   \n", 0), 0u);
    EXPECT_NE(summary.find("     - File:  1 is: nodes.dat"), std::string::npos);
    EXPECT_NE(summary.find("     - Complete file:   0   tiny.master"), std::string::npos);
    EXPECT_NE(summary.find(" 200. Starting Minimum Path Calculations "), std::string::npos);
}

TEST_F(ConsoleProgram, MissingMasterFileEndsWithFatalStatus) {
    EXPECT_EQ(run("--master nothere.master"), 1);
    const std::string log = testing::slurp(work_ / "runerr.out");
    EXPECT_NE(log.find("ERROR 1020"), std::string::npos);
    EXPECT_NE(log.find(">> PROGRAM TO BE TERMINATED  <<"), std::string::npos);
    EXPECT_TRUE(fs::exists(work_ / "DEFAULT.U10"));
    const std::string console = testing::slurp(work_ / "console.txt");
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
        testing::copy_sample("tiny", work_);
        fs::remove_all(work_ / "output");
        if (plain_file) std::ofstream(work_ / "output") << "not a folder\n";

        EXPECT_EQ(run("--master tiny.master"), kExitReportsLost)
            << testing::slurp(work_ / "console.txt");
        EXPECT_TRUE(fs::exists(work_ / "tiny.u10"));
        EXPECT_NE(
            testing::slurp(work_ / "tiny.u10").find(" 200. Starting Minimum Path Calculations "),
            std::string::npos);

        const std::string log = testing::slurp(work_ / "runerr.out");
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

// A report the device refuses (a full disk: /dev/full in its place) or that
// cannot be created (a folder that does not exist) is named in the run log,
// or on the console when it is the run log itself, counted among the errors,
// and the run completes with the status "some reports were not written".
TEST_F(ConsoleProgram, ReportsRefusedOrNotCreatedEndWithStatusThree) {
    ASSERT_TRUE(fs::exists("/dev/full")) << "the full-device cases need /dev/full";
    struct Case {
        const char* what;
        int         slot;       // master slot renamed (0: none)
        const char* slot_name;  // its new name
        const char* full;       // file linked to /dev/full (empty: none)
        const char* named;      // the name the run gives
        bool        on_console; // named on the console, not in the run log
    } const cases[] = {
        {"run log on a full device", 0, "", "runerr.out", "runerr.out", true},
        {"summary output on a full device", 0, "", "output/tiny.u10", "output\\tiny.u10", false},
        {"link times on a full device", 11, "tiny.u11", "output/tiny.u11", "output\\tiny.u11",
         false},
        {"listing into a folder that does not exist", 12, "nosuchdir\\x.u11", "",
         "output\\nosuchdir\\x.u11", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(work_);
        testing::copy_sample("tiny", work_);
        std::vector<std::string> master = testing::lines_of(testing::slurp(work_ / "tiny.master"));
        ASSERT_GT(master.size(), 20u);
        master[1] = "600.123  300  60  1  0"; // a listing period, so slot 12 is opened
        if (c.slot > 0) master[static_cast<std::size_t>(3 + c.slot)] = c.slot_name;
        std::ofstream out(work_ / "tiny.master");
        for (const std::string& l : master) out << l << "\n";
        out.close();
        if (*c.full) fs::create_symlink("/dev/full", work_ / c.full);

        EXPECT_EQ(run("--master tiny.master"), kExitReportsLost)
            << testing::slurp(work_ / "console.txt");
        const std::string console = testing::slurp(work_ / "console.txt");
        const std::string line = " Output file not written: " + std::string(c.named);
        if (c.on_console) { // the run log reads back as endless zeros
            EXPECT_NE(console.find(line), std::string::npos) << console;
            continue;
        }
        const std::string log = testing::slurp(work_ / "runerr.out");
        EXPECT_NE(log.find(line), std::string::npos) << log << console;
        EXPECT_GE(summary_figure(log, "     - Number of errors found      :  "), 1) << log;
        EXPECT_NE(log.find(" Run completed, but some reports were not written:"),
                  std::string::npos);
        EXPECT_EQ(log.find("PROGRAM TO BE TERMINATED"), std::string::npos) << log;
    }
}

// SIGTERM (or SIGINT) stops the console run at its next tick: the run log
// says so, the end-of-run reports are written for the second reached and say
// so, every file ends on a whole line, and the status says "stopped".
TEST_F(ConsoleProgram, StopSignalEndsTheRunAtATickWithWholeFiles) {
    for (const char* sig : {"TERM", "INT"}) {
        SCOPED_TRACE(sig);
        fs::remove_all(work_);
        testing::copy_sample("tiny", work_);
        std::vector<std::string> master = testing::lines_of(testing::slurp(work_ / "tiny.master"));
        ASSERT_GT(master.size(), 2u);
        master[1] = "86000.123  300  0  1  0"; // far longer than the test waits
        std::ofstream out(work_ / "tiny.master");
        for (const std::string& l : master) out << l << "\n";
        out.close();
        // The program runs in the background; the signal comes a few seconds
        // later, in the time loop or, on a slow machine, still in the input
        // phase (the run then stops at its first tick).
        const std::string cmd = "cd '" + work_.string() +
                                "' && { '" VELM_CONSOLE_PROGRAM
                                "' --master tiny.master > console.txt 2>&1 & pid=$!; sleep 4; "
                                "kill -" +
                                std::string(sig) + " $pid; wait $pid; echo $? > status.txt; }";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        EXPECT_EQ(std::atoi(testing::slurp(work_ / "status.txt").c_str()), kExitStopped)
            << testing::slurp(work_ / "console.txt");

        const std::string log = testing::slurp(work_ / "runerr.out");
        const std::string stop = " Run stopped by SIG" + std::string(sig) + " at simulation clock";
        const std::size_t at = log.find(stop);
        ASSERT_NE(at, std::string::npos) << log;
        const int second = std::atoi(log.c_str() + at + stop.size());
        EXPECT_GE(second, 0);
        EXPECT_LT(second, 86000);
        EXPECT_EQ(summary_figure(log, "     - Simulation clock time       :  "), second) << log;
        EXPECT_EQ(log.find("PROGRAM TO BE TERMINATED"), std::string::npos) << log;
        const std::string summary = testing::slurp(work_ / "output" / "tiny.u10");
        EXPECT_NE(summary.find(" Run stopped at simulation clock " + testing::right(second, 11)),
                  std::string::npos)
            << summary;
        EXPECT_NE(summary.find(" LINK FLOW SUMMARIES AT TIME:"), std::string::npos);
        std::vector<fs::path> written = {work_ / "runerr.out", work_ / "moverr.out"};
        for (const auto& e : fs::directory_iterator(work_ / "output")) written.push_back(e.path());
        for (const fs::path& p : written) {
            const std::string text = testing::slurp(p);
            if (!text.empty()) {
                EXPECT_EQ(text.back(), '\n') << p;
            }
        }
    }
}

TEST_F(ConsoleProgram, WithoutMasterOrBatchListNothingRuns) {
    EXPECT_EQ(run(""), 2);
    EXPECT_NE(testing::slurp(work_ / "console.txt")
                  .find("[INFO] batch.vlm file does not exist.  Simulation will stop "),
              std::string::npos);
    EXPECT_FALSE(fs::exists(work_ / "runerr.out"));
}

// The number the run summary prints after `label` on the run log; -1 when
// the line is missing.
int summary_figure(const std::string& log, const std::string& label) {
    const std::size_t at = log.find(label);
    if (at == std::string::npos) return -1;
    return std::atoi(log.c_str() + at + label.size());
}

// Every routing method a class may name either is refused by the master-file
// check (a fatal error naming the class and the method, a fatal exit status)
// or routes every trip of the tiny sample to its zone: no run loses its trips
// and still reports success.
TEST_F(ConsoleProgram, EveryRoutingMethodIsRefusedOrDeliversEveryTrip) {
    struct Case {
        const char* name;
        int         format; // master-file format code
        const char* route;  // its route-choice lines
        int         method; // the method class 1 then has
        bool        refused;
    };
    const std::string rest = "0 0 0 0 0\n0 0 0 0 0\n1 1 1 1 1\n20 20 20 20 20\n"
                             "2 2 2 2 2\n1 1 1 1 1\n0 0 0 0 0\n";
    const std::string m0 = "0 0 0 0 0\n" + rest, m5 = "5 5 5 5 5\n" + rest,
                      m8 = "8 8 8 8 8\n" + rest, m9 = "9 9 9 9 9\n" + rest,
                      m2 = "2 2 2 2 2\n" + rest, m11 = "11 11 11 11 11\n" + rest,
                      m6 = "6 6 6 6 6\n" + rest, m7 = "7 7 7 7 7\n" + rest;
    const Case cases[] = {
        {"format code 4 leaves method 0", 4, "", 0, true},
        {"method 0", 3, m0.c_str(), 0, true},
        {"negative interval gives method 1", 2, "-300 -300 -300 -300 -300\n0 0 0 0 0\n", 1, false},
        {"format 2 with interval -120 gives method 1", 2, "-120 -120 -120 -120 -120\n0 0 0 0 0\n",
         1, false},
        {"method 5", 3, m5.c_str(), 5, false},
        {"method 8", 3, m8.c_str(), 8, false},
        {"method 9", 3, m9.c_str(), 9, false},
        {"method 11", 3, m11.c_str(), 11, true},
        // The sample names no external tree file in slot 8 or 9.
        {"method 6 with slot 8 none", 3, m6.c_str(), 6, true},
        {"method 7 with slot 9 none", 3, m7.c_str(), 7, true},
        {"method 2", 3, m2.c_str(), 2, false},
    };
    // The sample's trips depart over its first 600 s; twice that lets the
    // last of them arrive.
    constexpr int     kHorizon = 1200;
    const fs::path    sample = testing::sample_dir("tiny");
    std::string       master = testing::slurp(sample / "tiny.master");
    const std::size_t line2 = master.find('\n') + 1;
    const std::size_t line3 = master.find('\n', line2) + 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(work_);
        fs::copy(sample, work_, fs::copy_options::recursive);
        std::ofstream(work_ / "tiny.master", std::ios::binary)
            << master.substr(0, line2) << kHorizon << ".123  300  0  " << c.format << "  0\n"
            << c.route << master.substr(line3);
        const int         status = run("--master tiny.master");
        const std::string log = testing::slurp(work_ / "runerr.out");
        if (c.refused) {
            EXPECT_EQ(status, 1) << log;
            EXPECT_NE(log.find(" Master File Error       110012"), std::string::npos) << log;
            EXPECT_NE(log.find(" Vehicle class           1  uses routing method" +
                               std::string(12 - std::to_string(c.method).size(), ' ') +
                               std::to_string(c.method)),
                      std::string::npos)
                << log;
            EXPECT_LE(summary_figure(log, "    - Scheduled departures        : "), 0)
                << "a refused run schedules no trip";
        } else {
            EXPECT_EQ(status, 0) << log;
            const int due = summary_figure(log, "    - Scheduled departures        : ");
            EXPECT_GT(due, 0) << log;
            EXPECT_EQ(summary_figure(log, "    - Total trips completed       : "), due) << log;
            EXPECT_EQ(summary_figure(log, "    - Trips lost without a path   : "), 0) << log;
            EXPECT_EQ(summary_figure(log, "    - Number of errors found      : "), 0) << log;
        }
    }
}

} // namespace
} // namespace velm
