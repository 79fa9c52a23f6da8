#pragma once
// A run state for the routing tests: files in memory, the run log and the
// summary output open, and a small network read from a text description
//   node <number> <x km> <y km> <type> <macro code>
//   link <number> <from> <to> <cost s> <length km> <zone connector 0/1>
// with the topology the tree builders read: links into and out of each node
// (ascending link numbers), the upstream links of each link without its
// U-turn, headings, every turn allowed on one lane, turn shares of 100 %, and
// the destination marks of every zone.
#include "network/network_fixture.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <memory>
#include <numbers>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace velm::testing_routing {

inline std::string fixture(const std::string& name) {
    return support::data_file("routing", name);
}

using testing_network::contains;
using testing_network::has_line;
using testing_network::lines_of;

struct RouteNet : support::MemoryRun {
    explicit RouteNet(const std::string& text) {
        s.rndnum.seed[3] = 12345;
        load(text);
    }

    // Link number from node `from` to node `to`.
    int link(int from, int to) const { return links_.at({from, to}); }

    // The links of class vt's current tree from zone oz toward macro zone dz.
    std::vector<int> path(int dz, int oz, int vt) const {
        std::vector<int> out;
        int              l = s.trees.ortree(dz, oz, vt);
        while (l > 0 && out.size() < 100) {
            out.push_back(l);
            l = s.trees.rgtree(dz, l, vt);
        }
        if (l != -1) out.push_back(0); // the walk did not end at the destination
        return out;
    }
    // The same walk in stored tree tr.
    std::vector<int> stored_path(int dz, int oz, int tr) const {
        std::vector<int> out;
        int              l = s.trees.tree1o(dz, oz, tr);
        while (l > 0 && out.size() < 100) {
            out.push_back(l);
            l = s.trees.tree1l(dz, l, tr);
        }
        if (l != -1) out.push_back(0);
        return out;
    }

    // Marks movement u -> l as banned (negative linin entry).
    void ban(int u, int l) {
        auto& g = s.graph1;
        for (int k = 1; k <= g.nlinin(l); ++k)
            if (g.linin(l, k) == u) g.linin(l, k) = -u;
    }

  private:
    std::map<std::pair<int, int>, int> links_;

