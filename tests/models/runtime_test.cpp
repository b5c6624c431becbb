// The model runtime through a recording driver: what is drawn, in which
// order and with which state, and how the vertices move.
#include <gtest/gtest.h>

#include <cmath>

#include "animation/animtrack.h"
#include "animation/biped.h"
#include "common/recording_driver.h"
#include "culling/cplane.h"
#include "culling/quadtree.h"
#include "model_helpers.h"
#include "models/z1model/z1model.h"
#include "utility/clock.h"
#include "utility/datafile.h"

namespace {

using model_test::LogCapture;
using model_test::TempDir;
using model_test::WriteFile;

// A triangle at x offset `x` in the plane z = `z`, normals towards -z.
Z1Mesh Triangle(float x, float z, int16_t sub = 0) {
    Z1Mesh m;
    m.submaterial = sub;
    for (int i = 0; i < 3; i++) {
        VERTEX v{x + (i == 1 ? 1.0f : 0.0f), i == 2 ? 1.0f : 0.0f, z, 0, 0, -1, 0.25f * i, 0.5f};
        m.vertices.push_back(v);
    }
    m.indices = {0, 1, 2};
    return m;
}

Z1Material Plain(const char* name) {
    Z1Material m;
    m.name = name;
    m.className = "Standard";
    m.materialClass = Z1_CLASS_STANDARD;
    m.color1[0] = 0.5f;
    m.color2[1] = 0.25f;
    return m;
}

Z1Material Textured(const char* name, const char* bmp) {
    Z1Material m = Plain(name);
    m.textured = m.white = true;
    m.maps[Z1_SLOT_TEXTURE].present = m.maps[Z1_SLOT_TEXTURE].hasBitmap = true;
    m.maps[Z1_SLOT_TEXTURE].bitmapRaw = std::string("C:\\") + bmp;
    return m;
}

Z1Material Glass(const char* name) {
    Z1Material m = Textured(name, "glass.bmp");
    m.maps[Z1_SLOT_OPACITY].present = m.maps[Z1_SLOT_OPACITY].hasBitmap = true;
    m.maps[Z1_SLOT_OPACITY].bitmapRaw = "C:\\glass_a.bmp";
    return m;
}

Z1GeomObject Object(const char* name, int16_t material, std::vector<Z1Mesh> meshes,
                    VECTOR pivot = {0, 0, 0}) {
    Z1GeomObject o;
    o.name = name;
    o.material = material;
    o.hasTransform = true;
    o.transform.name = name;
    o.transform.pivot = pivot;
    Z1MeshList list;
    list.meshes = std::move(meshes);
    o.meshLists.push_back(list);
    o.meshListWrapped.push_back(false);
    return o;
}

class ModelRuntime : public ::testing::Test {
protected:
    TempDir dir;
    LogCapture log{dir / "log.txt"};
    RecordingDriver driver;
    ScopedDriver scoped{&driver};

    void SetUp() override {
        UseFixedClock(250, 1000);
        g_alpha_list = nullptr;
    }
    void TearDown() override {
        UseRealTimeClock();
        g_alpha_list = nullptr;
    }

    // Writes the scene through the writer and loads it as the engine does.
    void Load(Z1Model& model, const Z1Scene& s, const char* name = "m.z1") {
        ASSERT_TRUE(Z1WriteFile((dir / (std::string("z1/") + name)).c_str(), s));
        ASSERT_TRUE(model.Load(name));
    }

