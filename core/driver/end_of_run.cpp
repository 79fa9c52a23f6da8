// The end of a run: the end-of-run reports after the last tick, and on every
// way out the profiler report, the run summary, the vehicles still en route,
// the vehicle paths, the closing of the run's files and, after fatal errors,
// the termination box.
#include "core/driver/end_of_run.h"

#include "core/control/control.h"
#include "core/driver/charcon.h"
#include "core/driver/errors.h"
#include "core/driver/loop_step.h"
#include "core/driver/profiler.h"
#include "core/energy/energy.h"
#include "core/io/writers.h"
#include "core/reports/reports.h"
#include "core/routing/routing.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace velm {

namespace {

inline constexpr int  kUnitEnRoute = 1;
inline constexpr char kEnRouteFile[] = "en-route.out";
inline constexpr int  kMaxPathLength = 360;
inline constexpr int  kWriteTracedPaths = 10; // tr_tree's "write the traced paths" request
inline constexpr int  kPlumeMinutes = 60;

bool slot_used(const Sim& s, int slot) {
    return s.pathnam.filuse[static_cast<std::size_t>(slot)] == 1;
}

// The output directory in front of a fixed file name.
std::string output_name(const Sim& s, std::string_view name) {
    const int   lp = s.pathnam.lpath[2];
    std::string full;
    if (lp > 0) full = s.filenam.path2.substr(0, static_cast<std::size_t>(lp));
    full += name;
    if (full.size() > kMaxPathLength) full.resize(kMaxPathLength);
    return full;
}

// Every vehicle still on the network, link by link, front first.
void en_route_list(Sim& s) {
    const std::string name = output_name(s, kEnRouteFile);
    if (!s.units.open_write(kUnitEnRoute, name)) {
        wfree(s.units, kUnitRunLog, " Cannot create the list of vehicles en route: ", name);
        output_not_written(s, name);
        return;
    }
    auto& u = s.units;
    wfree(u, kUnitEnRoute, " Report of vehicles en-route at end of simulation");
    wfree(u, kUnitEnRoute, "   link position   car dist status orig dest arrt",
          " wait1 wait2 wait3 wait4 wait5");
    const auto& l2 = s.link2;
    const auto& v = s.vehicle;
    for (int l = 1; l <= l2.mlnum; ++l) {
        for (int i = 1; i <= l2.ntqu(l); ++i) {
            const int at = l2.nbqu(l) + i;
            if (at < 1 || at > kVehicleStore) break; // a damaged list: skip the rest of the link
            const int   car = v.big(at);
            std::string line = fmt_i(l, 5) + fmt_i(i, 5) + fmt_i(car, 7);
            if (car < 1 || car > kMaxTrips) {
                u.line(kUnitEnRoute, line); // a damaged list entry: nothing more to show
                continue;
            }
            const int  vid = s.vehindx.vehid(car);
            const bool placed = vid >= 1 && vid <= kMaxVehicles;
            line += fmt_f(placed ? s.vehplot.dis(vid, 1) / kMetresPerKm : 0.0f, 9, 3) +
                    fmt_i(placed ? s.oddat.stat(vid) : 0, 6) + fmt_i(v.norig(car), 6) +
                    fmt_i(v.ndest(car), 6) + fmt_i(static_cast<long>(v.arrt(car)), 6);
            for (int k = 1; k <= 5; ++k) line += fmt_i(placed ? v.wait(vid, k) : 0, 7);
            u.line(kUnitEnRoute, line);
        }
    }
    u.close(kUnitEnRoute);
}

// The files whose writes the device refused so far: each is named in the run
// log, or on the console when the run log is among them, and counted.
void report_write_failures(Sim& s) {
    const std::vector<std::string> failed = s.units.take_write_failures();
    const bool                     log_lost = s.units.write_failed(kUnitRunLog);
    for (const std::string& name : failed) {
        if (log_lost) wfree(s.units, kUnitConsole, "Output file not written: ", name);
        wfree(s.units, kUnitRunLog, " A write to this file failed (device full or file too large)");
        output_not_written(s, name);
    }
}

void termination_box(Sim& s) {
    std::string count;
    charcon7(s.errcount.errt1, count, 1);
    auto& title = s.mainrun.title;
    auto& mes = s.mainrun.mes;
    title = "VELMORANTIS TERMINATION REPORT";
    mes[0] = "Traffic Simulation is Terminating Pre-Maturely";
    mes[1] = "Total Number of errors is: " + count;
    mes[2] = "";
    mes[3] = "Please consult  RUNERR.OUT file for details";
    pop_box(s, 4, title, std::span<const std::string>(mes.data(), mes.size()));
}

} // namespace

