// Zoom, pan and drag arithmetic of the view box in a 640 x 480 drawing area.
#include "frontend/view_box.h"

#include <gtest/gtest.h>

namespace velm::gui {
namespace {

constexpr gui_point kArea{640, 480};
const gui_box       kFull{{0, 0}, {640, 480}};
const gui_box       kDoubled{{-320, -240}, {960, 720}}; // one zoom in around the middle

void expect_box(const gui_box& b, float x0, float y0, float x1, float y1) {
    EXPECT_NEAR(b.top.x, x0, 0.01);
    EXPECT_NEAR(b.top.y, y0, 0.01);
    EXPECT_NEAR(b.bottom.x, x1, 0.01);
    EXPECT_NEAR(b.bottom.y, y1, 0.01);
}

// The zoom box has the area's shape, so both axes are scaled alike.
TEST(ViewBox, KeyZoomInStretchesABoxOfTheAreasShapeAroundTheCentreOverTheArea) {
    struct Case {
        point_float centre;
        float       x0, y0, x1, y1;
    };
    const Case cases[] = {
        {{320, 240}, -320, -240, 960, 720},    // the middle: the scale doubles
        {{20, 240}, -320, -7440, 20160, 7920}, // near the left edge: 20 x 15, scale 32
        {{320, 200}, -448, -432, 1088, 720},   // above the middle: hy = 100, scale 2.4
        // Next to a corner the box is at its least, 5 high: (632.3, 474)-(645.7, 484).
        {{639, 1}, -30351.9f, -22752, 368, 288}, // float rounding of 632.33 x 48
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.centre.x << ", " << c.centre.y);
        gui_box out{};
        ASSERT_TRUE(key_zoom_in_applied_to_box(kArea, c.centre, kFull, out));
        expect_box(out, c.x0, c.y0, c.x1, c.y1);
        EXPECT_NEAR((out.bottom.x - out.top.x) / 640, (out.bottom.y - out.top.y) / 480, 1e-3)
            << "one scale";
    }
    // The point under the centre (320, 200) is drawn in the middle afterwards:
    // in the core's pixels it lay at (320, 280).
    gui_box out{};
    ASSERT_TRUE(key_zoom_in_applied_to_box(kArea, {320, 200}, kFull, out));
    const point_float moved = box_map({320, 280}, kFull, out);
    EXPECT_NEAR(moved.x, 320, 0.01);
    EXPECT_NEAR(moved.y, 240, 0.01);
}

TEST(ViewBox, ZoomKeysDoNothingWithTheCentreOnOrOutsideTheEdge) {
    const point_float off[] = {{0, 240}, {640, 240}, {320, 0}, {320, 480}, {-5, 240}};
    for (const auto& c : off) {
        SCOPED_TRACE(testing::Message() << c.x << ", " << c.y);
        gui_box out = kDoubled;
        EXPECT_FALSE(key_zoom_in_applied_to_box(kArea, c, kFull, out));
        expect_box(out, -320, -240, 960, 720);
        out = kFull;
        EXPECT_FALSE(key_zoom_out_applied_to_box(kArea, c, kDoubled, out));
        expect_box(out, 0, 0, 640, 480);
    }
}

TEST(ViewBox, KeyZoomOutShrinksTowardTheMiddleAndNeverBelowTheArea) {
    gui_box out{};
    ASSERT_TRUE(key_zoom_out_applied_to_box(kArea, {320, 240}, kDoubled, out));
    expect_box(out, -213.33f, -160, 853.33f, 640); // tx = 64, ty = 48
    // Again: the side of 1066.67 counts as 1066, so tx = 53.3 (ty = 40).
    const gui_box once = out;
    ASSERT_TRUE(key_zoom_out_applied_to_box(kArea, {320, 240}, once, out));
    expect_box(out, -137.18f, -102.86f, 777.18f, 582.86f);
    ASSERT_TRUE(key_zoom_out_applied_to_box(kArea, {320, 240}, kFull, out));
    expect_box(out, 0, 0, 640, 480);
    // Zoomed in off-centre, the side already at the area's edge stays there.
    ASSERT_TRUE(key_zoom_out_applied_to_box(kArea, {320, 240}, {{0, -240}, {1280, 480}}, out));
    expect_box(out, 0, -177.39f, 1120, 480); // tx = 64, ty = 36
}

TEST(ViewBox, PanMovesByAHundredthOfTheBoxThenClampsToTheArea) {
    struct Case {
        PanDirection direction;
        gui_box      from;
        float        x0, y0, x1, y1;
    };
    const Case cases[] = {
        // From the full view the clamp keeps the far side and the box grows.
        {PanDirection::up, kFull, 0, 0, 640, 485},
        {PanDirection::down, kFull, 0, -5, 640, 480},
        {PanDirection::left, kFull, 0, 0, 645, 480},
        {PanDirection::right, kFull, -5, 0, 640, 480},
        // Zoomed in, the step is 1 % of the shorter side: 9.6 of 960 x 1280.
        {PanDirection::up, kDoubled, -320, -230.4f, 960, 729.6f},
        {PanDirection::right, kDoubled, -329.6f, -240, 950.4f, 720},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.direction));
        gui_box out{};
        motion_key_applied_to_box(kArea, c.from, out, c.direction);
        expect_box(out, c.x0, c.y0, c.x1, c.y1);
    }
}

