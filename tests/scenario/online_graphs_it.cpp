// The on-line graphs and the older menu interface on a live run: the grid and
// the corridor through the console entry to their shortened horizon. At the
// last tick, with the run's units still open, every code the menu decoders
// give goes through its dispatcher; the graphs no dispatcher reaches, the
// listings and the trace line are called directly.
#include "core/display/legacy_menus.h"
#include "core/driver/driver.h"
#include "core/io/writers.h"
#include "core/model/step_probe.h"
#include "core/reports/online_graphs.h"
#include "reports/graph_spy.h"
#include "support/samples.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace velm {
namespace {

constexpr int kSeconds = 240;

const std::string kNoPoints = "Sorry, not enough points available at this time\r";

struct Tally {
    bool                     acted = false;
    int                      codes = 0, dispatched = 0, ignored = 0, unrouted = 0;
    int                      graphs = 0, shown = 0, refused = 0, empty_series = 0, extra_output = 0;
    int                      meter_rates = 0;
    int                      station_flows = 0; // minutes with a counted flow at the station
    bool                     tracer_line = false, keys_kept = false, window_box = false;
    MenuAnswers              answers;
    std::vector<std::string> faults;
};

// The dispatcher of a command code's family; none for the families no
// dispatcher serves.
using Dispatcher = std::optional<MenuCall> (*)(Sim&, int, const MenuAnswers&);
Dispatcher dispatcher_of(int i1) {
    const int h = i1 / 100;
    switch (h) {
    case 3:
        return f300;
    case 9:
        return f900;
    case 11:
        return f1100;
    case 12:
        return f1200;
    case 14:
        return f1400;
    case 18:
    case 19:
        return f1800_1900;
    case 20:
        return f2000;
    case 21:
        return f2100;
    case 22:
        return f2200;
    case 23:
        return f2300;
    case 24:
        return f2400;
    case 41:
        return f4000;
    default:
        return nullptr;
    }
}

// The routines that draw a graph (the rest are listings or empty entries).
bool is_graph(MenuRoutine r) {
    using M = MenuRoutine;
    switch (r) {
    case M::netload:
    case M::cumstat:
    case M::cumdel:
    case M::plt_spdvol:
    case M::det_rep:
    case M::rmp_rep:
    case M::lst_pos:
    case M::dept_his:
    case M::routtime:
    case M::arr_his:
    case M::triptime:
    case M::link_pi:
    case M::sig_pi:
    case M::cyc_his:
        return true;
    default:
        return false;
    }
}

int end_signal(const Sim& s, int l) {
    const int c = std::abs(s.link3.tsignal(l));
    return c >= 1 && c <= kMaxSignals ? c : 0;
}

struct LastTick : StepProbe {
    Sim*   s = nullptr;
    Tally* t = nullptr;

    // The answers a user of this network would give: a signalised link (any
    // coded link without one), its signal, the first active station, the
    // first meter, a trip on the network and a traced trip.
    MenuAnswers answers() const {
        MenuAnswers a;
        for (int l = 1; l <= s->link2.mlnum; ++l) {
            if (!(s->link4.llength(l) > 0.0f)) continue;
            if (a.ilink == 0) a.ilink = l;
            if (end_signal(*s, l) > 0 && s->signal.cycle(end_signal(*s, l)) > 1.0f) {
                a.ilink = l;
                a.isignal = end_signal(*s, l);
                break;
            }
        }
        for (int d = 1; d <= s->detloc.mdetloc && a.idet == 0; ++d)
            if (s->detloc.dettyp(d) > 0) a.idet = d;
        for (int r = 1; r <= s->rmpmeter.nrmpmtr && a.irmp == 0; ++r)
            if (s->rmpmeter.rmploc(r, 1) > 0) a.irmp = r;
        for (int n = 1; n <= s->set2.tdemand; ++n) {
            if (a.iveh == 0 && s->vehindx.vehid(n) > 0) a.iveh = n;
            if (a.car == 0 && s->vehtre.trelst(n, 2) > 0) a.car = n;
            if (a.iorg == 0 && s->vehicle.norig(n) > 0 && s->vehicle.ndest(n) > 0) {
                a.iorg = s->vehicle.norig(n);
                a.idst = s->vehicle.ndest(n);
            }
        }
        a.stim = 0;
        a.etim = s->control.t;
        return a;
    }

