// Learned speed harmonisation at weaving sections: the controller file
// "input_shql.dat" with its learned tables "shql_table.dat" and "shql_ar.dat",
// the Q-learning decisions and the per-minute weaving cap.
//
// A controller turns detector stations into a discrete state, rewards its last
// action by how close the weaving section runs to capacity and picks the next
// action (a target flow per lane): at random while it explores, the best known
// one once it exploits. The tables are read from the input folder and the
// learned ones written to the output folder through a temporary file, so
// that a run never loses them and never changes its inputs.
#include "core/control/control.h"
#include "core/control/speed_harmonisation.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/routing/path_store.h" // output_file

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

namespace velm {

namespace {

constexpr const char* kShqlFile = "input_shql.dat";
constexpr const char* kShqlTableFile = "shql_table.dat";
constexpr const char* kShqlVisitFile = "shql_ar.dat";
constexpr const char* kNoShql = "     - No Q-Learning speed harmonization file input";
constexpr int         kStateDefinitions = 4;
constexpr int         kStateByClass = 4;
constexpr int         kTicksPerMinute = 600;

// Errors of the learned-harmonisation files.
constexpr int kErrShqlHeader = 636010;     // title or header missing, or a count out of range
constexpr int kErrShqlShort = 636020;      // a controller record ends early or holds bad data
constexpr int kErrShqlController = 636030; // controller number outside 1..100 or repeated
constexpr int kErrShqlStation = 636040;    // a station that must be active is not
constexpr int kErrShqlLink = 636050;       // the controlled link is not a link
constexpr int kErrShqlValue = 636060;      // class, interval or actions out of range
constexpr int kErrShqlRow = 636070;        // a table row names no controller
constexpr int kErrShqlWrite = 636080;      // a table file cannot be written
constexpr int kErrShqlTableData = 636090;  // a table ends early or holds a value out of range
// Largest learned value and visit count a table may hold: far beyond any
// run's learning, and a count that far from the integer limit never wraps.
constexpr float kShqlValueLimit = 1.0e9f;

int link_lanes(const Sim& s, int l) {
    return std::max(1, std::abs(s.link1.nulans(l)));
}

float critical_density(const Sim& s, int l) {
    const float uc = s.link1.spdvol(l, 4);
    return uc > 0.0f ? s.link1.spdvol(l, 6) / uc : 0.0f;
}

struct ShqlReader {
    Sim&        s;
    FreeReader& in;
    const char* file;

