// Checks of the first signal plan against the model's limits and the links
// that discharge at signals, and the signal clusters.
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/network/network.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr int   kMinPhases = 2;
constexpr int   kMinCycleFloor = 2;       // s, lowest minimum cycle
constexpr int   kMaxCycleLimit = 1800;    // s
constexpr float kMinCycle = 1.0f;         // s
constexpr float kMaxIntergreen = 600;     // s
constexpr float kCycleTolerance = 0.001f; // s between the cycle and the end of the last phase
constexpr float kMinLinkGreen = 1.0f;     // s of green a signalised link should get

const char* const kHeading3 = "Input File 3  Error ";
const char* const kHeading23 = "Input File 2 or 3  Error ";
const char* const kHeading2 = "Input File 2 Error ";

// One finding: heading and code, the detail line and a line holding a blank;
// each counts in numerr, a fatal one in errt1 too.
struct Findings {
    Sim&                       s;
    template <class... T> void warn(const char* heading, int code, const T&... detail) {
        wfree(s.units, kUnitRunLog, heading, code);
        wfree(s.units, kUnitRunLog, detail...);
        wfree(s.units, kUnitRunLog, " ");
        ++s.errcount.numerr;
    }
    template <class... T> bool fatal(const char* heading, int code, const T&... detail) {
        warn(heading, code, detail...);
        ++s.errcount.errt1;
        return false;
    }
};

// The checks of one coded signal; false at a fatal finding.
bool check_signal(Findings& f, const mod_signal& sg, int s) {
    const int n = sg.phases(s);
    if (n < kMinPhases)
        return f.fatal(kHeading3, 131100, "Number of phases for signal ", s,
                       " is less than 2 which is the minimum.");
    if (n > kMaxPhases)
        return f.fatal(kHeading3, 131110, "Number of phases for signal ", s, " is greater than ",
                       kMaxPhases, " which is the maximum.");
    if (sg.mincycle(s) < kMinCycleFloor)
        return f.fatal(kHeading3, 131140, "Minimum cycle length for signal ", s,
                       " is less than 2 which is the minimum.");
    if (sg.maxcycle(s) > kMaxCycleLimit)
        f.warn(kHeading3, 131150, "Maximum cycle length for signal ", s,
               " exceeds 1800 which is recomended maximum.");
    if (sg.cycle(s) < kMinCycle) {
        f.warn(kHeading3, 131160, "Cycle length for signal ", s,
               " is less than 1 which is recom.  minimum.");
        return f.fatal(kHeading3, 131161, "Cycle length for signal ", s,
                       " is less than 1 which is the minimum.");
    }
    if (sg.cycle(s) > static_cast<float>(kMaxCycleLimit))
        f.warn(kHeading3, 131170, "Cycle length for signal ", s,
               " is greater than 1800 which is the maximum.");
    if (sg.offset(s) > kMaxOffset)
        return f.fatal(kHeading3, 131200, "Offset time for signal ", s,
                       " is greater than 600 which is the maximum.");
    const float sum = sg.phstr(s, n, 2) + sg.intgrn(s, n);
    if (std::fabs(sg.cycle(s) - sum) > kCycleTolerance)
        return f.fatal(kHeading3, 131230, "Cycle length for signal ", s, " is ", sg.cycle(s),
                       " which is not equal to the total length of", " all phases= ", sum);
    for (int p = 1; p <= n; ++p) {
        const int g = netin::trunc_sat(sg.phstr(s, p, 2) - sg.phstr(s, p, 1));
        if (g <= 0)
            f.warn(kHeading3, 131250, "Green time for signal ", s, " phase ", p, " is  ", g,
                   " which is less than", 1, " the recom min.");
        if (g < 0)
            return f.fatal(kHeading3, 131251, "Green time for signal ", s, " phase ", p,
                           " is less than 0 which is the absolute minimum.");
        if (sg.intgrn(s, p) > kMaxIntergreen)
            return f.fatal(kHeading3, 131270, "Intergreen time for signal ", s, " phase ", p,
                           " is greater than 600 which is the maximum.");
        if (sg.intgrn(s, p) < 0)
            f.warn(kHeading3, 131281, "Intergreen time for signal ", s, " phase ", p,
                   " is less than 0 which is the abs minimum.");
    }
    return true;
}

