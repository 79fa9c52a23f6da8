// The link file (master slot 2): every directed link with its geometry,
// speeds, flows, lanes, turn bans, opposing codes, control and phases,
// closures and surveillance, and its name.
#include "core/driver/errors.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/network/network.h"
#include "core/network/required_file.h"

#include <cmath>
#include <vector>

namespace velm {

namespace {

constexpr int   kLinkSlot = 2;
constexpr int   kLaneCodeAll = 11111;
constexpr float kMaxLinkLength = 10.0f; // km
constexpr int   kNoOpposingGap = -450;  // critical gap code (0.01 s) of a link without codes
constexpr int   kNoOpposingDecay = 10000;
constexpr int   kLaneLimitCode = 121130; // more lanes than the lane tables hold

enum class Exit { done, error, end };

// The five digits of a class code, left to right for classes 1..5.
void class_digits(int value, Array2<int>& table, int l) {
    int place = 10000;
    for (int c = 1; c <= kClasses; ++c, place /= 10) table(l, c) = (value / place) % 10;
}

// A link name: the text after the record's last value on its last line,
// without the separator that follows the value.
std::string record_name(std::string_view rest) {
    std::size_t i = 0;
    while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) ++i;
    if (i < rest.size() && rest[i] == ',') ++i;
    while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t')) ++i;
    return netin::first_chars(rest.substr(i), kLinkNameWidth);
}

struct Counts {
    int signalised = 0, stop = 0, yield = 0, hov = 0, surv = 0, banned = 0, opposed = 0,
        connector = 0;
};

// One record as read: f[1..26] as single-precision reals; the 4-phase
// movement codes also in double so that their five lane-code decimals survive.
struct LinkRecord {
    float  f[27] = {};
    double mc[5] = {};
    float  hovcode = 0.0f;  // fields after the phases sit at different places
    float  survcode = 0.0f; // in the two layouts
    int    n = 0;           // the link number
};

constexpr std::size_t kExtraLineChars = 60; // of an extra record, in its error

struct LinkReader {
    Sim&                     s;
    FreeReader&              in;
    int                      stage = kReadOpen;
    int                      line = 0;
    bool                     four_phase = false;
    float                    scale[6] = {};
    Counts                   cnt;
    std::vector<int>         record_link;
    std::vector<std::string> names;

    LinkReader(Sim& sim, FreeReader& reader) : s(sim), in(reader) {}

    template <class... T> Exit fatal(int code, const T&... detail) {
        wfree(s.units, kUnitRunLog, " FATAL ERROR");
        wfree(s.units, kUnitRunLog, " Input File 2  Error ", code);
        wfree(s.units, kUnitRunLog, detail...);
        return Exit::error;
    }

    Exit read_all();
    Exit read_record(int k);

    // The stages of one record.
    bool read_fields(LinkRecord& r);
    Exit check_record(int k, const LinkRecord& r);
    void store_geometry(const LinkRecord& r);
    void store_turn_bans(const LinkRecord& r);
    void store_opposing(const LinkRecord& r);
    Exit store_phases(const LinkRecord& r);
    void count_record(const LinkRecord& r);

