// Signal heads, signs, detector marks and ramp-meter lights on the devices
// layer, seen through a recording bridge: where each symbol lies, its shape
// and its colour, which devices are left out, and that a device is drawn
// anew only when what it shows changes or its layer was cleared.
#include "core/display/display.h"
#include "core/display/graphing.h"
#include "display/recording_bridge.h"
#include "display/short_link.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

namespace velm {
namespace {

using support::Drawn;
using support::RecordingBridge;

constexpr float kLane = 0.0074f; // km
constexpr float kPx = 1000.0f;   // pixels a km
// Palette indices of the pens.
constexpr int kPen2 = 9;
constexpr int kPen4 = 0;
constexpr int kPen6 = 12;
constexpr int kPen10 = 10;
constexpr int kPen12 = 1;
constexpr int kPen14 = 27;
constexpr int kPen15 = 21;

// Link 1 from node 10 at (0.5, 1) to node 11 at (0.62, 1) km: 120 m
// eastward, `lanes` lanes. Right of travel is -y, so offset q lies at
// y = 1 - q lane units; a set-back m from the end node lies at x = 0.62 - m
// lane units. The display square 0..2 x 0..2 km maps onto 2000 x 2000 pixels.
struct Devices {
    std::unique_ptr<Sim> sim = std::make_unique<Sim>();
    Sim&                 s = *sim;
    RecordingBridge      fake;
    explicit Devices(float view_width = 1.0f, int lanes = 2) {
        s.draw = &fake;
        support::short_link_display(s, view_width, lanes);
    }
    std::vector<Drawn> devices(const std::string& what, int colour) const {
        std::vector<Drawn> out;
        for (const auto& d : fake.of(what))
            if (d.layer == Layer::devices && d.colour == colour) out.push_back(d);
        return out;
    }
};

bool near(const PixelPoint& p, float wx, float wy) {
    return std::abs(p.x - kPx * wx) < 0.05f && std::abs(p.y - kPx * wy) < 0.05f;
}

PixelPoint centre(const Drawn& polygon) {
    PixelPoint c;
    for (const auto& p : polygon.points) c.x += p.x, c.y += p.y;
    const float n = static_cast<float>(polygon.points.size());
    return {c.x / n, c.y / n};
}

// --- signal heads and signs -------------------------------------------------------

struct HeadCase {
    const char* name;
    int         state, code;
    int         colour;
    int         arrow_lines; // stem 1, each arrow 3
    int         discs;       // a head with no movement is a filled disc
};

TEST(SignalHeads, ArrowsOrADiscFollowTheIndication) {
    const HeadCase cases[] = {
        {"left and through", 1, 110, kPen10, 7, 0},
        {"all three", 2, 111, kPen10, 10, 0},
        {"right only", 1, 1, kPen10, 4, 0},
        {"no movement", 1, 0, kPen12, 0, 1},
        {"amber, last phase", 5, 110, kPen14, 7, 0},
        {"amber, last phase, no movement", 5, 0, kPen14, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Devices d;
        d.s.link3.tsignal(1) = 3;
        d.s.link3.signal(1, 1) = c.state;
        d.s.link3.signal(1, 2) = c.code;
        psignal(d.s, 1);
        const auto heads = d.devices("circle", kPen15);
        ASSERT_EQ(heads.size(), 1u);
        EXPECT_TRUE(near(heads[0].points[0], 0.62f - 3 * kLane, 1.0f - 6 * kLane));
        EXPECT_EQ(d.devices("line", c.colour).size(), static_cast<size_t>(c.arrow_lines));
        EXPECT_EQ(d.fake.of("line").size(), static_cast<size_t>(c.arrow_lines));
        const auto discs = d.devices("disc", c.colour);
        ASSERT_EQ(discs.size(), static_cast<size_t>(c.discs));
        // As wide as the head's arrows reach, not a thin stem.
        if (c.discs == 1) {
            EXPECT_NEAR(discs[0].size, 0.6f * 0.01f * kPx, 0.05f);
        }
    }
}

// A head is drawn when its indication changes, over the erased place of the
// old one, and again after its layer was cleared; never twice over itself.
TEST(SignalHeads, AHeadIsDrawnAnewOnlyWhenItsIndicationChanges) {
    Devices d;
    d.s.link3.tsignal(1) = 3;
    d.s.link3.signal(1, 1) = 1;
    d.s.link3.signal(1, 2) = 110;
    psignal(d.s, 1);
    const std::size_t green = d.fake.calls.size();
    EXPECT_EQ(d.devices("line", kPen10).size(), 7u);
    psignal(d.s, 1);
    EXPECT_EQ(d.fake.calls.size(), green) << "an unchanged head was drawn again";

    d.s.link3.signal(1, 2) = 0;
    psignal(d.s, 1);
    ASSERT_GT(d.fake.calls.size(), green);
    const Drawn& erase = d.fake.calls[green];
    EXPECT_EQ(erase.what, "erase");
    EXPECT_EQ(erase.layer, Layer::devices);
    // The erased box holds the whole head: centre, radius 10 px, and margin.
    const PixelPoint c{kPx * (0.62f - 3 * kLane), kPx * (1.0f - 6 * kLane)};
    EXPECT_LE(erase.points[0].x, c.x - 10);
    EXPECT_LE(erase.points[0].y, c.y - 10);
    EXPECT_GE(erase.points[1].x, c.x + 10);
    EXPECT_GE(erase.points[1].y, c.y + 10);
    EXPECT_EQ(d.devices("disc", kPen12).size(), 1u);
    EXPECT_EQ(d.devices("line", kPen10).size(), 7u) << "green drawn again";

    const std::size_t red = d.fake.calls.size();
    clearscrn_devices(d.s);
    psignal(d.s, 1);
    EXPECT_EQ(d.fake.calls[red].what, "clear");
    EXPECT_EQ(d.devices("disc", kPen12).size(), 2u) << "not drawn after the clear";
    EXPECT_EQ(d.fake.of("erase").size(), 1u) << "a cleared layer needs no erasing";
}

struct PlaceCase {
    const char* name;
    int         lanes, addlin, end_set_back;
};

TEST(SignalHeads, PlaceIsFourUnitsOutsideTheLanesWhateverTheBaseOffset) {
    const PlaceCase cases[] = {
        {"two lanes, base 1", 2, 1, 0},
        {"two lanes, base 0", 2, 0, 0},
        {"three lanes, set back 2", 3, 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Devices d(1.0f, c.lanes);
        d.s.link1.addlin(1) = c.addlin;
        d.s.graph1.mlanes(1, 2) = c.end_set_back;
        d.s.link3.tsignal(1) = kStopSignCode;
        psignal(d.s, 1);
        const auto signs = d.devices("polygon", kPen12);
        ASSERT_EQ(signs.size(), 1u);
        const float m = static_cast<float>(c.end_set_back) + 3.0f;
        const float q = static_cast<float>(c.lanes) + 4.0f;
        EXPECT_TRUE(near(centre(signs[0]), 0.62f - m * kLane, 1.0f - q * kLane));
    }
}

TEST(SignalHeads, SignsAreCrimsonOctagonsAndDownwardTriangles) {
    struct SignCase {
        int  tsignal;
        int  corners;
        bool point_down;
    };
    const SignCase cases[] = {
        {kStopSignCode, 8, false}, {kYieldSignCode, 3, true}, {-kYieldSignCode, 3, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tsignal);
        Devices d;
        d.s.link3.tsignal(1) = c.tsignal;
        psignal(d.s, 1);
        const auto signs = d.devices("polygon", kPen12);
        ASSERT_EQ(signs.size(), 1u);
        ASSERT_EQ(signs[0].points.size(), static_cast<size_t>(c.corners));
        EXPECT_TRUE(d.fake.of("circle").empty());
        if (c.point_down) {
            // One corner below the centre, two above it (y is upward).
            const PixelPoint m = centre(signs[0]);
            int              below = 0;
            for (const auto& p : signs[0].points) below += p.y < m.y ? 1 : 0;
            EXPECT_EQ(below, 1);
        }
    }
}

TEST(SignalHeads, NothingForUncodedLinksUncontrolledLinksOrAnotherFlag) {
    struct SkipCase {
        const char* name;
        int         tsignal;
        float       length;
        int         flag;
    };
    const SkipCase cases[] = {
        {"no control", 0, 0.12f, 1}, {"link not coded", 3, -99999.0f, 1}, {"flag 0", 3, 0.12f, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Devices d;
        d.s.link3.tsignal(1) = c.tsignal;
        d.s.link3.signal(1, 2) = 111;
        d.s.link4.llength(1) = c.length;
        psignal(d.s, c.flag);
        EXPECT_TRUE(d.fake.calls.empty());
    }
}

// --- ramp meters ------------------------------------------------------------------

TEST(RampMeters, RedAndGreenLightsAtTheMeterPlace) {
    struct MeterCase {
        int indication;
        int colour;
    };
    for (const auto& c : {MeterCase{kMeterRed, kPen4}, MeterCase{kMeterGreen, kPen2}}) {
        SCOPED_TRACE(c.indication);
        Devices d;
        d.s.rmpmeter.nrmpmtr = 1;
        d.s.rmpmeter.rmploc(1, 1) = 1;
        d.s.rmpmeter.rmpset(1) = c.indication;
        prmpmet(d.s);
        ASSERT_EQ(d.fake.calls.size(), 1u);
        const auto lights = d.devices("circle", c.colour);
        ASSERT_EQ(lights.size(), 1u);
        EXPECT_TRUE(near(lights[0].points[0], 0.62f - 1.0f * kLane, 1.0f - 4.5f * kLane));
    }
}

TEST(RampMeters, EverySlotIsDrawnButLinksOutsideTheTableAreNot) {
    Devices d;
    auto&   r = d.s.rmpmeter;
    r.nrmpmtr = 1; // slots beyond the count are drawn too
    r.rmploc(1, 1) = 0;
    r.rmploc(2, 1) = kMaxLinks + 1;
    r.rmploc(3, 1) = -1;
    r.rmploc(kMaxRampMeters, 1) = 1;
    r.rmpset(1) = kMeterRed;
    prmpmet(d.s);
    EXPECT_EQ(d.devices("circle", kPen4).size(), 1u);
    EXPECT_EQ(d.fake.calls.size(), 1u);

    Devices off;
    off.s.rmpmeter.nrmpmtr = 1;
    off.s.rmpmeter.rmploc(1, 1) = 1; // not metered now
    prmpmet(off.s);
    EXPECT_TRUE(off.fake.calls.empty());
}

TEST(RampMeters, ALightIsDrawnAnewOnlyWhenItChanges) {
    Devices d;
    d.s.rmpmeter.nrmpmtr = 1;
    d.s.rmpmeter.rmploc(1, 1) = 1;
    d.s.rmpmeter.rmpset(1) = kMeterRed;
    prmpmet(d.s);
    prmpmet(d.s);
    EXPECT_EQ(d.fake.calls.size(), 1u);
    d.s.rmpmeter.rmpset(1) = kMeterGreen;
    prmpmet(d.s);
    ASSERT_EQ(d.fake.calls.size(), 3u);
    EXPECT_EQ(d.fake.calls[1].what, "erase");
    EXPECT_EQ(d.devices("circle", kPen2).size(), 1u);
}

// --- detector stations ------------------------------------------------------------

struct Station {
    int   type = 1;
    int   link = 1;
    float at = 0.06f; // km from the link start
};

// Adds the stations and draws them.
void draw_stations(Devices& d, std::initializer_list<Station> list) {
    auto& t = d.s.detloc;
    int   i = 0;
    for (const auto& st : list) {
        ++i;
        t.dettyp(i) = st.type;
        t.detlink(i) = st.link;
        t.detpos(i, 1) = st.at;
    }
    t.mdetloc = i;
    pdetloc(d.s);
    // Drawn once until the layer is cleared.
    const std::size_t drawn = d.fake.calls.size();
    pdetloc(d.s);
    EXPECT_EQ(d.fake.calls.size(), drawn);
}

TEST(Detectors, DotsOnAWideViewAndOutlineSquaresOnANarrowOne) {
    {
        SCOPED_TRACE("view 3 km");
        Devices d(3.0f);
        draw_stations(d, {Station{}});
        const auto dots = d.devices("point", kPen6);
        ASSERT_EQ(dots.size(), 2u); // one per lane
        // Halfway along the link: lane 1 (right-most) at q = 1 + 1 + 0.6,
        // lane 2 at q = 1 + 0 + 0.6.
        EXPECT_TRUE(near(dots[0].points[0], 0.56f, 1.0f - 2.6f * kLane));
        EXPECT_TRUE(near(dots[1].points[0], 0.56f, 1.0f - 1.6f * kLane));
        EXPECT_EQ(d.fake.calls.size(), 2u);
    }
    {
        SCOPED_TRACE("view 2 km");
        Devices d(2.0f);
        draw_stations(d, {Station{}});
        EXPECT_TRUE(d.fake.of("point").empty());
        EXPECT_EQ(d.devices("line", kPen6).size(), 8u); // four sides a lane
    }
}

TEST(Detectors, SecondRowOfATwoRowStationOnlyWhenOnTheLink) {
    struct RowCase {
        const char* name;
        Station     station;
        size_t      marks;
    };
    const RowCase cases[] = {
        {"one-row station", {1, 1, 0.06f}, 2},
        {"two rows, mid-link", {2, 1, 0.06f}, 4},
        {"two rows, 3 m before the end", {2, 1, 0.117f}, 2},
        {"inactive", {0, 1, 0.06f}, 0},
        {"link -1", {1, -1, 0.06f}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Devices d(3.0f);
        draw_stations(d, {c.station});
        EXPECT_EQ(d.fake.calls.size(), c.marks);
    }
}

TEST(Detectors, StationOnALinkWithoutLengthIsSkipped) {
    for (const float length : {0.0f, -99999.0f}) {
        SCOPED_TRACE(length);
        Devices d(3.0f);
        // Link 2 lies on link 1's nodes but has no length of its own.
        d.s.link1.frnode(2) = 10;
        d.s.link1.tonode(2) = 11;
        d.s.link1.nulans(2) = 2;
        d.s.graph1.dx(2) = -1.0f;
        d.s.link2.mlnum = 2;
        d.s.link4.llength(2) = length;
        draw_stations(d, {Station{1, 1, 0.06f}, Station{1, 2, 0.06f}});
        EXPECT_EQ(d.fake.calls.size(), 2u); // link 1's marks only
    }
}

} // namespace
} // namespace velm
