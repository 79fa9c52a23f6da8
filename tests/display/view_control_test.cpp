// The display window against the host's view box, the end-of-tick refresh,
// the repaint and the centring of the view.
#include "core/display/display.h"
#include "core/display/graphing.h"
#include "core/model/step_probe.h"
#include "display/recording_bridge.h"

#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace velm {
namespace {

using support::BoxRecorder;

// A 4 x 3 km display square from (0, 0) and a view of the same size; node 1
// at (1, 1) and node 2 at (3, 2) km, link 1 between them; trip 9 in slot 4,
// last drawn at (2, 0.5) km. The host's view box (10.7, 20.3)-(650.7, 500.3)
// gives 160 pixels a km.
struct View {
    BoxRecorder              boxes;
    std::string              console;
    std::unique_ptr<Sim>     sim = support::memory_sim(&console, &boxes);
    Sim&                     s = *sim;
    support::RecordingBridge fake;
    View() {
        s.draw = &fake;
        fake.view[0] = 10.7f, fake.view[1] = 20.3f, fake.view[2] = 650.7f, fake.view[3] = 500.3f;
        auto& d = s.set2;
        for (int w : {1, 2}) d.xmin(w) = 0, d.xmax(w) = 4, d.ymin(w) = 0, d.ymax(w) = 3;
        auto& g = s.graph1;
        g.x(1) = 1, g.y(1) = 1, g.x(2) = 3, g.y(2) = 2, g.ntyp(1) = g.ntyp(2) = 4;
        g.x(5) = 0.0f; // coded at the origin: not a node to centre on
        d.mnodenum = 5;
        s.link2.mlnum = 1;
        s.link1.frnode(1) = 1, s.link1.tonode(1) = 2, s.link1.nulans(1) = 1;
        s.link4.llength(1) = 2.3f;
        s.link4.llength(2) = -99999.0f;
        s.vehindx.vehid(9) = 4;
        s.vehplot.xq(4, 1) = 2.0f, s.vehplot.yq(4, 1) = 0.5f;
        viewport(s, 0);
    }
    // The link's band (pen 16) on the fixed layer.
    int bands() const {
        int n = 0;
        for (const auto& d : fake.of("polygon")) n += d.layer == Layer::fixed && d.colour == 30;
        return n;
    }
    // Hatch dashes (pen 0) on the fixed layer: the link has one lane, so no lane lines.
    int hatch() const {
        int n = 0;
        for (const auto& d : fake.of("line")) n += d.layer == Layer::fixed && d.colour == 22;
        return n;
    }
    float centre_x() const { return (s.set2.xmin(2) + s.set2.xmax(2)) / 2; }
    float centre_y() const { return (s.set2.ymin(2) + s.set2.ymax(2)) / 2; }
};

// The display window is mapped with one scale for both axes onto the largest
// box of its shape centred in the view box, whatever the view box's shape.
TEST(ViewControl, ViewportMapsTheDisplaySquareOntoTheViewBoxAtOneScale) {
    const struct {
        const char* what;
        float       view[4];
        float       pixel[4];
    } cases[] = {
        {"same shape", {10.7f, 20.3f, 650.7f, 500.3f}, {10.7f, 20.3f, 650.7f, 500.3f}},
        {"wider", {0, 0, 1100, 480}, {230, 0, 870, 480}},
        {"taller", {0, 0, 640, 800}, {0, 160, 640, 640}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        View v;
        for (int k = 0; k < 4; ++k) v.fake.view[k] = c.view[k];
        viewport(v.s, 0);
        const auto& w = v.s.graphing.windows;
        const float world[4] = {0, 0, 4, 3};
        for (int k = 1; k <= 4; ++k) {
            EXPECT_NEAR(w(1, k, 1), c.pixel[k - 1], 1e-3f) << k;
            EXPECT_EQ(w(1, k, 2), world[k - 1]) << k;
        }
        EXPECT_NEAR(w(1, 5, 1) / w(1, 5, 2), w(1, 6, 1) / w(1, 6, 2), 1e-3f) << "one scale";
    }
    // Without a host nothing is mapped.
    auto s = support::memory_sim();
    viewport(*s, 0);
    EXPECT_EQ(s->graphing.windows(1, 5, 1), 0.0f);
}

// The network is redrawn at the end of a tick when the view box changed or a
// lane became blocked or free; then the devices are drawn on their cleared layer.
TEST(ViewControl, TheNetworkIsRedrawnOnlyWhenTheViewBoxOrTheBlockedLanesChanged) {
    constexpr int kBlock = -2;
    const struct {
        const char* what;
        int         item; // view box value changed, -1 none, kBlock a lane blocked
        float       by;
        bool        redrawn;
    } cases[] = {
        {"unchanged", -1, 0.0f, false},           {"x0 one pixel", 0, 1.0f, true},
        {"y0 one pixel", 1, -1.0f, true},         {"x1 one pixel", 2, 1.0f, true},
        {"y1 a tenth of a pixel", 3, 0.1f, true}, {"a lane blocked", kBlock, 0.0f, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        View v;
        v.s.lanexch.lannum(1, 1) = 1;
        if (c.item >= 0) v.fake.view[c.item] += c.by;
        if (c.item == kBlock) {
            v.s.link1.incdist(1, 1) = 100, v.s.link1.incdist(1, 2) = 600;
            v.s.link1.capred(1, 1, 1) = 1.0f;
        }
        redraw_and_adjust(v.s);
        EXPECT_EQ(v.fake.redraws, 1);
        if (!c.redrawn) {
            EXPECT_TRUE(v.fake.calls.empty());
            continue;
        }
        ASSERT_GE(v.fake.calls.size(), 4u);
        const Layer cleared[3] = {Layer::fixed, Layer::moving, Layer::devices};
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(v.fake.calls[std::size_t(k)].what, "clear");
            EXPECT_EQ(v.fake.calls[std::size_t(k)].layer, cleared[k]);
        }
        const float scale = v.s.graphing.windows(1, 5, 1) / 4;
        EXPECT_NEAR(v.s.graphing.windows(1, 6, 1) / 3, scale, 1e-3f);
        EXPECT_NEAR(v.s.graphing.windows(1, 1, 1) + v.s.graphing.windows(1, 3, 1),
                    v.fake.view[0] + v.fake.view[2], 1e-3f);
        // plotnet(0, 1): the link's band.
        EXPECT_EQ(v.bands(), 1);
        EXPECT_EQ(v.hatch() > 0, c.item == kBlock);
        // The next tick finds the box and the blocked lanes unchanged.
        v.fake.calls.clear();
        redraw_and_adjust(v.s);
        EXPECT_TRUE(v.fake.calls.empty());
        if (c.item != kBlock) continue;
        // The incident ends: redrawn once more, without the hatch.
        v.s.link1.capred(1, 1, 1) = 0.0f;
        redraw_and_adjust(v.s);
        EXPECT_EQ(v.bands(), 1);
        EXPECT_EQ(v.hatch(), 0);
    }
}

TEST(ViewControl, RepaintRedrawsEverythingInOrder) {
    class Names : public StepProbe {
      public:
        void                     step(std::string_view name) override { names.emplace_back(name); }
        std::vector<std::string> names;
    } probe;
    View v;
    v.s.probe = &probe;
    repaint(v.s);
    const std::vector<std::string> want = {"plotnet", "pincident", "prmpmet",
                                           "pdetloc", "vehpos3",   "psignal"};
    EXPECT_EQ(probe.names, want);
    EXPECT_EQ(v.bands(), 1);
    v.s.probe = nullptr;
}

TEST(ViewControl, CentringOnAPointNodeLinkOrVehicle) {
    // Pixel of a world point: x = 10.7 + 160 x, y = 20.3 + 160 y, truncated.
    const struct {
        const char* what;
        int         ind, xi, yi, idi;
        float       cx, cy; // new centre of view 2, km
        int         px, py; // returned pair
    } cases[] = {
        {"point (1500, 2500) m", 1, 1500, 2500, 0, 1.5f, 2.5f, 250, 420},
        {"node 2", 2, 7, 7, 2, 3.0f, 2.0f, 490, 340},
        {"link 1", 3, 7, 7, 1, 2.0f, 1.5f, 330, 260},
        {"trip 9", 4, 7, 7, 9, 2.0f, 0.5f, 330, 100},
        {"world point", 5, 3, 1, 0, 3.0f, 1.0f, 3, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        View v;
        int  xi = c.xi, yi = c.yi;
        findcent_new(v.s, c.ind, xi, yi, c.idi);
        EXPECT_FLOAT_EQ(v.centre_x(), c.cx);
        EXPECT_FLOAT_EQ(v.centre_y(), c.cy);
        EXPECT_FLOAT_EQ(v.s.set2.xmax(2) - v.s.set2.xmin(2), 4.0f) << "the width is kept";
        EXPECT_FLOAT_EQ(v.s.set2.ymax(2) - v.s.set2.ymin(2), 3.0f) << "the height is kept";
        EXPECT_EQ(xi, c.px);
        EXPECT_EQ(yi, c.py);
        EXPECT_TRUE(v.boxes.boxes.empty());
        EXPECT_NE(v.console.find("Centre"), std::string::npos);
    }
}

TEST(ViewControl, ARejectedNumberLeavesTheViewAsItWas) {
    const struct {
        const char* what;
        int         ind, idi;
        const char* message; // nullptr: nothing shown
        int         vid;     // slot of trip 9
    } cases[] = {
        {"node 0", 2, 0, "Invalid Node Number", 4},
        {"node 3000", 2, 3000, "Invalid Node Number", 4},
        {"node at x = 0", 2, 5, "Invalid Node Number", 4},
        {"node not coded", 2, 3, "Invalid Node Number", 4},
        {"link 0", 3, 0, "Invalid Link Number", 4},
        {"link not coded", 3, 2, "Invalid Link Number", 4},
        {"link 4488", 3, 4488, "Invalid Link Number", 4},
        {"trip 600000", 4, 600000, nullptr, 4},
        {"trip 0", 4, 0, nullptr, 4},
        {"trip not yet entered", 4, 9, "Invalid Vehicle Number", 0},
        {"trip 10 never drawn", 4, 10, "Invalid Vehicle Number", 4},
        {"mode 6", 6, 1, nullptr, 4},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        View v;
        v.s.vehindx.vehid(9) = c.vid;
        v.s.vehindx.vehid(10) = 5;
        v.s.vehplot.xq(5, 1) = -10000.0f;
        int xi = 123, yi = 456;
        findcent_new(v.s, c.ind, xi, yi, c.idi);
        EXPECT_EQ(v.s.set2.xmin(2), 0.0f);
        EXPECT_EQ(v.s.set2.xmax(2), 4.0f);
        EXPECT_EQ(v.s.set2.ymin(2), 0.0f);
        EXPECT_EQ(v.s.set2.ymax(2), 3.0f);
        EXPECT_EQ(xi, 123);
        EXPECT_EQ(yi, 456);
        if (c.message == nullptr) {
            EXPECT_TRUE(v.boxes.boxes.empty());
            continue;
        }
        ASSERT_EQ(v.boxes.boxes.size(), 1u);
        EXPECT_EQ(v.boxes.boxes[0].title, "Error");
        EXPECT_EQ(v.boxes.boxes[0].text, c.message);
    }
}

TEST(ViewControl, OlderViewCommands) {
    View  v;
    auto& d = v.s.set2;
    int   i2 = 0, flag2 = 0;
    panning(v.s, 4, i2, flag2, 1.0f);
    EXPECT_FLOAT_EQ(d.xmin(2), 0.4f);
    EXPECT_FLOAT_EQ(d.xmax(2), 4.4f);
    EXPECT_EQ(i2, 1);
    EXPECT_EQ(flag2, 1);
    panning(v.s, 1, i2, flag2, 1.0f);
    EXPECT_FLOAT_EQ(d.ymin(2), 0.3f);
    panning(v.s, 2, i2, flag2, 1.0f);
    panning(v.s, 3, i2, flag2, 1.0f);
    EXPECT_NEAR(d.xmin(2), 0.0f, 1e-6f);
    EXPECT_NEAR(d.ymin(2), 0.0f, 1e-6f);
    i2 = flag2 = 0;
    panning(v.s, 5, i2, flag2, 1.0f); // no such direction
    EXPECT_EQ(i2, 0);
    EXPECT_NEAR(d.xmin(2), 0.0f, 1e-6f);

    d.xmin(2) = 1, d.xmax(2) = 2;
    fullscre(v.s, 0, 0, 0, 0.25f);
    EXPECT_EQ(d.xmin(2), 0.0f);
    EXPECT_EQ(d.xmax(2), 4.0f);
    for (int w : {3, 4}) {
        EXPECT_FLOAT_EQ(d.xmin(w), 1.0f);
        EXPECT_FLOAT_EQ(d.xmax(w), 3.0f);
        EXPECT_FLOAT_EQ(d.ymin(w), 0.75f);
        EXPECT_FLOAT_EQ(d.ymax(w), 2.25f);
    }

    int key = 1;
    checkkey(v.s, 10, key, 0);
    EXPECT_EQ(key, 0);
    for (auto [given, kept] : {std::pair{3, 3}, {0, 1}, {-2, 1}}) {
        anim_spd(v.s, given);
        EXPECT_EQ(v.s.subtim.animspd(1), kept) << given;
    }

    int flag1 = 1;
    i2 = 1;
    endview(v.s, i2, flag1, 0);
    EXPECT_EQ(i2, 0);
    EXPECT_EQ(flag1, 0);
    EXPECT_EQ(v.bands(), 1) << "repainted";
}

TEST(ViewControl, OlderCentringReadsItsAnswers) {
    const struct {
        const char* what;
        int         ind;
        const char* answers;
        float       cx, cy;
    } cases[] = {
        {"point in m", 1, "1500 2500", 1.5f, 2.5f},
        {"node", 2, "2", 3.0f, 2.0f},
        {"link", 3, "1", 2.0f, 1.5f},
        {"mouse pixel", 5, "490.7 340.3", 3.0f, 2.0f},
        {"no answer", 1, "", 2.0f, 1.5f},
        {"bad node", 2, "3000", 2.0f, 1.5f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        View               v;
        std::istringstream in(c.answers);
        findcent(v.s, c.ind, in);
        EXPECT_NEAR(v.centre_x(), c.cx, 1e-4f);
        EXPECT_NEAR(v.centre_y(), c.cy, 1e-4f);
    }
}

} // namespace
} // namespace velm
