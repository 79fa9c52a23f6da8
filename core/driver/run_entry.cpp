// The entries that start a run: the desktop program's core-thread entry, the
// main routine, and the console entry with its batch list.
#include "core/control/speed_harmonisation.h"
#include "core/driver/driver.h"

#include "core/driver/end_of_run.h"
#include "core/driver/input_phase.h"
#include "core/driver/read_faults.h"
#include "core/driver/run_control.h"
#include "core/driver/run_text.h"
#include "core/driver/time_loop.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"

#include <algorithm>
#include <string>
#include <vector>

namespace velm {

namespace {

constexpr std::string_view kDesktopMaster = "Default_Master_File.master";
constexpr std::string_view kBatchList = "batch.vlm";
constexpr int              kMaxBatchRuns = 10000;

// A run starts from clean run-wide settings, whatever an earlier run of the
// same state left behind (readers reset their own tables before reading).
void start_clean(Sim& s) {
    s.control.t = 0;
    s.control.t10 = 0;
    s.subtim.stopped_at = -1;
    s.set1.tremet.zero();
    s.set1.trefrq.zero();
    s.set1.trnd.zero();
    s.set1.simtim1 = 0;
    s.set1.simtim10 = 0;
    s.trees = mod_trees{};
    s.errcount = mod_errcount{};
    s.filenam.mastitle.clear();
    s.filenam.path1.clear();
    s.filenam.path2.clear();
    s.filenam.files.clear();
    s.filenam.ftitle.clear();
    s.pathnam.reset();
    s.mainrun.reset();
}

} // namespace

void velmorantis_main_file_input(Sim& s) {
    s.master.mastfile = std::string(kDesktopMaster);
    velmorantis(s, 1);
}

void velmorantis(Sim& s, int g1) {
    (void)g1; // single run or batch member: the run is the same
    route_read_faults(s);
    start_clean(s);
    if (run_input_steps(s, input_steps())) {
        const bool ended = time_loop(s);
        shql_save(s); // learning carries over, whatever ended the loop
        // A stopped run reports the second it reached; a fatal error none.
        if (ended || s.subtim.stopped_at >= 0) end_of_run_reports(s);
    }
    run_summary(s);
}

int run_status(const Sim& s) {
    if (s.errcount.errt1 > 0) return kExitFatal;
    if (s.subtim.stopped_at >= 0) return kExitStopped;
    if (s.atms.mitrefl(1) > 0 && s.atms.states_read == 0) return kExitNoSignalStates;
    if (s.errcount.errt2 > 0) return kExitReportsLost;
    return s.set1.tabnd + s.set1.tmisr > 0 ? kExitTripsLost : kExitCompleted;
}

std::string read_cmdl_masterfile(std::span<const std::string> args) {
    std::string mastfile;
    for (std::size_t i = 0; i < args.size(); ++i)
        if (trim_right(args[i]) == "--master") mastfile = i + 1 < args.size() ? args[i + 1] : "";
    return std::string(trim_right(mastfile));
}

int read_cmdl_tree_threads(std::span<const std::string> args) {
    int threads = 1;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (trim_right(args[i]) != "--tree-threads") continue;
        const std::string v(i + 1 < args.size() ? trim_right(args[i + 1]) : "");
        threads = 0;
        if (v.empty() || v.size() > 2 ||
            !std::all_of(v.begin(), v.end(), [](char c) { return c >= '0' && c <= '9'; }))
            continue;
        const int n = std::stoi(v);
        threads = n >= 1 && n <= kMaxTreeThreads ? n : 0;
    }
    return threads;
}

bool read_cmdl_traces(std::span<const std::string> args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& a) { return trim_right(a) == "--traces"; });
}

