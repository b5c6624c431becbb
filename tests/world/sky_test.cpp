// The world clock and calendar, weather fades, the day-cycle file, blended
// sky colours, sun and moon, stars, the sky's driver calls and night lights.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <set>
#include <string>
#include <vector>
#include <unistd.h>

#include "collision/collision.h"
#include "common/recording_driver.h"
#include "common/test_files.h"
#include "entities/entity.h"
#include "gui/gui_helpers.h"
#include "particle/particle.h"
#include "settings/settings.h"
#include "utility/clock.h"
#include "utility/log.h"
#include "world/area.h"
#include "collision/rayquery.h"
#include "world/sky.h"
#include "world/world.h"

namespace {

class ManualClock : public ClockSource {
public:
    float Seconds() override { return ms / 1000.0f; }
    uint32_t Milliseconds() override { return ms; }
    uint32_t ms = 0;
};

std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + "zendar_sky_" + std::to_string(::getpid()) + "_" + name;
}

std::string WriteFile(const std::string& name, const std::string& text) {
    std::string path = TempPath(name);
    std::ofstream out(path, std::ios::binary);
    out << text;
    return path;
}

using test_common::ReadFile;

// Two weather frames: clear (0) and rain (100).
const char kDaycycle[] =
    "*SECSPERDAY 1800\n"
    "*DENSITY 4.5\n"
    "*LAYER1USPEED 1000\n"
    "*LAYER1VSPEED 0\n"
    "*LAYER2USPEED -5\n"
    "*LAYER2VSPEED 2000\n"
    "*WEATHER_FRAME 0\n"
    "{\n"
    "  *TEXTURE1 \\sky\\clear1.bmp\n"
    "  *ALPHAMAP1 \\sky\\clear1_a.bmp\n"
    "  *TEXTURE2 \\sky\\shared.bmp\n"
    "  *ALPHAMAP2 \\sky\\shared_a.bmp\n"
    "  *BGCOLOR 0 0 0 40\n"
    "  *BGCOLOR 12000 100 150 250\n"
    "  *BGCOLOR 24000 0 0 40\n"
    "  *FOG_COLOR 0 10 10 10\n"
    "  *FOG_COLOR 12000 200 200 200\n"
    "  *AMBIENT 0 20 20 30\n"
    "  *AMBIENT 12000 120 120 110\n"
    "  *LAYER_COLOR 0 50 50 50\n"
    "  *LAYER_COLOR 12000 255 255 255\n"
    "  *SUN_COLOR 12000 255 240 200\n"
    "  *SUN_LIGHT 0 0 0 0\n"
    "  *SUN_LIGHT 12000 255 255 204\n"
    "  *SUNPOWER 12000 255\n"
    "}\n"
    "*WEATHER_FRAME 100\n"
    "{\n"
    "  *TEXTURE1 \\sky\\rain1.bmp\n"
    "  *ALPHAMAP1 \\sky\\rain1_a.bmp\n"
    "  *TEXTURE2 \\sky\\shared.bmp\n"
    "  *ALPHAMAP2 \\sky\\shared_a.bmp\n"
    "  *BGCOLOR 0 0 0 0\n"
    "  *BGCOLOR 12000 50 50 50\n"
    "  *FOG_COLOR 12000 100 100 100\n"
    "  *AMBIENT 12000 60 60 60\n"
    "  *LAYER_COLOR 12000 128 128 128\n"
    "  *SUN_COLOR 12000 100 100 100\n"
    "  *SUN_LIGHT 12000 51 51 51\n"
    "  *SUNPOWER 12000 0\n"
    "}\n";

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        savedSettings = g_settings;
        g_settings = &settings;
        SetClockSource(&clock);
        logPath = TempPath("log.txt");
        log = new Log(logPath.c_str());
        savedLog = g_log;
        g_log = log;
        settings.write_log = 1;
    }
    void TearDown() override {
        g_log = savedLog;
        delete log;
        std::remove(logPath.c_str());
        SetClockSource(nullptr);
        g_settings = savedSettings;
    }
    std::string LogText() {
        g_log = savedLog;
        delete log;
        log = nullptr;
        return ReadFile(logPath);
    }

    Settings settings;
    Settings* savedSettings = nullptr;
    ManualClock clock;
    Log* log = nullptr;
    Log* savedLog = nullptr;
    std::string logPath;
};

void ExpectColor(const float c[3], float r, float g, float b, float tol = 1e-3f) {
    EXPECT_NEAR(c[0], r, tol);
    EXPECT_NEAR(c[1], g, tol);
    EXPECT_NEAR(c[2], b, tol);
}

}  // namespace

// --- the clock ------------------------------------------------------------

TEST_F(WorldTest, InitialiseTakesTheSettingsClockAndTheFileSecondsPerDay) {
    settings.startClock[0] = 9000;
    settings.startClock[1] = 3;
    settings.startClock[2] = 4;
    settings.startClock[3] = 2003;
    settings.secondsPerDay = 99;
    clock.ms = 5000;
    World world;
    world.Initialise(WriteFile("init.ini", kDaycycle).c_str());
    EXPECT_EQ(world.timeOfDay, 9000);
    EXPECT_EQ(world.day, 3);
    EXPECT_EQ(world.month, 4);
    EXPECT_EQ(world.year, 2003);
    EXPECT_EQ(world.lastUpdate, 5000u);
    EXPECT_EQ(settings.secondsPerDay, 1800);
    EXPECT_EQ(world.lightsOn, 1);
    EXPECT_EQ(world.mouseMode, 1);
    ASSERT_NE(world.collider, nullptr);
    EXPECT_EQ(world.collider->packet->radii, VECTOR(40, 90, 40));
    EXPECT_EQ(world.collider->initialGravity, VECTOR(0, -30, 0));
    EXPECT_EQ(g_world, &world);
    std::string text = LogText();
    EXPECT_NE(text.find("********* PARSING DAYCYCLE ***********"), std::string::npos);
    EXPECT_NE(text.find(" ### Creating stars\n ### Stars done\n"), std::string::npos);
}

