#include "core/driver/errors.h"
#include "core/driver/per_second.h"
#include "core/network/network.h"
#include "network/network_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

using testing_network::has_line;
using TestRun = testing_network::NetRun;

const std::string kFile = "signals.dat";

// Puts the signal-timing file (a title line, then `body`) and reads it at second t.
void read_file_at(TestRun& r, const std::string& body, int t = 0) {
    if (t == 0) r.s.units.put_file(kFile, "Signal plans\n" + body);
    r.s.control.t = t;
    read3(r.s, kFile);
}

std::string free_text(const std::string& text) {
    return free_line(text) + "\n";
}

TEST(SignalFile, PlansOfTheFileTakeOverOnSchedule) {
    TestRun r;
    read_file_at(r, "2 3 900\n"
                    "1\n"
                    "1 60 40 90 0 2 27 3 27 3 0\n"
                    "2 80 40 90 0 2 37 3 37 3 0\n"
                    "2\n"
                    "1 70 40 90 0 2 32 3 32 3 0\n"
                    "3 90 40 90 0 2 42 3 42 3 0\n"
                    "3\n"
                    "1 50 40 90 0 2 22 3 22 3 0\n"
                    "2 100 40 90 0 2 47 3 47 3 0\n");
    auto& sg = r.s.signal;
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    EXPECT_EQ(sg.sigformat, kSignalStandard);
    EXPECT_EQ(sg.nsignals, 2);
    EXPECT_EQ(sg.nsigper, 3);
    EXPECT_EQ(sg.dsigper, 900);
    EXPECT_EQ(r.s.pathnam.filuse[3], 1);
    EXPECT_NE(r.summary().find("     - Complete file:   3   signals.dat"), std::string::npos);

    struct Step {
        int   t;
        int   plan;
        float c1, c2, c3; // cycles of signals 1, 2, 3
    };
    const Step steps[] = {{900, 2, 70, -1, 90}, {1800, 3, 50, 100, -1}};
    for (const Step& st : steps) {
        const std::size_t before = r.summary().size();
        read_file_at(r, "", st.t);
        const std::string added = r.summary().substr(before);
        EXPECT_EQ(sg.csigper, st.plan);
        EXPECT_FLOAT_EQ(sg.cycle(1), st.c1) << "t=" << st.t;
        EXPECT_FLOAT_EQ(sg.cycle(2), st.c2) << "t=" << st.t;
        EXPECT_FLOAT_EQ(sg.cycle(3), st.c3) << "t=" << st.t;
        EXPECT_TRUE(has_line(added, free_line("     - Current signal plan  =", st.plan)));
        // A later plan read without error is not listed as a completed file again.
        EXPECT_EQ(added.find("Complete file"), std::string::npos);
    }
    EXPECT_EQ(sg.msignal, 2);

    // After the last plan only the separator lines are written and plan 3 stays.
    const std::size_t before = r.summary().size();
    read_file_at(r, "", 2700);
    EXPECT_EQ(r.summary().substr(before),
              free_text("   ") + free_text(std::string(50, '-')) + free_text("   "));
    EXPECT_FLOAT_EQ(sg.cycle(1), 50);
    EXPECT_FLOAT_EQ(sg.cycle(2), 100);
    EXPECT_EQ(r.s.errcount.errt1, 0) << r.log();
}

TEST(SignalFile, MissingOrEmptyFileIsListed) {
    TestRun r;
    r.s.control.t = 0;
    read3(r.s, "absent.dat");
    EXPECT_TRUE(has_line(r.log(), free_line("ERROR 1020")));
    EXPECT_EQ(r.s.errcount.errt1, 2);

    TestRun e;
    e.s.units.put_file(kFile, "");
    read3(e.s, kFile);
    EXPECT_TRUE(has_line(e.log(), free_line("ERROR 1021")));

    TestRun h;
    read_file_at(h, "2 1 900\n1\n1 60 40 90 0 2 27 3 27 3 0\n"); // the second record is missing
    EXPECT_TRUE(has_line(h.log(), free_line("ERROR 1022")));
    EXPECT_TRUE(has_line(h.log(), free_line("Attempting to read to LINE", 5)));
}