    std::vector<const DrawRecord*> Draws() const { return driver.DrawsOf(VertexFormat::kVertex); }
};

TEST_F(ModelRuntime, OpaqueNowTransparentLastFarthestFirst) {
    Z1Scene s;
    s.materials = {Plain("stone"), Glass("glass")};
    s.objects.push_back(Object("near", 1, {Triangle(10, 10)}, VECTOR{0, 0, 10}));
    s.objects.push_back(Object("wall", 0, {Triangle(0, 5)}));
    s.objects.push_back(Object("far", 1, {Triangle(50, 50)}, VECTOR{0, 0, 50}));
    s.objects.push_back(Object("middle", 1, {Triangle(30, 30)}, VECTOR{0, 0, 30}));
    Z1Model model;
    Load(model, s);
    EXPECT_EQ(driver.CountCalls("GenerateTexture("), 1);  // one texture, however many pieces use it
    EXPECT_GE(driver.FindCall("GenerateTexture(textures\\glass.bmp,textures\\glass_a.bmp)"), 0);

    // The world's list: transparent pieces wait for the alpha pass.
    AlphaList list(10);
    g_alpha_list = &list;
    ASSERT_TRUE(model.Draw(nullptr, VECTOR{1, 2, 3}));
    ASSERT_EQ(Draws().size(), 1u);
    EXPECT_FLOAT_EQ(Draws()[0]->vertex[0].z, 5.0f);
    ASSERT_EQ(list.count, 3);
    EXPECT_EQ(list.items[0].position, (VECTOR{1, 2, 3}));
    EXPECT_EQ(list.items[0].centre, (VECTOR{0, 0, 10}));

    // While the driver's first private flag is set, opaque pieces wait too.
    driver.privateFlags[0] = 1;
    model.Draw(nullptr, VECTOR{1, 2, 3});
    EXPECT_EQ(list.count, 7);
    EXPECT_EQ(Draws().size(), 1u);
    driver.privateFlags[0] = 0;
    list.count = 3;

    driver.ResetLog();
    list.Render();
    auto draws = Draws();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_FLOAT_EQ(draws[0]->vertex[0].z, 50.0f);
    EXPECT_FLOAT_EQ(draws[1]->vertex[0].z, 30.0f);
    EXPECT_FLOAT_EQ(draws[2]->vertex[0].z, 10.0f);
    for (const DrawRecord* d : draws) {
        EXPECT_TRUE(d->alphaBlending);
        EXPECT_EQ(d->alpha_test_mode, ALPHATEST_NONZERO);  // not binary alpha
        EXPECT_EQ(d->texture, "textures\\glass.bmp");
    }
    EXPECT_EQ(driver.alpha_test_mode, ALPHATEST_OFF);
    EXPECT_FALSE(driver.alphaBlending);

    // With a view that turns round, the order turns round too.
    MATRIX view;
    MatrixRotationY(view, 3.14159265f);
    driver.SetViewMatrix(&view);
    driver.ResetLog();
    list.Render();
    draws = Draws();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_FLOAT_EQ(draws[0]->vertex[0].z, 10.0f);
    EXPECT_FLOAT_EQ(draws[2]->vertex[0].z, 50.0f);
}

TEST_F(ModelRuntime, ModelOnItsOwnDrawsThroughAPrivateList) {
    Z1Scene s;
    s.materials = {Plain("stone"), Glass("glass")};
    s.objects.push_back(Object("near", 1, {Triangle(10, 10)}, VECTOR{0, 0, 10}));
    s.objects.push_back(Object("far", 1, {Triangle(50, 50)}, VECTOR{0, 0, 50}));
    s.objects.push_back(Object("wall", 0, {Triangle(0, 5)}));
    Z1Model model;
    Load(model, s);
    driver.binary_alpha_textures.insert("textures\\glass.bmp");
    ASSERT_TRUE(model.Draw(nullptr, VECTOR{0, 0, 0}));
    auto draws = Draws();
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_FLOAT_EQ(draws[0]->vertex[0].z, 5.0f);
    EXPECT_FLOAT_EQ(draws[1]->vertex[0].z, 50.0f);
    EXPECT_FLOAT_EQ(draws[2]->vertex[0].z, 10.0f);
    EXPECT_EQ(draws[1]->alpha_test_mode, ALPHATEST_OPAQUE);  // binary alpha: tested, not blended by coverage
    // The binary-alpha question is asked once per piece.
    EXPECT_EQ(driver.CountCalls("TextureHasBinaryAlpha("), 2);
    model.Draw(nullptr, VECTOR{0, 0, 0});
    EXPECT_EQ(driver.CountCalls("TextureHasBinaryAlpha("), 2);
}

TEST_F(ModelRuntime, AlphaListOverflowsAt2500) {
    log.settings().tuningC = 2500;
    Z1Scene s;
    s.materials = {Glass("glass")};
    s.objects.push_back(Object("pane", 0, {Triangle(0, 1)}));
    Z1Model model;
    Load(model, s);
    AlphaList list;
    EXPECT_EQ(list.capacity, 2500);
    g_alpha_list = &list;
    for (int i = 0; i < 2500; i++) model.Draw(nullptr, VECTOR{0, 0, 0});
    EXPECT_EQ(list.count, 2500);
    EXPECT_FALSE(log.Has("overflow"));
    model.Draw(nullptr, VECTOR{0, 0, 0});
    EXPECT_EQ(list.count, 2500);
    EXPECT_EQ(log.Count("ERROR - overflow in alpha list... alpha item omitted...\n"), 1);
    driver.ResetLog();
    list.Render();
    EXPECT_EQ(Draws().size(), 2500u);
    list.Reset();
    EXPECT_TRUE(list.Queue(model.frames[0]->submeshes[0], VECTOR{0, 0, 0}, nullptr, 0, nullptr));
}

TEST_F(ModelRuntime, IndoorItemsAndAdditivePieces) {
    Z1Scene s;
    Z1Material glow = Glass("glow");
    glow.selfIllumination = 1.0f;
    s.materials = {glow};
    s.objects.push_back(Object("pane", 0, {Triangle(0, 1)}));
    Z1Model model;
    Load(model, s);
    AlphaList list(4);
    list.restoreAmbient = 0xFF102030;
    list.restoreFog = 0xFF405060;
    g_alpha_list = &list;
    driver.worldFlag = 1;
    model.Draw(nullptr, VECTOR{0, 0, 0});
    driver.worldFlag = 0;
    driver.ResetLog();
    list.Render();
    int ambient = driver.FindCall("SetAmbientColor(FF181638)");
    ASSERT_GE(ambient, 0);
    EXPECT_GE(driver.FindCall("SetFogColor(FF181638)"), 0);
    EXPECT_GE(driver.FindCall("EnableLight(0,0)"), 0);
    int restore = driver.FindCall("SetAmbientColor(FF102030)", ambient);
    EXPECT_GT(restore, ambient);
    EXPECT_GE(driver.FindCall("SetFogColor(FF405060)", ambient), 0);
    EXPECT_GE(driver.FindCall("EnableLight(0,1)", ambient), 0);
    ASSERT_EQ(Draws().size(), 1u);
    EXPECT_EQ(Draws()[0]->blend_mode, BLEND_ADDITIVE);
    EXPECT_FALSE(Draws()[0]->lighting);
    EXPECT_EQ(driver.blend_mode, BLEND_ALPHA);
}

TEST_F(ModelRuntime, TextureScrolling) {
    Z1Scene s;
    Z1Material water = Textured("water", "water.bmp");
    s.materials = {water, Textured("still", "still.bmp")};
    s.objects.push_back(Object("river", 0, {Triangle(0, 1)}));
    s.objects.push_back(Object("pond", 1, {Triangle(0, 2)}));
    ASSERT_TRUE(Z1WriteFile((dir / "z1/river.z1").c_str(), s));
    // One full repeat in U every two seconds; V period 0 keeps V still.
    WriteFile(dir / "z1/river.ex",
              "*MATERIAL \"water\" {\n*MATERIAL_U_ANIMATION 2000\n*MATERIAL_V_ANIMATION 0\n}\n"
              "*MATERIAL \"still\" { }\n");
    Z1Model model;
    ASSERT_TRUE(model.Load("river.z1"));
    model.Draw(nullptr, VECTOR{0, 0, 0});  // the first draw only stores the time
    ASSERT_EQ(Draws().size(), 2u);
    EXPECT_FLOAT_EQ(Draws()[0]->vertex[1].tu, 0.25f);
    for (int i = 0; i < 4; i++) AdvanceFixedClock();  // 1000 ms
    driver.ResetLog();
    model.Draw(nullptr, VECTOR{0, 0, 0});
    EXPECT_FLOAT_EQ(Draws()[0]->vertex[1].tu, 0.75f);
    EXPECT_FLOAT_EQ(Draws()[0]->vertex[1].tv, 0.5f);
    EXPECT_FLOAT_EQ(Draws()[1]->vertex[1].tu, 0.25f);  // scrolling flag, both periods 0
    for (int i = 0; i < 4; i++) AdvanceFixedClock();
    driver.ResetLog();
    model.Draw(nullptr, VECTOR{0, 0, 0});
    EXPECT_FLOAT_EQ(Draws()[0]->vertex[1].tu, 1.25f);
    EXPECT_FLOAT_EQ(Draws()[0]->vertex[0].tu, 1.0f);
}

TEST_F(ModelRuntime, EnvironmentMapCoordinates) {
    Z1Scene s;
    Z1Material chrome = Plain("chrome");
    chrome.textured = true;
    chrome.maps[Z1_SLOT_ENVIRONMENT].present = chrome.maps[Z1_SLOT_ENVIRONMENT].hasBitmap = true;
    chrome.maps[Z1_SLOT_ENVIRONMENT].bitmapRaw = "C:\\sky.bmp";
    s.materials = {chrome};
    Z1Mesh m = Triangle(0, 0);
    m.vertices[0].nx = 0, m.vertices[0].ny = 0, m.vertices[0].nz = -1;  // towards the camera
    m.vertices[1].nx = 0.6f, m.vertices[1].ny = 0, m.vertices[1].nz = -0.8f;
    m.vertices[2].nx = 0, m.vertices[2].ny = 0, m.vertices[2].nz = 1;  // facing away
    s.objects.push_back(Object("ball", 0, {m}));
    Z1Model model;
    Load(model, s);
    EXPECT_GE(driver.FindCall("GenerateTexture(textures\\sky.bmp,null)"), 0);
    model.Draw(nullptr, VECTOR{0, 0, 0});
    ASSERT_EQ(Draws().size(), 1u);
    const DrawRecord* d = Draws()[0];
    EXPECT_EQ(d->texture, "textures\\sky.bmp");
    EXPECT_FLOAT_EQ(d->vertex[0].tu, 0.5f);
    EXPECT_FLOAT_EQ(d->vertex[0].tv, 0.5f);
    EXPECT_FLOAT_EQ(d->vertex[1].tu, 0.8f);
    EXPECT_FLOAT_EQ(d->vertex[1].tv, 0.5f);
    EXPECT_FLOAT_EQ(d->vertex[2].tu, 0.5f);  // kept from the file
    EXPECT_FLOAT_EQ(d->vertex[2].tv, 0.5f);
    // Under a world matrix turned half round, the far normal faces the camera.
    MATRIX world;
    MatrixRotationY(world, 3.14159265f);
    driver.SetWorldMatrix(&world);
    driver.ResetLog();
    model.Draw(nullptr, VECTOR{0, 0, 0});
    EXPECT_NEAR(Draws()[0]->vertex[2].tu, 0.5f, 1e-5f);
    EXPECT_NEAR(Draws()[0]->vertex[2].tv, 0.5f, 1e-5f);
    EXPECT_FLOAT_EQ(Draws()[0]->vertex[1].tu, 0.8f);  // now facing away: kept
}

TEST_F(ModelRuntime, MorphWeightsDoNotPileUp) {
    Z1Scene s;
    s.materials = {Plain("skin")};
    Z1Mesh m = Triangle(0, 0);
    Z1MorphTarget blink, smile;
    blink.entries = {{1, VECTOR{0, 2, 0}}};
    smile.entries = {{1, VECTOR{4, 0, 0}}, {2, VECTOR{0, 0, 8}}};
    m.morphTargets = {blink, smile};
    s.objects.push_back(Object("face", 0, {m}));
    Z1Model model;
    Load(model, s);
    EXPECT_TRUE(log.Has("transferring 2 morph targets\n"));
    float weights[kMorphWeights] = {0.5f, 0.25f};
    for (int pass = 0; pass < 3; pass++) {
        driver.ResetLog();
        model.Draw(nullptr, VECTOR{0, 0, 0}, weights);
        const DrawRecord* d = Draws()[0];
        EXPECT_FLOAT_EQ(d->vertex[1].x, 1.0f + 1.0f);
        EXPECT_FLOAT_EQ(d->vertex[1].y, 1.0f);
        EXPECT_FLOAT_EQ(d->vertex[2].z, 2.0f);
        EXPECT_FLOAT_EQ(d->vertex[0].x, 0.0f);
    }
    float none[kMorphWeights] = {};
    driver.ResetLog();
    model.Draw(nullptr, VECTOR{0, 0, 0}, none);
    EXPECT_FLOAT_EQ(Draws()[0]->vertex[1].x, 1.0f);
    EXPECT_FLOAT_EQ(Draws()[0]->vertex[2].z, 0.0f);
}

void WriteAnm(const std::string& path, int frames, int bones, const std::vector<float>& values) {
    DataFile f;
    ASSERT_TRUE(f.Open(path.c_str(), true));
    f.WriteShort(static_cast<int16_t>(frames));
    f.WriteShort(static_cast<int16_t>(bones));
    for (float v : values) f.WriteFloat(v);
    f.Close();
}

Z1Scene SkinnedArm() {
    Z1Scene s;
    s.materials = {Plain("skin")};
    Z1Mesh m = Triangle(0, 0);
    // Vertex 0 hangs one unit above the arm's joint, vertex 2 is unbound.
    m.vertices[0].x = 10, m.vertices[0].y = 1, m.vertices[0].z = 0;
    m.vertices[0].nx = 0, m.vertices[0].ny = 1, m.vertices[0].nz = 0;
    m.bones = {1, 0, -1};
    s.objects.push_back(Object("body", 0, {m}));
    s.hasBones = true;
    s.bones = {Z1Bone{"root", -1, {0, 0, 0}, {0, 0, 0}, 0}, Z1Bone{"arm", 0, {10, 0, 0}, {0, 0, 0}, 10}};
    return s;
}

TEST_F(ModelRuntime, SkinningFromTheBonePose) {
    // Frame 0: the arm bone turned a quarter round z; frame 1: straight.
    const float q = 1.5707964f;
    WriteAnm(dir / "anims/arm.anm", 2, 2, {0, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, q,  //
                                           0, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0});
    Z1Model model;
    Load(model, SkinnedArm(), "arm.z1");
    ASSERT_NE(model.skeleton, nullptr);
    EXPECT_EQ(model.skeleton->frameCount, 2);
    EXPECT_TRUE(model.skeleton->playing);
    driver.BeginScene();
    model.Draw(nullptr, VECTOR{0, 0, 0});
    const DrawRecord* d = Draws()[0];
    // (0, 1, 0) in the arm's space, turned by z a quarter: (-1, 0, 0), at the joint (10, 0, 0).
    EXPECT_NEAR(d->vertex[0].x, 9.0f, 1e-5f);
    EXPECT_NEAR(d->vertex[0].y, 0.0f, 1e-5f);
    EXPECT_NEAR(d->vertex[0].nx, -1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(d->vertex[2].x, 0.0f);  // unbound: as loaded
    EXPECT_FLOAT_EQ(d->vertex[2].y, 1.0f);
    // Halfway to frame 1 (20 ms of 40): the rotation is interpolated on the sphere.
    for (int i = 0; i < 2; i++) model.skeleton->startTime -= 10;
    driver.BeginScene();
    driver.ResetLog();
    model.Draw(nullptr, VECTOR{0, 0, 0});
    d = Draws()[0];
    EXPECT_NEAR(d->vertex[0].x, 10.0f - std::sqrt(0.5f), 1e-4f);
    EXPECT_NEAR(d->vertex[0].y, std::sqrt(0.5f), 1e-4f);
    // Once per driver frame: a second draw in the same frame poses nothing new.
    model.skeleton->startTime -= 20;
    driver.ResetLog();
    model.Draw(nullptr, VECTOR{0, 0, 0});
    EXPECT_NEAR(Draws()[0]->vertex[0].x, 10.0f - std::sqrt(0.5f), 1e-4f);
}

TEST_F(ModelRuntime, AnimationThatDoesNotFitKeepsTheBindPose) {
    WriteAnm(dir / "anims/arm.anm", 1, 3, std::vector<float>(18, 1.0f));
    Z1Model model;
    Load(model, SkinnedArm(), "arm.z1");
    EXPECT_TRUE(
        log.Has("cannot load anims\\arm.anm into animation because the animation does not fit the biped\n"));
    EXPECT_TRUE(log.Has("Cannot start animation because none is loaded\n"));
    driver.BeginScene();
    model.Draw(nullptr, VECTOR{0, 0, 0});
    EXPECT_NEAR(Draws()[0]->vertex[0].x, 10.0f, 1e-5f);
    EXPECT_NEAR(Draws()[0]->vertex[0].y, 1.0f, 1e-5f);
}

TEST_F(ModelRuntime, GeometryTracksHoldTheirFirstKeyUnlessTheExtraSettingsPlayThem) {
    Z1Scene s;
    s.hasScene = true;
    s.scene.frameSpeed = 25;
    s.scene.ticksPerFrame = 160;
    s.scene.lastFrame = 10;
    s.materials = {Plain("wood")};
    Z1GeomObject door = Object("door", 0, {Triangle(0, 0)}, VECTOR{1, 2, 3});
    Z1Animation a;
    a.nodeName = "door";
    a.posLinear = {Z1PosKey{0, {11, 22, 33}, {}, {}}, Z1PosKey{1600, {0, 0, 0}, {}, {}}};
    door.animations.push_back(a);
    s.objects.push_back(door);
    for (bool play : {false, true}) {
        SCOPED_TRACE(play ? "played" : "held");
        const char* name = play ? "played.z1" : "held.z1";
        if (play) WriteFile(dir / "z1/played.ex", "*PLAY_NODE_ANIMATION\n");
        Z1Model model;
        Load(model, s, name);
        ASSERT_NE(model.frames[0]->track, nullptr);
        EXPECT_EQ(model.frames[0]->track->playing, play ? 1 : 0);
        // First the first key: (11, 22, 33) - (1, 2, 3) with y and z exchanged.
        // A quarter second on (1000 of the 1600 ticks), a played track has
        // come 5/8 of the way to the origin.
        const VECTOR expected[2] = {{10, 30, 20}, play ? VECTOR{3.125f, 9.375f, 6.25f} : VECTOR{10, 30, 20}};
        for (int pass = 0; pass < 2; pass++) {
            driver.ResetLog();
            model.Draw(nullptr, VECTOR{0, 0, 0});
            const MATRIX& w = Draws()[0]->world;
            EXPECT_NEAR(w[12], expected[pass].x, 1e-4f);
            EXPECT_NEAR(w[13], expected[pass].y, 1e-4f);
            EXPECT_NEAR(w[14], expected[pass].z, 1e-4f);
            AdvanceFixedClock();
        }
        // The world matrix is put back after the frame.
        EXPECT_FLOAT_EQ(driver.world[12], 0.0f);
    }
    EXPECT_TRUE(log.Has("Animation door is playing frame 0 to 0\n"));
}

TEST_F(ModelRuntime, AnimatedLightsPlayAtOnceAndLoop) {
    Z1Scene s;
    s.hasScene = true;
    s.scene.frameSpeed = 25;
    s.scene.ticksPerFrame = 160;
    s.scene.lastFrame = 10;
    Z1Light still, torch;
    still.name = "still";
    torch.name = "torch";
    Z1Animation a;
    a.nodeName = "torch";
    a.posLinear = {Z1PosKey{0, {0, 0, 0}, {}, {}}, Z1PosKey{1600, {0, 0, 40}, {}, {}}};
    torch.animations.push_back(a);
    s.lights = {still, torch};
    Z1Model model;
    Load(model, s);
    ASSERT_EQ(model.lightTracks.size(), 2u);
    EXPECT_EQ(model.lightTracks[0], nullptr);
    AnimTrack* t = model.lightTracks[1];
    ASSERT_NE(t, nullptr);
    EXPECT_TRUE(t->playing);
    EXPECT_TRUE(t->looping);
    EXPECT_EQ(t->endTick, 1600);
    EXPECT_TRUE(log.Has("Animation torch is playing frame 0 to 0\nis looping..\n"));
    VECTOR p;
    t->EvaluatePosition(p);
    for (int i = 0; i < 3; i++) AdvanceFixedClock();  // 750 ms: 3000 ticks, once round and 1400 on
    t->EvaluatePosition(p);
    EXPECT_TRUE(t->playing);
    EXPECT_NEAR(p.y, 40.0f * 1400.0f / 1600.0f, 1e-3f);
}

TEST_F(ModelRuntime, FrustumCullsFramesAndSubframes) {
    Z1Scene s;
    s.materials = {Plain("wood")};
    Z1GeomObject inside = Object("inside", 0, {Triangle(0, 0)});
    Z1GeomObject outside = Object("outside", 0, {Triangle(5, 0)});
    Z1GeomObject child = Object("child", 0, {Triangle(6, 0)});
    child.parent = "outside";
    s.objects = {inside, outside, child};
    Z1Model model;
    Load(model, s);
    ASSERT_EQ(model.topFrames.size(), 2u);
    ASSERT_EQ(model.topFrames[1]->children.size(), 1u);
    EXPECT_FLOAT_EQ(model.topFrames[1]->box[3], 7.0f);  // widened by its child
    EXPECT_FLOAT_EQ(model.box[3], 7.0f);
    CPlane frustum;
    MATRIX identity;
    MatrixIdentity(identity);
    frustum.SetFromMatrix(identity);  // the cube [-1, 1] on every axis
    MATRIX shift;
    MatrixTranslation(shift, -0.5f, 0, 0);
    frustum.SetObjectMatrix(shift);
    model.Draw(&frustum, VECTOR{0, 0, 0});
    EXPECT_EQ(Draws().size(), 1u);
    EXPECT_EQ(model.topFrames[0]->visible, 1);
    EXPECT_EQ(model.topFrames[1]->visible, 0);
    // The caller's object matrix is back.
    EXPECT_FLOAT_EQ(frustum.objectMatrix[12], -0.5f);
}

TEST_F(ModelRuntime, MaterialStateAroundTheDraw) {
    Z1Scene s;
    Z1Material cloth = Textured("cloth", "cloth.bmp");
    cloth.twoSided = true;
    cloth.maps[Z1_SLOT_TEXTURE].wrapU = 0;
    s.materials = {cloth, Plain("paint")};
    s.objects.push_back(Object("flag", 0, {Triangle(0, 0)}));
    s.objects.push_back(Object("post", 1, {Triangle(0, 1)}));
    Z1Model model;
    Load(model, s);
    model.Draw(nullptr, VECTOR{0, 0, 0});
    auto draws = Draws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[0]->cull_mode, CULL_NONE);
    EXPECT_EQ(draws[0]->texture, "textures\\cloth.bmp");
    EXPECT_TRUE(draws[0]->lighting);
    EXPECT_EQ(draws[1]->cull_mode, CULL_CCW);
    EXPECT_EQ(driver.FindCall("SetTextureWrapU(0)") < driver.FindCall("SetTextureWrapU(1)"), true);
    EXPECT_TRUE(driver.wrapU);
    // Texture maps make the colours white; plain ones keep theirs.
    EXPECT_FLOAT_EQ(model.frames[0]->submeshes[0]->colors[0][1], 1.0f);
    EXPECT_FLOAT_EQ(model.frames[1]->submeshes[0]->colors[0][0], 0.5f);
    EXPECT_FLOAT_EQ(model.frames[1]->submeshes[0]->colors[1][1], 0.25f);
    EXPECT_FLOAT_EQ(driver.material.diffuse[0], 0.5f);

    // Full shading off: unlit and untextured.
    log.settings().fullShading = 0;
    driver.ResetLog();
    model.Draw(nullptr, VECTOR{0, 0, 0});
    for (const DrawRecord* d : Draws()) {
        EXPECT_FALSE(d->lighting);
        EXPECT_EQ(d->texture, "");
    }
    EXPECT_TRUE(driver.lighting);
}

TEST_F(ModelRuntime, MissingModelSpawnPointsAndTextureSwap) {
    Z1Model missing;
    EXPECT_FALSE(missing.Load("absent.z1"));
    EXPECT_TRUE(log.Has("error loading z1 file absent.z1\n"));
    EXPECT_FALSE(missing.Draw(nullptr, VECTOR{0, 0, 0}));
    EXPECT_FALSE(missing.Draw(nullptr, VECTOR{0, 0, 0}));
    EXPECT_EQ(log.Count("no such model 'absent.z1'\n"), 2);

    Z1Scene s;
    s.materials = {Textured("glass", "base_windows\\window03a.bmp")};
    s.objects.push_back(Object("house", 0, {Triangle(0, 0)}));
    s.spawnPoints = {{"door", {1, 2, 3}}, {"door", {4, 5, 6}}};
    Z1Model model;
    Load(model, s);
    VECTOR p{0, 0, 0};
    EXPECT_TRUE(model.FindSpawnPoint("door", p));
    EXPECT_EQ(p, (VECTOR{4, 5, 6}));
    EXPECT_FALSE(model.FindSpawnPoint("chimney", p));
    EXPECT_TRUE(log.Has("Error - could not find spawnpoint chimney\n"));

    // Night: the lit window, drawn unlit; day: back to the material.
    EXPECT_TRUE(model.SwapTexture("TEXTURES\\base_windows\\window03a.bmp",
                                  "textures\\base_windows\\window03c.bmp", true));
    driver.ResetLog();
    model.Draw(nullptr, VECTOR{0, 0, 0});
    EXPECT_EQ(Draws()[0]->texture, "textures\\base_windows\\window03c.bmp");
    EXPECT_FALSE(Draws()[0]->lighting);
    EXPECT_TRUE(model.SwapTexture("textures\\base_windows\\window03c.bmp",
                                  "textures\\base_windows\\window03a.bmp", false));
    EXPECT_FALSE(model.SwapTexture("textures\\nothing.bmp", "textures\\x.bmp", true));
    driver.ResetLog();
    model.Draw(nullptr, VECTOR{0, 0, 0});
    EXPECT_EQ(Draws()[0]->texture, "textures\\base_windows\\window03a.bmp");
    EXPECT_TRUE(Draws()[0]->lighting);
    // Each texture is handed to the driver once: the loaded one never again.
    EXPECT_TRUE(model.SwapTexture("textures\\base_windows\\window03a.bmp",
                                  "textures\\base_windows\\window03c.bmp", true));
    auto generated = [this](const char* name) {
        int n = 0;
        for (const auto& g : driver.generated) n += g.first == name;
        return n;
    };
    EXPECT_EQ(generated("textures\\base_windows\\window03c.bmp"), 1);
    EXPECT_EQ(generated("textures\\base_windows\\window03a.bmp"), 1);
}

// --- node tracks ---------------------------------------------------------------

AnimTrack LinearTrack() {
    AnimTrack t(25, 160, 10);  // 40 ms a frame, 1600 ticks to the end
    t.nodeName = "door";
    t.AddPositionKey(AnimPosKey{ANIMKEY_POS_LINEAR, 0, {0, 0, 0}, {}, {}});
    t.AddPositionKey(AnimPosKey{ANIMKEY_POS_LINEAR, 1600, {10, 0, 20}, {}, {}});
    return t;
}

class NodeTrack : public ::testing::Test {
protected:
    TempDir dir;
    LogCapture log{dir / "log.txt"};
    void SetUp() override { UseFixedClock(100, 5000); }
    void TearDown() override { UseRealTimeClock(); }
};

TEST_F(NodeTrack, PlaysInterpolatesAndHolds) {
    AnimTrack t = LinearTrack();
    VECTOR p;
    ASSERT_TRUE(t.EvaluatePosition(p));
    EXPECT_EQ(p, (VECTOR{0, 0, 0}));  // not playing: the first key
    t.Play(0, 0, false);
    EXPECT_TRUE(log.Has("Animation door is playing frame 0 to 0\nis NOT looping\n"));
    EXPECT_EQ(t.endTick, 1600);
    t.EvaluatePosition(p);  // starts the clock
    AdvanceFixedClock();
    AdvanceFixedClock();  // 200 ms: tick 800
    t.EvaluatePosition(p);
    EXPECT_FLOAT_EQ(p.x, 5.0f);
    EXPECT_FLOAT_EQ(p.y, 10.0f);  // file z comes out as y
    EXPECT_FLOAT_EQ(p.z, 0.0f);
    for (int i = 0; i < 3; i++) AdvanceFixedClock();  // 500 ms: past the end
    t.EvaluatePosition(p);
    EXPECT_EQ(p, (VECTOR{10, 20, 0}));
    EXPECT_FALSE(t.playing);
    AdvanceFixedClock();
    t.EvaluatePosition(p);
    EXPECT_EQ(p, (VECTOR{10, 20, 0}));  // held
    // Playing again while playing changes nothing.
    t.Play(0, 0, true);
    t.Play(0, 800, false);
    EXPECT_EQ(log.Count("is playing frame"), 2);
}

TEST_F(NodeTrack, LoopsAndTakesThePivot) {
    AnimTrack t = LinearTrack();
    t.SetPivot(VECTOR{1, 2, 3});
    t.Play(0, 0, true);
    EXPECT_TRUE(log.Has("is looping..\n"));
    VECTOR p;
    t.EvaluatePosition(p);
    for (int i = 0; i < 5; i++) AdvanceFixedClock();  // 500 ms: tick 2000, 400 past the end
    t.EvaluatePosition(p);
    EXPECT_TRUE(t.playing);
    EXPECT_FLOAT_EQ(p.x, 2.5f - 1.0f);
    EXPECT_FLOAT_EQ(p.y, 5.0f - 3.0f);
    EXPECT_FLOAT_EQ(p.z, 0.0f - 2.0f);
}

TEST_F(NodeTrack, SplineKeysUseTheirTangents) {
    AnimTrack t(25, 160, 10);
    t.AddPositionKey(AnimPosKey{ANIMKEY_POS_SPLINE, 0, {0, 0, 0}, {9, 9, 9}, {4, 0, 0}});
    t.AddPositionKey(AnimPosKey{ANIMKEY_POS_SPLINE, 1600, {10, 0, 0}, {9, 9, 9}, {0, 0, 0}});
    t.Play(0, 0, false);
    VECTOR p;
    t.EvaluatePosition(p);
    for (int i = 0; i < 2; i++) AdvanceFixedClock();  // 200 ms of 400: h = 0.5
    t.EvaluatePosition(p);
    EXPECT_FLOAT_EQ(p.x, 0.5f * 10.0f + 0.125f * 4.0f);
}

TEST_F(NodeTrack, RotationKeysTurnAboutThePivot) {
    AnimTrack t(25, 160, 10);
    t.SetPivot(VECTOR{5, 0, 0});
    t.AddRotationKey(AnimRotKey{ANIMKEY_ROT_LINEAR, 0, {0, 0, 1}, 0.0f, {}});
    t.AddRotationKey(AnimRotKey{ANIMKEY_ROT_LINEAR, 1600, {0, 0, 1}, 1.0f, {}});
    MATRIX r;
    t.EvaluateRotation(r);
    EXPECT_TRUE(MatrixIsIdentity(r));
    t.Play(0, 0, false);
    t.EvaluateRotation(r);
    for (int i = 0; i < 2; i++) AdvanceFixedClock();  // h = 0.5
    t.EvaluateRotation(r);
    // Half the key's angle about the file's z (the engine's y, negated), around the pivot.
    MATRIX expect, a, b, c;
    MatrixTranslation(a, -5, 0, 0);
    MatrixRotationAxis(b, VECTOR{0, -1, 0}, 0.5f);
    MatrixTranslation(c, 5, 0, 0);
    MatrixMultiply(expect, a, b);
    MatrixMultiply(expect, expect, c);
    for (int i = 0; i < 16; i++) EXPECT_NEAR(r[i], expect[i], 1e-5f) << i;
    VECTOR onPivot;
    TransformPoint(r, VECTOR{5, 0, 0}, onPivot);
    EXPECT_NEAR(onPivot.x, 5.0f, 1e-5f);
}

TEST_F(NodeTrack, BipedRepeatsEvery400msAndKeepsBoneLengths) {
    std::vector<BipedBone> bones = {BipedBone{"root", -1, {0, 0, 0}, {0, 0, 0}, 0},
                                    BipedBone{"arm", 0, {3, 4, 0}, {0, 0, 0}, 5}};
    Biped b(bones);
    std::vector<float> values;
    for (int f = 0; f < 10; f++) {
        float root[6] = {static_cast<float>(f), 0, 0, 0, 0, 0};
        // Frame 0's arm is 0.005 too long (kept); the others are twice as long (scaled back).
        float arm[6] = {f == 0 ? 3.003f : 6.0f, f == 0 ? 4.004f : 8.0f, 0, 0, 0, 0};
        values.insert(values.end(), root, root + 6);
        values.insert(values.end(), arm, arm + 6);
    }
    WriteAnm(dir / "anims/walk.anm", 10, 2, values);
    ASSERT_TRUE(b.LoadAnm("walk.anm"));
    b.interpolate = 0;
    b.Start();
    const MATRIX* p = b.Pose();
    EXPECT_FLOAT_EQ(p[1][12], 3.003f);
    AdvanceFixedClock();  // 100 ms: frame 2
    p = b.Pose();
    EXPECT_FLOAT_EQ(p[0][12], 2.0f);
    EXPECT_FLOAT_EQ(p[1][12], 2.0f + 3.0f);
    EXPECT_FLOAT_EQ(p[1][13], 4.0f);
    MATRIX at100 = p[1];
    for (int i = 0; i < 4; i++) AdvanceFixedClock();  // 500 ms: frame 12 mod 10 = 2
    p = b.Pose();
    for (int i = 0; i < 16; i++) EXPECT_FLOAT_EQ(p[1][i], at100[i]);
    // Without the file nothing plays and the bind pose stays.
    Biped none(bones);
    EXPECT_FALSE(none.LoadAnm("missing.anm"));
    EXPECT_TRUE(log.Has("ERROR - Could not open ANM file anims\\missing.anm\n"));
    EXPECT_FLOAT_EQ(none.Pose()[1][12], 3.0f);
    // An animation that does not fit leaves no frames, even after one that did.
    WriteAnm(dir / "anims/three.anm", 1, 3, std::vector<float>(18, 1.0f));
    EXPECT_FALSE(b.LoadAnm("three.anm"));
    EXPECT_TRUE(log.Has(
        "cannot load anims\\three.anm into animation because the animation does not fit the biped\n"));
    EXPECT_EQ(b.frameCount, 0);
    for (int i = 0; i < 16; i++) EXPECT_FLOAT_EQ(b.Pose()[1][i], b.BindMatrices()[1][i]) << i;
    b.Start();
    EXPECT_TRUE(log.Has("Cannot start animation because none is loaded\n"));
}

}  // namespace
