// Link geometry: straight-line lengths, directions and headings, drawing
// set-backs at crossing links, and the weights of the links into each node.
#include "core/io/writers.h"
#include "core/movement/movement.h"
#include "core/network/network.h"

#include <cmath>
#include <cstdlib>

namespace velm {

namespace {
constexpr float kDegPerRad = 57.29578f;
constexpr float kCoincidentKm = 0.001f; // distance given to end nodes on one spot
bool            valid_node(int n) {
               return n >= 1 && n <= kMaxNodes;
}
} // namespace

void angle(Sim& /*s*/, float dx, float dy, float& ang) {
    const float r = dx != 0.0f ? dy / dx : 0.0f;
    if (dx > 0.0f) {
        ang = std::atan(r) * kDegPerRad;
        if (dy < 0.0f) ang += 360.0f;
    } else if (dx == 0.0f) {
        ang = dy >= 0.0f ? 90.0f : 270.0f;
    } else {
        ang = 180.0f + std::atan(r) * kDegPerRad;
    }
}

void setxy(Sim& s) {
    auto&       g = s.graph1;
    const auto& l1 = s.link1;
    for (int l = 1; l <= s.link2.mlnum; ++l) {
        if (s.link4.llength(l) < 0.0f) continue;
        const int fr = l1.frnode(l), to = l1.tonode(l);
        // End nodes outside the node table are reported by the link checks.
        if (!valid_node(fr) || !valid_node(to)) continue;
        const float x1 = g.x(fr), y1 = g.y(fr), x2 = g.x(to), y2 = g.y(to);
        if (std::fabs(y1 - y2) + std::fabs(x1 - x2) > 0.0f) {
            g.xylen(l) = std::sqrt((y1 - y2) * (y1 - y2) + (x1 - x2) * (x1 - x2));
            g.dx(l) = (x1 - x2) / g.xylen(l);
            g.dy(l) = (y1 - y2) / g.xylen(l);
        } else {
            wfree(s.units, kUnitRunLog, " on link ", l, " node from ", fr, " and node to", to,
                  " have same coordinates ");
            wfree(s.units, kUnitRunLog, x1, y1, x2, y2);
            g.dx(l) = 1.0f;
            g.dy(l) = 1.0f;
            // The link checks move the to node by this much; the length
            // follows, instead of keeping an earlier run's value.
            g.xylen(l) = kCoincidentKm;
        }
        angle(s, -g.dx(l), -g.dy(l), g.ang(l));
    }
}

namespace {
// Two links cross at a node unless they head nearly the same way or nearly
// opposite ways (relative angle from crelang2: 180 = same heading).
bool crosses(Sim& s, int l, int other) {
    float a = 0.0f;
    crelang2(s, s.graph1.ang(l), s.graph1.ang(other), a);
    return a > 10.0f && a < 350.0f && (a < 170.0f || a > 190.0f);
}

int setback_at(Sim& s, int l, int n) {
    const auto& g = s.graph1;
    int         most = 0;
    for (int i = 1; i <= g.nlinto(n); ++i) {
        const int o = g.linto(n, i);
        if (o >= 1 && o <= kMaxLinks && crosses(s, l, o))
            most = std::max(most, std::abs(s.link1.nulans(o)));
    }
    for (int i = 1; i <= g.nlinfr(n); ++i) {
        const int o = g.linfr(n, i);
        if (o <= 0) {
            wfree(s.units, kUnitRunLog, "    a. linfr:", l, n, g.nlinfr(n), i, o);
            continue;
        }
        if (o <= kMaxLinks && crosses(s, l, o)) most = std::max(most, std::abs(s.link1.nulans(o)));
    }
    return most;
}
} // namespace

void nodspc(Sim& s) {
    auto& g = s.graph1;
    for (int l = 1; l <= s.link2.mlnum; ++l) {
        g.mlanes(l, 1) = 0;
        g.mlanes(l, 2) = 0;
        if (!(s.link4.llength(l) > 0.0f)) continue;
        if (valid_node(s.link1.frnode(l))) g.mlanes(l, 1) = setback_at(s, l, s.link1.frnode(l));
        if (valid_node(s.link1.tonode(l))) g.mlanes(l, 2) = setback_at(s, l, s.link1.tonode(l));
    }
    for (int l = 1; l <= s.link2.mlnum; ++l) {
        if (!(s.link4.llength(l) > 0.0f)) continue;
        for (int end = 1; end <= 2; ++end)
            if (g.mlanes(l, end) > 0) g.mlanes(l, end) += 1;
    }
}

void linkwght(Sim& s) {
    auto& g = s.graph1;
    for (int n = 1; n <= std::min(s.set2.mnodenum, kMaxNodes); ++n) {
        if (!(g.x(n) > 0.0f) || g.nlinto(n) <= 0) continue;
        for (int i = 1; i <= g.nlinto(n); ++i)
            g.lnkwgt(g.linto(n, i)) = 1.0f / static_cast<float>(g.nlinto(n));
    }
}

} // namespace velm
