#pragma once
// The interface configuration file "velmsims_interface.config": two switches,
// `log_screenshots` and `log_file`, each on only when its value is exactly "on".
#include <ostream>
#include <string>
#include <string_view>

namespace velm::gui {

inline constexpr const char* kInterfaceConfigFile = "velmsims_interface.config";

struct InterfaceFlags {
    int log_screen_shots = 0; // 1: periodic snapshots into a dated folder per run
    int log_file = 0;         // 1: the progress hook appends to "velmsims_log.txt"
};

void set_default_config(InterfaceFlags& flags);

// The text without leading and trailing white space (blank, tab, line feed,
// carriage return, vertical tab, form feed).
std::string trimwhitespace(std::string_view input);

// Splits a line at its first "=" into a trimmed key and value; a line without
// "=" gives the key "none" and the value "none".
void get_key_value(std::string_view line, std::string& key, std::string& value);

// Applies one line of the file to the flags (comments and unknown keys change
// nothing; a later line for the same key wins).
void apply_config_line(std::string_view line, InterfaceFlags& flags);

// Reads the file and sets the flags; a missing file keeps them as they are and
// says so on the console. Returns false when the file could not be opened.
bool read_interface_config_file(const std::string& name, InterfaceFlags& flags,
                                std::ostream& console);

} // namespace velm::gui
