// The ramp-meter file: what a run takes from it (meters, corrected rates,
// thresholds and periods, the meter table) and how a faulty or missing file
// stops the run before the loop with its lines and codes.
#include "core/control/control.h"
#include "core/io/writers.h"
#include "support/memory_run.h"

#include "support/text.h"
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

using support::contains;
using support::count_of;
using support::has_line;

constexpr int kRamp = 4;     // 0.4 km, two lanes, 1800 veh/h/lane
constexpr int kMain = 5;     // 1.0 km, three lanes
constexpr int kNoLength = 6; // a link number the network does not code
constexpr int kLost = 9;     // a station whose link is not coded

struct MeterRun : support::MemoryRun {
    MeterRun() {
        s.link4.llength(kRamp) = 0.4f;
        s.link1.nulans(kRamp) = 2;
        s.link4.lanesat(kRamp) = 1800.0f;
        s.link4.llength(kMain) = 1.0f;
        s.link1.nulans(kMain) = 3;
        s.link4.lanesat(kMain) = 2000.0f;
        s.link4.llength(kNoLength) = -99999.0f;
        for (int d = 1; d <= 8; ++d) s.detloc.detlink(d) = d <= 4 ? kRamp : kMain;
        s.detloc.detlink(kLost) = 0;
    }
    void read(const std::string& text) {
        s.filenam.files(kRampMeterSlot) = "meters.dat";
        s.units.put_file("meters.dat", text);
        rdrmpmtr(s);
    }
};

// A meter file: title, count line, records.
std::string meters(const std::string& count_line, const std::vector<std::string>& records) {
    std::string out = "Test meters\n" + count_line + "\n";
    for (const auto& r : records) out += r + "\n";
    return out;
}

// A record of meter r on the ramp: rates, threshold, then the eight stations.
std::string record(int r, const std::string& rates = "900  300  1200  150",
                   const std::string& stations = "1 2 3 4 5 6 7 8", int link = kRamp,
                   int upst = 0) {
    return std::to_string(r) + "  " + std::to_string(link) + "  1  " + std::to_string(upst) + "  " +
           rates + "  " + stations;
}

const std::string kHeading = free_line("        ") + "\n" + free_line(std::string(45, '-')) + "\n" +
                             free_line(" 23. Ramp metering configuration ") + "\n";
const std::string kNoMeters = free_line("     - No Ramp Metering  file used");

TEST(RampMeterFile, AnUnusedSlotOrAMissingFile) {
    // "none": the heading and one line, no error. A named file that is not
    // there stops the run: it never runs without the meters it was given.
    {
        MeterRun r;
        r.s.rmpmeter.rmptm = 7;
        r.s.filenam.files(kRampMeterSlot) = "none";
        rdrmpmtr(r.s);
        EXPECT_EQ(r.summary(), kHeading + kNoMeters + "\n");
        EXPECT_EQ(r.log(), "");
        EXPECT_EQ(r.s.rmpmeter.nrmpmtr, 0);
        EXPECT_EQ(r.s.rmpmeter.rmptm, 20);
        EXPECT_EQ(r.s.errcount.errt1, 0);
    }
    {
        MeterRun r;
        r.s.filenam.files(kRampMeterSlot) = "absent.dat";
        rdrmpmtr(r.s);
        EXPECT_EQ(r.summary(), kHeading + kNoMeters + "\n");
        EXPECT_TRUE(has_line(r.log(), free_line("ERROR 1020"))) << r.log();
        EXPECT_TRUE(contains(r.log(), "Cannot find file:")) << r.log();
        EXPECT_TRUE(
            has_line(r.log(), free_line("Cannot find file: ", 23, " ", fmt_a("absent.dat", 60))))
            << r.log();
        EXPECT_EQ(r.s.rmpmeter.nrmpmtr, 0);
        EXPECT_GE(r.s.errcount.errt1, 1);
        EXPECT_EQ(r.s.errcount.numerr, 1);
    }
}

