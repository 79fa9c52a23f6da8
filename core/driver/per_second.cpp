// The once-per-second block of the time loop: signal control, statistics and
// histories, slot compaction, the external management programs, detectors,
// ramp metering, tolls and turn bans, signal-plan re-reads, queues, tree
// rebuilds and en-route diversion, periodic listings, incidents and signal
// optimisation, each on its period.
#include "core/driver/per_second.h"

#include "core/control/control.h"
#include "core/display/display.h"
#include "core/driver/charcon.h"
#include "core/driver/loop_step.h"
#include "core/driver/profiler.h"
#include "core/energy/energy.h"
#include "core/io/writers.h"
#include "core/movement/movement.h"
#include "core/network/network.h"
#include "core/reports/reports.h"
#include "core/routing/routing.h"

#include <cstdlib>
#include <string>

namespace velm {

namespace {

inline constexpr int kProgressLineS = 600; // s between run-log progress lines
inline constexpr int kCompactTicks = 60;   // ticks between vehicle-slot compactions (6 s)
inline constexpr int kDepartureCheck = 30; // s between departure-list compactions
inline constexpr int kIncidentEvery = 5;   // s between incident updates
inline constexpr int kHookCommandW = 40;   // width of the hook command text in the run log

// Run-log progress line: simulated minutes and processor minutes.
void progress_line(Sim& s, int t) {
    s.units.line(kUnitRunLog,
                 "    - sim time:" + fmt_f(static_cast<float>(t) / 60.0f, 9, 2) + "  after " +
                     fmt_f(static_cast<float>(s.subtim.cclock) / 6000.0f, 9, 2) + " real mins. ");
}

// The current rate of every meter into its slot of the per-minute history.
void meter_history(Sim& s, int t10) {
    auto&     rm = s.rmpmeter;
    const int m = (t10 / 600) % 60 + 1;
    for (int i = 1; i <= kMaxRampMeters; ++i) rm.rmphis(i, m) = rm.rmprat(i, 1);
}

void signal_plan_reread(Sim& s, int t) {
    const int dsigper = s.signal.dsigper;
    if (dsigper > 0 && t > 0 && t % dsigper == 0)
        VELM_STEP(read3, s, s.filenam.files(kSignalSlot));
    else if (dsigper < 0 && t % -dsigper == 0)
        VELM_STEP(readsgnl, s, t);
}

// The tree listing carries the number of listed classes on its first call of
// the period and 0 on the others.
void tree_listing(Sim& s, int t, int pd_ot2) {
    auto& tremet = s.set1.tremet;
    int   n = 0;
    for (int vt = 1; vt <= kClasses; ++vt)
        if (tremet(vt) == 2 || tremet(vt) == 9) ++n;
    for (int vt = 1; vt <= kClasses; ++vt) {
        if (tremet(vt) != 2 && tremet(vt) != 9) continue;
        VELM_STEP(pminpath, s, kTreeListSlot, t, vt, n, pd_ot2, 2);
        n = 0;
    }
}

void periodic_listings(Sim& s, int t) {
    const int  pd_ot2 = s.trees.pd_ot2;
    const auto used = [&](int slot) {
        return s.pathnam.filuse[static_cast<std::size_t>(slot)] == 1;
    };
    if (used(kFlowListSlot)) VELM_STEP(pflow, s, t, pd_ot2);
    if (used(kTurnSlot)) VELM_STEP(pturn, s, t, pd_ot2);
    if (used(kTreeListSlot)) tree_listing(s, t, pd_ot2);
    if (used(kTimingSlot)) VELM_STEP(ptiming, s, t, pd_ot2, s.trees.np_ot2);
    if (used(kPlumeSlot)) VELM_STEP(plumwrt, s, t, pd_ot2, kSecondsPerMinute);
}

bool los_due(const Sim& s, int t) {
    const int pd_ot1 = s.trees.pd_ot1;
    return pd_ot1 != 0 && s.pathnam.filuse[kUnitSummary] == 1 && t % std::abs(pd_ot1) == 0 &&
           t < s.set1.simtim1 && (t > 0 || pd_ot1 > 0);
}

} // namespace

void run_external_hooks(Sim& s, int t) {
    std::string when;
    charcon7(t, when, 1);
    for (int k = 1; k <= kAtmsPrograms; ++k) {
        if (s.atms.atmsfl(k) != 1) continue;
        std::string hook;
        charcon2(k, hook, 1);
        const std::string program = "interact\\atms" + hook.substr(1, 1);
        const std::string command = program + " " + when;
        wfree(s.units, kUnitRunLog, " ATMS Routine Call:", fmt_a(command, kHookCommandW));
        note_step(s, "atms");
        // The log keeps the program's short name; the host runs the file that
        // was found at start, which it would not find without ".exe".
        s.platform.run_command(program + ".exe " + when);
    }
}

bool per_second(Sim& s) {
    auto&     s1 = s.set1;
    const int t = s.control.t;
    const int t10 = s.control.t10;

    VELM_STEP(sigact, s, t);
    stim(s, Activity::actuated_signals);
    VELM_STEP(comp_tcol, s, 1);
    if (t % kProgressLineS == 0) VELM_STEP(progress_line, s, t);
    stim(s, Activity::pause_checks);
    if (t % kSecondsPerMinute == 0) {
        VELM_STEP(cputime, s, t10);
        VELM_STEP(arrival, s, t10, s1.tdep, s1.totin, s1.tenr, s1.tarr);
        VELM_STEP(rsflwhis, s, t);
    }
    VELM_STEP(uptimhis, s, t);
    stim(s, Activity::link_times);
    if (t10 > 0) {
        VELM_STEP(offopt, s, t10);
        stim(s, Activity::offset_optimisation);
    }
    if (t10 % kCompactTicks == 0) {
        VELM_STEP(resetvid, s);
        stim(s, Activity::slot_compaction);
    }
    if (t % kSecondsPerMinute == 0) {
        run_external_hooks(s, t);
        stim(s, Activity::management_programs);
    }
    VELM_STEP(detreset, s, t);
    VELM_STEP(det_sum, s, t);
    VELM_STEP(detreport, s, t);
    if (s.errcount.errt1 > 0) return false;
    stim(s, Activity::detectors);
    const int rmptm = s.rmpmeter.rmptm;
    if (t > 0 && rmptm > 0 && t % rmptm == 0) {
        VELM_STEP(rampflow, s, t);
        VELM_STEP(comprmp1, s, t);
        VELM_STEP(updatrmp, s, 1);
    }
    VELM_STEP(meter_history, s, t10);
    stim(s, Activity::ramp_metering);
    if (t > 0 && t % kSecondsPerMinute == 0) {
        VELM_STEP(settolplz, s, t);
        VELM_STEP(addnfnt, s, t);
        if (s.errcount.errt1 > 0) return false;
    }
    signal_plan_reread(s, t);
    VELM_STEP(qtime, s);
    stim(s, Activity::speeds_and_queues);
    if (t % kDepartureCheck == 0) {
        VELM_STEP(systimer, s);
        VELM_STEP(decdept, s, t, s.set2.nondept, kMaxTrips);
        stim(s, Activity::system_link_times);
    }
    if (los_due(s, t)) VELM_STEP(lossum, s, s.trees.pd_ot1);
    if (t > 0) {
        checkpoint(s, 100);
        VELM_STEP(rebuild_trees, s);
        stim(s, Activity::time_space_and_trees);
    }
    VELM_STEP(chk_enrt, s, t);
    stim(s, Activity::diversion_and_end);
    if (s.trees.pd_ot2 != 0 && t % std::abs(s.trees.pd_ot2) == 0) {
        checkpoint(s, 201);
        periodic_listings(s, t);
        stim(s, Activity::listings);
    }
    if (t % kSecondsPerMinute == 0) {
        VELM_STEP(plumset, s, 2, kSecondsPerMinute);
        VELM_STEP(travelset, s, 2, kSecondsPerMinute);
        stim(s, Activity::emission_grids);
    }
    if (t % kIncidentEvery == 0) {
        VELM_STEP(incid, s);
        stim(s, Activity::incidents);
    }
    checkpoint(s, 300);
    VELM_STEP(resetflow, s);
    stim(s, Activity::link_accumulators);
    if (t > 0 && t % kSecondsPerMinute == 0) VELM_STEP(optsignal, s);
    if (t % kSecondsPerMinute == 0) {
        VELM_STEP(sig_his, s, t10);
        stim(s, Activity::signal_optimisation);
    }
    VELM_STEP(psignal, s, 1);
    stim(s, Activity::signal_heads);
    VELM_STEP(pincident, s);
    stim(s, Activity::incident_display);
    return true;
}

} // namespace velm
