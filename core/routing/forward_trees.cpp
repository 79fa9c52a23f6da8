// Per-vehicle forward trees: the cheapest path of one trip from its current
// link (or from its origin node) to its destination zone node, searched
// outward with a running clock, so that tolls and forecast link times are
// read at the moment the trip would reach each link.
#include "core/routing/routing.h"

#include "core/io/writers.h"
#include "core/movement/movement.h"
#include "core/routing/forecast.h"
#include "core/routing/tree_schedule.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace velm {

namespace {

constexpr float kPercent = 100.0f;  // turncnt(., ., ., 4) is a percentage

// The tables of the search sized to the run's links; labels start unset.
void size_work(ForwardWork& w, int mlnum) {
    const auto n = static_cast<std::size_t>(mlnum + 1);
    if (w.label.size() >= n) return;
    w.label.assign(n, kNoPathLabel);
    w.exit.assign(n, kNoPathLabel);
    w.enter.assign(n, kNoPathLabel);
    w.prev.assign(n, 0);
    w.queued.assign(n, 0);
    w.queue.assign(n, 0);
    w.mark.assign(n, 0);
    w.touched.clear();
    w.touched.reserve(n);
    w.walk = 0;
}

// Unsets the labels of the links the previous search touched.
void reset_touched(ForwardWork& w) {
    for (const int l : w.touched) {
        const auto i = static_cast<std::size_t>(l);
        w.label[i] = w.exit[i] = w.enter[i] = kNoPathLabel;
        w.prev[i] = 0;
        w.queued[i] = 0;
    }
    w.touched.clear();
}

// One search: the caller's link costs or the forecast link times, the trip's
// class and value of time, and the candidate list as a ring.
struct Search {
    Sim&                 s;
    ForwardWork&         w;
    const Array1<float>* cost; // null in forecast mode
    int                  car, vt, mlnum;
    float                valtim;
    int                  head = 0, count = 0;

    // Toll of link l at second t as seconds of the trip's time; a value of
    // time of 0 or below gives tolls no weight.
    float toll_term(int l, int t) {
        if (s.tolplaz.mtolrat <= 0 || valtim <= 0.0f) return 0.0f;
        float ctol = 0.0f;
        settolveh(s, t, t, l, vt, ctol);
        return kSecondsPerHour * ctol / valtim;
    }
    // Own time of link l for a trip entering it at second t.
    float own_time(int l, int t) {
        if (cost != nullptr) return (*cost)(l);
        float x = 0.0f;
        int_time(s, l, t, x, 1);
        return x;
    }
    void label(int l, float lab, float enter) {
        const auto i = static_cast<std::size_t>(l);
        if (w.label[i] >= kNoPathLabel && w.prev[i] == 0) w.touched.push_back(l);
        w.label[i] = lab;
        w.enter[i] = enter;
    }
    void push(int l) {
        const auto i = static_cast<std::size_t>(l);
        if (w.queued[i]) return;
        w.queued[i] = 1;
        const auto cap = static_cast<int>(w.queue.size());
        w.queue[static_cast<std::size_t>((head + count) % cap)] = l;
        ++count;
    }
    int pop() {
        const int l = w.queue[static_cast<std::size_t>(head)];
        head = (head + 1) % static_cast<int>(w.queue.size());
        --count;
        w.queued[static_cast<std::size_t>(l)] = 0;
        return l;
    }
    // Every movement out of u the class may take, relaxed once.
    void expand(int u) {
        const auto& g = s.graph1;
        const auto  ui = static_cast<std::size_t>(u);
        const int   t1 = static_cast<int>(std::floor(std::fabs(w.enter[ui])));
        const float p = toll_term(u, t1);
        // Leaving a zone connector into another link: paths do not pass through zones.
        const float connector = s.link1.zoncon(u) == 1 ? kConnectorPenalty : 0.0f;
        const float forecast = cost == nullptr ? own_time(u, t1) : 0.0f;
        const int   n_out = std::clamp(g.nlinot(u), 0, kMaxNodeLinks);
        for (int k = 1; k <= n_out; ++k) {
            const int n = g.linot(u, k);
            if (n <= 0 || n > mlnum) continue; // banned now, or not a link
            if (s.link4.llength(n) <= 0.0f || s.link1.hov(n, vt) == 1) continue;
            float relang = 0.0f;
            int   d = 2;
            turn_ang(s, mlnum, g.ang, u, n, relang, d);
            if (s.link5.turnper(u, d) <= 0) continue; // no lane permits the turn
            float x = 0.0f, gencost = 0.0f;
            if (cost != nullptr) {
                x = (*cost)(u) * static_cast<float>(s.link5.turncnt(u, d, vt, 4)) / kPercent;
                gencost = s.link4.biasfac(u, 1) + s.link4.biasfac(u, 2) * x + p;
            } else {
                x = forecast;
                gencost = x + p;
            }
            const float ttnew = std::fabs(w.label[ui] + gencost + connector);
            const auto  ni = static_cast<std::size_t>(n);
            if (!(ttnew < w.label[ni])) continue;
            label(n, ttnew, w.enter[ui] + x);
            const int t_n = static_cast<int>(std::floor(w.enter[ni]));
            // The exit cost carries the link's own time and its own toll,
            // once each, so two routes that pay the same tolls tie.
            w.exit[ni] = ttnew + own_time(n, t_n) + toll_term(n, t_n);
            w.prev[ni] = u;
            push(n);
        }
    }
};

// The links of the best path back from `last` into pathx in travel order;
// false (with a run-log line) when the walk meets a link twice or outgrows
// pathx.
bool walk_back(Sim& s, ForwardWork& w, int car, int last, std::span<int> pathx, int& lpath) {
    if (w.walk == INT_MAX) {
        std::fill(w.mark.begin(), w.mark.end(), 0);
        w.walk = 0;
    }
    const int  walk = ++w.walk;
    const auto room = static_cast<int>(std::min<std::size_t>(pathx.size(), kMaxPathLinks));
    int        n = 0;
    for (int l = last; l > 0; l = w.prev[static_cast<std::size_t>(l)]) {
        auto& m = w.mark[static_cast<std::size_t>(l)];
        if (m == walk || n >= room) {
            wfree(s.units, kUnitRunLog, " futtree: path of trip", car,
                  m == walk ? " returns to link" : " is longer than", m == walk ? l : room,
                  "; no path given");
            lpath = 0;
            return false;
        }
        m = walk;
        pathx[static_cast<std::size_t>(n++)] = l;
    }
    std::reverse(pathx.begin(), pathx.begin() + n);
    lpath = n;
    return true;
}

} // namespace

