#pragma once
// What the detector-station reader, the crediting and the poll outputs share.
#include "core/model/sim.h"

#include <algorithm>
#include <cstdlib>

namespace velm {

inline constexpr int kDetectorSlot = 21;       // master slot of the station file
inline constexpr int kUnitDetectorOut = 32;    // "detector.out" in the output directory
inline constexpr int kUnitDetectorReport = 26; // the current exchange report file

// Lanes of station d: those of its link, 1..7.
inline int station_lanes(const Sim& s, int d) {
    return std::clamp(std::abs(s.link1.nulans(s.detloc.detlink(d))), 1, kMaxLinkLanes);
}

// Station d takes part in the run: active, on a link that exists.
inline bool station_active(const Sim& s, int d) {
    const auto& dl = s.detloc;
    const int   l = dl.detlink(d);
    return dl.dettyp(d) > 0 && l >= 1 && l <= kMaxLinks && s.link4.llength(l) > 0.0f;
}

// Station d closes a poll at second t (t >= 1).
inline bool station_due(const Sim& s, int d, int t) {
    const int p = s.detloc.dettim(d);
    return station_active(s, d) && p >= 1 && t % p == 0;
}

} // namespace velm
