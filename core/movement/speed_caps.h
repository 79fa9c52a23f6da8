#pragma once
// The speed caps that traffic-management and cooperative-driving strategies put
// on the speed car following has found, applied in a fixed order inside the
// speed update: per link once before its vehicles, then per vehicle.
#include "core/model/sim.h"

namespace velm {

// What the per-link set-up found for the strategies of one link.
struct LinkStrategies {
    bool harmonised = false; // highway speed harmonisation covers the link
    bool platooned = false;  // the link is a platooning link
    int  shctl = 0;          // detector-based harmonisation format in force (0 none)
    bool shctl_link = false; // some class is controlled on the link
    int  weave = 0;          // learned weaving controller of the link (0 none)
    int  cv_pair = 0;        // connected-vehicle controller pair of the link; 0 none
    bool eco = false;        // some class gets eco-driving advice on the link
    bool ecms = false;       // some class gets eco speed advice on the link
    bool eccs = false;       // eco cruise control is on
    bool divc = false;       // intersection advisories are in force
};

// Per-link set-up before the link's vehicles.
void strategy_caps_link(Sim& s, int l, LinkStrategies& ls);

// Applies the cap chain to the candidate speed u (km/h) of trip car in slot vid
// on link l; s0 is the vehicle's previous speed. Returns the capped speed.
float strategy_caps(Sim& s, const LinkStrategies& ls, int l, int car, int vid, float s0, float u,
                    int t10);

} // namespace velm
