// Lane connectivity: for every lane of a link and every link that can follow
// it, the lane of the next link a vehicle continues in (nxtlan) and the lane
// changes it must make first (lanshf, + = toward the left). Built once at run
// start from the topology, the headings, the lane counts and the striping.
#include "core/io/writers.h"
#include "core/movement/movement.h"
#include "core/network/network.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace velm {

namespace {

constexpr int   kLaneStartSpace = 10000; // cq of an empty lane, m
constexpr int   kNoExitYet = -10000;     // lotfl(., 1): no exit so far, ms
constexpr int   kLastVehicleAt = 1000;   // lstveh(., 1..2) of an empty lane, m
constexpr int   kRankedAway = 370;       // above any relative angle: already ranked
constexpr float kEdgeInset = 0.05f;      // through block: points 5 % inside a lane's edges
constexpr int   kTurnThreshold = 45;     // degrees around straight on

struct Assign {
    int  t = 0;           // first candidate lane of the next link
    int  t2 = 0;          // second candidate, 0 = none
    int  s = 0;           // lane changes, + = left
    bool keep_t2 = false; // leave the second candidate as it is
    bool keep_s = false;  // leave the shift as it is
};

using Ranked = std::array<int, kMaxNodeLinks + 1>;

// Orders positions 1..n by ascending value; equal values keep list order.
Ranked rank_positions(std::array<int, kMaxNodeLinks + 1> value, int n) {
    Ranked pos{};
    for (int r = 1; r <= n; ++r) {
        int best = 1;
        for (int k = 2; k <= n; ++k)
            if (value[static_cast<std::size_t>(k)] < value[static_cast<std::size_t>(best)])
                best = k;
        pos[static_cast<std::size_t>(r)] = best;
        value[static_cast<std::size_t>(best)] = kRankedAway;
    }
    return pos;
}

int rel_angle(Sim& s, int from, int to) {
    float a = 0.0f;
    crelang2(s, s.graph1.ang(from), s.graph1.ang(to), a);
    return static_cast<int>(a);
}

// The highest lane j = 1..n whose share [(j-1)/n, j/n] holds x, so a point on
// a boundary goes to the left-hand lane.
int lane_at_share(float x, int n) {
    int hit = 1;
    for (int j = 1; j <= n; ++j) {
        const float lo = static_cast<float>(j - 1) / static_cast<float>(n);
        const float hi = static_cast<float>(j) / static_cast<float>(n);
        if (lo <= x && x <= hi) hit = j;
    }
    return hit;
}

// Right-aligned: lanes 1..C continue straight across, lanes further left must
// move right to reach lane C.
Assign right_aligned(int p, int c) {
    if (p <= c) return {p, 0, 0};
    return {c, 0, c - p};
}

// Left-aligned from a first target t0 counted from the left edge; lanes that
// fall off the right edge must move left to reach lane 1.
Assign left_aligned(int t0) {
    if (t0 >= 1) return {t0, 0, 0};
    return {1, 0, std::abs(t0) + 1};
}

// The lane rules for lane p of link l (n1 lanes) into link d (n2 lanes).
struct Connection {
    Sim& s;
    int  l, d, n1, n2;