namespace {

// The master-file names of the batch list: a title line, the count, then one
// name per line (quoted when it holds blanks). False, with a console line,
// when the list cannot be used; nothing is run then.
bool read_batch_list(Sim& con, std::vector<std::string>& names) {
    Units& u = con.units;
    if (!u.open_read(kUnitInput, kBatchList)) {
        wfree(u, kUnitConsole, "[INFO] batch.vlm could not be opened.  Simulation will stop ");
        return false;
    }
    FreeReader  in(u.in(kUnitInput));
    std::string title;
    int         n = 0;
    bool        ok = in.text_line(title) && in.record(n) == ReadResult::ok;
    if (!ok) {
        wfree(u, kUnitConsole, "[INFO] batch.vlm: no number of master files on line 2.",
              "  Simulation will stop ");
    } else if (n < 1 || n > kMaxBatchRuns) {
        wfree(u, kUnitConsole, "[INFO] batch.vlm lists", n, "master files; allowed are 1 to",
              kMaxBatchRuns, ".  Simulation will stop ");
        ok = false;
    }
    for (int k = 1; ok && k <= n; ++k) {
        std::string name;
        if (in.record(name) != ReadResult::ok) {
            wfree(u, kUnitConsole, "[INFO] batch.vlm: master file", k, "could not be read (line",
                  in.line(), ").  Simulation will stop ");
            ok = false;
        } else {
            names.push_back(std::string(trim_right(name)));
        }
    }
    u.close(kUnitInput);
    if (!ok) names.clear();
    return ok;
}

// One run on a fresh state (s, or a new one); its exit status.
int run_one(const ConsoleHost& host, const std::string& mastfile, int g1, int tree_threads,
            bool traces, std::unique_ptr<Sim> s = nullptr) {
    if (!s) s = host.new_sim();
    s->master.mastfile = mastfile;
    s->trees.threads = tree_threads;
    s->write_traces = traces;
    host.run(*s, g1);
    return run_status(*s);
}

// The batch status: a run with fatal errors outweighs a stopped one, that one
// a run that never read an external signal state, that one a run with lost
// reports, and that one a run with lost trips.
int worse(int a, int b) {
    auto rank = [](int st) {
        return st == kExitFatal            ? 5
               : st == kExitStopped        ? 4
               : st == kExitNoSignalStates ? 3
               : st == kExitReportsLost    ? 2
               : st == kExitTripsLost      ? 1
                                           : 0;
    };
    return rank(b) > rank(a) ? b : a;
}

} // namespace

int velmorantis_main(std::span<const std::string> args, const ConsoleHost& host) {
    // The console and the batch list; a single run (--master) takes this state
    // over as its own fresh one, so the process creates only one.
    std::unique_ptr<Sim> con = host.new_sim();
    Units&               u = con->units;
    const std::string    mastfile = read_cmdl_masterfile(args);
    const int            threads = read_cmdl_tree_threads(args);
    const bool           traces = read_cmdl_traces(args);
    if (threads == 0) {
        wfree(u, kUnitConsole, "[INFO] --tree-threads takes a whole number from 1 to",
              kMaxTreeThreads, ".  Simulation will stop ");
        return kExitNoRun;
    }
    if (!mastfile.empty()) {
        wfree(u, kUnitConsole, " ");
        wfree(u, kUnitConsole, "[INFO] Attempting to run using master file  ",
              padded(mastfile, 60));
        return run_one(host, mastfile, 1, threads, traces, std::move(con));
    }
    wfree(u, kUnitConsole, "   ");
    wfree(u, kUnitConsole,
          "[INFO] No master file specified in the command line. Looking for batch.vlm file...");
    if (!u.exists(kBatchList)) {
        wfree(u, kUnitConsole, "[INFO] batch.vlm file does not exist.  Simulation will stop ");
        return kExitNoRun;
    }
    wfree(u, kUnitConsole, "[INFO] batch.vlm file exists. Running the batch simulation....");
    std::vector<std::string> names;
    if (!read_batch_list(*con, names)) return kExitNoRun;
    int status = kExitCompleted;
    for (const std::string& name : names) {
        status = worse(status, run_one(host, name, 0, threads, traces));
        // A stop signal ends the batch with the run it stopped.
        if (stop_signal() != 0) {
            wfree(u, kUnitConsole, "[INFO] Stopped by " + stop_signal_name(stop_signal()),
                  "; the rest of batch.vlm is not run");
            return worse(status, kExitStopped);
        }
    }
    return status;
}

} // namespace velm