TEST_F(WorldTest, OneSecondAdvancesThirteenUnitsAndShortFramesAddUp) {
    World world;
    world.Initialise(TempPath("missing.ini").c_str());
    ASSERT_EQ(settings.secondsPerDay, 1800);
    world.timeOfDay = 1000;
    clock.ms = 1000;
    world.UpdateClock();
    EXPECT_EQ(world.timeOfDay, 1013);  // 13.33 truncated
    EXPECT_EQ(world.lastUpdate, 1000u);

    // 74 ms is less than one unit (75 ms at 1800 s per day): nothing moves
    // and the last update time is kept, so the next frame completes the unit.
    clock.ms = 1074;
    world.UpdateClock();
    EXPECT_EQ(world.timeOfDay, 1013);
    EXPECT_EQ(world.lastUpdate, 1000u);
    clock.ms = 1075;
    world.UpdateClock();
    EXPECT_EQ(world.timeOfDay, 1014);
    EXPECT_EQ(world.lastUpdate, 1075u);

    // Frames of 40 ms: a unit every second frame.
    for (int i = 0; i < 10; ++i) {
        clock.ms += 40;
        world.UpdateClock();
    }
    EXPECT_EQ(world.timeOfDay, 1019);
}

TEST_F(WorldTest, TwentyFourThousandIsKeptAndTheNextUnitRollsTheDay) {
    World world;
    world.Initialise(TempPath("missing.ini").c_str());
    world.timeOfDay = 23990;
    world.day = 5;
    clock.ms = 750;  // 10 units
    world.UpdateClock();
    EXPECT_EQ(world.timeOfDay, 24000);
    EXPECT_EQ(world.day, 5);
    clock.ms = 825;  // one more
    world.UpdateClock();
    EXPECT_EQ(world.timeOfDay, 1);
    EXPECT_EQ(world.day, 6);
}

TEST_F(WorldTest, DayTwentyEightAndMonthTwelveRollOver) {
    World world;
    world.Initialise(TempPath("missing.ini").c_str());
    world.timeOfDay = 24000;
    world.day = 28;
    world.month = 5;
    clock.ms = 75;
    world.UpdateClock();
    EXPECT_EQ(world.day, 1);
    EXPECT_EQ(world.month, 6);
    EXPECT_EQ(world.year, 2001);

    world.timeOfDay = 24000;
    world.day = 28;
    world.month = 12;
    clock.ms = 150;
    world.UpdateClock();
    EXPECT_EQ(world.timeOfDay, 1);
    EXPECT_EQ(world.day, 1);
    EXPECT_EQ(world.month, 1);
    EXPECT_EQ(world.year, 2002);
}

TEST_F(WorldTest, AddTimeWrapsIntoTheDay) {
    World world;
    world.timeOfDay = 500;
    world.AddTime(-1000);
    EXPECT_EQ(world.timeOfDay, 23500);
    world.AddTime(500);
    EXPECT_EQ(world.timeOfDay, 24000);  // kept
    world.AddTime(1000);
    EXPECT_EQ(world.timeOfDay, 1000);
    world.AddTime(-50000);  // more than a day back still lands inside the day
    EXPECT_GE(world.timeOfDay, 0);
    EXPECT_LE(world.timeOfDay, 24000);
    // The sky follows at once.
    world.timeOfDay = 11000;
    world.AddTime(1000);
    EXPECT_EQ(world.sky.timeOfDay, 12000);
    EXPECT_EQ(world.sky.starVisibility, 0.0f);
}

TEST_F(WorldTest, WeatherFadesOverGameTimeAndIgnoresASecondFade) {
    World world;
    world.Initialise(TempPath("missing.ini").c_str());
    clock.ms = 1000;
    world.UpdateClock();
    // 500 day units at 1800 s per day is 37.5 real seconds.
    world.FadeWeather(50, 500);
    EXPECT_EQ(world.weatherFading, 1);
    world.FadeWeather(0, 10);  // ignored while the first runs
    EXPECT_EQ(world.weatherTarget, 50);
    clock.ms = 1000 + 37500 / 2;
    world.UpdateClock();
    EXPECT_EQ(world.weather, 25);
    EXPECT_EQ(world.weatherFading, 1);
    clock.ms = 1000 + 37500;
    world.UpdateClock();
    EXPECT_EQ(world.weather, 50);
    EXPECT_EQ(world.weatherFading, 0);
    // Back down.
    world.FadeWeather(0, 500);
    clock.ms += 37500 / 5;
    world.UpdateClock();
    EXPECT_EQ(world.weather, 40);
}

