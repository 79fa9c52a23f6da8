// Every input that ever made a fuzz target find a fault, run again through the
// same target under the sanitizer build: fuzz/regressions/<target>/<input>.
#include "fuzz/free_reader_target.h"
#include "fuzz/tiny_sample.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace velm {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputs_of(const char* target) {
    std::vector<fs::path> out;
    for (const auto& e :
         fs::directory_iterator(fs::path(VELM_SOURCE_DIR) / "fuzz" / "regressions" / target))
        if (e.is_regular_file()) out.push_back(e.path());
    std::sort(out.begin(), out.end());
    return out;
}

const std::uint8_t* bytes(const std::string& s) {
    return reinterpret_cast<const std::uint8_t*>(s.data());
}

TEST(FuzzRegressions, FreeReader) {
    const auto inputs = inputs_of("free_reader");
    ASSERT_FALSE(inputs.empty());
    for (const auto& p : inputs) {
        SCOPED_TRACE(p.filename().string());
        const std::string in = fuzz::read_text(p);
        EXPECT_GE(fuzz::read_free_text(bytes(in), in.size()), 0);
    }
}

// Each input runs its input phase to its end (or to the file's error) with
// the run log written.
TEST(FuzzRegressions, InputPhase) {
    const auto inputs = inputs_of("input_phase");
    ASSERT_FALSE(inputs.empty());
    for (const auto& p : inputs) {
        SCOPED_TRACE(p.filename().string());
        const std::string in = fuzz::read_text(p);
        auto s = fuzz::run_fuzz_input(fs::path(VELM_SOURCE_DIR) / "samples" / "tiny", bytes(in),
                                      in.size());
        const std::string log = s->units.file_text("runerr.out");
        EXPECT_NE(log.find(" A. Array dimensions : "), std::string::npos);
    }
}

} // namespace
} // namespace velm
