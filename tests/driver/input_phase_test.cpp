// The input phase: its fixed order, the fatal-error guards, the conditional
// steps, and the capacity banner.
#include "core/driver/driver.h"
#include "core/driver/input_phase.h"
#include "driver_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing::memory_sim;

// The calls of the input phase in their order, when demand synthesis, the
// distance-tree listing and platooning are off.
const std::vector<std::string> kOrder = {
    "3 stim(0)",
    "5 readdata",
    "6 stim(110)",
    "7.1 initvid",
    "7.2 rdtolplz",
    "7.3 settolplz",
    "7.4 rdmacdst",
    "7.5 rdcmsdst",
    "7.6 readacci",
    "7.7 readbias",
    "7.8 rdsubnet",
    "7.9 rdpltdsp",
    "7.10 rdlanshf",
    "7.11 flanot",
    "7.12 dolanper",
    "7.13 rddetloc",
    "7.14 rdbusstp",
    "7.15 rdrmpmtr",
    "7.16 updatrmp",
    "7.17 rdlanebias",
    "7.18 rdwrgtrn",
    "7.19 init_veh_param",
    "7.20 rd_veh_param",
    "7.21 rdwvedat",
    "7.22 rdopsgap",
    "7.23 plumset",
    "7.24 travelset",
    "7.25 infuel",
    "7.26 epaconv",
    "7.27 stim(120)",
    "7.28 rdmxvhsp",
    "7.29 rdlos",
    "7.30 rd_atis",
    "7.31 rd_grade",
    "7.32 readfuel",
    "7.33 deffuel",
    "7.34 rdpdescr",
    "7.35 rdwindhd",
    "7.36 rdtrpgen",
    "7.39 rd_ecodrive",
    "7.40 rdshctl",
    "7.41 rd_eccs",
    "7.42 rd_shql",
    "7.43 rd_nbsig",
    "7.44 rd_spdharmhw",
    "7.45 rd_divc",
    "7.46 rd_ecaccms",
    "7.47 rd_ola",
    "7.48 init_highway_spdharm",
    "7.49 turnperm",
    "7.50 builddis(1)",
    "7.50 builddis(2)",
    "8 stim(150)",
    "10 genod",
    "10 stim(130)",
    "11 chkatms",
    "11 read_dyn_lnk_spd_ctrl",
    "11 platoon_activation",
    "12 vehpos7",
    "14 initial_trees",
    "14 stim(160)",
    "16 viewport",
    "16 incid",
    "16 plotnet",
    "16 detreset",
    "16 tr_tree",
    "16 stim(170)",
    "17 read_f(8)",
    "17 read_f(9)",
    "18 preassign",
    "18 forecast",
    "18 pforecast",
    "18 stim(180)",
    "18 adjust",
    "18 stim(190)",
    "19 setanim_spd",
};

// Steps after which a fatal error ends the input phase.
const std::vector<std::string> kGuarded = {
    "5 readdata",       "7.4 rdmacdst",      "7.5 rdcmsdst",      "7.6 readacci",
    "7.7 readbias",     "7.8 rdsubnet",      "7.9 rdpltdsp",      "7.10 rdlanshf",
    "7.11 flanot",      "7.12 dolanper",     "7.13 rddetloc",     "7.14 rdbusstp",
    "7.15 rdrmpmtr",    "7.18 rdwrgtrn",     "7.20 rd_veh_param", "7.21 rdwvedat",
    "7.22 rdopsgap",    "7.34 rdpdescr",     "7.35 rdwindhd",     "7.36 rdtrpgen",
    "7.39 rd_ecodrive", "7.40 rdshctl",      "7.41 rd_eccs",      "7.42 rd_shql",
    "7.43 rd_nbsig",    "7.44 rd_spdharmhw", "7.45 rd_divc",      "7.46 rd_ecaccms",
    "14 initial_trees", "16 stim(170)",      "17 read_f(8)",      "17 read_f(9)",
};

// The production steps with every call out of the driver replaced by a
// recorder; `act` runs inside the recorder of the step it names.
struct Recorded {
    std::vector<std::string> calls;
    bool                     completed = false;
};

Recorded walk(Sim& s, const std::function<void(Sim&, const std::string&)>& act = {}) {
    Recorded               rec;
    std::vector<InputStep> steps = input_steps();
    for (InputStep& st : steps) {
        if (st.own) continue;
        st.call = [&rec, &act, id = st.id](Sim& sim) {
            rec.calls.push_back(id);
            if (act) act(sim, id);
        };
    }
    // readdata is replaced too: the summary output it would open is needed by
    // the phase's own lines.
    s.units.open_write(kUnitSummary, "summary.out");
    rec.completed = run_input_steps(s, steps);
    return rec;
}

