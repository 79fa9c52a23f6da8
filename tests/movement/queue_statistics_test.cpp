// Queued vehicles per link, turning-direction shares of the smoothed link
// times, and the vehicle-second sums of the link reports.
#include "core/model/sim.h"
#include "core/movement/movement.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace velm {
namespace {

// Link 1 of 100 m with a spacing at capacity of 25 m; link 2 not coded.
struct QueueLink : ::testing::Test {
    std::unique_ptr<Sim> sim = std::make_unique<Sim>();
    Sim&                 s = *sim;
    void                 SetUp() override {
        s.link2.mlnum = 2;
        s.link4.llength(1) = 0.1f;
        s.link5.minhd(1, 3) = 25.0f;
        s.link2.nbqu(1) = 0;
    }
    // Vehicles on link 1, front first, at these front positions (m).
    void place(const std::vector<float>& dis) {
        s.link2.ntqu(1) = static_cast<int>(dis.size());
        for (std::size_t i = 0; i < dis.size(); ++i) {
            const int car = static_cast<int>(i) + 101, vid = static_cast<int>(i) + 7;
            s.vehicle.big(static_cast<int>(i) + 1) = car;
            s.vehindx.vehid(car) = vid;
            s.vehplot.dis(vid, 1) = dis[i];
        }
    }
};

TEST_F(QueueLink, CountsVehiclesCloserThanTheSpacingAtCapacity) {
    struct Case {
        const char*        name;
        std::vector<float> dis;
        int                queued;
    };
    const Case cases[] = {
        {"20 m before the end", {80.0f}, 1},
        {"25 m before the end", {75.0f}, 0},
        {"25.5 m before the end (whole metres)", {74.5f}, 0},
        {"24.9 m before the end", {75.1f}, 1},
        {"side by side: the second has gap 0", {50.0f, 50.0f}, 1},
        {"a free platoon 30 m apart", {70.0f, 40.0f, 10.0f}, 0},
        {"a standing queue 7 m apart behind a free head", {60.0f, 53.0f, 46.0f, 39.0f}, 3},
        {"no vehicles", {}, 0},
    };
    for (const auto& c : cases) {
        s.link2.rqs(1) = 99; // whatever the last second left
        place(c.dis);
        qtime(s);
        EXPECT_EQ(s.link2.rqs(1), c.queued) << c.name;
    }
}

TEST_F(QueueLink, TurningSharesAreClampedAndRefreshedOnEmptyLinks) {
    auto& tc = s.link5.turncnt;
    place({});
    for (int c = 1; c <= kClasses; ++c) tc(1, 4, c, 3) = 200; // all directions: 20 s
    tc(1, 1, 1, 3) = 0;                                       // no time: the lower bound 1
    tc(1, 2, 1, 3) = 2000;                                    // ten times the all-direction time
    tc(1, 3, 1, 3) = 300;                                     // one and a half times
    tc(1, 1, 2, 3) = 2000000;                                 // far above the upper bound
    tc(1, 2, 2, 3) = 1;                                       // 0.5 %
    tc(1, 1, 3, 3) = 150;                                     // 75 %
    tc(1, 4, 4, 3) = 0;                                       // no all-direction time at all
    tc(1, 2, 4, 3) = 500;
    qtime(s);
    EXPECT_EQ(tc(1, 1, 1, 4), 1);
    EXPECT_EQ(tc(1, 2, 1, 4), 1000);
    EXPECT_EQ(tc(1, 3, 1, 4), 150);
    EXPECT_EQ(tc(1, 1, 2, 4), 10000);
    EXPECT_EQ(tc(1, 2, 2, 4), 1);
    EXPECT_EQ(tc(1, 1, 3, 4), 75);
    for (int c : {1, 2, 3, 5}) EXPECT_EQ(tc(1, 4, c, 4), 100) << "class " << c;
    for (int d = 1; d <= 4; ++d) EXPECT_EQ(tc(1, d, 4, 4), 100) << "neutral share, dir " << d;
    EXPECT_EQ(s.link2.rqs(1), 0);
    EXPECT_EQ(tc(2, 4, 1, 4), 0) << "a link not coded is left alone";
}

TEST_F(QueueLink, VehicleSecondsAndQueuedVehicleSecondsAccumulate) {
    s.link4.llength(3) = 0.0f; // a zero-length link still counts
    s.link2.mlnum = 3;
    s.link2.ntqu(3) = 2;
    place({80.0f, 78.0f, 30.0f}); // two queued, one free
    for (int second = 1; second <= 3; ++second) {
        qtime(s);
        resetflow(s);
        if (second == 2) s.link2.ttqu(1, 2) = s.link2.totque(1, 2) = 0; // a new output period
    }
    EXPECT_EQ(s.link2.ttqu(1, 1), 9);
    EXPECT_EQ(s.link2.totque(1, 1), 6);
    EXPECT_EQ(s.link2.ttqu(1, 2), 3);
    EXPECT_EQ(s.link2.totque(1, 2), 2);
    EXPECT_EQ(s.link2.ttqu(3, 1), 6);
    EXPECT_EQ(s.link2.ttqu(2, 1), 0) << "a link not coded is left alone";
}

} // namespace
} // namespace velm
