// Distributed intersection control. At each decision time of an intersection
// the vehicles on its four approaches are listed with the time each would
// need to reach the stop line at free speed; each of the four phase options
// is scored by the delay (or the clearing times) of the vehicles it does not
// serve, released one saturation headway apart once its own first movement
// has cleared; the best option gets the whole cycle of the intersection's
// signal, and every listed vehicle is advised the speed that brings it to the
// stop line at its scheduled time.
#include "core/control/intersection_control.h"
#include "core/control/control.h"
#include "core/control/speed_harmonisation.h" // link_defined
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/model/codes.h"
#include "core/network/input_support.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace velm {

namespace {

constexpr const char* kDivcFile = "input_divc.dat";
constexpr const char* kNoDivc = "     - No DI Vehicle Control file input";

constexpr int kErrDivcHeader = 639010;  // title or header missing, or too many intersections
constexpr int kErrDivcShort = 639020;   // a record ends early or holds bad data
constexpr int kErrDivcNumber = 639030;  // intersection number outside 1..500, or repeated
constexpr int kErrDivcLink = 639040;    // a link neither 0 nor a link of the network
constexpr int kErrDivcFlow = 639050;    // an approach without saturation flow or free speed
constexpr int kErrDivcSignal = 639060;  // the signal is not coded with four phases
constexpr int kErrDivcCrowded = 639070; // more vehicles than a decision lists

// Closer than this to the stop line (free-flow time x free speed, km/h x s) a
// vehicle that has to wait is told to stop.
constexpr float kStopReach = 100.0f;

const DivcOption kOptions[kDivcLegs] = {{2, 8, 1, 7}, {3, 9, 0, 0}, {5, 11, 4, 10}, {6, 12, 0, 0}};

// One record of the file, committed only when whole and valid.
struct DivcRecord {
    int   n = 0;
    int   alink[kDivcLegs] = {};
    int   dlink[kDivcLegs] = {};
    float turn[kDivcKinds] = {};
    float interval = 0.0f;
};

struct DivcReader {
    Sim&        s;
    FreeReader& in;