    // d is the only link after l and l the only link into d.
    Assign one_to_one(int p) const {
        const int q = n1 + 1 - p;
        const int addl = s.link1.addlin(l), addd = s.link1.addlin(d);
        if (n1 < n2) return {addd > 0 ? n2 + 1 - q : n2 - q, 0, 0};
        if (n1 == n2) return {p, 0, 0};
        int t = (addd > 0 && addl > 0) ? n2 + 1 - q : n2 + 2 - q;
        if (t > n2) return {n2, 0, -1}; // the left-most lane ends on the left
        if (t < 1) return {1, 0, std::abs(t) + 1};
        return {t, 0, 0};
    }
    // A middle approach of several into d: lane centres map proportionally.
    Assign proportional(int p) const {
        const float fn1 = static_cast<float>(n1);
        const float c = (static_cast<float>(p - 1) / fn1 + static_cast<float>(p) / fn1) / 2.0f;
        Assign      a{lane_at_share(c, n2), 0, 0};
        a.keep_t2 = true;
        return a;
    }
    // The left-most next link: left-aligned, minding which side d gained a lane.
    Assign left_turn(int p) const {
        const int q = n1 + 1 - p;
        return left_aligned(s.link1.addlin(d) > 0 ? n2 + 1 - q : n2 - q);
    }
    // A middle next link: the lanes striped for through movement spread over d.
    Assign through(int p, int f, int g) const {
        const int nt = g - f + 1;
        if (nt == n2) {
            int t = p < f ? 1 : p > g ? n2 : p - f + 1;
            return {t, t, 0};
        }
        if (p < f || p > g) {
            const int t = p < f ? 1 : n2;
            Assign    a{t, t, 0};
            a.keep_s = true;
            return a;
        }
        const float ft = static_cast<float>(nt);
        const float b = static_cast<float>(p - f) / ft;
        const float e = static_cast<float>(p + 1 - f) / ft;
        const float pt = (1.0f - kEdgeInset) * b + kEdgeInset * e;
        const float pb = kEdgeInset * b + (1.0f - kEdgeInset) * e;
        return {lane_at_share(pt, n2), lane_at_share(pb, n2), 0};
    }
};

bool usable_lanes(int n) {
    return n >= 1 && n <= kMaxLinkLanes;
}

void starting_state(Sim& s) {
    auto& lx = s.lanexch;
    for (int l = 1; l <= kMaxLinks; ++l) {
        const int n = s.link1.nulans(l);
        if (n <= 0) continue;
        if (n > kMaxLinkLanes) {
            wfree(s.units, kUnitRunLog, " Number of Lanes =", n, " Exceeds Max=", kMaxLinkLanes,
                  " on link ", l);
            continue;
        }
        const int vf = static_cast<int>(s.link1.spdvol(l, 7)); // free speed, km/h
        for (int k = 1; k <= n; ++k) {
            const int lane = lx.lannum(l, k);
            if (lane < 1 || lane > kMaxLanes) continue; // lanes not numbered
            s.link2.fvehlan(lane) = 0;
            lx.cq(lane) = kLaneStartSpace;
            s.link3.lotfl(lane, 1) = kNoExitYet;
            s.link3.lotfl(lane, 2) = vf;
            lx.lstveh(lane, 1) = kLastVehicleAt;
            lx.lstveh(lane, 2) = kLastVehicleAt;
            lx.lstveh(lane, 3) = vf;
            lx.lstveh(lane, 4) = vf;
            lx.lstveh(lane, 5) = 1;
            lx.lstveh(lane, 6) = 1;
            for (int j = 1; j <= 4; ++j) s.link1.aprflw(lane, j) = 0.0f;
        }
    }
}

void connect_link(Sim& s, int l) {
    auto&     g = s.graph1;
    auto&     lx = s.lanexch;
    const int n = std::min(g.nlinot(l), kMaxNodeLinks);
    const int n1 = s.link1.nulans(l);
    if (!usable_lanes(n1)) return;

    std::array<int, kMaxNodeLinks + 1> value{};
    for (int k = 1; k <= n; ++k)
        value[static_cast<std::size_t>(k)] = rel_angle(s, l, std::abs(g.linot(l, k)));
    const Ranked by_angle = rank_positions(value, n);
    for (int r = 1; r <= n; ++r) lx.alanot(l, r) = by_angle[static_cast<std::size_t>(r)];

    // A single next link: where l stands among the links entering it, from
    // its right side (rank 1) to its left side.
    int merge_rank = 1, merging = 0;
    if (n == 1) {
        const int d = std::abs(g.linot(l, 1));
        merging = std::min(g.nlinin(d), kMaxNodeLinks);
        std::array<int, kMaxNodeLinks + 1> up{};
        for (int j = 1; j <= merging; ++j)
            up[static_cast<std::size_t>(j)] = rel_angle(s, std::abs(g.linin(d, j)), d);
        const Ranked by_entry = rank_positions(up, merging);
        for (int r = 1; r <= merging; ++r) lx.alanin(d, r) = by_entry[static_cast<std::size_t>(r)];
        for (int r = 1; r <= merging; ++r)
            if (std::abs(g.linin(d, lx.alanin(d, r))) == l) {
                merge_rank = r;
                break;
            }
    }

    // The block of lanes striped for through movement (rule for middle links).
    int f = 0, gl = 0;
    for (int p = 1; p <= n1; ++p)
        if (s.link5.lanper(lx.lannum(l, p), 2) == 1) {
            if (f == 0) f = p;
            gl = p;
        }

    for (int r = 1; r <= n; ++r) {
        const int k = lx.alanot(l, r);
        const int d = std::abs(g.linot(l, k));
        const int n2 = s.link1.nulans(d);
        if (!usable_lanes(n2)) continue;
        const Connection c{s, l, d, n1, n2};
        const int        common = std::min(n1, n2);
        for (int p = 1; p <= n1; ++p) {
            const int q = n1 + 1 - p;
            Assign    a;
            if (n >= 2 && r == 1) {
                a = right_aligned(p, common);
            } else if (n == 1 && merging <= 1) {
                a = c.one_to_one(p);
            } else if (n == 1) {
                if (merge_rank == 1)
                    a = right_aligned(p, common);
                else if (merge_rank == merging)
                    a = left_aligned(n2 + 1 - q);
                else
                    a = c.proportional(p);
            } else if (r == n) {
                a = c.left_turn(p);
            } else {
                a = c.through(p, f, gl);
            }
            const int lane = lx.lannum(l, p);
            lx.nxtlan(lane, k, 1) = a.t;
            if (!a.keep_t2) lx.nxtlan(lane, k, 2) = a.t2;
            if (!a.keep_s) lx.lanshf(lane, k) = a.s;
        }
    }
}

} // namespace

