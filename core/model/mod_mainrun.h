#pragma once
// Working storage of the main routine, alive for one run: the link-cost work
// array handed to the tree builder, the ambient temperature for the fuel step,
// the pause-request second and the texts of the run's message boxes.
#include "core/model/array.h"
#include "core/model/limits.h"

#include <array>
#include <string>

namespace velm {

inline constexpr float kNoLinkCost = 99999.0f;   // object1 of a link number without a link
inline constexpr int   kNoPauseAsked = 99999999; // nxt_ptime before "pause.vlm" names a second
inline constexpr int   kBoxLines = 10;           // lines of one message box

struct mod_mainrun {
    Array1<float> object1{"object1", kMaxLinks}; // s per link; kNoLinkCost where no link exists
    float         temp = 0.0f;                   // ambient temperature (deg C) from infuel
    int           nxt_ptime = kNoPauseAsked;     // second named by "pause.vlm"
    std::string   pause_rejected;           // text of the "pause.vlm" last reported as unusable
    bool          pause_reported = false;   // that text has had its run-log line
    std::string   title;                    // message-box title
    std::array<std::string, kBoxLines> mes; // message-box lines (0-based here)

    void reset() {
        object1.fill(kNoLinkCost);
        temp = 0.0f;
        nxt_ptime = kNoPauseAsked;
        pause_rejected.clear();
        pause_reported = false;
        title.clear();
        for (auto& m : mes) m.clear();
    }
};

} // namespace velm
