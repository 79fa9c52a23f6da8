// Signal indications: controller phases from the cycle position, link
// indications from the controller state.
#include "core/control/control.h"
#include "core/control/signal_indications.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>

namespace velm {
namespace {

struct Phase {
    float green, end_green, end_inter;
};

struct SignalRun {
    std::unique_ptr<Sim> sim = std::make_unique<Sim>();
    Sim&                 s = *sim;

    void plan(int n, float cycle, float offset, std::initializer_list<Phase> phases) {
        auto& sg = s.signal;
        sg.cycle(n) = cycle;
        sg.offset(n) = offset;
        sg.phases(n) = static_cast<int>(phases.size());
        int p = 0;
        for (const Phase& ph : phases) {
            ++p;
            sg.phend(n, p, 1) = ph.green;
            sg.phend(n, p, 2) = ph.end_green;
            sg.phend(n, p, 3) = ph.end_inter;
        }
        sg.msignal = std::max(sg.msignal, n);
    }
    // Link l ends at control code `control`; slot k discharges in phase `ph`.
    void link(int l, int control) {
        s.link4.llength(l) = 0.3f;
        s.link3.tsignal(l) = control;
        s.link2.mlnum = std::max(s.link2.mlnum, l);
    }
    void slot(int l, int k, int ph, int moves, int lanes) {
        s.link3.phase(l, k, 1) = ph;
        s.link3.phase(l, k, 2) = moves;
        s.link3.phase(l, k, 3) = lanes;
    }
    void tick(int t10) {
        s.control.t10 = t10;
        setsignal1(s);
        setsignal2(s);
    }
    std::array<int, 3> shown(int l) const {
        return {s.link3.signal(l, 1), s.link3.signal(l, 2), s.link3.signal(l, 3)};
    }
    std::array<int, 2> state(int n) const {
        return {s.signal.sigstat(n, 1), s.signal.sigstat(n, 2)};
    }
};

using Ind = std::array<int, 3>;
using St = std::array<int, 2>;

// Signal 1: three phases back to back over a 60-s cycle. Link 1 is served by
// phases 1 and 3, link 2 by phase 3 only, link 3 has two slots of phase 2,
// link 4 is coded with a negative signal number and negative phase numbers.
SignalRun three_phase_signal() {
    SignalRun r;
    r.plan(1, 60.0f, 0.0f, {{0, 25, 30}, {30, 40, 45}, {45, 55, 60}});
    r.link(1, 1);
    r.slot(1, 1, 1, 111, 11111);
    r.slot(1, 2, 3, 10, 11000);
    r.link(2, 1);
    r.slot(2, 1, 3, 1, 10000);
    r.link(3, 1);
    r.slot(3, 1, 2, 100, 10000);
    r.slot(3, 3, 2, 10, 1100);
    r.link(4, -1);
    r.slot(4, 2, -2, -11, -11111);
    return r;
}

TEST(SignalIndications, PhaseAndLinkIndicationsOverTheCycle) {
    struct Case {
        int t10;
        St  st;
        Ind l1, l2, l3, l4;
    };
    const Case cases[] = {
        // Start of green exactly belongs to the phase.
        {0, {1, 1}, {1, 111, 11111}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
        // End of green: intergreen; the next phase (2) does not serve link 1.
        {250, {1, 2}, {5, 111, 11111}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
        // End of intergreen exactly belongs to the next phase; two slots of
        // phase 2: the higher one shows; negative codes by absolute value.
        {300, {2, 1}, {0, 0, 0}, {0, 0, 0}, {3, 10, 1100}, {2, 11, 11111}},
        {449, {2, 2}, {0, 0, 0}, {0, 0, 0}, {5, 10, 1100}, {5, 11, 11111}},
        // Phase 3 intergreen: link 1 keeps its phase-3 slot because phase 1
        // comes next; link 2 (phase 3 only) shows amber.
        {560, {3, 2}, {2, 10, 11000}, {5, 1, 10000}, {0, 0, 0}, {0, 0, 0}},
        // One cycle later the same as at 0 s.
        {600, {1, 1}, {1, 111, 11111}, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}},
    };
    for (const Case& c : cases) {
        SignalRun r = three_phase_signal();
        r.tick(c.t10);
        SCOPED_TRACE(c.t10);
        EXPECT_EQ(r.state(1), c.st);
        EXPECT_EQ(r.shown(1), c.l1);
        EXPECT_EQ(r.shown(2), c.l2);
        EXPECT_EQ(r.shown(3), c.l3);
        EXPECT_EQ(r.shown(4), c.l4);
    }
}

TEST(SignalIndications, OffsetShiftsTheCyclePosition) {
    SignalRun r;
    r.plan(1, 60.0f, 10.0f, {{0, 25, 30}, {30, 40, 45}, {45, 55, 60}});
    r.tick(50); // position (60 + 5 - 10) mod 60 = 55: phase 3 intergreen
    EXPECT_EQ(r.state(1), (St{3, 2}));
    r.tick(150); // position 5
    EXPECT_EQ(r.state(1), (St{1, 1}));
}

TEST(SignalIndications, GapBetweenPhasesShowsNoPhaseAndRed) {
    SignalRun r;
    r.plan(1, 60.0f, 0.0f, {{0, 20, 25}, {25, 40, 45}});
    r.link(1, 1);
    r.slot(1, 1, 1, 111, 11111);
    r.slot(1, 2, 2, 111, 11111);
    r.tick(500);
    EXPECT_EQ(r.state(1), (St{-1, -1}));
    EXPECT_EQ(r.shown(1), (Ind{0, 0, 0}));
    EXPECT_EQ(r.s.link3.gretim(1), 0.0f);
}

TEST(SignalIndications, SignsAndUncontrolledEndsShowNoSignalAndCountGreen) {
    SignalRun r;
    r.link(1, kStopSignCode);
    r.link(2, kYieldSignCode);
    r.link(3, 0);
    r.link(5, 0);
    r.s.link4.llength(5) = kLinkNotCoded; // not a link: untouched
    for (int t10 = 0; t10 < 3; ++t10) r.tick(t10);
    for (int l = 1; l <= 3; ++l) {
        EXPECT_EQ(r.shown(l), (Ind{6, 111, 11111})) << "link " << l;
        EXPECT_EQ(r.s.link3.gretim(l), 3.0f) << "link " << l;
    }
    EXPECT_EQ(r.shown(5), (Ind{0, 0, 0}));
    EXPECT_EQ(r.s.link3.gretim(5), 0.0f);
}

TEST(SignalIndications, UncodedSignalKeepsItsStateAndUnevaluatedSignalShowsRed) {
    SignalRun r = three_phase_signal();
    r.tick(300);                 // phase 2 green
    r.s.signal.cycle(1) = -1.0f; // the next plan does not code signal 1
    r.tick(0);
    EXPECT_EQ(r.state(1), (St{2, 1}));
    EXPECT_EQ(r.shown(3), (Ind{3, 10, 1100}));

    // Signal 2 was never evaluated (its plan never coded it): its links show
    // red and do not count green.
    r.link(7, 2);
    r.slot(7, 1, 1, 111, 11111);
    r.tick(10);
    EXPECT_EQ(r.shown(7), (Ind{0, 0, 0}));
    EXPECT_EQ(r.s.link3.gretim(7), 0.0f);
}

TEST(SignalIndications, ZeroOrNegativeCycleNeverDivides) {
    SignalRun r;
    r.plan(1, 0.0f, 0.0f, {{0, 25, 30}});
    r.link(1, 1);
    r.slot(1, 1, 1, 111, 11111);
    r.s.signal.sigstat(1, 1) = 1; // a state left from an earlier plan
    r.s.signal.sigstat(1, 2) = 1;
    r.tick(123);
    EXPECT_EQ(r.state(1), (St{-1, -1}));
    EXPECT_EQ(r.shown(1), (Ind{0, 0, 0}));
}

TEST(SignalIndications, ExternalRedAndSignalNumbersBeyondTheTable) {
    SignalRun r;
    r.link(1, 1);
    r.slot(1, 1, 1, 111, 11111);
    r.s.signal.msignal = 1;
    r.s.signal.phases(1) = 2;
    r.s.signal.sigstat(1, 1) = 1;
    r.s.signal.sigstat(1, 2) = kSignalExternalRed; // as external control sets it
    setsignal2(r.s);
    EXPECT_EQ(r.shown(1), (Ind{0, 0, 0}));
    // A signal number the controller table cannot hold shows red, no crash.
    r.link(2, kMaxSignals + 1);
    r.slot(2, 1, 1, 111, 11111);
    setsignal2(r.s);
    EXPECT_EQ(r.shown(2), (Ind{0, 0, 0}));
}

} // namespace
} // namespace velm
