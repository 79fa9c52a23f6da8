#pragma once
// The world-to-pixel window table of the display.
#include "core/model/array.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace velm {

inline constexpr int kGraphWindows = 5;      // windows 1..5; only window 1 is used
inline constexpr int kGraphWindowItems = 10; // items 1..10; only 1..6 are used
// Items of a window box: x-min, y-min, x-max, y-max, x-extent, y-extent.
inline constexpr int kWinXMin = 1;
inline constexpr int kWinYMin = 2;
inline constexpr int kWinXMax = 3;
inline constexpr int kWinYMax = 4;
inline constexpr int kWinXExt = 5;
inline constexpr int kWinYExt = 6;
// The box of an entry: 1 in pixels of the drawing layers, 2 in world km.
inline constexpr int kPixelBox = 1;
inline constexpr int kWorldBox = 2;

struct mod_graphing {
    // windows(iw, k, box): zero until the view is first set at the start of a
    // run, then kept after the run.
    Array3<float> windows{"windows", kGraphWindows, kGraphWindowItems, 2};
    // The special-keys help text and its title, filled on request and kept
    // for the rest of the run (empty until then).
    std::vector<std::string> keyhelp;
    std::string              keytitle;
    // What each device on the devices layer shows, by device key (empty after
    // the layer was cleared: every device is drawn again).
    std::unordered_map<int, int> devices_shown;
    // The blocked lanes the fixed layer shows (a digest; 0: none).
    std::uint64_t blocked_shown = 0;
};

} // namespace velm
