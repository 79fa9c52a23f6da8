#include "frontend/config.h"

#include <fstream>

namespace velm::gui {

namespace {
constexpr std::string_view kWhite = " \t\n\r\v\f";
}

void set_default_config(InterfaceFlags& flags) {
    flags.log_screen_shots = 0;
    flags.log_file = 0;
}

std::string trimwhitespace(std::string_view input) {
    const auto first = input.find_first_not_of(kWhite);
    if (first == std::string_view::npos) return {};
    const auto last = input.find_last_not_of(kWhite);
    return std::string(input.substr(first, last - first + 1));
}

void get_key_value(std::string_view line, std::string& key, std::string& value) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) {
        key = "none";
        value = "none";
        return;
    }
    key = trimwhitespace(line.substr(0, eq));
    value = trimwhitespace(line.substr(eq + 1));
}

void apply_config_line(std::string_view line, InterfaceFlags& flags) {
    const std::string trimmed = trimwhitespace(line);
    if (!trimmed.empty() && trimmed.front() == '#') return;
    std::string key, value;
    get_key_value(trimmed, key, value);
    const int on = value == "on" ? 1 : 0;
    if (key == "log_screenshots")
        flags.log_screen_shots = on;
    else if (key == "log_file")
        flags.log_file = on;
}

bool read_interface_config_file(const std::string& name, InterfaceFlags& flags,
                                std::ostream& console) {
    std::ifstream in(name);
    if (!in) {
        console << "Could not open config file for reading\n";
        return false;
    }
    std::string line;
    while (std::getline(in, line)) apply_config_line(line, flags);
    return true;
}

} // namespace velm::gui
