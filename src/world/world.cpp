#include "world/world.h"

#include <cstdio>
#include <string>

#include "collision/collision.h"
#include "culling/frameview.h"
#include "gfxdriver/gfxdriver.h"
#include "gui/font.h"
#include "particle/particle.h"
#include "settings/settings.h"
#include "utility/basepath.h"
#include "utility/clock.h"
#include "utility/log.h"
#include "world/area.h"

World* g_world = nullptr;

const NightLight kNightLights[] = {
    {"_lamppost01.Z1", "textures\\Items\\lamp_post01\\lamp_glass01.bmp",
     "textures\\Items\\lamp_post01\\lamp_glass02.bmp"},
    {"_house01a.Z1", "textures\\base_windows\\window03a.bmp", "textures\\base_windows\\window03c.bmp"},
    {"_house01b.Z1", "textures\\base_windows\\window03a.bmp", "textures\\base_windows\\window03c.bmp"},
    {"_house02a.Z1", "textures\\base_windows\\window03a.bmp", "textures\\base_windows\\window03c.bmp"},
    {"_house03a.Z1", "textures\\base_windows\\window03a.bmp", "textures\\base_windows\\window03c.bmp"},
    {"_house04a.Z1", "textures\\base_windows\\window03a.bmp", "textures\\base_windows\\window03c.bmp"},
    {"_house05a.Z1", "textures\\base_windows\\window03a.bmp", "textures\\base_windows\\window03c.bmp"},
    {"_tower01.Z1", "textures\\base_windows\\window03a.bmp", "textures\\base_windows\\window03c.bmp"},
    {"_farmhouse01.Z1", "textures\\base_windows\\window03a.bmp", "textures\\base_windows\\window03c.bmp"},
    {"_grocery01.Z1", "textures\\base_windows\\window03a.bmp", "textures\\base_windows\\window03c.bmp"},
    {"_tavern01.Z1", "textures\\base_windows\\window02a.bmp", "textures\\base_windows\\window02c.bmp"},
};
const int kNightLightCount = static_cast<int>(sizeof kNightLights / sizeof kNightLights[0]);

int32_t WeatherTrack::ValueAt(uint32_t now) const {
    uint32_t span = endTime - startTime;
    uint32_t into = now - startTime;
    if (span == 0 || into >= span) return endValue;
    double h = static_cast<double>(into) / static_cast<double>(span);
    return static_cast<int32_t>(startValue + (endValue - startValue) * h);
}

World::World() {}

World::~World() {
    delete collider;
    delete weatherTrack;
    if (g_world == this) {
        g_world = nullptr;
        g_frameView.ambientColor = 0;
        g_frameView.fogColor = 0;
    }
}

void World::Initialise() { Initialise((std::string(GetBasePath()) + "daycycle.ini").c_str()); }

void World::Initialise(const char* daycyclePath) {
    g_world = this;
    if (g_settings) {
        timeOfDay = g_settings->startClock[0];
        day = g_settings->startClock[1];
        month = g_settings->startClock[2];
        year = g_settings->startClock[3];
    }
    lastUpdate = ClockMilliseconds();
    weatherFading = 0;
    delete weatherTrack;
    weatherTrack = nullptr;

    sky.Parse(daycyclePath);
    if (sky.secondsPerDay != 0 && g_settings) g_settings->secondsPerDay = sky.secondsPerDay;
    sky.CreateResources();
    sky.lastScroll = lastUpdate;
    sky.scrolled = true;
    HandToSky(lastUpdate);

    delete collider;
    collider = new Collider(VECTOR(40.0f, 90.0f, 40.0f), VECTOR(0.0f, -30.0f, 0.0f));
    // The player moves through the running program's area.
    collider->traverse = [](CollisionPacket* packet) {
        if (g_area) g_area->Collide(packet);
    };
    mouseMode = 1;
    lightsOn = 1;
}

Area* World::GetArea() const { return area ? area : g_area; }

int World::SecondsPerDay() const {
    if (g_settings) return g_settings->secondsPerDay;
    return sky.secondsPerDay > 0 ? sky.secondsPerDay : 1800;
}

void World::HandToSky(uint32_t now) {
    sky.Update(timeOfDay, day, weather, now);
    // Objects lit indoors put the sky's colours back after drawing.
    if (g_world == this) {
        g_frameView.ambientColor = sky.AmbientColor();
        g_frameView.fogColor = sky.FogColor();
    }
}

void World::UpdateClock() {
    uint32_t now = ClockMilliseconds();
    uint32_t elapsed = now - lastUpdate;
    int spd = SecondsPerDay();
    if (spd <= 0) return;  // a stopped day never advances
    // elapsed / 1000 / seconds per day x 24000, in integers so that whole
    // units come out exactly.
    int64_t delta = static_cast<int64_t>(elapsed) * kDayUnits / (static_cast<int64_t>(spd) * 1000);
    if (delta == 0) return;  // short frames add up: the last update is kept

    int64_t t = static_cast<int64_t>(timeOfDay) + delta;
    if (t >= kDayUnits + 1) {
        day += static_cast<int32_t>(t / kDayUnits);
        t %= kDayUnits;
    }
    timeOfDay = static_cast<int32_t>(t);
    if (day >= kDaysPerMonth + 1) {
        month += day / kDaysPerMonth;
        day %= kDaysPerMonth;
    }
    if (month >= kMonthsPerYear + 1) {
        year += month / kMonthsPerYear;
        month %= kMonthsPerYear;
    }

    if (weatherFading && weatherTrack) {
        weather = weatherTrack->ValueAt(now);
        if (weather == weatherTarget) {
            weatherFading = 0;
            delete weatherTrack;
            weatherTrack = nullptr;
        }
    }
    lastUpdate = now;
    HandToSky(now);
}

