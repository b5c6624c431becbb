#include <gtest/gtest.h>
#include <cmath>
#include <cstdio>
#include <string>
#include "collision/rayquery.h"
#include "common/log_capture.h"
#include "common/recording_driver.h"
#include "entities/entity.h"
#include "utility/basepath.h"
#include "world/area.h"

TEST(ScratchPick, Village) {
    test_common::LogCapture log;
    SetBasePath(ZENDAR_BIN_DIR "/");
    RecordingDriver driver(1024, 768);
    g_gfxdriver = &driver;
    Area area;
    area.Load("village.z1a");
    struct Shot { VECTOR eye, target; };
    Entity* guard = area.FindEntity("guard");
    ASSERT_NE(guard, nullptr);
    printf("guard box %f %f %f - %f %f %f\n", guard->box[0], guard->box[1], guard->box[2], guard->box[3], guard->box[4], guard->box[5]);
    for (float d : {150.f, 250.f, 400.f, 600.f, 800.f}) for (float h : {60.f, 110.f, 140.f, 160.f}) {
        VECTOR target = guard->position + VECTOR(0, h, 0);
        VECTOR eye = target + VECTOR(-d, 185 - h, 0);
        MATRIX view;
        MatrixLookAt(view, eye, target, VECTOR(0, 1, 0));
        driver.SetViewMatrix(&view);
        RayQuery* q = area.SelectEntity(eye, kGamePickDistance);
        printf("d=%g h=%g -> %s best %f hits %d\n", d, h, q && q->hitEntity ? q->hitEntity->Name() : "-", q ? q->bestDistance : -1, q ? q->hitCount : 0);
        delete q;
    }
    for (const char* who : {"guard", "storyteller", "innkeeper", "barrel", "lamp1"}) {
      Entity* g = area.FindEntity(who);
      for (int a = 0; a < 360; a += 15) for (float d : {200.f, 500.f, 900.f}) {
        float h = 120; if (std::string(who)=="barrel") h = 40; 
        VECTOR target = g->position + VECTOR(0, h, 0);
        VECTOR eye = target + VECTOR(-d * std::cos(a * 0.01745f), 185 - h, -d * std::sin(a * 0.01745f));
        MATRIX view;
        MatrixLookAt(view, eye, target, VECTOR(0, 1, 0));
        driver.SetViewMatrix(&view);
        RayQuery* q = area.SelectEntity(eye, kGamePickDistance);
        if (!q || q->hitEntity != g) printf("%s a=%d d=%g -> %s best %f\n", who, a, d, q && q->hitEntity ? q->hitEntity->Name() : "-", q ? q->bestDistance : -1);
        delete q;
      }
    }
    for (float x : {-1000.f, -600.f, -300.f, 0.f}) {
        VECTOR e(x, 185, 0), t(1600, 150, 0);
        MATRIX view;
        MatrixLookAt(view, e, t, VECTOR(0, 1, 0));
        driver.SetViewMatrix(&view);
        RayQuery* q = area.SelectEntity(e, kGamePickDistance);
        printf("gate from %g -> %s best %f\n", x, q && q->hitEntity ? q->hitEntity->Name() : "-", q ? q->bestDistance : -1);
        delete q;
    }
    g_gfxdriver = nullptr;
}

#include "collision/collision.h"
#include "settings/settings.h"
#include "entities/objectentity.h"
#include "entities/modelaccess.h"
TEST(ScratchPick, WalkIntoGuard) {
    test_common::LogCapture log;
    log.settings().collision_on = 1;
    SetBasePath(ZENDAR_BIN_DIR "/");
    Area area;
    area.Load("village.z1a");
    Collider c(VECTOR(40, 90, 40), VECTOR(0, -30, 0));
    c.traverse = [&](CollisionPacket* p) { area.Collide(p); };
    static_cast<ObjectEntity*>(area.FindEntity("campfire"))->checkCollision = true;
    for (int boxed = 0; boxed < 2; ++boxed)
    for (const char* who : {"guard", "storyteller", "barrel", "lamp1", "campfire"}) {
      Entity* g = area.FindEntity(who);
      static_cast<ObjectEntity*>(area.FindEntity("campfire"))->collideWithBox = boxed;
      float mb[6]; ModelBox(static_cast<ObjectEntity*>(g)->model, mb);
      printf("%s modelbox %g %g %g - %g %g %g\n", who, mb[0], mb[1], mb[2], mb[3], mb[4], mb[5]);
      VECTOR p = g->position + VECTOR(-300, 105, 0);
      for (int i = 0; i < 30; ++i) {
        p = c.CheckCollision(p, VECTOR(30, 0, 0));

      }
      printf("%s at x %g: body ended at %g %g %g\n", who, g->position.x, p.x, p.y, p.z);
    }
    VECTOR p(974, 105, 0);
    for (int i = 0; i < 40; ++i) {
        p = c.CheckCollision(p, VECTOR(30 * std::cos(0.666f), 0, 30 * std::sin(0.666f)));
        printf("diag %d: %g %g %g\n", i, p.x, p.y, p.z);
    }
}

#include <SDL.h>
#include <memory>
#include "gfxdriver/opengldriver/sdl/opengldriversdl.h"
#include "gfxdriver/opengldriver/screenshot.h"
#include "world/world.h"
#include "utility/clock.h"
#include "utility/random.h"
namespace {
class HandClock2 : public ClockSource {
public:
    float Seconds() override { return ms / 1000.0f; }
    uint32_t Milliseconds() override { return ms; }
    uint32_t ms = 1000;
};
}
TEST(ScratchPick, Night) {
    test_common::LogCapture log;
    SetBasePath(ZENDAR_BIN_DIR "/");
    HandClock2 clock;
    SetClockSource(&clock);
    static SDL_Window* window = OpenGLDriverSDLCreateWindow("night", true);
    std::unique_ptr<OpenGLDriverSDL> driver(new OpenGLDriverSDL());
    ASSERT_TRUE(driver->Init(nullptr, window));
    g_gfxdriver = driver.get();
    log.settings().start_clock[0] = getenv("TOD") ? atoi(getenv("TOD")) : 23000;
    log.settings().back_plane = 9000;
    Z1SeedRandom(7);
    {
    Area area;
    area.Load("village.z1a");
    World world;
    world.area = &area;
    g_world = &world;
    world.Initialise();
    driver->SetFogging(true);
    VECTOR eye(-500, 185, 0), at(600, 120, 0);
    for (int i = 0; i < 60; ++i) { clock.ms += 20; area.UpdateParticles(0.02f); }
    world.SwitchNightLights(eye);
    driver->SetProjection(1.5707964f, 0.75f, 1.0f, 9000.0f);
    MATRIX view; MatrixLookAt(view, eye, at, VECTOR(0,1,0));
    driver->SetViewMatrix(&view);
    driver->BeginScene();
    VECTOR dir = at - eye; VectorNormalize(dir);
    world.RenderWorld(eye, dir, nullptr);
    driver->EndScene();
    std::vector<uint8_t> rgb; ReadFrameRGB(driver->width, driver->height, false, &rgb);
    WritePNG("/tmp/h12/night.png", driver->width, driver->height, rgb.data());
    g_world = nullptr;
    }
    g_gfxdriver = nullptr;
    driver->Shutdown();
    SetClockSource(nullptr);
}
