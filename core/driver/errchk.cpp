#include "core/driver/errchk.h"

#include "core/io/free_reader.h"
#include "core/io/writers.h"

#include <string>

namespace velm {

namespace {
constexpr int kTitleKept = 40; // characters of the title shown in the run log
constexpr int kPerLine = 10;   // switch values per run-log line
constexpr int kValueWidth = 5;
constexpr int kLineIndent = 10;

// Reads the title and the 50 values; false at the first fault (no title, a
// value that is not a whole number, or an end before the 50th value).
bool read_switches(Sim& s, FreeReader& rd) {
    std::string title;
    if (!rd.text_line(title)) return false;
    wfree(s.units, kUnitRunLog, "     - Error check file:", fmt_a(title, kTitleKept));
    rd.start_record();
    for (int k = 1; k <= kErrSwitches; ++k)
        if (rd.next(s.errflg.errchk[k]) != ReadResult::ok) return false;
    return true;
}
} // namespace

void rderrchk(Sim& s) {
    auto& errchk = s.errflg.errchk;
    for (int& v : errchk) v = 0;

    Units& u = s.units;
    wfree(u, kUnitRunLog, "        ");
    section_heading(u, kUnitRunLog, " 11. Error check flag settings      ");

    const int         lp = s.pathnam.lpath[1];
    const std::string name =
        (lp > 0 ? s.filenam.path1.substr(0, static_cast<std::size_t>(lp)) : std::string()) +
        "err_chk.dat";
    bool ok = false;
    if (u.open_read(kUnitInput, name)) {
        FreeReader rd(u.in(kUnitInput));
        ok = read_switches(s, rd);
        u.close(kUnitInput);
    }
    if (!ok) {
        wfree(u, kUnitRunLog, "     - No error check values set ");
        return;
    }
    for (int first = 1; first <= kErrSwitches; first += kPerLine) {
        std::string line = blanks(kLineIndent);
        for (int k = first; k < first + kPerLine; ++k) line += fmt_i(errchk[k], kValueWidth);
        u.line(kUnitRunLog, line);
    }
    wfree(u, kUnitRunLog, "     - Read in error check values");
}

} // namespace velm
