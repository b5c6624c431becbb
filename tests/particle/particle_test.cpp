// Particle systems (bursts, growth, aging, kills, drawing), the star field,
// lens glows with their occlusion test and the frame's glow list.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "collision/collision.h"
#include "common/recording_driver.h"
#include "entities/entity.h"
#include "particle/particle.h"
#include "settings/settings.h"
#include "utility/random.h"
#include "world/area.h"
#include "collision/rayquery.h"

TEST(ParticleSystemTest, TorchEmitsOneBurstPerUpdate) {
    Z1SeedRandom(7);
    CTorch torch(1000, 28);
    torch.emitter = VECTOR(100, 50, -20);
    EXPECT_EQ(torch.liveCount, 0);
    // 25 updates a second: one burst of 6 each, 150 in a second, not 300.
    for (int i = 0; i < 25; ++i) {
        torch.Update(0.04f);
        EXPECT_EQ(torch.liveCount, 6 * (i + 1));
    }
    // Births within the spread square around the emitter, rising at 45.
    for (int i = 0; i < torch.liveCount; ++i) {
        const Particle& p = torch.particles[i];
        EXPECT_GE(p.x, 100 - 28);
        EXPECT_LT(p.x, 100 + 28);
        EXPECT_GE(p.z, -20 - 28);
        EXPECT_LT(p.z, -20 + 28);
        EXPECT_EQ(p.vy, 45.0f);
        EXPECT_GE(p.y, 50.0f);  // the newest burst has not moved yet
    }
    // A long frame still emits a single burst (and nobody is old enough to die).
    torch.Update(0.1f);
    EXPECT_EQ(torch.liveCount, 156);
}

TEST(ParticleSystemTest, ClassConstants) {
    CTorch torch(10, 28);
    CCampfire fire(10, 5);
    CSmoke smoke(10, 28);
    EXPECT_EQ(torch.additive, 1);
    EXPECT_EQ(fire.additive, 1);
    EXPECT_EQ(smoke.additive, 0);
    EXPECT_EQ(torch.boxMin, VECTOR(-42, 0, -42));
    EXPECT_EQ(torch.boxMax, VECTOR(42, 1200, 42));
    EXPECT_EQ(fire.boxMax, VECTOR(7.5f, 60, 7.5f));
    EXPECT_EQ(smoke.boxMax, VECTOR(42, 1200, 42));
    EXPECT_EQ(torch.down, VECTOR(0, -1, 0));
    EXPECT_STREQ(smoke.texture, "textures\\effects\\particles\\smoke02.bmp");
    fire.Update(0.04f);
    EXPECT_EQ(fire.liveCount, 1);
    EXPECT_EQ(fire.particles[0].size, 5.5f);
    smoke.Update(0.5f);
    EXPECT_EQ(smoke.liveCount, 0);  // 0.5 - 0.8 is not past the first emission time
    smoke.Update(0.5f);
    EXPECT_EQ(smoke.liveCount, 1);
    EXPECT_EQ(smoke.particles[0].size, 35.5f);
    EXPECT_EQ(smoke.particles[0].vy, 25.0f);
}

TEST(ParticleSystemTest, SmokeStopsGrowingAtFifty) {
    CSmoke smoke(10, 28);
    smoke.Emit(1);
    float last = smoke.particles[0].size;
    int grew = 0;
    for (int i = 0; i < 400; ++i) {
        smoke.liveCount = 1;  // keep just the one particle
        smoke.Update(0.001f);
        float now = smoke.particles[0].size;
        if (now > last) ++grew;
        last = now;
    }
    EXPECT_GE(last, 50.0f);
    EXPECT_LT(last, 50.0f * 1.003f);
    // 35.5 x 1.003^n first reaches 50 after 115 updates.
    EXPECT_EQ(grew, 115);
}

