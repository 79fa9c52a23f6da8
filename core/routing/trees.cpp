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
#include <climits>
#include <cmath>
#include <cstring>

namespace velm {

namespace {

constexpr int   kTraceSwitch = 30; // errchk(30) = 2: checkpoint trace of the builder
constexpr int   kTraceOn = 2;
constexpr int   kDirections = 4;         // object2 columns: left, through, right, all
constexpr float kPercent = 100.0f;       // turncnt(., ., ., 4) is a percentage
constexpr float kLowFactor = 0.25f;      // perturbed cost: at least this share of the cost
constexpr float kHighFactor = 4.0f;      // and at most this multiple
constexpr float kLognormalSpread = 1.0f; // sd^2 / mean^2 + this, under the logarithm
constexpr int   kOdValuesPerLine = 10;   // sum_odtim: values of one row per line (after "-:" i)

int whole_seconds(float label) {
    return static_cast<int>(label);
}

bool zone_origin(int ntyp) {
    return ntyp == 1 || ntyp == 3;
}

void trace(Sim& s, bool on, int code, std::span<std::string> mes) {
    if (on) rep_err(s, s.control.t10, code, mes);
}

// Direction costs of every link from the link costs `cost`.
void direction_costs(Sim& s, int vt, const Array1<float>& cost, std::vector<float>& object2) {
    const int   mlnum = s.link2.mlnum;
    const auto& llength = s.link4.llength;
    const auto& turncnt = s.link5.turncnt;
    for (int l = 1; l <= mlnum; ++l) {
        if (!(llength(l) > 0.0f)) continue;
        float* o2 = &object2[static_cast<std::size_t>(l * kDirections)];
        for (int d = 1; d <= 3; ++d)
            o2[d - 1] = cost(l) * static_cast<float>(turncnt(l, d, vt, 4)) / kPercent;
        o2[3] = cost(l);
    }
}

// The upstream movements a class may use, per link, with their turn
// directions: banned movements, turns without a permitted lane and links
// closed to the class are left out once per build.
void movements(Sim& s, int vt, TreeWork& w) {
    const int   mlnum = s.link2.mlnum;
    const auto& g = s.graph1;
    const auto& turnper = s.link5.turnper;
    const auto& hov = s.link1.hov;
    w.pred_first.assign(static_cast<std::size_t>(mlnum + 2), 0);
    w.pred_link.clear();
    w.pred_dir.clear();
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
            w.pred_dir.push_back(d);
        }
    }
    w.pred_first[static_cast<std::size_t>(mlnum + 1)] = static_cast<int>(w.pred_link.size());
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
    const float f = std::fabs(fact);
    const int   mlnum = std::min(s.link2.mlnum, ttim_in.hi());
    for (int l = 1; l <= mlnum; ++l) {
        if (s.link4.llength(l) < 0.0f) continue;
        const float mean = ttim_in(l);
        if (f == 0.0f) {
            ttim_out(l) = mean;
            continue;
        }
        const float sd = mean > 0.0f ? f * mean : 0.0f;
        float       u = 0.0f, z = 0.0f;
        random(s.rndnum.seed[3], u);
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
        ttim_out(l) = v;
    }
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
    const bool slice_ok = ntsl >= 1 && ntsl <= kOdSlices;

    const bool tracing = s.errflg.errchk[kTraceSwitch] == kTraceOn;
    trace(s, tracing, 101, mes);

    const auto& g = s.graph1;
    const auto& l1 = s.link1;
    const auto& llength = s.link4.llength;
    const auto& biasfac = s.link4.biasfac;
    auto&       odtime = s.feedback.odtime;

    w.object2.resize(static_cast<std::size_t>((mlnum + 1) * kDirections), 0.0f);
    w.ttime.assign(static_cast<std::size_t>(mlnum + 1), kNoPathLabel);
    w.zconsum.assign(static_cast<std::size_t>(mlnum + 1), 0);
    w.ortime.assign(static_cast<std::size_t>(mzones + 1), kNever);
    w.best.assign(static_cast<std::size_t>(mzones + 1), INT_MAX);
    w.gen.assign(static_cast<std::size_t>((mlnum + 1) * kDirections), 0.0f);
    auto& best = w.best;
    auto& gen = w.gen;
    movements(s, vt, w);
    // Per link: the zone node it leaves when that node can start a trip
    // (types 1 to 3; 0 otherwise), and its zone-connector mark.
    w.from_zone.assign(static_cast<std::size_t>(mlnum + 1), 0);
    w.connector.assign(static_cast<std::size_t>(mlnum + 1), 0);
    for (int l = 1; l <= mlnum; ++l) {
        const int o = l1.frnode(l);
        if (o >= 1 && o <= mzones && g.ntyp(o) <= 3) w.from_zone[static_cast<std::size_t>(l)] = o;
        w.connector[static_cast<std::size_t>(l)] = l1.zoncon(l);
    }
    if (w.object3.size() == 0) w.object3 = Array1<float>("object3", kMaxLinks);
    if (rndfac <= 0.0f) direction_costs(s, vt, object1, w.object2);
    auto generalised = [&] {
        for (int u = 1; u <= mlnum; ++u)
            for (int d = 1; d <= 3; ++d) {
                const auto i = static_cast<std::size_t>(u * kDirections + d - 1);
                gen[i] = biasfac(u, 1) + biasfac(u, 2) * w.object2[i];
            }
    };
    if (rndfac <= 0.0f) generalised();