    float length(const LinkRecord& r) const { return r.f[4] * scale[1]; }       // km
    float jam_density(const LinkRecord& r) const { return r.f[10] * scale[5]; } // veh/km/lane
};

Exit LinkReader::read_all() {
    auto& u = s.units;
    auto& l2 = s.link2;
    if (!netin::read_title(s, in, kLinkSlot, " 2. Open Link Characteristics File:",
                           {40, "     - ", 300}, stage, line))
        return Exit::end;

    float header = 0;
    in.start_record();
    if (in.next(header) != ReadResult::ok) return Exit::end;
    for (float& f : scale)
        if (&f != &scale[0] && in.next(f) != ReadResult::ok) return Exit::end;
    l2.nlinks = netin::trunc_sat(header);
    u.line(kUnitSummary, "     - Number of links        =" + fmt_i(l2.nlinks, 10));
    if (l2.nlinks > 0) {
        wfree(u, kUnitSummary, "         File 2 in 2 phases per link format ");
    } else {
        wfree(u, kUnitSummary, "         File 2 in 4 phases per link format ");
        four_phase = true;
        l2.nlinks = -l2.nlinks; // trunc_sat stops at -INT_MAX
    }
    if (!netin::whole_within(std::fabs(static_cast<double>(header)), 0.0, kMaxLinks))
        return fatal(121010, " Number of Links=", l2.nlinks, "exceeds max.=", kMaxLinks);
    if (l2.nlinks <= 1) return fatal(121020, " Number of Links=", l2.nlinks, "is below min=2");

    record_link.assign(static_cast<std::size_t>(l2.nlinks) + 1, 0);
    names.assign(static_cast<std::size_t>(l2.nlinks) + 1, std::string());
    for (int k = 1; k <= l2.nlinks; ++k) {
        line = k + 2;
        if (Exit e = read_record(k); e != Exit::done) return e;
        if ((k % 100 == 0 || k == l2.nlinks) && (k % 1000 == 0 || l2.nlinks <= 999))
            wfree(u, kUnitRunLog, " - Reading link=", k, " of ", l2.nlinks, " pass 1");
    }
    // Records beyond the header's count would be dropped without a word.
    std::string extra;
    while (in.text_line(extra))
        if (extra.find_first_not_of(" \t\r,") != std::string::npos)
            return fatal(121140, " File ", s.filenam.files(kLinkSlot), " holds more records than",
                         " its count of ", l2.nlinks, ": the first extra at line ", in.line(),
                         " reads ", netin::first_chars(extra, kExtraLineChars));

    int nlanes = 0;
    for (int n = 1; n <= l2.mlnum; ++n)
        if (s.link1.nulans(n) >= 1 && s.link1.nulans(n) <= kMaxLinkLanes)
            nlanes += s.link1.nulans(n);
    // The lane tables hold kMaxLanes lanes: refuse the file before numbering any.
    if (nlanes > kMaxLanes)
        return fatal(kLaneLimitCode, " Number of lanes=", nlanes, "exceeds max.=", kMaxLanes);
    int lane = 0;
    for (int n = 1; n <= l2.mlnum; ++n) {
        const int nl = s.link1.nulans(n);
        if (nl < 1 || nl > kMaxLinkLanes) continue;
        for (int k = 1; k <= nl; ++k) s.lanexch.lannum(n, k) = ++lane;
    }

    u.line(kUnitSummary, "     - Maximum link number    =" + fmt_i(l2.mlnum, 10));
    u.line(kUnitSummary, "     - Maximum Lane number    =" + fmt_i(lane, 10));
    wfree(u, kUnitSummary, "  ");
    u.line(kUnitSummary, "     - Number signalized links=" + fmt_i(cnt.signalised, 10));
    u.line(kUnitSummary, "     - Number of stop signs   =" + fmt_i(cnt.stop, 10));
    u.line(kUnitSummary, "     - Number of yield signs  =" + fmt_i(cnt.yield, 10));
    wfree(u, kUnitSummary, "  ");
    u.line(kUnitSummary, "     - Number of HOV links    =" + fmt_i(cnt.hov, 10));
    u.line(kUnitSummary, "     - Links surveillanced    =" + fmt_i(cnt.surv, 10));
    u.line(kUnitSummary, "     - Number of banned turns =" + fmt_i(cnt.banned, 10));
    u.line(kUnitSummary, "     - Number of opposed links=" + fmt_i(cnt.opposed, 10));
    wfree(u, kUnitSummary, "  ");
    u.line(kUnitSummary, "     - Number of dummy links  =" + fmt_i(cnt.connector, 10));
    wfree(u, kUnitSummary, "  ");

    // Names were taken with their records, so a record spread over lines or
    // separated by commas cannot shift the names of later links.
    stage = kReadComplete;
    for (int k = 1; k <= l2.nlinks; ++k) {
        s.link5.linkname(record_link[static_cast<std::size_t>(k)]) =
            names[static_cast<std::size_t>(k)];
        if (k % 500 == 0)
            wfree(u, kUnitRunLog, "     - Reading link=", k, " of ", l2.nlinks, " pass 2");
    }
    s.pathnam.filuse[kLinkSlot] = 1;
    return Exit::end;
}

Exit LinkReader::read_record(int k) {
    LinkRecord r;
    if (!read_fields(r)) return Exit::end;
    record_link[static_cast<std::size_t>(k)] = r.n;
    if (Exit e = check_record(k, r); e != Exit::done) return e;
    store_geometry(r);
    store_turn_bans(r);
    store_opposing(r);
    if (Exit e = store_phases(r); e != Exit::done) return e;
    class_digits(netin::trunc_sat(r.hovcode + 0.5f), s.link1.hov, r.n);
    class_digits(netin::trunc_sat(r.survcode + 0.5f), s.link1.surv, r.n);
    s.link4.io12(r.n) = r.f[1] < 0.0f ? 0 : 1;
    s.link2.mlnum = std::max(s.link2.mlnum, r.n);
    count_record(r);
    names[static_cast<std::size_t>(k)] = record_name(in.rest());
    return Exit::done;
}

bool LinkReader::read_fields(LinkRecord& r) {
    const int nval = four_phase ? 26 : 20;
    in.start_record();
    for (int i = 1; i <= nval; ++i) {
        ReadResult got;
        if (four_phase && (i == 18 || i == 20 || i == 22 || i == 24)) {
            got = in.next(r.mc[(i - 16) / 2]);
            r.f[i] = static_cast<float>(r.mc[(i - 16) / 2]);
        } else {
            got = in.next(r.f[i]);
        }
        if (got != ReadResult::ok) return false;
    }
    r.hovcode = four_phase ? r.f[25] : r.f[19];
    r.survcode = four_phase ? r.f[26] : r.f[20];
    r.n = netin::trunc_sat(std::fabs(r.f[1]));
    return true;
}

// The record's link number, end nodes, length and lanes.
Exit LinkReader::check_record(int k, const LinkRecord& r) {
    const float* f = r.f;
    const int    n = r.n;
    if (n > kMaxLinks) return fatal(121030, " Link", k, "=", n, "exceeds maximum=", kMaxLinks);
    if (n < 1) return fatal(121040, " Link", k, "=", n, "is below min=", 1);
    if (s.link4.llength(n) > 0.0f) return fatal(121050, " Link", k, "=", n, " already exists ");
    if (f[2] < 0)
        return fatal(121060, " Link=", n, " starts at node ", f[2],
                     " which has not been coded in file 1 ");
    if (f[3] < 0)
        return fatal(121070, " Link=", n, " ends at node ", f[3],
                     " which has not been coded in file 1 ");
    if (f[2] > kMaxNodes)
        return fatal(121060, " Link=", n, " starts at node ", f[2],
                     " which is greater than the maximum node number ");
    if (f[3] > kMaxNodes)
        return fatal(121070, " Link=", n, " ends at node ", f[3],
                     " which is greater than the maximum node number ");
    const float len = length(r);
    const float kj = jam_density(r);
    if (len <= 0.0f) return fatal(121080, " Link=", n, " has length: ", len, " which is invalid ");
    // A jam density of 0 means an infinite jam spacing: always too short.
    if (kj == 0.0f || len < 1.5f / kj)
        return fatal(121090, " Link=", n, " has length: ", len,
                     " which is less than 1.5*jam headway ");
    if (len > kMaxLinkLength)
        return fatal(1210100, " Link=", n, " has length: ", len, " which is greater than 10.0 km");
    if (std::fabs(f[7]) < 1.0f)
        return fatal(121110, " Link=", n, " has number of lanes: ", std::fabs(f[7]),
                     " which is invalid ");
    // A lane added on the left needs at least two lanes (-1.5 is one lane too).
    if (f[7] <= -1.0f && f[7] > -2.0f)
        return fatal(121110, " Link=", n, " has number of lanes: ", f[7],
                     " Need at least 2 lanes to add lane to left ", "(i.e -ve number of lanes)");
    return Exit::done;
}

// End nodes, length, speeds, flows, lanes and the plotting and bias columns.
void LinkReader::store_geometry(const LinkRecord& r) {
    auto&        l1 = s.link1;
    auto&        l4 = s.link4;
    const float* f = r.f;
    const int    n = r.n;
    l1.frnode(n) = netin::trunc_sat(f[2]);
    l1.tonode(n) = netin::trunc_sat(f[3]);
    l4.llength(n) = length(r);
    float vf = f[5];
    l1.zoncon(n) = vf < 0.0f ? 1 : 0;
    if (vf < 0.0f) vf = vf >= -1.0f ? 10.0f : -vf;
    l4.freespd(n) = vf * scale[2];
    l4.lanesat(n) = f[6] * scale[3];
    l1.nulans(n) = netin::trunc_sat(std::fabs(f[7]));
    l1.addlin(n) = f[7] < 0.0f ? -1 : 1;
    l4.pltdsp(n, 1) = f[8];
    l4.pltdsp(n, 2) = 0.0f;
    l4.pltdsp(n, 3) = 0.0f;
    l1.spdvol(n, 4) = f[9] * scale[4];
    l1.spdvol(n, 5) = jam_density(r);
    l4.biasfac(n, 1) = 0.0f;
    l4.biasfac(n, 2) = 1.0f;
}

// One timed ban (a positive first field: movement, start, end) or up to three
// permanent ones (negative fields).
void LinkReader::store_turn_bans(const LinkRecord& r) {
    auto&        l4 = s.link4;
    const float* f = r.f;
    const int    n = r.n;
    for (int j = 1; j <= kTurnBans; ++j) {
        l4.banturn(n, 1, j) = 0;
        l4.banturn(n, 2, j) = 0;
        l4.banturn(n, 3, j) = kNever;
    }
    if (f[11] >= 1.0f) {
        l4.banturn(n, 1, 1) = netin::trunc_sat(f[11]);
        l4.banturn(n, 2, 1) = netin::trunc_sat(f[12]);
        l4.banturn(n, 3, 1) = f[13] <= 0.0f ? kNever : netin::trunc_sat(f[13]);
    } else {
        for (int j = 1; j <= kTurnBans; ++j)
            if (f[10 + j] <= -1.0f) l4.banturn(n, 1, j) = netin::trunc_sat(-f[10 + j]);
    }
}

// Opposing gap and decay: none, in 0.01 s, or in seconds (negative).
void LinkReader::store_opposing(const LinkRecord& r) {
    auto&        l1 = s.link1;
    const float* f = r.f;
    const int    n = r.n;
    if (std::fabs(f[14]) <= 0.1f) {
        l1.opslin(n, 1) = kNoOpposingGap;
        l1.opslin(n, 2) = kNoOpposingDecay;
    } else if (f[14] > 0.1f) {
        l1.opslin(n, 1) = netin::trunc_sat(f[14]);
        l1.opslin(n, 2) = netin::trunc_sat(f[15]);
    } else {
        l1.opslin(n, 1) = netin::trunc_sat(f[14] * 100.0f);
        l1.opslin(n, 2) = netin::trunc_sat(f[15] * 100.0f);
    }
}

// Control code and phases: in the 4-phase layout each phase has a number and
// a movement code whose decimals are the lane code; the 2-phase layout
// discharges every movement on every lane.
Exit LinkReader::store_phases(const LinkRecord& r) {
    auto&        l3 = s.link3;
    const float* f = r.f;
    const int    n = r.n;
    l3.tsignal(n) = netin::trunc_sat(f[16]);
    if (four_phase) {
        for (int p = 1; p <= kPhaseSlots; ++p) {
            const double code = r.mc[p];
            const double whole = std::trunc(code);
            l3.phase(n, p, 1) = netin::trunc_sat(f[17 + 2 * (p - 1)]);
            l3.phase(n, p, 2) = netin::trunc_sat(whole);
            l3.phase(n, p, 3) = netin::trunc_sat((code - whole + 0.000001) * 100000.0);
        }
    } else {
        for (int p = 1; p <= 2; ++p) {
            l3.phase(n, p, 1) = netin::trunc_sat(f[16 + p]);
            l3.phase(n, p, 2) = l3.phase(n, p, 1) < 0 ? 100 : 111;
            l3.phase(n, p, 3) = kLaneCodeAll;
        }
        for (int p = 3; p <= 4; ++p) {
            l3.phase(n, p, 1) = 0;
            l3.phase(n, p, 2) = 111;
            l3.phase(n, p, 3) = kLaneCodeAll;
        }
    }
    for (int p = 1; p <= kPhaseSlots; ++p) {
        if (l3.phase(n, p, 1) > 0 && l3.phase(n, p, 2) <= 0) {
            wfree(s.units, kUnitRunLog, " FATAL ERROR");
            wfree(s.units, kUnitRunLog, "Input File 2  Error ", 121120);
            wfree(s.units, kUnitRunLog, " Link=", n, " phase=", p, " - ", l3.phase(n, p, 1));
            wfree(s.units, kUnitRunLog, " does not discharge any turning movements ");
            return Exit::error;
        }
    }
    for (int p = 1; p <= kPhaseSlots; ++p)
        if (l3.phase(n, p, 3) <= 0) l3.phase(n, p, 3) = kLaneCodeAll;
    return Exit::done;
}

// The file's summary counts.
void LinkReader::count_record(const LinkRecord& r) {
    const int code = s.link3.tsignal(r.n);
    if (code >= 1 && code <= kLastSignalCode) ++cnt.signalised;
    if (code == kStopSignCode) ++cnt.stop;
    if (code == kYieldSignCode) ++cnt.yield;
    if (r.hovcode > 0.0f) ++cnt.hov;
    if (r.survcode > 0.0f) ++cnt.surv;
    if (r.f[11] > 0.0f) ++cnt.banned;
    if (r.f[14] > 0.0f || r.f[15] > 0.0f) ++cnt.opposed;
    if (s.link1.zoncon(r.n) == 1) ++cnt.connector;
}

} // namespace

