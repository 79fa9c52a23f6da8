// Queue-reward signal control: the signal file "input_NBsig.dat", the decision
// instants, the phase chosen from the queues at the approaches, the wait
// limit that serves a passed-over queue, and the phase times it writes.
#include "control/timing_fixture.h"
#include "core/control/signal_indications.h"
#include "support/text.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace velm {
namespace {

using support::TimingNet;
using ::testing::HasSubstr;

constexpr int   kSat = 6;        // spdvol(l, 6): saturation flow per lane
constexpr float kLinkKm = 0.4f;  // every approach link, 400 m
constexpr float kStopped = 0.0f; // km/h
constexpr float kMoving = 20.0f; // km/h
constexpr int   kBlock = 60;     // list-store entries per link

// Signals and their approach links (1..6), each link with its own active
// detector station (station d on link d) and 1800 veh/h of saturation flow
// per lane; the strategy's file, when given, in the input directory.
struct NbNet : TimingNet {
    NbNet() {
        s.filenam.path1 = "input\\";
        s.pathnam.lpath[1] = 6;
        s.filenam.path2 = "output\\";
        s.pathnam.lpath[2] = 7;
        s.detloc.mdetloc = 6;
    }
    // Signal n on cycle z s with q phases of 10 s green and 4 s intergreen
    // (the plan before any decision).
    void signal(int n, float z, float offset, int q) {
        auto& sg = s.signal;
        sg.cycle(n) = z;
        sg.offset(n) = offset;
        sg.phases(n) = q;
        float t = 0;
        for (int p = 1; p <= q; ++p) {
            sg.phstr(n, p, 1) = t;
            sg.phstr(n, p, 2) = t + 10.0f;
            sg.phstr(n, p, 3) = t = t + 14.0f;
            for (int i = 1; i <= 3; ++i) sg.phend(n, p, i) = sg.phstr(n, p, i);
            sg.intgrn(n, p) = 4.0f;
            sg.mingrn(n, p, 1) = 5.0f;
        }
        sg.msignal = std::max(sg.msignal, n);
    }
    // Link l of `lanes` lanes ends at signal n and discharges in `phase` (slot
    // 1) with the movement code `moves` (left, through, right digits);
    // station l lies on it.
    void approach(int l, int n, int phase, int lanes, int moves = 111) {
        s.link4.llength(l) = kLinkKm;
        s.link3.tsignal(l) = n;
        s.link3.phase(l, 1, 1) = phase;
        s.link3.phase(l, 1, 2) = moves;
        s.link1.nulans(l) = lanes;
        s.link1.spdvol(l, kSat) = 1800.0f;
        s.link2.nbqu(l) = (l - 1) * kBlock;
        s.link2.mlnum = std::max(s.link2.mlnum, l);
        s.detloc.dettyp(l) = 10;
        s.detloc.detlink(l) = l;
    }
    // A vehicle behind those already listed on link l: on `lane`, `metres`
    // before the stop line, at `kmh`.
    void put(int l, int lane, float metres, float kmh) {
        const int car = ++cars;
        s.link2.ntqu(l) += 1;
        s.vehicle.big(s.link2.nbqu(l) + s.link2.ntqu(l)) = car;
        s.vehindx.vehid(car) = car;
        s.vehplot.dis(car, 1) = 1000.0f * kLinkKm - metres;
        s.vehplot.spd(car, 4) = kmh;
        s.oddat.vlan(car, 1) = lane;
    }
    // n vehicles standing in a row on `lane` from `first` metres before the
    // stop line, 6 m apart.
    void stand(int l, int lane, int n, float first = 2.0f) {
        for (int i = 0; i < n; ++i) put(l, lane, first + 6.0f * static_cast<float>(i), kStopped);
    }
    // Last-poll flow of lane e at station d, veh/h.
    void flow(int d, int e, float vph) { s.detloc.lndt(d, 2, 1, e) = vph; }

