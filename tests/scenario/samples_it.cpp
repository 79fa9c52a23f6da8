// The sample networks end to end on a shortened horizon, in memory: every due
// trip is in exactly one state each second, no vehicle passes or runs into
// the one ahead in its lane on any tick, runs are byte-for-byte reproducible
// (also two at once, and with the console program on disk), and each sample's
// outputs match the signature kept next to this file. Longer runs: the
// arterial's whole hour keeps its lane order, and in the grid class 3 goes
// round the incident that the classes on free-flow trees drive through.
#include "core/driver/driver.h"
#include "core/driver/run_control.h"
#include "core/io/units.h"
#include "core/model/sim.h"
#include "core/model/step_probe.h"
#include "support/lane_order.h"

#include "support/samples.h"
#include "support/text.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace velm {
namespace {

namespace fs = std::filesystem;

constexpr int   kHorizon = 240;        // s of each shortened run (VELM_SCENARIO_SECONDS overrides)
constexpr float kAbandoned = 604800.f; // strtrp(car, 2) of a trip given up at its origin
constexpr float kWaiting = -1.f;       // strtrp(car, 2) of a trip waiting at its origin
constexpr int   kFullHour = 3600;      // s of a whole sample run
constexpr int   kGridStop = 2400;      // s at which the grid's hour is stopped, past its incident

using support::sample_dir;
using support::short_master;
using support::slurp;

// Output names the master file gives (slots 10 to 31 not "none") plus the
// run's fixed names: where to look for every file a run may write. The
// detector exchange files are numbered by period: an hour of 1-s periods
// names the most a sample can write.
std::vector<std::string> output_names(const std::string& master) {
    std::vector<std::string> names{
        "runerr.out",          "moverr.out",          "rep_err.out",         "output/summary.out",
        "output/timespac.out", "output/assign.out",   "output/en-route.out", "output/detector.out",
        "output/subnet.out",   "interact/dettrig.trg"};
    for (int n = 1; n <= kFullHour + 1; ++n) {
        char report[32];
        std::snprintf(report, sizeof report, "interact/t%07d.det", n);
        names.push_back(report);
    }
    std::istringstream       in(master);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    // Slot k is k lines below the output-directory line, which follows the
    // input-directory line.
    std::size_t dir = 0;
    while (dir < lines.size() && lines[dir].rfind("input\\*", 0) != 0) ++dir;
    for (int slot = 10; slot <= 31; ++slot) {
        const std::size_t at = dir + 1 + static_cast<std::size_t>(slot);
        if (at < lines.size() && lines[at].rfind("none", 0) != 0)
            names.push_back("output/" + lines[at].substr(0, lines[at].find(' ')));
    }
    return names;
}

// What one run leaves behind: its files and what the checks found.
struct RunResult {
    std::map<std::string, std::string> files;
    std::vector<std::string>           faults; // first few faults of the checks
    int                                errt1 = 0;
    int                                entered = 0; // most vehicles on the network at once
    int                                arrived = 0;
    int                                abandoned = 0; // at the last check
    int                                seconds_checked = 0;
    int                                ticks_ordered = 0; // ticks whose lane order was checked
    int                                order_faults = 0;  // passes and overlaps found
};

// Looks at the tables once per simulated second, before the movement step of
// the tick: every due trip is in one state and on-network vehicles have sound
// speeds, positions and lanes. On every tick, just before the sort step, no
// vehicle has passed or come too close to the one ahead in its lane.
class Checker final : public StepProbe {
  public:
    Checker(Sim& s, RunResult& r, int stop_at = 0) : s_(s), r_(r), stop_at_(stop_at) {}
    void step(std::string_view name) override {
        if (stop_at_ > 0 && s_.control.t >= stop_at_) stop_simulation(s_);
        if (name == "srtque") {
            ++r_.ticks_ordered;
            check_lane_order(s_, [this](const std::string& what) {
                ++r_.order_faults;
                fault(what);
            });
            return;
        }
        if (name != "moveveh" || s_.control.t10 % 10 != 0) return;
        ++r_.seconds_checked;
        check_states();
        check_lanes();
    }

