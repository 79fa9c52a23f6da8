// The plume and travel grids: the cell of a point, the minute roll, the plume
// file's layout and timing, and vehicles whose drawn position is not known.
#include "core/demand/demand.h"
#include "core/energy/energy.h"
#include "core/energy/fuel_coefficients.h"
#include "core/energy/fuel_models.h"
#include "core/energy/grids.h"

#include "support/memory_run.h"
#include "support/text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

using support::lines_of;
using support::MemoryRun;

constexpr char kPlumeFile[] = "plume.u27";

// Window 1 from (-2, 1) to (8, 11) km: cells of 0.1 km.
void window(Sim& s) {
    s.set2.xmin(1) = -2.0f;
    s.set2.xmax(1) = 8.0f;
    s.set2.ymin(1) = 1.0f;
    s.set2.ymax(1) = 11.0f;
}

TEST(GridCell, LeftAndBottomEdgesLieOutsideRightAndTopEdgesInside) {
    MemoryRun run;
    window(run.s);
    const struct {
        const char* what;
        float       x, y;
        int         ix, iy; // 0: outside
    } cases[] = {
        {"left edge", -2.0f, 5.0f, 0, 0},
        {"a hair right of the left edge", -1.9999f, 5.05f, 1, 41},
        {"right edge", 8.0f, 5.05f, 100, 41},
        {"just past the right edge", 8.001f, 5.05f, 0, 0},
        {"bottom edge", 3.05f, 1.0f, 0, 0},
        {"top edge", 3.05f, 11.0f, 51, 100},
        {"a never-drawn marker", -10000.0f, -10000.0f, 0, 0},
        {"far off", 3.0e30f, 5.0f, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        int        ix = -7, iy = -7;
        const bool in = grid_cell(run.s, c.x, c.y, ix, iy);
        EXPECT_EQ(in, c.ix > 0);
        if (c.ix > 0) {
            EXPECT_EQ(ix, c.ix);
            EXPECT_EQ(iy, c.iy);
        }
        // What the cell rule takes in is what plumsum books.
        std::array<float, 5> mg{1.0f, 2.0f, 3.0f, 4.0f, 5.0f};
        const auto&          p = run.s.plume.plume;
        plumsum(run.s, mg, c.x, c.y, 0);
        if (c.ix > 0) {
            EXPECT_EQ(p(c.ix, c.iy, 3, 1), 3.0f);
        }
        run.s.plume.plume.zero();
    }
}

TEST(GridRoll, TheMinuteJustEndedBecomesTheLastAndIsAddedToTheRun) {
    MemoryRun run;
    Sim&      s = run.s;
    window(s);
    const std::array<float, 5> moe{99.0f, 0.5f, 1.0f / 600.0f, 0.01f, 0.0f};
    const std::array<float, 5> mg{10.0f, 20.0f, 30.0f, 40.0f, 50.0f};
    s.plume.plume(3, 3, 2, 4) = 7.0f; // dispersion state from before the run
    plumset(s, 1, 0);
    travelset(s, 1, 0);
    EXPECT_EQ(s.plume.plume(3, 3, 2, 4), 0.0f);
    for (int minute = 1; minute <= 2; ++minute) {
        plumsum(s, mg, 0.0f, 2.0f, 0);
        travelsum(s, 1, moe, 0.0f, 2.0f, 0.0f);
        travelsum(s, 2, moe, 0.0f, 2.0f, 4.0f);
        travelsum(s, 3, moe, 0.0f, 2.0f, 0.25f);
        plumset(s, 2, 60);
        travelset(s, 2, 60);
    }
    plumsum(s, mg, 0.0f, 2.0f, 0); // the minute in progress
    const auto& p = s.plume.plume;
    const auto& tr = s.plume.travel;
    // (0, 2) lies in cell (20, 10).
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(p(20, 10, k, 1), 10.0f * k);
        EXPECT_EQ(p(20, 10, k, 2), 10.0f * k);
        EXPECT_EQ(p(20, 10, k, 3), 20.0f * k);
    }
    EXPECT_EQ(p(20, 10, 4, 3), 0.0f); // pollutant 4 is never filled
    const float per_minute[6] = {0.5f, 1.0f / 600.0f, 0.01f, 0.0f, 4.0f, 0.25f};
    for (int m = 1; m <= 6; ++m) {
        SCOPED_TRACE(m);
        EXPECT_EQ(tr(20, 10, m, 1), 0.0f);
        EXPECT_FLOAT_EQ(tr(20, 10, m, 2), per_minute[m - 1]);
        EXPECT_FLOAT_EQ(tr(20, 10, m, 3), 2.0f * per_minute[m - 1]);
    }
}

