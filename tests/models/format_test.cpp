// The model file format on bytes built here: every block, the framing rules,
// the refusals and the extra settings file, and the writer as the reader's
// inverse.
#include <gtest/gtest.h>

#include <cmath>

#include "model_helpers.h"
#include "common/recording_driver.h"
#include "imports/gameimports.h"
#include "models/z1model/z1model.h"
#include "utility/datafile.h"

namespace {

using model_test::Bytes;
using model_test::Canon;
using model_test::LogCapture;
using model_test::ReadFile;
using model_test::TempDir;
using model_test::WriteFile;

void Map(Bytes& b, uint8_t slotTag, const char* name, const char* bitmap, int wrapU = -1) {
    b.T(slotTag).Open().T(94).Str(name).T(98).Str(bitmap).T(102).F(1.5f);
    if (wrapU >= 0) b.T(143).U8(static_cast<uint8_t>(wrapU));
    b.Close();
}

void Transform(Bytes& b, const char* name, float px, float py, float pz) {
    b.T(11).Open().T(12).Str(name);
    b.T(119).V(1, 0, 0).T(120).V(0, 1, 0).T(121).V(0, 0, 1).T(122).V(px, py, pz);
    b.T(123).V(px, py, pz).T(141).V(0, 0, 1).T(142).F(0.25f).Close();
}

// One triangle: vertices at x = 0, 1, 2 along the x axis, bone indices given.
void Mesh(Bytes& b, int16_t sub, const std::vector<int16_t>& bones, bool morph) {
    b.T(15).Open().T(18).S16(sub).T(20).I32(3).T(21).I32(1);
    b.T(16).U8(0);
    for (int i = 0; i < 3; i++) b.F(static_cast<float>(i)).F(0).F(0).F(0).F(1).F(0).F(0.5f * i).F(0);
    b.U8(0);
    b.T(17).U8(0).S16(0).S16(1).S16(2).U8(0);
    if (!bones.empty()) {
        b.T(153).U8(0);
        for (int16_t v : bones) b.S16(v);
        b.U8(0);
    }
    if (morph) b.T(147).Open().T(148).S16(1).V(0, 2, 0).T(148).S16(2).V(0, 0, 3).Close();
    b.Close();
}

// A model using every block of the format.
std::string FullModel(bool filler) {
    Bytes b;
    b.filler = filler;
    b.U8(1).U8(0x8A).U8(0);
    b.T(3).Open().T(125).Str("village.max").T(126).S16(0).T(127).S16(100).T(128).S16(25).T(129).S16(160);
    b.T(131).V(1, 0.5f, 0).T(133).V(0, 0, 2).Close();
    b.T(9).Open().T(82).S16(2);
    b.T(81).S16(0).Open().T(86).Str("multi").T(87).Str("Multi/Sub-Object").T(84).S16(2);
    b.T(85)
        .S16(0)
        .Open()
        .T(86)
        .Str("wood")
        .T(87)
        .Str("Standard")
        .T(89)
        .V(0.5f, 0.25f, 0.125f)
        .T(88)
        .V(0.1f, 0.2f, 0.3f);
    Map(b, 109, "Map #1", "C:\\walls\\wood.bmp", 0);
    b.Close();
    b.T(85).S16(1).Open().T(86).Str("glass").T(87).Str("Standard").T(93).T(92).F(1.0f).T(91).F(7.0f);
    Map(b, 109, "Map #2", "C:\\glass.bmp");
    Map(b, 114, "Map #3", "C:\\glass_a.bmp");
    b.Close();
    b.Close();
    b.T(81).S16(1).Open().T(86).Str("chrome").T(87).Str("Raytrace").T(89).V(1, 0, 0);
    Map(b, 117, "Map #4", "D:\\env\\sky.bmp");
    b.Close();
    b.Close();
    // A geometry object with two meshes of the multi-material, one skinned.
    b.T(4).Open().T(12).Str("hut");
    Transform(b, "hut", 1, 2, 3);
    b.T(83).S16(0).T(19).Open().T(136).S16(0).T(14).S16(2);
    Mesh(b, 0, {0, 1, -1}, false);
    Mesh(b, 1, {}, true);
    b.Close();
    b.T(139).V(-1, -2, -3).T(140).V(4, 5, 6).Close();
    // A child with its meshes wrapped in tag 22 and a node track.
    b.T(8).Open().T(12).Str("door").T(13).Str("hut");
    Transform(b, "door", 0, 0, 1);
    b.T(83).S16(1).T(22).Open().T(19).Open().T(136).S16(1).T(14).S16(1);
    Mesh(b, 0, {}, false);
    b.Close().Close();
    b.T(124).Open().T(12).Str("door");
    b.T(52).Open().T(55).I32(0).V(0, 0, 0).T(55).I32(1600).V(10, 0, 0).Close();
    b.T(76).Open().T(66).I32(0).V(0, 0, 1).F(0.5f).F(0).F(0).F(0).F(0).F(0).Close();
    b.Close();
    b.Close();
    // A directional light with its target and an animated point light.
    b.T(7).Open().T(12).Str("sun").T(24).U8(35);
    Transform(b, "sun", 0, 100, 0);
    Transform(b, "sun.Target", 0, 0, 0);
    b.T(23).Open().T(25).V(1, 0.5f, 0.25f).T(26).F(2).T(29).F(3).T(30).F(800).Close().T(31).U8(1).Close();
    b.T(7).Open().T(12).Str("lamp").T(24).U8(33);
    Transform(b, "lamp", 5, 6, 7);
    b.T(124).Open().T(12).Str("lamp").T(53).Open().T(56).I32(0).V(0, 1, 0).F(0.1f).Close().Close();
    b.Close();
    // A target camera.
    b.T(6).Open().T(12).Str("cam").T(40).U8(41);
    Transform(b, "cam", 5, 5, 5);
    Transform(b, "cam.Target", 1, 1, 1);
    b.T(37).Open().T(38).F(0.8f).T(136).S16(3).Close().Close();
    b.T(145).Str("door").V(1, 2, 3);
    b.T(145).Str("well").V(7, 8, 9);
    b.T(145).Str("door").V(4, 5, 6);
    b.T(149).Open().T(150).S16(2);
    b.T(151).Open().T(152).Str("root").S16(-1).V(0, 0, 0).V(0, 0, 0).Close();
    b.T(151).Open().T(152).Str("arm").S16(0).V(3, 4, 0).V(0, 0, 0).Close();
    b.Close();
    b.T(0);
    return b.b;
}

class ModelFormat : public ::testing::Test {
protected:
    TempDir dir;
    LogCapture log{dir / "log.txt"};

