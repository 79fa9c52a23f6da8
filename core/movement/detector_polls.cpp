// What the detector stations measure: every tick each vehicle front that
// moves along a link credits the zones of that link's stations (count, speed,
// occupancy); once a second the stations whose polling period ends turn their
// accumulators into flow, harmonic mean speed and occupancy; the same second
// the results go to "detector.out" and to the exchange report files of the
// "interact" folder that an external controller reads.
#include "core/io/writers.h"
#include "core/movement/detectors.h"
#include "core/movement/movement.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace velm {

namespace {

constexpr float kOccupiedTick = 1000.0f; // occupancy of a tick spent in the zone
constexpr float kMinCountedSpeed = 1.0f; // km/h: floor of a counted vehicle's speed
constexpr long  kSecondsPerHourWhole = 3600;
constexpr int   kTicksPerMinute = 600;
// A minute's occupancy sum of one fully occupied lane: 600 ticks of
// kOccupiedTick, kept in thousandths of a percent (100 000).
constexpr float kMinuteOccupancyScale =
    100000.0f / (static_cast<float>(kTicksPerMinute) * kOccupiedTick);

const char* const kOutputName = "detector.out";
const char* const kTriggerName = "interact\\dettrig.trg";

// Flow in veh/h of `count` vehicles in a poll of `period` s, rounded down.
// Whole numbers throughout, so that an exact flow is never one below.
long hourly(long count, int period) {
    return kSecondsPerHourWhole * count / period;
}

// Occupancy share of a front moving from dold to dnew over a zone a..b (m),
// in thousandths of the tick, when the step touches the zone.
float occupancy_share(float dold, float dnew, float a, float b) {
    if (dnew == dold) return kOccupiedTick;
    const float dist = dnew - dold;
    float       occ = 0.0f;
    if (dold >= a && dnew < b) occ = kOccupiedTick;                      // inside throughout
    if (a > dold && dnew >= b) occ = kOccupiedTick * (b - a) / dist;     // crossed the whole zone
    if (a >= dold && b > dnew) occ = kOccupiedTick * (dnew - a) / dist;  // entered
    if (dold >= a && dnew >= b) occ = kOccupiedTick * (b - dold) / dist; // left
    return std::clamp(occ, 0.0f, kOccupiedTick);
}

// The record of a station reporting as a whole (type below 10); occ_width is
// the width of the occupancy field.
std::string station_record(const Sim& s, int t, int d, int occ_width) {
    const auto& dl = s.detloc;
    return fmt_i(t, 6) + fmt_i(d, 6) + fmt_i(dl.dettyp(d), 6) + fmt_f(dl.detspd(d, 2), 8, 2) +
           fmt_i(dl.detvol(d, 2), 6) + fmt_i(dl.detlan(d, 2), 6) +
           fmt_f(static_cast<double>(dl.detocc(d, 2)) / 10.0, occ_width, 1) +
           fmt_i(dl.detacc(d, 2), 6);
}

// The record of lane l, the k-th counted from the lane farthest from the
// curb, of a station reporting by lane; occ_decimals of the occupancy field.
std::string lane_record(const Sim& s, int t, int d, int k, int l, int occ_decimals) {
    const auto& dl = s.detloc;
    return fmt_i(t, 6) + fmt_i(d, 6) + fmt_i(dl.dettyp(d), 6) + fmt_i(k, 6) +
           fmt_i(static_cast<long>(dl.lndt(d, 2, 1, l)), 6) + fmt_f(dl.lndt(d, 2, 2, l), 8, 2) +
           fmt_f(static_cast<double>(dl.lndt(d, 2, 3, l)) / 10.0, 8, occ_decimals);
}

constexpr int kByLaneType = 10; // types from here on report one record per lane

// The occupancy fields of one file's two record layouts.
struct Layout {
    int station_occ_width;
    int lane_occ_decimals;
};

// Writes the records of the stations due at second t on `unit`.
void write_due(Sim& s, int unit, int t, Layout layout) {
    for (int d = 1; d <= s.detloc.mdetloc; ++d) {
        if (!station_due(s, d, t)) continue;
        if (s.detloc.dettyp(d) < kByLaneType) {
            s.units.line(unit, station_record(s, t, d, layout.station_occ_width));
            continue;
        }
        const int lanes = station_lanes(s, d);
        for (int k = 1; k <= lanes; ++k)
            s.units.line(unit, lane_record(s, t, d, k, lanes + 1 - k, layout.lane_occ_decimals));
    }
}

int records_due(const Sim& s, int t) {
    int n = 0;
    for (int d = 1; d <= s.detloc.mdetloc; ++d)
        if (station_due(s, d, t)) n += s.detloc.dettyp(d) < kByLaneType ? 1 : station_lanes(s, d);
    return n;
}

// "interact\t" + the report number in seven digits + ".det".
// Slot of the rolling hour that the minute holding tick t10 fills.
int minute_slot(int t10) {
    return (t10 / kTicksPerMinute) % kDetectorHourSlots + 1;
}

std::string report_name(int n) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%07d", n);
    return std::string("interact\\t") + digits + ".det";
}

} // namespace