TEST(SignalFile, StandardRecordFillsThePlanAndTheActuatedSettings) {
    TestRun r;
    read_file_at(r, "1 1 900\n1\n5 60 40 90 -3 2 27 3 27 3 0\n");
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    const auto& sg = r.s.signal;
    EXPECT_EQ(sg.msignal, 5);
    EXPECT_FLOAT_EQ(sg.cycle(5), 60);
    EXPECT_EQ(sg.mincycle(5), 40);
    EXPECT_EQ(sg.maxcycle(5), 90);
    EXPECT_FLOAT_EQ(sg.offset(5), 0);
    EXPECT_EQ(sg.ofsopt(5, 1), 3);
    EXPECT_EQ(sg.phases(5), 2);
    EXPECT_EQ(r.s.lnkvdet.actsig(5), 0);
    const float times[2][3] = {{0, 27, 30}, {30, 57, 60}};
    for (int p = 1; p <= 2; ++p) {
        for (int k = 1; k <= 3; ++k) {
            EXPECT_FLOAT_EQ(sg.phstr(5, p, k), times[p - 1][k - 1]) << p << "," << k;
            EXPECT_FLOAT_EQ(sg.phend(5, p, k), times[p - 1][k - 1]) << p << "," << k;
        }
        EXPECT_FLOAT_EQ(sg.intgrn(5, p), 3);
        EXPECT_FLOAT_EQ(sg.mingrn(5, p, 1), 5);
        EXPECT_FLOAT_EQ(sg.mingrn(5, p, 2), 79); // 90 - 6 - 5
        EXPECT_FLOAT_EQ(sg.grnext(5, p), 5);
    }
    EXPECT_FLOAT_EQ(sg.optmet(5, 1), 0.1f);
    EXPECT_FLOAT_EQ(sg.optmet(5, 2), 1.0f);
    for (int c = 1; c <= kClasses; ++c) EXPECT_FLOAT_EQ(sg.actwgt(5, c), 1.0f);
    EXPECT_FLOAT_EQ(sg.nactapp(5), 0);
    EXPECT_FLOAT_EQ(sg.cycle(4), -1); // not coded in the plan

    // The same record with a 59-s cycle: phase 2 ends after the cycle.
    TestRun bad;
    read_file_at(bad, "1 1 900\n1\n5 59 40 90 -3 2 27 3 27 3 0\n");
    EXPECT_EQ(bad.codes(3), std::vector<int>{131080});
    EXPECT_TRUE(has_line(bad.log(), free_line("Phase ", 2, " at signal ", 5, " concludes after ",
                                              60.0f, "seconds", " but cycle is only", 59.0f)))
        << bad.log();
}

TEST(SignalFile, ActuationCodeComesFromTheWrittenDecimals) {
    struct Case {
        const char* field;
        int         signal;
        int         code; // actsig, or the error code when `fails`
        bool        fails;
    };
    const Case cases[] = {
        {"12.00111", 12, 111, false},
        {"12.2", 12, 20000, false},
        {"12", 12, 0, false},
        {"-12.21", 12, 21000, false},
        {"499.00001", 499, 1, false},
        {"480.12345", 480, 12345, false},
        {"12.000001", 12, 131061, true},
        {"1.2e1", 12, 131061, true},
    };
    for (const Case& c : cases) {
        TestRun r;
        read_file_at(r, std::string("1 1 900\n1\n") + c.field + " 60 40 90 0 2 27 3 27 3 0\n");
        SCOPED_TRACE(c.field);
        if (c.fails) {
            EXPECT_EQ(r.codes(3), std::vector<int>{c.code}) << r.log();
            EXPECT_FLOAT_EQ(r.s.signal.cycle(c.signal), -1);
        } else {
            ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
            EXPECT_EQ(r.s.lnkvdet.actsig(c.signal), c.code);
            EXPECT_FLOAT_EQ(r.s.signal.cycle(c.signal), 60);
        }
    }
}

