// Picking the object nearest a click and the reports handed to the window:
// which object wins, which candidates are left out, the no-object report,
// the report values and the signal state the signal report stores.
#include "core/display/graphing.h"
#include "core/display/picking.h"
#include "display/recording_bridge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace velm {
namespace {

using support::RecordingBridge;

constexpr float kLane = 0.0074f; // km

// The reports the core hands to the window, as the window would receive them.
struct Shown {
    std::string kind; // "link", "node", ..., "no link", "no node", ...
    int         number = -1;
    float       a = 0, b = 0, c = 0, d = 0; // click's pixel and world position
};

class ReportRecorder : public FrontEnd {
  public:
    void core_message(std::string_view title, std::string_view text) override {
        message_title = title;
        message_text = text;
    }
    std::string message_title, message_text;
    void        show_nearest_link(const LinkReport& r) override {
        link = r;
        add("link", r.link);
    }
    void show_nearest_node(const NodeReport& r) override {
        node = r;
        add("node", r.node);
    }
    void show_nearest_veh(const VehicleReport& r) override {
        veh = r;
        add("vehicle", r.trip);
    }
    void show_nearest_signal(const SignalReport& r) override {
        signal = r;
        add("signal", r.signal);
    }
    void show_nearest_stop_sign(int n, float x, float y) override { add("stop", n, x, y); }
    void show_nearest_yield_sign(int n, float x, float y) override { add("yield", n, x, y); }
    void show_nearest_incident(int n, float x, float y) override { add("incident", n, x, y); }
    void show_nearest_loop_detector(int n, float x, float y) override { add("detector", n, x, y); }
    void show_no_nearest_link(float a, float b, float c, float d) override {
        none("no link", a, b, c, d);
    }
    void show_no_nearest_node(float a, float b, float c, float d) override {
        none("no node", a, b, c, d);
    }
    void show_no_nearest_veh(float a, float b, float c, float d) override {
        none("no vehicle", a, b, c, d);
    }
    void show_no_nearest_signal(float a, float b, float c, float d) override {
        none("no signal", a, b, c, d);
    }
    void show_no_nearest_stop_sign(float a, float b, float c, float d) override {
        none("no stop", a, b, c, d);
    }
    void show_no_nearest_yield_sign(float a, float b, float c, float d) override {
        none("no yield", a, b, c, d);
    }
    void show_no_nearest_incident(float a, float b, float c, float d) override {
        none("no incident", a, b, c, d);
    }
    void show_no_nearest_loop_detector(float a, float b, float c, float d) override {
        none("no detector", a, b, c, d);
    }

    std::vector<Shown> shown;
    LinkReport         link;
    NodeReport         node;
    VehicleReport      veh;
    SignalReport       signal;

