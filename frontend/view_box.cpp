#include "frontend/view_box.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm::gui {

namespace {

gui_box area_box(gui_point area) {
    return {{0, 0}, {float(area.x), float(area.y)}};
}

// The larger of a share of a box side (truncated toward zero) and a floor.
float share_of_side(float a, float b, float share, float floor) {
    return std::max(share * std::fabs(std::trunc(a - b)), floor);
}

// The zoom keys act only on a centre strictly inside the drawing area.
bool strictly_inside(gui_point area, point_float p) {
    return p.x > 0 && p.x < float(area.x) && p.y > 0 && p.y < float(area.y);
}

} // namespace

float linear_mapping(float value, float from_min, float from_max, float to_min, float to_max) {
    return (to_max - to_min) * (value - from_min) / (from_max - from_min) + to_min;
}

point_float box_map(point_float p, const gui_box& from, const gui_box& to) {
    return {linear_mapping(p.x, from.top.x, from.bottom.x, to.top.x, to.bottom.x),
            linear_mapping(p.y, from.top.y, from.bottom.y, to.top.y, to.bottom.y)};
}

void zoom_out_full(gui_point area, gui_box& out) {
    out = area_box(area);
}

void zoom_box_to_screen_applied_to_a_box(gui_point area, const gui_box& zoom, gui_box& out,
                                         const gui_box& box) {
    const gui_box screen = area_box(area);
    out = {box_map(box.top, zoom, screen), box_map(box.bottom, zoom, screen)};
}

void shrink_box_to_screen_applied_to_box(gui_point area, const gui_box& outer, gui_box& out,
                                         const gui_box& box) {
    // The same map as a zoom: only the box is larger than the area.
    zoom_box_to_screen_applied_to_a_box(area, outer, out, box);
}

void zoom_box_to_screen(gui_point area, const gui_box& zoom, gui_box& out) {
    zoom_box_to_screen_applied_to_a_box(area, zoom, out, area_box(area));
}

void zoom_box_to_box(const gui_box& zoom, const gui_box& box, gui_box& out) {
    out = {box_map(box.top, zoom, box), box_map(box.bottom, zoom, box)};
}

bool key_zoom_in_applied_to_box(gui_point area, point_float centre, const gui_box& view,
                                gui_box& out) {
    if (!strictly_inside(area, centre)) return false;
    const float w = float(area.x), h = float(area.y);
    // A box of the area's shape, so both axes are zoomed alike: its half-sides
    // are the same share of the area's sides, half the share of the nearest edge.
    float share =
        0.5f * std::min(std::min(centre.x, w - centre.x) / w, std::min(centre.y, h - centre.y) / h);
    share = std::max(share, kMinZoomHalf / std::min(w, h));
    const float   hx = share * w, hy = share * h;
    const float   cy = h - centre.y; // the centre in the core's convention
    const gui_box zoom{{centre.x - hx, cy - hy}, {centre.x + hx, cy + hy}};
    zoom_box_to_screen_applied_to_a_box(area, zoom, out, view);
    return true;
}

void clamp_to_area(gui_point area, gui_box& box) {
    box.top.x = std::min(box.top.x, 0.0f);
    box.top.y = std::min(box.top.y, 0.0f);
    box.bottom.x = std::max(box.bottom.x, float(area.x));
    box.bottom.y = std::max(box.bottom.y, float(area.y));
}

bool key_zoom_out_applied_to_box(gui_point area, point_float centre, const gui_box& view,
                                 gui_box& out) {
    if (!strictly_inside(area, centre)) return false;
    const float   w = float(area.x), h = float(area.y);
    const float   tx = share_of_side(view.top.x, view.bottom.x, kZoomOutShare, kMinZoomStep);
    const float   ty = share_of_side(view.top.y, view.bottom.y, kZoomOutShare, kMinZoomStep);
    const gui_box outer{{-tx, -ty}, {w + tx, h + ty}};
    shrink_box_to_screen_applied_to_box(area, outer, out, view);
    clamp_to_area(area, out);
    return true;
}

void motion_key_applied_to_box(gui_point area, const gui_box& view, gui_box& out,
                               PanDirection direction) {
    const float s = std::min(share_of_side(view.top.y, view.bottom.y, kPanShare, kMinPanStep),
                             share_of_side(view.top.x, view.bottom.x, kPanShare, kMinPanStep));
    out = view;
    switch (direction) {
    case PanDirection::up:
        out.top.y += s, out.bottom.y += s;
        break;
    case PanDirection::down:
        out.top.y -= s, out.bottom.y -= s;
        break;
    case PanDirection::left:
        out.top.x += s, out.bottom.x += s;
        break;
    case PanDirection::right:
        out.top.x -= s, out.bottom.x -= s;
        break;
    }
    clamp_to_area(area, out);
}

gui_point clamp_to_area(gui_point area, double x, double y) {
    const auto clamp = [](double v, int hi) {
        return std::clamp(static_cast<int>(std::trunc(std::clamp(v, -1e9, 1e9))), 0, hi);
    };
    return {clamp(x, area.x), clamp(y, area.y)};
}

DragOutcome drag_outcome(gui_point area, gui_point origin, gui_point release) {
    DragOutcome d;
    if (origin.x < 0 || origin.y < 0 || release.x < 0 || release.y < 0) return d;
    const int dx = std::abs(release.x - origin.x), dy = std::abs(release.y - origin.y);
    if (dx > kClickSlack && dy > kClickSlack) {
        // Ordered corners, so a drag to the left or upward does not mirror the view.
        const float h = float(area.y);
        d.kind = DragOutcome::zoom;
        gui_box b{{float(std::min(origin.x, release.x)), h - float(std::max(origin.y, release.y))},
                  {float(std::max(origin.x, release.x)), h - float(std::min(origin.y, release.y))}};
        // Widened about its middle to the area's shape: both axes are zoomed alike.
        const float aspect = float(area.x) / h;
        const float bw = b.bottom.x - b.top.x, bh = b.bottom.y - b.top.y;
        if (bw < aspect * bh) {
            const float grow = (aspect * bh - bw) / 2.0f;
            b.top.x -= grow, b.bottom.x += grow;
        } else {
            const float grow = (bw / aspect - bh) / 2.0f;
            b.top.y -= grow, b.bottom.y += grow;
        }
        d.zoom_box = b;
    } else if (dx <= kClickSlack && dy <= kClickSlack) {
        d.kind = DragOutcome::centring;
        d.centre = {(origin.x + release.x) / 2.0f, (origin.y + release.y) / 2.0f};
    }
    return d;
}

} // namespace velm::gui