    Z1ReadResult Read(const std::string& bytes, Z1Scene& s, const char* name = "test.z1") {
        WriteFile(dir / (std::string("z1/") + name), bytes);
        return Z1ReadFile(name, s);
    }
};

TEST_F(ModelFormat, ReadsEveryBlock) {
    Z1Scene s;
    ASSERT_EQ(Read(FullModel(false), s), Z1_READ_OK);
    EXPECT_TRUE(log.Has("LOADING Z1 FILE (z1\\test.z1)"));

    EXPECT_EQ(s.scene.fileName, "village.max");
    EXPECT_EQ(s.scene.lastFrame, 100);
    EXPECT_EQ(s.scene.frameSpeed, 25);
    EXPECT_EQ(s.scene.ticksPerFrame, 160);
    EXPECT_EQ(s.scene.color1, 0x00FF7F00u);  // 0.5 x 255 truncates to 127
    EXPECT_EQ(s.scene.color2, 0x000000FFu);  // 2.0 is clamped to a byte

    ASSERT_EQ(s.materials.size(), 2u);
    const Z1Material& multi = s.materials[0];
    EXPECT_EQ(multi.materialClass, Z1_CLASS_MULTI);
    ASSERT_EQ(multi.submaterials.size(), 2u);
    const Z1Material& wood = multi.submaterials[0];
    EXPECT_EQ(wood.name, "wood");
    EXPECT_EQ(wood.materialClass, Z1_CLASS_STANDARD);
    EXPECT_TRUE(wood.textured);
    EXPECT_TRUE(wood.white);
    EXPECT_EQ(wood.maps[Z1_SLOT_TEXTURE].bitmap, "textures\\walls\\wood.bmp");
    EXPECT_EQ(wood.maps[Z1_SLOT_TEXTURE].bitmapRaw, "C:\\walls\\wood.bmp");
    EXPECT_EQ(wood.maps[Z1_SLOT_TEXTURE].wrapU, 0);
    EXPECT_EQ(wood.maps[Z1_SLOT_TEXTURE].wrapV, 1);
    EXPECT_FLOAT_EQ(wood.maps[Z1_SLOT_TEXTURE].params[0], 1.5f);
    EXPECT_FLOAT_EQ(wood.color1[1], 0.25f);
    EXPECT_FLOAT_EQ(wood.color2[2], 0.3f);
    const Z1Material& glass = multi.submaterials[1];
    EXPECT_TRUE(glass.twoSided);
    EXPECT_FLOAT_EQ(glass.selfIllumination, 1.0f);
    EXPECT_FLOAT_EQ(glass.value91, 7.0f);
    EXPECT_EQ(glass.maps[Z1_SLOT_OPACITY].bitmap, "textures\\glass_a.bmp");
    // An unknown class leaves the class alone, but the map still textures it.
    const Z1Material& chrome = s.materials[1];
    EXPECT_EQ(chrome.materialClass, Z1_CLASS_NONE);
    EXPECT_EQ(chrome.className, "Raytrace");
    EXPECT_TRUE(chrome.textured);
    EXPECT_FALSE(chrome.white);
    EXPECT_EQ(chrome.maps[Z1_SLOT_ENVIRONMENT].bitmap, "textures\\env\\sky.bmp");

    ASSERT_EQ(s.objects.size(), 2u);
    const Z1GeomObject& hut = s.objects[0];
    EXPECT_EQ(hut.name, "hut");
    EXPECT_EQ(hut.material, 0);
    EXPECT_EQ(hut.transform.pivot, (VECTOR{1, 2, 3}));
    EXPECT_FLOAT_EQ(hut.transform.angle, 0.25f);
    ASSERT_EQ(hut.meshLists.size(), 1u);
    ASSERT_EQ(hut.meshLists[0].meshes.size(), 2u);
    const Z1Mesh& m0 = hut.meshLists[0].meshes[0];
    EXPECT_EQ(m0.vertices.size(), 3u);
    EXPECT_FLOAT_EQ(m0.vertices[2].x, 2.0f);
    EXPECT_FLOAT_EQ(m0.vertices[2].tu, 1.0f);
    EXPECT_EQ(m0.indices, (std::vector<uint16_t>{0, 1, 2}));
    EXPECT_EQ(m0.bones, (std::vector<int16_t>{0, 1, -1}));
    const Z1Mesh& m1 = hut.meshLists[0].meshes[1];
    EXPECT_EQ(m1.submaterial, 1);
    ASSERT_EQ(m1.morphTargets.size(), 1u);
    ASSERT_EQ(m1.morphTargets[0].entries.size(), 2u);
    EXPECT_EQ(m1.morphTargets[0].entries[1].vertex, 2);
    EXPECT_EQ(m1.morphTargets[0].entries[1].offset, (VECTOR{0, 0, 3}));
    EXPECT_TRUE(hut.hasBoxMin && hut.hasBoxMax);
    EXPECT_EQ(hut.boxMax, (VECTOR{4, 5, 6}));
    const Z1GeomObject& door = s.objects[1];
    EXPECT_EQ(door.tag, 8);
    EXPECT_EQ(door.parent, "hut");
    ASSERT_EQ(door.meshLists.size(), 1u);
    EXPECT_TRUE(door.meshListWrapped[0]);
    ASSERT_EQ(door.animations.size(), 1u);
    EXPECT_EQ(door.animations[0].posLinear.size(), 2u);
    EXPECT_EQ(door.animations[0].rotSpline.size(), 1u);
    EXPECT_EQ(s.vertexTotal, 9);
    EXPECT_EQ(s.faceTotal, 3);

    ASSERT_EQ(s.lights.size(), 2u);
    const Z1Light& sun = s.lights[0];
    EXPECT_EQ(sun.desc.type, LIGHT_DIRECTIONAL);
    EXPECT_EQ(sun.desc.position, (VECTOR{0, 100, 0}));
    EXPECT_EQ(sun.desc.direction, (VECTOR{0, -100, 0}));
    EXPECT_FLOAT_EQ(sun.desc.r, 2.0f);
    EXPECT_FLOAT_EQ(sun.desc.g, 1.0f);
    EXPECT_FLOAT_EQ(sun.desc.b, 0.5f);
    EXPECT_FLOAT_EQ(sun.desc.range, 800.0f);
    EXPECT_EQ(sun.flag, 1);
    const Z1Light& lamp = s.lights[1];
    EXPECT_EQ(lamp.desc.type, LIGHT_POINT);
    EXPECT_EQ(lamp.desc.position, (VECTOR{5, 6, 7}));
    EXPECT_FLOAT_EQ(lamp.desc.r, 1.0f);  // defaults: white, range 500
    EXPECT_FLOAT_EQ(lamp.desc.range, 500.0f);
    ASSERT_EQ(lamp.animations.size(), 1u);

    ASSERT_EQ(s.cameras.size(), 1u);
    EXPECT_TRUE(s.cameras[0].targeted);
    EXPECT_TRUE(s.cameras[0].hasSettings);
    EXPECT_EQ(s.cameras[0].position, (VECTOR{5, 5, 5}));
    EXPECT_EQ(s.cameras[0].target, (VECTOR{1, 1, 1}));
    EXPECT_FLOAT_EQ(s.cameras[0].fov, 0.8f);

    // Two spawn points of one name: the later one wins.
    ASSERT_NE(s.FindSpawnPoint("door"), nullptr);
    EXPECT_EQ(s.FindSpawnPoint("door")->position, (VECTOR{4, 5, 6}));
    EXPECT_EQ(s.FindSpawnPoint("well")->position, (VECTOR{7, 8, 9}));
    EXPECT_EQ(s.FindSpawnPoint("nowhere"), nullptr);

    ASSERT_TRUE(s.hasBones);
    ASSERT_EQ(s.bones.size(), 2u);
    EXPECT_EQ(s.bones[1].name, "arm");
    EXPECT_EQ(s.bones[1].parent, 0);
    EXPECT_FLOAT_EQ(s.bones[1].length, 5.0f);

    // Material lookup: materials first, then sub-materials.
    EXPECT_EQ(s.FindMaterial("glass"), &s.materials[0].submaterials[1]);
    EXPECT_EQ(s.FindMaterial("chrome"), &s.materials[1]);
}

TEST_F(ModelFormat, FillerTagAnywhereChangesNothing) {
    Z1Scene plain, padded;
    ASSERT_EQ(Read(FullModel(false), plain, "a.z1"), Z1_READ_OK);
    std::string withFiller = FullModel(true);
    ASSERT_GT(withFiller.size(), FullModel(false).size() + 200);
    ASSERT_EQ(Read(withFiller, padded, "b.z1"), Z1_READ_OK);
    EXPECT_EQ(Canon(plain, dir / "a.out"), Canon(padded, dir / "b.out"));
    EXPECT_FALSE(log.Has("Unknown binary short int"));
}

TEST_F(ModelFormat, WriterIsTheReadersInverse) {
    Z1Scene first, second;
    ASSERT_EQ(Read(FullModel(false), first, "a.z1"), Z1_READ_OK);
    std::string written = Canon(first, dir / "z1/copy.z1");
    ASSERT_EQ(Z1ReadFile("copy.z1", second), Z1_READ_OK);
    EXPECT_EQ(Canon(second, dir / "again.z1"), written);
    // Spot checks that the values made the trip, not only the layout.
    ASSERT_EQ(second.objects.size(), 2u);
    EXPECT_EQ(second.objects[0].meshLists[0].meshes[0].bones, (std::vector<int16_t>{0, 1, -1}));
    EXPECT_TRUE(second.objects[1].meshListWrapped[0]);
    EXPECT_EQ(second.materials[0].submaterials[0].maps[0].bitmap, "textures\\walls\\wood.bmp");
    EXPECT_EQ(second.lights[0].desc.direction, (VECTOR{0, -100, 0}));
    EXPECT_FLOAT_EQ(second.lights[0].desc.r, 2.0f);
    EXPECT_EQ(second.FindSpawnPoint("door")->position, (VECTOR{4, 5, 6}));
    EXPECT_EQ(second.bones.size(), 2u);
}

TEST_F(ModelFormat, UnknownTags) {
    Bytes b;
    b.U8(1).U8(0x8A).U8(0).T(77).T(145).Str("p").V(1, 1, 1);
    // Inside a block an unlisted tag has no payload and is passed over.
    b.T(3).Open().T(200).T(127).S16(42).Close().T(0);
    Z1Scene s;
    ASSERT_EQ(Read(b.b, s), Z1_READ_OK);
    EXPECT_TRUE(log.Has("Unknown binary short int 77\n"));
    EXPECT_FALSE(log.Has("Unknown binary short int 200"));
    EXPECT_EQ(s.scene.lastFrame, 42);
    EXPECT_EQ(s.spawnPoints.size(), 1u);
}

struct BoxRecorder : NullImports {
    std::string caption, text;
    void ErrorBox(const char* c, const char* t) override {
        caption = c;
        text = t;
    }
};

TEST_F(ModelFormat, TextFormIsRefusedWithTheBox) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    BoxRecorder box;
    SetGameImports(&box);
    std::string bytes = FullModel(false);
    bytes[0] = 0;  // otherwise a valid file
    Z1Scene s;
    EXPECT_EQ(Read(bytes, s), Z1_READ_TEXT_FORM);
    SetGameImports(nullptr);
    EXPECT_EQ(box.caption, "Error!");
    EXPECT_EQ(box.text, "Z1 ASCII format is for debugging only. Please use a binary export for the engine.");
    // The driver is paused around the box and resumed after it.
    EXPECT_EQ(driver.pause_count, 0);
    int paused = driver.FindCall("Pause(1)");
    ASSERT_GE(paused, 0);
    EXPECT_GT(driver.FindCall("Pause(0)", paused), paused);
    EXPECT_FALSE(log.Has("LOADING Z1 FILE"));
    EXPECT_TRUE(s.objects.empty());
}

