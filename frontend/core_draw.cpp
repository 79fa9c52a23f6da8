#include "frontend/core_draw.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace velm::gui {

namespace {

// The palette, 0..255 per component.
constexpr int kPalette[kPaletteColours][3] = {
    {244, 67, 54},   {233, 30, 99},   {156, 39, 176},  {103, 58, 183},  {63, 81, 181},
    {33, 150, 243},  {3, 169, 244},   {0, 188, 212},   {0, 150, 136},   {76, 175, 80},
    {139, 195, 74},  {205, 220, 57},  {255, 235, 59},  {255, 193, 7},   {255, 152, 0},
    {255, 87, 34},   {121, 85, 72},   {158, 158, 158}, {96, 125, 139},  {55, 64, 70},
    {192, 192, 192}, {0, 0, 0},       {255, 255, 255}, {139, 0, 139},   {244, 102, 204},
    {0, 255, 255},   {224, 255, 255}, {255, 255, 51},  {183, 177, 174}, {72, 78, 81},
    {120, 120, 120}};
constexpr int    kDefaultResolutions[kResolutions][2] = {{720, 480},   {720, 576},   {1280, 720},
                                                         {1920, 1080}, {1920, 1200}, {2560, 1440},
                                                         {3840, 2160}, {7680, 4320}};
constexpr double kCircleWidth = 0.5;
constexpr double kPointRadius = 1.0;

} // namespace

void Init_iin_data(iin_data& data, int width, int height) {
    for (int k = 0; k < kPaletteColours; ++k)
        data.nii_colors[k] = {kPalette[k][0] / 255.0, kPalette[k][1] / 255.0,
                              kPalette[k][2] / 255.0};
    for (int k = 0; k < kResolutions; ++k)
        for (int j = 0; j < 2; ++j) data.default_resolutions[k][j] = kDefaultResolutions[k][j];
    data.nii_draw_width = width;
    data.nii_draw_height = height;
}

DrawingLayers::DrawingLayers(int width, int height) {
    Held held(LockId::drawing, "init_drawing");
    Init_iin_data(iin_main_data, width, height);
    init_drawing();
}

DrawingLayers::~DrawingLayers() {
    Held held(LockId::drawing, "end_drawing");
    end_drawing();
}

void DrawingLayers::init_drawing() {
    auto& d = iin_main_data;
    d.nii_drawing =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, d.nii_draw_width, d.nii_draw_height);
    d.internal_drawing_surface = cairo_create(d.nii_drawing);
    d.network_drawing_surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, d.nii_draw_width, d.nii_draw_height);
    d.fixed_internal_drawing_surface = cairo_create(d.network_drawing_surface);
    d.devices_surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, d.nii_draw_width, d.nii_draw_height);
    d.devices_context = cairo_create(d.devices_surface);
}

void DrawingLayers::end_drawing() {
    auto& d = iin_main_data;
    cairo_destroy(d.internal_drawing_surface);
    cairo_surface_destroy(d.nii_drawing);
    cairo_destroy(d.fixed_internal_drawing_surface);
    cairo_surface_destroy(d.network_drawing_surface);
    cairo_destroy(d.devices_context);
    cairo_surface_destroy(d.devices_surface);
    d.internal_drawing_surface = d.fixed_internal_drawing_surface = d.devices_context = nullptr;
    d.nii_drawing = d.network_drawing_surface = d.devices_surface = nullptr;
}

void DrawingLayers::replace(int width, int height) {
    Held held(LockId::drawing, "reallocate_drawing_area");
    iin_main_data.nii_draw_width = width;
    iin_main_data.nii_draw_height = height;
    end_drawing();
    init_drawing();
}

void DrawingLayers::clear_drawing() {
    // New image surfaces are transparent already.
    Held held(LockId::drawing, "clear_drawing");
    end_drawing();
    init_drawing();
}

void DrawingLayers::drawing_area_set_sizes(int width, int height) {
    Held held(LockId::drawing, "drawing_area_set_sizes");
    iin_main_data.nii_draw_width = width;
    iin_main_data.nii_draw_height = height;
}

void DrawingLayers::sizes(int& width, int& height) {
    Held held(LockId::drawing, "sizes");
    width = iin_main_data.nii_draw_width;
    height = iin_main_data.nii_draw_height;
}

void DrawingLayers::return_drawing_area_sizes(float& width, float& height) {
    int w = 0, h = 0;
    sizes(w, h);
    width = static_cast<float>(w);
    height = static_cast<float>(h);
}

void DrawingLayers::paint(cairo_t* cr, Layer layer) {
    Held held(LockId::drawing, "on_draw_event");
    cairo_set_source_surface(cr, surface(layer), 0, 0);
    cairo_paint(cr);
}

