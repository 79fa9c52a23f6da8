// The static picture of the network on the fixed layer: zone and node
// squares, one band per directional link, lane lines, turn arrows, marks on
// lanes closed to some vehicle types and a hatch over blocked lane sections.
// The detail drawn follows the width of the network's view, not the zoom.
#include "core/display/display.h"
#include "core/display/graphing.h"
#include "core/display/lane_geometry.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace velm {

namespace {

constexpr int   kWindow = 1;
constexpr float kZoneSquare = 0.01f;  // km
constexpr float kNodeSquare = 0.001f; // km
constexpr int   kFilledSquare = 3;
constexpr int   kZonePen = 11;
constexpr int   kNodePen = 12;
constexpr int   kBandPen = 16;
constexpr int   kConnectorBandPen = 18;
constexpr int   kMarkPen = 0; // lane lines, arrows, diamonds, hatches
constexpr float kLineWidth = 0.5f;
constexpr float kBandInset = 0.1f; // lane units between the node line and the band

// View widths (km) below which a detail is drawn.
constexpr float kNodesBelow = 20.0f;
constexpr float kLaneLinesBelow = 5.0f;
constexpr float kArrowsBelow = 2.0f;
constexpr float kHatchBelow = 50.0f;
constexpr float kDottedAbove = 2.0f; // lane lines are dots above this width, dashes up to it

constexpr int   kDotSpacing = 50; // m per dot of a dotted lane line
constexpr float kDotFraction = 0.01f;
constexpr int   kDashSpacing = 10; // m per dash of a dashed lane line
constexpr float kDashFraction = 0.1f;

constexpr float kArrowSetBack = 0.75f;   // lane units beyond the end node's set-back
constexpr float kArrowSize = 0.008f;     // km
constexpr int   kStripingColumn = 4;     // lanper(., 4): left/through/right code
constexpr int   kClosureColumn = 6;      // lanpro(., 6): some vehicle type barred
constexpr float kDiamondSpacing = 0.05f; // km per diamond
constexpr float kDiamondSize = 0.005f;   // km
constexpr int   kDiamond = 10;

constexpr float kHatchLines[] = {0.35f, 0.6f, 0.85f}; // offsets across the lane from its left edge
constexpr int   kHatchSpacing = 50;                   // m per hatch dash
constexpr int   kHatchMinDashes = 2;
constexpr float kHatchFraction = 0.66f;

// plotwidth: band width in lane units, 0.5 plus 10 at the largest value.
constexpr float kWidthBase = 0.5f;
constexpr float kWidthScale = 10.0f;
constexpr int   kEdgePen = 4; // closlink's edges

float view_width(const Sim& s) {
    return s.set2.xmax(2) - s.set2.xmin(2);
}

// Link length in whole metres; links not coded have a negative length.
int whole_metres(const Sim& s, int l) {
    return static_cast<int>(kMetresPerKm * s.link4.llength(l));
}

float set_back(const Sim& s, int l, bool at_end) {
    return static_cast<float>(s.graph1.mlanes(l, at_end ? 2 : 1));
}

// The link's network lane j, 0 when the lane table has none.
int network_lane(const Sim& s, int l, int j) {
    const int ln = s.lanexch.lannum(l, j);
    const int top = std::min({s.link1.incdist.hi1(), s.link5.lanper.hi1(), s.link4.lanpro.hi1()});
    return ln >= 1 && ln <= top ? ln : 0;
}

// A line along offset q from the start-node point to the end-node point, each
// set back half a unit beyond the node's set-back.
struct Along {
    WorldPoint from, to;
};
Along along_offset(const Sim& s, int l, float q) {
    return {link_point(s, l, false, q, set_back(s, l, false) + kLaneLineSetBack),
            link_point(s, l, true, q, set_back(s, l, true) + kLaneLineSetBack)};
}

// On the fixed layer, or on the moving layer when `moving`.
void band(Sim& s, int l, float inner, float outer, int pen, bool moving = false) {
    const float      m1 = set_back(s, l, false), m2 = set_back(s, l, true);
    const WorldPoint c1 = link_point(s, l, false, inner, m1);
    const WorldPoint c2 = link_point(s, l, true, inner, m2);
    const WorldPoint c3 = link_point(s, l, true, outer, m2);
    const WorldPoint c4 = link_point(s, l, false, outer, m1);
    const auto       draw = moving ? fillbox : fillbox_f;
    draw(s, kWindow, c1.x, c1.y, c2.x, c2.y, c4.x, c4.y, c3.x, c3.y, pen);
}

void node_squares(Sim& s, float w, bool moving = false) {
    const auto& g = s.graph1;
    const auto  marker_on = moving ? marker : marker_f;
    const int   zones = std::min(s.set2.mzones, g.ntyp.hi());
    for (int i = 1; i <= zones; ++i)
        if (g.ntyp(i) >= kZoneBoth && g.ntyp(i) <= kZoneOrigin)
            marker_on(s, kWindow, g.x(i), g.y(i), kFilledSquare, kZoneSquare, kZonePen);
    if (w >= kNodesBelow) return;
    const int nodes = std::min(s.set2.mnodenum, g.ntyp.hi());
    for (int i = 1; i <= nodes; ++i)
        if (g.ntyp(i) == kPlainNode)
            marker_on(s, kWindow, g.x(i), g.y(i), kFilledSquare, kNodeSquare, kNodePen);
}

void lane_lines(Sim& s, int l, int metres, float a, int n, float w) {
    const bool  dotted = w > kDottedAbove;
    const int   steps = metres / (dotted ? kDotSpacing : kDashSpacing);
    const float fract = dotted ? kDotFraction : kDashFraction;
    for (int j = 2; j <= n; ++j) {
        const Along line = along_offset(s, l, a + static_cast<float>(n - j) + 1.0f + kBandInset);
        dline_f(s, kWindow, line.from.x, line.from.y, line.to.x, line.to.y, kLineWidth, kMarkPen,
                steps, fract);
    }
}

void arrows_and_marks(Sim& s, int l, float a, int n) {
    const float dx = s.graph1.dx(l), dy = s.graph1.dy(l);
    for (int j = 1; j <= n; ++j) {
        const int ln = network_lane(s, l, j);
        if (ln == 0) continue;
        const float q = a + static_cast<float>(n - j) + kLaneCentre;
        const int   code = s.link5.lanper(ln, kStripingColumn);
        if (code > 0) {
            const WorldPoint p = link_point(s, l, true, q, set_back(s, l, true) + kArrowSetBack);
            dxarrow_f(s, kWindow, p.x, p.y, dx, dy, 1.0f, code, kArrowSize, kMarkPen);
        }
        if (s.link4.lanpro(ln, kClosureColumn) > 0) {
            const int  marks = std::max(1, static_cast<int>(s.link4.llength(l) / kDiamondSpacing));
            WorldPoint from, to;
            lane_centre_line(s, l, j, from, to);
            for (int i = 1; i <= marks; ++i) {
                const WorldPoint p =
                    between(to, from, static_cast<float>(i) / static_cast<float>(marks + 1));
                float k = 1.0f;
                dxmarker_f(s, kWindow, p.x, p.y, dx, dy, k, kDiamond, kDiamondSize, kMarkPen);
            }
        }
    }
}

// Lane j of link l (network lane ln, 0 for none) is blocked now.
bool blocked(const Sim& s, int l, int j, int ln, int metres) {
    return ln != 0 && s.link1.incdist(ln, 1) < metres && std::abs(s.link1.capred(l, j, 1)) > 0.0f;
}

void incident_hatch(Sim& s, int l, int metres, float a, int n) {
    const auto& l1 = s.link1;
    for (int j = 1; j <= n; ++j) {
        const int ln = network_lane(s, l, j);
        if (!blocked(s, l, j, ln, metres)) continue;
        const int   start = l1.incdist(ln, 1), end = l1.incdist(ln, 2);
        const float f1 = static_cast<float>(start) / static_cast<float>(metres);
        const float f2 = static_cast<float>(end) / static_cast<float>(metres);
        const int   dashes = std::max(kHatchMinDashes, (end - start) / kHatchSpacing);
        for (float across : kHatchLines) {
            const Along      line = along_offset(s, l, a + static_cast<float>(n - j) + across);
            const WorldPoint p1 = between(line.from, line.to, f1);
            const WorldPoint p2 = between(line.from, line.to, f2);
            dline_f(s, kWindow, p1.x, p1.y, p2.x, p2.y, kLineWidth, kMarkPen, dashes,
                    kHatchFraction);
        }
    }
}

} // namespace

