#pragma once
// The fuel model of the run: the regression coefficients every vehicle type
// is evaluated with, which of them the run uses, and the parameters of the
// speed-based model (ambient conditions, emission polynomials, cold start).
#include "core/model/array.h"
#include "core/model/limits.h"

#include <array>

namespace velm {

inline constexpr int kFuelMeasures = 6;    // fuel, HC, CO, NOx, CO2, PM
inline constexpr int kFuelBranches = 2;    // 1 accelerating or cruising, 2 decelerating
inline constexpr int kFuelPowers = 4;      // powers 0..3 of speed and of acceleration
inline constexpr int kFuelTypeCoefs = 192; // coefficients of one vehicle type

inline constexpr int kFuelBuiltIn = 1;   // fuelmeth: built-in coefficients only
inline constexpr int kFuelFileType1 = 2; // fuelmeth: type 1 replaced from the coefficient file

// Position of K(e, b, i, j) within one type's 192 coefficients: measure e
// outermost, then branch b, speed power i, acceleration power j (0..3).
constexpr int fuel_coef_index(int e, int b, int i, int j) {
    return (((e - 1) * kFuelBranches + (b - 1)) * kFuelPowers + i) * kFuelPowers + j;
}

using FuelTypeCoefs = std::array<float, kFuelTypeCoefs>;

// K(type, e, b, i, j): the regression coefficients of all types; the
// exponential of the polynomial in speed (power i) and acceleration (power j)
// gives l/s for e = 1 and mg/s for the five species.
class FuelCoefTable {
  public:
    float& operator()(int t, int e, int b, int i, int j) { return type(t)[index(e, b, i, j)]; }
    float operator()(int t, int e, int b, int i, int j) const { return type(t)[index(e, b, i, j)]; }
    FuelTypeCoefs&       type(int t) { return v_[check(t)]; }
    const FuelTypeCoefs& type(int t) const { return v_[check(t)]; }

  private:
    static std::size_t check(int t) {
#ifdef VELM_CHECKED
        if (t < 1 || t > kVehicleTypes) detail::bad_index("fuelcoef", 1, t, 1, kVehicleTypes);
#endif
        return static_cast<std::size_t>(t - 1);
    }
    static std::size_t index(int e, int b, int i, int j) {
#ifdef VELM_CHECKED
        if (e < 1 || e > kFuelMeasures) detail::bad_index("fuelcoef", 2, e, 1, kFuelMeasures);
        if (b < 1 || b > kFuelBranches) detail::bad_index("fuelcoef", 3, b, 1, kFuelBranches);
        if (i < 0 || i >= kFuelPowers) detail::bad_index("fuelcoef", 4, i, 0, kFuelPowers - 1);
        if (j < 0 || j >= kFuelPowers) detail::bad_index("fuelcoef", 5, j, 0, kFuelPowers - 1);
#endif
        return static_cast<std::size_t>(fuel_coef_index(e, b, i, j));
    }
    std::array<FuelTypeCoefs, kVehicleTypes> v_{};
};

struct mod_fuel {
    int           fuelmeth = kFuelBuiltIn; // kFuelBuiltIn or kFuelFileType1, set by readfuel
    FuelCoefTable fuelcoef;
    // Speed-based model: fuel-economy ratings (city, highway), emission
    // polynomials emiss(speed power 0..3 at 1..4, temperature power 0..2 at
    // 1..3, species HC, CO, NOx, ...), cold-start fuel and emission terms.
    Array1<float> eparat{"eparat", 2};
    Array3<float> emiss{"emiss", 4, 3, 5};
    Array2<float> coldfuel{"coldfuel", 2, 6};
    Array2<float> coldemis{"coldemis", 3, 6};
    // fueluse(1, 1..3): cruise polynomial in speed (l/h); fueluse(2, 1..3):
    // the fuel of reaching a speed from rest, derived from eparat by epaconv.
    Array2<float> fueluse{"fueluse", 4, 5};
};

} // namespace velm
