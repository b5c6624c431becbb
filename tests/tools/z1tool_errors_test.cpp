// Every z1tool command that reads a file, given a missing file, a directory,
// an empty file and random bytes: one line on standard error naming the
// file, exit 1. And every command group without or with an unknown verb: a
// usage error that says which and lists the group's verbs.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "common/run_program.h"
#include "common/test_files.h"

namespace {

using test_common::ProgramRun;

struct Row {
    std::string args;       // "@" stands for the input
    std::string extension;  // of the input's name
    bool anyBytes = false;  // empty and random files are data, not mistakes
};

// Commands that read no file.
const std::set<std::string> kNoFile = {"hash"};

const std::vector<Row> kRows = {
    {"ini @", ".ini"},
    {"jf pack out.jf @", ".txt", true},
    {"jf list @", ".jf"},
    {"jf cat @ a.txt", ".jf"},
    {"bmp info @", ".bmp"},
    {"bmp check @", ".bmp"},
    {"bmp check good.bmp @", ".bmp"},
    {"bmp convert @ out.bmp", ".bmp"},
    {"model info @", ".z1"},
    {"model import @ out.z1", ".obj"},
    {"anm info @", ".anm"},
    {"anm info good.anm @", ".z1"},
    {"area dump @", ".z1a"},
    {"area build @ out.z1a", ".json"},
    {"dlg compile @ out.dlg", ".dtxt"},
    {"dlg decompile @", ".dlg"},
    {"dlg run @", ".dlg"},
    {"script asm @ out.scr", ".zasm"},
    {"script compile @ out.scr", ".zs"},
    {"script disasm @", ".scr"},
    {"script run @", ".scr"},
    {"collide @ 0 0 0 1 0 0", ".z1"},
    {"sky @ 7000 0", ".ini"},
};

// Bytes of no format, NUL bytes among them, the same every run.
std::string Noise() {
    std::string bytes;
    uint32_t seed = 20240611;
    for (int i = 0; i < 4096; ++i) {
        seed = seed * 214013u + 2531011u;
        bytes += static_cast<char>((seed >> 16) & 0xFF);
    }
    return bytes;
}

// A 2 x 2 uncompressed 24-bit bitmap and a one-frame, one-bone animation.
std::string GoodBitmap() {
    std::string b = "BM";
    auto u32 = [&b](uint32_t v) {
        for (int i = 0; i < 4; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto u16 = [&b](uint16_t v) { b += static_cast<char>(v & 0xFF), b += static_cast<char>(v >> 8); };
    u32(54 + 16), u32(0), u32(54), u32(40), u32(2), u32(2), u16(1), u16(24), u32(0), u32(16), u32(2835),
        u32(2835), u32(0), u32(0);
    b += std::string(16, '\x40');
    return b;
}

class Z1toolErrors : public ::testing::Test {
protected:
    Z1toolErrors() : dir_("z1tool_errors_") {}
    void SetUp() override {
        ASSERT_TRUE(test_common::FileExists(test_common::Z1toolPath())) << "z1tool is not built";
    }
    ProgramRun Run(const std::string& args) { return test_common::RunZ1tool(args, dir_.path()); }
    test_common::TempDir dir_;
};

// The commands z1tool lists in its help.
std::vector<std::string> ListedCommands(const std::string& help) {
    std::vector<std::string> names;
    std::istringstream lines(help);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
        std::istringstream words(line);
        std::string first, second;
        words >> first >> second;
        bool verb = !second.empty() && second[0] >= 'a' && second[0] <= 'z';
        names.push_back(verb ? first + " " + second : first);
    }
    return names;
}

TEST_F(Z1toolErrors, EveryCommandSaysWhichFileFailedAndWhy) {
    ASSERT_TRUE(test_common::WriteFile(dir_ / "good.bmp", GoodBitmap()));
    ASSERT_TRUE(test_common::WriteFile(dir_ / "good.anm",
                                       std::string("\x01\x00\x01\x00", 4) + std::string(24, '\0')));

    // The table covers every command the tool has.
    ProgramRun help = Run("help");
    ASSERT_EQ(help.status, 0);
    std::vector<std::string> listed = ListedCommands(help.out);
    ASSERT_GT(listed.size(), 15u);
    for (const std::string& name : listed) {
        bool covered = kNoFile.count(name) > 0;
        for (const Row& row : kRows)
            covered = covered || row.args.compare(0, name.size() + 1, name + " ") == 0;
        EXPECT_TRUE(covered) << "no row for '" << name << "'";
    }

    const std::string noise = Noise();
    ASSERT_NE(noise.find('\0'), std::string::npos);
    for (const Row& row : kRows) {
        struct Input {
            const char* kind;
            std::string name;
        };
        const std::vector<Input> inputs = {{"missing", "absent" + row.extension},
                                           {"directory", "folder" + row.extension},
                                           {"empty", "empty" + row.extension},
                                           {"random", "noise" + row.extension}};
        ASSERT_EQ(::mkdir((dir_ / inputs[1].name).c_str(), 0755) == 0 || errno == EEXIST, true);
        ASSERT_TRUE(test_common::WriteFile(dir_ / inputs[2].name, ""));
        ASSERT_TRUE(test_common::WriteFile(dir_ / inputs[3].name, noise));
        for (const Input& in : inputs) {
            std::string args = row.args;
            args.replace(args.find('@'), 1, in.name);
            ProgramRun r = Run(args);
            const std::string what = "z1tool " + args + " (" + in.kind + ")";
            bool data = row.anyBytes && (std::string(in.kind) == "empty" || std::string(in.kind) == "random");
            if (data) {
                EXPECT_EQ(r.status, 0) << what << ": " << r.err;
                EXPECT_EQ(r.err, "") << what;
                continue;
            }
            EXPECT_EQ(r.status, 1) << what << ": " << r.err;
            ASSERT_FALSE(r.err.empty()) << what;
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << what << ": more than one line:\n" << r.err;
            EXPECT_NE(r.err.find(in.name), std::string::npos) << what << ": the file is not named: " << r.err;
        }
    }
}

TEST_F(Z1toolErrors, GroupsWithoutOrWithAnUnknownVerbListTheirVerbs) {
    ProgramRun help = Run("help");
    std::vector<std::string> listed = ListedCommands(help.out);
    std::set<std::string> groups;
    for (const std::string& name : listed)
        if (name.find(' ') != std::string::npos) groups.insert(name.substr(0, name.find(' ')));
    ASSERT_GE(groups.size(), 5u);
    for (const std::string& group : groups) {
        std::string verbs;
        for (const std::string& name : listed)
            if (name.compare(0, group.size() + 1, group + " ") == 0)
                verbs += (verbs.empty() ? "" : ", ") + name.substr(group.size() + 1);
        ProgramRun none = Run(group);
        EXPECT_EQ(none.status, 2) << group;
        EXPECT_EQ(none.err.substr(0, none.err.find('\n')),
                  "z1tool: '" + group + "' needs a subcommand: " + verbs);
        ProgramRun wrong = Run(group + " frobnicate");
        EXPECT_EQ(wrong.status, 2) << group;
        EXPECT_EQ(wrong.err.substr(0, wrong.err.find('\n')),
                  "z1tool: '" + group + "' has no subcommand 'frobnicate': " + verbs);
    }
    ProgramRun unknown = Run("frobnicate");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err.substr(0, unknown.err.find('\n')), "z1tool: unknown command 'frobnicate'");
}

}  // namespace