TEST_F(WorldTest, ClockTextPadsMinutesBelowTen) {
    World world;
    char text[32];
    world.timeOfDay = 7000;
    world.ClockText(text, sizeof text);
    EXPECT_STREQ(text, "Time: 7:00");
    world.timeOfDay = 7050;  // 3 minutes
    world.ClockText(text, sizeof text);
    EXPECT_STREQ(text, "Time: 7:03");
    world.timeOfDay = 13590;  // 35.4 minutes
    world.ClockText(text, sizeof text);
    EXPECT_STREQ(text, "Time: 13:35");
    world.timeOfDay = 24000;
    world.ClockText(text, sizeof text);
    EXPECT_STREQ(text, "Time: 24:00");

    // Drawn with the font from (560, 5); this font has glyphs for letters only.
    RecordingDriver driver(640, 480);
    ScopedDriver scoped(&driver);
    guitest::TempFile fontFile("font.ini", guitest::LetterFontText());
    Font font(fontFile.path().c_str());
    world.timeOfDay = 7000;
    world.DrawClock(560, 5);  // no font: nothing
    EXPECT_TRUE(guitest::Strips(driver).empty());
    g_font = &font;
    world.DrawClock(560, 5);
    g_font = nullptr;
    std::vector<const DrawRecord*> strips = guitest::Strips(driver);
    ASSERT_EQ(strips.size(), 4u);  // "Time"
    float left = strips[0]->tlvertex[0].sx, top = strips[0]->tlvertex[0].sy;
    for (const TLVERTEX& v : strips[0]->tlvertex) {
        left = std::min(left, v.sx);
        top = std::min(top, v.sy);
    }
    EXPECT_FLOAT_EQ(left, 560.0f);
    EXPECT_FLOAT_EQ(top, 5.0f);
}

// --- the day-cycle file -----------------------------------------------------

TEST_F(WorldTest, DaycycleKeysAreRead) {
    Sky sky;
    ASSERT_TRUE(sky.Parse(WriteFile("keys.ini", kDaycycle).c_str()));
    EXPECT_EQ(sky.secondsPerDay, 1800);
    EXPECT_FLOAT_EQ(sky.density, 4.5f);
    EXPECT_EQ(sky.layerSpeed[0][0], 1000);
    EXPECT_EQ(sky.layerSpeed[0][1], 0);
    EXPECT_EQ(sky.layerSpeed[1][0], -5);
    EXPECT_EQ(sky.layerSpeed[1][1], 2000);
    ASSERT_EQ(sky.frames.size(), 2u);
    EXPECT_EQ(sky.frames[0].weather, 0);
    EXPECT_EQ(sky.frames[1].weather, 100);
    EXPECT_EQ(sky.frames[0].texture1, "textures\\sky\\clear1.bmp");
    EXPECT_EQ(sky.frames[0].alpha1, "textures\\sky\\clear1_a.bmp");
    EXPECT_EQ(sky.frames[1].texture2, "textures\\sky\\shared.bmp");
    EXPECT_EQ(sky.frames[0].background.keys.size(), 3u);
    ASSERT_EQ(sky.frames[0].sunPower.keys.size(), 1u);
    EXPECT_FLOAT_EQ(sky.frames[0].sunPower.keys[0].value[0], 1.0f);
    // The dome was rebuilt with the density: u = i x density / 8, v = density - j x density / 8.
    EXPECT_FLOAT_EQ(sky.layers[0][8].tu, 4.5f);
    EXPECT_FLOAT_EQ(sky.layers[0][9 * 8].tv, 0.0f);
    EXPECT_FLOAT_EQ(sky.layers[1][0].tv, 4.5f);
}

TEST_F(WorldTest, DomeGridHasTheShapeAndIndexOrder) {
    Sky sky;
    // Corner (0, 0): x = -800, z = 800, y = 1 280 000 x -0.0005 + 100.
    EXPECT_FLOAT_EQ(sky.layers[0][0].x, -800.0f);
    EXPECT_FLOAT_EQ(sky.layers[0][0].z, 800.0f);
    EXPECT_FLOAT_EQ(sky.layers[0][0].y, -540.0f);
    EXPECT_FLOAT_EQ(sky.layers[1][40].y, 120.0f);  // the centre of layer 2
    EXPECT_FLOAT_EQ(sky.layers[0][40].y, 100.0f);
    const uint16_t first[6] = {9, 10, 0, 10, 1, 0};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(sky.indices[i], first[i]);
    // The last quad starts at e = 7 + 9 x 7 = 70.
    const uint16_t last[6] = {79, 80, 70, 80, 71, 70};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(sky.indices[kDomeIndices - 6 + i], last[i]);
}