    // A graph call showed a non-empty series or the "not enough points" text.
    void check_shown(const testing_graphs::PlotSpy& spy, const support::BoxRecorder& boxes,
                     std::size_t plots0, std::size_t boxes0, const std::string& what) {
        ++t->graphs;
        const std::size_t plots = spy.plots.size() - plots0, shown = boxes.boxes.size() - boxes0;
        if (plots + shown == 0) {
            ++t->refused;
            t->faults.push_back(what + ": nothing shown");
            return;
        }
        if (plots + shown > 1) ++t->extra_output;
        if (plots == 1 && spy.plots.back().np <= 0) ++t->empty_series;
        if (shown == 1 && boxes.boxes.back().text.rfind(kNoPoints, 0) != 0)
            t->faults.push_back(what + ": a box other than the message");
        ++t->shown;
    }

    void step(std::string_view name) override {
        if (name != "redraw_and_adjust" || s->control.t10 != s->set1.simtim10) return;
        t->acted = true;
        support::BoxRecorder    boxes;
        testing_graphs::PlotSpy spy;
        FrontEnd* const         fe = s->fe;
        s->fe = &boxes;
        s->plots = &spy;
        const MenuAnswers a = answers();
        t->answers = a;

        // Every code the decoders give for the entries of a menu of ten.
        std::set<int> codes;
        for (const auto find : {find_i1, find_i2, find_i3, find_i4, find_i6, find_i8})
            for (int l2 = 0; l2 <= 9; ++l2)
                for (int l3 = 0; l3 <= 9; ++l3)
                    for (int l4 = 0; l4 <= 9; ++l4) {
                        int i1 = 0;
                        find(l2, l3, l4, i1);
                        if (i1 != 0) codes.insert(i1);
                    }
        t->codes = static_cast<int>(codes.size());
        const int indstp = s->subtim.step_mode(), clocks = s->subtim.pacing();
        for (int i1 : codes) {
            if (i1 / 100 == 6) {
                int flag1 = 1;
                f600(*s, i1, flag1);
                ++t->dispatched;
                continue;
            }
            const Dispatcher d = dispatcher_of(i1);
            if (!d) {
                ++t->unrouted;
                continue;
            }
            const std::size_t p0 = spy.plots.size(), b0 = boxes.boxes.size();
            const auto        made = d(*s, i1, a);
            if (!made) {
                // A code of the family that its dispatcher does not know.
                ++t->ignored;
                if (spy.plots.size() != p0 || boxes.boxes.size() != b0)
                    t->faults.push_back(std::to_string(i1) + ": output from an unknown code");
                continue;
            }
            ++t->dispatched;
            const std::string what = std::to_string(i1) + " " + routine_name(made->routine);
            if (is_graph(made->routine)) {
                // A network without signals, stations or meters has nothing
                // to show for them.
                const MenuRoutine r = made->routine;
                const bool no_subject = ((r == MenuRoutine::link_pi || r == MenuRoutine::sig_pi ||
                                          r == MenuRoutine::cyc_his) &&
                                         a.isignal == 0) ||
                                        (r == MenuRoutine::det_rep && a.idet == 0) ||
                                        (r == MenuRoutine::rmp_rep && a.irmp == 0);
                if (!no_subject) check_shown(spy, boxes, p0, b0, what);
            } else if (spy.plots.size() != p0 || boxes.boxes.size() != b0) {
                t->faults.push_back(what + ": output from a routine that shows none");
            }
            if (made->routine == MenuRoutine::rmp_rep && spy.plots.size() > p0)
                for (int i = 1; i <= spy.plots.back().np; ++i)
                    t->meter_rates += spy.plots.back().y(i, 1) > 0.0f;
        }
        // The run-control words as they were: the run ends on its own.
        s->subtim.set_step_mode(indstp);
        s->subtim.set_pacing(clocks);

        // The graphs no dispatcher reaches.
        const std::vector<std::pair<std::string, std::function<GraphResult()>>> direct = {
            {"cpugraph 1", [&] { return cpugraph(*s, 1); }},
            {"cpugraph 2", [&] { return cpugraph(*s, 2); }},
            {"cpugraph 3", [&] { return cpugraph(*s, 3); }},
            {"cumdept", [&] { return cumdept(*s); }},
            {"flt_fuel 1", [&] { return flt_fuel(*s, 1); }},
            {"flt_fuel 2", [&] { return flt_fuel(*s, 2); }},
            {"flt_emis 1", [&] { return flt_emis(*s, 1); }},
            {"flt_emis 2", [&] { return flt_emis(*s, 2); }},
            {"for_que", [&] { return for_que(*s, a.ilink); }},
        };
        for (const auto& [what, call] : direct) {
            const std::size_t p0 = spy.plots.size(), b0 = boxes.boxes.size();
            call();
            check_shown(spy, boxes, p0, b0, what);
        }
        if (a.idet > 0) {
            const std::size_t p0 = spy.plots.size();
            det_rep(*s, 1, a.idet);
            if (spy.plots.size() > p0)
                for (int i = 1; i <= spy.plots.back().np; ++i)
                    t->station_flows += spy.plots.back().y(i, 1) > 0.0f;
        }
        if (a.isignal > 0)
            for (int ind = 1; ind <= 2; ++ind) {
                const std::size_t p0 = spy.plots.size(), b0 = boxes.boxes.size();
                laneflow(*s, ind, a.ilink);
                check_shown(spy, boxes, p0, b0, "laneflow " + std::to_string(ind));
            }
        for (int ind = 1; ind <= 2; ++ind) {
            const std::size_t p0 = spy.plots.size(), b0 = boxes.boxes.size();
            const int         links[] = {a.ilink, 0};
            for_flow(*s, ind, links);
            check_shown(spy, boxes, p0, b0, "for_flow " + std::to_string(ind));
        }
        const std::size_t b0 = boxes.boxes.size();
        t->window_box = lst_cor(*s, 1) && lst_cor(*s, 2) && boxes.boxes.size() == b0 + 2;
        lst_keys(*s);
        t->keys_kept = s->graphing.keyhelp.size() == static_cast<std::size_t>(kKeyHelpLines);
        tracer(*s, 7, 7, 1, 2, 3, s->control.t);
        const std::string line =
            " Error Tracer Values        7        7        1        2        3" +
            fmt_i(s->control.t, 9);
        t->tracer_line = s->units.file_text("runerr.out").find(line) != std::string::npos;

        s->plots = nullptr;
        s->fe = fe;
    }
};

Tally run_sample(const std::string& name) {
    Tally                                  tally;
    std::vector<std::unique_ptr<LastTick>> probes;
    ConsoleHost                            host;
    host.new_sim = [&]() {
        auto s = support::sample_sim(name, kSeconds);
        auto p = std::make_unique<LastTick>();
        p->s = s.get();
        p->t = &tally;
        s->probe = p.get();
        probes.push_back(std::move(p));
        return s;
    };
    const std::vector<std::string> args = {"--master", name + ".master"};
    EXPECT_NO_THROW(EXPECT_EQ(velmorantis_main(args, host), kExitCompleted)) << name;
    return tally;
}

void expect_every_graph_shown(const Tally& t, const std::string& name) {
    ASSERT_TRUE(t.acted) << name;
    EXPECT_GT(t.codes, 500) << name;
    EXPECT_GT(t.dispatched, 400) << name;
    EXPECT_GT(t.graphs, 100) << name;
    EXPECT_EQ(t.shown, t.graphs) << name;
    EXPECT_EQ(t.refused, 0) << name;
    EXPECT_EQ(t.empty_series, 0) << name;
    EXPECT_EQ(t.extra_output, 0) << name;
    for (const auto& f : t.faults) ADD_FAILURE() << name << ": " << f;
    EXPECT_TRUE(t.window_box) << name;
    EXPECT_TRUE(t.keys_kept) << name;
    EXPECT_TRUE(t.tracer_line) << name;
    EXPECT_GT(t.ignored, 0) << name;
    EXPECT_GT(t.unrouted, 0) << name;
}

TEST(OnlineGraphsOnARun, EveryMenuCodeAndGraphAtTheLastTickOfTheGrid) {
    const Tally t = run_sample("grid");
    expect_every_graph_shown(t, "grid");
    EXPECT_GT(t.answers.isignal, 0); // the offset index and signal history have a subject
}

TEST(OnlineGraphsOnARun, EveryMenuCodeAndGraphAtTheLastTickOfTheCorridor) {
    const Tally t = run_sample("corridor");
    expect_every_graph_shown(t, "corridor");
    // The corridor has stations and meters, and its meters ran: their rate
    // history is read.
    EXPECT_GT(t.answers.idet, 0);
    EXPECT_GT(t.answers.irmp, 0);
    EXPECT_GT(t.meter_rates, 0);
    EXPECT_GT(t.station_flows, 0) << "the station's graph should show the flows it counted";
}

} // namespace
} // namespace velm