  private:
    void fault(const std::string& what) {
        if (r_.faults.size() < 8)
            r_.faults.push_back("t=" + std::to_string(s_.control.t) + ": " + what);
    }

    void check_states() {
        const auto& v = s_.vehicle;
        const int   t = s_.control.t;
        seen_.assign(static_cast<std::size_t>(s_.set2.tdemand) + 1, 0);
        int on_lists = 0;
        for (int l = 1; l <= s_.link2.mlnum; ++l) {
            const int n = s_.link2.ntqu(l);
            for (int i = 1; i <= n; ++i) {
                const int car = v.big(s_.link2.nbqu(l) + i);
                if (car < 1 || car > s_.set2.tdemand) {
                    fault("link " + std::to_string(l) + " lists trip " + std::to_string(car));
                    continue;
                }
                ++seen_[static_cast<std::size_t>(car)];
                ++on_lists;
            }
        }
        int on_net = 0, arrived = 0, abandoned = 0;
        for (int car = 1; car <= s_.set2.tdemand; ++car) {
            const float sched = v.strtrp(car, 1);
            const float state = v.strtrp(car, 2);
            const bool  is_arrived = v.dept(car) == -1.f;
            const bool  is_gone = state == kAbandoned || sched == -1.f;
            const bool  is_waiting = state == kWaiting;
            const bool  is_on = state >= 0.f && state != kAbandoned && !is_arrived;
            const int   listed = seen_[static_cast<std::size_t>(car)];
            if (is_on) ++on_net;
            if (is_arrived) ++arrived;
            if (is_gone) ++abandoned;
            if (listed != (is_on ? 1 : 0))
                fault("trip " + std::to_string(car) + " is on " + std::to_string(listed) +
                      " link lists in state " + std::to_string(state));
            // A trip due for more than one second has left the not-departed state.
            if (sched >= 0.f && sched < static_cast<float>(t - 1)) {
                const int states = int(is_arrived) + int(is_gone) + int(is_waiting) + int(is_on);
                if (states != 1)
                    fault("trip " + std::to_string(car) + " due at " + std::to_string(sched) +
                          " is in " + std::to_string(states) + " states (state " +
                          std::to_string(state) + ")");
            }
        }
        if (on_net != on_lists)
            fault(std::to_string(on_net) + " trips on the network, " + std::to_string(on_lists) +
                  " on the link lists");
        if (on_net != s_.set1.tenr)
            fault("tenr " + std::to_string(s_.set1.tenr) + " but " + std::to_string(on_net) +
                  " trips on the network");
        if (arrived != s_.set1.tarr)
            fault("tarr " + std::to_string(s_.set1.tarr) + " but " + std::to_string(arrived) +
                  " trips arrived");
        r_.entered = std::max(r_.entered, on_net);
        r_.arrived = arrived;
        r_.abandoned = abandoned;
    }

    void check_lanes() {
        const auto& v = s_.vehicle;
        const auto& p = s_.vehplot;
        for (int l = 1; l <= s_.link2.mlnum; ++l) {
            const int n = s_.link2.ntqu(l);
            if (n == 0) continue;
            const float length_m = s_.link4.llength(l) * 1000.f;
            for (int i = 1; i <= n; ++i) {
                const int car = v.big(s_.link2.nbqu(l) + i);
                if (car < 1 || car > s_.set2.tdemand) continue;
                const int vid = s_.vehindx.vehid(car);
                if (vid < 1) {
                    fault("trip " + std::to_string(car) + " on link " + std::to_string(l) +
                          " has no slot");
                    continue;
                }
                const float d = p.dis(vid, 1);
                const int   lane = s_.oddat.vlan(vid, 1);
                const auto  who = [&] {
                    return "trip " + std::to_string(car) + " on link " + std::to_string(l);
                };
                if (p.spd(vid, 1) < 0.f)
                    fault(who() + " has speed " + std::to_string(p.spd(vid, 1)));
                if (d > length_m + 0.5f)
                    fault(who() + " is at " + std::to_string(d) + " m of " +
                          std::to_string(length_m));
                if (lane < 1 || lane > kMaxLinkLanes)
                    fault(who() + " is in lane " + std::to_string(lane));
            }
        }
    }

