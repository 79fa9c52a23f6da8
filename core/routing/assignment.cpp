// The pre-simulation assignment: the horizon cut into slices, per slice five
// iterations that each build a minimum-cost tree per class under the link
// times of the flows so far, the weight of each iteration's trees (1/it, or
// the step that lowers the objective most), the demand loaded on the class
// trees, the trees left in the stored slots with their weights, the trips of
// the assigned classes traced on them, and the report "assign.out".
#include "core/routing/assignment.h"

#include "core/driver/errors.h"
#include "core/driver/random.h"
#include "core/io/writers.h"
#include "core/reports/reports.h"
#include "core/routing/path_store.h"
#include "core/routing/performance_functions.h"
#include "core/routing/routing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace velm {

namespace routing {

bool assigned_class(const Sim& s, int vt) {
    if (vt < 1 || vt > kClasses) return false;
    const int m = s.set1.tremet(vt);
    return m == 1 || m == 5;
}

SlicePlan slice_plan(const Sim& s) {
    SlicePlan p;
    p.length = s.set1.simtim1;
    for (int vt = 1; vt <= kClasses; ++vt) {
        if (!assigned_class(s, vt)) continue;
        p.wanted = true;
        // A class without an interval takes part but leaves the slices as they are.
        const int i = std::abs(s.set1.trefrq(vt, 1));
        if (i <= 0) continue;
        p.length = std::min(p.length, i);
        if (s.set1.tremet(vt) == 5) p.mode = 2;
    }
    return p;
}

} // namespace routing

