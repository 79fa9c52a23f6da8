// The arterial sample with its eco-driving and eco speed advice files: class 2
// is advised on the flagged links within the shortened run, an advice only
// ever lowers a vehicle's speed, and every other trip keeps "no advice".
#include "core/driver/driver.h"
#include "core/model/step_probe.h"

#include "support/samples.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace velm {
namespace {

constexpr int kAdvisedClass = 2;
constexpr int kSeconds = 240;

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
                if (vt != kAdvisedClass) {
                    if (eco != kNoEcoAdvice || ms != kNoEcoAdvice) ++outsiders_advised;
                    continue;
                }
                if (s_.ecodrive.eco_flag(l, vt) > 0) {
                    if (spd > eco + 0.01f) ++raised;
                    if (eco < kNoEcoCap) ++eco_capped;
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
    const std::string summary = s->units.file_text("output/arterial.u10");
    EXPECT_NE(summary.find("Input of Eco-drive fiel complete"), std::string::npos);
    EXPECT_NE(summary.find("Input of ECACC Multiple Signals complete"), std::string::npos);
}

} // namespace
} // namespace velm
