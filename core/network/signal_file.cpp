// The signal-timing file (master slot 3, unit 3, kept open for the run) and
// the per-plan signal files that replace its plans during the run.
#include "core/driver/charcon.h"
#include "core/driver/errors.h"
#include "core/io/decimal_code.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/network/network.h"
#include "core/network/required_file.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace velm {

namespace {

constexpr int   kPlanNameWidth = 360;   // the per-plan file name as echoed
constexpr int   kPlanNameMax = 999;     // highest plan number three digits can name
constexpr float kDefaultGreen = 5.0f;   // s: minimum green and extension unless coded
constexpr float kPhaseEndSlack = 0.01f; // s a phase of the signal-timing file may overrun
constexpr int   kActuationDigits = 5;   // one decimal per vehicle class
constexpr float kDefaultOptmet1 = 0.1f;
constexpr float kDefaultOptmet2 = 1.0f;
constexpr float kWholeNumberMax = 1.0e9f; // a signal field below this prints as a whole number

const char* const kPlanFilePrefix = "interact\\signals.";

// One signal record as read, before anything is stored.
struct SignalRecord {
    int   s = 0;   // signal number
    int   act = 0; // actuation code (signal-timing file only)
    float cycle = 0, mincyc = 0, maxcyc = 0, offset = 0, cluster = 0;
    int   n = 0; // phases
    float green[kMaxPhases + 1] = {};
    float mingr[kMaxPhases + 1] = {};
    float maxgr[kMaxPhases + 1] = {};
    float ext[kMaxPhases + 1] = {};
    float inter[kMaxPhases + 1] = {};
    float phasopt = 0;
    float optmet[3] = {};
    float wgt[kClasses + 1] = {};
    int   m = 0; // approach links
    int   appr[kSignalApproaches + 1] = {};
};

// Reads plans from unit 3. `base` is the number of file lines read by earlier
// calls, so that line numbers count on across the plans of the file.
struct PlanReader {
    Sim&        s;
    FreeReader& in;
    int         base;
    bool        per_plan; // a per-plan file: standard records, whole-second greens
    int&        line;     // the line at which the failing read started
    std::string file;     // the file's name, for the error lines

    void start() {
        in.start_record();
        line = base + in.line() + 1;
    }
    bool read(float& v) { return in.next(v) == ReadResult::ok; }
    bool read(int& v) { return in.next(v) == ReadResult::ok; }

    // A fatal finding: the code line and the detail line on the run log.
    template <class... T> bool fatal(int code, const T&... detail) {
        wfree(s.units, kUnitRunLog, "Input File 3  Error ", code);
        wfree(s.units, kUnitRunLog, detail...);
        return false;
    }

