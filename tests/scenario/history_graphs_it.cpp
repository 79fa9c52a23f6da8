// The graph facility, the speed-based fuel model and the mesoscopic helpers
// on a live run: the grid sample through the console entry to its shortened
// horizon, every graph called at the last tick while the run's units are still
// open. Also: the speed-based polynomial that every run converts is read by
// no model a run uses, so scrambling it changes no output.
#include "core/driver/driver.h"
#include "core/energy/meso_helpers.h"
#include "core/energy/speed_fuel_model.h"
#include "core/model/step_probe.h"
#include "core/reports/history_graphs.h"
#include "reports/graph_spy.h"
#include "support/samples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace velm {
namespace {

constexpr int kSeconds = 240;

struct Counts {
    int  calls = 0, plotted = 0, no_graph = 0, refused = 0, empty_series = 0, boxes = 0;
    int  fuel_checked = 0, meso_links = 0;
    bool meso_second_refused = false;
    bool acted = false;
};

// At the last tick of the run: every graph for each of its kinds.
struct LastTick : StepProbe {
    Sim*    s = nullptr;
    Counts* c = nullptr;
    void    step(std::string_view name) override {
        if (name != "redraw_and_adjust" || s->control.t10 != s->set1.simtim10) return;
        c->acted = true;
        support::BoxRecorder    boxes;
        testing_graphs::PlotSpy spy;
        FrontEnd* const         fe = s->fe;
        s->fe = &boxes;
        s->plots = &spy;
        const auto tally = [&](GraphResult r) {
            ++c->calls;
            if (r == GraphResult::plotted) {
                ++c->plotted;
                if (spy.plots.empty() || spy.plots.back().np <= 0) ++c->empty_series;
            } else if (r == GraphResult::no_graph) {
                ++c->no_graph;
            } else {
                ++c->refused;
            }
        };
        for (int l = 1; l <= s->link2.mlnum; ++l)
            if (s->link4.llength(l) >= 0.0f)
                for (int ind = 1; ind <= 9; ++ind) tally(flow_his(*s, ind, l));
        for (int g = 1; g <= s->signal.msignal; ++g)
            for (int ind = 1; ind <= 4; ++ind) tally(cyc_his(*s, ind, g));
        for (int n = 1; n <= s->set2.tdemand; ++n)
            if (s->vehindx.vehid(n) > 0)
                for (int ind = 1; ind <= 3; ++ind) tally(lst_pos(*s, ind, n));
        const TripFilter all{}, window{5, 0, 0, 0, s->control.t};
        for (int ind1 = 1; ind1 <= 11; ++ind1) {
               tally(triptime(*s, ind1, all));
               tally(triptime(*s, ind1, window));
        }
        for (int ind1 = 1; ind1 <= 6; ++ind1) tally(dept_his(*s, ind1, all));
        for (int ind1 = 1; ind1 <= 7; ++ind1) tally(arr_his(*s, ind1, all));
        c->boxes = static_cast<int>(boxes.boxes.size());
        s->plots = nullptr;
        s->fe = fe;

        // The speed-based model on the run's own coefficients, for each vehicle.
        const auto& fu = s->fuel;
        for (int n = 1; n <= s->set2.tdemand; ++n) {
               const int vid = s->vehindx.vehid(n);
               if (vid <= 0) continue;
            float                                 fuel = 0.0f;
               std::array<float, kSpeedModelConfact> confact{}, temis{};
               environ(10, {s->vehplot.spd(vid, 2), s->vehplot.spd(vid, 4)}, 20.0f, fu.emiss, fuel,
                       fu.fueluse, confact);
               ambifuel(fuel, 20.0f, fu.coldfuel);
               cldfuel(fuel, 20.0f, s->vehplot.trpdst(n, 1), fu.coldfuel);
               cldemis(fuel, confact, temis,
                       static_cast<float>(s->control.t) - s->vehicle.strtrp(n, 1), 20.0f, fu.coldemis);
               if (std::isfinite(fuel) && fuel > 0.0f && std::isfinite(temis[0])) ++c->fuel_checked;
        }

           // The mesoscopic helpers on the grid's links.
        const auto& sv = s->link1.spdvol;
        for (int l = 1; l <= s->link2.mlnum; ++l) {
               if (s->link4.llength(l) < 0.0f) continue;
            const auto k = compute_meso_const_single(sv(l, 7), sv(l, 4), sv(l, 6), sv(l, 5));
               if (!k) continue;
            const double u = compute_avg_spd(sv(l, 7), sv(l, 5) / 2.0, *k);
               const auto   d = compute_duration_in_dc(u / 3.6, 1000.0 * s->link4.llength(l));
               if (std::isfinite(u) && u > 0.0 && d && std::isfinite(*d)) ++c->meso_links;
        }
           const bool first = !meso_allocate_memory(*s) && !meso_initialize_parameters(*s);
        c->meso_second_refused = first && meso_allocate_memory(*s).has_value();
    }
};

TEST(HistoryGraphsOnARun, EveryGraphAtTheLastTickOfTheGrid) {
    Counts                                 counts;
    std::vector<std::unique_ptr<LastTick>> probes;
    ConsoleHost                            host;
    host.new_sim = [&]() {
        auto s = support::sample_sim("grid", kSeconds);
        auto p = std::make_unique<LastTick>();
        p->s = s.get();
        p->c = &counts;
        s->probe = p.get();
        probes.push_back(std::move(p));
        return s;
    };
    const std::vector<std::string> args = {"--master", "grid.master"};
    ASSERT_NO_THROW(EXPECT_EQ(velmorantis_main(args, host), kExitCompleted));
    ASSERT_TRUE(counts.acted);
    // Every call made either a non-empty series or its message.
    EXPECT_GT(counts.plotted, 0);
    EXPECT_EQ(counts.empty_series, 0);
    EXPECT_EQ(counts.refused, 0);
    EXPECT_EQ(counts.boxes, counts.no_graph);
    EXPECT_EQ(counts.plotted + counts.no_graph, counts.calls);
    EXPECT_GT(counts.fuel_checked, 0);
    EXPECT_GT(counts.meso_links, 0);
    EXPECT_TRUE(counts.meso_second_refused);
}

// Scrambles the converted speed-based polynomial once the input phase is over.
struct Scramble : StepProbe {
    Sim* s = nullptr;
    bool done = false, converted = false;
    void step(std::string_view name) override {
        if (done || name != "check_pause") return;
        converted = s->fuel.fueluse(1, 1) != 0.0f;
        for (int r = 1; r <= 4; ++r)
            for (int k = 1; k <= 5; ++k) s->fuel.fueluse(r, k) = 1.0e6f * static_cast<float>(r + k);
        done = true;
    }
};

std::map<std::string, std::string> grid_outputs(bool scramble) {
    auto     s = support::sample_sim("grid", kSeconds);
    Scramble sc;
    sc.s = s.get();
    if (scramble) s->probe = &sc;
    velmorantis(*s, 1);
    s->probe = nullptr;
    if (scramble) {
        EXPECT_TRUE(sc.done);
        EXPECT_TRUE(sc.converted); // the input phase converted the ratings
    }
    // The grid's outputs, named by its lines in the sample signatures.
    std::map<std::string, std::string> files;
    std::istringstream in(support::slurp(std::filesystem::path(VELM_SOURCE_DIR) / "tests" /
                                         "scenario" / "signatures.txt"));
    std::string        name, hash;
    while (in >> name >> hash) {
        if (name.rfind("grid/", 0) != 0) continue;
        const std::string f = name.substr(5);
        files[f] = s->units.exists(f) ? s->units.file_text(f) : "(missing)";
    }
    return files;
}

TEST(HistoryGraphsOnARun, NoRunModelReadsTheSpeedBasedPolynomial) {
    const auto plain = grid_outputs(false);
    const auto scrambled = grid_outputs(true);
    ASSERT_FALSE(plain.empty());
    EXPECT_EQ(plain.size(), scrambled.size());
    for (const auto& [name, text] : plain) {
        const auto it = scrambled.find(name);
        ASSERT_NE(it, scrambled.end()) << name;
        EXPECT_TRUE(it->second == text) << name << " differs";
    }
}

} // namespace
} // namespace velm
