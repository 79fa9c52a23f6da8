// The summaries of the summary output over links: level-of-service grades of
// the report groups, the link flow summary with its network totals, and the
// incident summary. Expected lines are written out from the record layouts.
#include "core/reports/reports.h"

#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

using support::contains;
using support::count_of;
using support::has_line;
using support::lines_of;
using support::MemoryRun;

// --- level of service ----------------------------------------------------

// A freeway link k: length km, lanes, and what left it in the period.
void freeway_link(Sim& s, int k, float km, int lanes, float flow, float time, float fretim) {
    s.link4.llength(k) = km;
    s.link1.nulans(k) = lanes;
    s.delay.fretim(k) = fretim;
    s.los.flow_los(k) = flow;
    s.los.time_los(k) = time;
}

// An arterial link k: what left it and the free-flow time, so that its mean
// delay is (time - flow x fretim) / flow.
void approach_link(Sim& s, int k, float flow, float time, float fretim) {
    s.link4.llength(k) = 0.3f;
    s.delay.fretim(k) = fretim;
    s.los.flow_los(k) = flow;
    s.los.time_los(k) = time;
}

void freeway_group(Sim& s, int g, std::vector<int> links) {
    s.los.lostyp(g) = kLosFreeway;
    s.los.n_los_lk(g) = static_cast<int>(links.size());
    for (std::size_t j = 0; j < links.size(); ++j)
        s.los.los_lk(g, static_cast<int>(j) + 1) = links[j];
}

void arterial_group(Sim& s, int g, std::vector<std::vector<int>> approaches) {
    s.los.lostyp(g) = kLosArterial;
    s.los.n_los_lk(g) = static_cast<int>(approaches.size());
    for (std::size_t a = 0; a < approaches.size(); ++a) {
        const int ai = static_cast<int>(a) + 1;
        s.los.numlk(g, ai) = static_cast<int>(approaches[a].size());
        for (std::size_t j = 0; j < approaches[a].size(); ++j)
            s.los.los_ap(g, ai, static_cast<int>(j) + 1) = approaches[a][j];
    }
}

// The group lines of the summary (those after the column heading).
std::vector<std::string> group_lines(const std::string& summary) {
    std::vector<std::string> out;
    bool                     in = false;
    for (const auto& l : lines_of(summary)) {
        if (in) out.push_back(l);
        if (l == " Group     Type    # Links   LOS  MOE1  MOE2  ") in = true;
    }
    return out;
}

TEST(LevelOfService, WithoutGroupsNothingIsWrittenOrCleared) {
    MemoryRun r;
    r.s.los.flow_los(3) = 12.0f;
    r.s.los.time_los(3) = 340.0f;
    lossum(r.s, 300);
    EXPECT_EQ(r.summary(), "");
    EXPECT_EQ(r.s.los.flow_los(3), 12.0f);
    EXPECT_EQ(r.s.los.time_los(3), 340.0f);
}

// Heading, a freeway section with one empty link, an intersection whose
// approaches weigh by their mean link flow, and a group of another type that
// is left out; every count is zero afterwards.
TEST(LevelOfService, GroupLinesHeadingAndClearedCounts) {
    MemoryRun r;
    Sim&      s = r.s;
    s.control.t10 = 3000; // 5 minutes
    s.los.nlos = 3;
    // Link 1: 50 vehicles in 300 s on 2 lanes, 30 s each over 0.5 km: 300
    // veh/h/lane at 60 km/h, density 5. Link 2 carried nothing.
    freeway_link(s, 1, 0.5f, -2, 50.0f, 1500.0f, 25.0f);
    freeway_link(s, 2, 1.0f, 3, 0.0f, 0.0f, 40.0f);
    freeway_group(s, 1, {1, 2});
    // Approach 1: links of 600 vehicles (12 s delay) and 300 (6 s), flow
    // 450; approach 2: 150 vehicles, 4 s. (18 x 450 + 4 x 150) / 600 = 14.5.
    approach_link(s, 3, 600.0f, 600.0f * 22.0f, 10.0f);
    approach_link(s, 4, 300.0f, 300.0f * 16.0f, 10.0f);
    approach_link(s, 5, 150.0f, 150.0f * 9.0f, 5.0f);
    arterial_group(s, 2, {{3, 4}, {5}});
    s.los.lostyp(3) = 4;
    s.los.n_los_lk(3) = 1;
    s.los.los_lk(3, 1) = 5;
    lossum(s, -300);

    const auto                     lines = lines_of(r.summary());
    const std::vector<std::string> heading{"      ",
                                           "      ",
                                           " LOS SUMMARIES AT TIME:     5 minutes",
                                           "",
                                           " Arterial: MOE1 - Average delay (s/veh)       ",
                                           " Freeway : MOE1 - Density (veh/km/lane)       ",
                                           "           MOE2 - Speed (km/h)                ",
                                           "",
                                           "============================================= ",
                                           " Group     Type    # Links   LOS  MOE1  MOE2  "};
    ASSERT_GE(lines.size(), heading.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 10), heading);
    // Density (5 + 0) / 2, speed (60 + 0) / 2: the empty link still counts.
    EXPECT_EQ(group_lines(r.summary()),
              (std::vector<std::string>{"    1         1         2      A   2.5  30.0",
                                        "    2         2         2      B  14.5"}));
    for (int k = 1; k <= 5; ++k) {
        EXPECT_EQ(s.los.flow_los(k), 0.0f) << k;
        EXPECT_EQ(s.los.time_los(k), 0.0f) << k;
    }
    EXPECT_EQ(r.log(), "");
}

