// The input phase: its fixed order against the design, the fatal-error
// guards, the conditional steps, and the capacity banner.
#include "core/driver/driver.h"
#include "core/driver/input_phase.h"
#include "driver_fixture.h"
#include "input_phase_design.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing::memory_sim;
using testing::Only;
using testing::phase_design;
using testing::plain_phase;

// The production steps with every call out of the driver replaced by a
// recorder; `act` runs inside the recorder of the step it names. The driver's
// own bookkeeping runs as it is; of it, only the routines the design names
// (setup) are recorded.
struct Recorded {
    std::vector<std::string> calls;
    bool                     completed = false;
};

bool in_design(const std::string& name) {
    const auto& d = phase_design();
    return std::any_of(d.begin(), d.end(), [&](const auto& r) { return name == r.name; });
}

Recorded walk(Sim& s, const std::function<void(Sim&, const std::string&)>& act = {}) {
    Recorded               rec;
    std::vector<InputStep> steps = input_steps();
    for (InputStep& st : steps) {
        if (st.own) {
            if (!in_design(st.name)) continue;
            st.call = [&rec, real = st.call, name = st.name](Sim& sim) {
                rec.calls.push_back(name);
                real(sim);
            };
            continue;
        }
        st.call = [&rec, &act, name = st.name](Sim& sim) {
            rec.calls.push_back(name);
            if (act) act(sim, name);
        };
    }
    // readdata is replaced too: the summary output it would open is needed by
    // the phase's own lines.
    s.units.open_write(kUnitSummary, "summary.out");
    rec.completed = run_input_steps(s, steps);
    return rec;
}

TEST(InputPhase, StepsAreTheDesignsRoutinesWithTheirGuards) {
    std::vector<std::string> names, guarded, want_guarded, conditional, want_conditional;
    for (const InputStep& st : input_steps()) {
        if (!in_design(st.name)) {
            EXPECT_TRUE(st.own) << st.name << " calls out but the design has no such routine";
            continue;
        }
        names.push_back(st.name);
        if (st.guard) guarded.push_back(st.name);
        if (st.when) conditional.push_back(st.name);
    }
    std::vector<std::string> want;
    for (const auto& r : phase_design()) {
        want.emplace_back(r.name);
        if (r.guard) want_guarded.emplace_back(r.name);
        if (r.only != Only::always) want_conditional.emplace_back(r.name);
    }
    EXPECT_EQ(names, want);
    EXPECT_EQ(guarded, want_guarded);
    EXPECT_EQ(conditional, want_conditional);
}

TEST(InputPhase, EveryStepHasItsOwnNameAndOrdinal) {
    const auto& steps = input_steps();
    for (std::size_t i = 0; i < steps.size(); ++i)
        EXPECT_EQ(step_ordinal(steps, steps[i].name), static_cast<int>(i) + 1) << steps[i].name;
    EXPECT_EQ(step_ordinal(steps, "no such routine"), 0);
    EXPECT_LT(step_ordinal(steps, "init_veh_param"), step_ordinal(steps, "rd_veh_param"));
}

TEST(InputPhase, CallsEveryStepInItsFixedOrder) {
    auto s = memory_sim();
    auto rec = walk(*s);
    EXPECT_TRUE(rec.completed);
    EXPECT_EQ(rec.calls, plain_phase());
    EXPECT_EQ(s->mainrun.nxt_ptime, 99999999);
    EXPECT_FLOAT_EQ(s->mainrun.object1(1), 99999.0f);
    EXPECT_FLOAT_EQ(s->mainrun.object1(kMaxLinks), 99999.0f);
    const std::string log = s->units.file_text("runerr.out");
    EXPECT_NE(log.find(" A. Array dimensions : "), std::string::npos);
    EXPECT_NE(log.find("    - Completed data input phase   "), std::string::npos);
    EXPECT_NE(log.find("  B. Simulation speed : \n\n"), std::string::npos);
    EXPECT_NE(s->units.file_text("summary.out").find(" 200. Starting Minimum Path Calculations "),
              std::string::npos);
}

// An error counted at any step after the banner (which zeroes the counters)
// ends the phase at the first guard at or after that step: the steps up to
// the guard run, nothing after it. Without a guard left, the phase completes.
TEST(InputPhase, AnErrorEndsThePhaseAtTheNextGuard) {
    const std::vector<std::string> order = plain_phase();
    const auto&                    design = phase_design();
    auto                           guard_at = [&](const std::string& name) {
        return std::find_if(design.begin(), design.end(),
                                                      [&](const auto& r) { return name == r.name; })
            ->guard;
    };
    auto       s = memory_sim(); // rows do not interact: setup zeroes the count each time
    const auto banner = std::find(order.begin(), order.end(), "setup");
    ASSERT_NE(banner, order.end());
    for (auto failing = banner + 1; failing != order.end(); ++failing) {
        SCOPED_TRACE(*failing);
        auto rec = walk(*s, [&](Sim& sim, const std::string& id) {
            if (id == *failing) sim.errcount.errt1 += 1;
        });
        auto last = failing;
        while (last != order.end() && !guard_at(*last)) ++last;
        const bool stopped = last != order.end();
        EXPECT_EQ(rec.completed, !stopped);
        EXPECT_EQ(rec.calls, std::vector<std::string>(order.begin(), stopped ? last + 1 : last));
    }
}

