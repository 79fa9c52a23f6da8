#include "core/io/units.h"

#include "core/platform/platform.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace velm {

namespace fs = std::filesystem;

// A stream that appends to a string of the in-memory file system.
class StringSinkBuf : public std::streambuf {
  public:
    explicit StringSinkBuf(std::shared_ptr<std::string> s) : s_(std::move(s)) {}

  protected:
    int_type overflow(int_type ch) override {
        if (ch != traits_type::eof()) s_->push_back(static_cast<char>(ch));
        return ch;
    }
    std::streamsize xsputn(const char* p, std::streamsize n) override {
        s_->append(p, static_cast<std::size_t>(n));
        return n;
    }

  private:
    std::shared_ptr<std::string> s_;
};

struct Units::Open {
    std::string                    name;
    std::unique_ptr<std::istream>  in;
    std::unique_ptr<std::ostream>  out;
    std::unique_ptr<StringSinkBuf> sink;
    bool                           failed = false; // a write was refused
};

void Units::check(Open& o) {
    if (!o.out || o.failed || *o.out) return;
    o.failed = true;
    write_failures_.push_back(o.name);
}

void Units::finish(Open& o) {
    if (!o.out) return;
    o.out->flush();
    check(o);
    if (auto* f = dynamic_cast<std::ofstream*>(o.out.get())) {
        f->close(); // the last buffered bytes may be refused only here
        check(o);
    }
}

std::vector<std::string> Units::take_write_failures() {
    return std::exchange(write_failures_, {});
}

bool Units::write_failed(int unit) const {
    auto it = units_.find(unit);
    return it != units_.end() && it->second->failed;
}

Units::Units()
    : console_([](std::string_view text) {
          std::fwrite(text.data(), 1, text.size(), stdout);
          std::fputc('\n', stdout);
      }) {}

Units::~Units() {
    close_all();
}

void Units::use_memory_files() {
    memory_ = true;
}

void Units::put_file(std::string_view name, std::string_view text) {
    const std::string n = native_path(name);
    if (memory_) {
        auto& f = files_[n];
        if (f)
            *f = std::string(text); // a unit writing it keeps writing to it
        else
            f = std::make_shared<std::string>(text);
        return;
    }
    std::ofstream out(n, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

bool Units::replace_file(std::string_view name, std::string_view text) {
    const std::string n = native_path(name);
    if (memory_) {
        put_file(name, text);
        return true;
    }
    const std::string temp = n + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.flush();
        if (!out) {
            out.close();
            std::error_code ec;
            fs::remove(temp, ec);
            return false;
        }
    }
    std::error_code ec;
    fs::rename(temp, n, ec);
    if (ec) fs::remove(temp, ec);
    return !ec;
}

std::string Units::file_text(std::string_view name) const {
    const std::string n = native_path(name);
    if (memory_) {
        auto it = files_.find(n);
        return it == files_.end() ? std::string() : *it->second;
    }
    for (auto& [u, o] : units_)
        if (o->out && native_path(o->name) == n) o->out->flush();
    std::ifstream     f(n, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

bool Units::exists(std::string_view name) const {
    const std::string n = native_path(name);
    if (memory_) return files_.count(n) > 0;
    return file_exists(name);
}

bool Units::remove(std::string_view name) {
    const std::string n = native_path(name);
    if (memory_) return files_.erase(n) > 0;
    return remove_file(name);
}

bool Units::make_dir(std::string_view name) {
    const std::string n = native_path(name);
    if (memory_ || n.empty()) return true;
    std::error_code ec;
    fs::create_directories(n, ec);
    return fs::is_directory(n, ec);
}

bool Units::open_read(int unit, std::string_view name) {
    close(unit);
    const std::string n = native_path(name);
    auto              o = std::make_unique<Open>();
    o->name = std::string(name);
    if (memory_) {
        auto it = files_.find(n);
        if (it == files_.end()) return false;
        o->in = std::make_unique<std::istringstream>(*it->second);
    } else {
        std::error_code ec;
        if (!fs::is_regular_file(n, ec)) return false;
        auto f = std::make_unique<std::ifstream>(n, std::ios::binary);
        if (!*f) return false;
        o->in = std::move(f);
    }
    units_[unit] = std::move(o);
    return true;
}

bool Units::open_write(int unit, std::string_view name, bool append) {
    close(unit);
    const std::string n = native_path(name);
    auto              o = std::make_unique<Open>();
    o->name = std::string(name);
    if (memory_) {
        auto& text = files_[n];
        if (!text) text = std::make_shared<std::string>();
        if (!append) text->clear();
        o->sink = std::make_unique<StringSinkBuf>(text);
        o->out = std::make_unique<std::ostream>(o->sink.get());
    } else {
        auto f = std::make_unique<std::ofstream>(n, std::ios::binary |
                                                        (append ? std::ios::app : std::ios::trunc));
        if (!*f) return false;
        o->out = std::move(f);
    }
    units_[unit] = std::move(o);
    return true;
}

bool Units::is_open(int unit) const {
    return unit == kUnitConsole || units_.count(unit) > 0;
}

bool Units::is_input(int unit) const {
    auto it = units_.find(unit);
    return it != units_.end() && it->second->in != nullptr;
}

std::string Units::name(int unit) const {
    auto it = units_.find(unit);
    return it == units_.end() ? std::string() : it->second->name;
}

std::istream& Units::in(int unit) {
    auto it = units_.find(unit);
    if (it == units_.end() || !it->second->in) {
        if (read_fault_) read_fault_(unit);
        throw UnitNotReadable(unit);
    }
    return *it->second->in;
}

std::ostream* Units::out(int unit) {
    auto it = units_.find(unit);
    if (it == units_.end() || !it->second->out) {
#ifdef VELM_CHECKED
        std::fprintf(stderr, "write to unit %d, which is not open for writing\n", unit);
        std::terminate();
#else
        return nullptr;
#endif
    }
    return it->second->out.get();
}

void Units::line(int unit, std::string_view text) {
    if (unit == kUnitConsole) {
        console_(text);
        return;
    }
    if (std::ostream* o = out(unit)) {
        o->write(text.data(), static_cast<std::streamsize>(text.size()));
        o->put('\n');
        if (!*o) check(*units_.at(unit));
    }
}

void Units::put(int unit, std::string_view text) {
    if (unit == kUnitConsole) {
        console_(text);
        return;
    }
    if (std::ostream* o = out(unit)) {
        o->write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!*o) check(*units_.at(unit));
    }
}

void Units::flush(int unit) {
    if (unit == kUnitConsole) std::fflush(stdout);
    auto it = units_.find(unit);
    if (it != units_.end() && it->second->out) {
        it->second->out->flush();
        check(*it->second);
    }
}

void Units::flush_all() {
    for (auto& [u, o] : units_) {
        if (!o->out) continue;
        o->out->flush();
        check(*o);
    }
    std::fflush(stdout); // the console (unit 6)
}

void Units::close(int unit) {
    auto it = units_.find(unit);
    if (it == units_.end()) return;
    finish(*it->second);
    units_.erase(it);
}

void Units::close_range(int first, int last) {
    for (auto it = units_.lower_bound(first); it != units_.end() && it->first <= last;) {
        finish(*it->second);
        it = units_.erase(it);
    }
}

void Units::close_all() {
    for (auto& [u, o] : units_) finish(*o);
    units_.clear();
    std::fflush(stdout); // the console (unit 6)
}

} // namespace velm