// The one-pass pieces of the two layers: every line of sight from the eye that
// meets a layer meets exactly one piece, and there the piece's weights name the
// points of both layers on that line.
TEST_F(WorldTest, DualLayerPiecesCoverEverySightLineOnceWithBothLayersOnIt) {
    Sky sky;
    ASSERT_FALSE(sky.dualIndices.empty());
    ASSERT_EQ(sky.dualIndices.size() % 3, 0u);
    // Where the line d from the origin meets triangle a, b, c (distance along d), or -1.
    auto hit = [](const VECTOR& d, const VECTOR& a, const VECTOR& b, const VECTOR& c) {
        VECTOR e1 = b - a, e2 = c - a, p = VectorCross(d, e2);
        float det = VectorDot(e1, p);
        if (std::fabs(det) < 1e-9f) return -1.0f;
        VECTOR s = VECTOR(0, 0, 0) - a;
        float u = VectorDot(s, p) / det;
        VECTOR q = VectorCross(s, e1);
        float v = VectorDot(d, q) / det;
        float t = VectorDot(e2, q) / det;
        return (u < 0 || v < 0 || u + v > 1 || t <= 0) ? -1.0f : t;
    };
    auto grid = [&](int layer, int corner) {
        const LVERTEX& g = sky.layers[layer][sky.indices[corner]];
        return VECTOR(g.x, g.y, g.z);
    };
    int checked = 0;
    for (int i = 0; i < 60; ++i) {
        for (int j = 0; j < 30; ++j) {
            // Irrational steps keep the lines off the pieces' edges.
            float azimuth = (i + 0.318f) * 0.10471976f, elevation = -0.5f + (j + 0.271f) * 0.069f;
            VECTOR d(std::cos(elevation) * std::cos(azimuth), std::sin(elevation),
                     std::cos(elevation) * std::sin(azimuth));
            bool seen[2] = {false, false};
            for (int layer = 0; layer < 2; ++layer)
                for (int t = 0; t < kDomeIndices; t += 3)
                    seen[layer] =
                        seen[layer] || hit(d, grid(layer, t), grid(layer, t + 1), grid(layer, t + 2)) > 0;
            int pieces = 0;
            for (size_t k = 0; k < sky.dualIndices.size(); k += 3) {
                const DualPoint* c[3];
                VECTOR corner[3];
                for (int m = 0; m < 3; ++m) {
                    c[m] = &sky.dualPoints[sky.dualIndices[k + m]];
                    corner[m] = VECTOR(c[m]->x, c[m]->y, c[m]->z);
                }
                if (hit(d, corner[0], corner[1], corner[2]) < 0) continue;
                ++pieces;
                for (int layer = 0; layer < 2; ++layer) {
                    EXPECT_EQ(c[0]->triangle[layer] >= 0, seen[layer]) << "layer " << layer;
                    if (c[0]->triangle[layer] < 0) continue;
                    // Each corner's weights give a point of that layer's triangle on the
                    // corner's own line of sight.
                    for (int m = 0; m < 3; ++m) {
                        VECTOR p(0, 0, 0);
                        for (int w = 0; w < 3; ++w)
                            p = p + grid(layer, 3 * c[m]->triangle[layer] + w) * c[m]->weight[layer][w];
                        VECTOR along = corner[m] * (layer == 0 ? 1.0f : 1.0f / c[m]->q);
                        EXPECT_LT(VectorLength(p - along), 0.05f) << "layer " << layer;
                    }
                }
            }
            EXPECT_EQ(pieces, seen[0] || seen[1] ? 1 : 0)
                << "azimuth " << azimuth << " elevation " << elevation;
            checked += pieces;
        }
    }
    EXPECT_GT(checked, 1000);
}

TEST_F(WorldTest, BrokenWeatherBlockLogsAndEndsParsing) {
    std::string text = std::string(kDaycycle) + "*WEATHER_FRAME 200\n{\n *BGCOLOR 0 1 2\n";
    text += "";  // the block ends inside the colour key
    Sky sky;
    sky.Parse(WriteFile("broken.ini", text).c_str());
    EXPECT_EQ(sky.frames.size(), 2u);  // the frames before it stay
    EXPECT_NE(LogText().find("Error loading weather keyframe\n"), std::string::npos);

    Sky unclosed;
    unclosed.Parse(WriteFile("unclosed.ini", "*WEATHER_FRAME 3 { *AMBIENT 0 1 2 3\n*DENSITY 2\n").c_str());
    EXPECT_EQ(unclosed.frames.size(), 0u);
}

TEST_F(WorldTest, MissingFileLeavesDefaultsButMakesStarsAndSunLight) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    World world;
    world.Initialise(TempPath("nothing_here.ini").c_str());
    EXPECT_TRUE(world.sky.frames.empty());
    ASSERT_NE(world.sky.stars, nullptr);
    EXPECT_EQ(world.sky.stars->liveCount, kStarCount);
    EXPECT_EQ(world.sky.sunLight, 0);
    EXPECT_EQ(driver.CountCalls("CreateLight(1)"), 1);
    SkyColors c = world.sky.ColorsAt(12000, 0);
    ExpectColor(c.background, 0, 0, 0);
    EXPECT_NE(LogText().find("Sun got ID 0"), std::string::npos);
}

TEST_F(WorldTest, ResourcesAreRegisteredInOrder) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    Sky sky;
    sky.Parse(WriteFile("res.ini", kDaycycle).c_str());
    sky.CreateResources();
    std::vector<std::pair<std::string, std::string>> want = {
        {"textures\\sky\\clear1.bmp", "textures\\sky\\clear1_a.bmp"},
        {"textures\\sky\\shared.bmp", "textures\\sky\\shared_a.bmp"},
        {"textures\\sky\\rain1.bmp", "textures\\sky\\rain1_a.bmp"},
        {"textures\\sky\\shared.bmp", "textures\\sky\\shared_a.bmp"},
        {"textures\\sky\\moon\\moon01.bmp", "textures\\sky\\moon\\moon01_alpha.bmp"},
        {"textures\\sky\\moon\\moon15.bmp", "textures\\sky\\moon\\moon15_alpha.bmp"},
        {"textures\\sky\\sun\\sun_white.bmp", "textures\\sky\\sun\\sun_alpha.bmp"},
        {"textures\\sky\\sun\\sun.bmp", "textures\\sky\\sun\\sun_a.bmp"},
        {"textures\\lens_fx\\glow01.bmp", "textures\\lens_fx\\glow01_a.bmp"},
        {"textures\\lens_fx\\star01.bmp", "textures\\lens_fx\\star01alpha.bmp"},
    };
    EXPECT_EQ(driver.generated, want);
}

// --- colours ------------------------------------------------------------------

