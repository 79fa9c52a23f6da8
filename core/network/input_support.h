#pragma once
// Small helpers shared by the network readers.
#include "core/model/sim.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <string_view>

namespace velm::netin {

// The full name of an input file: the input directory (path1 up to lpath(1))
// followed by the name; the name alone when no directory is set.
inline std::string input_name(const Sim& s, std::string_view name) {
    const int lp = s.pathnam.lpath[1];
    if (lp <= 0) return std::string(name);
    std::string dir = s.filenam.path1.substr(0, static_cast<std::size_t>(lp));
    return dir + std::string(name);
}

// A real stored as an integer: truncated toward zero, and saturated at the
// integer range so that an absurd value (node 3e9) stays out of range instead
// of wrapping. Callers range-check the result.
inline int trunc_sat(double v) {
    if (std::isnan(v)) return 0;
    double t = std::trunc(v);
    if (t >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (t <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(t);
}

// The first n characters of a text, without trailing blanks.
inline std::string first_chars(std::string_view text, std::size_t n) {
    std::string_view t = text.substr(0, std::min(n, text.size()));
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    return std::string(t);
}

} // namespace velm::netin
