// The per-tick vehicle step without entry and transfer (signal indications,
// lane indices, position update, re-sort, side followers, entry space, lane
// pass, speed update) on three-lane freeway corridors of 40 links of 0.5 km
// (20 km) loaded at capacity density: 1 corridor (1560 vehicles) and 50
// side-by-side corridors (78000 vehicles), each without and with a detector
// station across all lanes every 500 m (mid-link, 30-s polls, closed on whole
// seconds). Reports vehicle-updates per CPU second and the resident memory
// per vehicle beyond the same network empty.
//
// How the memory is measured. Every model table is calloc'd at full capacity
// and only the pages a run writes become resident, so the vehicle tables
// (column-major, one column per attribute) grow by whole pages as the vehicle
// slots in use grow. Each benchmark run builds the empty network, runs it and
// frees it, then builds the loaded one. Left to itself glibc would spoil this:
// after the first large free it raises its mmap threshold (up to 32 MB), so the
// second Sim's tables come from the heap the first one left resident, and
// calloc clears reused memory, touching every page of every table. main()
// therefore fixes the threshold at glibc's initial 128 KB before anything is
// allocated: every table of 128 KB or more (all vehicle-indexed ones) is a
// mapping of its own, returned to the system on free, and calloc hands out
// fresh untouched pages, as in a fresh process. Smaller tables live on the
// heap, which calloc clears whether fresh or reused: the same cost in both
// networks. Code pages count in RSS too: one loaded corridor run once per
// process, before anything is measured, makes them resident beforehand (else
// the first loaded network pays ~2 MB for them). Before each network is built
// the kernel's peak-RSS mark is reset (/proc/self/clear_refs, value 5), so the
// peak read back (VmHWM) belongs to that network alone; where the reset is
// refused the current RSS at the end stands in.
//   bytes_per_vehicle = (loaded peak - empty peak) / vehicles
// Whole pages round up small runs: with 1560 vehicles a 4-byte column fills
// 1.5 pages but costs 2 or 3, so the 1-corridor figure reads high.
#include "support/vehicle_step.h"
#include "core/control/control.h"
#include "core/demand/demand.h"
#include "core/model/sim.h"
#include "core/movement/movement.h"
#include "core/movement/vehicle_slots.h"
#include "core/network/network.h"

#include <benchmark/benchmark.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <algorithm>
#include <ctime>
#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr int    kLinksPerCorridor = 40;
constexpr int    kLanes = 3;
constexpr float  kLinkKm = 0.5f;
constexpr float  kFree = 110.0f, kCap = 80.0f, kJam = 130.0f, kQc = 2200.0f;
constexpr int    kTicks = 100; // ticks per benchmark iteration
constexpr double kBytesPerKb = 1024.0;
constexpr int    kVehicleUpdateWindows = 50; // windows of a 1-corridor network per run

// CPU time of the process, s.
double cpu_seconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A line "Name:   value kB" of /proc/self/status, KB; -1 when missing.
long status_kb(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string   line;
    while (std::getline(status, line)) {
        if (line.compare(0, name.size() + 1, name + ":") != 0) continue;
        try {
            return std::stol(line.substr(name.size() + 1));
        } catch (const std::exception&) {
            return -1;
        }
    }
    return -1;
}

// Restarts the kernel's peak-RSS mark at the current RSS; false if refused.
bool reset_peak_rss() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return static_cast<bool>(clear);
}

struct Corridors {
    std::unique_ptr<velm::Sim> sim = std::make_unique<velm::Sim>();
    velm::Sim&                 s = *sim;
    int                        vehicles = 0;
    int                        t10 = 0;
    bool                       fits = true; // the store and the slots held everything

