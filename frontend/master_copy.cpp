#include "frontend/master_copy.h"

#include "core/io/free_reader.h"
#include "core/platform/platform.h"
#include "frontend/batch_list.h"

#include <array>
#include <fstream>
#include <iterator>
#include <span>
#include <sstream>
#include <vector>

namespace velm::gui {

namespace {

constexpr int kClassCount = 5; // route-choice records hold one value per vehicle class

// Route-choice records after the run parameters: whole-number records then one
// record of reals, by format code (other codes have none).
struct RouteChoiceLayout {
    int int_records;
    int real_records;
};
RouteChoiceLayout route_choice_layout(int eqtr) {
    switch (eqtr) {
    case 2:
        return {1, 1};
    case 3:
        return {7, 1};
    default:
        return {0, 0};
    }
}

bool read_record_of(FreeReader& r, std::span<int> v) {
    return r.record(v) == ReadResult::ok;
}
bool read_record_of(FreeReader& r, std::span<float> v) {
    return r.record(v) == ReadResult::ok;
}

// Splits a text into lines, each keeping its own line end.
std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t                   start = 0;
    while (start < text.size()) {
        auto nl = text.find('\n', start);
        if (nl == std::string_view::npos) nl = text.size() - 1;
        lines.push_back(text.substr(start, nl - start + 1));
        start = nl + 1;
    }
    return lines;
}

void print_fields(std::string_view line, std::ostream& console) {
    int                        field = 0;
    std::size_t                i = 0;
    constexpr std::string_view kSeparators = " ,\t\r\n";
    while (i < line.size()) {
        i = line.find_first_not_of(kSeparators, i);
        if (i == std::string_view::npos) break;
        auto j = line.find_first_of(kSeparators, i);
        if (j == std::string_view::npos) j = line.size();
        console << "tok = " << ++field << " = [" << line.substr(i, j - i) << "]\n";
        i = j;
    }
}

bool read_whole_file(const std::string& name, std::string& text) {
    std::ifstream in(native_path(name), std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

} // namespace

DirectoryLines find_directory_lines(std::string_view master_text) {
    DirectoryLines     dirs;
    std::istringstream in{std::string(master_text)};
    FreeReader         r(in);
    std::string        text;
    if (!r.text_line(text)) return dirs;
    double T = 0;
    float  rate1 = 0, rate2 = 0, code = 0, rate4 = 0;
    if (r.record(T, rate1, rate2, code, rate4) != ReadResult::ok) return dirs;
    if (!truncate_to_int(static_cast<double>(code) + 0.001, dirs.eqtr)) return dirs;
    const RouteChoiceLayout        layout = route_choice_layout(dirs.eqtr);
    std::array<int, kClassCount>   ints{};
    std::array<float, kClassCount> reals{};
    for (int k = 0; k < layout.int_records; ++k)
        if (!read_record_of(r, ints)) return dirs;
    for (int k = 0; k < layout.real_records; ++k)
        if (!read_record_of(r, reals)) return dirs;
    if (!r.text_line(text)) return dirs;
    dirs.input = r.line();
    if (!r.text_line(text)) return dirs;
    dirs.output = r.line();
    dirs.found = true;
    return dirs;
}

std::string insert_star_in_string(std::string_view line) {
    auto end = line.find_first_of("\r\n");
    if (end == std::string_view::npos) end = line.size();
    std::string out(line.substr(0, end));
    out.push_back('*');
    out.append(line.substr(end));
    return out;
}

CopyResult create_master_file_from_file(const std::string& master, std::ostream& console,
                                        const std::string& copy_name) {
    CopyResult        result;
    const std::string folder = folder_of(master);
    console << "Folder Path = " << folder << "\n";
    console << "File name = " << master << "\n";

    std::string   text;
    const bool    readable = read_whole_file(master, text);
    std::ofstream out(native_path(copy_name), std::ios::binary | std::ios::trunc);
    if (!out) {
        console << "Could Not Open Write File for Writing\n";
        result.status = CopyStatus::cannot_write;
        return result;
    }
    if (!readable) {
        console << "Could Not Open Read File for Reading\n";
        result.status = CopyStatus::cannot_read;
        return result;
    }

    result.dirs = find_directory_lines(text);
    int number = 0;
    for (std::string_view line : split_lines(text)) {
        ++number;
        if (number == 2) print_fields(line, console);
        if (result.dirs.found && (number == result.dirs.input || number == result.dirs.output))
            out << folder << '\\' << insert_star_in_string(line);
        else
            out << line;
    }
    out.close();
    if (!out) {
        console << "Could Not Open Write File for Writing\n";
        result.status = CopyStatus::cannot_write;
    }
    return result;
}

std::string copy_failure_text(CopyStatus status, const std::string& master,
                              const std::string& copy_name) {
    switch (status) {
    case CopyStatus::ok:
        return {};
    case CopyStatus::cannot_read:
        return "The master file \"" + master + "\" could not be read.\nNo run was prepared.";
    case CopyStatus::cannot_write:
        return "The file \"" + copy_name +
               "\" could not be written in the working directory.\nNo run was prepared.";
    }
    return {};
}

} // namespace velm::gui
