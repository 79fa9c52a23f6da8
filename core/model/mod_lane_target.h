#pragma once
// Lane targeting: the parameters of "ola.dat", the per-link segment tables
// and the per-trip lane expectations.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <array>
#include <vector>

namespace velm {

inline constexpr int kMaxSegments = 300; // segments of one link

// Segment speeds of one link: S segments of equal length, 7 lanes each.
// Cell (s, k) is entry (s - 1) * kMaxLinkLanes + (k - 1).
struct Segment_data {
    int                number_of_segments = 0;        // S
    float              individual_segment_length = 0; // m
    std::vector<float> s_data;                        // km/h: current segment speed of each cell
    std::vector<float> s_data_prev;                   // km/h: the value the update blends with
    std::vector<float> s_data_delta_v;  // km/h: predicted change from recommended moves
    std::vector<float> s_data_penality; // 1: penalised cell
    std::vector<int>   car_count;       // connected vehicles counted, moved by recommendations

    static int cell(int seg, int lane) { return (seg - 1) * kMaxLinkLanes + (lane - 1); }
};

// Roadside unit: three integers, kept as read.
struct RoadsideUnit {
    std::array<int, 3> v{};
};

struct mod_lane_target {
    int   lane_tar_enbld = 0;              // 1: lane targeting is on
    int   frequency_of_recommendation = 1; // ticks between lane-speed perceptions
    float spd_cof_var = 0.0f;              // coefficient of variation of the perceived lane speed
    float cvs_wght = 0.0f;                 // weight of the perceived lane speed in the lane score
    float mpr = 0.0f;                      // share of connected vehicles in the traffic
    int   com_range = 500;                 // m: how far ahead segments count
    float lane_diff_wt = 0.0f;             // utility share lost per lane away from the current one
    float penality_percentage = 0.0f;      // weight of a penalised segment's extra term
    float init_seg_length = 0.0f;          // m: nominal segment length
    // Read and kept; no step of a run uses them.
    int                       target_class = 0;
    int                       lookback = 0;
    float                     com_range_cof_var = 0.0f;
    float                     llan_wt = 0.0f;
    float                     spd_delta_wt = 0.0f;
    int                       ramp_traf_rate = 0;
    std::vector<RoadsideUnit> rsu_info;

    Array1<int> con_veh_class{"con_veh_class", kClasses}; // 1 = the class takes part
    Array1<int> ola_flag{"ola_flag", kMaxLinks};          // 1 = the link takes part
    Array1<int> acc_lanes{"acc_lanes", kMaxLanes}; // 1 = network lane is an acceleration lane
    // Per trip and lane: expected lane speed km/h and lane factor.
    Array2<float> lane_speed{"lane_speed", kMaxTrips, kMaxLinkLanes};
    Array2<float> ola_fr_factor{"ola_fr_factor", kMaxTrips, kMaxLinkLanes};
    // Per trip: (1) second of the last wished lane change, (2) its position on
    // the link then, m; network entry sets the entry time and 0.
    Array2<float> last_lane_change{"last_lane_change", kMaxTrips, 2};

    // Segment tables of links 1..mlnum (entry 0 unused); empty while lane
    // targeting is off.
    std::vector<Segment_data> ola_data;

    // Perception noise: its own uniform stream, and the second normal
    // deviate of the last pair while it waits to be used.
    int    noise_seed = 6;
    bool   noise_waiting = false;
    double noise_z2 = 0.0;

    int trace_state = 0; // trace file: 0 not opened yet, 1 open, -1 could not be created
};

} // namespace velm