    bool offset_in_range(int layout, const SignalRecord& r);
    bool plan(int layout);
    bool record(int layout, SignalRecord& r);
    void store(int layout, const SignalRecord& r);
    bool phase_times(const SignalRecord& r);
};

// The offset field: a time in the cycle of at most kMaxOffset either way (in
// the standard layout a negative value is a cluster, checked with the
// clusters). Anything else would reach past the whole-second arithmetic of the
// cycle position.
bool PlanReader::offset_in_range(int layout, const SignalRecord& r) {
    const bool is_time = per_plan || layout == kSignalExtended;
    const bool ok = std::isfinite(r.offset) &&
                    (is_time ? std::fabs(r.offset) <= kMaxOffset : r.offset <= kMaxOffset);
    if (ok) return true;
    return fatal(131201, "Offset ", r.offset, " in file ", file, " on line ", line,
                 is_time ? " is outside -600 to 600 s" : " is above 600 s");
}

// Reads one record and makes the record checks; false on a failed read or check.
bool PlanReader::record(int layout, SignalRecord& r) {
    auto&      sg = s.signal;
    const bool extended = layout == kSignalExtended;
    start();
    float f1 = 0, nph = 0;
    if (!read(f1)) return false;
    const std::string text = in.last_token();
    if (!read(r.cycle) || !read(r.mincyc) || !read(r.maxcyc)) return false;
    if (extended) {
        if (!read(r.cluster) || !read(r.offset)) return false;
    } else if (!read(r.offset)) {
        return false;
    }
    if (!read(nph)) return false;
    if (!offset_in_range(layout, r)) return false;

    // Per-plan files take the integer part as it stands; the signal-timing
    // file its absolute value, whose decimals carry the actuation code.
    const float sf = per_plan ? f1 : std::fabs(f1);
    if (std::trunc(sf) < 1 || std::trunc(sf) > kMaxSignals) {
        if (std::fabs(sf) < kWholeNumberMax)
            return fatal(131060, "Signal number", netin::trunc_sat(sf), " in signal file",
                         "exceeds maximum number= ", kMaxSignals);
        return fatal(131060, "Signal number", sf, " in signal file",
                     "exceeds maximum number= ", kMaxSignals);
    }
    r.s = netin::trunc_sat(sf);
    std::size_t decimals = 0;
    if (!per_plan && (!decimal_code(text, kActuationDigits, r.act, decimals) ||
                      decimals > static_cast<std::size_t>(kActuationDigits)))
        return fatal(131061, "Signal number ", text, " in signal file",
                     " has more than 5 decimals or an exponent");
    if (sg.cycle(r.s) >= 0)
        return fatal(131070, "Signal number", r.s, "is duplicated on line= ", line);
    r.n = netin::trunc_sat(nph);
    if (r.n > kMaxPhases)
        return fatal(131110, "Number of phases for signal ", r.s, " is ", r.n,
                     " which is greater than the maximum of ", kMaxPhases);
    // A plan without phases has no phase in force; plans taken over during
    // the run are not checked again, so the reader refuses it itself.
    if (r.n < 1)
        return fatal(131100, "Signal ", r.s, " is coded with ", r.n,
                     " phases: a plan needs at least one phase.");

    for (int p = 1; p <= r.n; ++p) {
        if (!read(r.green[p])) return false;
        if (extended && (!read(r.mingr[p]) || !read(r.maxgr[p]) || !read(r.ext[p]))) return false;
        if (!read(r.inter[p])) return false;
    }
    if (!read(r.phasopt)) return false;
    if (!extended) return true;
    if (!read(r.optmet[1]) || !read(r.optmet[2])) return false;
    for (int c = 1; c <= kClasses; ++c)
        if (!read(r.wgt[c])) return false;
    if (!read(r.m)) return false;
    if (r.m < 0 || r.m > kSignalApproaches)
        return fatal(131111, "Number of approach links for signal ", r.s, " is ", r.m,
                     " which is outside 0 to ", kSignalApproaches);
    for (int k = 1; k <= r.m; ++k)
        if (!read(r.appr[k])) return false;
    return true;
}

void PlanReader::store(int layout, const SignalRecord& r) {
    auto&      sg = s.signal;
    const int  sn = r.s;
    const bool extended = layout == kSignalExtended;
    sg.msignal = std::max(sg.msignal, sn);
    sg.cycle(sn) = r.cycle;
    sg.mincycle(sn) = netin::trunc_sat(r.mincyc);
    sg.maxcycle(sn) = netin::trunc_sat(r.maxcyc);
    sg.phases(sn) = r.n;
    sg.phasopt(sn) = r.phasopt;
    for (int p = 1; p <= r.n; ++p) sg.intgrn(sn, p) = r.inter[p];
    if (per_plan) {
        // The offset as coded: a negative value here is a negative offset.
        sg.offset(sn) = r.offset;
        return;
    }

    s.lnkvdet.actsig(sn) = r.act;
    if (extended) {
        sg.ofsopt(sn, 1) = netin::trunc_sat(std::fabs(r.cluster));
        sg.offset(sn) = r.offset;
    } else if (r.offset >= 0) {
        sg.offset(sn) = r.offset;
        sg.ofsopt(sn, 1) = 0;
    } else {
        sg.offset(sn) = 0;
        sg.ofsopt(sn, 1) = netin::trunc_sat(std::fabs(r.offset));
    }
    sg.optmet(sn, 1) = extended ? r.optmet[1] : kDefaultOptmet1;
    sg.optmet(sn, 2) = extended ? r.optmet[2] : kDefaultOptmet2;
    for (int c = 1; c <= kClasses; ++c) sg.actwgt(sn, c) = extended ? r.wgt[c] : 1.0f;
    sg.nactapp(sn) = extended ? static_cast<float>(r.m) : 0.0f;
    for (int k = 1; k <= (extended ? r.m : 0); ++k) sg.act(sn, k) = static_cast<float>(r.appr[k]);

    // Green limits of actuated control. The maximum green leaves the other
    // phases their minimum greens and every intergreen within the maximum cycle.
    float inter = 0;
    for (int p = 1; p <= r.n; ++p) inter += r.inter[p];
    for (int p = 1; p <= r.n; ++p) {
        float mn = extended ? r.mingr[p] : kDefaultGreen;
        if (mn <= 0) mn = kDefaultGreen;
        const float raw = r.maxcyc - inter - static_cast<float>(r.n - 1) * mn;
        float       mx = extended ? r.maxgr[p] : raw;
        if (mx > std::trunc(raw)) mx = std::trunc(raw);
        if (mn > mx) mx = mn;
        sg.mingrn(sn, p, 1) = mn;
        sg.mingrn(sn, p, 2) = mx;
        sg.grnext(sn, p) = extended ? r.ext[p] : kDefaultGreen;
    }
}

// Lays the phases back to back from the cycle start; false when one ends
// after the cycle.
bool PlanReader::phase_times(const SignalRecord& r) {
    auto&     sg = s.signal;
    const int sn = r.s;
    if (per_plan) {
        // Whole-second greens, each phase starting on a whole second.
        int start = 0;
        for (int p = 1; p <= r.n; ++p) {
            const int g = netin::trunc_sat(r.green[p]);
            sg.phstr(sn, p, 1) = static_cast<float>(start);
            sg.phstr(sn, p, 2) = static_cast<float>(static_cast<double>(start) + g);
            sg.phstr(sn, p, 3) = sg.phstr(sn, p, 2) + sg.intgrn(sn, p);
            start = netin::trunc_sat(sg.phstr(sn, p, 3));
            if (static_cast<float>(start) > sg.cycle(sn))
                return fatal(131080, "Phase ", p, " at signal ", sn, " concludes after ", start,
                             "seconds", " but cycle is only", sg.cycle(sn));
        }
        return true;
    }
    float start = 0;
    for (int p = 1; p <= r.n; ++p) {
        sg.phstr(sn, p, 1) = start;
        sg.phstr(sn, p, 2) = start + r.green[p];
        sg.phstr(sn, p, 3) = sg.phstr(sn, p, 2) + sg.intgrn(sn, p);
        for (int k = 1; k <= 3; ++k) sg.phend(sn, p, k) = sg.phstr(sn, p, k);
        start = sg.phstr(sn, p, 3);
        if (start - sg.cycle(sn) > kPhaseEndSlack)
            return fatal(131080, "Phase ", p, " at signal ", sn, " concludes after ", start,
                         "seconds", " but cycle is only", sg.cycle(sn));
    }
    return true;
}

// The nsignals records of one plan, after its plan line.
bool PlanReader::plan(int layout) {
    auto& sg = s.signal;
    for (int sn = 1; sn <= kMaxSignals; ++sn) sg.cycle(sn) = -1;
    sg.msignal = 0;
    if (!per_plan) {
        sg.ofsopt.zero();
        s.lnkvdet.actsig.zero();
    }
    for (int i = 1; i <= sg.nsignals; ++i) {
        SignalRecord r;
        if (!record(layout, r)) return false;
        store(layout, r);
        if (!phase_times(r)) return false;
    }
    return true;
}

// Title line: ftitle(3) and its echo.
bool read_title(Sim& s, FreeReader& in, int& stage, int& line) {
    return netin::read_title(s, in, kSignalSlot, " 3. Open Signal Timing File:",
                             {kShortTitleChars, "     - ", kTitleLineChars}, stage, line);
}

// The body of read3; false at a failed read or check, with stage and line
// telling where.
bool read3_body(Sim& s, const std::string& filnam, int t, int& stage, int& line) {
    auto&  sg = s.signal;
    Units& u = s.units;
    stage = kReadOpen;
    if (t <= 0) {
        s.pathnam.filuse[kSignalSlot] = 0;
        sg.nsigper = sg.dsigper = sg.csigper = 0;
        sg.sigline = 0;
        if (!u.open_read(kUnitSignals,
                         netin::input_name(s, netin::first_chars(filnam, kOpenNameChars))))
            return false;
    } else if (!u.is_input(kUnitSignals)) {
        return false; // the file was never opened: nothing to take the plan from
    }
    FreeReader in(u.in(kUnitSignals));
    const int  base = t <= 0 ? 0 : sg.sigline;
    PlanReader rd{s, in, base, false, line, filnam};

    if (t <= 0) {
        if (!read_title(s, in, stage, line)) return false;

        float v = 0;
        in.start_record();
        if (!rd.read(v)) return false;
        sg.sigformat = v < 0 ? kSignalExtended : kSignalStandard;
        sg.nsignals = netin::trunc_sat(std::fabs(v));
        wfree(u, kUnitSummary, "     - Number of signals    =", sg.nsignals);
        if (v > 0) {
            float plans = 0, duration = 0;
            if (!rd.read(plans) || !rd.read(duration)) return false;
            sg.nsigper = netin::trunc_sat(plans);
            sg.dsigper = netin::trunc_sat(duration);
            wfree(u, kUnitSummary, "     - Number of plans      =", sg.nsigper);
            wfree(u, kUnitSummary, "     - Plan duration (secs) =", sg.dsigper);
            wfree(u, kUnitSummary, "     - Standard Signal Format");
            if (sg.dsigper == 0)
                return rd.fatal(131010, " Signal plan duration ", sg.dsigper, " is equal to 0 ");
            // The time loop divides by the duration and by its negation.
            if (!netin::whole_fits(duration))
                return rd.fatal(131011, " Signal plan duration ", duration,
                                " does not fit in whole seconds ");
            if (sg.nsigper <= 0)
                return rd.fatal(131020, " Number of Signal Plans", sg.nsigper,
                                " is less than or equal to 0 ");
        }
        if (sg.nsignals > kMaxSignals)
            return rd.fatal(131040, " Number of signals ", sg.nsignals,
                            " exceeds maximum= ", kMaxSignals);
    }

    // The next plan; after the last one the plan in force stays.
    ++sg.csigper;
    if (sg.csigper <= sg.nsigper || sg.csigper == 1) {
        wfree(u, kUnitSummary, "     - Current signal plan  =", sg.csigper);
        if (sg.nsignals > 0) {
            stage = kReadData;
            float k = 0;
            rd.start();
            if (!rd.read(k)) return false;
            if (netin::trunc_sat(k) != sg.csigper)
                return rd.fatal(131050, "missing plan", sg.csigper, " in file 3", " noted plan is ",
                                netin::trunc_sat(k));
            if (!rd.plan(sg.sigformat)) return false;
        }
    }
    sg.sigline = base + in.line();
    s.pathnam.filuse[kSignalSlot] = 1;
    stage = kReadComplete;
    return true;
}

// The per-plan file of plan k.
bool readsgnl_body(Sim& s, const std::string& name, int& stage, int& line) {
    auto&  sg = s.signal;
    Units& u = s.units;
    stage = kReadOpen;
    if (!u.open_read(kUnitSignals, name)) return false;
    FreeReader in(u.in(kUnitSignals));
    PlanReader rd{s, in, 0, true, line, name};

    if (!read_title(s, in, stage, line)) return false;

    float count = 0, plans = 0, duration = 0;
    if (in.record(count, plans, duration) != ReadResult::ok) return false;
    wfree(u, kUnitSummary, "     - Number of signals    =", sg.nsignals);
    wfree(u, kUnitSummary, "     - Number of plans      =", plans);
    wfree(u, kUnitSummary, "     - Plan duration (secs) =", duration);
    if (sg.nsignals > 0) {
        float k = 0;
        rd.start();
        if (!rd.read(k)) return false;
        if (!rd.plan(kSignalStandard)) return false;
    }
    s.pathnam.filuse[kSignalSlot] = 1;
    stage = kReadComplete;
    return true;
}

// Both readers end here. A failure counts once itself and once more in
// listerr; a plan read without error during the run writes nothing more.
void finish(Sim& s, bool ok, std::string_view name, int t, int stage, int line) {
    if (!ok) ++s.errcount.errt1;
    if (stage != kReadComplete || t == 0)
        listerr(s, name, kSignalSlot, line, stage, s.errcount.numerr);
}

} // namespace

