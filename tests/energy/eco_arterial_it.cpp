// The arterial sample with its eco-driving and eco speed advice files: class 2
// is advised on the flagged links within the shortened run, an advice only
// ever lowers a vehicle's speed, advised vehicles on eco-driving links are
// held by the red-light and class reasons like every other vehicle, and
// every other trip keeps "no advice". A class whose vehicle type cannot
// price the advice's profiles is not advised.
#include "core/driver/driver.h"
#include "core/model/step_probe.h"
#include "core/movement/stop_line.h"

#include "support/samples.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace velm {
namespace {

constexpr int kAdvisedClass = 2;
constexpr int kSeconds = 240;

// A stop code that holds a red-light or class reason (10 and 40 share the
// tens digit, so 1 or 5 there holds a 10).
bool held_by_red_or_class(int code) {
    const int tens = code_digit(code, kStopRedTripEnds);
    return tens == 1 || tens == 5 || code_digit(code, kStopRedNoTurn) == 1 ||
           code_digit(code, kStopClassBarred) == 1;
}

struct EcoWatch final : StepProbe {
    explicit EcoWatch(Sim& s) : s_(s) {}
    void step(std::string_view name) override {
        if (name != "moveveh" || s_.control.t10 % 10 != 0) return;
        const auto& v = s_.vehicle;
        for (int l = 1; l <= s_.link2.mlnum; ++l) {
            for (int i = 1; i <= s_.link2.ntqu(l); ++i) {
                const int car = v.big(s_.link2.nbqu(l) + i);
                const int vid = s_.vehindx.vehid(car);
                if (vid < 1) continue;
                const int   vt = s_.oddat.vtyp(car);
                const float spd = s_.vehplot.spd(vid, 1);
                const float eco = s_.ecodrive.spdeco(car);
                const float ms = s_.ecms.msspd(car);
                ++vehicle_seconds;
                const bool held = held_by_red_or_class(s_.oddat.vsigstp(vid, 1));
                if (vt != kAdvisedClass) {
                    if (eco != kNoEcoAdvice || ms != kNoEcoAdvice) ++outsiders_advised;
                    if (s_.ecodrive.eco_flag(l, kAdvisedClass) > 0 && held) ++others_held;
                    continue;
                }
                if (s_.ecodrive.eco_flag(l, vt) > 0) {
                    if (spd > eco + 0.01f) ++raised;
                    if (eco < kNoEcoCap) ++eco_capped;
                    if (held) ++held_at_red;
                }
                if (s_.ecms.msflag(l, vt) == 1) {
                    if (spd > ms + 0.01f) ++raised;
                    if (ms < kNoEcoCap) ++ms_capped;
                }
            }
        }
    }
    Sim& s_;
    int  vehicle_seconds = 0, outsiders_advised = 0, raised = 0, eco_capped = 0, ms_capped = 0;
    int  held_at_red = 0; // advised vehicles on eco-driving links
    int  others_held = 0; // the other classes there
};

TEST(EcoArterial, AdviceActsOnClassTwoAndOnlyLowersSpeeds) {
    auto     s = support::sample_sim("arterial", kSeconds);
    EcoWatch watch(*s);
    s->probe = &watch;
    velmorantis(*s, 1);
    s->probe = nullptr;
    ASSERT_EQ(s->errcount.errt1, 0);
    EXPECT_EQ(s->ecodrive.eco_fmt, 1);
    EXPECT_EQ(s->ecms.msfmt, 1);
    EXPECT_GT(watch.vehicle_seconds, 1000);
    EXPECT_EQ(watch.outsiders_advised, 0);
    EXPECT_EQ(watch.raised, 0);
    EXPECT_GT(watch.eco_capped, 0);
    EXPECT_GT(watch.ms_capped, 0);
    // Advised vehicles are held by the red light like the others.
    EXPECT_GT(watch.held_at_red, 0);
    EXPECT_GT(watch.others_held, 0);
    const std::string summary = s->units.file_text("output/arterial.u10");
    EXPECT_NE(summary.find("Input of Eco-drive fiel complete"), std::string::npos);
    EXPECT_NE(summary.find("Input of ECACC Multiple Signals complete"), std::string::npos);
}

// Without the vehicle parameters file type 1 has no fuel coefficients: every
// profile the advice could choose costs 0, so class 2 gets no advice at all,
// and the run log says so once for the class.
TEST(EcoArterial, AClassWhoseTypeCannotBePricedGetsNoAdvice) {
    auto s = support::sample_sim("arterial", kSeconds);
    ASSERT_TRUE(s->units.remove("input/veh_parameters.dat"));
    EcoWatch watch(*s);
    s->probe = &watch;
    velmorantis(*s, 1);
    s->probe = nullptr;
    ASSERT_EQ(s->errcount.errt1, 0);
    EXPECT_GT(watch.vehicle_seconds, 1000);
    EXPECT_EQ(watch.eco_capped, 0);
    EXPECT_EQ(watch.ms_capped, 0);
    const std::string log = s->units.file_text("runerr.out");
    const std::string line = " Vehicle class 2 gets no eco advice: its vehicle type 1";
    const auto        at = log.find(line);
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_EQ(log.find(line, at + 1), std::string::npos);
    EXPECT_EQ(log.find(" Vehicle class 1 gets no eco advice"), std::string::npos);
}

} // namespace
} // namespace velm
