#pragma once
// Link travel times: free-flow times, measured times per class and their sums.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

struct mod_delay {
    Array1<float> fretim{"fretim", kMaxLinks};           // free-flow travel time, s
    Array1<float> systim{"systim", kMaxLinks};           // s
    Array2<float> ttlink{"ttlink", kMaxLinks, kClasses}; // measured link time per class, s
    Array1<float> flowt{"flowt", kMaxLinks};   // sum of link times of vehicles that left, s
    Array1<float> flowt2{"flowt2", kMaxLinks}; // sum of their squares
    Array3<float> tllink{"tllink", kMaxLinks, kClasses,
                         2};                      // m travelled, vehicle-s since last update
    Array2<float> linspd{"linspd", kMaxLinks, 2}; // speed of the last and of the lead vehicle, km/h
    Array1<float> survtim{"survtim", kMaxLinks};  // link-cost work vector of tree building
};

} // namespace velm
