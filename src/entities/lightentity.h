// A driver light with day/night activity and an optional glow sprite. Drawn
// in the editor with the area's light marker model.
#ifndef ZENDAR_ENTITIES_LIGHTENTITY_H
#define ZENDAR_ENTITIES_LIGHTENTITY_H

#include "entities/entity.h"
#include "gfxdriver/gfxdriver.h"

class LensGlow;

enum : uint8_t {
    LIGHT_ACTIVE_ALWAYS = 0,
    LIGHT_ACTIVE_DAY = 1,
    LIGHT_ACTIVE_NIGHT = 2
};

// Beyond range + back plane + this many units a light is switched off in the driver.
constexpr float kLightReachMargin = 1000.0f;
// Glows are collected only within this distance of the camera.
constexpr float kGlowDistance = 5000.0f;

class LightEntity : public Entity {
public:
    LightEntity(Z1Model* marker, const char* name, float x, float y, float z);
    // From a model's light spawn point: type, direction and colour from the
    // spawn description; the light is created in the driver.
    LightEntity(Z1Model* marker, const char* name, float x, float y, float z, const LightDesc& spawn);
    ~LightEntity() override;

    void UpdateBounds() override;
    void Render(CPlane* frustum) override;
    Entity* Clone() override;
    void Save(DataFile* file) override;
    void Load(DataFile* file, int version) override;
    void DescribeProperties(PropertySheet& sheet) override;
    void ApplyProperties(const PropertySheet& sheet) override;

    // The day/night rule.
    void SetOn(bool isDay);
    // SetOn, then the distance rule, for one light update.
    void Update(bool isDay, const VECTOR& cameraPosition);
    // Creates the driver light from the description (when a driver exists)
    // and the glow sprite when the light glows.
    void CreateDriverLight();
    void CreateGlow();
    void SetGlowTexture(const char* text) { SetText(&glowTexture, text); }
    void SetGlowAlphaMap(const char* text) { SetText(&glowAlphaMap, text); }

    int lightIndex;
    LightDesc desc;
    bool enabledInDriver;
    bool on;
    bool glows;
    char* glowTexture;
    char* glowAlphaMap;
    int glowSize;
    uint8_t active;
    LensGlow* glow;

private:
    void Enable(bool enable);
    // Keeps the driver's state in line with enabledInDriver after the driver
    // (re)applied the description, which switches the light on.
    void SyncDriverState();
};

// "Always", "At day", "At night" or "Unknown type".
const char* LightActiveName(int active);

#endif
