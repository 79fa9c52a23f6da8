#include "core/driver/driver.h"
#include "core/network/network.h"
#include "lane_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

namespace velm {
namespace {

using testing_lanes::has_line;
using testing_lanes::LaneNet;

// Headings: 90 = north. From a northbound link, a link heading 0 (east) is a
// right turn, 90 straight on, 180 (west) a left turn.
constexpr float kNorth = 90.0f, kEast = 0.0f, kWest = 180.0f;

struct Row {
    int l, p, d; // lane p of link l, next link d
    int t, t2, s;
};

struct Case {
    const char*                   name;
    std::function<void(LaneNet&)> build;
    std::vector<Row>              rows;
};

void build_lanes(LaneNet& n) {
    int errt1 = 0;
    flanot(n.s, errt1);
    EXPECT_EQ(errt1, 0);
}

TEST(LaneConnectivity, ContinuationLanesFollowTheGeometry) {
    const std::vector<Case> cases = {
        {"3 lanes into 2, both adding on the right",
         [](LaneNet& n) {
             n.link(1, 3, kNorth);
             n.link(2, 2, kNorth);
             n.feeds(1, {2});
         },
         // The curb lane ends: it must move one lane left.
         {{1, 1, 2, 1, 0, 1}, {1, 2, 2, 1, 0, 0}, {1, 3, 2, 2, 0, 0}}},
        {"3 lanes into 2 whose extra lane is on the left",
         [](LaneNet& n) {
             n.link(1, 3, kNorth);
             n.link(2, 2, kNorth, -1);
             n.feeds(1, {2});
         },
         // Now the left-most lane ends: one lane to the right.
         {{1, 1, 2, 1, 0, 0}, {1, 2, 2, 2, 0, 0}, {1, 3, 2, 2, 0, -1}}},
        {"2 lanes into 3 adding on the right",
         [](LaneNet& n) {
             n.link(1, 2, kNorth);
             n.link(2, 3, kNorth);
             n.feeds(1, {2});
         },
         {{1, 1, 2, 2, 0, 0}, {1, 2, 2, 3, 0, 0}}},
        {"2 lanes into 3 adding on the left",
         [](LaneNet& n) {
             n.link(1, 2, kNorth);
             n.link(2, 3, kNorth, -1);
             n.feeds(1, {2});
         },
         {{1, 1, 2, 1, 0, 0}, {1, 2, 2, 2, 0, 0}}},
        {"right-most of three next links has 2 lanes",
         [](LaneNet& n) {
             n.link(1, 3, kNorth);
             n.link(2, 2, kEast);
             n.link(3, 3, kNorth);
             n.link(4, 3, kWest);
             n.feeds(1, {3, 4, 2});
         },
         {{1, 1, 2, 1, 0, 0}, {1, 2, 2, 2, 0, 0}, {1, 3, 2, 2, 0, -1}}},
        {"three approaches merge into one 3-lane link",
         [](LaneNet& n) {
             n.link(10, 3, kNorth);
             n.link(11, 2, kWest); // turns right into 10: its right-hand approach
             n.link(12, 2, kNorth);
             n.link(13, 2, kEast); // turns left into 10
             n.feeds(13, {10});
             n.feeds(11, {10});
             n.feeds(12, {10});
         },
         {// Right-hand approach: right-aligned.
          {11, 1, 10, 1, 0, 0},
          {11, 2, 10, 2, 0, 0},
          // Middle approach: lane centres 0.25 and 0.75 of its width.
          {12, 1, 10, 1, 0, 0},
          {12, 2, 10, 3, 0, 0},
          // Left-hand approach: left-aligned.
          {13, 1, 10, 2, 0, 0},
          {13, 2, 10, 3, 0, 0}}},
        {"centres on a lane boundary go to the left-hand lane",
         [](LaneNet& n) {
             n.link(10, 4, kNorth);
             n.link(11, 1, kWest);
             n.link(12, 2, kNorth);
             n.link(13, 1, kEast);
             n.feeds(11, {10});
             n.feeds(12, {10});
             n.feeds(13, {10});
         },
         // Centres 0.25 and 0.75 are boundaries of the 4-lane link.
         {{12, 1, 10, 2, 0, 0}, {12, 2, 10, 4, 0, 0}}},
        {"middle next link fed by the through-striped lanes 2 and 3",
         [](LaneNet& n) {
             n.link(1, 4, kNorth);
             n.link(2, 2, kEast);
             n.link(3, 2, kNorth);
             n.link(4, 2, kWest);
             n.feeds(1, {2, 3, 4});
             n.perm(1, 1, 2) = 0;
             n.perm(1, 4, 2) = 0;
         },
         {{1, 1, 3, 1, 1, 0}, {1, 2, 3, 1, 1, 0}, {1, 3, 3, 2, 2, 0}, {1, 4, 3, 2, 2, 0}}},
        {"three through lanes spread over a 2-lane middle link",
         [](LaneNet& n) {
             n.link(1, 3, kNorth);
             n.link(2, 2, kEast);
             n.link(3, 2, kNorth);
             n.link(4, 2, kWest);
             n.feeds(1, {2, 3, 4});
         },
         // The middle lane straddles both: its two candidates differ.
         {{1, 1, 3, 1, 1, 0}, {1, 2, 3, 1, 2, 0}, {1, 3, 3, 2, 2, 0}}},
        {"left-most next link of two has 2 lanes",
         [](LaneNet& n) {
             n.link(1, 3, kNorth);
             n.link(2, 3, kEast);
             n.link(3, 2, kWest);
             n.link(4, 2, kWest, -1);
             n.link(5, 3, kNorth);
             n.feeds(1, {2, 3});
             n.feeds(5, {2, 4});
         },
         {{1, 3, 3, 2, 0, 0},
          {1, 2, 3, 1, 0, 0},
          {1, 1, 3, 1, 0, 1},
          // Its extra lane on the left is fed by no lane.
          {5, 3, 4, 1, 0, 0},
          {5, 2, 4, 1, 0, 1},
          {5, 1, 4, 1, 0, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LaneNet n;
        c.build(n);
        build_lanes(n);
        for (const Row& r : c.rows) {
            SCOPED_TRACE(testing::Message()
                         << "link " << r.l << " lane " << r.p << " into " << r.d);
            EXPECT_EQ(n.next_lane(r.l, r.p, r.d, 1), r.t);
            EXPECT_EQ(n.next_lane(r.l, r.p, r.d, 2), r.t2);
            EXPECT_EQ(n.shift(r.l, r.p, r.d), r.s);
        }
    }
}

TEST(LaneConnectivity, NextLinksAreRankedFromRightToLeft) {
    LaneNet n;
    n.link(1, 2, kNorth);
    n.link(2, 2, kWest);
    n.link(3, 2, kEast);
    n.link(4, 2, 90.7f); // 180.7 and 180.2 both truncate to 180: a tie
    n.link(5, 2, 90.2f);
    n.feeds(1, {2, 4, 3, 5});
    build_lanes(n);
    const int expect[] = {3, 2, 4, 1}; // east, 4 (listed first of the tie), 5, west
    for (int r = 1; r <= 4; ++r) EXPECT_EQ(n.s.lanexch.alanot(1, r), expect[r - 1]) << r;
}

TEST(LaneConnectivity, EveryLaneStartsEmpty) {
    LaneNet n;
    n.link(1, 2, kNorth);
    n.link(2, 1, kNorth);
    n.link(3, 1, kNorth);
    n.s.link1.nulans(2) = 8; // more lanes than a link can have: reported, left alone
    n.s.link1.spdvol(3, 7) = 72.9f;
    n.s.link2.fvehlan(n.lane(3, 1)) = 12;
    n.s.link1.aprflw(n.lane(3, 1), 2) = 5.0f;
    n.s.link2.fvehlan(n.lane(2, 1)) = 7;
    build_lanes(n);
    const int lane = n.lane(3, 1);
    EXPECT_EQ(n.s.link2.fvehlan(lane), 0);
    EXPECT_EQ(n.s.lanexch.cq(lane), 10000);
    EXPECT_EQ(n.s.link3.lotfl(lane, 1), -10000);
    EXPECT_EQ(n.s.link3.lotfl(lane, 2), 72);
    EXPECT_EQ(n.s.lanexch.lstveh(lane, 1), 1000);
    EXPECT_EQ(n.s.lanexch.lstveh(lane, 2), 1000);
    EXPECT_EQ(n.s.lanexch.lstveh(lane, 3), 72);
    EXPECT_EQ(n.s.lanexch.lstveh(lane, 4), 72);
    EXPECT_EQ(n.s.lanexch.lstveh(lane, 5), 1);
    EXPECT_EQ(n.s.lanexch.lstveh(lane, 6), 1);
    EXPECT_EQ(n.s.link1.aprflw(lane, 2), 0.0f);
    EXPECT_TRUE(
        has_line(n.log(), free_line(" Number of Lanes =", 8, " Exceeds Max=", 7, " on link ", 2)));
}

// Link 1 (3 lanes, north) with a right, a straight and a left next link of 3
// lanes each, so the geometry alone asks for no lane change.
struct Crossing : LaneNet {
    Crossing() {
        link(1, 3, kNorth);
        link(2, 3, kEast);
        link(3, 3, kNorth);
        link(4, 3, kWest);
        feeds(1, {2, 3, 4});
    }
    void build() {
        build_lanes(*this);
        dolanper(s);
    }
};

TEST(LanePermissions, ForbiddingLanesPushShiftsTowardTheTurn) {
    Crossing left;
    left.perm(1, 1, 1) = 0;
    left.perm(1, 2, 1) = 0;
    left.build();
    // Lanes 1 and 2 may not turn left: two and one lanes to the left.
    EXPECT_EQ(left.shift(1, 1, 4), 2);
    EXPECT_EQ(left.shift(1, 2, 4), 1);
    EXPECT_EQ(left.shift(1, 3, 4), 0);
    EXPECT_EQ(left.shift(1, 1, 3), 0);

    Crossing right;
    right.perm(1, 2, 3) = 0;
    right.perm(1, 3, 3) = 0;
    right.build();
    EXPECT_EQ(right.shift(1, 1, 2), 0);
    EXPECT_EQ(right.shift(1, 2, 2), -1);
    EXPECT_EQ(right.shift(1, 3, 2), -2);

    // Edge lanes without through arrows move inward.
    Crossing through;
    through.perm(1, 1, 2) = 0;
    through.perm(1, 3, 2) = 0;
    through.build();
    EXPECT_EQ(through.shift(1, 1, 3), 1);
    EXPECT_EQ(through.shift(1, 2, 3), 0);
    EXPECT_EQ(through.shift(1, 3, 3), -1);

    EXPECT_TRUE(has_line(through.summary(), "  20.b Lane permission calculation "));
}

TEST(LanePermissions, TurnsClipShiftsAwayFromTheTurn) {
    // A 3-lane link whose single next link has 2 lanes and its extra lane on
    // the left: the geometry moves the left-most lane one to the right.
    for (float heading : {kNorth, kWest}) {
        LaneNet n;
        n.link(1, 3, kNorth);
        n.link(2, 2, heading, -1);
        n.feeds(1, {2});
        build_lanes(n);
        EXPECT_EQ(n.shift(1, 3, 2), -1);
        dolanper(n.s);
        // Straight on keeps it; as a left turn no shift may point right.
        EXPECT_EQ(n.shift(1, 3, 2), heading == kNorth ? -1 : 0) << heading;
    }
}

// --- whole networks read from their files -----------------------------------

std::string file_text(const std::filesystem::path& p) {
    std::ifstream      in(p, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every lane of every link continues in an existing lane of each next link,
// and the angle ranks of a link's next links are a permutation of them.
void expect_continuations_in_range(const Sim& s) {
    const auto& g = s.graph1;
    const auto& lx = s.lanexch;
    int         connections = 0;
    for (int l = 1; l <= s.link2.mlnum; ++l) {
        if (!(s.link4.llength(l) > 0.0f)) continue;
        std::vector<int> ranked;
        for (int k = 1; k <= g.nlinot(l); ++k) {
            const int d = std::abs(g.linot(l, k));
            const int n2 = s.link1.nulans(d);
            ranked.push_back(lx.alanot(l, k));
            for (int p = 1; p <= s.link1.nulans(l); ++p) {
                const int lane = lx.lannum(l, p);
                const int t1 = lx.nxtlan(lane, k, 1), t2 = lx.nxtlan(lane, k, 2);
                EXPECT_TRUE(t1 >= 1 && t1 <= n2)
                    << "link " << l << " lane " << p << " into " << d << ": " << t1;
                EXPECT_TRUE(t2 == 0 || (t2 >= 1 && t2 <= n2))
                    << "link " << l << " lane " << p << " into " << d << ": " << t2;
                ++connections;
            }
        }
        std::sort(ranked.begin(), ranked.end());
        for (int k = 1; k <= g.nlinot(l); ++k)
            EXPECT_EQ(ranked[static_cast<std::size_t>(k - 1)], k);
    }
    EXPECT_GT(connections, 0);
}

void build_lane_tables(Sim& s) {
    rdlanshf(s);
    flanot(s, s.errcount.errt1);
    dolanper(s);
    turnperm(s);
}

TEST(LaneConnectivity, EverySampleNetworkContinuesInExistingLanes) {
    namespace fs = std::filesystem;
    int networks = 0;
    for (const auto& dir : fs::directory_iterator(fs::path(VELM_SOURCE_DIR) / "samples")) {
        for (const auto& master : fs::directory_iterator(dir.path())) {
            if (master.path().extension() != ".master") continue;
            SCOPED_TRACE(master.path().string());
            LaneNet n;
            for (const auto& f : fs::recursive_directory_iterator(dir.path()))
                if (f.is_regular_file())
                    n.s.units.put_file(fs::relative(f.path(), dir.path()).generic_string(),
                                       file_text(f.path()));
            n.s.master.mastfile = master.path().filename().string();
            readdata(n.s);
            ASSERT_EQ(n.s.errcount.errt1, 0) << n.log();
            build_lane_tables(n.s);
            ASSERT_EQ(n.s.errcount.errt1, 0) << n.log();
            expect_continuations_in_range(n.s);
            ++networks;
        }
    }
    EXPECT_GT(networks, 0);
}

TEST(LaneConnectivity, StripedJunctionsFromTheirFiles) {
    const std::filesystem::path data = std::filesystem::path(VELM_SOURCE_DIR) / "tests/data/lanes";
    LaneNet                     n;
    for (const char* f : {"cross_nodes.dat", "cross_links.dat", "cross_stripes.dat"})
        n.s.units.put_file(f, file_text(data / f));
    read1(n.s, "cross_nodes.dat");
    checknode(n.s);
    read2(n.s, "cross_links.dat");
    setxy(n.s);
    addnfnt(n.s, 0);
    ASSERT_EQ(n.s.errcount.errt1, 0) << n.log();
    n.s.filenam.files(20) = "cross_stripes.dat";
    build_lane_tables(n.s);
    ASSERT_EQ(n.s.errcount.errt1, 0) << n.log();
    expect_continuations_in_range(n.s);

    // West approach 1 (3 lanes, arrows 100 10 11): left into 4, straight into
    // 7, right into 6. Each lane must reach the lanes striped for its turn.
    EXPECT_GE(n.shift(1, 1, 4), 2);
    EXPECT_GE(n.shift(1, 2, 4), 1);
    EXPECT_EQ(n.shift(1, 3, 4), 0);
    EXPECT_LE(n.shift(1, 3, 7), -1);
    EXPECT_LE(n.shift(1, 3, 6), -2);
    EXPECT_EQ(n.shift(1, 1, 6), 0);
    EXPECT_EQ(n.s.link5.turnper(1, 1), 1);
    EXPECT_EQ(n.s.link5.turnper(1, 2), 2);
    EXPECT_EQ(n.s.link5.turnper(1, 3), 1);
    // East approach 10 (4 lanes) narrows into the 2-lane straight link 8:
    // right-aligned, its two left lanes move right; its curb lane is closed
    // to class 4.
    EXPECT_EQ(n.next_lane(10, 4, 8), 2);
    EXPECT_LE(n.shift(10, 4, 8), -2);
    EXPECT_EQ(n.s.link4.lanpro(n.lane(10, 1), 4), 1);
    // The north exit 4 was coded -3: three lanes, the extra one on the left.
    EXPECT_EQ(n.s.link1.nulans(4), 3);
    EXPECT_EQ(n.s.link1.addlin(4), -1);
}

} // namespace
} // namespace velm
