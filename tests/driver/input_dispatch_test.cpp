#include "core/driver/input_dispatch.h"
#include "support/memory_run.h"

#include "core/io/writers.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace velm {
namespace {

// The real chain with every call replaced by a recorder; the step named
// `fails` counts a fatal error.
std::vector<DispatchStep> recorded(std::vector<std::string>& calls, const std::string& fails) {
    std::vector<DispatchStep> steps = dispatch_steps();
    for (auto& step : steps)
        step.call = [&calls, id = step.id, fails](Sim& s) {
            calls.push_back(id);
            if (id == fails) s.errcount.errt1 += 1;
        };
    return steps;
}

using support::logged_sim;

TEST(InputDispatch, FilesAndDerivationsInTheirFixedOrder) {
    std::vector<std::string> ids;
    for (const auto& step : dispatch_steps()) ids.push_back(step.id);
    const std::vector<std::string> want{"read1",   "checknode", "read2",    "setxy",     "addnfnt",
                                        "nodspc",  "oplinval",  "linkwght", "checklink", "deflinks",
                                        "read3",   "checksgnl", "clussign", "lnindex",   "read4",
                                        "checkod", "read5",     "checkinc", "read6",     "read7"};
    EXPECT_EQ(ids, want);
}

TEST(InputDispatch, AFatalErrorStopsTheChainAfterItsStep) {
    struct Case {
        std::string fails;
        std::string last; // the last step that ran
    } const cases[] = {
        {"read1", "read1"},        {"checknode", "checknode"}, {"addnfnt", "checklink"},
        {"linkwght", "checklink"}, {"checklink", "checklink"}, {"read4", "read4"},
        {"checkod", "checkod"},    {"read5", "read5"},         {"read7", "read7"},
    };
    for (const auto& c : cases) {
        auto                     s = logged_sim();
        std::vector<std::string> calls;
        const auto               steps = recorded(calls, c.fails);
        s->pathnam.filuse[6] = 1;
        EXPECT_FALSE(run_dispatch(*s, steps)) << c.fails;
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls.back(), c.last) << c.fails;
        EXPECT_EQ(s->link5.ng_flag, 0) << c.fails; // the chain never reached its end
    }
}

TEST(InputDispatch, NodeStepsShowTheirBoxes) {
    struct Case {
        std::string fails;
        const char* title;
    } const cases[] = {{"read1", "Error in Reading Node File 1"},
                       {"checknode", "Error in Node Coordinates"},
                       {"read2", nullptr}};
    for (const auto& c : cases) {
        auto        s = logged_sim();
        std::string console;
        s->units.set_console([&console](std::string_view l) { console += std::string(l) + "\n"; });
        std::vector<std::string> calls;
        run_dispatch(*s, recorded(calls, c.fails));
        if (c.title) {
            EXPECT_NE(console.find(std::string("TITLE = -") + c.title + "*-"), std::string::npos)
                << console;
        } else {
            EXPECT_EQ(console.find("TITLE"), std::string::npos) << console;
        }
    }
}

TEST(InputDispatch, CompleteChainSetsTheEarlierRunFlag) {
    for (int used : {0, 1}) {
        auto                     s = logged_sim();
        std::vector<std::string> calls;
        s->pathnam.filuse[6] = used;
        s->filenam.files(4) = "demand.od";
        EXPECT_TRUE(run_dispatch(*s, recorded(calls, "")));
        EXPECT_EQ(calls.size(), dispatch_steps().size());
        EXPECT_EQ(s->link5.ng_flag, used ? 6 : 0);
        const std::string log = s->units.file_text("runerr.out");
        EXPECT_EQ(log.rfind(" -----------------------------\n", 0), 0u);
        EXPECT_NE(log.find("     - Reading file:   4  demand.od"), std::string::npos);
        EXPECT_NE(log.find("     - Reading file:   7  "), std::string::npos);
        EXPECT_EQ(log.find("     - Reading file:   8"), std::string::npos);
    }
}

} // namespace
} // namespace velm
