#pragma once
// What the core draws through: two layers of the hosting program, painted in
// the core's pixels (x to the right, y upward from the bottom edge of the
// layers) with colours named by palette index. The desktop program paints
// them on screen; the console program has none (Sim::draw is null and every
// drawing routine returns at once); tests record the calls.
//
// Every call draws one whole shape; the implementation takes its own lock for
// it. Colours outside 0..kPaletteColours-1 draw nothing.
#include "core/model/array.h"

#include <span>

namespace velm {

inline constexpr int kPaletteColours = 31;

// The moving layer holds the vehicles where they are now and the highlights of
// a pick, and is cleared before every redraw of the vehicles; the fixed layer
// holds the network and the blocked lanes, and is redrawn when the view or the
// blocked lanes change; the devices layer holds the signal heads, signs,
// detector marks and ramp-meter lights, each drawn anew only when what it
// shows changes. They are shown fixed, devices, moving, bottom to top.
enum class Layer { moving, fixed, devices };

// True for a palette index; an index outside the palette is the caller's bug
// (the checked build stops there) and draws nothing.
inline bool palette_colour_ok(int colour) {
    if (colour >= 0 && colour < kPaletteColours) return true;
#ifdef VELM_CHECKED
    detail::bad_index("palette", 1, colour, 0, kPaletteColours - 1);
#endif
    return false;
}

struct PixelPoint {
    float x = 0.0f;
    float y = 0.0f;
};

class DrawingBridge {
  public:
    virtual ~DrawingBridge() = default;

    // Makes the whole layer transparent.
    virtual void clear_drawing_area(Layer layer) = 0;
    // Makes the box (x0, y0)-(x1, y1) of the layer transparent.
    virtual void clear_box(Layer layer, float x0, float y0, float x1, float y1) = 0;
    // A filled disc of radius 1 pixel.
    virtual void draw_point(Layer layer, float x, float y, int colour) = 0;
    virtual void draw_disc(Layer layer, float xc, float yc, float radius, int colour) = 0;
    // A circle outline 0.5 pixel wide.
    virtual void draw_circle(Layer layer, float xc, float yc, float radius, int colour) = 0;
    virtual void draw_line(Layer layer, float x1, float y1, float x2, float y2, float width,
                           int colour) = 0;
    // A filled polygon through the points in order, closed.
    virtual void draw_polygone_a(Layer layer, int colour, std::span<const PixelPoint> points) = 0;
    // An outline rectangle from corner (xc, yc), extending width to the right
    // and height downward on screen.
    virtual void draw_rectangle(Layer layer, float xc, float yc, float width, float height,
                                int line_width, int colour) = 0;
    virtual void draw_rectangle_fill(Layer layer, float xc, float yc, float width, float height,
                                     int colour) = 0;
    // The size of the layers in pixels.
    virtual void return_drawing_area_sizes(float& width, float& height) = 0;

    // The view box in layer pixels of the core's convention: the rectangle
    // onto which the core maps its network window.
    virtual void get_virtual_screen(float& x0, float& y0, float& x1, float& y1) = 0;
    // Asks the hosting program to put the layers on screen; returns at once.
    virtual void redraw_drawing_area() = 0;
};

} // namespace velm
