#pragma once
// Links calibrated by the real link set-up and vehicles placed through the
// real slot tables, moved tick by tick through the real vehicle-step routines
// in the time loop's order. Network entry and link transfer are left out: a
// test feeds vehicles at a link start and takes them off at a link end itself
// (add, take_off), as the entry and transfer steps would.
#include "core/control/control.h"
#include "core/demand/demand.h"
#include "core/network/network.h"
#include "movement_fixture.h"
#include "support/vehicle_step.h"

#include <algorithm>
#include <cmath>

namespace velm::testing_movement {

struct Corridor : MoveRun {
    int t10 = 0;

    Corridor() {
        s.units.open_write(kUnitSummary, "summary.out");
        init_veh_param(s); // the built-in vehicle types
    }

    // Codes link l (free speed vf, speed at capacity vc km/h, jam density kj
    // veh/km/lane, capacity qc veh/h/lane) without control at its end.
    void road(int l, int lanes, float km, float vf, float vc, float kj, float qc) {
        s.link4.llength(l) = km;
        s.link1.nulans(l) = lanes;
        s.link4.freespd(l) = vf;
        s.link1.spdvol(l, 4) = vc;
        s.link1.spdvol(l, 5) = kj;
        s.link4.lanesat(l) = qc;
        s.link2.mlnum = std::max(s.link2.mlnum, l);
        for (int k = 1; k <= lanes; ++k) {
            const int ln = ++next_lane;
            s.lanexch.lannum(l, k) = ln;
            // An unused lane as the lane set-up leaves it.
            s.lanexch.lstveh(ln, 1) = s.lanexch.lstveh(ln, 2) = 1000;
            s.lanexch.lstveh(ln, 3) = s.lanexch.lstveh(ln, 4) = static_cast<int>(vf);
            s.lanexch.lstveh(ln, 5) = s.lanexch.lstveh(ln, 6) = 1;
        }
    }
    // Constants, storage and list blocks of every coded link (this empties the
    // links: call it before placing vehicles); signals shown.
    void calibrate() {
        deflinks(s);
        setsignal1(s);
        setsignal2(s);
    }

    // Trip car of class vt and type vp enters link l in lane `lane` at pos m
    // with speed km/h, as network entry leaves a new vehicle. Its trip ends on
    // the link. Returns the slot.
    int add(int car, int l, int lane, float pos, float speed, int vt = 1, int vp = 1) {
        const int vid = place(car, l, lane, pos);
        s.oddat.vtyp(car) = vt;
        s.oddat.vehper2(car) = vp;
        s.vehicle.pcu(car) = 1.0f;
        s.vehicle.arrt(car) = static_cast<float>(t10) / 10.0f;
        s.vehicle.dept(car) = s.vehicle.arrt(car);
        s.vehicle.nxtlnk(vid, 1) = kTripEndsHere;
        s.vehicle.wait(vid, 1) = kNotWaiting;
        for (int k = 1; k <= 4; ++k) s.vehplot.spd(vid, k) = speed;
        s.vehplot.dis(vid, 2) = pos;
        s.vehplot.hdwy(vid, 1) = 1000.0f;
        s.vehplot.accmod(vid, 3) = 1.0f;
        s.vehindx.lanechan(vid) = 1.0f;
        s.vehindx.lnchtm(vid, 1) = -10;
        s.lanexch.lstveh(lane_no(l, lane), 2) = static_cast<int>(pos);
        return vid;
    }

    // Takes trip car off link l as a trip end does, recording the lane's last
    // exit for the upstream-end state.
    void take_off(int car, int l) {
        const int vid = this->vid(car);
        const int ln = lane_no(l, s.oddat.vlan(vid, 1));
        s.link3.lotfl(ln, 1) = t10 * 100; // ms
        s.link3.lotfl(ln, 2) = static_cast<int>(s.vehplot.spd(vid, 4));
        s.lanexch.lstveh(ln, 5) = static_cast<int>(10.0f * std::fabs(s.vehicle.pcu(car)));
        finish(car, l);
    }

    // The trips of link l whose lane head is due at the end (dept reached)
    // end there, at most one per lane, as the link transfer ends trips.
    void trip_ends(int l) {
        const float tr = static_cast<float>(t10) / 10.0f;
        for (int k = 1; k <= std::abs(s.link1.nulans(l)); ++k) {
            const int car = s.link2.fvehlan(lane_no(l, k));
            if (car > 0 && s.vehicle.dept(car) <= tr) take_off(car, l);
        }
    }

    // One tick of the vehicle step; `transfer` stands in for the link
    // transfer and network entry at their place in the tick.
    template <class F> void          step(F&& transfer) { vehicle_step(s, ++t10, transfer); }
    template <class F, class G> void step(F&& transfer, G&& before_sort) {
        vehicle_step(s, ++t10, transfer, before_sort);
    }
    void step() {
        step([] {});
    }

    // The lane decisions alone at tick t: the link lists sorted, then every
    // vehicle's lane decision.
    void decide(int t) {
        t10 = t;
        s.control.t10 = t;
        s.control.t = t / 10;
        lanpos(s, -1, t);
        vehpos5(s, t);
    }

    float pos(int car) const { return s.vehplot.dis(vid(car), 1); }
    float speed(int car) const { return s.vehplot.spd(vid(car), 1); }
    float len_m(int l) const { return 1000.0f * s.link4.llength(l); }
};

} // namespace velm::testing_movement