// The checks of one link that discharges at signal a; false at a fatal finding.
bool check_link(Findings& f, const Sim& s, int l, long a) {
    const auto& sg = s.signal;
    const auto& phase = s.link3.phase;
    if (a > kMaxSignals || sg.cycle(static_cast<int>(a)) < kMinCycle)
        return f.fatal(kHeading23, 131510, "Link ", l, "is coded to discharge ", " using signal ",
                       a, " which is not coded", " in file 3 ");
    const int sig = static_cast<int>(a);
    for (int q = 1; q <= kPhaseSlots; ++q)
        if (sg.phases(sig) < std::abs(phase(l, q, 1)))
            return f.fatal(kHeading23, 131520, "Link ", l, "is to discharge during ", "phase ",
                           phase(l, q, 1), " which is not coded", " in file 3 ");
    if (phase(l, 1, 1) == 0)
        return f.fatal(kHeading2, 131540, "Link ", l, "is coded to discharge ", " during phase ",
                       phase(l, 1, 1), " which is not legal ");
    float green = 0;
    for (int q = 1; q <= kPhaseSlots; ++q) {
        const int p = std::abs(phase(l, q, 1));
        if (p >= 1 && p <= kMaxPhases) green += sg.phstr(sig, p, 2) - sg.phstr(sig, p, 1);
    }
    if (green < kMinLinkGreen)
        f.warn(kHeading23, 131610, "Link ", l, "is coded to discharge ", " for less than 1 second");
    return true;
}

} // namespace

void checksgnl(Sim& s) {
    const auto& sg = s.signal;
    Findings    f{s};
    if (sg.nsignals > s.set2.nnodes) {
        f.fatal(kHeading3, 131010, "Number of traffic signals ", sg.nsignals,
                " is greater than the number of nodes", s.set2.nnodes, ".");
        return;
    }
    if (sg.nsignals > kMaxSignals) {
        f.fatal(kHeading3, 131020, "Number of traffic signals ", sg.nsignals,
                " is greater than maximum of ", kMaxSignals, ".");
        return;
    }
    const int last_signal = std::min(sg.msignal, kMaxSignals);
    for (int sn = 1; sn <= last_signal; ++sn)
        if (sg.cycle(sn) >= 0 && !check_signal(f, sg, sn)) return;

    const int last_link = std::min(s.link2.mlnum, kMaxLinks);
    for (int l = 1; l <= last_link; ++l) {
        if (s.link4.llength(l) <= 0) continue;
        const long a = std::labs(static_cast<long>(s.link3.tsignal(l)));
        if (a < 1 || a > kLastSignalCode) continue;
        if (!check_link(f, s, l, a)) return;
    }
}

void clussign(Sim& s) {
    auto&     sg = s.signal;
    const int last_signal = std::min(sg.msignal, kMaxSignals);
    for (int sn = 1; sn <= last_signal; ++sn) {
        const int c = sg.ofsopt(sn, 1);
        if (sg.cycle(sn) <= 0 || c <= 0) continue;
        if (c > kMaxSignals) {
            wfree(s.units, kUnitRunLog, kHeading3, 141010);
            wfree(s.units, kUnitRunLog, " Signal  ", sn, " clustered with signal ", c,
                  " which exceeds maximum ");
            ++s.errcount.errt1;
            return;
        }
        if (sg.cycle(c) <= 0) {
            wfree(s.units, kUnitRunLog, kHeading3, 141020);
            wfree(s.units, kUnitRunLog, " Signal  ", sn, " clustered with signal ", c,
                  " which does not exist ");
            ++s.errcount.errt1;
            return;
        }
        sg.ofsopt(sn, 2) = c;
        sg.ofsopt(c, 2) = c;
    }
}

} // namespace velm
