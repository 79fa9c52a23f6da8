#pragma once
// The texts of the non-modal message window. Longer texts are cut to fit the
// window's buffers; trailing blanks are part of the shown texts.
#include <string>
#include <string_view>

namespace velm::gui {

inline constexpr std::size_t kMessageTitleMax = 127; // characters of a shown title
inline constexpr std::size_t kMessageTextMax = 4095; // characters of a shown text

// Every access holds message_box_lock.
struct MessageTexts {
    int         was_created = 0; // 1 once the window exists
    int         is_hidden = 0;   // 1 while the window is hidden
    std::string message_title;
    std::string the_message;

    void set_text(std::string_view title, std::string_view text) {
        message_title.assign(title.substr(0, kMessageTitleMax));
        the_message.assign(text.substr(0, kMessageTextMax));
    }
};

} // namespace velm::gui
