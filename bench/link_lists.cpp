// The per-tick link-list work of the vehicle step on 100000 vehicles spread
// over 4000 two-lane links: lane heads and ranks (lanpos), the front-first
// re-sort after a tick of movement (srtque), side followers (vehpos2b) and
// entry space (spilback).
#include "core/driver/random.h"
#include "core/model/sim.h"
#include "core/movement/movement.h"
#include "core/movement/vehicle_slots.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int   kLinks = 4000;
constexpr int   kPerLink = 25; // 100000 vehicles
constexpr int   kLanes = 2;    // 8000 network lanes of the 9000
constexpr float kLinkKm = 0.5f;

struct Network {
    std::unique_ptr<velm::Sim> sim = std::make_unique<velm::Sim>();
    velm::Sim&                 s = *sim;

    Network() {
        using namespace velm;
        s.units.use_memory_files();
        s.units.open_write(kUnitRunLog, "runerr.out");
        initvid(s);
        s.rndnum.seed[1] = 4711;
        int lane = 0, block = 0, car = 0;
        for (int l = 1; l <= kLinks; ++l) {
            s.link4.llength(l) = kLinkKm;
            s.link1.nulans(l) = kLanes;
            s.link2.nbqu(l) = block;
            s.link2.amaxq(l) = 2 * kPerLink;
            block += 2 * kPerLink;
            s.link5.minhd(l, 1) = 7.0f;
            for (int k = 1; k <= kLanes; ++k) {
                s.lanexch.lannum(l, k) = ++lane;
                s.lanexch.lstveh(lane, 2) = 20 * k;
            }
            for (int i = 1; i <= kPerLink; ++i) {
                int vid = 0, flag = 0;
                setvid(s, ++car, vid, flag);
                float u = 0.0f;
                random(s.rndnum.seed[1], u);
                s.oddat.vlan(vid, 1) = 1 + static_cast<int>(u * kLanes);
                s.vehplot.dis(vid, 1) = 1000.0f * kLinkKm - 18.0f * static_cast<float>(i);
                s.vehplot.spd(vid, 1) = 30.0f + 30.0f * u; // km/h
                s.link2.ntqu(l) = i;
                s.vehicle.big(s.link2.nbqu(l) + i) = car;
            }
        }
        s.link2.mlnum = kLinks;
    }

    // One tick of movement over every slot: 0.1 s at each vehicle's speed.
    void advance() {
        auto&     dis = s.vehplot.dis;
        auto&     spd = s.vehplot.spd;
        const int n = s.vehindx.mvehid;
        for (int vid = 1; vid <= n; ++vid) dis(vid, 1) += spd(vid, 1) / 36.0f;
    }
};

void vehicles_per_second(benchmark::State& state) {
    state.counters["vehicles/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kLinks * kPerLink, benchmark::Counter::kIsRate);
}

void BM_Lanpos(benchmark::State& state) {
    Network net;
    for (auto _ : state) velm::lanpos(net.s, -1, 0);
    vehicles_per_second(state);
}

void BM_SrtqueAfterOneTick(benchmark::State& state) {
    Network net;
    for (auto _ : state) {
        state.PauseTiming();
        net.advance();
        state.ResumeTiming();
        velm::srtque(net.s);
    }
    vehicles_per_second(state);
}

void BM_Vehpos2b(benchmark::State& state) {
    Network net;
    for (auto _ : state) velm::vehpos2b(net.s, 0);
    vehicles_per_second(state);
}

void BM_Spilback(benchmark::State& state) {
    Network net;
    for (auto _ : state) velm::spilback(net.s);
    vehicles_per_second(state);
}

// The tick's sequence of list work, movement included.
void BM_TickListWork(benchmark::State& state) {
    Network net;
    for (auto _ : state) {
        velm::lanpos(net.s, -1, 0);
        net.advance();
        velm::srtque(net.s);
        velm::vehpos2b(net.s, 0);
        velm::spilback(net.s);
        velm::lanpos(net.s, -1, 0);
    }
    vehicles_per_second(state);
}

BENCHMARK(BM_Lanpos)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SrtqueAfterOneTick)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Vehpos2b)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Spilback)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TickListWork)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
