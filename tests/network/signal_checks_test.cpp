#include "core/network/network.h"
#include "network/network_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace velm {
namespace {

using testing_network::has_line;
using testing_network::lines_of;
using TestRun = testing_network::NetRun;

// The codes of the findings in the run log, in order.
std::vector<int> codes_in(const std::string& log) {
    std::vector<int> codes;
    for (const auto& l : lines_of(log))
        if (l.rfind(" Input File ", 0) == 0) codes.push_back(std::stoi(l.substr(l.rfind(' '))));
    return codes;
}

// Two-phase signal sn: greens 0..27 and 30..57, intergreens 3, cycle 60.
void two_phase_signal(Sim& s, int sn) {
    auto& sg = s.signal;
    sg.cycle(sn) = 60;
    sg.mincycle(sn) = 40;
    sg.maxcycle(sn) = 90;
    sg.phases(sn) = 2;
    const float t[2][3] = {{0, 27, 30}, {30, 57, 60}};
    for (int p = 1; p <= 2; ++p) {
        for (int k = 1; k <= 3; ++k) sg.phstr(sn, p, k) = t[p - 1][k - 1];
        sg.intgrn(sn, p) = 3;
    }
}

// A valid plan: signals 1 and 2 in a network of 10 nodes; link 1 discharges
// at signal 1 in phase 1, link 2 at signal 2 in phase 2.
void valid_plan(Sim& s) {
    s.set2.nnodes = 10;
    s.signal.nsignals = 2;
    s.signal.msignal = 2;
    two_phase_signal(s, 1);
    two_phase_signal(s, 2);
    s.link2.mlnum = 2;
    for (int l = 1; l <= 2; ++l) {
        s.link4.llength(l) = 0.5f;
        s.link3.tsignal(l) = l;
        s.link3.phase(l, 1, 1) = l;
    }
}

TEST(CheckSignals, FindingsAndTheirKinds) {
    struct Case {
        const char*               name;
        std::function<void(Sim&)> change;
        std::vector<int>          codes;
        int                       fatal; // errt1 after the check
    };
    const std::vector<Case> cases = {
        {"valid plan", [](Sim&) {}, {}, 0},
        {"more signals than nodes", [](Sim& s) { s.signal.nsignals = 12; }, {131010}, 1},
        {"more than 500 signals",
         [](Sim& s) {
             s.set2.nnodes = 2996;
             s.signal.nsignals = 501;
         },
         {131020},
         1},
        {"one phase", [](Sim& s) { s.signal.phases(1) = 1; }, {131100}, 1},
        {"seven phases", [](Sim& s) { s.signal.phases(2) = 7; }, {131110}, 1},
        {"minimum cycle 1", [](Sim& s) { s.signal.mincycle(1) = 1; }, {131140}, 1},
        {"cycle 2000, maximum 2400",
         [](Sim& s) {
             s.signal.cycle(1) = 2000;
             s.signal.maxcycle(1) = 2400;
             s.signal.phstr(1, 2, 2) = 1997;
             s.signal.phstr(1, 2, 3) = 2000;
         },
         {131150, 131170},
         0},
        {"cycle 0.5",
         [](Sim& s) {
             auto& sg = s.signal;
             sg.cycle(1) = 0.5f;
             sg.intgrn(1, 1) = sg.intgrn(1, 2) = 0.05f;
             const float t[2][3] = {{0, 0.2f, 0.25f}, {0.25f, 0.45f, 0.5f}};
             for (int p = 1; p <= 2; ++p)
                 for (int k = 1; k <= 3; ++k) sg.phstr(1, p, k) = t[p - 1][k - 1];
         },
         {131160, 131161},
         1},
        {"offset 700", [](Sim& s) { s.signal.offset(2) = 700; }, {131200}, 1},
        {"phases end at 59.5", [](Sim& s) { s.signal.phstr(1, 2, 2) = 56.5f; }, {131230}, 1},
        {"green 0.5",
         [](Sim& s) {
             s.signal.phstr(1, 2, 2) = 30.5f;
             s.signal.intgrn(1, 2) = 29.5f;
         },
         {131250},
         0},
        {"negative green",
         [](Sim& s) {
             s.signal.phstr(1, 1, 2) = -1;
             s.signal.intgrn(1, 1) = 31;
         },
         {131250, 131251},
         1},
        {"intergreen -1", [](Sim& s) { s.signal.intgrn(1, 1) = -1; }, {131281}, 0},
        {"intergreen 700", [](Sim& s) { s.signal.intgrn(2, 1) = 700; }, {131270}, 1},
        {"link to a missing signal", [](Sim& s) { s.link3.tsignal(2) = 7; }, {131510}, 1},
        {"link to signal 600", [](Sim& s) { s.link3.tsignal(2) = 600; }, {131510}, 1},
        {"negative code names its signal", [](Sim& s) { s.link3.tsignal(2) = -7; }, {131510}, 1},
        {"stop sign is no signal", [](Sim& s) { s.link3.tsignal(2) = 10001; }, {}, 0},
        {"uncoded link is skipped",
         [](Sim& s) {
             s.link3.tsignal(2) = 7;
             s.link4.llength(2) = kLinkNotCoded;
         },
         {},
         0},
        {"phase 3 of 2", [](Sim& s) { s.link3.phase(1, 2, 1) = -3; }, {131520}, 1},
        {"first slot 0",
         [](Sim& s) {
             s.link3.phase(1, 1, 1) = 0;
             s.link3.phase(1, 2, 1) = 1;
         },
         {131540},
         1},
        {"half a second of green for a link",
         [](Sim& s) {
             s.signal.phstr(2, 2, 2) = 30.5f;
             s.signal.intgrn(2, 2) = 29.5f;
         },
         {131250, 131610},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestRun r;
        valid_plan(r.s);
        c.change(r.s);
        checksgnl(r.s);
        EXPECT_EQ(codes_in(r.log()), c.codes) << r.log();
        EXPECT_EQ(r.s.errcount.numerr, static_cast<int>(c.codes.size()));
        EXPECT_EQ(r.s.errcount.errt1, c.fatal);
    }
}

TEST(CheckSignals, DetailLinesNameTheValues) {
    TestRun sum;
    valid_plan(sum.s);
    sum.s.signal.phstr(1, 2, 2) = 56.5f;
    checksgnl(sum.s);
    EXPECT_TRUE(has_line(sum.log(), free_line("Cycle length for signal ", 1, " is ", 60.0f,
                                              " which is not equal to the total length of",
                                              " all phases= ", 59.5f)))
        << sum.log();

    TestRun green;
    valid_plan(green.s);
    green.s.signal.phstr(1, 2, 2) = 30.5f;
    green.s.signal.intgrn(1, 2) = 29.5f;
    checksgnl(green.s);
    EXPECT_TRUE(has_line(green.log(), free_line("Green time for signal ", 1, " phase ", 2, " is  ",
                                                0, " which is less than", 1, " the recom min.")))
        << green.log();

    TestRun slot;
    valid_plan(slot.s);
    slot.s.link3.phase(1, 1, 1) = 0;
    checksgnl(slot.s);
    EXPECT_TRUE(has_line(slot.log(), free_line("Input File 2 Error ", 131540)));
    EXPECT_TRUE(has_line(slot.log(), free_line("Link ", 1, "is coded to discharge ",
                                               " during phase ", 0, " which is not legal ")));
    TestRun phase;
    valid_plan(phase.s);
    phase.s.link3.phase(1, 2, 1) = -3;
    checksgnl(phase.s);
    EXPECT_TRUE(has_line(phase.log(), free_line("Link ", 1, "is to discharge during ", "phase ", -3,
                                                " which is not coded", " in file 3 ")))
        << phase.log();

    // Every finding ends with a line holding one blank.
    const auto lines = lines_of(slot.log());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], free_line(" "));
}

