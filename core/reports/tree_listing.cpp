// Routing trees as next-link tables for other programs: for every origin
// zone and every link, the link to take next towards each destination. The
// distance trees once at the start, the first stored tree of each class that
// rebuilds its trees every output period, and the five stored trees of each
// assigned class with their weights after each slice of the assignment.
#include "core/io/writers.h"
#include "core/model/codes.h"
#include "core/reports/reports.h"

#include <cstdlib>
#include <string>

namespace velm {

namespace {

inline constexpr int kAssignedTrees = 1; // the class's five stored trees (assignment)
// Flag 2: the class's first stored tree (read like the assigned ones).
inline constexpr int kDistanceTrees = 3; // the shortest-distance trees
inline constexpr int kValuesPerLine = 15;

// What the listing needs to know about its call.
struct TreeCall {
    int flag = 0;
    int vt = 0;
    int tr = 0; // the tree number being listed
};

bool origin_zone(const Sim& s, int o) {
    const int typ = s.graph1.ntyp(o);
    return typ == kZoneBoth || typ == kZoneOrigin;
}

// Entry (m, row, tree) of a tree table; 0 (no path) when the run's trees do
// not reach that far (a table not built).
int entry(const TreeTable<TreeLink>& t, int m, int row, int tree) {
    return t.holds(m, row, tree) ? t(m, row, tree) : 0;
}

// Next link from origin zone o (or link i) towards destination zone d.
int next_from_origin(const Sim& s, const TreeCall& c, int o, int d) {
    const int m = std::abs(s.graph1.macrzon(d));
    if (m == 0) return 0;
    return entry(s.trees.tree1o, m, o, c.tr);
}

int next_from_link(const Sim& s, const TreeCall& c, int i, int d) {
    const int m = std::abs(s.graph1.macrzon(d));
    if (m == 0) return 0;
    if (c.flag != kDistanceTrees) return entry(s.trees.tree1l, m, i, c.tr);
    const auto& distre = s.trees.distre;
    return distre.holds(d, i, 1) ? distre(d, i, 1) : 0;
}

// One row: its number and the value of every destination zone, 15 a line,
// further lines indented by 5 blanks.
template <class Value>
void write_row(Sim& s, int unit, int number, std::string& line, Value&& value) {
    const int maxdst = s.set2.maxdst;
    line = fmt_i(number, 5);
    for (int d = 1; d <= maxdst; ++d) {
        if (d > 1 && (d - 1) % kValuesPerLine == 0) {
            s.units.line(unit, line);
            line = blanks(5);
        }
        line += fmt_i(value(d), 6);
    }
    s.units.line(unit, line);
}

void write_tree(Sim& s, int unit, const TreeCall& c, float weight) {
    s.units.line(unit, fmt_i(c.tr, 8) + fmt_f(weight, 8, 4) + fmt_i(c.vt, 8));
    std::string line;
    if (c.flag != kDistanceTrees)
        for (int o = 1; o <= s.set2.maxorg; ++o)
            if (origin_zone(s, o))
                write_row(s, unit, o, line, [&](int d) { return next_from_origin(s, c, o, d); });
    for (int i = 1; i <= s.link2.mlnum; ++i)
        if (s.link4.llength(i) >= 0.0f)
            write_row(s, unit, i, line, [&](int d) { return next_from_link(s, c, i, d); });
}

} // namespace

void pminpath(Sim& s, int funit, int t, int vt, int nvt, int ddd, int flag) {
    auto& u = s.units;
    if (!u.is_open(funit)) return; // a unit no slot opened receives nothing
    const int pd_ot2 = s.trees.pd_ot2;
    const int period = std::abs(pd_ot2);
    if (nvt > 0 && t == 0) {
        u.line(funit, fmt_a(s.filenam.mastitle, kTitleLineChars));
        const auto& g = s.graph1;
        u.line(funit, fmt_i(s.trees.np_ot2, 7) + fmt_i(period, 7) + fmt_i(s.set2.maxorg, 7) +
                          fmt_i(g.numtyp(kZoneBoth) + g.numtyp(kZoneOrigin), 7) +
                          fmt_i(s.set2.maxdst, 7) + fmt_i(s.link2.nlinks, 7) +
                          fmt_i(s.link2.mlnum, 7));
    }
    int index = 1, count = 1;
    if (flag != kDistanceTrees) {
        // The block index counts periods of output rate 2; without that rate
        // there is no period to count and nothing is listed.
        if (period == 0) return;
        index = pd_ot2 >= 1 ? t / period + 1 : t / period;
        count = flag == kAssignedTrees ? kTreesPerClass : 1;
    }
    // The assignment lists every slice, the first (from time 0) included.
    if ((t < 1 && ddd < 1 && flag != kAssignedTrees) || index < 1) return;
    if (vt < 1 || vt > kClasses) return;
    if (nvt > 0) u.line(funit, fmt_i(index, 8) + fmt_i(count, 8) + fmt_i(nvt, 8));
    for (int b = 1; b <= count; ++b) {
        const TreeCall c{flag, vt, (vt - 1) * kTreesPerClass + b};
        write_tree(s, funit, c, flag == kDistanceTrees ? 1.0f : s.trees.tree_wt(c.tr, 1));
    }
}

} // namespace velm
