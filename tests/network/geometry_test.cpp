// Link geometry: lengths, directions, headings and drawing set-backs.
#include "core/network/network.h"
#include "network_fixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velm {
namespace {

using testing_network::NetRun;
using testing_network::put_cross_nodes;
using testing_network::put_link;
using testing_network::put_node;

struct HeadingCase {
    float to_x, to_y; // the to node; the from node is at (0.5, 0.5)
    float ang, len;
};

TEST(Geometry, HeadingsLengthsAndDirections) {
    const HeadingCase cases[] = {
        {1.5f, 0.5f, 0.0f, 1.0f},           {0.5f, 1.5f, 90.0f, 1.0f},
        {-0.5f, 0.5f, 180.0f, 1.0f},        {0.5f, -0.5f, 270.0f, 1.0f},
        {1.5f, -0.5f, 315.0f, 1.41421356f}, {1.5f, 1.5f, 45.0f, 1.41421356f},
        {-0.5f, 1.5f, 135.0f, 1.41421356f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ang);
        NetRun r;
        put_node(r.s, 1, 0.5f, 0.5f);
        put_node(r.s, 2, c.to_x, c.to_y);
        put_link(r.s, 1, 1, 2);
        setxy(r.s);
        const auto& g = r.s.graph1;
        EXPECT_NEAR(g.ang(1), c.ang, 1e-3);
        EXPECT_NEAR(g.xylen(1), c.len, 1e-6);
        // The unit vector points from the to node back to the from node.
        EXPECT_NEAR(g.dx(1), (0.5f - c.to_x) / c.len, 1e-6);
        EXPECT_NEAR(g.dy(1), (0.5f - c.to_y) / c.len, 1e-6);
    }
}

TEST(Geometry, CoincidentEndNodesAreReportedAndRepaired) {
    NetRun r;
    put_node(r.s, 1, 2.0f, 2.0f);
    put_node(r.s, 2, 2.0f, 2.0f);
    put_link(r.s, 4, 1, 2);
    r.s.graph1.xylen(4) = 7.0f; // an earlier run's value
    setxy(r.s);
    const auto& g = r.s.graph1;
    EXPECT_FLOAT_EQ(g.dx(4), 1.0f);
    EXPECT_FLOAT_EQ(g.dy(4), 1.0f);
    EXPECT_FLOAT_EQ(g.ang(4), 225.0f);
    EXPECT_FLOAT_EQ(g.xylen(4), 0.001f);
    EXPECT_TRUE(testing_network::has_line(
        r.log(),
        free_line(" on link ", 4, " node from ", 1, " and node to", 2, " have same coordinates ")));
    EXPECT_EQ(r.s.errcount.numerr, 0);
    EXPECT_EQ(r.s.errcount.errt1, 0);
}

TEST(Geometry, AngleOfAxisDirections) {
    NetRun r;
    float  a = 0.0f;
    angle(r.s, 0.0f, 1.0f, a);
    EXPECT_FLOAT_EQ(a, 90.0f);
    angle(r.s, 0.0f, -1.0f, a);
    EXPECT_FLOAT_EQ(a, 270.0f);
    angle(r.s, -1.0f, 0.0f, a);
    EXPECT_FLOAT_EQ(a, 180.0f);
    angle(r.s, 1.0f, 0.0f, a);
    EXPECT_FLOAT_EQ(a, 0.0f);
}

// Runs the geometry steps in the input-phase order.
void build(Sim& s) {
    setxy(s);
    addnfnt(s, 0);
    nodspc(s);
}

TEST(Geometry, SetBacksAtCrossStreets) {
    NetRun r;
    auto&  s = r.s;
    // A 2-lane road west to east through node 2, a 3-lane cross street
    // south to north through node 2.
    put_cross_nodes(s);
    put_link(s, 1, 1, 2, 2);
    put_link(s, 2, 2, 3, 2);
    put_link(s, 3, 4, 2, 3);
    put_link(s, 4, 2, 5, 3);
    build(s);
    ASSERT_EQ(s.errcount.errt1, 0) << r.log();
    EXPECT_EQ(s.graph1.mlanes(1, 2), 4); // 3 lanes of the cross street + 1
    EXPECT_EQ(s.graph1.mlanes(1, 1), 0);
    EXPECT_EQ(s.graph1.mlanes(3, 2), 3); // 2 lanes of the road + 1
    EXPECT_EQ(s.graph1.mlanes(2, 1), 4);
}

TEST(Geometry, StraightRoadHasNoSetBack) {
    NetRun r;
    auto&  s = r.s;
    put_cross_nodes(s);
    put_link(s, 1, 1, 2, 2);
    put_link(s, 2, 2, 3, 2);
    put_link(s, 3, 2, 1, 2);
    put_link(s, 4, 3, 2, 2);
    build(s);
    for (int l = 1; l <= 4; ++l)
        for (int e = 1; e <= 2; ++e) EXPECT_EQ(s.graph1.mlanes(l, e), 0) << l << " " << e;
}

TEST(Geometry, NearlyStraightLinksDoNotCross) {
    // A link leaving at 175 degrees relative (5 degrees off straight on) does
    // not cross; at 165 degrees it does.
    for (float rel : {175.0f, 165.0f}) {
        NetRun     r;
        auto&      s = r.s;
        const auto dev = (180.0f - rel) * 3.14159265f / 180.0f;
        put_node(s, 1, 1, 2);
        put_node(s, 2, 2, 2);
        put_node(s, 3, 2 + std::cos(dev), 2 - std::sin(dev));
        put_link(s, 1, 1, 2, 1);
        put_link(s, 2, 2, 3, 5);
        build(s);
        EXPECT_EQ(s.graph1.mlanes(1, 2), rel > 170.0f ? 0 : 6) << rel;
    }
}

TEST(Geometry, LinkWeightsShareTheNode) {
    NetRun r;
    auto&  s = r.s;
    put_cross_nodes(s);
    put_link(s, 1, 1, 2);
    put_link(s, 2, 3, 2);
    put_link(s, 3, 5, 2);
    put_link(s, 4, 2, 5);
    build(s);
    linkwght(s);
    for (int l = 1; l <= 3; ++l) EXPECT_FLOAT_EQ(s.graph1.lnkwgt(l), 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(s.graph1.lnkwgt(4), 1.0f);
}

} // namespace
} // namespace velm
