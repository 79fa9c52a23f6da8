// The drawing layers, their composition, resizing and the shots, on cairo
// image surfaces without a display.
#include "frontend/view.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <sstream>

namespace velm::gui {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kClear = 0x00000000;
constexpr std::uint32_t kBlack = 0xff000000;
constexpr std::uint32_t kWhite = 0xffffffff;
constexpr std::uint32_t kRed = 0xfff44336;    // palette 0, overlay 0
constexpr std::uint32_t kBlue = 0xff2196f3;   // palette 5
constexpr std::uint32_t kGreen = 0xff4caf50;  // overlay 2
constexpr std::uint32_t kViolet = 0xff8b008b; // palette 23

std::uint32_t pixel_of(cairo_surface_t* s, int x, int y) {
    cairo_surface_flush(s);
    const unsigned char* row =
        cairo_image_surface_get_data(s) + std::ptrdiff_t(y) * cairo_image_surface_get_stride(s);
    return reinterpret_cast<const std::uint32_t*>(row)[x];
}

// Pixels of one layer (image rows, y downward).
std::uint32_t pixel(View& v, Layer layer, int x, int y) {
    std::uint32_t p = 0;
    v.layers.with_layers([&](cairo_surface_t* fixed, cairo_surface_t* moving) {
        p = pixel_of(layer == Layer::fixed ? fixed : moving, x, y);
    });
    return p;
}

int opaque_pixels(cairo_surface_t* s) {
    int n = 0;
    for (int y = 0; y < cairo_image_surface_get_height(s); ++y)
        for (int x = 0; x < cairo_image_surface_get_width(s); ++x) n += pixel_of(s, x, y) != 0;
    return n;
}

int drawn_pixels(View& v, Layer layer) {
    int n = 0;
    v.layers.with_layers([&](cairo_surface_t* fixed, cairo_surface_t* moving) {
        n = opaque_pixels(layer == Layer::fixed ? fixed : moving);
    });
    return n;
}

struct Png {
    explicit Png(const std::string& name) : s(cairo_image_surface_create_from_png(name.c_str())) {}
    ~Png() { cairo_surface_destroy(s); }
    bool             ok() const { return cairo_surface_status(s) == CAIRO_STATUS_SUCCESS; }
    int              width() const { return cairo_image_surface_get_width(s); }
    int              height() const { return cairo_image_surface_get_height(s); }
    cairo_surface_t* s;
};

std::tm shot_time() {
    std::tm t{};
    t.tm_year = 2026 - 1900, t.tm_mon = 11, t.tm_mday = 11;
    t.tm_hour = 3, t.tm_min = 4, t.tm_sec = 5;
    return t;
}

void expect_view_box(View& v, float x0, float y0, float x1, float y1) {
    float a = 0, b = 0, c = 0, d = 0;
    v.get_virtual_screen(a, b, c, d);
    EXPECT_FLOAT_EQ(a, x0);
    EXPECT_FLOAT_EQ(b, y0);
    EXPECT_FLOAT_EQ(c, x1);
    EXPECT_FLOAT_EQ(d, y1);
}

// --- the primitives ---------------------------------------------------------------

TEST(Layers, CorePixelsCountUpwardFromTheBottomRow) {
    View v;
    v.draw_point(Layer::moving, 10, 0, 21);
    v.draw_point(Layer::fixed, 10, 480, 21);
    // Centred on the bottom edge: the row above it is touched, not the third.
    EXPECT_NE(pixel(v, Layer::moving, 10, 479), kClear);
    EXPECT_EQ(pixel(v, Layer::moving, 10, 477), kClear);
    EXPECT_EQ(pixel(v, Layer::moving, 10, 0), kClear);
    EXPECT_NE(pixel(v, Layer::fixed, 10, 0), kClear);
    EXPECT_EQ(pixel(v, Layer::fixed, 10, 2), kClear);
    EXPECT_EQ(pixel(v, Layer::fixed, 10, 479), kClear);
    // A line from (100, 100) up to (100, 300): image rows 380 to 180.
    v.draw_line(Layer::fixed, 100.5f, 100, 100.5f, 300, 1, 22);
    EXPECT_EQ(pixel(v, Layer::fixed, 100, 200), kWhite);
    EXPECT_EQ(pixel(v, Layer::fixed, 100, 379), kWhite);
    EXPECT_EQ(pixel(v, Layer::fixed, 100, 150), kClear);
    EXPECT_EQ(pixel(v, Layer::fixed, 100, 390), kClear);
}

TEST(Layers, PaletteColoursAreOpaque) {
    struct Case {
        int           colour;
        std::uint32_t argb;
    };
    View v;
    int  x = 20;
    for (const Case c :
         {Case{21, kBlack}, Case{22, kWhite}, Case{0, kRed}, Case{5, kBlue}, Case{23, kViolet}}) {
        v.draw_disc(Layer::moving, float(x), 240, 6, c.colour);
        EXPECT_EQ(pixel(v, Layer::moving, x, 240), c.argb) << "colour " << c.colour;
        x += 20;
    }
    // Filled shapes and outlines in the same colour.
    const PixelPoint square[4] = {{300, 300}, {320, 300}, {320, 320}, {300, 320}};
    v.draw_polygone_a(Layer::fixed, 21, square);
    EXPECT_EQ(pixel(v, Layer::fixed, 310, 170), kBlack);
    v.draw_rectangle_fill(Layer::fixed, 400, 100, 20, 10, 22);
    EXPECT_EQ(pixel(v, Layer::fixed, 410, 385), kWhite); // extends downward from y = 380
    v.draw_rectangle(Layer::fixed, 500, 100, 20, 10, 2, 21);
    EXPECT_EQ(pixel(v, Layer::fixed, 510, 380), kBlack);
    EXPECT_EQ(pixel(v, Layer::fixed, 510, 385), kClear);
}

TEST(Layers, ShapesThatEncloseNothingDrawNothing) {
    View             v;
    const PixelPoint one[1] = {{100, 100}};
    const PixelPoint two[2] = {{100, 100}, {200, 150}};
    v.draw_polygone_a(Layer::moving, 21, one);
    v.draw_polygone_a(Layer::moving, 21, two);
    v.draw_polygone_a(Layer::moving, 21, {});
    v.draw_circle(Layer::moving, 50, 50, 0, 21);
    EXPECT_EQ(drawn_pixels(v, Layer::moving), 0);
    v.draw_circle(Layer::moving, 50, 50, 10, 21); // a ring: the centre stays clear
    EXPECT_GT(drawn_pixels(v, Layer::moving), 0);
    EXPECT_EQ(pixel(v, Layer::moving, 50, 430), kClear);
}

TEST(Layers, AColourOutsideThePaletteDrawsNothing) {
    View v;
#ifdef VELM_CHECKED
    EXPECT_DEATH(v.draw_disc(Layer::moving, 10, 10, 5, 31), "palette: index 1 = 31 outside 0..30");
#else
    for (int c : {-1, 31, 255}) {
        v.draw_disc(Layer::moving, 10, 10, 5, c);
        v.draw_line(Layer::fixed, 0, 0, 100, 100, 2, c);
    }
    EXPECT_EQ(drawn_pixels(v, Layer::moving), 0);
    EXPECT_EQ(drawn_pixels(v, Layer::fixed), 0);
#endif
}

// --- composition --------------------------------------------------------------------

TEST(Composition, OneRepaintWaitsInTheMainLoopAtATime) {
    View view;
    view.redraw_drawing_area(); // no poster yet: nothing posted, nothing kept waiting
    int posted = 0;
    view.set_redraw_poster([&] { ++posted; });
    for (int tick = 0; tick < 100; ++tick) view.redraw_drawing_area();
    EXPECT_EQ(posted, 1);
    view.redraw_taken(); // the posted repaint ran
    view.redraw_drawing_area();
    view.redraw_drawing_area();
    EXPECT_EQ(posted, 2);
}

TEST(Composition, ClearedMovingLayerShowsTheFixedLayer) {
    View v;
    v.draw_rectangle_fill(Layer::fixed, 100, 400, 200, 200, 0); // rows 80..280
    v.draw_disc(Layer::moving, 200, 300, 30, 5);
    v.clear_drawing_area(Layer::moving);
    EXPECT_EQ(drawn_pixels(v, Layer::moving), 0);
    v.draw_disc(Layer::moving, 150, 300, 10, 5); // drawn again after the clear
    cairo_surface_t* frame = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 480);
    cairo_t*         cr = cairo_create(frame);
    v.compose(cr);
    cairo_destroy(cr);
    EXPECT_EQ(pixel_of(frame, 200, 180), kRed);  // fixed through the cleared moving layer
    EXPECT_EQ(pixel_of(frame, 150, 180), kBlue); // moving over fixed
    EXPECT_EQ(pixel_of(frame, 50, 180), kClear);
    cairo_surface_destroy(frame);
}