TEST(InputPhase, DemandSynthesisSteps) {
    // Off: none of its steps run, rdmodshf's guard is still in place.
    {
        auto s = memory_sim();
        auto rec = walk(*s);
        for (const char* id :
             {"rdmodshf", "trp_gen", "slice_trees", "trp_dis", "mod_shf", "peaksprd", "genfile4"})
            EXPECT_EQ(std::count(rec.calls.begin(), rec.calls.end(), id), 0) << id;
        const auto& steps = input_steps();
        const auto  it = std::find_if(steps.begin(), steps.end(),
                                      [](const InputStep& st) { return st.name == "rdmodshf"; });
        ASSERT_NE(it, steps.end());
        EXPECT_TRUE(it->guard);
    }
    // On (the trip-generation reader sets step8): its steps run in order,
    // before the departures.
    {
        auto s = memory_sim();
        auto rec = walk(*s, [](Sim& sim, const std::string& id) {
            if (id == "rdtrpgen") sim.landuse.step8 = 1;
        });
        auto pos = [&](const char* id) {
            return std::find(rec.calls.begin(), rec.calls.end(), id) - rec.calls.begin();
        };
        std::vector<std::string> synth = {"rdtrpgen", "rdmodshf", "trp_gen", "rd_ecodrive"};
        EXPECT_EQ(std::vector<std::string>(rec.calls.begin() + pos("rdtrpgen"),
                                           rec.calls.begin() + pos("rdtrpgen") + 4),
                  synth);
        synth = {"stim(150)", "slice_trees", "trp_dis", "mod_shf", "peaksprd", "genfile4", "genod"};
        EXPECT_EQ(std::vector<std::string>(rec.calls.begin() + pos("stim(150)"),
                                           rec.calls.begin() + pos("stim(150)") + 7),
                  synth);
    }
}

TEST(InputPhase, DistanceTreeListingOnlyWithSlot19) {
    for (int filuse19 : {0, 1}) {
        SCOPED_TRACE(filuse19);
        auto s = memory_sim();
        s->pathnam.filuse[19] = filuse19;
        int        t_at_listing = -1;
        auto       rec = walk(*s, [&](Sim& sim, const std::string& id) {
            if (id == "builddis(2)") sim.control.t = 42; // t moved before the listing
            if (id == "pminpath") t_at_listing = sim.control.t;
        });
        const bool listed = std::count(rec.calls.begin(), rec.calls.end(), "pminpath") == 1;
        EXPECT_EQ(listed, filuse19 == 1);
        if (listed) {
            EXPECT_EQ(t_at_listing, 0);
        }
        EXPECT_EQ(s->control.t, 0);
    }
}

TEST(InputPhase, PlatooningStepsFollowTheFlag) {
    std::string console;
    auto        s = memory_sim(&console);
    auto        rec = walk(*s, [](Sim& sim, const std::string& id) {
        if (id == "platoon_activation") sim.platoon.platoon_activation_flag = 1;
    });
    const auto  at = std::find(rec.calls.begin(), rec.calls.end(), "platoon_activation");
    ASSERT_NE(at, rec.calls.end());
    EXPECT_EQ(*(at + 1), "init_platoon");
    EXPECT_EQ(*(at + 2), "init_cd_platooning_data");
    EXPECT_EQ(*(at + 3), "vehpos7");
    EXPECT_NE(console.find("Platooning is Activated."), std::string::npos);
}

TEST(Setup, CapacityBanner) {
    struct Line {
        const char* label;
        int         value;
    };
    const Line capacity[21] = {
        {"    - max number of od pairs           =", 320000},
        {"    - max number of vehicles           =", 560000},
        {"    - max number of vehicle types      =", 5},
        {"    - max number of links              =", 4487},
        {"    - max node number                  =", 2996},
        {"    - max links into/out of node       =", 7},
        {"    - max number of vehicles on network=", 480000},
        {"    - max zone number                  =", 410},
        {"    - max number of future time steps  =", 120},
        {"    - max signal number                =", 500},
        {"    - max number of phases per signal  =", 6},
        {"    - max incident number              =", 35},
        {"    - max number of files              =", 50},
        {"    - max number random number seeds   =", 6},
        {"    - max number equilibrium paths vt1 =", 25},
        {"    - max number of forward tree nodes =", 1},
        {"    - max number of forward minutes    =", 120},
        {"    - max number of macro zone clusters=", 500},
        {"    - max number of network lanes      =", 9000},
        {"    - max veh concurrent on network    =", 380000},
        {"    - max detector station number      =", 3600},
    };
    auto s = memory_sim();
    s->units.open_write(kUnitRunLog, "runerr.out");
    s->control.t = 5;
    s->set1.simtim1 = 7;
    s->errcount.errt1 = 3;
    s->subtim.set_step_mode(1);
    setup(*s, s->control.t, s->set1.simtim1, s->subtim.indstp);
    EXPECT_EQ(s->control.t, 0);
    EXPECT_EQ(s->set1.simtim1, 0);
    EXPECT_EQ(s->subtim.step_mode(), 0);
    EXPECT_EQ(s->errcount.errt1, 0);

    const auto lines = testing::lines_of(s->units.file_text("runerr.out"));
    ASSERT_EQ(lines.size(), 11u + 21u + 1u);
    const std::string rule = std::string(6, ' ') + std::string(66, '=');
    EXPECT_EQ(lines[0], "");
    EXPECT_EQ(lines[1], rule);
    EXPECT_EQ(lines[2].substr(0, 30), "          VELMORANTIS Release ");
    EXPECT_EQ(lines[2].substr(lines[2].size() - 38), ": TRAFFIC NETWORK SIMULATION MODEL    ");
    EXPECT_EQ(lines[7], rule);
    EXPECT_EQ(lines[9], " A. Array dimensions : ");
    EXPECT_EQ(lines[10], "");
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(lines[11 + static_cast<std::size_t>(i)],
                  std::string(" ") + capacity[i].label + " " +
                      testing::right(capacity[i].value, 11));
    EXPECT_EQ(lines.back(), "");
}

} // namespace
} // namespace velm
