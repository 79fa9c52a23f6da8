// The ramp-meter file (master slot 23): a title, the number of meters with the
// control period, then one record per meter: number, metered link, control
// mode, upstream meter, start, minimum and maximum rate (veh/h), occupancy
// threshold, and the detector stations of the eight control inputs (Q1, Q2,
// In, Out, Upst, Mrg, Dwst, Nxt). The file is all or nothing: a record that
// cannot be used leaves the run without meters and stops it after the input
// phase.
#include "core/control/control.h"
#include "core/driver/errors.h"
#include "core/driver/run_text.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/network/optional_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <span>
#include <string>

namespace velm {

namespace {

constexpr int kTitleChars = 40;
constexpr int kMinPeriod = 1;   // s
constexpr int kMaxPeriod = 900; // s
// The occupancy threshold is written in tenths of a percent and held on the
// 10000 = 100 % scale of the detector inputs. A main-line zone in free flow
// reads a few percent, a lane at capacity about 15 % and a standing queue 30 %
// and more: 5..30 % lets a meter see both free flow and congestion, and a
// threshold of 0 or below (none chosen) takes the occupancy at capacity.
constexpr float kMinThreshold = 50.0f;      // 0.1 %
constexpr float kMaxThreshold = 300.0f;     // 0.1 %
constexpr float kDefaultThreshold = 150.0f; // 0.1 %
constexpr float kInputsPerTenthPercent = 10.0f;
constexpr int   kRuleBased = 1; // the one control mode
constexpr int   kNamedInputs = 8;

const char* const kNoMeters = "     - No Ramp Metering  file used";

// One record as read, before it is stored.
struct MeterRecord {
    int                           r = 0, link = 0, mode = 0, upst = 0;
    std::array<float, 4>          rate{}; // start, minimum, maximum, threshold
    std::array<int, kNamedInputs> det{};
};

struct MeterReader {
    Sim&        s;
    FreeReader& in;
    int         line = 1; // line counter of the error exit

