// Node-link topology and timed turn bans.
#include "core/network/network.h"
#include "network_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace velm {
namespace {

using testing_network::contains;
using testing_network::has_line;
using testing_network::NetRun;
using testing_network::put_cross_nodes;
using testing_network::put_link;
using testing_network::put_node;

std::vector<int> list_of(const Array2<int>& a, const Array1<int>& n, int row) {
    std::vector<int> out;
    for (int i = 1; i <= n(row); ++i) out.push_back(a(row, i));
    return out;
}
std::vector<int> linot(const Sim& s, int l) {
    return list_of(s.graph1.linot, s.graph1.nlinot, l);
}
std::vector<int> linin(const Sim& s, int l) {
    return list_of(s.graph1.linin, s.graph1.nlinin, l);
}

TEST(Topology, EightLinksIntoANodeAreTooMany) {
    NetRun r;
    put_node(r.s, 40, 5, 5);
    for (int l = 1; l <= 8; ++l) {
        const float a = 0.7f * static_cast<float>(l);
        put_node(r.s, l, 5 + std::cos(a), 5 + std::sin(a));
        put_link(r.s, 10 + l, l, 40);
    }
    setxy(r.s);
    addnfnt(r.s, 0);
    EXPECT_EQ(r.s.errcount.errt1, 1);
    EXPECT_EQ(r.s.errcount.numerr, 0);
    EXPECT_TRUE(has_line(
        r.log(), free_line(" Number of links into", 40, "exceeds maximum of ", 7, " at link", 18)))
        << r.log();
    EXPECT_EQ(r.s.graph1.nlinto(40), 7);
}

TEST(Topology, InvalidEndNodeStopsTheIncidence) {
    NetRun r;
    put_node(r.s, 1, 1, 1);
    put_link(r.s, 3, 1, 0);
    addnfnt(r.s, 0);
    EXPECT_EQ(r.s.errcount.errt1, 1);
    EXPECT_TRUE(has_line(r.log(), free_line(" Link", 3, "into", 0, " which is invalid")));
}

TEST(Topology, ParallelLinksAreNamedInOrder) {
    NetRun r;
    put_node(r.s, 10, 1, 1);
    put_node(r.s, 20, 2, 1);
    put_link(r.s, 5, 10, 20);
    put_link(r.s, 9, 10, 20);
    setxy(r.s);
    addnfnt(r.s, 0);
    EXPECT_EQ(r.s.errcount.errt1, 1);
    EXPECT_TRUE(has_line(r.log(), free_line(" link ", 5, " has same start-end nodes as link ", 9)));
    EXPECT_TRUE(contains(r.log(), " no 2 links should share same start-end nodes"));
    // The connection lists are built before the parallel-link test.
    EXPECT_EQ(r.s.graph1.nlinin(5), 0);
}

TEST(Topology, UTurnsFollowTheDownstreamNodeFlag) {
    // Links 1 (node 1 to 2, heading 90) and 2 (node 2 to 1, heading 270).
    for (int uturn : {-1, 1}) {
        NetRun r;
        put_node(r.s, 1, 1, 1);
        put_node(r.s, 2, 1, 2);
        r.s.graph1.uturn(2) = uturn;
        put_link(r.s, 1, 1, 2);
        put_link(r.s, 2, 2, 1);
        setxy(r.s);
        addnfnt(r.s, 0);
        ASSERT_EQ(r.s.errcount.errt1, 0);
        EXPECT_TRUE(linot(r.s, 1).empty());
        EXPECT_EQ(linin(r.s, 1), uturn == 1 ? std::vector<int>{2} : std::vector<int>{});
    }
}

TEST(Topology, OnlyTheNarrowUTurnIsCutDownstream) {
    // Downstream links whose heading differs by 179.5 and by 181 degrees.
    NetRun r;
    put_node(r.s, 1, 1, 2);
    put_node(r.s, 2, 2, 2);
    for (int k = 0; k < 2; ++k) {
        const float rel = k == 0 ? 179.5f : 181.0f;
        const float a = rel * 3.14159265f / 180.0f;
        put_node(r.s, 3 + k, 2 + std::cos(a), 2 + std::sin(a));
        put_link(r.s, 3 + k, 2, 3 + k);
    }
    put_link(r.s, 1, 1, 2);
    setxy(r.s);
    addnfnt(r.s, 0);
    EXPECT_EQ(linot(r.s, 1), std::vector<int>{4});
}

TEST(Topology, TimedBanSwitchesOnMinuteBoundaries) {
    NetRun r;
    auto&  s = r.s;
    put_cross_nodes(s);
    put_link(s, 7, 1, 2);
    put_link(s, 12, 2, 3);
    s.link4.banturn(7, 1, 2) = 12;
    s.link4.banturn(7, 2, 2) = 600;
    s.link4.banturn(7, 3, 2) = 1200;
    setxy(s);
    struct Step {
        int t;
        int entry;
    };
    const Step steps[] = {{0, 12}, {540, 12}, {600, -12}, {1140, -12}, {1200, 12}, {1260, 12}};
    for (const auto& st : steps) {
        addnfnt(s, st.t);
        EXPECT_EQ(linot(s, 7), std::vector<int>{st.entry}) << st.t;
        EXPECT_EQ(linin(s, 12), std::vector<int>{st.entry > 0 ? 7 : -7}) << st.t;
    }
    EXPECT_EQ(s.errcount.errt1, 0);
}

TEST(Topology, BanFromTimeZeroIsInForceAtOnce) {
    NetRun r;
    auto&  s = r.s;
    put_cross_nodes(s);
    put_link(s, 1, 1, 2);
    put_link(s, 2, 2, 3);
    put_link(s, 3, 2, 5);
    s.link4.banturn(1, 1, 1) = 3; // permanent
    setxy(s);
    addnfnt(s, 0);
    EXPECT_EQ(linot(s, 1), (std::vector<int>{2, -3}));
    EXPECT_EQ(s.graph1.linto(2, 1), 1);
    EXPECT_EQ(s.graph1.linfr(2, 2), 3);
}

} // namespace
} // namespace velm