TEST_F(ModelFormat, WrongMarkerAndMissingFile) {
    std::string bytes = FullModel(false);
    bytes[1] = 0x8B;
    Z1Scene s;
    EXPECT_EQ(Read(bytes, s, "bad.z1"), Z1_READ_BAD_MARKER);
    EXPECT_TRUE(log.Has("Not a valid Z1-file (z1\\bad.z1)\n"));
    EXPECT_EQ(Z1ReadFile("absent.z1", s), Z1_READ_OPEN_FAILED);
    EXPECT_TRUE(log.Has("ERROR - Could not open Z1 file z1\\absent.z1\n"));
    EXPECT_EQ(Read("", s, "empty.z1"), Z1_READ_BAD_MARKER);
}

TEST_F(ModelFormat, EveryShortFileLoadsWithoutHarm) {
    std::string bytes = FullModel(true);
    for (size_t n = 3; n < bytes.size(); n += 7) {
        Z1Scene s;
        EXPECT_EQ(Read(bytes.substr(0, n), s, "cut.z1"), Z1_READ_OK) << n;
        for (const Z1GeomObject& o : s.objects)
            for (const Z1MeshList& l : o.meshLists)
                for (const Z1Mesh& m : l.meshes) EXPECT_LE(m.vertices.size(), 3u);
    }
    // A float cut short is reported by the reader.
    Bytes b;
    b.U8(1).U8(0x8A).U8(0).T(145).Str("p").F(1).U8(0).U8(0);
    Z1Scene s;
    EXPECT_EQ(Read(b.b, s, "float.z1"), Z1_READ_OK);
    EXPECT_TRUE(log.Has("ERROR reading float at pos"));
}