TEST(ParticleSystemTest, LifeReachingExactlyZeroDiesAndTheLastTakesItsSlot) {
    CCampfire fire(10, 5);
    fire.Emit(3);
    fire.particles[0].life = 0.85f;  // 0.85 - 1.0 x 0.85 = 0 exactly
    fire.particles[0].x = 1;
    fire.particles[1].life = 5.0f;
    fire.particles[1].x = 2;
    fire.particles[2].life = 7.0f;
    fire.particles[2].x = 3;
    fire.nextEmission = 1e9f;  // no births in this pass
    fire.Update(1.0f);
    ASSERT_EQ(fire.liveCount, 2);
    // The last one moved into slot 0 and was not aged in that pass.
    EXPECT_EQ(fire.particles[0].x, 3.0f);
    EXPECT_FLOAT_EQ(fire.particles[0].life, 7.0f);
    EXPECT_FLOAT_EQ(fire.particles[1].life, 5.0f - 0.85f);

    fire.Kill(1);
    EXPECT_EQ(fire.liveCount, 1);
    fire.Kill(5);  // out of range: nothing
    EXPECT_EQ(fire.liveCount, 1);
}

TEST(ParticleSystemTest, EmitNeverExceedsTheFreeCapacity) {
    CTorch torch(10, 28);
    EXPECT_EQ(torch.Emit(6), 6);
    EXPECT_EQ(torch.Emit(6), 4);
    EXPECT_EQ(torch.Emit(6), 0);
    EXPECT_EQ(torch.liveCount, 10);
    torch.Update(0.04f);  // full: the burst emits nothing, nothing breaks
    EXPECT_EQ(torch.liveCount, 10);
}

TEST(ParticleSystemTest, StarsStayAboveTheHorizon) {
    Z1SeedRandom(1234);
    CStars stars(kStarCount);
    ASSERT_EQ(stars.liveCount, kStarCount);
    for (int i = 0; i < stars.liveCount; ++i) {
        const Particle& p = stars.particles[i];
        EXPECT_GE(p.y, 0.0f);
        EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 200.0f, 1e-3f);
        EXPECT_GE(p.size, 0.3f);
        EXPECT_LE(p.size, 0.8f);
        EXPECT_EQ(p.life, 1.0f);
    }
    Particle before = stars.particles[0];
    stars.Update(10.0f);
    EXPECT_EQ(stars.particles[0].x, before.x);
}

TEST(ParticleSystemTest, DrawFadesWithLifeFacesTheCameraAndRestoresState) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    CTorch torch(10, 28);
    torch.Emit(2);
    torch.particles[0].life = 1.0f;
    torch.particles[1].life = 0.5f;
    torch.particles[1].x = 500;
    driver.ResetLog();
    torch.Draw(VECTOR(0, 0, -300), nullptr);
    // Flames give light: white quads in their own colour, never lit by the
    // driver, their alpha (the texture factor's too) fading with life.
    EXPECT_TRUE(driver.DrawsOf(VertexFormat::kVertex).empty());
    std::vector<const DrawRecord*> strips = driver.DrawsOf(VertexFormat::kLVertex);
    ASSERT_EQ(strips.size(), 2u);
    const uint32_t alphas[2] = {255u, 127u};
    for (int i = 0; i < 2; ++i) {
        const DrawRecord* d = strips[static_cast<size_t>(i)];
        EXPECT_EQ(ColorAlpha(d->texture_factor), alphas[i]);
        EXPECT_TRUE(d->texture_factor_alpha);
        EXPECT_FALSE(d->lighting);
        EXPECT_EQ(d->zbufferMode, ZBUFFER_NOWRITE);
        EXPECT_TRUE(d->alphaBlending);
        EXPECT_EQ(d->blend_mode, BLEND_ADDITIVE);
        EXPECT_EQ(d->texture, "textures\\effects\\particles\\particles01orange.bmp");
        ASSERT_EQ(d->lvertex.size(), 4u);
        for (const LVERTEX& v : d->lvertex) EXPECT_EQ(v.color, PackColor(alphas[i], 255, 255, 255));
        EXPECT_FLOAT_EQ(d->lvertex[0].x, -5.5f);
        EXPECT_FLOAT_EQ(d->lvertex[0].tv, 0.0f);  // upright: the top row samples v = 0
        EXPECT_FLOAT_EQ(d->lvertex[3].y, -5.5f);
        EXPECT_FLOAT_EQ(d->lvertex[3].tu, 1.0f);
    }
    // The quad's plane faces the camera: the facing matrix's z row points from the camera to the particle.
    const MATRIX& m = strips[1]->world;
    VECTOR along(m.m[8], m.m[9], m.m[10]);
    VECTOR want =
        VECTOR(torch.particles[1].x, torch.particles[1].y, torch.particles[1].z) - VECTOR(0, 0, -300);
    VectorNormalize(want);
    EXPECT_NEAR(VectorDot(along, want), 1.0f, 1e-5f);
    EXPECT_EQ(driver.zbufferMode, ZBUFFER_ON);
    EXPECT_EQ(driver.alphaBlending, 0);
    EXPECT_EQ(driver.lighting, 1);
    EXPECT_FALSE(driver.texture_factor_alpha);

    // Smoke gives no light: lit quads with normals towards the camera, which
    // the day's light greys as it does everything else.
    CSmoke smoke(10, 28);
    smoke.Emit(1);
    driver.ResetLog();
    smoke.Draw(VECTOR(0, 0, -300), nullptr);
    std::vector<const DrawRecord*> lit = driver.DrawsOf(VertexFormat::kVertex);
    ASSERT_EQ(lit.size(), 1u);
    EXPECT_TRUE(lit[0]->lighting);
    EXPECT_EQ(lit[0]->blend_mode, BLEND_ALPHA);
    ASSERT_EQ(lit[0]->vertex.size(), 4u);
    EXPECT_EQ(lit[0]->vertex[0].nz, -1.0f);
}