    Sim&             s_;
    RunResult&       r_;
    int              stop_at_ = 0; // clock s at which the run is stopped (0: never)
    std::vector<int> seen_;
};

// Runs one sample in memory on a fresh state.
int horizon() {
    const char* v = std::getenv("VELM_SCENARIO_SECONDS");
    return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : kHorizon;
}

// With checks on, stop_at > 0 stops the run at that clock second: the run is
// the sample's own (same horizon, same trips) cut short.
RunResult run_sample(const std::string& name, bool checks, int seconds = horizon(),
                     int stop_at = 0) {
    RunResult         r;
    auto              s = support::sample_sim(name, seconds);
    const std::string master = s->units.file_text(name + ".master");
    Checker           checker(*s, r, stop_at);
    if (checks) s->probe = &checker;
    velmorantis(*s, 1);
    s->probe = nullptr;
    r.errt1 = s->errcount.errt1;
    for (const auto& f : output_names(master))
        if (s->units.exists(f)) r.files[f] = s->units.file_text(f);
    return r;
}

// 64-bit FNV-1a: every text mixed in is closed by a separator byte.
class Fnv1a {
  public:
    void mix(const std::string& text) {
        for (unsigned char c : text) h_ = (h_ ^ c) * 1099511628211ull;
        h_ = (h_ ^ 0xffu) * 1099511628211ull;
    }
    std::string hex() const {
        std::ostringstream out;
        out << std::hex << h_;
        return out.str();
    }

  private:
    std::uint64_t h_ = 1469598103934665603ull;
};

// The signature of a run: every file's name and text, in name order.
std::string signature(const std::map<std::string, std::string>& files) {
    Fnv1a h;
    for (const auto& [name, text] : files) {
        h.mix(name);
        h.mix(text);
    }
    return h.hex();
}

// The signature of each file on its own, by name.
std::map<std::string, std::string>
file_signatures(const std::map<std::string, std::string>& files) {
    std::map<std::string, std::string> out;
    for (const auto& [name, text] : files) {
        Fnv1a h;
        h.mix(text);
        out[name] = h.hex();
    }
    return out;
}

// What signatures.txt keeps for a sample: "<sample> <signature>" for the run
// and "<sample>/<file> <signature>" for each of its output files.
struct KeptSignatures {
    std::string                        run;
    std::map<std::string, std::string> files;
};

KeptSignatures kept_signatures(const std::string& name) {
    std::istringstream in(
        slurp(fs::path(VELM_SOURCE_DIR) / "tests" / "scenario" / "signatures.txt"));
    KeptSignatures    kept;
    const std::string prefix = name + "/";
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string        key, value;
        if (!(fields >> key >> value)) continue;
        if (key == name) kept.run = value;
        if (key.rfind(prefix, 0) == 0) kept.files[key.substr(prefix.size())] = value;
    }
    return kept;
}

// The output files whose signature differs from the kept one, one per line,
// each saying whether it changed, is new, or is no longer written.
std::string changed_files(const std::map<std::string, std::string>& now,
                          const std::map<std::string, std::string>& kept) {
    std::string out;
    for (const auto& [file, sig] : now) {
        const auto it = kept.find(file);
        if (it == kept.end())
            out += "  new output file: " + file + "\n";
        else if (it->second != sig)
            out += "  changed: " + file + "\n";
    }
    for (const auto& [file, sig] : kept)
        if (now.count(file) == 0) out += "  no longer written: " + file + "\n";
    return out;
}

// The lines of signatures.txt for a sample's run.
std::string signature_lines(const std::string&                        name,
                            const std::map<std::string, std::string>& files) {
    std::string out = name + " " + signature(files) + "\n";
    for (const auto& [file, sig] : file_signatures(files))
        out += name + "/" + file + " " + sig + "\n";
    return out;
}

class Sample : public ::testing::TestWithParam<std::string> {};

