// The trip summary: per class and origin-destination pair from the pair
// counters and the trip records, over all classes with the origins' waiting
// peaks, and the network totals. Expected rows are written out from the
// record layouts.
#include "core/reports/reports.h"

#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

using support::contains;
using support::count_of;
using support::has_line;
using support::lines_of;
using support::MemoryRun;

// Zones 1 and 2 send and receive, zone 3 only receives; three classes.
class TripSummary : public ::testing::Test {
  protected:
    void SetUp() override {
        auto& st = s.set2;
        st.nvehtyp = 3;
        st.maxorg = 2;
        st.maxdst = 3;
        st.mzones = 3;
        s.graph1.ntyp(1) = 1;
        s.graph1.ntyp(2) = 1;
        s.graph1.ntyp(3) = 2;
    }

    // A trip of class c from o to d scheduled at `start` s. An arrival time
    // of 0 leaves it on the network; a positive one completes it, counted in
    // the pair counters like vehicle movement counts it.
    void trip(int c, int o, int d, float start, float arrival, float km) {
        const int n = ++s.set2.tdemand;
        auto&     v = s.vehicle;
        s.oddat.vtyp(n) = c;
        v.norig(n) = o;
        v.ndest(n) = d;
        v.strtrp(n, 1) = start;
        v.strtrp(n, 2) = start + 5.0f; // entry
        s.nodes.dptrs(o, d, c) += 1;
        s.vehplot.trpdst(n, 1) = km;
        if (arrival > 0.0f) {
            v.dept(n) = -1.0f;
            v.arrt(n) = arrival;
            s.nodes.arvls(o, d, c) += 1;
            s.nodes.trtim(o, d, c) += arrival - start;
        } else {
            v.dept(n) = start + 60.0f;
        }
    }

    // The rows of the class tables: lines of the table before the all-class
    // heading that begin with a class number.
    std::vector<std::string> class_rows() const {
        std::vector<std::string> out;
        bool                     in = false;
        for (const auto& l : lines_of(r.summary())) {
            if (l == " AVERAGE/TOTAL O-D TRIP TIMES/DISTANCES FOR ALL VEHICLE CLASSES") break;
            if (in && l.size() > 100) out.push_back(l);
            if (l == " " + std::string(104, '=')) in = true;
        }
        return out;
    }
    // The rows of the all-class table.
    std::vector<std::string> all_class_rows() const {
        std::vector<std::string> out;
        bool                     in = false;
        for (const auto& l : lines_of(r.summary())) {
            if (in && l.rfind(" - All Vehicle Classes", 0) == 0) break;
            if (in) out.push_back(l);
            if (l == std::string(79, '=')) in = true;
        }
        return out;
    }

    MemoryRun r;
    Sim&      s = r.s;
};

// Class 1 from zone 1 to zone 3: three trips, two completed; the pair row
// and the all-class row carry the same pair, with the origin's waiting peak.
TEST_F(TripSummary, RowsOfAPairInTheClassAndAllClassTables) {
    trip(1, 1, 3, 60.0f, 360.0f, 4.5f);  // 300 s
    trip(1, 1, 3, 120.0f, 600.0f, 5.0f); // 480 s
    trip(1, 1, 3, 300.0f, 0.0f, 1.2f);   // en route
    s.invisible.maxpark(1) = 4;
    s.invisible.tmaxpark(1) = 179; // 2 whole minutes
    s.set1.tdep = 3;
    s.set1.tenr = 1;
    s.set1.tarr = 2;
    tripsum(s, 900);
    // Mean 390 s = 6.50 min; S.D. sqrt((300^2 + 480^2) / 2 - 390^2) = 90 s.
    EXPECT_EQ(class_rows(),
              (std::vector<std::string>{"    1    1   3        3    2    1     1.0   5.0   6.0  "
                                        "10.0     13.0    5.00  6.50  8.00  1.50       9.5"}));
    EXPECT_EQ(all_class_rows(),
              (std::vector<std::string>{"    1    3         3    2    1     6.50  1.50     13.0"
                                        "       4    2       9.5"}));
    const std::string out = r.summary();
    EXPECT_TRUE(has_line(out, " - Vehicle class :    1      Total Veh-Km =          9.5")) << out;
    EXPECT_TRUE(has_line(out, " - Vehicle class :    1      Total Veh-Hrs=          0.2")) << out;
    EXPECT_TRUE(has_line(out, " - All Vehicle Classes        Total Veh-Km =          9.5")) << out;
    EXPECT_TRUE(has_line(out, " Sum of the total trip time     =      13.0 veh-mins        0.22"
                              " veh-hrs."))
        << out;
    EXPECT_TRUE(has_line(out, " Average          trip time     =      6.50 mins        " +
                                  std::string("    390.") + " secs"))
        << out;
    // Classes 2 and 3 drove nothing: their blocks end with the blank line.
    EXPECT_EQ(count_of(out, "Total Veh-Km"), 2) << out;
    const auto                     lines = lines_of(out);
    const std::vector<std::string> closing(lines.end() - 5, lines.end());
    EXPECT_EQ(closing,
              (std::vector<std::string>{free_line(" Total demand to enter network = ", 3),
                                        free_line(" Vehicles eligible to enter    = ", 3),
                                        free_line(" Vehicles in their driveways   = ", 0),
                                        free_line(" Vehicles left on network      = ", 1),
                                        free_line(" Vehicles that completed trip  = ", 2)}));
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], free_line("\f"));
}

