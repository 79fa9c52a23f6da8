// The plume and travel grids: 100 x 100 cells over the network window that
// collect, per simulated minute, the HC, CO and NOx emitted in each cell and
// six travel and safety measures; the plume grid's output file (slot 27).
#include "core/energy/grids.h"

#include "core/demand/demand_files.h"
#include "core/driver/errors.h"
#include "core/energy/energy.h"
#include "core/io/writers.h"

#include <cmath>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

namespace velm {

namespace {

constexpr float kCellTolerance = 0.99999f; // a point on a cell's upper edge stays in it
constexpr int   kPlumeSpecies = 3;         // HC, CO, NOx
constexpr int   kUnitPlume = kPlumeSlot;
constexpr int   kValuesPerLine = 10;
constexpr float kSecondsPerHourF = 3600.0f;

// Column (or row) 1..100 of coordinate v in [lo, hi], 0 when outside.
int grid_index(float v, float lo, float hi) {
    const float w = hi - lo;
    if (!(w > 0.0f)) return 0;
    const float f = (v - lo) / w * static_cast<float>(kGridCells) + kCellTolerance;
    // Tested as a real first: a far-off point would not fit an integer.
    if (!(f >= 1.0f && f < static_cast<float>(kGridCells + 1))) return 0;
    return static_cast<int>(f);
}

// slot 2 = slot 1, slot 3 += slot 1, slot 1 = 0 for every cell and layer;
// `clear` first clears the slots listed.
void roll(Array4<float>& g, int layers, std::initializer_list<int> clear) {
    for (int k = 1; k <= layers; ++k)
        for (int iy = 1; iy <= kGridCells; ++iy)
            for (int ix = 1; ix <= kGridCells; ++ix) {
                for (int c : clear) g(ix, iy, k, c) = 0.0f;
                const float now = g(ix, iy, k, kGridCurrent);
                g(ix, iy, k, kGridLastMinute) = now;
                g(ix, iy, k, kGridCumulative) += now;
                g(ix, iy, k, kGridCurrent) = 0.0f;
            }
}

bool switched_off(std::string_view name) {
    const std::string_view n = trim_right(name);
    return n == "none" || n == "NONE";
}

void open_plume_file(Sim& s, int tim) {
    auto& u = s.units;
    wfree(u, kUnitSummary, "        ");
    section_heading(u, kUnitSummary, " 27. Plume dispersion output file ");
    wfree(u, kUnitSummary, "     Output interval:", tim, " secs");
    int& used = s.pathnam.filuse[kPlumeSlot];
    used = 0;
    const std::string name(trim_right(slot_name(s.filenam.files(kPlumeSlot))));
    if (!switched_off(name)) {
        wfree(u, kUnitSummary, "    Plume dispersion file =", name);
        const std::string path = output_path(s, name);
        if (u.open_write(kUnitPlume, path))
            used = 1;
        else
            output_not_written(s, path);
    }
    wfree(u, kUnitSummary,
          used == 1 ? "      - plume dispersion file set up "
                    : "      - no plume dispersion file set up ");
}

void write_header(Sim& s, int period, int inter) {
    auto&       u = s.units;
    const auto& e = s.set2;
    u.line(kUnitPlume, " Plume dispersion input profile ");
    u.line(kUnitPlume, fmt_i(kPlumePollutants, 10) + fmt_i(kGridCells, 10) + fmt_i(kGridCells, 10) +
                           fmt_i(period, 10));
    u.line(kUnitPlume, fmt_i(inter, 10));
    u.line(kUnitPlume, fmt_f(e.xmin(1), 10, 3) + fmt_f(e.ymin(1), 10, 3) + fmt_f(e.xmax(1), 10, 3) +
                           fmt_f(e.ymax(1), 10, 3));
}

} // namespace

bool grid_cell(const Sim& s, float x, float y, int& ix, int& iy) {
    const auto& e = s.set2;
    ix = grid_index(x, e.xmin(1), e.xmax(1));
    iy = grid_index(y, e.ymin(1), e.ymax(1));
    return ix > 0 && iy > 0;
}

void plumsum(Sim& s, const std::array<float, 5>& confact, float xin, float yin, int) {
    int ix = 0, iy = 0;
    if (!grid_cell(s, xin, yin, ix, iy)) return;
    for (int k = 1; k <= kPlumeSpecies; ++k)
        s.plume.plume(ix, iy, k, kGridCurrent) += confact[static_cast<std::size_t>(k - 1)];
}

void travelsum(Sim& s, int iflag, const std::array<float, 5>& moe, float xin, float yin,
               float moe2) {
    int ix = 0, iy = 0;
    if (!grid_cell(s, xin, yin, ix, iy)) return;
    auto& g = s.plume.travel;
    if (iflag == 1)
        for (int k = 1; k <= 4; ++k) g(ix, iy, k, kGridCurrent) += moe[static_cast<std::size_t>(k)];
    else if (iflag == 2 || iflag == 3)
        g(ix, iy, iflag + 3, kGridCurrent) += moe2;
}

void plumset(Sim& s, int flag, int tim) {
    if (flag == 1) open_plume_file(s, tim);
    if (flag == 1)
        roll(s.plume.plume, kPlumePollutants, {kGridCurrent, kGridDispersion});
    else
        roll(s.plume.plume, kPlumePollutants, {});
}

void travelset(Sim& s, int flag, int) {
    if (flag == 1)
        roll(s.plume.travel, kTravelMeasures, {kGridCurrent});
    else
        roll(s.plume.travel, kTravelMeasures, {});
}

void plumwrt(Sim& s, int t, int ddd, int inter) {
    if (!s.units.is_open(kUnitPlume)) return; // the file was never set up
    const int period = std::abs(ddd);
    if ((t == 0 && ddd > 0) || (ddd < 0 && t == period)) write_header(s, ddd, inter);
    auto& u = s.units;
    u.line(kUnitPlume, fmt_i(t, 10) + fmt_i(kPlumePollutants, 10));
    // The last completed minute, scaled to the output period.
    const float scale = inter > 0 ? static_cast<float>(period) / static_cast<float>(inter) : 0.0f;
    const auto& g = s.plume.plume;
    std::string line;
    for (int k = 1; k <= kPlumePollutants; ++k)
        for (int iy = 1; iy <= kGridCells; ++iy) {
            u.line(kUnitPlume, fmt_i(k, 10) + fmt_i(iy, 10));
            for (int ix = 1; ix <= kGridCells; ++ix) {
                line += fmt_e(g(ix, iy, k, kGridLastMinute) * scale, 12, 5);
                if (ix % kValuesPerLine == 0) {
                    u.line(kUnitPlume, line);
                    line.clear();
                }
            }
        }
}

void pickxy(int m, float x1, float y1, float spd1, float spd2, float xspd1, float xspd2,
            float yspd1, float yspd2, float& x2, float& y2, float& w1) {
    const float ratio = spd1 > 0.0f ? spd2 / spd1 : 0.0f;
    switch (m) {
    case 1:
        x2 = x1 + xspd1 - xspd2;
        y2 = y1 + yspd1 - yspd2;
        w1 = 0.15f;
        break;
    case 2:
        x2 = x1 + (1.0f - ratio) * xspd1;
        y2 = y1 + (1.0f - ratio) * yspd1;
        w1 = 0.15f;
        break;
    case 3:
        x2 = x1 + (1.0f + ratio) * xspd1;
        y2 = y1 + (1.0f + ratio) * yspd1;
        w1 = 0.15f;
        break;
    case 4:
        x2 = x1 + xspd1 + xspd2;
        y2 = y1 + yspd1 + yspd2;
        w1 = 0.15f;
        break;
    default:
        x2 = x1 + xspd1;
        y2 = y1 + yspd1;
        w1 = 0.4f;
        break;
    }
}

void plumdisp(Sim& s, int inter) {
    const auto& w = s.wind;
    const int   res = w.nwnres;
    if (w.nwndst < 1 || w.nwndrd < 1 || res < 1) return; // no wind: nothing moves
    // Heading: where the wind blows to, degrees clockwise from north; speeds km/h.
    const float        h = w.wndhd(w.nwndrd, 1) * std::numbers::pi_v<float> / 180.0f;
    const float        spd1 = w.wndspd(w.nwndrd, 1, 1), spd2 = w.wndspd(w.nwndrd, 1, 2);
    const float        hours = static_cast<float>(inter) / kSecondsPerHourF;
    const float        xspd1 = spd1 * hours * std::sin(h), yspd1 = spd1 * hours * std::cos(h);
    const float        xspd2 = spd2 * hours * std::cos(h), yspd2 = -spd2 * hours * std::sin(h);
    const auto&        e = s.set2;
    const float        cw = (e.xmax(1) - e.xmin(1)) / kGridCells;
    const float        ch = (e.ymax(1) - e.ymin(1)) / kGridCells;
    auto&              g = s.plume.plume;
    std::vector<float> moved(static_cast<std::size_t>(kGridCells * kGridCells));
    const float        share = 1.0f / static_cast<float>(res * res);
    for (int k = 1; k <= kPlumeSpecies; ++k) {
        std::fill(moved.begin(), moved.end(), 0.0f);
        for (int iy = 1; iy <= kGridCells; ++iy)
            for (int ix = 1; ix <= kGridCells; ++ix) {
                const float mass = g(ix, iy, k, kGridDispersion) + g(ix, iy, k, kGridLastMinute);
                if (mass <= 0.0f) continue;
                for (int a = 1; a <= res; ++a)
                    for (int b = 1; b <= res; ++b) {
                        const float x1 = e.xmin(1) + (ix - 1 + (a - 0.5f) / res) * cw;
                        const float y1 = e.ymin(1) + (iy - 1 + (b - 0.5f) / res) * ch;
                        for (int m = 1; m <= 5; ++m) {
                            float x2 = 0.0f, y2 = 0.0f, w1 = 0.0f;
                            pickxy(m, x1, y1, spd1, spd2, xspd1, xspd2, yspd1, yspd2, x2, y2, w1);
                            int jx = 0, jy = 0;
                            if (grid_cell(s, x2, y2, jx, jy))
                                moved[static_cast<std::size_t>((jy - 1) * kGridCells + jx - 1)] +=
                                    mass * share * w1;
                        }
                    }
            }
        for (int iy = 1; iy <= kGridCells; ++iy)
            for (int ix = 1; ix <= kGridCells; ++ix)
                g(ix, iy, k, kGridDispersion) =
                    moved[static_cast<std::size_t>((iy - 1) * kGridCells + ix - 1)];
    }
}

} // namespace velm