TEST(ViewBox, PressAndReleaseZoomToTheDraggedBoxOrSetTheCentre) {
    struct Case {
        const char*       name;
        gui_point         origin, release;
        DragOutcome::Kind kind;
    };
    const Case cases[] = {
        {"down and right", {100, 100}, {300, 250}, DragOutcome::zoom},
        {"up and left", {300, 250}, {100, 100}, DragOutcome::zoom},
        {"up and right", {100, 250}, {300, 100}, DragOutcome::zoom},
        {"long in x only", {100, 100}, {300, 105}, DragOutcome::nothing},
        {"long in y only", {100, 100}, {110, 300}, DragOutcome::nothing},
        {"a click", {100, 100}, {105, 108}, DragOutcome::centring},
        {"10 px both ways is still a click", {100, 100}, {110, 90}, DragOutcome::centring},
        {"no press", {-1, -1}, {300, 250}, DragOutcome::nothing},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const DragOutcome d = drag_outcome(kArea, c.origin, c.release);
        ASSERT_EQ(d.kind, c.kind);
        if (d.kind == DragOutcome::zoom) {
            // Whichever way it was dragged: the same box, corners in order.
            expect_box(d.zoom_box, 100, 230, 300, 380);
            gui_box out{};
            zoom_box_to_screen_applied_to_a_box(kArea, d.zoom_box, out, kFull);
            expect_box(out, -320, -736, 1728, 800);
        }
    }
    // A flat drag is widened about its middle to the area's shape: 200 x 30
    // becomes 200 x 150, so both axes are zoomed alike.
    const DragOutcome flat = drag_outcome(kArea, {100, 100}, {300, 130});
    ASSERT_EQ(flat.kind, DragOutcome::zoom);
    expect_box(flat.zoom_box, 100, 290, 300, 440);
    const DragOutcome tall = drag_outcome(kArea, {100, 100}, {130, 300});
    ASSERT_EQ(tall.kind, DragOutcome::zoom);
    expect_box(tall.zoom_box, -18.333f, 180, 248.333f, 380);
    const DragOutcome click = drag_outcome(kArea, {100, 100}, {105, 108});
    EXPECT_FLOAT_EQ(click.centre.x, 102.5f);
    EXPECT_FLOAT_EQ(click.centre.y, 104.0f);
}

TEST(ViewBox, MousePositionsAreTruncatedAndKeptInTheArea) {
    struct Case {
        double x, y;
        int    px, py;
    };
    const Case cases[] = {
        {12.9, 7.2, 12, 7}, {-3.7, 500.2, 0, 480}, {700, -1, 640, 0}, {640, 480, 640, 480}};
    for (const auto& c : cases) {
        const gui_point p = clamp_to_area(kArea, c.x, c.y);
        EXPECT_EQ(p.x, c.px) << c.x;
        EXPECT_EQ(p.y, c.py) << c.y;
    }
}

TEST(ViewBox, TheMapsBetweenBoxes) {
    EXPECT_FLOAT_EQ(linear_mapping(5, 0, 10, 100, 200), 150);
    EXPECT_FLOAT_EQ(linear_mapping(-10, 0, 10, 100, 300), -100);
    gui_box out{};
    zoom_out_full(kArea, out);
    expect_box(out, 0, 0, 640, 480);
    // The area's corners through the map that stretches (160, 120)-(480, 360) over it.
    zoom_box_to_screen(kArea, {{160, 120}, {480, 360}}, out);
    expect_box(out, -320, -240, 960, 720);
    // Squeezing a box twice the area's size onto it halves every size.
    shrink_box_to_screen_applied_to_box(kArea, {{-320, -240}, {960, 720}}, out, kDoubled);
    expect_box(out, 0, 0, 640, 480);
    // (0, 0)-(10, 10) stretched onto (0, 0)-(20, 40) doubles x and quadruples y.
    zoom_box_to_box({{0, 0}, {10, 10}}, {{0, 0}, {20, 40}}, out);
    expect_box(out, 0, 0, 40, 160);
}

} // namespace
} // namespace velm::gui
