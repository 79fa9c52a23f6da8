// Next-link look-ahead: the two links ahead on the stored path with their
// connection indices and turn types, the target lane on the next link, and
// message signs evaluated once per link.
#include "entry_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_movement::lines_of;
using testing_movement::Road;
using testing_movement::Traffic;

// Links 1 and 2 head east, 3 north (a left turn from 1), 4 south (a right
// turn from 2). Link 1 lists link 3 first and link 2 second, ranked the other
// way round by angle.
struct Crossing : Traffic {
    Crossing() {
        road({.l = 1, .from = 1, .to = 2});
        road({.l = 2, .from = 2, .to = 3, .lanes = 2});
        road({.l = 3, .from = 2, .to = 4});
        road({.l = 4, .from = 3, .to = 5});
        s.graph1.ang(1) = 0.0f;
        s.graph1.ang(2) = 0.0f;
        s.graph1.ang(3) = 90.0f;
        s.graph1.ang(4) = 270.0f;
        connect(1, 3);
        connect(1, 2);
        s.lanexch.alanot(1, 1) = 2;
        s.lanexch.alanot(1, 2) = 1;
        connect(2, 4);
    }
};

TEST(NewLink, LooksTwoLinksAheadAndMovesOnAlongThePath) {
    Crossing r;
    r.trip(7, 1, 5, 0.0f, {1, 2, 4});
    const int vid = r.on_link(7, 1, 0.0f, 10.0f); // new_link(car, 2) on link 1

    struct Step {
        int                cur;
        std::array<int, 5> nxtlnk;
        std::array<int, 2> nxttrn;
    };
    const std::vector<Step> steps = {
        {1, {2, 2, 2, 4, 1}, {2, 3}}, // through onto 2 (second connection), then right
        {2, {4, 1, 3, -1, 0}, {3, 0}},
        {4, {-1, 0, 0, -1, 0}, {0, 0}}, // the last link: nothing ahead
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE("link " + std::to_string(steps[i].cur));
        if (i > 0) new_link(r.s, 7, 1);
        EXPECT_EQ(r.s.oddat.curlnk(vid), steps[i].cur);
        EXPECT_EQ(r.s.vehtre.tre_ind(7, 4), static_cast<int>(i) + 1);
        for (int c = 1; c <= 5; ++c)
            EXPECT_EQ(r.s.vehicle.nxtlnk(vid, c), steps[i].nxtlnk[static_cast<std::size_t>(c - 1)])
                << "column " << c;
        EXPECT_EQ(r.s.vehicle.nxttrn(vid, 1), steps[i].nxttrn[0]);
        EXPECT_EQ(r.s.vehicle.nxttrn(vid, 2), steps[i].nxttrn[1]);
    }
    r.s.oddat.vlan(vid, 2) = 2;
    nextlane(r.s, 7, 0, r.s.vehicle.nxtlnk(vid, 1), 4, 2);
    EXPECT_EQ(r.s.oddat.vlan(vid, 2), 0) << "no target lane where the trip ends";
}

TEST(NextLink, ReadsThePathStoreAndEndsWithMinusOne) {
    Crossing r;
    r.trip(3, 1, 5, 0.0f, {1, 2, 4});
    r.trip(4, 1, 5, 0.0f, {}); // never traced
    struct Case {
        int car, offset, flag, want;
    };
    const std::vector<Case> cases = {
        {3, 1, 1, 2},  {3, 1, 2, 4},  {3, 2, 1, 4},  {3, 2, 2, -1},
        {3, 3, 1, -1}, {4, 1, 1, -1}, {4, 0, 1, -1},
    };
    for (const auto& c : cases) {
        r.s.vehtre.tre_ind(c.car, 4) = c.offset;
        int ldest = 99;
        nextlink(r.s, c.car, 0, ldest, c.flag);
        EXPECT_EQ(ldest, c.want) << "trip " << c.car << " offset " << c.offset << " flag "
                                 << c.flag;
    }
}

