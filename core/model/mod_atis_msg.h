#pragma once
// Traveller-information messages of "atis_msg.dat": for a time window, a
// link's travel time as routing sees it is set, raised or scaled.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kMaxAtisMessages = 100;
inline constexpr int kAtisSet = 1;   // the link's time becomes v
inline constexpr int kAtisAdd = 2;   // v is added to it
inline constexpr int kAtisScale = 3; // it is multiplied by v

struct mod_atis_msg {
    int natismsg = 0; // messages held; 0 without the file
    // (i, 1) link, (i, 2) window start s, (i, 3) window end s (active while
    // start <= t < end), (i, 4) type, (i, 5) v x 100 truncated.
    Array2<int> atismsg{"atismsg", kMaxAtisMessages, 5};

    void reset() {
        natismsg = 0;
        atismsg.zero();
    }
};

} // namespace velm