void World::AddTime(int units) {
    timeOfDay += units;
    if (timeOfDay < 0) timeOfDay += kDayUnits;
    if (timeOfDay > kDayUnits) timeOfDay %= kDayUnits;
    // A jump of more than a day backwards still lands inside the day.
    if (timeOfDay < 0) timeOfDay = ((timeOfDay % kDayUnits) + kDayUnits) % kDayUnits;
    // The editor's time keys show their effect at once, not at the next whole unit.
    HandToSky(ClockMilliseconds());
}

void World::FadeWeather(int target, int duration) {
    if (weatherFading) return;
    uint32_t now = ClockMilliseconds();
    delete weatherTrack;
    weatherTrack = new WeatherTrack();
    weatherTrack->startTime = now;
    weatherTrack->startValue = weather;
    double span = static_cast<double>(duration) * SecondsPerDay() * 1000.0 / kDayUnits;
    // A fade longer than the millisecond clock can count (about 49 days) ends
    // at the clock's reach instead of at an undefined conversion.
    uint32_t length = span <= 0.0 ? 0u : span >= 4294967295.0 ? 4294967295u : static_cast<uint32_t>(span);
    weatherTrack->endTime = now + length;
    weatherTrack->endValue = target;
    weatherTarget = target;
    weatherFading = 1;
}

void World::ClockText(char* out, size_t size) const {
    int hour = timeOfDay / 1000;
    int minute = static_cast<int>(static_cast<float>(timeOfDay % 1000) / 1000.0f * 60.0f);
    if (minute < 10)
        std::snprintf(out, size, "Time: %i:0%i", hour, minute);
    else
        std::snprintf(out, size, "Time: %i:%i", hour, minute);
}

void World::DrawClock(float x, float y) {
    UpdateClock();
    if (!g_font) return;
    char text[64];
    ClockText(text, sizeof text);
    g_font->DrawText(static_cast<int>(x), static_cast<int>(y), "%s", text);
}

void World::SwitchNightLights(const VECTOR& camera) {
    const int t = timeOfDay;
    const bool isDay = t >= 6000 && t <= 18000;
    Area* a = GetArea();
    if (isDay && lightsOn) {
        LogLine("trying to turn texture off");
        if (a)
            for (const NightLight& n : kNightLights)
                a->SwapModelTexture(n.model, n.nightTexture, n.dayTexture, 0);
        lightsOn = 0;
    } else if (!isDay && !lightsOn) {
        LogLine("trying to turn texture on");
        if (a)
            for (const NightLight& n : kNightLights)
                a->SwapModelTexture(n.model, n.dayTexture, n.nightTexture, 1);
        lightsOn = 1;
    }
    if (a) a->UpdateLights(isDay, camera);
}

void World::RenderWorld(const VECTOR& camera, const VECTOR& viewDirection, CPlane* frustum) {
    ResetGlowList();
    UpdateClock();
    GfxDriver* d = g_gfxdriver;
    if (!d) return;
    d->Clear(sky.BackgroundColor());
    d->SetFogColor(sky.FogColor());
    Area* a = GetArea();
    float backPlane = g_settings ? static_cast<float>(g_settings->back_plane) : 0.0f;
    // Most of the sky ends up under the terrain and the buildings. Where the
    // driver can draw it behind what is already there, it comes after the
    // opaque world and only its visible part is shaded; the picture is the
    // same, as nothing opaque is blended and the sky writes no depth.
    const bool behind = a && d->SetBackgroundDepth(false);
    if (!behind) sky.Draw(camera);
    d->SetFogBegin(backPlane / 3.0f);
    d->SetFogEnd(backPlane);
    if (a && behind) {
        a->Render(camera, viewDirection, frustum, [&]() {
            d->SetBackgroundDepth(true);
            sky.Draw(camera);
            d->SetBackgroundDepth(false);
            d->SetFogBegin(backPlane / 3.0f);
            d->SetFogEnd(backPlane);
        });
    } else if (a) {
        a->Render(camera, viewDirection, frustum);
    }
    DrawGlowList(camera);
    // The sight line runs far past any area (the sun's sky offset scaled up),
    // so distant hills and towers still hide the sun.
    if (!a || a->LineOfSight(camera, camera + sky.sunDirection * 10000.0f)) {
        sky.DrawSunGlow(camera);
        sky.DrawLensFlare(camera, viewDirection);
    }
}

VECTOR World::CheckCollision(const VECTOR& position, const VECTOR& velocity) {
    if (!collider) return position + velocity;
    return collider->CheckCollision(position, velocity);
}
