// The area file: the exact bytes written, the versions read, refusals, short
// files, parent links and the script hooks.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "entities/cameraentity.h"
#include "entities/doorentity.h"
#include "entities/lightentity.h"
#include "entities/npcentity.h"
#include "entities/objectentity.h"
#include "entities/particleentity.h"
#include "imports/enginecalls.h"
#include "world/area.h"
#include "world/areafile.h"
#include "world/entitykinds.h"
#include "world/areascript.h"
#include "world_helpers.h"

using world_test::Bytes;
using world_test::GameDir;
using world_test::GameRecorder;
using world_test::LogCapture;
using world_test::ReadFile;
using world_test::WriteFile;

namespace {

struct BoxRecorder : NullImports {
    std::vector<std::string> shown;
    void ErrorBox(const char* caption, const char* text) override {
        shown.push_back(std::string(caption) + "|" + text);
    }
};

class AreaFile : public ::testing::Test {
protected:
    GameDir dir;
    LogCapture log{dir / "log.txt"};
};

// One object, one door, one light, one NPC, one particle emitter and one
// camera in the version-5 layout.
std::string Version5File() {
    Bytes b;
    b.Header(5, 1, 6).S("hut.z1");
    b.U8(ENTITY_OBJECT).Common("hut", 10, 0, 20).I32(0).U8(0).F(2).F(3).F(4);
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
        .F(0.5f)
        .F(0.25f)
        .F(300)
        .U8(1)
        .I32(64)
        .S("glow.bmp")
        .S("glow_a.bmp");
    b.U8(ENTITY_NPC).Common("bob", 5, 0, 5).I32(0).U8(1).F(1).F(1).F(1).S("bob");
    b.U8(ENTITY_PARTICLE).Common("fire", 0, 0, 40).S("Campfire");
    b.U8(ENTITY_CAMERA).Common("cam", 1, 2, 3);
    return b.b;
}

TEST_F(AreaFile, AnEmptyAreaIsFourteenBytesAndLoadsAsNothing) {
    Area area;
    area.Save("empty.z1a");
    std::string bytes = ReadFile(dir / "area/empty.z1a");
    EXPECT_EQ(bytes, std::string("Z1A\0\x08\x00\0\0\0\0\0\0\0\0", 14));
    EXPECT_TRUE(
        log.Has("Saving area to file 'area\\empty.z1a'\nready for write\nScene contains 0 models\n"
                "Scene contains 0 entities\ndumping 0 models\ndumping 0 entities\ndone saving\n"));
    area.Load("empty.z1a");
    EXPECT_EQ(area.entities.Size(), 0);
    EXPECT_EQ(area.root, nullptr);
    EXPECT_TRUE(
        log.Has("Loading area from file 'area\\empty.z1a'\nLoading file version 8\nLoading 0 models\n"
                "Loading 0 ents\n"));
}

TEST_F(AreaFile, Version5LoadsWithTheDefaultsOfTheMissingFields) {
    WriteFile(dir / "area/v5.z1a", Version5File());
    Area area;
    area.Load("v5.z1a");
    ASSERT_EQ(area.entities.Size(), 6);

    auto* hut = static_cast<ObjectEntity*>(area.FindEntity("hut"));
    ASSERT_NE(hut, nullptr);
    EXPECT_EQ(hut->type, ENTITY_OBJECT);
    EXPECT_FALSE(hut->checkCollision);
    EXPECT_EQ(hut->scale, VECTOR(2, 3, 4));
    EXPECT_FALSE(hut->indoorLighting);
    EXPECT_TRUE(hut->onClickScript == nullptr || hut->onClickScript[0] == 0);
    EXPECT_TRUE(hut->onCollideScript == nullptr || hut->onCollideScript[0] == 0);
    EXPECT_FALSE(hut->collideWithBox);
    EXPECT_EQ(hut->position, VECTOR(10, 0, 20));

    auto* door = static_cast<DoorEntity*>(area.FindEntity("door"));
    ASSERT_NE(door, nullptr);
    EXPECT_EQ(door->doorType, DOOR_SLIDING);
    EXPECT_EQ(door->axis, 2);
    EXPECT_EQ(door->displacement, 90.0f);
    EXPECT_EQ(door->speed, 45.0f);
    EXPECT_TRUE(door->reverseDirection);
    EXPECT_FALSE(door->open);
    EXPECT_FALSE(door->doorLocked);
    EXPECT_TRUE(door->key == nullptr || door->key[0] == 0);

    auto* lamp = static_cast<LightEntity*>(area.FindEntity("lamp"));
    ASSERT_NE(lamp, nullptr);
    EXPECT_EQ(lamp->active, LIGHT_ACTIVE_ALWAYS);
    EXPECT_TRUE(lamp->glows);
    EXPECT_EQ(lamp->glowSize, 64);
    EXPECT_STREQ(lamp->glowTexture, "glow.bmp");
    EXPECT_STREQ(lamp->glowAlphaMap, "glow_a.bmp");
    EXPECT_EQ(lamp->desc.r, 1.0f);
    EXPECT_EQ(lamp->desc.g, 0.5f);
    EXPECT_EQ(lamp->desc.range, 300.0f);
    EXPECT_EQ(area.lights.Size(), 1);

    auto* bob = static_cast<NPCEntity*>(area.FindEntity("bob"));
    ASSERT_NE(bob, nullptr);
    EXPECT_STREQ(bob->dialogFile, "bob");
    EXPECT_EQ(bob->dialog, nullptr);  // no dialogs folder: the binding failed
    EXPECT_TRUE(log.Has("NPCEntity:: Error loading dialog bob"));

    auto* fire = static_cast<ParticleEntity*>(area.FindEntity("fire"));
    ASSERT_NE(fire, nullptr);
    EXPECT_STREQ(fire->systemName, "Campfire");
    EXPECT_EQ(fire->system, nullptr);
    EXPECT_TRUE(log.Has("Unknown system : Campfire"));
    EXPECT_EQ(area.particles.Size(), 1);

    Entity* cam = area.FindEntity("cam");
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->type, ENTITY_CAMERA);
    EXPECT_EQ(cam->position, VECTOR(1, 2, 3));
}

