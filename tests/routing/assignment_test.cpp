// The pre-simulation assignment: slices, tree weights of both methods, the
// step search, the loading of the demand on the class trees, toll costs of the
// trees, the trees of classes the assignment does not route, the tracing of
// the assigned trips and the report "assign.out".
#include "core/io/writers.h"
#include "core/routing/assignment.h"
#include "core/routing/performance_functions.h"
#include "routing/paths_fixture.h"
#include "support/temp_dir.h"
#include "support/text.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_paths::current_path;
using testing_paths::prepare_trees;
using testing_paths::stored_links;
using testing_paths::stored_path;
using testing_paths::trip;
using testing_routing::contains;
using testing_routing::lines_of;
using testing_routing::RouteNet;

// Zone 1 to zone 2 over two parallel routes: the short one (link 2, 1 km,
// 60 s) and the long one (links 3 and 4, 0.8 km each, 96 s together), with
// connectors 1 and 5. Speeds do not fall with flow; a link above its
// capacity queues.
const char* const kParallel = R"(
node 1 0 0 1 -1
node 2 3 0 1 -2
node 10 1 0 4 0
node 11 1.5 0.5 4 0
node 12 2 0 4 0
link 1 1 10 12 0.2 1
link 2 10 12 60 1.0 0
link 3 10 11 48 0.8 0
link 4 11 12 48 0.8 0
link 5 12 2 12 0.2 1
)";
// The same with one route only.
const char* const kSingle = R"(
node 1 0 0 1 -1
node 2 3 0 1 -2
node 10 1 0 4 0
node 12 2 0 4 0
link 1 1 10 12 0.2 1
link 2 10 12 60 1.0 0
link 5 12 2 12 0.2 1
)";

constexpr int kShort = 2, kLongFirst = 3;

struct Assignment : RouteNet {
    explicit Assignment(const char* net = kParallel) : RouteNet(net) {
        for (int l = 1; l <= s.link2.mlnum; ++l) {
            if (!(s.link4.llength(l) > 0.0f)) continue;
            s.link1.nulans(l) = 1;
            s.link1.spdvol(l, 6) = 1800.0f;
            s.link1.spdvol(l, 7) = 60.0f;
            s.link1.spdvol(l, 8) = s.link4.llength(l);
        }
        prepare_trees(s);
        s.set1.simtim1 = 3600;
        s.filenam.files(31) = "assign.out";
        s.oddat.fodp = 1;
        s.oddat.lodp = 1;
        demand(1, 600.0f, 0.0f, 3600.0f);
        share(1, 1, 1.0f);
        s.set1.tremet(1) = 1;
        for (int vt = 2; vt <= kClasses; ++vt) s.set1.tremet(vt) = 2;
    }
    void demand(int n, float rate, float from, float to) {
        s.oddat.o(n) = 1;
        s.oddat.d(n) = 2;
        s.oddat.numod(n) = rate;
        s.oddat.demstr(n) = from;
        s.oddat.demend(n) = to;
    }
    void share(int n, int vt, float k) { s.oddat.kvtyp(n, vt, 1) = k; }
    void capacity(int l, float cap) { s.link1.spdvol(l, 6) = cap; }
    // One toll entry: `money` per passage of the short route for class 1
    // from `from` to `to` s.
    void short_route_toll(int from, int to, float money) {
        auto& tp = s.tolplaz;
        tp.ntolrat = tp.mtolrat = 1;
        tp.tollnk(1) = kShort;
        tp.toltyp(1) = 1;
        tp.toltim(1, 1) = from;
        tp.toltim(1, 2) = to;
        tp.tolrat(1, 1) = money;
    }
    // Trips car..car+count-1 of class vt departing at `dep`, their random
    // numbers spread evenly over 0..9999.
    void trips(int car, int count, int vt, float dep) {
        for (int i = 0; i < count; ++i) trip(s, car + i, 1, 2, vt, (i * 10000 + 5000) / count, dep);
    }
    std::string              report() const { return s.units.file_text("assign.out"); }
    std::vector<std::string> report_lines(const std::string& starting) const {
        std::vector<std::string> out;
        for (const auto& l : lines_of(report()))
            if (l.rfind(starting, 0) == 0) out.push_back(l);
        return out;
    }
    float wt(int vt, int k, int col) const {
        return s.trees.tree_wt((vt - 1) * kTreesPerClass + k, col);
    }
};

