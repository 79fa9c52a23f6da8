// External control in whole runs of the samples: the tiny sample's signal
// driven by its controller program, the corridor's speed schedule, and what a
// damaged exchange or schedule file does to a run.
#include "core/driver/driver.h"
#include "core/driver/run_control.h"
#include "core/model/sim.h"
#include "core/model/step_probe.h"
#include "support/samples.h"
#include "support/temp_dir.h"
#include "support/text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace velm {
namespace {

using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr int kSeconds = 240;
constexpr int kMainStEast = 2;  // tiny: ends at signal 1, served by phase 1
constexpr int kZoneTwoWest = 4; // tiny: ends at signal 1, served by phase 2

// Per second, once the signal states of the second are in force (the first
// tick of the second has passed its signal step), the indication of two
// links and the free speed of three.
class Recorder final : public StepProbe {
  public:
    explicit Recorder(Sim& s) : s_(s) {}
    void step(std::string_view name) override {
        if (name != "lanpos" || s_.control.t10 % 10 != 1) return;
        const int t = s_.control.t;
        indication[t] = {s_.link3.signal(kMainStEast, 1), s_.link3.signal(kZoneTwoWest, 1)};
        for (int l : {2, 4, 5}) speed[l][t] = s_.link1.spdvol(l, 7);
    }
    std::map<int, std::array<int, 2>>   indication;
    std::map<int, std::map<int, float>> speed;

