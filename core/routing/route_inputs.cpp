// Routing inputs from outside the run: the link flows and times of an earlier
// run (slot 6), the expected future link costs (slot 7), the external routing
// trees (slots 8 and 9), and the check of the first class trees.
#include "core/driver/errors.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/network/input_support.h"
#include "core/network/required_file.h"
#include "core/routing/routing.h"
#include "core/routing/tree_schedule.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace velm {

namespace {

constexpr int kLinkRecord6 = 21;     // values of a link record of file 6
constexpr int kLinkRecord7 = 16;     // values of a link record of file 7
constexpr int kMaxExternalTrees = 5; // trees per period of an external file
constexpr int kDestsPerLine = 15;    // destinations on the first line of an entry

// Record-error codes of the routing input files.
constexpr int kErrPeriods6 = 161010;
constexpr int kErrLink6 = 161020;
constexpr int kErrPeriods7 = 171010;
constexpr int kErrTreeCount = 181010;
constexpr int kErrOrigin8 = 181020;
constexpr int kErrLink8 = 181030;
constexpr int kErrEntry8 = 181040;

constexpr int         kCodeMicroDest = 2010;
constexpr int         kCodeMacroDest = 2020;
constexpr int         kCodeNoPath = 2030;
constexpr const char* kTreeErrorText = "Tree builder has detected an error in the input data";
constexpr int         kTreeErrorWidth = 55;
constexpr float       kNoShare = 0.00001f;

bool slot_none(const std::string& name) {
    const std::string_view t = trim_right(name);
    return t == "NONE" || t == "none";
}

std::string full_name(const Sim& s, const std::string& name) {
    std::string n = netin::input_name(s, name);
    if (n.size() > static_cast<std::size_t>(kFullNameChars))
        n.resize(static_cast<std::size_t>(kFullNameChars));
    return n;
}

// Reads n values of one record as reals (integers are truncated later).
bool read_values(FreeReader& in, std::vector<double>& v, int n) {
    v.assign(static_cast<std::size_t>(n), 0.0);
    in.start_record();
    for (auto& x : v)
        if (in.next(x) != ReadResult::ok) return false;
    return true;
}

int trunc_value(double v) {
    return netin::trunc_sat(v);
}

// Common state of the slot-6 and slot-7 readers.
struct FileReader {
    Sim&        s;
    FreeReader& in;
    int         slot;
    int         stage = kReadTitle;
    int         line = 1;

