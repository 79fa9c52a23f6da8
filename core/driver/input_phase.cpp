// The input phase: from the run logs to the start of the time loop.
#include "core/driver/input_phase.h"

#include "core/control/control.h"
#include "core/demand/demand.h"
#include "core/display/display.h"
#include "core/driver/driver.h"
#include "core/driver/loop_step.h"
#include "core/driver/profiler.h"
#include "core/energy/energy.h"
#include "core/io/writers.h"
#include "core/movement/movement.h"
#include "core/network/network.h"
#include "core/reports/reports.h"
#include "core/routing/routing.h"

#include <algorithm>
#include <string>

namespace velm {

namespace {

constexpr int kDistanceTreeSlot = 19;
constexpr int kDistanceTrees = 3; // pminpath mode: the distance trees

// The run logs live in the working directory. When "runerr.out" cannot be
// created the run log goes to standard error (with a word on the console), so
// no message of the run is lost.
void open_run_log(Sim& s, int unit, const char* name) {
    if (s.units.open_write(unit, name)) return;
    wfree(s.units, kUnitConsole, "[WARNING] ", name,
          " cannot be created; its lines go to standard error");
    s.units.open_write(unit, "/dev/stderr", true);
}

bool synthesis_on(const Sim& s) {
    return s.landuse.step8 == 1;
}

// One routine with the arguments of its step.
struct Routine {
    const char* name;
    void (*call)(Sim&);
};

// The step's name and its call come from the same routine token, so a name can
// never point at another routine than the one that runs; the call names
// itself to a test's probe as it runs (production runs have none).
// VELM_ROUTINE(settolplz, 0) runs settolplz(s, 0) under the name "settolplz".
// clang-format off
#define VELM_ROUTINE(fn, ...) \
    Routine{#fn, [](Sim& s) { note_step(s, #fn); fn(s __VA_OPT__(, ) __VA_ARGS__); }}
// A routine that runs at two steps, named with its one argument: "builddis(2)".
#define VELM_ROUTINE_AT(fn, arg) \
    Routine{#fn "(" #arg ")", [](Sim& s) { note_step(s, #fn "(" #arg ")"); fn(s, arg); }}
// clang-format on

InputStep step(Routine r, bool guard = false) {
    return InputStep{r.name, {}, r.call, guard, false};
}
InputStep when(std::function<bool(const Sim&)> cond, Routine r, bool guard = false) {
    return InputStep{r.name, std::move(cond), r.call, guard, false};
}
InputStep own(std::string name, std::function<void(Sim&)> call) {
    return InputStep{std::move(name), {}, std::move(call), false, true};
}
InputStep own(Routine r) {
    return InputStep{r.name, {}, r.call, false, true};
}
// A profiler call (a reset or a mark); the probe sees it through the
// profiler itself.
InputStep profiler(int flag, bool guard = false) {
    return InputStep{
        "stim(" + std::to_string(flag) + ")", {}, [flag](Sim& s) { stim(s, flag); }, guard, false};
}
InputStep mark(Activity a, bool guard = false) {
    return profiler(static_cast<int>(a), guard);
}

std::vector<InputStep> build_steps() {
    constexpr bool         G = true; // fatal-error guard after the step
    std::vector<InputStep> v;
    v.push_back(own("open_run_logs", [](Sim& s) {
        open_run_log(s, kUnitRunLog, "runerr.out");
        open_run_log(s, kUnitMoveLog, "moverr.out");
    }));
    v.push_back(own("no_link_costs", [](Sim& s) { s.mainrun.object1.fill(kNoLinkCost); }));
    v.push_back(profiler(kStimReset));
    v.push_back(own(VELM_ROUTINE(setup, s.control.t, s.set1.simtim1, s.subtim.indstp)));
    v.push_back(step(VELM_ROUTINE(readdata), G));
    v.push_back(mark(Activity::inputs));

    // Optional inputs and initialisers.
    v.push_back(step(VELM_ROUTINE(initvid)));
    v.push_back(step(VELM_ROUTINE(rdtolplz)));
    v.push_back(step(VELM_ROUTINE(settolplz, 0)));
    v.push_back(step(VELM_ROUTINE(rdmacdst), G));
    v.push_back(step(VELM_ROUTINE(rdcmsdst), G));
    v.push_back(step(VELM_ROUTINE(readacci), G));
    v.push_back(step(VELM_ROUTINE(readbias), G));
    v.push_back(step(VELM_ROUTINE(rdsubnet, s.link2.mlnum), G));
    v.push_back(step(VELM_ROUTINE(rdpltdsp), G));
    v.push_back(step(VELM_ROUTINE(rdlanshf), G));
    v.push_back(step(VELM_ROUTINE(flanot, s.errcount.errt1), G));
    v.push_back(step(VELM_ROUTINE(dolanper), G));
    v.push_back(step(VELM_ROUTINE(rddetloc), G));
    v.push_back(step(VELM_ROUTINE(rdbusstp), G));
    v.push_back(step(VELM_ROUTINE(rdrmpmtr), G));
    v.push_back(step(VELM_ROUTINE(updatrmp, 0)));
    v.push_back(step(VELM_ROUTINE(rdlanebias)));
    v.push_back(step(VELM_ROUTINE(rdwrgtrn), G));
    v.push_back(step(VELM_ROUTINE(init_veh_param)));
    v.push_back(step(VELM_ROUTINE(rd_veh_param), G));
    v.push_back(step(VELM_ROUTINE(rdwvedat), G));
    v.push_back(step(VELM_ROUTINE(rdopsgap), G));
    v.push_back(step(VELM_ROUTINE(plumset, 1, 0)));
    v.push_back(step(VELM_ROUTINE(travelset, 1, 0)));
    v.push_back(step(VELM_ROUTINE(infuel, s.mainrun.temp)));
    v.push_back(step(VELM_ROUTINE(epaconv)));
    v.push_back(mark(Activity::optional_inputs));
    v.push_back(step(VELM_ROUTINE(rdmxvhsp)));
    v.push_back(step(VELM_ROUTINE(rdlos)));
    v.push_back(step(VELM_ROUTINE(rd_atis)));
    v.push_back(step(VELM_ROUTINE(rd_grade)));
    v.push_back(step(VELM_ROUTINE(readfuel)));
    v.push_back(step(VELM_ROUTINE(deffuel)));
    v.push_back(step(VELM_ROUTINE(rdpdescr), G));
    v.push_back(step(VELM_ROUTINE(rdwindhd), G));
    v.push_back(step(VELM_ROUTINE(rdtrpgen), G));
    // rdmodshf's guard holds also when synthesis is off and it does not run.
    v.push_back(when(synthesis_on, VELM_ROUTINE(rdmodshf), G));
    v.push_back(when(synthesis_on, VELM_ROUTINE(trp_gen)));
    v.push_back(step(VELM_ROUTINE(rd_ecodrive), G));
    v.push_back(step(VELM_ROUTINE(rdshctl), G));
    v.push_back(step(VELM_ROUTINE(rd_eccs), G));
    v.push_back(step(VELM_ROUTINE(rd_shql), G));
    v.push_back(step(VELM_ROUTINE(rd_nbsig), G));
    v.push_back(step(VELM_ROUTINE(rd_spdharmhw), G));
    v.push_back(step(VELM_ROUTINE(rd_divc), G));
    v.push_back(step(VELM_ROUTINE(rd_ecaccms), G));
    v.push_back(step(VELM_ROUTINE(rd_ola)));
    v.push_back(step(VELM_ROUTINE(init_highway_spdharm)));
    v.push_back(step(VELM_ROUTINE(turnperm)));
    v.push_back(step(VELM_ROUTINE_AT(builddis, 1)));
    v.push_back(step(VELM_ROUTINE_AT(builddis, 2)));

    // The distance-tree listing, at second 0.
    v.push_back(own("clock_to_zero", [](Sim& s) { s.control.t = 0; }));
    v.push_back(
        when([](const Sim& s) { return s.pathnam.filuse[kDistanceTreeSlot] == 1; },
             VELM_ROUTINE(pminpath, kDistanceTreeSlot, s.control.t, 1, 1, 1, kDistanceTrees)));
    v.push_back(mark(Activity::distance_trees));

    // Demand synthesis, then the departures.
    v.push_back(when(synthesis_on, VELM_ROUTINE(slice_trees)));
    v.push_back(when(synthesis_on, VELM_ROUTINE(trp_dis)));
    v.push_back(when(synthesis_on, VELM_ROUTINE(mod_shf)));
    v.push_back(when(synthesis_on, VELM_ROUTINE(peaksprd)));
    v.push_back(when(synthesis_on, VELM_ROUTINE(genfile4)));
    v.push_back(step(VELM_ROUTINE(genod)));
    v.push_back(mark(Activity::departures));

    // External control and cooperative driving.
    v.push_back(step(VELM_ROUTINE(chkatms)));
    v.push_back(step(VELM_ROUTINE(read_dyn_lnk_spd_ctrl)));
    v.push_back(step(VELM_ROUTINE(platoon_activation)));
    auto platooning = [](const Sim& s) { return s.platoon.platoon_activation_flag == 1; };
    v.push_back(when(platooning, VELM_ROUTINE(init_platoon)));
    v.push_back(when(platooning, VELM_ROUTINE(init_cd_platooning_data)));
    v.push_back(InputStep{"platooning_line", platooning,
                          [](Sim& s) { wfree(s.units, kUnitConsole, "Platooning is Activated."); },
                          false, true});

    v.push_back(step(VELM_ROUTINE(vehpos7, 0, 1)));

    v.push_back(own("input_done_lines", [](Sim& s) {
        wfree(s.units, kUnitRunLog, " ");
        wfree(s.units, kUnitRunLog, "    - Completed data input phase   ");
        wfree(s.units, kUnitRunLog, "   ");
        wfree(s.units, kUnitRunLog, "    - Initiating minimum path calculations ");
        wfree(s.units, kUnitSummary, "---------------------------------------------");
        wfree(s.units, kUnitSummary, "  ");
        wfree(s.units, kUnitSummary, " 200. Starting Minimum Path Calculations ");
    }));

    v.push_back(step(VELM_ROUTINE(initial_trees), G));
    v.push_back(mark(Activity::initial_trees));

    v.push_back(own("simulation_start_lines", [](Sim& s) {
        wfree(s.units, kUnitRunLog, " ");
        wfree(s.units, kUnitRunLog, "    - Initiating simulation logic ");
        wfree(s.units, kUnitRunLog, " ");
        wfree(s.units, kUnitRunLog, " B. Simulation speed : ");
        wfree(s.units, kUnitRunLog);
    }));

    // The first drawing and the state at second 0.
    v.push_back(step(VELM_ROUTINE(viewport, s.control.t)));
    v.push_back(step(VELM_ROUTINE(incid)));
    v.push_back(step(VELM_ROUTINE(plotnet, 1, 1)));
    v.push_back(step(VELM_ROUTINE(detreset, 0)));
    v.push_back(step(VELM_ROUTINE(tr_tree, 0, 0, 0)));
    v.push_back(mark(Activity::first_drawing, G));

    // Paths given from outside, then the assignment before the run.
    v.push_back(step(VELM_ROUTINE_AT(read_f, 8), G));
    v.push_back(step(VELM_ROUTINE_AT(read_f, 9), G));
    v.push_back(step(VELM_ROUTINE(preassign), G));
    v.push_back(step(VELM_ROUTINE(forecast)));
    v.push_back(step(VELM_ROUTINE(pforecast, 0, 0)));
    v.push_back(mark(Activity::assignment));
    v.push_back(step(VELM_ROUTINE(adjust, 1)));
    v.push_back(mark(Activity::loading_adjustment));

    v.push_back(step(VELM_ROUTINE(setanim_spd, s.link2.mlnum)));
    v.push_back(own("no_pause_asked", [](Sim& s) { s.mainrun.nxt_ptime = kNoPauseAsked; }));
    return v;
}

#undef VELM_ROUTINE
#undef VELM_ROUTINE_AT

} // namespace

const std::vector<InputStep>& input_steps() {
    static const std::vector<InputStep> steps = build_steps();
    return steps;
}

bool run_input_steps(Sim& s, std::span<const InputStep> steps) {
    for (const InputStep& st : steps) {
        if (!st.when || st.when(s)) st.call(s);
        if (st.guard && s.errcount.errt1 > 0) return false;
    }
    return true;
}

int step_ordinal(std::span<const InputStep> steps, std::string_view name) {
    const auto it = std::find_if(steps.begin(), steps.end(),
                                 [name](const InputStep& st) { return st.name == name; });
    return it == steps.end() ? 0 : static_cast<int>(it - steps.begin()) + 1;
}

} // namespace velm
