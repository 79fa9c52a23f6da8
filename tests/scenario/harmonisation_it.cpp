// The corridor's speed harmonisations over the shortened run: vehicles in the
// middle zone of a capped feeder never exceed its control speed while those
// at its ends do, and only connected vehicles take the commanded speed.
#include "core/control/highway_harmonisation.h"
#include "core/driver/driver.h"
#include "core/model/sim.h"
#include "core/model/step_probe.h"
#include "support/samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

namespace velm {
namespace {

// Long enough for connected vehicles (8 % of the demand) to reach link 5 and
// for its command to act on those behind them on link 4.
constexpr int kSeconds = 360;

// Looks at the speeds the previous tick's speed update gave, before the
// harmonisation's own step of the tick changes the control speeds.
class HarmonisationWatch : public StepProbe {
  public:
    explicit HarmonisationWatch(Sim& s) : s_(s) {}
    void step(std::string_view name) override {
        if (name != "highway_spd_harm_run") return;
        capped_links();
        connected_link();
    }

    int         in_zone = 0, over_in_zone = 0, over_at_ends = 0, feeder_ticks = 0;
    int         commanded = 0, connected_off = 0, others_on_command = 0, others = 0;
    std::string first_fault;

  private:
    void capped_links() {
        const auto& h = s_.highway_spdharm;
        if (h.it_len > 0) ++feeder_ticks;
        for (int k = 1; k <= h.it_len; ++k) {
            const int   l = h.it_links_for_sph(k);
            const float len = 1000.0f * s_.link4.llength(l);
            const float f =
                std::min(h.location_percentage, h.maximum_length_for_harmonization / len);
            each_vehicle(l, [&](int vt, float d, float u) {
                const float cap = h.highway_sph_ctl_spd(l, vt);
                if (std::abs(d / len - 0.5f) < f) {
                    ++in_zone;
                    if (u > cap + 1e-3f) {
                        ++over_in_zone;
                        if (first_fault.empty())
                            first_fault = "link " + std::to_string(l) + " at " + std::to_string(d) +
                                          " m: " + std::to_string(u) + " > " + std::to_string(cap);
                    }
                } else if (u > cap + 1.0f) {
                    ++over_at_ends;
                }
            });
        }
    }
    void connected_link() {
        const auto& c = s_.spdharmhw;
        const int   l = c.spdharmhw_ctrdlk_matrix(1, 1);
        if (c.has_command(1) == 0) return;
        const float cmd = c.spdharmhw_control_speed(1);
        const float len = 1000.0f * s_.link4.llength(l);
        const float h = std::min(len * c.spdharmhw_distanceratio, c.spdharmhw_max_distancerange);
        each_vehicle(l, [&](int vt, float d, float u) {
            if (std::abs(len - d - len / 2.0f) > h) return;
            if (c.cv_digit[vt] == 1) {
                // The highway cap may still lower the command.
                if (u == cmd || u < cmd)
                    ++commanded;
                else
                    ++connected_off;
            } else {
                ++others;
                if (u == cmd) ++others_on_command;
            }
        });
    }
    template <class F> void each_vehicle(int l, F&& f) {
        const int base = s_.link2.nbqu(l);
        for (int i = 1; i <= s_.link2.ntqu(l); ++i) {
            const int car = s_.vehicle.big(base + i);
            const int vid = s_.vehindx.vehid(car);
            const int vt = s_.oddat.vtyp(car);
            if (vid < 1 || vt < 1 || vt > kClasses) continue;
            f(vt, s_.vehplot.dis(vid, 1), s_.vehplot.spd(vid, 1));
        }
    }
    Sim& s_;
};

TEST(CorridorHarmonisation, FeedersAreCappedInTheMiddleAndConnectedVehiclesCommanded) {
    auto s = support::sample_sim("corridor", kSeconds);
    // Platoon speeds replace the harmonised ones on their lane: the caps are
    // looked at without them.
    ASSERT_TRUE(s->units.remove("input/platoon.dat"));
    HarmonisationWatch w(*s);
    s->probe = &w;
    velmorantis(*s, 1);
    s->probe = nullptr;
    ASSERT_EQ(s->errcount.errt1, 0);
    EXPECT_GT(w.feeder_ticks, 0) << "no feeder was ever capped";
    EXPECT_GT(w.in_zone, 0);
    EXPECT_EQ(w.over_in_zone, 0) << w.first_fault;
    EXPECT_GT(w.over_at_ends, 0) << "the ends of capped feeders never ran above the cap";
    EXPECT_GT(w.commanded, 0) << "no connected vehicle took the command";
    EXPECT_EQ(w.connected_off, 0);
    EXPECT_GT(w.others, 0);
    EXPECT_EQ(w.others_on_command, 0);
}

TEST(CorridorHarmonisation, ADamagedFileStopsOnlyItsOwnStrategy) {
    struct Case {
        const char* file;
        const char* text;
        int         code;
    };
    for (const Case& c : {Case{"input/spd_highway.dat",
                               "title\n7 0.5 300 0.3 1 0.5 300 0.5 5\n2\n3\n99\n", kErrHighwayLink},
                          Case{"input/input_SpdHarmHw.dat",
                               "title\n1 0.0 0.3 300\n2 0.5 0.1 -0.1 0.1 1\n0 0.5\n1 "
                               "01000\n4 5\n",
                               kErrCvHeader}}) {
        auto        s = support::sample_sim("corridor", 60);
        std::string console;
        s->units.set_console([&](std::string_view t) {
            console.append(t);
            console.push_back('\n');
        });
        s->units.put_file(c.file, c.text);
        velmorantis(*s, 1);
        const std::string log = s->units.file_text("runerr.out");
        EXPECT_EQ(s->errcount.errt1, 0) << c.file;
        EXPECT_NE(log.find(std::to_string(c.code)), std::string::npos) << c.file << "\n" << log;
        EXPECT_NE(log.find("Total trips completed"), std::string::npos) << c.file;
        // Highway harmonisation's per-period lines go to the run log only.
        const bool highway_ran = log.find("Link ID = ") != std::string::npos;
        EXPECT_EQ(console.find("Link ID = "), std::string::npos) << c.file;
        const bool cv_ran = s->spdharmhw.active_spdharmhw == 1;
        EXPECT_EQ(highway_ran, c.code != kErrHighwayLink) << c.file;
        EXPECT_EQ(cv_ran, c.code == kErrHighwayLink) << c.file;
    }
}

} // namespace
} // namespace velm
