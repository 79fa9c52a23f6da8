// The detector-station file (master slot 21): a title, the number of station
// records with the period of the exchange report files, then one record per
// station: number and class mask, type, link, zone start km, zone length km,
// polling period s. The file is all or nothing: any record that cannot be
// used leaves the run without stations and stops it after the input phase.
#include "core/driver/errors.h"
#include "core/driver/run_text.h"
#include "core/io/decimal_code.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/movement/detectors.h"
#include "core/movement/movement.h"
#include "core/network/input_support.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace velm {

namespace {

constexpr int   kMaskDigits = kClasses; // one decimal of field 1 per class
constexpr float kMinZone = 0.005f;      // km
constexpr float kMaxZone = 0.050f;      // km
constexpr int   kMinPoll = 1;           // s
constexpr int   kMaxPoll = 300;         // s
constexpr int   kTitleEchoChars = 30;
constexpr int   kUnusedSlot = 5; // listerr stage of a slot named "none": nothing written

struct StationReader {
    Sim&        s;
    FreeReader& in;
    int         line = 1;           // the file line being read
    int         stage = kReadTitle; // listerr's stage when the read stops here

    template <class... T> void log(const T&... items) { wfree(s.units, kUnitRunLog, items...); }
    // A check's heading and its lines on the run log.
    template <class... Lines> void report(const char* heading, const Lines&... lines) {
        log(heading);
        (s.units.line(kUnitRunLog, lines), ...);
    }
    bool read_all();
    bool read_station();
    bool check(int d, float& zone, int& poll, int link, float start);
};

bool StationReader::read_all() {
    auto&       u = s.units;
    auto&       dl = s.detloc;
    std::string title;
    if (!in.text_line(title)) return false;
    s.filenam.ftitle(kDetectorSlot) = netin::first_chars(title, kTitleLineChars);
    u.line(kUnitSummary, "     - Detector Location file: " + fmt_a(title, kTitleEchoChars));
    stage = kReadData;
    line = 2;

    int n = 0, period = 0;
    if (in.record(n, period) != ReadResult::ok) return false;
    dl.detrepfr = period;
    wfree(u, kUnitSummary, "     - Number of detectors: ", n);
    wfree(u, kUnitSummary, "     - Report frequency   : ", period);
    if (n > kMaxDetectors) {
        log(" - Number of Detectors:", n, " exceeds maximum : ", kMaxDetectors);
        n = kMaxDetectors;
        log("   Number of Detectors set equal to ", n);
    } else if (n < 0) {
        log(" - Number of Detectors:", n, " is negative and illegal ");
        n = 0;
        log("   Number of Detectors set equal to ", n);
    }
    dl.ndetloc = n;

    for (int i = 1; i <= n; ++i) {
        line = 2 + i; // station i is on the line after the count's
        if (!read_station()) return false;
    }
    wfree(u, kUnitSummary, "     - Maximum detector   : ", dl.mdetloc);
    return true;
}

bool StationReader::read_station() {
    auto&  dl = s.detloc;
    double x = 0.0;
    in.start_record();
    if (in.next(x) != ReadResult::ok) return false;
    // The class mask is in the decimals as written; an exponent hides them.
    int         mask = 0;
    std::size_t decimals = 0;
    if (!decimal_code(in.last_token(), kMaskDigits, mask, decimals)) return false;
    // The station is the whole part: a number below 1 names no station even
    // when it is above 0.
    const int d = netin::trunc_sat(x);
    if (d < 1 || d > kMaxDetectors) {
        log(" Error reading detector information");
        s.units.line(kUnitRunLog, " Line: " + fmt_i(line, 4) + " Detector number" + fmt_i(d, 5) +
                                      " in field 1 is invalid");
        s.errcount.errt1 += 1;
        s.errcount.numerr += 1;
        return false;
    }
    int   type = 0, link = 0, poll = 0;
    float start = 0.0f, zone = 0.0f;
    if (in.next(type) != ReadResult::ok || in.next(link) != ReadResult::ok ||
        in.next(start) != ReadResult::ok || in.next(zone) != ReadResult::ok ||
        in.next(poll) != ReadResult::ok)
        return false;
    dl.mdetloc = std::max(dl.mdetloc, d);
    if (!check(d, zone, poll, link, start)) return false;

    dl.dettyp(d) = type;
    dl.detlink(d) = link;
    dl.detpos(d, 1) = start;
    dl.detzon(d) = zone;
    dl.dettim(d) = poll;
    for (int c = 1; c <= kClasses; ++c) {
        int place = 1;
        for (int k = c; k < kClasses; ++k) place *= 10;
        dl.detmsk(d, c) = mask == 0 ? 1 : (mask / place) % 10;
    }
    return true;
}

// The link and zone checks of station d, in the order the run log gives them;
// zone length and polling period are clamped with a warning.
bool StationReader::check(int d, float& zone, int& poll, int link, float start) {
    const char* const error = " ERROR: Error in detector information";
    const char* const warning = " Warning: Error in detector information";
    // "<what> d on line n", to be continued.
    const auto at = [this, d](const char* what) {
        FreeLine l;
        l << what << d << " on line " << line;
        return l;
    };
    if (link < 1 || link > kMaxLinks) {
        report(error, (at(" Link number for detector ") << " is invalid").str());
        return false;
    }
    const float length = s.link4.llength(link);
    if (!(length > 0.0f)) {
        report(error, (at(" Link specified for detector ") << " does not exist").str());
        return false;
    }
    if (zone <= 0.0f) {
        report(warning, (at(" Detection zone length for detector ") << " is <= 0").str(),
               free_line(" Detection zone set equal to 0.005"));
        zone = kMinZone;
    }
    if (zone > kMaxZone) {
        report(warning, (at(" Detection zone length for detector ") << " is > 0.050 km").str(),
               free_line(" Detection zone set equal to 0.050"));
        zone = kMaxZone;
    }
    if (poll < kMinPoll) {
        report(warning, (at(" Detection polling time for detector ") << " is " << poll).str(),
               free_line(" This is less than 1.0 "),
               free_line(" Detection polling time set equal to 1  sec"));
        poll = kMinPoll;
    }
    if (poll > kMaxPoll) {
        report(warning, (at(" Detection polling time for detector ") << " is > 300").str(),
               free_line(" Detection polling time set equal to 300 sec"));
        poll = kMaxPoll;
    }
    // A zone may run past the link end, but it must start on the link.
    const auto located = [&] {
        FreeLine l;
        l << " Detector = " << d << " on line= " << line << " is located at= " << start;
        return l;
    };
    if (start > length) {
        report(warning, (located() << " which exceeds length of link =" << length).str());
        return false;
    }
    if (start < 0.0f) {
        report(warning, (located() << " which is less than minimum  =" << 0).str());
        return false;
    }
    return true;
}

// The per-link index of the active stations, in ascending station number.
void index_stations(mod_detloc& dl) {
    dl.ndetpos.zero();
    const auto active = [&dl](int d) {
        const int l = dl.detlink(d);
        return dl.dettyp(d) > 0 && l >= 1 && l <= kMaxLinks;
    };
    for (int d = 1; d <= dl.mdetloc; ++d) {
        if (!active(d)) continue;
        dl.detpos(d, 2) = dl.detpos(d, 1) + dl.detzon(d);
        dl.ndetpos(dl.detlink(d)) += 1;
    }
    dl.fdetpos(1) = 0;
    for (int l = 2; l <= kMaxLinks; ++l) dl.fdetpos(l) = dl.fdetpos(l - 1) + dl.ndetpos(l - 1);
    dl.ndetpos.zero();
    for (int d = 1; d <= dl.mdetloc; ++d) {
        if (!active(d)) continue;
        const int l = dl.detlink(d);
        dl.ndetpos(l) += 1;
        dl.detlis(dl.fdetpos(l) + dl.ndetpos(l)) = d;
    }
}

} // namespace

