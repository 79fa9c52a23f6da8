#pragma once
// A spy on the graph facility's hand-over: every series and its texts as the
// plotting routine receives them, and every message box.
#include "core/model/plot_observer.h"
#include "support/memory_run.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm::testing_graphs {

struct Plot {
    int                      kind = 0, np = 0, curves = 0, nc = 0;
    std::vector<float>       px, py;
    std::vector<std::string> titles, legend;
    float x(int i, int k) const { return px[static_cast<std::size_t>((k - 1) * nc + i - 1)]; }
    float y(int i, int k) const { return py[static_cast<std::size_t>((k - 1) * nc + i - 1)]; }
    // Text k without its trailing blanks.
    std::string        title(int k) const { return trim(titles[static_cast<std::size_t>(k - 1)]); }
    std::string        line(int k) const { return trim(legend[static_cast<std::size_t>(k - 1)]); }
    static std::string trim(const std::string& t) {
        return t.substr(0, t.find_last_not_of(' ') + 1);
    }
};

struct PlotSpy : PlotObserver {
    std::vector<Plot> plots;
    void              plot(const PlotCall& c) override {
        Plot p;
        p.kind = c.kind;
        p.np = c.np;
        p.curves = c.nx;
        p.nc = c.nc;
        EXPECT_EQ(c.nx, c.ny);
        EXPECT_EQ(c.mypx.size(), c.mypy.size());
        EXPECT_GE(c.mypx.size(), static_cast<std::size_t>(c.nc) * static_cast<std::size_t>(c.nx));
        EXPECT_LE(c.np, c.nc);
        p.px.assign(c.mypx.begin(), c.mypx.end());
        p.py.assign(c.mypy.begin(), c.mypy.end());
        for (const auto& t : c.titles) {
                         EXPECT_EQ(t.size(), 80u);
                         p.titles.push_back(t);
        }
        for (const auto& l : c.legend) {
                         EXPECT_EQ(l.size(), 25u);
                         p.legend.push_back(l);
        }
        plots.push_back(std::move(p));
    }
};

} // namespace velm::testing_graphs
