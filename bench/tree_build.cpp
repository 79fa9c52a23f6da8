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

constexpr int kRows = 21;
constexpr int kCols = 40;
constexpr int kZones = 400;
constexpr int kFirstGridNode = 401;

int grid_node(int r, int c) {
    return kFirstGridNode + r * kCols + c;
}

std::string generated_network() {
    std::ostringstream net;
    for (int z = 1; z <= kZones; ++z) {
        const int at = (z - 1) * 2; // every other grid node carries a zone
        net << "node " << z << " " << at % kCols + 0.2 << " " << at / kCols + 0.3 << " 1 " << -z
            << "\n";
    }
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c)
            net << "node " << grid_node(r, c) << " " << c << " " << r << " 4 0\n";
    int      n = 0;
    unsigned h = 12345u;
    auto     link = [&](int a, int b, int zc) {
        h = h * 1103515245u + 12345u;
        const int cost = zc ? 5 : 20 + static_cast<int>((h >> 16) % 40u); // s
        net << "link " << ++n << " " << a << " " << b << " " << cost << " " << cost / 100.0 << " "
            << zc << "\n";
    };
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kCols; ++c) {
            if (c + 1 < kCols) {
                link(grid_node(r, c), grid_node(r, c + 1), 0);
                link(grid_node(r, c + 1), grid_node(r, c), 0);
            }
            if (r + 1 < kRows) {
                link(grid_node(r, c), grid_node(r + 1, c), 0);
                link(grid_node(r + 1, c), grid_node(r, c), 0);
            }
        }
    for (int z = 1; z <= kZones; ++z) {
        const int at = (z - 1) * 2;
        link(z, grid_node(at / kCols, at % kCols), 1);
        link(grid_node(at / kCols, at % kCols), z, 1);
    }
    return net.str();
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
