#pragma once
// The view-box arithmetic behind zoom and pan, free of the toolkit. A view
// box and a zoom box are in the core's pixels (y counted upward from the
// bottom of the drawing area); the zoom centre and mouse positions are in the
// toolkit's (y downward from the top). `area` is the drawing area's size.
#include "frontend/view.h"

namespace velm::gui {

inline constexpr float kMinZoomHalf = 5.0f;   // least half-size of a key zoom box
inline constexpr float kMinZoomStep = 5.0f;   // least margin of a zoom out
inline constexpr float kMinPanStep = 5.0f;    // least pan step
inline constexpr float kZoomOutShare = 0.05f; // zoom-out margin: share of the box's size
inline constexpr float kPanShare = 0.01f;     // pan step: share of the box's size
inline constexpr int   kClickSlack = 10;      // a press and release this close are a click

// (to_max - to_min) (value - from_min) / (from_max - from_min) + to_min.
float linear_mapping(float value, float from_min, float from_max, float to_min, float to_max);
// A point through the map that takes box `from` onto box `to`, x and y each.
point_float box_map(point_float p, const gui_box& from, const gui_box& to);

// The whole drawing area as the view box.
void zoom_out_full(gui_point area, gui_box& out);
// Zoom in around the centre: the map that stretches a box of the area's shape
// around the centre (its half-sides half the centre's share of the distance to
// the nearest edge, never below kMinZoomHalf) onto the drawing area, applied
// to the view box. False (out unchanged) when
// the centre is not strictly inside the area.
bool key_zoom_in_applied_to_box(gui_point area, point_float centre, const gui_box& view,
                                gui_box& out);
// Zoom out: the view box shrunk toward the middle of the area, never smaller
// than the area. False (out unchanged) when the centre is not strictly inside.
bool key_zoom_out_applied_to_box(gui_point area, point_float centre, const gui_box& view,
                                 gui_box& out);
enum class PanDirection { up = 0, down = 1, left = 2, right = 3 };
// Pan by a step of about 1 % of the view box, then the zoom-out clamp.
void motion_key_applied_to_box(gui_point area, const gui_box& view, gui_box& out,
                               PanDirection direction);
// `box` through the map that stretches `zoom` onto the drawing area.
void zoom_box_to_screen_applied_to_a_box(gui_point area, const gui_box& zoom, gui_box& out,
                                         const gui_box& box);
// `box` through the map that squeezes `outer` onto the drawing area.
void shrink_box_to_screen_applied_to_box(gui_point area, const gui_box& outer, gui_box& out,
                                         const gui_box& box);
// The drawing area's corners through the map that stretches `zoom` onto it.
void zoom_box_to_screen(gui_point area, const gui_box& zoom, gui_box& out);
// `box` through the map that stretches `zoom` onto `box`.
void zoom_box_to_box(const gui_box& zoom, const gui_box& box, gui_box& out);
// The view box never leaves part of the area uncovered: x0, y0 not above 0,
// x1 not below the width, y1 not below the height.
void clamp_to_area(gui_point area, gui_box& box);

// A mouse position truncated to whole pixels and kept within 0..W, 0..H.
gui_point clamp_to_area(gui_point area, double x, double y);

// What a button-1 press and release do to the view.
struct DragOutcome {
    enum Kind { nothing, zoom, centring } kind = nothing;
    gui_box     zoom_box; // zoom: the dragged box, core pixels, corners ordered
    point_float centre;   // centre: the midpoint of press and release
};
// Press and release more than kClickSlack apart in both x and y zoom to the
// dragged box (whichever way it was dragged) widened about its middle to the
// area's shape; within kClickSlack in both they
// set the centre; otherwise, or without a press, nothing.
DragOutcome drag_outcome(gui_point area, gui_point origin, gui_point release);

} // namespace velm::gui
