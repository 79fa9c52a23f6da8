#pragma once
// Wind stations and their readings for the dispersion of emissions
// ("windhead.dat").
#include "core/model/array.h"

namespace velm {

inline constexpr int kMaxWindStations = 10;
inline constexpr int kMaxWindReadings = 10;
inline constexpr int kMaxWindResolution = 10; // cells of the dispersion, 1..10

struct mod_wind {
    int           nwndst = 0;                                              // stations
    int           nwndrd = 0;                                              // readings
    int           nwnres = 0;                                              // dispersion resolution
    Array2<float> wndsta{"wndsta", kMaxWindStations, 2};                   // station x, y
    Array2<float> wndhd{"wndhd", kMaxWindReadings, kMaxWindStations};      // heading, degrees
    Array3<float> wndspd{"wndspd", kMaxWindReadings, kMaxWindStations, 2}; // two speeds
};

} // namespace velm
