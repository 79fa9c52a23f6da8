#include "frontend/view.h"

#include "frontend/locks.h"

#include <cstdio>
#include <numbers>
#include <ostream>

namespace velm::gui {

namespace {

constexpr double kOverlayLineWidth = 2.0;
constexpr double kCrossArm = 20.0;    // half-length of the zoom cross's lines
constexpr double kCrossRadius = 10.0; // circle of the click mark
constexpr double kCrossSquare = 20.0; // square of the "Center On" mark

cairo_surface_t* new_surface(int width, int height) {
    return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
}

void clear(cairo_t* cr) {
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
}

bool write_png(cairo_surface_t* surface, const std::string& name) {
    return cairo_surface_write_to_png(surface, name.c_str()) == CAIRO_STATUS_SUCCESS;
}

} // namespace

void Canvas::create(int width, int height) {
    surface = new_surface(width, height);
    cr = cairo_create(surface);
}

void Canvas::destroy() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    cr = nullptr;
    surface = nullptr;
}

void Canvas::clear() {
    velm::gui::clear(cr);
}

std::string shot_name(const std::tm& local, const char* what, int number) {
    char name[160];
    std::snprintf(name, sizeof name, "%04i%02i%02i_%02i%02i%02i_%s_%d.png", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, what,
                  number);
    return name;
}

View::View() {
    init_drawing_user_surface();
    init_gui_screen_surface(kDrawWidth, kDrawHeight);
}

View::~View() {
    end_gui_screen_surface();
    end_drawing_user_surface();
}

// --- the core's bridge ------------------------------------------------------------

void View::get_virtual_screen(float& x0, float& y0, float& x1, float& y1) {
    Held held(LockId::zoom, "get_virtual_screen");
    x0 = virtual_screen_edges_.top.x;
    y0 = virtual_screen_edges_.top.y;
    x1 = virtual_screen_edges_.bottom.x;
    y1 = virtual_screen_edges_.bottom.y;
}

void View::redraw_drawing_area() {
    if (!redraw_poster_ || redraw_queued_.exchange(true)) return;
    redraw_poster_();
}

// --- the view box ---------------------------------------------------------------------

gui_box View::view_box() {
    Held held(LockId::zoom, "view_box");
    return virtual_screen_edges_;
}

void View::set_view_box(const gui_box& box) {
    Held held(LockId::zoom, "set_view_box");
    virtual_screen_edges_ = box;
}

point_float View::center_of_zoom() {
    Held held(LockId::zoom, "center_of_zoom");
    return center_of_zoom_;
}

void View::edit_view(const std::function<void(gui_box&, point_float&)>& fn) {
    Held held(LockId::zoom, "edit_view");
    fn(virtual_screen_edges_, center_of_zoom_);
}

void View::reset_view() {
    set_view_box({{0, 0}, {float(draw_width_.load()), float(draw_height_.load())}});
}

// --- the drawing area ---------------------------------------------------------------------

void View::compose(cairo_t* cr, int width, int height) {
    int layer_w = 0, layer_h = 0;
    layers.sizes(layer_w, layer_h);
    cairo_save(cr);
    cairo_scale(cr, double(width) / layer_w, double(height) / layer_h);
    layers.paint(cr, Layer::fixed);
    layers.paint(cr, Layer::devices);
    layers.paint(cr, Layer::moving);
    paint_overlay(cr);
    cairo_restore(cr);
}

void View::my_getsize(int width, int height) {
    // A collapsed area keeps its last view: scaling would divide by zero later.
    if (width <= 0 || height <= 0) return;
    const int old_w = draw_width_.exchange(width);
    const int old_h = draw_height_.exchange(height);
    {
        Held        held(LockId::zoom, "my_getsize");
        auto&       v = virtual_screen_edges_;
        const float fx = float(width) / float(old_w), fy = float(height) / float(old_h);
        v.top.x *= fx, v.bottom.x *= fx;
        v.top.y *= fy, v.bottom.y *= fy;
        // The zoom centre keeps its place in the area.
        center_of_zoom_.x *= fx, center_of_zoom_.y *= fy;
    }
    reallocate_drawing_area(width, height);
    end_gui_screen_surface();
    init_gui_screen_surface(width, height);
}

void View::reallocate_drawing_area(int width, int height) {
    if (width == old_width_ && height == old_height_) return;
    draw_debug_write_to_console("Entering Resize ...\n");
    layers.replace(width, height);
    end_drawing_user_surface();
    init_drawing_user_surface();
    old_width_ = width;
    old_height_ = height;
}

void View::gui_drawing_area_sizes(float& width, float& height) const {
    width = float(draw_width_.load());
    height = float(draw_height_.load());
}

// --- the user overlay ---------------------------------------------------------------------

void View::init_drawing_user_surface() {
    Held held(LockId::gui, "init_drawing_user_surface");
    user_surface_.create(draw_width_.load(), draw_height_.load());
}

void View::end_drawing_user_surface() {
    Held held(LockId::gui, "end_drawing_user_surface");
    user_surface_.destroy();
}

void View::clear_user_surface() {
    Held held(LockId::gui, "clear_user_surface");
    user_surface_.clear();
}

bool View::overlay_colour(int colour, double rgb[3]) const {
    if (colour < 0 || colour >= kOverlayColourCount) return false;
    for (int k = 0; k < 3; ++k) rgb[k] = kOverlayColours[colour][k] / 255.0;
    return true;
}

template <class Path> void View::overlay_stroke(double line_width, int colour, Path path) {
    double rgb[3];
    if (!overlay_colour(colour, rgb)) return;
    Held     held(LockId::gui, "user_surface");
    cairo_t* cr = user_surface_.cr;
    cairo_set_source_rgb(cr, rgb[0], rgb[1], rgb[2]);
    cairo_set_line_width(cr, line_width);
    cairo_new_path(cr);
    path(cr);
    cairo_stroke(cr);
}

