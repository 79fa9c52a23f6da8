// World-to-pixel mapping and the core's drawing primitives.
#include "core/display/graphing.h"

#include <array>
#include <cmath>

namespace velm {

namespace {

// Palette index of each pen.
constexpr std::array<int, kPens> kPenColour = {22, 5,  9, 23, 0,  25, 12, 19, 17, 6,
                                               10, 24, 1, 26, 27, 21, 30, 20, 29, 28};
constexpr float                  kLineWidth = 1.0f;
constexpr int                    kLineSamples = 10; // line test: s = 0, 0.1, ..., 0.9
constexpr int                    kBoxSamples = 11;  // quadrilateral test: s = 0, 0.1, ..., 1.0
constexpr int                    kOutlinePen = 0;   // pen of abox

struct Vec {
    float x = 0.0f;
    float y = 0.0f;
};
Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y};
}
Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y};
}
Vec operator*(float f, Vec a) {
    return {f * a.x, f * a.y};
}
PixelPoint pixel(Vec v) {
    return {v.x, v.y};
}

float& win(Sim& s, int tn, int k, int box) {
    return s.graphing.windows(tn, k, box);
}
float win(const Sim& s, int tn, int k, int box) {
    return s.graphing.windows(tn, k, box);
}

bool has_extent(const Sim& s, int tn) {
    return win(s, tn, kWinXExt, kPixelBox) != 0.0f && win(s, tn, kWinYExt, kPixelBox) != 0.0f &&
           win(s, tn, kWinXExt, kWorldBox) != 0.0f && win(s, tn, kWinYExt, kWorldBox) != 0.0f;
}

// from -> to linearly through window tn's boxes.
bool map_point(const Sim& s, int tn, int from, int to, float xin, float yin, float& xout,
               float& yout) {
    if (!has_extent(s, tn)) return false;
    const float x = win(s, tn, kWinXMin, to) + win(s, tn, kWinXExt, to) *
                                                   (xin - win(s, tn, kWinXMin, from)) /
                                                   win(s, tn, kWinXExt, from);
    const float y = win(s, tn, kWinYMin, to) + win(s, tn, kWinYExt, to) *
                                                   (yin - win(s, tn, kWinYMin, from)) /
                                                   win(s, tn, kWinYExt, from);
    if (!std::isfinite(x) || !std::isfinite(y)) return false;
    xout = x;
    yout = y;
    return true;
}

// In the display square, edges included.
bool in_square(const Sim& s, float x, float y) {
    const auto& d = s.set2;
    return d.xmin(1) <= x && x <= d.xmax(1) && d.ymin(1) <= y && y <= d.ymax(1);
}

// The pixel centre C of a symbol at (x1, y1) and the pixel extents of a world
// size ms along each axis.
struct Symbol {
    Vec   c;
    float sx = 0.0f;
    float sy = 0.0f;
};
bool symbol_at(const Sim& s, int tn, float x1, float y1, float ms, Symbol& out) {
    Vec corner;
    if (!transform(s, tn, x1, y1, out.c.x, out.c.y) ||
        !transform(s, tn, x1 + ms, y1 + ms, corner.x, corner.y))
        return false;
    out.sx = corner.x - out.c.x;
    out.sy = corner.y - out.c.y;
    return true;
}

void bridge_line(Sim& s, Layer layer, Vec a, Vec b, float width, int col) {
    s.draw->draw_line(layer, a.x, a.y, b.x, b.y, width, col);
}

void bridge_polygon(Sim& s, Layer layer, std::span<const PixelPoint> points, int col) {
    s.draw->draw_polygone_a(layer, col, points);
}