TEST_F(WorldTest, ColoursFollowTheTimeOfDayWithinOneFrame) {
    Sky sky;
    sky.Parse(WriteFile("colors.ini", kDaycycle).c_str());
    SkyColors c = sky.ColorsAt(6000, 0);  // halfway between the keys at 0 and 12000
    ExpectColor(c.background, 50, 75, 145);
    ExpectColor(c.fog, 105, 105, 105);
    ExpectColor(c.ambient, 70, 70, 70);
    ExpectColor(c.layer, 152.5f, 152.5f, 152.5f);
    ExpectColor(c.sun, 255, 240, 200);  // one key: held all day
    ExpectColor(c.sunlight, 127.5f, 127.5f, 102);
    EXPECT_NEAR(c.sunPower, 1.0f, 1e-6f);
    c = sky.ColorsAt(18000, 0);
    ExpectColor(c.background, 50, 75, 145);
    c = sky.ColorsAt(24000, 0);
    ExpectColor(c.background, 0, 0, 40);
}

TEST_F(WorldTest, WeatherBlendsBetweenFrames) {
    Sky sky;
    sky.Parse(WriteFile("blend.ini", kDaycycle).c_str());
    int first, next;
    float f;
    sky.FindFrames(25, first, next, f);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(next, 1);
    EXPECT_FLOAT_EQ(f, 0.25f);
    SkyColors c = sky.ColorsAt(12000, 25);
    ExpectColor(c.background, 100 * 0.75f + 50 * 0.25f, 150 * 0.75f + 50 * 0.25f, 250 * 0.75f + 50 * 0.25f);
    ExpectColor(c.sunlight, 255 * 0.75f + 51 * 0.25f, 255 * 0.75f + 51 * 0.25f, 204 * 0.75f + 51 * 0.25f);
    EXPECT_NEAR(c.sunPower, 0.75f, 1e-6f);

    // On a frame's own value, and above the last frame: that frame alone.
    sky.FindFrames(100, first, next, f);
    EXPECT_EQ(first, 1);
    EXPECT_EQ(next, -1);
    EXPECT_EQ(f, 0.0f);
    c = sky.ColorsAt(12000, 255);
    ExpectColor(c.background, 50, 50, 50);
    sky.FindFrames(0, first, next, f);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(f, 0.0f);
    // Below every frame: the first one, unblended.
    sky.FindFrames(-10, first, next, f);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(f, 0.0f);
}

// --- sun, moon, stars -------------------------------------------------------

TEST(SkyBodies, StarVisibilityFadesAtDuskAndDawn) {
    EXPECT_EQ(Sky::StarVisibility(0), 1.0f);
    EXPECT_EQ(Sky::StarVisibility(5000), 1.0f);
    EXPECT_NEAR(Sky::StarVisibility(5001), 0.999f, 1e-6f);
    EXPECT_NEAR(Sky::StarVisibility(5500), 0.5f, 1e-6f);
    EXPECT_NEAR(Sky::StarVisibility(5999), 0.001f, 1e-6f);
    EXPECT_EQ(Sky::StarVisibility(6000), 0.0f);
    EXPECT_EQ(Sky::StarVisibility(12000), 0.0f);
    EXPECT_EQ(Sky::StarVisibility(18000), 0.0f);
    EXPECT_NEAR(Sky::StarVisibility(18001), 0.001f, 1e-6f);
    EXPECT_NEAR(Sky::StarVisibility(18500), 0.5f, 1e-6f);
    EXPECT_NEAR(Sky::StarVisibility(18999), 0.999f, 1e-6f);
    EXPECT_EQ(Sky::StarVisibility(19000), 1.0f);
    EXPECT_EQ(Sky::StarVisibility(24000), 1.0f);
}

TEST(SkyBodies, SunAtNoonAndMoonAtMidnightAreHighest) {
    VECTOR sun = Sky::SunDirection(12000);
    EXPECT_NEAR(VectorLength(sun), 200.0f, 1e-3f);
    EXPECT_NEAR(sun.x, 0.0f, 1e-3f);
    EXPECT_NEAR(sun.y, 200.0f / std::sqrt(1.25f), 1e-3f);
    EXPECT_NEAR(sun.z, sun.y * 0.5f, 1e-3f);
    VECTOR rise = Sky::SunDirection(6000);
    EXPECT_NEAR(rise.x, 200.0f, 1e-3f);
    EXPECT_NEAR(rise.y, 0.0f, 1e-3f);
    VECTOR set = Sky::SunDirection(18000);
    EXPECT_NEAR(set.x, -200.0f, 1e-3f);
    EXPECT_LT(Sky::SunDirection(0).y, 0.0f);  // below the horizon at night

    VECTOR moon = Sky::MoonDirection(0);
    EXPECT_NEAR(moon.x, 0.0f, 1e-3f);
    EXPECT_NEAR(moon.y, 200.0f / std::sqrt(1.25f), 1e-3f);
    VECTOR moonrise = Sky::MoonDirection(18000);
    EXPECT_NEAR(moonrise.x, 200.0f, 1e-3f);
    EXPECT_NEAR(moonrise.y, 0.0f, 1e-3f);
    EXPECT_NEAR(Sky::MoonDirection(17999).x, 200.0f, 0.1f);  // both angle rules meet at moonrise
    EXPECT_LT(Sky::MoonDirection(12000).y, 0.0f);            // below the horizon at noon
    EXPECT_NEAR(Sky::MoonDirection(21000).y, Sky::MoonDirection(3000).y, 1e-3f);
}

// --- the sky's driver calls -----------------------------------------------------

