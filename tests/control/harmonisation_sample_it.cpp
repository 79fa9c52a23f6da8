// The corridor sample with both harmonisation strategies: limits upstream of
// the merge at km 6 (classes 1 and 3) and the learned weaving cap on km 6-7.
#include "core/control/speed_harmonisation.h"
#include "core/driver/driver.h"
#include "core/model/step_probe.h"
#include "support/samples.h"

#include <gtest/gtest.h>

#include <string>

namespace velm {
namespace {

constexpr int kHarmonised = 5; // km 4.5-6.0
constexpr int kWeaving = 6;    // km 6.0-7.0
constexpr int kSeconds = 240;

// After each speed update: no vehicle of a controlled class on the
// harmonised link runs above its class limit.
struct LimitWatch : StepProbe {
    Sim& s;
    bool after_speed = false;
    int  checked = 0, over = 0;
    explicit LimitWatch(Sim& sim) : s(sim) {}
    void step(std::string_view name) override {
        if (after_speed) check();
        after_speed = name == "vehpos1";
    }
    void check() {
        const auto& h = s.shctl;
        const int   first = s.link2.nbqu(kHarmonised);
        for (int i = 1; i <= s.link2.ntqu(kHarmonised); ++i) {
            const int car = s.vehicle.big(first + i);
            const int vid = s.vehindx.vehid(car);
            const int vt = s.oddat.vtyp(car);
            if (vid <= 0 || vt < 1 || vt > kClasses || h.shctl_flag(kHarmonised, vt) != 1) continue;
            const float limit = h.shctl_fmt == 1 ? h.spd_ctl(kHarmonised, vt) : h.spd_ctl6(vid);
            ++checked;
            if (s.vehplot.spd(vid, 1) > limit + 1e-3f) ++over;
        }
    }
};

struct SampleRun {
    std::unique_ptr<Sim> sim = support::sample_sim("corridor", kSeconds);
    Sim&                 s = *sim;
    LimitWatch           watch{s};
    void                 run() {
                        s.probe = &watch;
                        velmorantis(s, 1);
                        s.probe = nullptr;
    }
};

TEST(HarmonisedCorridor, ClassLimitsHoldAndTheLearnedTablesGoToTheOutputFolder) {
    SampleRun         r;
    const std::string table = r.s.units.file_text("input/shql_table.dat");
    r.run();
    auto& s = r.s;
    ASSERT_EQ(s.errcount.errt1, 0) << s.units.file_text("runerr.out");
    ASSERT_EQ(s.shctl.shctl_fmt, 1);
    EXPECT_EQ(s.shctl.nshctl, 1);
    ASSERT_EQ(s.shql.shql_enabled, 1);
    EXPECT_GT(r.watch.checked, 0);
    EXPECT_EQ(r.watch.over, 0);
    // The controller ran: limits below the free speed for classes 1 and 3 only.
    const float vf = s.link1.spdvol(kHarmonised, 7);
    EXPECT_LT(s.shctl.spd_lnk(kHarmonised), 1000.0f);
    EXPECT_LE(s.shctl.spd_ctl(kHarmonised, 1), vf);
    EXPECT_FLOAT_EQ(s.shctl.spd_ctl(kHarmonised, 1), s.shctl.spd_ctl(kHarmonised, 3));
    EXPECT_FLOAT_EQ(s.shctl.spd_ctl(kHarmonised, 2), vf);
    // The weaving controller learned and exploited: its tables were written
    // into the output folder, never into the input folder or the source tree.
    EXPECT_EQ(s.shql.nqlwrt, 1);
    EXPECT_TRUE(s.shql.tables_written);
    EXPECT_EQ(s.units.file_text("input/shql_table.dat"), table);
    EXPECT_NE(s.units.file_text("output/shql_table.dat"), "");
    EXPECT_NE(s.units.file_text("output/shql_table.dat"), table);
    EXPECT_NE(s.units.file_text("output/shql_ar.dat"), "");
    EXPECT_EQ(support::slurp(support::sample_dir("corridor") / "input" / "shql_table.dat"), table);
    EXPECT_LE(s.shql.spd_weave(kWeaving), kWeaveCapDefault + 4.0f);
}

TEST(HarmonisedCorridor, FormatTwoAdvisoriesHoldToo) {
    SampleRun   r;
    std::string text = r.s.units.file_text("input/shcontrol.dat");
    const auto  header = text.find("\n1  1  ");
    ASSERT_NE(header, std::string::npos);
    text[header + 4] = '2';
    r.s.units.put_file("input/shcontrol.dat", text);
    r.run();
    ASSERT_EQ(r.s.errcount.errt1, 0);
    ASSERT_EQ(r.s.shctl.shctl_fmt, 2);
    EXPECT_GT(r.watch.checked, 0);
    EXPECT_EQ(r.watch.over, 0);
    EXPECT_LT(r.s.shctl.spd_lnk(kHarmonised), 1000.0f);
}

TEST(HarmonisedCorridor, BadRecordsAreReportedAndTheOldTablesSurvive) {
    SampleRun r;
    r.s.units.put_file("input/shcontrol.dat", "bad\n1  1  0.5  2.0  0.3\n1  5  10100  60\n");
    r.s.units.put_file(
        "input/input_shql.dat",
        "bad\n1  1  8\n1   5  8  6  6   1  2000  30   1400  2000  0  0.9  150   7  1\n");
    const std::string table = r.s.units.file_text("input/shql_table.dat");
    r.run();
    const std::string log = r.s.units.file_text("runerr.out");
    EXPECT_NE(log.find("634020"), std::string::npos) << log;
    EXPECT_NE(log.find("636060"), std::string::npos) << log;
    EXPECT_EQ(r.s.shctl.nshctl, 0);
    EXPECT_EQ(r.s.shql.shql_enabled, 0);
    EXPECT_EQ(r.s.units.file_text("input/shql_table.dat"), table);
    EXPECT_EQ(r.s.errcount.errt1, 0); // never fatal
}

} // namespace
} // namespace velm
