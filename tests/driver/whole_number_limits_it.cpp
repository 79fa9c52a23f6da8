// Numbers at the edge of the integer range in every input of the tiny sample:
// each gives its file's error, or the result the rest of its input asks for,
// and never a wrapped value (the sanitizer build stops at any overflow).
#include "core/demand/demand.h"
#include "core/driver/errors.h"
#include "driver/driver_fixture.h"
#include "fuzz/tiny_sample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>

namespace velm {
namespace {

namespace fs = std::filesystem;

const fs::path kTiny = fs::path(VELM_SOURCE_DIR) / "samples" / "tiny";

int file_index(std::string_view name) {
    const auto& f = fuzz::kTinyFiles;
    return static_cast<int>(std::find(f.begin(), f.end(), name) - f.begin());
}

// The sample file with line n (1-based) replaced.
std::string with_line(std::string_view file, int n, const std::string& line) {
    return support::with_line(fuzz::read_text(kTiny / file), n, line);
}

struct EdgeCase {
    const char* name;
    const char* file; // the file of the tiny sample it replaces
    std::string text;
    const char* error; // in the run log; nullptr: the run completes its input phase
};

std::ostream& operator<<(std::ostream& o, const EdgeCase& c) {
    return o << c.name;
}

class WholeNumberLimits : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(WholeNumberLimits, GivesItsErrorOrItsResult) {
    const EdgeCase& c = GetParam();
    auto            s = fuzz::tiny_sim(kTiny, file_index(c.file), c.text);
    fuzz::input_phase(*s);
    const std::string log = s->units.file_text("runerr.out");
    if (c.error != nullptr) {
        EXPECT_GT(s->errcount.errt1, 0) << log;
        EXPECT_NE(log.find(c.error), std::string::npos) << log;
        EXPECT_EQ(log.find("-2147483648"), std::string::npos) << log;
        return;
    }
    ASSERT_EQ(s->errcount.errt1, 0) << log;
    // The same demand over the sample's own 0..600 s gives the trips due.
    auto base = fuzz::tiny_sim(kTiny, -1, "");
    fuzz::input_phase(*base);
    ASSERT_EQ(base->errcount.errt1, 0);
    ASSERT_GT(base->set2.nveh, 0);
    EXPECT_EQ(s->set2.nveh, base->set2.nveh) << log;
}

const std::string kTinyMaster = "tiny.master";

INSTANTIATE_TEST_SUITE_P(
    Repros, WholeNumberLimits,
    ::testing::Values(
        EdgeCase{"IncidentCountLowestInt", "input/incidents.dat", "none\n-2147483648\n",
                 "ERROR 1022"},
        EdgeCase{"IncidentLongerThanAnInt", "input/incidents.dat",
                 "long\n1\n1 2 1 -2000000000 2000000000\n", "151142"},
        EdgeCase{"IncidentEndBeyondAnInt", "input/incidents.dat", "far\n1\n1 2 1 0 3e9\n",
                 "151142"},
        EdgeCase{"LinkCountBelowTheIntRange", "input/links.dat",
                 with_line("input/links.dat", 2, "-3e9  1.0  1.0  1.0  1.0  1.0"), "121010"},
        EdgeCase{"OutputRate1LowestInt", "tiny.master",
                 with_line(kTinyMaster, 2, "600.123  -2147483648  0  1  0"), "ERROR 1022"},
        EdgeCase{"OutputRate2LowestInt", "tiny.master",
                 with_line(kTinyMaster, 2, "600.123  300  -2147483648  1  0"), "ERROR 1022"},
        EdgeCase{"TreeIntervalLowestInt", "tiny.master",
                 with_line(kTinyMaster, 2, "600.123  300  0  2  0\n-2147483648 0 0 0 0\n0 0 0 0 0"),
                 "ERROR 1022"},
        EdgeCase{"SignalPlanDurationBelowTheIntRange", "input/signals.dat",
                 with_line("input/signals.dat", 2, "1  1  -3e9"), "131011"},
        EdgeCase{"VehicleTypeCountLowestInt", "input/veh_parameters.dat",
                 "types\n-2147483648 0 0\n", "veh_parameters.dat"},
        EdgeCase{"DemandEndBeyondAnIntThroughAFarWindow", "input/demand.dat",
                 "far window\n1  0  -3000000000  1.0\n"
                 "1  1  2  300  0  0  5e9   1  0  0  0  0   0  1\n",
                 nullptr}),
    [](const ::testing::TestParamInfo<EdgeCase>& p) { return std::string(p.param.name); });

// The older acceleration file is read by request only; its count is a whole
// number whose absolute value is taken.
TEST(WholeNumberLimitsAcceleration, LowestIntCountIsAReadError) {
    auto s = testing::memory_sim();
    s->units.open_write(kUnitRunLog, "runerr.out");
    s->units.open_write(kUnitSummary, "summary.out");
    s->units.put_file("maxi_acc.dat", "acc\n-2147483648\n");
    EXPECT_THROW(rdmaxacc(*s), FatalRunError);
    EXPECT_GT(s->errcount.errt1, 0);
}

} // namespace
} // namespace velm