TEST_F(WorldTest, UpdateSetsAmbientSunLightLayerColourAndScrolls) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    Sky sky;
    sky.Parse(WriteFile("update.ini", kDaycycle).c_str());
    sky.CreateResources();
    sky.Update(12000, 1, 0, 1000);
    float u0 = sky.layers[0][0].tu, v0 = sky.layers[0][0].tv;
    float u1 = sky.layers[1][0].tu, v1 = sky.layers[1][0].tv;
    driver.ResetLog();
    sky.Update(12000, 1, 0, 1500);                     // 500 ms later
    EXPECT_FLOAT_EQ(sky.layers[0][0].tu, u0 + 0.5f);   // 1000 ms per unit
    EXPECT_FLOAT_EQ(sky.layers[0][0].tv, v0);          // speed 0: still
    EXPECT_FLOAT_EQ(sky.layers[1][0].tu, u1);          // negative speed: still
    EXPECT_FLOAT_EQ(sky.layers[1][0].tv, v1 + 0.25f);  // 2000 ms per unit
    EXPECT_EQ(sky.layers[1][80].color, PackColor(255, 255, 255, 255));
    EXPECT_EQ(driver.FindCall("SetAmbientColor(FF78786E)"), 0);
    ASSERT_GE(driver.FindCall("SetLight(0)"), 0);
    const LightDesc& sun = driver.lights[0].desc;
    EXPECT_EQ(sun.type, LIGHT_DIRECTIONAL);
    EXPECT_NEAR(sun.r, 1.0f, 1e-6f);
    EXPECT_NEAR(sun.b, 0.8f, 1e-6f);
    VECTOR up = Sky::SunDirection(12000);
    VectorNormalize(up);
    EXPECT_NEAR(sun.direction.y, -up.y, 1e-5f);
    EXPECT_NEAR(sun.direction.z, -up.z, 1e-5f);

    sky.Update(0, 1, 0, 1600);
    EXPECT_EQ(sky.layers[0][0].color, PackColor(255, 50, 50, 50));
}

namespace {
// Binds nothing whose name is in `missing`.
class PickyDriver : public RecordingDriver {
public:
    bool SetTexture(const char* name) override {
        RecordingDriver::SetTexture(name);
        return !(name && missing.count(name));
    }
    std::set<std::string> missing;
};
}  // namespace

namespace {
// Takes both cloud layers in one pass, as the OpenGL driver does.
class OnePassDriver : public RecordingDriver {
public:
    bool DrawIndexedDualLayer(const DUALVERTEX*, int, const uint16_t*, int, const char*,
                              const char*) override {
        ++onePassDraws;
        return true;
    }
    int onePassDraws = 0;
};
}  // namespace

// The frame statistics (the editor's debug text) read the same whichever way
// the layers are drawn.
TEST_F(WorldTest, OnePassLayersCountAsTheTwoPassesTheyStandFor) {
    RecordingDriver twoPass;
    OnePassDriver onePass;
    int counted[2][2];
    for (int k = 0; k < 2; ++k) {
        RecordingDriver& driver = k == 0 ? twoPass : onePass;
        ScopedDriver scoped(&driver);
        Sky sky;
        sky.Parse(WriteFile("count.ini", kDaycycle).c_str());
        sky.Update(12000, 3, 0, 0);
        driver.faces = driver.vertices = 0;
        sky.Draw(VECTOR(0, 0, 0));
        counted[k][0] = driver.faces;
        counted[k][1] = driver.vertices;
    }
    EXPECT_EQ(onePass.onePassDraws, 1);
    EXPECT_EQ(twoPass.CountCalls("DrawIndexedList(LVERTEX"), 2);
    EXPECT_EQ(onePass.CountCalls("DrawIndexedList(LVERTEX"), 0);
    EXPECT_EQ(counted[1][0], counted[0][0]);
    EXPECT_EQ(counted[1][1], counted[0][1]);
    EXPECT_GE(counted[0][0], 2 * kDomeIndices / 3);
}

TEST_F(WorldTest, LayersCrossFadeBetweenFramesWithDifferentTextures) {
    PickyDriver driver;
    ScopedDriver scoped(&driver);
    Sky sky;
    sky.Parse(WriteFile("fade.ini", kDaycycle).c_str());
    sky.Update(12000, 3, 25, 0);
    driver.ResetLog();
    sky.Draw(VECTOR(0, 0, 0));
    // Layer 1 differs: drawn twice with texture factor alphas 191 and 63;
    // layer 2 names the same texture in both frames: drawn once.
    int fa = driver.FindCall("UseTextureFactorAlpha()");
    ASSERT_GE(fa, 0);
    int first = driver.FindCall("SetTextureFactor(BFFFFFFF)", fa);
    int tex1 = driver.FindCall("SetTexture(textures\\sky\\clear1.bmp)", first);
    int second = driver.FindCall("SetTextureFactor(3FFFFFFF)", tex1);
    int tex2 = driver.FindCall("SetTexture(textures\\sky\\rain1.bmp)", second);
    int shared = driver.FindCall("SetTexture(textures\\sky\\shared.bmp)", tex2);
    int back = driver.FindCall("UseVertexAlpha()", shared);
    EXPECT_TRUE(first >= 0 && tex1 > first && second > tex1 && tex2 > second && shared > tex2 &&
                back > shared);
    std::vector<const DrawRecord*> lv = driver.DrawsOf(VertexFormat::kLVertex);
    int grids = 0;
    for (const DrawRecord* d : lv)
        if (d->primitive == Primitive::kIndexedList) {
            ++grids;
            EXPECT_EQ(d->vertexCount, kDomeVertices);
            EXPECT_EQ(d->indices.size(), static_cast<size_t>(kDomeIndices));
            EXPECT_EQ(d->zbufferMode, ZBUFFER_OFF);
        }
    EXPECT_EQ(grids, 3);

    // On a frame's own weather there is no blending: one draw per layer.
    sky.Update(12000, 3, 0, 10);
    driver.ResetLog();
    driver.missing.insert("textures\\sky\\clear1.bmp");
    driver.missing.insert("textures\\sky\\moon\\moon01.bmp");
    sky.Draw(VECTOR(0, 0, 0));
    EXPECT_EQ(driver.CountCalls("UseTextureFactorAlpha"), 0);  // no cross-fade, no stars at noon
    EXPECT_EQ(driver.CountCalls("DrawIndexedList(LVERTEX"), 2);
    std::string text = LogText();
    EXPECT_NE(text.find("ERROR setting sky texture\n"), std::string::npos);
    EXPECT_NE(text.find("ERROR setting moon texture\n"), std::string::npos);
}