    template <class... T> bool record_error(int code, const T&... message) {
        wfree(s.units, kUnitRunLog, "Input File ", slot, "  Error ", code);
        wfree(s.units, kUnitRunLog, message...);
        stage = kReadData;
        return false;
    }
    // The title line: its first characters become the slot's title.
    bool title() {
        std::string text;
        if (!in.text_line(text)) return false;
        s.filenam.ftitle(slot) = netin::first_chars(text, kTitleLineChars);
        return true;
    }
    bool values(std::vector<double>& v, int n) {
        stage = kReadData;
        line = in.line() + 1;
        return read_values(in, v, n);
    }
};

// The link numbers of the defined links, ascending.
std::vector<int> defined_links(const Sim& s) {
    std::vector<int> out;
    const int        mlnum = std::min(s.link2.mlnum, kMaxLinks);
    for (int l = 1; l <= mlnum; ++l)
        if (s.link4.llength(l) >= 0.0f) out.push_back(l);
    return out;
}

bool read6_body(FileReader& r) {
    Sim&   s = r.s;
    auto&  fb = s.feedback;
    Units& u = s.units;
    if (!r.title()) return false;
    wfree(u, kUnitSummary, "    ", s.filenam.ftitle(kEarlierRunSlot));

    std::vector<double> v;
    if (!r.values(v, 4)) return false;
    const int np = trunc_value(v[0]);
    fb.perdur = trunc_value(v[1]);
    wfree(u, kUnitSummary, "    - Number of Periods      =", np);
    wfree(u, kUnitSummary, "    - Period Duration        =", fb.perdur);
    wfree(u, kUnitSummary, "    - Number of links        =", trunc_value(v[2]));
    wfree(u, kUnitSummary, "    - Maximum link number    =", trunc_value(v[3]));
    if (np < 0 || np > kHistoryPeriods)
        return r.record_error(kErrPeriods6, " Number of periods in file 6 =", np,
                              " is outside the range 0 to", kHistoryPeriods);
    fb.nperiods = np;

    const int mlnum = std::min(s.link2.mlnum, kMaxLinks);
    const int nrec = static_cast<int>(defined_links(s).size());
    for (int p = 1; p <= np; ++p) {
        if (!r.values(v, 2)) return false;
        for (int i = 1; i <= nrec; ++i) {
            if (!r.values(v, kLinkRecord6)) return false;
            const int link = trunc_value(v[0]);
            if (link < 1 || link > mlnum || s.link4.llength(link) < 0.0f)
                return r.record_error(kErrLink6, " Link ", link, " in period ", p,
                                      " of file 6 is not a link of the network");
            for (int c = 1; c <= kClasses; ++c) {
                const auto ci = static_cast<std::size_t>(c);
                fb.hisvol(link, c, p) = trunc_value(v[3 + ci]);
                fb.histim(link, c, p) = trunc_value(v[10 + ci]);
                fb.histol(link, c, p) = trunc_value(100.0 * v[15 + ci]);
            }
        }
    }
    return true;
}

bool read7_body(FileReader& r) {
    Sim&   s = r.s;
    auto&  tr = s.trees;
    Units& u = s.units;
    if (!r.title()) return false;
    wfree(u, kUnitSummary, "7. Read Expected Future Travel Costs on Links:");
    wfree(u, kUnitSummary, "    ", s.filenam.ftitle(kFutureCostSlot));

    std::vector<double> v;
    r.line = 2;
    if (!read_values(r.in, v, 4)) {
        // An unreadable header counts as a file without data.
        r.stage = kReadTitle;
        r.line = 1;
        return false;
    }
    r.stage = kReadData;
    const int np = trunc_value(v[0]);
    const int pd = trunc_value(v[1]);
    const int nl = trunc_value(v[2]);
    const int ml = trunc_value(v[3]);
    if (nl != s.link2.nlinks) {
        wfree(u, kUnitRunLog, " Error in Reading File 7 ");
        wfree(u, kUnitRunLog, "   - number of links in file 7  : ", nl);
        wfree(u, kUnitRunLog, "   - is not equal to # in file 2: ", s.link2.nlinks);
    }
    if (ml != s.link2.mlnum) {
        wfree(u, kUnitRunLog, " Error in Reading File 7 ");
        wfree(u, kUnitRunLog, "   - maximum link #  in file 7    : ", ml);
        wfree(u, kUnitRunLog, "   - is not equal to max in file 2: ", s.link2.mlnum);
    }
    wfree(u, kUnitSummary, "    - number of future time periods  =", np);
    wfree(u, kUnitSummary, "    - duration of time periods (secs)=", pd);
    if (np > kFuturePeriods)
        return r.record_error(kErrPeriods7, " Number of periods in file 7 =", np,
                              " is above the maximum", kFuturePeriods);
    tr.np_in = std::max(np, 0);
    tr.pd_in = pd;
    if (np <= 0) return true;

    const std::vector<int> links = defined_links(s);
    const int              mlnum = std::min(s.link2.mlnum, kMaxLinks);
    tr.futcost = Array3<int>("futcost", std::max(mlnum, 1), np, kClasses);
    for (int p = 1; p <= np; ++p) {
        wfree(u, kUnitSummary, "    - reading in  time period number =", p);
        if (!r.values(v, 2)) return false;
        // The n-th record fills the n-th defined link; its own link number is
        // not used.
        for (int link : links) {
            if (!r.values(v, kLinkRecord7)) return false;
            for (int c = 1; c <= kClasses; ++c)
                tr.futcost(link, p, c) = trunc_value(v[static_cast<std::size_t>(10 + c)]);
        }
    }
    return true;
}

// Opens and reads a numbered slot file; a failure counts only in listerr.
template <class Body> bool read_slot(Sim& s, int slot, const std::string& filnam, Body body) {
    const std::string name = netin::first_chars(filnam, kOpenNameChars);
    if (slot_none(name)) {
        listerr(s, name, slot, 0, kReadComplete, s.errcount.numerr);
        return false;
    }
    netin::RequiredFile file{slot, name, full_name(s, name)};
    file.counts_failure = false;
    return netin::read_required(s, file, [&](FreeReader& in, netin::ReadPlace& at) {
        FileReader r{s, in, slot};
        const bool ok = body(r);
        at = {ok ? kReadComplete : r.stage, r.line};
        return ok;
    });
}

} // namespace

