#pragma once
// An observer of the graph facility's plotting call. The plotting routine
// draws nothing; a test installs an observer to receive each graph's series
// and texts as the graph hands them over.
#include <span>
#include <string>

namespace velm {

struct PlotCall {
    int                          kind = 0; // 1 curves against a continuous axis, 2 frequency bars
    int                          np = 0;   // points per curve
    int                          nx = 0, ny = 0; // curves (each has its own x column)
    int                          nc = 0;         // leading dimension of the point arrays
    std::span<const float>       mypx, mypy; // column k of curve k: [(k - 1) nc, (k - 1) nc + np)
    std::span<const std::string> titles;     // 5 texts of 80 characters
    std::span<const std::string> legend;     // 7 texts of 25 characters
};

class PlotObserver {
  public:
    virtual ~PlotObserver() = default;
    virtual void plot(const PlotCall& call) = 0;
};

} // namespace velm
