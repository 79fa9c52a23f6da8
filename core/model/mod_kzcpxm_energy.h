#pragma once
// Run-wide switches and per-type coefficients of the power-based energy
// model, and the per-link and per-trip fields set before the run. The
// vehicle-type reader fills what is here; the energy subsystem adds its own
// state to this table.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <array>

namespace velm {

struct mod_kzcpxm_energy {
    int           energy_model = 0; // 0 speed/acceleration regression, 1 power-based model
    int           kzcpxm_link_updating_mode = 0; // per-link regression update on link exit: 0 or 1
    Array2<float> kzcpfm_alpha{"kzcpfm_alpha", kVehicleTypes, 3}; // fuel polynomial of wheel power
    Array2<float> hybrid_alpha{"hybrid_alpha", kVehicleTypes, 4}; // hybrid fuel polynomial
    Array1<float> initial_soc{"initial_soc", kVehicleTypes};      // state of charge at first use
    float         hybrid_pa = 0.0f; // kW, hybrid idle threshold on wheel power
    float         hybrid_va = 0.0f; // km/h, hybrid idle threshold on speed
    Array1<int>   veh_counter_eco{"veh_counter_eco", kMaxLinks}; // vehicle-seconds per link
    Array2<float> eco_envir{"eco_envir", kMaxLinks, 2};          // per link: fuel l, energy kW s
    // Per trip; set to -1 when the trip is generated, filled at the trip's
    // first energy computation.
    Array1<float> veh_soc{"veh_soc", kMaxTrips};
    Array1<float> soc_threshold{"soc_threshold", kMaxTrips};
    Array1<float> veh_battery_capacity{"veh_battery_capacity", kMaxTrips};
    // Per network slot: the power model's regression sums of the vehicle.
    Array2<float> veh_vsp_param{"veh_vsp_param", kMaxVehicles, 8};
    // Per link, the same eight sums: smoothed over the vehicles that left the
    // link (vsp_param), their running average (vsp_param_avr) over
    // vsp_update_cnt updates, and the running sums of the fuel model.
    Array2<float> vsp_param{"vsp_param", kMaxLinks, 8};
    Array2<float> vsp_param_avr{"vsp_param_avr", kMaxLinks, 8};
    Array1<int>   vsp_update_cnt{"vsp_update_cnt", kMaxLinks};
    Array2<float> eco_vsp_param{"eco_vsp_param", kMaxLinks, 8};
    Array2<float> old_vsp_param{"old_vsp_param", kMaxLinks, 8}; // cleared before the run
    bool          eco_vsp_cleared = false; // the first link transfer of the run cleared it
    // The plug-in hybrid trace files (mode, rate): 0 not opened yet, 1 open,
    // -1 could not be created (said once in the run log, then not tried again).
    std::array<int, 2> phev_trace{};
    // Engine types outside the known list already named in the run log.
    std::array<bool, kVehicleTypes + 1> odd_engine_logged{};
};

} // namespace velm
