// The node file (master slot 1): node coordinates, types, macro zones,
// message signs, U-turn permission and, in the second layout, zone land uses.
#include "core/driver/errors.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/network/network.h"
#include "core/network/required_file.h"

#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr int kNodeSlot = 1;

// How a node-file read stopped.
enum class Exit { done, failure, bad_value };

struct NodeReader {
    Sim&        s;
    FreeReader& in;
    int         stage = kReadOpen;
    int         line = 0;

    NodeReader(Sim& sim, FreeReader& reader) : s(sim), in(reader) {}

    // A fatal record check: its first line (may be empty), the code line and
    // the detail line; the caller then takes the failure exit.
    template <class... T> Exit fatal(const char* first, int code, const T&... detail) {
        if (first[0] != '\0') wfree(s.units, kUnitRunLog, first);
        wfree(s.units, kUnitRunLog, "Input File 1  Error ", code);
        wfree(s.units, kUnitRunLog, detail...);
        return Exit::failure;
    }

    static Exit of(ReadResult r) {
        return r == ReadResult::end_of_file ? Exit::failure : Exit::bad_value;
    }

    Exit read_all();
    Exit read_record(int k, bool layout2, double xs, double ys);
};

Exit NodeReader::read_all() {
    auto& set2 = s.set2;

    stage = kReadTitle;
    line = 1;
    std::string title;
    if (!in.text_line(title)) return Exit::failure;
    s.filenam.ftitle(kNodeSlot) = netin::first_chars(title, 40);
    s.units.line(kUnitSummary, " 1. Open Node/Zone Coordinates File: ");
    s.units.line(kUnitSummary, "     - " + fmt_a(s.filenam.ftitle(kNodeSlot), 300));

    stage = kReadData;
    line = 2;
    double first = 0, xs = 0, ys = 0, nlu = 0;
    in.start_record();
    if (ReadResult r = in.next(first); r != ReadResult::ok) return of(r);
    const bool layout2 = first < 0;
    if (ReadResult r = in.next(xs); r != ReadResult::ok) return of(r);
    if (ReadResult r = in.next(ys); r != ReadResult::ok) return of(r);
    if (layout2)
        if (ReadResult r = in.next(nlu); r != ReadResult::ok) return of(r);
    // Scale factors are kept in single precision.
    xs = static_cast<float>(xs);
    ys = static_cast<float>(ys);
    set2.nnodes = netin::trunc_sat(std::fabs(first));
    s.landuse.nlanduse = layout2 ? netin::trunc_sat(nlu) : 0;

    if (set2.nnodes > kMaxNodes)
        return fatal(" FATAL ERROR", 111010, "Number of nodes=", set2.nnodes,
                     "exceeds maximum=", kMaxNodes);
    if (set2.nnodes <= 1)
        return fatal(" FATAL ERROR", 111020, "Number of nodes=", set2.nnodes, "is below min =", 1);
    if (s.landuse.nlanduse > kMaxLandUses)
        return fatal(" FATAL ERROR", 111025, "Number of land uses=", s.landuse.nlanduse,
                     "exceeds max =", kMaxLandUses);

    for (int k = 1; k <= set2.nnodes; ++k) {
        line = k + 2;
        if (Exit e = read_record(k, layout2, xs, ys); e != Exit::done) return e;
        if (k % 1000 == 0)
            wfree(s.units, kUnitRunLog, "     - Reading node=", k, " of ", set2.nnodes);
    }

    s.pathnam.filuse[kNodeSlot] = 1;
    makewind(s);
    nodeanal(s);
    setnlin(s);
    setpark(s);

    wfree(s.units, kUnitSummary, "  c. Analysis of Min/Max Zone/Node Numbers ");
    wfree(s.units, kUnitSummary, "     - Minimum origin     =", set2.minorg);
    wfree(s.units, kUnitSummary, "     - Minimum destination=", set2.mindst);
    wfree(s.units, kUnitSummary, "     - Maximum origin     =", set2.maxorg);
    wfree(s.units, kUnitSummary, "     - Maximum destination=", set2.maxdst);
    if (set2.maxorg > kMaxZones)
        return fatal(" FATAL ERROR", 111090, "Maximum Origin=", set2.maxorg,
                     "exceeds max.=", kMaxZones);
    if (set2.maxdst > kMaxZones)
        return fatal(" FATAL ERROR", 111100, "Maximum Destin=", set2.maxdst,
                     "exceeds max.=", kMaxZones);
    setdep(s);
    stage = kReadComplete;
    return Exit::done;
}

