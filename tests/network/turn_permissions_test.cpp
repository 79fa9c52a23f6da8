#include "core/network/network.h"
#include "lane_fixture.h"

#include <gtest/gtest.h>

#include <array>

namespace velm {
namespace {

using testing_lanes::LaneNet;

TEST(TurnPermissions, CountLanesPermittingEachDirection) {
    LaneNet n;
    n.link(5, 3, 90.0f);
    n.link(7, 2, 90.0f);
    n.link(9, 2, 90.0f);
    n.s.link5.turnper(3, 1) = 4; // link 3 is not coded: cleared
    n.s.units.put_file("stripes.dat", "left turns\n2\n"
                                      "1 5 3 11 11 11 0 0 0\n"
                                      "2 7 2 100 11 0 0\n");
    n.s.filenam.files(20) = "stripes.dat";
    rdlanshf(n.s);
    ASSERT_EQ(n.s.errcount.errt1, 0) << n.log();
    turnperm(n.s);
    using Dirs = std::array<int, 3>;
    auto turnper = [&](int l) {
        return Dirs{n.s.link5.turnper(l, 1), n.s.link5.turnper(l, 2), n.s.link5.turnper(l, 3)};
    };
    EXPECT_EQ(turnper(5), (Dirs{0, 3, 3})); // no lane turns left: routes never do
    EXPECT_EQ(turnper(7), (Dirs{1, 1, 1})); // one left-only lane, one through-right lane
    EXPECT_EQ(turnper(9), (Dirs{2, 2, 2})); // not in the file: every lane, every way
    EXPECT_EQ(turnper(3), (Dirs{0, 0, 0}));
}

// Link 5 (500 m, 2 lanes) holds trip 40 in slot 3 at the head of lane 2,
// bound for link 9 (heading 271.8 degrees).
struct HeadVehicle : LaneNet {
    HeadVehicle() {
        link(5, 2, 90.0f);
        link(9, 2, 271.8f);
        s.link2.ntqu(5) = 1;
        s.link2.fvehlan(lane(5, 2)) = 40;
        s.vehindx.vehid(40) = 3;
        s.vehicle.dept(40) = 123.45f;
        s.vehicle.nxtlnk(3, 1) = 9;
    }
    void at(float speed, float pos) {
        s.vehplot.spd(3, 1) = speed;
        s.vehplot.dis(3, 1) = pos;
    }
    std::array<int, 2> record(int p) {
        return {s.link5.trnlan(lane(5, p), 1), s.link5.trnlan(lane(5, p), 2)};
    }
};

TEST(TurningLanes, HeadVehicleIsRecordedWhenMovingOrAtTheEnd) {
    using Rec = std::array<int, 2>;
    const Rec none{864000, 0};
    const Rec bound{1234, 271};
    struct Case {
        const char* name;
        float       speed, pos;
        int         next;
        Rec         expect;
    };
    const Case cases[] = {
        {"standing 50 m before the end", 0.0f, 450.0f, 9, none},
        {"standing 5 m before the end", 0.0f, 495.0f, 9, bound},
        {"standing exactly 10 m before the end", 0.0f, 490.0f, 9, bound},
        {"creeping at 1 km/h 50 m before the end", 1.0f, 450.0f, 9, none},
        {"moving 50 m before the end", 30.0f, 450.0f, 9, bound},
        {"next link not yet chosen", 30.0f, 450.0f, -99, {1234, 999}},
        {"trip ends on this link", 0.0f, 498.0f, -1, {1234, 999}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HeadVehicle h;
        h.at(c.speed, c.pos);
        h.s.vehicle.nxtlnk(3, 1) = c.next;
        settrn(h.s, 2);
        EXPECT_EQ(h.record(2), c.expect);
        EXPECT_EQ(h.record(1), none); // no head vehicle
    }

    // Any other argument only clears; so does an empty link.
    HeadVehicle cleared;
    cleared.at(30.0f, 450.0f);
    settrn(cleared.s, 2);
    ASSERT_EQ(cleared.record(2), bound);
    settrn(cleared.s, 1);
    EXPECT_EQ(cleared.record(2), none);
    cleared.s.link2.ntqu(5) = 0;
    settrn(cleared.s, 2);
    EXPECT_EQ(cleared.record(2), none);
}

} // namespace
} // namespace velm
