// The network input chain in the input-phase order, on the sample network
// and on a hand-made junction with an arterial.
#include "core/network/network.h"
#include "network_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace velm {
namespace {

using testing_network::contains;
using testing_network::fixture;
using testing_network::has_line;
using testing_network::lines_of;
using testing_network::NetRun;

void read_network(Sim& s) {
    read1(s, "nodes.dat");
    checknode(s);
    read2(s, "links.dat");
    setxy(s);
    addnfnt(s, 0);
    nodspc(s);
    oplinval(s);
    linkwght(s);
    checklink(s);
    deflinks(s);
    rdopsgap(s);
}

std::vector<int> linot(const Sim& s, int l) {
    std::vector<int> out;
    for (int i = 1; i <= s.graph1.nlinot(l); ++i) out.push_back(s.graph1.linot(l, i));
    return out;
}

// True when `block` appears in `text` as consecutive whole lines.
bool has_block(const std::string& text, const std::vector<std::string>& block) {
    const auto ls = lines_of(text);
    return std::search(ls.begin(), ls.end(), block.begin(), block.end()) != ls.end();
}

TEST(NetworkInput, SampleNetwork) {
    NetRun r;
    r.s.units.put_file("nodes.dat", fixture("../../../samples/tiny/input/nodes.dat"));
    r.s.units.put_file("links.dat", fixture("../../../samples/tiny/input/links.dat"));
    read_network(r.s);
    EXPECT_EQ(r.s.errcount.errt1, 0) << r.log();
    EXPECT_EQ(r.s.errcount.numerr, 0) << r.log();
    EXPECT_EQ(r.s.link2.mlnum, 6);
    EXPECT_EQ(r.s.lanexch.lannum(6, 1), 8);
    EXPECT_EQ(r.s.link5.linkname(2), "Main St east");
    EXPECT_EQ(linot(r.s, 2), std::vector<int>{3});
    EXPECT_EQ(r.s.pathnam.filuse[1], 1);
    EXPECT_EQ(r.s.pathnam.filuse[2], 1);
}

class Junction : public ::testing::Test {
  protected:
    void SetUp() override {
        r.s.units.put_file("nodes.dat", fixture("junction_nodes.dat"));
        r.s.units.put_file("links.dat", fixture("junction_links.dat"));
        read_network(r.s);
        ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
        ASSERT_EQ(r.s.errcount.numerr, 0) << r.log();
    }
    NetRun r;
};

TEST_F(Junction, SummaryEchoesNodesAndLinks) {
    const std::string sum = r.summary();
    EXPECT_TRUE(
        has_block(sum, {free_line("  b. Analysis of Node Type Totals  "),
                        free_line("     - Number origin and destinations=", 4),
                        free_line("     - Number destinations only      =", 0),
                        free_line("     - Number origin only            =", 0),
                        free_line("     - Number nodes only             =", 7),
                        free_line("     - Number of invalid nodes       =", 0), free_line("  "),
                        free_line("     - Number of CMS coded nodes     =", 1)}))
        << sum;
    EXPECT_TRUE(has_block(sum, {"     - Number of links        =       -20",
                                free_line("         File 2 in 4 phases per link format ")}));
    EXPECT_TRUE(has_block(
        sum,
        {"     - Maximum link number    =        22", "     - Maximum Lane number    =        33",
         free_line("  "), "     - Number signalized links=         4",
         "     - Number of stop signs   =         1", "     - Number of yield signs  =         1",
         free_line("  "), "     - Number of HOV links    =         1",
         "     - Links surveillanced    =         1", "     - Number of banned turns =         1",
         "     - Number of opposed links=         0", free_line("  "),
         "     - Number of dummy links  =         8", free_line("  ")}))
        << sum;
    EXPECT_TRUE(has_line(sum, free_line("     - Total Network Length (km)           ", 16.0f)));
    EXPECT_TRUE(has_line(sum, free_line("     - Number Network Vehicle Spots Needed ", 3390)));
    EXPECT_TRUE(contains(sum, " 1. Open Node/Zone Coordinates File: "));
    EXPECT_TRUE(contains(sum, "     - Four-legged signalised junction with"));
}

TEST_F(Junction, TurnsAtTheJunction) {
    // West approach heading east: every exit but the U-turn back west.
    EXPECT_EQ(linot(r.s, 11), (std::vector<int>{14, 16, 18}));
    // South approach: the left turn into the west exit is banned for good.
    EXPECT_EQ(linot(r.s, 17), (std::vector<int>{-12, 14, 16}));
    // North approach: its left turn east is banned from 7 to 9 o'clock.
    EXPECT_EQ(linot(r.s, 15), (std::vector<int>{12, 14, 18}));
    addnfnt(r.s, 25200);
    EXPECT_EQ(linot(r.s, 15), (std::vector<int>{12, -14, 18}));
    addnfnt(r.s, 32400);
    EXPECT_EQ(linot(r.s, 15), (std::vector<int>{12, 14, 18}));
    EXPECT_EQ(r.s.graph1.nlinto(10), 4);
    EXPECT_EQ(r.s.graph1.mlanes(11, 2), 3);
    EXPECT_FLOAT_EQ(r.s.graph1.lnkwgt(11), 0.25f);
}

TEST_F(Junction, ControlPhasesAndOpposition) {
    const auto& s = r.s;
    EXPECT_EQ(s.link3.phase(11, 1, 2), 11);
    EXPECT_EQ(s.link3.phase(11, 1, 3), 11000);
    EXPECT_EQ(s.link3.phase(11, 2, 2), 100);
    EXPECT_EQ(s.link3.phase(11, 2, 3), 1000);
    EXPECT_EQ(s.opsgap.stopsign(11), kSignalised);
    EXPECT_EQ(s.opsgap.stopsign(20), kYieldSign);
    EXPECT_EQ(s.opsgap.stopsign(22), kStopSign);
    EXPECT_EQ(s.link1.opslin(20, 1), 14);
    EXPECT_EQ(s.link1.opsgap(20, 1), 350);
    EXPECT_EQ(s.link1.opsgap(20, 2), 6000);
    EXPECT_EQ(s.link1.opslin(11, 1), 13);
    EXPECT_EQ(s.link1.opslin(11, 2), 15);
    EXPECT_EQ(s.link1.opslin(11, 3), 17);
    EXPECT_EQ(s.link1.opsgap(11, 1), 450);
    EXPECT_EQ(s.link1.nulans(21), 3);
    EXPECT_EQ(s.link1.addlin(21), -1);
    EXPECT_EQ(s.link1.hov(21, 5), 1);
    EXPECT_EQ(s.link1.surv(19, 1), 1);
    EXPECT_EQ(s.link1.zoncon(1), 1);
    EXPECT_FLOAT_EQ(s.link4.freespd(1), 40.0f);
    EXPECT_EQ(s.graph1.uturn(15), 1);
    EXPECT_FLOAT_EQ(s.graph1.cms(16), 0.75f);
    EXPECT_EQ(s.link5.linkname(22), "Arterial west 1");
    EXPECT_EQ(s.link2.amaxq(21), 330);
}

} // namespace
} // namespace velm
