// End to end through the whole run: a signalised approach queues on red and
// discharges on green within what its green and saturation flow allow, its
// delay grows with the volume-to-capacity ratio, and a stop-controlled minor
// road stops, waits for gaps in the main-road stream and gets through them.
#include "core/driver/driver.h"
#include "core/model/sim.h"
#include "run_files.h"

#include "support/text.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_movement::demand_file;
using testing_movement::Flow;
using testing_movement::master_file;

std::string fixture(const std::string& dir, const std::string& name) {
    return support::data_file("stopline/" + dir, name);
}

// Watches one link through the run: when each vehicle entered it, when it
// left, and the link's indication at that tick.
class LinkWatch : public StepProbe {
  public:
    struct Exit {
        int   t10, car, indication;
        float on_link; // s
    };

    LinkWatch(Sim& s, int l, int other) : s_(s), l_(l), other_(other) {}

    void step(std::string_view name) override {
        if (name == "moveveh") {
            before_ = trips();
        } else if (name == "enternet") {
            const std::vector<int> now = trips();
            for (const int car : before_)
                if (std::find(now.begin(), now.end(), car) == now.end())
                    exits.push_back({s_.control.t10, car, s_.link3.signal(l_, 1),
                                     static_cast<float>(s_.control.t10 - entry_[car]) / 10.0f});
            for (const int car : now) entry_.try_emplace(car, s_.control.t10);
        } else if (name == "vehpos1") {
            // After the stop-line decisions of the tick.
            const std::vector<int> now = trips();
            if (s_.link3.signal(l_, 1) == 0)
                max_red_queue = std::max(max_red_queue, static_cast<int>(now.size()));
            for (const int car : now) {
                const int vid = s_.vehindx.vehid(car);
                if ((s_.oddat.vsigstp(vid, 1) / 1000) % 10 == 3) stop_sign_held[car] += 1;
                const auto it = min_speed.try_emplace(car, s_.vehplot.spd(vid, 1)).first;
                it->second = std::min(it->second, s_.vehplot.spd(vid, 1));
                if (refused(vid)) refusals += 1;
            }
            if (other_ > 0)
                for (const int car : trips(other_))
                    if (refused(s_.vehindx.vehid(car))) other_refusals += 1;
        }
    }

    std::vector<Exit>    exits;
    int                  max_red_queue = 0;
    std::map<int, int>   stop_sign_held;     // ticks owing the stop at the stop sign, per trip
    std::map<int, float> min_speed;          // km/h, lowest on the link, per trip
    int                  refusals = 0;       // vehicle-ticks held by a refused gap
    int                  other_refusals = 0; // the same on the other link watched

  private:
    std::vector<int> trips(int l) const {
        std::vector<int> out;
        for (int i = 1; i <= s_.link2.ntqu(l); ++i)
            out.push_back(s_.vehicle.big(s_.link2.nbqu(l) + i));
        return out;
    }
    std::vector<int> trips() const { return trips(l_); }
    // The tens digit of the stop code holds the refused gap (40).
    bool               refused(int vid) const { return (s_.oddat.vsigstp(vid, 1) / 10) % 10 == 4; }
    Sim&               s_;
    int                l_;
    int                other_;
    std::vector<int>   before_;
    std::map<int, int> entry_;
};

struct JunctionRun {
    std::unique_ptr<Sim> sim = std::make_unique<Sim>();
    Sim&                 s = *sim;
    LinkWatch            watch;
    int                  watched;

    JunctionRun(const std::string& dir, const std::vector<Flow>& flows, int demand_end, int horizon,
                int watched_link, int other_link = 0)
        : watch(s, watched_link, other_link), watched(watched_link) {
        s.units.use_memory_files();
        s.units.set_console([](std::string_view) {});
        s.units.put_file("test.master", master_file(horizon));
        for (const char* f : {"nodes.dat", "links.dat", "signals.dat", "incidents.dat"})
            s.units.put_file(std::string("input/") + f, fixture(dir, f));
        s.units.put_file("input/demand.dat", demand_file(flows, demand_end));
        s.master.mastfile = "test.master";
        s.probe = &watch;
        velmorantis(s, 1);
    }

    std::string log() const { return s.units.file_text("runerr.out"); }

    // Mean time on the watched link less its free-flow time, s.
    float mean_delay() const {
        float sum = 0.0f;
        for (const auto& e : watch.exits) sum += e.on_link - s.delay.fretim(watched);
        return watch.exits.empty() ? 0.0f : sum / static_cast<float>(watch.exits.size());
    }
};

