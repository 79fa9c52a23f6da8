#pragma once
// The free-format reader that every input file goes through.
//
// A record starts on a new line and continues over the following lines until
// all its values are read; what follows the record's last value on its line is
// ignored. Values are separated by blanks (TAB is a blank) or by a comma with
// optional blanks around it. A "/" ends the record early: the values it does
// not give are left as they were. Text values are quoted ('..' or "..") or a
// single word. Whole numbers are written without a decimal point ("12.0" read
// as a whole number is bad data); reals accept the usual forms and a D
// exponent. Non-finite values, whole numbers outside -2147483647..2147483647
// (the symmetric 32-bit range, so every one can be negated), repeat counts
// ("3*0") and empty values (",,") are bad data. A trailing CR is ignored.
//
// Each read reports ok, end of file or bad data, and line() is the number of
// the last line read, so readers can say where they stopped.
#include <istream>
#include <span>
#include <string>
#include <string_view>

namespace velm {

enum class ReadResult { ok, end_of_file, bad_data };

class FreeReader {
  public:
    explicit FreeReader(std::istream& in) : in_(in) {}

    // Reads the next line whole (titles, names, directories), without its CR.
    // Returns false at end of file. A record in progress ends.
    bool text_line(std::string& text);

    // Starts a new record: the next value comes from the next line.
    void start_record();
    // The next value of the current record (continuing over lines).
    ReadResult                    next(int& v);
    ReadResult                    next(float& v);
    ReadResult                    next(double& v);
    ReadResult                    next(std::string& v);
    template <class T> ReadResult next(std::span<T> values) {
        for (T& v : values)
            if (ReadResult r = next(v); r != ReadResult::ok) return r;
        return ReadResult::ok;
    }

    // A whole record: start_record() and then each target in order.
    template <class... T> ReadResult record(T&&... targets) {
        start_record();
        ReadResult r = ReadResult::ok;
        ((r == ReadResult::ok ? (r = next(targets), 0) : 0), ...);
        return r;
    }

    // Number of the last line read (0 before the first).
    int line() const { return line_; }
    // Where a read that returned r stopped: the line holding the bad value,
    // or, at the end of the file, the line that is missing.
    int stopped_at(ReadResult r) const { return r == ReadResult::end_of_file ? line_ + 1 : line_; }
    // True once a "/" ended the current record.
    bool slashed() const { return slashed_; }
    // The text of the current line after the last value taken from it and
    // the comma that follows it, if any (for example a link name that follows
    // the numbers).
    std::string_view rest() const;
    // The whole current line.
    const std::string& current_line() const { return text_; }
    // The raw text of the last value read (for readers that look at its digits).
    const std::string& last_token() const { return token_; }

  private:
    enum class Tok { value, end_of_file, bad, slash };
    Tok token();
    // Takes the next value into token_ (true), or sets r to what the read
    // returns instead: ok after a "/", end of file or bad data.
    bool take(ReadResult& r);
    bool load_line();

    std::istream& in_;
    std::string   text_;
    std::size_t   pos_ = 0;
    std::size_t   after_ = 0; // position after the last value taken
    int           line_ = 0;
    bool          have_line_ = false;
    bool          in_record_ = false;
    bool          comma_ = false; // a comma separator since the last value
    bool          slashed_ = false;
    int           count_ = 0; // values taken in this record
    std::string   token_;
};

// Real values stored into whole-number variables are truncated toward zero.
// False when the value is not finite or outside -2147483647..2147483647.
bool truncate_to_int(double value, int& out);

} // namespace velm