TEST_F(AreaFile, Version4AndAWrongMagicAreRefused) {
    BoxRecorder boxes;
    GameImports* saved = g_imports;
    g_imports = &boxes;
    Bytes v4;
    v4.Header(4, 0, 1).U8(ENTITY_CAMERA).Common("cam", 0, 0, 0);
    WriteFile(dir / "area/v4.z1a", v4.b);
    Bytes bad;
    bad.S("Z1B").I16(8).I32(0).I32(0);
    WriteFile(dir / "area/bad.z1a", bad.b);

    Area area;
    area.Load("v4.z1a");
    EXPECT_EQ(area.entities.Size(), 0);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], "Error!|Sorry, but this file version is too old and is no longer supported.");
    EXPECT_TRUE(log.Has("Loading file version 4\n"));
    EXPECT_FALSE(log.Has("Loading 0 models"));

    area.Load("bad.z1a");
    EXPECT_TRUE(log.Has("ERROR - wrong HAL on area file\n"));
    EXPECT_FALSE(log.Has("Loading file version 8"));
    EXPECT_EQ(boxes.shown.size(), 1u);

    area.Load("missing.z1a");
    EXPECT_TRUE(log.Has("Loading area from file 'area\\missing.z1a'\nInvalid area file - cannot load\n"));
    EXPECT_EQ(area.entities.Size(), 0);
    g_imports = saved;
}

TEST_F(AreaFile, SavingWritesEveryFieldAndLoadingItBackIsTheSameFile) {
    {
        Area area;
        ASSERT_NE(area.AddLight("x", 0, 0, 0, nullptr), nullptr);
        WriteFile(dir / "area/v5.z1a", Version5File());
        area.Load("v5.z1a");
        area.Save("first.z1a");
    }
    Area again;
    again.Load("first.z1a");
    ASSERT_EQ(again.entities.Size(), 7);
    again.Save("second.z1a");
    std::string first = ReadFile(dir / "area/first.z1a");
    EXPECT_EQ(first, ReadFile(dir / "area/second.z1a"));
    // Version 8 and the counts (no model loaded, so none is written).
    EXPECT_EQ(first.substr(0, 14), std::string("Z1A\0\x08\x00\0\0\0\0\x07\0\0\0", 14));
    // The version-8 fields came back with the values written.
    auto* door = static_cast<DoorEntity*>(again.FindEntity("door"));
    ASSERT_NE(door, nullptr);
    EXPECT_TRUE(door->reverseDirection);
    EXPECT_EQ(door->displacement, 90.0f);
}

TEST_F(AreaFile, ParentLinksSurviveSaveAndLoad) {
    {
        Area area;
        Entity* post = area.AddCamera("post", 0, 0, 0, nullptr);
        Entity* lamp = area.AddLight("lamp", 0, 100, 0, post);
        ASSERT_NE(lamp, nullptr);
        area.AddParticle("smoke", "Smoke", 0, 120, 0, lamp);
        area.Save("linked.z1a");
    }
    Area area;
    area.Load("linked.z1a");
    Entity* post = area.FindEntity("post");
    Entity* lamp = area.FindEntity("lamp");
    Entity* smoke = area.FindEntity("smoke");
    ASSERT_TRUE(post && lamp && smoke);
    EXPECT_EQ(lamp->parent, post);
    EXPECT_EQ(post->firstChild, lamp);
    EXPECT_EQ(smoke->parent, lamp);
    EXPECT_EQ(post->parent, nullptr);
}