TEST_F(WorldTest, MoonPhaseFollowsTheDay) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    Sky sky;
    sky.Update(0, 5, 0, 0);
    sky.Draw(VECTOR(0, 0, 0));
    EXPECT_EQ(driver.generated.back(), std::make_pair(std::string("textures\\sky\\moon\\moon01.bmp"),
                                                      std::string("textures\\sky\\moon\\moon05_alpha.bmp")));
    size_t registered = driver.generated.size();
    sky.Draw(VECTOR(0, 0, 0));  // same day: no new registration
    EXPECT_EQ(driver.generated.size(), registered);
    driver.ResetLog();
    sky.Update(0, 14, 0, 10);
    sky.Draw(VECTOR(0, 0, 0));
    EXPECT_GE(driver.FindCall("SetTexture(textures\\sky\\moon\\moon15.bmp)"), 0);
    EXPECT_EQ(driver.FindCall("SetTexture(textures\\sky\\moon\\moon01.bmp)"), -1);
    sky.Update(0, 28, 0, 20);
    sky.Draw(VECTOR(0, 0, 0));
    EXPECT_EQ(driver.generated.back().second, "textures\\sky\\moon\\moon28_alpha.bmp");
    std::string text = LogText();
    EXPECT_NE(text.find("changing to alpha nr 5\n"), std::string::npos);
    EXPECT_NE(text.find("changing to alpha nr 14\n"), std::string::npos);
}

TEST_F(WorldTest, RenderWorldClearsWithTheSkyAndSetsBothFogRanges) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    settings.fog = 1;
    settings.back_plane = 6000;
    settings.startClock[0] = 12000 - 26;
    World world;
    world.Initialise(WriteFile("render.ini", kDaycycle).c_str());
    clock.ms = 2000;  // 26 units: noon
    world.UpdateClock();
    driver.ResetLog();
    world.RenderWorld(VECTOR(0, 100, 0), VECTOR(0, 0, 1), nullptr);
    int clear = driver.FindCall("Clear(FF6496FA)");
    int fog = driver.FindCall("SetFogColor(FFC8C8C8)");
    int skyBegin = driver.FindCall("SetFogBegin(200)");
    int worldBegin = driver.FindCall("SetFogBegin(2000)");
    int worldEnd = driver.FindCall("SetFogEnd(6000)");
    EXPECT_EQ(clear, 0);
    EXPECT_GT(fog, clear);
    EXPECT_GT(skyBegin, fog);
    EXPECT_GT(worldBegin, skyBegin);
    EXPECT_GT(worldEnd, worldBegin);
    // The sun glow comes last (no area blocks it).
    EXPECT_GT(driver.FindCall("SetTexture(textures\\lens_fx\\glow01.bmp)"), worldEnd);
}

namespace {

// A flat two-sided plate at height y over x in [-1000, 1000], z in [z0, z1].
class SkyPlate : public Entity {
public:
    SkyPlate(float y, float z0, float z1) : Entity(ENTITY_OBJECT, nullptr, 0, y, z0, "plate") {
        const float xs[4] = {-1000, 1000, -1000, 1000};
        const float zs[4] = {z0, z0, z1, z1};
        for (int i = 0; i < 4; ++i) {
            VERTEX v = {};
            v.x = xs[i];
            v.y = y;
            v.z = zs[i];
            vertices.push_back(v);
        }
        indices = {0, 2, 1, 2, 3, 1};
        const float b[6] = {-1000, y - 1, z0, 1000, y + 1, z1};
        for (int i = 0; i < 6; ++i) bounds[i] = b[i];
        UpdateBounds();
    }
    void UpdateBounds() override {
        for (int i = 0; i < 6; ++i) box[i] = bounds[i];
    }
    void Render(CPlane*) override {}
    Entity* Clone() override { return nullptr; }
    void Save(DataFile*) override {}
    void Load(DataFile*, int) override {}
    void RayTest(RayQuery* query) override {
        query->modelStart = query->start;
        query->modelEnd = query->end;
        RayTriangles(query, vertices.data(), indices.data(), 2, true);
    }
    std::vector<VERTEX> vertices;
    std::vector<uint16_t> indices;
    float bounds[6];
};

}  // namespace

