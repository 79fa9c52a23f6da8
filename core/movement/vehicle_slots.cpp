// Network slots: allocation, release, the 6-s compaction and the start-of-run
// reset.
#include "core/movement/vehicle_slots.h"

#include "core/driver/random.h"
#include "core/io/writers.h"
#include "core/movement/movement.h"

#include <algorithm>
#include <cstddef>

namespace velm {

namespace {

template <class T> int slot_rows(const Array1<T>& a) {
    return a.lo() == 1 ? a.hi() : -1;
}
template <class T, Layout L> int slot_rows(const Array2<T, L>& a) {
    return a.lo1() == 1 ? a.hi1() : -1;
}
template <class T> int slot_rows(const Array3<T>& a) {
    return a.lo1() == 1 ? a.hi1() : -1;
}

// Moves, column by column, the entry of every occupied slot among
// first..last (1-based) down to its new number, the occupied slots before
// first keeping theirs. Each column is one forward pass over contiguous
// storage; the occupancy is read from vehrid, which is renumbered only after
// every table has been moved.
template <class A>
void compact_table(A& a, const int* vehrid, int first, int last, bool clear_old) {
    if (slot_rows(a) != kMaxVehicles) detail::bad_index(a.name(), 1, slot_rows(a), 1, kMaxVehicles);
    const std::size_t rows = kMaxVehicles;
    const std::size_t cols = a.size() / rows;
    for (std::size_t c = 0; c < cols; ++c) {
        auto*       col = a.data() + c * rows;
        std::size_t n = static_cast<std::size_t>(first - 1); // next free 0-based row
        for (auto i = static_cast<std::size_t>(first - 1); i < static_cast<std::size_t>(last);
             ++i) {
            if (vehrid[i] <= 0) continue;
            if (n < i) {
                col[n] = col[i];
                if (clear_old) col[i] = {};
            }
            ++n;
        }
    }
}

// The same for a table kept by rows: each occupied row moves whole.
template <class T>
void compact_table(RowArray2<T>& a, const int* vehrid, int first, int last, bool clear_old) {
    if (slot_rows(a) != kMaxVehicles) detail::bad_index(a.name(), 1, slot_rows(a), 1, kMaxVehicles);
    const std::size_t width = a.size() / static_cast<std::size_t>(kMaxVehicles);
    T*                d = a.data();
    std::size_t       n = static_cast<std::size_t>(first - 1); // next free 0-based row
    for (auto i = static_cast<std::size_t>(first - 1); i < static_cast<std::size_t>(last); ++i) {
        if (vehrid[i] <= 0) continue;
        if (n < i) {
            std::copy_n(d + i * width, width, d + n * width);
            if (clear_old) std::fill_n(d + i * width, width, T{});
        }
        ++n;
    }
}

// The start-of-run state of slot rows first..last.
void set_up_slot_rows(Sim& s, int first, int last) {
    auto& x = s.vehindx;
    auto& p = s.vehplot;
    for (int vid = first; vid <= last; ++vid) {
        x.vehrid(vid) = -1;
        p.xq(vid, 1) = kNeverDrawn;
        p.yq(vid, 1) = kNeverDrawn;
        p.drawn(vid) = 0;
    }
}

// Slot rows above the set-up ones are set up only when a slot among them is
// handed out: a run touches the rows of the slots it uses, never the table.
void open_slot_rows(Sim& s, int vid) {
    auto& x = s.vehindx;
    set_up_slot_rows(s, x.vidtop + 1, vid);
    x.vidtop = vid;
}

void report_slots_exhausted(Sim& s, int asked) {
    auto& u = s.units;
    wfree(u, kUnitRunLog, "   ");
    wfree(u, kUnitRunLog, "  Error in routine SET VEHICLE ID ");
    wfree(u, kUnitRunLog, "  -Max. concurrent veh on network=", asked);
    wfree(u, kUnitRunLog, "  -Value exceeds maximum of limit=", kMaxVehicles);
    wfree(u, kUnitRunLog, "  -Requires larger version of VELMORANTIS");
    wfree(u, kUnitRunLog, "   ");
}

} // namespace

void setvid(Sim& s, int car, int& vid, int& flag) {
    auto& x = s.vehindx;
    flag = 0;
    vid = x.vehid(car);
    if (vid != 0) return; // the trip keeps its slot; nothing is drawn

    // A failed call keeps both increments: the run ends at the next guard.
    x.tvehid += 1;
    x.mvehid += 1;
    if (x.mvehid > kMaxVehicleSlots) {
        report_slots_exhausted(s, x.mvehid);
        flag = 1;
        vid = 0; // no slot: the number asked for lies outside the slot tables
        s.errcount.errt1 += 1;
        return;
    }
    vid = x.mvehid;
    if (vid > x.vidtop) open_slot_rows(s, vid);

    auto& o = s.oddat;
    x.vehid(car) = vid;
    x.vehrid(vid) = car;
    // A slot freed and compacted away still holds the marker of the vehicle
    // that had it: the newcomer has not been drawn anywhere yet.
    auto& p = s.vehplot;
    p.xq(vid, 1) = kNeverDrawn;
    p.yq(vid, 1) = kNeverDrawn;
    p.drawn(vid) = 0;
    o.rgmod(vid) = 1;
    o.stat(vid) = 0;
    o.cmst(vid, 1) = -9999;
    o.cmst(vid, 2) = 0;
    o.cmst(vid, 3) = 0;
    s.vehicle.nxtlnk(vid, 1) = kNextUnknown;
    s.shctl.sh_flag(vid) = 0;
    s.shctl.spd_ctl6(vid) = kNoSpeedLimit;

    // Driver factors x 100 from one draw of stream 2: headway 1..460, the
    // other two -258..258 (both variates clamp u to 0.01..0.99 first).
    float u = 0.0f;
    float f = 0.0f;
    random(s.rndnum.seed[2], u);
    negexp(u, f);
    o.rhead(vid, 1) = static_cast<int>(100.0f * f);
    normal(u, f);
    o.rhead(vid, 2) = static_cast<int>(100.0f * f);
    o.rhead(vid, 3) = o.rhead(vid, 2);
    auto& envir = s.vehicle.envir;
    for (int m = 1; m <= envir.hi3(); ++m)
        for (int k = 1; k <= envir.hi2(); ++k) envir(vid, k, m) = 0.0f;
}

void rstvid(Sim& s, int car) {
    auto&     x = s.vehindx;
    const int vid = x.vehid(car);
    x.vehid(car) = 0;
    if (vid > 0) {
        x.tvehid -= 1;
        x.vehrid(vid) = -1;
    }
}

void resetvid(Sim& s) {
    auto& x = s.vehindx;
    // After a failed allocation mvehid points past the tables; no slot there
    // was ever handed out.
    const int last = std::min(x.mvehid, kMaxVehicles);
    int       first = 1; // first free slot: everything before it stays put
    while (first <= last && x.vehrid(first) > 0) ++first;

    if (first <= last) {
        const int* occupied = x.vehrid.data();
        const bool power_model = s.kzcpxm_energy.energy_model == 1;
        for_each_slot_column(s, [&](auto& table, SlotMove how) {
            if (how == SlotMove::always)
                compact_table(table, occupied, first, last, false);
            else if (power_model)
                compact_table(table, occupied, first, last, true);
        });
    }

    int n = first - 1;
    for (int i = first; i <= last; ++i) {
        const int c = x.vehrid(i);
        if (c <= 0) continue;
        ++n;
        if (n < i) {
            x.vehrid(n) = c;
            x.vehid(c) = n;
            x.vehrid(i) = -1;
        }
    }
    x.tvehid = n;
    x.mvehid = n;
}

void initvid(Sim& s) {
    auto& x = s.vehindx;
    x.vehid.zero();
    // Rows never handed out are still untouched: they are set up when first used.
    set_up_slot_rows(s, 1, std::min(x.vidtop, kMaxVehicles));
    x.tvehid = 0;
    x.mvehid = 0;
}

} // namespace velm
