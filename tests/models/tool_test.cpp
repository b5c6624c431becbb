// z1tool's model commands end to end: the JSON summary, the refusals, the
// animation summary, and the importer on the real models of Debian's
// assimp-testmodels package (loaded back and drawn by the engine).
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "common/recording_driver.h"
#include "common/run_program.h"
#include "model_helpers.h"
#include "models/z1model/z1model.h"
#include "utility/datafile.h"

namespace {

using model_test::LogCapture;
using model_test::ReadFile;
using model_test::TempDir;
using model_test::WriteFile;

using ToolRun = test_common::ProgramRun;

ToolRun Tool(const std::string& args, const TempDir& dir) { return test_common::RunZ1tool(args, dir.path()); }

using test_common::FileExists;

Z1Scene SmallScene() {
    Z1Scene s;
    s.hasScene = true;
    s.scene.fileName = "hut.max";
    Z1Material multi;
    multi.name = "hut";
    multi.className = "Multi/Sub-Object";
    multi.materialClass = Z1_CLASS_MULTI;
    Z1Material wood;
    wood.name = "wood";
    wood.className = "Standard";
    wood.materialClass = Z1_CLASS_STANDARD;
    wood.textured = true;
    wood.maps[0].present = wood.maps[0].hasBitmap = true;
    wood.maps[0].bitmapRaw = "C:\\hut\\wood.bmp";
    multi.submaterials = {wood};
    s.materials = {multi};
    Z1GeomObject o;
    o.name = "walls";
    o.material = 0;
    Z1Mesh m;
    for (int i = 0; i < 4; i++)
        m.vertices.push_back(VERTEX{static_cast<float>(i % 2), static_cast<float>(i / 2), 0, 0, 0, -1, 0, 0});
    m.indices = {0, 1, 2, 1, 3, 2};
    Z1MeshList list;
    list.meshes = {m};
    o.meshLists = {list};
    o.meshListWrapped = {false};
    s.objects = {o};
    Z1Light l;
    l.name = "lamp";
    l.desc.type = LIGHT_POINT;
    s.lights = {l};
    Z1Camera c;
    c.name = "view";
    s.cameras = {c};
    s.spawnPoints = {{"door", {1, 2, 3}}};
    s.hasBones = true;
    s.bones = {Z1Bone{"root", -1, {0, 0, 0}, {0, 0, 0}, 0}};
    return s;
}

class ModelTool : public ::testing::Test {
protected:
    TempDir dir;
};

TEST_F(ModelTool, InfoPrintsTheSummary) {
    ASSERT_TRUE(Z1WriteFile((dir / "z1/hut.z1").c_str(), SmallScene()));
    ToolRun r = Tool("model info z1/hut.z1", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* part :
         {"\"frames\": [", "{\"name\": \"walls\"",
          "{\"vertices\": 4, \"faces\": 2, \"texture\": \"textures\\\\hut\\\\wood.bmp\"}",
          "{\"name\": \"hut\", \"class\": \"Multi/Sub-Object\", \"kind\": \"Multi/Sub-Object\"",
          "{\"name\": \"wood\", \"class\": \"Standard\"",
          "\"lights\": [\n    {\"name\": \"lamp\", \"type\": \"point\"",
          "\"cameras\": [\n    {\"name\": \"view\"", "{\"name\": \"door\", \"position\": [1, 2, 3]}",
          "{\"name\": \"root\", \"parent\": -1", "\"box\": [[0, 0, 0], [1, 1, 0]]"})
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
}

TEST_F(ModelTool, RefusedAndBrokenFilesExitOne) {
    std::string bytes = ReadFile(dir / "missing");
    WriteFile(dir / "text.z1", std::string("\0\x8A\0\0", 4));
    ToolRun r = Tool("model info text.z1", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "z1tool: text.z1: Z1 ASCII format is for debugging only. Please use a binary export for the "
              "engine.\n");
    WriteFile(dir / "marker.z1", std::string("\x01\x8B\0\0", 4));
    r = Tool("model info marker.z1", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "z1tool: Not a valid Z1-file (marker.z1)\n");
    r = Tool("model info nothing.z1", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "z1tool: nothing.z1: no such file\n");
    r = Tool("model info", dir);
    EXPECT_EQ(r.status, 2);
    // Random bytes after a valid header still give a summary, never a crash.
    std::string noise = "\x01\x8A";
    for (int i = 0; i < 4000; i++) noise += static_cast<char>((i * 7919 + 13) % 251);
    WriteFile(dir / "noise.z1", noise);
    r = Tool("model info noise.z1", dir);
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(ModelTool, AnmInfo) {
    {
        DataFile f;
        ASSERT_TRUE(f.Open((dir / "anims/walk.anm").c_str(), true));
        f.WriteShort(10);
        f.WriteShort(1);
        for (int i = 0; i < 60; i++) f.WriteFloat(0.5f);
    }
    ToolRun r = Tool("anm info anims/walk.anm", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"frames\": 10,\n  \"bones\": 1,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"duration_ms\": 400"), std::string::npos) << r.out;
    // With its model: one bone fits, two do not.
    ASSERT_TRUE(Z1WriteFile((dir / "z1/hut.z1").c_str(), SmallScene()));
    r = Tool("anm info anims/walk.anm z1/hut.z1", dir);
    EXPECT_EQ(r.status, 0) << r.err;
    Z1Scene two = SmallScene();
    two.bones.push_back(Z1Bone{"arm", 0, {1, 0, 0}, {0, 0, 0}, 1});
    ASSERT_TRUE(Z1WriteFile((dir / "z1/two.z1").c_str(), two));
    r = Tool("anm info anims/walk.anm z1/two.z1", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(
        r.err,
        "z1tool: cannot load anims/walk.anm into animation because the animation does not fit the biped\n");
    WriteFile(dir / "anims/short.anm", std::string("\x0a\0\x01\0\0\0", 6));
    r = Tool("anm info anims/short.anm", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "z1tool: ERROR - ANM file anims/short.anm is too short\n");
}

const char* const kCorpus = "/usr/share/assimp/models/";

// Five formats and more, with textures (files and embedded), hierarchies,
// bones and morph targets among them.
const char* const kModels[] = {
    "OBJ/spider.obj",
    "OBJ/box.obj",
    "OBJ/WusonOBJ.obj",
    "3DS/test1.3ds",
    "3DS/cube_with_diffuse_texture.3DS",
    "3DS/cubes_with_alpha.3DS",
    "Collada/duck.dae",
    "Collada/teapots.DAE",
    "Collada/lights.dae",
    "Collada/cameras.dae",
    "glTF/BoxTextured-glTF/BoxTextured.gltf",
    "glTF/CesiumMilkTruck/CesiumMilkTruck.gltf",
    "glTF2/glTF-Sample-Models/AnimatedMorphCube-glTF/AnimatedMorphCube.gltf",
    "FBX/animation_with_skeleton.fbx",
    "FBX/embedded_ascii/box.FBX",
    "X/BCN_Epileptic.X",
    "X/Testwuson.X",
    "PLY/cube_uv.ply",
    "STL/Spider_binary.stl",
    "MS3D/jeep1.ms3d",
    "SMD/holy_grailref.smd",
    "LWO/LWO2/boxuv.lwo",
    "ASE/ThreeCubesGreen_UTF16LE.ASE",
    "AC/SphereWithLight.ac",
    "BLEND/CubeHierarchy_248.blend",
    "MD5/SimpleCube.md5mesh",
    "NFF/NFF/spheres.nff",
};

TEST_F(ModelTool, ImportsTheTestModelsWhichLoadAndDraw) {
    if (!FileExists(std::string(kCorpus) + "OBJ/spider.obj"))
        GTEST_SKIP() << "assimp-testmodels is not installed";
    int textures = 0, bones = 0, morphs = 0, imported = 0;
    std::set<std::string> formats;
    for (const char* model : kModels) {
        std::string name = std::string("m") + std::to_string(imported) + ".z1";
        ToolRun r = Tool(std::string("model import '") + kCorpus + model + "' z1/" + name, dir);
        ASSERT_EQ(r.status, 0) << model << ": " << r.err;
        imported++;
        std::string ext = model;
        formats.insert(ext.substr(ext.find_last_of('.') + 1));

        LogCapture log(dir / "log.txt");
        RecordingDriver driver;
        ScopedDriver scoped(&driver);
        Z1Model m;
        ASSERT_TRUE(m.Load(name.c_str())) << model;
        ASSERT_GT(m.SubMeshCount(), 0) << model;
        driver.BeginScene();
        ASSERT_TRUE(m.Draw(nullptr, VECTOR{0, 0, 0})) << model;
        EXPECT_GT(driver.CountCalls("DrawIndexedList(VERTEX"), 0) << model;
        std::string text = log.Text();
        EXPECT_EQ(text.find("ERROR"), std::string::npos) << model << "\n" << text;
        EXPECT_EQ(text.find("Error"), std::string::npos) << model << "\n" << text;
        // Every texture the model registers was written as a bitmap.
        for (const auto& t : driver.generated) {
            std::string path = t.first;
            for (char& c : path)
                if (c == '\\') c = '/';
            EXPECT_TRUE(FileExists(dir / path)) << model << ": " << path;
            EXPECT_EQ(ReadFile(dir / path).substr(0, 2), "BM");
            textures++;
        }
        if (m.skeleton) bones++;
        for (ModelFrame* f : m.frames)
            for (Z1SubMesh* s : f->submeshes) morphs += static_cast<int>(s->morphTargets.size());
        // Indices stay inside their vertex arrays.
        for (ModelFrame* f : m.frames)
            for (Z1SubMesh* s : f->submeshes)
                for (int i = 0; i < s->faceCount * 3; i++) ASSERT_LT(s->indices[i], s->vertexCount) << model;
    }
    EXPECT_GE(imported, 20);
    EXPECT_GE(formats.size(), 5u);
    EXPECT_GT(textures, 5);
    EXPECT_GT(bones, 2);
    EXPECT_GT(morphs, 0);
}

TEST_F(ModelTool, ImportKeepsAxesWindingAndMaterials) {
    if (!FileExists(std::string(kCorpus) + "OBJ/box.obj"))
        GTEST_SKIP() << "assimp-testmodels is not installed";
    ToolRun r = Tool(std::string("model import ") + kCorpus + "OBJ/box.obj z1/box.z1", dir);
    ASSERT_EQ(r.status, 0) << r.err;
    Z1Scene s;
    ASSERT_EQ(Z1ReadPath((dir / "z1/box.z1").c_str(), s), Z1_READ_OK);
    ASSERT_EQ(s.materials.size(), 1u);
    EXPECT_EQ(s.materials[0].materialClass, Z1_CLASS_MULTI);
    // A closed box: every face's normal (clockwise, as the engine culls)
    // points away from the centre.
    int faces = 0;
    for (const Z1GeomObject& o : s.objects)
        for (const Z1MeshList& l : o.meshLists)
            for (const Z1Mesh& m : l.meshes)
                for (size_t i = 0; i + 2 < m.indices.size(); i += 3) {
                    const VERTEX& a = m.vertices[m.indices[i]];
                    const VERTEX& b = m.vertices[m.indices[i + 1]];
                    const VERTEX& c = m.vertices[m.indices[i + 2]];
                    VECTOR e1{b.x - a.x, b.y - a.y, b.z - a.z}, e2{c.x - a.x, c.y - a.y, c.z - a.z};
                    // Clockwise seen from outside in a left-handed frame: e1 x e2 points out.
                    VECTOR n = VectorCross(e1, e2);
                    VECTOR centre{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
                    EXPECT_GT(VectorDot(n, centre), 0.0f);
                    EXPECT_GT(VectorDot(VECTOR{a.nx, a.ny, a.nz}, centre), 0.0f);
                    faces++;
                }
    EXPECT_EQ(faces, 12);
}

TEST_F(ModelTool, BrokenSourcesExitOneWithAMessage) {
    if (!FileExists(std::string(kCorpus) + "invalid/empty.obj"))
        GTEST_SKIP() << "assimp-testmodels is not installed";
    for (const char* bad : {"invalid/empty.obj", "invalid/malformed.obj", "invalid/empty.3ds",
                            "invalid/OutOfMemory.off", "invalid/empty.x", "glTF2/wrongTypes/badUint.gltf"}) {
        ToolRun r = Tool(std::string("model import '") + kCorpus + bad + "' z1/bad.z1", dir);
        EXPECT_EQ(r.status, 1) << bad << ": " << r.err;
        EXPECT_EQ(r.err.rfind("z1tool: ", 0), 0u) << bad << ": " << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << bad << ": " << r.err;
    }
    ToolRun r = Tool("model import nowhere.obj z1/x.z1", dir);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "z1tool: nowhere.obj: no such file\n");
}

}  // namespace
