#pragma once
// A fresh temporary directory per test, removed afterwards; optionally the
// working directory while the test runs (the program writes its files there).
#include "support/text.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace velm::support {

class TempDir {
  public:
    explicit TempDir(bool enter = false) {
        static std::atomic<int> serial{0};
        path_ = std::filesystem::temp_directory_path() /
                ("velm_test_" + std::to_string(::getpid()) + "_" + std::to_string(serial++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
        if (enter) {
            old_ = std::filesystem::current_path();
            std::filesystem::current_path(path_);
        }
    }
    ~TempDir() {
        std::error_code ec;
        if (!old_.empty()) std::filesystem::current_path(old_, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    std::string write(const std::string& name, const std::string& text) const {
        const auto full = path_ / name;
        std::filesystem::create_directories(full.parent_path());
        std::ofstream(full, std::ios::binary) << text;
        return full.string();
    }

  private:
    std::filesystem::path path_;
    std::filesystem::path old_;
};

} // namespace velm::support
