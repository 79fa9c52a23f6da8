// Tree building of one class toward every destination on a generated network
// (on 1 to 8 threads; wall-clock time):
// a 21 x 40 grid of two-way links (3238 links) with 400 zones, each the
// centroid of its own macro zone and tied to the grid by a connector in and
// one out (4038 links in all).
#include "core/routing/routing.h"
#include "routing/route_fixture.h"

#include <benchmark/benchmark.h>

#include <sstream>

namespace {

constexpr velm::testing_routing::GeneratedGrid kGrid{
    .rows = 21, .cols = 40, .zones = 400, .zone_step = 2, .first_grid_node = 401, .seed = 12345u};

std::string generated_network() {
    return kGrid.text();
}

// Arguments: the perception error in tenths, the threads of the build.
void BM_BuildTreeAllDestinations(benchmark::State& state) {
    velm::testing_routing::RouteNet net(generated_network());
    velm::Sim&                      s = net.s;
    const float                     rndfac = static_cast<float>(state.range(0)) / 10.0f;
    s.trees.threads = static_cast<int>(state.range(1));
    for (auto _ : state) {
        velm::buildtree(s, 1, s.mainrun.object1, rndfac, 1, s.mainrun.mes);
        benchmark::DoNotOptimize(s.trees.rgtree.row(1, 1));
    }
    state.counters["links"] = s.link2.mlnum;
    state.counters["destinations"] = s.set2.mmazon;
}
BENCHMARK(BM_BuildTreeAllDestinations)
    ->ArgsProduct({{0, 3}, {1, 2, 4, 8}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_DistanceTrees(benchmark::State& state) {
    velm::testing_routing::RouteNet net(generated_network());
    for (auto _ : state) {
        velm::builddis(net.s, 1);
        velm::builddis(net.s, 2);
    }
}
BENCHMARK(BM_DistanceTrees)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
