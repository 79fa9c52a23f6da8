// External paths: the trees of slots 8 and 9 loaded period by period, each
// period's trips traced on that period's trees, the windows of the periods, the
// classes that take a slot's trees, and a file that breaks off.
#include "core/routing/routing.h"
#include "routing/paths_fixture.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace velm {
namespace {

using namespace testing_paths;
using testing_routing::contains;

// One period of a file for two_routes.net: one tree that sends zone 1's trips
// to zone 2 along `route` (nothing toward zone 1).
std::string period(int number, const std::vector<int>& route, int links = 7) {
    std::ostringstream t;
    t << " " << number << " 1\n 1 1.0\n";
    t << " 1 0 " << route.front() << "\n 2 0 0\n";
    for (int l = 1; l <= links; ++l) {
        int next = 0;
        for (std::size_t i = 0; i < route.size(); ++i)
            if (route[i] == l) next = i + 1 < route.size() ? route[i + 1] : -1;
        t << " " << l << " 0 " << next << "\n";
    }
    return t.str();
}

std::string tree_file(int periods, int length, const std::vector<std::string>& bodies) {
    std::string text = "external trees\n " + std::to_string(periods) + " " +
                       std::to_string(length) + " 2 2 2 7 7\n";
    for (const auto& b : bodies) text += b;
    return text;
}

struct ExternalPaths : ::testing::Test {
    RouteNet net{paths_fixture("two_routes.net")};
    Sim&     s = net.s;
    void     SetUp() override {
        prepare_trees(s);
        for (int vt = 1; vt <= kClasses; ++vt) s.set1.tremet(vt) = 2;
        s.set1.tremet(1) = 6; // slot 8
        s.set1.tremet(2) = 7; // slot 9
        s.filenam.files(8) = "ext8.dat";
        s.filenam.files(9) = "ext9.dat";
        tr_tree(s, 0, 0, 0);
    }
    // Trips 1.. of class vt from zone 1 to zone 2 departing at `deps`.
    void trips(int vt, const std::vector<float>& deps, int first = 1) {
        for (std::size_t i = 0; i < deps.size(); ++i)
            trip(s, first + static_cast<int>(i), 1, 2, vt, 5000, deps[i]);
    }
};

TEST_F(ExternalPaths, EachTripFollowsTheTreesOfThePeriodItDepartsIn) {
    s.units.put_file("ext8.dat", tree_file(3, 1800,
                                           {period(1, kTwoRoutesA), period(2, kTwoRoutesB),
                                            period(3, kTwoRoutesC)}));
    struct Case {
        float            dep;
        std::vector<int> path; // empty: not traced
    };
    // Windows [0, 1800], (1800, 3600], (3600, 86400].
    const std::vector<Case> cases = {
        {0, kTwoRoutesA},     {1, kTwoRoutesA},    {1800, kTwoRoutesA}, {1800.9f, kTwoRoutesA},
        {1801, kTwoRoutesB},  {3600, kTwoRoutesB}, {3601, kTwoRoutesC}, {50000, kTwoRoutesC},
        {86400, kTwoRoutesC}, {86401, {}},         {90000, {}}};
    for (std::size_t i = 0; i < cases.size(); ++i)
        trip(s, static_cast<int>(i) + 1, 1, 2, 1, 5000, cases[i].dep);
    read_f(s, 8);
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(stored_links(s, static_cast<int>(i) + 1), cases[i].path)
            << "departing at " << cases[i].dep;
    EXPECT_EQ(s.errcount.numerr, 0);
    EXPECT_FALSE(s.units.is_open(kUnitInput)) << "the file is closed after its last period";
}

TEST_F(ExternalPaths, OnlyTheSlotsOwnMethodIsTraced) {
    s.units.put_file("ext8.dat", tree_file(1, 3600, {period(1, kTwoRoutesA)}));
    s.units.put_file("ext9.dat", tree_file(1, 3600, {period(1, kTwoRoutesB)}));
    trips(1, {10}, 1); // method 6
    trips(2, {10}, 2); // method 7
    trips(3, {10}, 3); // method 2
    read_f(s, 8);
    EXPECT_EQ(stored_links(s, 1), kTwoRoutesA);
    EXPECT_TRUE(stored_links(s, 2).empty()) << "method 7 takes slot 9's trees only";
    EXPECT_TRUE(stored_links(s, 3).empty());
    read_f(s, 9);
    EXPECT_EQ(stored_links(s, 2), kTwoRoutesB);
    EXPECT_EQ(stored_links(s, 1), kTwoRoutesA) << "traced once, on its own slot's trees";
    EXPECT_TRUE(stored_links(s, 3).empty());
    EXPECT_EQ(s.vehtre.trecar, 2);
}

TEST_F(ExternalPaths, AFileThatBreaksOffTracesOnlyItsCompletePeriods) {
    struct Case {
        const char*       name;
        std::string       text; // empty: no file under the slot's name
        std::vector<bool> traced;
        const char*       log_part;
        int               later; // first link of a trip traced afterwards, as the forecast does
    };
    const std::string cut = period(2, kTwoRoutesB);
    const Case        cases[] = {
               {"second period cut short",
                tree_file(3, 1800, {period(1, kTwoRoutesA), cut.substr(0, 30)}),
                {true, false, false},
                " ends early or holds a bad record",
                1},
               {"second period with a link beyond the network",
                tree_file(3, 1800, {period(1, kTwoRoutesA), period(2, {7, 4488})}),
                {true, false, false},
                " is not a link of the network",
                1},
               {"first period cut short",
                tree_file(3, 1800, {cut.substr(0, 30)}),
                {false, false, false},
                " ends early or holds a bad record",
                0},
               {"no such file", "", {false, false, false}, " cannot be opened", 0},
               {"no period",
                tree_file(0, 1800, {period(1, kTwoRoutesA)}),
                {false, false, false},
                " gives           0  periods of        1800  s: no trip traced",
                0},
               {"periods of 0 s",
                tree_file(2, 0, {period(1, kTwoRoutesA)}),
                {false, false, false},
                " periods of           0  s: no trip traced",
                0},
    };
    for (const auto& c : cases) {
        RouteNet r{paths_fixture("two_routes.net")};
        Sim&     rs = r.s;
        prepare_trees(rs);
        rs.set1.tremet(1) = 6;
        rs.filenam.files(8) = "ext8.dat";
        if (!c.text.empty()) rs.units.put_file("ext8.dat", c.text);
        tr_tree(rs, 0, 0, 0);
        const std::vector<float> deps{100, 2000, 4000};
        for (std::size_t i = 0; i < deps.size(); ++i)
            trip(rs, static_cast<int>(i) + 1, 1, 2, 1, 5000, deps[i]);
        read_f(rs, 8);
        for (std::size_t i = 0; i < deps.size(); ++i)
            EXPECT_EQ(!stored_links(rs, static_cast<int>(i) + 1).empty(), c.traced[i])
                << c.name << ": trip departing at " << deps[i];
        EXPECT_TRUE(contains(r.log(), c.log_part)) << c.name << "\n" << r.log();
        EXPECT_EQ(rs.errcount.numerr, 1) << c.name;
        EXPECT_EQ(rs.errcount.errt1, 0) << c.name << ": the run goes on";
        EXPECT_FALSE(rs.units.is_open(kUnitInput)) << c.name;
        // A broken period is undone: later trips follow the last complete
        // period, or find no first link when there is none.
        tr_tree(rs, 3, 2, 4000);
        ASSERT_FALSE(stored_links(rs, 3).empty()) << c.name;
        EXPECT_EQ(stored_links(rs, 3).front(), c.later) << c.name;
        EXPECT_EQ(rs.pathnam.filuse[8], c.later > 0 ? 1 : 0) << c.name;
    }
}

TEST_F(ExternalPaths, AnUnusedSlotTracesNothing) {
    s.filenam.files(8) = "none";
    trips(1, {10, 2000});
    read_f(s, 8);
    EXPECT_EQ(s.vehtre.trecar, 0);
    EXPECT_EQ(s.pathnam.filuse[8], 0);
    EXPECT_EQ(s.errcount.numerr, 0);
}

} // namespace
} // namespace velm
