#pragma once
// A small signalised network for the tests of actuated control and the timing
// optimisations: signals with back-to-back phases, links of one or more lanes
// ending at them, network lane numbers given by the test.
#include "core/control/control.h"
#include "core/control/signal_timing.h"
#include "core/network/network.h"
#include "support/memory_run.h"

#include <initializer_list>

namespace velm::support {

struct PhaseTimes {
    float green, inter;
};

struct TimingNet : MemoryRun {
    // Signal n with the phases laid back to back from 0; effective = planned.
    void plan(int n, float cycle, float offset, std::initializer_list<PhaseTimes> phases) {
        auto& sg = s.signal;
        sg.cycle(n) = cycle;
        sg.offset(n) = offset;
        sg.phases(n) = static_cast<int>(phases.size());
        sg.mincycle(n) = 20;
        sg.maxcycle(n) = 200;
        float start = 0;
        int   p = 0;
        for (const PhaseTimes& ph : phases) {
            ++p;
            sg.intgrn(n, p) = ph.inter;
            sg.phstr(n, p, 1) = start;
            sg.phstr(n, p, 2) = start + ph.green;
            sg.phstr(n, p, 3) = start + ph.green + ph.inter;
            start = sg.phstr(n, p, 3);
            sg.mingrn(n, p, 1) = 5;
            sg.mingrn(n, p, 2) = 40;
            sg.grnext(n, p) = 5;
        }
        for (p = 1; p <= kMaxPhases; ++p)
            for (int i = 1; i <= 3; ++i) sg.phend(n, p, i) = sg.phstr(n, p, i);
        for (int k = 1; k <= kClasses; ++k) sg.actwgt(n, k) = 1.0f;
        sg.msignal = std::max(sg.msignal, n);
        sg.nsignals = std::max(sg.nsignals, n);
    }
    // Link l ends at signal n and discharges in `phase` (slot 1), its lanes
    // numbered network lanes first, first + 1, ...
    void link(int l, int n, int phase, int first, int lanes = 1, float sat = 1800.0f) {
        s.link4.llength(l) = 0.4f;
        s.link3.tsignal(l) = n;
        s.link3.phase(l, 1, 1) = phase;
        s.link1.nulans(l) = lanes;
        s.link4.lanesat(l) = sat;
        for (int j = 1; j <= lanes; ++j) s.lanexch.lannum(l, j) = first + j - 1;
        s.link2.mlnum = std::max(s.link2.mlnum, l);
    }
    // The signal-link index, once the links are in place.
    void index() { lnindex(s); }
};

} // namespace velm::support
