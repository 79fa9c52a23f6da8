// Signal indications of every tick: each controller's phase from its cycle
// position, then each link end's indication, movement code and lane code.
#include "core/control/signal_indications.h"

#include "core/control/control.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace velm {

void setsignal1(Sim& s) {
    auto&       sg = s.signal;
    const float tr = static_cast<float>(s.control.t10) / 10.0f;
    const int   ms = std::min(sg.msignal, kMaxSignals);
    for (int n = 1; n <= ms; ++n) {
        const float cyc = sg.cycle(n);
        // A signal the current plan does not code keeps its last state.
        if (cyc < 0.0f) continue;
        sg.sigstat(n, 1) = kNoPhase;
        sg.sigstat(n, 2) = kNoPhase;
        // A zero cycle has no position in it: no phase is in effect.
        if (!(cyc > 0.0f)) continue;
        const float ctim = std::fmod(cyc + tr - sg.offset(n), cyc);
        const int   np = std::clamp(sg.phases(n), 0, kMaxPhases);
        // A later phase whose window also holds ctim overwrites an earlier one.
        for (int p = 1; p <= np; ++p) {
            if (sg.phend(n, p, 1) <= ctim && ctim < sg.phend(n, p, 3)) {
                sg.sigstat(n, 1) = p;
                sg.sigstat(n, 2) = ctim < sg.phend(n, p, 2) ? kSignalGreen : kSignalIntergreen;
            }
        }
    }
}

namespace {

void set_indication(Array2<int>& signal, int l, int code, int moves, int lanes) {
    signal(l, 1) = code;
    signal(l, 2) = moves;
    signal(l, 3) = lanes;
}

// The indication of link l from the state of its controller n.
void signalised_link(Sim& s, int l, int n) {
    auto&       signal = s.link3.signal;
    const auto& phase = s.link3.phase;
    set_indication(signal, l, kIndicationRed, 0, 0);
    // A signal number beyond the controller table was never evaluated: red.
    if (n > kMaxSignals) return;
    const int p = s.signal.sigstat(n, 1);
    const int st = s.signal.sigstat(n, 2);
    const int next = p == s.signal.phases(n) ? 1 : p + 1;
    bool      next_serves = false;
    for (int j = 1; j <= kPhaseSlots; ++j)
        if (std::abs(phase(l, j, 1)) == next) next_serves = true;
    for (int k = 1; k <= kPhaseSlots; ++k) {
        const int g1 = std::abs(phase(l, k, 1));
        if (g1 <= 0 || g1 != p) continue;
        const int g2 = std::abs(phase(l, k, 2));
        const int g3 = std::abs(phase(l, k, 3));
        if (st == kSignalGreen)
            set_indication(signal, l, k, g2, g3);
        else if (st == kSignalIntergreen)
            set_indication(signal, l, next_serves ? k : kIndicationAmberLast, g2, g3);
        else if (st == kSignalExternalRed)
            set_indication(signal, l, kIndicationRed, 0, 0);
    }
}

} // namespace

void setsignal2(Sim& s) {
    auto&     signal = s.link3.signal;
    const int ml = std::min(s.link2.mlnum, kMaxLinks);
    for (int l = 1; l <= ml; ++l) {
        if (s.link4.llength(l) < 0.0f) continue;
        const int n = std::abs(s.link3.tsignal(l));
        if (n < 1 || n >= kStopSignCode)
            set_indication(signal, l, kIndicationNoSignal, kAllMovements, kAllLanes);
        else
            signalised_link(s, l, n);
        // Unsignalised ends count too: the counter is the time the end is open.
        if (std::abs(signal(l, 1)) > 0) s.link3.gretim(l) += 1.0f;
    }
}

} // namespace velm
