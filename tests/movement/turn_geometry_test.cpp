// Relative angles and turn directions of a movement from one link into the
// next, from the two headings.
#include "movement_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace velm {
namespace {

using testing_movement::lines_of;
using testing_movement::MoveRun;

struct TurnCase {
    float from, to; // headings, degrees
    float rel;      // relative angle, 180 = straight on
    int   dir;      // 1 left, 2 through, 3 right
};

TEST(TurnGeometry, RelativeAngleAndDirectionFromTheHeadings) {
    const std::vector<TurnCase> cases = {
        {10, 350, 160, 2}, {350, 10, 200, 2},       {0, 100, 280, 1}, {0, 270, 90, 3},
        {0, 45, 225, 2},   {0, 45.01f, 225.01f, 1}, {0, 315, 135, 2}, {0, 314.9f, 134.9f, 3},
        {90, 90, 180, 2},  {90, 270, 360, 1},       {270, 0, 270, 1}, {359, 0, 181, 2},
    };
    MoveRun r;
    auto&   s = r.s;
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.from << " -> " << c.to);
        s.graph1.ang(1) = c.from;
        s.graph1.ang(2) = c.to;
        float rel = 0.0f;
        int   dir = 0;
        turn_ang(s, kMaxLinks, s.graph1.ang, 1, 2, rel, dir);
        EXPECT_NEAR(rel, c.rel, 1e-3f);
        EXPECT_EQ(dir, c.dir);
        float rel2 = 0.0f;
        crelang2(s, c.from, c.to, rel2);
        EXPECT_EQ(rel2, rel);
        int typ = 0;
        turntype(s, 1, 2, typ, 2, 45);
        EXPECT_EQ(typ, c.dir) << "turntype and turn_ang classify alike";
    }
    EXPECT_EQ(r.log(), "");
}

TEST(TurnGeometry, Crelang1GivesTheHeadingChangeInZeroTo360) {
    const std::vector<TurnCase> cases = {
        {10, 10, 360, 0}, {0, 90, 90, 0}, {90, 0, 270, 0}, {350, 10, 20, 0}, {10, 350, 340, 0}};
    MoveRun r;
    for (const auto& c : cases) {
        float a = 0.0f;
        crelang1(r.s, c.from, c.to, a);
        EXPECT_NEAR(a, c.rel, 1e-3f) << c.from << " -> " << c.to;
    }
}

TEST(TurnGeometry, NoNextLinkIsStraightOn) {
    MoveRun r;
    r.s.graph1.ang(1) = 37.0f;
    for (int ldest : {0, -1, kNextUnknown}) {
        float rel = -1.0f;
        int   dir = -1;
        turn_ang(r.s, kMaxLinks, r.s.graph1.ang, 1, ldest, rel, dir);
        EXPECT_EQ(rel, 180.0f) << ldest;
        EXPECT_EQ(dir, 2) << ldest;
    }
    EXPECT_EQ(r.log(), "");
}

TEST(TurnGeometry, ALinkBeyondTheTableIsReportedAndTakenAsStraightOn) {
    MoveRun r;
    r.s.graph1.ang(3) = 90.0f;
    float rel = -1.0f;
    int   dir = -1;
    turn_ang(r.s, 10, r.s.graph1.ang, 3, 11, rel, dir);
    EXPECT_EQ(rel, 180.0f);
    EXPECT_EQ(dir, 2);
    EXPECT_EQ(lines_of(r.log()), (std::vector<std::string>{
                                     "  Error detected:  from nl=           3  ldest=          11",
                                     std::string(18, ' ') + " this exceeds maximum=          10"}));
}

TEST(TurnGeometry, TurntypeTraceOnRequest) {
    MoveRun r;
    r.s.graph1.ang(4) = 0.0f;
    r.s.graph1.ang(9) = 100.0f;
    int typ = 0;
    turntype(r.s, 4, 9, typ, 1, 45);
    EXPECT_EQ(typ, 1);
    const auto ls = lines_of(r.log());
    ASSERT_EQ(ls.size(), 4u);
    EXPECT_EQ(ls[0], "   ");
    EXPECT_EQ(ls[1], "  link in ot                4           9");
    EXPECT_EQ(ls[3], "  turn type                 1");
}

} // namespace
} // namespace velm
