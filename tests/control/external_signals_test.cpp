// External control: what the run finds at start, the signal states read from
// the controller's files once a second, the trigger the controller may be
// waited for, and the management programs run every minute.
#include "core/control/control.h"
#include "core/driver/per_second.h"
#include "support/memory_run.h"
#include "support/text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace velm {
namespace {

using support::MemoryRun;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

// Two signals. Links 1 and 2 end at signal 1: link 1 is served by phase 1
// (slot 1), link 2 by phase 1 (slot 2) and phase 2 (slot 3). Link 3 ends at
// signal 2, phase 1. The tick calls prepsignal and setsignal2 as the time
// loop does in external mode; sleeps and commands are recorded.
struct ExternalRun : MemoryRun {
    std::vector<int>         sleeps;
    std::vector<std::string> commands;

    ExternalRun() {
        auto& sg = s.signal;
        sg.nsignals = sg.msignal = 2;
        for (int n = 1; n <= 2; ++n) sg.phases(n) = 2;
        link(1, 1, {{1, 1}});
        link(2, 1, {{2, 1}, {3, 2}});
        link(3, 2, {{1, 1}});
        s.atms.mitrefl(1) = 1;
        s.platform.sleep = [this](int sec) { sleeps.push_back(sec); };
        s.platform.run_command = [this](std::string_view c) {
            commands.emplace_back(c);
            return true;
        };
    }
    void link(int l, int sig, std::initializer_list<std::array<int, 2>> slots) {
        s.link4.llength(l) = 0.3f;
        s.link3.tsignal(l) = sig;
        for (const auto& [k, ph] : slots) {
            s.link3.phase(l, k, 1) = ph;
            s.link3.phase(l, k, 2) = 111;
            s.link3.phase(l, k, 3) = 11111;
        }
        s.link2.mlnum = std::max(s.link2.mlnum, l);
    }
    void tick(int t10) {
        s.control.t10 = t10;
        s.control.t = t10 / 10;
        if (t10 % 10 == 1) {
            prepsignal(s);
            setsignal2(s);
        }
    }
    std::array<int, 3> shown() const {
        return {s.link3.signal(1, 1), s.link3.signal(2, 1), s.link3.signal(3, 1)};
    }
    void put(const std::string& name, const std::string& text) { s.units.put_file(name, text); }
};

using Shown = std::array<int, 3>;

TEST(ExternalControl, PresenceOfProgramsAndExchangeFiles) {
    struct Case {
        const char*              what;
        std::vector<std::string> files;
        std::string              switch_text; // "signals.dat" in the working folder
        std::array<int, 5>       atmsfl;
        std::array<int, 2>       mitrefl;
        const char*              log; // a run-log line expected ("" none)
    } const cases[] = {
        {"programs 2 and 5",
         {"interact/atms2.exe", "interact/atms5.exe"},
         "",
         {0, 1, 0, 0, 1},
         {0, 0},
         ""},
        {"a program without .exe is not one", {"interact/atms3"}, "", {0, 0, 0, 0, 0}, {0, 0}, ""},
        {"signals.dat holding 0",
         {},
         "0\n",
         {0, 0, 0, 0, 0},
         {1, 0},
         " fl1=1 - program using signals.dat"},
        {"signals.dat holding 1",
         {},
         "1\n",
         {0, 0, 0, 0, 0},
         {1, 1},
         " fl2=1 - program using sigtrig.trg"},
        {"only the signal-timing file of the input folder",
         {"input/signals.dat"},
         "",
         {0, 0, 0, 0, 0},
         {0, 0},
         ""},
        {"signals.dat without a number",
         {},
         "yes\n",
         {0, 0, 0, 0, 0},
         {1, 0},
         "signals.dat holds no whole number"},
    };
    for (const auto& c : cases) {
        ExternalRun run;
        run.s.atms.mitrefl(1) = 7; // chkatms decides, whatever was there
        for (const auto& f : c.files) run.put(f, "#!/bin/sh\n");
        if (!c.switch_text.empty()) run.put("signals.dat", c.switch_text);
        chkatms(run.s);
        for (int k = 1; k <= 5; ++k)
            EXPECT_EQ(run.s.atms.atmsfl(k), c.atmsfl[static_cast<std::size_t>(k - 1)])
                << c.what << " program " << k;
        EXPECT_EQ(run.s.atms.mitrefl(1), c.mitrefl[0]) << c.what;
        EXPECT_EQ(run.s.atms.mitrefl(2), c.mitrefl[1]) << c.what;
        EXPECT_EQ(run.s.errcount.errt1, 0) << c.what;
        if (*c.log != '\0') {
            EXPECT_THAT(run.log(), HasSubstr(c.log)) << c.what;
        }
        if (c.mitrefl[0] == 0) {
            EXPECT_EQ(run.log(), "") << c.what;
        }
        // One presence line per program in the summary output.
        const auto lines = support::lines_of(run.summary());
        ASSERT_GE(lines.size(), 7u) << c.what;
        EXPECT_THAT(lines[1], HasSubstr("102. Checking for presence of ATMS 1-5"));
        for (int k = 1; k <= 5; ++k) {
            const std::string name = "interact\\atms" + std::to_string(k) + ".exe";
            const bool        found = c.atmsfl[static_cast<std::size_t>(k - 1)] == 1;
            EXPECT_EQ(lines[static_cast<std::size_t>(1 + k)],
                      "      - " + name + std::string(40 - name.size(), ' ') +
                          (found ? " found " : " not found "))
                << c.what;
        }
    }
}

// The master file may keep its timing plan as "signals.dat" beside it (no
// input folder): that file is the plan, not the switch to external states.
TEST(ExternalControl, TheSignalTimingFileIsNeverTheSwitch) {
    struct Case {
        const char* what;
        const char* path1; // the input folder prefix of the master file
        const char* slot3; // the signal-timing file it names
        int         mitrefl1;
    } const cases[] = {
        {"timing file signals.dat beside the master file", "", "signals.dat", 0},
        {"the same file through a dotted folder", "./", "signals.dat", 0},
        {"timing file in the input folder", "input/", "signals.dat", 1},
        {"timing file of another name", "", "plan.dat", 1},
    };
    for (const auto& c : cases) {
        ExternalRun run;
        run.put("signals.dat", "0\n");
        run.s.filenam.path1 = c.path1;
        run.s.pathnam.lpath[1] = static_cast<int>(std::string(c.path1).size());
        run.s.filenam.files(3) = c.slot3;
        chkatms(run.s);
        EXPECT_EQ(run.s.atms.mitrefl(1), c.mitrefl1) << c.what;
        if (c.mitrefl1 == 0) {
            EXPECT_THAT(run.log(), HasSubstr("signals.dat is the signal-timing file")) << c.what;
        }
    }
}

// A phase the signal does not have or a state that is not green, amber or
// red is named with its file, line and value; the states of the second
// before stay and the second counts as an error.
TEST(ExternalControl, StatesOutsideTheirRangeAreNamedAndNotUsed) {
    struct Case {
        const char* what;
        const char* file; // second 1's file; second 0 showed phase 1 green on both
        const char* named;
    } const cases[] = {
        {"negative phase", "1 0 2 1\n1 0 -5 1\n", "line +2 +signal +2 +phase +-5"},
        {"state 99", "1 0 2 99\n1 0 1 1\n", "line +1 +signal +1 +state +99"},
        {"largest whole number", "1 0 2147483647 1\n1 0 1 1\n",
         "line +1 +signal +1 +phase +2147483647"},
        {"phase beyond the plan", "1 0 3 1\n1 0 1 1\n", "line +1 +signal +1 +phase +3"},
        {"state 0", "1 0 2 1\n1 0 1 0\n", "line +2 +signal +2 +state +0"},
    };
    for (const auto& c : cases) {
        ExternalRun run;
        run.put("interact/t0000000.sig", "0 0 1 1\n0 0 1 1\n");
        run.put("interact/t0000001.sig", c.file);
        run.tick(1);
        run.tick(11);
        EXPECT_EQ(run.shown(), (Shown{1, 2, 1})) << c.what << ": the states before stay";
        EXPECT_EQ(run.s.signal.sigstat(1, 1), 1) << c.what;
        EXPECT_EQ(run.s.signal.sigstat(2, 2), 1) << c.what;
        EXPECT_THAT(run.log(),
                    ::testing::ContainsRegex("interact.t0000001.sig +" + std::string(c.named)))
            << c.what << "\n"
            << run.log();
        EXPECT_EQ(run.s.errcount.numerr, 1) << c.what;
        EXPECT_EQ(run.s.atms.states_missed, 1) << c.what;
        EXPECT_EQ(run.s.atms.states_read, 1) << c.what;
        EXPECT_EQ(run.s.errcount.errt1, 0) << c.what;
    }
}

TEST(ExternalControl, SignalNumbersBeyondTheStateRecordsAreReportedOnce) {
    ExternalRun run;
    run.s.signal.msignal = 4;
    run.put("signals.dat", "0\n");
    chkatms(run.s);
    EXPECT_THAT(run.log(), HasSubstr("Warning: signal numbers up to"));
    ExternalRun dense;
    dense.put("signals.dat", "0\n");
    chkatms(dense.s);
    EXPECT_THAT(dense.log(), Not(HasSubstr("Warning")));
}

TEST(ExternalControl, StatesFollowTheFilesOfEachSecond) {
    ExternalRun run;
    // Fields: two unused, phase, state (1 green, 2 amber, 3 red).
    run.put("interact/t0000000.sig", "0 0 1 1\n0 0 1 1\n");
    run.put("interact/t0000001.sig", "1.0 9 2.0 1.0\n1 9 1 3\n");
    run.put("interact/t0000002.sig", "2 0 1 3\n2 0 1 2\n");
    // Second 3: no file. Second 4: one record short. Second 5: a word.
    run.put("interact/t0000004.sig", "4 0 2 1\n");
    run.put("interact/t0000005.sig", "5 0 2 1\n5 0 green 1\n");
    struct Step {
        int   t10;
        Shown shown;
        int   numerr; // errors counted so far
    } const steps[] = {
        {0, {0, 0, 0}, 0},  // nothing read before tick 1
        {1, {1, 2, 1}, 0},  // second 0: both signals green in phase 1
        {9, {1, 2, 1}, 0},  // between reads the indications stay
        {11, {0, 3, 0}, 0}, // second 1: signal 1 phase 2, signal 2 red
        {21, {0, 0, 5}, 0}, // second 2: state 3 is red on every link of signal 1; amber on 2
        {31, {0, 0, 5}, 0}, // second 3: no file, the states stay
        {41, {0, 0, 5}, 1}, // second 4: short, not used
        {51, {0, 0, 5}, 2}, // second 5: a word, not used
    };
    for (const auto& st : steps) {
        run.tick(st.t10);
        EXPECT_EQ(run.shown(), st.shown) << "tick " << st.t10;
        EXPECT_EQ(run.s.errcount.numerr, st.numerr) << "tick " << st.t10;
    }
    EXPECT_EQ(run.s.control.t, 5);
    EXPECT_EQ(run.s.errcount.errt1, 0) << "a bad state file does not end the run";
    EXPECT_EQ(run.s.signal.sigstat(1, 1), 1);
    EXPECT_EQ(run.s.signal.sigstat(1, 2), 3);
    const std::string log = run.log();
    EXPECT_THAT(log, HasSubstr(" Attempt to open:interact\\t0000003.sig" + std::string(39, ' ') +
                               " was unsuccesful "));
    EXPECT_THAT(log, Not(HasSubstr("t0000002.sig")));
    EXPECT_THAT(log, HasSubstr("ERROR 1022"));
    EXPECT_THAT(log, ::testing::ContainsRegex("interact.t0000004.sig[^\n]*\n[^\n]*LINE +1\n"));
    EXPECT_THAT(log, ::testing::ContainsRegex("interact.t0000005.sig[^\n]*\n[^\n]*LINE +2\n"));
    EXPECT_THAT(run.sleeps, IsEmpty()) << "no trigger is waited for with signals.dat 0";
}

TEST(ExternalControl, TriggerIsWaitedForReadAndRemoved) {
    const std::string state = "0 0 1 1\n0 0 2 1\n";
    // Present at once: no sleep, consumed, then the state file is read.
    ExternalRun at_once;
    at_once.s.atms.mitrefl(2) = 1;
    at_once.put("interact/sigtrig.trg", "12.5\n");
    at_once.put("interact/t0000000.sig", state);
    at_once.tick(1);
    EXPECT_THAT(at_once.sleeps, IsEmpty());
    EXPECT_FALSE(at_once.s.units.exists("interact\\sigtrig.trg"));
    EXPECT_EQ(at_once.shown(), (Shown{1, 2, 0}));

    // Written by the controller during the third sleep: found on the fourth look.
    ExternalRun later;
    later.s.atms.mitrefl(2) = 1;
    later.put("interact/t0000000.sig", state);
    later.s.platform.sleep = [&later](int sec) {
        later.sleeps.push_back(sec);
        if (later.sleeps.size() == 3) later.put("interact/sigtrig.trg", "7\n");
    };
    later.tick(1);
    EXPECT_THAT(later.sleeps, ElementsAre(1, 1, 1));
    EXPECT_FALSE(later.s.units.exists("interact\\sigtrig.trg"));
    EXPECT_EQ(later.shown(), (Shown{1, 2, 0}));
    EXPECT_EQ(later.s.errcount.errt1, 0);

    // A trigger without a number still counts as the controller's signal.
    ExternalRun blank;
    blank.s.atms.mitrefl(2) = 1;
    blank.put("interact/sigtrig.trg", "\n");
    blank.put("interact/t0000000.sig", state);
    blank.tick(1);
    EXPECT_FALSE(blank.s.units.exists("interact\\sigtrig.trg"));
    EXPECT_EQ(blank.shown(), (Shown{1, 2, 0}));
    EXPECT_THAT(blank.log(), HasSubstr("holds no number"));
}

TEST(ExternalControl, ATriggerThatNeverComesEndsTheRunAfterTenMinutes) {
    ExternalRun run;
    std::string console;
    run.s.units.set_console([&console](std::string_view l) {
        console.append(l);
        console.push_back('\n');
    });
    run.s.atms.mitrefl(2) = 1;
    run.put("interact/t0000004.sig", "0 0 1 1\n0 0 1 1\n");
    run.tick(41);
    EXPECT_EQ(run.sleeps.size(), 600u);
    EXPECT_EQ(run.s.errcount.errt1, 1);
    EXPECT_THAT(run.log(), ::testing::ContainsRegex("ERROR 1020\n.*interact.sigtrig.trg"));
    EXPECT_THAT(run.log(), ::testing::ContainsRegex("within +600 +s at simulation second +4"));
    EXPECT_EQ(run.shown(), (Shown{0, 0, 0})) << "the state file is not read";
    // Told once, then every 30 s of the wait: 19 notices up to 570 s.
    const auto lines = support::lines_of(console);
    ASSERT_EQ(lines.size(), 20u) << console;
    EXPECT_THAT(lines[0], HasSubstr("Waiting for the external signal controller"));
    EXPECT_THAT(lines[1], ::testing::ContainsRegex("Still waiting[^\n]* 30 +s"));
    EXPECT_THAT(lines[19], ::testing::ContainsRegex("Still waiting[^\n]* 570 +s"));
}

TEST(ExternalControl, AStopDuringTheWaitEndsItWithoutAnError) {
    ExternalRun run;
    run.s.atms.mitrefl(2) = 1;
    run.put("interact/t0000000.sig", "0 0 1 1\n0 0 1 1\n");
    run.s.platform.sleep = [&run](int sec) {
        run.sleeps.push_back(sec);
        if (run.sleeps.size() == 2) run.s.subtim.stpreq.store(1);
    };
    run.tick(1);
    EXPECT_EQ(run.sleeps.size(), 2u);
    EXPECT_EQ(run.s.errcount.errt1, 0);
    EXPECT_EQ(run.shown(), (Shown{0, 0, 0}));
}

TEST(ExternalControl, HookProgramsFoundAtStartRunEveryMinute) {
    ExternalRun run;
    run.put("interact/atms2.exe", "#!/bin/sh\n");
    chkatms(run.s);
    run_external_hooks(run.s, 60);
    EXPECT_THAT(run.commands, ElementsAre("interact\\atms2.exe      60"));
    EXPECT_THAT(run.log(), HasSubstr(" ATMS Routine Call:interact\\atms2      60" +
                                     std::string(18, ' ') + "\n"));
}

} // namespace
} // namespace velm
