// Distance trees: shortest paths by length to every destination zone, the
// remaining lengths, the 100-km reach of the macro-zone members' trees and
// the zone-to-zone distances.
#include "core/routing/routing.h"
#include "route_fixture.h"

#include <gtest/gtest.h>

namespace velm {
namespace {

using testing_routing::fixture;
using testing_routing::RouteNet;

void both_passes(Sim& s) {
    builddis(s, 1);
    builddis(s, 2);
}

TEST(DistanceTrees, ShortestLengthsOnTheGridWithBansIgnored) {
    for (bool banned : {false, true}) {
        RouteNet n(fixture("grid.net"));
        if (banned) n.ban(n.link(11, 12), n.link(12, 15));
        both_passes(n.s);
        const auto& dt = n.s.trees.distre;
        const char* what = banned ? "banned" : "open";
        // Zone 2 (pass 1): 11-12-15-16-19-2 is 100+100+100+100+50 m.
        EXPECT_EQ(dt(2, n.link(11, 12), 1), n.link(12, 15)) << what;
        EXPECT_EQ(dt(2, n.link(11, 12), 2), 45) << what;
        EXPECT_EQ(dt(2, n.link(19, 2), 1), -1) << what;
        EXPECT_EQ(dt(2, n.link(19, 2), 2), 5) << what;
        // Zone 4, a member of macro zone 1 (pass 2): 11-12-15-16-4.
        EXPECT_EQ(dt(4, n.link(11, 12), 1), n.link(12, 15)) << what;
        EXPECT_EQ(dt(4, n.link(11, 12), 2), 35) << what;
        // Out of zone 3 and back without a U-turn: round the block
        // 3-12-13-16-15-12-3, 50 + 100 + 300 + 100 + 100 + 50 m.
        EXPECT_EQ(dt(3, n.link(3, 12), 2), 70) << what;
        // Two links leave zone 1 toward zone 2: 500 m by 11 and 600 m by 14;
        // the one taken off the list last (600 m) gives the distance.
        EXPECT_FLOAT_EQ(n.s.nodes.trp_dst(1, 2), 600.0f) << what;
        EXPECT_TRUE(distance_reachable(n.s, 2, n.link(1, 11))) << what;
    }
}

TEST(DistanceTrees, MemberTreesReachOneHundredKilometresAndShortFinalLinksStayReachable) {
    // Zone 1 is the centroid of macro zone 1, zone 2 a member; a chain of
    // 60-km links leads to both, the member through a final link of 5 m.
    RouteNet n(R"(
node 1 -1 0 2 -1
node 2 1 0 2 1
node 11 0 0 4 0
node 12 0 1 4 0
node 13 0 2 4 0
node 14 0 3 4 0
link 1 11 2 1 0.005 1
link 2 11 1 1 0.01 1
link 3 12 11 1 60 0
link 4 13 12 1 60 0
link 5 14 13 1 60 0
)");
    both_passes(n.s);
    const auto& dt = n.s.trees.distre;
    // The centroid's tree reaches the end of the chain: 180 km + 10 m.
    EXPECT_EQ(dt(1, 5, 1), 4);
    EXPECT_EQ(dt(1, 5, 2), 18001);
    // The member's search stops growing past 100 km of path: link 4 (120 km
    // from the zone) is still labelled, link 5 behind it is not.
    EXPECT_EQ(dt(2, 3, 1), 1);
    EXPECT_EQ(dt(2, 3, 2), 6000);
    EXPECT_EQ(dt(2, 4, 2), 12000);
    EXPECT_EQ(dt(2, 5, 1), 4) << "kept from the centroid's tree";
    EXPECT_EQ(dt(2, 5, 2), -1);
    // The 5-m link truncates to 0 units but leads into the zone.
    EXPECT_EQ(dt(2, 1, 1), -1);
    EXPECT_EQ(dt(2, 1, 2), 0);
    EXPECT_TRUE(distance_reachable(n.s, 2, 1));
    EXPECT_FALSE(distance_reachable(n.s, 2, 5));
    EXPECT_FALSE(distance_reachable(n.s, 1, 1)) << "link 1 ends at the member, not the centroid";

    const std::string log = n.log();
    EXPECT_TRUE(
        testing_routing::contains(log, "- Building trees - distance only - pass:           2"));
    EXPECT_TRUE(testing_routing::contains(log, "           - tree number =            2"));
}

TEST(DistanceTrees, ZonesThatAreNoDestinationGetNoTree) {
    RouteNet n(fixture("grid.net"));
    n.s.oddat.treereq(4, 1) = 0; // zone 4 is nobody's destination
    both_passes(n.s);
    EXPECT_EQ(n.s.trees.distre(4, n.link(16, 4), 1), 0);
    EXPECT_FALSE(testing_routing::contains(n.log(), "- tree number =            4"));
    EXPECT_EQ(n.s.trees.distre(2, n.link(19, 2), 1), -1);
}

} // namespace
} // namespace velm
