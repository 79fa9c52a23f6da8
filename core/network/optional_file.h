#pragma once
// What the optional network-attribute readers share: the section opening of
// the summary output and the run-log line of a file that stops early.
#include "core/io/writers.h"
#include "core/model/sim.h"

#include <string>
#include <string_view>

namespace velm::netin {

inline constexpr int kTitleEchoChars = 40; // characters of a title that are echoed

// The usual opening of a section: a line of eight blanks, 45 dashes, the heading.
inline void open_section(Units& u, std::string_view heading) {
    wfree(u, kUnitSummary, "        ");
    wfree(u, kUnitSummary, std::string(45, '-'));
    wfree(u, kUnitSummary, heading);
}

// A file that ends early or holds something that is not a number where a
// number belongs: reading stops, what was complete before it stays.
inline void log_stopped(Units& u, std::string_view file, int line) {
    wfree(u, kUnitRunLog, " Error reading ", file, " at line", line,
          " - the rest of the file is not used");
}

} // namespace velm::netin
