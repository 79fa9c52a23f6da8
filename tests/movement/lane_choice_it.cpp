// End to end through the whole run: traffic leaves a lane blocked by an
// incident upstream of the blockage, vehicles bound for a right turn reach
// the stop line in a lane that turns right, and a long multi-lane road
// carries its traffic on all of its lanes.
#include "core/driver/driver.h"
#include "core/io/writers.h"
#include "core/model/sim.h"
#include "movement/run_files.h"
#include "support/lane_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_movement::demand_file;
using testing_movement::Flow;
using testing_movement::master_file;

// A straight road: zone 1, nodes 11 and 12, zone 2; link 2 from 11 to 12 has
// `lanes` lanes and is `km` long; zone 3 south of node 12 takes right turns.
std::string road_nodes(float km, bool right_turn) {
    char text[400];
    std::snprintf(text, sizeof text,
                  "Straight road\n%d  1.0  1.0\n"
                  "1   0.5  1.0  1  -1  0\n11  1.0  1.0  4   0  0\n12  %.2f  1.0  4   0  0\n"
                  "2   %.2f  1.0  1  -2  0\n",
                  right_turn ? 5 : 4, 1.0 + km, 1.5 + km);
    std::string out = text;
    if (right_turn) {
        std::snprintf(text, sizeof text, "3   %.2f  0.5  1  -3  0\n", 1.0 + km);
        out += text;
    }
    return out;
}

std::string road_links(int lanes, float km, float vf, float vc, int origin_lanes, bool right_turn) {
    char        text[1200];
    const float back = 1.0f + km + 0.2f;
    std::snprintf(
        text, sizeof text,
        "Straight road: origin, link 2 under test, through and right exits, back links\n"
        "%d  1.0  1.0  1.0  1.0  1.0\n"
        "1  1  11  0.5  %.0f  2200  %d  0  %.0f  150  0  0  0  0  0  0  0  0  0  0  Origin\n"
        "2  11 12  %.2f  %.0f  2000  %d  0  %.0f  150  0  0  0  0  0  0  0  0  0  0  Road\n"
        "3  12  2  0.5  %.0f  2000  %d  0  %.0f  150  0  0  0  0  0  0  0  0  0  0  Through\n"
        "5  2  1  %.2f  60  2000  1  0  40  150  0  0  0  0  0  0  0  0  0  0  Back 2\n",
        right_turn ? 6 : 4, static_cast<double>(vf), origin_lanes, static_cast<double>(vc),
        static_cast<double>(km), static_cast<double>(vf), lanes, static_cast<double>(vc),
        static_cast<double>(vf), lanes, static_cast<double>(vc), static_cast<double>(back));
    std::string out = text;
    if (right_turn) {
        std::snprintf(
            text, sizeof text,
            "4  12  3  0.5  50  2000  1  0  30  150  0  0  0  0  0  0  0  0  0  0  Right\n"
            "6  3  1  %.2f  60  2000  1  0  40  150  0  0  0  0  0  0  0  0  0  0  Back 3\n",
            static_cast<double>(back));
        out += text;
    }
    return out;
}

// Watches link 2: every vehicle's lane and position after the lane decisions
// of each tick, and the lane each vehicle had when it left. On every link,
// before each sort, no vehicle has passed or closed in on the one ahead.
class RoadWatch : public StepProbe {
  public:
    explicit RoadWatch(Sim& s) : s_(s) {}
    void step(std::string_view name) override {
        if (name == "srtque") {
            check_lane_order(s_, [this](const std::string& what) {
                if (order_faults.size() < 8)
                    order_faults.push_back("t10=" + std::to_string(s_.control.t10) + ": " + what);
            });
        } else if (name == "moveveh") {
            before_.clear();
            for (const int car : trips()) before_[car] = lane_of(car);
        } else if (name == "enternet") {
            const std::vector<int> now = trips();
            for (const auto& [car, lane] : before_)
                if (std::find(now.begin(), now.end(), car) == now.end())
                    exits.push_back({car, lane});
        } else if (name == "vehpos1") {
            for (const int car : trips()) on_tick(car);
        }
    }
    struct Exit {
        int car, lane;
    };
    std::vector<Exit>        exits;
    std::vector<std::string> order_faults; // first passes and overlaps found
    // Filled per tick by on_tick.
    int                 in_block = 0; // vehicles seen inside the blocked section of lane 1
    std::array<long, 8> lane_count{}; // vehicle-ticks per lane within 1000..2500 m
    std::set<int>       changing;     // vehicles seen in the middle of a lane change

  private:
    void on_tick(int car) {
        const int   vid = s_.vehindx.vehid(car);
        const int   lane = s_.oddat.vlan(vid, 1);
        const float d = s_.vehplot.dis(vid, 1);
        if (lane == 1 && d >= 600.0f && d < 800.0f && s_.link1.capred(2, 1, 1) != 0.0f) ++in_block;
        if (s_.vehindx.lnchtm(vid, 1) > s_.control.t10) changing.insert(car);
        if (d >= 1000.0f && d < 2500.0f && lane >= 1 && lane <= 7)
            ++lane_count[static_cast<std::size_t>(lane)];
    }
    int              lane_of(int car) const { return s_.oddat.vlan(s_.vehindx.vehid(car), 1); }
    std::vector<int> trips() const {
        std::vector<int> out;
        for (int i = 1; i <= s_.link2.ntqu(2); ++i)
            out.push_back(s_.vehicle.big(s_.link2.nbqu(2) + i));
        return out;
    }
    Sim&               s_;
    std::map<int, int> before_;
};

