// The control devices on the devices layer, over the network picture: signal
// heads with their current indication (the movement arrows of a green or
// amber, a filled disc of a red), stop and yield signs, the marks of the
// detector stations and the ramp-meter lights. A device is drawn only when
// what it shows has changed since it was last drawn, or the layer was cleared;
// its old picture is erased first. Symbols are placed in lane units from the
// link's node-to-node line (see lane_geometry.h).
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

// Keys of the devices in the shown-devices table: a link's head by its link
// number, its ramp meter by the negated number, the detector marks by 0.
constexpr int kDetectorsKey = 0;
constexpr int kShownOnce = 1;

// True when the device must be drawn to show `value`; records it as shown.
bool needs_drawing(Sim& s, int key, int value, bool& was_drawn) {
    auto&      shown = s.graphing.devices_shown;
    const auto it = shown.find(key);
    was_drawn = it != shown.end();
    if (was_drawn && it->second == value) return false;
    shown[key] = value;
    return true;
}

bool link_in_table(const Sim& s, int l) {
    return l >= 1 && l <= s.link4.llength.hi() && l <= s.link3.tsignal.hi();
}

constexpr float kRedDisc = 0.6f; // share of the head's radius filled by a red

// What the head of link l shows: its pen and movement code, or a sign.
int head_value(const Sim& s, int l, int ts) {
    if (ts >= kStopSignCode) return -ts;
    const int state = s.link3.signal(l, 1), code = s.link3.signal(l, 2);
    const int pen = state == kAmberLast ? kAmberPen : (code < 1 ? kStopPen : kGoPen);
    return pen * 1000 + std::max(0, code);
}

void signal_head(Sim& s, int l, const WorldPoint& p, int value) {
    marker_d(s, kWindow, p.x, p.y, kCircle, kHeadSize, kHeadPen);
    const int pen = value / 1000, code = value % 1000;
    if (code < 1)
        disc_d(s, kWindow, p.x, p.y, kRedDisc * kHeadSize, pen);
    else
        dxarrow_d(s, kWindow, p.x, p.y, s.graph1.dx(l), s.graph1.dy(l), code, kArrowSize, pen);
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
        marker_d(s, kWindow, p.x, p.y, mark, kDetectorSize, kDetectorPen);
    }
}

} // namespace

WorldPoint signal_head_point(const Sim& s, int l) {
    return link_point(s, l, true, static_cast<float>(drawn_lanes(s, l)) + kSignalOffset,
                      static_cast<float>(s.graph1.mlanes(l, 2)) + kSignalSetBack);
}

void psignal(Sim& s, int flag) {
    if (flag != 1 || s.draw == nullptr) return;
    const int links = std::min(s.link2.mlnum, std::min(s.link4.llength.hi(), s.link3.tsignal.hi()));
    for (int l = 1; l <= links; ++l) {
        const int ts = std::abs(s.link3.tsignal(l));
        if (s.link4.llength(l) < 0.0f || ts == 0) continue;
        const WorldPoint p = signal_head_point(s, l);
        const int        value = head_value(s, l, ts);
        bool             was_drawn = false;
        if (!needs_drawing(s, l, value, was_drawn)) continue;
        if (was_drawn) erase_d(s, kWindow, p.x, p.y, kHeadSize);
        if (ts < kStopSignCode)
            signal_head(s, l, p, value);
        else if (ts == kStopSignCode)
            marker_d(s, kWindow, p.x, p.y, kOctagon, kHeadSize, kStopPen);
        else
            marker_d(s, kWindow, p.x, p.y, kTriangleDown, kHeadSize, kStopPen);
    }
}

void pdetloc(Sim& s) {
    const auto& d = s.detloc;
    if (s.draw == nullptr || d.mdetloc <= 0) return;
    bool was_drawn = false;
    if (!needs_drawing(s, kDetectorsKey, kShownOnce, was_drawn)) return;
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
        const int pen = r.rmpset(l) == kMeterRed ? kRedPen : kGreenPen;
        bool      was_drawn = false;
        if (!needs_drawing(s, -l, pen, was_drawn)) continue;
        if (was_drawn) erase_d(s, kWindow, p.x, p.y, kMeterSize);
        marker_d(s, kWindow, p.x, p.y, kCircle, kMeterSize, pen);
    }
}

} // namespace velm