void read3(Sim& s, const std::string& filnam) {
    section_banner(s.units);
    const int  t = s.control.t;
    int        stage = kReadOpen, line = 0;
    const bool ok = read3_body(s, filnam, t, stage, line);
    finish(s, ok, netin::first_chars(filnam, kOpenNameChars), t, stage, line);
}

void readsgnl(Sim& s, int t) {
    auto&  sg = s.signal;
    Units& u = s.units;
    u.close(kUnitSignals);
    s.pathnam.filuse[kSignalSlot] = 0;
    const int period = std::abs(sg.dsigper);
    const int k = period > 0 ? t / period : 0;

    std::string digits;
    charcon3(k, digits, 0);
    const bool  nameable = k >= 0 && k <= kPlanNameMax;
    std::string name = kPlanFilePrefix + (nameable ? digits : std::to_string(k));

    wfree(u, kUnitSummary, " " + std::string(49, '-'));
    wfree(u, kUnitSummary, "  Read Sgnl time=", t);
    wfree(u, kUnitSummary, "  Read Sgnl freq=", period);
    wfree(u, kUnitSummary, "  Read Sgnl numb=", k);
    wfree(u, kUnitSummary, "  Read Sgnl file=" + fmt_a(name, kPlanNameWidth));

    int  stage = kReadOpen, line = 0;
    bool ok = false;
    if (nameable) {
        ok = readsgnl_body(s, name, stage, line);
    } else {
        // Three digits cannot name this plan; reading plan 000 again instead
        // would silently repeat the first plan.
        wfree(u, kUnitRunLog, "Input File 3  Error ", 131090);
        wfree(u, kUnitRunLog, "Signal plan ", k,
              " cannot be named with three digits:", " no per-plan file after plan ", kPlanNameMax);
    }
    finish(s, ok, name, t, stage, line);
}

} // namespace velm
