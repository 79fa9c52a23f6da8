// Network entry: trips whose departure time has come enter the first link of
// their path, in departure order, when the link can store another vehicle and
// its best lane has room at the upstream end; the others wait at their origin
// and try again every tick. Every 30 s the departure list keeps only the trips
// still to enter.
#include "core/movement/network_entry.h"

#include "core/io/writers.h"
#include "core/movement/movement.h"
#include "core/movement/vehicle_slots.h"
#include "core/routing/routing.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace velm {

namespace {

constexpr float kDeferred = -1.0f;        // strtrp(car, 2) of a trip waiting at its origin
constexpr float kEntryFlowStep = 90.0f;   // veh/h added to the smoothed entering flow
constexpr float kCapacityShare = 0.8f;    // entry space: this share of the spacing at capacity
constexpr float kJamShare = 0.2f;         // plus this share of the jam spacing
constexpr int   kNoChangeTicks = 50;      // ticks after entry without a lane change
constexpr int   kNoChangeMaxM = 50;       // m from the link start without a lane change
constexpr float kFirstHeadway = 10000.0f; // m, the headway of the last car-following update
constexpr float kNotDrawn = -1000.0f;     // dis(vid, 3) of a vehicle not drawn on this link
constexpr float kPathImp1 = 15.0f;
constexpr float kPathImp2 = 0.1f;

bool valid_trip(int car) {
    return car >= 1 && car <= kMaxTrips;
}

// The class's routing method recomputes the path at every entry attempt.
bool recompute_path(const Sim& s, int vt) {
    const int m = s.set1.tremet(vt);
    return (m == 2 || m == 3 || m > 8) && s.set1.trefrq(vt, 1) > 0;
}

// Removes an entry that names no trip from the departure list.
void drop_entry(Sim& s, int t, int pos) {
    auto&     dl = s.vehicle.deplist;
    auto&     n = s.set2.nondept;
    const int last = std::min(n, kMaxTrips);
    wfree(s.units, kUnitRunLog, " enternet: departure-list entry", pos, " holds trip", dl(pos),
          "; dropped at t=", t);
    for (int i = pos; i < last; ++i) dl(i) = dl(i + 1);
    dl(last) = 0;
    n = last - 1;
}

// A trip that cannot be routed gives up at its origin: it leaves every count
// of waiting trips, is counted as abandoned and gives back its slot.
void abandon(Sim& s, int car, int o) {
    auto& st = s.vehicle.strtrp;
    if (st(car, 2) == kNotDeparted) {
        s.set1.tdep += 1; // it became due all the same
    } else if (st(car, 2) == kDeferred) {
        s.set1.totin -= 1;
        if (o >= 1 && o <= kMaxZones) s.invisible.ntinv(o) -= 1;
    }
    st(car, 1) = -1.0f;
    st(car, 2) = static_cast<float>(kNever);
    s.set1.tabnd += 1;
    rstvid(s, car);
}

// Best lane of link l for class vt: the most free space at the upstream end,
// a lane closed to the class counting 0 m; ties keep the lower lane.
void best_lane(const Sim& s, int l, int vt, int& lane, int& best) {
    lane = -1;
    best = -1;
    const int lanes = std::min(std::abs(s.link1.nulans(l)), kMaxLinkLanes);
    for (int k = 1; k <= lanes; ++k) {
        const int ln = s.lanexch.lannum(l, k);
        const int space = s.link4.lanpro(ln, vt) > 0 ? 0 : s.lanexch.lstveh(ln, 2);
        if (space > best) {
            lane = k;
            best = space;
        }
    }
}

void place_on_first_link(Sim& s, int car, int vid, int l, int lane, int best, int t, int t10,
                         float tm) {
    const int  vt = s.oddat.vtyp(car);
    const int  o = s.vehicle.norig(car);
    const int  d = s.vehicle.ndest(car);
    auto&      v = s.vehicle;
    auto&      st = v.strtrp;
    const bool deferred = st(car, 2) == kDeferred;

    s.nodes.dptrs(o, d, vt) += 1;
    v.arrt(car) = tm;
    s.link2.ntqu(l) += 1;
    s.link2.obsmaxq(l) = std::max(s.link2.obsmaxq(l), s.link2.ntqu(l));
    v.big(s.link2.nbqu(l) + s.link2.ntqu(l)) = car;

    // A trip that waited runs from its real entry, in whole seconds; one on
    // time from its schedule.
    if (deferred)
        v.dept(car) = static_cast<float>(static_cast<int>(s.delay.fretim(l) + tm));
    else
        v.dept(car) += s.delay.fretim(l);

    s.set1.tenr += 1;
    if (deferred) {
        s.set1.totin -= 1;
        s.invisible.ntinv(o) -= 1;
    } else {
        s.set1.tdep += 1;
    }
    st(car, 2) = tm;
    s.lane_target.last_lane_change(car, 1) = tm;
    s.lane_target.last_lane_change(car, 2) = 0.0f;
    s.oddat.totvtn(vt, 2) += 1.0f;

    auto& p = s.vehplot;
    s.oddat.vlan(vid, 1) = lane;
    p.hdwy(vid, 1) = static_cast<float>(best);
    p.hdwy(vid, 2) = kFirstHeadway;
    p.dis(vid, 1) = 0.0f;
    p.dis(vid, 2) = 0.0f;
    p.dis(vid, 3) = kNotDrawn;
    v.pspd(vid) = 0.0f;
    s.vehindx.lanechan(vid) = 1.0f;
    const float speed = std::max(s.delay.linspd(l, 1), s.link1.spdvol(l, 4));
    p.spd(vid, 1) = speed;
    p.spd(vid, 2) = speed;
    p.spd(vid, 4) = speed;
    p.spd(vid, 3) = s.link1.spdvol(l, 7);

    v.wait(vid, 1) = kNotWaiting;
    v.wait(vid, 2) = t;
    v.wait(vid, 3) = 0;
    v.wait(vid, 4) = 0;
    s.vehindx.presig(vid) = 0;
    v.vacc(vid, 1) = 0.0f;
    v.vacc(vid, 2) = 0.0f;
    p.accmod(vid, 1) = 0.0f;
    p.accmod(vid, 2) = 0.0f;
    p.accmod(vid, 3) = 1.0f;
    p.accmod(vid, 4) = 0.0f;
    s.denhis.entden(vid) = s.link2.ntqu(l);
    s.oddat.vsigstp(vid, 1) = 0;
    s.oddat.vsigstp(vid, 2) = 0;
    v.vehdiv(vid) = 0;
    s.lanexch.lstveh(s.lanexch.lannum(l, lane), 2) = 0; // its last vehicle is at the start

    auto& lnchtm = s.vehindx.lnchtm;
    lnchtm(vid, 1) = -10;
    lnchtm(vid, 2) = t10 + kNoChangeTicks;
    lnchtm(vid, 4) =
        std::min(kNoChangeMaxM, static_cast<int>(kMetresPerKm * s.link4.llength(l) / 4.0f));
    for (int k = 1; k <= 10; ++k) p.dis_his(vid, k) = 0;

    // Lane-change state of a new vehicle: no wall, no weaving, no wish, caps
    // at the free speed and no wall found yet. A reused slot still holds the
    // last trip's values, which the first lane decision would read.
    auto&       cw = v.carwal;
    const float vf = s.link1.spdvol(l, 7);
    cw(vid, 1) = cw(vid, 2) = 1.0f;
    cw(vid, 3) = cw(vid, 7) = 0.0f;
    for (const int k : {4, 5, 6, 12}) cw(vid, k) = vf;
    for (const int k : {8, 9, 10, 11}) cw(vid, k) = kNoWallFound;
    p.splbck(vid) = 0;
    p.held(vid) = 0;

    charge_link_toll(s, car, l, vt);
    nextlane(s, car, t, v.nxtlnk(vid, 1), l, 3);
    s.busstop.buswait(vid) = kNotWaiting;
    s.link1.outflw(l, 1) += kEntryFlowStep;
    v.vaccel(car, 1) = 0.0f;
    v.vaccel(car, 2) = 0.0f;
}

// One entry attempt of trip car. False when no slot was left: the whole entry
// step ends.
bool try_to_enter(Sim& s, int car, int t, int t10, float tm) {
    int vid = 0;
    int flag = 0;
    setvid(s, car, vid, flag);
    if (flag == 1) return false;

    const int vt = s.oddat.vtyp(car);
    const int o = s.vehicle.norig(car);
    const int d = s.vehicle.ndest(car);
    auto&     st = s.vehicle.strtrp;
    if (d < 1 || d > kMaxZones) {
        wfree(s.units, kUnitRunLog, " At time ;", t, " Car:", car, " from o:", o,
              " Has invalid Micro-Dest ", d);
        abandon(s, car, o);
        return true;
    }
    if (o < 1 || o > kMaxZones || vt < 1 || vt > kClasses) {
        wfree(s.units, kUnitRunLog, " At time ;", t, " Car:", car, " Has invalid origin", o,
              " or class", vt);
        abandon(s, car, o);
        return true;
    }
    if (recompute_path(s, vt)) {
        int code = 0;
        comppath(s, car, t, code, kForceSwitch, 1, kPathImp1, kPathImp2);
    }

    const int first = s.vehtre.tre_ind(car, 1);
    const int l = first >= 1 && first <= kMaxPathEntries ? s.vehtre.vehtre(first, 1) : 0;
    s.oddat.curlnk(vid) = l;
    s.vehtre.tre_ind(car, 4) = 1;
    if (l < 1 || l > kMaxLinks) {
        s.units.line(kUnitRunLog, "-t:" + fmt_i(t, 5) + "car:" + fmt_i(car, 5) +
                                      " orig:" + fmt_i(o, 5) + " micro: " + fmt_i(d, 5) +
                                      " macro:" + fmt_i(std::abs(s.graph1.macrzon(d)), 5) +
                                      " vt:" + fmt_i(vt, 5) + " nl:" + fmt_i(l, 5));
        abandon(s, car, o);
        return true;
    }
    new_link(s, car, 2);

    bool enters = false;
    int  lane = -1;
    int  best = -1;
    if (s.link2.cmaxq(l) >= 0 && s.link2.ntqu(l) < s.link2.amaxq(l)) {
        best_lane(s, l, vt, lane, best);
        const float need = kCapacityShare * s.link5.minhd(l, 3) + kJamShare * s.link5.minhd(l, 1);
        enters = lane >= 1 && static_cast<float>(best) >= need;
    }
    if (enters) {
        place_on_first_link(s, car, vid, l, lane, best, t, t10, tm);
    } else if (st(car, 2) == kNotDeparted) {
        // The first failed attempt: the trip now waits at its origin.
        st(car, 2) = kDeferred;
        s.set1.tdep += 1;
        s.set1.totin += 1;
        auto& inv = s.invisible;
        inv.ntinv(o) += 1;
        if (inv.ntinv(o) > inv.maxpark(o)) {
            inv.maxpark(o) = inv.ntinv(o);
            inv.tmaxpark(o) = t;
        }
    }
    return true;
}

} // namespace

