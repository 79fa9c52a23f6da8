// The incident file (master slot 5): incidents that block lanes of one link
// during a time window, and their checks against the links and the horizon.
#include "core/driver/errors.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/network/network.h"
#include "core/network/required_file.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr int   kIncidentSlot = 5;
constexpr float kShortSection = 0.25f; // km: the short layout blocks the link's last 250 m
constexpr int   kShortValues = 5;
constexpr int   kLongValues = 7;
constexpr int   kLaneClosed = 1;         // lane-code digit of a closed lane
constexpr float kDigitShare = 0.1f;      // share of a lane blocked per digit 2..9
constexpr int   kTimeRangeCode = 151142; // start, end or duration beyond whole seconds

struct IncidentReader {
    Sim&        s;
    FreeReader& in;
    int         stage = kReadOpen;
    int         line = 0;

    template <class... T> bool fatal(int code, const T&... detail) {
        wfree(s.units, kUnitRunLog, "Input File 5  Error ", code);
        wfree(s.units, kUnitRunLog, detail...);
        return false;
    }
    bool read_all();
    bool record(bool long_layout);
    bool time_window(int k, float start, float end);
};

// Start and end are stored in whole seconds and the duration is their
// difference: all three must fit the integer fields.
bool IncidentReader::time_window(int k, float start, float end) {
    const double t0 = std::trunc(static_cast<double>(start));
    const double t1 = std::trunc(static_cast<double>(end));
    if (!netin::whole_fits(t0) || !netin::whole_fits(t1) || t1 - t0 > netin::kWholeLimit)
        return fatal(kTimeRangeCode, " Incident ", k, " time window ", start, " to ", end,
                     " s does not fit in whole seconds ");
    s.incident.stinc(k) = static_cast<int>(t0);
    s.incident.eninc(k) = static_cast<int>(t1);
    return true;
}

bool IncidentReader::read_all() {
    auto&  inc = s.incident;
    Units& u = s.units;

    if (!netin::read_title(s, in, kIncidentSlot, " 5. Open Incident Data File:",
                           {kShortTitleChars, "     - ", kWideTitleEchoChars}, stage, line))
        return false;

    int count = 0; // the reader never gives INT_MIN, so -count is defined
    if (in.record(count) != ReadResult::ok) return false;
    const bool long_layout = count < 0;
    inc.nminc = count < 0 ? -count : count;
    wfree(u, kUnitSummary, "     - number of incidents  =", inc.nminc);
    inc.mainc = 0;
    if (inc.nminc > kMaxIncidents)
        return fatal(151010, "Number of incidents listed ", inc.nminc,
                     " Exceeds permitted number of ", kMaxIncidents);

    for (int i = 1; i <= inc.nminc; ++i)
        if (!record(long_layout)) return false;
    stage = kReadComplete;
    return true;
}

