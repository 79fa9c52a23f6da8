// What the window is told about a picked link, node, vehicle or signal, and
// the highlights drawn on the moving layer before the report is shown.
#include "core/display/display.h"
#include "core/display/graphing.h"
#include "core/display/picking.h"
#include "core/driver/errors.h"

#include <cstdio>
#include <string>
#include <vector>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr int   kWindow = 1;
constexpr float kUnit = 0.0074f; // km, one lane unit
constexpr int   kHighlightPen = 10;
constexpr int   kHighlightSteps = 20;
constexpr float kEdgeInner = 0.1f;   // lane units right of the node line
constexpr float kEdgeSetBack = 0.5f; // beyond the node's set-back
constexpr int   kVehiclePen = 14;
constexpr int   kOutline = 5;
constexpr float kHighlightShare = 0.01f; // of the view width above 1 km
constexpr int   kNameWidth = 40;
constexpr float kMsPerHour = 3600000.0f;
constexpr int   kCapacitySpeed = 4; // spdvol columns
constexpr int   kJamDensity = 5;
constexpr int   kMaxZoneNode = 2; // node types up to this are zones

int trunc_int(float v) {
    return static_cast<int>(v);
}

bool link_in_tables(const Sim& s, int l) {
    return l >= 1 && l <= s.link4.llength.hi();
}

// The vehicle slot of trip car, 0 when the trip is not on the network.
int network_slot(const Sim& s, int car) {
    if (car < 1 || car > s.vehindx.vehid.hi()) return 0;
    const int v = s.vehindx.vehid(car);
    return v >= 1 && v <= s.vehplot.xq.hi1() ? v : 0;
}

float view_width(const Sim& s) {
    return s.set2.xmax(2) - s.set2.xmin(2);
}

// Edge e (1 inner, 2 outer) of link l in pen 10.
void edge(Sim& s, int l, int e) {
    const auto& g = s.graph1;
    const int   f = s.link1.frnode(l), n = s.link1.tonode(l);
    const float dx = g.dx(l), dy = g.dy(l);
    const float o = (s.link1.addlin(l) > 0 ? 1.0f + kEdgeInner : kEdgeInner) +
                    static_cast<float>(s.link1.nulans(l) * (e - 1));
    const float b1 = static_cast<float>(g.mlanes(l, 1)) + kEdgeSetBack;
    const float b2 = static_cast<float>(g.mlanes(l, 2)) + kEdgeSetBack;
    mline(s, kWindow, g.x(f) + kUnit * (-dy * o - dx * b1), g.y(f) + kUnit * (dx * o - dy * b1),
          g.x(n) + kUnit * (dx * b2 - dy * o), g.y(n) + kUnit * (dx * o + dy * b2), 0.0f,
          kHighlightPen, kHighlightSteps);
}

} // namespace

LinkReport link_report(const Sim& s, int l) {
    LinkReport r;
    r.link = l;
    r.to_node = s.link1.tonode(l);
    r.from_node = s.link1.frnode(l);
    r.name = s.link5.linkname(l);
    r.name.resize(static_cast<std::size_t>(kNameWidth), ' ');
    r.free_speed = trunc_int(s.link4.freespd(l));
    r.capacity_speed = trunc_int(s.link1.spdvol(l, kCapacitySpeed));
    r.saturation_flow = trunc_int(s.link4.lanesat(l));
    r.jam_density = trunc_int(s.link1.spdvol(l, kJamDensity));
    r.lanes = s.link1.nulans(l);
    r.speed_in = trunc_int(s.delay.linspd(l, 1));
    r.speed_out = trunc_int(s.delay.linspd(l, 2));
    r.travel_time = s.delay.ttlink(l, 1);
    r.vehicles = s.link2.ntqu(l);
    r.length = trunc_int(kMetresPerKm * s.link4.llength(l));
    r.grade = trunc_int(100.0f * s.lnkgrade.lnkgrade(l) + 0.1f);
    r.flow_in = trunc_int(s.link1.outflw(l, 1));
    r.flow_out = trunc_int(s.link1.outflw(l, 2));
    // A link without a capacity headway has no capacity to show.
    const int headway = s.link1.capout(l);
    r.capacity = headway > 0 ? kMsPerHour / static_cast<float>(headway) : 0.0f;
    r.control = s.link3.tsignal(l);
    r.indication = std::abs(s.link3.signal(l, 1));
    return r;
}

NodeReport node_report(const Sim& s, int z) {
    const auto& g = s.graph1;
    NodeReport  r;
    r.node = z;
    r.type = g.ntyp(z);
    if (r.type <= kMaxZoneNode && z <= g.macrzon.hi()) {
        r.macro_cluster = std::abs(g.macrzon(z));
        if (r.macro_cluster >= 1 && r.macro_cluster <= g.mazn.hi())
            r.centroid = g.mazn(r.macro_cluster);
    }
    r.message_sign = trunc_int(g.cms(z));
    r.uturn = g.uturn(z) >= 0 ? 1 : 0;
    r.x = trunc_int(kMetresPerKm * g.x(z));
    r.y = trunc_int(kMetresPerKm * g.y(z));
    return r;
}

