#pragma once
// What the speed-harmonisation tests share: a console kept as text, and the
// code of a reader's "Error" line in the run log.
#include "core/model/sim.h"

#include <string>
#include <string_view>

namespace velm::testing_control {

// Sends the run's console lines into `console`.
inline void keep_console(Sim& s, std::string& console) {
    s.units.set_console([&console](std::string_view t) {
        console.append(t);
        console.push_back('\n');
    });
}

// The first number after "<file> Error" in the run log; -1 without such a line.
inline long error_code(const std::string& log, const std::string& file) {
    const auto at = log.find(file + " Error");
    if (at == std::string::npos) return -1;
    const auto digits = log.find_first_of("0123456789", at + file.size());
    return digits == std::string::npos ? -1 : std::stol(log.substr(digits));
}

} // namespace velm::testing_control
