#pragma once
// Working tables of the pre-simulation assignment: assigned flows, link times
// and tolls by class for the current slice, the objective values and the
// per-class demand counts. Links 1..4487, classes 1..5.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <utility>
#include <vector>

namespace velm {

inline constexpr int kAssignIterations = 5; // iterations of one slice
inline constexpr int kObjectives = 3;       // veh-h/h (1, 2), veh-km/h (3)

struct mod_assigns {
    Array2<float> tflow{"tflow", kMaxLinks, kClasses}; // assigned flow, veh/h
    Array2<float> ttime{"ttime", kMaxLinks, kClasses}; // link time with the toll equivalent, s
    Array2<float> tolls{"tolls", kMaxLinks, kClasses}; // toll charged, money units
    Array2<float> sflow{"sflow", kMaxLinks, kAssignIterations}; // total link flow by iteration
    Array1<float> totobj{"totobj", kObjectives};                // latest evaluation
    Array2<float> finobj{"finobj", kStoredTrees, kObjectives};  // after each iteration
    Array1<float> integral{"integral", kMaxLinks};              // objective-1 term by link
    Array1<float> asscap{"asscap", kMaxLinks}; // lanes x saturation flow x green ratio, veh/h
    Array1<float> vsum{"vsum", kClasses};      // trips of each class

    // Working storage of the assignment, sized for the run's links when a
    // slice starts.
    Array2<float>    flows{"flows", kMaxLinks, kClasses}; // trial flows of the step search
    Array2<float>    trial_tolls{"trial_tolls", kMaxLinks, kClasses};
    Array1<float>    cost{"cost", kMaxLinks}; // tree cost of one class, s
    std::vector<int> mark;                    // link visits by pass stamp
    int              pass = 0;                // stamp of the current walk
    float            eval_p = 0.0f;           // quantile of the evaluation that left ttime
    std::vector<std::pair<int, int>> loops;   // (record, class) whose walk met a loop this slice
    bool                             report = false; // "assign.out" is written
};

} // namespace velm