void line_on(Sim& s, Layer layer, int tn, float x1, float y1, float x2, float y2, int col) {
    if (s.draw == nullptr) return;
    bool seen = false;
    for (int i = 0; i < kLineSamples && !seen; ++i) {
        const float f = 0.1f * static_cast<float>(i);
        seen = in_square(s, x2 + (x1 - x2) * f, y2 + (y1 - y2) * f);
    }
    if (!seen) return;
    Vec a, b;
    int pc = 0;
    if (!transform(s, tn, x1, y1, a.x, a.y) || !transform(s, tn, x2, y2, b.x, b.y) ||
        !newpen(col, pc))
        return;
    bridge_line(s, layer, a, b, kLineWidth, pc);
}

void dline_on(Sim& s, Layer layer, int tn, float x1, float y1, float x2, float y2, int col,
              int nsteps, float fract) {
    if (s.draw == nullptr) return;
    const Vec  p1{x1, y1}, p2{x2, y2};
    const auto at = [&](float f) { return (1.0f - f) * p2 + f * p1; };
    for (int i = 1; i <= nsteps; ++i) {
        const float n = static_cast<float>(nsteps);
        const Vec   a = at(static_cast<float>(i - 1) / n);
        const Vec   b = at((static_cast<float>(i - 1) + fract) / n);
        line_on(s, layer, tn, a.x, a.y, b.x, b.y, col);
    }
}

// The closed outline through the corners, one line per side.
void outline(Sim& s, Layer layer, std::span<const Vec> corners, int pc) {
    for (std::size_t i = 0; i < corners.size(); ++i)
        bridge_line(s, layer, corners[i], corners[(i + 1) % corners.size()], kLineWidth, pc);
}

void filled(Sim& s, Layer layer, std::span<const Vec> corners, int pc) {
    std::array<PixelPoint, 8> points{};
    for (std::size_t i = 0; i < corners.size(); ++i) points[i] = pixel(corners[i]);
    bridge_polygon(s, layer, std::span<const PixelPoint>(points.data(), corners.size()), pc);
}

void marker_on(Sim& s, Layer layer, int tn, float x1, float y1, int mt, float ms, int c) {
    if (s.draw == nullptr || !in_square(s, x1, y1)) return;
    Symbol sym;
    int    pc = 0;
    if (!symbol_at(s, tn, x1, y1, ms, sym) || !newpen(c, pc)) return;
    const Vec                C = sym.c;
    const float              hx = sym.sx / 2, hy = sym.sy / 2, qx = sym.sx / 4, qy = sym.sy / 4;
    const std::array<Vec, 4> square = {C + Vec{-hx, -hy}, C + Vec{hx, -hy}, C + Vec{hx, hy},
                                       C + Vec{-hx, hy}};
    switch (mt) {
    case 1:
    case 4:
        s.draw->draw_point(layer, C.x, C.y, pc);
        break;
    case 2:
        s.draw->draw_circle(layer, C.x, C.y, sym.sx, pc);
        break;
    case 3:
    case 10:
    case 12:
        filled(s, layer, square, pc);
        break;
    case 5:
    case 8:
        outline(s, layer, square, pc);
        break;
    case 6: {
        const std::array<Vec, 8> octagon = {C + Vec{-qx, hy},  C + Vec{-hx, qy}, C + Vec{-hx, -qy},
                                            C + Vec{-qx, -hy}, C + Vec{qx, -hy}, C + Vec{hx, -qy},
                                            C + Vec{hx, qy},   C + Vec{qx, hy}};
        filled(s, layer, octagon, pc);
        break;
    }
    case 7: {
        const std::array<Vec, 3> triangle = {C + Vec{-hx, hy}, C + Vec{0, -hy}, C + Vec{hx, hy}};
        filled(s, layer, triangle, pc);
        break;
    }
    default:
        break;
    }
}

