#pragma once
// The built-in vehicle performance types 1..25 and the values every type
// shares until "veh_parameters.dat" overrides them.
#include "core/model/limits.h"

#include <array>
#include <string_view>

namespace velm::builtin_vehicle_types {

struct TypeRow {
    std::string_view name;
    float            kw;       // engine power, kW
    float            mass;     // kg
    float            length;   // m
    float            axle;     // share of the mass on the driven axle
    float            drag;     // drag coefficient
    float            front;    // frontal area, m2
    float            transeff; // driveline efficiency
};

inline constexpr std::array<TypeRow, kVehicleTypes> kTypes{{
    {"DAZI Normal Vehicle", 119, 1900, 4.81f, 0.58f, 0.34f, 2.73f, 0.80f},
    {"EPA LDV-1", 85, 1220, 4.81f, 0.58f, 0.34f, 2.73f, 0.80f},
    {"EPA LDV-2", 82, 1196, 4.81f, 0.58f, 0.34f, 2.73f, 0.80f},
    {"EPA LDV-3", 109, 1326, 4.81f, 0.58f, 0.34f, 2.73f, 0.80f},
    {"EPA LDV-4", 79, 1116, 4.81f, 0.58f, 0.34f, 2.73f, 0.80f},
    {"EPA LDV-5", 109, 1483, 4.81f, 0.58f, 0.34f, 2.73f, 0.80f},
    {"EPA LDT-1", 106, 1706, 4.81f, 0.58f, 0.34f, 2.73f, 0.80f},
    {"EPA LDT-2", 102, 1525, 4.81f, 0.58f, 0.34f, 2.73f, 0.80f},
    {"EPA HE-1", 86, 1224, 4.81f, 0.58f, 0.34f, 2.73f, 0.80f},
    {"EPA HE-2", 157, 1558, 4.81f, 0.58f, 0.34f, 2.73f, 0.80f},
    {"EPA HE-3", 99, 1402, 4.81f, 0.58f, 0.34f, 2.73f, 0.80f},
    {"EPA HE-4", 85, 1262, 4.81f, 0.58f, 0.34f, 2.73f, 0.80f},
    {"89 Chevrolet Corsica", 97, 1800, 4.66f, 0.58f, 0.34f, 2.47f, 0.80f},
    {"94 Oldsmobile 88", 127, 1591, 5.22f, 0.64f, 0.31f, 2.64f, 0.80f},
    {"94 Cutlass Supreme", 119, 1551, 4.92f, 0.64f, 0.36f, 2.44f, 0.80f},
    {"95 Geo Prizm", 78, 1090, 4.39f, 0.62f, 0.34f, 2.28f, 0.80f},
    {"93 Subaru Legacy", 97, 1315, 4.54f, 0.56f, 0.34f, 2.30f, 0.80f},
    {"94 Mercury Villager", 113, 1823, 4.82f, 0.50f, 0.30f, 3.21f, 0.80f},
    {"94 Jeep Grand Cherokee", 142, 1601, 4.55f, 0.56f, 0.45f, 2.96f, 0.80f},
    {"94 Chevy Pickup", 142, 1823, 5.40f, 0.60f, 0.32f, 3.62f, 0.80f},
    {"97 Toyota Celica", 97, 1315, 4.54f, 0.55f, 0.30f, 2.30f, 0.80f},
    {"Light Truck (100lb/hp)", 336, 20411, 16.0f, 0.35f, 0.58f, 10.7f, 0.88f},
    {"Average Truck (200lb/hp)", 261, 31751, 16.0f, 0.35f, 0.58f, 10.7f, 0.88f},
    {"Heavy Truck (300lb/hp)", 261, 47626, 16.0f, 0.35f, 0.58f, 10.7f, 0.88f},
    {"Bus", 336, 20411, 12.0f, 0.40f, 0.78f, 10.7f, 0.88f},
}};

// Values shared by every built-in type.
inline constexpr float kCoeffric = 0.5f;
inline constexpr float kRolcoef[3] = {1.75f, 0.0328f, 4.575f};
inline constexpr float kPedal = 1.0f;
inline constexpr float kGr1 = 1164.0f; // km/h
inline constexpr float kGr2 = -0.75f;
inline constexpr int   kEngineType = 1; // gasoline
inline constexpr float kBatteryEff = 1.0f;
inline constexpr float kSocMin = 0.2f;
inline constexpr float kSocMax = 0.95f;
inline constexpr float kEmEnergy = 80.0f; // kW
inline constexpr float kEmEff = 1.0f;
inline constexpr float kRegParm = 1.0f;
inline constexpr float kElecBuff = 0.0f;
inline constexpr float kBatteryCapacity = 86.4f; // kWh
inline constexpr float kAuxPower = 0.7f;         // kW

} // namespace velm::builtin_vehicle_types
