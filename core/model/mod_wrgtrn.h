#pragma once
// Wrong-turn probabilities ("wrg_turn.dat"). Kept for the run; nothing acts on them.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kWrongTurnRows = 5; // nspdgrp
inline constexpr int kWrongTurnCols = 5;

struct mod_wrgtrn {
    Array2<float> wrgtrnp{"wrgtrnp", kWrongTurnRows, kWrongTurnCols};
    Array1<int>   nwrgtrn{"nwrgtrn", kMaxTrips}; // per trip; 0 from its departure on
};

} // namespace velm