void charge_link_toll(Sim& s, int car, int l, int vt) {
    const float c = s.tolplaz.curtol(l, vt);
    auto&       tol = s.tolplaz.vehtol;
    tol(car, 1) = c;
    tol(car, 2) += c;
    tol(car, 3) = c;
    const int cents = static_cast<int>(100.0f * c);
    s.link1.detper(l, 3, vt) += cents;
    s.link1.detper(l, 6, vt) += cents;
}

void enternet(Sim& s, int t, int t10) {
    const float tm = static_cast<float>(t10) / 10.0f;
    auto&       st2 = s.set2;
    const auto& dl = s.vehicle.deplist;
    const auto& sched = s.vehicle.strtrp;
    st2.nxtcar = 1;
    while (st2.nxtcar <= std::min(st2.nondept, kMaxTrips)) {
        const int car = dl(st2.nxtcar);
        if (!valid_trip(car)) {
            drop_entry(s, t, st2.nxtcar);
            continue;
        }
        if (sched(car, 1) > tm) break;
        if (sched(car, 2) < 0.0f && !try_to_enter(s, car, t, t10, tm)) return;
        st2.nxtcar += 1;
    }
}

void decdept(Sim& s, int t, int& nondept, int maxtrp) {
    auto&     dl = s.vehicle.deplist;
    const int top = std::min(maxtrp, kMaxTrips);
    int       kept = 0;
    int       i = 1;
    for (; i <= kMaxTrips && dl(i) > 0; ++i) {
        const int car = dl(i);
        if (car > top) {
            std::string line = " vehicle list corrupted at t= " + fmt_i(t, 6) + fmt_i(i, 6) +
                               fmt_i(nondept, 6) + fmt_i(car, 6);
            if (car <= kMaxTrips) line += fmt_f(s.vehicle.strtrp(car, 2), 8, 1);
            s.units.line(kUnitRunLog, line);
            continue; // dropped
        }
        if (s.vehicle.strtrp(car, 2) < 0.0f) {
            ++kept;
            dl(kept) = car;
            if (kept < i) dl(i) = 0;
        }
    }
    // Entries left behind by trips that entered would be read again next time.
    for (int j = kept + 1; j < i; ++j) dl(j) = 0;
    nondept = kept;
}

} // namespace velm
