#pragma once
// A run state for the node and link tests: files in memory, the run log and
// the summary output open, and builders for node and link records.
#include "support/memory_run.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace velm::testing_network {

using NetRun = support::MemoryRun;
using support::contains;
using support::has_line;
using support::line_after;
using support::lines_of;

// A text fixture of tests/data/network.
inline std::string fixture(const std::string& name) {
    return support::data_file("network", name);
}

// One record of the 20-value link layout.
struct Link20 {
    int         n = 1, fr = 1, to = 2;
    double      len = 1.0, vf = 60, sat = 1800, lanes = 1, disp = 0, vc = 40, kj = 120;
    double      b1 = 0, b2 = 0, b3 = 0, o1 = 0, o2 = 0;
    int         sig = 0;
    double      ph1 = 0, ph2 = 0;
    int         hov = 0, surv = 0;
    std::string name;

    std::string text() const {
        std::ostringstream o;
        o << n << ' ' << fr << ' ' << to << ' ' << len << ' ' << vf << ' ' << sat << ' ' << lanes
          << ' ' << disp << ' ' << vc << ' ' << kj << ' ' << b1 << ' ' << b2 << ' ' << b3 << ' '
          << o1 << ' ' << o2 << ' ' << sig << ' ' << ph1 << ' ' << ph2 << ' ' << hov << ' ' << surv;
        if (!name.empty()) o << ' ' << name;
        return o.str();
    }
};

// A link file of the 20-value layout with unit scale factors.
inline std::string link_file(const std::vector<Link20>& links) {
    std::string t = "test links\n" + std::to_string(links.size()) + " 1 1 1 1 1\n";
    for (const auto& l : links) t += l.text() + "\n";
    return t;
}

} // namespace velm::testing_network

namespace velm::testing_network {

// A node straight into the node table.
inline void put_node(Sim& s, int n, float x, float y, int typ = 4) {
    s.graph1.x(n) = x;
    s.graph1.y(n) = y;
    s.graph1.ntyp(n) = typ;
    s.set2.mnodenum = std::max(s.set2.mnodenum, n);
}

// Nodes of a crossing at node 2: 1 west, 3 east, 4 south, 5 north of it.
inline void put_cross_nodes(Sim& s) {
    put_node(s, 1, 1, 2);
    put_node(s, 2, 2, 2);
    put_node(s, 3, 3, 2);
    put_node(s, 4, 2, 1);
    put_node(s, 5, 2, 3);
}

// A link straight into the link table, with valid speeds and flows.
inline void put_link(Sim& s, int l, int fr, int to, int lanes = 1, float len = 1.0f) {
    s.link1.frnode(l) = fr;
    s.link1.tonode(l) = to;
    s.link1.nulans(l) = lanes;
    s.link4.llength(l) = len;
    s.link4.freespd(l) = 60.0f;
    s.link4.lanesat(l) = 1800.0f;
    s.link1.spdvol(l, 4) = 40.0f;
    s.link1.spdvol(l, 5) = 120.0f;
    s.link1.opslin(l, 1) = 0;
    s.link2.mlnum = std::max(s.link2.mlnum, l);
}

} // namespace velm::testing_network