std::uint64_t blocked_lanes_digest(const Sim& s) {
    constexpr std::uint64_t kPrime = 1099511628211ull; // FNV-1a
    std::uint64_t           h = 0;
    const auto              mix = [&](int v) {
        h = (h ^ static_cast<std::uint64_t>(static_cast<std::uint32_t>(v))) * kPrime;
    };
    for (int l = 1; l <= s.link2.mlnum; ++l) {
        const int metres = whole_metres(s, l);
        if (metres <= 0) continue;
        const int n = drawn_lanes(s, l);
        for (int j = 1; j <= n; ++j) {
            const int ln = network_lane(s, l, j);
            if (!blocked(s, l, j, ln, metres)) continue;
            mix(l);
            mix(j);
            mix(s.link1.incdist(ln, 1));
            mix(s.link1.incdist(ln, 2));
        }
    }
    return h;
}

void plotnet(Sim& s, int, int ind2) {
    clearscrn_fixed(s);
    clearscrn(s);
    clearscrn_devices(s);
    if (s.draw == nullptr) return; // nothing is drawn and nothing is recorded
    s.graphing.blocked_shown = ind2 == 1 ? blocked_lanes_digest(s) : 0;
    const float w = view_width(s);
    node_squares(s, w);
    if (ind2 != 1) return;
    for (int l = 1; l <= s.link2.mlnum; ++l) {
        const int metres = whole_metres(s, l);
        if (metres <= 0) continue;
        const float a = base_offset(s, l);
        const int   n = drawn_lanes(s, l);
        band(s, l, a + kBandInset, a + static_cast<float>(n) + kBandInset,
             s.link1.zoncon(l) > 0 ? kConnectorBandPen : kBandPen);
        if (w < kLaneLinesBelow) lane_lines(s, l, metres, a, n, w);
        if (w < kArrowsBelow) arrows_and_marks(s, l, a, n);
        if (w < kHatchBelow) incident_hatch(s, l, metres, a, n);
    }
}

