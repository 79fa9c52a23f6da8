#pragma once
// Highway speed harmonisation: the listed links, their feeder matrix, the
// measured speeds and the control speeds. The per-list tables are sized to the
// list when "spd_highway.dat" is read and released at the end of the run.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_highway_spdharm {
    int highway_spdharm_activation_flag = 0; // 1: runs each tick

    // Header of the file.
    int   number_highway_links = 0;             // n, listed links
    float congestion_threshold = 0.0f;          // multiplier of the density at capacity
    int   sph_period = 0;                       // control period, ticks
    float location_percentage = 0.0f;           // half-width of the middle zone / link length
    int   v_class = 0;                          // class whose speeds measure a link
    float smoothing_factor = 0.0f;              // weight of the new speed in the smoothed one
    float maximum_length_for_harmonization = 0; // upper bound of the zone's half-width, m
    float new_smoothing_factor = 0.0f;          // fading factor of the sums per period
    float sliding_parameter = 0.0f;             // gain of the inflow law

    // Per listed link i = 1..n.
    Array1<int>   hl_links_ids{"hl_links_ids", kMaxLinks}; // link number
    Array2<int>   hl_connectivity_mat{"hl_connectivity_mat", kMaxLinks,
                                    kMaxLinks}; // (r, c) 1: r feeds c
    Array3<float> highway_tllink{"highway_tllink", kMaxLinks, kClasses,
                                 2}; // per class: m, s (fading sums)
    Array2<float> space_m_speed{"space_m_speed", kMaxLinks, kClasses}; // km/h
    Array1<int>   hl_sampled{"hl_sampled", kMaxLinks}; // 1 once a v_class vehicle was measured
    Array1<float> previous_velocity{"previous_velocity", kMaxLinks}; // smoothed speed, km/h
    Array1<float> hl_links_data{"hl_links_data", kMaxLinks};         // density, veh/km/lane

    // The control period's findings.
    Array2<int> it_links_congested{"it_links_congested", kMaxLinks, 2}; // link, list index
    int         it_len_congested = 0;
    Array1<int> cong_target{"cong_target", kMaxLinks}; // inflow target of congested entry j
    // Feeders of congested entry j: cong_feeders(cong_first(j) .. cong_first(j + 1) - 1).
    Array1<int>   cong_first{"cong_first", kMaxLinks + 1};
    Array1<int>   cong_feeders{"cong_feeders", kMaxLinks* kMaxLinks};
    Array1<int>   it_links_for_sph{"it_links_for_sph", kMaxLinks* kMaxLinks}; // capped links
    Array1<float> it_target_flow{"it_target_flow", kMaxLinks* kMaxLinks};     // veh/h/lane
    int           it_len = 0;

    // Control speed of link L for class c, km/h; rows sized to the network.
    Array2<float> highway_sph_ctl_spd{"highway_sph_ctl_spd", kMaxLinks, kClasses};

    mod_highway_spdharm() { release(); }
    // Gives every table back: nothing is held while the strategy is off.
    void release() {
        hl_links_ids.resize(0);
        hl_connectivity_mat.resize(0, 0);
        highway_tllink.resize(0, kClasses, 2);
        space_m_speed.resize(0, kClasses);
        hl_sampled.resize(0);
        previous_velocity.resize(0);
        hl_links_data.resize(0);
        it_links_congested.resize(0, 2);
        cong_target.resize(0);
        cong_first.resize(0);
        cong_feeders.resize(0);
        it_links_for_sph.resize(0);
        it_target_flow.resize(0);
        highway_sph_ctl_spd.resize(0, kClasses);
        it_len = it_len_congested = 0;
    }
};

} // namespace velm