  private:
    Sim& s_;
};

std::string state_file(int t) {
    char name[32];
    std::snprintf(name, sizeof name, "interact/t%07d.sig", t);
    return name;
}

// Phase and state of signal 1 in the state file of second t.
std::array<int, 2> written_state(const Sim& s, int t) {
    std::istringstream in(s.units.file_text(state_file(t)));
    double             stamp = 0, unused = 0;
    int                phase = 0, state = 0;
    in >> stamp >> unused >> phase >> state;
    return {phase, state};
}

// Runs a sample's run state with a recorder installed.
void run_recorded(Sim& s, Recorder& rec) {
    s.probe = &rec;
    velmorantis(s, 1);
    s.probe = nullptr;
}

bool green(int indication) {
    return indication >= 1 && indication <= 4;
}

TEST(TinyExternalControl, TheSignalShowsGreenExactlyWhenTheControllerSaysSo) {
    auto     s = support::sample_sim("tiny", kSeconds);
    Recorder rec(*s);
    run_recorded(*s, rec);
    ASSERT_EQ(s->errcount.errt1, 0) << s->units.file_text("runerr.out");
    ASSERT_EQ(s->atms.mitrefl(1), 1);
    ASSERT_GE(rec.indication.size(), static_cast<std::size_t>(kSeconds));
    int greens = 0, reds = 0;
    for (const auto& [t, shown] : rec.indication) {
        ASSERT_TRUE(s->units.exists(state_file(t))) << "the controller wrote no file for " << t;
        const auto [phase, state] = written_state(*s, t);
        EXPECT_EQ(green(shown[0]), phase == 1 && state == 1) << "second " << t;
        EXPECT_EQ(green(shown[1]), phase == 2 && state == 1) << "second " << t;
        greens += green(shown[0]) ? 1 : 0;
        reds += shown[0] == 0 ? 1 : 0;
    }
    // The controller's own cycle, not the plan's: both directions get their
    // turn, and its amber shows as amber.
    EXPECT_GT(greens, 0);
    EXPECT_GT(reds, 0);
    EXPECT_EQ(rec.indication.at(18)[0], 5) << "phase 1 amber";
    EXPECT_THAT(s->units.file_text("runerr.out"), Not(HasSubstr("Attempt to open")));
}

TEST(TinyExternalControl, AShortStateFileIsReportedAndTheStatesBeforeItStay) {
    auto       s = support::sample_sim("tiny", kSeconds);
    const auto hooks = s->platform.run_command;
    Sim&       sim = *s;
    // The controller's minute-one batch, with second 100's file cut empty.
    s->platform.run_command = [hooks, &sim](std::string_view command) {
        const bool ran = hooks(command);
        if (command.find("     60") != std::string_view::npos)
            sim.units.put_file(state_file(100), "");
        return ran;
    };
    Recorder rec(*s);
    run_recorded(*s, rec);
    const std::string log = s->units.file_text("runerr.out");
    EXPECT_EQ(s->errcount.errt1, 0) << log;
    EXPECT_GE(s->errcount.numerr, 1);
    EXPECT_THAT(log, ContainsRegex("ERROR 1022\n[^\n]*interact.t0000100.sig"));
    // Second 100 keeps what second 99 showed; the next file is read again.
    EXPECT_EQ(rec.indication.at(100), rec.indication.at(99));
    const auto [phase, state] = written_state(*s, 101);
    EXPECT_EQ(green(rec.indication.at(101)[0]), phase == 1 && state == 1);
    EXPECT_NE(rec.indication.at(100), rec.indication.at(101)) << "99 and 101 differ in this cycle";
    EXPECT_GE(rec.indication.rbegin()->first, kSeconds - 1) << "the run went on";
}

TEST(TinyExternalControl, ATriggerThatNeverComesEndsTheRunAsAFatalError) {
    auto s = support::sample_sim("tiny", kSeconds);
    s->units.put_file("signals.dat", "1\n");
    int sleeps = 0;
    s->platform.sleep = [&sleeps](int) { ++sleeps; };
    velmorantis(*s, 1);
    const std::string log = s->units.file_text("runerr.out");
    EXPECT_EQ(sleeps, 600);
    EXPECT_EQ(s->errcount.errt1, 1);
    EXPECT_THAT(log, ContainsRegex("ERROR 1020\n[^\n]*interact.sigtrig.trg"));
    EXPECT_THAT(log, HasSubstr("Number of errors found"));
    EXPECT_EQ(s->control.t, 0) << "the run ended in its first second";
}

TEST(TinyExternalControl, AStopWhileWaitingForTheTriggerEndsTheRunAsTheStopDoes) {
    auto s = support::sample_sim("tiny", kSeconds);
    s->units.put_file("signals.dat", "1\n");
    Sim& sim = *s;
    int  sleeps = 0;
    s->platform.sleep = [&sleeps, &sim](int) {
        if (++sleeps == 3) stop_simulation(sim);
    };
    velmorantis(*s, 1);
    const std::string log = s->units.file_text("runerr.out");
    EXPECT_EQ(sleeps, 3);
    EXPECT_EQ(s->errcount.errt1, 0);
    EXPECT_THAT(log, HasSubstr("Run stopped on request"));
    EXPECT_THAT(log, Not(HasSubstr("ERROR 1020")));
}

// The console program on disk runs the controller in the run's own folder;
// the in-memory run reads the same state files.
TEST(TinyExternalControl, OnDiskAndInMemoryRunsReadTheSameStateFiles) {
    namespace fs = std::filesystem;
    support::TempDir work;
    support::copy_sample("tiny", work.path());
    std::ofstream(work.path() / "tiny.master", std::ios::binary)
        << support::short_master("tiny", kSeconds);
    ASSERT_EQ(support::run_console(work.path(), "--master tiny.master"), 0)
        << support::slurp(work.path() / "console.txt");
    auto s = support::sample_sim("tiny", kSeconds);
    velmorantis(*s, 1);
    int compared = 0;
    for (int t = 0; t < kSeconds; ++t) {
        const fs::path on_disk = work.path() / state_file(t);
        ASSERT_TRUE(fs::exists(on_disk)) << on_disk;
        EXPECT_EQ(support::slurp(on_disk), s->units.file_text(state_file(t))) << "second " << t;
        ++compared;
    }
    EXPECT_EQ(compared, kSeconds);
    EXPECT_EQ(support::slurp(work.path() / "output" / "tiny.u10"),
              s->units.file_text("output/tiny.u10"));
}

// The tiny network laid out without an input folder: its timing plan named
// "signals.dat" beside the master file is the plan, not the external switch.
TEST(TinyExternalControl, ATimingFileNamedSignalsDatBesideTheMasterRunsItsPlan) {
    auto s = support::memory_sim();
    s->platform.sleep = [](int) {};
    s->platform.cpu_clock = [] { return 0L; };
    for (const auto& f : std::filesystem::directory_iterator(support::sample_dir("tiny") / "input"))
        s->units.put_file(f.path().filename().string(), support::slurp(f.path()));
    // Long enough for the last departures to arrive.
    std::string master = support::short_master("tiny", 1200);
    const auto  input = master.find("input\\*");
    ASSERT_NE(input, std::string::npos);
    master.replace(input, 7, "*");
    s->units.put_file("tiny.master", master);
    s->master.mastfile = "tiny.master";
    velmorantis(*s, 1);
    const std::string log = s->units.file_text("runerr.out");
    EXPECT_EQ(s->atms.mitrefl(1), 0) << log;
    EXPECT_EQ(run_status(*s), kExitCompleted) << log;
    EXPECT_GT(s->set1.tdep, 0);
    EXPECT_EQ(s->set1.tarr, s->set1.tdep) << "every trip completed";
    EXPECT_EQ(s->set1.tenr, 0);
    EXPECT_THAT(log, Not(HasSubstr("Attempt to open")));
}

// The tiny sample without its controller: no state file ever comes. Each
// such second is an error, the console says why, and the run ends with a
// status of its own.
TEST(TinyExternalControl, ARunThatNeverReadsAStateEndsWithItsOwnStatus) {
    auto        s = support::sample_sim("tiny", kSeconds);
    std::string console;
    s->units.set_console([&console](std::string_view l) {
        console.append(l);
        console.push_back('\n');
    });
    ASSERT_TRUE(s->units.remove("interact/atms1.exe"));
    velmorantis(*s, 1);
    const std::string log = s->units.file_text("runerr.out");
    EXPECT_EQ(s->errcount.errt1, 0) << log;
    EXPECT_EQ(s->atms.states_read, 0);
    EXPECT_EQ(s->atms.states_missed, kSeconds);
    EXPECT_EQ(run_status(*s), kExitNoSignalStates);
    EXPECT_EQ(kExitNoSignalStates, 5);
    EXPECT_THAT(log, ContainsRegex("Number of errors found +: +" + std::to_string(kSeconds)));
    EXPECT_THAT(log, HasSubstr("no controller state was ever read"));
    EXPECT_THAT(console, HasSubstr("No usable signal state file"));
    EXPECT_THAT(console, HasSubstr("no controller state was ever read"));
    // The console is told once, not once a second.
    EXPECT_LT(support::lines_of(console).size(), 40u) << console;
}

TEST(CorridorSpeedSchedule, TheWorkZoneAndTheVariableLimitApplyOnTime) {
    auto     s = support::sample_sim("corridor", kSeconds);
    Recorder rec(*s);
    run_recorded(*s, rec);
    ASSERT_EQ(s->errcount.errt1, 0) << s->units.file_text("runerr.out");
    const float free = 110.f;
    // Km 0-2: 80 % from 60 s to 180 s. Km 3-6 (links 4 and 5): 60 % from 120 s.
    EXPECT_FLOAT_EQ(rec.speed[2].at(59), free);
    EXPECT_FLOAT_EQ(rec.speed[2].at(60), 0.8f * free);
    EXPECT_FLOAT_EQ(rec.speed[2].at(179), 0.8f * free);
    EXPECT_FLOAT_EQ(rec.speed[2].at(180), free);
    for (int l : {4, 5}) {
        EXPECT_FLOAT_EQ(rec.speed[l].at(119), free) << "link " << l;
        EXPECT_FLOAT_EQ(rec.speed[l].at(120), 0.6f * free) << "link " << l;
        EXPECT_FLOAT_EQ(rec.speed[l].at(kSeconds - 1), 0.6f * free) << "link " << l;
    }
}

TEST(CorridorSpeedSchedule, AZeroFactorIsAFatalInputErrorAndKeepsTheEntriesBefore) {
    auto        s = support::sample_sim("corridor", kSeconds);
    std::string file = s->units.file_text("input/spd_ctrl.dat");
    const auto  at = file.find("0.80");
    ASSERT_NE(at, std::string::npos);
    file.replace(at, 4, "0.00");
    s->units.put_file("input/spd_ctrl.dat", file);
    velmorantis(*s, 1);
    const std::string log = s->units.file_text("runerr.out");
    EXPECT_EQ(s->errcount.errt1, 1);
    EXPECT_THAT(log, ContainsRegex("Error in Input File spd_ctrl.dat. Entry Number +3\n[^\n]*"
                                   "Speed factor +0\\.0* +is not above 0"));
    EXPECT_EQ(s->spd_ctrl.num_spd_ctrl, 2);
    EXPECT_THAT(log, HasSubstr("Number of errors found"));
    EXPECT_THAT(log, Not(HasSubstr("Initiating simulation logic")))
        << "the run ended before its loop";
}

} // namespace
} // namespace velm
