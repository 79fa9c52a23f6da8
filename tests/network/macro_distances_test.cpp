// The per-node overrides of "macrdist.dat" and "cms_lag.dat" and the per-link
// driver-dispersion factors of "plt_dsp.dat".
#include "core/network/network.h"
#include "network_fixture.h"

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

namespace velm {
namespace {

using testing_network::contains;
using testing_network::has_line;
using testing_network::NetRun;

struct OverrideCase {
    const char*                name;
    std::optional<std::string> file;     // none: the file is absent
    std::map<int, float>       expected; // node -> value; every other node: `others`
    float                      others;
    std::string                summary_line; // a line the summary must hold
    bool                       stopped;      // the run log reports an early stop
};

void check_case(const OverrideCase& c, const NetRun& r, const char* file, auto&& value) {
    SCOPED_TRACE(c.name);
    for (int node : {1, 2, 17, 25, 2996}) {
        const auto it = c.expected.find(node);
        EXPECT_FLOAT_EQ(value(node), it == c.expected.end() ? c.others : it->second)
            << "node " << node;
    }
    for (const auto& [node, v] : c.expected) EXPECT_FLOAT_EQ(value(node), v) << "node " << node;
    EXPECT_TRUE(has_line(r.summary(), c.summary_line)) << r.summary();
    EXPECT_EQ(contains(r.log(), std::string(" Error reading ") + file), c.stopped) << r.log();
    EXPECT_EQ(r.s.errcount.errt1, 0);
    EXPECT_EQ(r.s.errcount.numerr, 0);
}

TEST(MacroDistances, FileCases) {
    const OverrideCase cases[] = {
        {"absent",
         std::nullopt,
         {},
         50.0f,
         free_line("     - No Macro node Distances file used"),
         false},
        {"global and node values; node 3000 skipped",
         "distances\n2 4.5\n17 1.2\n3000, 9\n",
         {{17, 120.0f}},
         450.0f,
         free_line("     - Read in ", 2, " overrides "),
         false},
        {"no global value keeps the default",
         "t\n0 0\n",
         {},
         50.0f,
         free_line("     - Read in ", 0, " overrides "),
         false},
        {"negative global value keeps the default",
         "t\n1 -3\n25 2\n",
         {{25, 200.0f}},
         50.0f,
         free_line("     - Read in ", 1, " overrides "),
         false},
        {"file ends early: complete lines stay",
         "t\n3 1\n2 0.5\n",
         {{2, 50.0f}},
         100.0f,
         free_line("     - Read in ", 1, " overrides "),
         true},
        {"node value not a number",
         "t\n2 0\n17 1\n25 x\n",
         {{17, 100.0f}},
         50.0f,
         free_line("     - Read in ", 1, " overrides "),
         true},
        {"node number with a decimal point",
         "t\n1 0\n17.0 1\n",
         {},
         50.0f,
         free_line("     - Read in ", 0, " overrides "),
         true},
    };
    for (const auto& c : cases) {
        NetRun r;
        if (c.file) r.s.units.put_file("macrdist.dat", *c.file);
        rdmacdst(r.s);
        check_case(c, r, "macrdist.dat", [&](int n) { return r.s.graph1.macdst(n); });
        EXPECT_TRUE(has_line(r.summary(), free_line(" 13. Macro distance customization  ")));
        EXPECT_EQ(contains(r.log(), "Macro/Micro Zone Custom Distances"), c.file.has_value());
    }
}

TEST(MacroDistances, TitleIsEchoedAndDirectoryIsUsed) {
    NetRun r;
    r.s.filenam.path1 = "in/";
    r.s.pathnam.lpath[1] = 3;
    r.s.units.put_file("in/macrdist.dat", "Downtown thresholds\n0 0\n");
    rdmacdst(r.s);
    EXPECT_TRUE(has_line(r.summary(), free_line("     - Macro node Distances file:",
                                                fmt_a("Downtown thresholds", 40))));
}

TEST(MessageSignLags, FileCases) {
    const OverrideCase cases[] = {
        {"absent", std::nullopt, {}, 60.0f, free_line("     - No CMS Lag Time file used"), false},
        {"lag truncated",
         "lags\n1\n25 30.9\n",
         {{25, 30.0f}},
         60.0f,
         free_line("     - Read in ", 1, " overrides "),
         false},
        {"nodes outside the table skipped",
         "lags\n3\n0 5\n2997 5\n17, 12\n",
         {{17, 12.0f}},
         60.0f,
         free_line("     - Read in ", 3, " overrides "),
         false},
        {"file ends early",
         "lags\n2\n17 5\n",
         {{17, 5.0f}},
         60.0f,
         free_line("     - Read in ", 1, " overrides "),
         true},
        {"count missing",
         "lags\n",
         {},
         60.0f,
         free_line("     - Read in ", 0, " overrides "),
         true},
    };
    for (const auto& c : cases) {
        NetRun r;
        if (c.file) r.s.units.put_file("cms_lag.dat", *c.file);
        rdcmsdst(r.s);
        check_case(c, r, "cms_lag.dat",
                   [&](int n) { return static_cast<float>(r.s.graph1.cmslag(n)); });
        EXPECT_TRUE(has_line(r.summary(), free_line(" 14. CMS Lag distance customization ")));
    }
}

TEST(DriverDispersion, FileCases) {
    struct Case {
        const char*                name;
        std::optional<std::string> file;
        float                      link12[3]; // expected pltdsp(12, 1..3)
        std::string                echo;      // expected echo line; "" none
        const char*                log_part;  // expected in the run log; "" nothing
        const char*                last_line;
    };
    const Case cases[] = {
        {"absent",
         std::nullopt,
         {0.2f, 0.0f, 0.0f},
         "",
         "",
         "       - no platoon dispersion file completed"},
        {"link 12 replaced",
         "factors\n1\n12 0.15 0.1 0.05\n",
         {0.15f, 0.1f, 0.05f},
         "   12   0.150   0.100     0.1",
         "",
         "       - platoon dispersion file completed "},
        {"links outside the table skipped",
         "factors\n3\n0 0.1 0.1 0.1\n4488 0.1 0.1 0.1\n12 0 0 0\n",
         {0.0f, 0.0f, 0.0f},
         "   12   0.000   0.000     0.0",
         "link        4488  is outside",
         "       - platoon dispersion file completed "},
        {"free-speed factor of -1/3 or below skipped",
         "factors\n1\n12 -0.4 0.1 0.1\n",
         {0.2f, 0.0f, 0.0f},
         "",
         "would give drivers no speed",
         "       - platoon dispersion file completed "},
        {"file ends early",
         "factors\n2\n12 0.1 0.1 0.1\n13 0.1\n",
         {0.1f, 0.1f, 0.1f},
         "   12   0.100   0.100     0.1",
         "Error reading plt_dsp.dat",
         "       - platoon dispersion file read in part only "},
        {"count not a number",
         "factors\nx\n",
         {0.2f, 0.0f, 0.0f},
         "",
         "Error reading plt_dsp.dat",
         "       - platoon dispersion file read in part only "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        NetRun r;
        auto&  p = r.s.link4.pltdsp;
        p(12, 1) = 0.2f; // as the link file left it
        if (c.file) r.s.units.put_file("plt_dsp.dat", *c.file);
        rdpltdsp(r.s);
        for (int k = 1; k <= 3; ++k) EXPECT_FLOAT_EQ(p(12, k), c.link12[k - 1]) << k;
        for (int l : {1, 12, 4487}) EXPECT_FLOAT_EQ(p(l, 4), 1000.0f) << l;
        EXPECT_FLOAT_EQ(p(1, 1), 0.0f);
        if (!c.echo.empty()) {
            EXPECT_TRUE(has_line(r.summary(), c.echo)) << r.summary();
        }
        if (*c.log_part) {
            EXPECT_TRUE(contains(r.log(), c.log_part)) << r.log();
        }
        EXPECT_TRUE(has_line(r.summary(), free_line(c.last_line))) << r.summary();
        const std::string done = "       - platoon dispersion file completed ";
        EXPECT_EQ(has_line(r.summary(), free_line(done)), c.last_line == done);
        EXPECT_TRUE(has_line(r.summary(), free_line(" 19. Platoon dispersion customization ")));
        EXPECT_EQ(r.s.errcount.errt1, 0);
    }
}

} // namespace
} // namespace velm
