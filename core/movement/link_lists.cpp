// The per-link vehicle lists (trip numbers, front first, in each link's block
// of the store big) and the indices derived from them every tick: lane heads
// and list ranks, the front-first order itself, the nearest followers in the
// side lanes, and the free entry space of every lane and link.
#include "core/movement/movement.h"

#include <algorithm>
#include <cstdlib>

namespace velm {

namespace {

constexpr int kMaxEntrySpace = 9999; // m, the largest entry space a link reports

int lanes_of(const Sim& s, int l) {
    return std::min(std::abs(s.link1.nulans(l)), kMaxLinkLanes);
}

void lanpos_link(Sim& s, int l) {
    const auto& lannum = s.lanexch.lannum;
    auto&       fvehlan = s.link2.fvehlan;
    const auto& vehid = s.vehindx.vehid;
    auto&       vehlnk = s.vehindx.vehlnk;
    const auto& vlan = s.oddat.vlan;
    const auto& big = s.vehicle.big;

    const int nl = lanes_of(s, l);
    for (int k = 1; k <= nl; ++k) fvehlan(lannum(l, k)) = 0;
    const int base = s.link2.nbqu(l);
    const int n = s.link2.ntqu(l);
    for (int i = 1; i <= n; ++i) {
        const int car = big(base + i);
        const int vid = vehid(car);
        const int k = vlan(vid, 1);
        if (k >= 1 && k <= nl) {
            int& head = fvehlan(lannum(l, k));
            if (head == 0) head = car;
        }
        vehlnk(vid) = i;
    }
}

} // namespace

void lanpos(Sim& s, int flag, int /*t10*/) {
    if (flag > 0) {
        if (flag <= kMaxLinks && s.link4.llength(flag) > 0.0f) lanpos_link(s, flag);
        return;
    }
    const int ml = std::min(s.link2.mlnum, kMaxLinks);
    for (int l = 1; l <= ml; ++l)
        if (s.link4.llength(l) > 0.0f) lanpos_link(s, l);
}

// A stable insertion sort by position, front (largest dis) first: the same
// order as repeated swaps of strictly out-of-order neighbours, but linear for
// a list that is already nearly in order, as it is after one tick of moves.
void srtque(Sim& s) {
    const auto& vehid = s.vehindx.vehid;
    const auto& dis = s.vehplot.dis;
    auto&       big = s.vehicle.big;
    const int   ml = std::min(s.link2.mlnum, kMaxLinks);
    for (int l = 1; l <= ml; ++l) {
        const int n = s.link2.ntqu(l);
        if (n < 2 || !(s.link4.llength(l) > 0.0f)) continue;
        const int base = s.link2.nbqu(l);
        float     prev = dis(vehid(big(base + 1)), 1);
        for (int i = 2; i <= n; ++i) {
            const int   car = big(base + i);
            const float d = dis(vehid(car), 1);
            if (!(d > prev)) {
                prev = d;
                continue;
            }
            int j = i - 1;
            do {
                big(base + j + 1) = big(base + j);
                --j;
            } while (j >= 1 && dis(vehid(big(base + j)), 1) < d);
            big(base + j + 1) = car;
            // prev stays: the vehicle at rank i is still the one that was there
            // before, now the last of the sorted part.
        }
    }
}

void vehpos2b(Sim& s, int /*t10*/) {
    const auto& vehid = s.vehindx.vehid;
    const auto& vlan = s.oddat.vlan;
    const auto& big = s.vehicle.big;
    auto&       dstbeh = s.vehicle.dstbeh;
    const int   ml = std::min(s.link2.mlnum, kMaxLinks);
    for (int l = 1; l <= ml; ++l) {
        if (s.link4.llength(l) < 0.0f) continue;
        const int nl = lanes_of(s, l);
        // last[k]: the nearest vehicle seen so far in lane k walking from the
        // back; last[0] and last[nl + 1] stand for the lanes beyond the edges
        // and stay 0, so the lookups need no test of the lane (which the
        // branch predictor could not guess).
        int       last[kMaxLinkLanes + 2] = {};
        const int base = s.link2.nbqu(l);
        for (int i = s.link2.ntqu(l); i >= 1; --i) {
            const int car = big(base + i);
            const int vid = vehid(car);
            const int k = vlan(vid, 1);
            if (k < 1 || k > nl) { // not in a lane of this link: no side followers
                dstbeh(vid, 1) = 0;
                dstbeh(vid, 2) = 0;
                continue;
            }
            last[k] = car;
            dstbeh(vid, 1) = last[k - 1];
            dstbeh(vid, 2) = last[k + 1];
        }
    }
}

void spilback(Sim& s) {
    const auto& lannum = s.lanexch.lannum;
    const auto& lstveh = s.lanexch.lstveh;
    auto&       cq = s.lanexch.cq;
    auto&       cmaxq = s.link2.cmaxq;
    const auto& minhd = s.link5.minhd;
    const int   ml = std::min(s.link2.mlnum, kMaxLinks);
    for (int l = 1; l <= ml; ++l) {
        const int nl = lanes_of(s, l);
        if (nl < 1) continue;
        const float jam = minhd(l, 1);
        int         best = -1;
        for (int k = 1; k <= nl; ++k) {
            const int ln = lannum(l, k);
            // Truncated toward zero: a shortfall under 1 m still counts as 0.
            const int space = static_cast<int>(static_cast<float>(lstveh(ln, 2)) - jam);
            cq(ln) = std::max(space, 0);
            best = std::max(best, space);
        }
        cmaxq(l) = std::min(best, kMaxEntrySpace);
    }
}

} // namespace velm