// --- glows ----------------------------------------------------------------

namespace {

// A wall at z = 50 across x, y in [-100, 100], facing the camera at the origin.
class WallEntity : public Entity {
public:
    WallEntity() : Entity(ENTITY_OBJECT, nullptr, 0, 0, 50, "wall") {
        VERTEX v[4] = {};
        const float xs[4] = {-100, 100, -100, 100};
        const float ys[4] = {-100, -100, 100, 100};
        for (int i = 0; i < 4; ++i) {
            v[i].x = xs[i];
            v[i].y = ys[i];
            v[i].z = 50;
        }
        vertices.assign(v, v + 4);
        // (B - A) x (C - A) towards -z.
        indices = {0, 2, 1, 2, 3, 1};
        UpdateBounds();
    }
    void UpdateBounds() override {
        const float b[6] = {-100, -100, 49, 100, 100, 51};
        for (int i = 0; i < 6; ++i) box[i] = b[i];
    }
    void Render(CPlane*) override {}
    Entity* Clone() override { return nullptr; }
    void Save(DataFile*) override {}
    void Load(DataFile*, int) override {}
    void RayTest(RayQuery* query) override {
        query->modelStart = query->start;
        query->modelEnd = query->end;
        RayTriangles(query, vertices.data(), indices.data(), 2, false);
    }
    std::vector<VERTEX> vertices;
    std::vector<uint16_t> indices;
};

}  // namespace

TEST(LensGlowTest, HiddenBehindAWallWithinEightFramesAndBackWhenSeen) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    Settings settings;
    Settings* savedSettings = g_settings;
    g_settings = &settings;
    {
        Area area;
        LensGlow glow(VECTOR(0, 0, 100), 20, 10, "glow01.bmp", "glow01_a.bmp");
        EXPECT_STREQ(glow.texture, "textures\\lens_fx\\glow01.bmp");
        glow.occlusionTest = 1;
        WallEntity* wall = new WallEntity();
        std::vector<int> drawn;
        for (int frame = 0; frame < 40; ++frame) {
            driver.BeginScene();
            if (frame == 5) {
                ASSERT_TRUE(area.AddToSceneTree(wall));
                area.Register(wall);
            }
            if (frame == 25) {
                area.RemoveFromSceneTree(wall);
                area.Unregister(wall);
            }
            driver.ResetLog();
            glow.Draw(VECTOR(0, 0, 0));
            drawn.push_back(driver.CountCalls("DrawStrip(LVERTEX"));
        }
        // Visible before the wall, gone within 8 frames of it, back within 8 after.
        for (int f = 0; f < 5; ++f) EXPECT_EQ(drawn[f], 1) << f;
        for (int f = 5 + 8; f < 25; ++f) EXPECT_EQ(drawn[f], 0) << f;
        for (int f = 25 + 8; f < 40; ++f) EXPECT_EQ(drawn[f], 1) << f;
        // The result is kept between tests: hidden frames come in one run.
        int firstHidden = -1, lastHidden = -1;
        for (int f = 0; f < 40; ++f)
            if (!drawn[f]) {
                if (firstHidden < 0) firstHidden = f;
                lastHidden = f;
            }
        EXPECT_LE(firstHidden, 5 + 7);
        EXPECT_EQ((lastHidden - firstHidden + 1) % kGlowTestInterval, 0);  // whole test periods
        delete wall;
    }
    g_settings = savedSettings;
}

