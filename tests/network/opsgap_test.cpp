// Opposing links and gap acceptance.
#include "core/network/network.h"
#include "network_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velm::testing_network {
namespace {

// Node 10 with `n` links ending there (links 1..n, from nodes 1..n) and one
// link 20 leaving it.
void star(Sim& s, int n) {
    put_node(s, 10, 5, 5);
    put_node(s, 11, 5, 7);
    for (int l = 1; l <= n; ++l) {
        const float a = 0.8f * static_cast<float>(l);
        put_node(s, l, 5 + 2 * std::cos(a), 5 + 2 * std::sin(a));
        put_link(s, l, l, 10);
    }
    put_link(s, 20, 10, 11);
    setxy(s);
    addnfnt(s, 0);
}

std::vector<int> opposing(const Sim& s, int l) {
    std::vector<int> out;
    for (int k = 1; k <= 5; ++k) out.push_back(s.link1.opslin(l, k));
    return out;
}

TEST(Opposing, GapCodesOpposeEveryOtherLinkIntoTheNode) {
    NetRun r;
    star(r.s, 7);
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    r.s.link1.opslin(3, 1) = -350; // coded -3.5 and -60
    r.s.link1.opslin(3, 2) = -6000;
    r.s.link1.opslin(5, 1) = 12;
    r.s.link1.opslin(5, 2) = 15;
    r.s.link1.opslin(6, 1) = -450; // no codes
    r.s.link1.opslin(6, 2) = 10000;
    oplinval(r.s);
    EXPECT_EQ(opposing(r.s, 3), (std::vector<int>{1, 2, 4, 5, 6}));
    EXPECT_EQ(r.s.link1.opsgap(3, 1), 350);
    EXPECT_EQ(r.s.link1.opsgap(3, 2), 6000);
    EXPECT_EQ(opposing(r.s, 5), (std::vector<int>{12, 15, 0, 0, 0}));
    EXPECT_EQ(r.s.link1.opsgap(5, 1), 0);
    EXPECT_EQ(opposing(r.s, 6), (std::vector<int>{1, 2, 3, 4, 5}));

    rdopsgap(r.s);
    EXPECT_EQ(r.s.link1.opsgap(3, 1), 350);
    EXPECT_EQ(r.s.link1.opsgap(5, 1), 400);
    EXPECT_EQ(r.s.link1.opsgap(5, 2), 12000);
    EXPECT_EQ(r.s.link1.opsgap(6, 1), 450);
    EXPECT_EQ(r.s.link1.opsgap(6, 2), 10000);
    EXPECT_TRUE(has_line(r.summary(), free_line("     - No additional opposing links specified")));
    EXPECT_TRUE(has_line(r.summary(), free_line("       a. Opposing gap default size :", 4.0f)));
    EXPECT_TRUE(has_line(r.summary(), free_line("       b. Opposing gap decay inter. :", 120.0f)));
    EXPECT_TRUE(has_line(r.summary(), free_line(" 28. Customization of opposing links ")));
}

TEST(Opposing, DownstreamNodeOutsideTheTableGivesNoOpposingLinks) {
    NetRun r;
    put_link(r.s, 4, 1, 0);
    r.s.link1.opslin(4, 1) = -450;
    r.s.link1.opslin(4, 2) = 10000;
    oplinval(r.s);
    EXPECT_EQ(opposing(r.s, 4), (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(r.s.link1.opsgap(4, 1), 450);
}

// Links 5 and 7 with explicit opposing codes, link 6 with gap codes.
std::unique_ptr<NetRun> with_gap_file(const std::string& file) {
    auto r = std::make_unique<NetRun>();
    star(r->s, 7);
    r->s.link1.opslin(5, 1) = 12;
    r->s.link1.opslin(7, 1) = 1;
    r->s.link1.opslin(7, 2) = 2;
    r->s.link1.opslin(6, 1) = -450;
    r->s.link1.opslin(6, 2) = 10000;
    oplinval(r->s);
    if (!file.empty()) r->s.units.put_file("ops_gaps.dat", file);
    rdopsgap(r->s);
    return r;
}

TEST(Opposing, FileChangesDefaultsAndLinks) {
    auto        r = with_gap_file("gaps\n"
                                         "4 5.0 90.0 0.2\n"
                                         "7 12 3.5 0 6.0 15 0 0 0 0 0\n"
                                         "5 13 2.0 /\n"
                                         "0 1 1 1 1 1 1 1 1 1 1\n"
                                         "5000 1 1 1 1 1 1 1 1 1 1\n");
    const auto& s = r->s;
    EXPECT_EQ(s.errcount.errt1, 0) << r->log();
    EXPECT_FLOAT_EQ(s.opsgap.ogapdef, 5.0f);
    EXPECT_FLOAT_EQ(s.opsgap.ogapdec, 90.0f);
    EXPECT_FLOAT_EQ(s.opsgap.ogapcov, 0.2f);
    // Link 7: pair 1 sets link and gap, pair 2 (link 0) is ignored, pair 3 sets
    // the link only.
    EXPECT_EQ(opposing(s, 7), (std::vector<int>{12, 2, 15, 0, 0}));
    EXPECT_EQ(s.link1.opsgap(7, 1), 350);
    EXPECT_EQ(s.link1.opsgap(7, 2), 9000);
    // Link 5: the slash keeps pairs 2..5 of the record before.
    EXPECT_EQ(opposing(s, 5), (std::vector<int>{13, 0, 15, 0, 0}));
    EXPECT_EQ(s.link1.opsgap(5, 1), 200);
    // Link 6 keeps the gaps coded in the link file.
    EXPECT_EQ(s.link1.opsgap(6, 1), 450);
    EXPECT_EQ(s.link1.opsgap(6, 2), 10000);
    // Links that took the defaults take the file's defaults.
    EXPECT_EQ(s.link1.opsgap(20, 1), 500);
    EXPECT_TRUE(has_line(r->summary(), free_line("     - Read in ", 4, " link oppositions ")));
    EXPECT_TRUE(has_line(r->log(), free_line("     a. Opposing Gap Data File    ")));
    EXPECT_TRUE(contains(r->summary(), "     - Opposing Gap file:gaps"));
}

TEST(Opposing, DamagedFileKeepsWhatWasReadAndTheRunGoesOn) {
    auto        r = with_gap_file("gaps\n"
                                         "3 5.0 90.0 0\n"
                                         "7 12 3.5 0 0 0 0 0 0 0 0\n"
                                         "5 x\n");
    const auto& s = r->s;
    EXPECT_EQ(s.errcount.errt1, 0);
    EXPECT_EQ(s.errcount.numerr, 1);
    EXPECT_TRUE(contains(r->log(), "ERROR 1022"));
    EXPECT_TRUE(contains(r->log(), "ops_gaps.dat"));
    EXPECT_EQ(s.link1.opslin(7, 1), 12);
    EXPECT_EQ(s.link1.opsgap(7, 1), 350);
    EXPECT_EQ(s.link1.opslin(5, 1), 12);
    EXPECT_TRUE(has_line(r->summary(), free_line("       b. Opposing gap decay inter. :", 90.0f)));
    EXPECT_FALSE(contains(r->summary(), "link oppositions"));
}

// A file that stops early is listed under its own file number, never the
// master file's 0: a title that cannot be read has no data, a later line is
// a data error.
TEST(Opposing, ShortFileIsReportedToo) {
    auto r = with_gap_file("gaps\n2 4.0 120.0 0\n7 12 3.5 0 0 0 0 0 0 0 0\n");
    EXPECT_EQ(r->s.errcount.errt1, 0);
    EXPECT_TRUE(contains(r->log(), " ERROR 1022\n Out of data/data error in file:           99 "
                                   "ops_gaps.dat"))
        << r->log();
    EXPECT_EQ(r->s.link1.opsgap(7, 1), 350);

    auto title_only = with_gap_file("gaps\n");
    EXPECT_TRUE(contains(title_only->log(), " ERROR 1022\n")) << title_only->log();
    auto blank = std::make_unique<NetRun>();
    blank->s.units.put_file("ops_gaps.dat", "");
    rdopsgap(blank->s);
    EXPECT_TRUE(contains(blank->log(), " ERROR 1021\n The file           99 ops_gaps.dat"))
        << blank->log();
    EXPECT_EQ(blank->s.errcount.errt1, 0);
}

// Opposing link numbers are reals, truncated: "12.0" is link 12 and the
// records after it are read as well.
TEST(Opposing, OpposingLinkNumbersAreTruncatedReals) {
    auto        r = with_gap_file("gaps\n"
                                         "2 4.0 120.0 0\n"
                                         "7 12.0 3.5 15.7 0 0 0 0 0 0 0\n"
                                         "5 13 2.0 0 0 0 0 0 0 0 0\n");
    const auto& s = r->s;
    EXPECT_EQ(s.errcount.numerr, 0) << r->log();
    EXPECT_FALSE(contains(r->log(), "ERROR"));
    EXPECT_EQ(opposing(s, 7), (std::vector<int>{12, 15, 0, 0, 0}));
    EXPECT_EQ(s.link1.opsgap(7, 1), 350);
    EXPECT_EQ(s.link1.opslin(5, 1), 13);
    EXPECT_EQ(s.link1.opsgap(5, 1), 200);
    EXPECT_TRUE(has_line(r->summary(), free_line("     - Read in ", 2, " link oppositions ")));
}

} // namespace
} // namespace velm::testing_network