namespace {

using routing::kAssignTrace;
using routing::kAssignUnit;

constexpr int   kTreeListUnit = 18;    // the tree listing's unit (and slot)
constexpr int   kLinkTimeSlot = 17;    // link flows, times and tolls of each slice
constexpr float kFirstTrial = 0.1f;    // first trial weight and step of the search
constexpr float kStepShrink = 5.0f;    // the step shrinks by this after a rise
constexpr int   kRisesAllowed = 3;     // the search ends at the rise after these
constexpr float kFirstQuantile = 0.1f; // value-of-time quantile of iteration 1

int link_count(const Sim& s) {
    return std::clamp(s.link2.mlnum, 0, kMaxLinks);
}

// Value-of-time quantile of iteration it: 0.1, 0.3, 0.5, 0.7, 0.9.
float quantile(int it) {
    return (static_cast<float>(it) - 0.5f) / static_cast<float>(kAssignIterations);
}

int tree_slot(int vt, int k) {
    return (vt - 1) * kTreesPerClass + k;
}

bool tracing(const Sim& s) {
    return s.errflg.errchk[kAssignTrace] == 1;
}

// The class's value of time at quantile p; its mean when that is not positive.
float value_of_time(const Sim& s, int vt, float p) {
    const float mean = s.tolplaz.sectol(vt, 1);
    if (!(mean > 0.0f)) return mean;
    float q = p, v = 0.0f;
    lognorm(mean, s.tolplaz.sectol(vt, 2), q, v);
    return v;
}

// A toll c of class vt as seconds at value-of-time quantile p; nothing when
// the value of time is not positive.
float toll_seconds(const Sim& s, int vt, float c, float p) {
    if (c == 0.0f) return 0.0f;
    const float v = value_of_time(s, vt, p);
    return v > 0.0f && std::isfinite(v) ? c / v * kSecondsPerHour : 0.0f;
}

// The link times and objectives of the flows vol at quantile p; the quantile
// is kept so that the tree costs can take the toll equivalent back out.
void evaluate(Sim& s, int mlnum, const Array2<float>& vol, Array2<float>& tolls, float p, int t1,
              int t2) {
    auto& a = s.assigns;
    esttim(s, mlnum, vol, a.ttime, tolls, a.totobj, p, t1, t2);
    a.eval_p = p;
}

// --- "assign.out" --------------------------------------------------------------

void out(Sim& s, std::string_view text) {
    if (s.assigns.report) s.units.line(kAssignUnit, text);
}

template <class... T> void out_free(Sim& s, const T&... items) {
    if (s.assigns.report) wfree(s.units, kAssignUnit, items...);
}

void open_report(Sim& s) {
    auto& a = s.assigns;
    a.report = false;
    const std::string name = routing::slot_file(s, routing::kAssignSlot);
    if (routing::slot_off(name)) return;
    const std::string file = routing::output_file(s, name);
    if (!s.units.open_write(kAssignUnit, file)) {
        // The assignment runs on without its report.
        output_not_written(s, file);
        return;
    }
    a.report = true;
}

void objective_lines(Sim& s) {
    const auto& obj = s.assigns.totobj;
    out(s, "     > Objective Function 1 =" + fmt_f(obj(1), 28, 5));
    out(s, "     > Objective Function 2 =" + fmt_f(obj(2), 28, 5));
    out(s, "     > Objective Function 3 =" + fmt_f(obj(3), 28, 5));
}

void iteration_end_lines(Sim& s) {
    const auto& obj = s.assigns.totobj;
    out_free(s, "  ");
    out(s, "  > Objective Functions  =" + fmt_f(obj(1), 12, 2) + fmt_f(obj(2), 12, 2) +
               fmt_f(obj(3), 12, 2));
    out_free(s, "  ");
}

// --- loading -----------------------------------------------------------------

// A new walk: links marked with the returned stamp were walked by it.
int next_pass(mod_assigns& a) {
    if (a.pass == INT_MAX) {
        std::fill(a.mark.begin(), a.mark.end(), 0);
        a.pass = 0;
    }
    return ++a.pass;
}

// Names a record and class whose tree leads back to a link once per slice.
void tree_loop(Sim& s, int n, int vt, int link, float demand) {
    auto& loops = s.assigns.loops;
    if (std::find(loops.begin(), loops.end(), std::make_pair(n, vt)) != loops.end()) return;
    loops.emplace_back(n, vt);
    wfree(s.units, kUnitRunLog, " Assignment: the tree of class", vt, " returns to link", link,
          " for OD record", n, ": demand (veh/h)", demand, " not loaded to its destination");
}

// Walks the current tree of class vt from origin zone node o toward macro
// destination m, adding qv to the class's flow on every link.
void walk(Sim& s, int n, int vt, int o, int m, float qv, float w, Array2<float>& vol) {
    auto&       a = s.assigns;
    const auto& tr = s.trees;
    const int   mlnum = std::min(link_count(s), vol.hi1());
    const bool  traced = tracing(s);
    const int   stamp = next_pass(a);
    int         l = tr.ortree.holds(m, o, vt) ? tr.ortree(m, o, vt) : 0;
    while (l >= 1 && l <= mlnum) {
        a.mark[static_cast<std::size_t>(l)] = stamp;
        vol(l, vt) += qv;
        if (traced)
            s.units.line(kUnitRunLog, "  -->" + fmt_i(n, 8) + fmt_i(vt, 8) + fmt_i(l, 8) +
                                          fmt_f(vol(l, vt), 10, 2) + fmt_f(qv, 10, 2) +
                                          fmt_f(1.0, 10, 2) + fmt_f(qv, 10, 2));
        const int next = tr.rgtree.holds(m, l, vt) ? tr.rgtree(m, l, vt) : 0;
        if (next >= 1 && next <= mlnum && a.mark[static_cast<std::size_t>(next)] == stamp) {
            tree_loop(s, n, vt, next, w > 0.0f ? qv / w : qv);
            return;
        }
        l = next;
    }
}

// --- current trees of the classes the assignment does not route ------------

// The current trees and origin-destination costs of every class whose method
// is neither 1 nor 5, as they were before the assignment: its slices build a
// tree per iteration for every class with trips (their flows are part of the
// equilibrium) on the class's current tree, but only the assigned classes
// keep them. The stored trees and weights of the other classes are never
// written by the assignment.
class KeptTrees {
  public:
    explicit KeptTrees(const Sim& s) {
        const auto& tr = s.trees;
        const auto& od = s.feedback.odtime;
        zones_ = od.size() > 0 ? od.hi(1) : 0;
        dests_ = od.size() > 0 ? od.hi(2) : 0;
        for (int vt = 1; vt <= kClasses; ++vt) {
            if (routing::assigned_class(s, vt)) continue;
            Kept k{vt, rows(tr.rgtree, vt), rows(tr.ortree, vt), {}};
            for (int d = 1; d <= dests_; ++d)
                for (int o = 1; o <= zones_; ++o) k.odtime.push_back(od(o, d, vt, 1));
            kept_.push_back(std::move(k));
        }
    }

