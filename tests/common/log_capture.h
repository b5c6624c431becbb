// A log on a file and a settings record of defaults with the log gate open,
// installed for the object's lifetime; what was installed before comes back.
// Header-only: the settings record lives in the settings module, which the
// common test library does not link.
#ifndef ZENDAR_TESTS_COMMON_LOG_CAPTURE_H
#define ZENDAR_TESTS_COMMON_LOG_CAPTURE_H

#include <cstdio>
#include <string>

#include "common/test_files.h"
#include "settings/settings.h"
#include "utility/log.h"

namespace test_common {

class LogCapture {
public:
    // On a temporary file of its own, removed at the end.
    LogCapture() : LogCapture(UniqueTempPath("zlog_", "log.txt"), true) {}
    // On the given file, left in place.
    explicit LogCapture(const std::string& file) : LogCapture(file, false) {}
    ~LogCapture() {
        g_log = saved_log_;
        g_settings = saved_settings_;
        delete log_;
        if (remove_) std::remove(file_.c_str());
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    Settings& settings() { return settings_; }
    const std::string& file() const { return file_; }
    std::string Text() const { return ReadText(file_); }
    bool Has(const std::string& line) const { return Text().find(line) != std::string::npos; }
    int Count(const std::string& line) const {
        std::string t = Text();
        int n = 0;
        for (size_t p = t.find(line); p != std::string::npos; p = t.find(line, p + 1)) n++;
        return n;
    }

private:
    LogCapture(const std::string& file, bool remove) : file_(file), remove_(remove) {
        saved_log_ = g_log;
        saved_settings_ = g_settings;
        log_ = new Log(file_.c_str());
        g_log = log_;
        g_settings = &settings_;
        settings_.write_log = 1;
    }

    std::string file_;
    bool remove_;
    Settings settings_;
    Log* log_;
    Log* saved_log_;
    Settings* saved_settings_;
};

}  // namespace test_common

#endif