TEST_F(ModelFormat, HugeCountsDoNotAllocate) {
    // Two meshes whose counts overflow the model's totals: the totals stop at
    // the end of their range, upwards and downwards.
    for (int32_t count : {0x7FFFFFF0, -0x7FFFFFF0}) {
        Bytes b;
        b.U8(1).U8(0x8A).U8(0).T(4).Open().T(19).Open().T(14).S16(2);
        b.T(15).Open().T(20).I32(count).T(21).I32(count).Close();
        b.T(15).Open().T(20).I32(count).T(21).I32(count).T(16).U8(0).V(1, 2, 3);
        Z1Scene s;
        EXPECT_EQ(Read(b.b, s), Z1_READ_OK);
        ASSERT_EQ(s.objects.size(), 1u);
        ASSERT_EQ(s.objects[0].meshLists[0].meshes.size(), 2u);
        EXPECT_LT(s.objects[0].meshLists[0].meshes[1].vertices.size(), 4u);
        EXPECT_EQ(s.vertexTotal, count > 0 ? INT32_MAX : INT32_MIN);
        EXPECT_EQ(s.faceTotal, count > 0 ? INT32_MAX : INT32_MIN);
    }
}

TEST_F(ModelFormat, AllMinusOneBoneArrayIsDropped) {
    Bytes b;
    b.U8(1).U8(0x8A).U8(0).T(4).Open().T(19).Open().T(14).S16(1);
    Mesh(b, 0, {-1, -1, -1}, false);
    b.Close().Close().T(0);
    Z1Scene s;
    ASSERT_EQ(Read(b.b, s), Z1_READ_OK);
    EXPECT_TRUE(s.objects[0].meshLists[0].meshes[0].bones.empty());
    EXPECT_TRUE(log.Has("no skinning after all\n"));
}