    void restore(Sim& s) const {
        auto& tr = s.trees;
        auto& od = s.feedback.odtime;
        for (const Kept& k : kept_) {
            put_rows(k.rgtree, tr.rgtree, k.vt);
            put_rows(k.ortree, tr.ortree, k.vt);
            // Only the first demand slice's costs are written by the builds.
            if (od.size() == 0) continue;
            for (int d = 1; d <= od.hi(2); ++d)
                for (int o = 1; o <= od.hi(1); ++o) {
                    const bool had = o <= zones_ && d <= dests_;
                    od(o, d, k.vt, 1) = had ? k.odtime[static_cast<std::size_t>(d - 1) *
                                                           static_cast<std::size_t>(zones_) +
                                                       static_cast<std::size_t>(o - 1)]
                                            : 0;
                }
        }
    }

  private:
    struct Kept {
        int                   vt;
        std::vector<TreeLink> rgtree, ortree; // by destination, then row
        std::vector<int>      odtime;         // by destination, then zone
    };
    // The rows of class vt's tree, destination after destination.
    static std::vector<TreeLink> rows(const TreeTable<TreeLink>& t, int vt) {
        std::vector<TreeLink> out;
        if (vt > t.trees() || t.rows() == 0) return out;
        out.reserve(static_cast<std::size_t>(t.dests()) * static_cast<std::size_t>(t.rows()));
        for (int d = 1; d <= t.dests(); ++d)
            out.insert(out.end(), t.row(d, vt), t.row(d, vt) + t.rows());
        return out;
    }
    // Puts them back; a table the builds resized keeps what fits and has no
    // tree elsewhere. The builds size the tables as they were, for the run.
    static void put_rows(const std::vector<TreeLink>& from, TreeTable<TreeLink>& to, int vt) {
        if (vt > to.trees() || to.rows() == 0) return;
        const std::size_t n = static_cast<std::size_t>(to.rows());
        for (int d = 1; d <= to.dests(); ++d) {
            TreeLink*         row = to.row(d, vt);
            const std::size_t at = static_cast<std::size_t>(d - 1) * n;
            if (at + n <= from.size())
                std::copy_n(from.begin() + static_cast<std::ptrdiff_t>(at), n, row);
            else
                std::fill_n(row, n, TreeLink{0});
        }
    }