struct RoadRun {
    std::unique_ptr<Sim> sim = std::make_unique<Sim>();
    Sim&                 s = *sim;
    RoadWatch            watch{s};

    RoadRun(int lanes, float km, float vf, float vc, const std::string& incidents,
            const std::vector<Flow>& flows, int demand_end, int horizon, int origin_lanes = 0,
            bool right_turn = true) {
        s.units.use_memory_files();
        s.units.set_console([](std::string_view) {});
        s.units.put_file("test.master", master_file(horizon));
        s.units.put_file("input/nodes.dat", road_nodes(km, right_turn));
        s.units.put_file(
            "input/links.dat",
            road_links(lanes, km, vf, vc, origin_lanes > 0 ? origin_lanes : lanes, right_turn));
        s.units.put_file("input/signals.dat", "No signals\n0  0  3600\n0\n");
        s.units.put_file("input/incidents.dat", incidents);
        s.units.put_file("input/demand.dat", demand_file(flows, demand_end));
        s.master.mastfile = "test.master";
        s.probe = &watch;
        velmorantis(s, 1);
    }
    std::string log() const { return s.units.file_text("runerr.out"); }
};

TEST(LaneChoiceEndToEnd, TrafficLeavesTheLaneBlockedByAnIncident) {
    // The curb lane of the 1-km two-lane road is closed from 600 to 800 m for
    // the whole run (long layout, lane code 1 = lane 1 closed).
    RoadRun r(2, 1.0f, 60.0f, 40.0f, "Curb lane closed\n-1\n1  2  0.6  0.8  0  900  1\n",
              {{1, 2, 900.0f}}, 600, 900);
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    for (const auto& f : r.watch.order_faults) ADD_FAILURE() << f;
    EXPECT_EQ(r.watch.in_block, 0);
    EXPECT_GT(r.watch.changing.size(), 20u) << "vehicles entering in the curb lane moved over";
    // Traffic still gets through in the open lane.
    EXPECT_GT(r.watch.exits.size(), 100u);
    for (const auto& e : r.watch.exits) EXPECT_EQ(e.lane, 2) << "trip " << e.car;
}

TEST(LaneChoiceEndToEnd, RightTurnersReachTheEndInALaneThatTurnsRight) {
    RoadRun r(3, 1.0f, 60.0f, 40.0f, "No incidents\n0\n", {{1, 2, 600.0f}, {1, 3, 300.0f}}, 600,
              900);
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    for (const auto& f : r.watch.order_faults) ADD_FAILURE() << f;
    // Lanes of link 2 that lead into link 4 without a change.
    std::set<int> right;
    for (int k = 1; k <= 3; ++k)
        for (int c = 1; c <= r.s.graph1.nlinot(2); ++c)
            if (std::abs(r.s.graph1.linot(2, c)) == 4 &&
                r.s.lanexch.lanshf(r.s.lanexch.lannum(2, k), c) == 0)
                right.insert(k);
    ASSERT_FALSE(right.empty());
    ASSERT_LT(right.size(), 3u) << "some lane must not lead into the right turn";
    int turners = 0;
    for (const auto& e : r.watch.exits) {
        if (r.s.vehicle.ndest(e.car) != 3) continue;
        ++turners;
        EXPECT_TRUE(right.count(e.lane)) << "trip " << e.car << " left in lane " << e.lane;
    }
    EXPECT_GT(turners, 20);
}

TEST(LaneChoiceEndToEnd, LongMultiLaneRoadUsesAllItsLanes) {
    // Everyone enters from a one-lane origin link and must spread out.
    RoadRun r(3, 3.0f, 100.0f, 70.0f, "No incidents\n0\n", {{1, 2, 1800.0f}}, 900, 1200, 1, false);
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    for (const auto& f : r.watch.order_faults) ADD_FAILURE() << f;
    long total = 0;
    for (int k = 1; k <= 3; ++k) total += r.watch.lane_count[static_cast<std::size_t>(k)];
    ASSERT_GT(total, 0);
    // Drivers stay in their lane unless another is clearly faster (inertia),
    // so the spread is uneven, but no lane carries everyone.
    int used = 0;
    for (int k = 1; k <= 3; ++k) {
        const double share = static_cast<double>(r.watch.lane_count[static_cast<std::size_t>(k)]) /
                             static_cast<double>(total);
        std::printf("[ freeway ] lane %d carries %.0f %% of the vehicle-time\n", k, 100.0 * share);
        EXPECT_LT(share, 0.75) << "lane " << k;
        if (share > 0.2) ++used;
    }
    EXPECT_GE(used, 2);
    EXPECT_GT(r.watch.changing.size(), 100u);
}

} // namespace
} // namespace velm
