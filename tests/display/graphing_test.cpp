// World-to-pixel mapping and the core's drawing primitives, seen through a
// recording bridge: which primitive, which layer, which pixels, which colour.
#include "core/display/display.h"
#include "core/display/graphing.h"
#include "display/recording_bridge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace velm {
namespace {

using support::Drawn;
using support::RecordingBridge;

// The display square 0..10 x 0..5 km on pixels 0..1000 x 0..500: 100 pixels
// a km on both axes, so a symbol of 0.1 km spans 10 pixels.
struct Drawing : ::testing::Test {
    std::unique_ptr<Sim> s = std::make_unique<Sim>();
    RecordingBridge      fake;
    void                 SetUp() override {
        s->draw = &fake;
        s->set2.xmin(1) = 0, s->set2.xmax(1) = 10, s->set2.ymin(1) = 0, s->set2.ymax(1) = 5;
        window(*s, 1, 0, 1000, 0, 500, 0, 10, 0, 5);
    }
};

void expect_point(PixelPoint p, float x, float y, const char* what = "") {
    EXPECT_NEAR(p.x, x, 1e-3) << what;
    EXPECT_NEAR(p.y, y, 1e-3) << what;
}

float length(const Drawn& d) {
    return std::hypot(d.points[1].x - d.points[0].x, d.points[1].y - d.points[0].y);
}

// --- mapping ---------------------------------------------------------------------

TEST(Mapping, WindowTakesBothXBeforeBothYAndTransformsBothWays) {
    auto s = std::make_unique<Sim>();
    window(*s, 1, 100, 740, 20, 500, 2, 6, 1, 4);
    const auto& w = s->graphing.windows;
    const float pixel[6] = {100, 20, 740, 500, 640, 480}, world[6] = {2, 1, 6, 4, 4, 3};
    for (int k = 1; k <= 6; ++k) {
        EXPECT_EQ(w(1, k, 1), pixel[k - 1]) << "pixel item " << k;
        EXPECT_EQ(w(1, k, 2), world[k - 1]) << "world item " << k;
    }
    struct Case {
        float wx, wy, px, py;
    };
    for (const Case c : {Case{2, 1, 100, 20}, Case{6, 4, 740, 500}, Case{4, 2.5f, 420, 260},
                         Case{0, 0, -220, -140}}) {
        float x = 0, y = 0;
        ASSERT_TRUE(transform(*s, 1, c.wx, c.wy, x, y));
        EXPECT_NEAR(x, c.px, 1e-3);
        EXPECT_NEAR(y, c.py, 1e-3);
        // Same variables in and out; back to the world point.
        ASSERT_TRUE(reverse(*s, 1, x, y, x, y));
        EXPECT_NEAR(x, c.wx, 1e-5);
        EXPECT_NEAR(y, c.wy, 1e-5);
    }
}

TEST(Mapping, AWindowWithAZeroExtentHasNoMapping) {
    // The table before the first run, then each extent zero in turn.
    auto  s = std::make_unique<Sim>();
    float x = -7, y = -7;
    EXPECT_FALSE(transform(*s, 1, 1, 1, x, y));
    EXPECT_FALSE(reverse(*s, 1, 1, 1, x, y));
    const float boxes[4][8] = {{0, 0, 0, 500, 0, 10, 0, 5},
                               {0, 1000, 0, 0, 0, 10, 0, 5},
                               {0, 1000, 0, 500, 3, 3, 0, 5},
                               {0, 1000, 0, 500, 0, 10, 2, 2}};
    for (const auto& b : boxes) {
        window(*s, 1, b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7]);
        EXPECT_FALSE(transform(*s, 1, 1, 1, x, y));
        EXPECT_FALSE(reverse(*s, 1, 1, 1, x, y));
    }
    EXPECT_EQ(x, -7); // untouched: no NaN or infinity handed on
    EXPECT_EQ(y, -7);

    // Shapes draw nothing on such a window, even inside the display square.
    RecordingBridge fake;
    s->draw = &fake;
    s->set2.xmax(1) = 10, s->set2.ymax(1) = 5;
    float k = 1;
    marker(*s, 1, 1, 1, 3, 0.1f, 2);
    dxmarker(*s, 1, 1, 1, 1, 0, k, 8, 0.1f, 2);
    line(*s, 1, 1, 1, 2, 2, 1, 2);
    EXPECT_TRUE(fake.calls.empty());
}

