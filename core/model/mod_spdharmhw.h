#pragma once
// Connected-vehicle speed harmonisation: the controller's parameters, its
// controlled-link pairs and the state of each pair.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_spdharmhw {
    int   active_spdharmhw = 0;               // 1: the strategy acts
    float spdharmhw_interval = 0.0f;          // control interval, s
    float spdharmhw_distanceratio = 0.0f;     // half-width of the zone / link length
    float spdharmhw_max_distancerange = 0.0f; // upper bound of the half-width, m
    float eta = 0.0f;                         // switching gain
    float k_rt = 0.0f;                        // gain on the sliding surface
    float landa = 0.0f;                       // weight of the error integral
    float distrlow = 0.0f, distrhigh = 0.0f;  // disturbance bounds, factors of the input gain
    float a_constant = 0.0f;                  // constant of the density balance
    float spdharmhw_lowctrlbnd = 0.0f;        // density band of the link ahead, fractions of
    float spdharmhw_highctrlbnd = 0.0f;       // its jam density
    int   nctrdlinks = 0;                     // controlled-link pairs
    float cv_classes = 0.0f;                  // connected classes, five digits (class 1 first)
    int   cv_digit[kClasses + 1] = {};        // cv_digit[c]: the digit of class c

    // Pair i: controlled link (i, 1) and its link ahead (i, 2); sized to the pairs.
    Array2<int> spdharmhw_ctrdlk_matrix{"spdharmhw_ctrdlk_matrix", kMaxLinks, 2};
    Array1<int> pair_of_link{"pair_of_link", kMaxLinks}; // first pair of a link; 0 none

    // Per pair: the band test of the last control tick, the error integral,
    // and this tick's command (valid when has_command is 1).
    Array1<int>   flag_under_ctrl{"flag_under_ctrl", kMaxLinks};
    Array1<float> sum_error_spdharmhw{"sum_error_spdharmhw", kMaxLinks};
    Array1<int>   has_command{"has_command", kMaxLinks};
    Array1<float> spdharmhw_control_speed{"spdharmhw_control_speed", kMaxLinks}; // km/h
};

} // namespace velm
