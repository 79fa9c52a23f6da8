// External control: which management programs and which exchange files are
// there at run start, and the signal states an outside controller writes into
// "interact" once per simulated second.
#include "core/control/control.h"
#include "core/driver/charcon.h"
#include "core/driver/errors.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"

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
                wfree(u, kUnitRunLog, " Trigger file", kTriggerFile, "holds no number at second",
                      t);
            u.close(kUnitInput);
            u.remove(kTriggerFile);
            return true;
        }
        if (s.subtim.stop_requested()) return false;
        if (slept == kTriggerLooks) break;
        s.platform.sleep(1);
    }
    listerr(s, kTriggerFile, kFixedNameFile, 0, kReadOpen, s.errcount.numerr);
    wfree(u, kUnitRunLog, " No trigger from the external signal controller within", kTriggerLooks,
          "s at simulation second", t);
    return false;
}

// Reads one state file into sigread; the line of the first fault, 0 when
// every signal's phase and state were read.
int read_states(Sim& s, FreeReader& in, int nsig) {
    auto& r = s.atms.sigread;
    for (int i = 1; i <= nsig; ++i) {
        double f[kStateFields] = {};
        in.start_record();
        for (double& v : f)
            if (in.next(v) != ReadResult::ok) return std::max(in.line(), 1);
        if (in.slashed() || !truncate_to_int(f[2], r(i, 1)) || !truncate_to_int(f[3], r(i, 2)))
            return std::max(in.line(), 1);
    }
    return 0;
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
    if (!u.exists(kSignalsSwitch) || !u.open_read(kUnitInput, kSignalsSwitch)) return;
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
        return;
    }
    const int  nsig = std::clamp(sg.nsignals, 0, kMaxSignals);
    FreeReader in(u.in(kUnitInput));
    const int  bad_line = read_states(s, in, nsig);
    u.close(kUnitInput);
    if (bad_line > 0) {
        report_damaged(s, name, bad_line);
        wfree(u, kUnitRunLog, " Signal states of second", t, "not used: the previous ones stay");
        return;
    }
    for (int i = 1; i <= nsig; ++i) {
        sg.sigstat(i, 1) = s.atms.sigread(i, 1);
        sg.sigstat(i, 2) = s.atms.sigread(i, 2);
    }
}

} // namespace velm
