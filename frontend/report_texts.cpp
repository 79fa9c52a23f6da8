// Report texts of the nearest-object picks.
#include "frontend/report_texts.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdarg>
#include <cstdio>

namespace velm::gui {

namespace {

// printf-style formatting into a string of any length.
[[gnu::format(printf, 1, 2)]] std::string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list again;
    va_copy(again, args);
    const int   n = std::vsnprintf(nullptr, 0, fmt, args);
    std::string out(static_cast<std::size_t>(std::max(n, 0)) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), fmt, again);
    va_end(again);
    va_end(args);
    out.resize(static_cast<std::size_t>(std::max(n, 0)));
    return out;
}

struct KindText {
    const char* title;
    const char* none;
};

KindText kind_text(NearestKind kind) {
    switch (kind) {
    case NearestKind::node:
        return {"Nearest Node", "No node selected"};
    case NearestKind::link:
        return {"Nearest Link", "No link selected"};
    case NearestKind::vehicle:
        return {"Nearest Vehicle", "No vehicle selected"};
    case NearestKind::signal:
        return {"Nearest Signal", "No Signal selected"};
    case NearestKind::stop_sign:
        return {"Nearest Stop Sign", "No Stop Sign selected"};
    case NearestKind::yield_sign:
        return {"Nearest Yield Sign", "No Yield Sign selected"};
    case NearestKind::incident:
        return {"Nearest Incident", "No Incident selected"};
    case NearestKind::loop_detector:
        return {"Nearest Detector Loop", "No Loop Detector Selected"};
    }
    return {"", ""};
}

// A found object's report: the kind's title, the object's number, the click.
DialogText object_at(NearestKind kind, const char* label, int number, float wx, float wy) {
    return {kind_text(kind).title,
            format("%s: %10i\nMouse Coordinates: x= %10.3f y= %10.3f\n", label, number,
                   static_cast<double>(wx), static_cast<double>(wy))};
}

double d(float v) {
    return static_cast<double>(v);
}

} // namespace

DialogText dlg_message_no_nearest(NearestKind kind, float px, float py, float wx, float wy) {
    const KindText k = kind_text(kind);
    return {k.title,
            format("%s\nMouse Coordinates: x= %10.3f y= %10.3f\nReal Coordinates:  x= %10.3f y= "
                   "%10.3f",
                   k.none, d(px), d(py), d(wx), d(wy))};
}

DialogText dlg_message_nearest_stop_sign(int link, float wx, float wy) {
    return object_at(NearestKind::stop_sign, "Link", link, wx, wy);
}
DialogText dlg_message_nearest_yield_sign(int link, float wx, float wy) {
    return object_at(NearestKind::yield_sign, "Link", link, wx, wy);
}
DialogText dlg_message_nearest_incident(int incident, float wx, float wy) {
    return object_at(NearestKind::incident, "Incident", incident, wx, wy);
}
DialogText dlg_message_nearest_loop_detector(int station, float wx, float wy) {
    return object_at(NearestKind::loop_detector, "Loop Detector", station, wx, wy);
}

DialogText dlg_message_nearest_node(const NodeReport& r) {
    return {
        format("Node #:  %5i", r.node),
        format(" - Node Type:        %5i\n - Macro Cluster:    %5i\n - Cluster Centroid: %5i\n\n"
               " - CMS Type:         %5i\n - U-Turn:           %5i\n - X-Coordinate:     %5i\n"
               " - Y-Coordinate:     %5i\n",
               r.type, r.macro_cluster, r.centroid, r.message_sign, r.uturn, r.x, r.y)};
}

DialogText dlg_message_nearest_link(const LinkReport& r) {
    DialogText out;
    out.title = format(" Link %5i:%5i-%5i   -%s-", r.link, r.from_node, r.to_node, "Name:Link");
    out.text = format(" - Link Number :               %5i\n - Start Node:                 %5i\n"
                      " - End Node:                   %5i\n\n",
                      r.link, r.from_node, r.to_node);
    out.text += format(" - Free Speed (kph):           %5i\n - Speed at Capacity (kph):    %5i\n"
                       " - Saturation Flow Rate (vph): %5i\n - Jam Density (veh/km/lane) : %5i\n"
                       " - Number of Lanes:            %5i\n\n",
                       r.free_speed, r.capacity_speed, r.saturation_flow, r.jam_density, r.lanes);
    out.text +=
        format(" - Speed Into Link (kph) :      %5i\n - Speed Out of Link (kph) :    %5i\n"
               " - Link Travel Time (sec) :     %7.1f\n - Number of Vehicles (veh) :   %5i\n"
               " - Link Length (m) :            %5i\n - Link grade (%%) :             %5i\n\n",
               r.speed_in, r.speed_out, d(r.travel_time), r.vehicles, r.length, r.grade);
    out.text +=
        format(" - Flow Into Link (vph):        %5i\n - Flow Out of Link (vph):      %5i\n"
               " - Capacity (vph):              %7.1f\n - Signal Number:               %5i\n"
               " - Phase Number:                %5i\n",
               r.flow_in, r.flow_out, d(r.capacity), r.control, r.indication);
    return out;
}

