// How the vehicles are drawn on the moving layer: the pen by speed band,
// class or tracking choice, the rectangle's length, and the clearing of the
// layer before the vehicles are drawn where they are now.
#include "core/display/display.h"
#include "core/display/graphing.h"
#include "display/recording_bridge.h"

#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velm {
namespace {

using support::Drawn;

// Palette index of each pen.
constexpr int kPalette[20] = {22, 5,  9, 23, 0,  25, 12, 19, 17, 6,
                              10, 24, 1, 26, 27, 21, 30, 20, 29, 28};

// Link 1 from node 1 at (2, 3) to node 2 at (3, 3) km, coded 1 km long and
// drawn 0.9 km, two lanes, speed at capacity 40 and free speed 60 km/h; trips
// 5 and 6 on it in slots 7 and 8. The display square 0..5 x 0..5 km maps onto
// 5000 x 5000 pixels, so the 6-m vehicle rectangle is 6 px long.
struct Traffic {
    support::MemoryRun       run;
    Sim&                     s = run.s;
    support::RecordingBridge fake;
    Traffic() {
        s.draw = &fake;
        auto& d = s.set2;
        d.xmin(1) = 0, d.xmax(1) = 5, d.ymin(1) = 0, d.ymax(1) = 5;
        window(s, 1, 0, 5000, 0, 5000, 0, 5, 0, 5);
        auto& g = s.graph1;
        g.x(1) = 2.0f, g.y(1) = 3.0f, g.x(2) = 3.0f, g.y(2) = 3.0f;
        g.dx(1) = -1.0f, g.dy(1) = 0.0f;
        g.xylen(1) = 0.9f;
        s.link1.frnode(1) = 1, s.link1.tonode(1) = 2;
        s.link1.nulans(1) = 2, s.link1.addlin(1) = 1;
        s.link1.spdvol(1, 4) = 40.0f, s.link1.spdvol(1, 7) = 60.0f;
        s.link4.llength(1) = 1.0f;
        s.link2.mlnum = 1;
        s.control.t10 = 1000;
        s.control.t = 100;
        s.wvedat.wvedat(6) = 2.0f;
        add(5, 7, 300.0f);
    }
    // Trip car in slot vid at dis m in lane 1, class 1, never drawn.
    void add(int car, int vid, float dis) {
        auto& l2 = s.link2;
        ++l2.ntqu(1);
        s.vehicle.big(l2.ntqu(1)) = car;
        s.vehindx.vehid(car) = vid;
        s.oddat.vlan(vid, 1) = 1;
        s.oddat.vtyp(car) = 1;
        s.vehicle.pcu(car) = 1.0f;
        s.vehplot.dis(vid, 1) = dis;
        s.vehplot.xq(vid, 1) = s.vehplot.yq(vid, 1) = -10000.0f;
    }
    // The vehicles as drawn: the polygons on the moving layer.
    std::vector<Drawn> rectangles() const { return fake.of("polygon"); }
};

int only_colour(const Traffic& t) {
    const auto r = t.rectangles();
    EXPECT_EQ(r.size(), 1u);
    return r.empty() ? -1 : r.back().colour;
}

TEST(VehicleDrawing, ColourBySpeedBand) {
    // Bands of a link with uc 40 and uf 60: below 20, below 40, below 50, above.
    const struct {
        float speed;
        int   pen;
    } cases[] = {{25.0f, 14},  {15.0f, 12}, {45.0f, 9}, {55.0f, 10},
                 {19.99f, 12}, {20.0f, 14}, {40.0f, 9}, {50.0f, 10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speed);
        Traffic t;
        t.s.oddat.vehcol(5) = 2;
        t.s.vehplot.spd(7, 4) = c.speed;
        t.s.vehplot.spd(7, 1) = 0.0f; // the current speed does not count
        vehpos3(t.s, 2);
        EXPECT_EQ(only_colour(t), kPalette[c.pen]);
    }
}

TEST(VehicleDrawing, ColourByClass) {
    const int pens[5] = {11, 13, 15, 0, 2};
    for (int cls = 1; cls <= 5; ++cls) {
        SCOPED_TRACE(cls);
        Traffic t;
        t.s.oddat.vtyp(5) = cls;
        t.s.vehplot.spd(7, 4) = 5.0f;
        vehpos3(t.s, 2);
        EXPECT_EQ(only_colour(t), kPalette[pens[cls - 1]]);
    }
}

TEST(VehicleDrawing, TrackedVehiclesInPinkTheOthersInGreen) {
    // Trip 5 (slot 7): class 1, 1 -> 2, 2 km/h, braking hard, a probe of
    // class 1, diverted once, under sign advice until second 100, changing
    // lanes. Trip 6 (slot 8): class 2, 1 -> 3, 3.7 km/h, none of that.
    const struct {
        int mode, value, dest;
        int pen5, pen6;
    } cases[] = {
        {1, 6, 0, 2, 11},   {2, 2, 0, 2, 11},  {3, 1, 2, 11, 2},  {3, 1, 3, 2, 11},
        {4, 1, 0, 11, 11},  {5, 3, 0, 2, 11},  {6, 0, 0, 11, 2},  {7, 0, 0, 11, 2},
        {8, 0, 0, 11, 2},   {9, 0, 0, 2, 11},  {10, 0, 0, 2, 2},  {11, 0, 0, 11, 2},
        {12, 0, 0, 2, 2},   {13, 0, 0, 11, 2}, {14, 0, 0, 11, 2}, {0, 0, 0, 11, 13},
        {15, 9, 9, 11, 13}, // not a tracking mode: colour by class
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        Traffic t;
        Sim&    s = t.s;
        t.add(6, 8, 600.0f);
        s.oddat.vtyp(6) = 2;
        s.vehicle.norig(5) = 1, s.vehicle.ndest(5) = 2;
        s.vehicle.norig(6) = 1, s.vehicle.ndest(6) = 3;
        s.vehplot.spd(7, 1) = 2.0f, s.vehplot.spd(8, 1) = 3.7f;
        s.vehicle.vacc(7, 1) = -1.5f, s.vehicle.vacc(8, 1) = 1.5f;
        s.oddat.probe(5) = 1;
        s.vehicle.vehdiv(7) = 1;
        s.oddat.cmst(7, 1) = 100, s.oddat.cmst(8, 1) = 99;
        s.vehindx.lnchtm(7, 1) = 1005, s.vehindx.lnchtm(7, 3) = 2;
        s.graph1.symb(11) = c.mode, s.graph1.symb(12) = c.value, s.graph1.symb(13) = c.dest;
        vehpos3(s, 2);
        const auto r = t.rectangles();
        ASSERT_EQ(r.size(), 2u);
        EXPECT_EQ(r[0].colour, kPalette[c.pen5]);
        EXPECT_EQ(r[1].colour, kPalette[c.pen6]);
    }
}

// Length of a filled rectangle along the link, pixels.
float rectangle_length(const Drawn& d) {
    return std::hypot(d.points[0].x - d.points[1].x, d.points[0].y - d.points[1].y);
}

TEST(VehicleDrawing, LengthGrowsWithPassengerCarEquivalentsAndTheDrawnScale) {
    // The rectangle reaches 3 px downstream and kpcu x 3 px upstream of its
    // point (upstream is the +u side: u points back to the start node).
    const struct {
        float pcu, xylen, kpcu;
    } cases[] = {{1.5f, 0.9f, 1.35f}, {1.0f, 1.0f, 1.0f}, {-2.0f, 1.0f, 2.0f}, {2.0f, 0.5f, 1.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kpcu);
        Traffic t;
        t.s.vehicle.pcu(5) = c.pcu;
        t.s.graph1.xylen(1) = c.xylen;
        vehpos3(t.s, 2);
        const auto r = t.rectangles();
        ASSERT_EQ(r.size(), 1u);
        EXPECT_NEAR(rectangle_length(r[0]), 3.0f * (1.0f + c.kpcu), 1e-3f);
        // The downstream end lies 3 px ahead of the recorded point.
        EXPECT_NEAR(r[0].points[1].x, t.s.vehplot.xq(7, 1) * 1000.0f + 3.0f, 1e-2f);
    }
}

// The layer is cleared first, then each vehicle is drawn once, where it is
// now, whether or not it was drawn before: nothing is painted at its old place.
TEST(VehicleDrawing, TheLayerIsClearedAndEachVehicleDrawnOnceWhereItIsNow) {
    const struct {
        const char* what;
        float       last_x;
        int         zoncon;
        int         polygons, lines; // on the moving layer
    } cases[] = {
        {"first drawing", -10000.0f, 0, 1, 0},
        {"left its link", -1.0f, 0, 1, 0},
        {"drawn before", 2.2f, 0, 1, 0},
        {"zone connector, first drawing", -10000.0f, 1, 0, 4},
        {"zone connector, drawn before", 2.2f, 1, 0, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Traffic t;
        Sim&    s = t.s;
        s.link1.zoncon(1) = c.zoncon;
        s.vehplot.xq(7, 1) = c.last_x;
        s.vehplot.yq(7, 1) = 2.9f;
        s.vehplot.xq(7, 2) = -1.0f;
        s.vehplot.yq(7, 2) = 0.0f;
        vehpos3(s, 2);
        ASSERT_FALSE(t.fake.calls.empty());
        EXPECT_EQ(t.fake.calls.front().what, "clear");
        EXPECT_EQ(t.fake.calls.front().layer, Layer::moving);
        const auto rects = t.rectangles();
        const auto lines = t.fake.of("line");
        EXPECT_EQ(static_cast<int>(rects.size()), c.polygons);
        EXPECT_EQ(static_cast<int>(lines.size()), c.lines);
        // The vehicle at its new point, 300 m along lane 1, and nowhere else.
        const Drawn& last = c.zoncon == 1 ? lines.back() : rects.back();
        EXPECT_EQ(last.colour, kPalette[11]);
        for (const Drawn& d : t.fake.calls)
            for (const PixelPoint& p : d.points) EXPECT_GT(p.x, 2250.0f) << d.what;
        EXPECT_NEAR(s.vehplot.xq(7, 1), 2.3f + 0.0074f * 0.5f * 0.4f, 1e-4f);
    }
}

TEST(VehicleDrawing, WithoutABridgeTheSamePositionsAreRecorded) {
    Traffic drawn, silent;
    silent.s.draw = nullptr;
    for (Traffic* t : {&drawn, &silent}) {
        t->s.vehplot.xq(7, 1) = 2.2f;
        t->s.vehplot.yq(7, 1) = 2.9f;
        vehpos3(t->s, 2);
    }
    EXPECT_EQ(drawn.s.vehplot.xq(7, 1), silent.s.vehplot.xq(7, 1));
    EXPECT_EQ(drawn.s.vehplot.yq(7, 1), silent.s.vehplot.yq(7, 1));
    EXPECT_EQ(drawn.rectangles().size(), 1u);
    EXPECT_TRUE(silent.fake.calls.empty());
}

} // namespace
} // namespace velm