// --- the plume file -----------------------------------------------------------

struct PlumeFile : ::testing::Test {
    MemoryRun run;
    Sim&      s = run.s;
    void      SetUp() override {
        window(s);
        s.filenam.files(27) = kPlumeFile;
    }
    std::string text() const { return s.units.file_text(kPlumeFile); }

    // Seconds 0..last the way the run calls the grid: output, roll, then the
    // second's emissions (mg HC of `per_second(t)` in cell (1, 1)); then the
    // closing block.
    template <class F> void run_seconds(int period, int last, F per_second) {
        plumset(s, 1, 0);
        ASSERT_EQ(s.pathnam.filuse[27], 1);
        for (int t = 0; t <= last; ++t) {
            if (t % std::abs(period) == 0) plumwrt(s, t, period, 60);
            if (t % 60 == 0) plumset(s, 2, 60);
            plumsum(s, {per_second(t), 0.0f, 0.0f, 0.0f, 0.0f}, -1.95f, 1.05f, t);
        }
        plumwrt(s, 0, period, 60);
    }
};

// The block labels and where the headers stand: "H" for a header, else the
// label of each block, in file order.
std::vector<std::string> layout(const std::string& text) {
    std::vector<std::string> out;
    const auto               l = lines_of(text);
    std::size_t              i = 0;
    while (i < l.size()) {
        if (l[i] == " Plume dispersion input profile ") {
            out.push_back("H");
            i += 4;
            continue;
        }
        out.push_back(std::to_string(std::stoi(l[i].substr(0, 10))));
        EXPECT_EQ(l[i].substr(10), "         4");
        i += 4401;
    }
    EXPECT_EQ(i, l.size());
    return out;
}

// The value of cell (ix, iy) of pollutant k in the block starting at line b.
double value(const std::vector<std::string>& l, std::size_t b, int k, int iy, int ix) {
    const std::size_t row = b + 1 + static_cast<std::size_t>((k - 1) * 100 + iy - 1) * 11;
    EXPECT_EQ(std::stoi(l[row].substr(0, 10)), k);
    EXPECT_EQ(std::stoi(l[row].substr(10, 10)), iy);
    const std::string& line = l[row + 1 + static_cast<std::size_t>((ix - 1) / 10)];
    EXPECT_EQ(line.size(), 120u);
    return std::stod(line.substr(static_cast<std::size_t>((ix - 1) % 10) * 12, 12));
}

TEST_F(PlumeFile, PositiveRateHeaderFirstBlocksFromZeroAndAClosingHeaderAndBlock) {
    run_seconds(300, 900, [](int) { return 2.0f; });
    const std::string t = text();
    EXPECT_EQ(layout(t), (std::vector<std::string>{"H", "0", "300", "600", "900", "H", "0"}));
    const auto l = lines_of(t);
    EXPECT_EQ(l[1], "         4       100       100       300");
    EXPECT_EQ(l[2], "        60");
    EXPECT_EQ(l[3], "    -2.000     1.000     8.000    11.000");
    // Block at 300: the last minute's 120 mg scaled to 300 s.
    const std::size_t at300 = 4 + 4401;
    EXPECT_DOUBLE_EQ(value(l, at300, 1, 1, 1), 600.0);
    EXPECT_DOUBLE_EQ(value(l, at300, 1, 1, 2), 0.0);
    EXPECT_EQ(value(l, at300, 4, 100, 100), 0.0);
    EXPECT_EQ(value(l, 4, 1, 1, 1), 0.0); // the block at 0 is empty
    EXPECT_NE(t.find(" 0.60000E+03"), std::string::npos);
}

TEST_F(PlumeFile, NegativeRateFirstBlockWithoutHeaderHeaderAtThePeriod) {
    run_seconds(-300, 600, [](int) { return 1.0f; });
    EXPECT_EQ(layout(text()), (std::vector<std::string>{"0", "H", "300", "600", "0"}));
    const auto l = lines_of(text());
    EXPECT_EQ(l[4401 + 1], "         4       100       100      -300");
    EXPECT_DOUBLE_EQ(value(l, 4401 + 4, 1, 1, 1), 300.0);
}

