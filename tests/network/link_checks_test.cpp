// The link checks: group order, limits and their boundaries.
#include "core/network/network.h"
#include "network_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace velm {
namespace {

using testing_network::contains;
using testing_network::NetRun;
using testing_network::put_link;
using testing_network::put_node;

// Three nodes and two valid links (1: node 1 to 2, 2: node 2 to 3).
void base(Sim& s) {
    put_node(s, 1, 1, 1);
    put_node(s, 2, 2, 1);
    put_node(s, 3, 3, 1);
    put_link(s, 1, 1, 2, 2);
    put_link(s, 2, 2, 3, 2);
}

// Saturation flow 1800 with the given free speed, speed at capacity and jam
// density on link 1.
std::function<void(Sim&)> densities(float vf, float vc, float kj) {
    return [=](Sim& s) {
        s.link4.lanesat(1) = 1800;
        s.link4.freespd(1) = vf;
        s.link1.spdvol(1, 4) = vc;
        s.link1.spdvol(1, 5) = kj;
    };
}

struct CheckCase {
    const char*               what;
    std::function<void(Sim&)> change;
    int                       code; // 0: passes
    const char*               detail;
};

TEST(LinkChecks, LimitsAndTheirBoundaries) {
    const CheckCase cases[] = {
        {"valid network", [](Sim&) {}, 0, ""},
        {"from node not coded", [](Sim& s) { s.link1.frnode(2) = 9; }, 122210,
         " starts at node=           9  which has not been coded in node file"},
        {"to node outside the table", [](Sim& s) { s.link1.tonode(2) = 5000; }, 122220,
         " which has not been coded in node file"},
        {"a loop link", [](Sim& s) { s.link1.tonode(2) = 2; }, 122230,
         " which is the same as from node"},
        {"opposed by a link beyond 4487", [](Sim& s) { s.link1.opslin(1, 3) = 4488; }, 122250,
         " is opposed by=        4488"},
        {"opposed by a link not coded", [](Sim& s) { s.link1.opslin(1, 2) = 6; }, 122260,
         " which is does not exist "},
        {"opposed by a negative entry", [](Sim& s) { s.link1.opslin(1, 2) = -600; }, 122540,
         "Link=           1  is opposed by=        -600"},
        {"2 lanes on 0.019 km", [](Sim& s) { s.link4.llength(1) = 0.019f; }, 122310,
         " Link=     1 has length=    0.019 which is less than:    0.020"},
        {"2 lanes on 0.02 km", [](Sim& s) { s.link4.llength(1) = 0.02f; }, 0, ""},
        {"free speed 0.9", [](Sim& s) { s.link4.freespd(1) = 0.9f; }, 122410, " has speed="},
        {"free speed 200.5", [](Sim& s) { s.link4.freespd(1) = 200.5f; }, 122420,
         " which is greater than:"},
        {"speed at capacity 0.5", [](Sim& s) { s.link1.spdvol(1, 4) = 0.5f; }, 122410,
         " has speed at capacity ="},
        {"speed at capacity = free speed", [](Sim& s) { s.link1.spdvol(1, 4) = 60.0f; }, 122420,
         "  (free speed of link) "},
        {"speed at capacity just below", [](Sim& s) { s.link1.spdvol(1, 4) = 59.9f; }, 0, ""},
        {"saturation flow 99", [](Sim& s) { s.link4.lanesat(1) = 99.0f; }, 122450,
         " has lane sat flow="},
        {"saturation flow 10001", [](Sim& s) { s.link4.lanesat(1) = 10001.0f; }, 122460,
         " veh/h/lane "},
        {"dispersion 0.3", [](Sim& s) { s.link4.pltdsp(1, 1) = 0.3f; }, 0, ""},
        {"dispersion 0.31", [](Sim& s) { s.link4.pltdsp(1, 1) = 0.31f; }, 122490,
         " has a speed COV ="},
        {"dispersion -0.31", [](Sim& s) { s.link4.pltdsp(1, 1) = -0.31f; }, 122495,
         " which is less than:"},
        {"8 lanes", [](Sim& s) { s.link1.nulans(1) = 8; }, 122520, " lanes "},
        {"jam density below density at capacity", densities(80, 60, 29), 122410,
         " which is less density at cap ="},
        {"jam density 300 fails the 250 limit first", densities(80, 60, 300), 122420,
         " which should not exceed:"},
        {"jam density 150", densities(80, 60, 150), 0, ""},
        {"jam density ten times density at capacity", densities(100, 90, 200), 122430,
         " which should not be 10 times den at cap:"},
        {"signal 501", [](Sim& s) { s.link3.tsignal(1) = 501; }, 122560,
         " which is greater than array maximum= "},
        {"control code 10004", [](Sim& s) { s.link3.tsignal(1) = 10004; }, 122560,
         " which is greater than absolute max:"},
        {"yield sign", [](Sim& s) { s.link3.tsignal(1) = 10002; }, 0, ""},
        {"stop sign without a phase", [](Sim& s) { s.link3.tsignal(1) = 10001; }, 0, ""},
        {"control code 10000", [](Sim& s) { s.link3.tsignal(1) = 10000; }, 122570,
         " has control code="},
        {"control code 10003", [](Sim& s) { s.link3.tsignal(1) = 10003; }, 122570,
         " has control code="},
        {"signal without a first phase", [](Sim& s) { s.link3.tsignal(1) = 12; }, 122580,
         " which is not legal if a signal is coded "},
        {"negative signal without a first phase", [](Sim& s) { s.link3.tsignal(1) = -12; }, 122580,
         " which is not legal if a signal is coded "},
        {"phase 7",
         [](Sim& s) {
             s.link3.tsignal(1) = 12;
             s.link3.phase(1, 1, 1) = 1;
             s.link3.phase(1, 3, 1) = -7;
         },
         122590, " which is greater than:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        NetRun r;
        base(r.s);
        c.change(r.s);
        checklink(r.s);
        const auto codes = r.codes(2);
        if (c.code == 0) {
            EXPECT_TRUE(codes.empty()) << r.log();
            EXPECT_EQ(r.s.errcount.errt1, 0);
            continue;
        }
        EXPECT_EQ(codes, std::vector<int>{c.code}) << r.log();
        EXPECT_TRUE(contains(r.log(), c.detail)) << r.log();
        EXPECT_EQ(r.s.errcount.numerr, 1);
        EXPECT_EQ(r.s.errcount.errt1, 1);
    }
}

TEST(LinkChecks, GroupsRunInOrderOverAllLinks) {
    // A bad end node on link 900 and a free speed of 0.5 km/h on link 3: the
    // end-node group is checked over every link first.
    NetRun r;
    base(r.s);
    put_link(r.s, 3, 1, 3, 1);
    put_link(r.s, 900, 3, 77, 1);
    r.s.link4.freespd(3) = 0.5f;
    checklink(r.s);
    EXPECT_EQ(r.codes(2), std::vector<int>{122220});
    EXPECT_TRUE(contains(r.log(), "Link=         900"));
}

TEST(LinkChecks, LinksNotCodedAreSkipped) {
    NetRun r;
    base(r.s);
    put_link(r.s, 5, 0, 0, 0);
    r.s.link4.llength(5) = kLinkNotCoded;
    checklink(r.s);
    EXPECT_TRUE(r.codes(2).empty()) << r.log();
}

TEST(LinkChecks, CoincidentEndNodesAreAWarningThatMovesTheToNode) {
    NetRun r;
    base(r.s);
    put_node(r.s, 4, 3.0005f, 1.0f);
    put_link(r.s, 3, 3, 4, 1, 0.5f);
    put_link(r.s, 4, 4, 1, 1, 0.5f);
    checklink(r.s);
    EXPECT_EQ(r.codes(2), std::vector<int>{122820});
    EXPECT_TRUE(contains(r.log(), " has identical to and from coordinates "));
    EXPECT_EQ(r.s.errcount.numerr, 1);
    EXPECT_EQ(r.s.errcount.errt1, 0);
    EXPECT_FLOAT_EQ(r.s.graph1.x(4), 3.0015f);
    EXPECT_FLOAT_EQ(r.s.graph1.x(3), 3.0f);
}

} // namespace
} // namespace velm