    template <class... T> bool refuse(int code, const T&... why) {
        wfree(s.units, kUnitRunLog, kDivcFile, " Error", code, "at line", in.line(), why...);
        return false;
    }
    bool read_all();
    bool read_record(DivcRecord& r);
    bool check(const DivcRecord& r);
    void commit(const DivcRecord& r);
};

bool DivcReader::read_all() {
    auto&       d = s.divc;
    auto&       u = s.units;
    std::string title;
    if (!in.text_line(title)) return refuse(kErrDivcHeader, "the title line is missing");
    wfree(u, kUnitSummary,
          "     - DI Vehicle Control INPUT FILE : " + netin::first_chars(title, 40));
    int n = 0, fmt = 0, obj = 0;
    if (in.record(n, fmt, obj) != ReadResult::ok)
        return refuse(kErrDivcHeader, "the header is incomplete or not numbers");
    if (n < 0 || n > kDivcMax)
        return refuse(kErrDivcHeader, "intersection count", n, "is outside 0 to", kDivcMax);
    d.ndivc = n;
    d.fmt_divc = fmt;
    d.obj_divc = obj;
    wfree(u, kUnitSummary, "DI Vehicle Control Input factor: ", n, fmt, obj);
    if (obj != 1 && obj != 2)
        wfree(u, kUnitSummary,
              "     - Evaluation code is neither 1 nor 2: decisions change no signal plan and "
              "give no speed advice");
    for (int i = 1; i <= n; ++i) {
        DivcRecord r;
        if (!read_record(r) || !check(r)) return false;
        commit(r);
    }
    return true;
}

bool DivcReader::read_record(DivcRecord& r) {
    in.start_record();
    ReadResult res = in.next(r.n);
    for (int a = 0; a < kDivcLegs && res == ReadResult::ok; ++a) res = in.next(r.alink[a]);
    for (int a = 0; a < kDivcLegs && res == ReadResult::ok; ++a) res = in.next(r.dlink[a]);
    for (int k = 0; k < kDivcKinds && res == ReadResult::ok; ++k) res = in.next(r.turn[k]);
    if (res == ReadResult::ok) res = in.next(r.interval);
    if (res != ReadResult::ok || in.slashed())
        return refuse(kErrDivcShort, "the intersection record is incomplete or not numbers");
    return true;
}

bool DivcReader::check(const DivcRecord& r) {
    if (r.n < 1 || r.n > kDivcMax)
        return refuse(kErrDivcNumber, "intersection", r.n, "is outside 1 to", kDivcMax);
    if (s.divc.defined(r.n) != 0)
        return refuse(kErrDivcNumber, "intersection", r.n, "has a record already");
    for (int a = 0; a < kDivcLegs; ++a) {
        for (const int l : {r.alink[a], r.dlink[a]})
            if (l != 0 && !link_defined(s, l))
                return refuse(kErrDivcLink, "intersection", r.n, "link", l, "is not a link");
        const int l = r.alink[a];
        if (l != 0 && !(s.link1.spdvol(l, 6) > 0.0f && s.link1.spdvol(l, 7) > 0.0f))
            return refuse(kErrDivcFlow, "intersection", r.n, "approach link", l,
                          "has no saturation flow or free speed");
    }
    if (r.n > kMaxSignals || !(s.signal.cycle(r.n) > 0.0f) || s.signal.phases(r.n) < kDivcLegs)
        return refuse(kErrDivcSignal, "signal", r.n, "is not coded with at least four phases");
    return true;
}

void DivcReader::commit(const DivcRecord& r) {
    auto& d = s.divc;
    for (int a = 1; a <= kDivcLegs; ++a) {
        d.alink(r.n, a) = r.alink[a - 1];
        d.dlink(r.n, a) = r.dlink[a - 1];
        d.divchway(r.n, a) =
            r.alink[a - 1] != 0 ? 3600.0f / s.link1.spdvol(r.alink[a - 1], 6) : kDivcDefaultHeadway;
    }
    for (int k = 1; k <= kDivcKinds; ++k) d.divcturn(r.n, k) = r.turn[k - 1];
    d.divcint(r.n) = r.interval;
    d.divctim(r.n) = 0.0f;
    d.defined(r.n) = 1;
    d.decided(++d.nread) = r.n;
    wfree(s.units, kUnitSummary, "DIVC Reading Results ", r.n, r.alink[0], r.alink[1], r.alink[2],
          r.alink[3], r.dlink[0], r.dlink[1], r.dlink[2], r.dlink[3]);
}

// Movement 1..12 of a vehicle on approach a heading for link next; 0 when
// next is none of the departures or is the approach's own departure.
int movement(const mod_divc& d, int n, int a, int next) {
    if (next == 0) return 0;
    for (int m = 1; m <= kDivcLegs; ++m) {
        if (d.dlink(n, m) != next) continue;
        if (m == a) return 0;
        const int k = m > a ? m - a : m + kDivcLegs - a;
        return kDivcKinds * (a - 1) + k;
    }
    return 0;
}

// The clearing time of movement v's kind.
float clearing(const mod_divc& d, int n, int v) {
    return d.divcturn(n, v % kDivcKinds + 1);
}

// Lists the vehicles approaching intersection n, sorted by free-flow time
// (equal times keep the order of the approaches and of each link's list).
void list_vehicles(Sim& s, int n) {
    auto& d = s.divc;
    d.list.clear();
    bool full = false;
    for (int a = 1; a <= kDivcLegs; ++a) {
        const int l = d.alink(n, a);
        if (l == 0) continue;
        const float uf = s.link1.spdvol(l, 7);
        if (!(uf > 0.0f)) continue; // closed by a scheduled speed change: no free-flow time
        const float len = kMetresPerKm * s.link4.llength(l);
        const int   base = s.link2.nbqu(l);
        for (int i = 1; i <= s.link2.ntqu(l); ++i) {
            const int car = s.vehicle.big(base + i);
            const int vid = s.vehindx.vehid(car);
            const int v = movement(d, n, a, s.vehicle.nxtlnk(vid, 1));
            const int lane = s.oddat.vlan(vid, 1);
            if (v == 0 || lane < 1 || lane > kMaxLinkLanes) continue;
            if (static_cast<int>(d.list.size()) >= kDivcListMax) {
                full = true;
                break;
            }
            const float f = (len - s.vehplot.dis(vid, 1)) / (uf / kKmhPerMps);
            d.list.push_back(DivcVehicle{car, lane, f, v, uf, l});
        }
    }
    if (full && d.crowded(n) == 0) {
        d.crowded(n) = 1;
        wfree(s.units, kUnitRunLog, kDivcFile, " Warning", kErrDivcCrowded, "intersection", n,
              "at second", s.control.t10 / 10, "has more than", kDivcListMax,
              "approaching vehicles; the rest are left out of its decisions");
    }
    std::stable_sort(d.list.begin(), d.list.end(),
                     [](const DivcVehicle& x, const DivcVehicle& y) { return x.f < y.f; });
}

// The plan of signal n: phase j gets the whole cycle, the phases before it
// none, those after it start at the cycle's end.
void give_cycle(Sim& s, int n, int j) {
    auto&       sg = s.signal;
    const float c = sg.cycle(n);
    const int   np = std::min(sg.phases(n), kMaxPhases);
    for (int p = 1; p <= np; ++p) {
        const float start = p <= j ? 0.0f : c;
        const float end = p < j ? 0.0f : c;
        sg.phstr(n, p, 1) = start;
        sg.phstr(n, p, 2) = end;
        sg.phstr(n, p, 3) = end;
    }
}

void decide(Sim& s, int n, int t10) {
    auto&      d = s.divc;
    const bool queue = d.obj_divc == 2;
    list_vehicles(s, n);
    DivcEarliest t2imin;
    t2imin.fill(static_cast<float>(kDivcNoVehicle));
    for (auto it = d.list.rbegin(); it != d.list.rend(); ++it) t2imin[it->move] = it->f;

    int   best = 1;
    float best_delay = 0.0f, best_start = 0.0f;
    for (int j = 1; j <= kDivcLegs; ++j) {
        float tdelay = 0.0f, tstart = 0.0f;
        divc_evaluate(s, divc_option(j), t2imin, n, queue, tdelay, tstart, d.sched[j - 1]);
        if (j == 1 || tdelay < best_delay) {
            best = j;
            best_delay = tdelay;
            best_start = tstart;
        }
    }

    d.divctim(n) += d.divcint(n);
    const float next = best_start + static_cast<float>(t10) / 10.0f;
    if (next > 0.0f && d.divctim(n) > next) d.divctim(n) = next;

    const auto& sched = d.sched[best - 1];
    for (std::size_t k = 0; k < d.list.size(); ++k) {
        const DivcVehicle& v = d.list[k];
        float              adv = v.uf;
        const float        ts = sched[k];
        if (ts > 0.0f) {
            adv = v.f * v.uf / ts;
            // One that has to wait and is almost at the line stops there; one
            // that is served keeps its speed and crosses.
            if (ts > v.f && v.f * v.uf < kStopReach) adv = 0.0f;
        }
        d.divcspd(v.car, 1) = adv;
        d.divcspd(v.car, 2) = static_cast<float>(v.link);
    }
    give_cycle(s, n, best);
}

} // namespace

