// Link and lane geometry in world coordinates.
#include "core/display/lane_geometry.h"

#include <algorithm>
#include <cstdlib>

namespace velm {

int drawn_lanes(const Sim& s, int l) {
    return std::min(std::abs(s.link1.nulans(l)), kMaxLinkLanes);
}

float base_offset(const Sim& s, int l) {
    return s.link1.addlin(l) < 1 ? 0.0f : 1.0f;
}

WorldPoint link_point(const Sim& s, int l, bool at_end, float q, float m) {
    const auto& g = s.graph1;
    const float dx = g.dx(l), dy = g.dy(l);
    // Into the link from the node: -(dx, dy) at the start, +(dx, dy) at the end.
    const float in = at_end ? m : -m;
    const int   node = at_end ? s.link1.tonode(l) : s.link1.frnode(l);
    return {g.x(node) + kLaneUnit * (in * dx - q * dy), g.y(node) + kLaneUnit * (in * dy + q * dx)};
}

void lane_centre_line(const Sim& s, int l, int j, WorldPoint& from, WorldPoint& to) {
    const float q = base_offset(s, l) + static_cast<float>(drawn_lanes(s, l) - j) + kLaneCentre;
    from = link_point(s, l, false, q, static_cast<float>(s.graph1.mlanes(l, 1)) + kLaneLineSetBack);
    to = link_point(s, l, true, q, static_cast<float>(s.graph1.mlanes(l, 2)) + kLaneLineSetBack);
}

} // namespace velm
