#pragma once
// The 25 vehicle performance types: what the acceleration limit and the fuel
// and energy models read by a trip's type number vehper2.
#include "core/model/array.h"
#include "core/model/limits.h"
#include "core/model/mod_filenam.h"

namespace velm {

struct mod_vehper {
    int                  nvtn = 0;                             // types in use; 25 once filled
    Texts<kVehicleTypes> vehname;                              // reference only
    Array1<float>        vehkw{"vehkw", kVehicleTypes};        // kW
    Array1<float>        vehmass{"vehmass", kVehicleTypes};    // kg
    Array1<float>        vehlen{"vehlen", kVehicleTypes};      // m
    Array1<float>        axlmass{"axlmass", kVehicleTypes};    // share of mass on driven axle
    Array1<float>        coeffric{"coeffric", kVehicleTypes};  // tyre-road adhesion
    Array1<float>        transeff{"transeff", kVehicleTypes};  // driveline efficiency
    Array1<float>        dragcoef{"dragcoef", kVehicleTypes};  // aerodynamic drag coefficient
    Array1<float>        frntarea{"frntarea", kVehicleTypes};  // m2
    Array2<float>        rolcoef{"rolcoef", kVehicleTypes, 3}; // rolling coefficient, speed, const
    Array1<float>        pedal{"pedal", kVehicleTypes};        // throttle level 0.05..1
    Array1<float>        gr1{"gr1", kVehicleTypes};            // km/h, low-speed traction factor
    Array1<float>        gr2{"gr2", kVehicleTypes};            // its exponent
    Array1<int>   engine_type{"engine_type", kVehicleTypes};   // 1 gas 2 diesel 3 BEV 4 PHEV 6 HEV
    Array1<float> battery_eff{"battery_eff", kVehicleTypes};
    Array1<float> soc_min{"soc_min", kVehicleTypes};
    Array1<float> soc_max{"soc_max", kVehicleTypes};
    Array1<float> em_energy{"em_energy", kVehicleTypes}; // kW, electric machine limit
    Array1<float> em_eff{"em_eff", kVehicleTypes};
    Array1<float> reg_parm{"reg_parm", kVehicleTypes};
    Array1<float> elec_buff{"elec_buff", kVehicleTypes};
    Array1<float> battery_capacity{"battery_capacity", kVehicleTypes}; // kWh
    Array1<float> aux_power{"aux_power", kVehicleTypes};               // kW
};

} // namespace velm
