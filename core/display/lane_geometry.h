#pragma once
// Where a link's lanes lie in the world: offsets across the link and
// set-backs from its end nodes are counted in lane units from the line
// between the nodes, so lanes keep a fixed world width at every zoom.
#include "core/model/sim.h"

namespace velm {

inline constexpr float kLaneUnit = 0.0074f;     // km, the drawn width of one lane
inline constexpr float kLaneCentre = 0.6f;      // offset of a lane's centre line from its left edge
inline constexpr float kLaneLineSetBack = 0.5f; // lane lines stop this far short of the set-backs

struct WorldPoint {
    float x = 0.0f, y = 0.0f;
};

// The point at share f of the way from a to b.
inline WorldPoint between(const WorldPoint& a, const WorldPoint& b, float f) {
    return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f};
}

// Lanes drawn for link l: |nulans|, at most the lanes a link can have.
int drawn_lanes(const Sim& s, int l);

// The link's base offset: 0 when its extra lane was coded on the left, else 1.
float base_offset(const Sim& s, int l);

// The point at lateral offset q (to the right of travel) and set-back m from
// the start node (at_end false) or the end node (true) of link l, lane units.
WorldPoint link_point(const Sim& s, int l, bool at_end, float q, float m);

inline constexpr float kHeadSize = 0.01f; // km, the radius of a signal head or sign

// Where the head or sign at the end of link l is drawn: beside its lanes,
// short of the end node.
WorldPoint signal_head_point(const Sim& s, int l);

// The centre line of lane j of link l (1 = right-most), from the start node
// to the end node, each end set back by the node's set-back plus half a unit.
void lane_centre_line(const Sim& s, int l, int j, WorldPoint& from, WorldPoint& to);

} // namespace velm
