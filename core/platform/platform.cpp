#include "core/platform/platform.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace velm {

std::string native_path(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

bool file_exists(std::string_view name) {
    std::error_code ec;
    return std::filesystem::is_regular_file(native_path(name), ec);
}

bool same_file(std::string_view a, std::string_view b) {
    namespace fs = std::filesystem;
    const fs::path pa = fs::path(native_path(a)).lexically_normal();
    const fs::path pb = fs::path(native_path(b)).lexically_normal();
    if (pa == pb) return true;
    std::error_code ec;
    return fs::equivalent(pa, pb, ec) && !ec;
}

bool remove_file(std::string_view name) {
    std::error_code ec;
    return std::filesystem::remove(native_path(name), ec);
}

namespace {
bool same_word(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        const char c = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        if (c != b[i]) return false;
    }
    return i == a.size() && !b[i];
}
} // namespace

bool run_command_line(std::string_view command) {
    std::string text(command);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    std::vector<std::string> words;
    std::size_t              i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        std::size_t j = i;
        while (j < text.size() && text[j] != ' ' && text[j] != '\t') ++j;
        if (j > i) words.emplace_back(text.substr(i, j - i));
        i = j;
    }
    if (words.empty()) return false;
    if (same_word(words[0], "erase") || same_word(words[0], "del")) {
        for (std::size_t k = 1; k < words.size(); ++k) remove_file(words[k]);
        return true;
    }
    words[0] = native_path(words[0]);
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return true; // reaped elsewhere: it did start
    }
    return !(WIFEXITED(status) && WEXITSTATUS(status) == 127);
}

long cpu_time_cs() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<long>(ts.tv_sec) * 100 + ts.tv_nsec / 10000000;
}

long run_clock_cs() {
    const auto read = [] {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return static_cast<long>(ts.tv_sec) * 100 + ts.tv_nsec / 10000000;
    };
    // Counted from the first read, so that the profiler's int sums cannot
    // overflow however long the machine has been up.
    static const long first = read();
    return read() - first;
}

void sleep_milliseconds(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void sleep_seconds(int seconds) {
    if (seconds > 0) std::this_thread::sleep_for(std::chrono::seconds(seconds));
}

} // namespace velm