TEST(Mapping, ChkpntCountsOnlyPointsStrictlyInside) {
    auto s = std::make_unique<Sim>();
    window(*s, 1, 0, 100, 0, 100, 0, 10, 0, 5);
    int flag = 3;
    chkpnt(*s, 1, 5, 2.5f, flag);
    EXPECT_EQ(flag, 4);
    for (const auto& p : {std::pair{0.0f, 2.5f},
                          {10.0f, 2.5f},
                          {5.0f, 0.0f},
                          {5.0f, 5.0f},
                          {-1.0f, 2.5f},
                          {5.0f, 6.0f}})
        chkpnt(*s, 1, p.first, p.second, flag);
    EXPECT_EQ(flag, 4);
}

// --- pens ------------------------------------------------------------------------------

TEST_F(Drawing, EveryPenHasItsPaletteColour) {
    const int palette[20] = {22, 5,  9, 23, 0,  25, 12, 19, 17, 6,
                             10, 24, 1, 26, 27, 21, 30, 20, 29, 28};
    for (int pen = 0; pen < 20; ++pen) {
        int c = -1;
        ASSERT_TRUE(newpen(pen, c));
        EXPECT_EQ(c, palette[pen]) << "pen " << pen;
        marker(*s, 1, 5, 2, 4, 0.1f, pen);
    }
    ASSERT_EQ(fake.calls.size(), 20u);
    for (int pen = 0; pen < 20; ++pen) EXPECT_EQ(fake.calls[pen].colour, palette[pen]);
}

TEST_F(Drawing, APenOutsideTheTableDrawsNothing) {
#ifdef VELM_CHECKED
    // The checked build stops at the caller's bug.
    EXPECT_DEATH(marker(*s, 1, 5, 2, 4, 0.1f, 20), "pen: index 1 = 20 outside 0..19");
    EXPECT_DEATH(line(*s, 1, 1, 1, 2, 2, 1, -1), "pen: index 1 = -1 outside 0..19");
#else
    for (int pen : {-1, 20, 21, 1000}) {
        int c = -5;
        EXPECT_FALSE(newpen(pen, c));
        EXPECT_EQ(c, -5);
        marker(*s, 1, 5, 2, 4, 0.1f, pen);
        line(*s, 1, 1, 1, 2, 2, 1, pen);
        fillbox(*s, 1, 1, 1, 2, 1, 1, 2, 2, 2, pen);
    }
    EXPECT_TRUE(fake.calls.empty());
#endif
}

// --- visibility -------------------------------------------------------------------------

TEST_F(Drawing, SymbolsOnTheEdgeOfTheDisplaySquareAreDrawnOutsideNot) {
    struct Case {
        float x, y;
        bool  drawn;
    };
    const Case cases[] = {{0, 2, true},        {10, 2, true},       {5, 0, true},
                          {5, 5, true},        {10, 5, true},       {0, 0, true},
                          {-0.001f, 2, false}, {10.001f, 2, false}, {5, -0.001f, false},
                          {5, 5.001f, false}};
    for (const Case& c : cases) {
        const bool drawn = c.drawn;
        for (int kind = 0; kind < 3; ++kind) {
            fake.calls.clear();
            float k = 1;
            if (kind == 0) marker(*s, 1, c.x, c.y, 4, 0.1f, 2);
            if (kind == 1) dxmarker(*s, 1, c.x, c.y, 1, 0, k, 1, 0.1f, 2);
            if (kind == 2) dxarrow(*s, 1, c.x, c.y, 1, 0, 1, 0, 0.1f, 2);
            EXPECT_EQ(!fake.calls.empty(), drawn) << kind << " at " << c.x << ", " << c.y;
        }
    }
}