// The grade bands: a value on a bound takes the better grade.
TEST(LevelOfService, GradesOnAndAboveTheirBounds) {
    struct Case {
        float density; // veh/km/lane
        char  grade;
    } const densities[] = {{6.25f, 'A'}, {6.26f, 'B'}, {10.0f, 'B'}, {15.0f, 'C'},
                           {20.0f, 'D'}, {25.0f, 'E'}, {26.9f, 'F'}, {0.0f, 'A'}};
    for (const auto& c : densities) {
        MemoryRun r;
        r.s.los.nlos = 1;
        // 25 vehicles on one lane in 16 s: 5625 veh/h; 1 km each in 100 s at
        // 6.25 veh/km: time scaled to the wanted density.
        freeway_link(r.s, 1, 1.0f, 1, c.density > 0.0f ? 25.0f : 0.0f,
                     c.density > 0.0f ? 100.0f * c.density / 6.25f : 0.0f, 30.0f);
        freeway_group(r.s, 1, {1});
        lossum(r.s, 16);
        const auto g = group_lines(r.summary());
        ASSERT_EQ(g.size(), 1u) << c.density;
        EXPECT_EQ(g[0][31], c.grade) << g[0];
    }
    struct Delay {
        float delay; // s/veh
        char  grade;
    } const delays[] = {{10.0f, 'A'}, {10.1f, 'B'}, {20.0f, 'B'}, {35.0f, 'C'},
                        {55.0f, 'D'}, {80.0f, 'E'}, {80.1f, 'F'}};
    for (const auto& c : delays) {
        MemoryRun r;
        r.s.los.nlos = 1;
        approach_link(r.s, 1, 1.0f, c.delay, 0.0f);
        arterial_group(r.s, 1, {{1}});
        lossum(r.s, 300);
        const auto g = group_lines(r.summary());
        ASSERT_EQ(g.size(), 1u) << c.delay;
        EXPECT_EQ(g[0][31], c.grade) << g[0];
        EXPECT_EQ(g[0].substr(32), fmt_f(c.delay, 6, 1)) << g[0];
    }
}

// A group without links, and an approach without links, divide by nothing:
// the group shows 0.0 and grade A (or the delay of its other approaches),
// and the run log names each once however many reports follow.
TEST(LevelOfService, GroupsAndApproachesWithoutLinksAreNamedOnce) {
    MemoryRun r;
    Sim&      s = r.s;
    s.los.nlos = 4;
    freeway_group(s, 1, {});
    arterial_group(s, 2, {});
    arterial_group(s, 3, {{}, {}});
    approach_link(s, 7, 10.0f, 10.0f * 30.0f, 5.0f);
    arterial_group(s, 4, {{}, {7}});
    for (int report = 0; report < 2; ++report) {
        approach_link(s, 7, 10.0f, 10.0f * 30.0f, 5.0f);
        lossum(s, 300);
    }
    const std::vector<std::string> once{
        "    1         1         0      A   0.0   0.0", "    2         2         0      A   0.0",
        "    3         2         2      A   0.0", "    4         2         2      C  25.0"};
    EXPECT_EQ(count_of(r.summary(), " LOS SUMMARIES AT TIME:"), 2);
    EXPECT_EQ(group_lines(r.summary()).back(), once.back());
    for (const auto& l : once) EXPECT_EQ(count_of(r.summary(), l + "\n"), 2) << l;
    const std::string log = r.log();
    EXPECT_EQ(count_of(log, "Error      810110"), 4) << log;
    for (int g = 1; g <= 3; ++g)
        EXPECT_TRUE(has_line(log, free_line(" Level-of-service group", g, " Error", 810110,
                                            "- the group has no links: reported as 0.0, grade A")))
            << g << "\n"
            << log;
    EXPECT_TRUE(
        has_line(log, free_line(" Level-of-service group", 4, " Error", 810110, "- approach", 1,
                                " has no links: left out of the group's delay")))
        << log;
}

