#pragma once
// Entries of the run driver that the hosting programs and other subsystems
// call: the core-thread entry, the main routine, the console entry, and the
// master-file reading with the numbered output files.
#include "core/model/sim.h"

#include <atomic>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace velm {

// The desktop program's core-thread entry: runs "Default_Master_File.master".
void velmorantis_main_file_input(Sim& s);

// One simulation run of the master file named by s.master.mastfile: run logs,
// banner, input phase, time loop, end of run. g1 is 1 for a single run and 0
// for a run of a batch list; the run does not depend on it.
void velmorantis(Sim& s, int g1);

// Zeroes t, simtim1, indstp and the error counters, and writes the capacity
// banner to the run log.
void setup(Sim& s, int& t, int& simtim1, std::atomic<int>& indstp);

// Reads the master file, the option switches, opens the numbered output files
// and reads the numbered input files 1 to 7.
void readdata(Sim& s);

// Opens the summary output (slot 10) and slots 11 to 19 and 25 in the output
// directory and writes the summary output's banner.
void filename(Sim& s);

// Reads and checks the numbered input files 1 to 7 in their fixed order, each
// step behind the fatal-error guard (the second half of readdata).
void read_numbered_inputs(Sim& s);

// --- console entry -----------------------------------------------------------

// What the console entry needs from the program that hosts it.
struct ConsoleHost {
    // A fresh run state: every run, and the console entry itself, gets its own.
    std::function<std::unique_ptr<Sim>()> new_sim;
    // The run itself (velmorantis unless a test records the runs instead).
    std::function<void(Sim&, int)> run = velmorantis;
};

// Exit statuses of the console entry.
inline constexpr int kExitCompleted = 0;      // every run ended without fatal errors
inline constexpr int kExitFatal = 1;          // a run ended with fatal errors
inline constexpr int kExitNoRun = 2;          // nothing was run (no master file, bad batch list)
inline constexpr int kExitReportsLost = 3;    // completed, but some reports were not written
inline constexpr int kExitTripsLost = 4;      // completed, but trips were lost without a path
inline constexpr int kExitNoSignalStates = 5; // under external signal control, no state ever read
inline constexpr int kExitStopped = 6;        // stopped before its horizon (a stop signal)

// The exit status of one finished run: fatal errors first, then a stop before
// the horizon, then a run under external signal control that never read a
// state, then lost reports, then lost trips.
int run_status(const Sim& s);

// The master-file name that follows the last "--master" of the arguments, or
// an empty name when there is none.
std::string read_cmdl_masterfile(std::span<const std::string> args);

// Threads a class tree build may spread its destinations over, from the last
// "--tree-threads N" of the arguments: 1 without one, 0 when N is not a whole
// number from 1 to kMaxTreeThreads. The trees are the same for every N.
inline constexpr int kMaxTreeThreads = 64;
int                  read_cmdl_tree_threads(std::span<const std::string> args);

// True when the arguments hold "--traces": every run then writes its trace
// files (lane targeting, plug-in hybrid modes) beside its run log.
bool read_cmdl_traces(std::span<const std::string> args);

// The console entry: "--master NAME" runs NAME once; without it the list
// "batch.vlm" in the working directory is run file by file. "--tree-threads N"
// sets the tree-build threads of every run, "--traces" asks every run for its
// trace files.
int velmorantis_main(std::span<const std::string> args, const ConsoleHost& host);

} // namespace velm