void chkdetin(Sim& s, int& flag1, int& flag2, int nl, float dold, float dnew, float spd, int lan,
              int vt) {
    auto& dl = s.detloc;
    if (nl < 1 || nl > kMaxLinks) return;
    const int n = dl.ndetpos(nl);
    if (n == 0) return;
    const int  t10 = s.control.t10;
    const bool classed = vt >= 1 && vt <= kClasses;
    const int  lanes = std::min(std::abs(s.link1.nulans(nl)), kMaxLinkLanes);
    const bool in_lane = lan >= 1 && lan <= lanes;
    const int  first = dl.fdetpos(nl);
    const int  slot = minute_slot(t10);
    for (int i = 1; i <= n; ++i) {
        const int   d = dl.detlis(first + i);
        const float a = kMetresPerKm * dl.detpos(d, 1);
        const float b = kMetresPerKm * dl.detpos(d, 2);
        const bool  ends_inside = a <= dnew && dnew <= b;
        const auto  mark = [&] {
            if (!ends_inside) return;
            flag1 = t10;
            flag2 = d;
        };
        if (!classed || dl.detmsk(d, vt) <= 0) {
            mark();
            continue;
        }
        if (dold > b || a > dnew) continue; // the step does not touch the zone
        if (flag1 == t10 && flag2 == d) continue;
        const float occ = occupancy_share(dold, dnew, a, b);
        if (dold < b && dnew >= b) { // the front passes the end of the zone
            const float inv = 1.0f / std::max(spd, kMinCountedSpeed);
            dl.detvol(d, 1) += 1;
            dl.detlan(d, 1) += 1;
            dl.detspd(d, 1) += inv;
            dl.detsta(d, slot, 1) += 1.0f;
            dl.detsta(d, slot, 2) += spd;
            if (in_lane) {
                dl.lndt(d, 1, 1, lan) += 1.0f;
                dl.lndt(d, 1, 2, lan) += inv;
            }
        }
        // Summed in double: a long poll of a busy zone passes what a float
        // holds exactly.
        dl.detocc(d, 1) = static_cast<int>(static_cast<double>(dl.detocc(d, 1)) + occ);
        dl.detacc(d, 1) = 1;
        dl.detsta(d, slot, 3) +=
            occ * kMinuteOccupancyScale / static_cast<float>(std::max(lanes, 1));
        if (in_lane) dl.lndt(d, 1, 3, lan) += occ;
        mark();
    }
}

