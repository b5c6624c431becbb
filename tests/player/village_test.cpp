// The demo village as the engine loads it from the built game folder, for
// what the player clicks and bumps into: a click takes the nearest thing seen
// under the crosshair (an emitter never in the game, a marker in the
// editor), and characters, barrels, lamp posts and the camp fire stop a
// walking body. At night the camp fire and the torches are the brightest
// things in a frame of the square (a reference picture in tests/data/player,
// ZENDAR_UPDATE_GOLDEN=1 rewrites it).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "collision/collision.h"
#include "collision/rayquery.h"
#include "common/golden_image.h"
#include "common/log_capture.h"
#include "common/recording_driver.h"
#include "entities/entity.h"
#include "gfxdriver/opengldriver/sdl/opengldriversdl.h"
#include "utility/basepath.h"
#include "utility/clock.h"
#include "utility/random.h"
#include "world/area.h"
#include "world/world.h"

namespace {

const std::string kGame = ZENDAR_BIN_DIR;

class Village : public ::testing::Test {
protected:
    void SetUp() override {
        saved_base_ = GetBasePath() ? GetBasePath() : "";
        SetBasePath((kGame + "/").c_str());
        area.reset(new Area());
        area->Load("village.z1a");
        ASSERT_NE(area->FindEntity("campfire"), nullptr) << "the village is not built in " << kGame;
    }
    void TearDown() override {
        area.reset();
        SetBasePath(saved_base_.c_str());
    }

    // The pick through the centre of a view from eye towards target.
    const char* Pick(const VECTOR& eye, const VECTOR& target, int reach) {
        MATRIX view;
        EXPECT_TRUE(MatrixLookAt(view, eye, target, VECTOR(0, 1, 0)));
        driver.SetViewMatrix(&view);
        std::unique_ptr<RayQuery> q(area->SelectEntity(eye, reach));
        return q && q->hitEntity ? q->hitEntity->Name() : "";
    }

