// Level-cruise fuel use of the built-in regression coefficients: one line per
// vehicle type with l/100 km at 40, 50, ..., 120 km/h. For checking the
// coefficients against what such vehicles are known to burn.
#include "core/demand/vehicle_type_table.h"
#include "core/energy/fuel_coefficients.h"

#include <cmath>
#include <cstdio>

int main() {
    namespace bf = velm::builtin_fuel;
    std::printf("type");
    for (int v = 40; v <= 120; v += 10) std::printf(" %6d", v);
    std::printf("   name\n");
    for (int t = 1; t <= velm::kVehicleTypes; ++t) {
        const auto& k = bf::coefficients()[static_cast<std::size_t>(t - 1)];
        std::printf("%4d", t);
        for (int v = 40; v <= 120; v += 10) {
            double x = 0.0;
            for (int i = 0; i < velm::kFuelPowers; ++i)
                x += k[static_cast<std::size_t>(velm::fuel_coef_index(1, 1, i, 0))] *
                     std::pow(static_cast<double>(v), i);
            const double litres_per_s = std::exp(x);
            std::printf(" %6.2f", litres_per_s * 3600.0 * 100.0 / v);
        }
        const auto& row = velm::builtin_vehicle_types::kTypes[static_cast<std::size_t>(t - 1)];
        std::printf("   %.*s\n", static_cast<int>(row.name.size()), row.name.data());
    }
    return 0;
}
