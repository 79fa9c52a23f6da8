#pragma once
// Network-wide lane numbering and the lane-to-lane connections between links.
// Network lane numbers run 1..9000 over all links; lane 1 of a link is its
// right-most (curb) lane.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_lanexch {
    Array2<int> lannum{"lannum", kMaxLinks, kMaxLinkLanes}; // network lane of lane k of link l
    Array3<int> nxtlan{"nxtlan", kMaxLanes, kMaxNodeLinks,
                       2}; // (.,k,1) lane continued in on connection k
    Array2<int> lanshf{"lanshf", kMaxLanes,
                       kMaxNodeLinks}; // signed lane changes (+ = left) for connection k
    Array2<int> alanot{"alanot", kMaxLinks,
                       kMaxNodeLinks}; // downstream links ranked by angle (index into linot)
    // Working table of the lane set-up: for a link d that is the only link after
    // some link, alanin(d, r) = position in linin(d, .) of its r-th upstream link
    // from the sharpest right turn in.
    Array2<int> alanin{"alanin", kMaxLinks, kMaxNodeLinks};
    Array1<int> cq{"cq", kMaxLanes};            // free entry space of a lane, m
    Array2<int> lstveh{"lstveh", kMaxLanes, 6}; // upstream-end state of a lane
};

} // namespace velm