TEST(RampMeterFile, ReadsMetersWithTheirTableAndEcho) {
    MeterRun r;
    r.read(meters("2  30", {record(2, "600  200  1000  120", "0 2 3 4 5 6 7 0", kMain, 1),
                            record(1, "900  300  1200  150", "1 2 0 0 5 6 7 8")}));
    const auto& rm = r.s.rmpmeter;
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    EXPECT_EQ(rm.nrmpmtr, 2);
    EXPECT_EQ(rm.rmptm, 30);
    EXPECT_EQ(rm.rmploc(2, 1), kMain);
    EXPECT_EQ(rm.rmploc(2, 2), 1);
    EXPECT_EQ(rm.rmploc(2, 3), 1);
    EXPECT_FLOAT_EQ(rm.rmprat(2, 1), 600.0f);
    EXPECT_FLOAT_EQ(rm.rmprat(2, 2), 200.0f);
    EXPECT_FLOAT_EQ(rm.rmprat(2, 3), 1000.0f);
    EXPECT_FLOAT_EQ(rm.rmprat(2, 4), 1200.0f); // 12 %, written in tenths of a percent
    // Station 0: the input is absent; inputs 9..12 stay 0.
    EXPECT_EQ(rm.rmpdet(2, 1), 0);
    EXPECT_EQ(rm.rmpdet(2, 7), 7);
    EXPECT_EQ(rm.rmpdet(1, 3), 0);
    for (int k = 9; k <= 12; ++k) EXPECT_EQ(rm.rmpdet(1, k), 0);
    const std::string sum = r.summary();
    EXPECT_TRUE(has_line(sum, free_line(" - Ramp Metering  file:", "Test meters"))) << sum;
    EXPECT_TRUE(has_line(sum, free_line("     - Number of ramp meters = ", 2)));
    EXPECT_TRUE(has_line(sum, free_line("     - Optimization frequency= ", 30)));
    EXPECT_TRUE(has_line(sum, "     - Meter:     2 on link     5        mode:      1        "
                              "upst:      1"));
    EXPECT_TRUE(has_line(sum, "   Read in     2 ramp meters "));
    EXPECT_TRUE(has_line(sum, "   Ramp  Link Mode  Start  Min.  Max.  Thshd   Q1   Q2   In  Out "
                              "Upst  Mrg Dwst  Nxt"));
    EXPECT_TRUE(has_line(sum, "     1     4     1    900   300  1200    150    1    2    0    0"
                              "    5    6    7    8"))
        << sum;
    EXPECT_TRUE(has_line(sum, "     2     5     1    600   200  1000    120    0    2    3    4"
                              "    5    6    7    0"))
        << sum;
    EXPECT_FALSE(contains(sum, "No Ramp Metering"));
    EXPECT_TRUE(has_line(r.log(), free_line("     - Reading Ramp Metering File: ", "meters.dat")));
}

