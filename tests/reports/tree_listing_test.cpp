// The tree listings: rows of next links with their continuation lines, the
// distance trees, a class's first stored tree with its weight and the
// current trees of the assignment, destinations without a macro zone, and
// which calls write a heading, a block line and the trees.
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

constexpr int     kUnit = 13;
const std::string kTitle = "Tree test network";

// Twenty zones: 1 (origin and destination) and 2 (origin only) start trips,
// 3..20 are destinations; zone 7 has no macro zone, zone d otherwise macro
// zone d. Link 1 exists, link 2 does not.
class TreeListing : public ::testing::Test {
  protected:
    void SetUp() override {
        s.filenam.mastitle = kTitle;
        s.trees.np_ot2 = 13;
        s.trees.pd_ot2 = 300;
        s.set2.maxorg = 2;
        s.set2.maxdst = 20;
        s.link2.nlinks = 1;
        s.link2.mlnum = 2;
        s.link4.llength(1) = 0.4f;
        auto& g = s.graph1;
        g.ntyp(1) = 1;
        g.ntyp(2) = 3;
        for (int d = 3; d <= 20; ++d) g.ntyp(d) = 2;
        g.numtyp(1) = 1;
        g.numtyp(2) = 18;
        g.numtyp(3) = 1;
        for (int d = 1; d <= 20; ++d) g.macrzon(d) = d == 7 ? 0 : -d;
        auto& tr = s.trees;
        tr.size_trees(20, 2, 20);
        tr.size_distance_trees(20, 2);
        for (int m = 1; m <= 20; ++m) {
            tr.distre(m, 1, 1) = static_cast<TreeLink>(200 + m);
            for (int vt = 1; vt <= 5; ++vt) {
                tr.rgtree(m, 1, vt) = static_cast<TreeLink>(100 * vt + m);
                for (int o = 1; o <= 2; ++o)
                    tr.ortree(m, o, vt) = static_cast<TreeLink>(1000 * vt + 100 * o + m);
            }
            for (int t = 1; t <= 25; ++t) {
                tr.tree1l(m, 1, t) = static_cast<TreeLink>(1000 + 100 * t + m);
                for (int o = 1; o <= 2; ++o)
                    tr.tree1o(m, o, t) = static_cast<TreeLink>(10000 + 1000 * o + 100 * t + m);
            }
        }
        tr.tree_wt(6, 1) = 0.35f;
        s.units.open_write(kUnit, "trees.out");
    }
    std::vector<std::string> lines() const { return lines_of(s.units.file_text("trees.out")); }
    MemoryRun                run;
    Sim&                     s = run.s;
};

const std::string kHeading = "     13    300      2      2     20      1      2";

TEST_F(TreeListing, DistanceTreeRowsContinueAfterFifteenValues) {
    pminpath(s, kUnit, 0, 1, 1, 1, 3);
    const auto l = lines();
    ASSERT_EQ(l.size(), 6u);
    EXPECT_EQ(l[0], kTitle + std::string(300 - kTitle.size(), ' '));
    EXPECT_EQ(l[1], kHeading);
    EXPECT_EQ(l[2], "       1       1       1");
    EXPECT_EQ(l[3], "       1  1.0000       1");
    // Link 1 only: the destination without a macro zone shows 0.
    EXPECT_EQ(l[4], "    1   201   202   203   204   205   206     0   208   209   210   211   212"
                    "   213   214   215");
    EXPECT_EQ(l[5], "        216   217   218   219   220");
}

TEST_F(TreeListing, StoredTreeListsOriginsAndLinksWithItsWeight) {
    pminpath(s, kUnit, 300, 2, 1, 300, 2);
    const auto l = lines();
    ASSERT_EQ(l.size(), 8u); // no heading after time 0
    EXPECT_EQ(l[0], "       2       1       1");
    EXPECT_EQ(l[1], "       6  0.3500       2");
    EXPECT_EQ(l[2], "    1 11601 11602 11603 11604 11605 11606     0 11608 11609 11610 11611 11612"
                    " 11613 11614 11615");
    EXPECT_EQ(l[3], "      11616 11617 11618 11619 11620");
    EXPECT_EQ(l[4].substr(0, 17), "    2 12601 12602");
    EXPECT_EQ(l[6], "    1  1601  1602  1603  1604  1605  1606     0  1608  1609  1610  1611  1612"
                    "  1613  1614  1615");
    EXPECT_EQ(l[7], "       1616  1617  1618  1619  1620");
}