TEST(Composition, ScalesTheLayersToTheAreaInOrderFixedMovingOverlay) {
    View v;
    // Three overlapping strips: fixed x 100..300, moving x 200..400, overlay x 300..500.
    v.draw_rectangle_fill(Layer::fixed, 100, 400, 200, 100, 0);
    v.draw_rectangle_fill(Layer::moving, 200, 400, 200, 100, 5);
    v.draw_line_user_surface(300, 130, 500, 130, 20, 2);
    cairo_surface_t* frame = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1280, 960);
    cairo_t*         cr = cairo_create(frame);
    v.compose(cr, 1280, 960);
    cairo_destroy(cr);
    // Layer point (x, y) lands at (2x, 2y).
    EXPECT_EQ(pixel_of(frame, 2 * 150, 2 * 130), kRed);
    EXPECT_EQ(pixel_of(frame, 2 * 250, 2 * 130), kBlue);
    EXPECT_EQ(pixel_of(frame, 2 * 350, 2 * 130), kGreen);
    EXPECT_EQ(pixel_of(frame, 2 * 450, 2 * 130), kGreen);
    EXPECT_EQ(pixel_of(frame, 2 * 150, 2 * 190), kClear); // below the strips (rows 80..180)
    EXPECT_EQ(pixel_of(frame, 150, 130), kClear);         // the unscaled place stays empty
    cairo_surface_destroy(frame);
}