    Corridors(int n, bool load, bool stations = false) {
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
        if (stations) {
            std::string file = "Bench stations\n" + std::to_string(links) + "  0\n";
            for (int l = 1; l <= links; ++l)
                file += std::to_string(l) + "  1  " + std::to_string(l) + "  0.250  0.005  30\n";
            s.units.put_file("stations.dat", file);
            s.filenam.files(21) = "stations.dat";
            rddetloc(s);
            detreset(s, 0);
        }
        // Capacity density: one vehicle per spacing at capacity in every lane.
        const float gap = s.link1.spdvol(1, 11);
        const int   per_lane = load ? static_cast<int>(1000.0f * kLinkKm / gap) : 0;
        int         car = 0;
        for (int l = 1; l <= links; ++l) {
            for (int i = 1; i <= per_lane; ++i) {
                for (int k = 1; k <= kLanes; ++k) {
                    int vid = 0, flag = 0;
                    setvid(s, ++car, vid, flag);
                    if (flag != 0) {
                        fits = false;
                        return;
                    }
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
        fits = s.errcount.errt1 == 0;
    }

    void tick() {
        ++t10;
        if (t10 % 10 == 0) velm::detreset(s, t10 / 10);
        velm::vehicle_step(s, t10, [] {});
    }
};

// Resident memory of one network over its life, KB: the peak since the mark
// was reset, or the RSS now where the kernel refused the reset.
struct RssWatch {
    bool reset = reset_peak_rss();
    long now() const { return status_kb("VmRSS"); }
    long peak() const { return reset ? status_kb("VmHWM") : now(); }
};

// Runs one loaded corridor once per process, so that the program code and
// library pages the loaded step touches for the first time are resident
// before any network is measured and count in neither figure.
bool warm_up() {
    bool fits = true;
    for (const bool load : {false, true}) {
        Corridors net(1, load);
        for (int k = 0; k < kTicks; ++k) net.tick();
        fits = fits && net.fits;
    }
    return fits;
}

void BM_FreewayCorridors(benchmark::State& state) {
    static const bool warm = warm_up();
    benchmark::DoNotOptimize(warm);
    const int  n = static_cast<int>(state.range(0));
    const bool stations = state.range(1) != 0;
    long       base = 0;
    {
        // The same network without vehicles, run as long as one iteration.
        const RssWatch watch;
        Corridors      empty(n, false);
        for (int k = 0; k < kTicks; ++k) empty.tick();
        base = watch.peak();
    }
    // The timed window is the first kTicks ticks of a freshly loaded network.
    // A small network repeats it on fresh copies until the CPU time is long
    // enough to read (about as many vehicle-updates as the largest network).
    const RssWatch watch;
    const int      windows = std::max(1, kVehicleUpdateWindows / n);
    double         cpu = 0.0;
    int            vehicles = 0;
    long           peak = 0;
    for (auto _ : state) {
        for (int w = 0; w < windows; ++w) {
            Corridors net(n, true, stations);
            if (!net.fits) {
                state.SkipWithError("the corridors do not fit the vehicle-list store or the slots");
                return;
            }
            vehicles = net.vehicles;
            const double start = cpu_seconds();
            for (int k = 0; k < kTicks; ++k) net.tick();
            cpu += cpu_seconds() - start;
            // Memory is read for the first copy alone.
            if (w == 0) peak = watch.peak();
        }
        state.SetIterationTime(cpu);
    }
    const double updates = static_cast<double>(windows) * kTicks * vehicles;
    state.counters["vehicles"] = vehicles;
    state.counters["ticks"] = static_cast<double>(windows) * kTicks;
    state.counters["cpu_s"] = cpu;
    state.counters["veh_updates/s"] = cpu > 0.0 ? updates / cpu : 0.0;
    state.counters["bytes_per_vehicle"] =
        static_cast<double>(peak - base) * kBytesPerKb / static_cast<double>(vehicles);
    state.counters["peak_RSS_MB"] = static_cast<double>(peak) / kBytesPerKb;
    state.counters["RSS_MB"] = static_cast<double>(watch.now()) / kBytesPerKb;
    state.counters["base_RSS_MB"] = static_cast<double>(base) / kBytesPerKb;
    state.counters["peak_reset"] = watch.reset ? 1 : 0;
}

} // namespace

// Every size runs the same first 10 simulated seconds from the loaded start,
// traffic moving at capacity. The bench has no link transfer: later on every
// link's vehicles queue up at its end, a traffic state no corridor at capacity
// shows, so a longer run would time something else.
BENCHMARK(BM_FreewayCorridors)
    ->Args({1, 0})
    ->Args({1, 1})
    ->Args({50, 0})
    ->Args({50, 1})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
#if defined(__GLIBC__)
    // Before the first table is allocated: see the comment at the top.
    constexpr int kMmapThreshold = 128 * 1024; // bytes: glibc's initial threshold
    mallopt(M_MMAP_THRESHOLD, kMmapThreshold);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
