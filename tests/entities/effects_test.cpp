// The area's particle entities and glowing lights through the installed
// effects, drawn by the world's frame, and the night textures of lamp and
// house models.
#include <gtest/gtest.h>

#include "common/recording_driver.h"
#include "entities/lightentity.h"
#include "entities/particleentity.h"
#include "models/z1model/z1file.h"
#include "models/z1model/z1model.h"
#include "particle/particle.h"
#include "settings/settings.h"
#include "utility/clock.h"
#include "world/area.h"
#include "world/world.h"

namespace {

class EffectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = g_settings;
        g_settings = &settings;
        settings.back_plane = 6000;
        settings.fullShading = 1;
        UseFixedClock(10, 0);
    }
    void TearDown() override {
        UseRealTimeClock();
        g_settings = saved;
    }
    Settings settings;
    Settings* saved = nullptr;
    RecordingDriver driver;
    ScopedDriver scoped{&driver};
};

}  // namespace

TEST_F(EffectsTest, ParticleEntitiesGetSystemsThatTheAreaAdvances) {
    World world;
    world.Initialise("no_daycycle_here.ini");
    Area area;
    ParticleEntity* torch =
        static_cast<ParticleEntity*>(area.AddParticle("torch", "Torch", 100, 0, 50, nullptr));
    ParticleEntity* smoke =
        static_cast<ParticleEntity*>(area.AddParticle("smoke", "Smoke", -100, 0, 50, nullptr));
    ASSERT_NE(torch, nullptr);
    ASSERT_NE(smoke, nullptr);
    ASSERT_NE(torch->system, nullptr);
    ParticleSystem* s = torch->system;
    EXPECT_NE(dynamic_cast<CTorch*>(s), nullptr);
    EXPECT_NE(dynamic_cast<CSmoke*>(smoke->system), nullptr);
    EXPECT_EQ(s->emitter, VECTOR(100, 0, 50));
    // The entity's box holds the system's column.
    EXPECT_GE(torch->box[4], 1200.0f);
    area.UpdateParticles(0.04f);
    EXPECT_EQ(s->liveCount, 6);
    area.UpdateParticles(0.04f);
    EXPECT_EQ(s->liveCount, 12);
    torch->MoveTo(100, 0, 60);  // the system follows its emitter
    EXPECT_EQ(s->emitter, VECTOR(100, 0, 60));
    torch->MoveTo(100, 0, 50);

    // Drawn by the world's frame, facing the camera, in their own light.
    driver.ResetLog();
    world.RenderWorld(VECTOR(0, 50, -400), VECTOR(0, 0, 1), nullptr);
    int particleDraws = 0;
    for (const DrawRecord* d : driver.DrawsOf(VertexFormat::kLVertex))
        if (d->texture == "textures\\effects\\particles\\particles01orange.bmp") ++particleDraws;
    EXPECT_EQ(particleDraws, 12);
}

TEST_F(EffectsTest, GlowingLightIsCollectedAndDrawnAfterTheArea) {
    World world;
    world.Initialise("no_daycycle_here.ini");
    Area area;
    LightEntity* light = static_cast<LightEntity*>(area.AddLight("lamp", 0, 100, 200, nullptr));
    ASSERT_NE(light, nullptr);
    light->glows = true;
    light->glowSize = 16;
    light->SetGlowTexture("glow01.bmp");
    light->SetGlowAlphaMap("glow01_a.bmp");
    light->CreateGlow();
    ASSERT_NE(light->glow, nullptr);
    EXPECT_EQ(light->glow->position, VECTOR(0, 100, 200));
    light->on = true;

    driver.ResetLog();
    world.RenderWorld(VECTOR(0, 100, 0), VECTOR(0, 0, 1), nullptr);
    EXPECT_EQ(GlowListCount(), 1);
    int glow = driver.FindCall("SetTexture(textures\\lens_fx\\glow01.bmp)");
    int fogBegin = driver.FindCall("SetFogBegin(2000)");
    ASSERT_GE(glow, 0);
    EXPECT_GT(glow, fogBegin);

    // The next frame starts with an empty list; a light that is off adds nothing.
    light->on = false;
    driver.ResetLog();
    world.RenderWorld(VECTOR(0, 100, 0), VECTOR(0, 0, 1), nullptr);
    EXPECT_EQ(GlowListCount(), 0);

    // Out of the 5000-unit reach.
    light->on = true;
    world.RenderWorld(VECTOR(0, 100, -6000), VECTOR(0, 0, 1), nullptr);
    EXPECT_EQ(GlowListCount(), 0);
    world.RenderWorld(VECTOR(0, 100, -4801), VECTOR(0, 0, 1), nullptr);
    EXPECT_EQ(GlowListCount(), 0);
    world.RenderWorld(VECTOR(0, 100, -4800), VECTOR(0, 0, 1), nullptr);  // 5000 exactly
    EXPECT_EQ(GlowListCount(), 1);
}