    void read(const std::string& file) {
        s.units.put_file("input/input_NBsig.dat", file);
        rd_nbsig(s);
    }
    // Runs the strategy at tick t10; the phase it serves (green once the
    // phase before has had its intergreen), 0 when the tick made no decision.
    int decide_at(int n, int t10) {
        fun_nbsig(s, t10);
        const auto& sg = s.signal;
        const int   z = 10 * static_cast<int>(sg.cycle(n));
        const int   it = static_cast<int>(10.0f * s.nbsig.nbsig_invl(n));
        const int   tc = t10 - 10 * static_cast<int>(sg.offset(n));
        if (z <= 0) return 0; // no cycle: no decision
        if (tc % z != 0 && (it <= 0 || tc % it != 0)) return 0;
        return s.nbsig.nbrun(n, 1);
    }
    int cars = 0;
};

// One record: signal n, its stations and through lanes, per phase threat
// point and weight, the interval and the priority phase.
std::string record(int i, int n, const std::vector<int>& det, const std::vector<int>& lanes,
                   const std::vector<std::string>& threats, const std::vector<std::string>& weights,
                   const std::string& invl, const std::string& prior) {
    std::string r = std::to_string(i) + " " + std::to_string(n) + " " + std::to_string(det.size());
    for (int d : det) r += " " + std::to_string(d);
    for (int h : lanes) r += " " + std::to_string(h);
    r += "\n" + std::to_string(threats.size());
    for (const auto& t : threats) r += " " + t;
    for (const auto& w : weights) r += " " + w;
    return r + " " + invl + " " + prior + "\n";
}

// The file with its records; `count` replaces the record count of the header.
std::string nb_file(const std::vector<std::string>& records, std::string count = "") {
    if (count.empty()) count = std::to_string(records.size());
    std::string t = "Queue-reward control of the test\n" + count + " 1\n";
    for (const auto& r : records) t += r;
    return t;
}

// Two-phase signal 1 on a 60-s cycle: link 1 (phase 1) with two through
// lanes, link 2 (phase 2) with one, weights 1, threat points 1000.
struct TwoApproaches : NbNet {
    explicit TwoApproaches(float offset = 0.0f, const std::string& invl = "10", int q = 2,
                           const std::string& prior = "1") {
        signal(1, 60, offset, q);
        approach(1, 1, 1, 2, 10);
        approach(2, 1, 2, 1, 10);
        std::vector<std::string> thr(static_cast<std::size_t>(q), "1000");
        std::vector<std::string> wgt(static_cast<std::size_t>(q), "1");
        read(nb_file({record(1, 1, {1, 2}, {2, 1}, thr, wgt, invl, prior)}));
    }
};

// --- decision instants ---------------------------------------------------------

TEST(QueueRewardInstants, DecisionsAtTheIntervalAndTheCycleEndInLocalTime) {
    struct Case {
        const char*   what;
        float         offset;
        std::string   invl;
        float         cycle; // set after reading: a later plan
        std::set<int> due;   // ticks 0..1300 with a decision
    } const cases[] = {
        {"10-s interval, 60-s cycle: every 100th tick",
         0,
         "10",
         60,
         {0, 100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 1100, 1200, 1300}},
        {"25-s interval: its multiples and the cycle ends",
         0,
         "25",
         60,
         {0, 250, 500, 600, 750, 1000, 1200, 1250}},
        {"offset 5 s: local time", 5, "25", 60, {50, 300, 550, 650, 800, 1050, 1250, 1300}},
        {"interval 0: cycle ends only", 0, "0", 60, {0, 600, 1200}},
        {"negative interval: cycle ends only", 0, "-10", 60, {0, 600, 1200}},
        {"a plan that no longer codes the signal: never", 0, "10", -1, {}},
        {"a zero cycle: never", 0, "10", 0, {}},
    };
    for (const auto& c : cases) {
        TwoApproaches n(c.offset, c.invl);
        ASSERT_EQ(n.s.nbsig.nnbsig, 1) << c.what << n.log();
        n.s.signal.cycle(1) = c.cycle;
        std::set<int> due;
        for (int t10 = 0; t10 <= 1300; ++t10)
            if (n.decide_at(1, t10) != 0) due.insert(t10);
        EXPECT_EQ(due, c.due) << c.what;
    }
}

// --- the phase chosen ------------------------------------------------------------

// Phase 1: SS 3, AA 3, Q 1800 -> R1 = 3 - 5 -> 0, R2 = 11; phase 2: SS 2, AA 1,
// Q 360 -> R1 = 2 - 4 -> 0, R2 = 4.
void worked_example(NbNet& n) {
    n.put(1, 1, 2, kMoving);
    n.stand(1, 1, 2, 8);
    n.stand(1, 2, 1);
    n.flow(1, 1, 900);
    n.flow(1, 2, 900);
    n.stand(2, 1, 2);
    n.flow(2, 1, 360);
}

TEST(QueueRewardChoice, ThePhaseWhoseServiceLeavesTheSmallestQueuesIsServed) {
    struct Case {
        const char*                 what;
        int                         q;     // phases scored (3: one without links)
        std::string                 prior; // priority phase
        std::function<void(NbNet&)> traffic;
        int                         phase; // served at tick 100
    } const cases[] = {
        // Products of (R + 1000): phase 1 1000 x 1004, phase 2 1011 x 1000:
        // the 11 waiting are served.
        {"two phases: the longer queue", 2, "1", worked_example, 1},
        {"three phases, the third empty: the same", 3, "2", worked_example, 1},
        {"the queue on the other approach", 2, "1",
         [](NbNet& n) {
             n.stand(1, 1, 1);
             n.stand(2, 1, 9);
         },
         2},
        // Phase 2's three idle lanes would discharge 15 in the interval: its
        // served-queue reward stops at 0 and does not outbid phase 1's 2.
        {"an empty phase gains nothing from its spare discharge", 2, "1",
         [](NbNet& n) {
             n.s.link1.nulans(2) = 3;
             n.s.nbsig.sig_lan(1, 2) = 3;
             n.stand(1, 1, 2);
         },
         1},
        {"all empty: the priority phase", 2, "2", [](NbNet&) {}, 2},
        {"all empty, three phases: the priority phase", 3, "3", [](NbNet&) {}, 3},
        {"equal queues on both: the priority phase", 2, "2",
         [](NbNet& n) {
             n.stand(1, 1, 3);
             n.stand(2, 1, 3);
         },
         2},
        {"vehicles beyond the 66-m zone do not count", 2, "1",
         [](NbNet& n) {
             n.stand(1, 1, 1);
             n.stand(2, 1, 8, 70);
         },
         1},
        {"a vehicle beyond the zone ends the walk of its link", 2, "1",
         [](NbNet& n) {
             n.stand(1, 1, 1);
             n.put(2, 1, 70, kStopped);
             n.put(2, 1, 30, kStopped); // listed behind: never reached
             n.put(2, 1, 20, kStopped);
         },
         1},
    };
    for (const auto& c : cases) {
        TwoApproaches n(0, "10", c.q, c.prior);
        c.traffic(n);
        EXPECT_EQ(n.decide_at(1, 100), c.phase) << c.what;
    }
}

// A right-turn-only link lowers its phase's served-queue reward by its
// discharge, and adds no queue of its own.
TEST(QueueRewardChoice, ARightTurnOnlyLinkLowersOnlyTheServedQueue) {
    struct Case {
        const char* what;
        bool        right_only_link;
        int         phase;
    } const cases[] = {
        // Phase 1: one lane, 10 standing: R1 5, R2 11. Phase 2: one lane, two
        // moving then 8 standing: R1 3, R2 11. Products 1005 x 1011 against
        // 1011 x 1003: phase 2.
        {"without it", false, 2},
        // Link 3, right turns only, one through lane, in phase 1: R1 of phase 1
        // 5 - 5 = 0: 1000 x 1011 against 1011 x 1003: phase 1. Its own
        // standing vehicles leave phase 1's unserved queue at 11.
        {"with it", true, 1},
    };
    for (const auto& c : cases) {
        NbNet n;
        n.signal(1, 60, 0, 2);
        n.approach(1, 1, 1, 1, 10);
        n.approach(2, 1, 2, 1, 10);
        std::vector<int> det{1, 2}, lanes{1, 1};
        if (c.right_only_link) {
            n.approach(3, 1, 1, 1, 1);
            det.push_back(3);
            lanes.push_back(1);
        }
        n.read(nb_file({record(1, 1, det, lanes, {"1000", "1000"}, {"1", "1"}, "10", "1")}));
        ASSERT_EQ(n.s.nbsig.nnbsig, 1) << n.log();
        n.stand(1, 1, 10);
        n.put(2, 1, 2, kMoving);
        n.put(2, 1, 8, kMoving);
        n.stand(2, 1, 8, 14);
        if (c.right_only_link) n.stand(3, 1, 6);
        EXPECT_EQ(n.decide_at(1, 100), c.phase) << c.what;
    }
}

TEST(QueueRewardChoice, WeightsAndThreatPointsShiftTheChoice) {
    struct Case {
        const char* what;
        std::string w1, w2, t1, t2;
        int         phase;
    } const cases[] = {
        {"equal: the longer queue (phase 2)", "1", "1", "1000", "1000", 2},
        // Phase 1 weighted 3: products (1000)(1000 + 6) against (1000 + 3 x
        // 3)(1000): the weighted phase-1 queue wins.
        {"phase 1 weighted 3", "3", "1", "1000", "1000", 1},
    };
    for (const auto& c : cases) {
        NbNet n;
        n.signal(1, 60, 0, 2);
        n.approach(1, 1, 1, 1, 10);
        n.approach(2, 1, 2, 1, 10);
        n.read(nb_file({record(1, 1, {1, 2}, {1, 1}, {c.t1, c.t2}, {c.w1, c.w2}, "10", "1")}));
        n.stand(1, 1, 2); // R1 0, R2 3
        n.stand(2, 1, 5); // R1 0, R2 6
        EXPECT_EQ(n.decide_at(1, 100), c.phase) << c.what;
    }
}

// --- the wait limit -------------------------------------------------------------

TEST(QueueRewardWaits, AQueuePassedOverFiveTimesIsServedAndItsCountRestarts) {
    struct Case {
        const char*      what;
        int              q;
        std::vector<int> served; // decisions 1, 2, ...
    } const cases[] = {
        {"one phase passed over", 2, {1, 1, 1, 1, 2, 1, 1, 1, 1, 2, 1}},
        // Phases 2 and 3 reach the limit at one decision: 2 is served there,
        // 3 at the next, and neither is passed over for good.
        {"two phases passed over together", 3, {1, 1, 1, 1, 2, 3, 1, 1, 1, 2, 3}},
    };
    for (const auto& c : cases) {
        NbNet n;
        n.signal(1, 60, 0, c.q);
        std::vector<int>         det, lanes;
        std::vector<std::string> thr, wgt;
        for (int p = 1; p <= c.q; ++p) {
            n.approach(p, 1, p, 1, 10);
            det.push_back(p);
            lanes.push_back(1);
            thr.push_back("1000");
            wgt.push_back("1");
        }
        n.read(nb_file({record(1, 1, det, lanes, thr, wgt, "10", "1")}));
        ASSERT_EQ(n.s.nbsig.nnbsig, 1) << n.log();
        n.stand(1, 1, 10);
        for (int p = 2; p <= c.q; ++p) n.stand(p, 1, 1);
        std::vector<int> served;
        for (int k = 0; k < static_cast<int>(c.served.size()); ++k)
            served.push_back(n.decide_at(1, 100 * k));
        EXPECT_EQ(served, c.served) << c.what;
    }
}

TEST(QueueRewardWaits, AnEmptyLastLinkClearsTheCount) {
    NbNet n;
    n.signal(1, 60, 0, 2);
    n.approach(1, 1, 1, 1, 10);
    n.approach(2, 1, 2, 1, 10);
    n.read(nb_file({record(1, 1, {1, 2}, {1, 1}, {"1000", "1000"}, {"1", "1"}, "10", "1")}));
    n.stand(1, 1, 10);
    n.stand(2, 1, 1);
    for (int k = 0; k < 4; ++k) ASSERT_EQ(n.decide_at(1, 100 * k), 1);
    // The phase-2 vehicle moves off before the fifth decision: no wait.
    n.s.vehplot.spd(n.cars, 4) = kMoving;
    EXPECT_EQ(n.decide_at(1, 400), 1);
    n.s.vehplot.spd(n.cars, 4) = kStopped;
    for (int k = 5; k < 9; ++k) EXPECT_EQ(n.decide_at(1, 100 * k), 1) << "decision " << k + 1;
    EXPECT_EQ(n.decide_at(1, 900), 2);
}

// --- the phase times written ------------------------------------------------------

TEST(QueueRewardTimes, TheChosenPhaseIsGreenFromNowForOneInterval) {
    using Times = std::vector<std::array<float, 3>>; // phases 1..3
    struct Case {
        const char* what;
        float       offset;
        std::string invl;
        int         t10;
        Times       times;
        bool        shown; // the indications show phase 2 green at that tick
    } const cases[] = {
        // The first decision: no phase of the plan is running, phase 2 green
        // at once; phases that have not run this cycle wait at its end.
        {"within the cycle", 0, "10", 100, {{60, 60, 60}, {10, 20, 24}, {60, 60, 60}}, true},
        {"at the cycle start", 0, "10", 600, {{60, 60, 60}, {0, 10, 14}, {60, 60, 60}}, true},
        // The plan's phases that ran earlier in this cycle keep their windows.
        {"past the cycle end: cut there",
         0,
         "25",
         500,
         {{0, 10, 14}, {50, 60, 60}, {28, 38, 42}},
         true},
        // Local time -30 s is cycle position 30 s, as the indications see it.
        {"before the offset has elapsed",
         30,
         "10",
         0,
         {{0, 10, 14}, {30, 40, 44}, {60, 60, 60}},
         true},
    };
    for (const auto& c : cases) {
        NbNet n;
        n.signal(1, 60, c.offset, 3);
        for (int p = 1; p <= 3; ++p) n.approach(p, 1, p, 1, 10);
        n.read(nb_file({record(1, 1, {1, 2, 3}, {1, 1, 1}, {"1000", "1000", "1000"},
                               {"1", "1", "1"}, c.invl, "1")}));
        ASSERT_EQ(n.s.nbsig.nnbsig, 1) << n.log();
        n.stand(2, 1, 6);
        n.s.control.t10 = c.t10;
        fun_nbsig(n.s, c.t10);
        for (int p = 1; p <= 3; ++p)
            for (int i = 1; i <= 3; ++i) {
                const float want =
                    c.times[static_cast<std::size_t>(p - 1)][static_cast<std::size_t>(i - 1)];
                EXPECT_FLOAT_EQ(n.s.signal.phstr(1, p, i), want)
                    << c.what << " phase " << p << "," << i;
                EXPECT_FLOAT_EQ(n.s.signal.phend(1, p, i), want)
                    << c.what << " phase " << p << "," << i;
            }
        setsignal1(n.s);
        if (c.shown) {
            EXPECT_EQ(n.s.signal.sigstat(1, 1), 2) << c.what;
            EXPECT_EQ(n.s.signal.sigstat(1, 2), kSignalGreen) << c.what;
        }
    }
}

TEST(QueueRewardTimes, PhasesBeyondTheScoredOnesKeepTheirTimes) {
    NbNet n;
    n.signal(1, 60, 0, 3);
    n.approach(1, 1, 1, 1, 10);
    n.approach(2, 1, 2, 1, 10);
    n.read(nb_file({record(1, 1, {1, 2}, {1, 1}, {"1000", "1000"}, {"1", "1"}, "10", "1")}));
    n.stand(2, 1, 4);
    fun_nbsig(n.s, 100);
    EXPECT_FLOAT_EQ(n.s.signal.phstr(1, 2, 1), 10.0f);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_FLOAT_EQ(n.s.signal.phstr(1, 3, i), i == 1 ? 28.0f : i == 2 ? 38.0f : 42.0f);
        EXPECT_FLOAT_EQ(n.s.signal.phend(1, 3, i), n.s.signal.phstr(1, 3, i));
    }
}

