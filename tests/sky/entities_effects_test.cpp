// The area's particle entities and glowing lights through the installed
// effects, drawn by the world's frame.
#include <gtest/gtest.h>

#include "common/recording_driver.h"
#include "entities/lightentity.h"
#include "entities/particleentity.h"
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
        settings.full_shading = 1;
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
    ParticleEntity* torch = static_cast<ParticleEntity*>(area.AddParticle("torch", "Torch", 100, 0, 50, nullptr));
    ParticleEntity* smoke = static_cast<ParticleEntity*>(area.AddParticle("smoke", "Smoke", -100, 0, 50, nullptr));
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

    // Drawn by the world's frame, facing the camera.
    driver.ResetLog();
    world.RenderWorld(VECTOR(0, 50, -400), VECTOR(0, 0, 1), nullptr);
    int particleDraws = 0;
    for (const DrawRecord* d : driver.DrawsOf(VertexFormat::kVertex))
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
}
