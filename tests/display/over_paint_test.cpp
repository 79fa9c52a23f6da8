// A vehicle leaving its link paints over its marker on the moving layer, in
// the colour of the road beneath, through the drawing bridge.
#include "core/display/graphing.h"
#include "display/recording_bridge.h"
#include "movement/entry_fixture.h"

#include <gtest/gtest.h>

namespace velm {
namespace {

// Link 1 (node 1 -> 2) leads into link 3 (2 -> 3) and on to link 4 (3 -> 4),
// in a display square 0..10 x 0..5 km drawn at 100 pixels a km.
struct Leaving : testing_movement::Traffic {
    support::RecordingBridge fake;
    Leaving() {
        road({.l = 1, .from = 1, .to = 2});
        road({.l = 3, .from = 2, .to = 3, .fretim = 30.0f});
        road({.l = 4, .from = 3, .to = 4});
        connect(1, 3);
        connect(3, 4);
        spilback(s);
        s.draw = &fake;
        s.set2.xmax(1) = 10, s.set2.ymax(1) = 5;
        window(s, 1, 0, 1000, 0, 500, 0, 10, 0, 5);
        s.graph1.dx(1) = 1.0f, s.graph1.dy(1) = 0.0f;
    }
    // Trip 1 due at the end of link 1, last drawn at (x, y); the tick it leaves.
    int leave(float x, float y) {
        trip(1, 1, 4, 0.0f, {1, 3, 4});
        const int vid = on_link(1, 1, 190.0f, 100.4f);
        s.vehplot.spd(vid, 1) = 10.0f;
        s.vehplot.xq(vid, 1) = x;
        s.vehplot.yq(vid, 1) = y;
        serve({1});
        lanpos(s, -1, 1004);
        moveveh(s, 100, 1004);
        EXPECT_EQ(s.oddat.curlnk(vid), 3) << "the trip did not leave link 1";
        return vid;
    }
};

TEST(OverPaint, ALeavingVehicleIsPaintedOverInTheRoadColour) {
    struct Case {
        int zoncon; // 1: link 1 is a zone connector
        int colour; // palette index of the over-paint
    };
    for (const Case c : {Case{0, 30}, Case{1, 0}}) {
        Leaving r;
        r.s.link1.zoncon(1) = c.zoncon;
        const int  vid = r.leave(1.5f, 2.0f);
        const auto painted = r.fake.of("polygon");
        ASSERT_EQ(painted.size(), 1u) << "zoncon " << c.zoncon;
        EXPECT_EQ(painted[0].layer, Layer::moving);
        EXPECT_EQ(painted[0].colour, c.colour);
        // The rectangle's -u end lies half a marker width behind the last
        // drawn point (150, 200).
        EXPECT_NEAR(painted[0].points[1].x, 150.0f - 0.3f, 1e-3);
        EXPECT_NEAR(painted[0].points[1].y + painted[0].points[2].y, 400.0f, 1e-3);
        EXPECT_EQ(r.s.vehplot.xq(vid, 1), -1.0f);
        EXPECT_EQ(r.s.vehplot.yq(vid, 1), -1.0f);
    }
}

TEST(OverPaint, AMarkerNeverDrawnIsNotPaintedOver) {
    Leaving   r;
    const int vid = r.leave(-10000.0f, -10000.0f);
    EXPECT_TRUE(r.fake.calls.empty());
    EXPECT_EQ(r.s.vehplot.xq(vid, 1), -1.0f);
}

} // namespace
} // namespace velm