const DivcOption& divc_option(int j) {
    return kOptions[std::clamp(j, 1, kDivcLegs) - 1];
}

void divc_evaluate(const Sim& s, const DivcOption& ph, const DivcEarliest& t2imin, int n,
                   bool queue, float& tdelay, float& tstart, std::vector<float>& sched) {
    const auto& d = s.divc;
    float       tfirst = t2imin[static_cast<std::size_t>(ph[0])];
    tstart = clearing(d, n, ph[0]) + tfirst;
    if (ph[1] != 0 && t2imin[static_cast<std::size_t>(ph[1])] < tfirst) {
        tfirst = t2imin[static_cast<std::size_t>(ph[1])];
        tstart = clearing(d, n, ph[1]) + tfirst;
    }
    float release[kDivcMovements + 1][kMaxLinkLanes + 1];
    float delay[kDivcMovements + 1] = {};
    for (auto& row : release) std::fill(std::begin(row), std::end(row), tstart);
    sched.resize(d.list.size());
    for (std::size_t k = 0; k < d.list.size(); ++k) {
        const DivcVehicle& v = d.list[k];
        const bool         served = std::find(ph.begin(), ph.end(), v.move) != ph.end();
        if (served) {
            sched[k] = queue ? -1.0f : v.f;
            continue;
        }
        float& c = release[v.move][v.lane];
        sched[k] = v.f;
        if (c > v.f) {
            delay[v.move] += queue ? clearing(d, n, v.move) : c - v.f;
            sched[k] = c;
        }
        c += d.divchway(n, (v.move - 1) / kDivcKinds + 1);
    }
    tdelay = 0.0f;
    for (int v = 1; v <= kDivcMovements; ++v) tdelay += delay[v];
}

void rd_divc(Sim& s) {
    auto& d = s.divc;
    auto& u = s.units;
    d.reset();
    section_heading(u, kUnitSummary, " 39. Distributed Intersection Vehicle Control - inputs  ");
    if (!u.open_read(kUnitInput, netin::input_name(s, kDivcFile))) {
        wfree(u, kUnitSummary, kNoDivc);
        wfree(u, kUnitSummary, "     ");
        return;
    }
    wfree(u, kUnitSummary, "     - Distributed intersection vehicle control input file opened ");
    FreeReader in(u.in(kUnitInput));
    DivcReader r{s, in};
    if (r.read_all())
        wfree(u, kUnitSummary, "  - Input of DIVC file complete ");
    else
        wfree(u, kUnitSummary, kNoDivc);
    u.close(kUnitInput);
    wfree(u, kUnitSummary, "     ");
}

void fun_divc(Sim& s, int t10) {
    auto& d = s.divc;
    if (d.obj_divc != 1 && d.obj_divc != 2) return;
    for (int k = 1; k <= d.nread; ++k) {
        const int n = d.decided(k);
        if (static_cast<float>(t10) >= 10.0f * d.divctim(n)) decide(s, n, t10);
    }
}

} // namespace velm
