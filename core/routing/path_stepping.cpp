// Path stepping: a trip's routing state turned into an explicit list of
// links along the tree its routing method names, the first link out of its
// origin zone, and the trip's value of time.
#include "core/routing/path_stepping.h"

#include "core/driver/random.h"
#include "core/io/writers.h"
#include "core/routing/routing.h"
#include "core/routing/tree_schedule.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace velm {

namespace routing {

int stored_tree(const Sim& s, int car, int vt) {
    if (vt < 1 || vt > kClasses) return 0;
    const int   first = (vt - 1) * kTreesPerClass + 1;
    const float x = static_cast<float>(s.oddat.vrnd(car)) / kTripRandomScale;
    for (int k = first; k < first + kTreesPerClass; ++k)
        if (s.trees.tree_wt(k, 2) > x) return k;
    return first;
}

int macro_destination(const Sim& s, int car) {
    const int nd = s.vehicle.ndest(car);
    if (nd < 1 || nd > kMaxZones) return 0;
    return std::abs(s.graph1.macrzon(nd));
}

} // namespace routing

namespace {

constexpr int kCurrentTreeMethod = 8; // the class's current tree
constexpr int kStoredFirstLink = 2;   // firstlnk from the trip's stored origin tree
constexpr int kCurrentFirstLink = 1;  // firstlnk from the class's current origin tree
constexpr int kIgnoreSigns = 2;       // steplink ind: message-sign advice does not apply

constexpr int kMeasuredTimesMethod = 3; // forward tree on the perceived measured times
constexpr int kForecastMethod = 4;      // forward tree on the forecast link times

bool forward_tree_method(int method) {
    return method == kMeasuredTimesMethod || method == kForecastMethod ||
           method == routing::kEcoForwardMethod;
}

// Link costs of a forward tree of class vt (method 3 or 10) at second t: the
// slot-7 costs of the period when the class uses them, else the class's
// measured times (3) or eco costs (10) where it measures them, with the
// driver's perception error. Links the class does not measure keep their
// free-flow time (3) or fuel (10).
const Array1<float>& forward_costs(Sim& s, int vt, int method, int t) {
    auto&     fw = s.trees.forward;
    const int mlnum = std::clamp(s.link2.mlnum, 0, kMaxLinks);
    if (mlnum >= 1 && fw.cost.hi() != mlnum) {
        fw.cost.resize(mlnum);
        fw.perceived.resize(mlnum);
    }
    const bool eco = method == routing::kEcoForwardMethod;
    if (s.pathnam.filuse[kFutureCostSlot] == 1 && s.set1.trefrq(vt, 3) != kIgnoreFuture) {
        copytime(s, eco ? s.link1.frefuel : s.delay.fretim, fw.cost, mlnum);
        timecopy(s, t, fw.cost, vt);
        return fw.cost;
    }
    if (eco) {
        routing::eco_costs(s, vt, fw.cost);
    } else {
        copytime(s, s.delay.fretim, fw.cost, mlnum);
        survcheck(s, t, vt, s.delay.ttlink, s.link1.surv, fw.cost);
    }
    randomize(s, fw.cost, fw.perceived, s.set1.trnd(vt));
    return fw.perceived;
}

// Class whose trees the trip follows at second t: a vehicle inside a message
// sign's advice period follows the advised class.
int routing_class(const Sim& s, int car, int t, int ind) {
    int       vt = s.oddat.vtyp(car);
    const int vid = s.vehindx.vehid(car);
    if (ind != kIgnoreSigns && vid >= 1 && vid <= kMaxVehicles && s.oddat.cmst(vid, 1) >= t) {
        const int advised = s.oddat.cmst(vid, 2);
        if (advised >= 1 && advised <= kClasses) vt = advised;
    }
    return vt;
}

// Starts a new walk: links marked with the returned number are on it.
int new_walk(mod_vehtre& vt) {
    if (vt.walk == INT_MAX) {
        std::fill(vt.visit.begin(), vt.visit.end(), 0);
        vt.walk = 0;
    }
    return ++vt.walk;
}

} // namespace

void firstlnk(Sim& s, int car, int& nl, int ind) {
    nl = 0;
    if (car < 1 || car > kMaxTrips) return;
    const int no = s.vehicle.norig(car);
    const int nd = routing::macro_destination(s, car);
    const int vt = s.oddat.vtyp(car); // the trip's own class, whatever a sign advised
    if (ind == kStoredFirstLink) {
        const int k = routing::stored_tree(s, car, vt);
        if (s.trees.tree1o.holds(nd, no, k)) nl = s.trees.tree1o(nd, no, k);
    } else if (s.trees.ortree.holds(nd, no, vt)) {
        nl = s.trees.ortree(nd, no, vt);
    }
}

