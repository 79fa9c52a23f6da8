#include "frontend/config.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sstream>

namespace velm::gui {
namespace {

struct ConfigCase {
    const char* what;
    const char* text;
    int         log_screen_shots;
    int         log_file;
};

TEST(InterfaceConfig, LinesSetTheTwoSwitches) {
    const ConfigCase cases[] = {
        {"no blanks", "log_screenshots=on\n", 1, 0},
        {"blanks around everything", "   log_screenshots   =    on   \n", 1, 0},
        {"tab and CRLF", "log_file\t=\ton\r\n", 0, 1},
        {"capital On is off", "log_screenshots = On\n", 0, 0},
        {"comment line", "# log_file = on\n", 0, 0},
        {"indented comment", "   #log_file=on\n", 0, 0},
        {"later line wins (off)", "log_file = on\nlog_file = off\n", 0, 0},
        {"later line wins (on)", "log_file = off\nlog_file = on\n", 0, 1},
        {"no = changes nothing", "log_file on\n", 0, 0},
        {"keys are case-sensitive", "LOG_FILE = on\n", 0, 0},
        {"unknown keys ignored", "colour = on\nlog_file = on\n", 0, 1},
        {"both on", "log_screenshots = on\nlog_file = on", 1, 1},
    };
    for (const auto& c : cases) {
        support::TempDir   dir;
        const std::string  name = dir.write("velmsims_interface.config", c.text);
        InterfaceFlags     flags;
        std::ostringstream console;
        EXPECT_TRUE(read_interface_config_file(name, flags, console)) << c.what;
        EXPECT_EQ(flags.log_screen_shots, c.log_screen_shots) << c.what;
        EXPECT_EQ(flags.log_file, c.log_file) << c.what;
        EXPECT_EQ(console.str(), "") << c.what;
    }
}

TEST(InterfaceConfig, MissingFileKeepsBothOffAndSaysSoOnce) {
    support::TempDir   dir;
    InterfaceFlags     flags{1, 1};
    std::ostringstream console;
    set_default_config(flags);
    EXPECT_FALSE(read_interface_config_file(dir.file("velmsims_interface.config"), flags, console));
    EXPECT_EQ(flags.log_screen_shots, 0);
    EXPECT_EQ(flags.log_file, 0);
    EXPECT_EQ(console.str(), "Could not open config file for reading\n");
}

TEST(InterfaceConfig, KeyValueSplitsAtTheFirstEquals) {
    struct Case {
        const char* line;
        const char* key;
        const char* value;
    };
    const Case cases[] = {
        {"a=b", "a", "b"}, {"  a  =  b c  ", "a", "b c"},      {"a=b=c", "a", "b=c"},
        {"=on", "", "on"}, {"no equals here", "none", "none"}, {"", "none", "none"},
    };
    for (const auto& c : cases) {
        std::string key, value;
        get_key_value(c.line, key, value);
        EXPECT_EQ(key, c.key) << c.line;
        EXPECT_EQ(value, c.value) << c.line;
    }
    EXPECT_EQ(trimwhitespace(" \t\v\f\r\n"), "");
}

} // namespace
} // namespace velm::gui
