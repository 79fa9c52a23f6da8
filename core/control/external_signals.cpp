// External control: which management programs and which exchange files are
// there at run start, and the signal states an outside controller writes into
// "interact" once per simulated second.
#include "core/control/control.h"
#include "core/control/signal_indications.h"
#include "core/driver/charcon.h"
#include "core/driver/errors.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/model/codes.h"
#include "core/network/input_support.h"
#include "core/platform/platform.h"

#include <algorithm>
#include <string>

namespace velm {

namespace {

constexpr const char* kSignalsSwitch = "signals.dat"; // in the working directory
constexpr const char* kTriggerFile = "interact\\sigtrig.trg";
constexpr int         kHookNameW = 40;     // a program name in the presence lines
constexpr int         kStateNameW = 60;    // a state file name in the run log
constexpr int         kTriggerLooks = 600; // s a controller may take to write its trigger
constexpr int         kStateFields = 4;    // per signal: two unused fields, phase, state
constexpr int         kWaitNotice = 30;    // s of waiting between two console notices

// Reported like a reader's data error, but the run goes on: one bad exchange
// file costs the controller one second, not the run.
void report_damaged(Sim& s, const std::string& name, int line) {
    const int fatal_before = s.errcount.errt1;
    listerr(s, name, kFixedNameFile, line, kReadData, s.errcount.numerr);
    s.errcount.errt1 = fatal_before;
}

// Waits for the controller's trigger file: looks at once, then once a second
// (sleeping, not spinning). Consumes the file when it comes. False when it
// did not come within kTriggerLooks seconds (fatal error counted) or the run
// was asked to stop meanwhile.
bool await_trigger(Sim& s, int t) {
    auto& u = s.units;
    for (int slept = 0;; ++slept) {
        if (u.exists(kTriggerFile) && u.open_read(kUnitInput, kTriggerFile)) {
            FreeReader in(u.in(kUnitInput));
            double     stamp = 0; // the controller's time stamp: not used
            if (in.record(stamp) != ReadResult::ok)
                wfree(u, kUnitRunLog,
                      " Trigger file " + std::string(kTriggerFile) + " holds no number at second",
                      t);
            u.close(kUnitInput);
            u.remove(kTriggerFile);
            return true;
        }
        if (s.subtim.stop_requested()) return false;
        if (slept == kTriggerLooks) break;
        // A wait is told on the console once a run, and then every
        // kWaitNotice seconds while one wait lasts, so that a run waiting
        // for its controller is not taken for a hung one.
        if (slept == 0 && !s.atms.wait_told) {
            s.atms.wait_told = true;
            wfree(u, kUnitConsole,
                  " Waiting for the external signal controller: no " + std::string(kTriggerFile) +
                      " yet at simulation second",
                  t);
        } else if (slept > 0 && slept % kWaitNotice == 0) {
            wfree(u, kUnitConsole, " Still waiting for the external signal controller after", slept,
                  "s at simulation second", t, "- the run gives up after", kTriggerLooks, "s");
        }
        s.platform.sleep(1);
    }
    listerr(s, kTriggerFile, kFixedNameFile, 0, kReadOpen, s.errcount.numerr);
    wfree(u, kUnitRunLog, " No trigger from the external signal controller within", kTriggerLooks,
          "s at simulation second", t);
    return false;
}

// The highest phase signal i may be given: the phases its plan runs, any
// phase a signal may have when the plan does not code it.
int last_phase(const Sim& s, int i) {
    const int np = s.signal.phases(i);
    return np >= 1 && np <= kMaxPhases ? np : kMaxPhases;
}

// Reads one state file into sigread; the line of the first fault, 0 when
// every signal's phase and state were read. A phase the signal does not have
// or a state other than green, amber and red is named in the run log.
int read_states(Sim& s, FreeReader& in, int nsig, const std::string& name) {
    auto& r = s.atms.sigread;
    for (int i = 1; i <= nsig; ++i) {
        double f[kStateFields] = {};
        in.start_record();
        for (double& v : f)
            if (in.next(v) != ReadResult::ok) return std::max(in.line(), 1);
        if (in.slashed() || !truncate_to_int(f[2], r(i, 1)) || !truncate_to_int(f[3], r(i, 2)))
            return std::max(in.line(), 1);
        const int line = std::max(in.line(), 1);
        if (r(i, 1) < 1 || r(i, 1) > last_phase(s, i)) {
            wfree(s.units, kUnitRunLog, " State file " + name + " line", line, "signal", i, "phase",
                  r(i, 1), "is not a phase of the signal (1 to", last_phase(s, i), ")");
            return line;
        }
        if (r(i, 2) != kSignalGreen && r(i, 2) != kSignalIntergreen &&
            r(i, 2) != kSignalExternalRed) {
            wfree(s.units, kUnitRunLog, " State file " + name + " line", line, "signal", i, "state",
                  r(i, 2), "is not 1 (green), 2 (amber) or 3 (red)");
            return line;
        }
    }
    return 0;
}

// A second whose states could not be used: the signals keep the states of
// the second before, and the second counts among the run's errors.
void state_missed(Sim& s, const std::string& name, int t) {
    auto& u = s.units;
    s.atms.states_missed += 1;
    if (s.atms.states_missed == 1)
        wfree(u, kUnitConsole, " No usable signal state file " + name + " at simulation second", t,
              "- the signals keep their states; every such second counts as an error");
}

} // namespace

void chkatms(Sim& s) {
    auto& u = s.units;
    auto& a = s.atms;
    section_heading(u, kUnitSummary, "102. Checking for presence of ATMS 1-5  ");
    for (int k = 1; k <= kAtmsPrograms; ++k) {
        const std::string name = "interact\\atms" + std::to_string(k) + ".exe";
        a.atmsfl(k) = u.exists(name) ? 1 : 0;
        wfree(u, kUnitSummary,
              "     - " + fmt_a(name, kHookNameW) + (a.atmsfl(k) == 1 ? " found " : " not found "));
    }
    wfree(u, kUnitSummary, "  ");

    a.mitrefl(1) = 0;
    a.mitrefl(2) = 0;
    a.states_read = a.states_missed = 0;
    a.wait_told = false;
    if (!u.exists(kSignalsSwitch)) return;
    // The master file may keep its signal-timing file under the marker's
    // name beside it: that file is the plan, never a request for states.
    const std::string& timing = s.filenam.files(kSignalSlot);
    if (!timing.empty() &&
        same_file(netin::input_name(s, netin::first_chars(timing, kOpenNameChars)),
                  kSignalsSwitch)) {
        wfree(u, kUnitRunLog,
              " signals.dat is the signal-timing file of the master file:"
              " the signals run their timing plan");
        return;
    }
    if (!u.open_read(kUnitInput, kSignalsSwitch)) return;
    wfree(u, kUnitRunLog, " Opening file signals.dat ");
    a.mitrefl(1) = 1;
    FreeReader in(u.in(kUnitInput));
    int        trigger = 0;
    if (in.record(trigger) == ReadResult::ok) {
        a.mitrefl(2) = trigger;
    } else {
        wfree(u, kUnitRunLog,
              " signals.dat holds no whole number: states are read without a trigger");
    }
    wfree(u, kUnitRunLog, a.mitrefl(1));
    wfree(u, kUnitRunLog, a.mitrefl(2));
    wfree(u, kUnitRunLog, " fl1=1 - program using signals.dat ");
    wfree(u, kUnitRunLog, " fl2=1 - program using sigtrig.trg ");
    u.close(kUnitInput);
    // State files hold signals 1..nsignals in order; a higher signal number
    // of the plan never gets a state from them.
    if (s.signal.msignal > s.signal.nsignals)
        wfree(u, kUnitRunLog, " Warning: signal numbers up to", s.signal.msignal,
              "but state files hold signals 1 to", s.signal.nsignals);
}

void prepsignal(Sim& s) {
    auto&     u = s.units;
    auto&     sg = s.signal;
    const int t = s.control.t10 / 10;
    s.control.t = t;

    if (s.atms.mitrefl(2) == 1 && !await_trigger(s, t)) return;

    std::string digits;
    charcon7(t, digits, 0);
    const std::string name = "interact\\t" + digits + ".sig";
    if (!u.exists(name) || !u.open_read(kUnitInput, name)) {
        wfree(u, kUnitRunLog, " Attempt to open:", fmt_a(name, kStateNameW), " was unsuccesful ");
        state_missed(s, name, t);
        return;
    }
    const int  nsig = std::clamp(sg.nsignals, 0, kMaxSignals);
    FreeReader in(u.in(kUnitInput));
    const int  bad_line = read_states(s, in, nsig, name);
    u.close(kUnitInput);
    if (bad_line > 0) {
        report_damaged(s, name, bad_line);
        wfree(u, kUnitRunLog, " Signal states of second", t, "not used: the previous ones stay");
        state_missed(s, name, t);
        return;
    }
    s.atms.states_read += 1;
    for (int i = 1; i <= nsig; ++i) {
        sg.sigstat(i, 1) = s.atms.sigread(i, 1);
        sg.sigstat(i, 2) = s.atms.sigread(i, 2);
    }
}

} // namespace velm
