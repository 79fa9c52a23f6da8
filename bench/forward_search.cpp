// Per-vehicle forward trees on a generated network (the 4038-link grid of the
// tree-building benchmark): one search from a zone to the farthest zone, and
// the tracing of 100000 method-3 trips into the path store as the input phase
// does it (each trip: measured costs, perception error, one search).
#include "core/routing/routing.h"
#include "routing/paths_fixture.h"
#include "routing/route_fixture.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr velm::testing_routing::GeneratedGrid kGrid{
    .rows = 21, .cols = 40, .zones = 400, .zone_step = 2, .first_grid_node = 401, .seed = 12345u};

constexpr int kTrips = 100000;

void method_three(velm::Sim& s) {
    for (int vt = 1; vt <= velm::kClasses; ++vt) {
        s.set1.tremet(vt) = 3;
        s.set1.trnd(vt) = 0.05f;
        s.set1.trefrq(vt, 6) = 1;
    }
    for (int l = 1; l <= s.link2.mlnum; ++l) s.delay.ttlink(l, 1) = s.delay.fretim(l);
}

void BM_ForwardSearch(benchmark::State& state) {
    velm::testing_routing::RouteNet net(kGrid.text());
    velm::Sim&                      s = net.s;
    method_three(s);
    velm::testing_paths::trip(s, 1, 1, 400, 1, 0);
    std::vector<int> path(velm::kMaxPathLinks);
    int              n = 0;
    for (auto _ : state) {
        velm::futtree(s, 0, 1, -1, path, n, 400, 1, s.mainrun.object1, 1);
        benchmark::DoNotOptimize(path.data());
    }
    state.counters["links"] = s.link2.mlnum;
    state.counters["path"] = n;
}
BENCHMARK(BM_ForwardSearch)->Unit(benchmark::kMicrosecond);

void BM_TraceMethodThreeTrips(benchmark::State& state) {
    velm::testing_routing::RouteNet net(kGrid.text());
    velm::Sim&                      s = net.s;
    method_three(s);
    for (int car = 1; car <= kTrips; ++car)
        velm::testing_paths::trip(s, car, car % 400 + 1, (car * 7) % 400 + 1, 1, car % 10000,
                                  static_cast<float>(car % 3600));
    for (auto _ : state) {
        velm::tr_tree(s, 0, 0, 0);
        for (int car = 1; car <= kTrips; ++car) velm::tr_tree(s, car, 2, car % 3600);
        benchmark::DoNotOptimize(s.vehtre.nxtfre);
    }
    state.counters["trips"] = kTrips;
    state.counters["entries"] = s.vehtre.nxtfre;
}
BENCHMARK(BM_TraceMethodThreeTrips)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
