#pragma once
// One tick of the vehicle step in the time loop's order, without the
// profiler marks, guards and reports the loop puts between its calls.
// `transfer` stands in for link transfer and network entry at their place in
// the tick. Shared by the movement tests and the vehicle-step benchmark.
#include "core/control/control.h"
#include "core/model/sim.h"
#include "core/movement/movement.h"

namespace velm {

// `before_sort` looks at the tables after the position update, while the
// link lists still have the previous tick's order.
template <class F, class G> void vehicle_step(Sim& s, int t10, F&& transfer, G&& before_sort) {
    s.control.t10 = t10;
    s.control.t = t10 / 10;
    setsignal1(s);
    setsignal2(s);
    lanpos(s, -1, t10);
    transfer();
    vehpos2(s, t10);
    before_sort();
    srtque(s);
    vehpos2b(s, t10);
    spilback(s);
    lanpos(s, -1, t10);
    vehpos5(s, t10);
    vehpos1(s, t10);
}

template <class F> void vehicle_step(Sim& s, int t10, F&& transfer) {
    vehicle_step(s, t10, transfer, [] {});
}

} // namespace velm