TEST(SignalFile, FatalFindingsStopTheReader) {
    struct Case {
        const char* body;
        int         code;
        int         line;
    };
    const Case cases[] = {
        {"2 1 0\n1\n", 131010, 2},
        {"2 0 600\n1\n", 131020, 2},
        {"501 1 600\n1\n", 131040, 2},
        {"1 1 600\n2\n1 60 40 90 0 2 27 3 27 3 0\n", 131050, 3},
        {"2 1 900\n1\n5 60 40 90 0 2 27 3 27 3 0\n5 60 40 90 0 2 27 3 27 3 0\n", 131070, 5},
        {"1 1 900\n1\n501 60 40 90 0 2 27 3 27 3 0\n", 131060, 4},
        {"1 1 900\n1\n0.5 60 40 90 0 2 27 3 27 3 0\n", 131060, 4},
        // Seven phases do not fit the table: rejected before anything is stored.
        {"1 1 900\n1\n5 70 40 90 0 7 7 3 7 3 7 3 7 3 7 3 7 3 7 3 0\n", 131110, 4},
        {"1 1 900\n1\n5 70 40 90 0 -2 0\n", 131100, 4},
        // Eight approach links do not fit the table.
        {"-1\n1\n5 60 40 90 0 0 2 27 5 60 5 3 27 5 60 5 3 0 0.1 1 1 1 1 1 1 8 1 2 3 4 5 6 7 8\n",
         131111, 4},
    };
    for (const Case& c : cases) {
        TestRun r;
        read_file_at(r, c.body);
        SCOPED_TRACE(c.body);
        EXPECT_EQ(r.codes(3), std::vector<int>{c.code}) << r.log();
        EXPECT_TRUE(has_line(r.log(), free_line("Attempting to read to LINE", c.line))) << r.log();
        // The reader counts its stop once and listerr once more.
        EXPECT_EQ(r.s.errcount.errt1, 2);
        EXPECT_EQ(r.s.pathnam.filuse[3], 0);
    }
    TestRun plan;
    read_file_at(plan, cases[3].body);
    EXPECT_TRUE(
        has_line(plan.log(), free_line("missing plan", 1, " in file 3", " noted plan is ", 2)));

    TestRun dup;
    read_file_at(dup, cases[4].body);
    EXPECT_TRUE(has_line(dup.log(), free_line("Signal number", 5, "is duplicated on line= ", 5)));

    // The reader's own refusal of a plan without phases says so in its own
    // words, not those of the signal check's two-phase minimum.
    TestRun none;
    read_file_at(none, cases[8].body);
    EXPECT_TRUE(has_line(none.log(), free_line("Signal ", 5, " is coded with ", -2,
                                               " phases: a plan needs at least one phase.")))
        << none.log();
    EXPECT_EQ(none.log().find("which is the minimum"), std::string::npos);

    TestRun seven;
    read_file_at(seven, cases[7].body);
    EXPECT_FLOAT_EQ(seven.s.signal.cycle(5), -1);
    EXPECT_EQ(seven.s.signal.phases(5), 0);
    EXPECT_EQ(seven.s.signal.msignal, 0);
}

