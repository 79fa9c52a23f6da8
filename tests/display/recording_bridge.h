#pragma once
// A drawing bridge that keeps every call: the primitive, its layer, its pixel
// coordinates and its palette index, for the tests of the core's drawing.
#include "core/display/drawing_bridge.h"

#include <string>
#include <vector>

namespace velm::support {

struct Drawn {
    std::string what; // clear, erase, point, disc, circle, line, polygon, rectangle, box
    Layer       layer = Layer::moving;
    std::vector<PixelPoint> points;   // centre, end points or vertices
    float                   size = 0; // radius or line width
    int                     colour = -1;
};

class RecordingBridge : public DrawingBridge {
  public:
    void clear_drawing_area(Layer layer) override { add("clear", layer, {}, 0, -1); }
    void clear_box(Layer layer, float x0, float y0, float x1, float y1) override {
        add("erase", layer, {{x0, y0}, {x1, y1}}, 0, -1);
    }
    void draw_point(Layer layer, float x, float y, int colour) override {
        add("point", layer, {{x, y}}, 1, colour);
    }
    void draw_disc(Layer layer, float xc, float yc, float radius, int colour) override {
        add("disc", layer, {{xc, yc}}, radius, colour);
    }
    void draw_circle(Layer layer, float xc, float yc, float radius, int colour) override {
        add("circle", layer, {{xc, yc}}, radius, colour);
    }
    void draw_line(Layer layer, float x1, float y1, float x2, float y2, float width,
                   int colour) override {
        add("line", layer, {{x1, y1}, {x2, y2}}, width, colour);
    }
    void draw_polygone_a(Layer layer, int colour, std::span<const PixelPoint> points) override {
        add("polygon", layer, {points.begin(), points.end()}, 0, colour);
    }
    void draw_rectangle(Layer layer, float xc, float yc, float width, float height, int line_width,
                        int colour) override {
        add("rectangle", layer, {{xc, yc}, {width, height}}, float(line_width), colour);
    }
    void draw_rectangle_fill(Layer layer, float xc, float yc, float width, float height,
                             int colour) override {
        add("box", layer, {{xc, yc}, {width, height}}, 0, colour);
    }
    void return_drawing_area_sizes(float& width, float& height) override {
        width = 640;
        height = 480;
    }
    void get_virtual_screen(float& x0, float& y0, float& x1, float& y1) override {
        x0 = view[0], y0 = view[1], x1 = view[2], y1 = view[3];
    }
    void redraw_drawing_area() override { ++redraws; }

    // The calls of one kind.
    std::vector<Drawn> of(const std::string& what) const {
        std::vector<Drawn> out;
        for (const auto& d : calls)
            if (d.what == what) out.push_back(d);
        return out;
    }

    std::vector<Drawn> calls;
    float              view[4] = {0, 0, 640, 480};
    int                redraws = 0;

  private:
    void add(const char* what, Layer layer, std::vector<PixelPoint> points, float size,
             int colour) {
        calls.push_back({what, layer, std::move(points), size, colour});
    }
};

} // namespace velm::support
