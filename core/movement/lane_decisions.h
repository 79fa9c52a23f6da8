#pragma once
// The lane-decision pass (vehpos5, declared in movement.h): every link front
// to back, every vehicle's look-ahead, stop-line decision, leader in each lane
// it may use, lane choice and placement, and the leader data car following
// reads. The state of one link's pass is a LanePass; the stop-line decision,
// the gap conditioning and the lane choice work on it at fixed points.
#include "core/model/sim.h"

namespace velm {

inline constexpr int kPassLanes = kMaxLinkLanes + 1; // lane tables indexed 1..7

struct LanePass {
    // --- per-link constants -------------------------------------------------
    int   nl = 0;                 // link
    float len = 0;                // m
    float jdhead = 0;             // jam spacing, m
    float dencap = 0;             // spacing at capacity, m
    float spdcap = 0;             // speed at capacity, km/h
    float frespd = 0;             // free speed, km/h
    int   numlans = 0;            // lanes
    float c1 = 0, c2 = 0, c3 = 0; // speed-spacing constants of the link
    float jdkm = 0;               // jam spacing, km
    int   sig = 0;                // |tsignal|
    int   ph = 0;                 // current phase of the controlling signal (0 none)
    int   merge = 0;              // 1: one downstream link, or a merge conflict met
    float weavedur = 0;           // lane-change duration, ticks
    // Some lane of the link has a blockage value this tick. Without one the
    // incident tests of every vehicle and lane are skipped; a pass built by
    // hand keeps the default and runs them.
    bool blocked = true;
    // The next link last looked up for blockages (0 none yet) and whether it
    // has one; the pass renews it for every link.
    int  next_checked = 0;
    bool next_blocked = true;

    // --- per-lane trackers: the most upstream vehicle placed so far ---------
    int   vinlan[kPassLanes] = {};  // vehicles placed in the lane
    float xpos[kPassLanes][3] = {}; // (1) leader position for the lane, (2) seen from a side lane
    float xspd[kPassLanes] = {};    // its speed km/h
    float pcucar[kPassLanes] = {};  // its |pcu|
    float prepos[kPassLanes] = {};  // position of the last vehicle placed
    float lanocc[kPassLanes][7] =
        {}; // (1,2) forced mover in, (3,4) last placed, (5,6) mover from left
    int   desmov_car[kPassLanes] = {}; // trip registered as wishing to enter the lane
    float desmov_pos[kPassLanes] = {}; // its position m
    // Leader speed and acceleration handed to car following; they carry over
    // from link to link.
    float prespd[kPassLanes] = {};
    float preacc[kPassLanes] = {};

    // --- the vehicle being decided -------------------------------------------
    int   car = 0, vid = 0, vt = 0, vp = 0;
    int   lane1 = 0;          // current lane
    int   ldest = 0;          // next link (-1 trip ends here, -99 unknown)
    int   linkot = 0;         // its connection index
    float dnew = 0;           // position m
    float remdis = 0;         // m to the link end
    float remtim = 0;         // s to the link end
    float spd = 0;            // smoothed speed km/h
    int   tmolink = 0;        // whole s on the link
    int   ll1 = 0, ll2 = 0;   // candidate lanes
    int   ll1b = 0, ll2b = 0; // the current lane's neighbours
    int   stopcode = 0;       // stop code of this tick (0 = may pass)
    int   stopthr = 0;        // speed km/h below which car following stops braking for it
    int   fl_blk = 0;         // 1: some open candidate lane is free of incidents ahead
    int   lmax = 0;           // lane chosen

    // --- per-lane tables of the vehicle ---------------------------------------
    float preveh[kPassLanes][4] = {}; // leader position m, speed km/h, acceleration
    float spre[kPassLanes] = {};      // leader speed for anticipation
    float xgap[kPassLanes] = {};      // effective gap m
    float agap[kPassLanes] = {};      // gap after the incident factor only
    float xxx[kPassLanes][7] = {};    // lane needs (walls, weaving)
    float incpen[kPassLanes] = {};    // incident factor
    float buspen[kPassLanes] = {};    // bus-stop factor
    int   prohib[kPassLanes] = {};    // pushed out of a restricted lane
    float lanspd[kPassLanes] = {};    // lane score km/h
};

// The driver's own factor u in 0..1 of trip car, from its stored draw.
inline float driver_u(const Sim& s, int car) {
    return static_cast<float>(s.oddat.vrnd(car)) / kTripRandomScale;
}

// Position (m from the link start) of the standing leader that a vehicle which
// must stop sees just past the stop line: half the jam spacing jam9 (m) beyond
// the end, less as the vehicle is faster.
float stop_line_leader(const LanePass& p, float jam9);

// --- the decisions that plug into the pass ----------------------------------
// Stop code, threshold and waiting clocks of the vehicle (p.stopcode,
// p.stopthr; both 0 when nothing forbids passing the link end).
void stop_line_decision(Sim& s, LanePass& p, int t10);
// First scan of lane needs for candidate lane l (xxx(l, 1), (l, 5), (l, 6), fl_blk).
void lane_needs(Sim& s, LanePass& p, int l);
// Walls and incidents of lane l after its leader is found: may pull the leader
// position tpos back, zero spre(l) and set incpen(l), xxx(l, 2..4).
void lane_walls_incidents(Sim& s, LanePass& p, int l, float& tpos);
// Further conditioning of the formed gap xgap(l): far lanes, bus stops,
// downstream weaving, courtesy and closing gaps.
void lane_gap_conditioning(Sim& s, LanePass& p, int l);
// Lane scores, choice of p.lmax and the change decision (p.lmax stays the
// current lane when nothing is decided).
void lane_choice(Sim& s, LanePass& p, int t10);
// Car-following spacing factor lanechan after the placement.
void lane_spacing_factor(Sim& s, LanePass& p, int t10);

} // namespace velm
