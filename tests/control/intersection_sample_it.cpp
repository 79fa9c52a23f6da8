// The grid sample with two interior intersections under distributed control:
// decisions choose among all four phase options, advised vehicles keep to
// their advisories on the approach and speed up again after it, and no
// vehicle of a served movement is told to stop.
#include "core/control/intersection_control.h"
#include "core/driver/driver.h"
#include "core/model/step_probe.h"
#include "support/samples.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>

namespace velm {
namespace {

constexpr int kSeconds = 240;
constexpr int kControlled[] = {9, 28};

struct DivcWatch : StepProbe {
    Sim&                 s;
    bool                 after_divc = false, after_speed = false;
    std::array<float, 2> next_time{};
    std::set<int>        chosen[2];
    int                  decisions = 0, served = 0, served_stopped = 0;
    int                  advised = 0, slowed = 0, over = 0, resumed = 0;
    std::map<int, float> slowest; // trips slowed by an advisory: their lowest advisory
    explicit DivcWatch(Sim& sim) : s(sim) {}

    void step(std::string_view name) override {
        if (after_divc) decided();
        if (after_speed) speeds();
        after_divc = name == "fun_divc";
        after_speed = name == "vehpos1";
        if (after_divc)
            for (int i = 0; i < 2; ++i) next_time[i] = s.divc.divctim(kControlled[i]);
    }
    // The phase holding the whole cycle of signal n.
    int green(int n) const {
        for (int p = 1; p <= 4; ++p)
            if (s.signal.phstr(n, p, 1) == 0.0f && s.signal.phstr(n, p, 2) == s.signal.cycle(n))
                return p;
        return 0;
    }
    // Movement of a vehicle on approach a of intersection n bound for link
    // next (legs numbered in order; 0 for none).
    int movement(int n, int a, int next) const {
        for (int m = 1; m <= 4; ++m)
            if (m != a && s.divc.dlink(n, m) == next)
                return 3 * (a - 1) + (m > a ? m - a : m + 4 - a);
        return 0;
    }
    void decided() {
        for (int i = 0; i < 2; ++i) {
            const int n = kControlled[i];
            if (s.divc.divctim(n) == next_time[i]) continue;
            ++decisions;
            const int  j = green(n);
            const auto served_moves = divc_option(j);
            chosen[i].insert(j);
            for (int a = 1; a <= 4; ++a) {
                const int l = s.divc.alink(n, a);
                for (int k = 1; k <= s.link2.ntqu(l); ++k) {
                    const int car = s.vehicle.big(s.link2.nbqu(l) + k);
                    const int v = movement(n, a, s.vehicle.nxtlnk(s.vehindx.vehid(car), 1));
                    if (v == 0 || std::find(served_moves.begin(), served_moves.end(), v) ==
                                      served_moves.end())
                        continue;
                    ++served;
                    if (s.divc.divcspd(car, 1) <= 0.0f) ++served_stopped;
                }
            }
        }
    }
    void speeds() {
        for (const int n : kControlled) {
            if (s.divc.defined(n) == 0) continue;
            for (int a = 1; a <= 4; ++a) {
                const int   l = s.divc.alink(n, a);
                const float uf = s.link1.spdvol(l, 7);
                for (int k = 1; k <= s.link2.ntqu(l); ++k) {
                    const int   car = s.vehicle.big(s.link2.nbqu(l) + k);
                    const float u = s.vehplot.spd(s.vehindx.vehid(car), 1);
                    if (static_cast<int>(s.divc.divcspd(car, 2)) != l) continue;
                    const float adv = s.divc.divcspd(car, 1);
                    ++advised;
                    if (u > adv + 1e-3f) ++over;
                    if (adv < uf - 1.0f && u > 0.0f && u <= adv + 1e-3f) {
                        ++slowed;
                        auto [it, fresh] = slowest.emplace(car, adv);
                        if (!fresh) it->second = std::min(it->second, adv);
                    }
                }
                // After the approach: a trip slowed there runs faster than
                // its lowest advisory again.
                const int d = s.divc.dlink(n, a);
                for (int k = 1; k <= s.link2.ntqu(d); ++k) {
                    const int  car = s.vehicle.big(s.link2.nbqu(d) + k);
                    const auto it = slowest.find(car);
                    if (it != slowest.end() &&
                        s.vehplot.spd(s.vehindx.vehid(car), 1) > it->second + 1.0f)
                        ++resumed;
                }
            }
        }
    }
};

TEST(GridIntersectionControl, DecisionsAdvisoriesAndServedMovements) {
    auto      sim = support::sample_sim("grid", kSeconds);
    Sim&      s = *sim;
    DivcWatch watch{s};
    s.probe = &watch;
    velmorantis(s, 1);
    s.probe = nullptr;
    ASSERT_EQ(s.errcount.errt1, 0) << s.units.file_text("runerr.out");
    ASSERT_EQ(s.divc.fmt_divc, 1);
    EXPECT_EQ(s.units.file_text("runerr.out").find("input_divc.dat"), std::string::npos)
        << s.units.file_text("runerr.out");
    // A decision every 5 s or sooner at each intersection.
    EXPECT_GE(watch.decisions, 2 * (kSeconds / 6));
    for (int i = 0; i < 2; ++i)
        EXPECT_GE(watch.chosen[i].size(), 2u) << "intersection " << kControlled[i];
    std::set<int> all;
    for (const auto& c : watch.chosen) all.insert(c.begin(), c.end());
    EXPECT_EQ(all, (std::set<int>{1, 2, 3, 4}));
    EXPECT_GT(watch.served, 0);
    EXPECT_EQ(watch.served_stopped, 0);
    EXPECT_GT(watch.advised, 0);
    EXPECT_EQ(watch.over, 0);
    EXPECT_GT(watch.slowed, 0);
    EXPECT_GT(watch.resumed, 0);
}

// A second record naming a link the network lacks: the run logs its code and
// the first junction is still decided.
TEST(GridIntersectionControl, ABadRecordLeavesTheEarlierJunctionRunning) {
    auto        sim = support::sample_sim("grid", 60);
    Sim&        s = *sim;
    std::string text = s.units.file_text("input/input_divc.dat");
    const auto  second = text.find("\n28 ");
    ASSERT_NE(second, std::string::npos);
    text.replace(second, 4, "\n28  4400 ");
    s.units.put_file("input/input_divc.dat", text);
    DivcWatch watch{s};
    s.probe = &watch;
    velmorantis(s, 1);
    s.probe = nullptr;
    const std::string log = s.units.file_text("runerr.out");
    EXPECT_NE(log.find("input_divc.dat Error      639040"), std::string::npos) << log;
    EXPECT_EQ(s.errcount.errt1, 0);
    EXPECT_EQ(s.divc.nread, 1);
    EXPECT_GT(watch.chosen[0].size(), 0u) << "junction 15 decides";
    EXPECT_TRUE(watch.chosen[1].empty());
}

} // namespace
} // namespace velm
