#pragma once
// A run state for the node and link tests: files in memory, the run log and
// the summary output open, and builders for node and link records.
#include "core/io/units.h"
#include "core/io/writers.h"
#include "core/model/sim.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace velm::testing_network {

struct NetRun {
    std::unique_ptr<Sim> sim = std::make_unique<Sim>();
    Sim&                 s = *sim;

    NetRun() {
        s.units.use_memory_files();
        s.units.open_write(kUnitRunLog, "runerr.out");
        s.units.open_write(kUnitSummary, "summary.out");
    }
    std::string log() const { return s.units.file_text("runerr.out"); }
    std::string summary() const { return s.units.file_text("summary.out"); }

    // The codes of the "Input File k  Error" lines of the run log, in order.
    std::vector<int> codes(int slot) const {
        std::vector<int>   out;
        std::istringstream in(log());
        const std::string  tag = "Input File " + std::to_string(slot) + "  Error";
        for (std::string line; std::getline(in, line);) {
            const auto at = line.find(tag);
            if (at == std::string::npos || at > 2) continue;
            out.push_back(std::stoi(line.substr(at + tag.size())));
        }
        return out;
    }
};

inline std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream       in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

inline bool has_line(const std::string& text, const std::string& line) {
    for (const auto& l : lines_of(text))
        if (l == line) return true;
    return false;
}

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// The line right after the first line equal to `line` ("" when none).
inline std::string line_after(const std::string& text, const std::string& line) {
    auto ls = lines_of(text);
    for (std::size_t i = 0; i + 1 < ls.size(); ++i)
        if (ls[i] == line) return ls[i + 1];
    return {};
}

// A text fixture of tests/data/network.
inline std::string fixture(const std::string& name) {
    std::ifstream      in(std::string(VELM_SOURCE_DIR) + "/tests/data/network/" + name);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
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
