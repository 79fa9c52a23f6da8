#pragma once
// The input phase as its design lays it out, typed here apart from the
// program's own table: every routine (and profiler call) in its order, whether
// the fatal-error guard follows it, and the switch it waits for. The tests
// hold the program to this list, so a routine moved, dropped, swapped with
// another or left without its guard turns them red.
#include <string>
#include <vector>

namespace velm::testing {

enum class Only {
    always,
    synthesis,        // demand synthesis on (the trip-generation reader set step8)
    distance_listing, // master slot 19 in use
    platooning,       // platooning switched on
};

struct PhaseRow {
    const char* name;
    bool        guard = false;
    Only        only = Only::always;
};

inline constexpr bool kGuard = true;

inline const std::vector<PhaseRow>& phase_design() {
    static const std::vector<PhaseRow> rows = {
        {"stim(0)"},
        {"setup"},
        {"readdata", kGuard},
        {"stim(110)"},
        // optional inputs and initialisers
        {"initvid"},
        {"rdtolplz"},
        {"settolplz"},
        {"rdmacdst", kGuard},
        {"rdcmsdst", kGuard},
        {"readacci", kGuard},
        {"readbias", kGuard},
        {"rdsubnet", kGuard},
        {"rdpltdsp", kGuard},
        {"rdlanshf", kGuard},
        {"flanot", kGuard},
        {"dolanper", kGuard},
        {"rddetloc", kGuard},
        {"rdbusstp", kGuard},
        {"rdrmpmtr", kGuard},
        {"updatrmp"},
        {"rdlanebias"},
        {"rdwrgtrn", kGuard},
        {"init_veh_param"},
        {"rd_veh_param", kGuard},
        {"rdwvedat", kGuard},
        {"rdopsgap", kGuard},
        {"plumset"},
        {"travelset"},
        {"infuel"},
        {"epaconv"},
        {"stim(120)"},
        {"rdmxvhsp"},
        {"rdlos"},
        {"rd_atis"},
        {"rd_grade"},
        {"readfuel"},
        {"deffuel"},
        {"rdpdescr", kGuard},
        {"rdwindhd", kGuard},
        {"rdtrpgen", kGuard},
        {"rdmodshf", kGuard, Only::synthesis}, // its guard holds also when it does not run
        {"trp_gen", false, Only::synthesis},
        {"rd_ecodrive", kGuard},
        {"rdshctl", kGuard},
        {"rd_eccs", kGuard},
        {"rd_shql", kGuard},
        {"rd_nbsig", kGuard},
        {"rd_spdharmhw", kGuard},
        {"rd_divc", kGuard},
        {"rd_ecaccms", kGuard},
        {"rd_ola"},
        {"init_highway_spdharm"},
        {"turnperm"},
        {"builddis(1)"},
        {"builddis(2)"},
        // distance-tree listing at second 0
        {"pminpath", false, Only::distance_listing},
        {"stim(150)"},
        // demand synthesis per slice, then the departures
        {"slice_trees", false, Only::synthesis},
        {"trp_dis", false, Only::synthesis},
        {"mod_shf", false, Only::synthesis},
        {"peaksprd", false, Only::synthesis},
        {"genfile4", false, Only::synthesis},
        {"genod"},
        {"stim(130)"},
        // external control and cooperative driving
        {"chkatms"},
        {"read_dyn_lnk_spd_ctrl"},
        {"platoon_activation"},
        {"init_platoon", false, Only::platooning},
        {"init_cd_platooning_data", false, Only::platooning},
        {"vehpos7"},
        {"initial_trees", kGuard},
        {"stim(160)"},
        // first drawing and the state at second 0
        {"viewport"},
        {"incid"},
        {"plotnet"},
        {"detreset"},
        {"tr_tree"},
        {"stim(170)", kGuard},
        // external paths, assignment before the run
        {"read_f(8)", kGuard},
        {"read_f(9)", kGuard},
        {"preassign", kGuard},
        {"forecast"},
        {"pforecast"},
        {"stim(180)"},
        {"adjust"},
        {"stim(190)"},
        {"setanim_spd"},
    };
    return rows;
}

// The names of the rows that run when none of the switches is on.
inline std::vector<std::string> plain_phase() {
    std::vector<std::string> out;
    for (const auto& r : phase_design())
        if (r.only == Only::always) out.emplace_back(r.name);
    return out;
}

} // namespace velm::testing
