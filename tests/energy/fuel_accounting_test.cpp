// The per-second accounting: stops, the split of fuel, energy and species
// over link, slot, trip and minute by the model of the run, the minute ring,
// and the per-second probe record.
#include "core/demand/demand.h"
#include "core/energy/energy.h"
#include "core/energy/fuel_coefficients.h"
#include "core/energy/fuel_models.h"
#include "core/io/units.h"
#include "core/movement/trip_completion.h"

#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace velm {
namespace {

constexpr float kFree = 50.0f; // km/h on every link

// Links 1..3 with free speed kFree; vehicles are put on them one by one,
// trip n in slot n + 100.
class Accounting : public ::testing::Test {
  protected:
    void SetUp() override {
        init_veh_param(*s);
        for (int t = 1; t <= kVehicleTypes; ++t)
            s->fuel.fuelcoef.type(t) =
                builtin_fuel::coefficients()[static_cast<std::size_t>(t - 1)];
        s->link2.mlnum = 3;
        for (int l = 1; l <= 3; ++l) {
            s->link1.spdvol(l, 7) = kFree;
            s->link1.nulans(l) = 3;
            s->link2.nbqu(l) = (l - 1) * 10;
        }
    }
    // Trip n of type `type` on link l with smoothed speeds s1 (last
    // evaluation) and s2 (now), km/h.
    int put(int l, int n, int type, float s1, float s2) {
        const int vid = n + 100;
        s->link2.ntqu(l) += 1;
        s->vehicle.big(s->link2.nbqu(l) + s->link2.ntqu(l)) = n;
        s->vehindx.vehid(n) = vid;
        s->oddat.vehper2(n) = type;
        s->oddat.curlnk(vid) = l;
        s->vehplot.spd(vid, 2) = s1;
        s->vehplot.spd(vid, 4) = s2;
        s->kzcpxm_energy.veh_soc(n) = s->kzcpxm_energy.soc_threshold(n) = -1.0f;
        s->kzcpxm_energy.veh_battery_capacity(n) = -1.0f;
        return vid;
    }
    std::unique_ptr<Sim> s = support::logged_sim(support::Opened::run_log_and_summary);
};

TEST_F(Accounting, StopFractionIsTheFallOfTheSmoothedSpeedOverTheFreeSpeed) {
    const struct {
        const char* what;
        float       s1, s2, sf;
    } cases[] = {{"fell by half the free speed", 40.0f, 15.0f, 0.5f},
                 {"fell by the free speed", 50.0f, 0.0f, 1.0f},
                 {"rose", 15.0f, 40.0f, 0.0f},
                 {"unchanged", 30.0f, 30.0f, 0.0f}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ++n;
        const float run = s->link1.stop(1, 1), period = s->link1.stop(1, 2),
                    minute = s->netstats.vehst(2);
        s->link2.ntqu(1) = 0;
        const int vid = put(1, n, 1, c.s1, c.s2);
        compfuel(*s, 0.0f, 10, 90);
        EXPECT_FLOAT_EQ(s->link1.stop(1, 1) - run, c.sf);
        EXPECT_FLOAT_EQ(s->link1.stop(1, 2) - period, c.sf);
        EXPECT_FLOAT_EQ(s->link1.stops(n, 1), c.sf);
        EXPECT_FLOAT_EQ(s->link1.stops(n, 2), c.sf);
        EXPECT_FLOAT_EQ(s->netstats.vehst(2) - minute, c.sf);
        EXPECT_EQ(s->vehplot.spd(vid, 2), c.s2);
    }
}

TEST_F(Accounting, RegressionModelSpreadsAllSpeciesOverEveryTable) {
    for (int model : {0, 2}) {
        SCOPED_TRACE(model);
        s = support::logged_sim(support::Opened::run_log_and_summary);
        SetUp();
        s->kzcpxm_energy.energy_model = model;
        const int                   vid = put(2, 5, 1, 30.0f, 33.0f);
        float                       fuel = 0.0f;
        std::array<float, kSpecies> c{};
        environ2(*s, 1, 2, {30.0f, 33.0f}, 0.0f, fuel, c);
        compfuel(*s, 0.0f, 10, 61);
        compfuel(*s, 0.0f, 10, 62); // the same speeds again: 33 -> 33
        float                       again = 0.0f;
        std::array<float, kSpecies> c2{};
        environ2(*s, 1, 2, {33.0f, 33.0f}, 0.0f, again, c2);
        EXPECT_FLOAT_EQ(s->vehicle.envt(5, 1), fuel + again);
        EXPECT_FLOAT_EQ(s->link1.emis(2, 1, 1), fuel + again);
        EXPECT_FLOAT_EQ(s->link1.emis(2, 1, 2), fuel + again);
        EXPECT_FLOAT_EQ(s->link1.emis(2, 1, 3), 0.2f * again + 0.8f * 0.2f * fuel);
        EXPECT_FLOAT_EQ(s->netstats.vehemis(2, 1), fuel + again);
        EXPECT_FLOAT_EQ(s->vehicle.envir(vid, 1, 1), again);
        EXPECT_FLOAT_EQ(s->vehicle.envir(vid, 1, 2), fuel + again);
        EXPECT_FLOAT_EQ(s->kzcpxm_energy.eco_envir(2, 1), fuel + again);
        EXPECT_EQ(s->kzcpxm_energy.veh_counter_eco(2), 2);
        for (int k = 1; k <= kSpecies; ++k) {
            const float g =
                (c[static_cast<std::size_t>(k - 1)] + c2[static_cast<std::size_t>(k - 1)]) /
                1000.0f;
            EXPECT_FLOAT_EQ(s->vehicle.envt(5, k + 1), g) << k;
            EXPECT_FLOAT_EQ(s->link1.emis(2, k + 1, 1), g) << k;
            EXPECT_FLOAT_EQ(s->netstats.vehemis(2, k + 1), g) << k;
            EXPECT_FLOAT_EQ(s->vehicle.envir(vid, k + 1, 2), g) << k;
        }
        EXPECT_GT(s->vehicle.envt(5, 5), 0.0f);
        EXPECT_EQ(s->vehicle.envt(5, 7), 0.0f);
    }
}

TEST_F(Accounting, PowerModelCarbonComesFromTheFuelAlone) {
    s->kzcpxm_energy.energy_model = 1;
    for (int t = 1; t <= 3; ++t) {
        s->kzcpxm_energy.kzcpfm_alpha(t, 1) = 0.0004f;
        s->kzcpxm_energy.kzcpfm_alpha(t, 2) = 0.00008f;
        s->kzcpxm_energy.initial_soc(t) = 0.9f;
    }
    const struct {
        int   engine;
        float per_litre;
    } cases[] = {{kBatteryElectric, 0.0f}, {kEngineGasoline, 2330.0f}, {kEngineDiesel, 2640.0f}};
    int n = 0;
    for (const auto& c : cases) {
        ++n;
        s->vehper.engine_type(n) = c.engine;
        const int vid = put(3, n, n, 40.0f, 42.0f);
        s->vehicle.vacc(vid, 2) = 0.6f;
    }
    compfuel(*s, 0.0f, 10, 5);
    n = 0;
    for (const auto& c : cases) {
        ++n;
        SCOPED_TRACE(c.engine);
        const auto& e = s->vehicle.envt;
        if (c.engine == kBatteryElectric) {
            EXPECT_EQ(e(n, 1), 0.0f);
            EXPECT_GT(e(n, 7), 0.0f);
        } else {
            EXPECT_GT(e(n, 1), 0.0f);
            EXPECT_EQ(e(n, 7), 0.0f);
        }
        EXPECT_FLOAT_EQ(e(n, 5), e(n, 1) * c.per_litre);
        for (int k : {2, 3, 4, 6}) EXPECT_EQ(e(n, k), 0.0f) << k;
        // The vehicle's regression sums reach its link.
        EXPECT_EQ(s->kzcpxm_energy.veh_vsp_param(n + 100, 8), 1.0f);
    }
    float sum3 = 0.0f;
    for (int v = 101; v <= 103; ++v) sum3 += s->kzcpxm_energy.veh_vsp_param(v, 3);
    EXPECT_FLOAT_EQ(s->kzcpxm_energy.eco_vsp_param(3, 3), sum3);
    EXPECT_EQ(s->kzcpxm_energy.eco_vsp_param(3, 8), 0.0f);
    EXPECT_FLOAT_EQ(s->vehicle.envt(1, 7), s->kzcpxm_energy.eco_envir(3, 2));
}

TEST_F(Accounting, AnEmptyLinkKeepsItsAverages) {
    put(1, 1, 1, 30.0f, 30.0f);
    s->link1.emis(2, 1, 3) = 0.25f;
    s->link1.emis(2, 5, 3) = 3.0f;
    compfuel(*s, 0.0f, 10, 5);
    EXPECT_EQ(s->link1.emis(2, 1, 3), 0.25f);
    EXPECT_EQ(s->link1.emis(2, 5, 3), 3.0f);
    EXPECT_EQ(s->kzcpxm_energy.veh_counter_eco(2), 0);
    EXPECT_EQ(s->kzcpxm_energy.veh_counter_eco(1), 1);
}

TEST_F(Accounting, Minute2001TakesOverTheFirstSlotCleared) {
    put(1, 1, 1, 30.0f, 30.0f);
    compfuel(*s, 0.0f, 10, 30);
    const float first = s->netstats.vehemis(1, 1);
    ASSERT_GT(first, 0.0f);
    s->netstats.lastmin = kNetMinutes;
    s->netstats.vehst(1) = 7.0f;
    compfuel(*s, 0.0f, 10, kNetMinutes * 60);
    EXPECT_EQ(s->netstats.vehemis(1, 1), first);
    EXPECT_EQ(s->netstats.vehst(1), 0.0f);
    EXPECT_EQ(s->netstats.lastmin, kNetMinutes + 1);
}

class ProbeRecord : public Accounting {
  protected:
    void SetUp() override {
        Accounting::SetUp();
        s->kzcpxm_energy.energy_model = 1;
        s->vehper.engine_type(1) = 5; // neither fuel nor energy: every amount prints 0
        const int n = 7;
        vid = put(1, n, 1, 0.5f, 0.3f);
        s->oddat.probe(n) = 2;
        s->oddat.vtyp(n) = 2;
        s->oddat.vlan(vid, 1) = 1;
        s->vehicle.norig(n) = 11;
        s->vehicle.ndest(n) = 12;
        s->vehicle.strtrp(n, 1) = 100.0f;
        s->vehicle.strtrp(n, 2) = 104.5f;
        s->vehplot.dis(vid, 1) = 1234.0f;
        s->vehplot.hdwy(vid, 1) = 2500.0f;
        s->vehicle.vacc(vid, 2) = -0.2f;
        const float rates[] = {1.5f, 0.0f, 0.0f, 2.5f, 0.0f, 0.1f};
        for (int c = 1; c <= 6; ++c) s->accid.vehacc(n, 3, c) = rates[c - 1];
        s->tolplaz.vehtol(n, 3) = 0.75f;
        s->vehplot.accmod(vid, 4) = 12.25f;
    }
    void open_slot16() {
        s->pathnam.filuse[16] = 1;
        s->units.open_write(kUnitLinkProbe, "probe.u16");
    }
    int vid = 0;
};

TEST_F(ProbeRecord, OneLineOfTheRecordLayout) {
    open_slot16();
    compfuel(*s, 0.0f, 10, 125);
    const std::string want = std::string(" 21   125     7  2  1     1  3    11    12") +
                             "   100.0   104.5    25.0   0.990   1.000   0.004   1.234  1000.0" +
                             "   0.3  -0.2" + "   0.00000   0.00000   0.00000   0.00000" +
                             "   0.00000   0.00000   0.00000" + " 1.5 0.0 0.0 2.5 0.0 0.1" +
                             "  0.75     12.25";
    ASSERT_EQ(want.size(), 228u);
    EXPECT_EQ(s->units.file_text("probe.u16"), want + "\n");
    EXPECT_EQ(s->tolplaz.vehtol(7, 3), 0.0f);
}

TEST_F(ProbeRecord, NoRecordWithoutSlot16ButTheTollIsCleared) {
    s->units.open_write(kUnitLinkProbe, "probe.u16"); // open, but the master file left it out
    compfuel(*s, 0.0f, 10, 125);
    EXPECT_EQ(s->units.file_text("probe.u16"), "");
    EXPECT_EQ(s->tolplaz.vehtol(7, 3), 0.0f);
    s->oddat.probe(7) = 1;
    open_slot16();
    compfuel(*s, 0.0f, 10, 126);
    EXPECT_EQ(s->units.file_text("probe.u16"), "");
}

} // namespace
} // namespace velm
