// The index from each signal to the links it controls: a counting sort of
// the links by the signal of their control code.
#include "core/network/network.h"

#include <algorithm>
#include <cstdlib>

namespace velm {

namespace {
// The signal a link's control code names (a negative code still names its
// signal), or 0 for none, a sign, or a signal number beyond the table.
int controlling_signal(int code) {
    const long a = std::labs(static_cast<long>(code));
    return a >= 1 && a <= kMaxSignals ? static_cast<int>(a) : 0;
}
} // namespace

void lnindex(Sim& s) {
    auto&       frlan = s.lnkvdet.frlan;
    auto&       lanind = s.lnkvdet.lanind;
    const auto& tsignal = s.link3.tsignal;
    const int   last = std::min(s.link2.mlnum, kMaxLinks);

    frlan.zero();
    for (int l = 1; l <= last; ++l)
        if (const int a = controlling_signal(tsignal(l)); a > 0) ++frlan(a, 2);
    frlan(1, 1) = 0;
    for (int sn = 2; sn <= kMaxSignals; ++sn) frlan(sn, 1) = frlan(sn - 1, 1) + frlan(sn - 1, 2);

    int filled[kMaxSignals + 1] = {};
    for (int l = 1; l <= last; ++l)
        if (const int a = controlling_signal(tsignal(l)); a > 0)
            lanind(frlan(a, 1) + ++filled[a]) = l;
}

} // namespace velm
