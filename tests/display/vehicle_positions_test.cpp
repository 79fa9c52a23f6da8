// Where the vehicles are recorded as drawn (lane centre lines, lane changes
// in progress) and how often: the animation periods.
#include "core/display/display.h"
#include "core/display/lane_geometry.h"

#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <string>

namespace velm {
namespace {

constexpr float kLane = 0.0074f; // km

// Link 1 from node 1 at (2, 3) to node 2 at (3, 3) km, 1 km long, two lanes,
// base offset 1, no set-backs; trip 5 on it in slot 7, in lane 1 at 500 m.
struct OneLink : ::testing::Test {
    support::MemoryRun run;
    Sim&               s = run.s;
    void               SetUp() override {
        auto& g = s.graph1;
        g.x(1) = 2.0f;
        g.y(1) = 3.0f;
        g.x(2) = 3.0f;
        g.y(2) = 3.0f;
        g.dx(1) = -1.0f; // from the end node back to the start node
        g.dy(1) = 0.0f;
        s.link1.frnode(1) = 1;
        s.link1.tonode(1) = 2;
        s.link1.nulans(1) = 2;
        s.link1.addlin(1) = 1;
        s.link4.llength(1) = 1.0f;
        s.link2.mlnum = 1;
        s.link2.ntqu(1) = 1;
        s.vehicle.big(1) = 5;
        s.vehindx.vehid(5) = 7;
        s.oddat.vlan(7, 1) = 1;
        s.vehplot.dis(7, 1) = 500.0f;
        s.vehplot.xq(7, 1) = s.vehplot.yq(7, 1) = -1.0f;
        s.control.t10 = 1000;
        s.wvedat.wvedat(6) = 2.0f;
    }
};

TEST_F(OneLink, RecordsTheLanesCentreLineAtThePositionAndMarksTheSlotDrawn) {
    // Lane 1 (right-most) is centred 2.6 lane units right of travel (-y here);
    // lane 2 1.6 units.
    const struct {
        const char* what;
        int         lane;
        float       dis, x, y;
    } cases[] = {
        {"lane 1 half-way", 1, 500.0f, 2.5f, 3.0f - 2.6f * kLane},
        {"lane 2 half-way", 2, 500.0f, 2.5f, 3.0f - 1.6f * kLane},
        {"lane 1 at the start, set back half a unit", 1, 0.0f, 2.0f + 0.5f * kLane,
         3.0f - 2.6f * kLane},
        {"lane 1 at the end", 1, 1000.0f, 3.0f - 0.5f * kLane, 3.0f - 2.6f * kLane},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        s.oddat.vlan(7, 1) = c.lane;
        s.vehplot.dis(7, 1) = c.dis;
        s.vehplot.drawn(7) = 0;
        vehpos3(s, 2);
        EXPECT_NEAR(s.vehplot.xq(7, 1), c.x, 1e-5f);
        EXPECT_NEAR(s.vehplot.yq(7, 1), c.y, 1e-5f);
        EXPECT_EQ(s.vehplot.xq(7, 2), -1.0f);
        EXPECT_EQ(s.vehplot.yq(7, 2), 0.0f);
        EXPECT_EQ(s.vehplot.dis(7, 3), c.dis);
        EXPECT_EQ(s.vehplot.drawn(7), 1);
    }
}

TEST_F(OneLink, ALaneChangeSlidesFromTheOldLaneToTheNewOne) {
    // From lane 2 to lane 1; the change lasts wvedat(6) = 2 s = 20 ticks.
    s.vehindx.lnchtm(7, 3) = 2;
    const struct {
        const char* what;
        int         ticks_left;
        float       units; // lane units right of the node line
    } cases[] = {{"just begun", 20, 1.6f},
                 {"half of the change left", 10, 2.1f},
                 {"a quarter left", 5, 2.35f},
                 {"ended", 0, 2.6f},
                 {"ended long ago", -300, 2.6f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        s.vehindx.lnchtm(7, 1) = s.control.t10 + c.ticks_left;
        vehpos3(s, 2);
        EXPECT_NEAR(s.vehplot.yq(7, 1), 3.0f - c.units * kLane, 1e-6f);
        EXPECT_NEAR(s.vehplot.xq(7, 1), 2.5f, 1e-6f);
    }
}

TEST_F(OneLink, LinksNotCodedOrEmptyRecordNothing) {
    for (const char* what : {"not coded", "empty"}) {
        SCOPED_TRACE(what);
        if (std::string(what) == "not coded")
            s.link4.llength(1) = -99999.0f;
        else
            s.link2.ntqu(1) = 0;
        vehpos3(s, 2);
        EXPECT_EQ(s.vehplot.xq(7, 1), -1.0f);
        EXPECT_EQ(s.vehplot.drawn(7), 0);
    }
}

TEST(LaneGeometry, ABandOfACodedNegativeLaneCountStartsCloserToTheNodeLine) {
    support::MemoryRun run;
    Sim&               s = run.s;
    s.graph1.x(1) = 0.0f;
    s.graph1.y(1) = 0.0f;
    s.graph1.x(2) = 0.0f;
    s.graph1.y(2) = 1.0f;
    s.graph1.dx(1) = 0.0f;
    s.graph1.dy(1) = -1.0f; // travel towards +y: right is +x
    s.link1.frnode(1) = 1;
    s.link1.tonode(1) = 2;
    s.link1.nulans(1) = -3;
    for (int addlin : {-1, 1}) {
        SCOPED_TRACE(addlin);
        s.link1.addlin(1) = addlin;
        WorldPoint from, to;
        lane_centre_line(s, 1, 3, from, to); // the left-most lane
        const float q = (addlin < 1 ? 0.0f : 1.0f) + 0.6f;
        EXPECT_NEAR(from.x, q * kLane, 1e-7f);
        EXPECT_NEAR(to.x, q * kLane, 1e-7f);
        EXPECT_NEAR(from.y, 0.5f * kLane, 1e-7f);
        EXPECT_NEAR(to.y, 1.0f - 0.5f * kLane, 1e-7f);
    }
}

// --- animation periods ----------------------------------------------------------

TEST(AnimationPeriods, FromTheNetworkSizeTheViewWidthAndTheRunMode) {
    const struct {
        const char* what;
        int         links;
        float       width; // km
        int         indstp, clocks;
        int         a1, a2, a3;
    } cases[] = {
        {"2000 links, 8 km, unpaced", 2000, 8.0f, 0, 0, 1, 10, 600},
        {"2000 links, 8 km, real time", 2000, 8.0f, 0, 100, 1, 1, 600},
        {"2000 links, 8 km, stepping by 1 s", 2000, 8.0f, 10, 0, 1, 2, 600},
        {"2000 links, 8 km, held", 2000, 8.0f, 1, 0, 1, 1, 600},
        {"2000 links, 8 km, stepping by 1 s and paced", 2000, 8.0f, 10, 100, 1, 1, 600},
        {"20 links, 0.4 km", 20, 0.4f, 0, 0, 4, 8, 200},
        {"20 links, 0.4 km, stepping by 1 s", 20, 0.4f, 10, 0, 4, 8, 200},
        {"100 links, 3 km", 100, 3.0f, 0, 0, 3, 30, 450},
        {"1000 links, 1.5 km", 1000, 1.5f, 0, 0, 2, 10, 300},
        {"10 links, 5 km", 10, 5.0f, 0, 0, 5, 50, 750},
        {"11 links, 2 km", 11, 2.0f, 0, 0, 4, 20, 600},
        {"26 links, 0.5 km", 26, 0.5f, 0, 0, 3, 6, 150},
        {"1001 links, 1 km", 1001, 1.0f, 0, 0, 1, 5, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        support::MemoryRun run;
        Sim&               s = run.s;
        s.set2.xmin(2) = 4.0f;
        s.set2.xmax(2) = 4.0f + c.width;
        s.subtim.set_step_mode(c.indstp);
        s.subtim.set_pacing(c.clocks);
        setanim_spd(s, c.links);
        chkanimspd(s, 0);
        EXPECT_EQ(s.subtim.animspd(1), c.a1);
        EXPECT_EQ(s.subtim.animspd(2), c.a2);
        EXPECT_EQ(s.subtim.animspd(3), c.a3);
    }
}

} // namespace
} // namespace velm
