// Link grades ("lnkgrade.dat") and level-of-service groups ("lnklos.dat").
#include "core/network/network.h"
#include "network_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_network::contains;
using testing_network::has_line;
using testing_network::NetRun;

TEST(LinkGrades, FileCases) {
    struct Case {
        const char*              name;
        std::string              file;   // "" = absent
        std::map<int, float>     grades; // every other link 0
        std::vector<std::string> echoed;
        std::vector<std::string> not_echoed;
        const char*              log_part;
    };
    const Case cases[] = {
        {"absent", "", {}, {free_line("     - No Link Grades specified        ")}, {}, ""},
        {"grades echoed above 0.0001",
         "hills\n3\n12 0.04\n13.7, -0.02\n14 0.00005\n",
         {{12, 0.04f}, {13, -0.02f}, {14, 0.00005f}},
         {"     - grade:    12   0.040", "     - grade:    13  -0.020",
          free_line("     - Grade file name   :", fmt_a("hills", 40)),
          free_line("     - Number of grades  :", 3)},
         {"     - grade:    14   0.000"},
         ""},
        {"a later record replaces an earlier one",
         "t\n2\n12 0.04\n12 0.06\n",
         {{12, 0.06f}},
         {"     - grade:    12   0.060"},
         {"     - grade:    12   0.040"},
         ""},
        {"links outside the table skipped",
         "t\n3\n0 0.1\n4488 0.1\n4487 0.1\n",
         {{4487, 0.1f}},
         {"     - grade:  4487   0.100"},
         {},
         "is outside 1 to"},
        {"file ends early: complete records stay",
         "t\n3\n12 0.04\n13\n",
         {{12, 0.04f}},
         {"     - grade:    12   0.040"},
         {},
         "Error reading lnkgrade.dat"},
        {"grade not a number", "t\n1\n12 steep\n", {}, {}, {}, "Error reading lnkgrade.dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NetRun r;
        r.s.lnkgrade.lnkgrade(20) = 0.5f; // from an earlier read
        if (!c.file.empty()) r.s.units.put_file("lnkgrade.dat", c.file);
        rd_grade(r.s);
        for (int l : {1, 12, 13, 14, 20, 4487}) {
            const auto it = c.grades.find(l);
            EXPECT_FLOAT_EQ(r.s.lnkgrade.lnkgrade(l), it == c.grades.end() ? 0.0f : it->second)
                << "link " << l;
        }
        const std::string sum = r.summary();
        EXPECT_TRUE(has_line(sum, free_line(" 35. Link Grade               ")));
        EXPECT_TRUE(has_line(sum, free_line("     file: ", fmt_a("lnkgrade.dat", 360))));
        for (const auto& l : c.echoed) EXPECT_TRUE(has_line(sum, l)) << l << "\n" << sum;
        for (const auto& l : c.not_echoed) EXPECT_FALSE(has_line(sum, l)) << l;
        if (*c.log_part) {
            EXPECT_TRUE(contains(r.log(), c.log_part)) << r.log();
        }
        EXPECT_EQ(r.s.errcount.errt1, 0);
    }
}

// Every link number is a link of the network unless a test says otherwise.
struct LosRun : NetRun {
    LosRun() {
        s.link2.mlnum = kMaxLinks;
        for (int l = 1; l <= kMaxLinks; ++l) s.link4.llength(l) = 0.5f;
    }
    void read(const std::string& records, int count) {
        s.units.put_file("lnklos.dat",
                         "corridor groups\n" + std::to_string(count) + "\n" + records);
        rdlos(s);
    }
    std::vector<int> section(int x) const {
        std::vector<int> v;
        for (int j = 1; j <= s.los.n_los_lk(x); ++j) v.push_back(s.los.los_lk(x, j));
        return v;
    }
    std::vector<int> approach(int x, int a) const {
        std::vector<int> v;
        for (int j = 1; j <= s.los.numlk(x, a); ++j) v.push_back(s.los.los_ap(x, a, j));
        return v;
    }
};

using Links = std::vector<int>;

TEST(LosGroups, SectionsAndApproaches) {
    LosRun r;
    r.read("1 1 3 101 102 103\n"
           "2 2 2 2 11 12\n"
           "   1 21\n"
           "7,1,1,\n"
           "4487\n",
           3);
    const auto& los = r.s.los;
    EXPECT_EQ(los.nlos, 3);
    EXPECT_EQ(los.lostyp(1), 1);
    EXPECT_EQ(los.n_los_lk(1), 3);
    EXPECT_EQ(r.section(1), (Links{101, 102, 103}));
    EXPECT_EQ(los.lostyp(2), 2);
    EXPECT_EQ(los.n_los_lk(2), 2);
    EXPECT_EQ(r.approach(2, 1), (Links{11, 12}));
    EXPECT_EQ(r.approach(2, 2), (Links{21}));
    // Group numbers need not follow the record order.
    EXPECT_EQ(r.section(7), (Links{4487}));
    const std::string sum = r.summary();
    EXPECT_TRUE(has_line(sum, free_line(" 32. Roadway LOS                              ")));
    EXPECT_TRUE(has_line(sum, free_line(std::string(46, '-'))));
    EXPECT_TRUE(has_line(sum, free_line("     - LOS File name   :", fmt_a("corridor groups", 40))));
    EXPECT_TRUE(has_line(sum, free_line("     - Number of LOS entries  :", 3)));
    EXPECT_TRUE(has_line(sum, "   1   1   3"));
    EXPECT_TRUE(has_line(sum, "   2   2   2"));
    EXPECT_TRUE(has_line(sum, "   7   1   1"));
    EXPECT_TRUE(has_line(r.log(), free_line("     a. LOS File provided")));
    EXPECT_FALSE(contains(r.log(), "Error reading"));
}

TEST(LosGroups, BadRecordsNeverLeaveTheTables) {
    struct Case {
        const char* name;
        const char* records;
        int         count;
        Links       group1; // links of group 1 (type 1) afterwards
        Links       group3; // links of group 3 (type 1) afterwards
        const char* log_part;
    };
    const Case cases[] = {
        {"not a whole number stops reading; earlier records stay",
         "1 1 1 5\n3 1 2 6 x\n",
         2,
         {5},
         {},
         "Error reading LnkLOS.dat at line            2"},
        {"file ends early",
         "1 1 1 5\n",
         2,
         {5},
         {},
         "Error reading LnkLOS.dat at line            2"},
        {"group number outside the table skipped",
         "4488 1 2 8 9\n3 1 1 6\n",
         2,
         {},
         {6},
         "group        4488  number        4488  is outside"},
        {"more than 20 links: group skipped, next one read",
         "1 1 21 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21\n3 1 1 6\n",
         2,
         {},
         {6},
         "link count          21  is outside"},
        {"more than 7 approaches skipped",
         "1 2 8 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1 1\n3 1 1 6\n",
         2,
         {},
         {6},
         "approach count           8  is outside"},
        {"an approach of more than 20 links skipped",
         "1 2 1 21 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21\n3 1 1 6\n",
         2,
         {},
         {6},
         "approach link count          21  is outside"},
        {"a link the network does not have is named and left out",
         "1 1 3 5 9 6\n3 1 1 6\n",
         2,
         {5, 6},
         {6},
         "group           1  names link           9  which the network does not have"},
        {"links outside the table left out",
         "1 1 3 0 5 4488\n3 1 1 6\n",
         2,
         {5},
         {6},
         "link        4488  is outside"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LosRun r;
        r.s.link4.llength(9) = kLinkNotCoded;
        r.read(c.records, c.count);
        EXPECT_EQ(r.s.errcount.numerr, contains(c.log_part, "does not have") ? 1 : 0);
        EXPECT_EQ(r.s.los.lostyp(1) == 1 ? r.section(1) : Links{}, c.group1);
        EXPECT_EQ(r.section(3), c.group3);
        EXPECT_TRUE(contains(r.log(), c.log_part)) << r.log();
        EXPECT_EQ(r.s.errcount.errt1, 0);
    }
}

TEST(LosGroups, MissingOrUnreadableHeader) {
    LosRun none;
    none.s.los.nlos = 4; // from an earlier read
    none.s.los.los_lk(1, 1) = 9;
    rdlos(none.s);
    EXPECT_EQ(none.s.los.nlos, 0);
    EXPECT_EQ(none.s.los.los_lk(1, 1), 0);
    EXPECT_TRUE(has_line(none.summary(), free_line("     - No LOS file specified        ")));

    LosRun bad;
    bad.s.units.put_file("lnklos.dat", "groups\nmany\n");
    rdlos(bad.s);
    EXPECT_EQ(bad.s.los.nlos, 0);
    EXPECT_TRUE(has_line(bad.log(), free_line(" Error reading LnkLOS.dat at line ", 0)));

    LosRun huge;
    huge.read("", 5000);
    EXPECT_EQ(huge.s.los.nlos, kMaxLosGroups);
    EXPECT_TRUE(contains(huge.log(), "groups exceed the maximum"));
}

} // namespace
} // namespace velm
