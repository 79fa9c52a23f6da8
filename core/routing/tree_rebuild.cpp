// The class trees rebuilt during the run: each class renews one of its five
// stored trees every fifth of its update interval, on the slot-7 costs or on
// the measured link times, so that the whole set follows conditions once per
// interval while the building work is spread over the run.
#include "core/routing/routing.h"
#include "core/routing/tree_schedule.h"

#include "core/driver/profiler.h"
#include "core/io/writers.h"

#include <algorithm>
#include <cstdlib>

namespace velm {

namespace {

constexpr int kStatusReached = 1000; // a rebuild second of a class that rebuilds nothing
constexpr int kMethodPeriodic = 2;
constexpr int kMethodEcoPeriodic = 9;

// The rebuild interval of class vt, s: the smaller positive of the tree
// update interval and the en-route period (0 when neither is set).
int rebuild_interval(const Sim& s, int vt) {
    const int i1 = std::abs(s.set1.trefrq(vt, 1));
    const int i2 = std::abs(s.set1.trefrq(vt, 2));
    if (i1 == 0) return i2;
    if (i2 == 0) return i1;
    return std::min(i1, i2);
}

} // namespace

void rebuild_trees(Sim& s) {
    const int t = s.control.t;
    if (t <= 0) return;
    auto&      object1 = s.mainrun.object1;
    auto&      survtim = s.delay.survtim;
    const auto mmazon = s.set2.mmazon, mlnum = s.link2.mlnum, mzones = s.set2.mzones;
    for (int vt = 1; vt <= kClasses; ++vt) {
        const int interval = rebuild_interval(s, vt);
        if (interval <= 0) continue;
        if (s.oddat.totvtn(vt, 1) <= 0.0f && s.oddat.totvtn(vt, 4) <= 0.0f) continue;
        // Under 5 s the fifth would be 0 s: rebuild each second instead.
        const int step = std::max(interval / kTreesPerClass, 1);
        if (t % step != 0) continue;
        const int k = (t / step) % kTreesPerClass + 1;
        const int tr = (vt - 1) * kTreesPerClass + k;
        float     q = (static_cast<float>(k) - 0.5f) / static_cast<float>(kTreesPerClass);
        const int method = s.set1.tremet(vt);
        int       status = kStatusReached;
        if (routing::external_paths(s, vt)) {
            status = kTreeExplicitWeights; // the class follows external paths
        } else if (method == kMethodPeriodic || method == kMethodEcoPeriodic) {
            status = kTreeBuilding;
            if (s.pathnam.filuse[kFutureCostSlot] == 1 && s.set1.trefrq(vt, 3) != kIgnoreFuture) {
                timecopy(s, t, survtim, vt);
                add_atis(s, t, survtim);
                add_toll(s, t, t + interval, vt, survtim, object1, q);
                status = kTreeFutureCosts;
            } else if (method == kMethodPeriodic) {
                // Links that neither measure nor have a slot-7 cost keep their
                // free-flow time rather than whatever the work vector held.
                copytime(s, s.delay.fretim, survtim, std::min(mlnum, kMaxLinks));
                survcheck(s, t, vt, s.delay.ttlink, s.link1.surv, survtim);
                add_toll(s, t, t + interval, vt, survtim, object1, q);
                status = kTreeOwnCosts;
            } else {
                routing::eco_costs(s, vt, object1);
                status = kTreeOwnCosts;
            }
            buildtree(s, vt, object1, s.set1.trnd(vt), 1, s.mainrun.mes);
            treecopy(s, vt, tr, mmazon, mlnum, mzones);
        }
        wfree(s.units, kUnitRunLog, "   - Tree Build2:", t, vt, tr, method, status);
        stim(s, Activity::tree_rebuild);
    }
}

} // namespace velm
