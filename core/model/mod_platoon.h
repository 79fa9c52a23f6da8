#pragma once
// Cooperative platooning: the settings of "platoon.dat", the platooning links
// and lanes, the drag reduction by platoon position and the per-lane work
// tables that the platoon step fills for one link at a time. The link tables
// exist from the reader on; the work tables from init_platoon to end_platoon.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <array>

namespace velm {

inline constexpr int kPlatoonLanes = 8;           // lanes 1..8 of a platooning link
inline constexpr int kPlatoonLinks = 1000;        // listed links at most
inline constexpr int kPlatoonLaneVehicles = 1000; // vehicles of one lane in the work tables
inline constexpr int kPlatoonPositions = 5;       // rows of the drag-reduction table

struct mod_platoon {
    int   platoon_activation_flag = 0; // 1: cooperative platooning is on
    float target_t_hat = 0.6f;         // target time gap of the following law, s
    float sj = 6.0f;                   // standstill distance of the law, m
    float lambda = 10.0f;              // spacing-error gain, 1/s
    float epsilon_factor = 0.0f;       // allowed excess over the free speed, a fraction
    float reduction_factor = 0.0f;     // share of the dynamic acceleration limits used
    int   next_link_flag = 0;     // 1: a lane's first vehicle follows a platoon on its next link
    int   lanes_flag = 0;         // 1: the records' lane flags apply; else every lane
    float t_hat_threshold = 0.0f; // time gap up to which a pair is a tight platoon, s
    std::array<int, kClasses + 1> target_veh_class_2{}; // (c) 1: class c platoons; [0] unused
    int                           number_links = 0;     // listed links

    Array1<int> link_ids_for_platoon{"link_ids_for_platoon", kPlatoonLinks}; // in file order
    // (link, lane) 1: platooning on that lane; rows sized to the network.
    Array2<int> platooning_on_lanes_flag{"platooning_on_lanes_flag", kMaxLinks, kPlatoonLanes};

    // Drag factor of each platoon position: min(1, a gap^b + c) for 0 < gap < g0.
    std::array<float, kPlatoonPositions + 1> cd_a{}, cd_b{}, cd_c{}, cd_g0{}; // [0] unused

    // --- work tables of the link being processed, lanes front first ----------
    // Kept by rows: one lane's entries lie side by side.
    Array1<int>    respective_table_length{"respective_table_length", kPlatoonLanes};
    RowArray2<int> vehicle_ids_per_lane{"vehicle_ids_per_lane", kPlatoonLanes,
                                        kPlatoonLaneVehicles}; // trip numbers
    RowArray2<int> vehicle_acc_per_lane_flag{"vehicle_acc_per_lane_flag", kPlatoonLanes,
                                             kPlatoonLaneVehicles}; // 1: tight behind entry k
    // Rows 2l-1 position (m from the link start) and 2l speed (m/s) of lane l:
    // measured at the start of the step, and the platoon state after it.
    RowArray2<float> vehicle_data_per_lane{"vehicle_data_per_lane", 2 * kPlatoonLanes,
                                           kPlatoonLaneVehicles};
    RowArray2<float> vehicle_data_platoon_per_lane{"vehicle_data_platoon_per_lane",
                                                   2 * kPlatoonLanes, kPlatoonLaneVehicles};
    // Per network slot: where the step put the vehicle, (lane - 1) x 1000 + k;
    // 0 when it is in no table. Lets a vehicle find its entry without a search.
    Array1<int> table_place{"table_place", kMaxVehicles};
    // (l) 1: the first vehicle of lane l follows a platoon on its next link
    // this step; otherwise it has no platoon ahead and drives by car following.
    std::array<int, kPlatoonLanes + 1> lead_follows_platoon{}; // [0] unused
    bool lane_overflow_noted = false; // the run log has said a lane held too many

    mod_platoon() {
        release_links();
        release_work();
    }
    void release_links() {
        link_ids_for_platoon.resize(0);
        platooning_on_lanes_flag.resize(0, kPlatoonLanes);
    }
    void release_work() {
        respective_table_length.resize(0);
        vehicle_ids_per_lane.resize(0, kPlatoonLaneVehicles);
        vehicle_acc_per_lane_flag.resize(0, kPlatoonLaneVehicles);
        vehicle_data_per_lane.resize(0, kPlatoonLaneVehicles);
        vehicle_data_platoon_per_lane.resize(0, kPlatoonLaneVehicles);
        table_place.resize(0);
    }
};

} // namespace velm
