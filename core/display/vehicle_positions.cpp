// Where each vehicle on the network is drawn: its lane's centre line at its
// position along the link, sliding from the old lane to the new one while it
// changes lanes. The recorded point is the vehicle's place for the centring,
// the picking, the plume and travel grids and the conflict statistics; it is
// recorded whether or not anything draws. The vehicle layer is cleared before
// the vehicles are drawn: it shows each vehicle only where it is now.
#include "core/display/display.h"
#include "core/display/graphing.h"
#include "core/display/lane_geometry.h"
#include "core/driver/run_control.h"

#include <algorithm>
#include <cmath>

namespace velm {

namespace {

constexpr float kTicksPerSecond = 10.0f;
constexpr int   kWindow = 1;
constexpr float kVehicleSize = 0.006f; // km along the link
constexpr int   kFilledVehicle = 8;    // type of the rectangle on ordinary links
constexpr int   kOutlineVehicle = 5;   // on zone connectors

// Colour by speed: the slowest band that applies wins.
constexpr int kFastPen = 10;     // at or above the midpoint of capacity and free speed
constexpr int kMidPen = 9;       // below that midpoint
constexpr int kBelowCapPen = 14; // below the speed at capacity
constexpr int kCrawlingPen = 12; // below half the speed at capacity
constexpr int kSpeedColour = 2;  // vehcol of a trip coloured by speed
constexpr int kClassPen[] = {11, 13, 15, 0, 2}; // classes 1..5
constexpr int kTrackedPen = 11;
constexpr int kUntrackedPen = 2;

// Tracking words of the display switches.
constexpr int   kTrackMode = 11, kTracked = 12, kTrackedDest = 13;
constexpr int   kLastTrackMode = 14;
constexpr float kStoppedSpeed = 3.6f; // km/h
constexpr float kHardAccel = 1.0f;    // m/s2

WorldPoint along(const WorldPoint& from, const WorldPoint& to, float f) {
    return {from.x * (1.0f - f) + to.x * f, from.y * (1.0f - f) + to.y * f};
}

struct Tracking {
    int mode = 0, value = 0, dest = 0;
};

bool matches(const Sim& s, const Tracking& tr, int car, int vid) {
    switch (tr.mode) {
    case 1:
        return car == tr.value;
    case 2:
        return s.oddat.vtyp(car) == tr.value;
    case 3:
        return s.vehicle.norig(car) == tr.value && s.vehicle.ndest(car) == tr.dest;
    case 4:
        return s.vehicle.norig(car) == tr.value;
    case 5:
        return s.vehicle.ndest(car) == tr.value;
    case 6:
        return s.vehindx.lnchtm(vid, 1) - s.control.t10 > 0;
    case 7:
        return s.vehplot.spd(vid, 1) <= kStoppedSpeed;
    case 8:
        return s.vehicle.vacc(vid, 1) < -kHardAccel;
    case 9:
        return s.vehicle.vacc(vid, 1) > kHardAccel;
    case 10:
        return s.oddat.probe(car) == -1;
    case 11:
        return s.oddat.probe(car) == 1;
    case 12:
        return s.oddat.probe(car) == 2;
    case 13:
        return s.vehicle.vehdiv(vid) > 0;
    case 14:
        return s.control.t <= s.oddat.cmst(vid, 1);
    default:
        return false;
    }
}

int speed_pen(float v, float uc, float uf) {
    int pen = kFastPen;
    if (v < (uf + uc) / 2.0f) pen = kMidPen;
    if (v < uc) pen = kBelowCapPen;
    if (v < uc / 2.0f) pen = kCrawlingPen;
    return pen;
}

int vehicle_pen(const Sim& s, const Tracking& tr, int car, int vid, float uc, float uf) {
    if (tr.mode >= 1 && tr.mode <= kLastTrackMode)
        return matches(s, tr, car, vid) ? kTrackedPen : kUntrackedPen;
    if (s.oddat.vehcol(car) == kSpeedColour) return speed_pen(s.vehplot.spd(vid, 4), uc, uf);
    const int cls = std::clamp(s.oddat.vtyp(car), 1, static_cast<int>(std::size(kClassPen)));
    return kClassPen[cls - 1];
}

} // namespace

void vehpos3(Sim& s, int) {
    auto&       p = s.vehplot;
    const auto& l2 = s.link2;
    const int   t10 = s.control.t10;
    const float change_ticks = kTicksPerSecond * s.wvedat.wvedat(6);
    const bool  drawing = s.draw != nullptr;
    // The window thread may change the tracking choice at any time: one
    // snapshot serves the whole pass.
    Tracking tr;
    if (drawing)
        tr = {tracking_word(s, kTrackMode), tracking_word(s, kTracked),
              tracking_word(s, kTrackedDest)};
    if (drawing) clearscrn(s);
    WorldPoint from[kMaxLinkLanes + 1], to[kMaxLinkLanes + 1];
    for (int l = 1; l <= l2.mlnum; ++l) {
        const int   nveh = l2.ntqu(l);
        const float len = s.link4.llength(l);
        if (nveh <= 0 || len < 0.0f) continue;
        const int n = drawn_lanes(s, l);
        if (n < 1) continue;
        for (int j = 1; j <= n; ++j) lane_centre_line(s, l, j, from[j], to[j]);
        const float lm = kMetresPerKm * len;
        const float dx = s.graph1.dx(l), dy = s.graph1.dy(l);
        const int   symbol = s.link1.zoncon(l) == 1 ? kOutlineVehicle : kFilledVehicle;
        // Drawn length per passenger-car equivalent: the link's drawn length
        // against its coded length.
        const float scale = len > 0.0f ? s.graph1.xylen(l) / len : 1.0f;
        const float uc = s.link1.spdvol(l, 4), uf = s.link1.spdvol(l, 7);
        const int   base = l2.nbqu(l);
        for (int k = 1; k <= nveh; ++k) {
            const int car = s.vehicle.big(base + k);
            const int vid = s.vehindx.vehid(car);
            p.dis(vid, 3) = p.dis(vid, 1);
            const float kpcu = std::abs(s.vehicle.pcu(car)) * scale;
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
            if (drawing) {
                float kk = kpcu;
                dxmarker(s, kWindow, at.x, at.y, dx, dy, kk, symbol, kVehicleSize,
                         vehicle_pen(s, tr, car, vid, uc, uf));
            }
        }
    }
}

} // namespace velm
