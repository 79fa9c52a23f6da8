#pragma once
// The two ways the model writes text.
//
// Free-format lines (most run-log and summary-output lines): one leading blank,
// then the items in order; texts as they stand, joined to a preceding text;
// one blank before every number and between a number and a following text;
// whole numbers right-aligned in 11 columns, single-precision reals in 16
// columns with 9 significant digits (exponent "E+dd"), doubles in 25 columns
// with 17 (exponent "E+ddd"), in fixed notation with the exponent's columns
// left blank for magnitudes from 0.1 up to 10^9 (after rounding) and in
// exponent notation otherwise; non-finite values print "NaN", "Infinity" or
// "-Infinity" right-aligned in the field. A line with no items is empty.
//
// Fixed layouts: fmt_i (Iw), fmt_f (Fw.d), fmt_e (Ew.d), fmt_a (Aw), blanks
// (nX). A number that does not fit its field prints w asterisks (the optional
// zero before the decimal point is dropped first); text longer than its field
// keeps its leftmost characters. fmt_a prints a text variable of width w, so
// a shorter text is padded on the right.
#include "core/io/units.h"

#include <string>
#include <string_view>
#include <type_traits>

namespace velm {

// Builds one free-format line.
class FreeLine {
  public:
    FreeLine& operator<<(std::string_view text);
    FreeLine& operator<<(const char* text) { return *this << std::string_view(text); }
    FreeLine& operator<<(const std::string& text) { return *this << std::string_view(text); }
    FreeLine& operator<<(char c) { return *this << std::string_view(&c, 1); }
    FreeLine& operator<<(int v);
    FreeLine& operator<<(long v);
    FreeLine& operator<<(float v);
    FreeLine& operator<<(double v);
    FreeLine& operator<<(bool) = delete;
    const std::string& str() const { return s_; }

  private:
    void        number(std::string_view field);
    std::string s_;
    bool        any_ = false;
    bool        last_number_ = false;
};

template <class... T> std::string free_line(const T&... items) {
    FreeLine l;
    (static_cast<void>(l << items), ...); // no items: an empty line
    return l.str();
}

// Writes one free-format line to a unit.
template <class... T> void wfree(Units& u, int unit, const T&... items) {
    u.line(unit, free_line(items...));
}

// The number fields of free-format lines, without the blank before them.
std::string free_int(long v);      // 11 columns
std::string free_real(float v);    // 16 columns
std::string free_double(double v); // 25 columns

// Fixed-layout fields.
std::string        fmt_i(long v, int w);             // Iw
std::string        fmt_f(double v, int w, int d);    // Fw.d
std::string        fmt_e(double v, int w, int d);    // Ew.d, mantissa 0.ddd
std::string        fmt_a(std::string_view s, int w); // Aw, blank-padded or cut
inline std::string blanks(int n) {
    return std::string(n > 0 ? n : 0, ' ');
}

// The summary output's rule of 50 dashes, and the banner that opens an input
// file's section with it: a blank line, the rule, a blank line.
void summary_rule(Units& u);
void section_banner(Units& u);

// A section heading on `unit`: a rule of 45 dashes, then the heading.
void section_heading(Units& u, int unit, std::string_view heading);

// Text without its trailing blanks.
std::string_view trim_right(std::string_view s);

} // namespace velm