TEST_F(WorldTest, SunGlowIsHiddenByAnythingAlongTheFarSunLine) {
    RecordingDriver driver;
    ScopedDriver scoped(&driver);
    settings.startClock[0] = 12000;  // noon: the sun at (0, 178.9, 89.4)
    World world;
    world.Initialise(WriteFile("sunline.ini", kDaycycle).c_str());
    // Plates crossing the line from the camera through the sun, near and far.
    const float heights[3] = {5000.0f, 20000.0f, 1500000.0f};
    for (float y : heights) {
        Area area;
        SkyPlate* plate = new SkyPlate(y, y / 2 - 1000, y / 2 + 1000);
        ASSERT_TRUE(area.AddToSceneTree(plate));
        area.Register(plate);
        world.area = &area;
        driver.ResetLog();
        world.RenderWorld(VECTOR(0, 0, 0), VECTOR(0, 0, 1), nullptr);
        EXPECT_EQ(driver.FindCall("SetTexture(textures\\lens_fx\\glow01.bmp)"), -1) << "plate at " << y;
        world.area = nullptr;
    }
    // Nothing in the way: the glow is drawn.
    Area empty;
    world.area = &empty;
    driver.ResetLog();
    world.RenderWorld(VECTOR(0, 0, 0), VECTOR(0, 0, 1), nullptr);
    EXPECT_GE(driver.FindCall("SetTexture(textures\\lens_fx\\glow01.bmp)"), 0);
    world.area = nullptr;
}

namespace {

// Names a texture when it is drawn, so the order of the frame can be read
// from the driver's calls.
class TextureMarker : public Entity {
public:
    TextureMarker(uint8_t type, const char* texture, float x)
        : Entity(type, nullptr, x, 0, 500, texture), texture_(texture) {
        UpdateBounds();
    }
    void UpdateBounds() override {
        const float b[6] = {position.x - 5, -5, 495, position.x + 5, 5, 505};
        for (int i = 0; i < 6; ++i) box[i] = b[i];
    }
    void Render(CPlane*) override { g_gfxdriver->SetTexture(texture_); }
    Entity* Clone() override { return nullptr; }
    void Save(DataFile*) override {}
    void Load(DataFile*, int) override {}
    void RayTest(RayQuery*) override {}

private:
    const char* texture_;
};

// A driver that can put what it draws behind the world.
class BackgroundDriver : public RecordingDriver {
public:
    bool SetBackgroundDepth(bool on) override {
        calls.push_back(on ? "SetBackgroundDepth(on)" : "SetBackgroundDepth(off)");
        return true;
    }
};

}  // namespace

TEST_F(WorldTest, SkyGoesBehindTheOpaqueWorldWhereTheDriverCanPutItThere) {
    settings.fog = 1;
    settings.back_plane = 6000;
    World world;
    world.Initialise(WriteFile("behind.ini", kDaycycle).c_str());
    Area area;
    // The particle system is met first and still drawn after the sky.
    for (Entity* e : {static_cast<Entity*>(new TextureMarker(ENTITY_PARTICLE, "blended", -20)),
                      static_cast<Entity*>(new TextureMarker(ENTITY_OBJECT, "opaque", 20))}) {
        ASSERT_TRUE(area.AddToSceneTree(e));
        // Owned by the area but not registered: registering would file the
        // stand-in as a real particle system.
        area.entities.Add(e);
    }
    world.area = &area;
    const std::string sky = "SetTexture(textures\\sky\\clear1.bmp)";
    {
        BackgroundDriver driver;
        ScopedDriver scoped(&driver);
        world.RenderWorld(VECTOR(0, 0, 0), VECTOR(0, 0, 1), nullptr);
        const int opaque = driver.FindCall("SetTexture(opaque)");
        const int on = driver.FindCall("SetBackgroundDepth(on)");
        const int layer = driver.FindCall(sky);
        const int off = driver.FindCall("SetBackgroundDepth(off)", on);
        const int worldFog = driver.FindCall("SetFogBegin(2000)", off);
        const int blended = driver.FindCall("SetTexture(blended)");
        EXPECT_GE(opaque, 0);
        EXPECT_GT(on, opaque);
        EXPECT_GT(driver.FindCall("SetFogBegin(200)", on), on);
        EXPECT_GT(layer, on);
        EXPECT_GT(off, driver.FindCall("SetTexture(textures\\sky\\sun\\sun.bmp)"));
        EXPECT_GT(worldFog, off);
        EXPECT_GT(blended, worldFog);
    }
    {
        // Without it the sky comes first, as it always did.
        RecordingDriver driver;
        ScopedDriver scoped(&driver);
        world.RenderWorld(VECTOR(0, 0, 0), VECTOR(0, 0, 1), nullptr);
        EXPECT_LT(driver.FindCall(sky), driver.FindCall("SetTexture(opaque)"));
        EXPECT_LT(driver.FindCall("SetTexture(opaque)"), driver.FindCall("SetTexture(blended)"));
    }
    world.area = nullptr;
}

// --- night lights -------------------------------------------------------------

TEST_F(WorldTest, NightLightsSwitchOnceEachWay) {
    World world;
    world.timeOfDay = 18000;
    world.SwitchNightLights(VECTOR(0, 0, 0));  // day: the initial "on" goes off
    EXPECT_EQ(world.lightsOn, 0);
    world.SwitchNightLights(VECTOR(0, 0, 0));
    world.timeOfDay = 18001;
    world.SwitchNightLights(VECTOR(0, 0, 0));
    EXPECT_EQ(world.lightsOn, 1);
    world.SwitchNightLights(VECTOR(0, 0, 0));
    world.timeOfDay = 6000;
    world.SwitchNightLights(VECTOR(0, 0, 0));
    EXPECT_EQ(world.lightsOn, 0);
    std::string text = LogText();
    size_t off1 = text.find("trying to turn texture off\n");
    size_t on = text.find("trying to turn texture on\n");
    size_t off2 = text.find("trying to turn texture off\n", off1 + 1);
    EXPECT_TRUE(off1 != std::string::npos && on > off1 && off2 != std::string::npos && off2 > on);
    EXPECT_EQ(text.find("trying to turn texture", off2 + 1), std::string::npos);
    EXPECT_EQ(kNightLightCount, 11);
}