// Tree lines of a listing (number, weight, class): the only 24-column lines
// with a decimal point.
std::vector<std::string> tree_lines(const std::vector<std::string>& l) {
    std::vector<std::string> out;
    for (const auto& x : l)
        if (x.size() == 24 && x[11] == '.') out.push_back(x);
    return out;
}

// The assignment's listing: the class's five stored trees, each with the
// weight the assignment gave it.
TEST_F(TreeListing, AssignedClassListsItsFiveStoredTreesWithTheirWeights) {
    const float weights[] = {0.2f, 0.1f, 0.15f, 0.25f, 0.3f};
    for (int k = 0; k < 5; ++k) s.trees.tree_wt(11 + k, 1) = weights[k];
    pminpath(s, kUnit, 600, 3, 2, 900, 1);
    const auto l = lines();
    EXPECT_EQ(l[0], "       3       5       2");
    EXPECT_EQ(tree_lines(l),
              (std::vector<std::string>{"      11  0.2000       3", "      12  0.1000       3",
                                        "      13  0.1500       3", "      14  0.2500       3",
                                        "      15  0.3000       3"}));
    // Each block is its own stored tree: origins, then links.
    for (int k = 0; k < 5; ++k) {
        SCOPED_TRACE(11 + k);
        EXPECT_EQ(l[2 + 7 * k].substr(0, 11),
                  "    1 " + std::to_string(11000 + 100 * (11 + k) + 1));
        EXPECT_EQ(l[6 + 7 * k].substr(0, 11),
                  "    1  " + std::to_string(1000 + 100 * (11 + k) + 1));
    }
    EXPECT_EQ(l.size(), 1u + 5u * 7u);
}

TEST_F(TreeListing, CallsWriteHeadingBlockLineAndTreesByRateTimeAndCount) {
    struct Call {
        int t, nvt, ddd;
    };
    const struct {
        const char*              what;
        int                      pd, flag;
        std::vector<Call>        calls;
        int                      headings;
        std::vector<std::string> blocks; // block lines in order
        int                      trees;
    } cases[] = {
        {"positive rate: a block at time 0",
         300,
         2,
         {{0, 2, 300}},
         1,
         {"       1       1       2"},
         1},
        {"negative rate: heading at 0, first block at |rate|",
         -300,
         2,
         {{0, 1, -300}, {300, 1, -300}},
         1,
         {"       1       1       1"},
         1},
        {"later class of the period: trees only", 300, 2, {{300, 0, 300}}, 0, {}, 1},
        {"assignment slices: the first, from time 0, listed too",
         300,
         1,
         {{0, 1, 0}, {600, 1, 0}},
         1,
         {"       1       5       1", "       3       5       1"},
         10},
        {"no output rate: heading only", 0, 1, {{0, 1, 900}, {900, 1, 900}}, 1, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        s.units.open_write(kUnit, "trees.out");
        s.trees.pd_ot2 = c.pd;
        for (const Call& k : c.calls) pminpath(s, kUnit, k.t, 2, k.nvt, k.ddd, c.flag);
        const auto               l = lines();
        int                      headings = 0;
        std::vector<std::string> blocks;
        for (const auto& x : l) {
            if (x.rfind(kTitle, 0) == 0) ++headings;
            if (x.size() == 24 && x[11] != '.') blocks.push_back(x);
        }
        EXPECT_EQ(headings, c.headings);
        EXPECT_EQ(blocks, c.blocks);
        EXPECT_EQ(static_cast<int>(tree_lines(l).size()), c.trees);
    }
}

} // namespace
} // namespace velm
