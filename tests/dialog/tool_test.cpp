// z1tool dlg end to end: a writer's compile, decompile and run.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "common/run_program.h"
#include "dialog_test_util.h"

namespace {

struct Result {
    int status;
    std::string output;  // standard output, then standard error
};

Result Tool(const std::string& args) {
    std::string tool = std::string(ZENDAR_BIN_DIR) + "/z1tool";
    std::string errPath = dlgtest::TempPath("stderr");
    test_common::ProgramRun run = test_common::RunProgram("'" + tool + "' " + args, errPath);
    Result r{run.status, run.out};
    std::istringstream err(run.err);
    std::string line;
    while (std::getline(err, line)) r.output += "stderr: " + line + "\n";
    return r;
}

class DialogTool : public ::testing::Test {
protected:
    void SetUp() override {
        if (access((std::string(ZENDAR_BIN_DIR) + "/z1tool").c_str(), X_OK) != 0)
            GTEST_SKIP() << "z1tool is not built";
    }
    std::string Write(const std::string& leaf, const std::string& text) {
        std::string path = dlgtest::TempPath(leaf);
        std::ofstream(path) << text;
        return path;
    }
};

TEST_F(DialogTool, CompileDecompileAndRunAsAWriterWould) {
    std::string src = Write("guard.dtxt", R"(
        npc Guard
        npc Hero
        string town
        state gate repeatable {
            query {
                option "Where am I?" { npc Guard to Hero "In " $town "." }
                option "Open up." goto open
            }
            goto gate
        }
        state open when hasitem("pass") { removeitem "pass" setquest "inside" goto gate }
    )");
    std::string out = dlgtest::TempPath("guard.dlg");
    Result compiled = Tool("dlg compile '" + src + "' '" + out + "'");
    EXPECT_EQ(compiled.status, 0) << compiled.output;
    EXPECT_EQ(compiled.output, "");

    Result run = Tool("dlg run '" + out + "' --choose 0,1,7 --item pass --steps 8");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(
        run.output,
        "query: Where am I? | Open up.\n> 0\nnpc Guard to Hero: In PARAM_STRING.\n"
        "query: Where am I? | Open up.\n> 1\nremoveitem 1 pass\nsetquest inside\nquery: Where am I?\n> 7\n"
        "npc Guard to Hero: In PARAM_STRING.\nquery: Where am I?\n"
        "stderr: Error @ ActionQueryImplementation::select(selection) : Selected option out of range "
        "(selected=7, max=1).\n");

    Result text = Tool("dlg decompile '" + out + "'");
    EXPECT_EQ(text.status, 0);
    std::string again = Write("again.dtxt", text.output);
    std::string out2 = dlgtest::TempPath("again.dlg");
    EXPECT_EQ(Tool("dlg compile '" + again + "' '" + out2 + "'").status, 0);
    std::ifstream a(out, std::ios::binary), b(out2, std::ios::binary);
    std::string bytesA((std::istreambuf_iterator<char>(a)), std::istreambuf_iterator<char>());
    std::string bytesB((std::istreambuf_iterator<char>(b)), std::istreambuf_iterator<char>());
    EXPECT_FALSE(bytesA.empty());
    EXPECT_EQ(bytesA, bytesB);
}

TEST_F(DialogTool, MistakesAndBrokenFiles) {
    std::string src = Write("bad.dtxt", "state s {\n  goto t\n}\n");
    Result bad = Tool("dlg compile '" + src + "' '" + dlgtest::TempPath("bad.dlg") + "'");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.output, "stderr: " + src + ":2:8: unknown state 't'\n");

    std::string broken = dlgtest::TempPath("broken.dlg");
    std::ofstream(broken, std::ios::binary) << std::string("DLG\x00\x00\x05\x00", 7);
    Result run = Tool("dlg run '" + broken + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "stderr: z1tool: " + broken +
                              ": cannot bind the dialog: Error @ DIALOG::load(dialog) : Invalid dialog file "
                              "version. File version: 0.5. Expected version: 0.6.\n");

    Result usage = Tool("dlg run");
    EXPECT_EQ(usage.status, 2);
}

}  // namespace
