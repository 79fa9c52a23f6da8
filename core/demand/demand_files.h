#pragma once
// File names of the demand readers: the master file's directories are plain
// prefixes, cut to their recorded lengths (inputs: netin::input_name).
#include "core/io/writers.h"
#include "core/model/sim.h"
#include "core/network/input_support.h"

#include <string>
#include <string_view>

namespace velm {

// The output directory followed by the name.
inline std::string output_path(const Sim& s, std::string_view name) {
    const int   n = s.pathnam.lpath[2];
    std::string p = n >= 1 ? s.filenam.path2.substr(0, static_cast<std::size_t>(n)) : std::string();
    return p + std::string(trim_right(name));
}

// The first 60 characters of a slot name.
inline std::string_view slot_name(std::string_view filnam) {
    return filnam.substr(0, std::min(filnam.size(), static_cast<std::size_t>(kOpenNameChars)));
}

} // namespace velm