void plotwidth(Sim& s, std::span<const float> xwidth, float x_max, std::span<const int> icolor,
               std::string_view mes, std::string_view label) {
    clearscrn(s);
    if (s.draw == nullptr || !(x_max > 0.0f)) return;
    node_squares(s, view_width(s), true);
    const int links = std::min(
        {s.link2.mlnum, static_cast<int>(xwidth.size()) - 1, static_cast<int>(icolor.size()) - 1});
    for (int l = 1; l <= links; ++l) {
        const float v = xwidth[static_cast<std::size_t>(l)];
        if (!(v > 0.0f) || whole_metres(s, l) <= 0) continue;
        const float a = base_offset(s, l);
        const float width = kWidthBase + kWidthScale * v / x_max;
        const int   pen = icolor[static_cast<std::size_t>(l)];
        band(s, l, a + kBandInset, a + kBandInset + width, pen, true);
        const WorldPoint mid =
            between(link_point(s, l, false, a, 0.0f), link_point(s, l, true, a, 0.0f), 0.5f);
        text(s, kWindow, mid.x, mid.y, label, 0.0f, pen, 0.0f, 0);
    }
    text(s, kWindow, s.set2.xmin(2), s.set2.ymax(2), mes, 0.0f, kMarkPen, 0.0f, 0);
}

void closlink(Sim& s, int ind1, int ind2) {
    std::string report;
    if (ind1 == 1) {
        if (ind2 < 1 || ind2 > s.link2.mlnum || whole_metres(s, ind2) <= 0) return;
        const float a = base_offset(s, ind2);
        const int   n = drawn_lanes(s, ind2);
        for (float q : {a + kBandInset, a + static_cast<float>(n) + kBandInset}) {
            const WorldPoint p1 = link_point(s, ind2, false, q, set_back(s, ind2, false));
            const WorldPoint p2 = link_point(s, ind2, true, q, set_back(s, ind2, true));
            mline(s, kWindow, p1.x, p1.y, p2.x, p2.y, kLineWidth, kEdgePen, 0);
        }
        report = "Link " + std::to_string(ind2) + " from node " +
                 std::to_string(s.link1.frnode(ind2)) + " to node " +
                 std::to_string(s.link1.tonode(ind2)) + ", " + std::to_string(n) + " lanes, " +
                 std::to_string(whole_metres(s, ind2)) + " m";
    } else {
        if (ind2 < 1 || ind2 > s.graph1.ntyp.hi() || s.graph1.ntyp(ind2) == 0) return;
        report = "Node " + std::to_string(ind2) + " type " + std::to_string(s.graph1.ntyp(ind2)) +
                 ", " + std::to_string(s.graph1.nlinto(ind2)) + " links in, " +
                 std::to_string(s.graph1.nlinfr(ind2)) + " links out";
    }
    text(s, kWindow, s.set2.xmin(2), s.set2.ymax(2), report, 0.0f, kMarkPen, 0.0f, 0);
    textplot(s);
}

} // namespace velm
