#pragma once
// Distributed intersection vehicle control: the switch its reader sets.
namespace velm {

struct mod_divc {
    int fmt_divc = 0; // 1: distributed intersection control runs each tick
};

} // namespace velm
