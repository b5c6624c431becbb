// Shared pieces of the input and player tests: a log captured into a file of
// its own with a settings record that lets it write, and the line counts.
#ifndef ZENDAR_TESTS_INPUT_INPUT_HELPERS_H
#define ZENDAR_TESTS_INPUT_INPUT_HELPERS_H

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "common/log_capture.h"
#include "common/test_files.h"
#include "input/inputdriver.h"
#include "settings/settings.h"
#include "utility/log.h"

namespace input_test {

using test_common::ReadFile;

// Installs a log and a default settings record (log gate on) for the test's
// lifetime; restores what was there.
using test_common::LogCapture;

// Publishes a driver in g_inputdriver for the test's lifetime.
class DriverScope {
public:
    explicit DriverScope(InputDriver* driver) : saved_(g_inputdriver) { g_inputdriver = driver; }
    ~DriverScope() { g_inputdriver = saved_; }

private:
    InputDriver* saved_;
};

}  // namespace input_test

#endif