void View::draw_rectangle_user_surface(double x, double y, double width, double height,
                                       int colour) {
    draw_rectangle_user_surface_a(x, y, width, height, kOverlayLineWidth, colour);
}

void View::draw_rectangle_user_surface_a(double x, double y, double width, double height,
                                         double line_width, int colour) {
    overlay_stroke(line_width, colour,
                   [&](cairo_t* cr) { cairo_rectangle(cr, x, y, width, height); });
}

void View::draw_circle_user_surface(double xc, double yc, double radius, double line_width,
                                    int colour) {
    overlay_stroke(line_width, colour,
                   [&](cairo_t* cr) { cairo_arc(cr, xc, yc, radius, 0, 2 * std::numbers::pi); });
}

void View::draw_line_user_surface(double x1, double y1, double x2, double y2, double line_width,
                                  int colour) {
    overlay_stroke(line_width, colour, [&](cairo_t* cr) {
        cairo_move_to(cr, x1, y1);
        cairo_line_to(cr, x2, y2);
    });
}

void View::draw_zoom_cross(point_float p, int colour) {
    draw_circle_user_surface(p.x, p.y, kCrossRadius, kOverlayLineWidth, colour);
    draw_line_user_surface(p.x - kCrossArm, p.y, p.x + kCrossArm, p.y, kOverlayLineWidth, colour);
    draw_line_user_surface(p.x, p.y - kCrossArm, p.x, p.y + kCrossArm, kOverlayLineWidth, colour);
}

void View::draw_zoom_cross_r(point_float p, int colour) {
    draw_rectangle_user_surface(p.x - kCrossSquare / 2, p.y - kCrossSquare / 2, kCrossSquare,
                                kCrossSquare, colour);
    draw_line_user_surface(p.x - kCrossArm, p.y, p.x + kCrossArm, p.y, kOverlayLineWidth, colour);
    draw_line_user_surface(p.x, p.y - kCrossArm, p.x, p.y + kCrossArm, kOverlayLineWidth, colour);
}

void View::paint_overlay(cairo_t* cr) {
    Held held(LockId::gui, "on_draw_event");
    cairo_set_source_surface(cr, user_surface_.surface, 0, 0);
    cairo_paint(cr);
}

// --- the screen-sized surface -----------------------------------------------------------------

void View::init_gui_screen_surface(int width, int height) {
    Held held(LockId::gui_screen, "init_gui_screen_surface");
    gui_screen_surface_.create(width, height);
}

void View::end_gui_screen_surface() {
    Held held(LockId::gui_screen, "end_gui_screen_surface");
    gui_screen_surface_.destroy();
}

void View::clear_gui_screen_surface() {
    Held held(LockId::gui_screen, "clear_gui_screen_surface");
    gui_screen_surface_.clear();
}

void View::update_screen_image() {
    // Drawn first into an image of its own, so no other lock is taken while
    // the screen surface's is held.
    cairo_surface_t* frame = new_surface(draw_width_.load(), draw_height_.load());
    cairo_t*         cr = cairo_create(frame);
    compose(cr);
    cairo_destroy(cr);
    {
        Held held(LockId::gui_screen, "update_screen_image");
        gui_screen_surface_.clear();
        cairo_set_source_surface(gui_screen_surface_.cr, frame, 0, 0);
        cairo_paint(gui_screen_surface_.cr);
    }
    cairo_surface_destroy(frame);
}

void View::on_draw_event_new(cairo_t* cr) {
    Held held(LockId::gui_screen, "on_draw_event_new");
    cairo_set_source_surface(cr, gui_screen_surface_.surface, 0, 0);
    cairo_paint(cr);
}

// --- shots
// ----------------------------------------------------------------------------------------

void View::screen_shot(const std::tm& local, const std::function<int()>& tick, std::ostream& out) {
    layers.with_all_layers(
        [&](cairo_surface_t* fixed, cairo_surface_t* devices, cairo_surface_t* moving) {
            if (!write_png(fixed, shot_name(local, "Network", tick())))
                out << "Network.png failed \n";
            // The vehicles over the devices: what the window shows above the network.
            cairo_surface_t* cars = new_surface(cairo_image_surface_get_width(moving),
                                                cairo_image_surface_get_height(moving));
            cairo_t*         cr = cairo_create(cars);
            for (cairo_surface_t* layer : {devices, moving}) {
                cairo_set_source_surface(cr, layer, 0, 0);
                cairo_paint(cr);
            }
            cairo_destroy(cr);
            if (!write_png(cars, shot_name(local, "Cars", tick()))) out << "Cars.png failed \n";
            cairo_surface_destroy(cars);
        });
    Held held(LockId::gui, "screen_shot");
    if (!write_png(user_surface_.surface, shot_name(local, "User", tick())))
        out << "User.png failed \n";
}

void View::log_screen_shot(const std::filesystem::path& folder, const std::tm& local, int second,
                           std::ostream& out) {
    const std::string name = (folder / shot_name(local, "SnapShot_log", second)).string();
    cairo_surface_t*  image = new_surface(draw_width_.load(), draw_height_.load());
    cairo_t*          cr = cairo_create(image);
    layers.with_all_layers(
        [&](cairo_surface_t* fixed, cairo_surface_t* devices, cairo_surface_t* moving) {
            for (cairo_surface_t* layer : {fixed, devices, moving}) {
                cairo_set_source_surface(cr, layer, 0, 0);
                cairo_paint(cr);
            }
        });
    cairo_destroy(cr);
    if (!write_png(image, name)) out << "SnapShot_log failed \n";
    cairo_surface_destroy(image);
}

} // namespace velm::gui
