// The network on the fixed layer, seen through a recording bridge: which
// details are drawn at which view width, where the bands lie, the turn
// arrows, the lane-use marks and the incident hatches.
#include "core/display/display.h"
#include "core/display/graphing.h"
#include "display/recording_bridge.h"
#include "display/short_link.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace velm {
namespace {

using support::Drawn;
using support::RecordingBridge;

constexpr float kLane = 0.0074f; // km
constexpr float kPx = 1000.0f;   // pixels a km
// Palette indices of the pens.
constexpr int kZoneColour = 24;      // pen 11
constexpr int kNodeColour = 1;       // pen 12
constexpr int kBandColour = 30;      // pen 16
constexpr int kConnectorColour = 29; // pen 18
constexpr int kMarkColour = 22;      // pen 0
constexpr int kPalette9 = 6;         // pen 9

// Zone 1 at (1.5, 1.5) km; link 1 from node 10 at (0.5, 1) to node 11 at
// (0.62, 1): 120 m eastward, two lanes, base offset 1, no set-backs. The
// display square 0..2 x 0..2 km maps onto 2000 x 2000 pixels; the view is W
// km wide. Right of travel is -y, so offset q lies at y = 1 - q lane units.
struct Network {
    std::unique_ptr<Sim> sim = std::make_unique<Sim>();
    Sim&                 s = *sim;
    RecordingBridge      fake;
    explicit Network(float w, int lanes = 2) {
        s.draw = &fake;
        support::short_link_display(s, w, lanes);
        auto& g = s.graph1;
        g.x(1) = 1.5f, g.y(1) = 1.5f, g.ntyp(1) = 1;
        g.ntyp(10) = 4;
        g.ntyp(11) = 4;
        s.set2.mzones = 1;
        s.set2.mnodenum = 11;
        for (int j = 1; j <= lanes; ++j) s.lanexch.lannum(1, j) = j;
    }
    // An incident on lane 1 of link 1 from `start` to `end` m.
    void block(int start, int end, float share) {
        s.link1.incdist(1, 1) = start;
        s.link1.incdist(1, 2) = end;
        s.link1.capred(1, 1, 1) = share;
    }
    std::vector<Drawn> fixed(const char* what, int colour) const {
        std::vector<Drawn> out;
        for (const auto& d : fake.of(what))
            if (d.layer == Layer::fixed && d.colour == colour) out.push_back(d);
        return out;
    }
};

// Pixel y of lateral offset q on the eastward link.
float y_at(float q) {
    return kPx * (1.0f - q * kLane);
}

bool on(const Drawn& line, float q) {
    return std::abs(line.points[0].y - y_at(q)) < 0.05f &&
           std::abs(line.points[1].y - y_at(q)) < 0.05f;
}

float length(const Drawn& d) {
    return std::hypot(d.points[1].x - d.points[0].x, d.points[1].y - d.points[0].y);
}

// What plotnet drew, sorted by detail.
struct Picture {
    int   zones = 0, nodes = 0, bands = 0;
    int   lane_dashes = 0; // on the line between lanes 1 and 2 (q = 2.1)
    float dash_length = 0; // of the last of them, pixels
    int   hatch = 0;       // dashes on the three hatch lines, before 100 m
    int   arrows = 0;      // lines near the end node
    int   diamonds = 0;    // lines around lane 2's centre line (q = 1.6)
};

Picture picture(const Network& n) {
    Picture p;
    p.zones = static_cast<int>(n.fixed("polygon", kZoneColour).size());
    p.nodes = static_cast<int>(n.fixed("polygon", kNodeColour).size());
    p.bands = static_cast<int>(n.fixed("polygon", kBandColour).size());
    for (const auto& l : n.fixed("line", kMarkColour)) {
        const float x = std::max(l.points[0].x, l.points[1].x);
        const float ymid = (l.points[0].y + l.points[1].y) / 2;
        if (on(l, 2.1f)) {
            ++p.lane_dashes;
            p.dash_length = length(l);
        } else if (x < 600.0f && (on(l, 2.35f) || on(l, 2.6f) || on(l, 2.85f))) {
            ++p.hatch;
        } else if (std::abs(ymid - y_at(1.6f)) < 1.5f) {
            ++p.diamonds;
        } else if (x > 600.0f) {
            ++p.arrows;
        }
    }
    return p;
}

TEST(NetworkDrawing, DetailFollowsTheViewWidth) {
    // Lane 1 striped through and right, lane 2 closed to a vehicle type, a
    // 60-m blockage on lane 1. The lane line runs 112.6 px (half a unit short
    // of each node): dots are 0.01 of a 50-m step, dashes 0.1 of a 10-m step.
    const struct {
        float w;
        int   nodes, dashes;
        float dash_length;
        int   arrows, diamonds, hatch;
    } cases[] = {
        {60.0f, 0, 0, 0.0f, 0, 0, 0},
        {30.0f, 0, 0, 0.0f, 0, 0, 6},
        {19.9f, 2, 0, 0.0f, 0, 0, 6},
        {3.0f, 2, 2, 0.01f * 112.6f / 2, 0, 0, 6},
        {2.0f, 2, 12, 0.1f * 112.6f / 12, 0, 0, 6},
        {1.5f, 2, 12, 0.1f * 112.6f / 12, 7, 8, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.w);
        Network n(c.w);
        n.s.link5.lanper(1, 4) = 11;
        n.s.link4.lanpro(2, 6) = 1;
        n.block(20, 80, 0.5f);
        plotnet(n.s, 1, 1);
        ASSERT_GE(n.fake.calls.size(), 2u);
        EXPECT_EQ(n.fake.calls[0].what, "clear");
        EXPECT_EQ(n.fake.calls[0].layer, Layer::fixed);
        EXPECT_EQ(n.fake.calls[1].what, "clear");
        EXPECT_EQ(n.fake.calls[1].layer, Layer::moving);
        const Picture p = picture(n);
        EXPECT_EQ(p.zones, 1);
        EXPECT_EQ(p.nodes, c.nodes);
        EXPECT_EQ(p.bands, 1);
        EXPECT_EQ(p.lane_dashes, c.dashes);
        if (c.dashes > 0) {
            EXPECT_NEAR(p.dash_length, c.dash_length, 1e-3f);
        }
        EXPECT_EQ(p.arrows, c.arrows);
        EXPECT_EQ(p.diamonds, c.diamonds);
        EXPECT_EQ(p.hatch, c.hatch);
    }
}

TEST(NetworkDrawing, WithoutTheLinkPartOnlyTheSquaresAreDrawn) {
    Network n(1.5f);
    n.block(20, 80, 0.5f);
    plotnet(n.s, 1, 0);
    const Picture p = picture(n);
    EXPECT_EQ(p.zones, 1);
    EXPECT_EQ(p.nodes, 2);
    EXPECT_EQ(p.bands, 0);
    EXPECT_TRUE(n.fake.of("line").empty());
}

TEST(NetworkDrawing, TheBandLiesRightOfTheNodeLineInTheRoadsColour) {
    const struct {
        const char* what;
        int         addlin, zoncon, lanes;
        float       inner, outer; // lane units right of the node line
        int         colour;
    } cases[] = {
        {"lane count coded negative", -1, 0, 2, 0.1f, 2.1f, kBandColour},
        {"ordinary link", 1, 0, 2, 1.1f, 3.1f, kBandColour},
        {"three lanes", 1, 0, 3, 1.1f, 4.1f, kBandColour},
        {"zone connector", 1, 1, 2, 1.1f, 3.1f, kConnectorColour},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Network n(30.0f, c.lanes);
        n.s.link1.addlin(1) = c.addlin;
        n.s.link1.zoncon(1) = c.zoncon;
        plotnet(n.s, 0, 1);
        const auto bands = n.fixed("polygon", c.colour);
        ASSERT_EQ(bands.size(), 1u);
        const auto& v = bands[0].points;
        ASSERT_EQ(v.size(), 4u);
        // Start inner, end inner, end outer, start outer.
        const float      xs = 500.0f, xe = 620.0f;
        const PixelPoint want[4] = {
            {xs, y_at(c.inner)}, {xe, y_at(c.inner)}, {xe, y_at(c.outer)}, {xs, y_at(c.outer)}};
        for (int k = 0; k < 4; ++k) {
            EXPECT_NEAR(v[k].x, want[k].x, 1e-3f) << "corner " << k + 1;
            EXPECT_NEAR(v[k].y, want[k].y, 1e-3f) << "corner " << k + 1;
        }
    }
}

TEST(NetworkDrawing, TurnArrowsFollowTheStripingCode) {
    // The arrow of lane 1 sits at the end node, 2.6 units right of the node
    // line and 0.75 units back; size 8 px. Forward is +x, the driver's left +y.
    const float cx = 620.0f - 0.75f * kLane * kPx, cy = y_at(2.6f);
    const struct {
        int  code, lines;
        bool left, through, right;
    } cases[] = {
        {11, 7, false, true, true},   {0, 0, false, false, false}, {-11, 0, false, false, false},
        {100, 4, true, false, false}, {111, 10, true, true, true}, {2, 1, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        Network n(1.5f);
        n.s.link5.lanper(1, 4) = c.code;
        plotnet(n.s, 1, 1);
        const Picture p = picture(n);
        EXPECT_EQ(p.arrows, c.lines);
        bool left = false, through = false, right = false;
        for (const auto& l : n.fixed("line", kMarkColour))
            for (const auto& pt : l.points) {
                through = through || (std::abs(pt.x - (cx + 0.65f * 8)) < 1e-2f &&
                                      std::abs(pt.y - cy) < 1e-2f);
                left = left || (std::abs(pt.x - (cx + 0.5f * 8)) < 1e-2f &&
                                std::abs(pt.y - (cy + 0.35f * 8)) < 1e-2f);
                right = right || (std::abs(pt.x - (cx + 0.5f * 8)) < 1e-2f &&
                                  std::abs(pt.y - (cy - 0.35f * 8)) < 1e-2f);
            }
        EXPECT_EQ(left, c.left);
        EXPECT_EQ(through, c.through);
        EXPECT_EQ(right, c.right);
    }
}

TEST(NetworkDrawing, LaneLinesAndLaneUseMarksOnAShortLink) {
    // Three lanes, 120 m, W < 2: 12 dashes on each of the two lane lines, the
    // first starting at the end node; two diamonds per closed lane, at a third
    // and two thirds of the way, none at the ends.
    Network n(1.5f, 3);
    n.s.link4.lanpro(1, 6) = 1;
    n.s.link4.lanpro(3, 6) = 1;
    plotnet(n.s, 1, 1);
    int                on_lines = 0, starting_at_end = 0;
    std::vector<Drawn> diamond_sides;
    for (const auto& l : n.fixed("line", kMarkColour)) {
        if (on(l, 2.1f) || on(l, 3.1f)) {
            ++on_lines;
            starting_at_end += std::abs(l.points[0].x - (620.0f - 0.5f * kLane * kPx)) < 1e-2f;
        } else {
            diamond_sides.push_back(l);
        }
    }
    EXPECT_EQ(on_lines, 24);
    EXPECT_EQ(starting_at_end, 2);
    EXPECT_EQ(diamond_sides.size(), 16u) << "two closed lanes, two diamonds each, four sides each";
    // The lane centre line runs from 503.7 to 616.3 px; the diamonds are
    // centred at 1/3 and 2/3 of it from the end. Every side joins a corner
    // across the lane (at the centre's x) to one along it.
    const float from = 500.0f + 0.5f * kLane * kPx, to = 620.0f - 0.5f * kLane * kPx;
    const float centres[2] = {to + (from - to) / 3, to + 2 * (from - to) / 3};
    for (const auto& l : diamond_sides) {
        bool at_centre = false;
        for (float c : centres)
            for (const auto& pt : l.points) at_centre = at_centre || std::abs(pt.x - c) < 1e-2f;
        EXPECT_TRUE(at_centre) << l.points[0].x << " " << l.points[1].x;
    }
}

TEST(NetworkDrawing, IncidentHatchOverTheBlockedSection) {
    const struct {
        const char* what;
        int         start, end;
        float       share;
        int         lines;
    } cases[] = {
        {"60 m blocked", 20, 80, 0.5f, 6},
        {"a blockage under 100 m still gets two dashes a line", 40, 41, 0.5f, 6},
        {"a share coded negative", 20, 80, -0.5f, 6},
        {"nothing blocked", 20, 80, 0.0f, 0},
        {"starts at the link end", 120, 130, 0.5f, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Network n(30.0f);
        n.block(c.start, c.end, c.share);
        plotnet(n.s, 1, 1);
        const Picture p = picture(n);
        EXPECT_EQ(p.hatch, c.lines);
        if (c.lines == 0) continue;
        // The dashes start at the blockage end, 66 % of a step each.
        const float from = 500.0f + 0.5f * kLane * kPx, to = 620.0f - 0.5f * kLane * kPx;
        const float f1 = c.start / 120.0f, f2 = c.end / 120.0f;
        const float x1 = from + (to - from) * f1, x2 = from + (to - from) * f2;
        int         starting_at_end = 0;
        for (const auto& l : n.fixed("line", kMarkColour)) {
            EXPECT_NEAR(length(l), 0.66f * (x2 - x1) / 2, 1e-3f);
            starting_at_end += std::abs(l.points[0].x - x2) < 1e-3f;
        }
        EXPECT_EQ(starting_at_end, 3);
    }
    // A longer blockage: one dash per 50 m.
    Network n(30.0f);
    n.s.link4.llength(1) = 1.2f;
    n.s.graph1.x(11) = 1.7f;
    n.block(100, 500, 0.5f);
    plotnet(n.s, 1, 1);
    EXPECT_EQ(n.fixed("line", kMarkColour).size(), 3u * 8u);
}

TEST(NetworkDrawing, LinksNotCodedAndNodesOfOtherTypesAreSkipped) {
    Network n(1.5f);
    n.s.link4.llength(1) = -99999.0f;
    n.s.graph1.ntyp(10) = 5;
    n.s.graph1.ntyp(11) = 0;
    plotnet(n.s, 1, 1);
    const Picture p = picture(n);
    EXPECT_EQ(p.bands, 0);
    EXPECT_EQ(p.nodes, 0);
    EXPECT_EQ(p.zones, 1);
}

} // namespace
} // namespace velm

namespace velm {
namespace {

TEST(NetworkDrawing, BandsByLinkValueOnTheMovingLayer) {
    const struct {
        float value, largest;
        int   bands;
        float outer; // lane units right of the node line
    } cases[] = {{0.5f, 1.0f, 1, 1.1f + 0.5f + 5.0f},
                 {1.0f, 1.0f, 1, 1.1f + 0.5f + 10.0f},
                 {0.0f, 1.0f, 0, 0.0f},
                 {0.5f, 0.0f, 0, 0.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        Network     n(30.0f);
        const float values[2] = {0.0f, c.value};
        const int   pens[2] = {0, 9};
        plotwidth(n.s, values, c.largest, pens, "flows", "veh/h");
        ASSERT_FALSE(n.fake.calls.empty());
        EXPECT_EQ(n.fake.calls[0].what, "clear");
        EXPECT_EQ(n.fake.calls[0].layer, Layer::moving);
        std::vector<Drawn> bands;
        for (const auto& d : n.fake.of("polygon"))
            if (d.colour == kPalette9) bands.push_back(d);
        ASSERT_EQ(static_cast<int>(bands.size()), c.bands);
        if (c.bands == 0) continue;
        EXPECT_EQ(bands[0].layer, Layer::moving);
        EXPECT_NEAR(bands[0].points[0].y, y_at(1.1f), 1e-3f);
        EXPECT_NEAR(bands[0].points[2].y, y_at(c.outer), 1e-2f);
    }
}

TEST(NetworkDrawing, TheOlderLinkReportHighlightsTheLinksEdges) {
    const struct { int ind1, ind2, lines; } cases[] = {{1, 1, 2}, {1, 2, 0}, {1, 0, 0}, {0, 10, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ind2);
        Network n(30.0f);
        closlink(n.s, c.ind1, c.ind2);
        const auto lines = n.fake.of("line");
        ASSERT_EQ(static_cast<int>(lines.size()), c.lines);
        for (std::size_t k = 0; k < lines.size(); ++k) {
            EXPECT_EQ(lines[k].colour, 0) << "pen 4";
            EXPECT_TRUE(on(lines[k], k == 0 ? 1.1f : 3.1f));
        }
    }
}

} // namespace
} // namespace velm
