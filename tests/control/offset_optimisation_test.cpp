// Offset optimisation: the lane queue model, the candidate totals, the offset
// moves and their 4-s limit, the profile smoothing at each cycle boundary and
// the decay of the smoothed flows.
#include "control/timing_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <utility>

namespace velm {
namespace {

using support::TimingNet;

// Signal 1, 60-s cycle, link 1 green 0-30 (phase 1), lane 1.
struct OneLane : TimingNet {
    explicit OneLane(float cycle = 60.0f, float green = 30.0f) {
        plan(1, cycle, 0, {{green, 0}, {cycle - green - 5, 5}});
        link(1, 1, 1, 1);
        index();
    }
    void arrivals(std::initializer_list<std::pair<int, float>> bins) {
        for (const auto& [b, a] : bins) s.flowprof.cycflw(1, b, 1) = a;
    }
    // Link 2 ends at signal 2 (cycle `cycle2`) and is fed by signal 1; its
    // lane has 4 arrivals in bin 5.
    void feed_downstream(float cycle2) {
        plan(2, cycle2, 10, {{30, 0}, {cycle2 - 35, 5}});
        link(2, 2, 1, 2);
        index();
        s.flowprof.upssig(2) = 1;
        s.flowprof.cycflw(2, 5, 1) = 4.0f;
    }
};

TEST(LaneQueueModel, IndexOfHandWorkedArrivalPatterns) {
    struct Case {
        const char*                                  what;
        float                                        cycle, green;
        std::initializer_list<std::pair<int, float>> bins;
        float                                        xoff, index;
    };
    const Case cases[] = {
        // Bin 1 on green: queue 2, 1, 0 vehicles over 2-s bins.
        {"3 arrivals in bin 1 at offset fraction 0", 60, 30, {{1, 3}}, 0.0f, 6.0f},
        // Red for bins 1-15 (queue 3 for 30 s), then 2, 1, 0.
        {"3 arrivals in bin 1 at offset fraction 0.5", 60, 30, {{1, 3}}, 0.5f, 96.0f},
        // Queue part 6 + 12 + 13 x 12 + 10 + 8 + 6 + 4 + 2 = 204, plus the 3
        // vehicles of bin 2 stopping behind the queue: 15 s each.
        {"3 arrivals in bins 1 and 2 at 0.5", 60, 30, {{1, 3}, {2, 3}}, 0.5f, 204.0f + 45.0f},
        // Arrivals at the cycle end queue into the next cycle: the second
        // pass counts them twice (6 on red, then 4 + 2 on the next green).
        {"3 arrivals in bin 30 carry into the repeated cycle", 60, 30, {{30, 3}}, 0.0f, 12.0f},
        // 1.5-s bins discharging 0.75 vehicles: 2.25, 1.5, 0.75 vehicles.
        {"a 45-s cycle has real 1.5-s bins", 45, 22, {{1, 3}}, 0.0f, 1.5f * (2.25f + 1.5f + 0.75f)},
    };
    for (const Case& c : cases) {
        OneLane net(c.cycle, c.green);
        net.arrivals(c.bins);
        EXPECT_NEAR(evallane(net.s, 1, 1, 1, c.xoff), c.index, 1e-3) << c.what;
    }
}

TEST(LaneQueueModel, ALaneWithoutArrivalsScoresZeroForEveryCandidate) {
    OneLane         net;
    CandidateTotals tot;
    candidate_totals(net.s, 1, 60, tot);
    for (int k = 1; k <= kOffsetCandidates; ++k) EXPECT_EQ(tot[static_cast<std::size_t>(k)], 0.0f);
}

TEST(OffsetCandidates, DownstreamLanesCountOnlyOnTheSameCycle) {
    for (const float cycle2 : {60.0f, 60.05f, 60.2f, 59.8f}) {
        OneLane net;
        net.feed_downstream(cycle2);
        CandidateTotals tot;
        candidate_totals(net.s, 1, 60, tot);
        float sum = 0;
        for (float v : tot) sum += v;
        const bool counted = std::fabs(cycle2 - 60.0f) <= 0.1f;
        EXPECT_EQ(sum > 0.0f, counted) << "downstream cycle " << cycle2;
        // Not fed by signal 1: never counted.
        net.s.flowprof.upssig(2) = 3;
        candidate_totals(net.s, 1, 60, tot);
        for (float v : tot) EXPECT_EQ(v, 0.0f);
    }
}

TEST(OffsetIndex, EvaluationKeepsTheSignalsTotalsAndEachOwnApproachsShare) {
    // Own approach link 1 (bin 1 arrivals) and downstream link 2 ending at
    // signal 2 on the same cycle: the signal's index holds both, link 1's only
    // its own lanes, and the downstream link keeps no row from signal 1.
    OneLane net;
    net.arrivals({{1, 3}});
    net.feed_downstream(60);
    CandidateTotals tot;
    candidate_totals(net.s, 1, 60, tot);
    evalsign(net.s, 600, 1, 60);
    const auto& fp = net.s.flowprof;
    bool        downstream_counts = false;
    for (int k = 1; k <= kOffsetCandidates; ++k) {
        const float own = evallane(
            net.s, 1, 1, 1, static_cast<float>(k - 1) / static_cast<float>(kOffsetCandidates));
        EXPECT_EQ(fp.sigpi(1, k), tot[static_cast<std::size_t>(k)]) << "candidate " << k;
        EXPECT_NEAR(fp.cycpi(1, k), own, 1e-3) << "candidate " << k;
        EXPECT_EQ(fp.cycpi(2, k), 0.0f) << "candidate " << k;
        EXPECT_EQ(fp.sigpi(2, k), 0.0f) << "candidate " << k;
        if (tot[static_cast<std::size_t>(k)] > own + 1e-3f) downstream_counts = true;
    }
    EXPECT_TRUE(downstream_counts) << "the downstream lane should add to the signal's index";
}

TEST(OffsetMoves, TowardTheBestCandidateTheShortWayByAtMostFourSeconds) {
    struct Case {
        const char* what;
        float       o;
        int         best;
        float       m, mean, moved;
    };
    const Case cases[] = {
        {"best 2 s ahead", 10, 12, 10, 100, 12},
        {"best 10 s ahead", 10, 20, 10, 100, 14},
        {"best 10 s behind in 60", 10, 0, 10, 100, 6},
        {"exactly half a cycle away moves back", 0, 30, 10, 100, 56},
        {"58 moved forward by 4 in 60", 58, 10, 10, 100, 2},
        {"best equal to the current offset, best value the mean", 0, 0, 100, 100, 0},
        {"best value not clearly below the mean", 10, 20, 95, 100, 10},
        {"mean index too small to act on", 10, 20, 0, 3, 10},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(offset_move(c.o, c.best, c.m, c.mean, 60), c.moved) << c.what;
}

TEST(OffsetMoves, CoordinationLimitsTheChangePerCycle) {
    struct Case {
        float old, found;
        int   kept;
    };
    const Case cases[] = {{10, 12, 12}, {10, 20, 14}, {10, 0, 6}, {58, 2, 2},
                          {2, 58, 58},  {0, 30, 4},   {30, 0, 26}};
    for (const Case& c : cases)
        EXPECT_EQ(limited_offset(c.old, c.found, 60), c.kept) << c.old << " -> " << c.found;
}

// Signal 1 with arrivals that a later green would serve better: at the cycle
// boundary the evaluation moves its offset, which coordination keeps or undoes.
TEST(OffsetOptimisation, OnlyCoordinatedSignalsKeepAMovedOffsetAndOnlyAtTheirBoundary) {
    struct Case {
        const char* what;
        int         ofsopt1, ofsopt2, t10;
        bool        moves;
    };
    const Case cases[] = {
        {"coordinated, at the boundary", 1, 1, 600, true},
        {"not enabled: evaluation undone", 0, 1, 600, false},
        {"no cluster: evaluation undone", 1, 0, 600, false},
        {"coordinated, between boundaries", 1, 1, 610, false},
    };
    for (const Case& c : cases) {
        OneLane net;
        net.s.signal.ofsopt(1, 1) = c.ofsopt1;
        net.s.signal.ofsopt(1, 2) = c.ofsopt2;
        // Heavy arrivals at the start of the red: a later green start serves them.
        for (int b = 16; b <= 20; ++b) net.s.flowprof.cycflw(1, b, 1) = 5.0f;
        offopt(net.s, c.t10);
        const float o = net.s.signal.offset(1);
        if (c.moves) {
            EXPECT_NE(o, 0.0f) << c.what;
            EXPECT_TRUE(o <= 4.0f || o >= 56.0f) << c.what << ": " << o;
        } else {
            EXPECT_EQ(o, 0.0f) << c.what;
        }
    }
}

TEST(OffsetOptimisation, ProfilesAreSmoothedAtTheBoundaryAndAQuarterCarriesOver) {
    OneLane net;
    net.s.flowprof.cycflw(1, 1, 3) = 4.0f;
    net.s.flowprof.cycflw(1, 1, 1) = 2.0f;
    offopt(net.s, 610); // not a boundary of the 60-s cycle
    EXPECT_FLOAT_EQ(net.s.flowprof.cycflw(1, 1, 3), 4.0f);
    offopt(net.s, 600);
    // Bin 1 keeps half, its neighbours (bin 30 circularly, and bin 2) a quarter each.
    struct Bin {
        int   b;
        float counts, profile;
    };
    for (const Bin& e : {Bin{1, 2.0f, 0.25f * 2.0f + 0.75f * 2.0f}, Bin{2, 1.0f, 0.75f},
                         Bin{30, 1.0f, 0.75f}, Bin{3, 0.0f, 0.0f}}) {
        EXPECT_FLOAT_EQ(net.s.flowprof.cycflw(1, e.b, 1), e.profile) << "bin " << e.b;
        EXPECT_FLOAT_EQ(net.s.flowprof.cycflw(1, e.b, 3), 0.25f * e.counts) << "bin " << e.b;
    }
}

TEST(OffsetOptimisation, SignalsWithoutAWholeSecondCycleAreLeftAlone) {
    OneLane net;
    net.s.signal.cycle(1) = 0.5f;
    net.s.signal.offset(1) = 0.25f;
    net.s.signal.ofsopt(1, 1) = net.s.signal.ofsopt(1, 2) = 1;
    net.s.flowprof.cycflw(1, 1, 3) = 4.0f;
    for (int t10 = 10; t10 <= 100; t10 += 5) offopt(net.s, t10);
    EXPECT_FLOAT_EQ(net.s.signal.offset(1), 0.25f);
    EXPECT_FLOAT_EQ(net.s.flowprof.cycflw(1, 1, 3), 4.0f);
    EXPECT_EQ(evallane(net.s, 1, 1, 1, 0.0f), 0.0f);
}

TEST(FlowDecay, FactorsPerSecondWhateverTheStep) {
    OneLane net;
    net.link(2, 0, 0, 2);
    net.s.link4.llength(2) = -99999.0f; // a link number the network does not use
    for (int l = 1; l <= 2; ++l) net.s.link1.outflw(l, 2) = 1000.0f;
    net.s.link1.outflw(1, 1) = 500.0f;
    net.s.link1.aprflw(1, 3) = 1000.0f;
    // Steps of 5 ticks: two per second.
    dynflow(net.s, 5, net.s.link2.mlnum, 5);
    dynflow(net.s, 10, net.s.link2.mlnum, 5);
    EXPECT_NEAR(net.s.link1.outflw(1, 2), 975.0f, 1e-2);
    EXPECT_NEAR(net.s.link1.outflw(1, 1), 487.5f, 1e-2);
    EXPECT_NEAR(net.s.link1.aprflw(1, 3), 998.0f, 1e-2);
    EXPECT_EQ(net.s.link1.outflw(2, 2), 1000.0f);
}

} // namespace
} // namespace velm