TEST_P(Sample, TripsAreConservedAndVehiclesKeepTheirOrder) {
    const RunResult r = run_sample(GetParam(), true);
    ASSERT_EQ(r.errt1, 0) << r.files.at("runerr.out");
    EXPECT_GE(r.seconds_checked, horizon());
    EXPECT_GE(r.ticks_ordered, 10 * horizon());
    for (const auto& f : r.faults) ADD_FAILURE() << f;
    EXPECT_EQ(r.order_faults, 0) << "passes and overlaps in " << horizon() << " s";
    ASSERT_GT(r.entered, 0) << "no vehicle entered the network";
    EXPECT_GT(r.arrived, 0) << "vehicles entered but none arrived in " << horizon() << " s";
    RecordProperty("most_on_network", r.entered);
    RecordProperty("arrived", r.arrived);
    RecordProperty("abandoned", r.abandoned);
}

TEST_P(Sample, TwoRunsGiveTheSameBytes) {
    const RunResult a = run_sample(GetParam(), false);
    const RunResult b = run_sample(GetParam(), false);
    ASSERT_EQ(a.errt1, 0);
    ASSERT_GE(a.files.size(), 4u) << "summary, run log and reports expected";
    ASSERT_EQ(a.files.size(), b.files.size());
    for (const auto& [f, text] : a.files) EXPECT_TRUE(b.files.at(f) == text) << f << " differs";
}

// Two states running side by side in one process write what one alone writes:
// nothing of a run lives outside its Sim.
TEST_P(Sample, TwoSimsInOneProcessMatchOneAlone) {
    const RunResult alone = run_sample(GetParam(), false);
    RunResult       left, right;
    std::thread     t1([&] { left = run_sample(GetParam(), false); });
    std::thread     t2([&] { right = run_sample(GetParam(), false); });
    t1.join();
    t2.join();
    EXPECT_EQ(signature(left.files), signature(alone.files));
    EXPECT_EQ(signature(right.files), signature(alone.files));
}

// A change of behaviour changes the outputs' signature: update
// tests/scenario/signatures.txt in the same commit and say why. A failure
// names the output files that changed.
TEST_P(Sample, OutputsMatchTheKeptSignature) {
    const RunResult      r = run_sample(GetParam(), false);
    const KeptSignatures kept = kept_signatures(GetParam());
    ASSERT_FALSE(kept.run.empty()) << "no signature kept for " << GetParam();
    EXPECT_FALSE(kept.files.empty()) << "no file signatures kept for " << GetParam();
    const std::string changed = changed_files(file_signatures(r.files), kept.files);
    EXPECT_EQ(changed, "") << "outputs of sample " << GetParam() << " differ from the kept ones";
    EXPECT_EQ(signature(r.files), kept.run) << "outputs of sample " << GetParam() << " changed";
    if (HasFailure())
        ADD_FAILURE() << "if intended, replace the lines of " << GetParam()
                      << " in tests/scenario/signatures.txt with:\n"
                      << signature_lines(GetParam(), r.files);
}

