#pragma once
// Link flows, travel times and tolls of an earlier run (master slot 6) by
// link, class and period, and the origin-destination cost matrix of the
// class trees.
#include "core/model/array.h"
#include "core/model/limits.h"

namespace velm {

inline constexpr int kHistoryPeriods = 24; // periods of the earlier run's file
inline constexpr int kOdSlices = 24;       // demand slices of odtime

struct mod_feedback {
    // (l, vt, p): mean link time s (default the free-flow time, truncated),
    // flow veh/h and mean toll in hundredths of the money unit; sized for the
    // run's links when the file is read.
    Array3<int> histim{"histim", kMaxLinks, kClasses, kHistoryPeriods};
    Array3<int> hisvol{"hisvol", kMaxLinks, kClasses, kHistoryPeriods};
    Array3<int> histol{"histol", kMaxLinks, kClasses, kHistoryPeriods};
    int         nperiods = 0; // periods in the file; 0 until read
    int         perdur = 0;   // s, period length of the file
    // odtime(oz, dz, vt, ntsl): cheapest cost in whole s from zone node oz to
    // macro destination dz (0 = unreachable). Sized by the tree builder for the
    // run's zones and macro zones; rows cover max(macro zones, zones) so a
    // reader that takes a zone number as a macro destination stays inside.
    Array4<int> odtime;

    void size_odtime(int mzones, int mmazon) {
        const int dests = mmazon > mzones ? mmazon : mzones;
        if (odtime.size() > 0 && odtime.hi(1) == mzones && odtime.hi(2) == dests) return;
        odtime = Array4<int>("odtime", mzones, dests, kClasses, kOdSlices);
    }
};

} // namespace velm