    template <class... T> bool refuse(int code, const T&... why) {
        wfree(s.units, kUnitRunLog, " Error", code, file, "line", in.line(), why...);
        return false;
    }
    bool read_all();
    bool read_record(int i);
};

bool ShqlReader::read_all() {
    auto&       q = s.shql;
    auto&       u = s.units;
    std::string title;
    if (!in.text_line(title)) return refuse(kErrShqlHeader, "the title line is missing");
    wfree(u, kUnitSummary, "     - SH-QL INPUT FILE : ", fmt_a(title, 40));
    int n = 0, fmt = 0, nstat = 0;
    if (in.record(n, fmt, nstat) != ReadResult::ok)
        return refuse(kErrShqlHeader, "the header is incomplete or not numbers");
    wfree(u, kUnitSummary, "SH-QL Input factor: ", n, fmt, nstat);
    if (n < 1 || n > kShqlMax || nstat < 1 || nstat > kShqlMax || fmt < 1 ||
        fmt > kStateDefinitions)
        return refuse(kErrShqlHeader, "controllers", n, "and state columns", nstat,
                      "must lie within 1 to 100, the state definition within 1 to 4");
    q.nstat = nstat;
    q.shql_fmt = fmt;
    for (int i = 1; i <= n; ++i)
        if (!read_record(i)) return false;
    q.nshql = n;
    return true;
}

bool ShqlReader::read_record(int i) {
    auto& q = s.shql;
    int   n = 0, cap_det = 0, vt = 0;
    float v[12] = {};
    if (in.record(n) != ReadResult::ok || in.next(std::span<float>(v)) != ReadResult::ok ||
        in.next(cap_det) != ReadResult::ok || in.next(vt) != ReadResult::ok)
        return refuse(kErrShqlShort, "the controller record is incomplete or not numbers");
    if (n < 1 || n > kShqlMax || q.shql_link(n) != 0)
        return refuse(kErrShqlController, "controller", n, "is outside 1 to 100 or repeated");
    const int ramp = netin::trunc_sat(v[0]), weave = netin::trunc_sat(v[1]),
              cong = netin::trunc_sat(v[2]), l = netin::trunc_sat(v[3]);
    if (!active_station(s, weave) || !active_station(s, cap_det) ||
        (ramp != 0 && !active_station(s, ramp)) || (cong != 0 && !active_station(s, cong)))
        return refuse(kErrShqlStation, "stations", ramp, weave, cong, cap_det,
                      "are not active stations (ramp and congestion may be 0)");
    if (!link_defined(s, l)) return refuse(kErrShqlLink, "link", l, "is not a link");
    const int   tim = netin::trunc_sat(v[6]);
    const float wl = v[7], wu = v[8], wd = v[9];
    const float span = wd > 0.0f ? (wu - wl) / wd : -1.0f;
    if (vt < 1 || vt > kClasses || tim < 1 || !(wd > 0.0f) || !(span >= 0.0f) ||
        span + 1.0f > static_cast<float>(kShqlMax))
        return refuse(kErrShqlValue, "class", vt, "interval", tim, "or actions", wl, wu, wd,
                      "out of range");
    const int an = static_cast<int>(span) + 1;
    q.shql_id(i) = n;
    q.ramp_det(n) = ramp;
    q.weave_det(n) = weave;
    q.shql_det(n) = cong;
    q.shql_link(n) = l;
    q.weave_typ(n) = netin::trunc_sat(v[4]);
    q.weave_len(n) = v[5];
    q.weave_tim(n) = tim;
    q.spd_wl(n) = wl;
    q.spd_wu(n) = wu;
    q.spd_wd(n) = wd;
    q.ql_gamma(n) = v[10];
    q.shql_tim(n) = netin::trunc_sat(v[11]);
    q.shct_det(n) = cap_det;
    q.shct_vt(n) = vt;
    q.shql_an(n) = an;
    for (int a = 1; a <= an; ++a)
        q.shql_act(n, a) = a < an ? wu - wd * static_cast<float>(a - 1) : wl;
    wfree(s.units, kUnitSummary, "SH-QL Reading Results ", n, v[0], v[1], v[2], v[3], v[4], v[5],
          v[6], v[7], v[8], v[9], v[10], v[11], an);
    return true;
}

// Reads one learned table file: for each controller, 100 action rows of a
// controller number and nstat values. The rows are used only when the whole
// table was read and every value is in range: a table that stops early or
// holds a value outside `limit` is named with its line, counted among the
// run's errors, and switches the strategy off (false). An absent or empty
// file is no table: learning starts from zero.
template <class Store>
bool read_table(Sim& s, const char* file, const char* opened, const char* complete,
                const char* none, float limit, Store&& store) {
    auto&             q = s.shql;
    auto&             u = s.units;
    const std::string name = netin::input_name(s, file);
    if (u.file_text(name).find_first_not_of(" \t\r\n") == std::string::npos ||
        !u.open_read(kUnitInput, name)) {
        wfree(u, kUnitSummary, none);
        return true;
    }
    wfree(u, kUnitSummary, opened);
    struct Value {
        int   m, a, st;
        float v;
    };
    std::vector<Value> rows;
    FreeReader         in(u.in(kUnitInput));
    std::vector<float> row(static_cast<std::size_t>(q.nstat));
    std::string        fault;
    for (int i = 1; i <= q.nshql && fault.empty(); ++i) {
        for (int a = 1; a <= kShqlMax && fault.empty(); ++a) {
            int m = 0;
            if (in.record(m) != ReadResult::ok ||
                in.next(std::span<float>(row)) != ReadResult::ok) {
                fault = "the table ends early or holds something that is not a number";
                break;
            }
            if (m < 1 || m > kShqlMax || q.shql_link(m) == 0) {
                wfree(u, kUnitRunLog, " Error", kErrShqlRow, std::string(file) + " line", in.line(),
                      "row of controller", m, "names no controller - skipped");
                continue;
            }
            for (int st = 1; st <= q.nstat && fault.empty(); ++st) {
                const float v = row[static_cast<std::size_t>(st - 1)];
                if (!(std::fabs(v) <= limit))
                    fault = free_line("value", v, "is outside", -limit, "to", limit);
                rows.push_back({m, a, st, v});
            }
        }
    }
    const int line = in.line();
    u.close(kUnitInput);
    if (!fault.empty()) {
        wfree(u, kUnitRunLog, " Error", kErrShqlTableData, std::string(file) + " line", line,
              "- " + fault + " - learned speed harmonisation is off");
        s.errcount.numerr += 1;
        wfree(u, kUnitSummary, none);
        return false;
    }
    for (const Value& r : rows) store(r.m, r.a, r.st, r.v);
    wfree(u, kUnitSummary, complete);
    return true;
}

// Measurements of station d: volume per lane (veh/h) and density (veh/km/lane).
void measure(const Sim& s, int d, int& w, float& k) {
    const auto& dl = s.detloc;
    w = 0;
    k = 0.0f;
    if (d == 0 || dl.detocc(d, 2) == 0) return;
    const int l = dl.detlink(d);
    if (dl.detspd(d, 2) == 0.0f) {
        k = s.link1.spdvol(l, 5);
        return;
    }
    w = dl.detvol(d, 2) / link_lanes(s, l);
    k = static_cast<float>(w) / dl.detspd(d, 2);
}

bool congested(const Sim& s, int d, float k) {
    return d != 0 && k > critical_density(s, s.detloc.detlink(d));
}

// The state of controller nw from its stations' last polls.
int state_of(Sim& s, int nw) {
    auto&     q = s.shql;
    const int st[3] = {q.ramp_det(nw), q.weave_det(nw), q.shql_det(nw)};
    int       w[3] = {};
    float     k[3] = {};
    for (int i = 0; i < 3; ++i) measure(s, st[i], w[i], k[i]);
    int state = 1;
    switch (q.shql_fmt) {
    case 1:
        for (int i = 0; i < 3; ++i)
            if (congested(s, st[i], k[i])) state += 1 << i;
        break;
    case 2:
        state = w[0] == 0 ? 8 : std::max(1, (10 * w[2]) / (w[2] + w[0]) - 1);
        break;
    case 3:
        if (st[0] != 0) {
            const int lanes = link_lanes(s, s.detloc.detlink(st[0]));
            state = s.detloc.detvol(st[0], 2) / (100 * lanes) + 1;
            if (congested(s, st[2], k[2])) state += 20;
        }
        break;
    case kStateByClass:
        if (st[2] != 0) {
            const int l3 = s.detloc.detlink(st[2]);
            if (congested(s, st[2], k[2])) {
                int total = 0;
                for (int c = 1; c <= kClasses; ++c) total += q.flowvt(l3, c);
                state =
                    total == 0
                        ? 12
                        : static_cast<int>(
                              (static_cast<double>(q.flowvt(l3, q.shct_vt(nw))) / total + 0.05) /
                              0.1) +
                              2;
            }
            for (int c = 1; c <= kClasses; ++c) q.flowvt(l3, c) = 0;
        }
        break;
    default:
        break;
    }
    return std::clamp(state, 1, kShqlMax);
}

// Reward of the weaving station's last poll: qc / (qc - w2), held at qc when
// the flow per lane reaches saturation.
float reward(const Sim& s, int nw) {
    const int   d = s.shql.weave_det(nw);
    const int   l = s.detloc.detlink(d);
    const float qc = s.link1.spdvol(l, 6);
    const int   w2 = s.detloc.detvol(d, 2) / link_lanes(s, l);
    const float gap = qc - static_cast<float>(w2);
    return gap > 0.0f ? qc / gap : qc;
}

// Writes every controller's rows of one table into the output folder (a run
// never writes into its input folder), replacing the file there only once
// the new text is complete; false when that fails. The next run learns on
// from the table once it is copied back into the input folder.
template <class Value> bool write_table(Sim& s, const char* file, Value&& value) {
    const auto&        q = s.shql;
    std::ostringstream out;
    out << std::setprecision(9);
    for (int i = 1; i <= q.nshql; ++i) {
        const int nw = q.shql_id(i);
        for (int a = 1; a <= kShqlMax; ++a) {
            out << nw;
            for (int st = 1; st <= q.nstat; ++st) out << ' ' << value(nw, a, st);
            out << '\n';
        }
    }
    return s.units.replace_file(routing::output_file(s, file), out.str());
}

} // namespace

void rd_shql(Sim& s) {
    auto& q = s.shql;
    auto& u = s.units;
    section_heading(u, kUnitSummary, " 36. Q-Learning Speed Harmonization - inputs  ");
    q.shql_enabled = q.nshql = q.nstat = q.nqlwrt = q.shql_fmt = 0;
    q.tables_written = false;
    q.rng = kShqlSeed;
    q.shql_id.zero();
    q.shql_link.zero();
    q.shql_tab.zero();
    q.shql_ar.zero();
    q.sq_mark.zero();
    q.t_pre.zero();
    q.t_update.zero();
    q.flag_shql.zero();
    q.flowvt.zero();
    for (int n = 1; n <= kShqlMax; ++n) {
        q.shql_ac(n) = 1;
        q.stat_pre(n) = 1;
    }
    for (int l = 1; l <= kMaxLinks; ++l) {
        q.flow_weave(l) = s.link1.spdvol(l, 6);
        q.spd_weave(l) = kWeaveCapDefault;
    }

    if (!u.open_read(kUnitInput, netin::input_name(s, kShqlFile))) {
        wfree(u, kUnitSummary, kNoShql);
        wfree(u, kUnitSummary, "     ");
        return;
    }
    wfree(u, kUnitSummary, "     - Q-Learning speed harmonization input file opened ");
    FreeReader in(u.in(kUnitInput));
    ShqlReader r{s, in, kShqlFile};
    const bool ok = r.read_all();
    u.close(kUnitInput);
    if (!ok) {
        q.nshql = q.shql_fmt = 0;
        wfree(u, kUnitSummary, kNoShql);
        wfree(u, kUnitSummary, "     ");
        return;
    }
    for (int i = 1; i <= q.nshql; ++i) q.flag_shql(q.shql_link(q.shql_id(i))) = q.shql_id(i);
    wfree(u, kUnitSummary, "     - Input of Q-Learning speed harmonization file complete ");
    q.shql_enabled = 1;
    wfree(u, kUnitSummary, "     ");

    const bool tables =
        read_table(s, kShqlTableFile, "     - Input Look-up table file opened ",
                   "     - Input of Look-up Table file complete ",
                   "     - No Look-up Table file input", kShqlValueLimit,
                   [&q](int m, int a, int st, float v) { q.shql_tab(m, a, st) = v; }) &&
        read_table(
            s, kShqlVisitFile, "     - Input revisit time file opened ",
            "     - Input of revisit time file complete ", "     - No revisit time file input",
            kShqlValueLimit,
            [&q](int m, int a, int st, float v) { q.shql_ar(m, a, st) = netin::trunc_sat(v); });
    if (!tables) {
        // No half-read table: the strategy stays off and writes nothing.
        q.shql_enabled = 0;
        q.flag_shql.zero();
        q.shql_tab.zero();
        q.shql_ar.zero();
    }
}

int maxsearch(const Sim& s, int nw, int st, float& qbest) {
    const auto& q = s.shql;
    int         best = 1;
    qbest = q.shql_tab(nw, 1, st);
    for (int a = 2; a <= q.shql_an(nw); ++a) {
        if (q.shql_tab(nw, a, st) > qbest) {
            qbest = q.shql_tab(nw, a, st);
            best = a;
        }
    }
    return best;
}

void fun_shql(Sim& s, int nl, int t10) {
    auto&       q = s.shql;
    const int   nw = q.flag_shql(nl);
    const float t_cur = static_cast<float>(t10) / 10.0f;
    const int   ti = t10 / 10;
    if (!(q.t_pre(nw) < static_cast<float>(ti)) || ti % q.weave_tim(nw) != 0) return;
    q.t_pre(nw) = t_cur;

    const int state = state_of(s, nw);
    if (ti >= q.shql_tim(nw)) {
        if (q.sq_mark(nw) == 0) {
            q.sq_mark(nw) = 1;
            q.nqlwrt += 1;
            if (q.nqlwrt == q.nshql) shql_save(s);
        }
        float best = 0.0f;
        q.shql_ac(nw) = maxsearch(s, nw, state, best);
    } else {
        const int sp = q.stat_pre(nw), ap = q.shql_ac(nw);
        q.shql_ar(nw, ap, sp) += 1;
        float best = 0.0f;
        maxsearch(s, nw, state, best);
        q.shql_tab(nw, ap, sp) = reward(s, nw) + q.ql_gamma(nw) * best;
        q.stat_pre(nw) = state;
        const int an = q.shql_an(nw);
        q.shql_ac(nw) = std::min(static_cast<int>(q.uniform() * static_cast<float>(an)) + 1, an);
    }
    q.flow_weave(nl) = q.shql_fmt == kStateByClass && state == 1 ? s.link1.spdvol(nl, 6)
                                                                 : q.shql_act(nw, q.shql_ac(nw));
}

void weave_cap(Sim& s, int nl, int t10) {
    auto&       q = s.shql;
    const int   nw = q.flag_shql(nl);
    const float t = static_cast<float>(t10) / 10.0f;
    if (!(q.t_update(nw) < t) || t10 % kTicksPerMinute != 0) return;
    q.t_update(nw) = t + 1.0f;
    const auto& dl = s.detloc;
    const int   d = q.shct_det(nw);
    if (dl.detocc(d, 2) == 0) {
        q.spd_weave(nl) = s.link1.spdvol(nl, 7);
        return;
    }
    const float k = dl.detspd(d, 2) == 0.0f
                        ? s.link1.spdvol(nl, 5)
                        : static_cast<float>(dl.detvol(d, 2)) /
                              (dl.detspd(d, 2) * static_cast<float>(link_lanes(s, nl)));
    const float target = q.flow_weave(nl) / k;
    if (target - 1.0f <= q.spd_weave(nl)) {
        q.spd_weave(nl) = target;
    } else {
        q.spd_weave(nl) += 1.0f;
    }
}

void shql_save(Sim& s) {
    auto& q = s.shql;
    if (q.shql_enabled != 1 || q.tables_written) return;
    q.tables_written = true;
    const bool tab = write_table(s, kShqlTableFile,
                                 [&q](int nw, int a, int st) { return q.shql_tab(nw, a, st); });
    const bool ar = write_table(s, kShqlVisitFile,
                                [&q](int nw, int a, int st) { return q.shql_ar(nw, a, st); });
    if (!tab || !ar)
        wfree(s.units, kUnitRunLog, " Error", kErrShqlWrite, "the learned tables", kShqlTableFile,
              kShqlVisitFile, "could not both be written - the old files stay");
}

} // namespace velm