// The file list names each changed, new or vanished file, and nothing else.
TEST(SampleSignatures, ChangedFilesAreNamed) {
    const std::map<std::string, std::string> kept{{"a.out", "1"}, {"b.out", "2"}, {"c.out", "3"}};
    struct Case {
        const char*                        what;
        std::map<std::string, std::string> now;
        std::string                        named;
    } const cases[] = {
        {"same", kept, ""},
        {"one changed", {{"a.out", "1"}, {"b.out", "9"}, {"c.out", "3"}}, "  changed: b.out\n"},
        {"one new",
         {{"a.out", "1"}, {"b.out", "2"}, {"c.out", "3"}, {"d.out", "4"}},
         "  new output file: d.out\n"},
        {"one gone", {{"a.out", "1"}, {"c.out", "3"}}, "  no longer written: b.out\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(changed_files(c.now, kept), c.named) << c.what;
    // A file's signature is its text alone: the same text under two names
    // signs alike, and any change of the text shows.
    const auto sigs = file_signatures({{"x", "text"}, {"y", "text"}, {"z", "texT"}});
    EXPECT_EQ(sigs.at("x"), sigs.at("y"));
    EXPECT_NE(sigs.at("x"), sigs.at("z"));
}

// The console program on disk: two runs of a shortened copy of the sample in
// fresh folders write the same files with the same bytes.
TEST_P(Sample, ConsoleRunsOnDiskAreIdentical) {
    std::map<std::string, std::string> runs[2];
    for (int k = 0; k < 2; ++k) {
        const fs::path work =
            fs::temp_directory_path() / ("velm_scenario_" + GetParam() + "_" +
                                         std::to_string(::getpid()) + "_" + std::to_string(k));
        fs::remove_all(work);
        fs::copy(sample_dir(GetParam()), work, fs::copy_options::recursive);
        std::ofstream(work / (GetParam() + ".master"), std::ios::binary)
            << short_master(GetParam(), horizon());
        const std::string cmd = "cd '" + work.string() +
                                "' && '" VELM_CONSOLE_PROGRAM "' --master " + GetParam() +
                                ".master > console.txt 2>&1";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << slurp(work / "console.txt");
        for (const auto& f : fs::recursive_directory_iterator(work))
            if (f.is_regular_file() && f.path().extension() != ".dat")
                runs[k][fs::relative(f.path(), work).string()] = slurp(f.path());
        fs::remove_all(work);
    }
    ASSERT_TRUE(runs[0].count("runerr.out") == 1 &&
                runs[0].count("output/" + GetParam() + ".u10") == 1)
        << "run log and summary output expected";
    ASSERT_EQ(runs[0].size(), runs[1].size());
    // The run log reports processor and wall-clock times (the in-memory runs
    // above fix the clock and compare it too); every other file must match.
    for (const auto& [f, text] : runs[0]) {
        if (f != "runerr.out") {
            EXPECT_TRUE(text == runs[1][f]) << f << " differs";
        }
    }
}

// Over the whole hour of the arterial sample, vehicles changing lanes at its
// junctions and side streets never pass or land on top of one another.
TEST(ArterialSample, VehiclesKeepTheirOrderForTheWholeHour) {
    const RunResult r = run_sample("arterial", true, kFullHour);
    ASSERT_EQ(r.errt1, 0) << r.files.at("runerr.out");
    EXPECT_GE(r.ticks_ordered, 10 * kFullHour);
    for (const auto& f : r.faults) ADD_FAILURE() << f;
    EXPECT_EQ(r.order_faults, 0) << "passes and overlaps in " << kFullHour << " s";
}

// Trips of one origin-destination pair, class by class, read from the link
// records of the probe file: how many began (left their first link) within
// [from, to) and reached their destination, and how many of those crossed
// `link` on the way.
struct Crossings {
    int    trips = 0;
    int    over = 0;
    double share() const { return trips > 0 ? static_cast<double>(over) / trips : 0.0; }
};

std::map<int, Crossings> crossings(const std::string& link_records, int origin, int destination,
                                   int link, double from, double to) {
    struct Trip {
        int    cls = 0;
        double start = 0.0;
        bool   over = false;
        bool   arrived = false;
    };
    std::map<int, Trip> trips;
    std::istringstream  in(link_records);
    for (std::string line; std::getline(in, line);) {
        std::istringstream f(line);
        int                kind = 0, car = 0, cls = 0, l = 0, lane = 0, next = 0, next_lane = 0;
        int                o = 0, d = 0;
        double             t = 0.0;
        if (!(f >> kind >> t >> car >> cls >> l >> lane >> next >> next_lane >> o >> d) ||
            kind != 11 || o != origin || d != destination)
            continue;
        auto [it, first] = trips.try_emplace(car);
        Trip& trip = it->second;
        if (first) {
            trip.cls = cls;
            trip.start = t;
        }
        trip.over = trip.over || l == link;
        trip.arrived = trip.arrived || next < 0; // the last link has no next link
    }
    std::map<int, Crossings> by_class;
    for (const auto& [car, trip] : trips) {
        if (!trip.arrived || trip.start < from || trip.start >= to) continue;
        by_class[trip.cls].trips += 1;
        by_class[trip.cls].over += trip.over ? 1 : 0;
    }
    return by_class;
}

TEST(IncidentLinkCrossings, CountsFinishedTripsOfThePairThatBeganInTheWindow) {
    // kind, time, trip, class, link, lane, next link, next lane, origin, destination
    const std::string records = "11 1250.0 1 1 58 1 55 1 9 10\n" // class 1 over 64
                                "11 1300.0 1 1 64 1 68 1 9 10\n"
                                "11 1400.0 1 1 80 1 -1 0 9 10\n"
                                "11 1260.0 2 3 58 1 55 1 9 10\n" // class 3 round
                                "11 1500.0 2 3 80 1 -1 0 9 10\n"
                                "11 1270.0 3 3 58 1 55 1 9 10\n" // class 3 over 64
                                "11 1330.0 3 3 64 1 68 1 9 10\n"
                                "11 1600.0 3 3 80 1 -1 0 9 10\n"
                                "11 1280.0 4 3 64 1 68 1 9 10\n" // not arrived
                                "11 1100.0 5 1 58 1 55 1 9 10\n" // began before
                                "11 1150.0 5 1 80 1 -1 0 9 10\n"
                                "11 2100.0 6 1 58 1 -1 0 9 10\n"  // began at the end
                                "11 1290.0 7 1 64 1 -1 0 9 12\n"  // another pair
                                "12 1295.0 8 1 64 1 -1 0 9 10\n"; // not a link record
    auto c = crossings(records, 9, 10, 64, 1200.0, 2100.0);
    EXPECT_EQ(c[1].trips, 1);
    EXPECT_EQ(c[1].over, 1);
    EXPECT_EQ(c[3].trips, 2);
    EXPECT_EQ(c[3].over, 1);
    EXPECT_EQ(c.count(2), 0u);
}

// The grid's classes 1 and 2 route on free-flow link times, class 3 on the
// measured ones (every link carries its surveillance digit). The row-2 stream
// from zone 9 to zone 10 has one shortest path, over the incident link 64;
// while the incident closes a lane there, the fixed classes keep crossing it
// and class 3 sends a clearly smaller share of its stream trips round.
TEST(GridSample, WhileTheIncidentClosesALaneClassThreeGoesRound) {
    constexpr int    kIncidentLink = 64, kWest = 9, kEast = 10;
    constexpr double kFrom = 1200.0, kTo = 2100.0; // the incident's last 15 minutes
    const RunResult  r = run_sample("grid", true, kFullHour, kGridStop);
    ASSERT_EQ(r.errt1, 0) << r.files.at("runerr.out");
    // The hour's first 40 minutes, with the lane-order checks on.
    for (const auto& f : r.faults) ADD_FAILURE() << f;
    EXPECT_EQ(r.order_faults, 0) << "passes and overlaps in " << kGridStop << " s";
    EXPECT_NE(r.files.at("runerr.out").find("Run stopped on request"), std::string::npos);
    ASSERT_EQ(r.files.count("output/grid.u16"), 1u) << "no probe file";
    auto c = crossings(r.files.at("output/grid.u16"), kWest, kEast, kIncidentLink, kFrom, kTo);
    ASSERT_GE(c[1].trips, 50) << "too few class-1 stream trips to compare";
    ASSERT_GE(c[3].trips, 20) << "too few class-3 stream trips to compare";
    // Free-flow trees all take the one shortest path.
    EXPECT_GE(c[1].share(), 0.95) << c[1].over << " of " << c[1].trips;
    // Class 3 goes round for a good part of its trips: well beyond what its
    // 5 % perception error or chance could explain.
    EXPECT_LE(c[3].share(), 0.75 * c[1].share())
        << "class 3 crossed with " << c[3].over << " of " << c[3].trips << ", class 1 with "
        << c[1].over << " of " << c[1].trips;
    RecordProperty("class1_over", c[1].over);
    RecordProperty("class1_trips", c[1].trips);
    RecordProperty("class3_over", c[3].over);
    RecordProperty("class3_trips", c[3].trips);
}

// The checks themselves: a two-vehicle link with one fault planted at a time.
TEST(SampleChecks, EachPlantedFaultIsFound) {
    struct Case {
        const char*               fault;
        std::function<void(Sim&)> plant;
    };
    const std::vector<Case> cases{
        {"passed trip 1", [](Sim& s) { s.vehplot.dis(2, 1) = 300.f; }},
        {"spacing below 3.5", [](Sim& s) { s.vehplot.dis(2, 1) = 197.f; }},
        {"spacing below 7",
         [](Sim& s) {
             s.vehicle.pcu(1) = -2.f; // a heavy leader: half of 2 jam spacings
             s.vehplot.dis(2, 1) = 194.f;
         }},
        {"", [](Sim& s) { s.vehplot.dis(2, 1) = 196.5f; }}, // just half a jam spacing
        {"",
         [](Sim& s) {
             s.oddat.vlan(2, 1) = 2;
             s.vehplot.dis(2, 1) = 300.f;
         }}, // other lane
        {"has speed", [](Sim& s) { s.vehplot.spd(2, 1) = -1.f; }},
        {"m of 500", [](Sim& s) { s.vehplot.dis(1, 1) = 520.f; }},
        {"on 0 link lists", [](Sim& s) { s.link2.ntqu(1) = 1; }},
        {"on 2 link lists", [](Sim& s) { s.vehicle.big(2) = 1; }},
        {"is in 0 states",
         [](Sim& s) {
             s.link2.ntqu(1) = 1;
             s.vehicle.strtrp(2, 2) = kNotDeparted;
         }},
        {"is in 2 states",
         [](Sim& s) {
             s.link2.ntqu(1) = 1;
             s.vehicle.strtrp(2, 2) = kAbandoned;
             s.vehicle.dept(2) = -1.f;
         }},
        {"is on 1 link lists",
         [](Sim& s) { // listed although arrived
             s.vehicle.dept(2) = -1.f;
         }},
        {"tenr 1 but 2", [](Sim& s) { s.set1.tenr = 1; }},
        {"", [](Sim&) {}},
    };
    for (const Case& c : cases) {
        auto s = std::make_unique<Sim>();
        s->set2.tdemand = 2;
        s->link2.mlnum = 1;
        s->link2.ntqu(1) = 2;
        s->link4.llength(1) = 0.5f;
        s->link5.minhd(1, 1) = 7.f;
        for (int car = 1; car <= 2; ++car) {
            s->vehicle.big(car) = car;
            s->vehindx.vehid(car) = car;
            s->vehicle.strtrp(car, 1) = 0.f;
            s->vehicle.strtrp(car, 2) = 1.f;
            s->vehicle.dept(car) = 20.f;
            s->oddat.vlan(car, 1) = 1;
            s->vehplot.spd(car, 1) = 30.f;
            s->vehicle.pcu(car) = 1.f;
        }
        s->vehplot.dis(1, 1) = 200.f;
        s->vehplot.dis(2, 1) = 150.f;
        s->set1.tenr = 2;
        s->control.t = 5;
        s->control.t10 = 50;
        c.plant(*s);
        RunResult r;
        Checker   checker(*s, r);
        checker.step("srtque");
        checker.step("moveveh");
        std::string found;
        for (const auto& f : r.faults) found += f + "\n";
        if (*c.fault == '\0')
            EXPECT_TRUE(r.faults.empty()) << found;
        else
            EXPECT_NE(found.find(c.fault), std::string::npos) << c.fault << " not in:\n" << found;
    }
}

// The console carries the start of a run, the banners of the features it
// switches on and the end: a handful of lines, whatever the horizon. Lines
// per link or per period belong in the run log.
TEST_P(Sample, TheConsoleShowsNoPerLinkOrPerPeriodLines) {
    std::string console;
    auto        s = support::sample_sim(GetParam(), horizon());
    s->units.set_console([&console](std::string_view t) {
        console.append(t);
        console.push_back('\n');
    });
    velmorantis(*s, 1);
    EXPECT_LE(std::count(console.begin(), console.end(), '\n'), 20) << console;
}

INSTANTIATE_TEST_SUITE_P(Samples, Sample,
                         ::testing::Values("corridor", "arterial", "grid", "tiny", "fourleg",
                                           "corridor-plain", "corridor-meters"),
                         [](const ::testing::TestParamInfo<std::string>& p) {
                             std::string name = p.param; // test names take no '-'
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

} // namespace
} // namespace velm
