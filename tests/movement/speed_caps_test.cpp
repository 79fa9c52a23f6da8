// The strategy cap chain of the speed update: its fixed order, what it does
// with every strategy off, the platoon speed rules and the intersection
// advisories. The cooperative-driving entries are replaced by recording
// stand-ins through Sim::coop.
#include "core/energy/energy.h"
#include "core/movement/speed_caps.h"
#include "movement/corridor_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

using testing_movement::Corridor;

// What the stand-ins were asked, in order, and what they answer.
struct Script {
    std::vector<std::string> calls;
    bool                     platoon_link = true;
    float                    platoon_speed = -1.0f; // none
    int                      headway_flag = 0;
    float                    eco = kNoEcoAdvice, ms = kNoEcoAdvice, cruise = 1000.0f;
    float                    cruise_saw = -1.0f; // the speed the cruise controller was given
};
Script* script = nullptr;

std::string call(const char* name, int a) {
    return std::string(name) + " " + std::to_string(a);
}

CoopEntries recording_entries() {
    CoopEntries e;
    e.link_tobe_platooned = [](Sim&, int l, int& res) {
        script->calls.push_back(call("link_tobe_platooned", l));
        res = script->platoon_link ? 1 : 0;
    };
    e.platooning_scenario = [](Sim&, int l) {
        script->calls.push_back(call("platooning_scenario", l));
    };
    e.given_platoon_find_max_vel_for_veh = [](Sim&, int car, float& vmax, int, int& flag) {
        script->calls.push_back(call("platoon_speed", car));
        vmax = script->platoon_speed;
        flag = script->headway_flag;
    };
    e.ecodrive = [](Sim& s, float, int, int, int, int car, int, float, float) {
        script->calls.push_back(call("ecodrive", car));
        s.ecodrive.spdeco(car) = script->eco;
    };
    e.ecaccms = [](Sim& s, float, int, int, int, int car, int, float, float) {
        script->calls.push_back(call("ecaccms", car));
        s.ecms.msspd(car) = script->ms;
    };
    e.fun_eccs = [](Sim& s, float, float u, float, int, int, int car, int, float) {
        script->calls.push_back(call("fun_eccs", car));
        script->cruise_saw = u;
        s.eccs.spd_eccs(car) = script->cruise;
    };
    return e;
}

// Links 1 and 2 (1 km, free speed 100 km/h), one class-1 vehicle in the
// middle of link 1, every strategy off and the stand-ins in place.
struct CapRun : Corridor {
    Script               sc;
    CoopEntries          entries = recording_entries();
    int                  slot = 0; // the vehicle's slot
    static constexpr int kCar = 1;

    CapRun() {
        script = &sc;
        s.coop = &entries;
        road(1, 1, 1.0f, 100.0f, 60.0f, 140.0f, 2000.0f);
        road(2, 1, 1.0f, 100.0f, 60.0f, 140.0f, 2000.0f);
        calibrate();
        s.mxvehspd.reset();
        slot = add(kCar, 1, 1, 500.0f, 80.0f);
        // A petrol type with fuel coefficients: the eco advice can price it.
        s.oddat.vehper2(kCar) = 1;
        s.vehper.engine_type(1) = kEngineGasoline;
        s.kzcpxm_energy.kzcpfm_alpha(1, 2) = 1.0e-4f;
    }
    ~CapRun() { script = nullptr; }
    float caps(float u, int l = 1) {
        LinkStrategies ls;
        strategy_caps_link(s, l, ls);
        return strategy_caps(s, ls, l, kCar, slot, u, u, 15);
    }
};