// --- the file ------------------------------------------------------------------

// Signal 1 (links 1, 2) and signal 2 (links 5, 6), both two-phase; link 1 also
// discharges left turns only in phase 2 (a negative phase slot).
struct TwoSignals : NbNet {
    TwoSignals() {
        signal(1, 60, 0, 2);
        signal(2, 60, 0, 2);
        approach(1, 1, 1, 3);
        s.link3.phase(1, 2, 1) = -2;
        s.link3.phase(1, 2, 2) = 100;
        approach(2, 1, 2, 1, 10);
        approach(5, 2, 1, 2);
        approach(6, 2, 2, 1);
    }
};

const std::string kRecord1 = record(1, 1, {1, 2}, {2, 1}, {"1000", "900"}, {"1", "2"}, "10", "2");

TEST(QueueRewardFile, ARecordFillsTheTablesOfItsSignal) {
    TwoSignals n;
    n.read(
        nb_file({kRecord1, record(2, 2, {6, 5}, {1, 2}, {"1000", "1000"}, {"1", "1"}, "15", "1")}));
    const auto& nb = n.s.nbsig;
    ASSERT_EQ(nb.nnbsig, 2) << n.log();
    EXPECT_EQ(nb.fmt_nbsig, 1);
    EXPECT_EQ(nb.nbsig_num(1), 1);
    EXPECT_EQ(nb.nbsig_num(2), 2);
    EXPECT_EQ(nb.nbsig_flag(1), 1);
    EXPECT_EQ(nb.nnb_lnk(1), 2);
    EXPECT_EQ(nb.nnb_phs(1), 2);
    EXPECT_EQ(nb.sig_det(1, 2), 2);
    EXPECT_EQ(nb.sig_lan(1, 1), 2);
    EXPECT_EQ(nb.sig_lnk(1, 2), 2);
    EXPECT_EQ(nb.lnk_ord(2), 2);
    EXPECT_EQ(nb.lnk_ord(6), 1);
    EXPECT_FLOAT_EQ(nb.nb_threat(1, 2), 900.0f);
    EXPECT_FLOAT_EQ(nb.nbsig_wgt(1, 2), 2.0f);
    EXPECT_FLOAT_EQ(nb.nbsig_invl(2), 15.0f);
    EXPECT_FLOAT_EQ(nb.phprior(1), 2.0f);
    // Phase 1: link 1 (left and through); phase 2: link 1's left turns, then
    // link 2 (through only).
    EXPECT_EQ(nb.tnbsig(1, 1, 1), 1);
    EXPECT_EQ(nb.tnbsig(1, 1, 2), 1);
    EXPECT_EQ(nb.mnbsig(1, 1, 1), kNbLeftThrough);
    EXPECT_EQ(nb.tnbsig(1, 2, 1), 2);
    EXPECT_EQ(nb.tnbsig(1, 2, 2), 1);
    EXPECT_EQ(nb.mnbsig(1, 2, 1), kNbLeft);
    EXPECT_EQ(nb.tnbsig(1, 2, 3), 2);
    EXPECT_EQ(nb.mnbsig(1, 2, 2), kNbThrough);
    // Signal 2's phase 1 lists link 5, its second approach.
    EXPECT_EQ(nb.tnbsig(2, 1, 1), 1);
    EXPECT_EQ(nb.tnbsig(2, 1, 2), 5);
    EXPECT_TRUE(n.s.units.exists("output/NB_output_Code.txt"));
    EXPECT_EQ(n.s.units.file_text("output/NB_output_Code.txt"), "");
    EXPECT_EQ(n.log().find("Error"), std::string::npos) << n.log();
}