// Lane 1 of link 1 continues in r1 or r2 of link 2 (3 lanes), whose lanes need
// `shift` lane changes to take the connection after link 2.
TEST(NextLane, PrefersFewerLaneChangesThenMoreSpaceThenR1) {
    struct Case {
        const char* name;
        int         r1, r2;
        int         shift1, shift2; // on lanes r1, r2 of link 2
        int         space1, space2; // last vehicle of lanes r1, r2, m
        int         want;
        bool        logged;
    };
    const std::vector<Case> cases = {
        {"no change either way: more space wins", 1, 2, 0, 0, 50, 80, 2, false},
        {"equal space: r1", 1, 2, 0, 0, 60, 60, 1, false},
        {"fewer changes beat space", 2, 3, 2, -1, 150, 5, 3, false},
        {"only r2 exists", 0, 3, 0, 3, 0, 40, 3, false},
        {"no candidate", 0, 0, 0, 0, 0, 0, 1, true},
        {"a lane the link does not have", 4, 0, 0, 0, 0, 0, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Traffic r;
        r.road({.l = 1, .from = 1, .to = 2});
        r.road({.l = 2, .from = 2, .to = 3, .lanes = 3});
        r.road({.l = 5, .from = 3, .to = 4});
        const int j = r.connect(1, 2, {c.r1});
        const int j2 = r.connect(2, 5);
        const int ln = r.lane_no(1, 1);
        r.s.lanexch.nxtlan(ln, j, 2) = c.r2;
        if (c.r1 >= 1 && c.r1 <= 3) {
            r.s.lanexch.lanshf(r.lane_no(2, c.r1), j2) = c.shift1;
            r.s.lanexch.lstveh(r.lane_no(2, c.r1), 2) = c.space1;
        }
        if (c.r2 >= 1) {
            r.s.lanexch.lanshf(r.lane_no(2, c.r2), j2) = c.shift2;
            r.s.lanexch.lstveh(r.lane_no(2, c.r2), 2) = c.space2;
        }
        r.trip(9, 1, 4, 0.0f, {1, 2, 5});
        const int vid = r.on_link(9, 1, 0.0f, 10.0f);
        EXPECT_EQ(r.s.oddat.vlan(vid, 2), c.want);
        EXPECT_EQ(r.log().find("nextlane-") != std::string::npos, c.logged);
    }
}

TEST(NextLane, ErrorLineCarriesTheTripTheLinksAndTheLanes) {
    Traffic r;
    r.road({.l = 1, .from = 1, .to = 2});
    r.road({.l = 2, .from = 2, .to = 3, .lanes = 2});
    const int j = r.connect(1, 2, {0});
    r.trip(12, 1, 3, 0.0f, {1, 2});
    const int vid = r.place(12, 1, 1, 0.0f);
    r.s.vehicle.nxtlnk(vid, 2) = j;
    nextlane(r.s, 12, 37, 2, 1, 1);
    // "nextlane-" then trip, t, link, next link, lane, network lane, connection
    // and chosen lane, six columns each.
    EXPECT_EQ(lines_of(r.log()).back(),
              "nextlane-    12    37     1     2     1     1     1     0");
    EXPECT_EQ(r.s.oddat.vlan(vid, 2), 1);
}

TEST(ChkCms, ASignAdvisesCompliantTripsOncePerLink) {
    struct Case {
        const char* name;
        float       cms;
        int         cmstyp;
        int         vrnd; // last two digits: the compliance draw
        int         flag;
    };
    const std::vector<Case> cases = {
        {"complies", 0.5f, 3, 1234, 1},
        {"draw on the fraction complies", 0.34f, 3, 1234, 1},
        {"draw above the fraction", 0.5f, 3, 1299, 0},
        {"no class to switch to", 0.5f, 0, 1234, 0},
        {"no sign", 0.0f, 3, 1200, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Traffic r;
        r.road({.l = 1, .from = 1, .to = 2});
        r.road({.l = 2, .from = 2, .to = 3});
        r.s.graph1.cms(2) = c.cms;
        r.s.graph1.cmstyp(2, 1) = c.cmstyp;
        r.s.graph1.cmslag(2) = 120;
        r.trip(5, 1, 3, 0.0f, {1, 2});
        r.s.oddat.vrnd(5) = c.vrnd;
        const int vid = r.on_link(5, 1, 0.0f, 10.0f);

        int flag = -1;
        chk_cms(r.s, 5, 1, 1, 300, flag);
        EXPECT_EQ(flag, c.flag);
        EXPECT_EQ(r.s.oddat.cmst(vid, 3), 1) << "the link is marked as evaluated";
        if (c.flag == 1) {
            EXPECT_EQ(r.s.oddat.cmst(vid, 1), 420);
            EXPECT_EQ(r.s.oddat.cmst(vid, 2), 3);
        } else {
            EXPECT_EQ(r.s.oddat.cmst(vid, 1), -9999);
        }
        // Reaching the same link end again: not evaluated a second time.
        r.s.oddat.cmst(vid, 1) = -9999;
        chk_cms(r.s, 5, 1, 1, 310, flag);
        EXPECT_EQ(flag, 0);
        EXPECT_EQ(r.s.oddat.cmst(vid, 1), -9999);
    }
}

} // namespace
} // namespace velm