VehicleReport vehicle_report(const Sim& s, int n) {
    const auto&   od = s.oddat;
    const auto&   veh = s.vehicle;
    const auto&   plot = s.vehplot;
    VehicleReport r;
    r.trip = n;
    const int v = network_slot(s, n);
    if (v == 0) return r;
    r.origin = veh.norig(n);
    r.micro_dest = veh.ndest(n);
    const int dest = r.micro_dest;
    r.macro_dest =
        dest >= 1 && dest <= s.graph1.macrzon.hi() ? std::abs(s.graph1.macrzon(dest)) : 0;
    r.trip_distance = plot.trpdst(n, 1);
    r.vehicle_class = od.vtyp(n);
    r.routing_mode = od.rgmod(v);
    r.pce = veh.pcu(n);
    r.probe = od.probe(n);
    r.vehicle_type = od.vehper2(n);
    r.position = plot.dis(v, 1) / kMetresPerKm;
    r.headway = std::clamp(plot.hdwy(v, 3) / kMetresPerKm, 0.0f, 1.0f);
    r.speed = plot.spd(v, 4);
    r.accel = veh.vacc(v, 1);
    const int c = od.curlnk(v);
    r.link = c;
    const bool on_link = link_in_tables(s, c);
    r.link_length = on_link ? s.link4.llength(c) : 0.0f;
    r.lane = on_link ? s.link1.nulans(c) + 1 - od.vlan(v, 1) : 0;
    r.turn = veh.nxttrn(v, 1);
    r.next_link = veh.nxtlnk(v, 1);
    // No next link (-99 not yet known, -1 the trip ends here): its fields stay 0.
    if (r.next_link > 0 && link_in_tables(s, r.next_link)) {
        r.next_length = s.link4.llength(r.next_link);
        r.next_lane = s.link1.nulans(r.next_link) + 1 - od.vlan(v, 2);
        r.next_turn = veh.nxttrn(v, 2);
    }
    r.future_link = veh.nxtlnk(v, 4);
    if (r.future_link > 0 && link_in_tables(s, r.future_link))
        r.future_length = s.link4.llength(r.future_link);
    r.exit_code = od.stat(v);
    r.spill_back = plot.splbck(v);
    const auto& w = veh.carwal;
    r.current_walls = {1.0f - w(v, 1), w(v, 8), w(v, 9)};
    r.next_walls = {1.0f - w(v, 2), w(v, 10), w(v, 11)};
    r.lane_change = {w(v, 3), w(v, 4), w(v, 5), w(v, 6), w(v, 12)};
    return r;
}

SignalReport signal_state(Sim& s, int isig) {
    auto&        sg = s.signal;
    SignalReport r;
    r.signal = isig;
    r.cycle = sg.cycle(isig);
    r.offset = sg.offset(isig);
    r.phases = sg.phases(isig);
    const int listed = std::clamp(r.phases, 0, std::min(kMaxPhases, kReportPhases));
    for (int p = 1; p <= listed; ++p) {
        const auto k = static_cast<std::size_t>(p - 1);
        r.number[k] = p;
        r.green[k] = sg.phend(isig, p, 1);
        r.amber[k] = sg.phend(isig, p, 2);
        r.end[k] = sg.phend(isig, p, 3);
    }
    // A signal with no cycle in force (not coded in the plan, or a cycle of
    // 0) has no position: nothing is worked out and sigstat is left alone.
    if (r.cycle <= 0.0f) return r;
    const float since = r.cycle + static_cast<float>(s.control.t10) / 10.0f - r.offset;
    r.position = since - r.cycle * std::trunc(since / r.cycle);
    sg.sigstat(isig, 1) = -1;
    sg.sigstat(isig, 2) = -1;
    for (int p = 1; p <= listed; ++p) {
        if (sg.phend(isig, p, 1) <= r.position && r.position < sg.phend(isig, p, 3)) {
            sg.sigstat(isig, 1) = p;
            sg.sigstat(isig, 2) = r.position < sg.phend(isig, p, 2) ? 1 : 2;
        }
    }
    r.phase = sg.sigstat(isig, 1);
    r.interval = sg.sigstat(isig, 2);
    return r;
}

void closlink_a(Sim& s, int ind1, int ind2) {
    if (ind1 == 1 && link_in_tables(s, ind2)) {
        edge(s, ind2, 1);
        edge(s, ind2, 2);
        const LinkReport r = link_report(s, ind2);
        if (s.fe != nullptr) s.fe->show_nearest_link(r);
    } else if (ind1 == 2 && ind2 >= 1 && ind2 <= s.graph1.ntyp.hi()) {
        const NodeReport r = node_report(s, ind2);
        if (s.fe != nullptr) s.fe->show_nearest_node(r);
    }
}