TEST_F(AreaFile, BadParentIndicesAreNotLinked) {
    Bytes b;
    b.Header(8, 0, 3);
    b.U8(ENTITY_CAMERA).Common("self", 0, 0, 0, ENTITY_CAMERA, 0);
    b.U8(ENTITY_CAMERA).Common("far", 0, 0, 0, ENTITY_CAMERA, 99);
    b.U8(ENTITY_CAMERA).Common("neg", 0, 0, 0, ENTITY_CAMERA, -5);
    WriteFile(dir / "area/parents.z1a", b.b);
    Area area;
    area.Load("parents.z1a");
    ASSERT_EQ(area.entities.Size(), 3);
    for (Entity* e : area.entities) {
        EXPECT_EQ(e->parent, nullptr) << e->Name();
        EXPECT_EQ(e->firstChild, nullptr) << e->Name();
    }
}

TEST_F(AreaFile, ShortFilesLoadWhatIsThereAndNeverCrash) {
    std::string full = Version5File();
    {
        Area area;
        for (size_t n = 0; n < full.size(); ++n) {
            WriteFile(dir / "area/short.z1a", full.substr(0, n));
            int before = area.entities.Size();
            area.Load("short.z1a");
            EXPECT_LE(area.entities.Size() - before, 6) << n;
        }
    }
    // Counts far beyond the file stop at its end.
    Bytes huge;
    huge.Header(8, 1, 0x7FFFFFFF).S("a.z1").U8(ENTITY_CAMERA).Common("cam", 1, 1, 1);
    WriteFile(dir / "area/huge.z1a", huge.b);
    Area area;
    area.Load("huge.z1a");
    EXPECT_EQ(area.entities.Size(), 1);
    // A model count past the end takes the rest of the file as names.
    Bytes names;
    names.Header(8, 0x7FFFFFFF, 1).S("a.z1").U8(ENTITY_CAMERA).Common("cam", 1, 1, 1);
    WriteFile(dir / "area/names.z1a", names.b);
    area.Load("names.z1a");
    EXPECT_EQ(area.entities.Size(), 1);
}

TEST_F(AreaFile, EntitiesWithoutABoxAreLeftOutAndTheRestStillFits) {
    const float nan = std::nanf("");
    Bytes b;
    b.Header(8, 0, 3);
    b.U8(ENTITY_CAMERA).Common("lost", nan, 0, 0);
    b.U8(ENTITY_CAMERA).Common("here", 5, 0, 5);
    b.U8(ENTITY_CAMERA).Common("lost too", 0, nan, 0);
    WriteFile(dir / "area/nan.z1a", b.b);
    Area area;
    area.Load("nan.z1a");
    ASSERT_EQ(area.entities.Size(), 1);
    EXPECT_NE(area.FindEntity("here"), nullptr);
    EXPECT_TRUE(log.Has("Something wierd happened - could not push into new scenetree\n"));
    EXPECT_TRUE(log.Has("ERROR - could not enlarge tree to hold lost too\n"));
    EXPECT_NE(area.AddCamera("later", 9000, 0, 9000, nullptr), nullptr);
}

TEST_F(AreaFile, OverlongTextsAreCutSoTheFileReadsBack) {
    std::string longName(300, 'n');
    {
        Area area;
        Entity* cam = area.AddCamera(longName.c_str(), 1, 2, 3, nullptr);
        ASSERT_NE(cam, nullptr);
        Entity* lamp = area.AddLight("lamp", 4, 5, 6, cam);
        ASSERT_NE(lamp, nullptr);
        area.Save("long.z1a");
    }
    Area area;
    area.Load("long.z1a");
    ASSERT_EQ(area.entities.Size(), 2);
    EXPECT_EQ(std::string(area.entities[0]->Name()), longName.substr(0, 254));
    EXPECT_STREQ(area.entities[1]->Name(), "lamp");
    EXPECT_EQ(area.entities[1]->parent, area.entities[0]);
    EXPECT_EQ(area.entities[1]->position, VECTOR(4, 5, 6));
}