void end_of_run_reports(Sim& s) {
    note_step(s, "destroy_default_progress_window");
    if (s.fe != nullptr) s.fe->destroy_default_progress_window();
    if (s.highway_spdharm.highway_spdharm_activation_flag == 1)
        VELM_STEP(clean_highway_spd_harm, s);
    if (s.platoon.platoon_activation_flag == 1) VELM_STEP(end_platoon, s);
    const int pd_ot1 = s.trees.pd_ot1;
    const int simtim1 = s.set1.simtim1;
    // The second the run reached: its horizon, or the second a stop ended it.
    const int reached = s.control.t;
    const int stopped = s.subtim.stopped_at;
    if (slot_used(s, kUnitSummary)) {
        if (stopped >= 0) {
            wfree(s.units, kUnitSummary);
            wfree(s.units, kUnitSummary, " Run stopped at simulation clock", stopped, "s of",
                  simtim1, "s: the summaries below cover the run up to that second");
        }
        if (pd_ot1 != 0 || std::abs(pd_ot1) == simtim1) {
            VELM_STEP(linksum, s);
            VELM_STEP(lossum, s, pd_ot1);
            VELM_STEP(tripsum, s, s.control.t);
        }
        VELM_STEP(incsum, s);
    }
    VELM_STEP(globsum, s);
    if (slot_used(s, kLinkTimesSlot)) {
        VELM_STEP(linktime, s, kLinkTimesSlot, reached, reached, 0);
        VELM_STEP(turnsum, s, s.control.t, s.link2.mlnum);
    }
    if (slot_used(s, kPlumeSlot)) VELM_STEP(plumwrt, s, 0, s.trees.pd_ot2, kPlumeMinutes);
    stim(s, Activity::diversion_and_end);
}

void run_summary(Sim& s) {
    auto&       u = s.units;
    const auto& s1 = s.set1;
    stim(s, Activity::inputs);
    stim(s, kStimReport);
    // The end-of-run files first, so that the error count below includes
    // any of them that could not be created.
    if (s1.tenr > 0) en_route_list(s);
    tr_tree(s, 0, kWriteTracedPaths, 0);
    // Every report still open goes to its device now, so that one the device
    // refused (a full disk, a size limit) is named and counted below.
    u.flush_all();
    report_write_failures(s);
    const int unwritten = s.errcount.errt2; // output files not created or cut short, named above
    // A trip lost on the way (no first link, or a path that ends before its
    // zone) is an error of the run although the run goes on without it.
    const int lost = s1.tabnd + s1.tmisr;
    // Seconds under external signal control without a usable state file.
    const int unread = s.atms.mitrefl(1) > 0 ? s.atms.states_missed : 0;
    section_heading(u, kUnitRunLog, " D. Simulation summary statistics: ");
    wfree(u, kUnitRunLog, std::string(35, ' '));
    wfree(u, kUnitRunLog, "    - Simulation clock time       : ", s.control.t);
    wfree(u, kUnitRunLog, "    - Total simulation horizon    : ", s1.simtim1);
    wfree(u, kUnitRunLog, "    - Real world time elapsed     : ", s.subtim.cclock / 100);
    wfree(u, kUnitRunLog,
          "    - Number of errors found      : ", s.errcount.errt1 + lost + unwritten + unread);
    if (s.errcount.counted_twice > 0)
        wfree(u, kUnitRunLog, "      of them input files counted twice: ", s.errcount.counted_twice,
              " (once where the reader stopped, once for the file)");
    wfree(u, kUnitRunLog, std::string(36, ' '));
    wfree(u, kUnitRunLog, "    - Scheduled departures        : ", s1.tdep);
    wfree(u, kUnitRunLog, "    - Deferred departures         : ", s1.totin);
    wfree(u, kUnitRunLog, "    - Current vehicles en-route   : ", s1.tenr);
    wfree(u, kUnitRunLog, "    - Total trips completed       : ", s1.tarr);
    wfree(u, kUnitRunLog, "    - Trips lost without a path   : ", lost);
    wfree(u, kUnitRunLog, "    - last vehicle exit at        : ", s.subtim.lastext);
    wfree(u, kUnitRunLog, std::string(36, ' '));
    if (unwritten > 0) {
        wfree(u, kUnitRunLog, "Run completed, but some reports were not written:", unwritten,
              "output files (\"Output file not written\" above)");
        wfree(u, kUnitRunLog, std::string(36, ' '));
    }
    if (s.atms.mitrefl(1) > 0 && s.atms.states_read == 0 && s.errcount.errt1 == 0) {
        const std::string why =
            "Run completed under external signal control, but no controller state was ever read:"
            " every signal kept its first indication";
        wfree(u, kUnitRunLog, why);
        wfree(u, kUnitRunLog, std::string(36, ' '));
        wfree(u, kUnitConsole, why);
    }
    if (lost > 0) {
        wfree(u, kUnitRunLog, "Run completed, but trips were lost without a path:", lost,
              "trips (each named above)");
        wfree(u, kUnitRunLog, std::string(36, ' '));
    }
    // Every file the run opened is flushed and closed here, also those above
    // unit 30 (subnetwork crossings, detector summary, time-space records), so
    // nothing is lost and the next run of a batch can open them again.
    u.close_all();
    // The run log's own last lines can still be refused as it closes: the
    // console names it, and the run counts it among the reports not written.
    for (const std::string& name : u.take_write_failures()) {
        ++s.errcount.errt2;
        wfree(u, kUnitConsole, "Output file not written: ", name);
    }
    if (s.errcount.errt1 > 0) termination_box(s);
}

} // namespace velm
