#pragma once
// The texts of the nearest-object reports and the reading of the input
// dialogs' entries: pure functions, so that they are tested without a display.
#include "core/model/frontend.h"

#include <string>
#include <string_view>

namespace velm::gui {

struct DialogText {
    std::string title;
    std::string text;
};

// The kinds of object a pick looks for.
enum class NearestKind {
    node,
    link,
    vehicle,
    signal,
    stop_sign,
    yield_sign,
    incident,
    loop_detector
};

// Nothing of the kind found: the click's pixel (x to the right, y upward) and
// world position (km).
DialogText dlg_message_no_nearest(NearestKind kind, float px, float py, float wx, float wy);

DialogText dlg_message_nearest_link(const LinkReport& r);
DialogText dlg_message_nearest_node(const NodeReport& r);
DialogText dlg_message_nearest_vehicle(const VehicleReport& r);
DialogText dlg_message_nearest_signal(const SignalReport& r);
// The object's number and the click's world position (km).
DialogText dlg_message_nearest_stop_sign(int link, float wx, float wy);
DialogText dlg_message_nearest_yield_sign(int link, float wx, float wy);
DialogText dlg_message_nearest_incident(int incident, float wx, float wy);
DialogText dlg_message_nearest_loop_detector(int station, float wx, float wy);

// The whole number at the start of an input dialog's entry (after leading
// blanks, with an optional sign); 0 when there is none or when it does not
// fit in 32 bits. "12abc" gives 12.
int leading_integer(std::string_view entry);

} // namespace velm::gui