    int               zones_ = 0, dests_ = 0;
    std::vector<Kept> kept_;
};

// --- one iteration's trees ---------------------------------------------------

// The tree of every class with trips at quantile p, stored in slot k.
void iteration_trees(Sim& s, int k, int t1, int t2, float p) {
    auto&     a = s.assigns;
    const int mlnum = link_count(s);
    const int mmazon = std::min(s.set2.mmazon, kMaxMacroZones);
    const int mzones = std::min(s.set2.mzones, kMaxZones);
    for (int vt = 1; vt <= kClasses; ++vt) {
        if (!(a.vsum(vt) > 0.0f)) continue;
        selectim(s, vt, t1, t2, p, a.ttime, a.cost);
        buildtree(s, vt, a.cost, s.set1.trnd(vt), 1, s.mainrun.mes);
        if (routing::assigned_class(s, vt))
            treecopy(s, vt, tree_slot(vt, k), mmazon, mlnum, mzones);
    }
}

// The working tables for a network of mlnum links.
void size_work(mod_assigns& a, int mlnum) {
    const int rows = std::max(mlnum, 1);
    if (a.flows.hi1() != rows) {
        a.flows.resize(rows, kClasses);
        a.trial_tolls.resize(rows, kClasses);
        a.cost.resize(rows);
    }
    if (a.mark.size() != static_cast<std::size_t>(rows + 1)) {
        a.mark.assign(static_cast<std::size_t>(rows + 1), 0);
        a.pass = 0;
    }
}

// Trips of the assigned classes departing in the slice (t1, t2], the first
// slice from 0 s on, traced on the slice's trees.
void trace_trips(Sim& s, int t1, int t2) {
    const int n_trips = std::min(s.set2.tdemand, kMaxTrips);
    for (int n = 1; n <= n_trips; ++n) {
        if (!routing::assigned_class(s, s.oddat.vtyp(n))) continue;
        if (s.vehtre.tre_ind(n, 1) > 0) continue; // already has its path
        const int  t3 = static_cast<int>(s.vehicle.strtrp(n, 1));
        const bool after_start = t1 == 0 ? t3 >= 0 : t3 > t1;
        if (after_start && t3 <= t2) tr_tree(s, n, 2, t3);
    }
}

// The stored trees of every assigned class on the tree listing.
void list_trees(Sim& s, int t) {
    int nvt = 0;
    for (int vt = 1; vt <= kClasses; ++vt)
        if (routing::assigned_class(s, vt)) ++nvt;
    bool first = true;
    for (int vt = 1; vt <= kClasses; ++vt) {
        if (!routing::assigned_class(s, vt)) continue;
        pminpath(s, kTreeListUnit, t, vt, first ? nvt : 0, 0, 1);
        first = false;
    }
}

} // namespace

// --- table helpers --------------------------------------------------------------

void resetfl(Sim& /*s*/, int mlnum, Array2<float>& vol) {
    const int n = std::min(mlnum, vol.hi1());
    for (int vt = 1; vt <= std::min(kClasses, vol.hi2()); ++vt)
        for (int l = 1; l <= n; ++l) vol(l, vt) = 0.0f;
}

void copyfl(Sim& /*s*/, int mlnum, int mlin, int mvtn, const Array2<float>& vol1,
            Array2<float>& vol2) {
    const int n = std::min({mlnum, mlin, vol1.hi1(), vol2.hi1()});
    const int m = std::min({mvtn, vol1.hi2(), vol2.hi2()});
    for (int vt = 1; vt <= m; ++vt)
        for (int l = 1; l <= n; ++l) vol2(l, vt) = vol1(l, vt);
}

void loadred(Sim& /*s*/, int mlnum, int mlin, int mvtn, Array2<float>& vol, float wght) {
    const int n = std::min({mlnum, mlin, vol.hi1()});
    const int m = std::min(mvtn, vol.hi2());
    for (int vt = 1; vt <= m; ++vt)
        for (int l = 1; l <= n; ++l) vol(l, vt) *= wght;
}

void sum_flow(Sim& s, int it, const Array2<float>& tflow, Array2<float>& sflow) {
    if (it < 1 || it > sflow.hi2()) return;
    const int n = std::min({link_count(s), tflow.hi1(), sflow.hi1()});
    for (int l = 1; l <= n; ++l) {
        float x = 0.0f;
        for (int vt = 1; vt <= kClasses; ++vt) x += tflow(l, vt);
        sflow(l, it) = x;
    }
}

void sum_demand(Sim& s, int /*t1*/, int /*t2*/) {
    auto& vsum = s.assigns.vsum;
    vsum.zero();
    const int n_trips = std::min(s.set2.tdemand, kMaxTrips);
    for (int n = 1; n <= n_trips; ++n) {
        const int vt = s.oddat.vtyp(n);
        if (vt >= 1 && vt <= kClasses) vsum(vt) += 1.0f;
    }
}

void shiftvol(Sim& s, int trreq) {
    auto&     nodes = s.nodes;
    const int first = trreq >= 0 ? trreq : 1;
    const int last = std::min(trreq >= 0 ? trreq : -trreq, kStoredTrees);
    if (first < 1 || first > last) return;
    for (int j = 1; j <= kMaxZones; ++j)
        for (int i = 1; i <= kMaxZones; ++i) {
            if (!(nodes.trvol(i, j) > 0.0f)) continue;
            for (int tr = first; tr <= last; ++tr)
                nodes.tr_tim(i, j, tr, 1) = nodes.tr_tim(i, j, tr, 2);
        }
}

