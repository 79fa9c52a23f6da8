// Network slots: allocation with its driver draws, release, compaction of
// every per-slot table, the start-of-run reset and the slot limit.
#include "movement_fixture.h"

#include "core/driver/random.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_movement::lines_of;
using testing_movement::MoveRun;

// Every entry of slot vid of a per-slot table, column by column.
template <class T, class G> void each_entry(Array1<T>& a, int vid, G g) {
    g(a(vid), 0);
}
template <class T, Layout L, class G> void each_entry(Array2<T, L>& a, int vid, G g) {
    int c = 0;
    for (int j = a.lo2(); j <= a.hi2(); ++j) g(a(vid, j), c++);
}
template <class T, class G> void each_entry(Array3<T>& a, int vid, G g) {
    int c = 0;
    for (int k = a.lo3(); k <= a.hi3(); ++k)
        for (int j = a.lo2(); j <= a.hi2(); ++j) g(a(vid, j, k), c++);
}
template <class T> int rows(const Array1<T>& a) {
    return a.hi();
}
template <class T, Layout L> int rows(const Array2<T, L>& a) {
    return a.hi1();
}
template <class T> int rows(const Array3<T>& a) {
    return a.hi1();
}

// A value that names its slot, table and column.
float tag(int slot, int table, int column) {
    return static_cast<float>(10000 * slot + 100 * table + column);
}

TEST(SlotCompactionList, NamesEveryPerSlotTableWithAllItsColumns) {
    std::map<std::string, int> expected = {
        {"xq", 2},     {"yq", 2},      {"stat", 1},     {"rgmod", 1},
        {"cmst", 3},   {"vlan", 2},    {"rhead", 3},    {"presig", 1},
        {"vehdiv", 1}, {"nxtlnk", 5},  {"nxttrn", 2},   {"hdwy", 3},
        {"dis", 3},    {"spd", 4},     {"buswait", 1},  {"lnchtm", 4},
        {"dstbeh", 2}, {"wait", 5},    {"pspd", 1},     {"vacc", 2},
        {"curlnk", 1}, {"splbck", 1},  {"held", 1},     {"lanechan", 1},
        {"entden", 1}, {"vsigstp", 2}, {"pre_spd", 3},  {"accmod", 4},
        {"envir", 14}, {"carwal", 12}, {"dis_his", 10}, {"veh_vsp_param", 8},
        {"drawn", 1}};
    expected.insert({{"sh_flag", 1}, {"spd_ctl6", 1}}); // speed-harmonisation advisories
    MoveRun                    r;
    std::map<std::string, int> seen;
    for_each_slot_column(r.s, [&](auto& table, SlotMove how) {
        int columns = 0;
        each_entry(table, 1, [&](auto&, int) { ++columns; });
        EXPECT_TRUE(seen.emplace(table.name(), columns).second) << table.name() << " twice";
        EXPECT_EQ(rows(table), kMaxVehicles) << table.name();
        EXPECT_EQ(how == SlotMove::power_model, std::string(table.name()) == "veh_vsp_param")
            << table.name();
    });
    EXPECT_EQ(seen, expected);
}

// Slots 1, 2, 3 held, the trip of slot 2 ends, compaction: the trip of slot 3
// moves to slot 2 with every column of every per-slot table.
class SlotCompactionMoves : public ::testing::TestWithParam<int> {};

