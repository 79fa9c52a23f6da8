// Where the class trees get their link costs, and the initial trees of every
// class before the time loop.
#include "core/routing/tree_schedule.h"
#include "core/routing/routing.h"

#include "core/io/writers.h"

#include <algorithm>
#include <cmath>

namespace velm {

namespace {

constexpr int kFreeFlowFallback = 1; // trefrq(vt, 6): free flow where not measured

// The period of the slot-7 costs that holds second t.
int future_period(const Sim& s, int t) {
    const auto& tr = s.trees;
    if (tr.pd_in <= 0) return 1;
    return std::clamp(t / tr.pd_in + 1, 1, std::max(tr.np_in, 1));
}

bool future_costs_at(const Sim& s, int per, int vt) {
    const auto& fc = s.trees.futcost;
    return fc.size() > 0 && per <= fc.hi2() && vt >= 1 && vt <= fc.hi3();
}

// Method 8 routes on the class's current tree and nothing rebuilds it during
// the run, so it gets its start trees here like method 2: without them its
// trips would find no first link.
bool builds_initial_trees(int method) {
    return method == 2 || method == 3 || method >= 8;
}

} // namespace

namespace routing {

bool external_paths(const Sim& s, int vt) {
    if (vt < 1 || vt > kClasses) return false;
    const int method = s.set1.tremet(vt);
    return (method == kExternalSlot8Method && s.pathnam.filuse[8] == 1) ||
           (method == kExternalSlot9Method && s.pathnam.filuse[9] == 1);
}

void eco_costs(Sim& s, int vt, Array1<float>& cost) {
    const int ml = std::min({s.link2.mlnum, kMaxLinks, cost.hi()});
    for (int l = 1; l <= ml; ++l) {
        if (s.link4.llength(l) < 0.0f) continue;
        cost(l) = s.link1.surv(l, vt) > 0 ? s.link1.eco(l, vt) : s.link1.frefuel(l);
    }
}

} // namespace routing

void timecopy(Sim& s, int t, Array1<float>& survtim, int vt) {
    const int per = future_period(s, t);
    if (!future_costs_at(s, per, vt)) return;
    const int mlnum = std::min(s.link2.mlnum, s.trees.futcost.hi1());
    for (int l = 1; l <= mlnum; ++l)
        if (s.link4.llength(l) > 0.0f) survtim(l) = static_cast<float>(s.trees.futcost(l, per, vt));
}

void get_his(Sim& s, int vt, int ntsl, Array1<float>& survtim) {
    if (vt < 1 || vt > kClasses || ntsl < 1 || ntsl > kHistoryPeriods) return;
    const int mlnum = std::min(s.link2.mlnum, s.feedback.histim.hi1());
    for (int l = 1; l <= mlnum; ++l)
        if (s.link4.llength(l) > 0.0f)
            survtim(l) = static_cast<float>(s.feedback.histim(l, vt, ntsl));
}

void copytime(Sim& /*s*/, const Array1<float>& time1, Array1<float>& time2, int mlin) {
    const int n = std::min({mlin, time1.hi(), time2.hi()});
    for (int l = 1; l <= n; ++l) time2(l) = time1(l);
}

void survcheck(Sim& s, int t, int vt, const Array2<float>& tt1, const Array2<int>& check,
               Array1<float>& tt3) {
    if (vt < 1 || vt > kClasses) return;
    const int  per = future_period(s, t);
    const bool future = future_costs_at(s, per, vt);
    const int  mlnum = std::min(s.link2.mlnum, kMaxLinks);
    for (int l = 1; l <= mlnum; ++l) {
        if (s.link4.llength(l) < 0.0f) continue;
        if (check(l, vt) > 0)
            tt3(l) = tt1(l, vt);
        else if (s.set1.trefrq(vt, 6) == kFreeFlowFallback)
            tt3(l) = s.delay.fretim(l);
        else if (future && l <= s.trees.futcost.hi1())
            tt3(l) = static_cast<float>(s.trees.futcost(l, per, vt));
    }
}

void initial_trees(Sim& s) {
    Units&     u = s.units;
    auto&      object1 = s.mainrun.object1;
    auto&      survtim = s.delay.survtim;
    const auto mmazon = s.set2.mmazon, mlnum = s.link2.mlnum, mzones = s.set2.mzones;
    int        status = 0;
    // The tree store exists from here on, built or not: vehicles read it.
    s.trees.size_trees(std::min(mmazon, kMaxMacroZones), std::min(mlnum, kMaxLinks),
                       std::min(mzones, kMaxZones));
    for (int vt = 1; vt <= kClasses; ++vt) {
        if (s.oddat.totvtn(vt, 1) > 0.0f || s.oddat.totvtn(vt, 4) > 0.0f) {
            wfree(u, kUnitSummary, "     - Minimum Path Trees", " for Vehicle Type ", vt);
            wfree(u, kUnitRunLog, "       - Minimum path vehicle type", vt);
            const int method = s.set1.tremet(vt);
            const int first = (vt - 1) * kTreesPerClass + 1;
            if (routing::external_paths(s, vt)) {
                status = kTreeExplicit;
                if (vt == 5) {
                    setwgt(s, first, first + kTreesPerClass - 1);
                    status = kTreeExplicitWeights;
                }
            } else if (builds_initial_trees(method)) {
                status = kTreeBuilding;
                const int  window = std::abs(s.set1.trefrq(vt, 1));
                const bool future = s.pathnam.filuse[kFutureCostSlot] == 1 &&
                                    s.set1.trefrq(vt, 3) != kIgnoreFuture && method <= 8;
                for (int k = 1; k <= kTreesPerClass; ++k) {
                    float q = (static_cast<float>(k) - 0.5f) / static_cast<float>(kTreesPerClass);
                    const Array1<float>* cost = &object1;
                    if (future) {
                        timecopy(s, 0, survtim, vt);
                        add_atis(s, 0, survtim);
                        add_toll(s, 0, window, vt, survtim, object1, q);
                        status = kTreeFutureCosts;
                    } else if (method <= 8) {
                        add_toll(s, 0, window, vt, s.delay.fretim, object1, q);
                        status = kTreeOwnCosts;
                    } else {
                        cost = &s.link1.frefuel; // eco-routing starts on free-flow fuel, no tolls
                        status = kTreeOwnCosts;
                    }
                    buildtree(s, vt, *cost, s.set1.trnd(vt), 1, s.mainrun.mes);
                    checktree(s, vt);
                    if (s.errcount.errt1 > 0) return; // the input phase ends here
                    treecopy(s, vt, first + k - 1, mmazon, mlnum, mzones);
                }
                setwgt(s, first, first + kTreesPerClass - 1);
            }
        }
        wfree(u, kUnitRunLog, "   - Tree Build:", s.control.t, vt, status);
    }
}

} // namespace velm