void read6(Sim& s, const std::string& filnam) {
    auto&       fb = s.feedback;
    const auto& fretim = s.delay.fretim;
    // Histories of the run's links only: no record names a link above them.
    const int mlnum = std::clamp(s.link2.mlnum, 0, kMaxLinks);
    fb.histim.resize_zeroed(mlnum, kClasses, kHistoryPeriods);
    fb.hisvol.resize_zeroed(mlnum, kClasses, kHistoryPeriods);
    fb.histol.resize_zeroed(mlnum, kClasses, kHistoryPeriods);
    for (int p = 1; p <= kHistoryPeriods; ++p)
        for (int c = 1; c <= kClasses; ++c)
            for (int l = 1; l <= mlnum; ++l) fb.histim(l, c, p) = static_cast<int>(fretim(l));
    fb.nperiods = 0;
    fb.perdur = 0;
    section_banner(s.units);
    wfree(s.units, kUnitSummary, " 6. Average link flows and travel times:");
    s.pathnam.filuse[kEarlierRunSlot] = 0;
    if (read_slot(s, kEarlierRunSlot, filnam, read6_body)) s.pathnam.filuse[kEarlierRunSlot] = 1;
}

void read7(Sim& s, const std::string& filnam) {
    section_banner(s.units);
    wfree(s.units, kUnitSummary, " 7. Read Expected Future Travel Costs on Links:");
    s.pathnam.filuse[kFutureCostSlot] = 0;
    s.trees.np_in = 0;
    if (read_slot(s, kFutureCostSlot, filnam, read7_body) && s.trees.np_in > 0)
        s.pathnam.filuse[kFutureCostSlot] = 1;
}

namespace {

// One period of an external tree file on the open unit 1.
struct TreeFileReader {
    Sim&        s;
    FreeReader& in;
    int         slot;

    template <class... T> bool record_error(int code, const T&... message) {
        wfree(s.units, kUnitRunLog, "Input File ", slot, "  Error ", code);
        wfree(s.units, kUnitRunLog, message...);
        return false;
    }

    // Classes whose routing method takes this slot's trees.
    std::vector<int> classes() const {
        const int method =
            slot == 9 ? routing::kExternalSlot9Method : routing::kExternalSlot8Method;
        std::vector<int> out;
        for (int c = 1; c <= kClasses; ++c)
            if (s.set1.tremet(c) == method) out.push_back(c);
        return out;
    }

    // An entry: its number, then the first or next link toward each
    // destination zone 1..maxdst.
    bool entry(std::vector<double>& v, int maxdst, int& number) {
        if (!read_values(in, v, 1 + maxdst)) return false;
        number = trunc_value(v[0]);
        const int mlnum = std::min(s.link2.mlnum, kMaxLinks);
        for (int i = 1; i <= maxdst; ++i) {
            const int x = trunc_value(v[static_cast<std::size_t>(i)]);
            if (x < -1 || x > mlnum)
                return record_error(kErrEntry8, " Entry ", number, " gives link ", x,
                                    " toward zone ", i, " which is not a link of the network");
        }
        return true;
    }

