// The control devices on the moving layer, over the network picture: signal
// heads with their current movement arrows, stop and yield signs, the marks
// of the detector stations and the ramp-meter lights. Symbols are placed in
// lane units from the link's node-to-node line (see lane_geometry.h).
#include "core/display/display.h"
#include "core/display/graphing.h"
#include "core/display/lane_geometry.h"

#include <algorithm>
#include <cstdlib>

namespace velm {

namespace {

constexpr int kWindow = 1;

// Marker types.
constexpr int kDot = 1;
constexpr int kCircle = 2;
constexpr int kOutlineSquare = 5;
constexpr int kOctagon = 6;
constexpr int kTriangleDown = 7;

// Signal heads and signs: n + 4 lane units right of the node line, set back
// from the end node by its set-back plus 3.
constexpr float kSignalOffset = 4.0f;
constexpr float kSignalSetBack = 3.0f;
constexpr float kHeadSize = 0.01f;   // km
constexpr float kArrowSize = 0.012f; // km
constexpr int   kHeadPen = 15;
constexpr int   kGoPen = 10;
constexpr int   kStopPen = 12;  // stem with no movement, stop and yield signs
constexpr int   kAmberPen = 14; // amber with no next phase on the link
constexpr int   kAmberLast = 5; // signal(l, 1) of that amber

// Ramp-meter lights: n + 2.5 lane units right, 1 unit before the end node.
constexpr float kMeterOffset = 2.5f;
constexpr float kMeterSetBack = 1.0f;
constexpr float kMeterSize = 0.005f; // km
constexpr int   kRedPen = 4;
constexpr int   kGreenPen = 2;

// Detector marks: one per lane at the lane's centre.
constexpr float kDetectorSize = 0.006f; // km
constexpr int   kDetectorPen = 6;
constexpr float kDotsAbove = 2.0f;        // view width, km
constexpr int   kTwoRowStation = 2;       // type with a second row of loops
constexpr float kSecondRowAfter = 0.005f; // km beyond the first row

bool link_in_table(const Sim& s, int l) {
    return l >= 1 && l <= s.link4.llength.hi() && l <= s.link3.tsignal.hi();
}

void signal_head(Sim& s, int l, const WorldPoint& p) {
    marker(s, kWindow, p.x, p.y, kCircle, kHeadSize, kHeadPen);
    const int state = s.link3.signal(l, 1), code = s.link3.signal(l, 2);
    const int pen = state == kAmberLast ? kAmberPen : (code < 1 ? kStopPen : kGoPen);
    dxarrow(s, kWindow, p.x, p.y, s.graph1.dx(l), s.graph1.dy(l), 1.0f, code, kArrowSize, pen);
}

// One mark per lane at share f of the way from the start-node point to the
// end-node point.
void detector_row(Sim& s, int l, float f, int mark) {
    const int   n = drawn_lanes(s, l);
    const float a = base_offset(s, l);
    const float m1 = static_cast<float>(s.graph1.mlanes(l, 1));
    const float m2 = static_cast<float>(s.graph1.mlanes(l, 2));
    for (int j = 1; j <= n; ++j) {
        const float      q = a + static_cast<float>(n - j) + kLaneCentre;
        const WorldPoint from = link_point(s, l, false, q, m1);
        const WorldPoint to = link_point(s, l, true, q, m2);
        const WorldPoint p = between(from, to, f);
        marker(s, kWindow, p.x, p.y, mark, kDetectorSize, kDetectorPen);
    }
}

} // namespace

void psignal(Sim& s, int flag) {
    if (flag != 1 || s.draw == nullptr) return;
    const int links = std::min(s.link2.mlnum, std::min(s.link4.llength.hi(), s.link3.tsignal.hi()));
    for (int l = 1; l <= links; ++l) {
        const int ts = std::abs(s.link3.tsignal(l));
        if (s.link4.llength(l) < 0.0f || ts == 0) continue;
        const WorldPoint p =
            link_point(s, l, true, static_cast<float>(drawn_lanes(s, l)) + kSignalOffset,
                       static_cast<float>(s.graph1.mlanes(l, 2)) + kSignalSetBack);
        if (ts < kStopSignCode)
            signal_head(s, l, p);
        else if (ts == kStopSignCode)
            marker(s, kWindow, p.x, p.y, kOctagon, kHeadSize, kStopPen);
        else
            marker(s, kWindow, p.x, p.y, kTriangleDown, kHeadSize, kStopPen);
    }
}

void pdetloc(Sim& s) {
    const auto& d = s.detloc;
    if (s.draw == nullptr || d.mdetloc <= 0) return;
    const int mark = s.set2.xmax(2) - s.set2.xmin(2) <= kDotsAbove ? kOutlineSquare : kDot;
    const int stations = std::min(d.mdetloc, d.dettyp.hi());
    for (int i = 1; i <= stations; ++i) {
        if (d.dettyp(i) <= 0) continue;
        const int l = d.detlink(i);
        // A station on a link that is not coded or has no length has no place.
        if (!link_in_table(s, l)) continue;
        const float length = s.link4.llength(l);
        if (length <= 0.0f) continue;
        detector_row(s, l, d.detpos(i, 1) / length, mark);
        if (d.dettyp(i) == kTwoRowStation) {
            const float second = d.detpos(i, 1) + kSecondRowAfter;
            if (second <= length) detector_row(s, l, second / length, mark);
        }
    }
}

void prmpmet(Sim& s) {
    const auto& r = s.rmpmeter;
    if (s.draw == nullptr || r.nrmpmtr <= 0) return;
    const int slots = std::min(kMaxRampMeters, r.rmploc.hi1());
    for (int i = 1; i <= slots; ++i) {
        const int l = r.rmploc(i, 1);
        if (l < 1 || l > kMaxLinks || l > r.rmpset.hi() || !link_in_table(s, l)) continue;
        if (r.rmpset(l) <= kMeterOff) continue;
        const WorldPoint p = link_point(
            s, l, true, static_cast<float>(drawn_lanes(s, l)) + kMeterOffset, kMeterSetBack);
        marker(s, kWindow, p.x, p.y, kCircle, kMeterSize,
               r.rmpset(l) == kMeterRed ? kRedPen : kGreenPen);
    }
}

} // namespace velm
