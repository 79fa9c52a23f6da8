// Route-input files: the earlier run's link times (slot 6), the future link
// costs (slot 7), the external trees (slots 8 and 9), and the tree check.
#include "core/routing/routing.h"
#include "route_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <sstream>

namespace velm {
namespace {

using testing_routing::contains;
using testing_routing::fixture;
using testing_routing::has_line;
using testing_routing::RouteNet;

// The defined links of the grid in ascending order.
std::vector<int> defined(const Sim& s) {
    std::vector<int> out;
    for (int l = 1; l <= s.link2.mlnum; ++l)
        if (s.link4.llength(l) >= 0.0f) out.push_back(l);
    return out;
}

// A link record of files 6 and 7: number, length, capacity, total flow,
// five class flows (base + c), free-flow time, mean time, five class times
// (base + 10 c + 0.7) and, in file 6, five tolls (base / 100 + c / 100).
std::string link_record(int l, int base, bool tolls) {
    std::ostringstream r;
    r << " " << l << " 0.1 1800 500";
    for (int c = 1; c <= 5; ++c) r << " " << base + c;
    r << " 7 8";
    for (int c = 1; c <= 5; ++c) r << " " << base + 10 * c << ".7";
    if (tolls)
        for (int c = 1; c <= 5; ++c) r << " " << base / 100.0 + c / 100.0;
    r << "\n";
    return r.str();
}

// --- slot 6 -----------------------------------------------------------------

TEST(EarlierRunFile, NoneLeavesFreeFlowTimesInEveryPeriodAndClass) {
    RouteNet n(fixture("grid.net"));
    n.s.delay.fretim(n.link(14, 15)) = 35.9f;
    read6(n.s, "none");
    EXPECT_EQ(n.s.pathnam.filuse[6], 0);
    for (int p : {1, 24})
        for (int c : {1, 5}) {
            EXPECT_EQ(n.s.feedback.histim(n.link(14, 15), c, p), 35);
            EXPECT_EQ(n.s.feedback.hisvol(n.link(14, 15), c, p), 0);
        }
    EXPECT_TRUE(has_line(n.summary(), "  6. Average link flows and travel times:"));
    EXPECT_TRUE(contains(n.summary(), "     - Complete file:   6   none"));
    EXPECT_EQ(n.s.errcount.errt1, 0);
}

TEST(EarlierRunFile, LaterRecordOfALinkWinsAndAnOmittedLinkKeepsItsDefault) {
    RouteNet    n(fixture("grid.net"));
    std::string text = "earlier run\n 2 900 30 36\n";
    for (int p = 1; p <= 2; ++p) {
        text += " 900 " + std::to_string(p) + ".0\n";
        for (int l : defined(n.s)) {
            if (l == 2)
                text += link_record(1, 500, true); // link 1 again in place of 2
            else
                text += link_record(l, 100 * p, true);
        }
    }
    n.s.units.put_file("h.dat", text);
    read6(n.s, "h.dat");
    auto& fb = n.s.feedback;
    EXPECT_EQ(n.s.pathnam.filuse[6], 1);
    EXPECT_EQ(fb.nperiods, 2);
    EXPECT_EQ(fb.perdur, 900);
    EXPECT_EQ(fb.histim(1, 3, 1), 530) << "the later record of link 1";
    EXPECT_EQ(fb.hisvol(1, 3, 1), 503);
    EXPECT_EQ(fb.histol(1, 3, 1), 503);
    EXPECT_EQ(fb.histim(2, 3, 1), 10) << "omitted: free-flow time";
    EXPECT_EQ(fb.histim(5, 2, 2), 220);
    EXPECT_EQ(fb.histol(5, 2, 2), 202);
    EXPECT_EQ(fb.histim(5, 2, 3), 35) << "periods after the file's last keep the default";
    EXPECT_TRUE(has_line(n.summary(), "     - Number of Periods      =           2"));
    EXPECT_EQ(n.s.errcount.errt1, 0);
}

TEST(EarlierRunFile, BadRecordsStopTheReaderAsFatalErrors) {
    struct Case {
        const char*                            name;
        std::function<std::string(const Sim&)> text;
        const char*                            code_line; // "" when only the listerr lines tell
        const char*                            error;
        int                                    line;
    };
    const Case cases[] = {
        {"link that is no link",
         [](const Sim& s) {
             std::string t = "x\n 1 900 30 36\n 900 1.0\n";
             for (int l : defined(s)) t += link_record(l == 36 ? 27 : l, 0, true);
             return t;
         },
         " Input File            6   Error       161020", " ERROR 1022", 33},
        {"25 periods", [](const Sim&) { return std::string("x\n 25 900 30 36\n"); },
         " Input File            6   Error       161010", " ERROR 1022", 2},
        {"file ends in a period",
         [](const Sim&) {
             return std::string("x\n 1 900 30 36\n 900 1.0\n") + link_record(1, 0, true);
         },
         "", " ERROR 1022", 5},
        {"no title", [](const Sim&) { return std::string(); }, "", " ERROR 1021", 1},
    };
    for (const auto& c : cases) {
        RouteNet n(fixture("grid.net"));
        n.s.units.put_file("h.dat", c.text(n.s));
        read6(n.s, "h.dat");
        EXPECT_EQ(n.s.pathnam.filuse[6], 0) << c.name;
        EXPECT_GE(n.s.errcount.errt1, 1) << c.name;
        EXPECT_TRUE(has_line(n.log(), c.error)) << c.name << "\n" << n.log();
        if (*c.code_line) {
            EXPECT_TRUE(has_line(n.log(), c.code_line)) << c.name << "\n" << n.log();
        }
        const std::string at = std::to_string(c.line);
        EXPECT_TRUE(has_line(n.log(), " Attempting to read to LINE" +
                                          std::string(12 - at.size(), ' ') + at) ||
                    c.line == 1)
            << c.name << "\n"
            << n.log();
    }
    RouteNet n(fixture("grid.net"));
    read6(n.s, "missing.dat");
    EXPECT_TRUE(has_line(n.log(), " ERROR 1020"));
}

// --- slot 7 -----------------------------------------------------------------

TEST(FutureCostFile, RecordsFillTheDefinedLinksInOrderAndCountsAreOnlyNoted) {
    RouteNet    n(fixture("grid.net"));
    std::string text = "future\n 2 600 29 40\n";
    const auto  links = defined(n.s);
    for (int p = 1; p <= 2; ++p) {
        text += " 600 " + std::to_string(p) + "\n";
        // Records in reverse link order: each still fills the next defined link.
        for (auto it = links.rbegin(); it != links.rend(); ++it)
            text += link_record(*it, 100 * p, false);
    }
    n.s.units.put_file("f.dat", text);
    read7(n.s, "f.dat");
    EXPECT_EQ(n.s.pathnam.filuse[7], 1);
    EXPECT_EQ(n.s.trees.np_in, 2);
    EXPECT_EQ(n.s.trees.pd_in, 600);
    // Link 1 took the first record, which names link 36.
    EXPECT_EQ(n.s.trees.futcost(1, 1, 1), 110);
    EXPECT_EQ(n.s.trees.futcost(1, 2, 5), 250);
    EXPECT_EQ(n.s.trees.futcost(36, 1, 2), 120);
    const std::string log = n.log();
    EXPECT_TRUE(has_line(log, "  Error in Reading File 7 "));
    EXPECT_TRUE(has_line(log, "    - number of links in file 7  :           29"));
    EXPECT_TRUE(has_line(log, "    - is not equal to # in file 2:           30"));
    EXPECT_TRUE(has_line(log, "    - maximum link #  in file 7    :           40"));
    EXPECT_EQ(n.s.errcount.errt1 + n.s.errcount.numerr, 0);
    EXPECT_TRUE(has_line(n.summary(), "     - reading in  time period number =           2"));

    // The costs of the period holding a second go to the tree's cost vector.
    Array1<float> cost{"cost", kMaxLinks};
    timecopy(n.s, 700, cost, 1);
    EXPECT_FLOAT_EQ(cost(1), 210.0f);
    timecopy(n.s, 99999, cost, 1);
    EXPECT_FLOAT_EQ(cost(1), 210.0f) << "past the last period: the last";
}

TEST(FutureCostFile, HeaderCases) {
    struct Case {
        const char* name;
        const char* text;
        int         filuse, errt1;
        const char* log_line;
    };
    const Case cases[] = {
        {"no periods: complete, not used", "future\n 0 600 30 36\n", 0, 0, ""},
        {"121 periods", "future\n 121 600 30 36\n", 0, 2,
         " Input File            7   Error       171010"},
        {"unreadable header", "future\n x 600 30 36\n", 0, 1, " ERROR 1021"},
        {"none", nullptr, 0, 0, ""},
    };
    for (const auto& c : cases) {
        RouteNet n(fixture("grid.net"));
        if (c.text) n.s.units.put_file("f.dat", c.text);
        read7(n.s, c.text ? "f.dat" : "NONE");
        EXPECT_EQ(n.s.pathnam.filuse[7], c.filuse) << c.name;
        EXPECT_EQ(n.s.errcount.errt1 > 0, c.errt1 > 0) << c.name << "\n" << n.log();
        EXPECT_EQ(n.s.trees.np_in, 0) << c.name;
        if (*c.log_line) {
            EXPECT_TRUE(has_line(n.log(), c.log_line)) << c.name << "\n" << n.log();
        }
        EXPECT_EQ(contains(n.summary(), "     - Complete file:   7"), c.errt1 == 0) << c.name;
    }
}

// --- slots 8 and 9 ------------------------------------------------------------

// One entry: number, then one value per destination zone 1..16, 15 on the
// first line.
std::string tree_entry(int number, const std::vector<int>& to_zone) {
    std::string e = " " + std::to_string(number);
    for (int i = 1; i <= 16; ++i) {
        if (i == 16) e += "\n";
        const auto v =
            i <= static_cast<int>(to_zone.size()) ? to_zone[static_cast<std::size_t>(i - 1)] : 0;
        e += " " + std::to_string(v);
    }
    return e + "\n";
}

std::string tree_period(const Sim& s, int period, const std::vector<std::pair<float, int>>& trees,
                        int origin_zone = 1) {
    std::ostringstream t;
    t << " " << period << " " << trees.size() << "\n";
    for (std::size_t k = 0; k < trees.size(); ++k) {
        const int via = trees[k].second; // the connector zone 1 takes toward macro zone 1
        t << " " << k + 1 << " " << trees[k].first << "\n";
        // Zone 1 toward zones 2, 3 and 4; zone 3 toward zone 2.
        t << tree_entry(origin_zone, {0, via, 31, via});
        t << tree_entry(3, {0, 33, 0, 33});
        for (int l : defined(s)) t << tree_entry(l, {0, l == 32 ? -1 : 0, 0, l == 35 ? -1 : 0});
    }
    return t.str();
}

struct ExternalTrees : ::testing::Test {
    RouteNet n{fixture("grid.net")};
    Sim&     s = n.s;
    int      success = -1, nper = -1, perlen = -1, pernum = -1;
    void     SetUp() override {
        s.set2.maxdst = 16;   // two lines per entry
        s.set1.tremet(2) = 6; // class 2 follows slot 8's trees
        s.set1.tremet(4) = 6;
        s.set1.tremet(3) = 7;
        for (int tr = 1; tr <= kStoredTrees; ++tr) s.trees.tree_wt(tr, 1) = 0.2f;
    }
    void read(int mode, int slot = 8) {
        read8(s, "ext.dat", mode, success, nper, perlen, pernum, slot);
    }
};

TEST_F(ExternalTrees, TwoTreesWithWeightsFillTheClassesThatTakeTheFile) {
    std::string text = "external trees\n 2 1800 2 3 4 30 36\n";
    text += tree_period(s, 1, {{0.3f, 31}, {0.7f, 36}});
    text += tree_period(s, 2, {{1.0f, 36}});
    s.units.put_file("ext.dat", text);
    read(1);
    EXPECT_EQ(success, 1);
    EXPECT_EQ(nper, 2);
    EXPECT_EQ(perlen, 1800);
    EXPECT_EQ(pernum, 1);
    EXPECT_EQ(s.pathnam.filuse[8], 1);
    const auto& tr = s.trees;
    for (int c : {2, 4}) {
        const int first = (c - 1) * 5;
        EXPECT_FLOAT_EQ(tr.tree_wt(first + 1, 1), 0.3f);
        EXPECT_FLOAT_EQ(tr.tree_wt(first + 1, 2), 0.3f);
        EXPECT_FLOAT_EQ(tr.tree_wt(first + 2, 1), 0.7f);
        EXPECT_FLOAT_EQ(tr.tree_wt(first + 2, 2), 1.0f);
        EXPECT_FLOAT_EQ(tr.tree_wt(first + 3, 1), 0.0f);
        EXPECT_FLOAT_EQ(tr.tree_wt(first + 5, 2), 1.0f);
        // Zone 4 (member of macro zone 1) comes after zone 2 and decides.
        EXPECT_EQ(tr.tree1o(1, 1, first + 1), 31);
        EXPECT_EQ(tr.tree1o(1, 1, first + 2), 36);
        EXPECT_EQ(tr.tree1o(2, 1, first + 2), 31);
        EXPECT_EQ(tr.tree1o(1, 3, first + 1), 33);
        EXPECT_EQ(tr.tree1l(1, 35, first + 1), -1);
        EXPECT_EQ(tr.tree1l(1, 32, first + 1), 0) << "zone 4's value replaces zone 2's";
    }
    // Classes whose method takes other trees keep theirs and their weights.
    EXPECT_FLOAT_EQ(tr.tree_wt(1, 1), 0.2f);
    EXPECT_EQ(tr.tree1o(1, 1, 1), 0);
    EXPECT_EQ(tr.tree1o(1, 1, 11), 0);
    EXPECT_TRUE(has_line(n.summary(), "        - Number lines per node  =           2"));
    EXPECT_TRUE(has_line(n.summary(), "     - Cumulative Weight      =   1.00000000    "));

    read(2); // the next period replaces the weights
    EXPECT_EQ(success, 1);
    EXPECT_EQ(pernum, 2);
    EXPECT_FLOAT_EQ(tr.tree_wt(6, 1), 1.0f);
    EXPECT_FLOAT_EQ(tr.tree_wt(7, 1), 0.0f);
    EXPECT_EQ(tr.tree1o(1, 1, 6), 36);
    s.units.close(kUnitInput);
    EXPECT_EQ(s.errcount.numerr, 0);
}

TEST_F(ExternalTrees, FailuresAreLoggedAndCountedButNotFatal) {
    struct Case {
        const char* name;
        std::string text; // empty: no file
        const char* log_part;
    };
    const std::string header = "external trees\n 1 1800 2 3 4 30 36\n";
    const Case        cases[] = {
               {"no file", "", "cannot be opened"},
               {"six trees", header + " 1 6\n", "  Error       181010"},
               {"origin zone 500", header + tree_period(s, 1, {{1.0f, 31}}, 500), "  Error       181020"},
               {"link 4488 in an entry", header + tree_period(s, 1, {{1.0f, 4488}}),
                "  Error       181040"},
               {"file ends early", header + " 1 1\n 1 1.0\n", "ends early"},
    };
    for (const auto& c : cases) {
        RouteNet r(fixture("grid.net"));
        r.s.set2.maxdst = 16;
        r.s.set1.tremet(3) = 7;
        if (!c.text.empty()) r.s.units.put_file("ext.dat", c.text);
        read8(r.s, "ext.dat", 1, success, nper, perlen, pernum, 9);
        r.s.units.close(kUnitInput);
        EXPECT_EQ(success, 0) << c.name;
        EXPECT_EQ(r.s.pathnam.filuse[9], 0) << c.name;
        EXPECT_EQ(r.s.errcount.numerr, 1) << c.name;
        EXPECT_EQ(r.s.errcount.errt1, 0) << c.name;
        EXPECT_TRUE(contains(r.log(), c.log_part)) << c.name << "\n" << r.log();
    }
    read8(s, "none", 1, success, nper, perlen, pernum, 8);
    EXPECT_EQ(success, 0);
    EXPECT_EQ(nper, 0);
    EXPECT_EQ(s.errcount.numerr, 0) << "an unused slot is no error";
}

// --- the tree check -------------------------------------------------------------

TEST(CheckTree, ActiveRecordsWithoutAPathAreReportedWithTheirCodes) {
    const std::string head = " Tree builder has detected an error in the input data    ";
    struct Case {
        const char*              name;
        int                      o, d;
        float                    rate, start;
        bool                     no_share; // class 1 has no share of the record
        bool                     cut;      // zone 2 closed to class 1
        bool                     distance; // distance trees built
        int                      errt1;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"path coded", 3, 2, 100, 0, false, false, true, 0, {}},
        {"micro destination 0",
         3,
         0,
         100,
         0,
         false,
         false,
         true,
         1,
         {head + "       2010",
          " Invalid micro destination for           3  to            0  for o-d pair:           1 "
          "and vehicle type           1",
          " Micro destination =            0"}},
        {"zone 5 in no macro zone",
         3,
         5,
         100,
         0,
         false,
         false,
         true,
         1,
         {head + "       2020", " Macro destination =            0"}},
        {"starts at the horizon", 3, 0, 100, 3600, false, false, true, 0, {}},
        {"no demand", 3, 0, 0, 0, false, false, true, 0, {}},
        {"no share of the class", 3, 2, 100, 0, true, true, true, 0, {}},
        {"closed connector, distance path",
         3,
         2,
         100,
         0,
         false,
         true,
         true,
         1,
         {head + "       2030",
          " No available path coded:            3  -            2  for o-d pair:           1 and "
          "vehicle type           1",
          " Macro destination =            1",
          "      Potential path along link           33  made infeasible due to link "
          "prohibitions "}},
        {"no path even by distance",
         3,
         2,
         100,
         0,
         false,
         true,
         false,
         1,
         {head + "       2030",
          "      No potential paths available  even if link prohibitions are ignored "}},
    };
    for (const auto& c : cases) {
        RouteNet n(fixture("grid.net"));
        auto&    od = n.s.oddat;
        n.s.set1.simtim1 = 3600;
        od.fodp = od.lodp = 1;
        od.o(1) = c.o;
        od.d(1) = c.d;
        od.numod(1) = c.rate;
        od.demstr(1) = c.start;
        for (int k = 1; k <= kClasses; ++k) od.kvtyp(1, k, 2) = c.no_share && k == 1 ? 0.0f : 1.0f;
        if (c.cut) n.s.link1.hov(n.link(19, 2), 1) = 1;
        if (c.distance) {
            builddis(n.s, 1);
            builddis(n.s, 2);
        }
        buildtree(n.s, 1, n.s.mainrun.object1, 0.0f, 1, n.s.mainrun.mes);
        checktree(n.s, 1);
        EXPECT_EQ(n.s.errcount.errt1, c.errt1) << c.name << "\n" << n.log();
        EXPECT_EQ(n.s.errcount.numerr, c.errt1) << c.name;
        for (const auto& l : c.lines)
            EXPECT_TRUE(has_line(n.log(), l)) << c.name << ": " << l << "\n" << n.log();
        EXPECT_EQ(contains(n.log(), "Tree builder"), !c.lines.empty()) << c.name;
        // A path found by distance is written into the origin tree.
        const int expect = c.distance && c.cut && !c.no_share ? n.link(3, 12)
                           : c.cut                            ? 0
                                                              : n.link(3, 12);
        EXPECT_EQ(n.s.trees.ortree(1, 3, 1), expect) << c.name;
    }
}

} // namespace
} // namespace velm
