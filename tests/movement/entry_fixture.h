#pragma once
// A small road network for the entry, look-ahead, transfer and trip-end
// tests: links between nodes with their free-flow times, speeds, spacings,
// lane numbers and connections, empty lanes, trips with a stored path and a
// place in the departure list, and the files those steps write, in memory.
#include "core/movement/movement.h"
#include "core/movement/trip_completion.h"
#include "core/movement/vehicle_slots.h"
#include "movement_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace velm::testing_movement {

struct Road {
    int   l = 0, from = 0, to = 0, lanes = 1;
    float km = 0.2f; // length
    float fretim = 10.0f;
    int   room = 40;   // vehicles the link stores
    float jam = 7.0f;  // m, jam spacing
    float cap = 20.0f; // m, spacing at capacity
    float vc = 40.0f;  // km/h at capacity
    float vf = 72.0f;  // km/h free speed
};

// The builders over a base run: MoveRun for hand-coded links, or a run whose
// links the real link set-up calibrates.
template <class Base> struct TrafficOn : Base {
    using Base::lane_no;
    using Base::s;

    TrafficOn() {
        s.units.open_write(kUnitMoveLog, "moverr.out");
        s.vehtre.nxtfre = 1;
    }

    std::string moverr() const { return s.units.file_text("moverr.out"); }

    // Codes a link with empty lanes (their last vehicle as far back as the
    // link is long) and registers it at its end nodes.
    void road(const Road& r) {
        this->link(r.l, r.lanes, r.km, r.room, r.jam);
        s.delay.fretim(r.l) = r.fretim;
        s.link5.minhd(r.l, 3) = r.cap;
        s.link1.spdvol(r.l, 4) = r.vc;
        s.link1.spdvol(r.l, 7) = r.vf;
        s.link1.spdvol(r.l, 6) = 1800.0f;
        for (int k = 1; k <= r.lanes; ++k) s.lanexch.lstveh(lane_no(r.l, k), 2) = empty_space(r.l);
        ends(r.l, r.from, r.to);
    }

    // Link l runs from node `from` to node `to`.
    void ends(int l, int from, int to) {
        auto& g = s.graph1;
        s.link1.frnode(l) = from;
        s.link1.tonode(l) = to;
        for (int n : {from, to}) {
            if (g.x(n) <= 0.0f) g.x(n) = static_cast<float>(n);
            if (n > s.set2.mnodenum) s.set2.mnodenum = n;
        }
        g.linto(to, ++g.nlinto(to)) = l;
        g.linfr(from, ++g.nlinfr(from)) = l;
    }

    int empty_space(int l) const { return static_cast<int>(1000.0f * s.link4.llength(l)); }

    // Connects link a to link b (next connection index at a's end); lane k
    // of a continues in lane lane_b[k - 1] of b (0 none) with shift[k - 1]
    // lane changes.
    int connect(int a, int b, const std::vector<int>& lane_b = {},
                const std::vector<int>& shift = {}) {
        auto&     g = s.graph1;
        const int j = ++g.nlinot(a);
        g.linot(a, j) = b;
        s.lanexch.alanot(a, j) = j;
        g.linin(b, ++g.nlinin(b)) = a;
        const int lanes = std::abs(s.link1.nulans(a));
        for (int k = 1; k <= lanes; ++k) {
            const int ln = lane_no(a, k);
            const int to = k - 1 < static_cast<int>(lane_b.size())
                               ? lane_b[static_cast<std::size_t>(k - 1)]
                               : std::min(k, std::abs(s.link1.nulans(b)));
            s.lanexch.nxtlan(ln, j, 1) = to;
            s.lanexch.lanshf(ln, j) =
                k - 1 < static_cast<int>(shift.size()) ? shift[static_cast<std::size_t>(k - 1)] : 0;
        }
        return j;
    }

    // Stores the path of trip car in a new block of the path store.
    void path(int car, const std::vector<int>& links) {
        auto&     v = s.vehtre;
        const int first = v.nxtfre;
        for (std::size_t i = 0; i < links.size(); ++i)
            v.vehtre(first + static_cast<int>(i), 1) = links[i];
        v.tre_ind(car, 1) = links.empty() ? 0 : first;
        v.tre_ind(car, 2) = first + static_cast<int>(links.size()) - 1;
        v.tre_ind(car, 3) = v.tre_ind(car, 2) + 45;
        v.nxtfre = v.tre_ind(car, 3) + 1;
    }

    // A trip from zone o to zone d of class vt due at dep s, at the back of the
    // departure list.
    void trip(int car, int o, int d, float dep, const std::vector<int>& links, int vt = 1) {
        auto& v = s.vehicle;
        v.norig(car) = o;
        v.ndest(car) = d;
        v.strtrp(car, 1) = dep;
        v.strtrp(car, 2) = kNotDeparted;
        v.dept(car) = dep;
        v.pcu(car) = 1.0f;
        s.oddat.vtyp(car) = vt;
        s.oddat.vehper2(car) = 1;
        path(car, links);
        v.deplist(++s.set2.nondept) = car;
    }

    // Puts trip car on its first link as the entry step would, in lane `lane`
    // at pos m, due at the link end at dept s.
    int on_link(int car, int lane, float pos, float dept) {
        const int l = s.vehtre.vehtre(s.vehtre.tre_ind(car, 1), 1);
        const int vid = this->place(car, l, lane, pos);
        s.vehtre.tre_ind(car, 4) = 1;
        new_link(s, car, 2);
        s.vehicle.dept(car) = dept;
        s.vehicle.arrt(car) = s.vehicle.strtrp(car, 1);
        s.vehicle.strtrp(car, 2) = s.vehicle.strtrp(car, 1);
        s.vehicle.wait(vid, 1) = kNotWaiting;
        s.set1.tenr += 1;
        s.set1.tdep += 1;
        s.oddat.totvtn(s.oddat.vtyp(car), 2) += 1.0f;
        nextlane(s, car, 0, s.vehicle.nxtlnk(vid, 1), l, 3);
        return vid;
    }

    // The service order holds exactly these links.
    void serve(const std::vector<int>& links) {
        s.link2.nlact = static_cast<int>(links.size());
        for (std::size_t i = 0; i < links.size(); ++i)
            s.graph1.list(static_cast<int>(i) + 1) = links[i];
    }

    // Opens master slot k on file `name` (appending, so two slots may share it).
    void open_slot(int k, const std::string& name) {
        s.pathnam.filuse[static_cast<std::size_t>(k)] = 1;
        s.units.open_write(k, name, true);
    }
};