    void load(const std::string& text) {
        auto&            g = s.graph1;
        auto&            l1 = s.link1;
        auto&            st = s.set2;
        std::vector<int> nodes;
        for (const auto& line : lines_of(text)) {
            std::istringstream in(line);
            std::string        kind;
            if (!(in >> kind) || kind[0] == '#') continue;
            if (kind == "node") {
                int   n = 0, type = 0, macro = 0;
                float x = 0, y = 0;
                in >> n >> x >> y >> type >> macro;
                g.x(n) = x;
                g.y(n) = y;
                g.ntyp(n) = type;
                g.numtyp(type) += 1;
                nodes.push_back(n);
                if (type <= 3) {
                    st.mzones = std::max(st.mzones, n);
                    g.macrzon(n) = macro;
                    if (macro < 0) {
                        g.mazn(-macro) = n;
                        st.mmazon = std::max(st.mmazon, -macro);
                    }
                    if (type <= 2) st.maxdst = std::max(st.maxdst, n);
                }
            } else if (kind == "link") {
                int   n = 0, from = 0, to = 0, zc = 0;
                float cost = 0, km = 0;
                in >> n >> from >> to >> cost >> km >> zc;
                l1.frnode(n) = from;
                l1.tonode(n) = to;
                l1.zoncon(n) = zc;
                s.link4.llength(n) = km;
                s.delay.fretim(n) = cost;
                s.mainrun.object1(n) = cost;
                links_[{from, to}] = n;
                s.link2.mlnum = std::max(s.link2.mlnum, n);
                s.link2.nlinks += 1;
            }
        }
        for (const auto& [ft, n] : links_) {
            const auto [from, to] = ft;
            g.linfr(from, ++g.nlinfr(from)) = n;
            g.linto(to, ++g.nlinto(to)) = n;
            const float dx = g.x(to) - g.x(from), dy = g.y(to) - g.y(from);
            float       a = std::atan2(dy, dx) * 180.0f / std::numbers::pi_v<float>;
            if (a < 0.0f) a += 360.0f;
            g.ang(n) = a;
            for (int d = 1; d <= 3; ++d) s.link5.turnper(n, d) = 1;
            for (int vt = 1; vt <= kClasses; ++vt)
                for (int d = 1; d <= 4; ++d) s.link5.turncnt(n, d, vt, 4) = 100;
        }
        // Incidence lists in ascending link number.
        for (int node : nodes) {
            sort_list(g.linfr, g.nlinfr(node), node);
            sort_list(g.linto, g.nlinto(node), node);
        }
        for (const auto& [ft, n] : links_) {
            const int from = ft.first;
            for (int k = 1; k <= g.nlinto(from); ++k) {
                const int u = g.linto(from, k);
                if (l1.frnode(u) == l1.tonode(n)) continue; // no U-turns
                g.linin(n, ++g.nlinin(n)) = u;
                g.linot(u, ++g.nlinot(u)) = n;
            }
        }
        // Destination marks: every destination zone, and the centroid of its macro zone.
        for (int z = 1; z <= st.maxdst; ++z) {
            if (g.ntyp(z) != 1 && g.ntyp(z) != 2) continue;
            s.oddat.treereq(z, 1) = 1;
            const int m = g.macrzon(z);
            if (m < 0) s.oddat.treereq(z, 2) = 1;
            if (m > 0 && g.mazn(m) > 0) s.oddat.treereq(g.mazn(m), 2) = 1;
        }
    }
    static void sort_list(Array2<int>& list, int n, int node) {
        std::vector<int> v;
        for (int k = 1; k <= n; ++k) v.push_back(list(node, k));
        std::sort(v.begin(), v.end());
        for (int k = 1; k <= n; ++k) list(node, k) = v[static_cast<std::size_t>(k - 1)];
    }
};

// A generated grid of two-way links with pseudo-random costs (20 to 59 s)
// and `zones` zones, each the centroid of its own macro zone and tied to the
// grid node at every `zone_step`-th place by a connector in and one out.
struct GeneratedGrid {
    int      rows, cols, zones, zone_step;
    int      first_grid_node; // above the zone numbers
    unsigned seed;

    int node(int r, int c) const { return first_grid_node + r * cols + c; }

    std::string text() const {
        std::ostringstream net;
        for (int z = 1; z <= zones; ++z) {
            const int at = (z - 1) * zone_step;
            net << "node " << z << " " << at % cols + 0.2 << " " << at / cols + 0.3 << " 1 " << -z
                << "\n";
        }
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c)
                net << "node " << node(r, c) << " " << c << " " << r << " 4 0\n";
        int      n = 0;
        unsigned h = seed;
        auto     link = [&](int a, int b, int zc) {
            h = h * 1103515245u + 12345u;
            const int cost = zc ? 5 : 20 + static_cast<int>((h >> 16) % 40u); // s
            net << "link " << ++n << " " << a << " " << b << " " << cost << " " << cost / 100.0
                << " " << zc << "\n";
        };
        for (int r = 0; r < rows; ++r)
            for (int c = 0; c < cols; ++c) {
                if (c + 1 < cols) {
                    link(node(r, c), node(r, c + 1), 0);
                    link(node(r, c + 1), node(r, c), 0);
                }
                if (r + 1 < rows) {
                    link(node(r, c), node(r + 1, c), 0);
                    link(node(r + 1, c), node(r, c), 0);
                }
            }
        for (int z = 1; z <= zones; ++z) {
            const int at = (z - 1) * zone_step;
            link(z, node(at / cols, at % cols), 1);
            link(node(at / cols, at % cols), z, 1);
        }
        return net.str();
    }
};

} // namespace velm::testing_routing
