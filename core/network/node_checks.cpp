// Node table preparation around the node file, the zone extents, the network
// window, the node-type totals and the node checks.
#include "core/io/writers.h"
#include "core/network/network.h"

#include <algorithm>
#include <cstdlib>

namespace velm {

void setcor(Sim& s) {
    auto& g = s.graph1;
    g.x.fill(kNodeNotCoded);
    g.y.fill(kNodeNotCoded);
    g.ntyp.zero();
    g.uturn.fill(-1);
    s.set2.mnodenum = 0;
    s.set2.mzones = 0;
}

void maxnod(Sim& s, int node, int nt) {
    auto& e = s.set2;
    if (e.mzones == 0) {
        e.minorg = 99999;
        e.mindst = 99999;
        e.maxorg = 0;
        e.maxdst = 0;
    }
    if (nt >= 1 && nt <= 3 && node > e.mzones) e.mzones = node;
    if (nt == 1 || nt == 3) {
        e.maxorg = std::max(e.maxorg, node);
        e.minorg = std::min(e.minorg, node);
    }
    if (nt == 1 || nt == 2) {
        e.maxdst = std::max(e.maxdst, node);
        e.mindst = std::min(e.mindst, node);
    }
}

namespace {
void window_lines(Sim& s) {
    const auto& e = s.set2;
    s.units.line(kUnitSummary, "     - Minimum X =" + fmt_f(e.xmin(1), 10, 3));
    s.units.line(kUnitSummary, "     - Maximum X =" + fmt_f(e.xmax(1), 10, 3));
    s.units.line(kUnitSummary, "     - Minimum Y =" + fmt_f(e.ymin(1), 10, 3));
    s.units.line(kUnitSummary, "     - Maximum Y =" + fmt_f(e.ymax(1), 10, 3));
}
} // namespace

void makewind(Sim& s) {
    auto&       e = s.set2;
    const auto& g = s.graph1;
    float       x0 = 999999.0f, x1 = -999999.0f, y0 = 999999.0f, y1 = -999999.0f;
    for (int n = 1; n <= e.mnodenum; ++n) {
        if (g.x(n) <= 0.0f) continue;
        x0 = std::min(x0, g.x(n));
        x1 = std::max(x1, g.x(n));
        y0 = std::min(y0, g.y(n));
        y1 = std::max(y1, g.y(n));
    }
    // A square window centred on the nodes.
    const float side = std::max(x1 - x0, y1 - y0);
    const float xc = (x0 + x1) / 2.0f;
    const float yc = (y0 + y1) / 2.0f;
    e.xmin(1) = xc - side / 2.0f;
    e.xmax(1) = xc + side / 2.0f;
    e.ymin(1) = yc - side / 2.0f;
    e.ymax(1) = yc + side / 2.0f;
    wfree(s.units, kUnitSummary, "   ");
    wfree(s.units, kUnitSummary, "  a. Node coordinate ranges:   ");
    window_lines(s);

    const float margin = 0.05f * side;
    e.xmin(1) -= margin;
    e.xmax(1) += margin;
    e.ymin(1) -= margin;
    e.ymax(1) += margin;
    wfree(s.units, kUnitSummary, "   ");
    wfree(s.units, kUnitSummary, "  b. Network window coordinates:   ");
    window_lines(s);

    for (int w = 2; w <= 4; ++w) {
        e.xmin(w) = e.xmin(1);
        e.xmax(w) = e.xmax(1);
        e.ymin(w) = e.ymin(1);
        e.ymax(w) = e.ymax(1);
    }
    s.graph1.symb.zero();
}

void nodeanal(Sim& s) {
    auto& g = s.graph1;
    g.numtyp.zero();
    g.cmstot = 0;
    for (int n = 1; n <= s.set2.mnodenum; ++n) {
        if (g.x(n) <= 0.0f) continue;
        if (g.ntyp(n) >= 1 && g.ntyp(n) <= kInvalidNode) g.numtyp(g.ntyp(n)) += 1;
        if (g.cms(n) > 0.0f) g.cmstot += 1;
    }
    auto& u = s.units;
    wfree(u, kUnitSummary, " ");
    wfree(u, kUnitSummary, "  b. Analysis of Node Type Totals  ");
    wfree(u, kUnitSummary, "     - Number origin and destinations=", g.numtyp(1));
    wfree(u, kUnitSummary, "     - Number destinations only      =", g.numtyp(2));
    wfree(u, kUnitSummary, "     - Number origin only            =", g.numtyp(3));
    wfree(u, kUnitSummary, "     - Number nodes only             =", g.numtyp(4));
    wfree(u, kUnitSummary, "     - Number of invalid nodes       =", g.numtyp(5));
    wfree(u, kUnitSummary, "  ");
    wfree(u, kUnitSummary, "     - Number of CMS coded nodes     =", g.cmstot);
    wfree(u, kUnitSummary, "  ");
    wfree(u, kUnitSummary, "     - Number origins (total)        =", g.numtyp(1) + g.numtyp(3));
    wfree(u, kUnitSummary, "     - Number destinations (total)   =", g.numtyp(1) + g.numtyp(2));
    wfree(u, kUnitSummary, "     - Number nodes (total)          =",
          g.numtyp(1) + g.numtyp(2) + g.numtyp(3) + g.numtyp(4));
    wfree(u, kUnitSummary, "  ");
}

void setnlin(Sim& s) {
    for (int n = 1; n <= std::min(s.set2.mnodenum, kMaxNodes); ++n) {
        s.graph1.nlinto(n) = 0;
        s.graph1.nlinfr(n) = 0;
    }
}

void setpark(Sim& s) {
    for (int z = 1; z <= std::min(s.set2.mzones, kMaxZones); ++z) {
        s.invisible.ntinv(z) = 0;
        s.invisible.maxpark(z) = 0;
        s.invisible.tmaxpark(z) = 0;
    }
}

void setdep(Sim& s) {
    auto&     nd = s.nodes;
    const int morg = std::min(s.set2.maxorg, kMaxZones);
    const int mdst = std::min(s.set2.maxdst, kMaxZones);
    const int ncl = std::clamp(s.set2.nvehtyp, 0, kClasses);
    for (int c = 1; c <= ncl; ++c)
        for (int d = 1; d <= mdst; ++d)
            for (int o = 1; o <= morg; ++o) {
                nd.dptrs(o, d, c) = 0;
                nd.arvls(o, d, c) = 0;
                nd.trtim(o, d, c) = 0.0f;
            }
}

namespace {
// One failed node check: counted, code line, detail line, a blank line.
template <class... T> void node_error(Sim& s, const char* head, int code, const T&... detail) {
    s.errcount.numerr += 1;
    wfree(s.units, kUnitRunLog, head, code);
    wfree(s.units, kUnitRunLog, detail...);
    wfree(s.units, kUnitRunLog, " ");
    s.errcount.errt1 += 1;
}
constexpr const char* kHead = "Input File 1  Error ";
} // namespace

void checknode(Sim& s) {
    const auto& e = s.set2;
    const auto& g = s.graph1;
    if (!(e.xmin(1) < e.xmax(1)))
        return node_error(s, kHead, 112010, "xmin=", e.xmin(1), " is greater than xmax", e.xmax(1));
    if (!(e.ymin(1) < e.ymax(1)))
        return node_error(s, kHead, 112020, "ymin=", e.ymin(1), e.ymin(2), e.ymin(3), e.ymin(4),
                          " is greater than ymax=", e.ymax(1), e.ymax(2), e.ymax(3), e.ymax(4));
    if (!(e.xmin(1) + 0.1f < e.xmax(1)))
        return node_error(s, kHead, 112030, "xmin=", e.xmin(1),
                          " is within 0.1 km of xmax=", e.xmax(1));
    if (!(e.ymin(1) + 0.1f < e.ymax(1)))
        return node_error(s, "Input File 1  Error", 112050, "ymin=", e.ymin(1),
                          " is within 0.1 km of ymax=", e.ymax(1));
    if (e.mnodenum < e.nnodes)
        return node_error(s, kHead, 112120, "Maximum node number =", e.mnodenum, " is less than",
                          "number of nodes=", e.nnodes);

    for (int k = 1; k <= std::min(e.nnodes, kMaxNodes); ++k) {
        const int n = g.nodnum(k);
        if (n > e.mnodenum)
            return node_error(s, kHead, 112210, "Node number =", n, " on LINE=", k + 2,
                              " is higher than max node number=", e.mnodenum);
        if (n <= 0)
            return node_error(s, kHead, 112220, "Node number =", n, " on LINE=", k + 2,
                              " is less than 1 ");
        if (g.x(n) > 10000.0f)
            return node_error(s, kHead, 112230, "Node number =", n, " has x-cor=", g.x(n),
                              " which is higher than max x-cor=", 10000);
        if (g.y(n) > 10000.0f)
            return node_error(s, kHead, 112240, "Node number =", n, " has y-cor=", g.y(n),
                              " which is higher than max y-cor=", 10000);
        if (g.x(n) <= 0.0f)
            return node_error(s, kHead, 112250, "Node number =", n, " has x-cor=", g.x(n),
                              " which is less than min x-cor=", 0);
        if (g.y(n) < 0.0f)
            return node_error(s, kHead, 112260, "Node number =", n, " has y-cor=", g.y(n),
                              " which is less than min y-cor=", 0);
        if (g.ntyp(n) > kPlainNode)
            return node_error(s, kHead, 112270, "Node =", n, " has node type=", g.ntyp(n),
                              " which is higher than max=", 4);
        if (g.ntyp(n) <= 0)
            return node_error(s, kHead, 112280, "Node =", n, " has node type=", g.ntyp(n),
                              " which is less than min=", 1);
        if ((g.ntyp(n) == kZoneBoth || g.ntyp(n) == kZoneDestination) && n <= kMaxZones) {
            const int mz = g.macrzon(n);
            if (std::abs(mz) > kMaxMacroZones)
                return node_error(s, kHead, 114200, "Node =", n, " has macro=", mz,
                                  " which exceeds maximum=", kMaxMacroZones);
            if (mz == 0)
                return node_error(s, kHead, 114220, "Node =", n, " has node type=", g.ntyp(n),
                                  " but has invalid macro cluster", mz);
            if (g.mazn(std::abs(mz)) == 0)
                return node_error(s, kHead, 114220, "Node =", n, " has macro=", mz,
                                  " which has no macro cluster centroid");
        }
    }
}

} // namespace velm
