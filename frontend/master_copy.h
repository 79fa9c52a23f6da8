#pragma once
// The master-file copy: the core always reads "Default_Master_File.master" from
// the working directory, so before each run the chosen master file is copied
// there with its input- and output-directory lines prefixed by the chosen
// file's folder, so that the run finds its files next to the master file.
#include <ostream>
#include <string>
#include <string_view>

namespace velm::gui {

inline constexpr const char* kDefaultMasterFile = "Default_Master_File.master";

// Where the two directory lines are (physical line numbers from 1), found by
// reading the records the way the core reads them: the run parameters and the
// route-choice lines are free-format records that may continue over lines.
struct DirectoryLines {
    bool found = false; // false: the head of the file cannot be read as a master file
    int  eqtr = 0;      // format code of the run parameters
    int  input = 0;
    int  output = 0;
};
DirectoryLines find_directory_lines(std::string_view master_text);

// The line with "*" written before its line end ("\n" or "\r\n"), or at its
// end when it has none: the core reads a directory up to its first "*".
std::string insert_star_in_string(std::string_view line);

enum class CopyStatus { ok, cannot_write, cannot_read };

struct CopyResult {
    CopyStatus     status = CopyStatus::ok;
    DirectoryLines dirs;
};

// Writes the copy named copy_name (replaced) from the master file. The source
// is read whole before the copy is opened, so choosing the copy itself loses
// nothing; when the source cannot be read the copy is left empty, so a stale
// copy is never run by mistake. Lines of any length are copied whole.
CopyResult create_master_file_from_file(const std::string& master, std::ostream& console,
                                        const std::string& copy_name = kDefaultMasterFile);

// The user-facing explanation of a failed copy (empty for ok).
std::string copy_failure_text(CopyStatus status, const std::string& master,
                              const std::string& copy_name = kDefaultMasterFile);

} // namespace velm::gui
