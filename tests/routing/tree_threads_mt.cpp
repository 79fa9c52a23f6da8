// Class tree builds spread over threads: the grid sample's whole tree store,
// origin-destination costs and random stream come out bit for bit the same
// with 1, 2 and 8 threads, and on a generated network every tree entry,
// with and without perception error, lies on a cheapest path found by an
// independent relaxation over all movements.
#include "core/driver/input_phase.h"
#include "core/routing/routing.h"
#include "routing/route_fixture.h"
#include "support/memory_run.h"
#include "support/samples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

namespace velm {
namespace {

using testing_routing::RouteNet;

// --- the grid sample at several thread counts ------------------------------------

// The grid sample through the input phase (its initial trees included) with
// tree builds on `threads` threads.
std::unique_ptr<Sim> grid_sample(int threads) {
    auto s = support::memory_sim();
    support::put_sample(*s, "grid");
    s->master.mastfile = "grid.master";
    s->trees.threads = threads;
    EXPECT_TRUE(run_input_steps(*s, input_steps()));
    return s;
}

// Every entry of the class and stored trees, the odtime table and stream 3.
std::vector<int> tree_tables(const Sim& s) {
    std::vector<int> v;
    for (const auto* t : {&s.trees.rgtree, &s.trees.ortree, &s.trees.tree1l, &s.trees.tree1o}) {
        v.push_back(t->dests());
        v.push_back(t->rows());
        v.push_back(t->trees());
        for (int k = 1; k <= t->trees(); ++k)
            for (int d = 1; d <= t->dests(); ++d)
                for (int r = 1; r <= t->rows(); ++r) v.push_back((*t)(d, r, k));
    }
    const auto& od = s.feedback.odtime;
    for (int m = 1; m <= od.hi(4); ++m)
        for (int k = 1; k <= od.hi(3); ++k)
            for (int j = 1; j <= od.hi(2); ++j)
                for (int i = 1; i <= od.hi(1); ++i) v.push_back(od(i, j, k, m));
    v.push_back(s.rndnum.seed[3]);
    return v;
}

TEST(TreeThreads, GridSampleTreesAreTheSameBitForBitOnOneTwoAndEightThreads) {
    std::vector<int> one;
    for (const int threads : {1, 2, 8}) {
        SCOPED_TRACE(threads);
        auto s = grid_sample(threads);
        ASSERT_EQ(s->errcount.errt1, 0) << s->units.file_text("runerr.out");
        ASSERT_GT(s->set2.mmazon, 2);
        // Then every class again, without and with perception error of both
        // kinds, each build on top of the last (stream 3 runs on).
        for (const float rndfac : {0.0f, 0.3f, -0.3f})
            for (int vt = 1; vt <= kClasses; ++vt)
                buildtree(*s, vt, s->mainrun.object1, rndfac, 2, s->mainrun.mes);
        const std::vector<int> tables = tree_tables(*s);
        if (threads == 1) {
            one = tables;
            continue;
        }
        ASSERT_EQ(tables.size(), one.size());
        std::size_t differ = 0, first = tables.size();
        for (std::size_t i = 0; i < tables.size(); ++i)
            if (tables[i] != one[i]) {
                ++differ;
                first = std::min(first, i);
            }
        EXPECT_EQ(differ, 0u) << "first at entry " << first;
    }
}

// --- cheapest paths on a generated network ---------------------------------------

// A grid of two-way links with uneven costs and six zones.
constexpr testing_routing::GeneratedGrid kGrid{
    .rows = 5, .cols = 6, .zones = 6, .zone_step = 5, .first_grid_node = 101, .seed = 777u};
constexpr int kZones = kGrid.zones;

int grid_node(int r, int c) {
    return kGrid.node(r, c);
}

std::string generated_network() {
    return kGrid.text();
}

constexpr double kUnreached = std::numeric_limits<double>::infinity();

// Movement u -> l is open to class vt: listed upstream of l, not banned and u
// not closed to the class (every turn has a permitted lane in this network).
bool movement_open(const Sim& s, int u, int l, int vt) {
    if (s.link1.hov(u, vt) == 1) return false;
    for (int k = 1; k <= s.graph1.nlinin(l); ++k)
        if (s.graph1.linin(l, k) == u) return true;
    return false;
}

// The cost of taking link u toward l: its bias factors on its cost times the
// class's turn share (equal for every turn of a link here), plus the penalty
// of entering a zone connector l from a link.
double step_cost(const Sim& s, const std::vector<double>& cost, int u, int l, int vt) {
    const double share = s.link5.turncnt(u, 2, vt, 4) / 100.0;
    return s.link4.biasfac(u, 1) +
           s.link4.biasfac(u, 2) * cost[static_cast<std::size_t>(u)] * share +
           3600.0 * s.link1.zoncon(l);
}

// Cheapest cost from each link to the centroid of macro zone dz, by relaxing
// every open movement until nothing changes.
std::vector<double> cheapest(const Sim& s, const std::vector<double>& cost, int dz, int vt) {
    const int           ml = s.link2.mlnum;
    std::vector<double> dist(static_cast<std::size_t>(ml + 1), kUnreached);
    const int           centroid = s.graph1.mazn(dz);
    for (int l = 1; l <= ml; ++l)
        if (s.link1.tonode(l) == centroid && s.link1.hov(l, vt) != 1)
            dist[static_cast<std::size_t>(l)] = cost[static_cast<std::size_t>(l)];
    for (bool changed = true; changed;) {
        changed = false;
        for (int l = 1; l <= ml; ++l) {
            if (dist[static_cast<std::size_t>(l)] == kUnreached) continue;
            for (int u = 1; u <= ml; ++u) {
                if (!movement_open(s, u, l, vt)) continue;
                const double via = dist[static_cast<std::size_t>(l)] + step_cost(s, cost, u, l, vt);
                if (via < dist[static_cast<std::size_t>(u)] - 1e-9) {
                    dist[static_cast<std::size_t>(u)] = via;
                    changed = true;
                }
            }
        }
    }
    return dist;
}

struct PathCheck {
    const char* name;
    int         threads;
    float       rndfac;
};

TEST(TreeThreads, EveryTreeEntryLiesOnACheapestPath) {
    const PathCheck cases[] = {
        {"one thread", 1, 0.0f},
        {"eight threads", 8, 0.0f},
        {"one thread, normal perception error", 1, 0.4f},
        {"eight threads, normal perception error", 8, 0.4f},
        {"eight threads, lognormal perception error", 8, -0.4f},
    };
    constexpr int    kClass = 2;
    constexpr double kTol = 0.01; // s: float labels against double sums
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RouteNet net(generated_network());
        Sim&     s = net.s;
        s.trees.threads = c.threads;
        const int ml = s.link2.mlnum;
        // Uneven turn shares and bias factors, a banned movement and a link
        // closed to the class.
        for (int l = 1; l <= ml; ++l) {
            for (int d = 1; d <= 4; ++d) s.link5.turncnt(l, d, kClass, 4) = 60 + (l * 37) % 90;
            s.link4.biasfac(l, 1) = static_cast<float>((l * 13) % 5);
            s.link4.biasfac(l, 2) = 0.75f + 0.125f * static_cast<float>(l % 4);
        }
        net.ban(net.link(grid_node(1, 1), grid_node(1, 2)),
                net.link(grid_node(1, 2), grid_node(2, 2)));
        s.link1.hov(net.link(grid_node(2, 3), grid_node(2, 4)), kClass) = 1;

        const int start_seed = s.rndnum.seed[3];
        buildtree(s, kClass, s.mainrun.object1, c.rndfac, 1, s.mainrun.mes);
        const int end_seed = s.rndnum.seed[3];

        // The costs each destination saw: its own perturbation, drawn in
        // destination order from stream 3.
        s.rndnum.seed[3] = start_seed;
        Array1<float> perturbed("perturbed", kMaxLinks);
        for (int dz = 1; dz <= kZones; ++dz) {
            SCOPED_TRACE(dz);
            std::vector<double> cost(static_cast<std::size_t>(ml + 1), 0.0);
            if (c.rndfac > 0.0f) randomize(s, s.mainrun.object1, perturbed, c.rndfac);
            for (int l = 1; l <= ml; ++l)
                cost[static_cast<std::size_t>(l)] =
                    c.rndfac > 0.0f ? perturbed(l) : s.mainrun.object1(l);
            const std::vector<double> dist = cheapest(s, cost, dz, kClass);
            int                       reached = 0;
            for (int u = 1; u <= ml; ++u) {
                const double du = dist[static_cast<std::size_t>(u)];
                const int    next = s.trees.rgtree(dz, u, kClass);
                if (du == kUnreached) {
                    EXPECT_EQ(next, 0) << "link " << u;
                    continue;
                }
                ++reached;
                if (next == -1) {
                    EXPECT_EQ(s.link1.tonode(u), s.graph1.mazn(dz)) << "link " << u;
                    EXPECT_NEAR(du, cost[static_cast<std::size_t>(u)], kTol) << "link " << u;
                    continue;
                }
                ASSERT_GE(next, 1) << "link " << u;
                EXPECT_TRUE(movement_open(s, u, next, kClass)) << u << " -> " << next;
                EXPECT_NEAR(
                    du, dist[static_cast<std::size_t>(next)] + step_cost(s, cost, u, next, kClass),
                    kTol)
                    << u << " -> " << next;
            }
            EXPECT_GT(reached, ml / 2);
            // The first link out of each zone is a cheapest one to within the
            // whole second its label is kept in.
            for (int oz = 1; oz <= kZones; ++oz) {
                double best = kUnreached;
                for (int l = 1; l <= ml; ++l)
                    if (s.link1.frnode(l) == oz)
                        best = std::min(best, dist[static_cast<std::size_t>(l)]);
                const int first = s.trees.ortree(dz, oz, kClass);
                if (best == kUnreached) {
                    EXPECT_EQ(first, 0) << "zone " << oz;
                    continue;
                }
                ASSERT_GE(first, 1) << "zone " << oz;
                EXPECT_EQ(s.link1.frnode(first), oz);
                EXPECT_LT(dist[static_cast<std::size_t>(first)], best + 1.0) << "zone " << oz;
            }
        }
        EXPECT_EQ(s.rndnum.seed[3], end_seed);
    }
}

} // namespace
} // namespace velm
