// Detector stations through whole runs: the polls of a station on a
// signalised approach count exactly the vehicles whose fronts passed its zone
// end and give speeds within those of the vehicles counted; a run asked for
// exchange files without an "interact" folder ends at its first second.
#include "core/driver/driver.h"
#include "core/driver/errors.h"
#include "core/io/writers.h"
#include "core/model/sim.h"
#include "core/model/step_probe.h"
#include "run_files.h"
#include "support/memory_run.h"
#include "support/samples.h"
#include "support/temp_dir.h"

#include "support/text.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace velm {
namespace {

using support::contains;
using testing_movement::demand_file;
using testing_movement::master_file;

constexpr int kApproach = 2;  // 0.5 km, one lane, signal at its end
constexpr int kPoll = 60;     // s
constexpr int kHorizon = 660; // s; the polls of 60 .. 600 s are checked

// Watches the approach: each vehicle front that passes the station's zone end
// in the position update (from the positions before and after it), and the
// station's poll results each time they are closed.
class CrossingWatch : public StepProbe {
  public:
    explicit CrossingWatch(Sim& s) : s_(s) {}

    struct Crossing {
        int   t10;
        float kmh;
    };
    struct Poll {
        int   t, flow;
        float speed;
    };

    void step(std::string_view name) override {
        if (name == "vehpos2") {
            before_.clear();
            for (const int car : trips()) {
                const int vid = s_.vehindx.vehid(car);
                before_[car] = {s_.vehplot.dis(vid, 1), s_.vehplot.spd(vid, 1)};
            }
            pending_ = true;
        } else if (pending_) {
            pending_ = false;
            const float b = 1000.0f * s_.detloc.detpos(1, 2);
            for (const int car : trips()) {
                const auto it = before_.find(car);
                if (it == before_.end()) continue;
                const float now = s_.vehplot.dis(s_.vehindx.vehid(car), 1);
                if (it->second.first < b && now >= b)
                    crossings.push_back({s_.control.t10, it->second.second});
            }
        }
        if (name == "det_sum" && s_.control.t > 0 && s_.control.t % kPoll == 0)
            polls.push_back({s_.control.t, s_.detloc.detvol(1, 2), s_.detloc.detspd(1, 2)});
    }

    std::vector<Crossing> crossings;
    std::vector<Poll>     polls;