Exit NodeReader::read_record(int k, bool layout2, double xs, double ys) {
    auto& g = s.graph1;

    double f[7] = {};
    in.start_record();
    for (int i = 1; i <= 6; ++i)
        if (ReadResult r = in.next(f[i]); r != ReadResult::ok) return of(r);

    const bool   uturn_ok = f[1] < 0;
    const double node = std::trunc(std::fabs(f[1]));
    // Range checks in double: a node number beyond any integer is an error, not a wrap.
    if (node > kMaxNodes)
        return fatal(" FATAL ERROR", 111030, "Node Number=", node, "exceeds max.=", kMaxNodes);
    if (node < 1) return fatal(" FATAL ERROR", 111040, "Node Number=", node, "exceeds min.=", 1);
    const int n = static_cast<int>(node);
    // Already coded is told by the type, so a node with a negative x is not
    // silently overwritten.
    if (g.ntyp(n) != 0)
        return fatal(" FATAL ERROR", 111050, "Node Number=", node, " at line", line,
                     "already exists");
    if (std::fabs(f[5]) > kMaxMacroZones)
        return fatal(" FATAL ERROR", 111060, "Macro Zone =", std::fabs(f[5]),
                     "exceeds max.=", kMaxMacroZones);

    const int typ = netin::trunc_sat(f[4]);
    if (layout2 && f[4] <= 3) {
        for (int j = 1; j <= s.landuse.nlanduse; ++j) {
            double v = 0;
            if (ReadResult r = in.next(v); r != ReadResult::ok) return of(r);
            if (n <= kMaxZones) s.landuse.landuse(n, j) = static_cast<float>(v);
        }
    }

    if (uturn_ok) g.uturn(n) = 1;
    g.x(n) = static_cast<float>(f[2] * xs);
    g.y(n) = static_cast<float>(f[3] * ys);
    g.ntyp(n) = typ;
    if (n <= kMaxZones) g.macrzon(n) = netin::trunc_sat(f[5]);

    if (f[5] < 0) {
        const int m = netin::trunc_sat(std::fabs(f[5]));
        if (m >= 1) {
            if (g.mazn(m) != 0)
                return fatal("FATAL ERROR ", 111066, "Node=", node, " is coded as zone centroid ",
                             f[5], " which already exists as =", g.mazn(m));
            g.mazn(m) = n;
            s.set2.mmazon = std::max(s.set2.mmazon, m);
        } else {
            return fatal("FATAL ERROR ", 111066, "Node=", node, " is coded as zone centroid ", f[5],
                         " which exceeds max. number =", kMaxMacroZones);
        }
    } else if (f[5] > 0) {
        return fatal("FATAL ERROR ", 111067, "Node=", node, " is coded as a non-zone centroid ",
                     f[5], ". Solution: code as a zone centroid");
    }

    // Message sign: integer part = five class digits, fraction = compliance.
    g.cms(n) = static_cast<float>(f[6] - std::trunc(f[6]));
    const int digits = netin::trunc_sat(f[6] + 0.1);
    int       place = 10000;
    for (int c = 1; c <= kClasses; ++c, place /= 10) {
        const int d = (digits / place) % 10;
        g.cmstyp(n, c) = d;
        if (d > 5) {
            wfree(s.units, kUnitRunLog, "Input File 1  Error ", 111070);
            wfree(s.units, kUnitRunLog, " Node=", n, " Vehicle Type=", c,
                  " is coded as becoming type ", d);
            wfree(s.units, kUnitRunLog, " this value should be 0-5 ");
            return Exit::failure;
        }
    }
    g.nodnum(k) = n;

    if (f[4] >= kZoneBoth && f[4] <= kZoneOrigin && n > kMaxZones)
        return fatal("FATAL ERROR ", 111060, "Node=", node, " is type origin/destination",
                     " but exceeds maximum zones =", kMaxZones);
    if (f[4] > kPlainNode || f[4] < kZoneBoth) {
        wfree(s.units, kUnitRunLog, "Input File 1  Error ", 111070);
        wfree(s.units, kUnitRunLog, "Node=", n, "Invalid Type=", typ);
        g.ntyp(n) = kInvalidNode;
    }
    if (g.cms(n) < 0) {
        wfree(s.units, kUnitRunLog, "Input File 1  Error ", 111080);
        wfree(s.units, kUnitRunLog, "Node=", n, "Invalid cms=", g.cms(n));
        g.ntyp(n) = kInvalidNode;
    }
    s.set2.mnodenum = std::max(s.set2.mnodenum, n);
    maxnod(s, n, g.ntyp(n));
    return Exit::done;
}

// Node columns of an earlier run of a batch must not survive into this one.
void reset_node_columns(Sim& s) {
    auto& g = s.graph1;
    g.cms.zero();
    g.cmstyp.zero();
    g.nodnum.zero();
    g.macrzon.zero();
    g.mazn.zero();
    s.landuse.nlanduse = 0;
    s.landuse.landuse.zero();
    s.oddat.treereq.zero();
    s.set2.nnodes = 0;
}

} // namespace

void read1(Sim& s, const std::string& filnam) {
    section_banner(s.units);
    s.set2.mmazon = 0;
    s.pathnam.filuse[kNodeSlot] = 0;
    setcor(s);
    reset_node_columns(s);

    netin::RequiredFile file{kNodeSlot, filnam, netin::input_name(s, filnam)};
    file.failure_note = "Error in Reading Data file=";
    file.note_width = 200;
    netin::read_required_by<NodeReader>(s, file, Exit::failure);
}

} // namespace velm
