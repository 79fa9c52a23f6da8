#pragma once
// The unit table of one run: the model opens every file on a fixed unit number
// (inputs on 1 and 3, the run log on 9, the summary output on 10, ...), and
// every read and write goes through here. A run can keep its files in memory
// instead of on disk, which is how tests feed readers and look at reports.
#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velm {

inline constexpr int kUnitInput = 1;        // input files, one at a time
inline constexpr int kUnitSignals = 3;      // the signal-timing file, kept open
inline constexpr int kUnitConsole = 6;      // the process console
inline constexpr int kUnitMoveLog = 8;      // "moverr.out"
inline constexpr int kUnitRunLog = 9;       // "runerr.out"
inline constexpr int kUnitSummary = 10;     // summary output, master slot 10
inline constexpr int kUnitCheckpoint = 100; // "rep_err.out"

// A unit read while it holds no file open for reading: a fault of the
// program, not of its input.
class UnitNotReadable : public std::logic_error {
  public:
    explicit UnitNotReadable(int unit)
        : std::logic_error("unit " + std::to_string(unit) + " is not open for reading"),
          unit_(unit) {}
    int unit() const { return unit_; }

  private:
    int unit_;
};

class Units {
  public:
    Units();
    ~Units();
    Units(const Units&) = delete;
    Units& operator=(const Units&) = delete;

    // --- where files live -------------------------------------------------
    // From now on every file of this run lives in memory (tests).
    void use_memory_files();
    bool memory_files() const { return memory_; }
    // Puts a file into the file system (creating or replacing it): in memory
    // once use_memory_files() was called, else on disk.
    void put_file(std::string_view name, std::string_view text);
    // The whole text of a file, including what an open unit wrote so far.
    // Empty when the file does not exist.
    std::string file_text(std::string_view name) const;
    bool        exists(std::string_view name) const;
    // Deletes a file; false when there was none.
    bool remove(std::string_view name);
    // Creates a directory (and its parents) when missing; false on failure.
    bool make_dir(std::string_view name);
    // Replaces a file whole: the text goes to a temporary file beside it that
    // is renamed into place, so the old file stays intact until the new one is
    // complete. False (the old file untouched) when that fails.
    bool replace_file(std::string_view name, std::string_view text);

    // --- units ------------------------------------------------------------
    // Opens an existing file for reading; false when it does not exist.
    bool open_read(int unit, std::string_view name);
    // Opens a file for writing, created or replaced (append keeps the text).
    bool open_write(int unit, std::string_view name, bool append = false);
    bool is_open(int unit) const;
    bool is_input(int unit) const;
    // The name a unit was opened with (as given, before native_path).
    std::string name(int unit) const;
    // The input stream of a unit opened for reading. Any other unit goes to
    // the read-fault handler, and UnitNotReadable is thrown if it returns or
    // none was set.
    std::istream& in(int unit);
    // What a run does on a read of a unit that is not open for reading.
    void on_read_fault(std::function<void(int unit)> handler) { read_fault_ = std::move(handler); }
    // Writes one line (a newline is added). Unit 6 is the console.
    void line(int unit, std::string_view text);
    // Writes text without adding a newline.
    void put(int unit, std::string_view text);
    void flush(int unit);
    void close(int unit);
    void close_range(int first, int last);
    void close_all();
    // Flushes every unit open for writing (the console too).
    void flush_all();

    // --- failed writes ----------------------------------------------------
    // A write, flush or close that the device refused (a full disk, a
    // file-size limit) leaves the file short: the unit's name is kept, once
    // per opening, until taken here, in the order the failures were seen.
    // The unit stays open and later writes to it are dropped.
    std::vector<std::string> take_write_failures();
    // True once a write to the unit failed since it was opened.
    bool write_failed(int unit) const;

    // The console sink for unit 6 (the process console by default).
    void set_console(std::function<void(std::string_view)> sink) { console_ = std::move(sink); }

  private:
    struct Open;
    std::ostream* out(int unit);
    // Notes a failed write of an open unit (its stream in a failed state).
    void check(Open& o);
    // Flushes and closes a unit's file, noting a failure.
    void finish(Open& o);

    bool memory_ = false;
    // In-memory files by native name. A unit writing a file holds its text too,
    // so a file removed while open takes the unit's later lines with it.
    std::map<std::string, std::shared_ptr<std::string>> files_;
    std::map<int, std::unique_ptr<Open>>                units_;
    std::function<void(std::string_view)>               console_;
    std::function<void(int)>                            read_fault_;
    std::vector<std::string>                            write_failures_;
};

} // namespace velm
