#include "core/io/writers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace velm {

namespace {
std::string right(std::string s, int w) {
    if (static_cast<int>(s.size()) > w) return std::string(w, '*');
    return std::string(w - static_cast<int>(s.size()), ' ') + s;
}

// General real field: sig significant digits in a field of width w whose last
// four columns hold the exponent, or stay blank when fixed notation is used.
std::string general(double v, int sig, int w) {
    char buf[64];
    if (v == 0.0) {
        std::snprintf(buf, sizeof buf, "%.*f", sig - 1, v);
        return right(buf, w - 4) + "    ";
    }
    // The decimal exponent after rounding to sig digits decides the notation.
    std::snprintf(buf, sizeof buf, "%.*e", sig - 1, v);
    const char* e    = std::strchr(buf, 'e');
    int         exp10 = e ? std::atoi(e + 1) : 0;
    if (exp10 >= -1 && exp10 < 9) {
        std::snprintf(buf, sizeof buf, "%.*f", sig - 1 - exp10, v);
        return right(buf, w - 4) + "    ";
    }
    std::snprintf(buf, sizeof buf, "%.*E", sig - 1, v);
    return right(buf, w);
}
} // namespace

std::string free_int(long v) { return right(std::to_string(v), 11); }
std::string free_real(float v) { return general(static_cast<double>(v), 9, 16); }
std::string free_double(double v) { return general(v, 17, 25); }

void FreeLine::number(std::string_view field) {
    s_ += ' ';
    s_ += field;
    any_         = true;
    last_number_ = true;
}

FreeLine& FreeLine::operator<<(std::string_view text) {
    if (!any_ || last_number_) s_ += ' ';
    s_ += text;
    any_         = true;
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

std::string fmt_i(long v, int w) { return right(std::to_string(v), w); }

std::string fmt_f(double v, int w, int d) {
    if (!std::isfinite(v)) return std::string(w, '*');
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", d, v);
    std::string s(buf);
    if (d == 0) s += '.';
    if (static_cast<int>(s.size()) > w) {
        // The optional zero before the decimal point goes first.
        if (s.rfind("0.", 0) == 0) s.erase(0, 1);
        else if (s.rfind("-0.", 0) == 0) s.erase(1, 1);
    }
    return right(s, w);
}

std::string fmt_e(double v, int w, int d) {
    if (!std::isfinite(v) || d < 1) return std::string(w, '*');
    char buf[64];
    int  exp10 = 0;
    std::string digits;
    if (v != 0.0) {
        std::snprintf(buf, sizeof buf, "%.*e", d - 1, std::fabs(v));
        for (char* p = buf; *p && *p != 'e'; ++p)
            if (*p >= '0' && *p <= '9') digits += *p;
        exp10 = std::atoi(std::strchr(buf, 'e') + 1) + 1;
    } else {
        digits.assign(static_cast<std::size_t>(d), '0');
    }
    char ebuf[16];
    if (std::abs(exp10) < 100) std::snprintf(ebuf, sizeof ebuf, "E%+03d", exp10);
    else std::snprintf(ebuf, sizeof ebuf, "%+04d", exp10);
    std::string s = std::string(std::signbit(v) ? "-" : "") + "0." + digits + ebuf;
    if (static_cast<int>(s.size()) > w) {
        auto z = s.find("0.");
        s.erase(z, 1);
    }
    return right(s, w);
}

std::string fmt_a(std::string_view s, int w) {
    if (w <= 0) return {};
    if (static_cast<int>(s.size()) >= w) return std::string(s.substr(0, static_cast<std::size_t>(w)));
    return std::string(s) + std::string(static_cast<std::size_t>(w) - s.size(), ' ');
}

std::string_view trim_right(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

} // namespace velm