void setlink(Sim& s) {
    s.link2.mlnum = 0;
    s.link4.llength.fill(kLinkNotCoded);
    s.link4.freespd.fill(kFreeSpdNotSet);
    s.link5.linkname.clear();
    s.link2.ntqu.zero();
    s.link1.opslin.zero();
}

void getname(Sim& /*s*/, std::string_view hold, std::string& linkname) {
    const std::string_view line = hold.substr(0, std::min<std::size_t>(hold.size(), 150));
    linkname.clear();
    for (std::size_t i = 1; i < std::min<std::size_t>(line.size(), 90); ++i) {
        const char c = line[i];
        const bool skip =
            c == ' ' || c == '\t' || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+';
        if (!skip) {
            linkname = netin::first_chars(line.substr(i), kLinkNameWidth);
            return;
        }
    }
}

void read2(Sim& s, const std::string& filnam) {
    section_banner(s.units);
    s.pathnam.filuse[kLinkSlot] = 0;
    // Every static link column starts clean, so nothing of an earlier run in
    // a batch survives as a phantom link, lane or signal member.
    s.link1.reset();
    s.link3.reset();
    s.link4.reset();
    s.link5.reset();
    s.link2.reset();
    s.lanexch.lannum.zero();
    setlink(s);

    const std::string   name60 = filnam.substr(0, std::min<std::size_t>(filnam.size(), 60));
    netin::RequiredFile file{kLinkSlot, name60, netin::input_name(s, name60)};
    file.failure_note = "Fatal Error in Reading Data file=";
    file.note_unit = kUnitSummary;
    file.note_width = 60;
    netin::read_required_by<LinkReader>(s, file, Exit::error);
}

} // namespace velm
