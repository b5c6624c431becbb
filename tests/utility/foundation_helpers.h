// Temp folders, byte files and a captured log for the foundation tests.
#ifndef ZENDAR_TESTS_UTILITY_FOUNDATION_HELPERS_H
#define ZENDAR_TESTS_UTILITY_FOUNDATION_HELPERS_H

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <ftw.h>
#include <unistd.h>

#include "common/log_capture.h"
#include "common/test_files.h"
#include "settings/settings.h"
#include "utility/log.h"

namespace found_test {

class TempDir : public test_common::TempDir {
public:
    TempDir() : test_common::TempDir("zfound_") {}
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    ASSERT_TRUE(test_common::WriteFile(path, bytes)) << path;
}

using test_common::ReadFile;

constexpr const char* kStartBanner = "--** Started logging **-------------------------------------\n";
constexpr const char* kEndBanner = "--** Ended Logging **---------------------------------------\n";

// Installs a log and an open gate for the duration of a test.
class LogCapture : public test_common::LogCapture {
public:
    explicit LogCapture(const std::string& file) : test_common::LogCapture(file) {}
    // The lines written since the banner.
    std::string Text() const {
        std::string all = test_common::LogCapture::Text();
        std::string banner = kStartBanner;
        return all.compare(0, banner.size(), banner) == 0 ? all.substr(banner.size()) : all;
    }
};

}  // namespace found_test

#endif