// --- night lights on real models ---------------------------------------------

namespace {

// A one-triangle model whose only piece is textured with texture.
Z1Model* TexturedModel(const char* name, const char* texture) {
    Z1Scene* s = new Z1Scene();
    s->hasMaterials = true;
    Z1Material m;
    m.name = "glass";
    m.className = "Standard";
    m.materialClass = Z1_CLASS_STANDARD;
    m.textured = true;
    m.maps[Z1_SLOT_TEXTURE].present = true;
    m.maps[Z1_SLOT_TEXTURE].hasBitmap = true;
    m.maps[Z1_SLOT_TEXTURE].bitmap = texture;
    s->materials.push_back(m);
    Z1GeomObject o;
    o.name = "piece";
    o.material = 0;
    Z1Mesh mesh;
    VERTEX v[3] = {};
    v[1].x = 1;
    v[2].y = 1;
    mesh.vertices.assign(v, v + 3);
    mesh.indices = {0, 1, 2};
    mesh.vertexCount = 3;
    mesh.faceCount = 1;
    Z1MeshList list;
    list.meshes.push_back(mesh);
    o.meshLists.push_back(list);
    o.meshListWrapped.push_back(false);
    s->objects.push_back(o);
    Z1Model* model = new Z1Model();
    EXPECT_TRUE(model->LoadScene(s, name));
    return model;
}

std::string PieceTexture(Z1Model* model) {
    for (ModelFrame* f : model->frames)
        for (Z1SubMesh* sm : f->submeshes) return sm->textureName;
    return "";
}

}  // namespace

TEST_F(EffectsTest, NightLightsSwapTheLampAndWindowTextures) {
    World world;
    world.Initialise("no_daycycle_here.ini");
    Area area;
    Z1Model* lamp = TexturedModel("_lamppost01.Z1", "textures\\Items\\lamp_post01\\lamp_glass01.bmp");
    Z1Model* tavern = TexturedModel("_tavern01.Z1", "textures\\base_windows\\window02a.bmp");
    Z1Model* other = TexturedModel("_well01.Z1", "textures\\base_windows\\window02a.bmp");
    for (Z1Model* m : {lamp, tavern, other}) {
        area.modelTable.Insert(m->name.c_str(), m);
        area.models.Add(m);
    }
    // Daytime first: the lights-on state of start-up is switched off, nothing to swap back.
    world.timeOfDay = 18000;
    world.SwitchNightLights(VECTOR(0, 0, 0));
    EXPECT_EQ(world.lightsOn, 0);
    EXPECT_EQ(PieceTexture(lamp), "textures\\Items\\lamp_post01\\lamp_glass01.bmp");

    world.timeOfDay = 18001;
    world.SwitchNightLights(VECTOR(0, 0, 0));
    EXPECT_EQ(world.lightsOn, 1);
    EXPECT_EQ(PieceTexture(lamp), "textures\\Items\\lamp_post01\\lamp_glass02.bmp");
    EXPECT_EQ(PieceTexture(tavern), "textures\\base_windows\\window02c.bmp");
    EXPECT_EQ(PieceTexture(other), "textures\\base_windows\\window02a.bmp");  // not in the table
    EXPECT_EQ(lamp->frames[0]->submeshes[0]->selfIllumination, 1.0f);         // glows unlit

    world.timeOfDay = 6000;
    world.SwitchNightLights(VECTOR(0, 0, 0));
    EXPECT_EQ(world.lightsOn, 0);
    EXPECT_EQ(PieceTexture(lamp), "textures\\Items\\lamp_post01\\lamp_glass01.bmp");
    EXPECT_EQ(PieceTexture(tavern), "textures\\base_windows\\window02a.bmp");
}
