#pragma once
// Text helpers of the run driver.
#include <string>
#include <string_view>

namespace velm {

// The text blank-padded to at least w characters; a longer text is kept whole
// (names are never cut when they are shown).
inline std::string padded(std::string_view text, std::size_t w) {
    std::string out(text);
    if (out.size() < w) out.append(w - out.size(), ' ');
    return out;
}

// "none" or "NONE" (trailing blanks already removed) marks a slot not in use.
inline bool slot_unused(std::string_view name) {
    return name == "none" || name == "NONE";
}

} // namespace velm
