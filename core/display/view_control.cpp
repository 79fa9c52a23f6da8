// The display window against the host's view box, the end-of-tick refresh,
// the repaint of a held run and the centring of the view on a point, node,
// link or vehicle. repaint and findcent_new run on the host's window thread,
// and only while the core thread is parked in its pause (see run_control.h).
#include "core/display/display.h"
#include "core/display/graphing.h"
#include "core/driver/loop_step.h"
#include "core/io/writers.h"
#include "core/movement/movement.h"

#include <algorithm>
#include <cmath>
#include <istream>
#include <string_view>

namespace velm {

namespace {

constexpr int   kWindow = 1;
constexpr float kPanShare = 0.1f; // a pan moves the view by a tenth of its side

// Centring modes of findcent_new.
constexpr int kCentrePoint = 1;
constexpr int kCentreNode = 2;
constexpr int kCentreLink = 3;
constexpr int kCentreVehicle = 4;
constexpr int kCentreWorld = 5;

constexpr std::string_view kErrorTitle = "Error";

// The pixel box onto which the display square is mapped: the largest box of
// the square's shape centred in the view box (x0, y0)-(x1, y1), so a metre
// is as many pixels across as up whatever the view box's shape.
struct PixelBox {
    float x0 = 0.0f, y0 = 0.0f, x1 = 0.0f, y1 = 0.0f;
};
PixelBox fitted_box(const Sim& s, float x0, float y0, float x1, float y1) {
    const auto& d = s.set2;
    const float wx = d.xmax(1) - d.xmin(1), wy = d.ymax(1) - d.ymin(1);
    const float bx = x1 - x0, by = y1 - y0;
    if (!(wx > 0.0f) || !(wy > 0.0f) || !(bx > 0.0f) || !(by > 0.0f)) return {x0, y0, x1, y1};
    const float scale = std::min(bx / wx, by / wy);
    const float cx = (x0 + x1) / 2.0f, cy = (y0 + y1) / 2.0f;
    const float hx = scale * wx / 2.0f, hy = scale * wy / 2.0f;
    return {cx - hx, cy - hy, cx + hx, cy + hy};
}

// Window 1 onto the box of the view box fitted_box chooses.
void map_square(Sim& s, const PixelBox& b) {
    const auto& d = s.set2;
    window(s, kWindow, b.x0, b.x1, b.y0, b.y1, d.xmin(1), d.xmax(1), d.ymin(1), d.ymax(1));
}

// The devices drawn at once on the cleared devices layer.
void draw_devices(Sim& s) {
    prmpmet(s);
    pdetloc(s);
    psignal(s, 1);
}

void say(Sim& s, std::string_view title, std::string_view text) {
    wfree(s.units, kUnitConsole, std::string(title), std::string(text));
    if (s.fe != nullptr) s.fe->core_message(title, text);
}

// The core pixel of a world point, each coordinate truncated toward zero;
// the pair is left as it was when the window has no mapping yet.
void core_pixel(const Sim& s, float x, float y, int& xi, int& yi) {
    float px = 0.0f, py = 0.0f;
    if (!transform(s, kWindow, x, y, px, py)) return;
    xi = static_cast<int>(std::trunc(px));
    yi = static_cast<int>(std::trunc(py));
}

// Moves view 2 to the centre (cx, cy), keeping its width and height.
void centre_view(Sim& s, float cx, float cy) {
    auto&       d = s.set2;
    const float wx = d.xmax(2) - d.xmin(2), wy = d.ymax(2) - d.ymin(2);
    d.xmin(2) = cx - wx / 2.0f;
    d.xmax(2) = cx + wx / 2.0f;
    d.ymin(2) = cy - wy / 2.0f;
    d.ymax(2) = cy + wy / 2.0f;
}

bool in(int i, int lo, int hi) {
    return i >= lo && i <= hi;
}

} // namespace

void viewport(Sim& s, int) {
    if (s.draw == nullptr) return; // no view box: nothing is drawn
    float x0 = 0.0f, y0 = 0.0f, x1 = 0.0f, y1 = 0.0f;
    s.draw->get_virtual_screen(x0, y0, x1, y1);
    map_square(s, fitted_box(s, x0, y0, x1, y1));
}

void checkkey(Sim&, int, int& key, int) {
    key = 0; // the window's keys reach the run through its run-control words
}

void refresh_viewport(Sim& s) {
    if (s.draw == nullptr) return;
    float x0 = 0.0f, y0 = 0.0f, x1 = 0.0f, y1 = 0.0f;
    s.draw->get_virtual_screen(x0, y0, x1, y1);
    const PixelBox b = fitted_box(s, x0, y0, x1, y1);
    const auto&    w = s.graphing.windows;
    if (b.x0 == w(kWindow, kWinXMin, kPixelBox) && b.y0 == w(kWindow, kWinYMin, kPixelBox) &&
        b.x1 == w(kWindow, kWinXMax, kPixelBox) && b.y1 == w(kWindow, kWinYMax, kPixelBox) &&
        blocked_lanes_digest(s) == s.graphing.blocked_shown)
        return;
    map_square(s, b);
    plotnet(s, 0, 1); // clears every layer first
    draw_devices(s);
}

void redraw_and_adjust(Sim& s) {
    refresh_viewport(s);
    if (s.draw != nullptr) s.draw->redraw_drawing_area();
}

void repaint(Sim& s) {
    VELM_STEP(plotnet, s, 1, 1);
    VELM_STEP(pincident, s);
    VELM_STEP(prmpmet, s);
    VELM_STEP(pdetloc, s);
    VELM_STEP(vehpos3, s, 2);
    VELM_STEP(psignal, s, 1);
}

void findcent_new(Sim& s, int ind, int& xi, int& yi, int idi) {
    wfree(s.units, kUnitConsole, " Centring on", idi);
    const auto& d = s.set2;
    float       cx = (d.xmin(2) + d.xmax(2)) / 2.0f, cy = (d.ymin(2) + d.ymax(2)) / 2.0f;
    int         px = xi, py = yi;
    switch (ind) {
    case kCentrePoint:
        cx = static_cast<float>(xi) / kMetresPerKm;
        cy = static_cast<float>(yi) / kMetresPerKm;
        core_pixel(s, cx, cy, px, py);
        break;
    case kCentreNode: {
        const auto& g = s.graph1;
        if (!in(idi, 1, std::min(kMaxNodes, g.x.hi())) || !(g.x(idi) > 0.0f)) {
            say(s, kErrorTitle, "Invalid Node Number");
            return;
        }
        cx = g.x(idi);
        cy = g.y(idi);
        wfree(s.units, kUnitConsole, " Node", idi, cx, cy);
        core_pixel(s, cx, cy, px, py);
        break;
    }
    case kCentreLink: {
        const auto& l1 = s.link1;
        if (!in(idi, 1, std::min(kMaxLinks, s.link4.llength.hi())) ||
            !(s.link4.llength(idi) > 0.0f)) {
            say(s, kErrorTitle, "Invalid Link Number");
            return;
        }
        const auto& g = s.graph1;
        const int   f = l1.frnode(idi), t = l1.tonode(idi);
        cx = (g.x(f) + g.x(t)) / 2.0f;
        cy = (g.y(f) + g.y(t)) / 2.0f;
        wfree(s.units, kUnitConsole, " Link", idi, cx, cy);
        core_pixel(s, cx, cy, px, py);
        break;
    }
    case kCentreVehicle: {
        if (!in(idi, 1, kMaxTrips)) return;
        const int vid = idi <= s.vehindx.vehid.hi() ? s.vehindx.vehid(idi) : 0;
        wfree(s.units, kUnitConsole, " Vehicle slot", vid);
        const auto& p = s.vehplot;
        if (!in(vid, 1, std::min(kMaxVehicles, p.xq.hi1())) || !(p.xq(vid, 1) > 0.0f)) {
            say(s, kErrorTitle, "Invalid Vehicle Number");
            return;
        }
        cx = p.xq(vid, 1);
        cy = p.yq(vid, 1);
        wfree(s.units, kUnitConsole, " Vehicle", idi, cx, cy);
        core_pixel(s, cx, cy, px, py);
        break;
    }
    case kCentreWorld:
        cx = static_cast<float>(xi);
        cy = static_cast<float>(yi);
        break;
    default:
        break;
    }
    centre_view(s, cx, cy);
    xi = px;
    yi = py;
    wfree(s.units, kUnitConsole, " Centre", xi, yi, "pixel", px, py);
}

// --- the older view commands -------------------------------------------------------------

void endview(Sim& s, int& i2, int& flag1, int) {
    i2 = 0;
    flag1 = 0;
    repaint(s);
}

void findcent(Sim& s, int ind, std::istream& answers) {
    const auto ask = [&](const char* prompt, float& a, float& b, bool pair) {
        wfree(s.units, kUnitConsole, prompt);
        return pair ? static_cast<bool>(answers >> a >> b) : static_cast<bool>(answers >> a);
    };
    float a = 0.0f, b = 0.0f;
    float cx = 0.0f, cy = 0.0f;
    switch (ind) {
    case kCentrePoint:
        if (!ask(" Centre point x, y (m):", a, b, true)) return;
        cx = a / kMetresPerKm;
        cy = b / kMetresPerKm;
        break;
    case kCentreNode:
    case kCentreLink:
    case kCentreVehicle: {
        if (!ask(ind == kCentreNode   ? " Node number:"
                 : ind == kCentreLink ? " Link number:"
                                      : " Vehicle number:",
                 a, b, false))
            return;
        // The same checks and messages as the window's centring; the pixel
        // pair it returns is of no use here.
        int xi = 0, yi = 0;
        findcent_new(s, ind, xi, yi, static_cast<int>(a));
        return;
    }
    case kCentreWorld:
        if (!ask(" Mouse position x, y (pixels):", a, b, true) ||
            !reverse(s, kWindow, a, b, cx, cy))
            return;
        break;
    default:
        return;
    }
    centre_view(s, cx, cy);
}

void panning(Sim& s, int i1, int& i2, int& flag2, float) {
    auto&       d = s.set2;
    const float wx = d.xmax(2) - d.xmin(2), wy = d.ymax(2) - d.ymin(2);
    float       sx = 0.0f, sy = 0.0f;
    switch (i1) {
    case 1:
        sy = kPanShare * wy;
        break;
    case 2:
        sy = -kPanShare * wy;
        break;
    case 3:
        sx = -kPanShare * wx;
        break;
    case 4:
        sx = kPanShare * wx;
        break;
    default:
        return;
    }
    d.xmin(2) += sx;
    d.xmax(2) += sx;
    d.ymin(2) += sy;
    d.ymax(2) += sy;
    i2 = 1;
    flag2 = 1;
}

void fullscre(Sim& s, int, int, int, float boxsiz) {
    auto& d = s.set2;
    d.xmin(2) = d.xmin(1);
    d.xmax(2) = d.xmax(1);
    d.ymin(2) = d.ymin(1);
    d.ymax(2) = d.ymax(1);
    szoombox(s, boxsiz);
}

void szoombox(Sim& s, float boxsiz) {
    auto&       d = s.set2;
    const float bx = boxsiz * (d.xmax(2) - d.xmin(2)), by = boxsiz * (d.ymax(2) - d.ymin(2));
    for (int w : {3, 4}) {
        d.xmin(w) = d.xmin(2) + bx;
        d.xmax(w) = d.xmax(2) - bx;
        d.ymin(w) = d.ymin(2) + by;
        d.ymax(w) = d.ymax(2) - by;
    }
}

void anim_spd(Sim& s, int i) {
    // The base factor multiplies every animation period: below 1 the periods
    // would vanish.
    s.subtim.animspd(1) = std::max(1, i);
}

// Zoom is the host's: its view box changes and refresh_viewport follows.
void zooming(Sim&) {}
void zoomwin(Sim&) {}

} // namespace velm