TEST_F(ModelFormat, ExtraSettingsFile) {
    WriteFile(dir / "z1/test.ex",
              "*MATERIAL \"glass\"\n{\n  *MATERIAL_U_ANIMATION 2000\n  { nested words } "
              "*MATERIAL_V_ANIMATION 500\n}\n"
              "stray words *MATERIAL \"nothing\" { *MATERIAL_U_ANIMATION 10 }\n"
              "*MATERIAL \"chrome\" { *MATERIAL_V_ANIMATION 750 }\n");
    Z1Scene s;
    ASSERT_EQ(Read(FullModel(false), s), Z1_READ_OK);
    const Z1Material& glass = s.materials[0].submaterials[1];
    EXPECT_TRUE(glass.hasExtra);
    EXPECT_EQ(glass.scrollU, 2000);
    EXPECT_EQ(glass.scrollV, 500);
    EXPECT_TRUE(s.materials[1].hasExtra);
    EXPECT_EQ(s.materials[1].scrollV, 750);
    EXPECT_FALSE(s.materials[0].submaterials[0].hasExtra);
    EXPECT_TRUE(
        log.Has("------------------ Extra settings file detected ------------------------\n"
                "Error - could not find material nothing\n"
                "-------------end of extra settings ------------------\n"));
    EXPECT_EQ(Z1ExtraSettingsPath("z1\\hut.z1"), "z1\\hut.ex");

    // The writer's settings file says the same.
    std::string extra = dir / "copy.ex";
    ASSERT_TRUE(Z1WriteExtraSettings(extra.c_str(), s));
    Z1Scene again;
    ASSERT_EQ(Read(FullModel(false), again, "plain.z1"), Z1_READ_OK);
    ASSERT_TRUE(Z1ReadExtraSettings(extra.c_str(), again));
    EXPECT_EQ(again.materials[0].submaterials[1].scrollU, 2000);
    EXPECT_EQ(again.materials[1].scrollV, 750);
    EXPECT_FALSE(again.playNodeAnimation);

    // Node animation asked for, inside a material's braces too: only the
    // word at the top level counts.
    again.playNodeAnimation = true;
    ASSERT_TRUE(Z1WriteExtraSettings(extra.c_str(), again));
    EXPECT_EQ(ReadFile(extra).rfind("*PLAY_NODE_ANIMATION\n", 0), 0u);
    Z1Scene played;
    ASSERT_EQ(Read(FullModel(false), played, "plain.z1"), Z1_READ_OK);
    ASSERT_TRUE(Z1ReadExtraSettings(extra.c_str(), played));
    EXPECT_TRUE(played.playNodeAnimation);
    WriteFile(extra, "*MATERIAL \"chrome\" { *PLAY_NODE_ANIMATION }\n");
    Z1Scene nested;
    ASSERT_EQ(Read(FullModel(false), nested, "plain.z1"), Z1_READ_OK);
    ASSERT_TRUE(Z1ReadExtraSettings(extra.c_str(), nested));
    EXPECT_FALSE(nested.playNodeAnimation);
}

