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

// Largest magnitude a whole-number field holds. The range is symmetric so that
// the negation or absolute value of any stored value is itself a value.
inline constexpr int kWholeLimit = INT_MAX;

// A real stored as an integer: truncated toward zero, and saturated at
// -kWholeLimit..kWholeLimit so that an absurd value (node 3e9) stays out of
// range instead of wrapping. Callers range-check the result.
inline int trunc_sat(double v) {
    if (std::isnan(v)) return 0;
    double t = std::trunc(v);
    if (t >= static_cast<double>(kWholeLimit)) return kWholeLimit;
    if (t <= -static_cast<double>(kWholeLimit)) return -kWholeLimit;
    return static_cast<int>(t);
}

// True when v truncated toward zero lies within lo..hi: the range check of a
// count, rate, duration or time made in double, before it becomes an integer.
inline bool whole_within(double v, double lo, double hi) {
    if (!std::isfinite(v)) return false;
    const double t = std::trunc(v);
    return t >= lo && t <= hi;
}

// A whole-number field of any value: within -kWholeLimit..kWholeLimit.
inline bool whole_fits(double v) {
    return whole_within(v, -static_cast<double>(kWholeLimit), static_cast<double>(kWholeLimit));
}

// The first n characters of a text, without trailing blanks.
inline std::string first_chars(std::string_view text, std::size_t n) {
    std::string_view t = text.substr(0, std::min(n, text.size()));
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    return std::string(t);
}

} // namespace velm::netin
