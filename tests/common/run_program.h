// Running a built program (or any shell command line) as a user would, and
// keeping what it printed and how it ended.
#ifndef ZENDAR_TESTS_COMMON_RUN_PROGRAM_H
#define ZENDAR_TESTS_COMMON_RUN_PROGRAM_H

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace test_common {

struct ProgramRun {
    int status = -1;  // the exit code; -1 when it could not start or did not exit
    std::string out;  // standard output
    std::string err;  // standard error, when it was sent to a file
};

// Runs command through the shell. Standard output is kept in `out`; with
// errFile, standard error goes to that file and is read back into `err`,
// otherwise it is left as it is (the command line may redirect it itself).
ProgramRun RunProgram(const std::string& command, const std::string& errFile = std::string());

// The exit code of a status from system() or pclose(); -1 when it did not exit.
int ExitCode(int status);

// Whether the shell finds a program of that name.
bool HaveProgram(const std::string& name);

// Whether DISPLAY names an X display.
bool HaveDisplay();

#ifdef ZENDAR_BIN_DIR
// The built z1tool.
inline std::string Z1toolPath() { return ZENDAR_BIN_DIR "/z1tool"; }

// z1tool with args, run in folder; standard error goes to folder/stderr.txt.
inline ProgramRun RunZ1tool(const std::string& args, const std::string& folder) {
    return RunProgram("cd '" + folder + "' && '" + Z1toolPath() + "' " + args, folder + "/stderr.txt");
}

// A test of z1tool that stops at once when it is not built; `dir` is a
// fresh folder of type Dir for each test.
template <class Dir>
class Z1toolTest : public ::testing::Test {
protected:
    void SetUp() override {
        FILE* f = std::fopen(ZENDAR_BIN_DIR "/z1tool", "rb");
        ASSERT_NE(f, nullptr) << "z1tool is not built at " ZENDAR_BIN_DIR;
        std::fclose(f);
    }
    Dir dir;
};
#endif

}  // namespace test_common

#endif
