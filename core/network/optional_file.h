#pragma once
// What the optional network-attribute readers share: the section opening of
// the summary output and the run-log line of a file that stops early.
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/model/sim.h"

#include <string>
#include <string_view>

namespace velm::netin {

// The usual opening of a section: a line of eight blanks, 45 dashes, the heading.
inline void open_section(Units& u, std::string_view heading) {
    wfree(u, kUnitSummary, "        ");
    section_heading(u, kUnitSummary, heading);
}

// A file that ends early or holds something that is not a number where a
// number belongs: reading stops, what was complete before it stays.
inline void log_stopped(Units& u, std::string_view file, int line) {
    wfree(u, kUnitRunLog, " Error reading ", file, " at line", line,
          " - the rest of the file is not used");
}

// Reads the title line that opens an optional file and echoes it to the
// summary output after `label`, cut to the short title width; false when the
// line cannot be read.
inline bool read_echoed_title(Sim& s, FreeReader& in, std::string_view label) {
    std::string title;
    if (!in.text_line(title)) return false;
    wfree(s.units, kUnitSummary, label, fmt_a(title, kShortTitleChars));
    return true;
}

enum class OptionalRead { absent, complete, stopped };

// Opens the optional file `name` on unit 1 and hands it to `read` (a callable
// taking the FreeReader and returning true when it read to the end). An
// opened file is announced on the run log with `opened`; a read that stops
// early gets the run-log line of log_stopped, naming `file`.
template <class Read>
OptionalRead read_optional(Sim& s, const std::string& name, std::string_view file,
                           std::string_view opened, Read&& read) {
    auto& u = s.units;
    if (!u.open_read(kUnitInput, name)) return OptionalRead::absent;
    wfree(u, kUnitRunLog, opened);
    FreeReader in(u.in(kUnitInput));
    const bool complete = read(in);
    const int  stopped_at = in.line();
    u.close(kUnitInput);
    if (complete) return OptionalRead::complete;
    log_stopped(u, file, stopped_at);
    return OptionalRead::stopped;
}

} // namespace velm::netin
