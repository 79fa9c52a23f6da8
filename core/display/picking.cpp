// Finding the object nearest a click: links by their pick lines (one lane
// unit to the right of travel, so the two directions of a road are told
// apart), nodes, drawn vehicles, signals and signs at the link's end node,
// active incidents along their blocked section and detector stations.
#include "core/display/picking.h"
#include "core/display/graphing.h"
#include "core/io/writers.h"

#include <cmath>

namespace velm {

namespace {

constexpr float kPickUnit = 0.0074f; // km, the pick line's distance from the node line
constexpr int   kSamples = 10;
constexpr float kFarAway = 99999.0f; // km
constexpr int   kWindow = 1;

struct Point {
    float x = 0.0f, y = 0.0f;
};

struct Nearest {
    float  x0, y0;
    int&   imin;
    float &xmar, &ymar;
    float  dmin = kFarAway;
    void   offer(int number, Point p) {
          const float d = std::sqrt((p.x - x0) * (p.x - x0) + (p.y - y0) * (p.y - y0));
          if (d < dmin) {
              dmin = d;
              imin = number;
              xmar = p.x;
              ymar = p.y;
        }
    }
    // Ten samples from Q towards P: the first 5 % of the way from Q.
    void offer_samples(int number, Point p, Point q) {
        for (int j = 1; j <= kSamples; ++j) {
            const float w = (static_cast<float>(j) - 0.5f) / static_cast<float>(kSamples);
            offer(number, {w * p.x + (1.0f - w) * q.x, w * p.y + (1.0f - w) * q.y});
        }
    }
};

bool link_known(const Sim& s, int l) {
    return l >= 1 && l <= s.link2.mlnum && l <= s.link4.llength.hi() && s.link4.llength(l) > 0.0f;
}

// The pick line of link l, from A near its from-node to B near its to-node.
void pick_line(const Sim& s, int l, Point& a, Point& b) {
    const auto& g = s.graph1;
    const int   f = s.link1.frnode(l), n = s.link1.tonode(l);
    const float dx = g.dx(l), dy = g.dy(l);
    a = {g.x(f) - kPickUnit * (dx + dy), g.y(f) + kPickUnit * (dx - dy)};
    b = {g.x(n) + kPickUnit * (dx - dy), g.y(n) + kPickUnit * (dx + dy)};
}

Point to_node(const Sim& s, int l) {
    const int n = s.link1.tonode(l);
    return {s.graph1.x(n), s.graph1.y(n)};
}

Point share(Point a, Point b, float f) {
    return {(1.0f - f) * a.x + f * b.x, (1.0f - f) * a.y + f * b.y};
}

void links(const Sim& s, Nearest& best) {
    for (int l = 1; l <= s.link2.mlnum; ++l) {
        if (!link_known(s, l)) continue;
        Point a, b;
        pick_line(s, l, a, b);
        best.offer_samples(l, a, b);
    }
}

void nodes(const Sim& s, Nearest& best) {
    const auto& g = s.graph1;
    const int   top = std::min(s.set2.mnodenum, g.x.hi());
    for (int z = 1; z <= top; ++z)
        if (g.x(z) > 0.0f) best.offer(z, {g.x(z), g.y(z)});
}

void vehicles(const Sim& s, Nearest& best) {
    const auto& q = s.vehplot;
    const int   top = std::min({s.vehindx.mvehid, q.xq.hi1(), s.vehindx.vehrid.hi()});
    for (int v = 1; v <= top; ++v)
        if (q.xq(v, 1) > 0.0f) best.offer(s.vehindx.vehrid(v), {q.xq(v, 1), q.yq(v, 1)});
}

// Signals (ind 4) and signs (5, 6) at the end of their approach links.
void controls(const Sim& s, int ind, Nearest& best) {
    for (int l = 1; l <= s.link2.mlnum; ++l) {
        if (!link_known(s, l)) continue;
        const int ts = s.link3.tsignal(l);
        if (ind == kPickSignal && ts >= 1 && ts <= kLastSignalCode)
            best.offer(ts, to_node(s, l));
        else if (ind == kPickStopSign && ts == kStopSignCode)
            best.offer(l, to_node(s, l));
        else if (ind == kPickYieldSign && ts == kYieldSignCode)
            best.offer(l, to_node(s, l));
    }
}

void incidents(const Sim& s, Nearest& best) {
    const auto& inc = s.incident;
    const int   t = s.control.t;
    const int   top = std::min(inc.mainc, inc.lninc.hi());
    for (int k = 1; k <= top; ++k) {
        if (inc.stinc(k) > t || t > inc.eninc(k)) continue;
        const int l = inc.lninc(k);
        if (!link_known(s, l)) continue; // -1: number not used
        const float length = s.link4.llength(l);
        Point       a, b;
        pick_line(s, l, a, b);
        best.offer_samples(k, share(a, b, inc.inclng(k, 1) / length),
                           share(a, b, inc.inclng(k, 2) / length));
    }
}

void detectors(const Sim& s, Nearest& best) {
    const auto& d = s.detloc;
    const int   top = std::min(d.mdetloc, d.dettyp.hi());
    for (int k = 1; k <= top; ++k) {
        if (d.dettyp(k) <= 0) continue;
        const int l = d.detlink(k);
        if (!link_known(s, l)) continue; // a link without length has no place for it
        Point a, b;
        pick_line(s, l, a, b);
        best.offer(k, share(a, b, d.detpos(k, 1) / s.link4.llength(l)));
    }
}

using NoObject = void (FrontEnd::*)(float, float, float, float);

// The click to the world and the nearest object of the kind; xw, yw hold the
// click's world position (0, 0 with no mapping) and xm, ym the matched point.
void find(const Sim& s, float xout, float yout, int ind, int& found, float& xw, float& yw,
          float& xm, float& ym) {
    found = -1;
    xw = yw = xm = ym = 0.0f;
    if (reverse(s, kWindow, xout, yout, xw, yw)) near_obj(s, xw, yw, ind, found, xm, ym);
}

// find, then the no-object report when nothing was found. True when found.
bool pick(Sim& s, float xout, float yout, int ind, int& found, float& xw, float& yw,
          NoObject no_object) {
    float xm, ym;
    find(s, xout, yout, ind, found, xw, yw, xm, ym);
    if (found >= 0) return true;
    if (s.fe != nullptr) (s.fe->*no_object)(xout, yout, xw, yw);
    return false;
}

} // namespace

void near_obj(const Sim& s, float x0, float y0, int ind, int& imin, float& xmar, float& ymar) {
    imin = -1;
    xmar = ymar = 0.0f;
    Nearest best{x0, y0, imin, xmar, ymar};
    switch (ind) {
    case kPickLink:
        links(s, best);
        break;
    case kPickNode:
        nodes(s, best);
        break;
    case kPickVehicle:
        vehicles(s, best);
        break;
    case kPickSignal:
    case kPickStopSign:
    case kPickYieldSign:
        controls(s, ind, best);
        break;
    case kPickIncident:
        incidents(s, best);
        break;
    case kPickDetector:
        detectors(s, best);
        break;
    default:
        break;
    }
}

void nearest_link(Sim& s, float xout, float yout, int& found) {
    float xw, yw;
    if (pick(s, xout, yout, kPickLink, found, xw, yw, &FrontEnd::show_no_nearest_link))
        closlink_a(s, 1, found);
}

void nearest_node(Sim& s, float xout, float yout, int& found) {
    float xw, yw;
    if (pick(s, xout, yout, kPickNode, found, xw, yw, &FrontEnd::show_no_nearest_node))
        closlink_a(s, 2, found);
}

void nearest_vehicle(Sim& s, float xout, float yout, int& found) {
    float xw, yw;
    if (pick(s, xout, yout, kPickVehicle, found, xw, yw, &FrontEnd::show_no_nearest_veh))
        vehpos4_a(s, found);
}

void nearest_signal(Sim& s, float xout, float yout, int& found) {
    float xw, yw;
    if (pick(s, xout, yout, kPickSignal, found, xw, yw, &FrontEnd::show_no_nearest_signal))
        sig_sum_a(s, found);
}

void nearest_stop_sign(Sim& s, float xout, float yout, int& found) {
    float xw, yw, xm, ym;
    find(s, xout, yout, kPickStopSign, found, xw, yw, xm, ym);
    wfree(s.units, kUnitConsole, " [core] xout, yout", xout, yout);
    wfree(s.units, kUnitConsole, " [core] x1, y1", xw, yw);
    wfree(s.units, kUnitConsole, " [core] x2, y2", xm, ym);
    wfree(s.units, kUnitConsole, " [core] istop", found);
    if (found < 0) {
        if (s.fe != nullptr) s.fe->show_no_nearest_stop_sign(xout, yout, xw, yw);
        return;
    }
    if (s.fe != nullptr) s.fe->show_nearest_stop_sign(found, xw, yw);
    wfree(s.units, kUnitConsole, " [core] stop sign reported");
}

void nearest_yield_sign(Sim& s, float xout, float yout, int& found) {
    float xw, yw;
    if (pick(s, xout, yout, kPickYieldSign, found, xw, yw, &FrontEnd::show_no_nearest_yield_sign) &&
        s.fe != nullptr)
        s.fe->show_nearest_yield_sign(found, xw, yw);
}

void nearest_incident(Sim& s, float xout, float yout, int& found) {
    float xw, yw;
    if (pick(s, xout, yout, kPickIncident, found, xw, yw, &FrontEnd::show_no_nearest_incident) &&
        s.fe != nullptr)
        s.fe->show_nearest_incident(found, xw, yw);
}

void nearest_loop_detector(Sim& s, float xout, float yout, int& found) {
    float xw, yw;
    if (pick(s, xout, yout, kPickDetector, found, xw, yw,
             &FrontEnd::show_no_nearest_loop_detector) &&
        s.fe != nullptr)
        s.fe->show_nearest_loop_detector(found, xw, yw);
}

void checkpos(float xpos, float ypos, float xcur, float ycur, float& mindis, int& flag2) {
    flag2 = 0;
    if (std::abs(xpos - xcur) > mindis || std::abs(ypos - ycur) > mindis) return;
    const float d = std::hypot(xpos - xcur, ypos - ycur);
    if (d < mindis) {
        mindis = d;
        flag2 = 1;
    }
}

} // namespace velm
