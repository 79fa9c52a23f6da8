// The link and turn listings: the periodic link records and their period
// rules, what a listing clears and what it keeps, the turning-movement flow
// and time lines, the run's turning movements and the link travel-time report
// of the run and of an assignment slice.
#include "core/model/codes.h"
#include "core/reports/reports.h"

#include "support/memory_run.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

using support::lines_of;
using support::MemoryRun;

const std::string kTitle = "Listing test network";

// Three links: 1 listed (0.5 km, 2 lanes of 1800 veh/h, 30 s free flow), 2
// coded but not listed, 3 not coded.
class Listings : public ::testing::Test {
  protected:
    void SetUp() override {
        s.filenam.mastitle = kTitle;
        s.trees.np_ot2 = 13;
        s.link2.nlinks = 2;
        s.link2.mlnum = 3;
        s.link4.llength(1) = 0.5f;
        s.link1.nulans(1) = 2;
        s.link4.lanesat(1) = 1800.0f;
        s.delay.fretim(1) = 30.0f;
        s.link4.io12(1) = 1;
        s.link4.llength(2) = 0.25f;
        s.delay.fretim(2) = 15.0f;
        s.link4.io12(3) = 1;
    }
    std::vector<std::string> lines(const char* name) const {
        return lines_of(s.units.file_text(name));
    }
    // Class counters of link 1 in detper rows first .. first + 2 (1 the
    // period's, 4 the run's): class 1 ten vehicles, 46 s and 2.50 in tolls,
    // class 2 two vehicles and 24 s.
    void class_counts(int first) {
        auto& dp = s.link1.detper;
        dp(1, first, 1) = 10;
        dp(1, first + 1, 1) = 460;
        dp(1, first + 2, 1) = 250;
        dp(1, first, 2) = 2;
        dp(1, first + 1, 2) = 240;
    }
    // The period figures of link 1 behind the hand-written records below.
    void period_figures() {
        class_counts(1);
        s.link1.stop(1, 2) = 6.0f;
        s.link2.ttqu(1, 2) = 1500;
        s.link2.totque(1, 2) = 300;
        const float vsp[] = {1234.5f, 2.0f, 0.125f, 0.25f, 0.5f, 1.0f, 2.0f, 4.0f};
        for (int k = 1; k <= 8; ++k) s.kzcpxm_energy.vsp_param_avr(1, k) = vsp[k - 1];
        s.kzcpxm_energy.vsp_update_cnt(1) = 7;
        for (int k = 1; k <= 6; ++k) s.link1.emis(1, k, 2) = static_cast<float>(k) - 0.5f;
        s.accid.linkacc(1, 1, 1) = 0.3f;
        s.accid.linkacc(1, 1, 2) = 0.2f;
        s.accid.linkacc(1, 1, 3) = 0.1f;
    }
    MemoryRun run;
    Sim&      s = run.s;
};

// A record written by hand from the layout: link I8, length F9.3, capacity,
// total and class flows 7I8, free-flow, mean and class times 7F9.1, tolls
// 5F12.2, mean vehicles, queue and stops 3F12.1, power sums 2F20.1 and
// 6F16.3, emissions 6F12.3, crash exposure 6F12.1.
const std::string kFlowRecord =
    "       1    0.500    3600     144     120      24       0       0       0"
    "     30.0      5.8      4.6     12.0     30.0     30.0     30.0"
    "        0.25        0.00        0.00        0.00        0.00"
    "         5.0         1.0         0.5"
    "              1234.5                 2.0"
    "           0.125           0.250           0.500           1.000           2.000           "
    "4.000"
    "       0.500       1.500       2.500       3.500       4.500       5.500"
    "         0.3         0.2         0.1         0.0         0.0         0.0";

TEST_F(Listings, PeriodicLinkRecordFollowsTheLayout) {
    s.units.open_write(kFlowListSlot, "flow.u12");
    pflow(s, 0, 300);
    period_figures();
    pflow(s, 300, 300);
    const auto l = lines("flow.u12");
    ASSERT_EQ(l.size(), 6u);
    EXPECT_EQ(l[0], kTitle + std::string(300 - kTitle.size(), ' '));
    EXPECT_EQ(l[1], "    13   300     2     3");
    EXPECT_EQ(l[2], "      0      1");
    // At time 0 nothing was counted: every class shows the free-flow time.
    EXPECT_EQ(l[3].substr(0, 17 + 7 * 8 + 7 * 9),
              "       1    0.500    3600       0       0       0       0       0       0"
              "     30.0     30.0     30.0     30.0     30.0     30.0     30.0");
    EXPECT_EQ(l[4], "    300      2");
    EXPECT_EQ(l[5], kFlowRecord);
}