TEST_P(SlotCompactionMoves, EveryFieldOfTheLastSlotMovesIntoTheHole) {
    MoveRun r;
    auto&   s = r.s;
    s.kzcpxm_energy.energy_model = GetParam();
    int vid = 0, flag = 0;
    for (int car : {101, 102, 103}) setvid(s, car, vid, flag);
    ASSERT_EQ(s.vehindx.mvehid, 3);

    int table = 0;
    for_each_slot_column(s, [&](auto& a, SlotMove) {
        ++table;
        for (int slot = 1; slot <= 3; ++slot)
            each_entry(a, slot, [&](auto& e, int c) {
                e = static_cast<std::remove_reference_t<decltype(e)>>(tag(slot, table, c));
            });
    });

    rstvid(s, 102);
    resetvid(s);

    EXPECT_EQ(s.vehindx.mvehid, 2);
    EXPECT_EQ(s.vehindx.tvehid, 2);
    EXPECT_EQ(s.vehindx.vehid(101), 1);
    EXPECT_EQ(s.vehindx.vehid(102), 0);
    EXPECT_EQ(s.vehindx.vehid(103), 2);
    EXPECT_EQ(s.vehindx.vehrid(1), 101);
    EXPECT_EQ(s.vehindx.vehrid(2), 103);
    EXPECT_EQ(s.vehindx.vehrid(3), -1);

    const bool power_model = GetParam() == 1;
    table = 0;
    for_each_slot_column(s, [&](auto& a, SlotMove how) {
        ++table;
        const bool moves = how == SlotMove::always || power_model;
        each_entry(a, 1, [&](auto& e, int c) {
            EXPECT_EQ(static_cast<float>(e), tag(1, table, c)) << a.name() << " column " << c;
        });
        each_entry(a, 2, [&](auto& e, int c) {
            EXPECT_EQ(static_cast<float>(e), tag(moves ? 3 : 2, table, c))
                << a.name() << " column " << c;
        });
        // The old slot keeps its values, except the power model's sums,
        // which are cleared once moved.
        const bool cleared = how == SlotMove::power_model && power_model;
        each_entry(a, 3, [&](auto& e, int c) {
            EXPECT_EQ(static_cast<float>(e), cleared ? 0.0f : tag(3, table, c))
                << a.name() << " column " << c;
        });
    });
}

INSTANTIATE_TEST_SUITE_P(EnergyModel, SlotCompactionMoves, ::testing::Values(0, 1),
                         [](const auto& p) {
                             return p.param == 1 ? std::string("PowerModel")
                                                 : std::string("RegressionModel");
                         });

struct CompactionCase {
    const char*      name;
    int              held;  // trips 1..held get slots 1..held
    std::vector<int> freed; // trips that end before the compaction
    std::vector<int> slots; // expected slot of trips 1..held afterwards (0 = none)
};

TEST(SlotCompaction, RenumbersTheHeldSlotsInTheirOldOrder) {
    const std::vector<CompactionCase> cases = {
        {"no hole", 4, {}, {1, 2, 3, 4}},
        {"alternate holes", 5, {1, 3, 5}, {0, 1, 0, 2, 0}},
        {"last slot freed", 4, {4}, {1, 2, 3, 0}},
        {"first slot freed", 3, {1}, {0, 1, 2}},
        {"all freed", 3, {1, 2, 3}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MoveRun r;
        auto&   x = r.s.vehindx;
        for (int car = 1; car <= c.held; ++car) {
            int vid = 0, flag = 0;
            setvid(r.s, car, vid, flag);
            r.s.vehplot.dis(vid, 1) = 10.0f * static_cast<float>(car);
        }
        for (int car : c.freed) rstvid(r.s, car);
        resetvid(r.s);

        int held_after = 0;
        for (int car = 1; car <= c.held; ++car) {
            const int want = c.slots[static_cast<std::size_t>(car - 1)];
            EXPECT_EQ(x.vehid(car), want) << "trip " << car;
            if (want == 0) continue;
            ++held_after;
            EXPECT_EQ(x.vehrid(want), car);
            EXPECT_EQ(r.s.vehplot.dis(want, 1), 10.0f * static_cast<float>(car));
        }
        EXPECT_EQ(x.mvehid, held_after);
        EXPECT_EQ(x.tvehid, held_after);
        for (int vid = held_after + 1; vid <= c.held; ++vid) EXPECT_EQ(x.vehrid(vid), -1);
    }
}

TEST(SetVid, RepeatedCallKeepsTheSlotAndDrawsNothing) {
    MoveRun r;
    auto&   s = r.s;
    s.rndnum.seed[2] = 5000;
    int vid = 0, flag = 0;
    setvid(s, 42, vid, flag);
    ASSERT_EQ(vid, 1);
    int   one_step = 5000;
    float u = 0.0f;
    random(one_step, u);
    EXPECT_EQ(s.rndnum.seed[2], one_step); // exactly one draw of stream 2

    const int rhead1 = s.oddat.rhead(1, 1);
    vid = -5;
    flag = -5;
    setvid(s, 42, vid, flag);
    EXPECT_EQ(vid, 1);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(s.rndnum.seed[2], one_step);
    EXPECT_EQ(s.vehindx.mvehid, 1);
    EXPECT_EQ(s.vehindx.tvehid, 1);
    EXPECT_EQ(s.oddat.rhead(1, 1), rhead1);
}

TEST(SetVid, DriverFactorsComeFromOneUniformDraw) {
    // seed -> next state u: 1 -> 0.00515 (clamped to 0.01), 193 -> 0.99471
    // (clamped to 0.99), 37249 -> 0.97952, 5000 -> 0.76975; rhead(1) =
    // trunc(-100 ln(1 - u)), rhead(2) = rhead(3) = trunc(100 ln(1/u - 1) / -1.78).
    struct Case {
        int seed, headway, factor;
    };
    const std::vector<Case> cases = {
        {1, 1, -258}, {193, 460, 258}, {37249, 388, 217}, {5000, 146, 67}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.seed);
        MoveRun r;
        r.s.rndnum.seed[2] = c.seed;
        int vid = 0, flag = 0;
        setvid(r.s, 7, vid, flag);
        ASSERT_EQ(flag, 0);
        EXPECT_EQ(r.s.oddat.rhead(vid, 1), c.headway);
        EXPECT_EQ(r.s.oddat.rhead(vid, 2), c.factor);
        EXPECT_EQ(r.s.oddat.rhead(vid, 3), c.factor);
    }
}

