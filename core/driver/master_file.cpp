// The master file: run title, horizon and seed, output rates, route-choice
// settings per class, the two directories and the 31 numbered file names.
#include "core/driver/driver.h"

#include "core/driver/errchk.h"
#include "core/driver/errors.h"
#include "core/driver/random.h"
#include "core/driver/run_text.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/routing/tree_schedule.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

namespace velm {

namespace {

constexpr int kRequiredSlots = 19;   // slots 1..19 must be named
constexpr int kMinTreeInterval = 60; // s, shortest tree update interval
// A horizon of 10^7 s or more does not fit the fixed-width time texts of the
// run (the external-program commands print the second in 7 characters).
constexpr double kHorizonLimit = 1.0e7;

// Logical lines of the master file, as its error messages count them.
constexpr int kLineTitle = 1;
constexpr int kLineParams = 2;
constexpr int kLineRoute = 3;
constexpr int kLineInputDir = 4;
constexpr int kLineOutputDir = 5;
constexpr int kLineFirstName = 6; // slot k is on logical line 5 + k

constexpr int kErrNegative = 110009;
constexpr int kErrTreeInterval = 110010;
constexpr int kErrHorizon = 110011;
constexpr int kErrRoutingMethod = 110012; // a routing method this version does not provide
constexpr int kErrSeed = 110013;          // a seed with more than three decimals
constexpr int kSeedDecimals = 3;          // the seed is the horizon's first three decimals

enum class Failure { none, no_name, not_found, title, params, names, long_name };

struct Outcome {
    Failure failure = Failure::none;
    int     line = 0;            // logical line reached
    bool    fatal_check = false; // 110009 .. 110013: straight to the closing summary
};

struct Box {
    const char*              title;
    std::vector<std::string> lines;
};

Box failure_box(Failure f) {
    switch (f) {
    case Failure::no_name:
        return {"Error in Finding Master File",
                {"PROBLEM IDENTIFIED:", "- No master file specified on command line", "",
                 "POTENTIAL SOLUTION:", "- Include name of master file (master.vlm)",
                 "  on command line when run VELMORANTIS", "- Also include path to master file",
                 "  example:  velmsims run1\\master.vlm"}};
    case Failure::not_found:
        return {"Error in Finding Master File",
                {"PROBLEM IDENTIFIED:", "- Master file on command line could not be found", "",
                 "LIKELY SOLUTIONS:", "- Include complete master file on command line",
                 "  example:  velmsims master.vlm", "- Include path to master file if needed",
                 "  example:  velmsims run1\\master.vlm"}};
    case Failure::title:
        return {"Error while reading Master File",
                {"PROBLEM IDENTIFIED:", "- Error while reading line 1", "", "POTENTIAL SOLUTION:",
                 "- Ensure file is not empty", "- Ensure no other program is using file"}};
    case Failure::params:
        return {"Error while reading Master File",
                {"PROBLEM IDENTIFIED:", "- Error while reading line 2 to 5", "",
                 "POTENTIAL SOLUTION:", "- Ensure that file contains no tabs",
                 "- Ensure numeric data on line 2 and 3"}};
    case Failure::names:
        return {"Error while reading Master File",
                {"PROBLEM IDENTIFIED:", "- Error while reading names in master file", "",
                 "POTENTIAL SOLUTION:", "- Ensure that files 1 to 19 are present",
                 "  if file not used enter   none or NONE"}};
    case Failure::long_name:
        return {"Error while reading Master File",
                {"PROBLEM IDENTIFIED:", "- A file name is longer than 200 characters", "",
                 "POTENTIAL SOLUTION:", "- Shorten the file name or its path",
                 "- See runerr.out for the file number"}};
    case Failure::none:
        break;
    }
    return {"", {}};
}

// listerr's error kind of a failure.
int error_kind(Failure f) {
    switch (f) {
    case Failure::none:
        return kReadComplete;
    case Failure::no_name:
    case Failure::not_found:
        return kReadOpen;
    case Failure::title:
        return kReadTitle;
    default:
        return kReadData;
    }
}

// A master-file error found by a value check: no box, no listerr.
void master_check_error(Sim& s, int code) {
    wfree(s.units, kUnitRunLog, " FATAL ERROR");
    wfree(s.units, kUnitRunLog, " Master File Error ", code);
    s.errcount.errt1 += 1;
}

// Text then an integer in 8 columns (the run-parameter echo lines).
std::string text_i8(std::string_view text, int v) {
    return std::string(text) + fmt_i(v, 8);
}

int output_instants(int simtim1, int rate) {
    if (rate > 0) return simtim1 / rate + 1;
    if (rate < 0) return simtim1 / -rate;
    return 0;
}

// The directory of a master-file line: the text before its first "*", used as
// a plain prefix; none when it has fewer than two characters.
void directory(std::string& path, int& lpath) {
    const std::size_t star = path.find('*');
    const int         len = star == std::string::npos ? 0 : static_cast<int>(star);
    if (len < 2) {
        lpath = 0;
        path.clear();
    } else {
        lpath = len;
        path.resize(static_cast<std::size_t>(len));
    }
}

// What a routing method lacks, as the refusal names it; null for the methods
// 1 to 10, which all give their trips paths. Any other code, 0 included,
// would leave the class's trips without a first link: it is refused before
// any trip is scheduled rather than the trips lost one by one during the run.
const char* missing_path_source(int method) {
    constexpr int kRoutingMethods = 10;
    return method >= 1 && method <= kRoutingMethods ? nullptr : " (no such method),";
}

// Route-choice lines. False when a line cannot be read as asked.
bool read_route_choice(Sim& s, FreeReader& in, int eqtr) {
    auto&                       tremet = s.set1.tremet;
    auto&                       trefrq = s.set1.trefrq;
    auto&                       trnd = s.set1.trnd;
    std::array<int, kClasses>   iv{};
    std::array<float, kClasses> rv{};
    auto                        ints = [&]() {
        in.start_record();
        return in.next(std::span<int>(iv)) == ReadResult::ok;
    };
    auto reals = [&]() {
        in.start_record();
        if (in.next(std::span<float>(rv)) != ReadResult::ok) return false;
        for (int vt = 1; vt <= kClasses; ++vt) trnd(vt) = rv[static_cast<std::size_t>(vt - 1)];
        return true;
    };
    auto at = [](const std::array<int, kClasses>& a, int vt) {
        return a[static_cast<std::size_t>(vt - 1)];
    };
    switch (eqtr) {
    case 1:
        for (int vt = 1; vt <= kClasses; ++vt) {
            tremet(vt) = 2;
            trefrq(vt, 1) = 0;
            trefrq(vt, 2) = 0;
            trefrq(vt, 3) = 1;
            trefrq(vt, 4) = 20;
            trefrq(vt, 5) = 2;
            trefrq(vt, 6) = 1;
            trnd(vt) = 0.0f;
        }
        return true;
    case 2:
        if (!ints()) return false;
        for (int vt = 1; vt <= kClasses; ++vt) {
            const int interval = at(iv, vt);
            tremet(vt) = interval < 0 ? 1 : 2;
            trefrq(vt, 1) = interval < 0 ? -interval : interval;
            trefrq(vt, 2) = trefrq(vt, 1);
            trefrq(vt, 3) = 1;
            trefrq(vt, 4) = 20;
            trefrq(vt, 5) = 2;
            trefrq(vt, 6) = 1;
        }
        return reals();
    case 3:
        if (!ints()) return false;
        for (int vt = 1; vt <= kClasses; ++vt) tremet(vt) = at(iv, vt);
        for (int col = 1; col <= 6; ++col) {
            if (!ints()) return false;
            for (int vt = 1; vt <= kClasses; ++vt) trefrq(vt, col) = at(iv, vt);
        }
        if (!reals()) return false;
        for (int vt = 1; vt <= kClasses; ++vt) {
            if (trefrq(vt, 2) >= 2 && trefrq(vt, 1) <= 0) trefrq(vt, 1) = trefrq(vt, 2);
            if (trefrq(vt, 1) >= 2 && trefrq(vt, 2) >= 2)
                trefrq(vt, 1) = trefrq(vt, 2) = std::min(trefrq(vt, 1), trefrq(vt, 2));
        }
        return true;
    default:
        return true; // other codes read and set nothing
    }
}

// A slot name: the whole line without trailing blanks (leading blanks kept).
// False when it is longer than a slot holds.
bool slot_name(std::string_view text, std::string& name) {
    name = std::string(trim_right(text));
    return static_cast<int>(name.size()) <= kMasterNameChars;
}

void long_name_message(Sim& s, int slot, const std::string& name) {
    wfree(s.units, kUnitRunLog, " Master File Error: the name of file", slot, " has",
          static_cast<int>(name.size()), " characters; at most", kMasterNameChars, " are allowed");
}

// A stage of the master file stops the read with an outcome, or lets the next
// stage go on (no value).
using Stop = std::optional<Outcome>;

Stop fail(Failure f, int line) {
    return Outcome{f, line, false};
}

// A value check that fails: straight to the closing summary.
Stop check_failed(Sim& s, int code, int line) {
    master_check_error(s, code);
    return Outcome{Failure::none, line, true};
}

// Line 1: the run title.
Stop read_title(Sim& s, FreeReader& in) {
    std::string text;
    if (!in.text_line(text)) return fail(Failure::title, kLineTitle);
    s.filenam.mastitle = std::string(trim_right(
        std::string_view(text).substr(0, std::min<std::size_t>(text.size(), kTitleLineChars))));
    s.units.line(kUnitRunLog,
                 "     - Master file title: " + fmt_a(s.filenam.mastitle, kTitleLineChars));
    wfree(s.units, kUnitRunLog, " ");
    return std::nullopt;
}

// The seed written in the horizon's text: its first three decimals as written
// (missing ones count as 0), so "3600.312" gives 312 and "60.3" gives 300;
// an exponent moves the point first ("3.600311e3" gives 311). The digits are
// taken from the text, never from the converted value, which cannot hold most
// decimal fractions exactly. False when a fourth or later decimal is not 0: a
// seed the run would have to cut short.
bool seed_from_horizon(std::string_view text, int& seed) {
    // Far beyond any line's digits, small enough never to overflow the point.
    constexpr long kExponentReach = 1L << 20;
    std::string    digits; // mantissa digits, point removed
    long           point = -1;
    std::size_t    k = 0;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
    for (; k < text.size(); ++k) {
        const char c = text[k];
        if (c == '.') {
            point = static_cast<long>(digits.size());
        } else if (c >= '0' && c <= '9') {
            digits += c;
        } else {
            break;
        }
    }
    if (point < 0) point = static_cast<long>(digits.size());
    if (k < text.size()) { // an exponent: E, D or Q with a signed whole number
        const long exponent = std::strtol(std::string(text.substr(k + 1)).c_str(), nullptr, 10);
        point += std::clamp(exponent, -kExponentReach, kExponentReach);
    }
    seed = 0;
    for (long d = 0; d < static_cast<long>(digits.size()); ++d) {
        const long place = d - point; // 0 for the first decimal
        if (place < 0) continue;
        const int value = digits[static_cast<std::size_t>(d)] - '0';
        if (place >= kSeedDecimals) {
            if (value != 0) return false;
            continue;
        }
        int weight = 1;
        for (long p = place + 1; p < kSeedDecimals; ++p) weight *= 10;
        seed += value * weight;
    }
    return true;
}

// Line 2: horizon and seed, the output rates and the master-file format; the
// format decides how many route-choice lines follow.
Stop read_run_parameters(Sim& s, FreeReader& in, int& eqtr) {
    Units& u = s.units;
    double T = 0.0;
    float  rate1 = 0.0f, rate2 = 0.0f, format = 0.0f, rate4 = 0.0f;
    int    pd1 = 0, pd2 = 0, pd4 = 0;
    in.start_record();
    ReadResult        read = in.next(T);
    const std::string horizon_text = in.last_token();
    if (read == ReadResult::ok) read = in.next(rate1);
    if (read == ReadResult::ok) read = in.next(rate2);
    if (read == ReadResult::ok) read = in.next(format);
    if (read == ReadResult::ok) read = in.next(rate4);
    if (read != ReadResult::ok || !truncate_to_int(static_cast<double>(format + 0.001f), eqtr) ||
        !truncate_to_int(rate1, pd1) || !truncate_to_int(rate2, pd2) ||
        !truncate_to_int(rate4, pd4))
        return fail(Failure::params, kLineParams);
    if (T < 0.0 && eqtr != 3) {
        const Stop stop = check_failed(s, kErrNegative, kLineParams);
        wfree(u, kUnitRunLog, " Simulation cannot be negative");
        return stop;
    }
    const double absT = std::fabs(T);
    if (absT >= kHorizonLimit) {
        const Stop stop = check_failed(s, kErrHorizon, kLineParams);
        wfree(u, kUnitRunLog, " Simulation time is too long: it must be below",
              static_cast<int>(kHorizonLimit), " s");
        return stop;
    }
    auto& set1 = s.set1;
    auto& trees = s.trees;
    set1.simtim1 = static_cast<int>(absT);
    if (!seed_from_horizon(horizon_text, s.rndnum.inseed)) {
        const Stop stop = check_failed(s, kErrSeed, kLineParams);
        wfree(u, kUnitRunLog,
              " The seed is the first three decimals of the simulation time: " + horizon_text +
                  " has more");
        return stop;
    }
    trees.pd_ot1 = pd1;
    trees.pd_ot2 = pd2;
    trees.pd_ot3 = 0;
    trees.pd_ot4 = pd4;
    u.line(kUnitRunLog, text_i8("     - Simulation Time (sec): ", set1.simtim1));
    u.line(kUnitRunLog, text_i8("     - Seed Number is       : ", s.rndnum.inseed));
    u.line(kUnitRunLog, text_i8("     - Output Rate 1 (sec)  : ", trees.pd_ot1));
    u.line(kUnitRunLog, text_i8("     - Output Rate 2 (sec)  : ", trees.pd_ot2));
    u.line(kUnitRunLog, text_i8("     - Output Rate 3 (sec)  : ", trees.pd_ot3));
    u.line(kUnitRunLog, text_i8("     - Output Rate 4 (sec)  : ", trees.pd_ot4));
    wfree(u, kUnitRunLog, "  ");
    wfree(u, kUnitRunLog, "     - Master File Format   : ", eqtr);
    wfree(u, kUnitRunLog, "  ");
    setseed(s.rndnum.seed, s.rndnum.inseed);
    return std::nullopt;
}

// The route-choice lines, their checks, and the counts of output instants.
Stop read_route_settings(Sim& s, FreeReader& in, int eqtr) {
    Units& u = s.units;
    auto&  set1 = s.set1;
    auto&  trees = s.trees;
    if (!read_route_choice(s, in, eqtr)) return fail(Failure::params, kLineRoute);
    for (int vt = 1; vt <= kClasses; ++vt) {
        const long interval = std::labs(static_cast<long>(set1.trefrq(vt, 1)));
        if (interval > 0 && interval < kMinTreeInterval) {
            const Stop stop = check_failed(s, kErrTreeInterval, kLineRoute);
            wfree(u, kUnitRunLog, " Abs tree update freq. =", set1.trefrq(vt, 1), " for vt =", vt,
                  " cannot be less than=", kMinTreeInterval);
            return stop;
        }
    }
    for (int vt = 1; vt <= kClasses; ++vt) {
        const char* missing = missing_path_source(set1.tremet(vt));
        if (missing != nullptr) {
            const Stop stop = check_failed(s, kErrRoutingMethod, kLineRoute);
            wfree(u, kUnitRunLog, " Vehicle class", vt, " uses routing method", set1.tremet(vt),
                  missing, " which this version does not provide");
            return stop;
        }
    }
    trees.np_in = 0;
    set1.simtim10 = 10 * set1.simtim1;
    trees.np_ot1 = output_instants(set1.simtim1, trees.pd_ot1);
    trees.np_ot2 = output_instants(set1.simtim1, trees.pd_ot2);
    return std::nullopt;
}

// The input and output directory lines.
Stop read_directories(Sim& s, FreeReader& in) {
    Units& u = s.units;
    auto&  fn = s.filenam;
    auto   dir_line = [&in](std::string& path) {
        std::string text;
        if (!in.text_line(text)) return false;
        path = std::string(trim_right(
              std::string_view(text).substr(0, std::min<std::size_t>(text.size(), kTitleLineChars))));
        return true;
    };
    if (!dir_line(fn.path1)) return fail(Failure::params, kLineInputDir);
    if (!dir_line(fn.path2)) return fail(Failure::params, kLineOutputDir);
    wfree(u, kUnitRunLog, " ");
    u.line(kUnitRunLog, "     - Input  Subdirectory  : " + fmt_a(fn.path1, kTitleLineChars));
    u.line(kUnitRunLog, "     - Output Subdirectory  : " + fmt_a(fn.path2, kTitleLineChars));
    wfree(u, kUnitRunLog, " ");
    directory(fn.path1, s.pathnam.lpath[1]);
    directory(fn.path2, s.pathnam.lpath[2]);
    return std::nullopt;
}

// Names of slots 1..19 (required) and 20..31 (optional).
Stop read_slot_names(Sim& s, FreeReader& in) {
    Units& u = s.units;
    auto&  fn = s.filenam;
    for (int k = 1; k <= kMasterSlots; ++k) {
        const int   line = kLineFirstName + k - 1;
        std::string text;
        if (!in.text_line(text)) {
            if (k <= kRequiredSlots) return fail(Failure::names, line);
            // A missing optional line and every one after it take the defaults.
            for (int j = k; j <= kMasterSlots; ++j)
                fn.files(j) = j == 28   ? "summary.out"
                              : j == 30 ? "timespac.out"
                              : j == 31 ? "assign.out"
                                        : "none";
            if (k <= 28)
                u.line(kUnitRunLog, "     - Summary output   : " + fmt_a(fn.files(28), 200));
            break;
        }
        if (!slot_name(text, fn.files(k))) {
            long_name_message(s, k, fn.files(k));
            fn.files(k).clear();
            return fail(Failure::long_name, line);
        }
        if (k == 28) u.line(kUnitRunLog, "     - Summary output   : " + fmt_a(fn.files(28), 200));
    }
    return std::nullopt;
}

// A class routed on external trees needs the slot that holds them: routing
// method 6 reads slot 8, method 7 slot 9. Without it every trip of the class
// would find no path.
Stop check_external_tree_slots(Sim& s) {
    struct Source {
        int method, slot;
    };
    constexpr std::array<Source, 2> kSources{
        {{routing::kExternalSlot8Method, 8}, {routing::kExternalSlot9Method, 9}}};
    for (int vt = 1; vt <= kClasses; ++vt) {
        for (const Source& src : kSources) {
            if (s.set1.tremet(vt) != src.method) continue;
            const std::string& name = s.filenam.files(src.slot);
            if (!name.empty() && !slot_unused(name)) continue;
            const Stop stop = check_failed(s, kErrRoutingMethod, kLineFirstName + src.slot - 1);
            wfree(s.units, kUnitRunLog, " Vehicle class", vt, " uses routing method", src.method,
                  " (external trees) but slot", src.slot, " names no file");
            return stop;
        }
    }
    return std::nullopt;
}

// Option switches, output files, then the echo on the summary output.
void echo_run_settings(Sim& s) {
    Units&      u = s.units;
    const auto& set1 = s.set1;
    const auto& trees = s.trees;
    rderrchk(s);
    filename(s);
    u.line(kUnitSummary, text_i8("     - Simulation Time   : ", set1.simtim1));
    u.line(kUnitSummary, text_i8("     - Seed Number       : ", s.rndnum.seed[1]));
    u.line(kUnitSummary, text_i8("     - Data Output Rate 1: ", trees.pd_ot1));
    u.line(kUnitSummary, text_i8("     - Data Output Rate 2: ", trees.pd_ot2));
    u.line(kUnitSummary, text_i8("     - Data Output Rate 3: ", trees.pd_ot3));
    u.line(kUnitSummary, text_i8("     - Data Output Rate 4: ", trees.pd_ot4));
    wfree(u, kUnitSummary, "  ");
    wfree(u, kUnitSummary, "     - Tree Update Interval-Method-Error ");
    for (int vt = 1; vt <= kClasses; ++vt) {
        std::string l = "     - vt=" + fmt_i(vt, 3) + "  " + fmt_i(set1.tremet(vt), 6) + "  ";
        for (int col = 1; col <= 6; ++col) l += fmt_i(set1.trefrq(vt, col), 6);
        l += " " + fmt_f(set1.trnd(vt), 5, 2);
        u.line(kUnitSummary, l);
    }
    wfree(u, kUnitSummary, "  ");
    u.line(kUnitSummary, text_i8("     - Err check level 1 : ", s.errcount.errl1));
    u.line(kUnitSummary, text_i8("     - Err check level 2 : ", s.errcount.errl2));
}

// The master file up to the echo on the summary output.
Outcome read_master(Sim& s) {
    Units&            u = s.units;
    const std::string name(trim_right(s.master.mastfile));
    if (name.empty() || name.front() == ' ' || name.size() < 2) return *fail(Failure::no_name, 0);
    u.line(kUnitRunLog, "     - Opening Master file: " + padded(name, 60));
    if (!u.open_read(kUnitInput, name)) return *fail(Failure::not_found, 0);
    FreeReader in(u.in(kUnitInput));

    int eqtr = 0;
    if (Stop stop = read_title(s, in)) return *stop;
    if (Stop stop = read_run_parameters(s, in, eqtr)) return *stop;
    if (Stop stop = read_route_settings(s, in, eqtr)) return *stop;
    if (Stop stop = read_directories(s, in)) return *stop;
    if (Stop stop = read_slot_names(s, in)) return *stop;
    if (Stop stop = check_external_tree_slots(s)) return *stop;
    s.errcount.errl1 = 0;
    s.errcount.errl2 = 0;
    u.close(kUnitInput);
    echo_run_settings(s);
    return Outcome{Failure::none, kLineFirstName + kRequiredSlots - 1, false};
}

void report_failure(Sim& s, const Outcome& r) {
    Units&      u = s.units;
    Box         box = failure_box(r.failure);
    std::string title = box.title;
    pop_box(s, static_cast<int>(box.lines.size()), title, box.lines);
    if (r.failure == Failure::no_name) {
        wfree(u, kUnitRunLog, "     - No Master file specified ");
        wfree(u, kUnitRunLog, "       No Master file specified ");
    } else if (r.failure == Failure::not_found) {
        wfree(u, kUnitRunLog, "    - Master File: Not Specified or", " Specified Incorrectly");
        u.line(kUnitRunLog, "");
    }
    // Without a master file the summary output has no name yet.
    if (r.failure == Failure::no_name || r.failure == Failure::not_found)
        u.open_write(kUnitSummary, "DEFAULT.U10");
}

void closing_summary(Sim& s) {
    Units&    u = s.units;
    const int numerr = s.errcount.numerr;
    if (numerr >= 1) {
        wfree(u, kUnitRunLog, "   ");
        u.line(kUnitRunLog, "      - Number of errors found is " + fmt_i(numerr, 5));
        wfree(u, kUnitRunLog, "     - Error descriptions can be found in", " the file runerr.out");
        if (s.pathnam.filuse[kUnitSummary] >= 1) {
            wfree(u, kUnitSummary, std::string(42, '-'));
            wfree(u, kUnitSummary, "    ");
            u.line(kUnitSummary, "     - Number of errors found is " + fmt_i(numerr, 5));
            wfree(u, kUnitSummary, "      Error descriptions can be found in",
                  " the file runerr.out");
            wfree(u, kUnitSummary, " ");
        }
    }
    if (s.errcount.errt1 >= 1) {
        wfree(u, kUnitRunLog, "   ");
        wfree(u, kUnitRunLog, "    - Total of:", s.errcount.errt1, " Fatal Errors Found");
        wfree(u, kUnitRunLog, "          >> PROGRAM TO BE TERMINATED  << ");
        wfree(u, kUnitRunLog, "   ");
    }
    u.close(kUnitInput);
}

} // namespace

void readdata(Sim& s) {
    s.filenam.ftitle.clear();
    s.set2.nvehtyp = kClasses;
    s.errcount.numerr = 0;
    wfree(s.units, kUnitRunLog);

    const Outcome r = read_master(s);
    if (!r.fatal_check) {
        if (r.failure != Failure::none) report_failure(s, r);
        listerr(s, trim_right(s.master.mastfile), 0, r.line, error_kind(r.failure),
                s.errcount.numerr);
        if (s.errcount.errt1 == 0) read_numbered_inputs(s);
    }
    closing_summary(s);
}

} // namespace velm