  private:
    std::vector<int> trips() const {
        std::vector<int> out;
        for (int i = 1; i <= s_.link2.ntqu(kApproach); ++i)
            out.push_back(s_.vehicle.big(s_.link2.nbqu(kApproach) + i));
        return out;
    }
    Sim&                                   s_;
    std::map<int, std::pair<float, float>> before_; // car -> position m, speed km/h
    bool                                   pending_ = false;
};

std::string fixture(const std::string& name) {
    return support::data_file("stopline/signal", name);
}

// The signalised approach with 700 veh/h and a station file on slot 21 (the
// test puts "input/stations.dat").
std::unique_ptr<Sim> junction_with_stations() {
    auto  sim = support::memory_sim();
    auto& u = sim->units;
    u.put_file("test.master", master_file(kHorizon) + "none\nstations.dat\n");
    for (const char* f : {"nodes.dat", "links.dat", "signals.dat", "incidents.dat"})
        u.put_file(std::string("input/") + f, fixture(f));
    u.put_file("input/demand.dat", demand_file({{1, 2, 700.0f}}, kHorizon));
    return sim;
}

TEST(DetectorRun, PollsCountThePassagesOfTheZoneEndAndTheirSpeeds) {
    auto  sim = junction_with_stations();
    Sim&  s = *sim;
    auto& u = s.units;
    // Zone 470..490 m: the red queue reaches back over it.
    u.put_file("input/stations.dat", "Approach station\n1  0\n1  1  2  0.470  0.020  60\n");
    s.master.mastfile = "test.master";
    CrossingWatch watch(s);
    s.probe = &watch;
    velmorantis(s, 1);
    ASSERT_EQ(s.errcount.errt1, 0) << u.file_text("runerr.out");

    ASSERT_GE(watch.polls.size(), 10u);
    int   counted = 0, passed = 0;
    bool  slowed = false;
    float free_speed = 0.0f;
    for (const auto& c : watch.crossings) free_speed = std::max(free_speed, c.kmh);
    for (const auto& p : watch.polls) {
        if (p.t > 600) break;
        // The poll closed at t holds the ticks 10 (t - 60) .. 10 t - 1.
        float lo = 1e9f, hi = 0.0f;
        int   n = 0;
        for (const auto& c : watch.crossings) {
            if (c.t10 < 10 * (p.t - kPoll) || c.t10 >= 10 * p.t) continue;
            ++n;
            lo = std::min(lo, std::max(c.kmh, 1.0f));
            hi = std::max(hi, std::max(c.kmh, 1.0f));
        }
        EXPECT_EQ(p.flow * kPoll / 3600, n) << "poll at " << p.t;
        EXPECT_EQ(p.flow % (3600 / kPoll), 0) << "poll at " << p.t;
        if (n > 0) {
            EXPECT_GE(p.speed, lo * 0.9999f) << "poll at " << p.t;
            EXPECT_LE(p.speed, hi * 1.0001f) << "poll at " << p.t;
            if (p.speed < 0.8f * free_speed) slowed = true;
        } else {
            EXPECT_EQ(p.speed, 0.0f) << "poll at " << p.t;
        }
        counted += p.flow * kPoll / 3600;
        passed += n;
    }
    EXPECT_EQ(counted, passed);
    EXPECT_GE(passed, 80) << "700 veh/h over 10 minutes";
    EXPECT_TRUE(slowed) << "the red queue should slow some polls";
    const auto out = support::lines_of(u.file_text("output/detector.out"));
    EXPECT_EQ(out.size(), 2u + watch.polls.size());
}

// Records the steps a run takes.
class Steps : public StepProbe {
  public:
    void                     step(std::string_view name) override { names.emplace_back(name); }
    std::vector<std::string> names;
};

TEST(DetectorRun, AFaultyStationFileStopsTheRunBeforeTheLoop) {
    auto  sim = junction_with_stations();
    Sim&  s = *sim;
    auto& u = s.units;
    // Three records announced, two given.
    u.put_file("input/stations.dat", "Short\n3  60\n1  1  2  0.470  0.020  60\n"
                                     "2  1  3  0.100  0.020  60\n");
    s.master.mastfile = "test.master";
    Steps steps;
    s.probe = &steps;
    try {
        velmorantis(s, 1);
    } catch (const FatalRunError&) {
    }
    EXPECT_GE(s.errcount.errt1, 1);
    const std::string log = u.file_text("runerr.out");
    EXPECT_TRUE(contains(log, "ERROR 1022")) << log; // the third record, on line 5, is missing
    EXPECT_TRUE(support::has_line(log, free_line(" Error occurred on line ", 5))) << log;
    EXPECT_EQ(std::count(steps.names.begin(), steps.names.end(), "vehpos2"), 0);
    EXPECT_EQ(std::count(steps.names.begin(), steps.names.end(), "detreport"), 0);
    EXPECT_FALSE(u.exists("output/detector.out"));
    EXPECT_FALSE(u.exists("interact\\t0000001.det"));
}

TEST(DetectorRun, ExchangeFilesWithoutTheirFolderEndTheRunAtItsFirstSecond) {
    const support::TempDir work;
    const auto&            dir = work.path();
    support::copy_sample("tiny", dir);
    // The plain fixed-time tiny network: without its external controller.
    std::filesystem::remove_all(dir / "interact");
    std::filesystem::remove(dir / "signals.dat");
    {
        std::ofstream m(dir / "tiny.master", std::ios::app);
        m << "none\nstations.dat\n";
        std::ofstream f(dir / "input" / "stations.dat", std::ios::binary);
        f << "Main street station\n1  60\n1  1  2  0.800  0.010  30\n";
    }
    ASSERT_FALSE(std::filesystem::exists(dir / "interact"));
    const int status = support::run_console(dir, "--master tiny.master");
    ASSERT_NE(status, -1) << "the program did not exit";
    EXPECT_NE(status, 0);
    const std::string log = support::slurp(dir / "runerr.out");
    EXPECT_TRUE(support::has_line(log, free_line(" ERROR: Fatal error occurred trying to open ",
                                                 " detector output file in directory INTERACT")))
        << log;
    EXPECT_TRUE(support::has_line(log, free_line(" Ensure that the subdirectory INTERACT exists")));
    // Stopped at second 0: the detector file holds its heading only.
    EXPECT_EQ(support::lines_of(support::slurp(dir / "output" / "detector.out")).size(), 2u);

    // With the folder the same run goes through and rotates its report files.
    std::filesystem::create_directory(dir / "interact");
    EXPECT_EQ(support::run_console(dir, "--master tiny.master"), 0)
        << support::slurp(dir / "runerr.out");
    EXPECT_TRUE(std::filesystem::exists(dir / "interact" / "t0000010.det"));
    EXPECT_EQ(support::slurp(dir / "interact" / "dettrig.trg"),
              free_line(" Detector Trigger File ") + "\n" + free_line(600) + "\n");
}

} // namespace
} // namespace velm
