#pragma once
// What the desktop program shows of a run: the two drawing layers the core
// paints, the user overlay on which the window draws its own marks, the view
// box onto which the core maps its network window, the composition of the
// three into the drawing area, its reallocation on a resize, screen shots and
// periodic snapshots. The View is the core's drawing bridge.
//
// Locks: the layers under the drawing lock (inside DrawingLayers), the overlay
// under the GUI lock, the view box and zoom centre under the zoom lock, the
// screen-sized surface under its own lock. Overlay positions count y downward
// from the top of the drawing area, as the toolkit does.
#include "core/display/drawing_bridge.h"
#include "frontend/core_draw.h"

#include <atomic>
#include <ctime>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <string>

namespace velm::gui {

inline constexpr int kOverlayColourCount = 5; // red, blue, green, yellow, grey
// User overlay colours, 0..255.
inline constexpr int kOverlayColours[kOverlayColourCount][3] = {
    {244, 67, 54}, {33, 150, 243}, {76, 175, 80}, {255, 235, 59}, {158, 158, 158}};

struct gui_point {
    int x = 0;
    int y = 0;
};
struct point_float {
    float x = 0;
    float y = 0;
};
struct gui_box {
    point_float top;
    point_float bottom;
};

// "YYYYmmdd_HHMMSS_<what>_<number>.png" of a local time.
std::string shot_name(const std::tm& local, const char* what, int number);

// A transparent ARGB32 image and its drawing context.
struct Canvas {
    cairo_surface_t* surface = nullptr;
    cairo_t*         cr = nullptr;
    void             create(int width, int height);
    void             destroy();
    void             clear();
};

class View final : public DrawingBridge {
  public:
    View();
    ~View() override;
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // --- the core's drawing bridge (core or main thread) ----------------------
    void clear_drawing_area(Layer layer) override { layers.clear_drawing_area(layer); }
    void clear_box(Layer layer, float x0, float y0, float x1, float y1) override {
        layers.clear_box(layer, x0, y0, x1, y1);
    }
    void draw_point(Layer layer, float x, float y, int colour) override {
        layers.draw_point(layer, x, y, colour);
    }
    void draw_disc(Layer layer, float xc, float yc, float radius, int colour) override {
        layers.draw_disc(layer, xc, yc, radius, colour);
    }
    void draw_circle(Layer layer, float xc, float yc, float radius, int colour) override {
        layers.draw_circle(layer, xc, yc, radius, colour);
    }
    void draw_line(Layer layer, float x1, float y1, float x2, float y2, float width,
                   int colour) override {
        layers.draw_line(layer, x1, y1, x2, y2, width, colour);
    }
    void draw_polygone_a(Layer layer, int colour, std::span<const PixelPoint> points) override {
        layers.draw_polygone_a(layer, colour, points);
    }
    void draw_rectangle(Layer layer, float xc, float yc, float width, float height, int line_width,
                        int colour) override {
        layers.draw_rectangle(layer, xc, yc, width, height, line_width, colour);
    }
    void draw_rectangle_fill(Layer layer, float xc, float yc, float width, float height,
                             int colour) override {
        layers.draw_rectangle_fill(layer, xc, yc, width, height, colour);
    }
    void return_drawing_area_sizes(float& width, float& height) override {
        layers.return_drawing_area_sizes(width, height);
    }
    // The view box under the zoom lock.
    void get_virtual_screen(float& x0, float& y0, float& x1, float& y1) override;
    // Posts the repaint through the poster (nothing when none is set). The
    // core asks at the end of every tick: while a posted repaint has not yet
    // run, no other is posted.
    void redraw_drawing_area() override;
    // How a repaint reaches the main loop; set before any run starts. The
    // posted task calls redraw_taken() before it asks for the repaint.
    void set_redraw_poster(std::function<void()> post) { redraw_poster_ = std::move(post); }
    void redraw_taken() { redraw_queued_.store(false); }

