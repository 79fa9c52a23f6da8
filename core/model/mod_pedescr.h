#pragma once
// Pedestrian crossings ("pedes_cr.dat"). The table has room for none.
namespace velm {

struct mod_pedescr {
    int mpds = 0;    // largest number of crossings held
    int npedscr = 0; // crossings read
};

} // namespace velm