void dxmarker_on(Sim& s, Layer layer, int tn, float x1, float y1, float dx, float dy, float& k,
                 int mt, float ms, int c) {
    if (!in_square(s, x1, y1)) return;
    if (k <= -1.0f) k = -1.0f;
    Symbol sym;
    int    pc = 0;
    if (s.draw == nullptr || !symbol_at(s, tn, x1, y1, ms, sym) || !newpen(c, pc)) return;
    const Vec  C = sym.c;
    const Vec  u{dx * sym.sx, dy * sym.sy};
    const Vec  n{-dy * sym.sy, dx * sym.sx};
    const auto stretched = [&](float half_width) {
        return std::array<Vec, 4>{C + 0.5f * k * u + half_width * n, C - 0.5f * u + half_width * n,
                                  C - 0.5f * u - half_width * n, C + 0.5f * k * u - half_width * n};
    };
    switch (mt) {
    case 1:
        s.draw->draw_point(layer, C.x, C.y, pc);
        break;
    case 5: {
        const std::array<Vec, 4> rect = {C + 0.5f * u + 0.25f * n, C - 0.5f * u + 0.25f * n,
                                         C - 0.5f * u - 0.25f * n, C + 0.5f * u - 0.25f * n};
        outline(s, layer, rect, pc);
        break;
    }
    case 8:
        filled(s, layer, stretched(0.25f), pc);
        break;
    case 9:
        filled(s, layer, stretched(0.5f), pc);
        break;
    case 10: {
        const std::array<Vec, 4> diamond = {C + 0.25f * n, C - 0.5f * u, C - 0.25f * n,
                                            C + 0.5f * u};
        outline(s, layer, diamond, pc);
        break;
    }
    default:
        break;
    }
}

void dxarrow_on(Sim& s, Layer layer, int tn, float x1, float y1, float dx, float dy, int mt,
                float ms, int c) {
    if (s.draw == nullptr || !in_square(s, x1, y1)) return;
    Symbol sym;
    int    pc = 0;
    if (!symbol_at(s, tn, x1, y1, ms, sym) || !newpen(c, pc)) return;
    const Vec  C = sym.c;
    const Vec  f{-dx * sym.sx, -dy * sym.sy}; // forward, the direction of travel
    const Vec  L{dy * sym.sy, -dx * sym.sx};  // the driver's left
    const auto seg = [&](Vec a, Vec b) { bridge_line(s, layer, a, b, kLineWidth, pc); };
    seg(C - 0.2f * f, C - 0.5f * f);
    if ((mt / 100) % 10 == 1) {
        const Vec tip = C + 0.5f * f + 0.35f * L;
        seg(C - 0.2f * f, tip);
        seg(tip, C + 0.35f * f + 0.35f * L);
        seg(tip, C + 0.5f * f + 0.245f * L);
    }
    if ((mt / 10) % 10 == 1) {
        const Vec tip = C + 0.65f * f;
        seg(C - 0.2f * f, tip);
        seg(tip, C + 0.35f * f + 0.105f * L);
        seg(tip, C + 0.35f * f - 0.105f * L);
    }
    if (mt % 10 == 1) {
        const Vec tip = C + 0.5f * f - 0.35f * L;
        seg(C - 0.1f * f, tip);
        seg(tip, C + 0.5f * f - 0.28f * L);
        seg(tip, C + 0.4f * f - 0.35f * L);
    }
}

void fillbox_on(Sim& s, Layer layer, int tn, Vec c1, Vec c2, Vec c3, Vec c4, int c) {
    if (s.draw == nullptr) return;
    int inside = 0;
    for (int i = 0; i < kBoxSamples; ++i) {
        const float f = 0.1f * static_cast<float>(i);
        const Vec   p = (1.0f - f) * c3 + f * c1;
        chkpnt(s, tn, p.x, p.y, inside);
    }
    if (inside == 0) return;
    std::array<Vec, 4> corners = {c1, c2, c3, c4};
    for (Vec& v : corners)
        if (!transform(s, tn, v.x, v.y, v.x, v.y)) return;
    int pc = 0;
    if (newpen(c, pc)) filled(s, layer, corners, pc);
}

} // namespace

// --- mapping ---------------------------------------------------------------------