DialogText dlg_message_nearest_vehicle(const VehicleReport& r) {
    DialogText out;
    out.title = format("Vehicle = %7i", r.trip);
    out.text = format(" Origin         : %7i\n   Micro Dest   : %7i\n   Macro Dest   : %7i\n"
                      "   Trip Dist    : %10.3f km\n",
                      r.origin, r.micro_dest, r.macro_dest, d(r.trip_distance));
    out.text += format(" Veh Class      : %7i\n   RgMode       : %7i\n   PCE          : %7.3f\n"
                       "   Probe        : %7i\n   Veh Type     : %7i\n",
                       r.vehicle_class, r.routing_mode, d(r.pce), r.probe, r.vehicle_type);
    out.text += format(" Position       : %7.3f km\n   Headway      : %7.3f km\n"
                       "   Speed        : %7.1f kph\n   Accel        : %7.2f m/s^2\n",
                       d(r.position), d(r.headway), d(r.speed), d(r.accel));
    out.text += format(" Current- Link  : %7i\n   Length       : %7.3f\n   Lane         : %7i\n"
                       "   Turn         : %7i\n",
                       r.link, d(r.link_length), r.lane, r.turn);
    out.text += format(" Next   - Link  : %7i\n   Length       : %7.3f\n   Lane         : %7i\n"
                       "   Turn         : %7i\n",
                       r.next_link, d(r.next_length), r.next_lane, r.next_turn);
    out.text += format(" Future - Link  : %7i\n   Length       : %7.3f\n   Lane         :    -\n"
                       "   Turn         :    -\n",
                       r.future_link, d(r.future_length));
    const auto& c = r.current_walls;
    const auto& n = r.next_walls;
    const auto& l = r.lane_change;
    out.text += format(" IntCode        : %7i %7i\n Current Link   : %7.3f : %7.3f - %7.3f\n"
                       " Next Link      : %7.3f : %7.3f - %7.3f\n"
                       " Lane Change    : %7.1f  %7.1f - %7.1f  %7.1f - %7.1f",
                       r.exit_code, r.spill_back, d(c[0]), d(c[1]), d(c[2]), d(n[0]), d(n[1]),
                       d(n[2]), d(l[0]), d(l[1]), d(l[2]), d(l[3]), d(l[4]));
    return out;
}

DialogText dlg_message_nearest_signal(const SignalReport& r) {
    DialogText out;
    out.title = format("Signal: %10i", r.signal);
    out.text = format(" Cycle          : %10.1f   Offset       : %10.1f   Cycle Time   : %10.1f   "
                      "Phase        : %10i   Interval     : %2i\n",
                      d(r.cycle), d(r.offset), d(r.position), r.phase, r.interval);
    const int n = std::clamp(r.phases, 0, kReportPhases);
    out.text += "Phase Number: ";
    for (int p = 0; p < n; ++p) out.text += format("%10i ", r.number[static_cast<std::size_t>(p)]);
    const auto row = [&](const char* label, const std::array<float, kReportPhases>& times) {
        out.text += label;
        for (int p = 0; p < n; ++p)
            out.text += format("%10.1f ", d(times[static_cast<std::size_t>(p)]));
        out.text += '\n';
    };
    out.text += '\n';
    row("Start Green : ", r.green);
    row("Start Amber : ", r.amber);
    row("End of Phase: ", r.end);
    return out;
}

int leading_integer(std::string_view entry) {
    std::size_t i = 0;
    while (i < entry.size() && std::isspace(static_cast<unsigned char>(entry[i])) != 0) ++i;
    std::string_view rest = entry.substr(i);
    if (rest.size() > 1 && rest[0] == '+' && rest[1] != '-') rest.remove_prefix(1);
    int        value = 0;
    const auto res = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    return res.ec == std::errc{} ? value : 0;
}

} // namespace velm::gui