TEST_F(Drawing, FillboxNeedsADiagonalSampleStrictlyInside) {
    // Corner 3 at (12, 2), corner 1 on the edge at (10, 2): every sample of
    // the diagonal lies on or outside the edge.
    fillbox(*s, 1, 10, 2, 11, 1, 11, 3, 12, 2, 2);
    EXPECT_TRUE(fake.calls.empty());
    // A diagonal along the bottom edge.
    fillbox(*s, 1, 1, 0, 2, -1, 2, 1, 3, 0, 2);
    EXPECT_TRUE(fake.calls.empty());
    // Corner 1 just inside: the last sample counts.
    fillbox(*s, 1, 9.99f, 2, 11, 1, 11, 3, 12, 2, 2);
    ASSERT_EQ(fake.calls.size(), 1u);
    // Filled in the order corner 1, 2, 3, 4 (the arguments carry 4 before 3).
    const Drawn& d = fake.calls[0];
    EXPECT_EQ(d.what, "polygon");
    ASSERT_EQ(d.points.size(), 4u);
    expect_point(d.points[0], 999, 200);
    expect_point(d.points[1], 1100, 100);
    expect_point(d.points[2], 1200, 200);
    expect_point(d.points[3], 1100, 300);
    EXPECT_EQ(d.colour, 9);
}

TEST_F(Drawing, LineSamplesFromItsSecondEndAndSkipsItsFirst) {
    // (x1, y1) = (9.5, 2) alone inside; the samples from (20, 2) stop at 10.55.
    line(*s, 1, 9.5f, 2, 20, 2, 3, 4);
    EXPECT_TRUE(fake.calls.empty());
    line(*s, 1, 20, 2, 9.5f, 2, 3, 4);
    ASSERT_EQ(fake.calls.size(), 1u);
    const Drawn& d = fake.calls[0];
    EXPECT_EQ(d.what, "line");
    EXPECT_EQ(d.layer, Layer::moving);
    expect_point(d.points[0], 2000, 200);
    expect_point(d.points[1], 950, 200);
    EXPECT_EQ(d.size, 1.0f); // the width argument is not used
    EXPECT_EQ(d.colour, 0);  // pen 4 red
    // A line whose inner samples cross the square though both ends are outside.
    line(*s, 1, -5, 2, 15, 2, 1, 4);
    EXPECT_EQ(fake.calls.size(), 2u);
}

TEST_F(Drawing, MlineNeedsAnEndInsideThenTheLineTest) {
    mline(*s, 1, -5, 2, 15, 2, 1, 4, 3); // crosses, but neither end inside
    EXPECT_TRUE(fake.calls.empty());
    mline(*s, 1, 9.5f, 2, 20, 2, 1, 4, 3); // an end inside, the line test refuses
    EXPECT_TRUE(fake.calls.empty());
    mline(*s, 1, 20, 2, 9.5f, 2, 1, 4, 3);
    EXPECT_EQ(fake.calls.size(), 1u);
}

// --- shapes -------------------------------------------------------------------------------

TEST_F(Drawing, MarkerTypes) {
    struct Case {
        int         mt;
        const char* what;
        std::size_t count;  // calls
        std::size_t points; // points of the first call
    };
    const Case cases[] = {{1, "point", 1, 1},   {4, "point", 1, 1},    {2, "circle", 1, 1},
                          {3, "polygon", 1, 4}, {10, "polygon", 1, 4}, {12, "polygon", 1, 4},
                          {5, "line", 4, 2},    {8, "line", 4, 2},     {6, "polygon", 1, 8},
                          {7, "polygon", 1, 3}, {9, "", 0, 0},         {11, "", 0, 0},
                          {0, "", 0, 0},        {-3, "", 0, 0}};
    for (const Case& c : cases) {
        fake.calls.clear();
        marker(*s, 1, 5, 2, c.mt, 0.1f, 6);
        ASSERT_EQ(fake.calls.size(), c.count) << "mt " << c.mt;
        if (c.count == 0) continue;
        EXPECT_EQ(fake.calls[0].what, c.what) << "mt " << c.mt;
        EXPECT_EQ(fake.calls[0].points.size(), c.points) << "mt " << c.mt;
        EXPECT_EQ(fake.calls[0].colour, 12) << "mt " << c.mt;
    }
    // The shapes around C = (500, 200) with Sx = Sy = 10.
    fake.calls.clear();
    marker(*s, 1, 5, 2, 2, 0.1f, 6);
    EXPECT_NEAR(fake.calls[0].size, 10, 1e-3);
    marker(*s, 1, 5, 2, 3, 0.1f, 6);
    const auto& sq = fake.calls[1].points;
    expect_point(sq[0], 495, 195);
    expect_point(sq[2], 505, 205);
    marker(*s, 1, 5, 2, 7, 0.1f, 6); // the triangle's point is at the bottom
    expect_point(fake.calls[2].points[1], 500, 195);
    expect_point(fake.calls[2].points[0], 495, 205);
    marker(*s, 1, 5, 2, 6, 0.1f, 6);
    expect_point(fake.calls[3].points[0], 497.5f, 205);
    expect_point(fake.calls[3].points[5], 505, 197.5f);
    // The outline square closes on its first corner.
    fake.calls.clear();
    marker(*s, 1, 5, 2, 8, 0.1f, 6);
    expect_point(fake.calls[3].points[1], 495, 195);
}

