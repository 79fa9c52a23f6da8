#pragma once
// A run state for the lane tests: files in memory, the run log and the summary
// output open, and a way to lay out small networks straight into the link and
// topology tables (headings in degrees, lanes numbered in link order).
#include "network_fixture.h"

#include <cstdlib>
#include <initializer_list>

namespace velm::testing_lanes {

using testing_network::contains;
using testing_network::has_line;
using testing_network::lines_of;

struct LaneNet : testing_network::NetRun {
    // A coded link of `lanes` lanes heading `heading` degrees; addlin -1 puts
    // its extra lane on the left. Lanes get every permission.
    void link(int l, int lanes, float heading, int addlin = 1) {
        s.link4.llength(l) = 0.5f;
        s.link1.nulans(l) = lanes;
        s.link1.addlin(l) = addlin;
        s.link1.spdvol(l, 7) = 50.0f;
        s.graph1.ang(l) = heading;
        if (l > s.link2.mlnum) s.link2.mlnum = l;
        number_lanes();
    }
    // Lanes numbered 1.. over the links in increasing number, lane 1 first.
    void number_lanes() {
        int next = 0;
        for (int l = 1; l <= s.link2.mlnum; ++l)
            for (int k = 1; k <= s.link1.nulans(l); ++k) {
                s.lanexch.lannum(l, k) = ++next;
                for (int dir = 1; dir <= 3; ++dir) s.link5.lanper(next, dir) = 1;
            }
    }
    // l feeds the links `down` (in this linot order); each of them gets l
    // appended to its upstream list.
    void feeds(int l, std::initializer_list<int> down) {
        auto& g = s.graph1;
        for (int d : down) {
            g.linot(l, ++g.nlinot(l)) = d;
            g.linin(d, ++g.nlinin(d)) = l;
        }
    }
    int  lane(int l, int p) const { return s.lanexch.lannum(l, p); }
    int& perm(int l, int p, int dir) { return s.link5.lanper(lane(l, p), dir); }
    // Connection index of downstream link d in linot(l, .).
    int position(int l, int d) const {
        for (int k = 1; k <= s.graph1.nlinot(l); ++k)
            if (std::abs(s.graph1.linot(l, k)) == d) return k;
        return 0;
    }
    int next_lane(int l, int p, int d, int which = 1) const {
        return s.lanexch.nxtlan(lane(l, p), position(l, d), which);
    }
    int shift(int l, int p, int d) const { return s.lanexch.lanshf(lane(l, p), position(l, d)); }
};

} // namespace velm::testing_lanes
