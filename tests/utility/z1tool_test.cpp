// Runs the built z1tool's foundation commands end to end.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/run_program.h"
#include "foundation_helpers.h"

namespace {

using found_test::ReadFile;
using found_test::TempDir;
using found_test::WriteFile;

using ToolRun = test_common::ProgramRun;

ToolRun Tool(const std::string& args, const TempDir& dir) { return test_common::RunZ1tool(args, dir.path()); }

class Z1toolFoundation : public test_common::Z1toolTest<TempDir> {};

TEST_F(Z1toolFoundation, IniPrintsTheParsedRecord) {
    WriteFile(dir / "z1.ini",
              "*renderer 2\n*player_fov 60\n*Fog 0\n*script \"say \\\"hi\\\" now\" x\n*write_log\n");
    ToolRun r = Tool("ini z1.ini", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"inverted_mouse\": false, \"mouse_speed_x\": 2, \"mouse_speed_y\": 3, \"back_plane\": 5000, "
              "\"dungeon_back_plane\": 5000, \"player_fov\": 60, \"texture_bit\": 0, \"renderer\": 0, "
              "\"light_glows\": true, \"show_interface\": true, \"blinding_lights\": true, \"fog\": true, "
              "\"clock\": true, \"light_update\": 10, \"script\": \"say \\\\\", \"write_log\": true, "
              "\"fov_radians\": 1.0471976}\n");
}

TEST_F(Z1toolFoundation, IniErrors) {
    ToolRun r = Tool("ini", dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "usage: z1tool ini FILE\n");
    r = Tool("ini missing.ini", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "z1tool: missing.ini: no such file\n");
    r = Tool("ini .", dir);
    EXPECT_EQ(r.status, 1);
}

TEST_F(Z1toolFoundation, JfPackListCatRoundTrip) {
    ASSERT_EQ(system(("mkdir -p '" + (dir / "Textures/Sky") + "'").c_str()), 0);
    WriteFile(dir / "Textures/Sky/Moon.bmp", std::string("BM\0\x01moon", 8));
    WriteFile(dir / "a.txt", "alpha");
    ToolRun r = Tool("jf pack out.jf a.txt Textures/Sky/Moon.bmp", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    std::string archive = ReadFile(dir / "out.jf");
    EXPECT_EQ(archive.substr(0, 8), std::string("KVJF\x15\0\0\0", 8));
    EXPECT_NE(archive.find(std::string("Textures\\Sky\\Moon.bmp\0\x0d\0\0\0\x08\0\0\0", 30)),
              std::string::npos);
    r = Tool("jf list out.jf", dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "a.txt\t8\t5\nTextures\\Sky\\Moon.bmp\t13\t8\n");
    r = Tool("jf cat out.jf textures/sky/MOON.BMP", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string("BM\0\x01moon", 8));
}

TEST_F(Z1toolFoundation, JfErrors) {
    WriteFile(dir / "a.txt", "alpha");
    EXPECT_EQ(Tool("jf pack out.jf", dir).status, 2);
    EXPECT_EQ(Tool("jf list", dir).status, 2);
    EXPECT_EQ(Tool("jf cat out.jf", dir).status, 2);
    ToolRun r = Tool("jf pack out.jf a.txt nothere.txt", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "z1tool: nothere.txt: no such file\n");
    r = Tool("jf list a.txt", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "z1tool: a.txt: is not a joined-file archive (no KVJF header)\n");
    EXPECT_EQ(Tool("jf list nothere.jf", dir).status, 1);
    ASSERT_EQ(Tool("jf pack out.jf a.txt", dir).status, 0);
    r = Tool("jf cat out.jf b.txt", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "z1tool: no entry 'b.txt' in 'out.jf'\n");
    // A directory offset beyond the file, and an entry reaching past it.
    WriteFile(dir / "bad.jf", std::string("KVJF\xff\0\0\0", 8));
    EXPECT_EQ(Tool("jf list bad.jf", dir).status, 1);
    WriteFile(dir / "cut.jf", std::string("KVJF\x08\0\0\0x\0\x08\0\0\0\x64\0\0\0", 18));
    r = Tool("jf cat cut.jf x", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "z1tool: entry 'x' is cut short: 10 of 100 bytes\n");
}

TEST_F(Z1toolFoundation, HashPrintsTheBucket) {
    ToolRun r = Tool("hash ab", dir);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "292\n");
    EXPECT_EQ(Tool("hash 'textures\\wood.bmp'", dir).out, "152\n");
    r = Tool("hash", dir);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "usage: z1tool hash KEY\n");
}

}  // namespace