// Rates above the saturation flow of the metered link (or negative), the
// threshold outside 5..30 % (written in tenths of a percent, held on the
// 10000 = 100 % scale; 0 takes 15 %) and the control period outside 1..900
// are corrected; the mode is always rule-based.
TEST(RampMeterFile, CorrectionsOfRatesThresholdPeriodAndMode) {
    struct Case {
        const char*              name;
        std::string              count_line, rec;
        int                      column; // rmprat column checked; 0 = the period
        float                    want;
        std::vector<std::string> log;
    };
    const std::string p0a =
        free_line(" - Ramp Meter Optimization Time: ", 0, " (seconds) must be greater than zero");
    const std::string p0b = free_line("   Optimization time set to 20 seconds");
    const std::string p9a =
        free_line(" - Ramp Meter Optimization Time: ", 1000, " (seconds) must be <= 900 ");
    const std::string p9b = free_line("   Optimization time set to 900 seconds");
    const Case        cases[] = {
               {"negative start rate", "1 20", record(1, "-1  300  1200  150"), 1, 3600.0f, {}},
               {"maximum above saturation", "1 20", record(1, "900  300  5000  150"), 3, 3600.0f, {}},
               {"negative minimum", "1 20", record(1, "900  -5  1200  150"), 2, 3600.0f, {}},
               {"rate at saturation", "1 20", record(1, "3600  300  1200  150"), 1, 3600.0f, {}},
               {"threshold 20", "1 20", record(1, "900  300  1200  20"), 4, 500.0f, {}},
               {"threshold 400", "1 20", record(1, "900  300  1200  400"), 4, 3000.0f, {}},
               {"threshold 50", "1 20", record(1, "900  300  1200  50"), 4, 500.0f, {}},
               {"threshold 51", "1 20", record(1, "900  300  1200  51"), 4, 510.0f, {}},
               {"threshold 150", "1 20", record(1, "900  300  1200  150"), 4, 1500.0f, {}},
               {"threshold 300", "1 20", record(1, "900  300  1200  300"), 4, 3000.0f, {}},
               {"threshold 0", "1 20", record(1, "900  300  1200  0"), 4, 1500.0f, {}},
               {"threshold -5", "1 20", record(1, "900  300  1200  -5"), 4, 1500.0f, {}},
               {"period 0", "1 0", record(1), 0, 20.0f, {p0a, p0b}},
               {"period 1000", "1 1000", record(1), 0, 900.0f, {p9a, p9b}},
               {"period 900", "1 900", record(1), 0, 900.0f, {}},
               {"period 1", "1 1", record(1), 0, 1.0f, {}},
    };
    for (const auto& c : cases) {
        MeterRun r;
        r.read(meters(c.count_line, {c.rec}));
        const auto& rm = r.s.rmpmeter;
        ASSERT_EQ(r.s.errcount.errt1, 0) << c.name << "\n" << r.log();
        ASSERT_EQ(rm.nrmpmtr, 1) << c.name;
        const float got = c.column == 0 ? static_cast<float>(rm.rmptm) : rm.rmprat(1, c.column);
        EXPECT_FLOAT_EQ(got, c.want) << c.name;
        for (const auto& l : c.log) EXPECT_TRUE(has_line(r.log(), l)) << c.name << "\n" << r.log();
        if (c.log.empty()) {
            EXPECT_FALSE(contains(r.log(), "Optimization")) << c.name;
        }
    }
    MeterRun r;
    r.read(meters("1 20", {"1  4  7  0  900  300  1200  150  1 2 3 4 5 6 7 8"}));
    EXPECT_EQ(r.s.rmpmeter.rmploc(1, 2), 1);
    EXPECT_TRUE(has_line(r.summary(), "     - Meter:     1 on link     4        mode:      7   "
                                      "     upst:      0"));
}

// A meter as read from the file, fed steady smoothed inputs for ten minutes of
// control steps: in light traffic (5 % on the main line, a reading a freeway
// lane shows at about 1000 veh/h) it rises to its maximum rate and rests
// there in green; once the main line passes the threshold it falls to its
// minimum.
TEST(RampMeterFile, TheThresholdSeparatesFreeFlowFromCongestion) {
    struct Case {
        const char* name;
        const char* threshold;
        float       main_occ; // 10000 = 100 %
        float       ramp_vol; // veh/h at the ramp stations
        float       want;     // rate after ten minutes
        int         green;    // ticks of the next 600; -1: under 100
    };
    const Case cases[] = {
        {"free flow, threshold 15 %", "150", 500.0f, 300.0f, 1200.0f, 600},
        {"free flow, threshold 0 takes 15 %", "0", 500.0f, 300.0f, 1200.0f, 600},
        {"free flow, threshold 2 % raised to 5 %", "20", 240.0f, 300.0f, 1200.0f, 600},
        // More arrive than the maximum lets go: it keeps cycling, 3-s cycles
        // with 1.5 s of green.
        {"free flow, ramp above the maximum", "150", 500.0f, 1500.0f, 1200.0f, 320},
        {"congested, threshold 15 %", "150", 2500.0f, 300.0f, 300.0f, -1},
        {"congested, threshold 40 % cut to 30 %", "400", 3200.0f, 300.0f, 300.0f, -1},
    };
    for (const auto& c : cases) {
        MeterRun r;
        r.read(meters("1 20", {record(1, std::string("900  300  1200  ") + c.threshold)}));
        ASSERT_EQ(r.s.errcount.errt1, 0) << c.name << "\n" << r.log();
        auto& rm = r.s.rmpmeter;
        for (int k = 1; k <= 8; ++k) {
            const bool main_line = k >= kUpst;
            rm.rmpflw(1, k, 1) = main_line ? 3000.0f : c.ramp_vol;
            rm.rmpflw(1, k, 2) = main_line ? 95.0f : 40.0f;
            rm.rmpflw(1, k, 3) = main_line ? c.main_occ : 200.0f;
        }
        std::vector<float> rates;
        for (int t = 20; t <= 600; t += 20) {
            comprmp1(r.s, t);
            rates.push_back(rm.rmprat(1, kRateInForce));
        }
        EXPECT_NEAR(rates.back(), c.want, 1.0f) << c.name;
        // It reaches that rate within the first five minutes and stays there.
        for (std::size_t i = 15; i < rates.size(); ++i)
            EXPECT_NEAR(rates[i], c.want, 1.0f) << c.name << " step " << i;
        // At its maximum in free flow, with fewer arrivals than that, it
        // rests in green and stops no one; in congestion it shows red for
        // most of each cycle.
        updatrmp(r.s, 0);
        int green = 0;
        for (int t10 = 1; t10 <= 600; ++t10) {
            setrmpmet(r.s, t10);
            green += rm.rmpset(kRamp) == kMeterGreen ? 1 : 0;
        }
        if (c.green >= 0)
            EXPECT_EQ(green, c.green) << c.name;
        else
            EXPECT_LT(green, 100) << c.name;
    }
}

