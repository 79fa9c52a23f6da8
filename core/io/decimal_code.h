#pragma once
// Codes written as the decimals of a number field (one decimal per vehicle
// class, for example), taken from the field's text so that no digit is lost
// to single precision.
#include <cstddef>
#include <string_view>

namespace velm {

// The first `width` digits after the decimal point of `text` as a whole
// number, right-padded with zeros: with width 5, "12.2" is 20000, "12.00111"
// is 111 and "12" is 0. Digits beyond the width are not part of the code;
// `decimals` is how many the text has, for callers that refuse them. False
// for an exponent, which moves the digits off their places.
inline bool decimal_code(std::string_view text, int width, int& code, std::size_t& decimals) {
    code = 0;
    decimals = 0;
    if (text.find_first_of("eEdD") != std::string_view::npos) return false;
    const std::size_t      dot = text.find('.');
    const std::string_view digits =
        dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    decimals = digits.size();
    for (int i = 0; i < width; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        const char        c = k < digits.size() ? digits[k] : '0';
        code = code * 10 + (c >= '0' && c <= '9' ? c - '0' : 0);
    }
    return true;
}

} // namespace velm
