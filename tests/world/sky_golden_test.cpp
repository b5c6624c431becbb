// The sky drawn by the OpenGL driver at noon and at midnight, compared with
// reference pictures in tests/data/sky (a small per-channel tolerance absorbs
// rasteriser rounding). ZENDAR_UPDATE_GOLDEN=1 rewrites the references.
// The textures are drawn by code into a temporary game folder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gfxdriver/opengldriver/image.h"
#include "common/golden_image.h"
#include "common/texture_file.h"
#include "gfxdriver/opengldriver/sdl/opengldriversdl.h"
#include "settings/settings.h"
#include "utility/basepath.h"
#include "utility/clock.h"
#include "utility/random.h"
#include "world/area.h"
#include "world/world.h"

namespace {

using test_common::WriteTexture;

uint32_t Grey(float v) {
    int g = static_cast<int>(std::min(255.0f, std::max(0.0f, v * 255.0f)));
    return static_cast<uint32_t>(g * 0x010101);
}

// A disk of radius r (in 0..1 of the half-size), soft at the edge.
float Disk(int x, int y, int size, float r) {
    float cx = (x + 0.5f) / size * 2.0f - 1.0f, cy = (y + 0.5f) / size * 2.0f - 1.0f;
    float d = std::sqrt(cx * cx + cy * cy);
    return std::min(1.0f, std::max(0.0f, (r - d) * 8.0f));
}

void MakeGameFolder(const std::string& base) {
    for (const char* dir : {"textures/sky/moon", "textures/sky/sun", "textures/lens_fx"}) {
        std::string cmd = "mkdir -p '" + base + dir + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    const std::string sky = base + "textures/sky/";
    // Two cloud layers: soft blobs and streaks.
    WriteTexture(sky + "clouds1.bmp", 64, 64, [](int, int) { return 0xFFFFFFu; });
    WriteTexture(sky + "clouds1_a.bmp", 64, 64, [](int x, int y) {
        return Grey(0.5f + 0.5f * std::sin(x * 0.2f) * std::sin(y * 0.3f) - 0.2f);
    });
    WriteTexture(sky + "clouds2.bmp", 64, 64, [](int, int) { return 0xE0E8F0u; });
    WriteTexture(sky + "clouds2_a.bmp", 64, 64,
                 [](int x, int y) { return Grey(0.35f * (1.0f + std::sin((x + 2 * y) * 0.15f))); });
    WriteTexture(sky + "sun/sun.bmp", 32, 32, [](int, int) { return 0xFFFFFFu; });
    WriteTexture(sky + "sun/sun_a.bmp", 32, 32, [](int x, int y) { return Grey(Disk(x, y, 32, 0.8f)); });
    WriteTexture(sky + "sun/sun_white.bmp", 32, 32, [](int, int) { return 0xFFFFFFu; });
    WriteTexture(sky + "sun/sun_alpha.bmp", 32, 32, [](int x, int y) { return Grey(Disk(x, y, 32, 0.8f)); });
    WriteTexture(sky + "moon/moon01.bmp", 32, 32,
                 [](int x, int y) { return 0xD8D8C8u - ((x ^ y) & 8) * 0x020202u; });
    WriteTexture(sky + "moon/moon15.bmp", 32, 32, [](int, int) { return 0xF0F0E0u; });
    for (int phase = 1; phase <= kMoonPhases; ++phase) {
        char name[64];
        std::snprintf(name, sizeof name, "moon/moon%02d_alpha.bmp", phase);
        // The lit part shifts across the disk with the phase.
        float shift = (phase - 14.5f) / 14.5f * 1.6f;
        WriteTexture(sky + name, 32, 32, [shift](int x, int y) {
            float lit = Disk(x, y, 32, 0.8f);
            float cx = (x + 0.5f) / 32 * 2 - 1 - shift, cy = (y + 0.5f) / 32 * 2 - 1;
            float shadow = std::sqrt(cx * cx + cy * cy) < 0.8f ? 0.15f : 1.0f;
            return Grey(lit * shadow);
        });
    }
    const std::string fx = base + "textures/lens_fx/";
    WriteTexture(fx + "star01.bmp", 8, 8, [](int, int) { return 0xFFFFFFu; });
    WriteTexture(fx + "star01alpha.bmp", 8, 8, [](int x, int y) { return Grey(Disk(x, y, 8, 0.9f)); });
    WriteTexture(fx + "glow01.bmp", 32, 32, [](int, int) { return 0xFFF0C0u; });
    WriteTexture(fx + "glow01_a.bmp", 32, 32, [](int x, int y) {
        float cx = (x + 0.5f) / 16 - 1, cy = (y + 0.5f) / 16 - 1;
        return Grey(std::max(0.0f, 1.0f - std::sqrt(cx * cx + cy * cy)) * 0.8f);
    });

    std::ofstream out(base + "daycycle.ini");
    out << "*SECSPERDAY 100000\n*DENSITY 3\n*LAYER1USPEED 0\n*LAYER2USPEED 0\n"
           "*WEATHER_FRAME 0\n{\n"
           " *TEXTURE1 \\sky\\clouds1.bmp\n *ALPHAMAP1 \\sky\\clouds1_a.bmp\n"
           " *TEXTURE2 \\sky\\clouds2.bmp\n *ALPHAMAP2 \\sky\\clouds2_a.bmp\n"
           " *BGCOLOR 0 5 8 30\n *BGCOLOR 12000 90 140 230\n *BGCOLOR 24000 5 8 30\n"
           " *FOG_COLOR 12000 180 190 210\n *AMBIENT 12000 120 120 120\n"
           " *LAYER_COLOR 0 60 60 80\n *LAYER_COLOR 12000 255 255 255\n *LAYER_COLOR 24000 60 60 80\n"
           " *SUN_COLOR 12000 255 230 160\n *SUN_LIGHT 12000 255 255 230\n *SUNPOWER 12000 255\n"
           "}\n";
}

class ManualClock : public ClockSource {
public:
    float Seconds() override { return 0.0f; }
    uint32_t Milliseconds() override { return 1000; }
};

void CompareWithReference(const std::string& name, int width, int height) {
    test_common::CompareFrameWithReference(
        std::string(ZENDAR_SOURCE_DIR) + "/tests/data/sky/" + name + ".png", name,
        "sky_" + name + "_actual.png", width, height);
}

void RenderSkyAt(int timeOfDay, const char* name) {
    std::string base = ::testing::TempDir() + "zendar_skygold_" + std::to_string(::getpid()) + "/";
    MakeGameFolder(base);
    std::string savedBase = GetBasePath();
    SetBasePath(base.c_str());
    Settings settings;
    Settings* savedSettings = g_settings;
    g_settings = &settings;
    settings.start_clock[0] = timeOfDay;
    settings.start_clock[1] = 5;
    settings.back_plane = 6000;
    ManualClock clock;
    SetClockSource(&clock);
    Area* savedArea = g_area;
    g_area = nullptr;
    {
        static SDL_Window* window = OpenGLDriverSDLCreateWindow("sky tests", true);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        std::unique_ptr<OpenGLDriverSDL> driver(new OpenGLDriverSDL());
        ASSERT_TRUE(driver->Init(nullptr, window));
        GfxDriver* savedDriver = g_gfxdriver;
        g_gfxdriver = driver.get();
        Z1SeedRandom(42);
        World world;
        world.Initialise((base + "daycycle.ini").c_str());
        driver->SetProjection(1.0f, 0.75f, 1.0f, 10000.0f);
        MATRIX view;
        VECTOR eye(0, 0, 0), at(0, 1.3f, 1.0f), up(0, 1, 0);
        ASSERT_TRUE(MatrixLookAt(view, eye, at, up));
        driver->SetViewMatrix(&view);
        driver->BeginScene();
        world.RenderWorld(eye, at, nullptr);
        driver->EndScene();
        CompareWithReference(name, driver->width, driver->height);
        g_gfxdriver = savedDriver;
        driver->Shutdown();
    }
    g_area = savedArea;
    SetClockSource(nullptr);
    g_settings = savedSettings;
    SetBasePath(savedBase.c_str());
    std::string cmd = "rm -rf '" + base + "'";
    (void)std::system(cmd.c_str());
}

}  // namespace

TEST(SkyGolden, Noon) { RenderSkyAt(12000, "noon"); }
TEST(SkyGolden, Midnight) { RenderSkyAt(0, "midnight"); }