    bool period(int& pernum) {
        Units&    u = s.units;
        auto&     tr = s.trees;
        const int maxdst = std::min(s.set2.maxdst, kMaxZones);
        wfree(u, kUnitSummary, "  ");
        std::vector<double> v;
        if (!read_values(in, v, 2)) return false;
        pernum = trunc_value(v[0]);
        const int n = trunc_value(v[1]);
        wfree(u, kUnitSummary, "       - Current period number  =", pernum);
        wfree(u, kUnitSummary, "       - Number of Trees        =", n);
        wfree(u, kUnitSummary,
              "       - Number lines per node  =", (maxdst - 1) / kDestsPerLine + 1);
        if (n < 1 || n > kMaxExternalTrees)
            return record_error(kErrTreeCount, " Number of trees =", n, " in period ", pernum,
                                " is outside the range 1 to", kMaxExternalTrees);

        const std::vector<int> cls = classes();
        for (int c : cls)
            for (int k = 1; k <= kTreesPerClass; ++k) {
                tr.tree_wt((c - 1) * kTreesPerClass + k, 1) = 0.0f;
                tr.tree_wt((c - 1) * kTreesPerClass + k, 2) = 1.0f;
            }
        float     cum = 0.0f;
        const int origins = s.graph1.numtyp(1) + s.graph1.numtyp(3);
        for (int k = 1; k <= n; ++k) {
            float number = 0.0f, weight = 0.0f;
            if (in.record(number, weight) != ReadResult::ok) return false;
            cum += weight;
            wfree(u, kUnitSummary, "    - Tree Number            =", number);
            wfree(u, kUnitSummary, "    - Tree Weight            =", weight);
            wfree(u, kUnitSummary, "    - Cumulative Weight      =", cum);
            for (int c : cls) {
                tr.tree_wt((c - 1) * kTreesPerClass + k, 1) = weight;
                tr.tree_wt((c - 1) * kTreesPerClass + k, 2) = cum;
            }
            if (!block(v, origins, maxdst, k, cls, true)) return false;
            wfree(u, kUnitSummary, "      - Reading of trip origins complete");
            if (!block(v, s.link2.nlinks, maxdst, k, cls, false)) return false;
            wfree(u, kUnitSummary, "      - Reading of mid-trip routes complete ");
        }
        return true;
    }

    // The origin block (zones) or the link block of tree k.
    bool block(std::vector<double>& v, int count, int maxdst, int k, const std::vector<int>& cls,
               bool origins) {
        auto&       tr = s.trees;
        const auto& macrzon = s.graph1.macrzon;
        auto&       table = origins ? tr.tree1o : tr.tree1l;
        for (int j = 1; j <= count; ++j) {
            int number = 0;
            if (!entry(v, maxdst, number)) return false;
            if (number < 1 || number > kMaxLinks) continue; // read and skipped
            if (origins && (number > kMaxZones || number > table.rows()))
                return record_error(kErrOrigin8, " Origin zone ", number,
                                    " is not a zone of the network (at most ",
                                    std::min(kMaxZones, table.rows()), ")");
            if (!origins && number > table.rows())
                return record_error(kErrLink8, " Link ", number,
                                    " is not a link of the network (at most ", table.rows(), ")");
            for (int i = 1; i <= maxdst; ++i) {
                const int m = std::abs(macrzon(i));
                if (m == 0 || m > table.dests()) continue;
                const auto x = static_cast<TreeLink>(trunc_value(v[static_cast<std::size_t>(i)]));
                for (int c : cls) table(m, number, (c - 1) * kTreesPerClass + k) = x;
            }
        }
        return true;
    }
};

} // namespace

void read8(Sim& s, const std::string& filnam, int mode, int& success, int& nper, int& perlen,
           int& pernum, int slot) {
    Units& u = s.units;
    section_banner(u);
    s.pathnam.filuse[slot == 9 ? 9 : 8] = 0;
    success = 0;
    const std::string name = netin::first_chars(filnam, kOpenNameChars);
    auto              failed = [&](const char* what) {
        wfree(u, kUnitRunLog, " External tree file of slot", slot, what);
        wfree(u, kUnitRunLog, "   ", name);
        ++s.errcount.numerr;
    };
    s.trees.size_trees(std::min(s.set2.mmazon, kMaxMacroZones), std::min(s.link2.mlnum, kMaxLinks),
                       std::min(s.set2.mzones, kMaxZones));
    if (mode == 1) {
        nper = 0;
        perlen = 0;
        wfree(u, kUnitSummary, " 8. Checking Externally Specified Trees - File 8");
        if (slot_none(name)) return;
        const std::string full = full_name(s, name);
        wfree(u, kUnitSummary, "   a. Looking for File  :", name);
        wfree(u, kUnitSummary, "   b. Attempting to Open:", fmt_a(full, kFullNameChars));
        if (!u.open_read(kUnitInput, full)) return failed(" cannot be opened");
        wfree(u, kUnitSummary, "   c. File Opened       :", name);
    }
    if (!u.is_open(kUnitInput) || !u.is_input(kUnitInput)) return failed(" is not open");
    // The reader resumes where the previous period stopped: a fresh
    // FreeReader on the same stream starts at its next line.
    FreeReader in(u.in(kUnitInput));
    if (mode == 1) {
        std::string title;
        if (!in.text_line(title)) return failed(" has no title line");
        s.filenam.ftitle(slot == 9 ? 9 : 8) = netin::first_chars(title, kShortTitleChars);
        wfree(u, kUnitSummary, "   d. File Title        :", fmt_a(title, kShortTitleChars));
        std::vector<double> h;
        if (!read_values(in, h, 7)) return failed(" has an unreadable header");
        static constexpr std::array<const char*, 7> labels{
            "       - Number of periods      =", "       - Duration of periods    =",
            "       - Number of Origins      =", "       - Maximum Origin         =",
            "       - Maximum destination    =", "       - Number of links        =",
            "       - Maximum link number    ="};
        for (std::size_t i = 0; i < labels.size(); ++i)
            wfree(u, kUnitSummary, labels[i], trunc_value(h[i]));
        nper = trunc_value(h[0]);
        perlen = trunc_value(h[1]);
    }
    TreeFileReader rd{s, in, slot};
    if (!rd.period(pernum)) return failed(" ends early or holds a bad record");
    s.pathnam.filuse[slot == 9 ? 9 : 8] = 1;
    success = 1;
}