namespace {

void link_trace(Sim& s, const char* label, int it, const Array2<float>& table, int mlnum,
                int iflag) {
    if (!tracing(s)) return;
    Units& u = s.units;
    wfree(u, kUnitRunLog, " Iter:", it, iflag);
    const int n = std::min(mlnum, table.hi1());
    for (int l = 1; l <= n; ++l) {
        std::string line = label + fmt_i(l, 2);
        for (int vt = 1; vt <= kClasses; ++vt) line += fmt_f(table(l, vt), 10, 2);
        u.line(kUnitRunLog, line);
    }
}

} // namespace

void rep_time(Sim& s, int it, const Array2<float>& ttime, int mlnum, int iflag) {
    link_trace(s, "rep_tim:", it, ttime, mlnum, iflag);
}

void rep_flow(Sim& s, int it, const Array2<float>& tflow, int mlnum, int iflag) {
    link_trace(s, "rep_flw:", it, tflow, mlnum, iflag);
}

// --- the iteration ----------------------------------------------------------------

void selectim(Sim& s, int vt, int t1, int t2, float p1, const Array2<float>& ttime,
              Array1<float>& time) {
    if (vt < 1 || vt > kClasses) return;
    const auto& a = s.assigns;
    const int   n = std::min({link_count(s), ttime.hi1(), time.hi()});
    for (int l = 1; l <= n; ++l) {
        if (!(s.link4.llength(l) > 0.0f)) continue;
        float c = 0.0f;
        settolveh(s, t1, t2, l, vt, c);
        // ttime holds the toll at the quantile of its evaluation: the tree
        // counts the link's toll once, at this tree's own quantile.
        const float held =
            l <= a.tolls.hi1() ? toll_seconds(s, vt, a.tolls(l, vt), a.eval_p) : 0.0f;
        const float own = c > 0.0f ? toll_seconds(s, vt, c, p1) : 0.0f;
        time(l) = ttime(l, vt) - held + own;
    }
}

void loadnet(Sim& s, int t, float wgth, Array2<float>& vol, const Array2<float>& /*time*/,
             int perdur) {
    const auto& od = s.oddat;
    auto&       nodes = s.nodes;
    if (wgth >= 1.0f) nodes.trvol.zero();
    if (perdur <= 0) return;
    auto& mark = s.assigns.mark;
    if (mark.size() < static_cast<std::size_t>(std::min(link_count(s), vol.hi1()) + 1)) {
        mark.assign(static_cast<std::size_t>(std::min(link_count(s), vol.hi1()) + 1), 0);
        s.assigns.pass = 0;
    }
    const int ts = t, te = t + perdur;
    const int first = std::max(od.fodp, 1), last = std::min(od.lodp, kMaxOdPairs);
    for (int n = first; n <= last; ++n) {
        const int o = od.o(n), zd = od.d(n);
        if (o < 1 || o > kMaxZones || zd < 1 || zd > kMaxZones) continue;
        int ds = static_cast<int>(od.demstr(n));
        int de = static_cast<int>(od.demend(n));
        if (ds >= te || de <= ts) continue;
        ds = std::max(ds, ts);
        de = std::min(de, te);
        const float q =
            od.numod(n) * wgth * static_cast<float>(de - ds) / static_cast<float>(perdur);
        const int m = std::abs(s.graph1.macrzon(zd));
        for (int vt = 1; vt <= kClasses; ++vt) {
            const float qv = od.kvtyp(n, vt, 1) * q;
            if (!(qv > 0.0f)) continue;
            if (wgth >= 1.0f) nodes.trvol(o, zd) += qv;
            walk(s, n, vt, o, m, qv, wgth, vol);
        }
    }
}