void window(Sim& s, int tn, float x1, float x2, float y1, float y2, float xmin, float xmax,
            float ymin, float ymax) {
    win(s, tn, kWinXMin, kPixelBox) = x1;
    win(s, tn, kWinYMin, kPixelBox) = y1;
    win(s, tn, kWinXMax, kPixelBox) = x2;
    win(s, tn, kWinYMax, kPixelBox) = y2;
    win(s, tn, kWinXExt, kPixelBox) = x2 - x1;
    win(s, tn, kWinYExt, kPixelBox) = y2 - y1;
    win(s, tn, kWinXMin, kWorldBox) = xmin;
    win(s, tn, kWinYMin, kWorldBox) = ymin;
    win(s, tn, kWinXMax, kWorldBox) = xmax;
    win(s, tn, kWinYMax, kWorldBox) = ymax;
    win(s, tn, kWinXExt, kWorldBox) = xmax - xmin;
    win(s, tn, kWinYExt, kWorldBox) = ymax - ymin;
}

bool transform(const Sim& s, int tn, float xin0, float yin0, float& xout, float& yout) {
    return map_point(s, tn, kWorldBox, kPixelBox, xin0, yin0, xout, yout);
}

bool reverse(const Sim& s, int tn, float xin0, float yin0, float& xout, float& yout) {
    return map_point(s, tn, kPixelBox, kWorldBox, xin0, yin0, xout, yout);
}

void chkpnt(const Sim& s, int tn, float x1, float y1, int& flag) {
    if (win(s, tn, kWinXMin, kWorldBox) < x1 && x1 < win(s, tn, kWinXMax, kWorldBox) &&
        win(s, tn, kWinYMin, kWorldBox) < y1 && y1 < win(s, tn, kWinYMax, kWorldBox))
        ++flag;
}

bool newpen(int cin, int& cout) {
    if (cin < 0 || cin >= kPens) {
#ifdef VELM_CHECKED
        detail::bad_index("pen", 1, cin, 0, kPens - 1);
#endif
        return false;
    }
    cout = kPenColour[static_cast<std::size_t>(cin)];
    return true;
}

// --- calls into the bridge ----------------------------------------------------------

void clearscrn(Sim& s) {
    if (s.draw != nullptr) s.draw->clear_drawing_area(Layer::moving);
}
void clearscrn_fixed(Sim& s) {
    if (s.draw != nullptr) s.draw->clear_drawing_area(Layer::fixed);
}
void clearscrn_devices(Sim& s) {
    if (s.draw == nullptr) return;
    s.draw->clear_drawing_area(Layer::devices);
    s.graphing.devices_shown.clear();
}
void plot_c(Sim& s, float x1, float y1, float x2, float y2, int col) {
    if (s.draw != nullptr) s.draw->draw_line(Layer::moving, x1, y1, x2, y2, kLineWidth, col);
}
void plot_c_f(Sim& s, float x1, float y1, float x2, float y2, int col) {
    if (s.draw != nullptr) s.draw->draw_line(Layer::fixed, x1, y1, x2, y2, kLineWidth, col);
}
void setpix(Sim& s, float x1, float x2, int c) {
    if (s.draw != nullptr) s.draw->draw_point(Layer::moving, x1, x2, c);
}
void setpix_f(Sim& s, float x1, float x2, int c) {
    if (s.draw != nullptr) s.draw->draw_point(Layer::fixed, x1, x2, c);
}
void circle(Sim& s, float x1, float x2, float r, int col) {
    if (s.draw != nullptr) s.draw->draw_circle(Layer::moving, x1, x2, r, col);
}
void circle_f(Sim& s, float x1, float x2, float r, int col) {
    if (s.draw != nullptr) s.draw->draw_circle(Layer::fixed, x1, x2, r, col);
}
void fill(Sim& s, std::span<const PixelPoint> points, int c) {
    if (s.draw != nullptr) bridge_polygon(s, Layer::moving, points, c);
}
void fill_f(Sim& s, std::span<const PixelPoint> points, int c) {
    if (s.draw != nullptr) bridge_polygon(s, Layer::fixed, points, c);
}

// --- shapes ---------------------------------------------------------------------------

