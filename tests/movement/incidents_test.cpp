// Incidents at run time: the active window in the 5-s updates, lane and link
// blockage, overlapping incidents and the lane-change horizon.
#include "core/movement/incidents.h"
#include "core/movement/movement.h"
#include "movement_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace velm::testing_movement {
namespace {

struct IncidentRun : MoveRun {
    // Incident i on link l from `from` to `to` s, section a..b km, lane values.
    void incident(int i, int l, int from, int to, float a, float b, std::vector<float> lanes) {
        auto& inc = s.incident;
        inc.lninc(i) = l;
        inc.stinc(i) = from;
        inc.eninc(i) = to;
        inc.inclng(i, 1) = a;
        inc.inclng(i, 2) = b;
        for (std::size_t j = 0; j < lanes.size(); ++j)
            inc.lane(i, static_cast<int>(j) + 1) = lanes[j];
        inc.mainc = std::max(inc.mainc, i);
    }
    void at(int t) {
        s.control.t = t;
        incid(s);
    }
    int start(int l, int k) const { return s.link1.incdist(lane_no(l, k), 1); }
    int end(int l, int k) const { return s.link1.incdist(lane_no(l, k), 2); }
};

TEST(Incidents, ActiveFromTheFirstUpdateAtOrAfterStartUntilTheEnd) {
    IncidentRun r;
    r.link(1, 2, 0.5f);
    r.incident(1, 1, 102, 400, 0.1f, 0.3f, {1.0f, 0.0f});
    struct Case {
        int  t;
        bool active;
    };
    // The updates run every 5 s: 100 is before the start, 400 is the end.
    for (const Case c : {Case{100, false}, Case{105, true}, Case{395, true}, Case{400, false}}) {
        r.at(c.t);
        SCOPED_TRACE(c.t);
        EXPECT_EQ(incident_active(r.s, 1, c.t), c.active);
        EXPECT_FLOAT_EQ(r.s.link1.capred(1, 1, 1), c.active ? 1.0f : 0.0f);
        EXPECT_EQ(r.start(1, 1), c.active ? 100 : 1500);
        EXPECT_EQ(r.end(1, 1), c.active ? 300 : 1500);
        // The free lane's section lies beyond the link end all the time.
        EXPECT_FLOAT_EQ(r.s.link1.capred(1, 2, 1), 0.0f);
        EXPECT_EQ(r.start(1, 2), 1500);
    }
}

TEST(Incidents, LinkBlockedOnlyWhenEveryLaneIsNearlyClosed) {
    struct Case {
        float lane1, lane2;
        int   comblk;
    };
    const Case cases[] = {{1.0f, 1.0f, 1}, {1.0f, 0.5f, 0}, {-1.0f, -0.9f, 1}, {0.0f, 1.0f, 0}};
    for (const Case& c : cases) {
        IncidentRun r;
        r.link(3, 2, 0.4f);
        r.incident(2, 3, 0, 100, 0.0f, 0.4f, {c.lane1, c.lane2});
        r.at(0);
        SCOPED_TRACE(c.lane1);
        EXPECT_EQ(r.s.incident.comblk(3), c.comblk);
        // The value is kept with its sign (a negative partial code stays negative).
        EXPECT_FLOAT_EQ(r.s.link1.capred(3, 1, 1), c.lane1);
        EXPECT_EQ(r.start(3, 1), c.lane1 == 0.0f ? 1400 : 0);
    }
}

TEST(Incidents, LaterIncidentOverwritesOnlyTheLanesItBlocks) {
    IncidentRun r;
    r.link(1, 3, 1.0f);
    r.incident(1, 1, 0, 600, 0.2f, 0.4f, {1.0f, 0.5f, 0.0f});
    r.incident(4, 1, 0, 600, 0.6f, 0.7f, {0.0f, 1.0f, 1.0f});
    r.at(10);
    EXPECT_FLOAT_EQ(r.s.link1.capred(1, 1, 1), 1.0f);
    EXPECT_EQ(r.start(1, 1), 200);
    EXPECT_FLOAT_EQ(r.s.link1.capred(1, 2, 1), 1.0f);
    EXPECT_EQ(r.start(1, 2), 600);
    EXPECT_EQ(r.end(1, 3), 700);
    // Neither incident closes every lane by itself.
    EXPECT_EQ(r.s.incident.comblk(1), 0);
    // An incident after its end leaves nothing behind.
    r.at(600);
    for (int k = 1; k <= 3; ++k) EXPECT_EQ(r.start(1, k), 2000);
}

TEST(Incidents, HorizonDropsAtOnceAndRecoversOnePercentPerUpdate) {
    IncidentRun r;
    r.link(1, 2, 1.0f, 50, 7.0f);
    r.link(2, 1, 0.3f, 50, 7.0f);
    r.s.link4.hrdwal(1) = 1000.0f; // whole metres of the length, as the link set-up leaves it
    r.s.link4.hrdwal(2) = 300.0f;
    r.incident(1, 1, 100, 200, 0.1f, 0.3f, {0.0f, 1.0f});
    r.at(0);
    // Without an incident the horizon is the length less the jam spacing.
    EXPECT_FLOAT_EQ(r.s.link4.hrdwal(1), 993.0f);
    EXPECT_FLOAT_EQ(r.s.link4.hrdwal(2), 293.0f);
    r.at(100);
    EXPECT_FLOAT_EQ(r.s.link4.hrdwal(1), 700.0f);
    r.at(105);
    EXPECT_FLOAT_EQ(r.s.link4.hrdwal(1), 700.0f); // held while the incident lasts
    float h = 700.0f;
    for (int t = 200; t <= 1200; t += 5) {
        r.at(t);
        h = 0.01f * 993.0f + 0.99f * h;
        ASSERT_NEAR(r.s.link4.hrdwal(1), h, 0.01f) << t;
    }
    // A hundred updates later it has regained most of the gap, never overshooting.
    EXPECT_GT(r.s.link4.hrdwal(1), 880.0f);
    EXPECT_LT(r.s.link4.hrdwal(1), 993.0f);
    EXPECT_FLOAT_EQ(r.s.link4.hrdwal(2), 293.0f);
}

TEST(Incidents, SlotsNamingNoLinkAreIgnored) {
    IncidentRun r;
    r.link(1, 1, 0.5f);
    r.incident(1, 4488, 0, 100, 0.0f, 0.1f, {1.0f});
    r.incident(2, 9, 0, 100, 0.0f, 0.1f, {1.0f}); // link 9 is not coded
    r.incident(3, kIncidentUnused, 0, 100, 0.0f, 0.1f, {1.0f});
    r.at(0);
    EXPECT_EQ(r.start(1, 1), 1500);
    EXPECT_EQ(r.s.incident.comblk(9), 0);
}

} // namespace
} // namespace velm::testing_movement
