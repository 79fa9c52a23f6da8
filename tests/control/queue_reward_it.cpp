// Queue-reward control through the arterial sample's first 600 s: signal 3
// shows the phase chosen at each decision on every tick up to the next, on
// its controller and on its approach links, and a phase whose last listed
// link holds standing vehicles is served within five decisions.
#include "core/control/signal_indications.h"
#include "core/driver/driver.h"
#include "core/io/writers.h"
#include "core/model/step_probe.h"
#include "support/samples.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace velm {
namespace {

constexpr int   kSig = 3;       // the arterial's queue-reward signal
constexpr int   kHorizon = 600; // s
constexpr int   kEvery = 100;   // ticks between decisions (10 s, the cycle a multiple)
constexpr float kZoneMetres = 66.0f;
constexpr float kStoppedKmh = 4.5f;
constexpr int   kPhases = 3;

struct Decision {
    int                          t10;
    int                          phase;      // served from this tick on
    std::array<int, kPhases + 1> standing{}; // on each phase's last listed link, before it
};

class PhaseWatch : public StepProbe {
  public:
    explicit PhaseWatch(Sim& s) : s_(s) {}

    void step(std::string_view name) override {
        const int t10 = s_.control.t10;
        if (name == "fun_nbsig") {
            // What the previous tick showed, before this tick changes it.
            if (!decisions.empty()) check_shown(decisions.back().phase);
            if (t10 % kEvery == 0) {
                Decision d{t10, 0, {}};
                for (int p = 1; p <= kPhases; ++p)
                    d.standing[static_cast<std::size_t>(p)] = standing(p);
                decisions.push_back(d);
                pending_ = true;
            }
        } else if (name == "setsignal1" && pending_) {
            pending_ = false;
            const auto& sg = s_.signal;
            const float x =
                static_cast<float>(t10 % (10 * static_cast<int>(sg.cycle(kSig)))) / 10.0f;
            for (int p = 1; p <= kPhases; ++p)
                if (sg.phend(kSig, p, 1) == x && sg.phend(kSig, p, 2) == x + 10.0f)
                    decisions.back().phase = p;
        }
    }

    std::vector<Decision> decisions;
    int                   ticks_checked = 0;
    int                   wrong_controller = 0; // ticks the controller showed another phase
    int                   wrong_links = 0;      // ticks an approach link showed another phase

  private:
    // Standing vehicles within the queue zone on the lanes the phase serves
    // on its last listed link.
    int standing(int p) const {
        const auto& nb = s_.nbsig;
        const int   m = nb.tnbsig(kSig, p, 1);
        if (m == 0) return 0;
        const int   l = nb.tnbsig(kSig, p, m + 1);
        const int   v = nb.mnbsig(kSig, p, m);
        const int   h = nb.sig_lan(kSig, nb.lnk_ord(l));
        const int   n = s_.link1.nulans(l);
        const int   lo = v == kNbLeft ? h + 1 : 1;
        const int   hi = v == kNbThrough ? h : v == kNbNoMovement ? 0 : n;
        const float len = 1000.0f * s_.link4.llength(l);
        int         count = 0;
        for (int i = 1; i <= s_.link2.ntqu(l); ++i) {
            const int vid = s_.vehindx.vehid(s_.vehicle.big(s_.link2.nbqu(l) + i));
            const int e = s_.oddat.vlan(vid, 1);
            if (len - s_.vehplot.dis(vid, 1) < std::min(len / 2, kZoneMetres) &&
                s_.vehplot.spd(vid, 4) < kStoppedKmh && e >= lo && e <= hi)
                ++count;
        }
        return count;
    }
    void check_shown(int phase) {
        ++ticks_checked;
        if (s_.signal.sigstat(kSig, 1) != phase || s_.signal.sigstat(kSig, 2) != kSignalGreen)
            ++wrong_controller;
        bool links_ok = true;
        for (int j = 1; j <= s_.nbsig.nnb_lnk(kSig); ++j) {
            const int l = s_.nbsig.sig_lnk(kSig, j);
            int       slot = kIndicationRed;
            for (int k = 1; k <= kPhaseSlots; ++k)
                if (std::abs(s_.link3.phase(l, k, 1)) == phase) slot = k;
            if (s_.link3.signal(l, 1) != slot) links_ok = false;
        }
        if (!links_ok) ++wrong_links;
    }