using Traffic = TrafficOn<MoveRun>;

// Checks, at tick time tm, that every trip due by then (schedule[car], s) is
// in exactly one state and that the run counters say the same as the tables.
template <class Run>
void expect_conserved(const Run& r, const std::vector<float>& schedule, int trips, float tm) {
    const auto& st = r.s.set1;
    int         due = 0, waiting = 0, abandoned = 0, ended = 0, on_links = 0;
    for (int car = 1; car <= trips; ++car) {
        if (schedule[static_cast<std::size_t>(car)] <= tm) ++due;
        const float state = r.s.vehicle.strtrp(car, 2);
        if (state == -1.0f) ++waiting;
        if (state == static_cast<float>(kNever)) ++abandoned;
        if (state >= 0.0f && state < static_cast<float>(kNever) && r.s.vehicle.dept(car) == -1.0f)
            ++ended;
    }
    for (int l = 1; l <= r.s.link2.mlnum; ++l) on_links += r.s.link2.ntqu(l);
    EXPECT_EQ(st.tdep, due);
    EXPECT_EQ(st.tdep, st.tenr + st.tarr + st.totin + st.tabnd + st.tmisr);
    EXPECT_EQ(st.tenr, on_links);
    EXPECT_EQ(st.totin, waiting);
    EXPECT_EQ(st.tabnd, abandoned);
    EXPECT_EQ(st.tarr + st.tmisr, ended);
    EXPECT_EQ(r.s.vehindx.tvehid, st.tenr + st.totin);
}

} // namespace velm::testing_movement