void vehpos4_a(Sim& s, int car) {
    const int v = network_slot(s, car);
    if (v == 0) return;
    const int c = s.oddat.curlnk(v);
    if (link_in_tables(s, c) && s.link4.llength(c) > 0.0f) {
        const float w = view_width(s);
        const float z = w > 1.0f ? kHighlightShare * w : kHighlightShare;
        float       k = std::abs(s.vehicle.pcu(car)) * s.graph1.xylen(c) / s.link4.llength(c);
        for (const float size : {1.75f, 1.5f, 1.25f})
            dxmarker(s, kWindow, s.vehplot.xq(v, 1), s.vehplot.yq(v, 1), s.graph1.dx(c),
                     s.graph1.dy(c), k, kOutline, size * z, kVehiclePen);
    }
    const VehicleReport r = vehicle_report(s, car);
    if (s.fe != nullptr) s.fe->show_nearest_veh(r);
}

void sig_sum_a(Sim& s, int isig) {
    if (isig < 1 || isig > s.signal.cycle.hi()) return;
    const SignalReport r = signal_state(s, isig);
    if (s.fe != nullptr) s.fe->show_nearest_signal(r);
}

namespace {

template <class... T> std::string printed(const char* fmt, T... v) {
    char buf[256];
    std::snprintf(buf, sizeof buf, fmt, v...);
    return buf;
}

double d(float v) {
    return static_cast<double>(v);
}

} // namespace

void sig_sum(Sim& s, int isig) {
    if (isig < 1 || isig > s.signal.cycle.hi()) return;
    const SignalReport       r = signal_state(s, isig);
    std::string              title = printed(" Signal:%5i", isig);
    std::vector<std::string> mes(6);
    mes[0] =
        printed("Cycle:%10.1f   Offset:%10.1f   Cycle Time:%10.1f   Phase:%10i   Interval:%10i",
                d(r.cycle), d(r.offset), d(r.position), r.phase, r.interval);
    mes[2] = "Phase Number:";
    mes[3] = "Start Green :";
    mes[4] = "Start Amber :";
    mes[5] = "End of Phase:";
    const int n = std::clamp(r.phases, 0, kReportPhases);
    for (int p = 0; p < n; ++p) {
        const auto k = static_cast<std::size_t>(p);
        mes[2] += printed("%10i", r.number[k]);
        mes[3] += printed("%10.1f", d(r.green[k]));
        mes[4] += printed("%10.1f", d(r.amber[k]));
        mes[5] += printed("%10.1f", d(r.end[k]));
    }
    pop_box(s, static_cast<int>(mes.size()), title, mes);
}

void vehpos4(Sim& s, int car) {
    if (network_slot(s, car) == 0) return;
    const VehicleReport      r = vehicle_report(s, car);
    std::string              title = printed(" Vehicle =%7i", car);
    std::vector<std::string> mes;
    mes.push_back(printed(" Origin:%7i   Micro Dest:%7i   Macro Dest:%7i   Trip Dist:%10.3f km",
                          r.origin, r.micro_dest, r.macro_dest, d(r.trip_distance)));
    mes.push_back(printed(" Veh Class:%7i   RgMode:%7i   PCE:%7.3f   Probe:%7i   Veh Type:%7i",
                          r.vehicle_class, r.routing_mode, d(r.pce), r.probe, r.vehicle_type));
    mes.push_back(printed("Position:%7.3f km   Headway:%7.3f km   Speed:%7.1f kph   Accel:%7.2f",
                          d(r.position), d(r.headway), d(r.speed), d(r.accel)));
    mes.push_back(printed(" Current- Link:%7i   Length:%7.3f   Lane:%7i   Turn:%7i", r.link,
                          d(r.link_length), r.lane, r.turn));
    if (r.next_link > 0)
        mes.push_back(printed(" Next   - Link:%7i   Length:%7.3f   Lane:%7i   Turn:%7i",
                              r.next_link, d(r.next_length), r.next_lane, r.next_turn));
    else
        mes.push_back(
            printed(" Next   - Link:%7i   Length:   -   Lane:   -   Turn:   -", r.next_link));
    mes.push_back(printed(" Future - Link:%7i   Length:%7.3f", r.future_link, d(r.future_length)));
    mes.push_back(printed(" IntCode:%7i %7i", r.exit_code, r.spill_back));
    const auto& c = r.current_walls;
    const auto& n = r.next_walls;
    const auto& l = r.lane_change;
    mes.push_back(printed(" Current Link:%7.3f : %7.3f - %7.3f", d(c[0]), d(c[1]), d(c[2])));
    mes.push_back(printed(" Next Link   :%7.3f : %7.3f - %7.3f", d(n[0]), d(n[1]), d(n[2])));
    mes.push_back(printed(" Lane Change :%7.1f  %7.1f - %7.1f  %7.1f - %7.1f", d(l[0]), d(l[1]),
                          d(l[2]), d(l[3]), d(l[4])));
    pop_box(s, static_cast<int>(mes.size()), title, mes);
}

// The vehicle selected by display switch symb(9) has no text window to be
// shown in, and nothing sets the switch: the routine has no effect.
void shw_veh(Sim&) {}

} // namespace velm