TEST_F(Drawing, DxmarkerStretchesThePlusUHalfByK) {
    // Along +x: u = (10, 0), n = (0, 10).
    const auto rect = [&](float k) {
        fake.calls.clear();
        dxmarker(*s, 1, 5, 2, 1, 0, k, 8, 0.1f, 2);
        EXPECT_EQ(fake.calls.size(), 1u);
        return fake.calls.at(0).points;
    };
    const auto one = rect(1), two = rect(2);
    ASSERT_EQ(one.size(), 4u);
    const float len1 = one[0].x - one[1].x, len2 = two[0].x - two[1].x;
    EXPECT_NEAR(len1, 10, 1e-3);
    EXPECT_NEAR(len2, 15, 1e-3);               // 1.5 times as long ...
    EXPECT_NEAR(two[1].x, one[1].x, 1e-3);     // ... the -u side unchanged
    EXPECT_NEAR(one[0].y - one[3].y, 5, 1e-3); // half-width 0.25 each side

    float k = -3;
    dxmarker(*s, 1, 5, 2, 1, 0, k, 8, 0.1f, 2);
    EXPECT_EQ(k, -1.0f);
    const auto& flat = fake.calls.back().points;
    EXPECT_NEAR(flat[0].x - flat[1].x, 0, 1e-3);
    EXPECT_NEAR(flat[0].x, 495, 1e-3);

    // Type 9 is twice as wide; 5 and 10 are outlines; an unknown type nothing.
    k = 1;
    fake.calls.clear();
    dxmarker(*s, 1, 5, 2, 1, 0, k, 9, 0.1f, 2);
    EXPECT_NEAR(fake.calls[0].points[0].y - fake.calls[0].points[3].y, 10, 1e-3);
    dxmarker(*s, 1, 5, 2, 0, 1, k, 10, 0.1f, 2); // along +y: u = (0, 10), n = (-10, 0)
    ASSERT_EQ(fake.calls.size(), 5u);
    expect_point(fake.calls[1].points[0], 497.5f, 200);
    expect_point(fake.calls[1].points[1], 500, 195);
    dxmarker(*s, 1, 5, 2, 1, 0, k, 5, 0.1f, 2);
    EXPECT_EQ(fake.calls.size(), 9u);
    dxmarker(*s, 1, 5, 2, 1, 0, k, 7, 0.1f, 2);
    EXPECT_EQ(fake.calls.size(), 9u);
}

