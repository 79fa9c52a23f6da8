// Where each vehicle on the network is drawn: its lane's centre line at its
// position along the link, sliding from the old lane to the new one while it
// changes lanes. The recorded point is the vehicle's place for the centring,
// the picking, the plume and travel grids and the conflict statistics.
#include "core/display/display.h"
#include "core/display/lane_geometry.h"

#include <algorithm>

namespace velm {

namespace {

constexpr float kTicksPerSecond = 10.0f;

WorldPoint along(const WorldPoint& from, const WorldPoint& to, float f) {
    return {from.x * (1.0f - f) + to.x * f, from.y * (1.0f - f) + to.y * f};
}

} // namespace

void vehpos3(Sim& s, int) {
    auto&       p = s.vehplot;
    const auto& l2 = s.link2;
    const int   t10 = s.control.t10;
    const float change_ticks = kTicksPerSecond * s.wvedat.wvedat(6);
    WorldPoint  from[kMaxLinkLanes + 1], to[kMaxLinkLanes + 1];
    for (int l = 1; l <= l2.mlnum; ++l) {
        const int   nveh = l2.ntqu(l);
        const float len = s.link4.llength(l);
        if (nveh <= 0 || len < 0.0f) continue;
        const int n = drawn_lanes(s, l);
        if (n < 1) continue;
        for (int j = 1; j <= n; ++j) lane_centre_line(s, l, j, from[j], to[j]);
        const float lm = kMetresPerKm * len;
        const float dx = s.graph1.dx(l), dy = s.graph1.dy(l);
        const int   base = l2.nbqu(l);
        for (int k = 1; k <= nveh; ++k) {
            const int car = s.vehicle.big(base + k);
            const int vid = s.vehindx.vehid(car);
            p.dis(vid, 3) = p.dis(vid, 1);
            const float f = lm > 0.0f ? p.dis(vid, 1) / lm : 0.0f;
            // A lane outside the link is drawn on the nearest lane it has.
            const int  j = std::clamp(s.oddat.vlan(vid, 1), 1, n);
            WorldPoint at = along(from[j], to[j], f);
            const int  r = s.vehindx.lnchtm(vid, 1) - t10;
            const int  j0 = s.vehindx.lnchtm(vid, 3);
            if (r > 0 && change_ticks > 0.0f && j0 >= 1 && j0 <= n) {
                // w runs from 1 to 0 over the change: the vehicle slides from
                // its old lane to its new one.
                const float      w = std::min(1.0f, static_cast<float>(r) / change_ticks);
                const WorldPoint old = along(from[j0], to[j0], f);
                at = {w * old.x + (1.0f - w) * at.x, w * old.y + (1.0f - w) * at.y};
            }
            p.xq(vid, 1) = at.x;
            p.yq(vid, 1) = at.y;
            p.xq(vid, 2) = dx;
            p.yq(vid, 2) = dy;
            p.drawn(vid) = 1;
        }
    }
}

} // namespace velm