// --- link flow summary -------------------------------------------------------

// Link 7 of a 15-minute run: 150 vehicles in 6744 s of link time, half the
// ticks green, on three lanes of 1800 veh/h.
void listed_link(Sim& s) {
    s.control.t = 900;
    s.control.t10 = 9000;
    s.link2.mlnum = 8;
    s.link4.io12(7) = 1;
    s.link1.frnode(7) = 1001;
    s.link1.tonode(7) = 1002;
    s.link5.linkname(7) = "Main Street eastbound to Elm Av";
    s.link4.freespd(7) = 50.9f;
    s.link4.lanesat(7) = 1800.7f;
    s.link1.nulans(7) = -3;
    s.link4.llength(7) = 0.4f;
    s.link1.flow(7) = 150;
    s.link1.capout(7) = 666; // ms: 3 lanes of 1800 veh/h
    s.link3.gretim(7) = 4500.0f;
    s.delay.flowt(7) = 6744.0f;
    s.delay.fretim(7) = 28.8f;
    s.link1.stop(7, 1) = 45.6f;
    s.link2.amaxq(7) = 168;
    s.link2.obsmaxq(7) = 23;
    s.link2.ntqu(7) = 5;
    s.set1.totin = 3;
    s.set2.tdemand = 200;
    // Coded but not listed, and listed but not coded: neither shows.
    s.link4.llength(8) = 1.0f;
    s.link1.flow(8) = 99;
    s.link4.io12(3) = 1;
    s.link4.llength(3) = -99999.0f;
}

TEST(LinkSummary, HeadingLinkLineAndNetworkTotals) {
    MemoryRun r;
    listed_link(r.s);
    linksum(r.s);
    // V/C: 36000 x 150 / 9001 = 599.9 veh/h over 3600000 / 666 = 5405.4
    // veh/h at half green: 0.22. Speed 60 veh-km in 1.873 h: 32.0 km/h.
    const std::vector<std::string> expected{
        "",
        " LINK FLOW SUMMARIES AT TIME:   15. minutes",
        "",
        "=======================================================   Link Grn  V/C     "
        "==Travel Time==     Aver Aver    =VEH. ON LINK=",
        " LINK  ===NODES==      LINK          Speed Sat Lane Len   Flow Time Rat     Total "
        "Free Avg     Speed Stops   Max  Max   Cur",
        " (##)  Strt   End      NAME          (kph)(vph) (#)(km)  (vehs) (%) (%)     "
        "(min)(min)(min)    (kph)  (%)    Pos  Obs   Obs",
        std::string(123, '='),
        "    7  1001  1002 Main Street eastboun  50 1800  3 0.40     150  50  22     112.  0.5  "
        "0.7      32.0  30     168   23     5",
        "  ",
        " -Total link travel times =       112.40 veh-min",
        "                          =         1.87 veh-hrs",
        " -Total network travel    =        60.00 veh-km",
        " -Total network length    =         0.40 km",
        "",
        " -Average network speed   =        32.03 km/h",
        " -Link time/demanded trip =         0.56 min",
        " -Distance/demanded trip  =         0.30 km",
        " -Number Invisible veh.   =         3",
        " -Total network stops     =        45.60",
        " -Average network stops   =        30.40 percent"};
    EXPECT_EQ(lines_of(r.summary()), expected);
}

