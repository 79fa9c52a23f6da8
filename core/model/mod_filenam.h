#pragma once
// Master-file names and titles. Texts are held without trailing blanks; their
// fixed widths (files 200, titles 300 characters) matter only when printed.
#include "core/model/limits.h"

#include <array>
#include <string>

namespace velm {

// Widths of names and titles, in characters.
inline constexpr int kMasterNameChars = 200;   // the longest slot name the master file accepts
inline constexpr int kOpenNameChars = 60;      // the part of a slot name used to open its file
inline constexpr int kFullNameChars = 360;     // a directory prefix and slot name together
inline constexpr int kTitleLineChars = 300;    // a title or directory line in full
inline constexpr int kShortTitleChars = 40;    // a title as kept in ftitle and echoed
inline constexpr int kWideTitleEchoChars = 70; // a title echoed with room for more

// 1-based list of texts (slots 1..N).
template <int N> struct Texts {
    std::array<std::string, N + 1> v;
    std::string&                   operator()(int k) { return v.at(static_cast<std::size_t>(k)); }
    const std::string& operator()(int k) const { return v.at(static_cast<std::size_t>(k)); }
    void               clear() {
                      for (auto& s : v) s.clear();
    }
};

struct mod_filenam {
    std::string      mastitle; // the master file's title
    std::string      path1;    // input directory prefix (text before the first "*")
    std::string      path2;    // output directory prefix
    Texts<kMaxFiles> files;    // slot names 1..31 (32..50 unused)
    Texts<kMaxFiles> ftitle;   // first 40 characters of each input file's title line
};

struct mod_pathnam {
    std::array<int, 3>             lpath{}; // lpath[1], lpath[2]: lengths of path1, path2 (0: none)
    std::array<int, kMaxFiles + 1> filuse{}; // filuse[k] = 1 once slot k was read or opened
    void                           reset() {
                                  lpath.fill(0);
                                  filuse.fill(0);
    }
};

struct mod_master {
    std::string mastfile; // name of the master file to read (relative to the working directory)
};

} // namespace velm