  private:
    void add(const char* kind, int n, float x = 0, float y = 0) {
        shown.push_back({kind, n, 0, 0, x, y});
    }
    void none(const char* kind, float a, float b, float c, float d) {
        shown.push_back({kind, -1, a, b, c, d});
    }
};

// A two-way road between node 10 at (0.5, 1) and node 11 at (0.62, 1) km:
// link 1 eastward, link 2 westward; node 12 at (0.62, 1.2) with link 3 into
// node 11. Window 1 maps 0..2 km onto 0..2000 pixels both ways.
struct Picks {
    std::unique_ptr<Sim> sim = std::make_unique<Sim>();
    Sim&                 s = *sim;
    RecordingBridge      fake;
    ReportRecorder       fe;
    Picks() {
        s.draw = &fake;
        s.fe = &fe;
        auto& d = s.set2;
        d.xmin(1) = 0, d.xmax(1) = 2, d.ymin(1) = 0, d.ymax(1) = 2;
        d.xmin(2) = 0, d.xmax(2) = 2, d.ymin(2) = 0, d.ymax(2) = 2;
        window(s, 1, 0, 2000, 0, 2000, 0, 2, 0, 2);
        node(10, 0.5f, 1.0f);
        node(11, 0.62f, 1.0f);
        node(12, 0.62f, 1.2f);
        d.mnodenum = 12;
        link(1, 10, 11);
        link(2, 11, 10);
        link(3, 12, 11);
    }
    void node(int z, float x, float y) {
        s.graph1.x(z) = x, s.graph1.y(z) = y, s.graph1.ntyp(z) = 4;
    }
    void link(int l, int from, int to) {
        auto& g = s.graph1;
        s.link1.frnode(l) = from;
        s.link1.tonode(l) = to;
        s.link1.nulans(l) = 2;
        const float ex = g.x(to) - g.x(from), ey = g.y(to) - g.y(from);
        const float len = std::hypot(ex, ey);
        s.link4.llength(l) = len;
        g.xylen(l) = len;
        g.dx(l) = -ex / len; // from the to-node back to the from-node
        g.dy(l) = -ey / len;
        s.link2.mlnum = std::max(s.link2.mlnum, l);
    }
    // Picks at the world point (x, y) km.
    int pick(void (*entry)(Sim&, float, float, int&), float x, float y) {
        int found = -2;
        entry(s, 1000.0f * x, 1000.0f * y, found);
        return found;
    }
};

// --- what is picked ----------------------------------------------------------------

TEST(Picking, LinksByTheirPickLineRightOfTravel) {
    struct Case {
        const char* name;
        float       x, y;
        int         link;
    };
    const Case cases[] = {
        {"right of eastward travel", 0.56f, 0.99f, 1},
        {"right of westward travel", 0.56f, 1.01f, 2},
        {"far away, still the nearest", 1.9f, 0.1f, 1},
        {"beside the link into node 11", 0.63f, 1.1f, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Picks p;
        EXPECT_EQ(p.pick(nearest_link, c.x, c.y), c.link);
        ASSERT_EQ(p.fe.shown.size(), 1u);
        EXPECT_EQ(p.fe.shown[0].kind, "link");
        EXPECT_EQ(p.fe.link.link, c.link);
    }
}

TEST(Picking, EquallyNearObjectsGoToTheLowerNumber) {
    {
        SCOPED_TRACE("two links on the same nodes");
        Picks p;
        p.link(4, 10, 11); // the same pick line as link 1
        EXPECT_EQ(p.pick(nearest_link, 0.56f, 0.98f), 1);
    }
    {
        SCOPED_TRACE("two vehicles, the lower slot");
        Picks p;
        auto& q = p.s.vehplot;
        p.s.vehindx.mvehid = 2;
        p.s.vehindx.vehrid(1) = 7, q.xq(1, 1) = 0.25f, q.yq(1, 1) = 1.0f;
        p.s.vehindx.vehrid(2) = 3, q.xq(2, 1) = 0.75f, q.yq(2, 1) = 1.0f;
        int   n = 0;
        float xm = 0, ym = 0;
        near_obj(p.s, 0.5f, 1.0f, kPickVehicle, n, xm, ym);
        EXPECT_EQ(n, 7);
        EXPECT_EQ(xm, 0.25f);
    }
    {
        SCOPED_TRACE("stop signs on two approaches to one node");
        Picks p;
        p.s.link3.tsignal(3) = kStopSignCode;
        p.s.link3.tsignal(1) = kStopSignCode;
        EXPECT_EQ(p.pick(nearest_stop_sign, 0.7f, 1.0f), 1);
        ASSERT_EQ(p.fe.shown.size(), 1u);
        EXPECT_EQ(p.fe.shown[0].kind, "stop");
    }
}

TEST(Picking, NodesAndVehiclesAtOrLeftOfTheOriginAreNeverPicked) {
    Picks p;
    p.node(1, 0.0f, 1.0f);
    p.node(2, -0.3f, 1.0f);
    EXPECT_EQ(p.pick(nearest_node, 0.01f, 1.0f), 10);
    EXPECT_EQ(p.fe.node.node, 10);

    auto& q = p.s.vehplot;
    p.s.vehindx.mvehid = 3;
    p.s.vehindx.vehrid(1) = 5, q.xq(1, 1) = 0.0f, q.yq(1, 1) = 1.0f;
    p.s.vehindx.vehrid(2) = 6, q.xq(2, 1) = -10000.0f, q.yq(2, 1) = -10000.0f;
    p.s.vehindx.vehrid(3) = 8, q.xq(3, 1) = 1.5f, q.yq(3, 1) = 1.5f;
    int   n = 0;
    float xm = 0, ym = 0;
    near_obj(p.s, 0.01f, 1.0f, kPickVehicle, n, xm, ym);
    EXPECT_EQ(n, 8);
}

TEST(Picking, IncidentsOnlyWhileActive) {
    struct Case {
        int  t;
        int  lninc;
        bool found;
    };
    const Case cases[] = {
        {99, 1, false}, {100, 1, true}, {200, 1, true}, {201, 1, false}, {150, -1, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        Picks p;
        auto& inc = p.s.incident;
        inc.mainc = 1;
        inc.lninc(1) = c.lninc;
        inc.stinc(1) = 100;
        inc.eninc(1) = 200;
        inc.inclng(1, 1) = 0.02f;
        inc.inclng(1, 2) = 0.05f;
        p.s.control.t = c.t;
        EXPECT_EQ(p.pick(nearest_incident, 0.54f, 0.99f), c.found ? 1 : -1);
        ASSERT_EQ(p.fe.shown.size(), 1u);
        EXPECT_EQ(p.fe.shown[0].kind, c.found ? "incident" : "no incident");
        // The click's world position, not the incident's.
        EXPECT_NEAR(p.fe.shown[0].c, 0.54f, 1e-5);
        EXPECT_NEAR(p.fe.shown[0].d, 0.99f, 1e-5);
    }
}

TEST(Picking, DetectorOnALinkWithoutLengthIsSkipped) {
    for (const float length : {0.0f, -99999.0f}) {
        SCOPED_TRACE(length);
        Picks p;
        auto& d = p.s.detloc;
        d.mdetloc = 3;
        d.dettyp(1) = 1, d.detlink(1) = 2, d.detpos(1, 1) = 0.06f; // link 2 has no length
        d.dettyp(2) = 0, d.detlink(2) = 1, d.detpos(2, 1) = 0.06f; // inactive
        d.dettyp(3) = 1, d.detlink(3) = 1, d.detpos(3, 1) = 0.10f;
        p.s.link4.llength(2) = length;
        // Next to link 2's start, nearer to it than to station 3.
        EXPECT_EQ(p.pick(nearest_loop_detector, 0.61f, 1.007f), 3);
        ASSERT_EQ(p.fe.shown.size(), 1u);
        EXPECT_EQ(p.fe.shown[0].kind, "detector");
    }
}

TEST(Picking, NothingToPickGivesTheNoObjectReport) {
    {
        SCOPED_TRACE("no yield sign");
        Picks p;
        EXPECT_EQ(p.pick(nearest_yield_sign, 0.1f, 0.38f), -1);
        ASSERT_EQ(p.fe.shown.size(), 1u);
        const Shown& r = p.fe.shown[0];
        EXPECT_EQ(r.kind, "no yield");
        EXPECT_FLOAT_EQ(r.a, 100.0f);
        EXPECT_FLOAT_EQ(r.b, 380.0f);
        EXPECT_NEAR(r.c, 0.1f, 1e-5);
        EXPECT_NEAR(r.d, 0.38f, 1e-5);
    }
    {
        SCOPED_TRACE("no mapping yet");
        Picks p;
        p.s.graphing.windows.zero();
        int found = 0;
        nearest_node(p.s, 100.0f, 380.0f, found);
        EXPECT_EQ(found, -1);
        ASSERT_EQ(p.fe.shown.size(), 1u);
        EXPECT_EQ(p.fe.shown[0].kind, "no node");
        EXPECT_EQ(p.fe.shown[0].c, 0.0f);
        EXPECT_EQ(p.fe.shown[0].d, 0.0f);
    }
    {
        SCOPED_TRACE("no host window");
        Picks p;
        p.s.fe = nullptr;
        EXPECT_EQ(p.pick(nearest_signal, 0.5f, 0.5f), -1);
    }
}

// --- report values and highlights -------------------------------------------------

TEST(Reports, LinkValuesAndHighlight) {
    struct Case {
        float grade;
        int   capout;
        int   addlin;
        int   grade_shown;
        float capacity;
        float inner; // lane units right of the node line
    };
    const Case cases[] = {{-0.025f, 1800, 0, -2, 2000.0f, 0.1f}, {0.0295f, 0, 1, 3, 0.0f, 1.1f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.grade);
        Picks p;
        p.s.lnkgrade.lnkgrade(1) = c.grade;
        p.s.link1.capout(1) = c.capout;
        p.s.link3.signal(1, 1) = -3;
        p.s.link5.linkname(1) = "Oak St";
        p.s.link1.addlin(1) = c.addlin;
        closlink_a(p.s, 1, 1);
        const LinkReport& r = p.fe.link;
        EXPECT_EQ(r.grade, c.grade_shown);
        EXPECT_FLOAT_EQ(r.capacity, c.capacity);
        EXPECT_EQ(r.length, 120);
        EXPECT_EQ(r.to_node, 11);
        EXPECT_EQ(r.from_node, 10);
        EXPECT_EQ(r.indication, 3);
        EXPECT_EQ(r.name.size(), 40u);
        EXPECT_EQ(r.name.substr(0, 7), "Oak St ");
        // Two edges in pen 10 (palette 10), the outer one two lanes outside
        // the inner one.
        const auto lines = p.fake.of("line");
        ASSERT_EQ(lines.size(), 2u);
        for (const auto& l : lines) EXPECT_EQ(l.colour, 10);
        EXPECT_NEAR(lines[0].points[0].y, 1000.0f * (1.0f - c.inner * kLane), 0.05f);
        EXPECT_NEAR(lines[1].points[0].y, 1000.0f * (1.0f - (c.inner + 2) * kLane), 0.05f);
    }
}

TEST(Reports, NodeOfAnOrdinaryNodeHasNoCluster) {
    Picks p;
    p.s.graph1.uturn(11) = -1;
    closlink_a(p.s, 2, 11);
    EXPECT_EQ(p.fe.node.macro_cluster, 0);
    EXPECT_EQ(p.fe.node.uturn, 0);
    EXPECT_EQ(p.fe.node.x, 620);
    EXPECT_TRUE(p.fake.calls.empty());

    p.node(3, 0.3f, 0.3f);
    p.s.graph1.ntyp(3) = 1; // a zone in macro zone 2, centroid 5
    p.s.graph1.macrzon(3) = 2;
    p.s.graph1.mazn(2) = 5;
    closlink_a(p.s, 2, 3);
    EXPECT_EQ(p.fe.node.macro_cluster, 2);
    EXPECT_EQ(p.fe.node.centroid, 5);

    const size_t before = p.fe.shown.size();
    closlink_a(p.s, 3, 1);
    EXPECT_EQ(p.fe.shown.size(), before);
}

TEST(Reports, VehicleValues) {
    struct Case {
        const char* name;
        float       headway_m;
        int         next;
        float       headway_km;
    };
    const Case cases[] = {{"long gap, next not known", 1500.0f, -99, 1.0f},
                          {"negative gap, trip ends here", -5.0f, -1, 0.0f},
                          {"next link known", 250.0f, 3, 0.25f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Picks p;
        auto& v = p.s.vehicle;
        p.s.vehindx.vehid(42) = 9;
        p.s.oddat.curlnk(9) = 1;
        p.s.oddat.vlan(9, 1) = 2;
        p.s.oddat.vlan(9, 2) = 1;
        p.s.vehplot.hdwy(9, 3) = c.headway_m;
        p.s.vehplot.xq(9, 1) = 0.56f;
        p.s.vehplot.yq(9, 1) = 0.99f;
        v.pcu(42) = 1.0f;
        v.nxtlnk(9, 1) = c.next;
        v.nxttrn(9, 2) = 4;
        v.nxtlnk(9, 4) = 0;
        vehpos4_a(p.s, 42);
        const VehicleReport& r = p.fe.veh;
        EXPECT_EQ(r.trip, 42);
        EXPECT_FLOAT_EQ(r.headway, c.headway_km);
        EXPECT_EQ(r.link, 1);
        EXPECT_EQ(r.lane, 1); // 2 lanes + 1 - lane 2
        EXPECT_EQ(r.next_link, c.next);
        EXPECT_EQ(r.next_turn, c.next > 0 ? 4 : 0);
        EXPECT_EQ(r.next_lane, c.next > 0 ? 2 : 0);
        EXPECT_FLOAT_EQ(r.future_length, 0.0f);
        // Three outline rectangles in pen 14 (palette 27), four sides each.
        EXPECT_EQ(p.fake.of("line").size(), 12u);
        for (const auto& l : p.fake.of("line")) EXPECT_EQ(l.colour, 27);
    }
    Picks p;
    vehpos4_a(p.s, 0);
    vehpos4_a(p.s, 5); // not in the network
    EXPECT_TRUE(p.fe.shown.empty());
}

TEST(Reports, SignalStateFromTheCyclePosition) {
    struct Case {
        const char* name;
        float       cycle, offset;
        int         t10;
        float       position;
        int         phase, interval;
    };
    // Phase 1 green 0..20, amber to 25; phase 2 green 30..50, amber to 55.
    const Case cases[] = {
        {"phase 1 green", 60, 0, 100, 10, 1, 1},
        {"phase 1 amber", 60, 0, 220, 22, 1, 2},
        {"phase 2 amber, after the offset", 60, 10, 620, 52, 2, 2},
        {"between the phases", 60, 0, 270, 27, -1, -1},
        {"after the last phase", 60, 0, 570, 57, -1, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Picks p;
        auto& sg = p.s.signal;
        sg.cycle(4) = c.cycle;
        sg.offset(4) = c.offset;
        sg.phases(4) = 2;
        sg.phend(4, 1, 1) = 0, sg.phend(4, 1, 2) = 20, sg.phend(4, 1, 3) = 25;
        sg.phend(4, 2, 1) = 30, sg.phend(4, 2, 2) = 50, sg.phend(4, 2, 3) = 55;
        sg.sigstat(4, 1) = 9, sg.sigstat(4, 2) = 9;
        p.s.control.t10 = c.t10;
        p.s.link3.tsignal(1) = 4;
        EXPECT_EQ(p.pick(nearest_signal, 0.63f, 1.0f), 4);
        const SignalReport& r = p.fe.signal;
        EXPECT_NEAR(r.position, c.position, 1e-3);
        EXPECT_EQ(r.phase, c.phase);
        EXPECT_EQ(r.interval, c.interval);
        EXPECT_EQ(sg.sigstat(4, 1), c.phase);
        EXPECT_EQ(sg.sigstat(4, 2), c.interval);
        EXPECT_EQ(r.phases, 2);
        EXPECT_EQ(r.number[1], 2);
        EXPECT_EQ(r.amber[1], 50.0f);
    }
}

TEST(Reports, SignalWithoutACycleLeavesItsStateAlone) {
    for (const float cycle : {0.0f, -1.0f}) {
        SCOPED_TRACE(cycle);
        Picks p;
        auto& sg = p.s.signal;
        sg.cycle(4) = cycle;
        sg.phases(4) = 1;
        sg.phend(4, 1, 3) = 30;
        sg.sigstat(4, 1) = 1, sg.sigstat(4, 2) = 2;
        p.s.control.t10 = 100;
        sig_sum_a(p.s, 4);
        EXPECT_EQ(sg.sigstat(4, 1), 1);
        EXPECT_EQ(sg.sigstat(4, 2), 2);
        EXPECT_EQ(p.fe.signal.phase, -1);
        EXPECT_EQ(p.fe.signal.interval, -1);
        EXPECT_EQ(p.fe.signal.position, 0.0f);
        EXPECT_EQ(p.fe.signal.phases, 1);
    }
}

TEST(Reports, SignalTextTwinShowsTheStateAndOneFieldPerPhase) {
    Picks p;
    auto& sg = p.s.signal;
    sg.cycle(4) = 60;
    sg.phases(4) = 2;
    sg.phend(4, 1, 1) = 0, sg.phend(4, 1, 2) = 20, sg.phend(4, 1, 3) = 25;
    sg.phend(4, 2, 1) = 30, sg.phend(4, 2, 2) = 50, sg.phend(4, 2, 3) = 55;
    p.s.control.t10 = 220;
    sig_sum(p.s, 4);
    EXPECT_EQ(sg.sigstat(4, 1), 1);
    EXPECT_EQ(sg.sigstat(4, 2), 2);
    EXPECT_NE(p.fe.message_title.find("Signal:    4"), std::string::npos) << p.fe.message_title;
    EXPECT_NE(p.fe.message_text.find("Cycle Time:      22.0   Phase:         1"), std::string::npos)
        << p.fe.message_text;
    EXPECT_NE(p.fe.message_text.find("Start Amber :      20.0      50.0"), std::string::npos);
}

TEST(Reports, CheckposKeepsTheNearerDistance) {
    struct Case {
        float x, y, mindis;
        int   flag;
        float after;
    };
    const Case cases[] = {{3, 4, 10, 1, 5}, {3, 4, 5, 0, 5}, {11, 0, 10, 0, 10}, {6, 8, 9, 0, 9}};
    for (const auto& c : cases) {
        float m = c.mindis;
        int   flag = -1;
        checkpos(c.x, c.y, 0, 0, m, flag);
        EXPECT_EQ(flag, c.flag);
        EXPECT_FLOAT_EQ(m, c.after);
    }
}

} // namespace
} // namespace velm