TEST(StrategyCaps, EveryStrategyOnActsInItsFixedOrder) {
    CapRun r;
    auto&  s = r.s;
    // Step 4: link 1 harmonised at 110 km/h for class 1 over its middle half.
    auto& h = s.highway_spdharm;
    h.highway_spdharm_activation_flag = 1;
    h.it_links_for_sph.resize(1);
    h.highway_sph_ctl_spd.resize(2, kClasses);
    h.it_links_for_sph(1) = 1;
    h.it_len = 1;
    h.location_percentage = 0.25f;
    h.maximum_length_for_harmonization = 1000.0f;
    h.highway_sph_ctl_spd(1, 1) = 110.0f;
    // Steps 2 and 5: a platoon at 115 km/h, allowed 20 % above the free speed.
    s.platoon.platoon_activation_flag = 1;
    s.platoon.epsilon_factor = 0.2f;
    r.sc.platoon_speed = 115.0f;
    // Step 6: per-vehicle advisories without a controlled class: the free speed.
    s.shctl.shctl_fmt = 2;
    // Steps 7 to 9.
    s.ecodrive.eco_flag(1, 1) = 1;
    r.sc.eco = 98.0f;
    s.ecms.msfmt = 1;
    s.ecms.msflag(1, 1) = 1;
    r.sc.ms = 96.0f;
    s.eccs.eccs_fmt = 1;
    s.eccs.flag_eccs[1] = 1;
    r.sc.cruise = 94.0f;
    // Step 10: a weaving controller whose cap is 92 km/h, no decision due.
    s.shql.shql_enabled = 1;
    s.shql.flag_shql(1) = 1;
    s.shql.t_pre(1) = 1.0e6f;
    s.shql.t_update(1) = 1.0e6f;
    s.shql.spd_weave(1) = 92.0f;
    // Step 11: an advisory of 90 km/h on link 1; step 12: class maximum 88.
    s.divc.fmt_divc = 1;
    s.divc.divcspd(CapRun::kCar, 1) = 90.0f;
    s.divc.divcspd(CapRun::kCar, 2) = 1.0f;
    s.mxvehspd.mspvh(1) = 88;

    LinkStrategies ls;
    strategy_caps_link(s, 1, ls);
    // The platoon's 115 does not raise the harmonised 110 (step 5 after 4),
    // which is then held to the free speed (step 6); the cruise controller
    // sees the eco caps already applied.
    const float u = strategy_caps(s, ls, 1, CapRun::kCar, r.slot, 120.0f, 120.0f, 15);
    EXPECT_FLOAT_EQ(u, 88.0f);
    EXPECT_FLOAT_EQ(r.sc.cruise_saw, 96.0f);
    const std::vector<std::string> order{"link_tobe_platooned 1",
                                         "platooning_scenario 1",
                                         "platoon_speed 1",
                                         "ecodrive 1",
                                         "ecaccms 1",
                                         "fun_eccs 1"};
    EXPECT_EQ(r.sc.calls, order);

    // Each lowering step on its own, the later ones switched off in turn.
    const struct {
        const char* off;
        float       expect;
    } peel[] = {
        {"class", 90.0f}, {"divc", 92.0f}, {"weave", 94.0f},    {"cruise", 96.0f},
        {"ms", 98.0f},    {"eco", 100.0f}, {"detector", 110.0f}}; // platoon's 115 raises nothing
    for (const auto& p : peel) {
        const std::string off = p.off;
        if (off == "class") s.mxvehspd.mspvh(1) = 1000;
        if (off == "divc") s.divc.fmt_divc = 0;
        if (off == "weave") s.shql.shql_enabled = 0;
        if (off == "cruise") s.eccs.eccs_fmt = 0;
        if (off == "ms") s.ecms.msfmt = 0;
        if (off == "eco") s.ecodrive.eco_flag(1, 1) = 0;
        if (off == "detector") s.shctl.shctl_fmt = 0;
        EXPECT_FLOAT_EQ(r.caps(120.0f), p.expect) << "with " << off << " off";
    }
}

TEST(StrategyCaps, LinkStepsRunOncePerLinkAlsoWithoutVehicles) {
    CapRun r;
    r.s.platoon.platoon_activation_flag = 1;
    r.s.vehplot.hdwy(r.slot, 1) = 5000.0f;
    r.s.vehplot.pre_spd(r.slot, 2) = 100.0f;
    r.s.vehicle.carwal(r.slot, 1) = r.s.vehicle.carwal(r.slot, 2) = 1.0f;
    for (const int k : {4, 5, 6, 12}) r.s.vehicle.carwal(r.slot, k) = 100.0f;
    for (const int k : {8, 9, 10, 11}) r.s.vehicle.carwal(r.slot, k) = 9999.0f;
    r.s.control.t10 = 1;
    vehpos1(r.s, 1);
    const std::vector<std::string> order{"link_tobe_platooned 1", "platooning_scenario 1",
                                         "platoon_speed 1", "link_tobe_platooned 2",
                                         "platooning_scenario 2"};
    EXPECT_EQ(r.sc.calls, order);

    // A link that is not a platooning link runs no platoon step and no
    // vehicle of it asks for a platoon speed.
    r.sc.calls.clear();
    r.sc.platoon_link = false;
    vehpos1(r.s, 2);
    EXPECT_EQ(r.sc.calls,
              (std::vector<std::string>{"link_tobe_platooned 1", "link_tobe_platooned 2"}));
}

