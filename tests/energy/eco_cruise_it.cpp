// The corridor sample with its eco cruise control file: within the shortened
// run class 2 is advised, the advice only ever lowers a vehicle's speed, every
// advice is the band's lowest whole km/h (the sample has no fuel coefficients,
// so every candidate costs the same) or its top (the gap release), and every
// other trip keeps "no advice".
#include "core/driver/driver.h"
#include "core/model/step_probe.h"

#include "support/samples.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>

namespace velm {
namespace {

constexpr int kSeconds = 240;

struct CruiseWatch final : StepProbe {
    explicit CruiseWatch(Sim& s) : s_(s) {}
    void step(std::string_view name) override {
        if (name != "moveveh" || s_.control.t10 % 10 != 0) return;
        const auto& e = s_.eccs;
        for (int l = 1; l <= s_.link2.mlnum; ++l) {
            for (int i = 1; i <= s_.link2.ntqu(l); ++i) {
                const int car = s_.vehicle.big(s_.link2.nbqu(l) + i);
                const int vid = s_.vehindx.vehid(car);
                if (vid < 1) continue;
                const int   vt = s_.oddat.vtyp(car);
                const float advice = e.spd_eccs(car);
                if (vt < 1 || vt > kClasses || e.flag_eccs[static_cast<std::size_t>(vt)] != 1) {
                    if (advice != kNoCruiseAdvice) ++outsiders_advised;
                    continue;
                }
                const auto  k = static_cast<std::size_t>(vt);
                const float low = std::floor(e.v_targ[k] - e.v_thr[k]);
                const float top = e.v_targ[k] + e.v_thr[k];
                if (advice == kNoCruiseAdvice) continue;
                ++advised;
                if (advice == low) ++at_low;
                if (advice == top) ++released;
                if (advice != low && advice != top) ++elsewhere;
                if (s_.vehplot.spd(vid, 1) > advice + 0.01f) ++raised;
            }
        }
    }
    Sim& s_;
    int  advised = 0, at_low = 0, released = 0, elsewhere = 0, raised = 0, outsiders_advised = 0;
};

TEST(EcoCruiseCorridor, ClassTwoCruisesAtTheBandsLowestSpeedUnlessReleased) {
    auto        s = support::sample_sim("corridor", kSeconds);
    CruiseWatch watch(*s);
    s->probe = &watch;
    velmorantis(*s, 1);
    s->probe = nullptr;
    ASSERT_EQ(s->errcount.errt1, 0);
    EXPECT_EQ(s->eccs.eccs_fmt, 1);
    EXPECT_EQ(s->eccs.flag_eccs[2], 1);
    EXPECT_GT(watch.at_low, 100);
    EXPECT_EQ(watch.elsewhere, 0);
    EXPECT_EQ(watch.raised, 0);
    EXPECT_EQ(watch.outsiders_advised, 0);
    RecordProperty("released", watch.released);
    RecordProperty("at_low", watch.at_low);
    const std::string log = s->units.file_text("runerr.out");
    EXPECT_NE(log.find("emission.dat not found"), std::string::npos);
    EXPECT_NE(
        s->units.file_text("output/corridor.u10").find("Input of Eco-cruise control file complete"),
        std::string::npos);
}

// Bad records of both files are reported with their codes and counted, the
// good class still takes part, and the run goes on to its horizon.
TEST(EcoCruiseCorridor, BadRecordsAreReportedAndTheRunGoesOn) {
    constexpr int kShort = 30;
    auto          s = support::sample_sim("corridor", kShort);
    s->units.put_file("input/input_eccs.dat", "bad records\n3 1\n1 7 1000.0 5 95.0 5.0 30.0\n"
                                              "2 2 1000.0 0 95.0 5.0 30.0\n"
                                              "3 2 1000.0 5 95.0 5.0 30.0\n");
    s->units.put_file("input/emission.dat", "bad records\n2 1\n1 30 1 1 1 1\n2 1 0.5 abc\n");
    velmorantis(*s, 1);
    const std::string log = s->units.file_text("runerr.out");
    int               cruise = 0, fuel = 0;
    for (const auto& line : support::lines_of(log)) {
        const bool code1 = line.find("711110") != std::string::npos;
        const bool code2 = line.find("711120") != std::string::npos;
        cruise += code1 && line.find("input_eccs.dat Error") != std::string::npos;
        fuel += code2 && line.find("emission.dat Error") != std::string::npos;
    }
    EXPECT_EQ(cruise, 2) << log;
    EXPECT_EQ(fuel, 2) << log;
    EXPECT_GE(s->errcount.numerr, 4);
    EXPECT_EQ(s->errcount.errt1, 0);
    EXPECT_EQ(s->eccs.flag_eccs[2], 1);
    EXPECT_EQ(s->ecodrive.kz_cpfm(1, 1), 0.0f);
    EXPECT_EQ(s->control.t, kShort);
    EXPECT_NE(log.find("Deferred departures"), std::string::npos);
}

} // namespace
} // namespace velm
