// Position update of every tick.
#include "core/movement/positions.h"

#include "core/energy/energy.h"
#include "core/io/writers.h"
#include "core/model/prefetch.h"
#include "core/movement/movement.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr float kEmptyLinkExit = 100000.0f; // s added to t as the exit time of an empty link

int lanes_of(const Sim& s, int l) {
    return std::min(std::abs(s.link1.nulans(l)), kMaxLinkLanes);
}

// An empty link: its lanes keep the positions of their last vehicles, and the
// passenger-car weights of the last vehicles decay each second toward 10.
void empty_link(Sim& s, int l, int t10, float t) {
    auto& lstveh = s.lanexch.lstveh;
    if (t10 % 10 == 0) {
        for (int k = 1, n = lanes_of(s, l); k <= n; ++k) {
            const int ln = s.lanexch.lannum(l, k);
            for (const int c : {5, 6})
                lstveh(ln, c) = static_cast<int>(0.9f * static_cast<float>(lstveh(ln, c)) + 1.0f);
        }
    }
    s.link3.otflwt(l, 3) = static_cast<int>(t + kEmptyLinkExit);
}

// Every lane of a link with vehicles starts as if empty: a virtual vehicle
// beyond the end, carried on from the lane's last exit at its exit speed.
void lane_ends(Sim& s, int l, float t, float len) {
    auto&       lstveh = s.lanexch.lstveh;
    const auto& lotfl = s.link3.lotfl;
    for (int k = 1, n = lanes_of(s, l); k <= n; ++k) {
        const int   ln = s.lanexch.lannum(l, k);
        const float te =
            std::min(kVirtualReach, t - static_cast<float>(lotfl(ln, 1)) / kMillisPerSecond);
        const float ve = static_cast<float>(lotfl(ln, 2));
        const float xv = std::min(kVirtualReach, te * ve / kKmhPerMps);
        lstveh(ln, 1) = lstveh(ln, 2) = static_cast<int>(xv + len + 0.4999f);
        lstveh(ln, 3) = lstveh(ln, 4) = static_cast<int>(ve);
        lstveh(ln, 6) = 1;
    }
}

} // namespace

void vehpos2(Sim& s, int t10) {
    auto&       dis = s.vehplot.dis;
    const auto& spd = s.vehplot.spd;
    auto&       trpdst = s.vehplot.trpdst;
    auto&       dept = s.vehicle.dept;
    const auto& pcu = s.vehicle.pcu;
    const auto& big = s.vehicle.big;
    const auto& vehid = s.vehindx.vehid;
    const auto& vlan = s.oddat.vlan;
    const auto& vtyp = s.oddat.vtyp;
    auto&       lstveh = s.lanexch.lstveh;
    auto&       tllink = s.delay.tllink;
    auto&       ns = s.netstats;

    const float t = static_cast<float>(t10) / 10.0f;
    const int   slot = netstats_slot(ns, t);
    const int   ml = std::min(s.link2.mlnum, kMaxLinks);

    ListPrefetch prefetch;
    prefetch.trips.add(vehid);
    prefetch.trips.add(dept);
    prefetch.trips.add(pcu);
    prefetch.trips.add(vtyp);
    prefetch.trips.add(trpdst, 1);
    prefetch.slots.add(dis);
    prefetch.slots.add(spd);
    prefetch.slots.add(vlan);
    prefetch.slots.add(s.vehplot.xq, 1);
    prefetch.slots.add(s.vehplot.yq, 1);
    for (int l = 1; l <= ml; ++l) {
        const float llen = s.link4.llength(l);
        if (llen < 0.0f) continue;
        const int n = s.link2.ntqu(l);
        if (n <= 0) {
            empty_link(s, l, t10, t);
            continue;
        }
        const float len = kMetresPerKm * llen;
        lane_ends(s, l, t, len);
        const int   nlanes = lanes_of(s, l);
        const float freespd = s.link4.freespd(l);
        const float vcap = s.link1.spdvol(l, 4) / kKmhPerMps; // m/s
        const int   base = s.link2.nbqu(l);
        const bool  stations = s.detloc.ndetpos(l) > 0;
        for (int i = 1; i <= n; ++i) {
            prefetch.ahead(big, vehid, base, i, n);
            const int   car = big(base + i);
            const int   vid = vehid(car);
            const float u = spd(vid, 1);
            const float v = u / kKmhPerMps;
            const float step = v / 10.0f;
            const float delay = freespd > 0.0f ? (1.0f - u / freespd) * 0.1f / 60.0f : 0.0f;
            ns.vehkm(slot) += step / kMetresPerKm;
            ns.vehmn(slot) += 1.0f / 600.0f;
            ns.vehde(slot) += delay;
            const std::array<float, 5> moe{0.0f, step / kMetresPerKm, 1.0f / 600.0f, delay,
                                           u <= 1.0f ? 1.0f / 600.0f : 0.0f};
            if (s.vehplot.drawn(vid) == 1)
                travelsum(s, 1, moe, s.vehplot.xq(vid, 1), s.vehplot.yq(vid, 1), 0.0f);

            const float dn = std::min(dis(vid, 1) + step, len);
            dis(vid, 1) = dn;
            const int k = vlan(vid, 1);
            int       ln = 0;
            if (k >= 1 && k <= nlanes) {
                ln = s.lanexch.lannum(l, k);
                lstveh(ln, 2) = static_cast<int>(dn);
                lstveh(ln, 6) = static_cast<int>(10.0f * std::fabs(pcu(car)));
            } else {
                wfree(s.units, kUnitRunLog, " vehpos2: lane out of range, trip", car, "link", l,
                      "lane", k);
                s.errcount.numerr += 1;
            }

            // Never slower than the speed at capacity for the rest of the link.
            const float vexit = std::max(v, vcap);
            dept(car) = vexit > 0.0f ? t + (len - dn) / vexit : static_cast<float>(kNever);
            if (i == 1) s.link3.otflwt(l, 3) = static_cast<int>(kMillisPerSecond * dept(car));

            const float x = (dn - dis(vid, 2)) / kMetresPerKm;
            trpdst(car, 1) += x;
            const int vt = vtyp(car);
            if (vt >= 1 && vt <= kClasses) {
                tllink(l, vt, 1) += kMetresPerKm * x;
                tllink(l, vt, 2) += 0.1f;
            }
            if (stations) {
                // A marker pair of the vehicle's own: one vehicle ending inside
                // a zone must not keep the station from crediting the next.
                int flag1 = -1, flag2 = 0;
                chkdetin(s, flag1, flag2, l, dis(vid, 2), dn, u, k, vt);
            }
            dis(vid, 2) = dn;
            if (ln > 0) lstveh(ln, 4) = static_cast<int>(u);
        }
    }
}

} // namespace velm
