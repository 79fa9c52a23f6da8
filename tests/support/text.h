#pragma once
// Text helpers of the tests: the lines of a written file, whether a line or a
// part is present and how often, and whole files read from disk.
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velm::support {

// The lines of a text, without their line ends; a last line without an end
// counts, an empty text has none.
inline std::vector<std::string> lines_of(std::string_view text) {
    std::vector<std::string> out;
    std::size_t              i = 0;
    while (i < text.size()) {
        std::size_t j = text.find('\n', i);
        if (j == std::string_view::npos) j = text.size();
        out.emplace_back(text.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

// The text with its line n (1-based) replaced by `line`; every line ends in a
// newline.
inline std::string with_line(std::string_view text, int n, const std::string& line) {
    const auto  lines = lines_of(text);
    std::string out;
    for (int i = 1; i <= static_cast<int>(lines.size()); ++i)
        out += (i == n ? line : lines[static_cast<std::size_t>(i - 1)]) + "\n";
    return out;
}

// Whether some whole line of the text equals `line`.
inline bool has_line(std::string_view text, std::string_view line) {
    for (const auto& l : lines_of(text))
        if (l == line) return true;
    return false;
}

inline bool contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

// How often `part` stands in the text, counting places that do not overlap.
inline int count_of(std::string_view text, std::string_view part) {
    if (part.empty()) return 0;
    int         n = 0;
    std::size_t p = 0;
    while ((p = text.find(part, p)) != std::string_view::npos) {
        ++n;
        p += part.size();
    }
    return n;
}

// The line right after the first line equal to `line` ("" when none).
inline std::string line_after(std::string_view text, std::string_view line) {
    const auto ls = lines_of(text);
    for (std::size_t i = 0; i + 1 < ls.size(); ++i)
        if (ls[i] == line) return ls[i + 1];
    return {};
}

// The whole of a file on disk ("" when it cannot be read).
inline std::string slurp(const std::filesystem::path& p) {
    std::ifstream      in(p, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

#ifdef VELM_SOURCE_DIR
// A text fixture of tests/data/<dir>; a missing one is an error of the test,
// not an empty input.
inline std::string data_file(const std::string& dir, const std::string& name) {
    const auto p = std::filesystem::path(VELM_SOURCE_DIR) / "tests" / "data" / dir / name;
    if (!std::filesystem::exists(p)) throw std::runtime_error("missing fixture " + p.string());
    return slurp(p);
}
#endif

} // namespace velm::support