void eval(Sim& s, int t, int mlnum, const Array2<float>& tflow, Array2<float>& flows,
          Array2<float>& ttime, Array1<float>& totobj, float w1, float p1, int t1, int t2) {
    auto& a = s.assigns;
    copyfl(s, mlnum, std::min(tflow.hi1(), flows.hi1()), kClasses, tflow, flows);
    loadred(s, mlnum, flows.hi1(), kClasses, flows, 1.0f - w1);
    loadnet(s, t, w1, flows, ttime, t2 - t1);
    esttim(s, mlnum, flows, ttime, a.trial_tolls, totobj, p1, t1, t2);
    a.eval_p = p1;
}

void enumer(Sim& s, int t, int mlnum, const Array2<float>& tflow, Array2<float>& ttime, float& w1,
            int /*trn*/, float p1, int t1, int t2) {
    auto& a = s.assigns;
    auto  trial = [&](float w) {
        eval(s, t, mlnum, tflow, a.flows, ttime, a.totobj, w, p1, t1, t2);
        return a.totobj(1);
    };
    const float f0 = trial(0.0f);
    float       best = f0, prev_best = f0, best_w = 0.0f, prev_best_w = 0.0f;
    float       step = kFirstTrial, w = kFirstTrial;
    int         rises = 0;
    for (;;) {
        // The new trees never take more than the whole demand: no old flow
        // turns negative.
        w = std::min(w, 1.0f);
        const float f = trial(w);
        out(s, "     - weight =" + fmt_f(w, 10, 5) + fmt_f(f, 20, 5) + fmt_f(best, 20, 5) +
                   fmt_f(best_w, 10, 5));
        if (f < best) {
            prev_best = best;
            best = f;
            prev_best_w = best_w;
            best_w = w;
        } else {
            w = std::max(prev_best_w, 0.0f);
            step /= kStepShrink;
            ++rises;
            if (rises > kRisesAllowed) break;
            best = prev_best;
        }
        w += step;
    }
    w1 = best_w;
}

