// Link transfer: lane heads whose exit time has come leave their link, either
// ending their trip at its downstream node or passing into the next link of
// their path when the lane they aim at has entry space and the link has room.
// A head that may not pass stays at the link end: queues spill back.
#include "core/display/display.h"
#include "core/io/writers.h"
#include "core/movement/exit_statistics.h"
#include "core/movement/movement.h"
#include "core/movement/network_entry.h"
#include "core/movement/trip_completion.h"
#include "core/reports/reports.h"
#include "core/routing/routing.h"

#include <algorithm>
#include <cstdlib>

namespace velm {

namespace {

// Diagnostic codes of stat(vid), shown in the vehicle pop-up.
enum ExitStage : int {
    kExamined = 10,
    kClassRead = 20,
    kWithinTolerance = 30,
    kExitTimeReached = 40,
    kNextLinkKnown = 100,
    kLaneHasSpace = 110,
    kTransferAllowed = 120,
    kTransferring = 130,
    kLeftLink = 0,
};

constexpr float kDefaultTolerance = 1.0f;  // s, exit tolerance when errchk(33) is 0
constexpr float kDefaultWaitSpeed = 15.0f; // km/h, waiting threshold when errchk(31) < 1
constexpr float kBehindLastTime = 0.051f;  // s the last vehicle moves ahead of a new one
constexpr int   kShortLinkM = 500;         // m, links up to this hold lane changes shorter
constexpr int   kLinkColour = 16;          // pen that paints over a vehicle on a link
constexpr int   kConnectorColour = 4;      // on a zone connector
constexpr int   kMarkerType = 8;
constexpr float kMarkerWidth = 0.006f;
constexpr float kForcedImp1 = 15.0f; // s, comppath after message-sign advice
constexpr float kForcedImp2 = 0.1f;

bool is_link(int l) {
    return l >= 1 && l <= kMaxLinks;
}

// The trip ends on link l when l leads into its destination node or into the
// centroid node of the destination's macro zone.
bool trip_ends_on(const Sim& s, int car, int l) {
    const int d = s.vehicle.ndest(car);
    const int node = s.link1.tonode(l);
    if (node == d) return true;
    if (d < 1 || d > kMaxZones) return false;
    const int m = std::abs(s.graph1.macrzon(d));
    return m >= 1 && m <= kMaxMacroZones && s.graph1.mazn(m) == node;
}

// The path entries behind the current link are no longer needed.
void clear_rest_of_path(Sim& s, int car) {
    auto&     ind = s.vehtre.tre_ind;
    auto&     path = s.vehtre.vehtre;
    const int first = std::max(ind(car, 1) + ind(car, 4), 1);
    // Links may be held up to the end of the block, and never past the room.
    const int last = std::min({std::max(ind(car, 2), ind(car, 5)), ind(car, 3), kMaxPathEntries});
    if (ind(car, 1) < 1) return;
    for (int e = first; e <= last; ++e) path(e, 1) = 0;
}

void advice_reroute(Sim& s, int car, int l, int vt, int t) {
    int flag = 0;
    chk_cms(s, car, l, vt, t, flag);
    if (flag > 0) {
        int code = 0;
        comppath(s, car, t, code, kForceSwitch, 1, kForcedImp1, kForcedImp2);
    }
}

// Takes trip car out of link l's list; pos is its expected rank.
void remove_from_list(Sim& s, int l, int car, int pos) {
    auto&     big = s.vehicle.big;
    const int base = s.link2.nbqu(l);
    const int n = s.link2.ntqu(l);
    if (pos < 1 || pos > n || big(base + pos) != car) {
        // A stale rank: look the trip up instead of removing someone else.
        pos = 0;
        for (int i = 1; i <= n; ++i)
            if (big(base + i) == car) pos = i;
        if (pos == 0) return;
    }
    for (int i = pos; i < n; ++i) big(base + i) = big(base + i + 1);
    s.link2.ntqu(l) = n - 1;
}

void erase_marker(Sim& s, int car, int vid, int l) {
    auto&       xq = s.vehplot.xq;
    auto&       yq = s.vehplot.yq;
    const float len = s.link4.llength(l);
    float       size = len > 0.0f ? std::abs(s.vehicle.pcu(car)) * s.graph1.xylen(l) / len : 0.0f;
    dxmarker(s, 1, xq(vid, 1), yq(vid, 1), s.graph1.dx(l), s.graph1.dy(l), size, kMarkerType,
             kMarkerWidth, s.link1.zoncon(l) == 1 ? kConnectorColour : kLinkColour);
    xq(vid, 1) = -1.0f;
    yq(vid, 1) = -1.0f;
    s.vehplot.drawn(vid) = 0;
}

// Puts trip car into lane r of link ldest at the tick time tr.
void transfer(Sim& s, int car, int vid, int vt, int ldest, int r, int t, int t10, float tr) {
    advice_reroute(s, car, ldest, vt, t);
    new_link(s, car, 1);
    s.link1.outflw(ldest, 1) += kFlowStep;
    lanpos(s, ldest, t10); // before the append: the newcomer is no lane head yet

    auto&     dis = s.vehplot.dis;
    const int n = s.link2.ntqu(ldest);
    if (n == 0) {
        dis(vid, 1) = 0.0f;
    } else {
        const int last = s.vehicle.big(s.link2.nbqu(ldest) + n);
        dis(vid, 1) = kBehindLastTime * s.vehplot.spd(s.vehindx.vehid(last), 1) / kKmhPerMps;
    }
    dis(vid, 2) = 0.0f;

    const int lt = s.lanexch.lannum(ldest, r);
    s.lanexch.cq(lt) = -1; // one entry per lane and tick
    s.vehplot.hdwy(vid, 1) = static_cast<float>(s.lanexch.lstveh(lt, 2));
    s.vehplot.hdwy(vid, 2) = 0.0f;
    s.oddat.vlan(vid, 1) = r;

    auto&       lnchtm = s.vehindx.lnchtm;
    const int   lm = static_cast<int>(kMetresPerKm * s.link4.llength(ldest));
    const float jam = s.link5.minhd(ldest, 1);
    lnchtm(vid, 4) = lm <= kShortLinkM
                         ? static_cast<int>(static_cast<float>(lm) * jam * 10.0f / 500.0f)
                         : static_cast<int>(10.0f * jam);
    lnchtm(vid, 2) = t10 + 10;
    lnchtm(vid, 3) = r;

    s.vehicle.wait(vid, 1) = kNotWaiting;
    s.vehicle.wait(vid, 2) = static_cast<int>(tr);
    s.busstop.buswait(vid) = kNotWaiting;
    s.denhis.entden(vid) = n;

    s.vehicle.arrt(car) = tr;
    float spread = 1.0f + 3.0f * s.link4.pltdsp(ldest, 1);
    if (!(spread > 0.0f)) {
        wfree(s.units, kUnitRunLog, " moveveh: dispersion", s.link4.pltdsp(ldest, 1),
              " gives 1 + 3p <= 0 on link", ldest, "; divisor 1 used");
        spread = 1.0f;
    }
    s.vehicle.dept(car) = tr + s.delay.fretim(ldest) / spread;

    s.link2.ntqu(ldest) = n + 1;
    s.link2.obsmaxq(ldest) = std::max(s.link2.obsmaxq(ldest), n + 1);
    s.vehicle.big(s.link2.nbqu(ldest) + n + 1) = car;
    charge_link_toll(s, car, ldest, vt);
    nextlane(s, car, t, s.vehicle.nxtlnk(vid, 1), ldest, 2);

    auto& ke = s.kzcpxm_energy;
    if (ke.energy_model == 1) {
        for (int k = 1; k <= 8; ++k) ke.veh_vsp_param(vid, k) = 0.0f;
        // Nothing in a run reads these sums: clearing them once is enough.
        if (!ke.eco_vsp_cleared) {
            ke.eco_vsp_param.zero();
            ke.eco_vsp_cleared = true;
        }
    }
}

// A head refused at its link end stands there: its position is already
// clamped to the end, so its speed drops to 0 from this tick and the speed
// update keeps it at 0 (counting stopped time) for as long as it is refused.
void hold_at_link_end(Sim& s, int vid) {
    s.vehplot.spd(vid, 1) = 0.0f;
    s.vehplot.held(vid) = 1;
}

struct TransferPass {
    int   t = 0, t10 = 0;
    float tr = 0.0f;
    float tolerance = kDefaultTolerance;
    float wait_speed = kDefaultWaitSpeed;
};

// The head vehicle car of lane k (network lane ln) of link l.
void serve_head(Sim& s, TransferPass& p, int l, int k, int ln, int car) {
    const int vid = car <= kMaxTrips ? s.vehindx.vehid(car) : 0;
    if (vid < 1 || vid > kMaxVehicles) {
        wfree(s.units, kUnitRunLog, "moveveh vid", p.t, l, k, ln, car, vid);
        return;
    }
    auto&       stat = s.oddat.stat;
    auto&       wait = s.vehicle.wait;
    const float dept = s.vehicle.dept(car);
    const int   pos = s.vehindx.vehlnk(vid);
    stat(vid) = kExamined;
    const int vt = s.oddat.vtyp(car);
    stat(vid) = kClassRead;

    if (dept - p.tolerance > p.tr) return;
    stat(vid) = kWithinTolerance;
    if (static_cast<float>(wait(vid, 1)) > p.tr && s.vehplot.spd(vid, 1) <= p.wait_speed)
        wait(vid, 1) = static_cast<int>(p.tr); // the waiting clock starts at the link end
    if (dept > p.tr) return;
    stat(vid) = kExitTimeReached;
    const int w0 = wait(vid, 1);
    s.link2.obsmaxq(l) = std::max(s.link2.obsmaxq(l), s.link2.ntqu(l));

    advice_reroute(s, car, l, vt, p.t);

    int        ldest = kTripEndsHere;
    int        r = 0;
    const bool ends = trip_ends_on(s, car, l);
    bool       misrouted = false;
    if (ends) {
        clear_rest_of_path(s, car);
        s.vehicle.nxtlnk(vid, 1) = kTripEndsHere;
    } else {
        ldest = s.vehicle.nxtlnk(vid, 1);
        nextlane(s, car, p.t, ldest, l, 1);
        r = s.oddat.vlan(vid, 2);
        stat(vid) = kNextLinkKnown;
        if (!is_link(ldest)) {
            // Not a link to go on to: the trip ends here rather than waiting
            // at the link end for ever.
            write_next_link_error(s, p.t, car, vid, l, ldest);
            misrouted = true;
            clear_rest_of_path(s, car);
            s.vehicle.nxtlnk(vid, 1) = kTripEndsHere;
            s.oddat.vlan(vid, 2) = 0;
        } else {
            const int lt = s.lanexch.lannum(ldest, r);
            if (s.lanexch.cq(lt) < 1) { // no entry space in the target lane
                hold_at_link_end(s, vid);
                return;
            }
            stat(vid) = kLaneHasSpace;
            if (s.link2.ntqu(ldest) >= s.link2.amaxq(ldest)) { // next link full
                hold_at_link_end(s, vid);
                return;
            }
            stat(vid) = kTransferAllowed;
            stat(vid) = kTransferring;
        }
    }

    LinkExit e;
    e.l = l;
    e.car = car;
    e.vid = vid;
    e.vt = vt;
    e.k = k;
    e.lane = ln;
    e.t = p.t;
    e.t10 = p.t10;
    e.tr = p.tr;
    e.w0 = w0;
    set_exit_times(s, e);

    exit_counts(s, e);
    remove_from_list(s, l, car, pos);
    stat(vid) = kLeftLink;
    exit_trip_sums(s, e);
    if (s.subnet.nsubnetl > 0)
        wrsubnet(s, p.t, car, s.vehicle.norig(car), static_cast<int>(s.vehicle.strtrp(car, 1)),
                 s.vehicle.ndest(car), l);
    lanpos(s, l, p.t10);
    erase_marker(s, car, vid, l);
    e.d = 2;
    if (!ends && !misrouted) {
        float rel = 0.0f;
        turn_ang(s, kMaxLinks, s.graph1.ang, l, ldest, rel, e.d);
    }
    DetectorMarker marker; // the vehicle's own: it never holds back another vehicle
    exit_flows(s, e, marker);

    if (ends)
        complete_trip(s, car, vid, l, p.tr, p.t10);
    else if (misrouted)
        end_misrouted_trip(s, car, vid, p.tr);
    else
        transfer(s, car, vid, vt, ldest, r, p.t, p.t10, p.tr);
}

} // namespace

void moveveh(Sim& s, int t, int t10) {
    TransferPass p;
    p.t = t;
    p.t10 = t10;
    p.tr = static_cast<float>(t10) / 10.0f;
    const int tol = s.errflg.errchk[33];
    const int vmin = s.errflg.errchk[31];
    if (tol != 0) p.tolerance = static_cast<float>(tol);
    if (vmin >= 1) p.wait_speed = static_cast<float>(vmin);

    const auto& list = s.graph1.list;
    const auto& lannum = s.lanexch.lannum;
    const auto& fvehlan = s.link2.fvehlan;
    const int   nlact = std::min(s.link2.nlact, kMaxLinks);
    for (int i = 1; i <= nlact; ++i) {
        const int l = list(i);
        if (!is_link(l)) continue;
        const int lanes = std::min(std::abs(s.link1.nulans(l)), kMaxLinkLanes);
        for (int k = 1; k <= lanes; ++k) {
            const int ln = lannum(l, k);
            const int car = fvehlan(ln);
            if (car > 0) serve_head(s, p, l, k, ln, car);
        }
    }
}

} // namespace velm
