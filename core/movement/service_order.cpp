// The link service order, rebuilt once a second: node by node in ascending
// number, the links whose head vehicle may reach the link end within the
// next 2 s, shuffled so that no approach is always served first, with
// signal-controlled and uncontrolled approaches ahead of stop and yield signs.
#include "core/movement/service_order.h"

#include "core/driver/random.h"
#include "core/io/writers.h"
#include "core/movement/movement.h"

#include <algorithm>
#include <cstdlib>

namespace velm {

namespace {
constexpr float kDueWithin = 2.0f;  // s ahead of the rebuild second
constexpr int   kServiceStream = 5; // random stream used by nothing else
} // namespace

void nodewght(Sim& s, int t, int node, NodeChoice& choice, int& totpicks) {
    const auto& g = s.graph1;
    const auto& l2 = s.link2;

    int       picks[kMaxNodeLinks] = {}; // eligible links in the order found
    int       remaining = 0;
    int       nfirst = 0;
    const int nin = std::clamp(g.nlinto(node), 0, kMaxNodeLinks);
    for (int k = 1; k <= nin; ++k) {
        const int l = g.linto(node, k);
        if (l < 1 || l > kMaxLinks || l2.ntqu(l) <= 0) continue;
        const int head = s.vehicle.big(l2.nbqu(l) + 1);
        if (!(static_cast<float>(t) >= s.vehicle.dept(head) - kDueWithin)) continue;
        picks[remaining++] = l;
        if (std::abs(s.link3.tsignal(l)) <= kLastSignalCode) ++nfirst;
    }
    totpicks = remaining;

    int c1 = 0;
    int c2 = 0;
    while (remaining > 0) {
        float u = 0.0f;
        random(s.rndnum.seed[kServiceStream], u);
        int k = 1 + static_cast<int>(u * static_cast<float>(remaining));
        if (k > remaining || k < 1) {
            wfree(s.units, kUnitRunLog, "lnkpicked=", k, " rempicks=", remaining);
            k = std::clamp(k, 1, remaining);
        }
        const int l = picks[k - 1];
        if (std::abs(s.link3.tsignal(l)) <= kLastSignalCode)
            choice[static_cast<std::size_t>(++c1)] = l;
        else
            choice[static_cast<std::size_t>(nfirst + ++c2)] = l;
        std::copy(picks + k, picks + remaining, picks + k - 1);
        --remaining;
    }
}

void sortlist(Sim& s, int t, int mnodenum, int& nlact) {
    auto&      list = s.graph1.list;
    int        count = 0;
    NodeChoice choice{};
    const int  last = std::min(mnodenum, kMaxNodes);
    for (int node = 1; node <= last; ++node) {
        if (!(s.graph1.x(node) > 0.0f)) continue;
        int totpicks = 0;
        nodewght(s, t, node, choice, totpicks);
        for (int k = 1; k <= totpicks && count < kMaxLinks; ++k)
            list(++count) = choice[static_cast<std::size_t>(k)];
    }
    nlact = count;
}

} // namespace velm
