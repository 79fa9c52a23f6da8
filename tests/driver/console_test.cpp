// The console entry: "--master", the batch list "batch.vlm", exit statuses.
#include "core/driver/driver.h"
#include "core/driver/run_control.h"
#include "driver_fixture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

namespace velm {
namespace {

struct RunRecord {
    std::string mastfile;
    int         g1;
    int         tree_threads;
    bool        traces;
};

// A console host whose runs are recorded instead of simulated; every state
// it hands out sees the same in-memory files.
struct FakeHost {
    std::string              console;
    std::string              batch; // text of "batch.vlm"; empty: no such file
    std::vector<RunRecord>   runs;
    std::vector<std::string> fatal;        // master files whose run ends with a fatal error
    std::vector<std::string> reports_lost; // ... whose run could not write a report
    std::vector<std::string> trips_lost;   // ... whose run lost a trip without a path
    std::vector<std::string> stopped;      // ... whose run was stopped at second 60
    std::vector<std::string> signalled;    // ... during whose run a stop signal came
    int                      sims = 0;     // run states created
    ConsoleHost              host;

    FakeHost() {
        host.new_sim = [this]() {
            ++sims;
            auto s = testing::memory_sim(&console);
            if (!batch.empty()) s->units.put_file("batch.vlm", batch);
            return s;
        };
        host.run = [this](Sim& s, int g1) {
            runs.push_back({s.master.mastfile, g1, s.trees.threads, s.write_traces});
            for (const auto& f : fatal)
                if (f == s.master.mastfile) s.errcount.errt1 = 1;
            for (const auto& f : reports_lost)
                if (f == s.master.mastfile) s.errcount.errt2 = 1;
            for (const auto& f : trips_lost)
                if (f == s.master.mastfile) s.set1.tmisr = 1;
            for (const auto& f : stopped)
                if (f == s.master.mastfile) s.subtim.stopped_at = 60;
            for (const auto& f : signalled)
                if (f == s.master.mastfile) {
                    note_stop_signal(SIGTERM);
                    s.subtim.stopped_at = 60;
                }
        };
    }
    int main(std::vector<std::string> args) { return velmorantis_main(args, host); }
};

TEST(ConsoleEntry, LastMasterOptionWins) {
    const std::vector<std::string> args = {"--master", "a.master", "--master", "b.master"};
    EXPECT_EQ(read_cmdl_masterfile(args), "b.master");
    FakeHost f;
    EXPECT_EQ(f.main(args), kExitCompleted);
    ASSERT_EQ(f.runs.size(), 1u);
    EXPECT_EQ(f.runs[0].mastfile, "b.master");
    EXPECT_EQ(f.runs[0].g1, 1);
    EXPECT_NE(f.console.find("[INFO] Attempting to run using master file  b.master"),
              std::string::npos);
    EXPECT_EQ(f.sims, 1); // the single run's state is the console's
}

TEST(ConsoleEntry, CommandLineNames) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, ""},
        {{"x.master"}, ""}, // a name alone is not an option
        {{"--master"}, ""}, // the option without a name
        {{"--master", "runs/one.master", "--verbose"}, "runs/one.master"},
        {{"--master  ", "padded.master"}, "padded.master"},
    };
    for (const auto& [args, name] : cases) EXPECT_EQ(read_cmdl_masterfile(args), name);
}

