#pragma once
// Small helpers of the run-driver tests, over the in-memory run and the text
// helpers of the test support library.
#include "support/memory_run.h"

#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace velm::testing {

// The shared in-memory run and text helpers, under the names these tests use.
using namespace velm::support;

// Right-aligned whole number in w columns (the free layout's 11, the echo's 8).
inline std::string right(long v, int w) {
    std::string t = std::to_string(v);
    return std::string(t.size() < static_cast<std::size_t>(w) ? w - t.size() : 0, ' ') + t;
}

} // namespace velm::testing