void flanot(Sim& s, int& /*errt1*/) {
    starting_state(s);
    for (int l = 1; l <= s.link2.mlnum; ++l)
        if (s.link4.llength(l) > 0.0f && s.graph1.nlinot(l) > 0) connect_link(s, l);
}

void dolanper(Sim& s) {
    auto& lx = s.lanexch;
    auto& lanper = s.link5.lanper;
    wfree(s.units, kUnitSummary, "---------------------------------------------");
    wfree(s.units, kUnitSummary, " 20.b Lane permission calculation ");
    for (int l = 1; l <= s.link2.mlnum; ++l) {
        if (!(s.link4.llength(l) > 0.0f)) continue;
        const int nl = s.link1.nulans(l);
        if (!usable_lanes(nl)) continue;
        const int n = std::min(s.graph1.nlinot(l), kMaxNodeLinks);
        for (int r = 1; r <= n; ++r) {
            const int k = lx.alanot(l, r);
            const int d = std::abs(s.graph1.linot(l, k));
            int       typ = 0;
            turntype(s, l, d, typ, kNoTrace, kTurnThreshold);
            auto lane = [&](int p) { return lx.lannum(l, p); };
            auto shift = [&](int p) -> int& { return lx.lanshf(lane(p), k); };
            // The counts run on across permitted lanes: a lane must pass every
            // forbidding lane between it and the edge the turn leaves from.
            if (typ == 1) {
                int c = 0;
                for (int p = nl; p >= 1; --p) {
                    if (lanper(lane(p), 1) == 0) ++c;
                    shift(p) = std::max(shift(p), c);
                }
            } else if (typ == 3) {
                int c = 0;
                for (int p = 1; p <= nl; ++p) {
                    if (lanper(lane(p), 3) == 0) --c;
                    shift(p) = std::min(shift(p), c);
                }
            } else {
                int  c = 0;
                bool on = false;
                for (int p = 1; p <= nl; ++p) {
                    if (lanper(lane(p), 2) != 0) {
                        on = true;
                    } else if (on) {
                        --c;
                        shift(p) = std::min(shift(p), c);
                    }
                }
                c = 0;
                on = false;
                for (int p = nl; p >= 1; --p) {
                    if (lanper(lane(p), 2) != 0) {
                        on = true;
                    } else if (on) {
                        ++c;
                        shift(p) = std::max(shift(p), c);
                    }
                }
            }
        }
    }
}

} // namespace velm
