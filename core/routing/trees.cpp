// Class routing trees: the backward label-correcting search from each
// requested macro destination, the perception error on link costs, the stored
// trees and their weights, and the origin-destination cost matrix.
#include "core/routing/trees.h"

#include "core/driver/errors.h"
#include "core/driver/random.h"
#include "core/io/writers.h"
#include "core/movement/movement.h"
#include "core/routing/routing.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

namespace velm {

namespace {

constexpr int   kTreeTraceSwitch = 30; // errchk(30) = 2: checkpoint trace of the builder
constexpr int   kTraceOn = 2;
constexpr float kPercent = 100.0f;       // turncnt(., ., ., 4) is a percentage
constexpr float kLowFactor = 0.25f;      // perturbed cost: at least this share of the cost
constexpr float kHighFactor = 4.0f;      // and at most this multiple
constexpr float kLognormalSpread = 1.0f; // sd^2 / mean^2 + this, under the logarithm
constexpr int   kOdValuesPerLine = 10;   // sum_odtim: values of one row per line (after "-:" i)

int whole_seconds(float label) {
    return static_cast<int>(label);
}

bool zone_origin(int ntyp) {
    return ntyp == kZoneBoth || ntyp == kZoneOrigin;
}

void trace(Sim& s, bool on, int code, std::span<std::string> mes) {
    if (on) rep_err(s, s.control.t10, code, mes);
}

// The upstream movements a class may use, per link, with their turn
// directions and the class's share of each turn: banned movements, turns
// without a permitted lane and links closed to the class are left out once per
// build.
void movements(Sim& s, int vt, TreeWork& w) {
    const int   mlnum = s.link2.mlnum;
    const auto& g = s.graph1;
    const auto& turnper = s.link5.turnper;
    const auto& turncnt = s.link5.turncnt;
    const auto& hov = s.link1.hov;
    w.pred_first.assign(static_cast<std::size_t>(mlnum + 2), 0);
    w.pred_link.clear();
    w.pred_share.clear();
    for (int l = 1; l <= mlnum; ++l) {
        w.pred_first[static_cast<std::size_t>(l)] = static_cast<int>(w.pred_link.size());
        const int n = std::clamp(g.nlinin(l), 0, kMaxNodeLinks);
        for (int k = 1; k <= n; ++k) {
            const int entry = g.linin(l, k);
            const int u = std::abs(entry);
            if (entry <= 0 || u > mlnum) continue;
            float relang = 0.0f;
            int   d = 2;
            turn_ang(s, mlnum, g.ang, u, l, relang, d);
            if (turnper(u, d) <= 0 || hov(u, vt) == 1) continue;
            w.pred_link.push_back(u);
            w.pred_share.push_back(static_cast<float>(turncnt(u, d, vt, 4)));
        }
    }
    w.pred_first[static_cast<std::size_t>(mlnum + 1)] = static_cast<int>(w.pred_link.size());
}

// Perturbs the link costs in(1..n) into out(l, value) (stream seed): one draw
// per link with a length, links without one are left as they are.
template <class Out>
void perturb(const Sim& s, const Array1<float>& in, Out&& out, int n, float fact, int& seed) {
    const float f = std::fabs(fact);
    for (int l = 1; l <= n; ++l) {
        if (s.link4.llength(l) < 0.0f) continue;
        const float mean = in(l);
        if (f == 0.0f) {
            out(l, mean);
            continue;
        }
        const float sd = mean > 0.0f ? f * mean : 0.0f;
        float       u = 0.0f, z = 0.0f;
        random(seed, u);
        normal(u, z);
        float v = mean;
        if (fact > 0.0f) {
            v = mean + sd * z;
        } else if (mean > 0.0f) {
            // A cost of 0 or below has no lognormal spread: it stays as it is.
            const float var = std::log(sd * sd / (mean * mean) + kLognormalSpread);
            v = std::exp(z * std::sqrt(var) + std::log(mean) - var / 2.0f);
        }
        v = std::max(v, 1.0f);
        v = std::max(v, kLowFactor * mean);
        v = std::min(v, kHighFactor * mean);
        out(l, v);
    }
}

// The draws perturb takes from its stream for links 1..n.
int perturb_draws(const Sim& s, int n, float fact) {
    if (std::fabs(fact) == 0.0f) return 0;
    int draws = 0;
    for (int l = 1; l <= n; ++l)
        if (!(s.link4.llength(l) < 0.0f)) ++draws;
    return draws;
}

// What every search of one build reads and none writes.
struct Build {
    int                  vt, mlnum, mzones, ntsl;
    bool                 slice_ok;
    float                rndfac;
    int                  nperturb; // links perturbed per destination
    const Array1<float>* object1;
};

// Generalised movement costs from the link costs `cost` (by link number):
// direction cost from the class's turn share, then the bias factors.
void movement_costs(const Sim& s, const TreeWork& w, int mlnum, const float* cost,
                    float* edge_cost) {
    const auto& llength = s.link4.llength;
    const auto& biasfac = s.link4.biasfac;
    for (int l = 1; l <= mlnum; ++l) {
        const int e1 = w.pred_first[static_cast<std::size_t>(l + 1)];
        for (int e = w.pred_first[static_cast<std::size_t>(l)]; e < e1; ++e) {
            const auto ei = static_cast<std::size_t>(e);
            const int  u = w.pred_link[ei];
            // A link without a length costs nothing of its own.
            const float o2 = llength(u) > 0.0f ? cost[u] * w.pred_share[ei] / kPercent : 0.0f;
            edge_cost[ei] = biasfac(u, 1) + biasfac(u, 2) * o2;
        }
    }
}

// The tree of class b.vt toward macro destination dz, its origin-zone entries
// and its odtime column; seed: the perception-error stream, at its start on
// entry and past this destination's draws on return.
// Traced: with the builder's checkpoint trace on the run log (mes).
template <bool Traced>
void search(Sim& s, const Build& b, TreeSearch& ws, int dz, int& seed, std::span<std::string> mes) {
    auto&       tr = s.trees;
    const auto& w = tr.work;
    const auto& g = s.graph1;
    const auto& l1 = s.link1;
    const int   vt = b.vt, mlnum = b.mlnum;
    const int   centroid = g.mazn(dz);
    auto&       odtime = s.feedback.odtime;
    if (Traced && mes.size() >= 4) mes[3] = " Macro Destination Zone:" + fmt_i(dz, 10);

    const float* edge_cost = w.edge_cost.data();
    const bool   perceived = b.rndfac > 0.0f;
    if (perceived) {
        // Every destination gets its own draw of the perception error.
        float* c = ws.cost.data();
        perturb(
            s, *b.object1, [c](int l, float v) { c[l] = v; }, b.nperturb, b.rndfac, seed);
        movement_costs(s, w, mlnum, c, ws.edge_cost.data());
        edge_cost = ws.edge_cost.data();
    }

    for (const int oz : w.origins) {
        if (b.slice_ok) odtime(oz, dz, vt, b.ntsl) = 0;
        tr.ortree(dz, oz, vt) = 0;
        ws.ortime[static_cast<std::size_t>(oz)] = kNever;
        ws.best[static_cast<std::size_t>(oz)] = INT_MAX;
    }
    // Only the links the last search labelled need their labels back.
    for (const int l : ws.touched) {
        ws.ttime[static_cast<std::size_t>(l)] = kNoPathLabel;
        ws.zconsum[static_cast<std::size_t>(l)] = 0;
    }
    ws.touched.clear();
    float*                 ttime = ws.ttime.data();
    int*                   zconsum = ws.zconsum.data();
    int*                   ortime = ws.ortime.data();
    routing::CandidateList list;
    list.reset(ttime, mlnum, ws.list);
    trace(s, Traced, 130, mes);

    // This destination's rows: link l at rg[l - 1], zone oz at ortree_row[oz - 1].
    TreeLink* rg = tr.rgtree.row(dz, vt);
    TreeLink* ortree_row = tr.ortree.row(dz, vt);
    const int nseed = std::clamp(g.nlinto(centroid), 0, kMaxNodeLinks);
    for (int j = 1; j <= nseed; ++j) {
        const int l = g.linto(centroid, j);
        // A link closed to the class is never part of its trees, the last
        // link of a path included.
        if (l < 1 || l > mlnum || l1.hov(l, vt) == 1) continue;
        rg[l - 1] = -1;
        ws.touched.push_back(l);
        ttime[l] = !(s.link4.llength(l) > 0.0f) ? 0.0f
                   : perceived                  ? ws.cost[static_cast<std::size_t>(l)]
                                                : (*b.object1)(l);
        list.append(l);
        const int from = l1.frnode(l);
        if (from >= 1 && from <= b.mzones && zone_origin(g.ntyp(from))) {
            ortree_row[from - 1] = static_cast<TreeLink>(l);
            ortime[from] = whole_seconds(ttime[l]);
        }
        zconsum[l] = l1.zoncon(l) == 1 ? 1 : 0;
    }

    const int*   first = w.pred_first.data();
    const int*   pred = w.pred_link.data();
    const float* penalty = w.penalty.data();
    const int*   from_zone = w.from_zone.data();
    const int*   connector = w.connector.data();
    while (!list.empty()) {
        const int   l = list.pop_front();
        const float entering = ttime[l];
        const float pen = penalty[l];
        const int   zl = zconsum[l];
        const int   e1 = first[l + 1];
        for (int e = first[l]; e < e1; ++e) {
            const int u = pred[e];
            trace(s, Traced, 142, mes);
            const float ttnew = std::fabs(entering + edge_cost[e] + pen);
            if (!(ttnew < ttime[u])) continue;
            if (ttime[u] == kNoPathLabel) ws.touched.push_back(u);
            rg[u - 1] = static_cast<TreeLink>(l);
            const bool was_on = list.on(u);
            if (was_on) list.before_change(u);
            ttime[u] = ttnew;
            if (was_on) list.after_change(u);
            const int o = from_zone[u];
            if (o > 0 && ttnew < static_cast<float>(ortime[o])) {
                ortree_row[o - 1] = static_cast<TreeLink>(u);
                ortime[o] = whole_seconds(ttnew);
            }
            zconsum[u] = zl + connector[u];
            if (!was_on) list.append(u);
            trace(s, Traced, 162, mes);
            trace(s, Traced, 163, mes);
            list.sort(u);
        }
    }

    // Cheapest cost out of each zone: the penalties added for connectors
    // entered from another link come off again, so the value is the sum of
    // the path's link costs.
    if (!b.slice_ok) return;
    for (const int l : w.orig_link) {
        if (!(ttime[l] < kNoPathLabel)) continue;
        const int o = l1.frnode(l);
        const int added = zconsum[l] - (l1.zoncon(l) == 1 ? 1 : 0);
        const int v = whole_seconds(ttime[l] - kConnectorPenalty * static_cast<float>(added));
        int&      best = ws.best[static_cast<std::size_t>(o)];
        if (v < best) {
            best = v;
            odtime(o, dz, vt, b.ntsl) = v;
        }
    }
}

} // namespace

void sortsta2(Sim& /*s*/, int mlin, int tstack, std::span<int> stack,
              std::span<const float> ttime) {
    const int n = std::min(tstack, static_cast<int>(stack.size()));
    if (n <= 1) return;
    auto lab = [&](int i) {
        const int l = stack[static_cast<std::size_t>(i)];
        return l >= 0 && l <= mlin && static_cast<std::size_t>(l) < ttime.size()
                   ? ttime[static_cast<std::size_t>(l)]
                   : 0.0f;
    };
    bool swapped = false;
    for (int i = n - 1; i >= 1; --i) {
        if (lab(i - 1) > lab(i)) {
            std::swap(stack[static_cast<std::size_t>(i - 1)], stack[static_cast<std::size_t>(i)]);
            swapped = true;
        } else if (swapped) {
            return;
        }
    }
}

void randomize(Sim& s, const Array1<float>& ttim_in, Array1<float>& ttim_out, float fact) {
    const int n = std::min({s.link2.mlnum, ttim_in.hi(), ttim_out.hi()});
    perturb(
        s, ttim_in, [&ttim_out](int l, float v) { ttim_out(l) = v; }, n, fact, s.rndnum.seed[3]);
}

void buildtree(Sim& s, int vt, const Array1<float>& object1, float rndfac, int ntsl,
               std::span<std::string> mes) {
    const int mlnum = std::min(s.link2.mlnum, kMaxLinks);
    const int mzones = std::min(s.set2.mzones, kMaxZones);
    const int mmazon = std::min(s.set2.mmazon, kMaxMacroZones);
    if (vt < 1 || vt > kClasses || mlnum < 1) return;
    auto& tr = s.trees;
    auto& w = tr.work;
    tr.size_trees(mmazon, mlnum, mzones);
    s.feedback.size_odtime(mzones, mmazon);

    const bool tracing = s.errflg.errchk[kTreeTraceSwitch] == kTraceOn;
    trace(s, tracing, 101, mes);

    const auto& g = s.graph1;
    const auto& l1 = s.link1;
    const auto& llength = s.link4.llength;
    const Build b{vt,
                  mlnum,
                  mzones,
                  ntsl,
                  ntsl >= 1 && ntsl <= kOdSlices,
                  rndfac,
                  std::min(mlnum, object1.hi()),
                  &object1};

    // What every search reads: the movements and their costs, and per link
    // the zone it leaves, its connector mark and the penalty of entering it.
    movements(s, vt, w);
    w.edge_cost.resize(w.pred_link.size());
    w.from_zone.assign(static_cast<std::size_t>(mlnum + 1), 0);
    w.connector.assign(static_cast<std::size_t>(mlnum + 1), 0);
    w.penalty.assign(static_cast<std::size_t>(mlnum + 1), 0.0f);
    w.orig_link.clear();
    for (int l = 1; l <= mlnum; ++l) {
        const auto i = static_cast<std::size_t>(l);
        const int  o = l1.frnode(l);
        if (o >= 1 && o <= mzones && g.ntyp(o) <= kZoneOrigin) w.from_zone[i] = o;
        w.connector[i] = l1.zoncon(l);
        w.penalty[i] = kConnectorPenalty * static_cast<float>(l1.zoncon(l));
        if (llength(l) >= 0.0f && o >= 1 && o <= mzones && zone_origin(g.ntyp(o)))
            w.orig_link.push_back(l);
    }
    w.origins.clear();
    for (int oz = 1; oz <= mzones; ++oz)
        if (g.ntyp(oz) <= kZoneOrigin) w.origins.push_back(oz);
    if (rndfac <= 0.0f) {
        std::vector<float>& cost = w.gen;
        cost.assign(static_cast<std::size_t>(mlnum + 1), 0.0f);
        for (int l = 1; l <= std::min(mlnum, object1.hi()); ++l)
            cost[static_cast<std::size_t>(l)] = object1(l);
        movement_costs(s, w, mlnum, cost.data(), w.edge_cost.data());
    }

    // The destinations, in order.
    w.dests.clear();
    for (int dz = 1; dz <= mmazon; ++dz) {
        const int centroid = g.mazn(dz);
        if (centroid < 1 || centroid > kMaxZones || s.oddat.treereq(centroid, 2) <= 0) continue;
        w.dests.push_back(dz);
    }
    w.dest_seed.assign(w.dests.size(), 0);

    const int nthreads =
        tracing ? 1 : std::clamp(tr.threads, 1, std::max(static_cast<int>(w.dests.size()), 1));
    if (w.searches.size() < static_cast<std::size_t>(nthreads))
        w.searches.resize(static_cast<std::size_t>(nthreads));
    for (int k = 0; k < nthreads; ++k) {
        TreeSearch& ws = w.searches[static_cast<std::size_t>(k)];
        ws.ttime.assign(static_cast<std::size_t>(mlnum + 1), kNoPathLabel);
        ws.zconsum.assign(static_cast<std::size_t>(mlnum + 1), 0);
        ws.touched.clear();
        ws.touched.reserve(static_cast<std::size_t>(mlnum + 1 + kMaxNodeLinks));
        ws.ortime.resize(static_cast<std::size_t>(mzones + 1));
        ws.best.resize(static_cast<std::size_t>(mzones + 1));
        if (rndfac > 0.0f) {
            ws.cost.resize(static_cast<std::size_t>(mlnum + 1));
            ws.edge_cost.resize(w.pred_link.size());
        }
    }

    const int ndest = static_cast<int>(w.dests.size());
    auto      one = [&](TreeSearch& ws, int i, int& seed) {
        const int dz = w.dests[static_cast<std::size_t>(i)];
        if (tracing)
            search<true>(s, b, ws, dz, seed, mes);
        else
            search<false>(s, b, ws, dz, seed, mes);
    };
    if (nthreads == 1) {
        // Each destination draws its perception error on from the last.
        for (int i = 0; i < ndest; ++i) one(w.searches[0], i, s.rndnum.seed[3]);
        return;
    }
    // Each destination's tree, origin entries and odtime column are its own:
    // the searches share nothing they write, so the tables come out the same
    // whichever thread builds which destination. The perception error of a
    // destination starts where the stream stands after those before it; this
    // thread steps the stream through them and publishes each start, and a
    // search waits for its own.
    std::atomic<int> next{0}, seeded{0};
    auto             worker = [&](TreeSearch& ws) {
        for (int i = next.fetch_add(1); i < ndest; i = next.fetch_add(1)) {
            while (seeded.load(std::memory_order_acquire) <= i) std::this_thread::yield();
            int seed = w.dest_seed[static_cast<std::size_t>(i)];
            one(ws, i, seed);
        }
    };
    std::vector<std::thread> pool;
    pool.reserve(static_cast<std::size_t>(nthreads - 1));
    try {
        for (int k = 1; k < nthreads; ++k)
            pool.emplace_back(worker, std::ref(w.searches[static_cast<std::size_t>(k)]));
    } catch (const std::system_error&) {
        // No more threads to be had: those started and this one share the work.
    }
    const int draws = rndfac > 0.0f ? perturb_draws(s, b.nperturb, rndfac) : 0;
    int&      seed = s.rndnum.seed[3];
    for (int i = 0; i < ndest; ++i) {
        w.dest_seed[static_cast<std::size_t>(i)] = seed;
        seeded.store(i + 1, std::memory_order_release);
        float skip = 0.0f;
        for (int k = 0; k < draws; ++k) random(seed, skip);
    }
    worker(w.searches[0]);
    for (auto& th : pool) th.join();
}

void treecopy(Sim& s, int vt, int trn, int mmazon, int mlnum, int mzones) {
    auto& tr = s.trees;
    if (vt < 1 || vt > kClasses || trn < 1 || trn > kStoredTrees) return;
    const int nd = std::min(mmazon, tr.rgtree.dests());
    const int nl = std::min(mlnum, tr.rgtree.rows());
    const int nz = std::min(mzones, tr.ortree.rows());
    for (int dz = 1; dz <= nd; ++dz) {
        if (nl > 0)
            std::memcpy(tr.tree1l.row(dz, trn), tr.rgtree.row(dz, vt),
                        sizeof(TreeLink) * static_cast<std::size_t>(nl));
        if (nz > 0)
            std::memcpy(tr.tree1o.row(dz, trn), tr.ortree.row(dz, vt),
                        sizeof(TreeLink) * static_cast<std::size_t>(nz));
    }
}

void setwgt(Sim& s, int fr_tr, int la_tr) {
    fr_tr = std::max(fr_tr, 1);
    la_tr = std::min(la_tr, kStoredTrees);
    auto& wt = s.trees.tree_wt;
    float sum = 0.0f;
    for (int i = fr_tr; i <= la_tr; ++i) {
        float draw = 0.0f;
        random(s.rndnum.seed[3], draw); // advances the stream; the weights stay equal
        wt(i, 1) = 1.0f + 0.0f * draw;
        sum += wt(i, 1);
    }
    float cum = 0.0f;
    for (int i = fr_tr; i <= la_tr; ++i) {
        wt(i, 1) = wt(i, 1) / sum;
        cum += wt(i, 1);
        wt(i, 2) = cum;
    }
    s.trees.numtree = kStoredTrees;
}

void sum_odtim(Sim& s, int vt, int ntsl) {
    Units&      u = s.units;
    const auto& od = s.feedback.odtime;
    wfree(u, kUnitRunLog, " odtime:", ntsl, vt);
    const int  mzones = std::min(s.set2.mzones, kMaxZones);
    const bool have = od.size() > 0 && vt >= 1 && vt <= kClasses && ntsl >= 1 && ntsl <= kOdSlices;
    for (int i = 1; i <= mzones; ++i) {
        // "-:", the zone and nine values on the first line; ten per
        // continuation line below them.
        std::string line = "-:" + fmt_i(i, 5);
        int         on_line = 1;
        for (int j = 1; j <= mzones; ++j) {
            if (on_line == kOdValuesPerLine) {
                u.line(kUnitRunLog, line);
                line = blanks(2);
                on_line = 0;
            }
            const int v = have && i <= od.hi(1) && j <= od.hi(2) ? od(i, j, vt, ntsl) : 0;
            line += fmt_i(v, 5);
            ++on_line;
        }
        u.line(kUnitRunLog, line);
    }
}

} // namespace velm
