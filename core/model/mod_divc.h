#pragma once
// Distributed intersection vehicle control: the intersections under control,
// their approaches, clearing times and decision schedule, and the speed
// advisories handed to the trips approaching them.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <vector>

namespace velm {

inline constexpr int   kDivcMax = 500;             // intersection numbers 1..500
inline constexpr int   kDivcLegs = 4;              // approaches and departures
inline constexpr int   kDivcKinds = 3;             // movement kinds per approach
inline constexpr int   kDivcMovements = 12;        // 3 kinds x 4 approaches
inline constexpr int   kDivcListMax = 4000;        // vehicles listed per intersection
inline constexpr float kDivcDefaultHeadway = 2.0f; // s, an approach without a link
inline constexpr float kDivcNoAdvice = 1000.0f;    // km/h: no advisory

// One vehicle listed at a decision.
struct DivcVehicle {
    int   car = 0;   // trip
    int   lane = 0;  // current lane 1..7
    float f = 0.0f;  // free-flow time to the stop line, s
    int   move = 0;  // movement 1..12
    float uf = 0.0f; // free speed of its approach, km/h
    int   link = 0;  // its approach link
};

struct mod_divc {
    int fmt_divc = 0; // 1: the decisions run each tick and their advisories cap speeds
    int ndivc = 0;    // intersection records of the file
    int nread = 0;    // records read whole and valid: the intersections decided
    int obj_divc = 0; // 1 delay of waiting vehicles, 2 their clearing times; else no plan

    // --- per intersection n, approach or departure a ------------------------------
    Array2<int>   alink{"alink", kDivcMax, kDivcLegs};        // approach link; 0 none
    Array2<int>   dlink{"dlink", kDivcMax, kDivcLegs};        // departure link; 0 none
    Array2<float> divcturn{"divcturn", kDivcMax, kDivcKinds}; // clearing time of a kind, s
    Array1<float> divcint{"divcint", kDivcMax};               // decision interval, s
    Array1<float> divctim{"divctim", kDivcMax};               // next decision, s
    Array2<float> divchway{"divchway", kDivcMax, kDivcLegs};  // saturation headway, s
    Array1<int>   crowded{"crowded", kDivcMax}; // 1 once the list limit has been logged

    // --- per trip: (car, 1) advisory km/h, (car, 2) the link it applies to ---------
    // A trip never listed has link 0 and no advisory acts on it.
    RowArray2<float> divcspd{"divcspd", kMaxTrips, 2};

    // Working lists of one decision, kept between decisions for their storage.
    std::vector<DivcVehicle> list;
    std::vector<float>       sched[kDivcLegs]; // scheduled stop-line time per option, s; -1 none
    Array1<int> defined{"defined", kDivcMax};  // 1: a record of the intersection was read
    Array1<int> decided{"decided", kDivcMax};  // (k) intersection of the k-th record read

    void reset() {
        fmt_divc = ndivc = nread = obj_divc = 0;
        alink.zero();
        dlink.zero();
        divcturn.zero();
        divcint.zero();
        divctim.zero();
        divchway.fill(kDivcDefaultHeadway);
        crowded.zero();
        defined.zero();
        decided.zero();
        divcspd.zero();
        list.clear();
    }
};

} // namespace velm
