#include "core/io/writers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace velm {

namespace {
std::string right(const std::string& s, int w) {
    if (w <= 0) return {};
    if (static_cast<int>(s.size()) > w) return std::string(static_cast<std::size_t>(w), '*');
    return std::string(static_cast<std::size_t>(w) - s.size(), ' ') + s;
}

std::string printf_text(const char* format, int digits, double v) {
    const int n = std::snprintf(nullptr, 0, format, digits, v);
    if (n <= 0) return {};
    std::string s(static_cast<std::size_t>(n) + 1, '\0');
    std::snprintf(s.data(), s.size(), format, digits, v);
    s.pop_back();
    return s;
}

// General real field of width w with sig significant digits and an exponent
// of edig digits. Fixed notation for magnitudes (after rounding) from 0.1 up
// to 10^9, with the exponent's columns ("E+dd": edig + 2) left blank;
// exponent notation, one digit before the point, otherwise.
std::string general(double v, int sig, int w, int edig) {
    const int room = edig + 2;
    if (std::isnan(v)) return right("NaN", w);
    if (std::isinf(v)) return right(v < 0 ? "-Infinity" : "Infinity", w);
    if (v == 0.0) return right(printf_text("%.*f", sig - 1, v), w - room) + blanks(room);
    // The decimal exponent after rounding to sig digits decides the notation.
    const std::string e = printf_text("%.*e", sig - 1, v);
    const std::size_t epos = e.find('e');
    const int         exp10 = std::atoi(e.c_str() + epos + 1);
    if (exp10 >= -1 && exp10 < 9) {
        const int   decimals = sig - 1 - exp10;
        std::string f = printf_text("%.*f", decimals, v);
        if (decimals == 0) f += '.';
        return right(f, w - room) + blanks(room);
    }
    std::string digits = std::to_string(exp10 < 0 ? -exp10 : exp10);
    if (static_cast<int>(digits.size()) < edig)
        digits = std::string(static_cast<std::size_t>(edig) - digits.size(), '0') + digits;
    return right(e.substr(0, epos) + (exp10 < 0 ? "E-" : "E+") + digits, w);
}
} // namespace

std::string free_int(long v) {
    return right(std::to_string(v), 11);
}
std::string free_real(float v) {
    return general(static_cast<double>(v), 9, 16, 2);
}
std::string free_double(double v) {
    return general(v, 17, 25, 3);
}

void FreeLine::number(std::string_view field) {
    s_ += ' ';
    s_ += field;
    any_ = true;
    last_number_ = true;
}

FreeLine& FreeLine::operator<<(std::string_view text) {
    if (!any_ || last_number_) s_ += ' ';
    s_ += text;
    any_ = true;
    last_number_ = false;
    return *this;
}

FreeLine& FreeLine::operator<<(int v) {
    number(free_int(v));
    return *this;
}
FreeLine& FreeLine::operator<<(long v) {
    number(free_int(v));
    return *this;
}
FreeLine& FreeLine::operator<<(float v) {
    number(free_real(v));
    return *this;
}
FreeLine& FreeLine::operator<<(double v) {
    number(free_double(v));
    return *this;
}

std::string fmt_i(long v, int w) {
    return right(std::to_string(v), w);
}

std::string fmt_f(double v, int w, int d) {
    if (w <= 0) return {};
    if (!std::isfinite(v) || d < 0) return std::string(static_cast<std::size_t>(w), '*');
    std::string s = printf_text("%.*f", d, v);
    if (d == 0) s += '.';
    if (static_cast<int>(s.size()) > w) {
        // The optional zero before the decimal point goes first.
        if (s.rfind("0.", 0) == 0)
            s.erase(0, 1);
        else if (s.rfind("-0.", 0) == 0)
            s.erase(1, 1);
    }
    return right(s, w);
}

std::string fmt_e(double v, int w, int d) {
    if (w <= 0) return {};
    if (!std::isfinite(v) || d < 1) return std::string(static_cast<std::size_t>(w), '*');
    int         exp10 = 0;
    std::string digits;
    if (v != 0.0) {
        // d significant digits as 0.ddd: the exponent is one above the 1.dd form's.
        const std::string e = printf_text("%.*e", d - 1, std::fabs(v));
        for (char c : e.substr(0, e.find('e')))
            if (c >= '0' && c <= '9') digits += c;
        exp10 = std::atoi(e.c_str() + e.find('e') + 1) + 1;
    } else {
        digits.assign(static_cast<std::size_t>(d), '0');
    }
    // Exponents beyond two digits drop the letter: 0.1000+124.
    char ebuf[16];
    if (std::abs(exp10) < 100)
        std::snprintf(ebuf, sizeof ebuf, "E%+03d", exp10);
    else
        std::snprintf(ebuf, sizeof ebuf, "%+04d", exp10);
    std::string s = std::string(std::signbit(v) ? "-" : "") + "0." + digits + ebuf;
    if (static_cast<int>(s.size()) > w) s.erase(s.find("0."), 1);
    return right(s, w);
}

std::string fmt_a(std::string_view s, int w) {
    if (w <= 0) return {};
    if (static_cast<int>(s.size()) >= w)
        return std::string(s.substr(0, static_cast<std::size_t>(w)));
    return std::string(s) + std::string(static_cast<std::size_t>(w) - s.size(), ' ');
}

void summary_rule(Units& u) {
    constexpr std::size_t kRuleChars = 50;
    wfree(u, kUnitSummary, std::string(kRuleChars, '-'));
}

void section_banner(Units& u) {
    wfree(u, kUnitSummary, "   ");
    summary_rule(u);
    wfree(u, kUnitSummary, "   ");
}

void section_heading(Units& u, int unit, std::string_view heading) {
    constexpr std::size_t kRuleChars = 45;
    wfree(u, unit, std::string(kRuleChars, '-'));
    wfree(u, unit, heading);
}

std::string_view trim_right(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

} // namespace velm
