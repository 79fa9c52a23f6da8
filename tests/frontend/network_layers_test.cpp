// A whole run drawn into the desktop program's cairo layers, without a
// display: the network's bands lie along every link, every vehicle shows in
// its pen where its position was recorded, and the run writes the same bytes
// as the console program, which draws nothing.
#include "core/display/graphing.h"
#include "core/display/lane_geometry.h"
#include "core/driver/driver.h"
#include "frontend/view.h"
#include "support/samples.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace velm::gui {
namespace {

constexpr int kSeconds = 60;

// The tiny sample squeezed into 0.5 km: zone 1 at 0.1 km, the intersections
// at 0.2 and 0.5 km, zone 2 at 0.6 km, the links coded to those lengths.
std::unique_ptr<Sim> small_network() {
    auto s = support::sample_sim("tiny", kSeconds);
    s->units.put_file("input/nodes.dat", "Tiny network in half a kilometre\n"
                                         "4  1.0  1.0\n"
                                         "1   0.1  1.0  1  -1  0\n"
                                         "11  0.2  1.0  4   0  0\n"
                                         "12  0.5  1.0  4   0  0\n"
                                         "2   0.6  1.0  1  -2  0\n");
    std::string links = support::slurp(support::sample_dir("tiny") / "input" / "links.dat");
    for (auto [from, to] : {std::pair{"  0.5  60", "  0.1  60"}, {"  1.0  60", "  0.3  60"}})
        for (std::size_t at; (at = links.find(from)) != std::string::npos;)
            links.replace(at, std::string(from).size(), to);
    s->units.put_file("input/links.dat", links);
    return s;
}

const char* const kFiles[] = {"runerr.out", "output/tiny.u10", "output/summary.out",
                              "output/en-route.out"};

struct Argb {
    unsigned a = 0, r = 0, g = 0, b = 0;
};

// The layer pixel at core pixel (x, y) (y upward), un-premultiplied.
Argb at(cairo_surface_t* layer, float x, float y) {
    cairo_surface_flush(layer);
    const int h = cairo_image_surface_get_height(layer), w = cairo_image_surface_get_width(layer);
    const int col = static_cast<int>(std::lround(x)), row = h - static_cast<int>(std::lround(y));
    if (col < 0 || col >= w || row < 0 || row >= h) return {};
    const auto* line = cairo_image_surface_get_data(layer) +
                       static_cast<std::ptrdiff_t>(row) * cairo_image_surface_get_stride(layer);
    const std::uint32_t p = reinterpret_cast<const std::uint32_t*>(line)[col];
    Argb                out{p >> 24, (p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff};
    if (out.a == 0) return out;
    out.r = out.r * 255 / out.a, out.g = out.g * 255 / out.a, out.b = out.b * 255 / out.a;
    return out;
}

// A fully painted pixel of palette colour c.
bool is_colour(const Argb& p, int c) {
    iin_data palette;
    Init_iin_data(palette, 1, 1);
    const Rgb& want = palette.nii_colors[c];
    const auto near = [](unsigned v, double w) { return std::abs(int(v) - int(w * 255)) <= 3; };
    return p.a == 0xff && near(p.r, want.red) && near(p.g, want.green) && near(p.b, want.blue);
}

// Palette index of each pen.
constexpr int kPenColour[20] = {22, 5,  9, 23, 0,  25, 12, 19, 17, 6,
                                10, 24, 1, 26, 27, 21, 30, 20, 29, 28};

// The pen a vehicle is drawn in when nothing is tracked.
int expected_pen(const Sim& s, int vid) {
    const int car = s.vehindx.vehrid(vid);
    if (s.oddat.vehcol(car) != 2) {
        const int pens[5] = {11, 13, 15, 0, 2};
        return pens[s.oddat.vtyp(car) - 1];
    }
    const int   l = s.oddat.curlnk(vid);
    const float v = s.vehplot.spd(vid, 4), uc = s.link1.spdvol(l, 4), uf = s.link1.spdvol(l, 7);
    return v < uc / 2 ? 12 : v < uc ? 14 : v < (uc + uf) / 2 ? 9 : 10;
}

TEST(NetworkLayers, BandsAlongEveryLinkAndEveryVehicleWhereItWasRecorded) {
    View view;
    auto s = small_network();
    s->draw = &view;
    velmorantis(*s, 1);
    ASSERT_EQ(s->errcount.errt1, 0) << s->units.file_text("runerr.out");
    view.layers.with_layers([&](cairo_surface_t* fixed, cairo_surface_t* moving) {
        // Lane 1's centre line of each link, a quarter, half and three
        // quarters of the way.
        int links = 0;
        for (int l = 1; l <= s->link2.mlnum; ++l) {
            if (s->link4.llength(l) <= 0) continue;
            ++links;
            WorldPoint from, to;
            lane_centre_line(*s, l, 1, from, to);
            const int band = kPenColour[s->link1.zoncon(l) > 0 ? 18 : 16];
            for (float f : {0.25f, 0.5f, 0.75f}) {
                float x = 0, y = 0;
                ASSERT_TRUE(transform(*s, 1, from.x + (to.x - from.x) * f,
                                      from.y + (to.y - from.y) * f, x, y));
                EXPECT_TRUE(is_colour(at(fixed, x, y), band)) << "link " << l << " at " << f;
            }
        }
        EXPECT_EQ(links, 6);
        // Every vehicle drawn on its current link: a pixel of its pen within
        // 2 px of its recorded point.
        int vehicles = 0;
        for (int vid = 1; vid <= s->vehindx.mvehid; ++vid) {
            if (s->vehindx.vehrid(vid) < 1 || s->vehplot.drawn(vid) != 1) continue;
            ++vehicles;
            float x = 0, y = 0;
            ASSERT_TRUE(transform(*s, 1, s->vehplot.xq(vid, 1), s->vehplot.yq(vid, 1), x, y));
            const int colour = kPenColour[expected_pen(*s, vid)];
            bool      found = false;
            for (int dx = -2; dx <= 2 && !found; ++dx)
                for (int dy = -2; dy <= 2 && !found; ++dy)
                    found = is_colour(at(moving, x + float(dx), y + float(dy)), colour);
            EXPECT_TRUE(found) << "slot " << vid << " at " << x << ", " << y;
        }
        EXPECT_GT(vehicles, 0) << "no vehicle on the network at the end";
    });
}

TEST(NetworkLayers, TheRunWritesTheSameBytesAsTheConsoleProgram) {
    View view;
    auto console = small_network();
    auto drawn = small_network();
    drawn->draw = &view;
    velmorantis(*console, 1);
    velmorantis(*drawn, 1);
    for (const char* f : kFiles) {
        SCOPED_TRACE(f);
        const std::string text = console->units.file_text(f);
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(text, drawn->units.file_text(f));
    }
    EXPECT_GT(view.layers.calls(), 0);
    for (int v = 1; v <= console->vehindx.mvehid; ++v) {
        EXPECT_EQ(console->vehplot.xq(v, 1), drawn->vehplot.xq(v, 1)) << v;
        EXPECT_EQ(console->vehplot.yq(v, 1), drawn->vehplot.yq(v, 1)) << v;
    }
}

} // namespace
} // namespace velm::gui
