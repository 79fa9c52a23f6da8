// Lane targeting: the segment tables of each link, the per-second segment
// speeds from connected vehicles, each vehicle's expected lane speeds and the
// advised lane with its booked effect, the perception noise, and the reader
// of "ola.dat" with its faults.
#include "core/driver/errors.h"
#include "core/driver/random.h"
#include "core/energy/energy.h"
#include "core/energy/lane_targeting.h"
#include "movement/corridor_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace velm::testing_movement {
namespace {

constexpr int kLink = 1;

// Link 1 with `lanes` lanes and `km` length, free speed `uf`, cut into
// segments of `seg` m; lane targeting on with every class connected.
struct Targeting : MoveRun {
    explicit Targeting(int lanes = 3, float km = 1.0f, float uf = 80.0f, float seg = 300.0f,
                       std::vector<LanePenalty> pen = {}) {
        link(kLink, lanes, km);
        s.link1.spdvol(kLink, 7) = uf;
        auto& lt = s.lane_target;
        lt.lane_tar_enbld = 1;
        lt.mpr = 1.0f;
        for (int k = 1; k <= kClasses; ++k) lt.con_veh_class(k) = 1;
        iniialize_ola(s, seg, pen);
    }
    Segment_data& seg() { return s.lane_target.ola_data[kLink]; }
    float&        speed(int sg, int lane) {
               return seg().s_data[static_cast<std::size_t>(Segment_data::cell(sg, lane))];
    }
    float& delta_v(int sg, int lane) {
        return seg().s_data_delta_v[static_cast<std::size_t>(Segment_data::cell(sg, lane))];
    }
    int& count(int sg, int lane) {
        return seg().car_count[static_cast<std::size_t>(Segment_data::cell(sg, lane))];
    }
    float penalty(int sg, int lane) {
        return seg().s_data_penality[static_cast<std::size_t>(Segment_data::cell(sg, lane))];
    }
    int vehicle(int car, int lane, float pos, float kmh, int cls = 1) {
        const int vid = place(car, kLink, lane, pos);
        s.oddat.vtyp(car) = cls;
        s.vehplot.spd(vid, 2) = kmh;
        return vid;
    }
    // Every cell of every lane at `v` km/h.
    void all_cells(float v) {
        for (int sg = 1; sg <= seg().number_of_segments; ++sg)
            for (int k = 1; k <= kMaxLinkLanes; ++k) speed(sg, k) = v;
    }
};

TEST(LaneTargetSegments, CountAndLengthFollowTheLinkLength) {
    struct Case {
        float km, seg;
        int   segments;
        float length;
        bool  capped;
    };
    for (const Case c :
         {Case{1.0f, 300.0f, 3, 1000.0f / 3.0f, false}, Case{0.25f, 300.0f, 1, 250.0f, false},
          Case{0.3f, 300.0f, 1, 300.0f, false}, Case{0.9f, 300.0f, 3, 300.0f, false},
          Case{120.0f, 300.0f, 300, 400.0f, true}}) {
        SCOPED_TRACE(c.km);
        Targeting r(3, c.km, 80.0f, c.seg);
        EXPECT_EQ(r.seg().number_of_segments, c.segments);
        EXPECT_NEAR(r.seg().individual_segment_length, c.length, 1e-3);
        EXPECT_EQ(r.seg().s_data.size(), static_cast<std::size_t>(c.segments) * kMaxLinkLanes);
        EXPECT_EQ(r.log().find("is cut into") != std::string::npos, c.capped);
    }
}

TEST(LaneTargetSegments, PenaltyMarksTheLastSegmentsOfItsLane) {
    struct Case {
        int              segments;
        std::vector<int> marked; // segments of lane 2 marked
    };
    for (const Case& c : {Case{2, {4, 5}}, Case{9, {1, 2, 3, 4, 5}}, Case{0, {}}}) {
        SCOPED_TRACE(c.segments);
        Targeting r(3, 1.5f, 80.0f, 300.0f, {{kLink, 2, c.segments}});
        ASSERT_EQ(r.seg().number_of_segments, 5);
        for (int sg = 1; sg <= 5; ++sg)
            for (int k = 1; k <= 3; ++k) {
                const bool want =
                    k == 2 && std::find(c.marked.begin(), c.marked.end(), sg) != c.marked.end();
                EXPECT_EQ(r.penalty(sg, k), want ? 1.0f : 0.0f) << sg << " " << k;
            }
    }
}

TEST(LaneTargetSegments, CellSpeedsBlendConnectedVehiclesWithTheFreeSpeed) {
    Targeting r; // 3 segments of 333.33 m, uf 80
    r.vehicle(1, 2, 100.0f, 40.0f);
    r.vehicle(2, 2, 200.0f, 60.0f);
    r.vehicle(3, 1, 150.0f, 10.0f, 2); // class 2 not connected
    r.vehicle(4, 3, 1000.0f, 30.0f);   // at the link end: last segment
    r.vehicle(5, 3, 1010.0f, 30.0f);   // past it
    r.vehicle(6, 1, 500.0f, 100.0f);   // faster than uf: held to uf
    r.s.lane_target.con_veh_class(2) = 0;
    r.delta_v(1, 1) = 5.0f;
    calc_seg_lane_speed(r.s);
    EXPECT_FLOAT_EQ(r.speed(1, 2), 74.0f); // min(0.8 x 80 + 0.2 x 50, 80)
    EXPECT_EQ(r.count(1, 2), 2);
    EXPECT_FLOAT_EQ(r.speed(1, 1), 80.0f); // only the class-2 vehicle
    EXPECT_EQ(r.count(1, 1), 0);
    EXPECT_FLOAT_EQ(r.speed(3, 3), 0.8f * 80.0f + 0.2f * 30.0f);
    EXPECT_EQ(r.count(3, 3), 2);
    EXPECT_FLOAT_EQ(r.speed(2, 1), 80.0f);
    EXPECT_FLOAT_EQ(r.speed(2, 3), 80.0f); // empty cell
    EXPECT_FLOAT_EQ(r.delta_v(1, 1), 0.0f);

    // Everyone gone: every cell back to uf, counts cleared.
    for (int car = 1; car <= 6; ++car) r.finish(car, kLink);
    calc_seg_lane_speed(r.s);
    for (int sg = 1; sg <= 3; ++sg)
        for (int k = 1; k <= kMaxLinkLanes; ++k) {
            EXPECT_FLOAT_EQ(r.speed(sg, k), 80.0f);
            EXPECT_EQ(r.count(sg, k), 0);
        }
}

// The relation the speed must satisfy: 1/k = c1 + c2/(uf - u) + c3 u.
double spacing_of(double u, double c1, double c2, double c3, double uf) {
    return c1 + c2 / (uf - u) + c3 * u;
}

TEST(LaneTargetSpeedDensity, SpeedSolvesTheLinkRelation) {
    const double uf = 110.0;
    struct Case {
        double c1, c2, c3;
    };
    for (const Case c : {Case{0.006, 0.05, 0.00005}, Case{0.007, 0.1, 0.0}}) {
        for (const double k : {5.0, 20.0, 60.0}) {
            SCOPED_TRACE(c.c3 + k);
            const double u = u_of_k(k, c.c1, c.c2, c.c3, uf);
            ASSERT_TRUE(std::isfinite(u));
            EXPECT_GT(u, 0.0);
            EXPECT_LT(u, uf);
            EXPECT_NEAR(spacing_of(u, c.c1, c.c2, c.c3, uf), 1.0 / k, 1e-9);
        }
    }
    EXPECT_EQ(u_of_k(0.009, 0.006, 0.05, 0.00005, uf), uf);
    EXPECT_EQ(u_of_k(0.0, 0.007, 0.1, 0.0, uf), uf);
    // Denser than the jam spacing allows, linear branch: no speed.
    EXPECT_EQ(u_of_k(200.0, 0.007, 0.1, 0.0, uf), 0.0);
    // No real root: no speed.
    EXPECT_EQ(u_of_k(10.0, 0.0, -50.0, 0.001, uf), 0.0);
}

TEST(LaneTargetRecommendation, ExpectationsPickTheBestLaneWithinRange) {
    struct Case {
        const char* name;
        float       lane[3]; // speed of segments 1 and 2 in lanes 1..3
        int         current;
        int         best;
    };
    for (const Case& c : {Case{"lane 2 best", {60, 70, 65}, 1, 2},
                          Case{"tie keeps the lower lane", {70, 70, 65}, 3, 1},
                          Case{"own lane best", {60, 70, 65}, 2, 2}}) {
        SCOPED_TRACE(c.name);
        Targeting r;
        r.all_cells(999.0f); // segment 3 lies beyond range: it must not count
        for (int k = 1; k <= 3; ++k) r.speed(1, k) = r.speed(2, k) = c.lane[k - 1];
        const int vid = r.vehicle(7, c.current, 10.0f, 50.0f);
        compute_u_bar(r.s, kLink, 7);
        for (int k = 1; k <= 3; ++k)
            EXPECT_FLOAT_EQ(r.s.lane_target.lane_speed(7, k), c.lane[k - 1]);
        // A move is booked only when another lane is best.
        const bool moved = c.best != c.current;
        EXPECT_EQ(r.count(1, c.best), moved ? 1 : 0);
        EXPECT_EQ(r.count(1, c.current), moved ? -1 : 0);
        EXPECT_EQ(r.s.oddat.vlan(vid, 1), c.current); // advice only
    }
}

TEST(LaneTargetRecommendation, RangePenaltyAndPredictedChangesShapeTheMean) {
    Targeting r(3, 1.0f, 80.0f, 300.0f, {{kLink, 1, 1}});
    r.s.lane_target.penality_percentage = -0.5f;
    r.all_cells(60.0f);
    r.speed(3, 2) = 10.0f; // beyond range from segment 1
    r.delta_v(2, 3) = -20.0f;
    r.vehicle(7, 2, 0.0f, 50.0f);
    compute_u_bar(r.s, kLink, 7);
    const auto& ls = r.s.lane_target.lane_speed;
    EXPECT_FLOAT_EQ(ls(7, 1), 60.0f); // segment 3 penalised but out of range
    EXPECT_FLOAT_EQ(ls(7, 2), 60.0f);
    EXPECT_FLOAT_EQ(ls(7, 3), 50.0f); // (60 + 40) / 2

    // From segment 2 the penalised segment 3 counts: (60 + 30) / 2 in lane 1,
    // and lane 2's slow segment too.
    r.s.vehplot.dis(r.vid(7), 1) = 400.0f;
    compute_u_bar(r.s, kLink, 7);
    EXPECT_FLOAT_EQ(ls(7, 1), 45.0f);
    EXPECT_FLOAT_EQ(ls(7, 2), 35.0f);
    EXPECT_FLOAT_EQ(ls(7, 3), 50.0f);
}

TEST(LaneTargetRecommendation, SegmentStartingExactlyAtTheRangeCounts) {
    Targeting r(3, 1.0f, 80.0f, 250.0f); // segments start at 0, 250, 500 and 750 m
    ASSERT_EQ(r.seg().number_of_segments, 4);
    r.all_cells(60.0f);
    r.speed(3, 1) = 90.0f;  // 500 m ahead: counts
    r.speed(4, 1) = 500.0f; // 750 m ahead: does not
    r.vehicle(7, 1, 100.0f, 50.0f);
    compute_u_bar(r.s, kLink, 7);
    EXPECT_FLOAT_EQ(r.s.lane_target.lane_speed(7, 1), 70.0f);
}

TEST(LaneTargetRecommendation, LaneFactorsFallWithDistanceFromTheCurrentLane) {
    Targeting r(4);
    r.s.lane_target.lane_diff_wt = 0.1f;
    r.all_cells(60.0f);
    r.vehicle(7, 2, 10.0f, 50.0f);
    compute_u_bar(r.s, kLink, 7);
    const float want[] = {0.9f, 1.0f, 0.9f, 0.8f};
    for (int k = 1; k <= 4; ++k) EXPECT_FLOAT_EQ(r.s.lane_target.ola_fr_factor(7, k), want[k - 1]);
    for (int k = 5; k <= kMaxLinkLanes; ++k) EXPECT_EQ(r.s.lane_target.ola_fr_factor(7, k), 0.0f);
}

TEST(LaneTargetRecommendation, AdvisedMoveBooksSpeedChangesAndCounts) {
    for (const bool traces : {true, false}) {
        SCOPED_TRACE(traces);
        Targeting r;
        r.s.write_traces = traces;
        auto& l1 = r.s.link1;
        l1.spdvol(kLink, 1) = 0.006f;
        l1.spdvol(kLink, 2) = 0.05f;
        l1.spdvol(kLink, 3) = 0.00005f;
        r.s.lane_target.mpr = 0.5f;
        r.all_cells(60.0f);
        r.speed(1, 2) = r.speed(2, 2) = 70.0f;
        r.count(1, 1) = 2; // lane 1 holds the vehicle and one more
        r.count(1, 2) = 1;
        r.delta_v(1, 2) = 3.0f; // replaced, not added to
        r.vehicle(7, 1, 10.0f, 50.0f);
        compute_u_bar(r.s, kLink, 7);

        // Worked by hand: after the move lane 2 holds trunc(2/0.5) = 4 vehicles
        // and lane 1 trunc(1/0.5) = 2 in 333.33 m: 12 and 6 veh/km, against 9
        // before the move in each.
        const double c1 = 0.006f, c2 = 0.05f, c3 = 0.00005f, uf = 80.0;
        const auto   u = [&](double k) {
            const double beta = c1 * k - c3 * uf * k - 1.0;
            return (-beta - std::sqrt(beta * beta - 4.0 * c3 * k * (uf - c2 * k - c1 * uf * k))) /
                   (2.0 * c3 * k);
        };
        const double g = 1000.0 / 3.0;
        const double k12 = 4000.0 / g, k9 = 3000.0 / g, k6 = 2000.0 / g;
        EXPECT_NEAR(r.delta_v(1, 2), u(k12) - u(k9), 1e-3);
        EXPECT_NEAR(r.delta_v(1, 1), u(k6) - u(k9), 1e-3);
        EXPECT_LT(r.delta_v(1, 2), 0.0f);
        EXPECT_GT(r.delta_v(1, 1), 0.0f);
        EXPECT_EQ(r.count(1, 2), 2);
        EXPECT_EQ(r.count(1, 1), 1);

        // The next vehicle in lane 1 sees lane 2 slowed by the booked change.
        r.vehicle(8, 1, 20.0f, 50.0f);
        compute_u_bar(r.s, kLink, 8);
        EXPECT_NEAR(r.s.lane_target.lane_speed(8, 2), 70.0 + (u(k12) - u(k9)) / 2.0, 1e-3);

        // The trace file is written only when asked for; the advice is the same.
        if (!traces) {
            EXPECT_FALSE(r.s.units.exists(kLaneTargetTrace));
            continue;
        }
        const std::string trace = r.s.units.file_text(kLaneTargetTrace);
        EXPECT_NE(trace.find("optimal lane ="), std::string::npos);
        EXPECT_NE(trace.find("count new optimal ="), std::string::npos);
    }
}

TEST(LaneTargetRecommendation, VehicleAtTheLinkEndUsesTheLastSegment) {
    Targeting r;
    r.all_cells(60.0f);
    r.speed(3, 3) = 75.0f;
    r.vehicle(7, 1, 1200.0f, 50.0f);
    compute_u_bar(r.s, kLink, 7);
    EXPECT_FLOAT_EQ(r.s.lane_target.lane_speed(7, 3), 75.0f);
    EXPECT_EQ(r.count(3, 3), 1);
    EXPECT_EQ(r.count(3, 1), -1);
}

TEST(LaneTargetNoise, NormalPairsFromTheirOwnStream) {
    Targeting r;
    EXPECT_EQ(get_random(r.s, 42.5f, 0.0f), 42.5f);
    EXPECT_EQ(get_random(r.s, 42.5f, 0.0f), 42.5f);

    // From the start of a run: the pair of the first two uniforms of seed 6.
    rd_ola(r.s); // no file: the run's start values
    int   seed = 6;
    float u1 = 0, u2 = 0;
    random(seed, u1);
    random(seed, u2);
    const double rad = std::sqrt(-2.0 * std::log(static_cast<double>(u2)));
    const double z1 = rad * std::cos(2.0 * std::numbers::pi * u1),
                 z2 = rad * std::sin(2.0 * std::numbers::pi * u1);
    const float a = get_random(r.s, 100.0f, 0.1f);
    const float b = get_random(r.s, 100.0f, 0.1f);
    EXPECT_NEAR(a, 100.0 + 10.0 * z1, 1e-3);
    EXPECT_NEAR(b, 100.0 + 10.0 * z2, 1e-3);
    EXPECT_NE(a, b);
    const float c = get_random(r.s, 100.0f, 0.1f);

    // The six streams of the run are untouched, and a second run repeats.
    Targeting again;
    rd_ola(again.s);
    EXPECT_EQ(get_random(again.s, 100.0f, 0.1f), a);
    EXPECT_EQ(get_random(again.s, 100.0f, 0.1f), b);
    EXPECT_EQ(get_random(again.s, 100.0f, 0.1f), c);
}

// --- the file -------------------------------------------------------------------

// Link 3 (3 lanes, 1 km) and link 4 (2 lanes, 0.5 km) exist.
struct FileRun : MoveRun {
    FileRun() {
        link(3, 3, 1.0f);
        link(4, 2, 0.5f);
        s.link1.spdvol(3, 7) = s.link1.spdvol(4, 7) = 100.0f;
        s.units.open_write(kUnitSummary, "summary.out");
        s.write_traces = true;
    }
    void read(const std::string& text) {
        s.units.put_file(kLaneTargetFile, text);
        rd_ola(s);
    }
};

// The parameter line: switch, share, segment length and class 1 connected.
std::string params(int on, float mpr, float seg, int acc = 1) {
    return std::to_string(on) + " " + std::to_string(mpr) + " 1 1 500 0 0.0 10 0.05 0.6 0 0.1 0" +
           " 1 0 0 0 0 " + std::to_string(acc) + " 0 " + std::to_string(seg) + "\n";
}

std::string file(const std::string& param_line, const std::string& acc = "3 1\n",
                 const std::string& links = "2\n3\n4\n") {
    return "Lane targeting test\n" + param_line + "1 2 3\n" + acc + "1 -0.2\n3 1 1\nskipped\n" +
           links;
}

TEST(LaneTargetFile, AWholeFileSetsEverything) {
    FileRun r;
    r.read(file(params(1, 0.5f, 300.0f)));
    const auto& lt = r.s.lane_target;
    EXPECT_EQ(lt.lane_tar_enbld, 1);
    EXPECT_FLOAT_EQ(lt.mpr, 0.5f);
    EXPECT_EQ(lt.frequency_of_recommendation, 10);
    EXPECT_FLOAT_EQ(lt.cvs_wght, 0.6f);
    EXPECT_FLOAT_EQ(lt.lane_diff_wt, 0.1f);
    EXPECT_FLOAT_EQ(lt.penality_percentage, -0.2f);
    EXPECT_EQ(lt.con_veh_class(1), 1);
    EXPECT_EQ(lt.con_veh_class(2), 0);
    ASSERT_EQ(lt.rsu_info.size(), 1u);
    EXPECT_EQ(lt.rsu_info[0].v[2], 3);
    EXPECT_EQ(lt.acc_lanes(r.lane_no(3, 1)), 1);
    EXPECT_EQ(lt.acc_lanes(r.lane_no(3, 2)), 0);
    EXPECT_EQ(lt.ola_flag(3), 1);
    EXPECT_EQ(lt.ola_flag(4), 1);
    EXPECT_EQ(lt.ola_flag(2), 0);
    ASSERT_EQ(lt.ola_data.size(), 5u);
    EXPECT_EQ(lt.ola_data[3].number_of_segments, 3);
    EXPECT_EQ(lt.ola_data[3].s_data_penality[Segment_data::cell(3, 1)], 1.0f);
    EXPECT_EQ(lt.ola_data[3].s_data_penality[Segment_data::cell(2, 1)], 0.0f);
    EXPECT_EQ(lt.lane_speed(1, 1), 10.0f);
    EXPECT_EQ(lt.lane_speed(kMaxTrips, kMaxLinkLanes), 10.0f);
    EXPECT_NE(r.summary().find("  Open Lane targeting file:"), std::string::npos);
    EXPECT_NE(r.summary().find("     - Lane targeting test"), std::string::npos);
    EXPECT_NE(r.s.units.file_text(kLaneTargetTrace)
                  .find(free_line("i = ", 1, " Link_ID = ", 3, " lane_id = ", 1, " num_seg = ", 1)),
              std::string::npos);
    EXPECT_EQ(r.s.errcount.numerr, 0);
}

TEST(LaneTargetFile, MissingOrSwitchedOffBuildsNothing) {
    for (const bool present : {false, true}) {
        SCOPED_TRACE(present);
        FileRun r;
        if (present)
            r.read(file(params(0, 0.5f, 300.0f)));
        else
            rd_ola(r.s);
        const auto& lt = r.s.lane_target;
        EXPECT_EQ(lt.lane_tar_enbld, 0);
        EXPECT_TRUE(lt.ola_data.empty());
        calc_seg_lane_speed(r.s); // nothing to update, nothing divided
        compute_u_bar(r.s, 3, 1);
        EXPECT_EQ(r.s.errcount.numerr, 0);
        EXPECT_EQ(r.summary().empty(), !present);
        if (!present) {
            EXPECT_FALSE(r.s.units.exists(kLaneTargetTrace));
        }
    }
}

TEST(LaneTargetFile, ImpossibleValuesAreReportedAndTheRestKept) {
    struct Case {
        const char* name;
        std::string text;
        int         code;
        int         on;
        int         flagged_links;
    };
    const Case cases[] = {
        {"segment length 0", file(params(1, 0.5f, 0.0f)), kErrLaneTargetValues, 0, 2},
        {"share 0", file(params(1, 0.0f, 300.0f)), kErrLaneTargetValues, 0, 2},
        {"link 5000 listed", file(params(1, 0.5f, 300.0f), "3 1\n", "2\n5000\n4\n"),
         kErrLaneTargetRecord, 1, 1},
        {"acceleration lane 3 of a 2-lane link", file(params(1, 0.5f, 300.0f), "4 3\n"),
         kErrLaneTargetRecord, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileRun r;
        r.read(c.text);
        const auto& lt = r.s.lane_target;
        EXPECT_NE(r.log().find(std::to_string(c.code)), std::string::npos) << r.log();
        EXPECT_EQ(r.s.errcount.numerr, 1);
        EXPECT_EQ(lt.lane_tar_enbld, c.on);
        EXPECT_EQ(lt.ola_data.empty(), c.on == 0);
        EXPECT_EQ(lt.ola_flag(3) + lt.ola_flag(4), c.flagged_links);
        EXPECT_FLOAT_EQ(lt.cvs_wght, 0.6f); // read before the fault: kept
        EXPECT_FALSE(r.s.units.is_open(kUnitInput));
    }
}

TEST(LaneTargetFile, UnreadableLineEndsTheRunNamingIt) {
    struct Case {
        const char* name;
        std::string text;
        int         line;
    };
    std::string short_line = params(1, 0.5f, 300.0f);
    short_line = short_line.substr(0, short_line.rfind(' ')) + "\n";
    const Case cases[] = {
        {"parameter line cut short at the end", "title\n" + short_line, 3},
        {"a parameter that is not a number", "title\n1 x" + short_line.substr(1), 2},
        {"link list ends early", file(params(1, 0.5f, 300.0f), "3 1\n", "3\n3\n"), 10},
        {"a penalty record that is not numbers",
         "title\n" + params(1, 0.5f, 300.0f) + "1 2 3\n3 1\n1 0.1\n3 x 1\n", 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FileRun r;
        EXPECT_THROW(r.read(c.text), FatalRunError);
        EXPECT_NE(r.log().find(free_line(std::string(kLaneTargetFile), " Error", kErrLaneTargetRead,
                                         "at line", c.line)),
                  std::string::npos)
            << r.log();
        EXPECT_GE(r.s.errcount.numerr, 1);
        EXPECT_GE(r.s.errcount.errt1, 1);
        EXPECT_FALSE(r.s.units.is_open(kUnitInput));
    }
}

// --- the lane choice of connected vehicles -------------------------------------

// Link 1: 3 lanes, 1 km, free speed 100 km/h, no other vehicle. The subject,
// trip 10 of class 1, drives in lane 2 at 500 m; the lane decision weighs the
// expected lane speeds the test sets (the segment tables are not built, so
// the 5-s update leaves them).
struct Advised : Corridor {
    int subject = 0;
    Advised() {
        road(1, 3, 1.0f, 100.0f, 60.0f, 140.0f, 2000.0f);
        calibrate();
        auto& lt = s.lane_target;
        lt.lane_tar_enbld = 1;
        lt.frequency_of_recommendation = 10;
        lt.con_veh_class(1) = 1;
        lt.ola_flag(1) = 1;
        lt.cvs_wght = 1.0f;
        subject = add(10, 1, 2, 500.0f, 60.0f);
        s.vehicle.dept(10) = 100.0f;
        s.vehicle.carwal(subject, 1) = s.vehicle.carwal(subject, 2) = 1.0f;
        for (int k = 1; k <= kMaxLinkLanes; ++k) lt.ola_fr_factor(10, k) = 1.0f;
    }
    int lane_after(int t) {
        decide(t);
        return s.oddat.vlan(subject, 1);
    }
};

TEST(LaneTargetChoice, ExpectedLaneSpeedsSteerConnectedVehicles) {
    struct Case {
        const char* name;
        float       speed[3]; // expected speed of lanes 1..3
        int         tick;
        int         frequency;
        int         flag;  // the link takes part
        int         cls;   // class of the subject (only 1 is connected)
        bool        accel; // lane 3 is an acceleration lane
        float       factor3;
        int         lane;
    };
    const Case cases[] = {
        {"lane 3 expected fastest", {20, 20, 100}, 100, 10, 1, 1, false, 1.0f, 3},
        {"lane 1 expected fastest", {100, 20, 20}, 100, 10, 1, 1, false, 1.0f, 1},
        {"all lanes alike", {50, 50, 50}, 100, 10, 1, 1, false, 1.0f, 2},
        {"not a recommendation tick", {20, 20, 100}, 100, 30, 1, 1, false, 1.0f, 2},
        {"link does not take part", {20, 20, 100}, 100, 10, 0, 1, false, 1.0f, 2},
        {"class not connected", {20, 20, 100}, 100, 10, 1, 2, false, 1.0f, 2},
        // Half way along its link an acceleration lane is seen at half speed.
        {"acceleration lane at 150", {40, 40, 150}, 100, 10, 1, 1, true, 1.0f, 3},
        {"acceleration lane at 90", {40, 40, 90}, 100, 10, 1, 1, true, 1.0f, 2},
        {"plain lane at 70", {40, 40, 70}, 100, 10, 1, 1, false, 1.0f, 3},
        {"lane factor cuts lane 3", {40, 40, 100}, 100, 10, 1, 1, false, 0.3f, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Advised r;
        auto&   lt = r.s.lane_target;
        lt.frequency_of_recommendation = c.frequency;
        lt.ola_flag(1) = c.flag;
        r.s.oddat.vtyp(10) = c.cls;
        for (int k = 1; k <= 3; ++k) lt.lane_speed(10, k) = c.speed[k - 1];
        lt.ola_fr_factor(10, 3) = c.factor3;
        if (c.accel) lt.acc_lanes(r.lane_no(1, 3)) = 1;
        EXPECT_EQ(r.lane_after(c.tick), c.lane);
    }
}

} // namespace
} // namespace velm::testing_movement