TEST(LensGlowTest, DrawsAdditivelyFacingTheCameraAndRestores) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    LensGlow glow(VECTOR(10, 20, 30), 12, 6, "glow02.bmp", "");
    EXPECT_EQ(glow.alphaMap, nullptr);
    glow.depthTested = 0;
    driver.ResetLog();
    glow.Draw(VECTOR(0, 0, 0));
    // A glow is light: white in its own colour, never tinted by the driver.
    std::vector<const DrawRecord*> strips = driver.DrawsOf(VertexFormat::kLVertex);
    ASSERT_EQ(strips.size(), 1u);
    EXPECT_EQ(strips[0]->blend_mode, BLEND_ADDITIVE);
    EXPECT_FALSE(strips[0]->alphaBlending);  // no alpha map
    EXPECT_EQ(strips[0]->zbufferMode, ZBUFFER_OFF);
    EXPECT_FALSE(strips[0]->lighting);
    ASSERT_EQ(strips[0]->lvertex.size(), 4u);
    EXPECT_FLOAT_EQ(strips[0]->lvertex[1].x, 12.0f);
    EXPECT_FLOAT_EQ(strips[0]->lvertex[1].y, 6.0f);
    EXPECT_EQ(strips[0]->lvertex[1].color, PackColor(255, 255, 255, 255));
    EXPECT_EQ(driver.blend_mode, BLEND_ALPHA);
    EXPECT_EQ(driver.lighting, 1);
    EXPECT_EQ(driver.zbufferMode, ZBUFFER_ON);
}

TEST(LensGlowTest, GlowListIsEmptiedEachFrameAndDrawnInOrder) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    LensGlow* a = new LensGlow(VECTOR(0, 0, 10), 1, 1, "a.bmp", "");
    LensGlow* b = new LensGlow(VECTOR(0, 0, 20), 1, 1, "b.bmp", "");
    ResetGlowList();
    CollectGlow(b);
    CollectGlow(a);
    EXPECT_EQ(GlowListCount(), 2);
    driver.ResetLog();
    DrawGlowList(VECTOR(0, 0, 0));
    int tb = driver.FindCall("SetTexture(textures\\lens_fx\\b.bmp)");
    int ta = driver.FindCall("SetTexture(textures\\lens_fx\\a.bmp)");
    EXPECT_TRUE(tb >= 0 && ta > tb);
    ResetGlowList();
    EXPECT_EQ(GlowListCount(), 0);
    delete a;
    delete b;
}

TEST(ParticleSystemTest, EachKindIsMadeByName) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    ParticleSystem* s = CreateParticleSystem(PARTICLE_CAMPFIRE, 1000, 5.0f);
    ASSERT_NE(s, nullptr);
    EXPECT_NE(dynamic_cast<CCampfire*>(s), nullptr);
    s->emitter = VECTOR(1, 2, 3);
    EXPECT_EQ(s->boxMax.y, 60.0f);
    EXPECT_EQ(s->boxMin.x, -7.5f);
    s->Update(0.04f);
    EXPECT_EQ(s->liveCount, 1);
    EXPECT_EQ(s->particles[0].y, 2.0f);
    delete s;
    s = CreateParticleSystem(PARTICLE_TORCH, 10, 28.0f);
    EXPECT_NE(dynamic_cast<CTorch*>(s), nullptr);
    delete s;
}
