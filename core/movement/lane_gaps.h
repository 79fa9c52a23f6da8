#pragma once
// Lane gap conditioning: the terms that turn the raw distance to each lane's
// leader into an effective gap for the lane choice: soft and hard walls
// before the link end for lanes that do not lead on, incident blockages on
// this link and the next, bus stops, downstream weaving, and the speed caps of
// the current lane. The entries the lane-decision pass calls are declared in
// lane_decisions.h (lane_needs, lane_walls_incidents, lane_gap_conditioning).
#include "core/movement/lane_decisions.h"

namespace velm {

inline constexpr float kNoHardWall = 9999.0f;     // c1 (m) of a lane without walls
inline constexpr float kNoWeavingWall = -9999.0f; // weaving walls (m) when none is found

// Hard wall c1 and soft wall c2 (m from the link start) of a lane needing `a`
// lane changes, for the vehicle of the pass.
struct LaneWalls {
    float c1 = kNoHardWall;
    float c2 = 0.0f;
    bool  any = false;
};
LaneWalls lane_walls(const Sim& s, const LanePass& p, float a);

// Downstream weaving of lane l for the vehicle of the pass.
struct Weaving {
    bool  applies = false; // the vehicle is in the weaving look-ahead (position, time, need)
    float F = 0.0f;        // m to the end of the next link
    bool  in_zone = false; // within the weaving zone with the link after next known
    float wh = kNoWeavingWall, ws = kNoWeavingWall; // hard and soft weaving walls, m
    bool  walled = false;                           // a weaving need found: wh, ws hold
    float share = 1.0f;                             // raw weaving share (1 none)
};
Weaving downstream_weaving(const Sim& s, const LanePass& p, int l);

// Start (m from the link start) of the incident blockage of lane k of link
// l; 1000 m beyond the link end when the lane carries no blockage value.
float blockage_start(const Sim& s, int l, int k);
// The same for lane l of the pass's link, without a look-up on a link that
// has no blockage this tick.
float lane_blockage_start(const Sim& s, const LanePass& p, int l);

// Signed lane changes needed from lane l to follow the next link (0 when the
// trip ends on this link or the next link is not known).
int lane_shift(const Sim& s, const LanePass& p, int l);

// The lane-need entries xxx(l, 1..6) of a lane that is not a candidate of
// this vehicle this tick (walls, and weaving when asked; no gap).
void lane_needs_only(Sim& s, LanePass& p, int l, bool weaving);

// Speed caps of the current lane, carwal(vid, 5) and (vid, 6): room for a
// wisher in front and the neighbour lanes' speeds. Runs after every candidate
// lane is conditioned.
void current_lane_caps(Sim& s, LanePass& p, int t10);

} // namespace velm
