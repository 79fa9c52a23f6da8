#pragma once
// The display set-up the drawing tests share: the square 0..2 x 0..2 km on
// 2000 x 2000 pixels with a view `view_width` km wide, and link 1 from node
// 10 at (0.5, 1) to node 11 at (0.62, 1) km: 120 m eastward, `lanes` lanes,
// base offset 1, no set-backs.
#include "core/display/graphing.h"
#include "core/model/sim.h"

namespace velm::support {

inline void short_link_display(Sim& s, float view_width, int lanes) {
    auto& d = s.set2;
    d.xmin(1) = 0, d.xmax(1) = 2, d.ymin(1) = 0, d.ymax(1) = 2;
    d.xmin(2) = 0, d.xmax(2) = view_width, d.ymin(2) = 0, d.ymax(2) = 2;
    window(s, 1, 0, 2000, 0, 2000, 0, 2, 0, 2);
    auto& g = s.graph1;
    g.x(10) = 0.5f, g.y(10) = 1.0f;
    g.x(11) = 0.62f, g.y(11) = 1.0f;
    s.link2.mlnum = 1;
    s.link1.frnode(1) = 10;
    s.link1.tonode(1) = 11;
    s.link1.nulans(1) = lanes;
    s.link1.addlin(1) = 1;
    s.link4.llength(1) = 0.12f;
    g.xylen(1) = 0.12f;
    g.dx(1) = -1.0f;
    g.dy(1) = 0.0f;
}

} // namespace velm::support