void line(Sim& s, int tn, float x1, float y1, float x2, float y2, float, int col) {
    line_on(s, Layer::moving, tn, x1, y1, x2, y2, col);
}
void line_f(Sim& s, int tn, float x1, float y1, float x2, float y2, float, int col) {
    line_on(s, Layer::fixed, tn, x1, y1, x2, y2, col);
}
void mline(Sim& s, int tn, float x1, float y1, float x2, float y2, float thi, int col, int) {
    if (in_square(s, x1, y1) || in_square(s, x2, y2)) line(s, tn, x1, y1, x2, y2, thi, col);
}
void dline(Sim& s, int tn, float x1, float y1, float x2, float y2, float, int col, int nsteps,
           float fract) {
    dline_on(s, Layer::moving, tn, x1, y1, x2, y2, col, nsteps, fract);
}
void dline_f(Sim& s, int tn, float x1, float y1, float x2, float y2, float, int col, int nsteps,
             float fract) {
    dline_on(s, Layer::fixed, tn, x1, y1, x2, y2, col, nsteps, fract);
}
void marker(Sim& s, int tn, float x1, float y1, int mt, float ms, int c) {
    marker_on(s, Layer::moving, tn, x1, y1, mt, ms, c);
}
void marker_f(Sim& s, int tn, float x1, float y1, int mt, float ms, int c) {
    marker_on(s, Layer::fixed, tn, x1, y1, mt, ms, c);
}
void dxmarker(Sim& s, int tn, float x1, float y1, float dx, float dy, float& k, int mt, float ms,
              int c) {
    dxmarker_on(s, Layer::moving, tn, x1, y1, dx, dy, k, mt, ms, c);
}
void dxmarker_f(Sim& s, int tn, float x1, float y1, float dx, float dy, float& k, int mt, float ms,
                int c) {
    dxmarker_on(s, Layer::fixed, tn, x1, y1, dx, dy, k, mt, ms, c);
}
void dxarrow(Sim& s, int tn, float x1, float y1, float dx, float dy, float, int mt, float ms,
             int c) {
    dxarrow_on(s, Layer::moving, tn, x1, y1, dx, dy, mt, ms, c);
}
void dxarrow_f(Sim& s, int tn, float x1, float y1, float dx, float dy, float, int mt, float ms,
               int c) {
    dxarrow_on(s, Layer::fixed, tn, x1, y1, dx, dy, mt, ms, c);
}
void marker_d(Sim& s, int tn, float x1, float y1, int mt, float ms, int c) {
    marker_on(s, Layer::devices, tn, x1, y1, mt, ms, c);
}
void dxarrow_d(Sim& s, int tn, float x1, float y1, float dx, float dy, int mt, float ms, int c) {
    dxarrow_on(s, Layer::devices, tn, x1, y1, dx, dy, mt, ms, c);
}
void disc_d(Sim& s, int tn, float x1, float y1, float ms, int c) {
    if (s.draw == nullptr || !in_square(s, x1, y1)) return;
    Symbol sym;
    int    pc = 0;
    if (symbol_at(s, tn, x1, y1, ms, sym) && newpen(c, pc))
        s.draw->draw_disc(Layer::devices, sym.c.x, sym.c.y, sym.sx, pc);
}
void erase_d(Sim& s, int tn, float x1, float y1, float ms) {
    if (s.draw == nullptr) return;
    Symbol sym;
    if (!symbol_at(s, tn, x1, y1, ms, sym)) return;
    // Half a line width and antialiasing beyond the symbol's own extent.
    constexpr float kMargin = 2.0f;
    const float     hx = std::abs(sym.sx) + kMargin, hy = std::abs(sym.sy) + kMargin;
    s.draw->clear_box(Layer::devices, sym.c.x - hx, sym.c.y - hy, sym.c.x + hx, sym.c.y + hy);
}
void fillbox(Sim& s, int tn, float a1, float b1, float a2, float b2, float a4, float b4, float a3,
             float b3, int c) {
    fillbox_on(s, Layer::moving, tn, {a1, b1}, {a2, b2}, {a3, b3}, {a4, b4}, c);
}
void fillbox_f(Sim& s, int tn, float a1, float b1, float a2, float b2, float a4, float b4, float a3,
               float b3, int c) {
    fillbox_on(s, Layer::fixed, tn, {a1, b1}, {a2, b2}, {a3, b3}, {a4, b4}, c);
}
void text(Sim&, int, float, float, std::string_view, float, int, float, int) {}