TEST_F(PlumeFile, EachBlockHoldsTheMinuteClosedBeforeItsSecond) {
    // Second t emits as much as its minute's number (1 in seconds 0..59).
    run_seconds(60, 180, [](int t) { return static_cast<float>(t / 60 + 1); });
    const auto        l = lines_of(text());
    const std::size_t first = 4; // block at 0
    // Blocks at 0, 60, 120, 180: 0, then minutes ending before each second.
    EXPECT_EQ(value(l, first, 1, 1, 1), 0.0);
    EXPECT_EQ(value(l, first + 4401, 1, 1, 1), 0.0);
    EXPECT_EQ(value(l, first + 2 * 4401, 1, 1, 1), 60.0);  // seconds 0..59
    EXPECT_EQ(value(l, first + 3 * 4401, 1, 1, 1), 120.0); // seconds 60..119
}

TEST(PlumeSetUp, SlotNamedOrSwitchedOff) {
    const struct {
        const char* name;
        bool        opened;
    } cases[] = {{"none", false}, {"NONE", false}, {"grid.u27", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryRun run;
        Sim&      s = run.s;
        s.filenam.path2 = "out/";
        s.pathnam.lpath[2] = 4;
        s.filenam.files(27) = c.name;
        plumset(s, 1, 0);
        EXPECT_EQ(s.pathnam.filuse[27], c.opened ? 1 : 0);
        EXPECT_EQ(s.units.is_open(27), c.opened);
        const std::string sum = run.summary();
        EXPECT_TRUE(support::has_line(sum, "  27. Plume dispersion output file ")) << sum;
        EXPECT_EQ(support::has_line(sum, "       - plume dispersion file set up "), c.opened)
            << sum;
        EXPECT_EQ(support::has_line(sum, "       - no plume dispersion file set up "), !c.opened);
        EXPECT_EQ(support::contains(sum, "Plume dispersion file =grid.u27"), c.opened) << sum;
        EXPECT_EQ(s.units.exists("out/grid.u27"), c.opened);
    }
}

// --- vehicles whose position is not known ---------------------------------------

// Window 1 reaches below (-1, -1), so the "left its link" sentinel lies
// inside the grid: a vehicle that just moved on must add nothing.
TEST(GridBooking, AVehicleNotDrawnOnItsLinkAddsNoEmissions) {
    MemoryRun run;
    Sim&      s = run.s;
    s.set2.xmin(1) = s.set2.ymin(1) = -3.0f;
    s.set2.xmax(1) = s.set2.ymax(1) = 7.0f;
    init_veh_param(s);
    for (int t = 1; t <= kVehicleTypes; ++t)
        s.fuel.fuelcoef.type(t) = builtin_fuel::coefficients()[static_cast<std::size_t>(t - 1)];
    s.link2.mlnum = 1;
    s.link1.spdvol(1, 7) = 50.0f;
    s.link1.nulans(1) = 1;
    s.link2.ntqu(1) = 2;
    for (int car : {1, 2}) {
        const int vid = car + 10;
        s.vehicle.big(car) = car;
        s.vehindx.vehid(car) = vid;
        s.oddat.vehper2(car) = 1;
        s.oddat.curlnk(vid) = 1;
        s.vehplot.spd(vid, 2) = 30.0f;
        s.vehplot.spd(vid, 4) = 40.0f;
        s.kzcpxm_energy.veh_soc(car) = s.kzcpxm_energy.soc_threshold(car) = -1.0f;
        s.kzcpxm_energy.veh_battery_capacity(car) = -1.0f;
        s.vehplot.xq(vid, 1) = s.vehplot.yq(vid, 1) = -1.0f;
    }
    s.vehplot.drawn(11) = 0; // just moved to this link
    s.vehplot.drawn(12) = 1; // drawn at (-1, -1)
    compfuel(s, 0.0f, 10, 30);
    double booked = 0.0;
    for (int k = 1; k <= 3; ++k) booked += s.plume.plume(20, 20, k, 1);
    double emitted_by_drawn = 0.0;
    for (int k = 2; k <= 4; ++k) emitted_by_drawn += 1000.0 * s.vehicle.envt(2, k);
    EXPECT_GT(s.vehicle.envt(1, 2), 0.0f); // the undrawn one emitted too
    EXPECT_NEAR(booked, emitted_by_drawn, 1e-3 * emitted_by_drawn);
}

} // namespace
} // namespace velm
