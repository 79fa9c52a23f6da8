#pragma once
// What the required input readers share: the file is opened on the input
// unit and handed to the reader; a failed read is counted and named, listerr
// closes the file's report, and the unit is closed. The optional files have
// their counterpart in optional_file.h.
#include "core/driver/errors.h"
#include "core/io/free_reader.h"
#include "core/io/writers.h"
#include "core/model/sim.h"
#include "core/network/input_support.h"

#include <string>
#include <string_view>
#include <utility>

namespace velm::netin {

// Where a reader stopped: listerr's stage and the line being read. A file
// that does not open stays at kReadOpen, line 0.
struct ReadPlace {
    int stage = kReadOpen;
    int line = 0;
};

// How one required file is read and reported.
struct RequiredFile {
    RequiredFile(int file_slot, std::string_view file_name, std::string file_path)
        : slot(file_slot), name(file_name), path(std::move(file_path)) {}

    int         slot; // the master slot listerr names
    std::string name; // the name listerr and the failure line report
    std::string path; // what is opened
    // A failed read counts one fatal error here, and listerr counts it again.
    bool counts_failure = true;
    // The line that names a failed file ("<failure_note><name>", the name in
    // note_width columns) on note_unit; none when the note is empty.
    std::string_view failure_note;
    int              note_unit = kUnitRunLog;
    int              note_width = 0;
};

// Opens f.path on the input unit and calls read(FreeReader&, ReadPlace&),
// which returns false when the file failed (a file that does not open fails
// too). True when the file was read without failure.
template <class Read> bool read_required(Sim& s, const RequiredFile& f, Read&& read) {
    Units&    u = s.units;
    ReadPlace at;
    bool      ok = false;
    if (u.open_read(kUnitInput, f.path)) {
        FreeReader in(u.in(kUnitInput));
        ok = read(in, at);
    }
    if (!ok) {
        if (!f.failure_note.empty())
            wfree(u, f.note_unit, f.failure_note, fmt_a(f.name, f.note_width));
        if (f.counts_failure) {
            ++s.errcount.errt1;
            ++s.errcount.counted_twice;
        }
    }
    listerr(s, f.name, f.slot, at.line, at.stage, s.errcount.numerr);
    u.close(kUnitInput);
    return ok;
}

// The same for a reader object built from (Sim&, FreeReader&) that keeps its
// stage and line: its read_all() result equals `failed` when the file failed.
template <class Reader, class Result>
bool read_required_by(Sim& s, const RequiredFile& f, Result failed) {
    return read_required(s, f, [&s, failed](FreeReader& in, ReadPlace& at) {
        Reader       r{s, in};
        const Result result = r.read_all();
        at = {r.stage, r.line};
        return result != failed;
    });
}

// How a numbered file's title is kept and echoed: its first keep_chars
// characters (without trailing blanks) become the file's title, echoed on
// the summary output after `indent` in echo_width columns.
struct TitleEcho {
    int              keep_chars;
    std::string_view indent;
    int              echo_width;
};

// Reads the title line (line 1) of the file of `slot` and echoes it under
// `heading`; false when the file has no line. stage and line follow the
// reader: at the title, then at the first data line.
inline bool read_title(Sim& s, FreeReader& in, int slot, std::string_view heading,
                       const TitleEcho& echo, int& stage, int& line) {
    stage = kReadTitle;
    line = 1;
    std::string title;
    if (!in.text_line(title)) return false;
    stage = kReadData;
    line = 2;
    s.filenam.ftitle(slot) = first_chars(title, static_cast<std::size_t>(echo.keep_chars));
    wfree(s.units, kUnitSummary, heading);
    s.units.line(kUnitSummary,
                 std::string(echo.indent) + fmt_a(s.filenam.ftitle(slot), echo.echo_width));
    return true;
}

} // namespace velm::netin
