// The link file.
#include "core/network/network.h"
#include "network_fixture.h"

#include <gtest/gtest.h>

namespace velm {
namespace {

using testing_network::contains;
using testing_network::has_line;
using testing_network::Link20;
using testing_network::link_file;
using testing_network::NetRun;

// Reads a link file given as text; returns the run.
std::unique_ptr<NetRun> read_links(const std::string& text) {
    auto r = std::make_unique<NetRun>();
    r->s.units.put_file("links.dat", text);
    read2(r->s, "links.dat");
    return r;
}

Link20 link(int n, int fr, int to) {
    Link20 l;
    l.n = n;
    l.fr = fr;
    l.to = to;
    return l;
}

struct BadLink {
    const char* what;
    Link20      rec;
    int         code;
    const char* detail;
};

TEST(LinkFile, RecordChecksStopTheReader) {
    auto with = [](auto change) {
        Link20 l = link(2, 3, 4);
        change(l);
        return l;
    };
    const BadLink cases[] = {
        {"lane count -1", with([](Link20& l) { l.lanes = -1; }), 121110,
         "Need at least 2 lanes to add lane to left (i.e -ve number of lanes)"},
        {"lane count -1.5 is one lane on the left", with([](Link20& l) { l.lanes = -1.5; }), 121110,
         "Need at least 2 lanes"},
        {"lane count 0.5", with([](Link20& l) { l.lanes = 0.5; }), 121110, " which is invalid "},
        {"shorter than 1.5 jam spacings", with([](Link20& l) {
             l.kj = 150;
             l.len = 0.009;
         }),
         121090, " which is less than 1.5*jam headway "},
        {"longer than 10 km", with([](Link20& l) { l.len = 10.5; }), 1210100,
         " which is greater than 10.0 km"},
        {"zero length", with([](Link20& l) { l.len = 0; }), 121080, " which is invalid "},
        {"zero jam density", with([](Link20& l) { l.kj = 0; }), 121090, "1.5*jam headway"},
        {"negative from node", with([](Link20& l) { l.fr = -3; }), 121060,
         " which has not been coded in file 1 "},
        {"to node beyond 2996", with([](Link20& l) { l.to = 2997; }), 121070,
         " which is greater than the maximum node number "},
        {"link number beyond 4487", with([](Link20& l) { l.n = 4488; }), 121030,
         "exceeds maximum=        4487"},
        {"link 1 coded twice", with([](Link20& l) { l.n = 1; }), 121050, " already exists "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto r = read_links(link_file({link(1, 1, 2), c.rec}));
        ASSERT_FALSE(r->codes(2).empty()) << r->log();
        EXPECT_EQ(r->codes(2).front(), c.code);
        EXPECT_TRUE(contains(r->log(), c.detail)) << r->log();
        EXPECT_TRUE(contains(r->log(), " FATAL ERROR"));
        EXPECT_TRUE(contains(r->summary(), "Fatal Error in Reading Data file=links.dat"));
        EXPECT_EQ(r->s.errcount.errt1, 2); // the reader's own count and the epilogue's
        EXPECT_EQ(r->s.errcount.counted_twice, 1) << "the run summary says so";
        EXPECT_EQ(r->s.pathnam.filuse[2], 0);
        EXPECT_EQ(r->s.lanexch.lannum(1, 1), 0); // lanes are numbered only after all records
    }
}

TEST(LinkFile, HeaderCountIsChecked) {
    auto r = read_links("t\n1 1 1 1 1 1\n" + link(1, 1, 2).text() + "\n");
    EXPECT_EQ(r->codes(2), std::vector<int>{121020});
    r = read_links("t\n4488 1 1 1 1 1\n");
    EXPECT_EQ(r->codes(2), std::vector<int>{121010});
}

// A count below the records: the first record beyond it is named with its
// line; blank lines after the last record are no records.
TEST(LinkFile, RecordsBeyondTheCountAreAnError) {
    const std::string three =
        link(1, 1, 2).text() + "\n" + link(2, 2, 3).text() + "\n" + link(3, 3, 4).text() + "\n";
    auto r = read_links("t\n2 1 1 1 1 1\n" + three);
    EXPECT_EQ(r->codes(2), std::vector<int>{121140}) << r->log();
    EXPECT_TRUE(contains(r->log(), "links.dat")) << r->log();
    EXPECT_TRUE(contains(r->log(), " its count of            2")) << r->log();
    EXPECT_TRUE(contains(r->log(), "line            5")) << r->log();
    EXPECT_TRUE(contains(r->log(), link(3, 3, 4).text().substr(0, 20))) << r->log();
    EXPECT_EQ(r->s.pathnam.filuse[2], 0);

    r = read_links("t\n3 1 1 1 1 1\n" + three + "\n   \n");
    EXPECT_TRUE(r->codes(2).empty()) << r->log();
    EXPECT_EQ(r->s.pathnam.filuse[2], 1);
}

TEST(LinkFile, PhaseSlotWithoutMovementsIsFatal) {
    std::string t = "t\n-2 1 1 1 1 1\n"
                    "1 1 2 1 60 1800 1 0 40 120 0 0 0 0 0 5 1 111 2 0 0 0 0 0 0 0\n"
                    "2 2 3 1 60 1800 1 0 40 120 0 0 0 0 0 5 1 111 2 -5 0 0 0 0 0 0\n";
    auto        r = read_links(t);
    EXPECT_TRUE(has_line(r->log(), free_line("Input File 2  Error ", 121120)));
    EXPECT_TRUE(has_line(r->log(), free_line(" does not discharge any turning movements ")));
}

TEST(LinkFile, FourPhaseLayoutStoresMovementAndLaneCodes) {
    std::string t = "four phases\n-2 1 1 1 1 1\n"
                    "1 1 2 1 60 1800 2 0 40 120 0 0 0 0 0 7 1 110.11 2 111 0 0 0 0 10100 1\n"
                    "2 2 3 1 60 1800 1 0 40 120 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
    auto        r = read_links(t);
    auto&       ph = r->s.link3.phase;
    ASSERT_EQ(r->s.errcount.errt1, 0) << r->log();
    EXPECT_EQ(ph(1, 1, 1), 1);
    EXPECT_EQ(ph(1, 1, 2), 110);
    EXPECT_EQ(ph(1, 1, 3), 11000);
    EXPECT_EQ(ph(1, 2, 1), 2);
    EXPECT_EQ(ph(1, 2, 2), 111);
    EXPECT_EQ(ph(1, 2, 3), 11111);
    EXPECT_EQ(ph(1, 3, 3), 11111);
    EXPECT_EQ(r->s.link3.tsignal(1), 7);
    const int hov[] = {1, 0, 1, 0, 0};
    for (int c = 1; c <= 5; ++c) EXPECT_EQ(r->s.link1.hov(1, c), hov[c - 1]);
    EXPECT_EQ(r->s.link1.surv(1, 5), 1);
    EXPECT_TRUE(has_line(r->summary(), "     - Number of links        =        -2"));
    EXPECT_TRUE(has_line(r->summary(), free_line("         File 2 in 4 phases per link format ")));
    EXPECT_TRUE(has_line(r->summary(), "     - Number signalized links=         1"));
    EXPECT_TRUE(has_line(r->summary(), "     - Number of HOV links    =         1"));
}

TEST(LinkFile, HeaderOfMinus120SelectsTheLongLayout) {
    std::string t = "t\n-120 1 1 1 1 1\n";
    for (int n = 1; n <= 120; ++n)
        t += std::to_string(n) + " 1 2 1 60 1800 1 0 40 120 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0\n";
    auto r = read_links(t);
    EXPECT_EQ(r->s.errcount.errt1, 0) << r->log();
    EXPECT_EQ(r->s.link2.nlinks, 120);
    EXPECT_EQ(r->s.link2.mlnum, 120);
    EXPECT_TRUE(has_line(r->summary(), "     - Number of links        =      -120"));
    EXPECT_TRUE(has_line(r->log(), free_line(" - Reading link=", 100, " of ", 120, " pass 1")));
    EXPECT_TRUE(has_line(r->log(), free_line(" - Reading link=", 120, " of ", 120, " pass 1")));
}

TEST(LinkFile, TwoPhaseLayoutDerivesThePhaseSlots) {
    Link20 a = link(1, 1, 2);
    a.sig = 4;
    a.ph1 = -2;
    a.ph2 = 3;
    auto  r = read_links(link_file({a, link(2, 2, 3)}));
    auto& ph = r->s.link3.phase;
    EXPECT_EQ(ph(1, 1, 1), -2);
    EXPECT_EQ(ph(1, 1, 2), 100);
    EXPECT_EQ(ph(1, 2, 1), 3);
    EXPECT_EQ(ph(1, 2, 2), 111);
    for (int p = 3; p <= 4; ++p) {
        EXPECT_EQ(ph(1, p, 1), 0);
        EXPECT_EQ(ph(1, p, 2), 111);
    }
    for (int p = 1; p <= 4; ++p) EXPECT_EQ(ph(1, p, 3), 11111);
}

struct SpeedCase {
    double coded;
    float  stored;
    int    zoncon;
};

TEST(LinkFile, FreeSpeedAndZoneConnectors) {
    const SpeedCase cases[] = {{-0.5, 20.0f, 1}, {-1.0, 20.0f, 1}, {-1.01, 2.02f, 1},
                               {-40, 80.0f, 1},  {60, 120.0f, 0},  {-0.0001, 20.0f, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.coded);
        Link20 a = link(1, 1, 2);
        a.vf = c.coded;
        // Free-speed scale factor 2.
        auto r = read_links("t\n2 1 2 1 1 1\n" + a.text() + "\n" + link(2, 2, 3).text() + "\n");
        EXPECT_FLOAT_EQ(r->s.link4.freespd(1), c.stored);
        EXPECT_EQ(r->s.link1.zoncon(1), c.zoncon);
    }
}

TEST(LinkFile, FieldsAreScaledAndStored) {
    Link20 a = link(7, 3, 4);
    a.len = 500;
    a.sat = 900;
    a.lanes = -3;
    a.disp = 0.1;
    a.vc = 20;
    a.kj = 60;
    a.n = -7;
    Link20 b = link(2, 2, 3);
    b.len = 1000;
    auto        r = read_links("t\n2 0.001 1 2 2 2\n" + a.text() + "\n" + b.text() + "\n");
    const auto& s = r->s;
    ASSERT_EQ(s.errcount.errt1, 0) << r->log();
    EXPECT_FLOAT_EQ(s.link4.llength(7), 0.5f);
    EXPECT_FLOAT_EQ(s.link4.lanesat(7), 1800.0f);
    EXPECT_EQ(s.link1.nulans(7), 3);
    EXPECT_EQ(s.link1.addlin(7), -1);
    EXPECT_EQ(s.link1.addlin(2), 1);
    EXPECT_FLOAT_EQ(s.link4.pltdsp(7, 1), 0.1f);
    EXPECT_FLOAT_EQ(s.link1.spdvol(7, 4), 40.0f);
    EXPECT_FLOAT_EQ(s.link1.spdvol(7, 5), 120.0f);
    EXPECT_EQ(s.link4.io12(7), 0);
    EXPECT_EQ(s.link4.io12(2), 1);
    EXPECT_EQ(s.link1.frnode(7), 3);
    EXPECT_EQ(s.link1.tonode(7), 4);
    EXPECT_FLOAT_EQ(s.link4.biasfac(7, 2), 1.0f);
    EXPECT_EQ(s.link2.mlnum, 7);
    EXPECT_FLOAT_EQ(s.link4.llength(5), kLinkNotCoded);
}

struct BanCase {
    const char* what;
    double      f11, f12, f13;
    int         ban[3][3]; // per ban j: link, start, end
};

TEST(LinkFile, TurnBans) {
    const BanCase cases[] = {
        {"timed ban to the end", 205, 600, 0, {{205, 600, kNever}, {0, 0, kNever}, {0, 0, kNever}}},
        {"timed ban with an end",
         205,
         600,
         1200,
         {{205, 600, 1200}, {0, 0, kNever}, {0, 0, kNever}}},
        {"two permanent bans", -205, -310, 0, {{205, 0, kNever}, {310, 0, kNever}, {0, 0, kNever}}},
        {"fields between -1 and 1 ban nothing",
         0.5,
         -0.5,
         -310,
         {{0, 0, kNever}, {0, 0, kNever}, {310, 0, kNever}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Link20 a = link(1, 1, 2);
        a.b1 = c.f11;
        a.b2 = c.f12;
        a.b3 = c.f13;
        auto r = read_links(link_file({a, link(2, 2, 3)}));
        for (int j = 1; j <= 3; ++j)
            for (int k = 1; k <= 3; ++k)
                EXPECT_EQ(r->s.link4.banturn(1, k, j), c.ban[j - 1][k - 1]) << j << "," << k;
    }
}

TEST(LinkFile, OpposingCodes) {
    struct Case {
        double f14, f15;
        int    o1, o2;
    };
    const Case cases[] = {
        {0, 0, -450, 10000}, {0.05, 9, -450, 10000}, {-3.5, -6, -350, -600}, {12, 15, 12, 15}};
    for (const auto& c : cases) {
        Link20 a = link(1, 1, 2);
        a.o1 = c.f14;
        a.o2 = c.f15;
        auto r = read_links(link_file({a, link(2, 2, 3)}));
        EXPECT_EQ(r->s.link1.opslin(1, 1), c.o1) << c.f14;
        EXPECT_EQ(r->s.link1.opslin(1, 2), c.o2) << c.f14;
        EXPECT_EQ(r->s.link1.opslin(1, 3), 0);
    }
}

TEST(LinkFile, LanesAreNumberedInLinkOrder) {
    Link20 a = link(3, 1, 2);
    a.lanes = 2;
    Link20 b = link(1, 2, 3);
    b.lanes = 3;
    auto        r = read_links(link_file({a, b}));
    const auto& ln = r->s.lanexch.lannum;
    EXPECT_EQ(ln(1, 1), 1);
    EXPECT_EQ(ln(1, 3), 3);
    EXPECT_EQ(ln(3, 1), 4);
    EXPECT_EQ(ln(3, 2), 5);
    EXPECT_EQ(ln(3, 3), 0);
    EXPECT_TRUE(has_line(r->summary(), "     - Maximum Lane number    =         5"));
    EXPECT_TRUE(has_line(r->summary(), "     - Maximum link number    =         3"));
}

TEST(LinkFile, MoreLanesThanTheTablesHoldIsFatal) {
    std::vector<Link20> ls;
    for (int n = 1; n <= 1286; ++n) { // 1286 x 7 = 9002 lanes
        Link20 l = link(n, 1, 2);
        l.lanes = 7;
        ls.push_back(l);
    }
    auto r = read_links(link_file(ls));
    EXPECT_EQ(r->codes(2), std::vector<int>{121130});
    EXPECT_TRUE(contains(r->log(), "exceeds max.=        9000"));
    EXPECT_EQ(r->s.lanexch.lannum(1, 1), 0);
    EXPECT_GT(r->s.errcount.errt1, 0);
}

TEST(LinkFile, NamesFollowTheirRecords) {
    std::string t = "names\n4 1 1 1 1 1\n"
                    "12 1 2 1 60 1800 1 0 40 120 0 0 0 0 0 0 0 0 0 0 Main St\n"
                    "13,2,3,1,60,1800,1,0,40,120,0,0,0,0,0,0,0,0,0,0, Oak Avenue\n"
                    "14 3 4 1 60 1800 1 0 40 120\n"
                    "   0 0 0 0 0 0 0 0 0 0 5th Street\n"
                    "15 4 5 1 60 1800 1 0 40 120 0 0 0 0 0 0 0 0 0 0\n";
    auto        r = read_links(t);
    ASSERT_EQ(r->s.errcount.errt1, 0) << r->log();
    EXPECT_EQ(r->s.link5.linkname(12), "Main St");
    EXPECT_EQ(r->s.link5.linkname(13), "Oak Avenue");
    EXPECT_EQ(r->s.link5.linkname(14), "5th Street");
    EXPECT_EQ(r->s.link5.linkname(15), "");
    EXPECT_EQ(r->s.pathnam.filuse[2], 1);
}

TEST(LinkFile, GetnameCutsTheNameOutOfALine) {
    NetRun      r;
    std::string name;
    getname(r.s, "12 1 2 1.5 -60 +1800  Main St", name);
    EXPECT_EQ(name, "Main St");
    getname(r.s, "12,1,2", name);
    EXPECT_EQ(name, ",1,2");
    getname(r.s, "12 1 2 3", name);
    EXPECT_EQ(name, "");
    getname(r.s, "1 " + std::string(60, 'x'), name);
    EXPECT_EQ(name, std::string(40, 'x'));
}

TEST(LinkFile, ABatchRunKeepsNoLinkOfTheRunBefore) {
    NetRun r;
    Link20 a = link(9, 1, 2);
    a.sig = 3;
    a.ph1 = 1;
    a.b1 = -4;
    r.s.units.put_file("a.dat", link_file({link(1, 1, 2), a}));
    r.s.units.put_file("b.dat", link_file({link(1, 1, 2), link(2, 2, 3)}));
    read2(r.s, "a.dat");
    read2(r.s, "b.dat");
    EXPECT_EQ(r.s.errcount.errt1, 0) << r.log();
    EXPECT_FLOAT_EQ(r.s.link4.llength(9), kLinkNotCoded);
    EXPECT_EQ(r.s.link3.tsignal(9), 0);
    EXPECT_EQ(r.s.link3.phase(9, 1, 1), 0);
    EXPECT_EQ(r.s.link4.banturn(9, 1, 1), 0);
    EXPECT_EQ(r.s.lanexch.lannum(9, 1), 0);
    EXPECT_EQ(r.s.link2.mlnum, 2);
}

TEST(LinkFile, ShortFileIsADataError) {
    auto r = read_links("t\n3 1 1 1 1 1\n" + link(1, 1, 2).text() + "\n");
    EXPECT_TRUE(contains(r->log(), "ERROR 1022"));
    EXPECT_FALSE(contains(r->summary(), "Fatal Error in Reading"));
    EXPECT_EQ(r->s.errcount.errt1, 1);
}

} // namespace
} // namespace velm
