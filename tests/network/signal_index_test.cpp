#include "core/network/network.h"
#include "network/network_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace velm {
namespace {

using TestRun = testing_network::NetRun;

// The links of signal sn as the index lists them.
std::vector<int> links_of(const Sim& s, int sn) {
    const auto&      f = s.lnkvdet.frlan;
    std::vector<int> out;
    for (int k = 1; k <= f(sn, 2); ++k) out.push_back(s.lnkvdet.lanind(f(sn, 1) + k));
    return out;
}

TEST(SignalLinkIndex, GroupsLinksBySignal) {
    TestRun r;
    auto&   tsignal = r.s.link3.tsignal;
    r.s.link2.mlnum = 20;
    for (int l : {3, 8, 12}) tsignal(l) = 2;
    tsignal(5) = 1;
    tsignal(14) = -7;           // right turn on red: still signal 7
    tsignal(15) = 10001;        // stop sign
    tsignal(16) = 600;          // a signal number beyond the table
    tsignal(17) = 10002;        // yield sign
    r.s.lnkvdet.lanind(6) = 99; // beyond the last block: left as it was
    lnindex(r.s);

    const auto& frlan = r.s.lnkvdet.frlan;
    EXPECT_EQ(frlan(1, 1), 0);
    EXPECT_EQ(frlan(1, 2), 1);
    EXPECT_EQ(frlan(2, 1), 1);
    EXPECT_EQ(frlan(2, 2), 3);
    for (int sn = 3; sn <= 7; ++sn) EXPECT_EQ(frlan(sn, 1), 4) << sn;
    for (int sn = 8; sn <= kMaxSignals; ++sn) EXPECT_EQ(frlan(sn, 1), 5) << sn;
    EXPECT_EQ(frlan(3, 2), 0); // a signal without links has an empty block
    EXPECT_EQ(links_of(r.s, 1), std::vector<int>({5}));
    EXPECT_EQ(links_of(r.s, 2), std::vector<int>({3, 8, 12}));
    EXPECT_EQ(links_of(r.s, 7), std::vector<int>({14}));
    EXPECT_EQ(r.s.lnkvdet.lanind(6), 99);

    // Built again (the counts start from zero), the index is the same.
    lnindex(r.s);
    EXPECT_EQ(frlan(2, 2), 3);
    EXPECT_EQ(links_of(r.s, 2), std::vector<int>({3, 8, 12}));
}

TEST(SignalLinkIndex, EveryLinkOfTheTableFits) {
    // Every link at signal 500: one block of 4487 entries, none outside the list.
    TestRun r;
    r.s.link2.mlnum = kMaxLinks;
    for (int l = 1; l <= kMaxLinks; ++l) r.s.link3.tsignal(l) = kMaxSignals;
    lnindex(r.s);
    EXPECT_EQ(r.s.lnkvdet.frlan(kMaxSignals, 1), 0);
    EXPECT_EQ(r.s.lnkvdet.frlan(kMaxSignals, 2), kMaxLinks);
    EXPECT_EQ(r.s.lnkvdet.lanind(kMaxLinks), kMaxLinks);
}

} // namespace
} // namespace velm
