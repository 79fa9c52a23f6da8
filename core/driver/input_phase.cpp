// The input phase: from the run logs to the start of the time loop.
#include "core/driver/input_phase.h"

#include "core/control/control.h"
#include "core/demand/demand.h"
#include "core/display/display.h"
#include "core/driver/driver.h"
#include "core/driver/profiler.h"
#include "core/energy/energy.h"
#include "core/io/writers.h"
#include "core/movement/movement.h"
#include "core/network/network.h"
#include "core/reports/reports.h"
#include "core/routing/routing.h"

namespace velm {

namespace {

// Profiler activities charged between the steps of the input phase.
constexpr int kStimInput = 110;      // master file and numbered inputs
constexpr int kStimOptional = 120;   // optional inputs
constexpr int kStimDistTrees = 150;  // distance trees
constexpr int kStimDepartures = 130; // departures
constexpr int kStimInitTrees = 160;  // initial routing trees
constexpr int kStimFirstDraw = 170;  // first drawing and path store
constexpr int kStimAssignment = 180; // pre-simulation assignment and forecast
constexpr int kStimAdjustment = 190; // loading adjustment

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

InputStep step(std::string id, std::function<void(Sim&)> call, bool guard = false) {
    return InputStep{std::move(id), {}, std::move(call), guard, false};
}
InputStep own(std::string id, std::function<void(Sim&)> call) {
    return InputStep{std::move(id), {}, std::move(call), false, true};
}
InputStep when(std::string id, std::function<bool(const Sim&)> cond, std::function<void(Sim&)> call,
               bool guard = false) {
    return InputStep{std::move(id), std::move(cond), std::move(call), guard, false};
}
InputStep mark(std::string id, int activity) {
    return step(std::move(id), [activity](Sim& s) { stim(s, activity); });
}

std::vector<InputStep> build_steps() {
    constexpr bool         G = true; // fatal-error guard after the step
    std::vector<InputStep> v;
    v.push_back(own("1 run logs", [](Sim& s) {
        open_run_log(s, kUnitRunLog, "runerr.out");
        open_run_log(s, kUnitMoveLog, "moverr.out");
    }));
    v.push_back(own("2 object1", [](Sim& s) { s.mainrun.object1.fill(kNoLinkCost); }));
    v.push_back(mark("3 stim(0)", 0));
    v.push_back(
        own("4 setup", [](Sim& s) { setup(s, s.control.t, s.set1.simtim1, s.subtim.indstp); }));
    v.push_back(step("5 readdata", readdata, G));
    v.push_back(mark("6 stim(110)", kStimInput));

    v.push_back(step("7.1 initvid", initvid));
    v.push_back(step("7.2 rdtolplz", rdtolplz));
    v.push_back(step("7.3 settolplz", [](Sim& s) { settolplz(s, 0); }));
    v.push_back(step("7.4 rdmacdst", rdmacdst, G));
    v.push_back(step("7.5 rdcmsdst", rdcmsdst, G));
    v.push_back(step("7.6 readacci", readacci, G));
    v.push_back(step("7.7 readbias", readbias, G));
    v.push_back(step(
        "7.8 rdsubnet", [](Sim& s) { rdsubnet(s, s.link2.mlnum); }, G));
    v.push_back(step("7.9 rdpltdsp", rdpltdsp, G));
    v.push_back(step("7.10 rdlanshf", rdlanshf, G));
    v.push_back(step(
        "7.11 flanot", [](Sim& s) { flanot(s, s.errcount.errt1); }, G));
    v.push_back(step("7.12 dolanper", dolanper, G));
    v.push_back(step("7.13 rddetloc", rddetloc, G));
    v.push_back(step("7.14 rdbusstp", rdbusstp, G));
    v.push_back(step("7.15 rdrmpmtr", rdrmpmtr, G));
    v.push_back(step("7.16 updatrmp", [](Sim& s) { updatrmp(s, 0); }));
    v.push_back(step("7.17 rdlanebias", rdlanebias));
    v.push_back(step("7.18 rdwrgtrn", rdwrgtrn, G));
    v.push_back(step("7.19 init_veh_param", init_veh_param));
    v.push_back(step("7.20 rd_veh_param", rd_veh_param, G));
    v.push_back(step("7.21 rdwvedat", rdwvedat, G));
    v.push_back(step("7.22 rdopsgap", rdopsgap, G));
    v.push_back(step("7.23 plumset", [](Sim& s) { plumset(s, 1, 0); }));
    v.push_back(step("7.24 travelset", [](Sim& s) { travelset(s, 1, 0); }));
    v.push_back(step("7.25 infuel", [](Sim& s) { infuel(s, s.mainrun.temp); }));
    v.push_back(step("7.26 epaconv", epaconv));
    v.push_back(mark("7.27 stim(120)", kStimOptional));
    v.push_back(step("7.28 rdmxvhsp", rdmxvhsp));
    v.push_back(step("7.29 rdlos", rdlos));
    v.push_back(step("7.30 rd_atis", rd_atis));
    v.push_back(step("7.31 rd_grade", rd_grade));
    v.push_back(step("7.32 readfuel", readfuel));
    v.push_back(step("7.33 deffuel", deffuel));
    v.push_back(step("7.34 rdpdescr", rdpdescr, G));
    v.push_back(step("7.35 rdwindhd", rdwindhd, G));
    v.push_back(step("7.36 rdtrpgen", rdtrpgen, G));
    v.push_back(when("7.37 rdmodshf", synthesis_on, rdmodshf, G));
    v.push_back(when("7.38 trp_gen", synthesis_on, trp_gen));
    v.push_back(step("7.39 rd_ecodrive", rd_ecodrive, G));
    v.push_back(step("7.40 rdshctl", rdshctl, G));
    v.push_back(step("7.41 rd_eccs", rd_eccs, G));
    v.push_back(step("7.42 rd_shql", rd_shql, G));
    v.push_back(step("7.43 rd_nbsig", rd_nbsig, G));
    v.push_back(step("7.44 rd_spdharmhw", rd_spdharmhw, G));
    v.push_back(step("7.45 rd_divc", rd_divc, G));
    v.push_back(step("7.46 rd_ecaccms", rd_ecaccms, G));
    v.push_back(step("7.47 rd_ola", rd_ola));
    v.push_back(step("7.48 init_highway_spdharm", init_highway_spdharm));
    v.push_back(step("7.49 turnperm", turnperm));
    v.push_back(step("7.50 builddis(1)", [](Sim& s) { builddis(s, 1); }));
    v.push_back(step("7.50 builddis(2)", [](Sim& s) { builddis(s, 2); }));

    v.push_back(own("8 t=0", [](Sim& s) { s.control.t = 0; }));
    v.push_back(when(
        "8 pminpath", [](const Sim& s) { return s.pathnam.filuse[kDistanceTreeSlot] == 1; },
        [](Sim& s) { pminpath(s, kDistanceTreeSlot, s.control.t, 1, 1, 1, kDistanceTrees); }));
    v.push_back(mark("8 stim(150)", kStimDistTrees));

    v.push_back(when("9 slice_trees", synthesis_on, slice_trees));
    v.push_back(when("9 trp_dis", synthesis_on, trp_dis));
    v.push_back(when("9 mod_shf", synthesis_on, mod_shf));
    v.push_back(when("9 peaksprd", synthesis_on, peaksprd));
    v.push_back(when("9 genfile4", synthesis_on, genfile4));

    v.push_back(step("10 genod", genod));
    v.push_back(mark("10 stim(130)", kStimDepartures));

    v.push_back(step("11 chkatms", chkatms));
    v.push_back(step("11 read_dyn_lnk_spd_ctrl", read_dyn_lnk_spd_ctrl));
    v.push_back(step("11 platoon_activation", platoon_activation));
    auto platooning = [](const Sim& s) { return s.platoon.platoon_activation_flag == 1; };
    v.push_back(when("11 init_platoon", platooning, init_platoon));
    v.push_back(when("11 init_cd_platooning_data", platooning, init_cd_platooning_data));
    v.push_back(InputStep{"11 platooning line", platooning,
                          [](Sim& s) { wfree(s.units, kUnitConsole, "Platooning is Activated."); },
                          false, true});

    v.push_back(step("12 vehpos7", [](Sim& s) { vehpos7(s, 0, 1); }));

    v.push_back(own("13 log lines", [](Sim& s) {
        wfree(s.units, kUnitRunLog, " ");
        wfree(s.units, kUnitRunLog, "    - Completed data input phase   ");
        wfree(s.units, kUnitRunLog, "   ");
        wfree(s.units, kUnitRunLog, "    - Initiating minimum path calculations ");
        wfree(s.units, kUnitSummary, "---------------------------------------------");
        wfree(s.units, kUnitSummary, "  ");
        wfree(s.units, kUnitSummary, " 200. Starting Minimum Path Calculations ");
    }));

    v.push_back(step("14 initial_trees", initial_trees, G));
    v.push_back(mark("14 stim(160)", kStimInitTrees));

    v.push_back(own("15 log lines", [](Sim& s) {
        wfree(s.units, kUnitRunLog, " ");
        wfree(s.units, kUnitRunLog, "    - Initiating simulation logic ");
        wfree(s.units, kUnitRunLog, " ");
        wfree(s.units, kUnitRunLog, " B. Simulation speed : ");
        wfree(s.units, kUnitRunLog);
    }));

    v.push_back(step("16 viewport", [](Sim& s) { viewport(s, s.control.t); }));
    v.push_back(step("16 incid", incid));
    v.push_back(step("16 plotnet", [](Sim& s) { plotnet(s, 1, 1); }));
    v.push_back(step("16 detreset", [](Sim& s) { detreset(s, 0); }));
    v.push_back(step("16 tr_tree", [](Sim& s) { tr_tree(s, 0, 0, 0); }));
    v.push_back(step(
        "16 stim(170)", [](Sim& s) { stim(s, kStimFirstDraw); }, G));

    v.push_back(step(
        "17 read_f(8)", [](Sim& s) { read_f(s, 8); }, G));
    v.push_back(step(
        "17 read_f(9)", [](Sim& s) { read_f(s, 9); }, G));

    v.push_back(step("18 preassign", preassign));
    v.push_back(step("18 forecast", forecast));
    v.push_back(step("18 pforecast", [](Sim& s) { pforecast(s, 0, 0); }));
    v.push_back(mark("18 stim(180)", kStimAssignment));
    v.push_back(step("18 adjust", [](Sim& s) { adjust(s, 1); }));
    v.push_back(mark("18 stim(190)", kStimAdjustment));

    v.push_back(step("19 setanim_spd", [](Sim& s) { setanim_spd(s, s.link2.mlnum); }));
    v.push_back(own("20 nxt_ptime", [](Sim& s) { s.mainrun.nxt_ptime = kNoPauseAsked; }));
    return v;
}

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

} // namespace velm