TEST(SignalClusters, MastersAndFailures) {
    struct Case {
        const char* name;
        int         cluster; // ofsopt(4, 1)
        bool        with9;   // signal 9 coded
        int         code;    // 0: no failure
    };
    const Case cases[] = {
        {"clustered with signal 9", 9, true, 0},
        {"signal 9 not coded", 9, false, 141020},
        {"beyond the table", 600, true, 141010},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestRun r;
        auto&   sg = r.s.signal;
        sg.msignal = 9;
        two_phase_signal(r.s, 4);
        if (c.with9) two_phase_signal(r.s, 9);
        sg.ofsopt(4, 1) = c.cluster;
        clussign(r.s);
        if (c.code == 0) {
            EXPECT_EQ(r.s.errcount.errt1, 0);
            EXPECT_EQ(sg.ofsopt(4, 2), 9);
            EXPECT_EQ(sg.ofsopt(9, 2), 9);
            EXPECT_EQ(sg.ofsopt(9, 1), 0); // the master's own column as coded
        } else {
            EXPECT_EQ(r.codes(3), std::vector<int>{c.code}) << r.log();
            EXPECT_EQ(r.s.errcount.errt1, 1);
            EXPECT_EQ(r.s.errcount.numerr, 0);
            EXPECT_EQ(sg.ofsopt(4, 2), 0);
        }
    }
}

TEST(SignalClusters, ChainsAreNotFollowed) {
    // a -> b -> c with b after a, then with b before a.
    struct Case {
        int a, b, c, master_of_b;
    };
    const Case cases[] = {{2, 5, 7, 7}, {5, 2, 7, 2}};
    for (const Case& k : cases) {
        TestRun r;
        auto&   sg = r.s.signal;
        sg.msignal = 7;
        for (int sn : {k.a, k.b, k.c}) two_phase_signal(r.s, sn);
        sg.ofsopt(k.a, 1) = k.b;
        sg.ofsopt(k.b, 1) = k.c;
        clussign(r.s);
        EXPECT_EQ(sg.ofsopt(k.a, 2), k.b);
        EXPECT_EQ(sg.ofsopt(k.c, 2), k.c);
        EXPECT_EQ(sg.ofsopt(k.b, 2), k.master_of_b) << "a=" << k.a << " b=" << k.b;
    }
}

TEST(SignalClusters, ReadPlanThroughChecksAndClusters) {
    // The reader's negative offset becomes a cluster that the checks accept.
    TestRun r;
    r.s.set2.nnodes = 20;
    r.s.units.put_file("signals.dat", "Plan\n2 1 900\n1\n"
                                      "4 60 40 90 -9 2 27 3 27 3 0\n"
                                      "9 60 40 90 12 2 27 3 27 3 0\n");
    read3(r.s, "signals.dat");
    checksgnl(r.s);
    clussign(r.s);
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    EXPECT_EQ(r.s.errcount.numerr, 0);
    EXPECT_EQ(r.s.signal.ofsopt(4, 1), 9);
    EXPECT_EQ(r.s.signal.ofsopt(4, 2), 9);
    EXPECT_EQ(r.s.signal.ofsopt(9, 2), 9);
    EXPECT_FLOAT_EQ(r.s.signal.offset(9), 12);
}

} // namespace
} // namespace velm