// Signal 1: 60 s cycle from t = 0, phase 1 (the approach) green 0..27 s,
// amber to 30 s. Saturation flow 1800 veh/h on one lane.
constexpr int   kCycle = 60;
constexpr float kGreenAndAmber = 30.0f;
constexpr float kSatFlow = 1800.0f;
constexpr float kCapacity = kSatFlow * kGreenAndAmber / kCycle; // veh/h

TEST(SignalEndToEnd, QueuesOnRedDischargeOnGreenWithinSaturationFlow) {
    // 1200 veh/h against a capacity of 900: a queue that never clears while
    // the demand lasts.
    JunctionRun r("signal", {{1, 2, 1200.0f}}, 900, 1500, 2);
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    ASSERT_GT(r.watch.exits.size(), 100u);

    std::map<int, int> per_cycle;
    for (const auto& e : r.watch.exits) {
        EXPECT_NE(e.indication, 0) << "trip " << e.car << " left on red at t10 " << e.t10;
        per_cycle[e.t10 / (10 * kCycle)] += 1;
    }
    const float bound = kGreenAndAmber * kSatFlow / 3600.0f;
    int         best = 0;
    for (const auto& [cycle, n] : per_cycle) {
        EXPECT_LE(static_cast<float>(n), bound) << "cycle " << cycle;
        best = std::max(best, n);
    }
    EXPECT_GE(static_cast<float>(best), 0.8f * bound) << "a saturated green serves near its bound";
    EXPECT_GT(r.watch.max_red_queue, 10) << "a queue forms on red";
    EXPECT_EQ(r.s.link2.ntqu(2), 0) << "the queue clears once the demand ends";
    std::printf("[ signal ] most served in one cycle: %d of at most %.1f\n", best,
                static_cast<double>(bound));
}

TEST(SignalEndToEnd, DelayGrowsWithTheVolumeToCapacityRatioAndExplodesNearOne) {
    const float        ratios[] = {0.3f, 0.6f, 0.85f, 1.0f};
    std::vector<float> delay;
    for (const float x : ratios) {
        JunctionRun r("signal", {{1, 2, x * kCapacity}}, 900, 1800, 2);
        ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
        ASSERT_EQ(r.s.link2.ntqu(2), 0) << "every vehicle measured";
        delay.push_back(r.mean_delay());
        std::printf("[ signal ] v/c %.2f: %zu vehicles, mean delay %.1f s\n",
                    static_cast<double>(x), r.watch.exits.size(),
                    static_cast<double>(delay.back()));
    }
    EXPECT_GT(delay[0], 0.0f);
    for (std::size_t k = 1; k < delay.size(); ++k) EXPECT_GT(delay[k], delay[k - 1]) << k;
    // The last step, towards saturation, adds more than all the others together.
    EXPECT_GT(delay[3] - delay[2], delay[2] - delay[0]);
}

TEST(StopSignEndToEnd, MinorRoadStopsAndTakesGapsInTheMainStream) {
    // The minor approach 7 (stop sign) crosses the main approach 2.
    std::vector<float> delay;
    for (const float main : {0.0f, 900.0f}) {
        JunctionRun r("stop", {{1, 2, main}, {3, 4, 120.0f}}, 900, 1500, 7, 2);
        ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
        ASSERT_GT(r.watch.exits.size(), 10u);
        EXPECT_EQ(r.s.link2.ntqu(7), 0) << "every minor vehicle gets through";
        for (const auto& e : r.watch.exits) {
            // The stop counts once a lane head is down to walking pace.
            EXPECT_LE(r.watch.min_speed[e.car], 4.32f) << "trip " << e.car << " rolled through";
            EXPECT_GT(r.watch.stop_sign_held[e.car], 0) << "trip " << e.car;
        }
        if (main > 0.0f)
            EXPECT_GT(r.watch.refusals, 0) << "minor heads wait for gaps";
        else
            EXPECT_EQ(r.watch.refusals, 0) << "no main stream, no gap to wait for";
        EXPECT_EQ(r.watch.other_refusals, 0) << "the main road never yields to the minor one";
        delay.push_back(r.mean_delay());
        std::printf("[ stop ] main %.0f veh/h: %zu minor vehicles, mean delay %.1f s, "
                    "%d vehicle-ticks held by refused gaps\n",
                    static_cast<double>(main), r.watch.exits.size(),
                    static_cast<double>(delay.back()), r.watch.refusals);
    }
    EXPECT_GT(delay[1], delay[0]);
}

} // namespace
} // namespace velm