// Eco advice prices its candidate profiles by the vehicle type's fuel
// coefficients: a type without them would take the first candidate whatever
// it costs, so its class gets no advice and the run log says so once.
TEST(StrategyCaps, EcoAdviceOnlyForATypeItCanPrice) {
    CapRun r;
    auto&  s = r.s;
    s.ecodrive.eco_flag(1, 1) = 1;
    r.sc.eco = 70.0f;
    s.ecms.msfmt = 1;
    s.ecms.msflag(1, 1) = 1;
    r.sc.ms = 75.0f;
    EXPECT_FLOAT_EQ(r.caps(100.0f), 70.0f);
    s.kzcpxm_energy.kzcpfm_alpha(1, 2) = 0.0f;
    r.sc.calls.clear();
    for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(r.caps(100.0f), 100.0f);
    EXPECT_EQ(r.sc.calls, (std::vector<std::string>{}));
    EXPECT_FLOAT_EQ(s.ecodrive.spdeco(CapRun::kCar), kNoEcoAdvice);
    EXPECT_FLOAT_EQ(s.ecms.msspd(CapRun::kCar), kNoEcoAdvice);
    const std::string log = r.log();
    const std::string line = " Vehicle class 1 gets no eco advice: its vehicle type 1";
    ASSERT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.find(line, log.find(line) + 1), std::string::npos) << log;
    // An electric type is priced by its battery.
    s.vehper.engine_type(1) = kBatteryElectric;
    EXPECT_FLOAT_EQ(r.caps(100.0f), 70.0f);
}

TEST(StrategyCaps, NothingOnLeavesSpeedAndClearsEcoAdvice) {
    CapRun    r;
    const int other = 2;
    r.add(other, 1, 1, 300.0f, 60.0f);
    for (const int car : {CapRun::kCar, other}) {
        r.s.ecodrive.spdeco(car) = 40.0f;
        r.s.ecms.msspd(car) = 45.0f;
    }
    LinkStrategies ls;
    strategy_caps_link(r.s, 1, ls);
    for (const float u : {0.0f, 57.3f, 140.0f}) {
        for (const int car : {CapRun::kCar, other})
            EXPECT_FLOAT_EQ(strategy_caps(r.s, ls, 1, car, r.vid(car), u, u, 15), u);
    }
    for (const int car : {CapRun::kCar, other}) {
        EXPECT_FLOAT_EQ(r.s.ecodrive.spdeco(car), kNoEcoAdvice);
        EXPECT_FLOAT_EQ(r.s.ecms.msspd(car), kNoEcoAdvice);
    }
    EXPECT_TRUE(r.sc.calls.empty());
    // The class maximum still acts.
    r.s.mxvehspd.mspvh(1) = 50;
    EXPECT_FLOAT_EQ(r.caps(80.0f), 50.0f);
}

TEST(StrategyCaps, PlatoonSpeedRules) {
    const struct {
        float u, vmax;
        int   flag;
        float eps, expect;
    } cases[] = {
        {80.0f, 80.04f, 0, 0.0f, 80.0f},        // faster than car following: unchanged
        {80.0f, 95.0f, 0, 0.0f, 80.0f},         // never raised
        {80.0f, 79.94f, 0, 0.0f, 79.94f},       // lowered
        {80.0f, 0.0f, 0, 0.0f, 0.0f},           // the platoon stops it
        {80.0f, -1.0f, 1, 0.0f, 80.0f},         // no platoon speed
        {120.0f, 110.0f, 1, 0.5f, 100.0f},      // headway flag: the free speed
        {120.0f, 110.0f, 0, 0.05f, 105.0f},     // the allowed excess
        {120.0f, 105.005f, 0, 0.05f, 105.005f}, // within its slack
        {120.0f, 110.0f, 0, 0.5f, 110.0f},      // within the allowed excess
    };
    for (const auto& c : cases) {
        CapRun r;
        r.s.platoon.platoon_activation_flag = 1;
        r.s.platoon.epsilon_factor = c.eps;
        r.sc.platoon_speed = c.vmax;
        r.sc.headway_flag = c.flag;
        EXPECT_NEAR(r.caps(c.u), c.expect, 1e-4f)
            << "u " << c.u << " platoon " << c.vmax << " flag " << c.flag << " eps " << c.eps;
    }
}

TEST(StrategyCaps, IntersectionAdvisoryOnlyOnItsApproach) {
    CapRun r;
    auto&  d = r.s.divc;
    d.divcspd(CapRun::kCar, 1) = 21.4f;
    d.divcspd(CapRun::kCar, 2) = 1.0f;
    EXPECT_FLOAT_EQ(r.caps(50.0f), 50.0f) << "advisories not in force";
    d.fmt_divc = 1;
    EXPECT_FLOAT_EQ(r.caps(50.0f), 21.4f) << "on its approach";
    EXPECT_FLOAT_EQ(r.caps(15.0f), 15.0f) << "only lowers";
    EXPECT_FLOAT_EQ(r.caps(50.0f, 2), 50.0f) << "after its approach";
    d.divcspd(CapRun::kCar, 1) = 0.0f;
    EXPECT_FLOAT_EQ(r.caps(50.0f), 0.0f) << "told to stop";
}

} // namespace
} // namespace velm