std::string fixed(double v, int w, int d) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%*.*f", w, d, v);
    return buf;
}

// --- slices --------------------------------------------------------------------

TEST(AssignmentSlices, LengthModeAndStartsFromTheAssignedClasses) {
    struct Case {
        const char*      name;
        int              horizon;
        int              method[kClasses];
        int              interval[kClasses];
        int              mode;
        std::vector<int> starts; // empty: the assignment is off
    };
    const std::vector<Case> cases = {
        {"methods 1 and 5 without intervals: one slice, averages",
         3600,
         {1, 5, 2, 2, 2},
         {0, 0, 300, 300, 300},
         1,
         {0}},
        {"interval 600 over an hour",
         3600,
         {1, 2, 2, 2, 2},
         {600, 0, 0, 0, 0},
         1,
         {0, 600, 1200, 1800, 2400, 3000}},
        {"the last slice reaches past the horizon",
         3700,
         {1, 2, 2, 2, 2},
         {600, 0, 0, 0, 0},
         1,
         {0, 600, 1200, 1800, 2400, 3000, 3600}},
        {"the shortest interval; method 5 with one asks for the search",
         1800,
         {1, 5, 2, 2, 2},
         {900, 600, 0, 0, 0},
         2,
         {0, 600, 1200}},
        {"method 5 without an interval leaves the averages",
         1800,
         {1, 5, 2, 2, 2},
         {600, 0, 0, 0, 0},
         1,
         {0, 600, 1200}},
        {"no class with method 1 or 5", 3600, {2, 2, 8, 9, 2}, {600, 600, 0, 0, 0}, 1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Assignment a(kSingle);
        a.s.set1.simtim1 = c.horizon;
        for (int vt = 1; vt <= kClasses; ++vt) {
            a.s.set1.tremet(vt) = c.method[vt - 1];
            a.s.set1.trefrq(vt, 1) = c.interval[vt - 1];
        }
        a.demand(1, 0.0f, 0.0f, static_cast<float>(c.horizon));
        a.trips(1, 1, 1, 0.0f);
        const auto plan = routing::slice_plan(a.s);
        EXPECT_EQ(plan.wanted, !c.starts.empty());
        if (!c.starts.empty()) {
            EXPECT_EQ(plan.mode, c.mode);
        }
        preassign(a.s);
        std::vector<int> starts;
        for (const auto& l : a.report_lines("  Assign at time = ")) {
            int t = -1;
            ASSERT_EQ(std::sscanf(l.c_str(), "  Assign at time = %d  Assigned classes:", &t), 1)
                << l;
            starts.push_back(t);
        }
        EXPECT_EQ(starts, c.starts);
        const bool disabled =
            contains(a.log(), "Pre-Simulation Macroscopic Traffic Assignment Disabled");
        EXPECT_EQ(disabled, c.starts.empty());
        // Trial lines only in the search mode.
        EXPECT_EQ(!a.report_lines("     - weight =").empty(), c.mode == 2 && !c.starts.empty());
    }
}

TEST(AssignmentSlices, NoHorizonAndNoIntervalRunsNoSlice) {
    Assignment a(kSingle);
    a.s.set1.simtim1 = 0;
    a.s.set1.trefrq(1, 1) = 0;
    a.trips(1, 1, 1, 0.0f);
    preassign(a.s);
    EXPECT_TRUE(a.report().empty());
    EXPECT_EQ(a.s.vehtre.tre_ind(1, 1), 0);
}

// --- weights ---------------------------------------------------------------------

// Successive averages: each new tree takes 1/it, the older ones share the
// rest, so after five iterations every tree weighs 0.2.
TEST(AssignmentWeights, SuccessiveAveragesEndWithFiveEqualTrees) {
    Assignment a;
    a.capacity(kShort, 300.0f);
    a.trips(1, 10, 1, 0.0f);
    assign(a.s, 0, 3600, a.s.link2.mlnum, 1);
    std::vector<float> steps;
    for (const auto& l : a.report_lines("      - weight on new tree = "))
        steps.push_back(std::stof(l.substr(30)));
    ASSERT_EQ(steps.size(), 4u);
    const float want[] = {0.5f, 1.0f / 3.0f, 0.25f, 0.2f};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(steps[i], want[i], 1e-5f) << i;
    for (int k = 1; k <= kTreesPerClass; ++k) {
        SCOPED_TRACE(k);
        EXPECT_NEAR(a.wt(1, k, 1), 0.2f, 1e-6f);
        EXPECT_NEAR(a.wt(1, k, 2), 0.2f * static_cast<float>(k), 1e-6f);
    }
    // The summary repeats them for every class (25 records), each labelled
    // with its class; those not assigned keep their own trees.
    const auto rows = a.report_lines("         ");
    ASSERT_EQ(rows.size(), 25u);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int vt = static_cast<int>(i / 5) + 1, k = static_cast<int>(i % 5) + 1;
        EXPECT_EQ(rows[i].substr(0, 36),
                  fixed(vt, 10, 0) + fixed(k, 10, 0) + "   0.200" + fixed(0.2 * k, 8, 3))
            << rows[i];
        EXPECT_EQ(rows[i].find("keeps its own trees") != std::string::npos, vt != 1) << rows[i];
    }
    // Both routes carry flow: the short one overflows at its 300 veh/h.
    EXPECT_GT(a.s.assigns.tflow(kShort, 1), 0.0f);
    EXPECT_GT(a.s.assigns.tflow(kLongFirst, 1), 0.0f);
    EXPECT_NEAR(a.s.assigns.tflow(kShort, 1) + a.s.assigns.tflow(kLongFirst, 1), 600.0f, 0.01f);
}

