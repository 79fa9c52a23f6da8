// Trip completion and the probe records of vehicle movement.
#include "core/movement/trip_completion.h"

#include "core/io/writers.h"
#include "core/movement/vehicle_slots.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace velm {

namespace {

bool slot_in_use(const Sim& s, int slot) {
    return s.pathnam.filuse[static_cast<std::size_t>(slot)] == 1 && s.units.is_open(slot);
}

// Lanes of link l counted from the median side: lane 1 is the left-most.
int from_left(const Sim& s, int l, int lane) {
    return std::abs(s.link1.nulans(l)) + 1 - lane;
}

// km/h over length km in time s; 0 when no time passed.
float mean_speed(float km, float time) {
    return time > 0.0f ? km / time * 3600.0f : 0.0f;
}

// The vehicle leaves the network: slot released, run counters moved.
void leave_network(Sim& s, int car, int vid, float tr) {
    s.vehicle.arrt(car) = tr;
    s.vehicle.dept(car) = -1.0f; // reports count dept <= 0 as finished
    s.oddat.curlnk(vid) = -1;
    s.set1.tenr -= 1;
    s.oddat.totvtn(s.oddat.vtyp(car), 2) -= 1.0f;
}

} // namespace

void complete_trip(Sim& s, int car, int vid, int l, float tr, int t10) {
    const int o = s.vehicle.norig(car);
    const int d = s.vehicle.ndest(car);
    const int vt = s.oddat.vtyp(car);
    leave_network(s, car, vid, tr);
    s.nodes.arvls(o, d, vt) += 1;
    // Trip time runs from the scheduled departure: waiting at the origin counts.
    s.nodes.trtim(o, d, vt) += tr - s.vehicle.strtrp(car, 1);
    s.set1.tarr += 1;
    s.oddat.totvtn(vt, 3) += 1.0f;
    if (std::abs(s.oddat.probe(car)) == 1 && slot_in_use(s, kUnitTripProbe))
        write_trip_record(s, car, l, tr, t10);
    rstvid(s, car);
}

void end_misrouted_trip(Sim& s, int car, int vid, float tr) {
    wfree(s.units, kUnitRunLog, " Trip lost:", car, " from zone", s.vehicle.norig(car), " to zone",
          s.vehicle.ndest(car), " class", s.oddat.vtyp(car), " has no link after link",
          s.oddat.curlnk(vid), " at t=", static_cast<int>(tr));
    leave_network(s, car, vid, tr);
    s.set1.tmisr += 1;
    rstvid(s, car);
}

void write_trip_record(Sim& s, int car, int l, float tr, int t10) {
    const auto& v = s.vehicle;
    const float trip = tr - v.strtrp(car, 1);
    const float km = s.vehplot.trpdst(car, 1);
    std::string r = fmt_i(1, 3) + fmt_f(static_cast<double>(t10) / 10.0, 8, 1) + fmt_i(car, 8) +
                    fmt_i(s.oddat.vtyp(car), 2) + fmt_i(l, 6) + fmt_i(v.norig(car), 5) +
                    fmt_i(v.ndest(car), 5);
    r += fmt_f(v.strtrp(car, 1), 8, 1) + fmt_f(v.strtrp(car, 2), 8, 1) + fmt_f(trip, 8, 1);
    r += fmt_f(v.stpdel(car, 4), 8, 1) + fmt_f(v.stpdel(car, 2), 8, 1) +
         fmt_f(s.link1.stops(car, 1), 8, 1);
    r += fmt_f(km, 9, 3) + fmt_f(mean_speed(km, trip), 6, 1);
    for (int k = 1; k <= 7; ++k) r += fmt_f(v.envt(car, k), 12, 5);
    for (int c = 1; c <= kCrashCategories; ++c) r += fmt_f(s.accid.vehacc(car, 2, c), 12, 6);
    r += fmt_f(s.tolplaz.vehtol(car, 2) / 100.0f, 7, 2) + fmt_f(v.vaccel(car, 2), 15, 1);
    s.units.line(kUnitTripProbe, r);
}

