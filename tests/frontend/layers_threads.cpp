// The core thread paints while the main thread composes frames, resizes the
// drawing area and takes screen shots: every shape is drawn whole under the
// drawing lock and no primitive meets a destroyed layer (run under
// ThreadSanitizer by the tsan preset).
#include "core/display/graphing.h"
#include "frontend/view.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <sstream>
#include <thread>

namespace velm::gui {
namespace {

TEST(LayersThreads, PrimitivesWhileTheMainThreadComposesAndResizes) {
    support::TempDir   dir(true);
    View               view;
    std::atomic<bool>  done{false};
    std::atomic<long>  shapes{0};
    std::thread        core([&] {
        auto s = std::make_unique<Sim>();
        s->draw = &view;
        s->set2.xmax(1) = 10, s->set2.ymax(1) = 5;
        window(*s, 1, 0, 640, 0, 480, 0, 10, 0, 5);
        float k = 1;
        for (int i = 0; i < 4000; ++i) {
            const float x = float(i % 100) / 10.0f;
            clearscrn(*s);
            line_f(*s, 1, x, 0, 10 - x, 5, 1, 15);
            dxmarker(*s, 1, x, 2.5f, 1, 0, k, 8, 0.2f, 4);
            marker(*s, 1, x, 1, 2, 0.1f, 9);
            float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
            view.get_virtual_screen(x0, y0, x1, y1);
            view.redraw_drawing_area();
            shapes += 4;
        }
        done = true;
    });
    cairo_surface_t*   frame = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 800, 600);
    cairo_t*           cr = cairo_create(frame);
    std::ostringstream out;
    int                frames = 0;
    for (int i = 0; !done.load(); ++i) {
        view.compose(cr);
        view.draw_zoom_cross({100, 100}, i % 5);
        if (i % 10 == 0) view.my_getsize(i % 20 == 0 ? 800 : 640, i % 20 == 0 ? 600 : 480);
        if (i % 50 == 0)
            view.screen_shot(
                std::tm{}, [] { return 0; }, out);
        ++frames;
    }
    core.join();
    cairo_destroy(cr);
    cairo_surface_destroy(frame);
    EXPECT_EQ(out.str(), "");
    EXPECT_GT(frames, 0);
    // Every primitive call reached a live layer.
    EXPECT_EQ(view.layers.calls(), shapes.load());
}

} // namespace
} // namespace velm::gui