TEST(QueueRewardFile, NoFileLeavesTheControlOff) {
    TwoSignals n;
    rd_nbsig(n.s);
    EXPECT_EQ(n.s.nbsig.fmt_nbsig, 0);
    EXPECT_EQ(n.s.nbsig.nnbsig, 0);
    EXPECT_FALSE(n.s.units.exists("output/NB_output_Code.txt"));
    EXPECT_EQ(n.log(), "");
}

// A left-turn queue on link 1 counts for phase 2, whose slot on the link is
// negative: phase 2 (6 standing in the left lane) is served before phase 1 (2
// standing in a through lane).
TEST(QueueRewardFile, ALeftTurnOnlySlotServesItsPhase) {
    TwoSignals n;
    n.s.link3.phase(1, 1, 2) = 10; // phase 1: through only
    n.read(nb_file({record(1, 1, {1, 2}, {2, 1}, {"1000", "1000"}, {"1", "1"}, "10", "1")}));
    n.stand(1, 3, 6); // left-turn lane of link 1
    n.stand(1, 1, 2); // through lane of link 1
    EXPECT_EQ(n.decide_at(1, 100), 2);
}

TEST(QueueRewardFile, ABadRecordStopsTheReaderAndTheRecordsBeforeItRun) {
    struct Case {
        const char*                 what;
        std::string                 second; // the second record's text
        int                         code;
        int                         line;
        std::function<void(NbNet&)> setup = {};
    } const cases[] = {
        {"not a number", "2 2 2 5 x 2 1\n2 1000 1000 1 1 10 1\n", 611010, 5},
        {"the file ends", "2 2 2 5 6 2 1\n2 1000 1000 1 1 10\n", 611010, 6},
        {"a record cut short", "2 2 2 5 6 /\n", 611010, 5},
        {"record number out of order", "3 2 2 5 6 2 1\n2 1000 1000 1 1 10 1\n", 611030, 5},
        {"signal not coded in the plan", "2 3 2 5 6 2 1\n2 1000 1000 1 1 10 1\n", 611040, 5},
        {"signal coded, but not in the plan in force", "2 2 2 5 6 2 1\n2 1000 1000 1 1 10 1\n",
         611040, 5, [](NbNet& n) { n.s.signal.cycle(2) = -1; }},
        {"signal listed twice", "2 1 2 5 6 2 1\n2 1000 1000 1 1 10 1\n", 611040, 5},
        {"five approaches", "2 2 5 5 6 5 6 5 1 1 1 1 1\n2 1000 1000 1 1 10 1\n", 611050, 5},
        {"no approach", "2 2 0\n2 1000 1000 1 1 10 1\n", 611050, 5},
        {"station not defined", "2 2 2 5 9 2 1\n2 1000 1000 1 1 10 1\n", 611050, 5},
        {"station inactive", "2 2 2 5 6 2 1\n2 1000 1000 1 1 10 1\n", 611050, 5,
         [](NbNet& n) { n.s.detloc.dettyp(6) = 0; }},
        {"station on a link of another signal", "2 2 2 5 2 2 1\n2 1000 1000 1 1 10 1\n", 611050, 5},
        {"two stations on one link", "2 2 2 5 6 2 1\n2 1000 1000 1 1 10 1\n", 611050, 5,
         [](NbNet& n) { n.s.detloc.detlink(6) = 5; }},
        {"more through lanes than the link has", "2 2 2 5 6 3 1\n2 1000 1000 1 1 10 1\n", 611050,
         5},
        {"seven phases", "2 2 2 5 6 2 1\n7 1000 1000 1000 1000 1000 1000 1000\n", 611060, 6},
        {"more phases than the plan runs", "2 2 2 5 6 2 1\n3 1000 1000 1000 1 1 1 10 1\n", 611060,
         6},
        {"priority phase outside the phases", "2 2 2 5 6 2 1\n2 1000 1000 1 1 10 3\n", 611060, 6},
        {"threat point 0", "2 2 2 5 6 2 1\n2 1000 0 1 1 10 1\n", 611070, 6},
        {"negative weight", "2 2 2 5 6 2 1\n2 1000 1000 1 -1 10 1\n", 611070, 6},
        {"five links in one phase", "2 2 2 5 6 2 1\n2 1000 1000 1 1 10 1\n", 611080, 6,
         [](NbNet& n) {
             for (int k = 1; k <= 4; ++k) n.s.link3.phase(5, k, 1) = 1;
             n.s.link3.phase(6, 1, 1) = 1;
         }},
    };
    for (const auto& c : cases) {
        TwoSignals n;
        if (c.setup) c.setup(n);
        n.read(nb_file({kRecord1, c.second}));
        const auto& nb = n.s.nbsig;
        EXPECT_EQ(nb.nnbsig, 1) << c.what;
        EXPECT_EQ(nb.fmt_nbsig, 1) << c.what;
        EXPECT_EQ(nb.nbsig_flag(2), 0) << c.what;
        EXPECT_THAT(n.log(),
                    HasSubstr(free_line("input_NBsig.dat Error", c.code, "at line", c.line)))
            << c.what << "\n"
            << n.log();
        EXPECT_THAT(n.summary(), HasSubstr("input_NBsig.dat stopped at line")) << c.what;
        // Signal 1 runs, signal 2 is never decided.
        EXPECT_NE(n.decide_at(1, 100), 0) << c.what;
        EXPECT_EQ(n.decide_at(2, 200), 0) << c.what;
    }
}

TEST(QueueRewardFile, AHeaderOutsideTheTablesTakesNoRecord) {
    struct Case {
        const char* what;
        std::string file;
        int         code;
        int         fmt;
    } const cases[] = {
        {"more records than signals", nb_file({kRecord1}, "501"), 611020, 1},
        {"a negative count", nb_file({kRecord1}, "-2"), 611020, 1},
        {"no header", "title only\n", 611010, 0},
        {"an empty file", "", 611010, 0},
    };
    for (const auto& c : cases) {
        TwoSignals n;
        n.read(c.file);
        EXPECT_EQ(n.s.nbsig.nnbsig, 0) << c.what;
        EXPECT_EQ(n.s.nbsig.fmt_nbsig, c.fmt) << c.what;
        EXPECT_THAT(n.log(), HasSubstr(free_line("input_NBsig.dat Error", c.code))) << c.what;
        EXPECT_EQ(n.decide_at(1, 100), 0) << c.what;
    }
}

} // namespace
} // namespace velm