TEST_F(AreaFile, DamagedFilesLoadWithoutCrashing) {
    // Every kind of record, then random bytes changed in it.
    std::string good;
    {
        Area area;
        Entity* post = area.AddCamera("post", 0, 0, 0, nullptr);
        area.AddLight("lamp", 0, 100, 0, post);
        area.AddParticle("fire", "Torch", 0, 0, 50, post);
        WriteFile(dir / "area/v5.z1a", Version5File());
        area.Load("v5.z1a");
        area.Save("good.z1a");
        good = ReadFile(dir / "area/good.z1a");
    }
    ASSERT_GT(good.size(), 200u);
    unsigned seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) & 0xFFFFFF;
    };
    Area area;
    for (int round = 0; round < 150; ++round) {
        std::string bad = good;
        int changes = 1 + next() % 8;
        for (int i = 0; i < changes; ++i) {
            size_t at = 14 + next() % (bad.size() - 14);
            bad[at] = static_cast<char>(next() & 0xFF);
        }
        WriteFile(dir / "area/bad.z1a", bad);
        area.Load("bad.z1a");
    }
    // Whatever was loaded can be saved and read back.
    area.Save("after.z1a");
    Area again;
    again.Load("after.z1a");
    EXPECT_EQ(again.entities.Size(), area.entities.Size());
}

// The kinds' own names are shown by the spawn dialog and the selection line.
TEST_F(AreaFile, CodesOfNoKindAreUnknownEntities) {
    EXPECT_STREQ(EntityTypeName(0), "Unknown Entity");
    EXPECT_STREQ(EntityTypeName(7), "Unknown Entity");
}

TEST_F(AreaFile, ScriptHooksRotateMoveTriggerAndUnlock) {
    GameRecorder game;
    GameImports* saved = g_imports;
    g_imports = &game;
    Bytes b;
    b.Header(8, 0, 2);
    b.U8(ENTITY_DOOR)
        .Common("gate", 0, 0, 0)
        .I32(-1)
        .U8(1)
        .F(1)
        .F(1)
        .F(1)
        .U8(0)
        .S("")
        .S("")
        .U8(0)
        .U8(DOOR_SWINGING)
        .U8(1)
        .F(90)
        .F(45)
        .U8(0)
        .U8(0)
        .S("gatekey")
        .U8(1);
    b.U8(ENTITY_CAMERA).Common("mark", 0, 0, 0);
    WriteFile(dir / "area/hooks.z1a", b.b);
    Area area;
    area.Load("hooks.z1a");
    auto* gate = static_cast<DoorEntity*>(area.FindEntity("gate"));
    ASSERT_NE(gate, nullptr);
    ASSERT_TRUE(gate->doorLocked);

    // Trigger on a locked door: the activation reports the missing key, then
    // the hook unlocks it.
    area.ScriptHook(kWorldCallTrigger, "gate", 0, 0, 0);
    EXPECT_TRUE(log.Has("found entity gate - now triggering\n"));
    ASSERT_EQ(game.messages.size(), 1u);
    EXPECT_EQ(game.messages[0], "The door is locked, and you don't have the key!@4");
    EXPECT_FALSE(gate->doorLocked);
    EXPECT_FALSE(gate->moving);

    area.ScriptHook(kWorldVectorCallMove, "mark", 100, 200, 300);
    EXPECT_TRUE(log.Has("script wants to move object mark\nfound, moving..\n"));
    Entity* mark = area.FindEntity("mark");
    EXPECT_EQ(mark->position, VECTOR(100, 200, 300));
    EXPECT_EQ(mark->transform[12], 100.0f);
    EXPECT_NE(mark->sceneNode, nullptr);

    area.ScriptHook(kWorldVectorCallRotate, "mark", 0, 1.5707964f, 0);
    EXPECT_TRUE(
        log.Has("script wants to rotate object mark\nfound... rotating (0.000000,1.570796,0.000000)\n"));
    EXPECT_NEAR(mark->transform[0], 0.0f, 1e-6f);

    area.ScriptHook(kWorldVectorCallRotate, "nobody", 1, 1, 1);
    EXPECT_TRUE(log.Has("script wants to rotate object nobody\n"));
    EXPECT_FALSE(log.Has("found... rotating (1.0"));
    area.ScriptHook(kWorldCallUnlock, "mark", 0, 0, 0);  // not a door: nothing
    g_imports = saved;
}

TEST_F(AreaFile, ScriptWorldCallsReachTheAreaHooksInTheirOwnForm) {
    Area area;
    Entity* mark = area.AddCamera("mark", 0, 0, 0, nullptr);
    AreaScriptVectorCall(kWorldVectorCallMove, "mark", VECTOR(5, 6, 7));
    EXPECT_EQ(mark->position, VECTOR(5, 6, 7));
    AreaScriptCall(kWorldVectorCallMove, "mark", 0);  // a move needs the vector form: nothing
    EXPECT_EQ(mark->position, VECTOR(5, 6, 7));
    AreaScriptVectorCall(kWorldCallTrigger, "mark", VECTOR(0, 0, 0));  // a trigger needs the plain form
    EXPECT_FALSE(log.Has("found entity mark - now triggering"));
    AreaScriptCall(kWorldCallTrigger, "mark", 0);
    EXPECT_TRUE(log.Has("found entity mark - now triggering\n"));
}

}  // namespace