TEST(InputPhase, CallsEveryStepInItsFixedOrder) {
    auto s = memory_sim();
    auto rec = walk(*s);
    EXPECT_TRUE(rec.completed);
    EXPECT_EQ(rec.calls, kOrder);
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

TEST(InputPhase, EachGuardStopsEverythingAfterIt) {
    for (const std::string& guarded : kGuarded) {
        SCOPED_TRACE(guarded);
        auto s = memory_sim();
        auto rec = walk(*s, [&](Sim& sim, const std::string& id) {
            if (id == guarded) sim.errcount.errt1 += 1;
        });
        EXPECT_FALSE(rec.completed);
        const auto at = std::find(kOrder.begin(), kOrder.end(), guarded);
        ASSERT_NE(at, kOrder.end());
        EXPECT_EQ(rec.calls, std::vector<std::string>(kOrder.begin(), at + 1));
    }
}

TEST(InputPhase, UnguardedStepsRunOnUntilTheNextGuard) {
    // An error of rdlanebias (no guard) is caught after rdwrgtrn, which runs.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"7.17 rdlanebias", "7.18 rdwrgtrn"},
        {"7.1 initvid", "7.4 rdmacdst"},
        {"7.47 rd_ola", "14 initial_trees"},
        {"18 preassign", "19 setanim_spd"}};
    for (const auto& c : cases) {
        const std::string failing = c.first, last = c.second;
        SCOPED_TRACE(failing);
        auto s = memory_sim();
        auto rec = walk(*s, [&](Sim& sim, const std::string& id) {
            if (id == failing) sim.errcount.errt1 += 1;
        });
        ASSERT_FALSE(rec.calls.empty());
        EXPECT_EQ(rec.calls.back(), last);
        // The last step has no guard after it, so the phase still completes.
        EXPECT_EQ(rec.completed, last == "19 setanim_spd");
    }
}

TEST(InputPhase, DemandSynthesisSteps) {
    // Off: none of its steps run, rdmodshf's guard is still in place.
    {
        auto s = memory_sim();
        auto rec = walk(*s);
        for (const char* id : {"7.37 rdmodshf", "7.38 trp_gen", "9 slice_trees", "9 trp_dis",
                               "9 mod_shf", "9 peaksprd", "9 genfile4"})
            EXPECT_EQ(std::count(rec.calls.begin(), rec.calls.end(), id), 0) << id;
        const auto& steps = input_steps();
        const auto  it = std::find_if(steps.begin(), steps.end(),
                                      [](const InputStep& st) { return st.id == "7.37 rdmodshf"; });
        ASSERT_NE(it, steps.end());
        EXPECT_TRUE(it->guard);
    }
    // On (the trip-generation reader sets step8): its steps run in order,
    // before the departures.
    {
        auto s = memory_sim();
        auto rec = walk(*s, [](Sim& sim, const std::string& id) {
            if (id == "7.36 rdtrpgen") sim.landuse.step8 = 1;
        });
        auto pos = [&](const char* id) {
            return std::find(rec.calls.begin(), rec.calls.end(), id) - rec.calls.begin();
        };
        std::vector<std::string> synth = {"7.36 rdtrpgen", "7.37 rdmodshf", "7.38 trp_gen",
                                          "7.39 rd_ecodrive"};
        EXPECT_EQ(std::vector<std::string>(rec.calls.begin() + pos("7.36 rdtrpgen"),
                                           rec.calls.begin() + pos("7.36 rdtrpgen") + 4),
                  synth);
        synth = {"8 stim(150)", "9 slice_trees", "9 trp_dis", "9 mod_shf",
                 "9 peaksprd",  "9 genfile4",    "10 genod"};
        EXPECT_EQ(std::vector<std::string>(rec.calls.begin() + pos("8 stim(150)"),
                                           rec.calls.begin() + pos("8 stim(150)") + 7),
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
            if (id == "7.50 builddis(2)") sim.control.t = 42; // t moved before step 8
            if (id == "8 pminpath") t_at_listing = sim.control.t;
        });
        const bool listed = std::count(rec.calls.begin(), rec.calls.end(), "8 pminpath") == 1;
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
        if (id == "11 platoon_activation") sim.platoon.platoon_activation_flag = 1;
    });
    const auto  at = std::find(rec.calls.begin(), rec.calls.end(), "11 platoon_activation");
    ASSERT_NE(at, rec.calls.end());
    EXPECT_EQ(*(at + 1), "11 init_platoon");
    EXPECT_EQ(*(at + 2), "11 init_cd_platooning_data");
    EXPECT_EQ(*(at + 3), "12 vehpos7");
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