void rddetloc(Sim& s) {
    auto& u = s.units;
    auto& dl = s.detloc;
    dl.reset();
    wfree(u, kUnitSummary, "   ");
    section_heading(u, kUnitSummary, " 21. Detector location specification       ");

    const std::string name = netin::first_chars(s.filenam.files(kDetectorSlot), kOpenNameChars);
    int               stage = kUnusedSlot;
    int               line = 0;
    if (!slot_unused(name)) {
        stage = kReadOpen;
        bool ok = false;
        if (u.open_read(kUnitInput, netin::input_name(s, name))) {
            stage = kReadTitle;
            line = 1;
            wfree(u, kUnitSummary, "     - detector file opened ");
            FreeReader    in(u.in(kUnitInput));
            StationReader r{s, in};
            ok = r.read_all();
            line = r.line;
            stage = r.stage;
        }
        if (ok) {
            stage = kReadComplete;
        } else {
            wfree(u, kUnitRunLog, " ERROR: ");
            wfree(u, kUnitRunLog, " Error reading in detector information");
            wfree(u, kUnitRunLog, " Error occurred on line ", line);
            dl.mdetloc = 0;
            wfree(u, kUnitSummary, " - No Detector Location file used");
        }
        u.close(kUnitInput);
    }
    index_stations(dl);
    listerr(s, name, kDetectorSlot, line, stage, s.errcount.numerr);
}

} // namespace velm