TEST(SetVid, ANewTripOverwritesWhatCompactionLeftInItsSlot) {
    MoveRun r;
    auto&   s = r.s;
    int     vid = 0, flag = 0;
    setvid(s, 1, vid, flag);
    setvid(s, 2, vid, flag);
    // Trip 2's state in slot 2, as the movement steps would have left it.
    s.oddat.rgmod(2) = 3;
    s.oddat.stat(2) = 9;
    s.oddat.cmst(2, 1) = 120;
    s.oddat.cmst(2, 2) = 4;
    s.oddat.cmst(2, 3) = 17;
    s.vehicle.nxtlnk(2, 1) = 33;
    for (int k = 1; k <= 7; ++k) s.vehicle.envir(2, k, 1) = s.vehicle.envir(2, k, 2) = 1.5f;
    s.vehplot.xq(2, 1) = 2.5f;
    s.vehplot.yq(2, 1) = 3.5f;
    s.vehplot.drawn(2) = 1;
    s.shctl.sh_flag(2) = s.shctl.sh_stamp;
    s.shctl.spd_ctl6(2) = 60.0f;

    rstvid(s, 1);
    resetvid(s); // trip 2 -> slot 1; slot 2 still holds its old values
    ASSERT_EQ(s.vehindx.vehid(2), 1);
    ASSERT_EQ(s.oddat.stat(2), 9);

    setvid(s, 3, vid, flag);
    ASSERT_EQ(vid, 2);
    EXPECT_EQ(s.oddat.rgmod(2), 1);
    EXPECT_EQ(s.oddat.stat(2), 0);
    EXPECT_EQ(s.oddat.cmst(2, 1), -9999);
    EXPECT_EQ(s.oddat.cmst(2, 2), 0);
    EXPECT_EQ(s.oddat.cmst(2, 3), 0);
    EXPECT_EQ(s.vehicle.nxtlnk(2, 1), kNextUnknown);
    EXPECT_EQ(s.shctl.sh_flag(2), 0);
    EXPECT_EQ(s.shctl.spd_ctl6(2), kNoSpeedLimit);
    for (int k = 1; k <= 7; ++k) {
        EXPECT_EQ(s.vehicle.envir(2, k, 1), 0.0f) << k;
        EXPECT_EQ(s.vehicle.envir(2, k, 2), 0.0f) << k;
    }
    // Not drawn yet: the marker left behind is not the newcomer's.
    EXPECT_EQ(s.vehplot.xq(2, 1), -10000.0f);
    EXPECT_EQ(s.vehplot.yq(2, 1), -10000.0f);
    EXPECT_EQ(s.vehplot.drawn(2), 0);
    // The trip that moved keeps its state, its marker included.
    EXPECT_EQ(s.oddat.stat(1), 9);
    EXPECT_EQ(s.vehplot.xq(1, 1), 2.5f);
    EXPECT_EQ(s.vehplot.drawn(1), 1);
}

