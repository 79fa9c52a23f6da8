// Filling of the built-in regression coefficients (see fuel_coefficients.h).
#include "core/energy/fuel_coefficients.h"

#include "core/demand/vehicle_type_table.h"
#include "core/model/codes.h"

#include <cmath>

namespace velm::builtin_fuel {

namespace {

using Table = std::array<FuelTypeCoefs, kVehicleTypes>;

float& at(Table& k, int t, int e, int b, int i, int j) {
    return k[static_cast<std::size_t>(t - 1)]
            [static_cast<std::size_t>(fuel_coef_index(e, b, i, j))];
}

// Measure e of a type whose fuel is filled: its fuel table with the constant
// raised by ln_per_litre, the log of the milligrams per litre burnt.
void from_fuel(Table& k, int t, int e, double ln_per_litre) {
    for (int b = 1; b <= kFuelBranches; ++b) {
        for (int i = 0; i < kFuelPowers; ++i)
            for (int j = 0; j < kFuelPowers; ++j) at(k, t, e, b, i, j) = at(k, t, kFuel, b, i, j);
        at(k, t, e, b, 0, 0) = static_cast<float>(at(k, t, kFuel, b, 0, 0) + ln_per_litre);
    }
}

double ln_mg(double grams_per_litre) {
    return std::log(static_cast<double>(kMgPerGram) * grams_per_litre);
}

void no_particulates(Table& k, int t) {
    for (int b = 1; b <= kFuelBranches; ++b) {
        for (int i = 0; i < kFuelPowers; ++i)
            for (int j = 0; j < kFuelPowers; ++j) at(k, t, kPm, b, i, j) = 0.0f;
        at(k, t, kPm, b, 0, 0) = kNoPm;
    }
}

void type1(Table& k) {
    for (int b = 1; b <= kFuelBranches; ++b) {
        for (int i = 0; i < kFuelPowers; ++i)
            for (int j = 0; j < kFuelPowers; ++j)
                at(k, 1, kFuel, b, i, j) = kType1Fuel[b - 1][i][j];
        for (int j = 0; j < kFuelPowers; ++j) at(k, 1, kCo2, b, 0, j) = kType1Co2Row0[b - 1][j];
        for (int i = 1; i < kFuelPowers; ++i)
            for (int j = 0; j < kFuelPowers; ++j) at(k, 1, kCo2, b, i, j) = kType1Fuel[b - 1][i][j];
    }
    for (int e = kHc; e <= kNox; ++e) from_fuel(k, 1, e, ln_mg(kCarGramsPerLitre[e - 1]));
    no_particulates(k, 1);
}

// Types 2..21 from type 1 by their mass-to-power ratio and engine size.
void light_type(Table& k, int t) {
    const auto&  one = velm::builtin_vehicle_types::kTypes[0];
    const auto&  row = velm::builtin_vehicle_types::kTypes[static_cast<std::size_t>(t - 1)];
    const double rho =
        (static_cast<double>(row.mass) / row.kw) / (static_cast<double>(one.mass) / one.kw);
    const double size = std::sqrt(static_cast<double>(row.kw) / one.kw);
    for (int e = kFuel; e <= kCo2; ++e)
        for (int b = 1; b <= kFuelBranches; ++b) {
            for (int i = 0; i < kFuelPowers; ++i)
                for (int j = 0; j < kFuelPowers; ++j)
                    at(k, t, e, b, i, j) =
                        static_cast<float>(std::pow(rho, j) * at(k, 1, e, b, i, j));
            at(k, t, e, b, 0, 0) = static_cast<float>(at(k, 1, e, b, 0, 0) + std::log(size));
        }
    no_particulates(k, t);
}

void truck(Table& k, int t) {
    for (int j = 0; j < kFuelPowers; ++j) at(k, t, kFuel, 1, 0, j) = kTruckFuelRow0[j];
    for (int i = 1; i < kFuelPowers; ++i)
        at(k, t, kFuel, 1, i, 0) = static_cast<float>(kTruckSpeedScale * kType1Fuel[0][i][0]);
    for (int i = 1; i < kFuelPowers; ++i) at(k, t, kFuel, 2, i, 0) = at(k, t, kFuel, 1, i, 0);
    at(k, t, kFuel, 2, 0, 0) = kTruckFuelDecel;
    at(k, t, kFuel, 2, 0, 1) = kTruckDecelSlope;
    for (int e = kHc; e <= kNox; ++e) from_fuel(k, t, e, ln_mg(kTruckGramsPerLitre[e - 1]));
    from_fuel(k, t, kCo2, ln_mg(kDieselCo2GramsPerLitre));
    from_fuel(k, t, kPm, ln_mg(kTruckGramsPerLitre[4]));
}

Table build() {
    Table k{};
    type1(k);
    for (int t = 2; t < kFirstTruck; ++t) light_type(k, t);
    for (int t = kFirstTruck; t <= kVehicleTypes; ++t) truck(k, t);
    return k;
}

} // namespace

const Table& coefficients() {
    static const Table k = build();
    return k;
}

} // namespace velm::builtin_fuel