    Sim& s_;
    bool pending_ = false;
};

TEST(QueueRewardRun, TheArterialSignalServesItsQueuesPhaseByPhase) {
    auto       sim = support::sample_sim("arterial", kHorizon);
    Sim&       s = *sim;
    PhaseWatch watch(s);
    s.probe = &watch;
    velmorantis(s, 1);
    ASSERT_EQ(s.errcount.errt1, 0) << s.units.file_text("runerr.out");
    ASSERT_EQ(s.nbsig.nnbsig, 1);

    const auto& d = watch.decisions;
    ASSERT_GE(d.size(), 60u);
    for (const auto& x : d) ASSERT_NE(x.phase, 0) << "no phase served at tick " << x.t10;
    EXPECT_GT(watch.ticks_checked, 5900);
    EXPECT_EQ(watch.wrong_controller, 0);
    EXPECT_EQ(watch.wrong_links, 0);

    // A phase with standing vehicles on its last listed link at a decision is
    // served at that decision or one of the next four, unless its queue has
    // gone before (which clears its wait).
    int queued = 0;
    for (int p = 1; p <= kPhases; ++p)
        for (std::size_t k = 0; k + 5 <= d.size(); ++k) {
            const auto up = static_cast<std::size_t>(p);
            if (d[k].standing[up] == 0) continue;
            ++queued;
            bool ok = false;
            for (std::size_t i = k; i < k + 5 && !ok; ++i)
                ok = d[i].phase == p || d[i].standing[up] == 0;
            EXPECT_TRUE(ok) << "phase " << p << " passed over from tick " << d[k].t10;
        }
    // Queues stand at decisions, and the choice moves between phases.
    EXPECT_GT(queued, 5);
    EXPECT_TRUE(
        std::any_of(d.begin(), d.end(), [&d](const Decision& x) { return x.phase != d[0].phase; }));
}

// A second record that names a station of another signal: the run log names
// it with its code and line, the run goes on, and signal 3 keeps deciding.
TEST(QueueRewardRun, ABadRecordIsNamedAndTheRecordBeforeItRuns) {
    constexpr int kShort = 60; // s
    auto          sim = support::sample_sim("arterial", kShort);
    Sim&          s = *sim;
    auto&         u = s.units;
    auto          lines = support::lines_of(u.file_text("input/input_NBsig.dat"));
    ASSERT_EQ(lines.size(), 4u);
    lines[1] = "2  1";
    std::string file;
    for (const auto& l : lines) file += l + "\n";
    u.put_file("input/input_NBsig.dat", file + "2  1  1  1  2\n3 1000 1000 1000 1 1 1 10 1\n");
    velmorantis(s, 1);
    const std::string log = u.file_text("runerr.out");
    ASSERT_EQ(s.errcount.errt1, 0) << log;
    EXPECT_TRUE(support::contains(log, free_line("input_NBsig.dat Error", 611050, "at line", 5)))
        << log;
    EXPECT_EQ(s.nbsig.nnbsig, 1);
    EXPECT_EQ(s.nbsig.nbsig_flag(1), 0);
    // The last decision, at 60 s (cycle position 60 s), is in force.
    const auto& sg = s.signal;
    int         shown = 0;
    for (int p = 1; p <= kPhases; ++p)
        if (sg.phend(kSig, p, 1) == 60.0f && sg.phend(kSig, p, 2) == 70.0f) shown = p;
    EXPECT_NE(shown, 0);
    EXPECT_EQ(sg.sigstat(kSig, 1), shown);
}

} // namespace
} // namespace velm
