// The departure list: demand records become individual trips in order of
// departure, each with its class, type, occupancy, probe role and own random
// number.
#include "core/demand/departures.h"
#include "core/demand/demand.h"
#include "core/demand/demand_files.h"
#include "core/driver/errors.h"
#include "core/driver/random.h"
#include "core/io/writers.h"
#include "core/routing/routing.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

namespace velm {

namespace {

constexpr int   kStreamTrip = 1;     // occupancy and class of each trip
constexpr int   kStreamOwn = 2;      // each trip's own random number
constexpr int   kStreamHeadways = 4; // counts and headways per record
constexpr float kMinRate = 0.1f;     // veh/h below which a record is ignored
constexpr float kMinExpected = 0.1f; // expected vehicles below which a record is ignored
constexpr int   kListingSlot = 24;
constexpr int   kCountEchoRecords = 19; // per-record echoes only for short demand files

// Working tables of one call; the departures of each record are one block of
// tim, firstv advancing through it while the records are merged.
struct Work {
    Array1<float> tim{"tim", kMaxTrips};         // s, in generation order
    Array1<int>   firstv{"firstv", kMaxOdPairs}; // next unmerged entry; -1 none
    Array1<int>   lastv{"lastv", kMaxOdPairs};
    Array1<int>   stack{"stack", kMaxOdPairs}; // records of the current merge slice
};

float draw(Sim& s, int stream) {
    float u = 0.0f;
    random(s.rndnum.seed[stream], u);
    return u;
}

int whole(float v) {
    return static_cast<int>(std::trunc(v));
}

// A record time in whole seconds, cut to the horizon while still a real: a
// far end time (a time window can reach 2^31 s) must not wrap.
int whole_cut(float v, int horizon) {
    const double t = std::trunc(static_cast<double>(v));
    return static_cast<int>(
        std::clamp(t, -static_cast<double>(INT_MAX), static_cast<double>(horizon)));
}

bool has_unmerged(const Work& w, int n) {
    return w.firstv(n) >= 1 && w.firstv(n) <= w.lastv(n);
}

void report_capacity(Sim& s, int n) {
    auto&     u = s.units;
    const int o = s.oddat.o(n);
    const int d = s.oddat.d(n);
    u.line(kUnitRunLog,
           "Maximum number of vehicles is " + fmt_i(kMaxTrips, 9) + " and has been exceeded");
    u.line(kUnitRunLog, "Error occurred  for o-d pair= " + fmt_i(n, 5) + " from " + fmt_i(o, 5) +
                            " to " + fmt_i(d, 5));
    wfree(u, kUnitRunLog, "Maximum number of vehicles that can", " be generated is", kMaxTrips,
          " and has been exceeded");
    wfree(u, kUnitRunLog, "Error first occurred during processing", " for o-d pair= ", n, " from",
          o, " to ", d);
}

// The departures of record n appended to tim; nlast receives the record's
// count as the progress lines use it.
void generate_record(Sim& s, Work& w, int n, int& nlast) {
    auto&     od = s.oddat;
    auto&     nveh = s.set2.nveh;
    const int simtim1 = s.set1.simtim1;
    w.firstv(n) = -1;
    if (od.o(n) == -1 || od.demstr(n) >= od.demend(n) ||
        static_cast<double>(od.demstr(n)) >= static_cast<double>(simtim1) || od.numod(n) < kMinRate)
        return;
    const int    t0 = whole_cut(od.demstr(n), simtim1);
    const int    t1 = whole_cut(od.demend(n), simtim1);
    const double span = static_cast<double>(t1) - static_cast<double>(t0); // s
    const float  duration = static_cast<float>(span) / 3600.0f;            // h
    const float  x = od.numod(n) * duration;
    if (x < kMinExpected) return;
    // More trips than a run holds are refused below; the count stays an int.
    int N = x < static_cast<float>(kMaxTripsPerRun) ? whole(x) : kMaxTripsPerRun;
    if (x - static_cast<float>(N) > draw(s, kStreamHeadways)) ++N;
    nlast = N;
    if (N == 0) return;
    if (nveh + N > kMaxTripsPerRun) {
        report_capacity(s, n);
        return;
    }
    if (od.lodp - od.fodp <= kCountEchoRecords)
        wfree(s.units, kUnitSummary, "     - OD Pair : ", n, " number = ", N);

    // Time runs in whole hundredths of a second; h is the mean headway.
    const float h = 100.0f * static_cast<float>(span) / static_cast<float>(N);
    long long   T = 100LL * t0;
    const float k = od.rand(n);
    const float ak = std::fabs(k);
    auto        add = [&](float g) { T += static_cast<long long>(g); };
    auto        store = [&] {
        ++nveh;
        w.tim(nveh) = static_cast<float>(T) / 100.0f;
    };
    w.firstv(n) = nveh + 1;

    float g = h / 2.0f;
    if (k != 0.0f) {
        const float u = draw(s, kStreamHeadways);
        const float a = N >= 2 ? -std::log(u) * h * ak / 2.0f : u * ak * h;
        g = a + (1.0f - ak) * h / 2.0f;
    }
    add(g);
    store();
    if (k >= 0.0f) {
        for (int i = 2; i <= N; ++i) {
            g = k > 0.0f ? -std::log(draw(s, kStreamHeadways)) * h * k + h * (1.0f - k) : h;
            add(g);
            store();
        }
    } else {
        // Open-ended: the exponential stream runs on until it passes the end.
        int stored = 0;
        while (nveh < kMaxTripsPerRun) {
            add(-std::log(draw(s, kStreamHeadways)) * h * ak + h * (1.0f - ak));
            if (T > 100LL * t1 || T > 100LL * simtim1) break;
            store();
            ++stored;
        }
        N = 1 + stored;
    }
    w.lastv(n) = nveh;

    if (k > 0.0f) {
        // Stretch or compress the sequence so that it fills t0..t1.
        const float tf = w.tim(w.firstv(n));
        const float tl = w.tim(w.lastv(n));
        const float ft0 = static_cast<float>(t0);
        const float c = tf < tl ? static_cast<float>(t1 - t0) / (h / 200.0f + tl - ft0) : 1.0f;
        for (int i = w.firstv(n); i <= w.lastv(n); ++i) w.tim(i) = ft0 + (w.tim(i) - ft0) * c;
    }

    // A departure after the record's end would never be scheduled: drop it.
    int kept = w.firstv(n) - 1;
    for (int i = w.firstv(n); i <= w.lastv(n); ++i)
        if (static_cast<double>(w.tim(i)) <= static_cast<double>(t1)) w.tim(++kept) = w.tim(i);
    nveh = kept;
    w.lastv(n) = kept;
    N = kept - w.firstv(n) + 1;
    if (N == 0) w.firstv(n) = -1;
    nlast = N;
}

void progress_generation(Sim& s, int n) {
    const int  numodp = s.oddat.numodp;
    const bool write =
        numodp <= kCountEchoRecords || (numodp <= 9999 ? n % 1000 == 0 : n % 5000 == 0);
    if (write)
        s.units.line(kUnitRunLog, "    - Vehicle Generation o-d pair:  " + fmt_i(n, 8) + "  " +
                                      fmt_i(s.set2.nveh, 8));
}

// Clears an entry an earlier use of the trip number left behind. An entry that
// is all zero bits already is only read: a trip's rows that the run never sets
// stay untouched pages, which cost no memory.
template <class T> void clear(T& v) {
    unsigned char b[sizeof(T)];
    std::memcpy(b, &v, sizeof(T));
    for (unsigned char c : b)
        if (c != 0) {
            v = T{};
            return;
        }
}

// Trip kk departs at t from record n: its columns and its draws, in the order
// stream 1 (occupancy), stream 1 (class), stream 2 (own number).
void make_trip(Sim& s, int kk, int n, float t) {
    auto& od = s.oddat;
    auto& vh = s.vehicle;
    vh.dept(kk) = t;
    vh.norig(kk) = od.o(n);
    vh.ndest(kk) = od.d(n);
    if (vh.norig(kk) <= 0) wfree(s.units, kUnitRunLog, "invalid origin - routine genod");
    if (vh.ndest(kk) <= 0) wfree(s.units, kUnitRunLog, "invalid dest - routine genod");
    vh.pcu(kk) = od.veheq(n);
    vh.strtrp(kk, 1) = t;
    for (int j = 1; j <= 4; ++j) clear(vh.stpdel(kk, j));
    for (int j = 1; j <= 7; ++j) clear(vh.envt(kk, j));
    for (int j = 1; j <= 2; ++j) {
        clear(s.vehplot.trpdst(kk, j));
        clear(s.link1.stops(kk, j));
    }
    // No path block yet, and no crash-risk exposure.
    for (int j = 1; j <= 5; ++j) clear(s.vehtre.tre_ind(kk, j));
    for (int j = 1; j <= 3; ++j)
        for (int c = 1; c <= kCrashCategories; ++c) clear(s.accid.vehacc(kk, j, c));
    // No battery state until the energy model first meets the trip.
    auto& en = s.kzcpxm_energy;
    en.veh_soc(kk) = -1.0f;
    en.soc_threshold(kk) = -1.0f;
    en.veh_battery_capacity(kk) = -1.0f;

    float u = draw(s, kStreamTrip);
    if (od.vehocc(n) > 1.0f) {
        int extra = 0;
        poisson(u, od.vehocc(n), extra);
        od.percar(kk) = 1 + extra;
    } else {
        od.percar(kk) = 1;
    }
    od.vehper2(kk) = od.vehper1(n);

    const float v = draw(s, kStreamTrip);
    const float pr = od.profr(n);
    auto        frac = [](float x) { return x - std::trunc(x); };
    od.probe(kk) = 0;
    if (pr >= 0.0f && pr <= 1.0f && pr > frac(100.0f * v)) od.probe(kk) = 1;
    const float wown = draw(s, kStreamOwn);
    od.vrnd(kk) = whole(10000.0f * wown);
    if (pr >= -1.0f && pr <= 0.0f && std::fabs(pr) > frac(100.0f * wown)) od.probe(kk) = -1;
    if (pr > 1.0f && pr <= 100.0f && pr > 100.0f * frac(100.0f * wown)) od.probe(kk) = 2;
    if (pr > 100.0f && pr - 100.0f > frac(100.0f * wown)) {
        od.probe(kk) = 3;
        s.vehplot.timspc = 1;
    }

    od.vtyp(kk) = class_for_draw(s, n, v);
    od.vehcol(kk) = od.odcol(n, od.vtyp(kk));
    val_time(s, kk);
    od.totvtn(od.vtyp(kk), 1) += 1.0f;
}

// Merges the departures whose time is at most end, earliest first; of equal
// times the lower record number first.
void merge_slice(Sim& s, Work& w, int n0, int n1, double end, int& kk, int nlast) {
    int* heap = w.stack.data();
    int  count = 0;
    auto later = [&w](int a, int b) {
        const float ta = w.tim(w.firstv(a));
        const float tb = w.tim(w.firstv(b));
        return ta > tb || (ta == tb && a > b);
    };
    for (int n = n0; n <= n1; ++n)
        if (has_unmerged(w, n) && static_cast<double>(w.tim(w.firstv(n))) <= end) {
            heap[count++] = n;
            std::push_heap(heap, heap + count, later);
        }
    while (count > 0) {
        const int   n = heap[0];
        const float t = w.tim(w.firstv(n));
        if (static_cast<double>(t) > end) break;
        std::pop_heap(heap, heap + count, later);
        --count;
        ++kk;
        make_trip(s, kk, n, t);
        if (kk % 100 == 0 && (kk % 5000 == 0 || nlast <= 9999))
            s.units.line(kUnitRunLog, "   - vehicle " + fmt_i(kk, 8) + " generated at time= " +
                                          fmt_i(whole(s.vehicle.dept(kk)), 8) + " secs.");
        ++w.firstv(n);
        if (has_unmerged(w, n)) {
            heap[count++] = n;
            std::push_heap(heap, heap + count, later);
        }
    }
}

void write_listing(Sim& s) {
    const std::string name(trim_right(slot_name(s.filenam.files(kListingSlot))));
    if (name.empty() || name == "NONE" || name == "none" ||
        s.filenam.files(kListingSlot).front() == ' ')
        return;
    auto& u = s.units;
    wfree(u, kUnitSummary, " 100.  Listing of Individual Vehicle Departures ");
    if (!u.open_write(kUnitInput, output_path(s, name))) {
        wfree(u, kUnitRunLog, " Departure listing not written, the file cannot be created: ", name);
        output_not_written(s, output_path(s, name));
        return;
    }
    wfree(u, kUnitInput, " Individual vehicle departures ");
    wfree(u, kUnitInput, s.set2.nveh);
    const auto& vh = s.vehicle;
    for (int i = 1; i <= s.set2.nveh; ++i)
        u.line(kUnitInput, fmt_i(i, 8) + fmt_i(vh.norig(i), 8) + fmt_i(vh.ndest(i), 8) +
                               fmt_i(s.oddat.vtyp(i), 2) + fmt_f(vh.dept(i), 8, 1));
    u.close(kUnitInput);
}

// A class whose vehicles a message sign turns into another class makes that
// class's trees necessary.
void mark_sign_classes(Sim& s) {
    auto&       totvtn = s.oddat.totvtn;
    const auto& g = s.graph1;
    for (int i = 1; i <= std::min(s.set2.mnodenum, kMaxNodes); ++i) {
        if (g.x(i) <= 0.0f) continue;
        for (int j = 1; j <= kClasses; ++j) {
            const int to = g.cmstyp(i, j);
            if (totvtn(j, 1) > 0.0f && to >= 1 && to <= kClasses)
                totvtn(to, 4) = static_cast<float>(j);
        }
    }
}

} // namespace

int class_for_draw(const Sim& s, int n, float v) {
    const auto& kv = s.oddat.kvtyp;
    const int   nc = s.set2.nvehtyp;
    for (int j = 1; j <= nc; ++j)
        if (kv(n, j, 2) > v) return j;
    // A draw above the last cumulative share (the shares fell short of 1 by
    // rounding) goes to the highest class that has vehicles at all.
    for (int j = nc; j >= 1; --j)
        if (kv(n, j, 1) != 0.0f) return j;
    return 1;
}

MergeSlices merge_slices(int max_od_time) {
    if (max_od_time <= kSingleSliceTime) return {max_od_time, 1};
    const int length = max_od_time / kMergeSlices;
    return {length, max_od_time / length + 1};
}

void genod(Sim& s) {
    auto& u = s.units;
    auto& od = s.oddat;
    auto& st = s.set2;

    section_heading(u, kUnitSummary, "101. Decomposing Macro O-Ds into Micro Departures");
    section_heading(u, kUnitRunLog, "   ");
    wfree(u, kUnitRunLog, "     - Decomposing O-Ds into individual vehicles ");
    st.nveh = 0;
    s.vehplot.timspc = 0;
    for (int unit : {kUnitSummary, kUnitRunLog}) {
        wfree(u, unit, "     - First and last od pair :", od.fodp, od.lodp);
        wfree(u, unit, "     - First/last od override :", od.fodt, od.lodt);
    }

    auto      w = std::make_unique<Work>();
    const int n0 = std::max(od.fodp, 1);
    const int n1 = std::min(od.lodp, kMaxOdPairs);
    int       nlast = 0;
    for (int n = n0; n <= n1; ++n) {
        generate_record(s, *w, n, nlast);
        if (w->firstv(n) != -1) progress_generation(s, n);
    }
    u.line(kUnitRunLog, "       - Total vehicles to generate:  " + fmt_i(st.nveh, 8));

    od.totvtn.zero();
    for (int i = 1; i <= st.nveh; ++i) {
        s.vehicle.deplist(i) = i;
        od.vtyp(i) = 1;
        s.vehicle.strtrp(i, 2) = kNotDeparted;
    }
    st.nxtcar = 1;
    st.tdemand = st.nveh;
    int        kk = 0;
    const auto slices = merge_slices(od.max_od_time);
    for (int sl = 1; sl <= slices.count; ++sl)
        merge_slice(s, *w, n0, n1, static_cast<double>(sl) * slices.length, kk, nlast);
    // Departures beyond the last slice (an end time above max_od_time) are
    // still scheduled, after all others.
    merge_slice(s, *w, n0, n1, std::numeric_limits<double>::infinity(), kk, nlast);

    s.vehicle.dept(st.tdemand + 1) = 0.0f;
    wfree(u, kUnitSummary, "     - Total number of vehicles = ", st.nveh);
    st.nondept = st.nveh;

    write_listing(s);
    mark_sign_classes(s);
}

} // namespace velm
