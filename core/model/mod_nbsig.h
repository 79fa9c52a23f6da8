#pragma once
// Queue-reward signal control: the switch its reader sets.
namespace velm {

struct mod_nbsig {
    int fmt_nbsig = 0; // 1: queue-reward signal control runs each tick
};

} // namespace velm
