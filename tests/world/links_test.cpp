// The world's calls to the systems around it: collision traversal, particle
// systems and glows, the scripts' world calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/recording_driver.h"
#include "entities/doorentity.h"
#include "entities/lightentity.h"
#include "entities/npcentity.h"
#include "entities/objectentity.h"
#include "entities/particleentity.h"
#include "world/area.h"
#include "world/areascript.h"
#include "world/worldlinks.h"
#include "world_helpers.h"
#include "world_models.h"

using world_test::GameDir;
using world_test::LogCapture;

namespace {

struct FakeCollision : CollisionLink {
    std::vector<std::string> calls;
    float reach = 0;  // the broad-phase sphere: centre (0,0,0), this radius
    bool TouchesBox(CollisionPacket*, const float box[6]) override {
        return SphereIntersectsBox(VECTOR(0, 0, 0), reach, box);
    }
    void SetCurrentEntity(CollisionPacket*, Entity* e) override {
        calls.push_back(std::string("current ") + e->Name());
    }
    void CollideModel(CollisionPacket*, Z1Model*, const MATRIX&) override { calls.push_back("model"); }
    void CollideBox(CollisionPacket*, const float*, const MATRIX&) override { calls.push_back("box"); }
};

// Stands in for the effects: systems and glows are plain tokens.
struct FakeEffects : EffectsLink {
    std::vector<std::string> calls;
    char systems[4];
    char glows[4];
    ParticleSystem* CreateSystem(ParticleKind kind, int n, float spread) override {
        calls.push_back("create " + std::to_string(kind) + " " + std::to_string(n) + " " +
                        std::to_string(static_cast<int>(spread)));
        return reinterpret_cast<ParticleSystem*>(&systems[kind]);
    }
    void DestroySystem(ParticleSystem*) override { calls.push_back("destroy"); }
    void UpdateSystem(ParticleSystem* s, float t) override {
        calls.push_back("update " + std::to_string(reinterpret_cast<char*>(s) - systems) + " " +
                        std::to_string(static_cast<int>(t * 1000)));
    }
    void PlaceSystem(ParticleSystem*, const VECTOR& p) override {
        calls.push_back("place " + std::to_string(static_cast<int>(p.x)));
    }
    void SystemBox(ParticleSystem*, float box[6]) override {
        const float b[6] = {-5, 0, -5, 5, 1200, 5};
        for (int i = 0; i < 6; ++i) box[i] = b[i];
    }
    void DrawSystem(ParticleSystem*, CPlane*) override { calls.push_back("draw"); }
    LensGlow* CreateGlow(const VECTOR&, float w, float, const char* tex, const char*) override {
        calls.push_back(std::string("glow ") + tex + " " + std::to_string(static_cast<int>(w)));
        return reinterpret_cast<LensGlow*>(&glows[0]);
    }
    void DestroyGlow(LensGlow*) override { calls.push_back("destroy glow"); }
    void PlaceGlow(LensGlow*, const VECTOR&) override {}
    void CollectGlow(LensGlow*) override { calls.push_back("collect"); }
};

class Links : public ::testing::Test {
protected:
    void SetUp() override {
        saved_collision_ = g_collisionLink;
        saved_effects_ = g_effectsLink;
        g_collisionLink = &collision;
        g_effectsLink = &effects;
    }
    void TearDown() override {
        g_collisionLink = saved_collision_;
        g_effectsLink = saved_effects_;
    }
    int Count(const std::vector<std::string>& v, const std::string& s) {
        int n = 0;
        for (const std::string& x : v) n += x == s;
        return n;
    }
    GameDir dir;
    LogCapture log{dir / "log.txt"};
    FakeCollision collision;
    FakeEffects effects;
    CollisionLink* saved_collision_ = nullptr;
    EffectsLink* saved_effects_ = nullptr;
};

TEST_F(Links, CollisionVisitsTheEntitiesNearThePacket) {
    Area area;
    area.AddCamera("near", 10, 0, 10, nullptr);
    area.AddCamera("far", 9000, 0, 9000, nullptr);
    area.AddCamera("wide", -8000, 0, 0, nullptr);
    collision.reach = 100;
    area.Collide(reinterpret_cast<CollisionPacket*>(&collision));
    EXPECT_EQ(Count(collision.calls, "current near"), 1);
    EXPECT_EQ(Count(collision.calls, "current far"), 0);
    collision.calls.clear();
    collision.reach = 1e6f;
    area.Collide(reinterpret_cast<CollisionPacket*>(&collision));
    EXPECT_EQ(collision.calls.size(), 3u);
    area.Collide(nullptr);  // no packet: nothing
}

TEST_F(Links, ObjectsCollideByMeshOrBoxAndDoorsOnlyInTheGame) {
    ::mkdir((dir / "z1").c_str(), 0755);
    ASSERT_TRUE(Z1WriteFile((dir / "z1/cube.z1").c_str(), world_test::CubeScene(10.0f)));
    Area area;
    auto* o = static_cast<ObjectEntity*>(area.AddObject("cube.z1", "o", 0, 0, 0, nullptr));
    auto* d = static_cast<DoorEntity*>(area.AddDoor("cube.z1", "d", 0, 0, 0, nullptr));
    auto* n = static_cast<NPCEntity*>(area.AddNPC("cube.z1", "n", 0, 0, 0, nullptr));
    ASSERT_TRUE(o && d && n);
    auto run = [&](Entity* e) {
        collision.calls.clear();
        e->Collide(nullptr);
        std::string all;
        for (const std::string& c : collision.calls) all += c + ";";
        return all;
    };
    EXPECT_EQ(run(o), "model;");
    o->collideWithBox = true;
    EXPECT_EQ(run(o), "box;");
    o->checkCollision = false;
    EXPECT_EQ(run(o), "");
    d->collideWithBox = true;  // doors ignore it
    EXPECT_EQ(run(d), "model;");
    log.settings().editor = 1;
    EXPECT_EQ(run(d), "");
    log.settings().editor = 0;
    EXPECT_EQ(run(n), "box;");  // NPCs: always the bounding box
    n->checkCollision = false;
    EXPECT_EQ(run(n), "");
    // Without a model nothing reaches the collision code.
    ObjectEntity bare(nullptr, "bare", 0, 0, 0);
    EXPECT_EQ(run(&bare), "");
}

TEST_F(Links, EmittersCreateUpdateAndDrawTheirSystems) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    Area area;
    auto* torch = static_cast<ParticleEntity*>(area.AddParticle("torch", "Torch", 100, 0, 0, nullptr));
    auto* fire = static_cast<ParticleEntity*>(area.AddParticle("fire", "Camp Fire", 200, 0, 0, nullptr));
    auto* odd = static_cast<ParticleEntity*>(area.AddParticle("odd", "Fog", 300, 0, 0, nullptr));
    ASSERT_TRUE(torch && fire && odd);
    EXPECT_EQ(Count(effects.calls, "create 0 1000 5"), 1);
    EXPECT_EQ(Count(effects.calls, "create 2 1000 28"), 1);
    EXPECT_TRUE(log.Has("Unknown system : Fog\n"));
    EXPECT_EQ(Count(effects.calls, "place 100"), 2);  // construction and placing in the area
    // The box takes in the system's own box.
    EXPECT_EQ(torch->box[4], 1200.0f);
    EXPECT_EQ(torch->box[0], 95.0f);
    EXPECT_EQ(odd->box[4], 1.0f);
    effects.calls.clear();
    area.UpdateParticles(0.04f);
    EXPECT_EQ(effects.calls, (std::vector<std::string>{"update 0 40", "update 2 40"}));
    effects.calls.clear();
    torch->Render(nullptr);
    EXPECT_EQ(effects.calls, (std::vector<std::string>{"draw"}));
    torch->MoveTo(150, 0, 0);
    EXPECT_EQ(Count(effects.calls, "place 150"), 1);
    effects.calls.clear();
    Entity* copy = torch->Clone();
    EXPECT_EQ(Count(effects.calls, "create 0 1000 5"), 1);
    delete copy;
    EXPECT_EQ(Count(effects.calls, "destroy"), 1);
}