void futtree(Sim& s, int t, int car, int clink, std::span<int> pathx, int& lpath, int dest, int vt,
             const Array1<float>& object1, int iflag) {
    lpath = 0;
    if (pathx.empty() || vt < 1 || vt > kClasses || car < 1 || car > kMaxTrips) return;
    const int mlnum = std::clamp(s.link2.mlnum, 0, kMaxLinks);
    auto&     w = s.trees.forward;
    size_work(w, mlnum);
    reset_touched(w);

    const bool forecast = iflag == kFutForecastTimes;
    Search     q{s, w, forecast ? nullptr : &object1, car, vt, mlnum, s.tolplaz.valtim(car)};
    const int  t0 = !forecast && s.set1.tremet(vt) == routing::kEcoForwardMethod ? 0 : t;
    const auto start = [&](int l, bool current) {
        if (l < 1 || l > mlnum || s.link4.llength(l) <= 0.0f) return;
        // A link closed to the class is never a way out of the origin; a
        // vehicle already on one carries on from it.
        if (!current && s.link1.hov(l, vt) == 1) return;
        const auto i = static_cast<std::size_t>(l);
        q.label(l, static_cast<float>(t0), static_cast<float>(t0));
        const float x = q.own_time(l, t);
        w.exit[i] = static_cast<float>(t0) + x + (forecast && current ? q.toll_term(l, t) : 0.0f);
        w.prev[i] = -1;
        q.push(l);
    };
    if (clink > 0) {
        start(clink, true);
    } else if (-clink >= 1 && -clink <= kMaxNodes) {
        const int node = -clink;
        const int n = std::clamp(s.graph1.nlinfr(node), 0, kMaxNodeLinks);
        for (int k = 1; k <= n; ++k) start(s.graph1.linfr(node, k), false);
    }
    while (q.count > 0) q.expand(q.pop());

    int   last = 0;
    float best = kNoPathLabel;
    if (dest >= 1 && dest <= kMaxNodes) {
        const int n = std::clamp(s.graph1.nlinto(dest), 0, kMaxNodeLinks);
        for (int i = 1; i <= n; ++i) {
            const int l = s.graph1.linto(dest, i);
            if (l < 1 || l > mlnum) continue;
            const float e = w.exit[static_cast<std::size_t>(l)];
            if (w.prev[static_cast<std::size_t>(l)] != 0 && e < best) {
                best = e;
                last = l;
            }
        }
    }
    if (last == 0) {
        wfree(s.units, kUnitRunLog, " buildtree9: no tree to dest:", dest);
        return;
    }
    walk_back(s, w, car, last, pathx, lpath);
}

} // namespace velm
