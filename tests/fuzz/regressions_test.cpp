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

// Runs `check` over every stored input of a fuzz target, in name order.
template <class Check> void for_each_input(const char* target, Check check) {
    const auto inputs = inputs_of(target);
    ASSERT_FALSE(inputs.empty()) << "no stored input of " << target;
    for (const auto& p : inputs) {
        SCOPED_TRACE(p.filename().string());
        check(fuzz::read_text(p));
    }
}

TEST(FuzzRegressions, FreeReader) {
    for_each_input("free_reader", [](const std::string& in) {
        EXPECT_GE(fuzz::read_free_text(bytes(in), in.size()), 0);
    });
}

// Each input runs its input phase to its end (or to the file's error) with
// the run log written.
TEST(FuzzRegressions, InputPhase) {
    for_each_input("input_phase", [](const std::string& in) {
        auto s = fuzz::run_fuzz_input(fs::path(VELM_SOURCE_DIR) / "samples" / "tiny", bytes(in),
                                      in.size());
        EXPECT_NE(s->units.file_text("runerr.out").find(" A. Array dimensions : "),
                  std::string::npos);
    });
}

} // namespace
} // namespace velm
