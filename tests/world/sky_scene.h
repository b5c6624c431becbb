// The sky frames of the reference pictures tests/data/sky (noon and
// midnight): a game folder of textures drawn by code and a day cycle, and the
// world's sky rendered through the driver interface alone, so that every
// driver draws the same frames: the OpenGL driver's sky golden test and the
// DirectX 7 driver's test under Wine both use it.
#ifndef ZENDAR_TESTS_WORLD_SKY_SCENE_H
#define ZENDAR_TESTS_WORLD_SKY_SCENE_H

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>

#include "common/texture_file.h"
#include "gfxdriver/gfxdriver.h"
#include "settings/settings.h"
#include "utility/basepath.h"
#include "utility/clock.h"
#include "utility/random.h"
#include "world/area.h"
#include "world/world.h"

namespace sky_scene {

using test_common::WriteTexture;

inline uint32_t Grey(float v) {
    int g = static_cast<int>(std::min(255.0f, std::max(0.0f, v * 255.0f)));
    return static_cast<uint32_t>(g * 0x010101);
}

// A disk of radius r (in 0..1 of the half-size), soft at the edge.
inline float Disk(int x, int y, int size, float r) {
    float cx = (x + 0.5f) / size * 2.0f - 1.0f, cy = (y + 0.5f) / size * 2.0f - 1.0f;
    float d = std::sqrt(cx * cx + cy * cy);
    return std::min(1.0f, std::max(0.0f, (r - d) * 8.0f));
}

inline void MakeGameFolder(const std::string& base) {
    for (const char* dir :
         {"textures", "textures/sky", "textures/sky/moon", "textures/sky/sun", "textures/lens_fx"})
        ::mkdir((base + dir).c_str(), 0755);
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

class StillClock : public ClockSource {
public:
    float Seconds() override { return 0.0f; }
    uint32_t Milliseconds() override { return 1000; }
};

// Draws the sky at timeOfDay (seconds of the day cycle) with driver, with the
// game folder of MakeGameFolder at base (ending in a separator). Installs what
// the world reads (base path, settings, clock, driver) for the frame and puts
// back what was there.
inline void Draw(GfxDriver* driver, const std::string& base, int timeOfDay) {
    std::string savedBase = GetBasePath();
    SetBasePath(base.c_str());
    Settings settings;
    Settings* savedSettings = g_settings;
    g_settings = &settings;
    settings.startClock[0] = timeOfDay;
    settings.startClock[1] = 5;
    settings.back_plane = 6000;
    StillClock clock;
    SetClockSource(&clock);
    Area* savedArea = g_area;
    g_area = nullptr;
    GfxDriver* savedDriver = g_gfxdriver;
    g_gfxdriver = driver;
    {
        Z1SeedRandom(42);
        World world;
        world.Initialise((base + "daycycle.ini").c_str());
        driver->SetProjection(1.0f, 0.75f, 1.0f, 10000.0f);
        MATRIX view;
        VECTOR eye(0, 0, 0), at(0, 1.3f, 1.0f), up(0, 1, 0);
        EXPECT_TRUE(MatrixLookAt(view, eye, at, up));
        driver->SetViewMatrix(&view);
        driver->BeginScene();
        world.RenderWorld(eye, at, nullptr);
        driver->EndScene();
    }
    g_gfxdriver = savedDriver;
    g_area = savedArea;
    SetClockSource(nullptr);
    g_settings = savedSettings;
    SetBasePath(savedBase.c_str());
}

}  // namespace sky_scene

#endif
