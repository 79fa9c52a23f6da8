// The cost of the time loop itself: a 3600-s run (36001 ticks) of an empty
// network, every subsystem's per-tick and per-second entry called on its
// schedule, the profiler charging its marks against its real clock; and the
// cost of a fresh run state.
#include "core/driver/profiler.h"
#include "core/driver/time_loop.h"
#include "core/model/sim.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

constexpr int kHorizon = 3600; // s

void BM_EmptyRun(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto s = std::make_unique<velm::Sim>();
        s->units.use_memory_files();
        s->units.set_console([](std::string_view) {});
        s->units.open_write(velm::kUnitMoveLog, "moverr.out");
        s->units.open_write(velm::kUnitRunLog, "runerr.out");
        s->units.open_write(velm::kUnitSummary, "summary.out");
        s->set1.simtim1 = kHorizon;
        s->set1.simtim10 = 10 * kHorizon;
        velm::stim(*s, velm::kStimReset);
        state.ResumeTiming();
        benchmark::DoNotOptimize(velm::time_loop(*s));
        state.PauseTiming();
        s.reset();
        state.ResumeTiming();
    }
    state.counters["ticks/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * (10.0 * kHorizon + 1.0),
                           benchmark::Counter::kIsRate);
}

BENCHMARK(BM_EmptyRun)->Unit(benchmark::kMillisecond);

// Creating and freeing the run state: what every run and every test pays
// before its first input line.
void BM_NewSim(benchmark::State& state) {
    for (auto _ : state) {
        auto s = std::make_unique<velm::Sim>();
        benchmark::DoNotOptimize(s.get());
    }
}

BENCHMARK(BM_NewSim)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