// The new tree is never better (no demand: every trial costs the same): each
// trial is a rise, the step falls by five each time, the fourth rise ends the
// search and the new tree gets nothing.
TEST(AssignmentSearch, NeverBetterEndsAtTheFourthRiseWithWeightZero) {
    Assignment a(kSingle);
    a.s.set1.tremet(1) = 5;
    a.demand(1, 0.0f, 0.0f, 3600.0f);
    a.trips(1, 10, 1, 0.0f);
    assign(a.s, 0, 3600, a.s.link2.mlnum, 2);
    std::vector<float> trials;
    for (const auto& l : a.report_lines("     - weight ="))
        trials.push_back(std::stof(l.substr(15, 10)));
    ASSERT_EQ(trials.size(), 16u); // four per iteration
    const float want[] = {0.1f, 0.02f, 0.004f, 0.0008f};
    for (std::size_t i = 0; i < trials.size(); ++i) EXPECT_NEAR(trials[i], want[i % 4], 1e-6f) << i;
    for (const auto& l : a.report_lines("      - weight on new tree = "))
        EXPECT_EQ(l, "      - weight on new tree =  0.00000");
    EXPECT_FLOAT_EQ(a.wt(1, 1, 1), 1.0f);
    for (int k = 2; k <= kTreesPerClass; ++k) {
        EXPECT_EQ(a.wt(1, k, 1), 0.0f) << k;
        EXPECT_FLOAT_EQ(a.wt(1, k, 2), 1.0f) << k;
    }
}

// The short route is closed (no capacity): every vehicle moved off it lowers
// the objective, so the search keeps stepping up, but never past the whole
// demand.
TEST(AssignmentSearch, FallingObjectiveNeverTriesAboveOne) {
    Assignment a;
    a.s.set1.tremet(1) = 5;
    a.capacity(kShort, 0.0f);
    a.trips(1, 10, 1, 0.0f);
    assign(a.s, 0, 3600, a.s.link2.mlnum, 2);
    const auto trial_lines = a.report_lines("     - weight =");
    ASSERT_FALSE(trial_lines.empty());
    float highest = 0.0f;
    for (const auto& l : trial_lines) highest = std::max(highest, std::stof(l.substr(15, 10)));
    EXPECT_FLOAT_EQ(highest, 1.0f);
    const auto steps = a.report_lines("      - weight on new tree = ");
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_GE(std::stof(steps[0].substr(30)), 0.9f) << steps[0];
    for (const auto& l : steps) EXPECT_LE(std::stof(l.substr(30)), 1.0f) << l;
    for (int l = 1; l <= a.s.link2.mlnum; ++l) EXPECT_GE(a.s.assigns.tflow(l, 1), 0.0f) << l;
    EXPECT_GE(a.s.assigns.tflow(kLongFirst, 1), 0.9f * 600.0f);
}