// --- the rest of the family -------------------------------------------------------------

void box(Sim& s, int tn, float xmin, float ymin, float xmax, float ymax, int c) {
    line(s, tn, xmin, ymin, xmax, ymin, kLineWidth, c);
    line(s, tn, xmax, ymin, xmax, ymax, kLineWidth, c);
    line(s, tn, xmax, ymax, xmin, ymax, kLineWidth, c);
    line(s, tn, xmin, ymax, xmin, ymin, kLineWidth, c);
}

void abox(Sim& s, int tn, float xcen, float ycen, float size, float asp, float dx, float dy) {
    const Vec                C{xcen, ycen};
    const Vec                u = (0.5f * size) * Vec{dx, dy};
    const Vec                n = (0.5f * size * asp) * Vec{-dy, dx};
    const std::array<Vec, 4> c = {C + u + n, C - u + n, C - u - n, C + u - n};
    for (std::size_t i = 0; i < c.size(); ++i) {
        const Vec a = c[i], b = c[(i + 1) % c.size()];
        line(s, tn, a.x, a.y, b.x, b.y, kLineWidth, kOutlinePen);
    }
}

void croshair(Sim& s, int tn, float xmin, float ymin, float xmax, float ymax, int c) {
    const float xl = xmin + 0.45f * (xmax - xmin), xh = xmin + 0.55f * (xmax - xmin);
    const float yl = ymin + 0.45f * (ymax - ymin), yh = ymin + 0.55f * (ymax - ymin);
    const float xc = 0.5f * (xmin + xmax), yc = 0.5f * (ymin + ymax);
    line(s, tn, xl, yc, xh, yc, kLineWidth, c);
    line(s, tn, xc, yl, xc, yh, kLineWidth, c);
}

void fillin(Sim& s, int tn, float xmin, float ymin, float xmax, float ymax, int c) {
    if (s.draw == nullptr) return;
    std::array<Vec, 4> corners = {Vec{xmin, ymin}, Vec{xmax, ymin}, Vec{xmax, ymax},
                                  Vec{xmin, ymax}};
    for (Vec& v : corners)
        if (!transform(s, tn, v.x, v.y, v.x, v.y)) return;
    int pc = 0;
    if (newpen(c, pc)) filled(s, Layer::moving, corners, pc);
}

void markers(Sim& s, int tn, std::span<const float> x, std::span<const float> y, int, float,
             int c) {
    int pc = 0;
    if (s.draw == nullptr || !newpen(c, pc)) return;
    for (std::size_t i = 0; i < x.size() && i < y.size(); ++i) {
        float px = 0, py = 0;
        if (x[i] > 0.0f && transform(s, tn, x[i], y[i], px, py)) setpix(s, px, py, pc);
    }
}

// Per-element pens and text heights are not kept: every caller names its pen.
void setcolor(Sim&) {}

void plot_c_empty(Sim& s, float x1, float y1, float x2, float y2, int col) {
    if (s.draw != nullptr) s.draw->draw_line(Layer::moving, x1, y1, x2, y2, 0.0f, col);
}

void getpix(Sim&, float, float, int& c) {
    c = 1;
}

// The cursor of the older interface: nothing to move.
void mov_cur(Sim&, float, float) {}
void shf_cur(Sim&, float, float, float, float) {}
void textplot(Sim&) {}
void findmouse(Sim&) {}
void rnewpen(Sim&) {}
void plot(Sim&) {}

} // namespace velm