    template <class... T> void log(const T&... items) { wfree(s.units, kUnitRunLog, items...); }
    bool                       read_all();
    bool                       read_record(MeterRecord& m);
    bool                       check(MeterRecord& m);
    void                       store(const MeterRecord& m);
    void                       table();
};

// True when the token is a whole number as the record's integer field needs it.
bool whole_token(const std::string& token) {
    int         v = 0;
    const char* b = token.data();
    const char* e = b + token.size();
    if (b != e && *b == '+') ++b;
    const auto [end, ec] = std::from_chars(b, e, v);
    return ec == std::errc{} && end == e;
}

bool MeterReader::read_all() {
    auto&       u = s.units;
    auto&       rm = s.rmpmeter;
    std::string title;
    if (!in.text_line(title)) return false;
    const std::string name = netin::first_chars(s.filenam.files(kRampMeterSlot), kOpenNameChars);
    s.filenam.ftitle(kRampMeterSlot) = netin::first_chars(title, kTitleChars);
    log("     - Reading Ramp Metering File: ", name);
    wfree(u, kUnitSummary, " - Ramp Metering  file:", s.filenam.ftitle(kRampMeterSlot));
    line = 2;

    int n = 0, period = 0;
    if (in.record(n, period) != ReadResult::ok) return false;
    line = 3;
    wfree(u, kUnitSummary, "     - Number of ramp meters = ", n);
    wfree(u, kUnitSummary, "     - Optimization frequency= ", period);
    if (n > kMaxRampMeters) {
        log(" - Number of Ramp Meters:", n, " exceeds maximum : ", kMaxRampMeters);
        log("   Number of meters set to ", kMaxRampMeters);
        n = kMaxRampMeters;
    }
    if (period < kMinPeriod) {
        log(" - Ramp Meter Optimization Time: ", period, " (seconds) must be greater than zero");
        log("   Optimization time set to 20 seconds");
        period = kDefaultRmptm;
    } else if (period > kMaxPeriod) {
        log(" - Ramp Meter Optimization Time: ", period, " (seconds) must be <= 900 ");
        log("   Optimization time set to 900 seconds");
        period = kMaxPeriod;
    }
    rm.rmptm = period;
    if (n < 1) {
        rm.nrmpmtr = 0;
        wfree(u, kUnitSummary, kNoMeters);
        return true;
    }
    rm.size_meters(n);
    rm.nrmpmtr = n;

    for (int i = 1; i <= n; ++i) {
        MeterRecord m;
        if (!read_record(m) || !check(m)) return false;
        store(m);
        ++line;
    }
    // Numbers the records left out: such a meter has no link and is never
    // controlled.
    for (int r = 1; r <= n; ++r)
        if (rm.rmploc(r, 1) == 0) log(" Ramp meter ", r, " has no record and is not used");

    u.line(kUnitSummary, "   Read in " + fmt_i(n, 5) + " ramp meters ");
    wfree(u, kUnitSummary, "  ");
    table();
    return true;
}

bool MeterReader::read_record(MeterRecord& m) {
    double x = 0.0;
    in.start_record();
    if (in.next(x) != ReadResult::ok) return false;
    if (x <= 0.0 || x > kMaxRampMeters) {
        log("  ");
        log(" Error reading ramp metering file ");
        s.units.line(kUnitRunLog, " Line: " + fmt_i(line, 4) + " Ramp meter number" +
                                      fmt_i(netin::trunc_sat(x), 5) + " in field 1 is invalid");
        s.errcount.numerr += 1;
        return false;
    }
    // The meter number is a whole number like the rest of the record.
    if (!whole_token(in.last_token())) return false;
    m.r = static_cast<int>(x);
    return in.next(m.link) == ReadResult::ok && in.next(m.mode) == ReadResult::ok &&
           in.next(m.upst) == ReadResult::ok &&
           in.next(std::span<float>(m.rate)) == ReadResult::ok &&
           in.next(std::span<int>(m.det)) == ReadResult::ok;
}

// The record's checks and corrections, in the order the run log gives them.
bool MeterReader::check(MeterRecord& m) {
    auto& u = s.units;
    u.line(kUnitSummary, "     - Meter:" + fmt_i(m.r, 6) + " on link" + fmt_i(m.link, 6) +
                             "        mode: " + fmt_i(m.mode, 6) +
                             "        upst: " + fmt_i(m.upst, 6));
    if (m.link < 1 || m.link > kMaxLinks) {
        log(" Error reading ramp metering file ");
        u.line(kUnitRunLog, " Line: " + fmt_i(line, 4) + " Link number" + fmt_i(m.link, 5) +
                                " in field 2 is invalid");
        s.errcount.numerr += 1;
        return false;
    }
    if (!(s.link4.llength(m.link) > 0.0f)) {
        log(" Error reading ramp metering file");
        u.line(kUnitRunLog, " Line: " + fmt_i(line, 4) + " Link number specified for ramp" +
                                fmt_i(m.r, 5) + " does not exist in the link file");
        s.errcount.numerr += 1;
        return false;
    }
    m.mode = kRuleBased;
    if (m.upst < 0 || m.upst > kMaxRampMeters) {
        log(" Ramp meter ", m.r, " names upstream meter ", m.upst,
            " which is not a meter number: no queue hand-over");
        m.upst = 0;
    }
    // Rates: none negative, none above the saturation flow of the metered link.
    const float sat =
        static_cast<float>(std::abs(s.link1.nulans(m.link))) * s.link4.lanesat(m.link);
    for (int k = 0; k < 3; ++k) {
        float& v = m.rate[static_cast<std::size_t>(k)];
        if (v < 0.0f || v > sat) v = sat;
    }
    float& thr = m.rate[3];
    if (thr <= 0.0f)
        thr = kDefaultThreshold;
    else
        thr = std::clamp(thr, kMinThreshold, kMaxThreshold);
    thr *= kInputsPerTenthPercent;
    // Every station named must lie on a link; 0 is an input without station.
    for (int k = 1; k <= kNamedInputs; ++k) {
        const int d = m.det[static_cast<std::size_t>(k - 1)];
        if (d == 0) continue;
        const bool on_link = d >= 1 && d <= kMaxDetectors && s.detloc.detlink(d) >= 1 &&
                             s.detloc.detlink(d) <= kMaxLinks;
        if (on_link) continue;
        log(" Error reading ramp metering file");
        log(" Ramp meter number ", m.r);
        log(" Detector input ", k, " is station # ", d,
            " which is not associated with a valid link");
        log(" Ensure the detector file is provided and", " correct");
        return false;
    }
    return true;
}

void MeterReader::store(const MeterRecord& m) {
    auto& rm = s.rmpmeter;
    if (m.r > rm.nrmpmtr) {
        log(" Ramp meter ", m.r, " is beyond the ", rm.nrmpmtr,
            " meters announced on line 2: its record is not used");
        return;
    }
    rm.rmploc(m.r, 1) = m.link;
    rm.rmploc(m.r, 2) = m.mode;
    rm.rmploc(m.r, 3) = m.upst;
    for (int c = 1; c <= kRampMeterColumns; ++c) rm.rmprat(m.r, c) = 0.0f;
    for (int c = 1; c <= 4; ++c) rm.rmprat(m.r, c) = m.rate[static_cast<std::size_t>(c - 1)];
    for (int k = 1; k <= kRampInputs; ++k)
        rm.rmpdet(m.r, k) = k <= kNamedInputs ? m.det[static_cast<std::size_t>(k - 1)] : 0;
}

void MeterReader::table() {
    auto&       u = s.units;
    const auto& rm = s.rmpmeter;
    u.line(kUnitSummary, "   Ramp Metering Station Data");
    u.line(kUnitSummary, std::string("   Ramp  Link Mode  Start  Min.  Max.  Thshd") +
                             "   Q1   Q2   In  Out Upst  Mrg Dwst  Nxt");
    const auto whole = [](float v) { return netin::trunc_sat(v); };
    for (int r = 1; r <= rm.nrmpmtr; ++r) {
        std::string l = fmt_i(r, 6) + fmt_i(rm.rmploc(r, 1), 6) + fmt_i(rm.rmploc(r, 2), 6) +
                        fmt_i(whole(rm.rmprat(r, kRateInForce)), 7) +
                        fmt_i(whole(rm.rmprat(r, kRateMin)), 6) +
                        fmt_i(whole(rm.rmprat(r, kRateMax)), 6) +
                        fmt_i(whole(rm.rmprat(r, kRateThreshold) / kInputsPerTenthPercent), 7);
        for (int k = 1; k <= kNamedInputs; ++k) l += fmt_i(rm.rmpdet(r, k), 5);
        u.line(kUnitSummary, l);
    }
    u.line(kUnitSummary, " ");
}

} // namespace

void rdrmpmtr(Sim& s) {
    auto& u = s.units;
    auto& rm = s.rmpmeter;
    rm.reset();
    netin::open_section(u, " 23. Ramp metering configuration ");

    const std::string name = netin::first_chars(s.filenam.files(kRampMeterSlot), kOpenNameChars);
    if (slot_unused(name)) {
        wfree(u, kUnitSummary, kNoMeters);
        return;
    }
    // A named file that cannot be opened stops the run: it is never run
    // without the meters it was given.
    if (!u.open_read(kUnitInput, netin::input_name(s, name))) {
        wfree(u, kUnitSummary, kNoMeters);
        listerr(s, name, kRampMeterSlot, 0, kReadOpen, s.errcount.numerr);
        return;
    }
    FreeReader  in(u.in(kUnitInput));
    MeterReader r{s, in};
    const bool  ok = r.read_all();
    if (!ok) {
        // The reader's codes: 1021 no title line, 1022 a bad or missing value.
        const int code = r.line <= 1 ? 1021 : 1022;
        wfree(u, kUnitRunLog, " ERROR " + std::to_string(code));
        wfree(u, kUnitRunLog, " Error occurred reading ramp meter data on line", r.line);
        rm.nrmpmtr = 0;
        s.errcount.errt1 += 1;
    }
    u.close(kUnitInput);
    if (!ok) wfree(u, kUnitSummary, kNoMeters);
}

} // namespace velm