TEST_F(ModelFormat, OutOfRangeIndicesAreSkipped) {
    Bytes b;
    b.U8(1).U8(0x8A).U8(0).T(9).Open().T(82).S16(1).T(81).S16(5).Open().T(86).Str("ghost").Close();
    b.T(81).S16(0).Open().T(86).Str("real").T(84).S16(1).T(85).S16(-3).Open().T(86).Str("x").Close().Close();
    b.Close().T(0);
    Z1Scene s;
    ASSERT_EQ(Read(b.b, s), Z1_READ_OK);
    ASSERT_EQ(s.materials.size(), 1u);
    EXPECT_EQ(s.materials[0].name, "real");
    ASSERT_EQ(s.materials[0].submaterials.size(), 1u);
    EXPECT_EQ(s.materials[0].submaterials[0].name, "");
}

}  // namespace

namespace {

// Damaged copies of a full model: every one reads, builds and draws without
// harm (run under the address sanitizer now and then).
TEST_F(ModelFormat, DamagedFilesNeverHurt) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    const std::string good = FullModel(false);
    uint32_t seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    int loaded = 0;
    for (int round = 0; round < 300; round++) {
        std::string bytes = good;
        int flips = 1 + static_cast<int>(next() % 8);
        for (int k = 0; k < flips; k++) {
            size_t at = 2 + next() % (bytes.size() - 2);
            bytes[at] = static_cast<char>(next() % 3 == 0 ? 0xFF : next() & 0xFF);
        }
        if (round % 5 == 0) bytes.resize(2 + next() % (bytes.size() - 2));
        WriteFile(dir / "z1/bad.z1", bytes);
        Z1Model model;
        if (!model.Load("bad.z1")) continue;
        loaded++;
        for (ModelFrame* f : model.frames)
            for (Z1SubMesh* sm : f->submeshes)
                for (int i = 0; i < sm->faceCount * 3; i++)
                    ASSERT_LT(sm->indices[i], sm->vertexCount) << round;
        driver.BeginScene();
        model.Draw(nullptr, VECTOR{0, 0, 0});
        float weights[kMorphWeights] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
        EXPECT_TRUE(model.Draw(nullptr, VECTOR{0, 0, 0}, weights));
    }
    // Most damage leaves a model that still loads; the rest is refused.
    EXPECT_GT(loaded, 150);
}

}  // namespace
