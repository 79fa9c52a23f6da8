#pragma once
// Error reporting shared by every reader, check and run-time routine: the
// reader epilogue `listerr`, the message box `pop_box`, `fatal_error` and the
// checkpoint trace `rep_err`. Lines go to the run log "runerr.out" (unit 9)
// and, for completed files, to the summary output (unit 10).
#include "core/model/sim.h"

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velm {

// Thrown by fatal_error. The entry points (console program, core thread of the
// desktop program) catch it and end the process with a non-zero status after
// the run's files have been flushed and closed.
class FatalRunError : public std::runtime_error {
  public:
    FatalRunError() : std::runtime_error("VELMORANTIS TERMINATION REPORT") {}
};

// What a reader was doing when it stopped (listerr's typerr).
enum ReadStage : int {
    kReadComplete = 0,  // the whole file was read
    kReadOpen = 1,      // opening: "ERROR 1020"
    kReadTitle = 2,     // the title line: "ERROR 1021"
    kReadData = 3,      // a data line (bad value or early end): "ERROR 1022"
    kReadOutOfData = 4, // "ERROR 1023"
};

// The file number under which the fixed-name optional files of the input
// directory ("ops_gaps.dat", "veh_parameters.dat") are listed: they have no
// master slot, and 0 would name the master file.
inline constexpr int kFixedNameFile = 99;

// The reader epilogue. filnam: the name as the master file gives it; filnum:
// the master slot (0 for the master file); line: the line being read;
// typerr: a ReadStage (other values write nothing); errnum: the counter to
// raise (callers pass s.errcount.numerr).
void listerr(Sim& s, std::string_view filnam, int filnum, int line, int typerr, int& errnum);

// Hands a message box (title and iy1 lines, 1..10) to the front end and echoes
// it on the console. The title comes back with "*" after its last non-blank.
void pop_box(Sim& s, int iy1, std::string& title, std::span<const std::string> mes);

// Shows the termination box and ends the run (throws FatalRunError).
[[noreturn]] void fatal_error(Sim& s);

// An output file that could not be created where the run was told to write
// it: the run log names it (after the caller's own line), and it counts among
// the run's errors (numerr, and errt2, the count of reports not written, which
// the run summary adds to its error count) without stopping the run; the exit
// status then says some reports were not written.
void output_not_written(Sim& s, std::string_view name);

// Checkpoint trace into "rep_err.out": only the latest call is kept.
void rep_err(Sim& s, int t10, int iflag, std::span<std::string> mes);

} // namespace velm
