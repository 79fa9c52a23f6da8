#include "frontend/batch_list.h"

#include "core/platform/platform.h"

#include <charconv>
#include <fstream>

namespace velm::gui {

std::string folder_of(std::string_view path) {
    const auto sep = path.find_last_of("/\\");
    if (sep == std::string_view::npos) return ".";
    if (sep == 0) return std::string(path.substr(0, 1));
    return std::string(path.substr(0, sep));
}

namespace {

// Removes the line end (LF already gone; a CR of a CRLF file remains).
void drop_line_end(std::string& line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
}

// The decimal integer at the start of the text (after blanks), as the count of
// runs; false when the line does not start with one.
bool leading_int(std::string_view text, int& value) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr != first;
}

} // namespace

std::vector<std::string> read_batch_file(const std::string& name, int& count,
                                         std::ostream& console) {
    count = 0;
    std::vector<std::string> list;
    std::ifstream            in(native_path(name));
    if (!in) {
        console << "Could not open file for reading\n";
        return list;
    }
    std::string line;
    if (!std::getline(in, line)) {
        console << "Error in first line\n";
        return list;
    }
    int wanted = 0;
    if (!std::getline(in, line) || !leading_int(line, wanted)) {
        console << "Error in second line\n";
        return list;
    }
    const std::string folder = folder_of(name);
    while (static_cast<int>(list.size()) < wanted && std::getline(in, line)) {
        drop_line_end(line);
        list.push_back(folder + "\\" + line);
    }
    count = static_cast<int>(list.size());
    return list;
}

} // namespace velm::gui
