#pragma once
// What the core calls of the program that hosts it: the desktop front end, the
// console program, or a test. The core never reaches past this interface.
#include <string_view>

namespace velm {

class FrontEnd {
  public:
    virtual ~FrontEnd() = default;
    // The non-modal message window: shows a title and a text and returns at
    // once. The texts are copied; the core keeps no reference to them.
    virtual void core_message(std::string_view title, std::string_view text) = 0;
};

} // namespace velm