// The per-pair columns: departures without arrivals, one arrival, a first
// departure late in a long run, and a trip not yet due at the report time.
TEST_F(TripSummary, PairColumnsFromDeparturesAndArrivals) {
    trip(1, 1, 2, 120.0f, 0.0f, 0.8f); // class 1, 1 to 2: departed only
    trip(1, 1, 2, 240.0f, 0.0f, 0.4f);
    trip(2, 1, 3, 180.0f, 450.0f, 3.0f);     // class 2, 1 to 3: one arrival of 270 s
    trip(3, 2, 1, 40000.0f, 40600.0f, 7.0f); // class 3, 2 to 1: after 10 hours
    trip(3, 2, 1, 40600.0f, 0.0f, 2.0f);
    trip(3, 2, 1, 50000.0f, 0.0f, 0.0f); // due after the report: not in the times
    s.nodes.dptrs(2, 1, 3) -= 1;         // ... and not departed
    tripsum(s, 45000);
    EXPECT_EQ(class_rows(),
              (std::vector<std::string>{
                  "    1    1   2        2    0    2     2.0   4.0   0.0   0.0      0.0    0.00"
                  "  0.00  0.00  0.00       0.0",
                  "    2    1   3        1    1    0     3.0   3.0   7.5   7.5      4.5    4.50"
                  "  4.50  4.50  0.00       3.0",
                  "    3    2   1        2    1    1   666.7 676.7 676.7 676.7     10.0   10.00"
                  " 10.00 10.00  0.00       7.0"}));
}

// The network time total truncates at every addition: two pairs of 10.6 s
// make 20 s, not 21.
TEST_F(TripSummary, NetworkTotalKeepsWholeSeconds) {
    trip(1, 1, 3, 0.0f, 10.6f, 0.1f);
    trip(1, 2, 3, 0.0f, 10.6f, 0.1f);
    tripsum(s, 60);
    const std::string out = r.summary();
    EXPECT_TRUE(has_line(out, " Sum of the total trip time     =       0.3 veh-mins        0.01"
                              " veh-hrs."))
        << out;
    EXPECT_TRUE(has_line(out, " Average          trip time     =      0.17 mins        " +
                                  std::string("     10.") + " secs"))
        << out;
}

TEST_F(TripSummary, NoArrivalsAnywhere) {
    trip(2, 2, 3, 30.0f, 0.0f, 0.5f);
    tripsum(s, 60);
    const std::string out = r.summary();
    EXPECT_TRUE(has_line(
        out, free_line(" Average          trip time     = ", "  Unknown due to lack of arrivals")))
        << out;
    EXPECT_EQ(count_of(out, " - Vehicle class :"), 0) << out;
    EXPECT_EQ(all_class_rows(),
              (std::vector<std::string>{"    2    3         1    0    1     0.00  0.00      0.0"
                                        "       0    0       0.0"}));
}

// A trip scheduled at 0 that still waits at its origin keeps dept at 0: it is
// not an arrival. One that never had a first link is no departure.
TEST_F(TripSummary, WaitingAndAbandonedTripsAreNoArrivals) {
    trip(1, 1, 3, 0.0f, 120.0f, 2.0f);
    trip(1, 1, 3, 0.0f, 0.0f, 0.0f);
    s.vehicle.dept(2) = 0.0f;
    s.vehicle.strtrp(2, 2) = -1.0f; // waiting
    s.nodes.dptrs(1, 3, 1) -= 1;
    trip(1, 1, 3, 0.0f, 0.0f, 0.0f);
    s.vehicle.strtrp(3, 1) = -1.0f; // no first link
    s.vehicle.strtrp(3, 2) = 604800.0f;
    s.nodes.dptrs(1, 3, 1) -= 1;
    tripsum(s, 300);
    EXPECT_EQ(class_rows(),
              (std::vector<std::string>{"    1    1   3        1    1    0     0.0   0.0   2.0   "
                                        "2.0      2.0    2.00  2.00  2.00  0.00       2.0"}));
    EXPECT_EQ(all_class_rows(),
              (std::vector<std::string>{"    1    3         1    1    0     2.00  0.00      2.0"
                                        "       0    0       2.0"}));
}

} // namespace
} // namespace velm