    test_common::LogCapture log;
    RecordingDriver driver{1024, 768};
    ScopedDriver scoped{&driver};
    std::unique_ptr<Area> area;
    std::string saved_base_;
};

TEST_F(Village, AClickTakesTheNearestThingSeen) {
    const VECTOR guardChest(1420, 140, 330), tellerChest(-160, 120, 170);
    struct Case {
        uint8_t editor;
        VECTOR eye, target;
        int reach;
        const char* hit;
    } cases[] = {
        // Over the fire to the gate: the smoke's emitter is not there to click,
        // and the gate is out of reach (another look sees it).
        {0, VECTOR(-300, 185, 0), VECTOR(1600, 150, 0), kGamePickDistance, ""},
        {0, VECTOR(-300, 185, 0), VECTOR(1600, 150, 0), kEditorPickDistance, "gate"},
        // The guard in front of the wall, near and farther off.
        {0, guardChest + VECTOR(-150, 45, 0), guardChest, kGamePickDistance, "guard"},
        {0, guardChest + VECTOR(-600, 45, 200), guardChest, kGamePickDistance, "guard"},
        // The editor's pick is the same rule: the storyteller, not the ground
        // behind her; the markers it shows are picked where they stand.
        {1, tellerChest + VECTOR(-400, 65, -60), tellerChest, kEditorPickDistance, "storyteller"},
        {1, VECTOR(-300, 60, 0), VECTOR(0, 60, 0), kEditorPickDistance, "campfire/smoke"},
        {0, VECTOR(-300, 60, 0), VECTOR(0, 60, 0), kEditorPickDistance, "campfire"},
    };
    for (const Case& c : cases) {
        log.settings().editor = c.editor;
        EXPECT_STREQ(Pick(c.eye, c.target, c.reach), c.hit)
            << "editor " << int(c.editor) << " from " << c.eye.x << " " << c.eye.y << " " << c.eye.z;
    }
}

TEST_F(Village, CharactersBarrelsLampPostsAndTheFireStopAWalker) {
    log.settings().collisionOn = 1;
    Collider collider(VECTOR(40, 90, 40), VECTOR(0, -30, 0));
    Area* a = area.get();
    collider.traverse = [a](CollisionPacket* packet) { a->Collide(packet); };
    // Each walk heads east at the thing from 300 units west of it, a
    // player's step (30 units) at a time, as the player moves his body.
    for (const char* name : {"guard", "storyteller", "innkeeper", "barrel", "lamp1", "campfire/fire"}) {
        Entity* e = area->FindEntity(name);
        ASSERT_NE(e, nullptr) << name;
        VECTOR body(e->position.x - 300, 105, e->position.z);
        for (int step = 0; step < 30; ++step) body = collider.CheckCollision(body, VECTOR(30, 0, 0));
        // The body (40 in radius) never reaches the thing's centre,
        // and comes within a step of its front: a lamp post's box spreads
        // with the lamp overhead, the fire's flames over their whole spread.
        const float front = std::string(name) == "campfire/fire" ? e->position.x - 42 : e->box[0];
        EXPECT_LT(body.x, e->position.x - 40) << name << " let the walker through to x = " << body.x;
        EXPECT_GT(body.x, front - 40 - 30) << name << " stopped the walker early, at x = " << body.x;
    }
}

class HandClock : public ClockSource {
public:
    float Seconds() override { return static_cast<float>(ms) / 1000.0f; }
    uint32_t Milliseconds() override { return ms; }
    uint32_t ms = 1000;
};

// The brightest pixel's luminance (0..255) in a rectangle of the frame.
int Brightest(const std::vector<uint8_t>& rgb, int width, int x0, int y0, int x1, int y1) {
    int best = 0;
    for (int y = std::max(0, y0); y < y1; ++y)
        for (int x = std::max(0, x0); x < x1 && x < width; ++x) {
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            best = std::max(best, (p[0] * 3 + p[1] * 6 + p[2]) / 10);
        }
    return best;
}

TEST(VillageAtNight, TheFireAndTheTorchesAreTheBrightestThings) {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) GTEST_SKIP() << "no X display (the suite runs under xvfb-run)";
    test_common::LogCapture log;
    const std::string savedBase = GetBasePath() ? GetBasePath() : "";
    SetBasePath((kGame + "/").c_str());
    HandClock clock;
    SetClockSource(&clock);
    static SDL_Window* window = OpenGLDriverSDLCreateWindow("night tests", true);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    std::unique_ptr<OpenGLDriverSDL> driver(new OpenGLDriverSDL());
    ASSERT_TRUE(driver->Init(nullptr, window));
    GfxDriver* savedDriver = g_gfxdriver;
    g_gfxdriver = driver.get();
    log.settings().startClock[0] = 23000;  // eleven at night
    log.settings().back_plane = 9000;
    Z1SeedRandom(7);
    std::vector<uint8_t> rgb;
    {
        Area area;
        area.Load("village.z1a");
        World world;
        world.area = &area;
        World* savedWorld = g_world;
        g_world = &world;
        world.Initialise();
        driver->SetFogging(true);
        // A second of fire, then the square seen from its west end.
        for (int i = 0; i < 50; ++i) {
            clock.ms += 20;
            area.UpdateParticles(0.02f);
        }
        const VECTOR eye(-500, 185, 0), at(600, 120, 0);
        world.SwitchNightLights(eye);
        driver->SetProjection(1.5707964f, 0.75f, 1.0f, 9000.0f);
        MATRIX view;
        ASSERT_TRUE(MatrixLookAt(view, eye, at, VECTOR(0, 1, 0)));
        driver->SetViewMatrix(&view);
        driver->BeginScene();
        VECTOR direction = at - eye;
        VectorNormalize(direction);
        world.RenderWorld(eye, direction, nullptr);
        driver->EndScene();
        ASSERT_TRUE(ReadFrameRGB(driver->width, driver->height, false, &rgb));
        test_common::CompareFrameWithReference(
            std::string(ZENDAR_SOURCE_DIR) + "/tests/data/player/fire_night.png", "fire at night",
            "player_fire_night_actual.png", driver->width, driver->height);
        g_world = savedWorld;
    }
    g_gfxdriver = savedDriver;
    driver->Shutdown();
    SetClockSource(nullptr);
    SetBasePath(savedBase.c_str());

    // Where the fire and the two torches by the gate are in this frame.
    const int w = 1024;
    const int fire = Brightest(rgb, w, 440, 400, 580, 520);
    const int torches =
        std::max(Brightest(rgb, w, 450, 330, 485, 375), Brightest(rgb, w, 538, 330, 573, 375));
    int elsewhere = 0;
    for (int y = 0; y < 768; y += 16)
        for (int x = 0; x < w; x += 16) {
            const bool lit = (x >= 440 && x < 580 && y >= 330 && y < 520);
            if (!lit) elsewhere = std::max(elsewhere, Brightest(rgb, w, x, y, x + 16, y + 16));
        }
    EXPECT_GE(fire, elsewhere) << "the camp fire is outshone";
    EXPECT_GE(torches, elsewhere) << "the torches are outshone";
}

}  // namespace
