// Next-link look-ahead: the two links ahead of a vehicle on its stored path,
// their connection indices and turn types, the lane to aim for on the next
// link, and message signs at link ends.
#include "core/io/writers.h"
#include "core/movement/movement.h"

#include <algorithm>
#include <cstdlib>

namespace velm {

namespace {

constexpr int kNoLaneChange = 10; // shift count of a lane candidate that does not exist
constexpr int kTurnAngle = 45;    // degrees either side of straight on that count as through

bool is_link(int l) {
    return l >= 1 && l <= kMaxLinks;
}

// Position j in linot(c, .) of the connection from link c into link to;
// 1 when link c has no such connection.
int connection_index(const Sim& s, int c, int to) {
    if (!is_link(c)) return 1;
    const auto& g = s.graph1;
    const int   n = std::min(g.nlinot(c), kMaxNodeLinks);
    for (int k = 1; k <= n; ++k) {
        const int j = s.lanexch.alanot(c, k);
        if (j < 1 || j > kMaxNodeLinks) continue;
        if (std::abs(g.linot(c, j)) == to) return j;
    }
    return 1;
}

// Turn type from link a into link b; 0 when b is not a link.
int turn_of(Sim& s, int a, int b) {
    if (!is_link(a) || !is_link(b)) return 0;
    int type = 0;
    turntype(s, a, b, type, kNoTrace, kTurnAngle);
    return type;
}

} // namespace

void nextlink(Sim& s, int car, int /*t*/, int& ldest, int flag) {
    const auto& ind = s.vehtre.tre_ind;
    const int   e = ind(car, 1) + ind(car, 4) + (flag == 1 ? 0 : 1);
    // An untraced trip (first entry 0) or an entry past the path has no link.
    if (ind(car, 1) < 1 || e < 1 || e > ind(car, 2) || e > kMaxPathEntries) {
        ldest = kTripEndsHere;
        return;
    }
    ldest = s.vehtre.vehtre(e, 1);
}

void new_link(Sim& s, int car, int ind) {
    const int vid = s.vehindx.vehid(car);
    auto&     nxtlnk = s.vehicle.nxtlnk;
    auto&     nxttrn = s.vehicle.nxttrn;
    if (ind == 1) {
        int next = 0;
        nextlink(s, car, 0, next, 1);
        s.oddat.curlnk(vid) = next;
        s.vehtre.tre_ind(car, 4) += 1;
    }
    const int c = s.oddat.curlnk(vid);

    int nxa = 0;
    nextlink(s, car, 0, nxa, 1);
    nxtlnk(vid, 1) = nxa;
    nxtlnk(vid, 2) = nxa > 0 ? connection_index(s, c, nxa) : 0;
    const int turn1 = nxa < 1 ? 0 : turn_of(s, c, nxa);
    nxtlnk(vid, 3) = turn1;
    nxttrn(vid, 1) = turn1;

    int nxb = 0;
    nextlink(s, car, 0, nxb, 2);
    nxtlnk(vid, 4) = nxb;
    nxtlnk(vid, 5) = nxb > 0 ? connection_index(s, nxa, nxb) : 0;
    nxttrn(vid, 2) = nxb < 1 ? 0 : turn_of(s, nxa, nxb);
}

void nextlane(Sim& s, int car, int t, int ldest, int nl, int ind) {
    const int vid = s.vehindx.vehid(car);
    auto&     vlan = s.oddat.vlan;
    if (ldest < 1) {
        vlan(vid, 2) = 0;
        return;
    }
    // A next link beyond the link tables has no lanes; the link end reports it.
    if (ldest > kMaxLinks) {
        vlan(vid, 2) = 0;
        return;
    }
    if (!is_link(nl)) {
        wfree(s.units, kUnitRunLog, " nextlane err1: ", t, car, nl, ldest, ind);
        vlan(vid, 2) = 1;
        return;
    }
    const auto& lx = s.lanexch;
    const int   cur = vlan(vid, 1);
    int         lan = cur >= 1 && cur <= kMaxLinkLanes ? lx.lannum(nl, cur) : 1;
    if (lan < 1 || lan > kMaxLanes) lan = 1;
    const int j = s.vehicle.nxtlnk(vid, 2);
    const int j2 = s.vehicle.nxtlnk(vid, 5);

    struct Candidate {
        int r = 0, shift = kNoLaneChange, space = 0;
    };
    auto candidate = [&](int col) {
        Candidate c;
        if (j < 1 || j > kMaxNodeLinks) return c;
        c.r = lx.nxtlan(lan, j, col);
        if (c.r < 1 || c.r > kMaxLinkLanes) {
            c.shift = kNoLaneChange;
            c.space = 0;
            return c;
        }
        const int ln = lx.lannum(ldest, c.r);
        if (ln < 1 || ln > kMaxLanes) {
            c.shift = kNoLaneChange;
            return c;
        }
        c.shift = j2 >= 1 && j2 <= kMaxNodeLinks ? std::abs(lx.lanshf(ln, j2)) : 0;
        c.space = lx.lstveh(ln, 2);
        return c;
    };
    const Candidate r1 = candidate(1);
    const Candidate r2 = candidate(2);
    int             chosen = 0;
    if (r1.shift != r2.shift)
        chosen = r1.shift < r2.shift ? r1.r : r2.r;
    else
        chosen = r2.space > r1.space ? r2.r : r1.r;

    if (chosen < 1 || chosen > std::abs(s.link1.nulans(ldest))) {
        s.units.line(kUnitRunLog, "nextlane-" + fmt_i(car, 6) + fmt_i(t, 6) + fmt_i(nl, 6) +
                                      fmt_i(ldest, 6) + fmt_i(cur, 6) + fmt_i(lan, 6) +
                                      fmt_i(j, 6) + fmt_i(chosen, 6));
        chosen = 1;
    }
    vlan(vid, 2) = chosen;
}

void chk_cms(Sim& s, int car, int nl, int vt, int t, int& iflag) {
    iflag = 0;
    const int vid = s.vehindx.vehid(car);
    auto&     cmst = s.oddat.cmst;
    if (cmst(vid, 3) == nl) return; // this link's sign was evaluated already
    cmst(vid, 3) = nl;
    if (!is_link(nl)) return;
    const int n = s.link1.tonode(nl);
    if (n < 1 || n > kMaxNodes) return;
    const auto& g = s.graph1;
    // The last two digits of the trip's own number are its compliance draw.
    const float draw = static_cast<float>(s.oddat.vrnd(car) % 100) / 100.0f;
    if (g.cms(n) > 0.0f && draw <= g.cms(n) && g.cmstyp(n, vt) > 0) {
        cmst(vid, 1) = static_cast<int>(static_cast<float>(t) + static_cast<float>(g.cmslag(n)));
        cmst(vid, 2) = g.cmstyp(n, vt);
        iflag = 1;
    }
}

} // namespace velm