void checktree(Sim& s, int vt) {
    const auto&       od = s.oddat;
    const auto&       g = s.graph1;
    auto&             tr = s.trees;
    auto&             ec = s.errcount;
    Units&            u = s.units;
    const std::string first = fmt_a(kTreeErrorText, kTreeErrorWidth);
    const int         last = std::min(od.lodp, kMaxOdPairs);
    for (int i = std::max(od.fodp, 1); i <= last; ++i) {
        const int o = od.o(i);
        if (o == -1 || od.numod(i) <= 0.0f || od.demstr(i) >= static_cast<float>(s.set1.simtim1))
            continue;
        const int d = od.d(i);
        // A destination outside its table is a hard failure of this record.
        auto bad_destination = [&](int code, const char* kind, const char* title, int value) {
            ++ec.numerr;
            ++ec.errt1;
            wfree(u, kUnitRunLog, first, code);
            wfree(u, kUnitRunLog, "Invalid ", kind, " destination for", o, " to ", d,
                  " for o-d pair:", i, "and vehicle type", vt);
            wfree(u, kUnitRunLog, title, " destination = ", value);
            wfree(u, kUnitRunLog, " ");
        };
        if (d < 1 || d > kMaxZones) {
            bad_destination(kCodeMicroDest, "micro", "Micro", d);
            continue;
        }
        const int m = std::abs(g.macrzon(d));
        if (m < 1 || m > kMaxMacroZones) {
            bad_destination(kCodeMacroDest, "macro", "Macro", m);
            continue;
        }
        const float share = vt == 1
                                ? std::fabs(od.kvtyp(i, 1, 2))
                                : std::fabs(od.kvtyp(i, vt, 2)) - std::fabs(od.kvtyp(i, vt - 1, 2));
        if (share <= kNoShare) continue;
        const bool in_tree = tr.ortree.holds(m, o, vt);
        if (in_tree && tr.ortree(m, o, vt) > 0) continue;

        ++ec.numerr;
        wfree(u, kUnitRunLog, first, kCodeNoPath);
        wfree(u, kUnitRunLog, "No available path coded: ", o, " - ", d, " for o-d pair:", i,
              "and vehicle type", vt);
        wfree(u, kUnitRunLog, "Macro destination = ", m);
        // The distance trees are indexed by zone node: the macro zone's centroid.
        const int centroid = g.mazn(m);
        int       found = 0;
        if (o >= 1 && o <= kMaxNodes) {
            const int n = std::clamp(g.nlinfr(o), 0, kMaxNodeLinks);
            for (int k = 1; k <= n; ++k)
                if (distance_reachable(s, centroid, g.linfr(o, k))) found = g.linfr(o, k);
        }
        if (found > 0) {
            if (in_tree) tr.ortree(m, o, vt) = static_cast<TreeLink>(found);
            wfree(u, kUnitRunLog, "     Potential path along link ", found,
                  " made infeasible due to link prohibitions ");
        } else {
            wfree(u, kUnitRunLog, "     No potential paths available ",
                  " even if link prohibitions are ignored ");
        }
        ++ec.errt1;
        wfree(u, kUnitRunLog, "  ");
    }
}

} // namespace velm
