// Traveller-information messages: the reader and the link times they give
// the tree builds.
#include "core/network/network.h"
#include "core/routing/routing.h"
#include "network_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velm {
namespace {

using testing_network::contains;
using testing_network::has_line;
using testing_network::NetRun;

struct AtisRun : NetRun {
    void read(const std::string& text) {
        s.units.put_file("atis_msg.dat", text);
        rd_atis(s);
    }
    // Link 250's time at second t when it is 40 s without messages.
    float time_at(int t) {
        Array1<float> times{"times", kMaxLinks};
        times(250) = 40.0f;
        times(251) = 40.0f;
        add_atis(s, t, times);
        EXPECT_FLOAT_EQ(times(251), 40.0f) << "no message names link 251";
        return times(250);
    }
};

std::string file_of(const std::vector<std::string>& records) {
    std::string t = "incident messages\n" + std::to_string(records.size()) + "\n";
    for (const auto& r : records) t += r + "\n";
    return t;
}

TEST(AtisMessages, LinkTimesInForce) {
    struct Case {
        const char*              name;
        std::vector<std::string> records;
        int                      t;
        float                    time; // link 250, 40 s without messages
    };
    const Case cases[] = {
        {"add before the window", {"1 250 600 1200 2 30.5"}, 599, 40.0f},
        {"add at the window start", {"1 250 600 1200 2 30.5"}, 600, 70.5f},
        {"add at the last second", {"1 250 600 1200 2 30.5"}, 1199, 70.5f},
        {"window end excluded", {"1 250 600 1200 2 30.5"}, 1200, 40.0f},
        {"scale", {"1 250 0 100 3 1.5"}, 50, 60.0f},
        {"scale kept to hundredths", {"1 250 0 100 3 0.333"}, 50, 40.0f * 0.33f},
        {"set", {"1 250 0 100 1 12"}, 0, 12.0f},
        {"empty window never active", {"1 250 100 100 1 12"}, 100, 40.0f},
        {"unknown type has no effect", {"1 250 0 100 4 12"}, 50, 40.0f},
        {"set then add, in message order", {"1 250 0 900 1 100", "2 250 0 900 2 20"}, 10, 120.0f},
        {"add then set: the set wins", {"1 250 0 900 2 20", "2 250 0 900 1 100"}, 10, 100.0f},
        {"only the active one of two", {"1 250 0 900 1 100", "2 250 500 900 2 20"}, 10, 100.0f},
        {"negative message number still acts", {"-1 250 0 900 2 5"}, 10, 45.0f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AtisRun r;
        r.read(file_of(c.records));
        EXPECT_FLOAT_EQ(r.time_at(c.t), c.time);
    }
}

TEST(AtisMessages, TableAndEcho) {
    AtisRun r;
    r.read(file_of({"1, 250, 600, 1200, 2, 30.5", "-1 17 0 60 3 0.333"}));
    const auto& am = r.s.atis_msg;
    ASSERT_EQ(am.natismsg, 2);
    const int expect1[5] = {250, 600, 1200, 2, 3050};
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(am.atismsg(1, k), expect1[k - 1]) << k;
    EXPECT_EQ(am.atismsg(2, 5), 33);
    const std::string sum = r.summary();
    EXPECT_TRUE(has_line(sum, free_line(" 34. ATIS Message Stream      ")));
    EXPECT_TRUE(has_line(sum, free_line("     file: ", fmt_a("atis_msg.dat", 360))));
    EXPECT_TRUE(
        has_line(sum, free_line("     - ATIS file name    :", fmt_a("incident messages", 40))));
    EXPECT_TRUE(has_line(sum, free_line("     - Number of messages:", 2)));
    EXPECT_TRUE(has_line(sum, "     - msg:      1 -      250     600    1200       2   30.50"))
        << sum;
    EXPECT_TRUE(has_line(sum, "     - msg:      2 -       17       0      60       3    0.33"));
    EXPECT_TRUE(has_line(r.log(), free_line(" ATIS Message stream error - Field 1")));
    EXPECT_TRUE(has_line(r.log(), free_line("     a. ATIS Message Stream provided")));
    EXPECT_EQ(r.s.errcount.errt1, 0);
}

TEST(AtisMessages, NothingLeavesTheTable) {
    struct Case {
        const char*      name;
        std::string      file; // "" = absent
        int              stored;
        std::vector<int> links; // atismsg(i, 1) of the stored messages
        const char*      log_part;
    };
    std::vector<std::string> many;
    for (int i = 1; i <= 101; ++i)
        many.push_back(std::to_string(i) + " " + std::to_string(i) + " 0 10 2 1");
    const Case cases[] = {
        {"absent", "", 0, {}, ""},
        {"more than 100 messages", file_of(many), 100, {1, 2}, "messages exceed the maximum"},
        {"links outside 1..4487 skipped",
         file_of({"1 0 0 9 1 1", "2 4488 0 9 1 1", "3 4487 0 9 1 1"}),
         1,
         {4487},
         "is outside 1 to"},
        {"file ends early",
         "t\n3\n1 250 0 9 1 1\n2 251 0\n",
         1,
         {250},
         "Error reading atis_msg.dat"},
        {"count not a number", "t\nthree\n", 0, {}, "Error reading atis_msg.dat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AtisRun r;
        r.s.atis_msg.natismsg = 7; // left from an earlier read
        if (c.file.empty())
            rd_atis(r.s);
        else
            r.read(c.file);
        EXPECT_EQ(r.s.atis_msg.natismsg, c.stored);
        for (std::size_t i = 0; i < c.links.size(); ++i)
            EXPECT_EQ(r.s.atis_msg.atismsg(static_cast<int>(i) + 1, 1), c.links[i]);
        if (*c.log_part) {
            EXPECT_TRUE(contains(r.log(), c.log_part)) << r.log();
        }
        if (c.file.empty()) {
            EXPECT_TRUE(
                has_line(r.summary(), free_line("     - No ATIS Messages specified        ")));
        }
        // Applying them at any second stays inside the link table.
        r.time_at(5);
        EXPECT_EQ(r.s.errcount.errt1, 0);
    }
}

} // namespace
} // namespace velm