void assign(Sim& s, int t, int perdur, int mlnum, int imet) {
    auto& a = s.assigns;
    auto& wt = s.trees.tree_wt;
    mlnum = std::clamp(mlnum, 0, kMaxLinks);
    size_work(a, mlnum);
    a.loops.clear();
    if (t == 0) open_report(s);
    out(s, "");
    out_free(s, " ================================================");
    std::string assigned;
    for (int vt = 1; vt <= kClasses; ++vt)
        if (routing::assigned_class(s, vt)) assigned += " " + std::to_string(vt);
    out_free(s, " Assign at time = ", t, "  Assigned classes:" + assigned);
    out(s, "");
    out_free(s, " Iteration = ", 1);
    out(s, "");

    incid2(s, t, perdur, s.link1.nulans);
    resetfl(s, mlnum, a.tflow);
    const int t1 = t, t2 = t + perdur;
    evaluate(s, mlnum, a.tflow, a.tolls, kFirstQuantile, t1, t2);
    rep_time(s, 1, a.ttime, mlnum, 0);
    sum_demand(s, t1, t2);

    float w[kAssignIterations + 1] = {};
    iteration_trees(s, 1, t1, t2, kFirstQuantile);
    for (int vt = 1; vt <= kClasses; ++vt) {
        if (!(a.vsum(vt) > 0.0f) || !routing::assigned_class(s, vt)) continue;
        wt(tree_slot(vt, 1), 1) = 1.0f;
        wt(tree_slot(vt, 1), 2) = 1.0f;
    }
    w[1] = 1.0f;
    loadnet(s, t, 1.0f, a.tflow, a.ttime, perdur);
    rep_flow(s, 1, a.tflow, mlnum, 1);
    evaluate(s, mlnum, a.tflow, a.tolls, kFirstQuantile, t1, t2);
    sum_flow(s, 1, a.tflow, a.sflow);
    rep_time(s, 1, a.ttime, mlnum, 1);
    for (int i = 1; i <= kObjectives; ++i) a.finobj(1, i) = a.totobj(i);
    objective_lines(s);
    shiftvol(s, 1);

    for (int it = 2; it <= kAssignIterations; ++it) {
        out(s, "");
        out_free(s, " Iteration = ", it);
        const float p = quantile(it);
        iteration_trees(s, it, t1, t2, p);
        float step = 1.0f / static_cast<float>(it);
        if (imet != 1) enumer(s, t, mlnum, a.tflow, a.ttime, step, it, p, t1, t2);
        out(s, "      - weight on new tree = " + fmt_f(step, 8, 5));
        loadred(s, mlnum, a.tflow.hi1(), kClasses, a.tflow, 1.0f - step);
        loadnet(s, t1, step, a.tflow, a.ttime, perdur);
        evaluate(s, mlnum, a.tflow, a.tolls, p, t1, t2);
        sum_flow(s, it, a.tflow, a.sflow);
        rep_flow(s, it, a.tflow, mlnum, it);
        rep_time(s, it, a.ttime, mlnum, it);
        for (int i = 1; i <= kObjectives; ++i) a.finobj(it, i) = a.totobj(i);
        iteration_end_lines(s);

        w[it] = step;
        for (int k = 1; k < it; ++k) w[k] *= 1.0f - step;
        for (int vt = 1; vt <= kClasses; ++vt) {
            if (!routing::assigned_class(s, vt)) continue;
            wt(tree_slot(vt, it), 1) = step;
            wt(tree_slot(vt, it), 2) = 1.0f;
            for (int k = 1; k < it; ++k) wt(tree_slot(vt, k), 1) = w[k];
        }
        out_free(s, "---------------------------------------------------");
    }

    out_free(s, "   ");
    out_free(s, " Summary of Lambda and Weight Values on each Tree ");
    out_free(s, "     Class      Tree     Tree-Weight  Objective 1  Objective 2 Objective 3");
    out_free(s, "      (#)     Number    Abs     Rel   (veh-hrs)    (veh-hrs)    (veh-km) ");
    out_free(s, "   ");
    for (int vt = 1; vt <= kClasses; ++vt) {
        float sum = 0.0f;
        for (int k = 1; k <= kAssignIterations; ++k) {
            sum += w[k];
            if (routing::assigned_class(s, vt)) {
                wt(tree_slot(vt, k), 1) = w[k];
                wt(tree_slot(vt, k), 2) = sum;
            }
            // A class routed otherwise loads its demand here but keeps its own trees.
            out(s, fmt_i(vt, 10) + fmt_i(k, 10) + fmt_f(w[k], 8, 3) + fmt_f(sum, 8, 3) +
                       fmt_f(a.finobj(k, 1), 16, 2) + fmt_f(a.finobj(k, 2), 16, 2) +
                       fmt_f(a.finobj(k, 3), 16, 2) +
                       (routing::assigned_class(s, vt) ? "" : "  keeps its own trees"));
        }
    }
    s.trees.numtree = kTreesPerClass;
    if (s.pathnam.filuse[kLinkTimeSlot] == 1) linktime(s, kLinkTimeSlot, t, perdur, 1);
    out_free(s, "   ");
    out_free(s, "===================================================");
}

void preassign(Sim& s) {
    const routing::SlicePlan plan = routing::slice_plan(s);
    if (!plan.wanted) {
        wfree(s.units, kUnitRunLog, "Pre-Simulation Macroscopic Traffic Assignment Disabled");
        return;
    }
    s.assigns.report = false;
    index_tolls(s);
    // A named assignment tree listing (slot 18) is written whether or not
    // the periodic tree listing (slot 13) is named too.
    const bool listing = s.pathnam.filuse[kTreeListUnit] == 1;
    if (!listing && s.pathnam.filuse[kTreeListSlot] == 1)
        wfree(s.units, kUnitRunLog,
              " Tree listing asked for (slot 13) without a listing file (slot 18): the "
              "assignment's trees are not listed");
    const KeptTrees kept(s);
    const int       mlnum = link_count(s);
    // A slice length of 0 or less (no horizon, no interval) runs no slice.
    if (plan.length > 0) {
        for (long t = 0; t < s.set1.simtim1; t += plan.length) {
            const int t1 = static_cast<int>(t);
            assign(s, t1, plan.length, mlnum, plan.mode);
            if (listing) list_trees(s, t1);
            trace_trips(s, t1, t1 + plan.length);
        }
    }
    kept.restore(s);
}

} // namespace velm
