#include "core/driver/errors.h"

#include "core/io/writers.h"

#include <algorithm>

namespace velm {

namespace {
constexpr int         kNameWidth = 60;    // characters of a file name in the error lines
constexpr std::size_t kBoxTitleMax = 250; // characters of a box title
constexpr std::size_t kBoxTextMax = 3000; // characters of a box message
constexpr int         kBoxLinesMax = 10;  // lines of a box
constexpr int         kCheckpointW = 200; // width of a checkpoint line

// Appends "*" after the last non-blank of a text cut to `limit` characters
// and returns the length up to the first "*" (the part that is shown).
std::size_t star_end(std::string& text, std::size_t limit) {
    if (text.size() > limit) text.resize(limit);
    text.resize(trim_right(text).size());
    text += '*';
    return text.find('*');
}
} // namespace

void listerr(Sim& s, std::string_view filnam, int filnum, int line, int typerr, int& errnum) {
    Units&            u = s.units;
    const std::string name = fmt_a(filnam, kNameWidth);
    switch (typerr) {
    case kReadComplete:
        if (filnum >= 1) wfree(u, kUnitSummary, " ");
        u.line(kUnitSummary, "     - Complete file: " + fmt_i(filnum, 3) + blanks(3) + name);
        u.line(kUnitSummary,
               "     - " + fmt_a(filnum >= 1 && filnum <= kMaxFiles ? s.filenam.ftitle(filnum)
                                                                    : s.filenam.mastitle,
                                 kTitleLineChars));
        return;
    case kReadOpen:
        wfree(u, kUnitRunLog, "ERROR 1020");
        wfree(u, kUnitRunLog, "Cannot find file: ", filnum, " ", name);
        break;
    case kReadTitle:
        wfree(u, kUnitRunLog, "ERROR 1021");
        wfree(u, kUnitRunLog, "The file ", filnum, name, " contains no data");
        break;
    case kReadData:
        wfree(u, kUnitRunLog, "ERROR 1022");
        wfree(u, kUnitRunLog, "Out of data/data error in file: ", filnum, name);
        wfree(u, kUnitRunLog, "Attempting to read to LINE", line);
        break;
    case kReadOutOfData:
        wfree(u, kUnitRunLog, "ERROR 1023");
        wfree(u, kUnitRunLog, "Out of data: ", filnum, name);
        wfree(u, kUnitRunLog, "Attempting to read to LINE", line);
        break;
    default:
        return;
    }
    wfree(u, kUnitRunLog);
    ++errnum;
    ++s.errcount.errt1;
}

void pop_box(Sim& s, int iy1, std::string& title, std::span<const std::string> mes) {
    Units& u = s.units;

    // The lines, each without its trailing blanks and ended by a carriage
    // return. A count outside the lines given is cut to them.
    const int   n = std::clamp(iy1, 0, std::min(kBoxLinesMax, static_cast<int>(mes.size())));
    std::string text;
    for (int k = 0; k < n && text.size() < kBoxTextMax; ++k) {
        text += trim_right(mes[static_cast<std::size_t>(k)]);
        text += '\r';
    }
    const std::size_t p1 = star_end(title, kBoxTitleMax);
    const std::size_t p2 = star_end(text, kBoxTextMax);

    wfree(u, kUnitConsole, "TITLE = -", title, "-");
    wfree(u, kUnitConsole, "Message = -", text, "-");
    if (s.fe)
        s.fe->core_message(std::string_view(title).substr(0, p1),
                           std::string_view(text).substr(0, p2));
}

void fatal_error(Sim& s) {
    // A termination always counts as a failure, even when no caller counted it.
    s.errcount.errt1 = std::max(s.errcount.errt1, 1);
    std::string       title = "VELMORANTIS TERMINATION REPORT";
    const std::string mes[] = {
        "Traffic Simulation is Terminating Pre-Maturely",
        "Total Number of errors is: " + fmt_i(s.errcount.errt1, 7),
        "",
        "Please consult  RUNERR.OUT file for details",
    };
    pop_box(s, 4, title, mes);
    s.units.close_all();
    throw FatalRunError();
}

void output_not_written(Sim& s, std::string_view name) {
    wfree(s.units, kUnitRunLog, "Output file not written: ", std::string(name));
    ++s.errcount.errt2;
    ++s.errcount.numerr;
}

void rep_err(Sim& s, int t10, int iflag, std::span<std::string> mes) {
    if (s.probe != nullptr) [[unlikely]]
        s.probe->checkpoint(iflag);
    Units& u = s.units;
    // Rewritten from its start each time: the file holds the latest checkpoint.
    if (!u.open_write(kUnitCheckpoint, "rep_err.out")) return;
    const std::string fourth = "Time:" + fmt_i(t10, 10) + "  Code:" + fmt_i(iflag, 10);
    if (mes.size() >= 4) mes[3] = fourth;
    wfree(u, kUnitCheckpoint, " rep_err:", t10, iflag);
    wfree(u, kUnitCheckpoint, fmt_a(fourth, kCheckpointW));
    u.close(kUnitCheckpoint);
}

} // namespace velm