TEST_F(Drawing, DxmarkerSetsTheCallersKWithoutABridgeTooButNotOutside) {
    s->draw = nullptr;
    float k = -2.5f;
    dxmarker(*s, 1, 5, 2, 1, 0, k, 8, 0.1f, 2);
    EXPECT_EQ(k, -1.0f);
    k = -0.5f;
    dxmarker_f(*s, 1, 5, 2, 1, 0, k, 8, 0.1f, 2);
    EXPECT_EQ(k, -0.5f);
    s->draw = &fake;
    k = -4;
    dxmarker(*s, 1, 50, 2, 1, 0, k, 8, 0.1f, 2); // outside: nothing at all
    EXPECT_EQ(k, -4.0f);
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(Drawing, DxarrowDrawsTheStemAndTheArrowsOfItsDigits) {
    struct Case {
        int         mt;
        std::size_t lines;
    };
    for (const Case c : {Case{101, 7}, Case{20, 1}, Case{0, 1}, Case{-111, 1}, Case{111, 10},
                         Case{10, 4}, Case{1, 4}, Case{100, 4}, Case{211, 7}}) {
        fake.calls.clear();
        dxarrow(*s, 1, 5, 2, -1, 0, 7, c.mt, 0.1f, 4);
        EXPECT_EQ(fake.calls.size(), c.lines) << "mt " << c.mt;
    }
    // (dx, dy) = (-1, 0): travel along +x, f = (10, 0), left L = (0, 10).
    fake.calls.clear();
    dxarrow(*s, 1, 5, 2, -1, 0, 7, 111, 0.1f, 4);
    const auto& d = fake.calls;
    expect_point(d[0].points[0], 498, 200, "stem"); // C - 0.2f
    expect_point(d[0].points[1], 495, 200, "stem"); // C - 0.5f
    expect_point(d[1].points[1], 505, 203.5f, "left tip");
    expect_point(d[3].points[1], 505, 202.45f, "left barb");
    expect_point(d[4].points[1], 506.5f, 200, "through tip");
    expect_point(d[7].points[0], 499, 200, "right shaft");
    expect_point(d[7].points[1], 505, 196.5f, "right tip");
    expect_point(d[9].points[1], 504, 196.5f, "right barb");
    for (const auto& l : d) EXPECT_EQ(l.colour, 0);
}

TEST_F(Drawing, DlineDrawsDashesFromTheSecondEnd) {
    dline(*s, 1, 1, 1, 5, 1, 1, 2, 0, 0.5f);
    dline(*s, 1, 1, 1, 5, 1, 1, 2, -2, 0.5f);
    EXPECT_TRUE(fake.calls.empty());
    dline(*s, 1, 1, 1, 5, 1, 1, 2, 4, 0.5f);
    ASSERT_EQ(fake.calls.size(), 4u);
    for (int i = 0; i < 4; ++i) {
        const auto& p = fake.calls[i].points;
        expect_point(p[0], 500 - 100 * i, 100, "dash start");
        expect_point(p[1], 450 - 100 * i, 100, "dash end");
    }
    // Each dash keeps its own visibility test.
    fake.calls.clear();
    dline_f(*s, 1, 8, 1, 12, 1, 1, 2, 4, 0.5f); // dashes from 12, 11, 10, 9 km
    ASSERT_EQ(fake.calls.size(), 2u);
    EXPECT_EQ(fake.calls[0].layer, Layer::fixed);
    expect_point(fake.calls[0].points[0], 1000, 100);
}

TEST_F(Drawing, TwinsDrawOnTheirOwnLayer) {
    float      k = 1;
    const auto both = [&](auto plain, auto fixed) {
        fake.calls.clear();
        plain();
        fixed();
        ASSERT_EQ(fake.calls.size() % 2, 0u);
        const std::size_t half = fake.calls.size() / 2;
        ASSERT_GT(half, 0u);
        for (std::size_t i = 0; i < half; ++i) {
            EXPECT_EQ(fake.calls[i].layer, Layer::moving);
            EXPECT_EQ(fake.calls[half + i].layer, Layer::fixed);
            EXPECT_EQ(fake.calls[i].what, fake.calls[half + i].what);
        }
    };
    both([&] { clearscrn(*s); }, [&] { clearscrn_fixed(*s); });
    both([&] { plot_c(*s, 1, 2, 3, 4, 21); }, [&] { plot_c_f(*s, 1, 2, 3, 4, 21); });
    both([&] { setpix(*s, 1, 2, 21); }, [&] { setpix_f(*s, 1, 2, 21); });
    both([&] { circle(*s, 1, 2, 3, 21); }, [&] { circle_f(*s, 1, 2, 3, 21); });
    const PixelPoint tri[3] = {{0, 0}, {1, 0}, {0, 1}};
    both([&] { fill(*s, tri, 21); }, [&] { fill_f(*s, tri, 21); });
    both([&] { line(*s, 1, 1, 1, 2, 2, 1, 3); }, [&] { line_f(*s, 1, 1, 1, 2, 2, 1, 3); });
    both([&] { marker(*s, 1, 5, 2, 6, 0.1f, 3); }, [&] { marker_f(*s, 1, 5, 2, 6, 0.1f, 3); });
    both([&] { dxmarker(*s, 1, 5, 2, 1, 0, k, 8, 0.1f, 3); },
         [&] { dxmarker_f(*s, 1, 5, 2, 1, 0, k, 8, 0.1f, 3); });
    both([&] { dxarrow(*s, 1, 5, 2, 1, 0, 0, 111, 0.1f, 3); },
         [&] { dxarrow_f(*s, 1, 5, 2, 1, 0, 0, 111, 0.1f, 3); });
    both([&] { fillbox(*s, 1, 1, 1, 2, 1, 1, 2, 2, 2, 3); },
         [&] { fillbox_f(*s, 1, 1, 1, 2, 1, 1, 2, 2, 2, 3); });
    // The pixel calls pass on their points and palette index as they are.
    fake.calls.clear();
    fill(*s, tri, 21);
    plot_c(*s, 1, 2, 3, 4, 30);
    ASSERT_EQ(fake.calls.size(), 2u);
    expect_point(fake.calls[0].points[2], 0, 1);
    EXPECT_EQ(fake.calls[0].colour, 21);
    expect_point(fake.calls[1].points[1], 3, 4);
    EXPECT_EQ(fake.calls[1].size, 1.0f);
    EXPECT_EQ(fake.calls[1].colour, 30);
}

TEST_F(Drawing, WithoutABridgeNothingIsDrawnAndNothingFails) {
    s->draw = nullptr;
    float            k = 1;
    const PixelPoint tri[3] = {{0, 0}, {1, 0}, {0, 1}};
    const float      xs[2] = {1, 2}, ys[2] = {1, 1};
    clearscrn(*s), clearscrn_fixed(*s), plot_c(*s, 1, 2, 3, 4, 21), setpix(*s, 1, 2, 3);
    circle(*s, 1, 2, 3, 4), fill(*s, tri, 21), line(*s, 1, 1, 1, 2, 2, 1, 3);
    mline(*s, 1, 1, 1, 2, 2, 1, 3, 1), dline(*s, 1, 1, 1, 2, 2, 1, 3, 4, 0.5f);
    marker(*s, 1, 5, 2, 6, 0.1f, 3), dxmarker(*s, 1, 5, 2, 1, 0, k, 8, 0.1f, 3);
    dxarrow(*s, 1, 5, 2, 1, 0, 0, 111, 0.1f, 3), fillbox(*s, 1, 1, 1, 2, 1, 1, 2, 2, 2, 3);
    box(*s, 1, 1, 1, 2, 2, 3), croshair(*s, 1, 1, 1, 2, 2, 3), fillin(*s, 1, 1, 1, 2, 2, 3);
    markers(*s, 1, xs, ys, 1, 0.1f, 3), abox(*s, 1, 5, 2, 1, 0.5f, 1, 0);
    plot_c_empty(*s, 1, 2, 3, 4, 5);
    EXPECT_TRUE(fake.calls.empty());
}

TEST_F(Drawing, TheRoutinesNoRunCalls) {
    box(*s, 1, 1, 1, 3, 2, 2);
    ASSERT_EQ(fake.calls.size(), 4u);
    expect_point(fake.calls[1].points[0], 300, 100);
    expect_point(fake.calls[1].points[1], 300, 200);
    fake.calls.clear();
    croshair(*s, 1, 0, 0, 10, 4, 2);
    ASSERT_EQ(fake.calls.size(), 2u);
    expect_point(fake.calls[0].points[0], 450, 200);
    expect_point(fake.calls[0].points[1], 550, 200);
    expect_point(fake.calls[1].points[0], 500, 180);
    expect_point(fake.calls[1].points[1], 500, 220);
    fake.calls.clear();
    fillin(*s, 1, 1, 1, 2, 3, 2);
    ASSERT_EQ(fake.calls.size(), 1u);
    expect_point(fake.calls[0].points[2], 200, 300);
    fake.calls.clear();
    const float xs[3] = {1, 0, 2}, ys[3] = {1, 1, 2};
    markers(*s, 1, xs, ys, 1, 0.1f, 2);
    ASSERT_EQ(fake.calls.size(), 2u);
    expect_point(fake.calls[1].points[0], 200, 200);
    fake.calls.clear();
    abox(*s, 1, 5, 2, 2, 0.5f, 1, 0); // 2 km long, 1 km wide
    ASSERT_EQ(fake.calls.size(), 4u);
    EXPECT_NEAR(length(fake.calls[0]), 200, 1e-3);
    EXPECT_NEAR(length(fake.calls[1]), 100, 1e-3);
    EXPECT_EQ(fake.calls[0].colour, 22);
    fake.calls.clear();
    plot_c_empty(*s, 1, 2, 3, 4, 5);
    EXPECT_EQ(fake.calls.at(0).size, 0.0f);
    int c = 0;
    getpix(*s, 1, 1, c);
    EXPECT_EQ(c, 1);
    text(*s, 1, 5, 2, "label", 1, 2, 0, 1);
    EXPECT_EQ(fake.calls.size(), 1u);
}

} // namespace
} // namespace velm
