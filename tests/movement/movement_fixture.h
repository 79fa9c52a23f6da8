#pragma once
// A run state for the movement tests: files in memory with the run log open,
// the slot tables reset as at run start, and builders that code links (block
// in the vehicle-list store, network lane numbers, jam spacing) and place
// trips on them through the real slot allocation.
#include "core/movement/movement.h"
#include "core/movement/vehicle_slots.h"
#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace velm::testing_movement {

struct MoveRun : support::MemoryRun {
    int next_lane = 0;  // network lane numbers handed out so far
    int next_block = 0; // store entries handed out so far

    MoveRun() : MemoryRun(support::Opened::run_log) { initvid(s); }

    // Codes link l with `lanes` lanes, `len_km` long, room for `room` vehicles
    // and jam spacing `jam` m; its lanes get the next network lane numbers.
    void link(int l, int lanes, float len_km = 0.5f, int room = 50, float jam = 7.0f) {
        s.link4.llength(l) = len_km;
        s.link1.nulans(l) = lanes;
        s.link2.nbqu(l) = next_block;
        s.link2.amaxq(l) = room;
        next_block += room;
        for (int k = 1; k <= lanes; ++k) s.lanexch.lannum(l, k) = ++next_lane;
        s.link5.minhd(l, 1) = jam;
        if (l > s.link2.mlnum) s.link2.mlnum = l;
    }

    // Gives trip car a slot and appends it at the back of link l's list, in
    // lane `lane` at `pos` m from the link start. Returns the slot.
    int place(int car, int l, int lane, float pos) {
        int vid = 0, flag = 0;
        setvid(s, car, vid, flag);
        EXPECT_EQ(flag, 0) << "no slot for trip " << car;
        s.oddat.curlnk(vid) = l;
        s.oddat.vlan(vid, 1) = lane;
        s.vehplot.dis(vid, 1) = pos;
        s.link2.ntqu(l) += 1;
        s.vehicle.big(s.link2.nbqu(l) + s.link2.ntqu(l)) = car;
        return vid;
    }

    // Removes trip car from link l's list and frees its slot, as a trip end does.
    void finish(int car, int l) {
        auto&     big = s.vehicle.big;
        const int base = s.link2.nbqu(l);
        int       n = s.link2.ntqu(l);
        for (int i = 1; i <= n; ++i) {
            if (big(base + i) != car) continue;
            for (int j = i; j < n; ++j) big(base + j) = big(base + j + 1);
            s.link2.ntqu(l) = --n;
            break;
        }
        rstvid(s, car);
    }

    // The trips on link l, front first.
    std::vector<int> trips(int l) const {
        std::vector<int> out;
        for (int i = 1; i <= s.link2.ntqu(l); ++i)
            out.push_back(s.vehicle.big(s.link2.nbqu(l) + i));
        return out;
    }

    int vid(int car) const { return s.vehindx.vehid(car); }
    int lane_no(int l, int k) const { return s.lanexch.lannum(l, k); }
};

using support::lines_of;

} // namespace velm::testing_movement
