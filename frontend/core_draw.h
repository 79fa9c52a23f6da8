#pragma once
// The three drawing layers the core paints (fixed: the network; devices:
// signal heads, signs, detectors, meter lights; moving: vehicles and
// highlights), their palette and the
// primitives the core calls. Positions arrive in the core's pixels, y upward
// from the bottom edge, and are flipped to the image's rows (H - y). Every
// primitive holds the drawing lock for one whole shape, so a frame composed
// on the main thread shows only whole shapes.
#include "core/display/drawing_bridge.h"

#include <cairo.h>

#include <span>

namespace velm::gui {

inline constexpr int kDrawWidth = 640; // drawing area and layers at start, pixels
inline constexpr int kDrawHeight = 480;
inline constexpr int kResolutions = 8;

struct Rgb {
    double red = 0, green = 0, blue = 0; // 0..1
};

// The layers and their sizes; every access holds the drawing lock.
struct iin_data {
    int              nii_draw_width = kDrawWidth;
    int              nii_draw_height = kDrawHeight;
    Rgb              nii_colors[kPaletteColours] = {};
    int              default_resolutions[kResolutions][2] = {};
    cairo_t*         internal_drawing_surface = nullptr;       // context of the moving layer
    cairo_t*         fixed_internal_drawing_surface = nullptr; // context of the fixed layer
    cairo_surface_t* nii_drawing = nullptr;                    // the moving layer (ARGB32)
    cairo_surface_t* network_drawing_surface = nullptr;        // the fixed layer (ARGB32)
    cairo_t*         devices_context = nullptr;                // context of the devices layer
    cairo_surface_t* devices_surface = nullptr;                // the devices layer (ARGB32)
};

// Fills the palette and the resolution pairs and sets the layer size.
void Init_iin_data(iin_data& data, int width, int height);

class DrawingLayers {
  public:
    // Transparent layers of the given size.
    DrawingLayers(int width = kDrawWidth, int height = kDrawHeight);
    ~DrawingLayers();
    DrawingLayers(const DrawingLayers&) = delete;
    DrawingLayers& operator=(const DrawingLayers&) = delete;

    // --- the core's primitives (any thread) ----------------------------------
    void clear_drawing_area(Layer layer);
    void clear_box(Layer layer, float x0, float y0, float x1, float y1);
    void draw_point(Layer layer, float x, float y, int colour);
    void draw_disc(Layer layer, float xc, float yc, float radius, int colour);
    void draw_circle(Layer layer, float xc, float yc, float radius, int colour);
    void draw_line(Layer layer, float x1, float y1, float x2, float y2, float width, int colour);
    void draw_polygone_a(Layer layer, int colour, std::span<const PixelPoint> points);
    void draw_rectangle(Layer layer, float xc, float yc, float width, float height, int line_width,
                        int colour);
    void draw_rectangle_fill(Layer layer, float xc, float yc, float width, float height,
                             int colour);
    void return_drawing_area_sizes(float& width, float& height);

    // --- layer management (main thread; each holds the drawing lock) -----------
    // Replaces both layers by empty ones of the new size under one hold of the
    // lock, so no primitive meets a destroyed layer.
    void replace(int width, int height);
    // Empty layers of the current size.
    void clear_drawing();
    void drawing_area_set_sizes(int width, int height);
    void sizes(int& width, int& height);
    // Paints a layer at (0, 0) into cr under the drawing lock.
    void paint(cairo_t* cr, Layer layer);
    // Calls fn(fixed layer, moving layer) under one hold of the drawing lock.
    template <class Fn> void with_layers(Fn fn);
    // Calls fn(fixed, devices, moving layer) under one hold of the drawing lock.
    template <class Fn> void with_all_layers(Fn fn);

    // Primitive calls so far (for the window tests).
    long calls() const;

  private:
    // Without the lock held by the caller.
    void             init_drawing();
    void             end_drawing();
    cairo_t*         context(Layer layer) const;
    cairo_surface_t* surface(Layer layer) const;
    // Sets the palette colour and starts a fresh path; false for a bad colour.
    bool begin(cairo_t* cr, int colour);
    void arc(Layer layer, float xc, float yc, float radius, int colour, bool fill, double width);

    iin_data iin_main_data;
    long     calls_ = 0; // guarded by the drawing lock
};

} // namespace velm::gui

#include "frontend/locks.h"

namespace velm::gui {
template <class Fn> void DrawingLayers::with_layers(Fn fn) {
    Held held(LockId::drawing, "with_layers");
    fn(surface(Layer::fixed), surface(Layer::moving));
}
template <class Fn> void DrawingLayers::with_all_layers(Fn fn) {
    Held held(LockId::drawing, "with_all_layers");
    fn(surface(Layer::fixed), surface(Layer::devices), surface(Layer::moving));
}
} // namespace velm::gui