// Every fault is fatal once (errt1 1), leaves no meter, names the line where
// reading stopped and ends the section with the no-metering line; faults of
// the meter number and the link also count in numerr.
TEST(RampMeterFile, FaultsGiveTheirLinesAndStopTheRun) {
    const std::string bad = free_line(" Error reading ramp metering file ");
    const std::string bad2 = free_line(" Error reading ramp metering file");
    struct Case {
        const char*              name;
        std::string              text;
        int                      line;   // of the error exit
        int                      numerr; // counted
        std::vector<std::string> log;
    };
    const auto station_lines = [&](int k, int d) {
        return std::vector<std::string>{
            bad2, free_line(" Ramp meter number ", 1),
            free_line(" Detector input ", k, " is station # ", d,
                      " which is not associated with a valid link"),
            free_line(" Ensure the detector file is provided and", " correct")};
    };
    const Case cases[] = {
        {"3 announced, 2 given", meters("3 20", {record(1), record(2)}), 5, 0, {}},
        {"meter 0",
         meters("2 20", {record(1), record(0)}),
         4,
         1,
         {bad, " Line:    4 Ramp meter number    0 in field 1 is invalid"}},
        {"meter 451",
         meters("1 20", {record(451)}),
         3,
         1,
         {bad, " Line:    3 Ramp meter number  451 in field 1 is invalid"}},
        {"meter -0.5",
         meters("1 20", {"-0.5  4 1 0 900 300 1200 150 1 2 3 4 5 6 7 8"}),
         3,
         1,
         {bad, " Line:    3 Ramp meter number    0 in field 1 is invalid"}},
        {"meter 1.5", meters("1 20", {"1.5  4 1 0 900 300 1200 150 1 2 3 4 5 6 7 8"}), 3, 0, {}},
        {"link 0",
         meters("1 20", {record(1, "900 300 1200 150", "1 2 3 4 5 6 7 8", 0)}),
         3,
         1,
         {bad, " Line:    3 Link number    0 in field 2 is invalid"}},
        {"link 4488",
         meters("1 20", {record(1, "900 300 1200 150", "1 2 3 4 5 6 7 8", 4488)}),
         3,
         1,
         {bad, " Line:    3 Link number 4488 in field 2 is invalid"}},
        {"link without length",
         meters("1 20", {record(1, "900 300 1200 150", "1 2 3 4 5 6 7 8", kNoLength)}),
         3,
         1,
         {bad2, " Line:    3 Link number specified for ramp    1 does not exist in the link file"}},
        {"station on no link", meters("1 20", {record(1, "900 300 1200 150", "1 2 9 4 5 6 7 8")}),
         3, 0, station_lines(3, kLost)},
        {"station above 3600",
         meters("1 20", {record(1, "900 300 1200 150", "1 2 3 4 5 6 7 3601")}), 3, 0,
         station_lines(8, 3601)},
        {"negative station", meters("1 20", {record(1, "900 300 1200 150", "-2 2 3 4 5 6 7 8")}), 3,
         0, station_lines(1, -2)},
        {"record cut short", meters("1 20", {"1  4  1  0  900  300"}), 3, 0, {}},
        {"no title", "", 1, 0, {}},
        {"bad count line", "Test meters\ntwo 20\n", 2, 0, {}},
    };
    for (const auto& c : cases) {
        MeterRun r;
        r.read(c.text);
        const std::string log = r.log();
        EXPECT_EQ(r.s.errcount.errt1, 1) << c.name << "\n" << log;
        EXPECT_EQ(r.s.errcount.numerr, c.numerr) << c.name << "\n" << log;
        EXPECT_EQ(r.s.rmpmeter.nrmpmtr, 0) << c.name;
        // 1021 a file without its title line, 1022 a bad or missing value.
        const std::string code = c.line <= 1 ? " ERROR 1021" : " ERROR 1022";
        EXPECT_TRUE(has_line(log, free_line(code))) << c.name << "\n" << log;
        EXPECT_TRUE(
            has_line(log, free_line(" Error occurred reading ramp meter data on line", c.line)))
            << c.name << "\n"
            << log;
        for (const auto& l : c.log) EXPECT_TRUE(has_line(log, l)) << c.name << "\n" << log;
        EXPECT_EQ(support::lines_of(r.summary()).back(), kNoMeters) << c.name;
        EXPECT_FALSE(contains(r.summary(), "Ramp Metering Station Data")) << c.name;
        // Nothing is metered: the control touches no link.
        updatrmp(r.s, 0);
        setrmpmet(r.s, 0);
        for (int l = 1; l <= 10; ++l) EXPECT_EQ(r.s.rmpmeter.rmpset(l), 0) << c.name;
    }
}

