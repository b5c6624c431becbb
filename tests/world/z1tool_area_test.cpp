// z1tool area dump and area build, run as the built program.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "common/run_program.h"
#include "entities/entity.h"
#include "world_helpers.h"

using world_test::Bytes;
using world_test::GameDir;
using world_test::ReadFile;
using world_test::WriteFile;

namespace {

using ToolRun = test_common::ProgramRun;

ToolRun Tool(const std::string& args, const GameDir& dir) { return test_common::RunZ1tool(args, dir.path()); }

class AreaTool : public test_common::Z1toolTest<GameDir> {};

const char* kAreaJson = R"({"version": 8, "models": ["hut.z1", "d\u00e9cor.z1"], "entities": [
 {"type": 1, "name": "hut", "position": [10.5, 0, -20], "model_index": 0, "scale": [2, 2, 2],
  "indoor_lighting": true, "on_click_script": "click_hut", "collide_with_box": true},
 {"type": 2, "name": "hut/lamp", "parent": 0, "position": [10, 50, 20], "colour": [1, 0.5, 0.25],
  "range": 300, "glows": true, "glow_texture": "glow.bmp", "glow_size": 32, "active": 2},
 {"type": 6, "name": "gate", "model_index": 1, "door_type": 1, "axis": 2, "displacement": 90,
  "speed": 45, "key": "gatekey", "door_locked": true, "open": true, "transform": [0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 3, 4, 5, 1]},
 {"type": 4, "name": "bob", "model_index": 0, "dialog_file": "bob", "locked": true},
 {"type": 3, "name": "cam1", "parent": 3, "position": [0.1, 0.2, 0.3]},
 {"type": 5, "name": "fire", "system": "Camp Fire", "parent": 2}
]})";

TEST_F(AreaTool, BuildThenDumpThenBuildIsByteForByte) {
    WriteFile(dir / "a.json", kAreaJson);
    ToolRun built = Tool("area build a.json a.z1a", dir);
    ASSERT_EQ(built.status, 0) << built.err;
    ToolRun dumped = Tool("area dump a.z1a", dir);
    ASSERT_EQ(dumped.status, 0) << dumped.err;
    WriteFile(dir / "b.json", dumped.out);
    ToolRun again = Tool("area build b.json b.z1a", dir);
    ASSERT_EQ(again.status, 0) << again.err;
    std::string a = ReadFile(dir / "a.z1a");
    EXPECT_EQ(a, ReadFile(dir / "b.z1a"));
    EXPECT_EQ(a.substr(0, 14), std::string("Z1A\0\x08\x00\x02\0\0\0\x06\0\0\0", 14));
    // The non-ASCII model name is one byte in the file.
    EXPECT_NE(a.find(std::string("d\xe9"
                                 "cor.z1\0",
                                 8)),
              std::string::npos);
    // The dump names the types and shows the fields.
    EXPECT_NE(dumped.out.find("\"type_name\": \"Door\""), std::string::npos);
    EXPECT_NE(dumped.out.find("\"key\": \"gatekey\", \"door_locked\": true"), std::string::npos);
    EXPECT_NE(dumped.out.find("\"name\": \"cam1\", \"locked\": false, \"parent\": 3"), std::string::npos);
    EXPECT_NE(dumped.out.find("\"position\": [10.5, 0, -20]"), std::string::npos);
    EXPECT_NE(dumped.out.find("\"system\": \"Camp Fire\""), std::string::npos);
}

TEST_F(AreaTool, DumpShowsTheLoaderDefaultsOfAVersion5File) {
    Bytes b;
    b.Header(5, 1, 2).S("hut.z1");
    b.U8(ENTITY_DOOR).Common("door", 30, 0, 0).I32(0).U8(1).F(1).F(1).F(1).U8(1).U8(2).F(90).F(45).U8(1);
    b.U8(ENTITY_LIGHT)
        .Common("lamp", 0, 50, 0)
        .U8(0)
        .F(0)
        .F(50)
        .F(0)
        .F(0)
        .F(-1)
        .F(0)
        .F(1)
        .F(1)
        .F(1)
        .F(300)
        .U8(0)
        .I32(0)
        .S("")
        .S("");
    WriteFile(dir / "v5.z1a", b.b);
    ToolRun r = Tool("area dump v5.z1a", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"version\": 5"), std::string::npos);
    EXPECT_NE(
        r.out.find("\"indoor_lighting\": false, \"on_click_script\": \"\", \"on_collide_script\": \"\", "
                   "\"collide_with_box\": false"),
        std::string::npos);
    EXPECT_NE(r.out.find("\"open\": false, \"key\": \"\", \"door_locked\": false"), std::string::npos);
    EXPECT_NE(r.out.find("\"reverse_direction\": true"), std::string::npos);
    EXPECT_NE(r.out.find("\"active\": 0"), std::string::npos);
}

TEST_F(AreaTool, RefusedFilesExitOneWithTheEnginesMessage) {
    Bytes v4;
    v4.Header(4, 0, 0);
    WriteFile(dir / "v4.z1a", v4.b);
    Bytes bad;
    bad.S("ZIA").I16(8).I32(0).I32(0);
    WriteFile(dir / "bad.z1a", bad.b);
    ToolRun r = Tool("area dump v4.z1a", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "z1tool: v4.z1a: Sorry, but this file version is too old and is no longer supported.\n");
    r = Tool("area dump bad.z1a", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "z1tool: bad.z1a: ERROR - wrong HAL on area file\n");
    r = Tool("area dump none.z1a", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "z1tool: none.z1a: no such file\n");
    r = Tool("area dump", dir);
    EXPECT_EQ(r.status, 2);
}

TEST_F(AreaTool, BuildRejectsWhatCannotBeWritten) {
    WriteFile(
        dir / "cycle.json",
        R"({"entities": [{"type": 3, "name": "a", "parent": 1}, {"type": 3, "name": "b", "parent": 0}]})");
    ToolRun r = Tool("area build cycle.json out.z1a", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("parent links form a cycle"), std::string::npos) << r.err;
    WriteFile(dir / "type.json", R"({"entities": [{"type": 9, "name": "a"}]})");
    r = Tool("area build type.json out.z1a", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("entities[0].type"), std::string::npos) << r.err;
    WriteFile(dir / "broken.json", R"({"entities": [)");
    r = Tool("area build broken.json out.z1a", dir);
    EXPECT_EQ(r.status, 1);
    WriteFile(dir / "long.json", std::string(R"({"models": [")") + std::string(300, 'x') + "\"]}");
    r = Tool("area build long.json out.z1a", dir);
    EXPECT_EQ(r.status, 1);
}

TEST_F(AreaTool, ShortFilesDumpWithoutCrashing) {
    WriteFile(dir / "a.json", kAreaJson);
    ASSERT_EQ(Tool("area build a.json a.z1a", dir).status, 0);
    std::string full = ReadFile(dir / "a.z1a");
    for (size_t n : {size_t(3), size_t(6), size_t(13), size_t(20), full.size() / 2, full.size() - 1}) {
        WriteFile(dir / "s.z1a", full.substr(0, n));
        ToolRun r = Tool("area dump s.z1a", dir);
        EXPECT_TRUE(r.status == 0 || r.status == 1) << n << " " << r.err;
    }
}

}  // namespace