void detreset(Sim& s, int t) {
    auto& dl = s.detloc;
    // A new minute reuses the slot of an hour ago.
    if (t >= 0 && t % 60 == 0) {
        const int slot = minute_slot(t * 10);
        for (int d = 1; d <= dl.mdetloc; ++d)
            for (int k = 1; k <= kLaneMeasures; ++k) dl.detsta(d, slot, k) = 0.0f;
    }
    for (int d = 1; d <= dl.mdetloc; ++d) {
        if (t == 0) {
            if (!station_active(s, d)) continue;
            for (int c = 1; c <= kDetectorColumns; ++c) {
                dl.detvol(d, c) = dl.detlan(d, c) = dl.detocc(d, c) = dl.detacc(d, c) = 0;
                dl.detspd(d, c) = 0.0f;
                for (int k = 1; k <= kLaneMeasures; ++k)
                    for (int l = 1; l <= kMaxLinkLanes; ++l) dl.lndt(d, c, k, l) = 0.0f;
            }
            continue;
        }
        if (t < 0 || !station_due(s, d, t)) continue;
        const int period = dl.dettim(d);
        const int lanes = station_lanes(s, d);
        const int count = dl.detvol(d, 1);
        const int q = static_cast<int>(hourly(count, period));
        dl.detspd(d, 2) = count >= 1 ? static_cast<float>(count) / dl.detspd(d, 1) : 0.0f;
        dl.detvol(d, 2) = q;
        dl.detlan(d, 2) = q / lanes;
        dl.detocc(d, 2) = dl.detocc(d, 1) / period / lanes;
        dl.detacc(d, 2) = dl.detacc(d, 1);
        dl.detvol(d, 1) = dl.detlan(d, 1) = dl.detocc(d, 1) = dl.detacc(d, 1) = 0;
        dl.detspd(d, 1) = 0.0f;
        for (int l = 1; l <= lanes; ++l) {
            const float n = dl.lndt(d, 1, 1, l);
            dl.lndt(d, 2, 1, l) = static_cast<float>(hourly(static_cast<long>(n), period));
            dl.lndt(d, 2, 2, l) = n > 0.0f ? n / dl.lndt(d, 1, 2, l) : 0.0f;
            dl.lndt(d, 2, 3, l) = dl.lndt(d, 1, 3, l) / static_cast<float>(period);
            for (int k = 1; k <= kLaneMeasures; ++k) dl.lndt(d, 1, k, l) = 0.0f;
        }
    }
}

void det_sum(Sim& s, int t) {
    auto& u = s.units;
    if (s.detloc.mdetloc <= 0) return;
    if (t == 0) {
        const int         lp = s.pathnam.lpath[2];
        const std::string name =
            (lp > 0 ? s.filenam.path2.substr(0, static_cast<std::size_t>(lp)) : "") + kOutputName;
        if (!u.open_write(kUnitDetectorOut, name)) {
            wfree(u, kUnitRunLog, " ERROR: Fatal error occurred trying to create ", name);
            s.errcount.errt1 += 1;
            return;
        }
        u.line(kUnitDetectorOut, fmt_a(s.filenam.mastitle, kTitleLineChars));
        u.line(kUnitDetectorOut, fmt_i(t, 5) + fmt_i(0, 5) + fmt_i(0, 5));
        return;
    }
    if (t < 0 || !u.is_open(kUnitDetectorOut)) return;
    write_due(s, kUnitDetectorOut, t, {8, 1});
}

void detreport(Sim& s, int t) {
    auto&     u = s.units;
    auto&     dl = s.detloc;
    const int period = dl.detrepfr;
    if (period <= 0 || t < 0) return;
    if (t > 0) {
        if (u.is_open(kUnitDetectorReport))
            write_due(s, kUnitDetectorReport, t, {6, 2});
        else
            dl.dropped += records_due(s, t);
    }
    if (t % period != 0) return;
    u.close(kUnitDetectorReport);
    if (dl.dropped > 0) {
        wfree(u, kUnitRunLog, " Detector exchange:", dl.dropped, " station records of seconds",
              dl.dropped_since + 1, " to", t, " not written: no report file was open");
        dl.dropped = 0;
    }
    if (t > 0) {
        if (!u.open_write(kUnitDetectorReport, kTriggerName)) {
            // The controller keeps the previous report until the next period,
            // which tries again; the records meanwhile are counted, not written.
            wfree(u, kUnitRunLog, " Detector trigger file ", kTriggerName,
                  " cannot be written at second", t, "; no report file until second", t + period);
            dl.dropped_since = t;
            return;
        }
        wfree(u, kUnitDetectorReport, " Detector Trigger File ");
        wfree(u, kUnitDetectorReport, t);
        u.close(kUnitDetectorReport);
    }
    const int n = t / period + 1;
    if (!u.open_write(kUnitDetectorReport, report_name(n))) {
        wfree(u, kUnitRunLog, " ERROR: Fatal error occurred trying to open ",
              " detector output file in directory INTERACT");
        wfree(u, kUnitRunLog, " Ensure that the subdirectory INTERACT exists");
        s.errcount.errt1 += 1;
        return;
    }
    u.line(kUnitDetectorReport, fmt_a(s.filenam.mastitle, kTitleLineChars));
    u.line(kUnitDetectorReport, fmt_i(t, 5) + fmt_i(n, 5) + fmt_i(period, 5));
}

} // namespace velm