TEST(Composition, OverlayMarksInToolkitPixels) {
    View v;
    v.draw_zoom_cross({100, 100}, 0);
    cairo_surface_t* frame = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 640, 480);
    cairo_t*         cr = cairo_create(frame);
    v.compose(cr);
    EXPECT_EQ(pixel_of(frame, 85, 100), kRed);  // horizontal arm, y downward unflipped
    EXPECT_EQ(pixel_of(frame, 100, 118), kRed); // vertical arm
    EXPECT_EQ(pixel_of(frame, 100, 125), kClear);
    EXPECT_EQ(pixel_of(frame, 105, 105), kClear);
    v.clear_user_surface();
    v.draw_zoom_cross_r({300, 300}, 9); // no such overlay colour
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    v.compose(cr);
    EXPECT_EQ(opaque_pixels(frame), 0);
    v.draw_zoom_cross_r({300, 300}, 1);
    v.compose(cr);
    EXPECT_EQ(pixel_of(frame, 310, 300), kBlue); // the square's right side
    cairo_destroy(cr);
    cairo_surface_destroy(frame);
}

// --- resize ----------------------------------------------------------------------------

TEST(Resize, DoublingTheAreaDoublesTheViewBoxAndGivesNewEmptyLayers) {
    support::TempDir dir(true);
    View             v;
    v.set_view_box({{10, 20}, {630, 470}});
    v.draw_disc(Layer::fixed, 100, 100, 5, 21);
    v.draw_zoom_cross({100, 100}, 0);
    v.my_getsize(1280, 960);
    expect_view_box(v, 20, 40, 1260, 940);
    int w = 0, h = 0;
    v.layers.sizes(w, h);
    EXPECT_EQ(w, 1280);
    EXPECT_EQ(h, 960);
    v.layers.with_layers([&](cairo_surface_t* fixed, cairo_surface_t* moving) {
        for (cairo_surface_t* s : {fixed, moving}) {
            EXPECT_EQ(cairo_image_surface_get_width(s), 1280);
            EXPECT_EQ(cairo_image_surface_get_height(s), 960);
            EXPECT_EQ(opaque_pixels(s), 0);
        }
    });
    // The flip follows the new height.
    v.draw_point(Layer::moving, 10, 0, 21);
    EXPECT_NE(pixel(v, Layer::moving, 10, 959), kClear);
    // The overlay was replaced too: a new, clear one of the area's size.
    std::ostringstream out;
    v.screen_shot(
        shot_time(), [] { return 7; }, out);
    Png user("20261211_030405_User_7.png");
    ASSERT_TRUE(user.ok());
    EXPECT_EQ(user.width(), 1280);
    EXPECT_EQ(user.height(), 960);
    EXPECT_EQ(opaque_pixels(user.s), 0);
}

TEST(Resize, AnAllocationOfTheSameOrAZeroSizeChangesNothing) {
    View v;
    v.set_view_box({{10, 20}, {630, 470}});
    v.draw_disc(Layer::fixed, 100, 100, 5, 21);
    for (const auto& [w, h] : {std::pair{640, 480}, {0, 480}, {640, 0}, {0, 0}, {-5, 100}}) {
        v.my_getsize(w, h);
        expect_view_box(v, 10, 20, 630, 470);
        int lw = 0, lh = 0;
        v.layers.sizes(lw, lh);
        EXPECT_EQ(lw, 640) << w << " x " << h;
        EXPECT_EQ(lh, 480) << w << " x " << h;
        EXPECT_EQ(pixel(v, Layer::fixed, 100, 380), kBlack) << "layer replaced at " << w;
        EXPECT_EQ(v.drawing_width(), 640);
        EXPECT_EQ(v.drawing_height(), 480);
    }
    // A size from a zero allocation on is scaled from the last real size.
    v.my_getsize(320, 240);
    expect_view_box(v, 5, 10, 315, 235);
}

