#pragma once
// Batch files: a title line, the number of runs, then one master-file name per
// line relative to the batch file's folder.
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace velm::gui {

// The folder part of a path, split at the last "/" or "\": "." for a bare
// name, "/" for a file in the root.
std::string folder_of(std::string_view path);

// Reads the list of master files, each as "<folder of the batch file>\<line>".
// count is set to the number of entries returned: the count of line 2 when the
// file lists at least that many, else the number listed; 0 (an empty list)
// when the file cannot be opened or its first two lines are missing or bad,
// each said on the console.
std::vector<std::string> read_batch_file(const std::string& name, int& count,
                                         std::ostream& console);

} // namespace velm::gui