    // --- the view box -------------------------------------------------------------
    gui_box     view_box();
    void        set_view_box(const gui_box& box);
    point_float center_of_zoom();
    // Calls fn(view box, zoom centre) under one hold of the zoom lock; fn
    // takes no other view lock.
    void edit_view(const std::function<void(gui_box&, point_float&)>& fn);
    // The view box to the whole drawing area (a run's start).
    void reset_view();

    // --- the drawing area (main thread) ---------------------------------------------
    // Fixed layer, moving layer and overlay into cr, scaled from the layer size
    // to the drawing area's (width x height).
    void compose(cairo_t* cr, int width, int height);
    void compose(cairo_t* cr) { compose(cr, draw_width_.load(), draw_height_.load()); }
    // A size allocation of the drawing area: scales the view box and
    // reallocates the layers, the overlay and the screen-sized surface. An
    // allocation with a zero side changes nothing.
    void my_getsize(int width, int height);
    // Replaces the layers and the overlay when the size differs from the last one.
    void      reallocate_drawing_area(int width, int height);
    int       drawing_width() const { return draw_width_.load(); }
    int       drawing_height() const { return draw_height_.load(); }
    gui_point drawing_window_size() const { return {draw_width_.load(), draw_height_.load()}; }

    // --- the user overlay (GUI lock) ---------------------------------------------------
    void init_drawing_user_surface();
    void end_drawing_user_surface();
    void clear_user_surface();
    void draw_rectangle_user_surface(double x, double y, double width, double height, int colour);
    void draw_rectangle_user_surface_a(double x, double y, double width, double height,
                                       double line_width, int colour);
    void draw_circle_user_surface(double xc, double yc, double radius, double line_width,
                                  int colour);
    void draw_line_user_surface(double x1, double y1, double x2, double y2, double line_width,
                                int colour);
    // The mark of a click centre: a circle of radius 10 and a cross of 40.
    void draw_zoom_cross(point_float p, int colour);
    // The mark of a "Center On" centre: a 20 x 20 square and the same cross.
    void draw_zoom_cross_r(point_float p, int colour);
    // Paints the overlay into cr under the GUI lock.
    void paint_overlay(cairo_t* cr);

    // --- the screen-sized surface ----------------------------------------------------------
    void init_gui_screen_surface(int width, int height);
    void end_gui_screen_surface();
    void clear_gui_screen_surface();
    // Clears it, then paints the layers and the overlay into it.
    void update_screen_image();
    // Paints only it into cr.
    void on_draw_event_new(cairo_t* cr);
    void gui_drawing_area_sizes(float& width, float& height) const;

    // --- shots ---------------------------------------------------------------------------------
    // The network layer ("Network"), the devices and vehicle layers composed
    // ("Cars") and the user overlay ("User") as PNGs in the working directory, named from the local
    // time and the tick tick() returns (read under the drawing lock); a file
    // that cannot be written is reported on out and the others are still written.
    void screen_shot(const std::tm& local, const std::function<int()>& tick, std::ostream& out);
    // The fixed, devices and moving layers composed, unscaled, in an image of the
    // drawing area's size, as a PNG in folder; reported on out when it fails.
    void log_screen_shot(const std::filesystem::path& folder, const std::tm& local, int second,
                         std::ostream& out);

    DrawingLayers layers;

  private:
    bool overlay_colour(int colour, double rgb[3]) const;
    // Strokes the current path of the overlay's context in an overlay colour.
    template <class Path> void overlay_stroke(double line_width, int colour, Path path);

    std::atomic<int> draw_width_{kDrawWidth};
    std::atomic<int> draw_height_{kDrawHeight};
    // Layer size at the last reallocation (main thread).
    int old_width_ = kDrawWidth;
    int old_height_ = kDrawHeight;

    // The view (zoom lock).
    gui_box     virtual_screen_edges_{{0, 0}, {float(kDrawWidth), float(kDrawHeight)}};
    point_float center_of_zoom_{kDrawWidth / 2, kDrawHeight / 2};

    Canvas user_surface_;       // the user overlay (GUI lock)
    Canvas gui_screen_surface_; // the screen-sized surface (its own lock)

    std::function<void()> redraw_poster_;
    std::atomic<bool>     redraw_queued_{false};
};

} // namespace velm::gui