// Numbers the records leave out and upstream meters that are no meter number
// are named on the run log; such a meter is never controlled.
TEST(RampMeterFile, UndefinedMetersAndUpstreamMetersOutsideTheTable) {
    MeterRun r;
    // Meter 2 has no record (3 is given twice: the later record holds);
    // meter 3 names upstream meter 500.
    r.read(meters("3 20", {record(1), record(3, "700 300 1200 150", "1 2 3 4 5 6 7 8", kRamp, 2),
                           record(3, "800 300 1200 150", "1 2 3 4 5 6 7 8", kMain, 500)}));
    const auto& rm = r.s.rmpmeter;
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    EXPECT_EQ(rm.nrmpmtr, 3);
    EXPECT_EQ(rm.rmploc(2, 1), 0);
    EXPECT_EQ(rm.rmploc(3, 1), kMain);
    EXPECT_EQ(rm.rmploc(3, 3), 0);
    EXPECT_FLOAT_EQ(rm.rmprat(3, 1), 800.0f);
    const std::string log = r.log();
    EXPECT_TRUE(has_line(log, free_line(" Ramp meter ", 2, " has no record and is not used")))
        << log;
    EXPECT_TRUE(has_line(log, free_line(" Ramp meter ", 3, " names upstream meter ", 500,
                                        " which is not a meter number: no queue hand-over")))
        << log;
    {
        // A record numbered beyond the meters announced is not stored.
        MeterRun beyond;
        beyond.read(meters("1 20", {record(2)}));
        EXPECT_EQ(beyond.s.errcount.errt1, 0);
        EXPECT_EQ(beyond.s.rmpmeter.rmploc(1, 1), 0);
        EXPECT_TRUE(has_line(beyond.log(),
                             free_line(" Ramp meter ", 2, " is beyond the ", 1,
                                       " meters announced on line 2: its record is not used")))
            << beyond.log();
        EXPECT_TRUE(
            has_line(beyond.log(), free_line(" Ramp meter ", 1, " has no record and is not used")));
    }

    // The control walks meters 1 and 3 only.
    updatrmp(r.s, 0);
    EXPECT_FLOAT_EQ(rm.rmpgrn(2), 0.0f);
    EXPECT_FLOAT_EQ(rm.rmpcyc(2), 0.0f);
    setrmpmet(r.s, 0);
    EXPECT_EQ(rm.rmpset(kRamp), kMeterGreen);
    EXPECT_EQ(rm.rmpset(kMain), kMeterGreen);
    rampflow(r.s, 20);
    comprmp1(r.s, 20);
    const std::string after = r.log();
    EXPECT_EQ(count_of(after, "  - Ramp ="), 2) << after;
    EXPECT_TRUE(contains(after, "  - Ramp =      1 t=     20"));
    EXPECT_TRUE(contains(after, "  - Ramp =      3 t=     20"));
    EXPECT_FLOAT_EQ(rm.rmprat(2, 1), 0.0f);
}

} // namespace
} // namespace velm