long DrawingLayers::calls() const {
    Held held(LockId::drawing, "calls");
    return calls_;
}

cairo_t* DrawingLayers::context(Layer layer) const {
    switch (layer) {
    case Layer::fixed:
        return iin_main_data.fixed_internal_drawing_surface;
    case Layer::devices:
        return iin_main_data.devices_context;
    case Layer::moving:
        break;
    }
    return iin_main_data.internal_drawing_surface;
}

cairo_surface_t* DrawingLayers::surface(Layer layer) const {
    switch (layer) {
    case Layer::fixed:
        return iin_main_data.network_drawing_surface;
    case Layer::devices:
        return iin_main_data.devices_surface;
    case Layer::moving:
        break;
    }
    return iin_main_data.nii_drawing;
}

bool DrawingLayers::begin(cairo_t* cr, int colour) {
    ++calls_;
    if (!palette_colour_ok(colour)) return false;
    const Rgb& c = iin_main_data.nii_colors[colour];
    cairo_set_source_rgb(cr, c.red, c.green, c.blue);
    cairo_new_path(cr);
    return true;
}

void DrawingLayers::clear_drawing_area(Layer layer) {
    Held     held(LockId::drawing, "clear_drawing_area");
    cairo_t* cr = context(layer);
    ++calls_;
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
}

void DrawingLayers::clear_box(Layer layer, float x0, float y0, float x1, float y1) {
    Held     held(LockId::drawing, "clear_box");
    cairo_t* cr = context(layer);
    ++calls_;
    const double h = iin_main_data.nii_draw_height;
    cairo_save(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_new_path(cr);
    cairo_rectangle(cr, std::min(x0, x1), h - std::max(y0, y1), std::abs(x1 - x0),
                    std::abs(y1 - y0));
    cairo_fill(cr);
    cairo_restore(cr);
}

void DrawingLayers::arc(Layer layer, float xc, float yc, float radius, int colour, bool fill,
                        double width) {
    Held     held(LockId::drawing, "draw_arc");
    cairo_t* cr = context(layer);
    if (!begin(cr, colour)) return;
    cairo_arc(cr, xc, iin_main_data.nii_draw_height - yc, radius, 0, 2 * std::numbers::pi);
    if (fill) {
        cairo_fill(cr);
    } else {
        cairo_set_line_width(cr, width);
        cairo_stroke(cr);
    }
}

void DrawingLayers::draw_point(Layer layer, float x, float y, int colour) {
    arc(layer, x, y, kPointRadius, colour, true, 0);
}

void DrawingLayers::draw_disc(Layer layer, float xc, float yc, float radius, int colour) {
    arc(layer, xc, yc, radius, colour, true, 0);
}

void DrawingLayers::draw_circle(Layer layer, float xc, float yc, float radius, int colour) {
    arc(layer, xc, yc, radius, colour, false, kCircleWidth);
}

void DrawingLayers::draw_line(Layer layer, float x1, float y1, float x2, float y2, float width,
                              int colour) {
    Held     held(LockId::drawing, "draw_line");
    cairo_t* cr = context(layer);
    if (!begin(cr, colour)) return;
    const double h = iin_main_data.nii_draw_height;
    cairo_set_line_width(cr, width);
    cairo_move_to(cr, x1, h - y1);
    cairo_line_to(cr, x2, h - y2);
    cairo_stroke(cr);
}

void DrawingLayers::draw_polygone_a(Layer layer, int colour, std::span<const PixelPoint> points) {
    Held     held(LockId::drawing, "draw_polygone_a");
    cairo_t* cr = context(layer);
    if (!begin(cr, colour) || points.empty()) return;
    const double h = iin_main_data.nii_draw_height;
    cairo_move_to(cr, points[0].x, h - points[0].y);
    for (const PixelPoint& p : points.subspan(1)) cairo_line_to(cr, p.x, h - p.y);
    cairo_close_path(cr);
    cairo_fill(cr);
}

void DrawingLayers::draw_rectangle(Layer layer, float xc, float yc, float width, float height,
                                   int line_width, int colour) {
    Held     held(LockId::drawing, "draw_rectangle");
    cairo_t* cr = context(layer);
    if (!begin(cr, colour)) return;
    cairo_set_line_width(cr, line_width);
    cairo_rectangle(cr, xc, iin_main_data.nii_draw_height - yc, width, height);
    cairo_stroke(cr);
}

void DrawingLayers::draw_rectangle_fill(Layer layer, float xc, float yc, float width, float height,
                                        int colour) {
    Held     held(LockId::drawing, "draw_rectangle_fill");
    cairo_t* cr = context(layer);
    if (!begin(cr, colour)) return;
    cairo_rectangle(cr, xc, iin_main_data.nii_draw_height - yc, width, height);
    cairo_fill(cr);
}

} // namespace velm::gui