bool IncidentReader::record(bool long_layout) {
    auto&       inc = s.incident;
    const auto& llength = s.link4.llength;
    float       f[kLongValues + 1] = {};
    in.start_record();
    line = in.line() + 1;
    for (int j = 1; j <= (long_layout ? kLongValues : kShortValues); ++j)
        if (in.next(f[j]) != ReadResult::ok) return false;

    const int k = netin::trunc_sat(f[1]);
    if (k > kMaxIncidents)
        return fatal(151110, "Incident ", k, " line number  ", line, " exceeds maximum number ",
                     kMaxIncidents);
    if (k < 1)
        return fatal(151120, "Incident number ", k, " on line number ", line,
                     " is less than 1 and illegal ");
    if (inc.lninc(k) != kIncidentUnused)
        return fatal(151130, "Duplicate incident number  ", k, " line number  ", line);

    const float v = f[2];
    if (v < 1.0f)
        return fatal(151140, "Incident number: ", k, " is coded on link: ", v,
                     " which does not exist");
    if (v > static_cast<float>(kMaxLinks))
        return fatal(151150, "Incident number: ", k, " is coded on link: ", v,
                     " which does not exist");
    const int l = netin::trunc_sat(v);
    const int lanes = std::abs(s.link1.nulans(l));

    if (!long_layout) {
        if (llength(l) <= 0 || lanes == 0)
            return fatal(151150, "Incident number: ", k, " is coded on link: ", l,
                         " which does not exist");
        inc.lninc(k) = l;
        if (!time_window(k, f[4], f[5])) return false;
        // A link shorter than the section is blocked from its upstream end.
        inc.inclng(k, 1) = std::max(0.0f, llength(l) - kShortSection);
        inc.inclng(k, 2) = llength(l);
        for (int j = 1; j <= kMaxLinkLanes; ++j) inc.lane(k, j) = f[3] / static_cast<float>(lanes);
    } else {
        inc.lninc(k) = l;
        const float S = f[3], E = f[4];
        if (S < 0)
            return fatal(151132, " Incident", k, " start location is  ", S, " is less than  ",
                         0.0f);
        if (S > llength(l))
            return fatal(151133, " Incident ", k, " start location is  ", S, " is greater than  ",
                         llength(l));
        inc.inclng(k, 1) = S;
        if (E < 0)
            return fatal(151132, " Incident ", k, " end location is  ", E, " is less than  ", 0.0f);
        if (E > llength(l))
            return fatal(151133, " Incident ", k, " end location is  ", E, " is greater than  ",
                         llength(l));
        inc.inclng(k, 2) = E;
        if (S > E)
            return fatal(151134, " Incident ", k, " start location is  ", S,
                         " is after its end location ", E);
        if (!time_window(k, f[5], f[6])) return false;

        // Lane j takes digit j of the code counted from the right.
        const double code = std::round(static_cast<double>(f[7]));
        if (code < 0)
            return fatal(151137, " Incident ", k, " on link ", l, " has the lane code ", f[7],
                         " which is negative ");
        double place = 1;
        for (int j = 1; j <= kMaxLinkLanes; ++j, place *= 10) {
            const int digit = static_cast<int>(std::fmod(std::trunc(code / place), 10.0));
            if (digit >= 1 && j > lanes)
                return fatal(151136, " Incident ", k, " on link ", l, " impacts lane ", j,
                             " which does not exist ");
            inc.lane(k, j) = digit == 0             ? 0.0f
                             : digit == kLaneClosed ? -1.0f
                                                    : -kDigitShare * static_cast<float>(digit);
        }
    }

    if (inc.stinc(k) >= inc.eninc(k))
        return fatal(151140, " End of incident ", inc.eninc(k), " preceeds ", "start of incident ",
                     inc.stinc(k));
    inc.tminc(k) = inc.eninc(k) - inc.stinc(k);
    inc.mainc = std::max(inc.mainc, k);
    return true;
}

} // namespace

void read5(Sim& s, const std::string& filnam) {
    section_banner(s.units);
    s.pathnam.filuse[kIncidentSlot] = 0;
    s.incident.lninc.fill(kIncidentUnused);

    const std::string name = netin::first_chars(filnam, kOpenNameChars);
    if (netin::read_required_by<IncidentReader>(
            s, {kIncidentSlot, name, netin::input_name(s, name)}, false))
        s.pathnam.filuse[kIncidentSlot] = 1;
}

void checkinc(Sim& s) {
    const auto& inc = s.incident;
    const int   horizon = s.set1.simtim1;
    auto        finding = [&s](bool fatal, int code, const auto&... detail) {
        wfree(s.units, kUnitRunLog, "Input File 5  Error ", code);
        wfree(s.units, kUnitRunLog, detail...);
        wfree(s.units, kUnitRunLog, " ");
        ++s.errcount.numerr;
        if (fatal) ++s.errcount.errt1;
    };
    for (int i = 1; i <= std::min(inc.mainc, kMaxIncidents); ++i) {
        const int l = inc.lninc(i);
        if (l == kIncidentUnused) continue;
        if (inc.stinc(i) > horizon)
            finding(false, 152220, "The incident on link ", l,
                    " begins after the simulation has ended.");
        if (inc.eninc(i) > horizon)
            finding(false, 152240, "The incident on link ", l,
                    " continues after the simulation has ended.");
        // A link number outside the table is reported rather than looked up.
        if (l < 1 || l > kMaxLinks) {
            finding(true, 152300, "Link ", l, " :on which incident ", "number ", i,
                    " was specified: does not exist.");
            return;
        }
        if (s.link4.llength(l) <= 0) {
            finding(true, 152320, "Link ", l, " :on which incident ", "number ", i,
                    " was specified: does not exist.");
            return;
        }
    }
}

} // namespace velm