    routing::CandidateList list;
    float*                 ttime = w.ttime.data();
    for (int dz = 1; dz <= mmazon; ++dz) {
        const int centroid = g.mazn(dz);
        if (centroid < 1 || centroid > kMaxZones || s.oddat.treereq(centroid, 2) <= 0) continue;
        if (tracing && mes.size() >= 4) mes[3] = " Macro Destination Zone:" + fmt_i(dz, 10);
        if (rndfac > 0.0f) {
            // Every destination gets its own draw of the perception error.
            randomize(s, object1, w.object3, rndfac);
            direction_costs(s, vt, w.object3, w.object2);
            generalised();
        }
        for (int oz = 1; oz <= mzones; ++oz) {
            if (g.ntyp(oz) > 3) continue;
            if (slice_ok) odtime(oz, dz, vt, ntsl) = 0;
            tr.ortree(dz, oz, vt) = 0;
            w.ortime[static_cast<std::size_t>(oz)] = kNever;
            best[static_cast<std::size_t>(oz)] = INT_MAX;
        }
        std::fill(w.ttime.begin(), w.ttime.end(), kNoPathLabel);
        std::fill(w.zconsum.begin(), w.zconsum.end(), 0);
        list.reset(ttime, mlnum, w.stack, w.pos);
        trace(s, tracing, 130, mes);

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
            ttime[l] = w.object2[static_cast<std::size_t>(l * kDirections + 3)];
            list.append(l);
            const int from = l1.frnode(l);
            if (from >= 1 && from <= mzones && zone_origin(g.ntyp(from))) {
                tr.ortree(dz, from, vt) = static_cast<TreeLink>(l);
                w.ortime[static_cast<std::size_t>(from)] = whole_seconds(ttime[l]);
            }
            w.zconsum[static_cast<std::size_t>(l)] = l1.zoncon(l) == 1 ? 1 : 0;
        }

        while (!list.empty()) {
            const int   l = list.pop_front();
            const float entering = ttime[l];
            const float penalty = kConnectorPenalty * static_cast<float>(l1.zoncon(l));
            const int   zl = w.zconsum[static_cast<std::size_t>(l)];
            const int   e1 = w.pred_first[static_cast<std::size_t>(l + 1)];
            for (int e = w.pred_first[static_cast<std::size_t>(l)]; e < e1; ++e) {
                const int u = w.pred_link[static_cast<std::size_t>(e)];
                const int d = w.pred_dir[static_cast<std::size_t>(e)];
                trace(s, tracing, 142, mes);
                const float ttnew = std::fabs(
                    entering + gen[static_cast<std::size_t>(u * kDirections + d - 1)] + penalty);
                if (!(ttnew < ttime[u])) continue;
                rg[u - 1] = static_cast<TreeLink>(l);
                const bool was_on = list.on(u);
                if (was_on) list.before_change(u);
                ttime[u] = ttnew;
                if (was_on) list.after_change(u);
                const int o = w.from_zone[static_cast<std::size_t>(u)];
                if (o > 0 && ttnew < static_cast<float>(w.ortime[static_cast<std::size_t>(o)])) {
                    ortree_row[o - 1] = static_cast<TreeLink>(u);
                    w.ortime[static_cast<std::size_t>(o)] = whole_seconds(ttnew);
                }
                w.zconsum[static_cast<std::size_t>(u)] =
                    zl + w.connector[static_cast<std::size_t>(u)];
                if (!was_on) list.append(u);
                trace(s, tracing, 162, mes);
                trace(s, tracing, 163, mes);
                list.sort(u);
            }
        }

        // Cheapest cost out of each zone: the penalties added for connectors
        // entered from another link come off again, so the value is the sum
        // of the path's link costs.
        if (!slice_ok) continue;
        for (int l = 1; l <= mlnum; ++l) {
            if (llength(l) < 0.0f || !(ttime[l] < kNoPathLabel)) continue;
            const int o = l1.frnode(l);
            if (o < 1 || o > mzones || !zone_origin(g.ntyp(o))) continue;
            const int added = w.zconsum[static_cast<std::size_t>(l)] - (l1.zoncon(l) == 1 ? 1 : 0);
            const int v = whole_seconds(ttime[l] - kConnectorPenalty * static_cast<float>(added));
            int&      b = best[static_cast<std::size_t>(o)];
            if (v < b) {
                b = v;
                odtime(o, dz, vt, ntsl) = v;
            }
        }
    }
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

void swaptree(Sim& s, int vt1, int vt2, int ntsl1, int ntsl2) {
    auto& tr = s.trees;
    if (vt1 < 1 || vt1 > kClasses || vt2 < 1 || vt2 > kClasses) return;
    const int  nd = tr.rgtree.dests(), nl = tr.rgtree.rows(), nz = tr.ortree.rows();
    auto&      od = s.feedback.odtime;
    const bool slices =
        od.size() > 0 && ntsl1 >= 1 && ntsl1 <= kOdSlices && ntsl2 >= 1 && ntsl2 <= kOdSlices;
    for (int dz = 1; dz <= nd; ++dz) {
        for (int l = 1; l <= nl; ++l)
            if (s.link4.llength(l) >= 0.0f) tr.rgtree(dz, l, vt1) = tr.rgtree(dz, l, vt2);
        for (int oz = 1; oz <= nz; ++oz) tr.ortree(dz, oz, vt1) = tr.ortree(dz, oz, vt2);
    }
    if (!slices) return;
    for (int j = 1; j <= od.hi(2); ++j)
        for (int i = 1; i <= od.hi(1); ++i) od(i, j, vt1, ntsl1) = od(i, j, vt2, ntsl2);
}

} // namespace velm
