// The world: the game clock with its own calendar, the weather value that can
// be faded over game time, the sky, the night lights of lamp and house
// models, and the collider the player moves through. One static World lives
// for the whole program; the area it shows is the running program's area.
#ifndef ZENDAR_WORLD_WORLD_H
#define ZENDAR_WORLD_WORLD_H

#include <cstddef>
#include <cstdint>

#include "math/zmath.h"
#include "world/sky.h"

class Area;
class CPlane;
class Collider;

// Game time of day runs 0..24000 per game day, 1000 units per game hour.
constexpr int kDayUnits = 24000;
constexpr int kDaysPerMonth = 28;
constexpr int kMonthsPerYear = 12;

// A weather fade: two keys in milliseconds.
struct WeatherTrack {
    uint32_t startTime;
    int32_t startValue;
    uint32_t endTime;
    int32_t endValue;
    // The value at now, truncated; the end value from the end time on.
    int32_t ValueAt(uint32_t now) const;
};

// One lamp or house model whose texture lights up at night.
struct NightLight {
    const char* model;
    const char* dayTexture;
    const char* nightTexture;
};
extern const NightLight kNightLights[];
extern const int kNightLightCount;

class World {
public:
    World();
    ~World();

    // Clock from the settings' start values, the sky from "daycycle.ini" at
    // the base path (or the path given), the collider through the running
    // area, look mode, lights on.
    void Initialise();
    void Initialise(const char* daycyclePath);

    // Advances the clock by the whole units since the last update.
    void UpdateClock();
    int TimeOfDay() const { return timeOfDay; }
    int Weather() const { return weather; }
    void AddTime(int units);
    // Fades the weather to target over duration day units; ignored while a
    // fade runs.
    void FadeWeather(int target, int duration);
    // "Time: h:mm" as the clock display shows it.
    void ClockText(char* out, size_t size) const;
    // Updates the clock and draws its text with the font (nothing without one).
    void DrawClock(float x, float y);
    // Lamp textures to their day or night state, then the area's lights.
    void SwitchNightLights(const VECTOR& camera);
    // Sky, area and glows for a frame seen from camera.
    void RenderWorld(const VECTOR& camera, const VECTOR& viewDirection, CPlane* frustum);
    // Collide and slide (world units); with collision off, position + velocity.
    VECTOR CheckCollision(const VECTOR& position, const VECTOR& velocity);

    // The area shown: the one set here, else the running program's.
    Area* GetArea() const;
    int SecondsPerDay() const;

    uint32_t lastUpdate = 0;
    int32_t timeOfDay = 7000;
    int32_t day = 1;
    int32_t month = 1;
    int32_t year = 2001;
    int32_t weather = 0;
    int32_t weatherTarget = 0;
    uint8_t weatherFading = 0;
    WeatherTrack* weatherTrack = nullptr;
    uint8_t lightsOn = 1;
    uint8_t mouseMode = 1;  // 1 look, 0 pointer

    Sky sky;
    Collider* collider = nullptr;
    Area* area = nullptr;  // not owned

private:
    World(const World&) = delete;
    World& operator=(const World&) = delete;
    void HandToSky(uint32_t now);
};

// The program's world; null until start-up creates it.
extern World* g_world;

#endif