// --- loading ----------------------------------------------------------------------

TEST(AssignmentLoading, SliceShareOfEachRecordOnTheCurrentTree) {
    struct Case {
        const char* name;
        float       from, to; // the record's period, s
        int         slice_start, slice_length;
        float       weight;
        float       flow; // veh/h on every link of the path
    };
    const std::vector<Case> cases = {
        {"half the slice", 0, 900, 0, 1800, 1.0f, 300.0f},
        {"the whole slice", 0, 3600, 0, 1800, 1.0f, 600.0f},
        {"the record ends where the slice starts", 0, 1800, 1800, 1800, 1.0f, 0.0f},
        {"the middle of a later slice", 900, 2700, 1800, 1800, 1.0f, 300.0f},
        {"a weight scales it", 0, 3600, 0, 1800, 0.25f, 150.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Assignment a;
        a.demand(1, 600.0f, c.from, c.to);
        current_path(a.s, 1, 2, 1, {1, kShort, 5});
        auto& flow = a.s.assigns.tflow;
        flow.zero();
        a.s.nodes.trvol(1, 2) = 77.0f;
        loadnet(a.s, c.slice_start, c.weight, flow, a.s.assigns.ttime, c.slice_length);
        for (int l : {1, kShort, 5}) EXPECT_NEAR(flow(l, 1), c.flow, 0.01f) << l;
        EXPECT_EQ(flow(kLongFirst, 1), 0.0f);
        // Zone-to-zone volumes are rebuilt by a whole loading only.
        EXPECT_FLOAT_EQ(a.s.nodes.trvol(1, 2), c.weight >= 1.0f ? c.flow : 77.0f);
    }
}

// A class with a share of a record but no trips builds no trees; its demand
// still goes onto its current tree.
TEST(AssignmentLoading, ClassWithoutTripsLoadsOnItsCurrentTree) {
    Assignment a;
    a.share(1, 1, 0.5f);
    a.share(1, 2, 0.5f);
    a.trips(1, 10, 1, 0.0f);
    current_path(a.s, 2, 2, 1, {1, kLongFirst, 4, 5});
    assign(a.s, 0, 3600, a.s.link2.mlnum, 1);
    EXPECT_EQ(a.s.assigns.vsum(2), 0.0f);
    EXPECT_NEAR(a.s.assigns.tflow(kLongFirst, 2), 300.0f, 0.01f);
    EXPECT_EQ(a.s.assigns.tflow(kShort, 2), 0.0f);
    EXPECT_NEAR(a.s.assigns.tflow(1, 1), 300.0f, 0.01f);
}

// A tree that leads back to a link ends the walk there; the run log names the
// record, the class and the demand once per slice.
TEST(AssignmentLoading, TreeLoopStopsTheWalkWithOneLogLine) {
    Assignment a;
    a.s.trees.ortree(2, 1, 1) = 1;
    a.s.trees.rgtree(2, 1, 1) = kLongFirst;
    a.s.trees.rgtree(2, kLongFirst, 1) = 4;
    a.s.trees.rgtree(2, 4, 1) = kLongFirst; // back
    auto& flow = a.s.assigns.tflow;
    flow.zero();
    a.s.assigns.loops.clear();
    loadnet(a.s, 0, 1.0f, flow, a.s.assigns.ttime, 3600);
    loadnet(a.s, 0, 0.5f, flow, a.s.assigns.ttime, 3600);
    EXPECT_FLOAT_EQ(flow(1, 1), 900.0f);
    EXPECT_FLOAT_EQ(flow(kLongFirst, 1), 900.0f);
    EXPECT_FLOAT_EQ(flow(4, 1), 900.0f);
    EXPECT_EQ(flow(5, 1), 0.0f);
    int said = 0;
    for (const auto& l : lines_of(a.log()))
        if (contains(l, "returns to link")) {
            ++said;
            EXPECT_TRUE(contains(l, "class           1")) << l;
            EXPECT_TRUE(contains(l, "OD record           1")) << l;
            EXPECT_TRUE(contains(l, "600.")) << l;
        }
    EXPECT_EQ(said, 1) << a.log();
}

// --- tolls -------------------------------------------------------------------------

// Value of time 10 with variation 0.2, a toll of 1.0 on the short route: the
// tree of iteration 3 (quantile 0.5, the median 10 / sqrt(1.04)) counts the
// toll once, at its own quantile, whatever quantile the times were evaluated at.
TEST(AssignmentTolls, TreeCostCountsTheTollOnceAtItsOwnQuantile) {
    Assignment a;
    a.short_route_toll(0, 3600, 1.0f);
    auto& tp = a.s.tolplaz;
    tp.sectol(1, 1) = 10.0f;
    tp.sectol(1, 2) = 0.2f;
    index_tolls(a.s);
    auto& as = a.s.assigns;
    as.tflow.zero();
    esttim(a.s, a.s.link2.mlnum, as.tflow, as.ttime, as.tolls, as.totobj, 0.3f, 0, 3600);
    as.eval_p = 0.3f;
    ASSERT_GT(as.ttime(kShort, 1), 60.0f + 300.0f); // the evaluation holds a toll too
    Array1<float> cost("cost", kMaxLinks);
    selectim(a.s, 1, 0, 3600, 0.5f, as.ttime, cost);
    const double median_seconds = 3600.0 / (10.0 / std::sqrt(1.04)); // 367.1
    EXPECT_NEAR(cost(kShort), 60.0 + median_seconds, 0.1);
    // Untolled links cost their time.
    for (int l : {1, kLongFirst, 4, 5}) EXPECT_FLOAT_EQ(cost(l), as.ttime(l, 1)) << l;
    // A value of time of 0 makes the toll count nothing.
    tp.sectol(1, 1) = 0.0f;
    esttim(a.s, a.s.link2.mlnum, as.tflow, as.ttime, as.tolls, as.totobj, 0.3f, 0, 3600);
    selectim(a.s, 1, 0, 3600, 0.5f, as.ttime, cost);
    EXPECT_NEAR(cost(kShort), 60.0f, 0.01f);
}

// --- classes the assignment does not route -----------------------------------------

TEST(AssignmentClasses, OtherMethodsKeepTheirTreesWeightsAndCosts) {
    Assignment a;
    a.s.set1.tremet(2) = 2;
    a.s.set1.tremet(3) = 6;
    a.share(1, 1, 0.5f);
    a.share(1, 2, 0.25f);
    a.share(1, 3, 0.25f);
    a.trips(1, 10, 1, 0.0f);
    a.trips(11, 10, 2, 0.0f);
    a.trips(21, 10, 3, 0.0f);
    // Class 2's start trees and class 3's external trees all take the long route.
    for (int vt : {2, 3})
        for (int k = 1; k <= kTreesPerClass; ++k) {
            const int tr = (vt - 1) * kTreesPerClass + k;
            stored_path(a.s, tr, 2, 1, {1, kLongFirst, 4, 5});
            a.s.trees.tree_wt(tr, 1) = 0.1f * static_cast<float>(k);
            a.s.trees.tree_wt(tr, 2) = 0.7f + 0.01f * static_cast<float>(k);
        }
    current_path(a.s, 2, 2, 1, {1, kLongFirst, 4, 5});
    a.s.feedback.size_odtime(a.s.set2.mzones, a.s.set2.mmazon);
    a.s.feedback.odtime(1, 2, 2, 1) = 4321;
    a.s.feedback.odtime(1, 2, 3, 1) = 1234;
    preassign(a.s);
    for (int vt : {2, 3}) {
        SCOPED_TRACE(vt);
        for (int k = 1; k <= kTreesPerClass; ++k) {
            const int tr = (vt - 1) * kTreesPerClass + k;
            EXPECT_EQ(a.stored_path(2, 1, tr), (std::vector<int>{1, kLongFirst, 4, 5})) << k;
            EXPECT_FLOAT_EQ(a.s.trees.tree_wt(tr, 1), 0.1f * static_cast<float>(k));
            EXPECT_FLOAT_EQ(a.s.trees.tree_wt(tr, 2), 0.7f + 0.01f * static_cast<float>(k));
        }
        for (int car = 1 + (vt - 1) * 10; car <= vt * 10; ++car)
            EXPECT_EQ(a.s.vehtre.tre_ind(car, 1), 0) << car; // not traced here
    }
    EXPECT_EQ(a.path(2, 1, 2), (std::vector<int>{1, kLongFirst, 4, 5}));
    EXPECT_EQ(a.s.feedback.odtime(1, 2, 2, 1), 4321);
    EXPECT_EQ(a.s.feedback.odtime(1, 2, 3, 1), 1234);
    // The assigned class has its five trees, the first on the short route.
    EXPECT_EQ(a.stored_path(2, 1, 1), (std::vector<int>{1, kShort, 5}));
    for (int car = 1; car <= 10; ++car) EXPECT_GT(a.s.vehtre.tre_ind(car, 1), 0) << car;
    // The report still lists all 25 trees with the slice's weights.
    const auto rows = a.report_lines("         ");
    ASSERT_EQ(rows.size(), 25u);
    EXPECT_EQ(rows[5].substr(10, 26), rows[0].substr(10, 26));
    EXPECT_EQ(rows[5].substr(0, 10), fixed(2, 10, 0)) << "each row names its class";
}

// The assignment's tree listing (slot 18) is written when it is named,
// with or without the periodic tree listing (slot 13): both slices, the
// first from 0 s included, one class of five trees each.
TEST(AssignmentListing, SlotEighteenIsWrittenWhenNamed) {
    for (const bool periodic : {false, true}) {
        SCOPED_TRACE(periodic ? "slots 13 and 18" : "slot 18 alone");
        Assignment a;
        a.s.set1.simtim1 = 1200;
        a.s.set1.trefrq(1, 1) = 600;
        a.s.trees.pd_ot2 = 600;
        a.s.units.use_memory_files();
        a.s.units.open_write(kUnitRunLog, "runerr.out");
        a.s.units.open_write(18, "trees.u18");
        a.s.pathnam.filuse[18] = 1;
        a.s.pathnam.filuse[13] = periodic ? 1 : 0;
        preassign(a.s);
        const auto               lines = support::lines_of(a.s.units.file_text("trees.u18"));
        std::vector<std::string> blocks;
        for (const auto& l : lines)
            if (l.size() == 24 && l[11] != '.') blocks.push_back(l);
        EXPECT_EQ(blocks, (std::vector<std::string>{"       1       5       1",
                                                    "       2       5       1"}));
    }
}

// --- tracing ----------------------------------------------------------------------------

// A toll on the short route from 600 s to 1200 s turns the second slice's
// first tree onto the long route; a trip takes the trees of the slice its
// departure falls in, one at 0 s the first slice's, one at a slice end that
// slice's.
TEST(AssignmentTracing, TripsFollowTheTreesOfTheirSlice) {
    Assignment a;
    a.s.set1.simtim1 = 1200;
    a.s.set1.trefrq(1, 1) = 600;
    a.demand(1, 60.0f, 0.0f, 1200.0f);
    a.short_route_toll(600, 1200, 100.0f);
    struct Case {
        float            dep;
        std::vector<int> path;
    };
    const std::vector<Case> cases = {
        {0.0f, {1, kShort, 5}},          {300.4f, {1, kShort, 5}},
        {600.0f, {1, kShort, 5}},        {600.7f, {1, kShort, 5}}, // whole seconds: 600
        {601.0f, {1, kLongFirst, 4, 5}}, {1200.0f, {1, kLongFirst, 4, 5}}};
    // Random number 0: the first tree of the class.
    for (std::size_t i = 0; i < cases.size(); ++i)
        trip(a.s, static_cast<int>(i) + 1, 1, 2, 1, 0, cases[i].dep);
    preassign(a.s);
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(stored_links(a.s, static_cast<int>(i) + 1), cases[i].path) << cases[i].dep;
}

// Many trips of one slice spread over the five trees as their weights say:
// with random numbers spread evenly, the share of trips on the short route
// is the summed weight of the trees that take it, within one trip per tree
// boundary (5 of the slice's 100 trips).
TEST(AssignmentTracing, TripSharesMatchTheAssignedShares) {
    Assignment a;
    a.s.set1.trefrq(1, 1) = 600;
    a.capacity(kShort, 300.0f);
    constexpr int kPerSlice = 100; // 600 veh/h over 600 s
    for (int slice = 0; slice < 6; ++slice)
        a.trips(1 + slice * kPerSlice, kPerSlice, 1, 600.0f * static_cast<float>(slice) + 300.0f);
    // The trees and weights of the last slice are those in force at the end;
    // the earlier slices' are seen through their trips.
    preassign(a.s);
    for (int slice = 0; slice < 6; ++slice) {
        SCOPED_TRACE(slice);
        int on_short = 0, on_long = 0;
        for (int car = 1 + slice * kPerSlice; car <= (slice + 1) * kPerSlice; ++car) {
            const auto p = stored_links(a.s, car);
            ASSERT_GE(p.size(), 3u);
            (p[1] == kShort ? on_short : on_long) += 1;
        }
        EXPECT_GT(on_short, 0);
        EXPECT_GT(on_long, 0);
        if (slice == 5) {
            float share = 0.0f;
            for (int k = 1; k <= kTreesPerClass; ++k)
                if (a.stored_path(2, 1, k)[1] == kShort) share += a.wt(1, k, 1);
            EXPECT_NEAR(static_cast<float>(on_short) / kPerSlice, share, 0.05f);
            // The assigned flows say the same.
            EXPECT_NEAR(a.s.assigns.tflow(kShort, 1) / 600.0f, share, 1e-4f);
        }
    }
}

// --- "assign.out" -------------------------------------------------------------------

// One route, 600 veh/h at 60 km/h and no queue: 0.2 + 1.0 + 0.2 km take
// 0.0233 h, so objectives 1 and 2 are 600 x 1.4 / 60 = 14 veh-h/h and
// objective 3 is 600 x 1.4 = 840 veh-km/h, in every iteration.
std::vector<std::string> golden_slice(int t, bool search, double obj12, double obj3) {
    std::vector<std::string> g = {"",
                                  free_line(" ================================================"),
                                  free_line(" Assign at time = ", t, "  Assigned classes: 1"),
                                  "",
                                  free_line(" Iteration = ", 1),
                                  ""};
    for (int i = 1; i <= 2; ++i)
        g.push_back("     > Objective Function " + std::to_string(i) + " =" + fixed(obj12, 28, 5));
    g.push_back("     > Objective Function 3 =" + fixed(obj3, 28, 5));
    const double trial[] = {0.1, 0.02, 0.004, 0.0008};
    for (int it = 2; it <= 5; ++it) {
        g.push_back("");
        g.push_back(free_line(" Iteration = ", it));
        if (search)
            for (double w : trial)
                g.push_back("     - weight =" + fixed(w, 10, 5) + fixed(obj12, 20, 5) +
                            fixed(obj12, 20, 5) + fixed(0.0, 10, 5));
        g.push_back("      - weight on new tree = " + fixed(search ? 0.0 : 1.0 / it, 8, 5));
        g.push_back(free_line("  "));
        g.push_back("  > Objective Functions  =" + fixed(obj12, 12, 2) + fixed(obj12, 12, 2) +
                    fixed(obj3, 12, 2));
        g.push_back(free_line("  "));
        g.push_back(free_line("---------------------------------------------------"));
    }
    g.push_back(free_line("   "));
    g.push_back(free_line(" Summary of Lambda and Weight Values on each Tree "));
    g.push_back(
        free_line("     Class      Tree     Tree-Weight  Objective 1  Objective 2 Objective 3"));
    g.push_back(
        free_line("      (#)     Number    Abs     Rel   (veh-hrs)    (veh-hrs)    (veh-km) "));
    g.push_back(free_line("   "));
    for (int vt = 1; vt <= kClasses; ++vt)
        for (int k = 1; k <= 5; ++k) {
            const double w = search ? (k == 1 ? 1.0 : 0.0) : 0.2;
            const double cum = search ? 1.0 : 0.2 * k;
            // Only class 1 is assigned: the others keep their own trees.
            g.push_back(fixed(vt, 10, 0) + fixed(k, 10, 0) + fixed(w, 8, 3) + fixed(cum, 8, 3) +
                        fixed(obj12, 16, 2) + fixed(obj12, 16, 2) + fixed(obj3, 16, 2) +
                        (vt == 1 ? "" : "  keeps its own trees"));
        }
    g.push_back(free_line("   "));
    g.push_back(free_line("==================================================="));
    return g;
}

TEST(AssignReport, OneSliceOfEachMethodAsLaidOut) {
    struct Case {
        const char* name;
        int         method;
        float       rate;
        double      obj12, obj3;
    };
    const std::vector<Case> cases = {{"successive averages", 1, 600.0f, 14.0, 840.0},
                                     {"step search, nothing to gain", 5, 0.0f, 0.0, 0.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Assignment a(kSingle);
        a.s.set1.tremet(1) = c.method;
        a.s.set1.trefrq(1, 1) = 3600;
        a.demand(1, c.rate, 0.0f, 3600.0f);
        a.trips(1, 10, 1, 0.0f);
        preassign(a.s);
        EXPECT_EQ(lines_of(a.report()), golden_slice(0, c.method == 5, c.obj12, c.obj3));
    }
}

TEST(AssignReport, ReportThatCannotBeCreatedCountsOneErrorAndTheAssignmentRuns) {
    Assignment       a(kSingle);
    support::TempDir dir;
    // Files on disk from here on: the report's directory does not exist.
    std::destroy_at(&a.s.units);
    std::construct_at(&a.s.units);
    ASSERT_TRUE(a.s.units.open_write(kUnitRunLog, dir.file("runerr.out")));
    a.s.filenam.path2 = dir.file("missing") + "/";
    a.s.pathnam.lpath[2] = static_cast<int>(a.s.filenam.path2.size());
    a.trips(1, 10, 1, 0.0f);
    preassign(a.s);
    a.s.units.close(kUnitRunLog);
    EXPECT_EQ(a.s.errcount.numerr, 1);
    EXPECT_EQ(a.s.errcount.errt2, 1);
    int said = 0;
    for (const auto& l : lines_of(support::slurp(dir.path() / "runerr.out")))
        said += contains(l, "missing/assign.out") ? 1 : 0;
    EXPECT_EQ(said, 1);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "missing"));
    // The trees and the trips are there all the same.
    EXPECT_GT(a.s.vehtre.tre_ind(1, 1), 0);
    EXPECT_FLOAT_EQ(a.wt(1, 5, 2), 1.0f);
}

