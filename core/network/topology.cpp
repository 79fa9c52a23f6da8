// Node-link topology: the links into and out of every node, and per link the
// upstream and downstream links it connects with, U-turns left out and turns
// banned at the current time stored negated.
#include "core/io/writers.h"
#include "core/movement/movement.h"
#include "core/network/network.h"

namespace velm {

namespace {

bool valid_node(int n) {
    return n >= 1 && n <= kMaxNodes;
}

bool banned(const Sim& s, int from, int into, int t) {
    const auto& b = s.link4.banturn;
    for (int j = 1; j <= kTurnBans; ++j)
        if (b(from, 1, j) == into && b(from, 2, j) <= t && t < b(from, 3, j)) return true;
    return false;
}

// The incidence lists; false (and errt1 raised) at the first failure.
bool build_incidence(Sim& s) {
    auto& g = s.graph1;
    // Built from scratch, so no list keeps a link of an earlier run.
    g.nlinto.zero();
    g.linto.zero();
    g.nlinfr.zero();
    g.linfr.zero();
    auto fail = [&s](auto... items) {
        wfree(s.units, kUnitRunLog, items...);
        s.errcount.errt1 += 1;
        return false;
    };
    for (int l = 1; l <= s.link2.mlnum; ++l) {
        if (s.link4.llength(l) < 0.0f) continue;
        const int e = s.link1.tonode(l);
        if (!valid_node(e)) return fail(" Link", l, "into", e, " which is invalid");
        if (g.nlinto(e) == kMaxNodeLinks)
            return fail(" Number of links into", e, "exceeds maximum of ", kMaxNodeLinks,
                        " at link", l);
        g.linto(e, ++g.nlinto(e)) = l;

        const int st = s.link1.frnode(l);
        if (!valid_node(st)) return fail(" Link", l, "out of ", st, " which is invalid");
        if (g.nlinfr(st) == kMaxNodeLinks)
            return fail(" Number of links out of", st, "exceeds maximum of ", kMaxNodeLinks,
                        "at link", l);
        g.linfr(st, ++g.nlinfr(st)) = l;
    }
    return true;
}

} // namespace

void addnfnt(Sim& s, int t) {
    auto&       g = s.graph1;
    const auto& l1 = s.link1;
    const int   ml = s.link2.mlnum;
    if (t == 0 && !build_incidence(s)) return;

    for (int l = 1; l <= ml; ++l) {
        g.nlinin(l) = 0;
        g.nlinot(l) = 0;
        for (int i = 1; i <= kMaxNodeLinks; ++i) {
            g.linin(l, i) = 0;
            g.linot(l, i) = 0;
        }
    }

    for (int l = 1; l <= ml; ++l) {
        if (s.link4.llength(l) < 0.0f) continue;
        const int st = l1.frnode(l), e = l1.tonode(l);
        if (!valid_node(st) || !valid_node(e)) continue;
        float a = 0.0f;
        for (int i = 1; i <= g.nlinto(st); ++i) {
            const int u = g.linto(st, i);
            crelang1(s, g.ang(l), g.ang(u), a);
            // The U-turn permission consulted is that of the downstream node of l.
            if (s.graph1.uturn(e) <= 0 && a > 155.0f && a < 205.0f) continue;
            g.linin(l, ++g.nlinin(l)) = banned(s, u, l, t) ? -u : u;
        }
        for (int i = 1; i <= g.nlinfr(e); ++i) {
            const int d = g.linfr(e, i);
            crelang1(s, g.ang(l), g.ang(d), a);
            if (a > 179.0f && a < 181.0f) continue; // a U-turn, whatever the node allows
            g.linot(l, ++g.nlinot(l)) = banned(s, l, d, t) ? -d : d;
        }
    }

    // Two links with the same end nodes cannot be told apart by the routing.
    for (int l = 1; l <= ml; ++l) {
        if (!(s.link4.llength(l) > 0.0f)) continue;
        const int e = l1.tonode(l);
        if (!valid_node(e)) continue;
        for (int i = 1; i <= g.nlinto(e); ++i) {
            const int u = g.linto(e, i);
            if (u == l || l1.frnode(u) != l1.frnode(l)) continue;
            wfree(s.units, kUnitRunLog, " Error in link file :");
            wfree(s.units, kUnitRunLog, " link ", l, " has same start-end nodes as link ", u);
            wfree(s.units, kUnitRunLog, " no 2 links should share same start-end nodes");
            wfree(s.units, kUnitRunLog, "  ");
            s.errcount.errt1 += 1;
            return;
        }
    }
}

} // namespace velm