// An offset is a time in the cycle of at most 600 s either way (a negative
// one in the standard layout names a cluster): anything else is refused at
// the line that gives it, before the cycle arithmetic meets it.
TEST(SignalFile, OffsetsOutsideTheCycleRangeAreRefused) {
    const std::string ext_rest = " 2 27 5 60 5 3 27 5 60 5 3 0 0.1 1 1 1 1 1 1 0\n";
    struct Case {
        std::string body;
        const char* value; // as the error line prints it; nullptr: accepted
    };
    const std::vector<Case> cases = {
        {"1 1 900\n1\n5 60 40 90 2147483647 2 27 3 27 3 0\n", "2.14748365E+09"},
        {"1 1 900\n1\n5 60 40 90 1e30 2 27 3 27 3 0\n", "1.00000002E+30"},
        {"1 1 900\n1\n5 60 40 90 601 2 27 3 27 3 0\n", "601.000000"},
        {"1 1 900\n1\n5 60 40 90 600 2 27 3 27 3 0\n", nullptr},
        {"-1\n1\n5 60 40 90 0 -2147483648" + ext_rest, "-2.14748365E+09"},
        {"-1\n1\n5 60 40 90 0 -601" + ext_rest, "-601.000000"},
        {"-1\n1\n5 60 40 90 0 1e30" + ext_rest, "1.00000002E+30"},
        {"-1\n1\n5 60 40 90 0 -600" + ext_rest, nullptr},
        {"-1\n1\n5 60 40 90 0 29" + ext_rest, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        TestRun r;
        read_file_at(r, c.body);
        if (c.value == nullptr) {
            EXPECT_TRUE(r.codes(3).empty()) << r.log();
            EXPECT_EQ(r.log().find("Offset "), std::string::npos) << r.log();
            continue;
        }
        EXPECT_EQ(r.codes(3), std::vector<int>{131201}) << r.log();
        const std::size_t at = r.log().find("Offset ");
        ASSERT_NE(at, std::string::npos) << r.log();
        const std::string detail = r.log().substr(at, r.log().find('\n', at) - at);
        EXPECT_NE(detail.find(c.value), std::string::npos) << detail;
        EXPECT_NE(detail.find(kFile), std::string::npos) << detail;
        EXPECT_NE(detail.find("on line"), std::string::npos) << detail;
        EXPECT_TRUE(has_line(r.log(), free_line("Attempting to read to LINE", 4))) << r.log();
        EXPECT_EQ(r.s.pathnam.filuse[3], 0);
    }
}

TEST(SignalFile, LineNumbersCountOnAcrossPlans) {
    TestRun r;
    read_file_at(r, "2 2 900\n"
                    "1\n"
                    "1 60 40 90 0 2 27 3 27 3 0\n"
                    "2 60 40 90 0 2 27 3 27 3 0\n"
                    "2\n"
                    "1 60 40 90 0 2 27 3 27 3 0\n"
                    "1 60 40 90 0 2 27 3 27 3 0\n");
    ASSERT_EQ(r.s.errcount.errt1, 0);
    read_file_at(r, "", 900);
    EXPECT_TRUE(has_line(r.log(), free_line("Signal number", 1, "is duplicated on line= ", 8)))
        << r.log();
    EXPECT_TRUE(has_line(r.log(), free_line("Attempting to read to LINE", 8)));
    EXPECT_EQ(r.s.errcount.errt1, 2);
}

TEST(SignalFile, ExtendedLayoutReadsEveryField) {
    TestRun r;
    read_file_at(r, "-2\n"
                    "1\n"
                    "3.012 60 40 90 4 10 2  27 0 3 4 3  27 6 40 3.5 3  120  0.2 0.8  1 2 1.5 1 1  "
                    "2 11 12\n"
                    "4 60 40 90 0 0 2  27 5 60 5 3\n"
                    "  27 5 60 5 3  0  0.1 1  1 1 1 1 1  0\n");
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    const auto& sg = r.s.signal;
    EXPECT_EQ(sg.sigformat, kSignalExtended);
    EXPECT_EQ(sg.nsignals, 2);
    EXPECT_EQ(sg.nsigper, 0);
    EXPECT_EQ(sg.dsigper, 0);
    const std::string sum = r.summary();
    EXPECT_TRUE(has_line(sum, free_line("     - Number of signals    =", 2)));
    EXPECT_EQ(sum.find("Number of plans"), std::string::npos);
    EXPECT_EQ(sum.find("Plan duration"), std::string::npos);
    EXPECT_EQ(sum.find("Standard Signal Format"), std::string::npos);

    EXPECT_EQ(r.s.lnkvdet.actsig(3), 1200);
    EXPECT_EQ(sg.ofsopt(3, 1), 4);
    EXPECT_FLOAT_EQ(sg.offset(3), 10);
    // Minimum green 0 becomes 5, and a maximum green below it is raised to it.
    EXPECT_FLOAT_EQ(sg.mingrn(3, 1, 1), 5);
    EXPECT_FLOAT_EQ(sg.mingrn(3, 1, 2), 5);
    EXPECT_FLOAT_EQ(sg.grnext(3, 1), 4);
    EXPECT_FLOAT_EQ(sg.mingrn(3, 2, 1), 6);
    EXPECT_FLOAT_EQ(sg.mingrn(3, 2, 2), 40);
    EXPECT_FLOAT_EQ(sg.grnext(3, 2), 3.5f);
    EXPECT_FLOAT_EQ(sg.phasopt(3), 120);
    EXPECT_FLOAT_EQ(sg.optmet(3, 1), 0.2f);
    EXPECT_FLOAT_EQ(sg.optmet(3, 2), 0.8f);
    EXPECT_FLOAT_EQ(sg.actwgt(3, 2), 2);
    EXPECT_FLOAT_EQ(sg.actwgt(3, 3), 1.5f);
    EXPECT_FLOAT_EQ(sg.nactapp(3), 2);
    EXPECT_FLOAT_EQ(sg.act(3, 1), 11);
    EXPECT_FLOAT_EQ(sg.act(3, 2), 12);
    // A coded maximum green above the room the cycle leaves is cut to it.
    EXPECT_FLOAT_EQ(sg.mingrn(4, 1, 2), 60);
    EXPECT_FLOAT_EQ(sg.phstr(4, 2, 3), 60);

    // Approach links are whole numbers.
    TestRun bad;
    read_file_at(bad, "-1\n1\n4 60 40 90 0 0 2 27 5 60 5 3 27 5 60 5 3 0 0.1 1 1 1 1 1 1 1 3.0\n");
    EXPECT_TRUE(has_line(bad.log(), free_line("ERROR 1022")));
}

// --- per-plan files ------------------------------------------------------------

const std::string kPlanOne = "1 1 -600\n1\n7.00111 60 40 90 -3 2 27 3 27 3 0\n";

std::string plan_file(const std::string& records) {
    return "Plan file\n1 1 -600\n0\n" + records;
}

TEST(SignalPlanFile, WholeSecondGreensAndKeptSettings) {
    TestRun r;
    read_file_at(r, kPlanOne);
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    r.s.units.put_file("interact\\signals.000", plan_file("7.2 60 30 80 -5 2 27.6 3 27.6 3 0\n"));
    readsgnl(r.s, 0);
    ASSERT_EQ(r.s.errcount.errt1, 0) << r.log();
    const auto& sg = r.s.signal;
    const float times[2][3] = {{0, 27, 30}, {30, 57, 60}};
    for (int p = 1; p <= 2; ++p)
        for (int k = 1; k <= 3; ++k)
            EXPECT_FLOAT_EQ(sg.phstr(7, p, k), times[p - 1][k - 1]) << p << "," << k;
    EXPECT_EQ(sg.mincycle(7), 30);
    EXPECT_FLOAT_EQ(sg.offset(7), -5); // a negative offset, not a cluster
    EXPECT_EQ(sg.ofsopt(7, 1), 3);     // kept from the signal-timing file
    EXPECT_EQ(r.s.lnkvdet.actsig(7), 111);
    EXPECT_EQ(r.s.pathnam.filuse[3], 1);
    const std::string sum = r.summary();
    EXPECT_TRUE(has_line(sum, free_line("  Read Sgnl numb=", 0)));
    EXPECT_TRUE(has_line(sum, free_line("  Read Sgnl freq=", 600)));
    EXPECT_NE(sum.find("     - Complete file:   3   interact\\signals.000"), std::string::npos);
}

TEST(SignalPlanFile, RunTimePlansPassTheReaderChecks) {
    struct Case {
        const char* name;
        const char* records; // nullptr: no file
        int         code;    // 0: accepted
    };
    const Case cases[] = {
        {"missing file", nullptr, 0},
        {"seven phases", "7 70 40 90 0 7 7 3 7 3 7 3 7 3 7 3 7 3 7 3 0\n", 131110},
        {"no phases", "7 60 40 90 0 0 0\n", 131100},
        {"offset -2147483648", "7 60 40 90 -2147483648 2 27 3 27 3 0\n", 131201},
        {"offset 1e30", "7 60 40 90 1e30 2 27 3 27 3 0\n", 131201},
        {"signal 600", "600 60 40 90 0 2 27 3 27 3 0\n", 131060},
        {"negative signal", "-7 60 40 90 0 2 27 3 27 3 0\n", 131060},
        {"ends after the cycle", "7 55 40 90 0 2 27.6 3 27.6 3 0\n", 131080},
        {"duplicate", nullptr, 131070},
        // Whole-second greens end this plan short of its cycle: accepted.
        {"short of the cycle", "7 61.2 40 90 0 2 28.1 3 27.1 3 0\n", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestRun r;
        read_file_at(r, c.code == 131070 ? "2 1 -600\n1\n7 60 40 90 0 2 27 3 27 3 0\n"
                                           "8 60 40 90 0 2 27 3 27 3 0\n"
                                         : kPlanOne);
        ASSERT_EQ(r.s.errcount.errt1, 0);
        if (c.code == 131070)
            r.s.units.put_file("interact\\signals.001",
                               "Plan\n2 1 -600\n1\n7 60 40 90 0 2 27 3 27 3 0\n"
                               "7 60 40 90 0 2 27 3 27 3 0\n");
        else if (c.records)
            r.s.units.put_file("interact\\signals.001", plan_file(c.records));
        r.s.control.t = 600;
        readsgnl(r.s, 600);
        if (c.records == nullptr && c.code == 0) {
            // Not only counted: the listing says which file could not be opened.
            EXPECT_TRUE(has_line(r.log(), free_line("ERROR 1020"))) << r.log();
            EXPECT_NE(r.log().find("interact\\signals.001"), std::string::npos);
            EXPECT_EQ(r.s.errcount.errt1, 2);
        } else if (c.code == 0) {
            EXPECT_EQ(r.s.errcount.errt1, 0) << r.log();
            EXPECT_FLOAT_EQ(r.s.signal.phstr(7, 2, 3), 61);
            EXPECT_EQ(r.summary().find("Complete file:   3   interact"), std::string::npos);
        } else {
            EXPECT_EQ(r.codes(3), std::vector<int>{c.code}) << r.log();
            EXPECT_TRUE(has_line(r.log(), free_line("ERROR 1022")));
            EXPECT_EQ(r.s.errcount.errt1, 2);
            EXPECT_EQ(r.s.pathnam.filuse[3], 0);
            EXPECT_LE(r.s.signal.msignal, kMaxSignals);
        }
    }
}

TEST(SignalPlanFile, PhaseEndIsWrittenAsWholeSeconds) {
    TestRun r;
    read_file_at(r, kPlanOne);
    r.s.units.put_file("interact\\signals.001", plan_file("7 55 40 90 0 2 27.6 3 27.6 3 0\n"));
    readsgnl(r.s, 600);
    EXPECT_TRUE(has_line(r.log(), free_line("Phase ", 2, " at signal ", 7, " concludes after ", 60,
                                            "seconds", " but cycle is only", 55.0f)))
        << r.log();
}

TEST(SignalPlanFile, PlanNumberBeyondThreeDigitsIsAnError) {
    TestRun r;
    read_file_at(r, "1 1 -1\n1\n7 60 40 90 0 2 27 3 27 3 0\n");
    ASSERT_EQ(r.s.errcount.errt1, 0);
    // A plan 000 that must not be taken for plan 1000.
    r.s.units.put_file("interact\\signals.000", plan_file("7 90 40 90 0 2 42 3 42 3 0\n"));
    readsgnl(r.s, 1000);
    EXPECT_EQ(r.codes(3), std::vector<int>{131090}) << r.log();
    EXPECT_TRUE(has_line(r.log(), free_line("ERROR 1020")));
    EXPECT_GE(r.s.errcount.errt1, 1);
    EXPECT_FLOAT_EQ(r.s.signal.cycle(7), 60);
}

} // namespace
} // namespace velm

