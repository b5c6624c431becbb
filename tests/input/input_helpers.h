// Shared pieces of the input and player tests: a log captured into a file of
// its own with a settings record that lets it write, and the line counts.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "input/inputdriver.h"
#include "settings/settings.h"
#include "utility/log.h"

namespace input_test {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Installs a log and a default settings record (log gate on) for the test's
// lifetime; restores what was there.
class LogCapture {
public:
    LogCapture() {
        static int serial = 0;
        file_ = ::testing::TempDir() + "zinput_" + std::to_string(getpid()) + "_" + std::to_string(++serial) +
                ".txt";
        saved_log_ = g_log;
        saved_settings_ = g_settings;
        log_ = new Log(file_.c_str());
        g_log = log_;
        g_settings = &settings_;
        settings_.write_log = 1;
    }
    ~LogCapture() {
        g_log = saved_log_;
        g_settings = saved_settings_;
        delete log_;
        std::remove(file_.c_str());
    }
    Settings& settings() { return settings_; }
    std::string Text() const { return ReadFile(file_); }
    int Count(const std::string& line) const {
        std::string t = Text();
        int n = 0;
        for (size_t p = t.find(line); p != std::string::npos; p = t.find(line, p + 1)) n++;
        return n;
    }
    bool Has(const std::string& line) const { return Count(line) > 0; }

private:
    std::string file_;
    Log* log_;
    Log* saved_log_;
    Settings* saved_settings_;
    Settings settings_;
};

// Publishes a driver in g_inputdriver for the test's lifetime.
class DriverScope {
public:
    explicit DriverScope(InputDriver* driver) : saved_(g_inputdriver) { g_inputdriver = driver; }
    ~DriverScope() { g_inputdriver = saved_; }

private:
    InputDriver* saved_;
};

}  // namespace input_test
