// Queue-reward control through the arterial sample's first 600 s: signal 3
// shows the phase chosen at each decision once the phase before has had its
// minimum green and its intergreen, on its controller and on its approach
// links; its windows never overlap, and a phase whose last listed link holds
// standing vehicles is chosen within five decisions.
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
#include <sstream>
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
    int                          phase;      // chosen at this tick
    std::array<int, kPhases + 1> standing{}; // on each phase's last listed link, before it
};

// One green of signal 3 as shown: its phase, first and last tick.
struct Green {
    int phase, from, to;
};

class PhaseWatch : public StepProbe {
  public:
    explicit PhaseWatch(Sim& s) : s_(s) {}

    void step(std::string_view name) override {
        const int t10 = s_.control.t10;
        if (name == "fun_nbsig") {
            // What the previous tick showed, before this tick changes it.
            if (t10 > 0) shown(t10 - 1);
            if (t10 % kEvery == 0) {
                Decision d{t10, 0, {}};
                for (int p = 1; p <= kPhases; ++p)
                    d.standing[static_cast<std::size_t>(p)] = standing(p);
                decisions.push_back(d);
                pending_ = true;
            }
        } else if (name == "setsignal1") {
            if (pending_) decisions.back().phase = s_.nbsig.nbrun(kSig, 1);
            pending_ = false;
            check_windows();
        }
    }

    std::vector<Decision> decisions;
    std::vector<Green>    greens;
    int                   ticks_checked = 0;
    int                   wrong_links = 0; // ticks an approach link showed another phase
    int                   overlapping = 0; // ticks two phase windows overlapped
    std::vector<int>      none_since{0};   // per green change: the ticks without a green

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
    // The greens as shown, and each approach link showing its slot of the
    // green phase (red when no phase is green).
    void shown(int t10) {
        ++ticks_checked;
        const int  p = s_.signal.sigstat(kSig, 1);
        const bool green = s_.signal.sigstat(kSig, 2) == kSignalGreen;
        if (green && !greens.empty() && greens.back().phase == p && greens.back().to == t10 - 1)
            greens.back().to = t10;
        else if (green)
            greens.push_back({p, t10, t10});
        if (!green) return;
        for (int j = 1; j <= s_.nbsig.nnb_lnk(kSig); ++j) {
            const int l = s_.nbsig.sig_lnk(kSig, j);
            int       slot = kIndicationRed;
            for (int k = 1; k <= kPhaseSlots; ++k)
                if (std::abs(s_.link3.phase(l, k, 1)) == p) slot = k;
            if (s_.link3.signal(l, 1) != slot) {
                ++wrong_links;
                break;
            }
        }
    }
    // No two phase windows in force overlap.
    void check_windows() {
        const auto& ph = s_.signal.phend;
        for (int a = 1; a <= kPhases; ++a)
            for (int b = a + 1; b <= kPhases; ++b)
                if (ph(kSig, a, 1) < ph(kSig, b, 3) && ph(kSig, b, 1) < ph(kSig, a, 3)) {
                    if (overlapping++ < 3) {
                        std::string w = "tick " + std::to_string(s_.control.t10) + ":";
                        for (int p = 1; p <= kPhases; ++p)
                            w += " (" + std::to_string(ph(kSig, p, 1)) + " " +
                                 std::to_string(ph(kSig, p, 2)) + " " +
                                 std::to_string(ph(kSig, p, 3)) + ")";
                        ADD_FAILURE() << w;
                    }
                    return;
                }
    }

    Sim& s_;
    bool pending_ = false;
};

TEST(QueueRewardRun, TheArterialSignalServesItsQueuesWithEveryClearanceAndMinimumGreen) {
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
    EXPECT_EQ(watch.wrong_links, 0);
    EXPECT_EQ(watch.overlapping, 0);

    // Between the greens of two phases the first one's intergreen runs; each
    // green lasts its minimum (the last one may be cut by the horizon).
    const auto& g = watch.greens;
    ASSERT_GE(g.size(), 10u);
    const auto& sg = s.signal;
    int         changes = 0;
    for (std::size_t i = 0; i < g.size(); ++i) {
        const int len = g[i].to - g[i].from + 1;
        if (i + 1 < g.size()) {
            EXPECT_GE(len, std::lround(10.0f * sg.mingrn(kSig, g[i].phase, 1)))
                << "phase " << g[i].phase << " green from tick " << g[i].from;
        }
        if (i == 0) continue;
        const int gap = g[i].from - g[i - 1].to - 1;
        if (g[i].phase != g[i - 1].phase) {
            ++changes;
            EXPECT_GE(gap, std::lround(10.0f * sg.intgrn(kSig, g[i - 1].phase)))
                << "phase " << g[i - 1].phase << " to " << g[i].phase << " at tick " << g[i].from;
        }
    }
    EXPECT_GT(changes, 5);

    // A phase with standing vehicles on its last listed link at a decision is
    // chosen at that decision or one of the next four, unless its queue has
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
    EXPECT_GT(queued, 5);

    // The timing report lists the greens run in the last complete cycle: with
    // their intergreens they fit in the cycle.
    const auto lines = support::lines_of(s.units.file_text("output/arterial.u14"));
    int        listed = 0;
    for (const auto& line : lines) {
        std::istringstream in(line);
        int                n = 0, lo = 0, hi = 0, offset = 0, phases = 0;
        float              cycle = 0;
        if (!(in >> n >> cycle >> lo >> hi >> offset >> phases) || n != kSig || phases != kPhases)
            continue;
        float used = 0, green = 0, inter = 0;
        // A phase that ran no green in the cycle ran no intergreen either.
        while (in >> green >> inter) used += green > 0.0f ? green + inter : 0.0f;
        EXPECT_LE(used, cycle + 0.5f) << line;
        ++listed;
    }
    EXPECT_GT(listed, 0);
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
    // The decisions went on to the end: the last one's phase is in force.
    const int chosen = s.nbsig.nbrun(kSig, 1);
    EXPECT_GE(chosen, 1);
    const int shown = s.signal.sigstat(kSig, 1);
    EXPECT_TRUE(shown == chosen || shown == s.nbsig.nbrun(kSig, 5))
        << "the chosen phase or the intergreen before it";
}

} // namespace
} // namespace velm
