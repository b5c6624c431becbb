// z1tool's script commands, end to end on the built tool.
#include <sys/stat.h>

#include "common/run_program.h"
#include "common/test_files.h"
#include "scripttest.h"

namespace {

const std::string kTool = std::string(ZENDAR_BIN_DIR) + "/z1tool";
const std::string kSample = std::string(ZENDAR_SOURCE_DIR) + "/assets/scripts/demo.zasm";

// Runs a shell command; returns its exit code and standard output.
int Shell(const std::string& command, std::string* out) {
    test_common::ProgramRun run = test_common::RunProgram(command + " 2>/dev/null");
    *out = run.out;
    return run.status;
}

using test_common::ReadFile;

class ScriptToolTest : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        struct stat st;
        if (stat(kTool.c_str(), &st) != 0) GTEST_SKIP() << "z1tool is not built";
    }
};

}  // namespace

TEST_F(ScriptToolTest, AsmDisasmAsmGivesIdenticalBytes) {
    std::string first = TempFile("first.scr"), text = TempFile("text.zasm"), second = TempFile("second.scr");
    std::string out;
    ASSERT_EQ(Shell(kTool + " script asm " + kSample + " " + first, &out), 0);
    ASSERT_EQ(Shell(kTool + " script disasm " + first, &out), 0);
    std::ofstream(text) << out;
    ASSERT_EQ(Shell(kTool + " script asm " + text + " " + second, &out), 0);
    EXPECT_EQ(ReadFile(first), ReadFile(second));
    EXPECT_GT(ReadFile(first).size(), 100u);
}

TEST_F(ScriptToolTest, RunPrintsLogLinesEngineCallsAndFinishedInstances) {
    std::string file = TempFile("demo.scr");
    std::string out;
    ASSERT_EQ(Shell(kTool + " script asm " + kSample + " " + file, &out), 0);
    ASSERT_EQ(Shell(kTool + " script run " + file +
                        " --fire click:door3@2 --start lever1@3 --start lever2@3 --fire click:door3@5"
                        " --frames 200 --ms-per-frame 16",
                    &out),
              0);
    EXPECT_EQ(out,
              "log: Valid script file, now parsing.:\n"
              "log: Loaded function add\n"
              "log: Loading program start\n"
              "log: Loading program doors\n"
              "log: Loading program lever*\n"
              "log: and it's synchronized\n"
              "game 2 village.area 0\n"
              "game 1 Welcome to Zendar. 5\n"
              "world 4 door3 0\n"
              "log: checking if program name 'lever*' is match for 'lever1'\n"
              "log: match..\n"
              "log: checking if program name 'doors' is match for 'lever1'\n"
              "log: checking if program name 'start' is match for 'lever1'\n"
              "log: checking if program name 'lever*' is match for 'lever2'\n"
              "log: match..\n"
              "log: cannot start new program because template is locked\n"
              "log: checking if program name 'doors' is match for 'lever2'\n"
              "log: checking if program name 'start' is match for 'lever2'\n"
              "game 6 raised_the_gate 0\n"
              "log: calling setVector on z1 object..\n"
              "worldvec 2 gate 0 250 0\n"
              "log: killing program lever*\n"
              "finished lever* top=8\n"
              "world 4 door3 0\n"
              "log: killing program start\n"
              "finished start top=3\n");
}

TEST_F(ScriptToolTest, RunHonoursTheClockStep) {
    // The start program sleeps 1000 ms three times: at 100 ms per pass it
    // ends on pass 30 of 31, at 16 ms per pass not within 31 passes.
    std::string file = TempFile("demo.scr");
    std::string out;
    ASSERT_EQ(Shell(kTool + " script asm " + kSample + " " + file, &out), 0);
    ASSERT_EQ(Shell(kTool + " script run " + file + " --frames 31 --ms-per-frame 100", &out), 0);
    EXPECT_NE(out.find("finished start top=3\n"), std::string::npos);
    ASSERT_EQ(Shell(kTool + " script run " + file + " --frames 30 --ms-per-frame 100", &out), 0);
    EXPECT_EQ(out.find("finished start"), std::string::npos);
    ASSERT_EQ(Shell(kTool + " script run " + file + " --frames 31", &out), 0);
    EXPECT_EQ(out.find("finished start"), std::string::npos);
}

TEST_F(ScriptToolTest, ErrorsAndUsage) {
    std::string out;
    EXPECT_EQ(Shell(kTool + " script run", &out), 2);
    EXPECT_EQ(Shell(kTool + " script run x --frames", &out), 2);
    EXPECT_EQ(Shell(kTool + " script run " + TempFile("missing") + " --frames 1", &out), 1);
    EXPECT_EQ(Shell(kTool + " script asm only-one", &out), 2);
    std::string bad = TempFile("bad.zasm");
    std::ofstream(bad) << "function f\n  frob\nend\n";
    EXPECT_EQ(Shell(kTool + " script asm " + bad + " " + TempFile("out"), &out), 1);
    EXPECT_EQ(Shell(kTool + " script disasm " + TempFile("missing2"), &out), 1);
    // Hostile bytecode: the run ends normally with the fault in the log.
    std::string src = TempFile("hostile.zasm"), file = TempFile("hostile.scr");
    std::ofstream(src) << "program p locals=0 trigger=init\ntop:\n  jmp top\nend\n";
    ASSERT_EQ(Shell(kTool + " script asm " + src + " " + file, &out), 0);
    ASSERT_EQ(Shell(kTool + " script run " + file + " --frames 2", &out), 0);
    EXPECT_NE(
        out.find(
            "log: ERROR - program p stopped at code offset 0: instruction budget exhausted without waiting\n"
            "log: killing program p\nfinished p top=0\n"),
        std::string::npos)
        << out;
}