void steplink(Sim& s, int car, int t, int& ldest, int clink, std::span<int> pathx, int& l_path,
              int ind) {
    l_path = 0;
    ldest = -1;
    if (car < 1 || car > kMaxTrips || pathx.empty()) return;
    Units&      u = s.units;
    const auto& tr = s.trees;
    const int   vt = routing_class(s, car, t, ind);
    const int   method = vt >= 1 && vt <= kClasses ? s.set1.tremet(vt) : 0;
    const bool  current = method == kCurrentTreeMethod;
    const int   k = current ? 0 : routing::stored_tree(s, car, vt);
    const int   nd = s.vehicle.ndest(car);
    const int   dz = routing::macro_destination(s, car);
    const int   centroid = dz >= 1 && dz <= kMaxMacroZones ? s.graph1.mazn(dz) : 0;
    const auto  room = static_cast<int>(std::min<std::size_t>(pathx.size(), kMaxPathLinks));

    if (forward_tree_method(method)) {
        // From the current link, or from the links leaving the origin node.
        const int            start = clink > 0 ? clink : -s.vehicle.norig(car);
        const bool           forecast = method == kForecastMethod;
        const Array1<float>& cost = forecast ? s.delay.fretim : forward_costs(s, vt, method, t);
        futtree(s, t, car, start, pathx, l_path, nd, vt, cost,
                forecast ? kFutForecastTimes : kFutCostsGiven);
        ldest = l_path > 1 ? pathx[0] : -1;
        return;
    }
    int nl = clink;
    if (nl <= 0) firstlnk(s, car, nl, current ? kCurrentFirstLink : kStoredFirstLink);

    auto&     vis = s.vehtre.visit;
    const int walk = new_walk(s.vehtre);
    for (;;) {
        if (l_path >= room) {
            wfree(u, kUnitConsole, "Warning Memory Violation !");
            wfree(u, kUnitRunLog, " Path of trip", car, " longer than", room,
                  " links: ended at link", pathx[static_cast<std::size_t>(l_path - 1)]);
            break;
        }
        const bool link_ok = nl >= 1 && nl <= kMaxLinks;
        if (link_ok && vis[static_cast<std::size_t>(nl)] == walk) {
            // A tree that leads back to a link already on the path would never
            // end: the path ends at the last new link.
            wfree(u, kUnitRunLog, " Path of trip", car, " returns to link", nl, ": ended at link",
                  pathx[static_cast<std::size_t>(l_path - 1)]);
            break;
        }
        pathx[static_cast<std::size_t>(l_path++)] = nl;
        if (!link_ok) {
            wfree(u, kUnitRunLog, "      nl>", dz, nl, k);
            break;
        }
        vis[static_cast<std::size_t>(nl)] = walk;
        const int to = s.link1.tonode(nl);
        if (to == nd || (centroid > 0 && to == centroid)) break; // the trip ends on nl

        if (dz < 1 || dz > kMaxMacroZones) {
            wfree(u, kUnitRunLog, " nodestm>", dz, nl, k);
            break;
        }
        int next = 0;
        if (current) {
            if (tr.rgtree.holds(dz, nl, vt)) next = tr.rgtree(dz, nl, vt);
        } else {
            if (k < 1 || k > kStoredTrees) {
                wfree(u, kUnitRunLog, "  vehtyp2>", dz, nl, k);
                break;
            }
            if (tr.tree1l.holds(dz, nl, k)) next = tr.tree1l(dz, nl, k);
        }
        if (next <= 0) break;
        // A next link from which the zone cannot be reached ends the path; a final
        // link shorter than 10 m (remaining length 0) still reaches it.
        if (!distance_reachable(s, nd, next)) break;
        nl = next;
    }
    ldest = l_path > 1 ? pathx[0] : -1;
}

void val_time(Sim& s, int car) {
    if (car < 1 || car > kMaxTrips) return;
    auto&     valtim = s.tolplaz.valtim;
    const int vt = s.oddat.vtyp(car);
    if (vt < 1 || vt > kClasses) {
        valtim(car) = 0.0f;
        return;
    }
    const float mean = s.tolplaz.sectol(vt, 1);
    const float cov = s.tolplaz.sectol(vt, 2);
    if (mean > 0.0f) {
        float p = static_cast<float>(s.oddat.vrnd(car)) / kTripRandomScale;
        float v = 0.0f;
        lognorm(mean, cov, p, v);
        valtim(car) = v;
    } else {
        valtim(car) = mean;
    }
}

} // namespace velm