TEST_F(Listings, ClassTimesAndStopsAreCapped) {
    s.units.open_write(kFlowListSlot, "flow.u12");
    s.link1.detper(1, 1, 1) = 1;
    s.link1.detper(1, 2, 1) = 200000; // 20000 s
    s.link1.stop(1, 2) = 150.0f;
    pflow(s, 300, 300);
    const auto l = lines("flow.u12");
    ASSERT_EQ(l.size(), 2u);
    // Mean time (uncapped), then class 1 at 9999.0; stops per vehicle at 99.
    EXPECT_EQ(l[1].substr(17 + 7 * 8 + 9, 18), "  20000.0   9999.0");
    EXPECT_EQ(l[1].substr(17 + 7 * 8 + 7 * 9 + 5 * 12 + 24, 12), "        99.0");
}

TEST_F(Listings, PeriodIndexFollowsTheSignOfTheRate) {
    const struct {
        int                      pd;
        std::vector<std::string> blocks; // block lines at t = 0, 300, 600
    } cases[] = {
        {300, {"      0      1", "    300      2", "    600      3"}},
        {-300, {"    300      1", "    600      2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pd);
        MemoryRun r;
        r.s.link2.mlnum = 0;
        r.s.trees.np_ot2 = 12;
        r.s.units.open_write(kFlowListSlot, "flow.u12");
        for (int t : {0, 300, 600}) pflow(r.s, t, c.pd);
        auto l = lines_of(r.s.units.file_text("flow.u12"));
        ASSERT_GE(l.size(), 2u);
        EXPECT_EQ(l[1], "    12" + std::string(c.pd > 0 ? "   300" : "  -300") + "     0     0");
        l.erase(l.begin(), l.begin() + 2);
        EXPECT_EQ(l, c.blocks);
    }
}

TEST_F(Listings, LinkListingClearsThePeriodAccumulatorsOfListedLinksOnly) {
    period_figures();
    for (int k = 1; k <= 6; ++k) s.link1.detper(2, k, 1) = 4; // link 2 is not listed
    s.link1.detper(1, 4, 1) = 9;                              // run totals stay
    s.link1.emis(1, 1, 1) = 8.0f;
    // First without the slot (nothing listed, so everything keeps growing),
    // then with it.
    for (const bool open : {false, true}) {
        SCOPED_TRACE(open ? "slot 12 in use" : "slot 12 closed");
        if (open) s.units.open_write(kFlowListSlot, "flow.u12");
        pflow(s, 300, 300);
        const bool kept = !open;
        for (int k = 1; k <= 3; ++k) {
            EXPECT_EQ(s.link1.detper(1, k, 1) != 0, kept) << k;
            EXPECT_EQ(s.link1.detper(1, k, 2) != 0, kept && k < 3) << k;
            EXPECT_EQ(s.link1.detper(2, k, 1), 4) << k;
        }
        EXPECT_EQ(s.link1.detper(1, 4, 1), 9);
        EXPECT_EQ(s.link1.stop(1, 2) != 0.0f, kept);
        EXPECT_EQ(s.link2.ttqu(1, 2) != 0, kept);
        EXPECT_EQ(s.link2.totque(1, 2) != 0, kept);
        for (int k = 1; k <= 6; ++k) EXPECT_EQ(s.link1.emis(1, k, 2) != 0.0f, kept) << k;
        EXPECT_EQ(s.link1.emis(1, 1, 1), 8.0f);
        for (int k = 1; k <= 3; ++k) EXPECT_EQ(s.accid.linkacc(1, 1, k) != 0.0f, kept) << k;
        for (int k = 1; k <= 8; ++k)
            EXPECT_EQ(s.kzcpxm_energy.vsp_param_avr(1, k) != 0.0f, kept) << k;
        EXPECT_EQ(s.kzcpxm_energy.vsp_update_cnt(1) != 0, kept);
    }
}

TEST_F(Listings, TurnLinesGiveHourlyFlowsAndWholeSecondTimes) {
    s.delay.fretim(1) = 30.7f;
    auto& tc = s.link5.turncnt;
    tc(1, 1, 1, 1) = 1; // left
    tc(1, 1, 1, 2) = 155;
    tc(1, 2, 1, 1) = 3; // through
    tc(1, 2, 1, 2) = 1000;
    tc(1, 4, 1, 1) = 4; // all directions
    tc(1, 4, 1, 2) = 1200;
    tc(1, 4, 1, 5) = 40; // the run's count stays
    s.units.open_write(kTurnSlot, "turn.u25");
    pturn(s, 300, 300);
    const auto        l = lines("turn.u25");
    const std::string quiet_flows = "         0     0     0     0";
    const std::string quiet_times = "        30    30    30    30";
    ASSERT_EQ(l.size(), 4u); // links 1 and 2, two lines each
    EXPECT_EQ(l[0], "   300     1     1        12    36     0    48" + quiet_flows + quiet_flows +
                        quiet_flows + quiet_flows);
    EXPECT_EQ(l[1], "   300     1     2        15    33    30    30" + quiet_times + quiet_times +
                        quiet_times + quiet_times);
    EXPECT_EQ(l[3].substr(0, 28), "   300     2     2        15");
    for (int dir = 1; dir <= 4; ++dir) {
        EXPECT_EQ(tc(1, dir, 1, 1), 0);
        EXPECT_EQ(tc(1, dir, 1, 2), 0);
    }
    EXPECT_EQ(tc(1, 4, 1, 5), 40);
}

TEST_F(Listings, RunTurningMovementsAreHourlyExceptAtTimeZero) {
    const int counts[] = {10, 20, 5, 35};
    for (int dir = 1; dir <= 4; ++dir) s.link5.turncnt(1, dir, 1, 5) = counts[dir - 1];
    const std::string quiet = "      0    0    0    0";
    const struct {
        int         t;
        std::string line1;
    } cases[] = {{1800, "    1     20   40   10   70"}, {0, "    1     10   20    5   35"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.t);
        s.units.open_write(kLinkTimesSlot, "run.u11");
        turnsum(s, c.t, 3);
        const auto l = lines("run.u11");
        ASSERT_EQ(l.size(), 4u); // links 1 and 2
        EXPECT_EQ(l[0], " Turning movements by dir and veh class");
        EXPECT_EQ(l[1], fmt_i(c.t, 6) + "     3");
        EXPECT_EQ(l[2], c.line1 + quiet + quiet + quiet + quiet);
        EXPECT_EQ(l[3].substr(0, 5), "    2");
    }
}

// Link travel-time records: link I5, length F6.3, 7I6 flows, 7F7.1 times,
// 5F7.2 tolls, 3F6.1, then 6F10.3 and 6F9.1.
TEST_F(Listings, RunLinkTimesHaveNoHeadingAndHourlyFlows) {
    class_counts(4);
    s.link1.detper(1, 1, 1) = 99; // the period's counters are not the run's
    s.link1.stop(1, 1) = 6.0f;
    s.link2.ttqu(1, 1) = 3000;
    s.link2.totque(1, 1) = 600;
    for (int k = 1; k <= 6; ++k) s.link1.emis(1, k, 1) = static_cast<float>(k) - 0.5f;
    s.link1.emis(1, 5, 1) = 1490000.0f; // g of CO2 of a busy link over an hour
    s.accid.linkacc(1, 2, 1) = 0.3f;
    s.accid.linkacc(1, 2, 2) = 0.2f;
    s.accid.linkacc(1, 2, 3) = 0.1f;
    s.units.open_write(kLinkTimesSlot, "run.u11");
    linktime(s, kLinkTimesSlot, 600, 600, 0);
    const auto l = lines("run.u11");
    ASSERT_EQ(l.size(), 2u);
    EXPECT_EQ(l[0], "    600      1");
    EXPECT_EQ(l[1], "    1 0.500  3600    72    60    12     0     0     0"
                    "   30.0    5.8    4.6   12.0   30.0   30.0   30.0"
                    "   0.25   0.00   0.00   0.00   0.00"
                    "   5.0   1.0   0.5"
                    "     0.500     1.500     2.500     3.500   1490000.000     5.500"
                    "      0.3      0.2      0.1      0.0      0.0      0.0");
}

TEST_F(Listings, AssignedLinkTimesEndInTwelveZeros) {
    auto& a = s.assigns;
    a.tflow(1, 1) = 100.6f;
    a.tflow(1, 2) = 20.7f;
    a.ttime(1, 1) = 40.0f;
    a.ttime(1, 2) = 50.0f;
    a.tolls(1, 1) = 1.5f;
    s.link1.emis(1, 1, 1) = 9.0f; // measured figures stay out of assignment blocks
    s.accid.linkacc(1, 2, 1) = 9.0f;
    s.units.open_write(17, "assign.u17");
    linktime(s, 17, 0, 900, 1);
    const auto l = lines("assign.u17");
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[0], kTitle + std::string(300 - kTitle.size(), ' '));
    EXPECT_EQ(l[1], "     1   900     2     3");
    EXPECT_EQ(l[2], "      0      0");
    // Flows as assigned (no hourly factor); the total truncated as it grows,
    // the mean time over the flows as assigned: 5059 / 121.3 = 41.7 s.
    EXPECT_EQ(l[3], "    1 0.500  3600   120   100    20     0     0     0"
                    "   30.0   41.7   40.0   50.0    0.0    0.0    0.0"
                    "   1.50   0.00   0.00   0.00   0.00"
                    "   0.0   0.0   0.0"
                    "     0.000     0.000     0.000     0.000         0.000     0.000"
                    "      0.0      0.0      0.0      0.0      0.0      0.0");
}

TEST_F(Listings, LinkTimesOfARunWithoutLengthPrintCounts) {
    s.link1.detper(1, 4, 1) = 3;
    s.units.open_write(kLinkTimesSlot, "run.u11");
    linktime(s, kLinkTimesSlot, 0, 0, 0);
    const auto l = lines("run.u11");
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[1], "     1     0     2     3");
    EXPECT_EQ(l[2], "      0      0");
    EXPECT_EQ(l[3].substr(0, 29), "    1 0.500  3600     3     3");
    EXPECT_EQ(l[3].substr(29 + 4 * 6 + 7 * 7 + 5 * 7, 18), "   0.0   0.0   0.0");
}

} // namespace
} // namespace velm
