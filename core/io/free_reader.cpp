#include "core/io/free_reader.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace velm {

namespace {
bool is_blank(char c) {
    return c == ' ' || c == '\t';
}
bool ends_value(char c) {
    return is_blank(c) || c == ',' || c == '/';
}
} // namespace

bool FreeReader::load_line() {
    if (!std::getline(in_, text_)) {
        text_.clear();
        have_line_ = false;
        return false;
    }
    if (!text_.empty() && text_.back() == '\r') text_.pop_back();
    ++line_;
    pos_ = 0;
    after_ = 0;
    have_line_ = true;
    return true;
}

bool FreeReader::text_line(std::string& text) {
    start_record();
    if (!load_line()) return false;
    text = text_;
    after_ = text_.size();
    pos_ = text_.size();
    return true;
}

void FreeReader::start_record() {
    in_record_ = false;
    slashed_ = false;
    comma_ = false;
    count_ = 0;
}

std::string_view FreeReader::rest() const {
    if (!have_line_ || after_ >= text_.size()) return {};
    return std::string_view(text_).substr(after_);
}

FreeReader::Tok FreeReader::token() {
    if (!in_record_) {
        in_record_ = true;
        if (!load_line()) return Tok::end_of_file;
    }
    for (;;) {
        while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
        if (pos_ >= text_.size()) {
            if (!load_line()) return Tok::end_of_file;
            continue;
        }
        char c = text_[pos_];
        if (c == ',') {
            // A comma with no value since the last separator is an empty value.
            if (comma_ || count_ == 0) return Tok::bad;
            comma_ = true;
            ++pos_;
            continue;
        }
        if (c == '/') {
            ++pos_;
            after_ = pos_;
            return Tok::slash;
        }
        break;
    }
    token_.clear();
    char q = text_[pos_];
    if (q == '\'' || q == '"') {
        // Quoted text; a doubled quote stands for one quote.
        std::size_t i = pos_ + 1;
        for (;;) {
            if (i >= text_.size()) return Tok::bad;
            if (text_[i] == q) {
                if (i + 1 < text_.size() && text_[i + 1] == q) {
                    token_.push_back(q);
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            token_.push_back(text_[i++]);
        }
        if (i < text_.size() && !ends_value(text_[i])) return Tok::bad;
        pos_ = i;
    } else {
        std::size_t i = pos_;
        while (i < text_.size() && !ends_value(text_[i])) ++i;
        token_.assign(text_, pos_, i - pos_);
        pos_ = i;
        if (token_.find('*') != std::string::npos) return Tok::bad; // repeat counts
    }
    after_ = pos_;
    ++count_;
    // Swallow the separator after the value so that "1 , 2" is one separator.
    std::size_t j = pos_;
    while (j < text_.size() && is_blank(text_[j])) ++j;
    comma_ = false;
    if (j < text_.size() && text_[j] == ',') {
        comma_ = true;
        pos_ = j + 1;
        after_ = pos_; // rest() starts after the separator
    }
    return Tok::value;
}

namespace {
template <class T> bool parse_real(const std::string& tok, T& out) {
    char        buf[128];
    std::size_t n = 0;
    std::size_t i = 0;
    if (tok.empty() || tok.size() >= sizeof buf) return false;
    // from_chars takes no plus sign: drop one, but never in front of another sign.
    if (tok[0] == '+') {
        i = 1;
        if (tok.size() > 1 && (tok[1] == '+' || tok[1] == '-')) return false;
    }
    bool digit = false;
    for (; i < tok.size(); ++i) {
        char c = tok[i];
        if (c == 'd' || c == 'D') c = 'e';
        if (c >= '0' && c <= '9')
            digit = true;
        else if (c != '.' && c != 'e' && c != 'E' && c != '+' && c != '-')
            return false;
        buf[n++] = c;
    }
    if (!digit) return false;
    T    v{};
    auto r = std::from_chars(buf, buf + n, v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range && r.ptr == buf + n) {
        // Too small for T: a value that underflows reads as zero; one that
        // overflows is bad data.
        long double wide{};
        auto        rw = std::from_chars(buf, buf + n, wide, std::chars_format::general);
        if (rw.ec != std::errc() || rw.ptr != buf + n || !(std::fabs(wide) < 1.0L)) return false;
        out = std::signbit(wide) ? -T(0) : T(0);
        return true;
    }
    if (r.ec != std::errc() || r.ptr != buf + n || !std::isfinite(v)) return false;
    out = v;
    return true;
}
} // namespace

bool FreeReader::take(ReadResult& r) {
    r = ReadResult::ok;
    if (slashed_) return false; // the record has ended: leave the value as it is
    switch (token()) {
    case Tok::value:
        return true;
    case Tok::end_of_file:
        r = ReadResult::end_of_file;
        return false;
    case Tok::bad:
        r = ReadResult::bad_data;
        return false;
    case Tok::slash:
        slashed_ = true;
        return false;
    }
    r = ReadResult::bad_data;
    return false;
}

ReadResult FreeReader::next(int& v) {
    if (ReadResult r{}; !take(r)) return r;
    const char* b = token_.data();
    const char* e = b + token_.size();
    if (b != e && *b == '+') {
        ++b;
        if (b != e && (*b == '+' || *b == '-')) return ReadResult::bad_data;
    }
    int  x = 0;
    auto r = std::from_chars(b, e, x);
    if (b == e || r.ec != std::errc() || r.ptr != e) return ReadResult::bad_data;
    // The lowest int has no negation: a whole number ends at -INT_MAX, so every
    // value read can be negated or taken absolute.
    if (x == std::numeric_limits<int>::min()) return ReadResult::bad_data;
    v = x;
    return ReadResult::ok;
}

ReadResult FreeReader::next(float& v) {
    if (ReadResult r{}; !take(r)) return r;
    return parse_real(token_, v) ? ReadResult::ok : ReadResult::bad_data;
}

ReadResult FreeReader::next(double& v) {
    if (ReadResult r{}; !take(r)) return r;
    return parse_real(token_, v) ? ReadResult::ok : ReadResult::bad_data;
}

ReadResult FreeReader::next(std::string& v) {
    if (ReadResult r{}; !take(r)) return r;
    v = token_;
    return ReadResult::ok;
}

bool truncate_to_int(double value, int& out) {
    if (!std::isfinite(value)) return false;
    double t = std::trunc(value);
    if (t < -static_cast<double>(std::numeric_limits<int>::max()) ||
        t > static_cast<double>(std::numeric_limits<int>::max()))
        return false;
    out = static_cast<int>(t);
    return true;
}

} // namespace velm
