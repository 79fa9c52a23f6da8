// Distance trees: per destination zone the next link on the shortest path by
// length and the length left to the zone, built once before the departures,
// and the zone-to-zone distances along them.
#include "core/io/writers.h"
#include "core/routing/routing.h"
#include "core/routing/trees.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr float kNoDistance = 320000.0f; // m, a label not reached yet
constexpr float kPass2Reach = 100000.0f; // m of path from the zone a pass-2 search may grow
constexpr int   kLengthUnit = 10;        // m per unit of the remaining length

// Pass 1 builds zones whose macro code is not positive (centroids and zones in
// no macro zone), pass 2 the other members of a macro zone.
bool in_pass(int pass, int code) {
    return pass == 1 ? code <= 0 : code > 0;
}

} // namespace

bool distance_reachable(const Sim& s, int d, int l) {
    const auto& dt = s.trees.distre;
    if (!dt.holds(d, l, 2)) return false;
    // A link shorter than 10 m into the zone has length 0 left and is reachable.
    return dt(d, l, 1) != 0 && dt(d, l, 2) >= 0;
}

void builddis(Sim& s, int pass) {
    Units& u = s.units;
    if (s.control.t == 0) {
        wfree(u, kUnitRunLog, " ------------------------------------------------");
        wfree(u, kUnitRunLog, "    - Building trees - distance only - pass:", pass);
    }
    const int mlnum = std::min(s.link2.mlnum, kMaxLinks);
    const int maxdst = std::min(s.set2.maxdst, kMaxZones);
    auto&     tr = s.trees;
    auto&     w = tr.work;
    auto&     distre = tr.distre;
    tr.size_distance_trees(std::max(maxdst, std::min(s.set2.mzones, kMaxZones)), mlnum);
    if (pass == 1) s.nodes.trp_dst.zero();
    if (mlnum < 1) return;

    const auto& g = s.graph1;
    const auto& frnode = s.link1.frnode;
    const auto& llength = s.link4.llength;
    // Link lengths in m.
    std::vector<float>& len = w.gen;
    len.assign(static_cast<std::size_t>(mlnum + 1), 0.0f);
    for (int l = 1; l <= mlnum; ++l) len[static_cast<std::size_t>(l)] = llength(l) * kMetresPerKm;
    if (w.searches.empty()) w.searches.resize(1);
    TreeSearch& ws = w.searches[0];
    ws.ttime.assign(static_cast<std::size_t>(mlnum + 1), kNoDistance);
    w.ttime2.assign(static_cast<std::size_t>(mlnum + 1), 0.0f);
    float* ttime = ws.ttime.data();
    float* ttime2 = w.ttime2.data();

    routing::CandidateList list;
    for (int d = 1; d <= maxdst; ++d) {
        const int type = g.ntyp(d);
        if (type != 1 && type != 2) continue;
        if (s.oddat.treereq(d, 1) <= 0 && s.oddat.treereq(d, 2) <= 0) continue;
        const int code = g.macrzon(d);
        if (!in_pass(pass, code)) continue;
        int mac = 0;
        if (pass == 2) {
            mac = code <= kMaxMacroZones ? g.mazn(code) : 0;
            if (mac < 1 || mac > distre.dests()) mac = 0; // no centroid tree to start from
        }
        wfree(u, kUnitRunLog, "           - tree number = ", d);

        std::fill(ws.ttime.begin(), ws.ttime.end(), kNoDistance);
        std::fill(w.ttime2.begin(), w.ttime2.end(), 0.0f);
        list.reset(ttime, mlnum, ws.list);
        for (int l = 1; l <= mlnum; ++l) {
            distre(d, l, 1) = 0;
            if (mac > 0) {
                distre(d, l, 1) = distre(mac, l, 1);
                distre(d, l, 2) = distre(mac, l, 2);
            }
        }
        const int nseed = std::clamp(g.nlinto(d), 0, kMaxNodeLinks);
        for (int j = 1; j <= nseed; ++j) {
            const int l = g.linto(d, j);
            if (l < 1 || l > mlnum) continue;
            distre(d, l, 1) = -1;
            ttime[l] = ttime2[l] = len[static_cast<std::size_t>(l)];
            list.append(l);
        }

        while (!list.empty()) {
            const int l = list.pop_front();
            // Distance trees take every movement: bans, turn permissions and
            // class closures do not apply.
            const int n = std::clamp(g.nlinin(l), 0, kMaxNodeLinks);
            for (int k = 1; k <= n; ++k) {
                const int up = std::abs(g.linin(l, k));
                if (up < 1 || up > mlnum) continue;
                const float cand = std::fabs(ttime[l]) + len[static_cast<std::size_t>(up)];
                if (!(cand < ttime[up])) continue;
                if (pass == 2 && !(ttime2[l] <= kPass2Reach)) continue;
                const bool was_on = list.on(up);
                if (was_on) list.before_change(up);
                ttime[up] = cand;
                if (was_on) list.after_change(up);
                distre(d, up, 1) = l;
                if (!was_on) {
                    ttime2[up] = ttime2[l] + len[static_cast<std::size_t>(up)];
                    list.append(up);
                }
                list.sort(up);
            }
            const int o = frnode(l);
            if (o >= 1 && o <= kMaxZones) {
                s.nodes.trp_dst(o, d) = ttime2[l];
            } else if (o < 1) {
                wfree(u, kUnitRunLog, " iorg1:", d, l, o, kMaxZones);
            }
        }

        for (int l = 1; l <= mlnum; ++l) {
            if (llength(l) < 0.0f) continue;
            const float lab = ttime[l];
            if (lab < kNoDistance && lab > 0.0f)
                distre(d, l, 2) =
                    static_cast<int>(std::floor(lab / static_cast<float>(kLengthUnit)));
            else if (lab < kNoDistance)
                distre(d, l, 2) = mac > 0 ? distre(mac, l, 2) : distre(d, l, 2);
            else
                distre(d, l, 2) = -1;
        }
    }
}

} // namespace velm