TEST(Resize, ARunStartResetsTheViewBoxToTheArea) {
    View v;
    v.my_getsize(800, 600);
    v.set_view_box({{1, 2}, {3, 4}});
    v.reset_view();
    expect_view_box(v, 0, 0, 800, 600);
}

// --- shots -------------------------------------------------------------------------------

TEST(Shots, BeforeAnyRunThreeTransparentImagesOfTickZero) {
    support::TempDir   dir(true);
    View               v;
    std::ostringstream out;
    v.screen_shot(
        shot_time(), [] { return 0; }, out);
    EXPECT_EQ(out.str(), "");
    for (const char* what : {"Network", "Cars", "User"}) {
        Png png(dir.file(std::string("20261211_030405_") + what + "_0.png"));
        ASSERT_TRUE(png.ok()) << what;
        EXPECT_EQ(png.width(), 640);
        EXPECT_EQ(png.height(), 480);
        EXPECT_EQ(opaque_pixels(png.s), 0) << what;
    }
}

TEST(Shots, EachLayerToItsOwnFile) {
    support::TempDir dir(true);
    View             v;
    v.draw_disc(Layer::fixed, 100, 100, 5, 21);
    v.draw_disc(Layer::moving, 200, 100, 5, 22);
    v.draw_zoom_cross({300, 100}, 0);
    std::ostringstream out;
    v.screen_shot(
        shot_time(), [] { return 36000; }, out);
    Png net("20261211_030405_Network_36000.png"), cars("20261211_030405_Cars_36000.png"),
        user("20261211_030405_User_36000.png");
    ASSERT_TRUE(net.ok() && cars.ok() && user.ok());
    EXPECT_EQ(pixel_of(net.s, 100, 380), kBlack);
    EXPECT_EQ(pixel_of(net.s, 200, 380), kClear);
    EXPECT_EQ(pixel_of(cars.s, 200, 380), kWhite);
    EXPECT_EQ(pixel_of(cars.s, 100, 380), kClear);
    EXPECT_EQ(pixel_of(user.s, 290, 100), kRed);
}

TEST(Shots, FilesThatCannotBeWrittenAreReportedAndTheRestGoesOn) {
    support::TempDir dir(true);
    View             v;
    fs::remove_all(dir.path()); // the working directory is gone
    std::ostringstream out;
    v.screen_shot(
        shot_time(), [] { return 0; }, out);
    EXPECT_EQ(out.str(), "Network.png failed \nCars.png failed \nUser.png failed \n");
    out.str("");
    v.log_screen_shot(dir.path() / "no_folder", shot_time(), 1000, out);
    EXPECT_EQ(out.str(), "SnapShot_log failed \n");
}

TEST(Shots, SnapshotPutsTheLayersUnscaledInTheTopLeft) {
    support::TempDir dir;
    View             v;
    v.layers.replace(320, 240);                 // layers smaller than the 640 x 480 area
    v.draw_disc(Layer::fixed, 300, 20, 5, 21);  // image (300, 220)
    v.draw_disc(Layer::moving, 300, 20, 2, 22); // over it
    v.draw_disc(Layer::moving, 20, 220, 5, 5);  // image (20, 20)
    v.draw_zoom_cross({30, 30}, 2);             // the overlay is not in a snapshot
    std::ostringstream out;
    v.log_screen_shot(dir.path(), shot_time(), 2000, out);
    EXPECT_EQ(out.str(), "");
    Png png(dir.file("20261211_030405_SnapShot_log_2000.png"));
    ASSERT_TRUE(png.ok());
    EXPECT_EQ(png.width(), 640);
    EXPECT_EQ(png.height(), 480);
    EXPECT_EQ(pixel_of(png.s, 300, 220), kWhite);
    EXPECT_EQ(pixel_of(png.s, 303, 220), kBlack);
    EXPECT_EQ(pixel_of(png.s, 20, 20), kBlue);
    EXPECT_EQ(pixel_of(png.s, 10, 30), kClear);
    EXPECT_EQ(pixel_of(png.s, 600, 440), kClear); // nothing scaled up
}

} // namespace
} // namespace velm::gui