TEST(SetVid, SlotLimitIsFatalWithTheLimitReport) {
    MoveRun r;
    auto&   s = r.s;
    auto&   x = s.vehindx;
    x.mvehid = kMaxVehicleSlots - 1; // as if 379998 slots had been handed out
    x.tvehid = kMaxVehicleSlots - 1;
    int vid = 0, flag = 0;
    setvid(s, 10, vid, flag);
    EXPECT_EQ(flag, 0);
    EXPECT_EQ(vid, 379999);
    EXPECT_EQ(x.vehrid(379999), 10);
    EXPECT_EQ(s.errcount.errt1, 0);
    EXPECT_EQ(r.log(), "");

    const int seed = s.rndnum.seed[2];
    setvid(s, 11, vid, flag);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(vid, 0);
    EXPECT_EQ(x.vehid(11), 0);
    EXPECT_EQ(x.mvehid, 380000); // the failed call keeps its increments
    EXPECT_EQ(x.tvehid, 380000);
    EXPECT_EQ(s.errcount.errt1, 1);
    EXPECT_EQ(s.rndnum.seed[2], seed);
    EXPECT_THAT(lines_of(r.log()),
                ::testing::ElementsAre("    ", "   Error in routine SET VEHICLE ID ",
                                       "   -Max. concurrent veh on network=      380000",
                                       "   -Value exceeds maximum of limit=      380000",
                                       "   -Requires larger version of VELMORANTIS", "    "));

    // A compaction after the failure stays inside the slot tables.
    resetvid(s);
    EXPECT_EQ(x.mvehid, 1);
    EXPECT_EQ(x.tvehid, 1);
    EXPECT_EQ(x.vehid(10), 1);
    EXPECT_EQ(x.vehrid(1), 10);
}

TEST(RstVid, FreesTheSlotAndLeavesItsValuesForTheCompaction) {
    MoveRun r;
    auto&   s = r.s;
    int     vid = 0, flag = 0;
    setvid(s, 5, vid, flag);
    setvid(s, 6, vid, flag);
    s.vehplot.dis(1, 1) = 321.0f;

    rstvid(s, 5);
    EXPECT_EQ(s.vehindx.vehid(5), 0);
    EXPECT_EQ(s.vehindx.vehrid(1), -1);
    EXPECT_EQ(s.vehindx.tvehid, 1);
    EXPECT_EQ(s.vehindx.mvehid, 2); // the hole stays until the compaction
    EXPECT_EQ(s.vehplot.dis(1, 1), 321.0f);

    rstvid(s, 5); // a trip without a slot: nothing changes
    rstvid(s, 77);
    EXPECT_EQ(s.vehindx.tvehid, 1);
    EXPECT_EQ(s.vehindx.vehrid(2), 6);

    // The next allocation still takes mvehid + 1, not the hole.
    setvid(s, 7, vid, flag);
    EXPECT_EQ(vid, 3);
}

TEST(InitVid, EmptiesTheMapAndMarksEveryMarkerUndrawn) {
    MoveRun r;
    auto&   s = r.s;
    int     vid = 0, flag = 0;
    setvid(s, 9, vid, flag);
    setvid(s, 10, vid, flag);
    s.vehplot.xq(1, 1) = 4.0f;
    s.vehplot.yq(2, 1) = 4.0f;
    s.vehplot.drawn(1) = 1;
    s.vehplot.drawn(2) = 1;

    initvid(s);
    EXPECT_EQ(s.vehindx.vehid(9), 0);
    EXPECT_EQ(s.vehindx.vehid(10), 0);
    EXPECT_EQ(s.vehindx.mvehid, 0);
    EXPECT_EQ(s.vehindx.tvehid, 0);
    for (int v : {1, 2}) {
        EXPECT_EQ(s.vehindx.vehrid(v), -1) << v;
        EXPECT_EQ(s.vehplot.xq(v, 1), -10000.0f) << v;
        EXPECT_EQ(s.vehplot.yq(v, 1), -10000.0f) << v;
        EXPECT_EQ(s.vehplot.drawn(v), 0) << v;
    }
    setvid(s, 9, vid, flag);
    EXPECT_EQ(vid, 1);
    EXPECT_EQ(s.vehplot.xq(1, 1), -10000.0f);

    // A slot handed out for the first time, however far up, starts undrawn,
    // and the slots skipped below it read free.
    s.vehindx.mvehid = kMaxVehicleSlots - 1;
    setvid(s, 11, vid, flag);
    ASSERT_EQ(vid, kMaxVehicleSlots);
    EXPECT_EQ(s.vehindx.vehrid(vid), 11);
    EXPECT_EQ(s.vehplot.xq(vid, 1), -10000.0f);
    EXPECT_EQ(s.vehplot.yq(vid, 1), -10000.0f);
    for (int v : {2, 3, kMaxVehicleSlots - 1}) {
        EXPECT_EQ(s.vehindx.vehrid(v), -1) << v;
        EXPECT_EQ(s.vehplot.xq(v, 1), -10000.0f) << v;
    }
}

} // namespace
} // namespace velm