void write_link_record(Sim& s, int car, int vid, int l, float tr) {
    if (!slot_in_use(s, kUnitLinkProbe)) return;
    const auto& v = s.vehicle;
    const int   next = v.nxtlnk(vid, 1);
    // At the trip's last link there is no next link and no lane on it.
    const int next_lane =
        next >= 1 && next <= kMaxLinks ? from_left(s, next, s.oddat.vlan(vid, 2)) : 0;
    const float time = tr - v.arrt(car);
    const float km = s.link4.llength(l);
    std::string r = fmt_i(11, 3) + fmt_f(tr, 9, 1) + fmt_i(car, 8) + fmt_i(s.oddat.vtyp(car), 2) +
                    fmt_i(l, 6) + fmt_i(from_left(s, l, s.oddat.vlan(vid, 1)), 3) + fmt_i(next, 6) +
                    fmt_i(next_lane, 3) + fmt_i(v.norig(car), 5) + fmt_i(v.ndest(car), 5);
    r += fmt_f(v.strtrp(car, 1), 7, 1) + fmt_f(v.strtrp(car, 2), 7, 1) + fmt_f(time, 7, 1);
    r += fmt_f(v.stpdel(car, 3), 9, 2) + fmt_f(v.stpdel(car, 1), 9, 2) +
         fmt_f(s.link1.stops(car, 2), 9, 2);
    r += fmt_f(km, 7, 3) + fmt_f(mean_speed(km, time), 6, 1) + fmt_f(s.vehplot.spd(vid, 2), 6, 1);
    for (int k = 1; k <= 5; ++k) r += fmt_f(v.envir(vid, k, 2), 12, 6);
    r += fmt_f(v.envir(vid, 6, 2), 12, 3) + fmt_f(v.envir(vid, 7, 2), 12, 6);
    for (int c = 1; c <= kCrashCategories; ++c) r += fmt_f(s.accid.vehacc(car, 1, c), 12, 6);
    r += fmt_f(s.tolplaz.vehtol(car, 1) / 100.0f, 7, 2) + fmt_f(v.vaccel(car, 1), 12, 2);
    s.units.line(kUnitLinkProbe, r);
}

void write_second_record(Sim& s, int t, int car, int vid, int l, const SecondRecord& r) {
    if (!slot_in_use(s, kUnitLinkProbe)) return;
    const auto& v = s.vehicle;
    const float uf = s.link1.spdvol(l, 7);
    const float late = uf > 0.0f ? std::max(1.0f - r.s1 / uf, 0.0f) : 0.0f;
    std::string rec = fmt_i(21, 3) + fmt_i(t, 6) + fmt_i(car, 6) + fmt_i(s.oddat.vtyp(car), 3) +
                      fmt_i(s.oddat.vehper2(car), 3) + fmt_i(l, 6) +
                      fmt_i(from_left(s, l, s.oddat.vlan(vid, 1)), 3) + fmt_i(v.norig(car), 6) +
                      fmt_i(v.ndest(car), 6);
    rec += fmt_f(v.strtrp(car, 1), 8, 1) + fmt_f(v.strtrp(car, 2), 8, 1) +
           fmt_f(static_cast<float>(t) - v.strtrp(car, 1), 8, 1);
    rec += fmt_f(late, 8, 3) + fmt_f(r.s1 < 1.0f ? 1.0 : 0.0, 8, 3) + fmt_f(r.sf, 8, 3) +
           fmt_f(s.vehplot.dis(vid, 1) / kMetresPerKm, 8, 3) + fmt_f(r.hdwy, 8, 1);
    rec += fmt_f(s.vehplot.spd(vid, 4), 6, 1) + fmt_f(v.vacc(vid, 2), 6, 1);
    rec += fmt_f(r.fuel, 10, 5) + fmt_f(r.energy, 10, 5);
    for (float g : r.species) rec += fmt_f(g, 10, 5);
    for (int c = 1; c <= kCrashCategories; ++c) rec += fmt_f(s.accid.vehacc(car, 3, c), 4, 1);
    rec += fmt_f(s.tolplaz.vehtol(car, 3), 6, 2) + fmt_f(s.vehplot.accmod(vid, 4), 10, 2);
    s.units.line(kUnitLinkProbe, rec);
}

void write_next_link_error(Sim& s, int t, int car, int vid, int l, int ldest) {
    if (!s.units.is_open(kUnitMoveLog)) return;
    const int d = s.vehicle.ndest(car);
    const int macro = d >= 1 && d <= kMaxZones ? std::abs(s.graph1.macrzon(d)) : 0;
    const int centroid = macro >= 1 && macro <= kMaxMacroZones ? s.graph1.mazn(macro) : 0;
    s.units.line(kUnitMoveLog, "moveveh: Next Link Error, " + fmt_i(t, 8) + fmt_i(car, 8) +
                                   fmt_i(l, 6) + fmt_i(ldest, 6) + fmt_i(d, 6) + fmt_i(macro, 6) +
                                   fmt_i(centroid, 6) + fmt_i(s.oddat.rgmod(vid), 6) +
                                   fmt_i(s.vehicle.norig(car), 6));
}

} // namespace velm