namespace velm {
namespace {

// The plans in force second by second when the per-second block of the time
// loop takes them over: from the file itself (positive duration) or from the
// per-plan files (negative duration, plan 000 already at second 0).
TEST(SignalPlanSchedule, PerSecondBlockSwitchesPlansOnTime) {
    const std::string rec = " 40 90 0 2 27 3 27 3 0\n";
    struct Case {
        const char* name;
        std::string file;
        float       before_first; // cycle of signal 7 read at input
        float       cycles[3];    // cycles from 0, 600 and 1200 s
    };
    const Case cases[] = {
        {"per-plan files", "1 1 -600\n1\n7 60" + rec, 60, {70, 80, 90}},
        {"plans of the file",
         "1 3 600\n1\n7 60" + rec + "2\n7 75" + rec + "3\n7 85" + rec,
         60,
         {60, 75, 85}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestRun r;
        Sim&    s = r.s;
        s.set2.nnodes = 10;
        s.filenam.files(3) = kFile;
        read_file_at(r, c.file);
        checksgnl(s);
        clussign(s);
        lnindex(s);
        ASSERT_EQ(s.errcount.errt1, 0) << r.log();
        ASSERT_EQ(s.errcount.numerr, 0) << r.log();
        EXPECT_FLOAT_EQ(s.signal.cycle(7), c.before_first);
        const float per_plan[3] = {70, 80, 90};
        for (int k = 0; k < 3; ++k) {
            std::string digits = "00" + std::to_string(k);
            s.units.put_file("interact\\signals." + digits,
                             "Plan\n1 1 -600\n0\n7 " + std::to_string(per_plan[k]) + rec);
        }
        s.set1.simtim1 = 1500;
        s.set1.simtim10 = 15000;
        for (int t = 0; t <= 1500; ++t) {
            s.control.t = t;
            s.control.t10 = 10 * t;
            ASSERT_TRUE(per_second(s)) << "t=" << t << "\n" << r.log();
            const float want = c.cycles[std::min(t / 600, 2)];
            ASSERT_FLOAT_EQ(s.signal.cycle(7), want) << "t=" << t;
        }
        EXPECT_EQ(s.errcount.errt1, 0) << r.log();
    }
}

} // namespace
} // namespace velm