// The green share and V/C columns: no green, no ticks yet, or no capacity
// give V/C 0; a quarter green doubles the half-green figure.
TEST(LinkSummary, GreenShareAndVolumeToCapacity) {
    struct Case {
        const char* what;
        float       gretim;
        int         t;
        int         capout;
        const char* green;
        const char* vc;
        bool        external = false; // indications set once a second
    } const cases[] = {
        {"half the seconds green under external control", 450.0f, 900, 666, " 50", " 22", true},
        {"always green under external control", 900.0f, 900, 666, "100", " 11", true},
        {"never green", 0.0f, 900, 666, "  0", "  0"},
        {"half green", 4500.0f, 900, 666, " 50", " 22"},
        {"a quarter green", 2250.0f, 900, 666, " 25", " 44"},
        {"always green", 9000.0f, 900, 666, "100", " 11"},
        {"no capacity", 4500.0f, 900, 0, " 50", "  0"},
        {"clock at 0", 4500.0f, 0, 666, "  0", "  0"},
    };
    for (const auto& c : cases) {
        MemoryRun r;
        listed_link(r.s);
        r.s.link3.gretim(7) = c.gretim;
        r.s.control.t = c.t;
        r.s.link1.capout(7) = c.capout;
        r.s.atms.mitrefl(1) = c.external ? 1 : 0;
        linksum(r.s);
        const auto lines = lines_of(r.summary());
        ASSERT_GE(lines.size(), 8u) << c.what;
        EXPECT_EQ(lines[7].substr(64, 3), c.green) << c.what << "\n" << lines[7];
        EXPECT_EQ(lines[7].substr(68, 3), c.vc) << c.what << "\n" << lines[7];
    }
}

// Without trips the per-trip averages are left out; without traffic the
// averages that divide by time or flow show 0.
TEST(LinkSummary, NoTripsNoTraffic) {
    MemoryRun r;
    listed_link(r.s);
    r.s.set2.tdemand = 0;
    r.s.link1.flow(7) = 0;
    r.s.delay.flowt(7) = 0.0f;
    r.s.link1.stop(7, 1) = 0.0f;
    linksum(r.s);
    const std::string out = r.summary();
    EXPECT_FALSE(contains(out, "Average trip")) << out;
    EXPECT_TRUE(has_line(out, " -Average network speed   =         0.00 km/h")) << out;
    EXPECT_TRUE(has_line(out, " -Average network stops   =         0.00 percent")) << out;
    // No vehicle left: the mean link time is the free-flow time, speed 0.
    const auto lines = lines_of(out);
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[7].substr(80, 24), "  0.5  0.5       0.0   0") << lines[7];
}

// --- incident summary --------------------------------------------------------

TEST(IncidentSummary, IncidentLinesWithLaneLossesFiveToALine) {
    MemoryRun r;
    Sim&      s = r.s;
    auto&     inc = s.incident;
    inc.nminc = 2;
    inc.mainc = 3;
    // Incident 1 unused: number 2 keeps its own index.
    inc.lninc(2) = 64;
    inc.stinc(2) = 180;
    inc.eninc(2) = 2100;
    inc.tminc(2) = 1920;
    s.link1.nulans(64) = 2;
    s.link1.frnode(64) = 15;
    s.link1.tonode(64) = 16;
    inc.lane(2, 1) = -1.0f; // closed, long layout
    inc.lane(2, 2) = 0.0f;
    // A seven-lane link, short layout: a third of every lane.
    inc.lninc(3) = 1200;
    inc.stinc(3) = 30;
    inc.eninc(3) = 90;
    inc.tminc(3) = 60;
    s.link1.nulans(1200) = -7;
    s.link1.frnode(1200) = 2996; // the highest node number a network may have
    s.link1.tonode(1200) = 1016;
    for (int j = 1; j <= 7; ++j) inc.lane(3, j) = 1.0f / 3.0f;
    incsum(s);
    const std::vector<std::string> expected{
        "",
        "       SUMMARY OF NETWORK INCIDENTS ",
        "",
        "",
        " INCIDENT  2 on link   64   from   15 to   16",
        " Lane Losses:  1.000 0.000",
        "   start time:   3.0 min   end time  :  35.0 min   duration  :  32.0 min",
        "",
        " INCIDENT  3 on link 1200   from 2996 to 1016",
        " Lane Losses:  0.333 0.333 0.333 0.333 0.333",
        " Lane Losses:  0.333 0.333",
        "   start time:   0.5 min   end time  :   1.5 min   duration  :   1.0 min"};
    EXPECT_EQ(lines_of(r.summary()), expected);
}

TEST(IncidentSummary, NoIncidentsNothingWritten) {
    MemoryRun r;
    r.s.incident.mainc = 1;
    r.s.incident.lninc(1) = 5;
    r.s.link1.nulans(5) = 2;
    incsum(r.s);
    EXPECT_EQ(r.summary(), "");
}

} // namespace
} // namespace velm