TEST_F(Links, LitGlowingLightsCollectTheirGlowNearTheCamera) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    Area area;
    LightEntity* l = static_cast<LightEntity*>(area.AddLight("lamp", 0, 0, 0, nullptr));
    ASSERT_NE(l, nullptr);
    l->glows = true;
    l->glowSize = 48;
    l->SetGlowTexture("flare.bmp");
    l->active = LIGHT_ACTIVE_NIGHT;
    l->CreateGlow();
    EXPECT_EQ(Count(effects.calls, "glow flare.bmp 48"), 1);
    area.cameraPosition = VECTOR(0, 0, 100);
    l->Render(nullptr);
    EXPECT_EQ(Count(effects.calls, "collect"), 0);  // not on yet
    area.UpdateLights(false, VECTOR(0, 0, 100));
    l->Render(nullptr);
    EXPECT_EQ(Count(effects.calls, "collect"), 1);
    area.cameraPosition = VECTOR(0, 0, 5001);
    l->Render(nullptr);
    EXPECT_EQ(Count(effects.calls, "collect"), 1);
    area.cameraPosition = VECTOR(0, 0, 5000);
    l->Render(nullptr);
    EXPECT_EQ(Count(effects.calls, "collect"), 2);
}

TEST_F(Links, ScriptWorldCallsReachTheAreaHooks) {
    Area area;
    Entity* mark = area.AddCamera("mark", 0, 0, 0, nullptr);
    ScriptWorld* world = GetAreaScriptWorld();
    world->ScriptVectorCall(2, "mark", VECTOR(5, 6, 7));
    EXPECT_EQ(mark->position, VECTOR(5, 6, 7));
    world->ScriptCall(2, "mark", 0);  // a move needs the vector form: nothing
    EXPECT_EQ(mark->position, VECTOR(5, 6, 7));
    world->ScriptVectorCall(4, "mark", VECTOR(0, 0, 0));  // a trigger needs the plain form
    EXPECT_FALSE(log.Has("found entity mark - now triggering"));
    world->ScriptCall(4, "mark", 0);
    EXPECT_TRUE(log.Has("found entity mark - now triggering\n"));
}

}  // namespace