TEST(AssignReport, TreeListingWithoutItsFileIsSkippedWithOneLine) {
    Assignment a(kSingle);
    a.s.pathnam.filuse[kTreeListSlot] = 1;
    a.trips(1, 10, 1, 0.0f);
    preassign(a.s);
    int said = 0;
    for (const auto& l : lines_of(a.log())) said += contains(l, "not listed") ? 1 : 0;
    EXPECT_EQ(said, 1) << a.log();
    EXPECT_GT(a.s.vehtre.tre_ind(1, 1), 0);
}

// Switch 50 traces the link times and flows of every iteration and each link
// a loading walks on the run log; without it the log has none of them.
TEST(AssignReport, TracesOnTheRunLogWithSwitchFifty) {
    for (const bool on : {false, true}) {
        SCOPED_TRACE(on);
        Assignment a(kSingle);
        a.s.errflg.errchk[50] = on ? 1 : 0;
        a.trips(1, 10, 1, 0.0f);
        assign(a.s, 0, 3600, a.s.link2.mlnum, 1);
        int                      iter = 0, times = 0, flows = 0, walked = 0;
        std::vector<std::string> first_times;
        for (const auto& l : lines_of(a.log())) {
            iter += l.rfind(free_line(" Iter:"), 0) == 0 ? 1 : 0;
            flows += l.rfind("rep_flw:", 0) == 0 ? 1 : 0;
            walked += l.rfind("  -->", 0) == 0 ? 1 : 0;
            if (l.rfind("rep_tim:", 0) == 0 && times++ < 5) first_times.push_back(l);
        }
        // Times: after the empty network and after each iteration (6 x 5
        // links); flows after each iteration (5 x 5); five loadings of three links.
        EXPECT_EQ(iter, on ? 11 : 0);
        EXPECT_EQ(times, on ? 30 : 0);
        EXPECT_EQ(flows, on ? 25 : 0);
        EXPECT_EQ(walked, on ? 15 : 0);
        if (on) {
            // The empty network: the free-flow time of every class.
            const std::string sixty = "     60.00";
            EXPECT_EQ(first_times[1], "rep_tim: 2" + sixty + sixty + sixty + sixty + sixty);
        }
    }
}

} // namespace
} // namespace velm
