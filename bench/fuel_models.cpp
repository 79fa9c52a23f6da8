// The per-second fuel models on one vehicle: the regression model (six
// polynomials of 16 terms and six exponentials per call) and the power
// model's pricing evaluation for each drive, over a sweep of speeds and
// accelerations. Reported as evaluations per second.
#include "core/energy/fuel_models.h"
#include "core/demand/demand.h"
#include "core/energy/energy.h"
#include "core/energy/fuel_coefficients.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace velm;

constexpr int kSweep = 1024; // (speed, acceleration) pairs per iteration

std::unique_ptr<Sim> fleet() {
    auto s = std::make_unique<Sim>();
    s->units.use_memory_files();
    s->units.open_write(kUnitSummary, "summary.out");
    s->units.open_write(kUnitRunLog, "runerr.out");
    init_veh_param(*s);
    for (int t = 1; t <= kVehicleTypes; ++t) {
        s->fuel.fuelcoef.type(t) = builtin_fuel::coefficients()[static_cast<std::size_t>(t - 1)];
        s->kzcpxm_energy.kzcpfm_alpha(t, 1) = 0.0004f;
        s->kzcpxm_energy.kzcpfm_alpha(t, 2) = 0.00008f;
        s->kzcpxm_energy.hybrid_alpha(t, 1) = 0.12f;
        s->kzcpxm_energy.initial_soc(t) = 0.9f;
    }
    s->oddat.curlnk(1) = 1;
    s->lnkgrade.lnkgrade(1) = 0.02f;
    s->kzcpxm_energy.veh_soc(1) = s->kzcpxm_energy.soc_threshold(1) = -1.0f;
    s->kzcpxm_energy.veh_battery_capacity(1) = -1.0f;
    return s;
}

float speed(int i) {
    return static_cast<float>(i % 128);
}
float accel(int i) {
    return static_cast<float>(i % 17 - 8) * 0.37f;
}

void BM_Environ2(benchmark::State& state) {
    const auto s = fleet();
    const int  type = static_cast<int>(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < kSweep; ++i) {
            float                       fuel = 0.0f;
            std::array<float, kSpecies> c{};
            environ2(*s, type, 1, {speed(i), speed(i) + accel(i)}, 0.0f, fuel, c);
            benchmark::DoNotOptimize(fuel);
            benchmark::DoNotOptimize(c);
        }
    }
    state.SetItemsProcessed(state.iterations() * kSweep);
}
BENCHMARK(BM_Environ2)->Arg(1)->Arg(25);

void BM_PowerPricing(benchmark::State& state) {
    const auto s = fleet();
    s->vehper.engine_type(1) = static_cast<int>(state.range(0));
    for (auto _ : state) {
        for (int i = 0; i < kSweep; ++i) {
            const PowerRates r = kzcpxm_price(*s, 1, 1, 1, 1, speed(i), accel(i) / 3.6f);
            benchmark::DoNotOptimize(r);
        }
    }
    state.SetItemsProcessed(state.iterations() * kSweep);
}
BENCHMARK(BM_PowerPricing)
    ->Arg(kEngineGasoline)
    ->Arg(kBatteryElectric)
    ->Arg(kEnginePlugInHybrid)
    ->Arg(kEngineHybrid);

} // namespace

BENCHMARK_MAIN();
