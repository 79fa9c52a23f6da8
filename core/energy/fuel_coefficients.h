#pragma once
// The built-in regression coefficients of the 25 vehicle types.
//
// Measured tables exist for type 1 (fuel, and the CO2 rows at speed power 0)
// and for the fuel of the shared truck table (types 22..25, speed power 0 of
// the accelerating branch, the decelerating constant). Everything else is
// derived from those and from the built-in vehicle types, by these rules
// (K(T, e, b, i, j): type, measure, branch, speed power, acceleration power):
//  - type 1 CO2 rows i = 1..3 are its fuel rows: carbon follows fuel;
//  - type 1 HC, CO and NOx are its fuel table of the same branch with the
//    constant raised by ln(1000 EI), EI the grams per litre burnt;
//  - types 2..21 scale type 1: K(T, e, b, i, j) = rho^j K(1, e, b, i, j), then
//    the constant += ln s, with rho the ratio of the mass-to-power ratios and
//    s = (P_T / P_1)^0.5 (half the cruise fuel is engine friction, which grows
//    with engine size, half road load, which does not);
//  - trucks: fuel rows i = 1..3 at zero acceleration are kappa times type 1's,
//    the species are the fuel table plus ln(1000 EI), CO2 plus ln of diesel's
//    CO2 per litre; the decelerating branch has the accelerating branch's
//    speed rows and a term falling with the deceleration, so both branches
//    give the same rate at a = 0 (within the 0.5 % between the two measured
//    constants): a truck holding its speed burns its cruise fuel whichever
//    branch the wobble of its smoothed acceleration picks, and braking burns
//    less, down to about idle when braking hard at low speed;
//  - PM of types 1..21 is the constant kNoPm (no particulates).
// These are placeholders for fitted data; docs/fuel-coefficients.md gives the
// figures they produce.
#include "core/model/mod_fuel.h"

#include <array>

namespace velm::builtin_fuel {

inline constexpr int kFuel = 1, kHc = 2, kCo = 3, kNox = 4, kCo2 = 5, kPm = 6;
inline constexpr int kFirstTruck = 22;

// Type 1 fuel, [branch][speed power][acceleration power].
inline constexpr float kType1Fuel[2][4][4] = {
    {{-7.73452f, 0.22946f, -0.00561f, 9.773E-05f},
     {0.02799f, 0.0068f, -0.00077221f, 8.38E-06f},
     {-0.0002228f, -4.402E-05f, 7.9E-07f, 8.17E-07f},
     {1.09E-06f, 4.8E-08f, 3.27E-08f, -7.79E-09f}},
    {{-7.73452f, -0.01799f, -0.00427f, 0.00018829f},
     {0.02804f, 0.00772f, 0.00083744f, -3.387E-05f},
     {-0.00021988f, -5.219E-05f, -7.44E-06f, 2.77E-07f},
     {1.08E-06f, 2.47E-07f, 4.87E-08f, 3.79E-10f}},
};
// Type 1 CO2 at speed power 0, [branch][acceleration power].
inline constexpr float kType1Co2Row0[2][4] = {{6.914935f, 0.2173f, 0.00023538f, -0.00036388f},
                                              {6.914935f, -0.03203f, -0.00917f, -0.0002886f}};
// Trucks' fuel: accelerating branch at speed power 0; the decelerating
// branch's measured constant (0.5 % below the accelerating one) and its
// acceleration term (ln of the rate per km/h/s of deceleration).
inline constexpr float kTruckFuelRow0[4] = {-7.70543f, 1.40851f, -0.50584f, 0.0495f};
inline constexpr float kTruckFuelDecel = -7.71f;
inline constexpr float kTruckDecelSlope = 0.5f;
inline constexpr float kNoPm = -1.0E8f; // exp() of it is 0

// Grams of each species per litre of fuel (HC, CO, NOx, PM; index 0 unused).
inline constexpr double kCarGramsPerLitre[5] = {0.0, 2.0, 25.0, 3.0, 0.0};
inline constexpr double kTruckGramsPerLitre[5] = {0.0, 1.0, 5.0, 30.0, 1.0};
// Grams of CO2 per litre burnt of petrol and of diesel. The trucks and buses
// of the built-in tables burn diesel; type 1's own ratio (its CO2 constant
// minus its fuel constant) is 2302 g/l.
inline constexpr float kPetrolCo2GramsPerLitre = 2330.0f;
inline constexpr float kDieselCo2GramsPerLitre = 2640.0f;
// Trucks' speed terms against type 1's: puts level cruise at 80 km/h at
// 35 l/100 km.
inline constexpr double kTruckSpeedScale = 2.0775;

// The 25 built-in tables (index type - 1), built once on first use.
const std::array<FuelTypeCoefs, kVehicleTypes>& coefficients();

} // namespace velm::builtin_fuel