TEST(ConsoleEntry, TreeThreadsOptionReachesEveryRunAndBadCountsRunNothing) {
    struct Case {
        std::vector<std::string> args;
        int                      threads; // 0: refused
    };
    const Case cases[] = {
        {{}, 1},
        {{"--tree-threads", "8"}, 8},
        {{"--tree-threads", "2", "--tree-threads", "64"}, 64},
        {{"--tree-threads", "1"}, 1},
        {{"--tree-threads"}, 0},
        {{"--tree-threads", "0"}, 0},
        {{"--tree-threads", "65"}, 0},
        {{"--tree-threads", "-3"}, 0},
        {{"--tree-threads", "4x"}, 0},
        {{"--tree-threads", "99999999999"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        EXPECT_EQ(read_cmdl_tree_threads(c.args), c.threads);
        for (const bool batch : {false, true}) {
            FakeHost                 f;
            std::vector<std::string> args = c.args;
            if (batch)
                f.batch = "t\n2\na.master\nb.master\n";
            else
                args.insert(args.begin(), {"--master", "a.master"});
            const int status = f.main(args);
            if (c.threads == 0) {
                EXPECT_EQ(status, kExitNoRun);
                EXPECT_TRUE(f.runs.empty());
                EXPECT_NE(f.console.find("--tree-threads takes a whole number from 1 to"),
                          std::string::npos);
                continue;
            }
            EXPECT_EQ(status, kExitCompleted);
            ASSERT_EQ(f.runs.size(), batch ? 2u : 1u);
            for (const auto& r : f.runs) EXPECT_EQ(r.tree_threads, c.threads);
        }
    }
}

TEST(ConsoleEntry, TracesOptionReachesEveryRun) {
    for (const bool asked : {false, true}) {
        for (const bool batch : {false, true}) {
            SCOPED_TRACE(::testing::Message() << asked << batch);
            FakeHost                 f;
            std::vector<std::string> args;
            if (batch)
                f.batch = "t\n2\na.master\nb.master\n";
            else
                args = {"--master", "a.master"};
            if (asked) args.insert(args.begin(), "--traces");
            EXPECT_EQ(read_cmdl_traces(args), asked);
            EXPECT_EQ(f.main(args), kExitCompleted);
            ASSERT_EQ(f.runs.size(), batch ? 2u : 1u);
            for (const auto& r : f.runs) EXPECT_EQ(r.traces, asked);
            if (!batch) {
                EXPECT_EQ(f.runs[0].mastfile, "a.master");
            }
        }
    }
}

TEST(ConsoleEntry, NoMasterAndNoBatchListRunsNothing) {
    FakeHost f;
    EXPECT_EQ(f.main({}), kExitNoRun);
    EXPECT_TRUE(f.runs.empty());
    EXPECT_NE(f.console.find("[INFO] No master file specified in the command line. Looking for "
                             "batch.vlm file..."),
              std::string::npos);
    EXPECT_NE(f.console.find("[INFO] batch.vlm file does not exist.  Simulation will stop "),
              std::string::npos);
}

TEST(ConsoleEntry, BatchListRunsEveryNameInOrder) {
    FakeHost f;
    f.batch = "My batch\n2\nfirst.master\n'second run.master'\n";
    EXPECT_EQ(f.main({}), kExitCompleted);
    ASSERT_EQ(f.runs.size(), 2u);
    EXPECT_EQ(f.runs[0].mastfile, "first.master");
    EXPECT_EQ(f.runs[1].mastfile, "second run.master");
    EXPECT_EQ(f.runs[0].g1, 0);
    EXPECT_NE(f.console.find("[INFO] batch.vlm file exists. Running the batch simulation...."),
              std::string::npos);
    EXPECT_EQ(f.sims, 3); // the console's, then a fresh one for each run
}

TEST(ConsoleEntry, UnusableBatchListsRunNothing) {
    for (const std::string batch :
         {"title\n10001\n", "title\n0\n", "title\ntwo\n", "title\n3\na.master\nb.master\n"}) {
        SCOPED_TRACE(batch);
        FakeHost f;
        f.batch = batch;
        EXPECT_EQ(f.main({}), kExitNoRun);
        EXPECT_TRUE(f.runs.empty());
        EXPECT_NE(f.console.find("Simulation will stop"), std::string::npos);
    }
}

TEST(ConsoleEntry, ExitStatusReportsFatalRuns) {
    FakeHost f;
    f.batch = "t\n3\na.master\nb.master\nc.master\n";
    f.fatal = {"b.master"};
    EXPECT_EQ(f.main({}), kExitFatal);
    EXPECT_EQ(f.runs.size(), 3u); // a failing run does not stop the batch

    FakeHost single;
    single.fatal = {"a.master"};
    EXPECT_EQ(single.main({"--master", "a.master"}), kExitFatal);
}

// One run's status, and a batch's: the worst of its runs, fatal errors before
// a stopped run before lost reports before lost trips.
TEST(ConsoleEntry, ExitStatusOfRunsAndBatches) {
    struct Case {
        std::vector<std::string> fatal, reports_lost, trips_lost, stopped;
        int                      status;
    };
    const std::vector<Case> cases = {
        {{}, {}, {}, {}, kExitCompleted},
        {{}, {}, {"b.master"}, {}, kExitTripsLost},
        {{}, {"c.master"}, {"a.master"}, {}, kExitReportsLost},
        {{"c.master"}, {"a.master"}, {"b.master"}, {}, kExitFatal},
        {{}, {"a.master"}, {"a.master"}, {}, kExitReportsLost}, // one run, both faults
        {{}, {"a.master"}, {"b.master"}, {"c.master"}, kExitStopped},
        {{}, {}, {}, {"a.master"}, kExitStopped},
        {{"c.master"}, {}, {}, {"a.master"}, kExitFatal},
        {{}, {"a.master"}, {}, {"a.master"}, kExitStopped}, // one run, both
    };
    for (const auto& c : cases) {
        FakeHost f;
        f.batch = "t\n3\na.master\nb.master\nc.master\n";
        f.fatal = c.fatal;
        f.reports_lost = c.reports_lost;
        f.trips_lost = c.trips_lost;
        f.stopped = c.stopped;
        EXPECT_EQ(f.main({}), c.status) << "case with status " << c.status;
        EXPECT_EQ(f.runs.size(), 3u);
    }
    FakeHost single;
    single.trips_lost = {"a.master"};
    EXPECT_EQ(single.main({"--master", "a.master"}), kExitTripsLost);
}

// The stop signal is process-wide and kept once received: each case runs in a
// process of its own. The first SIGTERM or SIGINT is kept (the runs stop at
// their next tick), a second one ends the process by its default action.
TEST(ConsoleEntryDeathTest, FirstStopSignalIsKeptTheSecondEndsTheProcess) {
    struct Case {
        int first, second;
    } const cases[] = {{SIGTERM, SIGTERM}, {SIGINT, SIGINT}, {SIGTERM, SIGINT}};
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                install_stop_signals();
                std::raise(c.first);
                if (stop_signal() != c.first) std::_Exit(10);
                std::raise(c.second);
                std::_Exit(11); // not reached
            },
            ::testing::KilledBySignal(c.second), "");
    }
    EXPECT_EQ(stop_signal_name(SIGTERM), "SIGTERM");
    EXPECT_EQ(stop_signal_name(SIGINT), "SIGINT");
}

// A stop signal during a run of a batch list: that run ends as stopped and
// the rest of the list is not run.
TEST(ConsoleEntryDeathTest, StopSignalEndsTheBatchWithTheRunItStopped) {
    EXPECT_EXIT(
        {
            FakeHost f;
            f.batch = "t\n3\na.master\nb.master\nc.master\n";
            f.signalled = {"b.master"};
            const int  status = f.main({});
            const bool said = f.console.find("[INFO] Stopped by SIGTERM") != std::string::npos;
            std::_Exit(status == kExitStopped && f.runs.size() == 2 && said ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
} // namespace velm
