// Temp folders, byte files and a captured log for the foundation tests.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <ftw.h>
#include <unistd.h>

#include "settings/settings.h"
#include "utility/log.h"

namespace found_test {

inline int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }

class TempDir {
public:
    TempDir() {
        std::string pattern = ::testing::TempDir() + "zfound_XXXXXX";
        path_ = ::mkdtemp(&pattern[0]) ? pattern : std::string();
        EXPECT_FALSE(path_.empty());
    }
    ~TempDir() {
        if (!path_.empty()) ::nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

constexpr const char* kStartBanner = "--** Started logging **-------------------------------------\n";
constexpr const char* kEndBanner = "--** Ended Logging **---------------------------------------\n";

// Installs a log and an open gate for the duration of a test.
class LogCapture {
public:
    explicit LogCapture(const std::string& file) : file_(file) {
        log_ = new Log(file_.c_str());
        saved_log_ = g_log;
        saved_settings_ = g_settings;
        g_log = log_;
        g_settings = &settings_;
        settings_.write_log = 1;
    }
    ~LogCapture() {
        g_log = saved_log_;
        g_settings = saved_settings_;
        delete log_;
    }
    Settings& settings() { return settings_; }
    // The lines written since the banner.
    std::string Text() const {
        std::string all = ReadFile(file_);
        std::string banner = kStartBanner;
        return all.compare(0, banner.size(), banner) == 0 ? all.substr(banner.size()) : all;
    }

private:
    std::string file_;
    Settings settings_;
    Log* log_;
    Log* saved_log_;
    Settings* saved_settings_;
};

}  // namespace found_test
