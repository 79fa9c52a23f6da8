// The per-tick vehicle step without entry and transfer (signal indications,
// lane indices, position update, re-sort, side followers, entry space, lane
// pass, speed update) on three-lane freeway corridors of 40 links of 0.5 km
// (20 km) loaded at capacity density: 1 corridor (2000 vehicles) and 50
// side-by-side corridors (100000 vehicles). Reports vehicle-updates per CPU
// second and the peak resident memory per vehicle beyond the empty network.
#include "support/vehicle_step.h"
#include "core/control/control.h"
#include "core/demand/demand.h"
#include "core/model/sim.h"
#include "core/movement/movement.h"
#include "core/movement/vehicle_slots.h"
#include "core/network/network.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <fstream>
#include <memory>

#include <unistd.h>

namespace {

constexpr int   kLinksPerCorridor = 40;
constexpr int   kLanes = 3;
constexpr float kLinkKm = 0.5f;
constexpr float kFree = 110.0f, kCap = 80.0f, kJam = 130.0f, kQc = 2200.0f;
constexpr int   kTicks = 100; // ticks per benchmark iteration

long peak_rss_kb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// Resident memory of the process now, KB.
long rss_kb() {
    long          pages = 0, resident = 0;
    std::ifstream statm("/proc/self/statm");
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

struct Corridors {
    std::unique_ptr<velm::Sim> sim = std::make_unique<velm::Sim>();
    velm::Sim&                 s = *sim;
    int                        vehicles = 0;
    int                        t10 = 0;

    Corridors(int n, bool load) {
        using namespace velm;
        s.units.use_memory_files();
        s.units.open_write(kUnitRunLog, "runerr.out");
        s.units.open_write(kUnitSummary, "summary.out");
        initvid(s);
        init_veh_param(s);
        const int links = n * kLinksPerCorridor;
        int       lane = 0;
        for (int l = 1; l <= links; ++l) {
            s.link4.llength(l) = kLinkKm;
            s.link1.nulans(l) = kLanes;
            s.link4.freespd(l) = kFree;
            s.link1.spdvol(l, 4) = kCap;
            s.link1.spdvol(l, 5) = kJam;
            s.link4.lanesat(l) = kQc;
            for (int k = 1; k <= kLanes; ++k) {
                s.lanexch.lannum(l, k) = ++lane;
                s.lanexch.lstveh(lane, 1) = s.lanexch.lstveh(lane, 2) = 1000;
                s.lanexch.lstveh(lane, 5) = s.lanexch.lstveh(lane, 6) = 1;
            }
        }
        s.link2.mlnum = links;
        deflinks(s);
        // Capacity density: one vehicle per spacing at capacity in every lane.
        const float gap = s.link1.spdvol(1, 11);
        const int   per_lane = load ? static_cast<int>(1000.0f * kLinkKm / gap) : 0;
        int         car = 0;
        for (int l = 1; l <= links; ++l) {
            for (int i = 1; i <= per_lane; ++i) {
                for (int k = 1; k <= kLanes; ++k) {
                    int vid = 0, flag = 0;
                    setvid(s, ++car, vid, flag);
                    s.oddat.vtyp(car) = 1;
                    s.oddat.vehper2(car) = 1 + car % 21;
                    s.oddat.curlnk(vid) = l;
                    s.oddat.vlan(vid, 1) = k;
                    s.vehicle.pcu(car) = 1.0f;
                    s.vehicle.nxtlnk(vid, 1) = kTripEndsHere;
                    s.vehicle.wait(vid, 1) = kNotWaiting;
                    s.vehicle.dept(car) = 1.0e5f;
                    const float d = 1000.0f * kLinkKm - gap * static_cast<float>(i);
                    s.vehplot.dis(vid, 1) = s.vehplot.dis(vid, 2) = d;
                    for (int c = 1; c <= 4; ++c) s.vehplot.spd(vid, c) = kCap;
                    s.vehplot.accmod(vid, 3) = 1.0f;
                    s.vehindx.lanechan(vid) = 1.0f;
                    s.vehindx.lnchtm(vid, 1) = -10;
                    s.link2.ntqu(l) += 1;
                    s.vehicle.big(s.link2.nbqu(l) + s.link2.ntqu(l)) = car;
                }
            }
        }
        vehicles = car;
    }

    void tick() {
        velm::vehicle_step(s, ++t10, [] {});
    }
};

void BM_FreewayCorridors(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    long      base = 0;
    {
        // The empty network after one tick sets the baseline.
        Corridors empty(n, false);
        empty.tick();
        base = rss_kb();
    }
    Corridors net(n, true);
    for (auto _ : state)
        for (int k = 0; k < kTicks; ++k) net.tick();
    const double updates = static_cast<double>(state.iterations()) * kTicks * net.vehicles;
    state.counters["vehicles"] = net.vehicles;
    state.counters["veh_updates/s"] = benchmark::Counter(updates, benchmark::Counter::kIsRate);
    state.counters["KB_per_vehicle"] =
        static_cast<double>(rss_kb() - base) / static_cast<double>(net.vehicles);
    state.counters["peak_RSS_MB"] = static_cast<double>(peak_rss_kb()) / 1024.0;
    state.counters["base_RSS_MB"] = static_cast<double>(base) / 1024.0;
    state.counters["RSS_MB"] = static_cast<double>(rss_kb()) / 1024.0;
}

} // namespace

BENCHMARK(BM_FreewayCorridors)
    ->Arg(1)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime();
BENCHMARK_MAIN();
