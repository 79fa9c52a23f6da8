// Maximum speed per vehicle class from the optional "mxvehspd.dat".
#include "core/demand/demand.h"
#include "core/demand/demand_files.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"

#include <string>

namespace velm {

namespace {

// The five caps; false leaves every class unrestricted.
bool read_caps(Sim& s) {
    auto& u = s.units;
    if (!u.open_read(kUnitInput, netin::input_name(s, "mxvehspd.dat"))) return false;
    wfree(u, kUnitSummary, "     - max vehicle speed   file opened ");
    FreeReader  r(u.in(kUnitInput));
    std::string title;
    if (!r.text_line(title)) return false;
    wfree(u, kUnitSummary, "     - max vehicle speed file : ",
          std::string(trim_right(title.substr(0, kShortTitleChars))));
    int caps[kClasses] = {};
    r.start_record();
    for (int& c : caps)
        if (r.next(c) != ReadResult::ok) return false;
    for (int c = 1; c <= kClasses; ++c) s.mxvehspd.mspvh(c) = caps[c - 1];
    for (int c = 1; c <= kClasses; ++c)
        wfree(u, kUnitSummary, "    - Max. speed veh type:", c, " =", s.mxvehspd.mspvh(c));
    wfree(u, kUnitSummary, "     - input of maximum vehicle speed complete ");
    return true;
}

} // namespace

void rdmxvhsp(Sim& s) {
    auto& u = s.units;
    section_heading(u, kUnitSummary, " 31. Max Vehicle Speed - inputs  ");
    s.mxvehspd.reset();
    if (!read_caps(s)) {
        s.mxvehspd.reset();
        wfree(u, kUnitSummary, "     - vehicle type speeds unrestricted ");
    }
    u.close(kUnitInput);
    wfree(u, kUnitSummary, "     ");
}

} // namespace velm
